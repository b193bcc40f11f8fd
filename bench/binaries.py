"""The programs every benchmark plays: xq and the bare library loop."""

import os
import sys


def player_binaries(build):
    """(xq, bare_feeder) of the build folder `build`; ends the benchmark
    with a hint when either is missing."""
    xq = os.path.join(build, "xq")
    feeder = os.path.join(build, "bench", "bare_feeder")
    for binary in (xq, feeder):
        if not os.access(binary, os.X_OK):
            sys.exit(f"{binary} is missing: build first (cmake --build {build})")
    return xq, feeder
