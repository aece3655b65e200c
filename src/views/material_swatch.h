// The material swatch: a small sphere shaded from a surface material's
// colour, metallic, roughness and anisotropy values under a fixed light and
// a head light, with an antialiased transparent rim. Computed on the
// processor so that ordinary controls can show it; the toolkit image and
// bitmap wrappers are in material_swatch_wx.h.
#pragma once

#include <cstdint>
#include <vector>

struct material_swatch_t {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgb;    // width x height x 3, rows from the top
  std::vector<uint8_t> alpha;  // width x height
};

// Fills swatch with a width x height sphere of the base colour (red, green,
// blue bytes); the three material values are clamped to 0..1. False, with
// the swatch emptied, for a size below 1 or beyond kMaxSwatchSide.
constexpr int32_t kMaxSwatchSide = 4096;
bool material_sphere_rgba(int32_t width, int32_t height, uint8_t red, uint8_t green, uint8_t blue,
                          double metallic, double roughness, double anisotropy,
                          material_swatch_t& swatch);
