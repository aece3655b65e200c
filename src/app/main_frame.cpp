#include "app/main_frame.h"
#include "app/batch_script.h"
#include "tasks/draw_page.h"
#include "tasks/landmarks_page.h"
#include "settings/comment_dlg.h"
#include "settings/graphics_dlg.h"
#include "settings/image_display_dlg.h"
#include "settings/location_dlg.h"
#include "settings/material_dlg.h"
#include "settings/mouse_dlg.h"

#include <wx/dialog.h>
#include <wx/filename.h>
#include <wx/fs_inet.h>
#include <wx/html/helpctrl.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/toolbar.h>

#include "app/app_dialogs.h"
#include "app/app_ids.h"
#include "app/app_rules.h"
#include "data/config_file.h"
#include "app/main_frame_tables.h"
#include "app/main_views.h"
#include "views/review_canvas.h"
#include "views/review_coords.h"
#include "app/toolbar_art.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "visual/visual_pages.h"

MainFrame* main_frame = nullptr;
frames_status_t MainFrame::frames_status_;

namespace {

constexpr long kSplitterStyle = wxSP_LIVE_UPDATE | wxSP_3DSASH | wxFULL_REPAINT_ON_RESIZE | wxCLIP_CHILDREN;
constexpr long kViewSplitterStyle = kSplitterStyle | wxWANTS_CHARS;
constexpr long kViewStyle = wxVSCROLL | wxHSCROLL | wxWANTS_CHARS;

}  // namespace

MainFrame::MainFrame(const wchar_t* title, int x, int y, int width, int height)
    : wxFrame(nullptr, wxID_ANY, title ? title : L"", wxPoint(x, y), wxSize(width, height),
              wxDEFAULT_FRAME_STYLE) {
  resource_table_t& rt = *resource_table;
  // The change procedure, watching what the menus, toolbar, slider and
  // status bar show.
  update_functor = own_procs.make(this, &MainFrame::update_main_window);
  own_procs.watch(update_functor,
                   {rt.RES_BUF_FRAMES, rt.RES_POS_REC, rt.RES_CURRENT_VISUAL_PAGE, rt.RES_INVERT_BSCAN,
                    rt.RES_TOOL, rt.RES_CURRENT_TASK_PAGE, rt.RES_LOCK_ZOOM, rt.RES_SEE_OUTLINES,
                    rt.RES_SEE_MARK_LOCKED, rt.RES_SEE_DRAW_LOCKED, rt.RES_SEE_SSM_LOCKED,
                    rt.RES_BUF_CURRENT_FRAME, rt.RES_ALERT_STRING, rt.RES_ASCII_FILENAME});
  batch_close = false;
  next_file_number = 1;
  playback_watch.Start();

  // Title.
  SetTitle(wxString(L"Norvelith ") + NV_VERSION_TEXT);

  // Menus, menu bar and icons.
  build_menus();
  SetIcons(frame_icon_bundle());

  // Toolbar.
  build_toolbar();

  // Splitters and notebooks; the views panel with the frame slider and views.
  build_splitters(width);
  build_views();

  // Status bar; field 0 shows menu and tool help.
  CreateStatusBar(3, wxSTB_DEFAULT_STYLE);

  for (int k = 0; k < 200; ++k) {
    rgba_colour_t c = contour_object::default_colour(k);
    object_colours[k] = wxColour(c.Red(), c.Green(), c.Blue());
  }

  // Pages and dialogs, each registering its own change procedures.
  create_task_pages(task_notebook);
  create_visual_pages(visual_notebook);
  create_config_dialogs(this);

  // Help.
  build_help();

  // Status texts.
  SetStatusText(rt.RES_ALERT_STRING->read(), 1);
  SetStatusText(rt.RES_ASCII_FILENAME->read().GetFullPath(), 2);

  // Web pages for the update check.
  static bool internet_handler_added = false;
  if (!internet_handler_added) {
    wxFileSystem::AddHandler(new wxInternetFSHandler);
    internet_handler_added = true;
  }

  // Cursors; every view starts with the Drag cursor.
  for (int k = 0; k < TOOL_CURSORS; ++k) tool_cursors[k] = tool_cursor(k);
  for (wxWindow* view : std::initializer_list<wxWindow*>{review_view, outline_view, centre_view, corner_view})
    view->SetCursor(tool_cursors[CURSOR_DRAG]);

  // Sizes and sash gravities.
  const int w = ConvertDialogToPixels(wxSize(control_width, 0)).x;
  outer_splitter->SetMinSize(wxSize(w, 100));
  right_splitter->SetMinSize(wxSize(100, w));
  outer_splitter->SetSashGravity(0.0);
  right_splitter->SetSashGravity(1.0);
  view_splitter->SetSashGravity(0.5);
  upper_view_splitter->SetSashGravity(0.5);
  lower_view_splitter->SetSashGravity(0.5);
  for (wxSplitterWindow* s : {outer_splitter, right_splitter, view_splitter, upper_view_splitter,
                              lower_view_splitter, left_splitter})
    s->UpdateSize();
}

MainFrame::~MainFrame() {
  // Nothing may call into this window once it is gone: the pages' and the
  // window's own procedures leave their resources first.
  if (resource_table) {
    page_procs.clear();
    resource_table->RES_IDLE_EVENT->remove_proc(update_functor);
    own_procs.clear();
  } else {
    page_procs.abandon();
    own_procs.abandon();
  }
  if (script_runner && get_script_batch_runner() == script_runner.get()) set_script_batch_runner(nullptr);
  delete help_controller;
  help_controller = nullptr;
  if (main_frame == this) main_frame = nullptr;
}

void MainFrame::build_menus() {
  const bool pressure = resource_table->RES_PRESSURE_TASK->read();
  const bool spine = resource_table->RES_SPINE_TASK->read();
  const bool no_frames = resource_table->RES_BUF_FRAMES->read() == 0;
  wxMenu* menus[MENU_COUNT];
  for (auto& m : menus) m = new wxMenu;
  for (int r = 0; r < menu_row_count; ++r) {
    const menu_row_t& row = menu_rows[r];
    wxMenu* menu = menus[row.menu];
    if (row.rule == item_rule::separator) {
      menu->AppendSeparator();
      continue;
    }
    if ((row.rule == item_rule::pressure && !pressure) || (row.rule == item_rule::spine && !spine))
      continue;
    menu->Append(row.id, row.label, row.help, wxITEM_NORMAL);
    if (row.rule == item_rule::off || (row.rule == item_rule::no_frames && !no_frames))
      menu->Enable(row.id, false);
  }
  menu_file = menus[MENU_FILE];
  menu_task = menus[MENU_TASK];
  menu_configure = menus[MENU_CONFIGURE];
  menu_visual = menus[MENU_VISUAL];
  menu_gui = menus[MENU_GUI];
  menu_help = menus[MENU_HELP];
  menu_bar = new wxMenuBar;
  for (const menu_title_t& t : menu_titles) menu_bar->Append(menus[t.menu], t.title);
  SetMenuBar(menu_bar);
}

void MainFrame::build_toolbar() {
  toolbar = CreateToolBar(wxTB_DOCKABLE, wxID_ANY);
  set_toolbar_icon_size(resource_table->RES_ICON_SIZE->read());
  for (int r = 0; r < toolbar_row_count; ++r) {
    const toolbar_row_t& row = toolbar_rows[r];
    switch (row.entry) {
      case toolbar_entry::separator:
        toolbar->AddSeparator();
        break;
      case toolbar_entry::frames_label:
        frames_label = new wxStaticText(toolbar, wxID_ANY, frames_status_text(0, 0), wxDefaultPosition,
                                        wxSize(180, -1), wxST_NO_AUTORESIZE);
        toolbar->AddControl(frames_label, wxEmptyString);
        break;
      case toolbar_entry::text:
        toolbar->AddControl(new wxStaticText(toolbar, wxID_ANY, row.label, wxDefaultPosition,
                                             wxDefaultSize, 0),
                            wxEmptyString);
        break;
      case toolbar_entry::tool:
        toolbar->AddTool(row.id, row.label, toolbar_bitmaps[row.picture], wxNullBitmap, row.kind,
                         wxEmptyString, row.long_help);
        break;
    }
  }
  toolbar->Realize();
  toolbar->EnableTool(ID_TOOL_REWIND, false);
  toolbar->EnableTool(ID_TOOL_PLAY, false);
  toolbar->ToggleTool(ID_TOOL_INVERT_IMAGE, resource_table->RES_INVERT_BSCAN->read());
  toolbar->ToggleTool(ID_TOOL_LOCK_ZOOM, resource_table->RES_LOCK_ZOOM->read());
  refresh_display_tools();
}

void MainFrame::build_splitters(int width) {
  outer_splitter = new wxSplitterWindow(this, ID_OUTER_SPLITTER, wxDefaultPosition, wxDefaultSize, kSplitterStyle);
  right_splitter = new wxSplitterWindow(outer_splitter, ID_RIGHT_SPLITTER, wxDefaultPosition, wxDefaultSize,
                                        kSplitterStyle);
  left_splitter = new wxSplitterWindow(outer_splitter, ID_LEFT_SPLITTER, wxDefaultPosition, wxDefaultSize,
                                       kSplitterStyle);
  task_notebook = new wxNotebook(left_splitter, ID_TASK_NOTEBOOK, wxDefaultPosition, wxDefaultSize,
                                 wxNB_TOP | wxNB_NOPAGETHEME);
  control_width = 135;
  views_panel = new wxPanel(right_splitter, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                            wxCLIP_CHILDREN | wxWANTS_CHARS);
  const int w = ConvertDialogToPixels(wxSize(control_width, 0)).x;
  outer_splitter->SplitVertically(left_splitter, right_splitter, w);
  outer_splitter->SetMinimumPaneSize(w);

  if (wide_control_layout(width)) {
    visual_notebook = new wxNotebook(right_splitter, ID_VISUAL_NOTEBOOK, wxDefaultPosition, wxDefaultSize,
                                     wxNB_TOP | wxNB_NOPAGETHEME);
    right_splitter->SplitVertically(views_panel, visual_notebook, -w);
    left_splitter->Initialize(task_notebook);
  } else {
    visual_notebook = new wxNotebook(left_splitter, ID_VISUAL_NOTEBOOK, wxDefaultPosition, wxDefaultSize,
                                     wxNB_TOP | wxNB_NOPAGETHEME);
    right_splitter->Initialize(views_panel);
    left_splitter->SplitHorizontally(task_notebook, visual_notebook, -w);
  }
  right_splitter->SetMinimumPaneSize(w);
  left_splitter->SetMinimumPaneSize(20);
}

void MainFrame::build_views() {
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  view_splitter = new wxSplitterWindow(views_panel, ID_VIEW_SPLITTER, wxDefaultPosition, wxDefaultSize,
                                       kViewSplitterStyle);
  sizer->Add(view_splitter, 10, wxEXPAND);
  const int32_t frames = resource_table->RES_BUF_FRAMES->read();
  const int32_t current = resource_table->RES_BUF_CURRENT_FRAME->read();
  frame_slider = new wxSlider(views_panel, ID_FRAME_SLIDER, current, 0, frames, wxDefaultPosition,
                              wxDefaultSize, wxSL_HORIZONTAL | wxSL_LABELS);
  frame_slider->SetPageSize(1);
  frame_slider->Enable(frames > 0);  // nothing to choose before data is loaded
  sizer->Add(frame_slider, 0, wxEXPAND);
  views_panel->SetSizer(sizer);

  upper_view_splitter = new wxSplitterWindow(view_splitter, ID_UPPER_VIEW_SPLITTER, wxDefaultPosition,
                                             wxDefaultSize, kViewSplitterStyle);
  review_view = new review_canvas(upper_view_splitter, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                  kViewStyle, L"review_canvas");
  review_view->set_tool_selector([this](int32_t n) { return select_tool(n); });
  outline_view = new outline_canvas(upper_view_splitter, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                    kViewStyle, L"outline_canvas");
  outline_view->set_tool_selector([this](int32_t n) { return select_tool(n); });
  outline_view->set_spine_state(&spine_state);
  outline_view->set_spine_request(&pending_spine_landmark);
  outline_view->set_frame_to_world([](const double pixel[2], double out[3]) { return frame_to_world(pixel, out); });
  lower_view_splitter = new wxSplitterWindow(view_splitter, ID_LOWER_VIEW_SPLITTER, wxDefaultPosition,
                                             wxDefaultSize, kViewSplitterStyle);
  centre_view = new centre_canvas(lower_view_splitter, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                  kViewStyle, L"centre_canvas");
  centre_view->set_tool_selector([this](int32_t n) { return select_tool(n); });
  corner_view = new corner_canvas(lower_view_splitter, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                  kViewStyle, L"corner_canvas");
  corner_view->set_tool_selector([this](int32_t n) { return select_tool(n); });
  blank_window = new wxWindow(lower_view_splitter, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0);

  view_splitter->SplitHorizontally(upper_view_splitter, lower_view_splitter);
  view_splitter->SetMinimumPaneSize(20);
  upper_view_splitter->SplitVertically(review_view, outline_view);
  upper_view_splitter->SetMinimumPaneSize(40);
  lower_view_splitter->Initialize(blank_window);
  centre_view->Hide();
  corner_view->Hide();
  lower_view_splitter->SetMinimumPaneSize(40);
}

void MainFrame::build_help() {
  install_help_page_filter();
  help_controller = new wxHtmlHelpController(wxHF_DEFAULT_STYLE, nullptr);
  help_controller->UseConfig(wxConfigBase::Get(), wxEmptyString);
  help_controller->SetTempDir(wxEmptyString);
  const wxString exec_dir = resource_table->RES_EXEC_DIR->read();
  {
    // A missing archive is reported once, below, in our own words.
    wxLogNull quiet;
    help_available = help_controller->AddBook(wxFileName(exec_dir, L"norvelith_help.zip"), false);
    if (resource_table->RES_PRESSURE_TASK->read())
      help_controller->AddBook(wxFileName(exec_dir, L"norvelith_pressure_help.zip"), false);
    if (resource_table->RES_SPINE_TASK->read())
      help_controller->AddBook(wxFileName(exec_dir, L"norvelith_spine_help.zip"), false);
  }
  if (!help_available) {
    wxLogError(L"Failed to load help file norvelith_help.zip\nHelp menu item will be inactive.");
    menu_bar->Enable(ID_HELP_INDEX, false);
  }
  help_page = L"using_norvelith.htm";
}

void MainFrame::close_help_window() {
  if (!help_controller) return;
  if (wxFrame* frame = help_controller->GetFrame()) frame->Close(true);
}

// ------------------------------------------------------------------- close

void MainFrame::OnClose(wxCloseEvent& event) {
  resource_table_t& rt = *resource_table;
  // Nothing is asked in batch runs or while a script runs.
  if (!batch_close && !rt.RES_IN_SCRIPT->read() && rt.RES_BUF_FRAMES->read() > 0) {
    wxString groups;
    if (base_res_t::describe_changed_groups(RES_CLASS_DATA_HEADER | RES_CLASS_DATA_BODY, groups)) {
      dialog_request_t question;
      question.caption = L"Ignore changes";
      question.text = unsaved_changes_text(groups);
      question.style = wxOK | wxCANCEL | wxICON_EXCLAMATION;
      if (show_message_dialog(this, question) != wxID_OK) {
        if (event.CanVeto()) event.Veto();
        return;
      }
    }
  }
  if (toolbar && tool_down(ID_TOOL_PLAY)) rt.RES_IDLE_EVENT->remove_proc(update_functor);
  close_help_window();
  // The help controller writes its window settings now, while the
  // configuration object it was given still exists.
  delete help_controller;
  help_controller = nullptr;
  help_available = false;
  if (app_config) {
    wxString why;
    if (!save_config_file(*app_config, config_file_in(rt.RES_CONFIG_DIR->read()), &why))
      wxLogError(L"The settings could not be saved.\n%s", why);
  }
  if (this == main_frame) {
    // The help window's position is not worth an error box when the
    // per-user store cannot be written.
    wxLogNull quiet;
    delete wxConfigBase::Set(nullptr);
  }
  // The pages' and dialogs' procedures go now; this window's own stay until
  // it is destroyed.
  page_procs.clear();
  if (draw) draw->stop_listening();
  if (landmarks_tab) landmarks_tab->stop_listening();
  if (scripts) scripts->stop_listening();
  for (settings_dialog* d : std::initializer_list<settings_dialog*>{comment_dialog, graphics_dialog, mouse_dialog,
                                                                     material_dialog,
                                                                     dynamic_cast<settings_dialog*>(display_dialog),
                                                                     dynamic_cast<settings_dialog*>(location_dialog)})
    if (d) d->stop_listening();
  Destroy();
}
