// The surface pass's decisions without a display: which objects are visited,
// which surfaces are listed, their opacities and order, and which stages run;
// the curve colours and the marker's hidden axes.
#include <gtest/gtest.h>

#include <vector>

#include "data/objects.h"
#include "render3d/surface_list.h"
#include "surfaces/surface_interp.h"

namespace {

TEST(SurfaceList, VisitsUserObjectsWithDrawAndTheModelWithShapeModels) {
  struct row {
    bool draw, ssm;
    int32_t max;
    std::vector<int32_t> want;
  };
  const row rows[] = {
      {true, false, 3, {0, 1, 2}},  {true, true, 3, {0, 1, 2, 200}}, {false, true, 3, {200}},
      {false, false, 3, {}},        {true, true, 0, {200}},          {true, false, 250, {}},
  };
  for (const row& r : rows) {
    std::vector<int32_t> got = surface_visit_order(r.draw, r.ssm, r.max);
    if (r.max > 200) {
      // The user objects stop at 200 however large the setting.
      ASSERT_EQ(got.size(), 200u);
      EXPECT_EQ(got.back(), 199);
    } else {
      EXPECT_EQ(got, r.want) << r.draw << r.ssm << r.max;
    }
  }
}

TEST(SurfaceList, OnlySurfacesWithVolumeAreListedOpenMeshesIncluded) {
  surface_interp s;
  struct row {
    double volume;
    bool listed;
  };
  // 1e-5: an open mesh's volume, which must still be drawn.
  for (const row& r : {row{0.0, false}, row{-1.0, false}, row{1e-5, true}, row{2.5, true}}) {
    s.volume = r.volume;
    EXPECT_EQ(surface_listed(&s), r.listed) << r.volume;
  }
  EXPECT_FALSE(surface_listed(nullptr));
  // Per-vertex colours: thickness results present and converted, or compounded data.
  EXPECT_FALSE(surface_coloured(s));
  s.compound_depth = 0.3;
  EXPECT_TRUE(surface_coloured(s));
  s.compound_depth = 0.0;
  s.fit_error.assign(4, 0.1);
  EXPECT_TRUE(surface_has_thickness(s));
  s.fwhm_pending = true;
  EXPECT_FALSE(surface_has_thickness(s));
}

TEST(SurfaceList, OpacitiesOrderAndAdjustments) {
  contour_object objects[201];
  const double opacity[4] = {1.0, 0.3, 0.7, 0.3};
  for (int j = 0; j < 4; ++j) {
    objects[j].colour = rgba_colour_t(uint8_t(10 * j), 128, 255);
    objects[j].opacity = opacity[j];
  }
  objects[200].opacity = 1.0;
  const std::vector<int32_t> listed = {0, 1, 2, 3, 200};
  struct row {
    const char* name;
    bool programs;
    int32_t shader;
    bool wireframe, volume_page;
    std::vector<int32_t> faded;
    std::vector<int32_t> order;
    std::vector<float> alpha;
    bool opaque, translucent;
  };
  const row rows[] = {
      {"plain", true, 0, false, false, {}, {0, 200, 2, 1, 3}, {1, 1, 0.7f, 0.3f, 0.3f}, true, true},
      {"clear phong", true, 3, false, false, {}, {0, 200, 2, 1, 3}, {0.9999f, 0.9999f, 0.7f, 0.3f, 0.3f}, false,
       true},
      {"clear phong without programs", false, 3, false, false, {}, {0, 200, 2, 1, 3}, {1, 1, 0.7f, 0.3f, 0.3f},
       true, true},
      {"wireframe", true, 3, true, false, {}, {0, 200, 2, 1, 3}, {1, 1, 1, 1, 1}, true, false},
      {"volume page", true, 0, false, true, {}, {0, 200, 2, 1, 3}, {1, 1, 0, 0, 0}, true, false},
      {"faded", true, 0, false, false, {0, 2}, {200, 1, 3, 0, 2}, {1, 0.3f, 0.3f, 0.15f, 0.15f}, true, true},
  };
  for (const row& r : rows) {
    surface_list_settings s;
    s.programs_installed = r.programs;
    s.shader = r.shader;
    s.wireframe = r.wireframe;
    s.volume_page = r.volume_page;
    s.faded = r.faded;
    const surface_draw_list list = make_surface_draw_list(listed, objects, s);
    ASSERT_EQ(list.entries.size(), r.order.size()) << r.name;
    for (size_t i = 0; i < r.order.size(); ++i) {
      EXPECT_EQ(list.entries[i].object, r.order[i]) << r.name << " entry " << i;
      EXPECT_FLOAT_EQ(list.entries[i].colour[3], r.alpha[i]) << r.name << " entry " << i;
    }
    EXPECT_EQ(list.opaque, r.opaque) << r.name;
    EXPECT_EQ(list.translucent, r.translucent) << r.name;
  }
  // Colours are the object's over 255.
  const surface_draw_list list = make_surface_draw_list({3}, objects, surface_list_settings());
  EXPECT_FLOAT_EQ(list.entries[0].colour[0], 30 / 255.0f);
  EXPECT_FLOAT_EQ(list.entries[0].colour[1], 128 / 255.0f);
  EXPECT_FLOAT_EQ(list.entries[0].colour[2], 1.0f);
}

TEST(SurfaceList, StagesOfThePass) {
  surface_draw_list none, opaque, clear;
  opaque.entries.resize(1);
  opaque.opaque = true;
  clear.entries.resize(1);
  clear.translucent = true;
  struct row {
    const char* name;
    const surface_draw_list* list;
    bool programs, shading, volume_page;
    int32_t layers, occlusion;
    bool shadows;
    double reslice;
    bool volume_active, peeling, effects, content, skip;
  };
  const row rows[] = {
      {"translucent peeled", &clear, true, true, false, 6, 0, false, 1.0, false, true, false, true, false},
      {"no layers", &clear, true, true, false, 0, 0, false, 1.0, false, false, false, true, false},
      {"fixed pipeline", &clear, false, false, false, 6, 0, false, 1.0, false, false, false, true, false},
      {"planes only", &none, true, true, false, 6, 0, false, 0.5, false, true, false, true, false},
      {"planes without peeling", &none, true, true, false, 0, 0, false, 0.5, false, false, false, false, true},
      {"nothing", &none, true, true, false, 6, 0, false, 1.0, false, true, false, false, true},
      {"volume page", &none, true, true, true, 6, 0, false, 0.5, true, false, false, false, false},
      {"occlusion", &opaque, true, true, false, 6, 1, false, 1.0, false, true, true, false, false},
      {"shadows", &opaque, true, true, false, 6, 0, true, 1.0, false, true, true, false, false},
      {"shadows on the volume page", &opaque, true, true, true, 6, 0, true, 1.0, true, false, false, false, false},
  };
  for (const row& r : rows) {
    surface_pass_settings s;
    s.programs_installed = r.programs;
    s.shader_drawing = r.shading;
    s.volume_page = r.volume_page;
    s.layers = r.layers;
    s.occlusion_range = r.occlusion;
    s.radiant_shadows = r.shadows;
    s.reslice_opacity = r.reslice;
    const surface_pass_plan p = plan_surface_pass(*r.list, s);
    EXPECT_EQ(p.volume_active, r.volume_active) << r.name;
    EXPECT_EQ(p.peeling, r.peeling) << r.name;
    EXPECT_EQ(p.effects, r.effects) << r.name;
    EXPECT_EQ(p.translucent_content, r.content) << r.name;
    EXPECT_EQ(p.skip, r.skip) << r.name;
  }
}

TEST(SurfaceList, CurveColoursAndHiddenMarkerAxes) {
  float c[4];
  curve_display_colour(255, 255, 255, 0.5f, c);
  for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(c[k], 1.0f / 1.5f);
  EXPECT_FLOAT_EQ(c[3], 0.5f);
  curve_display_colour(0, 0, 0, 1.0f, c);
  for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(c[k], 2.0f / 3.0f);
  // Sum 2.4: lightened; red alone lightened too.
  curve_display_colour(204, 204, 204, 1.0f, c);
  EXPECT_NEAR(c[0], (0.8 + 2.0) / 3.0, 1e-6);
  curve_display_colour(255, 0, 0, 1.0f, c);
  EXPECT_NEAR(c[0], 1.0, 1e-6);
  EXPECT_NEAR(c[1], 2.0 / 3.0, 1e-6);

  // A view turned so that world +z points 0.7 away from the viewer.
  const double s = std::sqrt(1.0 - 0.49);
  const double m[16] = {1, 0, 0, 0, 0, 0.7, s, 0, 0, -s, -0.7, 0, 0, 0, 0, 1};
  EXPECT_TRUE(orientation_axis_hidden(m, 0, 0, 1));
  EXPECT_FALSE(orientation_axis_hidden(m, 0, 0, -1));
  EXPECT_FALSE(orientation_axis_hidden(m, 0, 1, 0));  // 0.71 towards the viewer
  EXPECT_FALSE(orientation_axis_hidden(m, 1, 0, 0));
  const double edge[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -0.6, 0, 0, 0, 0, 1};
  EXPECT_FALSE(orientation_axis_hidden(edge, 0, 0, 1));  // exactly -0.6 still shows
}

}  // namespace
