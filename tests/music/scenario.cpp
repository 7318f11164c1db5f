// scenario.cpp: the child-process runner of the music tests.
#include "scenario.h"
#include "sound_files.h"
#include "../support/child_run.h"

#include <mikmod.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

TempDir::TempDir()
{
    const char *base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/skarn-music-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()))
        path = buf.data();
}

TempDir::~TempDir()
{
    if (!path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
}

long ScenarioResult::fact(const std::string &key) const
{
    auto it = facts.find(key);
    return it == facts.end() ? -99999 : strtol(it->second.c_str(), nullptr, 10);
}

long scenario_now_ms(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

void scenario_sleep_ms(long ms)
{
    struct timespec step = {ms / 1000, (ms % 1000) * 1000000};
    while (nanosleep(&step, &step) < 0 && errno == EINTR) {
    }
}

static FILE *scenario_facts = nullptr;

void scenario_fact(const char *key, long value)
{
    if (scenario_facts) {
        fprintf(scenario_facts, "%s %ld\n", key, value);
        fflush(scenario_facts);
    }
}

void scenario_fact_text(const char *key, const std::string &value)
{
    if (scenario_facts) {
        fprintf(scenario_facts, "%s %s\n", key, value.c_str());
        fflush(scenario_facts);
    }
}

ScenarioResult scenario_run(const std::string &dir, const std::string &answers,
                            const std::function<void()> &body, long time_limit_ms)
{
    ScenarioResult result;
    int answer_pipe[2];
    if (pipe(answer_pipe) != 0)
        return result;
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        close(answer_pipe[0]);
        close(answer_pipe[1]);
        return result;
    }
    if (pid == 0) {
        setpgid(0, 0);
        close(answer_pipe[1]);
        if (chdir(dir.c_str()) != 0)
            _exit(120);
        dup2(answer_pipe[0], 0);
        close(answer_pipe[0]);
        clearerr(stdin);
        int out = open("out.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0)
            _exit(121);
        dup2(out, 1);
        close(out);
        scenario_facts = fopen("facts.txt", "w");
        body();
        fflush(nullptr);
        // exit, not _exit: the leak checker of a sanitizer build runs here.
        exit(0);
    }
    setpgid(pid, pid);  // also here, so the group exists whoever runs first
    close(answer_pipe[0]);
    // The answers are a few short lines: the pipe holds them all. A child
    // that ends before reading them is not a fault of the writer.
    const ssize_t n = child_write(answer_pipe[1], answers.data(), answers.size());
    if (n != (ssize_t)answers.size() && !(n < 0 && errno == EPIPE))
        fprintf(stderr, "scenario: answers not written\n");
    close(answer_pipe[1]);

    long deadline = scenario_now_ms() + time_limit_ms;
    int status = 0;
    for (;;) {
        pid_t got = waitpid(pid, &status, WNOHANG);
        if (got == pid) {
            result.finished = true;
            break;
        }
        if (got < 0 || scenario_now_ms() > deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        scenario_sleep_ms(2);
    }
    if (result.finished && WIFEXITED(status))
        result.exit_status = WEXITSTATUS(status);
    // A process left in the group (an orphaned music process) is a failure;
    // kill it so that it does not outlive the test.
    result.group_gone = kill(-pid, 0) < 0 && errno == ESRCH;
    if (!result.group_gone)
        kill(-pid, SIGKILL);

    result.out = file_bytes(dir + "/out.txt");
    std::istringstream facts(file_bytes(dir + "/facts.txt"));
    std::string line;
    while (std::getline(facts, line)) {
        size_t space = line.find(' ');
        if (space != std::string::npos)
            result.facts[line.substr(0, space)] = line.substr(space + 1);
    }
    return result;
}

Driver driver_lookup(const char *alias)
{
    TempDir dir;
    ScenarioResult r = scenario_run(dir.path, "", [alias] {
        MikMod_RegisterAllDrivers();
        int number = MikMod_DriverFromAlias(alias);
        scenario_fact("number", number);
        MDRIVER *driver = MikMod_DriverByOrdinal(number);
        scenario_fact_text("name", driver ? driver->Name : "");
    });
    Driver d;
    d.number = (int)r.fact("number");
    auto it = r.facts.find("name");
    if (it != r.facts.end())
        d.name = it->second;
    return d;
}

int scenario_max_line_repeats(const std::string &text)
{
    std::map<std::string, int> seen;
    int most = 0;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty())
            most = std::max(most, ++seen[line]);
    return most;
}

int scenario_count(const std::string &text, const std::string &piece)
{
    int n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
        n++;
    return n;
}
