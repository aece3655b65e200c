// The application object: start-up, the command line, shut-down and the
// reaction to a fatal error. It owns the long-lived global objects.
#pragma once

#include <memory>
#include <vector>

#include <wx/app.h>

#include "app/app_data_ui.h"
#include "registry/hm_resource.h"

class wxLocale;
class wxProgressDialog;
class wxIdleEvent;
struct command_line_plan_t;
struct config_location_t;

// The OpenGL attribute list handed to every view; 16 ints ending in 0, 0.
extern int* gl_attributes;

// Milliseconds since the program entry (or since start-up when the
// application object is driven without it).
long startup_elapsed_ms();
void mark_program_entry();

class MainWindow : public wxApp {
 public:
  MainWindow();
  ~MainWindow() override;

  bool OnInit() override;
  int OnRun() override;
  int OnExit() override;
  void OnFatalException() override;
  wxAppTraits* CreateTraits() override;

  // The folder holding the program, or an empty text when it cannot be found.
  static wxString exec_dir(const wxString& program, const wxString& working_folder);

  // Binds the idle handler while RES_IDLE_EVENT has listeners.
  void update_idle_binding();
  void OnIdle(wxIdleEvent& event);

  // A script run from the command line failed (the process then ends with
  // a non-zero status).
  bool batch_failed() const { return batch_failed_; }
  bool idle_bound() const { return idle_bound_; }

  // Opens what the command line names and runs its batch script.
  void obey_command_line(const command_line_plan_t& plan);

 private:
  // The steps of start-up, in the order OnInit takes them.
  void set_up_locale();
  bool check_operating_system();
  config_location_t open_configuration(const std::vector<wxString>& words);
  wxProgressDialog* open_start_up_progress();
  void create_resource_table();
  void set_default_file_names(const config_location_t& where, const std::vector<wxString>& words);
  void create_frame_store();
  void reset_data_model();
  void create_main_window(wxProgressDialog* progress);
  void end_start_up_commits();
  void bind_frame_playback();
  void show_main_window(wxProgressDialog* progress);
  void offer_news_or_update_check(long days);
  void close_after_start_up_if_asked();

  void run_batch_script(const wxString& script, const wxString& log, bool close_after);
  void show_whats_new();

  pmf_functor<MainWindow>* idle_binding_ = nullptr;
  bool idle_bound_ = false;
  bool batch_failed_ = false;
  bool exited_ = false;
  wxLocale* locale_ = nullptr;
  wxString config_path_;  // norvelith.ini, written at exit when it changed after the close
  wx_data_io_ui data_ui_;
  main_frame_data_pages data_pages_;
  wx_windowing_progress windowing_progress_;
  std::unique_ptr<data_ui_scope> ui_scope_;
};
