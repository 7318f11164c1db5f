# vm_lib.sh: what the VM tests share; sourced, with $work set to the test's
# temporary folder, where the runs keep their run folders ($work/NAME).

# vm_shot_after_exit NAME: after the program's own end, one screendump
# through the VM's human monitor into $work/NAME-end.png, then the VM is
# stopped (a late --shot only keeps it up till then).
vm_shot_after_exit() {
    local dir=$work/$1
    until grep -aq '^FBVM: program \(exited\|stopped\)' "$dir/serial.log" 2>/dev/null; do
        [ -f "$work/$1.rc" ] && return  # the VM is already gone
        sleep 0.1
    done
    perl -e '
        use strict; use IO::Socket::UNIX;
        my ($sock, $out) = @ARGV;
        $SIG{ALRM} = sub { exit 1 }; alarm 30;
        my $s = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Peer => $sock) or exit 1;
        sub prompt { my $seen = ""; while (sysread($s, my $c, 4096)) { $seen .= $c; return if $seen =~ /\(qemu\)/ } exit 1 }
        prompt(); print $s "screendump $out\n"; prompt(); print $s "quit\n"; sleep 1;
    ' "$dir/monitor.sock" "$work/$1-end.ppm"
    convert "$work/$1-end.ppm" "$work/$1-end.png" 2>/dev/null
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
