// The main window following the data and the user: menu and tool enabling,
// the frame slider and keys, the mouse tools with their cursors, the display
// toggles, Invert image and frame playback of a 30-frame recording.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>
#include <wx/menu.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/stopwatch.h>
#include <wx/toolbar.h>

#include "app/app_ids.h"
#include "app/app_rules.h"
#include "app/main_frame.h"
#include "app/main_views.h"
#include "app/toolbar_art.h"
#include "common/log_capture.h"
#include "data/reslice_info.h"
#include "registry/app_types.h"
#include "registry/resource_table.h"
#include "shell_support.h"

namespace {

resource_table_t& rt() { return *resource_table; }
MainFrame& frame() { return *main_frame; }
wxToolBar& tools() { return *main_frame->toolbar; }

// A click on a toolbar tool as the toolkit delivers it: the tool's state
// changes first, then the toolbar sends its command.
void click_tool(int id) {
  const wxToolBarToolBase* tool = tools().FindById(id);
  ASSERT_NE(tool, nullptr) << id;
  bool down = false;
  if (tool->CanBeToggled()) {
    down = tool->GetKind() == wxITEM_RADIO ? true : !tools().GetToolState(id);
    tools().ToggleTool(id, down);
  }
  tools().OnLeftClick(id, down);
}

void press_key(int code, bool* skipped = nullptr) {
  wxKeyEvent key(wxEVT_KEY_DOWN);
  key.m_keyCode = code;
  key.SetEventObject(main_frame);
  main_frame->ProcessWindowEvent(key);
  if (skipped) *skipped = key.GetSkipped();
}

void move_slider(int position, wxEventType type = wxEVT_SCROLL_THUMBTRACK) {
  wxScrollEvent scroll(type, frame().frame_slider->GetId(), position, wxHORIZONTAL);
  scroll.SetEventObject(frame().frame_slider);
  frame().frame_slider->SetValue(position);
  frame().frame_slider->ProcessWindowEvent(scroll);
}

wxString label() { return frame().frames_label->GetLabel(); }

// ------------------------------------------------------------ enabling

TEST(Enabling, MenusAndToolsFollowFramesPositionsPagesAndStacks) {
  struct row_t {
    const char* what;
    int32_t frames;
    bool pos_rec;
    int32_t visual_page;
    double zscale;
    bool open, have_data, export_resliced, export_image;
  };
  const row_t rows[] = {
      {"no data", 0, false, 0, 0.0, true, false, false, false},
      {"no data, positions", 0, true, 1, 1.0, true, false, false, false},
      {"frames", 4, false, 0, 0.0, false, true, false, false},
      {"frames on Ortho without positions", 4, false, 1, 1.0, false, true, false, false},
      {"positions on Blank", 4, true, 0, 0.0, false, true, false, false},
      {"positions on Ortho", 4, true, 1, 0.0, false, true, true, false},
      {"positions on Reslice", 4, true, 2, 0.0, false, true, true, false},
      {"positions on Volume", 4, true, 3, 0.0, false, true, false, false},
      // The stack flag is read, not watched: a row changes a watched value.
      {"stack on Reslice", 4, true, 2, 0.5, false, true, true, true},
      {"stack on Volume", 4, true, 3, 0.5, false, true, false, true},
  };
  wxMenuBar* bar = frame().GetMenuBar();
  const int32_t frames_before = rt().RES_BUF_FRAMES->read();
  const bool pos_rec_before = rt().RES_POS_REC->read();
  const int32_t page_before = rt().RES_CURRENT_VISUAL_PAGE->read();
  const double zscale_before = rt().RES_ZSCALE->read();
  for (const row_t& r : rows) {
    SCOPED_TRACE(r.what);
    rt().RES_ZSCALE->write(r.zscale);  // read, not watched
    base_res_t::hold_pending_writes(true);
    rt().RES_BUF_FRAMES->write_no_changeprocs(r.frames);
    rt().RES_POS_REC->write_no_changeprocs(r.pos_rec);
    rt().RES_CURRENT_VISUAL_PAGE->write_no_changeprocs(r.visual_page);
    base_res_t::hold_pending_writes(false);
    base_res_t::make_pending_writes_happen();
    for (int id : {6001, 6002}) EXPECT_EQ(bar->IsEnabled(id), r.open) << id;
    for (int id : {6005, 6000, 6003, 6004, 6009}) EXPECT_EQ(bar->IsEnabled(id), r.have_data) << id;
    for (int id : {6170, 6171}) EXPECT_EQ(tools().GetToolEnabled(id), r.have_data) << id;
    EXPECT_EQ(bar->IsEnabled(6014), r.export_resliced);
    EXPECT_EQ(bar->IsEnabled(6015), r.export_image);
    EXPECT_EQ(frame().frame_slider->IsEnabled(), r.frames > 0);
    EXPECT_LE(frame().frame_slider->GetMin(), frame().frame_slider->GetMax());
  }
  // As before, whether the recording was loaded or not.
  base_res_t::hold_pending_writes(true);
  rt().RES_BUF_FRAMES->write_no_changeprocs(frames_before);
  rt().RES_POS_REC->write_no_changeprocs(pos_rec_before);
  rt().RES_CURRENT_VISUAL_PAGE->write_no_changeprocs(page_before);
  base_res_t::hold_pending_writes(false);
  base_res_t::make_pending_writes_happen();
  rt().RES_ZSCALE->write(zscale_before);
  base_res_t::clear_changed(0xffff);
}

// ------------------------------------------------------- tools and cursors

TEST(Tools, ToolbarClicksSetTheToolAndTheViewsCursors) {
  // Tool order: drag, select, mark, draw, measure, erase, drag zoom.
  const int cursor_of[7] = {CURSOR_DRAG, CURSOR_SELECT, CURSOR_MARK, CURSOR_DRAW,
                            CURSOR_MEASURE, CURSOR_ERASE, CURSOR_DRAG_ZOOM};
  const std::vector<wxWindow*> views = {frame().review_view, frame().outline_view, frame().centre_view,
                                        frame().corner_view};
  for (int tool : {3, 1, 4, 2, 6, 5, 0}) {
    click_tool(7412 + tool);
    EXPECT_EQ(rt().RES_TOOL->read(), tool);
    EXPECT_TRUE(tools().GetToolState(7412 + tool)) << tool;
    for (wxWindow* v : views)
      EXPECT_TRUE(v->GetCursor().IsSameAs(frame().tool_cursors[cursor_of[tool]])) << tool << " " << v->GetName();
  }
  EXPECT_EQ(frame().help_page, "toolbar.htm");

  // The two identifiers after the group carry no tool and change nothing.
  click_tool(7414);
  for (int id : {7419, 7420}) {
    wxCommandEvent stray(wxEVT_MENU, id);
    frame().ProcessWindowEvent(stray);
    EXPECT_EQ(rt().RES_TOOL->read(), TOOL_MARK) << id;
    for (wxWindow* v : views) EXPECT_TRUE(v->GetCursor().IsSameAs(frame().tool_cursors[CURSOR_MARK])) << id;
  }
  click_tool(7412);
}

TEST(Tools, SelectToolSwitchesAndTellsHowToSwitchBack) {
  click_tool(7412);  // drag
  const struct {
    int32_t n;
    int32_t result;
    int32_t tool_after;
  } steps[] = {
      {8, -1, TOOL_DRAG},        // no such tool
      {9, -1, TOOL_DRAG},
      {0, -1, TOOL_DRAG},        // outside 1..9
      {1, -1, TOOL_DRAG},        // already down
      {4, 1, TOOL_DRAW},         // previous tool (drag) + 1
      {6, 4, TOOL_ERASE},        // previous tool (draw) + 1
      {4, 6, TOOL_DRAW},         // passing a result back restores
      {1, 4, TOOL_DRAG},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(frame().select_tool(s.n), s.result) << s.n;
    EXPECT_EQ(rt().RES_TOOL->read(), s.tool_after) << s.n;
    EXPECT_TRUE(tools().GetToolState(7412 + s.tool_after)) << s.n;
  }
  // A disabled tool is not chosen.
  tools().EnableTool(7416, false);
  EXPECT_EQ(frame().select_tool(5), -1);
  EXPECT_EQ(rt().RES_TOOL->read(), TOOL_DRAG);
  tools().EnableTool(7416, true);
}

TEST(Tools, DisplayTogglesStepThroughTheirThreeStates) {
  for (int id : {7422, 7423, 7424}) {
    long_res_t* res = id == 7422 ? rt().RES_SEE_OUTLINES : id == 7423 ? rt().RES_SEE_MARK_LOCKED
                                                                      : rt().RES_SEE_DRAW_LOCKED;
    const int32_t first = res->read();
    std::vector<int32_t> seen;
    for (int k = 0; k < 3; ++k) {
      click_tool(id);
      seen.push_back(res->read());
      // Always shown is down, never shown up; automatic depends.
      if (res->read() == 1) {
        EXPECT_TRUE(tools().GetToolState(id)) << id;
      }
      if (res->read() == 2 && id != 7422) {
        EXPECT_FALSE(tools().GetToolState(id)) << id;
      }
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{(first + 1) % 3, (first + 2) % 3, first})) << id;
  }
  // Display frames: down for 1 and 2, up for 0.
  rt().RES_SEE_OUTLINES->write(0);
  click_tool(7422);
  EXPECT_EQ(rt().RES_SEE_OUTLINES->read(), 1);
  EXPECT_TRUE(tools().GetToolState(7422));
  click_tool(7422);
  EXPECT_EQ(rt().RES_SEE_OUTLINES->read(), 2);
  EXPECT_TRUE(tools().GetToolState(7422));
  click_tool(7422);
  EXPECT_FALSE(tools().GetToolState(7422));
  // Landmarks always shown, whatever the tool.
  rt().RES_SEE_MARK_LOCKED->write(0);
  click_tool(7423);
  EXPECT_TRUE(rt().RES_SEE_MARK->read());
  click_tool(7423);
  EXPECT_FALSE(rt().RES_SEE_MARK->read());
  click_tool(7423);
}

TEST(Tools, LockZoomFollowsTheTool) {
  click_tool(7421);
  EXPECT_EQ(rt().RES_LOCK_ZOOM->read(), tools().GetToolState(7421));
  const bool first = rt().RES_LOCK_ZOOM->read();
  click_tool(7421);
  EXPECT_EQ(rt().RES_LOCK_ZOOM->read(), !first);
  EXPECT_EQ(tools().GetToolState(7421), !first);
}

TEST(Tools, IconSizesLoadTheirPictureSetAndSpacing) {
  const struct {
    int32_t code;
    int edge, separation;
  } sizes[] = {{0, 24, 22}, {1, 32, 30}, {2, 48, 40}, {7, 48, 40}};
  click_tool(6171);  // Play down shows Pause in every set
  for (const auto& s : sizes) {
    frame().set_toolbar_icon_size(s.code);
    for (int k = 0; k < TOOLBAR_PICTURES; ++k) EXPECT_EQ(frame().toolbar_bitmaps[k].GetWidth(), s.edge) << k;
    EXPECT_EQ(tools().GetToolSeparation(), s.separation) << s.code;
    EXPECT_EQ(tools().FindById(7412)->GetNormalBitmap().GetWidth(), s.edge) << s.code;
    EXPECT_TRUE(tools().FindById(6171)->GetNormalBitmap().ConvertToImage().IsOk());
  }
  // Pause while down, Play once up: the pictures differ.
  const wxImage pause = tools().FindById(6171)->GetNormalBitmap().ConvertToImage();
  click_tool(6171);
  const wxImage play = tools().FindById(6171)->GetNormalBitmap().ConvertToImage();
  ASSERT_EQ(pause.GetWidth(), play.GetWidth());
  EXPECT_NE(0, memcmp(pause.GetData(), play.GetData(), 3 * pause.GetWidth() * pause.GetHeight()));
  frame().set_toolbar_icon_size(rt().RES_ICON_SIZE->read());
}

bool same(const vec3_t& a, const vec3_t& b) {
  return std::fabs(a.x - b.x) < 1e-9 && std::fabs(a.y - b.y) < 1e-9 && std::fabs(a.z - b.z) < 1e-9;
}

TEST(Tools, InvertImageTurnsTheOrthogonalPlanesOver) {
  reslice_info* planes = rt().RESLICE->read();
  ASSERT_NE(planes, nullptr);
  planes[1].set_plane({0, 1, 0}, {1, 2, 3}, {0, 0, 1}, false);
  planes[2].set_plane({1, 0, 0}, {4, 5, 6}, {0, 1, 0}, false);
  const bool inverted = rt().RES_INVERT_BSCAN->read();

  click_tool(6065);
  EXPECT_EQ(rt().RES_INVERT_BSCAN->read(), !inverted);
  EXPECT_EQ(tools().GetToolState(6065), !inverted);
  EXPECT_TRUE(same(planes[1].normal, {0, 1, 0}));
  EXPECT_TRUE(same(planes[1].up, {0, 0, -1}));
  EXPECT_TRUE(same(planes[1].centre, {1, 2, 3}));
  EXPECT_TRUE(same(planes[2].normal, {-1, 0, 0}));
  EXPECT_TRUE(same(planes[2].up, {0, -1, 0}));
  EXPECT_TRUE(same(planes[2].centre, {4, 5, 6}));

  click_tool(6065);
  EXPECT_EQ(rt().RES_INVERT_BSCAN->read(), inverted);
  EXPECT_TRUE(same(planes[1].up, {0, 0, 1}));
  EXPECT_TRUE(same(planes[2].normal, {1, 0, 0}));
  EXPECT_TRUE(same(planes[2].up, {0, 1, 0}));
}

// ------------------------------------------------ frames of a recording

// Opens the recording through the command line, as the user would, after
// File > Close of whatever an earlier test left loaded.
void open_recording() {
  base_res_t::clear_changed(0xffff);
  wxCommandEvent close(wxEVT_MENU, ID_FILE_CLOSE);
  frame().ProcessWindowEvent(close);
  ASSERT_EQ(rt().RES_BUF_FRAMES->read(), 0);
  log_capture log;
  shell_app().obey_command_line(
      plan_command_line({"norvelith", "dir=" + wxString::FromUTF8(g_shell_cfg), wxString::FromUTF8(g_shell_data)}));
  EXPECT_EQ(log.count(wxLOG_Error), 0) << (log.records().empty() ? "" : log.records()[0].text);
}

// Tests of the loaded recording, in any order: each starts with it loaded.
class with_recording : public ::testing::Test {
 protected:
  void SetUp() override {
    open_recording();
    ASSERT_EQ(rt().RES_BUF_FRAMES->read(), SHELL_FRAMES);
    base_res_t::clear_changed(0xffff);
  }
};
class Frames : public with_recording {};
class Playback : public with_recording {};

TEST(Opening, TheRecordingFillsSliderLabelAndStatusBar) {
  const wxString file = wxString::FromUTF8(g_shell_data);
  open_recording();
  ASSERT_EQ(rt().RES_BUF_FRAMES->read(), SHELL_FRAMES);
  EXPECT_EQ(frame().frame_slider->GetMin(), 0);
  EXPECT_EQ(frame().frame_slider->GetMax(), SHELL_FRAMES - 1);
  EXPECT_TRUE(frame().frame_slider->IsEnabled());
  EXPECT_EQ(frame().GetStatusBar()->GetStatusText(2), file);
  EXPECT_EQ(label(), "30 frames loaded.");
}

TEST_F(Frames, KeysStepThroughTheFramesAndPassTheKeyOn) {
  rt().RES_BUF_CURRENT_FRAME->write(0);
  const struct {
    int key;
    int32_t from, to;
  } steps[] = {
      {WXK_RIGHT, 0, 1}, {WXK_UP, 1, 2}, {WXK_SPACE, 2, 3}, {WXK_LEFT, 3, 2}, {WXK_DOWN, 2, 1},
      {WXK_DOWN, 1, 0},  {WXK_LEFT, 0, 0},  // nothing before the first frame
      {'A', 0, 0},
      {WXK_RIGHT, 29, 29}, {WXK_SPACE, 29, 29},  // nor after the last
      {WXK_LEFT, 29, 28},
  };
  for (const auto& s : steps) {
    rt().RES_BUF_CURRENT_FRAME->write(s.from);
    bool skipped = false;
    press_key(s.key, &skipped);
    EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), s.to) << s.key << " from " << s.from;
    EXPECT_EQ(frame().frame_slider->GetValue(), s.to) << s.key << " from " << s.from;
    EXPECT_TRUE(skipped) << s.key;
  }
}

TEST_F(Frames, SliderChoosesFramesAndReturnsToAnEarlierPosition) {
  rt().RES_BUF_CURRENT_FRAME->write(0);
  move_slider(5);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 5);
  press_key(WXK_RIGHT);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 6);
  EXPECT_EQ(frame().frame_slider->GetValue(), 6);
  // Back to the position the slider handled last: the frame must follow.
  move_slider(5);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 5);
  // Every scroll event of the slider is handled.
  move_slider(9, wxEVT_SCROLL_CHANGED);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 9);
  move_slider(8, wxEVT_SCROLL_LINEUP);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 8);
  // Positions outside the frames are ignored.
  move_slider(30);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 8);
  move_slider(-1);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 8);
}

TEST_F(Frames, FewerFramesMoveTheCurrentFrameToTheLast) {
  rt().RES_BUF_CURRENT_FRAME->write(25);
  rt().RES_BUF_FRAMES->write(10);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 9);
  EXPECT_EQ(frame().frame_slider->GetValue(), 9);
  EXPECT_EQ(frame().frame_slider->GetMax(), 9);
  rt().RES_BUF_FRAMES->write(SHELL_FRAMES);
  EXPECT_EQ(frame().frame_slider->GetMax(), SHELL_FRAMES - 1);
  base_res_t::clear_changed(0xffff);
}

// ----------------------------------------------------------- playback

// Runs idle processing until Play comes up; the milliseconds it took and the
// idle passes. No bound on the time: a busy machine only makes it slower.
struct play_run {
  long ms = 0;
  int passes = 0;
};
play_run play_until_stopped() {
  play_run run;
  wxStopWatch watch;
  while (tools().GetToolState(6171)) {
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
    ++run.passes;
    wxMilliSleep(1);
  }
  run.ms = watch.Time();
  return run;
}

long recorded_length_ms(int32_t from) {
  long total = 0;
  for (int32_t f = from; f < SHELL_FRAMES - 1; ++f) total += shell_interval_ms(f);
  return total;
}

TEST_F(Playback, PlaysToTheLastFrameInTheRecordedTime) {
  rt().RES_BUF_CURRENT_FRAME->write(0);
  const int32_t listeners = rt().RES_IDLE_EVENT->worry_count();
  std::vector<int32_t> frames_seen;
  struct watcher {
    void on_frame() { seen->push_back(resource_table->RES_BUF_CURRENT_FRAME->read()); }
    std::vector<int32_t>* seen;
  } w{&frames_seen};
  pmf_functor<watcher> f(&w, &watcher::on_frame);
  rt().RES_BUF_CURRENT_FRAME->add_proc(&f);

  click_tool(6171);
  EXPECT_TRUE(shell_app().idle_bound());
  EXPECT_EQ(rt().RES_IDLE_EVENT->worry_count(), listeners + 1);
  // 29 intervals over 860 ms: 33.7 frames per second.
  EXPECT_EQ(label(), "30 frames at 34 per second.");
  const long took = play_until_stopped().ms;
  rt().RES_BUF_CURRENT_FRAME->remove_proc(&f);

  EXPECT_FALSE(tools().GetToolState(6171));
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), SHELL_FRAMES - 1);
  EXPECT_EQ(frame().frame_slider->GetValue(), SHELL_FRAMES - 1);
  EXPECT_EQ(label(), "30 frames loaded.");
  EXPECT_FALSE(shell_app().idle_bound());
  EXPECT_EQ(rt().RES_IDLE_EVENT->worry_count(), listeners);
  // Every frame was shown, in order, each for its own interval: never
  // sooner than the timestamps allow.
  ASSERT_EQ(frames_seen.size(), static_cast<size_t>(SHELL_FRAMES - 1));
  for (size_t k = 0; k < frames_seen.size(); ++k) EXPECT_EQ(frames_seen[k], static_cast<int32_t>(k + 1));
  EXPECT_GE(took, recorded_length_ms(0));
}

TEST_F(Playback, PlayOnTheLastFrameStopsAtOnce) {
  rt().RES_BUF_CURRENT_FRAME->write(SHELL_FRAMES - 1);
  click_tool(6171);
  EXPECT_TRUE(tools().GetToolState(6171));
  // The first idle pass finds nothing to play.
  EXPECT_EQ(play_until_stopped().passes, 1);
  EXPECT_FALSE(tools().GetToolState(6171));
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), SHELL_FRAMES - 1);
  EXPECT_EQ(label(), "30 frames loaded.");
  EXPECT_FALSE(shell_app().idle_bound());
}

TEST_F(Playback, RewindAndTheSliderRestartTheSchedule) {
  rt().RES_BUF_CURRENT_FRAME->write(20);
  click_tool(6170);  // Rewind
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 0);
  EXPECT_EQ(frame().frame_slider->GetValue(), 0);

  click_tool(6171);
  while (rt().RES_BUF_CURRENT_FRAME->read() < 2) {
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
  }
  // Moving the slider while playing: playback goes on from there.
  move_slider(24);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 24);
  const long took = play_until_stopped().ms;
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), SHELL_FRAMES - 1);
  EXPECT_GE(took, recorded_length_ms(24));
}

TEST_F(Playback, StopByTheUserUnbindsIdleWork) {
  rt().RES_BUF_CURRENT_FRAME->write(0);
  click_tool(6171);
  pump_events(3);
  EXPECT_TRUE(shell_app().idle_bound());
  click_tool(6171);  // up again
  EXPECT_FALSE(shell_app().idle_bound());
  const int32_t stopped_at = rt().RES_BUF_CURRENT_FRAME->read();
  EXPECT_LT(stopped_at, SHELL_FRAMES - 1);
  pump_events(30);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), stopped_at);
  EXPECT_EQ(label(), "30 frames loaded.");
}

// Closing a window while it plays leaves no idle work behind.
TEST(Shutdown, ClosingWhilePlayingRemovesTheListenerFirst) {
  rt().RES_BUF_CURRENT_FRAME->write(0);
  const int32_t listeners = rt().RES_IDLE_EVENT->worry_count();
  extra_frame extra;
  wxToolBar& extra_tools = *extra.frame->toolbar;
  extra_tools.ToggleTool(6171, true);
  extra_tools.OnLeftClick(6171, true);
  ASSERT_TRUE(shell_app().idle_bound());
  EXPECT_EQ(rt().RES_IDLE_EVENT->worry_count(), listeners + 1);
  extra.frame->batch_close = true;
  ASSERT_TRUE(extra.frame->Close(true));
  EXPECT_FALSE(shell_app().idle_bound());
  EXPECT_EQ(rt().RES_IDLE_EVENT->worry_count(), listeners);
  EXPECT_TRUE(extra.closed());
  // The frames text is shared by all main windows: no longer playing.
  frame().frames_status_text(0, -1);
}

}  // namespace
