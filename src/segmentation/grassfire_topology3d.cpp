// Holes and concavities of a segmented volume. A distance transform gives
// every non-object voxel of the bounds its city-block distance to the object;
// the outside grows in from the bounds' border in levels of decreasing
// radius, within each level's radius only towards the object, so that it
// cannot squeeze through narrow mouths into wide pockets. After each level
// every pocket of inside voxels that touches the outside is measured and
// either filled as a concavity or handed back to the next level.
//
// Codes while the analysis runs: 0 filled pocket (or, with strength 0, not
// yet outside), 1 contact or rim voxel of the pocket being decided, 2 object,
// 3..245 inside (2 + distance, capped), 246..253 outside at distance 1..8,
// 254 outside farther away, 255 a pocket left open at the last level.
#include <wx/log.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <optional>
#include <vector>

#include "data/geometry.h"
#include "segmentation/grassfire_volume.h"

namespace grassfire {

int64_t volume_progress::now_ms() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {

constexpr uint8_t kFar = 245;     // inside, distance 243 or more
constexpr uint8_t kBorder = 254;  // outside, distance 9 or more
constexpr uint8_t kOpened = 255;  // outside, a pocket left open at the last level
constexpr uint8_t kMark = 1;      // contact or rim voxel of the pocket being decided
constexpr double kPi = 3.14159265358979323846;

struct saved_voxel {
  voxel16 p;
  uint8_t value;
};

// Neighbour order of every growth and test: x-1, x+1, y-1, y+1, z-1, z+1.
constexpr int kDx[6] = {-1, 1, 0, 0, 0, 0};
constexpr int kDy[6] = {0, 0, -1, 1, 0, 0};
constexpr int kDz[6] = {0, 0, 0, 0, -1, 1};

bool is_inside(uint8_t v) { return v >= 3 && v <= kFar; }
bool is_outside(uint8_t v) { return v > kFar; }
// The code an inside voxel of value v takes when it joins the outside.
uint8_t outside_code(uint8_t v) { return v <= 11 ? static_cast<uint8_t>(v - 13) : kBorder; }
// The inside value of an outside voxel of code c.
uint8_t inside_value(uint8_t c) { return static_cast<uint8_t>(c + 13); }

// Progress pulses at most every 100 ms; once cancelled, every later pulse
// fails. The message is made only when a pulse is due.
class pulser {
 public:
  explicit pulser(volume_progress& p) : p_(p), last_(p.now_ms()) {}
  template <class Message>
  bool tick(Message message) {
    if (cancelled_) return false;
    const int64_t now = p_.now_ms();
    if (now - last_ <= 100) return true;
    return pulse(message());
  }
  bool pulse(const wxString& message) {
    if (cancelled_) return false;
    cancelled_ = !p_.pulse(message);
    last_ = p_.now_ms();
    return !cancelled_;
  }

 private:
  volume_progress& p_;
  int64_t last_;
  bool cancelled_ = false;
};

// Plane through a point set: centroid, normal (the scatter's smallest axis)
// and width (the root of the middle eigenvalue of the unnormalised scatter).
struct plane_fit {
  vec3_t centroid{0, 0, 0};
  vec3_t normal{0, 0, 1};
  double width = 1.0;

  template <class It, class Pos>
  plane_fit(It first, It last, Pos pos) {
    double n = 0.0;
    for (It i = first; i != last; ++i) {
      const voxel16 p = pos(*i);
      centroid.x += p.x;
      centroid.y += p.y;
      centroid.z += p.z;
      n += 1.0;
    }
    centroid.x /= n;
    centroid.y /= n;
    centroid.z /= n;
    vec3_t d{0, 0, 0}, o{0, 0, 0};  // xx, yy, zz and xy, yz, xz
    for (It i = first; i != last; ++i) {
      const voxel16 p = pos(*i);
      const double dx = p.x - centroid.x, dy = p.y - centroid.y, dz = p.z - centroid.z;
      d.x += dx * dx;
      d.y += dy * dy;
      d.z += dz * dz;
      o.x += dx * dy;
      o.y += dy * dz;
      o.z += dx * dz;
    }
    double lambda[3];
    vec3_t e1, e2;
    eigen_symmetric_3x3(lambda, d, o, e1, e2, normal);
    const double middle = lambda[1] == 0.0 ? 1e-10 : lambda[1];
    width = std::sqrt(std::fabs(middle));
  }
  double project(const voxel16& p) const {
    return p.x * normal.x + p.y * normal.y + p.z * normal.z;
  }
  // |mean projection of the points - projection of the centroid| / width.
  template <class It, class Pos>
  double depth_ratio(It first, It last, Pos pos) const {
    double sum = 0.0, n = 0.0;
    for (It i = first; i != last; ++i) {
      sum += project(pos(*i));
      n += 1.0;
    }
    const double c = centroid.x * normal.x + centroid.y * normal.y + centroid.z * normal.z;
    return std::fabs(sum / n - c) / width;
  }
};

class analysis {
 public:
  analysis(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
           const bounds3d& b, const threshold_band& band, int32_t strength,
           volume_progress& progress)
      : s_(state), frames_(frames), size_(size), b_(b), band_(band), strength_(strength),
        pulse_(progress) {
    total_ = static_cast<double>(size.voxels());
    depth_limit_ = strength < 50 ? std::pow(10.0, (50.0 - strength) / 150.0) - 0.8 : 0.2;
    mouth_factor_ = strength < 25 ? 50.0 : std::pow(10.0, (100.0 - strength) / 45.0) + 1.0;
  }

  // False when cancelled.
  bool run();
  bool relabel(int32_t type);
  bool distance_transform();

 private:
  uint8_t& at(int32_t x, int32_t y, int32_t z) { return s_[size_.index(x, y, z)]; }
  uint8_t& at(const voxel16& p) { return at(p.x, p.y, p.z); }
  bool in_bounds(int32_t x, int32_t y, int32_t z) const { return b_.contains(x, y, z); }
  bool highlighted(const voxel16& p) const {
    return band_.is_highlighted(frames_[p.z], p.x, p.y, size_.width, size_.height);
  }
  uint8_t grey(const voxel16& p) const {
    return frames_[p.z][static_cast<size_t>(p.y) * size_.width + p.x];
  }
  // Calls f(neighbour, q) for the six neighbours inside the bounds; returns
  // how many lie outside them. p is a copy: f may grow the list it sits in.
  template <class F>
  int each_neighbour(voxel16 p, F f) {
    int off = 0;
    for (int k = 0; k < 6; ++k) {
      const int32_t x = p.x + kDx[k], y = p.y + kDy[k], z = p.z + kDz[k];
      if (!in_bounds(x, y, z)) {
        ++off;
        continue;
      }
      f(voxel16{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(z)},
        at(x, y, z));
    }
    return off;
  }
  bool any_neighbour(const voxel16& p, bool (*test)(uint8_t)) {
    bool hit = false;
    each_neighbour(p, [&](const voxel16&, uint8_t q) { hit = hit || test(q); });
    return hit;
  }

  bool initial_outside();
  bool grow_outside(int r);
  void grow_from(std::vector<voxel16>& layer, int r);
  bool scan_pockets(int r, int next_r);
  void pocket(const voxel16& start, int r, int next_r);
  void second_stage(int r, size_t first_contact, int64_t edge, int64_t mouth, double volume,
                    bool shallow, double ratio, const plane_fit* contact_plane);
  void restore_pocket(int r);
  void restore_rim(int r);
  wxString level_message(const char* what, int r, int64_t count) const {
    return wxString::Format("3D topological analysis (%i): %.02f %% voxels %s", r,
                            100.0 * static_cast<double>(count) / total_, what);
  }

  uint8_t* s_;
  const uint8_t* const* frames_;
  volume_size size_;
  bounds3d b_;
  const threshold_band& band_;
  int32_t strength_;
  pulser pulse_;
  double total_;
  double depth_limit_, mouth_factor_;
  int64_t concave_ = 0;  // voxels in concavities at this level
  std::vector<saved_voxel> pocket_, contacts_, rim_;
  std::vector<voxel16> layer_, next_, cut_, region_;
  std::vector<uint8_t> region_values_;
  std::vector<size_t> members_;
};

bool analysis::distance_transform() {
  for (int32_t z = b_.z0; z <= b_.z1; ++z) {
    if (!pulse_.tick([] { return "3D topological analysis: forward distance transform"; }))
      return false;
    for (int32_t y = b_.y0; y <= b_.y1; ++y)
      for (int32_t x = b_.x0; x <= b_.x1; ++x) {
        uint8_t& v = at(x, y, z);
        if (v == kInside) continue;
        int m = kFar;
        if (x > b_.x0 && at(x - 1, y, z) > 1) m = std::min<int>(m, at(x - 1, y, z) + 1);
        if (y > b_.y0 && at(x, y - 1, z) > 1) m = std::min<int>(m, at(x, y - 1, z) + 1);
        if (z > b_.z0 && at(x, y, z - 1) > 1) m = std::min<int>(m, at(x, y, z - 1) + 1);
        v = static_cast<uint8_t>(m);
      }
  }
  for (int32_t z = b_.z1; z >= b_.z0; --z) {
    if (!pulse_.tick([] { return "3D topological analysis: reverse distance transform"; }))
      return false;
    for (int32_t y = b_.y1; y >= b_.y0; --y)
      for (int32_t x = b_.x1; x >= b_.x0; --x) {
        uint8_t& v = at(x, y, z);
        if (v == kInside) continue;
        int m = v;
        if (x < b_.x1 && at(x + 1, y, z) > 1) m = std::min<int>(m, at(x + 1, y, z) + 1);
        if (y < b_.y1 && at(x, y + 1, z) > 1) m = std::min<int>(m, at(x, y + 1, z) + 1);
        if (z < b_.z1 && at(x, y, z + 1) > 1) m = std::min<int>(m, at(x, y, z + 1) + 1);
        v = static_cast<uint8_t>(m);
      }
  }
  return true;
}

bool analysis::initial_outside() {
  for (int32_t z = b_.z0; z <= b_.z1; ++z) {
    if (!pulse_.tick([] { return "3D topological analysis: initial outside region"; }))
      return false;
    // Without distances, and in the end slices always, rays run up to the
    // object itself; elsewhere they stop within distance 8 of it.
    const bool to_object = strength_ == 0 || z == b_.z0 || z == b_.z1;
    for (int32_t y = b_.y0; y <= b_.y1; ++y)
      for (int32_t x = b_.x0; x <= b_.x1; ++x) {
        uint8_t& v = at(x, y, z);
        if (strength_ == 0 && v != kInside) v = 0;  // queued voxels count as non-object
        if ((y == b_.y0 || y == b_.y1 || x == b_.x0 || x == b_.x1) && v != kInside) v = kBorder;
      }
    auto walk = [&](int32_t x, int32_t y) {
      uint8_t& v = at(x, y, z);
      if (to_object ? v == kInside : v < 11) return false;
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
  return true;
}

// One breadth-first layer of the outside growth: from an outside voxel at
// distance d, a neighbour joins when it is inside and, within the level's
// radius, nearer the object.
void analysis::grow_from(std::vector<voxel16>& layer, int r) {
  next_.clear();
  for (const voxel16& p : layer) {
    const int d = at(p) - 245;
    each_neighbour(p, [&](const voxel16& n, uint8_t q) {
      bool joins;
      if (strength_ == 0)
        joins = q == 0;
      else
        joins = is_inside(q) && (d > r || q < d + 2);
      if (!joins) return;
      at(n) = strength_ == 0 ? kBorder : outside_code(q);
      next_.push_back(n);
    });
  }
  layer.swap(next_);
}

bool analysis::grow_outside(int r) {
  const uint8_t start_mark = static_cast<uint8_t>(r + 246);
  int64_t joined = 0;
  for (int32_t z = b_.z0; z <= b_.z1; ++z)
    for (int32_t y = b_.y0; y <= b_.y1; ++y)
      for (int32_t x = b_.x0; x <= b_.x1; ++x) {
        const uint8_t v = at(x, y, z);
        if (strength_ == 0 ? v != 0 : !is_inside(v)) continue;
        const voxel16 p{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(z)};
        bool touches = false;
        each_neighbour(p, [&](const voxel16&, uint8_t q) { touches = touches || q == start_mark; });
        if (!touches) continue;
        at(p) = strength_ == 0 ? kBorder : outside_code(v);
        ++joined;
        layer_.assign(1, p);
        while (!layer_.empty()) {
          if (!pulse_.tick([&] { return level_message("just outside", r, joined); }))
            return false;
          grow_from(layer_, r);
          joined += static_cast<int64_t>(layer_.size());
        }
      }
  return true;
}

void analysis::restore_pocket(int r) {
  for (const saved_voxel& v : pocket_) at(v.p) = r == 1 ? kOpened : v.value;
}

void analysis::restore_rim(int r) {
  for (const saved_voxel& v : rim_) at(v.p) = r == 1 ? kOpened : v.value;
  concave_ -= static_cast<int64_t>(rim_.size());
}

void analysis::pocket(const voxel16& start, int r, int next_r) {
  pocket_.clear();
  const size_t first_contact = contacts_.size();
  int64_t edge = 0, mouth = 0, excluded = 0;
  double volume = 0.0;  // depth sum of the pocket voxels that fail the band
  bool deep = false;
  pocket_.push_back({start, at(start)});
  at(start) = 0;
  for (size_t i = 0; i < pocket_.size(); ++i) {
    const saved_voxel sv = pocket_[i];
    if (!highlighted(sv.p)) {
      const int d = sv.value - 2;
      volume += d;
      deep = deep || d > r + 1;
    }
    edge += each_neighbour(sv.p, [&](const voxel16& n, uint8_t q) {
      if (is_inside(q)) {
        pocket_.push_back({n, q});
        at(n) = 0;
      } else if (is_outside(q)) {
        contacts_.push_back({n, q});
        at(n) = kMark;
        mouth += q - 245;
        if (q == 246 && band_.excluded(grey(n))) ++excluded;
      }
    });
  }
  const int64_t contacts = static_cast<int64_t>(contacts_.size() - first_contact);

  // A mouth of excluded values right at the object, or too narrow for the
  // next level to enter, leaves the pocket to the next level.
  if (5 * static_cast<int64_t>(r) * excluded > mouth ||
      (r != 1 && contacts < static_cast<int64_t>(next_r) * next_r)) {
    restore_pocket(r);
    return;
  }
  bool shallow = true;
  double ratio = 0.0;
  std::optional<plane_fit> plane;  // of the mouth, for a pocket closed all round
  auto contact_pos = [](const saved_voxel& v) { return v.p; };
  if (pocket_.size() > 10 && contacts > 2 && static_cast<double>(edge) < contacts / 4.0) {
    plane.emplace(contacts_.begin() + static_cast<ptrdiff_t>(first_contact), contacts_.end(),
                  contact_pos);
    ratio = plane->depth_ratio(pocket_.begin(), pocket_.end(), contact_pos);
    shallow = ratio < depth_limit_;
  }
  const double opening = static_cast<double>(edge + mouth);
  const double volume_term = 6.0 * std::sqrt(kPi) * volume;
  if (!deep || std::pow(2.0 * opening, 1.5) > volume_term) {
    if (std::pow(mouth_factor_ * opening, 1.5) > volume_term && shallow)
      restore_pocket(r);
    else
      concave_ += static_cast<int64_t>(pocket_.size());
    return;
  }
  second_stage(r, first_contact, edge, mouth, volume, shallow, ratio, plane ? &*plane : nullptr);
}

// A deep pocket behind a small mouth: its core (beyond the level's radius)
// is opened, and the part near the mouth (the rim) is weighed against the
// cut that separates the core from it.
void analysis::second_stage(int r, size_t first_contact, int64_t edge, int64_t mouth,
                            double volume, bool shallow, double ratio,
                            const plane_fit* contact_plane) {
  const double opening = static_cast<double>(edge + mouth);
  const double root_pi6 = 6.0 * std::sqrt(kPi);
  const bool fill_verdict =
      std::pow(mouth_factor_ * opening / 2.0, 1.5) <= root_pi6 * volume || !shallow;
  concave_ += static_cast<int64_t>(pocket_.size());

  // Core: pocket voxels beyond radius + 1 join the outside and grow it.
  layer_.clear();
  for (const saved_voxel& v : pocket_) {
    if (v.value - 2 > r + 1) {
      at(v.p) = outside_code(v.value);
      layer_.push_back(v.p);
    } else {
      at(v.p) = v.value;
    }
  }
  while (!layer_.empty()) grow_from(layer_, r);

  // Rim: what is still inside next to the mouth. A contact may also touch
  // another pocket; only this pocket's voxels start the rim.
  members_.clear();
  for (const saved_voxel& v : pocket_) members_.push_back(size_.index(v.p.x, v.p.y, v.p.z));
  std::sort(members_.begin(), members_.end());
  rim_.clear();
  double rim_volume = 0.0;
  auto take_rim = [&](const voxel16& n, uint8_t q) {
    if (!is_inside(q)) return;
    rim_.push_back({n, q});
    at(n) = kMark;
  };
  for (size_t i = first_contact; i < contacts_.size(); ++i)
    each_neighbour(contacts_[i].p, [&](const voxel16& n, uint8_t q) {
      if (is_inside(q) &&
          std::binary_search(members_.begin(), members_.end(), size_.index(n.x, n.y, n.z)))
        take_rim(n, q);
    });
  for (size_t i = 0; i < rim_.size(); ++i) {
    const saved_voxel sv = rim_[i];
    if (!highlighted(sv.p)) rim_volume += sv.value - 2;
    each_neighbour(sv.p, take_rim);
  }

  // Cut: each opened region of the core is closed again when it meets the
  // rim more than it meets the remaining inside.
  double cut = 0.0;
  cut_.clear();
  for (const saved_voxel& v : pocket_) {
    if (!is_outside(at(v.p))) continue;
    region_.assign(1, v.p);
    region_values_.assign(1, inside_value(at(v.p)));
    at(v.p) = 0;
    for (size_t i = 0; i < region_.size(); ++i)
      each_neighbour(region_[i], [&](const voxel16& n, uint8_t q) {
        if (!is_outside(q)) return;
        region_.push_back(n);
        region_values_.push_back(inside_value(q));
        at(n) = 0;
      });
    double interface_sum = 0.0, inner_sum = 0.0;
    std::vector<char> kind(region_.size(), 0);  // 1 interface, 2 inner
    for (size_t i = 0; i < region_.size(); ++i) {
      bool marked = false, inside = false;
      each_neighbour(region_[i], [&](const voxel16&, uint8_t q) {
        marked = marked || q == kMark;
        inside = inside || is_inside(q);
      });
      const double d = region_values_[i] - 2;
      if (marked) {
        kind[i] = 1;
        interface_sum += d;
      } else if (inside) {
        kind[i] = 2;
        inner_sum += d;
      }
    }
    if (interface_sum > inner_sum) {
      for (size_t i = 0; i < region_.size(); ++i) {
        rim_.push_back({region_[i], region_values_[i]});
        rim_volume += region_values_[i] - 2;
        if (!fill_verdict) {
          at(region_[i]) = kMark;
          if (kind[i] == 2) cut_.push_back(region_[i]);
        }
      }
      cut += inner_sum;
    } else {
      cut += interface_sum;
      if (!fill_verdict)
        for (size_t i = 0; i < region_.size(); ++i)
          if (kind[i] == 1) cut_.push_back(region_[i]);
    }
  }

  auto fill = [&] {
    for (const saved_voxel& v : pocket_) at(v.p) = 0;
  };
  auto rim_pos = [](const saved_voxel& v) { return v.p; };
  if (!fill_verdict) {
    double cut_ratio = 0.0;
    if (cut_.size() > 2 && edge < mouth) {
      const plane_fit plane(cut_.begin(), cut_.end(), [](const voxel16& p) { return p; });
      region_.clear();
      for (const saved_voxel& v : pocket_)
        if (at(v.p) != kMark) region_.push_back(v.p);
      if (region_.size() >= 10)
        cut_ratio = plane.depth_ratio(region_.begin(), region_.end(),
                                      [](const voxel16& p) { return p; });
    }
    if (cut_ratio < depth_limit_ &&
        std::pow(mouth_factor_ * cut, 1.5) > root_pi6 * (volume - rim_volume)) {
      restore_pocket(r);
      concave_ -= static_cast<int64_t>(pocket_.size());
    } else {
      fill();
      restore_rim(r);
    }
    return;
  }

  double rim_ratio = ratio;
  if (ratio > 0.0 && contact_plane && rim_.size() > 10)
    rim_ratio = contact_plane->depth_ratio(rim_.begin(), rim_.end(), rim_pos);
  fill();
  if (rim_ratio < depth_limit_ && std::pow(mouth_factor_ * opening, 1.5) > root_pi6 * rim_volume)
    restore_rim(r);
}

bool analysis::scan_pockets(int r, int next_r) {
  concave_ = 0;
  bool going = true;
  for (int32_t z = b_.z0; z <= b_.z1 && going; ++z)
    for (int32_t y = b_.y0; y <= b_.y1 && going; ++y)
      for (int32_t x = b_.x0; x <= b_.x1 && going; ++x) {
        if (!is_inside(at(x, y, z))) continue;
        const voxel16 p{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(z)};
        if (!any_neighbour(p, is_outside)) continue;
        pocket(p, r, next_r);
        going = pulse_.tick([&] { return level_message("in concavities", r, concave_); });
      }
  for (const saved_voxel& c : contacts_) at(c.p) = c.value;
  contacts_.clear();
  return going;
}

bool analysis::run() {
  if (strength_ > 0 && !distance_transform()) return false;
  if (!initial_outside()) return false;
  static const int kRadii[5] = {8, 6, 4, 2, 1};
  for (int i = 0; i < 5; ++i) {
    const int r = kRadii[i];
    if (!grow_outside(r)) return false;
    if (strength_ == 0) break;
    if (!scan_pockets(r, i < 4 ? kRadii[i + 1] : 0)) return false;
  }
  return true;
}

bool analysis::relabel(int32_t type) {
  if (!pulse_.pulse("3D topological analysis: re-labelling voxels")) return false;
  for (int32_t z = b_.z0; z <= b_.z1; ++z)
    for (int32_t y = b_.y0; y <= b_.y1; ++y) {
      uint8_t* row = &at(0, y, z);
      for (int32_t x = b_.x0; x <= b_.x1; ++x) {
        const uint8_t v = row[x];
        if (type == 1)
          row[x] = v == kInside || v > kFar ? kOutside : kInside;
        else
          row[x] = v <= kFar ? kInside : kOutside;
      }
    }
  return true;
}

bounds3d clipped(const bounds3d& b, const volume_size& size) {
  bounds3d c = b;
  c.x0 = std::max(c.x0, 0);
  c.y0 = std::max(c.y0, 0);
  c.z0 = std::max(c.z0, 0);
  c.x1 = std::min(c.x1, size.width - 1);
  c.y1 = std::min(c.y1, size.height - 1);
  c.z1 = std::min(c.z1, size.depth - 1);
  return c;
}

}  // namespace

void distance_transform_3d(uint8_t* state, const volume_size& size, const bounds3d& bounds) {
  const bounds3d b = clipped(bounds, size);
  if (!state || b.empty()) return;
  null_volume_progress none;
  const grey_band band(0, 255);
  analysis(state, nullptr, size, b, band, 50, none).distance_transform();
}

bool topological_analysis(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                          const bounds3d& bounds, const threshold_band& band,
                          const segment_settings& settings, volume_progress& progress) {
  const bounds3d b = clipped(bounds, size);
  if (settings.type == 0 || !state || !frames || b.empty()) return true;
  if (size.width > kMaxSide || size.height > kMaxSide || size.depth > kMaxSide) {
    wxLogWarning("A volume of %i x %i x %i voxels is too large to analyse (at most %i a side).",
                 size.width, size.height, size.depth, kMaxSide);
    return false;
  }
  const int32_t strength = std::min(std::max(settings.concavity, 0), 100);
  try {
    analysis a(state, frames, size, b, band, strength, progress);
    return a.run() && a.relabel(settings.type);
  } catch (const std::bad_alloc&) {
    wxLogWarning("Not enough memory for the topological analysis of the segmented volume.");
    return false;
  }
}

}  // namespace grassfire
