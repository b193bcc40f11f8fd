#include "1_player/order_list.h"

#include <cstring>

namespace {

unsigned read_u16(const char *at) {
    return static_cast<unsigned char>(at[0]) | static_cast<unsigned>(static_cast<unsigned char>(at[1])) << 8;
}

}  // namespace

bool find_order_list(const char *bytes, std::size_t size, FileOrderList &out) {
    std::size_t offset = 0;
    if (size >= 0x60 && std::memcmp(bytes + 0x2C, "SCRM", 4) == 0)
        offset = 0x60;
    else if (size >= 0xC0 && std::memcmp(bytes, "IMPM", 4) == 0)
        offset = 0xC0;
    else
        return false;
    const unsigned count = read_u16(bytes + 0x20);
    if (offset + count > size) return false;
    out = {offset, static_cast<int>(count)};
    return true;
}

std::vector<int> tune_starts(const char *bytes, std::size_t size) {
    std::vector<int> starts;
    FileOrderList list;
    if (!find_order_list(bytes, size, list)) return starts;
    const auto *orders = reinterpret_cast<const unsigned char *>(bytes + list.offset);
    bool tune_ahead = true;
    for (int i = 0; i < list.count; ++i) {
        if (orders[i] == kOrderEnd) {
            tune_ahead = true;
        } else if (orders[i] != kOrderSkip && tune_ahead) {
            starts.push_back(i);
            tune_ahead = false;
        }
    }
    if (starts.size() < 2) starts.clear();
    return starts;
}

std::vector<char> tune_bytes(const char *bytes, std::size_t size, int start) {
    FileOrderList list;
    if (!find_order_list(bytes, size, list) || start < 0 || start >= list.count) return {};
    std::vector<char> copy(bytes, bytes + size);
    auto *orders = reinterpret_cast<unsigned char *>(copy.data() + list.offset);
    std::memset(orders, kOrderSkip, static_cast<std::size_t>(start));
    int end = start;
    while (end < list.count && orders[end] != kOrderEnd) ++end;
    std::memset(orders + end, kOrderEnd, static_cast<std::size_t>(list.count - end));
    return copy;
}
