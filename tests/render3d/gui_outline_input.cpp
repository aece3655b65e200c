// The 3D view's keys, dialogs, window dump and mouse tools on screen under
// Xvfb: the dump against the pixels drawn, keys and dialogs against the
// resources they set, drags against the orientation and zoom they write, and
// landmarks and the thickness probe with the depth under the pointer
// injected.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/utils.h>

#include "common/log_capture.h"
#include "common/wx_events.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "registry/app_types.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "models/fit_model.h"
#include "render3d/outline_canvas.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"
#include "views/globcmap.h"
#include "views/gl_view_support.h"
#include "views/screen_capture.h"

namespace fs = std::filesystem;

namespace {

constexpr int CW = 333, CH = 200;  // a width that pads RGB rows
constexpr int FW = 64, FH = 32;
constexpr double XS = 0.05, YS = 0.05;

vec3_t rodrigues(const vec3_t& v, const vec3_t& axis, double deg) {
  const vec3_t k = vec3_normalise(axis);
  const double a = deg * 3.141592653589793 / 180.0;
  return v * std::cos(a) + vec3_cross(k, v) * std::sin(a) + k * (vec3_dot(k, v) * (1 - std::cos(a)));
}

// A UV sphere of radius r about c on object o's surface slot.
surface_interp* sphere(int object, const vec3_t& c, double r) {
  auto* s = new surface_interp(object);
  const int nu = 16, nv = 24;
  std::vector<surface_point> pts;
  auto add = [&](double th, double ph) {
    const vec3_t n{std::sin(th) * std::cos(ph), std::sin(th) * std::sin(ph), std::cos(th)};
    surface_point p;
    p.x = c.x + r * n.x, p.y = c.y + r * n.y, p.z = c.z + r * n.z;
    p.nx = n.x, p.ny = n.y, p.nz = n.z;
    pts.push_back(p);
  };
  add(0, 0);
  for (int i = 1; i < nu; ++i)
    for (int j = 0; j < nv; ++j) add(3.141592653589793 * i / nu, 2 * 3.141592653589793 * j / nv);
  add(3.141592653589793, 0);
  std::vector<surface_triangle> tris;
  auto ring = [&](int i, int j) { return int32_t(1 + (i - 1) * nv + (j % nv)); };
  const int32_t last = int32_t(pts.size() - 1);
  for (int j = 0; j < nv; ++j) {
    tris.push_back({0, ring(1, j), ring(1, j + 1), 0});
    tris.push_back({last, ring(nu - 1, j + 1), ring(nu - 1, j), 0});
    for (int i = 1; i < nu - 1; ++i) {
      tris.push_back({ring(i, j), ring(i + 1, j), ring(i + 1, j + 1), 0});
      tris.push_back({ring(i, j), ring(i + 1, j + 1), ring(i, j + 1), 0});
    }
  }
  s->mesh.n_points = int32_t(pts.size());
  s->mesh.points = new surface_point[pts.size()];
  std::copy(pts.begin(), pts.end(), s->mesh.points);
  s->mesh.n_triangles = int32_t(tris.size());
  s->mesh.triangles = new surface_triangle[tris.size()];
  std::copy(tris.begin(), tris.end(), s->mesh.triangles);
  s->volume = 1.0;
  return s;
}

wxMouseEvent mouse(wxEventType type, int x, int y, bool left = false, bool middle = false, bool right = false) {
  wxMouseEvent e(type);
  e.m_x = x, e.m_y = y;
  e.m_leftDown = left, e.m_middleDown = middle, e.m_rightDown = right;
  return e;
}

wxKeyEvent key(int code, bool shift = false, bool control = false) {
  wxKeyEvent e(wxEVT_KEY_DOWN);
  e.m_keyCode = code;
  e.SetShiftDown(shift);
  e.SetControlDown(control);
  return e;
}

class OutlineInput : public ::testing::Test {
 protected:
  void SetUp() override {
    static int attributes[] = {WX_GL_RGBA,      WX_GL_DOUBLEBUFFER, WX_GL_DEPTH_SIZE, 16,
                               WX_GL_MIN_ALPHA, 8,                  WX_GL_MIN_RED,    8,
                               WX_GL_MIN_GREEN, 8,                  WX_GL_MIN_BLUE,   8,
                               0};
    gl_attributes = attributes;
    colour_map = new globcmap_t;
    resource_table_t& t = *resource_table;
    t.RES_EXEC_DIR->write(NV_RUNTIME_DIR);
    t.RES_BACKGROUND->write("#204060");
    // The clear colour alone, without the lit background.
    t.RES_BACKGROUND_CONST->write(true);
    t.RES_XSCALE->write(XS);
    t.RES_YSCALE->write(YS);
    t.RES_DISPLAY_COG->write(false);
    t.RES_SEE_MARK->write(true);
    t.RES_SEE_OUTLINES->write(1);
    t.RES_OUTLINE_VIEW_ANGLE->write(0);
    dir_ = fs::temp_directory_path() / ("nv_outline_input_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (frame_) {
      frame_->Destroy();
      wait_until([] { return !wxTheApp->Pending(); });
      wxTheApp->ProcessIdle();
    }
    delete colour_map;
    colour_map = nullptr;
    fs::remove_all(dir_);
  }

  void load(int frames) {
    for (int f = 0; f < frames; ++f) {
      auto* p = new uint8_t[FW * FH];
      for (int i = 0; i < FW * FH; ++i) p[i] = static_cast<uint8_t>(40 + (i * 7 + f * 30) % 200);
      frame_store->add_image(frame_image_t::create(p, FW * FH));
      position_t pos;
      pos.z = static_cast<float>(0.1 * f);
      frame_store->positions.push_back(position_holder_t::create(pos));
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write_no_changeprocs(FW);
    t.RES_BUF_HEIGHT->write_no_changeprocs(FH);
    t.RES_BUF_FRAMES->write_no_changeprocs(frames);
    base_res_t::make_pending_writes_happen();
  }

  void open(long style = wxWANTS_CHARS) {
    frame_ = new wxFrame(nullptr, wxID_ANY, "outline", wxDefaultPosition, wxDefaultSize);
    view_ = new outline_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize, style, "outline_canvas");
    frame_->SetClientSize(CW, CH);
    frame_->Show();
    ASSERT_TRUE(wait_until([&] { return view_->GetClientSize() == wxSize(CW, CH) && view_->paints() > 1; }));
  }

  std::vector<uint8_t> screen() {
    const int before = view_->paints();
    view_->Refresh(false);
    EXPECT_TRUE(wait_until([&] { return view_->paints() > before; }));
    std::vector<uint8_t> s, last;
    wait_until([&] {
      last = s;
      s = screenshot(view_->ClientToScreen(wxPoint(0, 0)), CW, CH);
      return !s.empty() && s == last;
    });
    return s;
  }

  // The view reads this depth under the pointer.
  void inject_depth(float d) {
    view_->set_depth_reader([this, d](int32_t, int32_t, float& out) {
      out = d;
      ++depth_reads_;
      return true;
    });
  }

  void select_tool(int32_t tool) { resource_table->RES_TOOL->write(static_cast<tool_selection_t>(tool)); }

  headless_session session_;
  wxFrame* frame_ = nullptr;
  outline_canvas* view_ = nullptr;
  fs::path dir_;
  int depth_reads_ = 0;
};

TEST_F(OutlineInput, ADumpHoldsThePixelsDrawnWithAlphaOnlyWhereAsked) {
  load(2);
  open();
  resource_table_t& t = *resource_table;
  struct row {
    const char* name;
    wxBitmapType type;
    bool constant_background;
    bool alpha;
    bool exact;
  };
  for (const row& r : {row{"a.png", wxBITMAP_TYPE_PNG, false, false, true},
                       row{"b.png", wxBITMAP_TYPE_PNG, true, true, true},
                       row{"c.bmp", wxBITMAP_TYPE_BMP, true, false, true},
                       row{"d.tif", wxBITMAP_TYPE_TIFF, true, true, true},
                       row{"e.jpg", wxBITMAP_TYPE_JPEG, true, false, false}}) {
    SCOPED_TRACE(r.name);
    t.RES_BACKGROUND_CONST->write(r.constant_background);
    const std::vector<uint8_t> shown = screen();
    ASSERT_EQ(shown.size(), size_t(CW) * CH * 3);
    const wxString path = wxString::FromUTF8((dir_ / r.name).string());
    wxString why;
    ASSERT_TRUE(view_->dump_window(path, r.type, &why)) << why;
    wxImage saved;
    ASSERT_TRUE(saved.LoadFile(path, r.type));
    ASSERT_EQ(saved.GetWidth(), CW);
    ASSERT_EQ(saved.GetHeight(), CH);
    EXPECT_EQ(saved.HasAlpha(), r.alpha);
    int worst = 0;
    double sum = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
      const int d = std::abs(int(saved.GetData()[i]) - shown[i]);
      worst = std::max(worst, d);
      sum += d;
    }
    if (r.exact)
      EXPECT_EQ(worst, 0);
    else
      EXPECT_LT(sum / shown.size(), 3.0);  // JPEG: close on average
    if (r.alpha) {
      // The cleared background is transparent, the frame's texels are not.
      const unsigned char* a = saved.GetAlpha();
      EXPECT_EQ(a[0], 0);
      EXPECT_GT(*std::max_element(a, a + CW * CH), 200);
    }
  }
  t.RES_BACKGROUND_CONST->write(false);
}

TEST_F(OutlineInput, ADumpThatCannotBeWrittenLeavesNoFileAndSaysWhy) {
  load(1);
  open();
  wxString why;
  const fs::path gif = dir_ / "x.gif";
  EXPECT_FALSE(view_->dump_window(wxString::FromUTF8(gif.string()), wxBITMAP_TYPE_GIF, &why));
  EXPECT_FALSE(why.empty());
  EXPECT_FALSE(fs::exists(gif));
  // Without a place to put it the failure is logged as an error.
  log_capture log;
  const fs::path missing = dir_ / "no" / "such" / "x.png";
  EXPECT_FALSE(view_->dump_window(wxString::FromUTF8(missing.string()), wxBITMAP_TYPE_PNG));
  EXPECT_EQ(log.count(wxLOG_Error), 1);
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(OutlineInput, KeysToggleTurnAndPan) {
  load(2);
  open();
  resource_table_t& t = *resource_table;
  t.RES_CURSOR_ROTATION->write(5);
  t.RES_CURSOR_MOVEMENT->write(4);
  // Toggles.
  for (int code : {int(WXK_SPACE), int('g'), int('G')}) {
    const bool before = t.RES_DISPLAY_COG->read();
    wxKeyEvent e = key(code);
    view_->OnKey(e);
    EXPECT_NE(t.RES_DISPLAY_COG->read(), before) << code;
  }
  const bool pixels = t.RES_DISPLAY_PIXELS->read();
  wxKeyEvent p = key('p');
  view_->OnKey(p);
  EXPECT_NE(t.RES_DISPLAY_PIXELS->read(), pixels);
  const int repaints = view_->repaint_requests();
  wxKeyEvent l = key('L');
  view_->OnKey(l);
  EXPECT_TRUE(view_->wireframe());
  EXPECT_GT(view_->repaint_requests(), repaints);
  wxKeyEvent other = key('Q');
  view_->OnKey(other);
  EXPECT_TRUE(other.GetSkipped());

  // Right turns the front about the view's up by -5 degrees (the scene's front goes right).
  double f0[3], r0[3];
  view_->get_orientation(f0, r0);
  wxKeyEvent right = key(WXK_RIGHT);
  view_->OnKey(right);
  double f1[3], r1[3];
  view_->get_orientation(f1, r1);
  const vec3_t want = rodrigues({f0[0], f0[1], f0[2]}, {0, 1, 0}, -5);
  EXPECT_NEAR(f1[0], want.x, 1e-9);
  EXPECT_NEAR(f1[2], want.z, 1e-9);
  // Control+Right pans by -d along the view's right, the orientation unchanged.
  view_->set_orientation(f0, r0);
  ASSERT_TRUE(wait_until([&] { return view_->modelview()[0] == 1.0; }));
  const vec3_t c0 = view_->centre_of_gravity();
  wxKeyEvent pan = key(WXK_RIGHT, false, true);
  const int before = view_->repaint_requests();
  view_->OnKey(pan);
  const double d = (XS + YS) * 4 * 0.5;
  EXPECT_NEAR(view_->centre_of_gravity().x, c0.x - d, 1e-12);
  EXPECT_NEAR(view_->centre_of_gravity().y, c0.y, 1e-12);
  EXPECT_GT(view_->repaint_requests(), before);
  EXPECT_EQ(t.RES_OUTLINE_VIEWZ_Z->read(), 1.0);
  // With no rotation step, plain and Shift arrows do nothing.
  t.RES_CURSOR_ROTATION->write(0);
  view_->get_orientation(f0, r0);
  for (bool shift : {false, true}) {
    wxKeyEvent e = key(WXK_UP, shift);
    view_->OnKey(e);
  }
  view_->get_orientation(f1, r1);
  EXPECT_EQ(f1[1], f0[1]);
  EXPECT_EQ(r1[1], r0[1]);
}

TEST_F(OutlineInput, ViewDialogsSetWhatTheirNumbersSay) {
  load(2);
  open();
  struct answer {
    bool ok;
    wxString text;
  };
  wxString caption, shown;
  answer next;
  view_->set_text_entry([&](const wxString& c, const wxString&, wxString& text) {
    caption = c;
    shown = text;
    if (next.ok) text = next.text;
    return next.ok;
  });
  const vec3_t c0 = view_->centre_of_gravity();
  auto press = [&](int code, answer a) {
    next = a;
    wxKeyEvent e = key(code);
    view_->OnKey(e);
  };
  press('c', {true, "1,2;3"});
  EXPECT_EQ(caption, "Centre of gravity in 3D window");
  EXPECT_EQ(shown, wxString::Format("%.3lf %.3lf %.3lf", c0.x, c0.y, c0.z));
  EXPECT_EQ(view_->centre_of_gravity().x, 1.0);
  EXPECT_EQ(view_->centre_of_gravity().y, 2.0);
  EXPECT_EQ(view_->centre_of_gravity().z, 3.0);
  press('C', {true, "7 8"});
  press('C', {false, "7 8 9"});
  EXPECT_EQ(view_->centre_of_gravity().x, 1.0);
  press('S', {true, "2 -1"});
  EXPECT_EQ(caption, "Scroll point in 3D window");
  EXPECT_EQ(view_->scroll_point_x(), 1.0);
  EXPECT_EQ(view_->scroll_point_y(), 0.0);
  // Right and front not orthogonal: the front is made orthogonal to the right.
  press('v', {true, "0 2 0, 0 1 1"});
  EXPECT_EQ(caption, "Orientation in 3D window");
  double f[3], r[3];
  view_->get_orientation(f, r);
  EXPECT_NEAR(r[1], 1.0, 1e-12);
  EXPECT_NEAR(f[1], 0.0, 1e-12);
  EXPECT_NEAR(f[2], 1.0, 1e-12);
}

TEST_F(OutlineInput, DragsTurnZoomAndFit) {
  load(2);
  open();
  resource_table_t& t = *resource_table;
  select_tool(0);
  double f0[3], r0[3];
  view_->get_orientation(f0, r0);
  wxMouseEvent down = mouse(wxEVT_LEFT_DOWN, 100, 100, true);
  view_->OnMouse(down);
  wxMouseEvent move = mouse(wxEVT_MOTION, 110, 100, true);
  view_->OnMouse(move);
  double f1[3], r1[3];
  view_->get_orientation(f1, r1);
  const vec3_t want = rodrigues({f0[0], f0[1], f0[2]}, {0, 1, 0}, -10);
  EXPECT_NEAR(f1[0], want.x, 1e-6);
  EXPECT_NEAR(f1[2], want.z, 1e-6);
  wxMouseEvent up = mouse(wxEVT_LEFT_UP, 110, 100);
  view_->OnMouse(up);
  EXPECT_FALSE(view_->dragging());
  // A right-button pan when the scene fits the window changes nothing and does not repaint.
  const double fitted = t.RES_OUTLINE_ZOOM->read();
  t.RES_OUTLINE_ZOOM->write(fitted / 2);
  const int32_t sx = view_->scroll_x(), sy = view_->scroll_y();
  wxMouseEvent rdown = mouse(wxEVT_RIGHT_DOWN, 100, 100, false, false, true);
  view_->OnMouse(rdown);
  const int repaints = view_->repaint_requests();
  wxMouseEvent rmove = mouse(wxEVT_MOTION, 130, 90, false, false, true);
  view_->OnMouse(rmove);
  EXPECT_EQ(view_->repaint_requests(), repaints);
  EXPECT_EQ(view_->scroll_x(), sx);
  EXPECT_EQ(view_->scroll_y(), sy);
  wxMouseEvent rup = mouse(wxEVT_RIGHT_UP, 130, 90);
  view_->OnMouse(rup);
  t.RES_OUTLINE_ZOOM->write(fitted);

  // Zoom drag: 50 pixels right gives 1.5 times the press zoom; leaving ends it.
  select_tool(6);
  const double z0 = t.RES_OUTLINE_ZOOM->read();
  wxMouseEvent zdown = mouse(wxEVT_LEFT_DOWN, 100, 50, true);
  view_->OnMouse(zdown);
  wxMouseEvent zmove = mouse(wxEVT_MOTION, 150, 50, true);
  view_->OnMouse(zmove);
  EXPECT_NEAR(t.RES_OUTLINE_ZOOM->read(), 1.5 * z0, 1e-12);
  wxMouseEvent zback = mouse(wxEVT_MOTION, 50, 50, true);
  view_->OnMouse(zback);
  EXPECT_NEAR(t.RES_OUTLINE_ZOOM->read(), z0 / 1.5, 1e-12);
  wxMouseEvent leave = mouse(wxEVT_LEAVE_WINDOW, 50, 50);
  view_->OnMouse(leave);
  EXPECT_FALSE(view_->dragging());
  EXPECT_NEAR(t.RES_OUTLINE_ZOOM->read(), z0 / 1.5, 1e-12);
  // A click without movement fits the scene and, with the zoom lock, the 2D views follow.
  t.RES_LOCK_ZOOM->write(true);
  wxMouseEvent cdown = mouse(wxEVT_LEFT_DOWN, 80, 80, true);
  view_->OnMouse(cdown);
  wxMouseEvent cup = mouse(wxEVT_LEFT_UP, 80, 80);
  view_->OnMouse(cup);
  const double fit = std::min(CW, CH) * XS / view_->view_extent();
  EXPECT_NEAR(t.RES_OUTLINE_ZOOM->read(), fit, 1e-9);
  EXPECT_NEAR(t.RES_CENTRE_ZOOM->read(), fit, 1e-9);
  EXPECT_NEAR(t.RES_REVIEW_ZOOM->read(), fit, 1e-9);
  t.RES_LOCK_ZOOM->write(false);
  // A perspective drag stays within 0..90.
  wxMouseEvent pdown = mouse(wxEVT_LEFT_DOWN, 100, 50, true);
  pdown.SetShiftDown(true);
  view_->OnMouse(pdown);
  for (int i = 0; i < 5; ++i) {
    wxMouseEvent pmove = mouse(wxEVT_MOTION, 400, 50, true);
    view_->OnMouse(pmove);
  }
  EXPECT_EQ(t.RES_OUTLINE_VIEW_ANGLE->read(), 90);
  wxMouseEvent pup = mouse(wxEVT_LEFT_UP, 400, 50);
  view_->OnMouse(pup);
  t.RES_OUTLINE_VIEW_ANGLE->write(0);
}

TEST_F(OutlineInput, ARightDragPansByTheScrollBarsWhenTheyAreOn) {
  load(2);
  resource_table_t& t = *resource_table;
  t.RES_USE_SCROLLBARS->write(true);
  t.RES_LOCK_ZOOM->write(true);
  open(wxWANTS_CHARS | wxHSCROLL | wxVSCROLL);
  t.RES_OUTLINE_ZOOM->write(t.RES_OUTLINE_ZOOM->read() * 4);
  ASSERT_TRUE(wait_until([&] { return view_->GetScrollRange(wxHORIZONTAL) > 1 && view_->scroll_x() > 30; }));
  const int h0 = view_->GetScrollPos(wxHORIZONTAL), v0 = view_->GetScrollPos(wxVERTICAL);
  select_tool(0);
  wxMouseEvent down = mouse(wxEVT_RIGHT_DOWN, 100, 100, false, false, true);
  view_->OnMouse(down);
  wxMouseEvent move = mouse(wxEVT_MOTION, 120, 93, false, false, true);
  view_->OnMouse(move);
  // Dragging right by 20 and up by 7 moves the scene with the pointer.
  EXPECT_EQ(view_->GetScrollPos(wxHORIZONTAL), h0 - 20);
  EXPECT_EQ(view_->GetScrollPos(wxVERTICAL), v0 + 7);
  EXPECT_EQ(view_->scroll_x(), h0 - 20);
  wxMouseEvent up = mouse(wxEVT_RIGHT_UP, 120, 93);
  view_->OnMouse(up);
  t.RES_USE_SCROLLBARS->write(false);
  t.RES_LOCK_ZOOM->write(false);
}

TEST_F(OutlineInput, MarkToolPlacesDragsAndErasesLandmarks) {
  load(2);
  open();
  resource_table_t& t = *resource_table;
  select_tool(2);
  landmarks& marks = *t.RES_LANDMARKS->read();
  marks.items.clear();
  // Over the background nothing is placed.
  inject_depth(1.0f);
  wxMouseEvent bg = mouse(wxEVT_LEFT_DOWN, 120, 90, true);
  view_->OnMouse(bg);
  EXPECT_EQ(marks.size(), 0u);
  EXPECT_GT(depth_reads_, 0);
  inject_depth(0.4f);
  const int raised = t.LANDMARK->counter();
  wxMouseEvent down = mouse(wxEVT_LEFT_DOWN, 120, 90, true);
  view_->OnMouse(down);
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].name, "Landmark 1");
  EXPECT_EQ(marks[0].kind, LM_DATA);
  EXPECT_GT(t.LANDMARK->counter(), raised);
  vec2_t at;
  view_->world_to_window({marks[0].x, marks[0].y, marks[0].z}, at);
  EXPECT_NEAR(at.x, 120, 1e-6);
  EXPECT_NEAR(at.y, 90, 1e-6);
  // Dragging moves the drag copy; the release writes it into the landmark.
  wxMouseEvent move = mouse(wxEVT_MOTION, 140, 60, true);
  view_->OnMouse(move);
  EXPECT_TRUE(view_->dragging());
  wxMouseEvent up = mouse(wxEVT_LEFT_UP, 140, 60);
  view_->OnMouse(up);
  view_->world_to_window({marks[0].x, marks[0].y, marks[0].z}, at);
  EXPECT_NEAR(at.x, 140, 1e-6);
  EXPECT_NEAR(at.y, 60, 1e-6);
  // A second click on it grabs it instead of placing another.
  wxMouseEvent again = mouse(wxEVT_LEFT_DOWN, 140, 60, true);
  view_->OnMouse(again);
  wxMouseEvent again_up = mouse(wxEVT_LEFT_UP, 140, 60);
  view_->OnMouse(again_up);
  EXPECT_EQ(marks.size(), 1u);
  // Two landmarks at the same place: the eraser removes only the first.
  marks.add_landmark({marks[0].x, marks[0].y, marks[0].z}, "Twin", LM_FIDUCIAL);
  select_tool(5);
  const int fiducials = t.FIDUCIAL->counter();
  wxMouseEvent erase = mouse(wxEVT_LEFT_DOWN, 140, 60, true);
  view_->OnMouse(erase);
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].name, "Twin");
  wxMouseEvent erase_up = mouse(wxEVT_LEFT_UP, 140, 60);
  view_->OnMouse(erase_up);
  view_->OnMouse(erase);
  EXPECT_EQ(marks.size(), 0u);
  EXPECT_GT(t.FIDUCIAL->counter(), fiducials);
  view_->OnMouse(erase_up);

  // Releasing a dragged fiducial raises FIDUCIAL only.
  select_tool(2);
  vec3_t under;
  ASSERT_TRUE(view_->click_to_world(under, 120, 90, -1.0));
  marks.add_landmark(under, "Fiducial 1", LM_FIDUCIAL);
  const int landmark_raises = t.LANDMARK->counter(), fiducial_raises = t.FIDUCIAL->counter();
  wxMouseEvent grab = mouse(wxEVT_LEFT_DOWN, 120, 90, true);
  view_->OnMouse(grab);
  wxMouseEvent grab_up = mouse(wxEVT_LEFT_UP, 120, 90);
  view_->OnMouse(grab_up);
  EXPECT_EQ(marks.size(), 1u);
  EXPECT_EQ(t.LANDMARK->counter(), landmark_raises);
  EXPECT_EQ(t.FIDUCIAL->counter(), fiducial_raises + 1);
}

TEST_F(OutlineInput, ShiftCyclesThroughOverlappingSurfacesAndTheProbeMeasuresOnTheThicknessPage) {
  load(2);
  resource_table_t& t = *resource_table;
  t.RES_SURFACE[0]->write(sphere(0, {1.6, 0.8, 0.0}, 0.5));
  t.RES_SURFACE[1]->write(sphere(1, {1.6, 0.8, 0.0}, 0.3));
  t.RES_OBJECT->read()[0].name = "Outer";
  t.RES_OBJECT->read()[1].name = "Inner";
  open();
  // The pointer over the spheres' centre at a depth in front of both.
  vec2_t centre;
  view_->world_to_window({1.6, 0.8, 0.0}, centre);
  const int x = int(std::lround(centre.x)), y = int(std::lround(centre.y));
  inject_depth(0.05f);
  select_tool(2);
  landmarks& marks = *t.RES_LANDMARKS->read();
  marks.items.clear();
  // Plain click: the nearest crossing (the outer sphere's front); each Shift
  // click the next crossing along the line, wrapping after the fourth.
  const int want_object[5] = {0, 1, 1, 0, 0};
  for (int k = 0; k < 5; ++k) {
    // Each new landmark lies where the last one was placed: move it away first.
    for (landmark_t& l : marks.items) l.x += 100;
    wxMouseEvent down = mouse(wxEVT_LEFT_DOWN, x, y, true);
    down.SetShiftDown(k > 0);
    view_->OnMouse(down);
    wxMouseEvent up = mouse(wxEVT_LEFT_UP, x, y);
    view_->OnMouse(up);
    ASSERT_EQ(marks.size(), size_t(k + 1));
    EXPECT_EQ(marks[k].kind, LM_SURFACE);
    EXPECT_EQ(marks[k].object, want_object[k]) << k;
  }
  EXPECT_EQ(view_->pick_cycle(), 4);
  // A surface landmark dragged off every surface stays where it was.
  const landmark_t placed = marks[4];
  for (landmark_t& l : marks.items) l.x += 100;
  marks[4] = placed;
  wxMouseEvent grab = mouse(wxEVT_LEFT_DOWN, x, y, true);
  // Grabbed where it lies: the depth point is the landmark itself.
  vec2_t on;
  view_->world_to_window({placed.x, placed.y, placed.z}, on);
  double depth = 0.0;
  {
    // The normalised depth of the landmark, from the view's own matrices.
    vec3_t c;
    matrix4_transform_point(c, view_->modelview_projection(), {placed.x, placed.y, placed.z});
    depth = c.z * 0.5 + 0.5;
  }
  inject_depth(float(depth));
  grab.m_x = int(std::lround(on.x)), grab.m_y = int(std::lround(on.y));
  view_->OnMouse(grab);
  ASSERT_TRUE(view_->dragging());
  EXPECT_EQ(view_->landmark_drag().target, 4u);
  wxMouseEvent away = mouse(wxEVT_MOTION, 5, 5, true);
  view_->OnMouse(away);
  wxMouseEvent away_up = mouse(wxEVT_LEFT_UP, 5, 5);
  view_->OnMouse(away_up);
  EXPECT_NEAR(marks[4].x, placed.x, 1e-9);
  EXPECT_NEAR(marks[4].z, placed.z, 1e-9);

  // The measure tool shows the probe text; the engine is called only on the Thickness page.
  struct call {
    int32_t frame;
    double range;
    probe_measurement at;
  };
  std::vector<call> calls;
  view_->set_thickness_measure([&](const probe_measurement& at, double range) {
    calls.push_back({at.frame, range, at});
    return true;
  });
  select_tool(4);
  t.RES_CURRENT_VISUAL_PAGE->write(0);
  wxMouseEvent probe = mouse(wxEVT_LEFT_DOWN, x, y, true);
  view_->OnMouse(probe);
  EXPECT_TRUE(t.RES_ALERT_STRING->read().StartsWith("Outer (")) << t.RES_ALERT_STRING->read();
  EXPECT_TRUE(calls.empty());
  wxMouseEvent probe_up = mouse(wxEVT_LEFT_UP, x, y);
  view_->OnMouse(probe_up);
  t.RES_CURRENT_VISUAL_PAGE->write(4);
  const int redisplays = t.RES_REDISPLAY_THICKNESS->counter();
  view_->OnMouse(probe);
  ASSERT_EQ(calls.size(), 1u);
  // The front of the outer sphere (z = 0.5) is nearest frame 1 (z = 0.1);
  // along its normal inwards the same surface is crossed again 1 cm away.
  EXPECT_EQ(calls[0].frame, 1);
  EXPECT_NEAR(calls[0].range, 1.0, 0.01);
  EXPECT_NEAR(calls[0].at.point[0], 1.6 / XS, 0.5);
  EXPECT_GT(t.RES_REDISPLAY_THICKNESS->counter(), redisplays);
  t.RES_CURRENT_VISUAL_PAGE->write(0);
}

}  // namespace

// On the Fit shape model page the Control drag shifts the model, the
// Control wheel scales it and the key R mirrors it; elsewhere they do not.
TEST_F(OutlineInput, OnTheShapeModelPageTheModelMovesByMouseAndKey) {
  load(2);
  open();
  resource_table_t& t = *resource_table;
  fit_model& m = *t.RES_FIT_MODEL->read();
  m.model.points = m.model.loaded_points = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}};
  m.model.triangles = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
  m.model.point_count = 4;
  m.model.triangle_count = 4;
  fit_model::compute_normals(m.model);
  fit_model::compute_bounds(m.model);
  matrix4_identity(m.registration);
  m.rebuild_model_surface();
  t.RES_TOOL->write(static_cast<tool_selection_t>(0));
  auto centre = [&] {
    vec3_t c;
    matrix4_transform_point(c, m.registration, m.model.centroid);
    return c;
  };
  t.RES_CURRENT_TASK_PAGE->write(0);
  wxKeyEvent r = key('r');
  view_->OnKey(r);
  EXPECT_GT(matrix4_determinant3(m.registration), 0) << "R does nothing on other pages";
  t.RES_CURRENT_TASK_PAGE->write(1);
  view_->OnKey(r);
  EXPECT_NEAR(matrix4_determinant3(m.registration), -1, 1e-12);
  view_->OnKey(r);
  EXPECT_NEAR(matrix4_determinant3(m.registration), 1, 1e-12);

  // A right-button Control drag of (20, 10) pixels in the default view
  // (right along x, up along y): 10 x RES_XSCALE / zoom mm per pixel.
  const vec3_t before = centre();
  wxMouseEvent down = mouse(wxEVT_RIGHT_DOWN, 100, 100, false, false, true);
  down.SetControlDown(true);
  view_->OnMouse(down);
  wxMouseEvent move = mouse(wxEVT_MOTION, 120, 110, false, false, true);
  move.SetControlDown(true);
  view_->OnMouse(move);
  wxMouseEvent up = mouse(wxEVT_RIGHT_UP, 120, 110);
  view_->OnMouse(up);
  const double k = 10 * t.RES_XSCALE->read() / t.RES_OUTLINE_ZOOM->read();
  const vec3_t moved = centre() - before;
  EXPECT_NEAR(moved.x, 20 * k, 1e-9);
  EXPECT_NEAR(moved.y, -10 * k, 1e-9);
  EXPECT_NEAR(moved.z, 0, 1e-9);

  // One wheel notch with Control scales the model about its centroid by 1 / 0.95.
  const vec3_t c0 = centre();
  wxMouseEvent wheel(wxEVT_MOUSEWHEEL);
  wheel.m_x = 50, wheel.m_y = 50;
  wheel.m_wheelRotation = 120, wheel.m_wheelDelta = 120;
  wheel.SetControlDown(true);
  const double zoom = t.RES_OUTLINE_ZOOM->read();
  view_->OnMouse(wheel);
  EXPECT_NEAR(std::cbrt(matrix4_determinant3(m.registration)), 1 / 0.95, 1e-12);
  EXPECT_NEAR(vec3_length(centre() - c0), 0, 1e-9);
  EXPECT_EQ(t.RES_OUTLINE_ZOOM->read(), zoom) << "the view's zoom stays";
}
