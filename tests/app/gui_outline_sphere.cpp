// A surface in the main window's 3D view: a sphere interpolated from its
// contours by the surface engine and stored in the object's surface
// resource, as the Draw page's update stores it, is drawn lit where the
// sphere projects.
#include <chrono>
#include <cmath>
#include <functional>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/utils.h>

#include <wx/textdlg.h>

#include "app/app_ids.h"
#include "app/main_frame.h"
#include "app_test_main.h"
#include "layout_support.h"
#include "data/data_reset.h"
#include "data/dynabuf.h"
#include "data/objects.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "render3d/outline_canvas.h"
#include "surfaces/surface_build.h"
#include "views/screen_capture.h"

namespace {

constexpr int N = 96;           // frame pixels across
constexpr double S = 0.02;      // cm per pixel
constexpr double R = 0.6;       // sphere radius, cm
constexpr double DZ = 0.05;     // frame spacing, cm
constexpr int FRAMES = 29;      // z from -0.7 to 0.7
const double C = N / 2.0 * S;   // sphere centre x and y, cm

bool wait_for(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    wxTheApp->Yield(true);
    wxMilliSleep(2);
  }
  return true;
}

TEST(OutlineSphere, ASurfaceFromContoursIsDrawnLitWhereTheSphereProjects) {
  resource_table_t& t = *resource_table;
  extra_frame made(1400, 1000, true);
  outline_canvas* view = made.frame->outline_view;
  ASSERT_NE(view, nullptr);
  {
    // The 3D window's size as a user sets it.
    modal_answer answer([](wxDialog* d) {
      auto* entry = dynamic_cast<wxTextEntryDialog*>(d);
      if (!entry) return static_cast<int>(wxID_CANCEL);
      entry->SetValue("400x400");
      return static_cast<int>(wxID_OK);
    });
    wxCommandEvent event(wxEVT_MENU, ID_GUI_SET_3D_SIZE);
    event.SetEventObject(made.frame);
    made.frame->GetEventHandler()->ProcessEvent(event);
    pump_events(5);
  }
  ASSERT_EQ(view->GetClientSize(), wxSize(400, 400));
  // Frames stacked along z with a circle contour each: the sphere's sections.
  contour_object& object = t.RES_OBJECT->read()[0];
  object.colour = rgba_colour_t(230, 160, 40);
  object.opacity = 1.0;
  for (int k = 0; k < FRAMES; ++k) {
    const double z = (k - FRAMES / 2) * DZ;
    position_t p;
    p.z = static_cast<float>(z);
    frame_store->positions.push_back(position_holder_t::create(p));
    frame_store->timestamps.push_back(0);
    auto* pixels = new uint8_t[N * N];
    std::fill(pixels, pixels + N * N, uint8_t(90));
    frame_store->add_image(frame_image_t::create(pixels, N * N));
    if (std::fabs(z) >= R) continue;
    const double r = std::sqrt(R * R - z * z) / S;
    contour_t c;
    for (int i = 0; i < 64; ++i)
      c.vertices.push_back({N / 2.0 + r * std::cos(i * 2 * M_PI / 64), N / 2.0 + r * std::sin(i * 2 * M_PI / 64)});
    c.closed = true;
    object.add_contour(k, c);
  }
  t.RES_BUF_WIDTH->write(N);
  t.RES_BUF_HEIGHT->write(N);
  t.RES_FRAME_SIZE->write(N * N);
  t.RES_XSCALE->write(S);
  t.RES_YSCALE->write(S);
  t.RES_POS_REC->write(true);
  t.RES_BUF_FRAMES->write(FRAMES);
  t.RES_SEE_DRAW->write(true);
  t.RES_SEE_OUTLINES->write(0);
  t.RES_BACKGROUND_CONST->write(true);
  t.RES_OUTLINE_VIEW_ANGLE->write(0);
  t.CONT->write();

  surface_interp* sphere = build_contour_surface_from_resources(0, nullptr);
  ASSERT_GT(sphere->volume, 0.0);
  // Without its contours, whose lines would lie on the surface.
  object.reset();
  object.opacity = 1.0;
  t.CONT->write();
  t.RES_SURFACE[0]->write(sphere);

  const wxSize size = view->GetClientSize();
  auto grab = [&] {
    const int before = view->paints();
    view->Refresh(false);
    EXPECT_TRUE(wait_for([&] { return view->paints() > before; }));
    std::vector<uint8_t> s, last;
    wait_for([&] {
      last = s;
      s = screenshot(view->ClientToScreen(wxPoint(0, 0)), size.x, size.y);
      return !s.empty() && s == last;
    });
    return s;
  };
  const std::vector<uint8_t> opaque = grab();
  ASSERT_EQ(opaque.size(), size_t(size.x) * size.y * 3);
  EXPECT_TRUE(view->drawn().surfaces);

  // The sphere's centre and radius on screen, from the view's own matrices:
  // orthographic, so the silhouette is a circle of the projected radius.
  auto to_window = [&](const vec3_t& p, double& col, double& row) {
    vec3_t n;
    matrix4_transform_point(n, view->modelview_projection(), p);
    col = (n.x + 1.0) / 2.0 * size.x - 0.5;
    row = size.y - (n.y + 1.0) / 2.0 * size.y - 0.5;
  };
  double cx, cy, ex, ey;
  to_window({C, C, 0.0}, cx, cy);
  to_window({C + R, C, 0.0}, ex, ey);
  const double radius = std::hypot(ex - cx, ey - cy);
  ASSERT_GT(radius, 20.0);
  const wxColour bg(t.RES_BACKGROUND->read());
  auto at = [&](const std::vector<uint8_t>& s, int x, int y) { return &s[(size_t(y) * size.x + x) * 3]; };
  auto is_background = [&](const std::vector<uint8_t>& s, int x, int y) {
    const uint8_t* p = at(s, x, y);
    return std::abs(p[0] - bg.Red()) + std::abs(p[1] - bg.Green()) + std::abs(p[2] - bg.Blue()) <= 6;
  };
  // Along eight directions the first background pixel lies at the radius.
  for (int d = 0; d < 8; ++d) {
    const double ux = std::cos(d * M_PI / 4), uy = std::sin(d * M_PI / 4);
    double edge = -1;
    for (double r = 0; r < 2 * radius; r += 0.25) {
      const int x = int(std::lround(cx + r * ux)), y = int(std::lround(cy + r * uy));
      if (x < 0 || y < 0 || x >= size.x || y >= size.y) break;
      if (is_background(opaque, x, y)) {
        edge = r;
        break;
      }
    }
    EXPECT_NEAR(edge, radius, 2.0) << "direction " << d;
  }
  // Lit: the shade changes over the sphere, in the object's hue.
  const uint8_t* centre = at(opaque, int(std::lround(cx)), int(std::lround(cy)));
  const uint8_t* rim = at(opaque, int(std::lround(cx + 0.93 * radius)), int(std::lround(cy)));
  EXPECT_GT(std::abs(centre[0] + centre[1] + centre[2] - rim[0] - rim[1] - rim[2]), 20)
      << int(centre[0]) << " " << int(centre[1]) << " " << int(centre[2]) << " / " << int(rim[0]) << " " << int(rim[1])
      << " " << int(rim[2]);
  EXPECT_GT(centre[0], centre[1]);
  EXPECT_GT(centre[1], centre[2]);

  t.RES_SURFACE[0]->write(nullptr);
  delete sphere;
  object.reset();
  clear_data();
  t.RES_POS_REC->write(false);
  t.RES_BUF_FRAMES->write(0);
  t.RES_SEE_DRAW->write(true);
  t.RES_BACKGROUND_CONST->write(false);
}

}  // namespace
