// The segmented volume's extent and its separation into labelled pieces.
#include "segmentation/grassfire_volume.h"

#include <wx/log.h>

#include <algorithm>
#include <new>
#include <vector>

namespace grassfire {

namespace {

// One connected piece: the voxel it is refilled from, its slice span and size.
struct piece_record {
  voxel16 start;
  int32_t first_slice, last_slice;
  int64_t size;
};

bounds3d clip(const bounds3d& b, const volume_size& size) {
  bounds3d c = b;
  c.x0 = std::max(c.x0, 0);
  c.y0 = std::max(c.y0, 0);
  c.z0 = std::max(c.z0, 0);
  c.x1 = std::min(c.x1, size.width - 1);
  c.y1 = std::min(c.y1, size.height - 1);
  c.z1 = std::min(c.z1, size.depth - 1);
  return c;
}

class separation {
 public:
  separation(uint8_t* state, const volume_size& size, const bounds3d& b, bool diagonals)
      : s_(state), size_(size), b_(b), diagonals_(diagonals) {}

  // Breadth-first fill over voxels holding from, writing to; calls visit for
  // every voxel reached, the start included.
  template <class F>
  void fill(const voxel16& start, uint8_t from, uint8_t to, F visit) {
    at(start) = to;
    layer_.assign(1, start);
    while (!layer_.empty()) {
      next_.clear();
      for (const voxel16& p : layer_) {
        visit(p);
        for (int k = 0; k < (diagonals_ ? 10 : 6); ++k) {
          const int32_t x = p.x + kOffsets[k][0], y = p.y + kOffsets[k][1],
                        z = p.z + kOffsets[k][2];
          if (!b_.contains(x, y, z) || s_[size_.index(x, y, z)] != from) continue;
          s_[size_.index(x, y, z)] = to;
          next_.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<int16_t>(z)});
        }
      }
      layer_.swap(next_);
    }
  }
  uint8_t& at(const voxel16& p) { return s_[size_.index(p.x, p.y, p.z)]; }

 private:
  // Faces, then the four diagonals within the slice.
  static constexpr int kOffsets[10][3] = {{-1, 0, 0}, {1, 0, 0},  {0, -1, 0}, {0, 1, 0},
                                          {0, 0, -1}, {0, 0, 1},  {-1, -1, 0}, {1, -1, 0},
                                          {-1, 1, 0}, {1, 1, 0}};
  uint8_t* s_;
  volume_size size_;
  bounds3d b_;
  bool diagonals_;
  std::vector<voxel16> layer_, next_;
};

constexpr int separation::kOffsets[10][3];

}  // namespace

bounds3d find_object_extent(uint8_t* state, const volume_size& size) {
  bounds3d b{size.width, -1, size.height, -1, size.depth, -1};
  if (!state) return bounds3d();
  for (int32_t z = 0; z < size.depth; ++z)
    for (int32_t y = 0; y < size.height; ++y) {
      uint8_t* row = state + size.index(0, y, z);
      int32_t first = -1, last = -1;
      for (int32_t x = 0; x < size.width; ++x) {
        uint8_t v = row[x];
        if (v > 7) v &= 7;      // path marks
        if (v == kWall) v = 0;  // valley-path voxels part touching objects
        row[x] = v;
        if (v == 0) continue;
        if (first < 0) first = x;
        last = x;
      }
      if (first < 0) continue;
      b.x0 = std::min(b.x0, first);
      b.x1 = std::max(b.x1, last);
      b.y0 = std::min(b.y0, y);
      b.y1 = std::max(b.y1, y);
      b.z0 = std::min(b.z0, z);
      b.z1 = std::max(b.z1, z);
    }
  // Nothing left: empty bounds, whatever the volume's size.
  if (b.x1 < 0) return bounds3d();
  b.x0 -= 2;
  b.y0 -= 2;
  b.z0 -= 2;
  b.x1 += 2;
  b.y1 += 2;
  b.z1 += 2;
  return clip(b, size);
}

bool label_separate_objects(int16_t seed_x, int16_t seed_y, int16_t seed_z, int32_t& max_objects,
                            uint8_t* state, const volume_size& size, const bounds3d& bounds,
                            const segment_settings& settings, int32_t gap,
                            volume_progress& progress) {
  // Without valley cuts a connected growth is one piece already.
  if (settings.connected && (!settings.valleys || gap < 1)) return true;
  if (!progress.pulse("Label separate objects: find objects and sizes")) return false;
  if (!state) return true;
  const bounds3d b = clip(bounds, size);
  const voxel16 seed{seed_x, seed_y, seed_z};
  try {
    separation sep(state, size, b, settings.ridges || settings.valleys);
    std::vector<piece_record> pieces;
    piece_record seed_piece{};
    bool seed_found = false;
    for (int32_t z = b.z0; z <= b.z1; ++z)
      for (int32_t y = b.y0; y <= b.y1; ++y)
        for (int32_t x = b.x0; x <= b.x1; ++x) {
          if (state[size.index(x, y, z)] != kInside) continue;
          const voxel16 start{static_cast<int16_t>(x), static_cast<int16_t>(y),
                              static_cast<int16_t>(z)};
          piece_record p{start, z, z, 0};
          bool holds_seed = false;
          sep.fill(start, kInside, kQueued, [&](const voxel16& v) {
            ++p.size;
            p.first_slice = std::min<int32_t>(p.first_slice, v.z);
            p.last_slice = std::max<int32_t>(p.last_slice, v.z);
            holds_seed = holds_seed || v == seed;
          });
          if (holds_seed) {
            p.start = seed;
            seed_piece = p;
            seed_found = true;
          } else {
            pieces.push_back(p);
          }
        }

    const int32_t m = std::min(std::max(max_objects, 1), 254);
    auto larger = [](const piece_record& a, const piece_record& c) { return a.size > c.size; };
    if (pieces.size() > static_cast<size_t>(m))
      std::partial_sort(pieces.begin(), pieces.begin() + m, pieces.end(), larger);
    else
      std::sort(pieces.begin(), pieces.end(), larger);

    if (!progress.pulse("Label separate objects: apply labels")) return false;
    // On a single slice every piece lies within one slice; keep them there.
    const bool keep_flat = size.depth == 1;
    int32_t j = -1;
    auto apply = [&](const piece_record& p) {
      uint8_t label = 0;
      if (keep_flat || p.first_slice != p.last_slice) {
        if (j != m - 1) ++j;
        label = static_cast<uint8_t>(j + 2);
      }
      sep.fill(p.start, kQueued, label, [](const voxel16&) {});
    };
    if (seed_found) apply(seed_piece);
    for (const piece_record& p : pieces) apply(p);
    max_objects = j + 1;
    return true;
  } catch (const std::bad_alloc&) {
    wxLogWarning("Not enough memory to separate the segmented objects.");
    return false;
  }
}

}  // namespace grassfire
