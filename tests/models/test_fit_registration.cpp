// Registration of the shape model to data points: the similarity, modes and
// local fits against shapes whose answer is known by construction, the
// neighbourhoods against all pairs, and the residual rule.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>

#include "../common/log_capture.h"
#include "fit_test_files.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

namespace {

class Registration : public ::testing::Test {
 protected:
  headless_session session;
  log_capture log;
  fit_model& m = *resource_table->RES_FIT_MODEL->read();

  void set_model(const std::vector<vec3_t>& pts, const std::vector<std::array<int32_t, 3>>& faces) {
    m.model.points = m.model.loaded_points = pts;
    m.model.triangles = faces;
    m.model.point_count = static_cast<int32_t>(pts.size());
    m.model.triangle_count = static_cast<int32_t>(faces.size());
    m.model.landmark_vertices.assign(pts.size(), false);
    m.model.landmark_targets.assign(pts.size(), vec3_t{});
    m.model.match_index.assign(pts.size(), 0);
    m.model.match_distance2.assign(pts.size(), 1e10);
    m.model.match_range2 = -1;
    fit_model::compute_normals(m.model);
    m.model.loaded_normals = m.model.normals;
    fit_model::compute_bounds(m.model);
    matrix4_identity(m.registration);
    m.rebuild_model_surface();
  }
  // Data points without direction, and the search range at its widest.
  void set_data(const std::vector<vec3_t>& pts) {
    m.data.loaded_points = pts;
    m.data.normals.assign(pts.size(), vec3_t{});
    m.data.point_count = static_cast<int32_t>(pts.size());
    m.update_search_grid(true);
  }
  // Brute force: root mean square distance of the registered vertices to
  // their nearest data points.
  double residual() const {
    double sum = 0;
    for (const vec3_t& p : m.model.points) {
      vec3_t q;
      matrix4_transform_point(q, m.registration, p);
      double best = 1e300;
      for (const vec3_t& d : m.data.loaded_points) best = std::min(best, vec3_dot(q - d, q - d));
      sum += best;
    }
    return std::sqrt(sum / m.model.points.size());
  }
};

// A moved, turned and scaled copy of the model ellipsoid's vertices.
std::vector<vec3_t> moved_ellipsoid(bool mirror, int rings = 10, int segments = 20) {
  std::vector<vec3_t> dense;
  ellipsoid(20, 14, 10, rings, segments, dense, nullptr);
  matrix4_t t;
  matrix4_from_position(t, 1, -0.5, 0.8, 5, -3, 2);
  for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) t[i] *= 1.05;
  if (mirror) t[0] = -t[0], t[4] = -t[4], t[8] = -t[8];
  for (vec3_t& p : dense) {
    vec3_t q;
    matrix4_transform_point(q, t, p);
    p = q;
  }
  return dense;
}

TEST(RegistrationMatrix, DeterminantOfTheLinearPart) {
  matrix4_t a;
  matrix4_identity(a);
  a[0] = 2, a[5] = 3, a[10] = 4, a[12] = 99;
  EXPECT_DOUBLE_EQ(matrix4_determinant3(a), 24.0);
  matrix4_from_position(a, 1, 2, 3, 30, 20, 10);
  EXPECT_NEAR(matrix4_determinant3(a), 1.0, 1e-12);
  a[0] = -a[0], a[4] = -a[4], a[8] = -a[8];
  EXPECT_NEAR(matrix4_determinant3(a), -1.0, 1e-12);
  // A shear: 1 0 0 / 5 1 0 / 0 0 2 by rows.
  matrix4_identity(a);
  a[1] = 5, a[10] = 2;
  EXPECT_DOUBLE_EQ(matrix4_determinant3(a), 2.0);
}

TEST_F(Registration, SimilarityIterationsCloseOnAMovedScaledEllipsoid) {
  for (bool mirror : {false, true}) {
    std::vector<vec3_t> pts;
    std::vector<std::array<int32_t, 3>> faces;
    ellipsoid(20, 14, 10, 10, 20, pts, &faces);
    set_model(pts, faces);
    if (mirror) m.registration[0] = -1;
    set_data(moved_ellipsoid(mirror));
    m.page.registration_type = 0;
    m.page.flexibility = 0;
    m.page.iterations = 1;
    double before = residual();
    for (int i = 0; i < 10; ++i) {
      ASSERT_TRUE(m.run_registration());
      const double now = residual();
      EXPECT_LE(now, before + 1e-9) << "iteration " << i << (mirror ? " mirrored" : "");
      before = now;
    }
    EXPECT_LT(before, 0.2) << "1% of the radius" << (mirror ? " mirrored" : "");
    EXPECT_EQ(m.mirrored, mirror);
    EXPECT_EQ(matrix4_determinant3(m.registration) < 0, mirror);
    EXPECT_NEAR(std::cbrt(std::fabs(matrix4_determinant3(m.registration))), 1.05, 0.005);
  }
}

TEST_F(Registration, LocalTypeWithoutFlexibilityIsTheSimilarityFit) {
  std::vector<vec3_t> pts;
  std::vector<std::array<int32_t, 3>> faces;
  ellipsoid(20, 14, 10, 8, 16, pts, &faces);
  matrix4_t result[2];
  for (int type : {0, 1}) {
    set_model(pts, faces);
    set_data(moved_ellipsoid(false, 8, 16));
    m.page.registration_type = type;
    m.page.flexibility = 0;
    m.page.iterations = 3;
    ASSERT_TRUE(m.run_registration());
    result[type] = m.registration;
    EXPECT_EQ(m.model.points[5].x, pts[5].x) << "the shape is left alone";
  }
  for (int i = 0; i < 16; ++i) EXPECT_EQ(result[0][i], result[1][i]) << i;
}

TEST_F(Registration, ResidualsFollowTheRangeAndTheLandmarkWeight) {
  set_model({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, {{0, 1, 2}});
  m.data.loaded_points = {{0, 0, 3}, {10, 0, 4}, {0, 10, 5}};
  m.data.normals.assign(3, vec3_t{});
  m.data.point_count = 3;
  m.range_divisor = 10;
  m.page.search_range = 40;  // 4 mm: r^2 = 16
  m.model.match_index = {0, 1, 2};
  m.model.match_distance2 = {9, 16, 25};  // within, exactly at and beyond the range
  m.model.landmark_vertices = {false, false, false};
  m.flexibility = 0;
  m.mirrored = false;
  m.landmark_weight = 0;
  int32_t rows = 9, cols = 7, flag = 1;
  double x[7] = {0, 0, 0, 0, 0, 0, 1}, f[9];
  global_fit_residuals(&rows, &cols, x, f, &flag);
  const double expected[9] = {0, 0, -3, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 9; ++i) EXPECT_DOUBLE_EQ(f[i], expected[i]) << i;
  // A landmark vertex is pulled to its landmark instead, with the weight.
  m.model.landmark_vertices[0] = true;
  m.model.landmark_targets[0] = {1, 2, 0};
  m.landmark_weight = 2.5;
  global_fit_residuals(&rows, &cols, x, f, &flag);
  EXPECT_DOUBLE_EQ(f[0], -2.5);
  EXPECT_DOUBLE_EQ(f[1], -5.0);
  EXPECT_DOUBLE_EQ(f[2], 0.0);
  // The weight comes from the slider: sqrt(N) / 100 * W^2.
  m.page.landmark_weighting = 3;
  m.grid_cell = 0.5;
  m.registration_iteration();
  EXPECT_DOUBLE_EQ(m.landmark_weight, std::sqrt(3.0) / 100 * 9);
}

TEST_F(Registration, ModesFitRecoversTheWeightsOfANumpyModel) {
  fit_test_folder folder;
  ASSERT_EQ(std::system(("/usr/bin/python3 " NV_TEST_SCRIPTS "/registration_oracles.py modes '" + folder.dir + "'")
                            .c_str()),
            0);
  ASSERT_EQ(m.parse_ply_and_ssm_files(wxString::FromUTF8(folder.path("sphere.ply"))), 0);
  ASSERT_EQ(m.mode_count, 2);
  std::vector<vec3_t> target;
  std::ifstream in(folder.path("target.txt"));
  for (vec3_t p; in >> p.x >> p.y >> p.z;) target.push_back(p);
  ASSERT_EQ(target.size(), m.model.points.size());
  set_data(target);
  m.page.registration_type = 0;
  m.page.flexibility = 2;
  m.page.iterations = 5;
  ASSERT_TRUE(m.run_registration());
  // The weights: the shape's projection on the modes.
  double w[2] = {0, 0};
  for (size_t i = 0; i < 3 * m.model.points.size(); ++i) {
    const vec3_t& p = m.model.points[i / 3];
    const double v = i % 3 == 0 ? p.x : i % 3 == 1 ? p.y : p.z;
    for (int k = 0; k < 2; ++k) w[k] += (v - m.ssm_mean[i]) * m.ssm_basis[2 * i + k];
  }
  EXPECT_NEAR(w[0], 1.5, 1e-3);
  EXPECT_NEAR(w[1], -0.7, 1e-3);
  for (size_t v = 0; v < target.size(); ++v) EXPECT_NEAR(vec3_length(m.model.points[v] - target[v]), 0, 1e-3);
}

TEST_F(Registration, ModesFitWithoutModesIsRefused) {
  std::vector<vec3_t> pts;
  std::vector<std::array<int32_t, 3>> faces;
  ellipsoid(20, 14, 10, 8, 16, pts, &faces);
  set_model(pts, faces);
  const matrix4_t before = m.registration;
  // No data points yet.
  EXPECT_FALSE(m.run_registration());
  EXPECT_TRUE(log.has(wxLOG_Warning, "First map some points from one of the objects"));
  set_data(moved_ellipsoid(false));
  m.page.registration_type = 0;
  m.page.flexibility = 3;
  EXPECT_FALSE(m.run_registration());
  EXPECT_TRUE(log.has(wxLOG_Warning, "shape model modes"));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.registration[i], before[i]);
  EXPECT_EQ(m.model.points[3].x, pts[3].x);
}

TEST(Neighbourhoods, TheGridGivesTheAllPairsLists) {
  std::mt19937 rng(5);
  for (double spread : {1.0, 30.0, 400.0}) {
    std::uniform_real_distribution<double> u(-spread, spread);
    std::vector<vec3_t> pts(1500);
    for (vec3_t& p : pts) p = {u(rng), u(rng), u(rng) * 0.3};
    // Duplicates and a pair exactly one radius apart.
    pts[10] = pts[11];
    pts[20] = {0, 0, 0}, pts[21] = {2.5, 0, 0};
    for (double radius : {0.1, 2.5, 40.0}) EXPECT_EQ(points_within_radius(pts, radius), points_within_radius_all_pairs(pts, radius)) << spread << " " << radius;
  }
}

TEST_F(Registration, LocalIterationsLowerTheResidualOnABulgedShape) {
  std::vector<vec3_t> pts;
  std::vector<std::array<int32_t, 3>> faces;
  ellipsoid(20, 14, 10, 12, 24, pts, &faces);
  set_model(pts, faces);
  std::vector<vec3_t> data = pts;
  // A bump of 2 mm on the +x side.
  for (vec3_t& p : data) p.x += 2.0 * std::exp(-(p.y * p.y + p.z * p.z) / 40.0) * (p.x > 0);
  set_data(data);
  m.lad_radius_hint = 4.0;
  m.page.registration_type = 1;
  m.page.flexibility = 2;
  m.page.iterations = 3;
  const double before = residual();
  ASSERT_TRUE(m.run_registration());
  EXPECT_LT(residual(), 0.8 * before);
  EXPECT_FALSE(m.points_restored);
}

}  // namespace
