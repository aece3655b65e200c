// Comparing a surface with another one: a sphere of 50,000 vertices against
// a concentric sphere of 20,480 triangles inside a stack of 300 frames of
// 128 x 128 16-bit pixels, with RES_ZSCALE 0 (every frame within the
// half-slab of every segment) and with the slice spacing set (only the
// frames near a segment). Baseline: the same bin-grid searches alone (grid
// built, one line query per vertex), which is what the comparison adds the
// density sampling and bookkeeping to.
//
// Run from the build folder: build/bench/bench_surface_compare
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include <wx/init.h>

#include "data/dynabuf.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "surfaces/bin_grid.h"
#include "surfaces/surface_interp.h"
#include "thickness/surface_mapping.h"
#include "tools/headless_session.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kFrames = 300, kSize = 128;
constexpr double kPixel = 0.025, kSpacing = 0.01;
const vec3_t kCentre{1.6, 1.6, 1.5};

void set_mesh(surface_interp& s, const std::vector<surface_point>& pts,
              const std::vector<surface_triangle>& tris) {
  delete[] s.mesh.points;
  delete[] s.mesh.triangles;
  s.mesh.n_points = int32_t(pts.size());
  s.mesh.points = new surface_point[pts.size()];
  std::copy(pts.begin(), pts.end(), s.mesh.points);
  s.mesh.n_triangles = int32_t(tris.size());
  s.mesh.triangles = new surface_triangle[tris.size()];
  std::copy(tris.begin(), tris.end(), s.mesh.triangles);
}

surface_point at(const vec3_t& u, double r) {
  surface_point p;
  p.x = kCentre.x + r * u.x, p.y = kCentre.y + r * u.y, p.z = kCentre.z + r * u.z;
  p.nx = u.x, p.ny = u.y, p.nz = u.z;
  return p;
}

// Rings between the poles: rings x segments + 2 vertices.
void uv_sphere(surface_interp& s, double r, int rings, int segments) {
  std::vector<surface_point> pts;
  std::vector<surface_triangle> tris;
  pts.push_back(at({0, 0, 1}, r));
  for (int i = 1; i <= rings; ++i)
    for (int k = 0; k < segments; ++k) {
      const double th = kPi * i / (rings + 1), ph = 2 * kPi * k / segments;
      pts.push_back(at({std::sin(th) * std::cos(ph), std::sin(th) * std::sin(ph), std::cos(th)}, r));
    }
  pts.push_back(at({0, 0, -1}, r));
  const int south = int(pts.size()) - 1;
  auto v = [&](int i, int k) { return 1 + (i - 1) * segments + k % segments; };
  for (int k = 0; k < segments; ++k) {
    tris.push_back({0, v(1, k), v(1, k + 1), 0});
    for (int i = 1; i < rings; ++i) {
      tris.push_back({v(i, k), v(i + 1, k), v(i + 1, k + 1), 0});
      tris.push_back({v(i, k), v(i + 1, k + 1), v(i, k + 1), 0});
    }
    tris.push_back({v(rings, k), south, v(rings, k + 1), 0});
  }
  set_mesh(s, pts, tris);
}

// An icosahedron split `levels` times onto the sphere.
void icosphere(surface_interp& s, double r, int levels) {
  const double g = (1 + std::sqrt(5.0)) / 2;
  std::vector<vec3_t> v = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                           {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
  std::vector<std::array<int, 3>> f = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11},
                                       {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                       {3, 9, 4},  {3, 4, 2},  {3, 2, 6},  {3, 6, 8},  {3, 8, 9},
                                       {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},  {9, 8, 1}};
  for (vec3_t& p : v) p = vec3_normalise(p);
  for (int l = 0; l < levels; ++l) {
    std::map<std::pair<int, int>, int> middle;
    auto mid = [&](int a, int b) {
      const std::pair<int, int> key{std::min(a, b), std::max(a, b)};
      auto it = middle.find(key);
      if (it != middle.end()) return it->second;
      v.push_back(vec3_normalise(v[size_t(a)] + v[size_t(b)]));
      return middle[key] = int(v.size()) - 1;
    };
    std::vector<std::array<int, 3>> next;
    for (const auto& t : f) {
      const int ab = mid(t[0], t[1]), bc = mid(t[1], t[2]), ca = mid(t[2], t[0]);
      next.push_back({t[0], ab, ca});
      next.push_back({t[1], bc, ab});
      next.push_back({t[2], ca, bc});
      next.push_back({ab, bc, ca});
    }
    f.swap(next);
  }
  std::vector<surface_point> pts;
  for (const vec3_t& p : v) pts.push_back(at(p, r));
  std::vector<surface_triangle> tris;
  for (const auto& t : f) tris.push_back({t[0], t[1], t[2], 0});
  set_mesh(s, pts, tris);
}

// The stack: a shell of 1000 between radii 0.7 and 1.0 cm over 100.
void make_stack() {
  resource_table_t& t = *resource_table;
  dicom_utility::data_16bit = true;
  t.RES_BUF_DICOM->write(true);
  t.RES_DICOM_HUM->write(1.0);
  t.RES_DICOM_HUB->write(0.0);
  t.RES_XSCALE->write(kPixel);
  t.RES_YSCALE->write(kPixel);
  t.RES_BUF_WIDTH->write(kSize);
  t.RES_BUF_HEIGHT->write(kSize);
  for (int k = 0; k < kFrames; ++k) {
    auto* raw = new uint16_t[size_t(kSize) * kSize];
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        const double r = vec3_length(vec3_t{x * kPixel, y * kPixel, k * kSpacing} - kCentre);
        raw[size_t(y) * kSize + x] = r >= 0.7 && r <= 1.0 ? 1000 : 100;
      }
    frame_store->add_image(frame_image_t::create(nullptr, raw, kSize * kSize));
    position_t p;
    p.z = float(k * kSpacing);
    frame_store->positions.push_back(position_holder_t::create(p));
  }
  t.RES_BUF_FRAMES->write(kFrames);
  t.RES_POS_REC->write(true);
  t.RES_THICKNESS_LINE->write(2.0);
  base_res_t::make_pending_writes_happen();
}

struct fixture {
  fixture() {
    make_stack();
    outer = new surface_interp(0);
    inner = new surface_interp(1);
    uv_sphere(*outer, 1.0, 249, 200);  // 49,802 vertices
    icosphere(*inner, 0.7, 5);         // 20,480 triangles
    resource_table->RES_SURFACE[0]->write(outer);
    resource_table->RES_SURFACE[1]->write(inner);
    base_res_t::make_pending_writes_happen();
  }
  ~fixture() {
    resource_table->RES_SURFACE[0]->write(nullptr);
    resource_table->RES_SURFACE[1]->write(nullptr);
    base_res_t::make_pending_writes_happen();
    delete outer;
    delete inner;
  }
  headless_session session;
  surface_interp* outer = nullptr;
  surface_interp* inner = nullptr;
};

fixture* the_fixture = nullptr;
fixture& shared() { return *the_fixture; }

void BM_compare(benchmark::State& state) {
  fixture& f = shared();
  resource_table->RES_ZSCALE->write(state.range(0) ? kSpacing : 0.0);
  base_res_t::make_pending_writes_happen();
  for (auto _ : state) {
    f.outer->surface_offset.clear();
    f.outer->map_intersections(1);
    benchmark::DoNotOptimize(f.outer->density.data());
  }
  double sum = 0.0, density = 0.0;
  long counted = 0;
  for (size_t i = 0; i < f.outer->cortical_thickness.size(); ++i)
    if (f.outer->fit_error[i] == 1.0)
      sum += f.outer->cortical_thickness[i], density += f.outer->density[i], ++counted;
  state.counters["vertices"] = f.outer->mesh.n_points;
  state.counters["mean_mm"] = counted ? sum / double(counted) : 0.0;
  state.counters["mean_density"] = counted ? density / double(counted) : 0.0;
}
BENCHMARK(BM_compare)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// The bin grid over the inner sphere and one line query per outer vertex.
void BM_bin_grid_queries(benchmark::State& state) {
  fixture& f = shared();
  std::vector<double> depths;
  std::vector<vec3_t> points;
  for (auto _ : state) {
    bin_grid grid(&f.inner->mesh, false);
    long hits = 0;
    for (int32_t i = 0; i < f.outer->mesh.n_points; ++i) {
      const surface_point& p = f.outer->mesh.points[i];
      const vec3_t P{p.x, p.y, p.z}, n{p.nx, p.ny, p.nz};
      depths.clear(), points.clear();
      grid.line_crossings(P, P - n, depths, points);
      hits += long(depths.size());
    }
    benchmark::DoNotOptimize(hits);
  }
}
BENCHMARK(BM_bin_grid_queries)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  wxInitializer init;
  benchmark::Initialize(&argc, argv);
  auto f = std::make_unique<fixture>();
  the_fixture = f.get();
  benchmark::RunSpecifiedBenchmarks();
  f.reset();
  benchmark::Shutdown();
  return 0;
}
