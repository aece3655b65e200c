// nv_tool surface-ply IN.hm OBJECT OUT.ply
//   interpolates the object's contours into the raw mesh (before normals and
//   smoothing), writes it as an ASCII PLY file in millimetres and prints its
//   volume in cubic centimetres.
#include <cstdio>

#include "surfaces/surface_ply.h"
#include "tools/surface_tool_support.h"

int run_surface_ply(int argc, char** argv) {
  if (argc != 5 || parse_object_number(argv[3]) < 0) {
    std::fprintf(stderr, "usage: nv_tool surface-ply IN.hm OBJECT OUT.ply\n");
    return 2;
  }
  surface_tool_session session;
  if (!session.open(argv[2])) return 1;
  const int object = parse_object_number(argv[3]);
  const std::vector<plane_source> planes =
      surface_planes_of_object(object, resource_table->RES_SURFACE_COVER->read());
  surface_interp s(object);
  if (!s.interpolate(planes, surface_settings_from_resources())) return 1;
  if (s.mesh.n_triangles == 0) {
    std::fprintf(stderr, "Object %d has closed contours on fewer than two located frames.\n",
                 object);
    return 1;
  }
  if (!write_mesh_ply_ascii(s, wxString::FromUTF8(argv[4]))) return 1;
  std::printf("points %d triangles %d volume %.6g closed %d\n", s.mesh.n_points,
              s.mesh.n_triangles, s.volume, int(s.closed));
  return 0;
}
