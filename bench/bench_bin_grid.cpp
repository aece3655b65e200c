// Bin grid queries on a sphere of 200,000 triangles: 100,000 random lines
// through the grid (nearest hit and all crossings), next to brute force over
// every triangle on a sample of 100 of the same lines. Painting a 500-frame
// recording onto a 100,000-vertex surface, next to the least geometric work
// it has to do: one plane distance per vertex and frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "data/dynabuf.h"
#include "surfaces/bin_grid.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

constexpr double PI = 3.141592653589793;

struct sphere_mesh {
  std::vector<surface_point> points;
  std::vector<surface_triangle> triangles;
  surface_mesh mesh;
  // nu x nv cells of two triangles each, radius 1 about (1.5, 1.5, 1.5).
  sphere_mesh(int nu, int nv) {
    for (int j = 0; j <= nv; ++j)
      for (int i = 0; i < nu; ++i) {
        const double th = PI * j / nv, ph = 2 * PI * i / nu;
        surface_point p;
        p.nx = std::sin(th) * std::cos(ph), p.ny = std::sin(th) * std::sin(ph), p.nz = std::cos(th);
        p.x = 1.5 + p.nx, p.y = 1.5 + p.ny, p.z = 1.5 + p.nz;
        points.push_back(p);
      }
    for (int j = 0; j < nv; ++j)
      for (int i = 0; i < nu; ++i) {
        const int a = j * nu + i, b = j * nu + (i + 1) % nu, c = a + nu - i + (i + 1) % nu,
                  d = a + nu;
        triangles.push_back({a, b, c, 1});
        triangles.push_back({a, c, d, 1});
      }
    mesh = {int32_t(points.size()), points.data(), int32_t(triangles.size()), triangles.data()};
  }
};

struct lines {
  std::vector<vec3_t> from, dir;
  explicit lines(int n) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(0.0, 3.0);
    std::normal_distribution<double> g;
    for (int i = 0; i < n; ++i) {
      from.push_back({u(rng), u(rng), u(rng)});
      vec3_t d{g(rng), g(rng), g(rng)};
      dir.push_back(vec3_normalise(d));
    }
  }
};

sphere_mesh& big_sphere() {
  static sphere_mesh m(500, 200);  // 200,000 triangles
  return m;
}

void BM_GridNearestHit(benchmark::State& state) {
  static bin_grid grid(&big_sphere().mesh, false);
  static lines q(100000);
  for (auto _ : state)
    for (size_t i = 0; i < q.from.size(); ++i) {
      vec3_t d = q.dir[i], at, n;
      double dist;
      grid.intersect_line(q.from[i], d, 0, 0, dist, at, n, false);
      benchmark::DoNotOptimize(dist);
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(q.from.size()));
}

void BM_GridLineCrossings(benchmark::State& state) {
  static bin_grid grid(&big_sphere().mesh, false);
  static lines q(100000);
  std::vector<double> d;
  std::vector<vec3_t> p;
  for (auto _ : state)
    for (size_t i = 0; i < q.from.size(); ++i) {
      d.clear(), p.clear();
      grid.line_crossings_within(q.from[i], q.from[i] + q.dir[i], 0, d, p);
      benchmark::DoNotOptimize(d.data());
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(q.from.size()));
}

// Brute force: every triangle for each of 100 of the same lines.
void BM_BruteForceLines(benchmark::State& state) {
  const surface_mesh& m = big_sphere().mesh;
  static lines q(100000);
  for (auto _ : state)
    for (size_t i = 0; i < 100; ++i) {
      double best = 1e10;
      for (int32_t j = 0; j < m.n_triangles; ++j) {
        const surface_triangle& t = m.triangles[j];
        const vec3_t A{m.points[t.a].x, m.points[t.a].y, m.points[t.a].z};
        const vec3_t B{m.points[t.b].x, m.points[t.b].y, m.points[t.b].z};
        const vec3_t C{m.points[t.c].x, m.points[t.c].y, m.points[t.c].z};
        const vec3_t N = vec3_cross(B - A, C - A);
        const double dn = vec3_dot(q.dir[i], N);
        if (dn == 0.0) continue;
        const double s = vec3_dot(A - q.from[i], N) / dn;
        const vec3_t X = q.from[i] + q.dir[i] * s;
        if (vec3_dot(vec3_cross(B - A, X - A), N) < 0 || vec3_dot(vec3_cross(C - B, X - B), N) < 0 ||
            vec3_dot(vec3_cross(A - C, X - C), N) < 0)
          continue;
        best = std::min(best, std::fabs(s));
      }
      benchmark::DoNotOptimize(best);
    }
  state.SetItemsProcessed(int64_t(state.iterations()) * 100);
}

// A 500-frame parallel recording of 256 x 256 pixels of 0.012 cm, frames
// 0.006 cm apart, and a sphere of 100,000 vertices inside it.
struct recording {
  headless_session session;
  sphere_mesh mesh{500, 199};
  surface_interp surface;
  recording() {
    resource_table_t& t = *resource_table;
    t.RES_BUF_FRAMES->write(500);
    t.RES_BUF_WIDTH->write(256);
    t.RES_BUF_HEIGHT->write(256);
    t.RES_POS_REC->write(true);
    t.RES_XSCALE->write(0.012);
    t.RES_YSCALE->write(0.012);
    base_res_t::make_pending_writes_happen();
    for (int k = 0; k < 500; ++k) {
      auto* px = new uint8_t[256 * 256];
      for (int i = 0; i < 256 * 256; ++i) px[i] = uint8_t(1 + (i + k) % 250);
      frame_store->add_image(frame_image_t::create(px, 256 * 256));
      position_t p;
      p.z = float(0.006 * k);
      frame_store->positions.push_back(position_holder_t::create(p));
    }
    surface.mesh.n_points = mesh.mesh.n_points;
    surface.mesh.points = new surface_point[size_t(mesh.mesh.n_points)];
    for (int32_t i = 0; i < mesh.mesh.n_points; ++i) {
      surface_point p = mesh.points[size_t(i)];
      // Inside the 3.07 x 3.07 x 3.0 cm block.
      p.x = 0.3 + 0.8 * (p.x - 0.5), p.y = 0.3 + 0.8 * (p.y - 0.5), p.z = 0.3 + 0.8 * (p.z - 0.5);
      surface.mesh.points[i] = p;
    }
    surface.compound_depth = 0.12;  // ten pixels: eleven samples
    surface.compound_type = 2;
  }
};

recording& the_recording() {
  static recording r;
  return r;
}

void BM_Compound(benchmark::State& state) {
  recording& r = the_recording();
  for (auto _ : state) r.surface.compound_image_data();
  state.SetItemsProcessed(int64_t(state.iterations()) * r.surface.mesh.n_points);
}

// One plane distance per vertex and frame.
void BM_CompoundBaseline(benchmark::State& state) {
  recording& r = the_recording();
  std::vector<double> z(500);
  for (int k = 0; k < 500; ++k) z[size_t(k)] = frame_store->positions[size_t(k)]->z;
  for (auto _ : state) {
    double sum = 0;
    for (int32_t i = 0; i < r.surface.mesh.n_points; ++i) {
      const surface_point& p = r.surface.mesh.points[i];
      for (double zk : z) sum += std::fabs(p.z - zk) < 0.12 ? 1.0 : 0.0;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * r.surface.mesh.n_points);
}

}  // namespace

BENCHMARK(BM_GridNearestHit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridLineCrossings)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BruteForceLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compound)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompoundBaseline)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
