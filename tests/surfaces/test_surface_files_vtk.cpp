// VTK (python3-vtk9) as the independent other side of the surface files:
// it reads the PLY and VRML files written here, and writes the PLY files the
// reader here must read exactly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/file_save.h"
#include "data/ply_file.h"
#include "surface_test_support.h"
#include "tools/headless_session.h"

using namespace surface_test;

namespace {

const std::string kScript = NV_SURFACES_TEST_DIR "/vtk_surfaces.py";

struct scratch {
  std::filesystem::path dir;
  scratch() {
    static int serial = 0;
    dir = std::filesystem::temp_directory_path() /
          ("nv_vtk_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(dir);
  }
  ~scratch() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string path(const std::string& name) const { return (dir / name).string(); }
};

std::string run(const std::string& args) {
  const std::string cmd = "/usr/bin/python3 '" + kScript + "' " + args;
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    if (::pclose(p) != 0) out += "\nscript failed";
  }
  return out;
}

struct vtk_view {
  long points = -1, cells = -1;
  double volume = 0;
  std::vector<vec3_t> coords;
};

vtk_view vtk_read(const std::string& file) {
  vtk_view v;
  std::istringstream in(run("read '" + file + "'"));
  std::string word;
  while (in >> word) {
    if (word == "points") in >> v.points;
    if (word == "cells") in >> v.cells;
    if (word == "volume") in >> v.volume;
    if (word == "p") {
      vec3_t p;
      in >> p.x >> p.y >> p.z;
      v.coords.push_back(p);
    }
  }
  return v;
}

// The sphere of radius 40 px (0.4 cm) interpolated from 11 sections 6 px
// apart, with its cap vertices and triangles of type 2.
void interpolated_sphere(surface_interp& s, solid_cut& cut) {
  for (int f = 0; f < 11; ++f) {
    const double z = 6.0 * (f - 5);
    cut.add(frame({1, 0, 0}, {0, 1, 0}, {0, 0, z * 0.01}), f)
        .contours.push_back(circle(100, 100, std::sqrt(40 * 40 - z * z)));
  }
  interp_settings set;
  set.z_scale = 0.06;
  set.expert_mode = true;
  ASSERT_TRUE(s.interpolate(cut.planes, set));
}

bool save_to(surface_interp& s, const std::string& path, bool as_ply, bool skip_type2) {
  save_batch batch;
  const int k = batch.add(path);
  if (k < 0) return false;
  save_output_stream out(batch, k);
  return s.save_surface(out, true, as_ply, skip_type2, 0) && batch.commit();
}

}  // namespace

// Counts (all, then without type 2), positions ten times the internal ones
// to float precision (PLY) or to the five decimals written (VRML), and the
// enclosed volume in mm^3 a thousand times the surface's cm^3.
TEST(SurfaceFilesVtk, VtkReadsOurPlyAndVrml) {
  headless_session session;
  solid_cut cut;
  surface_interp s(4);
  interpolated_sphere(s, cut);
  const surface_mesh& m = s.mesh;
  int kept_points = 0, kept_triangles = 0;
  for (int32_t i = 0; i < m.n_points; ++i) kept_points += m.points[i].type != 2;
  for (int32_t i = 0; i < m.n_triangles; ++i) kept_triangles += m.triangles[i].type != 2;
  ASSERT_LT(kept_points, m.n_points);  // the fixture has cap vertices to leave out
  ASSERT_LT(kept_triangles, m.n_triangles);

  scratch dir;
  struct row {
    const char* name;
    bool as_ply, skip_type2;
    double tolerance;
  };
  for (const row& r : {row{"all.ply", true, false, 2e-6}, row{"kept.ply", true, true, 2e-6},
                       row{"all.wrl", false, false, 6e-6}}) {
    SCOPED_TRACE(r.name);
    ASSERT_TRUE(save_to(s, dir.path(r.name), r.as_ply, r.skip_type2));
    const vtk_view v = vtk_read(dir.path(r.name));
    ASSERT_EQ(v.points, r.skip_type2 ? kept_points : m.n_points);
    ASSERT_EQ(v.cells, r.skip_type2 ? kept_triangles : m.n_triangles);
    ASSERT_EQ(v.coords.size(), size_t(v.points));
    for (int32_t i = 0, k = 0; i < m.n_points; ++i) {
      if (r.skip_type2 && m.points[i].type == 2) continue;
      const vec3_t& p = v.coords[size_t(k++)];
      EXPECT_NEAR(p.x, 10 * m.points[i].x, r.tolerance * 10);
      EXPECT_NEAR(p.y, 10 * m.points[i].y, r.tolerance * 10);
      EXPECT_NEAR(p.z, 10 * m.points[i].z, r.tolerance * 10);
    }
    if (!r.skip_type2) {
      EXPECT_NEAR(v.volume, 1000 * s.volume, 1e-3 * 1000 * s.volume);
    }
  }
}

// VTK's PLY files in its three formats: the header's comments and obj_info
// and every point and face as VTK lists them.
TEST(SurfaceFilesVtk, ReaderReadsVtkPly) {
  scratch dir;
  ASSERT_EQ(run("write '" + dir.dir.string() + "'"), "");
  std::ifstream expect(dir.path("vtk.expect"));
  std::vector<std::string> comments, obj_info;
  std::vector<std::vector<double>> points, faces;
  std::string line;
  while (std::getline(expect, line)) {
    if (line.rfind("comment ", 0) == 0) comments.push_back(line.substr(8));
    if (line.rfind("obj_info ", 0) == 0) obj_info.push_back(line.substr(9));
    std::istringstream in(line.substr(std::min<size_t>(2, line.size())));
    std::vector<double> values;
    double x;
    while (in >> x) values.push_back(x);
    if (line.rfind("p ", 0) == 0) points.push_back(values);
    if (line.rfind("f ", 0) == 0) faces.push_back(values);
  }
  ASSERT_GT(points.size(), 100u);
  ASSERT_GT(faces.size(), 100u);
  for (const char* name : {"vtk_ascii.ply", "vtk_le.ply", "vtk_be.ply"}) {
    SCOPED_TRACE(name);
    ply_reader r;
    ASSERT_TRUE(r.open_file(dir.path(name))) << r.error();
    EXPECT_EQ(r.comments(), comments);
    EXPECT_EQ(r.obj_info(), obj_info);
    std::vector<std::vector<double>> got_points(points.size()), got_faces(faces.size());
    for (const char* axis : {"x", "y", "z"})
      ASSERT_EQ(r.set_callback("vertex", axis,
                               [&](const ply_value& v) {
                                 got_points.at(size_t(v.instance)).push_back(v.value);
                                 return true;
                               }),
                int64_t(points.size()));
    ASSERT_EQ(r.set_callback("face", "vertex_indices",
                             [&](const ply_value& v) {
                               if (v.value_index >= 0)
                                 got_faces.at(size_t(v.instance)).push_back(v.value);
                               return true;
                             }),
              int64_t(faces.size()));
    ASSERT_TRUE(r.read()) << r.error();
    EXPECT_EQ(got_points, points);
    EXPECT_EQ(got_faces, faces);
  }
}
