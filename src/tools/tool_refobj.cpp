// nv_tool refobj FILE
//   reads FILE (".wrl" as VRML, anything else as PLY) as the reference
//   object, with its ".mtx" and ".euler" files found by replacing the
//   extension, and prints one item a line: "points N", "normals N",
//   "triangles N", "bounds xmin xmax ymin ymax zmin zmax" (the mesh points
//   after the transform files, in the file's units), then
//   "landmark "NAME" x y z" per landmark (centimetres, untransformed) and
//   "curve "NAME" closed|open N" per stored curve.
//   Exit status 0 on success; 1 when the file is refused (the reason on the
//   standard error); 2 for a wrong command line.
#include <algorithm>
#include <cstdio>

#include <wx/filename.h>

#include "data/data_io_ui.h"
#include "models/wrl_object.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

int run_refobj(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: nv_tool refobj FILE.ply|FILE.wrl\n");
    return 2;
  }
  console_data_io_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  wrl_object& w = *resource_table->RES_WRL_OBJECT->read();
  const wxString path = wxString::FromUTF8(argv[2]);
  const bool vrml = wxFileName(path).GetExt().Lower() == "wrl";
  if (!(vrml ? w.parse_wrl_file(path) : w.parse_ply_file(path))) {
    std::fprintf(stderr, "The surface file \"%s\" could not be read\n", argv[2]);
    return 1;
  }
  std::printf("points %zu\nnormals %zu\ntriangles %zu\n", w.points.size(), w.normals.size(), w.triangles.size());
  vec3_t lo = w.points.front(), hi = lo;
  for (const vec3_t& p : w.points) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  std::printf("bounds %.9g %.9g %.9g %.9g %.9g %.9g\n", lo.x, hi.x, lo.y, hi.y, lo.z, hi.z);
  for (const wrl_landmark_t& l : w.landmarks)
    std::printf("landmark \"%s\" %.9g %.9g %.9g\n", static_cast<const char*>(l.name.utf8_str()), l.position.x,
                l.position.y, l.position.z);
  for (const wrl_curve_t& c : w.curves)
    std::printf("curve \"%s\" %s %zu\n", static_cast<const char*>(c.name.utf8_str()), c.closed ? "closed" : "open",
                c.points.size());
  return 0;
}
