#include "views/globcmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/file_menu_export.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "data/reslice_info.h"

globcmap_t* colour_map = nullptr;

namespace {

enum : int { GREY_LO, GREY_HI, GREY_ANTI, RED_LO, RED_HI, BLUE_LO, BLUE_HI };

// The threshold resources in the order of globcmap_t::thresholds_.
long_res_t* threshold_res(const resource_table_t& t, int k) {
  long_res_t* const all[7] = {t.RES_CMAP_GREY_LO, t.RES_CMAP_GREY_HI, t.RES_CMAP_GREY_ANTI,
                              t.RES_CMAP_RED_LO,  t.RES_CMAP_RED_HI,  t.RES_CMAP_BLUE_LO,
                              t.RES_CMAP_BLUE_HI};
  return all[k];
}

// The Doppler palette is defined with 16 bits per channel; the displayed
// colour is the 8-bit reduction (integer division by 257).
struct doppler_table {
  uint8_t rgb[256][3];
  doppler_table() {
    auto r16 = [](double x) { return static_cast<int32_t>(std::floor(x + 0.5)); };
    for (int i = 0; i < 256; ++i) {
      int32_t c[3];
      if (i < 128) {
        c[0] = c[1] = c[2] = r16(65535.0 * i / 127.0);
      } else {
        const int k = i < 192 ? i - 128 : i - 192;
        const int32_t rising = std::min(65535, r16(65535.0 * (k + 22.5) / 43.0));
        const int32_t late = std::max(0, r16(65535.0 * (k - 20) / 43.0));
        c[0] = i < 192 ? 0 : rising;
        c[1] = late;
        c[2] = i < 192 ? rising : 0;
      }
      for (int j = 0; j < 3; ++j) rgb[i][j] = static_cast<uint8_t>(c[j] / 257);
    }
  }
};

// Label colours: six hues in five shades, repeating every 30 labels.
constexpr double kLabelScale[5] = {1.0, 0.4, 0.7, 0.7, 0.4};
constexpr double kLabelOffset[5] = {0.0, 0.6, 0.0, 0.3, 0.0};
constexpr double kLabelHue[6][3] = {{1.0, 1.0, 0.2}, {0.2, 1.0, 0.0}, {0.1, 0.7, 1.0},
                                    {0.4, 0.3, 1.0}, {0.9, 0.1, 0.2}, {1.0, 0.5, 0.0}};

// Flags v of [first, last] when lo <= v <= hi, or, for an inverted band
// (hi < lo), when v < hi or v > lo.
void flag_segment(uint8_t* band, int first, int last, int32_t lo, int32_t hi) {
  for (int v = first; v <= last; ++v)
    band[v] = (lo <= v && v <= hi) || (hi < lo && (v < hi || v > lo)) ? 1 : 0;
}

// Minmod of two differences: 0 across a sign change, else the smaller in
// magnitude (the first on a tie).
inline int32_t minmod(int32_t d1, int32_t d2) {
  if (static_cast<int64_t>(d1) * d2 < 0) return 0;
  return std::abs(d2) < std::abs(d1) ? d2 : d1;
}

}  // namespace

const uint8_t (&globcmap_t::doppler_palette())[256][3] {
  static const doppler_table table;
  return table.rgb;
}

// ---- Life cycle -------------------------------------------------------------

globcmap_t::globcmap_t() {
  changeproc_ = new pmf_functor<globcmap_t>(this, &globcmap_t::changeproc);
  resource_table_t& t = *resource_table;
  t.RES_BUF_DOPPLER->read(changeproc_);
  t.RES_CMAP_BINARY->read(changeproc_);
  t.RES_CMAP_VOLUME->read(changeproc_);
  t.RES_CMAP_LABELS->read(changeproc_);
  t.VOLUME->read(changeproc_);
  for (int k = 0; k < 7; ++k) threshold_res(t, k)->read(changeproc_);
  read_settings();
  build_tables();
}

globcmap_t::~globcmap_t() {
  if (resource_table) {
    resource_table_t& t = *resource_table;
    t.RES_BUF_DOPPLER->remove_proc(changeproc_);
    t.RES_CMAP_BINARY->remove_proc(changeproc_);
    t.RES_CMAP_VOLUME->remove_proc(changeproc_);
    t.RES_CMAP_LABELS->remove_proc(changeproc_);
    t.VOLUME->remove_proc(changeproc_);
    for (int k = 0; k < 7; ++k) threshold_res(t, k)->remove_proc(changeproc_);
  }
  delete static_cast<pmf_functor<globcmap_t>*>(changeproc_);
}

void globcmap_t::read_settings() {
  resource_table_t& t = *resource_table;
  doppler_ = t.RES_BUF_DOPPLER->read();
  thresholds_on_ = t.RES_CMAP_BINARY->read();
  volume_colours_ = t.RES_CMAP_VOLUME->read();
  labels_ = t.RES_CMAP_LABELS->read();
  for (int k = 0; k < 7; ++k) thresholds_[k] = threshold_res(t, k)->read();
}

void globcmap_t::changeproc() {
  resource_table_t& t = *resource_table;
  bool rebuild = false;
  for (int k = 0; k < 7; ++k) {
    long_res_t* r = threshold_res(t, k);
    if (!r->changed_in_flush()) continue;
    thresholds_[k] = r->read();
    if (k <= GREY_ANTI ? thresholds_on_ : (doppler_ && thresholds_on_)) rebuild = true;
  }
  if (t.RES_BUF_DOPPLER->changed_in_flush() || t.RES_CMAP_BINARY->changed_in_flush()) {
    doppler_ = t.RES_BUF_DOPPLER->read();
    thresholds_on_ = t.RES_CMAP_BINARY->read();
    rebuild = true;
  }
  if (t.RES_CMAP_VOLUME->changed_in_flush()) {
    volume_colours_ = t.RES_CMAP_VOLUME->read();
    if (!thresholds_on_ && !doppler_) rebuild = true;
  }
  if (t.VOLUME->changed_in_flush() && volume_colours_) rebuild = true;
  if (t.RES_CMAP_LABELS->changed_in_flush()) {
    labels_ = t.RES_CMAP_LABELS->read();
    rebuild = true;
  }
  if (!rebuild) return;
  build_tables();
  t.RES_CMAP_CHANGED->write();
}

// ---- Tables -------------------------------------------------------------------

void globcmap_t::build_tables() {
  std::memset(band_, 0, sizeof band_);
  std::memset(not_, 0, sizeof not_);
  const int32_t lo = thresholds_[GREY_LO], hi = thresholds_[GREY_HI];
  const int32_t anti = thresholds_[GREY_ANTI];

  if (doppler_) {
    const auto& palette = doppler_palette();
    for (int v = 0; v < 256; ++v) {
      red_[v] = palette[v][0];
      green_[v] = palette[v][1];
      blue_[v] = palette[v][2];
    }
    if (thresholds_on_) {
      flag_segment(band_, 0, 127, lo, hi);
      flag_segment(band_, 128, 191, thresholds_[BLUE_LO] + 128, thresholds_[BLUE_HI] + 128);
      flag_segment(band_, 192, 255, thresholds_[RED_LO] + 192, thresholds_[RED_HI] + 192);
    }
  } else if (thresholds_on_) {
    for (int v = 0; v < 256; ++v) red_[v] = green_[v] = blue_[v] = static_cast<uint8_t>(v);
    if (lo != 0 || hi != 0) {
      for (int v = 0; v < 256; ++v) {
        if (lo <= hi) {
          band_[v] = lo <= v && v <= hi;
          not_[v] = !band_[v] && ((anti >= hi && v > anti) || (anti <= lo && v < anti));
        } else {
          band_[v] = v < hi || v > lo;
          not_[v] = !band_[v] &&
                    ((hi == 0 && anti <= lo && v < anti) || (lo == 255 && anti >= hi && v > anti));
        }
      }
    }
  } else if (labels_) {
    red_[0] = green_[0] = blue_[0] = 0;
    for (int label = 1; label < 256; ++label) {
      const int k = label - 1, h = k % 6, s = (k / 6) % 5;
      uint8_t* const channel[3] = {red_ + label, green_ + label, blue_ + label};
      for (int c = 0; c < 3; ++c)
        *channel[c] = static_cast<uint8_t>(
            static_cast<int32_t>(200.0 * (kLabelScale[s] * kLabelHue[h][c] + kLabelOffset[s])));
    }
  } else if (volume_colours_) {
    float tf[256][4];
    volume_transfer_function(tf, 1.0f, 1.0f, nullptr);
    for (int v = 0; v < 256; ++v) {
      red_[v] = static_cast<uint8_t>(static_cast<int32_t>(tf[v][0] * 255.0f));
      green_[v] = static_cast<uint8_t>(static_cast<int32_t>(tf[v][1] * 255.0f));
      blue_[v] = static_cast<uint8_t>(static_cast<int32_t>(tf[v][2] * 255.0f));
    }
  } else {
    for (int v = 0; v < 256; ++v) red_[v] = green_[v] = blue_[v] = static_cast<uint8_t>(v);
  }

  gradient_range_ = 0;
  if (thresholds_on_ && !doppler_ && lo > 0 && hi > 0) {
    gradient_range_ = (hi - lo) * (hi - lo);
    if (hi < lo) gradient_range_ = -gradient_range_;
  }

  // The three colours a value can show: violet beyond "not", magenta in the
  // highlighted band, else the table colour.
  for (int v = 0; v < 256; ++v) {
    const double r = 0.6 * red_[v] + 102.0, g = 0.6 * green_[v] + 102.0, b = 0.6 * blue_[v] + 102.0;
    plain_rgb_[v][0] = red_[v];
    plain_rgb_[v][1] = green_[v];
    plain_rgb_[v][2] = blue_[v];
    highlight_rgb_[v][0] = static_cast<uint8_t>(static_cast<int32_t>(r));
    highlight_rgb_[v][1] = static_cast<uint8_t>(static_cast<int32_t>(g * 0.2));
    highlight_rgb_[v][2] = static_cast<uint8_t>(static_cast<int32_t>(b));
    not_rgb_[v][0] = static_cast<uint8_t>(static_cast<int32_t>(r * 0.8));
    not_rgb_[v][1] = 0;
    not_rgb_[v][2] = static_cast<uint8_t>(static_cast<int32_t>(b));
  }
}

void globcmap_t::colour_of(int32_t v, bool highlighted, uint8_t rgb[3]) const {
  const uint8_t* c = not_[v] ? not_rgb_[v] : (highlighted ? highlight_rgb_[v] : plain_rgb_[v]);
  rgb[0] = c[0];
  rgb[1] = c[1];
  rgb[2] = c[2];
}

// ---- Threshold test -------------------------------------------------------------

bool globcmap_t::is_highlighted(const uint8_t* data, int32_t x, int32_t y, int32_t width,
                                int32_t height) const {
  // The segmentation asks about pixels it reaches by stepping: outside the
  // image nothing is highlighted.
  if (!data || x < 0 || y < 0 || x >= width || y >= height) return false;
  const int32_t v = data[static_cast<size_t>(y) * width + x];
  const int32_t range = gradient_range_;
  if (range == 0) return band_[v] != 0;
  if (range > 0 && !band_[v]) return false;
  if (range < 0 && band_[v]) return true;

  int32_t g = 0;
  if (x > 0 && y > 0 && x < width - 1 && y < height - 1) {
    auto at = [&](int32_t dx, int32_t dy) -> int32_t {
      return data[static_cast<size_t>(y + dy) * width + (x + dx)];
    };
    auto column = [&](int32_t dx) { return at(dx, -1) + 2 * at(dx, 0) + at(dx, 1); };
    auto row = [&](int32_t dy) { return at(-1, dy) + 2 * at(0, dy) + at(1, dy); };
    const int32_t gx = minmod(column(0) - column(-1), column(1) - column(0));
    const int32_t gy = minmod(row(0) - row(-1), row(1) - row(0));
    g = (gx * gx + gy * gy) / 4;
  }
  return range > 0 ? g <= range : g > -range;
}

bool globcmap_t::is_highlighted_resampled(const int32_t* values, int32_t x, int32_t y,
                                          int32_t width, int32_t height, int32_t step_x,
                                          int32_t step_y, float zoom_x, float zoom_y) const {
  if (!values || x < 0 || y < 0 || x >= width || y >= height || step_x < 1 || step_y < 1)
    return false;
  const int32_t v = values[static_cast<size_t>(y) * width + x];
  if (v < 0 || v > 255) return true;
  const int32_t range = gradient_range_;
  if (range == 0) return band_[v] != 0;
  if (range > 0 && !band_[v]) return false;
  if (range < 0 && band_[v]) return true;

  int32_t g = 0;
  if (step_x <= x && x < width - step_x && step_y <= y && y < height - step_y) {
    auto at = [&](int32_t dx, int32_t dy) -> int32_t {
      const int32_t w = values[static_cast<size_t>(y + dy * step_y) * width + (x + dx * step_x)];
      return w < 0 || w > 255 ? -1 : w;
    };
    auto column = [&](int32_t dx) { return at(dx, -1) + 2 * at(dx, 0) + at(dx, 1); };
    auto row = [&](int32_t dy) { return at(-1, dy) + 2 * at(0, dy) + at(1, dy); };
    const int32_t mx = minmod(column(0) - column(-1), column(1) - column(0));
    const int32_t my = minmod(row(0) - row(-1), row(1) - row(0));
    const float sx = zoom_x / static_cast<float>(step_x);
    const float sy = zoom_y / static_cast<float>(step_y);
    const int32_t gx = static_cast<int32_t>(static_cast<float>(mx) * sx + 0.5f);
    const int32_t gy = static_cast<int32_t>(static_cast<float>(my) * sy + 0.5f);
    g = static_cast<int32_t>((static_cast<int64_t>(gx) * gx + static_cast<int64_t>(gy) * gy) / 4);
  }
  return range > 0 ? g <= range : g > -range;
}

// ---- Mapping ----------------------------------------------------------------------

void globcmap_t::map_to_rgba(const uint8_t* data, int32_t width, int32_t height, uint8_t* out,
                             int32_t out_width, int32_t out_height, float background_red,
                             float background_green, float background_blue, float opacity,
                             bool zero_transparent) const {
  if (!data || !out || width < 1 || height < 1 || out_width < width || out_height < height) return;
  auto byte_of = [](float f) {
    return static_cast<uint8_t>(static_cast<int32_t>(255.0f * std::min(1.0f, std::max(0.0f, f))));
  };
  const uint8_t bg[3] = {byte_of(background_red), byte_of(background_green),
                         byte_of(background_blue)};
  const uint8_t alpha = byte_of(opacity);
  const uint8_t pad_alpha = zero_transparent ? 0 : alpha;
  auto pad = [&](uint8_t* p, size_t count) {
    for (size_t i = 0; i < count; ++i, p += 4) {
      p[0] = bg[0];
      p[1] = bg[1];
      p[2] = bg[2];
      p[3] = pad_alpha;
    }
  };
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* p = out + static_cast<size_t>(y) * out_width * 4;
    const uint8_t* row = data + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x, p += 4) {
      const int32_t v = row[x];
      colour_of(v, !not_[v] && is_highlighted(data, x, y, width, height), p);
      p[3] = zero_transparent && v == 0 ? 0 : alpha;
    }
    pad(p, static_cast<size_t>(out_width - width));
  }
  pad(out + static_cast<size_t>(height) * out_width * 4,
      static_cast<size_t>(out_height - height) * out_width);
}

void globcmap_t::map_to_rgb(const uint8_t* data, int32_t width, int32_t height, uint8_t* out,
                            int32_t out_width, int32_t out_height, int32_t step) const {
  if (!data || !out || step < 1 || out_width < 1 || out_height < 1) return;
  if (static_cast<int64_t>(step) * (out_width - 1) >= width ||
      static_cast<int64_t>(step) * (out_height - 1) >= height)
    return;
  uint8_t* p = out;
  for (int32_t r = 0; r < out_height; ++r) {
    const int32_t y = r * step;
    for (int32_t c = 0; c < out_width; ++c, p += 3) {
      const int32_t x = c * step;
      const int32_t v = data[static_cast<size_t>(y) * width + x];
      colour_of(v, !not_[v] && is_highlighted(data, x, y, width, height), p);
    }
  }
}

// ---- Doppler -------------------------------------------------------------------------

int32_t globcmap_t::blend_doppler(int32_t a, int32_t b, int32_t weight_a, int32_t weight_b) {
  if (doppler_class(a) == doppler_class(b))
    return static_cast<int32_t>(
        (static_cast<int64_t>(b) * weight_b + static_cast<int64_t>(a) * weight_a + 32768) >> 16);
  return weight_a > weight_b ? a : b;
}

// ---- Volume transfer function -----------------------------------------------------------

void globcmap_t::volume_transfer_function(float (*out)[4], float p1, float p2,
                                          float (*material)[3]) const {
  if (!out) return;
  // Control points: the first enabled row at each data value, by value.
  const volume_object* rows = resource_table ? resource_table->RES_VOLUME->read() : nullptr;
  int32_t owner[256];
  std::fill(owner, owner + 256, -1);
  for (int32_t k = 0; rows && k < NUM_VOLUME_ROWS; ++k) {
    const int32_t v = rows[k].data_value;
    if (rows[k].enabled && v >= 0 && v <= 255 && owner[v] < 0) owner[v] = k;
  }
  int32_t points[258];
  int32_t count = 0;
  for (int32_t v = 0; v < 256; ++v) {
    if (owner[v] < 0) continue;
    const volume_object& row = rows[owner[v]];
    out[v][0] = static_cast<float>(row.colour.Red()) / 255.0f;
    out[v][1] = static_cast<float>(row.colour.Green()) / 255.0f;
    out[v][2] = static_cast<float>(row.colour.Blue()) / 255.0f;
    out[v][3] = static_cast<float>(row.opacity) / 255.0f;
    if (material) {
      material[v][0] = static_cast<float>(row.roughness) / 255.0f;
      material[v][1] = static_cast<float>(row.metallic) / 255.0f;
      material[v][2] = static_cast<float>(row.anisotropy) / 255.0f;
    }
    points[count++] = v;
  }
  if (count == 0) {
    for (int c = 0; c < 4; ++c) {
      out[0][c] = 0.0f;
      out[255][c] = 1.0f;
    }
    if (material) {
      material[0][0] = material[255][0] = 0.5f;
      material[0][1] = material[255][1] = 0.0f;
      material[0][2] = material[255][2] = 0.0f;
    }
    points[count++] = 0;
    points[count++] = 255;
  } else {
    // Constant below the first and above the last point.
    if (points[0] != 0) {
      std::copy(out[points[0]], out[points[0]] + 4, out[0]);
      if (material) std::copy(material[points[0]], material[points[0]] + 3, material[0]);
      std::copy_backward(points, points + count, points + count + 1);
      points[0] = 0;
      ++count;
    }
    if (points[count - 1] != 255) {
      const int32_t last = points[count - 1];
      std::copy(out[last], out[last] + 4, out[255]);
      if (material) std::copy(material[last], material[last] + 3, material[255]);
      points[count++] = 255;
    }
  }
  // Linear between neighbouring points, written as a + f (b - a) so that a
  // constant stretch stays exactly constant: (1 - f) a + f b in single
  // precision drifts by an ulp, which the tables' truncation to bytes turns
  // into speckles one level darker.
  auto lerp = [](float a, float b, float f) { return a + f * (b - a); };
  for (int32_t j = 0; j + 1 < count; ++j) {
    const int32_t a = points[j], b = points[j + 1];
    for (int32_t i = a + 1; i < b; ++i) {
      const float f = static_cast<float>(i - a) / static_cast<float>(b - a);
      for (int c = 0; c < 4; ++c) out[i][c] = lerp(out[a][c], out[b][c], f);
      if (material)
        for (int c = 0; c < 3; ++c) material[i][c] = lerp(material[a][c], material[b][c], f);
    }
  }
  out[0][3] = out[1][3] = 0.0f;
  for (int32_t i = 2; i < 256; ++i) {
    const double a = out[i][3];
    out[i][3] = static_cast<float>(
        1.0 - std::pow(1.0 - std::pow(a, static_cast<double>(p1)), static_cast<double>(p2)));
  }
}

// ---- Steps ----------------------------------------------------------------------------------

bool globcmap_t::estimate_reslice_step() {
  double load = 0.0;
  if (resource_table) {
    const reslice_info* planes = resource_table->RESLICE->read();
    const double s = resource_table->RES_XSCALE->read();
    for (int k = 0; planes && k < resource_table_t::kReslicePlaneCount; ++k) {
      const reslice_info& p = planes[k];
      if (!p.builder) continue;
      // A pixel size of 0 or below (never a real one) counts the plane as
      // thin rather than dividing by it.
      const double slices = s > 0.0 && std::isfinite(s) ? 2.0 * p.half_thickness / s + 1.0 : 1.0;
      load += slices * static_cast<double>(p.width) * static_cast<double>(p.height) / 524288.0;
    }
  }
  // The cube root truncated; a step above 8 jumps to 10.
  const double root = std::pow(load, 1.0 / 3.0);
  int32_t step = 1;
  if (root >= 9.0)
    step = 10;
  else if (root >= 1.0)
    step = static_cast<int32_t>(root);
  pixel_step_ = slice_step_ = step;
  return true;
}

bool globcmap_t::set_step(int32_t pixel_step, int32_t slice_step) {
  pixel_step_ = pixel_step;
  slice_step_ = slice_step;
  return pixel_step != 1 || slice_step != 1;
}

void globcmap_t::get_step(int32_t& pixel_step, int32_t& slice_step) const {
  pixel_step = pixel_step_;
  slice_step = slice_step_;
}

// ---- Frame export and ownership ---------------------------------------------------------------

void colour_map_frame_rgb(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* rgb) {
  if (colour_map) {
    colour_map->map_to_rgb(pixels, width, height, rgb, width, height, 1);
    return;
  }
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < n; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = pixels[i];
}

colour_map_scope::colour_map_scope() {
  colour_map = new globcmap_t;
  set_frame_rgb_mapper(&colour_map_frame_rgb);
}

colour_map_scope::~colour_map_scope() {
  set_frame_rgb_mapper(nullptr);
  delete colour_map;
  colour_map = nullptr;
}
