#!/usr/bin/env bash
# Configures and builds xq for our own use: warnings are errors.
#
#   scripts/build.sh [DIR [CMAKE_ARGS...]]           everything, tests included
#   scripts/build.sh --player [DIR [CMAKE_ARGS...]]  the player alone
#
# DIR defaults to build/; further arguments go to CMake's configure step.
# --player builds only the xq target and leaves the choice of tests to the
# build directory's cache (off in a new one), so it needs neither GoogleTest
# nor Python and compiles no test program.
set -euo pipefail
cd "$(dirname "$0")/.."
player_only=0
if [ "${1:-}" = "--player" ]; then
    player_only=1
    shift
fi
dir=${1:-build}
shift || true

configure=(-DXQ_WERROR=ON)
[ "$player_only" -eq 1 ] || configure+=(-DBUILD_TESTING=ON)
echo "==> Configuring $dir/"
cmake -S . -B "$dir" "${configure[@]}" "$@"
echo "==> Building $dir/"
if [ "$player_only" -eq 1 ]; then
    cmake --build "$dir" -j "$(nproc)" --target xq
else
    cmake --build "$dir" -j "$(nproc)"
fi
