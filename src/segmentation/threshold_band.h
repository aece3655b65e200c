// What the segmentation asks of the display: which pixels belong to an
// object (the threshold band, with the display's gradient test), which grey
// values no growth may cross (the exclusion flags) and the two grey
// thresholds. The display colour map implements it; tests and tools may use
// grey_band, the band alone.
#pragma once

#include <cstdint>

class threshold_band {
 public:
  virtual ~threshold_band() = default;
  // Whether pixel (x, y) of an 8-bit width x height frame is in the object;
  // false outside the frame.
  virtual bool is_highlighted(const uint8_t* data, int32_t x, int32_t y, int32_t width,
                              int32_t height) const = 0;
  // Grey values beyond the exclusion threshold.
  virtual bool excluded(uint8_t value) const = 0;
  // Whether a grey value lies in the band itself, without the gradient test.
  virtual bool in_band(uint8_t value) const = 0;
  virtual int32_t low_threshold() const = 0;
  virtual int32_t high_threshold() const = 0;
};

// A grey band without a gradient test: lo..hi, or, when hi < lo, the wrapped
// band below hi and above lo (as the display thresholds it), with no value
// excluded until exclude() says so.
class grey_band final : public threshold_band {
 public:
  grey_band(int32_t lo, int32_t hi) : lo_(lo), hi_(hi) {
    for (int v = 0; v < 256; ++v) {
      band_[v] = lo <= hi ? (lo <= v && v <= hi) : (v < hi || v > lo);
      excluded_[v] = false;
    }
  }
  void exclude(int32_t first, int32_t last) {
    for (int v = first; v <= last && v < 256; ++v)
      if (v >= 0) excluded_[v] = true;
  }
  bool is_highlighted(const uint8_t* data, int32_t x, int32_t y, int32_t width,
                      int32_t height) const override {
    if (!data || x < 0 || y < 0 || x >= width || y >= height) return false;
    return band_[data[static_cast<int64_t>(y) * width + x]];
  }
  bool excluded(uint8_t value) const override { return excluded_[value]; }
  bool in_band(uint8_t value) const override { return band_[value]; }
  int32_t low_threshold() const override { return lo_; }
  int32_t high_threshold() const override { return hi_; }

 private:
  int32_t lo_, hi_;
  bool band_[256];
  bool excluded_[256];
};
