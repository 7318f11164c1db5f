// objects.cpp: the two 3D objects of the spinning-objects part, written in
// the .t3d text format: a torus knot that reads well while it tumbles, and
// an emblem-like slab that turns about its vertical axis.
//
// File axes: +x right, +z up, +y away from the viewer. The part loads the
// files with the winding reversed, so every triangle is written clockwise
// as seen from outside (its right-hand normal points inwards).
#include "datagen.h"

#include <cmath>
#include <vector>

struct MeshTriangle {
    int v[3];
    float uv[3][2];
    int material;
};

// A mesh being built: positions and triangles kept counter-clockwise as
// seen from outside until the file is written.
struct Mesh {
    std::vector<float> xyz;
    std::vector<MeshTriangle> tris;
};

static int mesh_vertex(Mesh *m, float x, float y, float z)
{
    m->xyz.push_back(x);
    m->xyz.push_back(y);
    m->xyz.push_back(z);
    return (int)m->xyz.size() / 3 - 1;
}

// Adds a triangle, turned if needed so that its right-hand normal points
// away from inside (a point inside the solid, near the triangle).
static void mesh_triangle(Mesh *m, int a, int b, int c, const float uv[3][2], int material, const float inside[3])
{
    const float *pa = &m->xyz[3 * a], *pb = &m->xyz[3 * b], *pc = &m->xyz[3 * c];
    const float e1[3] = {pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]};
    const float e2[3] = {pc[0] - pa[0], pc[1] - pa[1], pc[2] - pa[2]};
    const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const float out[3] = {(pa[0] + pb[0] + pc[0]) / 3 - inside[0], (pa[1] + pb[1] + pc[1]) / 3 - inside[1],
                          (pa[2] + pb[2] + pc[2]) / 3 - inside[2]};
    MeshTriangle t;
    t.material = material;
    const bool turn = n[0] * out[0] + n[1] * out[1] + n[2] * out[2] < 0;
    const int order[3] = {0, turn ? 2 : 1, turn ? 1 : 2};
    const int v[3] = {a, b, c};
    for (int k = 0; k < 3; k++) {
        t.v[k] = v[order[k]];
        t.uv[k][0] = uv[order[k]][0];
        t.uv[k][1] = uv[order[k]][1];
    }
    m->tris.push_back(t);
}

static void mesh_quad(Mesh *m, int a, int b, int c, int d, const float uv[4][2], int material, const float inside[3])
{
    const float t1[3][2] = {{uv[0][0], uv[0][1]}, {uv[1][0], uv[1][1]}, {uv[2][0], uv[2][1]}};
    const float t2[3][2] = {{uv[0][0], uv[0][1]}, {uv[2][0], uv[2][1]}, {uv[3][0], uv[3][1]}};
    mesh_triangle(m, a, b, c, t1, material, inside);
    mesh_triangle(m, a, c, d, t2, material, inside);
}

// Writes the .t3d file; triangles go out clockwise from outside (corners
// one and three swapped, each with its texture coordinates).
static void mesh_write(const Mesh *m, const char *path, const char *about, const char *const *materials,
                       int material_count)
{
    FILE *f = fopen(path, "w");
    if (!f)
        datagen_fail("cannot write %s", path);
    fprintf(f, "%s\n\nMATERIALS\n%d\n", about, material_count);
    for (int i = 0; i < material_count; i++)
        fprintf(f, "%s\n", materials[i]);
    fprintf(f, "\nVERTICES\n%d\n", (int)m->xyz.size() / 3);
    for (size_t i = 0; i < m->xyz.size(); i += 3)
        fprintf(f, "%.5f %.5f %.5f\n", m->xyz[i], m->xyz[i + 1], m->xyz[i + 2]);
    fprintf(f, "\nTRIANGLES\n%d\n", (int)m->tris.size());
    for (const MeshTriangle &t : m->tris)
        fprintf(f, "%d %d %d 0 0 0 %.4f %.4f %.4f %.4f %.4f %.4f %d\n", t.v[2], t.v[1], t.v[0], t.uv[2][0],
                t.uv[2][1], t.uv[1][0], t.uv[1][1], t.uv[0][0], t.uv[0][1], t.material);
    if (fclose(f) != 0)
        datagen_fail("cannot write %s", path);
}

// Object A: a (2,3) torus knot, a tube of 6 sides along 48 steps of the
// curve. Reaches about 3 units from its centre.
static void objects_knot(void)
{
    const int steps = 48, sides = 6;
    const float big = 1.9f, swing = 0.8f, tube = 0.34f;
    Mesh m;
    std::vector<float> centre(3 * steps);
    auto curve = [&](float phi, float *p) {
        const float r = big + swing * cosf(3 * phi);
        p[0] = r * cosf(2 * phi);
        p[1] = r * sinf(2 * phi);
        p[2] = 1.1f * swing * sinf(3 * phi);
    };
    for (int i = 0; i < steps; i++) {
        const float phi = 2 * pi_f * i / steps;
        float p[3], q[3];
        curve(phi, p);
        curve(phi + 0.001f, q);
        float t[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
        const float tl = sqrtf(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
        for (float &c : t)
            c /= tl;
        // A frame that depends on the curve point only, so the tube closes:
        // u across the curve in the horizontal plane, w = t x u.
        float u[3] = {t[1], -t[0], 0};
        const float ul = sqrtf(u[0] * u[0] + u[1] * u[1]);
        u[0] /= ul;
        u[1] /= ul;
        const float w[3] = {t[1] * u[2] - t[2] * u[1], t[2] * u[0] - t[0] * u[2], t[0] * u[1] - t[1] * u[0]};
        for (int k = 0; k < 3; k++)
            centre[3 * i + k] = p[k];
        for (int j = 0; j < sides; j++) {
            const float a = 2 * pi_f * j / sides;
            mesh_vertex(&m, p[0] + tube * (cosf(a) * u[0] + sinf(a) * w[0]),
                        p[1] + tube * (cosf(a) * u[1] + sinf(a) * w[1]), p[2] + tube * (cosf(a) * u[2] + sinf(a) * w[2]));
        }
    }
    for (int i = 0; i < steps; i++)
        for (int j = 0; j < sides; j++) {
            const int i1 = (i + 1) % steps, j1 = (j + 1) % sides;
            const float u0 = (float)i / steps, u1 = (float)(i + 1) / steps;
            const float v0 = (float)j / sides, v1 = (float)(j + 1) / sides;
            const float uv[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
            // Inside: the curve point halfway along this piece of tube.
            float mid[3];
            for (int k = 0; k < 3; k++)
                mid[k] = 0.5f * (centre[3 * i + k] + centre[3 * i1 + k]);
            mesh_quad(&m, i * sides + j, i1 * sides + j, i1 * sides + j1, i * sides + j1, uv, (i + j) & 1, mid);
        }
    static const char *const materials[2] = {"ember 0 255 170 20 3d_bb1", "jade 1 20 190 170 none"};
    mesh_write(&m, "3d/bb/demo03b.t3d", "skarn: a torus knot, tube of 6 sides", materials, 2);
}

// Object B: an emblem. A rounded lozenge outline (a superellipse 3.9 wide
// and 1.16 high), flat at the back, bevelled and stepped up to a point at
// the front, so the face towards the viewer (-y) carries the relief.
static void objects_emblem(void)
{
    const int n = 40;
    // Rings of the outline: scale of the outline and depth (y) of each.
    const float ring_scale[5] = {1.0f, 1.0f, 0.86f, 0.6f, 0.28f};
    const float ring_y[5] = {0.2f, -0.14f, -0.24f, -0.26f, -0.4f};
    Mesh m;
    for (int r = 0; r < 5; r++)
        for (int i = 0; i < n; i++) {
            const float a = 2 * pi_f * (i + 0.5f) / n;
            const float c = cosf(a), s = sinf(a);
            const float x = 1.95f * copysignf(powf(fabsf(c), 0.55f), c);
            const float z = 0.58f * copysignf(powf(fabsf(s), 0.55f), s);
            mesh_vertex(&m, ring_scale[r] * x, ring_y[r], ring_scale[r] * z);
        }
    const int back = mesh_vertex(&m, 0, 0.2f, 0), front = mesh_vertex(&m, 0, -0.48f, 0);
    const float origin[3] = {0, 0, 0};
    auto uv_of = [&](int v, float *out) {
        out[0] = (m.xyz[3 * v] + 2.0f) / 4.0f;
        out[1] = (0.6f - m.xyz[3 * v + 2]) / 1.2f;
    };
    for (int i = 0; i < n; i++) {
        const int i1 = (i + 1) % n;
        for (int r = 0; r < 4; r++) {
            const int q[4] = {r * n + i, r * n + i1, (r + 1) * n + i1, (r + 1) * n + i};
            float uv[4][2];
            for (int k = 0; k < 4; k++)
                uv_of(q[k], uv[k]);
            mesh_quad(&m, q[0], q[1], q[2], q[3], uv, r == 1 ? 0 : 1, origin);
        }
        float uv[3][2];
        uv_of(i, uv[0]);
        uv_of(i1, uv[1]);
        uv_of(back, uv[2]);
        mesh_triangle(&m, i, i1, back, uv, 1, origin);
        uv_of(4 * n + i, uv[0]);
        uv_of(4 * n + i1, uv[1]);
        uv_of(front, uv[2]);
        mesh_triangle(&m, 4 * n + i, 4 * n + i1, front, uv, 0, origin);
    }
    static const char *const materials[2] = {"gold 0 255 200 60 3d_bb1", "slate 1 70 60 240 none"};
    mesh_write(&m, "3d/bb/grimfall.t3d", "skarn: the closing emblem, a stepped lozenge", materials, 2);
}

void gen_objects(void)
{
    objects_knot();
    objects_emblem();
}
