// render_test.cpp: the radix depth sort and the renderers: painter's order,
// facing, integer conversion, what each renderer feeds its filler, and the
// limits of the per-call storage.
#include "engine3d.h"
#include "gfx2d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

// An object whose view positions are set directly (as after view_project).
struct TestObject {
    Object3D *obj = nullptr;
    TestObject(int vertices, int triangles)
    {
        EXPECT_EQ(object_alloc(&obj, vertices, triangles), 0);
        if (vertices)
            std::memset(obj->vertices, 0, sizeof(Vertex3D) * vertices);
        if (triangles)
            std::memset(obj->triangles, 0, sizeof(Triangle3D) * triangles);
    }
    ~TestObject() { object_free(&obj); }
    void vertex(int i, float x, float y, float z, uint8_t light = 0)
    {
        obj->vertices[i].view = Vec4{x, y, z, 1};
        obj->vertices[i].light = light;
    }
    // Vertices 0, 1, 2 of a right triangle on (160,120) at depth 100.
    void right_triangle_vertices()
    {
        vertex(0, 0, 0, 100);
        vertex(1, 50, 0, 100);
        vertex(2, 0, 50, 100);
    }
    Triangle3D &triangle(int i, int a, int b, int c, uint8_t colour, uint8_t visible = 1)
    {
        Triangle3D &t = obj->triangles[i];
        t.a = a;
        t.b = b;
        t.c = c;
        t.colour = colour;
        t.visible = visible;
        return t;
    }
};

// A 320 x 240 frame that the render target points at.
struct TestFrame {
    Image *img = nullptr;
    TestFrame()
    {
        EXPECT_EQ(image_create(&img, 320, 240), 0);
        render_set_target(img->pixels, 320, 240);
    }
    ~TestFrame() { image_destroy(&img); }
    uint8_t at(int x, int y) const { return img->pixels[y * 320 + x]; }
    int written() const
    {
        return (int)std::count_if(img->pixels, img->pixels + 320 * 240, [](uint8_t p) { return p; });
    }
};

// Two overlapping squares-as-triangles around the centre: triangle 0 at
// depth z0 in colour 1, triangle 1 at depth z1 in colour 2.
void two_overlapping(TestObject &o, float z0, float z1)
{
    o.vertex(0, -50, -50, z0);
    o.vertex(1, 50, -50, z0);
    o.vertex(2, -50, 50, z0);
    o.vertex(3, -40, -40, z1);
    o.vertex(4, 60, -40, z1);
    o.vertex(5, -40, 60, z1);
    o.triangle(0, 0, 1, 2, 1);
    o.triangle(1, 3, 4, 5, 2);
}

}  // namespace

TEST(RenderSort, EqualsStableSortOnTheLow16Bits)
{
    std::mt19937 rng(99);
    static Triangle3D tris[10000];
    for (int n : {0, 1, 2, 17, 256, 1000, 10000}) {
        std::vector<DepthPair> pairs(n);
        std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX), few(0, 40);
        for (int i = 0; i < n; i++) {
            // Half the keys collide a lot, all carry noise in bits 16-31.
            int32_t low = (i & 1) ? few(rng) : (any(rng) & 0xFFFF);
            pairs[i] = DepthPair{(int32_t)(((uint32_t)any(rng) & 0xFFFF0000u) | (uint32_t)low),
                                 &tris[i]};
        }
        std::vector<DepthPair> expect = pairs;
        std::stable_sort(expect.begin(), expect.end(), [](const DepthPair &a, const DepthPair &b) {
            return (a.key & 0xFFFF) < (b.key & 0xFFFF);
        });
        render_sort_by_depth(pairs.data(), n);
        for (int i = 0; i < n; i++) {
            ASSERT_EQ(pairs[i].key, expect[i].key) << n << " " << i;
            ASSERT_EQ(pairs[i].triangle, expect[i].triangle) << n << " " << i;
        }
    }
}

TEST(RenderSort, HighBitsPlayNoPartAndTooManyAreLeftAlone)
{
    static Triangle3D tris[3];
    DepthPair pairs[3] = {{0x70005, &tris[0]}, {0x10005, &tris[1]}, {0x4, &tris[2]}};
    render_sort_by_depth(pairs, 3);
    EXPECT_EQ(pairs[0].triangle, &tris[2]);
    EXPECT_EQ(pairs[1].triangle, &tris[0]);
    EXPECT_EQ(pairs[2].triangle, &tris[1]);

    std::vector<DepthPair> many(10001);
    for (int i = 0; i < 10001; i++)
        many[i] = DepthPair{10001 - i, nullptr};
    render_sort_by_depth(many.data(), 10001);
    EXPECT_EQ(many[0].key, 10001);
}

TEST(RenderFlat, PaintersOrderWithSortOn)
{
    TestFrame f;
    // Triangle 0 is nearer; drawn in triangle order it would be covered.
    TestObject o(6, 2);
    two_overlapping(o, 100, 200);
    render_flat(f.img, o.obj, 160, 120, 0);
    EXPECT_EQ(f.at(140, 100), 2);
    EXPECT_EQ(o.obj->sort_pairs[0].triangle, &o.obj->triangles[0]);
    render_flat(f.img, o.obj, 160, 120, 2);
    EXPECT_EQ(f.at(140, 100), 2);
    render_flat(f.img, o.obj, 160, 120, 1);
    EXPECT_EQ(f.at(140, 100), 1);
    EXPECT_EQ(o.obj->sort_pairs[0].triangle, &o.obj->triangles[1]);
    EXPECT_EQ(o.obj->sort_pairs[0].key, 0x8000 - 600);
    EXPECT_EQ(o.obj->sort_pairs[1].key, 0x8000 - 300);
}

TEST(RenderFlat, UnsortedLeavesTheKeysAlone)
{
    TestFrame f;
    TestObject o(6, 2);
    two_overlapping(o, 100, 200);
    o.obj->sort_pairs[0].key = 1234;
    o.obj->sort_pairs[1].key = 5678;
    render_flat(f.img, o.obj, 160, 120, 0);
    EXPECT_EQ(o.obj->sort_pairs[0].key, 1234);
    EXPECT_EQ(o.obj->sort_pairs[1].key, 5678);
}

TEST(RenderFlat, EqualDepthSumsDrawInTriangleOrder)
{
    TestFrame f;
    TestObject o(6, 2);
    two_overlapping(o, 150, 150);
    render_flat(f.img, o.obj, 160, 120, 1);
    EXPECT_EQ(f.at(140, 100), 2);
}

TEST(RenderFlat, DepthKeysAreHeldTo16Bits)
{
    TestFrame f;
    TestObject o(6, 2);
    // Triangle 0 far beyond any sensible depth: key 0, drawn first.
    // Triangle 1 far behind the eye: key 0xFFFF, drawn last.
    two_overlapping(o, 1e8f, -1e8f);
    render_flat(f.img, o.obj, 160, 120, 1);
    EXPECT_EQ(o.obj->sort_pairs[0].key, 0);
    EXPECT_EQ(o.obj->sort_pairs[1].key, 0xFFFF);
    EXPECT_EQ(f.at(140, 100), 2);
}

TEST(RenderFlat, NoTrianglesDrawsNothing)
{
    TestFrame f;
    TestObject o(3, 0);
    render_flat(f.img, o.obj, 160, 120, 1);
    render_wireframe(f.img, o.obj, 160, 120, 1, 0);
    EXPECT_EQ(f.written(), 0);
}

TEST(RenderFlat, BackFacesAreNeverFilledButOutlinedOnRequest)
{
    TestFrame f;
    TestObject o(6, 2);
    two_overlapping(o, 100, 200);
    o.obj->triangles[0].visible = 0;
    o.obj->triangles[1].visible = 0;
    render_flat(f.img, o.obj, 160, 120, 1);
    render_wireframe(f.img, o.obj, 160, 120, 1, 1);
    EXPECT_EQ(f.written(), 0);
    render_wireframe(f.img, o.obj, 160, 120, 1, 0);
    EXPECT_EQ(f.at(110, 70), 1);  // corner a of triangle 0
    EXPECT_EQ(f.at(120, 80), 2);  // corner a of triangle 1
    image_clear(f.img, 0);
    render_wireframe_colour(f.img, o.obj, 160, 120, 0, 0, 0x107);
    EXPECT_EQ(f.at(110, 70), 7);
    EXPECT_EQ(f.at(120, 80), 7);
}

TEST(RenderFlat, ProjectionTruncatesTowardZero)
{
    TestFrame f;
    TestObject o(3, 1);
    o.vertex(0, -0.7f, 0.7f, 100.9f);
    o.vertex(1, 20.5f, -3.9f, 100);
    o.vertex(2, NAN, 1e20f, -1e20f);  // a vertex no triangle uses
    o.triangle(0, 0, 0, 1, 1, 0);
    render_flat(f.img, o.obj, 160, 120, 1);
    EXPECT_EQ(projected_vertices[0].x, 160);
    EXPECT_EQ(projected_vertices[0].y, 120);
    EXPECT_EQ(projected_vertices[0].depth, 100);
    EXPECT_EQ(projected_vertices[1].x, 180);
    EXPECT_EQ(projected_vertices[1].y, 117);
    EXPECT_EQ(projected_vertices[2].x, 160);
}

TEST(RenderFlat, BeyondTheStorageDrawsNothing)
{
    TestFrame f;
    TestObject big(10001, 1);
    for (int i = 0; i < 3; i++)
        big.vertex(i, i == 1 ? 50.0f : 0.0f, i == 2 ? 50.0f : 0.0f, 100);
    big.triangle(0, 0, 1, 2, 5);
    render_flat(f.img, big.obj, 160, 120, 0);
    EXPECT_EQ(f.written(), 0);

    TestObject many(3, 10001);
    many.right_triangle_vertices();
    for (int i = 0; i < 10001; i++)
        many.triangle(i, 0, 1, 2, 5);
    render_flat(f.img, many.obj, 160, 120, 1);
    EXPECT_EQ(f.written(), 0);
    // Unsorted, the pairs are the object's own and it is drawn.
    render_flat(f.img, many.obj, 160, 120, 0);
    EXPECT_GT(f.written(), 0);
}

TEST(RenderFlat, CountsBeyondTheObjectsOwnArraysDrawNothing)
{
    TestFrame f;
    TestObject o(3, 1);
    o.right_triangle_vertices();
    o.triangle(0, 0, 1, 2, 5);
    o.obj->triangle_count = 2;  // one more than the object holds
    render_flat(f.img, o.obj, 160, 120, 1);
    render_wireframe(f.img, o.obj, 160, 120, 0, 0);
    EXPECT_EQ(f.written(), 0);
    o.obj->triangle_count = 1;
    o.obj->vertex_count = 4;
    render_flat(f.img, o.obj, 160, 120, 1);
    EXPECT_EQ(f.written(), 0);
    o.obj->vertex_count = 3;
    render_flat(f.img, o.obj, 160, 120, 1);
    EXPECT_GT(f.written(), 0);
}

TEST(RenderFlat, VertexIndexOutsideTheObjectIsSkipped)
{
    TestFrame f;
    TestObject o(3, 2);
    o.right_triangle_vertices();
    o.triangle(0, 0, 1, 3, 5);
    o.triangle(1, -1, 1, 2, 5);
    render_flat(f.img, o.obj, 160, 120, 1);
    render_wireframe(f.img, o.obj, 160, 120, 1, 0);
    EXPECT_EQ(f.written(), 0);
}

TEST(RenderFlatLit, ColourIsLightTimesFourInAByte)
{
    TestFrame f;
    TestObject o(3, 1);
    o.right_triangle_vertices();
    o.triangle(0, 0, 1, 2, 5).light = 63;
    render_flat_lit(f.img, o.obj, 160, 120, 1);
    EXPECT_EQ(f.at(165, 125), 252);
    o.obj->triangles[0].light = 64;
    render_flat_lit(f.img, o.obj, 160, 120, 1);
    EXPECT_EQ(f.at(165, 125), 0);
}

TEST(RenderFlatShaded, ColourFromTheShadeTableRowOfTheLight)
{
    TestFrame f;
    static ShadeTable table;
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            table.level[l][c] = (uint8_t)(l * 3 + c);
    TestObject o(3, 1);
    o.right_triangle_vertices();
    o.triangle(0, 0, 1, 2, 7).light = 40;
    render_flat_shaded(f.img, o.obj, 160, 120, 1, &table);
    EXPECT_EQ(f.at(165, 125), table.level[40][7]);
    // Light bytes beyond the table's 64 rows read row 63.
    o.obj->triangles[0].light = 200;
    render_flat_shaded(f.img, o.obj, 160, 120, 1, &table);
    EXPECT_EQ(f.at(165, 125), table.level[63][7]);
}

TEST(RenderGouraud, LevelsAreVertexLightTimesFour)
{
    TestFrame f;
    TestObject o(3, 1);
    o.vertex(0, 0, 0, 100, 10);
    o.vertex(1, 64, 0, 100, 10);
    o.vertex(2, 0, 64, 100, 10);
    o.triangle(0, 0, 1, 2, 5);
    render_gouraud(f.img, o.obj, 100, 100, 1);
    EXPECT_EQ(triangle_shading.level_a, 40);
    EXPECT_EQ(f.at(110, 110), 40);
    static ShadeTable table;
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            table.level[l][c] = (uint8_t)l;
    // The shaded twin passes the light itself; 250 reads row 63.
    o.obj->vertices[0].light = o.obj->vertices[1].light = o.obj->vertices[2].light = 250;
    render_gouraud_shaded(f.img, o.obj, 100, 100, 1, &table);
    EXPECT_EQ(triangle_shading.level_b, 250);
    EXPECT_EQ(f.at(110, 110), 63);
}

TEST(RenderTextured, MissingOrShortTexturesAreSkipped)
{
    TestFrame f;
    Image *square = nullptr, *flat = nullptr;
    ASSERT_EQ(image_create(&square, 16, 16), 0);
    ASSERT_EQ(image_create(&flat, 64, 8), 0);
    image_clear(square, 9);
    image_clear(flat, 9);
    Image *textures[3] = {nullptr, flat, square};
    static ShadeTable table;
    std::memset(&table, 4, sizeof table);
    TestObject o(3, 1);
    o.right_triangle_vertices();
    Triangle3D &t = o.triangle(0, 0, 1, 2, 5);
    t.uv = TexCoords{0, 0, 15, 0, 0, 15};
    for (uint8_t index : {0, 1}) {
        t.texture = index;
        render_textured(f.img, o.obj, 160, 120, 1, textures);
        render_textured_shaded(f.img, o.obj, 160, 120, 1, textures, &table);
        render_perspective(f.img, o.obj, 160, 120, 1, textures);
        render_perspective_shaded(f.img, o.obj, 160, 120, 1, textures, &table);
        render_envmap(f.img, o.obj, 160, 120, 1, textures);
        render_envmap_shaded(f.img, o.obj, 160, 120, 1, textures, &table);
    }
    render_textured(f.img, o.obj, 160, 120, 1, nullptr);
    EXPECT_EQ(f.written(), 0);
    t.texture = 2;
    render_textured(f.img, o.obj, 160, 120, 1, textures);
    EXPECT_EQ(f.at(165, 125), 9);
    render_perspective_shaded(f.img, o.obj, 160, 120, 1, textures, &table);
    EXPECT_EQ(f.at(165, 125), 4);
    EXPECT_EQ(triangle_shading.depth_c, 100);
    image_destroy(&square);
    image_destroy(&flat);
}

TEST(RenderEnvmap, NormalsPickTexelsAroundTheCentre)
{
    TestFrame f;
    Image *tex = nullptr;
    ASSERT_EQ(image_create(&tex, 64, 64), 0);
    Image *textures[1] = {tex};
    TestObject o(3, 1);
    o.right_triangle_vertices();
    o.obj->vertices[0].view_normal = Vec4{0, 0, -1, 0};
    o.obj->vertices[1].view_normal = Vec4{1, 0, 0, 0};
    o.obj->vertices[2].view_normal = Vec4{-1, 0, 0, 0};
    o.triangle(0, 0, 1, 2, 5);
    render_envmap(f.img, o.obj, 160, 120, 1, textures);
    EXPECT_EQ(envmap_coords.ua, 31);
    EXPECT_EQ(envmap_coords.va, 31);
    EXPECT_EQ(envmap_coords.ub, 62);
    EXPECT_EQ(envmap_coords.vb, 31);
    EXPECT_EQ(envmap_coords.uc, 0);
    EXPECT_EQ(envmap_coords.vc, 31);
    image_destroy(&tex);
}
