#!/bin/bash
# svga_vm.sh PROGRAM DATA_DIR FBVM
# skarn_svga on qemu's standard VGA, in throw-away VMs with no framebuffer
# (the VGA text console, the program as root), four at once:
#   m2  320x240 (menu answer 2): the whole show, ending by itself with 0;
#   m6  800x600 (answer 6, the VBE linear frame buffer) and
#   m4  360x480 (answer 4, planar), both stopped once part 2 is seen;
#   ref the display-mode question left unanswered: the console that never
#       left text mode.
# Each VM is followed by what its screen shows: part 1 and then part 2 in
# their own colours (every colour one of the part's palette, six bits a
# component, as qemu widens them) at the mode's size, over the whole screen;
# in m2 the closing picture in its place, pixel for pixel (a picture rolled
# by a wrong display start fails); after the end the console shows the text
# it had, as ref shows it (12 rows alike).
set -u
program=$(realpath "$1")
data=$(realpath "$2")
fbvm=$(realpath "$3")
. "$(dirname "$0")/../vm/vm_lib.sh"
vm_begin svga_vm

start() {   # start NAME ANSWERS [FBVM-OPTIONS...]
    printf "$2" >"$work/$1.answers"
    vm_start "$1" --fb none --workdir "$data" --answers "$work/$1.answers" --seconds 600 "${@:3}" -- "$program"
}
start m2 '0\n2\n' --long
start m6 '0\n6\n'
start m4 '0\n4\n'
start ref '0\n'

# A frame of part 1 or 2 (vm_screen's check "part"): its colours all from
# the part's palette as the 6-bit DAC holds it and qemu widens it, 32 or
# more of them, over the whole screen at the mode's size.
part1=$data/grafika/1/txt3.pcx
part2=$data/grafika/1/hatter04.pcx

# closing_in_place NAME: the closing picture, looked at by vm_screen
# ("closing"): every look taken with the VM frozen, the show moving on 0.3 s
# between looks until the picture shows, then 30 looks kept 75 ms apart, a
# frame and a half, so they find both pages the show flips between. A look
# at the 320x240 mode (each pixel doubled) is "in-place" when, halved, it is
# the picture pixel for pixel (99%) at one level k/20 of its fade; "moved"
# when its colours are all those of one such level but its pixels are not
# where the picture has them (a picture rolled or wrapped by a wrong display
# start); "other" for anything else: the fade's dark ends (fewer than 32
# colours), a palette caught half written. No kept look may be "moved", and
# at least four must be "in-place".
closing_in_place() {
    local name=$1 seen=0 what shot looks MON_SOCK
    vm_started "$name" || { fail "$name: no closing picture (no program)"; return; }
    . "$work/$name/sockets"
    looks=$("$VM_SCREEN" closing "$MON_SOCK" "$data/grafika/5/grimfall.pcx" "$work/$name/serial.log" "$work/$name-part8") ||
        { fail "$name: no closing picture"; return; }
    while read -r shot what; do
        [ "$what" = moved ] && { fail "$name: the closing picture is not in its place ($shot)"; return; }
        [ "$what" = in-place ] && seen=$((seen + 1))
    done <<<"$looks"
    [ $seen -ge 4 ] || fail "$name: the closing picture seen in place only $seen times"
}

# follow NAME SIZE LAST: one VM's course. Part 1, then part 2 on its screen;
# LAST "end": the closing picture and the show's own end with 0, "stop": the
# program stopped by the VM runner after part 2; then the screen after the
# end.
follow() {
    local name=$1 size=$2 last=$3 line seen
    seen=$(vm_screen_until "$name" "$work/$name-part1.ppm" 120 part "$size" "$part1") || fail "$name: no part 1 at $size ($seen)"
    seen=$(vm_screen_until "$name" "$work/$name-part2.ppm" 240 part "$size" "$part2") || fail "$name: no part 2 at $size ($seen)"
    if [ "$last" = end ]; then
        closing_in_place "$name"
        line=$(vm_program_end "$name")
        [[ $line == *"exited status=0 "* ]] || fail "$name: the show did not end by itself with 0 ($line)"
    else
        vm_ctl "$name" 480 stop >/dev/null
        line=$(vm_program_end "$name")
        [[ $line == *stopped-at-deadline* ]] || fail "$name: not stopped by the runner ($line)"
    fi
    vm_screen "$name" "$work/$name-end.ppm" || fail "$name: no screen after the end"
    vm_end "$name"
    [ "$(cat "$work/$name.rc")" = 0 ] || fail "$name: the VM runner ended with $(cat "$work/$name.rc")"
}
follow m2 640x480 end &
pids+=($!)
follow m6 800x600 stop &
pids+=($!)
follow m4 720x480 stop &
pids+=($!)
line=$(vm_line ref 'FBVM: program exited' 120)
[[ $line == *"status=255 "* ]] || fail "ref: $line, want status 255 (no answer)"
vm_screen ref "$work/ref-end.ppm"
vm_end ref
vm_check "$work/ref-end.ppm" size 720x400 >/dev/null || fail "ref: no text screen"
wait
pids=()

for name in m2 m6 m4; do
    end=$work/$name-end.ppm
    if [ ! -f "$end" ]; then
        fail "$name: no shot after the end"
    elif ! vm_check "$end" size 720x400 >/dev/null || ! vm_check "$end" text-of "$work/ref-end.ppm" >/dev/null; then
        fail "$name: the console does not show its text again"
    fi
done
vm_finish
