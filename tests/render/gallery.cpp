// gallery.cpp: renders a cube and a torus through every renderer of the 3D
// engine into 320x240 frames, writes each frame as a PCX file into the
// folder given on the command line for a person to look at, and checks the
// colour at the centre of the cube's front face. Exit status 0 when every
// check holds.
#include "engine3d.h"
#include "gfx2d.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr int TEX = 64;
constexpr uint8_t TEX_CENTRE = 230;  // the colour of the textures' middle

enum GalleryRenderer {
    G_WIREFRAME,
    G_FLAT,
    G_FLAT_LIT,
    G_FLAT_SHADED,
    G_GOURAUD,
    G_GOURAUD_SHADED,
    G_TEXTURED,
    G_TEXTURED_SHADED,
    G_PERSPECTIVE,
    G_PERSPECTIVE_SHADED,
    G_ENVMAP,
    G_ENVMAP_SHADED,
    G_COUNT
};

const char *gallery_names[G_COUNT] = {
    "wireframe", "flat",         "flat_lit",           "flat_shaded",
    "gouraud",   "gouraud_shaded", "textured",         "textured_shaded",
    "perspective", "perspective_shaded", "envmap",     "envmap_shaded",
};

Palette gallery_palette;
ShadeTable gallery_shade;
Image *gallery_checker;   // checker board with a plain middle
Image *gallery_spot;      // radial light spot, plain in the middle
int gallery_failures;

void gallery_check(bool ok, const char *what, int got, int want)
{
    if (!ok) {
        std::printf("FAIL %s: got %d, want %d\n", what, got, want);
        gallery_failures++;
    }
}

// Brightness grows with the index, the hue wanders.
void gallery_build_palette(void)
{
    for (int i = 0; i < 256; i++) {
        double v = i / 255.0;
        gallery_palette.rgb[3 * i + 0] = (uint8_t)(255 * v);
        gallery_palette.rgb[3 * i + 1] = (uint8_t)(255 * v * (0.5 + 0.5 * std::sin(i * 0.05)));
        gallery_palette.rgb[3 * i + 2] = (uint8_t)(255 * v * (0.5 + 0.5 * std::cos(i * 0.03)));
    }
    palette_build_shade_table(&gallery_palette, &gallery_shade);
}

void gallery_build_textures(void)
{
    image_create(&gallery_checker, TEX, TEX);
    image_create(&gallery_spot, TEX, TEX);
    for (int v = 0; v < TEX; v++)
        for (int u = 0; u < TEX; u++) {
            bool middle = u >= 20 && u < 44 && v >= 20 && v < 44;
            gallery_checker->pixels[v * TEX + u] =
                middle ? TEX_CENTRE : (((u >> 3) ^ (v >> 3)) & 1 ? 180 : 60);
            double d = std::hypot(u - 31, v - 31);
            int spot = d <= 6 ? TEX_CENTRE : (int)(TEX_CENTRE - (d - 6) * 6);
            gallery_spot->pixels[v * TEX + u] = (uint8_t)(spot < 30 ? 30 : spot);
        }
}

// Appends a triangle whose a, b, c run so that (b - a) x (c - a) points away
// from the inside point o: its outside faces the viewer when in front.
void gallery_triangle(Object3D *obj, int *n, const float o[3], int a, int b, int c, uint8_t colour,
                      TexCoords uv)
{
    const Vec4 &pa = obj->vertices[a].position, &pb = obj->vertices[b].position,
               &pc = obj->vertices[c].position;
    float ex = pb.x - pa.x, ey = pb.y - pa.y, ez = pb.z - pa.z;
    float fx = pc.x - pa.x, fy = pc.y - pa.y, fz = pc.z - pa.z;
    float nx = ey * fz - ez * fy, ny = ez * fx - ex * fz, nz = ex * fy - ey * fx;
    float mx = pa.x - o[0], my = pa.y - o[1], mz = pa.z - o[2];
    Triangle3D &t = obj->triangles[(*n)++];
    std::memset(&t, 0, sizeof t);
    t.a = a;
    t.colour = colour;
    if (nx * mx + ny * my + nz * mz >= 0) {
        t.b = b;
        t.c = c;
        t.uv = uv;
    } else {
        t.b = c;
        t.c = b;
        t.uv = TexCoords{uv.ua, uv.va, uv.uc, uv.vc, uv.ub, uv.vb};
    }
}

void gallery_vertex(Object3D *obj, int i, float x, float y, float z)
{
    std::memset(&obj->vertices[i], 0, sizeof(Vertex3D));
    obj->vertices[i].position = Vec4{x, y, z, 0};
}

// A cube of 24 vertices (four per face, so every face has flat normals),
// face f in colour 40 + 32 f, the whole texture on every face.
Object3D *gallery_cube(float h)
{
    Object3D *obj = nullptr;
    if (object_alloc(&obj, 24, 12) != 0)
        return nullptr;
    int n = 0;
    for (int f = 0; f < 6; f++) {
        int axis = f / 2;
        float side = (f & 1) ? h : -h;
        for (int k = 0; k < 4; k++) {
            float p[3];
            float s = (k == 1 || k == 2) ? h : -h, t = (k >= 2) ? h : -h;
            p[axis] = side;
            p[(axis + 1) % 3] = s;
            p[(axis + 2) % 3] = t;
            gallery_vertex(obj, 4 * f + k, p[0], p[1], p[2]);
        }
        int b = 4 * f;
        uint8_t colour = (uint8_t)(40 + 32 * f);
        const float centre[3] = {0, 0, 0};
        gallery_triangle(obj, &n, centre, b, b + 1, b + 2, colour,
                         TexCoords{0, 0, TEX - 1, 0, TEX - 1, TEX - 1});
        gallery_triangle(obj, &n, centre, b, b + 2, b + 3, colour,
                         TexCoords{0, 0, TEX - 1, TEX - 1, 0, TEX - 1});
    }
    return obj;
}

// A torus around the z axis, ring radius big, tube radius small.
Object3D *gallery_torus(float big, float small, int rings, int sides)
{
    Object3D *obj = nullptr;
    if (object_alloc(&obj, rings * sides, 2 * rings * sides) != 0)
        return nullptr;
    for (int i = 0; i < rings; i++)
        for (int j = 0; j < sides; j++) {
            double a = 2 * M_PI * i / rings, b = 2 * M_PI * j / sides;
            double r = big + small * std::cos(b);
            gallery_vertex(obj, i * sides + j, (float)(r * std::cos(a)), (float)(r * std::sin(a)),
                           (float)(small * std::sin(b)));
        }
    int n = 0;
    for (int i = 0; i < rings; i++)
        for (int j = 0; j < sides; j++) {
            int i1 = (i + 1) % rings, j1 = (j + 1) % sides;
            int v00 = i * sides + j, v10 = i1 * sides + j, v01 = i * sides + j1, v11 = i1 * sides + j1;
            int u0 = i * 2 * TEX / rings, u1 = (i + 1) * 2 * TEX / rings;
            int w0 = j * TEX / sides, w1 = (j + 1) * TEX / sides;
            uint8_t colour = (uint8_t)(64 + ((i + j) & 3) * 40);
            // Outward is away from the tube's centre line, not the torus centre.
            double a = 2 * M_PI * (i + 0.5) / rings;
            const float tube[3] = {(float)(big * std::cos(a)), (float)(big * std::sin(a)), 0};
            gallery_triangle(obj, &n, tube, v00, v10, v11, colour, TexCoords{u0, w0, u1, w0, u1, w1});
            gallery_triangle(obj, &n, tube, v00, v11, v01, colour, TexCoords{u0, w0, u1, w1, u0, w1});
        }
    return obj;
}

// Object matrix, identity camera, transform, normals, light, projection.
void gallery_place(Object3D *obj, float ax, float ay, float az, float tx, float ty, float tz)
{
    Matrix4 rotation, translation, camera;
    matrix_rotation_euler(&rotation, ax, ay, az);
    matrix_translation(&translation, tx, ty, tz);
    matrix_multiply(&rotation, &translation, &obj->matrix);
    matrix_set_diagonal(&camera, 1.0f);
    object_transform(obj, &camera, TRANSFORM_POSITIONS);
    object_compute_view_normals(obj);
    // Light from the viewer: a face turned to the screen gets 8 + 50.
    const float light[3] = {0.3f, -0.4f, 1.0f};
    view_light_vertices(obj, light, 8, 50);
    view_light_triangles(obj, light, 8, 50);
    view_project(obj, 200.0f);
}

void gallery_draw(int which, Image *frame, Object3D *obj)
{
    Image *checker[1] = {gallery_checker};
    Image *spot[1] = {gallery_spot};
    switch (which) {
    case G_WIREFRAME: render_wireframe(frame, obj, 160, 120, 1, 1); break;
    case G_FLAT: render_flat(frame, obj, 160, 120, 1); break;
    case G_FLAT_LIT: render_flat_lit(frame, obj, 160, 120, 1); break;
    case G_FLAT_SHADED: render_flat_shaded(frame, obj, 160, 120, 1, &gallery_shade); break;
    case G_GOURAUD: render_gouraud(frame, obj, 160, 120, 1); break;
    case G_GOURAUD_SHADED: render_gouraud_shaded(frame, obj, 160, 120, 1, &gallery_shade); break;
    case G_TEXTURED: render_textured(frame, obj, 160, 120, 1, checker); break;
    case G_TEXTURED_SHADED:
        render_textured_shaded(frame, obj, 160, 120, 1, checker, &gallery_shade);
        break;
    case G_PERSPECTIVE: render_perspective(frame, obj, 160, 120, 1, checker); break;
    case G_PERSPECTIVE_SHADED:
        render_perspective_shaded(frame, obj, 160, 120, 1, checker, &gallery_shade);
        break;
    case G_ENVMAP: render_envmap(frame, obj, 160, 120, 1, spot); break;
    case G_ENVMAP_SHADED: render_envmap_shaded(frame, obj, 160, 120, 1, spot, &gallery_shade); break;
    }
}

// The colour that renderer `which` must give the middle of the cube's
// front face (face 4, triangle 8, vertices 16..19); for the wireframe, its
// corner at vertex 16.
int gallery_expected(int which, const Object3D *cube)
{
    const Triangle3D &t = cube->triangles[8];
    const int tri_row = t.light > 63 ? 63 : t.light;
    const uint8_t vlight = cube->vertices[16].light;
    const int vert_row = vlight > 63 ? 63 : vlight;
    switch (which) {
    case G_WIREFRAME:
    case G_FLAT: return t.colour;
    case G_FLAT_LIT: return (t.light << 2) & 0xFF;
    case G_FLAT_SHADED: return gallery_shade.level[tri_row][t.colour];
    case G_GOURAUD: return (vlight << 2) & 0xFF;
    case G_GOURAUD_SHADED: return gallery_shade.level[vert_row][t.colour];
    case G_TEXTURED:
    case G_PERSPECTIVE:
    case G_ENVMAP: return TEX_CENTRE;
    default: return gallery_shade.level[vert_row][TEX_CENTRE];
    }
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string dir = argc > 1 ? argv[1] : "gallery";
    std::filesystem::create_directories(dir);
    gallery_build_palette();
    gallery_build_textures();
    Image *frame = nullptr;
    Object3D *cube = gallery_cube(40);
    Object3D *torus = gallery_torus(45, 18, 24, 12);
    if (image_create(&frame, 320, 240) != 0 || !cube || !torus || !gallery_checker || !gallery_spot) {
        std::printf("gallery: cannot allocate\n");
        return 1;
    }
    render_set_target(frame->pixels, 320, 240);

    for (int which = 0; which < G_COUNT; which++) {
        image_clear(frame, 0);
        gallery_place(torus, 1.0f, 0.5f, 0.3f, 80, 0, 300);
        gallery_draw(which, frame, torus);
        // The cube faces the viewer squarely: face 4 (z = -h) is its front.
        gallery_place(cube, 0, 0, 0, -80, 0, 300);
        gallery_draw(which, frame, cube);

        int cx = 0, cy = 0;
        for (int v = 16; v < 20; v++) {
            cx += projected_vertices[v].x;
            cy += projected_vertices[v].y;
        }
        cx /= 4;
        cy /= 4;
        // A wireframe leaves the middle open; its corner a carries the colour.
        if (which == G_WIREFRAME) {
            cx = projected_vertices[16].x;
            cy = projected_vertices[16].y;
        }
        const int got = frame->pixels[cy * 320 + cx];
        std::string what = std::string(gallery_names[which]) + " front face centre";
        gallery_check(got == gallery_expected(which, cube), what.c_str(), got,
                      gallery_expected(which, cube));
        gallery_check(cube->triangles[8].visible == 1, "front face facing", 0, 1);
        int written = 0;
        for (int i = 0; i < 320 * 240; i++)
            written += frame->pixels[i] != 0;
        gallery_check(written > (which == G_WIREFRAME ? 300 : 8000), "pixels drawn", written, 0);

        std::string path = dir + "/" + gallery_names[which] + ".pcx";
        if (pcx_save(path.c_str(), frame, &gallery_palette) < 0) {
            std::printf("FAIL cannot write %s\n", path.c_str());
            gallery_failures++;
        }
    }
    std::printf("gallery: %d frames in %s, %d failed checks\n", (int)G_COUNT, dir.c_str(),
                gallery_failures);
    object_free(&cube);
    object_free(&torus);
    image_destroy(&frame);
    image_destroy(&gallery_checker);
    image_destroy(&gallery_spot);
    return gallery_failures ? 1 : 0;
}
