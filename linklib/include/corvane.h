// The link library corvane: owns the ISDN line through CAPI 2.0 and offers
// one end of a note link as CRComObj. Programs include only this header.
#pragma once

#include <cstdint>

// The same integer types as the rest of the suite uses (redeclaring an alias
// to the same type is allowed, so this header mixes with common/wintypes.h).
using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define CORVANE_API __attribute__((visibility("default")))

extern "C" {

// The five entry points through which a link reaches its carrier. Each
// returns TRUE on success.
typedef BOOL (*LPFNCONNECTREQ)(const char* address, const char* parameter, DWORD waitSteps);
typedef BOOL (*LPFNDISCONNECTREQ)(DWORD waitSteps);
typedef BOOL (*LPFNSTARTSERVER)(const char* parameter);
// Copies the oldest received block (at most 128 bytes) and sets *length (0: none).
typedef BOOL (*LPFNGETDATA)(BYTE* buffer, DWORD* length);
// length 0 sends a zero-terminated text including its terminator.
typedef BOOL (*LPFNSENDDATA)(const BYTE* data, DWORD length);

struct CROCallBacks {
    LPFNCONNECTREQ lpfnConnectReq;
    LPFNDISCONNECTREQ lpfnDisconnectReq;
    LPFNSTARTSERVER lpfnStartServer;
    LPFNGETDATA lpfnGetData;
    LPFNSENDDATA lpfnSendData;
};

// TRUE: binds CAPI, registers and starts the dispatch thread (once per
// process). FALSE: binds the most recently constructed CRComObj to the ISDN
// line; call it after constructing that object.
CORVANE_API BOOL RCOInitLinkDLL(BOOL bStart);
// Stops the dispatch thread (waiting at most 10 s) and releases CAPI.
CORVANE_API BOOL RCOExitLinkDLL(void);

// Fills the carrier table of the most recently constructed CRComObj; a null
// entry fails every call of that operation.
CORVANE_API BOOL CROSetCallBackFn(const CROCallBacks* callBacks);

// What a carrier reports to the most recently constructed CRComObj. FALSE
// when no CRComObj exists.
CORVANE_API BOOL RCOConnectInd(const char* lpszPar);
CORVANE_API BOOL RCODisconnectInd(WORD wInfo);
CORVANE_API BOOL RCODataRecvInd(void);
CORVANE_API BOOL RCODataSentInd(void);
}

// Return codes of the link operations.
enum : unsigned short {
    RCO_OK = 0,
    RCO_NOT_CONNECTED = 1,
    RCO_CONNECT_FAILED = 2,
    RCO_DISCONNECT_FAILED = 3,
    RCO_SEND_FAILED = 4,
    RCO_WRONG_MSG_ID = 5,
    RCO_WRONG_RESP_ID = 6,
    RCO_ACK_NOT_RECEIVED = 7,
    RCO_ZERO_LENGTH_MSG = 8,
    RCO_NO_MEMORY = 9,
    RCO_REMCMD_NOT_FOUND = 16,
    RCO_REMCMD_FAILED = 17,
    RCO_ACK_NOT_SENT = 18,
    RCO_TIMEOUT = 19,
    RCO_ID_NOT_SENT = 20,
    RCO_ID_NOT_RECEIVED = 21,
    RCO_ALREADY_CONNECTED = 32,
    RCO_CALL_FAILED = 0xFFFE,
};

class CRComInterface;

// One end of a link. Waits are counted in wait steps of about 100 ms.
class CORVANE_API CRComObj {
public:
    CRComObj();
    virtual ~CRComObj();
    // The object owns its transport interface; a copy would free it twice.
    CRComObj(const CRComObj&) = delete;
    CRComObj& operator=(const CRComObj&) = delete;

    void Init();
    unsigned short Connect(char* address, char* parameter, unsigned long waitSteps);
    unsigned short Disconnect(unsigned long waitSteps);
    int IsConnected();
    int IsDataPending();
    int WaitForConnection(unsigned long waitSteps);
    int WaitForDisconnection(unsigned long waitSteps);
    unsigned short StartServer(char* parameter);
    char* GetConnectionPar();
    const char* GetDisconnectInfo(unsigned short& reason);
    char* GetErrorText(unsigned short code);
    CRComInterface* GetLinkInterface();
    void SetLinkInterface(CRComInterface* linkInterface);
    void Connected();
    void Disconnected();

    // Sends one message, cut into frames of at most 128 bytes, each
    // acknowledged by the peer before the next; length 0 sends nothing.
    unsigned short SendMessage(unsigned char* data, unsigned long length);
    // Receives one message. On entry length is the capacity of buffer; a
    // message that does not fit is refused with RCO_ZERO_LENGTH_MSG. On
    // return length is the message's size, 0 on failure.
    unsigned short GetMessage(unsigned char* buffer, unsigned long& length);

protected:
    unsigned short SendAcknoledge(unsigned char msgId);
    unsigned short WaitForAcknoledge(unsigned char msgId);
    // The two-byte identification handshake; a peer that stays silent is
    // accepted, and one of the older protocol (currentPeer 0) has its version
    // request answered.
    unsigned short SendId();
    unsigned short WaitForId(int& currentPeer);
    unsigned short CheckOldVersionMsg(unsigned char* block, unsigned long length);

    // One raw block of at most 128 bytes; waitSteps is not used by the send.
    unsigned short Send(unsigned char* block, unsigned long length, unsigned long waitSteps);
    // block must hold 128 bytes; *length is 0 when nothing came in time.
    unsigned short Get(unsigned char* block, unsigned long* length, unsigned long waitSteps);

    CRComInterface* m_pLinkInterface = nullptr;
    int m_bConnected = 0;
    unsigned long m_dwDataTimeout = 0;
    unsigned long m_dwIdTimeout = 0;
};

// A remote command's handler: the row of the command in the command table,
// the application name, the link's connection parameter, the argument text
// (zero-terminated) and the reply, which the handler points at data that stays
// valid until the response is sent. Returns the result sent to the caller.
typedef unsigned short (*LPFNREMCMD)(unsigned int index, char* appName, char* connectionPar,
                                     char* args, unsigned char** reply, unsigned long* replyLength);

// Remote commands over a link. The calling side uses RequestId,
// GetServerVersion, ExecRemCmd and GetRespBuffer; the answering side
// SetAppName, StartServer, then per connection WaitForReqId and WaitForRemCmd
// until it returns non-zero, and PhoneCallInd for telephone calls.
//
// Texts: command lines, arguments and reply data are moved as bytes; on the
// line they are Windows-1252, so callers convert (see common/textcodec.h).
// Only the command name is compared, ignoring the case of ASCII letters.
class CORVANE_API CRServerObj : public CRComObj {
public:
    static constexpr unsigned long kMsgBufferSize = 4096;
    static constexpr unsigned long kAppNameSize = 4096;

    CRServerObj();
    ~CRServerObj() override;

    void Init();
    // A full path of a file in the installation directory: its directory holds
    // Telvora.cfg and the default store. A path that does not fit is not kept.
    void SetAppName(char* path);
    void SethInstance(void* handle);

    unsigned short RequestId();
    unsigned short WaitForReqId();
    unsigned short SendCmdReq(unsigned char id, unsigned char* args, unsigned long length);
    unsigned short WaitForCmdReq();
    unsigned short SendCmdResp(unsigned char id, unsigned short result, unsigned char* data,
                               unsigned long length);
    unsigned short WaitForCmdResp();
    // Runs one command: the first word names it ("version", "note", "rawNote",
    // "shdown" in any case), the rest after the first blank is its argument.
    // 0 whenever a response came, whatever its result.
    unsigned short ExecRemCmd(char* commandLine);
    unsigned short GetServerVersion(int& version);
    // The reply data of the last response, zero-terminated; valid until the
    // next message is received.
    unsigned char* GetRespBuffer();
    unsigned short GetRespResult() const { return m_wRespResult; }
    unsigned long GetRespLength() const { return m_dwRespLength; }
    // Receives, runs and answers one command.
    unsigned short WaitForRemCmd();
    // Files a telephone call: a = called MSN, b = calling number, c = name
    // (may be empty), d = service text; texts in UTF-8. 1 stored, 0 failed.
    int PhoneCallInd(long time, char* a, char* b, char* c, char* d);

protected:
    char* GetModuleName();
    unsigned char GetRemCmdId(char* name);
    int GetCmdIdx(unsigned char id);

    void* m_hInstance = nullptr;
    char m_szAppName[kAppNameSize] = {};
    unsigned char m_bReqId = 0;
    unsigned long m_dwReqLength = 0;
    unsigned char* m_pReqArgs = nullptr;
    unsigned char m_bRespId = 0;
    unsigned short m_wRespResult = 0;
    unsigned long m_dwRespLength = 0;
    unsigned char* m_pRespData = nullptr;
    unsigned char* m_pMsgBuffer = nullptr;
};
