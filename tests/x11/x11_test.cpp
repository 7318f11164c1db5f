// The X11 back end against real X servers: one Xvfb per configuration
// (PseudoColor 8, TrueColor 8, 15, 16, 24, 30, each with and without
// MIT-SHM), the probe answering each display mode and checking every pixel
// read back; set-up failures through a preload shim; a server of another
// user, which may not attach the segment; a server that dies mid-show; and
// that no shared segment outlives a run.
#include "../support/child_run.h"
#include "../support/process_ended.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// One Xvfb, started on a free display number it picks itself and stopped
// by its pid when the object goes (also when the test fails; and the server
// dies with the test process should that crash).
struct XvfbServer {
    pid_t pid = -1;
    std::string display;

    // With a user id other than ours (which needs root), the server runs as that user.
    explicit XvfbServer(const std::vector<std::string> &extra, uid_t user = getuid(), gid_t group = getgid())
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        const pid_t parent = getpid();
        pid = fork();
        if (pid == 0) {
            // Before the death signal: a change of user clears it.
            if (user != getuid() && (setgroups(0, nullptr) != 0 || setgid(group) != 0 || setuid(user) != 0))
                _exit(126);
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                _exit(127);
            close(fds[0]);
            const int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
            // -noreset: a server that resets when its last client leaves
            // drops a client that is still connecting at that moment.
            std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-noreset"};
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char *> argv;
            for (std::string &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp("Xvfb", argv.data());
            _exit(127);
        }
        close(fds[1]);
        // The server writes its display number once it accepts connections.
        std::string number;
        struct pollfd p = {fds[0], POLLIN, 0};
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < deadline) {
            if (poll(&p, 1, 100) <= 0)
                continue;
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        close(fds[0]);
        if (!number.empty())
            display = ":" + number;
    }

    void stop()
    {
        if (pid <= 0)
            return;
        kill(pid, SIGTERM);
        for (int i = 0; i < 100; i++) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                pid = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
        // A killed server leaves its socket and lock file behind.
        if (!display.empty()) {
            unlink(("/tmp/.X11-unix/X" + display.substr(1)).c_str());
            unlink(("/tmp/.X" + display.substr(1) + "-lock").c_str());
        }
    }

    ~XvfbServer() { stop(); }
};

// A child program with its standard streams on pipes.
struct Child {
    pid_t pid = -1;
    int in = -1, out = -1, err = -1;
    std::string out_text, err_text;
    int status = -1;
    bool read_out = true;  // false: standard output is left to fill up

    Child(const std::string &path, const std::vector<std::string> &args, const std::vector<std::string> &env,
          const char *cwd = nullptr)
    {
        int pin[2], pout[2], perr[2];
        if (pipe(pin) || pipe(pout) || pipe(perr))
            return;
        const pid_t parent = getpid();
        pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                _exit(127);
            dup2(pin[0], 0);
            dup2(pout[1], 1);
            dup2(perr[1], 2);
            for (int fd : {pin[0], pin[1], pout[0], pout[1], perr[0], perr[1]})
                close(fd);
            for (const std::string &e : env)
                putenv(strdup(e.c_str()));
            if (cwd && chdir(cwd) != 0)
                _exit(126);
            std::vector<std::string> all = {path};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char *> argv;
            for (std::string &a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(pin[0]);
        close(pout[1]);
        close(perr[1]);
        in = pin[1];
        out = pout[0];
        err = perr[0];
    }

    // Answers without ending the input. A child that has already ended
    // (a failure path that asks nothing) is not an error here: its output
    // and status tell the test what happened.
    void say(const std::string &text)
    {
        const ssize_t n = child_write(in, text.data(), text.size());
        if (n != (ssize_t)text.size() && !(n < 0 && errno == EPIPE))
            ADD_FAILURE() << "short write to child";
    }

    // Answers and ends the input.
    void write_input(const std::string &text)
    {
        say(text);
        close(in);
        in = -1;
    }

    // Reads both streams until `until` shows on one of them, or both
    // streams end, or the time is up; true when the text (if any) was seen.
    bool pump(double seconds, const char *until = nullptr)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds((int)(seconds * 1000));
        while (Clock::now() < deadline && ((read_out && out >= 0) || err >= 0)) {
            if (until && (out_text + err_text).find(until) != std::string::npos)
                return true;
            struct pollfd p[2] = {{read_out ? out : -1, POLLIN, 0}, {err, POLLIN, 0}};
            if (poll(p, 2, 50) <= 0)
                continue;
            for (int k = 0; k < 2; k++) {
                if (!(p[k].revents & (POLLIN | POLLHUP)))
                    continue;
                char buf[4096];
                const ssize_t n = read(p[k].fd, buf, sizeof buf);
                if (n > 0) {
                    (k ? err_text : out_text).append(buf, (size_t)n);
                } else {
                    close(p[k].fd);
                    (k ? err : out) = -1;
                }
            }
        }
        return until ? (out_text + err_text).find(until) != std::string::npos : (out < 0 && err < 0);
    }

    // Waits for the exit (killing the child when it overstays); the exit
    // status as the shell shows it, 128 + n for death by signal n.
    int finish(double seconds = 20)
    {
        pump(seconds);
        const auto deadline = Clock::now() + std::chrono::milliseconds((int)(seconds * 1000));
        int st = 0;
        while (waitpid(pid, &st, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &st, 0);
                ADD_FAILURE() << "child did not end in time";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid = -1;
        status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        return status;
    }

    ~Child()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        for (int fd : {in, out, err})
            if (fd >= 0)
                close(fd);
    }
};

// The access modes of the shared segments made by process pid that still exist.
std::vector<int> segment_modes(pid_t pid)
{
    std::ifstream f("/proc/sysvipc/shm");
    std::string line;
    std::getline(f, line);  // header
    std::vector<int> modes;
    while (std::getline(f, line)) {
        std::istringstream s(line);
        std::string perms;  // in octal, with the kernel's own flags above the mode
        long key, id, size, cpid;
        if (s >> key >> id >> perms >> size >> cpid && cpid == pid)
            modes.push_back((int)strtol(perms.c_str(), nullptr, 8) & 0777);
    }
    return modes;
}

int segments_of(pid_t pid)
{
    return (int)segment_modes(pid).size();
}

// The server detaches a client's segment only when it sees the client go.
bool segments_gone(pid_t pid)
{
    for (int i = 0; i < 500; i++) {  // 10 s: generous on a busy machine
        if (segments_of(pid) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// The children of process pid.
std::vector<pid_t> children_of(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    std::vector<pid_t> out;
    pid_t c;
    while (f >> c)
        out.push_back(c);
    return out;
}

std::vector<std::string> env_for(const XvfbServer &x, const std::vector<std::string> &more = {})
{
    std::vector<std::string> env = {"DISPLAY=" + x.display, "ASAN_OPTIONS=verify_asan_link_order=0"};
    env.insert(env.end(), more.begin(), more.end());
    return env;
}

const char *const info_in_use = "INFO: Shared memory extension in use\n";
const char *const info_not_in_use = "INFO: Shared memory extension not in use\n";

struct Config {
    const char *name;
    std::vector<std::string> screen;
    bool shm;
};

void PrintTo(const Config &c, std::ostream *os)
{
    *os << c.name;
}

class X11Config : public ::testing::TestWithParam<Config> {};

}  // namespace

// Every display mode on one server: the probe checks every pixel, the
// window size and place, the colormap; here the INFO line, the exit status
// and that the segment went with the program.
TEST_P(X11Config, EveryDisplayModeShowsExactPixels)
{
    const Config &c = GetParam();
    std::vector<std::string> args = {"-screen", "0"};
    args.insert(args.end(), c.screen.begin(), c.screen.end());
    if (!c.shm) {
        args.push_back("-extension");
        args.push_back("MIT-SHM");
    }
    XvfbServer x(args);
    ASSERT_FALSE(x.display.empty()) << "Xvfb did not start";
    for (int answer = 1; answer <= 4; answer++) {
        Child p(SKARN_X11_PROBE, {}, env_for(x));
        const pid_t pid = p.pid;
        p.write_input(std::to_string(answer) + "\n");
        ASSERT_EQ(p.finish(), 0) << "answer " << answer << "\n" << p.out_text << p.err_text;
        const bool in_use = p.out_text.find(info_in_use) != std::string::npos;
        const bool not_in_use = p.out_text.find(info_not_in_use) != std::string::npos;
        if (answer >= 3) {
            EXPECT_FALSE(in_use || not_in_use) << answer;
        } else {
            EXPECT_EQ(in_use, c.shm) << answer;
            EXPECT_EQ(not_in_use, !c.shm) << answer;
        }
        const char *size = answer % 2 ? "window 320x240" : "window 640x480";
        EXPECT_NE(p.out_text.find(size), std::string::npos) << p.out_text;
        EXPECT_NE(p.out_text.find("all pixels match"), std::string::npos);
        EXPECT_TRUE(segments_gone(pid));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Xvfb, X11Config,
    ::testing::Values(Config{"Pseudo8", {"640x480x8"}, true}, Config{"Pseudo8NoShm", {"640x480x8"}, false},
                      Config{"True8", {"640x480x8", "-cc", "4"}, true},
                      Config{"True8NoShm", {"640x480x8", "-cc", "4"}, false},
                      Config{"True15", {"640x480x15"}, true}, Config{"True15NoShm", {"640x480x15"}, false},
                      Config{"True16", {"640x480x16"}, true}, Config{"True16NoShm", {"640x480x16"}, false},
                      Config{"True24", {"640x480x24"}, true}, Config{"True24NoShm", {"640x480x24"}, false},
                      Config{"True30", {"640x480x30"}, true}, Config{"True30NoShm", {"640x480x30"}, false}),
    [](const ::testing::TestParamInfo<Config> &info) { return std::string(info.param.name); });

TEST(X11Open, WindowLargerThanScreenOverlapsBothEdgesEqually)
{
    XvfbServer x({"-screen", "0", "400x300x16"});
    ASSERT_FALSE(x.display.empty());
    Child p(SKARN_X11_PROBE, {}, env_for(x));
    p.write_input("2\n");
    ASSERT_EQ(p.finish(), 0) << p.out_text << p.err_text;
    EXPECT_NE(p.out_text.find("window 640x480 at -120,-90"), std::string::npos) << p.out_text;
}

TEST(X11Open, AnswerOutOfRangeIsAskedAgain)
{
    XvfbServer x({"-screen", "0", "640x480x24"});
    ASSERT_FALSE(x.display.empty());
    Child p(SKARN_X11_PROBE, {}, env_for(x));
    p.write_input("0\n5\nx\n4\n");
    ASSERT_EQ(p.finish(), 0) << p.out_text << p.err_text;
    size_t asked = 0;
    for (size_t at = 0; (at = p.out_text.find("Type corresponding number : ", at)) != std::string::npos; at++)
        asked++;
    EXPECT_EQ(asked, 4u);
    EXPECT_NE(p.out_text.find("window 640x480"), std::string::npos);
}

TEST(X11Open, NoServerEndsWithMessageOnStandardError)
{
    // A display number with no server behind it.
    int n = 4000;
    while (access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0)
        n++;
    Child p(SKARN_X11_PROBE, {}, {"DISPLAY=:" + std::to_string(n)});
    p.write_input("1\n");
    EXPECT_EQ(p.finish(), 255);
    EXPECT_EQ(p.err_text, std::string(SKARN_X11_PROBE) + ": cannot connect to X server!\n");
    EXPECT_EQ(p.out_text.find("INFO"), std::string::npos);
}

TEST(X11SharedMemory, SegmentThatCannotBeAttachedFallsBackToOrdinaryImage)
{
    XvfbServer x({"-screen", "0", "640x480x24"});
    ASSERT_FALSE(x.display.empty());
    Child p(SKARN_X11_PROBE, {}, env_for(x, {"LD_PRELOAD=" SKARN_X11_SHIM, "SKARN_X11_SHIM=shmat"}));
    const pid_t pid = p.pid;
    p.write_input("2\n");
    ASSERT_EQ(p.finish(), 0) << p.out_text << p.err_text;
    EXPECT_NE(p.out_text.find(info_not_in_use), std::string::npos) << p.out_text;
    EXPECT_EQ(p.out_text.find(info_in_use), std::string::npos);
    EXPECT_TRUE(segments_gone(pid));
}

TEST(X11SharedMemory, RefusedAttachFallsBackInsteadOfEnding)
{
    XvfbServer x({"-screen", "0", "640x480x16"});
    ASSERT_FALSE(x.display.empty());
    Child p(SKARN_X11_PROBE, {}, env_for(x, {"LD_PRELOAD=" SKARN_X11_SHIM, "SKARN_X11_SHIM=attach"}));
    const pid_t pid = p.pid;
    p.write_input("1\n");
    ASSERT_EQ(p.finish(), 0) << p.out_text << p.err_text;
    EXPECT_NE(p.out_text.find(info_not_in_use), std::string::npos) << p.out_text;
    EXPECT_EQ(p.err_text, "");
    EXPECT_TRUE(segments_gone(pid));
}

// The segment is its owner's alone: a server run by another user cannot
// attach it, and the frames go as ordinary images, every pixel exact.
TEST(X11SharedMemory, ServerOfAnotherUserGetsOrdinaryImages)
{
    const struct passwd *nobody = getpwnam("nobody");
    if (getuid() != 0 || !nobody)
        GTEST_SKIP() << "needs root and a user \"nobody\" to run the server as another user";
    XvfbServer x({"-screen", "0", "640x480x24"}, nobody->pw_uid, nobody->pw_gid);
    ASSERT_FALSE(x.display.empty()) << "Xvfb did not start as nobody";
    Child p(SKARN_X11_PROBE, {}, env_for(x));
    const pid_t pid = p.pid;
    p.write_input("2\n");
    ASSERT_EQ(p.finish(), 0) << p.out_text << p.err_text;
    EXPECT_NE(p.out_text.find(info_not_in_use), std::string::npos) << p.out_text;
    EXPECT_NE(p.out_text.find("all pixels match"), std::string::npos);
    EXPECT_EQ(p.err_text, "");
    EXPECT_TRUE(segments_gone(pid));
}

TEST(X11SharedMemory, ImageThatCannotBeMadeEndsWithMinusOne)
{
    XvfbServer x({"-screen", "0", "640x480x24"});
    ASSERT_FALSE(x.display.empty());
    Child p(SKARN_X11_PROBE, {}, env_for(x, {"LD_PRELOAD=" SKARN_X11_SHIM, "SKARN_X11_SHIM=image"}));
    p.write_input("3\n");
    EXPECT_EQ(p.finish(), 255);
    EXPECT_NE(p.out_text.find("Cann't allocate image!\n"), std::string::npos) << p.out_text;
}

TEST(X11SharedMemory, KilledProgramLeavesNoSegment)
{
    XvfbServer x({"-screen", "0", "640x480x24"});
    ASSERT_FALSE(x.display.empty());
    Child p(SKARN_X11_PROBE, {"loop"}, env_for(x));
    const pid_t pid = p.pid;
    p.write_input("1\n");
    ASSERT_TRUE(p.pump(20, "probe: showing")) << p.out_text << p.err_text;
    EXPECT_NE(p.out_text.find(info_in_use), std::string::npos);
    // One segment, for its owner alone.
    EXPECT_EQ(segment_modes(pid), std::vector<int>{0600});
    kill(pid, SIGKILL);
    EXPECT_EQ(p.finish(), 128 + SIGKILL);
    EXPECT_TRUE(segments_gone(pid));
}

TEST(X11SharedMemory, ServerGoneMidShowEndsProgram)
{
    XvfbServer x({"-screen", "0", "640x480x24"});
    ASSERT_FALSE(x.display.empty());
    Child p(SKARN_X11_PROBE, {"loop"}, env_for(x));
    const pid_t pid = p.pid;
    p.write_input("1\n");
    ASSERT_TRUE(p.pump(20, "probe: showing")) << p.out_text << p.err_text;
    x.stop();
    EXPECT_EQ(p.finish(), 255);
    EXPECT_NE(p.err_text.find("Connection to the X server lost!"), std::string::npos) << p.err_text;
    EXPECT_TRUE(segments_gone(pid));
}

// The server goes away, or another client destroys the window, while the
// music plays: the program says so, ends with -1 and takes its music
// process with it. The music goes to standard output, which the test does
// not read: the pipe fills and the music process waits on it, alive,
// however fast it could mix.
TEST(X11SharedMemory, LostServerOrRefusedRequestStopsTheMusicProcess)
{
    struct stat st;
    if (stat(SKARN_DATA_DIR "/music/skarn.xm", &st) != 0)
        GTEST_SKIP() << "no music module in " SKARN_DATA_DIR;
    struct Case {
        const char *mode;
        bool stop_server;
        const char *message;
    };
    const Case cases[] = {
        {"music", true, "Connection to the X server lost!"},
        {"destroy", false, "X protocol error: BadDrawable"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        XvfbServer x({"-screen", "0", "640x480x24"});
        ASSERT_FALSE(x.display.empty());
        Child p(SKARN_X11_PROBE, {c.mode}, env_for(x), SKARN_DATA_DIR);
        p.say("1\n");
        ASSERT_TRUE(p.pump(20, "Standard output driver")) << p.out_text;
        // The number in front of that driver's line.
        const size_t at = p.out_text.rfind('\n', p.out_text.find("Standard output driver"));
        const int driver = atoi(p.out_text.c_str() + at + 1);
        ASSERT_GT(driver, 0) << p.out_text;
        p.read_out = false;
        p.say(std::to_string(driver) + "\n8000\n1\n");
        ASSERT_TRUE(p.pump(30, "probe: showing")) << p.out_text << p.err_text;
        const std::vector<pid_t> music = children_of(p.pid);
        ASSERT_EQ(music.size(), 1u) << p.err_text;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (c.stop_server) {
            ASSERT_FALSE(process_ended(music[0])) << "the music should still be waiting on its pipe";
            x.stop();
        }
        EXPECT_EQ(p.finish(), 255) << p.err_text;
        EXPECT_NE(p.err_text.find(c.message), std::string::npos) << p.err_text;
        bool ended = false;
        for (int i = 0; i < 750 && !ended; i++) {  // 15 s
            ended = process_ended(music[0]);
            if (!ended)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(ended) << "music process " << music[0] << " left running";
        if (!ended)
            kill(music[0], SIGKILL);
    }
}

#ifdef SKARN_X11_PROGRAM
// The whole program under a server, answers piped in as a viewer would type
// them: it runs the show from start to end, exits 0 and leaves no segment.
TEST(X11Show, SkarnX11RunsTheShowAndLeavesNothing)
{
    XvfbServer x({"-screen", "0", "800x600x24"});
    ASSERT_FALSE(x.display.empty());
    struct stat st;
    const char *cwd = stat(SKARN_DATA_DIR, &st) == 0 && S_ISDIR(st.st_mode) ? SKARN_DATA_DIR : nullptr;
    Child p(SKARN_X11_PROGRAM, {}, env_for(x), cwd);
    const pid_t pid = p.pid;
    p.write_input("0\n1\n");
    ASSERT_EQ(p.finish(600), 0) << p.out_text << p.err_text;
    EXPECT_NE(p.out_text.find("*** skarn for LINUX by velk *** \n"), std::string::npos);
    EXPECT_NE(p.out_text.find(info_in_use), std::string::npos);
    EXPECT_NE(p.out_text.find("------------------- Skarn ------------------\n"), std::string::npos);
    EXPECT_TRUE(segments_gone(pid));
}

#endif
