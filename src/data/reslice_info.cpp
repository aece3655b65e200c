#include "data/reslice_info.h"

#include <algorithm>
#include <cmath>

#include "data/dynabuf.h"
#include "registry/resource_table.h"

namespace {

bool same(const vec3_t& a, const vec3_t& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

vec3_t unit_normal(const vec3_t& n) {
  if (vec3_length(n) == 0.0) return {0.0, 0.0, 1.0};
  return vec3_normalise(n);
}

// v less its component along the unit normal n.
vec3_t in_plane(const vec3_t& v, const vec3_t& n) { return v - vec3_dot(v, n) * n; }

// The up vector made perpendicular to the normal and unit length. When
// nothing of it remains the fallback is (0, -1, 0), itself taken into the
// plane so that the image axes stay perpendicular; for a normal along y that
// leaves nothing either, and (0, 0, -1) serves.
vec3_t unit_up(const vec3_t& up, const vec3_t& n) {
  for (const vec3_t& v : {up, vec3_t{0.0, -1.0, 0.0}, vec3_t{0.0, 0.0, -1.0}}) {
    vec3_t p = in_plane(v, n);
    if (vec3_length(p) > 1e-12) return vec3_normalise(p);
  }
  return {0.0, -1.0, 0.0};
}

int32_t truncate_size(double v) {
  if (!(v > reslice_info::kMinSize)) return reslice_info::kMinSize;
  if (v > reslice_info::kMaxSize) return reslice_info::kMaxSize;
  return static_cast<int32_t>(v);
}

// Frame-to-world transform of frame k: its recorded position combined with
// the calibration. False when the frame has no position record.
bool frame_transform(int32_t k, const matrix4_t& calibration, matrix4_t& out) {
  if (!frame_store || k < 0 || k >= static_cast<int32_t>(frame_store->positions.size())) return false;
  const position_ref& pos = frame_store->positions[k];
  if (!pos) return false;
  matrix4_t p;
  matrix4_from_position_t(p, *pos);
  matrix4_multiply(p, out, calibration);
  return true;
}

matrix4_t calibration_transform() {
  resource_table_t& t = *resource_table;
  matrix4_t c;
  matrix4_from_position(c, t.RES_XTRANS->read(), t.RES_YTRANS->read(), t.RES_ZTRANS->read(),
                        t.RES_AZIMUTH->read(), t.RES_ELEVATION->read(), t.RES_ROLL->read());
  return c;
}

vec3_t transformed(const matrix4_t& m, const vec3_t& p) {
  vec3_t r;
  matrix4_transform_point(r, m, p);
  return r;
}

}  // namespace

reslice_info::~reslice_info() {
  // The builder's destructor clears our link to it.
  delete builder;
}

int32_t reslice_info::clamp_size(int32_t size) { return std::clamp(size, kMinSize, kMaxSize); }

double reslice_info::pixel_size() const {
  return resource_table ? resource_table->RES_XSCALE->read() : 0.01;
}

void reslice_info::rebuild(bool notify) {
  if (builder) builder->rebuild(notify);
}

void reslice_info::reset_placement() {
  normal = {0.0, 0.0, 1.0};
  centre = {0.0, 0.0, 0.0};
  up = {0.0, 1.0, 0.0};
  offset = 0.0;
  defined = false;
}

// ---------------------------------------------------------------------------
// Placement setters

void reslice_info::set_plane(const vec3_t& n, const vec3_t& c, const vec3_t& u, bool notify) {
  if (same(n, normal) && same(c, centre) && same(u, up)) return;
  normal = unit_normal(n);
  centre = c;
  up = unit_up(u, normal);
  update_offset();
  defined = true;
  rebuild(notify);
}

void reslice_info::set_normal(const vec3_t& n, bool notify) {
  if (same(n, normal)) return;
  normal = unit_normal(n);
  up = unit_up(up, normal);
  update_offset();
  defined = true;
  rebuild(notify);
}

void reslice_info::set_up_vector(const vec3_t& u) {
  if (same(u, up)) return;
  up = unit_up(u, normal);
  defined = true;
  rebuild(true);
}

void reslice_info::set_centre(const vec3_t& point, bool notify) {
  if (same(point, centre)) return;
  centre = point;
  update_offset();
  defined = true;
  rebuild(notify);
}

// ---------------------------------------------------------------------------
// Image and slab setters

void reslice_info::set_width(int32_t w) {
  w = clamp_size(w);
  if (w == width) return;
  width = w;
  rebuild(true);
}

void reslice_info::set_height(int32_t h) {
  h = clamp_size(h);
  if (h == height) return;
  height = h;
  rebuild(true);
}

void reslice_info::set_thickness(double t) {
  if (t == half_thickness) return;
  half_thickness = t;
  rebuild(true);
}

void reslice_info::set_compounding(int32_t c) {
  if (c == compounding) return;
  compounding = c;
  if (half_thickness > 0.0) rebuild(true);
}

void reslice_info::set_accurate(bool a) {
  if (a == accurate) return;
  accurate = a;
  rebuild(true);
}

void reslice_info::set_crop_surface(int32_t object) {
  if (object == crop_surface) return;
  crop_surface = object;
  rebuild(true);
}

void reslice_info::set_show_outside_surface(bool outside) {
  if (outside == show_outside_surface) return;
  show_outside_surface = outside;
  rebuild(true);
}

// ---------------------------------------------------------------------------
// Coordinate conversions

void reslice_info::reslice_to_world(double x, double y, double z, vec3_t& point) const {
  const double s = pixel_size();
  const vec3_t u = vec3_cross(up, normal);
  point = centre + (s * (x - width / 2.0)) * u + (s * (y - height / 2.0)) * up + z * normal;
}

void reslice_info::world_to_reslice(const vec3_t* in, vec3_t* out, int count) const {
  const double s = pixel_size();
  const vec3_t u = vec3_cross(up, normal);
  const vec3_t corner = centre - (s * width / 2.0) * u - (s * height / 2.0) * up;
  for (int i = 0; i < count; ++i) {
    const vec3_t d = in[i] - corner;
    // A zero pixel size (a file may set one) would make every point infinite.
    const double x = s > 0.0 ? vec3_dot(d, u) / s : 0.0;
    const double y = s > 0.0 ? vec3_dot(d, up) / s : 0.0;
    out[i] = {x, y, vec3_dot(d, normal)};
  }
}

// ---------------------------------------------------------------------------
// Placement from the frames

void reslice_info::data_extent(int32_t first, int32_t last, vec3_t& max, vec3_t& min) {
  resource_table_t& t = *resource_table;
  const double xs = t.RES_XSCALE->read(), ys = t.RES_YSCALE->read();
  const double w = t.RES_BUF_WIDTH->read() * xs, h = t.RES_BUF_HEIGHT->read() * ys;
  const matrix4_t calibration = calibration_transform();

  max = {0.0, 0.0, 0.0};
  min = {0.0, 0.0, 0.0};
  bool any = false;
  const int32_t stored = frame_store ? static_cast<int32_t>(frame_store->positions.size()) : 0;
  for (int32_t k = std::max(first, 0); k <= std::min(last, stored - 1); ++k) {
    matrix4_t m;
    if (!frame_transform(k, calibration, m)) continue;
    vec3_t corners[4] = {{0.0, 0.0, 0.0}, {0.0, h, 0.0}, {w, 0.0, 0.0}, {w, h, 0.0}};
    for (vec3_t& c : corners) c = transformed(m, c);
    world_to_reslice(corners, corners, 4);
    if (!any) {
      min = {1e10, 1e10, 1e10};
      max = {-1e10, -1e10, -1e10};
      any = true;
    }
    for (const vec3_t& c : corners) {
      min = {std::min(min.x, c.x), std::min(min.y, c.y), std::min(min.z, c.z)};
      max = {std::max(max.x, c.x), std::max(max.y, c.y), std::max(max.z, c.z)};
    }
  }

  vec3_t world_max, world_min;
  reslice_to_world(max.x, max.y, max.z, world_max);
  reslice_to_world(min.x, min.y, min.z, world_min);
  const double a = -vec3_dot(normal, world_max);
  const double b = -vec3_dot(normal, world_min);
  if (a > b) {
    extent_offset_min = b + 1e-4;
    extent_offset_max = a - 1e-4;
  } else {
    extent_offset_min = b - 1e-4;
    extent_offset_max = a + 1e-4;
  }
}

void reslice_info::place_default() {
  if (!resource_table || !frame_store) return;
  resource_table_t& t = *resource_table;
  const int32_t frames = t.RES_BUF_FRAMES->read();
  const int32_t current = t.RES_BUF_CURRENT_FRAME->read();
  if (frames <= 0) return;
  if (current < 0 || current >= static_cast<int32_t>(frame_store->positions.size())) return;
  if (defined && index == 0) return;

  const matrix4_t calibration = calibration_transform();
  if (index == 3) {
    vec3_t xsum, ysum;
    for (int32_t k = 0; k < frames; ++k) {
      matrix4_t m;
      if (!frame_transform(k, calibration, m)) continue;
      xsum += matrix4_get_x_axis(m);
      ysum += matrix4_get_y_axis(m);
    }
    if (vec3_length(xsum) > 0.0) normal = vec3_normalise(xsum);
    vec3_t u = in_plane(ysum, normal);
    if (vec3_length(u) > 0.0) up = vec3_normalise(u);
    centre = {0.0, 0.0, 0.0};
    offset = 0.0;
    vec3_t max, min;
    data_extent(0, frames - 1, max, min);
    reslice_to_world((min.x + max.x) / 2, (min.y + max.y) / 2, (min.z + max.z) / 2, centre);
    width = truncate_size((max.x - min.x) * 1.05 + 3);
    height = truncate_size((max.y - min.y) * 1.1 + 3);
    update_offset();
    defined = true;
    return;
  }

  matrix4_t m;
  if (!frame_transform(current, calibration, m)) return;
  const double xs = t.RES_XSCALE->read(), ys = t.RES_YSCALE->read();
  const int32_t w = t.RES_BUF_WIDTH->read(), h = t.RES_BUF_HEIGHT->read();
  const bool inverted = t.RES_INVERT_BSCAN->read();
  const vec3_t e = transformed(m, {w / 2.0 * xs, h / 2.0 * ys, 0.0});
  const vec3_t j = transformed(m, {w * xs, h / 2.0 * ys, 0.0});
  const vec3_t o = transformed(m, {w / 2.0 * xs, h / 2.0 * ys, inverted ? 1.0 : -1.0});
  const vec3_t n = transformed(m, {w / 2.0 * xs, inverted ? h * ys : 0.0, 0.0});

  switch (index) {
    case 1:
      normal = vec3_normalise(e - j);
      up = vec3_normalise(o - e);
      if (!defined) centre = e;
      width = clamp_size(h);
      height = clamp_size(h);
      break;
    case 2:
      normal = vec3_normalise(e - n);
      up = vec3_normalise(o - e);
      if (!defined) centre = e;
      width = clamp_size(w);
      height = clamp_size(h);
      break;
    case 0:
    case -1:
      normal = vec3_normalise(e - n);
      up = vec3_normalise(j - e);
      centre = e;
      width = truncate_size(w * std::sqrt(2.0));
      height = truncate_size(h * std::sqrt(2.0));
      break;
    default:
      break;
  }
  update_offset();
  defined = true;
}

void reslice_info::locate_to_current_frame(bool reset) {
  if (reset) defined = false;
  place_default();
  rebuild(true);
}

void reslice_info::fit_to_data(bool orient) {
  if (!resource_table) return;
  const int32_t frames = resource_table->RES_BUF_FRAMES->read();
  if (orient) {
    const matrix4_t calibration = calibration_transform();
    vec3_t zsum, ysum;
    for (int32_t k = 0; k < frames; ++k) {
      matrix4_t m;
      if (!frame_transform(k, calibration, m)) continue;
      zsum += matrix4_get_z_axis(m);
      ysum += matrix4_get_y_axis(m);
    }
    if (vec3_length(zsum) > 0.0) normal = vec3_normalise(zsum);
    up = vec3_normalise(in_plane(ysum, normal));
  }
  vec3_t max, min, c;
  data_extent(0, frames - 1, max, min);
  reslice_to_world((min.x + max.x) / 2, (min.y + max.y) / 2, (min.z + max.z) / 2, c);
  width = truncate_size(max.x - min.x + 2);
  height = truncate_size(max.y - min.y + 2);
  if (orient) {
    centre = c;
  } else {
    centre = c - vec3_dot(normal, c - centre) * normal;
  }
  update_offset();
  defined = true;
  rebuild(true);
}
