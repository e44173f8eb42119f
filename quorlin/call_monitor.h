// The call monitor: a CAPI application of its own that listens for
// telephone calls, reports each one and lets it ring on for the telephones.
// It takes one decoded message at a time and answers through an outbox, so
// that a test can drive it without a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "monitor_messages.h"

struct PhoneCall {
    std::time_t time = 0;
    std::string msn;
    std::string number;  // "" when the caller's number was withheld or not given
    bool withheld = false;
    std::uint16_t cip = 0;
    std::string service;
};

class CapiOutbox {
public:
    virtual ~CapiOutbox() = default;
    // The result of capi20_put_message (0: accepted).
    virtual unsigned Put(const monitor::Bytes& message) = 0;
};

class CallMonitor {
public:
    using Reporter = std::function<void(const PhoneCall&)>;
    using Clock = std::function<std::time_t()>;
    enum class ListenState { NotAsked, Pending, Listening, Refused };

    CallMonitor(
        std::uint16_t applId, CapiOutbox& outbox, Reporter report,
        Clock now = [] { return std::time(nullptr); });

    // Asks the controller for the telephone services; false when the driver
    // would not take the request.
    bool Listen(std::uint32_t controller);
    // One message from the driver.
    void Handle(const std::uint8_t* message, std::size_t size);

    ListenState State() const { return state_; }
    // The Info of a refused LISTEN_REQ or put.
    unsigned ListenError() const { return listenError_; }

private:
    void OnConnectInd(const std::uint8_t* message, std::size_t size, std::uint16_t number);
    void OnListenConf(const std::uint8_t* message, std::size_t size);
    void Put(const monitor::Bytes& message);

    std::uint16_t applId_;
    CapiOutbox& outbox_;
    Reporter report_;
    Clock now_;
    std::uint16_t nextNumber_ = 1;
    ListenState state_ = ListenState::NotAsked;
    unsigned listenError_ = 0;
};
