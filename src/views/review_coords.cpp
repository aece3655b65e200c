#include "views/review_coords.h"

#include "registry/res_values.h"
#include "registry/resource_table.h"

matrix4_t frame_to_world_matrix(const image_calibration_t& c, const position_t& p) {
  matrix4_t pm, cm, m;
  matrix4_from_position_t(pm, p);
  matrix4_from_position(cm, c.x, c.y, c.z, c.azimuth, c.elevation, c.roll);
  matrix4_multiply(pm, m, cm);
  return m;
}

matrix4_t world_to_frame_matrix(const image_calibration_t& c, const position_t& p) {
  matrix4_t pi, ci, m;
  matrix4_inverse_from_position(ci, c.x, c.y, c.z, c.azimuth, c.elevation, c.roll);
  matrix4_inverse_from_position_t(pi, p);
  matrix4_multiply(ci, m, pi);
  return m;
}

vec3_t frame_pixel_to_world(const image_calibration_t& c, const position_t& p, double px,
                            double py) {
  const matrix4_t m = frame_to_world_matrix(c, p);
  vec3_t out;
  matrix4_transform_point(out, m, vec3_t{px * c.xscale, py * c.yscale, 0.0});
  return out;
}

vec3_t world_to_frame_pixel(const image_calibration_t& c, const position_t& p, const vec3_t& w) {
  const matrix4_t m = world_to_frame_matrix(c, p);
  vec3_t q;
  matrix4_transform_point(q, m, w);
  return {q.x / c.xscale, q.y / c.yscale, q.z};
}

image_calibration_t calibration_from_resources() {
  const resource_table_t& t = *resource_table;
  image_calibration_t c;
  c.x = t.RES_XTRANS->read();
  c.y = t.RES_YTRANS->read();
  c.z = t.RES_ZTRANS->read();
  c.azimuth = t.RES_AZIMUTH->read();
  c.elevation = t.RES_ELEVATION->read();
  c.roll = t.RES_ROLL->read();
  c.xscale = t.RES_XSCALE->read();
  c.yscale = t.RES_YSCALE->read();
  return c;
}

bool current_frame_position(position_ref& out) {
  const resource_table_t& t = *resource_table;
  if (!frame_store || !t.RES_POS_REC->read() || t.RES_BUF_FRAMES->read() == 0) return false;
  const int32_t current = t.RES_BUF_CURRENT_FRAME->read();
  if (current < 0 || static_cast<size_t>(current) >= frame_store->positions.size()) return false;
  position_ref p = frame_store->positioncp(current);
  if (!p || !p.get()) return false;
  out = p;
  return true;
}

bool frame_to_world(const double pixel[2], double out[3]) {
  position_ref p;
  if (!current_frame_position(p)) return false;
  const vec3_t w = frame_pixel_to_world(calibration_from_resources(), *p, pixel[0], pixel[1]);
  out[0] = w.x;
  out[1] = w.y;
  out[2] = w.z;
  return true;
}

bool world_to_frame(const double* points, double* out, int count) {
  position_ref p;
  if (!current_frame_position(p)) return false;
  const image_calibration_t c = calibration_from_resources();
  const matrix4_t m = world_to_frame_matrix(c, *p);
  for (int i = 0; i < count; ++i) {
    vec3_t q;
    matrix4_transform_point(q, m, vec3_t{points[3 * i], points[3 * i + 1], points[3 * i + 2]});
    out[3 * i] = q.x / c.xscale;
    out[3 * i + 1] = q.y / c.yscale;
    out[3 * i + 2] = q.z;
  }
  return true;
}

bool current_frame_transform(matrix4_t& t) {
  position_ref p;
  if (!current_frame_position(p)) return false;
  t = world_to_frame_matrix(calibration_from_resources(), *p);
  return true;
}
