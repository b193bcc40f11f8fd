// Keys as data: a table binds keys to handlers, and a chain of tables is
// tried in a fixed order, the first binding of a key wins. A panel's own
// keys come first, then the keys every panel passes on (the command keys),
// then, on the main screen, the main screen's own keys.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>

// What a handler did with a key.
enum class KeyResult {
    handled,  // the key did its work; the panel stays open
    closed,   // the key closes the panel (or ends the main loop)
    passed,   // the key is not this table's: try the next table of the chain
};

// Runs the work of one key; `key` is the key read, for handlers that serve
// several keys (the arrows, both cases of a letter).
using KeyHandler = KeyResult (*)(int key);

// The handler of a key whose work needs nothing of the key: it runs `Step`
// and handles the key.
template <void (*Step)()>
KeyResult run_step(int) {
    Step();
    return KeyResult::handled;
}

struct KeyBinding {
    int key;
    KeyHandler handler;
};

using KeyTable = std::span<const KeyBinding>;

// The keys a panel reads itself before it passes the others on, as a plain
// list.
using KeyList = std::span<const int>;

// Keys bound to handlers that work on a panel's own state (the panel's
// object, alive while it is open).
template <class State>
struct StateKeyBinding {
    int key;
    KeyResult (*handler)(State &state, int key);
};

// The handler's result for the first binding of `key` in `table`, on
// `state`; passed when the table does not bind it.
template <class State, std::size_t N>
KeyResult dispatch_key(const StateKeyBinding<State> (&table)[N], State &state, int key) {
    for (const StateKeyBinding<State> &b : table)
        if (b.key == key) return b.handler(state, key);
    return KeyResult::passed;
}

// The keys `table` binds, in its order: the panel's key list.
template <class State, std::size_t N>
constexpr std::array<int, N> keys_of(const StateKeyBinding<State> (&table)[N]) {
    std::array<int, N> keys{};
    for (std::size_t i = 0; i < N; ++i) keys[i] = table[i].key;
    return keys;
}

// True when `table` binds `key`.
inline bool binds_key(KeyTable table, int key) {
    for (const KeyBinding &b : table)
        if (b.key == key) return true;
    return false;
}

// The handler's result for the first binding of `key` in `table`; passed
// when the table does not bind it.
inline KeyResult dispatch_key(KeyTable table, int key) {
    for (const KeyBinding &b : table)
        if (b.key == key) return b.handler(key);
    return KeyResult::passed;
}

// Tries each table of `chain` in order until one does not pass the key on.
inline KeyResult dispatch_key(std::initializer_list<KeyTable> chain, int key) {
    for (KeyTable table : chain) {
        const KeyResult r = dispatch_key(table, key);
        if (r != KeyResult::passed) return r;
    }
    return KeyResult::passed;
}

// The first key bound twice within one chain (in one table or in two), if
// any: a key bound twice would silently lose its second meaning.
inline std::optional<int> first_key_bound_twice(std::initializer_list<KeyTable> chain) {
    std::span<const KeyTable> tables(chain.begin(), chain.size());
    for (std::size_t t = 0; t < tables.size(); ++t)
        for (std::size_t i = 0; i < tables[t].size(); ++i) {
            const int key = tables[t][i].key;
            for (std::size_t u = t; u < tables.size(); ++u)
                for (std::size_t j = (u == t ? i + 1 : 0); j < tables[u].size(); ++j)
                    if (tables[u][j].key == key) return key;
        }
    return std::nullopt;
}

// The same for a panel that reads the keys of `own` itself and passes the
// others along `chain`: the first key listed twice in `own`, bound by a
// table of `chain` too, or bound twice within `chain`.
inline std::optional<int> first_key_bound_twice(KeyList own, std::initializer_list<KeyTable> chain) {
    for (std::size_t i = 0; i < own.size(); ++i) {
        for (std::size_t j = i + 1; j < own.size(); ++j)
            if (own[j] == own[i]) return own[i];
        for (KeyTable table : chain)
            if (binds_key(table, own[i])) return own[i];
    }
    return first_key_bound_twice(chain);
}
