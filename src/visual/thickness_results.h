// The texts of the Thickness display page apart from its window: the result
// lines of the last single-line measurement or of a mapped surface's
// averages, and the labels and quantity names that carry the data's units.
#pragma once

#include <array>

#include <wx/string.h>

class surface_interp;
class thickness;

// Summary, thickness, blur, endocortical, outer gap, density, inner density
// and residual lines.
using thickness_result_lines = std::array<wxString, 8>;

// The last single-line measurement as the page reads it: edge positions and
// blur in cm along the line, densities in data units, 1e10 for errors of
// parameters that were not fitted; along_normal turns a difference of
// positions into mm along the surface normal.
struct single_line_result {
  bool valid = false;
  bool fit_succeeded = false;
  double outer = 0.0, inner = 0.0, outer_gap = 0.0, sigma = 0.0, endo = 0.0;
  double cortical_density = 0.0, inner_density = 0.0, residual = 0.0;
  double edge_error = 1e10, outer_gap_error = 1e10, sigma_error = 1e10, endo_error = 1e10;
  double cortical_density_error = 1e10, inner_density_error = 1e10;
  bool gap = false;
  double along_normal = 10.0;
};

single_line_result read_single_line(const thickness& engine);

// Before any measurement: nothing measured.
thickness_result_lines unmeasured_lines();
// A measurement held: its results when its fit succeeded, else that nothing
// is available.
thickness_result_lines single_line_lines(const single_line_result& r, const wxString& units);
// Averages of the mapped results over surface (null: nothing measured),
// weighted by their errors.
thickness_result_lines surface_average_lines(const wxString& name, const surface_interp* surface,
                                             const wxString& units);

// The "Density range", "Density offset" and "Mass range" labels for units.
std::array<wxString, 3> thickness_unit_labels(const wxString& units);
// The "Display: " choice's ten quantity names for units.
std::array<wxString, 10> thickness_display_names(const wxString& units);
// The seven thickness colour maps, in their shared order.
extern const wchar_t* const kThicknessColourMaps[7];
