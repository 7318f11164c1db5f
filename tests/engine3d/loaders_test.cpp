// Object file loaders: .t3d and comma-separated fixtures written to a
// temporary folder, every error code, and hostile files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine3d.h"

namespace {

class LoaderTest : public testing::Test {
protected:
    std::filesystem::path dir;
    Palette pal{};
    Object3D *obj = nullptr;

    void SetUp() override
    {
        char tmpl[] = "/tmp/skarn_loaders_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        // Black everywhere but a few known colours.
        set_colour(7, 255, 128, 0);
        set_colour(9, 44, 0, 0);
        set_colour(12, 10, 20, 30);
        set_colour(20, 200, 200, 200);
    }
    void TearDown() override
    {
        object_free(&obj);
        std::filesystem::remove_all(dir);
    }
    void set_colour(int i, int r, int g, int b)
    {
        pal.rgb[3 * i] = (uint8_t)r;
        pal.rgb[3 * i + 1] = (uint8_t)g;
        pal.rgb[3 * i + 2] = (uint8_t)b;
    }
    std::string write(const std::string &name, const std::string &text)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    int t3d(const std::string &text, uint8_t reverse = 0, const char **names = nullptr,
            const int32_t *sizes = nullptr, uint8_t count = 0)
    {
        return t3d_load(&obj, write("o.t3d", text).c_str(), &pal, reverse, names, sizes, count);
    }
    int csv(const std::string &text) { return object_load_csv(&obj, write("o.csv", text).c_str(), &pal); }
};

const std::string materials =
    "MATERIALS\n"
    "2\n"
    "orange 0 300 128 0 3d_bb1\n"
    "plain 5 10 20 30 none\n";
const std::string vertices =
    "VERTICES\n"
    "3\n"
    "0 0 0\n"
    "10 -5.5 0.25\n"
    "0 10 0\n";
const std::string triangles =
    "TRIANGLES\n"
    "2\n"
    "0 1 2 0 0 0 0 0 1 0 1 1 0\n"
    "0 1 2 7 7 7 0.5 0.25 -0.1 0 0 0 5\n";
const std::string good = materials + vertices + triangles;

const char *tex_names[2] = {"none", "3D_BB1"};
const int32_t tex_sizes[2] = {0, 256};

void expect_uv(const TexCoords &uv, int ua, int va, int ub, int vb, int uc, int vc)
{
    EXPECT_EQ(uv.ua, ua);
    EXPECT_EQ(uv.va, va);
    EXPECT_EQ(uv.ub, ub);
    EXPECT_EQ(uv.vb, vb);
    EXPECT_EQ(uv.uc, uc);
    EXPECT_EQ(uv.vc, vc);
}

}  // namespace

TEST_F(LoaderTest, T3dLoadsPositionsColoursAndIndices)
{
    ASSERT_EQ(t3d(good), 0);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->vertex_count, 3);
    EXPECT_EQ(obj->triangle_count, 2);
    const Vec4 p = obj->vertices[1].position;
    EXPECT_EQ(p.x, 10.0f);
    EXPECT_EQ(p.y, -5.5f);
    EXPECT_EQ(p.z, 0.25f);
    EXPECT_EQ(p.w, 0.0f);
    const Triangle3D &t = obj->triangles[0];
    EXPECT_EQ(t.a, 0);
    EXPECT_EQ(t.b, 1);
    EXPECT_EQ(t.c, 2);
    // Red 300 counts as 255.
    EXPECT_EQ(t.colour, 7);
    EXPECT_EQ(obj->triangles[1].colour, 12);
    // No texture table: texture 0, every texel 0.
    EXPECT_EQ(t.texture, 0);
    expect_uv(t.uv, 0, 0, 0, 0, 0, 0);
    expect_uv(obj->triangles[1].uv, 0, 0, 0, 0, 0, 0);
}

TEST_F(LoaderTest, T3dTexelsAndReverse)
{
    const std::string tris =
        "TRIANGLES\n2\n"
        "0 1 2 0 0 0 0 0 1 0 1 1 0\n"
        "0 1 2 0 0 0 0.5 0.25 -0.1 0 0 0 0\n";
    ASSERT_EQ(t3d(materials + vertices + tris, 0, tex_names, tex_sizes, 2), 0);
    EXPECT_EQ(obj->triangles[0].texture, 1);  // "3d_bb1" found as "3D_BB1"
    expect_uv(obj->triangles[0].uv, 0, 0, 256, 0, 256, 256);
    // Floor, not truncation: -0.1 x 256 = -25.6 gives -26.
    expect_uv(obj->triangles[1].uv, 128, 64, -26, 0, 0, 0);

    ASSERT_EQ(t3d(materials + vertices + tris, 1, tex_names, tex_sizes, 2), 0);
    const Triangle3D &t = obj->triangles[0];
    EXPECT_EQ(t.a, 2);
    EXPECT_EQ(t.b, 1);
    EXPECT_EQ(t.c, 0);
    expect_uv(t.uv, 256, 256, 256, 0, 0, 0);
    expect_uv(obj->triangles[1].uv, 0, 0, -26, 0, 128, 64);
}

TEST_F(LoaderTest, T3dSkipsLinesBeforeEachSection)
{
    ASSERT_EQ(t3d(good), 0);
    Object3D *plain = obj;
    obj = nullptr;
    ASSERT_EQ(t3d("; made by hand\n\n  materials follow\nMATERIALSX\n" + materials +
                  "\nsome notes\n" + vertices + "\n" + triangles + "trailing text\n"),
              0);
    EXPECT_EQ(obj->vertex_count, plain->vertex_count);
    EXPECT_EQ(obj->triangle_count, plain->triangle_count);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(memcmp(&obj->vertices[i].position, &plain->vertices[i].position, sizeof(Vec4)), 0);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(obj->triangles[i].a, plain->triangles[i].a);
        EXPECT_EQ(obj->triangles[i].colour, plain->triangles[i].colour);
    }
    object_free(&plain);
}

TEST_F(LoaderTest, T3dLowercaseKeywordIsNoKeyword)
{
    std::string text = good;
    text.replace(0, 9, "materials");
    EXPECT_EQ(t3d(text), -2);
    EXPECT_EQ(obj, nullptr);
}

TEST_F(LoaderTest, T3dEveryErrorCode)
{
    struct Case {
        const char *what;
        std::string text;
        int code;
    };
    const std::string v3 = "VERTICES\n3\n0 0 0\n1 0 0\n0 1 0\n";
    const Case cases[] = {
        {"empty file", "", -2},
        {"file ends on the count line", "MATERIALS\n1", -2},
        {"no vertex section", materials, -2},
        {"no triangle section", materials + v3, -2},
        {"keyword on the last line", materials + v3 + "TRIANGLES", -2},
        {"count not a number", "MATERIALS\nmany\n", -4},
        {"negative material count", "MATERIALS\n-1\n" + v3 + triangles, -4},
        {"negative vertex count", materials + "VERTICES\n-3\n" + triangles, -4},
        {"absurd triangle count", materials + v3 + "TRIANGLES\n2000000000\n", -4},
        {"material line short", "MATERIALS\n1\nred 0 1 2 3\n" + v3 + triangles, -5},
        {"material number 5000", "MATERIALS\n1\nred 5000 1 2 3 none\n" + v3 + triangles, -5},
        {"material number -1", "MATERIALS\n1\nred -1 1 2 3 none\n" + v3 + triangles, -5},
        {"texture name of 100 characters",
         "MATERIALS\n1\nred 0 1 2 3 " + std::string(100, 'x') + "\n" + v3 + triangles, -5},
        {"texture name of 20 characters",
         "MATERIALS\n1\nred 0 1 2 3 " + std::string(20, 'x') + "\n" + v3 + triangles, -5},
        {"vertex not three numbers", materials + "VERTICES\n3\n0 0 0\n1 zero 0\n0 1 0\n" + triangles, -7},
        {"fewer vertex lines than counted", materials + "VERTICES\n4\n0 0 0\n1 0 0\n0 1 0\n" + triangles, -7},
        {"triangle lines end early", materials + v3 + "TRIANGLES\n3\n0 1 2 0 0 0 0 0 0 0 0 0 0\n", -8},
        {"last triangle line ends the file", materials + v3 + "TRIANGLES\n2\n0 1 2 0 0 0 0 0 0 0 0 0 0", -8},
        {"triangle of twelve fields", materials + v3 + "TRIANGLES\n1\n0 1 2 0 0 0 0 0 0 0 0 0\n", -9},
        {"vertex index 99 of 3", materials + v3 + "TRIANGLES\n1\n0 99 2 0 0 0 0 0 0 0 0 0 0\n", -9},
        {"negative vertex index", materials + v3 + "TRIANGLES\n1\n0 1 -1 0 0 0 0 0 0 0 0 0 0\n", -9},
        {"undefined material", materials + v3 + "TRIANGLES\n1\n0 1 2 0 0 0 0 0 0 0 0 0 3\n", -9},
        {"material 5000 in a triangle", materials + v3 + "TRIANGLES\n1\n0 1 2 0 0 0 0 0 0 0 0 0 5000\n", -9},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(t3d(c.text), c.code) << c.what;
        EXPECT_EQ(obj, nullptr) << c.what;
    }
    EXPECT_EQ(t3d_load(&obj, (dir / "missing.t3d").c_str(), &pal, 0, nullptr, nullptr, 0), -1);
    EXPECT_EQ(obj, nullptr);
    // 19 characters still fit their slot.
    EXPECT_EQ(t3d("MATERIALS\n1\nred 0 1 2 3 " + std::string(19, 'x') + "\n" + v3 +
                  "TRIANGLES\n1\n0 1 2 0 0 0 0 0 0 0 0 0 0\n"),
              0);
}

TEST_F(LoaderTest, T3dUnknownTextureNamePrintsAndFails)
{
    const char *names[1] = {"3d_bb1"};
    const int32_t sizes[1] = {128};
    testing::internal::CaptureStdout();
    const std::string path = write("o.t3d", good);
    EXPECT_EQ(t3d_load(&obj, path.c_str(), &pal, 0, names, sizes, 1), -10);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), " " + path + " in \"none\" - not found!\n");
    EXPECT_EQ(obj, nullptr);
}

TEST_F(LoaderTest, T3dMaterialCountBeyondTheLinesParsesTheLastAgain)
{
    // Two materials counted, one given: the vertex section line is read as
    // the second material and does not parse.
    EXPECT_EQ(t3d("MATERIALS\n2\nred 0 1 2 3 none\n" + vertices + triangles), -5);
    // At the very end of the file the last material line is parsed again,
    // and the file then ends before the vertex section.
    EXPECT_EQ(t3d("MATERIALS\n1000000\nred 0 1 2 3 none\n"), -2);
}

TEST_F(LoaderTest, T3dReplacesANonNullOut)
{
    ASSERT_EQ(t3d(good), 0);
    // obj already holds an object: it is released, not leaked.
    EXPECT_EQ(t3d("MATERIALS\nx\n"), -4);
    EXPECT_EQ(obj, nullptr);
}

TEST_F(LoaderTest, CsvTwoPartsWithOffsetAndDefaultColours)
{
    const std::string text =
        "2\n3,1 3, 1\n"
        "0,0,0 1,0,0 0,1,0\n0,1,2\n"
        "0,0,1 1, 0,1 0,1,1\n2,1,0\n";
    ASSERT_EQ(csv(text), 0);
    EXPECT_EQ(obj->vertex_count, 6);
    EXPECT_EQ(obj->triangle_count, 2);
    EXPECT_EQ(obj->vertices[4].position.x, 1.0f);
    EXPECT_EQ(obj->vertices[4].position.z, 1.0f);
    EXPECT_EQ(obj->vertices[4].position.w, 0.0f);
    const Triangle3D &t = obj->triangles[1];
    EXPECT_EQ(t.a, 5);
    EXPECT_EQ(t.b, 4);
    EXPECT_EQ(t.c, 3);
    EXPECT_EQ(obj->triangles[0].colour, 16);
    EXPECT_EQ(t.colour, 16);
}

TEST_F(LoaderTest, CsvDefaultColoursCountDownAndColourRecords)
{
    const std::string part = "1\n3,3\n0,0,0 1,0,0 0,1,0\n0,1,2 1,2,0 2,0,1\n";
    ASSERT_EQ(csv(part), 0);
    EXPECT_EQ(obj->triangles[0].colour, 18);
    EXPECT_EQ(obj->triangles[1].colour, 17);
    EXPECT_EQ(obj->triangles[2].colour, 16);
    // Two colour records: 300 keeps its low byte (44); the third triangle
    // keeps its default colour.
    ASSERT_EQ(csv(part + "300,0,0 10,20,30\n"), 0);
    EXPECT_EQ(obj->triangles[0].colour, 9);
    EXPECT_EQ(obj->triangles[1].colour, 12);
    EXPECT_EQ(obj->triangles[2].colour, 16);
}

TEST_F(LoaderTest, CsvEveryErrorCode)
{
    struct Case {
        const char *what;
        std::string text;
        int code;
    };
    const Case cases[] = {
        {"empty file", "", -3},
        {"part count not a number", "two\n", -3},
        {"101 parts", "101\n", -3},
        {"negative part count", "-1\n", -3},
        {"part record broken", "1\n3;1\n", -4},
        {"negative vertex count", "1\n-3,1\n", -4},
        {"absurd triangle count", "1\n3,2000000000\n", -4},
        {"vertices end the file", "1\n3,1\n0,0,0", -6},
        {"vertex record broken", "1\n3,1\n0,0,0 1;0;0\n", -7},
        {"triangles end the file", "1\n3,2\n0,0,0 1,0,0 0,1,0\n0,1,2", -8},
        {"triangle record broken", "1\n3,1\n0,0,0 1,0,0 0,1,0\n0;1;2\n", -9},
        {"index outside its part", "2\n3,1 3,1\n0,0,0 1,0,0 0,1,0\n0,1,3\n", -9},
        {"negative index", "1\n3,1\n0,0,0 1,0,0 0,1,0\n0,-1,2\n", -9},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(csv(c.text), c.code) << c.what;
        EXPECT_EQ(obj, nullptr) << c.what;
    }
    EXPECT_EQ(object_load_csv(&obj, (dir / "missing.csv").c_str(), &pal), -1);
    // 100 empty parts are fine.
    std::string hundred = "100\n";
    for (int i = 0; i < 100; i++)
        hundred += "0,0 ";
    EXPECT_EQ(csv(hundred), 0);
    EXPECT_EQ(obj->vertex_count, 0);
}
