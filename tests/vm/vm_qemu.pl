# vm_qemu.pl: the host's side of a throw-away VM for the VM tests' perl,
# loaded with require: qemu's human monitor (freeze, resume, screendump)
# and the guest's command line (fbvm.sh's ctl: a command in, the answer as
# a line of the serial log).
use strict;
use IO::Socket::UNIX;
use Time::HiRes qw(sleep time);

# vm_connect SOCK [END RC_FILE]: a connection to a unix socket qemu serves;
# qemu may still be setting it up, so tried until END (five seconds from
# now when not given) or until the VM is gone (RC_FILE written).
sub vm_connect {
    my ($sock, $end, $rc) = @_;
    $end //= time + 5;
    for (;;) {
        my $s = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Peer => $sock);
        return $s if $s;
        return undef if time > $end || (defined $rc && -e $rc);
        sleep 0.1;
    }
}

# The monitor: mon_open SOCK, then mon COMMAND, each true once qemu's
# prompt is back. A VM frozen with "stop" is let go again when the caller
# ends, however it ends.
my ($mon, $frozen);
sub mon_prompt {
    my $seen = "";
    while (sysread($mon, my $c, 4096)) { $seen .= $c; return 1 if $seen =~ /\(qemu\) $/ }
    return 0;
}
sub mon_open { ($mon = vm_connect($_[0])) && mon_prompt() }
sub mon {
    print $mon "$_[0]\n";
    $frozen = $_[0] eq "stop" ? 1 : $_[0] eq "cont" ? 0 : $frozen;
    mon_prompt();
}
END { local $?; mon("cont") if $mon && $frozen }

# ctl CTL_SOCK SERIAL RC_FILE END COMMAND: sends COMMAND to the guest and
# returns its answer, or undef when none has come by the time END or the
# VM is gone (RC_FILE written). The connection stays open until the answer
# is in: the command reaches the guest whenever it reads its line.
sub ctl {
    my ($sock, $serial, $rc, $end, $cmd) = @_;
    my $id = "$$" . int(rand(1e6));
    my $s = vm_connect($sock, $end, $rc) or return undef;
    $s->autoflush(1);
    print $s "$id $cmd\n";
    # The log is followed from where the last look ended, whole lines only:
    # the guest may be half-way through this one.
    my ($f, $at) = (undef, 0);
    while (time < $end) {
        if ($f || open $f, "<", $serial) {
            seek $f, $at, 0;
            while (my $l = <$f>) {
                last unless $l =~ /\n\z/;
                $at = tell $f;
                return $1 if $l =~ /^FBVM: ctl \Q$id\E (.*?)\r?\n\z/;
            }
        }
        return undef if -e $rc;
        sleep 0.1;
    }
    return undef;
}
1;
