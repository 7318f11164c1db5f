// fuzz_objects.h: what the object-loader fuzz targets share: the input is
// written to a private temporary file (the loaders read paths), and any
// object a loader accepts is put through the geometry and view pipeline, so
// the sanitizers see every index the loader let through.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine3d.h"

static char fuzz_dir[64];
static char fuzz_path[96];

static void fuzz_remove_temp(void)
{
    unlink(fuzz_path);
    rmdir(fuzz_dir);
}

// Writes the input to the target's one temporary file and returns its path.
static const char *fuzz_write_input(const uint8_t *data, size_t size)
{
    if (!fuzz_dir[0]) {
        strcpy(fuzz_dir, "/tmp/skarn_fuzz_XXXXXX");
        if (!mkdtemp(fuzz_dir))
            abort();
        snprintf(fuzz_path, sizeof fuzz_path, "%s/object", fuzz_dir);
        atexit(fuzz_remove_temp);
    }
    FILE *f = fopen(fuzz_path, "wb");
    if (!f || fwrite(data, 1, size, f) != size)
        abort();
    fclose(f);
    return fuzz_path;
}

static Palette fuzz_palette(void)
{
    Palette pal;
    for (int i = 0; i < 768; i++)
        pal.rgb[i] = (uint8_t)(i * 7);
    return pal;
}

// The show's frame on one object: bake, normals, texture mapping, camera,
// transform, clip, project; then lighting and subdivision of the result.
static void fuzz_run_pipeline(Object3D *obj)
{
    for (int i = 0; i < obj->triangle_count; i++) {
        const Triangle3D &t = obj->triangles[i];
        if (t.a < 0 || t.a >= obj->vertex_count || t.b < 0 || t.b >= obj->vertex_count ||
            t.c < 0 || t.c >= obj->vertex_count)
            abort();  // the loader must have rejected this
    }
    Matrix4 id;
    matrix_set_diagonal(&id, 1.0f);
    matrix_scaling(&obj->matrix, 80, 80, 80);
    object_transform(obj, &id, 0x41);
    object_compute_normals(obj);
    matrix_rotation_euler(&obj->matrix, 0.3f, 0.2f, 0.1f);
    Image tex = {64, 64, nullptr};
    Image *textures[1] = {&tex};
    object_map_uv(obj, textures, 0, 1.0f);
    view_build_camera(0, 0, 1500, 0.5f, 0.5f, 1.0f, 0, 3.14159265f, 0, &camera_matrix,
                      &camera_rotation);
    object_transform(obj, &camera_matrix, 1);
    object_transform(obj, &camera_rotation, 6);
    view_reset_clip_scratch();
    view_clip(obj, 80.0f, 5000.0f, 200.0f, 160, 120);
    view_clip_lit(obj, 80.0f, 5000.0f, 200.0f, 160, 120);
    Object3D *s = view_get_clip_scratch();
    const float light[3] = {1, -1, 2};
    view_light_vertices(s, light, 3, 60);
    view_light_triangles(s, light, 3, 60);
    view_subdivide(s);
    view_project(s, 200.0f);
    for (int i = 0; i < s->vertex_count; i++) {
        volatile int32_t x = float_to_int_trunc(s->vertices[i].view.x);
        (void)x;
    }
}
