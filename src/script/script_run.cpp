// The run of a script: files, body, loops and repeats, the results table, the
// message log's channel, progress, the results name and the dispatcher.
#include <wx/filename.h>
#include <wx/tokenzr.h>

#include <fstream>
#include <iterator>

#include "data/file_save.h"
#include "registry/resource_table.h"
#include "script/script.h"

namespace {
const wxString kInitial = L"INITIAL_STATE";

bool is_separator(wxUniChar c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The first token of text and what follows it after one separator.
void split_first(const wxString& text, wxString& first, wxString& rest) {
  size_t k = 0;
  while (k < text.length() && is_separator(text[k])) ++k;
  const size_t start = k;
  while (k < text.length() && !is_separator(text[k])) ++k;
  first = text.Mid(start, k - start);
  rest = k + 1 < text.length() ? text.Mid(k + 1) : wxString();
}

bool needs_quotes(const wxString& field) {
  for (wxUniChar c : field)
    if (c == ',' || c == '"' || c == '\n' || c == '\r') return true;
  return false;
}
}  // namespace

wxString results_row(const std::vector<wxString>& fields) {
  wxString row;
  for (size_t k = 0; k < fields.size(); ++k) {
    if (k) row += L",";
    if (needs_quotes(fields[k])) {
      wxString quoted = fields[k];
      quoted.Replace(L"\"", L"\"\"");
      row += L"\"" + quoted + L"\"";
    } else {
      row += fields[k];
    }
  }
  return row;
}

// ---- the message log's channel ----------------------------------------------

void Script::update_messages() {
  auto* channel = resource_table->RES_SCRIPT_WRITE_MESSAGE;
  const wxString text = channel->read();
  wxString first, rest;
  split_first(text, first, rest);
  if (first == kInitial) return;
  if (first == L"ERROR")
    log_error(rest);
  else if (first == L"WARNING")
    log_warning(rest);
  else if (first == L"MESSAGE")
    log_message(rest);
  else
    log_message(first + L" " + rest);
  // Back to its resting text, so that the same report written again is a
  // change and reaches the log (a repeated error must fail the run too).
  channel->write_no_changeprocs(kInitial);
  base_res_t::make_pending_writes_happen();
}

void Script::report(const wxString& text) { resource_table->RES_SCRIPT_WRITE_MESSAGE->write(text); }

// ---- the run -----------------------------------------------------------------

bool Script::run() {
  reset(true);
  parse();
  log_message(wxString());
  const bool parsed = success;
  bool may_close = parsed;
  if (success) {
    if (files.empty()) {
      log_message(L"Processing currently open file.");
    } else if (!host_.may_close_open_data()) {
      may_close = false;
      log_error(L"The open data has unsaved changes: the script was not run.");
    } else {
      close_file();
      log_message(wxString::Format(L"There are %li file(s) to process.", static_cast<long>(files.size())));
    }
    if (success) {
      open_progress();
      run_files();
      if (has_progress) host_.close_progress_dialog();
      has_progress = false;
      step_count = step_estimate = 0;
    }
    write_results_log();
  }
  if (success) {
    log_message(wxString());
    log_message(L"Successfully completed script.");
  }
  if (!files.empty() && may_close) close_file();
  reset(false);
  log_message(L"\n\n");
  resource_table->RES_IN_SCRIPT->write(false);
  return success;
}

void Script::reset(bool set_success) {
  resource_table_t& rt = *resource_table;
  if (set_success) success = true;
  body.clear();
  files.clear();
  file_numbers.clear();
  name_parts.clear();
  results_lines.clear();
  result_labels.clear();
  image_counters.clear();
  script_name.clear();
  write_tag.clear();
  rt.RES_IN_SCRIPT->write_no_changeprocs(true);
  rt.RES_SCRIPT_RESULTS_DIR->write_no_changeprocs(kInitial);
  rt.RES_SCRIPT_RESULTS_NAME->write_no_changeprocs(kInitial);
  rt.RES_SCRIPT_FUNC_ARG->write_no_changeprocs(kInitial);
  base_res_t::make_pending_writes_happen();
  if (has_progress) host_.close_progress_dialog();
  has_progress = false;
  step_count = step_estimate = 0;
}

void Script::close_file() { call_function(L"FILE_CLOSE", {}); }

void Script::call_function_one_arg(const wxString& tag, const wxString& argument) {
  call_function(tag, {argument});
}

void Script::run_files() {
  log_message(L"Begin running script");
  if (files.empty()) {
    file_index = 0;
    log_message(wxString());
    run_body();
    return;
  }
  for (size_t i = 0; i < files.size(); ++i) {
    file_index = static_cast<int32_t>(i);
    log_message(wxString());
    if (i > 0) update_progress(true);
    const wxString path = files[i];
    call_function_one_arg(L"FILE_OPEN", path);
    if (!success) {
      log_error(L"Failed opening file: " + path);
      return;
    }
    log_message(L"Opened file: " + path);
    run_body();
    close_file();
    if (!success) {
      log_error(L"Failed to run body, returning to original state.");
      return;
    }
  }
}

void Script::run_body() {
  log_message(L"Begin processing script body.");
  const std::vector<block> blocks = body;
  for (const block& b : blocks) {
    if (b.size() == 1)
      run_command(b.front());
    else if (!b.empty() && b.front().front() == L"loop")
      run_loop(b);
    else if (!b.empty() && b.front().front() == L"repeat")
      run_repeat(b);
    else
      log_error(L"Unrecognised or empty command: " + (b.empty() ? wxString() : b.front().front()));
    if (!success) return;
  }
}

void Script::run_loop(block b) {
  log_message(L"Executing loop commands");
  if (b.front().size() != 2 || b.front()[0] != L"loop") {
    log_error(L"Loop command missing or invalid length.");
    return;
  }
  const wxString filter = b.front()[1];
  std::vector<wxString> names;
  if (filter == L"*") {
    const std::vector<wxString> surfaces = host_.surface_names();
    if (surfaces.size() > 1) names.assign(surfaces.begin() + 1, surfaces.end());
  } else {
    for (const wxString& name : host_.object_names())
      if (wxMatchWild(filter, name, false)) names.push_back(name);
  }
  if (file_index < 1 && names.size() > 1) {
    const int64_t more = (static_cast<int64_t>(names.size()) - 1) * (static_cast<int64_t>(b.size()) - 1 + 2) - 1;
    step_estimate = static_cast<int32_t>(std::min<int64_t>(step_estimate + more, INT32_MAX));
  }
  update_progress(false);
  for (const wxString& name : names) {
    call_function_one_arg(L"CURRENT_OBJECT", name);
    if (!success) return;
    call_function_one_arg(L"THICKNESS_SURFACE", name);
    if (!success) {
      if (filter == L"*") return;
      success = true;
    }
    for (size_t k = 1; k < b.size(); ++k) {
      run_command(b[k]);
      if (!success) return;
    }
  }
}

void Script::run_repeat(block b) {
  log_message(L"Executing repeat commands");
  if (b.front().size() != 2 || b.front()[0] != L"repeat") {
    log_error(L"Repeat command missing or invalid length.");
    return;
  }
  long count = 0;
  if (!b.front()[1].ToLong(&count, 10)) {
    log_error(L"Repeat number is not an integer.");
    return;
  }
  for (long r = 0; r < count && success; ++r)
    for (size_t k = 1; k < b.size() && success; ++k) run_command(b[k]);
}

void Script::run_command(command c) {
  const wxString word = c.empty() ? wxString() : c.front();
  if (word == L"param") {
    set_resource(c.size() > 1 ? c[1] : wxString());
  } else if (word == L"func") {
    if (c.size() < 2) {
      log_error(L"Error in parsing. No function name in function call command constructed by the script.");
      return;
    }
    call_function(c[1], std::vector<wxString>(c.begin() + 2, c.end()));
  } else if (word == L"write") {
    write_result(c.size() > 1 ? c[1] : wxString());
  } else {
    log_warning(L"Command '" + word + L"' is not implemented and will be ignored.");
  }
}

void Script::set_resource(const wxString& text) {
  if (base_res_t::parse_no_changeprocs(text, -1)) {
    log_message(L"Set resource: " + text);
    base_res_t::make_pending_writes_happen();
  } else {
    log_error(L"Unable to load resource label value pair: " + text);
  }
  host_.yield();
}

// ---- the results table ---------------------------------------------------------

wxString Script::results_file_path() const {
  const wxString name = script_name.empty() ? wxString(L"log") : L"log_" + script_name;
  return wxFileName(resource_table->RES_SCRIPT_RESULTS_DIR->read(), name, L"txt").GetFullPath();
}

void Script::write_result(const wxString& tag) {
  resource_table_t& rt = *resource_table;
  write_tag = tag;
  update_results_name();
  std::vector<wxString> fields;
  fields.push_back(files.empty() || file_index < 0 || static_cast<size_t>(file_index) >= file_numbers.size()
                       ? wxString()
                       : wxString::Format(L"%li", static_cast<long>(file_numbers[file_index])));
  fields.push_back(rt.RES_ASCII_FILENAME->read().GetFullPath());
  const wxString selected = host_.selected_surface();
  wxString surface = selected;
  surface.Trim(true);
  surface.Replace(L" ", L"_");
  wxString name = rt.RES_SCRIPT_RESULTS_NAME->read();
  if (!surface.empty()) name += (name.empty() ? wxString() : wxString(L"_")) + surface;
  fields.push_back(name);
  fields.push_back(selected.empty() ? wxString(L"(none)") : selected);
  for (const wxString& label : result_labels) fields.push_back(base_res_t::get_as_string(label));
  results_lines.push_back(results_row(fields) + L"\n");
  write_results_log();
}

void Script::write_results_log() {
  if (results_lines.empty()) return;
  if (resource_table->RES_SCRIPT_RESULTS_DIR->read() == kInitial) {
    log_error(L"Unable to write to results log file: the script names no results directory.");
    return;
  }
  const wxString path = results_file_path();
  // Appending: the file's present bytes and the new lines are saved whole.
  std::string bytes;
  if (wxFileName::FileExists(path)) {
    std::ifstream in(path.fn_str(), std::ios::binary);
    if (!in) {
      log_error(L"Unable to write to results log file");
      return;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (const wxString& line : results_lines) {
    const wxScopedCharBuffer utf8 = line.utf8_str();
    bytes.append(utf8.data(), utf8.length());
  }
  if (!save_file(path, bytes)) {
    log_error(L"Unable to write to results log file");
    return;
  }
  log_message(L"Writing results to file '" + path + L"' in results directory.");
  results_lines.clear();
}

// ---- progress and the results name ----------------------------------------------

void Script::open_progress() {
  step_count = 0;
  if (!files.empty())
    step_estimate = static_cast<int32_t>(std::min<int64_t>(
        (static_cast<int64_t>(step_estimate) + 2) * static_cast<int64_t>(files.size()), INT32_MAX));
  has_progress = step_estimate > 0;
  if (has_progress) {
    host_.open_progress_dialog();
    host_.move_progress_dialog(0);
  }
}

void Script::update_progress(bool re_estimate) {
  if (re_estimate) {
    if (file_index >= 1)
      step_estimate = static_cast<int32_t>(static_cast<int64_t>(step_count) *
                                           static_cast<int64_t>(files.size()) / file_index);
  } else {
    ++step_count;
  }
  if (has_progress) {
    const int64_t estimate = step_estimate > 0 ? step_estimate : 1;
    int64_t position = static_cast<int64_t>(step_count) * 10000 / estimate;
    if (position >= 10000) position = 9999;
    if (position < 0) position = 0;
    if (!host_.move_progress_dialog(static_cast<int>(position)))
      log_error(L"Cancelled by user from the progress dialog.");
  }
  host_.yield();
}

void Script::update_results_name() {
  const wxFileName data = resource_table->RES_ASCII_FILENAME->read();
  const wxArrayString dirs = data.GetDirs();
  const int64_t folders = static_cast<int64_t>(dirs.size());
  wxString name;
  for (int32_t k : name_parts) {
    if (k == 0)
      name += data.GetName() + L"_";
    else if (k >= 1 && k <= folders - 1)
      name += dirs[static_cast<size_t>(k)] + L"_";
    else if (k < 0 && folders + k >= 1)
      name += dirs[static_cast<size_t>(folders + k)] + L"_";
  }
  if (!write_tag.empty()) name += write_tag + L"_";
  if (!script_name.empty()) name += script_name + L"_";
  name.Replace(L" ", L"_");
  if (!name.empty()) name.RemoveLast();
  resource_table->RES_SCRIPT_RESULTS_NAME->write(name);
}

// ---- the dispatcher's common frame and its file tags -------------------------------

void Script::call_function(const wxString& tag, std::vector<wxString> arguments) {
  resource_table_t& rt = *resource_table;
  if (tag == kInitial) return;
  const auto known = function_tags.find(tag);
  if (known == function_tags.end()) {
    log_error(L"Error in parsing. Function name not recognised in call command constructed by the script.");
    return;
  }
  if (static_cast<int32_t>(arguments.size()) < known->second) {
    log_error(L"Error in parsing. Not enough function arguments in call command constructed by the script.");
    return;
  }
  if (!arguments.empty()) rt.RES_SCRIPT_FUNC_ARG->write(arguments.front());

  if (tag == L"FILE_OPEN") {
    const bool ok = host_.file_open();
    // A failure the handler reported itself has already failed the run.
    if (!ok && success) report(L"ERROR Failed to open file: " + arguments.front());
    report(L"MESSAGE run FILE_OPEN");
  } else if (tag == L"FILE_CLOSE") {
    if (!host_.file_close()) report(L"ERROR Failed to close the open data.");
    report(L"MESSAGE run FILE_CLOSE");
    host_.show_scripts_page();
  } else if (tag == L"FILE_SAVE" || tag == L"FILE_SAVEAS") {
    if (tag == L"FILE_SAVEAS") {
      wxFileName name = rt.RES_ASCII_FILENAME->read();
      name.SetName(name.GetName() + L"_" + arguments.front());
      rt.RES_ASCII_FILENAME->write(name);
    }
    // A save that fails must not pass as done.
    if (!host_.file_save())
      report(L"ERROR Failed to save file: " + rt.RES_ASCII_FILENAME->read().GetFullPath());
    report(L"MESSAGE run " + tag);
  } else {
    report(L"ERROR Function name tag not recognised: '" + tag + L"'");
  }
  if (has_progress) update_progress(false);
}
