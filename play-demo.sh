#!/usr/bin/env bash
# Installs what xq needs, builds it and plays the bundled demo module.
# Where no sound output exists at all (a headless server), the demo plays
# into a private PulseAudio null sink, so the player can still be seen at
# work.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
demo=examples/demo.xm

has_sound_output() {
    if command -v pactl >/dev/null 2>&1 && timeout 3 pactl info >/dev/null 2>&1; then return 0; fi
    compgen -G "/dev/snd/pcmC*D*p" >/dev/null && return 0
    [ -e /dev/dsp ] && return 0
    return 1
}

if has_sound_output; then
    exec build/xq "$demo"
fi
echo "No sound output found: the demo plays into a private null sink (silent)."
exec python3 tools/nullsink.py run -- build/xq "$demo"
