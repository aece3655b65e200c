#include "medical/dicom_utility.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include <wx/stopwatch.h>

#include "data/dynabuf.h"
#include "data/medical_source.h"
#include "registry/res_values.h"

bool dicom_utility::data_16bit = false;
uint16_t dicom_utility::padding_value = 0;
windowing_progress_t* dicom_utility::pass_progress = nullptr;
long dicom_utility::pass_progress_delay_ms = 250;

medical_source* dicom_utility_medical_source();

namespace {

// True only while window_all_frames runs: its own calls of window_frame then
// neither offer the work back to the pass nor smooth within the image.
bool in_whole_data_pass = false;

void window_hook(const uint16_t* raw, frame_image_t& record, int32_t& size, int32_t& stamp) {
  dicom_utility::window_frame(raw, record, size, stamp);
}

// Installed as soon as this file is part of the program, together with the
// data-file code's access to the volume readers.
const bool hook_installed = (set_frame_windowing(&window_hook),
                             set_medical_source(dicom_utility_medical_source()), true);

bool is_padding(uint16_t v) {
  return dicom_utility::padding_value != 0 && v == dicom_utility::padding_value;
}

// Display byte of one calibrated, windowed value: rounded half away from
// zero, clamped to 1..255 (0 is kept for padding). Clamping before rounding
// gives the same bytes and lets the loop run without branches.
inline uint8_t display_byte(double x) {
  return static_cast<uint8_t>(static_cast<int>(std::min(std::max(x, 1.0), 255.0) + 0.5));
}

// Frames of at least this many pixels are windowed through a table of all
// 65536 raw values.
constexpr size_t kLookupMinPixels = 16384;

// Resource lookup by name; the table's members can replace these later.
template <class R>
R* res(const wchar_t* name) {
  return dynamic_cast<R*>(base_res_t::find(name));
}

}  // namespace

void dicom_utility::install_frame_windowing() {
  set_frame_windowing(&window_hook);
  set_medical_source(dicom_utility_medical_source());
}

windowing_params_t dicom_utility::windowing_params_from_resources() {
  windowing_params_t p;
  if (auto* r = res<long_res_t>(L"RES_BUF_WIDTH")) p.width = r->read();
  if (auto* r = res<long_res_t>(L"RES_BUF_HEIGHT")) p.height = r->read();
  if (auto* r = res<long_res_t>(L"RES_BUF_FRAMES")) p.frames = r->read();
  if (auto* r = res<double_res_t>(L"RES_DICOM_HUM")) p.slope = r->read();
  if (auto* r = res<double_res_t>(L"RES_DICOM_HUB")) p.intercept = r->read();
  if (auto* r = res<double_res_t>(L"RES_DICOM_WIN_CENTRE")) p.centre = r->read();
  if (auto* r = res<double_res_t>(L"RES_DICOM_WIN_WIDTH")) p.window = r->read();
  if (auto* r = res<long_res_t>(L"RES_DICOM_FILTER")) p.filter = r->read();
  if (auto* r = res<long_res_t>(L"RES_DICOM_FILTER_Z")) p.filter_z = r->read();
  if (auto* r = res<flag_res_t>(L"RES_DICOM_REDRAW")) p.redraw = r->read();
  if (auto* r = res<double_res_t>(L"RES_ZSCALE")) p.zscale = r->read();
  if (auto* r = res<bool_res_t>(L"RES_POS_REC")) p.pos_rec = r->read();
  return p;
}

std::vector<double> dicom_utility::smoothing_kernel(int32_t radius) {
  if (radius < 1) return {1.0};
  std::vector<double> k(2 * size_t(radius) + 1);
  // Built by accumulation, as the weights have always been.
  const double step = 2.15 / (radius + 1);
  double c = step - 2.15;
  for (double& w : k) {
    w = std::exp(-c * c);
    c += step;
  }
  return k;
}

void dicom_utility::window_frame(const uint16_t* raw, frame_image_t& record, int32_t& size,
                                 int32_t& stamp) {
  window_frame(raw, record, size, stamp, windowing_params_from_resources());
}

void dicom_utility::window_frame(const uint16_t* raw, frame_image_t& record, int32_t& size,
                                 int32_t& stamp, const windowing_params_t& p) {
  if (p.width <= 0 || p.height <= 0) return;
  const size_t n = size_t(p.width) * size_t(p.height);

  // A missing display buffer, or one of another size than the frame, is
  // (re)made and windowed whatever the stamp says.
  if (!record.display || size_t(std::max(size, 0)) != n) {
    record.replace_display(new uint8_t[n]);
    size = static_cast<int32_t>(n);
    if (stamp != -2) stamp = -1;
  } else if (stamp == p.redraw) {
    return;
  }

  if (stamp != -2 && !in_whole_data_pass) {
    // The pass windows every frame of the store; a record outside the store
    // is still out of date afterwards and is windowed here.
    if (window_all_frames(p.filter_z, p) && stamp == p.redraw) return;
  }
  stamp = p.redraw;

  uint8_t* out = record.display;
  if (!data_16bit || !raw) {
    // No raw values to show: a checkerboard of single pixels.
    for (int32_t y = 0; y < p.height; ++y)
      for (int32_t x = 0; x < p.width; ++x)
        out[size_t(y) * p.width + x] = ((x + y) & 1) ? 255 : 0;
    return;
  }

  std::unique_ptr<uint16_t[]> smoothed;
  const uint16_t* src = raw;
  if (p.filter > 0 && !in_whole_data_pass) {
    smoothed.reset(new uint16_t[n]);
    if (!smooth_frame(raw, p.width, p.height, p.filter, smoothed.get()))
      std::copy(raw, raw + n, smoothed.get());  // shown unsmoothed
    src = smoothed.get();
  }

  // A window of no width (from a file without window settings) would divide
  // by zero; the narrowest window is taken instead.
  const double window = p.window > 0.0 && std::isfinite(p.window) ? p.window : 1.0;
  double gain = (p.slope * 256.0) / window;
  double offset = ((p.intercept - p.centre) * 256.0) / window + 127.0;
  if (!std::isfinite(gain) || !std::isfinite(offset)) {
    gain = 0.0;  // unusable settings show mid grey rather than garbage
    offset = 127.0;
  }
  const uint16_t pad = padding_value;
  if (n >= kLookupMinPixels) {
    // One display byte per possible raw value, then a lookup per pixel.
    std::unique_ptr<uint8_t[]> lut(new uint8_t[65536]);
    for (int v = 0; v < 65536; ++v) lut[size_t(v)] = display_byte(v * gain + offset);
    if (pad != 0) lut[pad] = 0;
    for (size_t i = 0; i < n; ++i) out[i] = lut[src[i]];
  } else {
    for (size_t i = 0; i < n; ++i)
      out[i] = (pad != 0 && src[i] == pad) ? 0 : display_byte(src[i] * gain + offset);
  }
}

bool dicom_utility::smooth_frame(const uint16_t* src, int32_t w, int32_t h, int32_t r,
                                 uint16_t* dst) {
  if (w <= 0 || h <= 0) return true;
  const size_t n = size_t(w) * size_t(h);
  if (r < 1) {
    std::copy(src, src + n, dst);
    return true;
  }
  const std::vector<double> k = smoothing_kernel(r);
  std::unique_ptr<double[]> scratch(new (std::nothrow) double[n]);
  if (!scratch) return false;
  const bool use_pad = padding_value != 0;
  const double pad = padding_value;

  for (int32_t y = 0; y < h; ++y) {
    const uint16_t* row = src + size_t(y) * w;
    double* srow = scratch.get() + size_t(y) * w;
    for (int32_t x = 0; x < w; ++x) {
      if (is_padding(row[x])) {
        srow[x] = pad;
        continue;
      }
      double sum = 0.0, wsum = 0.0;
      const int32_t lo = std::max(x - r, 0), hi = std::min(x + r, w - 1);
      for (int32_t l = lo; l <= hi; ++l) {
        const double wt = k[size_t(r + l - x)];
        sum += row[l] * wt;
        wsum += wt;
      }
      srow[x] = sum / wsum;
    }
  }

  // Column pass, row by row so that memory is read in order; each pixel's
  // sum still runs over the rows in increasing order.
  std::vector<double> acc(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    const int32_t lo = std::max(y - r, 0), hi = std::min(y + r, h - 1);
    std::fill(acc.begin(), acc.end(), 0.0);
    double wsum = 0.0;
    for (int32_t l = lo; l <= hi; ++l) {
      const double wt = k[size_t(r + l - y)];
      const double* srow = scratch.get() + size_t(l) * w;
      for (int32_t x = 0; x < w; ++x) acc[size_t(x)] += srow[x] * wt;
      wsum += wt;
    }
    const double* centre = scratch.get() + size_t(y) * w;
    uint16_t* drow = dst + size_t(y) * w;
    for (int32_t x = 0; x < w; ++x) {
      if (use_pad && centre[x] == pad)
        drow[x] = padding_value;
      else
        drow[x] = wsum > 0.0 ? static_cast<uint16_t>(acc[size_t(x)] / wsum + 0.5) : padding_value;
    }
  }
  return true;
}

bool dicom_utility::window_all_frames(int32_t radius) {
  return window_all_frames(radius, windowing_params_from_resources());
}

bool dicom_utility::window_all_frames(int32_t r, const windowing_params_t& p) {
  const int32_t frames = p.frames;
  if (p.width < 2 || p.height < 2 || frames < 1 || r < 1 || p.zscale == 0.0 || !p.pos_rec)
    return false;
  // Every frame the pass reads must be there with its raw values.
  if (!frame_store || frame_store->images.size() < size_t(frames)) return false;
  for (int32_t f = 0; f < frames; ++f) {
    const frame_image_ref& img = frame_store->images[size_t(f)];
    if (!img || !img->raw) return false;
  }

  struct pass_flag {
    pass_flag() { in_whole_data_pass = true; }
    ~pass_flag() { in_whole_data_pass = false; }
  } flag;
  const size_t n = size_t(p.width) * size_t(p.height);
  const std::vector<double> kernel = smoothing_kernel(r);
  const int32_t ring = 2 * r + 1;
  std::vector<const uint16_t*> slot(size_t(ring), nullptr);
  std::vector<std::vector<uint16_t>> owned;

  auto raw_of = [&](int32_t f) { return frame_store->images[size_t(f)]->raw; };
  auto load = [&](int32_t f) {
    const size_t s = size_t(f % ring);
    if (p.filter < 1) {
      slot[s] = raw_of(f);
      return;
    }
    if (owned.empty()) owned.resize(size_t(ring));
    owned[s].resize(n);
    if (!smooth_frame(raw_of(f), p.width, p.height, p.filter, owned[s].data()))
      std::copy(raw_of(f), raw_of(f) + n, owned[s].begin());  // shown unsmoothed
    slot[s] = owned[s].data();
  };
  for (int32_t f = 0; f <= std::min(2 * r, frames - 1); ++f) load(f);

  std::vector<double> acc(n);
  std::vector<uint16_t> out(n);
  wxStopWatch watch;
  bool cancelled = false;
  bool dialog = false;
  auto message = [&](int32_t j) {
    return wxString::Format("Currently windowing/filtering frame %li of %li.", long(j),
                            long(frames));
  };

  for (int32_t j = 0; j < frames; ++j) {
    if (pass_progress) {
      if (!dialog) {
        if (watch.Time() > pass_progress_delay_ms && j < frames / 4) {
          pass_progress->start("Windowing 16-bit data", message(j) + "\n", frames);
          dialog = true;
          if (!pass_progress->update(j, message(j))) cancelled = true;
          watch.Start();
        }
      } else if (watch.Time() > 100) {
        if (!pass_progress->update(j, message(j))) cancelled = true;
        watch.Start();
      }
    }

    frame_image_t& rec = *frame_store->images[size_t(j)];
    if (cancelled) {
      // The rest of the pass keeps what each frame shows: frames never
      // windowed get their own values without smoothing.
      if (rec.stamp == -1) {
        if (dialog) pass_progress->resume();
        window_frame(rec.raw, rec, rec.size, rec.stamp, p);
      } else {
        rec.stamp = p.redraw;
      }
      continue;
    }

    if (j > r && j < frames - r) load(j + r);

    const int32_t first = std::max(j - r, 0), last = std::min(j + r, frames - 1);
    std::fill(acc.begin(), acc.end(), 0.0);
    double wsum = 0.0;
    for (int32_t f = first; f <= last; ++f) {
      const double wt = kernel[size_t(f - j + r)];
      const uint16_t* plane = slot[size_t(f % ring)];
      for (size_t i = 0; i < n; ++i) acc[i] += plane[i] * wt;
      wsum += wt;
    }
    if (wsum > 0.0) {
      for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint16_t>(acc[i] / wsum + 0.5);
    } else {
      std::fill(out.begin(), out.end(), padding_value);
    }
    window_frame(out.data(), rec, rec.size, rec.stamp, p);
  }

  if (dialog) pass_progress->finish();
  return true;
}
