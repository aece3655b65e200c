// The search grid over the data points and the correspondences of model
// vertices to their nearest data points.
#include <algorithm>
#include <cmath>

#include "models/fit_model.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"

namespace {

constexpr double kNoMatch = 1e10;
// Seven cell edges: the widest search, and what the largest slider value spans.
constexpr int kReach = 7;
constexpr double kSliderSpan = 7.071068;

std::vector<grid_neighbour_t> make_neighbour_table() {
  std::vector<grid_neighbour_t> table;
  for (int dx = -kReach - 1; dx <= kReach + 1; ++dx)
    for (int dy = -kReach - 1; dy <= kReach + 1; ++dy)
      for (int dz = -kReach - 1; dz <= kReach + 1; ++dz) {
        auto gap = [](int c) { return std::max(std::abs(c) - 1, 0); };
        const int s = gap(dx) * gap(dx) + gap(dy) * gap(dy) + gap(dz) * gap(dz);
        if (s > kReach * kReach) continue;
        const double d = std::round(std::sqrt(static_cast<double>(s)) * 1e6) / 1e6;
        table.push_back({dx, dy, dz, d});
      }
  std::sort(table.begin(), table.end(), [](const grid_neighbour_t& a, const grid_neighbour_t& b) {
    if (a.d != b.d) return a.d < b.d;
    if (a.dx != b.dx) return a.dx < b.dx;
    if (a.dy != b.dy) return a.dy < b.dy;
    return a.dz < b.dz;
  });
  return table;
}

wxString range_label(int e) {
  switch (e) {
    case -2: return "Search range (x100 mm)";
    case -1: return "Search range (x10 mm)";
    case 0: return "Search range (mm)";
    case 1: return "Search range (x0.1 mm)";
    case 2: return "Search range (x0.01 mm)";
    default:
      return e < 0 ? wxString::Format("Search range (x10^%d mm)", -e)
                   : wxString::Format("Search range (x10^-%d mm)", e);
  }
}

// The largest slider value for a scale q: about 7.07 cell edges.
int32_t slider_span(double q, double cell) {
  return static_cast<int32_t>(std::min(q * cell * kSliderSpan, 1e9));
}

}  // namespace

const std::vector<grid_neighbour_t>& grid_neighbour_table() {
  static const std::vector<grid_neighbour_t> table = make_neighbour_table();
  return table;
}

void fit_model::build_search_grid() {
  // The cells are made at the first grid, not with every resource table.
  if (grid_.empty()) grid_.resize(static_cast<size_t>(kGridSide) * kGridSide * kGridSide);
  for (std::vector<int32_t>& cell : grid_) cell.clear();
  const vec3_t e = data.box_max - data.box_min;
  grid_cell = std::max({e.x, e.y, e.z, -1.0}) / kGridSide;
  // Non-finite data have no extent to grid.
  if (!std::isfinite(grid_cell) || grid_cell <= 0.0) {
    grid_cell = 0.0;
    return;
  }
  int exponent = -10;
  double q = 1e-10;
  int32_t d = slider_span(q, grid_cell);
  // The scale stops at 1e30 whatever the extent, so that the loop ends.
  while (d < 50 && exponent < 30) {
    q *= 10.0;
    ++exponent;
    d = slider_span(q, grid_cell);
  }
  range_divisor = q;
  page.search_range_label = range_label(exponent);
  page.search_range_max = d;
  if (page.search_range > d) page.search_range = d;

  const std::vector<vec3_t>& pts = data.active_points();
  const size_t n = std::min(pts.size(), static_cast<size_t>(std::max(0, data.point_count)));
  auto index = [&](double v, double lo) {
    const double c = std::trunc((v - lo) / grid_cell);
    return static_cast<int32_t>(std::clamp(c, 0.0, static_cast<double>(kGridSide - 1)));
  };
  for (size_t i = 0; i < n; ++i) {
    const vec3_t& p = pts[i];
    const size_t cell = static_cast<size_t>(index(p.x, data.box_min.x)) * 10000 +
                        static_cast<size_t>(index(p.y, data.box_min.y)) * 100 +
                        index(p.z, data.box_min.z);
    grid_[cell].push_back(static_cast<int32_t>(i));
  }
}

void fit_model::find_correspondences() {
  const matrix4_t& m = registration;
  matrix4_t rotation = registration;
  rotation[12] = rotation[13] = rotation[14] = 0.0;
  const double range = page.search_range / range_divisor;
  const double r2 = range * range;
  const size_t count = std::min(model.points.size(), static_cast<size_t>(std::max(0, model.point_count)));
  model.match_index.resize(count, 0);
  model.match_distance2.resize(count, kNoMatch);
  const std::vector<vec3_t>& pts = data.active_points();
  const size_t data_count = std::min(pts.size(), static_cast<size_t>(std::max(0, data.point_count)));
  const std::vector<grid_neighbour_t>& table = grid_neighbour_table();

  for (size_t i = 0; i < count; ++i) {
    vec3_t p, n;
    matrix4_transform_point(p, m, model.points[i]);
    if (i < model.normals.size()) {
      matrix4_transform_point(n, rotation, model.normals[i]);
      if (vec3_length(n) != 0.0) n = vec3_normalise(n);
    }
    double& best = model.match_distance2[i];
    best = kNoMatch;
    if (grid_cell == 0.0) continue;
    // The vertex's cell, not clamped: a vertex outside the data's box
    // searches from outside. One farther than the table reaches from any
    // cell of the grid visits nothing, and is left unmatched without
    // converting an out-of-range value.
    const double cx = std::trunc((p.x - data.box_min.x) / grid_cell);
    const double cy = std::trunc((p.y - data.box_min.y) / grid_cell);
    const double cz = std::trunc((p.z - data.box_min.z) / grid_cell);
    const double lo = -kReach - 2.0, hi = kGridSide + kReach + 1.0;
    if (!(cx >= lo && cx <= hi && cy >= lo && cy <= hi && cz >= lo && cz <= hi)) continue;
    const int32_t ix = static_cast<int32_t>(cx), iy = static_cast<int32_t>(cy),
                  iz = static_cast<int32_t>(cz);
    for (const grid_neighbour_t& t : table) {
      const double s = (grid_cell * t.d) * (grid_cell * t.d);
      if (s > r2) {
        // The best candidate lies beyond the first ring outside the range.
        if (s < best) best = kNoMatch;
        break;
      }
      if (s > best) break;
      const int32_t x = ix + t.dx, y = iy + t.dy, z = iz + t.dz;
      if (x < 0 || y < 0 || z < 0 || x >= kGridSide || y >= kGridSide || z >= kGridSide) continue;
      for (int32_t j : grid_cell_points(x, y, z)) {
        if (static_cast<size_t>(j) >= data_count) continue;
        const vec3_t d = p - pts[j];
        const double dist2 = vec3_dot(d, d);
        const vec3_t dn = static_cast<size_t>(j) < data.normals.size() ? data.normals[j] : vec3_t{};
        if (dist2 < best && vec3_dot(n, dn) >= 0.0) {
          best = dist2;
          model.match_index[i] = j;
        }
      }
    }
  }
  model.match_range2 = r2 + 1e-8;
}

void fit_model::update_search_grid(bool set_to_maximum) {
  model.match_range2 = -1.0;
  if (data.point_count > 0) {
    data.active_is_loaded = true;
    compute_bounds(data);
    build_search_grid();
    if (set_to_maximum) page.search_range = page.search_range_max;
    find_correspondences();
  }
  if (!resource_table) return;
  // Writing the model's surface again makes the views redraw.
  auto* surface = resource_table->RES_SURFACE[200];
  surface->write_no_changeprocs(surface->read());
  base_res_t::make_pending_writes_happen();
}
