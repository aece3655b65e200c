// nv_tool reslice IN.hm PLANE OUT.hm [CHOICE]
//   resamples the data of IN along reslice plane PLANE (0 to 3, placed as IN
//   saves it or by default from the current frame) and writes them as a new
//   native data file OUT with its companion frame file, as File > Export
//   resliced data does. CHOICE (1 to 28, default 1) is the line of the
//   resolution dialog: 1 to 8 keep every n-th pixel with slices n pixel
//   widths apart, 9 to 28 keep every pixel with slices 1 to 20 mm apart.
//   The surfaces of the objects that have contours are built first, as the
//   Draw page's update builds them, so that their sections by each slice
//   become the contours of the written frames.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "data/data_io_ui.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_build.h"
#include "tools/headless_session.h"
#include "views/reslice_export.h"
#include "views/reslice_internals.h"

namespace {

int reslice_usage() {
  std::fprintf(stderr,
               "usage: nv_tool reslice IN.hm PLANE OUT.hm [CHOICE]\n"
               "  PLANE 0 to 3; CHOICE 1 to 28 as in the resolution dialog (default 1)\n");
  return 2;
}

bool parse_int(const char* text, long lo, long hi, long& out) {
  char* end = nullptr;
  out = std::strtol(text, &end, 10);
  return end != text && *end == 0 && out >= lo && out <= hi;
}

// Builds the surface of every object with contours into its surface
// resource; an object whose contours make no surface keeps none.
void build_object_surfaces() {
  resource_table_t& t = *resource_table;
  contour_object* objects = t.RES_OBJECT->read();
  const int32_t count = std::min<int32_t>(t.CURRENT_MAX_OBJECTS->read(), NUM_OBJECTS);
  for (int32_t j = 0; objects && j < count; ++j) {
    if (objects[j].frames.empty()) continue;
    std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(j, nullptr));
    if (s->mesh.n_triangles == 0 || s->volume < 0) continue;
    delete t.RES_SURFACE[j]->read();
    t.RES_SURFACE[j]->write(s.release());
  }
  base_res_t::make_pending_writes_happen();
}

}  // namespace

int run_reslice(int argc, char** argv) {
  long plane = 0, choice = 1;
  if (argc < 5 || argc > 6 || !parse_int(argv[3], 0, 3, plane) ||
      (argc == 6 && !parse_int(argv[5], 1, kResliceExportChoices, choice)))
    return reslice_usage();

  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  if (!open_native_file(wxString::FromUTF8(argv[2]))) return 1;
  resource_table_t& t = *resource_table;
  if (t.RES_BUF_FRAMES->read() <= 0 || !t.RES_POS_REC->read()) {
    ui.message(wxLOG_Error, "These data have no frames with positions to reslice.");
    return 1;
  }
  build_object_surfaces();
  // Deleted before the session's table, which would otherwise delete it.
  std::unique_ptr<reslice_internals> builder(new reslice_internals(static_cast<int32_t>(plane), 0, 0));
  if (!builder->plane()->defined) {
    ui.message(wxLOG_Error, wxString::Format("Reslice plane %li could not be placed.", plane));
    return 1;
  }
  const reslice_export_choice c =
      reslice_export_choice_at(static_cast<int>(choice - 1), t.RES_XSCALE->read());
  return export_resliced_data(*builder, c, wxString::FromUTF8(argv[4])) ? 0 : 1;
}
