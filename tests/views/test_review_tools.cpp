// The review view's mouse tools, driven by scripted events over a headless session.
#include <cmath>

#include "review_tools_support.h"
#include "data/calipers.h"
#include "views/review_coords.h"

namespace {

constexpr int32_t kDrag = 0, kMark = 2, kDraw = 3, kMeasure = 4, kErase = 5, kDragZoom = 6;

TEST_F(ReviewTools, ButtonOverridesSwitchToolsWhileHeld) {
  load(1, 400, 300);
  resource_table_t& t = *resource_table;
  t.RES_MOUSE_RIGHT_OVERRIDE->write(kDragZoom + 1);
  t.RES_MOUSE_MIDDLE_OVERRIDE->write(kDrag + 1);
  use_tool(kDraw);

  // A right drag zooms, and Draw comes back at the release.
  press(50, 40, 3);
  EXPECT_EQ(static_cast<int32_t>(t.RES_TOOL->read()), kDragZoom);
  EXPECT_EQ(state.saved_tool, kDraw + 1);
  EXPECT_TRUE(state.zoom_drag);
  drag(80, 40, 3);
  EXPECT_GT(t.RES_REVIEW_ZOOM->read(), 1.0);
  release(80, 40, 3);
  EXPECT_EQ(static_cast<int32_t>(t.RES_TOOL->read()), kDraw);
  EXPECT_EQ(state.saved_tool, -1);

  // An override equal to the current tool changes nothing.
  use_tool(kDragZoom);
  press(10, 10, 3);
  EXPECT_EQ(state.saved_tool, -1);
  release(10, 10, 3);

  // Leaving the window before the release restores the tool.
  use_tool(kMeasure);
  press(10, 10, 2);
  EXPECT_EQ(static_cast<int32_t>(t.RES_TOOL->read()), kDrag);
  leave(300, 10);
  EXPECT_EQ(static_cast<int32_t>(t.RES_TOOL->read()), kMeasure);
  EXPECT_EQ(state.saved_tool, -1);
}

TEST_F(ReviewTools, NothingHappensBeforeAFrameIsShown) {
  load(1, 40, 30);
  state.image_shown = false;
  use_tool(kMeasure);
  press(5, 5);
  EXPECT_FALSE(resource_table->RES_CALIPERS->read().first_set);
}

TEST_F(ReviewTools, DragToolReadsOutPixelsInsideTheImageOnly) {
  load(1, 40, 30);
  use_tool(kDrag);
  struct readout_case {
    int x, y;
    const char* expected;
  } cases[] = {
      {39, 29, "Pixel (39,29) value 126"},  // last column and row: 39 + 3 x 29
      {0, 0, "Pixel (0,0) value 0"},
      {7, 2, "Pixel (7,2) value 13"},
      {40, 29, "unchanged"},  // one beyond the last column
      {39, 30, "unchanged"},
  };
  for (const readout_case& c : cases) {
    resource_table->RES_ALERT_STRING->write("unchanged");
    press(c.x, c.y);
    EXPECT_EQ(status(), c.expected) << c.x << "," << c.y;
    resource_table->RES_ALERT_STRING->write("unchanged");
    release(c.x, c.y);
    EXPECT_EQ(status(), c.expected) << "release " << c.x << "," << c.y;
  }
}

class ReviewWindowDrag : public ReviewTools {
 protected:
  void SetUp() override {
    load(2, 40, 30, true);
    resource_table_t& t = *resource_table;
    t.RES_BUF_DICOM->write(true);
    t.RES_DICOM_WIN_CENTRE->write(300.0);
    t.RES_DICOM_WIN_WIDTH->write(500.0);
    t.RES_DICOM_HUM->write(1.0);
    t.RES_DICOM_HUB->write(-1024.0);
    t.RES_DICOM_UNITS->write("HU");
    t.RES_DICOM_BMD_OFFSET->write(0.0);
    t.RES_DICOM_BMD_SCALE->write(1.0);
    use_tool(kDrag);
  }
};

TEST_F(ReviewWindowDrag, DragMovesCentreAndWidthAndRaisesOneRedrawAtRelease) {
  resource_table_t& t = *resource_table;
  const int32_t redraws = t.RES_DICOM_REDRAW->counter();
  press(10, 5);
  EXPECT_TRUE(state.window_drag);
  drag(15, 7);
  drag(20, 10);
  EXPECT_EQ(t.RES_DICOM_REDRAW->counter(), redraws);  // nothing raised while dragging
  release(20, 10);
  EXPECT_DOUBLE_EQ(t.RES_DICOM_WIN_CENTRE->read(), 340.0);  // 300 + 4 x 10
  EXPECT_DOUBLE_EQ(t.RES_DICOM_WIN_WIDTH->read(), 520.0);   // 500 + 4 x 5
  EXPECT_EQ(t.RES_DICOM_REDRAW->counter(), redraws + 1);
  EXPECT_FALSE(state.window_drag);

  // A click without movement raises nothing.
  press(12, 12);
  release(12, 12);
  EXPECT_EQ(t.RES_DICOM_REDRAW->counter(), redraws + 1);
}

// The window width divides every windowing; a drag never takes it below 1.
TEST_F(ReviewWindowDrag, WidthStaysAtLeastOne) {
  press(10, 200);
  drag(10, 0);
  release(10, 0);
  EXPECT_DOUBLE_EQ(resource_table->RES_DICOM_WIN_WIDTH->read(), 1.0);
}

TEST_F(ReviewWindowDrag, LabelsModeChangesNothing) {
  resource_table_t& t = *resource_table;
  t.RES_CMAP_LABELS->write(true);
  const int32_t redraws = t.RES_DICOM_REDRAW->counter();
  press(10, 5);
  drag(30, 15);
  release(30, 15);
  EXPECT_DOUBLE_EQ(t.RES_DICOM_WIN_CENTRE->read(), 300.0);
  EXPECT_DOUBLE_EQ(t.RES_DICOM_WIN_WIDTH->read(), 500.0);
  EXPECT_EQ(t.RES_DICOM_REDRAW->counter(), redraws);
}

TEST_F(ReviewWindowDrag, ReadOutForms) {
  resource_table_t& t = *resource_table;
  // Pixel (10, 5): raw 1000 + 5 x 40 + 10 = 1210, calibrated 1210 - 1024 = 186.
  EXPECT_EQ(review_tools::window_readout(10, 5, 1210), "Window 300+/-250, pixel (10,5) value 186 (HU)");
  t.RES_DICOM_BMD_OFFSET->write(100.0);
  t.RES_DICOM_BMD_SCALE->write(2.0);
  EXPECT_EQ(review_tools::window_readout(10, 5, 1210),
            "Window 300+/-250, pixel (10,5) value 186 HU 43 mg/cm^3");
  t.RES_CMAP_BINARY->write(true);
  t.RES_CMAP_GREY_LO->write(100);
  t.RES_CMAP_GREY_HI->write(200);
  t.RES_CMAP_GREY_ANTI->write(250);
  t.RES_DICOM_WIN_CENTRE->write(40.0);
  t.RES_DICOM_WIN_WIDTH->write(400.0);
  // (G - 127) x 400 / 256 + 40: -2.19, 154.06, 232.19.
  EXPECT_EQ(review_tools::window_readout(10, 5, 1210),
            "Window 40+/-200, pixel (10,5), thresholds (-2,154,232) HU");
}

TEST_F(ReviewWindowDrag, DragShowsTheWindowReadOutOfThePixel) {
  press(10, 5);
  drag(11, 5);
  EXPECT_EQ(status(), "Window 304+/-250, pixel (11,5) value 187 (HU)");
  release(11, 5);
}

class ReviewZoomTools : public ReviewTools {
 protected:
  void SetUp() override {
    load(1, 400, 300);
    state.g.scroll_x = 100;
    state.g.scroll_y = 50;
    state.g.update_scroll_image();
    resource_table->RES_REVIEW_ZOOM->write(1.0);
    resource_table->RES_SCROLL_ZOOM->write(5);
  }
  // What the view does with a new zoom whose offsets the tool placed.
  void adopt_zoom() {
    state.g.set_zoom(resource_table->RES_REVIEW_ZOOM->read(), 1.0);
    state.g.update_scroll_image();
  }
};

TEST_F(ReviewZoomTools, DragRightDoublesAndKeepsThePressedPointUnderTheMouse) {
  use_tool(kDragZoom);
  double px, py;
  state.g.mouse_to_image(50, 40, px, py);
  press(50, 40);
  drag(150, 40);
  EXPECT_DOUBLE_EQ(resource_table->RES_REVIEW_ZOOM->read(), 2.0);
  EXPECT_TRUE(state.zoom_positioned);
  adopt_zoom();
  double x, y;
  state.g.mouse_to_image(150, 40, x, y);
  EXPECT_NEAR(x, px, 0.5);
  EXPECT_NEAR(y, py, 0.5);
  EXPECT_DOUBLE_EQ(px, 150.0);
  // A hundred pixels left of the press halves the zoom.
  drag(-50, 40);
  EXPECT_DOUBLE_EQ(resource_table->RES_REVIEW_ZOOM->read(), 0.5);
  release(-50, 40);
  EXPECT_FALSE(state.zoom_drag);
}

TEST_F(ReviewZoomTools, ClickWithoutMovementFitsTheImage) {
  use_tool(kDragZoom);
  resource_table->RES_REVIEW_ZOOM->write(3.0);
  press(60, 60);
  release(60, 60);
  // min(150 / 300, 200 / 400)
  EXPECT_DOUBLE_EQ(resource_table->RES_REVIEW_ZOOM->read(), 0.5);
}

TEST_F(ReviewZoomTools, WheelStepsAndLockedZooms) {
  resource_table_t& t = *resource_table;
  t.RES_LOCK_ZOOM->write(true);
  use_tool(kMeasure);
  wheel(20, 20, 120);
  EXPECT_DOUBLE_EQ(t.RES_REVIEW_ZOOM->read(), 1.05);
  EXPECT_DOUBLE_EQ(t.RES_CENTRE_ZOOM->read(), 1.05);
  EXPECT_DOUBLE_EQ(t.RES_CORNER_ZOOM->read(), 1.05);
  EXPECT_DOUBLE_EQ(t.RES_OUTLINE_ZOOM->read(), 1.05);
  adopt_zoom();
  wheel(20, 20, -120);
  EXPECT_DOUBLE_EQ(t.RES_REVIEW_ZOOM->read(), 1.0);
  wheel(20, 20, 0);
  EXPECT_DOUBLE_EQ(t.RES_REVIEW_ZOOM->read(), 1.0);
}

TEST_F(ReviewTools, PanMovesTheOffsetsWithinRange) {
  load(1, 400, 300);
  resource_table_t& t = *resource_table;
  t.RES_USE_SCROLLBARS->write(false);
  t.RES_MOUSE_RIGHT_OVERRIDE->write(0);
  use_tool(kDrag);
  press(100, 100, 3);
  ASSERT_TRUE(state.pan_drag);
  drag(80, 90, 3);
  EXPECT_EQ(state.g.scroll_x, 20);
  EXPECT_EQ(state.g.scroll_y, 10);
  EXPECT_TRUE(state.image_dirty);
  drag(500, 500, 3);  // clamped at 0
  EXPECT_EQ(state.g.scroll_x, 0);
  EXPECT_EQ(state.g.scroll_y, 0);
  drag(-1000, -1000, 3);  // clamped at display - client
  EXPECT_EQ(state.g.scroll_x, 200);
  EXPECT_EQ(state.g.scroll_y, 150);
  release(-1000, -1000, 3);
  EXPECT_FALSE(state.pan_drag);
}

TEST_F(ReviewTools, CalipersThreeClickCycle) {
  load(1, 40, 30);
  resource_table_t& t = *resource_table;
  use_tool(kMeasure);
  press(10, 10);
  release(10, 10);
  calipers_t c = t.RES_CALIPERS->read();
  EXPECT_TRUE(c.first_set);
  EXPECT_FALSE(c.second_set);
  EXPECT_DOUBLE_EQ(c.first_x, 10.0);
  press(13, 14);
  release(13, 14);
  c = t.RES_CALIPERS->read();
  EXPECT_TRUE(c.second_set);
  EXPECT_DOUBLE_EQ(c.second_x, 13.0);
  EXPECT_DOUBLE_EQ(c.second_y, 14.0);
  press(20, 21);
  c = t.RES_CALIPERS->read();
  EXPECT_TRUE(c.first_set);
  EXPECT_FALSE(c.second_set);
  EXPECT_DOUBLE_EQ(c.first_y, 21.0);
  release(20, 21);

  // A half-placed pair of the centre view: the review view starts its own.
  calipers_t centre;
  centre.first_set = true;
  centre.view = 1;
  t.RES_CALIPERS->write(centre);
  press(5, 6);
  c = t.RES_CALIPERS->read();
  EXPECT_EQ(c.view, 0);
  EXPECT_TRUE(c.first_set);
  EXPECT_FALSE(c.second_set);
  EXPECT_DOUBLE_EQ(c.first_x, 5.0);
}

class ReviewLandmarks : public ReviewTools {
 protected:
  void SetUp() override {
    load(8, 40, 30);
    resource_table_t& t = *resource_table;
    t.RES_XSCALE->write(0.01);
    t.RES_YSCALE->write(0.01);
    t.RES_ZSCALE->write(0.0);
    t.RES_MOUSE_SENSITIVITY->write(5);
    t.RES_SEE_MARK->write(true);
    list = t.RES_LANDMARKS->read();
    ASSERT_NE(list, nullptr);
  }
  landmarks* list = nullptr;
};

TEST_F(ReviewLandmarks, WithoutPositionsMarkPlacesA2DLandmark) {
  resource_table_t& t = *resource_table;
  t.RES_POS_REC->write(false);
  t.RES_BUF_CURRENT_FRAME->write(3);
  const int32_t raised = t.LANDMARK->counter();
  use_tool(kMark);
  press(12, 8);
  release(12, 8);
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ((*list)[0].kind, LM_2D);
  EXPECT_NEAR((*list)[0].x, 0.12, 1e-12);
  EXPECT_NEAR((*list)[0].y, 0.08, 1e-12);
  EXPECT_DOUBLE_EQ((*list)[0].z, 3.0);
  EXPECT_EQ(t.LANDMARK->counter(), raised + 1);
}

TEST_F(ReviewLandmarks, A2DLandmarkIsPickedOnlyOnItsFrame) {
  resource_table_t& t = *resource_table;
  list->add_landmark(vec3_t{0.12, 0.08, 7.0}, "seven", LM_2D);
  use_tool(kErase);
  t.RES_BUF_CURRENT_FRAME->write(0);
  press(12, 8);
  release(12, 8);
  EXPECT_EQ(list->size(), 1u);
  t.RES_BUF_CURRENT_FRAME->write(7);
  const int32_t raised = t.LANDMARK->counter();
  press(13, 9);
  release(13, 9);
  EXPECT_EQ(list->size(), 0u);
  EXPECT_EQ(t.LANDMARK->counter(), raised + 1);
}

TEST_F(ReviewLandmarks, DragAndDropMovesALandmarkToTheDropPoint) {
  resource_table_t& t = *resource_table;
  t.RES_POS_REC->write(true);
  t.RES_BUF_CURRENT_FRAME->write(2);
  position_t p;
  p.z = 0.2f;  // frame 2's position
  const image_calibration_t c = calibration_from_resources();
  const vec3_t at = frame_pixel_to_world(c, p, 20.0, 10.0);
  list->add_landmark(at, "fid", LM_FIDUCIAL);
  const int32_t fiducials = t.FIDUCIAL->counter();
  use_tool(kMark);
  press(21, 11);
  ASSERT_TRUE(state.landmark_drag);
  EXPECT_EQ(list->size(), 1u);  // picked, not added
  drag(30, 15);
  EXPECT_DOUBLE_EQ(state.landmark_drag_x, 30.0);
  release(30, 15);
  EXPECT_FALSE(state.landmark_drag);
  const vec3_t expected = frame_pixel_to_world(c, p, 30.0, 15.0);
  EXPECT_NEAR((*list)[0].x, expected.x, 1e-9);
  EXPECT_NEAR((*list)[0].y, expected.y, 1e-9);
  EXPECT_NEAR((*list)[0].z, expected.z, 1e-9);
  EXPECT_EQ((*list)[0].kind, LM_FIDUCIAL);
  EXPECT_EQ(t.FIDUCIAL->counter(), fiducials + 1);
}

// A landmark that is drawn can be picked: the hit test uses the drawing tolerance.
TEST_F(ReviewLandmarks, PickingUsesTheDrawingTolerance) {
  resource_table_t& t = *resource_table;
  t.RES_POS_REC->write(true);
  t.RES_ZSCALE->write(0.6);  // drawn within 0.3 cm of the plane
  t.RES_BUF_CURRENT_FRAME->write(0);
  position_t p;
  const image_calibration_t c = calibration_from_resources();
  vec3_t near = frame_pixel_to_world(c, p, 20.0, 10.0);
  near.z += 0.2;
  vec3_t far = frame_pixel_to_world(c, p, 5.0, 5.0);
  far.z += 0.4;
  list->add_landmark(near, "near", LM_DATA);
  list->add_landmark(far, "far", LM_DATA);
  use_tool(kErase);
  press(5, 5);
  release(5, 5);
  EXPECT_EQ(list->size(), 2u);
  press(20, 10);
  release(20, 10);
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ((*list)[0].name, "far");
}

TEST_F(ReviewLandmarks, FitModelPageNamesTheLandmark) {
  resource_table_t& t = *resource_table;
  t.RES_POS_REC->write(true);
  t.RES_CURRENT_TASK_PAGE->write(1);
  use_tool(kMark);
  host.undefined = "nasion";
  press(10, 10);
  release(10, 10);
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ((*list)[0].name, "nasion");
  EXPECT_EQ((*list)[0].kind, LM_DATA);
  // With every model landmark placed the click adds no landmark.
  host.undefined = "none";
  press(30, 20);
  release(30, 20);
  EXPECT_EQ(list->size(), 1u);
}

}  // namespace
