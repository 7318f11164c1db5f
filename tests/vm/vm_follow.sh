# vm_follow.sh: waiting without costing the host, for the VM runner and the
# VM tests (sourced by both): a sleep and a growing log's next line, each
# with shell builtins alone, so a wait starts no process.

# nap_open DIR: makes nap ready: a fifo nobody writes, made in DIR and
# unlinked at once. nap SECONDS then sleeps in read -t on it.
nap_open() { mkfifo "$1/nap.fifo" && exec {NAP_FD}<>"$1/nap.fifo" && rm -f "$1/nap.fifo"; }
nap() { read -r -t "$1" -u "$NAP_FD" _ || true; }

# log_next FD: the next whole line of the log open on FD, without its
# carriage return, into LINE; false when no whole line is there yet. A line
# still being written waits in LOG_PART for its end.
log_next() {
    local l
    if IFS= read -r -u "$1" l; then
        LINE=$LOG_PART${l%$'\r'}
        LOG_PART=''
        return 0
    fi
    LOG_PART+=$l
    return 1
}
