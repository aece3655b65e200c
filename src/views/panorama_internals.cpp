#include "views/panorama_internals.h"

#include <wx/log.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "data/dynabuf.h"
#include "segmentation/image_correlation.h"

namespace {

vec3_t transform(const matrix4_t& m, const vec3_t& p) {
  vec3_t r;
  return matrix4_transform_point(r, m, p);
}

bool finite(const vec3_t& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// The rotation of the panorama plane that turns direction a to point down.
matrix4_t alignment_rotation(const vec3_t& a) {
  const vec3_t b = vec3_normalise({a.y, -a.x, 0.0});
  matrix4_t r;
  matrix4_identity(r);
  r[0] = b.x;
  r[4] = b.y;
  r[1] = a.x;
  r[5] = a.y;
  return r;
}

}  // namespace

panorama_internals::panorama_internals(bool keep_size)
    : proc_(std::make_unique<pmf_functor<panorama_internals>>(this, &panorama_internals::changeproc)),
      keep_size_(keep_size) {
  watch(true);
  build();
}

panorama_internals::~panorama_internals() {
  watch(false);
  proc_.reset();
  frames_.clear();
  image_.clear();
  valid_ = false;
  // Clears the resource only when it still names this builder, so that a
  // builder already replaced is never lost.
  resource_table_t& t = *resource_table;
  image_builder* self = this;
  if (t.RES_PANORAMA->read() == self || t.RES_PANORAMA->pending() == self) {
    t.RES_PANORAMA->write_no_changeprocs(nullptr);
    base_res_t::make_pending_writes_happen();
  }
}

void panorama_internals::watch(bool on) {
  resource_table_t& t = *resource_table;
  base_res_t* watched[] = {t.RES_BUF_FRAMES, t.RES_CORRECTED_POS, t.RES_CORRECTED_PRESSURE, t.RES_MASKED_DATA,
                           t.RES_CMAP_CHANGED, t.RES_BUF_WIDTH,   t.RES_BUF_HEIGHT,         t.RES_XTRANS,
                           t.RES_YTRANS,     t.RES_ZTRANS,        t.RES_AZIMUTH,            t.RES_ELEVATION,
                           t.RES_ROLL,       t.RES_YSCALE,        t.RES_XSCALE,             t.RES_POS_REC};
  for (base_res_t* r : watched) {
    if (on)
      r->add_proc(proc_.get());
    else
      r->remove_proc(proc_.get());
  }
}

const uint8_t* panorama_internals::get_image() const { return valid_ ? image_.data() : nullptr; }

void panorama_internals::get_size(int32_t& width, int32_t& height) const {
  width = width_;
  height = height_;
}

bool panorama_internals::frame_corners(int32_t n, vec3_t corners[4]) const {
  if (frames_.empty() || !frame_store || n < 0 || n >= static_cast<int32_t>(frame_store->images.size()) ||
      n >= static_cast<int32_t>(frames_.size()))
    return false;
  std::copy(frames_[n].corners, frames_[n].corners + 4, corners);
  return true;
}

void panorama_internals::rebuild_and_notify() {
  build();
  resource_table->RES_REDISPLAY_PANORAMA->write_no_changeprocs();
  base_res_t::make_pending_writes_happen();
}

void panorama_internals::toggle_alignment() {
  alignment_ = (alignment_ + 1) % 3;
  rebuild_and_notify();
}

void panorama_internals::set_use_correction(bool use) {
  if (use == use_correction_) return;
  use_correction_ = use;
  rebuild_and_notify();
}

void panorama_internals::changeproc() {
  resource_table_t& t = *resource_table;
  base_res_t* shaping[] = {t.RES_BUF_WIDTH,  t.RES_BUF_HEIGHT,    t.RES_XTRANS,        t.RES_YTRANS,
                           t.RES_ZTRANS,     t.RES_AZIMUTH,       t.RES_ELEVATION,     t.RES_ROLL,
                           t.RES_XSCALE,     t.RES_YSCALE,        t.RES_POS_REC,       t.RES_BUF_FRAMES,
                           t.RES_CORRECTED_POS, t.RES_CORRECTED_PRESSURE, t.RES_MASKED_DATA};
  for (base_res_t* r : shaping)
    if (r->changed_in_flush()) valid_ = false;
  // A colour-map change alone costs nothing: the image holds grey values and
  // the map applies when it is shown or saved.
  if (valid_) return;
  rebuild_and_notify();
}

// Chains the frames in one plane (steps: frame transforms, strip corners,
// the running direction sum). Returns false when no frame has a position.
bool panorama_internals::place_frames(double& chained, double& world, vec3_t& direction_sum, int32_t& last) {
  resource_table_t& t = *resource_table;
  const double xs = t.RES_XSCALE->read(), ys = t.RES_YSCALE->read();
  const double hw = static_cast<double>(t.RES_BUF_WIDTH->read() / 2);
  const double H = t.RES_BUF_HEIGHT->read();
  matrix4_t C, Ci;
  matrix4_from_position(C, t.RES_XTRANS->read(), t.RES_YTRANS->read(), t.RES_ZTRANS->read(), t.RES_AZIMUTH->read(),
                        t.RES_ELEVATION->read(), t.RES_ROLL->read());
  matrix4_inverse_from_position(Ci, t.RES_XTRANS->read(), t.RES_YTRANS->read(), t.RES_ZTRANS->read(),
                                t.RES_AZIMUTH->read(), t.RES_ELEVATION->read(), t.RES_ROLL->read());
  const image_correlation* run = use_correction_ ? t.RES_CORRELATION->read() : nullptr;

  const int32_t n = static_cast<int32_t>(frames_.size());
  const int32_t stored = static_cast<int32_t>(frame_store->positions.size());
  matrix4_t Wp{}, Vl{};
  vec3_t Ap, Bp, up, vp, first_origin;
  int32_t p = -1, first_valid = -1;
  for (int32_t i = 0; i < n; ++i) {
    panorama_frame_t& f = frames_[i];
    if (i >= stored) continue;
    // The run gives the frame store's own record for a frame it holds none of.
    const position_ref placed = run ? run->corrected_position(i) : frame_store->positions[i];
    if (!placed) continue;
    const position_t pos = *placed;
    f.valid = true;
    if (first_valid < 0) first_valid = i;
    matrix4_t P, Pi, V, W;
    matrix4_from_position_t(P, pos);
    matrix4_inverse_from_position_t(Pi, pos);
    matrix4_multiply(P, V, C);
    for (int r = 0; r < 4; ++r) {
      V[r] *= xs;
      V[4 + r] *= ys;
    }
    matrix4_multiply(Ci, W, Pi);
    for (int c = 0; c < 4; ++c) {
      W[4 * c] /= xs;
      W[4 * c + 1] /= ys;
    }

    vec3_t A, B, u, v;
    matrix4_t T;
    if (p < 0) {
      matrix4_identity(T);
      A = {hw, 0, 0};
      B = {hw, H, 0};
      u = {0, 1, 0};
      v = {1, 0, 0};
      first_origin = transform(V, {0, 0, 0});
    } else {
      matrix4_t R;
      matrix4_multiply(Wp, R, V);
      // Frame i's centre line projected onto the previous frame's plane.
      vec3_t a = transform(R, {hw, 0, 0}), b = transform(R, {hw, H, 0});
      a.z = b.z = 0.0;
      const matrix4_t& Tp = frames_[p].transform;
      A = transform(Tp, a);
      B = transform(Tp, b);
      u = vec3_normalise(B - A);
      v = vec3_normalise({u.y, -u.x, 0.0});
      matrix4_identity(T);
      T[0] = v.x;
      T[1] = v.y;
      T[4] = u.x;
      T[5] = u.y;
      T[12] = A.x - hw * v.x;
      T[13] = A.y - hw * v.y;

      const vec3_t c = (Ap + Bp + A + B) * 0.25;
      const vec3_t w = (up + u) * 0.5;
      auto proj = [&](const vec3_t& X, const vec3_t& dir) {
        return c + w * (vec3_dot(X - c, dir) / vec3_dot(w, dir));
      };
      f.corners[0] = proj(A, u);
      f.corners[1] = proj(B, u);
      frames_[p].corners[2] = proj(Bp, up);
      frames_[p].corners[3] = proj(Ap, up);
    }
    f.transform = T;
    direction_sum += u;
    Wp = W;
    Vl = V;
    Ap = A;
    Bp = B;
    up = u;
    vp = v;
    p = i;
  }
  if (p < 0) return false;
  last = p;

  // Outer edges: the first frame's edge away from the sweep, the last one's
  // edge ahead of it.
  panorama_frame_t& first = frames_[first_valid];
  panorama_frame_t& L = frames_[p];
  if (Ap.x > hw) {
    first.corners[0] = {0, 0, 0};
    first.corners[1] = {0, H, 0};
    L.corners[2] = Bp + hw * vp;
    L.corners[3] = Ap + hw * vp;
  } else {
    first.corners[0] = {2 * hw, 0, 0};
    first.corners[1] = {2 * hw, H, 0};
    L.corners[2] = Bp - hw * vp;
    L.corners[3] = Ap - hw * vp;
  }
  world = vec3_length(transform(Vl, {0, 0, 0}) - first_origin) / xs;
  chained = vec3_length(transform(L.transform, {0, 0, 0}));
  return true;
}

void panorama_internals::build() {
  ++builds_;
  valid_ = false;
  panoramic_ = false;
  const int32_t previous_width = width_, previous_height = height_;
  width_ = height_ = 0;
  image_.clear();
  image_.shrink_to_fit();
  frames_.clear();
  if (!frame_store) return;
  try {
    frames_.assign(frame_store->images.size(), panorama_frame_t{});
  } catch (const std::bad_alloc&) {
    frames_.clear();
    return;
  }

  double chained = 0.0, world = 0.0;
  vec3_t sum;
  int32_t last = -1;
  if (!place_frames(chained, world, sum, last)) return;
  panoramic_ = chained > 0.8 * world;

  if (alignment_ != 1) {
    const vec3_t a = alignment_ == 0 ? vec3_normalise(sum) : matrix4_get_y_axis(frames_[last].transform);
    const matrix4_t R = alignment_rotation(a);
    for (panorama_frame_t& f : frames_) {
      if (!f.valid) continue;
      matrix4_t turned;
      matrix4_multiply(R, turned, f.transform);
      f.transform = turned;
      for (vec3_t& c : f.corners) c = transform(R, c);
    }
  }

  // Positions read from files may be absurd: such corners make no image.
  double min_x = 1e10, max_x = -1e10, min_y = 1e10, max_y = -1e10;
  bool usable = true;
  for (const panorama_frame_t& f : frames_) {
    if (!f.valid) continue;
    for (const vec3_t& c : f.corners) {
      usable = usable && finite(c);
      min_x = std::min(min_x, c.x);
      max_x = std::max(max_x, c.x);
      min_y = std::min(min_y, c.y);
      max_y = std::max(max_y, c.y);
    }
    for (int e = 0; e < 16; ++e) usable = usable && std::isfinite(f.transform[e]);
  }
  if (!usable) {
    panoramic_ = false;
    wxLogWarning("The frame positions do not give a panorama: some of them lie at no finite place.");
    return;
  }
  double x0 = std::floor(min_x), y0 = std::floor(min_y);
  const double span_x = std::ceil(max_x) - x0 + 1.0, span_y = std::ceil(max_y) - y0 + 1.0;
  if (span_x * span_y > static_cast<double>(kMaxPixels)) {
    panoramic_ = false;
    wxLogWarning("The frame positions do not give a panorama: it would be %.0f x %.0f pixels.", span_x, span_y);
    return;
  }
  int32_t w = static_cast<int32_t>(span_x), h = static_cast<int32_t>(span_y);
  if (keep_size_) {
    if (h < previous_height) {
      y0 -= (previous_height - h) / 2;
      h = previous_height;
    }
    if (w < previous_width) {
      x0 -= (previous_width - w) / 2;
      w = previous_width;
    }
  }
  width_ = w;
  height_ = h;

  for (panorama_frame_t& f : frames_) {
    if (!f.valid) continue;
    f.transform[12] -= x0;
    f.transform[13] -= y0;
    for (vec3_t& c : f.corners) {
      c.x -= x0;
      c.y -= y0;
    }
    matrix4_t inverse;
    matrix4_rigid_inverse(f.transform, inverse);
    f.transform = inverse;
  }

  resource_table_t& t = *resource_table;
  const int32_t fw = t.RES_BUF_WIDTH->read(), fh = t.RES_BUF_HEIGHT->read();
  const bool masked = t.RES_MASKED_DATA->read() > 0;
  const image_correlation* run = use_correction_ ? t.RES_CORRELATION->read() : nullptr;
  const bool pressure = run && run->correct_pressure;
  std::vector<uint8_t> scratch;
  try {
    image_.assign(static_cast<size_t>(w) * h, 0);
    if (pressure && fw > 0 && fh > 0) scratch.assign(static_cast<size_t>(fw) * fh, 0);
  } catch (const std::bad_alloc&) {
    image_.clear();
    return;
  }

  for (int32_t k = 0; k < static_cast<int32_t>(frames_.size()); ++k) {
    if (!frames_[k].valid) continue;
    const uint8_t* pixels = nullptr;
    // A frame the correction holds no record of comes back with its own pixels.
    if (!scratch.empty()) {
      run->corrected_image(k, scratch.data());
      pixels = scratch.data();
    } else if (k < static_cast<int32_t>(frame_store->images.size())) {
      pixels = frame_image_t::display_data(frame_store->images[k]);
    }
    if (pixels) paint_frame(k, pixels, fw, fh, masked);
  }
  valid_ = true;
}

// Scan-converts frame k's strip (corner 0 -> 1 -> 2 -> 3) and takes, for each
// covered pixel, the nearest frame pixel.
void panorama_internals::paint_frame(int32_t k, const uint8_t* pixels, int32_t fw, int32_t fh, bool masked) {
  const panorama_frame_t& f = frames_[k];
  const vec3_t* c = f.corners;
  int top = 0, bottom = 0;
  for (int i = 1; i < 4; ++i) {
    if (c[i].y < c[top].y) top = i;
    if (c[i].y > c[bottom].y) bottom = i;
  }
  if (top == bottom) return;
  struct chain {
    int cur, next, dir;
  };
  chain chains[2] = {{top, (top + 1) % 4, 1}, {top, (top + 3) % 4, 3}};
  const matrix4_t& T = f.transform;
  const int32_t last_row = std::min<int32_t>(height_ - 1, static_cast<int32_t>(std::ceil(c[bottom].y)));
  for (int32_t row = static_cast<int32_t>(c[top].y) + 1; row < c[bottom].y && row <= last_row; ++row) {
    double x[2];
    for (int s = 0; s < 2; ++s) {
      chain& ch = chains[s];
      while (ch.next != bottom && c[ch.next].y <= row) {
        ch.cur = ch.next;
        ch.next = (ch.next + ch.dir) % 4;
      }
      const vec3_t& a = c[ch.cur];
      const vec3_t& b = c[ch.next];
      x[s] = b.y > a.y ? a.x + (row - a.y) * (b.x - a.x) / (b.y - a.y) : b.x;
    }
    const int32_t first_col = std::max(0, static_cast<int32_t>(std::min(x[0], x[1])) + 1);
    const int32_t last_col = std::min(width_ - 1, static_cast<int32_t>(std::max(x[0], x[1])));
    // The row's part of the mapping once per row, the column's per pixel.
    const double row_x = T[4] * row + T[12] + 0.5, row_y = T[5] * row + T[13] + 0.5;
    uint8_t* out = image_.data() + static_cast<size_t>(row) * width_;
    for (int32_t col = first_col; col <= last_col; ++col) {
      const double sx = T[0] * col + row_x, sy = T[1] * col + row_y;
      if (!(sx > 0.0 && sx < fw && sy > 0.0 && sy < fh)) continue;
      const uint8_t value = pixels[static_cast<size_t>(sy) * fw + static_cast<size_t>(sx)];
      if (value != 0)
        out[col] = value;
      else if (!masked)
        out[col] = 1;
    }
  }
}
