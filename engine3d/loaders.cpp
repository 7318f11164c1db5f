// loaders.cpp: the .t3d text object loader and the comma-separated object
// loader. Both check every count, index and name against the limits of
// their tables before using it, and leave *out NULL on every failure.
#include <cmath>
#include <cstring>

#include "object.h"

// Counts above this are taken for a corrupt file, not a large object.
static constexpr int32_t LOADER_MAX_COUNT = 1000000;
static constexpr int T3D_MATERIALS = 1024;
static constexpr int T3D_NAME_SLOT = 20;  // names of at most 19 characters
static constexpr int T3D_LINE = 1024;
static constexpr int CSV_MAX_PARTS = 100;

// Per-call tables of t3d_load, indexed by material number.
struct T3dMaterials {
    uint8_t colour[T3D_MATERIALS];
    char texture[T3D_MATERIALS][T3D_NAME_SLOT];
    bool defined[T3D_MATERIALS];
};

// Palette index nearest to the low bytes of red, green and blue.
static uint8_t loader_nearest(const Palette *pal, int red, int green, int blue)
{
    const int packed = (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
    return (uint8_t)palette_find_nearest(packed, pal);
}

// Reads lines until one whose first token is keyword. A blank line keeps
// the previous token. 0 when found, -2 when the file ends first or with the
// keyword's own line.
static int t3d_find_keyword(FILE *f, char *line, char *token, const char *keyword)
{
    bool found = false;
    while (!found && !feof(f)) {
        if (!fgets(line, T3D_LINE, f))
            break;
        sscanf(line, "%1023s", token);
        found = strcmp(token, keyword) == 0;
    }
    return found && !feof(f) ? 0 : -2;
}

// The count line after a keyword: -4 when it holds no number (or a
// negative or absurd one), -2 when the file ends with it.
static int t3d_read_count(FILE *f, char *line, int32_t *count)
{
    if (!fgets(line, T3D_LINE, f))
        line[0] = '\0';
    int n;
    if (sscanf(line, "%d", &n) != 1 || n < 0 || n > LOADER_MAX_COUNT)
        return -4;
    if (feof(f))
        return -2;
    *count = n;
    return 0;
}

// One material line into the tables; -5 when it does not parse or breaks
// the limits of the tables.
static int t3d_parse_material(const char *line, const Palette *pal, T3dMaterials *mat)
{
    char name[T3D_LINE], texture[T3D_LINE];
    int k, red, green, blue;
    if (sscanf(line, "%1023s %d %d %d %d %1023s", name, &k, &red, &green, &blue, texture) != 6)
        return -5;
    if (k < 0 || k >= T3D_MATERIALS || strlen(texture) >= (size_t)T3D_NAME_SLOT)
        return -5;
    if (red > 255)
        red = 255;
    if (green > 255)
        green = 255;
    if (blue > 255)
        blue = 255;
    mat->colour[k] = loader_nearest(pal, red, green, blue);
    strcpy(mat->texture[k], texture);
    mat->defined[k] = true;
    return 0;
}

// Texel coordinate of a fraction of the texture size: floor, in double.
static int32_t t3d_texel(float size, float fraction)
{
    return float_to_int_floor((double)size * (double)fraction);
}

// One triangle line into t. -9 when it does not parse or names a vertex or
// material that does not exist, -10 when its texture is not in the table.
static int t3d_parse_triangle(const char *line, const char *path, const T3dMaterials *mat,
                              int32_t vertex_count, uint8_t reverse, const char **tex_names,
                              const int32_t *tex_sizes, uint8_t tex_count, Triangle3D *t)
{
    int i0, i1, i2, skip0, skip1, skip2, k;
    float u0, v0, u1, v1, u2, v2;
    if (sscanf(line, "%d %d %d %d %d %d %f %f %f %f %f %f %d", &i0, &i1, &i2, &skip0, &skip1,
               &skip2, &u0, &v0, &u1, &v1, &u2, &v2, &k) != 13)
        return -9;
    if (i0 < 0 || i0 >= vertex_count || i1 < 0 || i1 >= vertex_count || i2 < 0 ||
        i2 >= vertex_count || k < 0 || k >= T3D_MATERIALS || !mat->defined[k])
        return -9;
    t->colour = mat->colour[k];
    t->texture = 0;
    int32_t size = 0;
    if (tex_count != 0 && tex_names) {
        int found = -1;
        for (int i = 0; i < tex_count && found < 0; i++)
            if (string_equal_nocase(mat->texture[k], tex_names[i]) == 0)
                found = i;
        if (found < 0) {
            printf(" %s in \"%s\" - not found!\n", path, mat->texture[k]);
            return -10;
        }
        t->texture = (uint8_t)found;
        size = tex_sizes ? tex_sizes[found] : 0;
    }
    const float s = (float)size;
    if (!reverse) {
        t->a = i0;
        t->b = i1;
        t->c = i2;
        t->uv = TexCoords{t3d_texel(s, u0), t3d_texel(s, v0), t3d_texel(s, u1),
                          t3d_texel(s, v1), t3d_texel(s, u2), t3d_texel(s, v2)};
    } else {
        // First and third corners swap together with their coordinates.
        t->a = i2;
        t->b = i1;
        t->c = i0;
        t->uv = TexCoords{t3d_texel(s, u2), t3d_texel(s, v2), t3d_texel(s, u1),
                          t3d_texel(s, v1), t3d_texel(s, u0), t3d_texel(s, v0)};
    }
    return 0;
}

// Closes f, releases a half-built object and hands back code.
static int32_t loader_fail(FILE *f, Object3D **out, int32_t code)
{
    fclose(f);
    object_free(out);
    return code;
}

int32_t t3d_load(Object3D **out, const char *path, const Palette *pal, uint8_t reverse,
                 const char **tex_names, const int32_t *tex_sizes, uint8_t tex_count)
{
    object_free(out);
    FILE *f = fopen(path, "r");
    if (!f)
        return -1;

    char line[T3D_LINE] = "", token[T3D_LINE] = "";
    T3dMaterials mat;
    memset(mat.defined, 0, sizeof mat.defined);

    int32_t material_count, vertex_count, triangle_count;
    int rc;
    if ((rc = t3d_find_keyword(f, line, token, "MATERIALS")) != 0 ||
        (rc = t3d_read_count(f, line, &material_count)) != 0)
        return loader_fail(f, out, rc);
    for (int32_t i = 0; i < material_count; i++) {
        // At the end of the file the buffer keeps the previous line, which
        // would only be parsed again with the same result: parse it once.
        const bool more = fgets(line, T3D_LINE, f) != NULL;
        if ((rc = t3d_parse_material(line, pal, &mat)) != 0)
            return loader_fail(f, out, rc);
        if (!more)
            break;
    }
    if (feof(f))
        return loader_fail(f, out, -2);
    if ((rc = t3d_find_keyword(f, line, token, "VERTICES")) != 0 ||
        (rc = t3d_read_count(f, line, &vertex_count)) != 0)
        return loader_fail(f, out, rc);
    const long vertex_pos = ftell(f);
    if ((rc = t3d_find_keyword(f, line, token, "TRIANGLES")) != 0 ||
        (rc = t3d_read_count(f, line, &triangle_count)) != 0)
        return loader_fail(f, out, rc);
    const long triangle_pos = ftell(f);

    if (object_alloc(out, vertex_count, triangle_count) != 0)
        return loader_fail(f, out, -5);
    Object3D *obj = *out;

    fseek(f, vertex_pos, SEEK_SET);
    for (int32_t i = 0; i < vertex_count; i++) {
        if (feof(f))
            return loader_fail(f, out, -6);
        if (!fgets(line, T3D_LINE, f))
            return loader_fail(f, out, -6);
        float x, y, z;
        if (sscanf(line, "%f %f %f", &x, &y, &z) != 3)
            return loader_fail(f, out, -7);
        obj->vertices[i].position = Vec4{x, y, z, 0.0f};
    }

    fseek(f, triangle_pos, SEEK_SET);
    for (int32_t i = 0; i < triangle_count; i++) {
        if (feof(f))
            return loader_fail(f, out, -8);
        if (!fgets(line, T3D_LINE, f))
            return loader_fail(f, out, -8);
        if ((rc = t3d_parse_triangle(line, path, &mat, vertex_count, reverse, tex_names,
                                     tex_sizes, tex_count, &obj->triangles[i])) != 0)
            return loader_fail(f, out, rc);
    }
    fclose(f);
    return 0;
}

int32_t object_load_csv(Object3D **out, const char *path, const Palette *pal)
{
    object_free(out);
    FILE *f = fopen(path, "r");
    if (!f)
        return -1;

    int part_count;
    if (fscanf(f, "%d", &part_count) != 1 || part_count < 0 || part_count > CSV_MAX_PARTS)
        return loader_fail(f, out, -3);
    int32_t part_vertices[CSV_MAX_PARTS], part_triangles[CSV_MAX_PARTS];
    int32_t vertex_count = 0, triangle_count = 0;
    for (int i = 0; i < part_count; i++) {
        int nv, nt;
        if (fscanf(f, "%d,%d", &nv, &nt) != 2 || nv < 0 || nt < 0 ||
            nv > LOADER_MAX_COUNT - vertex_count || nt > LOADER_MAX_COUNT - triangle_count)
            return loader_fail(f, out, -4);
        part_vertices[i] = nv;
        part_triangles[i] = nt;
        vertex_count += nv;
        triangle_count += nt;
    }
    if (object_alloc(out, vertex_count, triangle_count) != 0)
        return loader_fail(f, out, -5);
    Object3D *obj = *out;

    int32_t base = 0, tri = 0;
    for (int p = 0; p < part_count; p++) {
        for (int32_t i = 0; i < part_vertices[p]; i++) {
            if (feof(f))
                return loader_fail(f, out, -6);
            float x, y, z;
            if (fscanf(f, "%f,%f,%f", &x, &y, &z) != 3)
                return loader_fail(f, out, -7);
            obj->vertices[base + i].position = Vec4{x, y, z, 0.0f};
        }
        for (int32_t i = 0; i < part_triangles[p]; i++) {
            if (feof(f))
                return loader_fail(f, out, -8);
            int a, b, c;
            if (fscanf(f, "%d,%d,%d", &a, &b, &c) != 3)
                return loader_fail(f, out, -9);
            const int32_t nv = part_vertices[p];
            if (a < 0 || a >= nv || b < 0 || b >= nv || c < 0 || c >= nv)
                return loader_fail(f, out, -9);
            Triangle3D &t = obj->triangles[tri++];
            t.a = a + base;
            t.b = b + base;
            t.c = c + base;
            // Default colours count down over the part: the number of its
            // triangles still to come, this one included.
            const int32_t remaining = part_triangles[p] - i;
            t.colour = (uint8_t)(remaining % 250 + 15);
        }
        base += part_vertices[p];
    }
    for (int32_t i = 0; i < triangle_count; i++) {
        int red, green, blue;
        if (fscanf(f, "%d,%d,%d", &red, &green, &blue) != 3)
            break;
        obj->triangles[i].colour = loader_nearest(pal, red, green, blue);
    }
    fclose(f);
    return 0;
}
