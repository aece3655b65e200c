// What the thickness commands share: opening the data and the settings file
// into the headless session the caller holds.
#pragma once

#include <wx/filename.h>
#include <wx/string.h>

#include "data/file_menu.h"
#include "data/file_menu_settings.h"
#include "data/native_file.h"
#include "registry/resource_table.h"
#include "thickness/thickness_technique.h"

// Opens IN as File > Open does (".hm" as a native file, anything else as image
// data), applies SETTINGS as File > Open settings does and the presets of the
// technique they choose as the Thickness page does. False, with the reason
// already reported, when either file cannot be read.
inline bool open_for_thickness(const wxString& in, const wxString& settings) {
  const bool native = wxFileName(in).GetExt().Lower() == "hm";
  if (!(native ? open_native_file(in) : open_image_data(in))) return false;
  if (!read_settings_file(settings)) return false;
  thickness_apply_technique(resource_table->RES_THICKNESS_TYPE->read());
  return true;
}
