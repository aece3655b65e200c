#include "plot/plot_math.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Pixel coordinates are truncated toward zero. Values beyond any window
// (far zoom, infinities, NaN) are pinned well outside it instead of
// overflowing the int conversion.
int to_pixel(double v) {
  constexpr double limit = 1e9;
  if (!(v > -limit)) return static_cast<int>(-limit);  // also NaN
  if (v > limit) return static_cast<int>(limit);
  return static_cast<int>(v);
}

// A scale of 0, an infinity or NaN cannot map pixels back to data.
double usable_scale(double s) { return (std::isfinite(s) && s != 0.0) ? s : 1.0; }

double zoomed(double s, bool in) { return in ? s * mpView::zoom_factor : s / mpView::zoom_factor; }

}  // namespace

// --- mpView ------------------------------------------------------------------

int mpView::x2p(double x) const { return to_pixel((x - pos_x) * scale_x); }
int mpView::y2p(double y) const { return to_pixel((pos_y - y) * scale_y); }

mpBounds mpView::bounds(bool outside_margins) const {
  if (outside_margins) return {0, width, 0, height};
  return {left, width - right, top, height - bottom};
}

void mpView::fit_range(double x0, double x1, double y0, double y1) {
  x_from = x0;
  x_to = x1;
  y_from = y0;
  y_to = y1;
  // A window smaller than its margins still gets a plot area of one pixel.
  const int plot_w = std::max(1, width - right - left);
  const int plot_h = std::max(1, height - top - bottom);
  scale_x = (x1 - x0) != 0 ? usable_scale(plot_w / (x1 - x0)) : 1.0;
  scale_y = (y1 - y0) != 0 ? usable_scale(plot_h / (y1 - y0)) : 1.0;
  if (aspect_lock) scale_x = scale_y = std::min(scale_x, scale_y);
  pos_x = (x0 + x1) / 2 - (left + (width - right - left) / 2) / scale_x;
  pos_y = (top + (height - top - bottom) / 2) / scale_y + (y0 + y1) / 2;
}

void mpView::zoom_at(int column, int row, bool in) {
  const double old_x = scale_x, old_y = scale_y;
  scale_x = zoomed(scale_x, in);
  scale_y = zoomed(scale_y, in);
  pos_x += column / old_x - column / scale_x;
  pos_y += row / scale_y - row / old_y;
  x_from = pos_x + left / scale_x;
  x_to = pos_x + (width - right) / scale_x;
  y_from = pos_y - (height - bottom) / scale_y;
  y_to = pos_y - top / scale_y;
}

void mpView::zoom_horizontal_at(int column, bool in) {
  const double old_x = scale_x;
  scale_x = zoomed(scale_x, in);
  pos_x += column / old_x - column / scale_x;
  x_from = pos_x + left / scale_x;
  x_to = pos_x + (width - right) / scale_x;
}

void mpView::zoom_vertical_at(int row, bool in) {
  const double old_y = scale_y;
  scale_y = zoomed(scale_y, in);
  pos_y += row / scale_y - row / old_y;
  y_from = pos_y - (height - bottom) / scale_y;
  y_to = pos_y - top / scale_y;
}

void mpView::zoom_to_pixel_rect(int c0, int r0, int c1, int r1) {
  const double xa = p2x(c0), xb = p2x(c1);
  const double ya = p2y(r0), yb = p2y(r1);
  fit_range(std::min(xa, xb), std::max(xa, xb), std::min(ya, yb), std::max(ya, yb));
}

void mpView::centre_on(int column, int row) {
  pos_x += (column - centre_column()) / scale_x;
  pos_y -= (row - centre_row()) / scale_y;
}

void mpView::drag(int px, int py, int qx, int qy) {
  const double dx = (px - qx) / scale_x;
  const double dy = (qy - py) / scale_y;
  pos_x += dx;
  x_from += dx;
  x_to += dx;
  pos_y += dy;
  y_from += dy;
  y_to += dy;
}

void mpView::wheel_scroll(int rotation, bool horizontal) {
  if (horizontal) {
    const double d = -rotation / scale_x;
    pos_x += d;
    x_from += d;
    x_to += d;
  } else {
    const double d = rotation / scale_y;
    pos_y += d;
    y_from += d;
    y_to += d;
  }
}

mpScrollBar mpView::horizontal_bar(const mpExtent& e) const {
  const double a = pos_x + left / scale_x;  // data x at the plot area's left edge
  const double low = std::min({x_from, e.min_x, a});
  const double high = std::max(x_to, e.max_x);
  return {to_pixel((a - low) * scale_x), width - left - right, to_pixel((high - low) * scale_x)};
}

mpScrollBar mpView::vertical_bar(const mpExtent& e) const {
  const double b = pos_y - top / scale_y;  // data y at the plot area's top edge
  const double high = std::max({y_to, e.max_y, b});
  const double low = std::min(y_from, e.min_y);
  return {to_pixel((high - b) * scale_y), height - bottom - top, to_pixel((high - low) * scale_y)};
}

void mpView::scroll_to(const mpExtent& e, int position, bool vertical) {
  if (vertical)
    pos_y = std::max(y_to, e.max_y) - position / scale_y + top / scale_y;
  else
    pos_x = std::min(x_from, e.min_x) + position / scale_x - left / scale_x;
}

void mp_extent_add(mpExtent& e, bool first, double min_x, double max_x, double min_y,
                   double max_y) {
  if (first) {
    e = {min_x, max_x, min_y, max_y};
    return;
  }
  e.min_x = std::min(e.min_x, min_x);
  e.max_x = std::max(e.max_x, max_x);
  e.min_y = std::min(e.min_y, min_y);
  e.max_y = std::max(e.max_y, max_y);
}

// --- Ticks and labels ----------------------------------------------------------

bool mp_tick_exponent(double scale, int* exponent, double* step) {
  if (!(scale > 0) || !std::isfinite(scale)) return false;
  const double d = std::floor(std::log10(128.0 / scale));
  if (!std::isfinite(d)) return false;
  const double s = std::pow(10.0, d);
  if (!(s > 0) || !std::isfinite(s)) return false;
  *exponent = static_cast<int>(d);
  *step = s;
  return true;
}

std::vector<double> mp_tick_values(double first_index, double step, double end, int cap,
                                   int stride) {
  std::vector<double> out;
  if (!std::isfinite(first_index) || !(step > 0) || !std::isfinite(step)) return out;
  for (int i = 0; i < cap; ++i) {
    const double n = (first_index + static_cast<double>(i) * stride) * step;
    if (!(n < end)) break;
    out.push_back(n);
  }
  return out;
}

std::vector<double> mp_x_ticks(const mpView& v, double step, int stride) {
  const double end = v.width / v.scale_x + v.pos_x;
  return mp_tick_values(std::floor(v.pos_x / step), step, end, std::max(0, v.width) / 12 + 4,
                        std::max(1, stride));
}

int mp_label_stride(int largest_label_width, double step, double scale) {
  const double k = std::ceil((largest_label_width + 64) / (step * scale));
  if (!std::isfinite(k) || k < 1) return 1;
  return k > 1e6 ? 1000000 : static_cast<int>(k);
}

std::vector<double> mp_y_ticks(const mpView& v, double step) {
  const double bottom_edge = v.pos_y - (v.height - v.bottom) / v.scale_y;
  const double end = v.pos_y + v.height / v.scale_y;
  return mp_tick_values(std::floor(bottom_edge / step), step, end,
                        2 * std::max(0, v.height) / 12 + 4);
}

bool mp_y_label_fits(int* last_top, int row, int first_label_height) {
  if (*last_top - (row - first_label_height / 2) <= 32) return false;
  *last_top = row - first_label_height / 2;
  return true;
}

bool mp_is_double_format(const std::string& f) {
  int conversions = 0;
  for (size_t i = 0; i < f.size(); ++i) {
    if (f[i] != '%') continue;
    if (++i >= f.size()) return false;
    if (f[i] == '%') continue;
    while (i < f.size() && std::string("-+ #0").find(f[i]) != std::string::npos) ++i;
    while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i]))) ++i;
    if (i < f.size() && f[i] == '.') {
      ++i;
      while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i]))) ++i;
    }
    if (i < f.size() && f[i] == 'l') ++i;
    if (i >= f.size() || std::string("eEfFgGaA").find(f[i]) == std::string::npos) return false;
    ++conversions;
  }
  return conversions == 1;
}

std::string mp_format_double(const std::string& format, double value) {
  char small[64];
  const int n = std::snprintf(small, sizeof small, format.c_str(), value);
  if (n < 0) return std::string();
  if (n < static_cast<int>(sizeof small)) return std::string(small, n);
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(&out[0], out.size(), format.c_str(), value);
  out.resize(n);
  return out;
}

namespace {

std::string fixed_format(int decimals) {
  return "%." + std::to_string(std::min(decimals, 40)) + "f";
}

}  // namespace

// "%.f" for steps of 10 and more, "%.2f" for steps of 1 to 0.01; finer steps
// get as many decimals as the step needs so that neighbouring ticks differ.
std::string mp_x_number_format(const std::string& format, int exponent) {
  if (!format.empty() && mp_is_double_format(format)) return format;
  if (exponent >= 1) return "%.f";
  if (exponent >= -2) return "%.2f";
  return fixed_format(-exponent);
}

// "%.2f" inside 0.001 < m < 10000 and "%.1e" outside; both gain digits when
// the step is finer than they can show.
std::string mp_y_number_format(const std::string& format, double m, int exponent) {
  if (!format.empty() && mp_is_double_format(format)) return format;
  if (m > 0.001 && m < 10000) return exponent >= -2 ? "%.2f" : fixed_format(-exponent);
  int digits = 1;
  if (m > 0 && std::isfinite(m))
    digits = std::max(1, static_cast<int>(std::floor(std::log10(m))) - exponent);
  return "%." + std::to_string(std::min(digits, 16)) + "e";
}

std::string mp_x_label(int type, const std::string& number_format, double n,
                       double right_edge_x) {
  char buf[96];
  switch (type) {
    case 0:
      return mp_format_double(number_format, n);
    case 1:
    case 2: {
      if (!std::isfinite(n)) return std::string();
      const double a = std::fabs(n);
      const double hours = std::floor(a / 3600);
      const double minutes = std::floor((a - hours * 3600) / 60);
      const double seconds = a - hours * 3600 - minutes * 60;
      const double sign = n < 0 ? -1.0 : 1.0;
      if (type == 1 && right_edge_x < 120)
        std::snprintf(buf, sizeof buf, "%02.0f:%02.3f", sign * minutes, seconds);
      else
        std::snprintf(buf, sizeof buf, "%02.0f:%02.0f:%02.0f", sign * hours, minutes,
                      std::floor(seconds));
      return buf;
    }
    case 3:
    case 4: {
      // Seconds since the epoch; far outside any calendar gives no label.
      if (!(std::fabs(n) < 1e11)) return std::string();
      const std::time_t t = static_cast<std::time_t>(n);
      std::tm tm{};
      if (!localtime_r(&t, &tm)) return std::string();
      if (type == 3)
        std::snprintf(buf, sizeof buf, "%04.0f-%02.0f-%02.0f", tm.tm_year + 1900.0,
                      tm.tm_mon + 1.0, double(tm.tm_mday));
      else
        std::snprintf(buf, sizeof buf, "%04.0f-%02.0f-%02.0fT%02.0f:%02.0f:%02.0f",
                      tm.tm_year + 1900.0, tm.tm_mon + 1.0, double(tm.tm_mday),
                      double(tm.tm_hour), double(tm.tm_min), double(tm.tm_sec));
      return buf;
    }
    default:
      return std::string();
  }
}

// --- Axes layout -------------------------------------------------------------------

int mp_x_axis_row(const mpView& v, int alignment, bool outside) {
  switch (alignment) {
    case 0: return outside ? 40 : v.top;
    case 1: return v.y2p(0);
    case 2: return outside ? v.height - 40 : v.height - v.bottom;
    case 4: return v.height - 1;
    case 5: return 1;
    default: return 0;
  }
}

int mp_y_axis_column(const mpView& v, int alignment, bool outside) {
  switch (alignment) {
    case 0: return outside ? v.width - 60 : v.width - v.right;
    case 1: return v.x2p(0);
    case 2: return outside ? 60 : v.left;
    case 4: return 1;
    case 5: return v.width - 1;
    default: return 0;
  }
}

mpNamePlace mp_x_name_place(const mpView& v, int alignment, bool outside, int row, int w, int h,
                            int lh) {
  const int right_end = v.width - w - 4;
  const int centred = (v.left + v.width - v.right - w) / 2;
  switch (alignment) {
    case 0:
      if (!outside && v.top > lh + 8 + h) return {centred, row - h - lh - 6, false, true};
      return {right_end, row + 4, false, true};
    case 1:
      return {right_end, row - h - 4, false, true};
    case 2:
      if (!outside && v.bottom > lh + 8 + h) return {centred, row + lh + 6, false, true};
      return {right_end, row - h - 4, false, true};
    case 4:
      return {right_end, row - h - lh - 8, false, true};
    case 5:
      return {right_end, row + lh + 6, false, true};
    default:
      return {};
  }
}

mpNamePlace mp_y_name_place(const mpView& v, int alignment, bool outside, int column, int w, int h,
                            int lw) {
  const int along = (v.top + v.height - v.bottom + w) / 2;
  switch (alignment) {
    case 0:
      if (!outside && v.right > h + 8 + lw) return {column + lw + 6, along, true, true};
      return {column - w - 4, 4, false, true};
    case 1:
      return {column + 4, 4, false, true};
    case 2:
      if (!outside && v.left > h + 8 + lw) return {column - h - lw - 6, along, true, true};
      return {column + 4, 4, false, true};
    case 4:
      return {lw + 8, 4, false, true};
    case 5:
      return {column - w - lw - 6, 4, false, true};
    default:
      return {};
  }
}

// --- Layers ------------------------------------------------------------------------

namespace {

// Moves `a` along the segment by the fraction num / den of `span`; the ratio
// is taken in single precision and the product truncated toward zero.
int along(int num, int den, int span) {
  return static_cast<int>(static_cast<float>(num) / static_cast<float>(den) * span);
}

bool clip_left_to_right(int& c0, int& r0, int& c1, int& r1, const mpBounds& b) {
  if (c1 < b.min_x || c0 > b.max_x) return false;
  if ((r0 < b.min_y && r1 < b.min_y) || (r0 > b.max_y && r1 > b.max_y)) return false;
  if (r1 != r0) {
    if (r0 < b.min_y) {
      c0 += along(b.min_y - r0, r1 - r0, c1 - c0);
      r0 = b.min_y;
    }
    if (r0 > b.max_y) {
      c0 += along(b.max_y - r0, r1 - r0, c1 - c0);
      r0 = b.max_y;
    }
    if (r1 < b.min_y) {
      c1 = c0 + along(b.min_y - r0, r1 - r0, c1 - c0);
      r1 = b.min_y;
    }
    if (r1 > b.max_y) {
      c1 = c0 + along(b.max_y - r0, r1 - r0, c1 - c0);
      r1 = b.max_y;
    }
  }
  if (c1 != c0) {
    if (c0 < b.min_x) {
      r0 += along(b.min_x - c0, c1 - c0, r1 - r0);
      c0 = b.min_x;
    }
    if (c1 > b.max_x) {
      r1 = r0 + along(b.max_x - c0, c1 - c0, r1 - r0);
      c1 = b.max_x;
    }
  }
  return true;
}

}  // namespace

// The clipping walks left to right; a segment that runs leftward is clipped
// as its mirror so that it is neither dropped nor drawn past the bounds.
bool mp_clip_segment(int& c0, int& r0, int& c1, int& r1, const mpBounds& b) {
  if (c1 >= c0) return clip_left_to_right(c0, r0, c1, r1, b);
  int a0 = c1, s0 = r1, a1 = c0, s1 = r0;
  if (!clip_left_to_right(a0, s0, a1, s1, b)) return false;
  c0 = a1;
  r0 = s1;
  c1 = a0;
  r1 = s0;
  return true;
}

void mp_text_position(const mpView& v, unsigned x_percent, unsigned y_percent, int* x, int* y) {
  *x = (v.width - v.left - v.right) * static_cast<int>(x_percent) / 100;
  *y = (v.height - v.top - v.bottom) * static_cast<int>(y_percent) / 100;
}

mpLegendLayout mp_legend_layout(const std::vector<std::pair<int, int>>& sizes) {
  mpLegendLayout out;
  int height = 5;
  for (const auto& s : sizes) {
    height += s.second;
    if (out.width <= s.first + 20) out.width = s.first + 25;
  }
  out.height = sizes.empty() ? 0 : height + 5;
  for (size_t i = 0; i < sizes.size(); ++i) {
    const int h = sizes[i].second;
    out.text_rows.push_back(5 + static_cast<int>(i) * h);
    out.sample_rows.push_back(5 + static_cast<int>(i) * h + h / 2);
  }
  return out;
}

bool mp_info_rescale(mpInfoPlace& p, int client_w, int client_h) {
  const int w = client_w == 0 ? 1 : client_w;
  const int h = client_h == 0 ? 1 : client_h;
  bool moved = false;
  if (w != p.recorded_w || h != p.recorded_h) {
    if (p.recorded_w != 1) {
      p.x = w * p.x / p.recorded_w;
      moved = true;
    }
    if (p.recorded_h != 1) {
      p.y = h * p.y / p.recorded_h;
      moved = true;
    }
  }
  p.recorded_w = w;
  p.recorded_h = h;
  return moved;
}

namespace {

bool usable_vector(double x, double y) {
  return std::isfinite(x) && std::isfinite(y) && (x != 0 || y != 0);
}

}  // namespace

std::string mp_covariance_ellipse(double c00, double c11, double c01, double quantiles,
                                  int segments, std::vector<double>& xs, std::vector<double>& ys) {
  if (quantiles < 0) return "[mpCovarianceEllipse] Error: quantiles must be non-negative";
  if (c00 < 0) return "[mpCovarianceEllipse] Error: cov(0,0) must be non-negative";
  if (c11 < 0) return "[mpCovarianceEllipse] Error: cov(1,1) must be non-negative";
  // The discriminant (c00 - c11)^2 + 4 c01^2 is never negative; what makes
  // a matrix unusable is a negative determinant (a negative eigenvalue).
  const double b = -(c00 + c11);
  const double det = c00 * c11 - c01 * c01;
  const double D = (c00 - c11) * (c00 - c11) + 4 * c01 * c01;
  if (!(det >= 0) || !std::isfinite(D) || !std::isfinite(b))
    return "[mpCovarianceEllipse] Error: cov is not positive definite";
  const double root = std::sqrt(D);
  const double l1 = (root - b) / 2;
  const double l2 = std::max(0.0, (-b - root) / 2);

  auto eigenvector = [&](double l, double* x, double* y) {
    if (std::fabs(l - c00) > 1e-6) {
      *x = c01 / (l - c00);
      *y = 1;
    } else {
      *x = 1;
      *y = c01 / (l - c11);
    }
  };
  double e1x, e1y, e2x, e2y;
  eigenvector(l1, &e1x, &e1y);
  eigenvector(l2, &e2x, &e2y);
  // Uncorrelated or isotropic matrices make the formulas 0/0: their axes are
  // the coordinate axes, the larger eigenvalue along the larger variance.
  if (c01 == 0 || !usable_vector(e1x, e1y)) {
    e1x = c00 >= c11 ? 1 : 0;
    e1y = c00 >= c11 ? 0 : 1;
  }
  if (c01 == 0 || !usable_vector(e2x, e2y)) {
    e2x = -e1y;
    e2y = e1x;
  }
  const double n1 = std::hypot(e1x, e1y), n2 = std::hypot(e2x, e2y);
  const double s1 = std::sqrt(l1), s2 = std::sqrt(l2);

  const int n = std::max(2, segments);
  xs.assign(n, 0.0);
  ys.assign(n, 0.0);
  for (int i = 0; i < n; ++i) {
    const double t = i * 6.283185308 / (n - 1);
    const double c = std::cos(t), s = std::sin(t);
    xs[i] = quantiles * (e1x / n1 * s1 * c + e2x / n2 * s2 * s);
    ys[i] = quantiles * (e1y / n1 * s1 * c + e2y / n2 * s2 * s);
  }
  return std::string();
}

mpBitmapPlan mp_bitmap_plan(const mpView& v, double min_x, double max_x, double min_y,
                            double max_y, int image_w, int image_h) {
  mpBitmapPlan p;
  if (image_w <= 0 || image_h <= 0) return p;
  const int x0 = v.x2p(min_x), x1 = v.x2p(max_x);
  const int y0 = v.y2p(max_y), y1 = v.y2p(min_y);
  const double sx = double(x1) - x0, sy = double(y1) - y0;
  const double px = sx / image_w, py = sy / image_h;  // window pixels per image pixel
  if (!(px > 0) || !(py > 0)) return p;
  const double left = x0 < 0 ? -std::floor(px + 1) : x0;
  const double right = x1 > v.width ? v.width + std::floor(px + 1) : x1;
  const double top = y0 < 0 ? -std::floor(py + 1) : y0;
  const double bottom = y1 > v.height ? v.height + std::floor(py + 1) : y1;
  if (right - left < 0 || bottom - top < 0) return p;
  p.draw = true;
  p.left = to_pixel(left);
  p.top = to_pixel(top);
  p.width = to_pixel(right - left + 1);
  p.height = to_pixel(bottom - top + 1);
  p.src_x = std::min(image_w - 1, std::max(0, to_pixel((left - x0) / px)));
  p.src_y = std::min(image_h - 1, std::max(0, to_pixel((top - y0) / py)));
  p.src_w = std::max(1, std::min(image_w - p.src_x, to_pixel(p.width / px)));
  p.src_h = std::max(1, std::min(image_h - p.src_y, to_pixel(p.height / py)));
  return p;
}

mpPageLayout mp_page_layout(int dc_width, int dc_height) {
  mpPageLayout p;
  p.width = dc_width - 100;
  p.height = dc_height - 100;
  p.usable = p.width > 0 && p.height > 0;
  return p;
}
