#include "2_screen/terminal_budget.h"

#include <gtest/gtest.h>
#include <unistd.h>

// A frame's cost is its share of a second's budget; the pace follows a
// dearer frame at once and a cheaper one slowly, so a busy screen settles
// at the budget's rate instead of bursting.
TEST(TerminalBudget, FramesArePacedByWhatTheyCost) {
    EXPECT_EQ(frame_cost_ms(0), 0);
    EXPECT_EQ(frame_cost_ms(kTerminalBytesPerSecond), 1000);
    EXPECT_EQ(frame_cost_ms(kTerminalBytesPerSecond / 4), 250);
    EXPECT_EQ(paced_cost_ms(100, 300), 300);  // dearer: at once
    EXPECT_EQ(paced_cost_ms(300, 100), 250);  // cheaper: a quarter of the way
    EXPECT_EQ(paced_cost_ms(0, 0), 0);
    long long pace = 0;
    for (int frame = 0; frame < 50; ++frame) pace = paced_cost_ms(pace, frame % 10 == 0 ? 400 : 200);
    EXPECT_GE(pace, 200);
    EXPECT_LE(pace, 400);
    // A screen that quietens down comes back to full speed.
    for (int frame = 0; frame < 40; ++frame) pace = paced_cost_ms(pace, 10);
    EXPECT_EQ(pace, 10);
}

// What this thread writes is counted, wherever it goes.
TEST(TerminalBudget, CountsTheBytesThisThreadWrites) {
    const long long before = thread_bytes_written();
    if (before < 0) GTEST_SKIP() << "the system does not count a thread's writes";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "0123456789", 10), 10);
    EXPECT_EQ(thread_bytes_written() - before, 10);
    close(fds[0]);
    close(fds[1]);
}
