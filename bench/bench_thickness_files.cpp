// Saving and loading a thickness set of 1,000,000 vertices (every quantity,
// the current set with its headers, layers off so that only the surface copy
// is written beside it). Baseline: writing the same number of bytes to as
// many files through the save helper, and reading them back whole.
//
// Run from the build folder: build/bench/bench_thickness_files
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include <wx/dir.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/init.h>

#include "data/file_save.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

constexpr int kSide = 1000;  // kSide x kSide vertices

struct fixture {
  headless_session session;
  surface_interp s;
  wxString folder;
  std::vector<wxString> written;  // the files of one save
  fixture() {
    folder = wxFileName::CreateTempFileName("nvbench");
    wxRemoveFile(folder);
    wxMkdir(folder);
    resource_table->RES_IN_SCRIPT->write(true);
    base_res_t::make_pending_writes_happen();
    const size_t n = size_t(kSide) * kSide;
    s.mesh.n_points = int32_t(n);
    s.mesh.points = new surface_point[n];
    for (size_t i = 0; i < n; ++i) {
      surface_point& p = s.mesh.points[i];
      p.x = 0.01 * double(i % kSide), p.y = 0.01 * double(i / kSide), p.nz = 1.0;
      p.type = 3;
    }
    std::vector<surface_triangle> tris;
    for (int y = 0; y + 1 < kSide; ++y)
      for (int x = 0; x + 1 < kSide; ++x) {
        const int a = y * kSide + x;
        tris.push_back({a, a + 1, a + kSide + 1, 1});
        tris.push_back({a, a + kSide + 1, a + kSide, 1});
      }
    s.mesh.n_triangles = int32_t(tris.size());
    s.mesh.triangles = new surface_triangle[tris.size()];
    std::copy(tris.begin(), tris.end(), s.mesh.triangles);
    for (std::vector<double>* a :
         {&s.cortical_thickness, &s.smoothed_thickness, &s.fit_error, &s.density, &s.segment_length,
          &s.blur, &s.blur_error, &s.endo_thickness, &s.endo_error, &s.outer_gap,
          &s.outer_gap_error, &s.inner_gap, &s.inner_gap_error, &s.inner_density,
          &s.inner_density_error, &s.outer_density, &s.surface_offset})
      a->assign(n, 1.5);
    s.save_thickness(wxFileName(folder, "set"), false);
    wxArrayString files;
    wxDir::GetAllFiles(folder, &files);
    for (const wxString& f : files) written.push_back(f);
  }
  ~fixture() { wxFileName::Rmdir(folder, wxPATH_RMDIR_RECURSIVE); }
};
fixture* bench = nullptr;

void save_set(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(bench->s.save_thickness(wxFileName(bench->folder, "set"), false));
}

void load_set(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(bench->s.load_thickness(wxFileName(bench->folder, "set_thick_dat.bin")));
}

// The same files' bytes, read whole and written back through one batch.
void baseline_write(benchmark::State& state) {
  std::vector<std::string> bytes;
  for (const wxString& f : bench->written) {
    wxFile in(f);
    std::string b(size_t(in.Length()), '\0');
    in.Read(&b[0], b.size());
    bytes.push_back(std::move(b));
  }
  for (auto _ : state) {
    save_batch batch;
    for (size_t i = 0; i < bytes.size(); ++i) {
      const int k = batch.add(bench->written[i] + ".copy");
      batch.write(k, bytes[i]);
    }
    benchmark::DoNotOptimize(batch.commit());
  }
}

void baseline_read(benchmark::State& state) {
  for (auto _ : state)
    for (const wxString& f : bench->written) {
      wxFile in(f);
      std::string b(size_t(in.Length()), '\0');
      benchmark::DoNotOptimize(in.Read(&b[0], b.size()));
    }
}

}  // namespace

BENCHMARK(save_set)->Unit(benchmark::kMillisecond);
BENCHMARK(baseline_write)->Unit(benchmark::kMillisecond);
BENCHMARK(load_set)->Unit(benchmark::kMillisecond);
BENCHMARK(baseline_read)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  wxInitializer init;
  benchmark::Initialize(&argc, argv);
  auto f = std::make_unique<fixture>();
  bench = f.get();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
