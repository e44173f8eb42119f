#include "ras_connection.h"

#include <gtest/gtest.h>

namespace {

TEST(ConnectionModeTest, DialsAndHangsUpByTheTwoLowBits) {
    struct Case {
        const char* text;
        bool dial, hangUp;
    } cases[] = {{"0", false, false},
                 {"16", false, false},
                 {"17", true, false},
                 {"18", false, true},
                 {"19", true, true},
                 {" 19 ", true, true},
                 {"", false, false},
                 {"x", false, false},
                 {"17x", false, false},
                 {"-1", false, false},
                 {"99999999999999999999", false, false}};
    for (const Case& c : cases) {
        int mode = ConnectionMode::FromText(c.text);
        EXPECT_EQ(ConnectionMode::DialFirst(mode), c.dial) << c.text;
        EXPECT_EQ(ConnectionMode::HangUpAfter(mode), c.hangUp) << c.text;
    }
}

TEST(NmcliOutputTest, TerseNamesLoseTheirEscapes) {
    EXPECT_EQ(NmcliTerseNames("Arcor\nT-Online DSL\nVPN\\: Büro\nC\\\\D\n\n"),
              (std::vector<std::string>{"Arcor", "T-Online DSL", "VPN: Büro", "C\\D"}));
    EXPECT_EQ(NmcliTerseNames("last line without end"),
              (std::vector<std::string>{"last line without end"}));
    EXPECT_TRUE(NmcliTerseNames("").empty());
}

TEST(NmcliOutputTest, MessageIsTheFirstLinesOfWhatItSaid) {
    EXPECT_EQ(NmcliMessage("  Error: Connection activation failed: No carrier.\n"
                           "Hint: use 'journalctl -xe NM_CONNECTION=1' to get more details.\n"
                           "third line\n",
                           "ignored"),
              "Error: Connection activation failed: No carrier. Hint: use 'journalctl -xe "
              "NM_CONNECTION=1' to get more details.");
    EXPECT_EQ(NmcliMessage("\n \n", "Fehler: unbekannte Verbindung »Büro«.\n"),
              "Fehler: unbekannte Verbindung »Büro«.");
    EXPECT_EQ(NmcliMessage("", ""), "");
}

}  // namespace
