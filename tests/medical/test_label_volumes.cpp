// Label volumes filled from real surfaces: a sphere (object 1) and a box
// (object 3) drawn on a stack of 9 frames of 100 x 100 px, 0.01 cm pixels,
// 0.06 cm apart, the box overlapping the sphere. The voxels are compared with
// the solids' own inside tests; voxels next to a boundary (a neighbour,
// diagonals included, on the other side) may go either way, since the
// surfaces pass through the drawn outlines to a fraction of a pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "medical/dicom_utility.h"
#include "medical_support.h"
#include "surfaces/surface_build.h"
#include "surfaces/surface_test_support.h"
#include "tools/headless_session.h"

using namespace surface_test;

namespace {

constexpr int W = 100, H = 100, F = 9;
constexpr int SPHERE = 1, BOX = 3;

// The sphere of sphere_sections(): radius 20 px about pixel (50, 50) of frame
// 4, drawn on frames 1..7 as 96-gons of its sections.
bool in_sphere(double x, double y, int f) {
  if (f < 1 || f > 7) return false;
  const double z = 6.0 * (f - 4), r = std::sqrt(400 - z * z);
  // Inside the 96-gon: the circle shrinks towards the polygon's edges by at
  // most r (1 - cos(pi / 96)), well inside the band.
  return (x - 50) * (x - 50) + (y - 50) * (y - 50) < r * r;
}

// The box: x 60..85, y 40..62 px on frames 2..6.
bool in_box(double x, double y, int f) { return f >= 2 && f <= 6 && x > 60 && x < 85 && y > 40 && y < 62; }

// Label of the voxel whose centre is pixel (i + 0.5, j + 0.5) of frame f.
uint8_t expected_label(int i, int j, int f, int what) {
  const double x = i + 0.5, y = j + 0.5;
  if ((what == -1 || what == BOX) && in_box(x, y, f)) return BOX + 1;
  if ((what == -1 || what == SPHERE) && in_sphere(x, y, f)) return SPHERE + 1;
  return 0;
}

bool near_boundary(int i, int j, int f, int what) {
  const uint8_t v = expected_label(i, j, f, what);
  for (int df = -1; df <= 1; ++df)
    for (int dj = -1; dj <= 1; ++dj)
      for (int di = -1; di <= 1; ++di)
        if (expected_label(i + di, j + dj, f + df, what) != v) return true;
  return false;
}

class LabelVolumes : public ::testing::Test {
 protected:
  LabelVolumes() : scope_(ui_) {}

  void SetUp() override {
    const std::string hm = dir_.path("d.hm").ToStdString();
    write_stack_file(hm, F, 0.06, sphere_sections(), SPHERE);
    std::ofstream more(hm, std::ios::app);
    for (int f = 2; f <= 6; ++f) more << "CONT " << BOX << " " << f << " 1 60 40 85 40 85 62 60 62\n";
    more.close();
    ASSERT_TRUE(open_native_file(wxString::FromUTF8(hm)));
    ASSERT_NEAR(resource_table->RES_ZSCALE->read(), 0.06, 1e-6);  // positions are floats
    for (int o : {SPHERE, BOX}) {
      surface_interp* s = build_contour_surface_from_resources(o, nullptr);
      ASSERT_GT(s->mesh.n_triangles, 0);
      resource_table->RES_SURFACE[o]->write(s);
    }
    base_res_t::make_pending_writes_happen();
  }

  // Voxels off the expected labels away from the boundaries, and all of them.
  void count_mismatches(const std::string& voxels, int what, int& away, int& all) {
    ASSERT_EQ(voxels.size(), size_t(W) * H * F);
    away = all = 0;
    for (int f = 0; f < F; ++f)
      for (int j = 0; j < H; ++j)
        for (int i = 0; i < W; ++i) {
          if (uint8_t(voxels[(size_t(f) * H + j) * W + i]) == expected_label(i, j, f, what)) continue;
          ++all;
          if (!near_boundary(i, j, f, what)) ++away;
        }
  }

  console_data_io_ui ui_;
  data_ui_scope scope_;
  headless_session session_;
  scratch_dir dir_;
};

TEST_F(LabelVolumes, InsideVoxelsMatchTheSolidsAndEachObjectKeepsItsLabel) {
  struct {
    int what;
    const char* name;
    int format;
  } cases[] = {{-1, "all.nii", 0}, {SPHERE, "sphere.nrrd", 1}, {BOX, "box.nii", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(dir_.path(c.name)), c.format, c.what));
    const std::string file = read_bytes(dir_.path(c.name));
    const size_t data = c.format == 0 ? 352 : file.find("\r\n\r\n") + 4;
    int away = 0, all = 0;
    count_mismatches(file.substr(data), c.what, away, all);
    EXPECT_EQ(away, 0);
    // Within the band: a span takes in the pixels that hold its ends, so the
    // column beside each side edge of the box is labelled (about 36 voxels a
    // frame), and the end frames meet the surfaces' caps edge-on (partly
    // filled); the sphere alone holds about 5600 voxels.
    EXPECT_LT(all, 400) << "of " << W * H * F;
  }
}

TEST_F(LabelVolumes, NibabelReadsTheCompressedLabelsBack) {
  ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(dir_.path("all.nii.gz")), 0, -1));
  ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(dir_.path("all.nii")), 0, -1));
  const std::string cmd = "/usr/bin/python3 " NV_TEST_SCRIPTS "/read_nifti_nibabel.py '" +
                          dir_.path("all.nii.gz").ToStdString() + "' '" +
                          dir_.path("voxels.raw").ToStdString() + "'";
  FILE* p = ::popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char line[256] = {};
  const bool got = std::fgets(line, sizeof line, p) != nullptr;
  ASSERT_EQ(::pclose(p), 0);
  ASSERT_TRUE(got);
  EXPECT_EQ(std::string(line), "uint8 100x100x9 0.1000,0.1000,0.6000 label\n");
  const std::string voxels = read_bytes(dir_.path("voxels.raw"));
  EXPECT_EQ(voxels, read_bytes(dir_.path("all.nii")).substr(352));
  int away = 0, all = 0;
  count_mismatches(voxels, -1, away, all);
  EXPECT_EQ(away, 0);
  // Both labels are there, the box's over the sphere where they overlap.
  EXPECT_EQ(uint8_t(voxels[(size_t(4) * H + 50) * W + 65]), BOX + 1);
  EXPECT_EQ(uint8_t(voxels[(size_t(4) * H + 50) * W + 40]), SPHERE + 1);
}

}  // namespace
