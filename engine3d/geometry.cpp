// geometry.cpp: vertex search, the object transform into view space and
// the face and averaged vertex normals. Storage is float; sums are formed
// in double and rounded to float when stored.
#include <cmath>

#include "object.h"

int32_t object_find_vertex(const Object3D *obj, const float p[3], float eps, int32_t start,
                           int32_t limit)
{
    int32_t n = obj->vertex_count;
    // start only chooses between "all" and "the first limit"; the search
    // always begins at vertex 0.
    if (start != -1 && limit < n)
        n = limit;
    for (int32_t i = 0; i < n; i++) {
        const Vec4 &q = obj->vertices[i].position;
        if (fabsf(q.x - p[0]) < eps && fabsf(q.y - p[1]) < eps && fabsf(q.z - p[2]) < eps)
            return i;
    }
    return -1;
}

// M x (x, y, z, 1), each row summed left to right.
static Vec4 transform_point(const Matrix4 &m, const Vec4 &p)
{
    const float *e = m.m;
    Vec4 r;
    r.x = (float)((double)e[0] * p.x + (double)e[1] * p.y + (double)e[2] * p.z + e[3]);
    r.y = (float)((double)e[4] * p.x + (double)e[5] * p.y + (double)e[6] * p.z + e[7]);
    r.z = (float)((double)e[8] * p.x + (double)e[9] * p.y + (double)e[10] * p.z + e[11]);
    r.w = e[15];
    return r;
}

// The upper-left 3x3 of M times (x, y, z): no translation, no renormalising.
static Vec4 transform_direction(const Matrix4 &m, const Vec4 &n)
{
    const float *e = m.m;
    Vec4 r;
    r.x = (float)((double)e[0] * n.x + (double)e[1] * n.y + (double)e[2] * n.z);
    r.y = (float)((double)e[4] * n.x + (double)e[5] * n.y + (double)e[6] * n.z);
    r.z = (float)((double)e[8] * n.x + (double)e[9] * n.y + (double)e[10] * n.z);
    r.w = e[15];
    return r;
}

void object_transform(Object3D *obj, const Matrix4 *camera, int32_t flags)
{
    Matrix4 m;
    matrix_multiply(&obj->matrix, camera, &m);
    Vertex3D *v = obj->vertices;
    Triangle3D *t = obj->triangles;
    const int32_t nv = obj->vertex_count, nt = obj->triangle_count;

    if (flags & TRANSFORM_POSITIONS)
        for (int32_t i = 0; i < nv; i++)
            v[i].view = transform_point(m, v[i].position);
    if (flags & TRANSFORM_FACE_NORMALS)
        for (int32_t i = 0; i < nt; i++)
            t[i].view_normal = transform_direction(m, t[i].normal);
    if (flags & TRANSFORM_VERTEX_NORMALS)
        for (int32_t i = 0; i < nv; i++)
            v[i].view_normal = transform_direction(m, v[i].normal);
    if (flags & COPY_POSITIONS_TO_VIEW)
        for (int32_t i = 0; i < nv; i++)
            v[i].view = v[i].position;
    if (flags & COPY_FACE_NORMALS_TO_VIEW)
        for (int32_t i = 0; i < nt; i++)
            t[i].view_normal = t[i].normal;
    if (flags & COPY_VERTEX_NORMALS_TO_VIEW)
        for (int32_t i = 0; i < nv; i++)
            v[i].view_normal = v[i].normal;
    if (flags & COPY_VIEW_TO_POSITIONS)
        for (int32_t i = 0; i < nv; i++)
            v[i].position = v[i].view;
}

// Unit normal of (pb - pa) x (pc - pa); (1, 1, 1) when the corners span no area.
static Vec4 face_normal(const Vec4 &pa, const Vec4 &pb, const Vec4 &pc)
{
    const float ex = pb.x - pc.x, ey = pb.y - pc.y, ez = pb.z - pc.z;
    const float dx = pb.x - pa.x, dy = pb.y - pa.y, dz = pb.z - pa.z;
    const double nx = (double)ey * dz - (double)ez * dy;
    const double ny = (double)ez * dx - (double)ex * dz;
    const double nz = (double)ex * dy - (double)ey * dx;
    const float len = (float)sqrt(nx * nx + ny * ny + nz * nz);
    Vec4 n;
    if (len == 0.0f) {
        n.x = n.y = n.z = 1.0f;
    } else {
        const double k = 1.0 / len;
        n.x = (float)(nx * k);
        n.y = (float)(ny * k);
        n.z = (float)(nz * k);
    }
    n.w = 0.0f;
    return n;
}

// Face normals from the position slot (view == false) or the view slot.
static void compute_face_normals(Object3D *obj, bool view)
{
    Vec4 Vertex3D::*const corner = view ? &Vertex3D::view : &Vertex3D::position;
    Vec4 Triangle3D::*const out = view ? &Triangle3D::view_normal : &Triangle3D::normal;
    const Vertex3D *v = obj->vertices;
    for (int32_t i = 0; i < obj->triangle_count; i++) {
        Triangle3D &t = obj->triangles[i];
        if (!object_triangle_in_range(obj, &t))
            continue;
        t.*out = face_normal(v[t.a].*corner, v[t.b].*corner, v[t.c].*corner);
    }
}

static void add_normal(Vec4 &slot, const Vec4 &n)
{
    slot.x += n.x;
    slot.y += n.y;
    slot.z += n.z;
    slot.w += 1.0f;
}

// Every vertex slot = the mean of the face normals of the corners at it;
// w keeps the number of corners averaged.
static void average_vertex_normals(Object3D *obj, bool view)
{
    Vec4 Vertex3D::*const slot = view ? &Vertex3D::view_normal : &Vertex3D::normal;
    Vec4 Triangle3D::*const face = view ? &Triangle3D::view_normal : &Triangle3D::normal;
    Vertex3D *v = obj->vertices;
    for (int32_t i = 0; i < obj->vertex_count; i++)
        v[i].*slot = Vec4{0.0f, 0.0f, 0.0f, 0.0f};
    for (int32_t i = 0; i < obj->triangle_count; i++) {
        const Triangle3D &t = obj->triangles[i];
        if (!object_triangle_in_range(obj, &t))
            continue;
        const Vec4 &n = t.*face;
        add_normal(v[t.a].*slot, n);
        add_normal(v[t.b].*slot, n);
        add_normal(v[t.c].*slot, n);
    }
    for (int32_t i = 0; i < obj->vertex_count; i++) {
        Vec4 &s = v[i].*slot;
        if (s.w != 0.0f) {
            const double k = 1.0 / s.w;
            s.x = (float)(s.x * k);
            s.y = (float)(s.y * k);
            s.z = (float)(s.z * k);
        }
    }
}

void object_compute_face_normals(Object3D *obj) { compute_face_normals(obj, false); }
void object_compute_view_face_normals(Object3D *obj) { compute_face_normals(obj, true); }
void object_average_vertex_normals(Object3D *obj) { average_vertex_normals(obj, false); }
void object_average_view_vertex_normals(Object3D *obj) { average_vertex_normals(obj, true); }

// The one-pass operations give the same result as the two halves in turn.
void object_compute_normals(Object3D *obj)
{
    compute_face_normals(obj, false);
    average_vertex_normals(obj, false);
}

void object_compute_view_normals(Object3D *obj)
{
    compute_face_normals(obj, true);
    average_vertex_normals(obj, true);
}
