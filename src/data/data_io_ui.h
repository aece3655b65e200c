// How the data-file code talks to the user: progress (with a Cancel button
// where the caller can stop), yes/no questions and messages. The main window supplies a toolkit implementation;
// nv_tool and batch runs use the console one, tests a scripted one. Reading
// and writing data files therefore runs without any window.
//
// Also the pages the data set's reset touches (landmark and curve lists, the
// volume colour mapping, the reslice size sliders), behind an interface the
// main window implements; without pages these steps fall back to what needs
// no window.
#pragma once

#include <wx/log.h>
#include <wx/string.h>

#include <cstdint>
#include <memory>

class volume_object;

// One progress display; destroying it closes it.
class data_progress {
 public:
  virtual ~data_progress() = default;
  virtual void update(int value, const wxString& message) = 0;
  // Indeterminate progress, message unchanged.
  virtual void pulse() = 0;
  // True once the user pressed Cancel (only a progress started with
  // PROGRESS_CANCEL has the button); read after an update.
  virtual bool cancelled() const { return false; }
};

class data_io_ui {
 public:
  // Progress styles.
  enum : unsigned {
    PROGRESS_MODAL = 1,  // application-modal
    PROGRESS_TIMES = 2,  // shows elapsed, estimated and remaining time
    PROGRESS_BUSY = 4,   // busy cursor while shown
    PROGRESS_CANCEL = 8, // with a Cancel button; the caller polls cancelled()
  };

  virtual ~data_io_ui() = default;

  virtual std::unique_ptr<data_progress> start_progress(const wxString& caption,
                                                        const wxString& message, int range,
                                                        unsigned style) = 0;
  // True for Yes.
  virtual bool ask_yes_no(const wxString& caption, const wxString& question) = 0;
  // Error, warning and informational messages; the default goes to the
  // toolkit's log, which shows them in the program and prints them in tools.
  virtual void message(wxLogLevel level, const wxString& text);
};

// A progress display that shows nothing.
class null_progress final : public data_progress {
 public:
  void update(int, const wxString&) override {}
  void pulse() override {}
};

// For nv_tool and batch runs: no progress, questions answered No (and said
// so), messages on standard error.
class console_data_io_ui : public data_io_ui {
 public:
  std::unique_ptr<data_progress> start_progress(const wxString&, const wxString&, int,
                                                unsigned) override;
  bool ask_yes_no(const wxString& caption, const wxString& question) override;
  void message(wxLogLevel level, const wxString& text) override;
};

// The user interface in force for the data-file code; a plain log-only one
// when none is installed.
data_io_ui& current_data_ui();

// Installs ui for the lifetime of the scope.
class data_ui_scope {
 public:
  explicit data_ui_scope(data_io_ui& ui);
  ~data_ui_scope();
  data_ui_scope(const data_ui_scope&) = delete;
  data_ui_scope& operator=(const data_ui_scope&) = delete;

 private:
  data_io_ui* previous_;
};

// Reports through the current user interface.
void data_report(wxLogLevel level, const wxString& text);

// ---------------------------------------------------------------------------

class data_set_pages {
 public:
  virtual ~data_set_pages() = default;
  // Rebuilds the Landmarks page's lists.
  virtual void update_landmark_list() = 0;
  virtual void update_curve_list() = 0;
  // The Volume page's colour mapping; -1 selects the default entry.
  virtual void reset_volume_properties(int index) = 0;
  // Sets the Reslice page's width and height sliders without a control event.
  virtual void set_reslice_size_controls(int32_t width, int32_t height) = 0;
  // Shows the frame count of a newly loaded or closed data set.
  virtual void show_frame_count(int32_t frames) = 0;
};

// The pages of the main window, or null while there is none.
void set_data_set_pages(data_set_pages* pages);
data_set_pages* current_data_set_pages();

// The ten colour-mapping rows as built in: every row disabled, black, opacity
// 0, roughness 100; rows 0 and 1 enabled, row 1 white, opaque, data value 255.
void set_default_volume_rows(volume_object* rows);
