// How long the link waits: a wait of n steps lasts n x 100 ms when nothing
// comes, and ends as soon as a block arrives.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "link_test_support.h"
#include "two_stations.h"

namespace {

class LinkWait : public TwoStations {
protected:
    LinkWait() : TwoStations(FastLine()) {}
};

TEST_F(LinkWait, AHundredStepsAreTenSecondsAndABlockEndsTheWaitAtOnce) {
    Call();
    std::string idle = b->Run("stamp-get 100", 20s);
    EXPECT_EQ(Field(idle, 1), "0") << idle;
    EXPECT_EQ(Field(idle, 2), "-") << "nothing came";
    long took = std::stol(Field(idle, 3));
    EXPECT_GE(took, 9990);
    EXPECT_LT(took, 10600);

    // The block leaves a at the given moment and needs a few ms to reach b;
    // b's wait must end within 50 ms of that.
    std::vector<long> late;
    for (int i = 0; i < 5; ++i) {
        b->Post("stamp-get 100");
        // The block is to come in the middle of the wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + 40 * i));
        std::string sent = a->Run("stamp-send 0102");
        std::string got = b->Answer(15s);
        ASSERT_EQ(Field(got, 2), "0102") << got;
        late.push_back((std::stol(Field(got, 4)) - std::stol(Field(sent, 2))) / 1000);
    }
    std::sort(late.begin(), late.end());
    EXPECT_LT(late[2], 50) << "median of five, in ms from the send";
}

}  // namespace
