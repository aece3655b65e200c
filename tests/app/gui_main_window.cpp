// The main window as start-up builds it, its change procedure, the close
// question, the help and the command line, driven in this process.
#include <map>
#include <vector>

#include <gtest/gtest.h>
#include <wx/file.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/html/helpctrl.h>
#include <wx/menu.h>
#include <wx/notebook.h>
#include <wx/progdlg.h>
#include <wx/slider.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "app/app_dialogs.h"
#include "app/app_ids.h"
#include "app/app_rules.h"
#include "app/batch_script.h"
#include "app/main_frame.h"
#include "settings/comment_dlg.h"
#include "settings/graphics_dlg.h"
#include "settings/material_dlg.h"
#include "settings/mouse_dlg.h"
#include "app/norvelith.h"
#include "app/main_views.h"
#include "app/toolbar_art.h"
#include "common/dialog_answers.h"
#include "common/log_capture.h"
#include "data/dynabuf.h"
#include "data/medical_source.h"
#include "medical/dicom_utility.h"
#include "gui_support.h"
#include "registry/app_types.h"
#include "registry/resource_table.h"
#include "views/globcmap.h"
#include "views/material_swatch_wx.h"

namespace {

resource_table_t& rt() { return *resource_table; }
MainWindow& app() { return *static_cast<MainWindow*>(wxTheApp); }
wxString cfg_path(const char* name) { return wxString::FromUTF8(g_cfg) + "/" + name; }



// Change-procedure counts of every resource.
std::map<const base_res_t*, int32_t> worry_counts() {
  std::map<const base_res_t*, int32_t> counts;
  for (base_res_t* r = base_res_t::first_resource(); r; r = r->next_resource()) counts[r] = r->worry_count();
  return counts;
}

// ---------------------------------------------------------------- start-up

TEST(StartUp, FoldersDefaultNamesAndGlobals) {
  ASSERT_NE(main_frame, nullptr);
  EXPECT_EQ(wxTheApp->GetTopWindow(), main_frame);
  EXPECT_EQ(main_frame->GetTitle(), "Norvelith 7.27");
  EXPECT_TRUE(main_frame->IsShown());
  EXPECT_EQ(rt().RES_CONFIG_DIR->read(), wxString::FromUTF8(g_cfg));
  // The program may be started as "./name": its folder is absolute all the same.
  wxFileName exe(wxTheApp->argv[0]);
  exe.MakeAbsolute();
  EXPECT_TRUE(wxIsAbsolutePath(rt().RES_EXEC_DIR->read())) << rt().RES_EXEC_DIR->read();
  EXPECT_EQ(rt().RES_EXEC_DIR->read(), exe.GetPath());
  EXPECT_EQ(g_startup_data_name, cfg_path("halmondo_data_1.hm"));
  EXPECT_EQ(g_startup_frames_name, cfg_path("halmondo_data_1.qzi"));
  EXPECT_EQ(rt().RES_SCRIPT_FILENAME->read().GetPath(), wxString::FromUTF8(g_cfg));
  EXPECT_EQ(rt().RES_DEBUG_FILENAME->read().GetPath(), wxString::FromUTF8(g_cfg));
  EXPECT_FALSE(base_res_t::file_loading());
  ASSERT_NE(frame_store, nullptr);
  EXPECT_GE(frame_store->images.capacity(), 500u);
  ASSERT_NE(gl_attributes, nullptr);
  // The colour map exists and follows the display settings.
  ASSERT_NE(colour_map, nullptr);
  rt().RES_CMAP_LABELS->write(true);
  EXPECT_EQ(colour_map->red()[1], 200);
  rt().RES_CMAP_LABELS->write(false);
  EXPECT_EQ(colour_map->red()[1], 1);
  const int expected[16] = {WX_GL_RGBA,      WX_GL_DOUBLEBUFFER, WX_GL_DEPTH_SIZE, 16, WX_GL_MIN_ALPHA,
                            8,               WX_GL_MIN_RED,      8,                WX_GL_MIN_GREEN, 8,
                            WX_GL_MIN_BLUE,  8,                  WX_GL_SAMPLE_BUFFERS, 0, 0, 0};
  for (int k = 0; k < 16; ++k) EXPECT_EQ(gl_attributes[k], expected[k]) << k;
}

// ------------------------------------------------------------------- menus

struct expected_item {
  int id;  // 0: separator
  const char* label;
  const char* help;
  bool enabled;
};

struct expected_menu {
  const char* title;
  std::vector<expected_item> items;
};

const std::vector<expected_menu>& expected_menus() {
  static const std::vector<expected_menu> menus = {
      {"&File",
       {{6001, "&Open...\tCtrl+O", "Open a new data set", true},
        {6002, "&Open directory...\tCtrl+D", "Search a directory for files", true},
        {6003, "&Save\tCtrl+S", "Save the current data", false},
        {6004, "Save &as...\tCtrl+A", "Save the current data as a new file name", false},
        {6000, "&Close\tCtrl+C", "Close the current data set", false},
        {0, "", "", true},
        {6006, "Open settings", "Open a file containing parameters or display settings", true},
        {6007, "Save settings as...", "Save parameters or display settings to a file", true},
        {6008, "Reset to default values", "Set all parameters and display settings to default values", true},
        {0, "", "", true},
        {6005, "Edit comment", "Add, edit or view a comment saved with this data", false},
        {0, "", "", true},
        {6015, "Export image data", "Export loaded image data in alternative data formats", false},
        {6009, "Export specific frames", "Export individual frames and contours in Halmondo or image formats", false},
        {6014, "Export resliced data", "Export data aligned to the current reslice in Halmondo format", false},
        {0, "", "", true},
        {6010, "Grab review window", "Grab the review window and save to an image file", true},
        {6011, "Grab 3D window", "Grab the 3D window and save to an image file", true},
        {6012, "Grab centre/left window", "Grab the lower centre or left hand window and save to an image file", false},
        {6013, "Grab right window", "Grab the lower right hand window and save to an image file", false},
        {0, "", "", true},
        {6016, "&Quit\tCtrl+Q", "Exit norvelith.", true}}},
      {"&Task",
       {{6017, "&Draw", "Draw and measure objects", true},
        {6025, "&Fit shape model", "Fit shape model", true},
        {6018, "&Landmarks", "View landmark information", true},
        {6024, "Thic&kness", "Calculation of cortical thickness", true},
        {6026, "S&cript", "Run Script", true}}},
      {"&Configure",
       {{6040, "Image lo&cation", "Determine image location and size", true},
        {6041, "&Image display", "Determine how image data is displayed and calibrated", true}}},
      {"&Visual",
       {{6019, "&None", "Clear the lower visual pane", true},
        {6020, "&Orthographic", "Display two additional mutually orthogonal planes", true},
        {6021, "&Reslice", "Display an arbitrarily orientable plane", true},
        {6028, "&Volume", "Volume rendering of regular data sets", true},
        {6027, "Thic&kness", "Visualisation of cortical thickness", true}}},
      {"&GUI",
       {{6032, "Windows for &2D", "Layout visualisation windows for 2D data", true},
        {6033, "Windows for &3D", "Layout visualisation windows for 3D data", true},
        {6034, "Set 3D window &size", "Set a specific size for the 3D window", true},
        {6035, "Controls on &left", "Put task and visualisation pages on the left", true},
        {6036, "Controls on &right", "Put task and visualisation pages on the right", true},
        {6037, "Controls &both sides", "Put task pages on the left and visualisation pages on the right", true},
        {0, "", "", true},
        {6039, "&Graphics and display", "Graphics and display options", true},
        {6038, "&Mouse and keys", "Mouse and key press options", true}}},
      {"&Help",
       {{6048, "&Help window \tF1", "", true},
        {0, "", "", true},
        {6050, "&Online pages", "Use an external browser to access the online Norvelith pages", true},
        {6049, "Check for &updates", "Check for any more recent software releases", true},
        {0, "", "", true},
        {6051, "&About...\tShift+F1", "", true}}},
  };
  return menus;
}

void expect_menus(MainFrame* frame, const std::vector<expected_menu>& menus) {
  wxMenuBar* bar = frame->GetMenuBar();
  ASSERT_EQ(bar->GetMenuCount(), menus.size());
  for (size_t m = 0; m < menus.size(); ++m) {
    EXPECT_EQ(bar->GetMenuLabel(m), menus[m].title);
    wxMenu* menu = bar->GetMenu(m);
    ASSERT_EQ(menu->GetMenuItemCount(), menus[m].items.size()) << menus[m].title;
    for (size_t i = 0; i < menus[m].items.size(); ++i) {
      const expected_item& want = menus[m].items[i];
      wxMenuItem* item = menu->FindItemByPosition(i);
      if (want.id == 0) {
        EXPECT_TRUE(item->IsSeparator()) << menus[m].title << " " << i;
        continue;
      }
      EXPECT_EQ(item->GetId(), want.id);
      EXPECT_EQ(item->GetItemLabel(), want.label) << want.id;
      EXPECT_EQ(item->GetHelp(), want.help) << want.id;
      EXPECT_EQ(item->GetKind(), wxITEM_NORMAL) << want.id;
      EXPECT_EQ(item->IsEnabled(), want.enabled) << want.id;
    }
  }
}

TEST(Menus, MatchTheTableWithoutThePressureAndSpineFeatures) { expect_menus(main_frame, expected_menus()); }

TEST(Menus, PressureAndSpineSwitchesAddTheirItemsPagesAndHelp) {
  rt().RES_PRESSURE_TASK->write(true);
  rt().RES_SPINE_TASK->write(true);
  {
    extra_frame extra;
    std::vector<expected_menu> menus = expected_menus();
    menus[1].items.push_back({6022, "Pr&essure", "Correction of probe pressure artefacts", true});
    menus[1].items.push_back({6030, "Spi&ne", "Assessment of spine", true});
    menus[3].items.push_back({6023, "Pr&essure", "Display a plane oriented for probe pressure correction", true});
    menus[3].items.push_back({6029, "&Panorama", "Display an extended field-of-view image", true});
    menus[3].items.push_back({6031, "Spi&ne", "Spine measurements", true});
    expect_menus(extra.frame, menus);
    EXPECT_EQ(extra.frame->task_notebook->GetPageCount(), 7u);
    ASSERT_EQ(extra.frame->visual_notebook->GetPageCount(), 8u);
    EXPECT_EQ(extra.frame->visual_notebook->GetPageText(6), "Panorama");
    EXPECT_EQ(extra.frame->visual_notebook->GetPageText(7), "Spine");
    EXPECT_EQ(extra.frame->help_controller->GetHelpData()->GetBookRecArray().GetCount(), 3u);
  }
  rt().RES_PRESSURE_TASK->write(false);
  rt().RES_SPINE_TASK->write(false);
  {
    extra_frame extra;
    EXPECT_EQ(extra.frame->task_notebook->GetPageCount(), 5u);
    EXPECT_EQ(extra.frame->visual_notebook->GetPageCount(), 5u);
    EXPECT_EQ(extra.frame->visual_notebook->GetPageText(4), "Thickness");
    EXPECT_EQ(extra.frame->help_controller->GetHelpData()->GetBookRecArray().GetCount(), 1u);
  }
}

// ----------------------------------------------------------------- toolbar

struct expected_tool {
  enum kind_t { separator, control, tool } entry;
  int id;
  const char* label;  // tool label, or the control's text
  wxItemKind kind;
  const char* long_help;
  bool enabled, down;
};

TEST(Toolbar, MatchesTheTable) {
  const expected_tool tools[] = {
      {expected_tool::tool, 6170, "Rewind", wxITEM_NORMAL, "Rewind recorded data", false, false},
      {expected_tool::tool, 6171, "Play", wxITEM_CHECK, "Play/Pause recorded data", false, false},
      {expected_tool::separator, -1, "", wxITEM_NORMAL, "", true, false},
      {expected_tool::control, -1, "0 frames loaded.", wxITEM_NORMAL, "", true, false},
      {expected_tool::separator, -1, "", wxITEM_NORMAL, "", true, false},
      {expected_tool::control, -1, "Tool: ", wxITEM_NORMAL, "", true, false},
      {expected_tool::tool, 7412, "Drag", wxITEM_RADIO, "Rotation of 3D data or windowing of 16-bit image data", true, true},
      {expected_tool::tool, 7413, "Select", wxITEM_RADIO, "Select a region for processing", true, false},
      {expected_tool::tool, 7414, "Mark", wxITEM_RADIO, "Mark locations in the windows", true, false},
      {expected_tool::tool, 7415, "Draw", wxITEM_RADIO, "Outline features in the review window", true, false},
      {expected_tool::tool, 7416, "Measure", wxITEM_RADIO, "Measure lengths in the review window", true, false},
      {expected_tool::tool, 7417, "Erase", wxITEM_RADIO, "Erase components in the windows", true, false},
      {expected_tool::tool, 7418, "Drag zoom", wxITEM_RADIO, "Click and drag to zoom the windows", true, false},
      {expected_tool::tool, 7421, "Lock zoom", wxITEM_CHECK, "Do not adjust zoom for window size", true, false},
      {expected_tool::separator, -1, "", wxITEM_NORMAL, "", true, false},
      {expected_tool::control, -1, "Display: ", wxITEM_NORMAL, "", true, false},
      {expected_tool::tool, 6065, "Invert image", wxITEM_CHECK, "Flip the image vertically in the review window", true, false},
      // RES_SEE_OUTLINES starts at 1: shown, tool down.
      {expected_tool::tool, 7422, "Display frames", wxITEM_CHECK, "Display outlines in the 3D and reslice windows", true, true},
      // Automatic landmarks and objects on the Draw page with the Drag tool.
      {expected_tool::tool, 7423, "Display landmarks", wxITEM_CHECK, "Display landmarks in all windows", true, false},
      {expected_tool::tool, 7424, "Display objects", wxITEM_CHECK, "Display any contours or surfaces in all windows", true, true},
      {expected_tool::separator, -1, "", wxITEM_NORMAL, "", true, false},
  };
  // The table holds the start-up state: Draw page, Drag tool, objects automatic.
  rt().RES_SEE_DRAW_LOCKED->write(0);
  rt().RES_TOOL->write(TOOL_DRAG);
  rt().RES_CURRENT_TASK_PAGE->write(0);
  wxToolBar* tb = main_frame->toolbar;
  ASSERT_EQ(tb->GetToolsCount(), sizeof(tools) / sizeof(tools[0]));
  for (size_t k = 0; k < tb->GetToolsCount(); ++k) {
    const wxToolBarToolBase* t = tb->GetToolByPos(k);
    const expected_tool& want = tools[k];
    switch (want.entry) {
      case expected_tool::separator:
        EXPECT_TRUE(t->IsSeparator()) << k;
        break;
      case expected_tool::control: {
        ASSERT_TRUE(t->IsControl()) << k;
        auto* text = dynamic_cast<wxStaticText*>(t->GetControl());
        ASSERT_NE(text, nullptr) << k;
        EXPECT_EQ(text->GetLabel(), want.label) << k;
        break;
      }
      case expected_tool::tool:
        EXPECT_TRUE(t->IsButton()) << k;
        EXPECT_EQ(t->GetId(), want.id) << k;
        EXPECT_EQ(t->GetLabel(), want.label) << k;
        EXPECT_EQ(t->GetKind(), want.kind) << k;
        EXPECT_EQ(t->GetLongHelp(), want.long_help) << k;
        EXPECT_EQ(t->GetShortHelp(), "") << k;
        EXPECT_EQ(t->IsEnabled(), want.enabled) << want.label;
        EXPECT_EQ(t->IsToggled(), want.down) << want.label;
        EXPECT_TRUE(t->GetNormalBitmap().IsOk()) << want.label;
        break;
    }
  }
}

TEST(Toolbar, ResourcesPressTheirToggles) {
  rt().RES_LOCK_ZOOM->write(true);
  rt().RES_INVERT_BSCAN->write(true);
  EXPECT_TRUE(main_frame->toolbar->GetToolState(7421));
  EXPECT_TRUE(main_frame->toolbar->GetToolState(6065));
  {
    extra_frame extra;  // a new window starts with them down too
    EXPECT_TRUE(extra.frame->toolbar->GetToolState(7421));
    EXPECT_TRUE(extra.frame->toolbar->GetToolState(6065));
  }
  rt().RES_LOCK_ZOOM->write(false);
  rt().RES_INVERT_BSCAN->write(false);
  EXPECT_FALSE(main_frame->toolbar->GetToolState(7421));
  EXPECT_FALSE(main_frame->toolbar->GetToolState(6065));

  // Display objects in automatic state follows the tool and the task page.
  rt().RES_CURRENT_TASK_PAGE->write(2);
  EXPECT_FALSE(main_frame->toolbar->GetToolState(7424));
  EXPECT_FALSE(rt().RES_SEE_DRAW->read());
  EXPECT_TRUE(main_frame->toolbar->GetToolState(7423));
  EXPECT_TRUE(rt().RES_SEE_MARK->read());
  rt().RES_TOOL->write(TOOL_DRAW);
  EXPECT_TRUE(main_frame->toolbar->GetToolState(7424));
  rt().RES_TOOL->write(TOOL_ERASE);  // erase leaves them as they were
  EXPECT_TRUE(main_frame->toolbar->GetToolState(7424));
  rt().RES_SEE_DRAW_LOCKED->write(2);  // never shown
  EXPECT_FALSE(main_frame->toolbar->GetToolState(7424));
  EXPECT_FALSE(rt().RES_SEE_DRAW->read());
  rt().RES_SEE_DRAW_LOCKED->write(0);
  rt().RES_TOOL->write(TOOL_DRAG);
  rt().RES_CURRENT_TASK_PAGE->write(0);
  EXPECT_TRUE(main_frame->toolbar->GetToolState(7424));
  EXPECT_FALSE(main_frame->toolbar->GetToolState(7423));
}

TEST(Toolbar, CursorsHaveTheirSizeAndHotspots) {
  const int hotspots[7][2] = {{0, 0}, {8, 0}, {3, 2}, {6, 6}, {2, 2}, {9, 9}, {7, 3}};
  for (int k = 0; k < 7; ++k) {
    wxImage image = tool_cursor_image(k);
    EXPECT_EQ(image.GetWidth(), 24);
    EXPECT_EQ(image.GetHeight(), 24);
    EXPECT_EQ(image.GetOptionInt(wxIMAGE_OPTION_CUR_HOTSPOT_X), hotspots[k][0]) << k;
    EXPECT_EQ(image.GetOptionInt(wxIMAGE_OPTION_CUR_HOTSPOT_Y), hotspots[k][1]) << k;
    int opaque = 0, clear = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x) (image.GetAlpha(x, y) > 128 ? opaque : clear)++;
    EXPECT_GT(opaque, 10) << k;
    EXPECT_GT(clear, 200) << k;
    EXPECT_TRUE(main_frame->tool_cursors[k].IsOk()) << k;
  }
}

// ---------------------------------------------------- status bar and layout

TEST(StatusBar, ThreeFieldsWithAlertAndDataFile) {
  wxStatusBar* bar = main_frame->GetStatusBar();
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->GetFieldsCount(), 3);
  EXPECT_EQ(bar->GetStatusText(1), rt().RES_ALERT_STRING->read());
  // Without data, the data file's name.
  ASSERT_EQ(rt().RES_BUF_FRAMES->read(), 0);
  EXPECT_TRUE(rt().RES_ASCII_FILENAME->read().GetFullPath().EndsWith("halmondo_data_1.hm"));
  EXPECT_EQ(bar->GetStatusText(2), rt().RES_ASCII_FILENAME->read().GetFullPath());
  rt().RES_ALERT_STRING->write("Busy");
  EXPECT_EQ(bar->GetStatusText(1), "Busy");
  rt().RES_ALERT_STRING->write(" ");
}

// 16-bit data read through the volume readers: the data file's field names
// the source first; 8-bit data shows the path alone.
class stand_in_source : public medical_source {
 public:
  explicit stand_in_source(bool sixteen) : sixteen_(sixteen) {}
  int32_t read_frame(const wxString&, int32_t, int32_t, uint16_t*, uint8_t*) override { return 0; }
  bool data_8bit() const override { return !sixteen_; }
  bool data_16bit() const override { return sixteen_; }
  wxString source_type() const override { return "DICOM"; }
  wxString value_units() const override { return "HU"; }
  void file_rescale(double& slope, double& intercept) const override { slope = 1, intercept = 0; }
  bool sort_frames() override { return false; }
  void reset_data_source() override {}

 private:
  bool sixteen_;
};

TEST(StatusBar, DataFileFieldNamesTheSourceOf16BitData) {
  medical_source* const before = current_medical_source();
  const wxFileName name_before = rt().RES_ASCII_FILENAME->read();
  const struct {
    bool sixteen;
    const char* expected;
  } cases[] = {{true, "DICOM data: /data/scans/knee.hm"}, {false, "/data/scans/knee.hm"}};
  for (const auto& c : cases) {
    stand_in_source source(c.sixteen);
    set_medical_source(&source);
    base_res_t::hold_pending_writes(true);
    rt().RES_BUF_DICOM->write_no_changeprocs(true);
    rt().RES_BUF_FRAMES->write_no_changeprocs(3);
    rt().RES_ASCII_FILENAME->write_no_changeprocs(wxFileName("/data/scans/knee.hm"));
    base_res_t::hold_pending_writes(false);
    base_res_t::make_pending_writes_happen();
    EXPECT_EQ(main_frame->GetStatusBar()->GetStatusText(2), c.expected);

    base_res_t::hold_pending_writes(true);
    rt().RES_BUF_DICOM->write_no_changeprocs(false);
    rt().RES_BUF_FRAMES->write_no_changeprocs(0);
    rt().RES_ASCII_FILENAME->write_no_changeprocs(name_before);
    base_res_t::hold_pending_writes(false);
    base_res_t::make_pending_writes_happen();
    set_medical_source(before);
  }
  EXPECT_EQ(main_frame->GetStatusBar()->GetStatusText(2), name_before.GetFullPath());
  base_res_t::clear_changed(0xffff);
}

TEST(Layout, SplittersNotebooksAndViews) {
  MainFrame* f = main_frame;
  EXPECT_EQ(f->outer_splitter->GetId(), 6042);
  EXPECT_EQ(f->right_splitter->GetId(), 6043);
  EXPECT_EQ(f->left_splitter->GetId(), 6044);
  EXPECT_EQ(f->view_splitter->GetId(), 6045);
  EXPECT_EQ(f->upper_view_splitter->GetId(), 6046);
  EXPECT_EQ(f->lower_view_splitter->GetId(), 6047);
  EXPECT_EQ(f->task_notebook->GetId(), 6052);
  EXPECT_EQ(f->visual_notebook->GetId(), 6053);
  EXPECT_EQ(f->frame_slider->GetId(), 6057);
  EXPECT_EQ(f->outer_splitter->GetWindow1(), f->left_splitter);
  EXPECT_EQ(f->outer_splitter->GetWindow2(), f->right_splitter);
  EXPECT_EQ(f->upper_view_splitter->GetWindow1(), f->review_view);
  EXPECT_EQ(f->upper_view_splitter->GetWindow2(), f->outline_view);
  EXPECT_EQ(f->lower_view_splitter->GetWindow1(), f->blank_window);
  EXPECT_FALSE(f->lower_view_splitter->IsSplit());
  EXPECT_FALSE(f->centre_view->IsShown());
  EXPECT_FALSE(f->corner_view->IsShown());
  EXPECT_EQ(f->review_view->GetName(), "review_canvas");
  EXPECT_EQ(f->outline_view->GetName(), "outline_canvas");
  EXPECT_EQ(f->centre_view->GetName(), "centre_canvas");
  EXPECT_EQ(f->corner_view->GetName(), "corner_canvas");
  EXPECT_EQ(f->control_width, 135);
  EXPECT_EQ(f->frame_slider->GetValue(), 0);
  EXPECT_FALSE(f->frame_slider->IsEnabled()) << "no frames to choose from";
  // "Windows for 3D" at start-up: the review and 3D views share the width.
  const int review = f->review_view->GetSize().x, outline = f->outline_view->GetSize().x;
  EXPECT_LE(std::abs(review - outline), f->upper_view_splitter->GetSashSize() + 2) << review << " " << outline;
  EXPECT_EQ(f->help_page, "using_norvelith.htm");
  for (wxDialog* d : std::initializer_list<wxDialog*>{f->location_dialog, f->mouse_dialog, f->graphics_dialog,
                                                     f->display_dialog, f->comment_dialog, f->material_dialog}) {
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->IsShown());
    EXPECT_EQ(d->GetExtraStyle() & wxWS_EX_BLOCK_EVENTS, 0);
  }
}

TEST(Layout, NarrowDisplaysPutTheVisualPagesUnderTheTaskPages) {
  {
    extra_frame narrow(1279);
    EXPECT_EQ(narrow.frame->visual_notebook->GetParent(), narrow.frame->left_splitter);
    EXPECT_TRUE(narrow.frame->left_splitter->IsSplit());
    EXPECT_EQ(narrow.frame->left_splitter->GetSplitMode(), wxSPLIT_HORIZONTAL);
    EXPECT_FALSE(narrow.frame->right_splitter->IsSplit());
  }
  {
    extra_frame wide(1280);
    EXPECT_EQ(wide.frame->visual_notebook->GetParent(), wide.frame->right_splitter);
    EXPECT_TRUE(wide.frame->right_splitter->IsSplit());
    EXPECT_EQ(wide.frame->right_splitter->GetWindow2(), wide.frame->visual_notebook);
    EXPECT_FALSE(wide.frame->left_splitter->IsSplit());
  }
}

// Every change procedure a window registers is gone once it is destroyed.
TEST(Shutdown, ADestroyedWindowLeavesNoChangeProcedureBehind) {
  const auto before = worry_counts();
  {
    extra_frame extra;
    EXPECT_GT(rt().RES_BUF_FRAMES->worry_count(), before.at(rt().RES_BUF_FRAMES));
    EXPECT_GT(rt().RES_BUF_CURRENT_FRAME->worry_count(), before.at(rt().RES_BUF_CURRENT_FRAME));
  }
  EXPECT_EQ(worry_counts(), before);
  // Commits after the window is gone reach only live windows.
  rt().RES_BUF_CURRENT_FRAME->write(0);
  rt().RES_ASCII_FILENAME->write(rt().RES_ASCII_FILENAME->read());
}

// ------------------------------------------------------- 16-bit display

// Passes the pass's progress on to the program's own and presses the Cancel
// button of the dialog it shows as soon as it is up.
class cancel_when_shown : public windowing_progress_t {
 public:
  explicit cancel_when_shown(windowing_progress_t* program) : program_(program) {}
  void start(const wxString& title, const wxString& message, int maximum) override {
    program_->start(title, message, maximum);
    for (wxWindow* w : wxTopLevelWindows) {
      auto* dialog = dynamic_cast<wxGenericProgressDialog*>(w);
      if (!dialog) continue;
      shown_title = dialog->GetTitle();
      if (wxWindow* cancel = dialog->FindWindow(wxID_CANCEL)) {
        cancel_shown = cancel->IsShown() && cancel->IsEnabled();
        wxCommandEvent click(wxEVT_BUTTON, wxID_CANCEL);
        click.SetEventObject(cancel);
        cancel->GetEventHandler()->ProcessEvent(click);
      }
    }
  }
  bool update(int value, const wxString& message) override {
    const bool go_on = program_->update(value, message);
    if (!go_on) ++cancels_seen;
    return go_on;
  }
  void resume() override { program_->resume(); }
  void finish() override { program_->finish(); }

  wxString shown_title;
  bool cancel_shown = false;
  int cancels_seen = 0;

 private:
  windowing_progress_t* program_;
};

TEST(SixteenBit, TheSmoothingPassShowsProgressAndCancelKeepsThePixelsShown) {
  windowing_progress_t* program = dicom_utility::pass_progress;
  ASSERT_NE(program, nullptr) << "the program installs its progress dialog";
  dynabuf store;
  dynabuf* const saved_store = frame_store;
  const bool saved_16bit = dicom_utility::data_16bit;
  const long saved_delay = dicom_utility::pass_progress_delay_ms;
  frame_store = &store;
  dicom_utility::data_16bit = true;
  dicom_utility::pass_progress_delay_ms = -1;  // at once
  cancel_when_shown cancelling(program);
  dicom_utility::pass_progress = &cancelling;

  // Eight frames of 2 x 2 raw values 10 (f + 1); frames 0 to 3 show 200 from
  // an earlier windowing, 4 to 7 were never windowed.
  for (int f = 0; f < 8; ++f) {
    auto* raw = new uint16_t[4];
    std::fill(raw, raw + 4, static_cast<uint16_t>(10 * (f + 1)));
    auto* display = new uint8_t[4];
    std::fill(display, display + 4, static_cast<uint8_t>(f < 4 ? 200 : 0));
    frame_image_ref rec = frame_image_t::create(display, raw, 4);
    rec->stamp = f < 4 ? 0 : -1;
    store.add_image(rec);
  }
  windowing_params_t p;
  p.width = p.height = 2;
  p.frames = 8;
  p.centre = 127;
  p.window = 256;  // display = raw
  p.filter_z = 1;
  p.zscale = 0.1;
  p.pos_rec = true;
  p.redraw = 1;
  const bool done = dicom_utility::window_all_frames(1, p);

  dicom_utility::pass_progress = program;
  dicom_utility::pass_progress_delay_ms = saved_delay;
  dicom_utility::data_16bit = saved_16bit;
  frame_store = saved_store;

  EXPECT_TRUE(done);
  EXPECT_EQ(cancelling.shown_title, "Windowing 16-bit data");
  EXPECT_TRUE(cancelling.cancel_shown);
  EXPECT_GE(cancelling.cancels_seen, 1);
  for (wxWindow* w : wxTopLevelWindows) EXPECT_EQ(dynamic_cast<wxGenericProgressDialog*>(w), nullptr);
  for (int f = 0; f < 8; ++f) {
    const frame_image_t& rec = *store.images[size_t(f)];
    EXPECT_EQ(rec.stamp, 1) << f;
    // Shown before: kept. Never shown: windowed alone, without smoothing.
    EXPECT_EQ(rec.display[0], f < 4 ? 200 : 10 * (f + 1)) << f;
  }
}

// ------------------------------------------------------ change procedure

TEST(ChangeProcedure, FrameCountDrivesMenusToolsAndSlider) {
  wxMenuBar* bar = main_frame->GetMenuBar();
  rt().RES_BUF_CURRENT_FRAME->write(0);
  base_res_t::hold_pending_writes(true);
  rt().RES_BUF_FRAMES->write_no_changeprocs(5);
  rt().RES_BUF_CURRENT_FRAME->write_no_changeprocs(7);
  base_res_t::hold_pending_writes(false);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 4);
  EXPECT_EQ(main_frame->frame_slider->GetMin(), 0);
  EXPECT_EQ(main_frame->frame_slider->GetMax(), 4);
  EXPECT_EQ(main_frame->frame_slider->GetValue(), 4);
  EXPECT_FALSE(bar->IsEnabled(6001));
  EXPECT_FALSE(bar->IsEnabled(6002));
  for (int id : {6000, 6003, 6004, 6005, 6009}) EXPECT_TRUE(bar->IsEnabled(id)) << id;
  EXPECT_TRUE(main_frame->toolbar->GetToolEnabled(6170));
  EXPECT_TRUE(main_frame->toolbar->GetToolEnabled(6171));

  rt().RES_BUF_FRAMES->write(0);
  EXPECT_EQ(rt().RES_BUF_CURRENT_FRAME->read(), 0);
  EXPECT_EQ(main_frame->frame_slider->GetValue(), 0);
  EXPECT_FALSE(main_frame->frame_slider->IsEnabled());
  EXPECT_TRUE(bar->IsEnabled(6001));
  for (int id : {6000, 6003, 6004, 6005, 6009}) EXPECT_FALSE(bar->IsEnabled(id)) << id;
  EXPECT_FALSE(main_frame->toolbar->GetToolEnabled(6171));
  base_res_t::clear_changed(0xffff);
}

TEST(ChangeProcedure, IdleHandlerIsBoundOnlyWhileSomeoneListens) {
  EXPECT_FALSE(app().idle_bound());
  struct listener {
    void on_idle() { ++raises; }
    int raises = 0;
  } l;
  pmf_functor<listener> f(&l, &listener::on_idle);
  rt().RES_IDLE_EVENT->add_proc(&f);
  EXPECT_TRUE(app().idle_bound());
  pump_events(5);
  EXPECT_GE(l.raises, 2);
  rt().RES_IDLE_EVENT->remove_proc(&f);
  EXPECT_FALSE(app().idle_bound());
}

// -------------------------------------------------------------- closing

std::string file_text(const wxString& path) {
  wxFile f;
  wxString text;
  if (wxFileExists(path) && f.Open(path)) f.ReadAll(&text);
  return text.utf8_string();
}

TEST(Close, UnsavedDataAsksAndCancelKeepsTheWindow) {
  base_res_t::clear_changed(0xffff);  // only what this test changes counts
  extra_frame extra;
  const std::string ini_before = file_text(cfg_path("norvelith.ini"));
  rt().RES_BUF_FRAMES->write(3);  // data changed, not saved
  {
    dialog_answers answer(wxID_CANCEL);
    EXPECT_FALSE(extra.frame->Close());
    ASSERT_EQ(answer.asked.size(), 1u);
    EXPECT_EQ(answer.asked[0].caption, "Ignore changes");
    EXPECT_EQ(answer.asked[0].text,
              "There are unsaved changes for:\n\n - Image or position data\n\nSelect OK to ignore these changes");
    EXPECT_TRUE(answer.asked[0].style & wxICON_EXCLAMATION);
    EXPECT_FALSE(extra.closed());
    EXPECT_EQ(file_text(cfg_path("norvelith.ini")), ini_before) << "Cancel leaves the configuration unwritten";
  }
  {
    dialog_answers answer(wxID_OK);
    EXPECT_TRUE(extra.frame->Close());
    EXPECT_EQ(answer.asked.size(), 1u);
    EXPECT_TRUE(extra.closed());
  }
  rt().RES_BUF_FRAMES->write(0);
  base_res_t::clear_changed(0xffff);
}

TEST(Close, NoQuestionInBatchRunsScriptsOrForSettingsAlone) {
  rt().RES_BUF_FRAMES->write(3);
  dialog_answers answer(wxID_CANCEL);
  {
    extra_frame extra;
    extra.frame->batch_close = true;
    EXPECT_TRUE(extra.frame->Close());
    EXPECT_TRUE(extra.closed());
  }
  {
    extra_frame extra;
    rt().RES_IN_SCRIPT->write(true);
    EXPECT_TRUE(extra.frame->Close());
    rt().RES_IN_SCRIPT->write(false);
  }
  base_res_t::clear_changed(0xffff);
  {
    extra_frame extra;
    rt().RES_ICON_SIZE->write(1);  // a setting, not data
    EXPECT_TRUE(extra.frame->Close());
    rt().RES_ICON_SIZE->write(-1);
  }
  EXPECT_TRUE(answer.asked.empty());
  rt().RES_BUF_FRAMES->write(0);
  base_res_t::clear_changed(0xffff);
}

// ------------------------------------------------------------------- help

TEST(Help, ArchivesBesideTheProgramOpenAtTheCurrentPage) {
  ASSERT_TRUE(main_frame->help_available);
  wxCommandEvent event(wxEVT_MENU, 6048);
  main_frame->help_page = "toolbar.htm";
  main_frame->OnHelpIndex(event);
  pump_events(5);
  wxHtmlHelpWindow* window = main_frame->help_controller->GetHelpWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->GetHtmlWindow()->GetOpenedPage().EndsWith("toolbar.htm"))
      << window->GetHtmlWindow()->GetOpenedPage();
  main_frame->close_help_window();
  pump_events(5);
  main_frame->help_page = "using_norvelith.htm";
}

TEST(Help, MissingArchiveIsReportedAndTheCommandRefuses) {
  const wxString exec_dir = rt().RES_EXEC_DIR->read();
  rt().RES_EXEC_DIR->write(wxString::FromUTF8(g_root + "/home"));
  {
    log_capture log;
    extra_frame extra;
    EXPECT_FALSE(extra.frame->help_available);
    EXPECT_TRUE(log.has(wxLOG_Error, "Failed to load help file norvelith_help.zip\nHelp menu item will be inactive."));
    wxCommandEvent event(wxEVT_MENU, 6048);
    extra.frame->OnHelpIndex(event);
    EXPECT_TRUE(log.has(wxLOG_Error, "Failed to load help file norvelith_help.zip\nHelp menu item is disabled."));
  }
  rt().RES_EXEC_DIR->write(exec_dir);
}

// ----------------------------------------------------------- command line

struct fake_runner : script_batch_runner {
  bool result = true;
  std::vector<std::pair<wxString, wxString>> runs;
  bool run(const wxString& script, const wxString& log) override {
    runs.push_back({script, log});
    return result;
  }
};

TEST(CommandLine, ScriptRunsThroughTheRunnerAndAFailureIsRemembered) {
  fake_runner runner;
  script_batch_runner* old = set_script_batch_runner(&runner);
  const wxString script = wxString::FromUTF8(g_root + "/data/my.scr");
  std::vector<wxString> words = {"norvelith", "-s", script};
  app().obey_command_line(plan_command_line(words));
  ASSERT_EQ(runner.runs.size(), 1u);
  EXPECT_EQ(runner.runs[0].first, script);
  EXPECT_EQ(runner.runs[0].second, wxString::FromUTF8(g_root + "/data/hm_debug.txt"));
  EXPECT_FALSE(app().batch_failed());
  EXPECT_FALSE(main_frame->batch_close);

  runner.result = false;
  app().obey_command_line(plan_command_line(words));
  EXPECT_TRUE(app().batch_failed());
  set_script_batch_runner(old);
}

TEST(CommandLine, NativeDataFileOpensIntoSliderAndStatusBar) {
  const wxString file = wxString::FromUTF8(g_root + "/data/scan.hm");
  {
    log_capture log;
    app().obey_command_line(plan_command_line({"norvelith", "dir=" + wxString::FromUTF8(g_cfg), file}));
    EXPECT_EQ(log.count(wxLOG_Error), 0) << (log.records().empty() ? "" : log.records()[0].text);
  }
  EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 3);
  EXPECT_EQ(main_frame->frame_slider->GetMin(), 0);
  EXPECT_EQ(main_frame->frame_slider->GetMax(), 2);
  EXPECT_TRUE(main_frame->frame_slider->IsEnabled());
  EXPECT_EQ(main_frame->GetStatusBar()->GetStatusText(2), file);
  EXPECT_EQ(main_frame->frames_label->GetLabel(), "3 frames loaded.");
  EXPECT_FALSE(main_frame->GetMenuBar()->IsEnabled(6001));

  // File > Close leaves the program as it started, for the tests that follow.
  {
    dialog_answers answer(wxID_OK);
    wxCommandEvent close(wxEVT_MENU, ID_FILE_CLOSE);
    main_frame->ProcessWindowEvent(close);
    EXPECT_TRUE(answer.asked.empty());
  }
  EXPECT_EQ(rt().RES_BUF_FRAMES->read(), 0);
  base_res_t::clear_changed(0xffff);
}

// The material swatch as the controls show it: a bitmap with alpha made
// from the computed sphere; an empty size leaves the bitmap as it was.
TEST(MaterialSwatch, BitmapCarriesTheShadedSphere) {
  wxBitmap bitmap;
  globcmap_t::material_sphere_bitmap(bitmap, wxSize(12, 10), wxColour(40, 90, 200), 0.2, 0.6, 0.1);
  ASSERT_TRUE(bitmap.IsOk());
  EXPECT_EQ(bitmap.GetWidth(), 12);
  EXPECT_EQ(bitmap.GetHeight(), 10);
  const wxImage image = bitmap.ConvertToImage();
  ASSERT_TRUE(image.HasAlpha());
  const wxImage computed = material_sphere_image(wxSize(12, 10), wxColour(40, 90, 200), 0.2, 0.6, 0.1);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      EXPECT_EQ(image.GetAlpha(x, y), computed.GetAlpha(x, y)) << x << "," << y;
      if (computed.GetAlpha(x, y) == 255) {
        EXPECT_EQ(image.GetRed(x, y), computed.GetRed(x, y));
      }
    }
  EXPECT_EQ(image.GetAlpha(0, 0), 0);

  globcmap_t::material_sphere_bitmap(bitmap, wxSize(0, 0), *wxWHITE, 0, 0, 0);
  EXPECT_EQ(bitmap.GetWidth(), 12);
}

// Closing writes the configuration; data just read carries no unsaved
// changes, so nothing is asked, whatever pages are selected.
TEST(Close, ClosingWritesTheConfigurationFile) {
  base_res_t::clear_changed(0xffff);
  extra_frame extra;
  dialog_answers answer(wxID_CANCEL);
  extra.frame->task_notebook->SetSelection(extra.frame->task_notebook->GetPageCount() - 1);
  extra.frame->visual_notebook->SetSelection(extra.frame->visual_notebook->GetPageCount() - 1);
  pump_events(5);
  ASSERT_TRUE(wxRemoveFile(cfg_path("norvelith.ini")) || !wxFileExists(cfg_path("norvelith.ini")));
  // A setting changed and changed back: the whole configuration is written.
  rt().RES_ICON_SIZE->write(1);
  rt().RES_ICON_SIZE->write(-1);
  ASSERT_TRUE(extra.frame->Close());
  EXPECT_TRUE(extra.closed());
  EXPECT_TRUE(answer.asked.empty());
  wxFileConfig ini(wxEmptyString, wxEmptyString, cfg_path("norvelith.ini"), wxEmptyString,
                   wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_NO_ESCAPE_CHARACTERS);
  long icon_size = 0;
  EXPECT_TRUE(ini.Read("RES_ICON_SIZE", &icon_size));
  EXPECT_EQ(icon_size, -1);
  EXPECT_TRUE(ini.HasEntry("RES_DISPLAY_FEATURES"));
}

}  // namespace
