#!/bin/bash
# stop_x11.sh PROGRAM DATA_DIR SIGNAL TARGET
# Runs the X11 show under its own Xvfb from a copy of the data folder with
# the WAV writer, sends SIGNAL (INT, TERM, HUP or KILL) at a random moment
# to the show's process alone (TARGET "alone") or to its whole process
# group ("group"), and checks: the show ends soon after, and half a second
# after its end nothing of it is left (no process, no window, no shared
# segment); the show ended by that signal; music.wav is whole (its header's sizes agree with its length, or
# after SIGKILL to the group lag it by at most one block, and sox reads
# every sample they declare).
set -u
program=$(realpath "$1")
data=$(realpath "$2")
sig=$3
target=$4
work=$(mktemp -d /tmp/skarn_stop_XXXXXX)
xvfb_pid=
show_pid=
title="skarn for LINUX by velk"

cleanup() {
    [ -n "$show_pid" ] && kill -KILL -- "-$show_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL (SIG$sig to $target ${delay:-?} s after the music started): $*"
    [ -f "$work/out" ] && tail -n 5 "$work/out"
    exit 1
}

for tool in Xvfb xwininfo sox ipcs setsid; do
    command -v $tool >/dev/null || fail "$tool is not installed"
done

# A folder of its own: the WAV writer writes music.wav into the working folder.
mkdir "$work/data"
cp -r "$data/." "$work/data/"
rm -f "$work/data/music.wav"

. "$(dirname "$0")/../support/xvfb.sh"
xvfb_start || fail "Xvfb did not start"

# The WAV writer's number in the library's list.
wav=$(cd "$work" && printf '4\n' | "$program" 2>/dev/null | sed -n 's/^ *\([0-9]*\) Wav disk writer.*/\1/p')
[ -n "$wav" ] || fail "no WAV writer in the sound library"

# Answers: 16-bit stereo, the WAV writer, 22050 Hz, shared memory at pixel size 1.
# setsid: the show leads a process group of its own, which "group" signals.
cd "$work/data"
SKARN_SHOW_TAG=$work setsid "$program" > "$work/out" 2>&1 <<< $'4\n'"$wav"$'\n22050\n1\n' &
show_pid=$!

# The music process renders the song to the file in well under a second,
# too short a life to be sure to see it in the process table: its start is
# seen as the first sound in music.wav (the show itself writes only the
# header). The signal comes at a random moment after that, most often in
# the music's life, when it is hardest to leave everything whole.
started=$(date +%s%N)
while [ "$(stat -c %s music.wav 2>/dev/null || echo 0)" -le 44 ]; do
    [ $((($(date +%s%N) - started) / 1000000)) -gt 30000 ] && fail "no sound in music.wav within 30 s"
    kill -0 "$show_pid" 2>/dev/null || fail "the show ended before its music started"
    sleep 0.01
done
delay=$(awk -v s="$RANDOM" 'BEGIN {srand(s); printf "%.2f", 0.3 * rand()}')
sleep "$delay"
kill -0 "$show_pid" 2>/dev/null || fail "the show ended before the signal"
if [ "$target" = group ]; then
    kill -s "$sig" -- "-$show_pid"
else
    kill -s "$sig" "$show_pid"
fi
sent=$(date +%s%N)

# The show ends within stop_bound s of the signal (its orderly stop gives
# back the window, the music process and the sound file), and half a
# second after its end nothing of it is left.
stop_bound=10
tagged() { grep -lzx "SKARN_SHOW_TAG=$work" /proc/[0-9]*/environ 2>/dev/null; }
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
while kill -0 "$show_pid" 2>/dev/null && [ -z "$(ps -o stat= -p "$show_pid" | grep Z)" ]; do
    [ "$(ms_since "$sent")" -gt $((stop_bound * 1000)) ] && fail "still running $stop_bound s after the signal"
    sleep 0.02
done
ended=$(date +%s%N)
while :; do
    late=$(ms_since "$ended")
    left=$(tagged)
    [ -z "$left" ] && break
    [ "$late" -gt 500 ] && fail "still running 0.5 s after the show ended: $left"
    sleep 0.02
done
wait "$show_pid"
status=$?
pid=$show_pid
show_pid=

want=$((128 + $(kill -l "$sig")))
[ "$status" = "$want" ] || fail "exit status $status, not $want (ended by SIG$sig)"
xwininfo -root -tree | grep -qF "\"$title\"" && fail "the window is still there"
segs=$(ipcs -m -p | awk -v p="$pid" '$3 == p {print $1}')
[ -z "$segs" ] || fail "shared segments left: $segs"

# The WAV file: RIFF size = data size + 36, and sox reads every sample the
# header declares. The data size is the file's length - 44, but after
# SIGKILL to the whole group: the music process then dies mid-song, and the
# header may be up to one block (32768 bytes) of whole samples behind.
[ -f music.wav ] || fail "no music.wav"
length=$(stat -c %s music.wav)
u32() { od -An -tu4 -j "$1" -N4 music.wav | tr -d ' '; }
data=$(u32 40)
behind=0
[ "$sig:$target" = KILL:group ] && behind=32768
unread=$((length - 44 - data))
[ "$(u32 4)" = $((data + 36)) ] || fail "RIFF size $(u32 4) with data size $data"
[ $unread -ge 0 ] && [ $unread -le $behind ] && [ $((data % 4)) = 0 ] ||
    fail "data size $data in a file of $length bytes"
samples=$(sox --i -s music.wav 2>/dev/null)
[ "$samples" = $((data / 4)) ] || fail "sox reads $samples samples of $((data / 4))"
echo "PASS: SIG$sig to $target $delay s after the music started, $samples samples declared, $unread bytes after them"
