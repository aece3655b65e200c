// Material files: named materials kept as files of resource lines (the four
// material resources) in the folder "materials" of the program's folder (the
// default materials) and of the configuration folder (the user's own).
// These need no window; messages go through the toolkit's log.
#pragma once

#include <vector>

#include <wx/string.h>

// The folder "materials" of a program or configuration folder.
wxString materials_folder(const wxString& base);

// The names of the material files, as the material list shows them after
// its blank row: the program's folder's files sorted by their full paths,
// then the configuration folder's as the folder lists them. A missing
// folder gives no names.
std::vector<wxString> material_names(const wxString& exec_dir, const wxString& config_dir);

// Loads the material file of a name: the program's folder's file when there
// is one, else the configuration folder's. Anisotropy is 0 unless the file
// says otherwise; lines of other resources are passed over. A file that is
// missing, unreadable or holds a line whose value cannot be read changes
// nothing and is reported. On success the writes are left pending for the
// caller's commit: true then.
bool load_material(const wxString& name, const wxString& exec_dir, const wxString& config_dir);

// Where a material chosen to be saved at `chosen` goes: the path in the
// configuration folder's "materials" with the extension ".ini" (added to a
// name without one). Empty, after a warning, for another folder, another
// extension, or a new file named like one of the default materials.
wxString material_save_path(const wxString& chosen, const wxString& exec_dir, const wxString& config_dir);

// Writes the four material resources to path through the save helper;
// false after an error message.
bool save_material(const wxString& path);
