// Loading and saving the results of the current thickness surface: the
// names a script's run uses, and the commands themselves once the name is
// known (the main window asks for it with a file dialog otherwise).
#pragma once

#include <wx/filename.h>

enum class thickness_result_command { load, save, normal_blur };

// The surface of object s, or null for -1, an index out of range or no surface.
class surface_interp;
surface_interp* thickness_result_surface(long s);

// The file name a script's run of the command on object s uses: the
// results folder, the results name, "_" and the object's name with its
// blanks as "_" (plus "_thick_dat" for a load). A results name or folder of
// "INITIAL_STATE" counts as none. False, with the error logged, when the
// object has no name: then nothing is read or written.
bool thickness_script_file_name(thickness_result_command c, long s, wxFileName& name);

// Runs the command on the surface of object s with the given name. A load,
// successful or not, shows the kind of RES_THICKNESS_DISP_MAP again and
// stores the surface again so that the views redraw it.
bool run_thickness_result(thickness_result_command c, long s, const wxFileName& name);
