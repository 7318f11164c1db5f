// test_sequence.cpp: parts 1, 2, 3 and 8 in the show's order, on the
// virtual clock: frame counts follow the durations and frame periods.
#include "parts_test.h"

using SequenceTest = PartsTest;

// Counts the 'f' calls from position from of the log up to the next
// blank-screen sequence or the end.
static int frames_in(const std::string &ops, size_t from, size_t to)
{
    int n = 0;
    for (size_t i = from; i < to && i < ops.size(); i++)
        n += ops[i] == 'f';
    return n;
}

TEST_F(SequenceTest, PartsOneTwoThreeAndEightRunForTheirDurations)
{
    parts_test_save_show_pictures();
    Image *frame = nullptr;
    ASSERT_EQ(image_create(&frame, 320, 240), 0);
    part1_load();
    part2_load("grafika/1/hatter04.pcx", 1, 1);
    part3_load();

    std::vector<size_t> marks;
    std::vector<int64_t> starts;
    auto mark = [&] {
        marks.push_back(recording_calls.size());
        starts.push_back(virtual_clock_us / 1000);
    };
    blank_screen(frame);
    mark();
    part1_run(frame, 217);
    mark();
    blank_screen(frame);
    mark();
    part2_run(frame, 245);
    mark();
    part3_run(frame, 27, 0);
    mark();
    blank_screen(frame);
    mark();
    part8_run(frame, 20, 20, "grafika/5/grimfall.pcx");
    mark();
    blank_screen(frame);

    const std::string ops = recording_ops();
    // Every clock reading costs 50 us of virtual time, so a frame takes a
    // little more than its period and a long part may lose a frame or two.
    EXPECT_NEAR(frames_in(ops, marks[0], marks[1]), 310, 3);  // 21.7 s at 70 ms
    EXPECT_NEAR(frames_in(ops, marks[2], marks[3]), 409, 3);  // 24.5 s at 60 ms
    EXPECT_NEAR(frames_in(ops, marks[3], marks[4]), 45, 1);   // 2.7 s at 60 ms
    EXPECT_EQ(frames_in(ops, marks[5], marks[6]), 60);   // 2 x 20 + 20 at 50 ms
    // Part 3 follows part 2 with no palette or blank in between.
    EXPECT_EQ(ops.substr(marks[3], 3), "fff");
    // Each part lasts its duration to within one frame period.
    EXPECT_NEAR(starts[1] - starts[0], 21700, 70);
    EXPECT_NEAR(starts[3] - starts[2], 24500, 60);
    EXPECT_NEAR(starts[4] - starts[3], 2700, 60);
    EXPECT_NEAR(starts[6] - starts[5], 3000, 50);
    EXPECT_EQ(ops.substr(ops.size() - 3), "pfr");

    part1_free();
    part2_free();
    part3_free();
    image_destroy(&frame);
}
