#!/bin/sh
# Line and branch coverage of src/ by the test suites: builds with --coverage
# into a folder of its own (build-cov, or the first argument), runs every
# test, and prints gcovr's summary. Extra arguments go to ctest.
# Counters are updated atomically: the remap and the image writers run on
# two threads, and racing updates left negative counts that gcovr refuses.
#     scripts/coverage.sh [build-dir] [ctest args...]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-cov}
[ $# -gt 0 ] && shift
command -v gcovr >/dev/null || { echo "coverage: gcovr is not installed (scripts/install-deps.sh)" >&2; exit 2; }
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DORLO_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
find "$build" -name '*.gcda' -delete
# A failing test still leaves its coverage behind; report it all the same.
(cd "$build" && ctest -j"$(nproc)" --timeout 600 "$@" >"$build/ctest.log" 2>&1) ||
    echo "coverage: some tests failed, see $build/ctest.log" >&2
tail -n 3 "$build/ctest.log"
gcovr --root "$top" --filter "$top/src/" --object-directory "$build" \
    --exclude-unreachable-branches --exclude-throw-branches --print-summary \
    -o "$build/coverage.txt" "$build"
