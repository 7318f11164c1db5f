// canvas.cpp: the generator's painting surface: RGB canvases, coverage
// masks with antialiased shapes, palette ramps, quantizing to a palette,
// periodic noise and writing the pictures.
#include "datagen.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <vector>

// ---------------------------------------------------------------- canvas

Canvas *canvas_create(int width, int height)
{
    Canvas *c = (Canvas *)malloc(sizeof(Canvas));
    if (!c)
        datagen_fail("out of memory");
    c->width = width;
    c->height = height;
    c->rgb = (float *)calloc((size_t)width * height * 3, sizeof(float));
    if (!c->rgb)
        datagen_fail("out of memory");
    return c;
}

void canvas_free(Canvas *c)
{
    if (!c)
        return;
    free(c->rgb);
    free(c);
}

void canvas_shade(Canvas *c, const std::function<void(int, int, float *)> &colour)
{
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++)
            colour(x, y, c->rgb + 3 * ((size_t)y * c->width + x));
}

void canvas_blend(Canvas *c, int x, int y, const float rgb[3], float alpha)
{
    if (x < 0 || y < 0 || x >= c->width || y >= c->height || alpha <= 0.0f)
        return;
    alpha = std::min(alpha, 1.0f);
    float *p = c->rgb + 3 * ((size_t)y * c->width + x);
    for (int k = 0; k < 3; k++)
        p[k] += (rgb[k] - p[k]) * alpha;
}

void canvas_blend_mask(Canvas *c, const Mask *m, int x, int y, const float rgb[3], float opacity)
{
    canvas_paint(c, m, x, y, [&](int, int, float *out) { std::copy(rgb, rgb + 3, out); }, opacity);
}

void canvas_outline(Canvas *c, const Mask *m, int radius, float opacity)
{
    static const float black[3] = {0, 0, 0};
    Mask *outline = mask_grow(m, radius);
    canvas_blend_mask(c, outline, 0, 0, black, opacity);
    mask_free(outline);
}

// ---------------------------------------------------------------- masks

Mask *mask_create(int width, int height)
{
    Mask *m = (Mask *)malloc(sizeof(Mask));
    if (!m)
        datagen_fail("out of memory");
    m->width = width;
    m->height = height;
    m->cover = (float *)calloc((size_t)width * height, sizeof(float));
    if (!m->cover)
        datagen_fail("out of memory");
    return m;
}

void mask_free(Mask *m)
{
    if (!m)
        return;
    free(m->cover);
    free(m);
}

// One box pass along rows (step 1) or columns (step width), edges clamped.
static void mask_box_pass(Mask *m, int radius, bool rows)
{
    const int lines = rows ? m->height : m->width;
    const int len = rows ? m->width : m->height;
    const int stride = rows ? 1 : m->width;
    std::vector<float> line(len);
    for (int l = 0; l < lines; l++) {
        float *base = m->cover + (rows ? (size_t)l * m->width : (size_t)l);
        for (int i = 0; i < len; i++)
            line[i] = base[i * stride];
        float sum = 0.0f;
        for (int i = -radius; i <= radius; i++)
            sum += line[std::clamp(i, 0, len - 1)];
        for (int i = 0; i < len; i++) {
            base[i * stride] = sum / (2 * radius + 1);
            sum += line[std::min(i + radius + 1, len - 1)] - line[std::max(i - radius, 0)];
        }
    }
}

void mask_blur(Mask *m, int radius)
{
    if (radius < 1)
        return;
    for (int pass = 0; pass < 3; pass++) {
        mask_box_pass(m, radius, true);
        mask_box_pass(m, radius, false);
    }
}

void mask_max(Mask *m, int x, int y, float a)
{
    if (x < 0 || y < 0 || x >= m->width || y >= m->height)
        return;
    float &p = m->cover[y * m->width + x];
    p = std::max(p, clampf(a, 0.0f, 1.0f));
}

// Coverage from the signed distance to an edge, about one pixel wide: the
// usual cheap antialiasing of round shapes.
void mask_ring(Mask *m, float cx, float cy, float r_in, float r_out)
{
    const int x0 = (int)floorf(cx - r_out - 1), x1 = (int)ceilf(cx + r_out + 1);
    const int y0 = (int)floorf(cy - r_out - 1), y1 = (int)ceilf(cy + r_out + 1);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            const float d = hypotf(x + 0.5f - cx, y + 0.5f - cy);
            const float a = std::min(r_out - d + 0.5f, d - r_in + 0.5f);
            if (a > 0.0f)
                mask_max(m, x, y, a);
        }
}

void mask_disc(Mask *m, float cx, float cy, float r)
{
    mask_ring(m, cx, cy, -1.0f, r);
}

void mask_polygon(Mask *m, const float *xy, int n)
{
    float minx = 1e9f, maxx = -1e9f, miny = 1e9f, maxy = -1e9f;
    for (int i = 0; i < n; i++) {
        minx = std::min(minx, xy[2 * i]);
        maxx = std::max(maxx, xy[2 * i]);
        miny = std::min(miny, xy[2 * i + 1]);
        maxy = std::max(maxy, xy[2 * i + 1]);
    }
    const int y0 = std::max(0, (int)floorf(miny)), y1 = std::min(m->height - 1, (int)ceilf(maxy));
    const int x0 = std::max(0, (int)floorf(minx)), x1 = std::min(m->width - 1, (int)ceilf(maxx));
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            int inside = 0;
            for (int s = 0; s < 16; s++) {
                const float px = x + ((s & 3) + 0.5f) / 4.0f, py = y + ((s >> 2) + 0.5f) / 4.0f;
                bool in = false;
                for (int i = 0, j = n - 1; i < n; j = i++) {
                    const float xi = xy[2 * i], yi = xy[2 * i + 1], xj = xy[2 * j], yj = xy[2 * j + 1];
                    if ((yi > py) != (yj > py) && px < (xj - xi) * (py - yi) / (yj - yi) + xi)
                        in = !in;
                }
                inside += in;
            }
            if (inside)
                mask_max(m, x, y, inside / 16.0f);
        }
}

// ---------------------------------------------------------------- palettes

void ramp_colour(const Ramp *r, float t, float out[3])
{
    t = clampf(t, 0.0f, 1.0f);
    for (int k = 0; k < 3; k++) {
        if (t <= r->knee)
            out[k] = r->mid[k] * (t / r->knee);
        else
            out[k] = r->mid[k] + (r->light[k] - r->mid[k]) * ((t - r->knee) / (1.0f - r->knee));
    }
}

void palette_put_ramp(Palette *pal, int base, int count, const Ramp *r)
{
    for (int i = 0; i < count; i++) {
        float c[3];
        ramp_colour(r, (float)(i + 1) / count, c);
        for (int k = 0; k < 3; k++)
            pal->rgb[3 * (base + i) + k] = (uint8_t)lrintf(clampf(c[k], 0.0f, 255.0f));
    }
}

void palette_even_ramps(Palette *pal, const Ramp *ramps, int count)
{
    const int each = 255 / count;
    memset(pal->rgb, 0, sizeof pal->rgb);
    for (int r = 0; r < count; r++)
        palette_put_ramp(pal, 1 + each * r, each, &ramps[r]);
}

void palette_make_grey(Palette *pal)
{
    for (int i = 0; i < 256; i++)
        pal->rgb[3 * i] = pal->rgb[3 * i + 1] = pal->rgb[3 * i + 2] = (uint8_t)i;
}

Image *canvas_quantize(const Canvas *c, const Palette *pal)
{
    Image *img = nullptr;
    if (image_create(&img, c->width, c->height) != 0)
        datagen_fail("out of memory");
    // Exact colours repeat a lot in painted pictures: remember each answer
    // in a small open-addressed table keyed by the 24-bit colour (key + 1,
    // so 0 marks an empty slot). Twice the pixel count keeps it sparse.
    size_t slots = 1;
    while (slots < 2 * (size_t)c->width * c->height)
        slots <<= 1;
    std::vector<uint32_t> keys(slots, 0);
    std::vector<uint8_t> answers(slots, 0);
    for (int i = 0; i < c->width * c->height; i++) {
        uint32_t packed = 0;
        for (int k = 0; k < 3; k++)
            packed |= (uint32_t)lrintf(clampf(c->rgb[3 * i + k], 0.0f, 255.0f)) << (8 * k);
        size_t at = noise_hash(packed) & (slots - 1);
        while (keys[at] != 0 && keys[at] != packed + 1)
            at = (at + 1) & (slots - 1);
        if (keys[at] == 0) {
            keys[at] = packed + 1;
            answers[at] = (uint8_t)palette_find_nearest((int)packed, pal);
        }
        img->pixels[i] = answers[at];
    }
    return img;
}

// ---------------------------------------------------------------- noise

uint32_t noise_hash(uint32_t x)
{
    // A 32-bit integer mixer (xorshift-multiply): good spread, no tables.
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

static float noise_lattice(int x, int y, uint32_t seed)
{
    return (noise_hash((uint32_t)x * 73856093U ^ (uint32_t)y * 19349663U ^ seed) & 0xFFFF) / 65535.0f;
}

float noise_periodic(float x, float y, int period_x, int period_y, uint32_t seed)
{
    const int ix = (int)floorf(x), iy = (int)floorf(y);
    const float fx = x - ix, fy = y - iy;
    auto wrap = [](int v, int p) { return ((v % p) + p) % p; };
    const int x0 = wrap(ix, period_x), x1 = wrap(ix + 1, period_x);
    const int y0 = wrap(iy, period_y), y1 = wrap(iy + 1, period_y);
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const float a = noise_lattice(x0, y0, seed), b = noise_lattice(x1, y0, seed);
    const float c = noise_lattice(x0, y1, seed), d = noise_lattice(x1, y1, seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

float clampf(float v, float lo, float hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

float smoothstep(float e0, float e1, float x)
{
    const float t = clampf((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// ---------------------------------------------------------------- output

void datagen_fail(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fprintf(stderr, "datagen: ");
    vfprintf(stderr, format, args);
    fprintf(stderr, "\n");
    va_end(args);
    exit(1);
}

void datagen_save(const char *path, const Image *img, const Palette *pal)
{
    if (pcx_save(path, img, pal) != 5)
        datagen_fail("cannot write %s", path);
}

void datagen_save_canvas(const char *path, const Canvas *c, const Palette *pal)
{
    Image *img = canvas_quantize(c, pal);
    datagen_save(path, img, pal);
    image_destroy(&img);
}

void canvas_paint(Canvas *c, const Mask *m, int x, int y, const std::function<void(int, int, float *)> &colour,
                  float opacity)
{
    for (int my = 0; my < m->height; my++)
        for (int mx = 0; mx < m->width; mx++) {
            const float a = m->cover[my * m->width + mx] * opacity;
            const int cx = x + mx, cy = y + my;
            if (a <= 0.0f || cx < 0 || cy < 0 || cx >= c->width || cy >= c->height)
                continue;
            float rgb[3];
            colour(cx, cy, rgb);
            canvas_blend(c, cx, cy, rgb, a);
        }
}

Mask *mask_grow(const Mask *m, int radius)
{
    Mask *g = mask_create(m->width, m->height);
    memcpy(g->cover, m->cover, sizeof(float) * m->width * m->height);
    mask_blur(g, (radius + 1) / 2);
    // After the blur an edge pixel holds about half; scaling by 4 pushes the
    // edge outwards by roughly the blur radius and keeps it soft.
    for (int i = 0; i < g->width * g->height; i++)
        g->cover[i] = clampf(g->cover[i] * 4.0f, 0.0f, 1.0f);
    return g;
}

// ---------------------------------------------------------------- cells

CellField *cell_field_create(int cols, int rows, int size, uint32_t seed)
{
    CellField *f = (CellField *)malloc(sizeof(CellField));
    if (!f)
        datagen_fail("out of memory");
    f->cols = cols;
    f->rows = rows;
    f->size = size;
    f->seed_x = (float *)malloc(sizeof(float) * cols * rows);
    f->seed_y = (float *)malloc(sizeof(float) * cols * rows);
    if (!f->seed_x || !f->seed_y)
        datagen_fail("out of memory");
    for (int j = 0; j < rows; j++)
        for (int i = 0; i < cols; i++) {
            const uint32_t h = noise_hash((uint32_t)(j * cols + i) * 2654435761U + seed);
            f->seed_x[j * cols + i] = (i + 0.15f + 0.7f * ((h & 0xFF) / 255.0f)) * size;
            f->seed_y[j * cols + i] = (j + 0.15f + 0.7f * (((h >> 8) & 0xFF) / 255.0f)) * size;
        }
    return f;
}

void cell_field_free(CellField *f)
{
    if (!f)
        return;
    free(f->seed_x);
    free(f->seed_y);
    free(f);
}

int cell_field_query(const CellField *f, float x, float y, float *edge, float *dx, float *dy)
{
    const float w = (float)f->cols * f->size, h = (float)f->rows * f->size;
    float d1 = 1e9f, d2 = 1e9f;
    int best = 0;
    const int ci = (int)floorf(x / f->size), cj = (int)floorf(y / f->size);
    // Seeds are jittered within their own cell, so two cells around are enough.
    for (int dj = -2; dj <= 2; dj++)
        for (int di = -2; di <= 2; di++) {
            const int i = ((ci + di) % f->cols + f->cols) % f->cols;
            const int j = ((cj + dj) % f->rows + f->rows) % f->rows;
            float ox = x - f->seed_x[j * f->cols + i], oy = y - f->seed_y[j * f->cols + i];
            ox -= w * roundf(ox / w); // shortest way round the wrapped field
            oy -= h * roundf(oy / h);
            const float d = ox * ox + oy * oy;
            if (d < d1) {
                d2 = d1;
                d1 = d;
                best = j * f->cols + i;
                *dx = ox;
                *dy = oy;
            } else if (d < d2) {
                d2 = d;
            }
        }
    *edge = (sqrtf(d2) - sqrtf(d1)) * 0.5f;
    return best;
}

uint32_t cell_field_hash(int cell)
{
    return noise_hash((uint32_t)cell * 747796405U + 3);
}

float cell_field_facet(const CellField *f, float x, float y, float contrast, int *cell)
{
    float edge, dx, dy;
    *cell = cell_field_query(f, x, y, &edge, &dx, &dy);
    // The facet a point lies on faces the way from the seed to the point.
    const float lit = 0.5f + 0.5f * cosf(atan2f(dy, dx) + 2.35f);
    const float base = 0.4f + 0.22f * ((cell_field_hash(*cell) >> 8 & 0xFF) / 255.0f);
    const float t = base + contrast * (lit - 0.5f) * smoothstep(0.3f, 2.0f, edge);
    return t * (0.32f + 0.68f * smoothstep(0.3f, 1.6f, edge));
}
