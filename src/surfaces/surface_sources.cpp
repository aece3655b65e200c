#include "surfaces/surface_sources.h"

#include "data/contour.h"
#include "data/dynabuf.h"
#include "data/objects.h"
#include "registry/resource_table.h"

namespace {

// The frame's plane, or false when the frame has no position record.
bool frame_plane(int32_t frame, const matrix4_t& calibration, matrix4_t& out) {
  if (!frame_store || frame < 0 || size_t(frame) >= frame_store->positions.size()) return false;
  const position_t* pos = frame_store->positions[size_t(frame)].get();
  if (!pos) return false;
  matrix4_t m;
  matrix4_from_position_t(m, *pos);
  matrix4_multiply(m, out, calibration);
  return true;
}

}  // namespace

int surface_step_for_resolution(long resolution) {
  static const int steps[] = {24, 16, 10, 6, 4, 2, 1};
  if (resolution < 0) resolution = 0;
  if (resolution > 6) resolution = 6;
  return steps[resolution];
}

interp_settings surface_settings_from_resources() {
  const resource_table_t& t = *resource_table;
  interp_settings s;
  s.x_scale = t.RES_XSCALE->read();
  s.y_scale = t.RES_YSCALE->read();
  s.z_scale = t.RES_ZSCALE->read();
  s.step = surface_step_for_resolution(t.RES_SURFACE_RESOLUTION->read());
  s.connect = 3 - (t.RES_SURFACE_CONNECT_OBJECTS->read() ? 0 : 1) -
              2 * (t.RES_SURFACE_CONNECT_HOLES->read() ? 0 : 1);
  s.expert_mode = t.RES_EXPERT_MODE->read();
  s.in_script = t.RES_IN_SCRIPT->read();
  s.segment_ridges = t.RES_SEGMENT_RIDGES->read();
  s.segment_valleys = t.RES_SEGMENT_VALLEYS->read();
  return s;
}

matrix4_t surface_calibration_from_resources() {
  const resource_table_t& t = *resource_table;
  matrix4_t m;
  matrix4_from_position(m, t.RES_XTRANS->read(), t.RES_YTRANS->read(), t.RES_ZTRANS->read(),
                        t.RES_AZIMUTH->read(), t.RES_ELEVATION->read(), t.RES_ROLL->read());
  return m;
}

std::vector<plane_source> surface_planes_of_object(int object, bool cover) {
  std::vector<plane_source> planes;
  if (!resource_table || object < 0 || object > 200) return planes;
  contour_object* objects = resource_table->RES_OBJECT->read();
  if (!objects) return planes;
  const matrix4_t calibration = surface_calibration_from_resources();
  int32_t first = -1, last = -1;
  for (frame_contours_t& e : objects[object].frames) {
    plane_source p;
    if (!frame_plane(e.frame, calibration, p.transform)) continue;
    e.measure(0, true);  // a frame with no closed contour makes no plane
    // Contours too large to raster stay, for the interpolation to refuse.
    if (e.box_width <= 0 && !e.has_closed_contour()) continue;
    p.contours = &e;
    planes.push_back(p);
    if (first < 0) first = e.frame;
    last = e.frame;
  }
  if (!cover || planes.size() < 2) return planes;
  const long frames = resource_table->RES_BUF_FRAMES->read();
  plane_source cap;
  if (first != 0 && frame_plane(first - 1, calibration, cap.transform))
    planes.insert(planes.begin(), cap);
  if (last != frames - 1 && frame_plane(last + 1, calibration, cap.transform))
    planes.push_back(cap);
  return planes;
}
