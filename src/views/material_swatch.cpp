#include "views/material_swatch.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

struct vec_t {
  double x, y, z;
};
inline vec_t cross(const vec_t& a, const vec_t& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double dot(const vec_t& a, const vec_t& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// NaN counts as 0.
inline double unit_clamp(double v) { return v >= 0.0 ? std::min(1.0, v) : 0.0; }

// The viewer's component of a reflection, raised to the specular exponent;
// 0 where the reflection points away.
inline double lobe(double base, double exponent) {
  return base >= 0.0 ? std::pow(base, exponent) : 0.0;
}

}  // namespace

bool material_sphere_rgba(int32_t width, int32_t height, uint8_t red, uint8_t green, uint8_t blue,
                          double metallic, double roughness, double anisotropy,
                          material_swatch_t& swatch) {
  swatch = material_swatch_t();
  if (width < 1 || height < 1 || width > kMaxSwatchSide || height > kMaxSwatchSide) return false;
  try {
    swatch.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    swatch.alpha.assign(static_cast<size_t>(width) * height, 0);
  } catch (const std::bad_alloc&) {
    swatch = material_swatch_t();
    return false;
  }
  swatch.width = width;
  swatch.height = height;

  const double m = unit_clamp(metallic), q = unit_clamp(roughness), a = unit_clamp(anisotropy);
  const double base[3] = {static_cast<double>(red), static_cast<double>(green),
                          static_cast<double>(blue)};
  double diffuse_colour[3], specular_colour[3];
  for (int c = 0; c < 3; ++c) {
    diffuse_colour[c] = base[c] * (1.0 - 0.4 * m);
    specular_colour[c] = (base[c] * m + (1.0 - m) * 94.828125) * 2.0 * (1.0 - q) * (1.0 - q);
  }
  const double exponent = 2.0 / ((0.2 + 0.6 * q) * (0.2 + 0.6 * q));

  const double inv3 = 1.0 / std::sqrt(3.0), inv2 = 1.0 / std::sqrt(2.0);
  const vec_t light{inv3, inv3, inv3};
  const vec_t viewer{0.0, 0.0, 1.0};
  const vec_t axis{0.0, inv2, inv2};

  const double radius = std::min(width, height) / 2.0;
  const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0;
  for (int32_t row = 0; row < height; ++row) {
    for (int32_t col = 0; col < width; ++col) {
      const double dx = col - cx, dy = cy - row;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d >= radius) continue;  // outside: black and transparent
      const vec_t normal{dx / radius, dy / radius, std::sqrt(1.0 - d * d / (radius * radius))};
      const double diffuse =
          0.15 + 0.4675 * std::max(0.0, dot(normal, light)) + 0.3825 * std::max(0.0, normal.z);

      // The highlight stretches along the anisotropy axis: the specular term
      // sees the normal turned towards W = (B x V) x B, with B = N x A.
      vec_t shading = normal;
      const vec_t bi = cross(normal, axis);
      const vec_t w = cross(cross(bi, viewer), bi);
      const double wl = std::sqrt(dot(w, w));
      if (wl > 0.0)
        shading = {(1.0 - a) * normal.x + a * w.x / wl, (1.0 - a) * normal.y + a * w.y / wl,
                   (1.0 - a) * normal.z + a * w.z / wl};
      const double s1 = lobe(2.0 * dot(shading, light) * shading.z - light.z, exponent);
      const double s2 = lobe(2.0 * shading.z * shading.z - 1.0, exponent);
      const double specular = 0.4675 * s1 + 0.3825 * s2;

      const size_t i = static_cast<size_t>(row) * width + col;
      for (int c = 0; c < 3; ++c) {
        const double value =
            std::min(255.0, specular_colour[c] * specular + diffuse_colour[c] * diffuse);
        swatch.rgb[3 * i + c] = static_cast<uint8_t>(static_cast<int32_t>(value + 0.5));
      }
      const double rim = radius - d;
      swatch.alpha[i] =
          rim >= 1.0 ? 255 : static_cast<uint8_t>(static_cast<int32_t>(255.0 * rim + 0.5));
    }
  }
  return true;
}
