// The call level of a connection object: building and putting messages on
// the application's one message buffer, offering incoming messages to their
// handlers, placing, answering and clearing calls.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "capi_access.h"

// Guards the message buffer, the connection objects and the list of them:
// requests come from the caller's thread, handlers from whichever thread
// runs the pump.
std::recursive_mutex& LinkMutex();

class CapiConnection {
public:
    CapiConnection(CAPIAccess* access, unsigned controllerIndex);
    virtual ~CapiConnection();
    CapiConnection(const CapiConnection&) = delete;
    CapiConnection& operator=(const CapiConnection&) = delete;

    CAPIAccess* Access() const { return access_; }
    bool Usable() const { return access_ && access_->Usable(); }

    // CONNECT_REQ; calling may be null (no calling party number at all).
    void ConnectReq(const char* called, std::uint16_t cipSelector, const char* calling);
    // LISTEN_REQ; false when the line is not usable.
    bool ListenReq(std::uint32_t cipSelectorBits, std::uint32_t infoMask, const char* calling);
    void DisconnectReq();

    // Offers one incoming message; true when this object takes it.
    bool HandleMessage(const std::uint8_t* message);
    virtual void OnMessageHandled() {}

    bool HasPlci() const { return hasPlci_; }
    std::uint32_t Plci() const { return plci_; }
    std::uint16_t LastInfo() const { return lastInfo_; }
    bool Outgoing() const { return outgoing_; }
    std::uint8_t Controller() const { return controller_; }

protected:
    // Clears the message buffer and writes the header; *params points behind it.
    // Unless ownLength, Length comes from the length table.
    std::uint8_t* NewMessage(std::uint8_t command, std::uint8_t kind, std::uint8_t** params,
                             bool ownLength = false);
    void PutMessage(std::uint8_t* message);
    void SendShortMessage(std::uint8_t command, std::uint8_t kind, std::uint32_t address);
    static void SetLength(std::uint8_t* message, std::size_t paramsSize);

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

    std::uint32_t plci_ = 0;
    bool hasPlci_ = false;
    std::uint16_t lastInfo_ = 0;

private:
    bool Dispatch(std::uint8_t command, std::uint8_t kind, const std::uint8_t* m);
    void SendConnectResp(std::uint16_t reject);

    CAPIAccess* access_;
    std::uint8_t controller_;
    std::uint8_t lastRequest_ = 0;
    std::uint16_t indicationNumber_ = 0;
    std::uint16_t cip_ = 0;
    bool outgoing_ = false;
};

// One pass of the message pump: at most one message per CAPI application,
// offered to the connection objects in the order they were created. A pass
// that finds another one running returns at once.
void RunMessagePump();

// The connection objects, in creation order (for the pump and the tests).
std::vector<CapiConnection*>& ConnectionList();
