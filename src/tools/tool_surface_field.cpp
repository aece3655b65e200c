// nv_tool surface-field IN.hm OBJECT FRAME
//   prints the distance field of the object's contours on one frame, as the
//   surface interpolation makes it (twelfths of a pixel, positive inside),
//   one raster row a line, followed by the peaks of the field.
#include <cstdio>
#include <cstdlib>

#include "data/contour.h"
#include "tools/surface_tool_support.h"

int run_surface_field(int argc, char** argv) {
  char* end = nullptr;
  const long frame = argc == 5 ? std::strtol(argv[4], &end, 10) : -1;
  if (argc != 5 || parse_object_number(argv[3]) < 0 || !*argv[4] || *end || frame < 0) {
    std::fprintf(stderr, "usage: nv_tool surface-field IN.hm OBJECT FRAME\n");
    return 2;
  }
  surface_tool_session session;
  if (!session.open(argv[2])) return 1;
  const int object = parse_object_number(argv[3]);
  surface_interp s(object);
  std::vector<plane_source> sources;
  if (!lay_object_grid(s, object, sources)) return 1;
  for (interp_plane_t& p : s.planes) {
    if (!p.contours || p.contours->frame != frame) continue;
    p.field = p.contours->measure(3 * s.step, false).release();
    if (!p.field) break;
    s.chamfer_code(p);
    s.extract_peaks(p);
    const frame_contours_t& c = *p.contours;
    std::printf("field frame %ld x0 %d y0 %d width %d height %d\n", frame, c.box_x, c.box_y,
                c.box_width, c.box_height);
    for (int y = 0; y < c.box_height; ++y) {
      for (int x = 0; x < c.box_width; ++x)
        std::printf(x ? " %d" : "%d", p.field[size_t(y) * c.box_width + x]);
      std::printf("\n");
    }
    std::printf("peaks %d\n", p.peak_count);
    for (int i = 0; i < p.peak_count; ++i)
      std::printf("%d %d %d\n", p.peaks[i].x + c.box_x, p.peaks[i].y + c.box_y, p.peaks[i].value);
    return 0;
  }
  std::fprintf(stderr, "Object %d has no closed contours on frame %ld.\n", object, frame);
  return 1;
}
