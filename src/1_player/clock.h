// The monotonic clock the pacing of the sound and of the screen reads.
#pragma once

#include <ctime>

inline long long monotonic_ns() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1'000'000'000LL + t.tv_nsec;
}

inline long long monotonic_ms() { return monotonic_ns() / 1'000'000; }
