// test_common.cpp: helpers that several parts share.
#include "parts_test.h"

TEST(PartsCommonTest, DirectShadeRowsStopAtTheLastLevel)
{
    static ShadeTable table;
    for (int l = 0; l < 64; l++)
        for (int c = 0; c < 256; c++)
            table.level[l][c] = (uint8_t)(l + c);
    ShadeRows rows;
    parts_shade_rows_direct(&rows, &table);
    const uint8_t light[] = {0, 1, 62, 63, 64, 78, 255};
    const uint8_t colour[] = {5, 5, 5, 5, 5, 5, 5};
    uint8_t out[7];
    parts_compose_shaded(out, light, colour, 7, &rows);
    const uint8_t want[] = {5, 6, 67, 68, 68, 68, 68};
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(out[i], want[i]) << "light " << (int)light[i];
}

TEST(PartsCommonTest, WindowMovesAndTurnsAtTheEdges)
{
    struct Case {
        PartsWindow from;
        int sx, sy;
        PartsWindow to;
    };
    const Case cases[] = {
        {PARTS_WINDOW_START, 3, 2, {103, 1, 77, 1, 120, 90}},
        {{199, 1, 149, 1, 120, 90}, 3, 2, {200, -1, 150, -1, 120, 90}},  // right and bottom edges
        {{1, -1, 1, -1, 120, 90}, 3, 2, {0, 1, 0, 1, 120, 90}},          // left and top edges
        {{200, 1, 150, 1, 120, 90}, 0, 0, {200, 1, 150, 1, 120, 90}},    // on the edge, not past it
        {{10, -1, 20, 1, 120, 90}, 7, 8, {3, -1, 28, 1, 120, 90}},
    };
    for (const Case &c : cases) {
        PartsWindow w = c.from;
        parts_move_window(&w, c.sx, c.sy);
        EXPECT_EQ(w.x, c.to.x);
        EXPECT_EQ(w.dir_x, c.to.dir_x);
        EXPECT_EQ(w.y, c.to.y);
        EXPECT_EQ(w.dir_y, c.to.dir_y);
        EXPECT_EQ(w.w, 120);
        EXPECT_EQ(w.h, 90);
    }
}
