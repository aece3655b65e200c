// Label volume of a 256 x 256 x 256 stack holding a sphere of radius 100 px
// (object 1, drawn on every eighth frame), written as NIfTI through the save
// helper. Baselines in the same process: clearing the same 16 MiB of bytes,
// and saving them as one file through the same helper (the write and the
// sync every export pays).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include <wx/filefn.h>
#include <wx/filename.h>

#include "data/file_save.h"
#include "medical/dicom_utility.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

constexpr double PI = 3.141592653589793;
constexpr int N = 256;
constexpr size_t VOXELS = size_t(N) * N * N;

struct label_data {
  headless_session session;
  std::list<frame_contours_t> entries;
  wxString folder;

  label_data() {
    resource_table_t& t = *resource_table;
    for (double_res_t* r : {t.RES_XTRANS, t.RES_YTRANS, t.RES_ZTRANS, t.RES_AZIMUTH, t.RES_ELEVATION, t.RES_ROLL})
      r->write(0.0);
    t.RES_XSCALE->write(0.01);
    t.RES_YSCALE->write(0.01);
    t.RES_BUF_WIDTH->write(N);
    t.RES_BUF_HEIGHT->write(N);
    t.RES_BUF_FRAMES->write(N);
    t.RES_POS_REC->write(true);
    t.RES_ZSCALE->write(0.01);
    t.RES_IN_SCRIPT->write(true);
    for (int f = 0; f < N; ++f) {
      frame_store->add_image(frame_image_t::create(new uint8_t[size_t(N) * N](), size_t(N) * N));
      position_t p;
      p.z = float(0.01 * f);
      frame_store->positions.push_back(position_holder_t::create(p));
      frame_store->timestamps.push_back(uint64_t(f));
    }
    std::vector<plane_source> planes;
    for (int f = 32; f <= 224; f += 8) {
      const double z = f - 128.0, r = std::sqrt(100.0 * 100.0 - z * z);
      entries.emplace_back();
      frame_contours_t& e = entries.back();
      e.frame = f;
      contour_t c;
      c.closed = true;
      for (int i = 0; i < 300; ++i)
        c.vertices.push_back({128 + r * std::cos(2 * PI * i / 300), 128 + r * std::sin(2 * PI * i / 300)});
      e.contours.push_back(c);
      matrix4_t m;
      matrix4_identity(m);
      m[14] = 0.01 * f;
      planes.push_back(plane_source{&e, m});
    }
    interp_settings set;
    set.z_scale = 0.08;
    set.smoothing = 1;
    set.expert_mode = set.in_script = true;
    auto* s = new surface_interp;
    s->interpolate(planes, set);
    t.RES_SURFACE[1]->write(s);
    base_res_t::make_pending_writes_happen();
    folder = wxFileName::CreateTempFileName("nvlabels");
    wxRemoveFile(folder);
    wxMkdir(folder);
  }
  ~label_data() { wxFileName::Rmdir(folder, wxPATH_RMDIR_RECURSIVE); }
  wxString path(const char* name) const { return wxFileName(folder, name).GetFullPath(); }
};

void BM_label_volume_256(benchmark::State& state) {
  label_data d;
  for (auto _ : state)
    if (!dicom_utility::create_voxel_data(wxFileName(d.path("labels.nii")), 0, -1))
      state.SkipWithError("export failed");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(VOXELS));
  state.counters["triangles"] = resource_table->RES_SURFACE[1]->read()->mesh.n_triangles;
}

void BM_baseline_clear_same_bytes(benchmark::State& state) {
  std::vector<uint8_t> bytes(VOXELS, 1);
  for (auto _ : state) {
    std::memset(bytes.data(), 0, bytes.size());
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(VOXELS));
}

void BM_baseline_save_same_bytes(benchmark::State& state) {
  const wxString folder = wxFileName::CreateTempFileName("nvlabels");
  wxRemoveFile(folder);
  wxMkdir(folder);
  const std::string bytes(VOXELS + 352, '\0');
  for (auto _ : state)
    if (!save_file(wxFileName(folder, "plain.nii").GetFullPath(), bytes)) state.SkipWithError("save failed");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(VOXELS));
  wxFileName::Rmdir(folder, wxPATH_RMDIR_RECURSIVE);
}

}  // namespace

BENCHMARK(BM_baseline_clear_same_bytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_baseline_save_same_bytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_label_volume_256)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
