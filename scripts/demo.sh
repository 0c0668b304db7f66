#!/bin/sh
# Runs what orlo can do on the repository's own data. Build tree given as
# the first argument.
set -e
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ORLO="$BUILD/orlo"

echo "== orlo -h (the resource listing)"
"$ORLO" -df "$ROOT/etc" -h

if [ -x "$ROOT/scripts/demo-run.sh" ] || [ -f "$ROOT/scripts/demo-run.sh" ]; then
    echo
    sh "$ROOT/scripts/demo-run.sh" "$BUILD"
fi
