// Object geometry: vertex search, transform flags, face and vertex normals.
#include <gtest/gtest.h>

#include "engine3d.h"

namespace {

struct ObjectHolder {
    Object3D *obj = nullptr;
    ObjectHolder(int nv, int nt) { EXPECT_EQ(object_alloc(&obj, nv, nt), 0); }
    ~ObjectHolder() { object_free(&obj); }
};

void set_triangle(Object3D *obj, int i, int a, int b, int c)
{
    obj->triangles[i].a = a;
    obj->triangles[i].b = b;
    obj->triangles[i].c = c;
}

}  // namespace

TEST(FindVertex, StartLimitAndEps)
{
    ObjectHolder h(10, 0);
    Object3D *obj = h.obj;
    const float p[3] = {1, 2, 3};
    EXPECT_EQ(object_find_vertex(obj, p, 1e-6f, -1, 8), -1);  // all zeros
    obj->vertices[9].position = Vec4{1, 2, 3, 0};
    EXPECT_EQ(object_find_vertex(obj, p, 1e-6f, -1, 8), 9);   // start -1 ignores limit
    EXPECT_EQ(object_find_vertex(obj, p, 1e-6f, 0, 8), -1);
    obj->vertices[8].position = Vec4{1, 2, 3, 0};
    EXPECT_EQ(object_find_vertex(obj, p, 1e-6f, 0, 8), -1);   // index 8 is past the limit
    obj->vertices[7].position = Vec4{1, 2, 3, 0};
    EXPECT_EQ(object_find_vertex(obj, p, 1e-6f, 0, 8), 7);
    EXPECT_EQ(object_find_vertex(obj, p, 1e-6f, 5, 8), 7);    // start does not move the search
    EXPECT_EQ(object_find_vertex(obj, p, 1e-6f, 0, 0), -1);
    EXPECT_EQ(object_find_vertex(obj, p, 1e-6f, 0, -3), -1);
    EXPECT_EQ(object_find_vertex(obj, p, 1e-6f, 0, 1000), 7); // never past the last vertex
    // Exactly eps away on one axis is no match.
    obj->vertices[7].position = Vec4{1.5f, 2, 3, 0};
    obj->vertices[8].position = Vec4{1, 2, 3.25f, 0};
    obj->vertices[9].position = Vec4{1, 2, 3.25f, 0};
    EXPECT_EQ(object_find_vertex(obj, p, 0.5f, -1, 0), 8);
    EXPECT_EQ(object_find_vertex(obj, p, 0.25f, -1, 0), -1);

    ObjectHolder empty(0, 0);
    EXPECT_EQ(object_find_vertex(empty.obj, p, 1.0f, -1, 8), -1);
}

TEST(Transform, FlagsZeroChangesNothing)
{
    ObjectHolder h(2, 1);
    Object3D *obj = h.obj;
    obj->vertices[0].position = Vec4{1, 2, 3, 4};
    obj->vertices[0].view = Vec4{5, 6, 7, 8};
    const Object3D before_record = *obj;
    const Vertex3D before = obj->vertices[0];
    Matrix4 cam;
    matrix_translation(&cam, 100, 100, 100);
    object_transform(obj, &cam, 0);
    EXPECT_EQ(memcmp(&before, &obj->vertices[0], sizeof before), 0);
    EXPECT_EQ(memcmp(&before_record, obj, sizeof before_record), 0);
}

TEST(Transform, TranslateThenCameraAndNormals)
{
    ObjectHolder h(1, 1);
    Object3D *obj = h.obj;
    matrix_translation(&obj->matrix, 10, 0, 0);
    obj->vertices[0].position = Vec4{1, 2, 3, 0};
    obj->vertices[0].normal = Vec4{0, 0, 1, 2};
    obj->triangles[0].normal = Vec4{0.6f, 0.8f, 0, 0};
    Matrix4 id;
    matrix_set_diagonal(&id, 1.0f);
    object_transform(obj, &id, 1 | 2 | 4);
    const Vec4 v = obj->vertices[0].view;
    EXPECT_EQ(v.x, 11.0f);
    EXPECT_EQ(v.y, 2.0f);
    EXPECT_EQ(v.z, 3.0f);
    EXPECT_EQ(v.w, 1.0f);
    const Vec4 fn = obj->triangles[0].view_normal;
    EXPECT_EQ(fn.x, 0.6f);
    EXPECT_EQ(fn.y, 0.8f);
    EXPECT_EQ(fn.z, 0.0f);
    EXPECT_EQ(fn.w, 1.0f);
    const Vec4 vn = obj->vertices[0].view_normal;
    EXPECT_EQ(vn.z, 1.0f);
    EXPECT_EQ(vn.w, 1.0f);

    // The object matrix acts before the camera: scale 2 then move by the
    // object's (10, 0, 0) gives 2 * (1 + 10), not 2 + 10.
    Matrix4 cam;
    matrix_scaling(&cam, 2, 2, 2);
    object_transform(obj, &cam, 1);
    EXPECT_EQ(obj->vertices[0].view.x, 22.0f);
}

TEST(Transform, CopyFlagsRunInFixedOrder)
{
    ObjectHolder h(1, 1);
    Object3D *obj = h.obj;
    matrix_set_diagonal(&obj->matrix, 1.0f);
    Matrix4 cam;
    matrix_translation(&cam, 5, 0, 0);
    obj->vertices[0].position = Vec4{1, 1, 1, 9};
    obj->vertices[0].normal = Vec4{0, 1, 0, 3};
    obj->triangles[0].normal = Vec4{1, 0, 0, 7};
    // 1 with 8: the plain copy wins, w included.
    object_transform(obj, &cam, 1 | 8 | 0x10 | 0x20);
    EXPECT_EQ(obj->vertices[0].view.x, 1.0f);
    EXPECT_EQ(obj->vertices[0].view.w, 9.0f);
    EXPECT_EQ(obj->vertices[0].view_normal.w, 3.0f);
    EXPECT_EQ(obj->triangles[0].view_normal.w, 7.0f);
}

TEST(Transform, BakeTwiceScalesTwice)
{
    ObjectHolder h(1, 0);
    Object3D *obj = h.obj;
    matrix_scaling(&obj->matrix, 80, 80, 80);
    obj->vertices[0].position = Vec4{1, -2, 0.5f, 0};
    Matrix4 id;
    matrix_set_diagonal(&id, 1.0f);
    object_transform(obj, &id, 0x41);
    EXPECT_EQ(obj->vertices[0].position.x, 80.0f);
    EXPECT_EQ(obj->vertices[0].position.y, -160.0f);
    EXPECT_EQ(obj->vertices[0].position.z, 40.0f);
    EXPECT_EQ(obj->vertices[0].position.w, 1.0f);
    object_transform(obj, &id, 0x41);
    EXPECT_EQ(obj->vertices[0].position.x, 6400.0f);
    EXPECT_EQ(obj->vertices[0].position.y, -12800.0f);
}

TEST(Normals, FaceNormalWindingAndDegenerate)
{
    ObjectHolder h(5, 3);
    Object3D *obj = h.obj;
    obj->vertices[0].position = Vec4{0, 0, 0, 0};
    obj->vertices[1].position = Vec4{2, 0, 0, 0};
    obj->vertices[2].position = Vec4{0, 3, 0, 0};
    obj->vertices[3].position = Vec4{4, 0, 0, 0};
    obj->vertices[4].position = Vec4{9, 9, 9, 0};
    set_triangle(obj, 0, 0, 1, 2);  // (b - a) x (c - a) = +z
    set_triangle(obj, 1, 0, 1, 3);  // on one line
    set_triangle(obj, 2, 4, 4, 4);  // one point
    object_compute_face_normals(obj);
    const Vec4 n = obj->triangles[0].normal;
    EXPECT_EQ(n.x, 0.0f);
    EXPECT_EQ(n.y, 0.0f);
    EXPECT_EQ(n.z, 1.0f);
    EXPECT_EQ(n.w, 0.0f);
    for (int i = 1; i < 3; i++) {
        const Vec4 d = obj->triangles[i].normal;
        EXPECT_EQ(d.x, 1.0f);
        EXPECT_EQ(d.y, 1.0f);
        EXPECT_EQ(d.z, 1.0f);
        EXPECT_EQ(d.w, 0.0f);
    }
    // Reversed winding flips the normal.
    set_triangle(obj, 0, 2, 1, 0);
    object_compute_face_normals(obj);
    EXPECT_EQ(obj->triangles[0].normal.z, -1.0f);
}

TEST(Normals, SharedVertexAveragedWithCount)
{
    ObjectHolder h(5, 2);
    Object3D *obj = h.obj;
    // Triangle 0 in the z = 0 plane facing +z, triangle 1 in x = 0 facing +x,
    // sharing vertex 0. Vertex 4 is used by no triangle.
    obj->vertices[0].position = Vec4{0, 0, 0, 0};
    obj->vertices[1].position = Vec4{1, 0, 0, 0};
    obj->vertices[2].position = Vec4{0, 1, 0, 0};
    obj->vertices[3].position = Vec4{0, 0, 1, 0};
    obj->vertices[4].position = Vec4{5, 5, 5, 0};
    obj->vertices[4].normal = Vec4{7, 7, 7, 7};
    set_triangle(obj, 0, 0, 1, 2);
    set_triangle(obj, 1, 0, 2, 3);
    object_compute_normals(obj);
    EXPECT_EQ(obj->triangles[1].normal.x, 1.0f);
    const Vec4 v0 = obj->vertices[0].normal;
    EXPECT_EQ(v0.x, 0.5f);
    EXPECT_EQ(v0.y, 0.0f);
    EXPECT_EQ(v0.z, 0.5f);
    EXPECT_EQ(v0.w, 2.0f);
    EXPECT_EQ(obj->vertices[1].normal.w, 1.0f);
    EXPECT_EQ(obj->vertices[1].normal.z, 1.0f);
    const Vec4 v4 = obj->vertices[4].normal;
    EXPECT_EQ(v4.x, 0.0f);
    EXPECT_EQ(v4.w, 0.0f);

    // The two halves give the same as the one pass.
    ObjectHolder g(5, 2);
    for (int i = 0; i < 5; i++)
        g.obj->vertices[i] = obj->vertices[i];
    for (int i = 0; i < 2; i++)
        g.obj->triangles[i] = obj->triangles[i];
    object_compute_face_normals(g.obj);
    object_average_vertex_normals(g.obj);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(memcmp(&g.obj->vertices[i].normal, &obj->vertices[i].normal, sizeof(Vec4)), 0);
}

TEST(Normals, ViewSpaceVariantsReadViewPositions)
{
    ObjectHolder h(3, 1);
    Object3D *obj = h.obj;
    obj->vertices[0].view = Vec4{0, 0, 0, 0};
    obj->vertices[1].view = Vec4{0, 0, 2, 0};
    obj->vertices[2].view = Vec4{0, 2, 0, 0};
    for (int i = 0; i < 3; i++)
        obj->vertices[i].position = Vec4{0, 0, 0, 0};
    set_triangle(obj, 0, 0, 1, 2);
    object_compute_view_normals(obj);
    EXPECT_EQ(obj->triangles[0].view_normal.x, -1.0f);
    EXPECT_EQ(obj->vertices[2].view_normal.x, -1.0f);
    EXPECT_EQ(obj->vertices[2].view_normal.w, 1.0f);
    object_compute_view_face_normals(obj);
    object_average_view_vertex_normals(obj);
    EXPECT_EQ(obj->vertices[1].view_normal.x, -1.0f);
}
