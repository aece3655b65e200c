// nv_tool surface IN.hm OBJECT OUT.ply
//   opens IN as File > Open does, builds the object's surface as the Draw
//   page's update does (resolution, smoothing, connect and cover settings of
//   the file), writes it as a binary PLY in millimetres and prints
//   "volume <cm^3>" and "planimetry <cm^3>".
#include <cstdio>
#include <memory>

#include "data/objects.h"
#include "surfaces/surface_build.h"
#include "surfaces/surface_ply.h"
#include "tools/surface_tool_support.h"

int run_surface(int argc, char** argv) {
  if (argc != 5 || parse_object_number(argv[3]) < 0) {
    std::fprintf(stderr, "usage: nv_tool surface IN.hm OBJECT OUT.ply\n");
    return 2;
  }
  surface_tool_session session;
  if (!session.open(argv[2])) return 1;
  const int object = parse_object_number(argv[3]);
  std::unique_ptr<surface_interp> s(build_contour_surface_from_resources(object, nullptr));
  if (s->mesh.n_triangles == 0) {
    std::fprintf(stderr,
                 "Object %d cannot make a surface: it needs closed contours on at least two "
                 "located frames.\n",
                 object);
    return 1;
  }
  if (!write_mesh_ply_binary(*s, wxString::FromUTF8(argv[4]))) return 1;
  std::printf("volume %.6g\n", s->volume);
  std::printf("planimetry %.6g\n",
              planimetry_volume(resource_table->RES_OBJECT->read()[object].frames));
  return 0;
}
