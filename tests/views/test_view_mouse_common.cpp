// The mouse-tool steps the three 2D views share, with values worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "registry/res_values.h"
#include "tools/headless_session.h"
#include "views/view_mouse_common.h"

namespace {

// A drag of d pixels from x 200 at drag zoom 2, and wheel steps at 5 % a step.
TEST(ViewMouseCommon, DragAndWheelZoomSteps) {
  view_mouse_state s;
  s.drag_start_x = 200;
  s.drag_zoom = 2.0;
  struct drag_case {
    int32_t mx;
    double zoom;
  } drags[] = {
      {300, 4.0},  // 100 right doubles
      {100, 1.0},  // 100 left halves
      {250, 3.0},  // 50 right: (1 + 0.5) x 2
      {150, 2.0 / 1.5},
      {200, 2.0},
  };
  for (const drag_case& c : drags) EXPECT_DOUBLE_EQ(drag_zoom_to(s, c.mx), c.zoom) << c.mx;

  struct wheel_case {
    int32_t rotation, delta;
    double zoom;
  } wheels[] = {
      {120, 120, 2.0 * 1.05},
      {-120, 120, 2.0 / 1.05},
      {240, 120, 2.0 * 1.10},
      {60, 120, 2.0 * 1.025},
      {-120, 0, 2.0 / 1.05},  // a zero delta counts as the usual 120
  };
  for (const wheel_case& c : wheels) {
    review_mouse_event e;
    e.kind = review_mouse_event::WHEEL;
    e.wheel_rotation = c.rotation;
    e.wheel_delta = c.delta;
    EXPECT_DOUBLE_EQ(wheel_zoom_to(s, e, 5.0), c.zoom) << c.rotation << "/" << c.delta;
  }
}

// Each view's calipers: a click completes a pair only the same view started.
TEST(ViewMouseCommon, CaliperClicksStartAndCompletePairsPerView) {
  struct click_case {
    calipers_t before;
    int32_t view;
    bool first_moved, second_set;
  };
  calipers_t half;  // first point of the review view set
  half.first_set = true;
  half.first_x = 1.0;
  half.first_y = 2.0;
  calipers_t half_centre = half;
  half_centre.view = 1;
  calipers_t full = half;
  full.second_set = true;
  const click_case cases[] = {
      {calipers_t(), 0, true, false},  // nothing set: the first point
      {half, 0, false, true},          // the second point of the view's pair
      {half, 2, true, false},          // another view's half pair: a new pair
      {half_centre, 1, false, true},
      {half_centre, 0, true, false},
      {full, 0, true, false},  // a full pair: start again
  };
  for (const click_case& c : cases) {
    calipers_t k = c.before;
    caliper_click(k, c.view, 7.0, 8.0);
    EXPECT_EQ(k.view, c.view);
    EXPECT_TRUE(k.first_set);
    EXPECT_EQ(k.second_set, c.second_set);
    if (c.first_moved) {
      EXPECT_EQ(k.first_x, 7.0);
      EXPECT_EQ(k.first_y, 8.0);
    } else {
      EXPECT_EQ(k.first_x, 1.0);
      EXPECT_EQ(k.second_x, 7.0);
      EXPECT_EQ(k.second_y, 8.0);
    }
  }
}

// With the zooms locked, every other view's zoom, the 3D view's too, takes
// the zoom of the view that changed; unlocked, nothing follows.
TEST(ViewMouseCommon, LockedZoomsFollowTheViewThatChanged) {
  headless_session session;
  resource_table_t& t = *resource_table;
  const std::vector<double_res_t*> zooms = {t.RES_REVIEW_ZOOM, t.RES_CENTRE_ZOOM,
                                            t.RES_CORNER_ZOOM, t.RES_OUTLINE_ZOOM};
  for (double_res_t* own : {t.RES_REVIEW_ZOOM, t.RES_CENTRE_ZOOM, t.RES_CORNER_ZOOM}) {
    for (bool locked : {false, true}) {
      for (size_t i = 0; i < zooms.size(); ++i) zooms[i]->write(1.0 + i);
      own->write(7.5);
      t.RES_LOCK_ZOOM->write(locked);
      follow_locked_zoom(own);
      for (size_t i = 0; i < zooms.size(); ++i) {
        const double expected = zooms[i] == own || locked ? 7.5 : 1.0 + i;
        EXPECT_EQ(zooms[i]->read(), expected) << own->name() << " locked " << locked << " zoom " << i;
      }
    }
  }
}

}  // namespace
