#include "com_interface.h"

#include <algorithm>
#include <cstring>

#include "com_link.h"
#include "link_log.h"

CRComInterface::CRComInterface() {
    link_ = new CRComLink(this);
}

CRComInterface::~CRComInterface() {
    link_->DisconnectReq(0);
    delete link_;
}

BOOL CRComInterface::IsConnected() const {
    std::lock_guard lock(mutex_);
    return connected_;
}

int CRComInterface::ReceivedCount() const {
    std::lock_guard lock(mutex_);
    return receivedCount_;
}

BOOL CRComInterface::DataSent() const {
    std::lock_guard lock(mutex_);
    return dataSent_;
}

WORD CRComInterface::DisconnectReason() const {
    std::lock_guard lock(mutex_);
    return disconnectReason_;
}

char* CRComInterface::ConnectionPar() {
    return connectionPar_;
}

WORD CRComInterface::Connect(const char* address, const char* parameter, DWORD waitSteps) {
    if (!link_) return RCO_CALL_FAILED;
    unsigned endedBefore = 0;
    {
        std::lock_guard lock(mutex_);
        endedBefore = callsEnded_;
    }
    if (!link_->ConnectReq(address, parameter, waitSteps)) return RCO_CONNECT_FAILED;
    // A call that the network refuses is over: no need to wait out the steps.
    WaitSteps(waitSteps, news_, [&] {
        std::lock_guard lock(mutex_);
        return connected_ || callsEnded_ != endedBefore;
    });
    return IsConnected() ? RCO_OK : RCO_CONNECT_FAILED;
}

WORD CRComInterface::Disconnect(DWORD waitSteps) {
    if (!link_) return RCO_CALL_FAILED;
    if (!link_->DisconnectReq(waitSteps)) return RCO_DISCONNECT_FAILED;
    WaitSteps(waitSteps, news_, [&] { return !IsConnected(); });
    return IsConnected() ? RCO_DISCONNECT_FAILED : RCO_OK;
}

WORD CRComInterface::StartServer(const char* parameter) {
    if (!link_) return RCO_CALL_FAILED;
    return link_->StartServer(parameter) ? RCO_OK : RCO_CALL_FAILED;
}

BOOL CRComInterface::WaitForConnection(DWORD waitSteps) {
    WaitSteps(std::max<DWORD>(waitSteps, 1), news_, [&] { return IsConnected() != FALSE; });
    return IsConnected();
}

BOOL CRComInterface::WaitForDisconnection(DWORD waitSteps) {
    WaitSteps(std::max<DWORD>(waitSteps, 1), news_, [&] { return !IsConnected(); });
    return IsConnected();
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
    unsigned long tries = 0;
    bool failed = false;
    // A block that arrived before the line dropped is still handed out; the
    // next Get reports the drop.
    auto take = [&] {
        ++tries;
        length = 0;
        if (!link_->GetData(buffer, &length)) failed = true;
        return failed || length != 0 || !IsConnected();
    };
    if (!take() && waitSteps > 0) WaitSteps(waitSteps, news_, take);
    if (failed) return RCO_CALL_FAILED;
    LinkLog().Printf("  CRComInterface::Get After [%lu] tries\n", tries);
    if (length == 0 && !IsConnected()) {
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
    {
        std::lock_guard lock(mutex_);
        std::strncpy(connectionPar_, parameter ? parameter : "", sizeof connectionPar_ - 1);
        connectionPar_[sizeof connectionPar_ - 1] = '\0';
        connected_ = TRUE;
    }
    news_.Notify();
}

void CRComInterface::OnDisconnect(WORD reason) {
    {
        std::lock_guard lock(mutex_);
        connected_ = FALSE;
        disconnectReason_ = reason;
        ++callsEnded_;
    }
    news_.Notify();
}

void CRComInterface::OnDataRecv() {
    // Nothing is kept here: blocks are fetched from the carrier. The news
    // is what a waiting Get needs.
    news_.Notify();
}

void CRComInterface::OnDataSent() {
    {
        std::lock_guard lock(mutex_);
        dataSent_ = TRUE;
    }
    news_.Notify();
}
