#include "app/norvelith.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <wx/apptrait.h>
#include <wx/display.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/fs_arc.h>
#include <wx/glcanvas.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/progdlg.h>
#include <wx/stdpaths.h>
#include <wx/sysopt.h>
#include <wx/utils.h>

#include "app/app_dialogs.h"
#include "app/app_ids.h"
#include "data/config_file.h"
#include "app/app_rules.h"
#include "app/batch_script.h"
#include "app/loaded_data.h"
#include "app/main_frame.h"
#include "app/update_check.h"
#include "data/dynabuf.h"
#include "data/file_menu_export.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "medical/toolkit/wx_image_toolkit.h"
#include "registry/app_types.h"
#include "registry/resource_table.h"
#include "views/globcmap.h"


namespace {

using steady = std::chrono::steady_clock;
steady::time_point program_entry;
bool program_entry_marked = false;

std::vector<wxString> command_words(int argc, const wxCmdLineArgsArray& argv) {
  std::vector<wxString> words;
  for (int k = 0; k < argc; ++k) words.push_back(argv[k]);
  return words;
}

// The log goes to standard error in batch and test runs, so that no message
// box ever waits for a user there.
class norvelith_traits : public wxGUIAppTraits {
 public:
  wxLog* CreateLogTarget() override {
    return dialogs_suppressed() ? new wxLogStderr : wxGUIAppTraits::CreateLogTarget();
  }
};

}  // namespace

wxAppTraits* MainWindow::CreateTraits() { return new norvelith_traits; }

void mark_program_entry() {
  program_entry = steady::now();
  program_entry_marked = true;
}

long startup_elapsed_ms() {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(steady::now() - program_entry).count());
}

MainWindow::MainWindow() = default;
MainWindow::~MainWindow() = default;

wxString MainWindow::exec_dir(const wxString& program, const wxString& working_folder) {
  wxString path;
  wxGetEnv(L"PATH", &path);
  return exec_dir_from(program, working_folder, path, [](const wxString& f) { return wxFileExists(f); });
}

// The start-up sequence, one named step each; see the steps below.
bool MainWindow::OnInit() {
  if (!program_entry_marked) mark_program_entry();
  const std::vector<wxString> words = command_words(argc, argv);
  // A script run from the command line closes the program afterwards with
  // nobody to click a box: its log goes to standard error from the start.
  {
    const command_line_plan_t plan = plan_command_line(words);
    if (!plan.script.empty() && plan.close_after_script) delete wxLog::SetActiveTarget(new wxLogStderr);
  }
  set_up_locale();
  if (!check_operating_system()) return false;
  // Whether the message about what is new is still due.
  const long days = days_since_update_cutoff(wxDateTime::Now());
  const config_location_t where = open_configuration(words);

  wxBeginBusyCursor();
  wxProgressDialog* progress = open_start_up_progress();
  create_resource_table();
  set_default_file_names(where, words);
  create_frame_store();
  reset_data_model();
  create_main_window(progress);
  end_start_up_commits();
  bind_frame_playback();
  show_main_window(progress);

  obey_command_line(plan_command_line(words));
  offer_news_or_update_check(days);

  // Deleted at once: before the main loop the dialog runs an event loop
  // of its own, which must not outlive this function.
  delete progress;
  wxEndBusyCursor();
  close_after_start_up_if_asked();
  return true;
}

// Numbers read and written with a decimal point; crashes reach
// OnFatalException.
void MainWindow::set_up_locale() {
  locale_ = new wxLocale;
  locale_->Init(L"C", L"en", L"C", false);
  wxHandleFatalExceptions(true);
}

bool MainWindow::check_operating_system() {
  int major = 0, minor = 0;
#if defined(__LINUX__)
  // The family is known when built and passes at any version; asking the
  // toolkit would run "uname" through a shell at every start.
  const wxOperatingSystemId os = wxOS_UNIX_LINUX;
#else
  const wxOperatingSystemId os = wxGetOsVersion(&major, &minor);
#endif
  if (!os_supported(static_cast<int>(os), major, minor)) {
    wxLogError(L"This version of Norvelith requires at least Windows 7.");
    return false;
  }
  // Notebook pages without the themed background.
  wxSystemOptions::SetOption(L"msw.notebook.themed-background", 0);
  return true;
}

// The configuration folder and file. The help window keeps its own settings
// in the per-user store, laid out as the desktop expects; help archives are
// read through the archive file system.
config_location_t MainWindow::open_configuration(const std::vector<wxString>& words) {
  wxStandardPaths::Get().SetFileLayout(wxStandardPaths::FileLayout_XDG);
  if (words.size() >= 2) wxLogDebug(L"Norvelith called with %s", words[1]);
  wxString xdg;
  wxGetEnv(L"XDG_CONFIG_HOME", &xdg);
  const config_location_t where = choose_config_location(words, wxGetHomeDir(), xdg);
  wxString problem;
  if (!prepare_config_folder(where, &problem)) wxLogDebug(L"%s", problem);

  // Read here and written through the save helper when the main window closes.
  config_path_ = where.ini_path();
  app_config = load_config_file(config_path_).release();
  wxFileSystem::AddHandler(new wxArchiveFSHandler);
  // The help archives hold pages and images whose types the file system
  // knows by their extensions; reading the desktop's whole MIME database
  // instead would cost tens of milliseconds at every start.
  wxSystemOptions::SetOption(L"filesys.no-mimetypesmanager", 1);
  return where;
}

wxProgressDialog* MainWindow::open_start_up_progress() {
  auto* progress = new wxProgressDialog(L"Initialising Norvelith", L"Setting up internal resources ...", 100,
                                        nullptr, wxPD_APP_MODAL | wxPD_AUTO_HIDE | wxSTAY_ON_TOP);
  progress->Raise();
  if (progress->IsIconized()) progress->Iconize(false);
  return progress;
}

// The registry; its configuration-class resources read their saved values as
// they are made. Its first commits mark nothing changed.
void MainWindow::create_resource_table() {
  resource_table = new resource_table_t;
  install_data_file_procs();
  base_res_t::set_file_loading(true);
  ui_scope_ = std::make_unique<data_ui_scope>(data_ui_);

  // The Spine features need the Pressure features for this run.
  resource_table_t& rt = *resource_table;
  if (rt.RES_SPINE_TASK->read()) rt.RES_PRESSURE_TASK->write(true);
}

// Default data folder, the first free default data-file names, and where the
// program and its configuration live.
void MainWindow::set_default_file_names(const config_location_t& where, const std::vector<wxString>& words) {
  resource_table_t& rt = *resource_table;
  const wxString data_folder =
      default_data_folder(where, [](const wxString& d) { return wxDirExists(d); });
  rt.RES_SCRIPT_FILENAME->write(wxFileName::DirName(data_folder));
  rt.RES_DEBUG_FILENAME->write(wxFileName::DirName(data_folder));
  const default_names_t names = first_free_data_names(
      data_folder, rt.RES_FILENAME_STUB->read(), 1, [](const wxString& f) { return wxFileExists(f); });
  rt.RES_ASCII_FILENAME->write(wxFileName(names.native));
  rt.RES_BIN_IM_FILENAME->write(names.frames);

  rt.RES_CONFIG_DIR->write(where.config_dir);
  rt.RES_EXEC_DIR->write(exec_dir(words.empty() ? wxString() : words[0], wxGetCwd()));
}

// OpenGL attributes, the frame store and the colour map.
void MainWindow::create_frame_store() {
  gl_attributes = new int[16]{WX_GL_RGBA,         WX_GL_DOUBLEBUFFER, WX_GL_DEPTH_SIZE, 16,
                              WX_GL_MIN_ALPHA,    8,                  WX_GL_MIN_RED,    8,
                              WX_GL_MIN_GREEN,    8,                  WX_GL_MIN_BLUE,   8,
                              WX_GL_SAMPLE_BUFFERS, 0,                0,                0};
  frame_store = new dynabuf;
  frame_store->reserve(500);
  // 16-bit frames derive their display pixels through the volume readers'
  // windowing.
  dicom_utility::install_frame_windowing();
  install_toolkit_images();
  install_dicom_load_ui();
  dicom_utility::pass_progress = &windowing_progress_;
  // The display colour map, which every view and image export colours
  // through; frame exports use it from now on.
  colour_map = new globcmap_t;
  set_frame_rgb_mapper(&colour_map_frame_rgb);
}

// Default object names and colours; no loaded data.
void MainWindow::reset_data_model() {
  resource_table_t& rt = *resource_table;
  contour_object::assign_default_names_and_colours(rt.RES_OBJECT->read(), -1);
  set_default_volume_rows(rt.RES_VOLUME->read());
  reset_loaded_data_description();
}

// The main window over the display's client area.
void MainWindow::create_main_window(wxProgressDialog* progress) {
  progress->Update(50, L"Creating windows ...");
  progress->Raise();
  const wxRect area = wxGetClientDisplayRect();
  main_frame = new MainFrame(L"norvelith", area.x, area.y, area.width, area.height);
  set_data_set_pages(&data_pages_);
}

// From now on commits are the user's.
void MainWindow::end_start_up_commits() {
  base_res_t::set_file_loading(false);
  base_res_t::keep_all_user_values();
}

// Frame playback runs on idle events while anyone listens.
void MainWindow::bind_frame_playback() {
  idle_binding_ = new pmf_functor<MainWindow>(this, &MainWindow::update_idle_binding);
  if (resource_table->RES_IDLE_EVENT->read_worrylist_length(idle_binding_) > 0) update_idle_binding();
}

// Shows the window and shares the views equally.
void MainWindow::show_main_window(wxProgressDialog* progress) {
  progress->Update(60, L"Initialising graphics system ...");
  progress->Raise();
  main_frame->Show();
  progress->Update(100, wxEmptyString);
  SetTopWindow(main_frame);
  wxCommandEvent layout(wxEVT_MENU, ID_GUI_WINDOWS_3D);
  main_frame->OnGuiWindows3D(layout);
}

// What is new, or the update check.
void MainWindow::offer_news_or_update_check(long days) {
  if (!main_frame || main_frame->batch_close) return;
  if (days <= 0) {
    show_whats_new();
  } else if (update_server_configured()) {
    wxCommandEvent check(wxEVT_MENU, ID_HELP_UPDATE);
    main_frame->OnHelpUpdate(check);
  }
}

// Test runs may ask to hear when the window is up, and for it to close then.
void MainWindow::close_after_start_up_if_asked() {
  const bool close_when_shown = wxGetEnv(L"NV_TEST_CLOSE_AFTER_STARTUP", nullptr);
  if (!(close_when_shown || wxGetEnv(L"NV_TEST_REPORT_STARTUP", nullptr)) || !main_frame ||
      main_frame->batch_close)
    return;
  CallAfter([close_when_shown] {
    std::fprintf(stderr, "norvelith: main window shown after %ld ms\n", startup_elapsed_ms());
    std::fflush(stderr);
    if (close_when_shown && main_frame) main_frame->Close();
  });
}

void MainWindow::obey_command_line(const command_line_plan_t& plan) {
  if (!plan.native_file.empty()) main_frame->try_read_halmondo_file(plan.native_file);
  if (!plan.image_data.empty()) main_frame->open_image_data(plan.image_data);
  if (!plan.script.empty()) run_batch_script(plan.script, plan.script_log, plan.close_after_script);
}

void MainWindow::run_batch_script(const wxString& script, const wxString& log, bool close_after) {
  bool ok = false;
  if (log.empty())
    wxLogError(L"The script %s is not run: its message log would overwrite it.", script);
  else
    ok = main_frame->ScriptBatchRun(script, log);
  if (!ok) batch_failed_ = true;
  if (!close_after) return;
  main_frame->batch_close = true;
  wxCloseEvent close(wxEVT_CLOSE_WINDOW, main_frame->GetId());
  close.SetEventObject(main_frame);
  close.SetCanVeto(true);
  main_frame->OnClose(close);
}

void MainWindow::show_whats_new() {
  resource_table_t& rt = *resource_table;
  const int32_t value = rt.RES_DISPLAY_FEATURES->read();
  if (!whats_new_due(value)) return;
  dialog_request_t message;
  message.caption = L"Norvelith version history";
  message.text = whats_new_text(value);
  message.style = wxOK | wxCANCEL | wxICON_INFORMATION;
  message.cancel_label = L"Don't display again";
  const bool ok = show_message_dialog(main_frame, message) == wxID_OK;
  rt.RES_DISPLAY_FEATURES->write(whats_new_after(value, ok));
  main_frame->help_page = L"versions.htm";
  wxCommandEvent help(wxEVT_MENU, ID_HELP_INDEX);
  main_frame->OnHelpIndex(help);
}

int MainWindow::OnRun() {
  const int rc = wxApp::OnRun();
  return batch_failed_ ? EXIT_FAILURE : rc;
}

void MainWindow::update_idle_binding() {
  if (!resource_table) return;
  const int32_t listeners = resource_table->RES_IDLE_EVENT->read_worrylist_length(nullptr);
  if (listeners <= 0 && idle_bound_) {
    if (main_frame) main_frame->Unbind(wxEVT_IDLE, &MainWindow::OnIdle, this);
    idle_bound_ = false;
  } else if (listeners > 0 && !idle_bound_ && main_frame) {
    main_frame->Bind(wxEVT_IDLE, &MainWindow::OnIdle, this);
    idle_bound_ = true;
  }
}

void MainWindow::OnIdle(wxIdleEvent&) {
  for (int k = 0; k < 2 && resource_table; ++k) resource_table->RES_IDLE_EVENT->write();
  wxMilliSleep(0);
  wxWakeUpIdle();
}

// Deletes the global objects once; a second call (after a fatal error) does
// nothing, and every pointer is left null.
int MainWindow::OnExit() {
  if (exited_) return 0;
  exited_ = true;
  if (idle_binding_) {
    if (resource_table) resource_table->RES_IDLE_EVENT->remove_worrylist_length_proc(idle_binding_);
    if (idle_bound_ && main_frame) main_frame->Unbind(wxEVT_IDLE, &MainWindow::OnIdle, this);
    idle_bound_ = false;
    delete idle_binding_;
    idle_binding_ = nullptr;
  }
  set_data_set_pages(nullptr);
  if (dicom_utility::pass_progress == &windowing_progress_) dicom_utility::pass_progress = nullptr;
  // The colour map, before the frame store and the registry it watches.
  set_frame_rgb_mapper(nullptr);
  delete colour_map;
  colour_map = nullptr;
  delete frame_store;
  frame_store = nullptr;
  delete resource_table;
  resource_table = nullptr;
  ui_scope_.reset();
  if (app_config) {
    wxString why;
    if (!save_config_file(*app_config, config_path_, &why))
      std::fprintf(stderr, "The settings could not be saved.\n%s\n", static_cast<const char*>(why.utf8_str()));
  }
  delete app_config;
  app_config = nullptr;
  delete[] gl_attributes;
  gl_attributes = nullptr;
  delete locale_;
  locale_ = nullptr;
  return 0;
}

// After a crash: tell the user, keep the configuration, and end the process
// at once. The windows are left alone: destroying them would be deferred to
// an event loop that never runs again, and their destructors would reach
// the objects freed below.
void MainWindow::OnFatalException() {
  static bool inside = false;
  if (inside) std::_Exit(EXIT_FAILURE);
  inside = true;
  if (main_frame) {
    dialog_request_t message;
    message.caption = L"Fatal error in Norvelith";
    message.text = L"There has been a fatal error and Norvelith must now close.";
    message.style = wxOK | wxICON_ERROR;
    show_message_dialog(main_frame, message);
    main_frame->close_help_window();
    wxLogNull quiet;
    delete wxConfigBase::Set(nullptr);
  }
  OnExit();
  std::fflush(stderr);
  std::_Exit(EXIT_FAILURE);
}
