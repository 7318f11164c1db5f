// part7.cpp: part 7 of the show, zooming text pages. Four pages of text
// grow from the middle of the screen, hold and shrink, mapped onto a grid
// of swaying quads; the text feeds a glowing, smearing light layer that
// lights a picture seen through a wandering window. A small picture jumps
// from corner to corner.
#include "common.h"
#include "gfx2d.h"

#include <climits>
#include <cstring>

constexpr int PART7_WIDTH = 320;
constexpr int PART7_HEIGHT = 240;
constexpr int PART7_PIXELS = PART7_WIDTH * PART7_HEIGHT;
constexpr int PART7_TEXTURE_SIZE = 256;
constexpr int PART7_FRAME_MS = 60;
constexpr int PART7_TENTHS = 216;
constexpr int PART7_PAGE_TENTHS = 54;

static const char *const part7_page_paths[4] = {
    "grafika/txt-01.pcx", "grafika/txt-02.pcx", "grafika/txt-03.pcx", "grafika/txt-04.pcx"};
static const char *const part7_corner_paths[4] = {
    "grafika/5/kkol_ja.pcx", "grafika/5/kkol_jf.pcx", "grafika/5/kkol_ba.pcx", "grafika/5/kkol_bf.pcx"};
static const char *const part7_colour_path = "grafika/4/3d_bb2.pcx";

Image *part7_pages[4];
Image *part7_texture;
Image *part7_colour_picture;
Image *part7_corners[4];
PolygonPoint part7_corner_positions[4];
int32_t part7_corner = 0;
int32_t part7_corner_frames = 0;
Palette part7_palette;
ShadeTable part7_shade_table;
// Fixed tables with room for any frame up to 300 rows: the fillers write
// one entry per row of the image they draw into.
ScanlineEdge part7_left_edges[PART7_EDGE_ENTRIES];
ScanlineEdge part7_right_edges[PART7_EDGE_ENTRIES];
PolygonPoint part7_grid_screen[PART7_GRID_POINTS];
PolygonPoint part7_grid_offset[PART7_GRID_POINTS];
PolygonPoint part7_grid_texture[PART7_GRID_POINTS];
PartsWindow part7_window = PARTS_WINDOW_START;
// Light level to shown colour, from the shade table (levels past 63 show 63).
static ShadeRows part7_rows;

void part7_build_grid(void)
{
    // 16.16 steps of one ninth and one seventh of the size plus one, so the
    // last column and row land exactly on 320, 240 and 256.
    const uint32_t sx = ((PART7_WIDTH + 1u) << 16) / 9, sy = ((PART7_HEIGHT + 1u) << 16) / 7;
    const uint32_t su = ((PART7_TEXTURE_SIZE + 1u) << 16) / 9, sv = ((PART7_TEXTURE_SIZE + 1u) << 16) / 7;
    for (int r = 0; r < PART7_GRID_ROWS; r++) {
        for (int c = 0; c < PART7_GRID_COLUMNS; c++) {
            const int i = r * PART7_GRID_COLUMNS + c;
            part7_grid_screen[i] = {(int32_t)((c * sx) >> 16), (int32_t)((r * sy) >> 16)};
            part7_grid_texture[i] = {(int32_t)((c * su) >> 16), (int32_t)((r * sv) >> 16)};
            part7_grid_offset[i] = {0, 0};
        }
    }
}

void part7_page_box(int d, int *page, int *width, int *height)
{
    // The run ends before 216 tenths; any other value is held inside it.
    d = d < 0 ? 0 : (d >= PART7_TENTHS ? PART7_TENTHS - 1 : d);
    const int n = d / PART7_PAGE_TENTHS;
    const int t = d - PART7_PAGE_TENTHS * n;
    int h = t <= 19 ? 11 * t : (t <= 33 ? 220 : 11 * (PART7_PAGE_TENTHS - t));
    if (h > 220)
        h = 220;
    *page = n;
    *width = h;
    *height = h > 180 ? 180 : h;
}

void part7_sway_grid(int q)
{
    const int a = (int)(1.975 * q);
    const int b = (int)(1.137 * q);
    const int drift_x = sin_table[(q >> 1) & 1023] >> 6;
    const int drift_y = sin_table[(q >> 2) & 1023] >> 6;
    for (int r = 1; r < PART7_GRID_ROWS - 1; r++) {
        const int dy = (cos_table[(64 * r + b) & 1023] >> 5) + drift_y;
        for (int c = 1; c < PART7_GRID_COLUMNS - 1; c++) {
            // 52428 is 0.8 in 16.16: the columns' waves are 0.8 x 64
            // table steps apart.
            const int dx = (sin_table[(((52428 * c) >> 10) + a) & 1023] >> 5) + drift_x;
            part7_grid_offset[r * PART7_GRID_COLUMNS + c] = {dx, dy};
        }
    }
}

void part7_draw_grid(Image *dst, const Image *texture)
{
    const int height = dst->height < PART7_EDGE_ENTRIES ? dst->height : PART7_EDGE_ENTRIES;
    for (int c = PART7_GRID_COLUMNS - 2; c >= 0; c--) {
        for (int r = PART7_GRID_ROWS - 2; r >= 0; r--) {
            const int corner[4] = {r * PART7_GRID_COLUMNS + c, r * PART7_GRID_COLUMNS + c + 1,
                                   (r + 1) * PART7_GRID_COLUMNS + c + 1, (r + 1) * PART7_GRID_COLUMNS + c};
            PolygonPoint screen[4], uv[4];
            for (int k = 0; k < 4; k++) {
                const int i = corner[k];
                screen[k] = {part7_grid_screen[i].x + part7_grid_offset[i].x,
                             part7_grid_screen[i].y + part7_grid_offset[i].y};
                uv[k] = part7_grid_texture[i];
            }
            poly_fill_textured(dst->pixels, dst->width, height, part7_left_edges, part7_right_edges, screen, uv,
                               4, texture->pixels, texture->width, texture->height);
        }
    }
}

void part7_light_layer(uint8_t *light, const uint8_t *text)
{
    for (int i = 0; i < PART7_PIXELS; i++)
        if (text[i])
            light[i] = text[i];
    blur_fade_offset(light, PART7_WIDTH, PART7_HEIGHT, 2, 2);
    // Text brighter than its own smeared trail glows: the difference plus 20.
    for (int i = 0; i < PART7_PIXELS; i++)
        if (text[i] > light[i])
            light[i] = (uint8_t)(text[i] - light[i] + 20);
    blur_fade(light, PART7_WIDTH, PART7_HEIGHT, 0);
}

int part7_step_corner(void)
{
    if (part7_corner_frames <= 0) {
        part7_corner_frames = random_below(20) + 5;
        int next;
        do
            next = random_below(4);
        while (next == part7_corner);
        part7_corner = next;
    }
    part7_corner_frames--;
    return part7_corner;
}

void part7_load(void)
{
    // The pages' pixels are read as light: indices above 99 become levels
    // 25..63, the rest dark. Their palettes are not used.
    for (int i = 0; i < 4; i++) {
        Palette unused;
        parts_load_picture(part7_page_paths[i], &part7_pages[i], &unused, 1, 1, INT_MAX, INT_MAX);
        Image *page = part7_pages[i];
        for (size_t p = 0; p < (size_t)page->width * (size_t)page->height; p++)
            page->pixels[p] = page->pixels[p] > 99 ? (uint8_t)(page->pixels[p] >> 2) : 0;
    }
    if (image_create(&part7_texture, PART7_TEXTURE_SIZE, PART7_TEXTURE_SIZE) != 0)
        parts_fatal_alloc_image();
    part7_build_grid();

    // A corner picture is placed by its size and copied unclipped, so one
    // larger than the frame is refused. The colour picture is the 320 x 240
    // the window wanders over.
    for (int i = 0; i < 4; i++)
        parts_load_picture(part7_corner_paths[i], &part7_corners[i], &current_palette, 1, 1, PART7_WIDTH,
                           PART7_HEIGHT);
    parts_load_picture(part7_colour_path, &part7_colour_picture, &current_palette, PART7_WIDTH, PART7_HEIGHT,
                       INT_MAX, INT_MAX);

    // The corner pictures are drawn in the colour picture's palette.
    palette_sort_by_brightness(&part7_palette, &current_palette);
    image_remap_palette(part7_colour_picture, &current_palette, &part7_palette);
    for (Image *corner : part7_corners)
        image_remap_palette(corner, &current_palette, &part7_palette);
    parts_build_shade_table(&part7_palette, &part7_shade_table);
    parts_shade_rows_direct(&part7_rows, &part7_shade_table);

    for (int i = 0; i < 4; i++) {
        const int w = part7_corners[i]->width, h = part7_corners[i]->height;
        // Bottom-right, top-right, bottom-left, top-left.
        part7_corner_positions[i] = {i < 2 ? PART7_WIDTH - w : 0, i % 2 == 0 ? PART7_HEIGHT - h : 0};
    }
}

void part7_free(void)
{
    for (Image *&page : part7_pages) {
        image_destroy(&page);
        page = nullptr;
    }
    image_destroy(&part7_texture);
    image_destroy(&part7_colour_picture);
    part7_texture = part7_colour_picture = nullptr;
    for (Image *&corner : part7_corners) {
        image_destroy(&corner);
        corner = nullptr;
    }
}

void part7_draw_frame(Image *frame, int d, int q)
{
    image_clear(part7_texture, 0);
    int n, w, h;
    part7_page_box(d, &n, &w, &h);
    const Image *page = part7_pages[n];
    blit_scaled(part7_texture, (PART7_TEXTURE_SIZE - w) >> 1, (PART7_TEXTURE_SIZE - h) >> 1, w, h, page, 0, 0,
                page->width, page->height, 0, 0);

    part7_sway_grid(q);
    part7_draw_grid(work_image_b, part7_texture);
    part7_light_layer(work_image_a->pixels, work_image_b->pixels);

    blit_scaled(work_image_b, 0, 0, PART7_WIDTH, PART7_HEIGHT, part7_colour_picture, part7_window.x, part7_window.y,
                part7_window.w, part7_window.h, 0, 0);
    parts_move_window(&part7_window, 3, 2);

    parts_compose_shaded(frame->pixels, work_image_a->pixels, work_image_b->pixels, PART7_PIXELS, &part7_rows);

    const int k = part7_step_corner();
    const Image *corner = part7_corners[k];
    blit_keyed(frame, part7_corner_positions[k].x, part7_corner_positions[k].y, corner, 0, 0, corner->width,
               corner->height, 0, 1);
}

void part7_run(Image *frame)
{
    timer_start();
    int d = timer_elapsed_tenths();
    int t0 = clock_ms();
    display_set_palette(&part7_palette);
    image_clear(work_image_a, 0);

    int q = 0;
    while (d < PART7_TENTHS) {
        part7_draw_frame(frame, d, q);
        display_put_frame(frame);
        q += 32;
        wait_until_ms(t0, PART7_FRAME_MS);
        t0 = clock_ms();
        d = timer_elapsed_tenths();
    }
}
