// Loading a directory of 200 DICOM files of 512 x 512 16-bit samples into the
// frame store, next to reading the same files' bytes with no parsing at all;
// in a process of its own, next to the files' bytes read into one fresh
// buffer in a process of its own.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/log.h>

#include "data/data_io_ui.h"
#include "fresh_process.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

namespace {

constexpr int kSize = 512, kFrames = 200;

void element(std::string& out, uint16_t g, uint16_t e, const char* vr, const std::string& value) {
  std::string v = value;
  if (v.size() % 2) v += (std::strcmp(vr, "UI") == 0 ? '\0' : ' ');
  const uint8_t head[6] = {uint8_t(g), uint8_t(g >> 8), uint8_t(e), uint8_t(e >> 8), uint8_t(vr[0]), uint8_t(vr[1])};
  out.append(reinterpret_cast<const char*>(head), 6);
  if (!std::strcmp(vr, "OW")) {
    out.append(2, '\0');
    const uint32_t n = uint32_t(v.size());
    out.append(reinterpret_cast<const char*>(&n), 4);
  } else {
    const uint16_t n = uint16_t(v.size());
    out.append(reinterpret_cast<const char*>(&n), 2);
  }
  out += v;
}

std::string us(uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); }

// A folder of kFrames files, made once per run.
const wxString& series_folder() {
  static wxString folder;
  if (!folder.empty()) return folder;
  folder = wxFileName::CreateTempFileName("nvbench");
  wxRemoveFile(folder);
  wxMkdir(folder);
  std::vector<uint16_t> pixels(size_t(kSize) * kSize);
  for (int f = 0; f < kFrames; ++f) {
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint16_t((i * 7 + size_t(f) * 13) & 4095);
    std::string out(128, '\0');
    out += "DICM";
    element(out, 0x0002, 0x0010, "UI", "1.2.840.10008.1.2.1");
    element(out, 0x0008, 0x0060, "CS", "CT");
    element(out, 0x0020, 0x000E, "UI", "1.2.3.4");
    element(out, 0x0020, 0x0032, "DS", "0\\0\\" + std::to_string(f));
    element(out, 0x0020, 0x0037, "DS", "1\\0\\0\\0\\1\\0");
    element(out, 0x0028, 0x0002, "US", us(1));
    element(out, 0x0028, 0x0010, "US", us(kSize));
    element(out, 0x0028, 0x0011, "US", us(kSize));
    element(out, 0x0028, 0x0030, "DS", "0.5\\0.5");
    element(out, 0x0028, 0x0100, "US", us(16));
    element(out, 0x0028, 0x0103, "US", us(0));
    element(out, 0x7FE0, 0x0010, "OW", std::string(reinterpret_cast<const char*>(pixels.data()), pixels.size() * 2));
    const wxString name = wxFileName(folder, wxString::Format("im%03d.dcm", f)).GetFullPath();
    FILE* fp = std::fopen(name.fn_str(), "wb");
    std::fwrite(out.data(), 1, out.size(), fp);
    std::fclose(fp);
  }
  return folder;
}

void BM_ReadFileBytes(benchmark::State& state) {
  const wxString folder = series_folder();
  wxArrayString files;
  wxDir::GetAllFiles(folder, &files, wxEmptyString, wxDIR_FILES);
  std::vector<char> buffer(size_t(kSize) * kSize * 2 + 4096);
  size_t bytes = 0;
  for (auto _ : state) {
    for (const wxString& f : files) {
      FILE* fp = std::fopen(f.fn_str(), "rb");
      bytes += std::fread(buffer.data(), 1, buffer.size(), fp);
      std::fclose(fp);
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

// The memory traffic a load cannot avoid: each file read into a frame buffer
// of its own, kept until all are read.
void BM_ReadIntoNewFrames(benchmark::State& state) {
  const wxString folder = series_folder();
  wxArrayString files;
  wxDir::GetAllFiles(folder, &files, wxEmptyString, wxDIR_FILES);
  const size_t plane = size_t(kSize) * kSize;
  size_t bytes = 0;
  for (auto _ : state) {
    std::vector<uint16_t*> frames;
    for (const wxString& f : files) {
      auto* raw = new uint16_t[plane + 2048];
      FILE* fp = std::fopen(f.fn_str(), "rb");
      bytes += std::fread(raw, 1, (plane + 2048) * 2, fp);
      std::fclose(fp);
      frames.push_back(raw);
    }
    benchmark::DoNotOptimize(frames.data());
    for (uint16_t* r : frames) delete[] r;
  }
  state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_ReadIntoNewFrames)->Unit(benchmark::kMillisecond);

void BM_LoadDicomDirectory(benchmark::State& state) {
  const wxString folder = series_folder();
  wxLogNull quiet;
  headless_session session;
  size_t bytes = 0;
  for (auto _ : state) {
    base_res_t::hold_pending_writes(true);
    const int ok = dicom_utility::load_dicom_files(wxFileName(folder));
    base_res_t::hold_pending_writes(false);
    base_res_t::cancel_pending_writes();
    if (ok != 1 || frame_store->images.size() != size_t(kFrames)) state.SkipWithError("load failed");
    bytes += size_t(kFrames) * kSize * kSize * 2;
    state.PauseTiming();
    frame_store->clear();
    resource_table->RES_DICOM_FRAME_LIST->pending()->clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_LoadDicomDirectory)->Unit(benchmark::kMillisecond)->Iterations(3);

// Each load in a fresh process, so that its frames' memory is touched for
// the first time as at File > Open in a new program.
void BM_fresh_process_load_against_one_buffer(benchmark::State& state) {
  const std::string folder = series_folder().ToStdString();
  fresh_process::run_against_baseline(state, {"load", folder}, {"read", folder});
  state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * kSize * kSize * 2);
}
BENCHMARK(BM_fresh_process_load_against_one_buffer)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(15);

// "read <folder>": the files' bytes into one fresh buffer; "load <folder>":
// the directory into a new data set.
int child(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string what = argv[2];
  const wxString folder = wxString::FromUTF8(argv[3]);
  fresh_process::stopwatch clock;
  if (what == "read") {
    wxArrayString names;
    wxDir::GetAllFiles(folder, &names, wxEmptyString, wxDIR_FILES);
    names.Sort();
    std::vector<std::string> files;
    size_t total = 0;
    for (const wxString& n : names) {
      files.push_back(n.ToStdString());
      total += size_t(wxFileName::GetSize(n).GetValue());
    }
    clock = fresh_process::stopwatch();
    char* bytes = fresh_process::read_into_one_fresh_buffer(files, total);
    clock.stop();
    if (!bytes) return 1;
    ::munmap(bytes, total);
  } else if (what == "load") {
    wxLogNull quiet;
    headless_session session;
    clock = fresh_process::stopwatch();
    base_res_t::hold_pending_writes(true);
    const int ok = dicom_utility::load_dicom_files(wxFileName(folder));
    base_res_t::hold_pending_writes(false);
    clock.stop();
    base_res_t::cancel_pending_writes();
    if (ok != 1 || frame_store->images.size() != size_t(kFrames)) return 1;
  } else {
    return 2;
  }
  clock.report();
  return 0;
}

// The directory scan alone (headers of every file, no pixels).
void BM_ScanDicomDirectory(benchmark::State& state) {
  const wxString folder = series_folder();
  wxArrayString files;
  wxDir::GetAllFiles(folder, &files, wxEmptyString, wxDIR_FILES);
  for (auto _ : state) {
    dicom_utility::series_list.clear();
    for (size_t i = 0; i < files.size(); ++i)
      dicom_utility::read_dicom_data(wxFileName(files[i]), -2, int(i), nullptr, nullptr, nullptr);
    if (dicom_utility::series_list.size() != 1) state.SkipWithError("scan failed");
  }
}
BENCHMARK(BM_ScanDicomDirectory)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  wxInitializer init;
  if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return child(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  wxFileName::Rmdir(series_folder(), wxPATH_RMDIR_RECURSIVE);
  return 0;
}
