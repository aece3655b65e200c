// The graphics and display dialog: what its controls show, what they write,
// the dragging rule, the refusals while the 3D view has no shader programs,
// and a picked background reaching the 3D view's pixels.
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <wx/clrpicker.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "common/log_capture.h"
#include "registry/resource_table.h"
#include "render3d/outline_canvas.h"
#include "settings/graphics_dlg.h"
#include "settings_gui_support.h"
#include "views/screen_capture.h"
#include "views/shader.h"

namespace {

resource_table_t& rt() { return *resource_table; }

// A main window whose 3D view has not painted yet: a shader set that has
// installed nothing; records the toolbar sizes it is asked for.
struct unpainted_host final : settings_host {
  void send_enter_on_focus_loss(wxWindow*) override {}
  void set_toolbar_icon_size(int32_t code) override { icon_sizes.push_back(code); }
  const shader* outline_shaders() override { return &set; }
  shader set;
  std::vector<int32_t> icon_sizes;
};

// A dialog of its own in place of the main window's, which the command
// table then forwards to; the main window's comes back at the end.
struct own_dialog {
  explicit own_dialog(settings_host& host) : d(new graphics_dlg(main_frame, host)) {
    kept = main_frame->graphics_dialog;
    main_frame->graphics_dialog = d;
  }
  ~own_dialog() {
    main_frame->graphics_dialog = kept;
    d->stop_listening();
    d->Destroy();
  }
  graphics_dlg* d;
  graphics_dlg* kept;
};

// Puts the graphics resources back as a test found them.
struct graphics_values {
  graphics_values() {
    for (base_res_t* r : resources()) saved.push_back(r->get_value_as_string());
  }
  ~graphics_values() {
    base_res_t::hold_pending_writes(true);
    std::vector<base_res_t*> r = resources();
    for (size_t k = 0; k < r.size(); ++k) {
      wxString line = wxString(r[k]->name()) + " " + saved[k];
      base_res_t::parse_no_changeprocs(line, -1);
    }
    rt().RES_DYNAMIC_VOLUME->write_no_changeprocs(false);
    base_res_t::hold_pending_writes(false);
    base_res_t::make_pending_writes_happen();
  }
  static std::vector<base_res_t*> resources() {
    resource_table_t& t = rt();
    return {t.RES_TRANSLUCENT_LAYERS, t.RES_FOCUS_RANGE, t.RES_FOCUS_DEPTH, t.RES_BACKGROUND,
            t.RES_BACKGROUND_CONST, t.RES_SHADER, t.RES_GLUT_FONT, t.RES_ICON_SIZE, t.RES_LIGHTING_AMBIENT,
            t.RES_OCCLUSION_RANGE, t.RES_LIGHTING_FRONT_SIDE, t.RES_LIGHTING_LEFT_RIGHT,
            t.RES_LIGHTING_UP_DOWN, t.RES_VOLUME_BRIGHTNESS, t.RES_RADIANT_SHADOWS};
  }
  std::vector<wxString> saved;
};

void reset_to_defaults() {
  for (base_res_t* r : graphics_values::resources()) r->reset_to_default();
  base_res_t::make_pending_writes_happen();
}

bool forced_gl21() {
  const char* v = std::getenv("MESA_GL_VERSION_OVERRIDE");
  return v && std::string(v) == "2.1";
}

}  // namespace

TEST(GraphicsDialog, DefaultsShowAsTheirPositionsAndNames) {
  graphics_values keep;
  reset_to_defaults();
  unpainted_host host;
  own_dialog g(host);
  graphics_dlg* d = g.d;
  struct row {
    wxSlider* slider;
    int position;
  };
  const row rows[] = {{d->translucent, 6}, {d->focus_range, 0}, {d->focus_depth, 50}, {d->ambient, 10},
                      {d->occlusion, 4},   {d->balance, 75},    {d->rotation, 125},   {d->position, 25},
                      {d->brightness, 0}};
  for (const row& r : rows) EXPECT_EQ(r.slider->GetValue(), r.position) << r.slider->GetId();
  EXPECT_EQ(d->shader_choice->GetStringSelection(), "Cook Torrance");
  EXPECT_EQ(d->shader_choice->GetString(0), "None");
  EXPECT_EQ(d->font->GetStringSelection(), "Cabin 28");
  EXPECT_EQ(d->font->GetCount(), 11u);
  EXPECT_EQ(d->font->GetString(10), "Cabin 96");
  EXPECT_EQ(d->icon_size->GetStringSelection(), "auto");
  EXPECT_EQ(d->background->GetColour(), wxColour(128, 128, 128));
  EXPECT_FALSE(d->uniform->GetValue());
  EXPECT_TRUE(d->radiant->GetValue());
}

// The handler writes position / scale; the refresh shows the value again at
// the nearest position, so every position survives.
TEST(GraphicsDialog, EverySliderPositionSurvivesTheWriteAndTheRefresh) {
  graphics_values keep;
  graphics_dlg* d = main_frame->graphics_dialog;
  resource_table_t& t = rt();
  struct row {
    wxSlider* slider;
    int high;
    std::function<double()> value;
    double scale, offset;
  };
  const row rows[] = {
      {d->focus_range, 100, [&] { return t.RES_FOCUS_RANGE->read(); }, 100, 0},
      {d->focus_depth, 100, [&] { return t.RES_FOCUS_DEPTH->read(); }, 100, 0},
      {d->ambient, 100, [&] { return t.RES_LIGHTING_AMBIENT->read(); }, 100, 0},
      {d->balance, 100, [&] { return t.RES_LIGHTING_FRONT_SIDE->read(); }, 100, 0},
      {d->rotation, 200, [&] { return t.RES_LIGHTING_LEFT_RIGHT->read(); }, 100, -1},
      {d->position, 100, [&] { return t.RES_LIGHTING_UP_DOWN->read(); }, 50, -1},
      {d->brightness, 100, [&] { return double(t.RES_VOLUME_BRIGHTNESS->read()); }, 1, 0},
  };
  for (const row& r : rows)
    for (int p = r.high; p >= 0; --p) {
      scroll(r.slider, p, wxEVT_SCROLL_PAGEDOWN);
      ASSERT_NEAR(r.value(), p / r.scale + r.offset, 1e-12) << r.slider->GetId() << " at " << p;
      ASSERT_EQ(r.slider->GetValue(), p) << r.slider->GetId();
    }
  // A value written elsewhere shows at its nearest position.
  t.RES_LIGHTING_AMBIENT->write(0.29);
  EXPECT_EQ(d->ambient->GetValue(), 29);
  t.RES_LIGHTING_LEFT_RIGHT->write(0.25);
  EXPECT_EQ(d->rotation->GetValue(), 125);
  t.RES_LIGHTING_UP_DOWN->write(-0.5);
  EXPECT_EQ(d->position->GetValue(), 25);
  t.RES_VOLUME_BRIGHTNESS->write(37);
  EXPECT_EQ(d->brightness->GetValue(), 37);
}

TEST(GraphicsDialog, ADragRendersCoarselyAndEndsWithOneFullRedraw) {
  graphics_values keep;
  graphics_dlg* d = main_frame->graphics_dialog;
  resource_table_t& t = rt();
  t.RES_LIGHTING_LEFT_RIGHT->write(0.25);
  ASSERT_EQ(d->rotation->GetValue(), 125);
  change_counter redraws(t.RES_REDISPLAY_VOLUME);
  for (int p = 126; p <= 150; ++p) {
    scroll(d->rotation, p, wxEVT_SCROLL_THUMBTRACK);
    ASSERT_NEAR(t.RES_LIGHTING_LEFT_RIGHT->read(), p / 100.0 - 1, 1e-12);
    ASSERT_TRUE(t.RES_DYNAMIC_VOLUME->read());
  }
  EXPECT_EQ(redraws.count, 0);
  scroll(d->rotation, 150, wxEVT_SCROLL_THUMBRELEASE);
  scroll(d->rotation, 150, wxEVT_SCROLL_CHANGED);
  EXPECT_FALSE(t.RES_DYNAMIC_VOLUME->read());
  EXPECT_EQ(redraws.count, 1);
  EXPECT_NEAR(t.RES_LIGHTING_LEFT_RIGHT->read(), 0.5, 1e-12);

  // A page click writes its value and leaves coarse rendering alone.
  t.RES_FOCUS_DEPTH->write(0.5);
  scroll(d->focus_depth, 60, wxEVT_SCROLL_PAGEDOWN);
  EXPECT_NEAR(t.RES_FOCUS_DEPTH->read(), 0.6, 1e-12);
  EXPECT_FALSE(t.RES_DYNAMIC_VOLUME->read());
  EXPECT_EQ(redraws.count, 1);
}

namespace {

struct refusal {
  const char* feature;
  std::function<void(graphics_dlg*)> refused;   // switches the feature on
  std::function<void(graphics_dlg*)> accepted;  // the same control, feature off
  base_res_t* res;
};

std::vector<refusal> refusals() {
  resource_table_t& t = rt();
  return {
      {"Correct translucency", [](graphics_dlg* d) { scroll(d->translucent, 5); },
       [](graphics_dlg* d) { scroll(d->translucent, 0); }, t.RES_TRANSLUCENT_LAYERS},
      {"Varying background", [](graphics_dlg* d) { tick(d->uniform, false); },
       [](graphics_dlg* d) { tick(d->uniform, true); }, t.RES_BACKGROUND_CONST},
      {"Shaders", [](graphics_dlg* d) { choose(d->shader_choice, 2); },
       [](graphics_dlg* d) { choose(d->shader_choice, 0); }, t.RES_SHADER},
      {"Ambient occlusion", [](graphics_dlg* d) { scroll(d->occlusion, 7, wxEVT_SCROLL_THUMBTRACK); },
       [](graphics_dlg* d) { scroll(d->occlusion, 0); }, t.RES_OCCLUSION_RANGE},
      {"Radiant shadows", [](graphics_dlg* d) { tick(d->radiant, true); },
       [](graphics_dlg* d) { tick(d->radiant, false); }, t.RES_RADIANT_SHADOWS},
  };
}

// Sets every feature off through the control, then switches each on: with
// `refuse` each warns once and keeps its resource; otherwise each takes it.
void check_refusals(graphics_dlg* d, bool refuse) {
  for (const refusal& r : refusals()) {
    log_capture log;
    r.accepted(d);
    EXPECT_EQ(log.count(wxLOG_Warning), 0) << r.feature;
    const wxString off = r.res->get_value_as_string();
    r.refused(d);
    const std::string warning =
        std::string(r.feature) + " not currently available.\nThis feature requires at least OpenGL version 3.0.";
    if (refuse) {
      EXPECT_EQ(log.count(wxLOG_Warning), 1) << r.feature;
      EXPECT_TRUE(log.has(wxLOG_Warning, warning)) << r.feature;
      EXPECT_EQ(r.res->get_value_as_string(), off) << r.feature;
    } else {
      EXPECT_EQ(log.count(wxLOG_Warning), 0) << r.feature;
      EXPECT_NE(r.res->get_value_as_string(), off) << r.feature;
    }
  }
  // The refused controls stay as the user left them.
  if (refuse) {
    EXPECT_EQ(d->translucent->GetValue(), 5);
    EXPECT_EQ(d->shader_choice->GetSelection(), 2);
    EXPECT_FALSE(d->uniform->GetValue());
  }
}

}  // namespace

TEST(GraphicsDialog, BeforeTheFirstPaintTheFiveOpenGL3FeaturesAreRefused) {
  graphics_values keep;
  unpainted_host host;
  own_dialog g(host);
  check_refusals(g.d, true);
}

// The 3D view of the main window after its first paint: programs installed,
// except on a context limited to OpenGL 2.1.
TEST(GraphicsDialog, AfterThePaintTheRefusalsFollowTheOpenGLVersion) {
  graphics_values keep;
  outline_canvas* view = main_frame->outline_view;
  ASSERT_NE(view, nullptr);
  view->Refresh(false);
  ASSERT_TRUE(wait_until([&] { return view->paints() > 0; }));
  const bool gl21 = forced_gl21();
  EXPECT_EQ(view->shader_set().installed_mask == 0, gl21);
  check_refusals(main_frame->graphics_dialog, gl21);
}

TEST(GraphicsDialog, RefreshFollowsResourcesChangedElsewhereWithinRange) {
  graphics_values keep;
  graphics_dlg* d = main_frame->graphics_dialog;
  resource_table_t& t = rt();
  t.RES_SHADER->write(1);
  EXPECT_EQ(d->shader_choice->GetStringSelection(), "Standard Phong");
  t.RES_SHADER->write(7);
  EXPECT_EQ(d->shader_choice->GetStringSelection(), "Standard Phong");
  t.RES_SHADER->write(-1);
  EXPECT_EQ(d->shader_choice->GetStringSelection(), "None");
  t.RES_BACKGROUND->write("#204060");
  EXPECT_EQ(d->background->GetColour(), wxColour(0x20, 0x40, 0x60));
  t.RES_BACKGROUND->write("no colour at all");
  EXPECT_EQ(d->background->GetColour(), wxColour(0x20, 0x40, 0x60));
  t.RES_TRANSLUCENT_LAYERS->write(13);
  EXPECT_EQ(d->translucent->GetValue(), 13);
  t.RES_OCCLUSION_RANGE->write(9);
  EXPECT_EQ(d->occlusion->GetValue(), 9);
  t.RES_RADIANT_SHADOWS->write(false);
  EXPECT_FALSE(d->radiant->GetValue());
  t.RES_BACKGROUND_CONST->write(true);
  EXPECT_TRUE(d->uniform->GetValue());
  // The font and icon size follow only the user.
  const int font = d->font->GetSelection();
  t.RES_GLUT_FONT->write(font == 0 ? 1 : 0);
  EXPECT_EQ(d->font->GetSelection(), font);
  choose(d->font, 9);
  EXPECT_EQ(t.RES_GLUT_FONT->read(), 9);
}

TEST(GraphicsDialog, IconSizeRebuildsTheToolbarEveryTime) {
  graphics_values keep;
  unpainted_host host;
  own_dialog g(host);
  choose(g.d->icon_size, 0);
  choose(g.d->icon_size, 0);
  choose(g.d->icon_size, 3);
  EXPECT_EQ(host.icon_sizes, (std::vector<int32_t>{-1, -1, 2}));
  EXPECT_EQ(rt().RES_ICON_SIZE->read(), 2);
}

// A colour picked in the dialog becomes the 3D view's background.
TEST(GraphicsDialog, PickedBackgroundFillsTheThreeDView) {
  graphics_values keep;
  close_data();
  graphics_dlg* d = main_frame->graphics_dialog;
  outline_canvas* view = main_frame->outline_view;
  ASSERT_TRUE(view->IsShownOnScreen());
  tick(d->uniform, true);
  const wxColour picked(0x12, 0xAB, 0x34);
  d->background->SetColour(picked);
  wxColourPickerEvent event(d->background, d->background->GetId(), picked);
  d->background->GetEventHandler()->ProcessEvent(event);
  EXPECT_EQ(rt().RES_BACKGROUND->read(), "#12AB34");
  const wxSize size = view->GetClientSize();
  ASSERT_GT(size.x, 4);
  ASSERT_GT(size.y, 4);
  const wxPoint corner = view->ClientToScreen(wxPoint(1, 1));
  EXPECT_TRUE(wait_until([&] {
    view->Refresh(false);
    const std::vector<uint8_t> s = screenshot(corner, 2, 2);
    return s.size() == 12 && s[0] == 0x12 && s[1] == 0xAB && s[2] == 0x34;
  }));
}
