#!/bin/sh
# Runs every fuzz target for a bounded time, two at a time, from the build
# folder made by CMakeLists.txt here. Usage: run_all.sh BUILD_DIR [SECONDS]
# Corpora grow in BUILD_DIR/corpus/<target>, logs go to BUILD_DIR/logs and
# crash inputs to BUILD_DIR/crash/<target>/.
set -u
B=$(cd "${1:?build folder}" && pwd)   # absolute: some targets change folder
T=${2:-120}
S=$B/seeds
mkdir -p "$B/logs"
run() {
    name=$1; shift
    # Seed folders not filled at configure time start empty.
    mkdir -p "$B/corpus/$name" "$B/crash/$name" "$@"
    "$B/fuzz_$name" "$B/corpus/$name" "$@" -max_total_time="$T" -timeout=5 \
        -rss_limit_mb=2048 -max_len=65536 -close_fd_mask=1 \
        -artifact_prefix="$B/crash/$name/" > "$B/logs/$name.log" 2>&1
    echo "$name: exit $? $(grep -E '^(#[0-9]+.*DONE|Done [0-9]+ runs)' "$B/logs/$name.log" | tail -1)"
}
pair() { run "$@" & }
run area "$S/area" & run img "$S/image"; wait
run png "$S/image" & run xwd "$S/image"; wait
run gif "$S/image"
run clr "$S/colour" & run enhance "$S/colour"; wait
run attrib "$S/attrib" & run domain "$S/domain"; wait
run region "$S/text" & run resfile "$S/text"; wait
run cmdline "$S/cmdline" & run name_conv "$S/conv"; wait
run filereq "$S/filereq" & run date "$S/date"; wait
run places "$S/text" & run map "$S/maps"; wait
run metafile "$S/meta" & run font "$S/font"; wait
run gini "$S/gini" & run tiff "$S/tiff"; wait
run lrit "$S/lrit" & run unisys "$S/unisys"; wait
