// nv_tool surface IN.hm OBJECT OUT.ply
//   opens IN as File > Open does, builds the object's surface as the Draw
//   page's update does (resolution, smoothing, connect and cover settings of
//   the file), writes it as the Draw page's save does (binary PLY in
//   millimetres with the object's landmarks and curves) and prints
//   "volume <cm^3>" and "planimetry <cm^3>". Exit status 3, with nothing
//   built, when lines of IN had to be dropped.
#include <cstdio>
#include <memory>

#include "data/file_save.h"
#include "data/objects.h"
#include "surfaces/surface_build.h"
#include "tools/surface_tool_support.h"

int run_surface(int argc, char** argv) {
  if (argc != 5 || parse_object_number(argv[3]) < 0) {
    std::fprintf(stderr, "usage: nv_tool surface IN.hm OBJECT OUT.ply\n");
    return 2;
  }
  surface_tool_session session;
  if (!session.open(argv[2])) return 1;
  if (!report_read_losses(argv[2])) return 3;
  const int object = parse_object_number(argv[3]);
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
  const wxString out = wxString::FromUTF8(argv[4]);
  save_batch batch;
  const int k = batch.add(out);
  bool written = false;
  if (k >= 0) {
    save_output_stream stream(batch, k);
    written = s->save_surface(stream, true, true, false, 0);
  }
  if (!written || !batch.commit()) {
    batch.abandon();
    if (!batch.error().empty()) std::fprintf(stderr, "%s\n", batch.error().utf8_str().data());
    std::fprintf(stderr, "The surface could not be written to \"%s\".\n", argv[4]);
    return 1;
  }
  std::printf("volume %.6g\n", s->volume);
  std::printf("planimetry %.6g\n",
              planimetry_volume(resource_table->RES_OBJECT->read()[object].frames));
  return 0;
}
