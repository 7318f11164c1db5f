// Part clock, frame pacing, random numbers and trig tables, on the virtual
// clock.
#include "skarn.h"
#include "virtual_clock.h"

#include <gtest/gtest.h>

namespace {

// Readings cost no time while a test sets exact instants.
struct FrozenReads {
    int64_t saved = virtual_clock_read_cost_us;
    FrozenReads() { virtual_clock_read_cost_us = 0; }
    ~FrozenReads() { virtual_clock_read_cost_us = saved; }
};

}  // namespace

TEST(Clock, ElapsedTenthsTruncate)
{
    FrozenReads frozen;
    virtual_clock_set_ms(5000);
    timer_start();
    virtual_clock_set_ms(5000 + 21699);
    EXPECT_EQ(timer_elapsed_ms(), 21699);
    EXPECT_EQ(timer_elapsed_tenths(), 216);
    virtual_clock_set_ms(5000 + 21700);
    EXPECT_EQ(timer_elapsed_tenths(), 217);
    // Every whole tenth up to ten minutes comes out exact.
    for (int t = 0; t < 6000; t++) {
        virtual_clock_set_ms(5000 + t * 100);
        ASSERT_EQ(timer_elapsed_tenths(), t);
        virtual_clock_set_ms(5000 + t * 100 + 99);
        ASSERT_EQ(timer_elapsed_tenths(), t);
    }
}

TEST(Clock, WaitSleepsWholeTensThenSpins)
{
    struct Case {
        int left, slept;
    } cases[] = {{67, 60}, {10, 10}, {9, 0}, {0, 0}, {-5, 0}, {70, 70}, {1234, 1230}};
    for (const Case &c : cases) {
        virtual_clock_set_ms(100000);
        int32_t base = clock_ms();  // reads advance 50 us each
        int32_t now_ms = (int32_t)(virtual_clock_us / 1000);
        EXPECT_EQ(wait_until_ms(base, c.left), 0);
        EXPECT_EQ(virtual_clock_slept_ms, c.slept) << "left " << c.left;
        EXPECT_GE((int32_t)(virtual_clock_us / 1000), now_ms + (c.left > 0 ? c.left : 0));
        // Ends within the spin's reading granularity of the deadline.
        EXPECT_LE(virtual_clock_us / 1000, 100000 + (c.left > 0 ? c.left : 0) + 1);
    }
}

TEST(Clock, WaitAcrossTheWrapOfTheMillisecondValue)
{
    // The deadline lies past 2^31: as signed 32-bit values it is negative.
    int64_t start = 0x7FFFFFF0LL;
    virtual_clock_set_ms(start);
    int32_t base = clock_ms();
    wait_until_ms(base, 40);
    EXPECT_EQ(virtual_clock_slept_ms, 40);
    EXPECT_GE(virtual_clock_us / 1000, start + 40);
    EXPECT_LE(virtual_clock_us / 1000, start + 41);
    // And across the full 2^32 wrap.
    start = 0xFFFFFFF0LL;
    virtual_clock_set_ms(start);
    base = clock_ms();
    wait_until_ms(base, 35);
    EXPECT_EQ(virtual_clock_slept_ms, 30);
    EXPECT_GE(virtual_clock_us / 1000, start + 35);
}

TEST(Trig, TellingRows)
{
    trig_build_tables();
    const int rows[][3] = {{0, 0, 1023},      {1, 6, 1022},     {64, 391, 945},   {128, 723, 723},
                           {256, 1023, 0},    {341, 886, -509}, {512, 0, -1023},  {640, -723, -723},
                           {768, -1023, 0},   {1023, -6, 1022}};
    for (const auto &r : rows) {
        EXPECT_EQ(sin_table[r[0]], r[1]) << "sin " << r[0];
        EXPECT_EQ(cos_table[r[0]], r[2]) << "cos " << r[0];
    }
}

TEST(Random, StaysBelowN)
{
    srand(12345);
    EXPECT_EQ(random_below(1), 0);
    for (int i = 0; i < 100000; i++) {
        int n = 1 + i % 524288;
        int v = random_below(n);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, n);
    }
    // The largest value rand() gives, scaled, still stays below n.
    for (int n : {1, 4, 320, 524288})
        EXPECT_LT((int)(2147483647.0 * n * 4.656612870908988e-10), n);
}

// The seed is (minutes + 1) x seconds x (hours + 1) of the UTC time of day:
// the draws after random_seed are those of srand with that number.
TEST(Random, SeedFromTheTimeOfDay)
{
    const time_t saved = virtual_clock_wall_time;
    const struct {
        time_t at;
        unsigned seed;
    } cases[] = {
        {12 * 3600 + 34 * 60 + 56, 35 * 56 * 13},            // the virtual clock's default
        {23 * 3600 + 59 * 60 + 59, 60 * 59 * 24},            // the largest seed of a day
        {5 * 3600 + 7 * 60, 0},                              // second 0 seeds with 0
        {86400 * 19000 + 1 * 3600 + 2 * 60 + 3, 3 * 3 * 2},  // the same every day
        {0, 0},
    };
    for (const auto &c : cases) {
        virtual_clock_wall_time = c.at;
        srand(c.seed);
        int expected[8];
        for (int &e : expected)
            e = rand();
        srand(c.seed + 1);  // a different state, so random_seed must reseed
        random_seed();
        for (int e : expected)
            EXPECT_EQ(rand(), e) << "time " << c.at << ", seed " << c.seed;
    }
    virtual_clock_wall_time = saved;
}
