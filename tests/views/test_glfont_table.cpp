// The table of texture fonts: the embedded atlases are the files of the
// source tree, decode to the sizes of the table, and hold every glyph in its
// own cell with its baseline at the ascent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "views/font_test_support.h"
#include "views/glfont.h"

namespace {

using font_test::load_atlas;
using font_test::pixel_sizes;

TEST(GlfontTable, NamesSizesAndEmbeddedAtlases) {
  for (int f = 0; f < kGlfontCount; ++f) {
    const glfont_info& info = glfont_table[f];
    const int p = pixel_sizes()[static_cast<size_t>(f)];
    EXPECT_EQ(std::string(info.name), "Cabin " + std::to_string(p)) << f;
    EXPECT_EQ(info.pixel_size, p) << f;
    EXPECT_EQ(info.first_char, 32) << f;
    EXPECT_EQ(info.last_char, 126) << f;
    // Five rows of cells, one pixel apart.
    EXPECT_EQ(info.atlas_height, 5 * p + 5) << f;
    EXPECT_GT(info.ascent, p / 2) << f;
    EXPECT_LT(info.ascent, p) << f;

    const std::vector<unsigned char> file = font_test::file_bytes(font_test::atlas_path(p));
    ASSERT_FALSE(file.empty()) << f;
    EXPECT_EQ(std::vector<unsigned char>(info.image, info.image + info.image_size), file) << f;

    const font_test::grey_image atlas = load_atlas(p);
    EXPECT_EQ(atlas.width, info.atlas_width) << f;
    EXPECT_EQ(atlas.height, info.atlas_height) << f;
    EXPECT_TRUE(atlas.is_grey) << f;
  }
}

TEST(GlfontTable, EveryCellLiesInsideItsAtlasAloneWithNoInkOutside) {
  for (int f = 0; f < kGlfontCount; ++f) {
    const glfont_info& info = glfont_table[f];
    const font_test::grey_image atlas = load_atlas(info.pixel_size);
    ASSERT_EQ(atlas.width, info.atlas_width);
    std::vector<int> owner(atlas.grey.size(), -1);
    for (int c = info.first_char; c <= info.last_char; ++c) {
      const glyph_row& g = info.glyphs[c - info.first_char];
      ASSERT_GT(g.advance, 0) << f << " '" << static_cast<char>(c) << "'";
      ASSERT_GE(g.x, 0);
      ASSERT_GE(g.y, 0);
      ASSERT_LE(g.x + g.advance, info.atlas_width) << f << " '" << static_cast<char>(c) << "'";
      ASSERT_LE(g.y + info.pixel_size, info.atlas_height) << f << " '" << static_cast<char>(c) << "'";
      for (int y = g.y; y < g.y + info.pixel_size; ++y)
        for (int x = g.x; x < g.x + g.advance; ++x) {
          int& o = owner[static_cast<size_t>(y) * atlas.width + x];
          ASSERT_EQ(o, -1) << f << ": '" << static_cast<char>(c) << "' overlaps '" << static_cast<char>(o) << "'";
          o = c;
        }
    }
    for (size_t i = 0; i < owner.size(); ++i)
      if (owner[i] < 0) {
        ASSERT_EQ(atlas.grey[i], 0) << f << " ink outside every cell at " << i;
      }
  }
}

// Lowest inked row of a glyph's cell, counted from the cell's top; -1 blank.
int lowest_ink_row(const font_test::grey_image& atlas, const glyph_row& g, int p) {
  for (int r = p - 1; r >= 0; --r)
    for (int x = g.x; x < g.x + g.advance; ++x)
      if (atlas.at(x, g.y + r) > 64) return r;
  return -1;
}

TEST(GlfontTable, GlyphsSitOnTheBaselineAtTheAscent) {
  for (int f = 0; f < kGlfontCount; ++f) {
    const glfont_info& info = glfont_table[f];
    const int p = info.pixel_size;
    const font_test::grey_image atlas = load_atlas(p);
    auto row = [&](char c) { return info.glyphs[c - 32]; };
    EXPECT_EQ(lowest_ink_row(atlas, row(' '), p), -1) << f;
    // Letters without descenders end on the row above the baseline.
    for (char c : {'H', 'M', 'x', 'A'}) EXPECT_NEAR(lowest_ink_row(atlas, row(c), p), info.ascent - 1, 1) << f << c;
    // Descenders reach well below it.
    for (char c : {'g', 'p', 'y'}) EXPECT_GT(lowest_ink_row(atlas, row(c), p), info.ascent + p / 10) << f << c;
    // Wide letters are wider than narrow ones.
    EXPECT_GT(row('W').advance, row('i').advance) << f;
    EXPECT_GT(row('M').advance, row('l').advance) << f;
  }
}

TEST(GlfontTable, NoFontOutsideTheTable) {
  for (int number : {-1, 11, 1000}) {
    glfont font(number, nullptr);  // makes no OpenGL call
    EXPECT_EQ(font.font, -1) << number;
    EXPECT_EQ(font.height(), 0) << number;
    EXPECT_EQ(font.text_width("Abc"), 0) << number;
    EXPECT_EQ(font.name(), wxString()) << number;
    const int viewport[4] = {0, 0, 100, 100};
    double position[3] = {0.123, 0.456, 0.5};
    const double offset[2] = {1.0, 1.0};
    const float colour[4] = {1, 1, 1, 1};
    font.draw_text("Abc", viewport, position, offset, colour, false);
    EXPECT_EQ(position[0], 0.123);
    EXPECT_EQ(position[1], 0.456);
  }
}

}  // namespace
