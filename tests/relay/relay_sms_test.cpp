// relay forwarding notes as SMS through the SMS centres of capisim, with
// the real libcapi20 in between: what the centres record, and what relay
// says when a centre refuses or cannot be reached.
#include <gtest/gtest.h>

#include <fstream>

#include "capisim_process.h"
#include "relay_station.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kTap = "01712521002";
constexpr const char* kTapNak = "01712521003";
constexpr const char* kEmi = "01722278020";
constexpr const char* kBusy = "01800000001";

class RelaySmsTest : public testing::Test {
protected:
    void SetUp() override {
        std::ofstream(dir_.File("capisim.cfg")) << "[Numbers]\n"
                                                << kTap << "=sms-tap\n"
                                                << kTapNak << "=sms-tap nak\n"
                                                << kEmi << "=sms-emi\n"
                                                << kBusy << "=busy\n";
        ASSERT_TRUE(
            capisim_.Start({"--line", "A:0:02211111", "--outside-prefix", "A:0", "--sms-log",
                            dir_.File("sms.jsonl"), "--config", dir_.File("capisim.cfg")}))
            << capisim_.Error();
        station_ = std::make_unique<RelayStation>(dir_.Path(), "A", capisim_.Port("A"));
    }

    // The keys of a relay profile for an SMS, as velo writes them; the
    // centre is dialled with the outside-line and a call-by-call prefix.
    static std::string SmsKeys(int operation, const std::string& centre) {
        return "operation=" + std::to_string(operation) +
               "\ntries=1\nmsn=02211111\nisdnPrefix=0\ncallByCallPrefix=01013\nSMSCenter=" +
               centre + "\nTo=01701234567\nreplyWaitSteps=20\n";
    }
    std::vector<capitest::LogEntry> Accepted() {
        std::vector<capitest::LogEntry> entries;
        std::ifstream in(dir_.File("sms.jsonl"));
        for (std::string line; std::getline(in, line);) {
            if (auto e = capitest::ParseJsonLine(line)) entries.push_back(*e);
        }
        return entries;
    }

    capitest::TempDir dir_;
    capitest::CapisimProcess capisim_;
    std::unique_ptr<RelayStation> station_;
};

TEST_F(RelaySmsTest, ALongTextIsCutTo130CharactersAndOneOf160GoesWhole) {
    std::string longText, first130, fitting;
    // Characters, not bytes: "ü" and "ß" take two bytes each.
    for (int i = 0; i < 40; ++i) longText += "Grüß ";
    for (int i = 0; i < 26; ++i) first130 += "Grüß ";
    for (int i = 0; i < 32; ++i) fitting += "Köln ";

    RelayRunResult cut = station_->Run(station_->Prepare(1, longText, SmsKeys(3, kTap)));
    EXPECT_EQ(cut.status, 0) << cut.errors;
    RelayRunResult whole = station_->Run(station_->Prepare(2, fitting, SmsKeys(5, kTap)));
    EXPECT_EQ(whole.status, 0) << whole.errors;

    auto accepted = Accepted();
    ASSERT_EQ(accepted.size(), 2u);
    EXPECT_EQ(accepted[0]["text"], first130);
    EXPECT_EQ(accepted[0]["protocol"], "tap");
    EXPECT_EQ(accepted[0]["centre"], kTap);
    EXPECT_EQ(accepted[0]["recipient"], "01701234567");
    EXPECT_EQ(accepted[0]["calling_number"], "02211111");
    EXPECT_EQ(accepted[1]["text"], fitting);
    EXPECT_EQ(station_->LogLines(),
              (std::vector<std::string>{
                  "D1-SMS: Notiz wurde als SMS-Nachricht gesendet nach 1 Versuch(en).",
                  "E-Plus-SMS: Notiz wurde als SMS-Nachricht gesendet nach 1 Versuch(en)."}));
    EXPECT_EQ(station_->Setting("RelayResults", "RelayedItems"), "1,2");
}

TEST_F(RelaySmsTest, AnEmiCentreGetsTheOriginatorAndTheText) {
    std::string keys = SmsKeys(4, kEmi) + "CallerPhoneNumber=02211111\n";
    RelayRunResult run = station_->Run(station_->Prepare(3, "Übermorgen ÄÖÜ äöü ß\n", keys));
    EXPECT_EQ(run.status, 0) << run.errors;
    auto accepted = Accepted();
    ASSERT_EQ(accepted.size(), 1u);
    EXPECT_EQ(accepted[0]["protocol"], "emi");
    EXPECT_EQ(accepted[0]["originator"], "02211111");
    EXPECT_EQ(accepted[0]["recipient"], "01701234567");
    EXPECT_EQ(accepted[0]["text"], "Übermorgen ÄÖÜ äöü ß\n");
    EXPECT_EQ(station_->LogLines(), std::vector<std::string>{"D2-SMS: Notiz wurde als "
                                                             "D2-SMS-Nachricht gesendet nach 1 "
                                                             "Versuch(en)."});
    EXPECT_EQ(station_->Setting("RelayResults", "RelayedItems"), "3");
}

TEST_F(RelaySmsTest, ARefusalOrABusyCentreIsNamedInTheFailure) {
    const std::string failed = "FEHLER: Notiz konnte nicht als SMS-Nachricht gesendet werden! ";
    station_->Run(station_->Prepare(4, "abc", SmsKeys(3, kTapNak)));
    station_->Run(station_->Prepare(5, "abc", SmsKeys(5, kBusy)));
    EXPECT_EQ(
        station_->LogLines(),
        (std::vector<std::string>{"D1-SMS: " + failed + "[510 Message rejected] nach 1 Versuch(en)",
                                  "E-Plus-SMS: " + failed +
                                      "[Die gewählte Rufnummer ist besetzt!] nach 1 "
                                      "Versuch(en)"}));
    EXPECT_EQ(station_->Setting("RelayFailures", "4"), "D1-SMS: " + failed +
                                                           "[510 Message rejected] nach 1 "
                                                           "Versuch(en)");
    EXPECT_EQ(station_->Setting("RelayResults", "RelayedItems"), "(none)");
    EXPECT_TRUE(Accepted().empty());
}

}  // namespace
