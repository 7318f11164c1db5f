// sound.cpp: sound set-up and the music process (not built yet: the show
// runs silent).
#include "skarn.h"

int sound_enabled = 0;
volatile int music_playing = 0;
int music_pid = 0;

int sound_setup(void) { return 0; }
int music_load(const char *) { return 0; }
void music_start(void) {}
void music_stop(void) {}
void sound_shutdown(void) {}
int music_load_and_start(const char *) { return 0; }
void music_on_sigchld(int) {}
void music_child_on_signal(int) {}
