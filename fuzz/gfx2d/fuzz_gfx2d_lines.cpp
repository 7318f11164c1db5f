// fuzz_gfx2d_lines: lines with any ends on small images. Nothing outside the
// pixels is written; for ends within 40000 every pixel lies within two
// pixels of the true segment.
#include "fuzz_input.h"

#include <algorithm>
#include <cmath>

static double distance_to_segment(double px, double py, double ax, double ay, double bx, double by)
{
    const double vx = bx - ax, vy = by - ay, len2 = vx * vx + vy * vy;
    double t = len2 > 0 ? ((px - ax) * vx + (py - ay) * vy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - (ax + t * vx), py - (ay + t * vy));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in{data, size};
    const int w = 1 + in.u8() % 48, h = 1 + in.u8() % 40;
    FuzzImage g(w, h, 0);
    while (in.size >= 4) {
        const int x0 = in.coord(), y0 = in.coord(), x1 = in.coord(), y1 = in.coord();
        memset(g.img.pixels, 0, (size_t)w * h);
        draw_line(&g.img, x0, y0, x1, y1, 1);
        g.check();
        const bool near = std::abs((long)x0) <= 40000 && std::abs((long)y0) <= 40000 &&
                          std::abs((long)x1) <= 40000 && std::abs((long)y1) <= 40000;
        if (!near)
            continue;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (g.img.pixels[y * w + x] && distance_to_segment(x, y, x0, y0, x1, y1) > 2.0)
                    abort();
    }
    return 0;
}
