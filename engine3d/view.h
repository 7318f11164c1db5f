// view.h: the per-frame view pipeline: camera matrices, view-volume culling
// and near-plane clipping into one shared scratch object, perspective
// projection with facing flags, lighting and subdivision.
#pragma once

#include "../runtime/skarn.h"
#include "matrix.h"
#include "object.h"

// Room of each of the two static scratch objects.
enum { VIEW_SCRATCH_VERTICES = 10000, VIEW_SCRATCH_TRIANGLES = 10000 };

// Written by view_build_camera: positions go through camera_matrix,
// normals through camera_rotation.
extern Matrix4 camera_matrix;
extern Matrix4 camera_rotation;

// rotation = euler(ax, ay, az); camera = rotation x inverse(S(s) x T(t)).
void view_build_camera(float tx, float ty, float tz, float sx, float sy, float sz, float ax,
                       float ay, float az, Matrix4 *camera, Matrix4 *rotation);

void view_reset_clip_scratch(void);
Object3D *view_get_clip_scratch(void);
// 1 for the engine's two static scratch objects (never freed).
int view_is_scratch_object(const Object3D *obj);

// Clip codes of obj's vertices, then obj's vertices and its kept (culled,
// near-cut) triangles appended to the clip scratch object. Appends nothing
// that would not fit: triangles that no longer fit are dropped.
void view_clip(Object3D *obj, float near, float far, float focal, int half_w, int half_h);
void view_clip_untextured(Object3D *obj, float near, float far, float focal, int half_w,
                          int half_h);
void view_clip_lit(Object3D *obj, float near, float far, float focal, int half_w, int half_h);

// x, y of every view position times focal / z; then the facing flags.
void view_project(Object3D *obj, float focal);
void view_mark_facing(Object3D *obj);

void view_light_vertices(Object3D *obj, const float light[3], int base, unsigned k);
void view_light_triangles(Object3D *obj, const float light[3], int base, unsigned k);

// Every triangle split into four in place; obj unchanged when the result
// would not fit its arrays or the staging object.
Object3D *view_subdivide(Object3D *obj);
