// Gap joining of the 3D growth: straight across short cracks, or along
// bright sheets and lines that bridge a gap (ridge paths) and dark creases
// that cut touching objects apart (valley paths), with the voxel line
// strength both path kinds are traced by.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "segmentation/grassfire_volume.h"

namespace grassfire {

namespace {

constexpr int32_t kRefused3 = -8192;
constexpr int32_t kSettledEnd = 8192;
constexpr int32_t kOnPath = 4096;
constexpr int32_t kNoStructureIn = -4095;
constexpr int32_t kNoStructureOut = -8191;

constexpr uint8_t kRidgeVoxel = 0x02;
constexpr uint8_t kValleyVoxel = 0x04;
constexpr uint8_t kNotRidge = 0x08;
constexpr uint8_t kNotValley = 0x10;
constexpr uint8_t kPathEnd = 0x20;

// Neighbours of each entry of neighbours_3d one step off in exactly one
// coordinate (-1 ends a list).
const int8_t kConnect4[26][5] = {
    {1, 7, 8, 9, -1},    {0, 2, 10, -1, -1},  {8, 1, 3, 11, -1},   {4, 2, 12, -1, -1},
    {3, 5, 8, 22, -1},   {4, 6, 23, -1, -1},  {8, 7, 5, 24, -1},   {0, 6, 25, -1, -1},
    {2, 6, 0, 4, -1},    {10, 25, 17, 0, -1}, {9, 11, 18, 1, -1},  {10, 12, 19, 2, -1},
    {22, 11, 20, 3, -1}, {14, 20, 21, 22, -1}, {13, 15, 23, -1, -1}, {21, 14, 16, 24, -1},
    {17, 15, 25, -1, -1}, {16, 18, 21, 9, -1}, {17, 19, 10, -1, -1}, {21, 20, 18, 11, -1},
    {13, 19, 12, -1, -1}, {15, 19, 13, 17, -1}, {23, 12, 4, 13, -1}, {22, 24, 5, 14, -1},
    {23, 25, 6, 15, -1}, {9, 24, 7, 16, -1}};

// Neighbours of each entry one step off in exactly two coordinates.
const int8_t kConnect8[26][8] = {
    {6, 2, 10, 25, -1, -1, -1, -1},  {8, 9, 11, -1, -1, -1, -1, -1},
    {4, 0, 10, 12, -1, -1, -1, -1},  {8, 11, 22, -1, -1, -1, -1, -1},
    {6, 2, 12, 23, -1, -1, -1, -1},  {8, 22, 24, -1, -1, -1, -1, -1},
    {4, 0, 23, 25, -1, -1, -1, -1},  {8, 9, 24, -1, -1, -1, -1, -1},
    {5, 3, 7, 1, 9, 11, 22, 24},     {24, 11, 1, 7, 16, 18, 8, 21},
    {0, 2, 17, 19, -1, -1, -1, -1},  {22, 9, 1, 3, 18, 20, 8, 21},
    {2, 4, 13, 19, -1, -1, -1, -1},  {19, 15, 12, 23, -1, -1, -1, -1},
    {21, 22, 24, -1, -1, -1, -1, -1}, {17, 13, 23, 25, -1, -1, -1, -1},
    {21, 9, 24, -1, -1, -1, -1, -1}, {19, 15, 10, 25, -1, -1, -1, -1},
    {21, 9, 11, -1, -1, -1, -1, -1}, {17, 13, 10, 12, -1, -1, -1, -1},
    {21, 11, 22, -1, -1, -1, -1, -1}, {18, 16, 20, 14, 9, 11, 22, 24},
    {24, 11, 3, 5, 14, 20, 8, 21},   {4, 6, 13, 15, -1, -1, -1, -1},
    {22, 9, 5, 7, 14, 16, 8, 21},    {0, 6, 15, 17, -1, -1, -1, -1}};

struct volume_ref {
  uint8_t* state;
  const uint8_t* const* frames;
  volume_size size;
  const threshold_band& band;

  uint8_t grey(int32_t x, int32_t y, int32_t z) const {
    return frames[z][static_cast<size_t>(y) * size.width + x];
  }
  uint8_t& at(int32_t x, int32_t y, int32_t z) const { return state[size.index(x, y, z)]; }
  bool passes(int32_t x, int32_t y, int32_t z) const {
    return band.is_highlighted(frames[z], x, y, size.width, size.height);
  }
  bool on_border(int32_t x, int32_t y, int32_t z) const {
    return x == 0 || y == 0 || z == 0 || x == size.width - 1 || y == size.height - 1 ||
           z == size.depth - 1;
  }
};

// How many coordinates neighbour k moves: 1 face, 2 edge, 3 corner.
int axes_moved(int k) {
  return (neighbours_3d[k][0] != 0) + (neighbours_3d[k][1] != 0) + (neighbours_3d[k][2] != 0);
}

void push(std::vector<voxel16>& queue, int32_t x, int32_t y, int32_t z) {
  queue.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(z)});
}

// ---- plain mode ---------------------------------------------------------------

// One direction of a line: true when the object lies within reach before an
// excluded value; positions outside the volume are skipped.
bool meets_object(const volume_ref& v, int32_t x, int32_t y, int32_t z, int sx, int sy, int sz,
                  int32_t reach, bool diagonal) {
  for (int32_t j = 1; j <= reach; ++j) {
    const int32_t d = diagonal ? static_cast<int32_t>(j * 0.70710678 + 0.5) : j;
    const int32_t px = x + sx * d, py = y + sy * d, pz = z + sz * d;
    if (!v.size.contains(px, py, pz)) continue;
    if (v.band.excluded(v.grey(px, py, pz))) return false;
    if (v.passes(px, py, pz) || v.at(px, py, pz) != 0) return true;
  }
  return false;
}

void join_plain(const volume_ref& v, int32_t gap, int32_t x, int32_t y, int32_t z,
                std::vector<voxel16>& queue) {
  struct line {
    int sx, sy, sz;
    bool diagonal;
  };
  static const line lines[5] = {
      {0, 1, 0, false}, {1, 0, 0, false}, {0, 0, 1, false}, {1, 1, 0, true}, {1, -1, 0, true}};
  for (const line& l : lines) {
    const int32_t reach = l.sz != 0 ? 1 : gap;
    if (meets_object(v, x, y, z, l.sx, l.sy, l.sz, reach, l.diagonal) &&
        meets_object(v, x, y, z, -l.sx, -l.sy, -l.sz, reach, l.diagonal)) {
      push(queue, x, y, z);
      v.at(x, y, z) = 1;
      return;
    }
  }
}

// ---- path mode ----------------------------------------------------------------

struct path_kind {
  int32_t mode;       // +1 ridge, -1 valley
  bool side;          // the line strength's ridge flag
  double ratio;       // limit of holes per visited voxel
  uint8_t keep_mask;  // state bits kept when a voxel is marked
  uint8_t mark;
  uint8_t rejected;   // set on the ends of a failed path
};

struct saved_voxel {
  voxel16 p;
  uint8_t old;
};

struct stacked_voxel {
  voxel16 p;
  vec3_t direction;
};

class path_tracer {
 public:
  path_tracer(const volume_ref& v, int64_t limit, std::vector<voxel16>& queue)
      : v_(v), limit_(limit), queue_(queue) {}

  void ridge_pass(int32_t x, int32_t y, int32_t z, bool side) {
    kind_ = {+1, side, 0.2, 0xFA, 0x42, kNotRidge};
    vec3_t d;
    const int32_t r = response(x, y, z, vec3_t{}, &d);
    if (r <= 0 || r == kOnPath || r == kSettledEnd) return;
    trace({static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(z)}, d);
  }

  void valley_pass(int32_t x, int32_t y, int32_t z, bool side) {
    kind_ = {-1, !side, 0.1, 0xFC, 0x84, kNotValley};
    vec3_t d;
    const int32_t r = response(x, y, z, vec3_t{}, &d);
    if (r <= 0 || r == kOnPath) return;
    // Every neighbour without direction.
    for (int k = 0; k < 26; ++k)
      resp_[k] = response(x + neighbours_3d[k][0], y + neighbours_3d[k][1],
                          z + neighbours_3d[k][2], vec3_t{}, &dir_[k]);
    // A diagonal step of the crease out of the band leaves two face voxels
    // in the band at its corner: one of them closes the crease.
    for (int k = 0; k < 26; ++k) {
      if (axes_moved(k) != 2 || resp_[k] <= 4096) continue;
      int faces[2], n = 0;
      for (int i = 0; i < 5 && kConnect4[k][i] >= 0 && n < 2; ++i)
        if (axes_moved(kConnect4[k][i]) == 1) faces[n++] = kConnect4[k][i];
      if (n < 2 || resp_[faces[0]] >= -4095 || resp_[faces[1]] >= -4095) continue;
      const voxel16 a = at_offset(x, y, z, faces[0]), b = at_offset(x, y, z, faces[1]);
      const int ga = v_.grey(a.x, a.y, a.z), gb = v_.grey(b.x, b.y, b.z);
      const bool pick_a = ga != gb && ((ga > gb) == kind_.side);
      const voxel16 wall = pick_a ? a : b, other = pick_a ? b : a;
      uint8_t& ws = v_.at(wall.x, wall.y, wall.z);
      if ((ws & 7) == 0) queue_.push_back(wall);
      ws = static_cast<uint8_t>((ws & 0xFC) | 0x84);
      uint8_t& os = v_.at(other.x, other.y, other.z);
      if ((os & 7) == 0) {
        queue_.push_back(other);
        os = static_cast<uint8_t>((os & 0xF9) | 1);
      }
    }
    int best = -1;
    for (int k = 0; k < 26; ++k)
      if (resp_[k] < 4096 && (best < 0 || resp_[k] > resp_[best])) best = k;
    if (best < 0 || resp_[best] < 1) return;
    trace(at_offset(x, y, z, best), dir_[best]);
  }

 private:
  int32_t response(int32_t x, int32_t y, int32_t z, const vec3_t& reference, vec3_t* d) const {
    *d = vec3_t{};
    return line_strength_3d(v_.state, v_.frames, v_.size, v_.band, static_cast<int16_t>(x),
                            static_cast<int16_t>(y), static_cast<int16_t>(z), reference,
                            kind_.mode, kind_.side, d);
  }
  static voxel16 at_offset(int32_t x, int32_t y, int32_t z, int k) {
    return {static_cast<int16_t>(x + neighbours_3d[k][0]),
            static_cast<int16_t>(y + neighbours_3d[k][1]),
            static_cast<int16_t>(z + neighbours_3d[k][2])};
  }
  void mark(const voxel16& p) {
    visited_.push_back({p, v_.at(p.x, p.y, p.z)});
    uint8_t& s = v_.at(p.x, p.y, p.z);
    s = static_cast<uint8_t>((s & kind_.keep_mask) | kind_.mark);
  }

  // Floods the blocked directions reachable from o over kConnect4; true when
  // the opposite of o is reached (the path has a hole there).
  bool flood(int o) {
    for (int k = 0; k < 26; ++k)
      if (class_[k] == -2) class_[k] = -1;
    std::vector<int>& stack = flood_stack_;
    stack.assign(1, o);
    class_[o] = -2;
    while (!stack.empty()) {
      const int k = stack.back();
      stack.pop_back();
      for (int i = 0; i < 5 && kConnect4[k][i] >= 0; ++i) {
        const int j = kConnect4[k][i];
        if (class_[j] == -1) {
          class_[j] = -2;
          stack.push_back(j);
        }
      }
    }
    return class_[(o + 13) % 26] == -2;
  }

  void trace(voxel16 start, const vec3_t& start_direction) {
    visited_.clear();
    ends_.clear();
    std::vector<stacked_voxel> stack;
    mark(start);
    stack.push_back({start, start_direction});
    double dead_ends = 0.0, holes = 0.0;
    size_t spread_visited = 0, spread_ends = 0;
    const bool valley = kind_.mode < 0;
    bool first = true, stopped = false;
    while (!stack.empty()) {
      const stacked_voxel top = stack.back();
      const int32_t x = top.p.x, y = top.p.y, z = top.p.z;
      if (v_.on_border(x, y, z)) {
        stack.pop_back();
        dead_ends += 1;
        first = false;
        continue;
      }
      const double nv = static_cast<double>(visited_.size() - spread_visited);
      const double ne = static_cast<double>(ends_.size() - spread_ends);
      if (nv > static_cast<double>(limit_) || ((nv > 100 || ne > 10) && ne * ne / nv < 1) ||
          (nv > 100 && holes / nv > kind_.ratio) ||
          (nv <= 100 && holes > 100 * kind_.ratio && holes / nv > kind_.ratio) ||
          ((ne > 50 || dead_ends > 20) && dead_ends / ne > 0.4)) {
        stopped = true;
        break;
      }
      // Classify the neighbours.
      int candidates = 0;
      bool far_side = false;
      for (int k = 0; k < 26; ++k) {
        int32_t& r = resp_[k];
        r = response(x + neighbours_3d[k][0], y + neighbours_3d[k][1], z + neighbours_3d[k][2],
                     top.direction, &dir_[k]);
        if (r == kOnPath || r == kSettledEnd) {
          class_[k] = 3;
          ++candidates;
        } else if (r > 0) {
          class_[k] = 1;
          ++candidates;
        } else if (r <= -4095) {
          class_[k] = -1;
        } else if (valley) {
          r = 4097;
          class_[k] = 1;
        } else {
          class_[k] = 3;
        }
        far_side |= r > 4096 && r < 8192;
      }
      if (first && !far_side) {
        stopped = true;
        break;
      }
      first = false;
      if (candidates < 7) {
        stack.pop_back();
        dead_ends += 1;
        continue;
      }
      // The axis most nearly along the structure's direction.
      int o = last_axis_;
      double best = std::fabs(neighbours_3d[0][0] * top.direction.x +
                              neighbours_3d[0][1] * top.direction.y +
                              neighbours_3d[0][2] * top.direction.z) /
                    neighbour_distances_3d[0];
      if (best > 0) o = 0;
      for (int k = 1; k < 13; ++k) {
        const double p = std::fabs(neighbours_3d[k][0] * top.direction.x +
                                   neighbours_3d[k][1] * top.direction.y +
                                   neighbours_3d[k][2] * top.direction.z) /
                         neighbour_distances_3d[k];
        if (p > best) {
          best = p;
          o = k;
        }
      }
      last_axis_ = o;
      bool flooded = false, hole = false;
      if (best > 0 && class_[o] == -1 && class_[o + 13] == -1) {
        flooded = true;
        hole = flood(o);
        if (hole) {
          holes += 1.0 / candidates;
          if (!valley) {
            const int extra = 10 - std::min(candidates, 10);
            for (int added = 0; added < extra && hole; ++added) {
              int pick = -1;
              for (int k = 0; k < 26; ++k) {
                if (resp_[k] >= 1 || resp_[k] == kRefused3) continue;
                if (pick < 0) {
                  pick = k;
                  continue;
                }
                const int gk = grey_at(x, y, z, k), gp = grey_at(x, y, z, pick);
                if (kind_.side ? gk > gp : gk < gp) pick = k;
              }
              if (pick < 0) break;
              resp_[pick] = resp_[pick] < -4095 ? 1 : 4097;
              class_[pick] = 1;
              dir_[pick] = top.direction;
              hole = flood(o);
            }
          }
        }
        if (hole) {
          stack.pop_back();
          dead_ends += 1;
          continue;
        }
      }
      if (valley && flooded) spread(x, y, z, top.direction);
      stack.pop_back();
      for (int k = 0; k < 26; ++k) {
        if (class_[k] != 1 && class_[k] != 2) continue;
        const voxel16 p = at_offset(x, y, z, k);
        if (resp_[k] > 4096) {
          ends_.push_back(p);
          if (class_[k] == 2) ++spread_ends;
          v_.at(p.x, p.y, p.z) |= kPathEnd;
        } else if (resp_[k] > 0) {
          mark(p);
          if (class_[k] == 1) stack.push_back({p, dir_[k]});
          else ++spread_visited;
        }
      }
    }
    const double nv = static_cast<double>(visited_.size() - spread_visited);
    const double ne = static_cast<double>(ends_.size() - spread_ends);
    const bool ok = !stopped && ne >= 1 && nv >= 1 &&
                    static_cast<int64_t>(visited_.size()) < limit_ && ne * ne / nv >= 1 &&
                    holes / nv <= kind_.ratio && dead_ends / ne <= 0.4;
    if (ok && !valley) {
      for (const voxel16& p : ends_) {
        uint8_t& s = v_.at(p.x, p.y, p.z);
        if ((s & 7) != 0) continue;
        queue_.push_back(p);
        s = static_cast<uint8_t>((s & 0xF9) | 1);
      }
    } else if (ok) {
      for (const saved_voxel& sv : visited_)
        if ((sv.old & 7) == 0) queue_.push_back(sv.p);
    } else {
      for (const voxel16& p : ends_) {
        uint8_t& s = v_.at(p.x, p.y, p.z);
        s = static_cast<uint8_t>((s & ~kPathEnd) | kind_.rejected);
      }
      for (const saved_voxel& sv : visited_) {
        uint8_t& s = v_.at(sv.p.x, sv.p.y, sv.p.z);
        s = static_cast<uint8_t>((s & 0xF8) | sv.old);
      }
    }
  }

  int grey_at(int32_t x, int32_t y, int32_t z, int k) const {
    return v_.grey(x + neighbours_3d[k][0], y + neighbours_3d[k][1], z + neighbours_3d[k][2]);
  }

  // Spreads a valley sideways from the flooded blocked directions so that no
  // diagonal leak stays open across the crease.
  void spread(int32_t x, int32_t y, int32_t z, const vec3_t& direction) {
    for (int k = 0; k < 26; ++k) {
      if (class_[k] != -2) continue;
      for (int i = 0; i < 8 && kConnect8[k][i] >= 0; ++i) {
        const int h = kConnect8[k][i];
        if (class_[h] >= 0) continue;
        int chosen = h;
        if (resp_[h] == kRefused3) {
          chosen = k;
        } else if (resp_[k] != kRefused3) {
          const int gk = grey_at(x, y, z, k), gh = grey_at(x, y, z, h);
          if (kind_.side ? gk > gh : gk < gh) chosen = k;
        }
        if (resp_[chosen] != kRefused3) {
          const int32_t r = resp_[chosen];
          resp_[chosen] = (r >= 1 && r <= 4096) || r < -4095 ? 1 : 4097;
          class_[chosen] = 2;
          dir_[chosen] = direction;
        }
        if (chosen == k) break;
      }
    }
  }

  const volume_ref& v_;
  int64_t limit_;
  std::vector<voxel16>& queue_;
  path_kind kind_{};
  int last_axis_ = 0;
  int32_t resp_[26] = {};
  int class_[26] = {};
  vec3_t dir_[26];
  std::vector<saved_voxel> visited_;
  std::vector<voxel16> ends_;
  std::vector<int> flood_stack_;
};

}  // namespace

int32_t line_strength_3d(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                         const threshold_band& band, int16_t x, int16_t y, int16_t z,
                         const vec3_t& reference, int32_t mode, bool ridge, vec3_t* direction) {
  if (!size.contains(x, y, z)) return kRefused3;
  const volume_ref v{state, frames, size, band};
  if (band.excluded(v.grey(x, y, z))) return kRefused3;
  bool h = v.passes(x, y, z);
  if (mode < 0) h = !h;
  uint8_t& s = v.at(x, y, z);
  if (mode == -1 || mode == 1) {
    const uint8_t on_path = mode == -1 ? kValleyVoxel : kRidgeVoxel;
    const uint8_t not_line = mode == -1 ? kNotValley : kNotRidge;
    if (h) {
      if (s & kPathEnd) return kSettledEnd;
      if (s & not_line) return kNoStructureIn;
    } else {
      if (s & on_path) return kOnPath;
      if (s & not_line) return kNoStructureOut;
    }
  }
  if (v.on_border(x, y, z)) return h ? kNoStructureIn : kNoStructureOut;

  const size_t at = static_cast<size_t>(y) * size.width + x;
  double n[27];
  fetch_neighbourhood_8bit(frames[z - 1] + at, frames[z] + at, frames[z + 1] + at, size.width, n);
  vec3_t lower, upper, g, diagonal, off;
  neighbourhood_gradient(n, lower, upper, g);
  neighbourhood_hessian(n, lower, upper, diagonal, off);
  g = {4 * g.x, 4 * g.y, 4 * g.z};
  diagonal = {4 * diagonal.x, 4 * diagonal.y, 4 * diagonal.z};
  off = {4 * off.x, 4 * off.y, 4 * off.z};
  double lambda[3];
  vec3_t e1, e2, e3;
  eigen_symmetric_3x3(lambda, diagonal, off, e1, e2, e3);
  const double sigma = ridge ? -1.0 : 1.0;
  const double slope = 0.9 * 2 * std::fabs(vec3_dot(g, e1));
  const double m = sigma * lambda[0] - slope;
  if (m <= 0) {
    if (mode == -1) s |= kNotValley;
    if (mode == 1) s |= kNotRidge;
  }
  int64_t result;
  if (m > 0) {
    const bool has_reference = reference.x != 0 || reference.y != 0 || reference.z != 0;
    const double q = std::fabs(vec3_dot(reference, e1));
    if (has_reference && q < 0.906) {
      result = 0;
    } else {
      double limit = 2 * (slope + m);
      if (!h && sigma > 0 && q >= 0.906) {
        const double t = (q - 0.906) / 0.094;
        limit = (slope + m) * (4 * t * t + 2);
      }
      if (2 * std::fabs(vec3_dot(g, e2)) > limit || 2 * std::fabs(vec3_dot(g, e3)) > limit)
        result = 0;
      else
        result = static_cast<int64_t>(std::ceil(m));
    }
  } else {
    result = static_cast<int64_t>(std::ceil(m)) - 1;
  }
  if (direction) *direction = e1;
  result = std::clamp<int64_t>(result, -4095, 4095);
  if (result > 0 && h) result += 4096;
  if (result <= 0 && !h) result -= 4096;
  return static_cast<int32_t>(result);
}

int64_t path_step_limit(int32_t gap) {
  if (gap == 50) return 2000000000;
  return 8 * static_cast<int64_t>(gap) * gap;
}

void join_gaps_3d(uint8_t* state, const uint8_t* const* frames, const volume_size& size,
                  const threshold_band& band, const segment_settings& settings, int32_t gap,
                  int16_t x, int16_t y, int16_t z, std::vector<voxel16>& queue) {
  if (gap < 1 || !size.contains(x, y, z)) return;
  const volume_ref v{state, frames, size, band};
  if (!settings.ridges && !settings.valleys) {
    join_plain(v, gap, x, y, z, queue);
    return;
  }
  if (x < 1 || y < 1 || z < 1 || x > size.width - 2 || y > size.height - 2 || z > size.depth - 2)
    return;
  const bool side =
      nearer_low_threshold(v.grey(x, y, z), band.low_threshold(), band.high_threshold());
  path_tracer tracer(v, path_step_limit(gap), queue);
  if (settings.ridges) tracer.ridge_pass(x, y, z, side);
  if (settings.valleys) tracer.valley_pass(x, y, z, side);
}

}  // namespace grassfire
