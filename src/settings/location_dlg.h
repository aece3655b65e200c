// The image location dialog: whether the frames have locations, the image
// size, and locations and a physical size given by hand. Locations that came
// from the data files are overridden only after asking, and can be restored.
#pragma once

#include <cstdint>

#include "data/dynabuf.h"
#include "settings/settings_dialog.h"

class wxButton;
class wxChoice;
class wxCommandEvent;
class wxScrollEvent;
class wxSlider;
class wxStaticText;
class wxTextCtrl;

// What the location dialog asks of the user.
class location_questions {
 public:
  virtual ~location_questions() = default;
  // Whether to override the locations that came from the data files.
  virtual bool override_file_locations(wxWindow* parent) = 0;
};

class location_dlg final : public settings_dialog {
 public:
  location_dlg(wxWindow* parent, settings_host& host);

  // The change procedure.
  void update();
  // The two information lines.
  void update_info();
  // Rebuilds every frame's location from the manual settings; spacing in
  // millimetres, 0 when it follows from the span.
  void set_manual_positions(double spacing);

  void OnPosManualTran(wxCommandEvent& event);
  void OnPosManualRot(wxCommandEvent& event);
  void OnPosManualSpan(wxScrollEvent& event);
  void OnPosManualAngle(wxScrollEvent& event);
  void OnPosManualRadius(wxScrollEvent& event);
  void OnImageWidth(wxScrollEvent& event);
  void OnImageHeight(wxScrollEvent& event);
  void OnPixelSize(wxCommandEvent& event);
  void OnFrameSpacing(wxCommandEvent& event);
  void OnPosManual(wxCommandEvent& event);

  // Null: the toolkit's message dialog.
  location_questions* questions = nullptr;

  // --- controls
  wxButton* manual = nullptr;
  wxStaticText *location_info = nullptr, *size_info = nullptr;
  wxChoice *translate = nullptr, *rotate = nullptr;
  wxSlider *span = nullptr, *angle = nullptr, *radius = nullptr, *width = nullptr, *height = nullptr;
  wxTextCtrl *spacing = nullptr, *pixel_size = nullptr;

 private:
  void enable_controls();
  // The probe calibration that manual locations replaced, put back with the
  // file locations.
  bool calibration_kept_ = false;
  double kept_calibration_[6] = {};  // RES_XTRANS .. RES_ROLL
};
