// fuzz_gfx2d_lines: lines with any ends on small images. Nothing outside the
// pixels is written; for ends within 40000 every pixel lies within two
// pixels of the true segment.
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in{data, size};
    const int w = 1 + in.u8() % 48, h = 1 + in.u8() % 40;
    GuardedImage g(w, h, 0);
    while (in.size >= 4) {
        const int x0 = in.coord(), y0 = in.coord(), x1 = in.coord(), y1 = in.coord();
        memset(g->pixels, 0, (size_t)w * h);
        draw_line(g.get(), x0, y0, x1, y1, 1);
        fuzz_check(g);
        const bool near = std::abs((long)x0) <= 40000 && std::abs((long)y0) <= 40000 &&
                          std::abs((long)x1) <= 40000 && std::abs((long)y1) <= 40000;
        if (!near)
            continue;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (g->pixels[y * w + x] && distance_to_segment(x, y, x0, y0, x1, y1) > 2.0)
                    abort();
    }
    return 0;
}
