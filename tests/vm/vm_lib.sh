# vm_lib.sh: what the VM tests share; sourced, with $work set to the test's
# temporary folder, where each VM keeps its run folder ($work/NAME), its
# runner's output ($work/NAME.log) and the runner's status ($work/NAME.rc).
# A test starts its VMs, then drives each by what it sees happen there: a
# line on the console, a picture on the screen, the program's end; every
# wait has a deadline counted from the moment the program started in its VM
# (a VM may first wait for a free slot: tests/vm/fbvm.sh bounds how many run
# at once on the machine).

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
    for tool in qemu-system-x86_64 convert perl flock; do
        command -v $tool >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
    done
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
# set) the screens, logs and serial logs go to a folder of this test's own.
vm_finish() {
    local failures
    failures=$(cat "$work/failed" 2>/dev/null | wc -l)
    if [ $failures -gt 0 ] || [ -n "${SKARN_KEEP_SHOTS:-}" ]; then
        local keep=${SKARN_KEEP_SHOTS:-$(mktemp -d "/tmp/skarn-$vm_test-failed-XXXXXX")} d
        mkdir -p "$keep" && cp "$work"/*.png "$work"/*.log "$keep"/ 2>/dev/null
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
# runner ended first.
vm_started() {
    until [ -s "$work/$1/program.started" ]; do
        [ -f "$work/$1.rc" ] && return 1
        sleep 0.2
    done
}

# vm_seconds NAME: whole seconds since the program started in its VM.
vm_seconds() {
    local now=${EPOCHREALTIME/./}
    echo $(((now / 1000 - $(cat "$work/$1/program.started")) / 1000))
}

# vm_line NAME PATTERN DEADLINE: waits for a serial-log line that begins
# with PATTERN (a basic regular expression) and prints it; false when none
# has come DEADLINE seconds after the program's start or the VM is gone.
vm_line() {
    local line
    vm_started "$1" || return 1
    while :; do
        # Whole lines only (read once, cut at the last newline): the guest
        # may be half-way through the line looked for.
        line=$(perl -0777 -pe 's/[^\n]*\z//' "$work/$1/serial.log" | grep -a -m1 -- "^$2" | tr -d '\r')
        [ -n "$line" ] && { echo "$line"; return 0; }
        [ -f "$work/$1.rc" ] && return 1
        [ "$(vm_seconds "$1")" -lt "$3" ] || return 1
        sleep 0.2
    done
}

# vm_program_end NAME: the line of the program's end, waited for as long as
# its VM runs: the runner in the guest stops the program after --seconds of
# the guest's own time, which a busy host stretches on the wall clock.
vm_program_end() {
    vm_line "$1" 'FBVM: program \(exited\|stopped\)' 100000
}

# vm_ctl NAME DEADLINE COMMAND...: sends COMMAND to the guest (see fbvm.sh
# --help) and prints its answer; false when none has come by DEADLINE
# seconds after the program's start.
vm_ctl() {
    local name=$1 deadline=$2 left CTL_SOCK
    shift 2
    vm_started "$name" || return 1
    . "$work/$name/sockets"
    left=$((deadline - $(vm_seconds "$name")))
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
    while [ ! -f "$work/$1.rc" ]; do sleep 0.2; done
}

# vm_dump NAME OUT.ppm: the VM's screen now, as qemu writes it: no
# conversion, so quick enough for screens taken while the guest waits.
vm_dump() {
    local MON_SOCK
    [ -f "$work/$1/sockets" ] || return 1
    . "$work/$1/sockets"
    rm -f "$2"
    perl -e 'BEGIN { require $ENV{VM_QEMU_PL} }
        $SIG{ALRM} = sub { exit 1 }; alarm 60;
        mon_open($ARGV[0]) && mon("screendump $ARGV[1]") or exit 1;
    ' "$MON_SOCK" "$2" && [ -s "$2" ]
}

# vm_screen NAME OUT.png: what the VM's screen shows now.
vm_screen() {
    vm_dump "$1" "$work/$1.ppm" && convert "$work/$1.ppm" "$2" 2>/dev/null
}

# vm_screen_until NAME OUT.png DEADLINE CHECK...: takes screens until
# CHECK OUT.png passes; false when none has by DEADLINE seconds after the
# program's start (OUT.png is then the last screen taken).
vm_screen_until() {
    local name=$1 out=$2 deadline=$3
    shift 3
    vm_started "$name" || return 1
    while :; do
        vm_screen "$name" "$out" && "$@" "$out" && return 0
        [ -f "$work/$name.rc" ] && return 1
        [ "$(vm_seconds "$name")" -lt "$deadline" ] || return 1
        sleep 0.5
    done
}

# vm_text_rows SHOT: one checksum per text row (16 pixels high) of a
# console screenshot, top to bottom.
vm_text_rows() {
    local h w
    read -r w h <<< "$(convert "$1" -format '%w %h' info:)"
    for ((y = 0; y + 16 <= h; y += 16)); do
        convert "$1" -crop "${w}x16+0+$y" +repage rgb:- | md5sum | cut -c1-12
    done
}

# vm_same_text SHOT REF: true when SHOT shows at least 12 successive text
# rows, not all blank, just as REF (a console that never left text) shows
# them, wherever the console had scrolled to.
vm_same_text() {
    [ -f "$1" ] && [ -f "$2" ] || return 1
    local blank
    blank=$(head -c $(($(convert "$1" -format '%w' info:) * 16 * 3)) /dev/zero | md5sum | cut -c1-12)
    awk -v blank="$blank" 'NR == FNR {ref[FNR] = $1; n = FNR; next}
        {shot[FNR] = $1; m = FNR}
        END {
            for (i = 1; i <= m; i++) for (j = 1; j <= n; j++) {
                k = 0; lit = 0
                while (i + k <= m && j + k <= n && shot[i + k] == ref[j + k]) { lit += ref[j + k] != blank; k++ }
                if (k >= 12 && lit >= 8) exit 0
            }
            exit 1
        }' <(vm_text_rows "$2") <(vm_text_rows "$1")
}
