// skarn.h: the show's chief header. The picture, palette and shade-table
// records, the five display operations every back end implements, and the
// runtime services (clock, prompts, palettes, PCX, files, sound) that the
// parts and the back ends call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>

// ---------------------------------------------------------------- records

// An 8-bit palette-indexed picture; width is also the row stride.
// Records and pixels come from malloc and go back with image_destroy.
struct Image {
    int32_t width;
    int32_t height;
    uint8_t *pixels;
};

// 256 entries of red, green, blue (0..255), entry after entry: the layout of
// a PCX palette block.
struct Palette {
    uint8_t rgb[768];
};

// Row L (0..63) maps colour c to the palette index that best shows c at
// light level L: rows 0..31 darken, 32..63 brighten, 31 and 32 are c itself.
struct ShadeTable {
    uint8_t level[64][256];
};

// ---------------------------------------------------------------- display
// Implemented by exactly one back end per program.

int display_open(int argc, char **argv, const char *title, int width, int height);
void display_set_palette(const Palette *pal);
void display_put_frame(const Image *frame);
void display_wait_retrace(void);
void display_close(void);

// ---------------------------------------------------------------- show

extern Image *work_image_a;
extern Image *work_image_b;

// Black palette, black frame, shown, then a retrace wait.
void blank_screen(Image *frame);

// The one fatal path of main and the parts: print message, close the
// display, stop the music, shut sound down, exit with status.
[[noreturn]] void show_fatal(const char *message, int status);

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so no
// device or connection opened later takes their place. First thing in main.
void show_open_standard_files(void);
// SIGINT, SIGTERM, SIGHUP and SIGQUIT only raise a flag; the frame waits, the black
// screens and the questions look at it through show_check_stop.
void show_install_stop_handlers(void);
// The signal that asked the show to stop, or 0.
int show_stop_requested(void);
// After a stop signal: close the display, stop the music, shut sound down
// and end the process by that signal. Returns at once when none has come.
void show_check_stop(void);

// ---------------------------------------------------------------- image record

int image_create(Image **out, int width, int height);
void image_destroy(Image **img);
void image_put_pixel(Image *img, int x, int y, int colour);
void image_add_pixel(Image *img, int x, int y, int colour);
void image_clear(Image *img, int colour);
int image_load_raw(Image **out, const char *path, Palette *pal);
void bytes_copy_reversed(uint8_t *out, const uint8_t *in, unsigned n);

// ---------------------------------------------------------------- clock

extern int32_t timer_origin_ms;
extern int32_t sin_table[1024];
extern int32_t cos_table[1024];

// The time source: one translation unit of its own, so tests and benchmarks
// can link a virtual clock in its place.
int32_t clock_ms(void);
void clock_sleep_ms(int ms);
// The time of day in seconds since the epoch, for the random seed.
time_t clock_wall_time(void);

void timer_start(void);
int32_t timer_elapsed_ms(void);
// Whole tenths of a second since timer_start: elapsed ms x 0.01 truncated.
int timer_elapsed_tenths(void);
int wait_until_ms(int base_ms, int offset_ms);
void random_seed(void);
int random_below(int n);
void trig_build_tables(void);

// ---------------------------------------------------------------- palettes

extern Palette current_palette;
extern ShadeTable current_shade_table;

// An item of the brightness sort: key = r^2 + g^2 + b^2.
struct PaletteSortItem {
    int32_t key;
    uint8_t red, green, blue;
};

int palette_find_nearest(int colour, const Palette *pal);
void palette_build_shade_table(const Palette *pal, ShadeTable *out);
void palette_sort_by_brightness(Palette *out, const Palette *in);
int palette_compare_brightness(const PaletteSortItem *a, const PaletteSortItem *b);
void palette_rotate(Palette *pal, int start, int count, int shift);

// ---------------------------------------------------------------- PCX

int pcx_load(const char *path, uint8_t **pixels, Palette *pal, int *width, int *height);
int pcx_load_image(const char *path, Image **out, Palette *pal);
int pcx_load_palette(const char *path, Palette *pal);
int pcx_print_info(const char *path, int *width, int *height);
int pcx_save(const char *path, const Image *img, const Palette *pal);
// Decodes a PCX file already in memory; pcx_load reads the file and calls it.
int pcx_decode(const char *path, const uint8_t *data, long size, uint8_t **pixels, Palette *pal,
               int *width, int *height);

// ---------------------------------------------------------------- files and archive

long file_size(FILE *f);
FILE *file_open_write(const char *path);
FILE *file_open_read(const char *path);
int file_read_exact(FILE *f, void *buf, int len);
int file_write_exact(FILE *f, const void *buf, int len);
int file_exists(const char *path);
int file_read_all(const char *path, char **out);
int file_write_all(const char *path, const void *buf, int len);

const char *archive_set_name(const char *name);
const char *archive_get_name(void);
int archive_member_size(const char *archive, const char *member);
int archive_read_member(const char *archive, const char *member, char **out);
char *archive_next_token(char **cursor);

// ---------------------------------------------------------------- prompt and text

int prompt_int(const char *prompt, int min, int max);
int name_table_lookup(const char *name);
void string_copy_bounded(char *dst, const char *src, int len);
char *string_to_upper(char *s);
char *string_to_lower(char *s);
int string_parse_hex(const char *s);
int string_parse_number(const char *s);
int string_equal_n_nocase(const char *a, const char *b, int n);
int string_equal_nocase(const char *a, const char *b);
const char *string_find_nocase(const char *haystack, const char *needle);
void vec4_print(const float v[4]);

// ---------------------------------------------------------------- sound and music
// MikMod plays the module in a forked music process. Every function here is
// safe to call at any time and more than once (the fatal path calls
// music_stop and sound_shutdown whatever state the show is in).

extern int sound_enabled;            // 1 once sound_setup has started the library
extern volatile int music_playing;   // 1 while a music process is believed alive
extern int music_pid;                // that process, 0 when there is none

int sound_setup(void);               // the three questions and MikMod_Init; 0 or -1
int music_load(const char *path);    // 0 loaded or nothing to do, -1 "MikMod Error"
void music_start(void);              // forks the music process
void music_stop(void);               // stops and reaps it (bounded wait, then kill)
void sound_shutdown(void);           // music_stop, then MikMod_Exit
int music_load_and_start(const char *path);
void music_on_sigchld(int sig);      // SIGCHLD handler of the show's process
void music_child_on_signal(int sig); // stop-signal handler of the music process
