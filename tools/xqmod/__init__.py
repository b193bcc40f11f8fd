"""Module writer for xq: a format-neutral song model and writers for
ProTracker MOD, FastTracker 2 XM, Impulse Tracker IT and Scream Tracker 3 S3M.
`modwriter.py` one level up is the public face (library and command line)."""

from __future__ import annotations

from pathlib import Path

from . import fmt_it, fmt_mod, fmt_s3m, fmt_xm
from .model import Song

WRITERS = {"mod": fmt_mod.write, "xm": fmt_xm.write, "it": fmt_it.write, "s3m": fmt_s3m.write}
EXTENSIONS = {fmt: "." + fmt for fmt in WRITERS}


def encode(song: Song) -> bytes:
    """The module file for `song`, in `song.format`."""
    try:
        writer = WRITERS[song.format]
    except KeyError:
        raise ValueError(f"unknown format {song.format!r}") from None
    return writer(song)


def write_song(song: Song, path: str | Path) -> bytes:
    data = encode(song)
    Path(path).write_bytes(data)
    return data
