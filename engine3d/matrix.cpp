// matrix.cpp: 4x4 single-precision matrix library and the engine's safe
// float-to-integer conversions.
#include "matrix.h"

#include <cmath>
#include <cstring>

void matrix_set_diagonal(Matrix4 *m, float v)
{
    for (int i = 0; i < 16; i++)
        m->m[i] = 0.0f;
    m->m[0] = m->m[5] = m->m[10] = m->m[15] = v;
}

void matrix_multiply(const Matrix4 *a, const Matrix4 *b, Matrix4 *out)
{
    // Formed in a local so that out may be a or b.
    Matrix4 r;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            r.m[4 * i + j] = b->m[4 * i] * a->m[j] + b->m[4 * i + 1] * a->m[4 + j] +
                             b->m[4 * i + 2] * a->m[8 + j] + b->m[4 * i + 3] * a->m[12 + j];
    *out = r;
}

void matrix_print(const Matrix4 *m)
{
    for (int r = 0; r < 4; r++)
        printf("%18.13f %18.13f %18.13f %18.13f\n", (double)m->m[4 * r], (double)m->m[4 * r + 1],
               (double)m->m[4 * r + 2], (double)m->m[4 * r + 3]);
}

void matrix_rotation_x(Matrix4 *m, float a)
{
    const float c = (float)cos(a), s = (float)sin(a);
    matrix_set_diagonal(m, 1.0f);
    m->m[5] = c;
    m->m[6] = -s;
    m->m[9] = s;
    m->m[10] = c;
}

void matrix_rotation_y(Matrix4 *m, float a)
{
    const float c = (float)cos(a), s = (float)sin(a);
    matrix_set_diagonal(m, 1.0f);
    m->m[0] = c;
    m->m[2] = s;
    m->m[8] = -s;
    m->m[10] = c;
}

void matrix_rotation_z(Matrix4 *m, float a)
{
    const float c = (float)cos(a), s = (float)sin(a);
    matrix_set_diagonal(m, 1.0f);
    m->m[0] = c;
    m->m[1] = -s;
    m->m[4] = s;
    m->m[5] = c;
}

void matrix_rotation_euler(Matrix4 *m, float ax, float ay, float az)
{
    // Ry(ay) x Rx(ax) x Rz(az) multiplied out by hand.
    const float cx = (float)cos(ax), sx = (float)sin(ax);
    const float cy = (float)cos(ay), sy = (float)sin(ay);
    const float cz = (float)cos(az), sz = (float)sin(az);
    matrix_set_diagonal(m, 1.0f);
    m->m[0] = cy * cz + sy * sx * sz;
    m->m[1] = -cy * sz + sy * sx * cz;
    m->m[2] = sy * cx;
    m->m[4] = cx * sz;
    m->m[5] = cx * cz;
    m->m[6] = -sx;
    m->m[8] = -sy * cz + cy * sx * sz;
    m->m[9] = sy * sz + cy * sx * cz;
    m->m[10] = cy * cx;
}

void matrix_translation(Matrix4 *m, float tx, float ty, float tz)
{
    matrix_set_diagonal(m, 1.0f);
    m->m[3] = tx;
    m->m[7] = ty;
    m->m[11] = tz;
}

void matrix_scaling(Matrix4 *m, float sx, float sy, float sz)
{
    matrix_set_diagonal(m, 0.0f);
    m->m[0] = sx;
    m->m[5] = sy;
    m->m[10] = sz;
    m->m[15] = 1.0f;
}

void matrix_transpose(Matrix4 *m)
{
    const Matrix4 t = *m;
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++)
            m->m[4 * r + c] = t.m[4 * c + r];
}

// Determinant of the 3x3 minor of s that leaves out row r and column c.
static float minor_det(const float *s, int r, int c)
{
    float e[9];
    int n = 0;
    for (int i = 0; i < 4; i++) {
        if (i == r)
            continue;
        for (int j = 0; j < 4; j++)
            if (j != c)
                e[n++] = s[4 * i + j];
    }
    return e[0] * (e[4] * e[8] - e[5] * e[7]) - e[1] * (e[3] * e[8] - e[5] * e[6]) +
           e[2] * (e[3] * e[7] - e[4] * e[6]);
}

void matrix_inverse(const Matrix4 *src, Matrix4 *dst)
{
    // All of src is read into locals before dst is written, so dst may be src.
    float s[16], cof[16];
    memcpy(s, src->m, sizeof s);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) {
            const float d = minor_det(s, r, c);
            cof[4 * r + c] = ((r + c) & 1) ? -d : d;
        }
    const float det = s[0] * cof[0] + s[1] * cof[1] + s[2] * cof[2] + s[3] * cof[3];
    const float k = (float)(1.0 / (double)det);
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++)
            dst->m[4 * i + j] = cof[4 * j + i] * k;
}

void matrix_orthonormalize(Matrix4 *m)
{
    float *e = m->m;
    // Column 0 to unit length.
    const float k0 = (float)(1.0 / sqrt((double)e[0] * e[0] + (double)e[4] * e[4] + (double)e[8] * e[8]));
    e[0] *= k0;
    e[4] *= k0;
    e[8] *= k0;
    // Column 1 without its part along column 0, then to unit length.
    const float d = e[0] * e[1] + e[4] * e[5] + e[8] * e[9];
    e[1] -= d * e[0];
    e[5] -= d * e[4];
    e[9] -= d * e[8];
    const float k1 = (float)(1.0 / sqrt((double)e[1] * e[1] + (double)e[5] * e[5] + (double)e[9] * e[9]));
    e[1] *= k1;
    e[5] *= k1;
    e[9] *= k1;
    // Column 2 = column 0 x column 1.
    e[2] = e[4] * e[9] - e[8] * e[5];
    e[6] = e[8] * e[1] - e[0] * e[9];
    e[10] = e[0] * e[5] - e[4] * e[1];
}

int32_t float_to_int_trunc(double v)
{
    // The comparisons are false for NaN, which falls through to 0.
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    if (v == v)
        return (int32_t)v;
    return 0;
}

int32_t float_to_int_floor(double v)
{
    return float_to_int_trunc(floor(v));
}
