// view.cpp: camera, clipping into the shared scratch object, projection.
#include "view.h"

Matrix4 camera_matrix;
Matrix4 camera_rotation;

static Vertex3D clip_vertices[VIEW_SCRATCH_VERTICES];
static Triangle3D clip_triangles[VIEW_SCRATCH_TRIANGLES];
static DepthPair clip_pairs[VIEW_SCRATCH_TRIANGLES];
static Object3D clip_scratch_object = {0, 0, clip_vertices, clip_triangles, clip_pairs,
                                       {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
                                       VIEW_SCRATCH_VERTICES, VIEW_SCRATCH_TRIANGLES};

void view_build_camera(float, float, float, float, float, float, float, float, float, Matrix4 *,
                       Matrix4 *) {}
void view_reset_clip_scratch(void) { clip_scratch_object.vertex_count = clip_scratch_object.triangle_count = 0; }
Object3D *view_get_clip_scratch(void) { return &clip_scratch_object; }
int view_is_scratch_object(const Object3D *obj) { return obj == &clip_scratch_object; }
void view_clip(Object3D *, float, float, float, int, int) {}
void view_clip_untextured(Object3D *, float, float, float, int, int) {}
void view_clip_lit(Object3D *, float, float, float, int, int) {}
void view_project(Object3D *, float) {}
void view_mark_facing(Object3D *) {}
void view_light_vertices(Object3D *, const float *, int, unsigned) {}
void view_light_triangles(Object3D *, const float *, int, unsigned) {}
Object3D *view_subdivide(Object3D *obj) { return obj; }
