// Channel descriptors, the pixel lookup and the frame conversion of the
// X11 back end, checked byte for byte without a server.
#include "pixel_convert.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

Palette palette_with(std::initializer_list<std::array<uint8_t, 3>> colours)
{
    Palette p{};
    int i = 0;
    for (const auto &c : colours) {
        memcpy(&p.rgb[i * 3], c.data(), 3);
        i++;
    }
    return p;
}

void channels(PixelChannel out[3], unsigned long r, unsigned long g, unsigned long b)
{
    out[0] = pixel_channel_from_mask(r);
    out[1] = pixel_channel_from_mask(g);
    out[2] = pixel_channel_from_mask(b);
}

}  // namespace

TEST(X11Lookup, ChannelsFromMasks)
{
    PixelChannel c[3];
    channels(c, 0xF800, 0x07E0, 0x001F);
    EXPECT_EQ(c[0].shift, 11);
    EXPECT_EQ(c[0].bits, 5);
    EXPECT_EQ(c[1].shift, 5);
    EXPECT_EQ(c[1].bits, 6);
    EXPECT_EQ(c[2].shift, 0);
    EXPECT_EQ(c[2].bits, 5);
    const PixelChannel ten = pixel_channel_from_mask(0x3FF00000);
    EXPECT_EQ(ten.shift, 20);
    EXPECT_EQ(ten.bits, 10);
    const PixelChannel none = pixel_channel_from_mask(0);
    EXPECT_EQ(none.bits, 0);
    EXPECT_EQ(none.shift, 0);
}

TEST(X11Lookup, Rgb565)
{
    PixelChannel c[3];
    channels(c, 0xF800, 0x07E0, 0x001F);
    Palette p = palette_with({{255, 255, 255}, {255, 0, 0}, {8, 4, 8}, {0, 0, 0}, {7, 3, 7}});
    uint32_t lookup[256];
    pixel_build_lookup(lookup, &p, c, 2, false);
    EXPECT_EQ(lookup[0], 0xFFFFu);
    EXPECT_EQ(lookup[1], 0xF800u);
    EXPECT_EQ(lookup[2], 0x0821u);
    EXPECT_EQ(lookup[3], 0u);
    EXPECT_EQ(lookup[4], 0u);  // below one step of every channel
    pixel_build_lookup(lookup, &p, c, 2, true);
    EXPECT_EQ(lookup[1], 0x00F8u);  // bytes reversed for an image of the other order
}

TEST(X11Lookup, Rgb888InFourBytes)
{
    PixelChannel c[3];
    channels(c, 0xFF0000, 0x00FF00, 0x0000FF);
    Palette p{};
    for (int i = 0; i < 768; i++)
        p.rgb[i] = (uint8_t)(i * 13 + 5);
    uint32_t lookup[256];
    pixel_build_lookup(lookup, &p, c, 4, false);
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(lookup[i], (uint32_t)p.rgb[i * 3] << 16 | p.rgb[i * 3 + 1] << 8 | p.rgb[i * 3 + 2]) << i;
    pixel_build_lookup(lookup, &p, c, 4, true);
    EXPECT_EQ(lookup[1], __builtin_bswap32((uint32_t)p.rgb[3] << 16 | p.rgb[4] << 8 | p.rgb[5]));
}

TEST(X11Lookup, TenBitChannelsWidenComponents)
{
    PixelChannel c[3];
    channels(c, 0x3FF00000, 0x000FFC00, 0x000003FF);
    Palette p = palette_with({{255, 128, 1}});
    uint32_t lookup[256];
    pixel_build_lookup(lookup, &p, c, 4, false);
    EXPECT_EQ(lookup[0], (uint32_t)(255 << 2) << 20 | (128 << 2) << 10 | (1 << 2));
}

TEST(X11Lookup, DepthEightTrueColourInOneByte)
{
    // Xvfb's 8-bit TrueColor: 3-3-2.
    PixelChannel c[3];
    channels(c, 0xE0, 0x1C, 0x03);
    Palette p = palette_with({{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {100, 200, 70}});
    uint32_t lookup[256];
    pixel_build_lookup(lookup, &p, c, 1, false);
    EXPECT_EQ(lookup[0], 0xFFu);
    EXPECT_EQ(lookup[1], 0xE0u);
    EXPECT_EQ(lookup[2], 0x1Cu);
    EXPECT_EQ(lookup[3], 0x03u);
    EXPECT_EQ(lookup[4], (3u << 5) | (6u << 2) | 1u);
}

namespace {

// A frame whose pixels differ from their neighbours, and a destination with
// padding at the end of every row and guard bytes after the last.
struct ConvertCase {
    Image frame;
    std::vector<uint8_t> pixels;
    ConvertCase(int w, int h) : pixels((size_t)w * h)
    {
        for (size_t i = 0; i < pixels.size(); i++)
            pixels[i] = (uint8_t)(i * 7 + i / w);
        frame = {w, h, pixels.data()};
    }
};

uint32_t read_pixel(const uint8_t *p, int bytes)
{
    uint32_t v = 0;
    memcpy(&v, p, (size_t)bytes);  // little-endian host assumed by the tests of 2 and 4 bytes below
    return bytes == 1 ? *p : bytes == 2 ? (uint16_t)v : v;
}

}  // namespace

TEST(X11Convert, EveryFormatAndPixelSize)
{
    uint32_t lookup[256];
    for (int i = 0; i < 256; i++)
        lookup[i] = 0xA5000000u + (uint32_t)i * 0x010203u;
    const int w = 7, h = 5;
    ConvertCase c(w, h);
    for (int bytes : {1, 2, 4})
        for (int size : {1, 2})
            for (bool indexed : {true, false}) {
                if (indexed && bytes != 1)
                    continue;
                const int bpl = w * size * bytes + 4;  // padded rows
                std::vector<uint8_t> dst((size_t)bpl * h * size + 16, 0xCC);
                pixel_convert_frame(dst.data(), bpl, &c.frame, size, bytes, indexed ? nullptr : lookup);
                for (int y = 0; y < h * size; y++) {
                    for (int x = 0; x < w * size; x++) {
                        const uint8_t index = c.pixels[(y / size) * w + x / size];
                        uint32_t want = indexed ? index : lookup[index];
                        if (bytes == 1)
                            want &= 0xFF;
                        else if (bytes == 2)
                            want &= 0xFFFF;
                        ASSERT_EQ(read_pixel(&dst[(size_t)y * bpl + (size_t)x * bytes], bytes), want)
                            << bytes << " bytes, size " << size << " at " << x << "," << y;
                    }
                    for (int k = w * size * bytes; k < bpl; k++)
                        ASSERT_EQ(dst[(size_t)y * bpl + k], 0xCC) << "padding written";
                }
                for (size_t k = (size_t)bpl * h * size; k < dst.size(); k++)
                    ASSERT_EQ(dst[k], 0xCC) << "written past the image";
            }
}

TEST(X11Convert, IndexedSizeOneIsOneBlockCopy)
{
    ConvertCase c(320, 240);
    std::vector<uint8_t> dst(320 * 240);
    pixel_convert_frame(dst.data(), 320, &c.frame, 1, 1, nullptr);
    EXPECT_EQ(dst, c.pixels);
}
