// Starting, feeding and stopping the sound library.
#pragma once

#include <mikmod.h>

// Starts libmikmod with its autodetected driver. Returns 0, or -1 with the
// library's error in MikMod_errno.
int start_sound();

// Shuts the library down if start_sound succeeded (MikMod_Exit must not
// run before MikMod_Init).
void stop_sound();

// The file the module being played was loaded from, so that a restart of
// the driver can load its samples again; the loader calls it after every
// successful load. A path that does not fit is not kept (a restart then
// fails and leaves everything as it was).
void remember_module_file(const char *path);

// Restarts the sound driver with the current md_mode and md_mixfreq
// (MikMod_Reset) while the module goes on from where it was: the restart
// throws away the samples the driver held, so they are loaded again from
// the module's file, and the notes that were sounding go on from their
// place in their samples. Everything else of the module (position, row,
// song time, speed, tempo, BPM, volume, flags, muted channels, a pause or a
// stop) is untouched, and `module` stays the same. Returns 0, or -1 with
// the library's error in MikMod_errno: when the module's file can no
// longer be read nothing is changed; when the driver does not start again
// with the new settings the "no sound" driver takes over, so the module
// goes on silently and the caller may restore the old settings and call
// this again.
int restart_output();

// How long any key loop waits for a key, in milliseconds: the timeout of
// every window. It is far shorter than the sound the driver holds (about
// 180 ms with PulseAudio), so the idle step that follows always comes
// before the buffer runs dry, whatever refresh_delay says; refresh_delay
// only sets how often the live screen is redrawn.
int key_wait_ms();

inline constexpr int kKeyWaitMs = 40;

// Keeps the driver's buffer full without waiting on it: MikMod_Update
// writes one fragment (about 23 ms with PulseAudio) and, once the buffer is
// full, waits until a fragment has played. The pacer below counts how much
// has played since the buffer was last seen full, so a step writes only
// the fragments that fit, usually none or one, and a key read next is not
// held up behind a write that waits (but for a short wait, about once a
// second, that puts the pacer back in step). While the output is lost (see
// below) nothing is written and the restart is retried every few seconds.
void feed_player();

// The most writes one feed step makes.
inline constexpr int kMaxUpdatesPerStep = 12;

// A write waited for room in the buffer when it took at least
// kWaitedWriteNs and several times as long as the quickest recent write
// (which is the time the library takes to mix a fragment).
inline constexpr long long kWaitedWriteNs = 1'000'000;
inline constexpr int kWaitedOverMixing = 4;

// The pacing of the writes, as a pure function of the clock and of which
// writes had to wait.
//
// A write that waited leaves the buffer full. From then on a fragment's
// worth of sound plays every fragment period, so after t nanoseconds t /
// period writes fit. The pacer keeps the buffer kHeadroomWrites fragments
// short of full, so its writes find room and return at once. The period is
// learnt from the spans between two full buffers (time over writes); the
// pacer assumes a slightly shorter one, so it creeps towards full and about
// once a second a write waits briefly and puts it back in step. After a
// pause in feeding longer than kLongPauseNs the buffer may have run dry, so
// the next step writes until a write waits, as it does at the start.
//
// A driver that has waited before and then takes far more than its buffer
// holds without ever waiting has lost its output (the sound server went
// away): its writes return at once and the song would race on in silence.
struct FeedPacer {
    long long full_at_ns = 0;       // end of the last write that waited
    long long last_step_ns = -1;    // end of the previous step's last write, or its start
    long long last_wait_ns = 0;     // when a write last waited
    int written = 0;                // writes since full_at_ns
    bool synced = false;            // full_at_ns holds: the buffer was full then
    bool driver_waits = false;      // a write has waited at least once
    long long quickest_write_ns = 0;  // the quickest recent write, 0 before the first
    int filling_writes = 0;         // writes since synced was lost
    int most_filling_writes = 0;    // the most writes a fill from unsynced took
    double span_ns_sum = 0;         // decaying sums for the learnt period
    double span_writes_sum = 0;
};

inline constexpr long long kGuessedFragmentNs = 10'000'000;
inline constexpr double kPaceFactor = 0.95;
inline constexpr int kHeadroomWrites = 1;
inline constexpr long long kLongPauseNs = 80'000'000;
// With no write waiting for this long (and for kRecheckAfterWrites
// periods), the pacer checks the buffer again by writing until one waits.
// A healthy driver makes a write wait about every twenty periods anyway.
inline constexpr long long kRecheckAfterNs = 1'000'000'000LL;
inline constexpr int kRecheckAfterWrites = 40;

// The fragment period learnt so far, or 0.
double learnt_fragment_ns(const FeedPacer &p);

// How many writes the step starting at `now_ns` should make (the caller
// stops early when one waits).
int writes_due(FeedPacer &p, long long now_ns);

// Records one write made from `start_ns` to `end_ns`. Returns true when it
// waited (the step then stops writing).
bool record_write(FeedPacer &p, long long start_ns, long long end_ns);

// True when the driver has stopped taking sound at the speed it plays it.
bool output_lost_by(const FeedPacer &p);

// The state of the sound output, for the screen.
bool sound_output_lost();           // writes stopped; a restart is being retried
const char *sound_output_reason();  // why, for the message shown meanwhile
// How often a lost output is restarted.
inline constexpr long long kRestartEveryNs = 3'000'000'000LL;

// True when the module has played past its last position without wrapping
// round: the player has nothing more to play.
bool song_has_ended(const MODULE &m);

// The number of the library's voices the player uses for `m`.
int song_voice_count(const MODULE &m);

// Keeps the sound going through a long piece of work that runs no idle step
// (reading, sorting or adding a directory of thousands of entries): call
// step() once per item. Every `items_per_check` items it reads the clock,
// and when kWorkFeedIntervalNs have passed since it last fed the player (or
// since it was made) it feeds it, as long as a module plays.
class FeedDuringWork {
public:
    explicit FeedDuringWork(int items_per_check = 64);
    void step();

private:
    int items_per_check_;
    int since_check_ = 0;
    long long last_feed_ns_;
};

inline constexpr long long kWorkFeedIntervalNs = 25'000'000;
