#include "isdn_carrier.h"

#include <chrono>

#include "corvane_library.h"
#include "link_connection.h"
#include "link_log.h"

namespace {

// How long starting the server waits for the controller to answer the
// listen request.
constexpr std::chrono::milliseconds kListenAnswerWait{3000};

BOOL IsdnConnectReq(const char* address, const char* parameter, DWORD) {
    LinkConnection* c = CorvaneConnection();
    if (!c) return FALSE;
    // On a line that is not usable the request does nothing and the
    // caller's wait runs out; numbers that fit no message are refused.
    return c->ConnectReq(address, 0x8002, parameter) || !c->Usable();
}

BOOL IsdnDisconnectReq(DWORD waitSteps) {
    LinkConnection* c = CorvaneConnection();
    if (!c) return FALSE;
    // Without a B3 connection there is nothing to clear orderly: clear the call.
    if (waitSteps != 0 && c->DisconnectB3WhenSent()) return TRUE;
    c->DisconnectReq();
    return TRUE;
}

// Only a listen request that the controller took counts: a server whose
// listening was refused would never see a call.
BOOL IsdnStartServer(const char* parameter) {
    LinkConnection* c = CorvaneConnection();
    if (!c || !c->ListenReq(0x80, 0x3F, parameter)) return FALSE;
    auto info = c->WaitForListenConf(kListenAnswerWait);
    if (!info) {
        LinkLog().Write("**IsdnStartServer: no answer to the listen request\n");
        return FALSE;
    }
    return *info == 0;
}

BOOL IsdnGetData(BYTE* buffer, DWORD* length) {
    LinkConnection* c = CorvaneConnection();
    if (!c) return FALSE;
    *length = static_cast<DWORD>(c->TakeReceivedChunk(buffer));
    return TRUE;
}

// Bytes that cannot go out (no data connection) are a failed send, not a
// silent loss.
BOOL IsdnSendData(const BYTE* data, DWORD length) {
    LinkConnection* c = CorvaneConnection();
    return c && c->QueueData(data, length);
}

}  // namespace

CROCallBacks IsdnCallBacks() {
    return {&IsdnConnectReq, &IsdnDisconnectReq, &IsdnStartServer, &IsdnGetData, &IsdnSendData};
}
