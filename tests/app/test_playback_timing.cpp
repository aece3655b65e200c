// When playback moves on: each frame is held for its recorded interval,
// implausible intervals count as none, and recordings without usable
// timestamps play at the default rate.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "app/playback_timing.h"

namespace {

// Timestamps (100 ns units) from intervals in milliseconds, starting at t0.
std::vector<uint64_t> stamps(const std::vector<int64_t>& intervals_ms, uint64_t t0 = 5000000) {
  std::vector<uint64_t> t{t0};
  for (int64_t ms : intervals_ms) t.push_back(static_cast<uint64_t>(static_cast<int64_t>(t.back()) + ms * 10000));
  return t;
}

TEST(PlaybackInterval, RecordedIntervalsAndImplausibleOnes) {
  std::vector<uint64_t> t = {1000000, 1400000, 1400000, 1000000, 1000000 + 200000000ull, 1000000 + 200010000ull};
  const struct {
    int32_t frame;
    int64_t us;
  } cases[] = {
      {0, 40000},  // 40 ms
      {1, 0},      // equal timestamps
      {2, 0},      // backwards: not a huge unsigned difference
      {3, 0},      // a 20 s pause is a gap in the recording
      {4, 1000},   // 1 ms
      {5, 0},      // no next frame
      {-1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(playback_interval_us(t, c.frame, false), c.us) << c.frame;
  EXPECT_EQ(playback_interval_us(t, 0, true), 40000);  // 25 per second
  EXPECT_EQ(playback_interval_us(t, 5, true), 0);
  EXPECT_EQ(playback_interval_us({}, 0, false), 0);
}

TEST(PlaybackInterval, UntimedRecordingsAndRates) {
  EXPECT_TRUE(playback_untimed({7, 7, 7, 7}));
  EXPECT_TRUE(playback_untimed({9, 8, 7}));
  EXPECT_TRUE(playback_untimed({}));
  EXPECT_FALSE(playback_untimed({7, 7, 10007}));
  EXPECT_DOUBLE_EQ(playback_rate({7, 7, 7, 7}, 4), 25.0);
  EXPECT_DOUBLE_EQ(playback_rate(stamps({100, 100, 100, 100}), 5), 10.0);
  EXPECT_DOUBLE_EQ(playback_rate(stamps({20, 40, 20}), 4), 3 / 0.08);
  // Only the loaded frames count.
  EXPECT_DOUBLE_EQ(playback_rate(stamps({50, 50, 1000}), 3), 20.0);
  EXPECT_DOUBLE_EQ(playback_rate(stamps({50}), 1), 25.0);
}

// Feeds the schedule stopwatch readings; the frame after each.
std::vector<int32_t> run(playback_schedule& s, const std::vector<uint64_t>& t, int32_t frames, int32_t start,
                         const std::vector<int64_t>& readings_us, bool* stopped = nullptr) {
  std::vector<int32_t> out;
  int32_t frame = start;
  if (stopped) *stopped = false;
  for (int64_t now : readings_us) {
    switch (s.step(t, frames, frame, now)) {
      case playback_action::advance: ++frame; break;
      case playback_action::stop:
        if (stopped) *stopped = true;
        break;
      case playback_action::wait: break;
    }
    out.push_back(frame);
  }
  return out;
}

TEST(PlaybackSchedule, EachFrameIsHeldForItsOwnInterval) {
  // Intervals 20, 40, 20 ms. After the first interval the next frames must
  // still wait for theirs.
  const auto t = stamps({20, 40, 20});
  playback_schedule s;
  s.restart();
  const std::vector<int64_t> now = {0, 19999, 20000, 20500, 59999, 60000, 79999, 80000};
  EXPECT_EQ(run(s, t, 4, 0, now), (std::vector<int32_t>{0, 0, 1, 1, 1, 2, 2, 3}));
}

TEST(PlaybackSchedule, LateStepsDoNotShiftTheScheduleButCatchUp) {
  const auto t = stamps({10, 10, 10, 10});
  playback_schedule s;
  // A slow step at 25 ms shows frame 1; frame 2 was due at 20 ms already.
  EXPECT_EQ(run(s, t, 5, 0, {0, 25000, 25001, 29000, 30000, 40000}),
            (std::vector<int32_t>{0, 1, 2, 2, 3, 4}));
}

TEST(PlaybackSchedule, StopsAtTheLastFrameAndOnInvalidIndices) {
  const auto t = stamps({10, 10});
  playback_schedule s;
  const struct {
    int32_t frames, current;
    size_t stamps;
  } cases[] = {{3, 2, 3}, {1, 0, 3}, {3, -1, 3}, {3, 5, 3}, {3, 1, 2}, {0, 0, 0}};
  for (const auto& c : cases) {
    std::vector<uint64_t> tt(t.begin(), t.begin() + c.stamps);
    EXPECT_EQ(s.step(tt, c.frames, c.current, 1000000), playback_action::stop) << c.frames << " " << c.current;
  }
}

TEST(PlaybackSchedule, AFrameChosenElsewhereRestartsTheScheduleFromIt) {
  const auto t = stamps({10, 10, 10, 10, 10, 10});
  playback_schedule s;
  EXPECT_EQ(s.step(t, 7, 0, 0), playback_action::wait);
  EXPECT_EQ(s.step(t, 7, 0, 10000), playback_action::advance);
  // The slider moved to frame 4 at 50 ms: frame 5 is due 10 ms later.
  EXPECT_EQ(s.step(t, 7, 4, 50000), playback_action::wait);
  EXPECT_EQ(s.step(t, 7, 4, 59999), playback_action::wait);
  EXPECT_EQ(s.step(t, 7, 4, 60000), playback_action::advance);
}

TEST(PlaybackSchedule, UntimedRecordingsPlayAtTheDefaultRate) {
  const std::vector<uint64_t> t(5, 123456789);
  playback_schedule s;
  EXPECT_EQ(run(s, t, 5, 0, {0, 1000, 39999, 40000, 79999, 80000}),
            (std::vector<int32_t>{0, 0, 0, 1, 1, 2}));
}

TEST(PlaybackSchedule, EqualAndBackwardStampsInATimedRecordingDoNotWait) {
  // 0 -> 1 equal, 1 -> 2 backwards, 2 -> 3 30 ms.
  std::vector<uint64_t> t = {2000000, 2000000, 1000000, 1300000};
  playback_schedule s;
  bool stopped = false;
  EXPECT_EQ(run(s, t, 4, 0, {0, 1, 2, 29999, 30002, 30003}, &stopped),
            (std::vector<int32_t>{1, 2, 2, 2, 3, 3}));
  EXPECT_TRUE(stopped);
}

}  // namespace
