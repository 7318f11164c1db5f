// font.cpp: text for the generated pictures, rendered antialiased with
// FreeType from Debian's DejaVu fonts (fonts-dejavu-core).
#include "datagen.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>

static FT_Library font_library;
static FT_Face font_faces[3];

static const char *const font_paths[3] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf",
};

void font_open(void)
{
    if (FT_Init_FreeType(&font_library))
        datagen_fail("cannot start FreeType");
    for (int i = 0; i < 3; i++)
        if (FT_New_Face(font_library, font_paths[i], 0, &font_faces[i]))
            datagen_fail("cannot open font %s (package fonts-dejavu-core)", font_paths[i]);
}

void font_close(void)
{
    for (FT_Face &f : font_faces)
        FT_Done_Face(f);
    FT_Done_FreeType(font_library);
}

// Walks the glyphs of a line: calls visit(glyph slot, pen x) for each, with
// kerning applied; returns the advance of the whole line.
template <typename Visit> static int font_walk(FontFace face, int px, const char *text, Visit visit)
{
    FT_Face f = font_faces[face];
    FT_Set_Pixel_Sizes(f, 0, (FT_UInt)px);
    int pen = 0;
    FT_UInt previous = 0;
    for (const unsigned char *s = (const unsigned char *)text; *s; s++) {
        const FT_UInt glyph = FT_Get_Char_Index(f, *s);
        if (previous && glyph && FT_HAS_KERNING(f)) {
            FT_Vector k;
            FT_Get_Kerning(f, previous, glyph, FT_KERNING_DEFAULT, &k);
            pen += (int)(k.x >> 6);
        }
        if (FT_Load_Glyph(f, glyph, FT_LOAD_RENDER))
            datagen_fail("cannot render a glyph");
        visit(f->glyph, pen);
        pen += (int)(f->glyph->advance.x >> 6);
        previous = glyph;
    }
    return pen;
}

TextExtent font_measure(FontFace face, int px, const char *text)
{
    TextExtent e = {0, INT_MAX, INT_MIN, INT_MAX, INT_MIN};
    e.advance = font_walk(face, px, text, [&](FT_GlyphSlot g, int pen) {
        const FT_Bitmap &b = g->bitmap;
        for (unsigned r = 0; r < b.rows; r++)
            for (unsigned c = 0; c < b.width; c++)
                if (b.buffer[r * b.pitch + c]) {
                    e.ink_left = std::min(e.ink_left, pen + g->bitmap_left + (int)c);
                    e.ink_right = std::max(e.ink_right, pen + g->bitmap_left + (int)c + 1);
                    e.ink_top = std::min(e.ink_top, -g->bitmap_top + (int)r);
                    e.ink_bottom = std::max(e.ink_bottom, -g->bitmap_top + (int)r + 1);
                }
    });
    if (e.ink_left == INT_MAX)
        e.ink_left = e.ink_right = e.ink_top = e.ink_bottom = 0;
    return e;
}

void font_draw(Mask *m, FontFace face, int px, int x, int y, const char *text)
{
    font_walk(face, px, text, [&](FT_GlyphSlot g, int pen) {
        const FT_Bitmap &b = g->bitmap;
        for (unsigned r = 0; r < b.rows; r++)
            for (unsigned c = 0; c < b.width; c++)
                mask_max(m, x + pen + g->bitmap_left + (int)c, y - g->bitmap_top + (int)r,
                         b.buffer[r * b.pitch + c] / 255.0f);
    });
}

int font_ink_width(const TextExtent &e)
{
    return e.ink_right - std::min(e.ink_left, 0);
}

TextExtent font_draw_centred(Mask *m, FontFace face, int px, int y, const char *text)
{
    const TextExtent e = font_measure(face, px, text);
    font_draw(m, face, px, m->width / 2 - (e.ink_left + e.ink_right) / 2, y, text);
    return e;
}

int font_fit(FontFace face, const char *text, int width, int min_px, int max_px)
{
    for (int px = max_px; px >= min_px; px--)
        if (font_ink_width(font_measure(face, px, text)) <= width)
            return px;
    return 0;
}

int font_fit_lines(FontFace face, const char *const *lines, int n, int width, int min_px, int max_px)
{
    int px = max_px;
    for (int i = 0; i < n; i++)
        px = std::min(px, font_fit(face, lines[i], width, min_px, max_px));
    return px;
}

int font_cap_height(FontFace face, int px)
{
    const TextExtent e = font_measure(face, px, "H");
    return e.ink_bottom - e.ink_top;
}
