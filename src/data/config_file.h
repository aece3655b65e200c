// The configuration file norvelith.ini: "key=value" lines in the root, read
// by this program's own line reader and written through the one save helper.
//
// Lines that are not settings (no "=", a key of other characters, a group
// header and the lines of its group, a key seen before, text that is not
// UTF-8, or a line longer than any setting needs) are skipped with one
// warning, and are gone from the file the next time it is written; the valid
// entries are kept.
#pragma once

#include <wx/fileconf.h>
#include <wx/string.h>

#include <cstddef>
#include <memory>

// The longest line a setting can need; longer lines are skipped.
constexpr size_t kConfigLineLimit = 1024;

// A configuration object holding the valid entries of the file at path (none
// when it is missing or unreadable). It has no file of its own: the toolkit
// never writes it.
std::unique_ptr<wxFileConfig> load_config_file(const wxString& path);

// Writes the entries of config to path through the save helper, unless the
// file already holds exactly these bytes. False with *why set on failure.
bool save_config_file(wxFileConfig& config, const wxString& path, wxString* why = nullptr);
