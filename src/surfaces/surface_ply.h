// A mesh as a plain ASCII PLY file for inspection: coordinates in
// millimetres (ten times the internal centimetres), the vertex type, and
// the triangles in outward order.
#pragma once

#include <string>

#include <wx/string.h>

class surface_interp;

// False, with an error logged, when the file cannot be written; the target
// is then left as it was.
bool write_mesh_ply_ascii(const surface_interp& s, const wxString& path);

// The surface as a binary little-endian PLY: coordinates in millimetres,
// unit normals, triangles in outward order.
bool write_mesh_ply_binary(const surface_interp& s, const wxString& path);

// Writes bytes to path through a file beside it, flushed and renamed into
// place, keeping the permissions of a file it replaces.
bool replace_file_with(const wxString& path, const std::string& bytes);
