// The main window's change procedure and what it keeps in step: menu
// states, the toolbar's toggles and pictures, the frame slider and the
// status bar.
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/slider.h>
#include <wx/splitter.h>
#include <wx/toolbar.h>

#include "app/app_ids.h"
#include "app/loaded_data.h"
#include "app/main_frame.h"
#include "app/main_views.h"
#include "app/toolbar_art.h"
#include "registry/app_types.h"
#include "registry/resource_table.h"

wxString MainFrame::frames_status_text(double rate, int32_t count) {
  return frames_status_.text(rate, count);
}

wxString& MainFrame::frames_status_text(wxString& text, double rate, int32_t count) {
  text = frames_status_.text(rate, count);
  return text;
}

bool MainFrame::tool_down(int id) const {
  return toolbar && toolbar->FindById(id) && toolbar->GetToolState(id);
}

void MainFrame::set_tool_picture(int id, int picture) {
  if (toolbar && toolbar->FindById(id)) toolbar->SetToolNormalBitmap(id, toolbar_bitmaps[picture]);
}

void MainFrame::update_main_window() {
  resource_table_t& rt = *resource_table;
  const int32_t n = rt.RES_BUF_FRAMES->read();
  const bool frames_changed = rt.RES_BUF_FRAMES->changed_in_flush();
  wxMenuBar* bar = GetMenuBar();

  // File commands and playback follow whether data is loaded.
  if (frames_changed) {
    for (int id : {ID_FILE_OPEN, ID_FILE_OPEN_DIRECTORY}) bar->Enable(id, n == 0);
    for (int id : {ID_FILE_EDIT_COMMENT, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS}) bar->Enable(id, n > 0);
    toolbar->EnableTool(ID_TOOL_REWIND, n > 0);
    toolbar->EnableTool(ID_TOOL_PLAY, n > 0);
  }
  // Exports and grabs.
  if (frames_changed || rt.RES_POS_REC->changed_in_flush() || rt.RES_CURRENT_VISUAL_PAGE->changed_in_flush()) {
    const bool pos_rec = rt.RES_POS_REC->read();
    const int32_t page = rt.RES_CURRENT_VISUAL_PAGE->read();
    bar->Enable(ID_FILE_EXPORT_FRAMES, n > 0);
    bar->Enable(ID_FILE_EXPORT_VOXELS, n > 0 && pos_rec && (page == 1 || page == 2));
    bar->Enable(ID_FILE_EXPORT_IMAGE, n > 0 && pos_rec && rt.RES_ZSCALE->read() != 0.0);
    bar->Enable(ID_GRAB_CENTRE, centre_view->IsShown());
    bar->Enable(ID_GRAB_RIGHT, corner_view->IsShown());
  }
  // Status texts.
  if (rt.RES_ALERT_STRING->changed_in_flush()) SetStatusText(rt.RES_ALERT_STRING->read(), 1);
  if (rt.RES_ASCII_FILENAME->changed_in_flush())
    SetStatusText(data_file_status_text(rt.RES_ASCII_FILENAME->read().GetFullPath(), n,
                                        rt.RES_BUF_DICOM->read(), loaded_data_16bit(),
                                        loaded_data_source_type()),
                  2);
  // The slider spans the frames; with none it is disabled at 0..0, since
  // an empty range 0..-1 is invalid for the toolkit.
  if (frames_changed) {
    if (rt.RES_BUF_CURRENT_FRAME->read() >= n) {
      const int32_t last = n > 0 ? n - 1 : 0;
      frame_slider->SetValue(last);
      rt.RES_BUF_CURRENT_FRAME->write(last);
    }
    frame_slider->SetPageSize(1);
    frame_slider->SetRange(0, n > 0 ? n - 1 : 0);
    frame_slider->Enable(n > 0);
    views_panel->Layout();
    views_panel->Refresh();
  }
  // The slider shows the current frame.
  const int32_t current = rt.RES_BUF_CURRENT_FRAME->read();
  if (frame_slider->GetValue() != current) frame_slider->SetValue(current);

  // Playback: at most one step per commit, none when the frame just moved.
  if (rt.RES_IDLE_EVENT->changed_in_flush() && tool_down(ID_TOOL_PLAY) &&
      !rt.RES_BUF_CURRENT_FRAME->changed_in_flush())
    playback_step();

  // Toolbar toggles.
  if (rt.RES_LOCK_ZOOM->changed_in_flush()) toolbar->ToggleTool(ID_TOOL_LOCK_ZOOM, rt.RES_LOCK_ZOOM->read());
  if (rt.RES_INVERT_BSCAN->changed_in_flush())
    toolbar->ToggleTool(ID_TOOL_INVERT_IMAGE, rt.RES_INVERT_BSCAN->read());
  if (rt.RES_SEE_OUTLINES->changed_in_flush()) {
    const int32_t v = rt.RES_SEE_OUTLINES->read();
    toolbar->ToggleTool(ID_TOOL_SEE_OUTLINES, v != 0);
    set_tool_picture(ID_TOOL_SEE_OUTLINES, v == 2 ? PIC_SEE_OUTLINES_2 : PIC_SEE_OUTLINES);
  }
  if (rt.RES_SEE_DRAW_LOCKED->changed_in_flush()) update_see_draw_tool();
  if (rt.RES_SEE_MARK_LOCKED->changed_in_flush()) update_see_mark_tool();
  if (rt.RES_SEE_SSM_LOCKED->changed_in_flush()) update_see_ssm();
  if (rt.RES_TOOL->changed_in_flush() || rt.RES_CURRENT_TASK_PAGE->changed_in_flush()) {
    update_see_draw_tool();
    update_see_mark_tool();
    update_see_ssm();
  }
}

// The three-state display toggles: 1 always shown, 2 never, 0 following
// the tool and the task page.
void MainFrame::update_see_draw_tool() {
  resource_table_t& rt = *resource_table;
  const int32_t mode = rt.RES_SEE_DRAW_LOCKED->read();
  const int32_t tool = rt.RES_TOOL->read();
  const int32_t page = rt.RES_CURRENT_TASK_PAGE->read();
  int shown = -1;  // -1: unchanged
  if (mode == 1) shown = 1;
  else if (mode == 2) shown = 0;
  else if (tool == TOOL_DRAW || page == 0 || page == 3) shown = 1;
  else if (tool != TOOL_ERASE) shown = 0;
  if (shown >= 0) {
    toolbar->ToggleTool(ID_TOOL_SEE_DRAW, shown == 1);
    if (rt.RES_SEE_DRAW->read() != (shown == 1)) rt.RES_SEE_DRAW->write(shown == 1);
  }
  set_tool_picture(ID_TOOL_SEE_DRAW, mode >= 1 ? PIC_SEE_DRAW_FIXED : PIC_SEE_DRAW_AUTO);
}

void MainFrame::update_see_mark_tool() {
  resource_table_t& rt = *resource_table;
  const int32_t mode = rt.RES_SEE_MARK_LOCKED->read();
  const int32_t tool = rt.RES_TOOL->read();
  const int32_t page = rt.RES_CURRENT_TASK_PAGE->read();
  const bool mark_page = page == 2 || page == 1 || page == 6;
  int shown = -1;
  if (mode == 1) shown = 1;
  else if (mode == 2) shown = 0;
  else if (tool == TOOL_MARK || mark_page) shown = 1;
  else if (tool != TOOL_ERASE) shown = 0;
  if (shown >= 0) {
    toolbar->ToggleTool(ID_TOOL_SEE_MARK, shown == 1);
    if (rt.RES_SEE_MARK->read() != (shown == 1)) rt.RES_SEE_MARK->write(shown == 1);
  }
  set_tool_picture(ID_TOOL_SEE_MARK, mode >= 1 ? PIC_SEE_MARK_FIXED : PIC_SEE_MARK_AUTO);
}

void MainFrame::update_see_ssm() {
  resource_table_t& rt = *resource_table;
  const int32_t mode = rt.RES_SEE_SSM_LOCKED->read();
  const bool shown = mode == 1 || (mode != 2 && rt.RES_CURRENT_TASK_PAGE->read() == 1);
  if (rt.RES_SEE_SSM->read() != shown) rt.RES_SEE_SSM->write(shown);
}

void MainFrame::refresh_display_tools() {
  const int32_t outlines = resource_table->RES_SEE_OUTLINES->read();
  toolbar->ToggleTool(ID_TOOL_SEE_OUTLINES, outlines != 0);
  set_tool_picture(ID_TOOL_SEE_OUTLINES, outlines == 2 ? PIC_SEE_OUTLINES_2 : PIC_SEE_OUTLINES);
  update_see_draw_tool();
  update_see_mark_tool();
  update_see_ssm();
}

void MainFrame::set_toolbar_icon_size(int32_t code) {
  const icon_set_choice_t choice = choose_icon_set(code, GetContentScaleFactor());
  static const int kEdges[3] = {24, 32, 48};
  static const int kSeparation[3] = {22, 30, 40};
  const int edge = kEdges[choice.set];
  for (int k = 0; k < TOOLBAR_PICTURES; ++k) toolbar_bitmaps[k] = toolbar_picture(k, edge);
  toolbar->SetToolBitmapSize(choice.edge > 0 ? FromDIP(wxSize(choice.edge, choice.edge)) : wxSize(edge, edge));
  toolbar->SetToolSeparation(kSeparation[choice.set]);

  set_tool_picture(ID_TOOL_REWIND, PIC_REWIND);
  set_tool_picture(ID_TOOL_PLAY, tool_down(ID_TOOL_PLAY) ? PIC_PAUSE : PIC_PLAY);
  for (int k = 0; k < TOOL_COUNT; ++k) set_tool_picture(ID_TOOL_DRAG + k, PIC_DRAG + k);
  set_tool_picture(ID_TOOL_LOCK_ZOOM, PIC_LOCK_ZOOM);
  set_tool_picture(ID_TOOL_INVERT_IMAGE, PIC_INVERT_IMAGE);
  set_tool_picture(ID_TOOL_SEE_OUTLINES,
                   resource_table->RES_SEE_OUTLINES->read() == 2 ? PIC_SEE_OUTLINES_2 : PIC_SEE_OUTLINES);
  set_tool_picture(ID_TOOL_SEE_MARK,
                   resource_table->RES_SEE_MARK_LOCKED->read() < 1 ? PIC_SEE_MARK_AUTO : PIC_SEE_MARK_FIXED);
  set_tool_picture(ID_TOOL_SEE_DRAW,
                   resource_table->RES_SEE_DRAW_LOCKED->read() < 1 ? PIC_SEE_DRAW_AUTO : PIC_SEE_DRAW_FIXED);
  if (toolbar->FindById(ID_TOOL_PLAY)) {
    toolbar->Realize();
    toolbar->Refresh();
  }
}
