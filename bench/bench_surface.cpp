// Surface of 200 contours of 300 vertices on a freehand sweep: a fan of
// frames 0.004 rad apart turning about an axis 300 px from a tube whose
// radius swells from 25 to 45 px and back. Baseline in the same process:
// the 200 signed distance rasters alone, which every build has to make.
//
// The check for crossing or touching contours that runs before every build,
// on four frames of one 20,000-vertex contour each and on two frames of
// 3,600 small contours each. Baseline: copying the same vertices.
#include <benchmark/benchmark.h>

#include <cmath>
#include <list>
#include <vector>

#include "data/contour.h"
#include "surfaces/surface_interp.h"

namespace {

constexpr double PI = 3.141592653589793;
constexpr int FRAMES = 200, VERTICES = 300;

struct sweep {
  std::list<frame_contours_t> entries;
  std::vector<plane_source> planes;
  sweep() {
    for (int f = 0; f < FRAMES; ++f) {
      const double t = (f - FRAMES / 2) * 0.004;
      const double r = 25 + 20 * std::sin(PI * f / (FRAMES - 1));
      entries.emplace_back();
      frame_contours_t& e = entries.back();
      e.frame = f;
      contour_t c;
      c.closed = true;
      for (int i = 0; i < VERTICES; ++i) {
        const double a = 2 * PI * i / VERTICES;
        c.vertices.push_back({150 + r * std::cos(a), 300 + r * std::sin(a)});
      }
      e.contours.push_back(c);
      matrix4_t m;
      matrix4_identity(m);
      m[5] = std::cos(t), m[6] = std::sin(t);
      m[9] = -std::sin(t), m[10] = std::cos(t);
      planes.push_back(plane_source{&e, m});
    }
  }
};

void BM_surface_freehand_sweep(benchmark::State& state) {
  sweep s;
  interp_settings set;
  set.x_scale = set.y_scale = 0.01;
  set.step = 2;
  set.smoothing = 1;
  set.expert_mode = true;
  int triangles = 0;
  for (auto _ : state) {
    surface_interp surface;
    surface.interpolate(s.planes, set);
    triangles = surface.mesh.n_triangles;
    benchmark::DoNotOptimize(surface.volume);
  }
  state.counters["triangles"] = triangles;
}

void BM_baseline_distance_rasters(benchmark::State& state) {
  sweep s;
  for (auto _ : state)
    for (frame_contours_t& e : s.entries) {
      auto raster = e.measure(6, false);
      benchmark::DoNotOptimize(raster.get());
    }
}

// Frames of contours for the crossing check: a wavy ring of `vertices`
// vertices, or a lattice of small 12-gons.
std::vector<std::vector<contour_t>> crossing_frames(bool large) {
  std::vector<std::vector<contour_t>> frames;
  for (int f = 0; f < (large ? 4 : 2); ++f) {
    std::vector<contour_t> cs;
    if (large) {
      contour_t c;
      c.closed = true;
      for (int i = 0; i < 20000; ++i) {
        const double a = 2 * PI * i / 20000, r = 400 + 30 * std::sin(40 * a + f);
        c.vertices.push_back({1000 + r * std::cos(a), 1000 + r * std::sin(a)});
      }
      cs.push_back(c);
    } else {
      for (int i = 0; i < 3600; ++i) {
        contour_t c;
        c.closed = true;
        for (int k = 0; k < 12; ++k) {
          const double a = 2 * PI * k / 12;
          c.vertices.push_back({10.0 * (i % 60) + 4 * std::cos(a) + f, 10.0 * (i / 60) + 4 * std::sin(a)});
        }
        cs.push_back(c);
      }
    }
    frames.push_back(cs);
  }
  return frames;
}

void BM_crossing_check(benchmark::State& state) {
  const auto frames = crossing_frames(state.range(0) != 0);
  for (auto _ : state)
    for (const std::vector<contour_t>& cs : frames) {
      contour_meeting_t m;
      benchmark::DoNotOptimize(find_contour_meeting(cs, m));
    }
}

void BM_baseline_copy_vertices(benchmark::State& state) {
  const auto frames = crossing_frames(state.range(0) != 0);
  for (auto _ : state)
    for (const std::vector<contour_t>& cs : frames) {
      std::vector<contour_t> copy = cs;
      benchmark::DoNotOptimize(copy.data());
    }
}

}  // namespace

BENCHMARK(BM_baseline_copy_vertices)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_crossing_check)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_baseline_distance_rasters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_surface_freehand_sweep)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
