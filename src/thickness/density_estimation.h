// The "Estimate cortical density" command without its windows: the settings
// it overrides and restores, the two modes (estimation from a histogram of
// apparent peak density against cortical mass, or a globally smoothed
// density kept on each surface), the result text and the curves of its
// graphs. The main window supplies questions, progress and the graph.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "thickness/surface_mapping.h"

// One curve of a density graph.
struct density_curve {
  wxString name;
  std::vector<double> x, y;
};

// What a density graph shows: the axis titles, the curves (presumed
// density, the two spread boundaries, outliers, used measurements and the
// theoretical relationship for the estimation graph; the boundaries and
// every measurement for the raw-data graph) and the text in its corner.
struct density_graph {
  bool raw = false;
  wxString x_title, y_title, text;
  density_curve presumed, lower, upper, outliers, used, theory;
};

// The estimation graph (raw false) or the raw-data graph of an estimation's
// histogram over bins 0 to last_bin.
density_graph make_density_graph(const thickness_estimation& e, int32_t last_bin, bool raw,
                                 const wxString& units, const wxString& text);

// erf(0.01 k), k = 0 to 299, rounded to six decimals, interpolated: the
// apparent peak density of a cortex of real thickness x (mm) under a
// Gaussian blur of sigma s (mm) between background B and density D.
double apparent_peak_density(double x, double s, double D, double B, int32_t bin);

// The window side of the command.
class density_estimation_ui {
 public:
  virtual ~density_estimation_ui() = default;
  // Progress and cancel of each mapping (may be null).
  virtual thickness_mapping_hooks* hooks() { return nullptr; }
  // Brings the Thickness page forward (scripts).
  virtual void select_page() {}
  // A Yes/No question captioned "Cortical density"; true for Yes.
  virtual bool ask(const wxString& question) = 0;
  // Builds the graph; shows it modally when `show`; writes it as a PNG to
  // png_path when that is not empty.
  virtual void graph(const density_graph& g, bool show, const wxString& png_path) = 0;
  // The "Convert thickness from FWHM" button.
  virtual void enable_convert(bool on) { (void)on; }
};

// What the command found; for the tests and the log.
struct density_estimation_outcome {
  bool estimation_mode = false;
  bool succeeded = false;
  wxString result;  // the result text, empty when the estimation failed
  double density = 0.0, background = 0.0, blur = 0.0;  // blur: modelled sigma, mm
  double in_plane = 0.0, out_of_plane = 0.0;  // blur sigmas from the lines, mm
};

// Runs the command as the page's button and the script call do.
density_estimation_outcome estimate_cortical_density(density_estimation_ui& ui);
