// Drives a centre's protocol machine for a test: input in pieces of a given
// size, everything the machine hands back gathered in order.
#pragma once

#include <gtest/gtest.h>

#include "sms_centre.h"

namespace capisim {

struct CentreRun {
    std::vector<std::string> replies;
    std::vector<SmsMessage> accepted;
    bool hangUp = false;
};

inline SmsCentreConfig CentreConfig(const std::string& value) {
    std::string error;
    auto config = ParseSmsCentre(value, error);
    EXPECT_EQ(error, "") << value;
    return config.value_or(SmsCentreConfig{});
}

inline CentreRun Feed(SmsCentreSession& session, const std::string& input,
                      std::chrono::system_clock::time_point now, size_t chunk = SIZE_MAX) {
    CentreRun run;
    for (size_t at = 0; at < input.size(); at += chunk) {
        std::string piece = input.substr(at, chunk);
        SmsCentreOutput out;
        session.Receive(Bytes(piece.begin(), piece.end()), now, out);
        for (const Bytes& r : out.replies) run.replies.emplace_back(r.begin(), r.end());
        run.accepted.insert(run.accepted.end(), out.accepted.begin(), out.accepted.end());
        run.hangUp = run.hangUp || out.hangUp;
    }
    return run;
}

}  // namespace capisim
