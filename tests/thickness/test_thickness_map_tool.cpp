// nv_tool thickness-map end to end: the tube phantom, a tube surface written
// as a PLY file in world millimetres, the CSV it writes and its failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "data/data_io_ui.h"
#include "data/file_menu.h"
#include "mapping_test_support.h"
#include "medical/dicom_utility.h"
#include "thickness_data_support.h"

#ifdef NV_TOOL_PATH

using namespace mapping_test;

namespace {

const std::string kData = NV_TEST_SCRIPTS;

class ThicknessMapTool : public ::testing::Test {
 protected:
  void SetUp() override {
    nii = dir.path("tube.nii");
    ASSERT_TRUE(run_python(kData + "/make_tube_phantom.py", nii));
    dicom_utility::reset_reader_state();
    ASSERT_TRUE(open_image_data(nii));
    tube_mesh(s, geometry, {2, 5}, 36, resource_table->RES_XSCALE->read());
    std::ofstream(dir.path("cbm2.ini")) << "RES_THICKNESS_TYPE 4\nRES_THICKNESS_GAUSS 0.04\n";
  }
  // The surface as ASCII PLY, mm, with normals; face_shift moves the last
  // face's first index.
  void write_ply(const std::string& path, int face_shift = 0) {
    std::ofstream f(path);
    f << "ply\nformat ascii 1.0\nelement vertex " << s.mesh.n_points
      << "\nproperty float x\nproperty float y\nproperty float z\nproperty float nx\n"
         "property float ny\nproperty float nz\nelement face "
      << s.mesh.n_triangles << "\nproperty list uchar int vertex_indices\nend_header\n";
    f.precision(10);
    for (int32_t i = 0; i < s.mesh.n_points; ++i) {
      const surface_point& p = s.mesh.points[i];
      f << 10 * p.x << " " << 10 * p.y << " " << 10 * p.z << " " << p.nx << " " << p.ny << " "
        << p.nz << "\n";
    }
    for (int32_t j = 0; j < s.mesh.n_triangles; ++j) {
      const surface_triangle& t = s.mesh.triangles[j];
      f << "3 " << t.a + (j == s.mesh.n_triangles - 1 ? face_shift : 0) << " " << t.b << " " << t.c
        << "\n";
    }
  }
  int tool(const std::string& args) {
    const std::string cmd = std::string(NV_TOOL_PATH) + " thickness-map " + args + " >" +
                            dir.path("out.txt") + " 2>" + dir.path("err.txt");
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  thickness_scratch dir;
  console_data_io_ui ui;
  data_ui_scope scope{ui};
  headless_session session;
  std::string nii;
  surface_interp s;
  tube_geometry geometry;
};

TEST_F(ThicknessMapTool, MapsTheTubeAndWritesOneRowPerVertex) {
  write_ply(dir.path("tube.ply"));
  const std::string csv = dir.path("map.csv");
  ASSERT_EQ(tool(nii + " " + dir.path("cbm2.ini") + " " + dir.path("tube.ply") + " " + csv), 0)
      << read_text(dir.path("err.txt"));
  EXPECT_NE(read_text(dir.path("out.txt")).find("vertices 72\n"), std::string::npos);
  std::istringstream rows(read_text(csv));
  std::string line;
  std::getline(rows, line);
  EXPECT_EQ(line, "vertex,thickness_mm,error,density,offset_mm,blur_mm,inner_density,"
                  "outer_density,displayed,colour");
  int count = 0, checked = 0;
  while (std::getline(rows, line)) {
    std::vector<double> v;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) v.push_back(std::strtod(cell.c_str(), nullptr));
    ASSERT_EQ(v.size(), 10u) << line;
    ASSERT_EQ(v[0], count);
    const double wall = geometry.wall(2 * kPi * (count % 36) / 36);
    ++count;
    if (wall < 1.0) continue;
    ++checked;
    EXPECT_NEAR(v[1], wall, 0.1) << line;
    EXPECT_NEAR(v[3], 1500, 150) << line;
    // The default display: thickness on a 4 mm scale.
    EXPECT_EQ(v[9], std::floor(v[1] * 255 / 4)) << line;
  }
  EXPECT_EQ(count, 72);
  EXPECT_GT(checked, 36);
}

TEST_F(ThicknessMapTool, FailuresLeaveTheOutputAsItWas) {
  write_ply(dir.path("bad.ply"), 1000);
  const std::string csv = dir.path("keep.csv");
  std::ofstream(csv) << "old\n";
  const std::string ini = dir.path("cbm2.ini");
  struct row {
    std::string args, message;
    int status;
  };
  const row rows[] = {
      {nii + " " + ini + " " + dir.path("bad.ply") + " " + csv, "names a vertex the file does not have", 1},
      {nii + " " + ini + " " + dir.path("absent.ply") + " " + csv, "absent.ply", 1},
      {nii + " " + ini + " " + dir.path("bad.ply"), "usage", 2},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.args);
    EXPECT_EQ(tool(r.args), r.status);
    EXPECT_NE(read_text(dir.path("err.txt")).find(r.message), std::string::npos)
        << read_text(dir.path("err.txt"));
    EXPECT_EQ(read_text(csv), "old\n");
  }
}

}  // namespace

#endif
