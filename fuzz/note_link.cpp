// A peer on the note link. Its blocks reach an answering station that waits
// for the identification and a command, answers it frame by frame and asks
// the peer's version back: the frame reader, the acknowledgement and
// identification checks and the old protocol's version request all read
// what the peer sent.
#include <cstdint>
#include <cstring>

#include "corvane.h"
#include "fuzz_support.h"

namespace {

// A carrier hands over blocks of at most 128 bytes.
constexpr std::size_t kMaxBlock = 128;

fuzz::Input* peer = nullptr;

BOOL PeerConnect(const char*, const char*, DWORD) {
    return RCOConnectInd("4711");
}
BOOL PeerDisconnect(DWORD) {
    return RCODisconnectInd(0);
}
BOOL PeerStartServer(const char*) {
    return FALSE;
}
// Each block: a length byte (1 to 128), then its bytes. A peer that has
// said everything hangs up, so that no wait outlasts the input.
BOOL PeerGetData(BYTE* buffer, DWORD* length) {
    *length = 0;
    if (peer->Empty()) {
        RCODisconnectInd(0x3490);
        return TRUE;
    }
    std::string_view block = peer->Take(peer->Byte() % kMaxBlock + 1);
    std::memcpy(buffer, block.data(), block.size());
    *length = static_cast<DWORD>(block.size());
    return TRUE;
}
BOOL PeerSendData(const BYTE*, DWORD) {
    return TRUE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    peer = &in;
    CRServerObj station;
    CROCallBacks callBacks{&PeerConnect, &PeerDisconnect, &PeerStartServer, &PeerGetData,
                           &PeerSendData};
    CROSetCallBackFn(&callBacks);
    char number[] = "0301234";
    char msn[] = "4711";
    if (station.Connect(number, msn, 200) != RCO_OK) return 0;
    station.WaitForReqId();
    station.WaitForCmdReq();
    // An answer of three frames, each waiting for its acknowledgement.
    unsigned char reply[300];
    std::memset(reply, 'r', sizeof reply);
    station.SendCmdResp(0x10 /* NOTE */, 0, reply, sizeof reply);
    int version = 0;
    station.GetServerVersion(version);
    station.Disconnect(0);
    peer = nullptr;
    return 0;
}
