// test_runs.cpp: whole runs of every part on pictures made here and the
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
void load2(void) { part2_load("grafika/1/hatter04.pcx", 1, 1); }
void run1(Image *frame) { part1_run(frame, 217); }
void run2(Image *frame) { part2_run(frame, 245); }
void run3(Image *frame) { part3_run(frame, 27, 0); }
void run4(Image *frame) { part4_run(frame, 165); }
void run6(Image *frame) { part6_run(frame, 106); }
void run8(Image *frame) { part8_run(frame, 20, 20, "grafika/5/grimfall.pcx"); }
void draw5(Image *frame, int v) { part5_draw_frame(frame, v * 70 / 100, v); }
void draw6(Image *frame, int v) { part6_draw_frame(frame, v * 60 / 100, v); }
void draw7(Image *frame, int v) { part7_draw_frame(frame, v * 60 / 100, 32 * v); }

// A w x h picture in a palette of 256 colours in no order of brightness,
// pixels running through every index in bands and stripes, all made from
// seed: each picture that a part sorts, remaps and lights is different
// (pictures that must share a palette take it from one palette_seed). The
// runs depend on no font or picture generator.
void save_pattern(const char *path, int w, int h, int seed, int palette_seed = -1)
{
    Palette pal;
    for (int i = 0; i < 768; i++)
        pal.rgb[i] = (uint8_t)(i * 97 + (palette_seed < 0 ? seed : palette_seed) * 31 + (i >> 3) * 13);
    Image *img = nullptr;
    ASSERT_EQ(image_create(&img, w, h), 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            img->pixels[y * w + x] = (uint8_t)(x * (seed + 3) / 5 + y * y / (seed + 7) + ((x ^ y) & 15));
    parts_test_save(path, img, pal);
    image_destroy(&img);
}

// Every run starts where the show starts it: the seed, the clock, the
// windows, the corner and the title strips' light as at program start.
void reset_run_state(void)
{
    srand(1);
    virtual_clock_set_ms(0);
    recording_reset();
    part5_window = part6_window = part7_window = PARTS_WINDOW_START;
    part7_corner = part7_corner_frames = 0;
    for (TitleStrip *s = part2_strips; s->dest_x > 0; s++)
        s->level = 0;
}

}  // namespace

using PartRunsTest = PartsTest;

// Each run shows its frames, as many as its duration allows at its frame
// period (clock readings cost a little): parts 1, 2 and 4 to 7 set their
// palette once first, part 3 dissolves part 2's last frame in part 2's
// palette and sets none, part 8 sets one with every frame. The pinned ones
// are exactly as drawn when the runs were checked against what each part is
// to show: for parts 1, 2, 3 and 8, every frame and palette of the run equal
// to those of a separate implementation written from the parts' own
// descriptions. Part 3's first frame is not pinned: where its laid spots
// pile up past the shade table's last level, what it shows is our choice.
// A pin that fails names the part and the frame; after a deliberate change
// to a part, or to the generated objects, look at the frames and pin them
// anew.
TEST_F(PartRunsTest, WholeRunsOfEveryPartDrawTheirPinnedFrames)
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
    // Part 1's six pictures share one palette, as do part 2's background
    // and its title strips.
    for (const char *name : {"none", "lo", "skn", "txt1", "txt2", "txt3"})
        save_pattern((std::string("grafika/1/") + name + ".pcx").c_str(), 320, 240, seed++, 20);
    save_pattern("grafika/1/hatter04.pcx", 320, 240, 26);
    save_pattern("grafika/grp.pcx", 209, 575, 27, 26);
    save_pattern("grafika/5/grimfall.pcx", 320, 240, 28);
    struct Pin {
        int frame;
        uint32_t sum;  // 0 ends the list
    };
    const struct {
        int part, frames;  // 21.7 s at 70 ms, 24.5 s, 2.7 s and 16.5 s at 60 ms, 32.5 s at 70 ms,
                           // 10.6 s and 21.6 s at 60 ms, 2 x 20 + 20 frames
        const char *each;  // the calls of one frame, after the first palette when there is one
        void (*load)(void);
        void (*run)(Image *frame);
        void (*free)(void);
        const Palette *palette;  // the palette set first, if any
        Image **light;           // a light picture: levels lo..hi after the load
        int lo, hi;
        Pin pins[8], palette_pins[8];
    } runs[] = {
        // Part 1: the first picture whole, melting towards the first change
        // and just after it, melting less, just after the third change and
        // after the return to the first picture, whole at the end.
        {1, 310, "f", part1_load, run1, part1_free, &part1_palette, nullptr, 0, 0,
         {{0, 0x402c85a4u}, {20, 0xa0ddfc86u}, {45, 0xa008ecd2u}, {49, 0xabe7f840u}, {60, 0x6c664460u},
          {150, 0x8e54790au}, {293, 0xb669a777u}, {309, 0x466b1364u}}, {}},
        // Part 2: no strip yet, the first lighting up, the first group, the
        // first group dying away and the second lit, the third and the last
        // group lit, none left at the end.
        {2, 407, "f", load2, run2, part2_free, &part2_palette, nullptr, 0, 0,
         {{0, 0xec7008beu}, {20, 0xcb3bc049u}, {75, 0xa592ed90u}, {180, 0x6d88d251u}, {300, 0x605075a6u},
          {406, 0xdb04cf88u}}, {}},
        {3, 45, "f", part3_load, run3, part3_free, nullptr, nullptr, 0, 0,
         {{1, 0xaebd78c2u}, {10, 0x37780682u}, {22, 0x09d62129u}, {33, 0x26762cfbu}, {44, 0x24789dc5u}}, {}},
        {4, 275, "f", load4, run4, part4_free, &part4_palette, nullptr, 0, 0,
         {{0, 0xf38aba9du}, {92, 0xb717035du}, {97, 0xf6b2a9e1u}, {150, 0xdfc604f2u}, {274, 0x9066e8bcu}}, {}},
        {5, 463, "f", load5, part5_run, part5_free, &part5_palette, &part5_light_picture, 12, 43,
         {{0, 0x0ad8b582u}, {70, 0xce303b34u}, {235, 0x02140742u}, {400, 0x40784235u}, {462, 0x83a44734u}}, {}},
        {6, 177, "f", part6_load, run6, part6_free, &part6_palette, &part6_light_picture, 5, 36,
         {{0, 0x83e41765u}, {40, 0x0c459719u}, {60, 0xde5008aau}, {120, 0x5b8d411cu}, {176, 0x19cba990u}}, {}},
        {7, 359, "f", part7_load, part7_run, part7_free, &part7_palette, nullptr, 0, 0,
         {{0, 0xfaebb74fu}, {30, 0xa6918006u}, {100, 0x4e9dfe0eu}, {250, 0x19e35fbau}, {358, 0x0e168fafu}}, {}},
        // Part 8: one picture throughout; black, faded in, held, brightest
        // on the first frame of the fade out, dim at the end.
        {8, 60, "pf", nullptr, run8, nullptr, nullptr, nullptr, 0, 0, {{0, 0xb24ea945u}, {59, 0xb24ea945u}},
         {{0, 0xf59c39c5u}, {19, 0x3f3f90fbu}, {30, 0x3f3f90fbu}, {40, 0x674f0c33u}, {59, 0x128389adu}}},
    };
    Image *frame = nullptr;
    ASSERT_EQ(image_create(&frame, 320, 240), 0);
    for (const auto &r : runs) {  // part 3 runs on the frame part 2 left
        reset_run_state();
        if (r.load)
            r.load();
        for (int p = 0; r.light && p < 320 * 240; p++)
            ASSERT_TRUE((*r.light)->pixels[p] >= r.lo && (*r.light)->pixels[p] <= r.hi) << "part " << r.part;
        r.run(frame);
        std::string ops = r.palette ? "p" : "";
        for (int n = 0; n < r.frames; n++)
            ops += r.each;
        EXPECT_EQ(recording_frame_count, r.frames) << "part " << r.part;
        EXPECT_EQ(recording_ops(), ops) << "part " << r.part;
        if (r.palette) {
            EXPECT_EQ(0, memcmp(recording_palette.rgb, r.palette->rgb, 768)) << "part " << r.part;
        }
        std::vector<uint32_t> sums[2];  // of the frames, of the palettes
        for (const RecordedCall &c : recording_calls)
            sums[c.op == 'p'].push_back(c.sum);
        for (int k = 0; k < 2; k++)
            for (const Pin &pin : k ? r.palette_pins : r.pins)
                if (pin.sum && pin.frame < (int)sums[k].size()) {
                    EXPECT_EQ(sums[k][(size_t)pin.frame], pin.sum)
                        << "part " << r.part << (k ? " palette of frame " : " frame ") << pin.frame;
                }
        if (r.part == 6) {
            EXPECT_TRUE(part6_object_a == nullptr && part6_object_b == nullptr);  // the run frees them
        }
        if (r.part == 8) {  // the last frame shows one fade step of the picture's palette
            for (int i = 0; i < 768; i++)
                ASSERT_EQ(recording_palette.rgb[i], part8_palette.rgb[i] * (65536 / 20) >> 16) << i;
        }
        if (r.free)
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
