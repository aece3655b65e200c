// nv_tool surface-grid IN.hm OBJECT
//   prints the interpolation grid of the object's surface: the overall box,
//   then one line per plane with its frame, slab box, layers and crossing line.
#include <cstdio>

#include "data/contour.h"
#include "tools/surface_tool_support.h"

int run_surface_grid(int argc, char** argv) {
  if (argc != 4 || parse_object_number(argv[3]) < 0) {
    std::fprintf(stderr, "usage: nv_tool surface-grid IN.hm OBJECT (0 to 200)\n");
    return 2;
  }
  surface_tool_session session;
  if (!session.open(argv[2])) return 1;
  const int object = parse_object_number(argv[3]);
  surface_interp s(object);
  std::vector<plane_source> sources;
  if (!lay_object_grid(s, object, sources)) return 1;
  std::printf("grid x0 %d y0 %d x1 %d y1 %d nx %d ny %d layers %d step %d chunk %d\n", s.grid_x0,
              s.grid_y0, s.grid_x1, s.grid_y1, s.grid_nx, s.grid_ny, s.grid_layers, s.step,
              s.point_chunk);
  for (int k = 0; k < s.plane_count; ++k) {
    const interp_plane_t& p = s.planes[k];
    std::printf("plane %d frame %d box %d %d %d %d nodes %d %d layers %d", k,
                p.contours ? p.contours->frame : -1, p.box_x0, p.box_y0, p.box_x1, p.box_y1,
                p.box_nx, p.box_ny, p.layers);
    if (p.crossing_valid)
      std::printf(" crossing %.6g %.6g %.6g %.6g", p.crossing_x, p.crossing_y, p.crossing_dx,
                  p.crossing_dy);
    std::printf("\n");
  }
  return 0;
}
