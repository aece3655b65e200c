// Holes and concavities of a 2D region: which non-object pixels of the
// region's box are outside and which are enclosed. A distance transform gives
// every pixel its city-block distance to the object; floods from the box
// border, level by level from far to near, mark the outside; what they leave
// is judged pocket by pocket: a pocket stays enclosed when it is deep for its
// mouth or large behind a narrow mouth.
#include <cmath>
#include <vector>

#include "data/geometry.h"
#include "segmentation/grassfire_work.h"

namespace grassfire {

namespace {

constexpr uint8_t kFar = 245;      // distance 243 or more, or no path
constexpr uint8_t kBorder = 254;   // outside, far from the object
constexpr uint8_t kOpened = 255;   // outside, opened at the last level
constexpr uint8_t kContact = 1;    // contact pixel of the pocket being measured
constexpr double kPi = 3.14159265358979323846;

struct saved_pixel {
  pixel16 p;
  uint8_t value;
};

class analysis {
 public:
  analysis(uint8_t* state, const uint8_t* display, int32_t width, int32_t height,
           const bounds2d& b, const threshold_band& band, int32_t strength)
      : s_(state), display_(display), w_(width), h_(height), b_(b), band_(band), strength_(strength > 0 ? strength : 0) {}

  void run();

 private:
  uint8_t& at(int32_t x, int32_t y) { return s_[static_cast<size_t>(y) * w_ + x]; }
  bool in_bounds(int32_t x, int32_t y) const {
    return x >= b_.x0 && x <= b_.x1 && y >= b_.y0 && y <= b_.y1;
  }
  // The four neighbours in the order left, right, upper, lower.
  static constexpr int kDx[4] = {-1, 1, 0, 0};
  static constexpr int kDy[4] = {0, 0, -1, 1};

  bool unclassified(uint8_t v) const { return strength_ > 0 ? (v >= 3 && v <= kFar) : v == 0; }
  uint8_t outside_label(uint8_t v) const {
    return strength_ == 0 || v > 11 ? kBorder : static_cast<uint8_t>(v - 13);
  }
  void rays();
  void outside_flood(int level);
  void pockets(int level, double depth_limit, double mouth_factor);
  void pocket(int32_t x, int32_t y, int level, double depth_limit, double mouth_factor);

  uint8_t* s_;
  const uint8_t* display_;
  int32_t w_, h_;
  bounds2d b_;
  const threshold_band& band_;
  int32_t strength_;
  std::vector<saved_pixel> pocket_, contacts_;
  std::vector<pixel16> flood_;
};

constexpr int analysis::kDx[4];
constexpr int analysis::kDy[4];

void analysis::rays() {
  auto walk = [&](int32_t x, int32_t y) {
    uint8_t& v = at(x, y);
    if (strength_ > 0 ? v < 11 : v == kInside) return false;
    v = kBorder;
    return true;
  };
  for (int32_t y = b_.y0 + 1; y < b_.y1; ++y) {
    for (int32_t x = b_.x0 + 1; x < b_.x1 && walk(x, y); ++x) {
    }
    for (int32_t x = b_.x1 - 1; x > b_.x0 && walk(x, y); --x) {
    }
  }
  for (int32_t x = b_.x0 + 1; x < b_.x1; ++x) {
    for (int32_t y = b_.y0 + 1; y < b_.y1 && walk(x, y); ++y) {
    }
    for (int32_t y = b_.y1 - 1; y > b_.y0 && walk(x, y); --y) {
    }
  }
}

void analysis::outside_flood(int level) {
  const uint8_t mark = static_cast<uint8_t>(level + 246);
  for (int32_t y = b_.y0; y <= b_.y1; ++y) {
    for (int32_t x = b_.x0; x <= b_.x1; ++x) {
      if (!unclassified(at(x, y))) continue;
      bool touches = false;
      for (int k = 0; k < 4 && !touches; ++k) {
        const int32_t nx = x + kDx[k], ny = y + kDy[k];
        touches = in_bounds(nx, ny) && at(nx, ny) == mark;
      }
      if (!touches) continue;
      at(x, y) = outside_label(at(x, y));
      flood_.clear();
      flood_.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y)});
      for (size_t i = 0; i < flood_.size(); ++i) {
        const pixel16 p = flood_[i];
        const uint8_t v = at(p.x, p.y);
        const int limit = strength_ > 0 ? (v > level + 245 ? 246 : v - 243) : 0;
        for (int k = 0; k < 4; ++k) {
          const int32_t nx = p.x + kDx[k], ny = p.y + kDy[k];
          if (!in_bounds(nx, ny)) continue;
          const uint8_t q = at(nx, ny);
          if (strength_ > 0 ? !(q > 2 && q < limit) : q != 0) continue;
          at(nx, ny) = outside_label(q);
          flood_.push_back({static_cast<int16_t>(nx), static_cast<int16_t>(ny)});
        }
      }
    }
  }
}

void analysis::pocket(int32_t x, int32_t y, int level, double depth_limit, double mouth_factor) {
  pocket_.clear();
  const size_t first_contact = contacts_.size();
  int64_t edge = 0, mouth = 0, excluded = 0;
  double area = 0.0;
  pocket_.push_back({{static_cast<int16_t>(x), static_cast<int16_t>(y)}, at(x, y)});
  at(x, y) = 0;
  for (size_t i = 0; i < pocket_.size(); ++i) {
    const saved_pixel sp = pocket_[i];
    if (!band_.is_highlighted(display_, sp.p.x, sp.p.y, w_, h_)) area += sp.value - 2;
    for (int k = 0; k < 4; ++k) {
      const int32_t nx = sp.p.x + kDx[k], ny = sp.p.y + kDy[k];
      if (!in_bounds(nx, ny)) {
        ++edge;
        continue;
      }
      uint8_t& q = at(nx, ny);
      const pixel16 np{static_cast<int16_t>(nx), static_cast<int16_t>(ny)};
      if (q > kFar) {
        contacts_.push_back({np, q});
        mouth += q - 245;
        if (q == 246 && band_.excluded(display_[static_cast<size_t>(ny) * w_ + nx])) ++excluded;
        q = kContact;
      } else if (q >= 3) {
        pocket_.push_back({np, q});
        q = 0;
      }
    }
  }

  double depth = 0.0;
  const size_t contacts = contacts_.size() - first_contact;
  if (pocket_.size() > 10 && contacts >= 3 && edge == 0) {
    double cx = 0.0, cy = 0.0;
    for (size_t i = first_contact; i < contacts_.size(); ++i) {
      cx += contacts_[i].p.x;
      cy += contacts_[i].p.y;
    }
    cx /= contacts;
    cy /= contacts;
    double sxx = 0.0, syy = 0.0, sxy = 0.0;
    for (size_t i = first_contact; i < contacts_.size(); ++i) {
      const double dx = contacts_[i].p.x - cx, dy = contacts_[i].p.y - cy;
      sxx += dx * dx;
      syy += dy * dy;
      sxy += dx * dy;
    }
    double lambda[2];
    vec2_t e1, e2;
    eigen_symmetric_2x2(lambda, {sxx, syy}, sxy, e1, e2);
    double largest = lambda[0];
    if (largest == 0.0) largest = 1e-10;
    double sum = 0.0;
    for (const saved_pixel& sp : pocket_) sum += (sp.p.x - cx) * e2.x + (sp.p.y - cy) * e2.y;
    depth = std::fabs(sum) / static_cast<double>(pocket_.size()) / std::sqrt(std::fabs(largest));
  }

  const double counted_area = 5.0 * level * excluded <= mouth ? area : 0.0;
  const double open_mouth = static_cast<double>(edge + mouth);
  if (depth < 5.0 * depth_limit && open_mouth * open_mouth * mouth_factor > kPi * counted_area) {
    for (const saved_pixel& sp : pocket_) at(sp.p.x, sp.p.y) = level == 1 ? kOpened : sp.value;
  }
}

void analysis::pockets(int level, double depth_limit, double mouth_factor) {
  for (int32_t y = b_.y0; y <= b_.y1; ++y) {
    for (int32_t x = b_.x0; x <= b_.x1; ++x) {
      const uint8_t v = at(x, y);
      if (v < 3 || v > kFar) continue;
      bool touches = false;
      for (int k = 0; k < 4 && !touches; ++k) {
        const int32_t nx = x + kDx[k], ny = y + kDy[k];
        touches = in_bounds(nx, ny) && at(nx, ny) > kFar;
      }
      if (touches) pocket(x, y, level, depth_limit, mouth_factor);
    }
  }
}

void analysis::run() {
  const int32_t s = strength_;
  if (s > 0) distance_transform_2d(s_, w_, b_);
  for (int32_t y = b_.y0; y <= b_.y1; ++y)
    for (int32_t x = b_.x0; x <= b_.x1; ++x)
      if ((y == b_.y0 || y == b_.y1 || x == b_.x0 || x == b_.x1) && at(x, y) != kInside)
        at(x, y) = kBorder;
  rays();

  const double depth_limit = s < 50 ? std::pow(10.0, (50.0 - s) / 150.0) - 0.8 : 0.2;
  const double mouth_factor = s < 25 ? 50.0 : std::pow(10.0, (100.0 - s) / 45.0) + 1.0;
  static const int kLevels[5] = {8, 6, 4, 2, 1};
  for (int level : kLevels) {
    outside_flood(level);
    if (s > 0) {
      pockets(level, depth_limit, mouth_factor);
      for (const saved_pixel& c : contacts_) at(c.p.x, c.p.y) = c.value;
      contacts_.clear();
    }
    if (s < 1) break;
  }
}

}  // namespace

void distance_transform_2d(uint8_t* state, int32_t width, const bounds2d& b) {
  if (b.empty()) return;
  auto at = [&](int32_t x, int32_t y) -> uint8_t& { return state[static_cast<size_t>(y) * width + x]; };
  for (int32_t y = b.y0; y <= b.y1; ++y) {
    for (int32_t x = b.x0; x <= b.x1; ++x) {
      uint8_t& v = at(x, y);
      if (v == kInside) continue;
      v = kFar;
      if (x > b.x0) {
        const uint8_t a = at(x - 1, y);
        if (a >= 2 && a <= 243) v = static_cast<uint8_t>(a + 1);
      }
      if (y > b.y0) {
        const uint8_t up = at(x, y - 1);
        if (up > 1 && up + 1 < v) v = static_cast<uint8_t>(up + 1);
      }
    }
  }
  for (int32_t y = b.y1; y >= b.y0; --y) {
    for (int32_t x = b.x1; x >= b.x0; --x) {
      uint8_t& v = at(x, y);
      if (v == kInside) continue;
      if (x < b.x1) {
        const uint8_t c = at(x + 1, y);
        if (c > 1 && c + 1 < v) v = static_cast<uint8_t>(c + 1);
      }
      if (y < b.y1) {
        const uint8_t c = at(x, y + 1);
        if (c > 1 && c + 1 < v) v = static_cast<uint8_t>(c + 1);
      }
    }
  }
}

void topological_analysis_2d(uint8_t* state, const uint8_t* display, int32_t width,
                             int32_t height, const bounds2d& bounds, const threshold_band& band,
                             const segment_settings& settings) {
  if (settings.type == 0 || bounds.empty()) return;
  analysis(state, display, width, height, bounds, band, settings.concavity).run();
  for (int32_t y = bounds.y0; y <= bounds.y1; ++y) {
    uint8_t* row = state + static_cast<size_t>(y) * width;
    for (int32_t x = bounds.x0; x <= bounds.x1; ++x) {
      const uint8_t v = row[x];
      if (settings.type == 2)
        row[x] = v < 246 ? kInside : kOutside;
      else
        row[x] = v == kInside || v > kFar ? kOutside : kInside;
    }
  }
}

}  // namespace grassfire
