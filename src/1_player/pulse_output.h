// Sound output through PulseAudio: a driver of our own for the sound
// library, registered ahead of the library's drivers so that autodetection
// takes it wherever a PulseAudio server (or PipeWire's) answers.
//
// The library's own PulseAudio driver writes 23 ms of sound at each update
// and blocks in the write until the server takes it; every write wakes the
// client library's thread several times, which on a module of few channels
// costs more than the mixing. This one asks the server for a buffer of
// kOutputBufferMs, is woken when the server wants at least kOutputPieceMs
// more, and then mixes and writes just that, without ever blocking: the
// sound thread waits for the server with everything else it waits for.
#pragma once

// Registers the driver first among the library's drivers.
void register_pulse_output();

// True when the driver in use is this one.
bool pulse_output_in_use();

// True when the output wants sound now (or has failed: the next update
// finds that out). The sound thread is woken whenever this may have become
// true.
bool pulse_output_ready();

// What the server holds is dropped, so that a stop or a change of module
// is heard at once: together with the next write, whose sound takes its
// place without a gap, or by settle_output_sound when nothing plays on.
// Runs with the library, on the thread that owns it.
void drop_output_sound();

// Drops now what drop_output_sound asked to drop, if nothing was written
// since: the loop calls it before it sleeps with nothing to play.
void settle_output_sound();

// True once the connection to the server or the stream failed: the server
// went away, and the output is lost.
bool pulse_output_failed();

// Nanoseconds of sound written that the server has not played yet, as far
// as the buffer's size tells (what was heard last when the output was lost).
long long pulse_output_buffered_ns();

// How long a connection to the server may take before the output gives up
// (a server that stopped answering).
inline constexpr int kOutputConnectTimeoutMs = 2000;

// The server's buffer and the pieces written into it.
inline constexpr int kOutputBufferMs = 300;
inline constexpr int kOutputPieceMs = 100;
