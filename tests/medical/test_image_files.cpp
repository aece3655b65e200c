// TIFF files and image series: grey pages read with their exact values,
// pixel sizes from the resolution tags, windows from the sample range, the
// CT marker with page positions, signed and tiled pages, colour images
// reduced to grey, the frame-size lock, series found by a scan, and
// numbered series loaded in order. Fixtures: tests/data/make_image_fixtures.py,
// whose pixel formulas are repeated here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log_capture.h"
#include "medical/dicom_utility.h"
#include "medical/toolkit/wx_image_toolkit.h"
#include "medical_support.h"

namespace {

const wxString& image_root() {
  static const wxString dir = generated_fixtures("make_image_fixtures.py");
  return dir;
}
wxString fixture(const wxString& rel) { return wxFileName(image_root() + "/" + rel).GetFullPath(); }

int u8(int x, int y, int p = 0) { return (x * 40 + y * 7 + p) % 256; }
int u16(int x, int y, int p = 0) { return (x * 257 + y * 4099 + p * 7) % 65536; }
int s16(int x, int y) { return x * 1000 - y * 3000 - 1; }
int grey_of_rgb(int x, int y) { return (x * 50 % 256 + y * 80 % 256 + (x + y) * 30 % 256) / 3; }

class ImageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(image_root().empty()) << "fixture generator failed";
    install_toolkit_images();
    dicom_utility::reset_reader_state();
    dicom_utility::reset_data_source();
    dicom_utility::series_list.clear();
  }
  void TearDown() override {
    dicom_utility::reset_reader_state();
    dicom_utility::reset_data_source();
    dicom_utility::series_list.clear();
  }
  int probe(const wxString& rel) {
    const wxFileName n(fixture(rel));
    return dicom_utility::read_image_data(n, n, -1, 0, 1, nullptr, nullptr, nullptr);
  }
  int read(const wxString& rel, int frame, int index) {
    const wxFileName n(fixture(rel));
    std::fill(raw.begin(), raw.end(), 0xABCD);
    std::fill(display.begin(), display.end(), 0xEE);
    return dicom_utility::read_image_data(n, n, frame, index, 1, raw.data(), display.data(), &pos);
  }

  resource_set res;
  std::vector<uint16_t> raw = std::vector<uint16_t>(1024);
  std::vector<uint8_t> display = std::vector<uint8_t>(1024);
  position_t pos;
};

// What a probe writes, file by file.
TEST_F(ImageFiles, ProbeWritesSizesScalesWindowAndCalibration) {
  struct probe_case {
    const char* file;
    int width, height;
    double scale_x, scale_y, centre, window, intercept;
    const char* units;
    bool positions;
  };
  const probe_case cases[] = {
      {"u8.tif", 5, 3, 0.01, 0.01, 127, 256, 0, "??", false},
      {"u16_cm.tif", 5, 3, 0.02, 0.02, 2047.5, 4095, 0, "??", false},
      {"u16_inch.tif", 5, 3, 0.01, 0.01, 10000, 20000, 0, "??", false},
      {"u16_zero.tif", 5, 3, 0.1, 0.1, 10000, 20000, 0, "??", false},
      {"u16_none.tif", 5, 3, 0.01, 0.01, 10000, 20000, 0, "??", false},
      {"s16.tif", 4, 3, 0.01, 0.01, 10000, 20000, -32768, "??", false},
      {"s8.tif", 4, 3, 0.01, 0.01, 127, 256, -128, "??", false},
      {"ct3.tif", 5, 3, 0.01, 0.01, 10000 - 32768, 20000, -32768, "HU", true},
      {"ct5.tif", 5, 3, 0.01, 0.01, 10000 - 32768, 20000, -32768, "HU", false},
      {"rgb.tif", 5, 3, 0.02, 0.02, 127, 256, 0, "??", false},
      {"colour.png", 5, 3, 0.01, 0.01, 127, 256, 0, "??", false},
  };
  for (const probe_case& c : cases) {
    SCOPED_TRACE(c.file);
    res.pos_rec.write_no_changeprocs(!c.positions);
    ASSERT_EQ(probe(c.file), c.width * c.height);
    EXPECT_EQ(res.width.pending(), c.width);
    EXPECT_EQ(res.height.pending(), c.height);
    EXPECT_DOUBLE_EQ(res.xscale.pending(), c.scale_x);
    EXPECT_DOUBLE_EQ(res.yscale.pending(), c.scale_y);
    EXPECT_DOUBLE_EQ(res.centre.pending(), c.centre);
    EXPECT_DOUBLE_EQ(res.window.pending(), c.window);
    EXPECT_DOUBLE_EQ(res.hum.pending(), 1.0);
    EXPECT_DOUBLE_EQ(res.hub.pending(), c.intercept);
    EXPECT_EQ(res.units.pending(), c.units);
    EXPECT_EQ(res.pos_rec.pending(), c.positions);
    EXPECT_EQ(res.bin_name.pending(), fixture(c.file));
    EXPECT_TRUE(res.buf_dicom.pending());
  }
  res.frames.write_no_changeprocs(0);
  ASSERT_EQ(probe("ct3.tif"), 15);
  EXPECT_EQ(res.frames.pending(), 3) << "the page count";
}

// Values as written, per file, pixel by pixel.
TEST_F(ImageFiles, FrameReadsGiveTheExactValues) {
  struct read_case {
    const char* file;
    int width, height;
    bool sixteen;
    int (*value)(int x, int y);  // raw value, or display byte
  };
  const read_case cases[] = {
      {"u8.tif", 5, 3, false, [](int x, int y) { return u8(x, y); }},
      {"u16_cm.tif", 5, 3, true, [](int x, int y) { return u16(x, y); }},
      {"s16.tif", 4, 3, true, [](int x, int y) { return s16(x, y) + 32768; }},
      {"s16_be.tif", 4, 3, true, [](int x, int y) { return s16(x, y) + 32768; }},
      {"s8.tif", 4, 3, false, [](int x, int y) { return x * 30 - y * 50 - 1 + 128; }},
      {"tiled.tif", 40, 20, true, [](int x, int y) { return u16(x, y); }},
      {"rgb.tif", 5, 3, false, grey_of_rgb},
      {"colour.png", 5, 3, false, grey_of_rgb},
  };
  for (const read_case& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_EQ(probe(c.file), c.width * c.height);
    ASSERT_EQ(read(c.file, 0, 0), c.width * c.height);
    EXPECT_TRUE(dicom_utility::data_16bit);
    EXPECT_EQ(dicom_utility::data_8bit, !c.sixteen);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        const size_t k = size_t(y * c.width + x);
        if (c.sixteen)
          ASSERT_EQ(raw[k], c.value(x, y)) << x << "," << y;
        else
          ASSERT_EQ(display[k], c.value(x, y)) << x << "," << y;
      }
    const size_t n = size_t(c.width * c.height);
    if (c.sixteen)
      EXPECT_EQ(raw[n], 0xABCD) << "nothing past the frame";
    else
      EXPECT_EQ(display[n], 0xEE) << "nothing past the frame";
  }
}

TEST_F(ImageFiles, MarkedPagesCarryTheirPositions) {
  ASSERT_EQ(probe("ct3.tif"), 15);
  for (int page = 0; page < 3; ++page) {
    SCOPED_TRACE(page);
    ASSERT_EQ(read("ct3.tif", page, page), 15);
    EXPECT_EQ(raw[7], u16(2, 1, page));
    const position_t& loc = dicom_utility::frame_file_info.location[size_t(page)];
    EXPECT_FLOAT_EQ(loc.x, float((1.5 + page) / 10));
    EXPECT_FLOAT_EQ(loc.y, 0.2f);
    EXPECT_FLOAT_EQ(loc.z, float((3 + 2.5 * page) / 10));
    EXPECT_EQ(loc.roll, 90.0f);
    EXPECT_FLOAT_EQ(pos.z, loc.z);
    EXPECT_TRUE(dicom_utility::patient_coordinates);
    EXPECT_DOUBLE_EQ(dicom_utility::frame_file_info.pixel_size_x[size_t(page)], 0.1);
  }
  // Raw 32768 is 0 HU.
  EXPECT_EQ(dicom_utility::file_rescale.slope * 32768 + dicom_utility::file_rescale.intercept, 0.0);
  EXPECT_EQ(read("ct3.tif", 3, 7), 15) << "an index past the last page reads the last page";
  EXPECT_EQ(raw[7], u16(2, 1, 2));

  ASSERT_EQ(probe("ct5.tif"), 15);
  ASSERT_EQ(read("ct5.tif", 0, 0), 15);
  EXPECT_FALSE(dicom_utility::locations_from_file) << "five numbers are no position";
  EXPECT_EQ(dicom_utility::frame_file_info.location[0].roll, 0.0f);
}

TEST_F(ImageFiles, FramesOfAnotherSizeAreRefused) {
  ASSERT_EQ(probe("u16_cm.tif"), 15);
  EXPECT_EQ(read("tiled.tif", 0, 0), -1) << "the probe fixed 5 x 3";
  EXPECT_EQ(raw[0], 0xABCD);
  EXPECT_EQ(read("colour.png", 1, 1), 15);
  EXPECT_EQ(read("s16.tif", 2, 2), -1);
  // Without a probe the first frame fixes the size.
  EXPECT_EQ(read("s16.tif", 0, 0), 12);
  EXPECT_EQ(read("u8.tif", 1, 1), -1);
}

TEST_F(ImageFiles, DamagedPagesFailAndOtherFilesAreNotImages) {
  log_capture log;
  ASSERT_EQ(probe("cut.tif"), 15);
  EXPECT_EQ(read("cut.tif", 0, 0), -1) << "a strip past the end of the file";
  EXPECT_TRUE(log.has(wxLOG_Warning, "page 0 could not be read."));

  scratch_dir dir;
  const std::string tiff_head = std::string("II*\0", 4);
  struct not_image {
    const char* name;
    std::string bytes;
  };
  const not_image cases[] = {
      {"empty.tif", ""},
      {"text.txt", "not an image\n"},
      {"head.tif", tiff_head + std::string("\x08\0\0\0", 4)},
      {"short.png", "\x89PNG\r\n\x1a\n"},
  };
  for (const not_image& c : cases) {
    SCOPED_TRACE(c.name);
    const wxFileName n(dir.write(c.name, c.bytes));
    EXPECT_EQ(dicom_utility::read_image_data(n, n, -1, 0, 1, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(dicom_utility::read_image_data(n, n, 0, 0, 1, raw.data(), display.data(), nullptr), 0);
  }
}

TEST_F(ImageFiles, ScanGroupsSlicesBySizeSpacingAndFolder) {
  const wxString stack = fixture("stack");
  for (int i = 0;; ++i) {
    const wxString f = dicom_utility::directory_file(stack, i);
    if (f.empty()) break;
    ASSERT_GT(dicom_utility::read_image_data(wxFileName(f), wxFileName(f), -2, i, 1, nullptr,
                                             nullptr, nullptr), 0);
  }
  ASSERT_EQ(dicom_utility::series_list.size(), 2u);
  const data_series_t& slices = dicom_utility::series_list[0];
  EXPECT_EQ(slices.frame_count, 20);
  EXPECT_EQ(slices.first_index, 0);
  EXPECT_EQ(slices.width, 4);
  EXPECT_DOUBLE_EQ(slices.pixel_spacing_x, 0.05);
  EXPECT_FALSE(slices.is_dicom);
  EXPECT_EQ(dicom_utility::series_list[1].width, 6);
  EXPECT_EQ(dicom_utility::series_list[1].frame_count, 1);
  EXPECT_EQ(dicom_utility::series_list[1].first_index, 20);

  dicom_utility::series_list.clear();
  const wxFileName multi(fixture("ct3.tif"));
  ASSERT_EQ(dicom_utility::read_image_data(multi, multi, -2, 0, 1, nullptr, nullptr, nullptr), 15);
  ASSERT_EQ(dicom_utility::series_list.size(), 1u);
  EXPECT_TRUE(dicom_utility::series_list[0].multi_frame);
  EXPECT_EQ(dicom_utility::series_list[0].frame_count, 3);
}

// Whole data sets through the loader: numbered series in file order, a
// multi-page TIFF page by page.
TEST_F(ImageFiles, DataSetsLoadInOrder) {
  struct load_case {
    const char* file;
    size_t frames;
    int tolerance;  // JPEG is lossy
    int (*pixel0)(int frame);
  };
  const load_case cases[] = {
      {"png/s001.png", 3, 0, [](int n) { return 10 * (n + 1); }},
      {"bmp/s002.bmp", 3, 0, [](int n) { return 10 * (n + 1); }},
      {"jpg/s001.jpg", 3, 2, [](int n) { return 40 * (n + 1); }},
      {"stack/t05.tif", 20, 0, [](int n) { return n; }},
  };
  for (const load_case& c : cases) {
    SCOPED_TRACE(c.file);
    dynabuf store;
    dynabuf* saved = frame_store;
    frame_store = &store;
    const int loaded = dicom_utility::load_dicom_files(wxFileName(fixture(c.file)));
    frame_store = saved;
    ASSERT_EQ(loaded, 1);
    ASSERT_EQ(store.images.size(), c.frames);
    for (size_t k = 0; k < c.frames; ++k) {
      EXPECT_NEAR(store.images[k]->display[0], c.pixel0(int(k)), c.tolerance) << k;
      // 8-bit frames: display bytes from one slab, no values kept.
      EXPECT_EQ(store.images[k]->raw, nullptr);
      EXPECT_EQ(store.images[k]->slab, store.images[0]->slab);
    }
    EXPECT_NE(store.images[0]->slab, nullptr);
  }
  // 16-bit values read after 8-bit data (and 8-bit after 16-bit) each end
  // up in the right place.
  dynabuf store;
  dynabuf* saved = frame_store;
  frame_store = &store;
  ASSERT_EQ(dicom_utility::load_dicom_files(wxFileName(fixture("ct3.tif"))), 1);
  frame_store = saved;
  ASSERT_EQ(store.images.size(), 3u);
  for (int p = 0; p < 3; ++p) {
    const frame_image_t& f = *store.images[size_t(p)];
    EXPECT_EQ(f.raw[14], u16(4, 2, p));
    EXPECT_NE(f.raw_slab, nullptr);
    EXPECT_EQ(f.raw_slab, store.images[0]->raw_slab);
    EXPECT_EQ(f.slab, store.images[0]->slab);
  }
  dynabuf again;
  frame_store = &again;
  ASSERT_EQ(dicom_utility::load_dicom_files(wxFileName(fixture("png/s001.png"))), 1);
  frame_store = saved;
  ASSERT_EQ(again.images.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(again.images[size_t(k)]->display[0], 10 * (k + 1));
    EXPECT_EQ(again.images[size_t(k)]->raw, nullptr);
  }
}

}  // namespace
