// The script object, its log writers and the parser of the script language.
#include <wx/filename.h>
#include <wx/tokenzr.h>

#include <algorithm>
#include <climits>

#include "registry/resource_table.h"
#include "script/script.h"

namespace {

const wxString kInitial = L"INITIAL_STATE";

bool is_separator(wxUniChar c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A whole decimal number that fits 32 bits.
bool read_int32(const wxString& text, int32_t& value) {
  long v = 0;
  if (text.empty() || !text.ToLong(&v, 10) || v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

std::vector<wxString> split_keep_empty(const wxString& text, const wxString& separators) {
  std::vector<wxString> pieces;
  wxString piece;
  for (wxUniChar c : text) {
    if (separators.Find(c) != wxNOT_FOUND) {
      pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  pieces.push_back(piece);
  return pieces;
}

// Run-time state that other structures must agree with: a script may not set it.
bool refused_for_scripts(const wxString& name) {
  static const wchar_t* const refused[] = {L"RES_BUF_FRAMES", L"RES_BUF_WIDTH", L"RES_BUF_HEIGHT",
                                           L"RES_CURRENT_VISUAL_PAGE", L"RES_CURRENT_TASK_PAGE",
                                           L"RES_IN_SCRIPT"};
  for (const wchar_t* r : refused)
    if (name == r) return true;
  return name.StartsWith(L"RES_SCRIPT_");
}

}  // namespace

// ---- tokens ------------------------------------------------------------------

Script::line_tokens::line_tokens(const wxString& line) : line_(line) {}

bool Script::line_tokens::has_more() const {
  for (size_t k = pos_; k < line_.length(); ++k)
    if (!is_separator(line_[k])) return true;
  return false;
}

wxString Script::line_tokens::next() {
  while (pos_ < line_.length() && is_separator(line_[pos_])) ++pos_;
  const size_t start = pos_;
  while (pos_ < line_.length() && !is_separator(line_[pos_])) ++pos_;
  return line_.Mid(start, pos_ - start);
}

wxString Script::line_tokens::rest() const {
  return pos_ + 1 < line_.length() ? line_.Mid(pos_ + 1) : wxString();
}

// ---- the object and its log ----------------------------------------------------

Script::Script(script_host& host) : host_(host) {
  static const std::pair<const wchar_t*, int32_t> tags[] = {
      {L"FILE_SAVE", 0},           {L"FILE_SAVEAS", 1},         {L"FILE_OPEN", 1},
      {L"FILE_CLOSE", 0},          {L"SAVE_3D", 1},             {L"SAVE_REVIEW", 1},
      {L"SAVE_RESLICE", 1},        {L"SAVE_ORTHO_LEFT", 1},     {L"SAVE_ORTHO_RIGHT", 1},
      {L"SURFACE_ALL", 0},         {L"SURFACE_RESOLUTION", 1},  {L"SURFACE_SMOOTH_TYPE", 1},
      {L"SURFACE_SMOOTHING", 1},   {L"CURRENT_OBJECT", 1},      {L"IMPORT_SURFACE", 1},
      {L"SURFACE_CURRENT", 0},     {L"SAVE_CURRENT_SURFACE", 0}, {L"RENAME_CURRENT", 1},
      {L"OBJECT_OPACITY", 2},      {L"THICKNESS_SURFACE", 1},   {L"THICKNESS_SURF_SAVE", 0},
      {L"THICKNESS_SURF_LOAD", 0}, {L"THICKNESS_SURF_FIT", 0},  {L"THICKNESS_EST_DENSITY", 0},
      {L"THICKNESS_ALTERNATE", 1}, {L"THICKNESS_SAVE_ALTERNATE", 0}, {L"THICKNESS_CREATE", 0},
      {L"THICKNESS_COMPARE", 0},   {L"DICOM_CALIBRATE", 0},     {L"ORIENT_3D", 6},
      {L"LOCATE_3D", 3},           {L"SCROLL_3D", 2},           {L"ROTATE_3D", 1},
      {L"ROTATE_RESLICE", 1},      {L"ROTATE_RESLICE_3D", 1},   {L"TWIST_3D", 1},
      {L"TWIST_RESLICE", 1},       {L"TWIST_RESLICE_3D", 1},    {L"MOVE_3D", 1},
      {L"MOVE_RESLICE", 1},        {L"MOVE_ORTHO_LEFT", 1},     {L"MOVE_ORTHO_RIGHT", 1},
      {L"OFFSET_REVIEW", 1},       {L"OFFSET_RESLICE", 1},      {L"OFFSET_ORTHO_LEFT", 1},
      {L"OFFSET_ORTHO_RIGHT", 1},  {L"ZOOM_3D", 1},             {L"ZOOM_REVIEW", 1},
      {L"ZOOM_RESLICE", 1},        {L"ZOOM_ORTHO_LEFT", 1},     {L"ZOOM_ORTHO_RIGHT", 1},
  };
  for (const auto& t : tags) function_tags[t.first] = t.second;
  key_names = {{L"left", 314}, {L"up", 315}, {L"right", 316}, {L"down", 317}};
  procs_.watch(procs_.make(this, &Script::update_messages), resource_table->RES_SCRIPT_WRITE_MESSAGE);
}

Script::~Script() { stop_listening(); }

void Script::stop_listening() {
  if (resource_table)
    procs_.clear();
  else
    procs_.abandon();
}

namespace {
wxString line_prefix(int line) {
  return line < 0 ? wxString() : wxString::Format(L"In line %i of Script. ", line);
}
}  // namespace

void Script::log_message(const wxString& text, int line) {
  host_.append_output(L">> " + wxString(L" ") + line_prefix(line) + text + L"\n");
}

void Script::log_error(const wxString& text, int line) {
  host_.append_output(L">> ERROR: " + line_prefix(line) + text + L"\n");
  success = false;
}

void Script::log_warning(const wxString& text, int line) {
  host_.append_output(L">> WARNING: " + line_prefix(line) + text + L"\n");
}

// ---- parsing -----------------------------------------------------------------

bool Script::parse() {
  log_message(L"Begin parsing script");
  const wxString text = host_.script_text();
  open_ = open_block::none;
  pending_.clear();
  std::vector<wxString> lines;
  wxString current;
  for (size_t i = 0; i < text.length(); ++i) {
    const wxUniChar c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < text.length() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  bool closed = false;
  for (size_t k = 0; k < lines.size() && !closed; ++k) parse_line(lines[k], static_cast<int>(k + 1), closed);
  if (!closed) {
    if (body.empty())
      log_error(L"There is nothing in this script to run.");
    else
      log_message(L"Parsing completed.");
  }
  pending_.clear();
  open_ = open_block::none;
  return success;
}

void Script::parse_line(const wxString& raw, int line, bool& closed) {
  wxString text = raw;
  const int hash = text.Find('#');
  if (hash != wxNOT_FOUND) text = text.Left(static_cast<size_t>(hash));
  text.Replace(L"\t", L" ");
  text.Trim(true).Trim(false);
  line_tokens t(text);
  if (!t.has_more()) return;
  const wxString word = t.next();
  command c;
  if (word == L"script_name") {
    parse_script_name(t, line);
  } else if (word == L"results_dir") {
    parse_results_dir(t, line);
  } else if (word == L"write_header") {
    parse_write_header(t, line);
  } else if (word == L"open") {
    parse_open(t, line);
  } else if (word == L"param") {
    c = parse_param(t, line);
  } else if (word == L"func") {
    c = parse_func(t, line);
  } else if (word == L"write") {
    c = parse_write(t, line);
  } else if (word == L"loop") {
    if (open_ != open_block::none)
      log_error(L"Nested loops or repeats are not supported.");
    else {
      c = parse_loop(t);
      open_ = open_block::loop;
    }
  } else if (word == L"repeat") {
    if (open_ != open_block::none)
      log_error(L"Nested loops or repeats are not supported.");
    else {
      c = parse_repeat(t);
      open_ = open_block::repeat;
    }
  } else if (word == L"end") {
    if (open_ == open_block::loop) {
      open_ = open_block::none;
    } else if (open_ == open_block::repeat) {
      const int64_t inside = pending_.empty() ? 0 : static_cast<int64_t>(pending_.size()) - 1;
      step_estimate = static_cast<int32_t>(std::clamp<int64_t>(
          step_estimate + (static_cast<int64_t>(repeat_count) - 1) * inside, INT32_MIN, INT32_MAX));
      open_ = open_block::none;
    } else {
      log_error(L"End command is not at end of loop or repeat.");
    }
  } else if (word == L"close") {
    log_message(L"Close command has been reached.", line);
    if (open_ == open_block::loop) log_error(L"Loops is missing an 'end'.");
    log_message(L"Parsing completed.");
    closed = true;
    return;
  } else {
    log_error(L"Command not recognised.", line);
  }
  if (!success) return;
  if (!c.empty()) {
    pending_.push_back(c);
    if (c[0] == L"func") ++step_estimate;
    if (c[0] == L"loop") step_estimate += 2;
  }
  if (open_ == open_block::none && !pending_.empty()) {
    body.push_back(pending_);
    pending_.clear();
  }
}

void Script::parse_script_name(line_tokens& t, int line) {
  if (!body.empty() || !files.empty()) log_error(L"results_name is not before the script body.", line);
  const wxString rest = t.rest();
  if (t.has_more()) {
    t.next();
    if (t.has_more()) log_error(L"Spaces are not allowed in result name.", line);
    if (success) script_name = rest;
  } else {
    log_warning(L"Missing name. Default to empty string.", line);
    script_name.clear();
  }
}

void Script::parse_results_dir(line_tokens& t, int line) {
  resource_table_t& rt = *resource_table;
  if (!body.empty() || !files.empty()) log_error(L"results_dir is not before the script body.", line);
  wxString dir;
  if (!join_quoted(t, dir)) log_error(L" internal quote in open dir string: " + dir);
  if (!host_.directory_exists(dir)) log_error(L"Directory path doesn't exist." + dir, line);
  if (success) rt.RES_SCRIPT_RESULTS_DIR->write(dir);
  if (t.has_more()) {
    name_parts.clear();
    for (const wxString& piece : split_keep_empty(t.next(), L",")) {
      int32_t k = 0;
      if (read_int32(piece, k))
        name_parts.push_back(k);
      else
        log_error(L"Unable to parse sub-directory list.", line);
    }
  }
}

void Script::parse_write_header(line_tokens& t, int line) {
  if (!results_lines.empty()) {
    log_error(L"Multiple 'write_header' calls made. Only one supported.", line);
    return;
  }
  if (!body.empty()) {
    log_error(L"write_header does not preceed the first body command.", line);
    return;
  }
  wxString header = L"File number,Full file name,Results file name,Current surface";
  while (t.has_more()) {
    wxString name = t.next();
    if (!name.StartsWith(L"RES_")) name = L"RES_" + name;
    if (!base_res_t::find(name)) {
      log_error(L"Invalid LABEL: " + name, line);
      return;
    }
    header += L"," + name;
    result_labels.push_back(name);
  }
  results_lines.push_back(header + L"\n");
}

void Script::parse_open(line_tokens& t, int line) {
  resource_table_t& rt = *resource_table;
  if (!body.empty()) log_error(L"Open does not preceed the first body command.", line);
  wxString selection;
  bool selected = false;
  {
    const wxString first = split_keep_empty(t.rest(), L" ,;-:").front();
    int32_t n = 0;
    if (read_int32(first, n)) {
      selection = t.next();
      selected = true;
    }
  }
  wxString dir;
  if (!join_quoted(t, dir)) log_error(L"Internal quote in open dir string: " + dir);
  if (!host_.directory_exists(dir)) log_error(L"Directory path doesn't exist." + dir, line);
  wxString filter;
  if (!join_quoted(t, filter)) log_error(L"Internal quote in filter string: " + filter);
  if (filter.empty()) filter = L"*";
  if (!success) return;

  // A filter with an extension loses a final "."; one without stands for
  // native data files.
  const wxString name = wxFileName(filter).GetFullName();
  const int dot = name.Find('.', true);
  if (dot > 0) {
    if (filter.EndsWith(L".")) filter.RemoveLast();
  } else {
    filter += L".hm";
  }
  for (const wxString& f : host_.list_files(dir, filter)) files.push_back(f);
  file_numbers.clear();
  for (size_t k = 0; k < files.size(); ++k) file_numbers.push_back(static_cast<int32_t>(k + 1));
  if (selected) {
    std::vector<uint8_t> mask;
    if (parse_selection(selection, static_cast<long>(files.size()), mask)) {
      std::vector<wxString> kept;
      std::vector<int32_t> numbers;
      for (size_t k = 0; k < files.size(); ++k)
        if (mask[k]) {
          kept.push_back(files[k]);
          numbers.push_back(file_numbers[k]);
        }
      files.swap(kept);
      file_numbers.swap(numbers);
    }
  }
  log_message(wxString::Format(L"Parsed %li files:", static_cast<long>(files.size())), line);
  for (size_t k = 0; k < files.size(); ++k)
    log_message(wxString::Format(L"File %3li - ", static_cast<long>(file_numbers[k])) + files[k] + L".",
                line);
  if (rt.RES_SCRIPT_RESULTS_DIR->read() == kInitial) rt.RES_SCRIPT_RESULTS_DIR->write(dir);
}

bool Script::parse_selection(const wxString& selection, long count, std::vector<uint8_t>& mask) {
  const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
  mask.assign(n, 1);
  bool result = false;
  for (const wxString& item : split_keep_empty(selection, L",;")) {
    std::vector<int64_t> numbers;
    for (const wxString& piece : split_keep_empty(item, L"-:")) {
      int32_t v = 0;
      if (!read_int32(piece, v)) break;
      numbers.push_back(v);
    }
    if (numbers.empty()) {
      std::fill(mask.begin(), mask.end(), 1);
      result = false;
      continue;
    }
    if (!result) {
      std::fill(mask.begin(), mask.end(), 0);
      result = true;
    }
    const int64_t last = static_cast<int64_t>(n) - 1;
    const int64_t a = numbers[0] - 1;
    if (numbers.size() == 1) {
      if (a >= 0 && a <= last) mask[static_cast<size_t>(a)] = 1;
    } else {
      const int64_t step = numbers.size() >= 3 ? std::max<int64_t>(numbers[1], 1) : 1;
      const int64_t stop = std::min(numbers.size() >= 3 ? numbers[2] - 1 : numbers[1] - 1, last);
      for (int64_t k = std::max<int64_t>(a, 0); k <= stop; k += step) mask[static_cast<size_t>(k)] = 1;
    }
  }
  return result;
}

Script::command Script::parse_param(line_tokens& t, int line) {
  if (!t.has_more()) {
    log_error(L"Missing LABEL and value(s). Format should be 'LABEL value(s)'.", line);
    return {};
  }
  wxString name = t.next();
  const wxString value = t.rest();
  if (!t.has_more()) log_error(L"Missing value(s). Format should be 'LABEL value(s)'.", line);
  if (!base_res_t::find(name) && !name.StartsWith(L"RES_")) name = L"RES_" + name;
  if (!base_res_t::find(name)) {
    log_error(name + L" is invalid: it does not match any existing LABEL.", line);
    return {};
  }
  if (refused_for_scripts(name)) {
    log_error(name + L" cannot be set by a script.", line);
    return {};
  }
  wxString text = name + L" " + value;
  text.Trim(true);
  return {L"param", text};
}

Script::command Script::parse_func(line_tokens& t, int line) {
  if (!t.has_more()) {
    log_error(L"Missing FUNC_LABEL. Format should be 'FUNC_LABEL args' where args are space separated.",
              line);
    return {};
  }
  wxString tag = t.next();
  for (const wchar_t* prefix : {L"N_", L"HMC_", L"HMM_"})
    if (tag.StartsWith(prefix)) tag = tag.Mid(wxString(prefix).length());
  const auto known = function_tags.find(tag);
  if (known == function_tags.end()) {
    log_error(L"unsupported function call: " + tag, line);
    return {};
  }
  command c = {L"func", tag};
  while (success) {
    wxString argument;
    if (!join_quoted(t, argument)) {
      log_error(L" internal quote in function argument: " + argument);
      break;
    }
    if (argument.empty()) break;
    c.push_back(argument);
  }
  if (static_cast<int32_t>(c.size()) - 2 < known->second) log_error(L" not enough arguments in function: " + tag);
  return c;
}

Script::command Script::parse_write(line_tokens& t, int line) {
  if (!t.has_more()) return {L"write", wxString()};
  const wxString tag = t.next();
  if (t.has_more()) {
    log_error(L"The 'write' command should be followed by a single tag for this write.", line);
    return {};
  }
  return {L"write", tag};
}

Script::command Script::parse_loop(line_tokens& t) {
  wxString filter;
  if (!join_quoted(t, filter)) log_error(L"Internal quote in current surface filter: " + filter);
  if (t.has_more()) log_error(L"Too many filters included: should only be one.");
  if (filter.empty()) filter = L"*";
  if (!success) return {};
  return {L"loop", filter};
}

Script::command Script::parse_repeat(line_tokens& t) {
  wxString count;
  if (!join_quoted(t, count)) log_error(L"Internal quote in repeat: " + count);
  if (t.has_more()) log_error(L"Too many repeat arguments: should only be one.");
  int32_t n = 0;
  if (!read_int32(count, n))
    log_error(L"Repeat must have a numerical argument.");
  else
    repeat_count = n;
  if (!success) return {};
  return {L"repeat", count};
}

bool Script::join_quoted(line_tokens& tokens, wxString& text) {
  bool open = false;  // inside a quote that is not closed yet
  while (tokens.has_more()) {
    const wxString token = tokens.next();
    const int quote = token.Find('"');
    if (!open) {
      if (quote == wxNOT_FOUND) {
        text = token;
        return true;
      }
      if (quote != 0) {
        text = token;
        return false;
      }
      const wxString left = token.Mid(1);
      const int inner = left.Find('"');
      if (inner == wxNOT_FOUND) {
        text = left;
        open = true;
        continue;
      }
      if (static_cast<size_t>(inner) + 1 == left.length()) {
        text = left.Left(left.length() - 1);
        return true;
      }
      text = L"\"" + left;
      return false;
    }
    const wxString gap = text.empty() ? wxString() : wxString(L" ");
    if (quote == wxNOT_FOUND) {
      text += gap + token;
      continue;
    }
    if (static_cast<size_t>(quote) + 1 == token.length()) {
      text += gap + token.Left(token.length() - 1);
      return true;
    }
    text += gap + token;
    return false;
  }
  // An opening quote never closed on its line is a fault, not an argument.
  return !open;
}
