// The object's extent after the growth, and the separation of segmented
// voxels into labelled pieces, against scipy.ndimage.label with the same
// neighbourhood (volume_oracle.py) and against labels known by construction.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "volume_test_support.h"

namespace {

using grassfire::bounds3d;
using grassfire::segment_settings;
using grassfire::volume_size;

segment_settings separation(bool connected, bool ridges, bool valleys) {
  segment_settings s;
  s.connected = connected;
  s.ridges = ridges;
  s.valleys = valleys;
  return s;
}

struct labelled {
  std::vector<uint8_t> state;
  int32_t count;
  bool finished;
};

labelled separate(const volume_phantom& p, int16_t sx, int16_t sy, int16_t sz, int32_t m,
                  const segment_settings& s, int32_t gap = 25,
                  grassfire::volume_progress* progress = nullptr) {
  labelled out{p.state, m, false};
  const bounds3d b = grassfire::find_object_extent(out.state.data(), p.size);
  grassfire::null_volume_progress none;
  out.finished = grassfire::label_separate_objects(sx, sy, sz, out.count, out.state.data(),
                                                   p.size, b, s, gap, progress ? *progress : none);
  return out;
}

TEST(ObjectExtent, StripsMarksDropsValleysAndWidensTheBox) {
  struct mark {
    int32_t x, y, z;
    uint8_t before, after;
  };
  struct extent_case {
    const char* name;
    volume_size size;
    std::vector<mark> marks;
    bounds3d expected;  // empty when nothing remains
  } cases[] = {
      {"only valley voxels", {20, 20, 20}, {{5, 5, 5, 0x84, 0}, {9, 3, 12, 0x94, 0}, {1, 1, 1, 4, 0}},
       {}},
      {"nothing in a tiny volume", {3, 3, 3}, {{1, 1, 1, 0x18, 0}}, {}},
      {"marks stripped",
       {30, 20, 10},
       {{10, 8, 4, 0x42, 2}, {12, 9, 5, 0x29, 1}, {14, 10, 6, 0x10, 0}, {11, 11, 4, 2, 2},
        {20, 5, 5, 0x08, 0}, {25, 15, 5, 0xA4, 0}},
       {8, 14, 6, 13, 2, 7}},
      {"clamped to the volume",
       {30, 20, 10},
       {{0, 1, 9, 0x42, 2}, {29, 19, 0, 1, 1}},
       {0, 29, 0, 19, 0, 9}},
  };
  for (const extent_case& c : cases) {
    std::vector<uint8_t> state(c.size.voxels(), 0);
    for (const mark& m : c.marks) state[c.size.index(m.x, m.y, m.z)] = m.before;
    const bounds3d b = grassfire::find_object_extent(state.data(), c.size);
    for (const mark& m : c.marks)
      EXPECT_EQ(state[c.size.index(m.x, m.y, m.z)], m.after) << c.name;
    if (c.expected.empty()) {
      EXPECT_TRUE(b.empty()) << c.name;
      continue;
    }
    EXPECT_EQ(std::vector<int32_t>({b.x0, b.x1, b.y0, b.y1, b.z0, b.z1}),
              std::vector<int32_t>({c.expected.x0, c.expected.x1, c.expected.y0, c.expected.y1,
                                    c.expected.z0, c.expected.z1}))
        << c.name;
  }
}

TEST(ObjectExtent, EmptyBoundsLeaveTheLaterStepsNothingToVisit) {
  volume_phantom p(24, 24, 24);
  p.state[p.size.index(10, 10, 10)] = 0x84;
  p.state[p.size.index(11, 10, 10)] = 0x84;
  std::vector<uint8_t> s = p.state;
  const bounds3d b = grassfire::find_object_extent(s.data(), p.size);
  ASSERT_TRUE(b.empty());
  const std::vector<uint8_t> cleared = s;
  EXPECT_EQ(count_value(cleared, 0), cleared.size());
  const std::vector<const uint8_t*> frames = p.frames();
  grassfire::null_volume_progress none;
  for (int32_t type : {1, 2}) {
    segment_settings settings;
    settings.type = type;
    EXPECT_TRUE(grassfire::topological_analysis(s.data(), frames.data(), p.size, b,
                                                grey_band(100, 255), settings, none));
    EXPECT_EQ(s, cleared) << "holes: nothing may become region";
  }
  int32_t m = 5;
  EXPECT_TRUE(grassfire::label_separate_objects(10, 10, 10, m, s.data(), p.size, b,
                                                separation(false, true, true), 25, none));
  EXPECT_EQ(m, 0);
  EXPECT_EQ(s, cleared);
}

// Pieces of distinct sizes: a small seed piece, two large ones, a pair that
// touches only along an in-plane diagonal, a large piece within one slice.
volume_phantom pieces() {
  volume_phantom p(64, 48, 24);
  p.box(2, 2, 2, 5, 5, 4, true);        // seed piece, 48
  p.box(10, 2, 2, 25, 15, 10, true);    // 2016
  p.box(30, 2, 2, 40, 12, 8, true);     // 847
  p.box(45, 2, 2, 50, 7, 6, true);      // 180
  p.box(51, 8, 2, 55, 12, 5, true);     // 100, diagonal to the one above
  p.box(2, 30, 15, 40, 45, 15, true);   // 624, one slice
  p.box(45, 30, 15, 60, 40, 20, true);  // 1056
  return p;
}

TEST(SeparateObjects, PiecesMatchScipyLabelWithTheSameNeighbourhood) {
  const volume_phantom p = pieces();
  seg_scratch dir;
  ASSERT_TRUE(run_volume_oracle(dir, {{"faces", "faces", &p, {}}, {"planar", "planar", &p, {}}}));
  struct neighbourhood {
    const char* mode;
    segment_settings settings;
    size_t multi_slice_pieces;
  } modes[] = {{"faces", separation(false, false, false), 6},
               {"planar", separation(true, true, true), 5}};
  for (const neighbourhood& n : modes) {
    const std::vector<int32_t> ref =
        read_raw<int32_t>(dir.path(std::string(n.mode) + ".out.raw"), p.state.size());
    ASSERT_FALSE(ref.empty());
    const labelled l = separate(p, 3, 3, 3, 254, n.settings);
    ASSERT_TRUE(l.finished);
    // Per reference piece: its size, slice span and the labels it received.
    struct piece {
      size_t size = 0;
      int32_t z0 = 1 << 30, z1 = -1;
      std::set<uint8_t> labels;
    };
    std::map<int32_t, piece> found;
    for (int32_t z = 0; z < p.size.depth; ++z)
      for (int32_t y = 0; y < p.size.height; ++y)
        for (int32_t x = 0; x < p.size.width; ++x) {
          const size_t i = p.size.index(x, y, z);
          if (ref[i] == 0) {
            ASSERT_EQ(l.state[i], 0);
            continue;
          }
          piece& c = found[ref[i]];
          ++c.size;
          c.z0 = std::min(c.z0, z);
          c.z1 = std::max(c.z1, z);
          c.labels.insert(l.state[i]);
        }
    const int32_t seed_piece = ref[p.size.index(3, 3, 3)];
    std::vector<std::pair<size_t, uint8_t>> others;  // size, label
    std::set<uint8_t> used;
    for (const auto& [id, c] : found) {
      ASSERT_EQ(c.labels.size(), 1u) << n.mode << ": one label per piece";
      const uint8_t label = *c.labels.begin();
      if (c.z0 == c.z1) {
        EXPECT_EQ(label, 0) << n.mode << ": a piece within one slice is erased";
        continue;
      }
      EXPECT_TRUE(used.insert(label).second) << n.mode << ": labels are distinct";
      if (id == seed_piece) {
        EXPECT_EQ(label, 2) << n.mode << ": the seed's piece first, though small";
      } else {
        others.push_back({c.size, label});
      }
    }
    std::sort(others.rbegin(), others.rend());
    for (size_t k = 0; k < others.size(); ++k)
      EXPECT_EQ(others[k].second, k + 3) << n.mode << ": by decreasing size";
    EXPECT_EQ(used.size(), n.multi_slice_pieces) << n.mode;
    EXPECT_EQ(l.count, static_cast<int32_t>(n.multi_slice_pieces)) << n.mode;
  }
}

// Four pieces over four slices, of 1000, 500, 200 and 64 voxels, and a
// larger one within one slice.
volume_phantom four_pieces() {
  volume_phantom p(60, 40, 20);
  p.box(1, 1, 0, 25, 10, 3, true);
  p.box(30, 1, 0, 54, 5, 3, true);
  p.box(1, 20, 0, 10, 24, 3, true);
  p.box(30, 20, 0, 33, 23, 3, true);
  p.box(40, 30, 10, 58, 38, 10, true);
  return p;
}

TEST(SeparateObjects, LabelsFollowSeedSizeAndTheLimit) {
  const volume_phantom p = four_pieces();
  // Probe voxels of the pieces: largest, second, third, smallest, flat.
  const int32_t probe[5][3] = {{5, 5, 1}, {40, 3, 1}, {5, 22, 1}, {31, 21, 1}, {50, 34, 10}};
  struct label_case {
    const char* name;
    int16_t seed[3];
    int32_t m;
    uint8_t labels[5];
    int32_t count;
  } cases[] = {
      {"limit 2: the rest share the last label", {31, 21, 1}, 2, {3, 3, 3, 2, 0}, 2},
      {"limit 1: one label for all", {31, 21, 1}, 1, {2, 2, 2, 2, 0}, 1},
      {"seed off the object: the largest first", {58, 1, 1}, 254, {2, 3, 4, 5, 0}, 4},
      {"seed in a flat piece: erased", {50, 34, 10}, 254, {2, 3, 4, 5, 0}, 4},
      {"seed in the third", {5, 22, 1}, 3, {3, 4, 2, 4, 0}, 3},
  };
  for (const label_case& c : cases) {
    const labelled l =
        separate(p, c.seed[0], c.seed[1], c.seed[2], c.m, separation(false, true, true));
    ASSERT_TRUE(l.finished);
    for (int k = 0; k < 5; ++k)
      EXPECT_EQ(l.state[p.size.index(probe[k][0], probe[k][1], probe[k][2])], c.labels[k])
          << c.name << " piece " << k;
    EXPECT_EQ(l.count, c.count) << c.name;
    // Whole pieces carry their probe's label: voxel counts per label.
    const size_t sizes[5] = {1000, 500, 200, 64, 171};
    std::map<uint8_t, size_t> expected{{0, p.state.size() - 1935}};
    for (int k = 0; k < 5; ++k) expected[c.labels[k]] += sizes[k];
    for (const auto& [label, n] : expected)
      EXPECT_EQ(count_value(l.state, label), n) << c.name << " label " << int(label);
  }
}

TEST(SeparateObjects, SingleSliceStackKeepsItsPieces) {
  volume_phantom p(60, 40, 1);
  p.box(1, 1, 0, 25, 20, 0, true);    // 500
  p.box(30, 1, 0, 54, 8, 0, true);    // 200
  p.box(1, 30, 0, 5, 35, 0, true);    // 30, the seed's
  const labelled l = separate(p, 2, 31, 0, 254, separation(false, true, true));
  ASSERT_TRUE(l.finished);
  EXPECT_EQ(l.state[p.size.index(2, 31, 0)], 2);
  EXPECT_EQ(l.state[p.size.index(10, 10, 0)], 3);
  EXPECT_EQ(l.state[p.size.index(40, 5, 0)], 4);
  EXPECT_EQ(count_value(l.state, 2), 30u);
  EXPECT_EQ(count_value(l.state, 3), 500u);
  EXPECT_EQ(count_value(l.state, 4), 200u);
  EXPECT_EQ(l.count, 3);
}

TEST(SeparateObjects, ConnectedGrowthWithoutValleyCutsIsLeftAlone) {
  const volume_phantom p = four_pieces();
  struct skip_case {
    segment_settings s;
    int32_t gap;
  } cases[] = {{separation(true, true, false), 25}, {separation(true, false, true), 0}};
  for (const skip_case& c : cases) {
    scripted_volume_progress progress;
    const labelled l = separate(p, 5, 5, 1, 7, c.s, c.gap, &progress);
    EXPECT_TRUE(l.finished);
    EXPECT_EQ(l.state, p.state);
    EXPECT_EQ(l.count, 7);
    EXPECT_TRUE(progress.messages.empty());
  }
}

TEST(SeparateObjects, CancelAtEachPulse) {
  const volume_phantom p = four_pieces();
  scripted_volume_progress first;
  first.cancel_at = 1;
  const labelled a = separate(p, 5, 5, 1, 7, separation(false, true, true), 25, &first);
  EXPECT_FALSE(a.finished);
  EXPECT_EQ(first.messages,
            std::vector<std::string>{"Label separate objects: find objects and sizes"});
  EXPECT_EQ(a.state, p.state);
  EXPECT_EQ(a.count, 7);

  scripted_volume_progress second;
  second.cancel_at = 2;
  const labelled b = separate(p, 5, 5, 1, 7, separation(false, true, true), 25, &second);
  EXPECT_FALSE(b.finished);
  EXPECT_EQ(second.messages.back(), "Label separate objects: apply labels");
  EXPECT_EQ(b.count, 7);
  for (size_t i = 0; i < p.state.size(); ++i)
    ASSERT_EQ(b.state[i], p.state[i] == 2 ? 1 : 0);
}

}  // namespace
