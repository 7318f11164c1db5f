// test_target.h: a render target for the filler tests, held inside a larger
// buffer whose guard bands before and after must stay untouched.
#pragma once

#include "engine3d.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

constexpr int TARGET_W = 320;
constexpr int TARGET_H = 240;
constexpr int TARGET_GUARD = 4096;
constexpr uint8_t TARGET_CANARY = 0xA5;

struct TestTarget {
    std::vector<uint8_t> buffer;
    int width, height;

    explicit TestTarget(int w = TARGET_W, int h = TARGET_H)
        : buffer((size_t)w * h + 2 * TARGET_GUARD, TARGET_CANARY), width(w), height(h)
    {
        clear(0);
        render_set_target(pixels(), w, h);
    }
    uint8_t *pixels() { return buffer.data() + TARGET_GUARD; }
    uint8_t at(int x, int y) { return pixels()[(size_t)y * width + x]; }
    void clear(uint8_t c) { std::fill(pixels(), pixels() + (size_t)width * height, c); }
    bool guards_intact() const
    {
        for (int i = 0; i < TARGET_GUARD; i++)
            if (buffer[i] != TARGET_CANARY || buffer[buffer.size() - 1 - i] != TARGET_CANARY)
                return false;
        return true;
    }
    // First and last written (non-zero) column of a row, or {-1, -1}.
    std::pair<int, int> span(int y)
    {
        int lo = -1, hi = -1;
        for (int x = 0; x < width; x++)
            if (at(x, y)) {
                if (lo < 0)
                    lo = x;
                hi = x;
            }
        return {lo, hi};
    }
    int count_written()
    {
        int n = 0;
        for (size_t i = 0; i < (size_t)width * height; i++)
            n += pixels()[i] != 0;
        return n;
    }
    std::vector<uint8_t> snapshot() { return {pixels(), pixels() + (size_t)width * height}; }
};

inline ScreenTriangle screen_tri(int xa, int ya, int xb, int yb, int xc, int yc)
{
    return ScreenTriangle{xa, ya, xb, yb, xc, yc};
}

using RowSpan = std::pair<int, int>;
