// Sampling the lines of a measurement: cubic interpolation within a frame,
// linear interpolation between the frames bracketing a sample in 3D, and the
// averaged profile with each line shifted into register with the central one.
#include <algorithm>
#include <cmath>
#include <limits>

#include "data/dynabuf.h"
#include "data/geometry.h"
#include "thickness/thickness.h"

namespace {

// Mitchell-Netravali cubic, B = C = 1/3: the near branch (|x| < 1) and the
// far one (1 <= |x| < 2).
inline double near_weight(double x) { return (1.1666666666666667 * x - 2.0) * x * x + 0.8888888888888888; }
inline double far_weight(double x) {
  return ((-0.3888888888888889 * x + 2.0) * x - 3.3333333333333335) * x + 1.7777777777777777;
}

// The taps of one position: the 4 x 4 pixels and their weights, or none
// (the no-value level) where the rules give no sample.
struct cubic_taps {
  bool inside = false;
  size_t rows[4] = {0, 0, 0, 0};  // offsets of the rows' starts
  int32_t cols[4] = {0, 0, 0, 0};
  double wx[4] = {0, 0, 0, 0}, wy[4] = {0, 0, 0, 0};
};

inline void weights_of(double f, double w[4]) {
  // Distances 1 + f, f, 1 - f, 2 - f; at f = 0 the last two fall on the
  // branch borders 1 and 2.
  w[0] = far_weight(1.0 + f);
  w[1] = near_weight(f);
  w[2] = f > 0.0 ? near_weight(1.0 - f) : far_weight(1.0);
  w[3] = f > 0.0 ? far_weight(2.0 - f) : 0.0;
}

inline cubic_taps taps_at(const thickness_sampling& s, int32_t ix, int32_t iy, double fx, double fy) {
  cubic_taps t;
  const int32_t W = s.width, H = s.height;
  if (ix < 0 || iy < 0 || ix > W - 2 || iy > H - 2) return t;
  t.inside = true;
  t.cols[0] = ix == 0 ? 0 : ix - 1;
  t.cols[1] = ix;
  t.cols[2] = ix + 1;
  t.cols[3] = ix > W - 3 ? ix + 1 : ix + 2;
  const int32_t rows[4] = {iy == 0 ? 0 : iy - 1, iy, iy + 1, iy > H - 3 ? iy + 1 : iy + 2};
  for (int r = 0; r < 4; ++r) t.rows[r] = size_t(rows[r]) * size_t(W);
  weights_of(fx, t.wx);
  weights_of(fy, t.wy);
  return t;
}

template <class T>
inline double apply_taps(const thickness_sampling& s, const T* pixels, const cubic_taps& t) {
  if (!t.inside || !pixels) return s.no_value;
  double sum = 0.0;
  for (int r = 0; r < 4; ++r) {
    const T* row = pixels + t.rows[r];
    sum += t.wy[r] * (t.wx[0] * double(row[t.cols[0]]) + t.wx[1] * double(row[t.cols[1]]) +
                      t.wx[2] * double(row[t.cols[2]]) + t.wx[3] * double(row[t.cols[3]]));
  }
  return sum * s.slope + s.intercept;
}

// The taps of a position along a line (pixel i's centre at i + 0.5).
inline cubic_taps taps_at_line(const thickness_sampling& s, double x, double y) {
  const double px = x - 0.5, py = y - 0.5;
  const double fx0 = std::floor(px), fy0 = std::floor(py);
  // Far outside the image: no value (and no integer overflow).
  if (!(fx0 >= -1.0 && fy0 >= -1.0 && fx0 < s.width && fy0 < s.height)) return cubic_taps();
  return taps_at(s, int32_t(fx0), int32_t(fy0), px - fx0, py - fy0);
}

// The pixels of one frame as the sampling reads them; the references keep
// the frames alive while they are sampled.
struct frame_pixels {
  bool looked_up = false;
  frame_image_ref ref;
  const uint16_t* raw = nullptr;
  const uint8_t* display = nullptr;
};

class frame_reader {
 public:
  frame_reader(const thickness_sampling& s, size_t frames) : s_(s), frames_(frames) {}

  // The calibrated value of frame k at the taps; false when the frame has
  // no pixels at all.
  bool value(int32_t k, const cubic_taps& t, double& out) {
    frame_pixels& f = frames_[size_t(k)];
    if (!f.looked_up) {
      f.looked_up = true;
      f.ref = frame_store->imagecp(k);
      if (f.ref) {
        f.raw = f.ref->raw;
        if (!f.raw) f.display = frame_image_t::display_data(f.ref);
      }
    }
    if (!f.raw && !f.display) return false;
    out = f.raw ? apply_taps(s_, f.raw, t) : apply_taps(s_, f.display, t);
    return true;
  }

 private:
  const thickness_sampling& s_;
  std::vector<frame_pixels> frames_;
};

// The frames with positions in order of their signed distance from the
// measured frame along its normal (cm); frames at a position already taken
// are left out, so that no pair of neighbours has zero spacing.
struct frame_stack {
  std::vector<double> dist;
  std::vector<int32_t> index;
  size_t home = 0;  // where the measured frame sits
};

frame_stack order_frames(const thickness_options& o, int32_t measured) {
  frame_stack st;
  matrix4_t cal, pm, m;
  matrix4_from_position(cal, o.calibration[0], o.calibration[1], o.calibration[2],
                        o.calibration[3], o.calibration[4], o.calibration[5]);
  const int32_t frames =
      int32_t(std::min(frame_store->images.size(), frame_store->positions.size()));
  auto frame_matrix = [&](int32_t k, matrix4_t& out) {
    matrix4_from_position_t(pm, *frame_store->positions[size_t(k)]);
    matrix4_multiply(pm, out, cal);
  };
  matrix4_t home;
  frame_matrix(measured, home);
  const vec3_t origin = matrix4_get_translation(home);
  const vec3_t normal = vec3_normalise(matrix4_get_z_axis(home));
  std::vector<std::pair<double, int32_t>> all;
  all.reserve(size_t(frames));
  for (int32_t k = 0; k < frames; ++k) {
    if (!frame_store->positions[size_t(k)]) continue;
    frame_matrix(k, m);
    all.push_back({vec3_dot(matrix4_get_translation(m) - origin, normal), k});
  }
  // The measured frame first among those at its own position.
  std::stable_sort(all.begin(), all.end(), [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return (a.second == measured) > (b.second == measured);
  });
  constexpr double kSamePosition = 1e-9;  // cm
  for (const auto& e : all) {
    if (!st.dist.empty() && e.first - st.dist.back() < kSamePosition) continue;
    if (e.second == measured) st.home = st.dist.size();
    st.dist.push_back(e.first);
    st.index.push_back(e.second);
  }
  return st;
}

}  // namespace

double thickness_sample_16bit(const thickness_sampling& s, const uint16_t* raw, int32_t ix,
                              int32_t iy, double fx, double fy) {
  return apply_taps(s, raw, taps_at(s, ix, iy, fx, fy));
}

double thickness_sample_8bit(const thickness_sampling& s, const uint8_t* display, int32_t ix,
                             int32_t iy, double fx, double fy) {
  return apply_taps(s, display, taps_at(s, ix, iy, fx, fy));
}

int32_t thickness::sample_lines() {
  const int32_t N = sample_count;
  const double nv = options.no_value;
  const int32_t e = cell_count == 1 ? 1 : 2;
  const int32_t len = e * N;
  thickness_sampling s;
  s.width = options.buf_width;
  s.height = options.buf_height;
  s.slope = options.slope;
  s.intercept = options.intercept;
  s.no_value = nv;
  if (!frame_store || s.width < 1 || s.height < 1) return 10;
  frame_reader reader(s, frame_store->images.size());

  frame_stack stack;
  if (!in_frame) stack = order_frames(options, frame);
  // With one position only, a sample must lie on that frame's plane.
  double lone_spacing = std::fabs(options.zscale);
  if (!(lone_spacing > 0.0)) lone_spacing = options.slice_thickness;
  if (!(lone_spacing > 0.0)) lone_spacing = std::fabs(options.xscale);

  std::vector<double> lines(size_t(cell_count) * size_t(len), nv);
  std::vector<bool> in_use(size_t(cell_count), true);
  for (int32_t cell = 0; cell < cell_count; ++cell) {
    double* line = lines.data() + size_t(cell) * size_t(len);
    if (!in_frame && start_z[size_t(cell)] == -1.0 && end_z[size_t(cell)] == -1.0) {
      in_use[size_t(cell)] = false;
      continue;
    }
    const thickness_point2 a = line_start[size_t(cell)], b = line_end[size_t(cell)];
    size_t lo = stack.home;
    if (!in_frame && stack.dist.size() > 1 && lo + 1 >= stack.dist.size()) lo = stack.dist.size() - 2;
    for (int32_t k = 0; k < len; ++k) {
      const double t = len > 1 ? double(k) / double(len - 1) : 0.0;
      const cubic_taps taps = taps_at_line(s, a.x + t * (b.x - a.x), a.y + t * (b.y - a.y));
      double v = nv;
      if (in_frame) {
        if (!reader.value(frame, taps, v)) return 10;
      } else {
        const double z = start_z[size_t(cell)] + t * (end_z[size_t(cell)] - start_z[size_t(cell)]);
        const std::vector<double>& dist = stack.dist;
        if (dist.size() < 2) {
          if (dist.empty() || std::fabs(z - dist[0]) >= 0.05 * lone_spacing) {
            line[k] = nv;
            continue;
          }
          if (!reader.value(stack.index[0], taps, v)) return 10;
          line[k] = v;
          continue;
        }
        while (lo > 0 && z < dist[lo]) --lo;
        while (lo + 2 < dist.size() && z > dist[lo + 1]) ++lo;
        double w = (z - dist[lo]) / (dist[lo + 1] - dist[lo]);
        if (w < 0.0 || w > 1.0) {
          if (std::fabs(w) < 0.05)
            w = 0.0;
          else if (std::fabs(w - 1.0) < 0.05)
            w = 1.0;
          else {
            line[k] = nv;
            continue;
          }
        }
        if (w == 0.0) {
          if (!reader.value(stack.index[lo], taps, v)) return 10;
        } else if (w == 1.0) {
          if (!reader.value(stack.index[lo + 1], taps, v)) return 10;
        } else {
          double v0, v1;
          if (!reader.value(stack.index[lo], taps, v0) || !reader.value(stack.index[lo + 1], taps, v1))
            return 10;
          v = v0 > nv && v1 > nv ? (1.0 - w) * v0 + w * v1 : nv;
        }
      }
      line[k] = v;
    }
  }

  profile.assign(size_t(N), nv);
  cell_samples.assign(size_t(cell_count) * size_t(N), nv);
  if (cell_count == 1) {
    for (int32_t k = 0; k < N; ++k) profile[size_t(k)] = std::max(lines[size_t(k)], nv);
    for (int32_t k = 0; k < N; ++k) cell_samples[size_t(k)] = profile[size_t(k)];
    return 0;
  }

  const int32_t n = line_width;
  const double* centre = lines.data();
  std::vector<double> sum(size_t(N), 0.0);
  std::vector<int32_t> count(size_t(N), 0);
  for (int32_t m = 0; m < N; ++m) {
    const double v = centre[2 * m];
    if (v > nv) {
      sum[size_t(m)] += v;
      ++count[size_t(m)];
      cell_samples[size_t(m)] = v;
    }
  }
  // Mean weighted difference from the centre line at a shift of r half samples.
  auto score = [&](const double* line, int32_t r) {
    double total = 0.0;
    int32_t pairs = 0;
    for (int32_t k = 2 * n; k <= 2 * N - 2 * n - 1; ++k) {
      const double a = line[k + r], c = centre[k];
      if (a > nv && c > nv) {
        total += std::fabs(a - c) * weights[size_t(k / 2)];
        ++pairs;
      }
    }
    return pairs > 0 ? total / pairs : std::numeric_limits<double>::infinity();
  };
  for (int32_t cell = 1; cell < cell_count; ++cell) {
    if (!in_use[size_t(cell)]) continue;
    const double* line = lines.data() + size_t(cell) * size_t(len);
    int32_t best_r = 0;
    double best = score(line, 0);
    for (int32_t r = 1; r <= 2 * n - 1; ++r) {
      const double sc = score(line, r);
      if (!(sc < best)) break;
      best = sc;
      best_r = r;
    }
    for (int32_t r = -1; r >= -(2 * n - 1); --r) {
      const double sc = score(line, r);
      if (!(sc < best)) break;
      best = sc;
      best_r = r;
    }
    double* kept = cell_samples.data() + size_t(cell) * size_t(N);
    for (int32_t m = 0; m < N; ++m) {
      const int32_t k = best_r + 2 * m;
      if (k < 0 || k >= len || !(line[k] > nv)) continue;
      sum[size_t(m)] += line[k];
      ++count[size_t(m)];
      kept[m] = line[k];
    }
  }
  for (int32_t m = 0; m < N; ++m)
    profile[size_t(m)] = 2 * count[size_t(m)] > cell_count ? sum[size_t(m)] / count[size_t(m)] : nv;
  return 0;
}
