// show.cpp: what main shares with the parts: the two scratch images, the
// black screen put between loads and runs, the one fatal-exit path, and the
// orderly end of the show when it is stopped by a signal.
#include "skarn.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

Image *work_image_a = nullptr;
Image *work_image_b = nullptr;

// The signal that asked the show to stop, 0 while none has come.
static volatile sig_atomic_t show_stop_signal = 0;

// SIGQUIT too: a console left in a graphics mode by Ctrl-\ is unusable.
static const int show_stop_signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

static void show_on_stop_signal(int sig)
{
    show_stop_signal = sig;
}

void show_open_standard_files(void)
{
    // A descriptor closed at start would go to the first file or connection
    // opened, and the show's text would then be written into it.
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1)
            continue;
        const int got = open("/dev/null", O_RDWR);
        if (got >= 0 && got != fd) {
            dup2(got, fd);
            close(got);
        }
    }
}

void show_install_stop_handlers(void)
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = show_on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (int sig : show_stop_signals)
        sigaddset(&action.sa_mask, sig);
    // No SA_RESTART: a question waiting for its answer returns and sees the
    // request at once.
    action.sa_flags = 0;
    for (int sig : show_stop_signals)
        sigaction(sig, &action, nullptr);
}

int show_stop_requested(void)
{
    return show_stop_signal;
}

void show_check_stop(void)
{
    const int sig = show_stop_signal;
    if (sig == 0)
        return;
    // The same shutdown as the fatal path, so the screen, the music process
    // and the sound output are all given back; then the process ends by the
    // signal itself, so whoever started it sees what stopped it.
    fflush(stdout);
    display_close();
    music_stop();
    sound_shutdown();
    fflush(nullptr);
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    _exit(128 + sig);  // not reached: the default action ends the process
}

void blank_screen(Image *frame)
{
    show_check_stop();
    memset(current_palette.rgb, 0, sizeof current_palette.rgb);
    display_set_palette(&current_palette);
    memset(frame->pixels, 0, (size_t)frame->width * (size_t)frame->height);
    display_put_frame(frame);
    display_wait_retrace();
}

void show_fatal(const char *message, int status)
{
    fputs(message, stdout);
    fflush(stdout);
    display_close();
    music_stop();
    sound_shutdown();
    exit(status);
}
