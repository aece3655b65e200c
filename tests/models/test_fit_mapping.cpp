// The shape model and the data: data points from contours, the fitted model
// mapped into an object's contours and surface, and the registration moved
// by hand (scaled, mirrored, an electrode array grown).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "../common/log_capture.h"
#include "../common/recording_files.h"
#include "data/curves.h"
#include "data/landmarks.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "fit_test_files.h"
#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

contour_t polygon(std::initializer_list<vec2_t> v) {
  contour_t c;
  c.vertices = v;
  c.closed = true;
  return c;
}

class Mapping : public ::testing::Test {
 protected:
  headless_session session;
  log_capture log;
  fit_test_folder folder;
  fit_model& m = *resource_table->RES_FIT_MODEL->read();

  // A sphere of radius 20 mm (numpy wrote it) and a recording of frames 1 mm
  // apart along z, 10 pixels to the millimetre.
  void load(int frames) {
    ASSERT_EQ(std::system(("/usr/bin/python3 " NV_TEST_SCRIPTS "/registration_oracles.py modes '" + folder.dir + "'")
                              .c_str()),
              0);
    write_recording_files(folder.path("scan"), frames, 60, 50);
    ASSERT_TRUE(open_native_file(wxString::FromUTF8(folder.path("scan.hm"))));
    ASSERT_EQ(m.parse_ply_and_ssm_files(wxString::FromUTF8(folder.path("sphere.ply"))), 0);
  }
  void scale_model(double s) {
    matrix4_identity(m.registration);
    m.registration[0] = m.registration[5] = m.registration[10] = s;
    m.rebuild_model_surface();
  }
  contour_object& object(int o) { return resource_table->RES_OBJECT->read()[o]; }
  // Largest distance of a frame's contour vertices from pixel (0, 0).
  double section_radius(int o, int frame) {
    frame_contours_t* f = object(o).find_frame(frame);
    double r = 0;
    if (f)
      for (const contour_t& c : f->contours)
        for (const vec2_t& p : c.vertices) r = std::max(r, std::hypot(p.x, p.y));
    return r;
  }
};

TEST_F(Mapping, DataPointsFromNestedContours) {
  load(2);
  const double sx = resource_table->RES_XSCALE->read();
  ASSERT_EQ(sx, resource_table->RES_YSCALE->read());
  // A ring: two squares of the same orientation, one inside the other.
  object(3).add_contour(0, polygon({{0, 0}, {20, 0}, {20, 20}, {0, 20}}));
  object(3).add_contour(0, polygon({{5, 5}, {15, 5}, {15, 15}, {5, 15}}));
  auto radial = [&](size_t i) {
    // Data point i against the direction from the ring's centre, in the plane.
    const vec3_t p = m.data.loaded_points[i], c{100 * sx, 100 * sx, p.z};
    return vec3_dot(m.data.normals[i], vec3_normalise(p - c));
  };
  double outer[3], inner[3];
  for (int side : {0, 1, 2}) {
    m.page.match_side = side;
    m.points_from_object(3);
    // Edges of 20 and 10 pixels: 3 and 1 points between the corners.
    ASSERT_EQ(m.data.point_count, 4 * 4 + 4 * 2);
    outer[side] = radial(3);  // the corner (0, 0)
    // The corner (15, 5).
    inner[side] = radial(16 + 3);
    for (size_t i = 0; i < 24; ++i) {
      if (side == 0) EXPECT_EQ(vec3_length(m.data.normals[i]), 0.0);
      else EXPECT_NEAR(vec3_length(m.data.normals[i]), 1.0, 1e-12);
    }
  }
  EXPECT_NEAR(std::fabs(outer[2]), 1.0, 1e-9);
  EXPECT_NEAR(outer[2], -inner[2], 1e-9) << "a hole's normals face the other way";
  EXPECT_NEAR(outer[1], -outer[2], 1e-9) << "inside is the opposite of outside";
  EXPECT_GT(m.grid_cell, 0.0);
  EXPECT_EQ(m.page.search_range, m.page.search_range_max);
}

TEST_F(Mapping, LongEdgesGetPointsBetween) {
  load(2);
  const double sx = resource_table->RES_XSCALE->read();
  // Edges of 13, 1 and about 13.04 pixels; the square's of 5.
  object(4).add_contour(1, polygon({{0, 0}, {13, 0}, {13, 1}}));
  object(4).add_contour(1, polygon({{30, 30}, {35, 30}, {35, 35}, {30, 35}}));
  m.page.match_side = 0;
  m.points_from_object(4);
  ASSERT_EQ(m.data.point_count, 7 + 4);
  // Vertex (13, 0) comes after two points a third and two thirds of the way.
  const std::vector<vec3_t>& d = m.data.loaded_points;
  for (int j : {3, 4, 5}) EXPECT_NEAR(vec3_length(d[size_t(j)] - d[size_t(j) - 1]), 10 * 13 * sx / 3, 1e-9) << j;
  EXPECT_NEAR(d[5].x - d[3].x, 10 * 13 * sx * 2 / 3, 1e-9);
  EXPECT_NEAR(vec3_length(d[6] - d[5]), 10 * sx, 1e-9);
}

TEST_F(Mapping, MapContoursReplacesTheSelectedFramesEveryNth) {
  load(12);
  scale_model(0.6);  // radius 12 mm: every frame cuts it
  for (int k = 0; k < 12; ++k) object(2).add_contour(k, polygon({{1, 1}, {4, 1}, {4, 4}}));
  resource_table->RES_BUF_CURRENT_FRAME->write(10);
  m.page.frames = 1;  // Low: frames up to the current one
  m.page.every_n_frames = 3;
  m.page.contour_accuracy = 1;
  m.contours_to_object(2);
  for (int k = 0; k < 12; ++k) {
    const bool filled = k == 1 || k == 4 || k == 7 || k == 10;
    const frame_contours_t* f = object(2).find_frame(k);
    if (k == 11) {
      ASSERT_TRUE(f);
      EXPECT_EQ(f->contours.size(), 1u) << "a frame above the current one is kept";
      EXPECT_EQ(f->contours[0].vertices.size(), 3u);
      continue;
    }
    EXPECT_EQ(f != nullptr, filled) << k;
    if (!filled) continue;
    // A circle of radius sqrt(144 - k^2) mm, 10 pixels to the mm.
    const double r = 10 * std::sqrt(144.0 - k * k);
    EXPECT_LE(section_radius(2, k), r + 0.1) << k;
    EXPECT_GE(section_radius(2, k), r * 0.97) << k;
  }
  // A step of 0 maps every frame instead of dividing by it.
  m.page.frames = 0;
  m.page.every_n_frames = 0;
  m.contours_to_object(2);
  for (int k = 0; k < 12; ++k) EXPECT_TRUE(object(2).find_frame(k)) << k;
}

TEST_F(Mapping, MapSurfaceKeepsSectionsWithinTwiceTheImageAndAddsLandmarks) {
  load(10);
  scale_model(0.4);  // radius 8 mm
  object(6).add_contour(0, polygon({{1, 1}, {4, 1}, {4, 4}}));
  m.map_surface_to_object(6);
  // Sections are circles about pixel (0, 0): kept while they reach no lower
  // than -50 pixels (the image is 50 high), 10 pixels to the mm.
  for (int k = 0; k < 10; ++k) {
    const double r = k < 8 ? 10 * std::sqrt(64.0 - k * k) : 0.0;
    EXPECT_EQ(object(6).find_frame(k) != nullptr, k < 8 && r <= 50) << k;
  }
  EXPECT_EQ(object(6).name, "fitted shape model");
  EXPECT_EQ(object(6).opacity, 0.5);
  EXPECT_TRUE(resource_table->RES_SURFACE[6]->read());
  int found = 0;
  for (const landmark_t& l : resource_table->RES_LANDMARKS->read()->items) {
    if (l.kind != LM_SURFACE || l.object != 6) continue;
    const double sign = l.name == "fitted north" ? 1 : l.name == "fitted south" ? -1 : 0;
    ASSERT_NE(sign, 0) << l.name;
    ++found;
    EXPECT_NEAR(l.x, 0, 1e-6);
    EXPECT_NEAR(l.y, 0, 1e-6);
    EXPECT_NEAR(l.z, sign * 0.8, 1e-6);
  }
  EXPECT_EQ(found, 2);
}

TEST_F(Mapping, WithoutAModelNothingIsMapped) {
  write_recording_files(folder.path("scan"), 3, 60, 50);
  ASSERT_TRUE(open_native_file(wxString::FromUTF8(folder.path("scan.hm"))));
  object(1).add_contour(0, polygon({{1, 1}, {4, 1}, {4, 4}}));
  m.map_surface_to_object(1);
  m.contours_to_object(1);
  m.points_from_object(1);
  m.reflect_registration_matrix();
  EXPECT_TRUE(log.has(wxLOG_Warning, "First load a shape model\n"));
  EXPECT_TRUE(object(1).find_frame(0));
  EXPECT_EQ(m.data.point_count, 0);
}

TEST_F(Mapping, ScalingKeepsTheCentroidAndReflectingTwiceRestores) {
  std::vector<vec3_t> pts;
  std::vector<std::array<int32_t, 3>> faces;
  ellipsoid(20, 14, 10, 6, 12, pts, &faces);
  for (vec3_t& p : pts) p = p + vec3_t{5, -3, 2};  // centroid off the origin
  load(2);
  m.model.points = m.model.loaded_points = pts;
  m.model.triangles = faces;
  m.model.point_count = int32_t(pts.size());
  fit_model::compute_normals(m.model);
  fit_model::compute_bounds(m.model);
  matrix4_t g;
  matrix4_from_position(g, 4, 5, 6, 30, 10, -20);
  vec3_t before, after;
  matrix4_transform_point(before, g, m.model.centroid);
  m.set_scaled_registration_matrix(g, 1.3);
  matrix4_transform_point(after, m.registration, m.model.centroid);
  EXPECT_NEAR(vec3_length(after - before), 0, 1e-9);
  EXPECT_NEAR(matrix4_determinant3(m.registration), 1.3 * 1.3 * 1.3, 1e-9);
  // A vertex moves 1.3 times as far from the centroid.
  vec3_t v0, v1;
  matrix4_transform_point(v0, g, pts[3]);
  matrix4_transform_point(v1, m.registration, pts[3]);
  EXPECT_NEAR(vec3_length(v1 - after), 1.3 * vec3_length(v0 - before), 1e-9);

  const matrix4_t scaled = m.registration;
  m.reflect_registration_matrix();
  EXPECT_LT(matrix4_determinant3(m.registration), 0);
  matrix4_transform_point(after, m.registration, m.model.centroid);
  EXPECT_NEAR(vec3_length(after - before), 0, 1e-9);
  m.reflect_registration_matrix();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.registration[i], scaled[i], 1e-12) << i;
  // A factor that is no scale changes nothing.
  const matrix4_t kept = m.registration;
  m.set_scaled_registration_matrix(g, -1.0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.registration[i], kept[i]) << i;
}

TEST_F(Mapping, AnElectrodeArrayGrowsByHandTo30mm) {
  const std::string ply = folder.write(
      "array.ply",
      "ply\nformat ascii 1.0\ncomment cochlear implant\n"
      "comment implant electrode lengths separations 0.5 0.3\n"
      "comment implant electrode radius 0.2\ncomment implant lead radius 0.3\n"
      "comment implant first electrode insertion length 28\n"
      "element vertex 0\nproperty float x\nproperty float y\nproperty float z\n"
      "element face 0\nproperty list uchar int vertex_indices\nend_header\n");
  ASSERT_EQ(m.parse_ply_and_ssm_files(wxString::FromUTF8(ply)), 0);
  ASSERT_TRUE(m.implant);
  matrix4_t g;
  matrix4_from_position(g, 1, 2, 3, 0, 0, 0);
  m.set_scaled_registration_matrix(g, 1.25);
  EXPECT_DOUBLE_EQ(m.first_electrode_insertion, 35.0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.registration[i], g[i]) << "the array is not scaled";
  const std::vector<vec3_t> grown = m.model.points;
  m.set_scaled_registration_matrix(m.registration, 1.25);
  EXPECT_DOUBLE_EQ(m.first_electrode_insertion, 35.0);
  EXPECT_EQ(m.model.points[100].x, grown[100].x);
  m.set_scaled_registration_matrix(m.registration, 0.5);
  EXPECT_DOUBLE_EQ(m.first_electrode_insertion, 17.5);
}

}  // namespace
