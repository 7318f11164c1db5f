#!/bin/bash
# fb_vm_test.sh PROGRAM DATA_DIR
# skarn_fb on a real kernel's framebuffer console: the program without a
# console, then three throw-away VMs at once (tests/vm/fbvm.sh), each
# running it from the data folder with its answers on standard input
# (MikMod's silent driver, then a display mode):
#   switch8   8 bpp 640x480, mode 1: consoles switched away once part 1 is
#             seen and back again; the show runs to its end and exits 0,
#             and the console's text comes back in its own colours.
#   full32    32 bpp 800x600, mode 3 (scaled), stopped once part 2 is seen.
#   double16  16 bpp 640x480, answer 3 (becomes mode 2), stopped once part 2
#             is seen.
# Each VM is followed by what its screen shows: the frame in its place and
# in its part's palette colours.
set -u
program=$(realpath "$1")
data=$(realpath "$2")
fbvm=$(cd "$(dirname "$0")/../vm" && pwd)/fbvm.sh
. "$(dirname "$0")/../vm/vm_lib.sh"
vm_begin fbcon_vm

out=$(cd "$data" && echo 0 | "$program")
status=$?
[ $status = 249 ] && [[ $out == *'ERROR: Not a console device!' ]] || fail "without a console: $status, $out"
# The silent driver's number in the list printed before the device question.
nosound=$(cd "$data" && echo 4 | "$program" | sed -n 's/^ *\([0-9]*\) Nosound.*/\1/p')
[ -n "$nosound" ] || { echo "FAIL: no silent driver"; exit 1; }

start() {   # start NAME REPLY FBVM-OPTIONS...
    local name=$1
    printf '4\n%s\n44100\n%s\n' "$nosound" "$2" >"$work/$name.answers"
    shift 2
    vm_start "$name" --answers "$work/$name.answers" --workdir "$data" --seconds 600 "$@" -- "$program"
}
start switch8 1 --long --depth 8 --size 640x480
start full32 3 --depth 32 --size 800x600
start double16 3 --depth 16 --size 640x480

# The part's pictures, whose palettes the frames are drawn in. vm_screen's
# check "frame GEOMETRY TOLERANCE PICTURE...": outside GEOMETRY (WxH+X+Y)
# the screen is one colour; inside, 99% of the pixels are within TOLERANCE
# a channel of a colour of one of the pictures' palettes (8 and 16 bpp
# screens have narrower channels) and a fifth are lit. "blank GEOMETRY":
# nothing drawn inside.
part1=$data/grafika/1/txt3.pcx
part2=$data/grafika/1/hatter04.pcx

# switch8: the console switched away while part 1 runs, then back; nothing
# drawn while away (three screens a second apart), frames again after, in
# part 1's or part 2's colours. The switches and the screens between them
# come from one process, each screen taken with the guest frozen, and are
# looked at after the switch back: the console is away for three seconds
# however busy the machine is, and comes back before part 2 is over.
follow_switch8() {
    local n=switch8 box=320x240+160+120 line lines i seen CTL_SOCK MON_SOCK
    seen=$(vm_screen_until $n "$work/$n-part1.ppm" 120 frame $box 4 "$part1") || fail "$n: no part 1 ($seen)"
    . "$work/$n/sockets"
    lines=$(perl -e 'BEGIN { require $ENV{VM_QEMU_PL} }
        my ($ctl, $mon, $serial, $rc, $prefix) = @ARGV;
        my $end = time + 300;
        mon_open($mon) or exit 1;
        print ctl($ctl, $serial, $rc, $end, "chvt 2") // exit 1, "\n";
        for my $i (1 .. 3) {
            sleep 1;
            mon("stop") && mon("screendump $prefix$i.ppm") && mon("cont") or exit 1;
        }
        print ctl($ctl, $serial, $rc, $end, "chvt 1") // exit 1, "\n";
    ' "$CTL_SOCK" "$MON_SOCK" "$work/$n/serial.log" "$work/$n.rc" "$work/$n-away")
    [[ $lines == *"ok active=tty2"$'\n'*"ok active=tty1" ]] || fail "$n: the switches did not complete ($lines)"
    for i in 1 2 3; do
        vm_check "$work/$n-away$i.ppm" blank $box >/dev/null || fail "$n: drawn while away ($i)"
    done
    seen=$(vm_screen_until $n "$work/$n-back.ppm" 180 frame $box 4 "$part1" "$part2") ||
        fail "$n: no frames after the switch back ($seen)"
    seen=$(vm_screen_until $n "$work/$n-part2.ppm" 240 frame $box 4 "$part2") || fail "$n: no part 2 at 8 bpp ($seen)"
    line=$(vm_program_end $n)
    [[ $line == *"exited status=0 "* ]] || fail "$n: the show did not end by itself with 0 ($line)"
    vm_screen $n "$work/$n-end.ppm"
    vm_end $n
    # The console's text comes into the log after the end line: whole once the VM is down.
    grep -q "FBVM-TTY1| - Grimfall - '99" "$work/$n/serial.log" || fail "$n: no closing banner"
    seen=$(vm_check "$work/$n-end.ppm" grey 5000) || fail "$n: the console's text is not grey after the show ($seen)"
}

# follow NAME GEOMETRY TOLERANCE DEPTH: part 1 and part 2 in their places,
# then the program stopped by the VM runner.
follow() {
    local n=$1 line seen
    seen=$(vm_screen_until $n "$work/$n-part1.ppm" 120 frame "$2" "$3" "$part1") || fail "$n: no part 1 at $4 bpp ($seen)"
    seen=$(vm_screen_until $n "$work/$n-part2.ppm" 240 frame "$2" "$3" "$part2") || fail "$n: no part 2 at $4 bpp ($seen)"
    vm_ctl $n 480 stop >/dev/null
    line=$(vm_program_end $n)
    [[ $line == *stopped-at-deadline* ]] || fail "$n: not stopped by the runner ($line)"
    vm_end $n
}

follow_switch8 &
pids+=($!)
follow full32 800x600+0+0 1 32 &
pids+=($!)
follow double16 640x480+0+0 8 16 &
pids+=($!)
wait
pids=()

for n in switch8 full32 double16; do
    [ "$(cat "$work/$n.rc")" = 0 ] || fail "$n: the VM runner ended with $(cat "$work/$n.rc")"
    grep -q fb0_matches_request=yes "$work/$n/result.env" 2>/dev/null || fail "$n: no such framebuffer"
    grep -q 'FBVM-TTY1| The display is a VESA VGA' "$work/$n/serial.log" || fail "$n: no report line"
done
# Each pixel doubled: every 2x2 block one colour. The screen is written in
# place while it shows, so a screenshot may split one block row between two
# frames (its lower screen row still the last frame's): pixels that differ
# from their block may lie in one screen row at most.
seen=$(vm_check "$work/double16-part2.ppm" doubled) || fail "part 2 at 16 bpp: $seen"
vm_finish
