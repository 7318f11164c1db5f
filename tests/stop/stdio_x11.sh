#!/bin/bash
# stdio_x11.sh PROGRAM DATA_DIR CASE
# The X11 show started with standard descriptors closed, under its own Xvfb.
#   no-input:  standard input closed: the first question gets no answer, the
#              show says so and ends with -1.
#   no-output: standard output and standard error closed, answers on
#              standard input: descriptors 1 and 2 are /dev/null (no window
#              connection in their place), the show plays to its end and
#              exits 0.
set -u
program=$(realpath "$1")
data=$(realpath "$2")
case=$3
work=$(mktemp -d /tmp/skarn_stdio_XXXXXX)
xvfb_pid=
show_pid=

cleanup() {
    [ -n "$show_pid" ] && kill -KILL "$show_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL ($case): $*"
    exit 1
}

. "$(dirname "$0")/../support/xvfb.sh"
xvfb_start || fail "Xvfb did not start"
cd "$data"

case $case in
no-input)
    timeout 20 "$program" <&- > "$work/out" 2>&1
    status=$?
    [ "$status" = 255 ] || fail "exit status $status, not 255"
    grep -q "No answer on standard input, giving up." "$work/out" || fail "no message: $(cat "$work/out")"
    ;;
no-output)
    # No music, shared memory at pixel size 1.
    "$program" >&- 2>&- <<< $'0\n1\n' &
    show_pid=$!
    # Its window shows once its standard descriptors are set up.
    for _ in $(seq 600); do
        xwininfo -name "skarn for LINUX by velk" >/dev/null 2>&1 && break
        kill -0 "$show_pid" 2>/dev/null || fail "ended before its window showed"
        sleep 0.1
    done
    for fd in 1 2; do
        target=$(readlink "/proc/$show_pid/fd/$fd")
        [ "$target" = /dev/null ] || fail "descriptor $fd is $target"
    done
    # The show lasts a little over two minutes.
    for _ in $(seq 600); do
        kill -0 "$show_pid" 2>/dev/null || break
        sleep 0.5
    done
    kill -0 "$show_pid" 2>/dev/null && fail "still running after 300 s"
    wait "$show_pid"
    status=$?
    show_pid=
    [ "$status" = 0 ] || fail "exit status $status, not 0"
    ;;
*) fail "unknown case" ;;
esac
echo "PASS: $case"
