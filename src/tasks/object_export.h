// What the Draw page's Save buttons write: surfaces (VRML, all in one file,
// or PLY), label masks of the objects' surfaces (NIfTI, NRRD) and the object
// info file, a CSV table of volumes, areas, perimeters, enclosed image
// values and centres. Every file goes through the save helper.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/string.h>

// The Save dialog's filters, in their order.
enum class object_export_kind { vrml, ply, nifti_mask, nrrd_mask, csv_info, text_info, all_files };
extern const wchar_t* const OBJECT_EXPORT_WILDCARD;
object_export_kind object_export_kind_of(int filter_index);
// Surfaces and masks need a surface; the info file does not.
bool export_needs_surface(object_export_kind kind);

// The object info file of object (-1: every object below CURRENT_MAX_OBJECTS)
// as its bytes: UTF-8, CR LF line ends, a header, the object rows, then the
// frame rows. A name holding a comma, a quote or a line break is quoted so
// that it stays one field.
std::string object_statistics_text(int32_t object);
// Saves it; false with *why set when the file could not be written.
bool write_object_statistics(const wxString& path, int32_t object, wxString* why);

// The file names of an all-objects PLY export to chosen: the chosen name part,
// "_" and the object's name made safe for a file name, in the chosen folder
// with its extension; an object whose name gives a file already taken gets
// its number appended. One name per entry of objects.
std::vector<wxString> per_object_surface_paths(const wxString& chosen, const std::vector<int32_t>& objects);

// Writes the surfaces of objects: as PLY, one file each to paths (all new or
// all old), or as VRML into the one file paths[0], the first with its header
// line. False with *why set on failure.
bool save_object_surfaces(const std::vector<int32_t>& objects, const std::vector<wxString>& paths, bool ply,
                          wxString* why);

// A name given by a script without a folder is taken in the script's
// results folder.
wxString script_results_path(const wxString& name, const wxString& results_folder);
