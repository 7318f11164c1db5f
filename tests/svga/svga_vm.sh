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

start() {   # start NAME ANSWERS
    printf "$2" >"$work/$1.answers"
    vm_start "$1" --fb none --workdir "$data" --answers "$work/$1.answers" --seconds 600 -- "$program"
}
start m2 '0\n2\n'
start m6 '0\n6\n'
start m4 '0\n4\n'
start ref '0\n'

# The colours a part can show: its palette as the 6-bit DAC holds it and
# qemu widens it (v << 2, the low bit copied into the two new ones).
palette_colours() {
    tail -c 768 "$1" | od -An -v -tu1 -w3 |
        awk '{for (i = 1; i <= 3; i++) {v = int($i / 4); w[i] = v * 4 + (v % 2) * 3}
              printf "%02X%02X%02X\n", w[1], w[2], w[3]}' | sort -u
}
palette_colours "$data/grafika/1/txt3.pcx" >"$work/part1.colours"
palette_colours "$data/grafika/1/hatter04.pcx" >"$work/part2.colours"
shot_colours() { convert "$1" -depth 8 -unique-colors rgb:- | od -An -v -tu1 -w3 | awk '{printf "%02X%02X%02X\n", $1, $2, $3}'; }

# shows_part PART SIZE SHOT: a picture of many colours, all from PART's
# palette, over the whole screen of SIZE (the bottom right corner too).
shows_part() {
    local colours
    [ "$(convert "$3" -format '%wx%h' info:)" = "$2" ] || return 1
    colours=$(shot_colours "$3")
    [ "$(wc -l <<<"$colours")" -ge 32 ] || return 1
    [ -z "$(comm -23 <(sort -u <<<"$colours") "$work/$1.colours")" ] || return 1
    [ "$(convert "$3" -gravity SouthEast -crop 25%x25%+0+0 +repage -unique-colors -format '%w' info:)" -ge 8 ]
}

# closing_in_place NAME: the closing picture lasts 3 s, less than one look
# at the screen may take on a busy machine, so every look is taken with the
# VM frozen (qemu's "stop": the guest's clock stops with it) and the show
# moves on only between looks, for 0.3 s at a time. From the first look that
# shows the picture, 30 looks are kept, 75 ms apart, a frame and a half, so
# they find both pages the show flips between. A look at the 320x240 mode
# (each pixel doubled) is "in-place" when, halved, it is the picture pixel
# for pixel (99%) at one level k/20 of its fade, as the 6-bit DAC holds it
# and qemu widens it; "moved" when its colours are all those of one such
# level but its pixels are not where the picture has them (a picture rolled
# or wrapped by a wrong display start); "other" for anything else: the
# fade's dark ends (fewer than 32 colours), a palette caught half written.
# No kept look may be "moved", and at least four must be "in-place".
closing_in_place() {
    local name=$1 seen=0 what shot looks MON_SOCK
    vm_started "$name" || { fail "$name: no closing picture (no program)"; return; }
    . "$work/$name/sockets"
    looks=$(perl -e '
        BEGIN { require $ENV{VM_QEMU_PL} }
        my ($sock, $pic_file, $serial, $prefix) = @ARGV;
        open my $p, "<", $pic_file or die; binmode $p; local $/; my $pic = <$p>; close $p;
        my $n = 320 * 240;
        length($pic) == 3 * $n or die;
        # A component c at fade level k: (c * k * 3276) >> 16, then six bits.
        sub level { my ($c, $k) = @_; my $v = (($c * $k * 3276) >> 16) >> 2; $v * 4 + ($v % 2) * 3 }
        my %colours = map { (substr($pic, 3 * $_, 3) => 1) } 0 .. $n - 1;
        my @want = map { my $k = $_; +{ map { ($_ => pack("C3", map { level($_, $k) } unpack("C3", $_))) } keys %colours } } 1 .. 20;
        my @fits = map { +{ map { ($_ => 1) } values %$_ } } @want;
        sub closing {
            open my $f, "<", $_[0] or return "other"; binmode $f; my $ppm = <$f>; close $f;
            $ppm =~ s/\AP6\s+640\s+480\s+255\s//s or return "other";
            my $shot = join "", map { my $row = 3 * 640 * 2 * $_; map { substr($ppm, $row + 6 * $_, 3) } 0 .. 319 } 0 .. 239;
            my %shown = map { (substr($shot, 3 * $_, 3) => 1) } 0 .. $n - 1;
            return "other" if keys(%shown) < 32;
            for my $k (0 .. 19) {
                next if grep { !$fits[$k]{$_} } keys %shown;
                my $same = grep { $want[$k]{substr($pic, 3 * $_, 3)} eq substr($shot, 3 * $_, 3) } 0 .. $n - 1;
                return $same >= 0.99 * $n ? "in-place" : "moved";
            }
            return "other";
        }
        mon_open($sock) or exit 2;
        my $kept = 0;
        for (my $i = 0; $i < 5000; $i++) {
            mon("stop") or exit 2;
            my $file = sprintf("%s-%02d.ppm", $prefix, $kept);
            mon("screendump $file") or exit 2;
            my $what = closing($file);
            if ($kept || $what ne "other") { print "$file $what\n"; $kept++ }
            exit 0 if $kept == 30;
            # The program ended: nothing more to look at.
            open my $l, "<", $serial or exit 2; my $log = <$l>; close $l;
            exit($kept ? 0 : 1) if $log =~ /^FBVM: program (exited|stopped)/m;
            mon("cont") or exit 2;
            sleep($kept ? 0.075 : 0.3);
        }
        exit 1;
    ' "$MON_SOCK" "$work/closing.rgb" "$work/$name/serial.log" "$work/$name-part8") ||
        { fail "$name: no closing picture"; return; }
    while read -r shot what; do
        convert "$shot" "${shot%.ppm}.png" 2>/dev/null
        [ "$what" = moved ] && { fail "$name: the closing picture is not in its place ($shot)"; return; }
        [ "$what" = in-place ] && seen=$((seen + 1))
    done <<<"$looks"
    [ $seen -ge 4 ] || fail "$name: the closing picture seen in place only $seen times"
}
convert "$data/grafika/5/grimfall.pcx" -depth 8 "rgb:$work/closing.rgb"

# follow NAME SIZE LAST: one VM's course. Part 1, then part 2 on its screen;
# LAST "end": the closing picture and the show's own end with 0, "stop": the
# program stopped by the VM runner after part 2; then the screen after the
# end.
follow() {
    local name=$1 size=$2 last=$3 line
    vm_screen_until "$name" "$work/$name-part1.png" 120 shows_part part1 "$size" || fail "$name: no part 1 at $size"
    vm_screen_until "$name" "$work/$name-part2.png" 240 shows_part part2 "$size" || fail "$name: no part 2 at $size"
    if [ "$last" = end ]; then
        closing_in_place "$name"
        line=$(vm_program_end "$name")
        [[ $line == *"exited status=0 "* ]] || fail "$name: the show did not end by itself with 0 ($line)"
    else
        vm_ctl "$name" 480 stop >/dev/null
        line=$(vm_program_end "$name")
        [[ $line == *stopped-at-deadline* ]] || fail "$name: not stopped by the runner ($line)"
    fi
    vm_screen "$name" "$work/$name-end.png" || fail "$name: no screen after the end"
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
vm_screen ref "$work/ref-end.png"
vm_end ref
[ -f "$work/ref-end.png" ] && [ "$(convert "$work/ref-end.png" -format '%wx%h' info:)" = 720x400 ] ||
    fail "ref: no text screen"
wait
pids=()

for name in m2 m6 m4; do
    end=$work/$name-end.png
    if [ ! -f "$end" ]; then
        fail "$name: no shot after the end"
    elif [ "$(convert "$end" -format '%wx%h' info:)" != 720x400 ] || ! vm_same_text "$end" "$work/ref-end.png"; then
        fail "$name: the console does not show its text again"
    fi
done
vm_finish
