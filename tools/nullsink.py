#!/usr/bin/env python3
"""A private PulseAudio server whose only output is a null sink.

Everything lives in one short temporary directory (/tmp/xqpa.XXXXXX): the
server's socket, runtime and state dirs, the cookie and a client.conf with
autospawn off.  Nothing is written to the caller's home directory, and
several servers can run side by side (one per test class).

Library use:

    with NullSink() as pa:
        subprocess.run(["paplay", "x.wav"], env=pa.client_env())
        pa.recorder.frames          # frames captured from the sink's monitor

Command line use (runs an interactive program against the null sink):

    python3 tools/nullsink.py run -- ./xq song.mod

A null sink renders in 2 s blocks unless a client asks for less, so
without help a stream's first write blocks for up to 2 s.  A recorder on the
monitor with a 20 ms latency, kept for the server's whole life, makes the
sink render in 20 ms blocks; that is why one is started by default.  The
sink only switches when its current block ends, so after the recorder has
connected the sink is suspended and resumed once, which restarts it at
once: start() then takes ~0.1 s instead of ~2 s.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

RATE = 44100
CHANNELS = 2
DEFAULT_SINK = "xqnull"

# libpulse reads these; the caller's values must not leak into our servers
# or clients.
_PULSE_VARS = ("PULSE_SERVER", "PULSE_COOKIE", "PULSE_CLIENTCONFIG",
               "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PULSE_SINK",
               "PULSE_SOURCE", "PULSE_CONFIG", "PULSE_SCRIPT",
               "PULSE_PROP", "PULSE_LATENCY_MSEC")


class NullSinkError(RuntimeError):
    pass


def _short_tempdir(prefix):
    # Unix socket paths are limited to 108 bytes, so stay directly in /tmp.
    base = "/tmp" if os.path.isdir("/tmp") else None
    return tempfile.mkdtemp(prefix=prefix, dir=base)


def _stop_process(proc, timeout=5.0):
    """Terminate a Popen child (and its process group if it leads one)."""
    if proc is None:
        return
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGTERM)
        except (ProcessLookupError, PermissionError):
            try:
                proc.terminate()
            except ProcessLookupError:
                pass
        try:
            proc.wait(timeout)
        except subprocess.TimeoutExpired:
            try:
                os.killpg(proc.pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                proc.kill()
            proc.wait()


def _die_with_parent():
    """preexec_fn: have the kernel end the child if we die (say, a test
    runner's timeout kills us), so no server outlives its test."""
    try:
        import ctypes
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(1, signal.SIGTERM, 0, 0, 0)     # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def _write_client_conf(directory):
    path = os.path.join(directory, "client.conf")
    with open(path, "w") as f:
        f.write("autospawn = no\n")
    return path


def _client_vars(directory):
    return {
        "PULSE_SERVER": "unix:" + os.path.join(directory, "native"),
        "PULSE_COOKIE": os.path.join(directory, "cookie"),
        "PULSE_CLIENTCONFIG": os.path.join(directory, "client.conf"),
        "PULSE_RUNTIME_PATH": os.path.join(directory, "client-runtime"),
        "PULSE_STATE_PATH": os.path.join(directory, "client-state"),
    }


def _base_env():
    env = dict(os.environ)
    for var in _PULSE_VARS:
        env.pop(var, None)
    return env


class MonitorRecorder:
    """Records a source (normally SINK.monitor) as raw s16le into memory.

    A reader thread drains parec continuously so the server never drops
    data.  `keep=False` discards the audio (it still keeps the sink in
    low-latency mode); `path` additionally appends the raw audio to a file.
    """

    def __init__(self, env, source, rate=RATE, channels=CHANNELS,
                 latency_msec=20, keep=True, path=None):
        self.env = env
        self.source = source
        self.rate = rate
        self.channels = channels
        self.frame_bytes = 2 * channels
        self.latency_msec = latency_msec
        self.keep = keep
        self.path = path
        self._buf = bytearray()
        self._total = 0                 # bytes received, kept or not
        self._cond = threading.Condition()
        self._proc = None
        self._thread = None
        self._eof = False

    @property
    def pid(self):
        return self._proc.pid if self._proc else None

    def start(self):
        self._proc = subprocess.Popen(
            ["parec", "-d", self.source, "--raw", "--format=s16le",
             f"--rate={self.rate}", f"--channels={self.channels}",
             f"--latency-msec={self.latency_msec}",
             "--client-name=xq-test-recorder"],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL, start_new_session=True,
            preexec_fn=_die_with_parent)
        self._thread = threading.Thread(target=self._drain, daemon=True,
                                        name="monitor-recorder")
        self._thread.start()
        return self

    def _drain(self):
        out = open(self.path, "ab") if self.path else None
        fd = self._proc.stdout.fileno()
        try:
            while True:
                chunk = os.read(fd, 65536)
                if not chunk:
                    break
                if out:
                    out.write(chunk)
                with self._cond:
                    if self.keep:
                        self._buf += chunk
                    self._total += len(chunk)
                    self._cond.notify_all()
        finally:
            if out:
                out.close()
            with self._cond:
                self._eof = True
                self._cond.notify_all()

    @property
    def frames(self):
        """Frames recorded so far (whole frames only)."""
        with self._cond:
            return self._total // self.frame_bytes

    def wait_frames(self, count, timeout):
        """Block until `count` frames have been recorded in total."""
        deadline = time.monotonic() + timeout
        with self._cond:
            while self._total // self.frame_bytes < count:
                left = deadline - time.monotonic()
                if self._eof:
                    raise NullSinkError("recorder ended after "
                                        f"{self._total // self.frame_bytes}"
                                        f" of {count} frames")
                if left <= 0:
                    raise TimeoutError(
                        f"recorded {self._total // self.frame_bytes} of "
                        f"{count} frames within {timeout} s")
                self._cond.wait(left)
        return count

    def data(self, start=0, end=None):
        """Raw bytes of frames [start, end)."""
        if not self.keep:
            raise NullSinkError("recorder was started with keep=False")
        with self._cond:
            n = len(self._buf) // self.frame_bytes
            end = n if end is None else min(end, n)
            start = max(0, min(start, end))
            return bytes(self._buf[start * self.frame_bytes:
                                   end * self.frame_bytes])

    def stop(self):
        _stop_process(self._proc)
        if self._thread:
            self._thread.join(5)
        if self._proc and self._proc.stdout:
            self._proc.stdout.close()


class NullSink:
    """Private PulseAudio server with one null sink (context manager).

    Parameters: sink name, rate, channels; `record` starts a MonitorRecorder
    on SINK.monitor right away (also keeps the sink's latency low);
    `keep_audio=False` lets that recorder discard what it reads;
    `record_path` also appends the raw monitor audio to a file.

    Rewinds are off by default: with them, the sink re-renders its last
    block when a stream starts (or changes volume, seeks, ...) and the
    monitor, which has passed the old block on already, never shows the
    first ~20 ms of the new data.  Without them the recording is exactly
    what was mixed, at the cost of up to one block (~20 ms) of latency.
    """

    def __init__(self, sink_name=DEFAULT_SINK, rate=RATE, channels=CHANNELS,
                 record=True, keep_audio=True, record_path=None,
                 latency_msec=20, rewinds=False, start_timeout=15.0):
        self.sink_name = sink_name
        self.rate = rate
        self.channels = channels
        self.record = record
        self.keep_audio = keep_audio
        self.record_path = record_path
        self.latency_msec = latency_msec
        self.rewinds = rewinds
        self.start_timeout = start_timeout
        self.dir = None
        self.proc = None
        self.recorder = None

    # -- paths and environments -------------------------------------------
    @property
    def socket(self):
        return os.path.join(self.dir, "native")

    @property
    def monitor(self):
        return self.sink_name + ".monitor"

    @property
    def pid(self):
        return self.proc.pid if self.proc else None

    @property
    def log_path(self):
        return os.path.join(self.dir, "server.log")

    def client_vars(self):
        """The variables a client needs to reach this server (and nothing
        else of ours); pass these to the program under test."""
        return _client_vars(self.dir)

    def client_env(self, base=None):
        """A full environment (os.environ or `base`) for a client."""
        env = _base_env() if base is None else dict(base)
        env.update(self.client_vars())
        return env

    def _server_env(self):
        env = _base_env()
        env.update({
            "HOME": self.dir,
            "PULSE_RUNTIME_PATH": os.path.join(self.dir, "runtime"),
            "PULSE_STATE_PATH": os.path.join(self.dir, "state"),
            "XDG_CONFIG_HOME": os.path.join(self.dir, "config"),
            "PULSE_CLIENTCONFIG": os.path.join(self.dir, "client.conf"),
        })
        env.pop("XDG_RUNTIME_DIR", None)
        return env

    def log(self):
        try:
            with open(self.log_path, errors="replace") as f:
                return f.read()
        except (OSError, TypeError):
            return ""

    # -- life cycle -------------------------------------------------------
    def start(self):
        self.dir = _short_tempdir("xqpa.")
        try:
            self._start()
        except BaseException:
            self.stop()
            raise
        return self

    def _start(self):
        for sub in ("runtime", "state", "config", "client-runtime",
                    "client-state"):
            os.mkdir(os.path.join(self.dir, sub), 0o700)
        _write_client_conf(self.dir)
        script = os.path.join(self.dir, "server.pa")
        with open(script, "w") as f:
            f.write(
                f"load-module module-null-sink sink_name={self.sink_name} "
                f"rate={self.rate} channels={self.channels} "
                f"norewinds={0 if self.rewinds else 1}\n"
                "load-module module-native-protocol-unix auth-anonymous=1 "
                f"socket={self.socket}\n"
                f"set-default-sink {self.sink_name}\n")
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen(
                ["pulseaudio", "-n", "-F", script, "--daemonize=no",
                 "--system=no", "--exit-idle-time=-1", "--use-pid-file=no",
                 "--realtime=no", "--high-priority=no",
                 "--log-target=stderr"],
                env=self._server_env(), stdin=subprocess.DEVNULL,
                stdout=log, stderr=log, start_new_session=True, cwd=self.dir,
                preexec_fn=_die_with_parent)
        deadline = time.monotonic() + self.start_timeout
        while not self._answers():
            if self.proc.poll() is not None:
                raise NullSinkError(
                    f"pulseaudio exited with {self.proc.returncode}:\n"
                    + self.log())
            if time.monotonic() > deadline:
                raise NullSinkError("pulseaudio did not answer within "
                                    f"{self.start_timeout} s:\n" + self.log())
            time.sleep(0.02)
        if self.record:
            self.recorder = MonitorRecorder(
                self.client_env(), self.monitor, self.rate, self.channels,
                self.latency_msec, keep=self.keep_audio,
                path=self.record_path).start()
            self._wait_recorder_connected(deadline)
            # Re-arm the sink's timer so it switches to the recorder's
            # latency now rather than at the end of its first 2 s block.
            self.pactl("suspend-sink", self.sink_name, "1")
            self.pactl("suspend-sink", self.sink_name, "0")
            self.recorder.wait_frames(1, max(0.1, deadline - time.monotonic()))

    def _answers(self):
        return subprocess.run(
            ["pactl", "info"], env=self.client_env(),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL).returncode == 0

    def _wait_recorder_connected(self, deadline):
        while "xq-test-recorder" not in self.pactl(
                "list", "source-outputs"):
            if self.recorder._proc.poll() is not None:
                raise NullSinkError("parec exited with "
                                    f"{self.recorder._proc.returncode}")
            if time.monotonic() > deadline:
                raise NullSinkError("parec did not connect to "
                                    f"{self.monitor}")
            time.sleep(0.01)

    def pactl(self, *args):
        """Run pactl against this server and return its stdout."""
        r = subprocess.run(["pactl", *args], env=self.client_env(),
                           stdin=subprocess.DEVNULL, capture_output=True,
                           text=True, timeout=10)
        if r.returncode:
            raise NullSinkError(f"pactl {' '.join(args)}: {r.stderr.strip()}")
        return r.stdout

    def stop(self):
        try:
            if self.recorder:
                self.recorder.stop()
        finally:
            _stop_process(self.proc)
            if self.dir:
                shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class UnreachableServer:
    """Client variables naming a socket that does not exist (context
    manager), for testing how a program copes with no sound server."""

    def __init__(self):
        self.dir = None

    def client_vars(self):
        return _client_vars(self.dir)

    def client_env(self, base=None):
        """A full environment (os.environ or `base`) for a client."""
        env = _base_env() if base is None else dict(base)
        env.update(self.client_vars())
        return env

    def __enter__(self):
        self.dir = _short_tempdir("xqpa.")
        _write_client_conf(self.dir)
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.dir, ignore_errors=True)


# -- command line -----------------------------------------------------------
def _run(args):
    forwarded = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT)
    with NullSink(sink_name=args.sink, record=not args.no_recorder,
                  keep_audio=False, record_path=args.record) as pa:
        child = subprocess.Popen(args.command, env=pa.client_env())
        # Handlers (not SIG_IGN) so the child starts with default actions.
        def forward(signum, _frame):
            try:
                child.send_signal(signum)
            except ProcessLookupError:
                pass
        old = {s: signal.signal(s, forward) for s in forwarded}
        try:
            status = child.wait()
        finally:
            for s, h in old.items():
                signal.signal(s, h)
            if child.poll() is None:
                child.kill()
                child.wait()
    return 128 - status if status < 0 else status


def main(argv=None):
    p = argparse.ArgumentParser(
        description="Private PulseAudio server with a null sink.")
    sub = p.add_subparsers(dest="cmd", required=True)
    r = sub.add_parser("run", help="run COMMAND against a private null sink")
    r.add_argument("--sink", default=DEFAULT_SINK, help="sink name")
    r.add_argument("--record", metavar="FILE",
                   help="append the sink's output to FILE "
                        f"(raw s16le, {RATE} Hz, {CHANNELS} channels)")
    r.add_argument("--no-recorder", action="store_true",
                   help="no monitor recorder (first writes block ~2 s)")
    r.add_argument("command", nargs=argparse.REMAINDER)
    args = p.parse_args(argv)
    if args.command and args.command[0] == "--":
        args.command = args.command[1:]
    if not args.command:
        p.error("run needs a command after --")
    try:
        return _run(args)
    except FileNotFoundError as e:
        print(f"nullsink: {e}", file=sys.stderr)
        return 127
    except NullSinkError as e:
        print(f"nullsink: {e}", file=sys.stderr)
        return 125


if __name__ == "__main__":
    sys.exit(main())
