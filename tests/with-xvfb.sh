#!/bin/sh
# Runs a command under a private Xvfb server. The server picks a free display
# number itself (-displayfd), so any number of these can start at the same
# moment (several test runs in parallel) without two of them racing for the
# same display, as xvfb-run -a can.
#     tests/with-xvfb.sh command [args...]
set -u
fifo_dir=$(mktemp -d) || exit 1
fifo="$fifo_dir/displayfd"
mkfifo "$fifo" || exit 1
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" 2>"$fifo_dir/xvfb.log" &
server=$!
display=$(head -n 1 "$fifo")
rm -rf "$fifo_dir"
if [ -z "$display" ]; then
    echo "with-xvfb: Xvfb did not start" >&2
    kill "$server" 2>/dev/null
    exit 1
fi
DISPLAY=":$display"
export DISPLAY
"$@"
status=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
exit $status
