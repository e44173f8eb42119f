#include "b3_connection.h"

#include "link_log.h"

using namespace capi;

B3Connection::B3Connection(CAPIAccess* access, unsigned controllerIndex)
    : CapiConnection(access, controllerIndex), window_(access ? access->MaxB3DataBlocks() : 0) {}

bool B3Connection::OwnsB3(std::uint32_t ncci) const {
    return hasNcci_ && ncci == ncci_;
}

void B3Connection::SendConnectB3Req() {
    OutMessage out = NewMessage(kConnectB3, kReq);
    out.params.Dword(plci_).EmptyStruct();
    PutMessage(out);
}

bool B3Connection::DisconnectB3Req() {
    std::lock_guard lock(LinkMutex());
    if (!Usable() || !hasNcci_) return false;
    OutMessage out = NewMessage(kDisconnectB3, kReq);
    out.params.Dword(ncci_).EmptyStruct();
    b3DisconnectRequested_ = true;
    PutMessage(out);
    return true;
}

bool B3Connection::DisconnectB3WhenSent() {
    std::lock_guard lock(LinkMutex());
    if (!Usable() || !hasNcci_) return false;
    if (!DataOutstanding()) return DisconnectB3Req();
    disconnectWhenSent_ = true;
    return true;
}

bool B3Connection::HandleConnectB3Conf(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    std::uint32_t ncci = r.Dword();
    if (hasNcci_ || !hasPlci_ || (ncci & 0xFFFF) != (plci_ & 0xFFFF)) return false;
    lastInfo_ = r.Word();
    if (lastInfo_ != 0) return true;
    ncci_ = ncci;
    hasNcci_ = true;
    return true;
}

bool B3Connection::HandleConnectB3Ind(const std::uint8_t* m) {
    std::uint32_t ncci = ParamReader(m, MsgLength(m)).Dword();
    if (hasNcci_ || !hasPlci_ || (ncci & 0xFFFF) != (plci_ & 0xFFFF)) return false;
    ncci_ = ncci;
    hasNcci_ = true;
    OutMessage out = NewMessage(kConnectB3, kResp);
    out.params.Dword(ncci_).Word(0).EmptyStruct();
    PutMessage(out);
    return true;
}

bool B3Connection::HandleConnectB3ActiveInd(const std::uint8_t* m) {
    if (!OwnsB3(ParamReader(m, MsgLength(m)).Dword())) return false;
    SendShortMessage(kConnectB3Active, kResp, ncci_);
    dataHandle_ = 0;
    b3Active_ = true;
    StopIdleClock();
    OnB3Connected();
    return true;
}

bool B3Connection::HandleDisconnectB3Conf(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    if (!OwnsB3(r.Dword())) return false;
    lastInfo_ = r.Word();
    return true;
}

void B3Connection::EndB3() {
    hasNcci_ = false;
    b3Active_ = false;
    disconnectWhenSent_ = false;
    // Blocks of an ended connection are never confirmed; keeping them would
    // shrink the window of the next call and collide with its handles.
    unconfirmed_.clear();
}

bool B3Connection::HandleDisconnectB3Ind(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    std::uint32_t ncci = r.Dword();
    if (!OwnsB3(ncci)) return false;
    lastInfo_ = r.Word();
    EndB3();
    SendShortMessage(kDisconnectB3, kResp, ncci);
    if (b3DisconnectRequested_) {
        DisconnectReq();
    } else {
        // The peer closed the data connection but keeps the call.
        StartIdleClock();
    }
    b3DisconnectRequested_ = false;
    OnB3Disconnected();
    return true;
}

void B3Connection::OnCallEnded() {
    // A call can end without a DISCONNECT_B3_IND (layer-1 loss, a call
    // given up); the next call must not inherit the old B3 state.
    EndB3();
    b3DisconnectRequested_ = false;
}

void B3Connection::SendDataBlock(std::vector<std::uint8_t> block) {
    std::uint16_t handle = dataHandle_++;
    auto& stored = unconfirmed_[handle] = std::move(block);
    OutMessage out = NewMessage(kDataB3, kReq, true);
    out.params.Dword(ncci_).Dword(0).Word(static_cast<std::uint16_t>(stored.size()));
    out.params.Word(handle).Word(0).Qword(reinterpret_cast<std::uintptr_t>(stored.data()));
    PutMessage(out);
}

bool B3Connection::HandleDataB3Conf(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    if (!OwnsB3(r.Dword())) return false;
    std::uint16_t handle = r.Word();
    lastInfo_ = r.Word();
    auto it = unconfirmed_.find(handle);
    if (it != unconfirmed_.end()) {
        unconfirmed_.erase(it);
    } else if (lastInfo_ == 0) {
        lastInfo_ = 0xEEFF;
    }
    if (lastInfo_ == 0) SendNextBlock();
    // A refused block will not be confirmed: clear all the same.
    if (disconnectWhenSent_ && (!DataOutstanding() || lastInfo_ != 0)) {
        disconnectWhenSent_ = false;
        DisconnectB3Req();
    }
    return true;
}

bool B3Connection::HandleDataB3Ind(const std::uint8_t* m) {
    ParamReader r(m, MsgLength(m));
    std::uint32_t ncci = r.Dword();
    if (!OwnsB3(ncci)) return false;
    r.Dword();  // a 32-bit address cannot point into a 64-bit process
    std::uint16_t length = r.Word();
    std::uint16_t handle = r.Word();
    r.Word();
    std::uint64_t data64 = r.Remaining() >= 8 ? r.Qword() : 0;
    // The driver's copy of the data lives only until the next get.
    const auto* data = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(data64));
    if (data && length > 0) {
        OnDataReceived(data, length);
    } else if (length > 0) {
        LinkLog().Write("**DATA_B3_IND without a 64-bit data address, block dropped\n");
    }
    OutMessage out = NewMessage(kDataB3, kResp);
    out.params.Dword(ncci).Word(handle);
    PutMessage(out);
    return true;
}
