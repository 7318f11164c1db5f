#!/bin/bash
# svga_vm.sh PROGRAM DATA_DIR FBVM
# skarn_svga on qemu's standard VGA, in throw-away VMs with no framebuffer
# (the VGA text console, the program as root), four at once:
#   m2  320x240 (menu answer 2): the whole show, ending by itself with 0;
#   m6  800x600 (answer 6, the VBE linear frame buffer) and
#   m4  360x480 (answer 4, planar), both stopped by SIGTERM in part 2;
#   ref the display-mode question left unanswered: the console that never
#       left text mode.
# Screenshots every 3 s must show part 1 and part 2 in their own colours
# (every colour one of the part's palette, six bits a component, as qemu
# widens them) at the mode's size, over the whole screen; after the end the
# console must show the text it had, as ref shows it (12 rows alike).
set -u
program=$(realpath "$1")
data=$(realpath "$2")
fbvm=$(realpath "$3")
work=$(mktemp -d /tmp/skarn-svga-XXXXXX)
pids=()
cleanup() {
    for p in ${pids[@]+"${pids[@]}"}; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
. "$(dirname "$0")/../vm/vm_lib.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in qemu-system-x86_64 convert perl; do
    command -v $tool >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done
[ -f "$data/grafika/1/hatter04.pcx" ] || { echo "FAIL: no data in $data"; exit 1; }
"$fbvm" --setup >/dev/null 2>&1 || { echo "FAIL: the VM runner cannot set itself up"; exit 1; }

# shots NAME FIRST LAST: --shot options every 3 s
shots() { for ((t = $2; t <= $3; t += 3)); do echo "--shot $t:$work/$1-$t.png"; done; }

run() {   # run NAME ANSWERS FBVM-OPTIONS...
    local name=$1 answers=$2; shift 2
    printf "$answers" > "$work/$name.answers"
    "$fbvm" --fb none --quiet --rundir "$work/$name" --workdir "$data" --answers "$work/$name.answers" "$@" \
        -- "$program" > "$work/$name.log" 2>&1 &
    local pid=$!
    trap 'kill $pid 2>/dev/null' TERM  # the runner stops its VM on TERM
    wait $pid
    echo $? > "$work/$name.rc"
}

run m2 '0\n2\n' --require-exit --seconds 400 $(shots m2 3 42) --shot "400:$work/m2-guard.png" &
pids+=($!)
vm_shot_after_exit m2 &
pids+=($!)
run m6 '0\n6\n' --seconds 44 $(shots m6 3 42) --shot "46:$work/m6-end.png" &
pids+=($!)
run m4 '0\n4\n' --seconds 44 $(shots m4 3 42) --shot "46:$work/m4-end.png" &
pids+=($!)
run ref '0\n' --seconds 10 --shot "2:$work/ref-end.png" &
pids+=($!)
wait
pids=()

# The colours a part can show: its palette as the 6-bit DAC holds it and
# qemu widens it (v << 2, the low bit copied into the two new ones).
palette_colours() {
    tail -c 768 "$1" | od -An -v -tu1 -w3 |
        awk '{for (i = 1; i <= 3; i++) {v = int($i / 4); w[i] = v * 4 + (v % 2) * 3}
              printf "%02X%02X%02X\n", w[1], w[2], w[3]}' | sort -u
}
palette_colours "$data/grafika/1/txt3.pcx" > "$work/part1.colours"
palette_colours "$data/grafika/1/hatter04.pcx" > "$work/part2.colours"
shot_colours() { convert "$1" -depth 8 -unique-colors rgb:- | od -An -v -tu1 -w3 | awk '{printf "%02X%02X%02X\n", $1, $2, $3}'; }
# The part a shot shows: a picture of many colours, all from one part's palette.
shot_part() {
    local colours
    colours=$(shot_colours "$1")
    [ "$(wc -l <<< "$colours")" -ge 32 ] || return
    for part in part1 part2; do
        if [ -z "$(comm -23 <(sort -u <<< "$colours") "$work/$part.colours")" ]; then echo $part; return; fi
    done
    echo other
}
corner_colours() { convert "$1" -gravity SouthEast -crop 25%x25%+0+0 +repage -unique-colors -format '%w' info:; }

[ "$(cat "$work/ref.rc")" = 255 ] || fail "ref: status $(cat "$work/ref.rc"), want 255 (no answer)"
[ -f "$work/ref-end.png" ] && [ "$(convert "$work/ref-end.png" -format '%wx%h' info:)" = 720x400 ] ||
    fail "ref: no text screen"

# name:screen size:how the program ends (the VM runner's words)
for run in "m2:640x480:exited status=0" "m6:800x600:stopped-at-deadline" "m4:720x480:stopped-at-deadline"; do
    IFS=: read -r name size ending <<< "$run"
    rc=$(cat "$work/$name.rc")
    [ "$rc" = 0 ] || fail "$name: the VM runner ended with $rc"
    grep -aq "^FBVM: program $ending" "$work/$name/serial.log" || fail "$name: the show did not end as $ending"
    seen=""
    for shot in $(ls "$work/$name"-[0-9]*.png 2>/dev/null | sort -V); do
        part=$(shot_part "$shot")
        [ -n "$part" ] || continue
        t=${shot##*-}; t=${t%.png}
        echo "$name at ${t}s: $part, $(convert "$shot" -format '%wx%h' info:)"
        [ "$part" != other ] || { fail "$name at ${t}s: colours of neither part"; continue; }
        [ "$(convert "$shot" -format '%wx%h' info:)" = "$size" ] || fail "$name at ${t}s: not $size"
        [ "$(corner_colours "$shot")" -ge 8 ] || fail "$name at ${t}s: the bottom right corner is empty"
        seen="$seen $part"
    done
    for part in part1 part2; do
        [[ $seen == *$part* ]] || fail "$name: no shot of $part"
    done
    end=$work/$name-end.png
    if [ ! -f "$end" ]; then
        fail "$name: no shot after the end"
    elif [ "$(convert "$end" -format '%wx%h' info:)" != 720x400 ] || ! vm_same_text "$end" "$work/ref-end.png"; then
        fail "$name: the console does not show its text again"
    fi
done

if [ $failures -gt 0 ] || [ -n "${SKARN_KEEP_SHOTS:-}" ]; then
    keep=${SKARN_KEEP_SHOTS:-/tmp/skarn-svga-failed}
    mkdir -p "$keep" && cp "$work"/*.png "$work"/*.log "$keep"/ 2>/dev/null
    for name in m2 m6 m4 ref; do cp "$work/$name/serial.log" "$keep/$name.serial.log" 2>/dev/null; done
    echo "shots and logs kept in $keep"
fi
[ $failures = 0 ] && echo "PASS" || exit 1
