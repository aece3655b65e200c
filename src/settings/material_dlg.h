// The material dialog: a colour and three shading values with a rendered
// sphere as preview, loaded from and saved to material files. It is shown
// modally only; its controls work on the four material resources, which
// callers fill before and read back after an OK.
#pragma once

#include <wx/colour.h>

#include "settings/settings_dialog.h"

class wxButton;
class wxChoice;
class wxColourPickerCtrl;
class wxColourPickerEvent;
class wxCommandEvent;
class wxScrollEvent;
class wxSlider;
class wxStaticBitmap;

struct material_values {
  wxColour colour;
  double roughness = 0.4, metallic = 0.0, anisotropy = 0.0;
};

class material_dlg final : public settings_dialog {
 public:
  material_dlg(wxWindow* parent, settings_host& host);

  // Edits a material: writes it to the material resources, shows the dialog
  // modally and, when it ends with OK, copies the resources back into it.
  // True for OK.
  bool edit(material_values& material);

  // The change procedure: controls and preview follow the material resources.
  void update();

  void OnMaterialChoice(wxCommandEvent& event);
  void OnMaterialSave(wxCommandEvent& event);
  void OnMaterialColour(wxColourPickerEvent& event);
  void OnMaterialMetallic(wxScrollEvent& event);
  void OnMaterialAnisotropy(wxScrollEvent& event);
  void OnMaterialRoughness(wxScrollEvent& event);

  wxChoice* choice = nullptr;
  wxButton* save = nullptr;
  wxStaticBitmap* preview = nullptr;
  wxColourPickerCtrl* colour = nullptr;
  wxSlider *roughness = nullptr, *metallic = nullptr, *anisotropy = nullptr;
  // Set by a load, cleared by the next refresh: the choice keeps the name.
  bool material_loaded = false;

 private:
  wxSlider* slider(int id, double value);
  void render_preview();
};
