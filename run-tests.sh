#!/usr/bin/env bash
# Installs what xq and its tests need, builds, and runs every test: the unit
# tests, the end-to-end tests in tmux (one of them on the player built with
# ThreadSanitizer), the audio tests against a private
# PulseAudio null sink, the unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer and in a Release build, and the Debian package
# (built with cpack, unpacked into a scratch root and checked; set
# XQ_INSTALL_DEB=1, as CI does, to also install it with dpkg).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh all
scripts/build.sh build -DXQ_TSAN_PLAYER=ON
scripts/build.sh build-asan -DXQ_SANITIZE=ON -DXQ_TERMINAL_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug
scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DXQ_TERMINAL_TESTS=OFF
# Serially: the audio tests measure gaps in real-time sound, which other
# tests running beside them on a small machine could cause. Every test must
# pass at once: a gap of sound is a fault, not noise.
# The builds leave a few hundred megabytes for the kernel to write out;
# that happens now rather than under the audio tests.
sync
ctest --test-dir build --output-on-failure -LE e2e
ctest --test-dir build --output-on-failure -L e2e
ctest --test-dir build-asan --output-on-failure -L unit
ctest --test-dir build-release --output-on-failure -L unit
if [ "${XQ_INSTALL_DEB:-0}" = 1 ]; then
    scripts/check-deb.sh --install build-release
else
    scripts/check-deb.sh build-release
fi
echo "==> All tests passed."
