// The visualisation notebook's page change: the page's builders and which
// views the lower splitter shows.
#include <wx/notebook.h>
#include <wx/splitter.h>

#include "app/main_frame.h"
#include "app/main_views.h"
#include "app/visual_builders.h"
#include "registry/resource_table.h"

namespace {

// Puts exactly the given windows (one, or two side by side) in the splitter.
void show_in_splitter(wxSplitterWindow* splitter, wxWindow* first, wxWindow* second,
                      std::initializer_list<wxWindow*> all) {
  if (splitter->GetWindow1() == first && splitter->GetWindow2() == second) return;
  if (splitter->IsSplit()) splitter->Unsplit();
  wxWindow* shown = splitter->GetWindow1();
  if (shown != first) {
    splitter->ReplaceWindow(shown, first);
    shown->Hide();
  }
  for (wxWindow* w : all)
    if (w != first && w != second) w->Hide();
  first->Show();
  if (second) {
    second->Show();
    splitter->SplitVertically(first, second);
  }
}

}  // namespace

void MainFrame::OnVisualChanged(wxBookCtrlEvent& event) {
  const int page = event.GetSelection();
  if (page < 0 || !visual_notebook || page >= static_cast<int>(visual_notebook->GetPageCount())) return;
  const wxString title = visual_notebook->GetPageText(page);
  const visual_page_builders want = builders_for_page(title);

  // The views first, so that the commands that follow the page (the window
  // grabs) see which views are shown.
  if (lower_view_splitter) {
    const std::initializer_list<wxWindow*> lower = {blank_window, centre_view, corner_view};
    if (title == "Blank")
      show_in_splitter(lower_view_splitter, blank_window, nullptr, lower);
    else if (title == "Ortho")
      show_in_splitter(lower_view_splitter, centre_view, corner_view, lower);
    else
      show_in_splitter(lower_view_splitter, centre_view, nullptr, lower);
    lower_view_splitter->Layout();
  }
  resource_table->RES_CURRENT_VISUAL_PAGE->write_no_changeprocs(page);
  apply_visual_builders(want);
  base_res_t::make_pending_writes_happen();
}
