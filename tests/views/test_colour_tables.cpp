// The colour map's tables, change procedure, threshold test, Doppler blend,
// transfer function and steps.
#include <cmath>
#include <cstring>

#include "cmap_test_support.h"
#include "data/reslice_info.h"
#include "views/reslice_internals.h"

namespace {

std::vector<uint8_t> table_rgb(const globcmap_t& m) {
  std::vector<uint8_t> rgb;
  for (int v = 0; v < 256; ++v) {
    rgb.push_back(m.red()[v]);
    rgb.push_back(m.green()[v]);
    rgb.push_back(m.blue()[v]);
  }
  return rgb;
}

TEST_F(cmap_test, EveryTableEntryEqualsTheReference) {
  for (const oracle_case& c : read_oracle("tables.txt")) {
    SCOPED_TRACE(c.name);
    apply_settings(c.settings);
    EXPECT_EQ(map().gradient_range(), std::stoi(c.line("range").at(0)));
    EXPECT_EQ(std::vector<uint8_t>(map().band_flags(), map().band_flags() + 256),
              from_hex(c.line("band").at(0)));
    EXPECT_EQ(std::vector<uint8_t>(map().not_flags(), map().not_flags() + 256),
              from_hex(c.line("not").at(0)));
    EXPECT_EQ(table_rgb(map()), from_hex(c.line("rgb").at(0)));
  }
}

// Values worked out by hand from the rules of each mode.
TEST_F(cmap_test, HandCheckedEntries) {
  apply_settings({});
  EXPECT_EQ(map().red()[37], 37);
  EXPECT_EQ(map().blue()[37], 37);
  EXPECT_EQ(map().band_flags()[37], 0);

  cmap_settings s;
  s.binary = 1, s.lo = 50, s.hi = 100, s.anti = 150;
  apply_settings(s);
  EXPECT_EQ(map().band_flags()[50], 1);
  EXPECT_EQ(map().band_flags()[100], 1);
  EXPECT_EQ(map().band_flags()[120], 0);
  EXPECT_EQ(map().not_flags()[120], 0);
  EXPECT_EQ(map().not_flags()[150], 0);
  EXPECT_EQ(map().not_flags()[151], 1);
  EXPECT_EQ(map().gradient_range(), 2500);

  s.lo = 100, s.hi = 50;
  apply_settings(s);
  EXPECT_EQ(map().band_flags()[40], 1);
  EXPECT_EQ(map().band_flags()[120], 1);
  EXPECT_EQ(map().band_flags()[60], 0);
  EXPECT_EQ(map().gradient_range(), -2500);

  s.lo = 0, s.hi = 80;
  apply_settings(s);
  EXPECT_EQ(map().band_flags()[0], 1);
  EXPECT_EQ(map().band_flags()[80], 1);
  EXPECT_EQ(map().band_flags()[81], 0);
  EXPECT_EQ(map().gradient_range(), 0);

  cmap_settings d;
  d.doppler = 1, d.binary = 1;
  apply_settings(d);
  for (int v = 0; v < 256; ++v)
    EXPECT_EQ(map().band_flags()[v], v == 0 || v == 128 || v == 192 ? 1 : 0) << v;

  d.binary = 0;
  apply_settings(d);
  const struct {
    int v;
    uint8_t r, g, b;
  } doppler[] = {{0, 0, 0, 0},         {100, 200, 200, 200}, {126, 252, 252, 252},
                 {127, 255, 255, 255}, {128, 0, 0, 133},     {149, 0, 5, 255},
                 {191, 0, 255, 255},   {192, 133, 0, 0},     {255, 255, 255, 0}};
  for (const auto& e : doppler) {
    EXPECT_EQ(map().red()[e.v], e.r) << e.v;
    EXPECT_EQ(map().green()[e.v], e.g) << e.v;
    EXPECT_EQ(map().blue()[e.v], e.b) << e.v;
  }

  cmap_settings l;
  l.labels = 1;
  apply_settings(l);
  const uint8_t labels[][3] = {{0, 0, 0},     {200, 200, 40}, {40, 200, 0}, {20, 140, 200},
                               {80, 60, 200}, {180, 20, 40},  {200, 100, 0}};
  for (int v = 0; v <= 6; ++v) {
    EXPECT_EQ(map().red()[v], labels[v][0]) << v;
    EXPECT_EQ(map().green()[v], labels[v][1]) << v;
    EXPECT_EQ(map().blue()[v], labels[v][2]) << v;
  }
  // Truncated after double-precision arithmetic: 200 x 0.7 x 0.1 is 13.99...
  EXPECT_EQ(map().red()[15], 13);
  EXPECT_EQ(map().green()[15], 97);
  EXPECT_EQ(map().blue()[15], 140);
  EXPECT_EQ(map().red()[31], map().red()[1]);  // repeats every 30 labels
}

// The precedence of the modes: Doppler, thresholds, labels, volume, grey.
TEST_F(cmap_test, ModesTakePrecedenceInOrder) {
  cmap_settings s;
  s.doppler = 1, s.binary = 1, s.labels = 1, s.volume = 1;
  s.rows = {{1, 10, 90, 80, 70, 255, 0, 0, 0}};
  apply_settings(s);
  EXPECT_EQ(map().blue()[128], 133);  // Doppler palette
  s.doppler = 0;
  apply_settings(s);
  EXPECT_EQ(map().blue()[128], 128);  // grey under thresholds
  s.binary = 0;
  apply_settings(s);
  EXPECT_EQ(map().red()[1], 200);  // label 1
  s.labels = 0;
  apply_settings(s);
  EXPECT_EQ(map().red()[128], 90);  // the one volume row everywhere
  s.volume = 0;
  apply_settings(s);
  EXPECT_EQ(map().red()[128], 128);
}

// The colour shown for flags: violet beyond "not", magenta highlighted.
TEST_F(cmap_test, FlaggedValuesShowVioletAndMagenta) {
  cmap_settings s;
  s.binary = 1, s.lo = 50, s.hi = 100, s.anti = 150;
  apply_settings(s);
  uint8_t rgb[3];
  map().colour_of(200, false, rgb);  // not flag: (0.6 x 200 + 102) x 0.8, 0, 0.6 x 200 + 102
  EXPECT_EQ(rgb[0], 177);
  EXPECT_EQ(rgb[1], 0);
  EXPECT_EQ(rgb[2], 222);
  map().colour_of(75, true, rgb);  // 0.6 x 75 + 102 = 147, 147 x 0.2 = 29.4
  EXPECT_EQ(rgb[0], 147);
  EXPECT_EQ(rgb[1], 29);
  EXPECT_EQ(rgb[2], 147);
  map().colour_of(75, false, rgb);
  EXPECT_EQ(rgb[0], 75);
  EXPECT_EQ(rgb[1], 75);
}

// ---- Change procedure --------------------------------------------------------

TEST_F(cmap_test, RaisesTheChangeFlagOnlyWhenTheTablesDependOnTheChange) {
  flag_res_t& changed = *t().RES_CMAP_CHANGED;
  struct step {
    const char* what;
    void (*write)(resource_table_t&);
    bool raises;
  };
  const step steps[] = {
      {"grey threshold, thresholds off", [](resource_table_t& r) { r.RES_CMAP_GREY_LO->write(40); },
       false},
      {"red threshold, Doppler off", [](resource_table_t& r) { r.RES_CMAP_RED_LO->write(4); },
       false},
      {"volume rows, volume colours off", [](resource_table_t& r) { r.VOLUME->write(); }, false},
      {"thresholds on", [](resource_table_t& r) { r.RES_CMAP_BINARY->write(true); }, true},
      {"grey threshold, thresholds on", [](resource_table_t& r) { r.RES_CMAP_GREY_HI->write(90); },
       true},
      {"blue threshold, Doppler off", [](resource_table_t& r) { r.RES_CMAP_BLUE_HI->write(9); },
       false},
      {"volume colours under thresholds",
       [](resource_table_t& r) { r.RES_CMAP_VOLUME->write(true); }, false},
      {"Doppler on", [](resource_table_t& r) { r.RES_BUF_DOPPLER->write(true); }, true},
      {"blue threshold, Doppler and thresholds on",
       [](resource_table_t& r) { r.RES_CMAP_BLUE_HI->write(12); }, true},
      {"same value again", [](resource_table_t& r) { r.RES_CMAP_BLUE_HI->write(12); }, false},
      {"labels", [](resource_table_t& r) { r.RES_CMAP_LABELS->write(true); }, true},
      {"Doppler and thresholds off",
       [](resource_table_t& r) {
         r.RES_BUF_DOPPLER->write_no_changeprocs(false);
         r.RES_CMAP_BINARY->write(false);
       },
       true},
      {"volume rows, volume colours on", [](resource_table_t& r) { r.VOLUME->write(); }, true},
      {"unwatched setting", [](resource_table_t& r) { r.RES_XSCALE->write(0.3); }, false},
  };
  for (const step& s : steps) {
    const int32_t before = changed.counter();
    s.write(t());
    EXPECT_EQ(changed.counter() != before, s.raises) << s.what;
  }
  // Whatever the path, the tables end as a fresh map builds them.
  globcmap_t fresh;
  EXPECT_EQ(table_rgb(map()), table_rgb(fresh));
  EXPECT_EQ(std::memcmp(map().band_flags(), fresh.band_flags(), 256), 0);
}

TEST_F(cmap_test, ViewsSeeTheNewTablesInTheSameCommit) {
  struct watcher {
    globcmap_t* map;
    uint8_t seen = 0;
    int calls = 0;
    void on_change() {
      ++calls;
      seen = map->band_flags()[70];
    }
  } w{&map()};
  pmf_functor<watcher> proc(&w, &watcher::on_change);
  t().RES_CMAP_CHANGED->read(&proc);
  t().RES_CMAP_GREY_LO->write_no_changeprocs(60);
  t().RES_CMAP_GREY_HI->write_no_changeprocs(80);
  t().RES_CMAP_BINARY->write(true);
  EXPECT_EQ(w.calls, 1);
  EXPECT_EQ(w.seen, 1);
  t().RES_CMAP_CHANGED->remove_proc(&proc);
}

TEST_F(cmap_test, DeletingTheMapRemovesItsChangeProcedure) {
  const int32_t before = t().RES_CMAP_GREY_LO->worry_count();
  map_.reset();
  EXPECT_EQ(t().RES_CMAP_GREY_LO->worry_count(), before - 1);
  EXPECT_EQ(t().VOLUME->worry_count(), 0);
  const int32_t raised = t().RES_CMAP_CHANGED->counter();
  t().RES_CMAP_BINARY->write(true);  // would call into the deleted map
  EXPECT_EQ(t().RES_CMAP_CHANGED->counter(), raised);
}

// ---- Threshold test ----------------------------------------------------------

TEST_F(cmap_test, ThresholdTestUsesTheLocalGradient) {
  cmap_settings s;
  s.binary = 1;
  struct probe {
    const char* what;
    int lo, hi;
    uint8_t image[3][3];
    bool centre, corner;
  };
  // Column sums 0, 240, 480: gx = 240, gy = 0, G = 240^2 / 4 = 14400.
  const probe probes[] = {
      {"inverted band, steep edge outside the band",
       100,
       50,
       {{0, 60, 120}, {0, 60, 120}, {0, 60, 120}},
       true,
       true},
      {"inverted band, flat outside the band",
       100,
       50,
       {{60, 60, 60}, {60, 60, 60}, {60, 60, 60}},
       false,
       false},
      {"band, flat inside", 50, 100, {{75, 75, 75}, {75, 75, 75}, {75, 75, 75}}, true, true},
      // Column sums 0, 300, 800: differences 300 and 500, gx = 300, G = 22500.
      {"band, steep inside", 50, 100, {{0, 75, 200}, {0, 75, 200}, {0, 75, 200}}, false, false},
      // Differences of opposite sign: gx = 0.
      {"band, ridge inside", 50, 100, {{0, 75, 0}, {0, 75, 0}, {0, 75, 0}}, true, false},
      {"band without gradient test",
       0,
       100,
       {{0, 75, 200}, {0, 75, 200}, {0, 75, 200}},
       true,
       true},
  };
  for (const probe& p : probes) {
    s.lo = p.lo, s.hi = p.hi;
    apply_settings(s);
    const uint8_t* image = &p.image[0][0];
    EXPECT_EQ(map().is_highlighted(image, 1, 1, 3, 3), p.centre) << p.what;
    // Border pixels have no gradient: the corner decides by its band alone.
    EXPECT_EQ(map().is_highlighted(image, 0, 0, 3, 3), p.corner) << p.what;
    // Outside the image nothing is highlighted (and nothing is read).
    EXPECT_FALSE(map().is_highlighted(image, 3, 1, 3, 3)) << p.what;
    EXPECT_FALSE(map().is_highlighted(image, 1, -1, 3, 3)) << p.what;
  }
}

// ---- Doppler, steps, graphics power ------------------------------------------

TEST(cmap_static, BlendDopplerKeepsClassesApart) {
  const struct {
    int a, b, wa, wb, expected;
  } cases[] = {
      {100, 130, 32768, 32768, 130},  // different classes: the tie goes to b
      {100, 130, 40000, 25536, 100},
      {100, 120, 49152, 16384, 105},  // (120 x 16384 + 100 x 49152 +
                                      // 32768) >> 16
      {150, 190, 32768, 32768, 170},
      {191, 192, 65535, 1, 191},
      {0, 127, 0, 65536, 127},
  };
  for (const auto& c : cases)
    EXPECT_EQ(globcmap_t::blend_doppler(c.a, c.b, c.wa, c.wb), c.expected)
        << c.a << " " << c.b << " " << c.wa << " " << c.wb;
}

TEST(cmap_static, FastMachinesGetTheHighGraphicsPower) {
  EXPECT_EQ(globcmap_t::default_graphics_power(), 49999);
}

TEST_F(cmap_test, StepsFollowTheLoadOfTheAttachedBuilders) {
  t().RES_XSCALE->write(0.5);
  struct plane_use {
    int w, h;
    double half_thickness;
  };
  const struct {
    const char* what;
    std::vector<plane_use> planes;
    int expected;
  } cases[] = {
      {"no builder", {}, 1},
      {"one thin 512 x 512 plane: load 0.5", {{512, 512, 0.0}}, 1},
      // 4096 x 4096 / 2^19 = 32 per slice; (2 x 0.53125 / 0.5 + 1) x 32 = 100
      {"load 100", {{4096, 4096, 0.53125}}, 4},
      {"load 100 over four thin planes",
       {{4096, 3200, 0.0}, {4096, 3200, 0.0}, {4096, 3200, 0.0}, {4096, 3200, 0.0}},
       4},
      // (2 x 4.4375 / 0.5 + 1) x 32 = 18.75 x 32 = 600
      {"load 600", {{4096, 4096, 4.4375}}, 8},
      // 31.25 x 32 = 1000, whose cube root truncates to 9, which becomes 10
      {"load 1000", {{4096, 4096, 7.5625}}, 10},
      {"two planes, load 2 x 16", {{4096, 2048, 0.0}, {4096, 2048, 0.0}}, 3},
  };
  for (const auto& c : cases) {
    std::vector<std::unique_ptr<reslice_internals>> builders;
    for (size_t k = 0; k < c.planes.size(); ++k) {
      builders.push_back(std::make_unique<reslice_internals>(static_cast<int32_t>(k), c.planes[k].w,
                                                             c.planes[k].h));
      t().RESLICE->read()[k].half_thickness = c.planes[k].half_thickness;
    }
    EXPECT_TRUE(map().estimate_reslice_step()) << c.what;
    int32_t pixel = 0, slice = 0;
    map().get_step(pixel, slice);
    EXPECT_EQ(pixel, c.expected) << c.what;
    EXPECT_EQ(slice, c.expected) << c.what;
    for (size_t k = 0; k < c.planes.size(); ++k) t().RESLICE->read()[k].half_thickness = 0.0;
  }

  // A pixel size of 0 does not reach a division: the slab counts as thin.
  t().RES_XSCALE->write(0.0);
  {
    reslice_internals thick(0, 4096, 4096);
    t().RESLICE->read()[0].half_thickness = 1.0;
    EXPECT_TRUE(map().estimate_reslice_step());
    int32_t pixel = 0, slice = 0;
    map().get_step(pixel, slice);
    EXPECT_EQ(pixel, 3);  // load 32, cube root 3.17
    t().RESLICE->read()[0].half_thickness = 0.0;
  }

  EXPECT_FALSE(map().set_step(1, 1));
  EXPECT_TRUE(map().set_step(1, 2));
  int32_t pixel = 0, slice = 0;
  map().get_step(pixel, slice);
  EXPECT_EQ(pixel, 1);
  EXPECT_EQ(slice, 2);
}

// ---- Volume transfer function ---------------------------------------------------

uint32_t bits_of(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

TEST_F(cmap_test, TransferFunctionEqualsTheReference) {
  for (const oracle_case& c : read_oracle("tf.txt")) {
    SCOPED_TRACE(c.name);
    cmap_settings s = c.settings;
    apply_settings(s);
    const std::vector<std::string>& head = c.line("case");
    const float p1 = std::stof(head.at(1)), p2 = std::stof(head.at(2));
    float tf[256][4], mat[256][3];
    map().volume_transfer_function(tf, p1, p2, mat);
    const std::vector<std::string>& want_tf = c.line("tf");
    const std::vector<std::string>& want_mat = c.line("mat");
    ASSERT_EQ(want_tf.size(), 1024u);
    ASSERT_EQ(want_mat.size(), 768u);
    int mismatches = 0;
    for (int i = 0; i < 1024; ++i)
      if (bits_of(tf[i / 4][i % 4]) != std::stoul(want_tf[i], nullptr, 16) && mismatches++ < 5)
        ADD_FAILURE() << "tf entry " << i / 4 << " channel " << i % 4 << " = " << tf[i / 4][i % 4];
    for (int i = 0; i < 768; ++i)
      if (bits_of(mat[i / 3][i % 3]) != std::stoul(want_mat[i], nullptr, 16) && mismatches++ < 5)
        ADD_FAILURE() << "material entry " << i / 3 << " channel " << i % 3;
    EXPECT_EQ(mismatches, 0);
  }
}

TEST_F(cmap_test, TransferFunctionTakesTheFirstRowOfEachValue) {
  cmap_settings s;
  s.rows = {{1, 200, 250, 20, 10, 240, 0, 0, 0},
            {1, 50, 30, 180, 90, 128, 0, 0, 0},
            {1, 50, 255, 255, 255, 255, 0, 0, 0}};
  apply_settings(s);
  float tf[256][4];
  map().volume_transfer_function(tf, 1.0f, 1.0f, nullptr);
  // Exactly constant below the first point: no drift to show as speckles.
  for (int i = 0; i <= 50; ++i) {
    EXPECT_EQ(tf[i][0], 30.0f / 255.0f) << i;
    EXPECT_EQ(tf[i][1], 180.0f / 255.0f) << i;
  }
  EXPECT_EQ(tf[0][3], 0.0f);
  EXPECT_EQ(tf[1][3], 0.0f);
  EXPECT_FLOAT_EQ(tf[2][3], 128.0f / 255.0f);
  EXPECT_FLOAT_EQ(tf[125][0], (30.0f + 250.0f) / 2.0f / 255.0f);
  for (int i = 200; i < 256; ++i) EXPECT_EQ(tf[i][0], 250.0f / 255.0f) << i;

  // The volume-colours tables show the constant stretches as one colour.
  s.volume = 1;
  apply_settings(s);
  for (int v = 0; v <= 50; ++v) {
    EXPECT_EQ(map().red()[v], 30) << v;
    EXPECT_EQ(map().green()[v], 180) << v;
    EXPECT_EQ(map().blue()[v], 90) << v;
  }
  for (int v = 200; v < 256; ++v) EXPECT_EQ(map().red()[v], 250) << v;
}

// ---- Mapping whole frames ---------------------------------------------------------

TEST_F(cmap_test, MapToRgbaPadsWithTheBackground) {
  const uint8_t frame[6] = {0, 10, 20, 30, 40, 50};
  for (bool zero_transparent : {false, true}) {
    std::vector<uint8_t> out(4 * 4 * 4, 0xEE);
    map().map_to_rgba(frame, 3, 2, out.data(), 4, 4, 1.0f, 0.5f, 0.0f, 0.8f, zero_transparent);
    const uint8_t alpha = 204, pad_alpha = zero_transparent ? 0 : 204;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const uint8_t* p = &out[(y * 4 + x) * 4];
        SCOPED_TRACE(testing::Message()
                     << x << "," << y << " zero transparent " << zero_transparent);
        if (x < 3 && y < 2) {
          const int v = frame[y * 3 + x];
          EXPECT_EQ(p[0], v);
          EXPECT_EQ(p[2], v);
          EXPECT_EQ(p[3], zero_transparent && v == 0 ? 0 : alpha);
        } else {
          EXPECT_EQ(p[0], 255);
          EXPECT_EQ(p[1], 127);
          EXPECT_EQ(p[2], 0);
          EXPECT_EQ(p[3], pad_alpha);
        }
      }
  }
  // A buffer smaller than the frame is left alone.
  std::vector<uint8_t> small(2 * 2 * 4, 0xEE);
  map().map_to_rgba(frame, 3, 2, small.data(), 2, 2, 0, 0, 0, 1, false);
  EXPECT_EQ(small, std::vector<uint8_t>(16, 0xEE));
}

TEST_F(cmap_test, MapToRgbEqualsTheReference) {
  for (const oracle_case& c : read_oracle("frames.txt")) {
    if (c.kind != "rgbcase") continue;
    SCOPED_TRACE(c.name);
    apply_settings(c.settings);
    const std::vector<std::string>& f = c.line("frame");
    const int w = std::stoi(f.at(0)), h = std::stoi(f.at(1));
    const std::vector<uint8_t> frame = from_hex(f.at(2));
    const std::vector<std::string>& p = c.line("params");
    const int ow = std::stoi(p.at(0)), oh = std::stoi(p.at(1)), step = std::stoi(p.at(2));
    std::vector<uint8_t> out(static_cast<size_t>(ow) * oh * 3, 0xEE);
    map().map_to_rgb(frame.data(), w, h, out.data(), ow, oh, step);
    EXPECT_EQ(out, from_hex(c.line("expect").at(0)));
  }
}

TEST_F(cmap_test, MapToRgbRefusesSamplesOutsideTheFrame) {
  const uint8_t frame[12] = {};
  const struct {
    const char* what;
    int ow, oh, step;
  } bad[] = {{"too wide", 5, 2, 1},
             {"step too large", 2, 2, 4},
             {"step 0", 2, 2, 0},
             {"no width", 0, 2, 1}};
  for (const auto& b : bad) {
    std::vector<uint8_t> out(64, 0xEE);
    map().map_to_rgb(frame, 4, 3, out.data(), b.ow, b.oh, b.step);
    EXPECT_EQ(out, std::vector<uint8_t>(64, 0xEE)) << b.what;
  }
  std::vector<uint8_t> out(64, 0xEE);
  map().map_to_rgb(nullptr, 4, 3, out.data(), 2, 2, 1);
  EXPECT_EQ(out, std::vector<uint8_t>(64, 0xEE));
}

}  // namespace
