#include "views/material_swatch_wx.h"

#include <wx/bitmap.h>

#include <cstdlib>
#include <cstring>

#include "views/globcmap.h"
#include "views/material_swatch.h"

wxImage material_sphere_image(const wxSize& size, const wxColour& colour, double metallic,
                              double roughness, double anisotropy) {
  material_swatch_t swatch;
  if (!material_sphere_rgba(size.GetWidth(), size.GetHeight(), colour.Red(), colour.Green(),
                            colour.Blue(), metallic, roughness, anisotropy, swatch))
    return wxImage();
  // The image takes ownership of malloc'ed buffers.
  const size_t pixels = swatch.alpha.size();
  auto* rgb = static_cast<unsigned char*>(std::malloc(pixels * 3));
  auto* alpha = static_cast<unsigned char*>(std::malloc(pixels));
  if (!rgb || !alpha) {
    std::free(rgb);
    std::free(alpha);
    return wxImage();
  }
  std::memcpy(rgb, swatch.rgb.data(), pixels * 3);
  std::memcpy(alpha, swatch.alpha.data(), pixels);
  return wxImage(swatch.width, swatch.height, rgb, alpha, false);
}

wxBitmap& globcmap_t::material_sphere_bitmap(wxBitmap& out, const wxSize& size,
                                             const wxColour& colour, double metallic,
                                             double roughness, double anisotropy) {
  const wxImage image = material_sphere_image(size, colour, metallic, roughness, anisotropy);
  if (image.IsOk()) out = wxBitmap(image);
  return out;
}
