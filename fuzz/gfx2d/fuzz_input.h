// fuzz_input.h: reads a fuzzer's bytes as a stream of small and large
// integers; images between guard bytes come from the tests' helpers.
#pragma once

#include "gfx2d.h"
#include "../../tests/gfx2d/gfx2d_test.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

struct FuzzInput {
    const uint8_t *data;
    size_t size;

    uint32_t u32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) {
            v = v << 8 | (size ? *data : 0);
            if (size)
                data++, size--;
        }
        return v;
    }
    uint8_t u8()
    {
        uint8_t v = size ? *data : 0;
        if (size)
            data++, size--;
        return v;
    }
    // Mostly coordinates near a small image, sometimes up to +-40000,
    // rarely any int at all.
    int coord()
    {
        const uint8_t kind = u8();
        const uint32_t v = u32();
        if (kind < 128)
            return (int)(v % 120) - 40;
        if (kind < 250)
            return (int)(v % 80001) - 40000;
        return (int)v;
    }
};

// Aborts, for the fuzzer to report, when something wrote outside g's pixels.
inline void fuzz_check(const GuardedImage &g)
{
    if (!g.guards_intact())
        abort();
}
