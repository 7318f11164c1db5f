// parts_test.cpp: the shared fixture of the part tests.
#include "parts_test.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

Palette parts_test_grey_palette(void)
{
    Palette pal;
    for (int i = 0; i < 256; i++)
        pal.rgb[3 * i] = pal.rgb[3 * i + 1] = pal.rgb[3 * i + 2] = (uint8_t)i;
    return pal;
}

void parts_test_save(const std::string &path, const Image *img, const Palette &pal)
{
    std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    ASSERT_EQ(pcx_save(path.c_str(), img, &pal), 5) << path;
}

void parts_test_save_uniform(const std::string &path, int w, int h, int colour, const Palette &pal)
{
    Image *img = nullptr;
    ASSERT_EQ(image_create(&img, w, h), 0);
    image_clear(img, colour);
    parts_test_save(path, img, pal);
    image_destroy(&img);
}

void parts_test_save_show_pictures(void)
{
    const Palette grey = parts_test_grey_palette();
    const char *part1[6] = {"none", "lo", "skn", "txt1", "txt2", "txt3"};
    for (int i = 0; i < 6; i++)
        parts_test_save_uniform(std::string("grafika/1/") + part1[i] + ".pcx", 320, 240, 40 + 30 * i, grey);
    parts_test_save_uniform("grafika/grp.pcx", 209, 575, 255, grey);
    parts_test_save_uniform("grafika/1/hatter04.pcx", 320, 240, 100, grey);
    parts_test_save_uniform("grafika/5/grimfall.pcx", 320, 240, 200, grey);
}

void PartsTest::SetUp()
{
    trig_build_tables();
    srand(1);
    virtual_clock_set_ms(0);
    recording_reset();
    recording_keep_frames = false;
    if (!work_image_a) {
        ASSERT_EQ(image_create(&work_image_a, 320, 240), 0);
        ASSERT_EQ(image_create(&work_image_b, 320, 240), 0);
    }
    old_dir = std::filesystem::current_path().string();
    char templ[] = "/tmp/skarn_parts_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    temp_dir = templ;
    std::filesystem::current_path(temp_dir);
}

void PartsTest::TearDown()
{
    recording_keep_frames = false;
    recording_reset();
    std::filesystem::current_path(old_dir);
    std::filesystem::remove_all(temp_dir);
}

void parts_test_copy_show_data(void)
{
    for (const char *folder : {"grafika", "3d"})
        std::filesystem::copy(std::string(SKARN_DATA_DIR) + "/" + folder, folder,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
}
