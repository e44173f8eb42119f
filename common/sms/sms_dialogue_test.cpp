// The two protocol classes against a centre scripted in this process, as
// the link library's carrier: what goes on the line, what each step
// returns, and what a user is told when the centre fails.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "sms_emi.h"
#include "sms_frames.h"
#include "sms_tap.h"

namespace {

// The far end of the call: answers each block the caller sends with the
// blocks its script returns.
struct ScriptedCentre {
    std::vector<std::string> sent;
    std::deque<std::string> toDeliver;
    std::function<std::vector<std::string>(const std::string&)> answer;
    WORD refuseWith = 0;  // a connect is refused with this reason
    bool hangUpOnNextSend = false;
    int connects = 0;
    std::vector<DWORD> disconnects;
};
ScriptedCentre* centre = nullptr;

BOOL CentreConnect(const char*, const char*, DWORD) {
    ++centre->connects;
    if (centre->refuseWith) return RCODisconnectInd(centre->refuseWith);
    return RCOConnectInd("");
}
BOOL CentreDisconnect(DWORD steps) {
    centre->disconnects.push_back(steps);
    return RCODisconnectInd(0);
}
BOOL CentreStartServer(const char*) {
    return FALSE;
}
BOOL CentreGetData(BYTE* buffer, DWORD* length) {
    *length = 0;
    if (centre->toDeliver.empty()) return TRUE;
    std::string block = centre->toDeliver.front();
    centre->toDeliver.pop_front();
    std::memcpy(buffer, block.data(), block.size());
    *length = static_cast<DWORD>(block.size());
    return TRUE;
}
BOOL CentreSendData(const BYTE* data, DWORD length) {
    std::string block(reinterpret_cast<const char*>(data), length);
    centre->sent.push_back(block);
    if (centre->hangUpOnNextSend) {
        RCODisconnectInd(0x3490);
        return TRUE;
    }
    if (centre->answer) {
        for (std::string& reply : centre->answer(block)) centre->toDeliver.push_back(reply);
    }
    return TRUE;
}

const std::string kCr = "\r";
const std::string kAck = "\r\x06\r";
const std::string kGoAhead = "\x1b[p\r";
const std::string kLogoutConfirmed = "\x1b\x04\r";

// A TAP centre that does what it should, unless told otherwise.
struct TapBehaviour {
    bool prompt = true;
    bool logonAnswered = true;
    std::string blockReply = "211 Message accepted" + kAck;
};
std::vector<std::string> TapAnswer(const TapBehaviour& b, const std::string& sent) {
    if (sent == kCr) return b.prompt ? std::vector<std::string>{"ID="} : std::vector<std::string>{};
    if (sent == "\x1bPG1\r") {
        if (!b.logonAnswered) return {};
        return {kAck, kGoAhead};
    }
    if (sent == "\x04\r") return {kLogoutConfirmed};
    if (!sent.empty() && sent[0] == '\x02') return {b.blockReply};
    return {};
}

template <typename Call>
class CentreCallTest : public testing::Test {
protected:
    void Dial(Call& call) {
        centre = &centre_;
        CROCallBacks callBacks{&CentreConnect, &CentreDisconnect, &CentreStartServer,
                               &CentreGetData, &CentreSendData};
        ASSERT_TRUE(CROSetCallBackFn(&callBacks));
        // Scripted replies are there at once: no wait is needed at all.
        call.LimitReplyWaits(0);
        char number[] = "0193";
        char msn[] = "";
        ASSERT_EQ(call.Connect(number, msn, 200), 0);
    }
    ScriptedCentre centre_;
};

using TapCall = CentreCallTest<CSMSTap>;
using EmiCall = CentreCallTest<CSMSEmi>;

TEST_F(TapCall, LogonMessageAndLogoutPutTheProtocolsBytesOnTheLine) {
    CSMSTap call;
    TapBehaviour b;
    centre_.answer = [&](const std::string& s) { return TapAnswer(b, s); };
    Dial(call);
    EXPECT_EQ(call.Logon(), 1);
    EXPECT_EQ(call.SendSMSMessage("0170000000", "Grüße\r\nabc", ""), 1);
    EXPECT_EQ(call.ReplyText(), "211 Message accepted");
    EXPECT_EQ(call.Logout(), 1);
    std::string block = std::string("\x02") + "0170000000\rGr\x7E\x1E" "e\nabc\r\x03";
    block += tap::Checksum(block) + "\r";
    EXPECT_EQ(centre_.sent, (std::vector<std::string>{kCr, "\x1bPG1\r", block, "\x04\r"}));
}

TEST_F(TapCall, NakAndRsAreRefusalsWithTheCentresWords) {
    CSMSTap call;
    TapBehaviour b;
    centre_.answer = [&](const std::string& s) { return TapAnswer(b, s); };
    Dial(call);
    ASSERT_EQ(call.Logon(), 1);
    b.blockReply = "510 Message rejected\r\x15\r";
    EXPECT_EQ(call.SendSMSMessage("0170000000", "a", ""), 0);
    EXPECT_EQ(call.ReplyText(), "510 Message rejected");
    b.blockReply = "513 Transaction abandoned\r\x1e\r";
    EXPECT_EQ(call.SendSMSMessage("0170000000", "b", ""), 0);
    EXPECT_EQ(call.ReplyText(), "513 Transaction abandoned");
    // The block is sent once each: no retransmission here.
    EXPECT_EQ(centre_.sent.size(), 4u);
}

TEST_F(TapCall, WithoutAPromptFourCarriageReturnsAreSentAndLogonFails) {
    CSMSTap call;
    TapBehaviour b;
    b.prompt = false;
    centre_.answer = [&](const std::string& s) { return TapAnswer(b, s); };
    Dial(call);
    EXPECT_EQ(call.Logon(), 0);
    EXPECT_EQ(centre_.sent, std::vector<std::string>(4, kCr));
}

TEST_F(TapCall, APromptThenSilenceStillCountsAsLoggedOnAndTheMessageGoesOut) {
    CSMSTap call;
    TapBehaviour b;
    b.logonAnswered = false;
    centre_.answer = [&](const std::string& s) { return TapAnswer(b, s); };
    Dial(call);
    EXPECT_EQ(call.Logon(), CSMSTap::kNotConfirmed);
    EXPECT_EQ(call.SendSMSMessage("0170000000", "abc", ""), 1);
}

TEST_F(TapCall, AReplyThatKeepsComingIsCutAtTheBufferAndTheReadsEnd) {
    CSMSTap call;
    centre_.answer = [](const std::string& s) {
        // 40 blocks of 100 bytes, none of them the end of a reply.
        if (s[0] == '\x02') return std::vector<std::string>(40, std::string(100, 'x'));
        return std::vector<std::string>{};
    };
    Dial(call);
    EXPECT_EQ(call.SendSMSMessage("0170000000", "abc", ""), 0);
    EXPECT_EQ(call.ReceivedLength(), CSMSCentreCall::kReceiveSize);
    EXPECT_EQ(call.ReplyText().size(), CSMSCentreCall::kReplyTextSize - 1);
    // 26 reads: the first and 25 more.
    EXPECT_EQ(centre_.toDeliver.size(), 40u - 26u);
}

TEST_F(TapCall, ALineCutBeforeTheAnswerIsNamedAsTheReason) {
    CSMSTap call;
    TapBehaviour b;
    centre_.answer = [&](const std::string& s) { return TapAnswer(b, s); };
    Dial(call);
    ASSERT_EQ(call.Logon(), 1);
    centre_.hangUpOnNextSend = true;
    EXPECT_EQ(call.SendSMSMessage("0170000000", "abc", ""), 0);
    EXPECT_NE(call.ReplyText().find("Verbindung zum SMS-Center ist unterbrochen"),
              std::string::npos)
        << call.ReplyText();
}

std::string EmiReply(const std::string& body) {
    return "\x02" + body + emi::Checksum(body) + "\x03";
}

TEST_F(EmiCall, AcceptedAndRefusedMessagesEachShowTheirOwnReply) {
    CSMSEmi call;
    std::deque<std::string> replies = {EmiReply("01/00045/R/51/A//0170000000:071226120000/"),
                                       EmiReply("01/00022/R/51/N/02/ERR/")};
    centre_.answer = [&](const std::string&) {
        std::vector<std::string> r;
        if (!replies.empty()) r.push_back(replies.front()), replies.pop_front();
        return r;
    };
    Dial(call);
    EXPECT_EQ(call.Logon(), 1);
    EXPECT_EQ(call.SendSMSMessage("0", "0170000000", "abc", ""), 1);
    EXPECT_EQ(call.ReplyText(), "/0170000000:071226120000/");
    EXPECT_EQ(call.SendSMSMessage("0", "0170000000", "abc", ""), 0);
    EXPECT_EQ(call.ReplyText(), "02/ERR/");
    // No answer at all: the reason is this message's, not the one before.
    EXPECT_EQ(call.SendSMSMessage("0", "0170000000", "abc", ""), 0);
    EXPECT_EQ(call.ReplyText(), "Das SMS-Center hat nicht geantwortet");
    EXPECT_EQ(call.Logout(), 1);
    ASSERT_EQ(centre_.sent.size(), 3u);  // logon and logout send nothing
    EXPECT_EQ(centre_.sent[0], emi::SubmitFrame("0", "0170000000", "abc"));
}

TEST_F(EmiCall, AShortOrForeignReplyIsNotAcceptedAndLeavesTheReplyTextAsItWas) {
    CSMSEmi call;
    centre_.answer = [](const std::string&) {
        return std::vector<std::string>{EmiReply("01/00022/R/51/N/02/ERR/")};
    };
    Dial(call);
    ASSERT_EQ(call.SendSMSMessage("0", "0170000000", "abc", ""), 0);
    centre_.toDeliver.push_back("\x02" "01/00022");  // 9 bytes
    EXPECT_EQ(call.GetAndAnalyzeMessage(), 0);
    EXPECT_EQ(call.ReplyText(), "02/ERR/");
    // A full block of something else: nothing is read past it.
    centre_.answer = [](const std::string&) {
        return std::vector<std::string>{std::string(128, '/')};
    };
    EXPECT_EQ(call.SendSMSMessage("0", "0170000000", "abc", ""), 0);
    EXPECT_EQ(call.ReplyText(), "Die Antwort des SMS-Centers ist unverständlich");
}

TEST_F(EmiCall, ATextTooLongForAFrameIsRefusedBeforeAnythingIsSent) {
    CSMSEmi call;
    Dial(call);
    EXPECT_EQ(call.SendSMSMessage("0", "0170000000", std::string(600, 'x').c_str(), ""), 0);
    EXPECT_TRUE(centre_.sent.empty());
    EXPECT_FALSE(call.ReplyText().empty());
}

}  // namespace
