#!/bin/sh
# Runs what orlo can do so far on the repository's own data. Build tree given
# as the first argument.
set -e
BUILD=${1:-build}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ORLO="$BUILD/orlo"

echo "== orlo -h"
"$ORLO" -df "$ROOT/etc" -h
