// The call level of a connection object: building and putting messages on
// the application's one message buffer, taking the messages of its own call,
// placing, answering and clearing calls.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "capi_access.h"
#include "capi_message.h"
#include "message_pump.h"

class CapiConnection : public CapiEndpoint {
public:
    // A call that is up without an active B3 connection (the caller never
    // opens it, or closed it and stayed) is cleared after this long; a call
    // whose clearing the network does not confirm within the same time is
    // given up.
    static constexpr std::chrono::seconds kIdleCallTimeout{10};
    // The reason reported for a call given up that way.
    static constexpr std::uint16_t kReasonTimeout = 0x34E6;
    // The reason reported for a call that ended with the driver connection.
    static constexpr std::uint16_t kReasonLineLost = 0x3301;
    // CONNECT_RESP's Reject value for a second call while one is served.
    static constexpr std::uint16_t kRejectUserBusy = 3;

    CapiConnection(CAPIAccess* access, unsigned controllerIndex);
    bool Usable() const { return Access() && Access()->Usable(); }

    // CONNECT_REQ; calling may be null (no calling party number at all). A
    // call still held is given up first, so that none of its messages reach
    // the new one. False, and nothing sent, when the line is not usable or
    // the numbers do not fit into a message.
    bool ConnectReq(const char* called, std::uint16_t cipSelector, const char* calling);
    // LISTEN_REQ; false when the line is not usable or the number does not fit.
    bool ListenReq(std::uint32_t cipSelectorBits, std::uint32_t infoMask, const char* calling);
    // The Info of the LISTEN_CONF that answers the last LISTEN_REQ, once it
    // came within timeout; the caller must not hold LinkMutex.
    std::optional<std::uint16_t> WaitForListenConf(std::chrono::milliseconds timeout);
    void DisconnectReq();

    bool HandleMessage(const std::uint8_t* message) override;
    void OnDriverLost(unsigned error) override;
    std::optional<LinkClock::time_point> NextDeadline() const override;
    void OnDeadline(LinkClock::time_point now) override;

    bool HasPlci() const { return hasPlci_; }
    std::uint32_t Plci() const { return plci_; }
    std::uint16_t LastInfo() const { return lastInfo_; }
    bool Outgoing() const { return outgoing_; }
    std::uint8_t Controller() const { return controller_; }

protected:
    // A message being built in the application's message buffer.
    struct OutMessage {
        std::uint8_t* message;
        capi::ParamWriter params;
        bool ownLength;
    };
    // Clears the message buffer and writes the header. Unless ownLength,
    // Length comes from the length table.
    OutMessage NewMessage(std::uint8_t command, std::uint8_t kind, bool ownLength = false);
    // Puts the message; false, and nothing put, when its parameters did not fit.
    bool PutMessage(OutMessage& out);
    void SendShortMessage(std::uint8_t command, std::uint8_t kind, std::uint32_t address);

    virtual bool HandleConnectConf(const std::uint8_t* m);
    virtual bool HandleConnectInd(const std::uint8_t* m);
    virtual bool HandleConnectActiveInd(const std::uint8_t* m);
    virtual bool HandleDisconnectConf(const std::uint8_t* m);
    virtual bool HandleDisconnectInd(const std::uint8_t* m);
    virtual bool HandleListenConf(const std::uint8_t* m);
    virtual bool HandleInfoConf(const std::uint8_t* m);
    virtual bool HandleInfoInd(const std::uint8_t* m);
    virtual bool HandleFacConf(const std::uint8_t*) { return true; }
    virtual bool HandleFacInd(const std::uint8_t* m);
    virtual bool HandleManufacturerConf(const std::uint8_t* m);
    virtual bool HandleManufacturerInd(const std::uint8_t* m);
    virtual bool HandleConnectB3Conf(const std::uint8_t*) { return false; }
    virtual bool HandleConnectB3Ind(const std::uint8_t*) { return false; }
    virtual bool HandleConnectB3ActiveInd(const std::uint8_t*) { return false; }
    virtual bool HandleDisconnectB3Conf(const std::uint8_t*) { return false; }
    virtual bool HandleDisconnectB3Ind(const std::uint8_t*) { return false; }
    virtual bool HandleDataB3Conf(const std::uint8_t*) { return false; }
    virtual bool HandleDataB3Ind(const std::uint8_t*) { return false; }

    // Decision points and events of the call level.
    virtual void SendConnectB3Req() {}
    // 0 accepts, 0xEFFE leaves the call unanswered, anything else rejects.
    virtual std::uint16_t OnIncomingCall(std::uint16_t, std::uint16_t, const std::string&,
                                         const std::string&, const std::string&) {
        return 0;
    }
    // 0 opens the B3 connection of an outgoing call, anything else clears it.
    virtual std::uint16_t OnConnectActive(const std::string&, const std::string&) { return 0; }
    virtual void OnDisconnected(std::uint16_t) {}
    virtual void VerarbeiteDTMF(const std::string&) {}
    // A new call starts: nothing of an earlier one may be left.
    virtual void OnNewCall() {}
    // The call ended (cleared, given up or lost): the data level lets go of it.
    virtual void OnCallEnded() {}
    // True while the call carries an active B3 connection.
    virtual bool DataConnectionUp() const { return false; }

    // The call is up but carries no data connection yet (or any more).
    void StartIdleClock();
    void StopIdleClock() { idleSince_.reset(); }

    std::uint32_t plci_ = 0;
    bool hasPlci_ = false;
    std::uint16_t lastInfo_ = 0;

private:
    bool Dispatch(std::uint8_t command, std::uint8_t kind, const std::uint8_t* m);
    bool TakesConfirmation(std::uint8_t command, const std::uint8_t* m) const;
    void SendConnectResp(std::uint32_t plci, std::uint16_t cip, std::uint16_t reject);
    // Lets go of the call held now; its late messages are answered and
    // dropped. Clears it first unless that was asked for already.
    void RetireCall();
    bool IsRetired(std::uint32_t address) const;
    bool HandleRetired(std::uint8_t command, std::uint8_t kind, const std::uint8_t* m);
    void EndCall(std::uint16_t reason);

    std::uint8_t controller_;
    // The message number of the latest request of each command: a
    // confirmation carries the number of its request.
    std::map<std::uint8_t, std::uint16_t> requestNumbers_;
    std::uint16_t indicationNumber_ = 0;
    std::uint16_t cip_ = 0;
    bool outgoing_ = false;
    bool disconnectRequested_ = false;
    std::optional<LinkClock::time_point> idleSince_;
    std::vector<std::uint32_t> retired_;
    std::optional<std::uint16_t> listenResult_;
    std::condition_variable_any listenAnswered_;
};
