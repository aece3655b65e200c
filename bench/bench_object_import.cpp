// Importing a 512 x 512 x 300 NIfTI label volume of five labels (boxes and
// a sphere spread over the slices) as object contours onto 300 loaded
// frames, next to reading every slice of the same file through the NIfTI
// reader, which parses the header and reads the same bytes once.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/wfstream.h>

#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

namespace {

constexpr int kSize = 512, kFrames = 300;

class yes_ui final : public data_io_ui {
 public:
  std::unique_ptr<data_progress> start_progress(const wxString&, const wxString&, int, unsigned) override {
    return std::make_unique<null_progress>();
  }
  bool ask_yes_no(const wxString&, const wxString&) override { return true; }
};

uint8_t label_at(int x, int y, int k) {
  const int dx = x - 300, dy = y - 300, dz = k - 150;
  if (dx * dx + dy * dy + dz * dz < 90 * 90) return 3;
  if (x >= 40 && x < 200 && y >= 60 && y < 180 && k >= 20 && k < 200) return 1;
  if (x >= 200 && x < 260 && y >= 60 && y < 180 && k >= 50 && k < 280) return 2;  // touches label 1
  if (x >= 50 && x < 450 && y >= 420 && y < 470 && k >= 100 && k < 300) return 4;
  if ((x / 16 + y / 16) % 2 == 0 && x < 128 && y >= 200 && y < 328 && k < 60) return 5;
  return 0;
}

// The label volume's file, removed when the run ends.
struct volume_file {
  wxString path;
  ~volume_file() {
    if (!path.empty()) wxRemoveFile(path);
  }
};

// The label volume, written once per run: no orientation, 0.5 mm pixels,
// 1 mm slices, so slice k lies on the frame at z = 0.1 k cm.
const wxString& volume() {
  static volume_file file;
  wxString& path = file.path;
  if (path.empty()) {
    const wxString base = wxFileName::CreateTempFileName("nvbenchlabels");
    wxRemoveFile(base);
    path = base + ".nii";
    std::string h(352, '\0');
    auto put = [&](size_t at, const void* v, size_t n) { std::memcpy(&h[at], v, n); };
    const int32_t size = 348;
    const int16_t dim[4] = {3, kSize, kSize, kFrames}, type[2] = {2, 8};
    const float pix[4] = {1, 0.5f, 0.5f, 1}, vox = 352;
    put(0, &size, 4);
    put(40, dim, 8);
    put(70, type, 4);
    put(76, pix, 16);
    put(108, &vox, 4);
    put(344, "n+1", 4);
    wxFFileOutputStream out(path);
    out.Write(h.data(), h.size());
    std::vector<uint8_t> slice(size_t(kSize) * kSize);
    for (int k = 0; k < kFrames; ++k) {
      for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) slice[size_t(y) * kSize + x] = label_at(x, y, k);
      out.Write(slice.data(), slice.size());
    }
  }
  return path;
}

// The loaded data the labels were made on: only what the import reads.
struct loaded_frames {
  yes_ui ui;
  data_ui_scope scope{ui};
  headless_session session;
  loaded_frames() {
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(kSize);
    t.RES_BUF_HEIGHT->write(kSize);
    t.RES_BUF_FRAMES->write(kFrames);
    t.RES_XSCALE->write(0.05);
    t.RES_YSCALE->write(0.05);
    t.RES_ZSCALE->write(0.1);
    t.RES_POS_REC->write(true);
    t.RES_EXPERT_MODE->write(true);
    for (int k = 0; k < kFrames; ++k) {
      position_t p;
      p.z = float(0.1 * k);
      frame_store->positions.push_back(position_holder_t::create(p));
    }
  }
};

// One for the whole run: a second session would take over the globals.
loaded_frames& loaded() {
  static loaded_frames* data = new loaded_frames;
  return *data;
}

void BM_ImportLabelVolume(benchmark::State& state) {
  loaded();
  const wxFileName name(volume());
  int64_t contours = 0;
  for (auto _ : state) {
    if (dicom_utility::read_hdr_object_data(name) != 5) state.SkipWithError("import failed");
  }
  for (int o = 0; o < 5; ++o)
    for (const frame_contours_t& f : resource_table->RES_OBJECT->read()[o].frames) contours += int64_t(f.contours.size());
  state.counters["contours"] = double(contours);
  state.SetBytesProcessed(state.iterations() * int64_t(kSize) * kSize * kFrames);
}
BENCHMARK(BM_ImportLabelVolume)->Unit(benchmark::kMillisecond);

// Baseline: every slice of the same file through the NIfTI reader.
void BM_ReadWithNiftiReader(benchmark::State& state) {
  loaded();
  const wxFileName name(volume());
  std::vector<uint16_t> raw(size_t(kSize) * kSize);
  std::vector<uint8_t> display(raw.size());
  for (auto _ : state) {
    read_hdr_data(name, -1, 0, nullptr, nullptr, nullptr);
    for (int k = 0; k < kFrames; ++k)
      benchmark::DoNotOptimize(read_hdr_data(name, k, k, raw.data(), display.data(), nullptr));
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kSize) * kSize * kFrames);
}
BENCHMARK(BM_ReadWithNiftiReader)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
