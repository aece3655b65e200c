// The Draw page in the program's own main window: its controls after each
// refresh, the rows, the handlers that write settings, and the commands that
// build, revert and save surfaces.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/filename.h>
#include <wx/notebook.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "common/log_capture.h"
#include "common/recording_files.h"
#include "data/dynabuf.h"
#include "data/file_save.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "tasks/draw_page.h"
#include "tasks/task_ids.h"
#include "tasks_gui_support.h"

namespace {

resource_table_t& rt() { return *resource_table; }
draw_page& page() { return *main_frame->draw; }

// A control event as the toolkit sends it from the control itself, so that
// it travels up to the main window's command table.
void send_command(wxWindow* control, wxEventType type, int value = 0) {
  wxCommandEvent event(type, control->GetId());
  event.SetEventObject(control);
  event.SetInt(value);
  control->GetEventHandler()->ProcessEvent(event);
}

void move(wxSlider* slider, int position) {
  slider->SetValue(position);
  wxScrollEvent event(wxEVT_SCROLL_THUMBTRACK, slider->GetId(), position, wxHORIZONTAL);
  event.SetEventObject(slider);
  slider->GetEventHandler()->ProcessEvent(event);
}

void choose(wxChoice* choice, int selection) {
  choice->SetSelection(selection);
  send_command(choice, wxEVT_CHOICE, selection);
}

void click(wxButton* button) { send_command(button, wxEVT_BUTTON); }

// Counts the commits that change a resource.
struct change_counter {
  explicit change_counter(base_res_t* r) : res(r), functor(this, &change_counter::seen) { res->add_proc(&functor); }
  ~change_counter() { res->remove_proc(&functor); }
  void seen() { ++count; }
  base_res_t* res;
  pmf_functor<change_counter> functor;
  int count = 0;
};

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class DrawPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(main_frame, nullptr);
    ASSERT_NE(main_frame->draw, nullptr);
  }
  void TearDown() override {
    // Surfaces made by a test go, so that the next test starts from contours.
    for (int k = 0; k < NUM_USER_OBJECTS; ++k)
      if (surface_interp* s = rt().RES_SURFACE[k]->read()) {
        rt().RES_SURFACE[k]->write(nullptr);
        delete s;
      }
    rt().CURRENT_OBJECT->write(0);
    rt().RES_BUF_CURRENT_FRAME->write(0);
  }
};

TEST_F(DrawPage, WithoutDataShowsTwelveRowsAndOnlyTheAlwaysAvailableButtons) {
  close_task_data();
  ASSERT_EQ(rt().RES_BUF_FRAMES->read(), 0);
  draw_page& p = page();
  EXPECT_EQ(p.row_count(), 12);
  EXPECT_EQ(rt().CURRENT_MAX_OBJECTS->read(), 12);
  EXPECT_EQ(p.object_choice->GetCount(), 12u);
  for (wxWindow* w : std::initializer_list<wxWindow*>{
           p.update_all, p.revert_all, p.save_all, p.delete_all, p.update_current,
           p.revert_current, p.save_current, p.delete_current, p.find, p.find_contours,
           p.create_from_labels, p.import_contours, p.import_surface, p.show_thresholds,
           p.show_labels})
    EXPECT_FALSE(w->IsEnabled()) << w->GetLabel();
  for (wxWindow* w : std::initializer_list<wxWindow*>{p.reset_all, p.pack, p.reset_current})
    EXPECT_TRUE(w->IsEnabled()) << w->GetLabel();
  for (const draw_page::object_row& row : p.rows) {
    EXPECT_FALSE(row.opacity->IsEnabled());
    EXPECT_FALSE(row.cap->IsEnabled());
  }
  EXPECT_EQ(p.area_line->GetLabel(), "Area: ---.--- sq mm");
  EXPECT_EQ(p.perimeter_line->GetLabel(), "Perimeter: ---.--- mm");
  EXPECT_EQ(p.volume_line->GetLabel(), "Volume: ---.--- ml");
  EXPECT_EQ(p.position_line->GetLabel(), "At: ---.-, ---.-, ---.- mm");
  // Grey thresholds shown, the unit cells and colour-flow ones hidden.
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(p.threshold_grid->IsShown(i), i < 6) << i;
}

TEST_F(DrawPage, ARecordingWithSevenObjectsOpensWithEighteenNamedRows) {
  ASSERT_TRUE(open_task_recording());
  pump_events(3);
  draw_page& p = page();
  EXPECT_EQ(p.row_count(), 18);
  EXPECT_EQ(rt().CURRENT_MAX_OBJECTS->read(), 18);
  ASSERT_EQ(p.object_choice->GetCount(), 18u);
  const contour_object* objects = rt().RES_OBJECT->read();
  for (int k = 0; k < 18; ++k) {
    const wxString expected = k < TASK_OBJECTS ? wxString::Format(L"Part %d", k) : objects[k].name;
    EXPECT_EQ(p.rows[k].name->GetValue(), expected) << k;
    EXPECT_EQ(p.object_choice->GetString(k), expected) << k;
    EXPECT_EQ(p.rows[k].opacity->IsEnabled(), k < TASK_OBJECTS) << k;
    EXPECT_EQ(p.rows[k].cap->IsEnabled(), k < TASK_OBJECTS) << k;
  }
  EXPECT_TRUE(p.update_all->IsEnabled());
  EXPECT_TRUE(p.save_all->IsEnabled());
  EXPECT_FALSE(p.revert_all->IsEnabled());
  EXPECT_TRUE(p.import_surface->IsEnabled());
  EXPECT_TRUE(p.show_thresholds->IsEnabled());
}

TEST_F(DrawPage, SteppingFramesShowsTheAreaAndPerimeterOfTheSquares) {
  ASSERT_TRUE(open_task_recording());
  choose(page().object_choice, 3);
  ASSERT_EQ(rt().CURRENT_OBJECT->read(), 3);
  EXPECT_TRUE(page().update_current->IsEnabled());
  EXPECT_TRUE(page().find_contours->IsEnabled());
  EXPECT_EQ(page().find_contours->GetMax(), 5);  // six frames with contours
  for (int f = 0; f < TASK_FRAMES; ++f) {
    rt().RES_BUF_CURRENT_FRAME->write(f);
    const double side = task_square_side(f);
    if (f < 2 || f > 7) {
      EXPECT_EQ(page().area_line->GetLabel(), "Area: ---.--- sq mm") << f;
      EXPECT_EQ(page().perimeter_line->GetLabel(), "Perimeter: ---.--- mm") << f;
      continue;
    }
    // Square pixels of TASK_SCALE cm, shown in mm^2 and mm.
    const double area_mm2 = side * side * (TASK_SCALE * 10) * (TASK_SCALE * 10);
    const double perimeter_mm = 4 * side * TASK_SCALE * 10;
    EXPECT_EQ(page().area_line->GetLabel(), wxString::Format(L"Area: %.3lf sq mm", area_mm2)) << f;
    EXPECT_EQ(page().perimeter_line->GetLabel(), wxString::Format(L"Perimeter: %.3lf mm", perimeter_mm))
        << f;
  }
}

TEST_F(DrawPage, FindContoursGoesToTheFrameAndReportsTheEnclosedPixels) {
  ASSERT_TRUE(open_task_recording());
  choose(page().object_choice, 2);
  // Entry 2 is frame 4, a square of side 10 centred on (20, 15): with pixel
  // i's centre at i + 0.5, pixels 15 to 24 across and 10 to 19 down lie inside.
  move(page().find_contours, 2);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 4);
  const std::string bytes = recording_frame(4, TASK_WIDTH, TASK_HEIGHT);
  double sum = 0, lo = 255, hi = 0;
  int n = 0;
  for (int y = 10; y <= 19; ++y)
    for (int x = 15; x <= 24; ++x) {
      const double v = static_cast<unsigned char>(bytes[y * TASK_WIDTH + x]);
      sum += v;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
      ++n;
    }
  EXPECT_EQ(rt().RES_ALERT_STRING->read(),
            wxString::Format(L"Average %0.4f, range %.0f to %.0f, in Part 2", sum / n, lo, hi));
}

TEST_F(DrawPage, RowsGrowByAppendingAndShrinkByRebuilding) {
  draw_page& p = page();
  const int32_t before = p.row_count();
  p.create_object_properties(12);
  ASSERT_EQ(p.row_count(), 12);
  wxTextCtrl* first = p.rows[0].name;
  bool destroyed = false;
  first->Bind(wxEVT_DESTROY, [&](wxWindowDestroyEvent& e) {
    if (e.GetEventObject() == first) destroyed = true;
    e.Skip();
  });
  p.create_object_properties(18);
  EXPECT_EQ(p.row_count(), 18);
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(p.rows[0].name, first);
  EXPECT_EQ(p.rows[17].name->GetId(), ID_OBJECT_NAME_FIRST + 17);
  p.create_object_properties(12);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(p.row_count(), 12);
  p.create_object_properties(250);
  EXPECT_EQ(p.row_count(), 200);
  EXPECT_EQ(p.rows[199].cap->GetId(), ID_OBJECT_VISIBLE_LAST);
  p.create_object_properties(before);
}

struct slider_case {
  const char* what;
  wxSlider* draw_page::*slider;
  long_res_t* resource_table_t::*res;
  bool skips;  // sets the one-shot skip of the refresh
};

TEST_F(DrawPage, SlidersWriteTheirSettingsAndSkipOnlyOnAChange) {
  const slider_case cases[] = {
      {"Within", &draw_page::segment_range, &resource_table_t::RES_SEGMENT_RANGE, true},
      {"Split into", &draw_page::segment_objects, &resource_table_t::RES_SEGMENT_OBJECTS, true},
      {"Join gaps", &draw_page::jump_thresh, &resource_table_t::RES_JUMP_THRESH, true},
      {"Fix concavities", &draw_page::concavity, &resource_table_t::RES_CONCAVITY_STRENGTH, true},
      {"Contour accuracy", &draw_page::simplify, &resource_table_t::RES_SIMPLIFY_THRESH, true},
      {"Compounding depth", &draw_page::compound_thick, &resource_table_t::RES_SURFACE_COMPOUND_THICK, true},
      {"Every", &draw_page::segment_frame, &resource_table_t::RES_SEGMENT_FRAME, false},
      {"Grey", &draw_page::grey_lo, &resource_table_t::RES_CMAP_GREY_LO, false},
      {"Grey to", &draw_page::grey_hi, &resource_table_t::RES_CMAP_GREY_HI, false},
      {"Grey not", &draw_page::grey_anti, &resource_table_t::RES_CMAP_GREY_ANTI, false},
      {"Red", &draw_page::red_lo, &resource_table_t::RES_CMAP_RED_LO, false},
      {"Blue to", &draw_page::blue_hi, &resource_table_t::RES_CMAP_BLUE_HI, false},
  };
  draw_page& p = page();
  for (const slider_case& c : cases) {
    long_res_t* res = rt().*c.res;
    wxSlider* slider = p.*c.slider;
    const long old = res->read();
    {
      change_counter changes(res);
      move(slider, int(old));
      EXPECT_EQ(changes.count, 0) << c.what;
      EXPECT_FALSE(p.skip_refresh) << c.what;
    }
    const int next = old + 1 <= slider->GetMax() ? int(old + 1) : int(old - 1);
    move(slider, next);
    EXPECT_EQ(res->read(), next) << c.what;
    EXPECT_FALSE(p.skip_refresh) << c.what;  // used up by the refresh that followed
    EXPECT_EQ(slider->GetValue(), next) << c.what;
    // A skipped refresh leaves another control's change to the next one.
    if (c.skips) {
      p.skip_refresh = true;
      p.update();
      EXPECT_FALSE(p.skip_refresh) << c.what;
    }
    move(slider, int(old));
    EXPECT_EQ(res->read(), old) << c.what;
  }
  // The refresh sets a slider whose resource changed elsewhere.
  const long old = rt().RES_JUMP_THRESH->read();
  rt().RES_JUMP_THRESH->write(old == 7 ? 8 : 7);
  EXPECT_EQ(p.jump_thresh->GetValue(), old == 7 ? 8 : 7);
  rt().RES_JUMP_THRESH->write(old);
}

TEST_F(DrawPage, ChoicesAndBoxesWriteTheirSettings) {
  draw_page& p = page();
  const long type = rt().RES_SEGMENT_TYPE->read();
  choose(p.segment_type, type == 2 ? 1 : 2);
  EXPECT_EQ(rt().RES_SEGMENT_TYPE->read(), type == 2 ? 1 : 2);
  choose(p.segment_type, int(type));
  const bool ridges = rt().RES_SEGMENT_RIDGES->read();
  p.segment_ridges->SetValue(!ridges);
  send_command(p.segment_ridges, wxEVT_CHECKBOX, !ridges);
  EXPECT_EQ(rt().RES_SEGMENT_RIDGES->read(), !ridges);
  send_command(p.segment_ridges, wxEVT_CHECKBOX, ridges);
  EXPECT_EQ(rt().RES_SEGMENT_RIDGES->read(), ridges);
  // Shape settings ask the next update to rebuild; compounding ones only to re-apply.
  p.surface_shape_changed = p.compounding_changed = false;
  const long resolution = rt().RES_SURFACE_RESOLUTION->read();
  choose(p.resolution, resolution == 3 ? 4 : 3);
  EXPECT_EQ(rt().RES_SURFACE_RESOLUTION->read(), resolution == 3 ? 4 : 3);
  EXPECT_TRUE(p.surface_shape_changed);
  EXPECT_FALSE(p.compounding_changed);
  choose(p.compound_type, 2);
  EXPECT_EQ(rt().RES_SURFACE_COMPOUND_TYPE->read(), 2);
  EXPECT_TRUE(p.compounding_changed);
  choose(p.resolution, int(resolution));
  choose(p.compound_type, 0);
  p.surface_shape_changed = p.compounding_changed = false;
}

TEST_F(DrawPage, ApplyToAllTintsTheBoxRedAndUncheckingRestoresIt) {
  wxCheckBox* box = page().apply_to_all;
  const wxColour before = box->GetBackgroundColour();
  box->SetValue(true);
  send_command(box, wxEVT_CHECKBOX, 1);
  const wxColour tinted = box->GetBackgroundColour();
  EXPECT_EQ(tinted.Red(), before.Red());
  EXPECT_EQ(tinted.Green(), before.Green() / 2);
  EXPECT_EQ(tinted.Blue(), before.Blue() / 2);
  box->SetValue(false);
  send_command(box, wxEVT_CHECKBOX, 0);
  EXPECT_EQ(box->GetBackgroundColour(), before);
}

TEST_F(DrawPage, RowControlsRenameAndChangeTheirObject) {
  ASSERT_TRUE(open_task_recording());
  draw_page& p = page();
  contour_object& o = rt().RES_OBJECT->read()[4];
  const wxString name = o.name;
  p.rows[4].name->ChangeValue(L"Patella");
  send_command(p.rows[4].name, wxEVT_TEXT_ENTER);
  EXPECT_EQ(o.name, "Patella");
  EXPECT_EQ(p.object_choice->GetString(4), "Patella");
  p.rows[4].opacity->SetValue(51);
  send_command(p.rows[4].opacity, wxEVT_SLIDER, 51);
  EXPECT_NEAR(o.opacity, 0.2, 1e-12);
  EXPECT_EQ(p.rows[4].opacity->GetValue(), 51);
  p.rows[4].cap->SetValue(false);
  send_command(p.rows[4].cap, wxEVT_CHECKBOX, 0);
  EXPECT_EQ(o.capped, 0);
  send_command(p.rows[4].cap, wxEVT_CHECKBOX, 1);
  EXPECT_EQ(o.capped, 1);
  o.opacity = 1.0;
  p.rows[4].name->ChangeValue(name);
  send_command(p.rows[4].name, wxEVT_TEXT_ENTER);
  EXPECT_EQ(o.name, name);
}

TEST_F(DrawPage, UpdateBuildsTheSurfaceSaveWritesItThroughTheSaveHelperAndRevertDropsIt) {
  ASSERT_TRUE(open_task_recording());
  draw_page& p = page();
  choose(p.object_choice, 3);
  // The frustum of squares from side 8 (frame 2) to 13 (frame 7), 5 mm deep.
  const double a = task_square_side(2) * TASK_SCALE, b = task_square_side(7) * TASK_SCALE;
  const double frustum = 0.5 / 3 * (a * a + b * b + a * b);
  double shown = 0;
  ASSERT_EQ(std::sscanf(p.volume_line->GetLabel().utf8_str().data(), "Volume: %lf ml", &shown), 1);
  EXPECT_NEAR(shown, frustum, 0.05 * frustum);

  // Saving before any update is refused.
  const std::string ply = g_tasks_root + "/out/part3.ply";
  scripted_dialogs dialogs;
  file_menu_ui_scope scope(dialogs);
  dialogs.path = wxString::FromUTF8(ply);
  {
    log_capture log;
    click(p.save_current);
    EXPECT_TRUE(log.has(wxLOG_Warning, "You need to update the surface before saving"));
  }
  EXPECT_FALSE(wxFileName::FileExists(dialogs.path));

  click(p.update_current);
  surface_interp* s = rt().RES_SURFACE[3]->read();
  ASSERT_NE(s, nullptr);
  EXPECT_GT(s->mesh.n_triangles, 0);
  EXPECT_NEAR(s->volume, frustum, 0.3 * frustum);
  EXPECT_TRUE(p.revert_current->IsEnabled());
  EXPECT_TRUE(p.find->IsEnabled());
  EXPECT_NE(p.position_line->GetLabel(), "At: ---.-, ---.-, ---.- mm");
  EXPECT_EQ(rt().RES_SURFACE[4]->read(), nullptr);

  std::set<wxString> saved;
  set_save_fault_hook([&](save_step step, const wxString& target) {
    if (step == save_step::rename) saved.insert(target);
    return save_fault::none;
  });
  click(p.save_current);
  dialogs.path = wxString::FromUTF8(g_tasks_root + "/out/part3.wrl");
  dialogs.filter = 0;
  click(p.save_current);
  set_save_fault_hook({});
  EXPECT_EQ(saved.count(wxString::FromUTF8(ply)), 1u);
  EXPECT_EQ(saved.count(dialogs.path), 1u);
  EXPECT_EQ(file_text(ply).rfind("ply\nformat binary_little_endian 1.0\n", 0), 0u);
  EXPECT_EQ(file_text(g_tasks_root + "/out/part3.wrl").rfind("#VRML", 0), 0u);
  ASSERT_EQ(dialogs.requests.size(), 3u);
  EXPECT_EQ(dialogs.requests.back().folder, wxFileName(wxString::FromUTF8(g_tasks_data)).GetPath());

  click(p.revert_current);
  EXPECT_EQ(rt().RES_SURFACE[3]->read(), nullptr);
  EXPECT_FALSE(p.revert_current->IsEnabled());
}

TEST_F(DrawPage, UpdateAllBuildsEveryUsedObjectAndRevertAllDropsThem) {
  ASSERT_TRUE(open_task_recording());
  click(page().update_all);
  for (int k = 0; k < 18; ++k) EXPECT_EQ(rt().RES_SURFACE[k]->read() != nullptr, k < TASK_OBJECTS) << k;
  EXPECT_TRUE(page().revert_all->IsEnabled());
  click(page().revert_all);
  for (int k = 0; k < TASK_OBJECTS; ++k) EXPECT_EQ(rt().RES_SURFACE[k]->read(), nullptr) << k;
  EXPECT_FALSE(page().revert_all->IsEnabled());
}

TEST_F(DrawPage, ThresholdAndLabelDisplayExcludeEachOther) {
  ASSERT_TRUE(open_task_recording());
  draw_page& p = page();
  const double centre = rt().RES_DICOM_WIN_CENTRE->read(), width = rt().RES_DICOM_WIN_WIDTH->read();
  send_command(p.show_thresholds, wxEVT_CHECKBOX, 1);
  EXPECT_TRUE(rt().RES_CMAP_BINARY->read());
  EXPECT_TRUE(p.grey_lo->IsEnabled());
  EXPECT_FALSE(p.red_lo->IsEnabled());
  // 8-bit data: labels only switch the mode.
  send_command(p.show_labels, wxEVT_CHECKBOX, 1);
  EXPECT_TRUE(rt().RES_CMAP_LABELS->read());
  EXPECT_FALSE(rt().RES_CMAP_BINARY->read());
  EXPECT_FALSE(p.show_thresholds->GetValue());
  EXPECT_EQ(rt().RES_DICOM_WIN_CENTRE->read(), centre);
  send_command(p.show_thresholds, wxEVT_CHECKBOX, 1);
  EXPECT_FALSE(rt().RES_CMAP_LABELS->read());
  EXPECT_TRUE(rt().RES_CMAP_BINARY->read());
  send_command(p.show_thresholds, wxEVT_CHECKBOX, 0);
  EXPECT_FALSE(rt().RES_CMAP_BINARY->read());
  EXPECT_EQ(rt().RES_DICOM_WIN_WIDTH->read(), width);
}

TEST_F(DrawPage, LabelsOf16BitDataSetTheWindowAndGiveItBack) {
  ASSERT_TRUE(open_task_recording());
  draw_page& p = page();
  const int frame = 3;
  rt().RES_BUF_CURRENT_FRAME->write(frame);
  frame_image_ref image = frame_store->imagecp(frame);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->raw, nullptr);
  const size_t n = size_t(TASK_WIDTH) * TASK_HEIGHT;
  auto* raw = new uint16_t[n];
  image->raw = raw;
  const bool dicom = rt().RES_BUF_DICOM->read();
  const double hum = rt().RES_DICOM_HUM->read(), hub = rt().RES_DICOM_HUB->read();
  rt().RES_BUF_DICOM->write(true);
  rt().RES_DICOM_HUM->write(1.0);
  rt().RES_DICOM_HUB->write(-32768.0);
  rt().RES_DICOM_WIN_CENTRE->write(40.0);
  rt().RES_DICOM_WIN_WIDTH->write(400.0);
  rt().RES_DICOM_FILTER->write(2);
  rt().RES_DICOM_FILTER_Z->write(1);
  {
    // CT values are no labels: a warning, and the windowing stays.
    for (size_t i = 0; i < n; ++i) raw[i] = uint16_t(32768 - 1000 + (i % 3000));
    log_capture log;
    p.show_labels->SetValue(true);
    send_command(p.show_labels, wxEVT_CHECKBOX, 1);
    EXPECT_TRUE(log.has(wxLOG_Warning, "This is not categorical data"));
    EXPECT_FALSE(rt().RES_CMAP_LABELS->read());
    EXPECT_FALSE(p.show_labels->GetValue());
    EXPECT_EQ(rt().RES_DICOM_WIN_CENTRE->read(), 40.0);
  }
  // Labels 0 to 5: each display level is its label, without smoothing.
  for (size_t i = 0; i < n; ++i) raw[i] = uint16_t(32768 + i % 6);
  send_command(p.show_thresholds, wxEVT_CHECKBOX, 1);
  send_command(p.show_labels, wxEVT_CHECKBOX, 1);
  EXPECT_TRUE(rt().RES_CMAP_LABELS->read());
  EXPECT_FALSE(rt().RES_CMAP_BINARY->read());
  EXPECT_EQ(rt().RES_DICOM_WIN_CENTRE->read(), 127.0);
  EXPECT_EQ(rt().RES_DICOM_WIN_WIDTH->read(), 256.0);
  EXPECT_EQ(rt().RES_DICOM_FILTER->read(), 0);
  EXPECT_EQ(rt().RES_DICOM_FILTER_Z->read(), 0);
  // A change made while labels are shown does not stop the old window
  // coming back.
  rt().RES_DICOM_WIN_WIDTH->write(300.0);
  send_command(p.show_labels, wxEVT_CHECKBOX, 0);
  EXPECT_FALSE(rt().RES_CMAP_LABELS->read());
  EXPECT_EQ(rt().RES_DICOM_WIN_CENTRE->read(), 40.0);
  EXPECT_EQ(rt().RES_DICOM_WIN_WIDTH->read(), 400.0);
  EXPECT_EQ(rt().RES_DICOM_FILTER->read(), 2);
  EXPECT_EQ(rt().RES_DICOM_FILTER_Z->read(), 1);

  image->raw = nullptr;
  delete[] raw;
  rt().RES_DICOM_FILTER->write(0);
  rt().RES_DICOM_FILTER_Z->write(0);
  rt().RES_DICOM_HUM->write(hum);
  rt().RES_DICOM_HUB->write(hub);
  rt().RES_BUF_DICOM->write(dicom);
}

// Progress that counts the updates it receives and cancels from the first.
struct cancelling_progress final : interp_progress {
  int calls = 0;
  bool update(int, const wxString&) override {
    ++calls;
    return false;
  }
};

// Output of a python3 oracle run on the given script and arguments.
std::string python_output(const std::string& script, const std::string& argument) {
  const std::string out = g_tasks_root + "/out/oracle.txt";
  const std::string cmd = "/usr/bin/python3 -c '" + script + "' '" + argument + "' > '" + out + "' 2>&1";
  if (std::system(cmd.c_str()) != 0) return "failed: " + file_text(out);
  return file_text(out);
}

TEST_F(DrawPage, CompoundingOnlyKeepsTheSurfaceAShapeChangeRebuildsAndACancelKeepsTheOld) {
  ASSERT_TRUE(open_task_recording());
  draw_page& p = page();
  const int resolution = p.resolution->GetSelection(), compounding = p.compound_type->GetSelection();
  choose(p.object_choice, 3);
  click(p.update_current);
  surface_interp* first = rt().RES_SURFACE[3]->read();
  ASSERT_NE(first, nullptr);
  choose(p.compound_type, 2);
  click(p.update_current);
  EXPECT_EQ(rt().RES_SURFACE[3]->read(), first);
  EXPECT_EQ(first->compound_type, 2);
  choose(p.resolution, p.resolution->GetSelection() == 3 ? 2 : 3);
  click(p.update_current);
  surface_interp* second = rt().RES_SURFACE[3]->read();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->compound_type, 2);

  // A cancelled build keeps the surface; in an update of all objects the
  // cancel holds for every object after it.
  cancelling_progress cancel;
  p.scripted_progress = &cancel;
  choose(p.resolution, p.resolution->GetSelection() == 3 ? 2 : 3);
  click(p.update_current);
  EXPECT_EQ(rt().RES_SURFACE[3]->read(), second);
  EXPECT_GT(cancel.calls, 0);
  click(p.update_all);
  p.scripted_progress = nullptr;
  for (int k = 0; k < TASK_OBJECTS; ++k) EXPECT_EQ(rt().RES_SURFACE[k]->read() != nullptr, k == 3) << k;
  EXPECT_EQ(rt().RES_SURFACE[3]->read(), second);
  choose(p.resolution, resolution);
  choose(p.compound_type, compounding);
}

TEST_F(DrawPage, SaveAllWritesOnePlyPerObjectAndTheInfoFileAndMaskFollowTheSurface) {
  ASSERT_TRUE(open_task_recording());
  draw_page& p = page();
  click(p.update_all);
  const wxString names[2] = {rt().RES_OBJECT->read()[0].name, rt().RES_OBJECT->read()[1].name};
  rt().RES_OBJECT->read()[0].name = L"Femur";
  rt().RES_OBJECT->read()[1].name = L"Femur";
  scripted_dialogs dialogs;
  file_menu_ui_scope scope(dialogs);
  dialogs.path = wxString::FromUTF8(g_tasks_root + "/out/scan.ply");
  dialogs.filter = 1;
  click(p.save_all);
  ASSERT_EQ(dialogs.requests.size(), 1u);
  EXPECT_EQ(dialogs.requests[0].filter_index, 1);
  // Two objects of one name get two files; VTK reads each with its mesh.
  const std::string count_cells =
      "import sys, vtk\nr = vtk.vtkPLYReader()\nr.SetFileName(sys.argv[1])\nr.Update()\n"
      "print(r.GetOutput().GetNumberOfPoints(), r.GetOutput().GetNumberOfCells())";
  const std::string files[2] = {g_tasks_root + "/out/scan_Femur.ply", g_tasks_root + "/out/scan_Femur_2.ply"};
  for (int k = 0; k < 2; ++k) {
    const surface_mesh& m = rt().RES_SURFACE[k]->read()->mesh;
    EXPECT_EQ(python_output(count_cells, files[k]),
              std::to_string(m.n_points) + " " + std::to_string(m.n_triangles) + "\n")
        << files[k];
  }
  EXPECT_TRUE(wxFileName::FileExists(wxString::FromUTF8(g_tasks_root + "/out/scan_Part 6.ply")));
  rt().RES_OBJECT->read()[0].name = names[0];
  rt().RES_OBJECT->read()[1].name = names[1];

  // The info file of object 3: its row carries the surface's volume and
  // centre, and every drawn frame has a row from the surface's section.
  choose(p.object_choice, 3);
  dialogs.path = wxString::FromUTF8(g_tasks_root + "/out/part3.csv");
  dialogs.filter = 4;
  click(p.save_current);
  EXPECT_EQ(dialogs.requests.back().name, "Part 3");
  const std::string info = file_text(g_tasks_root + "/out/part3.csv");
  const surface_interp* s = rt().RES_SURFACE[3]->read();
  const std::string row = "Part 3, ," + std::string(wxString::Format(L"%.3f", s->volume).utf8_str()) + ", , ,";
  EXPECT_NE(info.find("\r\n" + row), std::string::npos) << info;
  EXPECT_EQ(info.find(" , , \r\n"), std::string::npos) << info;
  for (int f = 2; f <= 7; ++f) EXPECT_NE(info.find("\r\nPart 3," + std::to_string(f) + ", ,"), std::string::npos) << f;

  // The NIfTI mask of object 3 holds label 4 over about the frustum's volume.
  dialogs.path = wxString::FromUTF8(g_tasks_root + "/out/part3.nii.gz");
  dialogs.filter = 2;
  click(p.save_current);
  const std::string label_volume =
      "import sys, nibabel, numpy\ni = nibabel.load(sys.argv[1])\nd = numpy.asarray(i.dataobj)\n"
      "z = i.header.get_zooms()\nprint(sorted(set(numpy.unique(d).tolist())), "
      "\"%.4f\" % (numpy.count_nonzero(d == 4) * z[0] * z[1] * z[2] / 1000.0))";
  const std::string mask = python_output(label_volume, g_tasks_root + "/out/part3.nii.gz");
  double cc = 0;
  ASSERT_EQ(std::sscanf(mask.c_str(), "[0, 4] %lf", &cc), 1) << mask;
  const double a = task_square_side(2) * TASK_SCALE, b = task_square_side(7) * TASK_SCALE;
  const double frustum = 0.5 / 3 * (a * a + b * b + a * b);
  EXPECT_NEAR(cc, frustum, 0.35 * frustum) << mask;
}

TEST_F(DrawPage, AScriptSaveGoesToTheResultsFolderAndReportsAMissingSurface) {
  ASSERT_TRUE(open_task_recording());
  draw_page& p = page();
  rt().CURRENT_OBJECT->write(2);
  rt().RES_IN_SCRIPT->write(true);
  rt().RES_SCRIPT_RESULTS_DIR->write(wxString::FromUTF8(g_tasks_root + "/out"));
  rt().RES_SCRIPT_RESULTS_NAME->write(L"script_part.ply");
  const std::string target = g_tasks_root + "/out/script_part.ply";
  struct message_log {
    message_log() : functor(this, &message_log::seen) { rt().RES_SCRIPT_WRITE_MESSAGE->add_proc(&functor); }
    ~message_log() { rt().RES_SCRIPT_WRITE_MESSAGE->remove_proc(&functor); }
    void seen() { texts.push_back(rt().RES_SCRIPT_WRITE_MESSAGE->read()); }
    pmf_functor<message_log> functor;
    std::vector<wxString> texts;
  } log;
  click(p.save_current);
  ASSERT_FALSE(log.texts.empty());
  EXPECT_TRUE(log.texts[0].StartsWith("ERROR ")) << log.texts[0];
  EXPECT_FALSE(wxFileName::FileExists(wxString::FromUTF8(target)));
  click(p.update_current);
  click(p.save_current);
  rt().RES_IN_SCRIPT->write(false);
  EXPECT_EQ(file_text(target).rfind("ply\n", 0), 0u);
}

TEST_F(DrawPage, FindGoesToTheNearestFrameMarksThePixelAndShowsTheOrthoPage) {
  ASSERT_TRUE(open_task_recording());
  draw_page& p = page();
  choose(p.object_choice, 3);
  click(p.update_current);
  const surface_interp* s = rt().RES_SURFACE[3]->read();
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(rt().RES_POS_REC->read());
  main_frame->visual_notebook->SetSelection(0);
  change_counter marks(rt().FINDING_LOCATION);
  click(p.find);
  EXPECT_EQ(marks.count, 1);
  EXPECT_EQ(main_frame->visual_notebook->GetSelection(), 1);
  // The frames lie 1 mm apart along z from frame 0 at z = 0 (recording_files.h);
  // the frustum's centre of gravity is nearest the frame that rounds its z.
  const int frame = int(std::lround(s->centroid.z / 0.1));
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), frame);
  EXPECT_EQ(rt().FIND_LOCATION_X->read(), long(s->centroid.x / TASK_SCALE));
  EXPECT_EQ(rt().FIND_LOCATION_Y->read(), long(s->centroid.y / TASK_SCALE));
}

TEST_F(DrawPage, UpdateAllLeavesSurfacesWithoutContoursAndAsksAboutDerivedOnes) {
  ASSERT_TRUE(open_task_recording());
  draw_page& p = page();
  // An imported surface (no contours) and a layer derived from object 3.
  auto* imported = new surface_interp(9);
  auto* derived = new surface_interp(10);
  derived->source_object = 3;
  rt().RES_SURFACE[9]->write(imported);
  rt().RES_SURFACE[10]->write(derived);
  scripted_dialogs dialogs;
  file_menu_ui_scope scope(dialogs);
  click(p.update_all);
  EXPECT_EQ(rt().RES_SURFACE[9]->read(), imported);
  EXPECT_EQ(rt().RES_SURFACE[10]->read(), nullptr);
  for (int k = 0; k < TASK_OBJECTS; ++k) EXPECT_NE(rt().RES_SURFACE[k]->read(), nullptr) << k;
  click(p.revert_all);
  EXPECT_EQ(rt().RES_SURFACE[9]->read(), imported);
  for (int k = 0; k < TASK_OBJECTS; ++k) EXPECT_EQ(rt().RES_SURFACE[k]->read(), nullptr) << k;
}

}  // namespace
