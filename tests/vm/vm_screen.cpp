// vm_screen: looks at a throw-away VM's screen for the VM tests, through
// qemu's human monitor, and judges what it shows (checks: vm_screen.h).
// One process does all the looks of one wait, so a test that watches its
// VMs for minutes costs the host little beside the VMs themselves.
//
//   vm_screen look MON_SOCK OUT.ppm
//       one screen, as qemu writes it
//   vm_screen check SHOT.ppm CHECK [ARGS...]
//       judges a screen taken before; prints what it saw
//   vm_screen until MON_SOCK OUT.ppm STARTED DEADLINE RC CHECK [ARGS...]
//       a look every half second until one passes CHECK (status 0); status
//       1 when none has DEADLINE seconds after the program's start (the
//       host's clock in ms, in the file STARTED) or the VM is gone (the file
//       RC written, or the monitor closed). OUT.ppm is the last look; what
//       it showed is printed.
//   vm_screen closing MON_SOCK PICTURE.pcx SERIAL PREFIX
//       the closing picture of the SVGA show, which lasts 3 s: see below.
//
// Status 2: wrong arguments or a monitor that does not answer.
#include "vm_screen.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

static int mon_fd = -1;
static bool mon_frozen;

static double now_s()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}
static void nap(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }
static bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// Reads until qemu's prompt ends what it has sent; false when the monitor
// closes or says nothing for a minute.
static bool mon_prompt()
{
    std::string seen;
    char buf[4096];
    for (;;) {
        pollfd p = {mon_fd, POLLIN, 0};
        if (poll(&p, 1, 60000) <= 0)
            return false;
        const ssize_t n = read(mon_fd, buf, sizeof buf);
        if (n <= 0)
            return false;
        seen.append(buf, n);
        if (seen.size() >= 7 && seen.compare(seen.size() - 7, 7, "(qemu) ") == 0)
            return true;
    }
}

// qemu may still be setting its socket up: tried for five seconds.
static bool mon_open(const std::string &sock)
{
    sockaddr_un a = {};
    a.sun_family = AF_UNIX;
    if (sock.size() >= sizeof a.sun_path)
        return false;
    memcpy(a.sun_path, sock.c_str(), sock.size() + 1);
    for (double end = now_s() + 5;;) {
        mon_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (mon_fd >= 0 && connect(mon_fd, (sockaddr *)&a, sizeof a) == 0)
            return mon_prompt();
        if (mon_fd >= 0)
            close(mon_fd);
        mon_fd = -1;
        if (now_s() > end)
            return false;
        nap(0.1);
    }
}

// False when the monitor has gone (with qemu): it is closed then.
static bool mon(const std::string &cmd)
{
    const std::string line = cmd + "\n";
    if (mon_fd >= 0 && send(mon_fd, line.data(), line.size(), MSG_NOSIGNAL) == ssize_t(line.size()) &&
        mon_prompt()) {
        mon_frozen = cmd == "stop" || (mon_frozen && cmd != "cont");
        return true;
    }
    if (mon_fd >= 0)
        close(mon_fd);
    mon_fd = -1;
    return false;
}

// A frozen VM is let go however this program ends.
static void mon_release()
{
    if (mon_frozen)
        mon("cont");
}
static void on_signal(int)
{
    mon_release();
    _exit(1);
}

static bool look(const std::string &out, Shot *shot)
{
    unlink(out.c_str());
    return mon("screendump " + out) && shot_read_ppm(out, shot);
}

static int until(const std::vector<std::string> &a)
{
    // MON_SOCK OUT STARTED DEADLINE RC CHECK...
    std::ifstream f(a[2]);
    double started_ms = 0;
    if (!(f >> started_ms) || !mon_open(a[0]))
        return 2;
    const double end = started_ms / 1000 + atof(a[3].c_str());
    Check check;
    std::string account = "no screen";
    if (!check_prepare(std::vector<std::string>(a.begin() + 5, a.end()), &check, &account)) {
        fprintf(stderr, "vm_screen: %s\n", account.c_str());
        return 2;
    }
    for (;;) {
        Shot shot;
        if (look(a[1], &shot) && check_judge(check, shot, &account)) {
            printf("%s\n", account.c_str());
            return 0;
        }
        if (mon_fd < 0)
            account = "the VM is gone";
        // The program's own folder gone: its test has ended.
        if (mon_fd < 0 || exists(a[4]) || !exists(a[2]) || now_s() >= end) {
            printf("%s\n", account.c_str());
            return 1;
        }
        nap(0.5);
    }
}

// The closing picture lasts 3 s, less than one look at the screen may take
// on a busy machine, so every look is taken with the VM frozen (qemu's
// "stop": the guest's clock stops with it), and the show moves on only
// between looks, for 0.3 s at a time. From the first look that shows the
// picture, 30 looks are kept, 75 ms apart, a frame and a half, so they find
// both pages the show flips between. Each kept look is printed as "FILE
// JUDGEMENT" (closing_judge). Status 1 when the program ended before any
// look was kept.
static int closing(const std::vector<std::string> &a)
{
    // MON_SOCK PICTURE SERIAL PREFIX
    Shot picture;
    Closing c;
    if (!shot_read_pcx(a[1], &picture, nullptr) || !mon_open(a[0]))
        return 2;
    closing_prepare(picture, &c);
    std::ifstream serial(a[2], std::ios::binary);
    std::string log, line;
    int kept = 0;
    for (int i = 0; i < 5000; i++) {
        char file[4200];
        snprintf(file, sizeof file, "%s-%02d.ppm", a[3].c_str(), kept);
        Shot shot;
        if (!mon("stop"))
            return 2;
        const char *what = look(file, &shot) ? closing_judge(c, shot) : "other";
        if (kept || strcmp(what, "other") != 0) {
            printf("%s %s\n", file, what);
            fflush(stdout);
            kept++;
        }
        if (kept == 30)
            return 0;
        // The program ended: nothing more to look at. Only what is new in
        // the log is read.
        serial.clear();
        while (std::getline(serial, line)) {
            if (serial.eof()) { // a line the guest is still writing
                serial.clear();
                serial.seekg(-std::streamoff(line.size()), std::ios::cur);
                break;
            }
            if (line.rfind("FBVM: program exited", 0) == 0 || line.rfind("FBVM: program stopped", 0) == 0)
                return kept ? 0 : 1;
        }
        if (!mon("cont"))
            return 2;
        nap(kept ? 0.075 : 0.3);
    }
    return 1;
}

int main(int argc, char **argv)
{
    const std::vector<std::string> a(argv + 1, argv + argc);
    const std::string cmd = a.empty() ? "" : a[0];
    const std::vector<std::string> rest(a.begin() + !a.empty(), a.end());
    // Ends with the test that started it, and lets a frozen VM go.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    signal(SIGTERM, on_signal);
    signal(SIGINT, on_signal);
    atexit(mon_release);
    if (cmd == "look" && rest.size() == 2) {
        Shot shot;
        return mon_open(rest[0]) && look(rest[1], &shot) ? 0 : 1;
    }
    if (cmd == "check" && rest.size() >= 2) {
        Shot shot;
        Check check;
        std::string account;
        if (!check_prepare(std::vector<std::string>(rest.begin() + 1, rest.end()), &check, &account)) {
            fprintf(stderr, "vm_screen: %s\n", account.c_str());
            return 2;
        }
        if (!shot_read_ppm(rest[0], &shot)) {
            printf("no screen in %s\n", rest[0].c_str());
            return 1;
        }
        const bool ok = check_judge(check, shot, &account);
        printf("%s\n", account.c_str());
        return !ok;
    }
    if (cmd == "until" && rest.size() >= 6)
        return until(rest);
    if (cmd == "closing" && rest.size() == 4)
        return closing(rest);
    fprintf(stderr, "usage: vm_screen look|check|until|closing ... (see the top of vm_screen.cpp)\n");
    return 2;
}
