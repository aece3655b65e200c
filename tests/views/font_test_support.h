// The font atlases as files in the source tree, decoded by the tests
// themselves so that expected pixels do not come from the code under test.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <wx/image.h>

namespace font_test {

// Pixel sizes of the fonts, index = font number.
inline const std::vector<int>& pixel_sizes() {
  static const std::vector<int> sizes = {16, 20, 24, 28, 32, 40, 48, 56, 64, 80, 96};
  return sizes;
}

inline std::string atlas_path(int pixel_size) {
  return std::string(NV_FONT_DIR) + "/cabin_" + std::to_string(pixel_size) + ".png";
}

inline std::vector<unsigned char> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Grey values of an atlas file, row 0 at the top; empty when unreadable.
struct grey_image {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> grey;
  bool is_grey = true;  // every pixel had equal red, green and blue
  int at(int x, int y) const { return grey[static_cast<size_t>(y) * width + x]; }
};

inline grey_image load_atlas(int pixel_size) {
  if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
  grey_image g;
  wxImage image;
  if (!image.LoadFile(atlas_path(pixel_size), wxBITMAP_TYPE_PNG)) return g;
  g.width = image.GetWidth();
  g.height = image.GetHeight();
  const unsigned char* rgb = image.GetData();
  g.grey.resize(static_cast<size_t>(g.width) * g.height);
  for (size_t i = 0; i < g.grey.size(); ++i) {
    g.grey[i] = rgb[3 * i];
    g.is_grey = g.is_grey && rgb[3 * i] == rgb[3 * i + 1] && rgb[3 * i] == rgb[3 * i + 2];
  }
  return g;
}

}  // namespace font_test
