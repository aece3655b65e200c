// Settings files: the class-8 resources of chosen groups in a text file of
// resource lines (".ini"), applied to other data later, and the reset of all
// settings to their defaults.
#pragma once

#include <wx/string.h>

#include <cstdint>

extern const wchar_t* const settings_file_wildcard;  // "Config file|*.ini"

// The check boxes of the save dialog, in their order, each with its group's
// bit of RES_SETTINGS_MASK.
struct settings_group_box {
  const wchar_t* label;
  int32_t bit;
};
constexpr int SETTINGS_GROUP_BOXES = 6;
extern const settings_group_box settings_group_boxes[SETTINGS_GROUP_BOXES];

// File > Open settings, Save settings as and Reset to default values: the
// dialogs, then the calls below. True when something was applied or written.
bool settings_open();
bool settings_save_as();
bool settings_reset();

// Reads the settings file at path and commits its values at once. With
// frames loaded the values apply without counting as changes of the data set
// and without becoming the user's own; changes made to the data before stay
// marked as unsaved. A line that fails withdraws the whole file.
bool read_settings_file(const wxString& path);

// Writes the class-8 resources of the groups in group_mask to path, replacing
// an existing file only once the new one is complete.
bool write_settings_file(const wxString& path, int32_t group_mask);

// Every class-8 resource back to its default, the volume colour mapping
// rebuilt and the reslice planes back to their initial geometry; with frames
// loaded, as read_settings_file applies values.
void reset_settings();
