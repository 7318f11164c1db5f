// part6.cpp: part 6 of the show, spinning wireframe objects. Two objects
// read from .t3d files spin in front of the camera; both are clipped into
// one scratch object and drawn as a double wireframe into a wobbling light
// layer, which lights a wobbling picture seen through a bouncing window.
#include "common.h"
#include "engine3d.h"
#include "gfx2d.h"

#include <cstdio>

constexpr int PART6_FRAME_MS = 60;
constexpr float PART6_PI = 3.1415927f;
constexpr float PART6_HALF_PI = 1.5707964f;
// Textures are drawn by no renderer here; any size up to this loads.
constexpr int PART6_TEXTURE_MAX = 1024;

Image *part6_light_picture;
Image *part6_colour_picture;
Image *part6_textures[2];
int32_t part6_texture_sizes[2];
Palette part6_palette;
ShadeTable part6_shade_table;
Object3D *part6_object_a;
Object3D *part6_object_b;
PartsWindow part6_window = PARTS_WINDOW_START;
int32_t part6_colour_shift[240];
int32_t part6_light_shift[240];

static const char *part6_texture_names[2] = {"none", "3d_bb1"};
static Matrix4 part6_spin_a;
static Matrix4 part6_spin_b;
// Light level to shown colour, from the shade table (levels past 63 show 63).
static ShadeRows part6_rows;

// Loads one object, gives all its triangles one colour and bakes its
// scale and turn into its positions; texture coordinates are fitted to
// texture 1 (3d_bb1). A file that does not load ends the show.
static void part6_load_object(Object3D **obj, const char *path, int colour, float sx, float sy, float sz)
{
    if (t3d_load(obj, path, &part6_palette, 1, part6_texture_names, part6_texture_sizes, 2) != 0) {
        char message[1024];
        snprintf(message, sizeof message, "Can't load object %s !\n", path);
        show_fatal(message, -1);
    }
    object_set_colour(*obj, colour);
    part6_bake_object(*obj, sx, sy, sz);
    object_map_uv(*obj, &part6_textures[1], 0, 1.0f);
}

void part6_load(void)
{
    parts_load_picture_cant("grafika/4/sinus.pcx", &part6_light_picture, &current_palette, 320, 240, 320, 240);
    palette_sort_by_brightness(&part6_palette, &current_palette);
    image_remap_palette(part6_light_picture, &current_palette, &part6_palette);
    parts_make_light_levels(part6_light_picture, 5);

    for (int i = 0; i < 2; i++) {
        char path[64];
        snprintf(path, sizeof path, "3d/%s.pcx", part6_texture_names[i]);
        parts_load_picture_cant(path, &part6_textures[i], &current_palette, 1, 1, PART6_TEXTURE_MAX,
                                PART6_TEXTURE_MAX);
        part6_texture_sizes[i] = part6_textures[i]->width;
    }

    // The textures' own palettes are not used: their pixels are read in
    // the colour picture's palette, like the picture's own.
    parts_load_picture_cant("grafika/4/3d_bb2.pcx", &part6_colour_picture, &current_palette, 320, 240, 320, 240);
    palette_sort_by_brightness(&part6_palette, &current_palette);
    image_remap_palette(part6_colour_picture, &current_palette, &part6_palette);
    for (Image *texture : part6_textures)
        image_remap_palette(texture, &current_palette, &part6_palette);
    parts_build_shade_table(&part6_palette, &part6_shade_table);
    parts_shade_rows_direct(&part6_rows, &part6_shade_table);

    // Object B turns by the same step every frame.
    matrix_rotation_euler(&part6_spin_b, 0, -0.16981582f, 0);
    part6_load_object(&part6_object_a, "3d/bb/demo03b.t3d", 64, 80, 80, 80);
    part6_load_object(&part6_object_b, "3d/bb/grimfall.t3d", 0, 160, 320, 320);
}

void part6_free(void)
{
    for (Image *&texture : part6_textures) {
        image_destroy(&texture);
        texture = nullptr;
    }
    image_destroy(&part6_colour_picture);
    image_destroy(&part6_light_picture);
    part6_colour_picture = part6_light_picture = nullptr;
    // The run frees the objects; these only matter when it never ran.
    object_free(&part6_object_a);
    object_free(&part6_object_b);
}

void part6_bake_object(Object3D *obj, float sx, float sy, float sz)
{
    Matrix4 turn, scale, identity;
    matrix_rotation_euler(&turn, PART6_HALF_PI, PART6_PI, 0);
    matrix_scaling(&scale, sx, sy, sz);
    matrix_multiply(&scale, &turn, &obj->matrix);  // turn x scale: scaled first
    matrix_set_diagonal(&identity, 1.0f);
    object_transform(obj, &identity, TRANSFORM_POSITIONS | COPY_VIEW_TO_POSITIONS);
    object_compute_normals(obj);
    matrix_rotation_euler(&obj->matrix, 0, 0, 0);
}

void part6_spin_rates(int d, float rates[3])
{
    static const float rate[3] = {0.27318197f, 0.23271057f, 0.2026834f};
    // From d = 33 on the rates move one place to the left, from 66 on two.
    const int shift = d >= 66 ? 2 : (d >= 33 ? 1 : 0);
    for (int i = 0; i < 3; i++)
        rates[i] = rate[(i + shift) % 3];
}

void part6_camera_a(int v, float *tx, float *ty, float *tz)
{
    const unsigned u = (unsigned)v;
    *tx = (float)(sin_table[(16 * u) & 1023] >> 2);
    *ty = (float)(cos_table[(64 * u) & 1023] >> 2);
    *tz = (float)(1500 + (cos_table[(64 * u) & 1023] >> 1));
}

void part6_place_object(Object3D *obj, const Matrix4 *spin, float tx, float ty, float tz)
{
    if (!obj)
        return;
    Matrix4 turned;
    matrix_multiply(&obj->matrix, spin, &turned);  // spin x matrix: the step comes last
    obj->matrix = turned;
    view_build_camera(tx, ty, tz, 0.5f, 0.5f, 1.0f, 0, PART6_PI, 0, &camera_matrix, &camera_rotation);
    object_transform(obj, &camera_matrix, TRANSFORM_POSITIONS);
    object_transform(obj, &camera_rotation, TRANSFORM_FACE_NORMALS | TRANSFORM_VERTEX_NORMALS);
    view_clip(obj, 80.0f, 5000.0f, 200.0f, 160, 120);
}

void part6_draw_frame(Image *frame, int d, int v)
{
    float rates[3];
    part6_spin_rates(d, rates);
    matrix_rotation_euler(&part6_spin_a, rates[0], rates[1], rates[2]);

    // Both objects, each seen by its own camera, into one scratch object.
    view_reset_clip_scratch();
    float tx, ty, tz;
    part6_camera_a(v, &tx, &ty, &tz);
    part6_place_object(part6_object_a, &part6_spin_a, tx, ty, tz);
    part6_place_object(part6_object_b, &part6_spin_b, 0, 0, 1000.0f);
    Object3D *scene = view_get_clip_scratch();
    view_project(scene, 200.0f);

    // Colour layer: the wobbled picture through the bouncing window.
    parts_row_shifts(part6_colour_shift, 4 * v, 15);
    parts_copy_rows_shifted(work_image_a, part6_colour_picture, part6_colour_shift);
    blit_scaled(work_image_b, 0, 0, 320, 240, work_image_a, part6_window.x, part6_window.y, part6_window.w,
                part6_window.h, 0, 0);
    parts_move_window(&part6_window, 3, 2);

    // Light layer: the wobbled light picture with both wireframes drawn
    // twice, one pixel apart, then smeared sideways.
    parts_row_shifts(part6_light_shift, 8 * v, 13);
    parts_copy_rows_shifted(work_image_a, part6_light_picture, part6_light_shift);
    render_wireframe(work_image_a, scene, 160, 120, 1, 1);
    render_wireframe(work_image_a, scene, 159, 119, 1, 1);
    blur_fade_offset(work_image_a->pixels, 320, 240, 0, 1);

    parts_compose_shaded(frame->pixels, work_image_a->pixels, work_image_b->pixels, 320 * 240, &part6_rows);
}

void part6_run(Image *frame, int tenths)
{
    int v = 0;
    timer_start();
    int d = timer_elapsed_tenths();
    int t0 = clock_ms();
    display_set_palette(&part6_palette);

    while (d < tenths) {
        part6_draw_frame(frame, d, v);
        display_put_frame(frame);
        v++;
        wait_until_ms(t0, PART6_FRAME_MS);
        t0 = clock_ms();
        d = timer_elapsed_tenths();
    }

    object_free(&part6_object_a);
    object_free(&part6_object_b);
}
