#include "1_player/song_walk.h"

#include <algorithm>
#include <utility>

#include "1_player/library_tick.h"
#include "1_player/loaded_module.h"
#include "1_player/order_list.h"
#include "1_player/sound_output.h"

namespace {

// The most rows a pattern of the library's may hold.
constexpr int kMostRows = 65536;

bool at_end_marker(const MODULE &m) {
    return m.sngpos >= m.numpos || (m.sngpos >= 0 && is_end_order(m.positions[m.sngpos]));
}

int rows_at(const MODULE &m, int position) {
    const int pattern = m.positions[position];
    return pattern < m.numpat ? std::max<int>(m.pattrows[pattern], 1) : 1;
}

// Marks row `row` of position `position` played; returns true when it had
// played already.
bool mark_played(std::vector<std::vector<char>> &played, const MODULE &m, int position, int row) {
    std::vector<char> &rows = played[position];
    if (rows.empty()) rows.resize(rows_at(m, position));
    if (row >= static_cast<int>(rows.size())) rows.resize(std::min(row + 1, kMostRows));
    if (row >= static_cast<int>(rows.size())) return false;
    const bool before = rows[row] != 0;
    rows[row] = 1;
    return before;
}

}  // namespace

void restart_song_at(MODULE &m, int start) {
    m.sngpos = static_cast<SWORD>(start);
    m.patpos = 0;
    m.patbrk = 0;
    m.posjmp = 2;
    m.pat_repcrazy = 0;
    m.patdly = 0;
    m.patdly2 = 0;
    m.sngspd = m.initspeed != 0 ? (m.initspeed < 32 ? m.initspeed : 32) : 6;
    m.vbtick = m.sngspd;
    m.bpm = m.inittempo < 32 ? 32 : m.inittempo;
    m.volume = m.initvolume > 128 ? 128 : m.initvolume;
}

SongEndKey end_key_of(const MODULE &m) {
    return {m.sngpos, m.patpos, m.posjmp, m.patbrk, m.patdly, m.patdly2, m.pat_repcrazy};
}

RowStart next_row_start(const MODULE &m) {
    RowStart next;
    if (m.vbtick + 1 < m.sngspd) return next;
    next.starts = true;
    int patpos = m.pat_repcrazy ? m.patpos : m.patpos + 1;
    int delay = m.patdly ? m.patdly : m.patdly2;
    if (delay && --delay && patpos) --patpos;
    next.delay_repeat = delay != 0;
    int posjmp = m.posjmp;
    if (m.numrow > 0 && patpos >= m.numrow && !posjmp) posjmp = 3;
    int sngpos = m.sngpos;
    if (posjmp) {
        patpos = m.numrow ? m.patbrk % m.numrow : 0;
        sngpos += posjmp - 2;
        if (sngpos < 0) sngpos = m.numpos - 1;
        next.jump = true;
    }
    next.sngpos = sngpos;
    next.patpos = patpos;
    return next;
}

SongWalk walk_song(MODULE &m, int start, std::vector<char> &reached) {
    SongWalk walk;
    walk.start_position = start;
    if (start < 0 || start >= m.numpos) return walk;
    // Jumps are taken as written; the end of the order list ends the song.
    m.loop = 1;
    m.wrap = 0;
    m.fadeout = 0;
    restart_song_at(m, start);
    m.sngtime = 0;
    m.sngremainder = 0;
    const MikMod_player_t tick = library_player_tick();
    std::vector<std::vector<char>> played(m.numpos);
    std::vector<SongEndKey> pre_states;  // of each row in walk.rows
    long long now = 0;
    for (;;) {
        if (now >= kLongestWalkNs) {
            walk.length_known = false;
            break;
        }
        const RowStart next = next_row_start(m);
        const bool new_row = next.starts && !next.delay_repeat && next.sngpos >= 0 && next.sngpos < m.numpos &&
                             !is_end_order(m.positions[next.sngpos]);
        // A row reached by a jump or from the end of a pattern ends the song
        // when it played already; a pattern loop plays its rows again.
        if (new_row && mark_played(played, m, next.sngpos, next.patpos) && next.jump) {
            walk.ends_at_repeat = true;
            walk.end_key = end_key_of(m);
            for (const SongRow &r : walk.rows)
                if (r.sngpos == next.sngpos && r.patpos == next.patpos) {
                    walk.repeat_ns = r.time_ns;
                    break;
                }
            break;
        }
        SongRow row{now, m.sngtime, m.sngremainder, next.sngpos, next.patpos, m.sngspd, m.bpm, m.volume, next.jump};
        pre_states.push_back(row_starts_next_tick(m) ? end_key_of(m) : SongEndKey{-1});
        tick();
        if (at_end_marker(m)) break;
        if (new_row) {
            reached[next.sngpos] = 1;
            walk.rows.push_back(row);
        } else {
            pre_states.pop_back();
        }
        now += tick_ns(mixer_bpm(m));
    }
    walk.length_ns = now;
    if (walk.ends_at_repeat) {
        for (std::size_t r = 0; r < walk.rows.size(); ++r) walk.rows[r].at_end_key = pre_states[r] == walk.end_key;
        walk.end_key_count = end_keys_before(walk, walk.length_ns) + 1;
    }
    return walk;
}

int end_keys_before(const SongWalk &walk, long long time_ns) {
    int count = 0;
    for (const SongRow &r : walk.rows) {
        if (r.time_ns >= time_ns) break;
        count += r.at_end_key ? 1 : 0;
    }
    return count;
}

SongWalks walk_songs(MODULE &m) {
    SongWalks songs;
    std::vector<char> reached(m.numpos, 0);
    // An end marker or a pattern the module lacks starts no song.
    std::vector<char> no_start(m.numpos, 0);
    for (int p = 0; p < m.numpos; ++p) no_start[p] = is_end_order(m.positions[p]) || m.positions[p] >= m.numpat;
    for (int start = 0; start < m.numpos && static_cast<int>(songs.size()) < kMostSongs; ++start) {
        if (start > 0 && (reached[start] || no_start[start])) continue;
        songs.push_back(walk_song(m, start, reached));
    }
    return songs;
}

namespace {

SongWalks walk_copy(const char *bytes, std::size_t size) {
    MODULE *copy = Player_LoadMem(bytes, static_cast<int>(size), UF_MAXCHAN, 0);
    if (!copy) return {};
    Player_Start(copy);
    SongWalks songs = walk_songs(*copy);
    Player_Stop();
    Player_Free(copy);
    return songs;
}

}  // namespace

SongWalks walk_module_bytes(const char *bytes, std::size_t size) {
    const std::vector<int> starts = tune_starts(bytes, size);
    if (starts.empty()) return walk_copy(bytes, size);
    SongWalks songs;
    for (int start : starts) {
        const std::vector<char> tune = tune_bytes(bytes, size, start);
        for (SongWalk &walk : walk_copy(tune.data(), tune.size())) {
            if (static_cast<int>(songs.size()) >= kMostSongs) return songs;
            walk.tune_start = start;
            songs.push_back(std::move(walk));
        }
    }
    return songs;
}

int row_at_time(const SongWalk &walk, long long time_ns) {
    if (walk.rows.empty()) return -1;
    const auto later = std::upper_bound(walk.rows.begin(), walk.rows.end(), time_ns,
                                        [](long long t, const SongRow &row) { return t < row.time_ns; });
    return later == walk.rows.begin() ? 0 : static_cast<int>(later - walk.rows.begin()) - 1;
}

SongEnding ending_of(const SongWalk &walk, int loops, bool fade) {
    SongEnding ending;
    ending.start_position = walk.start_position;
    ending.ends_at_repeat = walk.ends_at_repeat;
    ending.end_key = walk.end_key;
    ending.end_key_count = walk.end_key_count;
    ending.end_keys_at_repeat = end_keys_before(walk, walk.repeat_ns + 1);  // the one that led there too
    ending.loops = std::max(loops, 1);
    ending.fade = fade;
    ending.first_pass_ns = walk.length_ns;
    ending.later_pass_ns = walk.ends_at_repeat ? walk.length_ns - walk.repeat_ns : walk.length_ns;
    return ending;
}

namespace {

// Counts a pass done; true when another follows (the last one fading out
// as asked).
bool another_pass(MODULE &m, SongEnding &ending) {
    ++ending.passes_done;
    ending.pass_ns = 0;
    ending.fade_from = -1;
    if (ending.passes_done >= ending.loops) return false;
    m.fadeout = ending.fade && ending.passes_done == ending.loops - 1 ? 1 : 0;
    return true;
}

// The last pass of a song that ends at a repeat fades out over its last
// kFadeTicks ticks, its volume falling in step with the time left (the
// library's own fade-out only acts on the last order position, where such
// a song need not end).
void fade_last_pass(MODULE &m, SongEnding &ending) {
    m.fadeout = 0;
    if (!ending.fade || ending.passes_done != ending.loops - 1) return;
    const long long pass = ending.passes_done == 0 ? ending.first_pass_ns : ending.later_pass_ns;
    const long long window = kFadeTicks * tick_ns(mixer_bpm(m));
    const long long left = pass - ending.pass_ns;
    if (left > window || window <= 0) return;
    if (ending.fade_from < 0) ending.fade_from = m.volume;
    m.volume = static_cast<SWORD>(ending.fade_from * std::max(left, 0LL) / window);
}

}  // namespace

void play_song_tick(MODULE &m, SongEnding &ending) {
    const MikMod_player_t tick = library_player_tick();
    if (m.forbid || m.wrap || m.sngpos >= m.numpos) {
        tick();
        return;
    }
    if (ending.ends_at_repeat) fade_last_pass(m, ending);
    ending.pass_ns += tick_ns(mixer_bpm(m));
    if (ending.ends_at_repeat && row_starts_next_tick(m) && end_key_of(m) == ending.end_key &&
        ++ending.end_keys_seen >= ending.end_key_count) {
        if (!another_pass(m, ending)) {
            m.sngpos = static_cast<SWORD>(m.numpos);
            return;
        }
        // The jump back is taken as written, to where the next pass goes on.
        ending.end_keys_seen = ending.end_keys_at_repeat;
    }
    tick();
    if (m.sngpos >= 0 && m.sngpos < m.numpos && is_end_order(m.positions[m.sngpos])) m.sngpos = static_cast<SWORD>(m.numpos);
    if (m.sngpos >= m.numpos && another_pass(m, ending)) {
        restart_song_at(m, ending.start_position);
        ending.end_keys_seen = 0;
        tick();
    }
}
