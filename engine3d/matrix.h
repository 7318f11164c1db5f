// matrix.h: 4x4 single-precision matrices of the 3D engine (row-major,
// column vectors, translation in elements 3, 7 and 11), and the one safe
// float-to-integer conversion that every stage of the engine uses.
#pragma once

#include "../runtime/skarn.h"

// Element 4*row + column. A point (x, y, z, 1) becomes
// x' = m[0]x + m[1]y + m[2]z + m[3], and so on row by row.
struct Matrix4 {
    float m[16];
};

// Diagonal = v, everything else 0: 1.0 gives the identity, 0.0 all zeros.
void matrix_set_diagonal(Matrix4 *m, float v);
// out = b x a: applied to a vector, a acts first and b second.
// out may alias a or b (the product is formed in a local first).
void matrix_multiply(const Matrix4 *a, const Matrix4 *b, Matrix4 *out);
void matrix_print(const Matrix4 *m);
void matrix_rotation_x(Matrix4 *m, float a);
void matrix_rotation_y(Matrix4 *m, float a);
void matrix_rotation_z(Matrix4 *m, float a);
// Ry(ay) x Rx(ax) x Rz(az): a vector turns about Z, then X, then Y.
void matrix_rotation_euler(Matrix4 *m, float ax, float ay, float az);
void matrix_translation(Matrix4 *m, float tx, float ty, float tz);
void matrix_scaling(Matrix4 *m, float sx, float sy, float sz);
void matrix_transpose(Matrix4 *m);
// Inverse by cofactors; dst may be src. A singular matrix gives
// non-finite elements (no trap).
void matrix_inverse(const Matrix4 *src, Matrix4 *dst);
// Gram-Schmidt on the first two columns of the 3x3; the third column
// becomes their cross product.
void matrix_orthonormalize(Matrix4 *m);

// Truncation toward zero that is defined for every input: NaN gives 0,
// values beyond the int32 range (infinities included) saturate at
// INT32_MIN / INT32_MAX. A plain cast is undefined behaviour there.
int32_t float_to_int_trunc(double v);
// The same after rounding toward minus infinity.
int32_t float_to_int_floor(double v);
