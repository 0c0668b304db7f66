#!/bin/sh
# Makes the synthetic infrared AREA sample (a GOES-East-like view of North
# America) and shows it with orlo, remapped onto the "us" domain and coloured
# with the infrared enhancement: in a window when $DISPLAY works (press
# Return or Alt+q to quit; Shift-drag zooms, Alt+u unzooms, Alt+x saves the
# window as an XWD file), otherwise under xvfb-run, writing a PNG file.
# Usage: demo-run.sh BUILD_DIR [OUTPUT_DIR]
set -e
BUILD=$(cd "${1:-build}" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${2:-${TMPDIR:-/tmp}/orlo-demo}
ORLO="$BUILD/orlo"
MAKER="$BUILD/tools/demo_area"

for f in "$ORLO" "$MAKER"; do
    if [ ! -x "$f" ]; then
        echo "demo-run: $f not built (build the orlo and demo_area targets)" >&2
        exit 1
    fi
done
mkdir -p "$OUT"
SAMPLE="$OUT/demo_ir.area"
echo "== making the sample: $SAMPLE"
"$MAKER" "$SAMPLE" 2024200 1745

set -- -fp "$ROOT/etc" -ip "$OUT" -pd us -cof ir.enh -ti "orlo demo" -de d "$SAMPLE"

if [ -n "$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then
    echo "== orlo in a window on $DISPLAY (Return or Alt+q ends it)"
    "$ORLO" "$@" -pp irbar,lalo=10 </dev/null
else
    if ! command -v xvfb-run >/dev/null 2>&1; then
        echo "demo-run: no X display and no xvfb-run; cannot show the picture" >&2
        exit 1
    fi
    rm -f "$OUT/orlo_demo.png"
    echo "== no X display: orlo under xvfb-run, writing a PNG"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$ORLO" "$@" -pp irbar,lalo=10,png:orlo_demo.png </dev/null
    if [ -f "$OUT/orlo_demo.png" ]; then
        echo "demo-run: picture written to $OUT/orlo_demo.png"
    else
        echo "demo-run: orlo wrote no picture" >&2
        exit 1
    fi
fi
