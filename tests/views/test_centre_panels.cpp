// The centre view's choice of what to show, and the Volume page's histogram
// on small fixtures whose bins are counted by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "data/dynabuf.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "tools/headless_session.h"
#include "views/centre_panels.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"

namespace {

class CentrePanels : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  // A fresh table and frame store; the old ones go first.
  void restart() {
    session_.reset();
    session_ = std::make_unique<headless_session>();
  }

  // n frames of w x h, 8-bit pixels from pixel(k, x, y) or 16-bit raw values.
  template <class F>
  void load(int n, int w, int h, bool raw, F pixel, bool positions = false) {
    for (int k = 0; k < n; ++k) {
      const size_t size = static_cast<size_t>(w) * h;
      auto* display = new uint8_t[size]();
      uint16_t* values = raw ? new uint16_t[size]() : nullptr;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          if (raw)
            values[static_cast<size_t>(y) * w + x] = static_cast<uint16_t>(pixel(k, x, y));
          else
            display[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(pixel(k, x, y));
        }
      frame_store->add_image(raw ? frame_image_t::create(display, values, static_cast<int32_t>(size))
                                 : frame_image_t::create(display, static_cast<int32_t>(size)));
      frame_store->timestamps.push_back(0);
      if (positions) {
        position_t p;
        p.x = static_cast<float>(0.5 * k);  // 10 pixels of 0.05 cm along the image's x
        frame_store->positions.push_back(position_holder_t::create(p));
      }
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(w);
    t.RES_BUF_HEIGHT->write(h);
    t.RES_XSCALE->write(0.05);
    t.RES_YSCALE->write(0.05);
    t.RES_POS_REC->write(positions);
    t.RES_BUF_FRAMES->write(n);
    base_res_t::make_pending_writes_happen();
  }

  std::unique_ptr<headless_session> session_;
};

TEST_F(CentrePanels, ShownSourceFollowsTheBuildersThatExist) {
  struct source_case {
    bool planes[4];
    bool defined;      // the planes' defined flag
    int panorama;      // 0 none, 1 not panoramic, 2 panoramic
    int32_t plane;     // expected shown plane
    bool shows_panorama, shows_plane;
  };
  const source_case cases[] = {
      {{false, false, false, false}, true, 0, -1, false, false},  // Blank
      {{false, true, true, false}, true, 0, 2, false, true},      // Ortho
      {{true, false, false, false}, true, 0, 0, false, true},     // Reslice
      {{true, false, true, true}, true, 0, 0, false, true},       // plane 0 first
      {{false, false, true, true}, true, 0, 3, false, true},      // then plane 3
      {{true, false, false, false}, false, 0, 0, false, false},   // a plane never placed
      {{false, false, false, true}, true, 1, 3, false, true},     // Pressure, not panoramic
      {{false, false, false, true}, true, 2, 3, true, false},     // Pressure, panoramic
      {{false, false, false, false}, true, 1, -1, true, false},   // Panorama, even not panoramic
  };
  // Three frames 10 pixels apart along their own x: panoramic.
  load(3, 48, 40, false, [](int, int x, int y) { return 1 + (x + y) % 200; }, true);
  resource_table_t& t = *resource_table;
  for (const source_case& c : cases) {
    SCOPED_TRACE(&c - cases);
    reslice_info* planes = t.RESLICE->read();
    for (int k = 0; k < 4; ++k) {
      delete planes[k].builder;
      if (c.planes[k]) new reslice_internals(k, 0, 0);
      planes[k].defined = c.defined;
    }
    delete t.RES_PANORAMA->read();
    if (c.panorama) {
      if (c.panorama == 1) frame_store->positions[2]->z = 5.0f;  // a 3D sweep
      auto* p = new panorama_internals(false);
      t.RES_PANORAMA->write(p);
      ASSERT_EQ(p->is_panoramic(), c.panorama == 2);
      frame_store->positions[2]->z = 0.0f;
    }
    const centre_source s = find_centre_source();
    EXPECT_EQ(s.plane, c.plane);
    EXPECT_EQ(s.panorama, c.shows_panorama);
    EXPECT_EQ(s.plane_image, c.shows_plane);
  }
}

TEST_F(CentrePanels, DisplayHistogramCountsSampledBytesWithoutZero) {
  struct display_case {
    const char* name;
    int (*pixel)(int, int, int);
    std::vector<std::pair<int, double>> peaks;  // bins expected above 0, with their values
  };
  const display_case cases[] = {
      {"all zero", [](int, int, int) { return 0; }, {}},
      {"two values", [](int, int x, int) { return x < 6 ? 50 : 200; }, {{50, 1.0}, {200, 1.0}}},
      // A quarter at 50, the rest at 200: log10(1 / 3 + 1e-5) / 5 + 1.
      {"one to three", [](int, int x, int) { return x < 3 ? 50 : 200; },
       {{50, std::log10(1.0 / 3 + 1e-5) / 5 + 1}, {200, 1.0}}},
  };
  for (const display_case& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    load(2, 12, 12, false, c.pixel);
    const volume_histogram hist = compute_volume_histogram(false, 0);
    ASSERT_EQ(hist.bins.size(), 256u);
    EXPECT_EQ(hist.low, 1.0f);
    EXPECT_EQ(hist.high, 255.0f);
    for (int i = 0; i < 256; ++i) {
      double want = 0.0;
      for (const auto& p : c.peaks)
        if (p.first == i) want = p.second;
      EXPECT_NEAR(hist.bins[i], want, 1e-5) << i;
    }
  }
}

TEST_F(CentrePanels, RawHistogramSpansTheDataAndNeverCollapses) {
  struct raw_case {
    const char* name;
    int (*pixel)(int, int, int);
    uint16_t padding;
    float low, high;
    size_t bins;
    int full_bin;  // the bin holding every sample
  };
  const raw_case cases[] = {
      // Only padding: the full range, 65535 / 66 + 1 bins of width 66.
      {"all padding", [](int, int, int) { return 100; }, 100, 0.0f, 65535.0f, 993, 100 / 66},
      // One value: two bins of width 1, never one bin of no width.
      {"constant", [](int, int, int) { return 1000; }, 0, 1000.0f, 1001.0f, 2, 0},
      {"constant at the top", [](int, int, int) { return 65535; }, 0, 65534.0f, 65535.0f, 2, 1},
  };
  for (const raw_case& c : cases) {
    SCOPED_TRACE(c.name);
    restart();
    load(2, 12, 12, true, c.pixel);
    const volume_histogram hist = compute_volume_histogram(true, c.padding);
    ASSERT_EQ(hist.bins.size(), c.bins);
    EXPECT_EQ(hist.low, c.low);
    EXPECT_EQ(hist.high, c.high);
    for (size_t i = 0; i < hist.bins.size(); ++i) {
      ASSERT_TRUE(std::isfinite(hist.bins[i]));
      EXPECT_NEAR(hist.bins[i], static_cast<int>(i) == c.full_bin ? 1.0 : 0.0, 1e-5) << i;
    }
  }

  // Two values 0..2000 apart: bins of width 3 (2000 / 1000 + 1).
  restart();
  load(2, 12, 12, true, [](int, int x, int) { return x < 6 ? 1000 : 3000; });
  const volume_histogram hist = compute_volume_histogram(true, 0);
  EXPECT_EQ(hist.low, 1000.0f);
  EXPECT_EQ(hist.high, 3000.0f);
  ASSERT_EQ(hist.bins.size(), 2000u / 3 + 1);
  EXPECT_NEAR(hist.bins[0], 1.0, 1e-5);
  EXPECT_NEAR(hist.bins.back(), 1.0, 1e-5);  // 3000 = 1000 + 666 x 3 + 2
}

TEST_F(CentrePanels, TooLittleDataGivesNoHistogram) {
  load(1, 12, 12, false, [](int, int, int) { return 7; });
  EXPECT_TRUE(compute_volume_histogram(false, 0).bins.empty());
  restart();
  load(3, 9, 12, false, [](int, int, int) { return 7; });
  EXPECT_TRUE(compute_volume_histogram(false, 0).bins.empty());
}

// The Volume panel in a 300 x 200 client area with a 16-pixel font: the graph
// from x0 = int(3.3 x 16) + 10 = 62, 228 wide, from y0 = 26, 164 high.
TEST_F(CentrePanels, VolumePanelPlacesTheHandles) {
  resource_table_t& t = *resource_table;
  volume_object* rows = t.RES_VOLUME->read();
  rows[0].enabled = 1;
  rows[0].data_value = 51;
  rows[0].opacity = 102;
  rows[1].enabled = 0;
  rows[1].data_value = 200;
  volume_histogram h;
  h.bins.assign(256, 0.5f);
  h.low = 1;
  h.high = 255;

  // Display values: the window is the whole axis, its ends not draggable.
  volume_panel_layout l = layout_volume_panel(h, 16, 300, 200, false);
  ASSERT_TRUE(l.ok);
  EXPECT_EQ(l.x0, 62);
  EXPECT_EQ(l.gw, 228);
  EXPECT_EQ(l.y0, 26);
  EXPECT_EQ(l.gh, 164);
  EXPECT_EQ(l.handles[0].scale_x, 0.0);
  EXPECT_EQ(l.handles[1].scale_x, 0.0);
  EXPECT_NEAR(l.handles[2].x, 62 + 228 * 0.2, 1e-9);  // 51 / 255
  EXPECT_NEAR(l.handles[2].y, 26 + 164 * 0.4, 1e-9);  // 102 / 255
  EXPECT_NEAR(l.handles[2].scale_x, 255.0 / 228, 1e-12);
  EXPECT_NEAR(l.handles[2].scale_y, 255.0 / 164, 1e-12);
  EXPECT_EQ(l.handles[3].scale_x, 0.0);  // a disabled row has no handle

  // 16-bit data calibrated by -1024: the data run from -24 to 1976 and the
  // window 476 .. 1476 (centre 976, width 1000) sits in the middle half.
  t.RES_DICOM_HUM->write(1.0);
  t.RES_DICOM_HUB->write(-1024.0);
  t.RES_DICOM_WIN_CENTRE->write(976.0);
  t.RES_DICOM_WIN_WIDTH->write(1000.0);
  h.bins.assign(667, 0.5f);
  h.low = 1000;
  h.high = 3000;
  l = layout_volume_panel(h, 16, 300, 200, true);
  ASSERT_TRUE(l.ok);
  EXPECT_DOUBLE_EQ(l.lo, -24);
  EXPECT_DOUBLE_EQ(l.hi, 1976);
  EXPECT_DOUBLE_EQ(l.f0, -0.5);
  EXPECT_DOUBLE_EQ(l.f1, 1.5);
  EXPECT_DOUBLE_EQ(l.handles[0].x, 62 + 57);  // a quarter of 228
  EXPECT_DOUBLE_EQ(l.handles[1].x, 62 + 171);
  EXPECT_DOUBLE_EQ(l.handles[0].y, 26 + 82);
  EXPECT_DOUBLE_EQ(l.handles[0].scale_x, 2000.0 / 228);  // data units per pixel
  EXPECT_EQ(l.handles[0].scale_y, 0.0);
  EXPECT_DOUBLE_EQ(l.handles[2].x, 62 + 228 * (0.5 + 0.2) / 2);
}

// Nothing to divide by: one bin, data of no range, a window of no width.
TEST_F(CentrePanels, VolumePanelWithoutWidthDrawsNothing) {
  resource_table_t& t = *resource_table;
  t.RES_VOLUME->read()[0].enabled = 1;
  volume_histogram one;
  one.bins.assign(1, 1.0f);
  volume_panel_layout l = layout_volume_panel(one, 16, 300, 200, false);
  EXPECT_FALSE(l.ok);
  for (const volume_handle_t& h : l.handles) EXPECT_EQ(h.scale_x, 0.0);

  volume_histogram flat;
  flat.bins.assign(2, 1.0f);
  flat.low = flat.high = 500;
  EXPECT_FALSE(layout_volume_panel(flat, 16, 300, 200, true).ok);

  flat.high = 501;
  t.RES_DICOM_WIN_WIDTH->write(0.0);
  l = layout_volume_panel(flat, 16, 300, 200, true);
  ASSERT_TRUE(l.ok);
  EXPECT_TRUE(std::isfinite(l.f0) && std::isfinite(l.f1));
  EXPECT_DOUBLE_EQ(l.f1 - l.f0, 1.0);  // the width counts as one unit
}

}  // namespace
