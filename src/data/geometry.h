// Geometric conventions shared by every view and engine: probe positions and
// 4x4 transforms, projections, small vector helpers and the per-voxel kernels
// (neighbourhood, gradient, Hessian, symmetric eigen-solutions).
//
// Transforms are 16 doubles in OpenGL order (element (r, c) at 4c + r), map
// frame coordinates to world coordinates and apply to column vectors.
// Everything here works in double precision, allocates nothing and keeps no
// state, so it may be called per pixel or per vertex.
#pragma once

#include <cmath>
#include <cstdint>

struct position_t;

struct vec2_t {
  double x = 0.0;
  double y = 0.0;
};

struct vec3_t {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

struct matrix4_t {
  double m[16] = {};

  double& operator[](int i) { return m[i]; }
  double operator[](int i) const { return m[i]; }
};

constexpr double NV_PI = 3.141592653589793;
constexpr double NV_RAD_TO_DEG = 57.29577951308232;

inline double deg_to_rad(double deg) { return deg * NV_PI / 180.0; }
inline double rad_to_deg(double rad) { return rad * NV_RAD_TO_DEG; }

// ---- vector helpers ---------------------------------------------------------

inline double vec3_length(const vec3_t& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// A zero vector has no direction and is returned unchanged.
inline vec3_t vec3_normalise(const vec3_t& v) {
  double len = vec3_length(v);
  if (len == 0.0) return v;
  return {v.x / len, v.y / len, v.z / len};
}

inline vec3_t vec3_cross(const vec3_t& a, const vec3_t& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double vec3_dot(const vec3_t& a, const vec3_t& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline vec3_t& vec3_add(vec3_t& a, const vec3_t& b) {
  a.x += b.x;
  a.y += b.y;
  a.z += b.z;
  return a;
}

inline vec3_t vec3_scalar_mul(double f, const vec3_t& v) { return {f * v.x, f * v.y, f * v.z}; }
inline vec3_t vec3_mul_scalar(const vec3_t& v, double f) { return {v.x * f, v.y * f, v.z * f}; }

inline vec2_t vec2_scalar_mul(double f, const vec2_t& v) { return {f * v.x, f * v.y}; }
inline vec2_t vec2_mul_scalar(const vec2_t& v, double f) { return {v.x * f, v.y * f}; }
inline double vec2_dot(const vec2_t& a, const vec2_t& b) { return a.x * b.x + a.y * b.y; }
inline vec2_t vec2_add(const vec2_t& a, const vec2_t& b) { return {a.x + b.x, a.y + b.y}; }
inline vec2_t vec2_sub(const vec2_t& a, const vec2_t& b) { return {a.x - b.x, a.y - b.y}; }

// The same operations as operators, for readable arithmetic in callers.
inline vec3_t operator+(const vec3_t& a, const vec3_t& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline vec3_t operator-(const vec3_t& a, const vec3_t& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline vec3_t& operator+=(vec3_t& a, const vec3_t& b) { return vec3_add(a, b); }
inline vec3_t operator*(double f, const vec3_t& v) { return vec3_scalar_mul(f, v); }
inline vec3_t operator*(const vec3_t& v, double f) { return vec3_mul_scalar(v, f); }

inline vec2_t operator+(const vec2_t& a, const vec2_t& b) { return vec2_add(a, b); }
inline vec2_t operator-(const vec2_t& a, const vec2_t& b) { return vec2_sub(a, b); }
inline vec2_t operator*(double f, const vec2_t& v) { return vec2_scalar_mul(f, v); }
inline vec2_t operator*(const vec2_t& v, double f) { return vec2_mul_scalar(v, f); }

// ---- matrix construction and access ----------------------------------------
// Each writes its result into the caller's matrix and returns it.

matrix4_t& matrix4_identity(matrix4_t& m);
matrix4_t& matrix4_zero(matrix4_t& m);
matrix4_t& matrix4_copy(matrix4_t& dst, const matrix4_t& src);
matrix4_t& matrix4_translation(matrix4_t& m, double x, double y, double z);
matrix4_t& matrix4_inverse_translation(matrix4_t& m, double x, double y, double z);
matrix4_t& matrix4_ortho(matrix4_t& m, double left, double right, double bottom, double top,
                         double near_val, double far_val);
matrix4_t& matrix4_frustum(matrix4_t& m, double left, double right, double bottom, double top,
                           double near_val, double far_val);

// Rigid transform of a probe position; angles in degrees, R = Rz(az) Ry(el) Rx(roll).
matrix4_t& matrix4_from_position(matrix4_t& m, double x, double y, double z, double azimuth,
                                 double elevation, double roll);
matrix4_t& matrix4_from_position_t(matrix4_t& m, const position_t& p);
matrix4_t& matrix4_inverse_from_position(matrix4_t& m, double x, double y, double z,
                                         double azimuth, double elevation, double roll);
matrix4_t& matrix4_inverse_from_position_t(matrix4_t& m, const position_t& p);
void matrix4_to_position(const matrix4_t& m, double& x, double& y, double& z, double& azimuth,
                         double& elevation, double& roll);

// Right-handed rotation by angle (degrees) about the line through p and q.
matrix4_t& matrix4_rotation_about_axis(matrix4_t& m, const vec3_t& p, const vec3_t& q,
                                       double angle);
// m = m * T(v).
matrix4_t& matrix4_post_translate(matrix4_t& m, const vec3_t& v);
// b = inverse of the rigid transform a.
matrix4_t& matrix4_rigid_inverse(const matrix4_t& a, matrix4_t& b);
// b = inverse of a projection built by matrix4_ortho or matrix4_frustum.
matrix4_t& matrix4_inverse(const matrix4_t& a, matrix4_t& b);
// c = a * b; c must be a third matrix.
matrix4_t& matrix4_multiply(const matrix4_t& a, matrix4_t& c, const matrix4_t& b);

matrix4_t& matrix4_from_quaternion(matrix4_t& m, double w, double x, double y, double z);
void matrix4_to_quaternion(const matrix4_t& m, double& w, double& x, double& y, double& z);

matrix4_t& matrix4_set_x_axis(matrix4_t& m, const vec3_t& v);
matrix4_t& matrix4_set_y_axis(matrix4_t& m, const vec3_t& v);
matrix4_t& matrix4_set_z_axis(matrix4_t& m, const vec3_t& v);
matrix4_t& matrix4_set_translation(matrix4_t& m, const vec3_t& v);
vec3_t matrix4_get_x_axis(const matrix4_t& m);
vec3_t matrix4_get_y_axis(const matrix4_t& m);
vec3_t matrix4_get_z_axis(const matrix4_t& m);
vec3_t matrix4_get_translation(const matrix4_t& m);

// result = M (p, 1), divided by w' when w' is not 0.
vec3_t& matrix4_transform_point(vec3_t& result, const matrix4_t& m, const vec3_t& p);

// ---- numeric kernels --------------------------------------------------------

// (s, t, lambda) with p + lambda d = O + s U + t V, U and V the first two axes
// of m and O its translation. A line parallel to the plane gives non-finite values.
vec3_t line_plane_intersection(const vec3_t& p, const vec3_t& d, const matrix4_t& m);

// n[9i + 3j + k] = pk[(j - 1) w + (i - 1)]: the 3x3x3 neighbourhood of the
// pixel that p0, p1, p2 point at in three consecutive frames of row length w.
void fetch_neighbourhood_8bit(const uint8_t* p0, const uint8_t* p1, const uint8_t* p2, int w,
                              double n[27]);
void fetch_neighbourhood_16bit(const uint16_t* p0, const uint16_t* p1, const uint16_t* p2, int w,
                               double n[27]);

// Binomially smoothed face means on each side and the central-difference gradient.
void neighbourhood_gradient(const double n[27], vec3_t& lower, vec3_t& upper, vec3_t& gradient);
// Second derivatives; off_diagonal holds (xy, yz, xz).
void neighbourhood_hessian(const double n[27], const vec3_t& lower, const vec3_t& upper,
                           vec3_t& diagonal, vec3_t& off_diagonal);

// Eigenvalues by decreasing magnitude and unit eigenvectors; e2 is e1 turned
// by +90 degrees, or the other axis for a diagonal matrix.
void eigen_symmetric_2x2(double eigenvalues[2], const vec2_t& diagonal, double off_diagonal,
                         vec2_t& e1, vec2_t& e2);
// Eigenvalues by decreasing magnitude (equal magnitudes: middle, smallest,
// largest value) and a right-handed orthonormal frame of eigenvectors,
// e3 = e1 x e2. e1 and e2 are built from two rows of A - lambda I, which
// fixes their signs for callers that orient axes by them; where a repeated
// eigenvalue leaves those rows no eigenvector, another unit vector of the
// eigenspace is taken, turned to their side. off_diagonal holds (a01, a12, a02).
void eigen_symmetric_3x3(double eigenvalues[3], const vec3_t& diagonal,
                         const vec3_t& off_diagonal, vec3_t& e1, vec3_t& e2, vec3_t& e3);
