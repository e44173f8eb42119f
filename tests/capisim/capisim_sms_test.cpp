// A station on the real libcapi20 dials capisim's SMS centres and speaks
// TAP and UCP/EMI with them over the B channel.
#include <gtest/gtest.h>

#include <memory>

#include "capi_station.h"
#include "capisim_process.h"

namespace capitest {
namespace {

std::string TapChecksummed(const std::string& throughEtx) {
    unsigned sum = 0;
    for (unsigned char c : throughEtx) sum += c;
    return throughEtx + char(0x30 + ((sum >> 8) & 0xF)) + char(0x30 + ((sum >> 4) & 0xF)) +
           char(0x30 + (sum & 0xF)) + "\r";
}

std::string EmiSum(const std::string& text) {
    unsigned sum = 0;
    for (unsigned char c : text) sum += c;
    char hex[3];
    snprintf(hex, sizeof hex, "%02X", sum & 0xFF);
    return hex;
}

// Operation 51 from originator to recipient with text (as the centre's
// character map has it) in hexadecimal.
std::string EmiSubmitFrame(const std::string& trn, const std::string& recipient,
                           const std::string& originator, const std::string& text) {
    std::string hex;
    for (unsigned char c : text) {
        char digits[3];
        snprintf(digits, sizeof digits, "%02X", c);
        hex += digits;
    }
    std::string fields = "O/51/" + recipient + "/" + originator + "/" + std::string(16, '/') +
                         "3//" + hex + "/" + std::string(12, '/');
    char len[6];
    snprintf(len, sizeof len, "%05zu", trn.size() + 7 + fields.size() + 2);
    std::string body = trn + "/" + len + "/" + fields;
    return "\x02" + body + EmiSum(body) + "\x03";
}

struct CentreCall {
    uint32_t plci = 0;
    uint32_t ncci = 0;
};

class CapisimSms : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::string> args{"--line",           "A:0:02211111",
                                      "--outside-prefix", "A:0",
                                      "--call-log",       CallLog(),
                                      "--sms-log",        SmsLog(),
                                      "--delay",          "5",
                                      "--sms-centre",     "5558001=sms-tap",
                                      "--sms-centre",     "5558002=sms-emi",
                                      "--sms-centre",     "5558003=sms-tap hang-up"};
        ASSERT_TRUE(sim_.Start(args)) << sim_.Error();
        std::string home = MakeCapiHome(dir_.Path(), "home", sim_.Port("A"));
        // The smallest blocks a caller may register: the centres must
        // reassemble what comes in many of them.
        station_ = std::make_unique<Station>(home, StationOptions{2, 7, 128});
        ASSERT_EQ(station_->RegisterResult(), std::optional<unsigned>(0u));
    }

    Received Expect(uint8_t command, uint8_t subcommand) {
        auto r = station_->Next();
        EXPECT_TRUE(r) << "no " << CommandName(command, subcommand) << " arrived";
        if (!r) return {};
        EXPECT_EQ(r->Name(), CommandName(command, subcommand));
        return *r;
    }

    CentreCall Dial(const std::string& dialled, const std::string& centre) {
        CentreCall c;
        EXPECT_EQ(station_->Put(ConnectReq(dialled, "02211111", 2)), 0u);
        Received conf = Expect(CONNECT, CONF);
        EXPECT_EQ(conf.WordAfterAddress(), 0);
        c.plci = conf.Address();
        Received active = Expect(CONNECT_ACTIVE, IND);
        EXPECT_EQ(active.Address(), c.plci);
        EXPECT_EQ(CallingDigits(active.StructAt(12, 0)), centre) << "connected number";
        station_->Put(ConnectActiveResp(active.Address(), active.Number()));
        station_->Put(ConnectB3Req(c.plci));
        Received b3 = Expect(CONNECT_B3, CONF);
        EXPECT_EQ(b3.WordAfterAddress(), 0);
        c.ncci = b3.Address();
        Received b3Active = Expect(CONNECT_B3_ACTIVE, IND);
        station_->Put(ConnectB3ActiveResp(b3Active.Address(), b3Active.Number()));
        return c;
    }

    // Sends bytes in blocks of at most chunk bytes, as a carrier cuts them.
    void Send(const CentreCall& c, const std::string& bytes, size_t chunk = 128) {
        for (size_t at = 0; at < bytes.size(); at += chunk) {
            std::string piece = bytes.substr(at, chunk);
            ASSERT_EQ(station_->Put(DataB3Req(c.ncci, uint16_t(piece.size()), ++handle_, false),
                                    Bytes(piece.begin(), piece.end())),
                      0u);
        }
    }

    // The next block from the centre, answered; confirmations of the
    // station's own blocks on the way are checked and passed over.
    std::string Reply(const CentreCall& c) {
        while (auto r = station_->Next()) {
            if (r->Command() == DATA_B3 && r->Subcommand() == CONF) {
                EXPECT_EQ(r->WordAt(14), 0) << "DATA_B3_CONF Info";
                continue;
            }
            if (r->Command() != DATA_B3 || r->Subcommand() != IND) {
                ADD_FAILURE() << "a reply expected, not " << r->Name();
                return "";
            }
            station_->Put(DataB3Resp(c.ncci, r->WordAt(18), r->Number()));
            return std::string(r->data.begin(), r->data.end());
        }
        ADD_FAILURE() << "no reply came";
        return "";
    }

    void HangUp(const CentreCall& c) {
        station_->Put(DisconnectReq(c.plci));
        Received b3 = station_->WaitFor(DISCONNECT_B3, IND).value_or(Received{});
        station_->Put(DisconnectB3Resp(b3.Address(), b3.Number()));
        Received d = station_->WaitFor(DISCONNECT, IND).value_or(Received{});
        EXPECT_EQ(d.WordAfterAddress(), 0);
        station_->Put(DisconnectResp(d.Address(), d.Number()));
    }

    std::string CallLog() const { return dir_.File("calls.jsonl"); }
    std::string SmsLog() const { return dir_.File("sms.jsonl"); }

    TempDir dir_;
    CapisimProcess sim_;
    std::unique_ptr<Station> station_;
    uint16_t handle_ = 0;
};

TEST_F(CapisimSms, TapDialogueRecordsTheMessageBeforeItsAnswerArrives) {
    CentreCall c = Dial("05558001", "5558001");
    Send(c, "\r");
    EXPECT_EQ(Reply(c), "ID=");
    Send(c, "\x1bPG1\r");
    EXPECT_EQ(Reply(c), "\r\x06\r");
    EXPECT_EQ(Reply(c), "\x1b[p\r");
    std::string block = TapChecksummed("\0020170000000\rGr\176\036e aus K\174ln\r\003");
    Send(c, block, 7);
    EXPECT_EQ(Reply(c), "211 Message accepted\r\x06\r");
    auto messages = ReadCallLog(SmsLog());
    ASSERT_EQ(messages.size(), 1u) << "the line is there as soon as the answer";
    EXPECT_EQ(messages[0]["centre"], "5558001");
    EXPECT_EQ(messages[0]["protocol"], "tap");
    EXPECT_EQ(messages[0]["calling_number"], "02211111");
    EXPECT_EQ(messages[0]["originator"], "");
    EXPECT_EQ(messages[0]["recipient"], "0170000000");
    EXPECT_EQ(messages[0]["text"], "Grüße aus Köln");
    EXPECT_EQ(messages[0]["time"].size(), 24u);
    EXPECT_EQ(messages[0]["time"].back(), 'Z');

    Send(c, "\x04\r");
    EXPECT_EQ(Reply(c), "\x1b\x04\r");
    EXPECT_TRUE(station_->Quiet(200ms)) << "after the logout the centre waits for the caller";
    HangUp(c);

    auto calls = WaitForCallLog(CallLog(), 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["called_line"], "null");
    EXPECT_EQ(calls[0]["called_number"], "5558001");
    EXPECT_EQ(calls[0]["outcome"], "answered");
    EXPECT_EQ(calls[0]["bytes_to_called"], std::to_string(1 + 5 + block.size() + 2));
}

TEST_F(CapisimSms, EmiFramesOfManyBlocksAreAnsweredOneReplyEach) {
    CentreCall c = Dial("5558002", "5558002");
    std::string text = "Termin am Montag um 10 Uhr, bitte Unterlagen mitbringen. Gr\175\176e";
    text += std::string(160 - text.size(), '.');
    std::string frame = EmiSubmitFrame("07", "01701234567", "Telvora", text);
    ASSERT_GT(frame.size(), 380u);
    Send(c, frame);
    std::string positive = Reply(c);
    ASSERT_EQ(positive.size(), 46u) << positive;
    EXPECT_EQ(positive.substr(0, 30), "\00207/00044/R/51/A//01701234567:");
    EXPECT_EQ(positive.substr(30, 12).find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(positive.substr(42), "/" + EmiSum(positive.substr(1, 42)) + "\x03");
    auto messages = ReadCallLog(SmsLog());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["protocol"], "emi");
    EXPECT_EQ(messages[0]["originator"], "Telvora");
    EXPECT_EQ(messages[0]["recipient"], "01701234567");
    EXPECT_EQ(messages[0]["text"],
              "Termin am Montag um 10 Uhr, bitte Unterlagen mitbringen. Grüße" +
                  std::string(160 - 62, '.'));

    std::string broken = EmiSubmitFrame("08", "01701234567", "Telvora", "x");
    broken[broken.size() - 2] ^= 1;
    Send(c, broken);
    std::string negative = Reply(c);
    EXPECT_EQ(negative.substr(0, 17), "\00208/00036/R/51/N/");
    EXPECT_EQ(negative.substr(17, 18), "01/Checksum error/");
    EXPECT_EQ(ReadCallLog(SmsLog()).size(), 1u) << "nothing recorded for a refused frame";
    HangUp(c);
}

TEST_F(CapisimSms, HangUpFaultClearsTheCallInTheMiddleOfTheBlock) {
    CentreCall c = Dial("5558003", "5558003");
    Send(c, "\r");
    EXPECT_EQ(Reply(c), "ID=");
    Send(c, "\x1bPG1\r");
    EXPECT_EQ(Reply(c), "\r\x06\r");
    EXPECT_EQ(Reply(c), "\x1b[p\r");
    Send(c, "\0020170");
    Received b3 = station_->WaitFor(DISCONNECT_B3, IND).value_or(Received{});
    EXPECT_EQ(b3.Address(), c.ncci);
    EXPECT_EQ(b3.WordAfterAddress(), 0);
    station_->Put(DisconnectB3Resp(b3.Address(), b3.Number()));
    Received d = Expect(DISCONNECT, IND);
    EXPECT_EQ(d.Address(), c.plci);
    EXPECT_EQ(d.WordAfterAddress(), 0x3490);
    station_->Put(DisconnectResp(d.Address(), d.Number()));

    auto calls = WaitForCallLog(CallLog(), 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["cleared_by"], "called");
    EXPECT_EQ(calls[0]["reason"], "0x3490");
    EXPECT_TRUE(ReadCallLog(SmsLog()).empty());
}

}  // namespace
}  // namespace capitest
