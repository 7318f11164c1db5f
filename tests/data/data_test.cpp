// data_test.cpp: the generated data folder: every picture loads with the
// show's PCX reader at the size its part needs, the pictures of one part
// share one palette, the light maps and pages are grey ramps, the strip
// text stays inside its rectangles, and the two objects are well-formed,
// closed, wound the way the loader expects and within the engine's room.
#include "common.h" // the parts' shared records: the tunnel's strip table
#include "engine3d.h"
#include "gfx2d.h"
#include "skarn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string data_path(const char *rel)
{
    return std::string(SKARN_DATA_DIR) + "/" + rel;
}

bool entry_black(const Palette &p, int index)
{
    return p.rgb[3 * index] == 0 && p.rgb[3 * index + 1] == 0 && p.rgb[3 * index + 2] == 0;
}

// A loaded picture with its palette; freed by the destructor.
struct Picture {
    Image *img = nullptr;
    Palette pal{};
    explicit Picture(const char *rel)
    {
        EXPECT_EQ(pcx_load_image(data_path(rel).c_str(), &img, &pal), 5) << rel;
    }
    ~Picture() { image_destroy(&img); }
    int at(int x, int y) const { return img->pixels[y * img->width + x]; }
    bool black(int index) const { return entry_black(pal, index); }
};

bool palette_has_black(const Palette &p)
{
    for (int i = 0; i < 256; i++)
        if (entry_black(p, i))
            return true;
    return false;
}

void expect_grey_ramp(const Palette &p, const char *what)
{
    for (int i = 0; i < 256; i++)
        for (int k = 0; k < 3; k++)
            ASSERT_EQ(p.rgb[3 * i + k], i) << what << " entry " << i;
}

struct SizedPicture {
    const char *path;
    int width, height;
};

const SizedPicture every_picture[] = {
    {"grafika/1/none.pcx", 320, 240},  {"grafika/1/lo.pcx", 320, 240},   {"grafika/1/skn.pcx", 320, 240},
    {"grafika/1/txt1.pcx", 320, 240},  {"grafika/1/txt2.pcx", 320, 240}, {"grafika/1/txt3.pcx", 320, 240},
    {"grafika/1/hatter04.pcx", 320, 240}, {"grafika/grp.pcx", 320, 576},
    {"grafika/4/news1.pcx", 320, 240}, {"grafika/3/eger2.pcx", 320, 240}, {"grafika/3/eger3.pcx", 320, 240},
    {"grafika/2/3d_3.pcx", 320, 240},  {"grafika/2/kk.pcx", 320, 240},   {"grafika/4/sinus.pcx", 320, 240},
    {"grafika/4/3d_bb2.pcx", 320, 240}, {"3d/none.pcx", 64, 64},         {"3d/3d_bb1.pcx", 256, 256},
    {"grafika/txt-01.pcx", 320, 240},  {"grafika/txt-02.pcx", 320, 240}, {"grafika/txt-03.pcx", 320, 240},
    {"grafika/txt-04.pcx", 320, 240},  {"grafika/5/grimfall.pcx", 320, 240},
};

// ---------------------------------------------------------------- generator

std::string read_whole(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Fixed seeds and no clock: a second run writes every file byte for byte.
TEST(DataGenerator, ASecondRunWritesTheSameBytes)
{
    char tmpl[] = "/tmp/skarn_datagen_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::string cmd = std::string("'") + SKARN_DATAGEN_PATH + "' '" + dir + "' >/dev/null 2>&1";
    const int rc = system(cmd.c_str());
    std::vector<std::string> files;
    for (const SizedPicture &s : every_picture)
        files.push_back(s.path);
    for (const char *f : {"grafika/5/kkol_ja.pcx", "grafika/5/kkol_jf.pcx", "grafika/5/kkol_ba.pcx",
                          "grafika/5/kkol_bf.pcx", "3d/bb/demo03b.t3d", "3d/bb/grimfall.t3d"})
        files.push_back(f);
    EXPECT_EQ(rc, 0);
    for (const std::string &f : files) {
        const std::string again = read_whole(dir + "/" + f);
        EXPECT_FALSE(again.empty()) << f;
        EXPECT_TRUE(again == read_whole(data_path(f.c_str()))) << f << " differs between runs";
    }
    std::filesystem::remove_all(dir);
}

// ---------------------------------------------------------------- pictures

TEST(DataPictures, EveryPictureLoadsAtItsSize)
{
    for (const SizedPicture &s : every_picture) {
        Picture p(s.path);
        ASSERT_NE(p.img, nullptr) << s.path;
        EXPECT_EQ(p.img->width, s.width) << s.path;
        EXPECT_EQ(p.img->height, s.height) << s.path;
    }
}

TEST(DataPictures, PicturesOfOnePartShareOnePalette)
{
    const std::vector<std::vector<const char *>> groups = {
        {"grafika/1/none.pcx", "grafika/1/lo.pcx", "grafika/1/skn.pcx", "grafika/1/txt1.pcx", "grafika/1/txt2.pcx",
         "grafika/1/txt3.pcx"},
        {"grafika/1/hatter04.pcx", "grafika/grp.pcx"},
        {"grafika/3/eger3.pcx", "grafika/4/news1.pcx", "grafika/3/eger2.pcx"},
        {"grafika/4/3d_bb2.pcx", "3d/none.pcx", "3d/3d_bb1.pcx", "grafika/5/kkol_ja.pcx", "grafika/5/kkol_jf.pcx",
         "grafika/5/kkol_ba.pcx", "grafika/5/kkol_bf.pcx"},
    };
    for (const auto &g : groups) {
        Picture source(g[0]);
        EXPECT_TRUE(palette_has_black(source.pal)) << g[0];
        // Black must be the darkest entry after the brightness sort, so
        // unlit and transparent pixels read as index 0.
        Palette sorted;
        palette_sort_by_brightness(&sorted, &source.pal);
        EXPECT_EQ(sorted.rgb[0] | sorted.rgb[1] | sorted.rgb[2], 0) << g[0];
        for (size_t i = 1; i < g.size(); i++) {
            Picture p(g[i]);
            EXPECT_EQ(memcmp(p.pal.rgb, source.pal.rgb, 768), 0) << g[i] << " differs from " << g[0];
        }
    }
}

TEST(DataPictures, PartPalettesHaveFullRamps)
{
    // Enough distinct colours for the shade tables to darken and brighten.
    for (const char *path : {"grafika/1/txt3.pcx", "grafika/1/hatter04.pcx", "grafika/3/eger3.pcx", "grafika/2/kk.pcx",
                             "grafika/4/3d_bb2.pcx", "grafika/5/grimfall.pcx"}) {
        Picture p(path);
        std::vector<int> colours;
        for (int i = 0; i < 256; i++)
            colours.push_back(p.pal.rgb[3 * i] << 16 | p.pal.rgb[3 * i + 1] << 8 | p.pal.rgb[3 * i + 2]);
        std::sort(colours.begin(), colours.end());
        const long distinct = std::unique(colours.begin(), colours.end()) - colours.begin();
        EXPECT_GE(distinct, 240) << path;
        // The brightest entry is close to white.
        Palette sorted;
        palette_sort_by_brightness(&sorted, &p.pal);
        EXPECT_GE(sorted.rgb[765] + sorted.rgb[766] + sorted.rgb[767], 600) << path;
    }
}

TEST(DataPictures, LightMapsAreDistinctGreys)
{
    for (const char *path : {"grafika/2/3d_3.pcx", "grafika/4/sinus.pcx"}) {
        Picture p(path);
        expect_grey_ramp(p.pal, path);
        // A light map uses a wide range of its levels.
        int lo = 255, hi = 0;
        for (int i = 0; i < 320 * 240; i++) {
            lo = std::min(lo, (int)p.img->pixels[i]);
            hi = std::max(hi, (int)p.img->pixels[i]);
        }
        EXPECT_LT(lo, 80) << path;
        EXPECT_GT(hi, 200) << path;
    }
}

TEST(DataPictures, TextPagesAreBrightnessIndices)
{
    for (const char *path : {"grafika/txt-01.pcx", "grafika/txt-02.pcx", "grafika/txt-03.pcx", "grafika/txt-04.pcx"}) {
        Picture p(path);
        expect_grey_ramp(p.pal, path);
        int full = 0;
        for (int i = 0; i < 320 * 240; i++) {
            const int v = p.img->pixels[i];
            ASSERT_TRUE(v == 0 || v >= 100) << path << " pixel " << i << " = " << v;
            full += v == 255;
        }
        EXPECT_GT(full, 2000) << path;
        // Strokes at least 5 px across in the page (3 px once shrunk to 220):
        // through most full-ink pixels both the horizontal and the vertical
        // run of ink are 5 px or longer (stems are wide, bars are thick).
        std::vector<int> across(320 * 240), down(320 * 240);
        for (int y = 0; y < 240; y++)
            for (int x = 0; x < 320;) {
                int end = x;
                while (end < 320 && p.at(end, y) == 255)
                    end++;
                for (int k = x; k < end; k++)
                    across[y * 320 + k] = end - x;
                x = end == x ? x + 1 : end;
            }
        for (int x = 0; x < 320; x++)
            for (int y = 0; y < 240;) {
                int end = y;
                while (end < 240 && p.at(x, end) == 255)
                    end++;
                for (int k = y; k < end; k++)
                    down[k * 320 + x] = end - y;
                y = end == y ? y + 1 : end;
            }
        int thick = 0;
        for (int i = 0; i < 320 * 240; i++)
            thick += std::min(across[i], down[i]) >= 5;
        EXPECT_GT(thick, full * 7 / 10) << path << ": " << thick << " of " << full << " ink pixels in thick strokes";
        // Centred: the ink is balanced left and right.
        int left = 320, right = 0;
        for (int y = 0; y < 240; y++)
            for (int x = 0; x < 320; x++)
                if (p.at(x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        EXPECT_LE(std::abs(left - (319 - right)), 4) << path;
    }
}

TEST(DataPictures, StripTextStaysInsideItsRectangles)
{
    // The strip rectangles the tunnel part cuts from the picture.
    const TitleStrip *rects = part2_strips;
    int strips = 0;
    while (rects[strips].dest_x > 0)
        strips++;
    ASSERT_EQ(strips, 23);
    Picture p("grafika/grp.pcx");
    ASSERT_GE(p.img->width, 209);
    ASSERT_GE(p.img->height, 575);
    std::vector<int> top(23, 10000), bottom(23, -1), ink(23, 0);
    for (int y = 0; y < p.img->height; y++)
        for (int x = 0; x < p.img->width; x++) {
            const int c = p.at(x, y);
            if (p.black(c))
                continue;
            // White or grey: equal components.
            ASSERT_EQ(p.pal.rgb[3 * c], p.pal.rgb[3 * c + 1]) << x << "," << y;
            ASSERT_EQ(p.pal.rgb[3 * c], p.pal.rgb[3 * c + 2]) << x << "," << y;
            int in = -1;
            for (int r = 0; r < 23; r++)
                if (x >= rects[r].src_x0 && x < rects[r].src_x1 && y >= rects[r].src_y0 && y < rects[r].src_y1)
                    in = r;
            ASSERT_GE(in, 0) << "ink outside every strip at " << x << "," << y;
            top[in] = std::min(top[in], y);
            bottom[in] = std::max(bottom[in], y);
            ink[in]++;
        }
    for (int r = 0; r < 23; r++) {
        EXPECT_GT(ink[r], 40) << "strip " << r;
        EXPECT_GE(bottom[r] - top[r] + 1, 10) << "strip " << r;
        EXPECT_LE(bottom[r] - top[r] + 1, 22) << "strip " << r;
    }
}

TEST(DataPictures, CornerBadgesSitFlatOnTheirCorners)
{
    struct Badge {
        const char *path;
        bool right, bottom;
    };
    const Badge badges[] = {{"grafika/5/kkol_ja.pcx", true, true},
                            {"grafika/5/kkol_jf.pcx", true, false},
                            {"grafika/5/kkol_ba.pcx", false, true},
                            {"grafika/5/kkol_bf.pcx", false, false}};
    for (const Badge &b : badges) {
        Picture p(b.path);
        const int w = p.img->width, h = p.img->height;
        EXPECT_GE(w, 40) << b.path;
        EXPECT_LE(w, 80) << b.path;
        EXPECT_GE(h, 40) << b.path;
        EXPECT_LE(h, 80) << b.path;
        const int ex = b.right ? w - 1 : 0, ey = b.bottom ? h - 1 : 0;
        // The screen-side edges are covered along most of their length, the
        // corner facing the screen's middle is transparent.
        int along_x = 0, along_y = 0;
        for (int x = 0; x < w; x++)
            along_x += !p.black(p.at(x, ey));
        for (int y = 0; y < h; y++)
            along_y += !p.black(p.at(ex, y));
        EXPECT_GE(along_x, w * 3 / 4) << b.path;
        EXPECT_GE(along_y, h * 3 / 4) << b.path;
        EXPECT_TRUE(p.black(p.at(w - 1 - ex, h - 1 - ey))) << b.path;
        // After the part's remap only transparent pixels become index 0.
        Palette sorted;
        palette_sort_by_brightness(&sorted, &p.pal);
        for (int i = 0; i < w * h; i++) {
            const int c = p.img->pixels[i];
            const int packed = p.pal.rgb[3 * c] | p.pal.rgb[3 * c + 1] << 8 | p.pal.rgb[3 * c + 2] << 16;
            ASSERT_EQ(palette_find_nearest(packed, &sorted) == 0, p.black(c)) << b.path << " pixel " << i;
        }
    }
}

TEST(DataPictures, TitlePicturesAreBrightAndBold)
{
    // Seen only through small light spots: mostly lit colours, few blacks.
    for (const char *path : {"grafika/1/none.pcx", "grafika/1/lo.pcx", "grafika/1/skn.pcx", "grafika/1/txt1.pcx",
                             "grafika/1/txt2.pcx", "grafika/1/txt3.pcx", "grafika/4/news1.pcx"}) {
        Picture p(path);
        double sum = 0;
        for (int i = 0; i < 320 * 240; i++) {
            const int c = p.img->pixels[i];
            sum += (p.pal.rgb[3 * c] + p.pal.rgb[3 * c + 1] + p.pal.rgb[3 * c + 2]) / 3.0;
        }
        EXPECT_GT(sum / (320 * 240), 90.0) << path;
    }
}

TEST(DataPictures, TunnelTextureTilesSeamlessly)
{
    // Across the wrap the step between neighbours is no larger than inside.
    Picture p("grafika/1/hatter04.pcx");
    auto lum = [&](int x, int y) {
        const int c = p.at(x, y);
        return p.pal.rgb[3 * c] + p.pal.rgb[3 * c + 1] + p.pal.rgb[3 * c + 2];
    };
    double seam = 0, inner = 0;
    for (int y = 0; y < 240; y++) {
        seam += std::abs(lum(319, y) - lum(0, y));
        inner += std::abs(lum(159, y) - lum(160, y));
    }
    for (int x = 0; x < 320; x++) {
        seam += std::abs(lum(x, 239) - lum(x, 0));
        inner += std::abs(lum(x, 119) - lum(x, 120));
    }
    EXPECT_LT(seam, inner * 1.6);
}

// The strips light the tunnel through the shade table, as the part does at
// full light: the text's brightest index s takes the wall to level
// 31 + (s >> 3). Over every pixel of the texture that must rise well clear of
// the wall; the walls themselves are middling dark and calm (no bright
// grains, small steps between neighbours), so the text reads at a glance.
TEST(DataPictures, StripTextStandsClearOfTheTunnelWalls)
{
    Picture wall("grafika/1/hatter04.pcx"), strips("grafika/grp.pcx");
    Palette sorted;
    palette_sort_by_brightness(&sorted, &wall.pal);
    image_remap_palette(wall.img, &wall.pal, &sorted);
    image_remap_palette(strips.img, &strips.pal, &sorted);
    static ShadeTable shade;
    palette_build_shade_table(&sorted, &shade);
    int ink = 0;
    for (int i = 0; i < strips.img->width * strips.img->height; i++)
        ink = std::max(ink, (int)strips.img->pixels[i]);
    const int level = 31 + (ink >> 3);
    auto luminance = [&](int c) {
        return 0.299 * sorted.rgb[3 * c] + 0.587 * sorted.rgb[3 * c + 1] + 0.114 * sorted.rgb[3 * c + 2];
    };
    double step = 0;
    for (int y = 0; y < 240; y++)
        for (int x = 0; x < 320; x++) {
            const int c = wall.at(x, y);
            ASSERT_LE(luminance(c), 100.0) << "bright grain at " << x << "," << y;
            ASSERT_GE(luminance(shade.level[level][c]) - luminance(c), 60.0) << "text lost at " << x << "," << y;
            if (x > 0)
                step += std::abs(luminance(c) - luminance(wall.at(x - 1, y)));
        }
    EXPECT_LT(step / (240 * 319), 8.0) << "mean step between neighbours";
}

// ---------------------------------------------------------------- objects

struct T3dObject {
    std::vector<float> xyz;
    std::vector<int> tri; // a, b, c as written in the file
    std::vector<std::string> texture_names;
};

// Reads a .t3d file by its format: keyword lines, count lines right after
// them, materials "name k r g b texture", vertices "x y z", triangles of
// thirteen fields.
bool t3d_read(const char *rel, T3dObject *o)
{
    FILE *f = fopen(data_path(rel).c_str(), "r");
    if (!f)
        return false;
    char line[1024], word[1024];
    auto seek = [&](const char *keyword) {
        while (fgets(line, sizeof line, f))
            if (sscanf(line, "%1023s", word) == 1 && strcmp(word, keyword) == 0)
                return true;
        return false;
    };
    auto count = [&](int *n) { return fgets(line, sizeof line, f) && sscanf(line, "%d", n) == 1 && *n >= 0; };
    int m = 0, v = 0, t = 0;
    bool ok = seek("MATERIALS") && count(&m);
    std::vector<int> defined(1024, 0);
    for (int i = 0; ok && i < m; i++) {
        char name[1024], tex[1024];
        int k, r, g, b;
        ok = fgets(line, sizeof line, f) && sscanf(line, "%1023s %d %d %d %d %1023s", name, &k, &r, &g, &b, tex) == 6 &&
             k >= 0 && k < 1024 && strlen(tex) < 20;
        if (ok) {
            defined[k] = 1;
            o->texture_names.push_back(tex);
        }
    }
    ok = ok && seek("VERTICES") && count(&v);
    for (int i = 0; ok && i < v; i++) {
        float x, y, z;
        ok = fgets(line, sizeof line, f) && sscanf(line, "%f %f %f", &x, &y, &z) == 3;
        o->xyz.insert(o->xyz.end(), {x, y, z});
    }
    ok = ok && seek("TRIANGLES") && count(&t);
    for (int i = 0; ok && i < t; i++) {
        int a, b, c, i1, i2, i3, k;
        float uv[6];
        ok = fgets(line, sizeof line, f) &&
             sscanf(line, "%d %d %d %d %d %d %f %f %f %f %f %f %d", &a, &b, &c, &i1, &i2, &i3, &uv[0], &uv[1], &uv[2],
                    &uv[3], &uv[4], &uv[5], &k) == 13 &&
             a >= 0 && a < v && b >= 0 && b < v && c >= 0 && c < v && k >= 0 && k < 1024 && defined[k];
        for (float u : uv)
            ok = ok && u >= 0.0f && u <= 1.0f;
        o->tri.insert(o->tri.end(), {a, b, c});
    }
    fclose(f);
    return ok;
}

int vertex_count(const T3dObject &o) { return (int)o.xyz.size() / 3; }
int triangle_count(const T3dObject &o) { return (int)o.tri.size() / 3; }

// Six times the signed volume, corners taken in file order: negative when
// every triangle runs clockwise seen from outside.
double signed_volume6(const T3dObject &o)
{
    double sum = 0;
    for (size_t i = 0; i < o.tri.size(); i += 3) {
        const float *a = &o.xyz[3 * o.tri[i]], *b = &o.xyz[3 * o.tri[i + 1]], *c = &o.xyz[3 * o.tri[i + 2]];
        sum += a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
    }
    return sum;
}

// Every directed edge once and its reverse once: a closed surface whose
// triangles all wind the same way.
bool closed_and_consistent(const T3dObject &o)
{
    std::vector<std::pair<int, int>> edges;
    for (size_t i = 0; i < o.tri.size(); i += 3)
        for (int k = 0; k < 3; k++)
            edges.push_back({o.tri[i + k], o.tri[i + (k + 1) % 3]});
    std::sort(edges.begin(), edges.end());
    if (std::adjacent_find(edges.begin(), edges.end()) != edges.end())
        return false;
    for (const auto &e : edges)
        if (!std::binary_search(edges.begin(), edges.end(), std::make_pair(e.second, e.first)))
            return false;
    return true;
}

TEST(DataObjects, BothObjectsParseAndFitTheEngine)
{
    T3dObject a, b;
    ASSERT_TRUE(t3d_read("3d/bb/demo03b.t3d", &a));
    ASSERT_TRUE(t3d_read("3d/bb/grimfall.t3d", &b));
    for (const T3dObject *o : {&a, &b}) {
        EXPECT_GE(triangle_count(*o), 150);
        EXPECT_LE(triangle_count(*o), 600);
        for (const std::string &name : o->texture_names)
            EXPECT_TRUE(name == "none" || name == "3d_bb1") << name;
    }
    EXPECT_LE(vertex_count(a) + vertex_count(b) + 2 * (triangle_count(a) + triangle_count(b)), 10000);
}

TEST(DataObjects, ObjectsHaveTheirShapeAndSize)
{
    T3dObject a, b;
    ASSERT_TRUE(t3d_read("3d/bb/demo03b.t3d", &a));
    ASSERT_TRUE(t3d_read("3d/bb/grimfall.t3d", &b));
    float radius = 0, lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    for (size_t i = 0; i < a.xyz.size(); i += 3)
        radius = std::max(radius, std::sqrt(a.xyz[i] * a.xyz[i] + a.xyz[i + 1] * a.xyz[i + 1] + a.xyz[i + 2] * a.xyz[i + 2]));
    EXPECT_GE(radius, 2.5f);
    EXPECT_LE(radius, 3.5f);
    for (size_t i = 0; i < b.xyz.size(); i += 3)
        for (int k = 0; k < 3; k++) {
            lo[k] = std::min(lo[k], b.xyz[i + k]);
            hi[k] = std::max(hi[k], b.xyz[i + k]);
        }
    EXPECT_LE(std::max(-lo[0], hi[0]), 2.0f);
    EXPECT_LE(std::max(-lo[1], hi[1]), 0.5f);
    EXPECT_LE(std::max(-lo[2], hi[2]), 0.6f);
    // Wide, then tall, then thin, but never flat.
    EXPECT_GT(hi[0] - lo[0], 3.0f);
    EXPECT_GT(hi[2] - lo[2], 0.8f);
    EXPECT_GT(hi[1] - lo[1], 0.3f);
}

TEST(DataObjects, TrianglesRunClockwiseSeenFromOutside)
{
    for (const char *path : {"3d/bb/demo03b.t3d", "3d/bb/grimfall.t3d"}) {
        T3dObject o;
        ASSERT_TRUE(t3d_read(path, &o));
        EXPECT_TRUE(closed_and_consistent(o)) << path;
        EXPECT_LT(signed_volume6(o), 0.0) << path;
    }
}

// loader, reverse winding, both texture names; then bakes the scale and the
// turn into its positions.
Object3D *load_like_the_part(const char *rel, float sx, float sy, float sz)
{
    Picture none("3d/none.pcx"), bb1("3d/3d_bb1.pcx");
    const char *names[2] = {"none", "3d_bb1"};
    const int32_t sizes[2] = {none.img->width, bb1.img->width};
    Object3D *obj = nullptr;
    EXPECT_EQ(t3d_load(&obj, data_path(rel).c_str(), &bb1.pal, 1, names, sizes, 2), 0) << rel;
    if (!obj)
        return nullptr;
    Matrix4 scale, turn, identity;
    matrix_scaling(&scale, sx, sy, sz);
    matrix_rotation_euler(&turn, 1.5707964f, 3.1415927f, 0.0f);
    matrix_multiply(&scale, &turn, &obj->matrix);
    matrix_rotation_euler(&identity, 0.0f, 0.0f, 0.0f);
    object_transform(obj, &identity, TRANSFORM_POSITIONS | COPY_VIEW_TO_POSITIONS);
    object_compute_normals(obj);
    obj->matrix = identity;
    return obj;
}

TEST(DataObjects, TheShowsLoaderSeesTheFrontFacingTheCamera)
{
    struct Placed {
        const char *path;
        float sx, sy, sz, distance;
        int vertices, triangles;
    };
    T3dObject a, b;
    ASSERT_TRUE(t3d_read("3d/bb/demo03b.t3d", &a));
    ASSERT_TRUE(t3d_read("3d/bb/grimfall.t3d", &b));
    for (const Placed &p : {Placed{"3d/bb/demo03b.t3d", 80, 80, 80, 1500, vertex_count(a), triangle_count(a)},
                            Placed{"3d/bb/grimfall.t3d", 160, 320, 320, 1000, vertex_count(b), triangle_count(b)}}) {
        Object3D *obj = load_like_the_part(p.path, p.sx, p.sy, p.sz);
        ASSERT_NE(obj, nullptr);
        EXPECT_EQ(obj->vertex_count, p.vertices);
        EXPECT_EQ(obj->triangle_count, p.triangles);
        view_build_camera(0, 0, p.distance, 0.5f, 0.5f, 1.0f, 0, 3.1415927f, 0, &camera_matrix, &camera_rotation);
        object_transform(obj, &camera_matrix, TRANSFORM_POSITIONS);
        view_reset_clip_scratch();
        view_clip(obj, 80.0f, 5000.0f, 200.0f, 160, 120);
        Object3D *scratch = view_get_clip_scratch();
        // Wholly in front of the camera and inside the frame: nothing cut.
        EXPECT_EQ(scratch->triangle_count, obj->triangle_count) << p.path;
        view_project(scratch, 200.0f);
        int nearest = 0, farthest = 0, facing = 0;
        float zmin = 1e9f, zmax = -1e9f;
        for (int t = 0; t < scratch->triangle_count; t++) {
            const Triangle3D &tri = scratch->triangles[t];
            const float z = scratch->vertices[tri.a].view.z + scratch->vertices[tri.b].view.z +
                            scratch->vertices[tri.c].view.z;
            if (z < zmin) {
                zmin = z;
                nearest = t;
            }
            if (z > zmax) {
                zmax = z;
                farthest = t;
            }
            facing += tri.visible;
        }
        EXPECT_EQ(scratch->triangles[nearest].visible, 1) << p.path;
        EXPECT_EQ(scratch->triangles[farthest].visible, 0) << p.path;
        EXPECT_GT(facing, scratch->triangle_count / 4) << p.path;
        EXPECT_LT(facing, scratch->triangle_count * 3 / 4) << p.path;
        for (int v = 0; v < scratch->vertex_count; v++) {
            EXPECT_LT(std::fabs(scratch->vertices[v].view.x), 160.0f) << p.path;
            EXPECT_LT(std::fabs(scratch->vertices[v].view.y), 120.0f) << p.path;
        }
        object_free(&obj);
    }
}

TEST(DataObjects, TheEmblemIsWideOnTheScreenAndUpright)
{
    T3dObject file;
    ASSERT_TRUE(t3d_read("3d/bb/grimfall.t3d", &file));
    Object3D *obj = load_like_the_part("3d/bb/grimfall.t3d", 160, 320, 320);
    ASSERT_NE(obj, nullptr);
    view_build_camera(0, 0, 1000.0f, 0.5f, 0.5f, 1.0f, 0, 3.1415927f, 0, &camera_matrix, &camera_rotation);
    object_transform(obj, &camera_matrix, TRANSFORM_POSITIONS);
    // File +x is screen right, +z is up (view y negative), +y away.
    for (int v = 0; v < obj->vertex_count; v++) {
        const float *p = &file.xyz[3 * v];
        const Vec4 &q = obj->vertices[v].view;
        if (p[0] > 1.0f) {
            EXPECT_GT(q.x, 0.0f);
        }
        if (p[2] > 0.3f) {
            EXPECT_LT(q.y, 0.0f);
        }
        EXPECT_NEAR(q.z, 1000.0f + 320.0f * p[1], 0.5f);
    }
    object_free(&obj);
}

} // namespace
