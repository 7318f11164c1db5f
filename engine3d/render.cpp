// render.cpp: the radix depth sort and the object renderers (wireframe,
// flat, lit, shaded, Gouraud, textured affine and perspective, environment
// mapped) over the triangle fillers.
#include "engine3d.h"
#include "../gfx2d/gfx2d.h"

ProjectedVertex projected_vertices[RENDER_MAX_VERTICES];
ScreenTriangle screen_triangle;
TriangleShading triangle_shading;
TexCoords envmap_coords;

static DepthPair render_sort_scratch[RENDER_MAX_SORT];
static int32_t render_sort_counts[256];
static int32_t render_sort_starts[256];

// ---------------------------------------------------------------- depth sort

// One stable counting pass on the key byte at `shift`.
static void render_sort_pass(const DepthPair *in, DepthPair *out, int32_t n, int shift)
{
    for (int i = 0; i < 256; i++)
        render_sort_counts[i] = 0;
    for (int32_t i = 0; i < n; i++)
        render_sort_counts[((uint32_t)in[i].key >> shift) & 0xFF]++;
    int32_t start = 0;
    for (int i = 0; i < 256; i++) {
        render_sort_starts[i] = start;
        start += render_sort_counts[i];
    }
    for (int32_t i = 0; i < n; i++)
        out[render_sort_starts[((uint32_t)in[i].key >> shift) & 0xFF]++] = in[i];
}

// Least significant byte first, then the next one: two stable passes order
// the pairs by the low 16 bits of their keys and keep ties in order.
void render_sort_by_depth(DepthPair *pairs, int32_t n)
{
    if (n <= 1 || n > RENDER_MAX_SORT)
        return;
    render_sort_pass(pairs, render_sort_scratch, n, 0);
    render_sort_pass(render_sort_scratch, pairs, n, 8);
}

// ---------------------------------------------------------------- shared steps

// base + trunc(offset). Any float may arrive here (vertices of dropped
// triangles, degenerate normals): the conversion saturates instead of
// trapping and the sum wraps.
static int32_t render_offset(int32_t base, float offset)
{
    return (int32_t)((uint32_t)base + (uint32_t)float_to_int_trunc(offset));
}

enum RenderLevel { LEVEL_NONE, LEVEL_LIGHT, LEVEL_LIGHT_X4 };

// Steps 1 and 2 of every renderer: integer screen positions, depths (and
// levels) per vertex; the sort pairs, keyed and sorted when sort is 1.
// Returns false for an object beyond the per-call storage.
static bool render_prepare(Object3D *obj, int32_t cx, int32_t cy, int32_t sort, RenderLevel level)
{
    // Counts beyond the object's own arrays (an object filled by hand) draw
    // nothing rather than read past them.
    if (!obj || obj->vertex_count < 0 || obj->vertex_count > RENDER_MAX_VERTICES ||
        obj->vertex_count > obj->vertex_capacity || obj->triangle_count < 0 ||
        obj->triangle_count > obj->triangle_capacity ||
        (sort == 1 && obj->triangle_count > RENDER_MAX_SORT))
        return false;
    for (int32_t i = 0; i < obj->vertex_count; i++) {
        const Vertex3D *v = &obj->vertices[i];
        ProjectedVertex *p = &projected_vertices[i];
        p->x = render_offset(cx, v->view.x);
        p->y = render_offset(cy, v->view.y);
        p->depth = float_to_int_trunc(v->view.z);
        if (level == LEVEL_LIGHT)
            p->level = v->light;
        else if (level == LEVEL_LIGHT_X4)
            p->level = v->light << 2;
    }
    DepthPair *pairs = obj->sort_pairs;
    for (int32_t i = 0; i < obj->triangle_count; i++)
        pairs[i].triangle = &obj->triangles[i];
    if (sort != 1)
        return true;
    for (int32_t i = 0; i < obj->triangle_count; i++) {
        const Triangle3D *t = &obj->triangles[i];
        // Keys are held to 16 bits so that an out-of-range depth sum sorts
        // to the far or near end instead of wrapping into the middle.
        int64_t key = 0x8000;
        if (object_triangle_in_range(obj, t))
            key -= (int64_t)projected_vertices[t->a].depth + projected_vertices[t->b].depth +
                   projected_vertices[t->c].depth;
        pairs[i].key = (int32_t)(key < 0 ? 0 : (key > 0xFFFF ? 0xFFFF : key));
    }
    render_sort_by_depth(pairs, obj->triangle_count);
    return true;
}

// Fills screen_triangle from the triangle's corners. A triangle whose vertex
// index lies outside the object is skipped.
static bool render_corners(const Object3D *obj, const Triangle3D *t)
{
    if (!object_triangle_in_range(obj, t))
        return false;
    const ProjectedVertex *a = &projected_vertices[t->a];
    const ProjectedVertex *b = &projected_vertices[t->b];
    const ProjectedVertex *c = &projected_vertices[t->c];
    screen_triangle = ScreenTriangle{a->x, a->y, b->x, b->y, c->x, c->y};
    return true;
}

static void render_levels(const Triangle3D *t)
{
    triangle_shading.level_a = projected_vertices[t->a].level;
    triangle_shading.level_b = projected_vertices[t->b].level;
    triangle_shading.level_c = projected_vertices[t->c].level;
}

static void render_depths(const Triangle3D *t)
{
    triangle_shading.depth_a = projected_vertices[t->a].depth;
    triangle_shading.depth_b = projected_vertices[t->b].depth;
    triangle_shading.depth_c = projected_vertices[t->c].depth;
}

// The triangle's texture, or NULL when there is none the span fillers can
// read safely: the masked members read width rows of width bytes.
static const Image *render_texture(Image **textures, const Triangle3D *t)
{
    if (!textures)
        return nullptr;
    const Image *img = textures[t->texture];
    if (!img || !img->pixels || img->width <= 0 || img->height < img->width)
        return nullptr;
    return img;
}

// Environment mapping: the view-space vertex normal picks the texel, the
// texture centre for a normal straight at the viewer.
static void render_envmap_coords(const Object3D *obj, const Triangle3D *t, const Image *tex)
{
    const int32_t hw = (int32_t)((uint32_t)(tex->width - 1) >> 1);
    const int32_t hh = (int32_t)((uint32_t)(tex->height - 1) >> 1);
    const Vec4 *na = &obj->vertices[t->a].view_normal;
    const Vec4 *nb = &obj->vertices[t->b].view_normal;
    const Vec4 *nc = &obj->vertices[t->c].view_normal;
    envmap_coords.ua = render_offset(hw, na->x * (float)hw);
    envmap_coords.va = render_offset(hh, na->y * (float)hh);
    envmap_coords.ub = render_offset(hw, nb->x * (float)hw);
    envmap_coords.vb = render_offset(hh, nb->y * (float)hh);
    envmap_coords.uc = render_offset(hw, nc->x * (float)hw);
    envmap_coords.vc = render_offset(hh, nc->y * (float)hh);
}

// Walks the pairs in their order and yields each triangle to draw: facing
// ones (all when every_triangle) whose corners lie inside the object.
#define RENDER_EACH_TRIANGLE(obj, t, every_triangle)                               \
    for (int32_t render_i = 0; render_i < (obj)->triangle_count; render_i++)       \
        if (const Triangle3D *t = (obj)->sort_pairs[render_i].triangle;            \
            ((every_triangle) || t->visible) && render_corners((obj), t))

// ---------------------------------------------------------------- wireframes

static void render_outlines(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                            int32_t visible_only, bool one_colour, int32_t colour)
{
    if (!render_prepare(obj, cx, cy, sort, LEVEL_NONE))
        return;
    RENDER_EACH_TRIANGLE(obj, t, visible_only == 0)
    {
        draw_triangle_outline(img, screen_triangle.xa, screen_triangle.ya, screen_triangle.xb,
                              screen_triangle.yb, screen_triangle.xc, screen_triangle.yc,
                              one_colour ? (colour & 0xFF) : t->colour);
    }
}

void render_wireframe(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                      int32_t visible_only)
{
    render_outlines(img, obj, cx, cy, sort, visible_only, false, 0);
}

void render_wireframe_colour(Image *img, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                             int32_t visible_only, int32_t colour)
{
    render_outlines(img, obj, cx, cy, sort, visible_only, true, colour);
}

// ---------------------------------------------------------------- flat and Gouraud

void render_flat(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort)
{
    if (!render_prepare(obj, cx, cy, sort, LEVEL_NONE))
        return;
    RENDER_EACH_TRIANGLE(obj, t, false)
    {
        tri_fill_flat(&screen_triangle, t->colour);
    }
}

void render_flat_lit(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort)
{
    if (!render_prepare(obj, cx, cy, sort, LEVEL_NONE))
        return;
    RENDER_EACH_TRIANGLE(obj, t, false)
    {
        tri_fill_flat(&screen_triangle, (unsigned)(t->light << 2) & 0xFF);
    }
}

void render_flat_shaded(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                        const ShadeTable *shade)
{
    if (!render_prepare(obj, cx, cy, sort, LEVEL_NONE))
        return;
    RENDER_EACH_TRIANGLE(obj, t, false)
    {
        const int row = t->light > 63 ? 63 : t->light;
        tri_fill_flat(&screen_triangle, shade->level[row][t->colour]);
    }
}

void render_gouraud(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort)
{
    if (!render_prepare(obj, cx, cy, sort, LEVEL_LIGHT_X4))
        return;
    RENDER_EACH_TRIANGLE(obj, t, false)
    {
        render_levels(t);
        tri_fill_gouraud(&screen_triangle, &triangle_shading);
    }
}

void render_gouraud_shaded(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                           const ShadeTable *shade)
{
    if (!render_prepare(obj, cx, cy, sort, LEVEL_LIGHT))
        return;
    RENDER_EACH_TRIANGLE(obj, t, false)
    {
        render_levels(t);
        tri_fill_gouraud_shaded(&screen_triangle, &triangle_shading, t->colour, shade);
    }
}

// ---------------------------------------------------------------- textured

enum RenderTexturing {
    TEXTURING_AFFINE,
    TEXTURING_AFFINE_SHADED,
    TEXTURING_PERSPECTIVE,
    TEXTURING_PERSPECTIVE_SHADED,
    TEXTURING_ENVMAP,
    TEXTURING_ENVMAP_SHADED,
};

// The six textured renderers: each facing triangle with a usable texture
// goes to the affine or perspective filler, with the triangle's own texture
// coordinates or environment-mapped ones, shaded or not.
static void render_with_textures(Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                                 Image **textures, const ShadeTable *shade, RenderTexturing kind)
{
    const bool shaded = kind == TEXTURING_AFFINE_SHADED || kind == TEXTURING_PERSPECTIVE_SHADED ||
                        kind == TEXTURING_ENVMAP_SHADED;
    const bool envmap = kind == TEXTURING_ENVMAP || kind == TEXTURING_ENVMAP_SHADED;
    const bool perspective = kind == TEXTURING_PERSPECTIVE || kind == TEXTURING_PERSPECTIVE_SHADED;
    if (!render_prepare(obj, cx, cy, sort, shaded ? LEVEL_LIGHT : LEVEL_NONE))
        return;
    RENDER_EACH_TRIANGLE(obj, t, false)
    {
        const Image *tex = render_texture(textures, t);
        if (!tex)
            continue;
        const TexCoords *uv = &t->uv;
        if (envmap) {
            render_envmap_coords(obj, t, tex);
            uv = &envmap_coords;
        }
        if (shaded)
            render_levels(t);
        if (perspective)
            render_depths(t);
        switch (kind) {
        case TEXTURING_AFFINE:
        case TEXTURING_ENVMAP:
            tri_fill_affine(tex->pixels, tex->width, &screen_triangle, uv);
            break;
        case TEXTURING_AFFINE_SHADED:
        case TEXTURING_ENVMAP_SHADED:
            tri_fill_affine_shaded(tex->pixels, tex->width, &screen_triangle, uv,
                                   &triangle_shading, shade);
            break;
        case TEXTURING_PERSPECTIVE:
            tri_fill_perspective(tex->pixels, tex->width, &screen_triangle, uv, &triangle_shading);
            break;
        case TEXTURING_PERSPECTIVE_SHADED:
            tri_fill_perspective_shaded(tex->pixels, tex->width, &screen_triangle, uv,
                                        &triangle_shading, shade);
            break;
        }
    }
}

void render_textured(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                     Image **textures)
{
    render_with_textures(obj, cx, cy, sort, textures, nullptr, TEXTURING_AFFINE);
}

void render_textured_shaded(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                            Image **textures, const ShadeTable *shade)
{
    render_with_textures(obj, cx, cy, sort, textures, shade, TEXTURING_AFFINE_SHADED);
}

void render_perspective(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                        Image **textures)
{
    render_with_textures(obj, cx, cy, sort, textures, nullptr, TEXTURING_PERSPECTIVE);
}

void render_perspective_shaded(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                               Image **textures, const ShadeTable *shade)
{
    render_with_textures(obj, cx, cy, sort, textures, shade, TEXTURING_PERSPECTIVE_SHADED);
}

void render_envmap(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                   Image **textures)
{
    render_with_textures(obj, cx, cy, sort, textures, nullptr, TEXTURING_ENVMAP);
}

void render_envmap_shaded(Image *, Object3D *obj, int32_t cx, int32_t cy, int32_t sort,
                          Image **textures, const ShadeTable *shade)
{
    render_with_textures(obj, cx, cy, sort, textures, shade, TEXTURING_ENVMAP_SHADED);
}
