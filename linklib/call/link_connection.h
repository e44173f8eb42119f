// The library's connection object: reports its events to the transport of
// the CRComObj whose call it is. A call placed or answered while one object
// was the current one is that object's; once a newer object is current, the
// old call's events reach nobody (its object is gone, or has given it up).
#pragma once

#include <functional>

#include "buffered_connection.h"

class LinkConnection : public BufferedConnection {
public:
    LinkConnection(CAPIAccess* access, unsigned controllerIndex);
    ~LinkConnection() override;

protected:
    void OnNewCall() override;
    void OnDisconnected(std::uint16_t reason) override;
    void OnB3Connected() override;
    void OnAllDataSent() override;
    void OnDataReceived(const std::uint8_t* data, std::size_t length) override;

private:
    void Report(const char* what, const std::function<void()>& indication);

    unsigned owner_ = 0;
};
