// A raw interpolated mesh as a plain ASCII PLY file for inspection:
// coordinates in millimetres (ten times the internal centimetres), the
// vertex type, and the triangles in outward order. Surface files proper are
// written by surface_interp::save_surface.
#pragma once

#include <wx/string.h>

class surface_interp;

// False, with an error logged, when the file cannot be written; the target
// is then left as it was.
bool write_mesh_ply_ascii(const surface_interp& s, const wxString& path);
