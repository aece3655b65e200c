// Vertex normals, their averaging, smoothing of positions along the
// normals, and the open edges of a mesh.
#include <algorithm>
#include <cmath>
#include <vector>

#include "surfaces/surface_interp.h"

namespace {

vec3_t pos(const surface_point& p) { return {p.x, p.y, p.z}; }
vec3_t nrm(const surface_point& p) { return {p.nx, p.ny, p.nz}; }
void set_nrm(surface_point& p, const vec3_t& n) { p.nx = n.x, p.ny = n.y, p.nz = n.z; }

}  // namespace

void surface_interp::compute_normals() {
  surface_mesh& m = mesh;
  if (!m.points || !m.triangles) return;
  std::vector<vec3_t> sum(size_t(m.n_points));
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    const surface_triangle& t = m.triangles[i];
    const vec3_t a = pos(m.points[t.a]), b = pos(m.points[t.b]), c = pos(m.points[t.c]);
    const vec3_t n = vec3_normalise(vec3_cross(b - a, c - b));
    sum[t.a] += n;
    sum[t.b] += n;
    sum[t.c] += n;
  }
  for (int32_t i = 0; i < m.n_points; ++i) set_nrm(m.points[i], vec3_normalise(sum[i]));
}

void surface_interp::smooth_normals(int passes) {
  surface_mesh& m = mesh;
  if (!m.points || !m.triangles) return;
  std::vector<vec3_t> sum(size_t(m.n_points));
  for (int pass = 0; pass < passes; ++pass) {
    for (int32_t i = 0; i < m.n_points; ++i) sum[i] = nrm(m.points[i]) * 2.0;
    for (int32_t i = 0; i < m.n_triangles; ++i) {
      const surface_triangle& t = m.triangles[i];
      const vec3_t a = nrm(m.points[t.a]), b = nrm(m.points[t.b]), c = nrm(m.points[t.c]);
      sum[t.a] += b + c;
      sum[t.b] += a + c;
      sum[t.c] += a + b;
    }
    for (int32_t i = 0; i < m.n_points; ++i)
      if (m.points[i].type != POINT_RIM && m.points[i].type != POINT_DUPLICATE)
        set_nrm(m.points[i], vec3_normalise(sum[i]));
  }
}

void surface_interp::smooth_surface(int passes) {
  surface_mesh& m = mesh;
  if (!m.points || !m.triangles || passes <= 0) return;
  const size_t n = size_t(m.n_points);
  const bool with_errors = fit_error.size() == n && n > 0;
  std::vector<double> weight(n, 1.0), disp(n), wsum(n);
  std::vector<int> count(n);
  if (with_errors)
    for (size_t i = 0; i < n; ++i) {
      const double e = fit_error[i];
      weight[i] = (e == 1e10 || e == 0.0) ? 0.0 : 1.0 / (e * e);
    }

  // Normal of the rim polygon, from the positions before the first pass.
  vec3_t rim_normal{0, 0, 1};
  {
    vec3_t sum;
    int32_t first = -1, previous = -1;
    for (int32_t i = 0; i < m.n_points; ++i) {
      if (m.points[i].type != POINT_RIM) continue;
      if (first >= 0) sum += vec3_cross(pos(m.points[i]), pos(m.points[previous]));
      if (vec3_length(sum) == 0.0) first = i;  // (re)starts the polygon
      previous = i;
    }
    if (vec3_length(sum) != 0.0) {
      sum += vec3_cross(pos(m.points[first]), pos(m.points[previous]));
      if (vec3_length(sum) != 0.0) rim_normal = vec3_normalise(sum);
    }
  }

  std::vector<int32_t> tri_list, vert_list, next_tris, next_verts;
  struct smoothing_edge {
    int32_t p, q;
    bool moves_p, moves_q;
    vec3_t mid;  // unit mean of the ends' normals
  };
  std::vector<smoothing_edge> passes_edges;
  if (!with_errors) {
    // Normals and types stay as they are while the positions move: each
    // edge's mean normal and the ends it moves, the edge count of each
    // vertex and the vertices that move are worked out once; the passes run
    // over a compact copy of the positions, with the same sums in the same
    // order as one pass at a time over the points.
    passes_edges.reserve(size_t(m.n_triangles) * 3);
    for (int32_t ti = 0; ti < m.n_triangles; ++ti) {
      const surface_triangle& t = m.triangles[ti];
      const int32_t edges[3][2] = {{t.a, t.b}, {t.a, t.c}, {t.b, t.c}};
      for (const auto& e : edges) {
        const surface_point &p = m.points[e[0]], &q = m.points[e[1]];
        if (vec3_dot(nrm(p), nrm(q)) <= -0.99) continue;
        const bool moves_p = p.type == 3 || p.type == 4 || p.type == q.type;
        const bool moves_q = q.type == 3 || q.type == 4 || q.type == p.type;
        if (!moves_p && !moves_q) continue;
        passes_edges.push_back({e[0], e[1], moves_p, moves_q, vec3_normalise(nrm(p) + nrm(q))});
        if (moves_p) ++count[size_t(e[0])];
        if (moves_q) ++count[size_t(e[1])];
      }
    }
    std::vector<vec3_t> at(n);
    for (size_t i = 0; i < n; ++i) at[i] = pos(m.points[i]);
    std::vector<int32_t> moving;
    for (int32_t i = 0; i < m.n_points; ++i) {
      const surface_point& p = m.points[i];
      if (count[size_t(i)] > 0 && p.type != POINT_DUPLICATE &&
          !(p.type == POINT_RIM && source_object == -1))
        moving.push_back(i);
    }
    for (int pass = 0; pass < passes; ++pass) {
      std::fill(disp.begin(), disp.end(), 0.0);
      for (const smoothing_edge& e : passes_edges) {
        const vec3_t &p = at[size_t(e.p)], &q = at[size_t(e.q)];
        if (e.moves_p) disp[size_t(e.p)] += 0.5 * vec3_dot(q - p, e.mid);
        if (e.moves_q) disp[size_t(e.q)] += 0.5 * vec3_dot(p - q, e.mid);
      }
      for (int32_t i : moving) {
        const surface_point& p = m.points[i];
        vec3_t move = nrm(p) * (disp[size_t(i)] / count[size_t(i)]);
        if (p.type == POINT_RIM) move = move - rim_normal * vec3_dot(move, rim_normal);
        vec3_t& a = at[size_t(i)];
        a.x += move.x, a.y += move.y, a.z += move.z;
      }
    }
    for (int32_t i : moving) {
      surface_point& p = m.points[i];
      p.x = at[size_t(i)].x, p.y = at[size_t(i)].y, p.z = at[size_t(i)].z;
    }
    return;
  }
  int counter = 0, remembered = 0;
  while (counter < passes) {
    const bool fill = with_errors && counter == 0;
    std::fill(disp.begin(), disp.end(), 0.0);
    std::fill(wsum.begin(), wsum.end(), 0.0);
    std::fill(count.begin(), count.end(), 0);
    next_tris.clear();
    next_verts.clear();

    auto visit_triangle = [&](int32_t ti) {
      const surface_triangle& t = m.triangles[ti];
      if (fill) {
        if (weight[t.a] != 0.0 && weight[t.b] != 0.0 && weight[t.c] != 0.0) return;
        next_tris.push_back(ti);
      }
      const int32_t edges[3][2] = {{t.a, t.b}, {t.a, t.c}, {t.b, t.c}};
      for (const auto& e : edges) {
        const int32_t P = e[0], Q = e[1];
        const double W = weight[P] + weight[Q];
        const surface_point &p = m.points[P], &q = m.points[Q];
        if (W <= 0 || vec3_dot(nrm(p), nrm(q)) <= -0.99) continue;
        vec3_t mid = nrm(p) + nrm(q);
        mid = vec3_normalise(mid);
        const double d = vec3_dot(pos(q) - pos(p), mid);
        // Without fit errors every weight is 1 and each share exactly a half.
        if (p.type == 3 || p.type == 4 || p.type == q.type) {
          disp[P] += (with_errors ? weight[Q] / W : 0.5) * d;
          wsum[P] += W;
          ++count[P];
        }
        if (q.type == 3 || q.type == 4 || q.type == p.type) {
          disp[Q] += (with_errors ? weight[P] / W : 0.5) * vec3_dot(pos(p) - pos(q), mid);
          wsum[Q] += W;
          ++count[Q];
        }
      }
    };
    if (fill && !tri_list.empty()) {
      for (int32_t ti : tri_list) visit_triangle(ti);
    } else {
      for (int32_t ti = 0; ti < m.n_triangles; ++ti) visit_triangle(ti);
    }

    int without_data = 0;
    std::vector<vec3_t> moves;
    auto visit_vertex = [&](int32_t i) {
      if (fill) {
        if (weight[i] != 0.0) return;
        next_verts.push_back(i);
      }
      if (with_errors) weight[i] = count[i] ? wsum[i] / count[i] : 0.0;
      surface_point& p = m.points[i];
      if (wsum[i] > 0 && p.type != POINT_DUPLICATE && count[i] > 0) {
        vec3_t move = nrm(p) * (disp[i] / count[i]);
        bool moves_now = true;
        if (p.type == POINT_RIM) {
          if (source_object == -1)
            moves_now = false;
          else
            move = move - rim_normal * vec3_dot(move, rim_normal);
        }
        if (moves_now) p.x += move.x, p.y += move.y, p.z += move.z;
      }
      if (fill && weight[i] == 0.0) ++without_data;
    };
    if (fill && !vert_list.empty())
      for (int32_t i : vert_list) visit_vertex(i);
    else
      for (int32_t i = 0; i < m.n_points; ++i) visit_vertex(i);

    if (fill && without_data > 0 && without_data != remembered) {
      remembered = without_data;
      tri_list.swap(next_tris);
      vert_list.swap(next_verts);
      continue;
    }
    ++counter;
  }
  if (with_errors)
    for (size_t i = 0; i < n; ++i) fit_error[i] = weight[i] > 0 ? 1.0 / std::sqrt(weight[i]) : 1e10;
}

void surface_interp::find_boundary_loops(std::vector<std::vector<int32_t>>& loops,
                                         bool first_half_only) {
  loops.clear();
  surface_mesh& m = mesh;
  if (!m.points || !m.triangles) return;
  const int32_t np = first_half_only ? m.n_points / 2 : m.n_points;
  const int32_t nt = first_half_only ? m.n_triangles / 2 : m.n_triangles;
  std::vector<std::vector<int32_t>> out(static_cast<size_t>(np));
  auto open_type = [&](int32_t v) { return m.points[v].type == 1 || m.points[v].type == 4; };
  for (int32_t i = 0; i < nt; ++i) {
    const surface_triangle& t = m.triangles[i];
    const int32_t e[3][2] = {{t.a, t.b}, {t.b, t.c}, {t.c, t.a}};
    for (const auto& d : e) {
      const int32_t P = d[0], Q = d[1];
      if (P >= np || Q >= np || !open_type(P) || !open_type(Q)) continue;
      auto it = std::find(out[Q].begin(), out[Q].end(), P);
      if (it != out[Q].end())
        out[Q].erase(it);
      else
        out[P].push_back(Q);
    }
  }
  for (int32_t v = 0; v < np; ++v) {
    if (out[v].empty()) continue;
    std::vector<int32_t> loop{v};
    int32_t at = out[v].front();
    out[v].clear();
    while (!out[at].empty()) {
      loop.push_back(at);
      const int32_t next = out[at].front();
      out[at].clear();
      at = next;
    }
    if (loop.size() >= 3) loops.push_back(std::move(loop));
  }
}

void surface_interp::mark_boundary_vertices() {
  surface_mesh& m = mesh;
  if (!m.points || !m.triangles) return;
  std::vector<std::vector<int32_t>> odd(static_cast<size_t>(m.n_points));
  auto toggle = [&](int32_t v, int32_t w) {
    auto it = std::find(odd[v].begin(), odd[v].end(), w);
    if (it != odd[v].end())
      odd[v].erase(it);
    else
      odd[v].push_back(w);
  };
  for (int32_t i = 0; i < m.n_triangles; ++i) {
    const surface_triangle& t = m.triangles[i];
    toggle(t.a, t.b), toggle(t.a, t.c);
    toggle(t.b, t.a), toggle(t.b, t.c);
    toggle(t.c, t.b), toggle(t.c, t.a);
  }
  for (int32_t v = 0; v < m.n_points; ++v)
    if (!odd[v].empty() && m.points[v].type == POINT_ORDINARY) m.points[v].type = POINT_BOUNDARY;
}
