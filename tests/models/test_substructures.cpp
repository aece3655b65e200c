// Shape-model sub-structures: the interpolant against scipy's, the refusals,
// the sub-structure files' comments, and two sub-structures carried through
// a registration into objects with surfaces, contours, curves and landmarks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "../common/log_capture.h"
#include "../common/recording_files.h"
#include "data/curves.h"
#include "data/file_menu.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "fit_test_files.h"
#include "models/fit_model.h"
#include "models/rbf_interpolant.h"
#include "registry/res_values.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

void expect_near(const vec3_t& a, const vec3_t& b, double tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

TEST(RbfInterpolant, MatchesScipyAndReproducesNodesAndAffineMaps) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-5.0, 5.0);
  std::vector<vec3_t> centres(30), values(30), probes(12);
  for (vec3_t& c : centres) c = {u(rng), u(rng), u(rng)};
  for (size_t k = 0; k < centres.size(); ++k) {
    const vec3_t& c = centres[k];
    values[k] = {std::sin(c.x) + c.y, c.z * c.z * 0.1, std::cos(c.x * c.y) - c.z};
  }
  for (vec3_t& p : probes) p = {u(rng), u(rng), u(rng)};
  rbf_interpolant f;
  wxString why;
  ASSERT_TRUE(f.fit(centres, values, why)) << why;

  std::ostringstream in;
  in.precision(17);
  in << centres.size() << " " << probes.size() << "\n";
  for (size_t k = 0; k < centres.size(); ++k)
    in << centres[k].x << " " << centres[k].y << " " << centres[k].z << " " << values[k].x << " " << values[k].y
       << " " << values[k].z << "\n";
  for (const vec3_t& p : probes) in << p.x << " " << p.y << " " << p.z << "\n";
  fit_test_folder tmp;
  const std::string cmd = "/usr/bin/python3 " NV_TEST_SCRIPTS "/reference_oracles.py rbf < " +
                          tmp.write("in.txt", in.str()) + " > " + tmp.path("out.txt");
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream out(tmp.path("out.txt"));
  auto near_rel = [](double a, double b) { return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(b)); };
  for (const vec3_t& p : probes) {
    vec3_t q;
    ASSERT_TRUE(out >> q.x >> q.y >> q.z);
    const vec3_t v = f(p);
    EXPECT_TRUE(near_rel(v.x, q.x) && near_rel(v.y, q.y) && near_rel(v.z, q.z))
        << v.x << " " << v.y << " " << v.z << " vs " << q.x << " " << q.y << " " << q.z;
  }
  for (const vec3_t& w : f.weights()) {
    vec3_t q;
    ASSERT_TRUE(out >> q.x >> q.y >> q.z);
    EXPECT_TRUE(near_rel(w.x, q.x) && near_rel(w.y, q.y) && near_rel(w.z, q.z));
  }
  for (size_t k = 0; k < centres.size(); ++k) expect_near(f(centres[k]), values[k], 1e-9);

  // An affine map of the centres is reproduced everywhere.
  auto affine = [](const vec3_t& p) {
    return vec3_t{0.5 * p.x - 2.0 * p.y + 1.0, p.z + 3.0, 0.25 * p.x + p.y - p.z};
  };
  for (size_t k = 0; k < centres.size(); ++k) values[k] = affine(centres[k]);
  ASSERT_TRUE(f.fit(centres, values, why));
  for (const vec3_t& p : probes) expect_near(f(p), affine(p), 1e-9);
}

TEST(RbfInterpolant, TooFewOrCoplanarNodesAreRefused) {
  rbf_interpolant f;
  wxString why;
  const std::vector<vec3_t> three = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  EXPECT_FALSE(f.fit(three, three, why));
  EXPECT_EQ(why, "Insufficient RBF nodes\n");
  const std::vector<vec3_t> flat = {{0, 0, 2}, {1, 0, 2}, {0, 1, 2}, {1, 1, 2}, {3, 5, 2}};
  EXPECT_FALSE(f.fit(flat, flat, why));
  EXPECT_EQ(why, "The RBF nodes lie in one plane\n");
}

// An octahedron round centre c (millimetres) with corner distance r, in PLY
// with "vertex_indices" faces and the given comments.
std::string octahedron_ply(const vec3_t& c, double r, const std::vector<std::string>& comments) {
  std::ostringstream s;
  s.precision(17);
  s << "ply\nformat ascii 1.0\n";
  for (const std::string& k : comments) s << "comment " << k << "\n";
  s << "element vertex 6\nproperty double x\nproperty double y\nproperty double z\n"
       "element face 8\nproperty list uchar int vertex_indices\nend_header\n";
  const vec3_t d[6] = {{r, 0, 0}, {-r, 0, 0}, {0, r, 0}, {0, -r, 0}, {0, 0, r}, {0, 0, -r}};
  for (const vec3_t& v : d) s << c.x + v.x << " " << c.y + v.y << " " << c.z + v.z << "\n";
  s << "3 0 2 4\n3 2 1 4\n3 1 3 4\n3 3 0 4\n3 2 0 5\n3 1 2 5\n3 3 1 5\n3 0 3 5\n";
  return s.str();
}

class Substructures : public ::testing::Test {
 protected:
  headless_session session;
  log_capture log;
  fit_test_folder folder;
  fit_model& m = *resource_table->RES_FIT_MODEL->read();
  const vec3_t centre{2.0, 1.5, 3.45};  // mm

  // The model and its two sub-structures: the node source (the model's own
  // shape) and a smaller octahedron inside it with a curve and a landmark.
  // Both have the model's counts, so the later, the inner octahedron, is
  // the node source; node_comments go into its file.
  void load_model(const std::vector<std::string>& node_comments = {}) {
    folder.write("source.ply", octahedron_ply(centre, 1.5, {}));
    std::vector<std::string> inner = {"OPEN_LANDCURVE \"crest\" 2", "2.8 1.5 3.45 1 0 0", "2 2.3 3.45 0 1 0",
                                      "LANDMARK \"top\" 2 1.5 4.25 0 0 1", "SEMILANDMARK \"s\" 0 0 0 0 0 1"};
    inner.insert(inner.end(), node_comments.begin(), node_comments.end());
    folder.write("inner.ply", octahedron_ply(centre, 0.8, inner));
    const std::string model = folder.write(
        "model.ply", octahedron_ply(centre, 1.5,
                                    {"FIT_MODEL_LM \"east\" 0", "FIT_MODEL_LM \"top\" 4",
                                     "FIT_MODEL_MS \"outer\" source.ply", "FIT_MODEL_MS \"inner part\" inner.ply"}));
    ASSERT_EQ(m.parse_ply_and_ssm_files(wxString::FromUTF8(model)), 0);
  }
  void load_data() {
    if (resource_table->RES_BUF_FRAMES->read() != 0) return;
    write_recording_files(folder.path("scan"), 8, 60, 50);
    ASSERT_TRUE(open_native_file(wxString::FromUTF8(folder.path("scan.hm"))));
  }
};

TEST_F(Substructures, FilesReadWithNodesCurvesAndLandmarks) {
  load_model({"RBF_NODES \"101011\""});
  ASSERT_EQ(m.substructures.size(), 2u);
  const substructure_t& source = m.substructures[0];
  EXPECT_EQ(source.rbf_nodes, std::vector<bool>(6, true));
  expect_near(source.points[0], {0.35, 0.15, 0.345}, 1e-12);
  const substructure_t& inner = m.substructures[1];
  EXPECT_EQ(inner.name, "inner part");
  EXPECT_EQ(inner.rbf_nodes, (std::vector<bool>{true, false, true, false, true, true}));
  ASSERT_EQ(inner.curves.size(), 1u);
  EXPECT_EQ(inner.curves[0].name, "crest");
  EXPECT_EQ(inner.curves[0].closed, 0);
  expect_near(inner.curves[0].points[1], {0.2, 0.23, 0.345}, 1e-12);
  ASSERT_EQ(inner.landmarks.size(), 1u);
  EXPECT_EQ(inner.landmarks[0].name, "top");
  expect_near(inner.landmarks[0].point, {0.2, 0.15, 0.425}, 1e-12);

  // A flag string of the wrong length is ignored; a one-point curve too.
  folder.write("odd.ply", octahedron_ply(centre, 1.0, {"RBF_NODES \"10\"", "CLOSED_LANDCURVE \"dot\" 1", "1 2 3 0 0 1"}));
  substructure_t odd;
  odd.file_path = wxString::FromUTF8(folder.path("odd.ply"));
  ASSERT_EQ(m.parse_substructure_file(odd), 0);
  EXPECT_EQ(odd.rbf_nodes, std::vector<bool>(6, true));
  EXPECT_TRUE(odd.curves.empty());
  odd.file_path = wxString::FromUTF8(folder.path("none.ply"));
  EXPECT_EQ(m.parse_substructure_file(odd), -1);
  EXPECT_TRUE(log.has(wxLOG_Warning, "Could not open ply file"));
  EXPECT_TRUE(odd.points.empty() && odd.triangles.empty());
}

TEST_F(Substructures, InterpolationFillsObjectsThroughTheRegistration) {
  load_model();
  load_data();
  // A registration: turned 10 degrees about z and moved (model millimetres).
  const double a = 10.0 * M_PI / 180.0;
  matrix4_identity(m.registration);
  m.registration[0] = std::cos(a);
  m.registration[1] = std::sin(a);
  m.registration[4] = -std::sin(a);
  m.registration[5] = std::cos(a);
  m.registration[12] = 0.4;
  m.registration[13] = -0.2;
  // Both sub-structures have the model's counts: the later, the inner
  // octahedron, is the node source, so the interpolant maps it onto the
  // registered model: scaled by 1.5 / 0.8 about the centre, then registered.
  auto mapped = [&](const vec3_t& cm) {
    const vec3_t p = centre + vec3_scalar_mul(1.5 / 0.8, vec3_scalar_mul(10.0, cm) - centre);
    return vec3_t{(std::cos(a) * p.x - std::sin(a) * p.y + 0.4) / 10.0,
                  (std::sin(a) * p.x + std::cos(a) * p.y - 0.2) / 10.0, p.z / 10.0};
  };
  ASSERT_TRUE(m.interpolate_substructure(5));
  resource_table_t& t = *resource_table;
  for (int q = 0; q < 2; ++q) {
    SCOPED_TRACE(q);
    const substructure_t& sub = m.substructures[size_t(q)];
    const contour_object& o = t.RES_OBJECT->read()[5 + q];
    EXPECT_EQ(o.name, "interpolated " + sub.name);
    EXPECT_EQ(o.opacity, 0.5);
    surface_interp* s = t.RES_SURFACE[5 + q]->read();
    ASSERT_NE(s, nullptr);
    const surface_mesh& mesh = *s->get_mesh();
    ASSERT_EQ(mesh.n_points, 6);
    double zmin = 1e9, zmax = -1e9;
    for (int i = 0; i < 6; ++i) {
      const vec3_t p{mesh.points[i].x, mesh.points[i].y, mesh.points[i].z};
      expect_near(p, mapped(sub.points[size_t(i)]), 1e-9);
      zmin = std::min(zmin, p.z);
      zmax = std::max(zmax, p.z);
    }
    // Contours on exactly the frames (planes z = 0.01 k cm) the surface cuts.
    for (int k = 0; k < 8; ++k) {
      const double z = 0.1 * k;
      const frame_contours_t* entry = const_cast<contour_object&>(o).find_frame(k);
      const bool cut = z > zmin + 1e-6 && z < zmax - 1e-6;
      EXPECT_EQ(entry != nullptr && !entry->contours.empty(), cut) << "frame " << k;
    }
  }
  // The inner part's curve and landmark follow, normals turned with it.
  const curve_set& curves = *t.RES_CURVE->read();
  ASSERT_EQ(curves.size(), 1u);
  EXPECT_EQ(curves[0].object, 6);
  EXPECT_EQ(curves[0].name, "crest");
  const curve_point& cp = curves[0].points[1];
  expect_near({cp.x, cp.y, cp.z}, mapped({0.2, 0.23, 0.345}), 1e-9);
  expect_near({cp.nx, cp.ny, cp.nz}, {-std::sin(a), std::cos(a), 0.0}, 1e-9);
  size_t at = 0;
  ASSERT_TRUE(t.RES_LANDMARKS->read()->find_surface_landmark("top", 6, at));
  const landmark_t& lm = (*t.RES_LANDMARKS->read())[at];
  expect_near({lm.x, lm.y, lm.z}, mapped({0.2, 0.15, 0.425}), 1e-9);
}

TEST_F(Substructures, PreconditionsRefuseWithoutChange) {
  struct row {
    const char* what;
    bool model, data;
    std::vector<std::string> node_comments;
    const char* message;
  };
  const row rows[] = {
      // A new session has no data set; the rows after it load one.
      {"no data", true, false, {}, "First load a data set\n"},
      {"no model", false, true, {}, "First load a shape model\n"},
      {"two nodes", true, true, {"RBF_NODES \"110000\""}, "Insufficient RBF nodes\n"},
      {"three nodes", true, true, {"RBF_NODES \"111000\""}, "Insufficient RBF nodes\n"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    log.clear();
    m.clear();
    if (r.model) load_model(r.node_comments);
    if (r.data) load_data();
    EXPECT_FALSE(m.interpolate_substructure(5));
    EXPECT_TRUE(log.has(wxLOG_Warning, r.message));
    EXPECT_EQ(resource_table->RES_SURFACE[5]->read(), nullptr);
    EXPECT_TRUE(resource_table->RES_OBJECT->read()[5].empty());
  }
  // Sub-structures whose counts differ from the model's give no node source.
  log.clear();
  load_model();
  for (substructure_t& sub : m.substructures) sub.triangles.pop_back();
  EXPECT_FALSE(m.interpolate_substructure(5));
  EXPECT_TRUE(log.has(wxLOG_Warning, "No matching sub-structure surface found\n"));
}

}  // namespace
