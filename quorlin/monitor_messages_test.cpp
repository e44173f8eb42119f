#include "monitor_messages.h"

#include <gtest/gtest.h>

#include "telephone_services.h"

namespace monitor {
namespace {

Bytes Struct(const Bytes& content) {
    Bytes s{std::uint8_t(content.size())};
    s.insert(s.end(), content.begin(), content.end());
    return s;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A message as the exchange sends it: header, then the parameters.
Bytes Message(std::uint8_t command, std::uint8_t subcommand, std::uint16_t number,
              const Bytes& params) {
    std::size_t length = 8 + params.size();
    Bytes m(length);
    m[0] = std::uint8_t(length);
    m[1] = std::uint8_t(length >> 8);
    m[2] = 0x07;
    m[4] = command;
    m[5] = subcommand;
    m[6] = std::uint8_t(number);
    m[7] = std::uint8_t(number >> 8);
    std::copy(params.begin(), params.end(), m.begin() + 8);
    return m;
}

Bytes ConnectInd(std::uint16_t cip, const Bytes& called, const Bytes& calling) {
    Bytes params = Concat(
        {{0x01, 0x01, 0x00, 0x00}, {std::uint8_t(cip), 0x00}, Struct(called), Struct(calling)});
    for (int i = 0; i < 7; ++i) params.push_back(0);
    return Message(kConnect, kInd, 0x4001, params);
}

TEST(MonitorMessages, ListenRequestAsksForTheTelephoneServicesOnly) {
    Bytes m = ListenReq(3, 1, 1, TelephoneCipMask());
    Bytes expected{26,   0, 3, 0, kListen, kReq, 1, 0,  // header
                   1,    0, 0, 0,                       // controller
                   0,    0, 0, 0,                       // no info indications
                   0x32, 0, 1, 4,                       // CIP 1, 4, 5, 16, 26
                   0,    0, 0, 0,                       // no second mask
                   0,    0};                            // own number, subaddress
    EXPECT_EQ(m, expected);
}

TEST(MonitorMessages, ConnectResponseIgnoresTheCall) {
    Bytes m = ConnectResp(3, 0x4001, 0x00000101, kIgnoreCall);
    Bytes expected{19, 0, 3, 0, kConnect, kResp, 0x01, 0x40, 0x01, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(m, expected);
}

TEST(MonitorMessages, CallingNumbersAsATelephoneShowsThem) {
    struct Case {
        Bytes number;
        std::string shown;
        bool withheld;
    } cases[] = {
        {Concat({{0x01, 0x81}, Text("5551001")}), "5551001", false},            // unknown type
        {Concat({{0x21, 0x80}, Text("301234567")}), "0301234567", false},       // national
        {Concat({{0x21, 0x80}, Text("0301234567")}), "0301234567", false},      // national with 0
        {Concat({{0x11, 0x80}, Text("49301234567")}), "0301234567", false},     // Germany
        {Concat({{0x11, 0x80}, Text("33123456789")}), "0033123456789", false},  // abroad
        {Concat({{0x41, 0x80}, Text("1234567")}), "1234567", false},            // subscriber
        {Concat({{0xA1}, Text("301234567")}), "0301234567", false},  // no presentation octet
        {Concat({{0x21, 0xA0}}), "", true},                          // restricted
        {Concat({{0x21, 0xA0}, Text("301234567")}), "", true},       // restricted, sent anyway
        {Concat({{0x21, 0xC3}}), "", false},                         // not available
        {Concat({{0x01, 0x80}, Text("12|3 4")}), "1234", false},     // only digits kept
        {{}, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(CallingNumberText(c.number), c.shown);
        EXPECT_EQ(CallingNumberWithheld(c.number), c.withheld);
    }
}

TEST(MonitorMessages, ConnectIndicationGivesPlciServiceAndNumbers) {
    Bytes m = ConnectInd(16, Concat({{0x81}, Text("5551001")}),
                         Concat({{0x21, 0x80}, Text("301234567")}));
    auto offer = ReadConnectInd(m.data(), m.size());
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->plci, 0x0101u);
    EXPECT_EQ(offer->cip, 16);
    EXPECT_EQ(offer->calledNumber, "5551001");
    EXPECT_EQ(offer->callingNumber, "0301234567");
    EXPECT_FALSE(offer->callingWithheld);
}

TEST(MonitorMessages, ConnectIndicationWithALongStructIsRead) {
    // A struct may give its length as 0xFF and a word.
    Bytes calling = Concat({{0x21, 0x80}, Text("301234567")});
    Bytes params = Concat({{0x01, 0x01, 0x00, 0x00, 0x01, 0x00},
                           Struct(Concat({{0x81}, Text("5551001")})),
                           {0xFF, std::uint8_t(calling.size()), 0x00},
                           calling});
    Bytes m = Message(kConnect, kInd, 2, params);
    auto offer = ReadConnectInd(m.data(), m.size());
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->callingNumber, "0301234567");
}

TEST(MonitorMessages, TruncatedMessagesAreNotRead) {
    Bytes whole =
        ConnectInd(1, Concat({{0x81}, Text("5551001")}), Concat({{0x21, 0x80}, Text("301234567")}));
    // The Length field claims more than there is.
    Bytes shortened(whole.begin(), whole.end() - 10);
    EXPECT_FALSE(ReadConnectInd(shortened.data(), shortened.size()));
    EXPECT_FALSE(ReadHeader(whole.data(), 7));
    // A struct that runs past the message's own Length.
    Bytes broken = Message(kConnect, kInd, 1, {0x01, 0x01, 0, 0, 0x01, 0x00, 40, '5'});
    EXPECT_FALSE(ReadConnectInd(broken.data(), broken.size()));
    EXPECT_FALSE(ReadHeader(nullptr, 0));
}

TEST(MonitorMessages, IndicationsAreAnsweredWithTheirAddressAndNumber) {
    struct Case {
        Bytes indication;
        Bytes response;
    } cases[] = {
        {Message(kDisconnect, kInd, 0x4002, {0x01, 0x01, 0, 0, 0xE6, 0x34}),
         {12, 0, 7, 0, kDisconnect, kResp, 0x02, 0x40, 0x01, 0x01, 0, 0}},
        {Message(kInfo, kInd, 9, {0x01, 0x01, 0, 0, 0x08, 0x00, 0x00}),
         {12, 0, 7, 0, kInfo, kResp, 9, 0, 0x01, 0x01, 0, 0}},
        {Message(kFacility, kInd, 5, {0x01, 0, 0, 0, 0x03, 0x00, 0x00}),
         {15, 0, 7, 0, kFacility, kResp, 5, 0, 0x01, 0, 0, 0, 0x03, 0x00, 0x00}},
        {Message(kDisconnect, kInd, 1, {0x01}), {}},  // too short to answer
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResponseTo(c.indication.data(), c.indication.size()), c.response);
    }
}

TEST(MonitorMessages, ListenConfirmationCarriesItsInfo) {
    Bytes ok = Message(kListen, kConf, 1, {0x01, 0, 0, 0, 0x00, 0x00});
    Bytes refused = Message(kListen, kConf, 1, {0x01, 0, 0, 0, 0x02, 0x20});
    Bytes cut = Message(kListen, kConf, 1, {0x01, 0, 0, 0});
    EXPECT_EQ(ListenConfInfo(ok.data(), ok.size()), 0);
    EXPECT_EQ(ListenConfInfo(refused.data(), refused.size()), 0x2002);
    EXPECT_FALSE(ListenConfInfo(cut.data(), cut.size()));
}

TEST(TelephoneServices, TextsAndMaskCoverTheSameServices) {
    struct Case {
        std::uint16_t cip;
        bool telephone;
        std::string text;
    } cases[] = {
        {1, true, "Sprache"},       {4, true, "3,1 kHz Audio"},    {5, true, "7 kHz Audio"},
        {16, true, "Telefonie"},    {26, true, "Telefonie 7 kHz"}, {0, false, "Dienst 0"},
        {2, false, "Dienst 2"},     {17, false, "Dienst 17"},      {27, false, "Dienst 27"},
        {300, false, "Dienst 300"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsTelephoneService(c.cip), c.telephone) << c.cip;
        EXPECT_EQ(ServiceText(c.cip), c.text);
        bool inMask = c.cip < 32 && (TelephoneCipMask() & (1u << c.cip));
        EXPECT_EQ(inMask, c.telephone) << c.cip;
    }
}

}  // namespace
}  // namespace monitor
