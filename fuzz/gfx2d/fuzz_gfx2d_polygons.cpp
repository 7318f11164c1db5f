// fuzz_gfx2d_polygons: the five polygon fillers with any corners, texel
// positions and light levels on small buffers, with exactly sized edge
// tables and textures of the masked and the modulo sizes. Nothing outside
// the buffer is written and nothing outside the texture is read (the
// texture sits between guard bytes no texel equals).
#include "fuzz_input.h"

static ShadeTable fuzz_table;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in{data, size};
    const int w = 1 + in.u8() % 64, h = 1 + in.u8() % 48;
    static const int tex_sizes[][2] = {{64, 64}, {256, 256}, {37, 23}, {1, 1}, {16, 64}};
    const auto &ts = tex_sizes[in.u8() % 5];
    GuardedImage tex(ts[0], ts[1], 0);
    for (int i = 0; i < ts[0] * ts[1]; i++)
        tex->pixels[i] = (uint8_t)(1 + i % 80);
    GuardedImage dst(w, h, 0);
    std::vector<ScanlineEdge> e1(h), e2(h);
    while (in.size >= 8) {
        const int kind = in.u8() % 5, n = in.u8() % 9;
        std::vector<PolygonPoint> p(n), uv(n);
        std::vector<PolygonLight> light(n);
        for (int i = 0; i < n; i++) {
            p[i] = {in.coord(), in.coord()};
            uv[i] = {in.coord(), in.coord()};
            light[i] = {(int)(in.u8() % 80), 0};
        }
        const int level = (int)in.u8() - 100;
        switch (kind) {
        case 0: poly_fill_flat(dst->pixels, w, h, e1.data(), e2.data(), p.data(), n, 3); break;
        case 1:
            poly_fill_textured(dst->pixels, w, h, e1.data(), e2.data(), p.data(), uv.data(), n,
                               tex->pixels, ts[0], ts[1]);
            break;
        case 2:
            poly_fill_gouraud(dst->pixels, w, h, e1.data(), e2.data(), p.data(), light.data(), n);
            break;
        case 3:
            poly_fill_gouraud_shaded(dst->pixels, w, h, e1.data(), e2.data(), p.data(),
                                     light.data(), n, 9, &fuzz_table);
            break;
        default:
            poly_fill_textured_shaded(dst->pixels, w, h, e1.data(), e2.data(), p.data(),
                                      uv.data(), n, tex->pixels, ts[0], ts[1], level,
                                      &fuzz_table);
            break;
        }
        fuzz_check(dst);
        if (kind == 1)
            for (int i = 0; i < w * h; i++)
                if (dst->pixels[i] == GuardedImage::pattern)
                    abort();
    }
    return 0;
}
