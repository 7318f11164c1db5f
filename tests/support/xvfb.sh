# xvfb.sh: sourced by the shell tests that run the X11 show. xvfb_start
# starts an Xvfb of 640x480x24 on a free display number it picks itself,
# sets xvfb_pid and exports DISPLAY; it returns 1 when the server did not
# come up. The caller stops it by its pid. Needs $work, a temporary folder.
# -noreset: by default the server resets when its last client leaves, and
# drops a client still connecting then (a screenshot taker leaving as the
# show connects made the show fail with "cannot connect to X server!").
xvfb_start() {
    # Xvfb writes its display number once it accepts clients.
    exec 3> "$work/displayfd"
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 640x480x24 >/dev/null 2>&1 &
    xvfb_pid=$!
    exec 3>&-
    for _ in $(seq 300); do
        [ -s "$work/displayfd" ] && break
        sleep 0.1
    done
    [ -s "$work/displayfd" ] || return 1
    export DISPLAY=":$(head -n1 "$work/displayfd")"
}
