#!/bin/bash
# fb_vm_test.sh PROGRAM DATA_DIR
# skarn_fb on a real kernel's framebuffer console: the program without a
# console, then three throw-away VMs at once (tests/vm/fbvm.sh), each
# running it from the data folder with its answers on standard input
# (MikMod's silent driver, then a display mode):
#   switch8   8 bpp 640x480, mode 1: consoles switched away and back in
#             part 1; the show runs to its end (about 135 s) and exits 0,
#             and the console's text comes back in its own colours.
#   full32    32 bpp 800x600, mode 3 (scaled), stopped after part 2.
#   double16  16 bpp 640x480, answer 3 (becomes mode 2), stopped after part 2.
# Screenshots (kept in $SKARN_KEEP_SHOTS if set) must show the frame in its
# place and in its part's palette colours. Part 1 runs from about 1 s after
# the start to 23 s, part 2 from 23 s to 47 s; the shots allow loads of up
# to 9 s.
set -u
program=$(realpath "$1")
data=$(realpath "$2")
fbvm=$(cd "$(dirname "$0")/../vm" && pwd)/fbvm.sh
work=$(mktemp -d /tmp/skarn_fbvm_XXXXXX)
pids=()
trap 'kill ${pids[@]+"${pids[@]}"} 2>/dev/null; wait; rm -rf "$work"' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
. "$(dirname "$0")/../vm/vm_lib.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

out=$(cd "$data" && echo 0 | "$program")
status=$?
[ $status = 249 ] && [[ $out == *'ERROR: Not a console device!' ]] || fail "without a console: $status, $out"
# The silent driver's number in the list printed before the device question.
nosound=$(cd "$data" && echo 4 | "$program" | sed -n 's/^ *\([0-9]*\) Nosound.*/\1/p')
[ -n "$nosound" ] || { echo "FAIL: no silent driver"; exit 1; }
"$fbvm" --setup > "$work/setup.log" 2>&1 || { cat "$work/setup.log"; echo "FAIL: fbvm set-up"; exit 1; }

# run NAME REPLY SHOT-TIMES FBVM-OPTIONS...: fbvm's status goes to $work/NAME.rc.
run() {
    local name=$1 reply=$2 times=$3 t shots=()
    shift 3
    for t in $times; do shots+=(--shot "$t:$work/$name-$t.png"); done
    printf '4\n%s\n44100\n%s\n' "$nosound" "$reply" > "$work/$name.answers"
    "$fbvm" --quiet --rundir "$work/$name" --answers "$work/$name.answers" --workdir "$data" "${shots[@]}" "$@" \
        -- "$program" > "$work/$name.log" 2>&1 &
    local pid=$!
    trap 'kill $pid 2>/dev/null' TERM  # the runner stops its VM on TERM
    wait $pid
    echo $? > "$work/$name.rc"
}
start=$(date +%s)
# switch8's last shot only keeps its VM up for the one taken after the end.
run switch8 1 "9 12.5 18 34 400" --depth 8 --size 640x480 --vt-switch-at 11 --vt-hold 3 --seconds 400 \
    --require-exit &
pids+=($!)
vm_shot_after_exit switch8 &
pids+=($!)
run full32 3 "9 34" --depth 32 --size 800x600 --seconds 38 &
pids+=($!)
run double16 3 "9 34" --depth 16 --size 640x480 --seconds 38 &
pids+=($!)
wait
pids=()
echo "VMs done in $(($(date +%s) - start)) s"

# The colours of a PCX picture's palette (its last 768 bytes), "r g b" each.
palette() { tail -c 768 "$1" | od -An -tu1 -v -w3; }
part1=$(palette "$data/grafika/1/txt3.pcx")
part2=$(palette "$data/grafika/1/hatter04.pcx")

# show NAME-TIME GEOMETRY PALETTE TOLERANCE: outside GEOMETRY (WxH+X+Y) the
# screen is one colour; inside, 99% of the pixels are within TOLERANCE per
# channel of a palette colour (8 and 16 bpp screens have narrower
# channels) and a fifth are lit.
show() {
    local shot=$work/$1.png w h x y
    IFS='x+' read -r w h x y <<< "$2"
    [ "$(convert "$shot" -fill magenta -draw "rectangle $x,$y $((x + w - 1)),$((y + h - 1))" -format %k info:)" -le 2 ] ||
        { echo "$1: drawn outside $2"; return 1; }
    convert "$shot" -crop "$2" +repage -format %c histogram:info:- | tr -c '0-9\n' ' ' |
        awk -v tol="$4" -v pal="$3" -v name="$1" '
            function d(a, b) { return a > b ? a - b : b - a }
            BEGIN { n = split(pal, p, " ") / 3 }
            { total += $1; lit += ($2 > 32 || $3 > 32 || $4 > 32) * $1
              for (i = 0; i < n; i++)
                  if (d($2, p[3*i+1]) <= tol && d($3, p[3*i+2]) <= tol && d($4, p[3*i+3]) <= tol) { ok += $1; break } }
            END { printf "%s: %.1f%% in the palette, %.1f%% lit\n", name, 100 * ok / total, 100 * lit / total
                  exit !(ok >= 0.99 * total && lit >= 0.2 * total) }'
}

for name in switch8 full32 double16; do
    log=$work/$name/serial.log
    status=$(cat "$work/$name.rc")
    echo "== $name: status $status, $(grep -o 'program: .*' "$work/$name.log")"
    [ "$status" = 0 ] || fail "$name: status $status"
    grep -q fb0_matches_request=yes "$work/$name/result.env" 2>/dev/null || fail "$name: no such framebuffer"
    grep -q 'FBVM-TTY1| The display is a VESA VGA' "$log" || fail "$name: no report line"
done
show switch8-9 320x240+160+120 "$part1" 4 || fail "part 1 before the switch"
[ "$(convert "$work/switch8-12.5.png" -crop 320x240+160+120 -format %k info:)" = 1 ] || fail "drawn while away"
show switch8-18 320x240+160+120 "$part1" 4 || fail "part 1 after the switch"
show switch8-34 320x240+160+120 "$part2" 4 || fail "part 2 at 8 bpp"
[ "$(grep -c 'vt-switch .* ok, active=' "$work/switch8/serial.log")" = 2 ] || fail "a switch did not complete"
grep -q 'program exited status=0' "$work/switch8/serial.log" || fail "the show did not end by itself"
grep -q "FBVM-TTY1| - Grimfall - '99" "$work/switch8/serial.log" || fail "no closing banner"
grey=$(convert "$work/switch8-end.png" -format %c histogram:info:- | sed -n 's/^ *\([0-9]*\): (170,170,170).*/\1/p')
[ "${grey:-0}" -gt 5000 ] || fail "the console's text is not grey after the show (${grey:-0} pixels)"
show full32-9 800x600+0+0 "$part1" 1 || fail "part 1 at 32 bpp"
show full32-34 800x600+0+0 "$part2" 1 || fail "part 2 at 32 bpp"
show double16-9 640x480+0+0 "$part1" 8 || fail "part 1 at 16 bpp"
show double16-34 640x480+0+0 "$part2" 8 || fail "part 2 at 16 bpp"
shot=$work/double16-34.png
differ=$(convert "$shot" -sample 50% -sample 200% - | compare -metric AE "$shot" - null: 2>&1)
[ "$differ" = 0 ] || fail "part 2 at 16 bpp: $differ pixels differ from their 2x2 block"

if [ -n "${SKARN_KEEP_SHOTS:-}" ]; then
    mkdir -p "$SKARN_KEEP_SHOTS" && cp "$work"/*.png "$SKARN_KEEP_SHOTS"/
fi
if [ $failures != 0 ]; then
    grep -hE '^FBVM: (program|vt-switch)|FBVM-TTY1' "$work"/*/serial.log | tail -n 40
    echo "FAIL: $failures checks"
    exit 1
fi
echo PASS
