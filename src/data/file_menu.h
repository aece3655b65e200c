// The File menu's data commands without any window: open a native data file
// or other image data, save under the current or a new name, close the data
// set with fresh default names. The main window's handlers call these; so do
// scripts, which set RES_IN_SCRIPT and pass a file name in
// RES_SCRIPT_FUNC_ARG, and then no dialog or question is shown.
//
// Dialogs go through current_file_menu_ui(), questions that take Yes or No
// and progress through current_data_ui().
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <utility>
#include <vector>

class base_res_t;

// Wildcards of the file dialogs.
extern const wchar_t* const open_file_wildcard;
extern const wchar_t* const save_file_wildcard;          // frames of their own
extern const wchar_t* const save_image_file_wildcard;    // data backed by medical image files

// File > Open. In a script the file named by RES_SCRIPT_FUNC_ARG is read (as
// a native data file when its extension is "hm" in any case) and a failure is
// reported to the script's message log. True when a data set was loaded.
bool file_open();

// File > Open directory: a folder of image files.
bool file_open_directory();

// Loads a data set in any format but the native one, from a file or a
// folder, through the volume readers. On failure the data set is empty.
bool open_image_data(const wxString& path);

// File > Save: writes the data under RES_ASCII_FILENAME.
bool file_save();

// File > Save as: asks for the name; the second filter of data backed by
// medical image files saves them as 8-bit frames of their own.
bool file_save_as();

// File > Close. Asks before unsaved changes are dropped (not in a script);
// false when the user kept the data. Then empties the data set, takes back
// the user's own settings and names the data files for the next data set,
// advancing default_name_counter.
bool file_close(int32_t& default_name_counter);

// Names RES_ASCII_FILENAME and RES_BIN_IM_FILENAME for a new data set from
// RES_FILENAME_STUB and the first number from 1 for which neither file
// exists; leaves counter one above that number. Pending writes only.
void choose_default_names(int32_t& counter);

// For data backed by medical image files: the RES_BIN_IM_FILENAME text with
// which a data file saved at target finds the same image file. Empty, after
// an error message, when the image file cannot be found or a data file at
// target would find another file of its name.
wxString image_reference_for(const wxString& target);

// Whether a file can be written at path, tested without touching it: an
// existing file must be writable and a new file creatable in its folder.
bool can_write_file(const wxString& path);

// The changed flags of the resources of some classes, taken now to be put
// back after an operation that must not change what counts as unsaved.
class changed_flags_snapshot {
 public:
  explicit changed_flags_snapshot(int32_t class_mask);
  // Marks changed again every resource that was changed when taken.
  void mark_again() const;
  // Every flag back as it was taken.
  void restore() const;

 private:
  std::vector<std::pair<base_res_t*, bool>> flags_;
};
