// The decisions of start-up and of the main window that need no window:
// reading the command line, choosing the configuration and data folders,
// default data-file names, the frame-count and status-bar texts.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <wx/datetime.h>
#include <wx/string.h>

// The program's version and release date, as shown in the title and About box.
extern const wchar_t* const NV_VERSION_TEXT;       // "7.27"
extern const wchar_t* const NV_RELEASE_DATE_TEXT;  // "22nd March 2024"

using file_exists_fn = std::function<bool(const wxString&)>;

// ---------------------------------------------------------------- folders

// Where the configuration file lives and where the default data folder is
// looked for.
struct config_location_t {
  wxString config_dir;  // folder of norvelith.ini, without a trailing separator
  wxString data_base;   // the "dir=" folder, else the home folder
  bool dir_option = false;
  wxString old_ini;     // a configuration file of an older layout ("" when none applies)

  wxString ini_path() const;
};

// The configuration file in a configuration folder.
wxString config_file_in(const wxString& config_dir);

// words[0] is the program path. Without "dir=" as the first argument the
// folder is $XDG_CONFIG_HOME/Norvelith (an absolute XDG_CONFIG_HOME only),
// else <home>/.config/Norvelith, and <home>/norvelith.ini is the old file.
config_location_t choose_config_location(const std::vector<wxString>& words, const wxString& home,
                                         const wxString& xdg_config_home);

// Creates the configuration folder (the whole path) and, unless "dir=" was
// given, its "volumes" and "materials" sub-folders, and moves an old
// norvelith.ini in only when the folder holds none yet. Failures are
// returned as text for the debug log; start-up goes on regardless.
bool prepare_config_folder(const config_location_t& where, wxString* problem);

// The "dir=" folder, else <home>/Documents when it exists, else <home>.
wxString default_data_folder(const config_location_t& where, const file_exists_fn& dir_exists);

// The first pair <stub>_<n>.hm / <stub>_<n>.qzi in folder, n counted from
// first, of which neither file exists.
struct default_names_t {
  wxString native;  // full path of the native data file
  wxString frames;  // full path of its frame file
  int32_t number = 1;
};
default_names_t first_free_data_names(const wxString& folder, const wxString& stub, int32_t first,
                                      const file_exists_fn& file_exists);

// The folder holding the program: the folder of an absolute path, else of
// cwd/program when that exists, else of the first match along path_env.
wxString exec_dir_from(const wxString& program, const wxString& cwd, const wxString& path_env,
                       const file_exists_fn& file_exists);

// ----------------------------------------------------------- command line

// What the last two command-line words ask for.
struct command_line_plan_t {
  wxString native_file;   // open as a native data file
  wxString image_data;    // open as image data (file or folder)
  wxString script;        // run in batch
  wxString script_log;    // its message log; empty when it would overwrite the script
  bool close_after_script = false;
};
command_line_plan_t plan_command_line(const std::vector<wxString>& words);

// The message log of a batch script: "hm_debug.txt" beside it. Empty when
// that is the script itself, which must never be overwritten.
wxString batch_log_path(const wxString& script);

// ------------------------------------------------------------- start-up

// The toolkit's operating-system family codes that pass the check.
bool os_supported(int family, int major, int minor);

// Whole days since 30 September 2024 00:00 local time; 0 or less before
// 1 October 2024, when the message about what is new is still shown.
long days_since_update_cutoff(const wxDateTime& now);

// RES_DISPLAY_FEATURES encodes how often the message about what is new in
// this version was shown: 72700000 + count, 72700003 meaning never again.
constexpr int32_t WHATS_NEW_BASE = 72700000;
int32_t whats_new_showings(int32_t display_features);
bool whats_new_due(int32_t display_features);
// The value stored after a showing, answered with OK or not.
int32_t whats_new_after(int32_t display_features, bool ok);
wxString whats_new_text(int32_t display_features);

// --------------------------------------------------------- window texts

// The toolbar's frame-count text. Non-negative arguments replace the
// remembered rate and count; negative ones keep them.
class frames_status_t {
 public:
  wxString text(double rate, int32_t count);
  int32_t count() const { return count_; }
  double rate() const { return rate_; }

 private:
  int32_t count_ = 0;
  double rate_ = 0.0;
};

// Status field 2: the data file's path, after "<source> data: " for 16-bit
// data read through the volume readers.
wxString data_file_status_text(const wxString& full_path, int32_t frames, bool buf_dicom,
                               bool data_16bit, const wxString& source_type);

// The question asked when closing with unsaved data; groups is the text of
// base_res_t::describe_changed_groups.
wxString unsaved_changes_text(const wxString& groups);

// Wide displays put the visualisation notebook at the right of the views.
constexpr int WIDE_LAYOUT_MIN_WIDTH = 1280;
inline bool wide_control_layout(int width) { return width >= WIDE_LAYOUT_MIN_WIDTH; }

// Toolbar picture set (0: 24, 1: 32, 2: 48 pixels) for an RES_ICON_SIZE code;
// edge is the automatic choice's bitmap size, 0 for a fixed code.
struct icon_set_choice_t {
  int set = 0;
  int edge = 0;
};
icon_set_choice_t choose_icon_set(int32_t code, double content_scale);
