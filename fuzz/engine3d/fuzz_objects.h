// fuzz_objects.h: what the object-loader fuzz targets share: the input is
// written to an in-memory file (the loaders read paths), and any object a
// loader accepts is put through the geometry and view pipeline and drawn,
// depth-sorted, by one of the renderers into a 320x240 target, so the
// sanitizers see every index the loader let through and every pixel and
// texel the fillers touch.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine3d.h"

// One input byte steers the drawing: which renderer (bits 0-3, taken
// modulo 13), which texture object_map_uv fits the coordinates to (bits
// 4-6; 6 and 7 keep the loaded coordinates and texture bytes), and bit 7
// turns the depth sort off (and, for the wireframes, draws back faces too).
// One renderer per input keeps each run short; the fuzzer reaches every
// renderer through this byte.
struct FuzzDraw {
    int renderer;
    int texture;  // -1: keep what the loader set
    int32_t sort;
};

static FuzzDraw fuzz_draw_choice(uint8_t b)
{
    const int texture = (b >> 4) & 7;
    return FuzzDraw{(b & 15) % 13, texture < 6 ? texture : -1, (b & 0x80) ? 0 : 1};
}

// Writes the input to the target's one file and returns its path. The file
// is kept open and rewritten in place, never truncated on opening: on a disk
// that made every run wait for the truncation and the write-back, which cost
// most of the time. It lives in $TMPDIR when that is set (fuzz/run-all
// points it at its in-memory work folder, which it removes even after a
// crash), and otherwise in an anonymous memory file that nothing outlives.
static char fuzz_path[4096];

static void fuzz_remove_input(void)
{
    unlink(fuzz_path);
}

static int fuzz_open_input(void)
{
    const char *dir = getenv("TMPDIR");
    if (dir && *dir &&
        snprintf(fuzz_path, sizeof fuzz_path, "%s/skarn_fuzz_XXXXXX", dir) < (int)sizeof fuzz_path) {
        const int fd = mkstemp(fuzz_path);
        if (fd >= 0) {
            atexit(fuzz_remove_input);
            return fd;
        }
    }
    const int fd = memfd_create("skarn_fuzz_input", 0);
    if (fd < 0) {
        perror("memfd_create");
        abort();
    }
    snprintf(fuzz_path, sizeof fuzz_path, "/proc/self/fd/%d", fd);
    return fd;
}

static const char *fuzz_write_input(const uint8_t *data, size_t size)
{
    static int fd = -1;
    static size_t written;
    if (fd < 0)
        fd = fuzz_open_input();
    if (pwrite(fd, data, size, 0) != (ssize_t)size)
        abort();
    if (size < written && ftruncate(fd, (off_t)size) != 0)
        abort();
    written = size;
    return fuzz_path;
}

// The same palette for every run: built once.
static const Palette *fuzz_palette(void)
{
    static Palette pal;
    static bool made;
    if (!made) {
        for (int i = 0; i < 768; i++)
            pal.rgb[i] = (uint8_t)(i * 7);
        made = true;
    }
    return &pal;
}

// Square textures of every width the span fillers tell apart: five that
// wrap by masking, and one (100) that wraps by a remainder.
static constexpr int FUZZ_TEXTURES = 6;
static constexpr int32_t fuzz_texture_sides[FUZZ_TEXTURES] = {256, 128, 64, 32, 16, 100};

// The render target, the textures and the shade table, made once. Each
// picture is a block of its exact size, so the address sanitizer reports a
// read or write one byte outside it.
struct FuzzScene {
    Image *target;
    Image *textures[FUZZ_TEXTURES];
    Image *table[256];  // every texture byte names one of the textures
    ShadeTable shade;
};

static FuzzScene *fuzz_scene(void)
{
    static FuzzScene scene;
    if (scene.target)
        return &scene;
    if (image_create(&scene.target, 320, 240) != 0)
        abort();
    for (int i = 0; i < FUZZ_TEXTURES; i++) {
        const int32_t side = fuzz_texture_sides[i];
        if (image_create(&scene.textures[i], side, side) != 0)
            abort();
        for (int32_t p = 0; p < side * side; p++)
            scene.textures[i]->pixels[p] = (uint8_t)(p * 13 + i);
    }
    for (int i = 0; i < 256; i++)
        scene.table[i] = scene.textures[i % FUZZ_TEXTURES];
    palette_build_shade_table(fuzz_palette(), &scene.shade);
    render_set_target(scene.target->pixels, scene.target->width, scene.target->height);
    // The camera never moves: built once (its matrix inverse cost a run
    // more than the loading of a small object).
    view_build_camera(0, 0, 1500, 0.5f, 0.5f, 1.0f, 0, 3.14159265f, 0, &camera_matrix,
                      &camera_rotation);
    return &scene;
}

// The chosen renderer on the projected object.
static void fuzz_draw(FuzzScene *scene, Object3D *s, const FuzzDraw &d)
{
    Image *img = scene->target;
    Image **tex = scene->table;
    const ShadeTable *shade = &scene->shade;
    const int32_t sort = d.sort;
    switch (d.renderer) {
    case 0: render_wireframe(img, s, 160, 120, sort, sort); break;
    case 1: render_wireframe_colour(img, s, 159, 119, sort, sort, 300); break;
    case 2: render_flat(img, s, 160, 120, sort); break;
    case 3: render_flat_lit(img, s, 160, 120, sort); break;
    case 4: render_flat_shaded(img, s, 160, 120, sort, shade); break;
    case 5: render_gouraud(img, s, 160, 120, sort); break;
    case 6: render_gouraud_shaded(img, s, 160, 120, sort, shade); break;
    case 7: render_textured(img, s, 160, 120, sort, tex); break;
    case 8: render_textured_shaded(img, s, 160, 120, sort, tex, shade); break;
    case 9: render_perspective(img, s, 160, 120, sort, tex); break;
    case 10: render_perspective_shaded(img, s, 160, 120, sort, tex, shade); break;
    case 11: render_envmap(img, s, 160, 120, sort, tex); break;
    default: render_envmap_shaded(img, s, 160, 120, sort, tex, shade); break;
    }
}

// Clips obj into the scratch object with the clipper that suits the
// renderer: the lit one where vertex light levels are drawn, the one that
// leaves texture coordinates alone where none are drawn.
static void fuzz_clip(Object3D *obj, int renderer)
{
    const bool vertex_light = renderer == 5 || renderer == 6 || renderer == 8 ||
                              renderer == 10 || renderer == 12;
    if (vertex_light)
        view_clip_lit(obj, 80.0f, 5000.0f, 200.0f, 160, 120);
    else if (renderer <= 4)
        view_clip_untextured(obj, 80.0f, 5000.0f, 200.0f, 160, 120);
    else
        view_clip(obj, 80.0f, 5000.0f, 200.0f, 160, 120);
}

// The show's frame on one object: bake, normals, texture mapping,
// transform, lighting, clip, subdivision, projection, and the renderer that
// the draw byte picks.
static void fuzz_run_pipeline(Object3D *obj, uint8_t draw_byte)
{
    for (int i = 0; i < obj->triangle_count; i++) {
        if (!object_triangle_in_range(obj, &obj->triangles[i]))
            abort();  // the loader must have rejected this
    }
    const FuzzDraw draw = fuzz_draw_choice(draw_byte);
    Matrix4 id;
    matrix_set_diagonal(&id, 1.0f);
    // Small on screen unless the file asks otherwise (a seed object is some
    // ten pixels across): most runs draw few pixels, and large coordinates
    // still reach every edge of the screen.
    matrix_scaling(&obj->matrix, 2, 2, 2);
    object_transform(obj, &id, 0x41);
    object_compute_normals(obj);
    matrix_rotation_euler(&obj->matrix, 0.3f, 0.2f, 0.1f);
    FuzzScene *scene = fuzz_scene();
    if (draw.texture >= 0)
        object_map_uv(obj, scene->table, draw.texture, 1.0f);
    object_transform(obj, &camera_matrix, 1);
    object_transform(obj, &camera_rotation, 6);
    const float light[3] = {1, -1, 2};
    view_light_vertices(obj, light, 3, 60);
    view_light_triangles(obj, light, 3, 60);
    view_reset_clip_scratch();
    fuzz_clip(obj, draw.renderer);
    Object3D *s = view_get_clip_scratch();
    view_subdivide(s);
    view_project(s, 200.0f);
    fuzz_draw(scene, s, draw);
}
