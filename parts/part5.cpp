// part5.cpp: part 5 of the show, metaballs. Four balls drift through a box;
// every frame their summed field is sampled on a 20 x 20 x 20 grid, its
// iso-surface is built by marching cubes and drawn as a double wireframe
// into a light layer, which lights a wobbling picture seen through a
// wandering window.
#include "common.h"
#include "engine3d.h"
#include "gfx2d.h"

#include <cmath>
#include <cstring>

constexpr int PART5_DURATION = 325;  // tenths
constexpr int PART5_FRAME_MS = 70;
constexpr float PART5_PI = 3.1415927f;
// A summed falloff of 6500 is the iso level: below 0 is inside.
constexpr float PART5_FIELD_BASE = 6500.0f;
constexpr float PART5_MERGE_EPS = 0.000001f;

Object3D *part5_object;
Image *part5_light_picture;
Image *part5_colour_picture;
Palette part5_palette;
ShadeTable part5_shade_table;
Metaball part5_balls[4];
float part5_grid_points[PART5_POINTS][3];
float part5_field[PART5_POINTS];
uint8_t part5_inside[PART5_POINTS];
float part5_crossings[3][PART5_POINTS];
float part5_falloff[PART5_FALLOFF_SIZE];
PartsWindow part5_window = PARTS_WINDOW_START;
int32_t part5_row_shift[240];
// Light level to shown colour, from the shade table (levels past 63 show 63).
static ShadeRows part5_rows;

static const Metaball part5_ball_start[4] = {
    {15, 5, 10, 0.34920636f, 0.4680851f, 0.48888886f},
    {10, 15, 5, 0.43137252f, 0.44897962f, 0.5365854f},
    {5, 10, 15, 0.5945946f, 0.3859649f, 0.62857145f},
    {10, 5, 15, 0.4583333f, 0.5641026f, 0.52380955f},
};

// The box the balls stay in, per coordinate: x, y, z.
static const float part5_ball_low[3] = {4.5f, 3.5f, 1.5f};
static const float part5_ball_high[3] = {15.0f, 15.5f, 14.5f};

// ---------------------------------------------------------------- marching-cubes tables

// Cube corners as offsets of the cell's grid point n = 400 i + 20 j + k:
// corner 0 (0,1,0), 1 (1,1,0), 2 (1,1,1), 3 (0,1,1), 4 (0,0,0), 5 (1,0,0),
// 6 (1,0,1), 7 (0,0,1) in (i, j, k).
static const int part5_corner_offset[8] = {20, 420, 421, 21, 0, 400, 401, 1};
// Per cube edge: the corner at its lower end and the grid axis it runs
// along (0 first index, 1 second, 2 third).
static const uint8_t part5_edge_lower[12] = {0, 1, 3, 0, 4, 5, 7, 4, 4, 5, 6, 7};
static const uint8_t part5_edge_axis[12] = {0, 2, 0, 2, 0, 2, 0, 2, 1, 1, 1, 1};

// The standard marching-cubes tables: per case (bit c set when corner c is
// inside) the mask of crossed edges, and up to five triangles as edge
// triples ended by -1.
const uint16_t part5_edge_table[256] = {
    0x000, 0x109, 0x203, 0x30a, 0x406, 0x50f, 0x605, 0x70c,
    0x80c, 0x905, 0xa0f, 0xb06, 0xc0a, 0xd03, 0xe09, 0xf00,
    0x190, 0x099, 0x393, 0x29a, 0x596, 0x49f, 0x795, 0x69c,
    0x99c, 0x895, 0xb9f, 0xa96, 0xd9a, 0xc93, 0xf99, 0xe90,
    0x230, 0x339, 0x033, 0x13a, 0x636, 0x73f, 0x435, 0x53c,
    0xa3c, 0xb35, 0x83f, 0x936, 0xe3a, 0xf33, 0xc39, 0xd30,
    0x3a0, 0x2a9, 0x1a3, 0x0aa, 0x7a6, 0x6af, 0x5a5, 0x4ac,
    0xbac, 0xaa5, 0x9af, 0x8a6, 0xfaa, 0xea3, 0xda9, 0xca0,
    0x460, 0x569, 0x663, 0x76a, 0x066, 0x16f, 0x265, 0x36c,
    0xc6c, 0xd65, 0xe6f, 0xf66, 0x86a, 0x963, 0xa69, 0xb60,
    0x5f0, 0x4f9, 0x7f3, 0x6fa, 0x1f6, 0x0ff, 0x3f5, 0x2fc,
    0xdfc, 0xcf5, 0xfff, 0xef6, 0x9fa, 0x8f3, 0xbf9, 0xaf0,
    0x650, 0x759, 0x453, 0x55a, 0x256, 0x35f, 0x055, 0x15c,
    0xe5c, 0xf55, 0xc5f, 0xd56, 0xa5a, 0xb53, 0x859, 0x950,
    0x7c0, 0x6c9, 0x5c3, 0x4ca, 0x3c6, 0x2cf, 0x1c5, 0x0cc,
    0xfcc, 0xec5, 0xdcf, 0xcc6, 0xbca, 0xac3, 0x9c9, 0x8c0,
    0x8c0, 0x9c9, 0xac3, 0xbca, 0xcc6, 0xdcf, 0xec5, 0xfcc,
    0x0cc, 0x1c5, 0x2cf, 0x3c6, 0x4ca, 0x5c3, 0x6c9, 0x7c0,
    0x950, 0x859, 0xb53, 0xa5a, 0xd56, 0xc5f, 0xf55, 0xe5c,
    0x15c, 0x055, 0x35f, 0x256, 0x55a, 0x453, 0x759, 0x650,
    0xaf0, 0xbf9, 0x8f3, 0x9fa, 0xef6, 0xfff, 0xcf5, 0xdfc,
    0x2fc, 0x3f5, 0x0ff, 0x1f6, 0x6fa, 0x7f3, 0x4f9, 0x5f0,
    0xb60, 0xa69, 0x963, 0x86a, 0xf66, 0xe6f, 0xd65, 0xc6c,
    0x36c, 0x265, 0x16f, 0x066, 0x76a, 0x663, 0x569, 0x460,
    0xca0, 0xda9, 0xea3, 0xfaa, 0x8a6, 0x9af, 0xaa5, 0xbac,
    0x4ac, 0x5a5, 0x6af, 0x7a6, 0x0aa, 0x1a3, 0x2a9, 0x3a0,
    0xd30, 0xc39, 0xf33, 0xe3a, 0x936, 0x83f, 0xb35, 0xa3c,
    0x53c, 0x435, 0x73f, 0x636, 0x13a, 0x033, 0x339, 0x230,
    0xe90, 0xf99, 0xc93, 0xd9a, 0xa96, 0xb9f, 0x895, 0x99c,
    0x69c, 0x795, 0x49f, 0x596, 0x29a, 0x393, 0x099, 0x190,
    0xf00, 0xe09, 0xd03, 0xc0a, 0xb06, 0xa0f, 0x905, 0x80c,
    0x70c, 0x605, 0x50f, 0x406, 0x30a, 0x203, 0x109, 0x000,
};

const int8_t part5_triangle_table[256][16] = {
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 8, 3, 9, 8, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 1, 2, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 2, 10, 0, 2, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 8, 3, 2, 10, 8, 10, 9, 8, -1, -1, -1, -1, -1, -1, -1},
    {3, 11, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 11, 2, 8, 11, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 9, 0, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 11, 2, 1, 9, 11, 9, 8, 11, -1, -1, -1, -1, -1, -1, -1},
    {3, 10, 1, 11, 10, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 10, 1, 0, 8, 10, 8, 11, 10, -1, -1, -1, -1, -1, -1, -1},
    {3, 9, 0, 3, 11, 9, 11, 10, 9, -1, -1, -1, -1, -1, -1, -1},
    {9, 8, 10, 10, 8, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 7, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 3, 0, 7, 3, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 1, 9, 4, 7, 1, 7, 3, 1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 4, 7, 3, 0, 4, 1, 2, 10, -1, -1, -1, -1, -1, -1, -1},
    {9, 2, 10, 9, 0, 2, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1},
    {2, 10, 9, 2, 9, 7, 2, 7, 3, 7, 9, 4, -1, -1, -1, -1},
    {8, 4, 7, 3, 11, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 4, 7, 11, 2, 4, 2, 0, 4, -1, -1, -1, -1, -1, -1, -1},
    {9, 0, 1, 8, 4, 7, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1},
    {4, 7, 11, 9, 4, 11, 9, 11, 2, 9, 2, 1, -1, -1, -1, -1},
    {3, 10, 1, 3, 11, 10, 7, 8, 4, -1, -1, -1, -1, -1, -1, -1},
    {1, 11, 10, 1, 4, 11, 1, 0, 4, 7, 11, 4, -1, -1, -1, -1},
    {4, 7, 8, 9, 0, 11, 9, 11, 10, 11, 0, 3, -1, -1, -1, -1},
    {4, 7, 11, 4, 11, 9, 9, 11, 10, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 4, 0, 8, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 5, 4, 1, 5, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 5, 4, 8, 3, 5, 3, 1, 5, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 9, 5, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 8, 1, 2, 10, 4, 9, 5, -1, -1, -1, -1, -1, -1, -1},
    {5, 2, 10, 5, 4, 2, 4, 0, 2, -1, -1, -1, -1, -1, -1, -1},
    {2, 10, 5, 3, 2, 5, 3, 5, 4, 3, 4, 8, -1, -1, -1, -1},
    {9, 5, 4, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 11, 2, 0, 8, 11, 4, 9, 5, -1, -1, -1, -1, -1, -1, -1},
    {0, 5, 4, 0, 1, 5, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1},
    {2, 1, 5, 2, 5, 8, 2, 8, 11, 4, 8, 5, -1, -1, -1, -1},
    {10, 3, 11, 10, 1, 3, 9, 5, 4, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 5, 0, 8, 1, 8, 10, 1, 8, 11, 10, -1, -1, -1, -1},
    {5, 4, 0, 5, 0, 11, 5, 11, 10, 11, 0, 3, -1, -1, -1, -1},
    {5, 4, 8, 5, 8, 10, 10, 8, 11, -1, -1, -1, -1, -1, -1, -1},
    {9, 7, 8, 5, 7, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 3, 0, 9, 5, 3, 5, 7, 3, -1, -1, -1, -1, -1, -1, -1},
    {0, 7, 8, 0, 1, 7, 1, 5, 7, -1, -1, -1, -1, -1, -1, -1},
    {1, 5, 3, 3, 5, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 7, 8, 9, 5, 7, 10, 1, 2, -1, -1, -1, -1, -1, -1, -1},
    {10, 1, 2, 9, 5, 0, 5, 3, 0, 5, 7, 3, -1, -1, -1, -1},
    {8, 0, 2, 8, 2, 5, 8, 5, 7, 10, 5, 2, -1, -1, -1, -1},
    {2, 10, 5, 2, 5, 3, 3, 5, 7, -1, -1, -1, -1, -1, -1, -1},
    {7, 9, 5, 7, 8, 9, 3, 11, 2, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 7, 9, 7, 2, 9, 2, 0, 2, 7, 11, -1, -1, -1, -1},
    {2, 3, 11, 0, 1, 8, 1, 7, 8, 1, 5, 7, -1, -1, -1, -1},
    {11, 2, 1, 11, 1, 7, 7, 1, 5, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 8, 8, 5, 7, 10, 1, 3, 10, 3, 11, -1, -1, -1, -1},
    {5, 7, 0, 5, 0, 9, 7, 11, 0, 1, 0, 10, 11, 10, 0, -1},
    {11, 10, 0, 11, 0, 3, 10, 5, 0, 8, 0, 7, 5, 7, 0, -1},
    {11, 10, 5, 7, 11, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {10, 6, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 0, 1, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 8, 3, 1, 9, 8, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1},
    {1, 6, 5, 2, 6, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 6, 5, 1, 2, 6, 3, 0, 8, -1, -1, -1, -1, -1, -1, -1},
    {9, 6, 5, 9, 0, 6, 0, 2, 6, -1, -1, -1, -1, -1, -1, -1},
    {5, 9, 8, 5, 8, 2, 5, 2, 6, 3, 2, 8, -1, -1, -1, -1},
    {2, 3, 11, 10, 6, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 0, 8, 11, 2, 0, 10, 6, 5, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, 2, 3, 11, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1},
    {5, 10, 6, 1, 9, 2, 9, 11, 2, 9, 8, 11, -1, -1, -1, -1},
    {6, 3, 11, 6, 5, 3, 5, 1, 3, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 11, 0, 11, 5, 0, 5, 1, 5, 11, 6, -1, -1, -1, -1},
    {3, 11, 6, 0, 3, 6, 0, 6, 5, 0, 5, 9, -1, -1, -1, -1},
    {6, 5, 9, 6, 9, 11, 11, 9, 8, -1, -1, -1, -1, -1, -1, -1},
    {5, 10, 6, 4, 7, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 3, 0, 4, 7, 3, 6, 5, 10, -1, -1, -1, -1, -1, -1, -1},
    {1, 9, 0, 5, 10, 6, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1},
    {10, 6, 5, 1, 9, 7, 1, 7, 3, 7, 9, 4, -1, -1, -1, -1},
    {6, 1, 2, 6, 5, 1, 4, 7, 8, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 5, 5, 2, 6, 3, 0, 4, 3, 4, 7, -1, -1, -1, -1},
    {8, 4, 7, 9, 0, 5, 0, 6, 5, 0, 2, 6, -1, -1, -1, -1},
    {7, 3, 9, 7, 9, 4, 3, 2, 9, 5, 9, 6, 2, 6, 9, -1},
    {3, 11, 2, 7, 8, 4, 10, 6, 5, -1, -1, -1, -1, -1, -1, -1},
    {5, 10, 6, 4, 7, 2, 4, 2, 0, 2, 7, 11, -1, -1, -1, -1},
    {0, 1, 9, 4, 7, 8, 2, 3, 11, 5, 10, 6, -1, -1, -1, -1},
    {9, 2, 1, 9, 11, 2, 9, 4, 11, 7, 11, 4, 5, 10, 6, -1},
    {8, 4, 7, 3, 11, 5, 3, 5, 1, 5, 11, 6, -1, -1, -1, -1},
    {5, 1, 11, 5, 11, 6, 1, 0, 11, 7, 11, 4, 0, 4, 11, -1},
    {0, 5, 9, 0, 6, 5, 0, 3, 6, 11, 6, 3, 8, 4, 7, -1},
    {6, 5, 9, 6, 9, 11, 4, 7, 9, 7, 11, 9, -1, -1, -1, -1},
    {10, 4, 9, 6, 4, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 10, 6, 4, 9, 10, 0, 8, 3, -1, -1, -1, -1, -1, -1, -1},
    {10, 0, 1, 10, 6, 0, 6, 4, 0, -1, -1, -1, -1, -1, -1, -1},
    {8, 3, 1, 8, 1, 6, 8, 6, 4, 6, 1, 10, -1, -1, -1, -1},
    {1, 4, 9, 1, 2, 4, 2, 6, 4, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 8, 1, 2, 9, 2, 4, 9, 2, 6, 4, -1, -1, -1, -1},
    {0, 2, 4, 4, 2, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 3, 2, 8, 2, 4, 4, 2, 6, -1, -1, -1, -1, -1, -1, -1},
    {10, 4, 9, 10, 6, 4, 11, 2, 3, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 2, 2, 8, 11, 4, 9, 10, 4, 10, 6, -1, -1, -1, -1},
    {3, 11, 2, 0, 1, 6, 0, 6, 4, 6, 1, 10, -1, -1, -1, -1},
    {6, 4, 1, 6, 1, 10, 4, 8, 1, 2, 1, 11, 8, 11, 1, -1},
    {9, 6, 4, 9, 3, 6, 9, 1, 3, 11, 6, 3, -1, -1, -1, -1},
    {8, 11, 1, 8, 1, 0, 11, 6, 1, 9, 1, 4, 6, 4, 1, -1},
    {3, 11, 6, 3, 6, 0, 0, 6, 4, -1, -1, -1, -1, -1, -1, -1},
    {6, 4, 8, 11, 6, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 10, 6, 7, 8, 10, 8, 9, 10, -1, -1, -1, -1, -1, -1, -1},
    {0, 7, 3, 0, 10, 7, 0, 9, 10, 6, 7, 10, -1, -1, -1, -1},
    {10, 6, 7, 1, 10, 7, 1, 7, 8, 1, 8, 0, -1, -1, -1, -1},
    {10, 6, 7, 10, 7, 1, 1, 7, 3, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 6, 1, 6, 8, 1, 8, 9, 8, 6, 7, -1, -1, -1, -1},
    {2, 6, 9, 2, 9, 1, 6, 7, 9, 0, 9, 3, 7, 3, 9, -1},
    {7, 8, 0, 7, 0, 6, 6, 0, 2, -1, -1, -1, -1, -1, -1, -1},
    {7, 3, 2, 6, 7, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 3, 11, 10, 6, 8, 10, 8, 9, 8, 6, 7, -1, -1, -1, -1},
    {2, 0, 7, 2, 7, 11, 0, 9, 7, 6, 7, 10, 9, 10, 7, -1},
    {1, 8, 0, 1, 7, 8, 1, 10, 7, 6, 7, 10, 2, 3, 11, -1},
    {11, 2, 1, 11, 1, 7, 10, 6, 1, 6, 7, 1, -1, -1, -1, -1},
    {8, 9, 6, 8, 6, 7, 9, 1, 6, 11, 6, 3, 1, 3, 6, -1},
    {0, 9, 1, 11, 6, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 8, 0, 7, 0, 6, 3, 11, 0, 11, 6, 0, -1, -1, -1, -1},
    {7, 11, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 6, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 8, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 1, 9, 8, 3, 1, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1},
    {10, 1, 2, 6, 11, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 3, 0, 8, 6, 11, 7, -1, -1, -1, -1, -1, -1, -1},
    {2, 9, 0, 2, 10, 9, 6, 11, 7, -1, -1, -1, -1, -1, -1, -1},
    {6, 11, 7, 2, 10, 3, 10, 8, 3, 10, 9, 8, -1, -1, -1, -1},
    {7, 2, 3, 6, 2, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 0, 8, 7, 6, 0, 6, 2, 0, -1, -1, -1, -1, -1, -1, -1},
    {2, 7, 6, 2, 3, 7, 0, 1, 9, -1, -1, -1, -1, -1, -1, -1},
    {1, 6, 2, 1, 8, 6, 1, 9, 8, 8, 7, 6, -1, -1, -1, -1},
    {10, 7, 6, 10, 1, 7, 1, 3, 7, -1, -1, -1, -1, -1, -1, -1},
    {10, 7, 6, 1, 7, 10, 1, 8, 7, 1, 0, 8, -1, -1, -1, -1},
    {0, 3, 7, 0, 7, 10, 0, 10, 9, 6, 10, 7, -1, -1, -1, -1},
    {7, 6, 10, 7, 10, 8, 8, 10, 9, -1, -1, -1, -1, -1, -1, -1},
    {6, 8, 4, 11, 8, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 6, 11, 3, 0, 6, 0, 4, 6, -1, -1, -1, -1, -1, -1, -1},
    {8, 6, 11, 8, 4, 6, 9, 0, 1, -1, -1, -1, -1, -1, -1, -1},
    {9, 4, 6, 9, 6, 3, 9, 3, 1, 11, 3, 6, -1, -1, -1, -1},
    {6, 8, 4, 6, 11, 8, 2, 10, 1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 3, 0, 11, 0, 6, 11, 0, 4, 6, -1, -1, -1, -1},
    {4, 11, 8, 4, 6, 11, 0, 2, 9, 2, 10, 9, -1, -1, -1, -1},
    {10, 9, 3, 10, 3, 2, 9, 4, 3, 11, 3, 6, 4, 6, 3, -1},
    {8, 2, 3, 8, 4, 2, 4, 6, 2, -1, -1, -1, -1, -1, -1, -1},
    {0, 4, 2, 4, 6, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 9, 0, 2, 3, 4, 2, 4, 6, 4, 3, 8, -1, -1, -1, -1},
    {1, 9, 4, 1, 4, 2, 2, 4, 6, -1, -1, -1, -1, -1, -1, -1},
    {8, 1, 3, 8, 6, 1, 8, 4, 6, 6, 10, 1, -1, -1, -1, -1},
    {10, 1, 0, 10, 0, 6, 6, 0, 4, -1, -1, -1, -1, -1, -1, -1},
    {4, 6, 3, 4, 3, 8, 6, 10, 3, 0, 3, 9, 10, 9, 3, -1},
    {10, 9, 4, 6, 10, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 5, 7, 6, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 4, 9, 5, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1},
    {5, 0, 1, 5, 4, 0, 7, 6, 11, -1, -1, -1, -1, -1, -1, -1},
    {11, 7, 6, 8, 3, 4, 3, 5, 4, 3, 1, 5, -1, -1, -1, -1},
    {9, 5, 4, 10, 1, 2, 7, 6, 11, -1, -1, -1, -1, -1, -1, -1},
    {6, 11, 7, 1, 2, 10, 0, 8, 3, 4, 9, 5, -1, -1, -1, -1},
    {7, 6, 11, 5, 4, 10, 4, 2, 10, 4, 0, 2, -1, -1, -1, -1},
    {3, 4, 8, 3, 5, 4, 3, 2, 5, 10, 5, 2, 11, 7, 6, -1},
    {7, 2, 3, 7, 6, 2, 5, 4, 9, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 4, 0, 8, 6, 0, 6, 2, 6, 8, 7, -1, -1, -1, -1},
    {3, 6, 2, 3, 7, 6, 1, 5, 0, 5, 4, 0, -1, -1, -1, -1},
    {6, 2, 8, 6, 8, 7, 2, 1, 8, 4, 8, 5, 1, 5, 8, -1},
    {9, 5, 4, 10, 1, 6, 1, 7, 6, 1, 3, 7, -1, -1, -1, -1},
    {1, 6, 10, 1, 7, 6, 1, 0, 7, 8, 7, 0, 9, 5, 4, -1},
    {4, 0, 10, 4, 10, 5, 0, 3, 10, 6, 10, 7, 3, 7, 10, -1},
    {7, 6, 10, 7, 10, 8, 5, 4, 10, 4, 8, 10, -1, -1, -1, -1},
    {6, 9, 5, 6, 11, 9, 11, 8, 9, -1, -1, -1, -1, -1, -1, -1},
    {3, 6, 11, 0, 6, 3, 0, 5, 6, 0, 9, 5, -1, -1, -1, -1},
    {0, 11, 8, 0, 5, 11, 0, 1, 5, 5, 6, 11, -1, -1, -1, -1},
    {6, 11, 3, 6, 3, 5, 5, 3, 1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 9, 5, 11, 9, 11, 8, 11, 5, 6, -1, -1, -1, -1},
    {0, 11, 3, 0, 6, 11, 0, 9, 6, 5, 6, 9, 1, 2, 10, -1},
    {11, 8, 5, 11, 5, 6, 8, 0, 5, 10, 5, 2, 0, 2, 5, -1},
    {6, 11, 3, 6, 3, 5, 2, 10, 3, 10, 5, 3, -1, -1, -1, -1},
    {5, 8, 9, 5, 2, 8, 5, 6, 2, 3, 8, 2, -1, -1, -1, -1},
    {9, 5, 6, 9, 6, 0, 0, 6, 2, -1, -1, -1, -1, -1, -1, -1},
    {1, 5, 8, 1, 8, 0, 5, 6, 8, 3, 8, 2, 6, 2, 8, -1},
    {1, 5, 6, 2, 1, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 3, 6, 1, 6, 10, 3, 8, 6, 5, 6, 9, 8, 9, 6, -1},
    {10, 1, 0, 10, 0, 6, 9, 5, 0, 5, 6, 0, -1, -1, -1, -1},
    {0, 3, 8, 5, 6, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {10, 5, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 5, 10, 7, 5, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 5, 10, 11, 7, 5, 8, 3, 0, -1, -1, -1, -1, -1, -1, -1},
    {5, 11, 7, 5, 10, 11, 1, 9, 0, -1, -1, -1, -1, -1, -1, -1},
    {10, 7, 5, 10, 11, 7, 9, 8, 1, 8, 3, 1, -1, -1, -1, -1},
    {11, 1, 2, 11, 7, 1, 7, 5, 1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 1, 2, 7, 1, 7, 5, 7, 2, 11, -1, -1, -1, -1},
    {9, 7, 5, 9, 2, 7, 9, 0, 2, 2, 11, 7, -1, -1, -1, -1},
    {7, 5, 2, 7, 2, 11, 5, 9, 2, 3, 2, 8, 9, 8, 2, -1},
    {2, 5, 10, 2, 3, 5, 3, 7, 5, -1, -1, -1, -1, -1, -1, -1},
    {8, 2, 0, 8, 5, 2, 8, 7, 5, 10, 2, 5, -1, -1, -1, -1},
    {9, 0, 1, 5, 10, 3, 5, 3, 7, 3, 10, 2, -1, -1, -1, -1},
    {9, 8, 2, 9, 2, 1, 8, 7, 2, 10, 2, 5, 7, 5, 2, -1},
    {1, 3, 5, 3, 7, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 7, 0, 7, 1, 1, 7, 5, -1, -1, -1, -1, -1, -1, -1},
    {9, 0, 3, 9, 3, 5, 5, 3, 7, -1, -1, -1, -1, -1, -1, -1},
    {9, 8, 7, 5, 9, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {5, 8, 4, 5, 10, 8, 10, 11, 8, -1, -1, -1, -1, -1, -1, -1},
    {5, 0, 4, 5, 11, 0, 5, 10, 11, 11, 3, 0, -1, -1, -1, -1},
    {0, 1, 9, 8, 4, 10, 8, 10, 11, 10, 4, 5, -1, -1, -1, -1},
    {10, 11, 4, 10, 4, 5, 11, 3, 4, 9, 4, 1, 3, 1, 4, -1},
    {2, 5, 1, 2, 8, 5, 2, 11, 8, 4, 5, 8, -1, -1, -1, -1},
    {0, 4, 11, 0, 11, 3, 4, 5, 11, 2, 11, 1, 5, 1, 11, -1},
    {0, 2, 5, 0, 5, 9, 2, 11, 5, 4, 5, 8, 11, 8, 5, -1},
    {9, 4, 5, 2, 11, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 5, 10, 3, 5, 2, 3, 4, 5, 3, 8, 4, -1, -1, -1, -1},
    {5, 10, 2, 5, 2, 4, 4, 2, 0, -1, -1, -1, -1, -1, -1, -1},
    {3, 10, 2, 3, 5, 10, 3, 8, 5, 4, 5, 8, 0, 1, 9, -1},
    {5, 10, 2, 5, 2, 4, 1, 9, 2, 9, 4, 2, -1, -1, -1, -1},
    {8, 4, 5, 8, 5, 3, 3, 5, 1, -1, -1, -1, -1, -1, -1, -1},
    {0, 4, 5, 1, 0, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 4, 5, 8, 5, 3, 9, 0, 5, 0, 3, 5, -1, -1, -1, -1},
    {9, 4, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 11, 7, 4, 9, 11, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 4, 9, 7, 9, 11, 7, 9, 10, 11, -1, -1, -1, -1},
    {1, 10, 11, 1, 11, 4, 1, 4, 0, 7, 4, 11, -1, -1, -1, -1},
    {3, 1, 4, 3, 4, 8, 1, 10, 4, 7, 4, 11, 10, 11, 4, -1},
    {4, 11, 7, 9, 11, 4, 9, 2, 11, 9, 1, 2, -1, -1, -1, -1},
    {9, 7, 4, 9, 11, 7, 9, 1, 11, 2, 11, 1, 0, 8, 3, -1},
    {11, 7, 4, 11, 4, 2, 2, 4, 0, -1, -1, -1, -1, -1, -1, -1},
    {11, 7, 4, 11, 4, 2, 8, 3, 4, 3, 2, 4, -1, -1, -1, -1},
    {2, 9, 10, 2, 7, 9, 2, 3, 7, 7, 4, 9, -1, -1, -1, -1},
    {9, 10, 7, 9, 7, 4, 10, 2, 7, 8, 7, 0, 2, 0, 7, -1},
    {3, 7, 10, 3, 10, 2, 7, 4, 10, 1, 10, 0, 4, 0, 10, -1},
    {1, 10, 2, 8, 7, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 1, 4, 1, 7, 7, 1, 3, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 1, 4, 1, 7, 0, 8, 1, 8, 7, 1, -1, -1, -1, -1},
    {4, 0, 3, 7, 4, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 8, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 10, 8, 10, 11, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 9, 3, 9, 11, 11, 9, 10, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 10, 0, 10, 8, 8, 10, 11, -1, -1, -1, -1, -1, -1, -1},
    {3, 1, 10, 11, 3, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 11, 1, 11, 9, 9, 11, 8, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 9, 3, 9, 11, 1, 2, 9, 2, 11, 9, -1, -1, -1, -1},
    {0, 2, 11, 8, 0, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 2, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 3, 8, 2, 8, 10, 10, 8, 9, -1, -1, -1, -1, -1, -1, -1},
    {9, 10, 2, 0, 9, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 3, 8, 2, 8, 10, 0, 1, 8, 1, 10, 8, -1, -1, -1, -1},
    {1, 10, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 3, 8, 9, 1, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 9, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 3, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
};

// ---------------------------------------------------------------- load and free

void part5_load(void)
{
    if (object_alloc(&part5_object, 24000, 8000) != 0)
        show_fatal("Cann't allocate memory!\n", -1);
    memcpy(part5_balls, part5_ball_start, sizeof part5_balls);

    parts_load_picture_cant("grafika/2/3d_3.pcx", &part5_light_picture, &current_palette, 320, 240, 320, 240);
    palette_sort_by_brightness(&part5_palette, &current_palette);
    image_remap_palette(part5_light_picture, &current_palette, &part5_palette);
    parts_make_light_levels(part5_light_picture, 12);

    parts_load_picture_cant("grafika/2/kk.pcx", &part5_colour_picture, &current_palette, 320, 240, 320, 240);
    palette_sort_by_brightness(&part5_palette, &current_palette);
    image_remap_palette(part5_colour_picture, &current_palette, &part5_palette);
    parts_build_shade_table(&part5_palette, &part5_shade_table);
    parts_shade_rows_direct(&part5_rows, &part5_shade_table);

    // 1/r falloff by squared distance, so a frame needs no square roots.
    for (int i = 0; i < PART5_FALLOFF_SIZE; i++) {
        const float f = (float)(8191.75 / (0.00001 + sqrt((double)i)));
        part5_falloff[i] = f < 8191.75f ? f : 8191.75f;
    }
    for (int n = 0; n < PART5_POINTS; n++) {
        part5_grid_points[n][0] = (float)(n / 400 - 10);
        part5_grid_points[n][1] = (float)(n / 20 % 20 - 10);
        part5_grid_points[n][2] = (float)(n % 20 - 10);
    }
}

void part5_free(void)
{
    object_free(&part5_object);
    image_destroy(&part5_light_picture);
    image_destroy(&part5_colour_picture);
    part5_light_picture = part5_colour_picture = nullptr;
}

// ---------------------------------------------------------------- field

void part5_move_balls(void)
{
    for (Metaball &b : part5_balls) {
        float *pos[3] = {&b.x, &b.y, &b.z};
        float *vel[3] = {&b.vx, &b.vy, &b.vz};
        for (int a = 0; a < 3; a++) {
            *pos[a] += *vel[a];
            if (*pos[a] < part5_ball_low[a]) {
                *pos[a] = part5_ball_low[a];
                *vel[a] = -*vel[a];
            }
            if (*pos[a] > part5_ball_high[a]) {
                *pos[a] = part5_ball_high[a];
                *vel[a] = -*vel[a];
            }
        }
    }
}

void part5_sample_field(void)
{
    for (float &f : part5_field)
        f = PART5_FIELD_BASE;
    for (const Metaball &b : part5_balls) {
        // Squared distances per axis, once per ball; a point then costs one
        // sum and one table read.
        float dx2[PART5_GRID], dy2[PART5_GRID], dz2[PART5_GRID];
        for (int i = 0; i < PART5_GRID; i++) {
            const double dx = i - (double)b.x, dy = i - (double)b.y, dz = i - (double)b.z;
            dx2[i] = (float)(dx * dx);
            dy2[i] = (float)(dy * dy);
            dz2[i] = (float)(dz * dz);
        }
        float *f = part5_field;
        for (int i = 0; i < PART5_GRID; i++) {
            for (int j = 0; j < PART5_GRID; j++) {
                const double dxy = (double)dx2[i] + dy2[j];
                for (int k = 0; k < PART5_GRID; k++) {
                    // Inside the ball box the index stays below 772.
                    int d = (int)(dxy + dz2[k]);
                    if (d >= PART5_FALLOFF_SIZE)
                        d = PART5_FALLOFF_SIZE - 1;
                    *f++ -= part5_falloff[d];
                }
            }
        }
    }
}

void part5_find_crossings(void)
{
    for (int n = 0; n < PART5_POINTS; n++)
        part5_inside[n] = part5_field[n] < 0.0f;
    // Steps to the next point along the first, second and third index.
    static const int step[3] = {400, 20, 1};
    for (int n = 0; n < PART5_POINTS; n++) {
        const int at[3] = {n / 400, n / 20 % 20, n % 20};
        for (int a = 0; a < 3; a++) {
            if (at[a] == PART5_GRID - 1)
                continue;
            const int u = n + step[a];
            if (part5_inside[n] == part5_inside[u])
                continue;
            const double fl = part5_field[n], fu = part5_field[u];
            part5_crossings[a][n] = (float)(fl / (fl - fu));
        }
    }
}

// ---------------------------------------------------------------- surface

// Vertex of each grid edge in the surface being built (edge id = axis x
// 8000 + lower grid point), valid while its stamp is the build's.
static int32_t part5_edge_vertex[3 * PART5_POINTS];
static uint32_t part5_edge_stamp[3 * PART5_POINTS];
static uint32_t part5_build_stamp;

// The vertex index for the point p of edge id (crossing t): the first
// vertex within PART5_MERGE_EPS of p on every axis, appended when none is.
//
// The linear search answers that directly. The edge-keyed merge gives the
// same index faster: every point lies on its grid edge, and points of two
// different edges can only come that close near a grid point they share,
// so a point with t well inside (0, 1) can match only earlier points of
// its own edge, which are the same point bit for bit. Points near a grid
// point fall back to the linear search. Either way the answer for an edge
// never changes within a build (a later vertex cannot come first), so it
// is kept per edge.
static int32_t part5_edge_point(Object3D *obj, int id, float t, const float p[3], bool linear)
{
    if (!linear && part5_edge_stamp[id] == part5_build_stamp)
        return part5_edge_vertex[id];
    int32_t v = -1;
    if (linear || t < 0.001f || t > 0.999f)
        v = object_find_vertex(obj, p, PART5_MERGE_EPS, -1, 8);
    if (v < 0) {
        v = obj->vertex_count++;
        Vec4 &pos = obj->vertices[v].position;
        pos.x = p[0];
        pos.y = p[1];
        pos.z = p[2];
    }
    part5_edge_stamp[id] = part5_build_stamp;
    part5_edge_vertex[id] = v;
    return v;
}

static void part5_build(Object3D *obj, uint8_t texture, uint8_t colour, bool linear)
{
    obj->vertex_count = 0;
    obj->triangle_count = 0;
    // A new stamp forgets the last build's edges; at wrap-around every
    // stamp is cleared once so none can look current.
    if (++part5_build_stamp == 0) {
        memset(part5_edge_stamp, 0, sizeof part5_edge_stamp);
        part5_build_stamp = 1;
    }
    // The builder's own room: never more vertices than the renderers take,
    // nor more than the arrays hold.
    const int32_t max_vertices =
        obj->vertex_capacity < PART5_MAX_VERTICES ? obj->vertex_capacity : PART5_MAX_VERTICES;
    const int32_t max_triangles =
        obj->triangle_capacity < PART5_MAX_TRIANGLES ? obj->triangle_capacity : PART5_MAX_TRIANGLES;

    // From the lowest ball's layer up: the side that faces the camera.
    int s = PART5_GRID;
    for (const Metaball &b : part5_balls) {
        const int z = (int)floorf(b.z);
        if (z < s)
            s = z;
    }
    s += 1;
    if (s < 0)
        s = 0;

    for (int i = 0; i <= 18; i++) {
        for (int j = 1; j <= 16; j++) {
            for (int k = s; k <= 18; k++) {
                const int n = 400 * i + 20 * j + k;
                int cube = 0;
                for (int c = 0; c < 8; c++)
                    cube |= part5_inside[n + part5_corner_offset[c]] << c;
                // 0x33: corners 0, 1, 4, 5, the cell's lower layer.
                if (cube == 255 || (cube & 0x33) == 0)
                    continue;

                int32_t edge_id[12];
                float edge_point[12][3];
                float edge_t[12];
                const int mask = part5_edge_table[cube];
                for (int e = 0; e < 12; e++) {
                    if (!(mask & (1 << e)))
                        continue;
                    const int lower = n + part5_corner_offset[part5_edge_lower[e]];
                    const int a = part5_edge_axis[e];
                    const float t = part5_crossings[a][lower];
                    edge_id[e] = a * PART5_POINTS + lower;
                    edge_t[e] = t;
                    for (int c = 0; c < 3; c++)
                        edge_point[e][c] = part5_grid_points[lower][c];
                    edge_point[e][a] += t;
                }

                const int8_t *tri = part5_triangle_table[cube];
                for (int m = 0; tri[m] >= 0; m += 3) {
                    if (obj->triangle_count >= max_triangles || obj->vertex_count + 3 > max_vertices)
                        return;
                    int32_t idx[3];
                    for (int q = 0; q < 3; q++) {
                        const int e = tri[m + q];
                        idx[q] = part5_edge_point(obj, edge_id[e], edge_t[e], edge_point[e], linear);
                    }
                    Triangle3D &t = obj->triangles[obj->triangle_count++];
                    t.colour = colour;
                    t.texture = texture;
                    // The table's order reversed: a = e3, b = e2, c = e1.
                    t.a = idx[2];
                    t.b = idx[1];
                    t.c = idx[0];
                }
            }
        }
    }
}

void part5_build_surface(Object3D *obj, uint8_t texture, uint8_t colour)
{
    part5_build(obj, texture, colour, false);
}

void part5_build_surface_linear(Object3D *obj, uint8_t texture, uint8_t colour)
{
    part5_build(obj, texture, colour, true);
}

// ---------------------------------------------------------------- schedules

int part5_wire_colour(int d, int v)
{
    if (d < 162)
        return 64;
    if (d < 172)
        return (v & 1) ? 64 : 0;
    return 0;
}

bool part5_camera_distance(int d, float *distance)
{
    if (d <= 50) {
        *distance = (float)(2400 - 40 * d);
        return true;
    }
    if (d >= 275) {
        *distance = (float)(2400 - 40 * (PART5_DURATION - d));
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- run

void part5_draw_frame(Image *frame, int d, int v)
{
    part5_move_balls();
    part5_sample_field();
    part5_find_crossings();
    part5_build_surface(part5_object, 0, (uint8_t)part5_wire_colour(d, v));

    float distance;
    if (part5_camera_distance(d, &distance))
        view_build_camera(0, -15.0f, distance, 0.85f, 0.85f, 1.0f, 0, PART5_PI, 0, &camera_matrix,
                          &camera_rotation);
    object_transform(part5_object, &camera_matrix, TRANSFORM_POSITIONS);
    object_compute_view_normals(part5_object);
    view_project(part5_object, 400.0f);

    // Colour layer: the picture wobbled along its rows, then the window
    // stretched over the whole layer.
    parts_row_shifts(part5_row_shift, 8 * v, 14);
    parts_copy_rows_shifted(work_image_a, part5_colour_picture, part5_row_shift);
    blit_scaled(work_image_b, 0, 0, 320, 240, work_image_a, part5_window.x, part5_window.y, part5_window.w,
                part5_window.h, 0, 0);
    const int step_x = random_below(7) + 1;
    const int step_y = random_below(7) + 2;
    parts_move_window(&part5_window, step_x, step_y);

    // Light layer: the light picture with the surface drawn twice, one
    // pixel apart, then smeared sideways.
    memcpy(work_image_a->pixels, part5_light_picture->pixels, 320 * 240);
    render_wireframe(work_image_a, part5_object, 160, 120, 1, 1);
    render_wireframe(work_image_a, part5_object, 159, 119, 1, 1);
    blur_fade_offset(work_image_a->pixels, 320, 240, 0, 1);

    parts_compose_shaded(frame->pixels, work_image_a->pixels, work_image_b->pixels, 320 * 240, &part5_rows);
}

void part5_run(Image *frame)
{
    timer_start();
    int d = timer_elapsed_tenths();
    int t0 = clock_ms();
    display_set_palette(&part5_palette);
    matrix_scaling(&part5_object->matrix, 17, 17, 17);

    int v = 0;
    while (d < PART5_DURATION) {
        part5_draw_frame(frame, d, v);
        display_put_frame(frame);
        v++;
        wait_until_ms(t0, PART5_FRAME_MS);
        t0 = clock_ms();
        d = timer_elapsed_tenths();
    }
}
