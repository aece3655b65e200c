// nv_tool thickness IN SETTINGS.ini FRAME X Y DX DY DZ [LENGTH_MM]: opens
// IN as File > Open does, applies the settings file as File > Open settings
// does and the presets of its technique as the Thickness page does, then
// measures once at (X, Y) of frame FRAME along (DX, DY, DZ) and prints the
// outcome, one "name value" line each, lengths in millimetres.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "data/data_io_ui.h"
#include "medical/dicom_utility.h"
#include "medical/toolkit/wx_image_toolkit.h"
#include "registry/resource_table.h"
#include "thickness/thickness.h"
#include "thickness/thickness_technique.h"
#include "tools/headless_session.h"
#include "tools/thickness_tool_support.h"

namespace {

constexpr double kNoValue = 1e10;
constexpr double kFixed = 1e-4;

class thickness_tool_ui final : public console_data_io_ui {
 public:
  bool ask_yes_no(const wxString& caption, const wxString& question) override {
    message(wxLOG_Message, caption + ": " + question + "\nAnswered Yes.");
    return true;
  }
};

int usage() {
  std::fprintf(stderr,
               "usage: nv_tool thickness IN SETTINGS.ini FRAME X Y DX DY DZ [LENGTH_MM]\n"
               "  X, Y: pixels of frame FRAME (counted from 0; pixel i's centre at i + 0.5)\n"
               "  DX, DY, DZ: the direction out of the bone along the frame's x, y and normal\n"
               "  LENGTH_MM: measure as a click does, along a line of this length\n");
  return 2;
}

bool number(const char* text, double& out) {
  char* end = nullptr;
  out = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(out);
}

// "value" or "value +/- error"; an error not determined shows as "n/a",
// that of a quantity held fixed or set by rule as "fixed".
void line(const char* name, double value, double scale, const double* error = nullptr) {
  std::printf("%s %.6g", name, value * scale);
  if (error) {
    if (*error == kNoValue)
      std::printf(" +/- n/a");
    else if (*error == kFixed)
      std::printf(" +/- fixed");
    else
      std::printf(" +/- %.6g", *error * scale);
  }
  std::printf("\n");
}

}  // namespace

int run_thickness(int argc, char** argv) {
  if (argc != 10 && argc != 11) return usage();
  double v[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 4; i < argc; ++i)
    if (!number(argv[i], v[i - 4])) return usage();
  const double frame = v[0];
  if (frame != std::floor(frame) || frame < 0 || frame > 2e9) return usage();
  const double length = std::sqrt(v[3] * v[3] + v[4] * v[4] + v[5] * v[5]);
  if (!(length > 0.0)) return usage();
  const bool manual = argc == 11;
  if (manual && !(v[6] > 0.0)) return usage();

  const wxString in = wxString::FromUTF8(argv[2]), settings = wxString::FromUTF8(argv[3]);
  thickness_tool_ui ui;
  data_ui_scope scope(ui);
  dicom_utility::install_frame_windowing();
  install_toolkit_images();
  headless_session session;
  if (!open_for_thickness(in, settings)) return 1;

  thickness& t = *resource_table->RES_THICKNESS->read();
  double point[3] = {v[1], v[2], 0.0};
  double direction[3] = {v[3] / length, v[4] / length, v[5] / length};
  double normal[3] = {direction[0], direction[1], direction[2]};
  t.measure(int32_t(frame), point, direction, manual, manual ? v[6] / 10.0 : 0.0, normal, kNoValue);

  std::printf("status %d\n", t.status);
  std::printf("sampled %s\n", t.sampled ? "yes" : "no");
  std::printf("valid %s\n", t.valid ? "yes" : "no");
  if (!t.sampled) return 3;
  std::printf("technique %s\n", thickness_technique_name(t.options.type));
  std::printf("in_frame %s\n", t.in_frame ? "yes" : "no");
  std::printf("samples %d\n", t.sample_count);
  line("line_mm", t.line_length, 10.0);
  if (!t.valid) return 3;
  line("thickness_mm", t.inner_edge - t.outer_edge, 10.0, &t.thickness_error);
  line("outer_edge_mm", t.outer_edge, 10.0);
  line("inner_edge_mm", t.inner_edge, 10.0);
  if (t.endo_end != 0.0) line("endo_end_mm", t.endo_end, 10.0, &t.endo_error);
  if (t.outer_layer) {
    line("outer_gap_edge_mm", t.outer_gap_edge, 10.0, &t.outer_gap_error);
    line("outer_layer_end_mm", t.outer_layer_end, 10.0);
  }
  if (t.inner_layer) {
    line("inner_gap_edge_mm", t.inner_gap_edge, 10.0, &t.inner_gap_error);
    line("inner_layer_end_mm", t.inner_layer_end, 10.0);
  }
  line("outer_density", t.outer_density, 1.0);
  line("cortical_density", t.cortical_density, 1.0, &t.cortical_density_error);
  line("inner_density", t.inner_density, 1.0, &t.inner_density_error);
  line("mean_density", t.mean_density, 1.0);
  line("blur_sigma_mm", t.blur, 10.0, &t.blur_error);
  line("fit_error", t.fit_error, 1.0);
  return 0;
}
