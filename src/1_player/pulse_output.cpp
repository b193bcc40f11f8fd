#include "1_player/pulse_output.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <mikmod.h>
#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <vector>

#include "1_player/mixed_sound.h"
#include "1_player/player_thread.h"
#include "1_player/sound_ring.h"

namespace {

// The connection to the server and the stream, owned by the library's
// driver calls (which run with the library, on the thread that owns it);
// the two flags are also set by PulseAudio's own thread, in its callbacks.
struct PulseOutput {
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    std::vector<SBYTE> buffer;  // one write's sound, at most the server's buffer
    std::size_t frame_bytes = 4;
    std::size_t piece_bytes = 0;
    bool closing = false;   // our own disconnection: not a failure
    bool timed_out = false;
    std::atomic<bool> wanted{false};  // the server asked for sound since the last write
    std::atomic<bool> failed{false};
    // What the server holds is to be dropped: by the next write, which
    // takes its place at once, or when nothing is left to play.
    std::atomic<bool> dropping{false};
};

PulseOutput pulse;  // the driver's own: see PulseOutput

void notice_failure() {
    pulse.failed.store(true);
    wake_player_thread();
}

void context_changed(pa_context *context, void *) {
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        if (!pulse.closing) notice_failure();
        [[fallthrough]];
    case PA_CONTEXT_READY: pa_threaded_mainloop_signal(pulse.loop, 0); break;
    default: break;
    }
}

void stream_changed(pa_stream *stream, void *) {
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        if (!pulse.closing) notice_failure();
        [[fallthrough]];
    case PA_STREAM_READY: pa_threaded_mainloop_signal(pulse.loop, 0); break;
    default: break;
    }
}

void stream_wants(pa_stream *, std::size_t, void *) {
    pulse.wanted.store(true);
    wake_player_thread();
}

void connection_timed_out(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *) {
    pulse.timed_out = true;
    pa_threaded_mainloop_signal(pulse.loop, 0);
}

bool context_settled() {
    const pa_context_state_t state = pa_context_get_state(pulse.context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
}

bool stream_settled() {
    const pa_stream_state_t state = pa_stream_get_state(pulse.stream);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
}

// Ends the connection, if there is one.
void disconnect() {
    if (!pulse.loop) return;
    pa_threaded_mainloop_lock(pulse.loop);
    pulse.closing = true;
    if (pulse.stream) {
        pa_stream_set_state_callback(pulse.stream, nullptr, nullptr);
        pa_stream_set_write_callback(pulse.stream, nullptr, nullptr);
        pa_stream_disconnect(pulse.stream);
        pa_stream_unref(pulse.stream);
        pulse.stream = nullptr;
    }
    if (pulse.context) {
        pa_context_set_state_callback(pulse.context, nullptr, nullptr);
        pa_context_disconnect(pulse.context);
        pa_context_unref(pulse.context);
        pulse.context = nullptr;
    }
    pa_threaded_mainloop_unlock(pulse.loop);
    pa_threaded_mainloop_stop(pulse.loop);
    pa_threaded_mainloop_free(pulse.loop);
    pulse.loop = nullptr;
}

// Connects to the server, and given a sound format opens a playback stream too,
// waiting at most kOutputConnectTimeoutMs. Returns false, connected to
// nothing, when that fails.
bool connect(const pa_sample_spec *sound_format) {
    pulse.closing = false;
    pulse.timed_out = false;
    pulse.failed.store(false);
    pulse.wanted.store(false);
    pulse.dropping.store(false);
    pulse.loop = pa_threaded_mainloop_new();
    if (!pulse.loop) return false;
    pulse.context = pa_context_new(pa_threaded_mainloop_get_api(pulse.loop), "xq");
    if (!pulse.context) {
        disconnect();
        return false;
    }
    pa_context_set_state_callback(pulse.context, context_changed, nullptr);
    if (pa_context_connect(pulse.context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
        disconnect();
        return false;
    }
    // PulseAudio's thread takes no signal: they all go to the screens'
    // thread, whose waits they must end.
    sigset_t all;
    sigset_t old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    const int started = pa_threaded_mainloop_start(pulse.loop);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (started < 0) {
        disconnect();
        return false;
    }
    pa_threaded_mainloop_lock(pulse.loop);
    pa_time_event *timer = pa_context_rttime_new(
        pulse.context, pa_rtclock_now() + static_cast<pa_usec_t>(kOutputConnectTimeoutMs) * PA_USEC_PER_MSEC,
        connection_timed_out, nullptr);
    while (!context_settled() && !pulse.timed_out) pa_threaded_mainloop_wait(pulse.loop);
    bool ready = pa_context_get_state(pulse.context) == PA_CONTEXT_READY;
    if (ready && sound_format) {
        pulse.stream = pa_stream_new(pulse.context, "music", sound_format, nullptr);
        ready = pulse.stream != nullptr;
        if (ready) {
            pa_stream_set_state_callback(pulse.stream, stream_changed, nullptr);
            pa_stream_set_write_callback(pulse.stream, stream_wants, nullptr);
            pa_buffer_attr attr;
            attr.maxlength = static_cast<std::uint32_t>(-1);
            attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kOutputBufferMs * PA_USEC_PER_MSEC, sound_format));
            attr.prebuf = static_cast<std::uint32_t>(-1);
            attr.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kOutputPieceMs * PA_USEC_PER_MSEC, sound_format));
            attr.fragsize = static_cast<std::uint32_t>(-1);
            ready = pa_stream_connect_playback(pulse.stream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                               nullptr) == 0;
        }
        while (ready && !stream_settled() && !pulse.timed_out) pa_threaded_mainloop_wait(pulse.loop);
        ready = ready && pa_stream_get_state(pulse.stream) == PA_STREAM_READY;
    }
    if (timer) pa_threaded_mainloop_get_api(pulse.loop)->time_free(timer);
    pa_threaded_mainloop_unlock(pulse.loop);
    if (!ready) disconnect();
    return ready;
}

pa_sample_spec output_format() {
    pa_sample_spec sound_format;
    sound_format.format = (md_mode & DMODE_FLOAT) ? PA_SAMPLE_FLOAT32NE : (md_mode & DMODE_16BITS) ? PA_SAMPLE_S16NE : PA_SAMPLE_U8;
    sound_format.rate = md_mixfreq;
    sound_format.channels = (md_mode & DMODE_STEREO) ? 2 : 1;
    return sound_format;
}

BOOL output_present() {
    if (pulse.loop) return 1;
    const bool answers = connect(nullptr);
    disconnect();
    return answers ? 1 : 0;
}

int output_init() {
    const pa_sample_spec sound_format = output_format();
    if (!connect(&sound_format)) {
        MikMod_errno = MMERR_OPENING_AUDIO;
        return 1;
    }
    pulse.frame_bytes = pa_frame_size(&sound_format);
    pulse.piece_bytes = pa_usec_to_bytes(kOutputPieceMs * PA_USEC_PER_MSEC, &sound_format);
    pulse.buffer.assign(pa_usec_to_bytes(kOutputBufferMs * PA_USEC_PER_MSEC, &sound_format), 0);
    md_mode |= DMODE_SOFT_MUSIC;
    // What is heard lies about the server's buffer behind what is written.
    output_sound_ring().set_ahead_ms(kOutputBufferMs - kOutputPieceMs / 2);
    return VC_Init();
}

void output_exit() {
    disconnect();
    pulse.buffer.clear();
    pulse.buffer.shrink_to_fit();
    VC_Exit();
}

int output_reset() {
    output_exit();
    return output_init();
}

// Mixes and writes what the server wants now, never more than its buffer;
// in place of what it holds, a whole buffer.
void output_update() {
    if (!pulse.stream || pulse.failed.load()) return;
    const bool dropping = pulse.dropping.load();
    pa_threaded_mainloop_lock(pulse.loop);
    pulse.wanted.store(false);
    const std::size_t room = pa_stream_writable_size(pulse.stream);
    // In place of what the server holds goes its whole buffer, as long as
    // the server settled it.
    std::size_t wants = room;
    if (dropping) {
        const pa_buffer_attr *attr = pa_stream_get_buffer_attr(pulse.stream);
        wants = attr ? attr->tlength : pulse.buffer.size();
    }
    pa_threaded_mainloop_unlock(pulse.loop);
    if (room == static_cast<std::size_t>(-1)) {
        notice_failure();
        return;
    }
    std::size_t bytes = std::min(wants, pulse.buffer.size());
    bytes -= bytes % pulse.frame_bytes;
    if (bytes == 0) return;
    const ULONG mixed = VC_WriteBytes(pulse.buffer.data(), static_cast<ULONG>(bytes));
    pass_mixed_sound(pulse.buffer.data(), mixed);
    pa_threaded_mainloop_lock(pulse.loop);
    // The new sound takes the place of the old from where the server reads
    // now, in one message: the server never runs dry between them.
    pulse.dropping.store(false);
    if (pa_stream_write(pulse.stream, pulse.buffer.data(), mixed, nullptr, 0,
                        dropping ? PA_SEEK_RELATIVE_ON_READ : PA_SEEK_RELATIVE) < 0)
        notice_failure();
    // After a pause the server wants a whole buffer at once.
    else if (pa_stream_writable_size(pulse.stream) >= pulse.piece_bytes)
        pulse.wanted.store(true);
    pa_threaded_mainloop_unlock(pulse.loop);
}

int output_play_start() { return VC_PlayStart(); }

// The library stops and starts the output around every load, even one
// made aside: what the server holds plays on. A stop that is to be heard
// at once says so (drop_output_sound).
void output_play_stop() {
    VC_PlayStop();
}

MDRIVER output_driver = {
    nullptr,
    "PulseAudio",
    "PulseAudio output of xq",
    0,
    255,
    "pulseaudio",
    "",
    nullptr,
    output_present,
    VC_SampleLoad,
    VC_SampleUnload,
    VC_SampleSpace,
    VC_SampleLength,
    output_init,
    output_exit,
    output_reset,
    VC_SetNumVoices,
    output_play_start,
    output_play_stop,
    output_update,
    nullptr,
    VC_VoiceSetVolume,
    VC_VoiceGetVolume,
    VC_VoiceSetFrequency,
    VC_VoiceGetFrequency,
    VC_VoiceSetPanning,
    VC_VoiceGetPanning,
    VC_VoicePlay,
    VC_VoiceStop,
    VC_VoiceStopped,
    VC_VoiceGetPosition,
    VC_VoiceRealVolume,
};

}  // namespace

void register_pulse_output() { MikMod_RegisterDriver(&output_driver); }

bool pulse_output_in_use() { return md_driver == &output_driver; }

bool pulse_output_ready() { return pulse.wanted.load() || pulse.failed.load() || pulse.dropping.load(); }

void drop_output_sound() {
    if (pulse.stream) pulse.dropping.store(true);
}

void settle_output_sound() {
    if (!pulse.dropping.exchange(false) || !pulse.stream) return;
    pa_threaded_mainloop_lock(pulse.loop);
    if (pa_operation *flush = pa_stream_flush(pulse.stream, nullptr, nullptr)) pa_operation_unref(flush);
    pa_threaded_mainloop_unlock(pulse.loop);
}

bool pulse_output_failed() { return pulse.failed.load(); }

long long pulse_output_buffered_ns() { return static_cast<long long>(kOutputBufferMs) * 1'000'000LL; }
