// The volume readers' description of the loaded data as the main window
// shows it; plain 8-bit data of unknown source while no reader is installed.
#pragma once

#include <wx/string.h>

bool loaded_data_16bit();
wxString loaded_data_source_type();
// Forgets the loaded data's description (start-up does this once).
void reset_loaded_data_description();
