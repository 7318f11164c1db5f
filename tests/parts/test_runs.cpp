// test_runs.cpp: whole runs of parts 4 to 7 on pictures made here and the
// show's generated objects, with a fixed seed on the virtual clock, a few
// frames of each pinned by checksum; and the colour windows of the layered
// parts 5, 6 and 7.
#include "engine3d.h"
#include "parts_test.h"

#include <cstring>

namespace {

void load4(void)
{
    part4_load("grafika/4/news1.pcx", "grafika/3/eger2.pcx", "grafika/3/eger3.pcx");
}
void load5(void)
{
    part5_load();
    matrix_scaling(&part5_object->matrix, 17, 17, 17);  // as the run sets it
}
void run4(Image *frame) { part4_run(frame, 165); }
void run6(Image *frame) { part6_run(frame, 106); }
void draw5(Image *frame, int v) { part5_draw_frame(frame, v * 70 / 100, v); }
void draw6(Image *frame, int v) { part6_draw_frame(frame, v * 60 / 100, v); }
void draw7(Image *frame, int v) { part7_draw_frame(frame, v * 60 / 100, 32 * v); }

// A w x h picture in a palette of 256 colours in no order of brightness,
// pixels running through every index in bands and stripes, all made from
// seed: each picture that a part sorts, remaps and lights is different. The
// runs depend on no font or picture generator.
void save_pattern(const char *path, int w, int h, int seed)
{
    Palette pal;
    for (int i = 0; i < 768; i++)
        pal.rgb[i] = (uint8_t)(i * 97 + seed * 31 + (i >> 3) * 13);
    Image *img = nullptr;
    ASSERT_EQ(image_create(&img, w, h), 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            img->pixels[y * w + x] = (uint8_t)(x * (seed + 3) / 5 + y * y / (seed + 7) + ((x ^ y) & 15));
    parts_test_save(path, img, pal);
    image_destroy(&img);
}

// Every run starts where the show starts it: the seed, the clock, the
// windows and the corner as at program start.
void reset_run_state(void)
{
    srand(1);
    virtual_clock_set_ms(0);
    recording_reset();
    part5_window = part6_window = part7_window = PARTS_WINDOW_START;
    part7_corner = part7_corner_frames = 0;
}

}  // namespace

using PartRunsTest = PartsTest;

// Each run sets its palette once and shows its frames: as many as its
// duration allows at its frame period (clock readings cost a little), the
// pinned ones exactly as drawn when the runs were checked against what each
// part is to show. A pin that fails names the part and the frame; after a
// deliberate change to a part, or to the generated objects, look at the
// frames and pin them anew.
TEST_F(PartRunsTest, WholeRunsOfParts4To7DrawTheirPinnedFrames)
{
    parts_test_copy_show_data();
    const char *const pictures[] = {
        "grafika/4/news1.pcx", "grafika/3/eger2.pcx", "grafika/3/eger3.pcx", "grafika/2/3d_3.pcx",
        "grafika/2/kk.pcx",    "grafika/4/sinus.pcx", "grafika/4/3d_bb2.pcx", "grafika/txt-01.pcx",
        "grafika/txt-02.pcx",  "grafika/txt-03.pcx",  "grafika/txt-04.pcx",
    };
    int seed = 0;
    for (const char *path : pictures)
        save_pattern(path, 320, 240, seed++);
    for (const char *path : {"grafika/5/kkol_ja.pcx", "grafika/5/kkol_jf.pcx", "grafika/5/kkol_ba.pcx",
                             "grafika/5/kkol_bf.pcx", "3d/none.pcx", "3d/3d_bb1.pcx"})
        save_pattern(path, 64, 64, seed++);
    struct Pin {
        int frame;
        uint32_t sum;
    };
    const struct {
        int part, frames;  // 16.5 s at 60 ms, 32.5 s at 70 ms, 10.6 s and 21.6 s at 60 ms
        void (*load)(void);
        void (*run)(Image *frame);
        void (*free)(void);
        const Palette *palette;
        Image **light;  // a light picture: levels lo..hi after the load
        int lo, hi;
        Pin pins[5];
    } runs[] = {
        {4, 275, load4, run4, part4_free, &part4_palette, nullptr, 0, 0,
         {{0, 0xf38aba9du}, {92, 0xb717035du}, {97, 0xf6b2a9e1u}, {150, 0xdfc604f2u}, {274, 0x9066e8bcu}}},
        {5, 463, load5, part5_run, part5_free, &part5_palette, &part5_light_picture, 12, 43,
         {{0, 0x0ad8b582u}, {70, 0xce303b34u}, {235, 0x02140742u}, {400, 0x40784235u}, {462, 0x83a44734u}}},
        {6, 177, part6_load, run6, part6_free, &part6_palette, &part6_light_picture, 5, 36,
         {{0, 0x83e41765u}, {40, 0x0c459719u}, {60, 0xde5008aau}, {120, 0x5b8d411cu}, {176, 0x19cba990u}}},
        {7, 359, part7_load, part7_run, part7_free, &part7_palette, nullptr, 0, 0,
         {{0, 0xfaebb74fu}, {30, 0xa6918006u}, {100, 0x4e9dfe0eu}, {250, 0x19e35fbau}, {358, 0x0e168fafu}}},
    };
    Image *frame = nullptr;
    ASSERT_EQ(image_create(&frame, 320, 240), 0);
    for (const auto &r : runs) {
        reset_run_state();
        r.load();
        for (int p = 0; r.light && p < 320 * 240; p++)
            ASSERT_TRUE((*r.light)->pixels[p] >= r.lo && (*r.light)->pixels[p] <= r.hi) << "part " << r.part;
        r.run(frame);
        const std::string ops = recording_ops();
        EXPECT_EQ(ops, "p" + std::string(ops.size() - 1, 'f')) << "part " << r.part;
        EXPECT_EQ((int)ops.size() - 1, r.frames) << "part " << r.part;
        EXPECT_EQ(0, memcmp(recording_palette.rgb, r.palette->rgb, 768)) << "part " << r.part;
        for (const Pin &pin : r.pins)
            if (pin.frame + 1 < (int)recording_calls.size()) {
                EXPECT_EQ(recording_calls[(size_t)pin.frame + 1].sum, pin.sum)
                    << "part " << r.part << " frame " << pin.frame;
            }
        if (r.part == 6) {
            EXPECT_TRUE(part6_object_a == nullptr && part6_object_b == nullptr);  // the run frees them
        }
        r.free();
    }
    image_destroy(&frame);
}

// Parts 5, 6 and 7 stretch a 120 x 90 window of a picture over their
// colour layer; with a picture whose every pixel is its row number, the
// layer's first row shows the window's top row and its last row the row 89
// further down, however the rows wobble. After each frame the window moves
// by its steps (3 and 2 in parts 6 and 7, 1..7 and 2..8 at random in part 5)
// and turns at the edges: x stays in 0..200, y in 0..150.
TEST_F(PartRunsTest, ColourWindowsOfParts5To7WanderAndTurnAtTheEdges)
{
    Image *rows = nullptr, *frame = nullptr;
    ASSERT_EQ(image_create(&rows, 320, 240), 0);
    ASSERT_EQ(image_create(&frame, 320, 240), 0);
    for (int p = 0; p < 320 * 240; p++)
        rows->pixels[p] = (uint8_t)(p / 320);
    const struct {
        int part;
        const char *picture;
        PartsWindow *window;
        void (*load)(void);
        void (*draw)(Image *frame, int v);
        void (*free)(void);
        int x_lo, x_hi, y_lo, y_hi;
    } parts[] = {
        {5, "grafika/2/kk.pcx", &part5_window, load5, draw5, part5_free, 1, 7, 2, 8},
        {6, "grafika/4/3d_bb2.pcx", &part6_window, part6_load, draw6, part6_free, 3, 3, 2, 2},
        {7, "grafika/4/3d_bb2.pcx", &part7_window, part7_load, draw7, part7_free, 3, 3, 2, 2},
    };
    for (const auto &k : parts) {
        parts_test_copy_show_data();
        parts_test_save(k.picture, rows, parts_test_grey_palette());
        reset_run_state();
        k.load();
        int turns = 0;
        for (int v = 0; v < 120; v++) {
            const PartsWindow w = *k.window;
            k.draw(frame, v);
            const uint8_t *layer = work_image_b->pixels;
            for (int x = 0; x < 320; x++)
                ASSERT_TRUE(layer[x] == w.y && layer[239 * 320 + x] == w.y + 89)
                    << "part " << k.part << " frame " << v << " window y " << w.y << " x " << x;
            const PartsWindow &n = *k.window;
            const int dx = (n.x - w.x) * w.dir_x, dy = (n.y - w.y) * w.dir_y;
            // Moved by a step along its direction, or stopped at an edge and turned.
            const bool x_ok = n.dir_x == w.dir_x ? dx >= k.x_lo && dx <= k.x_hi : n.x == (w.dir_x > 0 ? 200 : 0);
            const bool y_ok = n.dir_y == w.dir_y ? dy >= k.y_lo && dy <= k.y_hi : n.y == (w.dir_y > 0 ? 150 : 0);
            ASSERT_TRUE(x_ok && y_ok && n.x >= 0 && n.x <= 200 && n.y >= 0 && n.y <= 150)
                << "part " << k.part << " frame " << v << ": " << w.x << "," << w.y << " -> " << n.x << "," << n.y;
            turns += (n.dir_x != w.dir_x) + (n.dir_y != w.dir_y);
        }
        EXPECT_GE(turns, 2) << "part " << k.part;
        k.free();
    }
    image_destroy(&rows);
    image_destroy(&frame);
}
