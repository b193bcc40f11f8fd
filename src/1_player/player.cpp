#include "1_player/player.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "1_player/archive_path.h"
#include "1_player/loaded_module.h"
#include "1_player/module_loader.h"
#include "1_player/player_core.h"
#include "1_player/player_thread.h"
#include "1_player/pulse_output.h"
#include "1_player/order_list.h"
#include "1_player/song_seek.h"
#include "1_player/song_walk.h"
#include "1_player/sound_output.h"

static_assert(kMode16Bits == DMODE_16BITS && kModeStereo == DMODE_STEREO && kModeSoftMusic == DMODE_SOFT_MUSIC &&
              kModeHqMixer == DMODE_HQMIXER && kModeSurround == DMODE_SURROUND &&
              kModeInterpolate == DMODE_INTERP && kModeReverse == DMODE_REVERSE);

PlayerCore &player_core() {
    static PlayerCore core;  // the player's state: see player_core.h for who may touch it
    return core;
}

namespace {

// Runs `change` on the module being played, when there is one, as the
// player has it when it gets to the command.
void post_to_module(void (*change)(PlayerCore &, MODULE &)) {
    player_post([change] {
        PlayerCore &core = player_core();
        if (core.module) change(core, *core.module);
    });
}

// Starts song `index` of the module loaded (the first when it has no such
// song) from its first row, with the speed, tempo, volume and clock the
// module starts with; its passes count afresh.
// Puts in place of the module playing the one that holds the tune of its
// file starting at order `start` alone (or the whole file, -1), playing,
// paused or stopped as the module was. False, with the module left, when it
// does not load.
bool load_tune(PlayerCore &core, int start) {
    const std::vector<char> &data = remembered_module_data();
    const std::vector<char> tune = start >= 0 ? tune_bytes(data.data(), data.size(), start) : data;
    MODULE *fresh = tune.empty() ? nullptr : Player_LoadMem(tune.data(), static_cast<int>(tune.size()), kPlayerChannels, 0);
    if (!fresh) return false;
    const bool started = Player_GetModule() == core.module;
    const bool paused = started && Player_Paused();
    fresh->loop = 1;
    fresh->wrap = core.module->wrap;
    Player_Stop();
    Player_Free(core.module);
    drop_output_sound();
    core.module = fresh;
    core.tune_start = start;
    core.muted = 0;
    const ModuleInfo &old = *core.info;
    core.info = describe_module(*fresh, old.path.c_str(), old.bytes, ++core.loads, old.archive.c_str(), old.songs);
    if (started) {
        Player_Start(fresh);
        if (paused) Player_TogglePause();
    }
    return true;
}

void begin_song(PlayerCore &core, int index) {
    core.seek_voices.count = 0;
    core.subsong = index >= 0 && index < static_cast<int>(core.songs.size()) ? index : 0;
    if (const SongWalk *song = playing_song(core); song && song->tune_start != core.tune_start)
        load_tune(core, song->tune_start);
    MODULE &m = *core.module;
    const SongWalk *walk = playing_song(core);
    core.ending = walk ? ending_of(*walk, core.loops, core.fade) : SongEnding{};
    core.ending.loops = core.loops;
    core.ending.fade = core.fade;
    m.fadeout = core.fade && core.loops <= 1 ? 1 : 0;
    if (Player_GetModule() == &m) {
        Player_SetPosition(0);
    } else {
        restart_song_at(m, 0);
        m.sngtime = 0;
    }
    const int start = walk ? walk->start_position : 0;
    if (start > 0 && start < m.numpos) m.sngpos = static_cast<SWORD>(start);
    core.song_position = m.sngpos;
}

// The song time of `m`, in nanoseconds.
long long song_time_ns(const MODULE &m) { return static_cast<long long>(m.sngtime) * 1'000'000'000LL / 1024; }

// The option bits of the output mode, which the options set.
constexpr unsigned kOptionBits =
    kMode16Bits | kModeStereo | kModeReverse | kModeSurround | kModeInterpolate | kModeHqMixer;

// What the output takes only when it starts: a change of these restarts it.
// Reverse stereo (read each time a voice is panned) and interpolation
// (read as each stretch is mixed) are heard at once without a restart.
constexpr unsigned kRestartBits = kMode16Bits | kModeStereo | kModeSurround | kModeHqMixer;

}  // namespace

void player_play_or_pause() {
    player_call([] {
        PlayerCore &core = player_core();
        if (!core.module) return;
        if (core.stopped) {
            core.stopped = false;
            Player_Start(core.module);
            if (song_has_ended(*core.module)) begin_song(core, core.subsong);
            return;
        }
        if (song_has_ended(*core.module)) {
            begin_song(core, core.subsong);
            return;
        }
        Player_TogglePause();
    });
}

bool player_pause() {
    bool paused = false;
    player_call([&paused] {
        PlayerCore &core = player_core();
        if (!core.module || core.stopped || Player_Paused() || song_has_ended(*core.module)) return;
        Player_TogglePause();
        paused = true;
    });
    return paused;
}

bool player_resume() {
    bool resumed = false;
    player_call([&resumed] {
        PlayerCore &core = player_core();
        if (!core.module || core.stopped || !Player_Paused()) return;
        Player_TogglePause();
        resumed = true;
    });
    return resumed;
}

void player_stop() {
    player_post([] {
        PlayerCore &core = player_core();
        if (!core.module) return;
        begin_song(core, core.subsong);
        Player_Stop();
        drop_output_sound();
        core.module->patpos = 0;
        core.stopped = true;
    });
}

// The player is started before it is moved: a stopped player ignores
// position changes.
void player_restart() {
    player_post([] {
        PlayerCore &core = player_core();
        if (!core.module) return;
        if (core.stopped) Player_Start(core.module);
        core.stopped = false;
        begin_song(core, core.subsong);
    });
}

void player_restart_pattern() {
    post_to_module([](PlayerCore &, MODULE &m) { m.patpos = 0; });
}

// The position is set at once, so that several presses before the next
// tick each move on one.
void player_next_position() {
    post_to_module([](PlayerCore &core, MODULE &m) {
        if (core.song_position < m.numpos - 1) {
            Player_SetPosition(static_cast<UWORD>(m.sngpos + 1));
            core.song_position = m.sngpos;
        }
    });
}

void player_previous_position() {
    post_to_module([](PlayerCore &core, MODULE &m) {
        if (m.sngpos > 0) {
            --m.sngpos;
            core.song_position = m.sngpos;
        }
    });
}

void player_seek(int position) {
    if (position <= 0) return;
    player_call([position] {
        PlayerCore &core = player_core();
        if (!core.module || position >= core.module->numpos) return;
        Player_SetPosition(static_cast<UWORD>(position));
        core.song_position = position;
    });
}

void player_seek_time(long long ms, bool relative) {
    player_post([ms, relative] {
        PlayerCore &core = player_core();
        const SongWalk *walk = playing_song(core);
        if (!core.module || core.stopped || !walk || walk->rows.empty()) return;
        MODULE &m = *core.module;
        // A song that ended stands at its end: only a seek back moves it.
        const long long now = song_has_ended(m) ? walk->length_ns : song_time_ns(m);
        const long long target = relative ? now + ms * 1'000'000LL : ms * 1'000'000LL;
        if (song_has_ended(m) && target >= walk->length_ns) return;
        // A fade that began is undone: the seek goes where it has not.
        if (core.ending.fade_from >= 0) m.volume = static_cast<SWORD>(core.ending.fade_from);
        core.ending.fade_from = -1;
        const long long landed = seek_song(m, *walk, target, core.seek_voices);
        core.ending.end_keys_seen = end_keys_before(*walk, landed);
        // The time into this pass: a later pass begins where the song's
        // repeat first played.
        const long long pass_start =
            core.ending.passes_done > 0 ? core.ending.first_pass_ns - core.ending.later_pass_ns : 0;
        core.ending.pass_ns = std::max(landed - pass_start, 0LL);
        core.song_position = m.sngpos;
    });
}

void player_change_song(int step) {
    player_post([step] {
        PlayerCore &core = player_core();
        const int count = static_cast<int>(core.songs.size());
        if (!core.module || count < 2) return;
        const int index = core.subsong + step;
        if (index < 0 || index >= count) return;
        if (core.stopped) {
            core.stopped = false;
            Player_Start(core.module);
        }
        begin_song(core, index);
    });
}

bool play_next_song_at_end() {
    PlayerCore &core = player_core();
    if (!core.all_songs || !core.module || core.subsong + 1 >= static_cast<int>(core.songs.size())) return false;
    begin_song(core, core.subsong + 1);
    return true;
}

void player_set_all_songs(bool all) {
    player_post([all] { player_core().all_songs = all; });
}

void player_set_loops(int loops) {
    player_post([loops] {
        PlayerCore &core = player_core();
        core.loops = loops < 1 ? 1 : loops;
        core.ending.loops = core.loops;
        if (core.module && core.ending.passes_done < core.loops)
            core.module->fadeout = core.fade && core.ending.passes_done == core.loops - 1 ? 1 : 0;
    });
}

void player_change_setting(PlayerSetting setting, SettingChange change) {
    player_post([setting, change = std::move(change)] {
        MODULE *m = player_core().module;
        const int top = m ? highest_bpm(*m) : 255;
        // Each field is read with its own signedness, so a signed volume
        // below zero still rises.
        switch (setting) {
        case PlayerSetting::speed:
            if (m) m->sngspd = static_cast<UWORD>(change(m->sngspd, top));
            break;
        case PlayerSetting::tempo:
            if (m) m->inittempo = static_cast<UWORD>(change(m->inittempo, top));
            break;
        case PlayerSetting::bpm:
            if (m) m->bpm = static_cast<UWORD>(change(m->bpm, top));
            break;
        case PlayerSetting::song_volume:
            if (m) m->volume = static_cast<SWORD>(change(m->volume, top));
            break;
        case PlayerSetting::reverb: md_reverb = static_cast<UBYTE>(change(md_reverb, top)); break;
        case PlayerSetting::stereo_separation: md_pansep = static_cast<UBYTE>(change(md_pansep, top)); break;
        case PlayerSetting::general_volume: md_volume = static_cast<UBYTE>(change(md_volume, top)); break;
        }
    });
}

void player_toggle_mute(int channel) {
    if (channel < 0 || channel >= kPlayerChannels) return;
    player_post([channel] {
        PlayerCore &core = player_core();
        if (!core.module) return;
        const std::uint64_t bit = std::uint64_t{1} << channel;
        if (core.muted & bit)
            Player_Unmute(channel);
        else
            Player_Mute(channel);
        core.muted ^= bit;
    });
}

// The player mutes every channel of the module; the marks exist for the
// first kPlayerChannels only.
void player_mute_all() {
    post_to_module([](PlayerCore &core, MODULE &m) {
        const bool mute = core.mute_all_next;
        for (int j = 0; j < m.numchn; ++j) {
            if (mute)
                Player_Mute(j);
            else
                Player_Unmute(j);
            if (j < kPlayerChannels) {
                const std::uint64_t bit = std::uint64_t{1} << j;
                core.muted = mute ? (core.muted | bit) : (core.muted & ~bit);
            }
        }
        core.mute_all_next = !mute;
    });
}

// Jumps are always taken as written (the library would otherwise ignore a
// jump backwards and play on into the orders after it); a song that does
// not wrap round ends where its walk ended it.
void player_set_loop(bool loop) {
    player_post([loop] {
        if (MODULE *m = player_core().module) {
            m->loop = 1;
            m->wrap = loop ? 1 : 0;
        }
    });
}

void player_set_fade(bool fade) {
    player_post([fade] {
        PlayerCore &core = player_core();
        core.fade = fade;
        core.ending.fade = fade;
        if (core.module && core.ending.passes_done < core.ending.loops)
            core.module->fadeout = fade && core.ending.passes_done == core.ending.loops - 1 ? 1 : 0;
    });
}

bool player_switch_reverse_stereo(bool on) {
    if (!(player_view().mode & kModeStereo)) return false;
    player_post([on] { md_mode = static_cast<UWORD>(on ? (md_mode | DMODE_REVERSE) : (md_mode & ~DMODE_REVERSE)); });
    return true;
}

OutputChange player_set_output(unsigned mode_bits, unsigned mixfreq) {
    OutputChange out;
    player_call([&] {
        const unsigned old_mode = md_mode;
        const unsigned old_mixfreq = md_mixfreq;
        md_mode = static_cast<UWORD>((md_mode & ~kOptionBits) | (mode_bits & kOptionBits));
        md_mixfreq = static_cast<UWORD>(mixfreq);
        const bool restart = ((md_mode ^ old_mode) & kRestartBits) != 0 || md_mixfreq != old_mixfreq;
        if (restart && restart_output() != 0) {
            out.ok = false;
            std::snprintf(out.message, sizeof out.message, "Can't restart the sound output: %s.",
                          MikMod_strerror(MikMod_errno));
            md_mode = static_cast<UWORD>(old_mode);
            md_mixfreq = static_cast<UWORD>(old_mixfreq);
            restart_output();
        }
        // The high-quality mixer always interpolates and adds the bit by
        // itself; the choice asked for counts again once that mixer is off.
        md_mode = static_cast<UWORD>((md_mode & ~kModeInterpolate) | (mode_bits & kModeInterpolate));
        out.mode = md_mode;
        out.mixfreq = md_mixfreq;
    });
    return out;
}

LoadResult player_load(const char *file_path, bool loop, bool fade, int subsong) {
    // Every failure leaves the module that was playing as it was, playing.
    LoadResult result;
    char reason[kPathCapacity];
    std::vector<char> data;
    if (read_module_file(file_path, data, reason, sizeof reason) != 0) {
        note_load_failure(file_path, reason, result.message, sizeof result.message);
        return result;
    }
    // The file selector moves the working directory: the path is kept as it
    // names the file from anywhere.
    char cwd[kPathCapacity];
    char path[kPathCapacity];
    absolute_path(path, sizeof path, file_path, getcwd(cwd, sizeof cwd) ? cwd : nullptr);
    const long long bytes = static_cast<long long>(data.size());
    // Which pack it came from is looked up here: the player's thread never
    // waits on the file system.
    std::string member;
    std::string archive;
    archive_member_names(path, member, archive);

    // The player loads the module and, once it is ready, swaps it for the
    // old one, which sounds until then.
    reason[0] = '\0';
    const bool called = player_call([&] {
        MODULE *fresh = Player_LoadMem(data.data(), static_cast<int>(data.size()), kPlayerChannels, 0);
        if (!fresh) {
            std::snprintf(reason, sizeof reason, "%s.", MikMod_strerror(MikMod_errno));
            return;
        }
        PlayerCore &core = player_core();
        if (core.module) {
            Player_Stop();
            Player_Free(core.module);
        }
        // What the old module left in the server goes as the new one is heard.
        drop_output_sound();
        // The songs are walked on a copy, before the new module sounds.
        core.songs = walk_module_bytes(data.data(), data.size());
        std::vector<SongLength> lengths;
        for (const SongWalk &walk : core.songs)
            lengths.push_back({walk.start_position, (walk.length_ns + 500'000) / 1'000'000, walk.length_known});
        core.module = fresh;
        core.info = describe_module(*fresh, path, bytes, ++core.loads, archive.c_str(), std::move(lengths));
        fresh->loop = 1;             // jumps as written
        fresh->wrap = loop ? 1 : 0;  // wrap starts a finished song again
        core.tune_start = -1;
        core.fade = fade;
        core.muted = 0;
        core.stopped = false;
        remember_module_data(std::move(data));
        Player_Start(fresh);
        begin_song(core, subsong);
        result.loaded = true;
    });
    if (!called) std::snprintf(reason, sizeof reason, "The player did not answer.");
    if (!result.loaded) note_load_failure(file_path, reason, result.message, sizeof result.message);
    return result;
}

ModuleInfoPtr read_module_info(const char *file_path, char *message, std::size_t size) {
    std::vector<char> data;
    if (read_module_file(file_path, data, message, size) != 0) return nullptr;
    std::string member;
    std::string archive;
    archive_member_names(file_path, member, archive);
    ModuleInfoPtr info;
    // The player loads it aside, between two stretches of the song that plays.
    const bool called = player_call([&] {
        MODULE *loaded = Player_LoadMem(data.data(), static_cast<int>(data.size()), kPlayerChannels, 0);
        if (!loaded) {
            std::snprintf(message, size, "%s", MikMod_strerror(MikMod_errno));
            return;
        }
        info = describe_module(*loaded, file_path, static_cast<long long>(data.size()), 0, archive.c_str());
        Player_Free(loaded);
    });
    if (!called) std::snprintf(message, size, "The player did not answer.");
    return info;
}

void player_catch_up() {
    if (!player_view_caught_up()) player_call([] {});
}

void player_unload() {
    player_call([] {
        PlayerCore &core = player_core();
        if (!core.module) return;
        Player_Stop();
        drop_output_sound();
        Player_Free(core.module);
        core.module = nullptr;
        core.info = nullptr;
        core.muted = 0;
        core.song_position = 0;
        core.songs.clear();
        core.subsong = 0;
        core.seek_voices.count = 0;
        remember_module_data({});
    });
}
