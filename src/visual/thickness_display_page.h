// The Thickness display page: which mapped quantity colours the surfaces,
// with which colour map, scales, smoothing and rejection, which curves of a
// measured line are drawn, and the results of the last measurement or the
// averages over the mapped surface.
#pragma once

#include <array>

#include "visual/visual_page.h"

class long_res_t;
class wxCheckBox;
class wxChoice;
class wxCommandEvent;
class wxScrollEvent;
class wxSlider;
class wxStaticText;

class thickness_display_page final : public visual_panel {
 public:
  explicit thickness_display_page(wxNotebook* notebook);

  // The change procedure.
  void update();
  // The smoothing, fill and rejection sliders: usable while the Thickness
  // task page lists a surface.
  void enable_filters(bool enable);

  // --- commands
  void OnVisThicknessDisplay(wxCommandEvent& event);
  void OnVisThicknessColour(wxCommandEvent& event);
  void OnVisThicknessScaleMM(wxScrollEvent& event);
  void OnVisThicknessScaleHU(wxScrollEvent& event);
  void OnVisThicknessZeroHU(wxScrollEvent& event);
  void OnVisThicknessScaleHUMM(wxScrollEvent& event);
  void OnVisThicknessSmooth(wxScrollEvent& event);
  void OnVisThicknessFill(wxScrollEvent& event);
  void OnVisThicknessRejectAngle(wxScrollEvent& event);
  void OnVisThicknessRejectOffset(wxScrollEvent& event);
  void OnVisThicknessShowData(wxCommandEvent& event);
  void OnVisThicknessShowModel(wxCommandEvent& event);
  void OnVisThicknessShowDeconvolved(wxCommandEvent& event);

  wxChoice* display = nullptr;
  wxChoice* colour = nullptr;
  // Max thickness, density range, density offset, mass range, smoothing,
  // fill, reject angle, reject offset.
  std::array<wxSlider*, 8> sliders{};
  // Density range, density offset and mass range.
  std::array<wxStaticText*, 3> unit_labels{};
  std::array<wxStaticText*, 8> results{};
  wxCheckBox* show_data = nullptr;
  wxCheckBox* show_model = nullptr;
  wxCheckBox* show_deconvolved = nullptr;

 private:
  std::array<long_res_t*, 8> slider_resources() const;
  void recolour_surfaces();
  void show_results();

  // Set while the procedure waits to run again after its own raise of
  // RES_REDISPLAY_THICKNESS.
  bool raised_ = false;
};
