#!/usr/bin/env bash
# Installs what xq and its tests need, builds, and runs every test: the unit
# tests, the end-to-end tests in tmux, the audio tests against a private
# PulseAudio null sink, and the unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh build
scripts/build.sh build-asan -DXQ_SANITIZE=ON -DXQ_TERMINAL_TESTS=OFF -DCMAKE_BUILD_TYPE=Debug
# Serially: the audio tests measure gaps in real-time sound, which other
# tests running beside them on a small machine could cause.
ctest --test-dir build --output-on-failure
ctest --test-dir build-asan --output-on-failure -L unit
