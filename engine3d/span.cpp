// span.cpp: the 24 span fillers. One walk per kind, written once as a
// template over the texel addressing; the named members are its instances.
#include "engine3d.h"

// Texel addressing. LOG2 > 0: a 2^LOG2-wide texture, both coordinates wrap
// by masking, and the row offset ((v >> 16) & (w - 1)) x w is one shift and
// one mask of the 16.16 value. LOG2 = 0: any width w, wrapped by a
// remainder made non-negative so coordinates left of or above the texture
// still read inside it.
template <int LOG2>
static inline uint8_t span_texel(const uint8_t *tex, int32_t w, int32_t u, int32_t v)
{
    if constexpr (LOG2 > 0) {
        constexpr int32_t mask = (1 << LOG2) - 1;
        return tex[((v >> (16 - LOG2)) & (mask << LOG2)) + ((u >> 16) & mask)];
    } else {
        int32_t col = (u >> 16) % w;
        int32_t row = (v >> 16) % w;
        if (col < 0)
            col += w;
        if (row < 0)
            row += w;
        return tex[(size_t)row * (size_t)w + (size_t)col];
    }
}

// Clips [x0, x1] to the target. Returns false when nothing is left of the
// span; otherwise *skip is how many columns were cut off on the left.
static inline bool span_clip(int *x0, int *x1, int32_t *skip)
{
    const int width = render_state.width;
    if (*x0 >= width || *x1 < 0)
        return false;
    if (*x1 > width - 1)
        *x1 = width - 1;
    *skip = 0;
    if (*x0 < 0) {
        *skip = -*x0;
        *x0 = 0;
    }
    return true;
}

template <int LOG2, bool SHADED>
static void span_affine_walk(int row, int x0, int x1)
{
    int32_t skip;
    if (!span_clip(&x0, &x1, &skip))
        return;
    const int32_t w = render_state.texture_width;
    if (LOG2 == 0 && w <= 0)
        return;
    // 32-bit wrapping arithmetic: a far-off left clip may wrap u and v,
    // which only moves the texel read, never out of the texture.
    const uint32_t du = (uint32_t)render_state.du;
    const uint32_t dv = (uint32_t)render_state.dv;
    const uint32_t dlevel = (uint32_t)render_state.dlevel;
    uint32_t u = (uint32_t)render_state.u + (uint32_t)skip * du;
    uint32_t v = (uint32_t)render_state.v + (uint32_t)skip * dv;
    uint32_t level = (uint32_t)render_state.level + (uint32_t)skip * dlevel;
    if (x0 > x1)
        return;
    const uint8_t *tex = render_state.texture;
    const ShadeTable *table = render_state.shade_table;
    uint8_t *out = render_state.rows[row];
    for (int x = x0; x <= x1; x++) {
        uint8_t texel = span_texel<LOG2>(tex, w, (int32_t)u, (int32_t)v);
        if constexpr (SHADED)
            out[x] = table->level[raster_shade_row((int32_t)level)][texel];
        else
            out[x] = texel;
        u += du;
        v += dv;
        if constexpr (SHADED)
            level += dlevel;
    }
}

// The exact 16.16 coordinate at a sample point: (c/z) x 65536 / (1/z).
// A sample past the span's end may meet 1/z = 0; the division then gives an
// infinity, which float_to_int_trunc saturates instead of trapping.
static inline void span_sample(double uz, double vz, double iz, int32_t *u, int32_t *v)
{
    float k = (float)(65536.0 / iz);
    *u = float_to_int_trunc(uz * (double)k);
    *v = float_to_int_trunc(vz * (double)k);
}

template <int LOG2, bool SHADED>
static void span_perspective_walk(int row, int x0, int x1)
{
    int32_t skip;
    if (!span_clip(&x0, &x1, &skip))
        return;
    const int32_t w = render_state.texture_width;
    if (LOG2 == 0 && w <= 0)
        return;
    // The running values live in double during the span.
    double uz = render_state.uz;
    double vz = render_state.vz;
    double iz = render_state.iz;
    if (skip) {
        uz += (double)skip * render_state.duz;
        vz += (double)skip * render_state.dvz;
        iz += (double)skip * render_state.diz;
    }
    const uint32_t dlevel = (uint32_t)render_state.dlevel;
    uint32_t level = (uint32_t)render_state.level + (uint32_t)skip * dlevel;

    int32_t u, v;
    span_sample(uz, vz, iz, &u, &v);
    if (x0 > x1)
        return;

    const uint8_t *tex = render_state.texture;
    const ShadeTable *table = render_state.shade_table;
    uint8_t *out = render_state.rows[row];
    const double duz16 = render_state.duz16;
    const double dvz16 = render_state.dvz16;
    const double diz16 = render_state.diz16;
    // Exact samples every 16 columns from x0, linear 16.16 steps between
    // them: the first segment covers x0..x0+16, the later ones 16 columns.
    int seg = x0;
    while (x0 <= x1) {
        seg = seg + 16 < x1 ? seg + 16 : x1;
        iz += diz16;
        uz += duz16;
        vz += dvz16;
        int32_t u_next, v_next;
        span_sample(uz, vz, iz, &u_next, &v_next);
        // Difference over 16 pixels, rounded down by the arithmetic shift.
        const uint32_t du = (uint32_t)((int32_t)((uint32_t)u_next - (uint32_t)u) >> 4);
        const uint32_t dv = (uint32_t)((int32_t)((uint32_t)v_next - (uint32_t)v) >> 4);
        for (int x = x0; x <= seg; x++) {
            uint8_t texel = span_texel<LOG2>(tex, w, u, v);
            if constexpr (SHADED) {
                out[x] = table->level[raster_shade_row((int32_t)level)][texel];
                level += dlevel;
            } else {
                out[x] = texel;
            }
            u = (int32_t)((uint32_t)u + du);
            v = (int32_t)((uint32_t)v + dv);
        }
        x0 = seg + 1;
    }
}

#define SPAN_MEMBERS(kind, walk, shaded)                                                  \
    void span_##kind##_256(int row, int x0, int x1) { walk<8, shaded>(row, x0, x1); }   \
    void span_##kind##_128(int row, int x0, int x1) { walk<7, shaded>(row, x0, x1); }   \
    void span_##kind##_64(int row, int x0, int x1) { walk<6, shaded>(row, x0, x1); }    \
    void span_##kind##_32(int row, int x0, int x1) { walk<5, shaded>(row, x0, x1); }    \
    void span_##kind##_16(int row, int x0, int x1) { walk<4, shaded>(row, x0, x1); }    \
    void span_##kind##_any(int row, int x0, int x1) { walk<0, shaded>(row, x0, x1); }

SPAN_MEMBERS(affine, span_affine_walk, false)
SPAN_MEMBERS(affine_shaded, span_affine_walk, true)
SPAN_MEMBERS(perspective, span_perspective_walk, false)
SPAN_MEMBERS(perspective_shaded, span_perspective_walk, true)

#define SPAN_PICK(kind, tex_width)             \
    switch (tex_width) {                       \
    case 256: return span_##kind##_256;        \
    case 128: return span_##kind##_128;        \
    case 64: return span_##kind##_64;          \
    case 32: return span_##kind##_32;          \
    case 16: return span_##kind##_16;          \
    default: return span_##kind##_any;         \
    }

SpanFiller span_choose(SpanKind kind, int tex_width)
{
    switch (kind) {
    case SPAN_AFFINE: SPAN_PICK(affine, tex_width)
    case SPAN_AFFINE_SHADED: SPAN_PICK(affine_shaded, tex_width)
    case SPAN_PERSPECTIVE: SPAN_PICK(perspective, tex_width)
    case SPAN_PERSPECTIVE_SHADED: SPAN_PICK(perspective_shaded, tex_width)
    }
    return span_affine_any;
}
