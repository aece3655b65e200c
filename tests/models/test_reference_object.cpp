// The reference object's surface files: PLY comments, faces and clean reads,
// VRML 2.0 and 1.0, files VTK wrote, and the ".mtx" and ".euler" transform
// files against values worked out by hand or by scipy.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../common/log_capture.h"
#include "fit_test_files.h"
#include "models/wrl_object.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

std::string ply_text(const std::vector<std::string>& comments, const std::string& vertices,
                     int vertex_count, const std::string& faces, int face_count,
                     const std::string& face_list = "vertex_indices") {
  std::string s = "ply\nformat ascii 1.0\n";
  for (const std::string& c : comments) s += "comment " + c + "\n";
  s += "element vertex " + std::to_string(vertex_count) +
       "\nproperty float x\nproperty float y\nproperty float z\n";
  s += "element face " + std::to_string(face_count) + "\nproperty list uchar int " + face_list + "\n";
  return s + "end_header\n" + vertices + faces;
}

// A tetrahedron with corners 10 apart (file units).
const std::string kTetraVertices = "0 0 0\n10 0 0\n0 10 0\n0 0 10\n";
const std::string kTetraFaces = "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";

std::string run_python(const std::string& args, const std::string& input) {
  fit_test_folder tmp;
  const std::string in = tmp.write("in.txt", input), out = tmp.path("out.txt");
  const std::string cmd = "/usr/bin/python3 " NV_TEST_SCRIPTS "/reference_oracles.py " + args + " < " + in +
                          " > " + out;
  if (std::system(cmd.c_str()) != 0) return std::string();
  std::ifstream f(out);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void expect_near(const vec3_t& a, const vec3_t& b, double tol) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

class ReferenceObject : public ::testing::Test {
 protected:
  log_capture log;
  fit_test_folder folder;
  wrl_object w;
};

TEST_F(ReferenceObject, PlyCommentsGiveLandmarksAndCurvesInCentimetres) {
  const std::string path = folder.write(
      "ref.ply",
      ply_text({"LANDMARK \"apex \"of\" cone\" 10 20 30 0 0 1",
                "LANDMARK \"short\" 1 2 3 4 5",                    // five numbers: ignored
                "SEMILANDMARK \"semi\" 1 2 3 0 0 1",               // never a landmark
                "CLOSED_LANDCURVE \"rim\" 3", "1 2 3 0 0 1", "4 5 6 0 1 0",  // announced 3, given 2
                "OPEN_LANDCURVE \"ridge line\" 2", "x # 10 0 0 1 0 0", "20 0 0 1 0 0",
                "trailing words"},
               kTetraVertices, 4, kTetraFaces, 4));
  ASSERT_EQ(w.parse_ply_file(path), 1);
  ASSERT_EQ(w.landmarks.size(), 1u);
  EXPECT_EQ(w.landmarks[0].name, "apex \"of\" cone");
  expect_near(w.landmarks[0].position, {1, 2, 3}, 1e-12);
  expect_near(w.landmarks[0].normal, {0, 0, 1}, 0);
  // The 3-point curve never completed; the next curve comment restarts.
  ASSERT_EQ(w.curves.size(), 1u);
  EXPECT_EQ(w.curves[0].name, "ridge line");
  EXPECT_EQ(w.curves[0].closed, 0);
  ASSERT_EQ(w.curves[0].points.size(), 2u);
  expect_near(w.curves[0].points[0], {1, 0, 0}, 1e-12);
  expect_near(w.curves[0].points[1], {2, 0, 0}, 1e-12);
  // Mesh points keep the file's units.
  ASSERT_EQ(w.points.size(), 4u);
  expect_near(w.points[3], {0, 0, 10}, 0);
  EXPECT_EQ(w.point_count, 4);
  EXPECT_EQ(w.normal_count, 0);
  EXPECT_EQ(w.triangle_count, 4);
}

TEST_F(ReferenceObject, PlyFacesAreCheckedAndBothListNamesRead) {
  struct row {
    const char* what;
    std::string faces;
    std::string list;
    int result;
    const char* message;
  };
  const row rows[] = {
      {"vertex_indices", kTetraFaces, "vertex_indices", 1, nullptr},
      {"vertex_index", kTetraFaces, "vertex_index", 1, nullptr},
      {"four corners", "3 0 2 1\n4 0 1 3 2\n3 0 3 2\n3 1 2 3\n", "vertex_indices", 0, "Could not parse ply file"},
      {"index equal to the count", "3 0 2 1\n3 0 1 4\n3 0 3 2\n3 1 2 3\n", "vertex_indices", 0,
       "Could not parse ply file"},
      {"neither list name", kTetraFaces, "corners", 0, "No triangles found in file"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    log.clear();
    const std::string path = folder.write("f.ply", ply_text({}, kTetraVertices, 4, r.faces, 4, r.list));
    EXPECT_EQ(w.parse_ply_file(path), r.result);
    if (r.result == 1) {
      EXPECT_EQ(w.triangles.size(), 4u);
      EXPECT_EQ(w.triangles[1], (std::array<int32_t, 3>{0, 1, 3}));
    } else {
      EXPECT_TRUE(log.has(wxLOG_Warning, r.message)) << r.message;
    }
    if (r.result == 0 && std::string(r.message) == "Could not parse ply file") {
      EXPECT_TRUE(w.points.empty() && w.triangles.empty() && w.landmarks.empty());
    }
  }
  EXPECT_EQ(w.parse_ply_file(folder.path("missing.ply")), 0);
  EXPECT_TRUE(log.has(wxLOG_Warning, "Could not open ply file"));
  EXPECT_EQ(w.parse_ply_file(folder.write("bad.ply", "ply\nformat ascii 9.0\nend_header\n")), 0);
  EXPECT_TRUE(log.has(wxLOG_Warning, "Could not parse ply header"));
}

TEST_F(ReferenceObject, EveryPlyReadStartsClean) {
  // The first file ends after two coordinates of its second vertex.
  const std::string cut = "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nproperty float y\n"
                          "property float z\nend_header\n1 2 3\n7 8";
  EXPECT_EQ(w.parse_ply_file(folder.write("cut.ply", cut)), 0);
  ASSERT_EQ(w.parse_ply_file(folder.write("good.ply", ply_text({}, kTetraVertices, 4, kTetraFaces, 4))), 1);
  expect_near(w.points[0], {0, 0, 0}, 0);
  expect_near(w.points[1], {10, 0, 0}, 0);
}

TEST_F(ReferenceObject, FilesWrittenByVtkReadWithTheirPointsAndTriangles) {
  headless_session session;
  const std::string cmd = "/usr/bin/python3 " NV_TEST_SCRIPTS "/reference_oracles.py vtk " + folder.dir;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream txt(folder.path("sphere.txt"));
  std::string word;
  size_t n = 0, m = 0;
  txt >> word >> n;
  std::vector<vec3_t> points(n);
  for (vec3_t& p : points) txt >> p.x >> p.y >> p.z;
  txt >> word >> m;
  std::vector<std::array<int32_t, 3>> triangles(m);
  for (auto& t : triangles) txt >> t[0] >> t[1] >> t[2];
  double vtk_volume = 0;
  txt >> word >> vtk_volume;
  ASSERT_TRUE(txt && n > 50 && m > 100 && vtk_volume > 0);

  for (const char* file : {"sphere.ply", "sphere.wrl"}) {
    SCOPED_TRACE(file);
    const std::string path = folder.path(file);
    ASSERT_EQ(std::string(file).find(".ply") != std::string::npos ? w.parse_ply_file(path)
                                                                    : w.parse_wrl_file(path),
              1);
    ASSERT_EQ(w.points.size(), n);
    for (size_t i = 0; i < n; ++i) expect_near(w.points[i], points[i], 1e-5);
    EXPECT_EQ(w.triangles, triangles);
    // VTK writes normals into the VRML file only.
    EXPECT_EQ(w.normals.size(), std::string(file) == "sphere.wrl" ? n : 0u);

    // Made into a surface: centimetres, normals computed where the file has
    // none, every normal outward, VTK's volume, and the reference object empty.
    surface_interp s;
    ASSERT_TRUE(w.make_surface(s));
    EXPECT_TRUE(w.points.empty() && w.normals.empty() && w.triangles.empty());
    const surface_mesh& mesh = *s.get_mesh();
    ASSERT_EQ(size_t(mesh.n_points), n);
    ASSERT_EQ(size_t(mesh.n_triangles), m);
    const vec3_t centre{0.3, -0.4, 0.5};
    for (int32_t i = 0; i < mesh.n_points; ++i) {
      const surface_point& p = mesh.points[i];
      expect_near({p.x, p.y, p.z}, points[size_t(i)] * 0.1, 1e-6);
      const vec3_t normal{p.nx, p.ny, p.nz};
      EXPECT_NEAR(vec3_length(normal), 1.0, 1e-9) << i;
      EXPECT_GT(vec3_dot(normal, vec3_t{p.x, p.y, p.z} - centre), 0.0) << i;
    }
    EXPECT_NEAR(s.volume, vtk_volume / 1000.0, 1e-6 * vtk_volume / 1000.0);
    EXPECT_TRUE(s.closed);
    EXPECT_FALSE(s.double_layer);
  }
}

TEST_F(ReferenceObject, VrmlOneFacesAreFannedAndBadIndicesRefused) {
  // Several values on a line, values on the keyword line, quads, a comment.
  const std::string good =
      "#VRML V1.0 ascii\nSeparator {\n  Coordinate3 { point [ 0 0 0, 10 0 0,\n 10 10 0, 0 10 0, # corners\n"
      "  5 5 10 ] }\n  IndexedFaceSet { coordIndex [ 0, 3, 2, 1, -1, 0, 1, 4, -1,\n 1, 2, 4, -1, 2, 3, 4, -1, 3, 0, 4, -1 ] }\n"
      "}\nSeparator {\n Coordinate3 { point [ 20 0 0, 30 0 0, 20 10 0 ] }\n"
      " TextureCoordinate2 { point [ 0 0, 1 0, 0 1 ] }\n"
      " IndexedFaceSet { coordIndex [ 0, 1, 2, -1 ] }\n}\n";
  ASSERT_EQ(w.parse_wrl_file(folder.write("pyramid.wrl", good)), 1);
  ASSERT_EQ(w.points.size(), 8u);
  expect_near(w.points[4], {5, 5, 10}, 0);
  const std::vector<std::array<int32_t, 3>> expected = {{0, 3, 2}, {0, 2, 1}, {0, 1, 4}, {1, 2, 4},
                                                        {2, 3, 4}, {3, 0, 4}, {5, 6, 7}};
  EXPECT_EQ(w.triangles, expected);
  EXPECT_EQ(w.triangle_count, 7);

  struct row {
    const char* what;
    std::string text;
    const char* message;
  };
  const row bad[] = {
      {"index past the points", "Coordinate3 { point [ 0 0 0, 1 0 0, 0 1 0 ] }\nIndexedFaceSet { coordIndex [ 0, 1, 3, -1 ] }\n",
       "the face index 3 lies outside the 3 points"},
      {"two corners", "Coordinate3 { point [ 0 0 0, 1 0 0, 0 1 0 ] }\nIndexedFaceSet { coordIndex [ 0, 1, -1 ] }\n",
       "fewer than three corners"},
      {"broken triple", "Coordinate3 { point [ 0 0 0, 1 0 ] }\n", "does not hold whole triples"},
      {"not a number", "Coordinate3 { point [ 0 0 zero ] }\n", "\"zero\" is not a number"},
      {"open node", "Coordinate3 { point [ 0 0 0 ]\n", "ends inside a node"},
  };
  for (const row& r : bad) {
    SCOPED_TRACE(r.what);
    log.clear();
    EXPECT_EQ(w.parse_wrl_file(folder.write("bad.wrl", r.text)), 0);
    EXPECT_TRUE(log.has(wxLOG_Warning, r.message)) << r.message;
    EXPECT_TRUE(w.points.empty() && w.triangles.empty());
  }
  // A file that does not open leaves the object as it was, silently.
  ASSERT_EQ(w.parse_wrl_file(folder.path("pyramid.wrl")), 1);
  log.clear();
  EXPECT_EQ(w.parse_wrl_file(folder.path("absent.wrl")), 0);
  EXPECT_EQ(w.points.size(), 8u);
  EXPECT_TRUE(log.records().empty());
}

TEST_F(ReferenceObject, MatrixFileStraightensAxesAndKeepsLengthsAndTranslation) {
  const std::string ply = folder.write("m.ply", ply_text({"LANDMARK \"tip\" 10 0 0 0 0 1"}, kTetraVertices, 4, kTetraFaces, 4));
  // Columns (2, 0, 0), (1, 3, 0) and (0, 1, 0.5): straightened they are
  // (2, 0, 0), (0, sqrt(10), 0) and (0, 0, sqrt(1.25)); translation (5, 6, 7).
  folder.write("m.mtx", "# a comment\n2 1 0 5\n0 3 1 6\n0 0 0.5 7\nnot a row\n9 9 9 9\n");
  ASSERT_EQ(w.parse_ply_file(ply), 1);
  expect_near(w.points[0], {5, 6, 7}, 1e-12);
  expect_near(w.points[1], {25, 6, 7}, 1e-12);
  expect_near(w.points[2], {5, 6 + 10 * std::sqrt(10.0), 7}, 1e-12);
  expect_near(w.points[3], {5, 6, 7 + 10 * std::sqrt(1.25)}, 1e-12);
  // Landmarks stay where the file put them.
  expect_near(w.landmarks[0].position, {1, 0, 0}, 1e-12);

  folder.write("m.mtx", "1 0 0 5\n0 1 0 6\n0 0 1 7\n");  // three rows: ignored
  ASSERT_EQ(w.parse_ply_file(ply), 1);
  expect_near(w.points[1], {10, 0, 0}, 0);

  folder.write("m.mtx", "0 1 0 5\n0 0 1 6\n0 0 0 7\n0 0 0 1\n");
  EXPECT_EQ(w.parse_ply_file(ply), 0);
  EXPECT_TRUE(log.has(wxLOG_Warning, "first column has length 0"));
}

TEST_F(ReferenceObject, EulerFileTurnsAboutTheCentreAsScipyDoes) {
  const std::string ply = folder.write("e.ply", ply_text({}, kTetraVertices, 4, kTetraFaces, 4));
  folder.write("e.euler", "(TransformParameters 0.3 -0.7 1.1 4 -5 6)\n(CenterOfRotationPoint 1 2 3)\n");
  ASSERT_EQ(w.parse_ply_file(ply), 1);
  std::string input = "0.3 -0.7 1.1 4 -5 6 1 2 3\n0 0 0\n10 0 0\n0 10 0\n0 0 10\n";
  std::istringstream expected(run_python("euler", input));
  for (const vec3_t& p : w.points) {
    vec3_t q;
    ASSERT_TRUE(expected >> q.x >> q.y >> q.z);
    expect_near(p, q, 1e-12);
  }
  // Five parameters: ignored.
  folder.write("e.euler", "(TransformParameters 0.3 -0.7 1.1 4 -5)\n(CenterOfRotationPoint 1 2 3)\n");
  ASSERT_EQ(w.parse_ply_file(ply), 1);
  expect_near(w.points[1], {10, 0, 0}, 0);
}

}  // namespace
