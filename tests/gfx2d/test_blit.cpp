// Rectangle blits: every operation over images of different widths, the
// key rules, saturation, and clipping against both images.
#include "gfx2d_test.h"

#include <gtest/gtest.h>

namespace {

enum Op { COPY, XOR, OR, NOT, ADD, SUB };

struct BlitCase {
    const char *name;
    Op op;
    int use_key;
    bool skips_key;  // whether a source pixel equal to the key is left out
};

void run_blit(Op op, Image *dst, int dx, int dy, const Image *src, int sx, int sy, int w, int h,
              int key, int use_key)
{
    switch (op) {
    case COPY: blit_keyed(dst, dx, dy, src, sx, sy, w, h, key, use_key); break;
    case XOR: blit_xor_keyed(dst, dx, dy, src, sx, sy, w, h, key); break;
    case OR: blit_or_keyed(dst, dx, dy, src, sx, sy, w, h, key); break;
    case NOT: blit_not_keyed(dst, dx, dy, src, sx, sy, w, h, key); break;
    case ADD: blit_add_saturate(dst, dx, dy, src, sx, sy, w, h, key, use_key); break;
    case SUB: blit_sub_saturate(dst, dx, dy, src, sx, sy, w, h, key, use_key); break;
    }
}

int expected_pixel(Op op, int d, int s)
{
    switch (op) {
    case COPY: return s;
    case XOR: return d ^ s;
    case OR: return d | s;
    case NOT: return 255 - s;
    case ADD: return d + s > 255 ? 255 : d + s;
    case SUB: return d - s < 0 ? 0 : d - s;
    }
    return -1;
}

const BlitCase blit_cases[] = {
    {"keyed use_key 0", COPY, 0, false},
    {"keyed use_key 1", COPY, 1, true},
    {"keyed use_key 2", COPY, 2, true},
    {"keyed use_key 0x100", COPY, 0x100, false},
    {"xor", XOR, 0, true},
    {"or", OR, 0, true},
    {"not", NOT, 0, true},
    {"add use_key 0", ADD, 0, false},
    {"add use_key 1", ADD, 1, true},
    {"add use_key 2", ADD, 2, false},
    {"add use_key 0x101", ADD, 0x101, true},
    {"sub use_key 0", SUB, 0, false},
    {"sub use_key 1", SUB, 1, true},
    {"sub use_key 2", SUB, 2, false},
};

// Source 13 wide, destination 17 wide: a stride mistake shifts rows.
TEST(Blit, EveryOperationOnImagesOfDifferentWidths)
{
    const int key = 0x105;  // only the low byte, 5, is the key
    for (const BlitCase &c : blit_cases) {
        SCOPED_TRACE(c.name);
        GuardedImage src(13, 7), dst(17, 11);
        for (int y = 0; y < 7; y++)
            for (int x = 0; x < 13; x++)
                src.at(x, y) = (uint8_t)((x * 37 + y * 101) % 256);
        src.at(3, 2) = 5;  // key-coloured pixels inside the rectangle
        src.at(6, 4) = 5;
        src.at(4, 3) = 200;  // saturating pairs below
        src.at(5, 3) = 100;
        for (int y = 0; y < 11; y++)
            for (int x = 0; x < 17; x++)
                dst.at(x, y) = (uint8_t)((x * 53 + y * 29 + 7) % 256);
        dst.at(6, 4) = 100;  // under src (4,3): 100 + 200 saturates
        dst.at(7, 4) = 50;   // under src (5,3): 50 - 100 clamps
        GuardedImage before(17, 11);
        memcpy(before->pixels, dst->pixels, 17 * 11);

        run_blit(c.op, dst.get(), 4, 2, src.get(), 2, 1, 9, 5, key, c.use_key);

        for (int y = 0; y < 11; y++)
            for (int x = 0; x < 17; x++) {
                const int old = before.at(x, y);
                int want = old;
                if (x >= 4 && x < 13 && y >= 2 && y < 7) {
                    const int s = src.at(x - 4 + 2, y - 2 + 1);
                    if (!(c.skips_key && s == 5))
                        want = expected_pixel(c.op, old, s);
                }
                ASSERT_EQ(dst.at(x, y), want) << "at " << x << "," << y;
            }
        if (c.op == ADD) {
            EXPECT_EQ(dst.at(6, 4), 255);
        }
        if (c.op == SUB) {
            EXPECT_EQ(dst.at(7, 4), 0);
        }
        EXPECT_TRUE(dst.guards_intact());
    }
}

TEST(Blit, EmptyAndNegativeSizesChangeNothing)
{
    GuardedImage src(4, 4, 9), dst(4, 4, 1);
    for (Op op : {COPY, XOR, OR, NOT, ADD, SUB}) {
        run_blit(op, dst.get(), 0, 0, src.get(), 0, 0, 0, 4, 0, 0);
        run_blit(op, dst.get(), 0, 0, src.get(), 0, 0, 4, 0, 0, 0);
        run_blit(op, dst.get(), 0, 0, src.get(), 0, 0, -3, 4, 0, 0);
        run_blit(op, dst.get(), 0, 0, src.get(), 0, 0, 4, -3, 0, 0);
    }
    EXPECT_EQ(dst.count_nonzero(), 16);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(dst->pixels[i], 1);
}

TEST(Blit, KeyedWithKeyZeroShowsDestinationThroughHoles)
{
    GuardedImage src(3, 1), dst(3, 1, 7);
    src.at(0, 0) = 4, src.at(1, 0) = 0, src.at(2, 0) = 6;
    blit_keyed(dst.get(), 0, 0, src.get(), 0, 0, 3, 1, 0, 1);
    EXPECT_EQ(dst.at(0, 0), 4);
    EXPECT_EQ(dst.at(1, 0), 7);
    EXPECT_EQ(dst.at(2, 0), 6);
}

TEST(Blit, SubtractingWhiteGivesBlackAndNotIgnoresDestination)
{
    GuardedImage white(5, 1, 255), dst(5, 1);
    for (int x = 0; x < 5; x++)
        dst.at(x, 0) = (uint8_t)(x * 60);
    blit_sub_saturate(dst.get(), 0, 0, white.get(), 0, 0, 5, 1, 0, 0);
    EXPECT_EQ(dst.count_nonzero(), 0);

    GuardedImage src(2, 1), d2(2, 1, 0x33);
    src.at(0, 0) = 10, src.at(1, 0) = 0;
    blit_not_keyed(d2.get(), 0, 0, src.get(), 0, 0, 2, 1, 99);
    EXPECT_EQ(d2.at(0, 0), 245);
    EXPECT_EQ(d2.at(1, 0), 255);
}

// A picture larger than the frame, or placed partly off either image, is cut
// to both images; the part inside lands exactly where the unclipped call
// would put it.
TEST(Blit, ClipsToBothImages)
{
    struct Rect { int dx, dy, sx, sy, w, h; };
    const Rect rects[] = {
        {-3, -2, 0, 0, 10, 10},  {5, 4, 0, 0, 10, 10},   {0, 0, -4, -1, 10, 10},
        {2, 2, 6, 5, 10, 10},    {-100, 0, 0, 0, 5, 5},  {0, 0, 100, 100, 5, 5},
        {-40000, -40000, 40000, 40000, 80000, 80000},    {3, 3, 0, 0, 0x7FFFFFFF, 0x7FFFFFFF},
        {0x7FFFFFF0, 0, 0, 0, 100, 3}, {-0x7FFFFFFF, -5, 0, 0, 0x7FFFFFFF, 9},
    };
    for (const Rect &r : rects) {
        for (Op op : {COPY, XOR, OR, NOT, ADD, SUB}) {
            GuardedImage src(9, 6), dst(7, 8, 3);
            for (int i = 0; i < 54; i++)
                src->pixels[i] = (uint8_t)(i * 7 + 1);
            run_blit(op, dst.get(), r.dx, r.dy, src.get(), r.sx, r.sy, r.w, r.h, 0, 0);
            ASSERT_TRUE(dst.guards_intact());
            for (int y = 0; y < 8; y++)
                for (int x = 0; x < 7; x++) {
                    const int64_t u = (int64_t)x - r.dx + r.sx, v = (int64_t)y - r.dy + r.sy;
                    const bool inside = (int64_t)x - r.dx >= 0 && (int64_t)x - r.dx < r.w &&
                                        (int64_t)y - r.dy >= 0 && (int64_t)y - r.dy < r.h &&
                                        u >= 0 && u < 9 && v >= 0 && v < 6;
                    const int want =
                        inside ? expected_pixel(op, 3, src.at((int)u, (int)v)) : 3;
                    ASSERT_EQ(dst.at(x, y), want) << x << "," << y << " op " << op;
                }
        }
    }
}

}  // namespace
