#include "2_screen/terminal_budget.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

long long thread_bytes_written() {
    const int fd = open("/proc/thread-self/io", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    char text[512];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return -1;
    text[n] = '\0';
    const char *line = std::strstr(text, "wchar:");
    long long bytes = -1;
    if (!line || std::sscanf(line, "wchar: %lld", &bytes) != 1) return -1;
    return bytes;
}

long long frame_cost_ms(long long bytes) { return bytes <= 0 ? 0 : bytes * 1000 / kTerminalBytesPerSecond; }

long long paced_cost_ms(long long running_ms, long long cost_ms) {
    if (cost_ms >= running_ms) return cost_ms;
    return running_ms - (running_ms - cost_ms + 3) / 4;
}
