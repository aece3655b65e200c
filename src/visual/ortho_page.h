// The Ortho page: reslice planes 2 (left, centre view) and 1 (right, corner
// view) on the current frame, each moved by its own grids, their slab,
// compounding, accuracy and cropping set together, and their images saved.
#pragma once

#include "visual/reslice_controls.h"
#include "visual/visual_page.h"

class trackgrid;
class trackzgrid;
class wxCheckBox;
class wxChoice;
class wxCommandEvent;
class wxRadioBox;
class wxScrollEvent;
class wxSlider;
class wxStaticText;

class ortho_page final : public visual_panel {
 public:
  ortho_page(wxNotebook* notebook, int unit);

  // The change procedure: planes and thickness on new frames, opacity, crop list.
  void update();

  // --- commands
  void OnOrthoThickness(wxScrollEvent& event);
  void OnOrthoOpacity(wxScrollEvent& event);
  void OnOrthoCompounding(wxCommandEvent& event);
  void OnOrthoFaster(wxCommandEvent& event);
  void OnOrthoCropSurface(wxCommandEvent& event);
  void OnOrthoShowOutside(wxCommandEvent& event);
  void OnOrthoCentreFrame(wxCommandEvent& event);
  void OnOrthoSaveLeft(wxCommandEvent& event);
  void OnOrthoSaveRight(wxCommandEvent& event);

  trackgrid* move_left = nullptr;
  trackgrid* move_right = nullptr;
  trackzgrid* offset_left = nullptr;
  trackzgrid* offset_right = nullptr;
  wxStaticText* thickness_text = nullptr;
  wxSlider* thickness_slider = nullptr;
  wxCheckBox* faster = nullptr;
  wxRadioBox* compounding = nullptr;
  wxStaticText* opacity_text = nullptr;
  wxSlider* opacity_slider = nullptr;
  wxChoice* crop = nullptr;
  wxCheckBox* show_outside = nullptr;

 private:
  slab_thickness_control slab_;
};
