// Contours from label images: boundary walks around the labelled pixels,
// keeping the region on the right-hand side (y downwards), one vertex per
// pixel edge walked.
//
// The walks run on a copy with one pixel of background around it, so labels
// on the image border keep their pixels and the caller's image is left as it
// was. A boundary starts at the left edge of a labelled pixel whose left
// neighbour is background; each left edge walked is marked, so every
// boundary is walked once, the hole of a one-pixel-thick ring included.
#include <cmath>
#include <vector>

#include <wx/string.h>

#include "data/dynabuf.h"
#include "data/objects.h"
#include "data/surface_store.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "segmentation/grassfire.h"

namespace grassfire {

namespace {

enum side : int { kLeft = 1, kTop = 2, kRight = 3, kBottom = 4 };

// Where a vertex goes, given the pixel (image coordinates) and the side.
class vertex_placer {
 public:
  virtual ~vertex_placer() = default;
  virtual vec2_t place(int32_t x, int32_t y, int side) const = 0;
};

class edge_placer final : public vertex_placer {
 public:
  vec2_t place(int32_t x, int32_t y, int side) const override { return on_edge(x, y, side, 0.0f); }
  static vec2_t on_edge(int32_t x, int32_t y, int side, float d) {
    switch (side) {
      case kLeft: return {x + static_cast<double>(d), y + 0.5};
      case kTop: return {x + 0.5, y + static_cast<double>(d)};
      case kRight: return {x + 1.0 - d, y + 0.5};
      default: return {x + 0.5, y + 1.0 - d};
    }
  }
};

// Vertices moved towards the threshold crossing between the inside pixel and
// its neighbour across the edge (on the edge where either neighbour needed
// lies outside the frame).
class threshold_placer final : public vertex_placer {
 public:
  threshold_placer(const uint8_t* display, int32_t width, int32_t height,
                   const threshold_band& band, bool doppler)
      : display_(display), w_(width), h_(height), band_(band), doppler_(doppler) {}
  vec2_t place(int32_t x, int32_t y, int side) const override {
    const bool horizontal = side == kLeft || side == kRight;
    const bool room = horizontal ? (x >= 1 && x + 1 < w_) : (y >= 1 && y + 1 < h_);
    float d = 0.0f;
    if (room) {
      const ptrdiff_t step = side == kLeft ? -1 : side == kRight ? 1 : side == kTop ? -ptrdiff_t(w_) : ptrdiff_t(w_);
      d = edge_offset(display_ + static_cast<size_t>(y) * w_ + x, step, band_, doppler_);
    }
    return edge_placer::on_edge(x, y, side, d);
  }

 private:
  const uint8_t* display_;
  int32_t w_, h_;
  const threshold_band& band_;
  bool doppler_;
};

class tracer {
 public:
  // Copies the box x0..x1, y0..y1 of labels with a background margin.
  tracer(const uint8_t* labels, int32_t width, int32_t x0, int32_t x1, int32_t y0, int32_t y1)
      : ox_(x0 - 1), oy_(y0 - 1), pw_(x1 - x0 + 3), ph_(y1 - y0 + 3) {
    img_.assign(static_cast<size_t>(pw_) * ph_, 0);
    left_walked_.assign(img_.size(), 0);
    for (int32_t y = y0; y <= y1; ++y) {
      const uint8_t* row = labels + static_cast<size_t>(y) * width;
      for (int32_t x = x0; x <= x1; ++x) img_[idx(x - ox_, y - oy_)] = row[x];
    }
  }

  void trace(bool eight, int32_t set_count, frame_contours_t* sets, double tolerance,
             const vertex_placer& placer) {
    contour_t c;
    for (int32_t y = 1; y < ph_ - 1; ++y) {
      for (int32_t x = 1; x < pw_ - 1; ++x) {
        const size_t i = idx(x, y);
        if (img_[i] < 2 || img_[i - 1] != 0 || left_walked_[i]) continue;
        const int32_t label = img_[i];
        walk(x, y, eight, placer, c);
        if (tolerance > 0.0) c.simplify(tolerance);
        const int32_t set = set_count < 2 ? 0 : label - 2;
        if (c.vertices.size() >= 3 && set < set_count) {
          c.closed = true;
          sets[set].contours.push_back(c);
        }
      }
    }
  }

 private:
  size_t idx(int32_t x, int32_t y) const { return static_cast<size_t>(y) * pw_ + x; }
  bool set(int32_t x, int32_t y) const { return img_[idx(x, y)] != 0; }

  void walk(int32_t sx, int32_t sy, bool eight, const vertex_placer& placer, contour_t& c) {
    c.vertices.clear();
    c.values.clear();
    c.closed = false;
    int32_t x = sx, y = sy;
    int o = kLeft;
    left_walked_[idx(x, y)] = 1;
    c.vertices.push_back(placer.place(x + ox_, y + oy_, kLeft));
    // Every step walks a new pixel edge; the cap only guards the loop.
    const size_t cap = 4 * img_.size() + 4;
    for (size_t steps = 0; steps < cap; ++steps) {
      eight ? step8(x, y, o) : step4(x, y, o);
      if (x == sx && y == sy && o == kLeft) return;
      if (o == kLeft) left_walked_[idx(x, y)] = 1;
      c.vertices.push_back(placer.place(x + ox_, y + oy_, o));
    }
  }

  void step8(int32_t& x, int32_t& y, int& o) const {
    switch (o) {
      case kLeft:
        if (set(x - 1, y - 1)) { --x; --y; o = kBottom; }
        else if (set(x, y - 1)) { --y; o = kLeft; }
        else o = kTop;
        break;
      case kTop:
        if (set(x + 1, y - 1)) { ++x; --y; o = kLeft; }
        else if (set(x + 1, y)) { ++x; o = kTop; }
        else o = kRight;
        break;
      case kRight:
        if (set(x + 1, y + 1)) { ++x; ++y; o = kTop; }
        else if (set(x, y + 1)) { ++y; o = kRight; }
        else o = kBottom;
        break;
      default:
        if (set(x - 1, y + 1)) { --x; ++y; o = kRight; }
        else if (!set(x - 1, y)) o = kLeft;
        else { --x; o = kBottom; }
        break;
    }
  }

  void step4(int32_t& x, int32_t& y, int& o) const {
    switch (o) {
      case kLeft:
        if (!set(x, y - 1)) o = kTop;
        else if (!set(x - 1, y - 1)) { --y; o = kLeft; }
        else { --x; --y; o = kBottom; }
        break;
      case kTop:
        if (set(x + 1, y) && set(x + 1, y - 1)) { ++x; --y; o = kLeft; }
        else if (set(x + 1, y)) { ++x; o = kTop; }
        else o = kRight;
        break;
      case kRight:
        if (set(x, y + 1) && set(x + 1, y + 1)) { ++x; ++y; o = kTop; }
        else if (set(x, y + 1)) { ++y; o = kRight; }
        else o = kBottom;
        break;
      default:
        if (!set(x - 1, y)) o = kLeft;
        else if (set(x - 1, y + 1)) { --x; ++y; o = kRight; }
        else { --x; o = kBottom; }
        break;
    }
  }

  int32_t ox_, oy_, pw_, ph_;
  std::vector<uint8_t> img_;
  std::vector<uint8_t> left_walked_;
};

// The box of the labelled pixels (2 or more); false when there are none.
bool label_box(const uint8_t* labels, int32_t width, int32_t height, int32_t& x0, int32_t& x1,
               int32_t& y0, int32_t& y1) {
  x0 = width;
  x1 = -1;
  y0 = height;
  y1 = -1;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = labels + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) {
      if (row[x] < 2) continue;
      if (x < x0) x0 = x;
      if (x > x1) x1 = x;
      if (y < y0) y0 = y;
      y1 = y;
    }
  }
  return x1 >= 0;
}

void trace(const uint8_t* labels, int32_t width, int32_t height, int32_t set_count,
           frame_contours_t* sets, double tolerance, bool eight, const vertex_placer& placer) {
  if (!labels || !sets || set_count < 1 || width < 1 || height < 1) return;
  int32_t x0, x1, y0, y1;
  if (!label_box(labels, width, height, x0, x1, y0, y1)) return;
  tracer(labels, width, x0, x1, y0, y1).trace(eight, set_count, sets, tolerance, placer);
}

}  // namespace

float edge_offset(const uint8_t* ap, ptrdiff_t step, const threshold_band& band, bool doppler) {
  const int32_t a = ap[0], b = ap[step], c = ap[-step];
  if (doppler || a == b) return 0.0f;
  double t;
  if (band.in_band(static_cast<uint8_t>(a)) && !band.in_band(static_cast<uint8_t>(b))) {
    // The band ends half a grey level beyond its last value between a and b.
    int32_t m = a;
    if (b < a) {
      while (m - 1 > b && band.in_band(static_cast<uint8_t>(m - 1))) --m;
      t = (a - (m - 0.5)) / (a - b);
    } else {
      while (m + 1 < b && band.in_band(static_cast<uint8_t>(m + 1))) ++m;
      t = ((m + 0.5) - a) / (b - a);
    }
    return static_cast<float>(0.5 - t);
  }
  if (std::abs(a - b) > std::abs(a - c))
    t = static_cast<double>(c - b) / (2.0 * (a - b)) + 0.5;
  else
    t = 0.5 - static_cast<double>(b - c) / (2.0 * (a - c));
  if (nearer_low_threshold(a, band.low_threshold(), band.high_threshold())) {
    if (c + b >= 2 * a) t = c > b ? 1.5 : -0.5;
  } else if (2 * a >= c + b) {
    t = b > c ? 1.5 : -0.5;
  }
  return static_cast<float>((static_cast<float>(t) - 0.5) * 0.25);
}

void extract_frame_contours(const uint8_t* display, const uint8_t* labels, int32_t width,
                            int32_t height, int32_t set_count, frame_contours_t* sets,
                            double tolerance, bool eight_connected, const threshold_band& band,
                            bool doppler) {
  if (!display) return;
  const threshold_placer placer(display, width, height, band, doppler);
  trace(labels, width, height, set_count, sets, tolerance, eight_connected, placer);
}

void trace_label_contours(const uint8_t* labels, int32_t width, int32_t height,
                          int32_t set_count, frame_contours_t* sets, double tolerance) {
  trace(labels, width, height, set_count, sets, tolerance, true, edge_placer());
}

int32_t contours_from_label(int32_t label, int32_t object, int32_t f, int32_t n, bool rename) {
  resource_table_t& t = *resource_table;
  const int32_t frames = t.RES_BUF_FRAMES->read();
  contour_object* objects = t.RES_OBJECT->read();
  if (f < 0 || f >= frames || !objects || object < 0 || object >= NUM_OBJECTS || !frame_store)
    return 0;
  contour_object& o = objects[object];
  const bool wide = t.RES_BUF_DICOM->read() && !dicom_utility::data_8bit;
  if (rename) {
    const long shown = wide ? std::lround(label * t.RES_DICOM_HUM->read() + t.RES_DICOM_HUB->read())
                            : static_cast<long>(label);
    o.name = wxString::Format("From label %li", shown);
    t.OBJECT->write_no_changeprocs();
  }
  const int32_t width = t.RES_BUF_WIDTH->read(), height = t.RES_BUF_HEIGHT->read();
  if (width < 1 || height < 1) return 0;
  const size_t pixels = static_cast<size_t>(width) * height;
  const double tolerance = t.RES_SIMPLIFY_THRESH->read() / 10.0;

  std::vector<uint8_t> mask(pixels);
  frame_contours_t set;
  bool added = false;
  for (int32_t k = n > 0 ? f % n : f; k < frames; k += n > 0 ? n : frames) {
    const frame_image_ref image = frame_store->imagecp(k);
    if (!image || image->size < 0 || static_cast<size_t>(image->size) < pixels) continue;
    bool any = false;
    if (wide) {
      const uint16_t* raw = image->raw;
      if (!raw) continue;
      for (size_t i = 0; i < pixels; ++i) any |= (mask[i] = raw[i] == label ? 2 : 0) != 0;
    } else {
      const uint8_t* display = frame_image_t::display_data(image);
      if (!display) continue;
      for (size_t i = 0; i < pixels; ++i) any |= (mask[i] = display[i] == label ? 2 : 0) != 0;
    }
    if (!any) continue;
    set.contours.clear();
    trace_label_contours(mask.data(), width, height, 1, &set, tolerance);
    for (const contour_t& c : set.contours) {
      if (!added) {
        if (rename) o.reset();
        if (object < resource_table_t::kSurfaceCount) {
          genflag_res_t<surface_interp*>* res = t.RES_SURFACE[object];
          if (surface_interp* surface = res->pending()) {
            delete_surface(surface);
            res->write_no_changeprocs(nullptr);
          }
        }
        added = true;
      }
      o.add_contour(k, c);
    }
  }
  return added ? 1 : 0;
}

}  // namespace grassfire
