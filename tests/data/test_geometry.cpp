// Transforms, projections, quaternions, the line-plane solver and the voxel
// kernels. Expected matrices, eigenvalues and intersections were computed
// outside this program (plain Python: products of elementary rotations, a
// Jacobi eigenvalue iteration, Cramer's rule) and pasted here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "data/dynabuf.h"
#include "data/geometry.h"

namespace {

void expect_matrix_near(const matrix4_t& a, const matrix4_t& b, double tol) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], tol) << "element " << i;
}

bool is_identity(const matrix4_t& m, double tol) {
  for (int i = 0; i < 16; ++i)
    if (std::fabs(m[i] - ((i % 5 == 0) ? 1.0 : 0.0)) > tol) return false;
  return true;
}

struct position_case {
  double pos[6];  // x, y, z, azimuth, elevation, roll
  double m[16];
};

// R = Rz(az) Ry(el) Rx(roll), translation (x, y, z).
const position_case kPositions[] = {
    {{1, 2, 3, 0, 0, 0}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}},
    {{0, 0, 0, 90, 0, 0},
     {6.123233995736766e-17, 1, 0, 0, -1, 6.123233995736766e-17, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
    {{0, 0, 0, 0, 90, 0},
     {6.123233995736766e-17, 0, -1, 0, 0, 1, 0, 0, 1, 0, 6.123233995736766e-17, 0, 0, 0, 0, 1}},
    {{0, 0, 0, 0, 0, 90},
     {1, 0, 0, 0, 0, 6.123233995736766e-17, 1, 0, 0, -1, 6.123233995736766e-17, 0, 0, 0, 0, 1}},
    {{-4.5, 2.25, 10, 30, 20, 10},
     {0.8137976813493738, 0.46984631039295416, -0.34202014332566871, 0, -0.44096961052988237,
      0.8825641192593856, 0.16317591116653482, 0, 0.37852230636979245, 0.018028311236297251,
      0.92541657839832336, 0, -4.5, 2.25, 10, 1}},
    {{0.5, -1, 2, -120, 45, 170},
     {-0.35355339059327362, -0.61237243569579458, -0.70710678118654746, 0, -0.91426243393692963,
      0.38606651899406963, 0.12278780396897281, 0, 0.19779838697957403, 0.68989321123765324,
      -0.69636424032001898, 0, 0.5, -1, 2, 1}},
    {{3, 3, -7, 200, -60, -35},
     {-0.46984631039295432, -0.17101007166283436, 0.8660254037844386, 0, -0.18660867438588241,
      -0.93964340074288411, -0.28678821817552308, 0, 0.86279872928399204, -0.29635423875865174,
      0.40957602214449601, 0, 3, 3, -7, 1}},
    {{12.5, 0, -0.25, 45, 89, -10},
     {0.012340714939826988, 0.012340714939826986, -0.99984769515639127, 0, -0.81913334311171115,
      0.57359513752832669, -0.0030305785737369008, 0, 0.57347037670432943, 0.81904598464227507,
      0.017187265168157054, 0, 12.5, 0, -0.25, 1}},
    {{-2, 8, 1, -179, -30, 95},
     {-0.86589350392075415, -0.015114227331858528, 0.49999999999999994, 0, 0.49650040896124892,
      0.095835465886771457, 0.86272991566282098, 0, -0.060957229014708736, 0.99528243409116113,
      -0.075479087305173387, 0, -2, 8, 1, 1}},
};

matrix4_t from_case(const position_case& c) {
  matrix4_t m;
  return matrix4_from_position(m, c.pos[0], c.pos[1], c.pos[2], c.pos[3], c.pos[4], c.pos[5]);
}

TEST(PositionTransform, MatchesIndependentlyComputedMatrices) {
  for (const auto& c : kPositions) {
    SCOPED_TRACE(testing::Message() << "az " << c.pos[3] << " el " << c.pos[4] << " ro " << c.pos[5]);
    matrix4_t expected;
    for (int i = 0; i < 16; ++i) expected[i] = c.m[i];
    expect_matrix_near(from_case(c), expected, 1e-12);
  }
}

TEST(PositionTransform, InverseTimesForwardIsIdentity) {
  for (const auto& c : kPositions) {
    matrix4_t fwd = from_case(c), inv, prod, rigid;
    matrix4_inverse_from_position(inv, c.pos[0], c.pos[1], c.pos[2], c.pos[3], c.pos[4], c.pos[5]);
    matrix4_multiply(inv, prod, fwd);
    EXPECT_TRUE(is_identity(prod, 1e-12)) << "az " << c.pos[3];
    matrix4_multiply(fwd, prod, inv);
    EXPECT_TRUE(is_identity(prod, 1e-12)) << "az " << c.pos[3];
    // The general rigid inverse agrees with the one built from the angles.
    matrix4_rigid_inverse(fwd, rigid);
    expect_matrix_near(rigid, inv, 1e-12);
  }
}

TEST(PositionTransform, RoundTripThroughMatrix) {
  // Angles in the ranges the decomposition returns.
  const double table[][6] = {{1, 2, 3, 30, 20, 10},     {-4, 0.5, 7, -150, 60, 120},
                             {0, 0, 0, 179, -89, -179}, {5, 5, 5, -45, 0, 0},
                             {0, 1, 0, 0, 45, -90},     {2, -3, 4, 100, -30, 170}};
  for (const auto& p : table) {
    matrix4_t m;
    matrix4_from_position(m, p[0], p[1], p[2], p[3], p[4], p[5]);
    double out[6];
    matrix4_to_position(m, out[0], out[1], out[2], out[3], out[4], out[5]);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(out[i], p[i], 1e-9) << "component " << i << " of az " << p[3];
  }
}

TEST(PositionTransform, StraightUpOrDownKeepsOnlyTheCombinedRoll) {
  matrix4_t m;
  double x, y, z, az, el, ro;
  matrix4_from_position(m, 1, 2, 3, 30, 90, 50);
  matrix4_to_position(m, x, y, z, az, el, ro);
  EXPECT_DOUBLE_EQ(az, 0.0);
  EXPECT_DOUBLE_EQ(el, 90.0);
  EXPECT_NEAR(ro, 20.0, 1e-6);  // roll minus azimuth
  matrix4_from_position(m, 0, 0, 0, 30, 90, 10);
  matrix4_to_position(m, x, y, z, az, el, ro);
  EXPECT_NEAR(ro, -20.0, 1e-6);
  matrix4_from_position(m, 0, 0, 0, 30, -90, 50);
  matrix4_to_position(m, x, y, z, az, el, ro);
  EXPECT_DOUBLE_EQ(el, -90.0);
  EXPECT_NEAR(ro, 80.0, 1e-6);  // roll plus azimuth
  // Either way the decomposed position stands for the same transform.
  matrix4_t back;
  matrix4_from_position(back, x, y, z, az, el, ro);
  expect_matrix_near(back, m, 1e-9);
}

TEST(PositionTransform, FloatPositionsAreWidenedBeforeArithmetic) {
  position_t p;
  p.x = 0.1f;
  p.y = -2.3f;
  p.z = 7.7f;
  p.azimuth = 33.3f;
  p.elevation = -12.1f;
  p.roll = 101.7f;
  matrix4_t a, b, ai, bi;
  matrix4_from_position_t(a, p);
  matrix4_from_position(b, double(p.x), double(p.y), double(p.z), double(p.azimuth),
                        double(p.elevation), double(p.roll));
  expect_matrix_near(a, b, 0.0);
  matrix4_inverse_from_position_t(ai, p);
  matrix4_inverse_from_position(bi, double(p.x), double(p.y), double(p.z), double(p.azimuth),
                                double(p.elevation), double(p.roll));
  expect_matrix_near(ai, bi, 0.0);
}

TEST(MatrixHelpers, ConstructionAndAccess) {
  matrix4_t m;
  matrix4_translation(m, 1, -2, 3);
  EXPECT_EQ(m[12], 1.0);
  EXPECT_EQ(m[13], -2.0);
  EXPECT_EQ(m[14], 3.0);
  matrix4_t inv;
  matrix4_inverse_translation(inv, 1, -2, 3);
  matrix4_t prod;
  matrix4_multiply(m, prod, inv);
  EXPECT_TRUE(is_identity(prod, 0.0));

  matrix4_zero(m);
  matrix4_set_x_axis(m, {3, 0, 4});
  matrix4_set_y_axis(m, {0, 2, 0});
  matrix4_set_z_axis(m, {0, 0, 0});  // a zero vector stays zero
  matrix4_set_translation(m, {7, 8, 9});
  const vec3_t x = matrix4_get_x_axis(m), y = matrix4_get_y_axis(m), z = matrix4_get_z_axis(m),
               t = matrix4_get_translation(m);
  EXPECT_DOUBLE_EQ(x.x, 0.6);
  EXPECT_DOUBLE_EQ(x.z, 0.8);
  EXPECT_DOUBLE_EQ(y.y, 1.0);
  EXPECT_EQ(z.x, 0.0);
  EXPECT_EQ(z.y, 0.0);
  EXPECT_EQ(z.z, 0.0);
  EXPECT_EQ(t.x, 7.0);
  EXPECT_EQ(t.z, 9.0);

  matrix4_t c;
  matrix4_copy(c, m);
  expect_matrix_near(c, m, 0.0);
}

TEST(MatrixHelpers, MultiplyIsColumnMajorProductEvenWhenAliased) {
  matrix4_t a, b, c;
  for (int i = 0; i < 16; ++i) {
    a[i] = i + 1;
    b[i] = (i % 3) - 1.5 * (i % 2);
  }
  matrix4_multiply(a, c, b);
  for (int col = 0; col < 4; ++col)
    for (int row = 0; row < 4; ++row) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += a[4 * k + row] * b[4 * col + k];
      EXPECT_DOUBLE_EQ(c[4 * col + row], s);
    }
  matrix4_t a2 = a;
  matrix4_multiply(a2, a2, b);  // result written over an operand
  expect_matrix_near(a2, c, 0.0);
}

TEST(MatrixHelpers, PostTranslateMatchesProductWithTranslation) {
  matrix4_t m = from_case(kPositions[4]), t, expected;
  const vec3_t v{1.5, -2.0, 0.25};
  matrix4_translation(t, v.x, v.y, v.z);
  matrix4_multiply(m, expected, t);
  matrix4_post_translate(m, v);
  expect_matrix_near(m, expected, 1e-12);
}

TEST(MatrixHelpers, RotationAboutAxis) {
  matrix4_t m;
  matrix4_rotation_about_axis(m, {1, 2, 3}, {4, 5, 6}, 0.0);
  EXPECT_TRUE(is_identity(m, 0.0));
  matrix4_rotation_about_axis(m, {1, 2, 3}, {1, 2, 3}, 45.0);
  EXPECT_TRUE(is_identity(m, 0.0));

  // 90 degrees about the vertical line through (1, 0, 0): right-handed.
  matrix4_rotation_about_axis(m, {1, 0, 0}, {1, 0, 5}, 90.0);
  vec3_t r;
  matrix4_transform_point(r, m, {2, 0, 7});
  EXPECT_NEAR(r.x, 1.0, 1e-12);
  EXPECT_NEAR(r.y, 1.0, 1e-12);
  EXPECT_NEAR(r.z, 7.0, 1e-12);

  // Points of an oblique axis stay put; other points keep their distance to it.
  const vec3_t p{0.5, -1, 2}, q{2, 1, -1};
  matrix4_rotation_about_axis(m, p, q, 73.0);
  matrix4_transform_point(r, m, p + 0.3 * (q - p));
  const vec3_t on = p + 0.3 * (q - p);
  EXPECT_NEAR(r.x, on.x, 1e-12);
  EXPECT_NEAR(r.y, on.y, 1e-12);
  EXPECT_NEAR(r.z, on.z, 1e-12);
  const vec3_t off{3, 3, 3};
  matrix4_transform_point(r, m, off);
  const vec3_t u = vec3_normalise(q - p);
  auto dist = [&](const vec3_t& a) { return vec3_length(vec3_cross(a - p, u)); };
  EXPECT_NEAR(dist(r), dist(off), 1e-12);
}

TEST(Projection, InverseOfFrustumAndOrtho) {
  matrix4_t a, b, prod;
  matrix4_frustum(a, -1, 1, -1, 1, 1, 10);
  // glFrustum's matrix, written out.
  EXPECT_DOUBLE_EQ(a[0], 1.0);
  EXPECT_DOUBLE_EQ(a[5], 1.0);
  EXPECT_DOUBLE_EQ(a[10], -11.0 / 9.0);
  EXPECT_DOUBLE_EQ(a[11], -1.0);
  EXPECT_DOUBLE_EQ(a[14], -20.0 / 9.0);
  EXPECT_DOUBLE_EQ(a[15], 0.0);
  matrix4_inverse(a, b);
  matrix4_multiply(b, prod, a);
  EXPECT_TRUE(is_identity(prod, 1e-12));

  matrix4_frustum(a, -2, 1, -0.5, 1.5, 0.5, 100);
  matrix4_inverse(a, b);
  matrix4_multiply(a, prod, b);
  EXPECT_TRUE(is_identity(prod, 1e-12));

  matrix4_ortho(a, -3, 5, -1, 2, -4, 9);
  EXPECT_DOUBLE_EQ(a[0], 0.25);
  EXPECT_DOUBLE_EQ(a[12], -0.25);
  EXPECT_DOUBLE_EQ(a[10], -2.0 / 13.0);
  EXPECT_DOUBLE_EQ(a[14], -5.0 / 13.0);
  matrix4_inverse(a, b);
  matrix4_multiply(b, prod, a);
  EXPECT_TRUE(is_identity(prod, 1e-12));
}

TEST(Projection, SingularDepthBlockUsesSmallDivisor) {
  matrix4_t a, b;
  matrix4_identity(a);
  a[10] = 2;
  a[15] = 3;
  a[11] = 6;
  a[14] = 1;  // a10 a15 == a11 a14
  matrix4_inverse(a, b);
  EXPECT_DOUBLE_EQ(b[10], 3.0 / 1e-10);
  EXPECT_DOUBLE_EQ(b[15], 2.0 / 1e-10);
  EXPECT_DOUBLE_EQ(b[11], -6.0 / 1e-10);
  EXPECT_DOUBLE_EQ(b[14], -1.0 / 1e-10);
}

TEST(Quaternion, KnownRotations) {
  matrix4_t m;
  double w, x, y, z;
  matrix4_identity(m);
  matrix4_to_quaternion(m, w, x, y, z);
  EXPECT_DOUBLE_EQ(w, 1.0);
  EXPECT_DOUBLE_EQ(x, 0.0);
  EXPECT_DOUBLE_EQ(y, 0.0);
  EXPECT_DOUBLE_EQ(z, 0.0);

  matrix4_from_position(m, 0, 0, 0, 0, 0, 180);  // 180 degrees about x
  matrix4_to_quaternion(m, w, x, y, z);
  EXPECT_NEAR(w, 0.0, 1e-12);
  EXPECT_GE(w, 0.0);
  EXPECT_NEAR(x, 1.0, 1e-12);
  EXPECT_NEAR(y, 0.0, 1e-12);
  EXPECT_NEAR(z, 0.0, 1e-12);

  matrix4_from_position(m, 0, 0, 0, 90, 0, 0);  // 90 degrees about z
  matrix4_to_quaternion(m, w, x, y, z);
  EXPECT_NEAR(w, std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(z, std::sqrt(0.5), 1e-12);

  // The scalar part is never negative, also in the branches for large angles.
  for (const vec3_t& axis : {vec3_t{0, 1, 0}, vec3_t{0, 0, 1}, vec3_t{1, 0, 0}}) {
    matrix4_rotation_about_axis(m, {0, 0, 0}, axis, 190.0);
    matrix4_to_quaternion(m, w, x, y, z);
    EXPECT_GE(w, 0.0);
    EXPECT_NEAR(w, std::fabs(std::cos(deg_to_rad(95.0))), 1e-12);
  }
}

TEST(Quaternion, RoundTripOfRotations) {
  for (const auto& c : kPositions) {
    matrix4_t m = from_case(c), back;
    m[12] = m[13] = m[14] = 0.0;
    double w, x, y, z;
    matrix4_to_quaternion(m, w, x, y, z);
    EXPECT_NEAR(w * w + x * x + y * y + z * z, 1.0, 1e-12);
    EXPECT_GE(w, 0.0);
    matrix4_from_quaternion(back, w, x, y, z);
    expect_matrix_near(back, m, 1e-12);
  }
}

TEST(TransformPoint, DividesByWOnlyWhenNonZero) {
  matrix4_t m;
  matrix4_identity(m);
  m[15] = 2.0;
  vec3_t r;
  matrix4_transform_point(r, m, {2, 4, 6});
  EXPECT_DOUBLE_EQ(r.x, 1.0);
  EXPECT_DOUBLE_EQ(r.z, 3.0);
  m[15] = 0.0;
  matrix4_transform_point(r, m, {2, 4, 6});
  EXPECT_DOUBLE_EQ(r.x, 2.0);
  EXPECT_DOUBLE_EQ(r.y, 4.0);
  EXPECT_DOUBLE_EQ(r.z, 6.0);
}

TEST(LinePlane, MatchesCramerSolution) {
  const matrix4_t plane = from_case(kPositions[4]);
  struct row {
    vec3_t p, d, expected;
  };
  // Eliminations through x, y and z, and the ties between |d| components.
  const row rows[] = {
      {{0, 0, 0}, {1, 0.2, 0.1}, {19.996038203718268, -9.5703753884486709, 15.992974234028406}},
      {{1, 2, 3}, {0.1, 1, 0.3}, {12.672034281072222, 7.9211548238877869, 13.194835582796577}},
      {{1, 2, 3}, {0.1, 0.3, 1}, {6.2088495856616479, -2.0444426116841474, 4.5428445888352336}},
      {{-3, 1, 2}, {0.2, 0.5, -0.5}, {-6.9485709037337342, -7.9960511900598954, -18.143576555462609}},
      {{5, -5, 5}, {-1, 1, 1}, {4.6240160868657041, -8.346096689989924, 2.0566114231568888}},
      {{2, 0, 1}, {0.3, -0.7, 0.7}, {4.7524048271677053, -11.338842684045927, 7.8919369047532983}},
  };
  for (const auto& r : rows) {
    const vec3_t got = line_plane_intersection(r.p, r.d, plane);
    EXPECT_NEAR(got.x, r.expected.x, 1e-9);
    EXPECT_NEAR(got.y, r.expected.y, 1e-9);
    EXPECT_NEAR(got.z, r.expected.z, 1e-9);
  }
}

TEST(VectorHelpers, Operations) {
  const vec3_t zero = vec3_normalise({0, 0, 0});
  EXPECT_EQ(zero.x, 0.0);
  EXPECT_EQ(zero.y, 0.0);
  EXPECT_EQ(zero.z, 0.0);
  const vec3_t n = vec3_normalise({0, 3, 4});
  EXPECT_DOUBLE_EQ(n.y, 0.6);
  EXPECT_DOUBLE_EQ(vec3_length({2, 3, 6}), 7.0);
  const vec3_t c = vec3_cross({1, 2, 3}, {4, 5, 6});
  EXPECT_EQ(c.x, -3.0);
  EXPECT_EQ(c.y, 6.0);
  EXPECT_EQ(c.z, -3.0);
  vec3_t a{1, 1, 1};
  vec3_add(a, {1, 2, 3});
  EXPECT_EQ(a.z, 4.0);
  EXPECT_EQ(vec3_scalar_mul(2, {1, 2, 3}).y, 4.0);
  EXPECT_EQ(vec3_mul_scalar({1, 2, 3}, -1).z, -3.0);
  EXPECT_EQ(vec2_dot({1, 2}, {3, 4}), 11.0);
  EXPECT_EQ(vec2_add({1, 2}, {3, 4}).y, 6.0);
  EXPECT_EQ(vec2_sub({1, 2}, {3, 5}).y, -3.0);
  EXPECT_EQ(vec2_scalar_mul(3, {1, 2}).y, 6.0);
  EXPECT_EQ(vec2_mul_scalar({1, 2}, 0.5).x, 0.5);
}

// ---- voxel kernels ----------------------------------------------------------

// Three frames of 5 x 4 pixels holding f(x, y, frame) around centre (2, 1, 1).
template <class T, class F>
void fill_frames(std::vector<T> frames[3], F f) {
  for (int k = 0; k < 3; ++k) {
    frames[k].resize(20);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) frames[k][y * 5 + x] = static_cast<T>(f(x - 2, y - 1, k - 1));
  }
}

TEST(Neighbourhood, FetchOrderIsXThenRowThenFrame) {
  std::vector<uint8_t> f8[3];
  std::vector<uint16_t> f16[3];
  auto code = [](int dx, int dy, int dz) { return 100 + 9 * (dx + 1) + 3 * (dy + 1) + (dz + 1); };
  fill_frames(f8, code);
  fill_frames(f16, [&](int dx, int dy, int dz) { return 300 * code(dx, dy, dz); });
  double n8[27], n16[27];
  const int c = 1 * 5 + 2;
  fetch_neighbourhood_8bit(&f8[0][c], &f8[1][c], &f8[2][c], 5, n8);
  fetch_neighbourhood_16bit(&f16[0][c], &f16[1][c], &f16[2][c], 5, n16);
  for (int i = 0; i < 27; ++i) {
    EXPECT_EQ(n8[i], 100.0 + i);
    EXPECT_EQ(n16[i], 300.0 * (100 + i));
  }
}

TEST(Neighbourhood, DerivativesOfPolynomialFields) {
  struct row {
    const char* name;
    double (*f)(double, double, double);
    vec3_t gradient, diagonal, off;
  };
  const row rows[] = {
      {"linear", [](double x, double y, double z) { return 3 * x - 2 * y + 0.5 * z + 7; }, {3, -2, 0.5}, {0, 0, 0}, {0, 0, 0}},
      {"x^2", [](double x, double, double) { return x * x; }, {0, 0, 0}, {2, 0, 0}, {0, 0, 0}},
      {"y^2+z^2", [](double, double y, double z) { return y * y + 3 * z * z; }, {0, 0, 0}, {0, 2, 6}, {0, 0, 0}},
      {"xy", [](double x, double y, double) { return x * y; }, {0, 0, 0}, {0, 0, 0}, {1, 0, 0}},
      {"yz", [](double, double y, double z) { return 2 * y * z; }, {0, 0, 0}, {0, 0, 0}, {0, 2, 0}},
      {"xz", [](double x, double, double z) { return -x * z; }, {0, 0, 0}, {0, 0, 0}, {0, 0, -1}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    double n[27];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 3; ++k) n[9 * i + 3 * j + k] = r.f(i - 1, j - 1, k - 1);
    vec3_t lower, upper, g, diag, off;
    neighbourhood_gradient(n, lower, upper, g);
    neighbourhood_hessian(n, lower, upper, diag, off);
    EXPECT_NEAR(g.x, r.gradient.x, 1e-12);
    EXPECT_NEAR(g.y, r.gradient.y, 1e-12);
    EXPECT_NEAR(g.z, r.gradient.z, 1e-12);
    EXPECT_NEAR(diag.x, r.diagonal.x, 1e-12);
    EXPECT_NEAR(diag.y, r.diagonal.y, 1e-12);
    EXPECT_NEAR(diag.z, r.diagonal.z, 1e-12);
    EXPECT_NEAR(off.x, r.off.x, 1e-12);
    EXPECT_NEAR(off.y, r.off.y, 1e-12);
    EXPECT_NEAR(off.z, r.off.z, 1e-12);
  }
}

TEST(Neighbourhood, FaceMeansUseBinomialWeights) {
  // A single bright voxel in a corner of the -x face and one at its centre.
  double n[27] = {};
  n[9 * 0 + 3 * 0 + 0] = 16;  // corner: weight 1/16
  n[9 * 0 + 3 * 1 + 0] = 8;   // edge: weight 1/8
  n[9 * 0 + 3 * 1 + 1] = 4;   // centre: weight 1/4
  vec3_t lower, upper, g;
  neighbourhood_gradient(n, lower, upper, g);
  EXPECT_DOUBLE_EQ(lower.x, 1.0 + 1.0 + 1.0);
  EXPECT_DOUBLE_EQ(upper.x, 0.0);
  EXPECT_DOUBLE_EQ(g.x, -1.5);
}

// ---- eigen-solutions --------------------------------------------------------

TEST(Eigen2x2, Cases) {
  struct row {
    double a00, a11, a01;
    double l1, l2;
    vec2_t e1;
  };
  const double r2 = std::sqrt(0.5), r5 = std::sqrt(5.0);
  const row rows[] = {
      {1, -3, 0, -3, 1, {0, 1}},
      {-4, 2, 0, -4, 2, {1, 0}},
      {2, 2, 1, 3, 1, {r2, r2}},
      {-2, -2, 1, -3, -1, {-r2, r2}},
      {1, -1, 2, -r5, r5, {(-r5 + 1) / std::sqrt(4 + (r5 - 1) * (r5 - 1)), 2 / std::sqrt(4 + (r5 - 1) * (r5 - 1))}},
  };
  for (const auto& r : rows) {
    double l[2];
    vec2_t e1, e2;
    eigen_symmetric_2x2(l, {r.a00, r.a11}, r.a01, e1, e2);
    EXPECT_NEAR(l[0], r.l1, 1e-12);
    EXPECT_NEAR(l[1], r.l2, 1e-12);
    EXPECT_NEAR(e1.x, r.e1.x, 1e-12);
    EXPECT_NEAR(e1.y, r.e1.y, 1e-12);
    EXPECT_NEAR(e1.x * e1.x + e1.y * e1.y, 1.0, 1e-12);
    EXPECT_EQ(e1.x * e2.x + e1.y * e2.y, 0.0);
    if (r.a01 != 0.0) {  // e2 is e1 turned by +90 degrees
      EXPECT_EQ(e2.x, -e1.y);
      EXPECT_EQ(e2.y, e1.x);
    }
  }
}

struct sym3 {
  double d[3], o[3];  // (a00, a11, a22), (a01, a12, a02)
};

vec3_t apply(const sym3& a, const vec3_t& v) {
  return {a.d[0] * v.x + a.o[0] * v.y + a.o[2] * v.z, a.o[0] * v.x + a.d[1] * v.y + a.o[1] * v.z,
          a.o[2] * v.x + a.o[1] * v.y + a.d[2] * v.z};
}

// Each e_i is a unit eigenvector of its eigenvalue and the three are a right-handed frame.
void expect_eigen_system(const sym3& a, const double l[3], const vec3_t e[3], double tol) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(vec3_length(e[i]), 1.0, 1e-9) << "e" << i + 1;
    const vec3_t r = apply(a, e[i]) - l[i] * e[i];
    EXPECT_LT(vec3_length(r), tol) << "e" << i + 1 << " for eigenvalue " << l[i];
  }
  EXPECT_NEAR(vec3_dot(e[0], e[1]), 0.0, 1e-9);
  EXPECT_NEAR(vec3_dot(e[0], e[2]), 0.0, 1e-9);
  EXPECT_NEAR(vec3_dot(e[1], e[2]), 0.0, 1e-9);
  EXPECT_NEAR(vec3_dot(vec3_cross(e[0], e[1]), e[2]), 1.0, 1e-9);
  EXPECT_GE(std::fabs(l[0]), std::fabs(l[1]));
  EXPECT_GE(std::fabs(l[1]), std::fabs(l[2]));
}

void solve(const sym3& a, double l[3], vec3_t e[3]) {
  eigen_symmetric_3x3(l, {a.d[0], a.d[1], a.d[2]}, {a.o[0], a.o[1], a.o[2]}, e[0], e[1], e[2]);
}

TEST(Eigen3x3, RandomMatricesAgainstJacobi) {
  struct row {
    sym3 a;
    double expected[3];
  };
  const row rows[] = {
      {{{0.58905294911304273, 0.060194704781794339, 0.84886670864229075}, {-0.68127207003944457, 0.68989586882304699, 0.78620158268127938}}, {1.524088988246239, -0.97849200662639291, 0.95251738091728189}},
      {{{-0.70733374752639899, 0.61932194209086822, -0.47238379091949678}, {0.47289584832675646, 0.676051329418488, -0.81091463180317414}}, {-1.6890604595514578, 0.94752727005018378, 0.181137593146246}},
      {{{0.96905868467841105, -0.91520759740844682, 0.48435429066294144}, {0.85943757354292738, 0.48611605338881247, -0.98789540147777788}}, {1.80484961431373, -1.5959645719090323, 0.32932033552820755}},
      {{{-67.746728061890465, -49.130838218244001, -71.602923010611974}, {-24.044758770100284, -5.9489673593178027, -84.894883174959034}}, {-158.67757597727484, -47.681944177992946, 17.879030864521436}},
      {{{0.00050476211603867776, -0.00037950292415197721, -0.00043796037567004855}, {-0.00030774967313671397, -0.00056837844344107609, -0.00049541060036027208}}, {-0.0011734535909038737, 0.00072155229217750385, 0.00013920011494302138}},
      {{{-0.60098379283880665, -0.11182994324117446, -0.36158251078692372}, {0.2530475102774099, 0.51651056177660704, -0.706968782778711}}, {-1.416333727976258, 0.39592389551492646, -0.053986414405574085}},
      {{{6.7835246068727812, 4.907858121534181, -48.591935320016844}, {-48.48267435462644, 11.779407733676116, -36.671037081168869}}, {-69.344955656015856, 65.030065524714701, -32.58566246030869}},
      {{{-0.5744029233546577, -0.44088840517373384, -0.97370883138743203}, {-0.17254010494017047, -0.5441058512152086, 0.10048063737015078}}, {-1.3131771246617003, -0.64731650427359311, -0.028506530980529604}},
      {{{-0.93933170778156749, -0.86551621992876515, 0.53722201508482392}, {0.052670551421499345, 0.89840731514305627, 0.45528128736320728}}, {-1.3700084353617621, 1.0691027401514024, -0.96672021741514969}},
      {{{0.84002807517936651, 0.63391086548423536, 0.55368123060920471}, {0.90875827196980707, -0.77488562393403115, 0.70217245316167909}}, {1.6516684310504339, 1.2956864726706463, -0.9197347324482722}},
      {{{-0.27171494746932345, -0.37086373906922065, -0.33012273449486496}, {-0.36373266484289823, -0.79516921131056773, -0.51836478534814723}}, {-1.4708124651500738, 0.47221296115316658, 0.025898082963497847}},
      {{{0.33137062370652504, -0.70103398749344747, 0.43158335976514284}, {-0.19174125400429665, 0.63032479312980083, 0.057689076254958005}}, {-1.0114675536289217, 0.71442457702103557, 0.35896297258610665}},
  };
  for (const auto& r : rows) {
    double l[3];
    vec3_t e[3];
    solve(r.a, l, e);
    const double scale = std::fabs(r.expected[0]);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(l[i], r.expected[i], 1e-12 * scale) << "eigenvalue " << i;
    expect_eigen_system(r.a, l, e, 1e-9 * scale);
  }
}

TEST(Eigen3x3, DegenerateMatrices) {
  // Multiples of the identity, double roots of either sign of r, tubes and
  // sheets such as ridge and valley detection meets.
  const double s = std::sqrt(0.5);
  struct row {
    const char* name;
    sym3 a;
    double expected[3];
  };
  const row rows[] = {
      {"zero", {{0, 0, 0}, {0, 0, 0}}, {0, 0, 0}},
      {"2I", {{2, 2, 2}, {0, 0, 0}}, {2, 2, 2}},
      {"-7I", {{-7, -7, -7}, {0, 0, 0}}, {-7, -7, -7}},
      {"diag(1,1,0)", {{1, 1, 0}, {0, 0, 0}}, {1, 1, 0}},
      {"diag(1,0,0)", {{1, 0, 0}, {0, 0, 0}}, {1, 0, 0}},
      {"diag(1,2,3)", {{1, 2, 3}, {0, 0, 0}}, {3, 2, 1}},
      {"diag(-5,-5,1)", {{-5, -5, 1}, {0, 0, 0}}, {-5, -5, 1}},
      // I - u u^T with u = (1, 1, 0)/sqrt 2 and with u = (1, -1, 0)/sqrt 2.
      {"tube (1,1,0)", {{0.5, 0.5, 1}, {-0.5, 0, 0}}, {1, 1, 0}},
      {"tube (1,-1,0)", {{0.5, 0.5, 1}, {0.5, 0, 0}}, {1, 1, 0}},
      // -4 (I - u u^T) + u u^T with u = (1, -2, 2)/3.
      {"tube oblique", {{-4 + 5.0 / 9, -4 + 20.0 / 9, -4 + 20.0 / 9}, {-10.0 / 9, -20.0 / 9, 10.0 / 9}}, {-4, -4, 1}},
      {"sheet", {{0, 3 * s * s, 3 * s * s}, {0, -3 * s * s, 0}}, {3, 0, 0}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    double l[3];
    vec3_t e[3];
    solve(r.a, l, e);
    const double scale = std::max(1.0, std::fabs(r.expected[0]));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(l[i], r.expected[i], 1e-7 * scale) << "eigenvalue " << i;
    expect_eigen_system(r.a, l, e, 1e-7 * scale);
  }
}

// The vectors' signs are part of the result: shape models, thickness
// directions and the covariance ellipse orient their axes by them. Expected
// vectors were computed apart from this code: eigenvalues by Jacobi
// iteration, then e1 and e2 as the normalised cross product of the two rows
// of A - lambda I chosen by their squared lengths (or, where those rows are
// parallel, the unit vector in their axes' plane; for a double root, e1
// crossed with the longest row), e3 = e1 x e2.
TEST(Eigen3x3, VectorsKeepTheirSigns) {
  struct row {
    const char* name;
    sym3 a;
    double l[3];
    vec3_t e[3];
  };
  const double h = std::sqrt(0.5);
  const row rows[] = {
      {"distinct", {{2, 3, 4}, {1, 1, 0}}, {4.7320508075688767, 3, 1.2679491924311221},
       {{0.21132486540518722, 0.57735026918962595, 0.78867513459481275},
        {0.57735026918962473, 0.57735026918962684, -0.57735026918962584},
        {-0.78867513459481375, 0.57735026918962495, -0.21132486540518636}}},
      {"distinct, negative", {{-2, -3, -4}, {1, 1, 0.5}}, {-4.6229051216441359, -3.3175444385565513, -1.059550439799313},
       {{0.048443468111298175, -0.54543772650568023, 0.8367502117727037},
        {0.64249074706644926, -0.62440250919622864, -0.44421520285043098},
        {0.76476066212335048, 0.55912359368369269, 0.32019046933799805}}},
      {"mixed signs", {{1, -1, 0.25}, {2, 0.5, 3}}, {4.2971947908039949, -3, -1.047194790803994},
       {{-0.7370992057680249, -0.33376236006600046, -0.58761164714403036},
        {0.6622661785325219, -0.52981294282601765, -0.52981294282601743},
        {-0.13449263782109763, -0.77968001937795517, 0.61156422210158334}}},
      {"two equal, negative", {{-5, -5, 1}, {0, 0, 0}}, {-5, -5, 1}, {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}},
      {"two equal, tube", {{0.5, 0.5, 1}, {-0.5, 0, 0}}, {1, 1, 0}, {{-h, h, 0}, {0, 0, 1}, {h, h, 0}}},
      {"three equal", {{2, 2, 2}, {0, 0, 0}}, {2, 2, 2}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
      {"zero", {{0, 0, 0}, {0, 0, 0}}, {0, 0, 0}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    double l[3];
    vec3_t e[3];
    solve(r.a, l, e);
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(l[i], r.l[i], 1e-12) << "eigenvalue " << i;
      EXPECT_NEAR(e[i].x, r.e[i].x, 1e-9) << "e" << i + 1;
      EXPECT_NEAR(e[i].y, r.e[i].y, 1e-9) << "e" << i + 1;
      EXPECT_NEAR(e[i].z, r.e[i].z, 1e-9) << "e" << i + 1;
    }
  }
}

TEST(Eigen3x3, IdentityMultipleGivesUnitAxes) {
  double l[3];
  vec3_t e[3];
  solve({{2, 2, 2}, {0, 0, 0}}, l, e);
  EXPECT_EQ(l[0], 2.0);
  EXPECT_EQ(l[2], 2.0);
  EXPECT_EQ(e[0].x, 1.0);
  EXPECT_EQ(e[1].y, 1.0);
  EXPECT_EQ(e[2].z, 1.0);
}

TEST(Eigen3x3, RandomNearDegenerateTubes) {
  // Random orientations of diag(a, a + tiny, b): the eigenvectors must still
  // form an orthonormal frame whose third member is the tube axis.
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> uni(-1.0, 1.0);
  for (int trial = 0; trial < 200; ++trial) {
    vec3_t u = vec3_normalise({uni(rng), uni(rng), uni(rng)});
    const double a = 1.0 + 0.5 * std::fabs(uni(rng)), b = 0.1 * uni(rng), tiny = (trial % 4) * 1e-12;
    // A = a I + tiny e_x e_x^T + (b - a) u u^T
    sym3 m{{a + tiny + (b - a) * u.x * u.x, a + (b - a) * u.y * u.y, a + (b - a) * u.z * u.z},
           {(b - a) * u.x * u.y, (b - a) * u.y * u.z, (b - a) * u.x * u.z}};
    double l[3];
    vec3_t e[3];
    solve(m, l, e);
    EXPECT_NEAR(l[2], b, 1e-7);
    EXPECT_NEAR(std::fabs(vec3_dot(e[2], u)), 1.0, 1e-6) << "trial " << trial;
    expect_eigen_system(m, l, e, 1e-6);
  }
}

}  // namespace
