#include "reason_texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "corvane.h"

namespace {

TEST(ReasonTexts, TableHoldsEveryReasonOnceInItsOrder) {
    ASSERT_EQ(ReasonTableSize(), 106u);
    std::set<std::uint16_t> codes;
    for (std::size_t i = 0; i < ReasonTableSize(); ++i) {
        std::uint16_t code = ReasonTableCode(i);
        EXPECT_TRUE(codes.insert(code).second) << std::hex << code;
        char mark[16];
        std::snprintf(mark, sizeof mark, "[#%04X]", code);
        std::string text = ReasonText(code);
        EXPECT_EQ(text.substr(text.size() - 7), mark);
    }
    EXPECT_EQ(ReasonTableCode(0), 0x1001);
    EXPECT_EQ(ReasonTableCode(53), 0x3400);
    EXPECT_EQ(ReasonTableCode(54), 0x3490);
    EXPECT_EQ(ReasonTableCode(55), 0x349A);
    EXPECT_EQ(ReasonTableCode(56), 0x349F);
    EXPECT_EQ(ReasonTableCode(57), 0x3481);
    EXPECT_EQ(ReasonTableCode(105), 0x34FF);
}

TEST(ReasonTexts, TextsUsersSee) {
    struct {
        std::uint16_t reason;
        const char* text;
    } cases[] = {
        {0x3491, "Teilnehmer besetzt[#3491]"},
        {0x3492, "Teilnehmer antwortet nicht[#3492]"},
        {0x34D8, "Gegenstelle nicht kompatibel[#34D8]"},
        {0x3481, "Unbekannte Nummer[#3481]"},
        {0x3400, "Keine ISDN-Verbindung. Grund unbekannt[#3400]"},
        {0x349F, "Keine ISDN-Verbindung. Grund unbekannt[#349F]"},
        {0x1002, "Logische Blockgröße zu gering, mindestens 128 Bytes erforderlich[#1002]"},
        {0x3313,
         "Verbindungsabbau vor der Übertragung (Gegenstelle läßt Übertragung nicht zu, "
         "z.B. falsche Auflösung)[#3313]"},
        {0x1104, "ISDN-Fehler #:0x1104"},
        {0, "ISDN-Fehler #:0x0"},
        {0xABC, "ISDN-Fehler #:0xABC"},
    };
    for (auto c : cases) EXPECT_STREQ(ReasonText(c.reason), c.text);
}

TEST(ErrorTexts, ReturnCodesHaveTheirTexts) {
    CRComObj obj;
    struct {
        unsigned short code;
        const char* text;
    } cases[] = {
        {0, "Unbekannter Fehler (0)"},
        {1, "Keine Verbindung"},
        {2, "Verbindung kann nicht hergestellt werden"},
        {3, "Verbindungsabbau fehlgeschlagen"},
        {8, "Nachricht mit Länge Null empfangen"},
        {18, "ACK konnte nicht gesendet werden"},
        {19, "Timeout"},
        {21, "Keine Identifikation der Gegenstelle empfangen"},
        {32, "Bereits verbunden"},
        {0xFFFE, "Funktionsaufruf fehlgeschlagen"},
        {12345, "Unbekannter Fehler"},
        {0xFFFF, "Unbekannter Fehler"},
    };
    for (auto c : cases) EXPECT_STREQ(obj.GetErrorText(c.code), c.text) << c.code;
}

}  // namespace
