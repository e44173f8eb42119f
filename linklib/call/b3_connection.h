// The data level of a connection object: one B3 connection and the send
// window of blocks handed to the driver and not yet confirmed.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "capi_connection.h"

class B3Connection : public CapiConnection {
public:
    B3Connection(CAPIAccess* access, unsigned controllerIndex);

    // DISCONNECT_B3_REQ when a B3 connection exists; false when none does.
    bool DisconnectB3Req();
    // Orderly clearing: DISCONNECT_B3_REQ once every block handed over has
    // been confirmed, so that the peer receives the last of them (often an
    // acknowledgement) before the line goes. False without a B3 connection.
    bool DisconnectB3WhenSent();

    bool HasNcci() const { return hasNcci_; }
    std::uint32_t Ncci() const { return ncci_; }
    bool B3Active() const { return b3Active_; }
    std::size_t Unconfirmed() const { return unconfirmed_.size(); }
    std::size_t SendWindow() const { return window_; }

protected:
    void SendConnectB3Req() override;
    bool HandleConnectB3Conf(const std::uint8_t* m) override;
    bool HandleConnectB3Ind(const std::uint8_t* m) override;
    bool HandleConnectB3ActiveInd(const std::uint8_t* m) override;
    bool HandleDisconnectB3Conf(const std::uint8_t* m) override;
    bool HandleDisconnectB3Ind(const std::uint8_t* m) override;
    bool HandleDataB3Conf(const std::uint8_t* m) override;
    bool HandleDataB3Ind(const std::uint8_t* m) override;
    void OnCallEnded() override;
    bool DataConnectionUp() const override { return b3Active_; }

    // DATA_B3_REQ for one block; the block is kept until its confirmation.
    void SendDataBlock(std::vector<std::uint8_t> block);

    virtual bool SendNextBlock() { return false; }
    // Blocks handed over but not yet confirmed by the driver.
    virtual bool DataOutstanding() const { return !unconfirmed_.empty(); }
    virtual void OnB3Connected() {}
    virtual void OnB3Disconnected() {}
    virtual void OnAllDataSent() {}
    virtual void OnDataReceived(const std::uint8_t*, std::size_t) {}

private:
    bool OwnsB3(std::uint32_t ncci) const;
    void EndB3();

    std::uint32_t ncci_ = 0;
    bool hasNcci_ = false;
    bool b3Active_ = false;
    bool b3DisconnectRequested_ = false;
    bool disconnectWhenSent_ = false;
    std::uint16_t dataHandle_ = 0;
    std::size_t window_;
    std::map<std::uint16_t, std::vector<std::uint8_t>> unconfirmed_;
};
