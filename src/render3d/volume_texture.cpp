#include "render3d/volume_texture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/contour.h"
#include "data/data_io_ui.h"
#include "data/frame_measure.h"
#include "data/reslice_info.h"
#include "registry/resource_table.h"
#include "surfaces/bin_grid.h"
#include "surfaces/surface_interp.h"
#include "surfaces/surface_section.h"

namespace {

uint8_t round_byte(double v) {
  const int32_t r = static_cast<int32_t>(v + 0.5);
  return static_cast<uint8_t>(std::clamp(r, 0, 255));
}

}  // namespace

// ---- Reductions

bool volume_reduce_for_size(int32_t W, int32_t H, int32_t F, int32_t limit, volume_reduction& r) {
  r = volume_reduction();
  while (r.m < kVolumeMaxReduction && (volume_reduced(W, r.m) > limit || volume_reduced(H, r.m) > limit))
    ++r.m;
  while (r.n < kVolumeMaxReduction && volume_reduced(F, r.n) > limit) ++r.n;
  r.apply(W, H, F);
  r.for_size = r.m > 1 || r.n > 1;
  return r.w <= limit && r.h <= limit && r.f <= limit;
}

bool volume_reduce_for_memory(volume_reduction& r, int32_t W, int32_t H, int32_t F, double sx,
                              double sy, double sz) {
  bool in_plane = r.n * sz > (sy + sx) * 0.5 * r.m;
  if (in_plane && r.m >= kVolumeMaxReduction) in_plane = false;
  if (!in_plane && r.n >= kVolumeMaxReduction) in_plane = true;
  if (in_plane && r.m >= kVolumeMaxReduction) return false;
  if (in_plane)
    ++r.m;
  else
    ++r.n;
  r.apply(W, H, F);
  r.for_memory = true;
  return true;
}

int volume_allocate(volume_reduction& r, int32_t W, int32_t H, int32_t F, double sx, double sy,
                    double sz, const std::function<int(int32_t, int32_t, int32_t)>& allocate) {
  int error = 0;
  for (int attempt = 0; attempt < 10; ++attempt) {
    error = allocate(r.w, r.h, r.f);
    if (error == 0) return 0;
    if (attempt == 9 || !volume_reduce_for_memory(r, W, H, F, sx, sy, sz)) break;
  }
  return error;
}

wxString volume_reduction_message(const volume_reduction& r, int32_t limit, bool sixteen_bit,
                                  long filter_xy, long filter_z) {
  wxString text;
  if (r.n == 1)
    text = wxString::Format("Reduced volume rendering in-plane resolution by x%li,\n", long(r.m));
  else if (r.m == 1)
    text = wxString::Format("Reduced volume rendering out-of-plane resolution by x%li,\n", long(r.n));
  else
    text = wxString::Format(
        "Reduced volume rendering in-plane resolution by x%li\nand reduced out-of-plane resolution by x%li,\n",
        long(r.m), long(r.n));
  if (r.for_memory && r.for_size)
    text += wxString::Format("due to overall memory and maximum 3D texture width limit of %i.", int(limit));
  else if (r.for_memory)
    text += "due to overall graphics memory limit.";
  else
    text += wxString::Format("due to maximum 3D texture width limit of %i.", int(limit));
  if (sixteen_bit) {
    if (filter_xy < r.m - 1)
      text += wxString::Format(
          "\nThe rendering would be better if you set the image display (xy) filter to at least %li.",
          long(r.m - 1));
    if (filter_z > 0 && filter_z < r.n - 1)
      text += wxString::Format(
          "\nThe rendering would be better if you set the image display (z) filter to at least %li.",
          long(r.n - 1));
  }
  return text;
}

wxString volume_memory_message(int error) {
  return wxString::Format("Not enough graphics memory for data for volume rendering (error %i).", error);
}

// ---- Slices

std::vector<double> volume_smoothing_weights(int32_t n) {
  std::vector<double> w;
  if (n < 1) return w;
  for (int32_t i = 0; i <= 2 * n - 2; ++i) {
    const double x = (i + 1) * 2.15 / n - 2.15;
    w.push_back(std::exp(-x * x));
  }
  return w;
}

void volume_form_slice(const volume_frame_source& frames, int32_t j, int32_t F, int32_t W,
                       int32_t H, int32_t m, const std::vector<double>* weights, uint8_t* out) {
  const int32_t w = volume_reduced(W, m), h = volume_reduced(H, m);
  const size_t count = size_t(w) * size_t(h);
  if (!weights || weights->size() <= 1) {
    const uint8_t* src = frames(j);
    if (!src) {
      std::memset(out, 0, count);
      return;
    }
    if (m == 1) {
      std::memcpy(out, src, count);
      return;
    }
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* row = src + size_t(y) * m * W;
      uint8_t* o = out + size_t(y) * w;
      for (int32_t x = 0; x < w; ++x) o[x] = row[size_t(x) * m];
    }
    return;
  }
  const int32_t reach = int32_t(weights->size() / 2);
  std::vector<const uint8_t*> used;
  std::vector<double> wt;
  double sum = 0.0;
  for (int32_t k = j - reach; k <= j + reach; ++k) {
    if (k < 0 || k >= F) continue;
    const uint8_t* src = frames(k);
    if (!src) continue;
    used.push_back(src);
    wt.push_back((*weights)[size_t(k - j + reach)]);
    sum += wt.back();
  }
  if (used.empty()) {
    std::memset(out, 0, count);
    return;
  }
  for (double& v : wt) v /= sum;
  std::vector<double> acc(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    std::fill(acc.begin(), acc.end(), 0.0);
    for (size_t k = 0; k < used.size(); ++k) {
      const uint8_t* row = used[k] + size_t(y) * m * W;
      const double f = wt[k];
      for (int32_t x = 0; x < w; ++x) acc[size_t(x)] += f * row[size_t(x) * m];
    }
    uint8_t* o = out + size_t(y) * w;
    for (int32_t x = 0; x < w; ++x) o[x] = round_byte(acc[size_t(x)]);
  }
}

void volume_freehand_pairs(const uint8_t* values, size_t count, uint8_t* pairs) {
  for (size_t i = 0; i < count; ++i) {
    pairs[2 * i] = values[i];
    pairs[2 * i + 1] = values[i] == 0 ? 255 : 0;
  }
}

// ---- Extents

void volume_extents::reset(int32_t w, int32_t h, int32_t f) {
  size_[0] = std::max(w, 1), size_[1] = std::max(h, 1), size_[2] = std::max(f, 1);
  for (int v = 0; v < 256; ++v) {
    present_[v] = false;
    for (int a = 0; a < 3; ++a) lo_[v][a] = size_[a], hi_[v][a] = 0;
  }
}

void volume_extents::add_slice(const uint8_t* texels, int32_t channels, int32_t z) {
  const int32_t w = size_[0], h = size_[1];
  int32_t xlo[256], xhi[256], ylo[256], yhi[256];
  bool seen[256] = {};
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = texels + size_t(y) * w * channels;
    for (int32_t x = 0; x < w; ++x) {
      int v = row[size_t(x) * channels];
      if (channels == 2 && row[size_t(x) * 2 + 1] == 255) v = 0;
      if (!seen[v]) {
        seen[v] = true;
        xlo[v] = xhi[v] = x;
        ylo[v] = yhi[v] = y;
        continue;
      }
      if (x < xlo[v]) xlo[v] = x;
      if (x > xhi[v]) xhi[v] = x;
      yhi[v] = y;  // rows come in order
    }
  }
  for (int v = 0; v < 256; ++v) {
    if (!seen[v]) continue;
    present_[v] = true;
    lo_[v][0] = std::min<double>(lo_[v][0], xlo[v]), hi_[v][0] = std::max<double>(hi_[v][0], xhi[v]);
    lo_[v][1] = std::min<double>(lo_[v][1], ylo[v]), hi_[v][1] = std::max<double>(hi_[v][1], yhi[v]);
    lo_[v][2] = std::min<double>(lo_[v][2], z), hi_[v][2] = std::max<double>(hi_[v][2], z);
  }
}

void volume_extents::finish() {
  for (int v = 0; v < 256; ++v)
    for (int a = 0; a < 3; ++a) {
      const double top = size_[a] - 1;
      if (present_[v]) {
        if (lo_[v][a] > 0) lo_[v][a] -= 1;
        if (hi_[v][a] < top) hi_[v][a] += 1;
      }
      if (top > 0) {
        lo_[v][a] /= top, hi_[v][a] /= top;
      } else {
        // One texel covers the whole axis.
        lo_[v][a] = present_[v] ? 0.0 : 1.0;
        hi_[v][a] = present_[v] ? 1.0 : 0.0;
      }
    }
}

// ---- Crop

volume_cropper::volume_cropper(int32_t object, const volume_crop_settings& settings)
    : settings_(settings) {
  const resource_table_t& t = *resource_table;
  const long in_use = std::min<long>(t.CURRENT_MAX_OBJECTS->read(), 200);
  auto surface_of = [&](long i) -> const surface_interp* {
    return t.RES_SURFACE[i] ? t.RES_SURFACE[i]->read() : nullptr;
  };
  if (object == -2) {
    for (long i = 0; i < in_use; ++i)
      if (const surface_interp* s = surface_of(i)) surfaces_.push_back(s);
    if (surfaces_.empty()) warning_ = "No object has a surface to crop the volume rendering to.";
  } else if (object < 0 || object >= in_use) {
    warning_ = wxString::Format("The volume rendering's crop object %li is not among the %li objects in use.",
                                long(object), in_use);
  } else if (const surface_interp* s = surface_of(object)) {
    surfaces_.push_back(s);
  } else {
    warning_ = wxString::Format("The volume rendering's crop object %li has no surface.", long(object));
  }
  const bool all_closed =
      std::all_of(surfaces_.begin(), surfaces_.end(), [](const surface_interp* s) { return s->closed; });
  if (all_closed) {
    method_ = settings_.antialias ? method::distance_map : method::scanline;
  } else {
    method_ = method::nearest;
    grid_ = std::make_unique<bin_grid>(object, false);
  }
}

volume_cropper::~volume_cropper() {
  if (grid_) grid_->clear();
}

void volume_cropper::combine(uint8_t* out, size_t i, uint8_t s, double c) const {
  if (!settings_.two_channel) {
    uint8_t& v = out[i];
    v = settings_.invert ? std::min(v, round_byte((1.0 - c) * s)) : std::max(v, round_byte(c * s));
  } else {
    uint8_t& mask = out[2 * i + 1];
    mask = settings_.invert ? std::max(mask, round_byte(c * 255.0)) : std::min(mask, round_byte((1.0 - c) * 255.0));
  }
}

void volume_cropper::crop(const uint8_t* S, int32_t w, int32_t h, int32_t m, double sx, double sy,
                          const section_plane& plane, const matrix4_t& world, uint8_t* out) const {
  const size_t count = size_t(w) * size_t(h);
  if (!settings_.two_channel) {
    if (settings_.invert)
      std::memcpy(out, S, count);
    else
      std::memset(out, 0, count);
  } else {
    const uint8_t mask = settings_.invert ? 0 : 255;
    for (size_t i = 0; i < count; ++i) out[2 * i] = S[i], out[2 * i + 1] = mask;
  }
  if (method_ == method::nearest) {
    nearest(S, w, h, m, sx, sy, world, out);
    return;
  }
  for (const surface_interp* s : surfaces_) {
    if (method_ == method::scanline)
      scanline(*s, S, w, h, m, plane, out);
    else
      distance_map(*s, S, w, h, m, plane, out);
  }
}

void volume_cropper::scanline(const surface_interp& surface, const uint8_t* S, int32_t w, int32_t h,
                              int32_t m, const section_plane& plane, uint8_t* out) const {
  const auto rows = scanline_crossings(surface, plane, h, m);
  for (int32_t y = 0; y < h && size_t(y) < rows.size(); ++y) {
    const std::vector<int32_t>& xs = rows[size_t(y)];
    for (size_t k = 0; k + 1 < xs.size(); k += 2) {
      const int32_t x0 = std::max(xs[k], 0), x1 = std::min(xs[k + 1], w - 1);
      for (int32_t x = x0; x <= x1; ++x) {
        const size_t i = size_t(y) * w + x;
        if (!settings_.two_channel)
          out[i] = settings_.invert ? 0 : S[i];
        else
          out[2 * i + 1] = settings_.invert ? 255 : 0;
      }
    }
  }
}

void volume_cropper::distance_map(const surface_interp& surface, const uint8_t* S, int32_t w,
                                  int32_t h, int32_t m, const section_plane& plane, uint8_t* out) const {
  std::unique_ptr<frame_contours_t> section = plane_cross_section(surface, plane, m, 0.1);
  if (!section || section->contours.empty()) return;
  std::unique_ptr<int16_t[]> map = section->measure(3, false);
  if (!map) return;
  const int32_t x0 = section->box_x, y0 = section->box_y;
  for (int32_t k = 0; k < section->box_height; ++k) {
    const int32_t y = y0 + k;
    if (y < 0 || y >= h) continue;
    for (int32_t i = 0; i < section->box_width; ++i) {
      const int32_t x = x0 + i;
      if (x < 0 || x >= w) continue;
      const int32_t d = map[size_t(k) * section->box_width + i];
      if (d < -11) continue;
      const double c = std::min(1.0, (d + 12) / 12.0);
      const size_t at = size_t(y) * w + x;
      combine(out, at, S[at], c);
    }
  }
}

void volume_cropper::nearest(const uint8_t* S, int32_t w, int32_t h, int32_t m, double sx, double sy,
                             const matrix4_t& world, uint8_t* out) const {
  const double reach = settings_.radius >= 10.0 ? 0.0 : settings_.radius;
  const double s = (sy + sx) * m * 0.5;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      vec3_t p;
      matrix4_transform_point(p, world, vec3_t{double(x) * m * sx, double(y) * m * sy, 0.0});
      double e = 1e10;
      vec3_t q, n, none{0.0, 0.0, 0.0};
      if (grid_ && !grid_->empty()) grid_->intersect_line(p, none, 0.0, reach, e, q, n, false);
      double c;
      if (e < 1e10)
        c = vec3_dot(p - q, n) < 0.0 ? 0.5 + e / s : 0.5 - e / s;
      else
        c = settings_.invert ? 0.0 : 1.0;
      c = settings_.antialias ? std::clamp(c, 0.0, 1.0) : (c >= 0.5 ? 1.0 : 0.0);
      const size_t i = size_t(y) * w + x;
      combine(out, i, S[i], c);
    }
}

// ---- Transfer function and render box

void volume_exponents(long translucency, int32_t W, int32_t H, int32_t m, int32_t n, double& p,
                      double& q) {
  p = std::pow(2.0, (translucency - 25) / 25.0);
  q = (W + H) * std::cbrt(double(m) * n) / 1024.0;
}

volume_box volume_visible_box(const float (*table)[4], const volume_extents& extents) {
  volume_box box;
  bool any = false;
  for (int v = 0; v < 256; ++v) {
    if (!(table[v][3] > 0.0f) || !extents.present(v)) continue;
    any = true;
    for (int a = 0; a < 3; ++a) {
      box.lo[a] = std::min(box.lo[a], extents.lo(v)[a]);
      box.hi[a] = std::max(box.hi[a], extents.hi(v)[a]);
    }
  }
  if (!any) box.lo = box.hi = {0.0, 0.0, 0.0};
  return box;
}

matrix4_t volume_freehand_model(const reslice_info& plane, int32_t W, int32_t H, double sx) {
  const vec3_t z = plane.normal, y = plane.up, x = vec3_cross(plane.up, plane.normal);
  const vec3_t o = plane.centre - x * (W / 2.0 * sx) - y * (H / 2.0 * sx) +
                   z * (plane.offset - plane.extent_offset_max);
  matrix4_t m;
  matrix4_identity(m);
  matrix4_set_x_axis(m, x);
  matrix4_set_y_axis(m, y);
  matrix4_set_z_axis(m, z);
  matrix4_set_translation(m, o);
  return m;
}

vec3_t volume_texture_to_model(const volume_geometry& g, const vec3_t& t) {
  return {t.x * g.w * g.sx, t.y * g.h * g.sy, (t.z - 0.5 / g.f) * g.f * g.sz};
}

vec3_t volume_texture_to_world(const volume_geometry& g, const vec3_t& t) {
  vec3_t p;
  matrix4_transform_point(p, g.model, volume_texture_to_model(g, t));
  return p;
}

volume_sphere volume_landmark_sphere(const volume_geometry& g, const vec3_t* landmark, double radius,
                                     bool invert) {
  volume_sphere s;
  if (landmark) {
    matrix4_t inverse;
    matrix4_inverse(g.model, inverse);
    vec3_t p;
    matrix4_transform_point(p, inverse, *landmark);
    s.c = {p.x / (g.w * g.sx), p.y / (g.h * g.sy), p.z / (g.f * g.sz) + 0.5 / g.f};
    s.rx = radius * 0.0141 * (invert ? -1.0 : 1.0);
  }
  s.ry = g.w * g.sx * s.rx / (g.h * g.sy);
  s.rz = g.w * g.sx * s.rx / std::fabs(g.f * g.sz);
  return s;
}

volume_box volume_render_box(const double crop_lo[3], const double crop_hi[3], bool clamp,
                             const volume_box& visible, const volume_sphere& sphere) {
  volume_box b;
  for (int a = 0; a < 3; ++a) b.lo[a] = crop_lo[a] / 100.0, b.hi[a] = crop_hi[a] / 100.0;
  if (!clamp) return b;
  for (int a = 0; a < 3; ++a)
    b.lo[a] = std::max(b.lo[a], visible.lo[a]), b.hi[a] = std::min(b.hi[a], visible.hi[a]);
  if (sphere.rx > 0.0 && sphere.rx < 100.0) {
    const double c[3] = {sphere.c.x, sphere.c.y, sphere.c.z}, r[3] = {sphere.rx, sphere.ry, sphere.rz};
    for (int a = 0; a < 3; ++a)
      b.lo[a] = std::max(b.lo[a], c[a] - 1.2 * r[a]), b.hi[a] = std::min(b.hi[a], c[a] + 1.2 * r[a]);
  }
  return b;
}

std::array<vec3_t, 8> volume_box_corners(const volume_box& box, int32_t F) {
  const auto& l = box.lo;
  const auto& u = box.hi;
  std::array<vec3_t, 8> c = {vec3_t{l[0], l[1], l[2]}, vec3_t{l[0], u[1], l[2]}, vec3_t{u[0], l[1], l[2]},
                             vec3_t{u[0], u[1], l[2]}, vec3_t{l[0], l[1], u[2]}, vec3_t{l[0], u[1], u[2]},
                             vec3_t{u[0], l[1], u[2]}, vec3_t{u[0], u[1], u[2]}};
  for (vec3_t& p : c) p.z = p.z * (F - 1) / F + 0.5 / F;
  return c;
}

void volume_enlarge_corners(std::array<vec3_t, 8>& corners, double slice_skip, int32_t W, int32_t H,
                            int32_t F) {
  for (int k = 0; k < 8; ++k) {
    const bool hx = k == 2 || k == 3 || k == 6 || k == 7, hy = k & 1, hz = k >= 4;
    corners[k].x += (hx ? 1 : -1) * slice_skip / W;
    corners[k].y += (hy ? 1 : -1) * slice_skip / H;
    corners[k].z += (hz ? 1 : -1) * slice_skip / F;
  }
}

std::array<double, 4> volume_reslice_crop(const vec3_t& n, double d, const volume_geometry& g) {
  const vec3_t ax = matrix4_get_x_axis(g.model), ay = matrix4_get_y_axis(g.model),
               az = matrix4_get_z_axis(g.model), o = matrix4_get_translation(g.model);
  const vec3_t N{vec3_dot(n, ax) * g.w * g.sx, vec3_dot(n, ay) * g.h * g.sy, vec3_dot(n, az) * g.f * g.sz};
  const double L = vec3_length(N);
  if (!(L > 0.0)) return {0.0, 0.0, 0.0, 1.0};
  // normal . world(t) + d = N . t + n . o + d - 0.5 sz (n . az): the model
  // mapping puts the first texel centre on frame 0.
  const double constant = vec3_dot(n, o) + d - 0.5 * g.sz * vec3_dot(n, az);
  return {N.x / L, N.y / L, N.z / L, -constant / L};
}

// ---- Progress

volume_build_progress::volume_build_progress(int32_t frames, std::function<long()> clock)
    : frames_(frames), clock_(std::move(clock)) {
  start_ = clock_();
}

volume_build_progress::~volume_build_progress() = default;

bool volume_build_progress::before_frame(int32_t j) {
  const long now = clock_();
  if (!display_) {
    if (now - start_ > 250 && j < frames_ / 4) {
      display_ = current_data_ui().start_progress(
          "Creating image data for volume rendering",
          wxString::Format("Currently updating frame %li of %li.\n", long(j), long(frames_)), frames_,
          data_io_ui::PROGRESS_MODAL | data_io_ui::PROGRESS_TIMES | data_io_ui::PROGRESS_CANCEL);
      if (!display_) return true;
      display_->update(j, wxString::Format("Currently updating frame %li of %li.", long(j), long(frames_)));
      start_ = clock_();
      return !display_->cancelled();
    }
    return true;
  }
  if (now - start_ > 100) {
    display_->update(j, wxString::Format("Currently updating frame %li of %li.", long(j), long(frames_)));
    start_ = clock_();
  }
  return !display_->cancelled();
}
