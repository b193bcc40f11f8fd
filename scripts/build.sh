#!/usr/bin/env bash
# Configures and builds into build/ (or the directory given), passing any
# further arguments to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
