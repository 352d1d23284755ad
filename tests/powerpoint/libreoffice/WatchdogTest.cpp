// The watchdog without an office: progress moves its deadline on, a stall or a cancel stops the
// work.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "powerpoint/libreoffice/OfficeProcess.h"

namespace powerpoint {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool WaitForVerdict(const Watchdog& watchdog) {
    for (const auto until = Clock::now() + std::chrono::seconds(60); Clock::now() < until;
         std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        if (watchdog.Fired() != Watchdog::Verdict::None) {
            return true;
        }
    }
    return false;
}

// The probe changes at every poll for a while: the watchdog never fires while it does, however long
// past the first deadline, and fires once it stops changing.
TEST(Watchdog, ProgressKeepsTheWorkAliveAndAStallStopsIt) {
    constexpr int kProgressingPolls = 40;  // 2 s of polls, ten times the deadline
    std::atomic<int> polls{0};
    std::atomic<int> pollsAtKill{-1};
    Watchdog watchdog(
        Clock::now() + 200ms, nullptr, [&] { pollsAtKill = polls.load(); },
        [&] { return static_cast<uint64_t>(std::min(++polls, kProgressingPolls)); }, 200ms);
    ASSERT_TRUE(WaitForVerdict(watchdog));
    EXPECT_EQ(watchdog.Fired(), Watchdog::Verdict::TimedOut);
    EXPECT_GE(pollsAtKill.load(), kProgressingPolls) << "stopped while progress was made";
}

TEST(Watchdog, WithoutProgressTheDeadlineHoldsAndACancelStopsAtOnce) {
    std::atomic<int> kills{0};
    Watchdog stalled(
        Clock::now() + 100ms, nullptr, [&] { ++kills; }, [] { return uint64_t{7}; }, 10min);
    ASSERT_TRUE(WaitForVerdict(stalled));
    EXPECT_EQ(stalled.Fired(), Watchdog::Verdict::TimedOut);

    std::atomic<bool> cancelled{false};
    Watchdog cancelling(
        Clock::now() + 10min, [&] { return cancelled.load(); }, [&] { ++kills; });
    cancelled = true;
    ASSERT_TRUE(WaitForVerdict(cancelling));
    EXPECT_EQ(cancelling.Fired(), Watchdog::Verdict::Cancelled);
    EXPECT_EQ(kills.load(), 2);
}

}  // namespace
}  // namespace powerpoint
