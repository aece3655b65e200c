// nv_tool segment IN.hm FRAME X Y OUT.hm: opens IN as File > Open does,
// segments frame FRAME from pixel (X, Y) as the review view's click does on
// one frame, with the file's grey thresholds as the band (whether or not the
// display showed them) and the file's segmentation settings, adds the
// contours to the current object on that frame, writes OUT as Save as does
// and prints one line per new contour with its area in square centimetres.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "data/surface_store.h"
#include "medical/dicom_utility.h"
#include "medical/toolkit/wx_image_toolkit.h"
#include "registry/resource_table.h"
#include "segmentation/grassfire.h"
#include "tools/headless_session.h"
#include "views/globcmap.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: nv_tool segment IN.hm FRAME X Y OUT.hm\n"
               "  FRAME: the frame, counted from 0; X, Y: the clicked pixel\n");
  return 2;
}

bool integer(const char* text, long& out) {
  char* end = nullptr;
  out = std::strtol(text, &end, 10);
  return end != text && *end == '\0';
}

}  // namespace

int run_segment(int argc, char** argv) {
  long frame = 0, x = 0, y = 0;
  if (argc != 7 || !integer(argv[3], frame) || !integer(argv[4], x) || !integer(argv[5], y))
    return usage();
  const wxString in = wxString::FromUTF8(argv[2]), out = wxString::FromUTF8(argv[6]);
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  dicom_utility::install_frame_windowing();
  install_toolkit_images();
  headless_session session;
  if (!open_native_file(in)) return 1;
  const native_read_losses& losses = last_read_losses();
  if (!losses.none()) {
    ui.message(wxLOG_Error, wxString::Format("\"%s\" could not be read without losing data; "
                                             "\"%s\" was not written.", in, out));
    return 3;
  }
  resource_table_t& t = *resource_table;
  const int32_t frames = t.RES_BUF_FRAMES->read();
  const int32_t width = t.RES_BUF_WIDTH->read(), height = t.RES_BUF_HEIGHT->read();
  if (frame < 0 || frame >= frames) {
    ui.message(wxLOG_Error, wxString::Format("Frame %ld is outside the frames 0 to %i of \"%s\"; "
                                             "nothing was written.", frame, frames - 1, in));
    return 2;
  }
  if (x < 0 || y < 0 || x >= width || y >= height) {
    ui.message(wxLOG_Error, wxString::Format("Pixel (%ld, %ld) is outside the %i x %i frame; "
                                             "nothing was written.", x, y, width, height));
    return 2;
  }
  const frame_image_ref image = frame_store->imagecp(static_cast<int32_t>(frame));
  const uint8_t* display = frame_image_t::display_data(image);
  if (!display || image->size < width * height) {
    ui.message(wxLOG_Error, wxString::Format("Frame %ld has no pixels; nothing was written.", frame));
    return 1;
  }

  colour_map_scope colours;
  t.RES_CMAP_BINARY->write(true);  // the file's thresholds are the band
  const int32_t cx = static_cast<int32_t>(x), cy = static_cast<int32_t>(y);
  if (!colour_map->is_highlighted(display, cx, cy, width, height)) {
    ui.message(wxLOG_Error,
               wxString::Format("Pixel (%ld, %ld) of frame %ld (grey value %i) is outside the "
                                "threshold band %i to %i; nothing was written.",
                                x, y, frame, display[static_cast<size_t>(cy) * width + cx],
                                colour_map->low_threshold(), colour_map->high_threshold()));
    return 1;
  }
  const frame_contours_t found =
      grassfire::segment(display, width, height, cx, cy, t.RES_JUMP_THRESH->read(),
                         t.RES_SIMPLIFY_THRESH->read() / 10.0, *colour_map,
                         grassfire::segment_settings::from_resources());
  if (found.contours.empty()) {
    ui.message(wxLOG_Error, "The region is too small to outline; nothing was written.");
    return 1;
  }
  const int32_t object = t.CURRENT_OBJECT->read();
  contour_object* objects = t.RES_OBJECT->read();
  if (object < 0 || object >= NUM_USER_OBJECTS) return 1;
  for (const contour_t& c : found.contours) objects[object].add_contour(static_cast<int32_t>(frame), c);
  genflag_res_t<surface_interp*>* surface = t.RES_SURFACE[object];
  if (surface_interp* s = surface->pending()) {
    delete_surface(s);
    surface->write_no_changeprocs(nullptr);
  }
  t.CONT->write();
  if (!save_native_file_as(out, false)) return 1;

  const double pixel_area = t.RES_XSCALE->read() * t.RES_YSCALE->read();
  int n = 0;
  for (const contour_t& c : found.contours) {
    const double a = c.area();
    // Outer boundaries run with the region on their right, holes the other way.
    std::printf("contour %d area %.6f cm^2%s\n", ++n, std::fabs(a) * pixel_area, a > 0 ? " hole" : "");
  }
  return 0;
}
