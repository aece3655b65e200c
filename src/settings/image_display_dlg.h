// The image display dialog: how raw 16-bit values become calibrated values
// (multiplier, offset, units), the display window over them, the equation
// from HU to bone mineral density with its phantom, and the smoothing of the
// raw data within and across images.
#pragma once

#include <cstdint>

#include <wx/string.h>

#include "settings/settings_dialog.h"

class wxButton;
class wxCommandEvent;
class wxScrollEvent;
class wxSlider;
class wxStaticText;
class wxTextCtrl;

// Ranges of the window centre and width sliders for the loaded data.
struct window_slider_ranges {
  int32_t centre_low, centre_high, width_low, width_high;
};
// 0..255 for 8-bit or non-medical data, fixed ranges for HU and GY, else
// the raw range 0..65535 taken through the conversion. The ranges are
// computed in double precision, kept within what a slider can hold, and
// never inverted or empty.
window_slider_ranges window_ranges(bool buf_dicom, bool data_8bit, const wxString& units, double hum, double hub);

// The slider position that shows value: the range's nearest end when the
// value lies outside it, else the value truncated.
int32_t window_slider_position(double value, int32_t low, int32_t high);

// Which controls the loaded data lets the user change.
struct display_enabling {
  bool units, conversion, sliders, calibrate;
};
display_enabling display_controls_enabled(bool buf_dicom, bool data_8bit, bool cmap_labels,
                                          const wxString& value_units, const wxString& units);

// The equation label for a BMD offset and scale.
wxString bmd_equation_text(double offset, double scale);

class image_display_dlg final : public settings_dialog {
 public:
  image_display_dlg(wxWindow* parent, settings_host& host);

  // The change procedure.
  void update();

  void OnDICOMUnits(wxCommandEvent& event);
  void OnDICOMHum(wxCommandEvent& event);
  void OnDICOMHub(wxCommandEvent& event);
  void OnDICOMWinCentre(wxScrollEvent& event);
  void OnDICOMWinWidth(wxScrollEvent& event);
  void OnDICOMFilter(wxScrollEvent& event);
  void OnDICOMFilterZ(wxScrollEvent& event);

  // --- controls
  wxTextCtrl *units = nullptr, *hum = nullptr, *hub = nullptr;
  wxStaticText *range_label = nullptr, *equation = nullptr, *phantom = nullptr;
  wxSlider *centre = nullptr, *width = nullptr, *filter = nullptr, *filter_z = nullptr;
  wxButton* calibrate = nullptr;

 private:
  void set_ranges();
};

// Calibrates the loaded data to bone mineral density from the landmarks at
// the ends of a phantom and writes the equation; failures and the report go
// to the log (and, in a script run, failures to the script's messages).
void calibrate_bone_density();
