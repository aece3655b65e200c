// Probe pressure: how far compression moved each image row between two
// frames, accumulated along the run into every record's row offsets, and the
// re-expression of all offsets relative to the most compressed frame.
#include <algorithm>
#include <cmath>
#include <new>

#include "registry/resource_table.h"
#include "segmentation/image_correlation.h"

namespace {

constexpr int kAnchorRow = 10;
constexpr float kDiagonal = 0.7071f;  // a step across the score matrix's diagonal
constexpr int kSamples = 21;          // profile samples across the diagonal
constexpr int kWindow = 20;           // records whose spread weighs one estimate
constexpr float kSegmentWeight = 500.0f;
// The spread below which estimates count as perfectly consistent: their
// weight stays finite instead of dropping to nothing.
constexpr float kLeastSpread = 1e-3f;

// Rows of the score matrix kept on each side of its diagonal: every sample of
// a profile lies within 7.07 rows of it, plus one for interpolation.
constexpr int kBand = 17;
constexpr int kBandWidth = 2 * kBand + 1;

const uint8_t* pixels_of(const correlation_frame_t& r, size_t size) {
  const uint8_t* p = frame_image_t::display_data(r.image);
  if (!p || r.image->size < 0 || static_cast<size_t>(r.image->size) < size) return nullptr;
  return p;
}

// Moves a record along its image y axis by d centimetres (world), keeping
// its pose and position in step.
void move_along_y(correlation_frame_t& r, double d, const matrix4_t& calibration) {
  const vec3_t y = matrix4_get_y_axis(r.corrected_pose);
  r.corrected_position[0] = static_cast<float>(r.corrected_position[0] - d * y.x);
  r.corrected_position[1] = static_cast<float>(r.corrected_position[1] - d * y.y);
  r.corrected_position[2] = static_cast<float>(r.corrected_position[2] - d * y.z);
  const float* c = r.corrected_position;
  matrix4_t probe;
  matrix4_from_position(probe, c[0], c[1], c[2], c[3], c[4], c[5]);
  matrix4_multiply(probe, r.corrected_pose, calibration);
}

struct segment_t {
  float centre = 0.0f;
  float value = 0.0f;
};

}  // namespace

std::unique_ptr<uint8_t[]> image_correlation::resample_previous() {
  if (previous < 0 || current < 0 || static_cast<size_t>(current) >= pending.size()) return nullptr;
  const resource_table_t& t = *resource_table;
  const int32_t W = t.RES_BUF_WIDTH->read(), H = t.RES_BUF_HEIGHT->read();
  if (W <= 0 || H <= 0) return nullptr;
  const size_t size = static_cast<size_t>(W) * static_cast<size_t>(H);
  std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[size]());
  if (!out) return nullptr;
  correlation_frame_t& P = pending[static_cast<size_t>(previous)];
  correlation_frame_t& Q = pending[static_cast<size_t>(current)];

  // Q's pixel grid in P's pixels, a linear map.
  const vec3_t n = vec3_normalise(matrix4_get_z_axis(P.corrected_pose) + matrix4_get_z_axis(Q.corrected_pose));
  auto into_p = [&](double fx, double fy) {
    vec3_t w;
    matrix4_transform_point(w, Q.corrected_pose, vec3_t{fx, fy, 0});
    const vec3_t hit = line_plane_intersection(w, n, P.corrected_pose);
    return vec2_t{hit.x / x_scale, hit.y / y_scale};
  };
  const vec2_t a00 = into_p(0, 0), a01 = into_p(0, y_scale), a10 = into_p(x_scale, 0);
  const float dxc = static_cast<float>(a10.x - a00.x), dyc = static_cast<float>(a10.y - a00.y);
  const float dxr = static_cast<float>(a01.x - a00.x), dyr = static_cast<float>(a01.y - a00.y);

  const uint8_t* src = pixels_of(P, size);
  if (src && std::isfinite(dxc) && std::isfinite(dyc) && std::isfinite(dxr) && std::isfinite(dyr)) {
    float xr = static_cast<float>(a00.x), yr = static_cast<float>(a00.y);
    for (int32_t r = 0; r < H; ++r, xr += dxr, yr += dyr) {
      // The columns whose position lies inside P.
      double lo = 0.0, hi = W - 1;
      bool inside = true;
      auto bound = [&](float start, float step, double limit) {
        if (step == 0.0f) {
          if (start < 0.0f || start > limit) inside = false;
          return;
        }
        double a = (0.0 - start) / step, b = (limit - start) / step;
        if (a > b) std::swap(a, b);
        lo = std::max(lo, a);
        hi = std::min(hi, b);
      };
      bound(xr, dxc, W - 1);
      bound(yr, dyc, H - 1);
      if (!inside || !(hi > lo)) continue;
      const int32_t c0 = static_cast<int32_t>(std::ceil(lo)), c1 = static_cast<int32_t>(std::floor(hi));
      uint8_t* row = out.get() + static_cast<size_t>(r) * W;
      float x = xr + static_cast<float>(c0) * dxc, y = yr + static_cast<float>(c0) * dyc;
      for (int32_t c = c0; c <= c1; ++c, x += dxc, y += dyc) {
        // Bilinear in 8-bit weights, or the nearest pixel where any of the
        // four is 0 (masked out). The neighbourhood stays inside the image.
        // Positions lie within the image up to rounding, so truncation is the
        // floor wherever it matters.
        const int32_t x0 = std::min(std::max(static_cast<int32_t>(x), 0), W - 1);
        const int32_t y0 = std::min(std::max(static_cast<int32_t>(y), 0), H - 1);
        const float fx = std::min(std::max(x - static_cast<float>(x0), 0.0f), 0.999f);
        const float fy = std::min(std::max(y - static_cast<float>(y0), 0.0f), 0.999f);
        const int32_t x1 = std::min(x0 + 1, W - 1), y1 = std::min(y0 + 1, H - 1);
        const int p = src[static_cast<size_t>(y0) * W + x0], q = src[static_cast<size_t>(y1) * W + x0];
        const int rr = src[static_cast<size_t>(y0) * W + x1], s = src[static_cast<size_t>(y1) * W + x1];
        if (p && q && rr && s) {
          const int wx = static_cast<int>(fx * 256.0f), wy = static_cast<int>(fy * 256.0f);
          row[c] = static_cast<uint8_t>(((q * wy + p * (256 - wy)) * (256 - wx) + wx * (s * wy + rr * (256 - wy))) >> 16);
        } else {
          row[c] = static_cast<uint8_t>(fx < 0.5f ? (fy < 0.5f ? p : q) : (fy < 0.5f ? rr : s));
        }
      }
    }
  }
  // Where Q's rows meet P's, and the y movement left to compression.
  Q.row_origin = static_cast<float>(a00.y + W * static_cast<double>(dyc) / 2.0);
  Q.row_step = dyr;
  move_along_y(Q, static_cast<double>(Q.y_shift) * y_scale, calibration);
  return out;
}

void image_correlation::estimate_compression(const uint8_t* S) {
  if (!S || previous < 0 || current < 0 || static_cast<size_t>(current) >= pending.size()) return;
  const resource_table_t& t = *resource_table;
  const int32_t W = t.RES_BUF_WIDTH->read(), H = t.RES_BUF_HEIGHT->read();
  const bool masked = t.RES_MASKED_DATA->read() != 0;
  if (W <= 0 || H <= 2 * kAnchorRow || row_increments.size() < static_cast<size_t>(H)) return;
  correlation_frame_t& P = pending[static_cast<size_t>(previous)];
  correlation_frame_t& Q = pending[static_cast<size_t>(current)];
  const uint8_t* T = pixels_of(Q, static_cast<size_t>(W) * H);
  if (!T) return;

  // Scores of S's row i against T's row j near the diagonal.
  std::unique_ptr<float[]> band(new (std::nothrow) float[static_cast<size_t>(H) * kBandWidth]());
  if (!band) return;
  auto M = [&](int i, int j) -> float {
    const int d = j - i;
    return d < -kBand || d > kBand ? 0.0f : band[static_cast<size_t>(i) * kBandWidth + (d + kBand)];
  };
  for (int i = 0; i < H; ++i) {
    const int lo = std::max(0, static_cast<int>(i - 16.142)), hi = std::min(H - 1, static_cast<int>(i + 16.142));
    for (int j = lo; j <= hi; ++j) {
      int32_t sum = 0, count = 0;
      row_pair_score(S + static_cast<size_t>(i) * W, T + static_cast<size_t>(j) * W, W, masked, sum, count);
      band[static_cast<size_t>(i) * kBandWidth + (j - i + kBand)] = count ? static_cast<float>(sum / count) : 0.0f;
    }
  }

  // Per diagonal position, the peak across the diagonal.
  const int N = H - 2 * kAnchorRow;
  std::vector<float> p(static_cast<size_t>(N), 0.0f), w(static_cast<size_t>(N), 0.0f);
  float samples[kSamples];
  for (int k = 0; k < N; ++k) {
    const int e = k + kAnchorRow;
    for (int s = 0; s < kSamples; ++s) {
      const float u = static_cast<float>(e) + static_cast<float>(s - 10) * kDiagonal;
      const float v = static_cast<float>(e) - static_cast<float>(s - 10) * kDiagonal;
      const int iu = static_cast<int>(u), iv = static_cast<int>(v);
      const float fu = u - static_cast<float>(iu), fv = v - static_cast<float>(iv);
      samples[s] = 0.0f;
      if (iu < 0 || iu >= H - 1 || iv < 0 || iv >= H - 1) continue;
      const float m00 = M(iv, iu), m01 = M(iv, iu + 1), m10 = M(iv + 1, iu), m11 = M(iv + 1, iu + 1);
      if (m00 == 0.0f || m01 == 0.0f || m10 == 0.0f || m11 == 0.0f) continue;
      samples[s] = (m11 * fv + m01 * (1 - fv)) * fu + (m10 * fv + m00 * (1 - fv)) * (1 - fu);
    }
    p[static_cast<size_t>(k)] = find_peak(samples, kSamples);
  }
  band.reset();

  // An estimate weighs by how well its neighbours agree with it.
  for (int k = kWindow / 2; k < N - kWindow / 2; ++k) {
    float sum = 0.0f;
    int found = 0;
    for (int i = k - kWindow / 2; i < k + kWindow / 2; ++i)
      if (p[static_cast<size_t>(i)] != 0.0f) sum += p[static_cast<size_t>(i)], ++found;
    if (!found) continue;
    const float mean = sum / kWindow;
    float dev = 0.0f;
    for (int i = k - kWindow / 2; i < k + kWindow / 2; ++i)
      if (p[static_cast<size_t>(i)] != 0.0f) dev += std::fabs(p[static_cast<size_t>(i)] - mean);
    w[static_cast<size_t>(k)] = kWindow / std::max(dev, kLeastSpread);
  }

  // Segments grown from the heaviest estimates until they weigh enough.
  std::vector<uint8_t> used(static_cast<size_t>(N), 0);
  std::vector<segment_t> segments;
  bool first = true;
  for (;;) {
    int seed = -1;
    for (int k = 0; k < N; ++k)
      if (!used[static_cast<size_t>(k)] && p[static_cast<size_t>(k)] > 0 && w[static_cast<size_t>(k)] > 0 &&
          (seed < 0 || w[static_cast<size_t>(k)] > w[static_cast<size_t>(seed)]))
        seed = k;
    if (seed < 0) break;
    used[static_cast<size_t>(seed)] = 1;
    float weight = w[static_cast<size_t>(seed)], position = p[static_cast<size_t>(seed)];
    int count = 1, lo = seed, hi = seed;
    bool left = true, right = true;
    auto take = [&](int k) {
      used[static_cast<size_t>(k)] = 1;
      weight += w[static_cast<size_t>(k)];
      if (p[static_cast<size_t>(k)] > 0) position += p[static_cast<size_t>(k)], ++count;
    };
    while (weight < kSegmentWeight && (left || right)) {
      if (left) {
        if (lo - 1 < 0 || used[static_cast<size_t>(lo - 1)]) left = false;
        else take(--lo);
      }
      if (right) {
        if (hi + 1 >= N || used[static_cast<size_t>(hi + 1)]) right = false;
        else take(++hi);
      }
    }
    if (weight >= kSegmentWeight || first)
      segments.push_back({static_cast<float>(lo + hi) / 2.0f + kAnchorRow, position / static_cast<float>(count)});
    first = false;
  }

  std::fill(row_increments.begin(), row_increments.end(), 0.0f);
  if (!segments.empty()) {
    // The values made monotone along the image, rising or falling,
    // whichever needs the smaller change.
    const size_t n = segments.size();
    std::vector<float> A(n), B(n);
    float devA = 0.0f, devB = 0.0f;
    for (size_t k = 0; k < n; ++k) {
      A[k] = B[k] = segments[k].value;
      for (size_t q = 0; q < k; ++q) {
        if (segments[k].centre > segments[q].centre) {
          A[k] = std::max(A[k], A[q]);
          B[k] = std::min(B[k], B[q]);
        } else {
          A[k] = std::min(A[k], A[q]);
          B[k] = std::max(B[k], B[q]);
        }
      }
      if (k) {
        devA += std::fabs(A[k] - segments[k].value) / static_cast<float>(k);
        devB += std::fabs(B[k] - segments[k].value) / static_cast<float>(k);
      }
    }
    for (size_t k = 0; k < n; ++k) segments[k].value = devA > devB ? B[k] : A[k];
    // Anchors, previous row b to current row a.
    std::stable_sort(segments.begin(), segments.end(),
                     [](const segment_t& x, const segment_t& y) { return x.centre < y.centre; });
    std::vector<float> b(n), a(n);
    for (size_t k = 0; k < n; ++k) {
      const float c = static_cast<float>(static_cast<int>(segments[k].centre)) + 0.5f;
      b[k] = c - (segments[k].value - 10.0f) * kDiagonal;
      a[k] = c + (segments[k].value - 10.0f) * kDiagonal;
    }
    // How far each row's content moved, along lines between the anchors.
    if (n == 1) {
      std::fill(row_increments.begin(), row_increments.end(), a[0] - b[0]);
    } else {
      for (size_t k = 0; k + 1 < n; ++k) {
        const float span = b[k + 1] - b[k];
        if (!(std::fabs(span) > 1e-6f)) continue;
        const float slope = (a[k + 1] - a[k]) / span;
        const int from = k == 0 ? 0 : static_cast<int>(b[k]);
        const int to = k + 2 == n ? H - 1 : static_cast<int>(b[k + 1]);
        for (int l = std::max(from, 0); l <= std::min(to, H - 1); ++l)
          row_increments[static_cast<size_t>(l)] = (static_cast<float>(l) - b[k]) * slope + a[k] - static_cast<float>(l);
      }
    }
  }
  // The uniform part already went into the pose; accumulate.
  for (float& r : row_increments) r -= Q.y_shift;
  map_row_offsets(P, Q, Q.row_origin, Q.row_step, OFFSETS_ADD);
}

void image_correlation::map_row_offsets(const correlation_frame_t& source, correlation_frame_t& target, float start,
                                        float step, offset_mode mode) const {
  const size_t H = std::min(source.row_offsets.size(), target.row_offsets.size());
  if (H == 0) return;
  const float last = static_cast<float>(H - 1);
  float x = start;
  for (size_t i = 0; i < H; ++i, x += step) {
    if (!(x >= 0.0f)) x = 0.0f;  // NaN too
    if (x > last) x = last;
    const size_t b = static_cast<size_t>(x);
    const float f = x - static_cast<float>(b);
    const float value = b + 1 >= H ? source.row_offsets[H - 1]
                                   : source.row_offsets[b] * (1 - f) + f * source.row_offsets[b + 1];
    if (mode == OFFSETS_ADD)
      target.row_offsets[i] = value + (i < row_increments.size() ? row_increments[i] : 0.0f);
    else
      target.row_offsets[i] -= value;
  }
}

void image_correlation::reference_pressure() {
  if (pending.empty()) return;
  const size_t H = pending[0].row_offsets.size();
  if (H <= 21) return;
  auto span = [&](const correlation_frame_t& r) { return r.row_offsets[H - 21] - r.row_offsets[kAnchorRow]; };
  // The most compressed record is the reference.
  size_t R = 0;
  for (size_t j = 1; j < pending.size(); ++j)
    if (pending[j].row_offsets.size() == H && span(pending[j]) > span(pending[R])) R = j;
  const float b = pending[R].row_offsets[kAnchorRow];
  // Every other record relative to it, along the chain of row origins.
  float sum = 0.0f;
  for (size_t j = R + 1; j < pending.size(); ++j) {
    sum += pending[j].row_origin;
    map_row_offsets(pending[R], pending[j], sum, pending[j].row_step, OFFSETS_SUBTRACT);
  }
  sum = 0.0f;
  for (size_t j = R; j-- > 0;) {
    sum -= pending[j + 1].row_origin;
    map_row_offsets(pending[R], pending[j], sum, pending[j + 1].row_step, OFFSETS_SUBTRACT);
  }
  std::fill(pending[R].row_offsets.begin(), pending[R].row_offsets.end(), 0.0f);
  // Each record moves by its own uniform part.
  for (correlation_frame_t& r : pending) {
    if (r.row_offsets.size() != H) continue;
    move_along_y(r, (static_cast<double>(r.row_offsets[kAnchorRow]) + b) * y_scale, calibration);
  }
}
