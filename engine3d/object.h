// object.h: the 3D object model (Object3D with its vertices, triangles and
// depth-sort entries), whole-object attribute operations, the geometry
// operations (vertex search, transform, normals) and the two object file
// loaders (.t3d and comma-separated).
#pragma once

#include "../runtime/skarn.h"
#include "matrix.h"

// Four float32 words; what the fourth holds depends on the slot.
struct Vec4 {
    float x, y, z, w;
};

// Texel coordinates of a triangle's three corners, whole texels:
// u, v of corner a, then of corner b, then of corner c.
struct TexCoords {
    int32_t ua, va;
    int32_t ub, vb;
    int32_t uc, vc;
};

struct Vertex3D {
    Vec4 position;     // object space; loaders set w = 0
    Vec4 view;         // view space; view_project replaces x, y by screen offsets
    Vec4 normal;       // object-space vertex normal; w = corners averaged into it
    Vec4 view_normal;  // view-space vertex normal
    uint8_t light;     // vertex light level (lighting pass)
    uint8_t clip_x;    // clip codes written by view_clip
    uint8_t clip_y;
    uint8_t clip_z;
};

struct Triangle3D {
    int32_t a, b, c;   // 0-based vertex indices; a, b, c is the winding
    Vec4 normal;       // face normal, object space
    Vec4 view_normal;  // face normal, view space
    uint8_t colour;    // palette index
    uint8_t texture;   // index into the caller's table of texture images
    TexCoords uv;
    uint8_t visible;   // 1 when the projected triangle faces the viewer
    uint8_t light;     // triangle light level (lighting pass)
};

// One depth-sort entry per triangle (filled and sorted by the renderers).
struct DepthPair {
    int32_t key;
    Triangle3D *triangle;
};

struct Object3D {
    int32_t vertex_count;
    int32_t triangle_count;
    Vertex3D *vertices;
    Triangle3D *triangles;
    DepthPair *sort_pairs;  // triangle_capacity entries
    Matrix4 matrix;         // all zero after object_alloc; set before transforming
    // Room in the arrays: writers that grow an object (the clipper, the
    // subdivider, part 5's mesher) keep the counts within these.
    int32_t vertex_capacity;
    int32_t triangle_capacity;
};

// ---------------------------------------------------------------- object model

// 0, or -1 record, -2 vertices, -3 triangles, -4 sort buffer allocation
// failed, -5 a negative count. On failure *out is NULL.
// *out must be NULL on entry (a non-NULL *out is released first).
int32_t object_alloc(Object3D **out, int32_t vertex_count, int32_t triangle_count);
// Releases arrays and record and sets *obj to NULL. NULL and the engine's
// static scratch objects are ignored.
void object_free(Object3D **obj);
// Every triangle's colour = low 8 bits of colour.
void object_set_colour(Object3D *obj, int32_t colour);
// Planar texture coordinates (along z with a perspective factor) fitted to
// textures[index] times scale; every triangle's texture = index.
void object_map_uv(Object3D *obj, Image **textures, int32_t index, float scale);
void object_dump(const Object3D *obj);
// 1 when all three corners of t index obj's vertex array. Objects filled
// by hand may break this; every per-triangle pass skips such triangles.
int object_triangle_in_range(const Object3D *obj, const Triangle3D *t);

// ---------------------------------------------------------------- geometry

// Index of the first vertex within eps of p on every axis, or -1.
// start == -1 searches all vertices, otherwise at most limit from vertex 0.
int32_t object_find_vertex(const Object3D *obj, const float p[3], float eps, int32_t start,
                           int32_t limit);

// object_transform flags, run in this order.
enum {
    TRANSFORM_POSITIONS = 0x01,         // view = M x position
    TRANSFORM_FACE_NORMALS = 0x02,      // triangle view_normal = M3x3 x normal
    TRANSFORM_VERTEX_NORMALS = 0x04,    // vertex view_normal = M3x3 x normal
    COPY_POSITIONS_TO_VIEW = 0x08,
    COPY_FACE_NORMALS_TO_VIEW = 0x10,
    COPY_VERTEX_NORMALS_TO_VIEW = 0x20,
    COPY_VIEW_TO_POSITIONS = 0x40,      // bake: position = view
};
// M = camera x obj->matrix (the object matrix acts first), then the flags.
void object_transform(Object3D *obj, const Matrix4 *camera, int32_t flags);

void object_compute_normals(Object3D *obj);       // from positions
void object_compute_view_normals(Object3D *obj);  // from view positions
void object_compute_face_normals(Object3D *obj);
void object_compute_view_face_normals(Object3D *obj);
void object_average_vertex_normals(Object3D *obj);
void object_average_view_vertex_normals(Object3D *obj);

// ---------------------------------------------------------------- loaders

// .t3d text object. 0, or -1 open, -2 end of file, -4 count line, -5 material
// line or allocation, -6/-7 vertex lines, -8/-9 triangle lines, -10 texture
// name not in the table (printed). Also -4 for a negative or absurd count,
// -5 for a material number outside 0..1023 or a texture name too long,
// -9 for a vertex index outside the object or an undefined material.
// reverse != 0 swaps the first and third corners (reverses the winding).
// On failure *out is NULL.
int32_t t3d_load(Object3D **out, const char *path, const Palette *pal, uint8_t reverse,
                 const char **tex_names, const int32_t *tex_sizes, uint8_t tex_count);
// Comma-separated object of up to 100 parts. 0, or -1 open, -3 part count,
// -4 part record (or count out of range), -5 allocation, -6/-7 vertex
// records, -8/-9 triangle records (or index outside the part).
// On failure *out is NULL.
int32_t object_load_csv(Object3D **out, const char *path, const Palette *pal);
