#include "transport.h"

#include <cstring>
#include <mutex>

#include "b3_connection.h"
#include "link_frame.h"
#include "linklog.h"
#include "waitstep.h"

namespace {

// The interface and table of the most recently constructed CRComObj. The
// mutex keeps an indication from using an interface that is being destroyed.
struct Current {
    std::mutex mutex;
    CRComInterface* iface = nullptr;
    CRComLink* link = nullptr;
};

Current& CurrentLink() {
    static Current* current = new Current;
    return *current;
}

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

BOOL IsdnConnectReq(const char* address, const char* parameter, DWORD) {
    LinkConnection* c = CorvaneConnection();
    if (!c) return FALSE;
    c->ConnectReq(address, 0x8002, parameter);
    return TRUE;
}

BOOL IsdnDisconnectReq(DWORD waitSteps) {
    LinkConnection* c = CorvaneConnection();
    if (!c) return FALSE;
    // Without a B3 connection there is nothing to clear orderly: clear the call.
    if (waitSteps != 0 && c->DisconnectB3WhenSent()) return TRUE;
    c->DisconnectReq();
    return TRUE;
}

BOOL IsdnStartServer(const char* parameter) {
    LinkConnection* c = CorvaneConnection();
    return c && c->ListenReq(0x80, 0x3F, parameter);
}

BOOL IsdnGetData(BYTE* buffer, DWORD* length) {
    LinkConnection* c = CorvaneConnection();
    if (!c) return FALSE;
    *length = static_cast<DWORD>(c->TakeReceivedChunk(buffer));
    return TRUE;
}

BOOL IsdnSendData(const BYTE* data, DWORD length) {
    LinkConnection* c = CorvaneConnection();
    if (!c) return FALSE;
    c->QueueData(data, length);
    RunMessagePump();
    return TRUE;
}

// Runs f on the current interface under the indication mutex.
template <typename F>
BOOL WithCurrent(F f) {
    Current& current = CurrentLink();
    std::lock_guard lock(current.mutex);
    if (!current.iface) return FALSE;
    f(*current.iface);
    return TRUE;
}

}  // namespace

CROCallBacks IsdnCallBacks() {
    return {&IsdnConnectReq, &IsdnDisconnectReq, &IsdnStartServer, &IsdnGetData, &IsdnSendData};
}

CRComLink::CRComLink(CRComInterface* owner) : owner_(owner) {
    LinkLog().Write("++CRComLink::CRComLink\n");
    SetEntries({});
    Current& current = CurrentLink();
    std::lock_guard lock(current.mutex);
    current.iface = owner;
    current.link = this;
}

CRComLink::~CRComLink() {
    Current& current = CurrentLink();
    std::lock_guard lock(current.mutex);
    if (current.link != this) return;
    current.iface = nullptr;
    current.link = nullptr;
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

CRComInterface::CRComInterface() {
    link_ = new CRComLink(this);
}

CRComInterface::~CRComInterface() {
    link_->DisconnectReq(0);
    delete link_;
}

void CRComInterface::Lock() {
    while (lock_.exchange(1, std::memory_order_acquire) != 0) WaitStep();
}

WORD CRComInterface::Connect(const char* address, const char* parameter, DWORD waitSteps) {
    if (!link_) return RCO_CALL_FAILED;
    unsigned endedBefore = callsEnded_;
    if (!link_->ConnectReq(address, parameter, waitSteps)) return RCO_CONNECT_FAILED;
    // A call that the network refuses is over: no need to wait out the steps.
    for (DWORD step = 0; step < waitSteps && !connected_ && callsEnded_ == endedBefore; ++step) {
        WaitStep();
    }
    return connected_ ? RCO_OK : RCO_CONNECT_FAILED;
}

WORD CRComInterface::Disconnect(DWORD waitSteps) {
    if (!link_) return RCO_CALL_FAILED;
    if (!link_->DisconnectReq(waitSteps)) return RCO_DISCONNECT_FAILED;
    for (DWORD step = 0; step < waitSteps && connected_; ++step) WaitStep();
    return connected_ ? RCO_DISCONNECT_FAILED : RCO_OK;
}

WORD CRComInterface::StartServer(const char* parameter) {
    if (!link_) return RCO_CALL_FAILED;
    return link_->StartServer(parameter) ? RCO_OK : RCO_CALL_FAILED;
}

BOOL CRComInterface::WaitForConnection(DWORD waitSteps) {
    DWORD step = 0;
    do {
        WaitStep();
    } while (++step < waitSteps && !connected_);
    return connected_;
}

BOOL CRComInterface::WaitForDisconnection(DWORD waitSteps) {
    DWORD step = 0;
    do {
        WaitStep();
    } while (++step < waitSteps && connected_);
    return connected_;
}

WORD CRComInterface::Send(const BYTE* data, DWORD length) {
    LinkLog().Write("++CRComInterface::Send\n");
    if (!link_) return RCO_CALL_FAILED;
    if (!link_->SendData(data, length)) {
        LinkLog().Printf("**CRComInterface::Send ERROR (%d)\n", RCO_CALL_FAILED);
        return RCO_CALL_FAILED;
    }
    LinkLog().Write("--CRComInterface::Send\n");
    return RCO_OK;
}

WORD CRComInterface::Get(BYTE* buffer, DWORD& length, DWORD waitSteps) {
    LinkLog().Write("++CRComInterface::Get\n");
    if (!link_) return RCO_CALL_FAILED;
    length = 0;
    if (!link_->GetData(buffer, &length)) return RCO_CALL_FAILED;
    DWORD tries = 0;
    for (;;) {
        if (length == 0) WaitStep();
        ++tries;
        if (!connected_ || length != 0 || tries >= waitSteps) break;
        length = 0;
        if (!link_->GetData(buffer, &length)) return RCO_CALL_FAILED;
    }
    LinkLog().Printf("  CRComInterface::Get After [%lu] tries\n",
                     static_cast<unsigned long>(tries));
    // A block that arrived before the line dropped is still handed out; the
    // next Get reports the drop.
    if (!connected_ && length == 0) {
        LinkLog().Write("--CRComInterface::Get DISCONNECTED\n");
        return RCO_NOT_CONNECTED;
    }
    if (waitSteps == 0 && length == 0) {
        LinkLog().Write("--CRComInterface::Get TIMEOUT Ocurred\n");
        return RCO_TIMEOUT;
    }
    LinkLog().Printf("--CRComInterface::Get lenght=%ld\n", static_cast<long>(length));
    return RCO_OK;
}

void CRComInterface::OnConnect(const char* parameter) {
    Lock();
    std::strncpy(connectionPar_, parameter ? parameter : "", sizeof connectionPar_ - 1);
    connectionPar_[sizeof connectionPar_ - 1] = '\0';
    connected_ = TRUE;
    Unlock();
}

void CRComInterface::OnDisconnect(WORD reason) {
    Lock();
    connected_ = FALSE;
    disconnectReason_ = reason;
    ++callsEnded_;
    Unlock();
}

void CRComInterface::OnDataRecv() {
    Lock();
    Unlock();
}

void CRComInterface::OnDataSent() {
    Lock();
    dataSent_ = TRUE;
    Unlock();
}

extern "C" {

BOOL CROSetCallBackFn(const CROCallBacks* callBacks) {
    LinkLog().Write("++CROSetCallBackFn\n");
    Current& current = CurrentLink();
    std::lock_guard lock(current.mutex);
    if (!current.link || !callBacks) return FALSE;
    current.link->SetEntries(*callBacks);
    auto address = [](auto entry) {
        return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(entry));
    };
    LinkLog().Printf(" lpfnConnectReq=%08lX\n", address(callBacks->lpfnConnectReq));
    LinkLog().Printf(" lpfnDisconnectReq=%08lX\n", address(callBacks->lpfnDisconnectReq));
    LinkLog().Printf(" lpfnStartServer=%08lX\n", address(callBacks->lpfnStartServer));
    LinkLog().Printf(" lpfnGetData=%08lX\n", address(callBacks->lpfnGetData));
    LinkLog().Printf(" lpfnSendData=%08lX\n", address(callBacks->lpfnSendData));
    return TRUE;
}

BOOL RCOConnectInd(const char* lpszPar) {
    LinkLog().Write("++RCOConnectInd\n");
    LinkLog().Printf("++RCOConnectInd: lpszPar=[%s]\n", lpszPar ? lpszPar : "");
    BOOL result = WithCurrent([&](CRComInterface& i) { i.OnConnect(lpszPar); });
    LinkLog().Write("--RCOConnectInd\n");
    return result;
}

BOOL RCODisconnectInd(WORD wInfo) {
    LinkLog().Write("++RCODisconnectInd\n");
    LinkLog().Printf("++RCODisconnectInd: wInfo=0x%x\n", wInfo);
    return WithCurrent([&](CRComInterface& i) { i.OnDisconnect(wInfo); });
}

BOOL RCODataRecvInd(void) {
    LinkLog().Write("++RCODataRecvInd\n");
    return WithCurrent([](CRComInterface& i) { i.OnDataRecv(); });
}

BOOL RCODataSentInd(void) {
    LinkLog().Write("++RCODataSentInd\n");
    return WithCurrent([](CRComInterface& i) { i.OnDataSent(); });
}
}
