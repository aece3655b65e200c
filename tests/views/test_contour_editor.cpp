// Contour drawing and editing with the Draw, Select and Erase tools, driven by
// scripted mouse events through the review view's tools over a headless
// session. Expected polygons are worked out by hand from the strokes.
#include <cmath>
#include <deque>
#include <functional>

#include "review_tools_support.h"
#include "medical/dicom_utility.h"
#include "surfaces/surface_interp.h"
#include "views/contour_editor.h"
#include "views/review_overlay_math.h"

namespace {

constexpr int32_t kSelect = 1, kDraw = 3, kErase = 5;

// Answers questions from a script and records what was asked.
class scripted_contour_ui final : public contour_editor_ui {
 public:
  bool ask(const wxString& caption, const wxString& question) override {
    asked.push_back(caption + "|" + question);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  int choose(const wxString& caption, const wxString& message,
             const std::vector<wxString>& choices) override {
    dialog = caption + "|" + message;
    offered = choices;
    for (size_t i = 0; i < choices.size(); ++i)
      if (choices[i] == pick) return static_cast<int>(i);
    return -1;
  }
  void refresh() override { ++refreshes; }
  void mask_data(frame_contours_t* region, const contour_t* outline) override {
    ++masks;
    if (region) mask_region = *region;
    if (outline) mask_outline = *outline;
  }

  std::deque<bool> answers;
  std::vector<wxString> asked;
  wxString pick;  // the label chosen in the group dialog; none chosen cancels
  wxString dialog;
  std::vector<wxString> offered;
  int refreshes = 0;
  int masks = 0;
  frame_contours_t mask_region;
  contour_t mask_outline;
};

// A segmentation that answers with one square around the click.
class fake_segmenter final : public click_segmenter {
 public:
  void contours_from_label(int32_t label, int32_t object, int32_t frame, int32_t) override {
    labels.push_back({label, object, frame});
  }
  frame_contours_t segment(const uint8_t*, int32_t, int32_t, int32_t cx, int32_t cy, int32_t,
                           double tolerance) override {
    tolerances.push_back(tolerance);
    frame_contours_t f;
    contour_t c;
    c.vertices = {{cx - 2.0, cy - 2.0}, {cx + 2.0, cy - 2.0}, {cx + 2.0, cy + 2.0}};
    c.closed = true;
    f.contours.push_back(c);
    return f;
  }
  void segment3(int32_t frame, int32_t cx, int32_t cy, int32_t, double) override {
    volumes.push_back({frame, cx, cy});
  }
  std::vector<std::vector<int32_t>> labels, volumes;
  std::vector<double> tolerances;
};

contour_t polygon(std::vector<vec2_t> v, bool closed = true) {
  contour_t c;
  c.vertices = std::move(v);
  c.closed = closed;
  return c;
}

// Shoelace area, written apart from the data model's.
double shoelace(const std::vector<vec2_t>& v) {
  double s = 0.0;
  for (size_t i = 0; i < v.size(); ++i) {
    const vec2_t& a = v[i];
    const vec2_t& b = v[(i + 1) % v.size()];
    s += a.x * b.y - b.x * a.y;
  }
  return s / 2.0;
}

bool proper_crossing(const vec2_t& p1, const vec2_t& p2, const vec2_t& p3, const vec2_t& p4) {
  auto side = [](const vec2_t& a, const vec2_t& b, const vec2_t& c) {
    const double d = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    return d > 1e-9 ? 1 : (d < -1e-9 ? -1 : 0);
  };
  return side(p1, p2, p3) * side(p1, p2, p4) < 0 && side(p3, p4, p1) * side(p3, p4, p2) < 0;
}

class ContourEditor : public ReviewTools {
 protected:
  void SetUp() override {
    load(2, 100, 100);
    resource_table_t& t = *resource_table;
    t.RES_SEE_DRAW->write(true);
    t.RES_EXPERT_MODE->write(false);
    t.RES_SIMPLIFY_THRESH->write(3);
    t.RES_MOUSE_SENSITIVITY->write(5);
    t.RES_MOUSE_RIGHT_OVERRIDE->write(0);
    t.RES_SEGMENT_FRAME->write(0);
    tools.set_contour_editor(&editor);
    editor.set_segmenter(&segmenter);
    use_tool(kDraw);
  }
  contour_object& object(int k) { return resource_table->RES_OBJECT->read()[k]; }
  frame_contours_t* entry(int k, int frame = 0) { return object(k).find_frame(frame); }
  void click(int x, int y) {
    press(x, y);
    release(x, y);
  }
  // A stroke through the points with the button held.
  void stroke(const std::vector<vec2_t>& points) {
    press(static_cast<int>(points[0].x), static_cast<int>(points[0].y));
    for (size_t i = 1; i < points.size(); ++i)
      drag(static_cast<int>(points[i].x), static_cast<int>(points[i].y));
    release(static_cast<int>(points.back().x), static_cast<int>(points.back().y));
  }
  // Points every `step` pixels along the segments from one corner to the next.
  static std::vector<vec2_t> path(const std::vector<vec2_t>& corners, double step) {
    std::vector<vec2_t> out{corners[0]};
    for (size_t i = 1; i < corners.size(); ++i) {
      const vec2_t a = corners[i - 1], b = corners[i];
      const int n = static_cast<int>(std::lround(std::hypot(b.x - a.x, b.y - a.y) / step));
      for (int k = 1; k <= n; ++k)
        out.push_back({a.x + (b.x - a.x) * k / n, a.y + (b.y - a.y) * k / n});
    }
    return out;
  }
  void give_surface(int k) { resource_table->RES_SURFACE[k]->write(new surface_interp); }
  bool has_surface(int k) { return resource_table->RES_SURFACE[k]->pending() != nullptr; }
  int cont_raises() { return cont_count; }

  void count_cont() {
    proc = std::make_unique<pmf_functor<ContourEditor>>(this, &ContourEditor::on_cont);
    resource_table->CONT->read(proc.get());
  }
  void on_cont() { ++cont_count; }
  void TearDown() override {
    if (proc) resource_table->CONT->remove_proc(proc.get());
  }

  scripted_contour_ui ui;
  fake_segmenter segmenter;
  contour_editor editor{state, ui};
  std::unique_ptr<pmf_functor<ContourEditor>> proc;
  int cont_count = 0;
};

void expect_vertices(const contour_t& c, const std::vector<vec2_t>& want) {
  ASSERT_EQ(c.vertices.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(c.vertices[i].x, want[i].x, 1e-9) << "vertex " << i;
    EXPECT_NEAR(c.vertices[i].y, want[i].y, 1e-9) << "vertex " << i;
  }
}

// ---- freehand strokes --------------------------------------------------------------

TEST_F(ContourEditor, FreehandLoopLosesItsLeadInAndIsSimplified) {
  count_cont();
  give_surface(0);
  // Down from (40,0) to the square's top edge, round the square clockwise
  // and back along the top edge to (38,20): the stroke ends within 2r = 10
  // of the lead-in's vertex (40,12), where the contour now starts.
  stroke(path({{40, 0}, {40, 20}, {60, 20}, {60, 60}, {20, 60}, {20, 20}, {38, 20}}, 2.0));
  ASSERT_NE(entry(0), nullptr);
  ASSERT_EQ(entry(0)->contours.size(), 1u);
  const contour_t& c = entry(0)->contours[0];
  EXPECT_TRUE(c.closed);
  expect_vertices(c, {{40, 12}, {40, 20}, {60, 20}, {60, 60}, {20, 60}, {20, 20}, {36, 20}});
  EXPECT_EQ(cont_raises(), 1);
  EXPECT_FALSE(has_surface(0));
  EXPECT_FALSE(state.freehand_drawing);
  EXPECT_EQ(state.edited_contour, nullptr);
}

TEST_F(ContourEditor, FreehandStrokeEndingElsewhereIsClosedStraight) {
  stroke(path({{20, 20}, {60, 20}, {60, 60}}, 2.0));
  ASSERT_NE(entry(0), nullptr);
  const contour_t& c = entry(0)->contours[0];
  EXPECT_TRUE(c.closed);
  expect_vertices(c, {{20, 20}, {60, 20}, {60, 60}});
  EXPECT_DOUBLE_EQ(std::fabs(shoelace(c.vertices)), 800.0);
}

TEST_F(ContourEditor, StraightStrokeSimplifiesBelowThreeVerticesAndIsDropped) {
  count_cont();
  stroke(path({{20, 20}, {60, 20}}, 2.0));
  EXPECT_EQ(entry(0), nullptr);
  EXPECT_EQ(cont_raises(), 0);
  EXPECT_EQ(state.edited_contour, nullptr);
}

TEST_F(ContourEditor, StrokeLandsOnCurrentObjectAndFrame) {
  resource_table->CURRENT_OBJECT->write(4);
  resource_table->RES_BUF_CURRENT_FRAME->write(1);
  stroke(path({{20, 20}, {60, 20}, {60, 60}}, 2.0));
  EXPECT_EQ(entry(4, 0), nullptr);
  ASSERT_NE(entry(4, 1), nullptr);
  EXPECT_EQ(entry(4, 1)->contours.size(), 1u);
  EXPECT_EQ(entry(4, 1)->area, -1.0);
  EXPECT_EQ(entry(0, 1), nullptr);
}

// ---- click mode -------------------------------------------------------------------

TEST_F(ContourEditor, ClickModePlacesPolygonAndClosesOnFirstVertex) {
  click(20, 20);
  EXPECT_TRUE(state.click_drawing);
  click(60, 20);
  click(60, 60);
  EXPECT_EQ(entry(0), nullptr);
  click(21, 22);  // within r = 5 of the first vertex
  EXPECT_FALSE(state.click_drawing);
  ASSERT_NE(entry(0), nullptr);
  expect_vertices(entry(0)->contours[0], {{20, 20}, {60, 20}, {60, 60}});
  EXPECT_TRUE(entry(0)->contours[0].closed);
}

TEST_F(ContourEditor, TwoClicksAndACloseMakeA32VertexCircle) {
  click(50, 50);
  click(60, 50);
  click(50, 51);
  ASSERT_NE(entry(0), nullptr);
  const contour_t& c = entry(0)->contours[0];
  ASSERT_EQ(c.vertices.size(), 32u);
  for (size_t k = 0; k < 32; ++k) {
    EXPECT_NEAR(std::hypot(c.vertices[k].x - 50.0, c.vertices[k].y - 50.0), 10.0, 1e-9);
    const double angle = std::atan2(c.vertices[k].y - 50.0, c.vertices[k].x - 50.0);
    const double want = 2.0 * M_PI * k / 32.0;
    EXPECT_NEAR(std::remainder(angle - want, 2.0 * M_PI), 0.0, 1e-9) << k;
  }
}

TEST_F(ContourEditor, SecondClickOnTheOnlyVertexDiscardsThePolygon) {
  count_cont();
  click(50, 50);
  click(52, 51);
  EXPECT_FALSE(state.click_drawing);
  EXPECT_EQ(entry(0), nullptr);
  EXPECT_EQ(cont_raises(), 0);
}

// A polygon started on one frame never lands on another.
TEST_F(ContourEditor, ClickModeEndsWhenTheFrameOrObjectChanges) {
  for (int change = 0; change < 2; ++change) {
    SCOPED_TRACE(change == 0 ? "frame" : "object");
    resource_table->RES_BUF_CURRENT_FRAME->write(0);
    resource_table->CURRENT_OBJECT->write(0);
    click(20, 20);
    click(60, 20);
    if (change == 0)
      resource_table->RES_BUF_CURRENT_FRAME->write(1);
    else
      resource_table->CURRENT_OBJECT->write(1);
    // The next press starts afresh instead of closing the old polygon.
    click(21, 21);
    EXPECT_TRUE(state.click_drawing);
    ASSERT_NE(state.edited_contour, nullptr);
    expect_vertices(*state.edited_contour, {{21, 21}});
    for (int k = 0; k < 2; ++k)
      for (int f = 0; f < 2; ++f) EXPECT_EQ(entry(k, f), nullptr) << k << "," << f;
    // Changing back ends it too; the window's change procedure asks the same.
    resource_table->RES_BUF_CURRENT_FRAME->write(0);
    resource_table->CURRENT_OBJECT->write(0);
    EXPECT_TRUE(editor.check_click_mode());
    EXPECT_FALSE(state.click_drawing);
    EXPECT_EQ(state.edited_contour, nullptr);
  }
}

TEST_F(ContourEditor, ClickModeFollowsAnotherObjectsContour) {
  object(1).add_contour(0, polygon({{40, 40}, {80, 40}, {80, 80}, {40, 80}}));
  click(20, 20);
  click(20, 60);
  click(41, 41);  // vertex (40,40): the drawing heads right, towards (80,40)
  EXPECT_EQ(state.continued_object, 1);
  EXPECT_EQ(state.continuation_direction, 1);
  click(79, 79);  // vertex (80,80): the square's vertices up to it are taken over
  EXPECT_EQ(state.continued_object, -1);
  click(20, 21);
  ASSERT_NE(entry(0), nullptr);
  expect_vertices(entry(0)->contours[0], {{20, 20}, {20, 60}, {40, 40}, {80, 40}, {80, 80}});
  EXPECT_EQ(entry(1)->contours[0].vertices.size(), 4u);
}

// The followed contour is held by index; when it goes, following ends
// instead of reading freed memory.
TEST_F(ContourEditor, FollowedContourRemovedElsewhereEndsFollowing) {
  object(1).add_contour(0, polygon({{40, 40}, {80, 40}, {80, 80}, {40, 80}}));
  click(20, 20);
  click(41, 41);
  ASSERT_EQ(state.continued_object, 1);
  ASSERT_EQ(state.continued_contour, &entry(1)->contours[0]);
  object(1).reset();
  editor.objects_changed();
  EXPECT_EQ(state.continued_object, -1);
  EXPECT_EQ(state.continued_contour, nullptr);
  click(79, 79);  // an ordinary polygon vertex now
  ASSERT_NE(state.edited_contour, nullptr);
  expect_vertices(*state.edited_contour, {{20, 20}, {79, 79}});
}

// ---- vertex edits -------------------------------------------------------------------

TEST_F(ContourEditor, DraggingAnEdgeInsertsAVertexAndSelectsItsObject) {
  count_cont();
  object(2).add_contour(0, polygon({{20, 20}, {60, 20}, {60, 60}, {20, 60}}));
  give_surface(2);
  press(40, 22);
  EXPECT_TRUE(editor.vertex_editing());
  EXPECT_EQ(resource_table->CURRENT_OBJECT->read(), 2);
  EXPECT_FALSE(has_surface(2));
  drag(40, 10);
  EXPECT_EQ(entry(2)->contours[0].vertices[1].y, 10.0);
  release(40, 5);
  expect_vertices(entry(2)->contours[0], {{20, 20}, {40, 5}, {60, 20}, {60, 60}, {20, 60}});
  EXPECT_EQ(entry(2)->area, -1.0);
  EXPECT_EQ(cont_raises(), 1);
  EXPECT_FALSE(editor.vertex_editing());
}

TEST_F(ContourEditor, SecondButtonLeavesAVertexOnTheStraighterSide) {
  // Through (20,20) the contour runs straight from (0,20); through (40,20) it turns.
  object(0).add_contour(0, polygon({{0, 20}, {20, 20}, {30, 20}, {40, 20}, {40, 60}, {0, 60}}));
  press(30, 21);  // vertex (30,20)
  drag(30, 30);
  press(30, 30, 3);
  drag(32, 40);
  release(32, 40, 1);
  expect_vertices(entry(0)->contours[0],
                  {{0, 20}, {20, 20}, {30, 30}, {32, 40}, {40, 20}, {40, 60}, {0, 60}});
}

TEST_F(ContourEditor, DroppingAnOpenEndOnTheOtherClosesTheContour) {
  object(0).add_contour(0, polygon({{20, 20}, {60, 20}, {60, 60}, {22, 40}}, false));
  press(22, 40);
  drag(22, 25);
  release(21, 23);  // within 2r of the first vertex
  const contour_t& c = entry(0)->contours[0];
  EXPECT_TRUE(c.closed);
  expect_vertices(c, {{20, 20}, {60, 20}, {60, 60}});
}

TEST_F(ContourEditor, SplitAsksAndGivesTwoContoursSharingThePoint) {
  const contour_t octagon = polygon(
      {{20, 20}, {40, 20}, {60, 20}, {60, 40}, {60, 60}, {40, 60}, {20, 60}, {20, 40}});
  struct {
    const char* name;
    bool expert;
    std::deque<bool> answers;
    size_t asked;
    bool split;
  } cases[] = {
      {"expert mode", true, {}, 0, true},
      {"answered yes", false, {true}, 1, true},
      {"answered no", false, {false}, 1, false},
  };
  for (auto& k : cases) {
    SCOPED_TRACE(k.name);
    object(0).reset();
    object(0).add_contour(0, octagon);
    resource_table->RES_EXPERT_MODE->write(k.expert);
    ui.answers = k.answers;
    ui.asked.clear();
    press(40, 20);
    drag(40, 50);
    release(40, 60);
    ASSERT_EQ(ui.asked.size(), k.asked);
    if (k.asked) {
      EXPECT_EQ(ui.asked[0], "Contour split|Split the contour at this point ?");
    }
    const frame_contours_t& e = *entry(0);
    if (!k.split) {
      ASSERT_EQ(e.contours.size(), 1u);
      EXPECT_EQ(e.contours[0].vertices[1].y, 60.0);
      continue;
    }
    ASSERT_EQ(e.contours.size(), 2u);
    expect_vertices(e.contours[0], {{20, 20}, {40, 60}, {20, 60}, {20, 40}});
    expect_vertices(e.contours[1], {{40, 60}, {60, 20}, {60, 40}, {60, 60}});
    EXPECT_TRUE(e.contours[0].closed && e.contours[1].closed);
  }
}

TEST_F(ContourEditor, NoSplitWhenTheDropVertexIsTooClose) {
  object(0).add_contour(0, polygon(
      {{20, 20}, {40, 20}, {60, 20}, {60, 40}, {60, 60}, {40, 60}, {20, 60}, {20, 40}}));
  press(40, 20);
  release(60, 40);  // two vertices away
  EXPECT_TRUE(ui.asked.empty());
  EXPECT_EQ(entry(0)->contours.size(), 1u);
  EXPECT_EQ(entry(0)->contours[0].vertices.size(), 8u);
}

TEST_F(ContourEditor, MergeJoinsTwoContoursWithoutATwist) {
  resource_table->RES_EXPERT_MODE->write(true);
  object(0).add_contour(0, polygon({{20, 20}, {40, 20}, {40, 40}, {20, 40}}));
  object(0).add_contour(0, polygon({{60, 20}, {80, 20}, {80, 40}, {60, 40}}));
  press(40, 20);
  drag(55, 20);
  release(60, 21);
  ASSERT_EQ(entry(0)->contours.size(), 1u);
  const contour_t& c = entry(0)->contours[0];
  expect_vertices(c, {{60, 20}, {40, 40}, {20, 40}, {20, 20}, {60, 20}, {80, 20}, {80, 40}, {60, 40}});
  // The moved quadrilateral (area 600) and the square (400) both count.
  EXPECT_DOUBLE_EQ(std::fabs(shoelace(c.vertices)), 1000.0);
  const size_t n = c.vertices.size();
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;
      EXPECT_FALSE(proper_crossing(c.vertices[i], c.vertices[i + 1], c.vertices[j],
                                   c.vertices[(j + 1) % n]))
          << i << " " << j;
    }
}

TEST_F(ContourEditor, MergeQuestionNoPassesOnToTheNextContour) {
  object(0).add_contour(0, polygon({{20, 20}, {40, 20}, {40, 40}, {20, 40}}));
  object(0).add_contour(0, polygon({{60, 20}, {80, 20}, {80, 40}}));
  object(0).add_contour(0, polygon({{60, 20}, {70, 10}, {80, 10}}));
  ui.answers = {false, true};
  press(40, 20);
  release(60, 20);
  ASSERT_EQ(ui.asked.size(), 2u);
  EXPECT_EQ(ui.asked[0], "Contour merge|Merge contours at this point ?");
  const frame_contours_t& e = *entry(0);
  ASSERT_EQ(e.contours.size(), 2u);
  EXPECT_EQ(e.contours[0].vertices.size(), 3u);  // declined
  EXPECT_EQ(e.contours[1].vertices.size(), 7u);  // took the four dragged ones
}

// The editor holds indices: a contour gone while the question was open ends
// the edit without touching freed memory.
TEST_F(ContourEditor, ObjectsChangedDuringAQuestionEndTheEditSafely) {
  class clearing_ui final : public contour_editor_ui {
   public:
    bool ask(const wxString&, const wxString&) override {
      resource_table->RES_OBJECT->read()[0].reset();
      return true;
    }
    int choose(const wxString&, const wxString&, const std::vector<wxString>&) override {
      resource_table->RES_OBJECT->read()[0].reset();
      return 0;
    }
    void refresh() override {}
    void mask_data(frame_contours_t*, const contour_t*) override {}
  } clearing;
  contour_editor e2(state, clearing);
  tools.set_contour_editor(&e2);
  object(0).add_contour(0, polygon(
      {{20, 20}, {40, 20}, {60, 20}, {60, 40}, {60, 60}, {40, 60}, {20, 60}, {20, 40}}));
  press(40, 20);
  release(40, 60);
  EXPECT_EQ(entry(0), nullptr);
  object(0).add_contour(0, polygon({{20, 20}, {40, 20}, {40, 40}}));
  object(0).add_contour(0, polygon({{60, 20}, {80, 20}, {80, 40}}));
  use_tool(kErase);
  press(30, 20);
  drag(70, 20);
  release(70, 20);
  EXPECT_EQ(entry(0), nullptr);
  EXPECT_TRUE(state.selected_contours.empty());
}

// Mouse events reaching the view while a question is open change nothing.
TEST_F(ContourEditor, EventsDuringAQuestionAreIgnored) {
  class meddling_ui final : public contour_editor_ui {
   public:
    std::function<void()> meddle;
    bool ask(const wxString&, const wxString&) override {
      meddle();
      return true;
    }
    int choose(const wxString&, const wxString&, const std::vector<wxString>&) override { return -1; }
    void refresh() override {}
    void mask_data(frame_contours_t*, const contour_t*) override {}
  } meddling;
  meddling.meddle = [this] {
    press(90, 90);  // on the other contour's vertex
    drag(95, 95);
    release(95, 95);
  };
  contour_editor e2(state, meddling);
  tools.set_contour_editor(&e2);
  object(0).add_contour(0, polygon(
      {{20, 20}, {40, 20}, {60, 20}, {60, 40}, {60, 60}, {40, 60}, {20, 60}, {20, 40}}));
  object(1).add_contour(0, polygon({{90, 90}, {80, 90}, {80, 80}}));
  press(40, 20);
  release(40, 60);
  ASSERT_EQ(entry(0)->contours.size(), 2u);
  expect_vertices(entry(1)->contours[0], {{90, 90}, {80, 90}, {80, 80}});
  EXPECT_FALSE(e2.busy());
}

// ---- single clicks on thresholded or labelled data, and mask outlines -----------------

TEST_F(ContourEditor, ClickOnThresholdedDataAddsTheSegmentedRegion) {
  count_cont();
  resource_table->RES_CMAP_BINARY->write(true);
  resource_table->CURRENT_OBJECT->write(3);
  give_surface(3);
  click(30, 40);
  EXPECT_FALSE(state.click_drawing);
  ASSERT_NE(entry(3), nullptr);
  expect_vertices(entry(3)->contours[0], {{28, 38}, {32, 38}, {32, 42}});
  ASSERT_EQ(segmenter.tolerances.size(), 1u);
  EXPECT_DOUBLE_EQ(segmenter.tolerances[0], resource_table->RES_SIMPLIFY_THRESH->read() / 10.0);
  EXPECT_FALSE(has_surface(3));
  EXPECT_EQ(cont_raises(), 1);

  resource_table->RES_SEGMENT_FRAME->write(1);
  click(10, 11);
  EXPECT_EQ(entry(3)->contours.size(), 1u);
  ASSERT_EQ(segmenter.volumes.size(), 1u);
  EXPECT_EQ(segmenter.volumes[0], (std::vector<int32_t>{0, 10, 11}));
}

TEST_F(ContourEditor, ClickOnLabelsSegmentsTheLabelUnderThePointer) {
  resource_table->RES_CMAP_LABELS->write(true);
  resource_table->CURRENT_OBJECT->write(2);
  click(7, 5);  // display value (7 + 3 x 5) & 255 = 22
  ASSERT_EQ(segmenter.labels.size(), 1u);
  EXPECT_EQ(segmenter.labels[0], (std::vector<int32_t>{22, 2, 0}));
  click(0, 0);  // label 0 makes nothing
  EXPECT_EQ(segmenter.labels.size(), 1u);
  EXPECT_FALSE(state.click_drawing);
}

TEST_F(ContourEditor, SelectToolOutlinesAMaskInsteadOfAContour) {
  use_tool(kSelect);
  stroke(path({{20, 20}, {60, 20}, {60, 60}}, 2.0));
  EXPECT_EQ(ui.masks, 1);
  expect_vertices(ui.mask_outline, {{20, 20}, {60, 20}, {60, 60}});
  EXPECT_EQ(entry(0), nullptr);
  EXPECT_FALSE(state.mask_outline);

  // A click on thresholded data masks with the segmented region.
  resource_table->RES_CMAP_BINARY->write(true);
  click(30, 30);
  EXPECT_EQ(ui.masks, 2);
  ASSERT_EQ(ui.mask_region.contours.size(), 1u);
  EXPECT_DOUBLE_EQ(segmenter.tolerances.back(), 0.0);
  EXPECT_EQ(entry(0), nullptr);
}

TEST_F(ContourEditor, SelectToolClickModeOutlineMasksOnClosing) {
  count_cont();
  use_tool(kSelect);
  click(20, 20);
  EXPECT_TRUE(state.click_drawing);
  EXPECT_TRUE(state.mask_outline);
  click(60, 20);
  click(60, 60);
  click(20, 21);
  EXPECT_EQ(ui.masks, 1);
  expect_vertices(ui.mask_outline, {{20, 20}, {60, 20}, {60, 60}});
  EXPECT_TRUE(ui.mask_outline.closed);
  EXPECT_FALSE(state.mask_outline);
  EXPECT_FALSE(state.click_drawing);
  EXPECT_EQ(state.edited_contour, nullptr);
  EXPECT_EQ(entry(0), nullptr);
  EXPECT_EQ(cont_raises(), 0);
}

TEST_F(ContourEditor, SelectToolDoesNothingOn16BitData) {
  resource_table->RES_BUF_DICOM->write(true);
  const bool was = dicom_utility::data_16bit;
  dicom_utility::data_16bit = true;
  use_tool(kSelect);
  stroke(path({{20, 20}, {60, 20}, {60, 60}}, 2.0));
  dicom_utility::data_16bit = was;
  EXPECT_EQ(ui.masks, 0);
  EXPECT_FALSE(state.freehand_drawing);
  EXPECT_FALSE(state.mask_outline);
  EXPECT_EQ(entry(0), nullptr);
}

// ---- the Erase tool's group operations -------------------------------------------------

TEST_F(ContourEditor, EraseClickDeletesAVertexOfContoursWithFourOrMore) {
  object(0).add_contour(0, polygon({{20, 20}, {40, 20}, {40, 40}, {30, 45}, {20, 40}}));
  object(1).add_contour(0, polygon({{60, 20}, {80, 20}, {80, 40}}));
  use_tool(kErase);
  click(40, 40);
  expect_vertices(entry(0)->contours[0], {{20, 20}, {40, 20}, {30, 45}, {20, 40}});
  click(80, 20);
  EXPECT_EQ(entry(1)->contours[0].vertices.size(), 3u);
  EXPECT_TRUE(ui.dialog.empty());
}

TEST_F(ContourEditor, GroupDialogOffersInsideDeletionOnlyForOneContour) {
  for (int k = 0; k < 3; ++k)
    object(0).add_contour(0, polygon({{10.0 + 30 * k, 20}, {30.0 + 30 * k, 20}, {20.0 + 30 * k, 40}}));
  use_tool(kErase);
  press(10, 20);
  drag(50, 20);
  drag(80, 20);
  release(80, 20);
  EXPECT_EQ(ui.dialog, "Contour group operation|What do you want to do with these contours?");
  const int32_t objects = resource_table->CURRENT_MAX_OBJECTS->read();
  ASSERT_EQ(ui.offered.size(), 2u + objects);
  EXPECT_EQ(ui.offered[0], "Permanently delete them");
  EXPECT_EQ(ui.offered[1], "Remove highlighted concavities in selected contours");
  EXPECT_EQ(ui.offered[2], "Re-assign them all to " + object(0).name);
  EXPECT_EQ(entry(0)->contours.size(), 3u);  // cancelled

  press(10, 20);
  drag(20, 20);
  release(20, 20);
  ASSERT_EQ(ui.offered.size(), 3u + objects);
  EXPECT_EQ(ui.offered[1], "Delete all contours inside the selected contour");
}

TEST_F(ContourEditor, DeleteInsideClearsTheSameObjectsContoursInside) {
  object(0).add_contour(0, polygon({{10, 10}, {90, 10}, {90, 90}, {10, 90}}));
  object(0).add_contour(0, polygon({{30, 30}, {40, 30}, {40, 40}}));
  object(0).add_contour(0, polygon({{95, 95}, {98, 95}, {98, 98}}));
  object(1).add_contour(0, polygon({{50, 50}, {60, 50}, {60, 60}}));
  use_tool(kErase);
  ui.pick = "Delete all contours inside the selected contour";
  press(20, 10);
  drag(70, 10);
  release(70, 10);
  ASSERT_EQ(entry(0)->contours.size(), 2u);
  EXPECT_EQ(entry(0)->contours[0].vertices.size(), 4u);
  EXPECT_EQ(entry(0)->contours[1].vertices[0].x, 95.0);
  EXPECT_EQ(entry(1)->contours.size(), 1u);
}

// Surfaces go only for objects whose contours changed, not for every object
// whose frame entry has not been measured yet.
TEST_F(ContourEditor, ReassignMovesContoursAndDropsTheEmptyEntry) {
  count_cont();
  object(0).add_contour(0, polygon({{10, 20}, {30, 20}, {20, 40}}));
  object(0).add_contour(0, polygon({{40, 20}, {60, 20}, {50, 40}}));
  object(2).add_contour(0, polygon({{70, 70}, {90, 70}, {80, 90}}));
  for (int k : {0, 1, 2}) give_surface(k);
  ASSERT_EQ(entry(2)->area, -1.0);
  use_tool(kErase);
  ui.pick = "Re-assign them all to " + object(1).name;
  press(10, 20);
  drag(60, 20);
  release(60, 20);
  EXPECT_EQ(entry(0), nullptr);
  ASSERT_NE(entry(1), nullptr);
  ASSERT_EQ(entry(1)->contours.size(), 2u);
  expect_vertices(entry(1)->contours[1], {{40, 20}, {60, 20}, {50, 40}});
  EXPECT_FALSE(has_surface(0));
  EXPECT_FALSE(has_surface(1));
  EXPECT_TRUE(has_surface(2));
  EXPECT_EQ(cont_raises(), 1);
  EXPECT_TRUE(state.selected_contours.empty());
}

TEST_F(ContourEditor, PermanentDeleteAndCancel) {
  object(0).add_contour(0, polygon({{10, 20}, {30, 20}, {20, 40}}));
  object(0).add_contour(1, polygon({{10, 20}, {30, 20}, {20, 40}}));
  use_tool(kErase);
  press(10, 20);
  drag(30, 20);
  release(30, 20);  // cancelled
  EXPECT_EQ(entry(0)->contours.size(), 1u);
  EXPECT_TRUE(entry(0)->contours[0].values.empty());
  ui.pick = "Permanently delete them";
  press(10, 20);
  drag(30, 20);
  release(30, 20);
  EXPECT_EQ(entry(0), nullptr);
  EXPECT_NE(entry(0, 1), nullptr);
}

TEST_F(ContourEditor, LeavingBeforeTheReleaseDropsTheSelection) {
  object(0).add_contour(0, polygon({{10, 20}, {30, 20}, {20, 40}}));
  use_tool(kErase);
  press(10, 20);
  EXPECT_EQ(state.selected_contours.size(), 1u);
  EXPECT_EQ(entry(0)->contours[0].values.size(), 3u);
  drag(30, 20);
  leave(120, 20);
  EXPECT_FALSE(editor.group_selecting());
  EXPECT_TRUE(state.selected_contours.empty());
  EXPECT_EQ(entry(0)->contours.size(), 1u);
}

TEST_F(ContourEditor, ConcavityRemovalFollowsTheThreshold) {
  // A block with a deep notch from the bottom edge.
  const contour_t notched = polygon({{10, 10}, {70, 10}, {70, 50}, {50, 50}, {50, 20}, {30, 20},
                                     {30, 50}, {10, 50}});
  contour_t probe = notched;
  probe.compute_vertex_values();
  std::vector<double> values = probe.values;
  std::vector<double> distinct = values;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  ASSERT_GE(distinct.size(), 2u);
  ASSERT_GT(distinct.back(), 0.0);

  const double saved = contour_value_threshold;
  ui.pick = "Remove highlighted concavities in selected contours";
  // At a vertex's own value that vertex goes, as the drawing highlights it;
  // above the greatest value nothing goes.
  const double thresholds[] = {distinct.back(), distinct.back() * 1.5 + 1.0,
                               distinct[distinct.size() - 2] > 0 ? distinct[distinct.size() - 2]
                                                                 : distinct.back()};
  for (double threshold : thresholds) {
    SCOPED_TRACE(threshold);
    object(0).reset();
    object(0).add_contour(0, notched);
    contour_value_threshold = threshold;
    std::vector<vec2_t> kept;
    std::vector<size_t> kept_index;
    for (size_t i = 0; i < values.size(); ++i)
      if (values[i] < threshold) {
        kept.push_back(notched.vertices[i]);
        kept_index.push_back(i);
      }
    // What goes is what the view leaves out of the drawn line.
    std::vector<size_t> drawn = contour_line_vertices(probe, threshold);
    if (!drawn.empty()) drawn.pop_back();  // the closing repeat
    EXPECT_EQ(drawn, kept_index);
    use_tool(kErase);
    press(20, 10);
    drag(60, 10);
    release(60, 10);
    if (threshold == distinct.back()) {
      EXPECT_LT(kept.size(), values.size());  // the deepest vertices sit at the threshold
    }
    if (threshold > distinct.back()) {
      EXPECT_EQ(kept.size(), values.size());
    }
    if (kept.size() < 3) {
      EXPECT_EQ(entry(0), nullptr);
      continue;
    }
    ASSERT_NE(entry(0), nullptr);
    expect_vertices(entry(0)->contours[0], kept);
  }
  contour_value_threshold = saved;
}

}  // namespace
