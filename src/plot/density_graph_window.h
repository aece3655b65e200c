// The window of a cortical density graph: a "Density distribution" dialog
// holding an 800 x 400 plot of the graph's curves, legend and text.
#pragma once

#include <wx/dialog.h>

#include "thickness/density_estimation.h"

class mpWindow;

class density_graph_dialog : public wxDialog {
 public:
  explicit density_graph_dialog(const density_graph& graph);
  mpWindow* plot() const { return plot_; }
  // Writes the plot as a PNG image of 800 x 400 pixels, whether or not the
  // dialog was ever shown; false when it could not be written.
  bool write_png(const wxString& path);

 private:
  mpWindow* plot_ = nullptr;  // owned by the dialog
};
