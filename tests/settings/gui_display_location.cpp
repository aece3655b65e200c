// The image display and image location dialogs in the program's main window:
// refused multipliers and pixel sizes, a window centre beyond its slider, and
// frame locations given by a typed spacing.
#include <gtest/gtest.h>
#include <wx/slider.h>
#include <wx/textctrl.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "common/log_capture.h"
#include "registry/resource_table.h"
#include "settings/image_display_dlg.h"
#include "settings/location_dlg.h"
#include "settings_gui_support.h"

namespace {

resource_table_t& rt() { return *resource_table; }

image_display_dlg* display() { return static_cast<image_display_dlg*>(main_frame->display_dialog); }
location_dlg* location() { return static_cast<location_dlg*>(main_frame->location_dialog); }

// Enter in a text field with the given text, as the toolkit sends it.
void enter(wxTextCtrl* field, const wxString& text) {
  field->ChangeValue(text);
  wxCommandEvent event(wxEVT_TEXT_ENTER, field->GetId());
  event.SetEventObject(field);
  event.SetString(text);
  field->GetEventHandler()->ProcessEvent(event);
}

// Puts resources back as a test found them.
struct kept_values {
  explicit kept_values(std::vector<base_res_t*> r) : res(std::move(r)) {
    for (base_res_t* x : res) saved.push_back(x->get_value_as_string());
  }
  ~kept_values() {
    base_res_t::hold_pending_writes(true);
    for (size_t i = 0; i < res.size(); ++i)
      base_res_t::parse_no_changeprocs(wxString(res[i]->name()) + " " + saved[i], -1);
    base_res_t::hold_pending_writes(false);
    base_res_t::make_pending_writes_happen();
  }
  std::vector<base_res_t*> res;
  std::vector<wxString> saved;
};

}  // namespace

TEST(ImageDisplayDialog, MultiplierAtOrBelowZeroWarnsKeepsTheValueAndStillRedraws) {
  for (const wxString typed : {L"0", L"-2"}) {
    log_capture log;
    change_counter redraws(rt().RES_DICOM_REDRAW);
    const double before = rt().RES_DICOM_HUM->read();
    enter(display()->hum, typed);
    EXPECT_TRUE(log.has(wxLOG_Warning, "must be greater than zero")) << typed;
    EXPECT_EQ(rt().RES_DICOM_HUM->read(), before);
    EXPECT_EQ(display()->hum->GetValue(), wxString::Format(L"%.3lf", before));
    EXPECT_EQ(redraws.count, 1);
  }
  log_capture log;
  enter(display()->hum, L"abc");
  EXPECT_TRUE(log.has(wxLOG_Warning, "not a number"));
}

TEST(ImageDisplayDialog, CentreBeyondTheHounsfieldRangeKeepsItsValue) {
  kept_values keep({rt().RES_BUF_DICOM, rt().RES_DICOM_UNITS, rt().RES_DICOM_WIN_CENTRE});
  rt().RES_BUF_DICOM->write_no_changeprocs(true);
  rt().RES_DICOM_UNITS->write_no_changeprocs(L"HU");
  rt().RES_DICOM_WIN_CENTRE->write_no_changeprocs(5000.0);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(display()->centre->GetMin(), -1000);
  EXPECT_EQ(display()->centre->GetMax(), 3000);
  EXPECT_EQ(display()->centre->GetValue(), 3000);
  EXPECT_EQ(rt().RES_DICOM_WIN_CENTRE->read(), 5000.0);
}

TEST(ImageLocationDialog, PixelSizeIsTakenWithoutItsSignAndZeroIsRefused) {
  kept_values keep({rt().RES_XSCALE, rt().RES_YSCALE, rt().RES_POS_MANUAL});
  enter(location()->pixel_size, L"-0.5");
  EXPECT_EQ(location()->pixel_size->GetValue(), L"0.5000");
  EXPECT_DOUBLE_EQ(rt().RES_XSCALE->read(), 0.05);
  EXPECT_DOUBLE_EQ(rt().RES_YSCALE->read(), 0.05);
  EXPECT_TRUE(rt().RES_POS_MANUAL->read());

  log_capture log;
  enter(location()->pixel_size, L"0");
  EXPECT_TRUE(log.has(wxLOG_Warning, "pixel size must not be 0"));
  EXPECT_DOUBLE_EQ(rt().RES_XSCALE->read(), 0.05);
  EXPECT_EQ(location()->pixel_size->GetValue(), L"0.5000");
}

TEST(ImageLocationDialog, TypedSpacingPlacesTheFramesAndKeepsNoCalibration) {
  ASSERT_TRUE(open_data(settings_recording()));
  rt().RES_POS_MANUAL->write(true);  // as after "Change location and size"
  enter(location()->spacing, L"2");
  ASSERT_EQ(rt().RES_BUF_FRAMES->read(), 2);
  EXPECT_EQ(rt().RES_POS_MANUAL_TRAN->read(), 1);
  EXPECT_DOUBLE_EQ(rt().RES_POS_MANUAL_SPAN->read(), 2.0);
  EXPECT_DOUBLE_EQ(rt().RES_ZSCALE->read(), 0.2);
  EXPECT_NEAR(frame_store->positions[0]->z, 0.0, 1e-6);
  EXPECT_NEAR(frame_store->positions[1]->z, 0.2, 1e-6);
  EXPECT_EQ(rt().RES_ZTRANS->read(), 0.0) << "no stray calibration value";
  EXPECT_EQ(location()->location_info->GetLabel(), L"Location has been manually defined");
  close_data();
}
