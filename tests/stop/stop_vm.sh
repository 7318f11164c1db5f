#!/bin/bash
# stop_vm.sh KIND PROGRAM DATA_DIR FBVM
# The console programs stopped from outside, in throw-away VMs, all at once:
# skarn_svga on qemu's standard VGA (KIND svga) or skarn_fb on an 8-bit
# framebuffer console (KIND fb), with the WAV writer, each sent one of
# SIGINT, SIGTERM, SIGHUP (to the program alone and to its process group)
# and SIGKILL (to the program) at a random moment of the load phase or the
# first part. Checks: the program ended by that signal; half a second later
# no process of it is left; music.wav's header agrees with its length; and,
# but after SIGKILL, the console shows its text again, row for row as in a
# run that never left text.
set -u
kind=$1
program=$(realpath "$2")
data=$(realpath "$3")
fbvm=$(realpath "$4")
work=$(mktemp -d /tmp/skarn-stop-vm-XXXXXX)
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

# The console each kind runs on and the display-mode answer.
case $kind in
svga) vm=(--fb none); mode=2 ;;
fb) vm=(--fb vesa --depth 8 --size 640x480); mode=1 ;;
*) echo "FAIL: unknown kind $kind"; exit 1 ;;
esac

# The WAV writer's number in the library's list: the same program, the same list.
wav=$(cd "$work" && printf '4\n' | "$program" 2>/dev/null | sed -n 's/^ *\([0-9]*\) Wav disk writer.*/\1/p')
[ -n "$wav" ] || { echo "FAIL: no WAV writer in the sound library"; exit 1; }
sound="4\n$wav\n22050\n"

run() {   # run NAME ANSWERS FBVM-OPTIONS...
    local name=$1 answers=$2; shift 2
    printf "$answers" > "$work/$name.answers"
    "$fbvm" "${vm[@]}" --quiet --rundir "$work/$name" --workdir "$data" --answers "$work/$name.answers" \
        --report music.wav "$@" -- "$program" > "$work/$name.log" 2>&1 &
    local pid=$!
    trap 'kill $pid 2>/dev/null' TERM  # the runner stops its VM on TERM
    wait $pid
    echo $? > "$work/$name.rc"
}

cases="INT TERM HUP KILL INT:group TERM:group HUP:group"
for c in $cases; do
    name=${c/:/-}
    at=$(awk -v s="$RANDOM" 'BEGIN {srand(s); printf "%.1f", 2 + 10 * rand()}')
    echo "$name: signal at $at s"
    run "$name" "$sound$mode\n" --seconds 40 --signal "$at:$c" --shot "60:$work/$name-guard.png" &
    pids+=($!)
    vm_shot_after_exit "$name" &
    pids+=($!)
done
# The console as a program leaves it that never left text: no display-mode answer.
run ref "$sound" --seconds 20 --shot "3:$work/ref-end.png" &
pids+=($!)
wait
pids=()

[ -f "$work/ref-end.png" ] || fail "ref: no text screen"
for c in $cases; do
    name=${c/:/-}
    sig=${c%%:*}
    serial=$work/$name/serial.log
    want=$((128 + $(kill -l "$sig")))
    grep -aq "^FBVM: program exited status=$want " "$serial" ||
        fail "$name: $(grep -a '^FBVM: program \(exited\|stopped\)' "$serial" | tr -d '\r'), want status $want"
    grep -aq '^FBVM: signal left: \[\]' "$serial" ||
        fail "$name: processes left half a second after the signal: $(grep -a '^FBVM: signal left' "$serial" | tr -d '\r')"
    # RIFF size = length - 8 and data size = length - 44, little-endian.
    line=$(grep -a '^FBVM: file music.wav' "$serial" | tr -d '\r')
    size=$(sed -n 's/.* size=\([0-9]*\) .*/\1/p' <<< "$line")
    head=$(sed -n 's/.* head=\([0-9a-f]*\).*/\1/p' <<< "$line")
    le32() { local h=${head:$(($1 * 2)):8}; echo $((16#${h:6:2}${h:4:2}${h:2:2}${h:0:2})); }
    # A show stopped before its music started leaves the 44-byte header alone.
    if [ -z "$size" ] || [ ${#head} -lt 88 ]; then
        fail "$name: no music.wav ($line)"
    elif [ "$(le32 4)" != $((size - 8)) ] || [ "$(le32 40)" != $((size - 44)) ]; then
        fail "$name: music.wav of $size bytes says $(le32 4) and $(le32 40)"
    fi
    [ "$sig" = KILL ] && continue
    end=$work/$name-end.png
    vm_same_text "$end" "$work/ref-end.png" || fail "$name: the console does not show its text again"
    echo "$name: $(grep -a '^FBVM: signal t=' "$serial" | tr -d '\r' | sed 's/^FBVM: //'), music.wav $size bytes"
done

if [ $failures -gt 0 ] || [ -n "${SKARN_KEEP_SHOTS:-}" ]; then
    keep=${SKARN_KEEP_SHOTS:-/tmp/skarn-stop-vm-failed}
    mkdir -p "$keep" && cp "$work"/*.png "$work"/*.log "$keep"/ 2>/dev/null
    for c in $cases ref; do cp "$work/${c/:/-}/serial.log" "$keep/${c/:/-}.serial.log" 2>/dev/null; done
    echo "shots and logs kept in $keep"
fi
[ $failures = 0 ] && echo "PASS" || exit 1
