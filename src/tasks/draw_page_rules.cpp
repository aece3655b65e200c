#include "tasks/draw_page_rules.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "data/contour.h"
#include "data/dynabuf.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"

int32_t draw_row_count(const std::vector<bool>& used, const std::vector<wxString>& names,
                       int32_t current_max) {
  const int32_t n = std::min<int32_t>(DRAW_MAX_ROWS, static_cast<int32_t>(used.size()));
  int32_t f = 0;
  for (int32_t k = 0; k < n; ++k)
    if (used[k]) f = k + 1;
  int32_t count = std::min(DRAW_MAX_ROWS, ((f + DRAW_ROW_STEP) / DRAW_ROW_STEP + 1) * DRAW_ROW_STEP);
  if (count < current_max) {
    const int32_t last = std::min<int32_t>(current_max, static_cast<int32_t>(names.size()));
    for (int32_t l = count; l < last; ++l)
      if (!names[l].StartsWith(L"Object ")) count = l + 1;
    count = (count + DRAW_ROW_STEP - 1) / DRAW_ROW_STEP * DRAW_ROW_STEP;
    count = std::min(DRAW_MAX_ROWS, count);
  }
  return count;
}

bool dicom_samples_8bit() { return dicom_utility::data_8bit; }

bool frame_has_raw_values(int32_t frame) {
  if (!frame_store || frame < 0 || frame >= static_cast<int32_t>(frame_store->images.size())) return false;
  if (!resource_table->RES_BUF_DICOM->read()) return false;
  frame_image_ref image = frame_store->imagecp(frame);
  return image && image->raw;
}

namespace {

// Sums in 64 bits: a large region of 16-bit values overflows 32.
template <class Pixel>
bool enclosed_stats(const Pixel* pixels, const int16_t* map, const frame_contours_t& e,
                    int32_t width, int32_t height, double& mean, double& max, double& min) {
  int64_t sum = 0, count = 0;
  int64_t lo = std::numeric_limits<int64_t>::max(), hi = std::numeric_limits<int64_t>::min();
  for (int32_t j = 0; j < e.box_height; ++j) {
    const int64_t y = int64_t(e.box_y) + j;
    if (y < 0 || y >= height) continue;
    for (int32_t k = 0; k < e.box_width; ++k) {
      const int64_t x = int64_t(e.box_x) + k;
      if (x < 0 || x >= width || map[int64_t(j) * e.box_width + k] <= 0) continue;
      const int64_t v = pixels[y * width + x];
      sum += v;
      ++count;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  if (count == 0) return false;
  mean = static_cast<double>(sum) / static_cast<double>(count);
  max = static_cast<double>(hi);
  min = static_cast<double>(lo);
  return true;
}

}  // namespace

bool contour_pixel_stats(frame_contours_t& entry, double& mean, double& max, double& min) {
  std::unique_ptr<int16_t[]> map = entry.measure(1, false);  // a margin of outside cells seeds the fill
  if (!map || entry.box_width <= 0 || entry.box_height <= 0) return false;
  if (!frame_store || entry.frame < 0 || entry.frame >= static_cast<int32_t>(frame_store->images.size()))
    return false;
  resource_table_t& rt = *resource_table;
  const int32_t width = rt.RES_BUF_WIDTH->read();
  const int32_t height = rt.RES_BUF_HEIGHT->read();
  if (width <= 0 || height <= 0) return false;
  frame_image_ref image = frame_store->imagecp(entry.frame);
  if (!image) return false;
  const int64_t pixels = int64_t(width) * height;
  if (rt.RES_BUF_DICOM->read() && image->raw)
    return enclosed_stats(image->raw, map.get(), entry, width, height, mean, max, min);
  const uint8_t* display = frame_image_t::display_data(image);
  if (!display || image->size < pixels) return false;
  return enclosed_stats(display, map.get(), entry, width, height, mean, max, min);
}

bool raw_values_are_labels(const uint16_t* raw, size_t count, uint16_t padding, double slope,
                           double intercept) {
  double low = 1e10, high = 0;
  for (size_t i = 0; i < count; ++i) {
    if (padding != 0 && raw[i] == padding) continue;
    const double v = raw[i] * slope + intercept;
    if (std::fabs(v - std::round(v)) > 0.01) return false;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  if (high < low) low = high = 0;
  return low >= 0 && high < 256;
}

wxString contour_stats_notice(const contour_notice_input& in) {
  if (!in.raw_values)
    return wxString::Format(L"Average %0.4f, range %.0f to %.0f, in %s", in.mean, in.min, in.max,
                            in.object_name);
  const double mean = in.mean * in.slope + in.intercept;
  const double lo = in.min * in.slope + in.intercept;
  const double hi = in.max * in.slope + in.intercept;
  const double density = (mean - in.bmd_offset) / in.bmd_scale;
  if (density == mean)
    return wxString::Format(L"Average %.0f %s, range %.0f to %.0f, in %s", mean, in.units, lo, hi,
                            in.object_name);
  return wxString::Format(L"Average %.0f %s (%.0f mg/cm^3), range %.0f to %.0f, in %s", mean,
                          in.units, density, lo, hi, in.object_name);
}

wxString draw_area_line(bool known, double area, double xscale, double yscale) {
  if (!known || area < 0) return L"Area: ---.--- sq mm";
  return wxString::Format(L"Area: %.3lf sq mm", area * 100.0 * xscale * yscale);
}

wxString draw_perimeter_line(bool known, double length, double xscale) {
  if (!known) return L"Perimeter: ---.--- mm";
  return wxString::Format(L"Perimeter: %.3lf mm", length * 10.0 * xscale);
}

wxString draw_volume_line(bool used, double cubic_cm) {
  if (!used) return L"Volume: ---.--- ml";
  return wxString::Format(L"Volume: %.3lf ml", cubic_cm);
}

wxString draw_position_line(bool known, double x, double y, double z) {
  if (!known) return L"At: ---.-, ---.-, ---.- mm";
  return wxString::Format(L"At: %.1lf, %.1lf, %.1lf mm", x * 10.0, y * 10.0, z * 10.0);
}

wxString threshold_unit_text(const wxString& units) { return wxString::Format(L"(%s:", units); }

wxString threshold_value_text(int32_t lo, int32_t hi, int32_t anti, double centre, double width) {
  auto text = [&](int32_t level) -> wxString {
    if (level == 0) return L"none";
    return wxString::Format(L"%.0lf", (level - 127) * width / 256.0 + centre);
  };
  return wxString::Format(L" %s / %s / %s)", text(lo), text(hi), text(anti));
}

find_contours_range_t find_contours_range(int32_t entries) {
  if (entries <= 0) return {0, false};
  return {entries - 1, true};
}
