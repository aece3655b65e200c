// The Reslice page: reslice plane 0 turned and moved by the track controls,
// its slab, compounding, accuracy, image size and cropping, quarter turns,
// the locate and fit buttons and the saving of its image.
#pragma once

#include <array>
#include <cstdint>

#include <wx/string.h>

#include "visual/reslice_controls.h"
#include "visual/visual_page.h"

class outline_canvas;
class reslice_info;
class reslice_internals;
class trackball;
class trackgrid;
class trackzgrid;
class wxButton;
class wxCheckBox;
class wxChoice;
class wxCommandEvent;
class wxRadioBox;
class wxScrollEvent;
class wxSlider;
class wxStaticText;

class reslice_page final : public visual_panel {
 public:
  // unit sizes the track controls; turns are seen in view.
  reslice_page(wxNotebook* notebook, int unit, const outline_canvas* view);

  // The change procedure: thickness on new frames, opacity, crop list.
  void update();

  // The landmarks selected on the Landmarks page as fields A, B and C: each
  // name with whether its field holds a selected landmark; usable enables
  // " Locate to selected landmarks ".
  void set_selected_landmarks(const std::array<wxString, 3>& names, const std::array<bool, 3>& selected,
                              bool usable);
  // The width and height sliders moved without an event (a data file's plane).
  void set_size_controls(int32_t width, int32_t height);

  // --- commands
  void OnResliceThickness(wxScrollEvent& event);
  void OnResliceOpacity(wxScrollEvent& event);
  void OnResliceCompounding(wxCommandEvent& event);
  void OnResliceFaster(wxCommandEvent& event);
  void OnResliceWidth(wxScrollEvent& event);
  void OnResliceHeight(wxScrollEvent& event);
  void OnResliceCropSurface(wxCommandEvent& event);
  void OnResliceShowOutside(wxCommandEvent& event);
  void OnResliceRotateX(wxCommandEvent& event);
  void OnResliceRotateY(wxCommandEvent& event);
  void OnResliceRotateZ(wxCommandEvent& event);
  void OnResliceLocateFrame(wxCommandEvent& event);
  void OnResliceLocateMinVoxels(wxCommandEvent& event);
  void OnResliceAutoCentre(wxCommandEvent& event);
  void OnResliceLocateLandmarks(wxCommandEvent& event);
  void OnResliceSave(wxCommandEvent& event);

  trackball* rotate = nullptr;
  trackgrid* move = nullptr;
  trackzgrid* move_normal = nullptr;
  wxStaticText* thickness_text = nullptr;
  wxSlider* thickness_slider = nullptr;
  wxCheckBox* faster = nullptr;
  wxRadioBox* compounding = nullptr;
  wxStaticText* opacity_text = nullptr;
  wxSlider* opacity_slider = nullptr;
  wxSlider* width_slider = nullptr;
  wxSlider* height_slider = nullptr;
  wxChoice* crop = nullptr;
  wxCheckBox* show_outside = nullptr;
  wxButton* locate_landmarks = nullptr;

 private:
  reslice_info& plane() const;
  reslice_internals* builder() const;
  void show_plane_size();

  slab_thickness_control slab_;
  std::array<wxString, 3> landmark_names_;
  std::array<bool, 3> landmark_selected_{};
};

// Plane k of RESLICE.
reslice_info& reslice_plane(int k);
// Plane k's builder, null while no page uses the plane.
reslice_internals* reslice_builder_of(int k);
