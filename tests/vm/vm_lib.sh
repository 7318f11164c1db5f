# vm_lib.sh: what the VM tests share; sourced, with $work set to the test's
# temporary folder, where each VM keeps its run folder ($work/NAME), its
# runner's output ($work/NAME.log) and the runner's status ($work/NAME.rc).
# A test starts its VMs, then drives each by what it sees happen there: a
# line on the console, a picture on the screen, the program's end; every
# wait has a deadline counted from the moment the program started in its VM
# (a VM may first wait for a free slot: tests/vm/fbvm.sh bounds how many run
# at once on the machine). The waits cost the host little: they look with
# shell builtins a few times a second, and the screens are looked at and
# judged by one process for a whole wait (vm_screen, $VM_SCREEN), so the CPU
# goes to the VMs.

# nap and log_next: the waits start no process.
. "$(dirname "${BASH_SOURCE[0]}")/vm_follow.sh"

# The perl side of the monitor and of the guest's command line.
export VM_QEMU_PL
VM_QEMU_PL=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/vm_qemu.pl

# vm_begin TEST: with $data and $fbvm set, the start of every VM test. The
# test's folder is made; the VMs still running at the end are stopped and
# the folder removed; the tools, the show's data and the VM runner's set-up
# are checked.
vm_begin() {
    vm_test=$1
    work=$(mktemp -d "/tmp/skarn-$vm_test-XXXXXX")
    pids=()
    trap vm_cleanup EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT
    for tool in qemu-system-x86_64 perl flock; do
        command -v $tool >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
    done
    [ -x "${VM_SCREEN:-}" ] || { echo "FAIL: VM_SCREEN does not name the screen checker (the build's tests/vm/vm_screen)"; exit 1; }
    nap_open "$work" || { echo "FAIL: no fifo in $work"; exit 1; }
    [ -f "$data/grafika/1/hatter04.pcx" ] || { echo "FAIL: no data in $data"; exit 1; }
    "$fbvm" --setup >"$work/setup.log" 2>&1 || { echo "FAIL: the VM runner cannot set itself up:"; cat "$work/setup.log"; exit 1; }
}
vm_cleanup() {
    for p in ${pids[@]+"${pids[@]}"}; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
# fail WHAT: one failed check; the count lives in a file, so checks run in
# the background (one VM's course each) count as well.
fail() { echo "FAIL: $*"; echo "$*" >>"$work/failed"; }

# vm_finish: the end of every VM test: on failure (or with SKARN_KEEP_SHOTS
# set) the screens (as PNG, where ImageMagick is installed), logs and serial
# logs go to a folder of this test's own.
vm_finish() {
    local failures
    failures=$(cat "$work/failed" 2>/dev/null | wc -l)
    if [ $failures -gt 0 ] || [ -n "${SKARN_KEEP_SHOTS:-}" ]; then
        local keep=${SKARN_KEEP_SHOTS:-$(mktemp -d "/tmp/skarn-$vm_test-failed-XXXXXX")} d f
        mkdir -p "$keep" && cp "$work"/*.log "$keep"/ 2>/dev/null
        for f in "$work"/*.ppm; do
            [ -f "$f" ] || continue
            f=${f##*/}
            MAGICK_THREAD_LIMIT=1 convert "$work/$f" "$keep/${f%.ppm}.png" 2>/dev/null || cp "$work/$f" "$keep/"
        done
        for d in "$work"/*/; do [ -f "$d/serial.log" ] && cp "$d/serial.log" "$keep/$(basename "$d").serial.log"; done
        echo "shots and logs kept in $keep"
    fi
    if [ $failures -gt 0 ]; then
        echo "FAIL: $failures checks"
        exit 1
    fi
    echo PASS
}

# vm_start NAME FBVM-OPTIONS... -- PROGRAM: one VM in the background. It
# holds after the program's end until vm_end (at most 10 minutes).
vm_start() {
    local name=$1
    shift
    (
        "$fbvm" --quiet --hold 600 --rundir "$work/$name" "$@" >"$work/$name.log" 2>&1 &
        pid=$!
        trap 'kill $pid 2>/dev/null' TERM  # the runner stops its VM on TERM
        wait $pid
        echo $? >"$work/$name.rc"
    ) &
    pids+=($!)
}

# vm_started NAME: waits until the program runs in its VM; false if the
# runner ended first. Sets vm_t0, the host's clock (ms) at the program's start.
vm_started() {
    until [ -s "$work/$1/program.started" ]; do
        [ -f "$work/$1.rc" ] && return 1
        nap 0.2
    done
    read -r vm_t0 <"$work/$1/program.started"
}

# vm_seconds NAME: whole seconds since the program started in its VM, into
# vm_s (after vm_started NAME).
vm_seconds() {
    local now=${EPOCHREALTIME/./}
    vm_s=$(((now / 1000 - vm_t0) / 1000))
}

# vm_line NAME REGEX DEADLINE: waits for a serial-log line that REGEX (an
# extended regular expression, anchored at the line's start) matches and
# prints it; false when none has come DEADLINE seconds after the program's
# start or the VM is gone. The log is followed from where the last look
# ended, five looks a second, and whole lines only are judged: the guest may
# be half-way through the line looked for.
vm_line() {
    local LINE LOG_PART='' fd
    vm_started "$1" || return 1
    exec {fd}<"$work/$1/serial.log"
    while :; do
        while log_next $fd; do
            [[ $LINE =~ ^$2 ]] && { echo "$LINE"; exec {fd}<&-; return 0; }
        done
        vm_seconds "$1"
        [ ! -f "$work/$1.rc" ] && [ $vm_s -lt "$3" ] || { exec {fd}<&-; return 1; }
        nap 0.2
    done
}

# vm_program_end NAME: the line of the program's end, waited for as long as
# its VM runs: the runner in the guest stops the program after --seconds of
# the guest's own time, which a busy host stretches on the wall clock.
vm_program_end() {
    vm_line "$1" 'FBVM: program (exited|stopped)' 100000
}

# vm_ctl NAME DEADLINE COMMAND...: sends COMMAND to the guest (see fbvm.sh
# --help) and prints its answer; false when none has come by DEADLINE
# seconds after the program's start.
vm_ctl() {
    local name=$1 deadline=$2 left CTL_SOCK
    shift 2
    vm_started "$name" || return 1
    . "$work/$name/sockets"
    vm_seconds "$name"
    left=$((deadline - vm_s))
    [ $left -gt 0 ] || left=1
    perl -e 'BEGIN { require $ENV{VM_QEMU_PL} }
        my ($sock, $serial, $rc, $left, $cmd) = @ARGV;
        my $answer = ctl($sock, $serial, $rc, time + $left, $cmd);
        defined $answer or exit 1;
        print "$answer\n";
    ' "$CTL_SOCK" "$work/$name/serial.log" "$work/$name.rc" "$left" "$*"
}

# vm_end NAME: asks the VM to power off and waits for its runner to end.
vm_end() {
    vm_ctl "$1" 100000 poweroff >/dev/null
    while [ ! -f "$work/$1.rc" ]; do nap 0.2; done
}

# vm_screen NAME OUT.ppm: what the VM's screen shows now, as qemu writes it.
vm_screen() {
    local MON_SOCK
    [ -f "$work/$1/sockets" ] || return 1
    . "$work/$1/sockets"
    "$VM_SCREEN" look "$MON_SOCK" "$2"
}

# vm_screen_until NAME OUT.ppm DEADLINE CHECK...: a look at the screen every
# half second until one passes CHECK (see tests/vm/vm_screen.h); false when
# none has by DEADLINE seconds after the program's start (OUT.ppm is then
# the last look). Prints what the last look showed.
vm_screen_until() {
    local name=$1 out=$2 deadline=$3 MON_SOCK
    shift 3
    vm_started "$name" || { echo "no program"; return 1; }
    . "$work/$name/sockets"
    "$VM_SCREEN" until "$MON_SOCK" "$out" "$work/$name/program.started" "$deadline" "$work/$name.rc" "$@"
}

# vm_check SHOT CHECK...: SHOT passes CHECK; prints what it showed.
vm_check() {
    "$VM_SCREEN" check "$@"
}
