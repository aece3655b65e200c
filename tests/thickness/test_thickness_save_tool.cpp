// nv_tool thickness-save end to end: a native file over the tube phantom
// (frames in its NIfTI file, the tube's cross-sections as contours), the set
// it saves read back by numpy against the phantom's wall, the same set loaded
// onto the rebuilt surface, and an existing set left alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <wx/filefn.h>

#include "data/data_io_ui.h"
#include "data/file_menu.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "mapping_test_support.h"
#include "medical/dicom_utility.h"
#include "surfaces/surface_build.h"
#include "surfaces/surface_sources.h"
#include "thickness_data_support.h"

#ifdef NV_TOOL_PATH

using namespace mapping_test;

namespace {

const std::string kData = NV_TEST_SCRIPTS;
const std::string kScripts = NV_THICKNESS_SCRIPTS;

double field(const std::string& text, const std::string& name) {
  const size_t at = text.find(name + " ");
  return at == std::string::npos ? std::nan("") : std::atof(text.c_str() + at + name.size() + 1);
}

class ThicknessSaveTool : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(run_python(kData + "/make_tube_phantom.py", dir.path("tube.nii")));
    dicom_utility::reset_reader_state();
    ASSERT_TRUE(open_image_data(dir.path("tube.nii")));
    // The outer wall, radius 48 pixels about the axis, on frames 1 to 6.
    contour_object& tube = resource_table->RES_OBJECT->read()[0];
    for (int f = 1; f <= 6; ++f) {
      std::vector<vec2_t> ring;
      for (int k = 0; k < 96; ++k)
        ring.push_back({geometry.cx + geometry.radius_px * std::cos(2 * kPi * k / 96),
                        geometry.cy + geometry.radius_px * std::sin(2 * kPi * k / 96)});
      contour_t c;
      c.vertices = ring;
      c.closed = true;
      tube.add_contour(f, c);
    }
    base_res_t::make_pending_writes_happen();
    hm = dir.path("tube.hm");
    ASSERT_TRUE(save_native_file_as(hm, false));
    // Where the axis and the slices' +x lie in the world, mm.
    const matrix4_t C = surface_calibration_from_resources();
    matrix4_t P, F;
    matrix4_from_position_t(P, *frame_store->positions[3]);
    matrix4_multiply(P, F, C);
    const double xs = resource_table->RES_XSCALE->read();
    matrix4_transform_point(axis, F, vec3_t{geometry.cx * xs, geometry.cy * xs, 0.0});
    matrix4_transform_point(along_x, F, vec3_t{(geometry.cx + 1) * xs, geometry.cy * xs, 0.0});
    // The wall between frames 2 and 5: the caps and the end rings, where the
    // lines leave the stack, are not the tube's wall.
    for (int f : {2, 5}) {
      matrix4_from_position_t(P, *frame_store->positions[size_t(f)]);
      matrix4_multiply(P, F, C);
      vec3_t p;
      matrix4_transform_point(p, F, vec3_t{geometry.cx * xs, geometry.cy * xs, 0.0});
      (f == 2 ? z_first : z_last) = 10 * p.z;
    }
    std::ofstream(dir.path("cbm2.ini")) << "RES_THICKNESS_TYPE 4\nRES_THICKNESS_GAUSS 0.04\n";
    wxMkdir(dir.path("results"));
  }
  int tool(const std::string& args) {
    const std::string cmd = std::string(NV_TOOL_PATH) + " thickness-save " + args + " >" +
                            dir.path("out.txt") + " 2>" + dir.path("err.txt");
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  thickness_scratch dir;
  console_data_io_ui ui;
  data_ui_scope scope{ui};
  std::unique_ptr<headless_session> session = std::make_unique<headless_session>();
  tube_geometry geometry;
  std::string hm;
  vec3_t axis, along_x;
  double z_first = 0.0, z_last = 0.0;
};

TEST_F(ThicknessSaveTool, SavedSetMatchesThePhantomAndLoadsOntoTheRebuiltSurface) {
  const std::string stub = dir.path("results/tube");
  ASSERT_EQ(tool(hm + " " + dir.path("cbm2.ini") + " 0 " + stub + "_blur_dat.bin"), 0)
      << read_text(dir.path("err.txt"));
  for (const char* name : {"_thick_dat.bin", "_smthick_dat.bin", "_thick_err.bin",
                           "_surface_dat.bin", ".ply", "_outer.ply", "_inner.ply"})
    EXPECT_TRUE(wxFileExists(stub + name)) << name;

  char args[256];
  std::snprintf(args, sizeof args, " %.9g %.9g %.9g %.9g %g %g %.9g %.9g", 10 * axis.x,
                10 * axis.y, along_x.x - axis.x, along_x.y - axis.y, geometry.wall_min,
                geometry.wall_max, std::min(z_first, z_last) - 0.1, std::max(z_first, z_last) + 0.1);
  const std::string report = dir.path("numpy.txt");
  ASSERT_TRUE(std::system(("/usr/bin/python3 " + kScripts + "/check_thickness_set.py " + stub +
                           args + " >" + report)
                              .c_str()) == 0);
  const std::string numbers = read_text(report);
  const double measured = field(numbers, "mean_measured"), phantom = field(numbers, "mean_phantom");
  EXPECT_GT(field(numbers, "wall_measured"), 0.95 * field(numbers, "wall")) << numbers;
  EXPECT_GT(field(numbers, "wall"), 400) << numbers;
  EXPECT_NEAR(measured, phantom, 0.1) << numbers;
  EXPECT_NEAR(field(read_text(dir.path("out.txt")), "stored"), field(numbers, "count"), 0.0);

  // The rebuilt surface takes the same values back.
  session.reset();
  session = std::make_unique<headless_session>();
  dicom_utility::reset_reader_state();
  ASSERT_TRUE(open_native_file(hm));
  std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(0, nullptr));
  ASSERT_GT(s->mesh.n_triangles, 0);
  ASSERT_TRUE(s->load_thickness(wxFileName(stub + "_thick_dat.bin")));
  const std::string raw = read_text(stub + "_thick_dat.bin");
  std::vector<double> file((raw.size() - 256) / 8);
  std::memcpy(file.data(), raw.data() + 256, file.size() * 8);
  size_t k = 0;
  for (int32_t i = 0; i < s->mesh.n_points; ++i)
    if (s->mesh.points[i].type != 2) {
      ASSERT_LT(k, file.size());
      EXPECT_EQ(s->cortical_thickness[size_t(i)], std::isfinite(file[k]) ? file[k] : 0.0) << i;
      ++k;
    }
  EXPECT_EQ(k, file.size());

  // An existing set is kept: the tool's questions are answered No.
  const std::string before = read_text(stub + "_thick_err.bin");
  EXPECT_EQ(tool(hm + " " + dir.path("cbm2.ini") + " 0 " + stub), 1);
  EXPECT_NE(read_text(dir.path("err.txt")).find("Overwrite files"), std::string::npos);
  EXPECT_EQ(read_text(stub + "_thick_err.bin"), before);
}

TEST_F(ThicknessSaveTool, RefusesAnObjectWithoutContours) {
  EXPECT_EQ(tool(hm + " " + dir.path("cbm2.ini") + " 5 " + dir.path("results/none")), 1);
  EXPECT_NE(read_text(dir.path("err.txt")).find("Object 5 cannot make a surface"),
            std::string::npos);
  EXPECT_EQ(tool(hm + " " + dir.path("cbm2.ini") + " 999 x"), 2);
}

}  // namespace

#endif
