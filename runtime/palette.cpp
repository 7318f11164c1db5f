// palette.cpp: the shared palette buffer, nearest-colour search, the
// brightness sort and the 64-level shade tables.
#include "skarn.h"

#include <algorithm>
#include <climits>
#include <cstring>

Palette current_palette;
ShadeTable current_shade_table;

int palette_find_nearest(int colour, const Palette *pal)
{
    const int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    int best = 268435456;  // 2^28: above any real squared distance
    int best_index = 0;
    for (int i = 0; i < 256; i++) {
        const uint8_t *e = &pal->rgb[i * 3];
        int dr = r - e[0], dg = g - e[1], db = b - e[2];
        int d = dr * dr + dg * dg + db * db;
        if (d < best) {  // strictly smaller: ties keep the lower index
            best = d;
            best_index = i;
        }
    }
    return best_index;
}

// Scratch of the shade-table build: the palette's squared components.
static int shade_squares[256][3];

void palette_build_shade_table(const Palette *pal, ShadeTable *out)
{
    for (int j = 0; j < 256; j++)
        for (int k = 0; k < 3; k++)
            shade_squares[j][k] = pal->rgb[j * 3 + k] * pal->rgb[j * 3 + k];

    for (int level = 0; level < 64; level++) {
        for (int c = 0; c < 256; c++) {
            int t2[3];
            for (int k = 0; k < 3; k++) {
                int x = pal->rgb[c * 3 + k];
                int t = level < 32 ? x * (level + 1) / 32 : std::min(x * (level - 16) / 16, 255);
                t2[k] = t * t;
            }
            // Sum of absolute differences of squared components; <= gives
            // ties to the higher index.
            int best = INT_MAX, best_index = 0;
            for (int j = 0; j < 256; j++) {
                int d = abs(t2[0] - shade_squares[j][0]) + abs(t2[1] - shade_squares[j][1]) +
                        abs(t2[2] - shade_squares[j][2]);
                if (d <= best) {
                    best = d;
                    best_index = j;
                }
            }
            out->level[level][c] = (uint8_t)best_index;
        }
    }
}

int palette_compare_brightness(const PaletteSortItem *a, const PaletteSortItem *b)
{
    return (a->key > b->key) - (a->key < b->key);
}

void palette_sort_by_brightness(Palette *out, const Palette *in)
{
    PaletteSortItem items[256];
    for (int i = 0; i < 256; i++) {
        const uint8_t *e = &in->rgb[i * 3];
        items[i] = {e[0] * e[0] + e[1] * e[1] + e[2] * e[2], e[0], e[1], e[2]};
    }
    // A stable sort: equal keys keep their order from the input.
    std::stable_sort(items, items + 256, [](const PaletteSortItem &a, const PaletteSortItem &b) {
        return palette_compare_brightness(&a, &b) < 0;
    });
    for (int i = 0; i < 256; i++) {
        out->rgb[i * 3 + 0] = items[i].red;
        out->rgb[i * 3 + 1] = items[i].green;
        out->rgb[i * 3 + 2] = items[i].blue;
    }
}

void palette_rotate(Palette *pal, int start, int count, int shift)
{
    if (start < 0 || count < 1 || start + count > 256 || shift < 0)
        return;
    uint8_t saved[768];
    memcpy(saved, &pal->rgb[start * 3], (size_t)count * 3);
    for (int j = 0; j < count; j++) {
        int from = (j + shift) % count;
        memcpy(&pal->rgb[(start + j) * 3], &saved[from * 3], 3);
    }
}
