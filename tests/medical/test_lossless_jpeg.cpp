// The lossless JPEG decoder against codestreams from dcmtk's encoder and from
// the test encoder (whose streams dcmtk's decoder checks), with the samples
// the generator started from; and codestreams damaged in the ways that must
// fail rather than overrun or deliver a partial image.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "medical/lossless_jpeg.h"
#include "medical_support.h"

namespace {

struct stream_case {
  std::string name;
  int width, height, comps, precision;
  std::string bytes;
  std::vector<uint16_t> samples;
};

std::vector<stream_case> load_streams() {
  std::vector<stream_case> cases;
  const wxString dir = generated_fixtures("make_lossless_fixtures.py");
  if (dir.empty()) return cases;
  std::istringstream manifest(read_bytes(wxFileName(dir, "manifest.txt").GetFullPath()));
  stream_case c;
  while (manifest >> c.name >> c.width >> c.height >> c.comps >> c.precision) {
    c.bytes = read_bytes(wxFileName(dir, c.name + ".jpg").GetFullPath());
    const std::string raw = read_bytes(wxFileName(dir, c.name + ".raw").GetFullPath());
    c.samples.resize(raw.size() / 2);
    for (size_t i = 0; i < c.samples.size(); ++i)
      c.samples[i] = uint16_t(uint8_t(raw[2 * i]) | (uint8_t(raw[2 * i + 1]) << 8));
    cases.push_back(c);
  }
  return cases;
}

const std::vector<stream_case>& streams() {
  static const std::vector<stream_case> cases = load_streams();
  return cases;
}

const stream_case& stream(const std::string& name) {
  for (const auto& c : streams())
    if (c.name == name) return c;
  static stream_case none;
  ADD_FAILURE() << "no fixture " << name;
  return none;
}

uint16_t decode(const std::string& bytes, void* out, int bpp, int w, int h) {
  return lossless_jpeg_decode(reinterpret_cast<const uint8_t*>(bytes.data()), out, bpp,
                              int32_t(bytes.size()), w, h);
}

TEST(LosslessJpeg, EveryPredictorPrecisionAndRestartIntervalDecodesExactly) {
  ASSERT_GE(streams().size(), 40u) << "fixture generator failed";
  for (const auto& c : streams()) {
    SCOPED_TRACE(c.name);
    const size_t pixels = size_t(c.width) * size_t(c.height);
    if (c.comps == 1) {
      std::vector<uint16_t> out(pixels, 0xABCD);
      ASSERT_EQ(decode(c.bytes, out.data(), 16, c.width, c.height), 0);
      EXPECT_EQ(out, c.samples);
      if (c.precision <= 8) {
        std::vector<uint8_t> out8(pixels);
        ASSERT_EQ(decode(c.bytes, out8.data(), 8, c.width, c.height), 0);
        EXPECT_TRUE(std::equal(out8.begin(), out8.end(), c.samples.begin()));
      }
    } else {
      std::vector<uint8_t> out(pixels * 3);
      ASSERT_EQ(decode(c.bytes, out.data(), 24, c.width, c.height), 0);
      EXPECT_TRUE(std::equal(out.begin(), out.end(), c.samples.begin()));
    }
  }
}

// Offset of the first marker `code` after the start of the stream.
size_t marker(const std::string& s, uint8_t code) {
  for (size_t i = 0; i + 1 < s.size(); ++i)
    if (uint8_t(s[i]) == 0xFF && uint8_t(s[i + 1]) == code) return i;
  return std::string::npos;
}

TEST(LosslessJpeg, DamagedStreamsFail) {
  const stream_case& rst = stream("own_p12_sv1_rst2");
  const stream_case& plain = stream("own_p16_sv3");
  const stream_case& rgb = stream("dcmtk_rgb_sv1");
  ASSERT_FALSE(rst.bytes.empty());
  struct {
    const char* what;
    std::string bytes;
    int bpp, w, h;
  } cases[] = {
      {"no start of image", rst.bytes.substr(2), 16, rst.width, rst.height},
      {"frame wider than the caller's image", rst.bytes, 16, rst.width - 1, rst.height},
      {"frame taller than the caller's image", rst.bytes, 16, rst.width, rst.height - 1},
      {"cut in the entropy data", rst.bytes.substr(0, rst.bytes.size() / 2), 16, rst.width, rst.height},
      {"cut before the scan", rst.bytes.substr(0, marker(rst.bytes, 0xDA) + 3), 16, rst.width, rst.height},
      {"one component for three-byte pixels", plain.bytes, 24, plain.width, plain.height},
      {"bad output depth", plain.bytes, 12, plain.width, plain.height},
  };
  for (auto& c : cases) {
    std::vector<uint16_t> out(size_t(rst.width + 8) * size_t(rst.height + 8) * 2);
    EXPECT_EQ(decode(c.bytes, out.data(), c.bpp, c.w, c.h), 0xFFFF) << c.what;
  }
  std::vector<uint8_t> out(size_t(rgb.width) * size_t(rgb.height) * 3);
  EXPECT_EQ(decode(rgb.bytes, out.data(), 24, rgb.width, rgb.height), 0);
}

TEST(LosslessJpeg, MalformedHeadersFail) {
  const stream_case& c = stream("own_p12_sv6_pt3");
  ASSERT_FALSE(c.bytes.empty());
  const size_t sof = marker(c.bytes, 0xC3), sos = marker(c.bytes, 0xDA), dht = marker(c.bytes, 0xC4);
  auto patched = [&](size_t at, uint8_t value) {
    std::string s = c.bytes;
    s[at] = char(value);
    return s;
  };
  const size_t ns = size_t(uint8_t(c.bytes[sos + 4]));
  struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"precision 1", patched(sof + 4, 1)},
      {"precision 17", patched(sof + 4, 17)},
      {"five components", patched(sof + 9, 5)},
      {"sampling 2x1", patched(sof + 11, 0x21)},
      {"unknown component in the scan", patched(sos + 5, 9)},
      {"table slot without a table", patched(sos + 6, 0x20)},
      {"point transform as large as the precision", patched(sos + 5 + 2 * ns + 2, 12)},
      {"AC table", patched(dht + 4, 0x10)},
      {"difference category above 16", [&] {
         std::string s = c.bytes;
         for (size_t i = dht + 21; i < dht + 21 + 17; ++i) s[i] = char(0x20);
         return s;
       }()},
      {"more codes than their length holds", patched(dht + 5, 3)},
  };
  std::vector<uint16_t> out(size_t(c.width) * size_t(c.height));
  for (auto& k : cases) EXPECT_EQ(decode(k.bytes, out.data(), 16, c.width, c.height), 0xFFFF) << k.what;
}

TEST(LosslessJpeg, RestartMarkerOutOfSequenceFails) {
  const stream_case& c = stream("own_p12_sv1_rst2");
  ASSERT_FALSE(c.bytes.empty());
  std::string s = c.bytes;
  const size_t rst1 = marker(s, 0xD1);
  ASSERT_NE(rst1, std::string::npos);
  s[rst1 + 1] = char(0xD3);
  std::vector<uint16_t> out(size_t(c.width) * size_t(c.height));
  EXPECT_EQ(decode(s, out.data(), 16, c.width, c.height), 0xFFFF);
}

}  // namespace
