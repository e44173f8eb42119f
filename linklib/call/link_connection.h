// The library's connection object: reports its events to the transport.
#pragma once

#include "buffered_connection.h"

class LinkConnection : public BufferedConnection {
public:
    LinkConnection(CAPIAccess* access, unsigned controllerIndex);
    ~LinkConnection() override;

protected:
    void OnDisconnected(std::uint16_t reason) override;
    void OnB3Connected() override;
    void OnAllDataSent() override;
};
