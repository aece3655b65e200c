// The script interpreter: a tag-based language that sets resources, calls
// the program's commands by tag, loops over objects and surfaces and writes
// results tables, run over a list of data files. Parsing and running need no
// display: everything outside the script (the editor and output texts, the
// folders, the other pages' choices, the progress dialog and the program's
// handlers) is reached through script_host.
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "registry/proc_registrations.h"

// What a script needs of the program around it.
class script_host {
 public:
  virtual ~script_host() = default;
  // The script editor's whole text, and the end of the output box.
  virtual wxString script_text() = 0;
  virtual void append_output(const wxString& text) = 0;

  // Folders: whether dir is one, and every file below it (at any depth,
  // hidden ones included) whose name matches filter, as full paths.
  virtual bool directory_exists(const wxString& dir) = 0;
  virtual std::vector<wxString> list_files(const wxString& dir, const wxString& filter) = 0;

  // The Draw page's current-object choice items; the Thickness page's
  // "Current surface:" items (item 0 "(none)") and its selected item's text
  // (empty when nothing is selected).
  virtual std::vector<wxString> object_names() = 0;
  virtual std::vector<wxString> surface_names() = 0;
  virtual wxString selected_surface() = 0;

  // The program's handlers. A false result is a failure the handler did not
  // report itself.
  virtual bool file_open() = 0;
  virtual bool file_close() = 0;
  virtual bool file_save() = 0;
  virtual void show_scripts_page() = 0;
  // Whether the open data may be closed for a run over a file list: true
  // when nothing unsaved would be lost or the user agreed.
  virtual bool may_close_open_data() = 0;

  // The progress dialog: open, move (false: the user cancelled), close;
  // and a yield to pending events.
  virtual void open_progress_dialog() = 0;
  virtual bool move_progress_dialog(int position) = 0;
  virtual void close_progress_dialog() = 0;
  virtual void yield() = 0;
};

class Script {
 public:
  using command = std::vector<wxString>;
  using block = std::vector<command>;

  // Registers the message-log procedure on RES_SCRIPT_WRITE_MESSAGE.
  explicit Script(script_host& host);
  ~Script();
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  // Removes the message-log procedure (the registry may be gone already).
  void stop_listening();

  // Log writers; line -1 means no line number.
  void log_message(const wxString& text, int line = -1);
  void log_error(const wxString& text, int line = -1);
  void log_warning(const wxString& text, int line = -1);

  // Parses the editor text into the members below; the outcome is success.
  bool parse();
  // Reads one argument that may be quoted over several tokens onto text
  // (empty at the call); false when a quote stands where it may not.
  // An opening quote left unclosed at the end of the line is such a fault.
  class line_tokens;
  static bool join_quoted(line_tokens& tokens, wxString& text);
  // Marks the chosen files of a selection list; true when the mask counts.
  static bool parse_selection(const wxString& selection, long count, std::vector<uint8_t>& mask);

  // Runs the editor's script; the result is success at its end.
  bool run();
  void reset(bool set_success);
  void call_function(const wxString& tag, std::vector<wxString> arguments);
  void set_resource(const wxString& text);
  void update_messages();

  void open_progress();
  void update_progress(bool re_estimate);
  void update_results_name();

  // The parsed script and the run's state.
  std::vector<block> body;
  std::vector<wxString> files;
  std::vector<int32_t> file_numbers;
  std::vector<int32_t> name_parts;
  wxString script_name;
  wxString write_tag;
  std::vector<wxString> results_lines;
  std::vector<wxString> result_labels;
  bool success = true;
  bool has_progress = false;
  int32_t step_count = 0;
  int32_t step_estimate = 0;
  int32_t file_index = 0;
  int32_t repeat_count = 0;
  std::map<wxString, int32_t> image_counters;
  std::map<wxString, int32_t> key_names;
  std::map<wxString, int32_t> function_tags;

  // The results file of the script: log.txt or log_<name>.txt in dir.
  wxString results_file_path() const;

 private:
  void parse_line(const wxString& raw, int line, bool& closed);
  void parse_script_name(line_tokens& t, int line);
  void parse_results_dir(line_tokens& t, int line);
  void parse_write_header(line_tokens& t, int line);
  void parse_open(line_tokens& t, int line);
  command parse_param(line_tokens& t, int line);
  command parse_func(line_tokens& t, int line);
  command parse_write(line_tokens& t, int line);
  command parse_loop(line_tokens& t);
  command parse_repeat(line_tokens& t);

  void close_file();
  void call_function_one_arg(const wxString& tag, const wxString& argument);
  void run_files();
  void run_body();
  void run_loop(block b);
  void run_repeat(block b);
  void run_command(command c);
  void write_result(const wxString& tag);
  void write_results_log();
  void report(const wxString& text);

  script_host& host_;
  // Parser state between lines.
  enum class open_block { none, loop, repeat } open_ = open_block::none;
  block pending_;
  proc_registrations procs_;
};

// A line's tokens: split at blanks, tabs, carriage returns and line feeds.
class Script::line_tokens {
 public:
  explicit line_tokens(const wxString& line);
  bool has_more() const;
  wxString next();
  // The line after the one separator that follows the last token taken.
  wxString rest() const;

 private:
  wxString line_;
  size_t pos_ = 0;
};

// The fields of one results row joined with commas; a field holding a
// comma, a double quote or a line break is quoted, its quotes doubled.
wxString results_row(const std::vector<wxString>& fields);
