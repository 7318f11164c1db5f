// Object model: allocation and release, colour, planar texture mapping and
// the dump format.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine3d.h"

namespace {

// One square texture record without pixels: object_map_uv reads only its size.
Image texture_of(int side) { return Image{side, side, nullptr}; }

}  // namespace

TEST(ObjectAlloc, CountsArraysAndZeroMatrix)
{
    Object3D *obj = nullptr;
    ASSERT_EQ(object_alloc(&obj, 5, 7), 0);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->vertex_count, 5);
    EXPECT_EQ(obj->triangle_count, 7);
    EXPECT_EQ(obj->vertex_capacity, 5);
    EXPECT_EQ(obj->triangle_capacity, 7);
    for (float f : obj->matrix.m)
        EXPECT_EQ(f, 0.0f);
    // Transforming before the owner sets the matrix collapses everything.
    obj->vertices[0].position = Vec4{10, 20, 30, 0};
    Matrix4 id;
    matrix_set_diagonal(&id, 1.0f);
    object_transform(obj, &id, 1);
    EXPECT_EQ(obj->vertices[0].view.x, 0.0f);
    EXPECT_EQ(obj->vertices[0].view.y, 0.0f);
    EXPECT_EQ(obj->vertices[0].view.z, 0.0f);
    EXPECT_EQ(obj->vertices[0].view.w, 0.0f);
    object_free(&obj);
    EXPECT_EQ(obj, nullptr);
}

TEST(ObjectAlloc, ZeroAndNegativeCounts)
{
    Object3D *obj = nullptr;
    ASSERT_EQ(object_alloc(&obj, 0, 0), 0);
    EXPECT_EQ(obj->vertex_count, 0);
    object_free(&obj);
    EXPECT_EQ(object_alloc(&obj, -1, 3), -5);
    EXPECT_EQ(obj, nullptr);
    EXPECT_EQ(object_alloc(&obj, 3, -1), -5);
    EXPECT_EQ(obj, nullptr);
}

TEST(ObjectFree, NullAndScratchObjectsAreIgnored)
{
    Object3D *obj = nullptr;
    object_free(&obj);
    object_free(nullptr);
    Object3D *scratch = view_get_clip_scratch();
    object_free(&scratch);
    EXPECT_EQ(scratch, nullptr);
    // The scratch object is still usable.
    EXPECT_EQ(view_get_clip_scratch()->vertex_capacity, VIEW_SCRATCH_VERTICES);
}

TEST(ObjectColour, LowByteOnEveryTriangle)
{
    Object3D *obj = nullptr;
    ASSERT_EQ(object_alloc(&obj, 3, 4), 0);
    object_set_colour(obj, 300);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(obj->triangles[i].colour, 44);
    object_free(&obj);
}

TEST(ObjectMapUv, FitsTextureWithPerspectiveFactor)
{
    Object3D *obj = nullptr;
    ASSERT_EQ(object_alloc(&obj, 4, 2), 0);
    obj->vertices[0].position = Vec4{0, 0, 0, 0};
    obj->vertices[1].position = Vec4{100, 0, 0, 0};
    obj->vertices[2].position = Vec4{0, 100, 0, 0};
    // 1000 behind the nearest: k = 0.5, so it lands at (50, 25).
    obj->vertices[3].position = Vec4{100, 50, 1000, 0};
    obj->triangles[0] = Triangle3D{};
    obj->triangles[0].a = 0;
    obj->triangles[0].b = 1;
    obj->triangles[0].c = 2;
    obj->triangles[1] = Triangle3D{};
    obj->triangles[1].a = 3;
    obj->triangles[1].b = 1;
    obj->triangles[1].c = 0;
    Image tex = texture_of(256);
    Image *textures[2] = {nullptr, &tex};
    object_map_uv(obj, textures, 1, 1.0f);
    const Triangle3D &t0 = obj->triangles[0], &t1 = obj->triangles[1];
    EXPECT_EQ(t0.texture, 1);
    EXPECT_EQ(t0.uv.ua, 0);
    EXPECT_EQ(t0.uv.va, 0);
    EXPECT_EQ(t0.uv.ub, 256);  // one past the last texel
    EXPECT_EQ(t0.uv.vb, 0);
    EXPECT_EQ(t0.uv.uc, 0);
    EXPECT_EQ(t0.uv.vc, 256);
    EXPECT_EQ(t1.uv.ua, 128);
    EXPECT_EQ(t1.uv.va, 64);
    // Scale doubles the range.
    object_map_uv(obj, textures, 1, 2.0f);
    EXPECT_EQ(obj->triangles[0].uv.ub, 512);
    object_free(&obj);
}

TEST(ObjectMapUv, NegativeRangeAndZeroRange)
{
    Object3D *obj = nullptr;
    ASSERT_EQ(object_alloc(&obj, 3, 1), 0);
    // All x negative: fitted from the smallest up to the tiny positive
    // start of the maximum, so the largest u stays below W.
    obj->vertices[0].position = Vec4{-100, 5, 0, 0};
    obj->vertices[1].position = Vec4{-50, 5, 0, 0};
    obj->vertices[2].position = Vec4{-10, 5, 0, 0};
    obj->triangles[0] = Triangle3D{};
    obj->triangles[0].a = 0;
    obj->triangles[0].b = 1;
    obj->triangles[0].c = 2;
    Image tex = texture_of(100);
    Image *textures[1] = {&tex};
    object_map_uv(obj, textures, 0, 1.0f);
    const Triangle3D &t = obj->triangles[0];
    EXPECT_EQ(t.uv.ua, 0);
    EXPECT_EQ(t.uv.ub, 50);
    EXPECT_EQ(t.uv.uc, 90);
    // Every y equal and positive: dv = 0 gives 0, not a division fault.
    EXPECT_EQ(t.uv.va, 0);
    EXPECT_EQ(t.uv.vb, 0);
    EXPECT_EQ(t.uv.vc, 0);
    object_free(&obj);
}

// Known coordinates: the range spans every vertex (an unused one too), a
// vertex gets the same coordinates at every corner it takes, values are
// truncated, and a triangle with a corner outside the object is left alone.
TEST(ObjectMapUv, KnownCoordinates)
{
    const TexCoords untouched = {-7, -7, -7, -7, -7, -7};
    const struct Case {
        const char *what;
        Vec4 vertices[3];
        int32_t corners[2][3];
        int side;
        float scale;
        TexCoords expected[2];
    } cases[] = {
        {"unused vertex widens the range",
         {{0, 0, 0, 0}, {50, 10, 0, 0}, {200, 40, 0, 0}},
         {{0, 1, 0}, {1, 0, 1}},
         256, 1.0f,
         {{0, 0, 64, 64, 0, 0}, {64, 64, 0, 0, 64, 64}}},
        {"truncated, not rounded (19.39 gives 19)",
         {{0, 0, 0, 0}, {10, 10, 0, 0}, {33, 33, 0, 0}},
         {{2, 1, 0}, {0, 1, 2}},
         64, 1.0f,
         {{64, 64, 19, 19, 0, 0}, {0, 0, 19, 19, 64, 64}}},
        {"depth from the nearest vertex: k = 0.5 and 0.25",
         {{0, 0, -500, 0}, {100, 100, 500, 0}, {100, 0, 2500, 0}},
         {{1, 2, 0}, {0, 0, 0}},
         100, 0.5f,
         {{50, 50, 25, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}},
        {"corner outside the object",
         {{0, 0, 0, 0}, {8, 8, 0, 0}, {16, 16, 0, 0}},
         {{0, 1, 3}, {0, 1, 2}},
         16, 1.0f,
         {untouched, {0, 0, 8, 8, 16, 16}}},
    };
    for (const Case &c : cases) {
        Object3D *obj = nullptr;
        ASSERT_EQ(object_alloc(&obj, 3, 2), 0);
        for (int i = 0; i < 3; i++)
            obj->vertices[i].position = c.vertices[i];
        for (int i = 0; i < 2; i++) {
            obj->triangles[i] = Triangle3D{};
            obj->triangles[i].a = c.corners[i][0];
            obj->triangles[i].b = c.corners[i][1];
            obj->triangles[i].c = c.corners[i][2];
            obj->triangles[i].texture = 99;
            obj->triangles[i].uv = untouched;
        }
        Image tex = texture_of(c.side);
        Image *textures[4] = {nullptr, nullptr, nullptr, &tex};
        object_map_uv(obj, textures, 3, c.scale);
        for (int i = 0; i < 2; i++) {
            const Triangle3D &t = obj->triangles[i];
            const TexCoords &e = c.expected[i];
            const bool skipped = c.corners[i][2] >= 3;
            EXPECT_EQ(t.texture, skipped ? 99 : 3) << c.what;
            EXPECT_EQ((std::vector<int32_t>{t.uv.ua, t.uv.va, t.uv.ub, t.uv.vb, t.uv.uc, t.uv.vc}),
                      (std::vector<int32_t>{e.ua, e.va, e.ub, e.vb, e.uc, e.vc}))
                << c.what << ", triangle " << i;
        }
        object_free(&obj);
    }
}

TEST(ObjectDump, EmptyObjectPrintsSevenHeaders)
{
    Object3D *obj = nullptr;
    ASSERT_EQ(object_alloc(&obj, 0, 0), 0);
    testing::internal::CaptureStdout();
    object_dump(obj);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "points: 0\nplanes: 0\ntransformated points: 0\nnormal vectors of points: 0\n"
              "transformated normal vectors of points: 0\nnormal vectors of planes: 0\n"
              "transformated normal vectors of planes: 0\n");
    object_free(&obj);
}

TEST(ObjectDump, OneTriangle)
{
    Object3D *obj = nullptr;
    ASSERT_EQ(object_alloc(&obj, 1, 1), 0);
    obj->vertices[0].position = Vec4{1, -2, 0.5f, 0};
    obj->triangles[0].a = 0;
    obj->triangles[0].b = 0;
    obj->triangles[0].c = 0;
    obj->triangles[0].colour = 200;
    testing::internal::CaptureStdout();
    object_dump(obj);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string head =
              "points: 1\n(   1.0000000000000,  -2.0000000000000,   0.5000000000000,   "
              "0.0000000000000)\nplanes: 1\n(                 0,                 0,          "
              "       0,               200)\n";
    EXPECT_EQ(out.substr(0, head.size()), head);
    object_free(&obj);
}
