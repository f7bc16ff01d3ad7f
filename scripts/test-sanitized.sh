#!/usr/bin/env bash
# Builds everything but the window with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/, asserts on, and runs the tests.
# Any memory fault, leak or undefined behaviour fails the test it happens in.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABROVIN_SANITIZE=ON \
      -DTABROVIN_GUI=OFF >/dev/null
cmake --build build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan --output-on-failure -j2 "$@"
