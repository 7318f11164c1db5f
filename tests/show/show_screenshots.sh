#!/bin/bash
# show_screenshots.sh PROGRAM DATA_DIR
# Runs the X11 show under its own Xvfb from the data folder (no music, shared
# memory at pixel size 1), takes a screenshot of its window every quarter
# second and checks: the show exits 0; a shot inside each of the eight parts
# is not black and all differ; no process and no shared segment of the show is
# left. Shots stay in a temp folder that is removed at the end (set
# SKARN_KEEP_SHOTS=dir to keep the PNGs there).
set -u
program=$(realpath "$1")
data=$(realpath "$2")
work=$(mktemp -d /tmp/skarn_show_XXXXXX)
xvfb_pid=
show_pid=

cleanup() {
    [ -n "$show_pid" ] && kill "$show_pid" 2>/dev/null && wait "$show_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [ -s "$work/shots" ] && echo "shots (number, ms):" && cat "$work/shots"
    exit 1
}
now_ms() { date +%s%3N; }

for tool in Xvfb xwd convert; do
    command -v $tool >/dev/null || fail "$tool is not installed"
done
[ -x "$program" ] || fail "no program $program"
[ -f "$data/grafika/1/none.pcx" ] || fail "no data in $data"

# Xvfb picks a free display and writes its number once it accepts clients.
exec 3> "$work/displayfd"
Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x24 >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/displayfd" ] && break
    sleep 0.1
done
display=":$(head -n1 "$work/displayfd")"
[ "$display" != ":" ] || fail "Xvfb did not start"
export DISPLAY=$display

# 0: no music; 1: shared memory, pixel size 1.
(cd "$data" && export SKARN_SHOW_TAG=$work && exec "$program" > "$work/out" 2>&1 <<< $'0\n1\n') &
show_pid=$!
pid=$show_pid

title="skarn for LINUX by velk"
n=0
: > "$work/shots"
while kill -0 "$show_pid" 2>/dev/null; do
    t=$(now_ms)
    if xwd -silent -name "$title" -out "$work/shot$n.xwd" 2>/dev/null; then
        echo "$n $t" >> "$work/shots"
        n=$((n + 1))
    fi
    sleep 0.25
done
end=$(now_ms)
wait "$show_pid"
status=$?
show_pid=
[ "$status" = 0 ] || { cat "$work/out"; fail "show exited with $status"; }

# Mean brightness (0..1) and pixel signature of each shot.
mean() { convert "$work/shot$1.xwd" -colorspace gray -format '%[fx:mean]' info:; }
first=
while read -r i t; do
    m=$(mean "$i")
    if awk "BEGIN {exit !($m > 0.002)}"; then first=$t; break; fi
done < "$work/shots"
[ -n "$first" ] || fail "every shot is black"

# The shot taken nearest to a time (ms).
nearest() {
    awk -v want="$1" 'BEGIN {best = -1} {d = $2 - want; if (d < 0) d = -d;
        if (best < 0 || d < bestd) {best = $1; bestd = d}} END {print best}' "$work/shots"
}
# Part 1 from the first lit shot, then the parts in the show's order:
# 2 at 21.7 s, 3 at 46.2 s, 5 at 48.9 s, 4 at 81.4 s (its balls from 5.4 s
# on), 6 at 97.9 s, 7 at 108.5 s (its first page whole from 2 s on); part 8
# is the show's last part, faded in and holding 1.6 s before the end.
declare -A shot
shot[part1]=$(nearest $((first + 5000)))
shot[part2]=$(nearest $((first + 21700 + 12000)))
shot[part3]=$(nearest $((first + 46200 + 500)))
shot[part5]=$(nearest $((first + 48900 + 10000)))
shot[part4]=$(nearest $((first + 81400 + 8000)))
shot[part6]=$(nearest $((first + 97900 + 5000)))
shot[part7]=$(nearest $((first + 108500 + 2500)))
shot[part8]=$(nearest $((end - 1600)))

sigs=""
for part in part1 part2 part3 part5 part4 part6 part7 part8; do
    i=${shot[$part]}
    [ "$i" -ge 0 ] || fail "no shot for $part"
    m=$(mean "$i")
    echo "$part: shot $i mean $m"
    awk "BEGIN {exit !($m > 0.004)}" || fail "$part is black"
    sig=$(convert "$work/shot$i.xwd" -format '%#' info:)
    case " $sigs " in *" $sig "*) fail "$part looks like an earlier part";; esac
    sigs="$sigs $sig"
    if [ -n "${SKARN_KEEP_SHOTS:-}" ]; then
        mkdir -p "$SKARN_KEEP_SHOTS"
        convert "$work/shot$i.xwd" "$SKARN_KEEP_SHOTS/$part.png"
    fi
done

# Nothing of the show is left: no process carrying its tag (the show and
# any child it made), no shared segment it made.
for env in /proc/[0-9]*/environ; do
    if { tr '\0' '\n' < "$env"; } 2>/dev/null | grep -qx "SKARN_SHOW_TAG=$work"; then
        fail "a process of the show is still running: $env"
    fi
done
left=$(ipcs -m -p | awk -v p="$pid" '$3 == p {print $1}')
[ -z "$left" ] || fail "shared segments left: $left"
echo "PASS: $n shots"
