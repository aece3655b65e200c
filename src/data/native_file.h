// The native data file (".hm"): a text of resource lines, the header (class
// 1) up to RES_END_HEADER and the body (class 2), with the frames' pixels in
// a companion file or a medical image file named by RES_BIN_IM_FILENAME.
//
// Reading and writing run without any window: they talk to the user through
// current_data_ui() and reach the pages through current_data_set_pages().
#pragma once

#include <wx/string.h>

#include "data/data_line_procs.h"

class base_res_t;

class resource_table_t;

// Attaches the header and keyword lines' procedures to their resources: of
// the table given (also while it is being built), or of resource_table.
void install_data_file_procs(resource_table_t& table);
void install_data_file_procs();

// Reads the native data file at path into the registry and the frame store,
// which must hold no data set. The whole file is read under held writes and
// committed once in file-loading mode; on failure every value read is
// withdrawn, the data set is emptied and false returned.
bool try_read_native_file(const wxString& path);

// Writes the native data file at path and, when due, the companion frame
// file. Both are written beside their targets and renamed into place only
// once both are complete, so that a failed save leaves the old files as they
// were.
bool try_write_native_file(const wxString& path);

// File > Open of a native data file, after the dialog.
bool open_native_file(const wxString& path);

// File > Save as, after the dialog: names the data file (".hm" added to a
// name without a dot) and, for frames of their own or with eight_bit, the
// companion file, then writes both. Data backed by medical image files with
// eight_bit are converted to 8-bit frames first, asking before. On failure
// the names stay as they were.
bool save_native_file_as(const wxString& chosen_path, bool eight_bit);

// The companion file's path for a data file's path: "x.hm" gives "x.qzi",
// any other name gets the letter "i" appended.
wxString companion_path_for(const wxString& data_path);

// What the last successful read could not keep as its file had it.
const native_read_losses& last_read_losses();

// Whether the last native file read named res in a line of its own.
bool native_file_contained(const base_res_t* res);
