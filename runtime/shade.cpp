// shade.cpp: building a 64-level shade table from a palette. A file of its
// own: the build looks at the show's stop request between its rows, which
// the palette helpers (also used by the data generator) have no need of.
#include "skarn.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

// Scratch of the shade-table build: the palette's squared components.
static int shade_squares[256][3];

void palette_build_shade_table(const Palette *pal, ShadeTable *out)
{
    for (int j = 0; j < 256; j++)
        for (int k = 0; k < 3; k++)
            shade_squares[j][k] = pal->rgb[j * 3 + k] * pal->rgb[j * 3 + k];

    for (int level = 0; level < 64; level++) {
        // The longest step of a part's load: a stop asked for meanwhile is
        // taken between two rows rather than after the whole table.
        show_check_stop();
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
