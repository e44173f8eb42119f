#include "b3_connection.h"

#include <cstring>

#include "capi_message.h"
#include "corvane.h"
#include "linklog.h"

using namespace capi;

B3Connection::B3Connection(CAPIAccess* access, unsigned controllerIndex)
    : CapiConnection(access, controllerIndex), window_(access ? access->MaxB3DataBlocks() : 0) {}

bool B3Connection::OwnsB3(std::uint32_t ncci) const {
    return hasNcci_ && ncci == ncci_;
}

void B3Connection::SendConnectB3Req() {
    std::uint8_t* params;
    std::uint8_t* m = NewMessage(kConnectB3, kReq, &params);
    ParamWriter(params).Dword(plci_).EmptyStruct();
    PutMessage(m);
}

bool B3Connection::DisconnectB3Req() {
    std::lock_guard lock(LinkMutex());
    if (!Usable() || !hasNcci_) return false;
    std::uint8_t* params;
    std::uint8_t* m = NewMessage(kDisconnectB3, kReq, &params);
    ParamWriter(params).Dword(ncci_).EmptyStruct();
    b3DisconnectRequested_ = true;
    PutMessage(m);
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
    ParamReader r(m);
    std::uint32_t ncci = r.Dword();
    if (hasNcci_ || !hasPlci_ || (ncci & 0xFFFF) != (plci_ & 0xFFFF)) return false;
    lastInfo_ = r.Word();
    if (lastInfo_ != 0) return true;
    ncci_ = ncci;
    hasNcci_ = true;
    return true;
}

bool B3Connection::HandleConnectB3Ind(const std::uint8_t* m) {
    std::uint32_t ncci = ParamReader(m).Dword();
    if (hasNcci_ || !hasPlci_ || (ncci & 0xFFFF) != (plci_ & 0xFFFF)) return false;
    ncci_ = ncci;
    hasNcci_ = true;
    std::uint8_t* params;
    std::uint8_t* out = NewMessage(kConnectB3, kResp, &params);
    ParamWriter(params).Dword(ncci_).Word(0).EmptyStruct();
    PutMessage(out);
    return true;
}

bool B3Connection::HandleConnectB3ActiveInd(const std::uint8_t* m) {
    if (!OwnsB3(ParamReader(m).Dword())) return false;
    SendShortMessage(kConnectB3Active, kResp, ncci_);
    dataHandle_ = 0;
    b3Active_ = true;
    OnB3Connected();
    return true;
}

bool B3Connection::HandleDisconnectB3Conf(const std::uint8_t* m) {
    ParamReader r(m);
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
    ParamReader r(m);
    std::uint32_t ncci = r.Dword();
    if (!OwnsB3(ncci)) return false;
    lastInfo_ = r.Word();
    EndB3();
    SendShortMessage(kDisconnectB3, kResp, ncci);
    if (b3DisconnectRequested_) DisconnectReq();
    b3DisconnectRequested_ = false;
    OnB3Disconnected();
    return true;
}

bool B3Connection::HandleDisconnectInd(const std::uint8_t* m) {
    if (!CapiConnection::HandleDisconnectInd(m)) return false;
    // A call can end without a DISCONNECT_B3_IND (layer-1 loss); the next
    // call must not inherit the old B3 state.
    if (hasNcci_) EndB3();
    b3DisconnectRequested_ = false;
    return true;
}

void B3Connection::SendDataBlock(std::vector<std::uint8_t> block) {
    std::uint16_t handle = dataHandle_++;
    auto& stored = unconfirmed_[handle] = std::move(block);
    std::uint8_t* params;
    std::uint8_t* m = NewMessage(kDataB3, kReq, &params, true);
    ParamWriter w(params);
    w.Dword(ncci_).Dword(0).Word(static_cast<std::uint16_t>(stored.size())).Word(handle).Word(0);
    w.Qword(reinterpret_cast<std::uintptr_t>(stored.data()));
    SetLength(m, w.Size());
    PutMessage(m);
}

bool B3Connection::HandleDataB3Conf(const std::uint8_t* m) {
    ParamReader r(m);
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
    ParamReader r(m);
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
    std::uint8_t* params;
    std::uint8_t* out = NewMessage(kDataB3, kResp, &params);
    ParamWriter(params).Dword(ncci).Word(handle);
    PutMessage(out);
    return true;
}

BufferedConnection::BufferedConnection(CAPIAccess* access, unsigned controllerIndex)
    : B3Connection(access, controllerIndex), chunkSize_(access ? access->MaxB3DataLength() : 0) {}

void BufferedConnection::QueueData(const std::uint8_t* data, std::size_t length) {
    std::lock_guard lock(LinkMutex());
    if (!Usable() || chunkSize_ == 0 || !data) return;
    if (length == 0) length = std::strlen(reinterpret_cast<const char*>(data)) + 1;
    for (std::size_t at = 0; at < length; at += chunkSize_) {
        std::size_t n = std::min(chunkSize_, length - at);
        sendQueue_.emplace_back(data + at, data + at + n);
    }
    while (Unconfirmed() < SendWindow() && SendNextBlock()) {
    }
}

bool BufferedConnection::SendNextBlock() {
    if (sendQueue_.empty()) {
        if (Unconfirmed() == 0) OnAllDataSent();
        return false;
    }
    std::vector<std::uint8_t> chunk = std::move(sendQueue_.front());
    sendQueue_.pop_front();
    if (!HasNcci()) {
        LinkLog().Write("**SendNextBlock: no B3 connection, block dropped\n");
        return false;
    }
    SendDataBlock(std::move(chunk));
    return true;
}

void BufferedConnection::OnDataReceived(const std::uint8_t* data, std::size_t length) {
    for (std::size_t at = 0; at < length; at += chunkSize_) {
        std::size_t n = std::min(chunkSize_, length - at);
        receiveQueue_.emplace_back(data + at, data + at + n);
    }
}

std::size_t BufferedConnection::TakeReceivedChunk(std::uint8_t* buffer) {
    std::lock_guard lock(LinkMutex());
    if (receiveQueue_.empty()) return 0;
    std::vector<std::uint8_t> chunk = std::move(receiveQueue_.front());
    receiveQueue_.pop_front();
    std::memcpy(buffer, chunk.data(), chunk.size());
    return chunk.size();
}

std::size_t BufferedConnection::ReceivedChunks() const {
    std::lock_guard lock(LinkMutex());
    return receiveQueue_.size();
}

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
    RCOConnectInd("");
}

void LinkConnection::OnAllDataSent() {
    RCODataSentInd();
}
