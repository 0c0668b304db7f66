#!/bin/sh
# Mutation sample: puts small faults into src/ one at a time and tells which
# ones the test suites catch. Each line of the mutant file is
#     id | file | exact text | replacement
# (blank lines and lines starting with # are skipped); the text must occur
# exactly once in the file. For each mutant the file is changed, the build
# directory rebuilt, ctest run (extra arguments go to ctest, for example
# -R to pick suites), and the file restored byte for byte.
#
#     scripts/mutate.sh build scripts/mutants.txt [ctest args...]
#
# Prints one line per mutant: "<id> killed <failed test count>",
# "<id> survived", or "<id> invalid <why>" (text not found, not unique, or
# the mutant does not compile; such mutants say nothing about the tests).
set -u
[ $# -ge 2 ] || { echo "usage: $0 build-dir mutant-file [ctest args...]" >&2; exit 2; }
build=$1; list=$2; shift 2
top=$(cd "$(dirname "$0")/.." && pwd)
py=/usr/bin/python3
[ -x "$py" ] || py=python3

grep -v '^[[:space:]]*#' "$list" | grep -v '^[[:space:]]*$' | while IFS= read -r line; do
    id=$(printf '%s' "$line" | cut -d'|' -f1 | sed 's/^ *//; s/ *$//')
    file=$(printf '%s' "$line" | cut -d'|' -f2 | sed 's/^ *//; s/ *$//')
    path="$top/$file"
    backup=$(mktemp)
    cp "$path" "$backup"
    why=$(MUT_LINE="$line" "$py" - "$path" <<'PYEOF'
import os, sys
parts = [p.strip() for p in os.environ["MUT_LINE"].split("|")]
if len(parts) < 4:
    print("bad line"); sys.exit(1)
old, new = parts[2], "|".join(parts[3:]).strip()
text = open(sys.argv[1]).read()
n = text.count(old)
if n != 1:
    print("text found %d times" % n); sys.exit(1)
open(sys.argv[1], "w").write(text.replace(old, new))
PYEOF
)
    if [ -n "$why" ]; then
        echo "$id invalid $why"
    elif ! cmake --build "$build" -j2 >/dev/null 2>&1 </dev/null; then
        echo "$id invalid does not compile"
    else
        # Standard input stays with the mutant list: a test that reads it
        # (a prompt reached through a mutant) would swallow the rest.
        out=$(cd "$build" && ctest -j2 --timeout 300 "$@" 2>&1 </dev/null)
        failed=$(printf '%s\n' "$out" | sed -n 's/.*tests passed, \([0-9]*\) tests failed.*/\1/p')
        if [ "${failed:-0}" -gt 0 ]; then echo "$id killed $failed"; else echo "$id survived"; fi
    fi
    cp "$backup" "$path"
    rm -f "$backup"
    touch "$path"
done
# Leave the build matching the restored sources.
cmake --build "$build" -j2 >/dev/null 2>&1
exit 0
