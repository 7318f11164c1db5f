// render.h: the depth sort and the object renderers. A renderer takes an
// object after view_project, converts its vertices to integer screen
// positions around (cx, cy), orders its triangles back to front when asked
// (sort = 1) and hands every facing triangle to a triangle filler, or to
// draw_triangle_outline for the wireframes.
#pragma once

#include "../runtime/skarn.h"
#include "object.h"
#include "raster.h"

// Room in the per-call storage: vertices of one object, triangles of one sort.
constexpr int RENDER_MAX_VERTICES = 10000;
constexpr int RENDER_MAX_SORT = 10000;

// One object vertex converted for the fillers.
struct ProjectedVertex {
    int32_t x;      // screen column
    int32_t y;      // screen row
    int32_t depth;  // view depth
    int32_t level;  // light level for the shaded fillers
};

extern ProjectedVertex projected_vertices[RENDER_MAX_VERTICES];

// The filler arguments, refilled for every triangle.
extern ScreenTriangle screen_triangle;
extern TriangleShading triangle_shading;
extern TexCoords envmap_coords;

// Sorts n pairs ascending by the low 16 bits of their keys (unsigned),
// keeping equal keys in order. n beyond RENDER_MAX_SORT is left unsorted.
void render_sort_by_depth(DepthPair *pairs, int32_t n);

// Wireframes into img: every triangle, or the facing ones when visible_only
// is not 0; in the triangle's colour, or in one colour for all.
void render_wireframe(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                      int32_t visible_only);
void render_wireframe_colour(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                             int32_t visible_only, int32_t colour);

// The filled renderers draw the facing triangles into the render target;
// their Image argument is not used. An object with more vertices than
// RENDER_MAX_VERTICES, or sorted with more triangles than RENDER_MAX_SORT,
// is not drawn.
void render_flat(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort);
void render_flat_lit(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort);
void render_flat_shaded(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                        const ShadeTable *shade);
void render_gouraud(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort);
void render_gouraud_shaded(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                           const ShadeTable *shade);
// The textured renderers take the texture of a triangle from
// textures[Triangle3D.texture]; a missing image, or one less tall than
// wide, leaves the triangle undrawn.
void render_textured(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                     Image **textures);
void render_textured_shaded(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                            Image **textures, const ShadeTable *shade);
void render_perspective(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                        Image **textures);
void render_perspective_shaded(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                               Image **textures, const ShadeTable *shade);
void render_envmap(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                   Image **textures);
void render_envmap_shaded(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                          Image **textures, const ShadeTable *shade);
