#include "capi_message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace capi;

TEST(CapiMessage, FixedLengthsOfTheMessagesTheLinkSends) {
    struct Case {
        std::uint8_t command, kind;
        std::uint32_t length;
    } cases[] = {
        {kAlert, kReq, 13},
        {kAlert, kResp, 12},
        {kConnect, kResp, 19},
        {kConnectActive, kResp, 12},
        {kDisconnect, kReq, 16},
        {kDisconnect, kResp, 12},
        {kListen, kReq, 26},
        {kInfo, kReq, 14},
        {kInfo, kResp, 12},
        {kSelectBProtocol, kReq, 21},
        {kFacility, kReq, 15},
        {kFacility, kResp, 15},
        {kConnectB3, kReq, 13},
        {kConnectB3, kResp, 15},
        {kConnectB3Active, kResp, 12},
        {kDisconnectB3, kReq, 13},
        {kDisconnectB3, kResp, 12},
        {kDataB3, kReq, 22},
        {kDataB3, kResp, 14},
        {kConnect, kReq, kNoFixedLength},
        {kListen, kResp, kNoFixedLength},
        {kResetB3, kReq, kNoFixedLength},
        {0x00, kReq, kNoFixedLength},
        {kManufacturer, kResp, kNoFixedLength},
        {kDataB3, kConf, kNoFixedLength},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CalcMsgLength(c.command, c.kind), c.length) << MessageName(c.command, c.kind);
    }
}

TEST(CapiMessage, PartyNumbersAsTheExchangeReadsThem) {
    using B = std::vector<std::uint8_t>;
    EXPECT_EQ(CalledPartyNumber("0301234"), (B{0x80, '0', '3', '0', '1', '2', '3', '4'}));
    EXPECT_EQ(CallingPartyNumber("555"), (B{0x00, 0x80, '5', '5', '5'}));
    EXPECT_EQ(CallingPartyNumber(""), (B{0x00, 0xA0}));
    EXPECT_EQ(CallingPartyNumber(nullptr), B{});
    EXPECT_EQ(NumberText({0x00, 0x80, '4', '2'}, true), "42");
    EXPECT_EQ(NumberText({0x81, '4', '2'}, true), "42");
    EXPECT_EQ(NumberText({0x80, '7'}, false), "7");
    EXPECT_EQ(NumberText({}, true), "");
}

TEST(CapiMessage, CipValuesAndListenMasks) {
    struct {
        std::uint16_t selector, cip;
    } cips[] = {{0x8002, 2}, {0x8010, 16}, {7, 2}, {1, 1}, {4, 4}};
    for (auto c : cips) EXPECT_EQ(CipValue(c.selector), c.cip) << c.selector;
    struct {
        std::uint32_t bits, mask;
    } masks[] = {{0x80, 0x00000004}, {0x20, 0x00000004}, {0x02, 0x00010012},
                 {0x10, 0x00020010}, {0x12, 0x00030012}, {0x80000042, 0x80000042}};
    for (auto m : masks) EXPECT_EQ(ListenCipMask(m.bits), m.mask) << m.bits;
}

TEST(CapiMessage, BProtocolIsEmptyForDataCallsAndTransparentForVoice) {
    EXPECT_TRUE(BProtocolFor(2).empty());
    for (std::uint16_t cip : {1, 4, 16}) {
        EXPECT_EQ(BProtocolFor(cip), (std::vector<std::uint8_t>{1, 0, 1, 0, 0, 0, 0, 0, 0}));
    }
}

TEST(CapiMessage, ReaderStopsAtTheMessageLength) {
    // Length 13: header, a dword and one byte of a structure that claims 5.
    std::uint8_t m[32] = {13, 0, 1, 0, 0x82, 0x82, 0, 0, 1, 2, 3, 4, 5, 'x', 'x', 'x'};
    ParamReader r(m, sizeof m);
    EXPECT_EQ(r.Dword(), 0x04030201u);
    EXPECT_TRUE(r.Struct().empty());
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Word(), 0);
}

TEST(CapiMessage, ReaderTakesLongStructures) {
    std::uint8_t m[300] = {};
    PutWord(m, 8 + 3 + 260);
    m[8] = 0xFF;
    PutWord(m + 9, 260);
    m[11] = 'a';
    ParamReader r(m, sizeof m);
    auto s = r.Struct();
    ASSERT_EQ(s.size(), 260u);
    EXPECT_EQ(s[0], 'a');
    EXPECT_TRUE(r.Ok());
}

TEST(CapiMessage, ReaderRefusesALengthBeyondTheBuffer) {
    std::uint8_t m[12] = {40, 0, 1, 0, 0x82, 0x82, 0, 0, 1, 2, 3, 4};
    ParamReader r(m, sizeof m);
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.Dword(), 0u);
    EXPECT_FALSE(ParamReader(m, 7).Ok());
}

TEST(CapiMessage, WriterNeverWritesPastItsRoom) {
    std::uint8_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    ParamWriter w(buffer, 10);
    w.Dword(1).Struct(std::vector<std::uint8_t>(4, 'x'));
    EXPECT_TRUE(w.Ok());
    EXPECT_EQ(w.Size(), 9u);
    w.Word(2).Byte(3);
    EXPECT_FALSE(w.Ok()) << "the word does not fit";
    EXPECT_EQ(w.Size(), 9u) << "nothing after the first refusal";
    for (std::size_t i = 9; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0xEE) << i;

    auto fits = MakeMessage(7, kConnect, 0x80, 3, [](ParamWriter& p) {
        p.Dword(1).Word(2).Struct(CalledPartyNumber("0301234"));
    });
    ASSERT_EQ(fits.size(), 23u);
    EXPECT_EQ(MsgLength(fits.data()), 23);
    EXPECT_EQ(Word(&fits[2]), 7);
    EXPECT_EQ(MsgNumber(fits.data()), 3);
    std::string digits(200, '1');
    auto tooLong = MakeMessage(7, kConnect, 0x80, 3, [&](ParamWriter& p) {
        p.Dword(1).Word(2).Struct(CalledPartyNumber(digits.c_str()));
    });
    EXPECT_TRUE(tooLong.empty());
}
