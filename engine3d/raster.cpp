// raster.cpp: the render target and the seven triangle fillers, over one
// scan-conversion skeleton in 16.16 fixed point.
//
// All fixed-point work is done in wrapping 32-bit unsigned arithmetic (the
// values are reinterpreted as signed only for shifts and comparisons): a
// corner far outside the screen then gives a wrapped edge position rather
// than an overflow, and rows and columns are clipped afterwards, so nothing
// outside the target is ever written.
#include "engine3d.h"

RenderState render_state;

void render_set_target(uint8_t *pixels, int width, int height)
{
    render_state.pixels = pixels;
    render_state.width = width;
    render_state.height = height;
    render_state.size = (int32_t)((int64_t)width * height);
    for (int i = 0; i < RENDER_MAX_ROWS; i++)
        render_state.rows[i] = nullptr;
    const bool usable = pixels && width > 0 && height > 0 && height <= RENDER_MAX_ROWS;
    render_state.end = usable ? pixels + (size_t)width * (size_t)height : pixels;
    if (!usable)
        return;
    for (int i = 0; i < height; i++)
        render_state.rows[i] = pixels + (size_t)i * (size_t)width;
}

// Only a target whose every row has a pointer is drawn into.
static bool raster_target_ready(void)
{
    return render_state.pixels && render_state.width > 0 && render_state.height > 0 &&
           render_state.height <= RENDER_MAX_ROWS;
}

// ---------------------------------------------------------------- skeleton

enum FillKind {
    FILL_FLAT,
    FILL_GOURAUD,
    FILL_GOURAUD_SHADED,
    FILL_AFFINE,
    FILL_AFFINE_SHADED,
    FILL_PERSPECTIVE,
    FILL_PERSPECTIVE_SHADED,
};

// What each filler interpolates: integer attributes 0 level, 1 u, 2 v
// (16.16 in render_state); float attributes 0 u/z, 1 v/z, 2 1/z.
// table: the filler maps its colours through a shade table.
template <int KIND>
struct FillTraits {
    static constexpr bool table = KIND == FILL_GOURAUD_SHADED || KIND == FILL_AFFINE_SHADED ||
                                  KIND == FILL_PERSPECTIVE_SHADED;
    static constexpr bool level = KIND == FILL_GOURAUD || table;
    static constexpr bool uv = KIND == FILL_AFFINE || KIND == FILL_AFFINE_SHADED;
    static constexpr bool persp = KIND == FILL_PERSPECTIVE || KIND == FILL_PERSPECTIVE_SHADED;
    static constexpr bool textured = uv || persp;
    static constexpr bool int_attr[3] = {level, uv, uv};
};

struct RasterCorner {
    int32_t x, y;
    int32_t a[3];  // level, u, v as plain integers
    float f[3];    // u/z, v/z, 1/z
};

struct RasterEdge {
    uint32_t x_step;     // 16.16 per row
    int32_t r;           // truncated reciprocal 65536 / rows
    uint32_t a_step[3];  // 16.16 per row
    float f_step[3];
};

static int32_t *raster_int_attr(int i)
{
    return i == 0 ? &render_state.level : (i == 1 ? &render_state.u : &render_state.v);
}

static int32_t *raster_int_gradient(int i)
{
    return i == 0 ? &render_state.dlevel : (i == 1 ? &render_state.du : &render_state.dv);
}

static float *raster_float_attr(int i)
{
    return i == 0 ? &render_state.uz : (i == 1 ? &render_state.vz : &render_state.iz);
}

// Per-row steps of the edge P->Q (Q lower). The flat filler divides
// exactly; the others multiply by the truncated reciprocal r, so that every
// step of one edge comes from the same single division.
template <int KIND>
static RasterEdge raster_edge(const RasterCorner *p, const RasterCorner *q)
{
    using T = FillTraits<KIND>;
    RasterEdge e{};
    const int64_t dy = (int64_t)q->y - p->y;
    const uint32_t dx = (uint32_t)q->x - (uint32_t)p->x;
    if constexpr (KIND == FILL_FLAT) {
        e.x_step = (uint32_t)(int32_t)((int64_t)(int32_t)(dx << 16) / dy);
        return e;
    }
    e.r = (int32_t)(65536 / dy);
    e.x_step = dx * (uint32_t)e.r;
    for (int i = 0; i < 3; i++)
        if (T::int_attr[i])
            e.a_step[i] = ((uint32_t)q->a[i] - (uint32_t)p->a[i]) * (uint32_t)e.r;
    if constexpr (T::persp) {
        const float f = (float)(e.r / 65536.0);
        for (int i = 0; i < 3; i++)
            e.f_step[i] = (q->f[i] - p->f[i]) * f;
    }
    return e;
}

// Per-pixel gradients of one half from its long and short edge. R stands
// for 65536 / (x difference in pixels per row); on a sliver, where the
// difference is no larger than the short edge's reciprocal, R is that
// reciprocal so a tiny difference is never divided by.
template <int KIND>
static void raster_gradients(const RasterEdge *lng, const RasterEdge *sht)
{
    using T = FillTraits<KIND>;
    const int32_t diff = (int32_t)(lng->x_step - sht->x_step);
    const int64_t magnitude = diff < 0 ? -(int64_t)diff : (int64_t)diff;
    const int32_t big_r = magnitude <= sht->r
                              ? sht->r
                              : (int32_t)(uint32_t)((int64_t)0x100000000LL / diff);
    for (int i = 0; i < 3; i++)
        if (T::int_attr[i]) {
            const int64_t d = (int32_t)(lng->a_step[i] - sht->a_step[i]);
            *raster_int_gradient(i) = (int32_t)(uint32_t)((d * big_r) >> 16);
        }
    if constexpr (T::persp) {
        const float g = (float)(big_r / 65536.0);
        render_state.duz = (lng->f_step[0] - sht->f_step[0]) * g;
        render_state.dvz = (lng->f_step[1] - sht->f_step[1]) * g;
        render_state.diz = (lng->f_step[2] - sht->f_step[2]) * g;
        render_state.duz16 = 16 * render_state.duz;
        render_state.dvz16 = 16 * render_state.dvz;
        render_state.diz16 = 16 * render_state.diz;
    }
}

// The two sides of the edge walk. xr carries a bias of 0xE000 (0.875
// pixel) so that r = xr >> 16 reaches a column the right edge only enters
// by 1/8 pixel or more. The attributes follow the left side.
struct RasterWalk {
    uint32_t xl, xl_step;
    uint32_t xr, xr_step;
    uint32_t a_step[3];
    float f_step[3];
};

static void raster_left_follows(RasterWalk *w, const RasterEdge *e)
{
    w->xl_step = e->x_step;
    for (int i = 0; i < 3; i++) {
        w->a_step[i] = e->a_step[i];
        w->f_step[i] = e->f_step[i];
    }
}

template <int KIND>
static void raster_start_attributes(const RasterCorner *c)
{
    using T = FillTraits<KIND>;
    for (int i = 0; i < 3; i++)
        if (T::int_attr[i])
            *raster_int_attr(i) = (int32_t)((uint32_t)c->a[i] << 16);
    if constexpr (T::persp)
        for (int i = 0; i < 3; i++)
            *raster_float_attr(i) = c->f[i];
}

template <int KIND>
static void raster_advance(RasterWalk *w, int64_t rows)
{
    using T = FillTraits<KIND>;
    const uint32_t n = (uint32_t)rows;
    w->xl += n * w->xl_step;
    w->xr += n * w->xr_step;
    for (int i = 0; i < 3; i++)
        if (T::int_attr[i])
            *raster_int_attr(i) = (int32_t)((uint32_t)*raster_int_attr(i) + n * w->a_step[i]);
    if constexpr (T::persp)
        for (int i = 0; i < 3; i++)
            *raster_float_attr(i) += w->f_step[i] * (float)rows;
}

template <int KIND>
static void raster_draw_row(const RasterWalk *w, int row, uint8_t colour)
{
    int32_t l = (int32_t)w->xl >> 16;
    int32_t r = (int32_t)w->xr >> 16;
    if constexpr (FillTraits<KIND>::textured) {
        render_state.span(row, l, r);
    } else {
        const int32_t width = render_state.width;
        if (l >= width || (int32_t)w->xr < 0)
            return;
        if (r > width - 1)
            r = width - 1;
        uint32_t level = (uint32_t)render_state.level;
        const uint32_t dlevel = (uint32_t)render_state.dlevel;
        if (l < 0) {
            level -= (uint32_t)l * dlevel;  // the level at column 0
            l = 0;
        }
        if (l > r)
            return;
        uint8_t *out = render_state.rows[row];
        if constexpr (KIND == FILL_FLAT) {
            for (int32_t x = l; x <= r; x++)
                out[x] = colour;
        } else if constexpr (KIND == FILL_GOURAUD) {
            for (int32_t x = l; x <= r; x++, level += dlevel)
                out[x] = (uint8_t)((int32_t)level >> 16);
        } else {
            const ShadeTable *table = render_state.shade_table;
            for (int32_t x = l; x <= r; x++, level += dlevel)
                out[x] = table->level[raster_shade_row((int32_t)level)][colour];
        }
    }
}

// The shared skeleton: sort the corners by y into T, M, B, walk the long
// edge T-B against T-M then M-B, and draw every row that lies on the
// target. tex, tex_width, table and span are stored in render_state once
// the triangle is known to touch the target's rows.
template <int KIND>
static void raster_fill(const RasterCorner c[3], uint8_t colour, const uint8_t *tex,
                        int tex_width, const ShadeTable *table, SpanFiller span)
{
    using Tr = FillTraits<KIND>;
    if (!raster_target_ready())
        return;
    const RasterCorner *p, *q, *t, *m, *b;
    if (c[0].y < c[1].y) {
        p = &c[0];
        q = &c[1];
    } else {
        p = &c[1];
        q = &c[0];
    }
    if (c[2].y < p->y) {
        t = &c[2]; m = p; b = q;
    } else if (c[2].y < q->y) {
        t = p; m = &c[2]; b = q;
    } else {
        t = p; m = q; b = &c[2];
    }
    const int32_t height = render_state.height;
    if (b->y < 0 || t->y >= height)
        return;
    if constexpr (Tr::textured) {
        render_state.texture = tex;
        render_state.texture_width = tex_width;
        render_state.span = span;
    }
    if constexpr (Tr::table)
        render_state.shade_table = table;
    if (b->y == t->y)
        return;

    const RasterEdge tb = raster_edge<KIND>(t, b);
    const int32_t y_end = b->y < height ? b->y : height;
    RasterWalk w{};
    int32_t row;

    if (m->y > t->y) {
        // A top half: both sides start at T.
        const RasterEdge tm = raster_edge<KIND>(t, m);
        if constexpr (KIND != FILL_FLAT)
            raster_gradients<KIND>(&tb, &tm);
        w.xl = (uint32_t)t->x << 16;
        w.xr = w.xl + 0xE000;
        raster_start_attributes<KIND>(t);
        const bool left_short = (int32_t)tm.x_step < (int32_t)tb.x_step;
        raster_left_follows(&w, left_short ? &tm : &tb);
        w.xr_step = left_short ? tb.x_step : tm.x_step;

        row = t->y;
        if (m->y < 0) {
            raster_advance<KIND>(&w, (int64_t)m->y - t->y);
            row = m->y;
        } else {
            if (t->y < 0) {
                raster_advance<KIND>(&w, -(int64_t)t->y);
                row = 0;
            }
            if (m->y >= height) {
                for (; row <= height - 1; row++) {
                    raster_draw_row<KIND>(&w, row, colour);
                    raster_advance<KIND>(&w, 1);
                }
                return;
            }
            for (; row < m->y; row++) {
                raster_draw_row<KIND>(&w, row, colour);
                raster_advance<KIND>(&w, 1);
            }
            // Row M is drawn with the top half's values, without advancing.
            raster_draw_row<KIND>(&w, row, colour);
            row = m->y + 1;
        }

        if (b->y == m->y)
            return;
        // The bottom half goes on from the values reached: the short side
        // turns onto M-B, nothing is reset to corner M.
        const RasterEdge mb = raster_edge<KIND>(m, b);
        if constexpr (KIND != FILL_FLAT)
            raster_gradients<KIND>(&tb, &mb);
        if (left_short)
            raster_left_follows(&w, &mb);
        else
            w.xr_step = mb.x_step;
        if (m->y < 0) {
            raster_advance<KIND>(&w, -(int64_t)m->y);
            raster_draw_row<KIND>(&w, 0, colour);
            row = 1;
        }
        for (; row < y_end; row++) {
            raster_advance<KIND>(&w, 1);
            raster_draw_row<KIND>(&w, row, colour);
        }
        return;
    }

    // A flat top: T and M on the first row.
    const RasterEdge mb = raster_edge<KIND>(m, b);
    if constexpr (KIND != FILL_FLAT)
        raster_gradients<KIND>(&tb, &mb);
    const RasterCorner *left_start = m->x > t->x ? t : m;
    const RasterCorner *right_start = m->x > t->x ? m : t;
    w.xl = (uint32_t)left_start->x << 16;
    w.xr = ((uint32_t)right_start->x << 16) + 0xE000;
    raster_start_attributes<KIND>(left_start);
    if ((int32_t)mb.x_step > (int32_t)tb.x_step) {
        raster_left_follows(&w, &mb);
        w.xr_step = tb.x_step;
    } else {
        raster_left_follows(&w, &tb);
        w.xr_step = mb.x_step;
    }
    row = t->y;
    if (t->y < 0) {
        raster_advance<KIND>(&w, -(int64_t)t->y);
        row = 0;
    }
    raster_draw_row<KIND>(&w, row, colour);
    for (row++; row < y_end; row++) {
        raster_advance<KIND>(&w, 1);
        raster_draw_row<KIND>(&w, row, colour);
    }
}

// ---------------------------------------------------------------- fillers

static void raster_corners(RasterCorner c[3], const ScreenTriangle *xy)
{
    c[0] = RasterCorner{xy->xa, xy->ya, {0, 0, 0}, {0, 0, 0}};
    c[1] = RasterCorner{xy->xb, xy->yb, {0, 0, 0}, {0, 0, 0}};
    c[2] = RasterCorner{xy->xc, xy->yc, {0, 0, 0}, {0, 0, 0}};
}

static void raster_levels(RasterCorner c[3], const TriangleShading *shade)
{
    c[0].a[0] = shade->level_a;
    c[1].a[0] = shade->level_b;
    c[2].a[0] = shade->level_c;
}

static void raster_texels(RasterCorner c[3], const TexCoords *uv)
{
    c[0].a[1] = uv->ua;
    c[0].a[2] = uv->va;
    c[1].a[1] = uv->ub;
    c[1].a[2] = uv->vb;
    c[2].a[1] = uv->uc;
    c[2].a[2] = uv->vc;
}

// u/z, v/z and 1/z per corner, each rounded to single precision. Returns
// false for a corner at or behind the eye, which has no 1/z.
static bool raster_perspective_corners(RasterCorner c[3], const TexCoords *uv,
                                       const TriangleShading *shade)
{
    const int32_t depth[3] = {shade->depth_a, shade->depth_b, shade->depth_c};
    raster_texels(c, uv);
    for (int k = 0; k < 3; k++) {
        if (depth[k] <= 0)
            return false;
        const float iz = (float)(1.0 / depth[k]);
        c[k].f[0] = (float)((double)c[k].a[1] * iz);
        c[k].f[1] = (float)((double)c[k].a[2] * iz);
        c[k].f[2] = iz;
    }
    return true;
}

void tri_fill_flat(const ScreenTriangle *xy, unsigned colour)
{
    RasterCorner c[3];
    raster_corners(c, xy);
    raster_fill<FILL_FLAT>(c, (uint8_t)colour, nullptr, 0, nullptr, nullptr);
}

void tri_fill_gouraud(const ScreenTriangle *xy, const TriangleShading *shade)
{
    RasterCorner c[3];
    raster_corners(c, xy);
    raster_levels(c, shade);
    raster_fill<FILL_GOURAUD>(c, 0, nullptr, 0, nullptr, nullptr);
}

void tri_fill_gouraud_shaded(const ScreenTriangle *xy, const TriangleShading *shade,
                             unsigned colour, const ShadeTable *table)
{
    RasterCorner c[3];
    raster_corners(c, xy);
    raster_levels(c, shade);
    raster_fill<FILL_GOURAUD_SHADED>(c, (uint8_t)colour, nullptr, 0, table, nullptr);
}

void tri_fill_affine(const uint8_t *tex, int tex_width, const ScreenTriangle *xy,
                     const TexCoords *uv)
{
    RasterCorner c[3];
    raster_corners(c, xy);
    raster_texels(c, uv);
    raster_fill<FILL_AFFINE>(c, 0, tex, tex_width, nullptr, span_choose(SPAN_AFFINE, tex_width));
}

void tri_fill_affine_shaded(const uint8_t *tex, int tex_width, const ScreenTriangle *xy,
                            const TexCoords *uv, const TriangleShading *shade,
                            const ShadeTable *table)
{
    RasterCorner c[3];
    raster_corners(c, xy);
    raster_texels(c, uv);
    raster_levels(c, shade);
    raster_fill<FILL_AFFINE_SHADED>(c, 0, tex, tex_width, table,
                                    span_choose(SPAN_AFFINE_SHADED, tex_width));
}

void tri_fill_perspective(const uint8_t *tex, int tex_width, const ScreenTriangle *xy,
                          const TexCoords *uv, const TriangleShading *shade)
{
    RasterCorner c[3];
    raster_corners(c, xy);
    if (!raster_perspective_corners(c, uv, shade))
        return;
    raster_fill<FILL_PERSPECTIVE>(c, 0, tex, tex_width, nullptr,
                                  span_choose(SPAN_PERSPECTIVE, tex_width));
}

void tri_fill_perspective_shaded(const uint8_t *tex, int tex_width, const ScreenTriangle *xy,
                                 const TexCoords *uv, const TriangleShading *shade,
                                 const ShadeTable *table)
{
    RasterCorner c[3];
    raster_corners(c, xy);
    if (!raster_perspective_corners(c, uv, shade))
        return;
    raster_levels(c, shade);
    raster_fill<FILL_PERSPECTIVE_SHADED>(c, 0, tex, tex_width, table,
                                         span_choose(SPAN_PERSPECTIVE_SHADED, tex_width));
}
