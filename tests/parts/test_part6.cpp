// test_part6.cpp: part 6, spinning wireframe objects, on the show's
// generated data; and the row wobble that the layered parts share.
#include "engine3d.h"
#include "parts_test.h"

#include <algorithm>
#include <cstring>

namespace {

struct Part6Test : PartsTest {
    void SetUp() override
    {
        PartsTest::SetUp();
        parts_test_copy_show_data();
    }
};

// Six times the signed volume enclosed by obj's triangles: positive when
// their right-hand normals point out of the solid.
double signed_volume(const Object3D *obj)
{
    double v = 0;
    for (int i = 0; i < obj->triangle_count; i++) {
        const Triangle3D &t = obj->triangles[i];
        const Vec4 &a = obj->vertices[t.a].position, &b = obj->vertices[t.b].position,
                   &c = obj->vertices[t.c].position;
        v += (double)a.x * ((double)b.y * c.z - (double)b.z * c.y) - (double)a.y * ((double)b.x * c.z - (double)b.z * c.x) +
             (double)a.z * ((double)b.x * c.y - (double)b.y * c.x);
    }
    return v;
}

}  // namespace

TEST_F(Part6Test, SpinRatesTradePlacesAt33And66)
{
    const float r0 = 0.27318197f, r1 = 0.23271057f, r2 = 0.2026834f;
    const struct {
        int d;
        float x, y, z;
    } cases[] = {{0, r0, r1, r2}, {32, r0, r1, r2}, {33, r1, r2, r0}, {65, r1, r2, r0}, {66, r2, r0, r1},
                 {105, r2, r0, r1}};
    for (const auto &c : cases) {
        float rates[3];
        part6_spin_rates(c.d, rates);
        EXPECT_EQ(rates[0], c.x) << c.d;
        EXPECT_EQ(rates[1], c.y) << c.d;
        EXPECT_EQ(rates[2], c.z) << c.d;
    }
}

TEST_F(Part6Test, CameraOfObjectASwaysAndMovesInAndOut)
{
    const struct {
        int v;
        float tx, ty, tz;
    } cases[] = {{0, 0, 255, 2011}, {4, (float)(sin_table[64] >> 2), 0, 1500}, {8, (float)(sin_table[128] >> 2), -256, 988},
                 {16, 255, 255, 2011}, {48, -256, 255, 2011}, {64, 0, 255, 2011}};
    for (const auto &c : cases) {
        float tx, ty, tz;
        part6_camera_a(c.v, &tx, &ty, &tz);
        EXPECT_EQ(tx, c.tx) << c.v;
        EXPECT_EQ(ty, c.ty) << c.v;
        EXPECT_EQ(tz, c.tz) << c.v;
    }
    float lo = 1e9f, hi = -1e9f;
    for (int v = 0; v < 1000; v++) {
        float tx, ty, tz;
        part6_camera_a(v, &tx, &ty, &tz);
        lo = std::min(lo, tz);
        hi = std::max(hi, tz);
    }
    EXPECT_EQ(lo, 988);
    EXPECT_EQ(hi, 2011);
}

TEST_F(Part6Test, RowShiftsSwingInTheirRangesAndRotateRowsRight)
{
    const struct {
        int shift, lo, hi;
    } ranges[] = {{13, -40, 39}, {14, -20, 19}, {15, -10, 9}};
    for (const auto &r : ranges) {
        int lo = 1000, hi = -1000;
        int32_t shifts[240];
        for (int phase = 0; phase < 1024; phase += 7) {
            parts_row_shifts(shifts, phase, r.shift);
            lo = std::min(lo, *std::min_element(shifts, shifts + 240));
            hi = std::max(hi, *std::max_element(shifts, shifts + 240));
        }
        EXPECT_EQ(lo, r.lo) << r.shift;
        EXPECT_EQ(hi, r.hi) << r.shift;
    }
    // Source pixel x of row r lands at (x + shift) mod 320.
    int32_t shifts[240] = {};
    const int32_t some[] = {-40, -1, 0, 1, 39, 319};
    for (int r = 0; r < 6; r++)
        shifts[r] = some[r];
    for (int i = 0; i < 320 * 240; i++)
        work_image_b->pixels[i] = (uint8_t)(i * 7 + i / 320);
    parts_copy_rows_shifted(work_image_a, work_image_b, shifts);
    for (int r = 0; r < 6; r++)
        for (int x = 0; x < 320; x++)
            ASSERT_EQ(work_image_a->pixels[r * 320 + (x + shifts[r] + 320) % 320], work_image_b->pixels[r * 320 + x])
                << "row " << r << " x " << x;
}

TEST_F(Part6Test, BakeScalesFirstThenTurnsIntoPlace)
{
    // A file point (1, 0, 0) of object A ends at (-80, 0, 0); a scaling
    // that differs per axis shows that it acts before the turn.
    const struct {
        float sx, sy, sz;
        float p[3], want[3];
    } cases[] = {
        {80, 80, 80, {1, 0, 0}, {-80, 0, 0}},
        {1, 2, 3, {0, 1, 0}, {0, 0, -2}},
        {1, 2, 3, {0, 0, 1}, {0, -3, 0}},
        {160, 320, 320, {1, 1, 1}, {-160, -320, -320}},
    };
    for (const auto &c : cases) {
        Object3D *obj = nullptr;
        ASSERT_EQ(object_alloc(&obj, 3, 1), 0);
        obj->vertices[0].position = {c.p[0], c.p[1], c.p[2], 0};
        obj->vertices[1].position = {0, 0, 0, 0};
        obj->vertices[2].position = {0, 0, 0, 0};
        obj->triangles[0].a = 0;
        obj->triangles[0].b = 1;
        obj->triangles[0].c = 2;
        part6_bake_object(obj, c.sx, c.sy, c.sz);
        const Vec4 &q = obj->vertices[0].position;
        EXPECT_NEAR(q.x, c.want[0], 0.001f);
        EXPECT_NEAR(q.y, c.want[1], 0.001f);
        EXPECT_NEAR(q.z, c.want[2], 0.001f);
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(obj->matrix.m[i], i % 5 == 0 ? 1.0f : 0.0f);
        object_free(&obj);
    }
}

TEST_F(Part6Test, SpinComesAfterTheTurnSoFarAndEachObjectHasItsOwnCamera)
{
    Object3D *obj = nullptr;
    ASSERT_EQ(object_alloc(&obj, 3, 1), 0);
    obj->vertices[0].position = {0, 0, 0, 0};
    obj->vertices[1].position = {100, 0, 0, 0};
    obj->vertices[2].position = {0, 100, 0, 0};
    obj->triangles[0] = Triangle3D{};
    obj->triangles[0].b = 1;
    obj->triangles[0].c = 2;
    matrix_rotation_euler(&obj->matrix, 0.3f, 0, 0);
    Matrix4 spin;
    matrix_rotation_euler(&spin, 0, 0.5f, 0);
    view_reset_clip_scratch();
    part6_place_object(obj, &spin, 0, 0, 1000.0f);
    // (0, 0, 1) turned about x by 0.3, then about y by 0.5.
    EXPECT_NEAR(obj->matrix.m[2], 0.4580f, 0.0005f);
    EXPECT_NEAR(obj->matrix.m[6], -0.2955f, 0.0005f);
    EXPECT_NEAR(obj->matrix.m[10], 0.8384f, 0.0005f);
    // The camera at z 1000, halving x and y, turned half round: the origin
    // lands at depth 1000 and x = 100 at -200 (before the next turn).
    const Object3D *scene = view_get_clip_scratch();
    ASSERT_EQ(scene->vertex_count, 3);
    EXPECT_NEAR(scene->vertices[0].view.z, 1000.0f, 0.01f);
    const float x1 = 100 * obj->matrix.m[0], z1 = 100 * obj->matrix.m[8];
    EXPECT_NEAR(scene->vertices[1].view.x, -2 * x1, 0.01f);
    EXPECT_NEAR(scene->vertices[1].view.z, 1000.0f - z1, 0.01f);
    object_free(&obj);
}

TEST_F(Part6Test, GeneratedObjectsLoadFitAndShowTheirFrontFaces)
{
    part6_load();
    ASSERT_NE(part6_object_a, nullptr);
    ASSERT_NE(part6_object_b, nullptr);
    for (const Object3D *o : {part6_object_a, part6_object_b}) {
        EXPECT_GT(o->triangle_count, 100);
        // Closed solids whose faces are wound to face outwards.
        EXPECT_GT(signed_volume(o), 0.0);
        for (int i = 0; i < o->triangle_count; i++)
            EXPECT_EQ(o->triangles[i].texture, 0);
    }
    // Frames through the run: both objects fit the scratch object, and
    // each shows some faces and hides others.
    Image *frame = nullptr;
    ASSERT_EQ(image_create(&frame, 320, 240), 0);
    for (int v = 0; v < 177; v++) {
        part6_draw_frame(frame, v * 60 / 100, v);
        if (v % 20)
            continue;
        const Object3D *scene = view_get_clip_scratch();
        // Every vertex is copied; triangles wholly off one side are culled.
        EXPECT_GE(scene->vertex_count, part6_object_a->vertex_count + part6_object_b->vertex_count);
        EXPECT_LE(scene->vertex_count, VIEW_SCRATCH_VERTICES);
        EXPECT_GT(scene->triangle_count * 10, 9 * (part6_object_a->triangle_count + part6_object_b->triangle_count));
        int shown[2] = {}, hidden[2] = {};
        for (int i = 0; i < scene->triangle_count; i++) {
            const Triangle3D &t = scene->triangles[i];
            (t.visible ? shown : hidden)[t.colour == 64 ? 0 : 1]++;
        }
        for (int k = 0; k < 2; k++) {
            EXPECT_GT(shown[k], 0) << "frame " << v << " object " << k;
            EXPECT_GT(hidden[k], 0) << "frame " << v << " object " << k;
        }
    }
    image_destroy(&frame);
    part6_free();
}

TEST_F(Part6Test, MissingPictureTextureOrObjectTakesTheFatalPath)
{
    const struct {
        const char *path;
        int how;  // 0 removed, 1 a picture of the wrong size, 2 a broken object
        const char *message;
    } cases[] = {
        {"grafika/4/sinus.pcx", 0, "Can't load image grafika/4/sinus.pcx !"},
        {"3d/none.pcx", 0, "Can't load image 3d/none.pcx !"},
        {"3d/3d_bb1.pcx", 0, "Can't load image 3d/3d_bb1.pcx !"},
        {"grafika/4/3d_bb2.pcx", 1, "Can't load image grafika/4/3d_bb2.pcx !"},
        {"grafika/4/sinus.pcx", 1, "Can't load image grafika/4/sinus.pcx !"},
        {"3d/bb/demo03b.t3d", 2, "Can't load object 3d/bb/demo03b.t3d !"},
        {"3d/bb/grimfall.t3d", 0, "Can't load object 3d/bb/grimfall.t3d !"},
    };
    for (const auto &c : cases) {
        parts_test_copy_show_data();
        if (c.how == 0)
            std::remove(c.path);
        else if (c.how == 1)
            parts_test_save_uniform(c.path, 321, 240, 3, parts_test_grey_palette());
        else
            ASSERT_EQ(file_write_all(c.path, "MATERIALS\n1\nbroken\n", 19), 0);
        EXPECT_PART_EXIT(part6_load(), c.message);
    }
}
