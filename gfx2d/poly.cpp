// poly.cpp: the convex polygon fillers. One edge walk fills the two edge
// tables (the left and right boundary of every row, with the attributes
// interpolated along them); one span loop, specialised per filler and per
// texture wrap, reads them back.
//
// Edge and span arithmetic is done in 64 bits: a narrow span's step times
// its attribute difference, or an edge's difference times 65536, does not
// fit in 32 bits for coordinates far off the buffer. Within 32 bits the
// results are the same bit for bit.
#include "poly.h"

#include <algorithm>
#include <cstdint>

namespace {

enum PolyKind { POLY_FLAT, POLY_TEXTURED, POLY_GOURAUD, POLY_GOURAUD_SHADED, POLY_TEXTURED_SHADED };
// Texel addressing: the two common square sizes wrap by masking, any other
// size by a non-negative modulo.
enum TexWrap { WRAP_NONE, WRAP_64, WRAP_256, WRAP_MODULO };

// A filler's per-corner attributes: texel positions (u into a, v into b),
// light levels (into a), or neither.
struct CornerAttrs {
    const PolygonPoint *uv;
    const PolygonLight *light;
};

struct PolyPaint {
    const uint8_t *tex;
    int64_t tw, th;
    const ShadeTable *table;
    uint8_t colour;
    int level;  // shade row of the textured-shaded filler, already clamped
};

// Writes rows ya .. yb-1 (cut to the buffer) of the edge from corner i to
// corner j. The flat filler steps its column by one division per edge;
// the others take one reciprocal 65536 / dy for the column and both
// attributes alike.
void poly_walk_edge(ScanlineEdge *edges, int height, const PolygonPoint *p, const CornerAttrs &at,
                    bool flat, int i, int j)
{
    const int64_t ya = p[i].y, yb = p[j].y;
    const int64_t lo = std::max<int64_t>(ya, 0), hi = std::min<int64_t>(yb, height);
    if (lo >= hi)
        return;  // flat, upward, or wholly off the buffer: no division
    const int64_t dy = yb - ya;
    int64_t col = (int64_t)p[i].x * 65536, a = 0, b = 0, col_step, a_step = 0, b_step = 0;
    if (flat) {
        col_step = ((int64_t)p[j].x - p[i].x) * 65536 / dy;
    } else {
        const int64_t r = 65536 / dy;
        col_step = ((int64_t)p[j].x - p[i].x) * r;
        if (at.uv) {
            a = (int64_t)at.uv[i].x * 65536;
            a_step = ((int64_t)at.uv[j].x - at.uv[i].x) * r;
            b = (int64_t)at.uv[i].y * 65536;
            b_step = ((int64_t)at.uv[j].y - at.uv[i].y) * r;
        } else if (at.light) {
            a = (int64_t)at.light[i].level * 65536;
            a_step = ((int64_t)at.light[j].level - at.light[i].level) * r;
        }
    }
    // Rows above the buffer are skipped in one advance.
    const int64_t skip = lo - ya;
    col += col_step * skip;
    a += a_step * skip;
    b += b_step * skip;
    // Attributes a filler does not have are left as they were.
    const bool has_a = at.uv || at.light, has_b = at.uv;
    for (int64_t y = lo; y < hi; y++) {
        edges[y].x = (int32_t)(col >> 16);  // between the two corners' columns
        if (has_a)
            edges[y].a = (int32_t)a;  // 16.16, as the table holds it
        if (has_b)
            edges[y].b = (int32_t)b;
        col += col_step;
        a += a_step;
        b += b_step;
    }
}

template <TexWrap wrap>
inline uint8_t poly_texel(const PolyPaint &pp, int64_t u, int64_t v)
{
    const int64_t tu = u >> 16, tv = v >> 16;
    if constexpr (wrap == WRAP_64) {
        return pp.tex[(tu & 63) + 64 * (tv & 63)];
    } else if constexpr (wrap == WRAP_256) {
        return pp.tex[(tu & 255) + 256 * (tv & 255)];
    } else {
        // Non-negative modulo: negative positions repeat the texture too.
        int64_t mu = tu % pp.tw, mv = tv % pp.th;
        mu += mu < 0 ? pp.tw : 0;
        mv += mv < 0 ? pp.th : 0;
        return pp.tex[mu + pp.tw * mv];
    }
}

inline int poly_shade_row(int64_t level)
{
    return (int)std::clamp<int64_t>(level, 0, 63);
}

template <PolyKind kind, TexWrap wrap>
void poly_spans(uint8_t *dst, int width, int height, const ScanlineEdge *edges1,
                const ScanlineEdge *edges2, int64_t top_y, int64_t bottom_y, const PolyPaint &pp)
{
    const int64_t y_end = std::min<int64_t>(bottom_y, height);
    for (int64_t y = std::max<int64_t>(top_y, 0); y < y_end; y++) {
        const bool first_left = edges1[y].x <= edges2[y].x;
        const ScanlineEdge &l = first_left ? edges1[y] : edges2[y];
        const ScanlineEdge &r = first_left ? edges2[y] : edges1[y];
        const int64_t xs = std::max<int64_t>(l.x, 0), xe = std::min<int64_t>(r.x, width);
        if (xs >= xe)
            continue;
        // Steps come from the uncut width, and only now that it is known
        // to be at least 1.
        const int64_t w = (int64_t)r.x - l.x;
        int64_t a = 0, b = 0, a_step = 0, b_step = 0;
        if constexpr (kind == POLY_TEXTURED || kind == POLY_TEXTURED_SHADED) {
            a = l.a;
            b = l.b;
            // Reciprocal in 1/1024: one division per row; spans wider than
            // 1024 pixels get q = 0 and show a single texel.
            const int64_t q = 1024 / w;
            a_step = (((int64_t)r.a - l.a) * q) >> 10;
            b_step = (((int64_t)r.b - l.b) * q) >> 10;
        } else if constexpr (kind == POLY_GOURAUD || kind == POLY_GOURAUD_SHADED) {
            a = l.a;
            a_step = ((int64_t)r.a - l.a) / w;
        }
        if (l.x < 0) {
            a += a_step * -(int64_t)l.x;
            b += b_step * -(int64_t)l.x;
        }
        uint8_t *row = dst + (size_t)y * width;
        for (int64_t x = xs; x < xe; x++) {
            if constexpr (kind == POLY_FLAT) {
                row[x] = pp.colour;
            } else if constexpr (kind == POLY_TEXTURED) {
                row[x] = poly_texel<wrap>(pp, a, b);
            } else if constexpr (kind == POLY_GOURAUD) {
                row[x] = (uint8_t)(a >> 16);
            } else if constexpr (kind == POLY_GOURAUD_SHADED) {
                row[x] = pp.table->level[poly_shade_row(a >> 16)][pp.colour];
            } else {
                row[x] = pp.table->level[pp.level][poly_texel<wrap>(pp, a, b)];
            }
            a += a_step;
            b += b_step;
        }
    }
}

// Finds the top and bottom corners, runs both edge walks, then the spans.
template <PolyKind kind>
void poly_fill(uint8_t *dst, int width, int height, ScanlineEdge *edges1, ScanlineEdge *edges2,
               const PolygonPoint *points, int n, const CornerAttrs &at, const PolyPaint &pp)
{
    if (n < 3 || width <= 0 || height <= 0)
        return;
    int top = 0, bottom = 0;
    for (int i = 1; i < n; i++) {
        if (points[i].y < points[top].y)
            top = i;
        if (points[i].y > points[bottom].y)
            bottom = i;
    }
    if (points[top].y == points[bottom].y)
        return;
    const bool flat = kind == POLY_FLAT;
    for (int i = top; i != bottom;) {
        const int j = (i + 1) % n;
        poly_walk_edge(edges1, height, points, at, flat, i, j);
        i = j;
    }
    for (int i = top; i != bottom;) {
        const int j = (i + n - 1) % n;
        poly_walk_edge(edges2, height, points, at, flat, i, j);
        i = j;
    }
    const int64_t ty = points[top].y, by = points[bottom].y;
    if constexpr (kind == POLY_TEXTURED || kind == POLY_TEXTURED_SHADED) {
        if (pp.tw == 64 && pp.th == 64)
            poly_spans<kind, WRAP_64>(dst, width, height, edges1, edges2, ty, by, pp);
        else if (pp.tw == 256 && pp.th == 256)
            poly_spans<kind, WRAP_256>(dst, width, height, edges1, edges2, ty, by, pp);
        else
            poly_spans<kind, WRAP_MODULO>(dst, width, height, edges1, edges2, ty, by, pp);
    } else {
        poly_spans<kind, WRAP_NONE>(dst, width, height, edges1, edges2, ty, by, pp);
    }
}

bool poly_texture_usable(const uint8_t *tex, int tw, int th)
{
    return tex && tw > 0 && th > 0;
}

}  // namespace

void poly_fill_flat(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                    ScanlineEdge *edges2, const PolygonPoint *points, int n, unsigned colour)
{
    const CornerAttrs at{nullptr, nullptr};
    const PolyPaint pp{nullptr, 0, 0, nullptr, (uint8_t)colour, 0};
    poly_fill<POLY_FLAT>(dst, width, height, edges1, edges2, points, n, at, pp);
}

void poly_fill_textured(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                        ScanlineEdge *edges2, const PolygonPoint *points, const PolygonPoint *uv,
                        int n, const uint8_t *tex, int tw, int th)
{
    if (!poly_texture_usable(tex, tw, th))
        return;
    const CornerAttrs at{uv, nullptr};
    const PolyPaint pp{tex, tw, th, nullptr, 0, 0};
    poly_fill<POLY_TEXTURED>(dst, width, height, edges1, edges2, points, n, at, pp);
}

void poly_fill_gouraud(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                       ScanlineEdge *edges2, const PolygonPoint *points, const PolygonLight *light,
                       int n)
{
    const CornerAttrs at{nullptr, light};
    const PolyPaint pp{nullptr, 0, 0, nullptr, 0, 0};
    poly_fill<POLY_GOURAUD>(dst, width, height, edges1, edges2, points, n, at, pp);
}

void poly_fill_gouraud_shaded(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                              ScanlineEdge *edges2, const PolygonPoint *points,
                              const PolygonLight *light, int n, unsigned colour,
                              const ShadeTable *table)
{
    const CornerAttrs at{nullptr, light};
    const PolyPaint pp{nullptr, 0, 0, table, (uint8_t)colour, 0};
    poly_fill<POLY_GOURAUD_SHADED>(dst, width, height, edges1, edges2, points, n, at, pp);
}

void poly_fill_textured_shaded(uint8_t *dst, int width, int height, ScanlineEdge *edges1,
                               ScanlineEdge *edges2, const PolygonPoint *points,
                               const PolygonPoint *uv, int n, const uint8_t *tex, int tw, int th,
                               int level, const ShadeTable *table)
{
    if (!poly_texture_usable(tex, tw, th))
        return;
    const CornerAttrs at{uv, nullptr};
    const PolyPaint pp{tex, tw, th, table, 0, poly_shade_row(level)};
    poly_fill<POLY_TEXTURED_SHADED>(dst, width, height, edges1, edges2, points, n, at, pp);
}
