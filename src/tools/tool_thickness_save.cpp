// nv_tool thickness-save IN.hm SETTINGS.ini OBJECT OUT: opens IN as File >
// Open does, applies the settings file and the presets of its technique,
// builds the object's surface as the Draw page's update does, maps thickness
// over it as "Map over current" does and saves the results as "Save results
// for current" does: the set named by OUT's stub beside a PLY copy of the
// surface and its two layer surfaces (RES_DAT_THICKNESS_FILES of the settings
// chooses the older set beside VRML instead). An existing set is not
// overwritten. Prints the vertex counts and the weighted mean thickness.
#include <cstdio>
#include <memory>

#include "data/data_io_ui.h"
#include "medical/dicom_utility.h"
#include "medical/toolkit/wx_image_toolkit.h"
#include "registry/resource_table.h"
#include "surfaces/surface_build.h"
#include "surfaces/surface_interp.h"
#include "thickness/surface_mapping.h"
#include "tools/headless_session.h"
#include "tools/surface_tool_support.h"
#include "tools/thickness_tool_support.h"

int run_thickness_save(int argc, char** argv) {
  if (argc != 6 || parse_object_number(argv[4]) < 0) {
    std::fprintf(stderr, "usage: nv_tool thickness-save IN.hm SETTINGS.ini OBJECT OUT\n"
                         "  OUT: the name of the set, e.g. results/scan (or scan_thick_dat.bin)\n");
    return 2;
  }
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  dicom_utility::install_frame_windowing();
  install_toolkit_images();
  headless_session session;
  if (!open_for_thickness(wxString::FromUTF8(argv[2]), wxString::FromUTF8(argv[3]))) return 1;
  base_res_t::make_pending_writes_happen();
  const int object = parse_object_number(argv[4]);

  bool refused = false;
  std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(object, nullptr, &refused));
  if (refused) return 1;  // the interpolation said why
  if (s->mesh.n_triangles == 0) {
    std::fprintf(stderr,
                 "Object %d cannot make a surface: it needs closed contours on at least two "
                 "located frames.\n",
                 object);
    return 1;
  }
  s->calc_thickness();
  if (!s->has_thickness()) {
    std::fprintf(stderr,
                 "No thickness can be mapped on these data: they need positioned frames read "
                 "from image files, at least two of them, each with its pixels.\n");
    return 1;
  }
  s->select_display_data(int(resource_table->RES_THICKNESS_DISP_MAP->read()), nullptr, nullptr,
                         nullptr);
  if (!s->save_thickness(wxFileName(wxString::FromUTF8(argv[5])), true)) return 1;

  long stored = 0, measured = 0;
  for (int32_t i = 0; i < s->mesh.n_points; ++i)
    if (s->mesh.points[i].type != 2) {
      ++stored;
      measured += s->fit_error[size_t(i)] != 1e10;
    }
  double sum = 0.0, weight = 0.0;
  surface_interp::weighted_average(s->cortical_thickness, s->fit_error, sum, weight);
  std::printf("stored %ld\nmeasured %ld\n", stored, measured);
  if (weight > 0.0) std::printf("mean_thickness_mm %.6g\n", sum / weight);
  return measured > 0 ? 0 : 3;
}
