// draw.cpp: lines, triangles, quads, rectangles, spans and circles.
//
// Coordinates are widened to 64 bits wherever they are multiplied or
// shifted, so no caller's int can overflow the clipping arithmetic; pixels
// inside the image land exactly where the 32-bit arithmetic puts them for
// coordinates that fit it.
#include "draw.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>

namespace {

// Products of a coordinate and a 16.16 slope can exceed 64 bits for
// hostile ints far outside any image; they are formed in 128 bits and only
// the shifted result, which fits, comes back.
using wide = __int128;

int64_t mul_shift16(int64_t a, int64_t slope)
{
    return (int64_t)(((wide)a * slope) >> 16);
}

// Moves an end whose coordinate `along` lies outside 0 .. size-1 onto the
// border, shifting the other coordinate by the 16.16 slope.
void line_clip_axis(int64_t *along, int64_t *other, int64_t size, int64_t slope)
{
    if (*along < 0) {
        *other += mul_shift16(-*along, slope);
        *along = 0;
    }
    if (*along > size - 1) {
        *other -= mul_shift16(*along - (size - 1), slope);
        *along = size - 1;
    }
}

bool line_outside(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t w, int64_t h)
{
    return (x0 < 0 && x1 < 0) || (y0 < 0 && y1 < 0) || (x0 >= w && x1 >= w) ||
           (y0 >= h && y1 >= h);
}

// Bresenham's walk: `major` steps along the major axis; the minor axis moves
// when the error is >= 0, or > 0 when the major direction is negative (so a
// line drawn backwards covers the same pixels). A is twice the major
// length, B twice the minor one.
//
// Skipping ahead: with g(j) = e0 + B*j the error before step j without the
// minor moves, the number of minor moves in the first k steps is
// floor((g(k-1) - bias + A) / A) (bias 1 for the strict rule), because
// B <= A keeps g(j) within one A of A times the moves so far. That lets the
// walk start at the first step inside the image instead of walking there.
struct LineWalk {
    int64_t err, A, B;
    int bias;
};

int64_t line_moves_before(const LineWalk &lw, int64_t e0, int64_t k)
{
    if (k <= 0)
        return 0;
    return (int64_t)(((wide)e0 - lw.bias + (wide)lw.B * (k - 1) + lw.A) / lw.A);
}

void draw_span_clipped(Image *img, int64_t xa, int64_t y, int64_t xb, uint8_t c)
{
    if (y < 0 || y >= img->height)
        return;
    if (xa > xb)
        std::swap(xa, xb);
    xa = std::max<int64_t>(xa, 0);
    xb = std::min<int64_t>(xb, img->width - 1);
    if (xa > xb)
        return;
    memset(img->pixels + (size_t)y * img->width + xa, c, (size_t)(xb - xa + 1));
}

}  // namespace

void draw_line(Image *img, int ix0, int iy0, int ix1, int iy1, int colour)
{
    const int64_t W = img->width, H = img->height;
    if (W <= 0 || H <= 0)
        return;
    int64_t x0 = ix0, y0 = iy0, x1 = ix1, y1 = iy1;
    if (line_outside(x0, y0, x1, y1, W, H))
        return;
    int64_t dx = x1 - x0, dy = y1 - y0;
    if (dy == 0) {
        x0 = std::clamp<int64_t>(x0, 0, W - 1);
        x1 = std::clamp<int64_t>(x1, 0, W - 1);
    } else if (dx == 0) {
        y0 = std::clamp<int64_t>(y0, 0, H - 1);
        y1 = std::clamp<int64_t>(y1, 0, H - 1);
    } else {
        // 16.16 slopes, each end moved onto the border columns, then rows.
        const int64_t slope = dy * 65536 / dx;
        line_clip_axis(&x0, &y0, W, slope);
        line_clip_axis(&x1, &y1, W, slope);
        const int64_t islope = dx * 65536 / dy;
        line_clip_axis(&y0, &x0, H, islope);
        line_clip_axis(&y1, &x1, H, islope);
    }
    if (line_outside(x0, y0, x1, y1, W, H))
        return;
    // Both rows now lie inside the image. Rounding of the 16.16 slopes can
    // leave a clipped end a column outside, or (the row clip multiplying a
    // one-row error by the inverse slope) carry it past the far end of the
    // line: only columns inside the image and inside the line's own span of
    // columns are drawn, each exactly where the walk puts it.
    const int64_t xlo = std::max<int64_t>(0, std::min(ix0, ix1));
    const int64_t xhi = std::min<int64_t>(W - 1, std::max(ix0, ix1));
    dx = x1 - x0;
    dy = y1 - y0;
    const uint8_t c = (uint8_t)colour;
    uint8_t *pixels = img->pixels;
    const int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;

    if (dx == 0) {
        // One pixel, or a vertical run of |dy| pixels (the end left out).
        if (x0 < xlo || x0 > xhi)
            return;
        const int64_t n = dy == 0 ? 1 : ady;
        for (int64_t k = 0, i = y0 * W + x0; k < n; k++, i += sy * W)
            pixels[i] = c;
    } else if (adx > ady) {
        // x-major (horizontal lines too): only the steps k with
        // xlo <= x0 + sx*k <= xhi, entered by skipping ahead.
        int64_t kmin, kmax;
        if (sx > 0) {
            kmin = std::max<int64_t>(0, xlo - x0);
            kmax = std::min<int64_t>(adx, xhi - x0 + 1);
        } else {
            kmin = std::max<int64_t>(0, x0 - xhi);
            kmax = std::min<int64_t>(adx, x0 - xlo + 1);
        }
        if (kmin >= kmax)
            return;
        LineWalk lw{0, 2 * adx, 2 * ady, sx < 0 ? 1 : 0};
        const int64_t e0 = 2 * ady - adx;
        const int64_t moves = line_moves_before(lw, e0, kmin);
        lw.err = e0 + lw.B * kmin - lw.A * moves;
        int64_t i = (y0 + sy * moves) * W + x0 + sx * kmin;
        const int64_t row_step = sy * W;
        // err >= bias: ">= 0" walking right, "> 0" walking left.
        for (int64_t k = kmin; k < kmax; k++) {
            pixels[i] = c;
            if (lw.err >= lw.bias) {
                i += row_step;
                lw.err -= lw.A;
            }
            lw.err += lw.B;
            i += sx;
        }
    } else {
        // y-major (diagonals too): at most H steps, the column tested per
        // pixel only when an end lies outside the drawable columns.
        int64_t err = 2 * adx - ady;
        const int64_t bias = sy < 0 ? 1 : 0;  // "> 0" walking up
        const bool inside = x0 >= xlo && x0 <= xhi && x1 >= xlo && x1 <= xhi;
        int64_t x = x0, y = y0;
        for (int64_t k = 0; k < ady; k++) {
            if (inside || (x >= xlo && x <= xhi))
                pixels[y * W + x] = c;
            if (err >= bias) {
                x += sx;
                err -= 2 * ady;
            }
            err += 2 * adx;
            y += sy;
        }
    }
}

void draw_triangle_outline(Image *img, int x0, int y0, int x1, int y1, int x2, int y2, int colour)
{
    draw_line(img, x0, y0, x1, y1, colour);
    draw_line(img, x0, y0, x2, y2, colour);
    draw_line(img, x1, y1, x2, y2, colour);
}

void draw_triangle_filled(Image *img, int x0, int y0, int x1, int y1, int x2, int y2, int colour)
{
    // Sort top (T), middle (M), lowest (L) by y, exchanging only on strictly
    // greater y.
    int64_t xs[3] = {x0, x1, x2}, ys[3] = {y0, y1, y2};
    auto order = [&](int a, int b) {
        if (ys[a] > ys[b]) {
            std::swap(xs[a], xs[b]);
            std::swap(ys[a], ys[b]);
        }
    };
    order(0, 1);
    order(0, 2);
    order(1, 2);
    const int64_t xT = xs[0], yT = ys[0], xM = xs[1], yM = ys[1], xL = xs[2], yL = ys[2];
    // Edge steps per row with 9 fraction bits; a flat edge steps by 0.
    const int64_t sTM = yT != yM ? (xT - xM) * 512 / (yT - yM) : 0;
    const int64_t sTL = yT != yL ? (xT - xL) * 512 / (yT - yL) : 0;
    const int64_t sML = yM != yL ? (xM - xL) * 512 / (yM - yL) : 0;
    const uint8_t c = (uint8_t)colour;
    const int64_t H = img->height;

    // Upper half, rows yT .. yM from the top corner; only rows inside the
    // image are visited, each edge advanced straight to its row.
    for (int64_t y = std::max<int64_t>(yT, 0); y <= std::min<int64_t>(yM, H - 1); y++) {
        const int64_t e1 = xT * 512 + sTM * (y - yT), e2 = xT * 512 + sTL * (y - yT);
        draw_span_clipped(img, e1 >> 9, y, e2 >> 9, c);
    }
    // Lower half, rows yL up to yM from the lowest corner.
    for (int64_t y = std::min<int64_t>(yL, H - 1); y >= std::max<int64_t>(yM, 0); y--) {
        const int64_t e1 = xL * 512 - sML * (yL - y), e2 = xL * 512 - sTL * (yL - y);
        draw_span_clipped(img, e1 >> 9, y, e2 >> 9, c);
    }
}

void draw_quad(Image *img, int x0, int y0, int x1, int y1, int x2, int y2, int x3, int y3,
               int colour, int outline)
{
    const int wl = std::max(img->width - 1, 0), hl = std::max(img->height - 1, 0);
    int px[4] = {x0, x1, x2, x3}, py[4] = {y0, y1, y2, y3};
    for (int i = 0; i < 4; i++) {
        px[i] = std::clamp(px[i], 0, wl);
        py[i] = std::clamp(py[i], 0, hl);
    }
    const int tris[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto &t : tris) {
        const int a = t[0], b = t[1], d = t[2];
        if ((px[a] == px[b] && px[b] == px[d]) || (py[a] == py[b] && py[b] == py[d]))
            continue;
        if ((uint8_t)outline)
            draw_triangle_outline(img, px[a], py[a], px[b], py[b], px[d], py[d], colour);
        else
            draw_triangle_filled(img, px[a], py[a], px[b], py[b], px[d], py[d], colour);
    }
}

void draw_rect_filled(Image *img, int x0, int y0, int x1, int y1, int colour)
{
    // Clamped to W and H themselves: the far corner is exclusive.
    const int W = std::max(img->width, 0), H = std::max(img->height, 0);
    x0 = std::clamp(x0, 0, W);
    x1 = std::clamp(x1, 0, W);
    y0 = std::clamp(y0, 0, H);
    y1 = std::clamp(y1, 0, H);
    if (x0 > x1)
        std::swap(x0, x1);
    if (y0 > y1)
        std::swap(y0, y1);
    if (x0 == x1)
        return;
    for (int y = y0; y < y1; y++)
        memset(img->pixels + (size_t)y * W + x0, (uint8_t)colour, (size_t)(x1 - x0));
}

void draw_hspan(Image *img, int x0, int y, int x1, int colour)
{
    draw_span_clipped(img, x0, y, x1, (uint8_t)colour);
}

namespace {

template <bool add>
void circle_plot(Image *img, int64_t px, int64_t py, uint8_t c)
{
    if (px < 0 || px >= img->width || py < 0 || py >= img->height)
        return;
    uint8_t *p = img->pixels + (size_t)py * img->width + px;
    *p = add ? (uint8_t)(*p + c) : c;
}

// Of the columns x >= from, the first at which c + x or c - x falls inside
// 0 .. size-1; -1 when there is none.
int64_t circle_next_inside(int64_t c, int64_t size, int64_t from)
{
    int64_t best = -1;
    const int64_t spans[2][2] = {{-c, size - 1 - c}, {c - size + 1, c}};
    for (const auto &s : spans) {
        if (s[1] < from || s[1] < 0)
            continue;
        const int64_t x = std::max({s[0], from, (int64_t)0});
        if (best < 0 || x < best)
            best = x;
    }
    return best;
}

// The walk's row y at step x >= 1: the largest y with x^2 + y(y - 1) < r^2
// (the midpoint rule picks the row nearest the circle), found with an
// integer square root; -1 when x is beyond the circle.
int64_t circle_row_at(int64_t r, int64_t x)
{
    const wide m = (wide)r * r - (wide)x * x;
    if (m <= 0)
        return -1;
    const wide v = 4 * m - 3;  // y(y - 1) <= m - 1  <=>  2y - 1 <= sqrt(4m - 3)
    wide s = (wide)sqrtl((long double)v);
    while (s * s > v)
        s--;
    while ((s + 1) * (s + 1) <= v)
        s++;
    return (int64_t)((1 + s) / 2);
}

// Midpoint circle with second-order differences. The x != 0, y != 0 and
// x != y tests keep the eight mirrored points from meeting, so each pixel is
// visited once and the adding variant never adds twice.
//
// A point can only be inside when one of cx +- x is a column of the image
// (first four points) or cy +- x a row (last four), so the walk jumps over
// the other steps, rebuilding its state there in closed form:
// d = (x + 1)^2 + y^2 - y - r^2, dE = 3 + 2x, dSE = 5 + 2x - 2y. A huge
// circle thus costs at most width + height steps.
template <bool add>
void circle_walk(Image *img, int cx, int cy, int r, uint8_t c)
{
    if (r < 0)
        return;
    int64_t x = 0, y = r, d = 1 - (int64_t)r, dE = 3, dSE = 5 - 2 * (int64_t)r;
    while (x <= y) {
        const int64_t a = circle_next_inside(cx, img->width, x);
        const int64_t b = circle_next_inside(cy, img->height, x);
        const int64_t next = a < 0 ? b : b < 0 ? a : std::min(a, b);
        if (next < 0)
            break;
        if (next != x) {
            x = next;
            y = circle_row_at(r, x);
            if (x > y)
                break;
            d = (int64_t)((wide)(x + 1) * (x + 1) + (wide)y * y - y - (wide)r * r);
            dE = 3 + 2 * x;
            dSE = 5 + 2 * x - 2 * y;
        }
        circle_plot<add>(img, cx + x, cy + y, c);
        if (x != 0)
            circle_plot<add>(img, cx - x, cy + y, c);
        if (y != 0)
            circle_plot<add>(img, cx + x, cy - y, c);
        if (x != 0 && y != 0)
            circle_plot<add>(img, cx - x, cy - y, c);
        if (x != y) {
            circle_plot<add>(img, cx + y, cy + x, c);
            if (x != 0)
                circle_plot<add>(img, cx + y, cy - x, c);
            if (y != 0)
                circle_plot<add>(img, cx - y, cy + x, c);
            if (x != 0 && y != 0)
                circle_plot<add>(img, cx - y, cy - x, c);
        }
        if (d < 0) {
            d += dE;
            dE += 2;
            dSE += 2;
        } else {
            d += dSE;
            dE += 2;
            dSE += 4;
            y -= 1;
        }
        x += 1;
    }
}

}  // namespace

void draw_circle(Image *img, int cx, int cy, int r, int colour)
{
    circle_walk<false>(img, cx, cy, r, (uint8_t)colour);
}

void draw_circle_add(Image *img, int cx, int cy, int r, int colour)
{
    circle_walk<true>(img, cx, cy, r, (uint8_t)colour);
}
