// Shared set-up of the colour map tests: a fresh registry and frame store
// with a colour map per test, the display settings written as the pages
// write them, and the reference outputs of tests/views/oracle/cmap_oracle.py.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "data/objects.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"
#include "views/globcmap.h"

// The display settings an oracle case names, in the order of its line.
struct cmap_settings {
  int doppler = 0, binary = 0, volume = 0, labels = 0;
  int lo = 0, hi = 0, anti = 0, red_lo = 0, red_hi = 0, blue_lo = 0, blue_hi = 0;
  int display_pixels = 0;
  std::string background = "#808080";
  // enabled, value, red, green, blue, opacity, roughness, metallic, anisotropy
  std::vector<std::vector<int>> rows;
};

// Writes the settings in one commit, as a page does; the volume rows change
// in place and raise VOLUME like the Volume page.
inline void apply_settings(const cmap_settings& s) {
  resource_table_t& t = *resource_table;
  volume_object* rows = t.RES_VOLUME->read();
  for (int k = 0; k < NUM_VOLUME_ROWS; ++k) rows[k] = volume_object();
  for (size_t k = 0; k < s.rows.size() && k < static_cast<size_t>(NUM_VOLUME_ROWS); ++k) {
    const std::vector<int>& r = s.rows[k];
    rows[k].enabled = static_cast<uint8_t>(r[0]);
    rows[k].data_value = r[1];
    rows[k].colour = rgba_colour_t(r[2], r[3], r[4]);
    rows[k].opacity = static_cast<uint8_t>(r[5]);
    rows[k].roughness = static_cast<uint8_t>(r[6]);
    rows[k].metallic = static_cast<uint8_t>(r[7]);
    rows[k].anisotropy = static_cast<uint8_t>(r[8]);
  }
  t.VOLUME->write_no_changeprocs();
  t.RES_BUF_DOPPLER->write_no_changeprocs(s.doppler != 0);
  t.RES_CMAP_BINARY->write_no_changeprocs(s.binary != 0);
  t.RES_CMAP_VOLUME->write_no_changeprocs(s.volume != 0);
  t.RES_CMAP_LABELS->write_no_changeprocs(s.labels != 0);
  t.RES_CMAP_GREY_LO->write_no_changeprocs(s.lo);
  t.RES_CMAP_GREY_HI->write_no_changeprocs(s.hi);
  t.RES_CMAP_GREY_ANTI->write_no_changeprocs(s.anti);
  t.RES_CMAP_RED_LO->write_no_changeprocs(s.red_lo);
  t.RES_CMAP_RED_HI->write_no_changeprocs(s.red_hi);
  t.RES_CMAP_BLUE_LO->write_no_changeprocs(s.blue_lo);
  t.RES_CMAP_BLUE_HI->write_no_changeprocs(s.blue_hi);
  t.RES_DISPLAY_PIXELS->write_no_changeprocs(s.display_pixels != 0);
  t.RES_BACKGROUND->write_no_changeprocs(wxString(s.background));
  base_res_t::make_pending_writes_happen();
}

class cmap_test : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = std::make_unique<headless_session>();
    map_ = std::make_unique<globcmap_t>();
  }
  void TearDown() override {
    map_.reset();
    session_.reset();
  }
  resource_table_t& t() { return *resource_table; }
  globcmap_t& map() { return *map_; }

  std::unique_ptr<headless_session> session_;
  std::unique_ptr<globcmap_t> map_;
};

// ---- Oracle files ---------------------------------------------------------

inline std::vector<uint8_t> from_hex(const std::string& hex) {
  std::vector<uint8_t> bytes(hex.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return bytes;
}

// One case of an oracle file: its kind and name, its settings and the
// remaining lines by keyword (the words after the keyword).
struct oracle_case {
  std::string kind, name;
  cmap_settings settings;
  std::vector<std::pair<std::string, std::vector<std::string>>> lines;

  const std::vector<std::string>& line(const std::string& key) const {
    for (const auto& l : lines)
      if (l.first == key) return l.second;
    static const std::vector<std::string> none;
    ADD_FAILURE() << "case " << name << " has no line " << key;
    return none;
  }
};

inline std::vector<oracle_case> read_oracle(const std::string& file) {
  std::vector<oracle_case> cases;
  std::ifstream in(std::string(NV_VIEWS_ORACLE_DIR) + "/" + file);
  EXPECT_TRUE(in.good()) << "cannot open oracle file " << file;
  std::string text;
  oracle_case current;
  while (std::getline(in, text)) {
    std::istringstream words(text);
    std::string key;
    words >> key;
    std::vector<std::string> rest;
    for (std::string w; words >> w;) rest.push_back(w);
    if (key == "end") {
      cases.push_back(current);
      current = oracle_case();
    } else if (key == "case" || key == "rgbcase") {
      current.kind = key;
      current.name = rest.at(0);
      if (rest.size() >= 14) {
        int* const fields[12] = {
            &current.settings.doppler, &current.settings.binary,  &current.settings.volume,
            &current.settings.labels,  &current.settings.lo,      &current.settings.hi,
            &current.settings.anti,    &current.settings.red_lo,  &current.settings.red_hi,
            &current.settings.blue_lo, &current.settings.blue_hi, &current.settings.display_pixels};
        for (int k = 0; k < 12; ++k) *fields[k] = std::stoi(rest[1 + k]);
        current.settings.background = rest[13];
      } else {
        current.lines.push_back({key, rest});
      }
    } else if (key == "row") {
      std::vector<int> r;
      for (const std::string& w : rest) r.push_back(std::stoi(w));
      current.settings.rows.push_back(r);
    } else if (!key.empty()) {
      current.lines.push_back({key, rest});
    }
  }
  EXPECT_FALSE(cases.empty()) << file;
  return cases;
}
