// child_run.h: runs a piece of code in a forked child, with given text on
// its standard input and its standard output (unbuffered) captured, for
// tests of code that prints, asks or ends the process.
#pragma once

#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct ChildRun {
    std::string out;  // everything it printed on standard output
    int status;       // its exit status, or 128 + the signal that ended it
};

// body runs in the child, which then exits with status 0 (running the exit
// handlers) unless body ended it first.
inline ChildRun child_run(const std::string &input, const std::function<void()> &body)
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return {"", -1};
    fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        setvbuf(stdout, nullptr, _IONBF, 0);
        body();
        exit(0);
    }
    close(in[0]);
    close(out[1]);
    (void)!write(in[1], input.data(), input.size());
    close(in[1]);
    ChildRun run;
    char buf[4096];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;)
        run.out.append(buf, (size_t)n);
    close(out[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    run.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return run;
}
