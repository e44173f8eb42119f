#include "capi_connection.h"

#include <algorithm>
#include <cstring>

#include "link_log.h"

using namespace capi;

namespace {

// Late messages of so many given-up calls are still recognised.
constexpr std::size_t kMaxRetiredCalls = 8;

void LogPut(const std::uint8_t* m) {
    if (!LinkLog().IsOn()) return;
    std::string title = "PUT " + MessageName(MsgCommand(m), MsgSubcommand(m) & 0x0F);
    LinkLog().Dump(title.c_str(), m, MsgLength(m));
}

// The PLCI part of a PLCI or NCCI; 0 for an address that names only a controller.
std::uint32_t PlciPart(std::uint32_t address) {
    return (address & 0xFF00) ? address & 0xFFFF : 0;
}

}  // namespace

CapiConnection::CapiConnection(CAPIAccess* access, unsigned controllerIndex)
    : CapiEndpoint(access), controller_(static_cast<std::uint8_t>(controllerIndex + 1)) {}

CapiConnection::OutMessage CapiConnection::NewMessage(std::uint8_t command, std::uint8_t kind,
                                                      bool ownLength) {
    std::uint8_t* m = Access()->ClearMessageBuffer();
    PutWord(m + 2, Access()->ApplId());
    m[4] = command;
    m[5] = kind;
    std::uint16_t number = indicationNumber_;
    if (kind != kResp) {
        number = Access()->NextMessageNumber();
        requestNumbers_[command] = number;
    }
    PutWord(m + 6, number);
    return OutMessage{m, ParamWriter(m + kHeaderSize, CAPIAccess::kMessageBufferSize - kHeaderSize),
                      ownLength || CalcMsgLength(command, kind) == kNoFixedLength};
}

bool CapiConnection::PutMessage(OutMessage& out) {
    std::uint8_t* m = out.message;
    if (!out.params.Ok()) {
        LinkLog().Printf("**PutMessage: %s does not fit into the message buffer, not sent\n",
                         MessageName(m[4], m[5]).c_str());
        return false;
    }
    std::size_t length =
        out.ownLength ? kHeaderSize + out.params.Size() : CalcMsgLength(m[4], m[5]);
    PutWord(m, static_cast<std::uint16_t>(length));
    m[5] = m[5] == kReq ? 0x80 : 0x83;
    if (m[4] == kInfo) m[4] = kInfoOnWire;
    LogPut(m);
    // A refused put is not retried: the caller's wait runs out instead.
    Access()->Put(m);
    return true;
}

void CapiConnection::SendShortMessage(std::uint8_t command, std::uint8_t kind,
                                      std::uint32_t address) {
    OutMessage out = NewMessage(command, kind, true);
    out.params.Dword(address);
    PutMessage(out);
}

bool CapiConnection::ConnectReq(const char* called, std::uint16_t cipSelector,
                                const char* calling) {
    std::lock_guard lock(LinkMutex());
    if (!Usable()) return false;
    std::uint16_t cip = CipValue(cipSelector);
    OutMessage out = NewMessage(kConnect, kReq, true);
    ParamWriter& w = out.params;
    w.Dword(controller_).Word(cip);
    w.Struct(CalledPartyNumber(called)).Struct(CallingPartyNumber(calling));
    w.EmptyStruct().EmptyStruct();  // subaddresses
    w.Struct(BProtocolFor(cip));
    w.EmptyStruct().EmptyStruct().EmptyStruct().EmptyStruct();  // BC, LLC, HLC, additional info
    if (!w.Ok()) {
        // Nothing goes out, so the request number taken stays unanswered.
        LinkLog().Printf("**ConnectReq: numbers too long for a CAPI message (%zu and %zu digits)\n",
                         called ? std::strlen(called) : 0, calling ? std::strlen(calling) : 0);
        return false;
    }
    if (hasPlci_) RetireCall();
    outgoing_ = true;
    disconnectRequested_ = false;
    OnNewCall();
    return PutMessage(out);
}

bool CapiConnection::ListenReq(std::uint32_t cipSelectorBits, std::uint32_t infoMask,
                               const char* calling) {
    std::lock_guard lock(LinkMutex());
    if (!Usable()) return false;
    OutMessage out = NewMessage(kListen, kReq, true);
    out.params.Dword(controller_).Dword(infoMask).Dword(ListenCipMask(cipSelectorBits)).Dword(0);
    out.params.Struct(CallingPartyNumber(calling)).EmptyStruct();
    listenResult_.reset();
    return PutMessage(out);
}

std::optional<std::uint16_t> CapiConnection::WaitForListenConf(std::chrono::milliseconds timeout) {
    std::unique_lock lock(LinkMutex());
    listenAnswered_.wait_for(lock, timeout,
                             [this] { return listenResult_.has_value() || !Usable(); });
    return listenResult_;
}

void CapiConnection::DisconnectReq() {
    std::lock_guard lock(LinkMutex());
    // Without a call there is nothing to clear, and an old PLCI may by now
    // name another call.
    if (!Usable() || !hasPlci_) return;
    OutMessage out = NewMessage(kDisconnect, kReq);
    out.params.Dword(plci_).EmptyStruct();
    disconnectRequested_ = true;
    PutMessage(out);
}

void CapiConnection::RetireCall() {
    if (!disconnectRequested_) DisconnectReq();
    LinkLog().Printf("  CapiConnection: call 0x%04X given up for a new one\n", plci_ & 0xFFFF);
    retired_.push_back(plci_ & 0xFFFF);
    if (retired_.size() > kMaxRetiredCalls) retired_.erase(retired_.begin());
    hasPlci_ = false;
    StopIdleClock();
    OnCallEnded();
}

bool CapiConnection::IsRetired(std::uint32_t address) const {
    std::uint32_t plci = PlciPart(address);
    return plci && std::find(retired_.begin(), retired_.end(), plci) != retired_.end();
}

bool CapiConnection::TakesConfirmation(std::uint8_t command, const std::uint8_t* m) const {
    auto request = requestNumbers_.find(command);
    return request != requestNumbers_.end() && request->second == MsgNumber(m);
}

bool CapiConnection::HandleMessage(const std::uint8_t* m) {
    std::uint8_t command = MsgCommand(m);
    std::uint8_t kind = MsgSubcommand(m) & 0x0F;
    if (command == kInfoOnWire) command = kInfo;
    if (kind == kInd) indicationNumber_ = MsgNumber(m);
    ParamReader r(m, MsgLength(m));
    std::uint32_t address = r.Dword();
    if (r.Ok() && command != kManufacturer && IsRetired(address))
        return HandleRetired(command, kind, m);
    if (kind == kConf && !hasPlci_ && !TakesConfirmation(command, m)) return false;
    return Dispatch(command, kind, m);
}

bool CapiConnection::Dispatch(std::uint8_t command, std::uint8_t kind, const std::uint8_t* m) {
    bool conf = kind == kConf;
    bool ind = kind == kInd;
    switch (command) {
        case kConnect:
            return conf ? HandleConnectConf(m) : ind && HandleConnectInd(m);
        case kConnectActive:
            return ind ? HandleConnectActiveInd(m) : true;
        case kDisconnect:
            return conf ? HandleDisconnectConf(m) : ind && HandleDisconnectInd(m);
        case kListen:
            return conf ? HandleListenConf(m) : true;
        case kInfo:
            return conf ? HandleInfoConf(m) : ind && HandleInfoInd(m);
        case kFacility:
            return conf ? HandleFacConf(m) : ind && HandleFacInd(m);
        case kConnectB3:
            return conf ? HandleConnectB3Conf(m) : ind && HandleConnectB3Ind(m);
        case kConnectB3Active:
            return ind ? HandleConnectB3ActiveInd(m) : true;
        case kDisconnectB3:
            return conf ? HandleDisconnectB3Conf(m) : ind && HandleDisconnectB3Ind(m);
        case kDataB3:
            return conf ? HandleDataB3Conf(m) : ind && HandleDataB3Ind(m);
        case kManufacturer:
            return conf ? HandleManufacturerConf(m) : ind && HandleManufacturerInd(m);
        case kAlert:
            return !conf;
        default:
            return true;
    }
}

// A given-up call still gets the answers the driver waits for; nothing of
// it reaches the call of now.
bool CapiConnection::HandleRetired(std::uint8_t command, std::uint8_t kind, const std::uint8_t* m) {
    if (kind != kInd) return true;
    ParamReader r(m, MsgLength(m));
    std::uint32_t address = r.Dword();
    switch (command) {
        case kDisconnect: {
            SendShortMessage(kDisconnect, kResp, address);
            retired_.erase(std::remove(retired_.begin(), retired_.end(), PlciPart(address)),
                           retired_.end());
            return true;
        }
        case kConnectActive:
        case kConnectB3Active:
        case kDisconnectB3:
        case kInfo:
            SendShortMessage(command, kResp, address);
            return true;
        case kConnectB3: {
            OutMessage out = NewMessage(kConnectB3, kResp);
            out.params.Dword(address).Word(2).EmptyStruct();
            PutMessage(out);
            return true;
        }
        case kDataB3: {
            r.Dword();
            r.Word();
            std::uint16_t handle = r.Word();
            OutMessage out = NewMessage(kDataB3, kResp);
            out.params.Dword(address).Word(handle);
            PutMessage(out);
            return true;
        }
        case kFacility: {
            std::uint16_t selector = r.Word();
            OutMessage out = NewMessage(kFacility, kResp);
            out.params.Dword(address).Word(selector).EmptyStruct();
            PutMessage(out);
            return true;
        }
        default:
            return true;
    }
}

bool CapiConnection::HandleConnectConf(const std::uint8_t* m) {
    if (hasPlci_) return false;
    ParamReader r(m, MsgLength(m));
    std::uint32_t plci = r.Dword();
    lastInfo_ = r.Word();
    if (lastInfo_ != 0) {
        LinkLog().Printf("**CONNECT_CONF Info=0x%04X\n", lastInfo_);
        return true;
    }
    plci_ = plci;
    hasPlci_ = true;
    return true;
}

bool CapiConnection::HandleConnectInd(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    std::uint32_t plci = r.Dword();
    std::uint16_t cip = r.Word();
    if (hasPlci_) {
        // One call at a time: the caller hears "busy" at once rather than
        // ringing until the network gives up.
        LinkLog().Printf("  CONNECT_IND 0x%04X while a call is held: busy\n", plci & 0xFFFF);
        SendConnectResp(plci, cip, kRejectUserBusy);
        return true;
    }
    std::string called = NumberText(r.Struct(), false);
    std::vector<std::uint8_t> callingNumber = r.Struct();
    std::string calling = NumberText(callingNumber, true);
    std::string type = callingNumber.empty() ? std::string() : std::to_string(callingNumber[0]);
    std::uint16_t si = (cip == 2 || cip == 3 || cip == 7) ? 7 : 1;
    std::uint16_t answer = OnIncomingCall(si, 0, called, calling, type);
    if (answer == 0xEFFE) return true;
    if (answer != 0) {
        SendConnectResp(plci, cip, answer);
        return true;
    }
    plci_ = plci;
    cip_ = cip;
    hasPlci_ = true;
    outgoing_ = false;
    disconnectRequested_ = false;
    OnNewCall();
    SendConnectResp(plci_, cip_, 0);
    StartIdleClock();
    return true;
}

void CapiConnection::SendConnectResp(std::uint32_t plci, std::uint16_t cip, std::uint16_t reject) {
    OutMessage out = NewMessage(kConnect, kResp, true);
    out.params.Dword(plci).Word(reject).Struct(BProtocolFor(cip));
    out.params.EmptyStruct().EmptyStruct().EmptyStruct().EmptyStruct();
    PutMessage(out);
}

bool CapiConnection::HandleConnectActiveInd(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    if (!hasPlci_ || r.Dword() != plci_) return false;
    std::vector<std::uint8_t> number = r.Struct();
    SendShortMessage(kConnectActive, kResp, plci_);
    if (!outgoing_) return true;
    StartIdleClock();
    std::string type = number.empty() ? std::string() : std::to_string(number[0]);
    if (OnConnectActive(NumberText(number, true), type) == 0) {
        SendConnectB3Req();
    } else {
        DisconnectReq();
    }
    return true;
}

bool CapiConnection::HandleDisconnectConf(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    if (!hasPlci_ || r.Dword() != plci_) return false;
    lastInfo_ = r.Word();
    return true;
}

bool CapiConnection::HandleDisconnectInd(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    if (!hasPlci_ || r.Dword() != plci_) return false;
    std::uint16_t reason = r.Word();
    lastInfo_ = reason;
    SendShortMessage(kDisconnect, kResp, plci_);
    EndCall(reason);
    return true;
}

void CapiConnection::EndCall(std::uint16_t reason) {
    hasPlci_ = false;
    StopIdleClock();
    OnCallEnded();
    OnDisconnected(reason);
}

bool CapiConnection::HandleListenConf(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    if (hasPlci_ && !TakesConfirmation(kListen, m)) return false;
    if ((r.Dword() & 0x7F) != controller_) return false;
    lastInfo_ = r.Word();
    if (lastInfo_ != 0) LinkLog().Printf("**LISTEN_CONF Info=0x%04X\n", lastInfo_);
    listenResult_ = lastInfo_;
    listenAnswered_.notify_all();
    return true;
}

bool CapiConnection::HandleInfoConf(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    r.Dword();
    lastInfo_ = r.Word();
    return true;
}

bool CapiConnection::HandleInfoInd(const std::uint8_t* m) {
    std::uint32_t address = ParamReader(m, MsgLength(m)).Dword();
    if (address != 0 && !(hasPlci_ && address == plci_)) return false;
    // The response names what the indication named.
    SendShortMessage(kInfo, kResp, address);
    return true;
}

bool CapiConnection::HandleFacInd(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    std::uint32_t address = r.Dword();
    std::uint16_t selector = r.Word();
    std::vector<std::uint8_t> parameter = r.Struct();
    OutMessage out = NewMessage(kFacility, kResp);
    out.params.Dword(address).Word(selector).EmptyStruct();
    PutMessage(out);
    if (selector == 1) VerarbeiteDTMF(std::string(parameter.begin(), parameter.end()));
    return true;
}

bool CapiConnection::HandleManufacturerConf(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    r.Dword();
    lastInfo_ = r.Word();
    return true;
}

bool CapiConnection::HandleManufacturerInd(const std::uint8_t* m) {
    if (MsgLength(m) < kHeaderSize + 3 || m[kHeaderSize] != 0x13) return false;
    OutMessage out = NewMessage(kManufacturer, kResp, true);
    out.params.Byte(m[8]).Byte(m[9]).Byte(m[10]).Byte(0);
    PutMessage(out);
    return true;
}

void CapiConnection::StartIdleClock() {
    idleSince_ = LinkClock::now();
}

std::optional<LinkClock::time_point> CapiConnection::NextDeadline() const {
    if (!idleSince_ || !hasPlci_) return std::nullopt;
    return *idleSince_ + kIdleCallTimeout;
}

void CapiConnection::OnDeadline(LinkClock::time_point now) {
    if (!hasPlci_ || DataConnectionUp()) {
        StopIdleClock();
        return;
    }
    if (!disconnectRequested_) {
        LinkLog().Printf(
            "**CapiConnection: call 0x%04X without data connection for %lld s, cleared\n",
            plci_ & 0xFFFF, static_cast<long long>(kIdleCallTimeout.count()));
        DisconnectReq();
        idleSince_ = now;
        return;
    }
    LinkLog().Printf("**CapiConnection: clearing of call 0x%04X not confirmed, given up\n",
                     plci_ & 0xFFFF);
    retired_.push_back(plci_ & 0xFFFF);
    EndCall(kReasonTimeout);
}

void CapiConnection::OnDriverLost(unsigned) {
    retired_.clear();
    if (hasPlci_) EndCall(kReasonLineLost);
    listenAnswered_.notify_all();
}
