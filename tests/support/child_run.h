// child_run.h: runs a piece of code in a forked child, with given text on
// its standard input and its standard output (unbuffered) captured, for
// tests of code that prints, asks or ends the process. Also the one way
// the tests write into a child's input pipe.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// write() into a pipe whose reader may have gone: a child that ends before
// reading its input (every failure path that asks nothing) must not take
// the test program down with SIGPIPE. The signal is held off in this thread
// for the call and a SIGPIPE it raised is taken back, so EPIPE is just a
// result. Returns what write() returns.
inline ssize_t child_write(int fd, const void *data, size_t size)
{
    sigset_t pipe_set, old, pending;
    sigemptyset(&pipe_set);
    sigaddset(&pipe_set, SIGPIPE);
    sigpending(&pending);
    const bool already = sigismember(&pending, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_set, &old);
    const ssize_t n = write(fd, data, size);
    const int err = errno;
    if (n < 0 && err == EPIPE && !already) {
        const struct timespec now = {0, 0};
        sigtimedwait(&pipe_set, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
    return n;
}

struct ChildRun {
    std::string out;  // everything it printed on standard output
    int status;       // its exit status, or 128 + the signal that ended it
};

// body runs in the child, which then exits with status 0 (running the exit
// handlers) unless body ended it first. The input is fed while the output
// is read, so neither side waits on a full pipe; input the child never
// reads is dropped when it ends.
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
    fcntl(in[1], F_SETFL, fcntl(in[1], F_GETFL) | O_NONBLOCK);
    ChildRun run;
    size_t fed = 0;
    int to_child = in[1];
    if (input.empty()) {
        close(to_child);
        to_child = -1;
    }
    for (;;) {
        struct pollfd p[2] = {{out[0], POLLIN, 0}, {to_child, POLLOUT, 0}};
        if (poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (p[1].revents) {
            const ssize_t n = child_write(to_child, input.data() + fed, input.size() - fed);
            if (n > 0)
                fed += (size_t)n;
            if ((n < 0 && errno != EAGAIN) || fed == input.size()) {
                close(to_child);
                to_child = -1;
            }
        }
        if (p[0].revents) {
            char buf[4096];
            const ssize_t n = read(out[0], buf, sizeof buf);
            if (n > 0)
                run.out.append(buf, (size_t)n);
            else if (n == 0 || errno != EINTR)
                break;
        }
    }
    if (to_child >= 0)
        close(to_child);
    close(out[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    run.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return run;
}
