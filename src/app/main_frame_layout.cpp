// The GUI menu's window layouts: how the views share the views panel, the
// 3D window's size, and where the task and visualisation notebooks sit.
// The sash handlers keep the control panes from getting too small.
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/splitter.h>
#include <wx/textdlg.h>

#include "app/main_frame.h"
#include "app/main_views.h"
#include "app/window_layout.h"

namespace {

int height_of(wxWindow* w) { return w ? w->GetSize().y : 0; }
int width_of(wxWindow* w) { return w ? w->GetSize().x : 0; }

// The sum of the heights (horizontal split) or widths of both panes.
int panes_extent(wxSplitterWindow* s) {
  return s->GetSplitMode() == wxSPLIT_HORIZONTAL ? height_of(s->GetWindow1()) + height_of(s->GetWindow2())
                                                  : width_of(s->GetWindow1()) + width_of(s->GetWindow2());
}

// Moves a pane into another splitter, where it stays hidden until shown.
void move_into(wxWindow* pane, wxSplitterWindow* splitter) {
  if (pane->GetParent() != splitter) pane->Reparent(splitter);
}

// Stacks the task notebook over the visualisation notebook in one column,
// the lower one `control_width` high, and shows all three.
void stack_notebooks(wxSplitterWindow* column, wxWindow* task, wxWindow* visual, int control_width) {
  if (!column->IsSplit()) {
    move_into(visual, column);
    column->SplitHorizontally(task, visual, -control_width);
  }
  task->Show();
  visual->Show();
  column->Show();
}

}  // namespace

// ------------------------------------------------------------------ views

// "Windows for 2D": the review view and the left view of each row take all
// but 40 pixels.
void MainFrame::OnGuiWindows2D(wxCommandEvent&) {
  view_splitter->SetSashPosition(panes_extent(view_splitter) - 40, true);
  upper_view_splitter->SetSashPosition(width_of(review_view) + width_of(outline_view) - 40, true);
  if (lower_view_splitter->IsSplit())
    lower_view_splitter->SetSashPosition(panes_extent(lower_view_splitter) - 40, true);
}

// "Windows for 3D": the views share each splitter equally.
void MainFrame::OnGuiWindows3D(wxCommandEvent&) {
  view_splitter->SetSashPosition(panes_extent(view_splitter) / 2, true);
  upper_view_splitter->SetSashPosition(panes_extent(upper_view_splitter) / 2, true);
  if (lower_view_splitter->IsSplit())
    lower_view_splitter->SetSashPosition(panes_extent(lower_view_splitter) / 2, true);
  if (right_splitter->IsSplit()) right_splitter->SetSashPosition(right_splitter->GetSashPosition(), true);
}

void MainFrame::OnGuiSet3DSize(wxCommandEvent&) {
  const int upper_width = upper_view_splitter->GetSize().x;
  const int upper_sash = upper_view_splitter->GetSashSize();
  const long height = view_splitter->GetSashPosition();
  const long width = upper_width - upper_view_splitter->GetSashPosition() - upper_sash;
  wxTextEntryDialog dialog(this, L"Current 3D window size (width x height).\nEdit if you want to change this.",
                           L"Size of 3D window", wxString::Format(L"%li x %li", width, height),
                           wxOK | wxCANCEL | wxCENTRE);
  if (dialog.ShowModal() != wxID_OK) return;
  long w = 0, h = 0;
  if (!parse_window_size(dialog.GetValue(), &w, &h)) return;
  if (!pane_size_fits(w, upper_view_splitter->GetMinimumPaneSize(), upper_width, upper_sash) ||
      !pane_size_fits(h, view_splitter->GetMinimumPaneSize(), view_splitter->GetSize().y,
                      view_splitter->GetSashSize()))
    return;
  view_splitter->SetSashPosition(static_cast<int>(h), true);
  upper_view_splitter->SetSashPosition(static_cast<int>(upper_width - w - upper_sash), true);
}

// --------------------------------------------------------------- controls

// Both notebooks in the left column.
void MainFrame::OnGuiControlsLeft(wxCommandEvent&) {
  const int column = left_splitter->GetClientSize().x;
  if (right_splitter->IsSplit()) right_splitter->Unsplit(right_splitter->GetWindow2());
  if (outer_splitter->GetWindow1() != left_splitter) {
    // The controls were on the right.
    move_into(left_splitter, outer_splitter);
    outer_splitter->SplitVertically(left_splitter, right_splitter, column);
  }
  stack_notebooks(left_splitter, task_notebook, visual_notebook, control_width);
}

// Both notebooks in one column right of the views.
void MainFrame::OnGuiControlsRight(wxCommandEvent&) {
  const int frame_width = GetClientSize().x;
  const int column = left_splitter->GetClientSize().x;
  if (outer_splitter->IsSplit()) outer_splitter->Unsplit(left_splitter);
  if (right_splitter->IsSplit()) {
    if (right_splitter->GetWindow2() == visual_notebook) {
      move_into(left_splitter, right_splitter);
      right_splitter->ReplaceWindow(visual_notebook, left_splitter);
    }
    right_splitter->SetSashPosition(frame_width - column, true);
  } else {
    move_into(left_splitter, right_splitter);
    right_splitter->SplitVertically(views_panel, left_splitter, -column);
  }
  stack_notebooks(left_splitter, task_notebook, visual_notebook, control_width);
}

// Task notebook left of the views, visualisation notebook right of them.
void MainFrame::OnGuiControlsBoth(wxCommandEvent&) {
  const int frame_width = GetClientSize().x;
  int column = left_splitter->GetClientSize().x;
  // Two columns must leave room for the views.
  if ((frame_width - control_width) / 2 < column) {
    column = 2 * control_width;
    if (outer_splitter->IsSplit()) outer_splitter->SetSashPosition(column, true);
  }
  if (left_splitter->IsSplit()) left_splitter->Unsplit(visual_notebook);
  if (!right_splitter->IsSplit()) {
    move_into(visual_notebook, right_splitter);
    right_splitter->SplitVertically(views_panel, visual_notebook, -column);
  } else if (right_splitter->GetWindow2() == left_splitter) {
    move_into(visual_notebook, right_splitter);
    right_splitter->ReplaceWindow(left_splitter, visual_notebook);
  }
  if (!outer_splitter->IsSplit()) {
    move_into(left_splitter, outer_splitter);
    outer_splitter->SplitVertically(left_splitter, right_splitter, column);
    right_splitter->SetSashPosition(frame_width - 2 * column, true);
  }
  task_notebook->Show();
  visual_notebook->Show();
  left_splitter->Show();
}

// ------------------------------------------------------------------ sashes

void MainFrame::OnSashChangingTop(wxSplitterEvent& event) {
  const int client = right_splitter->IsSplit()
                         ? right_splitter->GetSashPosition() + outer_splitter->GetSashPosition()
                         : GetClientSize().x;
  event.SetSashPosition(limit_sash(event.GetSashPosition(), control_width, client - control_width));
}

void MainFrame::OnSashChangingMiddle(wxSplitterEvent& event) {
  event.SetSashPosition(
      limit_sash(event.GetSashPosition(), control_width, right_splitter->GetClientSize().x - control_width));
}

void MainFrame::OnSashChangingBottom(wxSplitterEvent& event) {
  event.SetSashPosition(limit_sash(event.GetSashPosition(), 22, left_splitter->GetClientSize().y - 29));
}
