// The Image record: creation, single pixels, clearing and raw pictures.
#include "skarn.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(ImageRecord, CreateIsZeroFilledAndPixelsStayInBounds)
{
    Image *img = nullptr;
    ASSERT_EQ(image_create(&img, 5, 4), 0);
    EXPECT_EQ(img->width, 5);
    EXPECT_EQ(img->height, 4);
    for (int i = 0; i < 20; i++)
        EXPECT_EQ(img->pixels[i], 0);
    image_put_pixel(img, 2, 3, 0x1AB);
    EXPECT_EQ(img->pixels[3 * 5 + 2], 0xAB);
    for (auto [x, y] : {std::pair{-1, 0}, {5, 0}, {0, -1}, {0, 4}}) {
        image_put_pixel(img, x, y, 9);
        image_add_pixel(img, x, y, 9);
    }
    int sum = 0;
    for (int i = 0; i < 20; i++)
        sum += img->pixels[i];
    EXPECT_EQ(sum, 0xAB);
    img->pixels[0] = 250;
    image_add_pixel(img, 0, 0, 10);
    EXPECT_EQ(img->pixels[0], 4);
    image_clear(img, 0x1FF);
    for (int i = 0; i < 20; i++)
        EXPECT_EQ(img->pixels[i], 0xFF);
    image_destroy(&img);
    Image *none = nullptr;
    image_destroy(&none);
    EXPECT_EQ(image_create(&img, -3, 4), -2);
    image_destroy(&img);
}

namespace {

std::string raw_header(int32_t w, int32_t h, int count, int first)
{
    std::string s(784, '\0');
    memcpy(&s[0], &w, 4);
    memcpy(&s[4], &h, 4);
    s[8] = (char)count;
    s[9] = (char)first;
    for (int i = 0; i < 256; i++) {
        s[16 + i] = (char)i;
        s[272 + i] = (char)(255 - i);
        s[528 + i] = (char)(i / 2);
    }
    return s;
}

}  // namespace

TEST(ImageRecord, RawPictures)
{
    TempDir dir;
    std::string path = dir.file("r.raw");
    Palette pal;
    memset(&pal, 7, sizeof pal);
    write_bytes(path, raw_header(3, 2, 6, 250) + "\x01\x02\x03\x04");  // short pixels
    Image *img = nullptr;
    ASSERT_EQ(image_load_raw(&img, path.c_str(), &pal), 0);
    EXPECT_EQ(img->width, 3);
    EXPECT_EQ(img->height, 2);
    const uint8_t want[] = {1, 2, 3, 4, 0, 0};
    EXPECT_EQ(memcmp(img->pixels, want, 6), 0);
    EXPECT_EQ(pal.rgb[249 * 3], 7);
    EXPECT_EQ(pal.rgb[250 * 3], 250);
    EXPECT_EQ(pal.rgb[250 * 3 + 1], 5);
    EXPECT_EQ(pal.rgb[255 * 3 + 2], 127);
    image_destroy(&img);

    // first + count past 256 is cut at the last entry.
    memset(&pal, 7, sizeof pal);
    write_bytes(path, raw_header(1, 1, 200, 200) + "\x01");
    ASSERT_EQ(image_load_raw(&img, path.c_str(), &pal), 0);
    EXPECT_EQ(pal.rgb[199 * 3], 7);
    EXPECT_EQ(pal.rgb[255 * 3], 255);
    image_destroy(&img);

    // Hostile headers: negative, zero, overflowing sizes; a truncated header.
    for (auto [w, h] : {std::pair{-1, 5}, {0, 5}, {5, 0}, {0x7FFFFFFF, 0x7FFFFFFF}, {65536, 65536}}) {
        write_bytes(path, raw_header(w, h, 0, 0));
        img = (Image *)1;
        EXPECT_EQ(image_load_raw(&img, path.c_str(), &pal), -1) << w << "x" << h;
        EXPECT_EQ(img, nullptr);
    }
    write_bytes(path, raw_header(2, 2, 0, 0).substr(0, 700));
    EXPECT_EQ(image_load_raw(&img, path.c_str(), &pal), -1);
    EXPECT_EQ(image_load_raw(&img, dir.file("missing").c_str(), &pal), -1);
}

TEST(ImageRecord, BytesCopyReversed)
{
    const uint8_t in[] = {1, 2, 3, 4};
    uint8_t out[4] = {9, 9, 9, 9};
    bytes_copy_reversed(out, in, 0);
    EXPECT_EQ(out[0], 9);
    bytes_copy_reversed(out, in, 4);
    const uint8_t want[] = {4, 3, 2, 1};
    EXPECT_EQ(memcmp(out, want, 4), 0);
}
