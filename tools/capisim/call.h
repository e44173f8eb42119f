// What the exchange knows about one call: its two ends (the caller and the
// called line, or a simulated telephone), the applications that hold each
// end's PLCI, the B3 connection and the two directions of the B channel.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "bchannel.h"
#include "call_log.h"
#include "numbering.h"
#include "sms_centre.h"

namespace capisim {

using AppId = uint32_t;

// How an application relates to one end of a call.
enum class AppRole {
    kOffered,  // got CONNECT_IND, has not answered
    kOwner,    // placed or accepted the call
    kCleared,  // got DISCONNECT_IND, owes DISCONNECT_RESP
};

enum class B3State { kNone, kOutgoing, kIncoming, kActive, kCleared };

struct CallEnd {
    bool onLine = false;  // false: a simulated telephone or a number the exchange answers
    size_t line = 0;
    uint8_t plci = 0;
    std::string number;
    std::map<AppId, AppRole> apps;
    AppId owner = 0;

    B3State b3 = B3State::kNone;
    uint8_t ncci = 0;
    // Receiving side of flow control.
    size_t maxBlocks = 1;
    std::set<uint16_t> unanswered;
    uint16_t nextHandle = 1;

    uint32_t Plci() const { return 1u | uint32_t(plci) << 8; }
    uint32_t Ncci() const { return Plci() | uint32_t(ncci) << 16; }
    bool HoldsPlci() const { return onLine && !apps.empty(); }
};

// A normal clearing of the B3 connection waits until the data that was
// already confirmed to the clearing side has reached the other side.
struct B3Clearing {
    int towards = 0;  // the end that still has to be told
    bool thenDisconnect = false;
    TimePoint deadline{};
};

// The side of a call that an SMS centre answered.
struct CentreEnd {
    const SpecialNumber* number = nullptr;
    uint64_t call = 0;  // which call to this centre it is, from 1
    // A new one for every B3 connection: a data link starts afresh.
    std::unique_ptr<SmsCentreSession> session;
    std::optional<TimePoint> idleDeadline;  // cleared when nothing more comes
    std::optional<TimePoint> clearAt;       // the centre clears the call
};

struct Call {
    enum class Phase { kRinging, kConnected, kEnded };

    uint64_t id = 0;
    std::array<CallEnd, 2> end;  // 0: caller, 1: called
    Phase phase = Phase::kRinging;
    std::optional<TimePoint> ringDeadline;
    std::optional<TimePoint> withdrawAt;
    std::array<std::unique_ptr<BChannelPipe>, 2> pipe;  // pipe[i] carries end i to end 1-i
    std::optional<B3Clearing> b3Clearing;
    std::optional<uint16_t> rejectReason;
    std::optional<TimePoint> answered;
    std::array<uint64_t, 2> bytes{};    // delivered to end 1-i by pipe i, earlier B3 connections
    std::unique_ptr<CentreEnd> centre;  // end 1 is an SMS centre
    CallRecord record;

    bool Finished() const {
        return phase == Phase::kEnded && end[0].apps.empty() && end[1].apps.empty();
    }
};

}  // namespace capisim
