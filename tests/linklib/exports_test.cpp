// The library exports its designed interface and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

std::set<std::string> DefinedDynamicSymbols() {
    std::set<std::string> symbols;
    std::string command = std::string("nm -D --defined-only -C '") + CORVANE_PATH + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return symbols;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text = line;
        if (!text.empty() && text.back() == '\n') text.pop_back();
        // "<address> <type> <name>"
        auto first = text.find(' ');
        auto second = text.find(' ', first + 1);
        if (second != std::string::npos) symbols.insert(text.substr(second + 1));
    }
    pclose(pipe);
    return symbols;
}

TEST(Exports, OnlyTheDesignedInterfaceIsVisible) {
    std::set<std::string> symbols = DefinedDynamicSymbols();
    const std::set<std::string> functions = {
        "RCOInitLinkDLL",   "RCOExitLinkDLL", "CROSetCallBackFn", "RCOConnectInd",
        "RCODisconnectInd", "RCODataRecvInd", "RCODataSentInd",
    };
    const std::set<std::string> members = {
        "CRComObj::CRComObj()",
        "CRComObj::~CRComObj()",
        "CRComObj::Init()",
        "CRComObj::Connect(char*, char*, unsigned long)",
        "CRComObj::Disconnect(unsigned long)",
        "CRComObj::IsConnected()",
        "CRComObj::IsDataPending()",
        "CRComObj::WaitForConnection(unsigned long)",
        "CRComObj::WaitForDisconnection(unsigned long)",
        "CRComObj::StartServer(char*)",
        "CRComObj::GetConnectionPar()",
        "CRComObj::GetDisconnectInfo(unsigned short&)",
        "CRComObj::GetErrorText(unsigned short)",
        "CRComObj::GetLinkInterface()",
        "CRComObj::SetLinkInterface(CRComInterface*)",
        "CRComObj::Connected()",
        "CRComObj::Disconnected()",
        "CRComObj::Send(unsigned char*, unsigned long, unsigned long)",
        "CRComObj::Get(unsigned char*, unsigned long*, unsigned long)",
        "CRComObj::SendMessage(unsigned char*, unsigned long)",
        "CRComObj::GetMessage(unsigned char*, unsigned long&)",
        "CRComObj::SendAcknoledge(unsigned char)",
        "CRComObj::WaitForAcknoledge(unsigned char)",
        "CRComObj::SendId()",
        "CRComObj::WaitForId(int&)",
        "CRComObj::CheckOldVersionMsg(unsigned char*, unsigned long)",
        "vtable for CRComObj",
        "typeinfo for CRComObj",
        "typeinfo name for CRComObj",
        "CRServerObj::CRServerObj()",
        "CRServerObj::~CRServerObj()",
        "CRServerObj::Init()",
        "CRServerObj::SetAppName(char*)",
        "CRServerObj::SethInstance(void*)",
        "CRServerObj::GetModuleName()",
        "CRServerObj::RequestId()",
        "CRServerObj::WaitForReqId()",
        "CRServerObj::SendCmdReq(unsigned char, unsigned char*, unsigned long)",
        "CRServerObj::WaitForCmdReq()",
        "CRServerObj::SendCmdResp(unsigned char, unsigned short, unsigned char*, unsigned long)",
        "CRServerObj::WaitForCmdResp()",
        "CRServerObj::ExecRemCmd(char*)",
        "CRServerObj::GetServerVersion(int&)",
        "CRServerObj::GetRespBuffer()",
        "CRServerObj::WaitForRemCmd()",
        "CRServerObj::GetRemCmdId(char*)",
        "CRServerObj::GetCmdIdx(unsigned char)",
        "CRServerObj::PhoneCallInd(long, char*, char*, char*, char*)",
        "vtable for CRServerObj",
        "typeinfo for CRServerObj",
        "typeinfo name for CRServerObj",
    };
    ASSERT_FALSE(symbols.empty()) << "nm could not read " << CORVANE_PATH;
    for (const auto& name : functions) EXPECT_TRUE(symbols.count(name)) << name;
    for (const auto& name : members) EXPECT_TRUE(symbols.count(name)) << name;
    for (const auto& name : symbols) {
        EXPECT_TRUE(functions.count(name) || members.count(name)) << "exported: " << name;
    }
}

}  // namespace
