// Writing and reading a binary PLY of 1,000,000 vertices (position, normal,
// colour: 27 bytes each) and 2,000,000 triangles (13 bytes each), about
// 53 MB, next to baselines in the same process: the same bytes written with
// one fwrite, and read with fread into one buffer.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <wx/wfstream.h>

#include "data/ply_file.h"

namespace {

constexpr int kVertices = 1000000;
constexpr int kFaces = 2 * kVertices;

std::string path_of(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string(name) + "_" + std::to_string(::getpid()) + ".ply"))
      .string();
}

double value(int i, int k) { return (i % 1000) * 0.01 + k * 0.5 + i * 1e-6; }

bool write_mesh(ply_writer& w) {
  if (!w.add_comment("bench") || !w.add_element("vertex", kVertices)) return false;
  for (const char* n : {"x", "y", "z", "nx", "ny", "nz"})
    if (!w.add_scalar_property(n, ply_type::float32)) return false;
  for (const char* n : {"red", "green", "blue"})
    if (!w.add_scalar_property(n, ply_type::uint8)) return false;
  if (!w.add_element("face", kFaces) ||
      !w.add_list_property("vertex_indices", ply_type::uint8, ply_type::uint32) ||
      !w.write_header())
    return false;
  for (int i = 0; i < kVertices; ++i) {
    for (int k = 0; k < 6; ++k)
      if (!w.write_value(value(i, k))) return false;
    for (int k = 0; k < 3; ++k)
      if (!w.write_value((i + k) & 255)) return false;
  }
  for (int f = 0; f < kFaces; ++f) {
    if (!w.write_value(3)) return false;
    for (int k = 0; k < 3; ++k)
      if (!w.write_value((f / 2 + k) % kVertices)) return false;
  }
  return w.close();
}

// The file's bytes, made once by the writer.
const std::string& file_bytes() {
  static std::string bytes;
  if (bytes.empty()) {
    const std::string p = path_of("bench_ply_bytes");
    {
      wxFFileOutputStream out(p, "wb");
      ply_writer w(out);
      write_mesh(w);
    }
    FILE* f = std::fopen(p.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    bytes.resize(size_t(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(&bytes[0], 1, bytes.size(), f) != bytes.size()) bytes.clear();
    std::fclose(f);
    std::remove(p.c_str());
  }
  return bytes;
}

void BM_ply_write(benchmark::State& state) {
  const std::string p = path_of("bench_ply_write");
  for (auto _ : state) {
    wxFFileOutputStream out(p, "wb");
    ply_writer w(out);
    if (!write_mesh(w)) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file_bytes().size()));
  std::remove(p.c_str());
}

void BM_baseline_fwrite(benchmark::State& state) {
  const std::string& bytes = file_bytes();
  const std::string p = path_of("bench_ply_fwrite");
  for (auto _ : state) {
    FILE* f = std::fopen(p.c_str(), "wb");
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) state.SkipWithError("fwrite");
    std::fclose(f);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
  std::remove(p.c_str());
}

struct read_file {
  std::string path = path_of("bench_ply_read");
  read_file() {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(file_bytes().data(), 1, file_bytes().size(), f);
    std::fclose(f);
  }
  ~read_file() { std::remove(path.c_str()); }
};

void BM_ply_read(benchmark::State& state) {
  read_file file;
  std::vector<float> xyz(3 * size_t(kVertices));
  std::vector<uint32_t> faces(3 * size_t(kFaces));
  for (auto _ : state) {
    ply_reader r;
    if (!r.open_file(file.path)) state.SkipWithError("open failed");
    for (int k = 0; k < 3; ++k)
      r.set_callback("vertex", std::string(1, "xyz"[k]), [&xyz, k](const ply_value& v) {
        xyz[3 * size_t(v.instance) + size_t(k)] = float(v.value);
        return true;
      });
    r.set_callback("face", "vertex_indices", [&faces](const ply_value& v) {
      if (v.value_index >= 0 && v.value_index < 3)
        faces[3 * size_t(v.instance) + size_t(v.value_index)] = uint32_t(v.value);
      return true;
    });
    if (!r.read()) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(faces.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file_bytes().size()));
}

void BM_baseline_fread(benchmark::State& state) {
  read_file file;
  std::vector<char> buffer(file_bytes().size());
  for (auto _ : state) {
    FILE* f = std::fopen(file.path.c_str(), "rb");
    if (std::fread(buffer.data(), 1, buffer.size(), f) != buffer.size()) state.SkipWithError("fread");
    std::fclose(f);
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buffer.size()));
}

}  // namespace

BENCHMARK(BM_ply_write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_baseline_fwrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ply_read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_baseline_fread)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
