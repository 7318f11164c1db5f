// span_test.cpp: the span fillers on coded textures (texel = (u + 7v) & 255):
// clipping, wrapping by mask and by remainder, shading, and the 16-pixel
// segments of the perspective kinds.
#include "test_target.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// A w x w texture with texel (u, v) = (u + 7v) & 255.
std::vector<uint8_t> coded_texture(int w)
{
    std::vector<uint8_t> tex((size_t)w * w);
    for (int v = 0; v < w; v++)
        for (int u = 0; u < w; u++)
            tex[(size_t)v * w + u] = (uint8_t)((u + 7 * v) & 255);
    return tex;
}

void affine_setup(const std::vector<uint8_t> &tex, int w, int32_t u, int32_t du, int32_t v,
                  int32_t dv)
{
    render_state.texture = tex.data();
    render_state.texture_width = w;
    render_state.u = u;
    render_state.du = du;
    render_state.v = v;
    render_state.dv = dv;
    render_state.level = 0;
    render_state.dlevel = 0;
}

void perspective_setup(const std::vector<uint8_t> &tex, int w, float uz, float duz, float vz,
                       float dvz, float iz, float diz)
{
    render_state.texture = tex.data();
    render_state.texture_width = w;
    render_state.uz = uz;
    render_state.duz = duz;
    render_state.duz16 = 16 * duz;
    render_state.vz = vz;
    render_state.dvz = dvz;
    render_state.dvz16 = 16 * dvz;
    render_state.iz = iz;
    render_state.diz = diz;
    render_state.diz16 = 16 * diz;
    render_state.level = 0;
    render_state.dlevel = 0;
}

}  // namespace

TEST(SpanAffine, LeftClipMovesTheStartToColumnZero)
{
    TestTarget t;
    t.clear(200);
    auto tex = coded_texture(256);
    affine_setup(tex, 256, 0, 65536, 0, 0);
    span_affine_256(0, -5, 3);
    EXPECT_EQ(t.at(0, 0), 5);
    EXPECT_EQ(t.at(1, 0), 6);
    EXPECT_EQ(t.at(2, 0), 7);
    EXPECT_EQ(t.at(3, 0), 8);
    EXPECT_EQ(t.at(4, 0), 200);
    // The clipped start is a private copy.
    EXPECT_EQ(render_state.u, 0);
}

TEST(SpanAffine, RightClipAndEmptySpans)
{
    TestTarget t;
    auto tex = coded_texture(256);
    std::fill(tex.begin(), tex.end(), 9);
    affine_setup(tex, 256, 0, 65536, 0, 0);
    span_affine_256(5, 300, 400);
    EXPECT_EQ(t.span(5), RowSpan(300, 319));
    EXPECT_TRUE(t.guards_intact());
    span_affine_256(6, 320, 400);
    span_affine_256(7, -20, -1);
    span_affine_256(8, 10, 9);
    span_affine_any(9, 320, 330);
    span_perspective_16(10, 10, 9);
    EXPECT_EQ(t.count_written(), 20);
}

TEST(SpanAffine, MaskedWidthsWrapBothCoordinates)
{
    TestTarget t;
    auto tex256 = coded_texture(256);
    affine_setup(tex256, 256, -65536, 0, 0, 0);
    span_affine_256(0, 0, 0);
    EXPECT_EQ(t.at(0, 0), 255);

    auto tex16 = coded_texture(16);
    affine_setup(tex16, 16, 20 * 65536, 0, 17 * 65536, 0);
    span_affine_16(1, 0, 0);
    EXPECT_EQ(t.at(0, 1), 4 + 7 * 1);

    // Each power-of-two member against its own coded texture.
    const int widths[5] = {256, 128, 64, 32, 16};
    const SpanFiller members[5] = {span_affine_256, span_affine_128, span_affine_64,
                                   span_affine_32, span_affine_16};
    for (int i = 0; i < 5; i++) {
        const int w = widths[i];
        auto tex = coded_texture(w);
        affine_setup(tex, w, (3 * w + 5) * 65536, 65536, (-2 * w + 3) * 65536, 65536);
        members[i](2, 0, 9);
        for (int x = 0; x < 10; x++)
            EXPECT_EQ(t.at(x, 2), ((5 + x) % w + 7 * ((3 + x) % w)) & 255) << w << " " << x;
    }
}

TEST(SpanAffine, AnyWidthWrapsByANonNegativeRemainder)
{
    TestTarget t;
    auto tex = coded_texture(100);
    affine_setup(tex, 100, 250 * 65536, 0, 130 * 65536, 0);
    span_affine_any(0, 0, 0);
    EXPECT_EQ(t.at(0, 0), tex[30 * 100 + 50]);
    // Texel column -1 and row -1 read column 99 and row 99, inside the texture.
    affine_setup(tex, 100, -65536, 0, -65536, 0);
    span_affine_any(0, 1, 1);
    EXPECT_EQ(t.at(1, 0), tex[99 * 100 + 99]);
}

TEST(SpanAffine, TextureWidthZeroOrNegativeDrawsNothing)
{
    TestTarget t;
    auto tex = coded_texture(4);
    std::fill(tex.begin(), tex.end(), 1);
    const SpanFiller any[4] = {span_affine_any, span_affine_shaded_any, span_perspective_any,
                               span_perspective_shaded_any};
    static ShadeTable table;
    render_state.shade_table = &table;
    for (int w : {0, -4})
        for (SpanFiller f : any) {
            affine_setup(tex, w, 0, 65536, 0, 0);
            perspective_setup(tex, w, 0, 0.01f, 0, 0.01f, 1, 0);
            f(0, 0, 100);
        }
    EXPECT_EQ(t.count_written(), 0);
}

TEST(SpanAffineShaded, WritesThroughTheShadeRowOfTheLevel)
{
    TestTarget t;
    static ShadeTable table;
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            table.level[l][c] = (uint8_t)(l * 4 + (c & 3));
    render_state.shade_table = &table;
    auto tex = coded_texture(64);
    affine_setup(tex, 64, 2 * 65536, 0, 0, 0);
    render_state.level = 3 * 65536 + 100;
    span_affine_shaded_64(0, 0, 0);
    EXPECT_EQ(t.at(0, 0), table.level[3][2]);
    // Levels below 0 and beyond 63 read rows 0 and 63.
    render_state.level = -5 * 65536;
    span_affine_shaded_64(0, 1, 1);
    EXPECT_EQ(t.at(1, 0), table.level[0][2]);
    perspective_setup(tex, 64, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    render_state.level = 200 * 65536;
    span_perspective_shaded_any(0, 2, 2);
    EXPECT_EQ(t.at(2, 0), table.level[63][tex[0]]);
    // The level steps by dlevel per pixel, also after a left clip.
    render_state.level = 10 * 65536;
    render_state.dlevel = 65536;
    span_affine_shaded_64(1, -4, 3);
    for (int x = 0; x <= 3; x++)
        EXPECT_EQ(t.at(x, 1), table.level[14 + x][2]) << x;
}

// 1/z runs 1, 2, 3, 4 at the sample columns 0, 16, 32, 48 and u/z 0, 32,
// 64, 96: the exact texel columns there are 0, 16, 21.33 and 24.
TEST(SpanPerspective, SixteenPixelSegments)
{
    TestTarget t;
    std::vector<uint8_t> tex(256 * 256);
    for (int i = 0; i < 256 * 256; i++)
        tex[i] = (uint8_t)(i & 255);  // texel = column
    perspective_setup(tex, 256, 0.0f, 2.0f, 0.0f, 0.0f, 1.0f, 1.0f / 16);
    span_perspective_256(0, 0, 39);
    // First segment: columns 0..16 step exactly one texel.
    for (int x = 0; x <= 16; x++)
        EXPECT_EQ(t.at(x, 0), x) << x;
    // Second: from 17 x 65536 towards 1398101 in steps of
    // (1398101 - 1114112) >> 4 = 17749.
    for (int k = 0; k < 16; k++)
        EXPECT_EQ(t.at(17 + k, 0), (1114112 + k * 17749) >> 16) << 17 + k;
    // Last, shortened: from 1398096 towards 1572864 in steps of 10923.
    for (int k = 0; k < 7; k++)
        EXPECT_EQ(t.at(33 + k, 0), (1398096 + k * 10923) >> 16) << 33 + k;
    EXPECT_EQ(t.at(40, 0), 0);
}

TEST(SpanPerspective, OnePixelSpanWritesTheExactCoordinates)
{
    TestTarget t;
    auto tex = coded_texture(128);
    // u/z = 20 x 0.25, v/z = 8 x 0.25 at 1/z = 0.25: texel (20, 8).
    perspective_setup(tex, 128, 5.0f, 3.0f, 2.0f, -1.0f, 0.25f, 0.01f);
    span_perspective_128(3, 7, 7);
    EXPECT_EQ(t.at(7, 3), (20 + 7 * 8) & 255);
    EXPECT_EQ(t.at(8, 3), 0);
}

TEST(SpanPerspective, LeftClipMovesTheStartValues)
{
    TestTarget t;
    auto tex = coded_texture(256);
    // Constant 1/z = 1, one texel per pixel: column 0 of a span starting
    // at -10 shows texel column 10.
    perspective_setup(tex, 256, 0.0f, 1.0f, 4.0f, 0.0f, 1.0f, 0.0f);
    span_perspective_256(0, -10, 5);
    for (int x = 0; x <= 5; x++)
        EXPECT_EQ(t.at(x, 0), (10 + x + 7 * 4) & 255) << x;
}

TEST(SpanPerspective, SamplePastAZeroDepthDoesNotTrap)
{
    TestTarget t;
    auto tex = coded_texture(100);
    static ShadeTable table;
    render_state.shade_table = &table;
    // 1/z reaches 0 at column 16 and goes negative after it.
    perspective_setup(tex, 100, 50.0f, 1.0f, 10.0f, -2.0f, 1.0f, -1.0f / 16);
    span_perspective_any(0, 0, 319);
    span_perspective_shaded_any(1, 0, 319);
    perspective_setup(tex, 100, 1e30f, 1e30f, -1e30f, 0.0f, 1e-30f, 0.0f);
    span_perspective_any(2, 0, 319);
    EXPECT_TRUE(t.guards_intact());
}

// With equal corner depths a perspective triangle is an affine one: the
// two fillers agree within a texel everywhere.
TEST(TriFillPerspective, EqualDepthsMatchAffineWithinOneTexel)
{
    std::vector<uint8_t> tex_u(256 * 256), tex_v(256 * 256);
    for (int i = 0; i < 256 * 256; i++) {
        tex_u[i] = (uint8_t)(i & 255);
        tex_v[i] = (uint8_t)(i >> 8);
    }
    ScreenTriangle tri = screen_tri(10, 5, 300, 60, 80, 230);
    TexCoords uv{3, 2, 200, 40, 50, 180};
    TriangleShading shade{0, 500, 0, 500, 0, 500};
    TestTarget t;
    std::vector<uint8_t> img[4];
    const std::vector<uint8_t> *texes[2] = {&tex_u, &tex_v};
    for (int k = 0; k < 2; k++) {
        t.clear(0);
        tri_fill_affine(texes[k]->data(), 256, &tri, &uv);
        img[2 * k] = t.snapshot();
        t.clear(0);
        tri_fill_perspective(texes[k]->data(), 256, &tri, &uv, &shade);
        img[2 * k + 1] = t.snapshot();
    }
    int compared = 0;
    for (size_t i = 0; i < img[0].size(); i++) {
        for (int k = 0; k < 2; k++) {
            int a = img[2 * k][i], p = img[2 * k + 1][i];
            int d = std::abs(a - p);
            ASSERT_LE(std::min(d, 256 - d), 1) << "pixel " << i << " coordinate " << k;
        }
        compared += img[0][i] != 0;
    }
    EXPECT_GT(compared, 10000);
}
