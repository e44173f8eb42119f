// Framed messages, identification and remote commands between two stations
// on capisim; the frames are read off the wire between libcapi20 and the
// exchange.
#include <gtest/gtest.h>

#include "link_test_support.h"
#include "test_dir.h"
#include "two_stations.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kDisconnectB3 = 0x84, kDataB3 = 0x86;
constexpr std::uint8_t kReq = 0x80;

Bytes FromHex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// The blocks a station sent, in order: the data behind each DATA_B3_REQ.
std::vector<Bytes> SentBlocks(const WireRecorder& wire) {
    std::vector<Bytes> blocks;
    for (const WireMessage& m : Only(wire.Messages(), kDataB3, kReq)) {
        std::size_t at = m.Length(), length = m.Word(16);
        if (m.body.size() < at + length) continue;
        blocks.emplace_back(m.body.begin() + at, m.body.begin() + at + length);
    }
    return blocks;
}

// A frame's header as "msgId/msgLen/payload".
std::string FrameHeader(const Bytes& frame) {
    if (frame.size() < 8) return "short:" + std::to_string(frame.size());
    std::uint32_t msgLen = frame[4] | frame[5] << 8 | frame[6] << 16 | frame[7] << 24;
    return std::to_string(frame[0]) + "/" + std::to_string(msgLen) + "/" +
           std::to_string(frame.size() - 8);
}

std::vector<std::string> FrameHeaders(const std::vector<Bytes>& blocks, std::size_t from = 0) {
    std::vector<std::string> headers;
    for (std::size_t i = from; i < blocks.size(); ++i) {
        if (blocks[i].size() > 2) headers.push_back(FrameHeader(blocks[i]));
    }
    return headers;
}

class NoteLink : public TwoStations {
protected:
    NoteLink() : TwoStations(FastLine()) {}
    // a calls b, which files what it takes beside its quorlin.
    void SetUp() override {
        TwoStations::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(b->Run("appname " + b->Dir() + "/quorlin"), "appname");
        Call();
    }

    void TearDown() override {
        for (Station* s : {a.get(), b.get()}) {
            if (s) s->Run("exit", 20s);
        }
    }

    // One message from a to b; returns b's answer to msg-get.
    std::string Message(std::size_t size, int seed) {
        a->Post("msg-send " + std::to_string(size) + " " + std::to_string(seed));
        std::string got = b->Run("msg-get 4096", 120s);
        EXPECT_EQ(Field(a->Answer(120s), 1), "0") << "send of " << size;
        return got;
    }

    std::string Expected(std::size_t size, int seed) {
        return Field(a->Run("expect " + std::to_string(size) + " " + std::to_string(seed)), 1);
    }
};

TEST_F(NoteLink, MessagesAreCutIntoAcknowledgedFrames) {
    struct Case {
        std::size_t size;
        std::vector<std::string> frames;
    } cases[] = {
        {120, {"1/120/120"}},
        {121, {"1/121/120", "2/1/1"}},
        {300, {"1/300/120", "2/180/120", "3/60/60"}},
    };
    int seed = 1;
    for (const Case& c : cases) {
        std::size_t before = SentBlocks(wireA).size();
        std::string got = Message(c.size, seed);
        EXPECT_EQ(got, "msg-get 0 " + std::to_string(c.size) + " " + Expected(c.size, seed));
        EXPECT_EQ(FrameHeaders(SentBlocks(wireA), before), c.frames) << c.size << " bytes";
        ++seed;
    }
    std::vector<Bytes> acks = SentBlocks(wireB);
    const std::vector<Bytes> expectedAcks = {{1, 0x0A}, {1, 0x0A}, {2, 0x0A},
                                             {1, 0x0A}, {2, 0x0A}, {3, 0x0A}};
    EXPECT_EQ(acks, expectedAcks);

    std::size_t before = SentBlocks(wireA).size();
    EXPECT_EQ(Field(a->Run("msg-send 0 1"), 1), "0");
    EXPECT_EQ(Field(a->Run("raw-send 0100000000000000"), 1), "0");
    EXPECT_EQ(Field(b->Run("msg-get 4096"), 1), "8") << "a frame of 8 bytes";
    std::vector<Bytes> blocks = SentBlocks(wireA);
    ASSERT_EQ(blocks.size(), before + 1) << "the empty message sent nothing";
    EXPECT_EQ(blocks.back().size(), 8u);
}

TEST_F(NoteLink, MessageOfTwoHundredFiftySixFramesWrapsTheFrameNumber) {
    constexpr std::size_t kSize = 255 * 120 + 1;
    a->Post("msg-send " + std::to_string(kSize) + " 11");
    std::string got = b->Run("msg-get " + std::to_string(kSize), 300s);
    EXPECT_EQ(Field(a->Answer(300s), 1), "0");
    EXPECT_EQ(got, "msg-get 0 " + std::to_string(kSize) + " " + Expected(kSize, 11));
    std::vector<std::string> frames = FrameHeaders(SentBlocks(wireA));
    ASSERT_EQ(frames.size(), 256u);
    EXPECT_EQ(frames[0], "1/30601/120");
    EXPECT_EQ(frames[253], "254/241/120");
    EXPECT_EQ(frames[254], "0/121/120") << "255th frame";
    EXPECT_EQ(frames[255], "1/1/1");
    std::vector<Bytes> acks = SentBlocks(wireB);
    ASSERT_EQ(acks.size(), 256u);
    EXPECT_EQ(acks[254], (Bytes{0x00, 0x0A}));
    EXPECT_EQ(acks[255], (Bytes{0x01, 0x0A}));
}

TEST_F(NoteLink, WrongAcknowledgementsEndTheMessage) {
    struct Case {
        std::size_t size;
        int goodFrames;
        std::string reply;
        std::string code;
    } cases[] = {
        {600, 4, "050B", "6"},                        // wrong mark
        {600, 4, "040A", "5"},                        // acknowledges frame 4 for frame 5
        {300, 0, "010A0A", "7"},                      // not two bytes
        {300, 0, "00" + std::string(254, 'A'), "7"},  // a whole block of 128 bytes
    };
    for (const Case& c : cases) {
        a->Post("msg-send " + std::to_string(c.size) + " 3");
        if (c.goodFrames > 0) {
            EXPECT_EQ(b->Run("ack-frames " + std::to_string(c.goodFrames)),
                      "ack-frames 0 " + std::to_string(c.goodFrames));
        }
        EXPECT_EQ(Field(b->Run("raw-get"), 1), "0");
        EXPECT_EQ(Field(b->Run("raw-send " + c.reply), 1), "0");
        EXPECT_EQ(Field(a->Answer(), 1), c.code) << c.reply;
    }
}

TEST_F(NoteLink, BothCurrentPeersIdentifyEachOther) {
    a->Post("reqid");
    EXPECT_EQ(b->Run("waitreqid"), "waitreqid 0");
    std::string reqid = a->Answer();
    EXPECT_EQ(Field(reqid, 1), "0");
    EXPECT_LT(std::stol(Field(reqid, 2)), 1400) << "answered, not accepted as silent";
    const std::vector<Bytes> id = {{0x00, 0x05}};
    EXPECT_EQ(SentBlocks(wireA), id);
    EXPECT_EQ(SentBlocks(wireB), id);
}

TEST_F(NoteLink, SilentPeerIsAcceptedAfterFifteenSteps) {
    std::string reqid = a->Run("reqid");
    EXPECT_EQ(Field(reqid, 1), "0");
    EXPECT_GE(std::stol(Field(reqid, 2)), 1400);
    EXPECT_EQ(Field(b->Run("raw-get 5"), 2), "0005");
}

TEST_F(NoteLink, OlderPeerGetsItsVersionRequestAnswered) {
    b->Post("waitid");
    // An older peer starts at once with the first frame of its version request.
    EXPECT_EQ(a->Run("raw-send 01000000080000000100000000000000"), "raw-send 0");
    EXPECT_EQ(a->Run("raw-get"), "raw-get 0 010A");
    EXPECT_EQ(a->Run("raw-get"), "raw-get 0 0100000009000000010000000100000031");
    EXPECT_EQ(a->Run("raw-send 010A"), "raw-send 0");
    EXPECT_EQ(b->Answer(), "waitid 0 0");
}

TEST_F(NoteLink, FirstBlockThatIsNeitherIdNorVersionRequestIsRefused) {
    b->Post("waitreqid");
    EXPECT_EQ(a->Run("raw-send 0203"), "raw-send 0");
    EXPECT_EQ(b->Answer(), "waitreqid 6");
}

TEST_F(NoteLink, EverySpellingOfVersionSendsTheSameRequest) {
    for (const char* line : {"version", "VERSION", "Version", "vERSIOn"}) {
        std::size_t before = SentBlocks(wireA).size();
        b->Post("remcmd");
        EXPECT_EQ(a->Run(std::string("exec ") + line), "exec 0 0 1 31") << line;
        EXPECT_EQ(b->Answer(), "remcmd 0");
        std::vector<Bytes> blocks = SentBlocks(wireA);
        ASSERT_EQ(blocks.size(), before + 2) << "request and acknowledgement of the response";
        EXPECT_EQ(blocks[before], FromHex("01000000080000000100000000000000")) << line;
    }
    b->Post("remcmd");
    EXPECT_EQ(a->Run("version"), "version 0 1");
    EXPECT_EQ(b->Answer(), "remcmd 0");
}

TEST_F(NoteLink, CommandLinesThatNameNoCommandSendNothing) {
    const std::string longName(300, 'n');
    for (const std::string& line : {std::string(), std::string("bogus 1|2"), std::string(" note"),
                                    longName, longName + " x", std::string(254, 'v')}) {
        EXPECT_EQ(Field(a->Run("exec " + line), 1), "16") << line;
    }
    EXPECT_TRUE(SentBlocks(wireA).empty());
}

TEST_F(NoteLink, ArgumentsKeepTheirBlanks) {
    b->Post("remcmd");
    EXPECT_EQ(Field(a->Run("exec VERSION a  b  c"), 1), "0");
    EXPECT_EQ(b->Answer(), "remcmd 0");
    std::vector<Bytes> blocks = SentBlocks(wireA);
    ASSERT_FALSE(blocks.empty());
    Bytes expected = FromHex("010000000F000000010000000700000061202062202063");
    EXPECT_EQ(blocks.front(), expected);
}

TEST_F(NoteLink, UnknownRequestIsAnsweredAndTheServerGoesOn) {
    b->Post("remcmd");
    EXPECT_EQ(a->Run("cmdreq 05"), "cmdreq 0 255 0 -");
    EXPECT_EQ(b->Answer(), "remcmd 0");
    std::vector<Bytes> blocks = SentBlocks(wireB);
    const Bytes response = FromHex("01000000080000000500FF0000000000");
    const Bytes ackOfRequest = {0x01, 0x0A};
    EXPECT_EQ(blocks, (std::vector<Bytes>{ackOfRequest, response}));
    b->Post("remcmd");
    EXPECT_EQ(a->Run("version"), "version 0 1");
    EXPECT_EQ(b->Answer(), "remcmd 0");
}

TEST_F(NoteLink, ShutdownMakesTheServerHangUp) {
    b->Post("remcmd");
    EXPECT_EQ(a->Run("exec SHDOWN"), "exec 0 0 0 -");
    EXPECT_EQ(b->Answer(), "remcmd 0");
    EXPECT_EQ(a->Run("waitdisc 50"), "waitdisc 0");
    EXPECT_EQ(Only(wireB.Messages(), kDisconnectB3, kReq).size(), 1u) << "orderly clearing";
    EXPECT_TRUE(Only(wireA.Messages(), kDisconnectB3, kReq).empty());
    EXPECT_NE(b->Log().find(":  WaitForRemCmd: Shutdown command received\n"), std::string::npos);
    EXPECT_EQ(b->Run("remcmd"), "remcmd 1");
    EXPECT_EQ(a->Run("version"), "version 1 -1");
}

TEST_F(NoteLink, MessageLongerThanTheCommandBufferIsRefused) {
    a->Post("msg-send 5000 9");
    EXPECT_EQ(b->Run("remcmd"), "remcmd 8");
    EXPECT_EQ(SentBlocks(wireB).size(), 0u) << "not even the first frame acknowledged";
    EXPECT_EQ(Field(b->Run("disconnect 50"), 1), "0");
    EXPECT_EQ(Field(a->Answer(), 1), "7");
}

TEST_F(NoteLink, ServerLoopFilesANoteAndEndsWhenTheCallerHangsUp) {
    b->Post("serve 50");
    EXPECT_EQ(Field(a->Run("reqid"), 1), "0");
    EXPECT_EQ(a->Run("version"), "version 0 1");
    EXPECT_EQ(a->Run("exec rawNote 1.1|Telvora||111|Anna|Gru\xDF|Hallo Welt"), "exec 0 0 0 -");
    EXPECT_EQ(Field(a->Run("disconnect 50"), 1), "0");
    // The caller hangs up as soon as it has the answer, so the server may or
    // may not see the acknowledgement of its last frame; either way the loop
    // ends on the dropped line.
    std::string served = b->Answer();
    EXPECT_EQ(Field(served, 1), "0") << served;
    EXPECT_EQ(Field(served, 3), "1") << served;
    std::string notes = ReadFile(b->Dir() + "/Notes.dat");
    EXPECT_NE(notes.find("|111|Gruß|"), std::string::npos) << notes;
}

}  // namespace
