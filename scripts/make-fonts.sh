#!/bin/sh
# Regenerates the stroke fonts in etc/ from Debian's hershey-fonts-data with
# tools/hershey2fnt (`make data`). Each line: font file, Hershey source.
# etc/zem.fnl names the fonts for the program; keep the two in step.
set -e
BUILD=${1:-build}
SRC=${HERSHEY_DIR:-/usr/share/hershey-fonts}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
TOOL="$BUILD/tools/hershey2fnt"
[ -x "$TOOL" ] || { echo "make-fonts: $TOOL not built" >&2; exit 1; }
while read -r font jhf; do
    "$TOOL" "$SRC/$jhf.jhf" "${font%.fnt}" > "$ROOT/etc/$font"
    echo "make-fonts: etc/$font from $jhf.jhf"
done <<LIST
modern.fnt futural
roman.fnt rowmans
duplex.fnt rowmand
times.fnt timesr
italic.fnt timesi
bold.fnt timesrb
greek.fnt greeks
gothic.fnt gothiceng
meteo.fnt meteorology
LIST
