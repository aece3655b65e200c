// nv_tool segment IN.hm FRAME X Y OUT.hm: opens IN as File > Open does and
// segments from pixel (X, Y) of frame FRAME as the review view's click does:
// with the file's frame gap 0 on that frame alone, with a gap of 1 or more in
// 3D through every gap-th frame (split into the file's object count, the new
// objects after the current one). The file's grey thresholds are the band
// (whether or not the display showed them) and its segmentation settings
// apply. The contours are added, OUT is written as Save as does and one line
// per new contour gives its area in square centimetres.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "data/surface_store.h"
#include "medical/dicom_utility.h"
#include "medical/toolkit/wx_image_toolkit.h"
#include "registry/resource_table.h"
#include "segmentation/grassfire.h"
#include "segmentation/grassfire_volume.h"
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

// Contour counts per object and frame.
using contour_counts = std::map<std::pair<int32_t, int32_t>, size_t>;

contour_counts count_contours(const contour_object* objects) {
  contour_counts counts;
  for (int32_t o = 0; o < NUM_USER_OBJECTS; ++o)
    for (const frame_contours_t& f : objects[o].frames) counts[{o, f.frame}] = f.contours.size();
  return counts;
}

// The 3D pipeline through the frame stack, as the review view runs it.
int segment_stack(console_data_io_ui& ui, const wxString& out, long frame, int32_t x, int32_t y) {
  resource_table_t& t = *resource_table;
  contour_object* objects = t.RES_OBJECT->read();
  const contour_counts before = count_contours(objects);
  grassfire::null_volume_progress progress;
  grassfire::segment3(static_cast<int32_t>(frame), x, y, t.RES_JUMP_THRESH->read(),
                      t.RES_SIMPLIFY_THRESH->read() / 10.0, *colour_map, progress);
  struct added {
    int32_t object, frame;
    double area;
  };
  std::vector<added> found;
  for (int32_t o = 0; o < NUM_USER_OBJECTS; ++o)
    for (const frame_contours_t& f : objects[o].frames) {
      const auto it = before.find({o, f.frame});
      size_t k = it == before.end() ? 0 : it->second;
      auto c = f.contours.begin();
      std::advance(c, std::min(k, f.contours.size()));
      for (; c != f.contours.end(); ++c) found.push_back({o, f.frame, c->area()});
    }
  if (found.empty()) {
    ui.message(wxLOG_Error, "The region is too small to outline; nothing was written.");
    return 1;
  }
  t.CONT->write();
  if (!save_native_file_as(out, false)) return 1;
  const double pixel_area = t.RES_XSCALE->read() * t.RES_YSCALE->read();
  int n = 0;
  for (const added& a : found)
    std::printf("frame %d object %d contour %d area %.6f cm^2%s\n", a.frame, a.object, ++n,
                std::fabs(a.area) * pixel_area, a.area > 0 ? " hole" : "");
  return 0;
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
  if (t.RES_SEGMENT_FRAME->read() >= 1) return segment_stack(ui, out, frame, cx, cy);
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
