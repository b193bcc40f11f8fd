// modinfo: load a module with libmikmod and print what the library made of it.
//
//   modinfo FILE                 header, channels, samples, instruments, comment
//   modinfo FILE --play SECONDS  ...then play it on the "no sound" driver until
//                                the song ends or SECONDS of song time passed
//   modinfo FILE --length        same as --play 7200
//
// Output is one `key=value` line per fact, so scripts can parse it. Strings are
// escaped: printable ASCII stays as is, backslash becomes "\\", newline "\n",
// every other byte "\xHH"; names are also given in hex (`songname_hex=`).
// When libmikmod refuses the file, `error=` carries MikMod_strerror() of the
// failure and the exit status is 1. Usage errors exit with 2.
//
// Playing is driven entirely by our MikMod_Update() calls (drv_nos mixes into
// a scratch buffer), so a ten-minute song is checked in a second or two. The
// song clock is libmikmod's own: MODULE.sngtime counts 1/1024 s and freezes on
// the tick that runs past the last position. After playing, `play.*` tells
//   ended          1 if the song ran out (Player_Active() false), 0 if stopped
//                  at the limit; sngtime/seconds say when
//   ticks, rows    player ticks and rows played
//   silent_ticks   ticks on which no channel sounded; longest_silence_ticks
// and per channel (`play.channel.N.*`), over the ticks it sounded on:
//   audible_ticks  ticks with an active voice and a volume above 0
//   max_volume     highest voice volume (0-256, after sample/channel/global)
//   volumes, pannings  how many different voice volumes / pannings occurred
//   max_amplitude  highest peak-to-peak of the sample data around the play
//                  position (Voice_RealVolume: 16-bit scale, volume ignored)
//   frequency      mixing rate of the voice on the last audible tick, Hz

#include <mikmod.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kMaxVoices = 128;
constexpr double kLengthCap = 7200.0;

std::string escape(const char* text) {
    std::string out;
    if (text == nullptr) return out;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte >= 0x20 && byte < 0x7f) {
            out += static_cast<char>(byte);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", byte);
            out += buf;
        }
    }
    return out;
}

std::string hex(const char* text) {
    std::string out;
    if (text == nullptr) return out;
    for (const char* p = text; *p != '\0'; ++p) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(*p));
        out += buf;
    }
    return out;
}

void put(const std::string& key, const std::string& value) {
    std::printf("%s=%s\n", key.c_str(), value.c_str());
}

void put(const std::string& key, long long value) {
    std::printf("%s=%lld\n", key.c_str(), value);
}

void put_hex(const std::string& key, unsigned value) {
    std::printf("%s=0x%04x\n", key.c_str(), value);
}

std::string indexed(const char* group, int index, const char* field) {
    return std::string(group) + "." + std::to_string(index) + "." + field;
}

void print_module(const MODULE& mod) {
    put("modtype", escape(mod.modtype));
    put("songname", escape(mod.songname));
    put("songname_hex", hex(mod.songname));
    put("numchn", mod.numchn);
    put("numpos", mod.numpos);
    put("numpat", mod.numpat);
    put("numins", mod.numins);
    put("numsmp", mod.numsmp);
    put("initspeed", mod.initspeed);
    put("inittempo", mod.inittempo);
    put("bpm", mod.bpm);
    put("initvolume", mod.initvolume);
    put("reppos", mod.reppos);
    put_hex("flags", mod.flags);

    std::string positions;
    for (int i = 0; i < mod.numpos; ++i) {
        if (i) positions += ',';
        positions += std::to_string(mod.positions[i]);
    }
    put("positions", positions);
    for (int i = 0; i < mod.numpat; ++i)
        put(indexed("pattern", i, "rows"), mod.pattrows[i]);

    for (int ch = 0; ch < mod.numchn; ++ch) {
        put(indexed("channel", ch, "panning"), mod.panning[ch]);
        put(indexed("channel", ch, "volume"), mod.chanvol[ch]);
    }

    put("comment_length", mod.comment ? static_cast<long long>(std::strlen(mod.comment)) : 0);
    put("comment", escape(mod.comment));

    for (int i = 0; i < mod.numsmp; ++i) {
        const SAMPLE& s = mod.samples[i];
        // `flags` is the in-memory format: the software mixer turns every
        // sample into signed 16 bit, so the stored width is in `inflags`.
        put(indexed("sample", i, "name"), escape(s.samplename));
        put(indexed("sample", i, "length"), s.length);
        put(indexed("sample", i, "loopstart"), s.loopstart);
        put(indexed("sample", i, "loopend"), s.loopend);
        put_hex(indexed("sample", i, "flags"), s.flags);
        put_hex(indexed("sample", i, "inflags"), s.inflags);
        put(indexed("sample", i, "bits"), (s.inflags & SF_16BITS) ? 16 : 8);
        put(indexed("sample", i, "loop"), (s.flags & SF_LOOP) ? 1 : 0);
        put(indexed("sample", i, "bidi"), (s.flags & SF_BIDI) ? 1 : 0);
        put(indexed("sample", i, "volume"), s.volume);
        put(indexed("sample", i, "panning"), s.panning);
        put(indexed("sample", i, "ownpan"), (s.flags & SF_OWNPAN) ? 1 : 0);
        put(indexed("sample", i, "speed"), s.speed);
        put(indexed("sample", i, "globvol"), s.globvol);
    }
    if (mod.instruments != nullptr)
        for (int i = 0; i < mod.numins; ++i)
            put(indexed("instrument", i, "name"), escape(mod.instruments[i].insname));
}

// ---------------------------------------------------------------- playback --

struct ChannelStats {
    std::set<unsigned> volumes;
    std::set<unsigned> pannings;
    unsigned max_volume = 0;
    unsigned long max_amplitude = 0;  // peak-to-peak of the sample data played
    unsigned long audible_ticks = 0;
    unsigned long frequency = 0;  // mixing rate of the last audible tick, Hz
};

struct PlayStats {
    MODULE* mod = nullptr;
    std::vector<int> voice_of;  // channel -> mixer voice, read in the hook
    std::vector<ChannelStats> channels;
    unsigned long ticks = 0;
    unsigned long rows = 0;
    unsigned long silent_ticks = 0;
    unsigned long silence_run = 0;
    unsigned long longest_silence = 0;
    int last_pos = -1;
    int last_row = -1;
    bool tick_pending = false;  // a tick was processed but not yet sampled
};

PlayStats g_play;
MikMod_player_t g_original_player = nullptr;

// Looks at the voices as the mixer left them after the tick just played: a
// note started on a tick only becomes an active voice when that tick is mixed.
void sample_voices() {
    bool any_audible = false;
    for (size_t ch = 0; ch < g_play.channels.size(); ++ch) {
        const int voice = g_play.voice_of[ch];
        if (voice < 0) continue;
        const auto v = static_cast<UBYTE>(voice);
        const unsigned long amplitude = VC_VoiceStopped(v) ? 0 : VC_VoiceRealVolume(v);
        if (amplitude == 0) continue;
        const unsigned volume = VC_VoiceGetVolume(v);
        ChannelStats& stats = g_play.channels[ch];
        if (amplitude > stats.max_amplitude) stats.max_amplitude = amplitude;
        stats.volumes.insert(volume);
        stats.pannings.insert(static_cast<unsigned>(VC_VoiceGetPanning(v)));
        if (volume > stats.max_volume) stats.max_volume = volume;
        if (volume > 0) {
            ++stats.audible_ticks;
            stats.frequency = VC_VoiceGetFrequency(v);
            any_audible = true;
        }
    }
    if (any_audible) {
        g_play.silence_run = 0;
    } else {
        ++g_play.silent_ticks;
        if (++g_play.silence_run > g_play.longest_silence)
            g_play.longest_silence = g_play.silence_run;
    }
}

// Runs once per player tick, inside MikMod_Update() with libmikmod's lock
// held, so only the lock-free VC_* getters may be used here.
void on_tick() {
    MODULE* mod = g_play.mod;
    if (g_play.tick_pending) {
        sample_voices();
        g_play.tick_pending = false;
    }
    const bool was_playing = mod->sngpos < static_cast<SWORD>(mod->numpos);
    g_original_player();
    if (!was_playing || mod->sngpos >= static_cast<SWORD>(mod->numpos)) return;

    ++g_play.ticks;
    g_play.tick_pending = true;
    if (mod->sngpos != g_play.last_pos || mod->patpos != g_play.last_row) {
        ++g_play.rows;
        g_play.last_pos = mod->sngpos;
        g_play.last_row = mod->patpos;
    }
}

void play(MODULE* mod, double limit_seconds) {
    g_play = PlayStats{};
    g_play.mod = mod;
    g_play.voice_of.assign(mod->numchn, -1);
    g_play.channels.resize(mod->numchn);

    g_original_player = MikMod_RegisterPlayer(on_tick);
    Player_Start(mod);

    const auto limit = static_cast<unsigned long long>(limit_seconds * 1024.0);
    // Each update mixes a fixed buffer (tens of ms at least); the guard only
    // stops a song whose clock does not advance at all.
    unsigned long long guard = static_cast<unsigned long long>(limit_seconds * 100.0) + 1000;
    // Without new note actions channel N always plays on voice N. With them
    // (IT instrument mode) voices move around, and the mapping, which can only
    // be asked for outside the hook, is refreshed before every update.
    const bool nna = (mod->flags & UF_NNA) != 0;
    for (int ch = 0; ch < mod->numchn; ++ch) g_play.voice_of[ch] = ch;
    while (Player_Active() && mod->sngtime < limit && guard-- > 0) {
        if (nna)
            for (int ch = 0; ch < mod->numchn; ++ch)
                g_play.voice_of[ch] = Player_GetChannelVoice(static_cast<UBYTE>(ch));
        MikMod_Update();
    }
    if (g_play.tick_pending) sample_voices();
    const bool ended = !Player_Active();
    Player_Stop();
    MikMod_RegisterPlayer(g_original_player);

    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", mod->sngtime / 1024.0);
    put("play.limit_sngtime", static_cast<long long>(limit));
    put("play.ended", ended ? 1 : 0);
    put("play.sngtime", mod->sngtime);
    put("play.seconds", seconds);
    put("play.sngpos", mod->sngpos);
    put("play.ticks", static_cast<long long>(g_play.ticks));
    put("play.rows", static_cast<long long>(g_play.rows));
    put("play.silent_ticks", static_cast<long long>(g_play.silent_ticks));
    put("play.longest_silence_ticks", static_cast<long long>(g_play.longest_silence));
    for (size_t ch = 0; ch < g_play.channels.size(); ++ch) {
        const ChannelStats& s = g_play.channels[ch];
        const int i = static_cast<int>(ch);
        put(indexed("play.channel", i, "audible_ticks"), static_cast<long long>(s.audible_ticks));
        put(indexed("play.channel", i, "max_volume"), s.max_volume);
        put(indexed("play.channel", i, "max_amplitude"), static_cast<long long>(s.max_amplitude));
        put(indexed("play.channel", i, "volumes"), static_cast<long long>(s.volumes.size()));
        put(indexed("play.channel", i, "pannings"), static_cast<long long>(s.pannings.size()));
        put(indexed("play.channel", i, "frequency"), static_cast<long long>(s.frequency));
    }
}

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: modinfo FILE [--play SECONDS | --length]\n");
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = nullptr;
    double play_seconds = -1.0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--play") {
            if (++i >= argc) usage();
            char* end = nullptr;
            errno = 0;
            play_seconds = std::strtod(argv[i], &end);
            if (errno != 0 || end == argv[i] || *end != '\0' || play_seconds <= 0.0) usage();
        } else if (arg == "--length") {
            play_seconds = kLengthCap;
        } else if (arg == "-h" || arg == "--help") {
            usage();
        } else if (path == nullptr) {
            path = argv[i];
        } else {
            usage();
        }
    }
    if (path == nullptr) usage();

    MikMod_RegisterDriver(&drv_nos);
    MikMod_RegisterAllLoaders();
    md_mode = DMODE_SOFT_MUSIC | DMODE_16BITS | DMODE_STEREO;
    md_mixfreq = 44100;
    if (MikMod_Init("") != 0) {
        put("error", escape(MikMod_strerror(MikMod_errno)));
        return 1;
    }

    put("file", escape(path));
    MODULE* mod = Player_Load(path, kMaxVoices, 0);
    if (mod == nullptr) {
        put("error", escape(MikMod_strerror(MikMod_errno)));
        put("errno", MikMod_errno);
        MikMod_Exit();
        return 1;
    }

    print_module(*mod);
    if (play_seconds > 0.0) play(mod, play_seconds);

    Player_Free(mod);
    MikMod_Exit();
    return 0;
}
