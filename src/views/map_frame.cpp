// The zoomed mapping of the 2D views: a separable integer resampling of the
// visible part of a frame, then the colouring through the colour map's
// tables with the threshold test evaluated on the resampled image.
//
// Output pixel t covers source positions x0 + t / zoom to x0 + (t + 1) /
// zoom, so it samples at its centre, x0 + (t + 0.5) / zoom, which is
// u = x0 + (t + 0.5) / zoom - 0.5 in units where source pixel p sits at p.
// At zoom 1 and whole offsets that is each source pixel exactly.
//
// Weights are integers in units of 1/256 summing to 256. The horizontal pass
// keeps values in units of 1/256 (value units for Doppler data, whose values
// are classes as much as intensities); the vertical pass brings them back to
// value units, -1 marking a pixel without data.
#include <wx/string.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "registry/resource_table.h"
#include "views/globcmap.h"

namespace {

// Mitchell-Netravali cubic with its coefficients scaled by 256 in single
// precision and 0.5 added to the constant terms, so that flooring the value
// rounds the weight.
struct cubic_kernel {
  float near3, near2, near0;     // |t| < 1
  float far3, far2, far1, far0;  // 1 <= |t| < 2

  cubic_kernel(double b, double c) {
    near3 = static_cast<float>((12.0 - 9.0 * b - 6.0 * c) / 6.0) * 256.0f;
    near2 = static_cast<float>((-18.0 + 12.0 * b + 6.0 * c) / 6.0) * 256.0f;
    near0 = static_cast<float>((6.0 - 2.0 * b) / 6.0) * 256.0f + 0.5f;
    far3 = static_cast<float>((-b - 6.0 * c) / 6.0) * 256.0f;
    far2 = static_cast<float>((6.0 * b + 30.0 * c) / 6.0) * 256.0f;
    far1 = static_cast<float>((-12.0 * b - 48.0 * c) / 6.0) * 256.0f;
    far0 = static_cast<float>((8.0 * b + 24.0 * c) / 6.0) * 256.0f + 0.5f;
  }

  int32_t weight(float t) const {
    t = std::fabs(t);
    float k = 0.0f;
    if (t < 1.0f)
      k = ((near3 * t + near2) * t) * t + near0;
    else if (t < 2.0f)
      k = ((far3 * t + far2) * t + far1) * t + far0;
    else
      return 0;
    return static_cast<int32_t>(std::floor(k));
  }
};

// Where one output column (or row) samples: four clamped taps and weights.
// For the linear path only b, c and wb, wc count.
struct taps_t {
  bool valid = false;
  int32_t a = 0, b = 0, c = 0, d = 0;
  int32_t wa = 0, wb = 0, wc = 0, wd = 0;
};

enum class kernel_kind { cubic, linear, nearest };

taps_t place_taps(double u, int32_t last, kernel_kind kind, const cubic_kernel* cubic) {
  taps_t s;
  s.valid = true;
  const double pf = std::floor(u);
  const int32_t p = static_cast<int32_t>(pf);
  const double f = u - pf;
  auto clamp = [last](int32_t i) { return std::min(last, std::max(0, i)); };
  s.a = clamp(p - 1);
  s.b = clamp(p);
  s.c = clamp(p + 1);
  s.d = clamp(p + 2);
  if (kind == kernel_kind::cubic) {
    s.wa = cubic->weight(static_cast<float>(1.0 + f));
    s.wb = cubic->weight(static_cast<float>(f));
    s.wc = cubic->weight(static_cast<float>(1.0 - f));
    s.wd = cubic->weight(static_cast<float>(2.0 - f));
    const int32_t rest = 256 - (s.wa + s.wb + s.wc + s.wd);
    if (s.wb > s.wc)
      s.wb += rest;
    else
      s.wc += rest;
  } else {
    s.wb = static_cast<int32_t>(std::floor((1.0 - f) * 256.0 + 0.5));
    s.wc = 256 - s.wb;
    if (kind == kernel_kind::nearest) {
      s.wb = s.wb > 127 ? 256 : 0;
      s.wc = 256 - s.wb;
    }
  }
  return s;
}

// Minmod of two differences: 0 across a sign change, else the smaller in
// magnitude (the first on a tie).
// Written with masks instead of branches, so that the loops vectorise.
inline int32_t minmod(int32_t d1, int32_t d2) {
  const int32_t a1 = (d1 ^ (d1 >> 31)) - (d1 >> 31);
  const int32_t a2 = (d2 ^ (d2 >> 31)) - (d2 >> 31);
  const int32_t take2 = -static_cast<int32_t>(a2 < a1);
  const int32_t smaller = d1 ^ ((d1 ^ d2) & take2);
  return smaller & ~((d1 ^ d2) >> 31);
}

inline int32_t either(int32_t x, int32_t y) { return x != 0 ? x : y; }

// The cubic sum of four taps; masked, 0 is "no data" and an empty side tap
// borrows its neighbour, while an empty centre tap that weighs more gives no
// data, so that nothing is invented across the edge of the data.
inline int32_t cubic_sum(const taps_t& s, int32_t a, int32_t b, int32_t c, int32_t d, bool masked) {
  if (!masked) return s.wa * a + s.wb * b + s.wc * c + s.wd * d;
  if (b != 0 && c != 0) return s.wa * either(a, b) + s.wb * b + s.wc * c + s.wd * either(d, c);
  if (b != 0)
    return s.wb >= s.wc ? s.wa * either(a, b) + (s.wb + s.wc) * b + s.wd * either(d, b) : 0;
  if (c != 0 && s.wc >= s.wb) return (s.wb + s.wc) * c + s.wd * either(d, c) + s.wa * either(a, c);
  return 0;
}

// The linear sum of two taps in units of 1/256 of the taps' units; masked,
// an empty tap makes it the nearer tap. Doppler taps of different classes
// are never mixed.
inline int32_t linear_sum(const taps_t& s, int32_t b, int32_t c, bool masked, bool doppler,
                          int32_t& wb, int32_t& wc) {
  wb = s.wb;
  wc = s.wc;
  if (masked && (b == 0 || c == 0)) {
    wb = wb > 127 ? 256 : 0;
    wc = 256 - wb;
  }
  return wb * b + wc * c;
}

inline int32_t doppler_pair(int32_t b, int32_t c, int32_t wb, int32_t wc) {
  if (globcmap_t::doppler_class(b) == globcmap_t::doppler_class(c))
    return ((b * wb * 256 + c * wc * 256 + 32768) >> 16) & 255;
  return wb > wc ? b : c;
}

// "#RRGGBB" or "rgb(r, g, b)"; black for anything else.
void parse_background(const wxString& text, uint8_t rgb[3]) {
  rgb[0] = rgb[1] = rgb[2] = 0;
  unsigned long value = 0;
  if (text.length() == 7 && text[0] == '#' && text.Mid(1).ToULong(&value, 16)) {
    rgb[0] = static_cast<uint8_t>((value >> 16) & 255);
    rgb[1] = static_cast<uint8_t>((value >> 8) & 255);
    rgb[2] = static_cast<uint8_t>(value & 255);
    return;
  }
  int r = 0, g = 0, b = 0;
  if (std::swscanf(text.wc_str(), L"rgb(%d,%d,%d)", &r, &g, &b) == 3 ||
      std::swscanf(text.wc_str(), L"rgb(%d, %d, %d)", &r, &g, &b) == 3) {
    rgb[0] = static_cast<uint8_t>(std::min(255, std::max(0, r)));
    rgb[1] = static_cast<uint8_t>(std::min(255, std::max(0, g)));
    rgb[2] = static_cast<uint8_t>(std::min(255, std::max(0, b)));
  }
}

}  // namespace

void globcmap_t::map_frame(const uint8_t* data, int32_t width, int32_t height, uint8_t* out,
                           int32_t out_width, int32_t out_height, float x0, float y0, float zoom_x,
                           float zoom_y, bool masked, double opacity) const {
  if (!data || !out || width < 2 || height < 2) return;
  if (!std::isfinite(x0) || !std::isfinite(y0)) return;
  if (y0 > height - 0.5 || x0 > width - 0.5) return;
  // An empty view has nothing to draw; one beyond any screen is refused
  // rather than allocating its working buffers.
  if (out_width < 1 || out_height < 1 || out_width > kMaxViewSide || out_height > kMaxViewSide)
    return;
  const bool bottom_up = zoom_y < 0.0f;
  zoom_y = std::fabs(zoom_y);
  // A zoom of 0 would divide by zero below.
  if (!(zoom_x > 0.0f) || !(zoom_y > 0.0f) || !std::isfinite(zoom_x) || !std::isfinite(zoom_y))
    return;

  // Kernel by zoom and data kind.
  const bool display_pixels = resource_table && resource_table->RES_DISPLAY_PIXELS->read();
  kernel_kind kind = zoom_x >= 2.0f && !doppler_ ? kernel_kind::cubic : kernel_kind::linear;
  if (display_pixels || labels_) kind = kernel_kind::nearest;
  double cb = 1.0, cc = 0.0;
  if (!masked && !volume_colours_) {
    if (zoom_x >= 4.0f) {
      cb = cc = 1.0 / 3.0;
    } else {
      cb = (zoom_x - 2.0) / 6.0;
      cc = (4.0 - zoom_x) / 4.0 + (zoom_x - 2.0) / 6.0;
    }
  }
  const cubic_kernel kernel(cb, cc);
  const bool cubic = kind == kernel_kind::cubic;
  const bool doppler = doppler_ && !cubic;

  uint8_t background[3] = {0, 0, 0};
  if (resource_table) parse_background(resource_table->RES_BACKGROUND->read(), background);
  const double clamped_opacity = std::min(1.0, std::max(0.0, opacity));
  const uint8_t alpha = static_cast<uint8_t>(static_cast<int32_t>(255.0 * clamped_opacity));

  // The source rows the visible output rows need, three rows of margin above.
  const int32_t r0 = static_cast<int32_t>(std::max(0.0, std::floor(static_cast<double>(y0)) - 3.0));
  const double wanted = std::floor(static_cast<double>(out_height) / zoom_y) + 6.0;
  const int32_t n = static_cast<int32_t>(std::min(wanted, static_cast<double>(height - r0)));

  std::vector<int32_t> across, values;
  std::vector<taps_t> columns, rows;
  try {
    across.assign(static_cast<size_t>(out_width) * static_cast<size_t>(n), 0);
    values.assign(static_cast<size_t>(out_width) * static_cast<size_t>(out_height), -1);
    columns.resize(static_cast<size_t>(out_width));
    rows.resize(static_cast<size_t>(out_height));
  } catch (const std::bad_alloc&) {
    return;
  }

  // Horizontal pass: kernel positions once per output column.
  for (int32_t t = 0; t < out_width; ++t) {
    const double u = (t + 0.5) / zoom_x + static_cast<double>(x0) - 0.5;
    if (u < -0.5 || u > width - 0.5) continue;
    columns[t] = place_taps(u, width - 1, kind, &kernel);
  }
  for (int32_t r = 0; r < n; ++r) {
    const uint8_t* src = data + static_cast<size_t>(r0 + r) * static_cast<size_t>(width);
    int32_t* dst = across.data() + static_cast<size_t>(r) * static_cast<size_t>(out_width);
    for (int32_t t = 0; t < out_width; ++t) {
      const taps_t& s = columns[t];
      if (!s.valid) continue;
      if (cubic) {
        dst[t] = cubic_sum(s, src[s.a], src[s.b], src[s.c], src[s.d], masked);
      } else {
        int32_t wb, wc;
        const int32_t sum = linear_sum(s, src[s.b], src[s.c], masked, doppler, wb, wc);
        dst[t] = doppler ? doppler_pair(src[s.b], src[s.c], wb, wc) : sum;
      }
    }
  }

  // Vertical pass: kernel positions once per output row.
  for (int32_t s = 0; s < out_height; ++s) {
    const double u = (s + 0.5) / zoom_y + static_cast<double>(y0) - r0 - 0.5;
    if (u < -0.5 || u >= n - 0.5) continue;
    rows[s] = place_taps(u, n - 1, kind, &kernel);
  }
  for (int32_t s = 0; s < out_height; ++s) {
    const taps_t& v = rows[s];
    if (!v.valid) continue;
    const int32_t y = bottom_up ? out_height - 1 - s : s;
    int32_t* dst = values.data() + static_cast<size_t>(y) * static_cast<size_t>(out_width);
    auto row_of = [&](int32_t k) {
      return across.data() + static_cast<size_t>(k) * static_cast<size_t>(out_width);
    };
    const int32_t *ra = row_of(v.a), *rb = row_of(v.b), *rc = row_of(v.c), *rd = row_of(v.d);
    for (int32_t x = 0; x < out_width; ++x) {
      int32_t value;
      if (cubic) {
        const int32_t sum = cubic_sum(v, ra[x], rb[x], rc[x], rd[x], masked);
        value = std::min(255, std::max(0, sum >> 16));
      } else {
        int32_t wb, wc;
        const int32_t sum = linear_sum(v, rb[x], rc[x], masked, doppler, wb, wc);
        value = doppler ? doppler_pair(rb[x], rc[x], wb, wc) : sum >> 16;
      }
      dst[x] = masked && value == 0 ? -1 : value;
    }
  }

  // Colouring, with the threshold test on the resampled image.
  int32_t step_x = 1, step_y = 1;
  if (gradient_range_ != 0) {
    // Rounded half away from zero; a zoom beyond any view's size is capped
    // so that the rounding stays within range.
    step_x = static_cast<int32_t>(std::max(1L, std::lround(std::min(zoom_x, 65536.0f))));
    step_y = static_cast<int32_t>(std::max(1L, std::lround(std::min(zoom_y, 65536.0f))));
  }
  // Each value is either decided by its flags alone or needs the gradient of
  // the resampled image around it. colours[1 + v][h] is the colour of value v
  // when the gradient test gives h (both the same for decided values);
  // colours[0] is "no data".
  const int32_t range = gradient_range_;
  uint8_t colours[257][2][4];
  std::memcpy(colours[0][0], background, 3);
  colours[0][0][3] = 0;
  std::memcpy(colours[0][1], colours[0][0], 4);
  bool needs_gradient[257] = {false};
  for (int32_t v = 0; v < 256; ++v) {
    uint8_t plain[4], lit[4];
    colour_of(v, false, plain);
    colour_of(v, true, lit);
    plain[3] = lit[3] = alpha;
    const bool band = band_[v] != 0;
    const bool needs = range != 0 && !not_[v] && (range > 0 ? band : !band);
    needs_gradient[1 + v] = needs;
    // Decided: the band flag alone without a gradient test; under an
    // inverted range a band value is lit, otherwise a decided value is plain.
    const bool decided_lit = range == 0 ? band : range < 0 && band;
    std::memcpy(colours[1 + v][0], needs ? plain : decided_lit ? lit : plain, 4);
    std::memcpy(colours[1 + v][1], needs ? lit : decided_lit ? lit : plain, 4);
  }
  // The test on a gradient of 0 (near the border).
  const uint8_t flat = range > 0 ? 1 : 0;
  const float scale_x = zoom_x / static_cast<float>(step_x);
  const float scale_y = zoom_y / static_cast<float>(step_y);
  const size_t stride = static_cast<size_t>(out_width);
  std::vector<int32_t> column_sums;
  std::vector<uint8_t> lit_flags;
  try {
    column_sums.resize(stride);
    lit_flags.resize(stride);
  } catch (const std::bad_alloc&) {
    return;
  }
  for (int32_t y = 0; y < out_height; ++y) {
    const int32_t* mid = values.data() + static_cast<size_t>(y) * stride;
    uint8_t* p = out + static_cast<size_t>(y) * stride * 4;
    uint8_t* lit = lit_flags.data();
    // The gradient only on rows with a pixel the flags leave undecided, and
    // at least a step from every border (0 there). The vertical pass leaves
    // only -1 (no data) or 0 ... 255 in the values, which enter the sums as
    // they are.
    bool undecided = false;
    for (int32_t x = 0; x < out_width; ++x) undecided |= needs_gradient[1 + std::max(-1, std::min(255, mid[x]))];
    std::memset(lit, flat, stride);
    if (undecided && step_y <= y && y < out_height - step_y && 2 * step_x < out_width) {
      // Restricted pointers: the byte flags alias nothing, so the loops vectorise.
      const int32_t* __restrict up = mid - static_cast<ptrdiff_t>(step_y) * out_width;
      const int32_t* __restrict here = mid;
      const int32_t* __restrict down = mid + static_cast<ptrdiff_t>(step_y) * out_width;
      int32_t* __restrict c = column_sums.data();
      uint8_t* __restrict flags = lit;
      for (int32_t x = 0; x < out_width; ++x) c[x] = up[x] + 2 * here[x] + down[x];
      const int32_t sx = step_x;
      // lit = g <= |range| for a positive range, g > -range for a negative one.
      const int32_t bound = range > 0 ? range : -range;
      const uint8_t inverted = range < 0;
      for (int32_t x = sx; x < out_width - sx; ++x) {
        const int32_t mx = minmod(c[x] - c[x - sx], c[x + sx] - c[x]);
        const int32_t r_up = up[x - sx] + 2 * up[x] + up[x + sx];
        const int32_t r_mid = here[x - sx] + 2 * here[x] + here[x + sx];
        const int32_t r_down = down[x - sx] + 2 * down[x] + down[x + sx];
        const int32_t my = minmod(r_mid - r_up, r_down - r_mid);
        // Sums stay within +-1024 and the scales below 1.5: no overflow.
        const int32_t gx = static_cast<int32_t>(static_cast<float>(mx) * scale_x + 0.5f);
        const int32_t gy = static_cast<int32_t>(static_cast<float>(my) * scale_y + 0.5f);
        const int32_t g = (gx * gx + gy * gy) / 4;
        flags[x] = static_cast<uint8_t>((g <= bound) ^ inverted);
      }
    }
    for (int32_t x = 0; x < out_width; ++x, p += 4) {
      const int32_t v = mid[x];
      const int32_t k = v < 0 || v > 255 ? 0 : 1 + v;
      std::memcpy(p, colours[k][lit[x]], 4);
    }
  }
}
