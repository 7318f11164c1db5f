// object.cpp: allocation and release of Object3D records, whole-object
// colour and planar texture mapping, and the debug dump.
#include "object.h"

#include <cfloat>
#include <cstdlib>

#include "view.h"

int32_t object_alloc(Object3D **out, int32_t vertex_count, int32_t triangle_count)
{
    if (*out)
        object_free(out);
    if (vertex_count < 0 || triangle_count < 0)
        return -5;
    Object3D *obj = (Object3D *)malloc(sizeof(Object3D));
    if (!obj)
        return -1;
    // Zero-filled, and one element at least, so a zero count still gets a
    // real block and nothing reads undefined fields.
    obj->vertices = (Vertex3D *)calloc((size_t)(vertex_count ? vertex_count : 1), sizeof(Vertex3D));
    if (!obj->vertices) {
        free(obj);
        return -2;
    }
    obj->triangles = (Triangle3D *)calloc((size_t)(triangle_count ? triangle_count : 1), sizeof(Triangle3D));
    if (!obj->triangles) {
        free(obj->vertices);
        free(obj);
        return -3;
    }
    obj->sort_pairs = (DepthPair *)calloc((size_t)(triangle_count ? triangle_count : 1), sizeof(DepthPair));
    if (!obj->sort_pairs) {
        free(obj->triangles);
        free(obj->vertices);
        free(obj);
        return -4;
    }
    matrix_set_diagonal(&obj->matrix, 0.0f);
    obj->vertex_count = vertex_count;
    obj->triangle_count = triangle_count;
    obj->vertex_capacity = vertex_count;
    obj->triangle_capacity = triangle_count;
    *out = obj;
    return 0;
}

void object_free(Object3D **obj)
{
    if (!obj || !*obj)
        return;
    if (view_is_scratch_object(*obj)) {
        *obj = NULL;
        return;
    }
    free((*obj)->vertices);
    free((*obj)->triangles);
    free((*obj)->sort_pairs);
    free(*obj);
    *obj = NULL;
}

int object_triangle_in_range(const Object3D *obj, const Triangle3D *t)
{
    // Unsigned compares also reject negative indices.
    const uint32_t n = (uint32_t)obj->vertex_count;
    return (uint32_t)t->a < n && (uint32_t)t->b < n && (uint32_t)t->c < n;
}

void object_set_colour(Object3D *obj, int32_t colour)
{
    for (int32_t i = 0; i < obj->triangle_count; i++)
        obj->triangles[i].colour = (uint8_t)colour;
}

// The perspective-scaled planar coordinates of one vertex: k is 1 at the
// nearest vertex (zmin) and 0.5 at 1000 units behind it.
static void object_project_uv(const Vec4 &p, float zmin, float *u, float *v)
{
    const float k = (float)(1000.0 / ((double)p.z - (double)zmin + 1000.0));
    *u = p.x * k;
    *v = p.y * k;
}

void object_map_uv(Object3D *obj, Image **textures, int32_t index, float scale)
{
    const int32_t n = obj->vertex_count;
    float zmin = FLT_MAX;
    for (int32_t i = 0; i < n; i++)
        if (obj->vertices[i].position.z < zmin)
            zmin = obj->vertices[i].position.z;

    // The extremes over every vertex, used by a triangle or not. Minima
    // start at the largest float, maxima at the smallest positive normal
    // float (not the most negative one): an object whose x*k are all
    // negative is fitted up to that tiny value.
    float umin = FLT_MAX, vmin = FLT_MAX, umax = FLT_MIN, vmax = FLT_MIN;
    for (int32_t i = 0; i < n; i++) {
        float u, v;
        object_project_uv(obj->vertices[i].position, zmin, &u, &v);
        if (u < umin)
            umin = u;
        if (u > umax)
            umax = u;
        if (v < vmin)
            vmin = v;
        if (v > vmax)
            vmax = v;
    }
    const float du = umax - umin, dv = vmax - vmin;
    const float w = (float)textures[index]->width * scale;
    const float h = (float)textures[index]->height * scale;

    // The coordinates, recomputed per corner instead of kept per vertex, so
    // the call needs no scratch storage; the same arithmetic gives the same
    // value for a vertex at every corner it takes.
    for (int32_t i = 0; i < obj->triangle_count; i++) {
        Triangle3D &t = obj->triangles[i];
        if (!object_triangle_in_range(obj, &t))
            continue;
        int32_t fitted[6];
        const int32_t corners[3] = {t.a, t.b, t.c};
        for (int c = 0; c < 3; c++) {
            float u, v;
            object_project_uv(obj->vertices[corners[c]].position, zmin, &u, &v);
            // A zero range (every vertex at one u or v) maps to 0.
            u = du != 0.0f ? (float)((double)(u - umin) * w / du) : 0.0f;
            v = dv != 0.0f ? (float)((double)(v - vmin) * h / dv) : 0.0f;
            fitted[2 * c] = float_to_int_trunc(u);
            fitted[2 * c + 1] = float_to_int_trunc(v);
        }
        t.texture = (uint8_t)index;
        t.uv = TexCoords{fitted[0], fitted[1], fitted[2], fitted[3], fitted[4], fitted[5]};
    }
}

static void dump_vec4(const Vec4 &q)
{
    const float f[4] = {q.x, q.y, q.z, q.w};
    vec4_print(f);
}

void object_dump(const Object3D *obj)
{
    const int32_t nv = obj->vertex_count, nt = obj->triangle_count;
    printf("points: %d\n", nv);
    for (int32_t i = 0; i < nv; i++)
        dump_vec4(obj->vertices[i].position);
    printf("planes: %d\n", nt);
    for (int32_t i = 0; i < nt; i++) {
        const Triangle3D &t = obj->triangles[i];
        printf("(%18d,%18d,%18d,%18d)\n", t.a, t.b, t.c, (unsigned)t.colour);
    }
    printf("transformated points: %d\n", nv);
    for (int32_t i = 0; i < nv; i++)
        dump_vec4(obj->vertices[i].view);
    printf("normal vectors of points: %d\n", nv);
    for (int32_t i = 0; i < nv; i++)
        dump_vec4(obj->vertices[i].normal);
    printf("transformated normal vectors of points: %d\n", nv);
    for (int32_t i = 0; i < nv; i++)
        dump_vec4(obj->vertices[i].view_normal);
    printf("normal vectors of planes: %d\n", nt);
    for (int32_t i = 0; i < nt; i++)
        dump_vec4(obj->triangles[i].normal);
    printf("transformated normal vectors of planes: %d\n", nt);
    for (int32_t i = 0; i < nt; i++)
        dump_vec4(obj->triangles[i].view_normal);
}
