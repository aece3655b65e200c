// The main window's toolbar commands, the frame slider and the frame keys.
#include <wx/slider.h>
#include <wx/toolbar.h>

#include "app/app_ids.h"
#include "app/main_frame.h"
#include "app/main_views.h"
#include "app/toolbar_art.h"
#include "data/reslice_info.h"
#include "registry/app_types.h"
#include "registry/resource_table.h"

namespace {

// The cursor of each mouse tool, in tool order; -1 past the last tool.
int cursor_of_tool(int32_t tool) {
  static const int kCursors[TOOL_COUNT] = {CURSOR_DRAG,    CURSOR_SELECT, CURSOR_MARK,     CURSOR_DRAW,
                                           CURSOR_MEASURE, CURSOR_ERASE,  CURSOR_DRAG_ZOOM};
  return tool >= 0 && tool < TOOL_COUNT ? kCursors[tool] : -1;
}

// The next state of a three-state display toggle: automatic, always, never.
int32_t next_display_state(int32_t value) { return value >= 0 && value < 2 ? value + 1 : 0; }

}  // namespace

void MainFrame::OnToolSelect(wxCommandEvent& event) {
  const int32_t tool = event.GetId() - ID_TOOL_DRAG;
  const int cursor = cursor_of_tool(tool);
  if (cursor < 0) return;  // the ids past the radio group carry no tool
  // A call from a script moves the radio group along with the tool.
  if (toolbar->FindById(event.GetId()) && !toolbar->GetToolState(event.GetId()))
    toolbar->ToggleTool(event.GetId(), true);
  resource_table->RES_TOOL->write(static_cast<tool_selection_t>(tool));
  for (wxWindow* view : std::initializer_list<wxWindow*>{review_view, outline_view, centre_view, corner_view})
    if (view) view->SetCursor(tool_cursors[cursor]);
  help_page = L"toolbar.htm";
}

int32_t MainFrame::select_tool(int32_t n) {
  const int32_t previous = resource_table->RES_TOOL->read();
  if (n < 1 || n > 9) return -1;
  const int id = ID_TOOL_DRAG - 1 + n;
  if (!toolbar->FindById(id) || !toolbar->GetToolEnabled(id) || toolbar->GetToolState(id)) return -1;
  toolbar->ToggleTool(id, true);
  wxCommandEvent click(wxEVT_MENU, id);
  click.SetInt(1);
  OnToolSelect(click);
  return previous + 1;
}

void MainFrame::OnLockZoom(wxCommandEvent&) {
  resource_table->RES_LOCK_ZOOM->write(tool_down(ID_TOOL_LOCK_ZOOM));
}

void MainFrame::OnSeeOutlines(wxCommandEvent&) {
  const int32_t value = next_display_state(resource_table->RES_SEE_OUTLINES->read());
  resource_table->RES_SEE_OUTLINES->write(value);
  toolbar->ToggleTool(ID_TOOL_SEE_OUTLINES, value != 0);
  set_tool_picture(ID_TOOL_SEE_OUTLINES, value == 2 ? PIC_SEE_OUTLINES_2 : PIC_SEE_OUTLINES);
}

void MainFrame::OnSeeMarkLocked(wxCommandEvent&) {
  resource_table->RES_SEE_MARK_LOCKED->write(next_display_state(resource_table->RES_SEE_MARK_LOCKED->read()));
}

void MainFrame::OnSeeDrawLocked(wxCommandEvent&) {
  resource_table->RES_SEE_DRAW_LOCKED->write(next_display_state(resource_table->RES_SEE_DRAW_LOCKED->read()));
}

// Inverting the image turns the two orthogonal planes over with it, so that
// they keep showing the same side of the data.
void MainFrame::OnInvertImage(wxCommandEvent&) {
  resource_table_t& rt = *resource_table;
  rt.RES_INVERT_BSCAN->write(!rt.RES_INVERT_BSCAN->read());
  reslice_info* planes = rt.RESLICE->read();
  if (!planes) return;
  reslice_info& side = planes[2];
  side.set_plane(-1.0 * side.normal, side.centre, -1.0 * side.up, true);
  reslice_info& front = planes[1];
  front.set_plane(front.normal, front.centre, -1.0 * front.up, true);
}

// ------------------------------------------------------- frame selection

void MainFrame::step_frame(int32_t frame) {
  frame_slider->SetValue(frame);
  resource_table->RES_BUF_CURRENT_FRAME->write(frame);
}

// Compared with the current frame rather than the last position handled,
// so that going back to an earlier position works after the keys or
// playback moved the frame.
void MainFrame::OnFrameSlider(wxScrollEvent& event) {
  const int32_t position = event.GetPosition();
  resource_table_t& rt = *resource_table;
  if (position == rt.RES_BUF_CURRENT_FRAME->read()) return;
  if (position >= 0 && position < rt.RES_BUF_FRAMES->read()) rt.RES_BUF_CURRENT_FRAME->write(position);
}

void MainFrame::OnKeyDown(wxKeyEvent& event) {
  const int32_t n = resource_table->RES_BUF_FRAMES->read();
  const int32_t current = resource_table->RES_BUF_CURRENT_FRAME->read();
  switch (event.GetKeyCode()) {
    case WXK_SPACE:
    case WXK_UP:
    case WXK_RIGHT:
      if (current < n - 1) step_frame(current + 1);
      break;
    case WXK_LEFT:
    case WXK_DOWN:
      if (current > 0) step_frame(current - 1);
      break;
    default:
      break;
  }
  event.Skip();  // the focused control still gets the key
}

// Menus take their states from the change procedure; opening one needs
// nothing of the program.
void MainFrame::OnMenuOpen(wxMenuEvent& event) { event.Skip(); }
