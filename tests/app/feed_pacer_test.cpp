#include "app/sound_output.h"

#include "app/settings.h"

#include <algorithm>
#include <gtest/gtest.h>

// The pacer against a simulated driver: a buffer of `capacity` fragments
// that plays one fragment every `fragment_ns`; a write that does not fit
// waits until it does, unless the driver is `dead` (its writes go nowhere
// and return at once) or never waits at all.
namespace {

constexpr long long kMs = 1'000'000;

struct SimulatedDriver {
    long long fragment_ns = 23'220'000;
    int capacity = 8;
    bool dead = false;
    bool never_waits = false;

    long long now = 0;
    double level_ns = 0;           // sound in the buffer
    long long longest_wait_ns = 0;
    long long underrun_ns = 0;     // time the buffer spent empty while fed
    double written_ns = 0;         // sound written in all
    int writes = 0;

    void pass(long long ns) {
        const double played = std::min<double>(level_ns, static_cast<double>(ns));
        if (played < static_cast<double>(ns) && writes > 0) underrun_ns += ns - static_cast<long long>(played);
        level_ns -= played;
        now += ns;
    }

    // One MikMod_Update: mixing takes a tenth of a millisecond. Returns
    // what the pacer made of it.
    bool write(FeedPacer &p) {
        const long long start = now;
        pass(kMs / 10);
        long long waited = 0;
        const double limit = static_cast<double>(capacity) * static_cast<double>(fragment_ns);
        if (!dead && !never_waits && level_ns + static_cast<double>(fragment_ns) > limit) {
            waited = static_cast<long long>(level_ns + static_cast<double>(fragment_ns) - limit) + 1;
            pass(waited);
        }
        if (!never_waits || level_ns + static_cast<double>(fragment_ns) <= limit) {
            if (!dead) level_ns += static_cast<double>(fragment_ns);
            written_ns += static_cast<double>(fragment_ns);
            ++writes;
        }
        longest_wait_ns = std::max(longest_wait_ns, waited);
        return record_write(p, start, now);
    }

    // One feed step, as feed_player makes it.
    void step(FeedPacer &p) {
        const int due = writes_due(p, now);
        for (int i = 0; i < due; ++i)
            if (write(p)) break;
    }

    // Steps every `every_ns` for `for_ns`.
    void run(FeedPacer &p, long long every_ns, long long for_ns) {
        const long long end = now + for_ns;
        while (now < end) {
            step(p);
            pass(every_ns);
        }
    }
};

struct PacingCase {
    const char *name;
    long long fragment_ns;
    int capacity;
    long long step_ns;
};

const PacingCase kPacingCases[] = {
    {"PulseAudio at 44.1 kHz, key wait", 23'220'000, 8, 40 * kMs},
    {"PulseAudio at 48 kHz, key wait", 42'670'000, 5, 40 * kMs},
    {"a burst of keys", 23'220'000, 8, kMs / 5},
    {"keys and timeouts mixed", 23'220'000, 8, 7 * kMs},
};

}  // namespace

// The buffer never runs dry, and no write waits longer than a small part of
// a fragment, however often the steps come; the period is learnt.
TEST(FeedPacer, KeepsTheBufferFullWithoutLongWaits) {
    for (const PacingCase &c : kPacingCases) {
        SCOPED_TRACE(c.name);
        SimulatedDriver driver;
        driver.fragment_ns = c.fragment_ns;
        driver.capacity = c.capacity;
        FeedPacer pacer;
        driver.run(pacer, 40 * kMs, 2000 * kMs);  // start-up: the first fill waits
        driver.longest_wait_ns = 0;
        driver.run(pacer, c.step_ns, 20'000 * kMs);
        EXPECT_EQ(driver.underrun_ns, 0);
        EXPECT_LT(driver.longest_wait_ns, 4 * kMs);
        EXPECT_NEAR(learnt_fragment_ns(pacer), static_cast<double>(c.fragment_ns), 0.05 * static_cast<double>(c.fragment_ns));
        EXPECT_FALSE(output_lost_by(pacer));
    }
}

// A pause in feeding (a slow load, the stop notice) lets the buffer run dry;
// the next step fills it again at once, and it is not taken for a lost
// output.
TEST(FeedPacer, RefillsAfterAPause) {
    SimulatedDriver driver;
    FeedPacer pacer;
    driver.run(pacer, 40 * kMs, 2000 * kMs);
    driver.pass(700 * kMs);
    driver.step(pacer);
    const long long dry = driver.underrun_ns;
    EXPECT_GT(driver.level_ns, 6.0 * static_cast<double>(driver.fragment_ns));
    driver.run(pacer, 40 * kMs, 3000 * kMs);
    EXPECT_EQ(driver.underrun_ns, dry);
    EXPECT_FALSE(output_lost_by(pacer));
}

// A driver that goes dead takes writes at once: that is noticed within a
// second and a half, before the song has run more than about a second
// ahead of real time.
TEST(FeedPacer, NoticesADriverThatStopsWaiting) {
    SimulatedDriver driver;
    FeedPacer pacer;
    driver.run(pacer, 40 * kMs, 3000 * kMs);
    driver.dead = true;
    const long long died = driver.now;
    const double written_before = driver.written_ns;
    while (!output_lost_by(pacer) && driver.now - died < 5000 * kMs) {
        driver.step(pacer);
        driver.pass(40 * kMs);
    }
    EXPECT_TRUE(output_lost_by(pacer));
    EXPECT_LT(driver.now - died, 1500 * kMs);
    EXPECT_LT(driver.written_ns - written_before - static_cast<double>(driver.now - died), 1200.0 * kMs);
}

// Drivers that never wait (they write only what fits) are fed every step
// and never taken for lost.
TEST(FeedPacer, ADriverThatNeverWaitsIsNotLost) {
    SimulatedDriver driver;
    driver.never_waits = true;
    FeedPacer pacer;
    driver.run(pacer, 40 * kMs, 10'000 * kMs);
    EXPECT_FALSE(output_lost_by(pacer));
    EXPECT_EQ(driver.underrun_ns, 0);
}

TEST(SongEnd, OnlyASongThatDoesNotWrapEnds) {
    MODULE m{};
    m.numpos = 3;
    const struct {
        int sngpos;
        bool wrap;
        bool ended;
    } cases[] = {{0, false, false}, {2, false, false}, {3, false, true}, {4, false, true}, {3, true, false}};
    for (const auto &c : cases) {
        m.sngpos = static_cast<SWORD>(c.sngpos);
        m.wrap = c.wrap;
        EXPECT_EQ(song_has_ended(m), c.ended) << c.sngpos << " " << c.wrap;
    }
}

TEST(KeyWait, StaysWithinTheDriversBufferWhateverTheDelay) {
    const int saved = refresh_delay;
    for (int delay : {0, 40, 500, kMaxRefreshDelay}) {
        refresh_delay = delay;
        EXPECT_GT(key_wait_ms(), 0) << delay;
        EXPECT_LE(key_wait_ms(), 50) << delay;
    }
    refresh_delay = saved;
}
