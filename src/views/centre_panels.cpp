#include "views/centre_panels.h"

#include <algorithm>
#include <cmath>

#include "data/dynabuf.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "registry/resource_table.h"
#include "views/panorama_internals.h"

centre_source find_centre_source() {
  centre_source s;
  if (!resource_table) return s;
  resource_table_t& t = *resource_table;
  const reslice_info* planes = t.RESLICE->read();
  for (int k : {0, 3, 2})
    if (planes && planes[k].builder) {
      s.plane = k;
      break;
    }
  auto* panorama = static_cast<panorama_internals*>(t.RES_PANORAMA->read());
  if (panorama && (s.plane < 0 || panorama->is_panoramic()))
    s.panorama = true;
  else if (s.plane >= 0)
    s.plane_image = planes[s.plane].defined;
  return s;
}

namespace {

int32_t sampling_step(int32_t extent) { return std::max(1, static_cast<int32_t>(extent / 300.0 + 0.5)); }

}  // namespace

volume_histogram compute_volume_histogram(bool raw16, uint16_t padding) {
  volume_histogram out;
  if (!resource_table || !frame_store) return out;
  resource_table_t& t = *resource_table;
  const int32_t n = std::min<int32_t>(t.RES_BUF_FRAMES->read(), static_cast<int32_t>(frame_store->images.size()));
  const int32_t w = t.RES_BUF_WIDTH->read(), h = t.RES_BUF_HEIGHT->read();
  if (n < 2 || w < 10 || h < 10) return out;
  const int32_t rs = sampling_step(h), fs = sampling_step(n), cs = sampling_step(w);
  const size_t pixels = static_cast<size_t>(w) * h;

  std::vector<double> counts;
  if (!raw16) {
    counts.assign(256, 0.0);
    for (int32_t f = 0; f < n; f += fs) {
      const frame_image_ref& ref = frame_store->images[f];
      const uint8_t* display = frame_image_t::display_data(ref);
      if (!display || static_cast<size_t>(ref->size) < pixels) continue;
      for (int32_t y = 0; y < h; y += rs)
        for (int32_t x = 0; x < w; x += cs) ++counts[display[static_cast<size_t>(y) * w + x]];
    }
    counts[0] = 0.0;
    out.low = 1.0f;
    out.high = 255.0f;
  } else {
    std::vector<double> values(65536, 0.0);
    for (int32_t f = 0; f < n; f += fs) {
      const frame_image_ref& ref = frame_store->images[f];
      if (!ref || !ref->raw) continue;
      for (int32_t y = 0; y < h; y += rs)
        for (int32_t x = 0; x < w; x += cs) ++values[ref->raw[static_cast<size_t>(y) * w + x]];
    }
    int32_t lo = 65535, hi = 0;
    for (int32_t v = padding + 1; v < 65536; ++v)
      if (values[v] > 0) {
        lo = v;
        break;
      }
    for (int32_t v = 65535; v >= 0; --v)
      if (values[v] > 0) {
        hi = v;
        break;
      }
    if (hi < lo) {
      lo = 0;
      hi = 65535;
    }
    // Constant data would give one bin of no width, and the panel divides
    // by both: two bins of width 1 instead.
    if (hi == lo) {
      if (hi < 65535)
        ++hi;
      else
        --lo;
    }
    const int32_t bw = (hi - lo) / 1000 + 1;
    const int32_t nb = (hi - lo) / bw + 1;
    counts.assign(nb, 0.0);
    for (int32_t v = lo; v <= hi; ++v) counts[std::min((v - lo) / bw, nb - 1)] += values[v];
    out.low = static_cast<float>(lo);
    out.high = static_cast<float>(hi);
  }

  const double M = *std::max_element(counts.begin(), counts.end());
  out.bins.resize(counts.size());
  for (size_t i = 0; i < counts.size(); ++i)
    out.bins[i] = M > 0.0 ? static_cast<float>(std::log10(counts[i] / M + 1e-5) / 5.0 + 1.0)
                          : static_cast<float>(counts[i]);
  return out;
}

volume_panel_layout layout_volume_panel(const volume_histogram& histogram, int32_t p, int32_t cw, int32_t ch,
                                        bool raw16) {
  volume_panel_layout l;
  const resource_table_t& t = *resource_table;
  l.raw16 = raw16;
  l.x0 = static_cast<int32_t>(3.3 * p) + 10;
  l.gw = cw - l.x0 - 10;
  l.y0 = p + 10;
  l.gh = ch - p - 20;
  l.lo = histogram.low;
  l.hi = histogram.high;
  double width = 255.0;  // data values across the whole window
  if (raw16) {
    const double hum = t.RES_DICOM_HUM->read(), hub = t.RES_DICOM_HUB->read();
    const double centre = t.RES_DICOM_WIN_CENTRE->read();
    // A window of no width would put every value at one end.
    width = std::max(1.0, t.RES_DICOM_WIN_WIDTH->read());
    l.lo = histogram.low * hum + hub;
    l.hi = histogram.high * hum + hub;
    l.f0 = (l.lo - centre) / width + 0.5;
    l.f1 = (l.hi - centre) / width + 0.5;
  }
  // One bin, or a range of no width, has no x axis to draw along.
  if (histogram.bins.size() < 2 || !(l.f1 - l.f0 > 0.0) || !std::isfinite(l.f1 - l.f0) || l.gw < 1.0 ||
      l.gh < 1.0)
    return l;
  l.ok = true;
  const double span = l.f1 - l.f0;
  if (raw16) {
    for (int i = 0; i < 2; ++i) {
      volume_handle_t& h = l.handles[i];
      h.x = l.x_of(i);
      h.y = l.y0 + l.gh / 2;
      h.scale_x = span * width / l.gw;
    }
  }
  const volume_object* rows = t.RES_VOLUME->read();
  for (int i = 0; rows && i < NUM_VOLUME_ROWS && i + 2 < plane_view_state::kHandles; ++i) {
    if (!rows[i].enabled) continue;
    volume_handle_t& h = l.handles[2 + i];
    h.x = l.x_of(rows[i].data_value / 255.0);
    h.y = l.y0 + l.gh * rows[i].opacity / 255.0;
    h.scale_x = span * 255.0 / l.gw;
    h.scale_y = 255.0 / l.gh;
  }
  return l;
}
