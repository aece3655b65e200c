// Per-vertex display data against a numpy reference (display_reference.py),
// the colour scale's ends, missing data, and the reject mask on a plate.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <wx/filefn.h>
#include <wx/filename.h>

#include "display_reference_support.h"
#include "surface_file_support.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

using namespace surface_files_test;
using namespace display_reference_test;

namespace {

constexpr double kNoValue = 1e10;

class display_data : public ::testing::Test {
 protected:
  void SetUp() override {
    wxString base = wxFileName::CreateTempFileName("nvdisp");
    wxRemoveFile(base);
    wxMkdir(base);
    dir = base.ToStdString();
    t.RES_THICKNESS_OUTLIER_REJECT->write(90);
    t.RES_THICKNESS_DISTANCE_REJECT->write(40);
    t.RES_THICKNESS_SCALE_MM->write(40);
    t.RES_THICKNESS_SCALE_HU->write(20);
    t.RES_THICKNESS_SCALE_HUMM->write(8);
    t.RES_THICKNESS_ZERO_HU->write(0);
    t.RES_DICOM_UNITS->write("HU");
    base_res_t::make_pending_writes_happen();
  }
  void TearDown() override { wxFileName::Rmdir(dir, wxPATH_RMDIR_RECURSIVE); }

  void settings(long smooth, long fill) {
    t.RES_THICKNESS_SMOOTH->write(smooth);
    t.RES_THICKNESS_SMOOTH_FILL->write(fill);
    base_res_t::make_pending_writes_happen();
  }

  // A sphere of radius 1 cm with thickness results: values varying over
  // the sphere, a cap and a band punched out (error 1e10), and a few values
  // of exactly 0 (missing for thickness).
  void results(surface_interp& s) {
    set_sphere(s, 1.0, 14, 28);
    const size_t n = size_t(s.mesh.n_points);
    s.cortical_thickness.assign(n, 0.0);
    s.smoothed_thickness.assign(n, 0.0);
    s.fit_error.assign(n, 0.0);
    s.density.assign(n, 0.0);
    s.surface_offset.assign(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
      const surface_point& p = s.mesh.points[i];
      const double phi = std::atan2(p.y, p.x);
      s.cortical_thickness[i] = 2.0 + 1.5 * std::sin(3 * phi) * p.z + 0.3 * std::cos(7.0 * i);
      s.fit_error[i] = 0.02 + 0.01 * double(i % 7);
      s.density[i] = 900.0 + 400.0 * std::sin(2 * phi + p.z);
      s.surface_offset[i] = 0.5 * std::cos(phi) - 0.2 * p.z;
      const bool cap = p.z > 0.8, band = std::fabs(p.z) < 0.12 && std::cos(phi) > 0.5;
      if (cap || band) s.fit_error[i] = kNoValue;
      if (i % 37 == 5) s.cortical_thickness[i] = 0.0;
    }
  }

  std::string reference(const surface_interp& s, int kind, long smooth, long fill) {
    return display_reference(s, kind, smooth, fill, dir);
  }

  headless_session session;
  resource_table_t& t = *resource_table;
  std::string dir;
};

TEST_F(display_data, FillAndSmoothingMatchTheNumpyReference) {
  struct row {
    int kind;
    long smooth, fill;
  };
  const row rows[] = {{0, 0, 100}, {0, 1, 100}, {0, 1, 0}, {0, 4, 100}, {0, 4, 0},
                      {1, 4, 50},  {1, 1, 100}};
  for (const row& r : rows) {
    SCOPED_TRACE("kind " + std::to_string(r.kind) + " smooth " + std::to_string(r.smooth) +
                 " fill " + std::to_string(r.fill));
    surface_interp s;
    results(s);
    settings(r.smooth, r.fill);
    const std::string ref = reference(s, r.kind, r.smooth, r.fill);
    std::vector<double> values, offsets, errors;
    ASSERT_TRUE(s.select_display_data(r.kind, &values, &offsets, &errors));
    EXPECT_EQ(s.display_kind, r.kind);
    const size_t n = size_t(s.mesh.n_points);
    const std::vector<double> colour = json_array(ref, "colour"), shown = json_array(ref, "shown");
    ASSERT_EQ(colour.size(), n);
    int filled = 0, holes = 0;
    for (size_t i = 0; i < n; ++i) {
      ASSERT_EQ(double(s.mesh.points[i].colour), colour[i]) << "vertex " << i;
      ASSERT_NEAR(s.smoothed_thickness[i], shown[i], 1e-9 * (1 + std::fabs(shown[i]))) << i;
      holes += s.fit_error[i] == kNoValue;
      filled += s.fit_error[i] == kNoValue && colour[i] != 0;
    }
    ASSERT_GT(holes, 20);
    // Fill 100 reaches every hole connected to measured vertices; fill 0
    // fills no vertex with a missing neighbour, so the cap stays partly open.
    if (r.smooth >= 1 && r.fill == 100) { EXPECT_EQ(filled, holes); }
    if (r.smooth >= 1 && r.fill == 0) { EXPECT_LT(filled, holes); }
    if (r.smooth == 0) {
      EXPECT_TRUE(values.empty());
      EXPECT_EQ(errors, s.fit_error);
      continue;
    }
    const std::vector<double> v = json_array(ref, "values"), o = json_array(ref, "offsets"),
                              e = json_array(ref, "errors");
    ASSERT_EQ(values.size(), n);
    ASSERT_EQ(offsets.size(), n);
    ASSERT_EQ(errors.size(), n);
    for (size_t i = 0; i < n; ++i) {
      ASSERT_NEAR(values[i], v[i], 1e-9 * (1 + std::fabs(v[i]))) << i;
      ASSERT_NEAR(offsets[i], o[i], 1e-9) << i;
      ASSERT_NEAR(errors[i], e[i], 1e-9 * e[i]) << i;
    }
  }
}

TEST_F(display_data, VertexOrderChangesNothing) {
  settings(4, 60);
  surface_interp a, b;
  results(a);
  results(b);
  const int32_t n = a.mesh.n_points;
  // b's vertex i is a's vertex perm[i].
  std::vector<int32_t> perm(static_cast<size_t>(n)), where(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) perm[size_t(i)] = int32_t((i * 97 + 13) % n);
  ASSERT_EQ(n % 97 == 0, false);
  for (int32_t i = 0; i < n; ++i) where[size_t(perm[size_t(i)])] = i;
  for (int32_t i = 0; i < n; ++i) {
    const size_t from = size_t(perm[size_t(i)]);
    b.mesh.points[i] = a.mesh.points[from];
    b.cortical_thickness[size_t(i)] = a.cortical_thickness[from];
    b.fit_error[size_t(i)] = a.fit_error[from];
    b.surface_offset[size_t(i)] = a.surface_offset[from];
    b.density[size_t(i)] = a.density[from];
  }
  for (int32_t j = 0; j < a.mesh.n_triangles; ++j) {
    const surface_triangle& tr = a.mesh.triangles[a.mesh.n_triangles - 1 - j];
    surface_triangle& out = b.mesh.triangles[j];
    out.a = where[size_t(tr.b)], out.b = where[size_t(tr.c)], out.c = where[size_t(tr.a)];
    out.type = tr.type;
  }
  std::vector<double> va, oa, vb, ob;
  ASSERT_TRUE(a.select_display_data(0, &va, &oa, nullptr));
  ASSERT_TRUE(b.select_display_data(0, &vb, &ob, nullptr));
  for (int32_t i = 0; i < n; ++i) {
    const size_t from = size_t(perm[size_t(i)]);
    EXPECT_EQ(b.mesh.points[i].colour, a.mesh.points[from].colour) << i;
    EXPECT_NEAR(vb[size_t(i)], va[from], 1e-12) << i;
    EXPECT_NEAR(ob[size_t(i)], oa[from], 1e-12) << i;
  }
}

// The ends of the colour scale, the offset scale's middle and the units.
TEST_F(display_data, ColourScaleEnds) {
  settings(0, 100);
  struct row {
    int kind;
    const char* units;
    double value;
    int colour;
  };
  const row rows[] = {
      {0, "HU", 1e-9, 1},      // bottom of the thickness scale
      {0, "HU", 4.0, 255},     // 4 mm: 255 exactly
      {0, "HU", 9.0, 255},     // beyond the top
      {0, "HU", 2.0, 127},     // 127.5 truncated
      {9, "HU", -4.0, 1},      // offset: -0.1 SCALE_MM mm
      {9, "HU", 0.0, 127},     // 0 mm in the middle
      {2, "HU", 1000.0, 127},  // density: 1000 / 2000 of the scale
      {2, "GY", 10.0, 127},    // grey: 100 times narrower
      {2, "GY", 1000.0, 255},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(std::to_string(r.kind) + " " + r.units + " " + std::to_string(r.value));
    t.RES_DICOM_UNITS->write(r.units);
    base_res_t::make_pending_writes_happen();
    surface_interp s;
    set_sphere(s, 1.0, 4, 6);
    const size_t n = size_t(s.mesh.n_points);
    s.fit_error.assign(n, 0.1);
    s.cortical_thickness.assign(n, r.kind == 0 ? r.value : 1.0);
    s.surface_offset.assign(n, r.kind == 9 ? r.value : 0.0);
    s.density.assign(n, r.value);
    ASSERT_TRUE(s.select_display_data(r.kind, nullptr, nullptr, nullptr));
    EXPECT_EQ(s.mesh.points[3].colour, r.colour);
    EXPECT_DOUBLE_EQ(s.smoothed_thickness[3], r.value);
  }
}

TEST_F(display_data, MissingArraysAndPendingConversionShowNothing) {
  settings(2, 100);
  surface_interp s;
  set_sphere(s, 1.0, 4, 6);
  for (int32_t i = 0; i < s.mesh.n_points; ++i) s.mesh.points[i].colour = 9;
  s.display_kind = 3;
  // No outer gap array: kind 6 shows nothing and keeps the last kind.
  s.cortical_thickness.assign(size_t(s.mesh.n_points), 1.0);
  s.fit_error.assign(size_t(s.mesh.n_points), 0.1);
  std::vector<double> values{1.0};
  EXPECT_FALSE(s.select_display_data(6, &values, nullptr, nullptr));
  EXPECT_TRUE(values.empty());
  EXPECT_EQ(s.display_kind, 3);
  for (int32_t i = 0; i < s.mesh.n_points; ++i) ASSERT_EQ(s.mesh.points[i].colour, 0);
  s.fwhm_pending = true;
  EXPECT_FALSE(s.select_display_data(0, nullptr, nullptr, nullptr));
  s.fwhm_pending = false;
  EXPECT_TRUE(s.select_display_data(0, nullptr, nullptr, nullptr));
  EXPECT_EQ(s.mesh.points[2].colour, 63);  // 1 mm of 4
}

// A plate of 20 x 20 vertices 1 mm apart in z = 0 whose cortex steps 99 mm
// deeper under a 3 x 3 patch (steeper than 89 degrees): the triangles round the patch fold, and the
// patch, a region far smaller than the plate's, is rejected whole.
TEST_F(display_data, FoldedPatchOnAPlateIsRejectedWhole) {
  const int side = 20;
  std::vector<surface_point> pts;
  std::vector<surface_triangle> tris;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) pts.push_back(point(0.1 * x, 0.1 * y, 0, 0, 0, 1));
  for (int y = 0; y + 1 < side; ++y)
    for (int x = 0; x + 1 < side; ++x) {
      const int a = y * side + x;
      tris.push_back({a, a + 1, a + side + 1, 1});
      tris.push_back({a, a + side + 1, a + side, 1});
    }
  surface_interp s;
  set_mesh(s, pts, tris);
  const size_t n = pts.size();
  auto in_patch = [&](size_t i) {
    const int x = int(i) % side, y = int(i) / side;
    return x >= 9 && x <= 11 && y >= 9 && y <= 11;
  };
  s.cortical_thickness.assign(n, 1.0);
  s.fit_error.assign(n, 0.1);
  s.surface_offset.assign(n, 0.0);
  for (size_t i = 0; i < n; ++i)
    if (in_patch(i)) s.cortical_thickness[i] = 100.0;
  t.RES_XSCALE->write(0.01);
  t.RES_YSCALE->write(0.01);
  struct row {
    long outlier, distance;
    bool patch_rejected;
  };
  for (const row& r : {row{45, 40, true}, row{89, 40, true}, row{90, 40, false}}) {
    SCOPED_TRACE(r.outlier);
    t.RES_THICKNESS_OUTLIER_REJECT->write(r.outlier);
    t.RES_THICKNESS_DISTANCE_REJECT->write(r.distance);
    base_res_t::make_pending_writes_happen();
    std::vector<uint8_t> mask;
    s.reject_mask(mask, 0);
    ASSERT_EQ(mask.size(), n);
    for (size_t i = 0; i < n; ++i)
      ASSERT_EQ(mask[i], r.patch_rejected && in_patch(i) ? 1 : 0) << "vertex " << i;
  }
  // The distance test: an outer edge 2 mm out is more than 10 pixels of
  // 0.1 mm away; 30 pixels allow it. Without offsets nothing is rejected.
  t.RES_THICKNESS_OUTLIER_REJECT->write(90);
  for (long pixels : {10L, 30L}) {
    t.RES_THICKNESS_DISTANCE_REJECT->write(pixels);
    base_res_t::make_pending_writes_happen();
    s.surface_offset.assign(n, 0.0);
    s.surface_offset[5] = 2.0;
    std::vector<uint8_t> mask;
    s.reject_mask(mask, 0);
    EXPECT_EQ(mask[5], pixels == 10 ? 1 : 0);
    EXPECT_EQ(mask[6], 0);
    s.surface_offset.clear();
    s.reject_mask(mask, 0);
    EXPECT_EQ(mask[5], 0);
  }
}

}  // namespace
