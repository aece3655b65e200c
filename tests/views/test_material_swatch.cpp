// The material swatch: a shaded sphere computed on the processor.
#include <cmath>

#include "cmap_test_support.h"
#include "views/material_swatch.h"
#include "views/material_swatch_wx.h"

namespace {

TEST(material_swatch, EqualsTheReference) {
  for (const oracle_case& c : read_oracle("swatch.txt")) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string>& p = c.line("params");
    const int w = std::stoi(p.at(0)), h = std::stoi(p.at(1));
    material_swatch_t s;
    ASSERT_TRUE(material_sphere_rgba(w, h, std::stoi(p.at(2)), std::stoi(p.at(3)),
                                     std::stoi(p.at(4)), std::stod(p.at(5)), std::stod(p.at(6)),
                                     std::stod(p.at(7)), s));
    EXPECT_EQ(s.width, w);
    EXPECT_EQ(s.height, h);
    EXPECT_EQ(s.rgb, from_hex(c.line("rgb").at(0)));
    EXPECT_EQ(s.alpha, from_hex(c.line("alpha").at(0)));
  }
}

TEST(material_swatch, FixedValues) {
  material_swatch_t s;
  // 1 x 1: radius 0.5, the pixel at the centre, alpha truncate(127.5 + 0.5).
  ASSERT_TRUE(material_sphere_rgba(1, 1, 255, 255, 255, 0.0, 1.0, 0.0, s));
  EXPECT_EQ(s.alpha, std::vector<uint8_t>{128});

  // Odd white swatch, metallic 0 and roughness 1 (no specular light): the
  // centre is truncate(255 x (0.15 + 0.4675 / sqrt(3) + 0.3825) + 0.5).
  ASSERT_TRUE(material_sphere_rgba(9, 9, 255, 255, 255, 0.0, 1.0, 0.0, s));
  const size_t centre = 4 * 9 + 4;
  for (int c = 0; c < 3; ++c) EXPECT_EQ(s.rgb[3 * centre + c], 205);
  EXPECT_EQ(s.alpha[centre], 255);
  // Corners fully transparent.
  for (size_t i : {size_t(0), size_t(8), size_t(72), size_t(80)}) {
    EXPECT_EQ(s.alpha[i], 0);
    EXPECT_EQ(s.rgb[3 * i], 0);
  }
  // The rim pixel at the end of the middle row: d = 4, R = 4.5, alpha
  // truncate(255 x 0.5 + 0.5) = 128.
  EXPECT_EQ(s.alpha[4 * 9 + 8], 128);
}

TEST(material_swatch, ValuesOutsideTheRangeActClamped) {
  material_swatch_t over, clamped;
  ASSERT_TRUE(material_sphere_rgba(11, 11, 90, 160, 30, 1.7, 1.5, -3.0, over));
  ASSERT_TRUE(material_sphere_rgba(11, 11, 90, 160, 30, 1.0, 1.0, 0.0, clamped));
  EXPECT_EQ(over.rgb, clamped.rgb);
  ASSERT_TRUE(material_sphere_rgba(11, 11, 90, 160, 30, NAN, 0.4, 0.5, over));
  ASSERT_TRUE(material_sphere_rgba(11, 11, 90, 160, 30, 0.0, 0.4, 0.5, clamped));
  EXPECT_EQ(over.rgb, clamped.rgb);
}

TEST(material_swatch, AnisotropyReshapesOnlyTheHighlight) {
  material_swatch_t round, stretched, matte_round, matte_stretched;
  ASSERT_TRUE(material_sphere_rgba(15, 15, 200, 200, 200, 0.5, 0.2, 0.0, round));
  ASSERT_TRUE(material_sphere_rgba(15, 15, 200, 200, 200, 0.5, 0.2, 1.0, stretched));
  EXPECT_NE(round.rgb, stretched.rgb);
  EXPECT_EQ(round.alpha, stretched.alpha);
  // Without specular light anisotropy changes nothing.
  ASSERT_TRUE(material_sphere_rgba(15, 15, 200, 200, 200, 0.0, 1.0, 0.0, matte_round));
  ASSERT_TRUE(material_sphere_rgba(15, 15, 200, 200, 200, 0.0, 1.0, 1.0, matte_stretched));
  EXPECT_EQ(matte_round.rgb, matte_stretched.rgb);
}

TEST(material_swatch, ImpossibleSizesGiveNothing) {
  material_swatch_t s;
  for (auto size : {std::pair<int, int>{0, 5}, {5, -1}, {kMaxSwatchSide + 1, 4}}) {
    EXPECT_FALSE(material_sphere_rgba(size.first, size.second, 1, 2, 3, 0, 0, 0, s));
    EXPECT_TRUE(s.rgb.empty());
    EXPECT_EQ(s.width, 0);
  }
  EXPECT_FALSE(material_sphere_image(wxSize(0, 3), *wxRED, 0, 0, 0).IsOk());
}

TEST(material_swatch, ImageHoldsColourAndAlpha) {
  material_swatch_t s;
  ASSERT_TRUE(material_sphere_rgba(10, 7, 30, 60, 250, 0.3, 0.5, 0.2, s));
  const wxImage image = material_sphere_image(wxSize(10, 7), wxColour(30, 60, 250), 0.3, 0.5, 0.2);
  ASSERT_TRUE(image.IsOk());
  ASSERT_TRUE(image.HasAlpha());
  EXPECT_EQ(image.GetWidth(), 10);
  EXPECT_EQ(image.GetHeight(), 7);
  EXPECT_EQ(std::vector<uint8_t>(image.GetData(), image.GetData() + 10 * 7 * 3), s.rgb);
  EXPECT_EQ(std::vector<uint8_t>(image.GetAlpha(), image.GetAlpha() + 10 * 7), s.alpha);
}

}  // namespace
