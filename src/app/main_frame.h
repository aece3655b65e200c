// The main window: menus, toolbar, the six splitter windows with the task
// and visualisation notebooks, the four OpenGL views, the frame slider, the
// status bar, the settings dialogs and the HTML help.
#pragma once

#include <cstdint>

#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/cursor.h>
#include <wx/frame.h>
#include <wx/stopwatch.h>

#include "app/app_rules.h"
#include "app/proc_registrations.h"

class wxDialog;
class wxHtmlHelpController;
class wxMenu;
class wxMenuBar;
class wxNotebook;
class wxPanel;
class wxSlider;
class wxSplitterWindow;
class wxStaticText;
class wxToolBar;
class wxWindow;
class review_canvas;
class outline_canvas;
class centre_canvas;
class corner_canvas;
class Script;

// Pictures of the toolbar, in the order MainFrame::toolbar_bitmaps keeps them.
enum toolbar_picture : int {
  PIC_REWIND,
  PIC_PLAY,
  PIC_PAUSE,
  PIC_DRAG,
  PIC_SELECT,
  PIC_MARK,
  PIC_DRAW,
  PIC_MEASURE,
  PIC_ERASE,
  PIC_DRAG_ZOOM,
  PIC_LOCK_ZOOM,
  PIC_INVERT_IMAGE,
  PIC_SEE_OUTLINES,
  PIC_SEE_OUTLINES_2,
  PIC_SEE_MARK_AUTO,
  PIC_SEE_MARK_FIXED,
  PIC_SEE_DRAW_AUTO,
  PIC_SEE_DRAW_FIXED,
  PIC_SPARE_0,
  PIC_SPARE_1,
  PIC_SPARE_2,
  PIC_SPARE_3,
  PIC_SPARE_4,
  PIC_SPARE_5,
  TOOLBAR_PICTURES
};

constexpr int TOOL_CURSORS = 7;

class MainFrame : public wxFrame {
 public:
  MainFrame(const wchar_t* title, int x, int y, int width, int height);
  ~MainFrame() override;

  // --- members, in the order the constructor makes them
  wxHtmlHelpController* help_controller = nullptr;
  review_canvas* review_view = nullptr;
  outline_canvas* outline_view = nullptr;
  centre_canvas* centre_view = nullptr;
  corner_canvas* corner_view = nullptr;
  wxString help_page;
  bool batch_close = false;
  wxMenuBar* menu_bar = nullptr;
  wxToolBar* toolbar = nullptr;
  wxMenu* menu_file = nullptr;
  wxMenu* menu_task = nullptr;
  wxMenu* menu_visual = nullptr;
  wxMenu* menu_configure = nullptr;
  wxMenu* menu_gui = nullptr;
  wxMenu* menu_help = nullptr;
  wxPanel* views_panel = nullptr;
  wxWindow* blank_window = nullptr;
  wxSplitterWindow* outer_splitter = nullptr;
  wxSplitterWindow* right_splitter = nullptr;
  wxSplitterWindow* left_splitter = nullptr;
  wxSplitterWindow* view_splitter = nullptr;
  wxSplitterWindow* upper_view_splitter = nullptr;
  wxSplitterWindow* lower_view_splitter = nullptr;
  wxDialog* location_dialog = nullptr;
  wxDialog* mouse_dialog = nullptr;
  wxDialog* graphics_dialog = nullptr;
  wxDialog* display_dialog = nullptr;
  wxDialog* comment_dialog = nullptr;
  wxDialog* material_dialog = nullptr;
  Script* script = nullptr;
  int32_t control_width = 135;
  wxStaticText* frames_label = nullptr;
  wxNotebook* task_notebook = nullptr;
  wxNotebook* visual_notebook = nullptr;
  wxSlider* frame_slider = nullptr;
  wxColour object_colours[200];
  base_functor* update_functor = nullptr;
  bool help_available = false;
  wxBitmap toolbar_bitmaps[TOOLBAR_PICTURES];
  int32_t next_file_number = 1;
  int32_t& default_name_counter = next_file_number;
  wxCursor tool_cursors[TOOL_CURSORS];
  wxStopWatch playback_watch;

  // Change procedures that pages and dialogs keep in the main window; the
  // close handler removes them from their resources.
  proc_registrations page_procs;
  // The window's own procedure, removed when the window is destroyed.
  proc_registrations own_procs;

  // --- the main window's change procedure and its texts
  void update_main_window();
  wxString frames_status_text(double rate, int32_t count);
  wxString& frames_status_text(wxString& text, double rate, int32_t count);
  void set_toolbar_icon_size(int32_t code);
  void refresh_display_tools();

  // --- builders of the pages and dialogs that the constructor calls
  void create_task_pages(wxNotebook* notebook);
  void create_visual_pages(wxNotebook* notebook);
  void create_config_dialogs(wxWindow* parent);

  // --- data files and scripts named on the command line
  bool try_read_halmondo_file(const wxString& file_name);
  bool open_image_data(const wxString& name);
  bool ScriptBatchRun(const wxString& script_file, const wxString& log_file);

  // --- handlers of this step
  void OnClose(wxCloseEvent& event);
  void OnGuiWindows3D(wxCommandEvent& event);
  void OnHelpIndex(wxCommandEvent& event);
  void OnHelpUpdate(wxCommandEvent& event);

  // Closes the help window, if any, forcing the close.
  void close_help_window();

 private:
  void build_menus();
  void build_toolbar();
  void build_splitters(int width);
  void build_views();
  void build_help();
  void update_see_draw_tool();
  void update_see_mark_tool();
  void update_see_ssm();
  void set_tool_picture(int id, int picture);
  bool tool_down(int id) const;

  // The frame-count text's remembered rate and count, one for the program.
  static frames_status_t frames_status_;

  wxDECLARE_EVENT_TABLE();
};

// The one main window; set by start-up.
extern MainFrame* main_frame;
