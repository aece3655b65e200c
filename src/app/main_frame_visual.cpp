// The visualisation notebook: building its pages, the page change (builders,
// lower view arrangement, help topic) and the shared image-save dialog.
#include <wx/filedlg.h>
#include <wx/log.h>
#include <wx/notebook.h>
#include <wx/splitter.h>

#include "app/main_frame.h"
#include "app/main_views.h"
#include "registry/resource_table.h"
#include "visual/visual_builders.h"
#include "visual/visual_page.h"

void MainFrame::create_visual_pages(wxNotebook* notebook) {
  const bool pressure = resource_table->RES_PRESSURE_TASK->read();
  const bool spine = resource_table->RES_SPINE_TASK->read();
  new blank_page(notebook);
  track_unit = track_unit_of(this);
  visual_pages[VISUAL_PAGE_ORTHO] = new visual_panel(notebook, L"Ortho", true, false);
  visual_pages[VISUAL_PAGE_RESLICE] = new visual_panel(notebook, L"Reslice");
  visual_pages[VISUAL_PAGE_VOLUME] = new visual_panel(notebook, L"Volume");
  visual_pages[VISUAL_PAGE_THICKNESS] = new visual_panel(notebook, L"Thickness");
  visual_pages[VISUAL_PAGE_PRESSURE] = new visual_panel(notebook, L"Pressure", pressure);
  visual_pages[VISUAL_PAGE_PANORAMA] = new visual_panel(notebook, L"Panorama", pressure);
  visual_pages[VISUAL_PAGE_SPINE] = new visual_panel(notebook, L"Spine", spine);
}

namespace {

void hide(wxWindow* w) {
  if (w->IsShown()) w->Hide();
}

// Puts first alone in the splitter, in place of other.
void alone(wxSplitterWindow* splitter, wxWindow* first, wxWindow* other) {
  if (splitter->IsSplit()) splitter->Unsplit();
  if (splitter->GetWindow1() == other) splitter->ReplaceWindow(other, first);
  if (!first->IsShown()) first->Show();
}

}  // namespace

void MainFrame::OnVisualChanged(wxBookCtrlEvent& event) {
  resource_table_t& t = *resource_table;
  const int old = static_cast<int>(t.RES_CURRENT_VISUAL_PAGE->read());
  const int next = event.GetSelection();
  if (!visual_notebook || next < 0 || next >= static_cast<int>(visual_notebook->GetPageCount())) return;
  // A disabled page is not taken: the previous one comes back.
  if (!visual_notebook->GetPage(next)->IsEnabled()) {
    if (old >= 0 && old < static_cast<int>(visual_notebook->GetPageCount()) && old != next)
      visual_notebook->SetSelection(static_cast<size_t>(old));
    return;
  }
  const visual_change_plan plan = plan_visual_change(old, next);
  wxWindow* page = visual_notebook->GetPage(next);
  if (plan.repaint_page) {
    page->Refresh(true);
    page->Update();
  }
  delete_visual_builders(plan);
  if (lower_view_splitter) {
    switch (plan.arrangement) {
      case lower_views::centre:
        hide(blank_window);
        hide(corner_view);
        alone(lower_view_splitter, centre_view, blank_window);
        break;
      case lower_views::centre_and_corner:
        hide(blank_window);
        if (!lower_view_splitter->IsSplit()) {
          if (lower_view_splitter->GetWindow1() != centre_view)
            lower_view_splitter->ReplaceWindow(lower_view_splitter->GetWindow1(), centre_view);
          centre_view->Show();
          corner_view->Show();
          lower_view_splitter->SplitVertically(centre_view, corner_view);
        }
        if (!centre_view->IsShown()) centre_view->Show();
        if (!corner_view->IsShown()) corner_view->Show();
        break;
      case lower_views::blank:
        hide(corner_view);
        hide(centre_view);
        alone(lower_view_splitter, blank_window, centre_view);
        lower_view_splitter->ClearBackground();
        lower_view_splitter->Refresh();
        lower_view_splitter->Update();
        break;
      case lower_views::unchanged:
        break;
    }
    lower_view_splitter->Layout();
  }
  create_visual_builders(plan);
  if (plan.repaint_page) {
    if (auto* p = dynamic_cast<visual_panel*>(page)) p->fit_contents();
  }
  const wxString topic = visual_help_page(next);
  if (!topic.empty()) help_page = topic;
  t.RES_CURRENT_VISUAL_PAGE->write(next);
  base_res_t::make_pending_writes_happen();
}

void MainFrame::save_image_dialog(const wxString& title,
                                  const std::function<void(const wxString&, wxBitmapType)>& saver) {
  wxFileDialog dialog(this, title, wxEmptyString, wxEmptyString, kImageSaveWildcard,
                      wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  // An OK without a file name writes nothing.
  if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return;
  const int filter = dialog.GetFilterIndex();
  saver(image_save_path(dialog.GetPath(), filter), image_save_type(filter));
}

namespace {

// A view's dump_window as the image-save dialog's saver; the view's own
// reason is the message when the file cannot be written.
template <class View>
std::function<void(const wxString&, wxBitmapType)> dump_saver(View* view) {
  return [view](const wxString& path, wxBitmapType type) {
    wxString why;
    if (!view->dump_window(path, type, &why)) wxLogError("%s", why);
  };
}

}  // namespace

void MainFrame::OnGrabReview(wxCommandEvent&) {
  if (review_view) save_image_dialog(L"Save review window as", dump_saver(review_view));
}

void MainFrame::OnGrab3D(wxCommandEvent&) {
  if (outline_view) save_image_dialog(L"Save 3D window as", dump_saver(outline_view));
}

void MainFrame::OnGrabCentre(wxCommandEvent&) {
  if (centre_view && centre_view->IsShown())
    save_image_dialog(L"Save lower centre/left window as", dump_saver(centre_view));
}

void MainFrame::OnGrabRight(wxCommandEvent&) {
  if (corner_view && corner_view->IsShown())
    save_image_dialog(L"Save lower right window as", dump_saver(corner_view));
}
