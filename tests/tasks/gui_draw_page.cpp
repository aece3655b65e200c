// The Draw page in the program's own main window: its controls after each
// refresh, the rows, the handlers that write settings, and the commands that
// build, revert and save surfaces.
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/filename.h>
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

}  // namespace
