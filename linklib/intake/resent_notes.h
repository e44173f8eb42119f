// Notes that this station filed lately. A sender that lost the line before
// the answer came reports a failure and sends the same note again, although
// the first one was filed; the link's protocol has no way to tell a resend
// from a new note, so the same note again within a short time is taken for
// a resend and filed once.
#pragma once

#include <chrono>
#include <string>

class RecentNotes {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::minutes kWindow{10};

    // True when the same note was filed into that store within the window.
    bool FiledLately(const std::string& store, const std::string& note, Clock::time_point now);
    void Filed(const std::string& store, const std::string& note, Clock::time_point now);
};

// The process's one record, shared by every server object.
RecentNotes& TheRecentNotes();
