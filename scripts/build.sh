#!/usr/bin/env bash
# Configures and builds xq for our own use: warnings are errors.
#
#   scripts/build.sh [DIR [CMAKE_ARGS...]]           everything, tests included
#   scripts/build.sh --player [DIR [CMAKE_ARGS...]]  the player alone
#   scripts/build.sh --unit-tests [DIR [CMAKE_ARGS...]]  the unit test programs alone
#
# DIR defaults to build/; further arguments go to CMake's configure step.
# --player builds only the xq target and leaves the choice of tests to the
# build directory's cache (off in a new one), so it needs neither GoogleTest
# nor Python and compiles no test program. --unit-tests builds what the
# unit tests run and nothing else (no player, tools or benchmarks): what a
# build that only runs them needs.
set -euo pipefail
cd "$(dirname "$0")/.."
player_only=0
unit_tests_only=0
case "${1:-}" in
--player)
    player_only=1
    shift
    ;;
--unit-tests)
    unit_tests_only=1
    shift
    ;;
esac
dir=${1:-build}
shift || true

configure=(-DXQ_WERROR=ON)
[ "$player_only" -eq 1 ] || configure+=(-DBUILD_TESTING=ON)
echo "==> Configuring $dir/"
cmake -S . -B "$dir" "${configure[@]}" "$@"
echo "==> Building $dir/"
if [ "$player_only" -eq 1 ]; then
    cmake --build "$dir" -j "$(nproc)" --target xq
elif [ "$unit_tests_only" -eq 1 ]; then
    cmake --build "$dir" -j "$(nproc)" --target xq_unit_tests
else
    cmake --build "$dir" -j "$(nproc)"
fi
