// View pipeline: camera, clip codes, culling, the seven near-plane cases
// (winding kept), scratch accumulation and capacity, projection and facing,
// lighting, subdivision, and one triangle from file to screen.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "engine3d.h"

namespace {

constexpr float NEAR = 80.0f, FAR = 5000.0f, FOCAL = 200.0f;

struct ObjectHolder {
    Object3D *obj = nullptr;
    ObjectHolder(int nv, int nt) { EXPECT_EQ(object_alloc(&obj, nv, nt), 0); }
    ~ObjectHolder() { object_free(&obj); }
};

void set_triangle(Object3D *obj, int i, int a, int b, int c, TexCoords uv = {})
{
    Triangle3D &t = obj->triangles[i];
    t = Triangle3D{};
    t.a = a;
    t.b = b;
    t.c = c;
    t.uv = uv;
}

void clip(Object3D *obj) { view_clip(obj, NEAR, FAR, FOCAL, 160, 120); }

// A triangle in view space with corner depths za, zb, zc, drawn
// counter-clockwise on the screen unless flipped.
void make_triangle(Object3D *obj, float za, float zb, float zc, bool flipped)
{
    obj->vertices[0].view = Vec4{-30, 20, za, 1};
    obj->vertices[1].view = Vec4{40, 25, zb, 1};
    obj->vertices[2].view = Vec4{5, -35, zc, 1};
    if (flipped)
        set_triangle(obj, 0, 0, 2, 1);
    else
        set_triangle(obj, 0, 0, 1, 2);
    obj->triangles[0].colour = 77;
}

}  // namespace

TEST(Camera, IdentityAndDistance)
{
    Matrix4 cam, rot;
    view_build_camera(0, 0, 0, 1, 1, 1, 0, 0, 0, &cam, &rot);
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(cam.m[i], i % 5 == 0 ? 1.0f : 0.0f);
        EXPECT_EQ(rot.m[i], i % 5 == 0 ? 1.0f : 0.0f);
    }
    view_build_camera(0, 0, -1500, 1, 1, 1, 0, 0, 0, &cam, &rot);
    EXPECT_EQ(cam.m[3], 0.0f);
    EXPECT_EQ(cam.m[11], 1500.0f);
}

TEST(Camera, ScaleThenMoveThenRotate)
{
    // The show's camera: scale 0.5, 0.5, 1, turned half round about y.
    ObjectHolder h(1, 0);
    matrix_set_diagonal(&h.obj->matrix, 1.0f);
    h.obj->vertices[0].position = Vec4{100, 30, 200, 0};
    view_build_camera(0, 0, 1000, 0.5f, 0.5f, 1.0f, 0, (float)M_PI, 0, &camera_matrix, &camera_rotation);
    object_transform(h.obj, &camera_matrix, 1);
    const Vec4 v = h.obj->vertices[0].view;
    EXPECT_NEAR(v.x, -200.0, 1e-3);
    EXPECT_NEAR(v.y, 60.0, 1e-3);
    EXPECT_NEAR(v.z, 800.0, 1e-3);
    EXPECT_EQ(camera_rotation.m[0], -1.0f);
    EXPECT_EQ(camera_rotation.m[3], 0.0f);
}

TEST(ClipCodes, LimitsAreInsideAndNanIsTooNear)
{
    ObjectHolder h(6, 0);
    Vertex3D *v = h.obj->vertices;
    const float l = 400.0f * (float)(1.0 / 200.0);
    v[0].view = Vec4{l * 160.0f, -l * 120.0f, 400, 1};
    v[1].view = Vec4{std::nextafter(l * 160.0f, 1e9f), std::nextafter(-l * 120.0f, -1e9f), 400, 1};
    v[2].view = Vec4{-std::nextafter(l * 160.0f, 1e9f), std::nextafter(l * 120.0f, 1e9f), 400, 1};
    v[3].view = Vec4{0, 0, NEAR, 1};
    v[4].view = Vec4{0, 0, FAR, 1};
    v[5].view = Vec4{0, 0, NAN, 1};
    view_reset_clip_scratch();
    clip(h.obj);
    EXPECT_EQ(v[0].clip_x, 0);
    EXPECT_EQ(v[0].clip_y, 0);
    EXPECT_EQ(v[0].clip_z, 0);
    EXPECT_EQ(v[1].clip_x, 2);
    EXPECT_EQ(v[1].clip_y, 1);
    EXPECT_EQ(v[2].clip_x, 1);
    EXPECT_EQ(v[2].clip_y, 2);
    EXPECT_EQ(v[3].clip_z, 0);
    EXPECT_EQ(v[4].clip_z, 0);
    v[4].view.z = std::nextafter(FAR, 1e9f);
    v[3].view.z = std::nextafter(NEAR, 0.0f);
    clip(h.obj);
    EXPECT_EQ(v[4].clip_z, 2);
    EXPECT_EQ(v[3].clip_z, 1);
    EXPECT_EQ(v[5].clip_z, 1);
    // The scratch copies carry the codes too.
    EXPECT_EQ(view_get_clip_scratch()->vertices[6 + 3].clip_z, 1);
}

TEST(Clip, CullAndFarDrop)
{
    ObjectHolder h(9, 5);
    Vertex3D *v = h.obj->vertices;
    // 0-2 all left of the view; 3-5 left, right and inside; 6 beyond far;
    // 7, 8 too near.
    v[0].view = Vec4{-1000, 0, 400, 1};
    v[1].view = Vec4{-900, 10, 400, 1};
    v[2].view = Vec4{-1000, 50, 500, 1};
    v[3].view = Vec4{-1000, 0, 400, 1};
    v[4].view = Vec4{1000, 0, 400, 1};
    v[5].view = Vec4{0, 100, 400, 1};
    v[6].view = Vec4{0, 0, 6000, 1};
    v[7].view = Vec4{0, 0, 10, 1};
    v[8].view = Vec4{5, 5, 10, 1};
    set_triangle(h.obj, 0, 0, 1, 2);  // culled: all x codes 1
    set_triangle(h.obj, 1, 3, 4, 5);  // x codes 1, 2, 0: passes uncut
    set_triangle(h.obj, 2, 3, 5, 6);  // one corner beyond far: dropped
    set_triangle(h.obj, 3, 7, 8, 7);  // all too near: dropped
    set_triangle(h.obj, 4, 5, 3, 4);  // passes
    h.obj->triangles[4].colour = 9;
    view_reset_clip_scratch();
    clip(h.obj);
    Object3D *s = view_get_clip_scratch();
    // Every vertex is copied at its own index, used or not.
    ASSERT_EQ(s->vertex_count, 9);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(memcmp(&s->vertices[i], &v[i], sizeof(Vertex3D)), 0);
    ASSERT_EQ(s->triangle_count, 2);
    EXPECT_EQ(s->triangles[0].a, 3);
    EXPECT_EQ(s->triangles[0].b, 4);
    EXPECT_EQ(s->triangles[0].c, 5);
    EXPECT_EQ(s->triangles[1].a, 5);
    EXPECT_EQ(s->triangles[1].colour, 9);
}

TEST(Clip, NearCutInterpolatesPositionAndTexels)
{
    ObjectHolder h(3, 1);
    Vertex3D *v = h.obj->vertices;
    v[0].view = Vec4{10, 20, 40, 1};
    v[0].light = 50;
    v[1].view = Vec4{30, -20, 120, 1};
    v[1].light = 150;
    v[2].view = Vec4{0, 0, 200, 1};
    set_triangle(h.obj, 0, 0, 1, 2, TexCoords{10, 5, 31, 9, 0, 0});
    view_reset_clip_scratch();
    clip(h.obj);
    Object3D *s = view_get_clip_scratch();
    ASSERT_EQ(s->vertex_count, 5);
    ASSERT_EQ(s->triangle_count, 2);
    // P = cut a->b at t = 0.5.
    const Vertex3D &p = s->vertices[3];
    EXPECT_EQ(p.view.x, 20.0f);
    EXPECT_EQ(p.view.y, 0.0f);
    EXPECT_EQ(p.view.z, NEAR);
    EXPECT_EQ(p.light, 50);  // copied from the too-near vertex
    const Triangle3D &t0 = s->triangles[0], &t1 = s->triangles[1];
    EXPECT_EQ(t0.a, 3);
    EXPECT_EQ(t0.b, 1);
    EXPECT_EQ(t0.c, 2);
    EXPECT_EQ(t0.uv.ua, 20);  // 10 + trunc(0.5 * 21)
    EXPECT_EQ(t0.uv.va, 7);
    EXPECT_EQ(t0.uv.ub, 31);
    // Q = cut a->c at t = 0.25; the second triangle is (Q, P, c).
    EXPECT_EQ(t1.a, 4);
    EXPECT_EQ(t1.b, 3);
    EXPECT_EQ(t1.c, 2);
    EXPECT_EQ(t1.uv.ua, 8);   // 10 + trunc(0.25 * -10)
    EXPECT_EQ(t1.uv.va, 4);   // 5 + trunc(0.25 * -5)
    EXPECT_EQ(t1.uv.ub, 20);
    EXPECT_EQ(s->vertices[4].view.x, 7.5f);

    // The untextured twin copies the source coordinates; the lit twin also
    // interpolates the light byte.
    view_reset_clip_scratch();
    view_clip_untextured(h.obj, NEAR, FAR, FOCAL, 160, 120);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(s->triangles[i].uv.ua, 10);
        EXPECT_EQ(s->triangles[i].uv.ub, 31);
        EXPECT_EQ(s->triangles[i].uv.vc, 0);
    }
    view_reset_clip_scratch();
    view_clip_lit(h.obj, NEAR, FAR, FOCAL, 160, 120);
    EXPECT_EQ(s->vertices[3].light, 100);
    EXPECT_EQ(s->triangles[0].uv.ua, 20);
}

TEST(Clip, SevenNearCasesKeepTheWinding)
{
    struct Case {
        float za, zb, zc;
        int triangles;
    };
    const float n = 40, f = 300;
    const Case cases[] = {
        {f, f, f, 1}, {n, f, f, 2}, {f, n, f, 2}, {f, f, n, 2},
        {n, n, f, 1}, {n, f, n, 1}, {f, n, n, 1},
    };
    for (const Case &c : cases)
        for (bool flipped : {false, true}) {
            // Facing of the whole triangle: all its corners are in front of
            // the viewer, so it projects whole.
            ObjectHolder whole(3, 1);
            make_triangle(whole.obj, c.za, c.zb, c.zc, flipped);
            view_project(whole.obj, FOCAL);
            const uint8_t facing = whole.obj->triangles[0].visible;
            EXPECT_EQ(facing, flipped ? 0 : 1);

            ObjectHolder h(3, 1);
            make_triangle(h.obj, c.za, c.zb, c.zc, flipped);
            view_reset_clip_scratch();
            clip(h.obj);
            Object3D *s = view_get_clip_scratch();
            ASSERT_EQ(s->triangle_count, c.triangles) << c.za << " " << c.zb << " " << c.zc;
            EXPECT_EQ(s->vertex_count, 3 + (c.triangles == 1 && c.za == f && c.zb == f ? 0 : 2));
            for (int i = 0; i < s->triangle_count; i++) {
                const Triangle3D &t = s->triangles[i];
                EXPECT_EQ(t.colour, 77);
                for (int corner : {t.a, t.b, t.c})
                    EXPECT_GE(s->vertices[corner].view.z, NEAR);
            }
            view_project(s, FOCAL);
            for (int i = 0; i < s->triangle_count; i++)
                EXPECT_EQ(s->triangles[i].visible, facing)
                    << "case " << c.za << " " << c.zb << " " << c.zc << " triangle " << i;
        }
}

TEST(Clip, TwoObjectsAccumulateWithOffset)
{
    ObjectHolder a(3, 1), b(3, 1);
    make_triangle(a.obj, 40, 300, 300, false);  // cut: 2 new vertices
    make_triangle(b.obj, 300, 300, 300, false);
    view_reset_clip_scratch();
    clip(a.obj);
    clip(b.obj);
    Object3D *s = view_get_clip_scratch();
    EXPECT_EQ(s->vertex_count, 3 + 2 + 3);
    ASSERT_EQ(s->triangle_count, 3);
    EXPECT_EQ(s->triangles[2].a, 5);
    EXPECT_EQ(s->triangles[2].b, 6);
    EXPECT_EQ(s->triangles[2].c, 7);
    EXPECT_EQ(memcmp(&s->vertices[6], &b.obj->vertices[1], sizeof(Vertex3D)), 0);
    view_reset_clip_scratch();
    EXPECT_EQ(s->vertex_count, 0);
    EXPECT_EQ(s->triangle_count, 0);
}

TEST(Clip, LargeObjectsNeverOverflowTheScratch)
{
    // 6000 vertices, 3000 triangles each cut in two: the first call fills
    // the scratch up to its room, the second appends nothing.
    ObjectHolder h(6000, 3000);
    for (int i = 0; i < 3000; i++) {
        Vertex3D *v = &h.obj->vertices[2 * i];
        v[0].view = Vec4{-10, 10, 40, 1};
        v[1].view = Vec4{10, 10, 300, 1};
        set_triangle(h.obj, i, 2 * i, 2 * i + 1, (2 * i + 3) % 6000);
    }
    view_reset_clip_scratch();
    clip(h.obj);
    Object3D *s = view_get_clip_scratch();
    EXPECT_LE(s->vertex_count, VIEW_SCRATCH_VERTICES);
    EXPECT_LE(s->triangle_count, VIEW_SCRATCH_TRIANGLES);
    EXPECT_EQ(s->vertex_count, 10000);
    EXPECT_EQ(s->triangle_count, 4000);
    const int vc = s->vertex_count, tc = s->triangle_count;
    clip(h.obj);
    EXPECT_EQ(s->vertex_count, vc);
    EXPECT_EQ(s->triangle_count, tc);
    for (int i = 0; i < s->triangle_count; i++) {
        const Triangle3D &t = s->triangles[i];
        EXPECT_LT(t.a, s->vertex_count);
        EXPECT_LT(t.b, s->vertex_count);
        EXPECT_LT(t.c, s->vertex_count);
    }
    // A full vertex array still takes triangles that need no new vertex.
    ObjectHolder full(10000, 2);
    for (int i = 0; i < 10000; i++)
        full.obj->vertices[i].view = Vec4{(float)(i % 7), (float)(i % 5), 300, 1};
    set_triangle(full.obj, 0, 0, 1, 2);
    set_triangle(full.obj, 1, 9999, 9998, 9997);
    view_reset_clip_scratch();
    clip(full.obj);
    EXPECT_EQ(s->vertex_count, 10000);
    EXPECT_EQ(s->triangle_count, 2);
    // An object with more vertices than the scratch holds appends nothing.
    ObjectHolder big(12000, 1);
    set_triangle(big.obj, 0, 0, 1, 2);
    view_reset_clip_scratch();
    clip(big.obj);
    EXPECT_EQ(s->vertex_count, 0);
    EXPECT_EQ(s->triangle_count, 0);
}

TEST(Project, ScalesByFocalOverDepthAndMarksFacing)
{
    ObjectHolder h(4, 3);
    Vertex3D *v = h.obj->vertices;
    v[0].view = Vec4{100, -50, 400, 1};
    view_project(h.obj, FOCAL);
    EXPECT_EQ(v[0].view.x, 50.0f);
    EXPECT_EQ(v[0].view.y, -25.0f);
    EXPECT_EQ(v[0].view.z, 400.0f);

    v[0].view = Vec4{0, 0, 1, 1};
    v[1].view = Vec4{10, 0, 1, 1};
    v[2].view = Vec4{0, -10, 1, 1};
    v[3].view = Vec4{20, 0, 1, 1};
    set_triangle(h.obj, 0, 0, 1, 2);
    set_triangle(h.obj, 1, 0, 2, 1);
    set_triangle(h.obj, 2, 0, 1, 3);  // collinear
    view_mark_facing(h.obj);
    EXPECT_EQ(h.obj->triangles[0].visible, 1);
    EXPECT_EQ(h.obj->triangles[1].visible, 0);
    EXPECT_EQ(h.obj->triangles[2].visible, 0);

    // Depth 0 and NaN do not trap; a NaN corner never faces.
    v[0].view = Vec4{5, 5, 0, 1};
    v[1].view = Vec4{NAN, 0, 10, 1};
    view_project(h.obj, FOCAL);
    EXPECT_EQ(h.obj->triangles[0].visible, 0);
}

TEST(Light, VerticesAndTriangles)
{
    ObjectHolder h(4, 2);
    Vertex3D *v = h.obj->vertices;
    const float light[3] = {0, 0, 2};
    v[0].view_normal = Vec4{0, 0, -1, 0};     // toward the light
    v[1].view_normal = Vec4{1, 0, 0, 0};      // at right angles
    v[2].view_normal = Vec4{0, 0, 1, 0};      // away
    v[3].view_normal = Vec4{0, 0, -1e30f, 0}; // absurd length
    view_light_vertices(h.obj, light, 10, 100);
    EXPECT_GE(v[0].light, 109);
    EXPECT_LE(v[0].light, 110);
    EXPECT_EQ(v[1].light, 10);
    EXPECT_EQ(v[2].light, 10);
    EXPECT_EQ(v[3].light, (uint8_t)(10 + 255));
    // Only the low bytes of base and k count, and the sum wraps.
    view_light_vertices(h.obj, light, 300, 0x1FF);
    EXPECT_GE(v[0].light, 42);
    EXPECT_LE(v[0].light, 43);
    EXPECT_EQ(v[1].light, 44);
    h.obj->triangles[0].view_normal = Vec4{0, -0.6f, -0.8f, 0};
    h.obj->triangles[1].view_normal = Vec4{0, 0, 1, 0};
    view_light_triangles(h.obj, light, 0, 100);
    EXPECT_GE(h.obj->triangles[0].light, 79);
    EXPECT_LE(h.obj->triangles[0].light, 80);
    EXPECT_EQ(h.obj->triangles[1].light, 0);
}

TEST(Subdivide, OneTriangleBecomesFour)
{
    ObjectHolder h(6, 4);
    Object3D *obj = h.obj;
    obj->vertex_count = 3;
    obj->triangle_count = 1;
    Vertex3D *v = obj->vertices;
    v[0].view = Vec4{0, 0, 100, 1};
    v[0].light = 10;
    v[1].view = Vec4{10, 0, 200, 1};
    v[1].light = 21;
    v[2].view = Vec4{0, 20, 300, 1};
    v[2].light = 0;
    set_triangle(obj, 0, 0, 1, 2, TexCoords{0, 0, 64, -3, 0, 32});
    obj->triangles[0].colour = 5;
    EXPECT_EQ(view_subdivide(obj), obj);
    ASSERT_EQ(obj->vertex_count, 6);
    ASSERT_EQ(obj->triangle_count, 4);
    EXPECT_EQ(v[3].view.x, 5.0f);
    EXPECT_EQ(v[3].view.z, 150.0f);
    EXPECT_EQ(v[3].light, 15);
    EXPECT_EQ(v[4].view.y, 10.0f);
    EXPECT_EQ(v[5].view.z, 200.0f);
    const Triangle3D *t = obj->triangles;
    EXPECT_EQ(t[0].a, 0);
    EXPECT_EQ(t[0].b, 3);
    EXPECT_EQ(t[0].c, 5);
    EXPECT_EQ(t[1].a, 3);
    EXPECT_EQ(t[1].b, 1);
    EXPECT_EQ(t[1].c, 4);
    EXPECT_EQ(t[2].a, 5);
    EXPECT_EQ(t[2].b, 4);
    EXPECT_EQ(t[2].c, 2);
    EXPECT_EQ(t[3].a, 3);
    EXPECT_EQ(t[3].b, 4);
    EXPECT_EQ(t[3].c, 5);
    EXPECT_EQ(t[3].colour, 5);
    // Midpoint texels by arithmetic shift: (0 + -3) >> 1 = -2.
    EXPECT_EQ(t[3].uv.ua, 32);
    EXPECT_EQ(t[3].uv.va, -2);
    EXPECT_EQ(t[3].uv.ub, 32);
    EXPECT_EQ(t[3].uv.vb, 14);
    EXPECT_EQ(t[3].uv.uc, 0);
    EXPECT_EQ(t[3].uv.vc, 16);
    // The quarters keep the winding.
    view_project(obj, FOCAL);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(t[i].visible, t[0].visible);
}

TEST(Subdivide, EveryTriangleSplitsIntoItsOwnFourSlots)
{
    // Three triangles sharing corners, each with its own colour and texels:
    // triangle i becomes triangles 4i..4i+3 over vertices 5+3i..5+3i+2,
    // whatever the other triangles hold.
    ObjectHolder h(5 + 9, 12);
    Object3D *obj = h.obj;
    obj->vertex_count = 5;
    obj->triangle_count = 3;
    Vertex3D *v = obj->vertices;
    for (int i = 0; i < 5; i++) {
        v[i].view = Vec4{10.0f * i, 3.0f * i * i, 100.0f + 20 * i, 1};
        v[i].light = (uint8_t)(7 * i);
    }
    const int corners[3][3] = {{0, 1, 2}, {2, 1, 3}, {4, 2, 3}};
    Triangle3D before[3];
    for (int i = 0; i < 3; i++) {
        set_triangle(obj, i, corners[i][0], corners[i][1], corners[i][2],
                     TexCoords{i, 10 * i, 64 + i, -5 * i, 3 * i, 32 - i});
        obj->triangles[i].colour = (uint8_t)(40 + i);
        obj->triangles[i].light = (uint8_t)(9 - i);
        before[i] = obj->triangles[i];
    }
    Vertex3D original[5];
    for (int i = 0; i < 5; i++)
        original[i] = v[i];

    EXPECT_EQ(view_subdivide(obj), obj);
    ASSERT_EQ(obj->vertex_count, 14);
    ASSERT_EQ(obj->triangle_count, 12);
    auto mid = [](int32_t p, int32_t q) { return (int32_t)(((int64_t)p + q) >> 1); };
    for (int i = 0; i < 3; i++) {
        const Triangle3D &t = before[i];
        const int m = 5 + 3 * i;
        const int ends[3][2] = {{t.a, t.b}, {t.b, t.c}, {t.c, t.a}};
        for (int k = 0; k < 3; k++) {
            const Vertex3D &p = original[ends[k][0]], &q = original[ends[k][1]];
            EXPECT_EQ(v[m + k].view.x, (p.view.x + q.view.x) * 0.5f);
            EXPECT_EQ(v[m + k].view.y, (p.view.y + q.view.y) * 0.5f);
            EXPECT_EQ(v[m + k].view.z, (p.view.z + q.view.z) * 0.5f);
            EXPECT_EQ(v[m + k].light, (p.light + q.light) / 2);
        }
        const TexCoords &uv = t.uv;
        const int32_t uab = mid(uv.ua, uv.ub), vab = mid(uv.va, uv.vb);
        const int32_t ubc = mid(uv.ub, uv.uc), vbc = mid(uv.vb, uv.vc);
        const int32_t uca = mid(uv.uc, uv.ua), vca = mid(uv.vc, uv.va);
        const int32_t want[4][9] = {
            {t.a, m, m + 2, uv.ua, uv.va, uab, vab, uca, vca},
            {m, t.b, m + 1, uab, vab, uv.ub, uv.vb, ubc, vbc},
            {m + 2, m + 1, t.c, uca, vca, ubc, vbc, uv.uc, uv.vc},
            {m, m + 1, m + 2, uab, vab, ubc, vbc, uca, vca},
        };
        for (int k = 0; k < 4; k++) {
            const Triangle3D &q = obj->triangles[4 * i + k];
            const int32_t got[9] = {q.a, q.b, q.c, q.uv.ua, q.uv.va, q.uv.ub, q.uv.vb,
                                    q.uv.uc, q.uv.vc};
            for (int j = 0; j < 9; j++)
                EXPECT_EQ(got[j], want[k][j]) << "triangle " << i << " quarter " << k;
            EXPECT_EQ(q.colour, t.colour);
            EXPECT_EQ(q.light, t.light);
        }
    }
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(v[i].view.x, original[i].view.x);
}

TEST(Subdivide, ResultThatDoesNotFitLeavesTheObject)
{
    ObjectHolder h(3, 1);
    set_triangle(h.obj, 0, 0, 1, 2);
    EXPECT_EQ(view_subdivide(h.obj), h.obj);
    EXPECT_EQ(h.obj->vertex_count, 3);
    EXPECT_EQ(h.obj->triangle_count, 1);
    ObjectHolder big(40000, 20000);
    big.obj->vertex_count = 3;
    for (int i = 0; i < 3000; i++)
        set_triangle(big.obj, i, 0, 1, 2);
    big.obj->triangle_count = 3000;  // 12000 triangles: more than the staging object holds
    view_subdivide(big.obj);
    EXPECT_EQ(big.obj->triangle_count, 3000);
}

TEST(Pipeline, TriangleFromFileFacesTheCameraWhenReversed)
{
    char tmpl[] = "/tmp/skarn_view_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::filesystem::path dir = tmpl;
    const std::string path = (dir / "tri.t3d").string();
    // Stored with the opposite winding; the loader's reverse turns it round.
    // The third vertex lies close to the camera, so the near plane cuts it.
    std::ofstream(path) << "MATERIALS\n1\nm 0 255 255 255 none\n"
                           "VERTICES\n3\n0 0 0\n100 0 0\n0 100 950\n"
                           "TRIANGLES\n1\n2 1 0 0 0 0 0 0 0 0 0 0 0\n";
    Palette pal{};
    for (int reverse : {1, 0}) {
        Object3D *obj = nullptr;
        ASSERT_EQ(t3d_load(&obj, path.c_str(), &pal, (uint8_t)reverse, nullptr, nullptr, 0), 0);
        matrix_set_diagonal(&obj->matrix, 1.0f);
        view_build_camera(0, 0, 1000, 0.5f, 0.5f, 1.0f, 0, (float)M_PI, 0, &camera_matrix,
                          &camera_rotation);
        object_transform(obj, &camera_matrix, 1);
        view_reset_clip_scratch();
        clip(obj);
        Object3D *s = view_get_clip_scratch();
        view_project(s, FOCAL);
        ASSERT_EQ(s->triangle_count, 2);
        for (int i = 0; i < 2; i++)
            EXPECT_EQ(s->triangles[i].visible, reverse) << "reverse " << reverse;
        object_free(&obj);
    }
    std::filesystem::remove_all(dir);
}
