#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "command_codec.h"
#include "corvane.h"
#include "link_log.h"
#include "note_intake.h"

namespace {

constexpr std::size_t kMaxNameLength = 254;
constexpr unsigned long kFailedSendSteps = 10;
constexpr unsigned long kShutdownSteps = 50;

unsigned short VersionHandler(unsigned int, char*, char*, char*, unsigned char** reply,
                              unsigned long* replyLength) {
    static unsigned char version[] = "1";
    *reply = version;
    *replyLength = 1;
    return 0;
}

// The station hangs up after answering; WaitForRemCmd does that.
unsigned short ShutdownHandler(unsigned int, char*, char*, char*, unsigned char**, unsigned long*) {
    return 0;
}

// The handlers of the commands of the command codec's table, in its order.
struct Handler {
    unsigned char id;
    LPFNREMCMD handler;
};

constexpr Handler kHandlers[] = {
    {remote::kVersion, &VersionHandler}, {remote::kNote, &RCmdNote},
    {remote::kRawNote, &RCmdRawNote},    {remote::kShutdown, &ShutdownHandler},
    {remote::kNoCommand, nullptr},
};
constexpr int kNoIndex = 255;

}  // namespace

CRServerObj::CRServerObj() {
    Init();
}

CRServerObj::~CRServerObj() {
    delete[] m_pMsgBuffer;
}

void CRServerObj::Init() {
    m_hInstance = nullptr;
    m_szAppName[0] = '\0';
    m_bReqId = 0;
    m_dwReqLength = 0;
    m_pReqArgs = nullptr;
    m_bRespId = 0;
    m_wRespResult = 0;
    m_dwRespLength = 0;
    m_pRespData = nullptr;
    delete[] m_pMsgBuffer;
    // One byte beyond the largest message keeps a received text terminated
    // even when the message fills the buffer.
    m_pMsgBuffer = new (std::nothrow) unsigned char[kMsgBufferSize + 1]();
}

void CRServerObj::SetAppName(char* path) {
    m_szAppName[0] = '\0';
    if (!path || std::strlen(path) >= kAppNameSize) return;
    std::strcpy(m_szAppName, path);
}

void CRServerObj::SethInstance(void* handle) {
    m_hInstance = handle;
}

char* CRServerObj::GetModuleName() {
    return m_szAppName;
}

unsigned short CRServerObj::RequestId() {
    if (!IsConnected()) return RCO_NOT_CONNECTED;
    unsigned short rc = SendId();
    if (rc != RCO_OK) return rc;
    int currentPeer = 1;
    return WaitForId(currentPeer);
}

unsigned short CRServerObj::WaitForReqId() {
    if (!IsConnected()) return RCO_NOT_CONNECTED;
    int currentPeer = 1;
    unsigned short rc = WaitForId(currentPeer);
    if (rc != RCO_OK) return rc;
    // An older peer's version request has been answered already.
    if (currentPeer == 0) return RCO_OK;
    return SendId();
}

unsigned short CRServerObj::SendCmdReq(unsigned char id, unsigned char* args,
                                       unsigned long length) {
    if (!IsConnected()) return RCO_NOT_CONNECTED;
    m_bReqId = id;
    m_dwReqLength = length;
    m_pReqArgs = nullptr;
    std::vector<unsigned char> message;
    try {
        message = remote::Request(id, args, length);
    } catch (const std::bad_alloc&) {
        return RCO_NO_MEMORY;
    }
    return SendMessage(message.data(), message.size());
}

unsigned short CRServerObj::WaitForCmdReq() {
    LinkLog().Write("++CRServerObj::WaitForCmdReq\n");
    if (!IsConnected()) return RCO_NOT_CONNECTED;
    if (!m_pMsgBuffer) return RCO_NO_MEMORY;
    std::memset(m_pMsgBuffer, 0, kMsgBufferSize + 1);
    unsigned long length = kMsgBufferSize;
    unsigned short rc = GetMessage(m_pMsgBuffer, length);
    if (rc != RCO_OK) {
        LinkLog().Write("--CRServerObj::WaitForCmdReq GetMessage failed\n");
        return rc;
    }
    remote::Received request = remote::ReadRequest(m_pMsgBuffer, length);
    m_bReqId = request.id;
    m_dwReqLength = request.length;
    m_pReqArgs = m_pMsgBuffer + remote::kHeader;
    LinkLog().Write("--CRServerObj::WaitForCmdReq\n");
    return RCO_OK;
}

unsigned short CRServerObj::SendCmdResp(unsigned char id, unsigned short result,
                                        unsigned char* data, unsigned long length) {
    if (!data) length = 0;
    LinkLog().Printf("++CRServerObj::SendCmdResp: (%ld)[%.*s]\n", static_cast<long>(length),
                     static_cast<int>(std::min(length, 4096ul)),
                     data ? reinterpret_cast<const char*>(data) : "");
    if (!IsConnected()) return RCO_NOT_CONNECTED;
    m_bRespId = id;
    m_wRespResult = result;
    m_dwRespLength = length;
    m_pRespData = nullptr;
    std::vector<unsigned char> message;
    try {
        message = remote::Response(id, result, data, length);
    } catch (const std::bad_alloc&) {
        return RCO_NO_MEMORY;
    }
    unsigned short rc = SendMessage(message.data(), message.size());
    LinkLog().Write(rc == RCO_OK ? "--CRServerObj::SendCmdResp\n"
                                 : "**CRServerObj::SendCmdResp: ERROR\n");
    return rc;
}

unsigned short CRServerObj::WaitForCmdResp() {
    if (!IsConnected()) return RCO_NOT_CONNECTED;
    if (!m_pMsgBuffer) return RCO_NO_MEMORY;
    std::memset(m_pMsgBuffer, 0, kMsgBufferSize + 1);
    unsigned long length = kMsgBufferSize;
    unsigned short rc = GetMessage(m_pMsgBuffer, length);
    if (rc != RCO_OK) return rc;
    remote::Received response = remote::ReadResponse(m_pMsgBuffer, length);
    m_bRespId = response.id;
    m_wRespResult = response.result;
    m_dwRespLength = response.length;
    m_pRespData = m_pMsgBuffer + remote::kHeader;
    return RCO_OK;
}

unsigned short CRServerObj::ExecRemCmd(char* commandLine) {
    if (!commandLine || !*commandLine) return RCO_REMCMD_NOT_FOUND;
    const char* blank = std::strchr(commandLine, ' ');
    std::size_t lineLength = std::strlen(commandLine);
    std::size_t nameLength = blank ? static_cast<std::size_t>(blank - commandLine) : lineLength;
    // No command has a name this long; the copy below holds 254 characters.
    if (nameLength > kMaxNameLength) return RCO_REMCMD_NOT_FOUND;
    char name[kMaxNameLength + 1] = {};
    std::memcpy(name, commandLine, nameLength);
    unsigned char id = GetRemCmdId(name);
    if (id == remote::kNoCommand) return RCO_REMCMD_NOT_FOUND;
    unsigned char* args =
        blank ? reinterpret_cast<unsigned char*>(commandLine) + nameLength + 1 : nullptr;
    unsigned long argsLength = blank ? lineLength - nameLength - 1 : 0;
    unsigned short rc = SendCmdReq(id, args, argsLength);
    if (rc != RCO_OK) return rc;
    return WaitForCmdResp();
}

unsigned short CRServerObj::GetServerVersion(int& version) {
    char line[] = "version";
    unsigned short rc = ExecRemCmd(line);
    if (rc != RCO_OK) {
        version = -1;
        return rc;
    }
    version = static_cast<int>(std::strtol(reinterpret_cast<char*>(m_pRespData), nullptr, 10));
    return RCO_OK;
}

unsigned char* CRServerObj::GetRespBuffer() {
    return m_pRespData;
}

unsigned short CRServerObj::WaitForRemCmd() {
    LinkLog().Write("++WaitForRemCmd:WaitForRemCmd\n");
    if (!IsConnected()) return RCO_NOT_CONNECTED;
    unsigned short rc = WaitForCmdReq();
    if (rc != RCO_OK) return rc;
    LinkLog().Write("  WaitForRemCmd: ++Analyze command\n");
    int index = GetCmdIdx(m_bReqId);
    if (index == kNoIndex) {
        SendCmdResp(m_bReqId, remote::kUnknownCommand, nullptr, 0);
        return RCO_OK;
    }
    LinkLog().Write("  WaitForRemCmd: ++Execute Cmd\n");
    unsigned char* reply = nullptr;
    unsigned long replyLength = 0;
    unsigned short result =
        kHandlers[index].handler(static_cast<unsigned int>(index), m_szAppName, GetConnectionPar(),
                                 reinterpret_cast<char*>(m_pReqArgs), &reply, &replyLength);
    LinkLog().Printf("  WaitForRemCmd: --Execute Cmd (res=%d)\n", result);
    // The handler's reply lives in its own buffer; the id is kept before the
    // response overwrites the request fields.
    unsigned char id = m_bReqId;
    if (SendCmdResp(id, result, reply, replyLength) != RCO_OK) return Disconnect(kFailedSendSteps);
    if (id == remote::kShutdown) {
        LinkLog().Write("  WaitForRemCmd: Shutdown command received\n");
        return Disconnect(kShutdownSteps);
    }
    LinkLog().Write("--WaitForRemCmd:WaitForRemCmd\n");
    return RCO_OK;
}

unsigned char CRServerObj::GetRemCmdId(char* name) {
    if (!name) return remote::kNoCommand;
    for (char* c = name; *c; ++c) {
        if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
    }
    return remote::CommandId(name);
}

int CRServerObj::GetCmdIdx(unsigned char id) {
    for (int i = 0; kHandlers[i].id != remote::kNoCommand; ++i) {
        if (kHandlers[i].id == id) return i;
    }
    return kNoIndex;
}

int CRServerObj::PhoneCallInd(long time, char* a, char* b, char* c, char* d) {
    auto text = [](const char* s) { return std::string(s ? s : ""); };
    return PhoneCallIntake(m_szAppName, static_cast<std::time_t>(time), text(a), text(b), text(c),
                           text(d));
}
