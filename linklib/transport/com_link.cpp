#include "com_link.h"

#include "current_link.h"
#include "link_log.h"

namespace {

// Stands in for every entry a carrier did not give.
template <typename... Args>
BOOL lpfnDummy(Args...) {
    LinkLog().Write("++lpfnDummy\n");
    return FALSE;
}

template <typename R, typename... Args>
auto DummyOr(R (*entry)(Args...)) -> R (*)(Args...) {
    return entry ? entry : &lpfnDummy<Args...>;
}

}  // namespace

CRComLink::CRComLink(CRComInterface* owner) {
    LinkLog().Write("++CRComLink::CRComLink\n");
    SetEntries({});
    MakeCurrentLink(owner, this);
}

CRComLink::~CRComLink() {
    ForgetCurrentLink(this);
}

void CRComLink::SetEntries(const CROCallBacks& c) {
    lpfnConnectReq = DummyOr(c.lpfnConnectReq);
    lpfnDisconnectReq = DummyOr(c.lpfnDisconnectReq);
    lpfnStartServer = DummyOr(c.lpfnStartServer);
    lpfnGetData = DummyOr(c.lpfnGetData);
    lpfnSendData = DummyOr(c.lpfnSendData);
}

BOOL CRComLink::ConnectReq(const char* address, const char* parameter, DWORD waitSteps) {
    LinkLog().Printf("++CRComLink::ConnectReq (lpszAddr=%s) (lpszParam=%s)\n",
                     address ? address : "(null)", parameter ? parameter : "(null)");
    return lpfnConnectReq(address, parameter, waitSteps);
}

BOOL CRComLink::DisconnectReq(DWORD waitSteps) {
    LinkLog().Write("++CRComLink::DisconnectReq\n");
    return lpfnDisconnectReq(waitSteps);
}

BOOL CRComLink::StartServer(const char* parameter) {
    return lpfnStartServer(parameter);
}

BOOL CRComLink::GetData(BYTE* buffer, DWORD* length) {
    return lpfnGetData(buffer, length);
}

BOOL CRComLink::SendData(const BYTE* data, DWORD length) {
    LinkLog().Write("++CRComLink::SendData\n");
    return lpfnSendData(data, length);
}
