// common.h: what the parts of the show share: the sine-table index rule,
// the per-row sideways wobble, the ring pattern of parts 1 and 4, the soft
// light spot of parts 1 and 3, composing a frame through a shade table,
// the wandering window and row shifts of the layered parts 5, 6 and 7,
// checked picture loads and their fatal messages. Also the state of every
// part that its tests and benchmarks look at.
#pragma once

#include "parts.h"
#include "gfx2d.h"

#include <cstdint>

// ---------------------------------------------------------------- shared helpers

// Index into sin_table / cos_table for any int v: v & 1023 for v >= 0 and
// (v - 1) & 1023 for v < 0, so -300 reads entry 723. The parts were tuned
// with this rule, which is one step off a plain modulo for negative values.
inline int parts_trig_index(int v)
{
    return v >= 0 ? (v & 1023) : ((v - 1) & 1023);
}

// Rotates row r of img right by s = (sin_table[(phase + r) x 4] x width)
// >> shift pixels (s + width when negative): the sideways wobble of parts 1
// (shift 13) and 2 (shift 16).
void parts_wobble_rows(Image *img, int phase, int shift);

// Rotates one row of width pixels right by s (0 <= s < width): pixel x
// moves to x + s, the last s pixels wrap to the left edge.
void parts_rotate_row_right(uint8_t *row, int width, int s);

// The interference pattern of two moving ring sets for frame t: computed at
// field resolution (106 x 80) into field, stretched over ring_image and
// blurred there. Values lie in 128..255 (192 where the waves cancel).
void parts_draw_rings(Image *field, Image *ring_image, int t);

// Creates *out as a soft round spot of 2 radius x 2 radius pixels: at
// distance R (rounded) from the centre it holds (255 - R x 256 / radius) / 4
// in whole numbers, from 63 in the middle down to 0 at R = radius and beyond.
// The light spots of parts 1 and 3; a failed allocation takes the fatal path.
void parts_create_spot(Image **out, int radius);

// One pointer per light value (0..255) to the 256-byte row that gives the
// shown colour index for each colour index. A part fills it once from its
// shade table and its own light rule; parts_black_row stands for "black
// whatever the colour".
struct ShadeRows {
    const uint8_t *row[256];
};
extern const uint8_t parts_black_row[256];

// out[i] = rows->row[light[i]][colour[i]] for count pixels; out may be light.
void parts_compose_shaded(uint8_t *out, const uint8_t *light, const uint8_t *colour, int count,
                          const ShadeRows *rows);

// Rows for a light layer that holds shade levels directly: light L shows
// level L. Levels past the table's last (63) show level 63; the blurred
// light layers of parts 5, 6 and 7 can reach 64 and more where bright wire
// lines or glowing text pile up.
void parts_shade_rows_direct(ShadeRows *rows, const ShadeTable *table);

// The source rectangle that parts 5, 6 and 7 stretch over their colour
// layer: it wanders over a 320 x 240 picture and turns at its edges.
struct PartsWindow {
    int32_t x, dir_x, y, dir_y, w, h;
};
constexpr PartsWindow PARTS_WINDOW_START = {100, 1, 75, 1, 120, 90};

// Moves win by step_x across and step_y up or down along its directions;
// a side that passes an edge of 320 x 240 is put back on it and turns.
void parts_move_window(PartsWindow *win, int step_x, int step_y);

// The row wobble of the layered parts' 320 x 240 layers: shifts[r] =
// (sin_table[8 (r + phase) & 1023] x 320) >> shift for r = 0..239, so
// shift 13, 14 and 15 swing the rows by -40..39, -20..19 and -10..9.
void parts_row_shifts(int32_t *shifts, int phase, int shift);
// Row r of dst = row r of src rotated right by shifts[r] (a negative shift
// counts from 320): source pixel x lands at (x + shift) mod 320. Both
// images are 320 x 240.
void parts_copy_rows_shifted(Image *dst, const Image *src, const int32_t *shifts);
// Turns a picture in its part's brightness-sorted palette into light
// levels: each of the first 320 x 240 pixels p becomes (p >> 3) + base,
// so brightness order 0..255 becomes levels base..base + 31.
void parts_make_light_levels(Image *img, int base);
// parts_load_picture with the fatal message "Can't load image %s !\n".
void parts_load_picture_cant(const char *path, Image **out, Palette *pal, int min_width, int min_height,
                             int max_width, int max_height);

// Loads a PCX picture into *out with its palette in pal. A picture that
// does not load, or whose size is outside min..max, takes the fatal path
// with "Cann't load image %s !\n": the parts read fixed windows of their
// pictures and must not run past them.
void parts_load_picture(const char *path, Image **out, Palette *pal, int min_width, int min_height,
                        int max_width, int max_height);

// Builds a part's shade table from its palette: the longest step of a
// part's load, so a stop that came during the step before ends the show
// first.
void parts_build_shade_table(const Palette *pal, ShadeTable *out);

// The fatal exit of a part whose image cannot be made (status -1).
[[noreturn]] void parts_fatal_alloc_image(void);

// ---------------------------------------------------------------- part 1

struct LightSpot {
    int32_t x, y;    // left and top edge, 16.16 pixels
    int32_t vx, vy;  // 16.16 pixels per frame
};

constexpr int PART1_SPOT_ROWS = 16;
constexpr int PART1_SPOT_COLUMNS = 21;
constexpr int PART1_SPOT_COUNT = PART1_SPOT_ROWS * PART1_SPOT_COLUMNS;

extern Image *part1_pictures[6];
extern Palette part1_palette;
extern ShadeTable part1_shade_table;
extern Image *part1_spot;
extern LightSpot part1_light_spots[PART1_SPOT_COUNT];
extern Image *part1_ring_field;
extern Image *part1_ring_image;

void part1_draw_rings(int t);
// Melt shift for picture p, elapsed tenths e and last change c: 4 shows the
// picture whole, 0..3 melt it by 64 >> h pixels at most.
int part1_melt_shift(int p, int e, int c);
// Replaces the ring pattern in part1_ring_image by picture melted along
// its rows: pixel i comes from i + ((ring - 192) >> h), held inside.
void part1_melt(const Image *picture, int h);
// Moves one spot by a frame; true when it is to be drawn at (x >> 16,
// y >> 16), false when it wrapped to the far side this frame.
bool part1_step_spot(LightSpot *s);
// Moves every spot one frame and adds those that stay on screen onto frame.
void part1_move_spots(Image *frame);

// ---------------------------------------------------------------- part 2

struct TitleStrip {
    int32_t dest_x, dest_y;
    int32_t src_x0, src_y0;
    int32_t src_x1, src_y1;  // exclusive
    int32_t start;           // tenths at which it starts to light up
    int32_t full;            // tenths after start at which it starts to fade
    int32_t level;           // 0..5, written by the run
};

extern uint8_t *part2_distance_table;
extern uint8_t *part2_angle_table;
extern Image *part2_texture;
extern Image *part2_background;
extern Image *part2_strip_picture;
extern Palette part2_palette;
extern ShadeTable part2_shade_table;
extern TitleStrip part2_strips[];

void part2_build_polar_tables(uint8_t *distance, uint8_t *angle, int width, int height, int direction,
                              int variant);
void part2_build_polar_tables_alt1(uint8_t *distance, uint8_t *angle, int width, int height, int direction);
void part2_build_polar_tables_alt2(uint8_t *distance, uint8_t *angle, int width, int height, int direction);
void part2_build_polar_tables_alt3(uint8_t *distance, uint8_t *angle, int width, int height, int direction);
// The tunnel through the polar tables: upper half looked up, lower half
// its mirror.
void part2_draw_tunnel(Image *frame);
// The glowing 6 x 6 block at the tunnel's centre.
void part2_draw_glow(Image *frame);
// One step of every strip at elapsed tenths e: draws the lit ones onto
// frame and moves their levels on.
void part2_update_strips(Image *frame, int e);

// ---------------------------------------------------------------- part 3

extern Image *part3_spot;
// How much the light field sinks per frame for a run of duration tenths.
int part3_fade_for(int duration);

// ---------------------------------------------------------------- part 4

// A bouncing ball: centre in field pixels and velocity in pixels per unit
// of time step. Single precision, as the bounce arithmetic was tuned in it.
struct Ball {
    float x, y;
    float vx, vy;
};

constexpr int PART4_BALL_COUNT = 30;
constexpr int PART4_SPOT_SIZE = 64;

extern Image *part4_pictures[3];  // flat, dug, raised
extern Palette part4_palette;
extern ShadeTable part4_shade_table;
extern uint8_t *part4_spot;  // 64 x 64 ball profile, 0..127
extern Ball part4_balls[PART4_BALL_COUNT];
extern Image *part4_ring_field;
extern Image *part4_ring_image;

// Fills part4_spot (already allocated) and draws the balls' starting
// places and velocities.
void part4_init_balls(void);
// Moves every ball by step units of time, bounces it off the 40..280 x
// 40..200 box and lays it into the 320-wide field: even balls raise it,
// odd balls dig, saturating at 255 and 0 as each is laid.
void part4_move_balls(uint8_t *field, int step);
// Part 1's ring pattern over part 4's own images.
void part4_draw_rings(int t);
// The relief shift for frame n when the relief started after frame d:
// 6 in the first frame, down by one every two frames, 0 from the twelfth.
int part4_relief_shift(int n, int d);
// Which picture field value g shows (0 flat, 1 dug, 2 raised) and at what
// shade level; the flat picture's level comes from the rings instead, so
// *level is only set for the other two.
int part4_band(int g, int *level);

// ---------------------------------------------------------------- part 5

struct Object3D;

// A ball of the field, in grid units along the three grid indices; the
// velocity is added every frame.
struct Metaball {
    float x, y, z;
    float vx, vy, vz;
};

constexpr int PART5_GRID = 20;
constexpr int PART5_POINTS = PART5_GRID * PART5_GRID * PART5_GRID;
constexpr int PART5_FALLOFF_SIZE = 1200;
// The surface builder's own room: the renderers take at most 10000
// vertices, the object has triangles for 8000.
constexpr int PART5_MAX_VERTICES = 10000;
constexpr int PART5_MAX_TRIANGLES = 8000;

extern Object3D *part5_object;
extern Image *part5_light_picture;
extern Image *part5_colour_picture;
extern Palette part5_palette;
extern ShadeTable part5_shade_table;
extern Metaball part5_balls[4];
extern float part5_grid_points[PART5_POINTS][3];
extern float part5_field[PART5_POINTS];
extern uint8_t part5_inside[PART5_POINTS];
extern float part5_crossings[3][PART5_POINTS];
extern float part5_falloff[PART5_FALLOFF_SIZE];
extern PartsWindow part5_window;
extern int32_t part5_row_shift[240];
extern const uint16_t part5_edge_table[256];
extern const int8_t part5_triangle_table[256][16];

// One frame's step of every ball, turned back at the walls of its box.
void part5_move_balls(void);
// part5_field from the balls: 6500 minus their summed falloff.
void part5_sample_field(void);
// part5_inside and part5_crossings from part5_field.
void part5_find_crossings(void);
// Wire level for tenths d and frame v: bright, flashing, then dark.
int part5_wire_colour(int d, int v);
// The camera's distance at tenths d; false while it holds still.
bool part5_camera_distance(int d, float *distance);
// Marching cubes over part5_inside and part5_crossings into obj, from the
// lowest ball's layer up; shared edge points become one vertex.
void part5_build_surface(Object3D *obj, uint8_t texture, uint8_t colour);
// The same surface, every corner merged by object_find_vertex's linear
// search: the reference for part5_build_surface's edge-keyed merge.
void part5_build_surface_linear(Object3D *obj, uint8_t texture, uint8_t colour);
// One frame at tenths d, frame v, into frame: the run's work between two
// waits (the object's matrix must be set).
void part5_draw_frame(Image *frame, int d, int v);

// ---------------------------------------------------------------- part 6

struct Matrix4;

extern Image *part6_light_picture;
extern Image *part6_colour_picture;
extern Image *part6_textures[2];
extern int32_t part6_texture_sizes[2];
extern Palette part6_palette;
extern ShadeTable part6_shade_table;
extern Object3D *part6_object_a;
extern Object3D *part6_object_b;
extern PartsWindow part6_window;
extern int32_t part6_colour_shift[240];
extern int32_t part6_light_shift[240];

// Object A's turn per frame (radians about x, y, z) at tenths d; the three
// rates trade places at d = 33 and d = 66.
void part6_spin_rates(int d, float rates[3]);
// Object A's camera position for frame v: it sways and moves in and out.
void part6_camera_a(int v, float *tx, float *ty, float *tz);
// Scales obj by (sx, sy, sz), turns it into place for the part's camera
// and bakes that into its positions; its matrix is the identity after.
void part6_bake_object(Object3D *obj, float sx, float sy, float sz);
// Turns obj by one step of spin, views it from (tx, ty, tz) and appends
// what the view keeps to the clip scratch object.
void part6_place_object(Object3D *obj, const Matrix4 *spin, float tx, float ty, float tz);
// One frame at tenths d, frame v, into frame: the run's work between two
// waits.
void part6_draw_frame(Image *frame, int d, int v);

// ---------------------------------------------------------------- part 7

constexpr int PART7_GRID_COLUMNS = 10;
constexpr int PART7_GRID_ROWS = 8;
constexpr int PART7_GRID_POINTS = PART7_GRID_COLUMNS * PART7_GRID_ROWS;
constexpr int PART7_EDGE_ENTRIES = 300;

extern Image *part7_pages[4];
extern Image *part7_texture;
extern Image *part7_colour_picture;
extern Image *part7_corners[4];
extern PolygonPoint part7_corner_positions[4];
extern int32_t part7_corner;
extern int32_t part7_corner_frames;
extern Palette part7_palette;
extern ShadeTable part7_shade_table;
extern ScanlineEdge part7_left_edges[PART7_EDGE_ENTRIES];
extern ScanlineEdge part7_right_edges[PART7_EDGE_ENTRIES];
// Grid point (c, r) is entry r x 10 + c.
extern PolygonPoint part7_grid_screen[PART7_GRID_POINTS];
extern PolygonPoint part7_grid_offset[PART7_GRID_POINTS];
extern PolygonPoint part7_grid_texture[PART7_GRID_POINTS];
extern PartsWindow part7_window;

// Rest positions on the 320 x 240 screen and texel positions in the
// 256 x 256 texture of the 10 x 8 grid points; offsets cleared.
void part7_build_grid(void);
// The page shown at elapsed tenths d and the size of its box in the
// texture: grows 11 pixels a tenth, holds at 220 x 180, shrinks again.
void part7_page_box(int d, int *page, int *width, int *height);
// Sways the inner grid points for phase q; the outer ring stays put.
void part7_sway_grid(int q);
// Maps texture (256 x 256) onto dst (320 x 240) through the grid, one quad
// at a time from the bottom-right.
void part7_draw_grid(Image *dst, const Image *texture);
// The feedback light layer: the text in text (non-zero pixels) is copied
// onto light, smeared, made to glow where it is brighter than its trail,
// and blurred.
void part7_light_layer(uint8_t *light, const uint8_t *text);
// One frame of the corner picture's timing: when its frames are used up, a
// new corner (never the same one again) is drawn for 5 to 24 frames.
// Returns the corner to show and counts the frame.
int part7_step_corner(void);
// One frame at tenths d and sway phase q into frame: the run's work
// between two waits (the light layer in work_image_a carries over).
void part7_draw_frame(Image *frame, int d, int q);

// ---------------------------------------------------------------- part 8

extern Palette part8_palette;
extern Image *part8_picture;
extern int32_t part8_fade_steps[256][3];
extern int32_t part8_fade_levels[256][3];

void empty_stub_a(void);
void empty_stub_b(void);
