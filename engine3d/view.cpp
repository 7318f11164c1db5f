// view.cpp: the per-frame view pipeline: camera matrices, culling and
// near-plane clipping of transformed objects into the shared static scratch
// object, perspective projection with facing flags, the two lighting passes
// and triangle subdivision. Nothing here allocates.
#include "view.h"

#include <cmath>

Matrix4 camera_matrix;
Matrix4 camera_rotation;

// The two scratch objects and their arrays live for the whole run.
static Vertex3D clip_vertices[VIEW_SCRATCH_VERTICES];
static Triangle3D clip_triangles[VIEW_SCRATCH_TRIANGLES];
static DepthPair clip_pairs[VIEW_SCRATCH_TRIANGLES];
static Object3D clip_scratch_object = {0,
                                       0,
                                       clip_vertices,
                                       clip_triangles,
                                       clip_pairs,
                                       {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
                                       VIEW_SCRATCH_VERTICES,
                                       VIEW_SCRATCH_TRIANGLES};

static Vertex3D subdivide_vertices[VIEW_SCRATCH_VERTICES];
static Triangle3D subdivide_triangles[VIEW_SCRATCH_TRIANGLES];
static DepthPair subdivide_pairs[VIEW_SCRATCH_TRIANGLES];
static Object3D subdivide_scratch_object = {0,
                                            0,
                                            subdivide_vertices,
                                            subdivide_triangles,
                                            subdivide_pairs,
                                            {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
                                            VIEW_SCRATCH_VERTICES,
                                            VIEW_SCRATCH_TRIANGLES};

// ---------------------------------------------------------------- camera

void view_build_camera(float tx, float ty, float tz, float sx, float sy, float sz, float ax,
                       float ay, float az, Matrix4 *camera, Matrix4 *rotation)
{
    Matrix4 t, s, p, p_inv;
    matrix_translation(&t, tx, ty, tz);
    matrix_scaling(&s, sx, sy, sz);
    matrix_rotation_euler(rotation, ax, ay, az);
    matrix_multiply(&t, &s, &p);  // S x T
    matrix_inverse(&p, &p_inv);   // T^-1 x S^-1
    matrix_multiply(&p_inv, rotation, camera);
}

// ---------------------------------------------------------------- scratch

void view_reset_clip_scratch(void)
{
    clip_scratch_object.vertex_count = 0;
    clip_scratch_object.triangle_count = 0;
}

Object3D *view_get_clip_scratch(void) { return &clip_scratch_object; }

int view_is_scratch_object(const Object3D *obj)
{
    return obj == &clip_scratch_object || obj == &subdivide_scratch_object;
}

// ---------------------------------------------------------------- clipping

enum ClipMode { CLIP_UNTEXTURED, CLIP_TEXTURED, CLIP_LIT };

// Clip codes of one vertex. The side limits are the screen rectangle pulled
// back to depth z; the z test is written so that NaN counts as too near.
static void clip_codes(Vertex3D &v, float near, float far, float k, int half_w, int half_h)
{
    const float z = v.view.z;
    const float l = fabsf(z) * k;
    const float lw = l * (float)half_w, lh = l * (float)half_h;
    v.clip_x = v.view.x < -lw ? 1 : v.view.x > lw ? 2 : 0;
    v.clip_y = v.view.y < -lh ? 1 : v.view.y > lh ? 2 : 0;
    v.clip_z = !(z >= near) ? 1 : z > far ? 2 : 0;
}

// x + trunc(t * (y - x)) for texel coordinates and light bytes, safe for
// any t and any int32 ends.
static int32_t clip_lerp(int32_t x, int32_t y, float t)
{
    const int64_t r = (int64_t)x + float_to_int_trunc((double)t * ((double)y - (double)x));
    return r > INT32_MAX ? INT32_MAX : r < INT32_MIN ? INT32_MIN : (int32_t)r;
}

// A corner of an output triangle: a vertex index and its texel coordinates.
struct ClipCorner {
    int32_t index;
    int32_t u, v;
};

// Cuts the edge from the too-near corner x toward the in-range corner y at
// the near plane into a new scratch vertex at index next.
static ClipCorner clip_cut(const Vertex3D &vx, const Vertex3D &vy, const ClipCorner &cx,
                           const ClipCorner &cy, float near, ClipMode mode, int32_t next)
{
    Vertex3D &n = clip_vertices[next];
    n = vx;
    const float t = (near - vx.view.z) / (vy.view.z - vx.view.z);
    n.view.x = vx.view.x + t * (vy.view.x - vx.view.x);
    n.view.y = vx.view.y + t * (vy.view.y - vx.view.y);
    n.view.z = near;
    if (mode == CLIP_LIT)
        n.light = (uint8_t)clip_lerp(vx.light, vy.light, t);
    return ClipCorner{next, clip_lerp(cx.u, cy.u, t), clip_lerp(cx.v, cy.v, t)};
}

// Appends a copy of src with the three corners given. The untextured
// clipper keeps src's texture coordinates as they are.
static void clip_emit(const Triangle3D &src, const ClipCorner &a, const ClipCorner &b,
                      const ClipCorner &c, ClipMode mode)
{
    Triangle3D &t = clip_triangles[clip_scratch_object.triangle_count++];
    t = src;
    t.a = a.index;
    t.b = b.index;
    t.c = c.index;
    if (mode != CLIP_UNTEXTURED)
        t.uv = TexCoords{a.u, a.v, b.u, b.v, c.u, c.v};
}

static void clip_object(Object3D *obj, float near, float far, float focal, int half_w,
                        int half_h, ClipMode mode)
{
    Object3D &s = clip_scratch_object;
    const float k = (float)(1.0 / focal);
    for (int32_t i = 0; i < obj->vertex_count; i++)
        clip_codes(obj->vertices[i], near, far, k, half_w, half_h);

    // An object whose vertices do not fit is not appended at all.
    const int32_t base = s.vertex_count;
    if (obj->vertex_count > s.vertex_capacity - base)
        return;
    for (int32_t i = 0; i < obj->vertex_count; i++)
        clip_vertices[base + i] = obj->vertices[i];
    int32_t next = base + obj->vertex_count;

    for (int32_t i = 0; i < obj->triangle_count; i++) {
        const Triangle3D &t = obj->triangles[i];
        if (!object_triangle_in_range(obj, &t))
            continue;
        const Vertex3D &va = obj->vertices[t.a], &vb = obj->vertices[t.b],
                       &vc = obj->vertices[t.c];
        if ((va.clip_x & vb.clip_x & vc.clip_x) || (va.clip_y & vb.clip_y & vc.clip_y))
            continue;
        const ClipCorner a = {t.a + base, t.uv.ua, t.uv.va};
        const ClipCorner b = {t.b + base, t.uv.ub, t.uv.vb};
        const ClipCorner c = {t.c + base, t.uv.uc, t.uv.vc};
        const int key = va.clip_z + 4 * vb.clip_z + 16 * vc.clip_z;
        // What the case appends: a triangle that would not fit is dropped.
        const int new_vertices = key == 0 ? 0 : 2;
        const int new_triangles = (key == 1 || key == 4 || key == 16) ? 2 : 1;
        if (next > s.vertex_capacity - new_vertices ||
            s.triangle_count > s.triangle_capacity - new_triangles)
            continue;
        ClipCorner p, q;
        switch (key) {
        case 0:
            clip_emit(t, a, b, c, mode);
            break;
        case 1:  // a too near
            p = clip_cut(va, vb, a, b, near, mode, next++);
            q = clip_cut(va, vc, a, c, near, mode, next++);
            clip_emit(t, p, b, c, mode);
            clip_emit(t, q, p, c, mode);
            break;
        case 4:  // b too near
            p = clip_cut(vb, va, b, a, near, mode, next++);
            q = clip_cut(vb, vc, b, c, near, mode, next++);
            clip_emit(t, a, p, c, mode);
            clip_emit(t, p, q, c, mode);
            break;
        case 16:  // c too near
            p = clip_cut(vc, vb, c, b, near, mode, next++);
            q = clip_cut(vc, va, c, a, near, mode, next++);
            clip_emit(t, a, b, p, mode);
            clip_emit(t, a, p, q, mode);
            break;
        case 5:  // a and b too near
            p = clip_cut(va, vc, a, c, near, mode, next++);
            q = clip_cut(vb, vc, b, c, near, mode, next++);
            clip_emit(t, p, q, c, mode);
            break;
        case 17:  // a and c too near
            p = clip_cut(va, vb, a, b, near, mode, next++);
            q = clip_cut(vc, vb, c, b, near, mode, next++);
            clip_emit(t, p, b, q, mode);
            break;
        case 20:  // b and c too near
            p = clip_cut(vb, va, b, a, near, mode, next++);
            q = clip_cut(vc, va, c, a, near, mode, next++);
            clip_emit(t, a, p, q, mode);
            break;
        default:  // beyond far, or wholly too near
            break;
        }
    }
    s.vertex_count = next;
}

void view_clip(Object3D *obj, float near, float far, float focal, int half_w, int half_h)
{
    clip_object(obj, near, far, focal, half_w, half_h, CLIP_TEXTURED);
}

void view_clip_untextured(Object3D *obj, float near, float far, float focal, int half_w,
                          int half_h)
{
    clip_object(obj, near, far, focal, half_w, half_h, CLIP_UNTEXTURED);
}

void view_clip_lit(Object3D *obj, float near, float far, float focal, int half_w, int half_h)
{
    clip_object(obj, near, far, focal, half_w, half_h, CLIP_LIT);
}

// ---------------------------------------------------------------- projection

void view_mark_facing(Object3D *obj)
{
    const Vertex3D *v = obj->vertices;
    for (int32_t i = 0; i < obj->triangle_count; i++) {
        Triangle3D &t = obj->triangles[i];
        if (!object_triangle_in_range(obj, &t)) {
            t.visible = 0;
            continue;
        }
        const Vec4 &a = v[t.a].view, &b = v[t.b].view, &c = v[t.c].view;
        // Counter-clockwise on screen (y down); NaN and zero area give 0.
        const double lhs = ((double)b.x - a.x) * ((double)a.y - c.y);
        const double rhs = ((double)b.y - a.y) * ((double)a.x - c.x);
        t.visible = lhs > rhs ? 1 : 0;
    }
}

void view_project(Object3D *obj, float focal)
{
    // z = 0 or behind the viewer only occurs for vertices no kept triangle
    // uses; the division then gives infinities or NaN, which the integer
    // conversions downstream absorb.
    for (int32_t i = 0; i < obj->vertex_count; i++) {
        Vec4 &p = obj->vertices[i].view;
        const float c = focal / p.z;
        p.x = p.x * c;
        p.y = p.y * c;
    }
    view_mark_facing(obj);
}

// ---------------------------------------------------------------- lighting

// Light byte of a normal n: base plus k times the cosine between n and the
// reversed light vector, floored at base and wrapped to a byte.
static uint8_t light_level(const Vec4 &n, const float light[3], float s, uint8_t b8)
{
    const double d = (double)s * ((double)n.x * light[0] + (double)n.y * light[1] +
                                  (double)n.z * light[2]);
    int32_t i = float_to_int_trunc(d);
    if (i < 0)
        i = 0;
    return (uint8_t)((uint32_t)b8 + (uint32_t)i);
}

static float light_scale(const float light[3], unsigned k)
{
    const float len = (float)sqrt((double)light[0] * light[0] + (double)light[1] * light[1] +
                                  (double)light[2] * light[2]);
    return -((float)(k & 0xFF) / len);
}

void view_light_vertices(Object3D *obj, const float light[3], int base, unsigned k)
{
    const float s = light_scale(light, k);
    for (int32_t i = 0; i < obj->vertex_count; i++)
        obj->vertices[i].light = light_level(obj->vertices[i].view_normal, light, s, (uint8_t)base);
}

void view_light_triangles(Object3D *obj, const float light[3], int base, unsigned k)
{
    const float s = light_scale(light, k);
    for (int32_t i = 0; i < obj->triangle_count; i++)
        obj->triangles[i].light =
            light_level(obj->triangles[i].view_normal, light, s, (uint8_t)base);
}

// ---------------------------------------------------------------- subdivision

static Vertex3D subdivide_midpoint(const Vertex3D &p, const Vertex3D &q)
{
    Vertex3D m = {};
    m.view.x = (p.view.x + q.view.x) * 0.5f;
    m.view.y = (p.view.y + q.view.y) * 0.5f;
    m.view.z = (p.view.z + q.view.z) * 0.5f;
    m.light = (uint8_t)((p.light + q.light) / 2);
    return m;
}

// (p + q) >> 1 without overflowing int32.
static int32_t subdivide_mid(int32_t p, int32_t q) { return (int32_t)(((int64_t)p + q) >> 1); }

Object3D *view_subdivide(Object3D *obj)
{
    Object3D &s = subdivide_scratch_object;
    if (obj == &s)
        return obj;
    const int64_t nv = obj->vertex_count, nt = obj->triangle_count;
    const int64_t new_v = nv + 3 * nt, new_t = 4 * nt;
    if (new_v > obj->vertex_capacity || new_v > s.vertex_capacity ||
        new_t > obj->triangle_capacity || new_t > s.triangle_capacity)
        return obj;
    for (int32_t i = 0; i < obj->triangle_count; i++)
        if (!object_triangle_in_range(obj, &obj->triangles[i]))
            return obj;

    s.vertex_count = obj->vertex_count;
    s.triangle_count = 0;
    const Vertex3D *v = obj->vertices;
    for (int32_t i = 0; i < obj->triangle_count; i++) {
        const Triangle3D &t = obj->triangles[i];
        const int32_t m = s.vertex_count;
        subdivide_vertices[m] = subdivide_midpoint(v[t.a], v[t.b]);
        subdivide_vertices[m + 1] = subdivide_midpoint(v[t.b], v[t.c]);
        subdivide_vertices[m + 2] = subdivide_midpoint(v[t.c], v[t.a]);
        const TexCoords &uv = t.uv;
        const int32_t uab = subdivide_mid(uv.ua, uv.ub), vab = subdivide_mid(uv.va, uv.vb);
        const int32_t ubc = subdivide_mid(uv.ub, uv.uc), vbc = subdivide_mid(uv.vb, uv.vc);
        const int32_t uca = subdivide_mid(uv.uc, uv.ua), vca = subdivide_mid(uv.vc, uv.va);
        const struct {
            int32_t a, b, c;
            TexCoords uv;
        } quarters[4] = {
            {t.a, m, m + 2, {uv.ua, uv.va, uab, vab, uca, vca}},
            {m, t.b, m + 1, {uab, vab, uv.ub, uv.vb, ubc, vbc}},
            {m + 2, m + 1, t.c, {uca, vca, ubc, vbc, uv.uc, uv.vc}},
            {m, m + 1, m + 2, {uab, vab, ubc, vbc, uca, vca}},
        };
        for (const auto &q : quarters) {
            Triangle3D &out = subdivide_triangles[s.triangle_count++];
            out = t;
            out.a = q.a;
            out.b = q.b;
            out.c = q.c;
            out.uv = q.uv;
        }
        s.vertex_count += 3;
    }
    for (int32_t i = obj->vertex_count; i < s.vertex_count; i++)
        obj->vertices[i] = subdivide_vertices[i];
    for (int32_t i = 0; i < s.triangle_count; i++)
        obj->triangles[i] = subdivide_triangles[i];
    obj->vertex_count = s.vertex_count;
    obj->triangle_count = s.triangle_count;
    return obj;
}
