// The thickness colour maps: the fixed rows exactly, and between them a
// scale without steps.
#include <gtest/gtest.h>

#include <cstdlib>

#include "surfaces/thickness_colour_table.h"

TEST(ThicknessColourTable, FixedRowsAndAScaleWithoutSteps) {
  const int entries[6] = {0, 1, 2, 128, 254, 255};
  const int rows[7][6][3] = {
      {{255, 255, 255}, {127, 0, 127}, {255, 0, 252}, {164, 255, 0}, {0, 0, 255}, {0, 0, 127}},
      {{127, 127, 127}, {121, 7, 26}, {182, 11, 39}, {220, 221, 221}, {59, 76, 192}, {40, 50, 120}},
      {{127, 127, 127}, {115, 84, 17}, {173, 127, 26}, {220, 221, 221}, {55, 134, 232}, {38, 85, 148}},
      {{255, 255, 255}, {106, 2, 44}, {159, 3, 67}, {255, 254, 191}, {98, 76, 159}, {67, 50, 106}},
      {{255, 255, 255}, {108, 14, 32}, {163, 22, 47}, {255, 255, 153}, {20, 43, 140}, {13, 31, 94}},
      {{255, 255, 255}, {136, 156, 60}, {203, 236, 90}, {58, 188, 173}, {131, 12, 171}, {90, 8, 114}},
      {{255, 255, 255}, {166, 102, 60}, {249, 153, 91}, {73, 207, 129}, {120, 0, 133}, {80, 0, 88}},
  };
  const thickness_colour_map* table = thickness_colour_table();
  for (int m = 0; m < kThicknessColourMaps; ++m)
    for (int c = 0; c < 3; ++c) {
      for (int r = 0; r < 6; ++r)
        EXPECT_EQ(table[m][entries[r]][c], rows[m][r][c]) << m << " " << entries[r] << " " << c;
      // Neighbouring entries of the scale differ by a few steps at most:
      // the largest change along any map is 255 over 252 entries.
      for (int e = 3; e <= 254; ++e)
        EXPECT_LE(std::abs(table[m][e][c] - table[m][e - 1][c]), 4) << m << " " << e << " " << c;
    }
  // Lookups clamp the entry and fall back to the default map.
  EXPECT_EQ(thickness_colour_entry(9, 128), table[3][128]);
  EXPECT_EQ(thickness_colour_entry(-1, 300), table[3][255]);
  EXPECT_EQ(thickness_colour_entry(0, -4), table[0][0]);
}
