// The application object: start-up, the command line, shut-down and the
// reaction to a fatal error. It owns the long-lived global objects.
#pragma once

#include <memory>

#include <wx/app.h>

#include "app/app_data_ui.h"
#include "registry/hm_resource.h"

class wxLocale;
class wxProgressDialog;
class wxIdleEvent;
struct command_line_plan_t;

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
  void run_batch_script(const wxString& script, const wxString& log, bool close_after);
  void show_whats_new();

  pmf_functor<MainWindow>* idle_binding_ = nullptr;
  bool idle_bound_ = false;
  bool batch_failed_ = false;
  bool exited_ = false;
  wxLocale* locale_ = nullptr;
  wx_data_io_ui data_ui_;
  main_frame_data_pages data_pages_;
  wx_windowing_progress windowing_progress_;
  std::unique_ptr<data_ui_scope> ui_scope_;
};
