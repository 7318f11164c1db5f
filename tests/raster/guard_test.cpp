// guard_test.cpp: thousands of random triangles, near the screen and with
// corners up to +-1e6, through all seven fillers into a target held between
// two guard bands. Under the sanitizers this also shows that no filler
// reads outside its texture or shade table or overflows a signed integer.
#include "test_target.h"

#include <random>
#include <vector>

namespace {

struct GuardCase {
    ScreenTriangle xy;
    TexCoords uv;
    TriangleShading shade;
    int tex_index;
};

GuardCase random_case(std::mt19937 &rng, int span)
{
    std::uniform_int_distribution<int> coord(-span, span);
    std::uniform_int_distribution<int> near_x(-40, 360), near_y(-40, 280);
    std::uniform_int_distribution<int> texel(-1000000, 1000000), small_texel(-300, 300);
    std::uniform_int_distribution<int> level(-300, 300), depth(-5, 1000000), pick(0, 7);
    GuardCase c;
    bool near = span <= 400;
    int x[3], y[3];
    for (int k = 0; k < 3; k++) {
        x[k] = near ? near_x(rng) : coord(rng);
        y[k] = near ? near_y(rng) : coord(rng);
    }
    c.xy = screen_tri(x[0], y[0], x[1], y[1], x[2], y[2]);
    bool wide = pick(rng) < 2;
    auto t = [&] { return wide ? texel(rng) : small_texel(rng); };
    c.uv = TexCoords{t(), t(), t(), t(), t(), t()};
    c.shade = TriangleShading{level(rng), depth(rng), level(rng), depth(rng), level(rng), depth(rng)};
    c.tex_index = pick(rng);
    return c;
}

}  // namespace

TEST(GuardBands, RandomTrianglesThroughAllSevenFillers)
{
    // Textures sized exactly width x width, so a stray read leaves the block.
    const int widths[8] = {256, 128, 64, 32, 16, 100, 1, 3};
    std::vector<std::vector<uint8_t>> tex(8);
    for (int i = 0; i < 8; i++) {
        tex[i].resize((size_t)widths[i] * widths[i]);
        for (size_t j = 0; j < tex[i].size(); j++)
            tex[i][j] = (uint8_t)(j * 31 + 1);
    }
    static ShadeTable table;
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            table.level[l][c] = (uint8_t)(l ^ c);

    TestTarget t;
    std::mt19937 rng(2026);
    const int spans[3] = {400, 5000, 1000000};
    int drawn = 0;
    for (int n = 0; n < 3500; n++) {
        GuardCase c = random_case(rng, spans[n % 3]);
        const uint8_t *tx = tex[c.tex_index].data();
        const int w = widths[c.tex_index];
        switch (n % 7) {
        case 0: tri_fill_flat(&c.xy, (unsigned)n); break;
        case 1: tri_fill_gouraud(&c.xy, &c.shade); break;
        case 2: tri_fill_gouraud_shaded(&c.xy, &c.shade, (unsigned)n, &table); break;
        case 3: tri_fill_affine(tx, w, &c.xy, &c.uv); break;
        case 4: tri_fill_affine_shaded(tx, w, &c.xy, &c.uv, &c.shade, &table); break;
        case 5: tri_fill_perspective(tx, w, &c.xy, &c.uv, &c.shade); break;
        case 6: tri_fill_perspective_shaded(tx, w, &c.xy, &c.uv, &c.shade, &table); break;
        }
        drawn += t.count_written() > 0;
        t.clear(0);
        ASSERT_TRUE(t.guards_intact()) << "after triangle " << n;
    }
    EXPECT_GT(drawn, 1000);
}

// A target narrower and shorter than the screen: every clip edge of the
// seven fillers is met on every side.
TEST(GuardBands, SmallTargetClipsOnEverySide)
{
    static uint8_t tex[16 * 16];
    static ShadeTable table;
    TestTarget t(7, 5);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-20, 27);
    for (int n = 0; n < 3000; n++) {
        ScreenTriangle xy = screen_tri(coord(rng), coord(rng), coord(rng), coord(rng),
                                       coord(rng), coord(rng));
        TexCoords uv{coord(rng), coord(rng), coord(rng), coord(rng), coord(rng), coord(rng)};
        TriangleShading shade{coord(rng), 1 + n % 50, coord(rng), 2, coord(rng), 3};
        tri_fill_flat(&xy, 1);
        tri_fill_gouraud(&xy, &shade);
        tri_fill_gouraud_shaded(&xy, &shade, 2, &table);
        tri_fill_affine(tex, 16, &xy, &uv);
        tri_fill_affine_shaded(tex, 16, &xy, &uv, &shade, &table);
        tri_fill_perspective(tex, 16, &xy, &uv, &shade);
        tri_fill_perspective_shaded(tex, 16, &xy, &uv, &shade, &table);
    }
    EXPECT_TRUE(t.guards_intact());
}
