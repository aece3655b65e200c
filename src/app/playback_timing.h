// When frame playback moves on to the next frame. Frames are held for the
// intervals their timestamps record; the decision is kept apart from the
// window so that it can be checked without a clock or a display.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Frame timestamps count units of 100 ns.
constexpr int64_t PLAYBACK_TICKS_PER_US = 10;
// A pause longer than this between two frames is a gap in the recording,
// not something to sit through, and counts as no time at all; so does a
// timestamp that goes backwards.
constexpr int64_t PLAYBACK_MAX_GAP_US = 10'000'000;
// Recordings without usable timestamps (all equal, say) play at this rate.
constexpr double PLAYBACK_DEFAULT_RATE = 25.0;

// How long frame `frame` is shown before frame + 1, in microseconds; 0 when
// either timestamp is missing. `untimed` replaces every interval by the
// default rate's.
int64_t playback_interval_us(const std::vector<uint64_t>& timestamps, int32_t frame, bool untimed);

// True when no interval of the recording counts as time, so that playing it
// by its timestamps would race through every frame.
bool playback_untimed(const std::vector<uint64_t>& timestamps);

// The rate the recording plays at, in frames per second: frames between the
// first and the last frame over the time between them, or the default rate
// for an untimed recording.
double playback_rate(const std::vector<uint64_t>& timestamps, int32_t frames);

enum class playback_action { wait, advance, stop };

// One playback step. The schedule is anchored at a frame and the time at
// which it was shown; each advance moves the anchor by the frame's interval,
// so that rounding and idle delays never add up over a long recording. When
// the current frame is not the anchored one (Play, Rewind, the slider or a
// key moved it), the schedule restarts from it at `elapsed_us`.
class playback_schedule {
 public:
  // Forgets the anchor and what was learnt of the timestamps; the next step
  // starts the schedule afresh.
  void restart() {
    anchor_frame_ = -1;
    checked_size_ = 0;
  }

  // frames: the frame count; current: the current frame; elapsed_us: the
  // playback stopwatch. Stop when the last frame is reached or the indices
  // are not valid.
  playback_action step(const std::vector<uint64_t>& timestamps, int32_t frames, int32_t current,
                       int64_t elapsed_us);

 private:
  int32_t anchor_frame_ = -1;
  int64_t anchor_us_ = 0;
  size_t checked_size_ = 0;  // timestamp count the untimed test was made for
  bool untimed_ = false;
};
