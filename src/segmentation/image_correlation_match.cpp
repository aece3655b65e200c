// Frame correlation: how far the image content moved between two frames,
// found by comparing strips of pixels at shifts of up to 25 pixels, and the
// in-plane correction of the newer frame's pose that follows from it.
#include <wx/log.h>

#include <algorithm>
#include <cmath>

#include "registry/resource_table.h"
#include "segmentation/image_correlation.h"

namespace {

constexpr int kShifts = 51;      // shift indices 0..50 stand for -25..+25 pixels
constexpr int kNoShift = 25;
constexpr int kStrips = 20;
constexpr float kCutOff = -1e31f;  // a score the search did not reach

// The pixels of a record, or null when it has none of the full size.
const uint8_t* pixels_of(const correlation_frame_t& r, size_t size) {
  const uint8_t* p = frame_image_t::display_data(r.image);
  if (!p || r.image->size < 0 || static_cast<size_t>(r.image->size) < size) return nullptr;
  return p;
}

// Scores of the 51 shift indices, computed outward from no shift, the
// positive side first; each side stops once the score falls.
template <class Score>
void shift_search(float* scores, Score score) {
  for (int d = kNoShift; d < kShifts; ++d) {
    if (d >= kNoShift + 2 && scores[d - 2] > scores[d - 1]) {
      std::fill(scores + d, scores + kShifts, kCutOff);
      break;
    }
    scores[d] = score(d);
  }
  for (int d = kNoShift - 1; d >= 0; --d) {
    if (d <= kNoShift - 2 && scores[d + 2] > scores[d + 1]) {
      std::fill(scores, scores + d + 1, kCutOff);
      break;
    }
    scores[d] = score(d);
  }
}

// The score of a block of rows x n columns of a, from (a_col, a_row), against
// the block of b from (b_col, b_row).
float block_score(const uint8_t* a, const uint8_t* b, int32_t width, int32_t a_col, int32_t a_row, int32_t b_col,
                  int32_t b_row, int32_t n, int32_t rows, bool masked) {
  if (n <= 0 || rows <= 0) return 0.0f;
  float sum = 0.0f;
  int64_t count = 0;
  for (int32_t r = 0; r < rows; ++r) {
    int32_t row_sum = 0, row_count = 0;
    row_pair_score(a + static_cast<size_t>(a_row + r) * width + a_col,
                   b + static_cast<size_t>(b_row + r) * width + b_col, n, masked, row_sum, row_count);
    sum += static_cast<float>(row_sum);
    count += row_count;
  }
  return count ? sum / static_cast<float>(count) : 0.0f;
}

// The in-plane coordinates (pixels) where a world point, carried along n,
// meets the plane of pose.
vec2_t onto_plane(const vec3_t& world, const vec3_t& n, const matrix4_t& pose, double x_scale, double y_scale) {
  const vec3_t hit = line_plane_intersection(world, n, pose);
  return {hit.x / x_scale, hit.y / y_scale};
}

}  // namespace

void row_pair_score(const uint8_t* a, const uint8_t* b, int32_t n, bool masked, int32_t& sum, int32_t& count) {
  int32_t s = 0;
  if (!masked) {
    int32_t i = 0;
    // Blocks of a fixed length, which the compiler turns into vector code.
    for (; i + 32 <= n; i += 32) {
      int32_t block = 0;
      for (int j = 0; j < 32; ++j) {
        const int32_t d = int32_t(a[i + j]) - int32_t(b[i + j]);
        block += d * d;
      }
      s += block;
    }
    for (; i < n; ++i) {
      const int32_t d = int32_t(a[i]) - int32_t(b[i]);
      s += d * d;
    }
    sum = -(s + n);
    count = n;
    return;
  }
  int32_t c = 0;
  for (int32_t i = 0; i < n; ++i) {
    const int32_t d = int32_t(a[i]) - int32_t(b[i]);
    const int32_t use = (a[i] != 0) & (b[i] != 0);
    s += use * (d * d + 1);
    c += use;
  }
  sum = -s;
  count = c;
}

float image_correlation::find_peak(const float* s, int n) {
  if (n <= 0) return 0.0f;
  for (int i = 0; i < n; ++i)
    if (s[i] == 0.0f) return 0.0f;
  int m = 0;
  for (int i = 1; i < n; ++i)
    if (s[i] > s[m]) m = i;
  if (m == 0 || m == n - 1) return 0.0f;
  const float M = s[m], L = s[m - 1], R = s[m + 1];
  if (L == R) return static_cast<float>(m);
  // Equiangular fit: the steeper flank mirrored through the other neighbour.
  if (L > R) {
    const float ratio = (M - L) / (M - R);
    return static_cast<float>((m - 1) + (double(ratio) + 1.0) / 2.0);
  }
  const float ratio = (M - R) / (M - L);
  return static_cast<float>((m + 1) - (double(ratio) + 1.0) / 2.0);
}

void image_correlation::correlate() {
  if (previous < 0 || current < 0 || static_cast<size_t>(current) >= pending.size() ||
      static_cast<size_t>(previous) >= pending.size())
    return;
  const resource_table_t& t = *resource_table;
  const int32_t W = t.RES_BUF_WIDTH->read(), H = t.RES_BUF_HEIGHT->read();
  const bool masked = t.RES_MASKED_DATA->read() != 0;
  correlation_frame_t& P = pending[static_cast<size_t>(previous)];
  correlation_frame_t& Q = pending[static_cast<size_t>(current)];

  // The in-plane motion the recorded positions imply, P's pixel points
  // carried onto Q's plane.
  const vec3_t n = vec3_normalise(matrix4_get_z_axis(P.corrected_pose) + matrix4_get_z_axis(Q.corrected_pose));
  vec3_t w00, w01, w10;
  matrix4_transform_point(w00, P.recorded_pose, vec3_t{0, 0, 0});
  matrix4_transform_point(w01, P.recorded_pose, vec3_t{0, y_scale, 0});
  matrix4_transform_point(w10, P.recorded_pose, vec3_t{x_scale, 0, 0});
  const vec2_t q00 = onto_plane(w00, n, Q.recorded_pose, x_scale, y_scale);
  const vec2_t q01 = onto_plane(w01, n, Q.recorded_pose, x_scale, y_scale);
  const vec2_t q10 = onto_plane(w10, n, Q.recorded_pose, x_scale, y_scale);
  const float theta = static_cast<float>(
      (std::atan(-(q01.x - q00.x) / (q01.y - q00.y)) + std::atan((q10.y - q00.y) / (q10.x - q00.x))) / 2.0);
  const float p0x = static_cast<float>(q00.x * x_scale), p0y = static_cast<float>(q00.y * y_scale);
  const double hW = W * x_scale / 2.0, hH = H * y_scale / 2.0;

  const size_t size = static_cast<size_t>(std::max(W, 0)) * static_cast<size_t>(std::max(H, 0));
  const uint8_t* a = pixels_of(P, size);
  const uint8_t* b = pixels_of(Q, size);

  // Strip offsets in x.
  bool x_ok = false, y_ok = false;
  double Sx = 0.0, Sy = 0.0;
  if (a && b) {
    const int32_t h = H / kStrips;
    float offset[kStrips];
    float scores[kShifts];
    for (int i = 0; i < kStrips; ++i) {
      shift_search(scores, [&](int d) {
        return block_score(a, b, W, kNoShift, i * h, d, i * h, W - 51, h, masked);
      });
      offset[i] = find_peak(scores, kShifts);
    }
    // The line through two strips that the most strips agree with.
    int best_count = 0;
    float best_residual = 0.0f;
    int best_j = -1, best_k = -1;
    for (int j = 0; j < kStrips; ++j) {
      if (offset[j] == 0.0f) continue;
      for (int k = j + 1; k < kStrips; ++k) {
        if (offset[k] == 0.0f) continue;
        const float slope = (offset[k] - offset[j]) / static_cast<float>(k - j);
        int count = 0;
        float largest = 0.0f;
        for (int m = 0; m < kStrips; ++m) {
          if (offset[m] == 0.0f) continue;
          const float r = std::fabs(offset[m] - (offset[j] + slope * static_cast<float>(m - j)));
          if (r < 0.5f) {
            ++count;
            largest = std::max(largest, r);
          }
        }
        if (count > best_count || (count == best_count && count > 0 && largest < best_residual)) {
          best_count = count;
          best_residual = largest;
          best_j = j;
          best_k = k;
        }
      }
    }
    // Least-squares line through the inliers, read at strip 10.
    if (best_count >= 2) {
      const float slope = (offset[best_k] - offset[best_j]) / static_cast<float>(best_k - best_j);
      float sm = 0, so = 0, smo = 0, smm = 0;
      int N = 0;
      for (int m = 0; m < kStrips; ++m) {
        if (offset[m] == 0.0f) continue;
        if (!(std::fabs(offset[m] - (offset[best_j] + slope * static_cast<float>(m - best_j))) < 0.5f)) continue;
        const float fm = static_cast<float>(m);
        sm += fm;
        so += offset[m];
        smo += fm * offset[m];
        smm += fm * fm;
        ++N;
      }
      const float fn = static_cast<float>(N);
      const float bb = (smo - so * sm / fn) / (smm - sm * sm / fn);
      const float aa = (so - bb * sm) / fn;
      Sx = -(10.0 * bb + aa - kNoShift) * x_scale;
      x_ok = std::isfinite(Sx);
    }
    // One shift search over the whole image in y.
    shift_search(scores, [&](int d) { return block_score(a, b, W, 0, kNoShift, 0, d, W, H - 51, masked); });
    const float yp = find_peak(scores, kShifts);
    if (yp != 0.0f) {
      Sy = -(static_cast<double>(yp) - kNoShift) * y_scale;
      y_ok = true;
    }
  }
  if (!x_ok) wxLogDebug("Bad x- and roll-correlation for frame %li to %li.", long(previous), long(current));
  if (!y_ok) wxLogDebug("Bad y-correlation for frame %li to %li.", long(previous), long(current));

  // The in-plane correction in Q's frame (cm): translation only.
  const double c = std::cos(static_cast<double>(theta)) - 1.0, s = std::sin(static_cast<double>(theta));
  double X = x_ok ? Sx + p0x - c * hW - s * hH : 0.0;
  double Y = y_ok ? Sy + p0y + s * hW - c * hH : 0.0;
  // Frames whose recorded planes stand edge-on to each other give no
  // in-plane motion to correct against: keep the recorded displacement
  // rather than write a pose that is not a number.
  if (!std::isfinite(X)) X = 0.0;
  if (!std::isfinite(Y)) Y = 0.0;

  // The pose, and the drift carried into the next pair.
  matrix4_t& drift = correct_pressure ? pressure_drift : position_drift;
  matrix4_t C, DR, DRC, inverse, next;
  matrix4_translation(C, X, Y, 0.0);
  matrix4_multiply(drift, DR, Q.recorded_pose);
  matrix4_multiply(DR, Q.corrected_pose, C);
  matrix4_t probe;
  matrix4_multiply(Q.corrected_pose, probe, calibration_inverse);
  double v[6];
  matrix4_to_position(probe, v[0], v[1], v[2], v[3], v[4], v[5]);
  for (int i = 0; i < 6; ++i) Q.corrected_position[i] = static_cast<float>(v[i]);
  matrix4_rigid_inverse(Q.recorded_pose, inverse);
  if (correct_pressure) {
    Q.y_shift = static_cast<float>(Y / y_scale);
    matrix4_t Cx;
    matrix4_translation(Cx, X, 0.0, 0.0);
    matrix4_multiply(DR, DRC, Cx);
  } else {
    DRC = Q.corrected_pose;
  }
  matrix4_multiply(DRC, next, inverse);
  drift = next;
}
