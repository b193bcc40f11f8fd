#!/usr/bin/env bash
# Installs the packages that building, playing and testing xq need, on
# Debian 12 and its relatives. Packages already installed are left alone, so
# this runs quickly (and without root) on a machine that has them all.
set -euo pipefail

packages=(
    build-essential cmake pkg-config          # compiler and build
    libmikmod-dev libncurses-dev              # the player's libraries
    libgtest-dev libgmock-dev                 # unit tests
    python3 tmux pulseaudio pulseaudio-utils  # module writer, terminal and audio tests
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
run_as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
        run_as_root=(sudo)
    else
        echo "xq: these packages are missing and installing them needs root: ${missing[*]}" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update
"${run_as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
