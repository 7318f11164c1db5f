// test_part5.cpp: part 5, metaballs, on the show's generated data.
#include "engine3d.h"
#include "parts_test.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

namespace {

struct Part5Test : PartsTest {
    void SetUp() override
    {
        PartsTest::SetUp();
        parts_test_copy_show_data();
        part5_load();
    }
    void TearDown() override
    {
        part5_free();
        PartsTest::TearDown();
    }
};

// The field of a sphere of squared radius r2 about c (grid units): inside
// where below 0. The lowest ball sits at layer 2, so cells from layer 3 up
// are built.
void set_sphere_field(const float c[3], float r2)
{
    for (int n = 0; n < PART5_POINTS; n++) {
        const float d[3] = {n / 400 - c[0], n / 20 % 20 - c[1], n % 20 - c[2]};
        part5_field[n] = d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - r2;
    }
    part5_find_crossings();
    for (Metaball &b : part5_balls)
        b.z = 2.0f;
}

// a and b hold the same vertices and triangles, bit for bit.
void expect_same_surface(const Object3D *a, const Object3D *b)
{
    ASSERT_EQ(a->vertex_count, b->vertex_count);
    ASSERT_EQ(a->triangle_count, b->triangle_count);
    for (int i = 0; i < a->vertex_count; i++)
        ASSERT_EQ(0, memcmp(&a->vertices[i].position, &b->vertices[i].position, 3 * sizeof(float))) << i;
    for (int i = 0; i < a->triangle_count; i++) {
        const Triangle3D &s = a->triangles[i], &t = b->triangles[i];
        ASSERT_TRUE(s.a == t.a && s.b == t.b && s.c == t.c && s.colour == t.colour) << i;
    }
}

}  // namespace

TEST_F(Part5Test, WireColourAndCameraFollowTheirSchedules)
{
    const struct {
        int d, v, colour;
    } wires[] = {{0, 0, 64}, {161, 7, 64}, {162, 3, 64}, {162, 4, 0}, {171, 9, 64}, {171, 10, 0}, {172, 9, 0},
                 {324, 1, 0}};
    for (const auto &w : wires)
        EXPECT_EQ(part5_wire_colour(w.d, w.v), w.colour) << w.d << " " << w.v;

    const struct {
        int d;
        bool rebuilt;
        float distance;
    } cameras[] = {{0, true, 2400}, {25, true, 1400}, {50, true, 400}, {51, false, 0},
                   {274, false, 0}, {275, true, 400}, {324, true, 2360}};
    for (const auto &c : cameras) {
        float distance = 0;
        EXPECT_EQ(part5_camera_distance(c.d, &distance), c.rebuilt) << c.d;
        if (c.rebuilt) {
            EXPECT_EQ(distance, c.distance) << c.d;
        }
    }
}

TEST_F(Part5Test, BallsTurnBackOnTheWallsOfTheirBox)
{
    const struct {
        Metaball from, to;
    } cases[] = {
        {{14.9f, 15.4f, 14.4f, 0.3f, 0.2f, 0.05f}, {15.0f, 15.5f, 14.45f, -0.3f, -0.2f, 0.05f}},
        {{4.6f, 3.6f, 1.6f, -0.3f, -0.2f, -0.2f}, {4.5f, 3.5f, 1.5f, 0.3f, 0.2f, 0.2f}},
        {{10, 10, 14.5f, 0, 0, 0}, {10, 10, 14.5f, 0, 0, 0}},  // on the wall, not past it
    };
    for (const auto &c : cases) {
        for (Metaball &b : part5_balls)
            b = c.from;
        part5_move_balls();
        const Metaball &b = part5_balls[3];
        EXPECT_EQ(b.x, c.to.x);
        EXPECT_EQ(b.y, c.to.y);
        EXPECT_FLOAT_EQ(b.z, c.to.z);
        EXPECT_EQ(b.vx, c.to.vx);
        EXPECT_EQ(b.vy, c.to.vy);
        EXPECT_EQ(b.vz, c.to.vz);
    }
}

TEST_F(Part5Test, SphereSurfaceIsClosedWithOutwardFaces)
{
    const float c[3] = {9.5f, 9.3f, 10.2f};
    set_sphere_field(c, 16.0f);
    part5_build_surface(part5_object, 0, 64);
    const Object3D *o = part5_object;
    ASSERT_GT(o->triangle_count, 100);

    // Each edge once in each direction: shared by exactly two triangles
    // that wind the same way round.
    std::map<std::pair<int, int>, int> edges;
    for (int i = 0; i < o->triangle_count; i++) {
        const Triangle3D &t = o->triangles[i];
        ASSERT_TRUE(object_triangle_in_range(o, &t)) << i;
        const int v[3] = {t.a, t.b, t.c};
        for (int k = 0; k < 3; k++)
            edges[{v[k], v[(k + 1) % 3]}]++;
        const Vec4 &pa = o->vertices[t.a].position, &pb = o->vertices[t.b].position,
                   &pc = o->vertices[t.c].position;
        const float e[3] = {pb.x - pa.x, pb.y - pa.y, pb.z - pa.z};
        const float f[3] = {pc.x - pa.x, pc.y - pa.y, pc.z - pa.z};
        const float n[3] = {e[1] * f[2] - e[2] * f[1], e[2] * f[0] - e[0] * f[2], e[0] * f[1] - e[1] * f[0]};
        // Grid position g is point g + 10 of the field.
        const float out[3] = {pa.x + 10 - c[0], pa.y + 10 - c[1], pa.z + 10 - c[2]};
        EXPECT_GT(n[0] * out[0] + n[1] * out[1] + n[2] * out[2], 0.0f) << "triangle " << i;
    }
    // Cells with only their upper layer inside are skipped, which leaves
    // the sphere open on its far side (lower third index). Every other
    // edge is shared by exactly two triangles.
    std::map<int, int> rim_out, rim_in;
    for (const auto &e : edges) {
        ASSERT_EQ(e.second, 1) << e.first.first << "-" << e.first.second;
        if (edges.count({e.first.second, e.first.first}))
            continue;
        for (int v : {e.first.first, e.first.second})
            EXPECT_LT(o->vertices[v].position.z + 10, c[2]) << "open edge on the near side";
        rim_out[e.first.first]++;
        rim_in[e.first.second]++;
    }
    EXPECT_FALSE(rim_out.empty());
    EXPECT_LT(rim_out.size() * 4, edges.size() / 3);
    // The opening's rim runs round in closed loops.
    EXPECT_EQ(rim_out, rim_in);
    for (const auto &r : rim_out)
        EXPECT_EQ(r.second, 1);
    // Every vertex near the sphere, none twice.
    for (int i = 0; i < o->vertex_count; i++) {
        const Vec4 &p = o->vertices[i].position;
        const float r = sqrtf((p.x + 10 - c[0]) * (p.x + 10 - c[0]) + (p.y + 10 - c[1]) * (p.y + 10 - c[1]) +
                              (p.z + 10 - c[2]) * (p.z + 10 - c[2]));
        EXPECT_NEAR(r, 4.0f, 0.15f) << i;
        const float q[3] = {p.x, p.y, p.z};
        EXPECT_EQ(object_find_vertex(o, q, 0.000001f, -1, 8), i);
    }
}

// Four balls at one point are one ball four times as strong: a grid point
// is inside while 4 x 8191.75 / sqrt(i) exceeds the iso level 6500, i the
// truncated squared distance, that is up to i = 25 (the radius 4 x 8191.75
// / 6500 = 5.041, squared 25.41). Every vertex of the surface lies on a
// grid edge from a point with i <= 25 to one with i >= 26, and the surface
// reaches the top of the sphere.
TEST_F(Part5Test, FourBallsAtOnePointMakeASphereOfTheIsoRadius)
{
    const float c[3] = {10.25f, 9.5f, 9.4f};
    for (Metaball &b : part5_balls)
        b = {c[0], c[1], c[2], 0, 0, 0};
    part5_sample_field();
    part5_find_crossings();
    part5_build_surface(part5_object, 0, 64);
    const Object3D *o = part5_object;
    ASSERT_GT(o->vertex_count, 100);
    const auto inside = [&](const float g[3]) {
        double i = 0;
        for (int a = 0; a < 3; a++)
            i += ((double)g[a] - c[a]) * ((double)g[a] - c[a]);
        return (int)i <= 25;
    };
    float top = 0;
    for (int v = 0; v < o->vertex_count; v++) {
        const Vec4 &p = o->vertices[v].position;
        float lo[3] = {p.x + 10, p.y + 10, p.z + 10}, hi[3];
        int along = 0;  // the one axis off the grid
        for (int a = 0; a < 3; a++)
            if (lo[a] != floorf(lo[a]))
                along = a;
        lo[along] = floorf(lo[along]);
        std::copy(lo, lo + 3, hi);
        hi[along] += 1;
        ASSERT_NE(inside(lo), inside(hi)) << "vertex " << v << " at " << p.x << "," << p.y << "," << p.z;
        top = std::max(top, p.z + 10 - c[2]);
    }
    EXPECT_NEAR(top, 5.041f, 0.1f);
}

TEST_F(Part5Test, CellsBelowTheLowestBallOrWithOnlyUpperCornersInsideAreSkipped)
{
    // One inside point at (10, 10, 8): four cells have it on their lower
    // layer (one triangle each), four on their upper layer (skipped).
    const struct {
        float ball_z;
        int triangles;
    } cases[] = {{2.0f, 4}, {7.5f, 4}, {7.99f, 4}, {8.0f, 0}, {19.0f, 0}};
    for (const auto &c : cases) {
        for (float &f : part5_field)
            f = 1.0f;
        part5_field[400 * 10 + 20 * 10 + 8] = -1.0f;
        part5_find_crossings();
        for (Metaball &b : part5_balls)
            b.z = 15.0f;
        part5_balls[2].z = c.ball_z;
        part5_build_surface(part5_object, 3, 9);
        EXPECT_EQ(part5_object->triangle_count, c.triangles) << c.ball_z;
        for (int i = 0; i < part5_object->vertex_count; i++)
            EXPECT_GE(part5_object->vertices[i].position.z, -2.0f);
        for (int i = 0; i < part5_object->triangle_count; i++) {
            EXPECT_EQ(part5_object->triangles[i].texture, 3);
            EXPECT_EQ(part5_object->triangles[i].colour, 9);
        }
    }
}

TEST_F(Part5Test, EdgeKeyedMergeGivesTheLinearSearchsVerticesAndIndices)
{
    Object3D *linear = nullptr;
    ASSERT_EQ(object_alloc(&linear, 24000, 8000), 0);
    // A sphere through grid points: crossings of exactly 0 and 1, where
    // points of different edges coincide and must merge.
    const float c[3] = {9, 9, 10};
    set_sphere_field(c, 9.0f);
    part5_build_surface(part5_object, 0, 64);
    part5_build_surface_linear(linear, 0, 64);
    expect_same_surface(part5_object, linear);
    int crossed = 0;
    for (int n = 0; n < PART5_POINTS; n++)
        crossed += part5_field[n] == 0.0f;
    EXPECT_GT(crossed, 0);

    // Every frame of a run's fields.
    for (int frame = 0; frame < 465; frame++) {
        part5_move_balls();
        part5_sample_field();
        part5_find_crossings();
        part5_build_surface(part5_object, 0, (uint8_t)frame);
        part5_build_surface_linear(linear, 0, (uint8_t)frame);
        expect_same_surface(part5_object, linear);
        if (HasFatalFailure())
            break;
    }
    object_free(&linear);
}

TEST_F(Part5Test, BuilderStopsAtItsOwnLimits)
{
    // A checkerboard field crosses every edge: far more surface than fits.
    for (int n = 0; n < PART5_POINTS; n++)
        part5_field[n] = ((n / 400 + n / 20 + n) & 1) ? -1.0f : 1.0f;
    part5_find_crossings();
    for (Metaball &b : part5_balls)
        b.z = 1.5f;
    const struct {
        int vertices, triangles;  // the object's room
        int max_vertices, max_triangles;
    } cases[] = {{24000, 8000, 10000, 8000}, {24000, 30000, 10000, 8000}, {100, 8000, 100, 8000},
                 {24000, 5, 10000, 5}};
    for (const auto &c : cases) {
        Object3D *obj = nullptr;
        ASSERT_EQ(object_alloc(&obj, c.vertices, c.triangles), 0);
        part5_build_surface(obj, 0, 64);
        EXPECT_LE(obj->vertex_count, c.max_vertices);
        EXPECT_LE(obj->triangle_count, c.max_triangles);
        // Stopped at a limit: the next triangle could not have fitted.
        EXPECT_TRUE(obj->triangle_count == c.max_triangles || obj->vertex_count + 3 > c.max_vertices)
            << obj->vertex_count << " " << obj->triangle_count;
        for (int i = 0; i < obj->triangle_count; i++)
            ASSERT_TRUE(object_triangle_in_range(obj, &obj->triangles[i]));
        object_free(&obj);
    }
}

using Part5LoadTest = PartsTest;

TEST_F(Part5LoadTest, MissingOrMisSizedPictureTakesTheFatalPath)
{
    parts_test_copy_show_data();
    std::remove("grafika/2/3d_3.pcx");
    EXPECT_PART_EXIT(part5_load(), "Can't load image grafika/2/3d_3.pcx !");
    parts_test_copy_show_data();
    parts_test_save_uniform("grafika/2/kk.pcx", 320, 120, 7, parts_test_grey_palette());
    EXPECT_PART_EXIT(part5_load(), "Can't load image grafika/2/kk.pcx !");
}
