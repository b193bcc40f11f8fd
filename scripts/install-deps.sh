#!/usr/bin/env bash
# Installs the Debian packages xq needs, on Debian 12 and its relatives.
# Packages already installed are left alone, so this runs quickly (and
# without root) on a machine that has them all.
#
#   scripts/install-deps.sh player   building and playing
#   scripts/install-deps.sh sink     a private null sink for a machine
#                                    without sound output (play-demo.sh)
#   scripts/install-deps.sh all      everything, tests and packaging included
set -euo pipefail

player=(build-essential cmake pkg-config libmikmod-dev libncurses-dev libpulse-dev libsystemd-dev libarchive-dev libbs2b-dev libkissfft-dev)
sink=(python3 pulseaudio pulseaudio-utils)
tests=(
    libgtest-dev libgmock-dev           # unit tests
    python3 tmux                        # module writer, terminal tests
    pulseaudio pulseaudio-utils         # audio tests (a private null sink)
    dpkg-dev file                       # cpack's .deb: shlibdeps
    lintian binutils                    # checking the .deb (readelf: its hardening)
    man-db groff-base                   # checking the manual page
    util-linux                          # setpriv: a remote client of another user
    dbus-daemon dbus-bin playerctl      # a private session bus and a desktop's media keys
    p7zip-full jlha-utils               # archive fixtures: 7z and lha packs
)

case "${1:-all}" in
    player) packages=("${player[@]}") ;;
    sink) packages=("${sink[@]}") ;;
    all) packages=("${player[@]}" "${tests[@]}") ;;
    *) echo "usage: $0 [player|sink|all]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "==> Installing: ${missing[*]}"
run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        run_as_root=(sudo)
    else
        echo "xq: these packages are missing and installing them needs root: ${missing[*]}" >&2
        exit 1
    fi
fi
"${run_as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${run_as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
