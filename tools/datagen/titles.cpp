// titles.cpp: the pictures of the opening (light spots over six title
// pictures) and of the tunnel (its tiling texture and the text strips).
#include "datagen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// ---------------------------------------------------------------- opening
// One palette for all six pictures: black, then five ramps of 51 entries
// from black through a strong hue to nearly white.
static const Ramp title_ramps[5] = {
    {{255, 64, 24}, {255, 244, 236}, 0.6f},  // ember red
    {{255, 196, 0}, {255, 255, 240}, 0.6f},  // gold
    {{0, 216, 128}, {236, 255, 246}, 0.6f},  // jade
    {{40, 112, 255}, {238, 244, 255}, 0.6f}, // deep blue
    {{224, 40, 220}, {255, 240, 253}, 0.6f}, // magenta
};

// A ramp colour: shorthand for the painters below.
static void rc(const Ramp *ramps, int ramp, float t, float *out)
{
    ramp_colour(&ramps[ramp], t, out);
}

// Lines of big bold text centred on a bright banded background, each line
// lit by its own hue, with a black outline so they read through small spots.
static void title_text_picture(const char *path, const char *const *lines, int n, int first_ramp, int bg_ramp,
                               const Palette *pal)
{
    Canvas *c = canvas_create(320, 240);
    // Background: slanted soft bands in two hues.
    canvas_shade(c, [&](int x, int y, float *out) {
        const float s = sinf((x * 0.6f + y) * 2 * pi_f / 90.0f);
        float a[3], b[3];
        rc(title_ramps, bg_ramp, 0.47f + 0.12f * s, a);
        rc(title_ramps, (bg_ramp + 1) % 5, 0.45f, b);
        const float w = smoothstep(-0.2f, 0.2f, sinf((x - y * 0.5f) * 2 * pi_f / 260.0f));
        for (int k = 0; k < 3; k++)
            out[k] = a[k] + (b[k] - a[k]) * w;
    });
    // The largest size (cap height 30 px or more) at which every line fits.
    FontFace face = font_bold;
    int px = 0;
    for (FontFace f : {font_bold, font_condensed_bold}) {
        const int best = font_fit_lines(f, lines, n, 304, 42, 60);
        if (best) {
            face = f;
            px = best;
            break;
        }
    }
    if (!px || font_cap_height(face, px) < 30)
        datagen_fail("title text does not fit at 30 px letters");
    const int pitch = std::min(232 / n, px * 6 / 5);
    const int top = (240 - pitch * n) / 2;
    for (int i = 0; i < n; i++) {
        Mask *m = mask_create(320, 240);
        const int baseline = top + i * pitch + (pitch + font_cap_height(face, px)) / 2;
        font_draw_centred(m, face, px, baseline, lines[i]);
        canvas_outline(c, m, 4, 1.0f);
        const int ramp = (first_ramp + i) % 5;
        canvas_paint(
            c, m, 0, 0,
            [&](int, int y, float *out) {
                // Light at the top of the letters, the hue itself at the foot.
                const float t = 0.98f - 0.3f * clampf((y - (baseline - px)) / (float)px, 0.0f, 1.0f);
                rc(title_ramps, ramp, t, out);
            },
            1.0f);
        mask_free(m);
    }
    datagen_save_canvas(path, c, pal);
    canvas_free(c);
}

// A colourful abstract: big overlapping discs and rings with bold rims over
// bright slanted stripes.
static void title_abstract(const Palette *pal)
{
    Canvas *c = canvas_create(320, 240);
    canvas_shade(c, [&](int x, int y, float *out) {
        const int band = (int)floorf((x + y * 0.8f) / 40.0f);
        const float f = (x + y * 0.8f) / 40.0f - band;
        rc(title_ramps, band & 1 ? 3 : 4, 0.35f + 0.35f * f, out);
    });
    struct Blob {
        float x, y, r;
        int ramp;
    };
    const Blob blobs[] = {{70, 70, 62, 1}, {235, 80, 74, 0}, {140, 175, 70, 2},
                          {270, 200, 48, 1}, {30, 200, 40, 0}, {175, 40, 30, 2}};
    const float black[3] = {0, 0, 0};
    for (const Blob &b : blobs) {
        Mask *rim = mask_create(320, 240);
        mask_disc(rim, b.x, b.y, b.r + 6);
        canvas_blend_mask(c, rim, 0, 0, black, 1.0f);
        mask_free(rim);
        Mask *m = mask_create(320, 240);
        mask_disc(m, b.x, b.y, b.r);
        canvas_paint(
            c, m, 0, 0,
            [&](int x, int y, float *out) {
                // Lit from the top left: a sphere-like gradient.
                const float d = hypotf(x - (b.x - b.r * 0.35f), y - (b.y - b.r * 0.35f)) / (b.r * 1.5f);
                rc(title_ramps, b.ramp, 1.0f - 0.55f * clampf(d, 0.0f, 1.0f), out);
            },
            1.0f);
        mask_free(m);
        // A ring of another hue inside every disc.
        Mask *ring = mask_create(320, 240);
        mask_ring(ring, b.x + b.r * 0.1f, b.y + b.r * 0.1f, b.r * 0.45f, b.r * 0.58f);
        float rcol[3];
        rc(title_ramps, (b.ramp + 3) % 5, 0.62f, rcol);
        canvas_blend_mask(c, ring, 0, 0, rcol, 1.0f);
        mask_free(ring);
    }
    datagen_save_canvas("grafika/1/none.pcx", c, pal);
    canvas_free(c);
}

// The logo: a faceted hexagonal crystal in a gold ring, a big S across it.
static void title_logo(const Palette *pal)
{
    Canvas *c = canvas_create(320, 240);
    canvas_shade(c, [&](int x, int y, float *out) {
        const float d = hypotf(x - 160.0f, y - 120.0f);
        rc(title_ramps, 4, 0.62f - 0.3f * clampf(d / 200.0f, 0, 1), out);
    });
    const float black[3] = {0, 0, 0};
    Mask *ring_rim = mask_create(320, 240);
    mask_ring(ring_rim, 160, 120, 93, 119);
    canvas_blend_mask(c, ring_rim, 0, 0, black, 1.0f);
    mask_free(ring_rim);
    Mask *ring = mask_create(320, 240);
    mask_ring(ring, 160, 120, 97, 115);
    canvas_paint(
        c, ring, 0, 0,
        [](int x, int y, float *out) {
            const float a = atan2f(y - 120.0f, x - 160.0f);
            rc(title_ramps, 1, 0.72f + 0.25f * sinf(2 * a + 0.8f), out);
        },
        1.0f);
    mask_free(ring);
    // Six facets of the crystal, each with its own light.
    const float facet_light[6] = {0.95f, 0.8f, 0.6f, 0.45f, 0.55f, 0.75f};
    for (int k = 0; k < 6; k++) {
        const float a0 = (k * 60 - 90) * pi_f / 180, a1 = ((k + 1) * 60 - 90) * pi_f / 180;
        const float tri[6] = {160, 120, 160 + 88 * cosf(a0), 120 + 88 * sinf(a0), 160 + 88 * cosf(a1),
                              120 + 88 * sinf(a1)};
        Mask *m = mask_create(320, 240);
        mask_polygon(m, tri, 3);
        float col[3];
        rc(title_ramps, k & 1 ? 3 : 2, facet_light[k], col);
        canvas_blend_mask(c, m, 0, 0, col, 1.0f);
        mask_free(m);
    }
    // The S, with a thick black outline.
    Mask *s = mask_create(320, 240);
    const int px = 170;
    const TextExtent e = font_measure(font_bold, px, "S");
    font_draw_centred(s, font_bold, px, 120 - (e.ink_top + e.ink_bottom) / 2, "S");
    canvas_outline(c, s, 6, 1.0f);
    canvas_paint(
        c, s, 0, 0,
        [](int, int y, float *out) { rc(title_ramps, 1, 1.0f - 0.45f * clampf((y - 50) / 140.0f, 0, 1), out); },
        1.0f);
    mask_free(s);
    datagen_save_canvas("grafika/1/lo.pcx", c, pal);
    canvas_free(c);
}

// The show's name in big lettering, and its maker below it.
static void title_name(const Palette *pal)
{
    Canvas *c = canvas_create(320, 240);
    canvas_shade(c, [&](int x, int y, float *out) {
        // Rays from a point below the name.
        const float a = atan2f(y - 200.0f, x - 160.0f);
        const float ray = smoothstep(-0.3f, 0.3f, sinf(a * 14));
        float a_col[3], b_col[3];
        rc(title_ramps, 3, 0.38f, a_col);
        rc(title_ramps, 3, 0.58f, b_col);
        for (int k = 0; k < 3; k++)
            out[k] = a_col[k] + (b_col[k] - a_col[k]) * ray;
    });
    const char *name = "SKARN";
    const int px = font_fit(font_bold, name, 300, 60, 110);
    Mask *m = mask_create(320, 240);
    const int baseline = 130;
    const TextExtent e = font_draw_centred(m, font_bold, px, baseline, name);
    canvas_outline(c, m, 6, 1.0f);
    canvas_paint(
        c, m, 0, 0,
        [&](int, int y, float *out) {
            // Gold above, ember red at the foot of the letters.
            const float f = clampf((y - (baseline + e.ink_top)) / (float)(e.ink_bottom - e.ink_top), 0, 1);
            float g[3], r[3];
            rc(title_ramps, 1, 1.0f - 0.2f * f, g);
            rc(title_ramps, 0, 0.75f, r);
            const float w = smoothstep(0.45f, 0.9f, f);
            for (int k = 0; k < 3; k++)
                out[k] = g[k] + (r[k] - g[k]) * w;
        },
        1.0f);
    mask_free(m);

    const char *by = "BY VELK";
    const int bpx = 36;
    Mask *bm = mask_create(320, 240);
    font_draw_centred(bm, font_bold, bpx, 200, by);
    canvas_outline(c, bm, 4, 1.0f);
    float white[3];
    rc(title_ramps, 2, 0.97f, white);
    canvas_blend_mask(c, bm, 0, 0, white, 1.0f);
    mask_free(bm);
    datagen_save_canvas("grafika/1/skn.pcx", c, pal);
    canvas_free(c);
}

void gen_part1_titles(void)
{
    Palette pal;
    palette_even_ramps(&pal, title_ramps, 5);
    title_abstract(&pal);
    title_logo(&pal);
    title_name(&pal);
    static const char *const txt1[] = {"SKARN", "A SHOW", "DRAWN IN", "SOFTWARE"};
    static const char *const txt2[] = {"NO GPU", "JUST", "LOOPS AND", "TABLES"};
    static const char *const txt3[] = {"GREETINGS", "TO ALL WHO", "STILL WRITE", "RENDERERS"};
    title_text_picture("grafika/1/txt1.pcx", txt1, 4, 1, 3, &pal);
    title_text_picture("grafika/1/txt2.pcx", txt2, 4, 2, 4, &pal);
    title_text_picture("grafika/1/txt3.pcx", txt3, 4, 0, 2, &pal);
}

// ---------------------------------------------------------------- tunnel
// Palette of the tunnel's texture and of the text strips: black, a grey
// ramp to pure white (the strips' text), then four hue ramps.
static const Ramp tunnel_grey = {{255, 255, 255}, {255, 255, 255}, 1.0f};
static const Ramp tunnel_ramps[4] = {
    {{255, 120, 30}, {255, 236, 200}, 0.65f}, // copper
    {{30, 200, 220}, {210, 250, 255}, 0.65f}, // turquoise
    {{150, 60, 255}, {230, 214, 255}, 0.65f}, // violet
    {{120, 220, 40}, {230, 255, 200}, 0.65f}, // moss
};

static void tunnel_palette(Palette *pal)
{
    memset(pal->rgb, 0, sizeof pal->rgb);
    palette_put_ramp(pal, 1, 63, &tunnel_grey);
    for (int r = 0; r < 4; r++)
        palette_put_ramp(pal, 64 + 48 * r, 48, &tunnel_ramps[r]);
}

// The texture: mineral grains (a wrapping cell pattern, about 10 px across)
// with soft seams, tiling seamlessly in both directions. The strips draw
// their text by brightening the tunnel through the shade table (up to about
// three times), so every grain has about the same middling-dark luminance,
// whatever its hue: the text then rises well clear of all of them without
// running into white. Neighbouring grains mostly share a hue: two large,
// slow fields pick it, so the walls show broad patches, not a noise of four
// colours.
static void tunnel_texture(const Palette *pal)
{
    // Luminance of each ramp's pure hue: a grain of luminance l lies at
    // t = knee * l / that (below the knee a ramp is the hue times t / knee).
    float hue_luminance[4];
    for (int r = 0; r < 4; r++) {
        const float *m = tunnel_ramps[r].mid;
        hue_luminance[r] = 0.299f * m[0] + 0.587f * m[1] + 0.114f * m[2];
    }
    // 32 x 24 cells of 10 px: the field wraps exactly at 320 x 240.
    CellField *cells = cell_field_create(32, 24, 10, 17);
    Canvas *c = canvas_create(320, 240);
    canvas_shade(c, [&](int x, int y, float *out) {
        float edge, dx, dy;
        const int cell = cell_field_query(cells, (float)x, (float)y, &edge, &dx, &dy);
        // Each slow field split at its middle: four hues in about equal
        // shares. Both wrap with the picture (8 x 6 lattice cells of 40 px).
        const float sx = cells->seed_x[cell] / 40.0f, sy = cells->seed_y[cell] / 40.0f;
        const int hue = (noise_periodic(sx, sy, 8, 6, 23) > 0.5f) * 2 + (noise_periodic(sx, sy, 8, 6, 24) > 0.5f);
        // A per-grain shade, a faint facet light from the top left, a trace
        // of speckle and a seam a little darker than the grain.
        const float lit = 0.5f + 0.5f * cosf(atan2f(dy, dx) + 2.35f);
        const float speckle = noise_periodic(x / 5.0f, y / 5.0f, 64, 48, 99);
        const float grain = (cell_field_hash(cell) >> 8 & 0xFF) / 255.0f;
        const float lum = (64.0f + 14.0f * grain + 16.0f * (lit - 0.5f) * smoothstep(0.3f, 2.0f, edge) +
                           4.0f * (speckle - 0.5f)) *
                          (0.75f + 0.25f * smoothstep(0.3f, 1.6f, edge));
        ramp_colour(&tunnel_ramps[hue], tunnel_ramps[hue].knee * lum / hue_luminance[hue], out);
    });
    cell_field_free(cells);
    datagen_save_canvas("grafika/1/hatter04.pcx", c, pal);
    canvas_free(c);
}

// The strip rectangles of grp.pcx: left, top, right, bottom (exclusive).
static const int grp_strip_rects[23][4] = {
    {0, 6, 120, 30},    {0, 32, 87, 54},    {0, 54, 173, 79},   {0, 79, 108, 103},  {0, 106, 94, 128},
    {0, 130, 105, 151}, {0, 151, 82, 176},  {0, 177, 177, 202}, {0, 205, 135, 229}, {0, 231, 120, 251},
    {0, 251, 84, 276},  {0, 276, 44, 302},  {0, 305, 64, 326},  {0, 326, 186, 351}, {0, 354, 150, 376},
    {0, 378, 105, 400}, {0, 400, 99, 425},  {0, 428, 70, 450},  {0, 453, 150, 474}, {0, 474, 209, 499},
    {0, 499, 70, 524},  {0, 527, 147, 550}, {0, 552, 88, 575},
};

// The 23 lines that light up over the tunnel, in the order they appear.
static const char *const grp_lines[23] = {
    "welcome to", "skarn",      "a show drawn in", "software",   "one pixel", "at a time", "by velk",
    "no 3d card, no", "shaders: just", "loops and", "tables", "of", "sines",
    "greetings to all", "who still write", "software", "renderers", "and", "plot pixels",
    "by hand, one by one", "enjoy", "the music is", "code too",
};

// White antialiased text on black, each line left-aligned inside its strip
// rectangle with a margin of one pixel on every side. The part lights the
// tunnel by the strip's brightness index, so white, the brightest entry,
// lifts it the most.
static void tunnel_strips(const Palette *pal)
{
    Canvas *c = canvas_create(320, 576);
    Mask *m = mask_create(320, 576);
    for (int i = 0; i < 23; i++) {
        const int *r = grp_strip_rects[i];
        const int w = r[2] - r[0] - 3, h = r[3] - r[1] - 2;
        int px = 0;
        FontFace face = font_bold;
        TextExtent e{};
        for (int size = 20; size >= 16 && !px; size--)
            for (FontFace f : {font_bold, font_condensed_bold}) {
                e = font_measure(f, size, grp_lines[i]);
                if (font_ink_width(e) <= w && e.ink_bottom - e.ink_top <= h) {
                    px = size;
                    face = f;
                    break;
                }
            }
        if (!px)
            datagen_fail("strip %d (\"%s\") does not fit its rectangle", i, grp_lines[i]);
        // Centre the line's own ink box (descenders included) vertically.
        const int baseline = r[1] + 1 + (h - (e.ink_bottom - e.ink_top)) / 2 - e.ink_top;
        font_draw(m, face, px, r[0] + 2 - std::min(0, e.ink_left), baseline, grp_lines[i]);
    }
    const float white[3] = {255, 255, 255};
    canvas_blend_mask(c, m, 0, 0, white, 1.0f);
    mask_free(m);
    datagen_save_canvas("grafika/grp.pcx", c, pal);
    canvas_free(c);
}

void gen_part2_tunnel(void)
{
    Palette pal;
    tunnel_palette(&pal);
    tunnel_texture(&pal);
    tunnel_strips(&pal);
}
