// Thickness data files: one ".bin" file of little-endian doubles per
// quantity, one value per stored vertex (type not 2, ascending index),
// named by a stub and a suffix. The current set's value files begin with a
// 256-byte header; its error files and every file of the older set have
// none. surface_interp::save_thickness and load_thickness use these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/string.h>

#include "surfaces/surface_interp.h"

// Size of the current set's value-file header.
constexpr size_t kThicknessHeaderSize = 256;
// Room for the unit text, its zero and the note, after the two scale ends.
constexpr size_t kThicknessNoteBlock = 240;

// What a file's header names as its unit.
enum class thickness_unit { none, mm, hu };

// One quantity of a set: its suffixes in both sets and the array it holds.
// Pairs share `pair`; the error file of a pair has unit none.
struct thickness_file_kind {
  const char* current;  // suffix in the current set
  const char* older;    // suffix in the older set
  std::vector<double> surface_interp::*array;
  thickness_unit unit;
  int pair;  // 0 single; otherwise the number shared by a value file and its error file
};

// The stub of a name part: the first ending of `endings` it has cut off,
// else the whole name part.
wxString thickness_stub(const wxString& name_part, const std::vector<const char*>& endings);

// The ending lists: those cut when saving the current set, when loading it
// (a name part ending in "_dat"), and for the older set (both ways).
const std::vector<const char*>& thickness_save_endings();
const std::vector<const char*>& thickness_load_endings();
const std::vector<const char*>& thickness_older_endings();

// The 256-byte header: scale ends, two-character unit, zero, note, zeros.
// A note longer than the block allows is cut.
std::string thickness_header(double lo, double hi, thickness_unit unit, const std::string& note);

// "Reversed\n" when reversed, then "Created by Norvelith v<version> on " and
// the date in ctime's layout without its newline.
std::string thickness_note(bool reversed, const std::string& date);

// The stored vertices: indices of the mesh points whose type is not 2.
std::vector<int32_t> thickness_stored_vertices(const surface_mesh& mesh);
