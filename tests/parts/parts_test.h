// parts_test.h: the fixture the tests of the parts share: a temp
// folder to run in (the parts read their pictures by relative path), the
// shared tables and work images, the recording display and the virtual
// clock, and small pictures written with pcx_save.
#pragma once

#include "common.h"
#include "gfx2d.h"
#include "recording_display.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

#include <string>

// A palette of 256 greys, entry i = (i, i, i): already in brightness order,
// and its shade table rows are easy to compute by hand.
Palette parts_test_grey_palette(void);

// Writes a w x h picture of one colour, making the folders of path.
void parts_test_save_uniform(const std::string &path, int w, int h, int colour, const Palette &pal);
// Writes img, making the folders of path.
void parts_test_save(const std::string &path, const Image *img, const Palette &pal);

// The pictures every part of this group loads, all 320 x 240 (the strip
// picture 209 x 575) in the grey palette.
void parts_test_save_show_pictures(void);

class PartsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string old_dir;
    std::string temp_dir;
};

// Runs statement in a death test with standard output sent to standard
// error, so the parts' messages can be matched.
#define EXPECT_PART_EXIT(statement, message)                                                              \
    EXPECT_EXIT(                                                                                         \
        {                                                                                                \
            dup2(2, 1);                                                                                  \
            statement;                                                                                   \
        },                                                                                               \
        ::testing::ExitedWithCode(255), message)

// Copies the generated pictures and objects of the show ("grafika", "3d")
// into the test's folder (over what is there), where a test may then
// break them.
void parts_test_copy_show_data(void);
