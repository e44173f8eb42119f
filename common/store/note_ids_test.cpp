#include "note_ids.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(NoteIds, AFreeIdIsTheFirstUnusedSecondFromTheGivenOne) {
    constexpr long kLargest = std::numeric_limits<long>::max();
    struct Case {
        std::unordered_set<long> used;
        long from;
        long free;
    } cases[] = {
        {{}, 100, 100},
        {{100, 101, 103}, 100, 102},
        // A record of another program with the largest id there is, and an
        // item handed over with the same id: the search does not run past it.
        {{kLargest}, kLargest, 1},
        {{kLargest, 1, 2}, kLargest, 3},
        {{kLargest - 1, kLargest}, kLargest - 1, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(FreeNoteId(c.used, c.from), c.free) << c.from;
}

}  // namespace
