// nv_tool correct IN.hm positions|pressure OUT.hm: opens IN as File > Open
// does, runs a position (or position and pressure) correction over every
// frame without a progress display, accepts it and writes OUT as Save as
// does. Prints the largest movements p (far corners) and q (first-row
// corners) in millimetres and every frame's corrected position. A run that
// is not valid (too few or too small frames, no recorded positions, a
// movement too large to trust) writes nothing and exits 4 with the reason.
#include <cstdio>
#include <cstring>

#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "medical/dicom_utility.h"
#include "medical/toolkit/wx_image_toolkit.h"
#include "registry/resource_table.h"
#include "segmentation/image_correlation.h"
#include "tools/headless_session.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: nv_tool correct IN.hm positions|pressure OUT.hm\n"
               "  positions: correct the probe positions; pressure: also the probe pressure\n");
  return 2;
}

}  // namespace

int run_correct(int argc, char** argv) {
  if (argc != 5) return usage();
  const bool pressure = std::strcmp(argv[3], "pressure") == 0;
  if (!pressure && std::strcmp(argv[3], "positions") != 0) return usage();
  const wxString in = wxString::FromUTF8(argv[2]), out = wxString::FromUTF8(argv[4]);
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  dicom_utility::install_frame_windowing();
  install_toolkit_images();
  headless_session session;
  if (!open_native_file(in)) return 1;
  if (!last_read_losses().none()) {
    ui.message(wxLOG_Error, wxString::Format("\"%s\" could not be read without losing data; "
                                             "\"%s\" was not written.", in, out));
    return 3;
  }
  resource_table_t& t = *resource_table;
  image_correlation run(false, pressure);
  const int32_t frames = t.RES_BUF_FRAMES->read();
  for (int32_t k = 0; k < frames; ++k) run.correct_frame(k);
  double p = 0.0, q = 0.0;
  if (!run.finish_correction(p, q) || !run.apply_correction()) {
    ui.message(wxLOG_Error, wxString::Format("The correction is not valid: %s \"%s\" was not written.",
                                             run.failure().empty() ? wxString("the data could not be changed.")
                                                                   : run.failure(),
                                             out));
    return 4;
  }
  if (!save_native_file_as(out, false)) return 1;
  std::printf("p %.3f mm\nq %.3f mm\n", p * 10.0, q * 10.0);
  for (int32_t k = 0; k < frames; ++k) {
    const position_ref r = frame_store->positioncp(k);
    if (!r) continue;
    std::printf("frame %d %.6f %.6f %.6f %.6f %.6f %.6f\n", k, r->x, r->y, r->z, r->azimuth, r->elevation, r->roll);
  }
  return 0;
}
