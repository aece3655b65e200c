// Building the bin grid and walking its bins along a line or in shells
// around a point.
#include "surfaces/bin_grid.h"

#include <algorithm>
#include <cmath>

#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"

namespace {

constexpr double FAR_AWAY = 1e10;
// More bins than the largest regular grid (150^3) only come from degenerate
// boxes, such as a long flat mesh whose bin size fell back to 1.
constexpr double MAX_BINS = 4.0e6;

bool usable(const surface_mesh* m) {
  return m && m->n_points > 0 && m->n_triangles > 0 && m->points && m->triangles;
}

double axis(const vec3_t& v, int a) { return a == 0 ? v.x : a == 1 ? v.y : v.z; }

// floor(v) as an index in 0..n-1; v may be far outside or not finite.
int clamp_index(double v, int n) {
  if (!(v >= 0.0)) return 0;
  if (v >= double(n - 1)) return n - 1;
  return int(v);
}

}  // namespace

bin_grid::bin_grid(surface_mesh* mesh, bool skip_type2) {
  if (!usable(mesh)) return;
  meshes.push_back(mesh);
  build(skip_type2);
}

bin_grid::bin_grid(int object, bool skip_type2) {
  if (!resource_table) return;
  const resource_table_t& t = *resource_table;
  auto mesh_of = [&](int i) -> surface_mesh* {
    surface_interp* s = t.RES_SURFACE[i] ? t.RES_SURFACE[i]->read() : nullptr;
    return s && usable(s->get_mesh()) ? s->get_mesh() : nullptr;
  };
  if (object >= 0 && object <= 199) {
    if (surface_mesh* m = mesh_of(object)) meshes.push_back(m);
  } else if (object == -2) {
    const long last = std::min<long>(t.CURRENT_MAX_OBJECTS->read(), 200);
    for (int i = 0; i < last; ++i)
      if (surface_mesh* m = mesh_of(i)) meshes.push_back(m);
  }
  if (!meshes.empty()) build(skip_type2);
}

void bin_grid::clear() {
  bins.clear();
  bins.shrink_to_fit();
  meshes.clear();
  meshes.shrink_to_fit();
  bin_size = 1.0;
  max_edge = 0.0;
  bin_count = bins_x = bins_y = bins_z = 0;
  cell_reach_ = 0.0;
}

void bin_grid::build(bool skip_type2) {
  bins.clear();
  bin_count = bins_x = bins_y = bins_z = 0;
  max_edge = 0.0;
  // Entries tell at most 256 meshes apart.
  if (meshes.size() > 256) meshes.resize(256);
  vec3_t lo{FAR_AWAY, FAR_AWAY, FAR_AWAY}, hi{-FAR_AWAY, -FAR_AWAY, -FAR_AWAY};
  double triangles = 0.0;
  bool any = false;
  for (const surface_mesh* m : meshes) {
    if (!usable(m)) continue;
    for (int32_t i = 0; i < m->n_points; ++i) {
      const surface_point& p = m->points[i];
      lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
      any = true;
    }
    triangles += m->n_triangles;
  }
  if (!any) return;
  origin = lo;
  const double dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;

  int e = int(std::sqrt(triangles) / 20.0 + 0.5);
  e = std::min(150, std::max(1, e));
  if (e == 1)
    bin_size = (dx > dy && dx > dz) ? dx : (dy > dz ? dy : dz);
  else
    bin_size = std::cbrt(dx * dy * dz / (double(e) * e * e));
  if (bin_size == 0.0) bin_size = 1.0;
  // Every axis keeps at least one bin, so that a flat or tiny mesh still has
  // a cell to clamp its centroids into.
  auto count = [this](double d) { return std::max(1.0, std::trunc(d / bin_size + 0.5)); };
  double total = count(dx) * count(dy) * count(dz);
  if (total > MAX_BINS) bin_size *= std::cbrt(total / MAX_BINS) * 1.001;
  bins_x = int32_t(count(dx));
  bins_y = int32_t(count(dy));
  bins_z = int32_t(count(dz));
  bin_count = bins_x * bins_y * bins_z;
  bins.resize(size_t(bin_count));
  extent_ = {dx / bin_size, dy / bin_size, dz / bin_size};
  const double ox = 0.5 + std::max(0.0, extent_.x - bins_x);
  const double oy = 0.5 + std::max(0.0, extent_.y - bins_y);
  const double oz = 0.5 + std::max(0.0, extent_.z - bins_z);
  cell_reach_ = std::sqrt(ox * ox + oy * oy + oz * oz);

  const bool single = meshes.size() == 1;
  double longest = 0.0;
  for (size_t i = 0; i < meshes.size(); ++i) {
    const surface_mesh* m = meshes[i];
    if (!usable(m)) continue;
    for (int32_t j = 0; j < m->n_triangles; ++j) {
      const surface_triangle& tr = m->triangles[j];
      if (skip_type2 && tr.type == 2) continue;
      if (tr.a < 0 || tr.b < 0 || tr.c < 0 || tr.a >= m->n_points || tr.b >= m->n_points ||
          tr.c >= m->n_points)
        continue;  // a broken index would be read by every query
      if (!single && j >= (1 << 24)) break;  // beyond what an entry can hold
      const surface_point &a = m->points[tr.a], &b = m->points[tr.b], &c = m->points[tr.c];
      const vec3_t g = to_grid(vec3_t{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3,
                                      (a.z + b.z + c.z) / 3});
      const int ix = clamp_index(g.x, bins_x), iy = clamp_index(g.y, bins_y),
                iz = clamp_index(g.z, bins_z);
      const int32_t entry = single ? j : int32_t((uint32_t(j) << 8) + uint32_t(i & 255));
      bins[size_t(ix) + size_t(bins_x) * (size_t(iy) + size_t(bins_y) * iz)].push_back(entry);
      auto sq = [](const surface_point& p, const surface_point& q) {
        return (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z);
      };
      longest = std::max({longest, sq(a, b), sq(a, c), sq(b, c)});
    }
  }
  if (longest > 0.0) max_edge = std::sqrt(longest);
}

void bin_grid::clip_to_grid_sphere(const vec3_t& g, double& near_r, double& far_r) const {
  if (bins.empty()) {
    near_r = far_r = FAR_AWAY;
    return;
  }
  const vec3_t c{bins_x / 2.0, bins_y / 2.0, bins_z / 2.0};
  const double rho = vec3_length(c), d = vec3_length(g - c);
  if (d > rho && near_r < d - rho) near_r = d - rho;
  if (d + rho < far_r) far_r = d + rho;
}

double bin_grid::bin_distance(const vec3_t& point, int32_t bin) const {
  if (bins.empty() || bin < 0 || bin >= bin_count) return FAR_AWAY;
  const int ix = bin % bins_x, iy = (bin / bins_x) % bins_y, iz = bin / (bins_x * bins_y);
  const vec3_t g = to_grid(point);
  // The last cell of an axis reaches to the box's end.
  auto gap = [](double v, int i, int n, double extent) {
    const double lo = i, hi = (i == n - 1) ? std::max(double(n), extent) : i + 1.0;
    return v < lo ? lo - v : (v > hi ? v - hi : 0.0);
  };
  const double fx = gap(g.x, ix, bins_x, extent_.x), fy = gap(g.y, iy, bins_y, extent_.y),
               fz = gap(g.z, iz, bins_z, extent_.z);
  const double d = std::sqrt(fx * fx + fy * fy + fz * fz);
  return std::max(0.0, bin_size * d - (2.0 / 3.0) * max_edge);
}

void bin_grid::bins_along_line(const vec3_t& point, const vec3_t& u, double max_distance,
                               std::vector<int32_t>& out) const {
  out.clear();
  if (bins.empty()) return;
  if (bin_count == 1) {
    out.push_back(0);
    return;
  }
  const vec3_t g = to_grid(point);
  const double r = cell_reach_ + (2.0 / 3.0) * max_edge / bin_size;
  double L = max_distance > 0.0 ? max_distance / bin_size + r : FAR_AWAY, near_r = 0.0;
  clip_to_grid_sphere(g, near_r, L);

  const double au = std::fabs(u.x), av = std::fabs(u.y), aw = std::fabs(u.z);
  const int a = (au > av && au > aw) ? 0 : (av > aw ? 1 : 2);
  const int b = (a + 1) % 3, c = (a + 2) % 3;
  const int n[3] = {bins_x, bins_y, bins_z};
  const double ua = axis(u, a);
  if (ua == 0.0) return;  // no direction
  const double s = axis(g, a);
  const double first = std::max(0.0, std::floor(s - L)), last = std::min(n[a] - 1.0, std::floor(s + L));
  if (last < first) return;
  const int lo = int(first), hi = int(last);
  const int start = std::min(hi, std::max(lo, clamp_index(s, n[a])));
  const double w = r / std::fabs(ua);

  auto visit = [&](int k) {
    const double lambda = (k - s) / ua;
    const double pb = axis(g, b) + lambda * axis(u, b), pc = axis(g, c) + lambda * axis(u, c);
    // One cell more on each side than the window needs: the exact test below decides.
    const int b0 = clamp_index(std::floor(pb - w) - 1.0, n[b]), b1 = clamp_index(pb + w + 1.0, n[b]);
    const int c0 = clamp_index(std::floor(pc - w) - 1.0, n[c]), c1 = clamp_index(pc + w + 1.0, n[c]);
    int idx[3];
    idx[a] = k;
    for (int j = c0; j <= c1; ++j)
      for (int i = b0; i <= b1; ++i) {
        idx[b] = i;
        idx[c] = j;
        const vec3_t v{g.x - (idx[0] + 0.5), g.y - (idx[1] + 0.5), g.z - (idx[2] + 0.5)};
        const double vu = vec3_dot(v, u);
        if (std::fabs(vu) > L || vec3_dot(v, v) - vu * vu > r * r) continue;
        const int32_t bin = idx[0] + bins_x * (idx[1] + bins_y * idx[2]);
        if (!bins[size_t(bin)].empty()) out.push_back(bin);
      }
  };
  visit(start);
  for (int up = start + 1, down = start - 1; up <= hi || down >= lo; ++up, --down) {
    if (up <= hi) visit(up);
    if (down >= lo) visit(down);
  }
}

void bin_grid::bins_around_point(const vec3_t& point, double inner, double outer,
                                 std::vector<int32_t>& out, bool first_shell_only) const {
  out.clear();
  if (bins.empty()) return;
  if (bin_count == 1) {
    out.push_back(0);
    return;
  }
  const vec3_t g = to_grid(point);
  const double m = cell_reach_ + (2.0 / 3.0) * max_edge / bin_size;
  double r0 = std::max(0.0, inner / bin_size - m), R = outer / bin_size + m;
  clip_to_grid_sphere(g, r0, R);
  if (R <= r0) return;
  double r1 = (R <= r0 + 0.5 || inner < 0.0) ? R : r0 + 0.5;
  // A bin whose centre lies at D holds triangles between D - m and D + m
  // away, so the nearest one lies within t + m of the point; bins beyond
  // t + 2m cannot beat it.
  const double window = 2.0 * m;
  double t = FAR_AWAY;

  auto take = [&](int ix, int iy, int iz, double D) {
    const int32_t bin = ix + bins_x * (iy + bins_y * iz);
    if (bins[size_t(bin)].empty() || D - t > window) return;
    out.push_back(bin);
    t = std::min(t, D);
  };
  for (;;) {
    const bool small = r1 <= 1.0;
    const int z0 = clamp_index(std::floor(g.z - r1 - 0.5), bins_z), z1 = clamp_index(g.z + r1, bins_z);
    for (int iz = z0; iz <= z1; ++iz) {
      const double ez = iz + 0.5 - g.z;
      const double rz = r1 * r1 - ez * ez;
      if (rz < 0.0) continue;
      const double hy = std::sqrt(rz);
      const int y0 = clamp_index(std::floor(g.y - hy - 0.5), bins_y), y1 = clamp_index(g.y + hy, bins_y);
      for (int iy = y0; iy <= y1; ++iy) {
        const double ey = iy + 0.5 - g.y;
        const double ry = rz - ey * ey;
        if (ry < 0.0) continue;
        const double hx = std::sqrt(ry);
        const double inner_sq = r0 * r0 - ez * ez - ey * ey;
        // The row's chord, less its part inside the inner sphere.
        const double hole = inner_sq > 0.0 ? std::sqrt(inner_sq) : -1.0;
        auto run = [&](double from, double to) {
          const int x0 = clamp_index(std::floor(from - 0.5), bins_x), x1 = clamp_index(to, bins_x);
          for (int ix = x0; ix <= x1; ++ix) {
            const double ex = ix + 0.5 - g.x;
            const double D = std::sqrt(ex * ex + ey * ey + ez * ez);
            if (D < r0 || D > r1 || (small && D >= r1)) continue;
            take(ix, iy, iz, D);
          }
        };
        if (hole < 2.0 || hole + 1.0 >= hx) {
          run(g.x - hx, g.x + hx);
        } else {
          run(g.x - hx, g.x - hole + 1.0);
          run(g.x + hole - 1.0, g.x + hx);
        }
      }
    }
    if (first_shell_only && t < FAR_AWAY) break;
    if (r1 - t >= window || R <= r1) break;
    r0 = r1;
    r1 = std::min(R, r1 + 0.5);
  }
}
