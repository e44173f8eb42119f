#include "link_connection.h"

#include "corvane.h"

LinkConnection::LinkConnection(CAPIAccess* access, unsigned controllerIndex)
    : BufferedConnection(access, controllerIndex) {}

LinkConnection::~LinkConnection() {
    std::lock_guard lock(LinkMutex());
    if (B3Active()) DisconnectB3Req();
}

void LinkConnection::OnDisconnected(std::uint16_t reason) {
    RCODisconnectInd(reason);
}

void LinkConnection::OnB3Connected() {
    BufferedConnection::OnB3Connected();
    RCOConnectInd("");
}

void LinkConnection::OnAllDataSent() {
    RCODataSentInd();
}
