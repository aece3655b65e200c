// Reading every slice of a 512 x 512 x 200 signed 16-bit NIfTI volume through
// the reader, plain and gzip-compressed, and of the same samples as a
// big-endian MetaImage, next to reading (and inflating) the same files'
// bytes with no parsing at all.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/wfstream.h>
#include <wx/zstream.h>

#include "medical/reader_state.h"
#include "registry/res_values.h"

namespace {

constexpr int kSize = 512, kFrames = 200;

struct resources {
  long_res_t width{512, L"RES_BUF_WIDTH", 0, 0};
  long_res_t height{512, L"RES_BUF_HEIGHT", 0, 0};
  long_res_t frames{0, L"RES_BUF_FRAMES", 0, 0};
};

// The volume as name.nii and name.nii.gz, made once per run.
const wxString& volume(bool gz) {
  static wxString plain, packed;
  if (plain.empty()) {
    const wxString base = wxFileName::CreateTempFileName("nvbenchvol");
    wxRemoveFile(base);
    plain = base + ".nii";
    packed = base + ".nii.gz";
    std::string h(352, '\0');
    auto put = [&](size_t at, const void* v, size_t n) { std::memcpy(&h[at], v, n); };
    const int32_t size = 348;
    const int16_t dim[4] = {3, kSize, kSize, kFrames}, type[2] = {4, 16};
    const float pix[4] = {1, 0.5f, 0.5f, 1}, vox = 352;
    put(0, &size, 4);
    put(40, dim, 8);
    put(70, type, 4);
    put(76, pix, 16);
    put(108, &vox, 4);
    put(344, "n+1", 4);
    std::vector<int16_t> slice(size_t(kSize) * kSize);
    wxFFileOutputStream a(plain), b(packed);
    wxZlibOutputStream z(b, -1, wxZLIB_GZIP);
    a.Write(h.data(), h.size());
    z.Write(h.data(), h.size());
    for (int k = 0; k < kFrames; ++k) {
      for (size_t i = 0; i < slice.size(); ++i) slice[i] = int16_t((i * 7 + size_t(k) * 13) % 3000 - 1000);
      a.Write(slice.data(), slice.size() * 2);
      z.Write(slice.data(), slice.size() * 2);
    }
    z.Close();
  }
  return gz ? packed : plain;
}

void BM_ReaderAllSlices(benchmark::State& state) {
  static resources* res = new resources;
  const wxFileName name(volume(state.range(0) != 0));
  std::vector<uint16_t> raw(size_t(kSize) * kSize);
  std::vector<uint8_t> display(raw.size());
  for (auto _ : state) {
    read_hdr_data(name, -1, 0, nullptr, nullptr, nullptr);
    res->frames.write_no_changeprocs(kFrames);
    for (int k = 0; k < kFrames; ++k)
      benchmark::DoNotOptimize(read_hdr_data(name, k, k, raw.data(), display.data(), nullptr));
  }
  state.SetBytesProcessed(state.iterations() * int64_t(raw.size()) * 2 * kFrames);
}
BENCHMARK(BM_ReaderAllSlices)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Baseline: the same bytes read (and inflated) slice by slice, nothing else.
void BM_BytesOnly(benchmark::State& state) {
  const bool gz = state.range(0) != 0;
  const wxString path = volume(gz);
  std::vector<char> buf(size_t(kSize) * kSize * 2);
  for (auto _ : state) {
    wxFFileInputStream file(path);
    std::unique_ptr<wxZlibInputStream> z;
    wxInputStream* in = &file;
    if (gz) {
      z = std::make_unique<wxZlibInputStream>(file, wxZLIB_AUTO);
      in = z.get();
    }
    in->Read(buf.data(), 352);
    for (int k = 0; k < kFrames; ++k) benchmark::DoNotOptimize(in->Read(buf.data(), buf.size()).LastRead());
  }
  state.SetBytesProcessed(state.iterations() * int64_t(buf.size()) * kFrames);
}
BENCHMARK(BM_BytesOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same samples, big-endian, as name.mhd beside name.raw.
const wxString& metaimage() {
  static wxString header, data;
  if (header.empty()) {
    const wxString base = wxFileName::CreateTempFileName("nvbenchmhd");
    wxRemoveFile(base);
    header = base + ".mhd";
    data = base + ".raw";
    wxFFileOutputStream h(header), d(data);
    const std::string text =
        "ObjectType = Image\nNDims = 3\nBinaryData = True\nBinaryDataByteOrderMSB = True\n"
        "CompressedData = False\nOffset = 0 0 0\nElementSpacing = 0.5 0.5 1\nDimSize = 512 512 200\n"
        "ElementType = MET_SHORT\nElementDataFile = " + wxFileName(data).GetFullName().ToStdString() + "\n";
    h.Write(text.data(), text.size());
    std::vector<uint8_t> slice(size_t(kSize) * kSize * 2);
    for (int k = 0; k < kFrames; ++k) {
      for (size_t i = 0; i < slice.size() / 2; ++i) {
        const uint16_t v = uint16_t(int16_t((i * 7 + size_t(k) * 13) % 3000 - 1000));
        slice[2 * i] = uint8_t(v >> 8);
        slice[2 * i + 1] = uint8_t(v);
      }
      d.Write(slice.data(), slice.size());
    }
  }
  return header;
}

void BM_MetaImageBigEndianAllSlices(benchmark::State& state) {
  static resources* res = new resources;
  const wxFileName name(metaimage());
  std::vector<uint16_t> raw(size_t(kSize) * kSize);
  std::vector<uint8_t> display(raw.size());
  for (auto _ : state) {
    read_mhd_data(name, -1, 0, nullptr, nullptr, nullptr);
    res->frames.write_no_changeprocs(kFrames);
    for (int k = 0; k < kFrames; ++k)
      benchmark::DoNotOptimize(read_mhd_data(name, k, k, raw.data(), display.data(), nullptr));
  }
  state.SetBytesProcessed(state.iterations() * int64_t(raw.size()) * 2 * kFrames);
}
BENCHMARK(BM_MetaImageBigEndianAllSlices)->Unit(benchmark::kMillisecond);

// Baseline: the data file's bytes read slice by slice.
void BM_MetaImageBytesOnly(benchmark::State& state) {
  wxFileName data(metaimage());
  data.SetExt("raw");
  std::vector<char> buf(size_t(kSize) * kSize * 2);
  for (auto _ : state) {
    wxFFileInputStream file(data.GetFullPath());
    for (int k = 0; k < kFrames; ++k) benchmark::DoNotOptimize(file.Read(buf.data(), buf.size()).LastRead());
  }
  state.SetBytesProcessed(state.iterations() * int64_t(buf.size()) * kFrames);
}
BENCHMARK(BM_MetaImageBytesOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
