// The seam to the thickness mapping's display data: the thickness library
// lies above the surfaces and installs its derivation here.
#include "surfaces/surface_interp.h"

namespace {

display_data_function installed = nullptr;

}  // namespace

void surface_interp::set_display_data_function(display_data_function f) { installed = f; }

bool surface_interp::select_display_data(int kind, std::vector<double>* values,
                                         std::vector<double>* offsets,
                                         std::vector<double>* errors) {
  return installed != nullptr && installed(*this, kind, values, offsets, errors);
}
