"""Drive a full-screen terminal program inside a private tmux server.

    with Terminal(["./xq", "song.mod"], env=pa.client_vars()) as t:
        t.wait_for("Playing")
        t.send_keys("Down", "Enter")
        t.type_text("q")
        status = t.wait_exit()
        print(t.text_after_alt_screen())

Each Terminal has its own tmux server (socket in a short /tmp/xqtm.XXXXXX
directory), its own HOME (created unless given) and a fixed size (80x24 by
default, no status line).  TERM is xterm-256color.

The pane runs a small sh wrapper that waits for a go-file and then execs the
program, so the program's PID is the pane's PID and `tmux pipe-pane` is
already logging before the program writes its first byte.  The program's
stderr goes to a file, not to the screen.  The pane stays after the program
exits (remain-on-exit) so its exit status can be read.

Works without a controlling terminal and with stdin closed.  If the test
process dies without closing a Terminal (a runner's timeout, say), a guard
process ends that tmux server and the program.  The guard belongs to the
thread that created the Terminal: create and use it in one thread.
"""

import os
import re
import shlex
import shutil
import signal as _signal
import subprocess
import tempfile
import time
import unicodedata
from collections import namedtuple

# sh -c _WRAPPER GO-FILE STDERR-FILE PROGRAM ARGS...
_WRAPPER = ('while [ ! -e "$0" ]; do sleep 0.005; done; '
            'e=$1; shift; exec "$@" 2>"$e"')

# sh -c _GUARD guard SOCKET PROGRAM-PID DIR: ends tmux and the program's
# process group and removes DIR when it gets SIGTERM, which the kernel sends
# if the process that started it dies without closing the Terminal.
_GUARD = ('trap \'tmux -S "$1" kill-server 2>/dev/null; '
          'kill -KILL -"$2" 2>/dev/null; kill $s; rm -rf "$3"; exit\' TERM; '
          'sleep 2147483647 & s=$!; wait')

_CONF = """\
set -g default-terminal xterm-256color
set -g remain-on-exit on
set -g remain-on-exit-format ""
set -g status off
set -g history-limit 0
set -g default-size {w}x{h}
set -s escape-time 0
"""
# An empty remain-on-exit-format also stops tmux from scrolling the dead
# pane up a line to show its "Pane is dead" notice, so the final screen
# stays as the program left it.
# Note: "set -g window-size manual" in the configuration file makes the
# tmux 3.3a server crash on start-up; resize() uses resize-window, which
# switches the window to manual sizing by itself.


class TerminalError(AssertionError):
    pass


_MIN_TMUX = (3, 3)      # remain-on-exit-format, pane_dead_signal
_tmux_version = None


def tmux_version():
    """tmux's version as a tuple, e.g. (3, 3) for "tmux 3.3a"."""
    global _tmux_version
    if _tmux_version is None:
        out = subprocess.run(["tmux", "-V"], capture_output=True, text=True,
                             stdin=subprocess.DEVNULL).stdout
        m = re.search(r"(\d+)\.(\d+)", out)
        _tmux_version = (int(m.group(1)), int(m.group(2))) if m else (0, 0)
    return _tmux_version


def alive(pid):
    """True if process `pid` exists and is not a zombie."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as f:
            stat = f.read()
    except OSError:
        return False
    return stat[stat.rfind(b")") + 2:][:1] not in (b"Z", b"X")


def _group_members(pgid):
    """Live processes in process group `pgid`."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat", "rb") as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rfind(b")") + 2:].split()
        if fields[0] not in (b"Z", b"X") and int(fields[2]) == pgid:
            found.append(int(name))
    return found


def _die_with_parent():
    """preexec_fn: the kernel sends SIGTERM to the child when the thread
    that started it ends."""
    try:
        import ctypes
        ctypes.CDLL(None, use_errno=True).prctl(1, _signal.SIGTERM, 0, 0, 0)
    except (OSError, AttributeError):
        pass


def poll_until(cond, timeout, interval=0.01):
    """Call cond() until it returns something true or the deadline
    passes; returns the last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = cond()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


# -- screen contents with attributes ----------------------------------------
Cell = namedtuple("Cell", "char fg bg bold dim italic underline blink "
                          "reverse hidden strike")
Cell.__doc__ = """One screen cell.  fg/bg: None (default colour), 0-255
(palette; 90-97 map to 8-15) or an (r, g, b) tuple.  The right half of a
double-width character has char ''."""

_BLANK = Cell(" ", None, None, False, False, False, False, False, False,
              False, False)
_FLAG_ON = {1: "bold", 2: "dim", 3: "italic", 4: "underline", 5: "blink",
            7: "reverse", 8: "hidden", 9: "strike"}
_FLAG_OFF = {22: ("bold", "dim"), 23: ("italic",), 24: ("underline",),
             25: ("blink",), 27: ("reverse",), 28: ("hidden",),
             29: ("strike",)}
# CSI (groups: parameters, intermediates, final byte), OSC, charset
# designations and other two-byte escapes.
_ESC = re.compile(r"\x1b(?:\[([0-?]*)([ -/]*)([@-~])"
                  r"|\][^\x07\x1b]*(?:\x07|\x1b\\)?"
                  r"|[()*+-./][ -~]|[ -~])")
_CONTROLS = re.compile(r"[\x00-\x08\x0b-\x1f\x7f]")


def _apply_sgr(state, params):
    """Update the attribute dict `state` with one SGR parameter string."""
    if params == "":
        params = "0"
    parts = params.split(";")
    i = 0
    while i < len(parts):
        sub = parts[i].split(":")
        code = int(sub[0] or 0)
        if code == 0:
            state.update(_BLANK._asdict())
            del state["char"]
        elif code in _FLAG_ON:
            # 4:0 turns underline off; 4:N are underline styles
            state[_FLAG_ON[code]] = not (code == 4 and sub[1:2] == ["0"])
        elif code in _FLAG_OFF:
            for name in _FLAG_OFF[code]:
                state[name] = False
        elif 30 <= code <= 37:
            state["fg"] = code - 30
        elif 40 <= code <= 47:
            state["bg"] = code - 40
        elif 90 <= code <= 97:
            state["fg"] = code - 90 + 8
        elif 100 <= code <= 107:
            state["bg"] = code - 100 + 8
        elif code == 39:
            state["fg"] = None
        elif code == 49:
            state["bg"] = None
        elif code in (38, 48, 58):
            if len(sub) > 1:            # colon form: 38:5:n or 38:2:[cs]:r:g:b
                args = [int(x or 0) for x in sub[1:]]
            else:                       # semicolon form uses following parts
                kind = int(parts[i + 1]) if i + 1 < len(parts) else 0
                n = 1 if kind == 5 else 3 if kind == 2 else 0
                args = [kind] + [int(x or 0) for x in parts[i + 2:i + 2 + n]]
                i += 1 + n
            colour = None
            if args and args[0] == 5 and len(args) >= 2:
                colour = args[1]
            elif args and args[0] == 2 and len(args) >= 4:
                colour = tuple(args[-3:])
            if code != 58:
                state["fg" if code == 38 else "bg"] = colour
        i += 1


def _char_width(ch):
    if unicodedata.combining(ch):
        return 0
    return 2 if unicodedata.east_asian_width(ch) in ("W", "F") else 1


# The line-drawing set a program selects with the terminal's alternate
# character set; tmux's capture brackets such cells with SO and SI.
_LINE_DRAWING = dict(zip("jklmnqtuvwx`afg~,+.-0hiyz{|}",
                         "┘┐┌└┼─├┤┴┬│◆▒°±·←→↓↑█▒␋≤≥π≠£"))


def parse_capture(text, width=None):
    """Parse `capture-pane -p -e` output into rows of Cells.  Attributes
    carry over from one line to the next, as tmux emits them; cells of the
    alternate character set read as the box-drawing characters they show.
    Rows are padded with blank cells to `width` if given."""
    state = _BLANK._asdict()
    del state["char"]
    rows = []
    line_drawing = False

    def put_text(row, chunk):
        nonlocal line_drawing
        for ch in chunk:
            if ch == "\x0e":
                line_drawing = True
            elif ch == "\x0f":
                line_drawing = False
            else:
                _put(row, _LINE_DRAWING.get(ch, ch) if line_drawing else ch, state)

    for line in text.split("\n"):
        row = []
        pos = 0
        for m in _ESC.finditer(line):
            put_text(row, line[pos:m.start()])
            pos = m.end()
            params, inter, final = m.group(1, 2, 3)
            if final == "m" and not inter and not params.startswith(
                    ("?", ">", "<", "=")):
                _apply_sgr(state, params)
        put_text(row, line[pos:])
        if width is not None:
            row.extend([_BLANK] * (width - len(row)))
        rows.append(row)
    return rows


def _put(row, ch, state):
    w = _char_width(ch)
    if w == 0 and row:
        last = row[-1]
        row[-1] = last._replace(char=last.char + ch)
        return
    row.append(Cell(ch, **state))
    if w == 2:
        row.append(Cell("", **state))


class Screen:
    """A snapshot of the pane with attributes (see Cell)."""

    def __init__(self, rows, width, height):
        self.width = width
        self.height = height
        self.rows = rows[:height] + [[_BLANK] * width
                                     for _ in range(height - len(rows))]
        for r in self.rows:
            del r[width:]

    def text(self, row):
        """Row as a string, one character per cell (trailing spaces kept)."""
        return "".join(c.char for c in self.rows[row])

    @property
    def lines(self):
        return [self.text(r).rstrip() for r in range(self.height)]

    def find(self, text):
        """All (row, col) positions where `text` starts."""
        hits = []
        for r in range(self.height):
            line = self.text(r)
            start = line.find(text)
            while start >= 0:
                hits.append((r, self._col(r, start)))
                start = line.find(text, start + 1)
        return hits

    def _col(self, row, index):
        # index into text(row) -> column; they differ only after wide chars
        n = 0
        for col, c in enumerate(self.rows[row]):
            if n == index:
                return col
            n += len(c.char)
        return len(self.rows[row])

    def cell(self, row, col):
        return self.rows[row][col]

    def cells_of(self, text, occurrence=0):
        """The cells showing the `occurrence`-th match of `text`."""
        hits = self.find(text)
        if len(hits) <= occurrence:
            raise TerminalError(f"{text!r} is not on the screen:\n{self}")
        r, c = hits[occurrence]
        out, n = [], 0
        while n < len(text):
            cell = self.rows[r][c]
            out.append(cell)
            n += len(cell.char)
            c += 1
        return out

    def style_of(self, text, occurrence=0):
        """Attributes shared by every cell of `text` as a dict (attributes
        that differ between its cells are left out)."""
        cells = self.cells_of(text, occurrence)
        common = cells[0]._asdict()
        del common["char"]
        for cell in cells[1:]:
            for k in list(common):
                if getattr(cell, k) != common[k]:
                    del common[k]
        return common

    def row_has(self, row, **attrs):
        """True if every cell of the row has the given attribute values
        (e.g. reverse=True, bg=4)."""
        return all(getattr(c, k) == v for c in self.rows[row]
                   for k, v in attrs.items())

    def rows_where(self, **attrs):
        return [r for r in range(self.height) if self.row_has(r, **attrs)]

    def __str__(self):
        return "\n".join(self.lines)


# -- the terminal -------------------------------------------------------------
class Terminal:
    """A program running full-screen in a private tmux pane.

    argv      program and arguments (argv[0] looked up in PATH unless it
              has a slash; relative paths are taken from the current
              directory)
    width, height   pane size
    env       extra environment for the program (dict; a value None removes
              the variable from the inherited environment)
    home      HOME for the program; a fresh temporary directory by default
    cwd       working directory (default: HOME)
    lang      LANG for the program; LC_ALL and LC_CTYPE are dropped unless
              given in env (None: inherit the locale)

    Once the program has exited, output_text_after_exit() and
    text_after_alt_screen() end the tmux server to be sure every byte has
    reached the log; screen(), screen_cells() and exit_status() keep
    answering with the final state.
    """

    def __init__(self, argv, *, width=80, height=24, env=None, home=None,
                 cwd=None, lang="C.UTF-8", start=True, start_timeout=10.0):
        self.argv = [str(a) for a in argv]
        if "/" in self.argv[0]:         # the pane starts in HOME
            self.argv[0] = os.path.abspath(self.argv[0])
        self.width = width
        self.height = height
        self.extra_env = dict(env or {})
        self.home = home
        self.cwd = cwd
        self.lang = lang
        self.start_timeout = start_timeout
        self.dir = None
        self.pid = None
        self.server_pid = None
        self._pipe_pid = None
        self._guard = None
        self._status = None
        self._final = None              # (rows, colour capture) after finish
        self._closed = False
        self._log_cache = self._stderr_cache = b""
        if start:
            self.start()

    # -- paths --------------------------------------------------------------
    @property
    def socket(self):
        return os.path.join(self.dir, "s")

    @property
    def log_path(self):
        return os.path.join(self.dir, "output.log")

    @property
    def stderr_path(self):
        return os.path.join(self.dir, "stderr.txt")

    # -- tmux ---------------------------------------------------------------
    def _tmux_env(self):
        env = dict(os.environ)
        for var in ("TMUX", "TMUX_PANE", "TMUX_TMPDIR"):
            env.pop(var, None)
        if self.lang:
            for var in ("LC_ALL", "LC_CTYPE"):
                if var not in self.extra_env:
                    env.pop(var, None)
        for k, v in self.extra_env.items():
            if v is None:
                env.pop(k, None)
        return env

    def tmux(self, *args, check=True):
        """Run a tmux command on this terminal's server; returns stdout."""
        r = subprocess.run(["tmux", "-u", "-S", self.socket, *args],
                           env=self._tmux_env(), stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=30)
        if check and r.returncode:
            raise TerminalError(
                f"tmux {' '.join(args)} failed ({r.returncode}): "
                f"{r.stderr.decode(errors='replace').strip()}")
        return r.stdout.decode("utf-8", errors="replace")

    def _fmt(self, fmt):
        return self.tmux("display-message", "-p", "-t", "xq:0.0",
                         fmt).rstrip("\n")

    # -- life cycle -----------------------------------------------------
    def start(self):
        if tmux_version() < _MIN_TMUX:
            raise TerminalError("tmux %d.%d or later is needed" % _MIN_TMUX)
        # A fresh socket path each time: a tmux server started on the path
        # of one that is still shutting down sometimes fails to start.
        self.dir = tempfile.mkdtemp(prefix="xqtm.", dir="/tmp")
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def _start(self):
        if self.home is None:
            self.home = os.path.join(self.dir, "home")
            os.mkdir(self.home)
        go = os.path.join(self.dir, "go")
        conf = os.path.join(self.dir, "tmux.conf")
        with open(conf, "w") as f:
            f.write(_CONF.format(w=self.width, h=self.height))
        pane_env = {"HOME": self.home}
        if self.lang:
            pane_env["LANG"] = self.lang
        pane_env.update({k: v for k, v in self.extra_env.items()
                         if v is not None})
        args = ["-f", conf, "new-session", "-d", "-s", "xq",
                "-x", str(self.width), "-y", str(self.height),
                "-c", self.cwd or self.home]
        for k, v in pane_env.items():
            args += ["-e", f"{k}={v}"]
        wrapper = ["sh", "-c", _WRAPPER, go, self.stderr_path, *self.argv]
        self.tmux(*args, "--", *wrapper)
        info = self._fmt("#{pid} #{pane_pid}").split()
        self.server_pid, self.pid = int(info[0]), int(info[1])
        self._guard = subprocess.Popen(
            ["sh", "-c", _GUARD, "guard", self.socket, str(self.pid),
             self.dir],
            env=self._tmux_env(), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True, preexec_fn=_die_with_parent)
        pipe_pid = os.path.join(self.dir, "pipe.pid")
        self.tmux("pipe-pane", "-o", "-t", "xq:0.0",
                  f"echo $$ > {shlex.quote(pipe_pid)}; "
                  f"exec cat >> {shlex.quote(self.log_path)}")
        if not poll_until(lambda: self._read(pipe_pid).strip(),
                          self.start_timeout):
            raise TerminalError("pipe-pane did not start")
        self._pipe_pid = int(self._read(pipe_pid))
        # The pane's process is a forked tmux first, then the wrapper, then
        # the program; wait for each step so that signals reach the program.
        waiting = ("\0".join(wrapper) + "\0").encode()
        if not poll_until(lambda: self._cmdline() == waiting
                          or not alive(self.pid), self.start_timeout, 0.002):
            raise TerminalError("the pane's wrapper did not start")
        with open(go, "w"):
            pass
        if not poll_until(lambda: self._cmdline() != waiting
                          or not alive(self.pid), self.start_timeout, 0.002):
            raise TerminalError(f"{self.argv[0]} was not started")

    def _cmdline(self):
        try:
            with open(f"/proc/{self.pid}/cmdline", "rb") as f:
                return f.read()
        except OSError:
            return None

    def _stop_tmux(self):
        """End the tmux server, the pipe's cat and the program with the rest
        of its process group, and wait until all are gone."""
        pids = [p for p in (self.pid, self._pipe_pid, self.server_pid) if p]

        def gone():
            return not any(map(alive, pids)) and not (
                self.pid and _group_members(self.pid))
        if self.server_pid:
            self.tmux("kill-server", check=False)
        if poll_until(gone, 1.0):
            return
        # Something ignored the hangup: kill the program's process group
        # (the pane's process leads one), then whatever is left.
        if self.pid:
            try:
                os.killpg(self.pid, _signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass
        for p in pids:
            if alive(p):
                try:
                    os.kill(p, _signal.SIGKILL)
                except ProcessLookupError:
                    pass
        if not poll_until(gone, 5.0):
            left = [p for p in pids if alive(p)]
            raise TerminalError(f"processes {left} "
                                f"{_group_members(self.pid)} survived")

    def _stop_guard(self):
        if self._guard is not None:
            try:
                os.killpg(self._guard.pid, _signal.SIGKILL)
            except ProcessLookupError:
                pass
            self._guard.wait()
            self._guard = None

    def _finish(self, timeout):
        """After the program has exited: keep the final screen and status,
        then end tmux so the pipe's cat sees EOF and writes the rest of the
        log."""
        if self._final is not None or self._closed:
            return
        self.wait_exit(timeout)
        self.exit_status()
        rows, colors = self.screen(), self.screen_colors()
        self._stop_tmux()
        self._stop_guard()
        self._final = (rows, colors)

    def close(self):
        """Stop everything this terminal started and remove its files; safe
        to call twice.  stderr() and output_bytes() stay readable."""
        if self._closed:
            return
        try:
            if self._final is None:
                self._stop_tmux()
        finally:
            self._stop_guard()
            self._closed = True
            if self.dir:
                self._log_cache = self._read(self.log_path)
                self._stderr_cache = self._read(self.stderr_path)
                shutil.rmtree(self.dir, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _check_running_server(self):
        if self._closed:
            raise TerminalError("the terminal is closed")
        if self._final is not None:
            raise TerminalError("the program has exited and tmux is gone")

    # -- input ----------------------------------------------------------
    def send_keys(self, *keys):
        """Send tmux key names: 'Enter', 'Up', 'PageDown', 'F12', 'Escape',
        'C-c', 'Space', 'BSpace', 'q' ..."""
        self._check_running_server()
        self.tmux("send-keys", "-t", "xq:0.0", *keys)

    def type_text(self, text):
        """Send `text` literally."""
        self._check_running_server()
        self.tmux("send-keys", "-t", "xq:0.0", "-l", "--", text)

    def signal(self, sig=_signal.SIGTERM):
        """Send a signal to the program."""
        if self.exited():
            raise TerminalError("the program has already exited")
        os.kill(self.pid, sig)

    def resize(self, width, height):
        """Change the pane size (the program gets SIGWINCH)."""
        self._check_running_server()
        self.tmux("resize-window", "-t", "xq:0", "-x", str(width),
                  "-y", str(height))
        self.width, self.height = width, height

    # -- screen ---------------------------------------------------------
    def screen(self):
        """The visible rows as text, trailing spaces removed; line-drawing
        cells read as box-drawing characters."""
        if self._final is not None:
            return list(self._final[0])
        return self.screen_cells().lines

    def screen_text(self):
        return "\n".join(self.screen())

    def screen_colors(self):
        """Raw `capture-pane -p -e -N` output (SGR codes, full width)."""
        if self._final is not None:
            return self._final[1]
        self._check_running_server()
        return self.tmux("capture-pane", "-p", "-e", "-N", "-t", "xq:0.0")

    def screen_cells(self):
        """Parsed Screen with per-cell attributes."""
        return Screen(parse_capture(self.screen_colors(), self.width),
                      self.width, self.height)

    def cursor(self):
        """(row, column) of the cursor."""
        self._check_running_server()
        x, y = self._fmt("#{cursor_x} #{cursor_y}").split()
        return int(y), int(x)

    def wait_for(self, cond, timeout=10.0, *, cells=False, interval=0.02):
        """Poll the screen until `cond` holds and return what it was tested
        on.  `cond` is a text (found on any row) or a predicate taking the
        list of rows, or the parsed Screen if cells=True.  Raises
        TerminalError with the last screen if the deadline passes or the
        program exits first."""
        if isinstance(cond, str):
            text = cond
            cond = (lambda s: text in str(s)) if cells else \
                (lambda rows: any(text in r for r in rows))
        deadline = time.monotonic() + timeout
        while True:
            dead = self.exited()        # checked first: the last look counts
            snap = self.screen_cells() if cells else self.screen()
            if cond(snap):
                return snap
            if dead:
                why = f"the program exited (status {self.exit_status()})"
            elif time.monotonic() >= deadline:
                why = f"timed out after {timeout} s"
            else:
                time.sleep(interval)
                continue
            shown = str(snap) if cells else "\n".join(snap)
            raise TerminalError(
                f"screen condition not met: {why}\n--- screen ---\n{shown}"
                f"\n--- stderr ---\n{self.stderr()}")

    # -- exit -------------------------------------------------------------
    def exited(self):
        """True once the program has ended and its status is known."""
        return self.exit_status() is not None

    def exit_status(self):
        """The exit code, or -N if the program was killed by signal N; None
        while it runs."""
        if self._status is None:
            self._check_running_server()
            fmt = "#{pane_dead_status}|#{pane_dead_signal}"
            code, sig = self._fmt(fmt).split("|")
            if not (code or sig) and not alive(self.pid):
                # The tmux 3.3a server sometimes misses the SIGCHLD of a
                # pane's process and leaves it a zombie, status unknown;
                # another child ending makes it reap that one too. In the
                # background: a server that misses that child's SIGCHLD as
                # well would never answer a run-shell that waits for it (the
                # next look starts another).
                self.tmux("run-shell", "-b", "true", check=False)
                time.sleep(0.01)
                code, sig = self._fmt(fmt).split("|")
            if code:
                self._status = int(code)
            elif sig:
                self._status = -int(sig)
        return self._status

    def wait_exit(self, timeout=10.0):
        """Wait for the program to end; returns exit_status()."""
        if not poll_until(self.exited, timeout, 0.02):
            raise TerminalError(
                f"{self.argv[0]} still running after {timeout} s\n"
                f"--- screen ---\n{self.screen_text()}")
        return self.exit_status()

    # -- output ---------------------------------------------------------
    @staticmethod
    def _read(path):
        try:
            with open(path, "rb") as f:
                return f.read()
        except OSError:
            return b""

    def stderr(self):
        """What the program wrote to stderr so far (text)."""
        data = self._stderr_cache if self._closed else \
            self._read(self.stderr_path)
        return data.decode("utf-8", errors="replace")

    def output_bytes(self):
        """Every byte the program wrote to the terminal so far (complete
        only after output_text_after_exit())."""
        return self._log_cache if self._closed else self._read(self.log_path)

    def output_text_after_exit(self, timeout=10.0):
        """Wait for exit, then everything written to the terminal as text
        with escape sequences and control characters (but newlines) removed.
        """
        self._finish(timeout)
        return strip_escapes(self.output_bytes().decode("utf-8",
                                                        errors="replace"))

    def text_after_alt_screen(self, timeout=10.0):
        """After exit: plain text written after the program last left the
        alternate screen (as ncurses' endwin does), or None if it never
        did."""
        self._finish(timeout)
        raw = self.output_bytes()
        cut = raw.rfind(b"\x1b[?1049l")
        if cut < 0:
            return None
        return strip_escapes(raw[cut:].decode("utf-8", errors="replace"))


def strip_escapes(text):
    """Remove escape sequences and control characters other than newline
    and tab."""
    return _CONTROLS.sub("", _ESC.sub("", text))
