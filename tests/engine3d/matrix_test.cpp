// Matrix library: products in the right order, rotations, inverse, print
// format, and the safe float-to-integer conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine3d.h"

namespace {

void apply(const Matrix4 &m, const float p[3], float out[3])
{
    for (int r = 0; r < 3; r++)
        out[r] = m.m[4 * r] * p[0] + m.m[4 * r + 1] * p[1] + m.m[4 * r + 2] * p[2] + m.m[4 * r + 3];
}

void expect_matrix_near(const Matrix4 &a, const Matrix4 &b, float tol)
{
    for (int i = 0; i < 16; i++)
        EXPECT_NEAR(a.m[i], b.m[i], tol) << "element " << i;
}

Matrix4 identity()
{
    Matrix4 m;
    matrix_set_diagonal(&m, 1.0f);
    return m;
}

}  // namespace

TEST(Matrix, SetDiagonalGivesIdentityOrZero)
{
    Matrix4 m;
    matrix_set_diagonal(&m, 1.0f);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m.m[i], (i % 5 == 0) ? 1.0f : 0.0f);
    matrix_set_diagonal(&m, 0.0f);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m.m[i], 0.0f);
}

TEST(Matrix, MultiplyAppliesFirstOperandFirst)
{
    Matrix4 s, t, st, ts;
    matrix_scaling(&s, 2, 2, 2);
    matrix_translation(&t, 10, 0, 0);
    matrix_multiply(&s, &t, &st);  // scale, then move
    matrix_multiply(&t, &s, &ts);  // move, then scale
    const float p[3] = {1, 0, 0};
    float q[3];
    apply(st, p, q);
    EXPECT_EQ(q[0], 12.0f);
    EXPECT_EQ(q[1], 0.0f);
    EXPECT_EQ(q[2], 0.0f);
    apply(ts, p, q);
    EXPECT_EQ(q[0], 22.0f);

    const Matrix4 id = identity();
    Matrix4 r;
    matrix_multiply(&id, &st, &r);
    expect_matrix_near(r, st, 0);
    matrix_multiply(&st, &id, &r);
    expect_matrix_near(r, st, 0);
}

TEST(Matrix, MultiplyIntoAnOperandEqualsMultiplyIntoThird)
{
    Matrix4 a, b, expected;
    matrix_rotation_euler(&a, 0.3f, 1.1f, -0.7f);
    matrix_translation(&b, 5, -6, 7);
    matrix_multiply(&a, &b, &expected);
    Matrix4 a2 = a, b2 = b;
    matrix_multiply(&a2, &b, &a2);
    expect_matrix_near(a2, expected, 0);
    matrix_multiply(&a, &b2, &b2);
    expect_matrix_near(b2, expected, 0);
}

TEST(Matrix, EulerEqualsProductOfSingleAxisRotations)
{
    const float ax = 0.4f, ay = -1.3f, az = 2.2f;
    Matrix4 rx, ry, rz, xz, yxz, e;
    matrix_rotation_x(&rx, ax);
    matrix_rotation_y(&ry, ay);
    matrix_rotation_z(&rz, az);
    matrix_multiply(&rz, &rx, &xz);   // Rx x Rz
    matrix_multiply(&xz, &ry, &yxz);  // Ry x Rx x Rz
    matrix_rotation_euler(&e, ax, ay, az);
    expect_matrix_near(e, yxz, 1e-6f);
    EXPECT_EQ(e.m[3], 0.0f);
    EXPECT_EQ(e.m[12], 0.0f);
    EXPECT_EQ(e.m[15], 1.0f);
}

TEST(Matrix, EulerOfZeroAndOfPi)
{
    Matrix4 e;
    matrix_rotation_euler(&e, 0, 0, 0);
    expect_matrix_near(e, identity(), 0);
    matrix_rotation_euler(&e, 0, (float)M_PI, 0);
    EXPECT_EQ(e.m[0], -1.0f);
    EXPECT_EQ(e.m[10], -1.0f);
    EXPECT_EQ(e.m[5], 1.0f);
    EXPECT_NEAR(e.m[2], -8.74e-8, 1e-9);
    EXPECT_NEAR(e.m[8], 8.74e-8, 1e-9);
}

TEST(Matrix, SingleAxisRotationsTurnTheRightWay)
{
    const float half = (float)(M_PI / 2);
    Matrix4 m;
    float q[3];
    const float px[3] = {1, 0, 0}, py[3] = {0, 1, 0}, pz[3] = {0, 0, 1};
    matrix_rotation_z(&m, half);
    apply(m, px, q);
    EXPECT_NEAR(q[0], 0, 1e-6);
    EXPECT_NEAR(q[1], 1, 1e-6);
    matrix_rotation_x(&m, half);
    apply(m, py, q);
    EXPECT_NEAR(q[1], 0, 1e-6);
    EXPECT_NEAR(q[2], 1, 1e-6);
    matrix_rotation_y(&m, half);
    apply(m, pz, q);
    EXPECT_NEAR(q[0], 1, 1e-6);
    EXPECT_NEAR(q[2], 0, 1e-6);
}

TEST(Matrix, BuildersOverwriteEverything)
{
    Matrix4 m;
    for (float &f : m.m)
        f = 42.0f;
    matrix_scaling(&m, 2, 3, 4);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m.m[i], i == 0 ? 2.0f : i == 5 ? 3.0f : i == 10 ? 4.0f : i == 15 ? 1.0f : 0.0f);
    for (float &f : m.m)
        f = 42.0f;
    matrix_translation(&m, 7, 8, 9);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(m.m[i], i == 3 ? 7.0f : i == 7 ? 8.0f : i == 11 ? 9.0f : (i % 5 == 0) ? 1.0f : 0.0f);
}

TEST(Matrix, InverseOfTranslationScalingAndGeneral)
{
    Matrix4 m, inv, expected;
    matrix_translation(&m, 3, -4, 1500);
    matrix_inverse(&m, &inv);
    matrix_translation(&expected, -3, 4, -1500);
    expect_matrix_near(inv, expected, 0);

    matrix_scaling(&m, 2, 4, 8);
    matrix_inverse(&m, &inv);
    matrix_scaling(&expected, 0.5f, 0.25f, 0.125f);
    expect_matrix_near(inv, expected, 0);

    Matrix4 r, t, s, rt, rts, prod;
    matrix_rotation_euler(&r, 0.5f, -0.25f, 1.5f);
    matrix_translation(&t, 10, 20, -30);
    matrix_scaling(&s, 2, 0.5f, 3);
    matrix_multiply(&s, &r, &rt);
    matrix_multiply(&rt, &t, &rts);
    matrix_inverse(&rts, &inv);
    matrix_multiply(&inv, &rts, &prod);
    expect_matrix_near(prod, identity(), 1e-5f);

    // In place gives the same as into another matrix.
    Matrix4 in_place = rts;
    matrix_inverse(&in_place, &in_place);
    expect_matrix_near(in_place, inv, 0);
}

TEST(Matrix, SingularInverseGivesNonFiniteWithoutTrap)
{
    Matrix4 m, inv;
    matrix_set_diagonal(&m, 0.0f);
    matrix_inverse(&m, &inv);
    for (float f : inv.m)
        EXPECT_FALSE(std::isfinite(f));
}

TEST(Matrix, TransposeTwiceRestores)
{
    Matrix4 m, t;
    for (int i = 0; i < 16; i++)
        m.m[i] = (float)i;
    t = m;
    matrix_transpose(&t);
    EXPECT_EQ(t.m[1], 4.0f);
    EXPECT_EQ(t.m[4], 1.0f);
    EXPECT_EQ(t.m[11], 14.0f);
    matrix_transpose(&t);
    expect_matrix_near(t, m, 0);
}

TEST(Matrix, OrthonormalizeKeepsRotationAndCrossesColumns)
{
    Matrix4 r, o;
    matrix_rotation_euler(&r, 0.3f, 0.9f, -2.0f);
    o = r;
    matrix_orthonormalize(&o);
    expect_matrix_near(o, r, 1e-6f);

    Matrix4 m = identity();
    m.m[0] = 3;  m.m[1] = 1;  m.m[2] = 9;
    m.m[4] = 0;  m.m[5] = 2;  m.m[6] = 9;
    m.m[8] = 4;  m.m[9] = 0;  m.m[10] = 9;
    m.m[3] = 5;  m.m[7] = 6;  m.m[11] = 7;
    matrix_orthonormalize(&m);
    // Column 0 = (3, 0, 4) / 5.
    EXPECT_FLOAT_EQ(m.m[0], 0.6f);
    EXPECT_FLOAT_EQ(m.m[4], 0.0f);
    EXPECT_FLOAT_EQ(m.m[8], 0.8f);
    // Column 1 unit and at right angles to column 0.
    EXPECT_NEAR(m.m[1] * m.m[1] + m.m[5] * m.m[5] + m.m[9] * m.m[9], 1.0, 1e-6);
    EXPECT_NEAR(m.m[0] * m.m[1] + m.m[4] * m.m[5] + m.m[8] * m.m[9], 0.0, 1e-6);
    EXPECT_EQ(m.m[2], m.m[4] * m.m[9] - m.m[8] * m.m[5]);
    EXPECT_EQ(m.m[6], m.m[8] * m.m[1] - m.m[0] * m.m[9]);
    EXPECT_EQ(m.m[10], m.m[0] * m.m[5] - m.m[4] * m.m[1]);
    EXPECT_EQ(m.m[3], 5.0f);
    EXPECT_EQ(m.m[7], 6.0f);
    EXPECT_EQ(m.m[11], 7.0f);
}

TEST(Matrix, PrintFormat)
{
    Matrix4 m = identity();
    testing::internal::CaptureStdout();
    matrix_print(&m);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "   1.0000000000000    0.0000000000000    0.0000000000000    0.0000000000000\n"
              "   0.0000000000000    1.0000000000000    0.0000000000000    0.0000000000000\n"
              "   0.0000000000000    0.0000000000000    1.0000000000000    0.0000000000000\n"
              "   0.0000000000000    0.0000000000000    0.0000000000000    1.0000000000000\n");
}

TEST(FloatToInt, TruncatesAndSaturatesEverything)
{
    EXPECT_EQ(float_to_int_trunc(7.9), 7);
    EXPECT_EQ(float_to_int_trunc(-7.9), -7);
    EXPECT_EQ(float_to_int_trunc(0.5), 0);
    EXPECT_EQ(float_to_int_trunc(std::nan("")), 0);
    EXPECT_EQ(float_to_int_trunc(INFINITY), INT32_MAX);
    EXPECT_EQ(float_to_int_trunc(-INFINITY), INT32_MIN);
    EXPECT_EQ(float_to_int_trunc(1e30), INT32_MAX);
    EXPECT_EQ(float_to_int_trunc(-1e30), INT32_MIN);
    EXPECT_EQ(float_to_int_trunc(2147483646.5), 2147483646);
    EXPECT_EQ(float_to_int_floor(-25.6), -26);
    EXPECT_EQ(float_to_int_floor(25.6), 25);
    EXPECT_EQ(float_to_int_floor(std::nan("")), 0);
}
