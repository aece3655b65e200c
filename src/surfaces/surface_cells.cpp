// Points and triangles from the crossings of the lattice: each completed
// node makes the points of the crossings it owns, the first and last layers
// are closed by caps, and the tetrahedra around each node become triangles.
#include <algorithm>
#include <cstdlib>
#include <new>

#include <wx/log.h>

#include "surfaces/surface_interp.h"

namespace {

// Neighbour of edge e: offset in x and j; layer -1 previous, 0 own, +1 next.
struct lattice_edge {
  int dx, dj, layer;
};
constexpr lattice_edge EDGES[14] = {
    {1, -1, 0}, {0, -2, 0}, {-1, -1, 0}, {1, 0, -1}, {0, -1, -1}, {-1, 0, -1}, {0, 1, -1},
    {-1, 1, 0}, {0, 2, 0},  {1, 1, 0},   {-1, 0, 1}, {0, 1, 1},   {1, 0, 1},   {0, -1, 1},
};
constexpr uint16_t IN_LAYER_EDGES = 0x387;
constexpr uint16_t ALL_EDGES = 0x3FFF;

// Edges whose neighbours are lattice neighbours of each other.
constexpr uint16_t bits(std::initializer_list<int> list) {
  uint16_t b = 0;
  for (int e : list) b = uint16_t(b | (1u << e));
  return b;
}
const uint16_t ADJACENT[14] = {
    bits({1, 3, 4, 9, 12, 13}), bits({0, 2, 4, 13}),        bits({1, 4, 5, 7, 10, 13}),
    bits({0, 4, 6, 9}),         bits({0, 1, 2, 3, 5, 6}),   bits({2, 4, 6, 7}),
    bits({3, 4, 5, 7, 8, 9}),   bits({2, 5, 6, 8, 10, 11}), bits({6, 7, 9, 11}),
    bits({0, 3, 6, 8, 11, 12}), bits({2, 7, 11, 13}),       bits({7, 8, 9, 10, 12, 13}),
    bits({0, 9, 11, 13}),       bits({0, 1, 2, 10, 11, 12}),
};

int lowest_bit(uint16_t m) { return m ? __builtin_ctz(m) : -1; }

int bit_count(uint16_t m) {
  int n = 0;
  for (; m; m = uint16_t(m & (m - 1))) ++n;
  return n;
}

// The edges of set reachable from start under the adjacency.
uint16_t grow_group(uint16_t set, int start) {
  uint16_t group = uint16_t(1u << start), frontier = group;
  while (frontier) {
    const int e = lowest_bit(frontier);
    frontier = uint16_t(frontier & ~(1u << e));
    const uint16_t add = uint16_t(ADJACENT[e] & set & ~group);
    group |= add;
    frontier |= add;
  }
  return group;
}

}  // namespace

int32_t* surface_interp::edge_slot(int x, int j, int edge) {
  if (edge < 7) return in_grid(x, j) ? &node(x, j).edge_points[edge] : nullptr;
  const int nx = x + EDGES[edge].dx, nj = j + EDGES[edge].dj;
  return in_grid(nx, nj) ? &node(nx, nj).edge_points[edge - 7] : nullptr;
}

int16_t surface_interp::edge_value(int x, int j, int edge) const {
  const interp_node_t& M = node(x + EDGES[edge].dx, j + EDGES[edge].dj);
  return EDGES[edge].layer < 0 ? M.previous_value : M.value;
}

vec3_t surface_interp::crossing_point(int x, int j, int edge) const {
  const interp_node_t& X = node(x, j);
  const interp_node_t& M = node(x + EDGES[edge].dx, j + EDGES[edge].dj);
  const bool prev = EDGES[edge].layer < 0;
  const double vx = X.value, vn = prev ? M.previous_value : M.value;
  const vec3_t& pn = prev ? M.previous_position : M.position;
  const double q = vx == vn ? 0.5 : vx / (vx - vn);
  return X.position * (1 - q) + pn * q;
}

int32_t surface_interp::new_point(const surface_point& p) {
  if (point_count >= int32_t(point_chunks.size()) * point_chunk) {
    try {
      point_chunks.emplace_back(new surface_point[size_t(point_chunk)]);
    } catch (const std::bad_alloc&) {
      wxLogError("Surface interp: Not enough room for point list.");
      std::exit(1);
    }
  }
  point_at(point_count) = p;
  return point_count++;
}

int surface_interp::add_triangle(int32_t a, int32_t b, int32_t c, int32_t type, bool reverse) {
  if (a == b || b == c || a == c) return 0;
  // A slot never written would name no point: such a triangle is dropped
  // rather than indexing beyond the list.
  if (a < 0 || b < 0 || c < 0 || a >= point_count || b >= point_count || c >= point_count)
    return 0;
  if (reverse) std::swap(a, c);
  if (triangle_count >= int32_t(triangle_chunks.size()) * triangle_chunk) {
    try {
      triangle_chunks.emplace_back(new surface_triangle[size_t(triangle_chunk)]);
    } catch (const std::bad_alloc&) {
      wxLogError("Not enough memory for the triangles of the surface.");
      return 1;
    }
  }
  triangle_at(triangle_count++) = surface_triangle{a, b, c, type};
  return 0;
}

namespace {

vec3_t cap_normal(const surface_interp& s, int x, int j, int kind, const vec3_t& n) {
  if (kind == 3) return s.node(x, j).orientation == 1 ? n : n * -1.0;
  if (kind == 0) {
    // The node before X in its row belongs to the following layer and has the
    // slab's real orientation; at the row's start its other neighbour does.
    int o;
    if (x > 0)
      o = s.node(x - 1, j).orientation;
    else if (s.grid_nx > 1)
      o = s.node(x + 1, j).orientation;
    else
      o = s.node(x, j).orientation;
    return o < 0 ? n : n * -1.0;
  }
  return n;
}

surface_point make_point(const vec3_t& at, int32_t type, const vec3_t& normal = vec3_t()) {
  surface_point p;
  p.x = at.x, p.y = at.y, p.z = at.z;
  p.nx = normal.x, p.ny = normal.y, p.nz = normal.z;
  p.type = type;
  return p;
}

}  // namespace

void surface_interp::make_cap_point(int x, int j, int kind, const vec3_t& n) {
  interp_node_t& X = node(x, j);
  if (X.value >= 0 && (kind == 0 || kind == 3))
    X.point = new_point(make_point(X.position, POINT_DUPLICATE, cap_normal(*this, x, j, kind, n)));
}

void surface_interp::make_edge_points(int x, int j, int kind, const vec3_t& n) {
  interp_node_t& X = node(x, j);
  const uint16_t C = X.crossings & ALL_EDGES;
  if (!C) {
    make_cap_point(x, j, kind, n);
    return;
  }
  const bool cap_layer = kind == 0 || kind == 3;
  const vec3_t normal = cap_normal(*this, x, j, kind, n);
  const uint16_t U = uint16_t(ALL_EDGES & ~C);

  bool per_edge = C == ALL_EDGES || (X.orientation != 1 && X.orientation != -1) ||
                  bit_count(U) < 3 || grow_group(U, lowest_bit(U)) != U;
  uint16_t groups[14];
  int group_count = 0;
  if (!per_edge) {
    for (uint16_t left = C; left;) {
      groups[group_count] = grow_group(left, lowest_bit(left));
      left = uint16_t(left & ~groups[group_count++]);
    }
    if (group_count == 1) {
      // A single group that wraps round an uncrossed pair whose neighbours lie
      // nearer the surface than the pair's completing edges: keep the points apart.
      // Uncrossed adjacent pairs (a, b), a < b, in ascending order.
      for (uint16_t as = U; as && !per_edge; as = uint16_t(as & (as - 1))) {
        const int a = lowest_bit(as);
        for (uint16_t bs = uint16_t(ADJACENT[a] & U & ~((2u << a) - 1)); bs && !per_edge;
             bs = uint16_t(bs & (bs - 1))) {
          const int b = lowest_bit(bs);
          const uint16_t cd = uint16_t(ADJACENT[a] & ADJACENT[b]);
          if ((cd & C) != cd || bit_count(cd) != 2) continue;
          const int c = lowest_bit(cd), d = lowest_bit(uint16_t(cd & ~(1u << c)));
          bool usable = true;
          for (int e : {a, b, c, d})
            if (!in_grid(x + EDGES[e].dx, j + EDGES[e].dj)) usable = false;
          if (!usable) continue;
          const int vc = std::abs(edge_value(x, j, c)), vd = std::abs(edge_value(x, j, d));
          auto holds = [&](int e) {
            const int v = edge_value(x, j, e);
            return (v < 0) != (X.value < 0) || (std::abs(v) <= vc && std::abs(v) <= vd);
          };
          if (holds(a) && holds(b)) per_edge = true;
        }
      }
    }
  }

  if (per_edge) {
    for (int e = 0; e < 14; ++e) {
      if (!(C & (1u << e))) continue;
      int32_t* slot = edge_slot(x, j, e);
      if (!slot) continue;
      const bool rim = cap_layer && (IN_LAYER_EDGES & (1u << e));
      *slot = new_point(make_point(crossing_point(x, j, e), rim ? POINT_RIM : POINT_ORDINARY));
      if (rim) new_point(make_point(crossing_point(x, j, e), POINT_DUPLICATE, normal));
    }
    if (X.value >= 0 && cap_layer) X.point = new_point(make_point(X.position, POINT_DUPLICATE, normal));
    return;
  }

  bool cap_split = cap_layer;
  if (kind == 2) {
    bool pos = false, neg = false;
    for (int e : {0, 1, 2, 7, 8, 9, 10, 11, 12, 13}) {
      const int mx = x + EDGES[e].dx, mj = j + EDGES[e].dj;
      if (!in_grid(mx, mj)) continue;
      pos = pos || node(mx, mj).orientation > 0;
      neg = neg || node(mx, mj).orientation < 0;
    }
    cap_split = pos == neg;
  }
  bool last_rim = false;
  for (int g = 0; g < group_count; ++g) {
    const uint16_t group = groups[g];
    const bool has_in_layer = group & IN_LAYER_EDGES;
    const uint16_t mean_of = (cap_split && has_in_layer) ? uint16_t(group & IN_LAYER_EDGES) : group;
    vec3_t sum;
    int n_mean = 0;
    for (int e = 0; e < 14; ++e)
      if (mean_of & (1u << e)) sum += crossing_point(x, j, e), ++n_mean;
    const vec3_t at = sum * (1.0 / n_mean);
    const bool rim = cap_layer && has_in_layer;
    const int32_t index = new_point(make_point(at, rim ? POINT_RIM : POINT_ORDINARY));
    for (int e = 0; e < 14; ++e)
      if (group & (1u << e))
        if (int32_t* slot = edge_slot(x, j, e)) *slot = index;
    if (rim) new_point(make_point(at, POINT_DUPLICATE, normal));
    last_rim = rim;
  }
  if (X.value >= 0 && cap_layer) {
    if (group_count == 1 && last_rim)
      X.point = point_count - 1;
    else
      X.point = new_point(make_point(X.position, POINT_DUPLICATE, normal));
  }
}

void surface_interp::cap_cells(int x, int j, int kind) {
  if (j < 3) return;
  const interp_node_t& A = node(x, j - 1);
  bool flip = false;
  if (!(x <= 0 && x >= grid_nx - 1))
    flip = kind == 0 ? node(x, j - 2).orientation > 0 : A.orientation < 0;
  if (x < grid_nx - 1) {
    const interp_node_t& B = node(x, j - 3);
    const interp_node_t& C = node(x + 1, j - 2);
    cap_triangles(A.value, B.value, C.value, A.point, B.point, C.point, A.edge_points[1] + 1,
                  C.edge_points[2] + 1, A.edge_points[0] + 1, flip);
  }
  if (x > 0) {
    const interp_node_t& B = node(x - 1, j - 2);
    const interp_node_t& C = node(x, j - 3);
    cap_triangles(A.value, B.value, C.value, A.point, B.point, C.point, A.edge_points[2] + 1,
                  B.edge_points[0] + 1, A.edge_points[1] + 1, flip);
  }
}

void surface_interp::cap_triangles(int a, int b, int c, int32_t pa, int32_t pb, int32_t pc,
                                   int32_t ab, int32_t bc, int32_t ac, bool flip) {
  const int u = 4 * (a >= 0) + 2 * (b >= 0) + (c >= 0);
  auto tri = [&](int32_t i, int32_t k, int32_t l) { return add_triangle(i, k, l, 2, flip); };
  switch (u) {
    case 7: tri(pa, pb, pc); break;
    case 4: tri(pa, ab, ac); break;
    case 2: tri(pb, bc, ab); break;
    case 1: tri(pc, ac, bc); break;
    case 6:
      if (a < b) { if (!tri(pa, pb, ac)) tri(ac, pb, bc); }
      else { if (!tri(pb, bc, pa)) tri(pa, bc, ac); }
      break;
    case 5:
      if (c < a) { if (!tri(pc, pa, bc)) tri(bc, pa, ab); }
      else { if (!tri(pa, ab, pc)) tri(pc, ab, bc); }
      break;
    case 3:
      if (c < b) { if (!tri(pc, ac, pb)) tri(pb, ac, ab); }
      else { if (!tri(pb, pc, ab)) tri(ab, pc, ac); }
      break;
    default: break;
  }
}

void surface_interp::layer_cells(int x, int j) {
  if (j < 2) return;
  interp_node_t& C = node(x, j - 1);
  if (C.value == NODE_OUTSIDE) return;
  const interp_node_t& D = node(x, j - 2);
  const int d = D.previous_value;
  const int nx = grid_nx, ny = grid_ny;
  // Away from the surface every corner of the six tetrahedra has one sign
  // and none of them makes a triangle.
  const bool inside = C.value >= 0;
  if ((d >= 0) == inside) {
    bool same = true;
    auto check = [&](int v) { same = same && (v >= 0) == inside; };
    if (j > 2) check(node(x, j - 3).value);
    if (x > 0) check(node(x - 1, j - 2).value), check(node(x - 1, j - 1).previous_value);
    if (x < nx - 1) check(node(x + 1, j - 2).value), check(node(x + 1, j - 1).previous_value);
    if (j < ny) check(node(x, j).previous_value);
    if (same) return;
  }
  auto run = [&](int b, int c, bool flip, const int32_t& ab, const int32_t& bc, const int32_t& ac,
                 const int32_t& bd, const int32_t& cd) {
    const int32_t* slots[6] = {&ab, &bc, &ac, &C.edge_points[4], &bd, &cd};
    tetrahedron_triangles(C.value, b, c, d, slots, flip);
  };
  if (x < nx - 1 && j > 2) {
    const interp_node_t& b = node(x, j - 3);
    const interp_node_t& c = node(x + 1, j - 2);
    run(b.value, c.value, C.orientation + b.orientation + c.orientation < 0, C.edge_points[1],
        c.edge_points[2], C.edge_points[0], b.edge_points[6], c.edge_points[5]);
  }
  if (x > 0 && j > 2) {
    const interp_node_t& b = node(x - 1, j - 2);
    const interp_node_t& c = node(x, j - 3);
    run(b.value, c.value, C.orientation + b.orientation + c.orientation < 0, C.edge_points[2],
        b.edge_points[0], C.edge_points[1], b.edge_points[3], c.edge_points[6]);
  }
  if (x > 0) {
    const interp_node_t& b = node(x - 1, j - 1);
    const interp_node_t& c = node(x - 1, j - 2);
    run(b.previous_value, c.value, C.orientation + c.orientation < 0, C.edge_points[5],
        c.edge_points[6], C.edge_points[2], b.edge_points[0], c.edge_points[3]);
  }
  if (x < nx - 1) {
    const interp_node_t& b = node(x + 1, j - 2);
    const interp_node_t& c = node(x + 1, j - 1);
    run(b.value, c.previous_value, C.orientation + b.orientation < 0, C.edge_points[0],
        b.edge_points[6], C.edge_points[3], b.edge_points[5], c.edge_points[2]);
  }
  if (x < nx - 1 && j < ny) {
    const interp_node_t& b = node(x + 1, j - 1);
    const interp_node_t& c = node(x, j);
    run(b.previous_value, c.previous_value, C.orientation < 0, C.edge_points[3], c.edge_points[0],
        C.edge_points[6], b.edge_points[2], c.edge_points[1]);
  }
  if (x > 0 && j < ny) {
    const interp_node_t& b = node(x, j);
    const interp_node_t& c = node(x - 1, j - 1);
    run(b.previous_value, c.previous_value, C.orientation < 0, C.edge_points[6], b.edge_points[2],
        C.edge_points[5], b.edge_points[1], c.edge_points[0]);
  }
}

void surface_interp::tetrahedron_triangles(int a, int b, int c, int d, const int32_t* slots[6],
                                           bool flip) {
  const int P = 8 * (a >= 0) + 4 * (b >= 0) + 2 * (c >= 0) + (d >= 0);
  if (P == 0 || P == 15) return;  // wholly outside or inside: most tetrahedra
  const int32_t ab = *slots[0], bc = *slots[1], ac = *slots[2], ad = *slots[3], bd = *slots[4],
                cd = *slots[5];
  const int type = flip ? 0 : 1;
  auto tri = [&](int32_t i, int32_t k, int32_t l) { return add_triangle(i, k, l, type, flip); };
  auto two = [&](int32_t i1, int32_t k1, int32_t l1, int32_t i2, int32_t k2, int32_t l2) {
    if (!tri(i1, k1, l1)) tri(i2, k2, l2);
  };
  const int s_ab = std::min(std::abs(a + b), std::abs(c + d));
  const int s_bc = std::min(std::abs(b + c), std::abs(a + d));
  const int s_ac = std::min(std::abs(a + c), std::abs(b + d));
  switch (P) {
    case 1: tri(ad, bd, cd); break;
    case 2: tri(bc, ac, cd); break;
    case 4: tri(ab, bc, bd); break;
    case 8: tri(ab, ad, ac); break;
    case 14: tri(cd, bd, ad); break;
    case 13: tri(cd, ac, bc); break;
    case 11: tri(bd, bc, ab); break;
    case 7: tri(ac, ad, ab); break;
    case 3:
      if (s_bc < s_ac) two(bc, ac, ad, ad, bd, bc);
      else two(ac, ad, bd, bd, bc, ac);
      break;
    case 12:
      if (s_bc < s_ac) two(bc, ad, ac, bd, ad, bc);
      else two(bc, bd, ac, ac, bd, ad);
      break;
    case 5:
      if (s_bc < s_ab) two(ab, bc, ad, ad, bc, cd);
      else two(ab, bc, cd, cd, ad, ab);
      break;
    case 10:
      if (s_ab < s_bc) two(ab, cd, bc, ad, cd, ab);
      else two(ab, ad, bc, bc, ad, cd);
      break;
    case 6:
      if (s_ab < s_ac) two(ab, ac, cd, cd, bd, ab);
      else two(ab, ac, bd, bd, ac, cd);
      break;
    case 9:
      if (s_ab < s_ac) two(cd, ac, ab, ab, bd, cd);
      else two(ab, bd, ac, ac, bd, cd);
      break;
    default: break;
  }
}

void surface_interp::process_last_plane() {
  layer_kind = 3;
  layer_parity ^= 1;
  row_parity = layer_parity;
  for (int j = 0; j <= grid_ny; ++j) {
    row_parity ^= 1;
    for (int x = row_parity; x < grid_nx; x += 2) {
      if (j < grid_ny) {
        interp_node_t& N = node(x, j);
        N.previous_value = N.value;
        N.previous_position = N.position;
        N.previous_orientation = N.orientation;
      }
      if (j > 0) make_edge_points(x, j - 1, 3, previous_plane_normal);
      cap_cells(x, j, 3);
      if (layers_done > 1) layer_cells(x, j);
    }
  }
  gather_mesh();
}

void surface_interp::free_chunks() {
  point_chunks.clear();
  triangle_chunks.clear();
  point_count = triangle_count = 0;
}

void surface_interp::gather_mesh() {
  delete[] mesh.points;
  delete[] mesh.triangles;
  mesh = surface_mesh();
  std::vector<int32_t> index;
  try {
    index.assign(size_t(point_count), -1);
  } catch (const std::bad_alloc&) {
    wxLogError("Not able to malloc point list for surface interpolation");
    std::exit(1);
  }
  for (int32_t t = 0; t < triangle_count; ++t) {
    const surface_triangle& tr = triangle_at(t);
    index[tr.a] = index[tr.b] = index[tr.c] = 0;
  }
  int32_t used = 0;
  for (int32_t& i : index)
    if (i == 0) i = used++;
  try {
    mesh.points = new surface_point[size_t(std::max(used, 1))];
  } catch (const std::bad_alloc&) {
    wxLogError("Not able to malloc point list for surface interpolation");
    std::exit(1);
  }
  try {
    mesh.triangles = new surface_triangle[size_t(std::max(triangle_count, 1))];
  } catch (const std::bad_alloc&) {
    wxLogError("Not able to malloc triangle list for surface interpolation");
    std::exit(1);
  }
  for (int32_t i = 0; i < point_count; ++i)
    if (index[i] >= 0) mesh.points[index[i]] = point_at(i);
  for (int32_t t = 0; t < triangle_count; ++t) {
    const surface_triangle& tr = triangle_at(t);
    mesh.triangles[t] = surface_triangle{index[tr.a], index[tr.b], index[tr.c], tr.type};
  }
  mesh.n_points = used;
  mesh.n_triangles = triangle_count;
  free_chunks();
}
