// Frames for the correction-run tests: a smooth texture sampled at known
// shifts and compressions, so that the true displacement of every pair is
// known without the code under test; a recording loaded into the frame
// store; and a scripted user interface that records what the run asks.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "registry/resource_table.h"

namespace correction_test {

constexpr double kTwoPi = 6.283185307179586;

// Broad waves in x and y (so that a score keeps rising all the way to the
// true shift) with finer detail on top. Each part varies along one axis and
// fills whole periods of the columns the x search compares (205 of 256) and
// of the rows the y search compares (149 of 200), so that a movement along
// one axis does not look like one along the other. Grey values 10..246.
inline double texture(double x, double y) {
  return 128.0 + 55.0 * std::sin(kTwoPi * x / 102.5 + 0.3) + 55.0 * std::sin(kTwoPi * y / 74.5 + 1.1) +
         4.0 * std::sin(kTwoPi * x * 15.0 / 205.0 + 0.7) + 4.0 * std::sin(kTwoPi * y * 18.0 / 149.0 + 0.4);
}

// A smooth random field: fixed pseudo-random values on a grid 3 units apart,
// Catmull-Rom between them, within about -70..70.
inline double random_field(double x, double y, uint32_t seed) {
  auto knot = [&](long i, long j) {
    uint32_t h = static_cast<uint32_t>(i + 100000) * 2654435761u ^ static_cast<uint32_t>(j + 100000) * 2246822519u ^
                 seed * 3266489917u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    h *= 3266489917u;
    h ^= h >> 16;
    return static_cast<double>(h % 101) - 50.0;
  };
  auto spline = [](double f, double p0, double p1, double p2, double p3) {
    return p1 + 0.5 * f * (p2 - p0 + f * (2 * p0 - 5 * p1 + 4 * p2 - p3 + f * (3 * (p1 - p2) + p3 - p0)));
  };
  const double u = x / 3.0, v = y / 3.0;
  const long i = static_cast<long>(std::floor(u)), j = static_cast<long>(std::floor(v));
  double rows[4];
  for (int b = 0; b < 4; ++b)
    rows[b] = spline(u - static_cast<double>(i), knot(i - 1, j - 1 + b), knot(i, j - 1 + b), knot(i + 1, j - 1 + b),
                     knot(i + 2, j - 1 + b));
  return spline(v - static_cast<double>(j), rows[0], rows[1], rows[2], rows[3]);
}

// Random detail in both directions, so that every row looks unlike every
// other, as telling compressed rows apart needs; grey values within 1..255.
inline double layered_texture(double x, double y) { return 128.0 + 1.3 * random_field(x, y, 5); }

// Pixel (c, r) shows the texture at source(c, r); noise adds up to +-noise
// grey levels of a fixed pseudo-random sequence.
template <class Source>
std::vector<uint8_t> sample(int32_t w, int32_t h, Source source, int noise = 0, uint32_t seed = 1,
                            double (*texture)(double, double) = correction_test::texture) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h);
  uint32_t s = seed;
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c) {
      double x = 0, y = 0;
      source(c, r, x, y);
      double v = texture(x, y);
      if (noise) {
        s = s * 1664525u + 1013904223u;
        v += static_cast<double>(static_cast<int>((s >> 16) % (2 * noise + 1)) - noise);
      }
      px[static_cast<size_t>(r) * w + c] = static_cast<uint8_t>(std::lround(std::min(std::max(v, 1.0), 255.0)));
    }
  return px;
}

// The texture moved by (-sx, -sy): pixel (c, r) shows what (c + sx, r + sy)
// showed before, as when the probe moved by (+sx, +sy) pixels.
inline std::vector<uint8_t> shifted(int32_t w, int32_t h, double sx, double sy, int noise = 0, uint32_t seed = 1) {
  return sample(w, h, [&](int32_t c, int32_t r, double& x, double& y) { x = c + sx, y = r + sy; }, noise, seed);
}

// Replaces the frame store with these frames and positions and sets the
// frame size, 0.05 cm pixels, recorded positions and no calibration.
inline void load(int32_t w, int32_t h, const std::vector<std::vector<uint8_t>>& frames,
                 const std::vector<position_t>& positions) {
  frame_store->clear();
  for (size_t k = 0; k < frames.size(); ++k) {
    auto* px = new uint8_t[frames[k].size()];
    std::copy(frames[k].begin(), frames[k].end(), px);
    frame_store->add_image(frame_image_t::create(px, static_cast<int32_t>(frames[k].size())));
    frame_store->positions.push_back(position_holder_t::create(positions[k]));
    frame_store->timestamps.push_back(k);
  }
  resource_table_t& t = *resource_table;
  t.RES_BUF_WIDTH->write(w);
  t.RES_BUF_HEIGHT->write(h);
  t.RES_BUF_FRAMES->write(static_cast<int32_t>(frames.size()));
  t.RES_XSCALE->write(0.05);
  t.RES_YSCALE->write(0.05);
  t.RES_POS_REC->write(true);
  base_res_t::make_pending_writes_happen();
}

// Frames 0.1 cm apart along z, all with the same orientation.
inline std::vector<position_t> sweep(size_t n) {
  std::vector<position_t> p(n);
  for (size_t k = 0; k < n; ++k) p[k].z = 0.1f * static_cast<float>(k);
  return p;
}

// Records what a run shows and asks; its progress reports Cancel once it
// has been updated to cancel_at.
class scripted_ui final : public data_io_ui {
 public:
  int cancel_at = -1;
  bool answer = false;
  std::vector<wxString> captions, questions;
  std::vector<int> updates;
  int open_progress = 0;

  class progress final : public data_progress {
   public:
    explicit progress(scripted_ui& ui) : ui_(ui) { ++ui_.open_progress; }
    ~progress() override { --ui_.open_progress; }
    void update(int value, const wxString&) override {
      ui_.updates.push_back(value);
      if (value == ui_.cancel_at) cancelled_ = true;
    }
    void pulse() override {}
    bool cancelled() const override { return cancelled_; }

   private:
    scripted_ui& ui_;
    bool cancelled_ = false;
  };

  std::unique_ptr<data_progress> start_progress(const wxString& caption, const wxString&, int,
                                                unsigned) override {
    captions.push_back(caption);
    return std::make_unique<progress>(*this);
  }
  bool ask_yes_no(const wxString&, const wxString& question) override {
    questions.push_back(question);
    return answer;
  }
  void message(wxLogLevel, const wxString&) override {}
};

}  // namespace correction_test
