// geometry.cpp: vertex search, object transform and face/vertex normals.
#include "object.h"

int32_t object_find_vertex(const Object3D *, const float *, float, int32_t, int32_t) { return -1; }
void object_transform(Object3D *, const Matrix4 *, int32_t) {}
void object_compute_normals(Object3D *) {}
void object_compute_view_normals(Object3D *) {}
void object_compute_face_normals(Object3D *) {}
void object_compute_view_face_normals(Object3D *) {}
void object_average_vertex_normals(Object3D *) {}
void object_average_view_vertex_normals(Object3D *) {}
