#include "capi_connection.h"

#include <algorithm>
#include <atomic>

#include "capi_message.h"
#include "linklog.h"

using namespace capi;

std::recursive_mutex& LinkMutex() {
    static std::recursive_mutex* mutex = new std::recursive_mutex;
    return *mutex;
}

std::vector<CapiConnection*>& ConnectionList() {
    static std::vector<CapiConnection*>* list = new std::vector<CapiConnection*>;
    return *list;
}

namespace {

void LogMessage(const char* direction, const std::uint8_t* m) {
    if (!LinkLog().IsOn()) return;
    std::string title = std::string(direction) + " " + MessageName(MsgCommand(m), MsgSubcommand(m));
    LinkLog().Dump(title.c_str(), m, MsgLength(m));
}

}  // namespace

CapiConnection::CapiConnection(CAPIAccess* access, unsigned controllerIndex)
    : access_(access), controller_(static_cast<std::uint8_t>(controllerIndex + 1)) {
    std::lock_guard lock(LinkMutex());
    ConnectionList().push_back(this);
}

CapiConnection::~CapiConnection() {
    std::lock_guard lock(LinkMutex());
    auto& list = ConnectionList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

std::uint8_t* CapiConnection::NewMessage(std::uint8_t command, std::uint8_t kind,
                                         std::uint8_t** params, bool ownLength) {
    std::uint8_t* m = access_->ClearMessageBuffer();
    if (!ownLength) PutWord(m, static_cast<std::uint16_t>(CalcMsgLength(command, kind)));
    PutWord(m + 2, access_->ApplId());
    m[4] = command;
    m[5] = kind;
    std::uint16_t number = kind == kResp ? indicationNumber_ : access_->NextMessageNumber();
    PutWord(m + 6, number);
    *params = m + kHeaderSize;
    return m;
}

void CapiConnection::SetLength(std::uint8_t* message, std::size_t paramsSize) {
    PutWord(message, static_cast<std::uint16_t>(kHeaderSize + paramsSize));
}

void CapiConnection::PutMessage(std::uint8_t* m) {
    lastRequest_ = m[5] == kReq ? m[4] : kLastWasResponse;
    m[5] = m[5] == kReq ? 0x80 : 0x83;
    if (m[4] == kInfo) m[4] = kInfoOnWire;
    LogMessage("PUT", m);
    // A refused put is not retried: the caller's wait runs out instead.
    access_->Put(m);
}

void CapiConnection::SendShortMessage(std::uint8_t command, std::uint8_t kind,
                                      std::uint32_t address) {
    std::uint8_t* params;
    std::uint8_t* m = NewMessage(command, kind, &params, true);
    SetLength(m, ParamWriter(params).Dword(address).Size());
    PutMessage(m);
}

void CapiConnection::ConnectReq(const char* called, std::uint16_t cipSelector,
                                const char* calling) {
    std::lock_guard lock(LinkMutex());
    if (!Usable()) return;
    outgoing_ = true;
    std::uint16_t cip = CipValue(cipSelector);
    std::uint8_t* params;
    std::uint8_t* m = NewMessage(kConnect, kReq, &params, true);
    ParamWriter w(params);
    w.Dword(controller_).Word(cip);
    w.Struct(CalledPartyNumber(called)).Struct(CallingPartyNumber(calling));
    w.EmptyStruct().EmptyStruct();  // subaddresses
    w.Struct(BProtocolFor(cip));
    w.EmptyStruct().EmptyStruct().EmptyStruct().EmptyStruct();  // BC, LLC, HLC, additional info
    SetLength(m, w.Size());
    PutMessage(m);
}

bool CapiConnection::ListenReq(std::uint32_t cipSelectorBits, std::uint32_t infoMask,
                               const char* calling) {
    std::lock_guard lock(LinkMutex());
    if (!Usable()) return false;
    std::uint8_t* params;
    std::uint8_t* m = NewMessage(kListen, kReq, &params, true);
    ParamWriter w(params);
    w.Dword(controller_).Dword(infoMask).Dword(ListenCipMask(cipSelectorBits)).Dword(0);
    w.Struct(CallingPartyNumber(calling)).EmptyStruct();
    SetLength(m, w.Size());
    PutMessage(m);
    return true;
}

void CapiConnection::DisconnectReq() {
    std::lock_guard lock(LinkMutex());
    // Without a call there is nothing to clear, and an old PLCI may by now
    // name another call.
    if (!Usable() || !hasPlci_) return;
    std::uint8_t* params;
    std::uint8_t* m = NewMessage(kDisconnect, kReq, &params);
    ParamWriter(params).Dword(plci_).EmptyStruct();
    PutMessage(m);
}

bool CapiConnection::HandleMessage(const std::uint8_t* m) {
    std::uint8_t command = MsgCommand(m);
    std::uint8_t kind = MsgSubcommand(m) & 0x0F;
    if (command == kInfoOnWire) command = kInfo;
    if (kind == kInd) indicationNumber_ = MsgNumber(m);
    if (kind == kConf && !hasPlci_ && lastRequest_ != command) return false;
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

bool CapiConnection::HandleConnectConf(const std::uint8_t* m) {
    if (hasPlci_) return false;
    ParamReader r(m);
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
    if (hasPlci_) return false;
    ParamReader r(m);
    plci_ = r.Dword();
    cip_ = r.Word();
    hasPlci_ = true;
    std::string called = NumberText(r.Struct(), false);
    std::vector<std::uint8_t> callingNumber = r.Struct();
    std::string calling = NumberText(callingNumber, true);
    std::string type = callingNumber.empty() ? std::string() : std::to_string(callingNumber[0]);
    std::uint16_t si = (cip_ == 2 || cip_ == 3 || cip_ == 7) ? 7 : 1;
    std::uint16_t answer = OnIncomingCall(si, 0, called, calling, type);
    if (answer == 0xEFFE) return true;
    if (answer == 0) outgoing_ = false;
    SendConnectResp(answer);
    return true;
}

void CapiConnection::SendConnectResp(std::uint16_t reject) {
    std::uint8_t* params;
    std::uint8_t* m = NewMessage(kConnect, kResp, &params, true);
    ParamWriter w(params);
    w.Dword(plci_).Word(reject).Struct(BProtocolFor(cip_));
    w.EmptyStruct().EmptyStruct().EmptyStruct().EmptyStruct();
    SetLength(m, w.Size());
    PutMessage(m);
}

bool CapiConnection::HandleConnectActiveInd(const std::uint8_t* m) {
    ParamReader r(m);
    if (!hasPlci_ || r.Dword() != plci_) return false;
    std::vector<std::uint8_t> number = r.Struct();
    SendShortMessage(kConnectActive, kResp, plci_);
    if (!outgoing_) return true;
    std::string type = number.empty() ? std::string() : std::to_string(number[0]);
    if (OnConnectActive(NumberText(number, true), type) == 0) {
        SendConnectB3Req();
    } else {
        DisconnectReq();
    }
    return true;
}

bool CapiConnection::HandleDisconnectConf(const std::uint8_t* m) {
    ParamReader r(m);
    if (!hasPlci_ || r.Dword() != plci_) return false;
    lastInfo_ = r.Word();
    return true;
}

bool CapiConnection::HandleDisconnectInd(const std::uint8_t* m) {
    ParamReader r(m);
    if (!hasPlci_ || r.Dword() != plci_) return false;
    std::uint16_t reason = r.Word();
    lastInfo_ = reason;
    SendShortMessage(kDisconnect, kResp, plci_);
    hasPlci_ = false;
    OnDisconnected(reason);
    return true;
}

bool CapiConnection::HandleListenConf(const std::uint8_t* m) {
    ParamReader r(m);
    if (hasPlci_ || (r.Dword() & 0x7F) != controller_) return false;
    lastInfo_ = r.Word();
    if (lastInfo_ != 0) LinkLog().Printf("**LISTEN_CONF Info=0x%04X\n", lastInfo_);
    return true;
}

bool CapiConnection::HandleInfoConf(const std::uint8_t* m) {
    ParamReader r(m);
    r.Dword();
    lastInfo_ = r.Word();
    return true;
}

bool CapiConnection::HandleInfoInd(const std::uint8_t* m) {
    std::uint32_t address = ParamReader(m).Dword();
    if (address != 0 && !(hasPlci_ && address == plci_)) return false;
    // The response names what the indication named.
    SendShortMessage(kInfo, kResp, address);
    return true;
}

bool CapiConnection::HandleFacInd(const std::uint8_t* m) {
    ParamReader r(m);
    std::uint32_t address = r.Dword();
    std::uint16_t selector = r.Word();
    std::vector<std::uint8_t> parameter = r.Struct();
    std::uint8_t* params;
    std::uint8_t* out = NewMessage(kFacility, kResp, &params);
    ParamWriter(params).Dword(address).Word(selector).EmptyStruct();
    PutMessage(out);
    if (selector == 1) VerarbeiteDTMF(std::string(parameter.begin(), parameter.end()));
    return true;
}

bool CapiConnection::HandleManufacturerConf(const std::uint8_t* m) {
    ParamReader r(m);
    r.Dword();
    lastInfo_ = r.Word();
    return true;
}

bool CapiConnection::HandleManufacturerInd(const std::uint8_t* m) {
    if (MsgLength(m) < kHeaderSize + 3 || m[kHeaderSize] != 0x13) return false;
    std::uint8_t* params;
    std::uint8_t* out = NewMessage(kManufacturer, kResp, &params, true);
    ParamWriter(params).Byte(m[8]).Byte(m[9]).Byte(m[10]).Byte(0);
    SetLength(out, 4);
    PutMessage(out);
    return true;
}

void RunMessagePump() {
    static std::atomic<bool> busy{false};
    if (busy.exchange(true)) return;
    {
        std::lock_guard lock(LinkMutex());
        auto& list = ConnectionList();
        std::vector<CAPIAccess*> served;
        for (CapiConnection* first : list) {
            CAPIAccess* access = first->Access();
            if (!access || std::find(served.begin(), served.end(), access) != served.end())
                continue;
            served.push_back(access);
            std::uint8_t* m = nullptr;
            if (access->Get(&m) != 0 || !m || MsgLength(m) < kHeaderSize) continue;
            LogMessage("GET", m);
            for (CapiConnection* c : list) {
                if (c->Access() != access || !c->HandleMessage(m)) continue;
                c->OnMessageHandled();
                break;
            }
        }
    }
    busy = false;
}
