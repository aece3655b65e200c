// The graphics and display dialog: translucency, depth of field, background,
// shader, font and toolbar icons on the left; lighting, ambient occlusion,
// volume brightness and radiant shadows on the right. Five settings need the
// 3D view's shader programs and are refused while it has none installed.
#pragma once

#include "settings/settings_dialog.h"

class wxCheckBox;
class wxChoice;
class wxColourPickerCtrl;
class wxColourPickerEvent;
class wxCommandEvent;
class wxScrollEvent;
class wxSlider;

class graphics_dlg final : public settings_dialog {
 public:
  graphics_dlg(wxWindow* parent, settings_host& host);

  // The change procedure: brings the controls of the resources that changed
  // in the commit back in line.
  void update();
  // Keeps the Brightness slider on its resource.
  void update_brightness();

  void OnTranslucentLayers(wxScrollEvent& event);
  void OnFocusRange(wxScrollEvent& event);
  void OnFocusDepth(wxScrollEvent& event);
  void OnBackground(wxColourPickerEvent& event);
  void OnBackgroundConst(wxCommandEvent& event);
  void OnShader(wxCommandEvent& event);
  void OnGraphicsFont(wxCommandEvent& event);
  void OnIconSize(wxCommandEvent& event);
  void OnLightingAmbient(wxScrollEvent& event);
  void OnOcclusionRange(wxScrollEvent& event);
  void OnLightingFrontSide(wxScrollEvent& event);
  void OnLightingLeftRight(wxScrollEvent& event);
  void OnLightingUpDown(wxScrollEvent& event);
  void OnBrightness(wxScrollEvent& event);
  void OnRadiantShadows(wxCommandEvent& event);

  // --- controls
  wxSlider *translucent = nullptr, *focus_range = nullptr, *focus_depth = nullptr;
  wxColourPickerCtrl* background = nullptr;
  wxCheckBox* uniform = nullptr;
  wxChoice *shader_choice = nullptr, *font = nullptr, *icon_size = nullptr;
  wxSlider *ambient = nullptr, *occlusion = nullptr, *balance = nullptr, *rotation = nullptr;
  wxSlider *position = nullptr, *brightness = nullptr;
  wxCheckBox* radiant = nullptr;

 private:
  // Whether the 3D view lacks shader programs; warns with the feature's
  // name when it does.
  bool refuse(const wchar_t* feature);
  // The drag flags of the sliders that follow the dragging rule.
  struct drag_flags {
    bool ambient = false, balance = false, rotation = false, position = false;
    bool brightness = false, occlusion = false, focus_range = false, focus_depth = false;
  } drag_;
  void build_general(wxSizer* top, base_functor* proc);
  void build_lighting(wxSizer* top, base_functor* proc);
  wxSlider* slider(wxSizer* line, int id, int value, int high, int width, int page, bool labels);
};
