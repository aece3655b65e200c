// Export of resliced data: the loaded data resampled on a regular grid
// aligned with a reslice plane, written as a new native data file with its
// companion frame file. The plane is moved along its normal through the whole
// data in even steps; each slice is the builder's image at that depth. The
// loaded data are not replaced and the plane returns to where it was.
#pragma once

#include <wx/string.h>

#include <cstdint>

class reslice_internals;
class reslice_info;

// One of the 28 choices of resolution and slice spacing: pixel step s (the
// output keeps every s-th pixel of every s-th row) and spacing in cm.
struct reslice_export_choice {
  int32_t step = 1;
  double spacing = 0.0;
};
constexpr int kResliceExportChoices = 28;

// Choice index 0..27: 0..7 step and spacing i + 1 pixel widths; 8..27 step 1
// and spacing 1 .. 20 mm.
reslice_export_choice reslice_export_choice_at(int index, double pixel_size);
// The text the choice dialog shows for index, with the approximate size in
// whole mebibytes for a plane of width x height and data depth cm deep.
wxString reslice_export_choice_text(int index, int32_t width, int32_t height, double depth,
                                    double pixel_size);

// The plane's depth range over all frames (its extent offsets, set here) and
// their distance.
double reslice_export_depth(reslice_info& plane);

// Writes path (".hm" added to a name without a dot) and its companion frame
// file, both beside their targets and renamed into place once complete, so
// that a failure leaves any files of those names as they were. Messages go to
// the data-file user interface; false on failure.
bool export_resliced_data(reslice_internals& builder, const reslice_export_choice& choice,
                          const wxString& path);

// File > Export resliced data: the first of planes 0, 3 and 2 that has a
// builder, the resolution and file dialogs of the File menu, then the
// export. False when nothing was written.
bool file_export_voxels();
