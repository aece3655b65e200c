// Holes and concavities of generated volumes: the distance transform, the
// solid body and the holes against scipy.ndimage (volume_oracle.py), the
// concavity handling's monotony and its open mouths, and cancellation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "volume_test_support.h"

namespace {

using grassfire::bounds3d;
using grassfire::segment_settings;
using grassfire::volume_size;

constexpr uint8_t kMouthGrey = 5;  // excluded in the excluded-mouth cases

segment_settings analysis_settings(int32_t type, int32_t strength) {
  segment_settings s;
  s.type = type;
  s.concavity = strength;
  return s;
}

volume_phantom shell() {
  volume_phantom p(64, 64, 64);
  p.ball(32, 32, 32, 20, true);
  p.ball(32, 32, 32, 14, false);
  return p;
}

volume_phantom cup() {
  volume_phantom p = shell();
  p.box(0, 0, 42, 63, 63, 63, false);  // the top cut off
  return p;
}

volume_phantom torus() {
  volume_phantom p(64, 64, 64);
  for (int32_t z = 0; z < 64; ++z)
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 64; ++x) {
        const double rho = std::hypot(x - 32.0, y - 32.0) - 16.0;
        if (rho * rho + (z - 32.0) * (z - 32.0) <= 25.0) p.set(x, y, z, true);
      }
  return p;
}

volume_phantom two_spheres() {
  volume_phantom p(80, 64, 64);
  p.ball(22, 32, 32, 14, true);
  p.ball(22, 32, 32, 8, false);  // hollow
  p.ball(56, 32, 32, 11, true);  // solid
  return p;
}

// A box with a cavity and a one-voxel channel through its wall; mouth_grey
// is the channel's grey value.
volume_phantom bottle(uint8_t mouth_grey) {
  volume_phantom p(64, 64, 64);
  p.box(12, 12, 12, 51, 51, 51, true);
  p.box(18, 18, 18, 45, 45, 45, false);
  for (int32_t x = 46; x <= 51; ++x) {
    p.set(x, 32, 32, false);
    p.grey[p.size.index(x, 32, 32)] = mouth_grey;
  }
  return p;
}

struct analysed {
  std::vector<uint8_t> state;
  bounds3d bounds;
  bool finished;
};

// Extent, then the analysis with a grey band 100..255 (5 excluded).
analysed analyse(const volume_phantom& p, const segment_settings& s,
                 grassfire::volume_progress* progress = nullptr) {
  analysed a{p.state, {}, false};
  a.bounds = grassfire::find_object_extent(a.state.data(), p.size);
  grey_band band(100, 255);
  band.exclude(0, 10);
  grassfire::null_volume_progress none;
  const std::vector<const uint8_t*> frames = p.frames();
  a.finished = grassfire::topological_analysis(a.state.data(), frames.data(), p.size, a.bounds,
                                               band, s, progress ? *progress : none);
  return a;
}

TEST(TopologicalAnalysis3d, DistanceTransformIsTaxicabDistanceCapped) {
  seg_scratch dir;
  volume_phantom far(40, 40, 600);  // two blobs far apart: the cap between them
  far.box(10, 10, 5, 14, 14, 8, true);
  far.box(20, 25, 590, 22, 27, 592, true);
  const volume_phantom objects[] = {shell(), torus(), far};
  std::vector<volume_case> cases;
  std::vector<std::vector<uint8_t>> results;
  for (size_t i = 0; i < 3; ++i) {
    const volume_phantom& p = objects[i];
    std::vector<uint8_t> s = p.state;
    const bounds3d b = grassfire::find_object_extent(s.data(), p.size);
    grassfire::distance_transform_3d(s.data(), p.size, b);
    results.push_back(s);
    cases.push_back({"d" + std::to_string(i), "distance", &p, b});
  }
  ASSERT_TRUE(run_volume_oracle(dir, cases));
  for (size_t i = 0; i < 3; ++i) {
    const std::vector<uint8_t> ref = read_raw<uint8_t>(dir.path(cases[i].name + ".out.raw"),
                                                       objects[i].state.size());
    ASSERT_FALSE(ref.empty());
    EXPECT_EQ(results[i], ref) << cases[i].name;
  }
  EXPECT_EQ(results[2][far.size.index(20, 20, 300)], 245);  // far from both: capped
}

TEST(TopologicalAnalysis3d, StrengthZeroBodyAndHolesMatchFillHoles) {
  seg_scratch dir;
  const volume_phantom objects[] = {shell(), cup(), torus(), two_spheres()};
  const char* names[] = {"shell", "cup", "torus", "spheres"};
  std::vector<volume_case> cases;
  for (size_t i = 0; i < 4; ++i) {
    cases.push_back({std::string(names[i]) + "_body", "body", &objects[i], {}});
    cases.push_back({std::string(names[i]) + "_holes", "holes", &objects[i], {}});
  }
  ASSERT_TRUE(run_volume_oracle(dir, cases));
  for (size_t i = 0; i < cases.size(); ++i) {
    const volume_phantom& p = *cases[i].p;
    const int32_t type = cases[i].mode == "body" ? 2 : 1;
    const analysed a = analyse(p, analysis_settings(type, 0));
    ASSERT_TRUE(a.finished);
    std::vector<uint8_t> ref = read_raw<uint8_t>(dir.path(cases[i].name + ".out.raw"),
                                                 p.state.size());
    ASSERT_FALSE(ref.empty());
    for (uint8_t& v : ref) v = v ? 2 : 0;
    EXPECT_EQ(a.state, ref) << cases[i].name;
    const size_t region = count_value(a.state, 2);
    if (cases[i].name == "shell_holes" || cases[i].name == "spheres_holes") {
      EXPECT_GT(region, 1000u) << cases[i].name << ": the cavity is the region";
    }
    if (cases[i].name == "cup_holes" || cases[i].name == "torus_holes") {
      EXPECT_EQ(region, 0u) << cases[i].name << ": no enclosed space";
    }
  }
}

TEST(TopologicalAnalysis3d, AllLeavesTheStateUnchanged) {
  const volume_phantom p = bottle(volume_phantom::kBackgroundGrey);
  for (int32_t strength : {0, 50, 100}) {
    std::vector<uint8_t> before = p.state;
    const bounds3d b = grassfire::find_object_extent(before.data(), p.size);
    std::vector<uint8_t> s = before;
    grassfire::null_volume_progress none;
    const std::vector<const uint8_t*> frames = p.frames();
    EXPECT_TRUE(grassfire::topological_analysis(s.data(), frames.data(), p.size, b,
                                                grey_band(100, 255),
                                                analysis_settings(0, strength), none));
    EXPECT_EQ(s, before) << strength;
  }
}

// Body at strength s as a set of voxel indices.
std::set<size_t> body(const volume_phantom& p, int32_t strength) {
  const analysed a = analyse(p, analysis_settings(2, strength));
  EXPECT_TRUE(a.finished);
  std::set<size_t> out;
  for (size_t i = 0; i < a.state.size(); ++i)
    if (a.state[i] == 2) out.insert(i);
  return out;
}

TEST(TopologicalAnalysis3d, StrongerConcavityHandlingFillsAtLeastAsMuch) {
  volume_phantom narrow = bottle(volume_phantom::kBackgroundGrey);
  const volume_phantom objects[] = {cup(), narrow, two_spheres(), torus()};
  for (const volume_phantom& p : objects) {
    std::set<size_t> object;
    for (size_t i = 0; i < p.state.size(); ++i)
      if (p.state[i] == 2) object.insert(i);
    const std::set<size_t> b0 = body(p, 0), b50 = body(p, 50), b100 = body(p, 100);
    EXPECT_TRUE(std::includes(b0.begin(), b0.end(), object.begin(), object.end()));
    EXPECT_TRUE(std::includes(b50.begin(), b50.end(), b0.begin(), b0.end()));
    EXPECT_TRUE(std::includes(b100.begin(), b100.end(), b50.begin(), b50.end()));
  }
  // The bottle's cavity behind its one-voxel mouth is a concavity.
  const std::set<size_t> b50 = body(narrow, 50);
  for (int32_t x : {18, 32, 45})
    EXPECT_EQ(b50.count(narrow.size.index(x, 32, 32)), 1u) << x;
  EXPECT_EQ(body(narrow, 0).count(narrow.size.index(32, 32, 32)), 0u);
}

TEST(TopologicalAnalysis3d, PocketBehindAnExcludedMouthStaysOpen) {
  const volume_phantom p = bottle(kMouthGrey);
  // Cancelled at the re-labelling: the analysis codes stay.
  scripted_volume_progress progress;
  const analysed codes = [&] {
    // Count the pulses of a full run first, then cancel at the last one.
    scripted_volume_progress count;
    analyse(p, analysis_settings(2, 50), &count);
    progress.cancel_at = count.messages.size();
    EXPECT_EQ(count.messages.back(), "3D topological analysis: re-labelling voxels");
    return analyse(p, analysis_settings(2, 50), &progress);
  }();
  EXPECT_FALSE(codes.finished);
  size_t cavity = 0, open = 0;
  for (int32_t z = 18; z <= 45; ++z)
    for (int32_t y = 18; y <= 45; ++y)
      for (int32_t x = 18; x <= 45; ++x) {
        ++cavity;
        open += codes.state[p.size.index(x, y, z)] == 255;
      }
  EXPECT_EQ(open, cavity);
  const analysed a = analyse(p, analysis_settings(2, 50));
  EXPECT_EQ(a.state[p.size.index(32, 32, 32)], 0);
  EXPECT_EQ(a.state[p.size.index(48, 32, 32)], 0);
  EXPECT_EQ(count_value(a.state, 2), count_value(p.state, 2));
}

TEST(TopologicalAnalysis3d, OutsideCodesHoldDistancesAndEndSlicesReachTheObject) {
  // Two blocks on the volume's first slice: the bounds start there.
  volume_phantom p(48, 40, 16);
  p.box(20, 10, 0, 29, 29, 9, true);
  p.box(2, 10, 0, 2, 29, 9, true);
  seg_scratch dir;
  std::vector<uint8_t> extent = p.state;
  const bounds3d b = grassfire::find_object_extent(extent.data(), p.size);
  ASSERT_EQ(b.z0, 0);
  ASSERT_TRUE(run_volume_oracle(dir, {{"d", "distance", &p, b}}));
  const std::vector<uint8_t> dist = read_raw<uint8_t>(dir.path("d.out.raw"), p.state.size());
  ASSERT_FALSE(dist.empty());

  scripted_volume_progress count;
  analyse(p, analysis_settings(2, 50), &count);
  scripted_volume_progress progress;
  progress.cancel_at = count.messages.size();  // keep the codes
  const analysed a = analyse(p, analysis_settings(2, 50), &progress);
  size_t checked = 0;
  for (int32_t z = b.z0 + 1; z < b.z1; ++z)
    for (int32_t y = b.y0; y <= b.y1; ++y)
      for (int32_t x = b.x0; x <= b.x1; ++x) {
        const size_t i = p.size.index(x, y, z);
        if (a.state[i] < 246 || a.state[i] == 255) continue;
        const int d = dist[i] - 2;
        if (y == b.y0 || y == b.y1 || x == b.x0 || x == b.x1) continue;  // the border ring
        EXPECT_EQ(a.state[i], d <= 8 ? 245 + d : 254) << x << ' ' << y << ' ' << z;
        ++checked;
      }
  EXPECT_GT(checked, 1000u);
  // Mid-way between the blocks at distance 5 of the larger: outside as 250
  // in a middle slice, as 254 in the first slice (its rays run to the object).
  EXPECT_EQ(dist[p.size.index(15, 20, 5)], 7);
  EXPECT_EQ(a.state[p.size.index(15, 20, 5)], 250);
  EXPECT_EQ(a.state[p.size.index(15, 20, 0)], 254);
  EXPECT_EQ(a.state[p.size.index(11, 20, 5)], 254);  // distance 9
}

TEST(TopologicalAnalysis3d, CancelAtEachStageKeepsTheObjectAndEndsAtOnce) {
  const volume_phantom p = bottle(volume_phantom::kBackgroundGrey);
  scripted_volume_progress full;
  const analysed done = analyse(p, analysis_settings(1, 50), &full);
  ASSERT_TRUE(done.finished);
  const std::regex level(
      R"(3D topological analysis \((8|6|4|2|1)\): \d+\.\d\d % voxels (just outside|in concavities))");
  // The first pulse of every kind of message.
  std::vector<size_t> firsts;
  std::set<std::string> kinds;
  for (size_t i = 0; i < full.messages.size(); ++i) {
    const std::string& m = full.messages[i];
    std::string kind = m;
    std::smatch match;
    if (m.find('(') != std::string::npos) {
      EXPECT_TRUE(std::regex_match(m, match, level)) << m;
      kind = match.str(1) + match.str(2);
    } else {
      EXPECT_TRUE(m == "3D topological analysis: forward distance transform" ||
                  m == "3D topological analysis: reverse distance transform" ||
                  m == "3D topological analysis: initial outside region" ||
                  m == "3D topological analysis: re-labelling voxels")
          << m;
    }
    if (kinds.insert(kind).second) firsts.push_back(i + 1);
  }
  // Growth pulses come only where the outside grows; pockets meet every level.
  for (const char* k : {"3D topological analysis: forward distance transform",
                        "3D topological analysis: reverse distance transform",
                        "3D topological analysis: initial outside region",
                        "3D topological analysis: re-labelling voxels", "8just outside",
                        "8in concavities", "6in concavities", "4in concavities",
                        "2in concavities", "1in concavities"})
    EXPECT_EQ(kinds.count(k), 1u) << k;
  for (size_t k : firsts) {
    scripted_volume_progress progress;
    progress.cancel_at = k;
    const analysed a = analyse(p, analysis_settings(1, 50), &progress);
    EXPECT_FALSE(a.finished);
    EXPECT_EQ(progress.messages.size(), k) << "no pulse after the cancel";
    for (size_t i = 0; i < a.state.size(); ++i)
      ASSERT_EQ(a.state[i] == 2, p.state[i] == 2) << "pulse " << k << " voxel " << i;
  }
}

}  // namespace
