#!/usr/bin/env bash
# Installs what xq and its tests need, builds, and runs every test: the unit
# tests, the end-to-end tests in tmux (one of them on the player built with
# ThreadSanitizer) and the audio tests against private PulseAudio null
# sinks, in a Release build, the one the Debian package is made from; the
# unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
# and the Debian package (built with cpack, unpacked into a scratch root and
# checked; set XQ_INSTALL_DEB=1, as CI does, to also install it with dpkg).
set -euo pipefail
cd "$(dirname "$0")"
started=$SECONDS
phase_started=$SECONDS
times=()
phase_done() {
    times+=("$(printf '%-34s %4d s' "$1" $((SECONDS - phase_started)))")
    phase_started=$SECONDS
}
report_times() {
    echo "==> Where the time went:"
    printf '    %s\n' "${times[@]}"
    printf '    %-34s %4d s\n' "in all" $((SECONDS - started))
}
trap report_times EXIT

scripts/install-deps.sh all
phase_done "installing the packages"
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DXQ_TSAN_PLAYER=ON
phase_done "building build/"
scripts/build.sh --unit-tests build-asan -DXQ_SANITIZE=ON -DXQ_TERMINAL_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug
phase_done "building build-asan/ (unit tests)"
# The builds leave a few hundred megabytes for the kernel to write out;
# that happens now rather than under the audio tests.
sync
jobs=$(nproc)
ctest --test-dir build --output-on-failure -LE e2e -j "$jobs"
ctest --test-dir build-asan --output-on-failure -L unit -j "$jobs"
phase_done "unit tests (both builds)"
# The end-to-end tests mostly wait on the terminal and the sound: files run
# side by side, but the tests whose verdict rests on the recorded sound run
# with nothing beside them (RUN_SERIAL), since a gap of sound is a fault,
# not noise, and every test must pass at once.
ctest --test-dir build --output-on-failure -L e2e -j "${XQ_E2E_JOBS:-4}"
phase_done "end-to-end and audio tests"
if [ "${XQ_INSTALL_DEB:-0}" = 1 ]; then
    scripts/check-deb.sh --install build
else
    scripts/check-deb.sh build
fi
phase_done "the Debian package"
echo "==> All tests passed."
