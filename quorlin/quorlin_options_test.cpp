#include "quorlin_options.h"

#include <gtest/gtest.h>

namespace {

TEST(QuorlinOptions, KnownOptionsAreTakenAndOthersNamed) {
    struct Case {
        std::vector<std::string> args;
        bool help, noMonitor;
        std::string error;
    } cases[] = {
        {{}, false, false, ""},
        {{"--help"}, true, false, ""},
        {{"-h"}, true, false, ""},
        {{"--no-monitor"}, false, true, ""},
        {{"--no-monitor", "-x"},
         false,
         true,
         "Unbekannte Option \"-x\" (quorlin --help zeigt die Optionen)."},
        {{"-n"}, false, false, "Unbekannte Option \"-n\" (quorlin --help zeigt die Optionen)."},
    };
    for (const Case& c : cases) {
        std::string error = "stale";
        QuorlinOptions o = ParseOptions(c.args, error);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(o.help, c.help);
        EXPECT_EQ(o.noMonitor, c.noMonitor);
    }
}

}  // namespace
