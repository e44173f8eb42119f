#include "mobile_networks.h"

#include <gtest/gtest.h>

#include "msgbox_recorder.h"

namespace {

using namespace note_kind;

TEST(MobileNetworks, EveryPrefixOfTheTableFindsItsNetwork) {
    struct Case {
        const char* number;
        MobileNetwork network;
    } cases[] = {
        {"01511234567", MobileNetwork::D1},
        {"01601234567", MobileNetwork::D1},
        {"01701234567", MobileNetwork::D1},
        {"01711234567", MobileNetwork::D1},
        {"01751234567", MobileNetwork::D1},
        {"01521234567", MobileNetwork::D2},
        {"01621234567", MobileNetwork::D2},
        {"01721234567", MobileNetwork::D2},
        {"01731234567", MobileNetwork::D2},
        {"01741234567", MobileNetwork::D2},
        {"01631234567", MobileNetwork::EPlus},
        {"01771234567", MobileNetwork::EPlus},
        {"01781234567", MobileNetwork::EPlus},
        {"01761234567", MobileNetwork::AnyNetwork},
        {"01791234567", MobileNetwork::AnyNetwork},
        {"0221123456", MobileNetwork::None},
        {"017", MobileNetwork::None},
        {"", MobileNetwork::None},
        {"4917212345", MobileNetwork::None},
    };
    for (const Case& c : cases) EXPECT_EQ(MobileNetworkOf(c.number), c.network) << c.number;
}

TEST(MobileNetworks, OnlyDigitsAreDialled) {
    EXPECT_EQ(DigitsOf("030/123 45-67"), "0301234567");
    EXPECT_EQ(DigitsOf("+49 (172) 123-4567"), "491721234567");
    EXPECT_EQ(DigitsOf("keine"), "");
}

TEST(MobileNetworks, RecipientsOfEachKind) {
    struct Case {
        int kind;
        const char* recipient;
        std::optional<int> result;
    } cases[] = {
        {kD1Sms, "0172 123-4567", kD2Sms},
        {kEPlusSms, "0172 123-4567", kD2Sms},
        {kD2Sms, "0151/1234567", kD1Sms},
        {kD1Sms, "0177 1234567", kEPlusSms},
        {kD1Sms, "0176 1234567", kD1Sms},
        {kEPlusSms, "0176 1234567", kEPlusSms},
        {kD2Sms, "0179-1234567", kD2Sms},
        {kD1Sms, "0221 123456", std::nullopt},
        {kEmail, "anna@example.de", kEmail},
        {kEmail, "anna@example", std::nullopt},
        {kEmail, "anna.meier.example.de", std::nullopt},
        {kEmail, "a.b@c.d", kEmail},
        {0, "0221 123456", 0},
        {5, "", 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecipientKind(c.kind, c.recipient), c.result) << c.kind << " " << c.recipient;
}

TEST(MobileNetworks, ARefusedRecipientIsNamedInTheMessage) {
    MessageBoxRecorder boxes;
    EXPECT_EQ(CheckRecipient(kD1Sms, "0172 123-4567"), kD2Sms);
    EXPECT_EQ(CheckRecipient(kD2Sms, "0176 1234567"), kD2Sms);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(CheckRecipient(kD1Sms, "0221 123456"), std::nullopt);
    EXPECT_EQ(CheckRecipient(kEmail, "anna@example"), std::nullopt);
    EXPECT_EQ(
        boxes.Texts(),
        (std::vector<std::string>{
            "Die Rufnummer/Adresse '0221 123456' hat ein falsches Format!\n Bitte überprüfen!",
            "Die Rufnummer/Adresse 'anna@example' hat ein falsches Format!\n Bitte "
            "überprüfen!"}));
}

}  // namespace
