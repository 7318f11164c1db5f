#!/bin/bash
# stop_vm.sh KIND PROGRAM DATA_DIR FBVM
# The console programs stopped from outside, in throw-away VMs, all at once:
# skarn_svga on qemu's standard VGA (KIND svga) or skarn_fb on an 8-bit
# framebuffer console (KIND fb), with the WAV writer, each sent one of
# SIGINT, SIGTERM, SIGHUP (to the program alone and to its process group)
# and SIGKILL (to the program), and for skarn_fb SIGSEGV as a crash, at a
# random moment from the display-mode answer (the load phase) into the
# first part. Checks: the program ended by that signal within
# $stop_bound s of it; half a second after its end no process of it is left;
# music.wav's header agrees with its length; the console shows its text
# again, row for row as in a run that never left text: at once after a stop
# it could catch, and for skarn_fb after SIGKILL or a crash once text is
# written and the consoles are switched away and back. (A VGA card left by a
# killed skarn_svga stays in its graphics mode.)
set -u
kind=$1
program=$(realpath "$2")
data=$(realpath "$3")
fbvm=$(realpath "$4")
. "$(dirname "$0")/../vm/vm_lib.sh"
vm_begin "stop_vm_$kind"

# The longest a stop may take in an emulated machine: the load step or frame
# under way, then the display, music and sound given back.
stop_bound=4

# The console each kind runs on, the display-mode answer and its question.
cases="INT TERM HUP KILL INT:group TERM:group HUP:group"
case $kind in
svga) vm=(--fb none); mode=2; question='Type the number of the vga mode:' ;;
fb) vm=(--fb vesa --depth 8 --size 640x480); mode=1; question='Choose a display mode:'; cases="$cases SEGV" ;;
*) echo "FAIL: unknown kind $kind"; exit 1 ;;
esac

# The WAV writer's number in the library's list: the same program, the same list.
wav=$(cd "$work" && printf '4\n' | "$program" 2>/dev/null | sed -n 's/^ *\([0-9]*\) Wav disk writer.*/\1/p')
[ -n "$wav" ] || { echo "FAIL: no WAV writer in the sound library"; exit 1; }
sound="4\n$wav\n22050\n"

start() {   # start NAME ANSWERS
    printf "$2" >"$work/$1.answers"
    vm_start "$1" "${vm[@]}" --workdir "$data" --answers "$work/$1.answers" --report music.wav --seconds 600 -- "$program"
}
# The console as a program leaves it that never left text: no display-mode answer.
start ref "$sound"
for c in $cases; do start "${c/:/-}" "$sound$mode\n"; done

# cs T: centiseconds of a time written as S.CC
cs() { echo $((10#${1%.*} * 100 + 10#${1#*.})); }

# stop CASE: one VM's course: the signal at a random moment after the
# display-mode question, then the program's end and what it left.
stop() {
    local c=$1 name=${1/:/-} sig=${1%%:*} group='' at line sent ended size head want
    [[ $c == *:group ]] && group=group
    at=$(awk -v s="$RANDOM" 'BEGIN {srand(s); printf "%.1f", 10 * rand()}')
    line=$(vm_ctl "$name" 120 wait-text "$question")
    [ "$line" = "${line#*seen}" ] && { fail "$name: no display-mode question ($line)"; vm_end "$name"; return; }
    nap "$at"
    line=$(vm_ctl "$name" 180 signal "$sig" $group)
    [[ $line == *" ok "* ]] || { fail "$name: the signal was not sent ($line)"; vm_end "$name"; return; }
    sent=${line#t=}
    sent=${sent%% *}
    echo "$name: SIG$sig $group $at s after the question, $sent s after the start"
    want=$((128 + $(kill -l "$sig")))
    line=$(vm_program_end "$name")
    ended=$(sed -n 's/.*elapsed_cs=\([0-9]*\).*/\1/p' <<<"$line")
    if [[ $line != *"exited status=$want "* ]]; then
        fail "$name: $line, want status $want"
    elif [ $((ended - $(cs "$sent"))) -gt $((stop_bound * 100)) ]; then
        fail "$name: ended $((ended - $(cs "$sent"))) cs after the signal, more than $stop_bound s"
    fi
    line=$(vm_line "$name" 'FBVM: left after the end' 320)
    [[ $line == *"[]" ]] || fail "$name: processes left half a second after the end: $line"
    # RIFF size = length - 8 and data size = length - 44, little-endian.
    line=$(vm_line "$name" 'FBVM: file music.wav' 320)
    size=$(sed -n 's/.* size=\([0-9]*\) .*/\1/p' <<<"$line")
    head=$(sed -n 's/.* head=\([0-9a-f]*\).*/\1/p' <<<"$line")
    le32() { local h=${head:$(($1 * 2)):8}; echo $((16#${h:6:2}${h:4:2}${h:2:2}${h:0:2})); }
    # A show stopped before its music started leaves the 44-byte header alone.
    if [ -z "$size" ] || [ ${#head} -lt 88 ]; then
        fail "$name: no music.wav ($line)"
    elif [ "$(le32 4)" != $((size - 8)) ] || [ "$(le32 40)" != $((size - 44)) ]; then
        fail "$name: music.wav of $size bytes says $(le32 4) and $(le32 40)"
    fi
    case $kind:$sig in
    svga:KILL) ;;
    fb:KILL | fb:SEGV)
        # Nothing of the show's could put the console back: text written
        # on it, then a switch away and back, must show.
        vm_ctl "$name" 340 write tty1 "written on tty1 after the show died" >/dev/null
        vm_ctl "$name" 340 write tty2 "this is tty2" >/dev/null
        vm_screen "$name" "$work/$name-died.ppm"
        line=$(vm_ctl "$name" 360 chvt 2)
        vm_screen "$name" "$work/$name-tty2.ppm"
        # A console of grey text on black, some of it lit.
        [[ $line == *"ok active=tty2" ]] && vm_check "$work/$name-tty2.ppm" text >/dev/null ||
            fail "$name: tty2 shows no text ($line)"
        line=$(vm_ctl "$name" 380 chvt 1)
        vm_screen "$name" "$work/$name-end.ppm"
        [[ $line == *"ok active=tty1" ]] || fail "$name: no switch back to tty1 ($line)" ;;
    *) vm_screen "$name" "$work/$name-end.ppm" ;;
    esac
    vm_end "$name"
}

for c in $cases; do
    stop "$c" &
    pids+=($!)
done
line=$(vm_line ref 'FBVM: program exited' 120)
[[ $line == *"status=255 "* ]] || fail "ref: $line, want status 255 (no answer)"
vm_screen ref "$work/ref-end.ppm" || fail "ref: no text screen"
vm_end ref
wait
pids=()

for c in $cases; do
    name=${c/:/-}
    [ "$kind:${c%%:*}" = svga:KILL ] && continue
    vm_check "$work/$name-end.ppm" text-of "$work/ref-end.ppm" >/dev/null || fail "$name: the console does not show its text again"
done
vm_finish
