#include "resent_notes.h"

#include <deque>
#include <mutex>

namespace {

// Enough for every note a line can carry within the window.
constexpr std::size_t kMaxKept = 500;

struct Filing {
    std::string key;
    RecentNotes::Clock::time_point at;
};

std::mutex g_mutex;
std::deque<Filing> g_filed;

std::string Key(const std::string& store, const std::string& note) {
    return store + '\n' + note;
}

void Forget(RecentNotes::Clock::time_point now) {
    while (!g_filed.empty() &&
           (now - g_filed.front().at > RecentNotes::kWindow || g_filed.size() > kMaxKept)) {
        g_filed.pop_front();
    }
}

}  // namespace

bool RecentNotes::FiledLately(const std::string& store, const std::string& note,
                              Clock::time_point now) {
    std::lock_guard lock(g_mutex);
    Forget(now);
    std::string key = Key(store, note);
    for (const Filing& f : g_filed) {
        if (f.key == key) return true;
    }
    return false;
}

void RecentNotes::Filed(const std::string& store, const std::string& note, Clock::time_point now) {
    std::lock_guard lock(g_mutex);
    g_filed.push_back({Key(store, note), now});
    Forget(now);
}

RecentNotes& TheRecentNotes() {
    static RecentNotes notes;
    return notes;
}
