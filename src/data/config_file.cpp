// Reading and writing the configuration file.
#include "data/config_file.h"

#include <wx/log.h>
#include <wx/mstream.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "data/file_save.h"
#include "data/native_text.h"

namespace {

bool key_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

std::string trimmed(const std::string& s) {
  const char* white = " \t\r\f\v";
  const size_t b = s.find_first_not_of(white);
  if (b == std::string::npos) return std::string();
  return s.substr(b, s.find_last_not_of(white) - b + 1);
}

// What is wrong with one line, or nothing for a setting, a blank line or a
// comment; a setting's key and value are returned.
struct line_reader {
  std::map<std::string, size_t> seen;  // key -> line number
  bool in_group = false;

  std::string judge(const std::string& raw, size_t number, std::string& key, std::string& value) {
    key.clear();
    const std::string line = trimmed(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';') return std::string();
    if (line[0] == '[') {
      in_group = true;
      return "is a group header";
    }
    if (in_group) return "belongs to a group";
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return "is not a setting";
    const std::string k = trimmed(line.substr(0, eq));
    if (k.empty()) return "is not a setting";
    for (char c : k)
      if (!key_char(c)) return "is not a setting";
    const std::string v = trimmed(line.substr(eq + 1));
    if (wxString::FromUTF8(v.data(), v.size()).empty() && !v.empty()) return "is not UTF-8 text";
    const auto it = seen.find(k);
    if (it != seen.end()) return "repeats " + k + " of line " + std::to_string(it->second);
    seen.emplace(k, number);
    key = k;
    value = v;
    return std::string();
  }
};

}  // namespace

std::unique_ptr<wxFileConfig> load_config_file(const wxString& path) {
  // No file of its own, no groups, no escape characters.
  auto config = std::make_unique<wxFileConfig>(wxEmptyString, wxEmptyString, wxEmptyString,
                                               wxEmptyString, wxCONFIG_USE_NO_ESCAPE_CHARACTERS);
  std::ifstream in(std::string(path.fn_str()), std::ios::binary);
  if (!in) return config;

  line_reader reader;
  std::vector<std::string> problems;
  size_t number = 0, bad = 0;
  std::string line, key, value;
  bool too_long = false, first = true;
  auto take = [&] {
    ++number;
    if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    first = false;
    std::string why = too_long ? "is longer than " + std::to_string(kConfigLineLimit) + " characters"
                               : reader.judge(line, number, key, value);
    if (!why.empty()) {
      ++bad;
      if (problems.size() < 5) problems.push_back("line " + std::to_string(number) + " " + why);
    } else if (!key.empty()) {
      config->Write(wxString::FromUTF8(key.c_str()), wxString::FromUTF8(value.data(), value.size()));
    }
    line.clear();
    too_long = false;
  };
  // Read in pieces, so that an endless line costs no memory and no time.
  std::vector<char> buffer(size_t(1) << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    for (size_t i = 0; i < got; ++i) {
      const char c = buffer[i];
      if (c == '\n') {
        take();
      } else if (!too_long) {
        line.push_back(c);
        if (line.size() > kConfigLineLimit + (first ? 3 : 0)) {  // room for a byte-order mark
          too_long = true;
          line.clear();
        }
      }
    }
  }
  if (!line.empty() || too_long) take();

  if (bad > 0) {
    std::string list;
    for (const std::string& p : problems) list += (list.empty() ? "" : ", ") + p;
    if (bad > problems.size()) list += ", and " + std::to_string(bad - problems.size()) + " more";
    wxLogWarning("%s", wxString::Format("The configuration file \"%s\" has lines that are not "
                                        "settings (%s): they are ignored and left out when the "
                                        "settings are next saved.",
                                        path, wxString::FromUTF8(list.c_str())));
  }
  return config;
}

bool save_config_file(wxFileConfig& config, const wxString& path, wxString* why) {
  wxMemoryOutputStream out;
  if (!config.Save(out, wxConvUTF8)) {
    if (why) *why = "The settings could not be put into text.";
    return false;
  }
  std::string bytes(static_cast<size_t>(out.GetLength()), '\0');
  out.CopyTo(bytes.data(), bytes.size());
  std::string old;
  if (read_whole_file(path, old) && old == bytes) return true;
  return save_file(path, bytes, why);
}
