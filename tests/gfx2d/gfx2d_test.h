// gfx2d_test.h: helpers of the 2D library tests and fuzz targets: images
// with guard bytes around their pixels, masks, and a point's distance to a
// segment.
#pragma once

#include "gfx2d.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// An Image whose pixel buffer sits between two guard zones of a known
// pattern; guards_intact() tells whether anything wrote outside the pixels.
struct GuardedImage {
    static constexpr int guard = 64;
    static constexpr uint8_t pattern = 0xA5;
    std::vector<uint8_t> store;
    Image img;

    GuardedImage(int w, int h, uint8_t fill = 0)
        : store((size_t)w * h + 2 * guard, pattern), img{w, h, nullptr}
    {
        img.pixels = store.data() + guard;
        memset(img.pixels, fill, (size_t)w * h);
    }
    GuardedImage(const GuardedImage &) = delete;
    GuardedImage &operator=(const GuardedImage &) = delete;

    Image *operator->() { return &img; }
    Image *get() { return &img; }
    uint8_t &at(int x, int y) { return img.pixels[(size_t)y * img.width + x]; }
    bool guards_intact() const
    {
        const size_t n = (size_t)img.width * img.height;
        for (int i = 0; i < guard; i++)
            if (store[i] != pattern || store[guard + n + i] != pattern)
                return false;
        return true;
    }
    // Pixels as rows of characters: '.' for 0, '#' for anything else.
    std::string mask() const
    {
        std::string s;
        for (int y = 0; y < img.height; y++) {
            for (int x = 0; x < img.width; x++)
                s += img.pixels[(size_t)y * img.width + x] ? '#' : '.';
            s += '\n';
        }
        return s;
    }
    int count_nonzero() const
    {
        int c = 0;
        for (int i = 0; i < img.width * img.height; i++)
            c += img.pixels[i] != 0;
        return c;
    }
};

// Distance from pixel (px, py) to the segment from (ax, ay) to (bx, by).
inline double distance_to_segment(double px, double py, double ax, double ay, double bx, double by)
{
    const double vx = bx - ax, vy = by - ay, len2 = vx * vx + vy * vy;
    double t = len2 > 0 ? ((px - ax) * vx + (py - ay) * vy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - (ax + t * vx), py - (ay + t * vy));
}

// Joins rows into one string, for readable expected masks.
inline std::string rows(std::initializer_list<const char *> lines)
{
    std::string s;
    for (const char *l : lines) {
        s += l;
        s += '\n';
    }
    return s;
}
