// fuzz_input.h: reads a fuzzer's bytes as a stream of small and large
// integers, and keeps images between guard bytes.
#pragma once

#include "gfx2d.h"

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

constexpr int fuzz_guard = 32;
constexpr uint8_t fuzz_pattern = 0x5A;

// Pixels of w x h bytes between two guard zones.
struct FuzzImage {
    std::vector<uint8_t> store;
    Image img;
    FuzzImage(int w, int h, uint8_t fill)
        : store((size_t)w * h + 2 * fuzz_guard, fuzz_pattern), img{w, h, store.data() + fuzz_guard}
    {
        memset(img.pixels, fill, (size_t)w * h);
    }
    void check() const
    {
        const size_t n = (size_t)img.width * img.height;
        for (int i = 0; i < fuzz_guard; i++)
            if (store[i] != fuzz_pattern || store[fuzz_guard + n + i] != fuzz_pattern)
                abort();
    }
};
