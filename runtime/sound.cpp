// sound.cpp: the sound set-up questions, the MikMod start and stop, and the
// music process: a forked child that plays the loaded module once while the
// show runs, stopped by SIGUSR1 and reaped by the SIGCHLD handler. With a
// disk writer, the sound file's header follows the file as it grows.
#include "skarn.h"

#include <mikmod.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

int sound_enabled = 0;
volatile int music_playing = 0;  // written by the SIGCHLD handler
int music_pid = 0;

static MODULE *music_module = nullptr;
static const int music_extspd = 1;
static const int music_panflag = 1;
static const int music_loop = 0;  // the song plays once and ends
static const int music_max_channels = 64;

// How long music_stop waits for the music process to leave on its own
// before it kills it: far more than a healthy one needs, and short enough
// that the show's end never hangs.
static const long music_stop_grace_ms = 2000;

// Set by the music process's signal handler, read by its play loop.
static volatile sig_atomic_t music_child_stop_requested = 0;

// The signals the music process takes as "stop"; music_stop sends the first,
// and the kernel sends it too when the show's process dies (even by SIGKILL).
// SIGHUP: a closed terminal ends the music with the show.
static const int music_stop_signals[] = {SIGUSR1, SIGTERM, SIGINT, SIGHUP};

// Blocks SIGCHLD, so the handler cannot reap the music process while its
// pid is stored or signalled, and with stop_signals also the signals the
// music process takes as "stop", so a new child keeps them pending until
// its own handler is in place. The old mask goes to *old.
static void music_block_signals(bool stop_signals, sigset_t *old)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGCHLD);
    if (stop_signals)
        for (int sig : music_stop_signals)
            sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, old);
}

static void music_install_handler(int sig, void (*handler)(int), int flags)
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(sig, &action, nullptr);
}

int sound_setup(void)
{
    // The library sizes its own mixing buffer: there is no buffer-size
    // setting in this version of it.
    md_mixfreq = 44100;
    md_device = 0;
    md_volume = 96;
    md_musicvolume = 128;
    md_sndfxvolume = 128;
    md_pansep = 128;
    md_reverb = 0;
    md_mode = DMODE_SOFT_MUSIC | DMODE_STEREO | DMODE_16BITS;

    int mode = prompt_int("Choose output mode:\n0. NO music\n1. 8 bits, mono\n2. 8 bits, stereo\n"
                          "3. 16 bits, mono\n4. 16 bits, stereo\nType corresponding number : ",
                          0, 4);
    switch (mode) {
    case 0:
        sound_enabled = 0;
        return 0;
    case 1: md_mode = DMODE_SOFT_MUSIC; break;
    case 2: md_mode = DMODE_SOFT_MUSIC | DMODE_STEREO; break;
    case 3: md_mode = DMODE_SOFT_MUSIC | DMODE_16BITS; break;
    default: md_mode = DMODE_SOFT_MUSIC | DMODE_STEREO | DMODE_16BITS; break;
    }

    MikMod_RegisterAllLoaders();
    MikMod_RegisterAllDrivers();

    printf("Choose sound device :\n");
    char *list = MikMod_InfoDriver();
    int count = 0;
    if (list && list[0]) {
        count = 1;
        for (const char *p = list; *p; p++)
            count += *p == '\n';
    }
    if (count == 0) {
        // No list means no driver to choose: a question nobody can answer.
        MikMod_free(list);
        printf("MikMod Driver error!\n");
        fflush(stdout);
        sound_enabled = 0;
        return -1;
    }
    printf("%s\n", list);
    MikMod_free(list);

    md_device = (UWORD)prompt_int("Type corresponding number : ", 1, count);
    md_mixfreq = (UWORD)prompt_int("Enter mixing frequency (eg. 11025,22050,44100) : ", 8000, 44100);

    if (MikMod_Init("") != 0) {
        printf("MikMod Driver error!\n");
        fflush(stdout);
        sound_enabled = 0;
        return -1;
    }

    // A disk writer's header sits in a stdio buffer until something flushes
    // it: put it into the file now, so a show killed before its music starts
    // still leaves a whole (empty) sound file.
    fflush(nullptr);

    // Read after the start, so the line tells what the library settled on.
    printf("Using %s for %d bit %s %s sound at %u Hz\n\n", md_driver->Name,
           (md_mode & DMODE_16BITS) ? 16 : 8, (md_mode & DMODE_INTERP) ? "interpolated" : "normal",
           (md_mode & DMODE_STEREO) ? "stereo" : "mono", (unsigned)md_mixfreq);
    fflush(stdout);

    sound_enabled = 1;
    music_playing = 0;
    music_pid = 0;
    // SA_RESTART: the terminal reads and the waits the handler interrupts go on.
    music_install_handler(SIGCHLD, music_on_sigchld, SA_RESTART | SA_NOCLDSTOP);
    return 0;
}

// The sound file that a disk writer of the library fills, or null.
static const char *music_disk_file(void)
{
    return md_driver == &drv_wav ? "music.wav" : md_driver == &drv_aiff ? "music.aiff" : nullptr;
}

// A disk writer's header as read back from its file.
struct MusicDiskHeader {
    uint8_t bytes[54];
    int size;    // 44 for WAV, 54 for AIFF, 0 when the file is neither
    long frame;  // bytes of one sample frame
};

// Writes value as 4 bytes at b, little- or big-endian.
static void music_put_u32(uint8_t *b, uint32_t value, bool big_endian)
{
    for (int i = 0; i < 4; i++)
        b[big_endian ? 3 - i : i] = (uint8_t)(value >> (8 * i));
}

// Reads the header of a WAV or AIFF file of the disk writers; false when
// the file holds neither.
static bool music_read_disk_header(int fd, MusicDiskHeader *h)
{
    uint8_t *b = h->bytes;
    const ssize_t got = pread(fd, b, sizeof h->bytes, 0);
    h->size = 0;
    if (got >= 44 && memcmp(b, "RIFF", 4) == 0 && memcmp(b + 8, "WAVE", 4) == 0 && memcmp(b + 36, "data", 4) == 0) {
        h->size = 44;
        h->frame = b[32] | b[33] << 8;  // block alignment
    } else if (got == 54 && memcmp(b, "FORM", 4) == 0 && memcmp(b + 8, "AIFFCOMM", 8) == 0 &&
               memcmp(b + 38, "SSND", 4) == 0) {
        h->size = 54;
        h->frame = (long)(b[20] << 8 | b[21]) * (((b[26] << 8 | b[27]) + 7) / 8);  // channels x bytes
    }
    return h->size > 0 && h->frame > 0;
}

// Sets every size in the header from the file's length, counting whole
// sample frames only (a kill may cut the last one), and writes the header
// back in one piece, so that no kill leaves it half old and half new.
static void music_write_disk_header(int fd, MusicDiskHeader *h, off_t length)
{
    if (length < h->size || length - h->size > 0xffffff00L)
        return;  // too short, or too long for the header's 32-bit sizes
    const uint32_t sound = (uint32_t)((length - h->size) / h->frame * h->frame);
    uint8_t *b = h->bytes;
    if (h->size == 44) {
        music_put_u32(b + 4, sound + 36, false);  // RIFF: the rest of the header and the sound
        music_put_u32(b + 40, sound, false);
    } else {
        music_put_u32(b + 4, sound + 46, true);  // FORM: the rest of the header and the sound
        music_put_u32(b + 22, (uint32_t)(sound / h->frame), true);  // sample frames
        music_put_u32(b + 42, sound + 8, true);  // SSND: offset, block size, sound
    }
    (void)!pwrite(fd, b, (size_t)h->size, 0);
}

// The WAV and AIFF writers fill in their header sizes when the library
// shuts down, but the sound was written by the music process, so the
// parent's counts are zero: set every size from the length of the file.
static void music_patch_disk_header(const char *path)
{
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return;
    MusicDiskHeader h;
    struct stat st;
    if (music_read_disk_header(fd, &h) && fstat(fd, &st) == 0)
        music_write_disk_header(fd, &h, st.st_size);
    close(fd);
}

// The music process's own descriptor on the disk writer's file, its header
// and the file length the header's sizes were last set from.
static int music_header_fd = -1;
static MusicDiskHeader music_header;
static off_t music_header_length = -1;

// After each update of a disk writer: the library's stream is flushed and,
// when the file has grown, the header's sizes are set from its length. So a
// kill at any moment leaves a whole sound file whose header is at most one
// update's block behind the sound in it. The library does not name its
// stream, hence the flush of every stream (the music process writes no
// other); the header goes through a descriptor of its own, which leaves the
// library's file position alone.
static void music_keep_header_true(void)
{
    if (music_header_fd < 0)
        return;
    fflush(nullptr);
    struct stat st;
    if (fstat(music_header_fd, &st) == 0 && st.st_size != music_header_length) {
        music_write_disk_header(music_header_fd, &music_header, st.st_size);
        music_header_length = st.st_size;
    }
}

// Frees the loaded song, if any.
static void music_free_module(void)
{
    if (music_module) {
        Player_Stop();
        Player_Free(music_module);
        music_module = nullptr;
    }
}

int music_load(const char *path)
{
    if (sound_enabled != 1 || music_playing == 1)
        return 0;
    music_free_module();
    music_module = Player_Load(path, music_max_channels, 0);
    if (!music_module) {
        printf("MikMod Error\n");
        fflush(stdout);
        return -1;
    }
    music_module->extspd = music_extspd;
    music_module->panflag = music_panflag;
    music_module->loop = music_loop;
    return 0;
}

// The music process: plays the song until it ends or a stop signal comes.
// The library takes a lock inside MikMod_Update, Player_Stop and
// Player_Free, so the handler only raises a flag and the loop does the rest.
[[noreturn]] static void music_child_run(const sigset_t *parent_mask, pid_t parent)
{
    music_child_stop_requested = 0;
    // Stop when the show's process is gone, however it ended; it may have
    // ended before this was in place, then the music never starts.
    prctl(PR_SET_PDEATHSIG, SIGUSR1);
    if (getppid() != parent)
        music_child_stop_requested = 1;
    sigset_t mask = *parent_mask;
    for (int sig : music_stop_signals) {
        music_install_handler(sig, music_child_on_signal, 0);
        sigdelset(&mask, sig);
    }
    music_install_handler(SIGCHLD, SIG_DFL, 0);  // no children of its own to reap
    // A back end may ignore SIGPIPE for its own connection; a sound output
    // whose reader has gone ends the music process as before.
    music_install_handler(SIGPIPE, SIG_DFL, 0);
    // A stop that came during the fork is pending and is taken here.
    sigprocmask(SIG_SETMASK, &mask, nullptr);

    if (const char *disk_file = music_disk_file()) {
        music_header_fd = open(disk_file, O_RDWR | O_CLOEXEC);
        if (music_header_fd >= 0 && !music_read_disk_header(music_header_fd, &music_header)) {
            close(music_header_fd);
            music_header_fd = -1;
        }
    }

    // music_start forks only with sound on and no music playing; after a
    // failed load there is no song and the process ends at once.
    if (music_module) {
        Player_Start(music_module);
        while (!music_child_stop_requested && Player_Active()) {
            MikMod_Update();
            music_keep_header_true();
            usleep(500);
        }
        music_free_module();
    }
    // The library is never shut down here (the parent owns it): its stream
    // is flushed, the header set for the last time, and the process leaves
    // without running the show's exit handlers.
    fflush(nullptr);
    music_keep_header_true();
    _exit(0);
}

void music_start(void)
{
    if (sound_enabled != 1 || music_playing == 1)
        return;

    sigset_t old_mask;
    music_block_signals(true, &old_mask);

    // Anything still buffered (text, the WAV header) would otherwise be
    // written once by each process.
    fflush(nullptr);
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0)
        music_child_run(&old_mask, parent);
    if (pid > 0) {
        music_pid = pid;
        music_playing = 1;
    } else {
        // No music process: nothing to signal later, the show runs silent.
        music_pid = 0;
        music_playing = 0;
    }
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);
}

static long music_monotonic_ms(void)
{
    // Real time, not the show's clock: a test's virtual clock must not
    // shorten the wait for a real process.
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

// Ends the music process pid (still unreaped: the caller blocks SIGCHLD):
// ask with SIGUSR1, give it a moment, then kill it; always reap it.
static void music_end_process(pid_t pid)
{
    kill(pid, SIGUSR1);
    long deadline = music_monotonic_ms() + music_stop_grace_ms;
    for (;;) {
        pid_t got = waitpid(pid, nullptr, WNOHANG);
        if (got == pid || (got < 0 && errno != EINTR))
            return;  // reaped, or not our child any more
        if (music_monotonic_ms() >= deadline)
            break;
        struct timespec step = {0, 1000000};
        nanosleep(&step, nullptr);
    }
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void music_stop(void)
{
    if (sound_enabled != 1 || music_playing != 1)
        return;
    sigset_t old_mask;
    music_block_signals(false, &old_mask);
    // With SIGCHLD blocked, a set flag means the process is not reaped yet,
    // so music_pid is still ours to signal.
    if (music_playing == 1 && music_pid > 0)
        music_end_process(music_pid);
    music_playing = 0;
    music_pid = 0;
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);
}

void sound_shutdown(void)
{
    if (sound_enabled != 1)
        return;
    music_stop();
    music_free_module();
    const char *disk_file = music_disk_file();
    MikMod_Exit();
    if (disk_file)
        music_patch_disk_header(disk_file);
    // Shut down once: a second call (a fatal path after the shutdown) does nothing.
    sound_enabled = 0;
}

int music_load_and_start(const char *path)
{
    // music_load itself does nothing with sound off or music playing.
    if (music_load(path) != 0)
        return -1;
    music_start();
    return 0;
}

void music_on_sigchld(int)
{
    int saved_errno = errno;
    // Only the music process is reaped here: other children (the archive
    // reader's tar) belong to whoever waits for them.
    const pid_t pid = music_pid;
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == pid) {
        music_playing = 0;
        music_pid = 0;  // reaped: the id may now name someone else
    }
    errno = saved_errno;
}

void music_child_on_signal(int)
{
    music_child_stop_requested = 1;
}
