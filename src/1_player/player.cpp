#include "1_player/player.h"

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
            if (song_has_ended(*core.module)) Player_SetPosition(0);
            return;
        }
        if (song_has_ended(*core.module)) {
            Player_SetPosition(0);
            core.song_position = 0;
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
        Player_SetPosition(0);
        Player_Stop();
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
        Player_SetPosition(0);
        core.song_position = 0;
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

void player_set_loop(bool loop) {
    player_post([loop] {
        if (MODULE *m = player_core().module) m->loop = m->wrap = loop ? 1 : 0;
    });
}

void player_set_fade(bool fade) {
    player_post([fade] {
        if (MODULE *m = player_core().module) m->fadeout = fade ? 1 : 0;
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

LoadResult player_load(const char *file_path, bool loop, bool fade) {
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
        core.module = fresh;
        core.info = describe_module(*fresh, path, bytes, ++core.loads, archive.c_str());
        fresh->loop = fresh->wrap = loop ? 1 : 0;  // wrap starts a finished song again
        fresh->fadeout = fade ? 1 : 0;
        core.song_position = 0;
        core.muted = 0;
        core.stopped = false;
        remember_module_data(std::move(data));
        Player_Start(fresh);
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
        Player_Free(core.module);
        core.module = nullptr;
        core.info = nullptr;
        core.muted = 0;
        core.song_position = 0;
        remember_module_data({});
    });
}
