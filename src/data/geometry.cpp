#include "data/geometry.h"

#include <algorithm>

#include "data/dynabuf.h"

namespace {

inline double clamp_unit(double v) { return v < -1.0 ? -1.0 : (v > 1.0 ? 1.0 : v); }

// Elements 0-10 of the rotation Rz(az) Ry(el) Rx(ro); angles in degrees.
void rotation_from_angles(double r[11], double azimuth, double elevation, double roll) {
  const double az = deg_to_rad(azimuth), el = deg_to_rad(elevation), ro = deg_to_rad(roll);
  const double ca = std::cos(az), sa = std::sin(az);
  const double ce = std::cos(el), se = std::sin(el);
  const double cr = std::cos(ro), sr = std::sin(ro);
  r[0] = ce * ca;
  r[1] = ce * sa;
  r[2] = -se;
  r[3] = 0.0;
  r[4] = se * ca * sr - sa * cr;
  r[5] = se * sa * sr + ca * cr;
  r[6] = ce * sr;
  r[7] = 0.0;
  r[8] = se * ca * cr + sa * sr;
  r[9] = se * sa * cr - ca * sr;
  r[10] = ce * cr;
}

// Angle from its cosine a, with the sign chosen by the caller's test:
// pi for a <= -1, 0 for a >= 1.
inline double angle_from_cosine(double a) {
  if (a <= -1.0) return NV_PI;
  if (a >= 1.0) return 0.0;
  return std::acos(a);
}

}  // namespace

// ---- construction and access ------------------------------------------------

matrix4_t& matrix4_identity(matrix4_t& m) {
  matrix4_zero(m);
  m[0] = m[5] = m[10] = m[15] = 1.0;
  return m;
}

matrix4_t& matrix4_zero(matrix4_t& m) {
  for (double& v : m.m) v = 0.0;
  return m;
}

matrix4_t& matrix4_copy(matrix4_t& dst, const matrix4_t& src) {
  for (int i = 0; i < 16; ++i) dst[i] = src[i];
  return dst;
}

matrix4_t& matrix4_translation(matrix4_t& m, double x, double y, double z) {
  matrix4_identity(m);
  m[12] = x;
  m[13] = y;
  m[14] = z;
  return m;
}

matrix4_t& matrix4_inverse_translation(matrix4_t& m, double x, double y, double z) {
  return matrix4_translation(m, -x, -y, -z);
}

matrix4_t& matrix4_ortho(matrix4_t& m, double left, double right, double bottom, double top,
                         double near_val, double far_val) {
  matrix4_zero(m);
  m[0] = 2.0 / (right - left);
  m[5] = 2.0 / (top - bottom);
  m[10] = -2.0 / (far_val - near_val);
  m[12] = -(right + left) / (right - left);
  m[13] = -(top + bottom) / (top - bottom);
  m[14] = -(far_val + near_val) / (far_val - near_val);
  m[15] = 1.0;
  return m;
}

matrix4_t& matrix4_frustum(matrix4_t& m, double left, double right, double bottom, double top,
                           double near_val, double far_val) {
  matrix4_zero(m);
  m[0] = 2.0 * near_val / (right - left);
  m[5] = 2.0 * near_val / (top - bottom);
  m[8] = (right + left) / (right - left);
  m[9] = (top + bottom) / (top - bottom);
  m[10] = -(far_val + near_val) / (far_val - near_val);
  m[11] = -1.0;
  m[14] = -2.0 * far_val * near_val / (far_val - near_val);
  return m;
}

matrix4_t& matrix4_from_position(matrix4_t& m, double x, double y, double z, double azimuth,
                                 double elevation, double roll) {
  double r[11];
  rotation_from_angles(r, azimuth, elevation, roll);
  for (int i = 0; i < 11; ++i) m[i] = r[i];
  m[11] = 0.0;
  m[12] = x;
  m[13] = y;
  m[14] = z;
  m[15] = 1.0;
  return m;
}

matrix4_t& matrix4_from_position_t(matrix4_t& m, const position_t& p) {
  return matrix4_from_position(m, double(p.x), double(p.y), double(p.z), double(p.azimuth),
                               double(p.elevation), double(p.roll));
}

matrix4_t& matrix4_inverse_from_position(matrix4_t& m, double x, double y, double z,
                                         double azimuth, double elevation, double roll) {
  double r[11];
  rotation_from_angles(r, azimuth, elevation, roll);
  // Transposed rotation.
  m[0] = r[0];
  m[1] = r[4];
  m[2] = r[8];
  m[3] = 0.0;
  m[4] = r[1];
  m[5] = r[5];
  m[6] = r[9];
  m[7] = 0.0;
  m[8] = r[2];
  m[9] = r[6];
  m[10] = r[10];
  m[11] = 0.0;
  m[12] = -(x * r[0] + y * r[1] + z * r[2]);
  m[13] = -(x * r[4] + y * r[5] + z * r[6]);
  m[14] = -(x * r[8] + y * r[9] + z * r[10]);
  m[15] = 1.0;
  return m;
}

matrix4_t& matrix4_inverse_from_position_t(matrix4_t& m, const position_t& p) {
  return matrix4_inverse_from_position(m, double(p.x), double(p.y), double(p.z),
                                       double(p.azimuth), double(p.elevation), double(p.roll));
}

void matrix4_to_position(const matrix4_t& m, double& x, double& y, double& z, double& azimuth,
                         double& elevation, double& roll) {
  x = m[12];
  y = m[13];
  z = m[14];
  if (m[2] < -0.99999999) {
    // Looking straight along +z: only roll minus azimuth is defined.
    elevation = 90.0;
    azimuth = 0.0;
    const double a = std::acos(clamp_unit(m[8]));
    roll = ((std::sin(a) > 0.0) == (m[4] > 0.0) ? a : -a) * NV_RAD_TO_DEG;
    return;
  }
  if (m[2] > 0.99999999) {
    elevation = -90.0;
    azimuth = 0.0;
    const double a = std::acos(clamp_unit(m[5]));
    roll = ((std::sin(a) < 0.0) == (m[4] > 0.0) ? a : -a) * NV_RAD_TO_DEG;
    return;
  }
  const double el = std::asin(-m[2]);
  const double c = std::cos(el);
  double az = angle_from_cosine(m[0] / c);
  if ((c * std::sin(az) > 0.0) != (m[1] > 0.0)) az = -az;
  double ro = angle_from_cosine(m[10] / c);
  if ((c * std::sin(ro) > 0.0) != (m[6] > 0.0)) ro = -ro;
  azimuth = az * NV_RAD_TO_DEG;
  elevation = el * NV_RAD_TO_DEG;
  roll = ro * NV_RAD_TO_DEG;
}

matrix4_t& matrix4_rotation_about_axis(matrix4_t& m, const vec3_t& p, const vec3_t& q,
                                       double angle) {
  matrix4_identity(m);
  const vec3_t axis = q - p;
  if (angle == 0.0 || (axis.x == 0.0 && axis.y == 0.0 && axis.z == 0.0)) return m;
  const vec3_t u = vec3_normalise(axis);
  const double a = deg_to_rad(angle);
  const double c = std::cos(a), s = std::sin(a), k = 1.0 - c;
  m[0] = u.x * u.x * k + c;
  m[1] = u.y * u.x * k + u.z * s;
  m[2] = u.z * u.x * k - u.y * s;
  m[4] = u.y * u.x * k - u.z * s;
  m[5] = u.y * u.y * k + c;
  m[6] = u.z * u.y * k + u.x * s;
  m[8] = u.y * s + u.z * u.x * k;
  m[9] = u.z * u.y * k - u.x * s;
  m[10] = u.z * u.z * k + c;
  // Translation P - R P keeps the points of the axis in place.
  m[12] = p.x - (m[0] * p.x + m[4] * p.y + m[8] * p.z);
  m[13] = p.y - (m[1] * p.x + m[5] * p.y + m[9] * p.z);
  m[14] = p.z - (m[2] * p.x + m[6] * p.y + m[10] * p.z);
  return m;
}

matrix4_t& matrix4_post_translate(matrix4_t& m, const vec3_t& v) {
  for (int r = 0; r < 3; ++r) m[12 + r] += v.x * m[r] + v.y * m[4 + r] + v.z * m[8 + r];
  return m;
}

matrix4_t& matrix4_rigid_inverse(const matrix4_t& a, matrix4_t& b) {
  matrix4_t t;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) t[4 * c + r] = a[4 * r + c];
  for (int r = 0; r < 3; ++r)
    t[12 + r] = -(a[4 * r] * a[12] + a[4 * r + 1] * a[13] + a[4 * r + 2] * a[14]);
  t[3] = t[7] = t[11] = 0.0;
  t[15] = 1.0;
  return matrix4_copy(b, t);
}

matrix4_t& matrix4_inverse(const matrix4_t& a, matrix4_t& b) {
  double g = a[10] * a[15] - a[11] * a[14];
  if (g == 0.0) g = 1e-10;
  matrix4_t t;
  t[0] = 1.0 / a[0];
  t[5] = 1.0 / a[5];
  t[10] = a[15] / g;
  t[15] = a[10] / g;
  t[11] = -a[11] / g;
  t[14] = -a[14] / g;
  t[8] = (a[12] * a[11] - a[8] * a[15]) / (a[0] * g);
  t[12] = (a[8] * a[14] - a[12] * a[10]) / (a[0] * g);
  t[9] = (a[13] * a[11] - a[9] * a[15]) / (a[5] * g);
  t[13] = (a[9] * a[14] - a[13] * a[10]) / (a[5] * g);
  return matrix4_copy(b, t);
}

matrix4_t& matrix4_multiply(const matrix4_t& a, matrix4_t& c, const matrix4_t& b) {
  // Computed aside so that a caller passing c as a or b still gets a . b.
  matrix4_t t;
  for (int col = 0; col < 4; ++col)
    for (int row = 0; row < 4; ++row) {
      double s = 0.0;
      for (int k = 0; k < 4; ++k) s += a[4 * k + row] * b[4 * col + k];
      t[4 * col + row] = s;
    }
  return matrix4_copy(c, t);
}

matrix4_t& matrix4_from_quaternion(matrix4_t& m, double w, double x, double y, double z) {
  matrix4_zero(m);
  m[0] = w * w + x * x - y * y - z * z;
  m[1] = 2.0 * (w * z + x * y);
  m[2] = 2.0 * (x * z - w * y);
  m[4] = 2.0 * (x * y - w * z);
  m[5] = w * w - x * x + y * y - z * z;
  m[6] = 2.0 * (y * z + w * x);
  m[8] = 2.0 * (w * y + x * z);
  m[9] = 2.0 * (y * z - w * x);
  m[10] = w * w - x * x - y * y + z * z;
  m[15] = 1.0;
  return m;
}

void matrix4_to_quaternion(const matrix4_t& m, double& w, double& x, double& y, double& z) {
  const double t = m[0] + m[5] + m[10] + 1.0;
  if (t > 0.5) {
    w = std::sqrt(t) / 2.0;
    x = (m[6] - m[9]) / (4.0 * w);
    y = (m[8] - m[2]) / (4.0 * w);
    z = (m[1] - m[4]) / (4.0 * w);
    return;
  }
  const double tx = m[0] + 1.0 - (m[5] + m[10]);
  const double ty = m[5] + 1.0 - (m[10] + m[0]);
  if (tx > 1.0) {
    x = std::sqrt(tx) / 2.0;
    y = (m[4] + m[1]) / (4.0 * x);
    z = (m[8] + m[2]) / (4.0 * x);
    w = (m[6] - m[9]) / (4.0 * x);
  } else if (ty > 1.0) {
    y = std::sqrt(ty) / 2.0;
    x = (m[4] + m[1]) / (4.0 * y);
    z = (m[6] + m[9]) / (4.0 * y);
    w = (m[8] - m[2]) / (4.0 * y);
  } else {
    // Clamped so that a slightly non-orthogonal matrix cannot take a root of
    // a negative number.
    z = std::sqrt(std::max(m[10] + 1.0 - (m[5] + m[0]), 0.0)) / 2.0;
    if (z == 0.0) {
      w = 1.0;
      x = y = 0.0;
      return;
    }
    x = (m[8] + m[2]) / (4.0 * z);
    y = (m[6] + m[9]) / (4.0 * z);
    w = (m[1] - m[4]) / (4.0 * z);
  }
  // The scalar part is kept non-negative.
  if (w < 0.0) {
    w = -w;
    x = -x;
    y = -y;
    z = -z;
  }
}

namespace {
// Stores v in the column that starts at element `first` (OpenGL element order).
matrix4_t& set_column(matrix4_t& m, int first, const vec3_t& v) {
  m[first] = v.x;
  m[first + 1] = v.y;
  m[first + 2] = v.z;
  return m;
}
}  // namespace

matrix4_t& matrix4_set_x_axis(matrix4_t& m, const vec3_t& v) {
  return set_column(m, 0, vec3_normalise(v));
}

matrix4_t& matrix4_set_y_axis(matrix4_t& m, const vec3_t& v) {
  return set_column(m, 4, vec3_normalise(v));
}

matrix4_t& matrix4_set_z_axis(matrix4_t& m, const vec3_t& v) {
  return set_column(m, 8, vec3_normalise(v));
}

matrix4_t& matrix4_set_translation(matrix4_t& m, const vec3_t& v) { return set_column(m, 12, v); }

vec3_t matrix4_get_x_axis(const matrix4_t& m) { return {m[0], m[1], m[2]}; }
vec3_t matrix4_get_y_axis(const matrix4_t& m) { return {m[4], m[5], m[6]}; }
vec3_t matrix4_get_z_axis(const matrix4_t& m) { return {m[8], m[9], m[10]}; }
vec3_t matrix4_get_translation(const matrix4_t& m) { return {m[12], m[13], m[14]}; }

vec3_t& matrix4_transform_point(vec3_t& result, const matrix4_t& m, const vec3_t& p) {
  const double x = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
  const double y = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
  const double z = m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14];
  const double w = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
  if (std::fabs(w) > 0.0)
    result = {x / w, y / w, z / w};
  else
    result = {x, y, z};
  return result;
}

// ---- line and plane ---------------------------------------------------------

vec3_t line_plane_intersection(const vec3_t& p, const vec3_t& d, const matrix4_t& m) {
  const double P[3] = {p.x, p.y, p.z};
  const double D[3] = {d.x, d.y, d.z};
  const double U[3] = {m[0], m[1], m[2]};
  const double V[3] = {m[4], m[5], m[6]};
  const double O[3] = {m[12], m[13], m[14]};
  const double ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);

  // Component of d through which lambda is eliminated; a and b are the other
  // two in the order x, y, z.
  int e, a, b;
  if (ax > ay && ax > az) {
    e = 0, a = 1, b = 2;
  } else if (az > ay) {
    e = 2, a = 0, b = 1;
  } else {
    e = 1, a = 0, b = 2;
  }
  const double w = U[a] * D[e] - U[e] * D[a];
  const double T = D[a] * V[e] - V[a] * D[e];
  const double u = (O[e] - P[e]) * D[a] - D[e] * (O[a] - P[a]);
  const double v = U[b] * D[e] - U[e] * D[b];
  const double o = D[b] * V[e] - V[b] * D[e];
  const double A = (O[e] - P[e]) * D[b] - D[e] * (O[b] - P[b]);

  const double t = (A * w - v * u) / (v * T - o * w);
  const double s = std::fabs(w) > std::fabs(v) ? (t * T + u) / w : (t * o + A) / v;

  // Component from which lambda is taken.
  int c;
  if (ax > ay && ax > az)
    c = 0;
  else if (ay > az)
    c = 1;
  else
    c = 2;
  const double lambda = (O[c] + s * U[c] + t * V[c] - P[c]) / D[c];
  return {s, t, lambda};
}

// ---- neighbourhood kernels --------------------------------------------------

namespace {

template <class T>
void fetch_neighbourhood(const T* p0, const T* p1, const T* p2, int w, double n[27]) {
  const T* frames[3] = {p0, p1, p2};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k)
        n[9 * i + 3 * j + k] = double(frames[k][std::ptrdiff_t(j - 1) * w + (i - 1)]);
}

// Binomial 1-2-1 weights; the product of two is the 1/4, 1/8, 1/16 face weight.
constexpr double kB[3] = {0.25, 0.5, 0.25};

inline double at(const double n[27], int i, int j, int k) { return n[9 * i + 3 * j + k]; }

// Weighted mean of the face at index f across the given axis (0 x, 1 y, 2 z).
template <int Axis>
double face_mean(const double n[27], int f) {
  double s = 0.0;
  for (int p = 0; p < 3; ++p)
    for (int q = 0; q < 3; ++q) {
      const double v = Axis == 0 ? at(n, f, p, q) : (Axis == 1 ? at(n, p, f, q) : at(n, p, q, f));
      s += kB[p] * kB[q] * v;
    }
  return s;
}

}  // namespace

void fetch_neighbourhood_8bit(const uint8_t* p0, const uint8_t* p1, const uint8_t* p2, int w,
                              double n[27]) {
  fetch_neighbourhood(p0, p1, p2, w, n);
}

void fetch_neighbourhood_16bit(const uint16_t* p0, const uint16_t* p1, const uint16_t* p2, int w,
                               double n[27]) {
  fetch_neighbourhood(p0, p1, p2, w, n);
}

void neighbourhood_gradient(const double n[27], vec3_t& lower, vec3_t& upper, vec3_t& gradient) {
  lower = {face_mean<0>(n, 0), face_mean<1>(n, 0), face_mean<2>(n, 0)};
  upper = {face_mean<0>(n, 2), face_mean<1>(n, 2), face_mean<2>(n, 2)};
  gradient = {(upper.x - lower.x) * 0.5, (upper.y - lower.y) * 0.5, (upper.z - lower.z) * 0.5};
}

void neighbourhood_hessian(const double n[27], const vec3_t& lower, const vec3_t& upper,
                           vec3_t& diagonal, vec3_t& off_diagonal) {
  diagonal = {lower.x + upper.x - 2.0 * face_mean<0>(n, 1),
              lower.y + upper.y - 2.0 * face_mean<1>(n, 1),
              lower.z + upper.z - 2.0 * face_mean<2>(n, 1)};
  // Corner sums of each plane: + where both offsets agree in sign; the third
  // axis weighs 1/8 in its central layer and 1/16 in the outer ones.
  double xy = 0.0, yz = 0.0, xz = 0.0;
  for (int l = 0; l < 3; ++l) {
    const double wt = kB[l] * 0.25;
    xy += wt * (at(n, 2, 2, l) + at(n, 0, 0, l) - at(n, 0, 2, l) - at(n, 2, 0, l));
    yz += wt * (at(n, l, 2, 2) + at(n, l, 0, 0) - at(n, l, 0, 2) - at(n, l, 2, 0));
    xz += wt * (at(n, 2, l, 2) + at(n, 0, l, 0) - at(n, 0, l, 2) - at(n, 2, l, 0));
  }
  off_diagonal = {xy, yz, xz};
}

// ---- symmetric eigen-solutions ----------------------------------------------

void eigen_symmetric_2x2(double eigenvalues[2], const vec2_t& diagonal, double off_diagonal,
                         vec2_t& e1, vec2_t& e2) {
  const double a00 = diagonal.x, a11 = diagonal.y, a01 = off_diagonal;
  if (a01 == 0.0) {
    if (std::fabs(a00) > std::fabs(a11)) {
      eigenvalues[0] = a00;
      eigenvalues[1] = a11;
      e1 = {1.0, 0.0};
      e2 = {0.0, 1.0};
    } else {
      eigenvalues[0] = a11;
      eigenvalues[1] = a00;
      e1 = {0.0, 1.0};
      e2 = {1.0, 0.0};
    }
    return;
  }
  const double m = (a00 + a11) / 2.0;
  // sqrt(m^2 - det) written without the cancellation, so never negative.
  const double h = (a00 - a11) / 2.0;
  const double s = std::sqrt(h * h + a01 * a01);
  double l1, l2;
  if (s * m > 0.0) {
    l1 = m + s;
    l2 = m - s;
  } else {
    l1 = m - s;
    l2 = m + s;
  }
  eigenvalues[0] = l1;
  eigenvalues[1] = l2;
  e1 = {l1 - a11, a01};
  const double len = std::sqrt(e1.x * e1.x + e1.y * e1.y);
  if (len != 0.0) e1 = {e1.x / len, e1.y / len};
  e2 = {-e1.y, e1.x};
}

namespace {

// A unit vector perpendicular to the unit vector v.
vec3_t any_perpendicular(const vec3_t& v) {
  const double ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
  const vec3_t axis =
      ax <= ay && ax <= az ? vec3_t{1, 0, 0} : (ay <= az ? vec3_t{0, 1, 0} : vec3_t{0, 0, 1});
  return vec3_normalise(vec3_cross(v, axis));
}

// Unit eigenvector of a simple eigenvalue lambda: the longest cross product
// of two rows of A - lambda I, which has rank two.
vec3_t simple_eigenvector(const double a[3][3], double lambda) {
  const vec3_t r0{a[0][0] - lambda, a[0][1], a[0][2]};
  const vec3_t r1{a[1][0], a[1][1] - lambda, a[1][2]};
  const vec3_t r2{a[2][0], a[2][1], a[2][2] - lambda};
  const vec3_t c[3] = {vec3_cross(r0, r1), vec3_cross(r0, r2), vec3_cross(r1, r2)};
  int best = 0;
  for (int i = 1; i < 3; ++i)
    if (vec3_dot(c[i], c[i]) > vec3_dot(c[best], c[best])) best = i;
  if (vec3_dot(c[best], c[best]) > 0.0) return vec3_normalise(c[best]);
  return {1.0, 0.0, 0.0};
}

// The unit vector the program has always derived from two rows of A - lambda I
// (the pair of rows and the fall-back for nearly parallel rows as below).
// Callers orient axes, ellipses and thickness directions by its sign. Null
// when the rows give no direction at all.
vec3_t rows_vector(const double a[3][3], double lambda, double squared_lengths[3]) {
  const vec3_t r0{a[0][0] - lambda, a[0][1], a[0][2]};
  const vec3_t r1{a[1][0], a[1][1] - lambda, a[1][2]};
  const vec3_t r2{a[2][0], a[2][1], a[2][2] - lambda};
  const double n0 = vec3_dot(r0, r0), n1 = vec3_dot(r1, r1), n2 = vec3_dot(r2, r2);
  squared_lengths[0] = n0;
  squared_lengths[1] = n1;
  squared_lengths[2] = n2;
  // Each fall-back lies in the plane of the two rows' axes; its components
  // come from the ratio of the smaller squared length to the larger.
  const auto in_plane = [](double small, double large, bool first_smaller, int i, int j) {
    const double f = std::sqrt(small / large), n = std::sqrt(1.0 + small / large);
    double c[3] = {0.0, 0.0, 0.0};
    c[i] = first_smaller ? 1.0 / n : -f / n;
    c[j] = first_smaller ? -f / n : 1.0 / n;
    return vec3_t{c[0], c[1], c[2]};
  };
  vec3_t v;
  if (n2 < n0 && n2 < n1) {
    v = vec3_cross(r0, r1);
    if (vec3_dot(v, v) < 1e-13) v = n0 < n1 ? in_plane(n0, n1, true, 0, 1) : in_plane(n1, n0, false, 0, 1);
  } else if (n1 < n0) {
    v = vec3_cross(r0, r2);
    if (vec3_dot(v, v) < 1e-13) v = n0 < n2 ? in_plane(n0, n2, true, 0, 2) : in_plane(n2, n0, false, 0, 2);
  } else {
    v = vec3_cross(r2, r1);
    if (vec3_dot(v, v) < 1e-13) v = n2 < n1 ? in_plane(n2, n1, false, 1, 2) : in_plane(n1, n2, true, 1, 2);
  }
  if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return {0.0, 0.0, 0.0};
  return vec3_normalise(v);
}

inline vec3_t times(const double a[3][3], const vec3_t& v) {
  return {a[0][0] * v.x + a[0][1] * v.y + a[0][2] * v.z,
          a[1][0] * v.x + a[1][1] * v.y + a[1][2] * v.z,
          a[2][0] * v.x + a[2][1] * v.y + a[2][2] * v.z};
}

// True when v is a unit eigenvector of the (scaled) matrix for lambda.
bool is_eigenvector(const double a[3][3], double lambda, const vec3_t& v) {
  if (std::fabs(vec3_dot(v, v) - 1.0) > 1e-9) return false;
  const vec3_t r = times(a, v) - lambda * v;
  return vec3_dot(r, r) < 1e-16;
}

// Callers orient axes by the vectors' signs, so e1 and e2 are the vectors the
// program has always built from the rows of A - lambda I wherever those are
// eigenvectors; where they are not (some double roots), the sound vectors
// stay, turned to the side of the built ones. e1 and e2 come in sound and
// orthonormal; a holds the scaled matrix and l1, l2 its first two eigenvalues.
void keep_the_program_s_vectors(const double a[3][3], double l1, double l2, vec3_t& e1, vec3_t& e2) {
  const vec3_t sound1 = e1, sound2 = e2;
  double n[3];
  const vec3_t b1 = rows_vector(a, l1, n);
  if (is_eigenvector(a, l1, b1)) {
    e1 = b1;
  } else if (vec3_dot(e1, b1) < 0.0) {
    e1 = -1.0 * e1;
  }
  vec3_t b2;
  if (std::fabs(l1 - l2) < 1e-13) {
    // A double root: the second vector is the first crossed with the longest
    // row of A - l1 I, which lies across their eigenspace.
    const int k = n[0] > n[1] && n[0] > n[2] ? 0 : (n[2] < n[1] ? 1 : 2);
    const vec3_t row{a[k][0] - (k == 0 ? l1 : 0.0), a[k][1] - (k == 1 ? l1 : 0.0), a[k][2] - (k == 2 ? l1 : 0.0)};
    b2 = vec3_normalise(vec3_cross(e1, row));
  } else {
    double unused[3];
    b2 = rows_vector(a, l2, unused);
  }
  if (is_eigenvector(a, l2, b2) && std::fabs(vec3_dot(b2, e1)) < 1e-9) {
    e2 = b2;
    return;
  }
  // A sound vector across the first one, whatever that became: with nearly
  // equal roots the built first vector may lie anywhere in the plane of the
  // two sound ones, so the one farther from it is taken.
  vec3_t across = sound2 - vec3_dot(e1, sound2) * e1;
  if (vec3_dot(across, across) < 0.25) across = sound1 - vec3_dot(e1, sound1) * e1;
  e2 = vec3_normalise(across);
  if (vec3_dot(e2, b2) < 0.0) e2 = -1.0 * e2;
}

}  // namespace

void eigen_symmetric_3x3(double eigenvalues[3], const vec3_t& diagonal,
                         const vec3_t& off_diagonal, vec3_t& e1, vec3_t& e2, vec3_t& e3) {
  // Scaled to a largest element of 1, so that nothing overflows or
  // underflows; the eigenvalues scale back.
  double scale =
      std::max({std::fabs(diagonal.x), std::fabs(diagonal.y), std::fabs(diagonal.z),
                std::fabs(off_diagonal.x), std::fabs(off_diagonal.y), std::fabs(off_diagonal.z)});
  if (scale == 0.0) scale = 1.0;
  const double a00 = diagonal.x / scale, a11 = diagonal.y / scale, a22 = diagonal.z / scale;
  const double a01 = off_diagonal.x / scale, a12 = off_diagonal.y / scale,
               a02 = off_diagonal.z / scale;

  // Trigonometric closed form on B = A - qI: p^2 = tr(B^2)/6, r = det(B)/(2p^3).
  const double q = (a00 + a11 + a22) / 3.0;
  const double b00 = a00 - q, b11 = a11 - q, b22 = a22 - q;
  const double off2 = a01 * a01 + a12 * a12 + a02 * a02;
  const double p = std::sqrt((b00 * b00 + b11 * b11 + b22 * b22 + 2.0 * off2) / 6.0);
  const double h = 2.0 * p;
  if (h == 0.0) {
    // A multiple of the identity: every vector is an eigenvector.
    eigenvalues[0] = eigenvalues[1] = eigenvalues[2] = q * scale;
    e1 = {1.0, 0.0, 0.0};
    e2 = {0.0, 1.0, 0.0};
    e3 = {0.0, 0.0, 1.0};
    return;
  }
  const double det_b = b00 * b11 * b22 + 2.0 * a01 * a12 * a02 - b00 * a12 * a12 -
                       b11 * a02 * a02 - b22 * a01 * a01;
  // r = 1 and r = -1 are the two kinds of double root; rounding can carry r past them.
  const double r = clamp_unit(det_b / (2.0 * p * p * p));
  const double phi = std::acos(r) / 3.0;
  // la >= lb >= lc.
  const double la = q + h * std::cos(phi);
  const double lb = q - h * std::cos(phi + 1.0471975511965976);
  const double lc = q - h * std::cos(phi - 1.0471975511965976);

  // Eigenvectors: first that of the eigenvalue farther from the middle one,
  // which is well separated even when the other two coincide; then the other
  // two from the 2 x 2 problem in the plane perpendicular to it, which stays
  // exact for a double root (tubes and sheets of ridge detection).
  const double a[3][3] = {{a00, a01, a02}, {a01, a11, a12}, {a02, a12, a22}};
  vec3_t va, vb, vc;
  const bool top_isolated = la - lb >= lb - lc;
  vec3_t& isolated = top_isolated ? va : vc;
  isolated = simple_eigenvector(a, top_isolated ? la : lc);
  const vec3_t u = any_perpendicular(isolated);
  const vec3_t v = vec3_cross(isolated, u);
  const vec3_t au = times(a, u), av = times(a, v);
  double mu[2];
  vec2_t c1, c2;
  eigen_symmetric_2x2(mu, {vec3_dot(u, au), vec3_dot(v, av)}, vec3_dot(u, av), c1, c2);
  // The pair in value order.
  const bool first_larger = mu[0] >= mu[1];
  const vec2_t& hi = first_larger ? c1 : c2;
  const vec2_t& lo = first_larger ? c2 : c1;
  const vec3_t pair_hi = vec3_normalise(hi.x * u + hi.y * v);
  const vec3_t pair_lo = vec3_normalise(lo.x * u + lo.y * v);
  if (top_isolated) {
    vb = pair_hi;
    vc = pair_lo;
  } else {
    va = pair_hi;
    vb = pair_lo;
  }

  // Decreasing magnitude; equal magnitudes keep the order b, c, a.
  struct root {
    double value;
    const vec3_t* vector;
  } roots[3] = {{lb, &vb}, {lc, &vc}, {la, &va}};
  // Insertion sort: stable, and allocates nothing.
  for (int i = 1; i < 3; ++i)
    for (int j = i; j > 0 && std::fabs(roots[j].value) > std::fabs(roots[j - 1].value); --j)
      std::swap(roots[j], roots[j - 1]);
  e1 = *roots[0].vector;
  e2 = *roots[1].vector;
  for (int i = 0; i < 3; ++i) eigenvalues[i] = roots[i].value * scale;
  keep_the_program_s_vectors(a, roots[0].value, roots[1].value, e1, e2);
  e3 = vec3_cross(e1, e2);
}
