// The Task and Visual menus' page commands, the commands that bring up the
// settings dialogs, and leaving a settings text field as if Enter had been
// pressed in it.
#include <wx/dialog.h>
#include <wx/notebook.h>
#include <wx/textctrl.h>

#include "app/main_frame.h"
#include "settings/comment_dlg.h"
#include "settings/graphics_dlg.h"
#include "settings/mouse_dlg.h"

namespace {

// Selecting a page sends the notebook's page-change events, whose handlers
// record the page and build what it needs. Pages that the feature switches
// left out are not there to select.
void select_page(wxNotebook* notebook, size_t page) {
  if (notebook && page < notebook->GetPageCount()) notebook->SetSelection(page);
}

// The settings dialogs are modeless: shown once, then brought to the front.
void bring_up(wxDialog* dialog) {
  if (!dialog) return;
  if (!dialog->IsShown()) dialog->Show();
  dialog->Raise();
}

}  // namespace

void MainFrame::OnTaskDraw(wxCommandEvent&) { select_page(task_notebook, 0); }
void MainFrame::OnTaskFitModel(wxCommandEvent&) { select_page(task_notebook, 1); }
void MainFrame::OnTaskLandmarks(wxCommandEvent&) { select_page(task_notebook, 2); }
void MainFrame::OnTaskThickness(wxCommandEvent&) { select_page(task_notebook, 3); }
void MainFrame::OnTaskScript(wxCommandEvent&) { select_page(task_notebook, 4); }
void MainFrame::OnTaskPressure(wxCommandEvent&) { select_page(task_notebook, 5); }
void MainFrame::OnTaskSpine(wxCommandEvent&) { select_page(task_notebook, 6); }

void MainFrame::OnVisualNone(wxCommandEvent&) { select_page(visual_notebook, 0); }
void MainFrame::OnVisualOrtho(wxCommandEvent&) { select_page(visual_notebook, 1); }
void MainFrame::OnVisualReslice(wxCommandEvent&) { select_page(visual_notebook, 2); }
void MainFrame::OnVisualVolume(wxCommandEvent&) { select_page(visual_notebook, 3); }
void MainFrame::OnVisualThickness(wxCommandEvent&) { select_page(visual_notebook, 4); }
void MainFrame::OnVisualPressure(wxCommandEvent&) { select_page(visual_notebook, 5); }
void MainFrame::OnVisualPanorama(wxCommandEvent&) { select_page(visual_notebook, 6); }
void MainFrame::OnVisualSpine(wxCommandEvent&) { select_page(visual_notebook, 7); }

void MainFrame::OnFileEditComment(wxCommandEvent&) { bring_up(comment_dialog); }

void MainFrame::OnConfigLocation(wxCommandEvent&) {
  bring_up(location_dialog);
  help_page = L"positions.htm";
}

void MainFrame::OnConfigMouse(wxCommandEvent&) {
  bring_up(mouse_dialog);
  help_page = L"mouse_shortcuts.htm";
}

void MainFrame::OnConfigGraphics(wxCommandEvent&) {
  bring_up(graphics_dialog);
  help_page = L"graphics.htm";
}

void MainFrame::OnConfigDisplay(wxCommandEvent&) {
  bring_up(display_dialog);
  help_page = L"dicom_display.htm";
}

void MainFrame::OnTextKillFocus(wxFocusEvent& event) {
  auto* text = dynamic_cast<wxTextCtrl*>(event.GetEventObject());
  if (text && text->IsModified()) {
    wxCommandEvent enter(wxEVT_TEXT_ENTER, text->GetId());
    enter.SetEventObject(text);
    enter.SetString(text->GetValue());
    // Sent once: leaving the field again without typing sends nothing.
    text->DiscardEdits();
    // Through the field's own handlers, on to its dialog or page and the
    // command table, as an Enter typed in it would go.
    text->GetEventHandler()->ProcessEvent(enter);
  }
  event.Skip();
}
