#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "com_interface.h"
#include "corvane.h"
#include "link_connection.h"
#include "scripted_driver_test.h"

using namespace capi;

namespace {

constexpr std::uint32_t kPlci = 0x0101;
constexpr std::uint32_t kNcci = 0x00010101;
constexpr std::uint8_t kConfByte = 0x81;
constexpr std::uint8_t kIndByte = 0x82;
const Bytes kEmpty{0};

class CallControl : public ::testing::Test {
protected:
    ScriptedDriver* driver = new ScriptedDriver;
    CAPIAccess access{2, 12, 128, std::unique_ptr<CapiDriver>(driver)};
    LinkConnection link{&access, 0};
    CRComObj obj;  // the transport that hears the indications

    void Deliver(const Bytes& m) {
        driver->incoming.push_back(m);
        RunMessagePump();
    }
    std::vector<PutRecord> TakePuts() { return std::exchange(driver->puts, {}); }
    bool Connected() { return obj.IsConnected() != 0; }

    // The number of the last request put; its confirmation must carry it.
    std::uint16_t LastRequestNumber() {
        for (auto it = driver->puts.rbegin(); it != driver->puts.rend(); ++it) {
            if (it->Subcommand() == 0x80) return it->Number();
        }
        return 0xFFFF;
    }
    void BringUpOutgoing(const char* calling = "111", std::uint32_t plci = kPlci,
                         std::uint32_t ncci = kNcci) {
        ASSERT_TRUE(link.ConnectReq("222", 0x8002, calling));
        Deliver(Message(kConnect, kConfByte, LastRequestNumber(), {Le32(plci), Le16(0)}));
        Deliver(Message(kConnectActive, kIndByte, 40, {Le32(plci), kEmpty, kEmpty, kEmpty}));
        Deliver(Message(kConnectB3, kConfByte, LastRequestNumber(), {Le32(ncci), Le16(0)}));
        Deliver(Message(kConnectB3Active, kIndByte, 41, {Le32(ncci), kEmpty}));
        ASSERT_TRUE(link.B3Active());
        TakePuts();
    }
    void DeliverData(std::uint16_t number, const Bytes& payload, std::uint32_t ncci = kNcci) {
        Deliver(Message(
            kDataB3, kIndByte, number,
            {Le32(ncci), Le32(0), Le16(static_cast<std::uint16_t>(payload.size())), Le16(number),
             Le16(0), Le64(reinterpret_cast<std::uintptr_t>(payload.data()))}));
    }
    Bytes DataConf(std::uint16_t handle, std::uint16_t info = 0) {
        return Message(kDataB3, kConfByte, 0, {Le32(kNcci), Le16(handle), Le16(info)});
    }
};

TEST_F(CallControl, ConnectRequestCarriesCipTwoAndTheNumbers) {
    struct Case {
        const char* calling;
        Bytes callingStruct;
    } cases[] = {
        {"4711", {0x06, 0x00, 0x80, '4', '7', '1', '1'}},
        {"", {0x02, 0x00, 0xA0}},
        {nullptr, {0x00}},
    };
    std::uint16_t expectedNumber = 0;
    for (const Case& c : cases) {
        link.ConnectReq("0301234", 0x8002, c.calling);
        auto puts = TakePuts();
        ASSERT_EQ(puts.size(), 1u);
        Bytes expected = Concat({Le32(1),
                                 Le16(2),
                                 {0x08, 0x80, '0', '3', '0', '1', '2', '3', '4'},
                                 c.callingStruct,
                                 {0, 0, 0, 0, 0, 0, 0}});
        EXPECT_EQ(puts[0].Params(), expected);
        EXPECT_EQ(puts[0].Command(), kConnect);
        EXPECT_EQ(puts[0].Subcommand(), 0x80);
        EXPECT_EQ(puts[0].Number(), expectedNumber++);
        EXPECT_EQ(Word(puts[0].message.data() + 2), 7);
    }
}

TEST_F(CallControl, ListenRequestAdmitsDataCallsOnly) {
    ASSERT_TRUE(link.ListenReq(0x80, 0x3F, nullptr));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].message.size(), 26u);
    EXPECT_EQ(puts[0].Params(), Concat({Le32(1), Le32(0x3F), Le32(0x00000004), Le32(0), {0, 0}}));
}

TEST_F(CallControl, OutgoingCallComesUpAndTellsTheTransport) {
    link.ConnectReq("222", 0x8002, "111");
    TakePuts();
    Deliver(Message(kConnect, kConfByte, 0, {Le32(kPlci), Le16(0)}));
    EXPECT_TRUE(link.HasPlci());
    Deliver(Message(kConnectActive, kIndByte, 40, {Le32(kPlci), kEmpty, kEmpty, kEmpty}));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(puts[0].message,
              Concat({Le16(12), Le16(7), {kConnectActive, 0x83}, Le16(40), Le32(kPlci)}));
    EXPECT_EQ(puts[1].Command(), kConnectB3);
    EXPECT_EQ(puts[1].Params(), Concat({Le32(kPlci), kEmpty}));
    Deliver(Message(kConnectB3, kConfByte, 1, {Le32(kNcci), Le16(0)}));
    EXPECT_FALSE(Connected());
    Deliver(Message(kConnectB3Active, kIndByte, 41, {Le32(kNcci), kEmpty}));
    puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].message,
              Concat({Le16(12), Le16(7), {kConnectB3Active, 0x83}, Le16(41), Le32(kNcci)}));
    EXPECT_TRUE(Connected());
    EXPECT_STREQ(obj.GetConnectionPar(), "");
}

TEST_F(CallControl, RefusedConnectKeepsNoCall) {
    link.ConnectReq("222", 0x8002, "111");
    Deliver(Message(kConnect, kConfByte, 0, {Le32(kPlci), Le16(0x2003)}));
    EXPECT_FALSE(link.HasPlci());
    EXPECT_EQ(link.LastInfo(), 0x2003);
}

TEST_F(CallControl, ConfirmationOfAnotherRequestIsDropped) {
    link.ListenReq(0x80, 0x3F, nullptr);
    Deliver(Message(kConnect, kConfByte, 0, {Le32(kPlci), Le16(0)}));
    EXPECT_FALSE(link.HasPlci());
}

TEST_F(CallControl, IncomingCallIsAcceptedAndDataIsAnswered) {
    link.ListenReq(0x80, 0x3F, nullptr);
    Deliver(Message(kListen, kConfByte, 0, {Le32(1), Le16(0)}));
    TakePuts();
    Deliver(Message(kConnect, kIndByte, 90,
                    {Le32(kPlci),
                     Le16(2),
                     {3, 0x80, '2', '2'},
                     {4, 0, 0x80, '1', '1'},
                     kEmpty,
                     kEmpty,
                     kEmpty,
                     kEmpty,
                     kEmpty,
                     kEmpty}));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].message, Concat({Le16(19),
                                       Le16(7),
                                       {kConnect, 0x83},
                                       Le16(90),
                                       Le32(kPlci),
                                       Le16(0),
                                       {0, 0, 0, 0, 0}}));
    Deliver(Message(kConnectActive, kIndByte, 91, {Le32(kPlci), kEmpty, kEmpty, kEmpty}));
    puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u) << "the answering side waits for the caller's B3 connection";
    Deliver(Message(kConnectB3, kIndByte, 92, {Le32(kNcci), kEmpty}));
    puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(
        puts[0].message,
        Concat({Le16(15), Le16(7), {kConnectB3, 0x83}, Le16(92), Le32(kNcci), Le16(0), kEmpty}));
    Deliver(Message(kConnectB3Active, kIndByte, 93, {Le32(kNcci), kEmpty}));
    EXPECT_TRUE(Connected());
    TakePuts();

    Bytes payload(200);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = std::uint8_t(i * 7);
    Deliver(Message(kDataB3, kIndByte, 94,
                    {Le32(kNcci), Le32(0), Le16(200), Le16(0x1234), Le16(0),
                     Le64(reinterpret_cast<std::uintptr_t>(payload.data()))}));
    puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].message,
              Concat({Le16(14), Le16(7), {kDataB3, 0x83}, Le16(94), Le32(kNcci), Le16(0x1234)}));
    std::uint8_t chunk[128];
    ASSERT_EQ(link.TakeReceivedChunk(chunk), 128u);
    EXPECT_TRUE(std::equal(chunk, chunk + 128, payload.begin()));
    ASSERT_EQ(link.TakeReceivedChunk(chunk), 72u);
    EXPECT_TRUE(std::equal(chunk, chunk + 72, payload.begin() + 128));
    EXPECT_EQ(link.TakeReceivedChunk(chunk), 0u);
}

TEST_F(CallControl, ShortDataIndicationIsAnsweredButNotRead) {
    BringUpOutgoing();
    // The 22-byte form carries only a 32-bit address, useless in this process.
    Deliver(Message(kDataB3, kIndByte, 97,
                    {Le32(kNcci), Le32(0xDEADBEEF), Le16(10), Le16(3), Le16(0)}));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].message,
              Concat({Le16(14), Le16(7), {kDataB3, 0x83}, Le16(97), Le32(kNcci), Le16(3)}));
    EXPECT_EQ(link.ReceivedChunks(), 0u);
}

// A subcommand byte that is none of the four: the driver hands such a
// message over as it came, without the data block of a DATA_B3_IND behind
// it, so its data address is whatever the other end wrote. It was read as
// an indication and the address followed.
TEST_F(CallControl, AMessageWithAnUnknownSubcommandIsDropped) {
    BringUpOutgoing();
    for (std::uint8_t sub : {0xA2, 0x02, 0x86, 0xFF}) {
        Deliver(Message(kDataB3, sub, 98,
                        {Le32(kNcci), Le32(0), Le16(16), Le16(4), Le16(0), Le64(0x2)}));
        Deliver(Message(kDisconnect, sub, 99, {Le32(kPlci), Le16(0x3490)}));
    }
    EXPECT_TRUE(TakePuts().empty()) << "nothing answered";
    EXPECT_EQ(link.ReceivedChunks(), 0u);
    EXPECT_TRUE(link.B3Active());
    EXPECT_TRUE(Connected());
}

TEST_F(CallControl, SecondCallWhileBusyIsRefusedAsBusy) {
    BringUpOutgoing();
    Deliver(Message(kConnect, kIndByte, 95, {Le32(0x0201), Le16(2), kEmpty, kEmpty}));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].message, Concat({Le16(19),
                                       Le16(7),
                                       {kConnect, 0x83},
                                       Le16(95),
                                       Le32(0x0201),
                                       Le16(3),
                                       {0, 0, 0, 0, 0}}))
        << "user busy, at once";
    EXPECT_EQ(link.Plci(), kPlci);
    EXPECT_TRUE(link.B3Active());
}

TEST_F(CallControl, SecondB3ConnectionIsNotTaken) {
    BringUpOutgoing();
    Deliver(Message(kConnectB3, kIndByte, 96, {Le32(0x00020101), kEmpty}));
    EXPECT_TRUE(TakePuts().empty());
    EXPECT_EQ(link.Ncci(), kNcci);
}

TEST_F(CallControl, ThreeHundredBytesGoAsThreeBlocksWithConsecutiveHandles) {
    BringUpOutgoing();
    Bytes data(300);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i);
    link.QueueData(data.data(), data.size());
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 3u);
    std::size_t offset = 0;
    const std::uint16_t sizes[] = {128, 128, 44};
    for (std::uint16_t i = 0; i < 3; ++i) {
        const Bytes& m = puts[i].message;
        EXPECT_EQ(m.size(), 30u);
        EXPECT_EQ(Dword(&m[8]), kNcci);
        EXPECT_EQ(Dword(&m[12]), 0u) << "32-bit data address stays 0";
        EXPECT_EQ(Word(&m[16]), sizes[i]);
        EXPECT_EQ(Word(&m[18]), i) << "data handle";
        EXPECT_EQ(Word(&m[20]), 0) << "flags";
        EXPECT_EQ(puts[i].data, Bytes(data.begin() + offset, data.begin() + offset + sizes[i]));
        offset += sizes[i];
    }
    for (std::uint16_t i = 0; i < 3; ++i) {
        EXPECT_FALSE(obj.GetLinkInterface()->DataSent()) << "before confirmation " << i;
        Deliver(DataConf(i));
    }
    EXPECT_TRUE(obj.GetLinkInterface()->DataSent());
}

TEST_F(CallControl, ThirteenthBlockWaitsForTheFirstConfirmation) {
    BringUpOutgoing();
    Bytes data(13 * 128, 0x5A);
    link.QueueData(data.data(), data.size());
    EXPECT_EQ(TakePuts().size(), 12u);
    Deliver(DataConf(0));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(Word(&puts[0].message[18]), 12);
}

TEST_F(CallControl, RefusedBlockStopsSendingUntilMoreIsQueued) {
    BringUpOutgoing();
    Bytes data(14 * 128, 1);
    link.QueueData(data.data(), data.size());
    TakePuts();
    Deliver(DataConf(0, 0x300C));
    EXPECT_TRUE(TakePuts().empty());
    EXPECT_EQ(link.QueuedChunks(), 2u);
    std::uint8_t more = 2;
    link.QueueData(&more, 1);
    EXPECT_EQ(TakePuts().size(), 1u) << "window has room for exactly one after the refusal";
}

TEST_F(CallControl, TextOfLengthZeroIsSentWithItsTerminator) {
    BringUpOutgoing();
    const char text[] = "hallo";
    link.QueueData(reinterpret_cast<const std::uint8_t*>(text), 0);
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].data, Bytes(text, text + 6));
}

TEST_F(CallControl, OrderlyClearingSendsDisconnectAfterTheB3Indication) {
    BringUpOutgoing();
    ASSERT_TRUE(link.DisconnectB3Req());
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].message, Concat({Le16(13),
                                       Le16(7),
                                       {kDisconnectB3, 0x80},
                                       Le16(puts[0].Number()),
                                       Le32(kNcci),
                                       kEmpty}));
    Deliver(Message(kDisconnectB3, kIndByte, 50, {Le32(kNcci), Le16(0), kEmpty}));
    puts = TakePuts();
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(puts[0].message,
              Concat({Le16(12), Le16(7), {kDisconnectB3, 0x83}, Le16(50), Le32(kNcci)}));
    EXPECT_EQ(puts[1].Command(), kDisconnect);
    EXPECT_EQ(puts[1].Subcommand(), 0x80);
    EXPECT_EQ(puts[1].message.size(), 16u);
    EXPECT_EQ(Dword(&puts[1].message[8]), kPlci);
    Deliver(Message(kDisconnect, kIndByte, 51, {Le32(kPlci), Le16(0x3490)}));
    EXPECT_FALSE(Connected());
    EXPECT_FALSE(link.HasPlci());
    unsigned short reason = 0;
    EXPECT_STREQ(obj.GetDisconnectInfo(reason), "Normaler Verbindungsabbau[#3490]");
    EXPECT_EQ(reason, 0x3490);
}

TEST_F(CallControl, OrderlyClearingWaitsForTheLastBlockToBeConfirmed) {
    BringUpOutgoing();
    Bytes data(200, 7);
    link.QueueData(data.data(), data.size());
    EXPECT_EQ(TakePuts().size(), 2u);
    ASSERT_TRUE(link.DisconnectB3WhenSent());
    EXPECT_TRUE(TakePuts().empty()) << "the blocks are still on their way";
    Deliver(DataConf(0));
    EXPECT_TRUE(TakePuts().empty());
    Deliver(DataConf(1));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].Command(), kDisconnectB3);
    EXPECT_EQ(puts[0].Subcommand(), 0x80);
}

TEST_F(CallControl, PeerClearingIsAnsweredWithoutDisconnectRequest) {
    BringUpOutgoing();
    Deliver(Message(kDisconnectB3, kIndByte, 60, {Le32(kNcci), Le16(0x3301), kEmpty}));
    Deliver(Message(kDisconnect, kIndByte, 61, {Le32(kPlci), Le16(0x3491)}));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(puts[0].message,
              Concat({Le16(12), Le16(7), {kDisconnectB3, 0x83}, Le16(60), Le32(kNcci)}));
    EXPECT_EQ(puts[1].message,
              Concat({Le16(12), Le16(7), {kDisconnect, 0x83}, Le16(61), Le32(kPlci)}));
    unsigned short reason = 0;
    EXPECT_STREQ(obj.GetDisconnectInfo(reason), "Teilnehmer besetzt[#3491]");
}

TEST_F(CallControl, NextCallAfterALostLineStartsClean) {
    BringUpOutgoing();
    Bytes data(3 * 128, 9);
    link.QueueData(data.data(), data.size());
    Deliver(Message(kDisconnect, kIndByte, 62, {Le32(kPlci), Le16(0x3301)}));
    EXPECT_FALSE(link.HasNcci());
    EXPECT_EQ(link.Unconfirmed(), 0u);
    BringUpOutgoing();
    link.QueueData(data.data(), data.size());
    EXPECT_EQ(TakePuts().size(), 3u);
}

TEST_F(CallControl, ImmediateClearingSendsDisconnectRequest) {
    BringUpOutgoing();
    link.DisconnectReq();
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].Command(), kDisconnect);
}

TEST_F(CallControl, DisconnectWithoutACallSendsNothing) {
    link.DisconnectReq();
    EXPECT_FALSE(link.DisconnectB3Req());
    EXPECT_TRUE(TakePuts().empty());
}

TEST_F(CallControl, FacilityDtmfIsAnsweredWithItsSelector) {
    BringUpOutgoing();
    Deliver(Message(kFacility, kIndByte, 70, {Le32(kPlci), Le16(1), {3, '1', '2', '3'}}));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(
        puts[0].message,
        Concat({Le16(15), Le16(7), {kFacility, 0x83}, Le16(70), Le32(kPlci), Le16(1), kEmpty}));
}

TEST_F(CallControl, InfoAndManufacturerIndicationsAreAnswered) {
    BringUpOutgoing();
    Deliver(Message(kInfoOnWire, kIndByte, 80, {Le32(kPlci), Le16(0x0018), {1, 0x89}}));
    Deliver(Message(kInfoOnWire, kIndByte, 81, {Le32(0x0301), Le16(0x0018), {1, 0x89}}));
    Deliver(Message(kManufacturer, kIndByte, 82, {{0x13, 0x22, 0x33, 0x44}, Le32(5)}));
    Deliver(Message(kManufacturer, kIndByte, 83, {{0x12, 0x22, 0x33, 0x44}, Le32(5)}));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 2u);
    EXPECT_EQ(puts[0].message,
              Concat({Le16(12), Le16(7), {kInfoOnWire, 0x83}, Le16(80), Le32(kPlci)}));
    EXPECT_EQ(puts[1].message,
              Concat({Le16(12), Le16(7), {kManufacturer, 0x83}, Le16(82), {0x13, 0x22, 0x33, 0}}));
}

TEST_F(CallControl, DestroyingTheConnectionClearsAnActiveB3Connection) {
    auto* d = new ScriptedDriver;
    unsigned released = 0;
    d->releasedTo = &released;
    {
        CAPIAccess a{2, 12, 128, std::unique_ptr<CapiDriver>(d)};
        {
            LinkConnection c{&a, 0};
            c.ConnectReq("1", 0x8002, nullptr);
            d->incoming = {Message(kConnect, kConfByte, 0, {Le32(kPlci), Le16(0)}),
                           Message(kConnectActive, kIndByte, 1, {Le32(kPlci), kEmpty}),
                           Message(kConnectB3, kConfByte, 1, {Le32(kNcci), Le16(0)}),
                           Message(kConnectB3Active, kIndByte, 2, {Le32(kNcci), kEmpty})};
            // The fixture's own connection object comes first and takes
            // nothing of this second application.
            for (int i = 0; i < 4; ++i) RunMessagePump();
            ASSERT_TRUE(c.B3Active());
            d->puts.clear();
        }
        ASSERT_EQ(d->puts.size(), 1u);
        EXPECT_EQ(d->puts[0].Command(), kDisconnectB3);
    }
    EXPECT_EQ(released, 7u);
}

TEST_F(CallControl, NothingIsSentOnAnUnusableLine) {
    auto* d = new ScriptedDriver;
    d->usable = false;
    CAPIAccess a{2, 12, 128, std::unique_ptr<CapiDriver>(d)};
    LinkConnection c{&a, 0};
    std::uint8_t byte = 1;
    c.ConnectReq("1", 0x8002, "2");
    EXPECT_FALSE(c.ListenReq(0x80, 0x3F, nullptr));
    c.QueueData(&byte, 1);
    c.DisconnectReq();
    EXPECT_TRUE(d->puts.empty());
    std::uint8_t* m = nullptr;
    EXPECT_EQ(a.Put(&byte), 4711u);
    EXPECT_EQ(a.Get(&m), 4711u);
}

TEST(CapiAccess, MessageNumbersWrapAtTheFifteenBitLimit) {
    CAPIAccess a{2, 12, 128, std::make_unique<ScriptedDriver>()};
    for (unsigned i = 0; i < 0x7FFF; ++i) a.NextMessageNumber();
    EXPECT_EQ(a.NextMessageNumber(), 0x7FFF);
    EXPECT_EQ(a.NextMessageNumber(), 0);
    EXPECT_EQ(a.NextMessageNumber(), 1);
}

TEST_F(CallControl, NumbersThatDoNotFitAMessageAreRefusedUnsent) {
    std::string digits(170, '7');
    EXPECT_FALSE(link.ConnectReq(digits.c_str(), 0x8002, "111"));
    EXPECT_FALSE(link.ConnectReq("222", 0x8002, digits.c_str()));
    EXPECT_FALSE(link.ListenReq(0x80, 0x3F, digits.c_str()));
    EXPECT_TRUE(TakePuts().empty());
    // The longest numbers that fit still go: 180 bytes minus the header and
    // the fixed parameters leave 158 bytes for both numbers.
    std::string called(80, '1'), calling(68, '2');
    EXPECT_TRUE(link.ConnectReq(called.c_str(), 0x8002, calling.c_str()));
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].message.size(), 8u + 4 + 2 + 82 + 71 + 7);
}

// A CRComObj destroyed on a call and a new one dialling at once: the old
// call's clearing must not end or confuse the new call.
TEST_F(CallControl, NothingOfAGivenUpCallReachesTheNextOne) {
    BringUpOutgoing();
    Bytes late(10, 0x42);
    link.DisconnectReq();
    ASSERT_TRUE(link.ConnectReq("333", 0x8002, "111"));
    std::uint16_t connectNumber = LastRequestNumber();
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 2u) << "one DISCONNECT_REQ for the old call, then CONNECT_REQ";
    EXPECT_EQ(puts[0].Command(), kDisconnect);
    EXPECT_EQ(puts[1].Command(), kConnect);

    DeliverData(70, late);
    Deliver(Message(kDisconnectB3, kIndByte, 71, {Le32(kNcci), Le16(0), kEmpty}));
    Deliver(Message(kDisconnect, kConfByte, puts[0].Number(), {Le32(kPlci), Le16(0)}));
    Deliver(Message(kDisconnect, kIndByte, 72, {Le32(kPlci), Le16(0x3490)}));
    puts = TakePuts();
    ASSERT_EQ(puts.size(), 3u) << "every indication of the old call is answered";
    EXPECT_EQ(puts[0].message,
              Concat({Le16(14), Le16(7), {kDataB3, 0x83}, Le16(70), Le32(kNcci), Le16(70)}));
    EXPECT_EQ(puts[1].message,
              Concat({Le16(12), Le16(7), {kDisconnectB3, 0x83}, Le16(71), Le32(kNcci)}));
    EXPECT_EQ(puts[2].message,
              Concat({Le16(12), Le16(7), {kDisconnect, 0x83}, Le16(72), Le32(kPlci)}));
    EXPECT_EQ(obj.GetLinkInterface()->DisconnectReason(), 0) << "the new call heard nothing";
    EXPECT_EQ(link.ReceivedChunks(), 0u);

    // The new call's confirmation comes after those responses and is still its own.
    constexpr std::uint32_t kPlci2 = 0x0201;
    Deliver(Message(kConnect, kConfByte, connectNumber, {Le32(kPlci2), Le16(0)}));
    EXPECT_TRUE(link.HasPlci());
    EXPECT_EQ(link.Plci(), kPlci2);
}

TEST_F(CallControl, ACallWithoutDataConnectionIsClearedThenGivenUp) {
    link.ListenReq(0x80, 0x3F, nullptr);
    Deliver(Message(kListen, kConfByte, LastRequestNumber(), {Le32(1), Le16(0)}));
    Deliver(Message(kConnect, kIndByte, 90, {Le32(kPlci), Le16(2), kEmpty, kEmpty}));
    TakePuts();
    auto due = link.NextDeadline();
    ASSERT_TRUE(due.has_value()) << "an answered call waits for its B3 connection";
    auto now = LinkClock::now();
    EXPECT_GT(*due, now + std::chrono::seconds(9));
    EXPECT_LE(*due, now + CapiConnection::kIdleCallTimeout);

    RunDeadlines(*due);
    auto puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].Command(), kDisconnect);
    EXPECT_EQ(puts[0].Subcommand(), 0x80);
    EXPECT_TRUE(link.HasPlci()) << "cleared, not yet gone";

    // The network never confirms: the call is given up and the transport told.
    RunDeadlines(*link.NextDeadline());
    EXPECT_FALSE(link.HasPlci());
    EXPECT_EQ(obj.GetLinkInterface()->DisconnectReason(), 0x34E6);
    EXPECT_FALSE(link.NextDeadline().has_value());
    Deliver(Message(kDisconnect, kIndByte, 91, {Le32(kPlci), Le16(0x3490)}));
    puts = TakePuts();
    ASSERT_EQ(puts.size(), 1u) << "a late DISCONNECT_IND is still answered";
    EXPECT_EQ(puts[0].Subcommand(), 0x83);

    BringUpOutgoing();
    EXPECT_FALSE(link.NextDeadline().has_value()) << "a call with data connection has no time-out";
}

TEST_F(CallControl, BlocksOfOneCallNeverReachTheNext) {
    BringUpOutgoing();
    Bytes left(50, 0x11);
    DeliverData(80, left);
    Bytes unsent(20 * 128, 0x22);
    ASSERT_TRUE(link.QueueData(unsent.data(), unsent.size()));
    EXPECT_EQ(link.QueuedChunks(), 8u);
    Deliver(Message(kDisconnect, kIndByte, 81, {Le32(kPlci), Le16(0x3301)}));
    EXPECT_EQ(link.QueuedChunks(), 0u) << "what the ended call could not send";
    std::uint8_t chunk[128];
    EXPECT_FALSE(link.QueueData(unsent.data(), 10)) << "no data connection, nothing queued";

    BringUpOutgoing("111", 0x0201, 0x00010201);
    EXPECT_EQ(link.TakeReceivedChunk(chunk), 0u) << "nothing of the last caller";
    EXPECT_TRUE(TakePuts().empty());
}

TEST_F(CallControl, ALostDriverEndsTheCallAndTheLine) {
    BringUpOutgoing();
    driver->getResult = 0x1108;
    RunMessagePump();
    EXPECT_FALSE(link.HasPlci());
    EXPECT_FALSE(Connected());
    EXPECT_EQ(obj.GetLinkInterface()->DisconnectReason(), 0x3301);
    EXPECT_FALSE(access.Usable());
    EXPECT_FALSE(link.ConnectReq("222", 0x8002, nullptr));
    EXPECT_TRUE(TakePuts().empty());
}

}  // namespace
