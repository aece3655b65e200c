// The electrode array generated from a model's comments, and the fit of a
// model to placed landmarks against numpy's SVD (Umeyama) solution.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include "../common/log_capture.h"
#include "data/landmarks.h"
#include "fit_test_files.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

// The spiral the array follows, written out here from its definition.
vec3_t spiral(double phi) {
  const double rho = 3.457 * std::exp(-0.03824 * phi) + 3.746 * std::exp(-0.00131 * phi);
  const double a = phi * M_PI / 180.0;
  return {rho * std::cos(a), rho * std::sin(a), 0.00367 * (phi - 10.3)};
}

vec3_t ring_centre(const std::vector<vec3_t>& p, int ring) {
  vec3_t c;
  for (int j = 0; j < 12; ++j) c += p[12 * ring + j];
  return vec3_scalar_mul(1.0 / 12, c);
}

std::string implant_ply(const std::string& electrodes, double insertion) {
  char length[64];
  std::snprintf(length, sizeof length, "%g", insertion);
  return "ply\nformat ascii 1.0\ncomment cochlear implant\n"
         "comment implant electrode lengths separations " + electrodes + "\n"
         "comment implant electrode radius 0.2\ncomment implant lead radius 0.3\n"
         "comment implant first electrode insertion length " + length + "\n"
         "element vertex 0\nproperty float x\nproperty float y\nproperty float z\nend_header\n";
}

class FitImplant : public ::testing::Test {
 protected:
  headless_session session;
  log_capture log;
  fit_test_folder folder;
  fit_model m;
};

TEST_F(FitImplant, OneElectrodeGivesItsRingsTrianglesLandmarksAndSpacing) {
  ASSERT_EQ(m.parse_ply_and_ssm_files(folder.write("ci.ply", implant_ply("0.5 0.3 0 0.2 0.5", 10))), 0);
  ASSERT_TRUE(m.implant);
  ASSERT_EQ(m.electrode_count, 1) << "(0, 0.2) is skipped and the lone 0.5 ends the list";
  EXPECT_EQ(m.electrode_lengths[0], 0.5);
  EXPECT_EQ(m.electrode_separations[0], 0.3);
  ASSERT_EQ(m.model.point_count, 312);
  ASSERT_EQ(m.model.points.size(), 312u);
  ASSERT_EQ(m.model.triangle_count, 600);
  ASSERT_EQ(m.model.triangles.size(), 600u);
  ASSERT_EQ(m.fitting_landmarks.size(), 3u);
  const std::pair<const char*, int> lm[] = {{"centre of round window", 2}, {"electrode 1", 266}, {"tip of array", 302}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(m.fitting_landmarks[i].name, lm[i].first);
    EXPECT_EQ(m.fitting_landmarks[i].vertex, lm[i].second);
  }
  // Ring 0 sits on the spiral's start; consecutive ring centres are the
  // rule's chords apart; each ring has its radius.
  const vec3_t c0 = ring_centre(m.model.points, 0), s0 = spiral(0);
  EXPECT_NEAR(vec3_length(c0 - s0), 0.0, 1e-12);
  std::vector<double> chords(20, 0.5);
  for (double c : {0.01, 0.24, 0.24, 0.01, 0.15}) chords.push_back(c);
  for (int i = 0; i < 25; ++i) {
    const double d = vec3_length(ring_centre(m.model.points, i + 1) - ring_centre(m.model.points, i));
    EXPECT_NEAR(d, chords[i], 1e-6 * chords[i] + 1e-12) << "ring " << i;
    // The centre lies on the spiral: its z gives the angle.
    const vec3_t c = ring_centre(m.model.points, i);
    const vec3_t s = spiral(c.z / 0.00367 + 10.3);
    EXPECT_NEAR(vec3_length(c - s), 0.0, 1e-9) << "ring " << i;
    const double radius = (i >= 21 && i <= 23) ? 0.2 : 0.3;
    EXPECT_NEAR(vec3_length(m.model.points[12 * i + 5] - c), radius, 1e-9) << "ring " << i;
  }
  // The tube is closed around: every triangle has a unit normal, shared
  // edges run both ways.
  EXPECT_EQ(m.model.triangles[0], (std::array<int32_t, 3>{12, 23, 0}));
  EXPECT_EQ(m.model.triangles[1], (std::array<int32_t, 3>{11, 0, 23}));
}

TEST_F(FitImplant, ThreeElectrodesPutLandmarksOnEachElectrodeAndTheTip) {
  ASSERT_EQ(m.parse_ply_and_ssm_files(folder.write("ci.ply", implant_ply("0.5 0.3 0.6 0.4 0.5 0.3", 8))), 0);
  ASSERT_EQ(m.model.point_count, 12 * 38);
  const int rings[] = {0, 22, 28, 34, 37};
  ASSERT_EQ(m.fitting_landmarks.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(m.fitting_landmarks[i].vertex, 12 * rings[i] + 2);
  EXPECT_EQ(m.fitting_landmarks[3].name, "electrode 3");

  // Updating to another insertion length moves the loaded points too.
  const vec3_t before = m.model.loaded_points[12 * 30];
  m.build_implant(12.0, false, false);
  EXPECT_EQ(m.model.points.size(), 12u * 38);
  EXPECT_GT(vec3_length(m.model.loaded_points[12 * 30] - before), 0.1);
  EXPECT_EQ(vec3_length(m.model.loaded_points[12 * 30] - m.model.points[12 * 30]), 0.0);
  EXPECT_NEAR(vec3_length(ring_centre(m.model.points, 1) - ring_centre(m.model.points, 0)), 0.6, 1e-6);
}

TEST_F(FitImplant, TheSpiralFrameAlwaysEndsAndSetsItsOutputs) {
  struct frame_case {
    double phi, step;
  } cases[] = {{0, 0.5}, {200, 3.0}, {0, 9.0}, {0, 14.0}, {720, 8.0}, {4990, 1.0}};
  for (const frame_case& c : cases) {
    matrix4_t f;
    double delta = -1;
    fit_model::spiral_frame(c.phi, c.step, f, delta);
    ASSERT_GT(delta, 0.0) << c.phi << " " << c.step;
    const vec3_t p0 = spiral(c.phi), p1 = spiral(c.phi + delta);
    EXPECT_NEAR(vec3_length(p1 - p0), c.step, 1e-6 * c.step) << c.phi << " " << c.step;
    EXPECT_NEAR(f[12], p0.x, 1e-12);
    // z axis along the chord, x axis horizontal.
    EXPECT_NEAR(f[8], (p1.x - p0.x) / c.step, 1e-5);
    EXPECT_NEAR(f[2], 0.0, 1e-12);
  }
  matrix4_t f;
  double delta = -1;
  fit_model::spiral_frame(6000, 1.0, f, delta);
  EXPECT_EQ(delta, 0.0) << "beyond the spiral's end the array does not advance";
  fit_model::spiral_frame(10, 0.0, f, delta);
  EXPECT_EQ(delta, 0.0);
  EXPECT_EQ(f[0], 0.0);
}

TEST_F(FitImplant, RegularisingRestoresTheSpacingAndRadiiAndKeepsTheRoll) {
  ASSERT_EQ(m.parse_ply_and_ssm_files(folder.write("ci.ply", implant_ply("0.5 0.3 0.6 0.4", 10))), 0);
  const int n = 32;
  // Move each lead ring along the array by up to a fifth of its step and
  // widen it; twist a contact ring.
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-0.1, 0.1);
  for (int i = 1; i < 20; ++i) {
    const vec3_t axis = vec3_normalise(ring_centre(m.model.points, i + 1) - ring_centre(m.model.points, i));
    const vec3_t shift = vec3_scalar_mul(u(rng), axis);
    const vec3_t c = ring_centre(m.model.points, i);
    for (int j = 0; j < 12; ++j) {
      vec3_t& p = m.model.points[12 * i + j];
      p = vec3_scalar_mul(1.3, p - c);
      p += c;
      p += shift;
    }
  }
  const vec3_t c21 = ring_centre(m.model.points, 21);
  const vec3_t roll_before = vec3_normalise(m.model.points[12 * 21 + 3] - c21);
  double worst_before = 0;
  for (int i = 0; i < 19; ++i)
    worst_before = std::max(worst_before, std::fabs(vec3_length(ring_centre(m.model.points, i + 1) -
                                                                ring_centre(m.model.points, i)) - 0.5));
  ASSERT_GT(worst_before, 0.05);

  m.regularise_implant();
  std::vector<double> steps(20, 0.5);
  for (int e = 0; e < 2; ++e) {
    const double len = e == 0 ? 0.5 : 0.6, sep = e == 0 ? 0.3 : 0.4;
    for (double c : {0.01, (len - 0.02) / 2, (len - 0.02) / 2, 0.01, sep / 2, sep / 2}) steps.push_back(c);
  }
  for (int i = 0; i + 1 < n; ++i) {
    const double d = vec3_length(ring_centre(m.model.points, i + 1) - ring_centre(m.model.points, i));
    // Along the old centreline: a chord across one of its corners is a
    // little shorter than the step.
    EXPECT_NEAR(d, steps[i], 2e-3 * steps[i]) << "ring " << i;
    const double radius = (i >= 20 && (i - 20) % 6 >= 1 && (i - 20) % 6 <= 3) ? 0.2 : 0.3;
    const vec3_t c = ring_centre(m.model.points, i);
    for (int j : {0, 3, 7}) EXPECT_NEAR(vec3_length(m.model.points[12 * i + j] - c), radius, 1e-9);
  }
  const vec3_t roll_after = vec3_normalise(m.model.points[12 * 21 + 3] - ring_centre(m.model.points, 21));
  EXPECT_GT(vec3_dot(roll_before, roll_after), 0.999);
}

// ---------------------------------------------------------------------------

struct umeyama_t {
  double s, r[9], t[3], rms;
};

// numpy's proper [0] and mirrored [1] similarity from p to q.
std::vector<umeyama_t> umeyama(const std::vector<vec3_t>& p, const std::vector<vec3_t>& q) {
  fit_test_folder f;
  std::ostringstream pairs;
  pairs.precision(17);
  for (size_t i = 0; i < p.size(); ++i)
    pairs << p[i].x << " " << p[i].y << " " << p[i].z << " " << q[i].x << " " << q[i].y << " " << q[i].z << "\n";
  const std::string in = f.write("pairs.txt", pairs.str()), out = f.path("out.txt");
  const std::string cmd = "/usr/bin/python3 " NV_TEST_SCRIPTS "/fit_oracles.py umeyama < '" + in + "' > '" + out + "'";
  std::vector<umeyama_t> result;
  if (std::system(cmd.c_str()) != 0) return result;
  std::ifstream read(out);
  umeyama_t u;
  while (read >> u.s) {
    for (double& v : u.r) read >> v;
    for (double& v : u.t) read >> v;
    read >> u.rms;
    result.push_back(u);
  }
  return result;
}

class FitLandmarks : public FitImplant {
 protected:
  // A model of 8 corners of an irregular box, four of them named.
  void load_model(const std::vector<std::string>& names) {
    std::vector<std::string> comments;
    for (size_t i = 0; i < names.size(); ++i)
      comments.push_back("FIT_MODEL_LM \"" + names[i] + "\" " + std::to_string(model_vertex[i]));
    std::string ply = cube_ply(comments);
    ASSERT_EQ(m.parse_ply_and_ssm_files(folder.write("model.ply", ply)), 0);
    // Skew the loaded shape so that the landmarks are not symmetric.
    for (int i = 0; i < 8; ++i) {
      m.model.loaded_points[i].x += 0.7 * i;
      m.model.loaded_points[i].y -= 0.3 * i * i;
      m.model.points[i] = m.model.loaded_points[i];
    }
  }
  const int model_vertex[4] = {0, 3, 5, 6};
  landmarks& placed() { return *resource_table->RES_LANDMARKS->read(); }

  double rms() const {
    double sum = 0;
    int k = 0;
    for (const fit_landmark_t& f : m.fitting_landmarks) {
      if (!f.placed) continue;
      vec3_t p;
      matrix4_transform_point(p, m.registration, f.model_position);
      const vec3_t d = p - f.target;
      sum += vec3_dot(d, d);
      k += 3;
    }
    return std::sqrt(sum / k);
  }
  double determinant() const {
    const matrix4_t& r = m.registration;
    return r[0] * (r[5] * r[10] - r[9] * r[6]) - r[4] * (r[1] * r[10] - r[9] * r[2]) +
           r[8] * (r[1] * r[6] - r[5] * r[2]);
  }
};

TEST_F(FitLandmarks, AKnownSimilarityIsFoundAndFitsAlternateMirroredAndPlain) {
  load_model({"a", "b", "c", "d"});
  // Targets: scale 1.7, a rotation and a shift, plus a little noise so that
  // the residual is not zero.
  matrix4_t truth;
  matrix4_from_position(truth, 12.0, -4.0, 30.0, 35.0, -20.0, 10.0);
  std::vector<vec3_t> model_points, targets;
  const double noise[4][3] = {{0.05, -0.02, 0.01}, {-0.03, 0.04, 0.0}, {0.0, 0.02, -0.05}, {0.01, -0.01, 0.03}};
  for (int i = 0; i < 4; ++i) {
    const vec3_t p = m.model.loaded_points[model_vertex[i]];
    vec3_t q;
    matrix4_transform_point(q, truth, vec3_scalar_mul(1.7, p));
    q += vec3_t{noise[i][0], noise[i][1], noise[i][2]};
    model_points.push_back(p);
    targets.push_back(q);
    placed().add_landmark(vec3_scalar_mul(0.1, q), std::string(1, 'a' + i), LM_DATA);
  }
  // A namesake placed later is not used.
  placed().add_landmark({99, 99, 99}, "a", LM_DATA);
  const std::vector<umeyama_t> oracle = umeyama(model_points, targets);
  ASSERT_EQ(oracle.size(), 2u);

  m.fit_to_landmarks();
  EXPECT_EQ(m.placed_landmarks, 4);
  EXPECT_TRUE(m.mirrored) << "the first fit after loading is mirrored";
  EXPECT_LT(determinant(), 0.0);
  EXPECT_GE(rms(), oracle[1].rms * (1 - 1e-6));
  EXPECT_GT(rms(), 10 * oracle[0].rms) << "a mirror cannot fit a proper similarity";

  m.fit_to_landmarks();
  EXPECT_FALSE(m.mirrored);
  EXPECT_GT(determinant(), 0.0);
  EXPECT_NEAR(rms(), oracle[0].rms, 1e-6 * oracle[0].rms);
  const umeyama_t& u = oracle[0];
  EXPECT_NEAR(u.s, 1.7, 0.01);
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col)
      EXPECT_NEAR(m.registration[col * 4 + row], u.s * u.r[row * 3 + col], 1e-5 * u.s) << row << col;
    EXPECT_NEAR(m.registration[12 + row], u.t[row], 1e-5 * (1 + std::fabs(u.t[row])));
  }
  // Shown registered, in centimetres.
  surface_interp* s = resource_table->RES_SURFACE[200]->read();
  ASSERT_NE(s, nullptr);
  vec3_t p;
  matrix4_transform_point(p, m.registration, m.model.points[6]);
  EXPECT_NEAR(s->get_mesh()->points[6].x, p.x / 10, 1e-12);

  m.fit_to_landmarks();
  EXPECT_TRUE(m.mirrored) << "and so on alternately";
}

TEST_F(FitLandmarks, TwoLandmarksFixTheRollAndTooFewAreNamed) {
  load_model({"a", "b", "c", "d"});
  placed().add_landmark({0.0, 0.0, 0.0}, "a", LM_DATA);
  log.clear();
  m.fit_to_landmarks();
  EXPECT_TRUE(log.has(wxLOG_Warning, "First place a landmark on one of:\nb\nc\nd\n"));
  EXPECT_EQ(m.placed_landmarks, 1);
  EXPECT_FALSE(m.mirrored) << "nothing else changes";

  // Two landmarks 2.5 times their model distance apart: six parameters,
  // both met exactly.
  const vec3_t a = m.model.loaded_points[0], b = m.model.loaded_points[3];
  const vec3_t target_b = vec3_scalar_mul(2.5, b - a);
  placed().add_landmark(vec3_scalar_mul(0.1, target_b), "b", LM_DATA);
  m.fit_to_landmarks();  // mirrored
  m.fit_to_landmarks();  // plain
  EXPECT_EQ(m.placed_landmarks, 2);
  EXPECT_NEAR(rms(), 0.0, 1e-6);
  const double scale = std::cbrt(determinant());
  EXPECT_NEAR(scale, 2.5, 1e-5);
}

TEST_F(FitLandmarks, WithoutAModelNothingIsFitted) {
  m.fit_to_landmarks();
  EXPECT_TRUE(log.has(wxLOG_Warning, "First load a shape model\n"));
  EXPECT_EQ(resource_table->RES_SURFACE[200]->read(), nullptr);
}

TEST_F(FitLandmarks, AnImplantIsFittedRigidlyAndKeepsItsInsertionLength) {
  ASSERT_EQ(m.parse_ply_and_ssm_files(folder.write("ci.ply", implant_ply("0.5 0.3", 6))), 0);
  matrix4_t truth;
  matrix4_from_position(truth, 5.0, 6.0, 7.0, 40.0, 10.0, -30.0);
  for (const fit_landmark_t& f : m.fitting_landmarks) {
    vec3_t q;
    matrix4_transform_point(q, truth, m.model.points[f.vertex]);
    placed().add_landmark(vec3_scalar_mul(0.1, q), f.name, LM_DATA);
  }
  m.fit_to_landmarks();
  m.fit_to_landmarks();
  EXPECT_FALSE(m.mirrored);
  EXPECT_NEAR(rms(), 0.0, 1e-5);
  EXPECT_NEAR(determinant(), 1.0, 1e-9) << "no scale for an implant";
  EXPECT_EQ(m.first_electrode_insertion, 6.0);
}

}  // namespace
