// An SMS centre at the far end of a call for the reply-reader targets: it
// hands over the blocks of the input, one each time the caller reads, and
// hangs up when the input is spent or a block says so.
#pragma once

#include <cstring>

#include "corvane.h"
#include "fuzz_support.h"

namespace fuzz {

class ScriptedCentre {
public:
    // Each read takes a length byte: 0 to 128 bytes follow it (0: nothing
    // came this time); 255 clears the line.
    static constexpr std::uint8_t kHangUp = 255;

    explicit ScriptedCentre(Input& in) {
        input_ = &in;
        CROCallBacks callBacks{&Connect, &Disconnect, &StartServer, &GetData, &SendData};
        CROSetCallBackFn(&callBacks);
    }
    ~ScriptedCentre() { input_ = nullptr; }

private:
    static BOOL Connect(const char*, const char*, DWORD) { return RCOConnectInd(""); }
    static BOOL Disconnect(DWORD) { return RCODisconnectInd(0); }
    static BOOL StartServer(const char*) { return FALSE; }
    static BOOL SendData(const BYTE*, DWORD) { return TRUE; }
    static BOOL GetData(BYTE* buffer, DWORD* length) {
        *length = 0;
        if (input_->Empty()) return RCODisconnectInd(0x3490), TRUE;
        std::uint8_t n = input_->Byte();
        if (n == kHangUp) return RCODisconnectInd(0x3490), TRUE;
        std::string_view block = input_->Take(n % 129);
        std::memcpy(buffer, block.data(), block.size());
        *length = static_cast<DWORD>(block.size());
        return TRUE;
    }

    static inline Input* input_ = nullptr;
};

}  // namespace fuzz
