// The settings dialogs: building them, and the command-table entries of
// their controls, each forwarded to its dialog.
#include <wx/clrpicker.h>
#include <wx/dialog.h>

#include "app/app_file_menu_ui.h"
#include "app/main_frame.h"
#include "render3d/outline_canvas.h"
#include "settings/comment_dlg.h"
#include "settings/graphics_dlg.h"
#include "settings/material_dlg.h"
#include "settings/mouse_dlg.h"

namespace {

// The image display and image location dialogs still to come: hidden and
// empty, their command events reaching the main window.
wxDialog* empty_dialog(wxWindow* parent, const wchar_t* title) {
  auto* dialog = new wxDialog;
  dialog->SetExtraStyle(0);
  dialog->Create(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxSTAY_ON_TOP);
  return dialog;
}

}  // namespace

void MainFrame::create_config_dialogs(wxWindow* parent) {
  comment_dialog = new comment_dlg(parent, *this);
  display_dialog = empty_dialog(parent, L"Image display configuration:");
  location_dialog = empty_dialog(parent, L"Image location configuration:");
  graphics_dialog = new graphics_dlg(parent, *this);
  mouse_dialog = new mouse_dlg(parent, *this);
  material_dialog = new material_dlg(parent, *this);
}

const shader* MainFrame::outline_shaders() { return outline_view ? &outline_view->shader_set() : nullptr; }

#define NV_TO_DIALOG(dialog, handler, event_type) \
  void MainFrame::handler(event_type& event) {     \
    if (dialog) dialog->handler(event);            \
  }
NV_TO_DIALOG(comment_dialog, OnComment, wxCommandEvent)
NV_TO_DIALOG(mouse_dialog, OnMouseMiddleOverride, wxCommandEvent)
NV_TO_DIALOG(mouse_dialog, OnMouseRightOverride, wxCommandEvent)
NV_TO_DIALOG(mouse_dialog, OnMouseSensitivity, wxScrollEvent)
NV_TO_DIALOG(mouse_dialog, OnCursorRotation, wxScrollEvent)
NV_TO_DIALOG(mouse_dialog, OnCursorMovement, wxScrollEvent)
NV_TO_DIALOG(mouse_dialog, OnScrollZoom, wxScrollEvent)
NV_TO_DIALOG(mouse_dialog, OnUseScrollbars, wxCommandEvent)
NV_TO_DIALOG(mouse_dialog, OnExpertMode, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnBackground, wxColourPickerEvent)
NV_TO_DIALOG(graphics_dialog, OnBackgroundConst, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnTranslucentLayers, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnLightingAmbient, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnLightingFrontSide, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnLightingLeftRight, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnLightingUpDown, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnOcclusionRange, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnRadiantShadows, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnFocusRange, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnFocusDepth, wxScrollEvent)
NV_TO_DIALOG(graphics_dialog, OnShader, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnGraphicsFont, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnIconSize, wxCommandEvent)
NV_TO_DIALOG(graphics_dialog, OnBrightness, wxScrollEvent)
NV_TO_DIALOG(material_dialog, OnMaterialChoice, wxCommandEvent)
NV_TO_DIALOG(material_dialog, OnMaterialColour, wxColourPickerEvent)
NV_TO_DIALOG(material_dialog, OnMaterialMetallic, wxScrollEvent)
NV_TO_DIALOG(material_dialog, OnMaterialAnisotropy, wxScrollEvent)
NV_TO_DIALOG(material_dialog, OnMaterialRoughness, wxScrollEvent)
#undef NV_TO_DIALOG

// The save dialog is the toolkit's unless a caller installed its own.
void MainFrame::OnMaterialSave(wxCommandEvent& event) {
  file_menu_handler_scope scope;
  if (material_dialog) material_dialog->OnMaterialSave(event);
}
