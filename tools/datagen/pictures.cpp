// pictures.cpp: the pictures of the later parts: the three pictures mixed
// by the bouncing balls, the light maps and colour pictures of the 3D
// parts, the text pages and corner badges, and the closing picture.
#include "datagen.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

// Writes a grey picture straight from a value function (0..255 per pixel):
// the light maps, whose palette index is their brightness.
template <typename Value> static void grey_picture(const char *path, int w, int h, Value value)
{
    Palette pal;
    palette_make_grey(&pal);
    Image *img = nullptr;
    if (image_create(&img, w, h) != 0)
        datagen_fail("out of memory");
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            img->pixels[y * w + x] = (uint8_t)lrintf(clampf(value(x, y), 0.0f, 255.0f));
    datagen_save(path, img, &pal);
    image_destroy(&img);
}

// Draws lines of text word-wrapped to a column; returns the y below them.
static int text_column(Mask *m, FontFace face, int px, int x, int y, int width, int pitch, const char *text)
{
    std::string line, word;
    auto flush = [&]() {
        if (!line.empty()) {
            font_draw(m, face, px, x, y, line.c_str());
            y += pitch;
        }
        line.clear();
    };
    for (const char *s = text;; s++) {
        if (*s == ' ' || *s == 0) {
            const std::string tried = line.empty() ? word : line + " " + word;
            if (font_measure(face, px, tried.c_str()).advance > width) {
                flush();
                line = word;
            } else {
                line = tried;
            }
            word.clear();
            if (!*s)
                break;
        } else {
            word += *s;
        }
    }
    flush();
    return y;
}

// ---------------------------------------------------------------- bouncing balls
// One palette, three ramps of 85: warm paper for the flat page, ice blue
// for the dug picture, rose for the raised one.
static const Ramp balls_ramps[3] = {
    {{226, 164, 76}, {255, 251, 238}, 0.55f},
    {{36, 130, 255}, {214, 238, 255}, 0.6f},
    {{236, 44, 96}, {255, 216, 226}, 0.6f},
};

static const char *const news_body[3] = {
    "A new show opens tonight on every Linux box that can still count to two hundred and fifty six. "
    "Every frame is drawn by the processor alone, into one small picture of three hundred and twenty by "
    "two hundred and forty pixels, then handed to the screen.",
    "No shaders and no graphics card: only loops, tables of sines, shade tables and a little fixed "
    "point arithmetic.",
    "The music is made by code as well and plays in a process of its own. Greetings go out to everyone who "
    "still writes a software renderer for the joy of it, and to all who keep old machines running.",
};

static void balls_news(const Palette *pal)
{
    const Ramp *paper = &balls_ramps[0];
    Canvas *c = canvas_create(320, 240);
    canvas_shade(c, [&](int x, int y, float *out) {
        ramp_colour(paper, 0.9f + 0.05f * noise_periodic(x / 9.0f, y / 9.0f, 64, 64, 5), out);
    });
    float ink[3], mid[3];
    ramp_colour(paper, 0.12f, ink);
    ramp_colour(paper, 0.55f, mid);

    Mask *m = mask_create(320, 240);
    // Masthead, rules, headline.
    const char *masthead = "THE SKARN TIMES";
    const int mpx = font_fit(font_bold, masthead, 300, 16, 34);
    const TextExtent me = font_measure(font_bold, mpx, masthead);
    font_draw_centred(m, font_bold, mpx, 8 - me.ink_top, masthead);
    const int rule_y = 8 + (me.ink_bottom - me.ink_top) + 5;
    const float rules[2][8] = {{6, (float)rule_y, 314, (float)rule_y, 314, rule_y + 2.0f, 6, rule_y + 2.0f},
                               {6, rule_y + 4.0f, 314, rule_y + 4.0f, 314, rule_y + 5.0f, 6, rule_y + 5.0f}};
    for (const auto &r : rules)
        mask_polygon(m, r, 4);
    font_draw(m, font_regular, 9, 8, rule_y + 14, "Linux edition");
    const char *price = "one frame, one penny";
    font_draw(m, font_regular, 9, 312 - font_measure(font_regular, 9, price).advance, rule_y + 14, price);
    const char *headline = "PIXELS STILL PLOTTED BY HAND";
    const int hpx = font_fit(font_bold, headline, 304, 10, 22);
    const TextExtent he = font_measure(font_bold, hpx, headline);
    const int head_base = rule_y + 20 - he.ink_top;
    font_draw_centred(m, font_bold, hpx, head_base, headline);
    const int col_top = head_base + he.ink_bottom + 14;
    // Three columns with rules between them; the middle one holds a picture.
    for (int k = 1; k < 3; k++) {
        const float x = 6 + k * 103 - 3.5f;
        const float rule[8] = {x, (float)col_top - 6, x + 1, (float)col_top - 6, x + 1, 234, x, 234};
        mask_polygon(m, rule, 4);
    }
    text_column(m, font_regular, 9, 8, col_top + 4, 96, 11, news_body[0]);
    const int pic_top = col_top - 2, pic_bottom = col_top + 66;
    text_column(m, font_regular, 9, 111, pic_bottom + 21, 96, 11, news_body[1]);
    font_draw(m, font_bold, 11, 214, col_top + 4, "Greetings");
    text_column(m, font_regular, 9, 214, col_top + 18, 96, 11, news_body[2]);
    canvas_blend_mask(c, m, 0, 0, ink, 1.0f);
    mask_free(m);

    // The picture in the middle column: a crystal on a glowing ground.
    Mask *frame = mask_create(320, 240);
    const float box[8] = {111, (float)pic_top, 207, (float)pic_top, 207, (float)pic_bottom, 111, (float)pic_bottom};
    mask_polygon(frame, box, 4);
    canvas_paint(
        c, frame, 0, 0,
        [&](int x, int y, float *out) {
            const float d = hypotf(x - 159.0f, y - (pic_bottom - 10.0f)) / 70.0f;
            ramp_colour(paper, 0.3f + 0.5f * clampf(1 - d, 0, 1), out);
        },
        1.0f);
    mask_free(frame);
    const float cx = 159, cy = (pic_top + pic_bottom) / 2.0f;
    const float facets[4][6] = {{cx, cy - 28, cx - 16, cy, cx, cy + 26},
                                {cx, cy - 28, cx + 16, cy, cx, cy + 26},
                                {cx - 16, cy, cx - 30, cy + 6, cx, cy + 26},
                                {cx + 16, cy, cx + 30, cy + 6, cx, cy + 26}};
    const float facet_t[4] = {0.97f, 0.7f, 0.82f, 0.5f};
    for (int k = 0; k < 4; k++) {
        Mask *f = mask_create(320, 240);
        mask_polygon(f, facets[k], 3);
        float col[3];
        ramp_colour(paper, facet_t[k], col);
        canvas_blend_mask(c, f, 0, 0, col, 1.0f);
        mask_free(f);
    }
    Mask *caption = mask_create(320, 240);
    font_draw(caption, font_regular, 8, 112, pic_bottom + 7, "skarn, drawn in code");
    canvas_blend_mask(c, caption, 0, 0, mid, 1.0f);
    mask_free(caption);
    datagen_save_canvas("grafika/4/news1.pcx", c, pal);
    canvas_free(c);
}

// Dug: deep water, rings from five sources and bright caustic lines.
static void balls_dug(const Palette *pal)
{
    Canvas *c = canvas_create(320, 240);
    const float src[5][2] = {{60, 50}, {250, 40}, {170, 130}, {40, 200}, {280, 210}};
    canvas_shade(c, [&](int x, int y, float *out) {
        float s = 0;
        for (const auto &p : src)
            s += sinf(hypotf(x - p[0], y - p[1]) / 7.0f);
        const float caustic = expf(-s * s * 3.0f);
        const float t = 0.3f + 0.06f * s + 0.45f * caustic + 0.1f * noise_periodic(x / 12.0f, y / 12.0f, 32, 32, 8);
        ramp_colour(&balls_ramps[1], t, out);
    });
    datagen_save_canvas("grafika/3/eger2.pcx", c, pal);
    canvas_free(c);
}

// Raised: faceted crystals, each cell a little pyramid lit from the top left.
static void balls_raised(const Palette *pal)
{
    CellField *cells = cell_field_create(16, 12, 20, 41);
    Canvas *c = canvas_create(320, 240);
    canvas_shade(c, [&](int x, int y, float *out) {
        int cell;
        ramp_colour(&balls_ramps[2], 0.05f + cell_field_facet(cells, (float)x, (float)y, 0.4f, &cell), out);
    });
    cell_field_free(cells);
    datagen_save_canvas("grafika/3/eger3.pcx", c, pal);
    canvas_free(c);
}

void gen_part4_pictures(void)
{
    Palette pal;
    palette_even_ramps(&pal, balls_ramps, 3);
    balls_news(&pal);
    balls_dug(&pal);
    balls_raised(&pal);
}

// ---------------------------------------------------------------- metaballs

static const Ramp plasma_ramps[5] = {
    {{255, 128, 16}, {255, 238, 200}, 0.6f}, // orange
    {{16, 200, 230}, {210, 250, 255}, 0.6f}, // cyan
    {{150, 50, 250}, {232, 214, 255}, 0.6f}, // purple
    {{150, 230, 30}, {236, 255, 210}, 0.6f}, // lime
    {{250, 60, 150}, {255, 216, 236}, 0.6f}, // pink
};

// Smooth bands of colour that fade through black from one hue to the next,
// so neighbouring ramps never meet at a hard edge.
template <typename Field> static void banded_picture(Canvas *c, const Ramp *ramps, float low, Field field)
{
    canvas_shade(c, [&](int x, int y, float *out) {
        const float f = field((float)x, (float)y);
        const int band = (int)floorf(f);
        const float frac = f - band;
        const float t = low + (1.0f - low) * powf(sinf(pi_f * frac), 0.6f);
        ramp_colour(&ramps[((band % 5) + 5) % 5], t, out);
    });
}

void gen_part5_pictures(void)
{
    // The light map: soft glows over a dim diagonal gradient.
    const float glows[5][3] = {{80, 70, 60}, {230, 60, 50}, {160, 150, 80}, {60, 200, 45}, {280, 200, 55}};
    grey_picture("grafika/2/3d_3.pcx", 320, 240, [&](int x, int y) {
        float v = 10.0f + 40.0f * (x + y) / 560.0f;
        for (const auto &g : glows) {
            const float d2 = (x - g[0]) * (x - g[0]) + (y - g[1]) * (y - g[1]);
            v += 260.0f * expf(-d2 / (2 * g[2] * g[2] * 0.35f));
        }
        return 255.0f * (1.0f - expf(-v / 130.0f)); // soft knee instead of clipping
    });

    Palette pal;
    palette_even_ramps(&pal, plasma_ramps, 5);
    Canvas *c = canvas_create(320, 240);
    banded_picture(c, plasma_ramps, 0.08f, [](float x, float y) {
        return 10.0f + 0.9f * (sinf(x / 37.0f) + sinf(y / 29.0f) + sinf((x + y) / 53.0f) +
                               sinf(hypotf(x - 170.0f, y - 110.0f) / 31.0f));
    });
    datagen_save_canvas("grafika/2/kk.pcx", c, &pal);
    canvas_free(c);
}

// ---------------------------------------------------------------- spinning objects and pages
static const Ramp bb_ramps[5] = {
    {{20, 190, 170}, {206, 255, 246}, 0.6f}, // teal
    {{255, 170, 20}, {255, 244, 206}, 0.6f}, // amber
    {{240, 50, 80}, {255, 214, 222}, 0.6f},  // rose
    {{70, 60, 240}, {220, 218, 255}, 0.6f},  // indigo
    {{110, 230, 60}, {228, 255, 214}, 0.6f}, // lime
};

// A corner badge: a quarter disc centred on the screen corner (so its two
// straight sides lie on the screen edges) with rings and a four-point star.
static void bb_badge(const char *path, int corner_x, int corner_y, const Palette *pal)
{
    const int size = 64;
    Canvas *c = canvas_create(size, size); // black: transparent
    const float cx = corner_x ? size : 0.0f, cy = corner_y ? size : 0.0f;
    Mask *disc = mask_create(size, size);
    mask_disc(disc, cx, cy, 62);
    canvas_paint(
        c, disc, 0, 0,
        [&](int x, int y, float *out) {
            const float d = hypotf(x + 0.5f - cx, y + 0.5f - cy);
            const int ring = d < 26 ? 1 : (d < 44 ? 3 : 0);
            const float t = 0.4f + 0.55f * sinf(pi_f * fmodf(d, 18.0f) / 18.0f);
            ramp_colour(&bb_ramps[ring], t, out);
        },
        1.0f);
    // Full cover only: the quantized badge must have no pixel that reads as
    // black (transparent) inside it, so edge pixels are either in or out.
    for (int i = 0; i < size * size; i++)
        if (disc->cover[i] < 0.5f)
            c->rgb[3 * i] = c->rgb[3 * i + 1] = c->rgb[3 * i + 2] = 0;
    const float sx = fabsf(cx - 22), sy = fabsf(cy - 22);
    const float star[16] = {sx, sy - 14, sx + 4, sy - 4, sx + 14, sy, sx + 4, sy + 4,
                            sx, sy + 14, sx - 4, sy + 4, sx - 14, sy, sx - 4, sy - 4};
    Mask *s = mask_create(size, size);
    mask_polygon(s, star, 8);
    float white[3];
    ramp_colour(&bb_ramps[1], 0.98f, white);
    canvas_blend_mask(c, s, 0, 0, white, 1.0f);
    mask_free(s);
    mask_free(disc);
    datagen_save_canvas(path, c, pal);
    canvas_free(c);
}

void gen_part6_pictures(void)
{
    grey_picture("grafika/4/sinus.pcx", 320, 240, [](int x, int y) {
        const float d1 = hypotf(x - 100.0f, y - 90.0f), d2 = hypotf(x - 230.0f, y - 160.0f);
        return 128.0f + 62.0f * sinf(d1 / 6.0f) + 62.0f * sinf(d2 / 7.5f);
    });

    Palette pal;
    palette_even_ramps(&pal, bb_ramps, 5);
    Canvas *c = canvas_create(320, 240);
    banded_picture(c, bb_ramps, 0.1f, [](float x, float y) {
        return 20.0f + x / 45.0f + 1.4f * sinf(y / 23.0f + x / 71.0f) +
               1.6f * noise_periodic(x / 40.0f, y / 40.0f, 8, 6, 12);
    });
    datagen_save_canvas("grafika/4/3d_bb2.pcx", c, &pal);
    canvas_free(c);

    // Textures: a soft checker (64 x 64) and ringed tiles (256 x 256).
    Canvas *t = canvas_create(64, 64);
    canvas_shade(t, [&](int x, int y, float *out) {
        const int k = ((x >> 4) + (y >> 4)) & 1;
        const float d = hypotf((x & 15) - 7.5f, (y & 15) - 7.5f) / 10.6f;
        ramp_colour(&bb_ramps[k ? 0 : 3], 0.85f - 0.45f * d, out);
    });
    datagen_save_canvas("3d/none.pcx", t, &pal);
    canvas_free(t);
    Canvas *u = canvas_create(256, 256);
    canvas_shade(u, [&](int x, int y, float *out) {
        const int tile = ((x >> 6) + 4 * (y >> 6)) % 5;
        const float d = hypotf((x & 63) - 31.5f, (y & 63) - 31.5f);
        ramp_colour(&bb_ramps[tile], 0.25f + 0.7f * (0.5f + 0.5f * cosf(d / 3.5f)) * (1 - d / 60.0f),
                    out);
    });
    datagen_save_canvas("3d/3d_bb1.pcx", u, &pal);
    canvas_free(u);

    bb_badge("grafika/5/kkol_ja.pcx", 1, 1, &pal);
    bb_badge("grafika/5/kkol_jf.pcx", 1, 0, &pal);
    bb_badge("grafika/5/kkol_ba.pcx", 0, 1, &pal);
    bb_badge("grafika/5/kkol_bf.pcx", 0, 0, &pal);
}

// A text page: the index is the brightness, 255 in the letters, the
// antialiased edge within 100..255, 0 elsewhere.
static void pages_write(const char *path, const char *const *lines, int n)
{
    Mask *m = mask_create(320, 240);
    const int px = font_fit_lines(font_bold, lines, n, 296, 30, 60);
    if (!px)
        datagen_fail("page text does not fit");
    const int cap = font_cap_height(font_bold, px);
    const int pitch = std::min(220 / n, cap * 2);
    const int top = (240 - pitch * n) / 2;
    for (int i = 0; i < n; i++)
        font_draw_centred(m, font_bold, px, top + i * pitch + (pitch + cap) / 2, lines[i]);
    grey_picture(path, 320, 240, [&](int x, int y) {
        const int cover = (int)lrintf(m->cover[y * 320 + x] * 155.0f);
        return cover > 0 ? 100.0f + cover : 0.0f;
    });
    mask_free(m);
}

void gen_part7_pages(void)
{
    static const char *const p1[] = {"SKARN", "A SMALL SHOW", "FOR LINUX"};
    static const char *const p2[] = {"CODE, PIXELS", "AND MUSIC", "BY VELK"};
    static const char *const p3[] = {"EVERY FRAME", "DRAWN BY", "THE CPU"};
    static const char *const p4[] = {"THANKS", "FOR", "WATCHING"};
    pages_write("grafika/txt-01.pcx", p1, 3);
    pages_write("grafika/txt-02.pcx", p2, 3);
    pages_write("grafika/txt-03.pcx", p3, 3);
    pages_write("grafika/txt-04.pcx", p4, 3);
}

// ---------------------------------------------------------------- closing picture
// Its own palette, shown unsorted: night blue for the sky, teal for the
// crystal hills, gold for the glow and the lettering.
static const Ramp closing_ramps[3] = {
    {{50, 44, 150}, {255, 176, 112}, 0.5f}, // night blue to a warm dusk
    {{20, 170, 160}, {210, 255, 250}, 0.6f},
    {{255, 180, 40}, {255, 250, 220}, 0.55f},
};

void gen_part8_closing(void)
{
    Palette pal;
    memset(pal.rgb, 0, sizeof pal.rgb);
    palette_put_ramp(&pal, 1, 80, &closing_ramps[0]);
    palette_put_ramp(&pal, 81, 80, &closing_ramps[1]);
    palette_put_ramp(&pal, 161, 95, &closing_ramps[2]);

    // The title, and a halo around it that the sky takes as extra light.
    const char *title = "SKARN";
    const int px = font_fit(font_bold, title, 260, 40, 80);
    Mask *m = mask_create(320, 240);
    const int baseline = 100;
    const TextExtent e = font_draw_centred(m, font_bold, px, baseline, title);
    Mask *halo = mask_grow(m, 10);
    mask_blur(halo, 5);

    Canvas *c = canvas_create(320, 240);
    // Sky: dark at the top, warming towards a glow on the horizon, all on
    // the one dusk ramp so the gradient stays smooth.
    canvas_shade(c, [&](int x, int y, float *out) {
        const float glow = expf(-(powf((x - 160) / 170.0f, 2) + powf((y - 180) / 70.0f, 2)));
        const float t = 0.12f + 0.3f * (y / 240.0f) + 0.55f * glow + 0.3f * halo->cover[y * 320 + x];
        ramp_colour(&closing_ramps[0], t, out);
    });
    // Stars.
    for (int i = 0; i < 90; i++) {
        const uint32_t h = noise_hash((uint32_t)i * 2246822519U + 7);
        const int x = h % 320, y = (h >> 9) % 120;
        float star[3];
        ramp_colour(&closing_ramps[2], 0.9f + 0.1f * ((h >> 20) & 1), star);
        canvas_blend(c, x, y, star, 1.0f);
        if ((h >> 24) % 5 == 0)
            for (int d = -1; d <= 1; d += 2) {
                canvas_blend(c, x + d, y, star, 0.5f);
                canvas_blend(c, x, y + d, star, 0.5f);
            }
    }
    // Crystal hills: a jagged ridge of peaks; each slope is one facet, lit
    // when it faces the glow in the middle.
    std::vector<float> ridge = {0, 240};
    for (float x = 0; x < 340; ) {
        const uint32_t h = noise_hash((uint32_t)x + 300);
        const bool peak = (ridge.size() / 2) & 1;
        ridge.push_back(x);
        ridge.push_back(peak ? 150.0f + (h % 36) : 196.0f + (h % 16));
        x += 14 + (h >> 8) % 18;
    }
    ridge.push_back(ridge[ridge.size() - 2]);
    ridge.push_back(240);
    Mask *hills = mask_create(320, 240);
    mask_polygon(hills, ridge.data(), (int)ridge.size() / 2);
    canvas_paint(
        c, hills, 0, 0,
        [&](int x, int y, float *out) {
            size_t k = 2;
            while (k + 4 < ridge.size() - 2 && ridge[k + 2] <= x)
                k += 2;
            const float x0 = ridge[k], y0 = ridge[k + 1], x1 = ridge[k + 2], y1 = ridge[k + 3];
            const bool faces_left = y1 < y0; // the slope rises to the right
            const bool lit = faces_left == ((x0 + x1) / 2 > 160);
            const float t = (lit ? 0.5f : 0.3f) - 0.18f * ((y - 150) / 90.0f);
            ramp_colour(&closing_ramps[1], t, out);
        },
        1.0f);
    mask_free(hills);

    canvas_outline(c, m, 3, 0.8f);
    canvas_paint(
        c, m, 0, 0,
        [&](int, int y, float *out) {
            const float f = clampf((y - (baseline + e.ink_top)) / (float)(e.ink_bottom - e.ink_top), 0, 1);
            ramp_colour(&closing_ramps[2], 1.0f - 0.4f * f, out);
        },
        1.0f);
    mask_free(halo);
    mask_free(m);

    static const char *const lines[2] = {"thank you for watching", "a show by velk, made in code"};
    for (int i = 0; i < 2; i++) {
        Mask *t = mask_create(320, 240);
        const int tpx = i ? 12 : 16;
        font_draw_centred(t, i ? font_regular : font_bold, tpx, 128 + 20 * i, lines[i]);
        float col[3];
        ramp_colour(&closing_ramps[i ? 1 : 2], i ? 0.92f : 0.97f, col);
        canvas_blend_mask(c, t, 0, 0, col, 1.0f);
        mask_free(t);
    }
    datagen_save_canvas("grafika/5/grimfall.pcx", c, &pal);
    canvas_free(c);
}
