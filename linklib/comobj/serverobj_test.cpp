// The server object against a scripted peer in the same process: the limits
// of the command buffer and the blocks a carrier may hand over.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <deque>
#include <vector>

#include "corvane.h"
#include "msgbox_recorder.h"
#include "note_handoff.h"
#include "note_item.h"
#include "test_dir.h"

namespace {

using Bytes = std::vector<BYTE>;

// The far end: hands out scripted blocks and, unless told otherwise,
// acknowledges every frame it is sent.
struct Peer {
    std::deque<Bytes> toDeliver;
    std::vector<Bytes> sent;
    bool acknowledge = true;
};
Peer peer;

BOOL PeerConnect(const char*, const char*, DWORD) {
    return TRUE;
}
BOOL PeerDisconnect(DWORD) {
    return TRUE;
}
BOOL PeerStartServer(const char*) {
    return TRUE;
}
BOOL PeerGetData(BYTE* buffer, DWORD* length) {
    *length = 0;
    if (peer.toDeliver.empty()) return TRUE;
    Bytes block = peer.toDeliver.front();
    peer.toDeliver.pop_front();
    std::memcpy(buffer, block.data(), block.size());
    *length = static_cast<DWORD>(block.size());
    return TRUE;
}
BOOL PeerSendData(const BYTE* data, DWORD length) {
    peer.sent.emplace_back(data, data + length);
    if (peer.acknowledge && length > 2) peer.toDeliver.push_back({data[0], 0x0A});
    return TRUE;
}

// The frames a sending station puts on the line for one message.
std::vector<Bytes> Frames(const Bytes& message) {
    std::vector<Bytes> frames;
    BYTE msgId = 0;
    for (std::size_t sent = 0; sent < message.size();) {
        std::size_t left = message.size() - sent;
        std::size_t n = left + 8 <= 128 ? left : 120;
        msgId = static_cast<BYTE>((msgId + 1) % 255);
        Bytes frame = {msgId, 0, 0, 0};
        for (int i = 0; i < 4; ++i) frame.push_back(static_cast<BYTE>(left >> (8 * i)));
        frame.insert(frame.end(), message.begin() + sent, message.begin() + sent + n);
        frames.push_back(frame);
        sent += n;
    }
    return frames;
}

// A command request or response: id, result, 32-bit length, data.
Bytes Command(BYTE id, WORD result, const Bytes& data, std::size_t claimedLength) {
    Bytes message = {id, 0, static_cast<BYTE>(result), static_cast<BYTE>(result >> 8)};
    for (int i = 0; i < 4; ++i) message.push_back(static_cast<BYTE>(claimedLength >> (8 * i)));
    message.insert(message.end(), data.begin(), data.end());
    return message;
}

class Server : public CRServerObj {
public:
    using CRServerObj::m_dwReqLength;
    using CRServerObj::m_pReqArgs;
};

class ServerObj : public ::testing::Test {
protected:
    void SetUp() override {
        peer = Peer{};
        CROCallBacks callBacks{&PeerConnect, &PeerDisconnect, &PeerStartServer, &PeerGetData,
                               &PeerSendData};
        ASSERT_TRUE(CROSetCallBackFn(&callBacks));
        ASSERT_TRUE(RCOConnectInd("4711"));
    }
    void Deliver(const Bytes& message) {
        for (const Bytes& frame : Frames(message)) peer.toDeliver.push_back(frame);
    }
    Server server;
};

TEST_F(ServerObj, RequestThatFillsTheCommandBufferIsTakenAndReadsAsText) {
    Deliver(Command(0x01, 0, Bytes(4088, 'x'), 4088));
    ASSERT_EQ(server.WaitForCmdReq(), RCO_OK);
    EXPECT_EQ(server.m_dwReqLength, 4088u);
    EXPECT_EQ(std::strlen(reinterpret_cast<char*>(server.m_pReqArgs)), 4088u);
    EXPECT_EQ(peer.sent.size(), 35u) << "every frame acknowledged";
}

TEST_F(ServerObj, RequestOneByteTooLongIsRefusedBeforeAnyAcknowledgement) {
    Deliver(Command(0x01, 0, Bytes(4089, 'x'), 4089));
    EXPECT_EQ(server.WaitForRemCmd(), RCO_ZERO_LENGTH_MSG);
    EXPECT_TRUE(peer.sent.empty());
}

TEST_F(ServerObj, FramesBeyondTheAnnouncedLengthAreRefusedToo) {
    // Every frame claims that only one more byte is to come.
    for (Bytes frame : Frames(Command(0x01, 0, Bytes(5000, 'y'), 5000))) {
        frame[4] = 121;
        frame[5] = frame[6] = frame[7] = 0;
        peer.toDeliver.push_back(frame);
    }
    EXPECT_EQ(server.WaitForCmdReq(), RCO_ZERO_LENGTH_MSG);
    EXPECT_EQ(peer.sent.size(), 34u) << "4080 bytes taken, the next frame refused";
}

TEST_F(ServerObj, ResponseLengthIsWhatActuallyArrived) {
    Deliver(Command(0x11, 0, {'o', 'k'}, 1000));
    ASSERT_EQ(server.WaitForCmdResp(), RCO_OK);
    EXPECT_EQ(server.GetRespLength(), 2u);
    EXPECT_STREQ(reinterpret_cast<char*>(server.GetRespBuffer()), "ok");
}

TEST_F(ServerObj, CarrierBlockLongerThanAFrameIsNotHandedOn) {
    peer.toDeliver.push_back(Bytes(129, 1));
    Bytes buffer(4096);
    unsigned long length = buffer.size();
    EXPECT_EQ(server.GetMessage(buffer.data(), length), RCO_CALL_FAILED);
    EXPECT_EQ(length, 0u);
    EXPECT_TRUE(peer.sent.empty());
}

TEST_F(ServerObj, MessageIntoABufferOfUnstatedSizeIsRefused) {
    Deliver(Bytes(10, 'z'));
    Bytes buffer(10);
    unsigned long length = 0;
    EXPECT_EQ(server.GetMessage(buffer.data(), length), RCO_ZERO_LENGTH_MSG);
    EXPECT_EQ(buffer, Bytes(10, 0));
}

TEST_F(ServerObj, PhoneCallIsFiledWithMsnNumberNameAndService) {
    TestDir dir;
    MessageBoxRecorder boxes;
    setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    std::string app = dir.File("quorlin");
    server.SetAppName(app.data());
    char msn[] = "4711", number[] = "0301234567", name[] = "Jürgen", info[] = "Sprache";
    EXPECT_EQ(server.PhoneCallInd(1700000000, msn, number, name, info), 1);
    unsetenv("XDG_CONFIG_HOME");
    std::string notes = dir.File("Notes.dat");
    auto record = PendingItem(notes, "PhoneCalls");
    ASSERT_TRUE(record);
    auto item = NoteItem::Parse(*record);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Get(NoteItem::kType), "5");
    EXPECT_EQ(item->Get(NoteItem::kNoteId), "1700000000");
    EXPECT_EQ(item->Get(NoteItem::kMsn), "4711");
    EXPECT_EQ(item->Get(NoteItem::kNumber), "0301234567");
    EXPECT_EQ(item->Get(NoteItem::kName), "Jürgen");
    EXPECT_EQ(item->Get(NoteItem::kInfo), "Sprache");
    EXPECT_EQ(item->Get(NoteItem::kSubject), "Anruf");
}

TEST_F(ServerObj, ApplicationNameThatDoesNotFitIsNotKept) {
    std::string tooLong(CRServerObj::kAppNameSize, 'p');
    server.SetAppName(tooLong.data());
    std::string args = "1|2|3|4";
    Deliver(Command(0x10, 0, Bytes(args.begin(), args.end()), args.size()));
    ASSERT_EQ(server.WaitForRemCmd(), RCO_OK);
    Bytes response = peer.sent.back();
    ASSERT_EQ(response.size(), 16u);
    EXPECT_EQ(response[10], 2) << "NOTE answered with result 2, nothing stored";
}

}  // namespace
