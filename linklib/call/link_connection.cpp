#include "link_connection.h"

#include "corvane.h"
#include "current_link.h"
#include "link_log.h"

LinkConnection::LinkConnection(CAPIAccess* access, unsigned controllerIndex)
    : BufferedConnection(access, controllerIndex) {}

LinkConnection::~LinkConnection() {
    std::lock_guard lock(LinkMutex());
    if (B3Active()) DisconnectB3Req();
}

void LinkConnection::OnNewCall() {
    BufferedConnection::OnNewCall();
    owner_ = CurrentLinkSerial();
}

void LinkConnection::Report(const char* what, const std::function<void()>& indication) {
    if (WhileCurrent(owner_, indication)) return;
    LinkLog().Printf("  LinkConnection: %s of a call whose object is gone, not reported\n", what);
}

void LinkConnection::OnDisconnected(std::uint16_t reason) {
    Report("end", [reason] { RCODisconnectInd(reason); });
}

void LinkConnection::OnB3Connected() {
    BufferedConnection::OnB3Connected();
    Report("start", [] { RCOConnectInd(""); });
}

void LinkConnection::OnAllDataSent() {
    Report("data sent", [] { RCODataSentInd(); });
}

void LinkConnection::OnDataReceived(const std::uint8_t* data, std::size_t length) {
    BufferedConnection::OnDataReceived(data, length);
    RCODataRecvInd();
}
