// fuzz_gfx2d_blits: the six rectangle blits with any corners and sizes
// between small images; nothing outside either image is touched.
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in{data, size};
    const int sw = 1 + in.u8() % 40, sh = 1 + in.u8() % 40;
    const int dw = 1 + in.u8() % 40, dh = 1 + in.u8() % 40;
    GuardedImage src(sw, sh, 7), dst(dw, dh, 1);
    while (in.size >= 6) {
        const int op = in.u8() % 6, key = in.u8(), use_key = in.u8() % 3;
        const int dx = in.coord(), dy = in.coord(), sx = in.coord(), sy = in.coord();
        const int w = in.coord(), h = in.coord();
        switch (op) {
        case 0: blit_keyed(dst.get(), dx, dy, src.get(), sx, sy, w, h, key, use_key); break;
        case 1: blit_xor_keyed(dst.get(), dx, dy, src.get(), sx, sy, w, h, key); break;
        case 2: blit_or_keyed(dst.get(), dx, dy, src.get(), sx, sy, w, h, key); break;
        case 3: blit_not_keyed(dst.get(), dx, dy, src.get(), sx, sy, w, h, key); break;
        case 4: blit_add_saturate(dst.get(), dx, dy, src.get(), sx, sy, w, h, key, use_key); break;
        default: blit_sub_saturate(dst.get(), dx, dy, src.get(), sx, sy, w, h, key, use_key); break;
        }
        fuzz_check(src);
        fuzz_check(dst);
    }
    return 0;
}
