#include "views/model_overlay_math.h"

#include <algorithm>
#include <cmath>

#include "models/fit_model.h"
#include "thickness/thickness.h"

data_point_on_frame data_point_position(const vec3_t& point_mm, const matrix4_t& t, double xscale,
                                        double yscale) {
  vec3_t q;
  matrix4_transform_point(q, t, vec3_scalar_mul(0.1, point_mm));
  return {q.x / xscale, q.y / yscale, q.z};
}

bool data_point_near_frame(double z, double xscale, int32_t compounding) {
  const double w = std::fabs(xscale);
  return std::fabs(z) < w * 0.5 || std::fabs(z) < compounding * w;
}

namespace {

bool is_selected(const std::vector<int32_t>& selected, int32_t i) {
  return std::binary_search(selected.begin(), selected.end(), i);
}

size_t data_count(const fit_model& m) {
  return std::min(m.data.loaded_points.size(), static_cast<size_t>(std::max(0, m.data.point_count)));
}

}  // namespace

std::vector<model_point_mark> model_point_marks(const fit_model& m, const matrix4_t& t,
                                                double xscale, double yscale,
                                                const std::vector<int32_t>& selected) {
  std::vector<model_point_mark> out;
  const size_t n = data_count(m);
  const int32_t k = m.page.display_compounding;
  auto add = [&](int32_t i, bool matched) {
    const data_point_on_frame q = data_point_position(m.data.loaded_points[i], t, xscale, yscale);
    if (data_point_near_frame(q.z, xscale, k)) out.push_back({i, q.x, q.y, matched});
  };
  for (size_t i = 0; i < n; ++i)
    if (!is_selected(selected, static_cast<int32_t>(i))) add(static_cast<int32_t>(i), false);
  if (m.model.match_range2 > 0.0 && m.range_divisor > 0.0) {
    const double range = m.page.search_range / m.range_divisor;
    const double r2 = range * range;
    const size_t vertices = std::min(m.model.match_index.size(), m.model.match_distance2.size());
    for (size_t v = 0; v < vertices; ++v) {
      const int32_t j = m.model.match_index[v];
      if (j < 0 || static_cast<size_t>(j) >= n || is_selected(selected, j)) continue;
      if (m.model.match_distance2[v] < r2) add(j, true);
    }
  }
  return out;
}

std::vector<int32_t> data_points_hit(const fit_model& m, const matrix4_t& t, double xscale,
                                     double yscale, double x, double y, double r,
                                     const std::vector<int32_t>& selected) {
  std::vector<int32_t> hits;
  const size_t n = data_count(m);
  for (size_t i = 0; i < n; ++i) {
    const int32_t index = static_cast<int32_t>(i);
    if (is_selected(selected, index)) continue;
    const data_point_on_frame q = data_point_position(m.data.loaded_points[i], t, xscale, yscale);
    if (!data_point_near_frame(q.z, xscale, m.page.display_compounding)) continue;
    if (std::hypot(q.x - x, q.y - y) < r) hits.push_back(index);
  }
  return hits;
}

thickness_line_overlay thickness_overlay(const thickness& e, int32_t current_frame) {
  thickness_line_overlay out;
  if (!e.sampled || e.frame != current_frame) return out;
  const size_t lines =
      std::min({static_cast<size_t>(std::max(0, e.cell_count)), e.line_start.size(), e.line_end.size()});
  if (lines == 0) return out;
  out.shown = true;
  for (size_t i = 0; i < lines; ++i) {
    out.starts.push_back({e.line_start[i].x, e.line_start[i].y});
    out.ends.push_back({e.line_end[i].x, e.line_end[i].y});
  }
  const double L = e.line_length;
  if (!e.valid || !(L > 0.0) || !std::isfinite(L)) return out;
  const vec2_t s = out.starts[0], d = out.ends[0] - out.starts[0];
  auto mark = [&](double position, bool pink) {
    out.marks.push_back({s.x + d.x * position / L, s.y + d.y * position / L, pink});
  };
  if (e.outer_layer) {
    if (e.outer_layer_end > -L / 2) mark(e.outer_layer_end, false);
    mark(e.outer_gap_edge, false);
  }
  mark(e.outer_edge, false);
  if (e.inner_edge < e.endo_end) {
    mark(e.inner_edge, true);
    mark(e.endo_end, true);
  } else {
    mark(e.inner_edge, false);
  }
  if (e.inner_layer) {
    mark(e.inner_gap_edge, false);
    if (e.inner_layer_end < 1.5 * L) mark(e.inner_layer_end, false);
  }
  return out;
}

// ---- the centre view's thickness key ----------------------------------------

thickness_key_scale thickness_key_scale_for(int32_t display, int32_t scale_mm, int32_t scale_hu,
                                            int32_t scale_humm, int32_t zero_hu,
                                            const wxString& units, int32_t font_size) {
  thickness_key_scale k;
  const double u = units == "GY" ? 1.0 : 100.0;
  double w = scale_mm * 0.1;
  int32_t base = 28;
  k.unit = "mm";
  switch (display) {
    case 1:
      w = scale_humm * 10.0 * u;
      k.unit = units + "mm";
      base = 43;
      break;
    case 2:
    case 5:
    case 7:
      w = scale_hu * u;
      k.low = zero_hu * u;
      k.unit = units;
      break;
    case 9:
      w = scale_mm * 0.2;
      k.low = -scale_mm * 0.1;
      break;
    default:
      break;
  }
  k.span = std::max(0.1, w);
  k.top = k.low + k.span;
  if (k.span / 80.0 < 0.01) {
    k.decade = 0.01;
  } else {
    k.decade = 0.1;
    while (!(k.decade > k.span / 80.0)) k.decade *= 10.0;
  }
  int32_t width16 = 0;
  if (k.decade == 0.01)
    width16 = base + 20;
  else if (k.decade == 0.1)
    width16 = base + 14;
  else
    width16 = 6 * (static_cast<int32_t>(std::floor(std::log10(k.span))) + 1) + base;
  if (k.low < 0.0) width16 += 4;
  if (k.top != std::floor(k.top)) width16 += 10;
  k.column_width = width16 * font_size / 16;
  k.step = std::floor(k.span / (4.0 * k.decade)) * k.decade;
  return k;
}

namespace {

int32_t value_row(const thickness_key_scale& k, double x) {
  return 50 + static_cast<int32_t>((x - k.low) * 255.0 / k.span);
}

wxString limit_text(const char* sign, double value, const wxString& unit) {
  const bool fractional = value != std::floor(value);
  return wxString::Format(fractional ? "%s%.1f %s" : "%s%.0f %s", sign, value, unit);
}

}  // namespace

std::vector<thickness_key_label> thickness_key_labels(const thickness_key_scale& k) {
  std::vector<thickness_key_label> out;
  out.push_back({5, "N/A", false});
  out.push_back({30, limit_text("<", k.low, k.unit), false});
  out.push_back({320, limit_text(">", k.top, k.unit), false});
  if (!(k.step > 0.0)) return out;
  const char* format = k.decade >= 1.0 ? "%.0f %s" : k.decade >= 0.1 ? "%.1f %s" : "%.2f %s";
  // The first multiple of the step not below the lowest value (above it
  // when the lowest value is negative).
  double first = k.low >= 0.0 ? std::ceil(k.low / k.step - 1e-9) : std::floor(k.low / k.step + 1e-9) + 1.0;
  for (double i = first; i * k.step <= k.top + 1e-9 * k.step; i += 1.0) {
    const double x = i * k.step + 0.0;  // no "-0" label
    out.push_back({value_row(k, x), wxString::Format(format, x, k.unit), true});
  }
  return out;
}

std::vector<std::vector<profile_vertex>> profile_runs(const std::vector<double>& samples,
                                                      const std::vector<double>& measured,
                                                      double no_value, int32_t x0, int32_t gw) {
  std::vector<std::vector<profile_vertex>> runs;
  const size_t n = std::min(samples.size(), measured.size());
  if (n < 2) return runs;
  const int64_t last = static_cast<int64_t>(n) - 1;
  std::vector<profile_vertex> run;
  auto close = [&](double end_x) {
    if (run.size() == 1) run.push_back({end_x, run.front().value});
    if (!run.empty()) runs.push_back(run);
    run.clear();
  };
  for (size_t i = 0; i < n; ++i) {
    if (!(measured[i] > no_value)) {
      close(x0 + (static_cast<double>(i) - 0.5) * gw / last);
      continue;
    }
    run.push_back({static_cast<double>(x0 + (static_cast<int64_t>(i) * gw) / last), samples[i]});
  }
  close(x0 + gw);
  return runs;
}

std::vector<profile_vertex> step_model_line(const thickness& e, int32_t x0, int32_t gw) {
  std::vector<profile_vertex> line;
  const double L = e.line_length;
  if (!(L > 0.0) || !std::isfinite(L)) return line;
  auto x = [&](double position) { return x0 + gw * position / L; };
  const double left = x0 - gw / 2;
  if (e.outer_layer) {
    line.push_back({left, e.beyond_outer_density});
    line.push_back({x(e.outer_layer_end), e.beyond_outer_density});
    line.push_back({x(e.outer_layer_end), e.outer_layer_density});
    line.push_back({x(e.outer_gap_edge), e.outer_layer_density});
  }
  line.push_back({e.outer_layer ? x(e.outer_gap_edge) : left, e.outer_density});
  line.push_back({x(e.outer_edge), e.outer_density});
  line.push_back({x(e.outer_edge), e.cortical_density});
  line.push_back({x(e.inner_edge), e.cortical_density});
  line.push_back({x(std::max(e.endo_end, e.inner_edge)), e.inner_density});
  if (e.inner_layer) {
    line.push_back({x(e.inner_gap_edge), e.inner_density});
    line.push_back({x(e.inner_gap_edge), e.inner_layer_density});
    line.push_back({x(e.inner_layer_end), e.inner_layer_density});
    line.push_back({x(e.inner_layer_end), e.beyond_inner_density});
  }
  line.push_back({static_cast<double>(x0 + (3 * gw) / 2), line.back().value});
  return line;
}
