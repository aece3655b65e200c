// Masking the loaded data with a region drawn on the review view: every
// display pixel outside the region becomes 0, the value kept for pixels
// without data, on every frame.
#pragma once

#include <cstdint>
#include <memory>

#include <wx/string.h>

#include "data/contour.h"

// How the masking talks to the user; the program shows dialogs, tests script
// the answers.
class mask_ui {
 public:
  virtual ~mask_ui() = default;
  // Shows the region while the question is open.
  virtual void show_region() {}
  // A yes/no question; true for Yes.
  virtual bool ask(const wxString& caption, const wxString& question) = 0;
  virtual void progress_start(const wxString& title, const wxString& message, int maximum) = 0;
  virtual void progress_update(int value, const wxString& message) = 0;
  virtual void progress_finish() = 0;
};

// The region being masked and its raster, kept by the view so that it can
// draw them while the question is open.
struct mask_region_t {
  frame_contours_t region;
  std::unique_ptr<int16_t[]> raster;  // cells of 1 or more lie inside
  bool inside(int32_t column, int32_t row) const;
};

// Masks every frame of the store with the region (or, when it holds no
// contour, with a copy of outline on the current frame) after asking the
// user. Returns true when the data were masked. The region and its raster
// are empty again afterwards, whatever the answer.
bool mask_data(mask_region_t& mask, const contour_t* outline, mask_ui& ui);

// The question asked before masking, for data read from medical image files
// or not, and with 16-bit raw values behind the display or not.
wxString mask_question(bool dicom, bool raw16);

// After the display of 16-bit data was windowed again, its display pixels
// are derived from the untouched raw values and hold no mask any more: the
// masked state is dropped with them. True when it was reset.
bool reset_mask_after_windowing();
