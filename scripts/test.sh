#!/usr/bin/env bash
# Builds and runs every test: the CTest suite, the core under ASan+UBSan, the worker under
# TSan, and each fuzz target for a short fixed time. Fails on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
fuzz_seconds=${VELTRONA_FUZZ_SECONDS:-20}

scripts/install-deps.sh

echo "== build and test =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
ctest --test-dir build -j2 --output-on-failure --timeout 300

echo "== core under AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRONA_CORE_ONLY=ON \
    -DVELTRONA_SANITIZE=address,undefined
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j2 --output-on-failure --timeout 300

echo "== worker under ThreadSanitizer =="
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELTRONA_CORE_ONLY=ON \
    -DVELTRONA_SANITIZE=thread
cmake --build build-tsan -j2
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan -j2 --output-on-failure --timeout 300 -L threads --no-tests=error

echo "== fuzzing (${fuzz_seconds} s per target) =="
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRONA_FUZZ=ON
cmake --build build-fuzz -j2
for target in build-fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$root/build-fuzz/corpus-$name"
    mkdir -p "$corpus"
    seeds="$root/fuzz/seeds/${name#fuzz_}"
    [ -d "$seeds" ] || seeds=""
    echo "-- $name"
    log="$root/build-fuzz/$name.log"
    if ! "$target" -max_total_time="$fuzz_seconds" -max_len=300 -print_final_stats=1 \
        "$corpus" $seeds >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "fuzz target $name failed"
        exit 1
    fi
    tail -n 8 "$log"
done

echo "All tests passed."
