// fuzz_pcx: any bytes through the PCX decoder. Nothing may be read or
// written outside the file data and the pixel buffer, whatever the header
// claims.
#include "skarn.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    // A private copy, so reads past the end are caught exactly.
    uint8_t *copy = (uint8_t *)malloc(size ? size : 1);
    memcpy(copy, data, size);
    uint8_t *pixels = nullptr;
    Palette pal;
    int w = 0, h = 0;
    int r = pcx_decode("fuzz", copy, (long)size, &pixels, &pal, &w, &h);
    if (r == 0) {
        // Touch every decoded pixel: the buffer must be width x height.
        unsigned sum = 0;
        for (size_t i = 0; i < (size_t)w * (size_t)h; i++)
            sum += pixels[i];
        (void)sum;
    } else if (pixels) {
        abort();  // a failure must not hand out pixels
    }
    free(pixels);
    free(copy);
    return 0;
}
