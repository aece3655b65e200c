// nv_tool's surface subcommands on a data file written here: a sphere of
// radius 20 px drawn as object 2 on frames 1..7 of a stack of 9 frames
// 6 px (0.06 cm) apart, pixel size 0.01 cm.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "surface_test_support.h"

#ifdef NV_TOOL_PATH

namespace {

constexpr double PI = 3.141592653589793;

struct tool_result {
  int status;
  std::string out, err;
};

class surface_tool : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("nv_surface_tool_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string read(const std::string& name) const {
    std::ifstream f(path(name), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }

  tool_result run(const std::string& args) const {
    const std::string cmd = std::string(NV_TOOL_PATH) + " " + args + " >'" + path("out.txt") +
                            "' 2>'" + path("err.txt") + "'";
    const int rc = std::system(cmd.c_str());
    return {WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, read("out.txt"), read("err.txt")};
  }

  void write_sphere_file() const {
    surface_test::write_stack_file(path("s.hm"), 9, 0.06, surface_test::sphere_sections());
  }

  std::filesystem::path dir_;
};

}  // namespace

TEST_F(surface_tool, GridListsThePlanesWithTheirEndPlanes) {
  write_sphere_file();
  const tool_result r = run("surface-grid '" + path("s.hm") + "' 2");
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string line;
  std::vector<int> frames, layers;
  while (std::getline(lines, line)) {
    int k, frame, x0, y0, x1, y1, nx, ny, l;
    if (std::sscanf(line.c_str(), "plane %d frame %d box %d %d %d %d nodes %d %d layers %d", &k,
                    &frame, &x0, &y0, &x1, &y1, &nx, &ny, &l) == 9) {
      frames.push_back(frame);
      layers.push_back(l);
      EXPECT_EQ(x0 % 4, 0);
      EXPECT_EQ(x1 % 4, 0);  // even multiples of the step
    }
  }
  // Covered ends: empty planes on frames 0 and 8 (-1: no contours).
  EXPECT_EQ(frames, (std::vector<int>{-1, 1, 2, 3, 4, 5, 6, 7, -1}));
  // 6 px between frames at the default step 2: trunc(6/2 + 0.5) = 3 layers.
  EXPECT_EQ(layers, (std::vector<int>{1, 3, 3, 3, 3, 3, 3, 3, 3}));
  int layers_total = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "grid x0 %*d y0 %*d x1 %*d y1 %*d nx %*d ny %*d layers %d",
                        &layers_total), 1);
  EXPECT_EQ(layers_total, 2 + 8 * 3);
}

TEST_F(surface_tool, FieldRowsAndPeakOfOneFrame) {
  write_sphere_file();
  const tool_result r = run("surface-field '" + path("s.hm") + "' 2 4");
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream in(r.out);
  std::string word;
  int frame, x0, y0, w, h;
  in >> word >> word >> frame >> word >> x0 >> word >> y0 >> word >> w >> word >> h;
  ASSERT_EQ(frame, 4);
  std::vector<int> cells(size_t(w) * h);
  for (int& c : cells) in >> c;
  // The cell of pixel 49 has its centre 0.5 px from the centre of the circle of
  // radius 20: about 12 * 19.5 twelfths.
  const int centre = cells[size_t(49 - y0) * w + (49 - x0)];
  EXPECT_GE(centre, 12 * 19.5 - 12);
  EXPECT_LE(centre, 13 * 19.5 + 12);
  EXPECT_LT(cells[0], 0);
  int peaks = 0;
  in >> word >> peaks;
  ASSERT_EQ(word, "peaks");
  int inside = 0;
  for (int i = 0; i < peaks; ++i) {
    int x, y, v;
    in >> x >> y >> v;
    if (v > 0) {
      ++inside;
      EXPECT_NEAR(x, 49.5, 1.0);
      EXPECT_NEAR(y, 49.5, 1.0);
    }
  }
  EXPECT_EQ(inside, 1);
}

// The PLY is read back: a closed mesh once the cap rims' twin vertices are
// welded, and the volume printed is that of the stack of frusta through the
// seven sections (the end planes add the thin caps out to frames 0 and 8,
// under 1 %), within 3 %.
TEST_F(surface_tool, PlyOfTheRawMeshIsClosedWithTheSpheresVolume) {
  write_sphere_file();
  const tool_result r = run("surface-ply '" + path("s.hm") + "' 2 '" + path("s.ply") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  double volume = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "points %*d triangles %*d volume %lf", &volume), 1);
  double frusta = 0;
  for (int f = 1; f < 7; ++f) {
    const double a = std::sqrt(400 - std::pow(6.0 * (f - 4), 2)),
                 b = std::sqrt(400 - std::pow(6.0 * (f - 3), 2));
    frusta += PI * 6 / 3 * (a * a + a * b + b * b);
  }
  frusta *= 1e-6;  // px^3 to cm^3
  EXPECT_NEAR(volume, frusta, 0.03 * frusta);

  std::istringstream ply(read("s.ply"));
  std::string line;
  int n_vertices = -1, n_faces = -1;
  while (std::getline(ply, line) && line != "end_header") {
    std::sscanf(line.c_str(), "element vertex %d", &n_vertices);
    std::sscanf(line.c_str(), "element face %d", &n_faces);
  }
  ASSERT_GT(n_vertices, 100);
  ASSERT_GT(n_faces, 100);
  std::vector<std::string> key(n_vertices);
  for (int i = 0; i < n_vertices; ++i) {
    double x, y, z;
    int type;
    ply >> x >> y >> z >> type;
    EXPECT_TRUE(type == 1 || type == 2 || type == 3);
    EXPECT_LE(std::hypot(x - 5.0, y - 5.0), 2.2);  // mm: radius 20 px = 2 mm
    key[i] = std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(z);
  }
  std::map<std::pair<std::string, std::string>, int> directed;
  for (int i = 0; i < n_faces; ++i) {
    int n, v[3];
    ply >> n >> v[0] >> v[1] >> v[2];
    ASSERT_EQ(n, 3);
    for (int k = 0; k < 3; ++k) ++directed[{key[v[k]], key[v[(k + 1) % 3]]}];
  }
  for (const auto& e : directed) {
    EXPECT_EQ(e.second, 1);
    EXPECT_EQ(directed.count({e.first.second, e.first.first}), 1u);
  }
}

// The surface as the Draw page builds it (default resolution, smoothing 1,
// ends covered), saved as the Draw page saves it (binary PLY in
// millimetres): vertex and face counts as the header says, every face a triangle of valid indices, every vertex within
// the sphere's reach, and the two volumes printed. The surface volume is
// the frusta's within 3 % (the covered ends add thin caps: about +1 %). The
// planimetry's smooth curve through the section areas follows the sphere:
// within 1 % of the spherical segment between the first and last section,
// pi (R^2 h - (z1^3 - z0^3) / 3) = pi (400 * 36 - 2 * 18^3 / 3) px^3.
TEST_F(surface_tool, SurfacePlyAndVolumes) {
  write_sphere_file();
  const tool_result r = run("surface '" + path("s.hm") + "' 2 '" + path("b.ply") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  double volume = 0, planimetry = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "volume %lf\nplanimetry %lf", &volume, &planimetry), 2)
      << r.out;
  double frusta = 0;
  for (int f = 1; f < 7; ++f) {
    const double a = std::sqrt(400 - std::pow(6.0 * (f - 4), 2)),
                 b = std::sqrt(400 - std::pow(6.0 * (f - 3), 2));
    frusta += PI * 6 / 3 * (a * a + a * b + b * b);
  }
  frusta *= 1e-6;
  EXPECT_NEAR(volume, frusta, 0.03 * frusta);
  const double segment = PI * (400.0 * 36 - 2.0 * 18 * 18 * 18 / 3) * 1e-6;
  EXPECT_NEAR(planimetry, segment, 0.01 * segment);

  const std::string ply = read("b.ply");
  const size_t end = ply.find("end_header\n");
  ASSERT_NE(end, std::string::npos);
  int nv = 0, nf = 0;
  std::istringstream header(ply.substr(0, end));
  std::string line;
  while (std::getline(header, line)) {
    std::sscanf(line.c_str(), "element vertex %d", &nv);
    std::sscanf(line.c_str(), "element face %d", &nf);
  }
  EXPECT_NE(ply.find("format binary_little_endian 1.0\n"), std::string::npos);
  ASSERT_GT(nv, 100);
  const char* p = ply.data() + end + 11;
  // 27-byte vertex records: six floats, then the object's colour.
  ASSERT_EQ(ply.size() - (end + 11), size_t(nv) * 27 + size_t(nf) * 13);
  for (int i = 0; i < nv; ++i, p += 27) {
    float v[6];
    std::memcpy(v, p, sizeof v);
    EXPECT_LE(std::hypot(v[0] - 5.0f, v[1] - 5.0f), 2.2f);
    EXPECT_NEAR(std::sqrt(v[3] * v[3] + v[4] * v[4] + v[5] * v[5]), 1.0, 1e-5);
    EXPECT_EQ(std::memcmp(p + 24, ply.data() + end + 11 + 24, 3), 0);
  }
  for (int i = 0; i < nf; ++i, p += 13) {
    ASSERT_EQ(uint8_t(p[0]), 3);
    int32_t idx[3];
    std::memcpy(idx, p + 1, sizeof idx);
    for (int32_t k : idx) ASSERT_TRUE(k >= 0 && k < nv);
  }
}

TEST_F(surface_tool, RefusalsAndTheirExitStatus) {
  write_sphere_file();
  struct row {
    std::string args;
    int status;
    std::string message;
  };
  const std::vector<row> rows = {
      {"surface-ply '" + path("s.hm") + "' 3 '" + path("x.ply") + "'", 1, "fewer than two"},
      {"surface-grid '" + path("s.hm") + "' 201", 2, "usage"},
      {"surface-grid '" + path("s.hm") + "' two", 2, "usage"},
      {"surface-field '" + path("s.hm") + "' 2 0", 1, "no closed contours on frame 0"},
      {"surface-grid '" + path("missing.hm") + "' 2", 1, ""},
      {"surface '" + path("s.hm") + "' 0 '" + path("x.ply") + "'", 1, "cannot make a surface"},
      {"surface '" + path("s.hm") + "' 2", 2, "usage"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.args);
    const tool_result t = run(r.args);
    EXPECT_EQ(t.status, r.status) << t.err;
    EXPECT_NE(t.err.find(r.message), std::string::npos) << t.err;
  }
  EXPECT_FALSE(std::filesystem::exists(path("x.ply")));
}

// Contours the surface cannot be built from get one message naming the
// cause, and nothing is written: a coordinate that is not a number drops its
// line (exit 3), contours far beyond the grid or too large to raster are
// refused (exit 1) without the message for an object lacking contours, and
// so is a calibration that is not a number.
TEST_F(surface_tool, BadContoursGetOneMessageWithTheirCause) {
  using surface_test::circle;
  contour_t nan_disc = circle(50, 50, 10);
  nan_disc.vertices[5].x = std::nan("");
  contour_t far_disc = circle(40000, 50, 10);
  contour_t huge = circle(50, 50, 9000);
  struct row {
    const char* name;
    contour_t on_frame_5;
    int status;
    std::string message;
  };
  const row rows[] = {
      {"not a number", nan_disc, 3, "1 lines skipped, the first at line"},
      {"far away", far_disc, 1, "more than the interpolation grid can hold"},
      {"too large", huge, 1, "contours on frame 5 are too large to be rastered"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    auto contours = surface_test::sphere_sections();
    contours.emplace_back(5, r.on_frame_5);
    surface_test::write_stack_file(path("b.hm"), 9, 0.06, contours);
    const tool_result t = run("surface '" + path("b.hm") + "' 2 '" + path("b.ply") + "'");
    EXPECT_EQ(t.status, r.status) << t.err;
    EXPECT_NE(t.err.find(r.message), std::string::npos) << t.err;
    EXPECT_EQ(t.err.find("cannot make a surface"), std::string::npos) << t.err;
    EXPECT_EQ(t.out, "");
    EXPECT_FALSE(std::filesystem::exists(path("b.ply")));
  }
  // A calibration that is not a number places no plane anywhere.
  surface_test::write_stack_file(path("c.hm"), 9, 0.06, surface_test::sphere_sections(), 2,
                                 "RES_XTRANS nan\n");
  const tool_result t = run("surface '" + path("c.hm") + "' 2 '" + path("c.ply") + "'");
  EXPECT_EQ(t.status, 1) << t.err;
  EXPECT_NE(t.err.find("a frame position or the calibration is not a finite number"),
            std::string::npos)
      << t.err;
  EXPECT_EQ(t.err.find("interpolation grid can hold"), std::string::npos) << t.err;
  EXPECT_EQ(t.err.find("cannot make a surface"), std::string::npos) << t.err;
  EXPECT_FALSE(std::filesystem::exists(path("c.ply")));
}

#endif
