#!/usr/bin/env bash
# Installs what the player needs, builds the player alone and plays the
# bundled demo module. Where no sound output exists at all (a headless
# server), the demo plays into a private PulseAudio null sink, so the player
# can still be seen at work.
#
# Nothing is left behind outside this tree: the sound-output probe runs
# with a scratch home inside build/, the null sink lives in a temporary
# directory of its own that it removes, and ~/.xq is removed again when this
# run created it and nothing was saved in it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh player
scripts/build.sh --player build
demo=examples/demo.xm

# Asks the sound server (PulseAudio or PipeWire) whether it answers,
# without starting one and without writing into the user's home: pactl
# would otherwise create ~/.config/pulse and /tmp/pulse-* on a machine
# without a server.
pulse_answers() {
    command -v pactl >/dev/null 2>&1 || return 1
    local scratch status=0
    scratch=$(mktemp -d "$PWD/build/sound-probe.XXXXXX")
    printf 'autospawn = no\n' > "$scratch/client.conf"
    local cookie="${XDG_CONFIG_HOME:-$HOME/.config}/pulse/cookie"
    [ -f "$cookie" ] || cookie="$scratch/cookie"
    local probe_env=(HOME="$scratch" XDG_CONFIG_HOME="$scratch/config"
                     PULSE_CLIENTCONFIG="$scratch/client.conf" PULSE_COOKIE="$cookie"
                     PULSE_STATE_PATH="$scratch/state")
    # Without XDG_RUNTIME_DIR libpulse would make its runtime directory in
    # /tmp; a server of this user then listens in XDG_RUNTIME_DIR anyway.
    [ -n "${XDG_RUNTIME_DIR:-}" ] || probe_env+=(PULSE_RUNTIME_PATH="$scratch/runtime")
    env "${probe_env[@]}" timeout 3 pactl info >/dev/null 2>&1 || status=$?
    rm -rf "$scratch"
    return "$status"
}

has_sound_output() {
    pulse_answers && return 0
    compgen -G "/dev/snd/pcmC*D*p" >/dev/null && return 0
    [ -e /dev/dsp ] && return 0
    return 1
}

# xq creates ~/.xq on its first run; a demo run that saved nothing there
# should not leave it behind.
config_dir="${HOME:-}/.xq"
created_config_dir=0
if [ -n "${HOME:-}" ] && [ ! -e "$config_dir" ]; then created_config_dir=1; fi
cleanup() {
    if [ "$created_config_dir" -eq 1 ]; then rmdir "$config_dir" 2>/dev/null || true; fi
}
trap cleanup EXIT

if has_sound_output; then
    build/xq "$demo"
    exit
fi

notice="No sound output found: the demo plays into a private null sink (silent)."
scripts/install-deps.sh sink
echo
echo "$notice"
if [ -t 0 ] && [ -t 1 ]; then
    echo "The player starts in 3 seconds. Press q in it to quit."
    sleep 3
fi
status=0
python3 tools/nullsink.py run -- build/xq "$demo" || status=$?
echo "$notice"
exit "$status"
