// Keys of the 2D views and mouse tools of the views of reslice planes,
// checked against rotations, positions and windows worked out here.
#include <gtest/gtest.h>
#include <wx/defs.h>

#include <cmath>
#include <memory>
#include <vector>

#include "data/calipers.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "registry/res_values.h"
#include "geometry_test_support.h"
#include "reslice_test_support.h"
#include "views/globcmap.h"
#include "views/plane_view_tools.h"
#include "views/reslice_internals.h"
#include "views/review_overlay_math.h"

namespace {

double dot(const vec3_t& a, const vec3_t& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void expect_near(const vec3_t& got, const vec3_t& want, double tol, const char* what) {
  EXPECT_NEAR(got.x, want.x, tol) << what;
  EXPECT_NEAR(got.y, want.y, tol) << what;
  EXPECT_NEAR(got.z, want.z, tol) << what;
}

// Counts the raises of a resource while it lives.
struct raise_counter {
  explicit raise_counter(base_res_t* r) : res(r), proc(this, &raise_counter::hit) {
    res->add_proc(&proc);
  }
  ~raise_counter() { res->remove_proc(&proc); }
  void hit() { ++count; }
  base_res_t* res;
  int count = 0;
  pmf_functor<raise_counter> proc;
};

class scripted_plane_host final : public plane_tool_host {
 public:
  int32_t select_tool(int32_t) override { return -1; }
  void refresh() override { ++refreshes; }
  void select_first_colour_mapping() override { ++mapping_resets; }
  bool pending_spine_level(int32_t& level, int32_t& part) override {
    level = spine_level;
    part = spine_part;
    return spine_level >= 0;
  }
  int refreshes = 0;
  int mapping_resets = 0;
  int32_t spine_level = -1, spine_part = 0;
};

// Frames 1 mm apart (pixel 0.5 mm, 48 x 48), lying flat at the given heights.
class PlaneViews : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = std::make_unique<headless_session>();
    cmap_ = std::make_unique<colour_map_scope>();
    contour_value_threshold = 10.0;
  }
  void TearDown() override {
    builders_.clear();
    cmap_.reset();
    session_.reset();
    set_reslice_dynamic_steps(1, 1);
    contour_value_threshold = 10.0;
  }
  resource_table_t& t() { return *resource_table; }
  reslice_info& plane(int i) { return t().RESLICE->read()[i]; }

  void load(std::vector<double> heights = {0.15, 0.2, 0.25, 0.3}) { stack_.load(heights); }
  reslice_internals& attach(int index, int32_t size = 48) {
    builders_.push_back(std::make_unique<reslice_internals>(index, size, size));
    return *builders_.back();
  }
  // A plane standing across the flat frames: image x along -x, image y along z.
  void stand(int index, const vec3_t& centre = {1.2, 1.2, 0.2}) {
    plane(index).set_plane({0, 1, 0}, centre, {0, 0, 1}, true);
  }

  void view(int32_t index, double zoom = 1.0, int32_t image = 48) {
    state_.view_index = index;
    state_.g.image_width = state_.g.image_height = image;
    state_.g.client_width = 200;
    state_.g.client_height = 150;
    state_.g.set_zoom(zoom, 1.0);
    state_.g.update_scroll_image();
    state_.image_shown = true;
  }
  void send(review_mouse_event::kind_t kind, int x, int y, int button = 1, bool held = true) {
    review_mouse_event e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = button;
    e.button_held = held;
    tools_.on_mouse(e);
  }
  void click(int x, int y, int button = 1) {
    send(review_mouse_event::PRESS, x, y, button);
    send(review_mouse_event::RELEASE, x, y, button, false);
  }
  void use_tool(int32_t tool) { t().RES_TOOL->write(static_cast<tool_selection_t>(tool)); }
  landmarks& marks() { return *t().RES_LANDMARKS->read(); }

  std::unique_ptr<headless_session> session_;
  std::unique_ptr<colour_map_scope> cmap_;
  std::vector<std::unique_ptr<reslice_internals>> builders_;
  synthetic_stack stack_;
  plane_view_state state_;
  scripted_plane_host host_;
  plane_view_tools tools_{state_, host_};
};

// ---- Keys ------------------------------------------------------------------

// Plane 0 turns by RES_CURSOR_ROTATION about the axis each key names; the
// expected frame is the start frame under a rotation matrix built here.
TEST_F(PlaneViews, ResliceKeysTurnThePlaneAboutTheNamedAxis) {
  load();
  attach(0);
  const vec3_t n0 = vec3_normalise({1, 2, 3});
  const vec3_t u0 = vec3_normalise(vec3_cross(n0, {1, 0, 0}));
  const vec3_t e0 = vec3_cross(u0, n0);
  t().RES_CURSOR_ROTATION->write(7);
  struct key_case {
    int code;
    bool shift;
    vec3_t axis;
    double angle;
  } cases[] = {
      {WXK_LEFT, false, u0, 7},  {WXK_RIGHT, false, u0, -7}, {WXK_UP, false, e0, -7},
      {WXK_DOWN, false, e0, 7},  {WXK_LEFT, true, n0, 7},    {WXK_RIGHT, true, n0, -7},
      {WXK_UP, true, n0, -7},    {WXK_DOWN, true, n0, 7},
  };
  for (const key_case& c : cases) {
    plane(0).set_plane(n0, {1.2, 1.2, 0.2}, u0, true);
    EXPECT_TRUE(centre_key(c.code, c.shift));
    expect_near(plane(0).normal, rotated(n0, c.axis, c.angle), 1e-12, "normal");
    expect_near(plane(0).up, rotated(u0, c.axis, c.angle), 1e-12, "up");
    expect_near(plane(0).centre, {1.2, 1.2, 0.2}, 1e-15, "centre");
  }
}

TEST_F(PlaneViews, PlaneStaysOrthonormalOverManyKeys) {
  load();
  attach(0);
  plane(0).set_plane(vec3_normalise({0.3, -0.2, 0.9}), {1, 1, 0.2}, {0, 1, 0}, true);
  t().RES_CURSOR_ROTATION->write(13);
  const int codes[] = {WXK_LEFT, WXK_UP, WXK_RIGHT, WXK_DOWN, WXK_UP, WXK_UP};
  for (int i = 0; i < 300; ++i) centre_key(codes[i % 6], i % 5 == 0);
  EXPECT_NEAR(vec3_length(plane(0).normal), 1.0, 1e-12);
  EXPECT_NEAR(vec3_length(plane(0).up), 1.0, 1e-12);
  EXPECT_NEAR(dot(plane(0).normal, plane(0).up), 0.0, 1e-12);
}

// Plane 3 (or 2) moves along its normal: left/right by RES_CURSOR_MOVEMENT
// mean pixels, up/down by one slice, or by the movement without a slice size.
TEST_F(PlaneViews, OrthoKeysMoveThePlaneAlongItsNormal) {
  load();
  attach(3);
  t().RES_CURSOR_MOVEMENT->write(3);
  t().RES_XSCALE->write(0.04);
  t().RES_YSCALE->write(0.06);  // mean pixel 0.05 cm, movement 0.15 cm
  struct move_case {
    double zscale;
    int code;
    double along;
  } cases[] = {{0.2, WXK_LEFT, -0.15}, {0.2, WXK_RIGHT, 0.15}, {-0.2, WXK_UP, 0.2},
               {0.2, WXK_DOWN, -0.2},  {0.0, WXK_UP, 0.15},    {0.0, WXK_DOWN, -0.15}};
  for (const move_case& c : cases) {
    t().RES_ZSCALE->write(c.zscale);
    stand(3);
    ASSERT_TRUE(centre_key(c.code, false));
    expect_near(plane(3).centre, {1.2, 1.2 + c.along, 0.2}, 1e-12, "centre");
    expect_near(plane(3).normal, {0, 1, 0}, 1e-15, "normal");
  }
}

TEST_F(PlaneViews, CornerKeysMovePlaneOneByOnePixelOrSlice) {
  load();
  attach(1);
  t().RES_CURSOR_MOVEMENT->write(9);  // not used by the corner view
  t().RES_XSCALE->write(0.04);
  t().RES_YSCALE->write(0.06);
  t().RES_ZSCALE->write(0.0);
  const struct {
    int code;
    double along;
  } cases[] = {{WXK_RIGHT, 0.05}, {WXK_LEFT, -0.05}, {WXK_UP, 0.05}, {WXK_DOWN, -0.05}};
  for (const auto& c : cases) {
    stand(1);
    ASSERT_TRUE(corner_key(c.code));
    expect_near(plane(1).centre, {1.2, 1.2 + c.along, 0.2}, 1e-12, "centre");
  }
  t().RES_ZSCALE->write(-0.3);
  stand(1);
  corner_key(WXK_DOWN);
  expect_near(plane(1).centre, {1.2, 0.9, 0.2}, 1e-12, "one slice down");
}

// Without a plane the arrows page through the frames, never beyond either end.
TEST_F(PlaneViews, ArrowsWithoutAPlaneStepFramesWithinRange) {
  load();
  t().RES_BUF_CURRENT_FRAME->write(0);
  centre_key(WXK_LEFT, false);
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 0);
  centre_key(WXK_UP, false);
  corner_key(WXK_RIGHT);
  review_key(WXK_RIGHT);
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 3);
  corner_key(WXK_UP);
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 3);
  corner_key(WXK_DOWN);
  review_key(WXK_LEFT);
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 1);
}

TEST_F(PlaneViews, ReviewKeysChangeThresholdAndFindContourFrames) {
  load({0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6});
  review_key('X');
  review_key('x');
  EXPECT_DOUBLE_EQ(contour_value_threshold, 22.5);
  review_key('Z');
  EXPECT_DOUBLE_EQ(contour_value_threshold, 15.0);

  t().CURRENT_OBJECT->write(4);
  auto& frames = t().RES_OBJECT->read()[4].frames;
  for (int f : {1, 3, 5}) {
    frames.emplace_back();
    frames.back().frame = f;
  }
  t().RES_BUF_CURRENT_FRAME->write(3);
  review_key(WXK_UP);
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 5);
  review_key(WXK_UP);  // no later contour
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 5);
  review_key(WXK_DOWN);
  review_key(WXK_DOWN);
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 1);
  review_key(WXK_DOWN);
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 1);
}

TEST_F(PlaneViews, SwitchKeysToggleAndOtherKeysPassOn) {
  const bool cog = t().RES_DISPLAY_COG->read(), pixels = t().RES_DISPLAY_PIXELS->read();
  EXPECT_TRUE(review_key(' '));
  EXPECT_TRUE(centre_key('G', false));
  EXPECT_TRUE(corner_key('g'));
  EXPECT_EQ(t().RES_DISPLAY_COG->read(), !cog);
  EXPECT_TRUE(corner_key('p'));
  EXPECT_EQ(t().RES_DISPLAY_PIXELS->read(), !pixels);
  for (int code : {int('Q'), int('a'), int(WXK_HOME), int(WXK_F5)}) {
    EXPECT_FALSE(review_key(code)) << code;
    EXPECT_FALSE(centre_key(code, false)) << code;
    EXPECT_FALSE(corner_key(code)) << code;
  }
}

// ---- Rotate drag -------------------------------------------------------------

// A drag by one client height turns the Reslice plane by 90 degrees: down
// about its in-plane x axis, right about minus its up axis. The coarse flag
// is on while dragging; the release brings exactly one full-quality build.
TEST_F(PlaneViews, RotateDragTurnsNinetyDegreesPerClientHeight) {
  load();
  reslice_internals& b = attach(0);
  plane(0).set_width(2100);  // large enough for a coarse step of 2
  plane(0).set_height(2100);
  view(1);
  use_tool(0);
  t().RES_CURRENT_VISUAL_PAGE->write(0);
  const vec3_t n0{0, 1, 0}, u0{0, 0, 1}, e0{-1, 0, 0};
  const struct {
    int dx, dy;
    vec3_t axis;
  } cases[] = {{0, 150, e0}, {150, 0, {0, 0, -1}}};
  for (const auto& c : cases) {
    stand(0);
    send(review_mouse_event::PRESS, 20, 0);
    EXPECT_TRUE(t().RES_DYNAMIC_UPDATE->read());
    send(review_mouse_event::MOTION, 20 + c.dx, c.dy);
    EXPECT_EQ(b.pixel_step(), 2);
    expect_near(plane(0).normal, rotated(n0, c.axis, 90), 1e-12, "normal");
    expect_near(plane(0).up, rotated(u0, c.axis, 90), 1e-12, "up");
    raise_counter builds(t().RES_REDISPLAY_RESLICE0);
    send(review_mouse_event::RELEASE, 20 + c.dx, c.dy, 1, false);
    EXPECT_FALSE(t().RES_DYNAMIC_UPDATE->read());
    EXPECT_EQ(builds.count, 1);
    EXPECT_EQ(b.pixel_step(), 1);
    EXPECT_TRUE(b.valid());
  }
}

TEST_F(PlaneViews, RotateDragOnAnOrthoPlaneOnlySwitchesTheCoarseFlag) {
  load();
  attach(2);
  view(1);
  use_tool(0);
  stand(2);
  send(review_mouse_event::PRESS, 10, 10);
  send(review_mouse_event::MOTION, 10, 100);
  EXPECT_TRUE(t().RES_DYNAMIC_UPDATE->read());
  expect_near(plane(2).normal, {0, 1, 0}, 0, "normal");
  send(review_mouse_event::LEAVE, 10, 100, 0, false);
  EXPECT_FALSE(t().RES_DYNAMIC_UPDATE->read());
}

// ---- Landmarks -----------------------------------------------------------------

// Frame lines on plane 1 lie at image rows 23, 24, 25 and 26 (heights 1.5 to
// 3 mm, centre 2 mm, 0.5 mm pixels). A click at row 25.25 snaps to frame 2.
TEST_F(PlaneViews, MarkSnapsToNearestFrameLineAndMovesTheFrame) {
  load();
  attach(1);
  stand(1);
  view(2, 4.0);
  use_tool(2);
  t().RES_SEE_MARK->write(true);
  t().RES_BUF_CURRENT_FRAME->write(0);
  const struct {
    bool snap;
    double z;
    int frame;
  } cases[] = {{true, 0.25, 2}, {false, 0.2 + 0.05 * 1.25, 0}};
  for (const auto& c : cases) {
    marks().items.clear();
    t().RES_BUF_CURRENT_FRAME->write(0);
    t().RES_SNAP_LANDMARKS->write(c.snap);
    raise_counter raised(t().LANDMARK);
    click(40, 101);  // image (10, 25.25)
    ASSERT_EQ(marks().size(), 1u);
    EXPECT_NEAR(marks()[0].x, 1.2 + 0.05 * 14, 1e-9);
    EXPECT_NEAR(marks()[0].y, 1.2, 1e-9);
    EXPECT_NEAR(marks()[0].z, c.z, 1e-9);
    EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), c.frame);
    EXPECT_EQ(raised.count, 1);
  }
}

TEST_F(PlaneViews, MarkOnSpinePagePlacesTheChosenLevel) {
  load();
  attach(1);
  stand(1);
  view(2);
  use_tool(2);
  t().RES_SEE_MARK->write(true);
  t().RES_SNAP_LANDMARKS->write(false);
  t().RES_CURRENT_TASK_PAGE->write(6);
  host_.spine_level = 3;
  host_.spine_part = 1;
  click(10, 30);
  size_t pos = 0;
  ASSERT_TRUE(marks().find_spine_landmark(1, 3, pos));
  EXPECT_NEAR(marks()[pos].z, 0.2 + 0.05 * 6, 1e-9);
}

// A landmark on the plane is picked within the mouse sensitivity, dragged
// and dropped; Erase removes only one that lies within the slab.
TEST_F(PlaneViews, LandmarkDragAndEraseWorkWithinTheSlab) {
  load();
  attach(1);
  stand(1);
  view(2);
  t().RES_SEE_MARK->write(true);
  t().RES_SNAP_LANDMARKS->write(false);
  t().RES_MOUSE_SENSITIVITY->write(4);
  // Image (10, 30) is world (1.9, 1.2, 0.5); the second lies 1 mm off the plane.
  marks().add_default_landmark({1.9, 1.2, 0.5}, LM_FIDUCIAL);
  marks().add_default_landmark({1.9, 1.3, 0.5}, LM_DATA);
  use_tool(2);
  raise_counter fiducial(t().FIDUCIAL);
  send(review_mouse_event::PRESS, 12, 31);
  ASSERT_TRUE(state_.landmark_drag);
  send(review_mouse_event::MOTION, 20, 31);
  EXPECT_DOUBLE_EQ(marks()[0].x, 1.9);  // kept until the drop
  send(review_mouse_event::RELEASE, 20, 34, 1, false);
  EXPECT_FALSE(state_.landmark_drag);
  EXPECT_NEAR(marks()[0].x, 1.2 - 0.05 * (20 - 24), 1e-9);
  EXPECT_NEAR(marks()[0].z, 0.2 + 0.05 * (34 - 24), 1e-9);
  EXPECT_EQ(fiducial.count, 1);
  EXPECT_EQ(marks().size(), 2u);

  use_tool(5);
  click(10, 30);  // only the off-plane landmark projects here
  EXPECT_EQ(marks().size(), 2u);
  click(20, 34);
  ASSERT_EQ(marks().size(), 1u);
  EXPECT_EQ(marks()[0].kind, LM_DATA);
  EXPECT_EQ(fiducial.count, 2);
}

// Plane 1 stands at y = 1.2 cm with 0.5 mm pixels: the slab is 0.25 mm.
TEST_F(PlaneViews, LandmarksDrawnNearThePlane) {
  load();
  attach(1);
  stand(1);
  const struct {
    double y;
    int32_t kind;
  } placed[] = {{1.2, LM_DATA},     {1.23, LM_DATA},   {1.2001, LM_FIDUCIAL}, {1.2, LM_2D},
                {1.23, LM_SURFACE}, {1.5, LM_SURFACE}, {1.17, LM_SPINE}};
  for (const auto& p : placed) {
    landmark_t lm;
    lm.x = 1.9;
    lm.y = p.y;
    lm.z = 0.5;
    lm.kind = p.kind;
    marks().items.push_back(lm);
  }
  state_.landmark_drag = true;
  state_.landmark_index = 2;
  state_.landmark_drag_x = 7;
  state_.landmark_drag_y = 8;
  const auto shown = plane_landmarks(plane(1), 0.05, state_);
  ASSERT_EQ(shown.size(), 3u);  // on the plane, the dragged one, the near surface landmark
  EXPECT_EQ(shown[0].index, 0u);
  EXPECT_NEAR(shown[0].x, 10, 1e-9);
  EXPECT_NEAR(shown[0].y, 30, 1e-9);
  EXPECT_EQ(shown[1].index, 2u);
  EXPECT_DOUBLE_EQ(shown[1].x, 7);
  EXPECT_DOUBLE_EQ(shown[1].y, 8);
  EXPECT_EQ(shown[2].index, 4u);
  EXPECT_NEAR(shown[2].z, 0.03, 1e-9);
  // A thick slab widens the tolerance.
  plane(1).set_thickness(0.05);
  EXPECT_EQ(plane_landmarks(plane(1), 0.05, state_).size(), 6u);
}

// ---- Calipers, zoom and pan --------------------------------------------------

TEST_F(PlaneViews, CalipersBelongToTheViewThatSetThem) {
  load();
  attach(0);
  attach(1);
  view(1, 2.0);
  use_tool(4);
  click(20, 30);
  click(60, 10);
  calipers_t c = t().RES_CALIPERS->read();
  EXPECT_EQ(c.view, 1);
  EXPECT_TRUE(c.first_set && c.second_set);
  EXPECT_DOUBLE_EQ(c.first_x, 10);
  EXPECT_DOUBLE_EQ(c.first_y, 15);
  EXPECT_DOUBLE_EQ(c.second_x, 30);
  EXPECT_DOUBLE_EQ(c.second_y, 5);
  click(20, 30);  // a third click starts a new pair
  c = t().RES_CALIPERS->read();
  EXPECT_TRUE(c.first_set && !c.second_set);
  view(2, 1.0);
  click(7, 9);  // the corner view takes the pair over
  c = t().RES_CALIPERS->read();
  EXPECT_EQ(c.view, 2);
  EXPECT_TRUE(c.first_set && !c.second_set);
  EXPECT_DOUBLE_EQ(c.first_x, 7);
}

TEST(PlaneCalipers, StatusTextOnlyForTheOwningView) {
  calipers_t c;
  c.first_x = 10;
  c.first_y = 20;
  c.second_x = 110;
  c.second_y = 20;
  c.first_set = c.second_set = true;
  c.view = 2;
  wxString text = "old";
  ASSERT_TRUE(plane_calipers_text(c, 2, 0.01, text));
  EXPECT_EQ(text, "Reslice distance measurement 10.0 mm");
  c.second_x = 40;  // 30 x 40 pixels of 0.02 cm: 1 cm
  c.second_y = 60;
  ASSERT_TRUE(plane_calipers_text(c, 2, 0.02, text));
  EXPECT_EQ(text, "Reslice distance measurement 10.0 mm");
  text = "old";
  EXPECT_FALSE(plane_calipers_text(c, 1, 0.02, text));  // the centre view's are not these
  EXPECT_EQ(text, "old");
  c.second_set = false;
  ASSERT_TRUE(plane_calipers_text(c, 2, 0.02, text));
  EXPECT_EQ(text, "");
  c.first_set = false;
  EXPECT_FALSE(plane_calipers_text(c, 2, 0.02, text));
}

// Font 20 px: the nominal bar is 66 px, its length in mm decides the unit.
TEST(PlaneScaleBar, RoundValueUnitAndLength) {
  const struct {
    double xscale, zoom;
    double value;
    bool fifths;
    double length;
    const char* unit;
  } cases[] = {
      {0.01, 1.0, 10, false, 100, "mm"},     // 6.6 mm
      {0.1, 0.5, 20, false, 100, "cm"},      // 132 mm
      {1e-5, 1.0, 10, false, 100, "um"},     // 6.6 um
      {100, 1.0, 100, false, 100, "m"},      // 66 m
      {0.03, 1.0, 2, false, 200 / 3.0, "cm"},  // 19.8 mm: 1.98 cm
      {0.1, 3.0, 5, true, 150, "cm"},        // 22 mm: 2.2 cm in fifths
  };
  for (const auto& c : cases) {
    const scale_bar_t b = plane_scale_bar(20, c.xscale, c.zoom);
    ASSERT_TRUE(b.ok) << c.xscale;
    EXPECT_DOUBLE_EQ(b.value, c.value) << c.xscale;
    EXPECT_EQ(b.fifths, c.fifths) << c.xscale;
    EXPECT_NEAR(b.length, c.length, 1e-9) << c.xscale;
    EXPECT_EQ(b.unit_name, c.unit) << c.xscale;
  }
  // No pixel size or zoom: nothing to show, and no endless unit search.
  EXPECT_FALSE(plane_scale_bar(20, 0.0, 1.0).ok);
  EXPECT_FALSE(plane_scale_bar(20, 0.01, 0.0).ok);
  EXPECT_FALSE(plane_scale_bar(20, std::nan(""), 1.0).ok);
}

TEST_F(PlaneViews, DragZoomClickFitsAndLockedZoomsFollow) {
  load();
  attach(0);
  view(1, 1.0, 64);
  t().RES_CENTRE_ZOOM->write(1.0);
  use_tool(6);
  t().RES_LOCK_ZOOM->write(true);
  click(50, 50);
  const double fit = 150.0 / 64.0;
  EXPECT_DOUBLE_EQ(t().RES_CENTRE_ZOOM->read(), fit);
  EXPECT_DOUBLE_EQ(t().RES_REVIEW_ZOOM->read(), fit);
  EXPECT_DOUBLE_EQ(t().RES_CORNER_ZOOM->read(), fit);
  EXPECT_DOUBLE_EQ(t().RES_OUTLINE_ZOOM->read(), fit);

  // Dragging right by 50 px zooms by 1.5 and keeps the pressed point in place.
  t().RES_LOCK_ZOOM->write(false);
  t().RES_CENTRE_ZOOM->write(2.0);
  state_.g.scroll_x = 10;
  state_.g.scroll_y = 20;
  send(review_mouse_event::PRESS, 40, 30);
  send(review_mouse_event::MOTION, 90, 30);
  EXPECT_DOUBLE_EQ(t().RES_CENTRE_ZOOM->read(), 3.0);
  EXPECT_EQ(state_.g.scroll_x, static_cast<int>(1.5 * (10 + 40) - 90));
  EXPECT_EQ(state_.g.scroll_y, static_cast<int>(1.5 * (20 + 30) - 30));
  EXPECT_TRUE(state_.zoom_positioned);
  send(review_mouse_event::MOTION, 15, 30);  // 25 px left of the press: 2 / 1.25
  EXPECT_DOUBLE_EQ(t().RES_CENTRE_ZOOM->read(), 1.6);
  send(review_mouse_event::RELEASE, 15, 30, 1, false);
  EXPECT_FALSE(state_.zoom_drag);
  EXPECT_DOUBLE_EQ(t().RES_REVIEW_ZOOM->read(), fit);
}

TEST_F(PlaneViews, WheelZoomsAlsoWithoutAPlane) {
  view(1);
  t().RES_SCROLL_ZOOM->write(10);
  t().RES_CENTRE_ZOOM->write(2.0);
  use_tool(6);
  send(review_mouse_event::PRESS, 5, 5);
  EXPECT_FALSE(state_.zoom_drag);  // no plane, no zoom drag
  review_mouse_event e;
  e.kind = review_mouse_event::WHEEL;
  e.wheel_rotation = 240;
  tools_.on_mouse(e);
  EXPECT_DOUBLE_EQ(t().RES_CENTRE_ZOOM->read(), 2.0 * 1.2);
  e.wheel_rotation = -120;
  tools_.on_mouse(e);
  EXPECT_DOUBLE_EQ(t().RES_CENTRE_ZOOM->read(), 2.4 / 1.1);
}

TEST_F(PlaneViews, PanDragClampsToTheDisplay) {
  load();
  attach(1);
  view(2, 4.0, 100);  // display 400 x 400 in 200 x 150
  use_tool(0);
  t().RES_USE_SCROLLBARS->write(false);
  send(review_mouse_event::PRESS, 100, 100, 3);
  send(review_mouse_event::MOTION, 60, 80);
  EXPECT_EQ(state_.g.scroll_x, 40);
  EXPECT_EQ(state_.g.scroll_y, 20);
  send(review_mouse_event::MOTION, -1000, -1000);
  EXPECT_EQ(state_.g.scroll_x, 200);
  EXPECT_EQ(state_.g.scroll_y, 250);
  send(review_mouse_event::RELEASE, 0, 0, 3, false);
  EXPECT_FALSE(state_.pan_drag);
  // A left press in the corner view neither pans nor rotates.
  send(review_mouse_event::PRESS, 100, 100, 1);
  EXPECT_FALSE(state_.pan_drag || state_.rotate_drag);
}

TEST_F(PlaneViews, CornerViewIgnoresTheMouseWhileNothingIsShown) {
  view(2);
  state_.image_shown = false;
  t().RES_CORNER_ZOOM->write(1.0);
  review_mouse_event e;
  e.kind = review_mouse_event::WHEEL;
  e.wheel_rotation = 120;
  tools_.on_mouse(e);
  EXPECT_DOUBLE_EQ(t().RES_CORNER_ZOOM->read(), 1.0);
}

// ---- Volume panel ----------------------------------------------------------

class VolumePanel : public PlaneViews {
 protected:
  void SetUp() override {
    PlaneViews::SetUp();
    view(1);
    use_tool(0);
    t().RES_CURRENT_VISUAL_PAGE->write(3);
    t().RES_MOUSE_SENSITIVITY->write(5);
    t().RES_BUF_DICOM->write(true);
    dicom_utility::data_8bit = false;  // 16-bit data
    t().RES_CMAP_LABELS->write(false);
    t().RES_DICOM_HUM->write(1.0);
    t().RES_DICOM_HUB->write(-1000.0);
    state_.histogram_low = 0;
    state_.histogram_high = 1000;  // data -1000 .. 0
    state_.handles[0] = {100, 50, 2, 0};
    state_.handles[1] = {160, 50, 2, 0};
    state_.handles[2 + 3] = {120, 80, 1, 0.5};
  }
  void window(double centre, double width) {
    t().RES_DICOM_WIN_CENTRE->write(centre);
    t().RES_DICOM_WIN_WIDTH->write(width);
  }
  double centre() { return t().RES_DICOM_WIN_CENTRE->pending(); }
  double width() { return t().RES_DICOM_WIN_WIDTH->pending(); }
};

TEST_F(VolumePanel, PressPullsAWindowBeyondTheDataIntoIt) {
  const struct {
    double c, w, want_c, want_w;
    int redraws;
  } cases[] = {{0, 1000, -250, 500, 1},        // reaches above the data
               {-1200, 1000, -850, 300, 1},    // reaches below
               {-500, 2000, -500, 1000, 1},    // both
               {-500, 200, -500, 200, 0}};     // inside: left alone
  for (const auto& c : cases) {
    window(c.c, c.w);
    raise_counter redraw(t().RES_DICOM_REDRAW);
    click(10, 10);
    EXPECT_DOUBLE_EQ(centre(), c.want_c);
    EXPECT_DOUBLE_EQ(width(), c.want_w);
    EXPECT_EQ(redraw.count, c.redraws);
  }
  t().RES_CMAP_LABELS->write(true);
  window(0, 1000);
  click(10, 10);
  EXPECT_DOUBLE_EQ(width(), 1000);
}

// Handle 0 sits at window (100, 50): mouse (100, 100) in a 150-high client.
TEST_F(VolumePanel, WindowHandlesMoveOneEndAndKeepTheOther) {
  window(-500, 200);  // -600 .. -400
  send(review_mouse_event::PRESS, 103, 98);
  ASSERT_TRUE(state_.handle_drag);
  EXPECT_EQ(state_.handle, 0);
  send(review_mouse_event::MOTION, 113, 98);  // +20 units
  EXPECT_DOUBLE_EQ(centre() - width() / 2, -580);
  EXPECT_DOUBLE_EQ(centre() + width() / 2, -400);
  EXPECT_TRUE(t().RES_DYNAMIC_VOLUME->pending());
  // Past the high end the window keeps one unit rather than turning over.
  send(review_mouse_event::MOTION, 400, 98);
  EXPECT_DOUBLE_EQ(width(), 1);
  EXPECT_DOUBLE_EQ(centre() + width() / 2, -400);
  raise_counter volume(t().VOLUME);
  send(review_mouse_event::RELEASE, 400, 98, 1, false);
  EXPECT_FALSE(t().RES_DYNAMIC_VOLUME->read());
  EXPECT_EQ(volume.count, 1);

  window(-500, 200);
  send(review_mouse_event::PRESS, 160, 100);
  EXPECT_EQ(state_.handle, 1);
  send(review_mouse_event::MOTION, 150, 100);  // -20 units at the high end
  EXPECT_DOUBLE_EQ(centre() - width() / 2, -600);
  EXPECT_DOUBLE_EQ(centre() + width() / 2, -420);
  send(review_mouse_event::RELEASE, 150, 100, 1, false);

  t().RES_CMAP_LABELS->write(true);
  window(-500, 200);
  send(review_mouse_event::PRESS, 100, 100);
  send(review_mouse_event::MOTION, 130, 100);
  EXPECT_DOUBLE_EQ(centre(), -500);
  EXPECT_DOUBLE_EQ(width(), 200);
  EXPECT_EQ(state_.drag_start_x, 130);
  send(review_mouse_event::RELEASE, 130, 100, 1, false);
}

TEST_F(VolumePanel, RowHandleChangesValueAndOpacityWithinBytes) {
  window(-500, 200);
  volume_object& row = t().RES_VOLUME->read()[3];
  row.data_value = 100;
  row.opacity = 240;
  send(review_mouse_event::PRESS, 120, 70);  // window (120, 80)
  ASSERT_EQ(state_.handle, 5);
  send(review_mouse_event::MOTION, 127, 50);  // +7 value, +10 opacity
  EXPECT_EQ(row.data_value, 107);
  EXPECT_EQ(row.opacity, 250);
  EXPECT_EQ(host_.mapping_resets, 1);
  send(review_mouse_event::MOTION, 127, 0);  // +25 opacity: held at 255
  EXPECT_EQ(row.opacity, 255);
  send(review_mouse_event::MOTION, -500, 0);  // far left: value held at 0
  EXPECT_EQ(row.data_value, 0);
  send(review_mouse_event::RELEASE, -500, 0, 1, false);
  EXPECT_FALSE(state_.handle_drag);
  // Handles that are not shown are never picked.
  state_.handles[5].scale_x = 0;
  send(review_mouse_event::PRESS, 120, 70);
  EXPECT_FALSE(state_.handle_drag);
}

}  // namespace
