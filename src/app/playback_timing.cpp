#include "app/playback_timing.h"

#include <algorithm>

namespace {

constexpr int64_t kDefaultIntervalUs = static_cast<int64_t>(1e6 / PLAYBACK_DEFAULT_RATE);

// The recorded interval, or 0 when it is not a believable one.
int64_t recorded_interval_us(uint64_t from, uint64_t to) {
  if (to <= from) return 0;
  const uint64_t us = (to - from) / PLAYBACK_TICKS_PER_US;
  return us > static_cast<uint64_t>(PLAYBACK_MAX_GAP_US) ? 0 : static_cast<int64_t>(us);
}

}  // namespace

int64_t playback_interval_us(const std::vector<uint64_t>& timestamps, int32_t frame, bool untimed) {
  if (frame < 0 || static_cast<size_t>(frame) + 1 >= timestamps.size()) return 0;
  if (untimed) return kDefaultIntervalUs;
  return recorded_interval_us(timestamps[frame], timestamps[frame + 1]);
}

bool playback_untimed(const std::vector<uint64_t>& timestamps) {
  for (size_t k = 1; k < timestamps.size(); ++k)
    if (recorded_interval_us(timestamps[k - 1], timestamps[k]) > 0) return false;
  return true;
}

double playback_rate(const std::vector<uint64_t>& timestamps, int32_t frames) {
  const size_t n = frames < 0 ? 0 : std::min(static_cast<size_t>(frames), timestamps.size());
  if (n < 2 || playback_untimed(timestamps)) return PLAYBACK_DEFAULT_RATE;
  int64_t total_us = 0;
  for (size_t k = 1; k < n; ++k) total_us += recorded_interval_us(timestamps[k - 1], timestamps[k]);
  if (total_us <= 0) return PLAYBACK_DEFAULT_RATE;
  return static_cast<double>(n - 1) * 1e6 / static_cast<double>(total_us);
}

playback_action playback_schedule::step(const std::vector<uint64_t>& timestamps, int32_t frames,
                                        int32_t current, int64_t elapsed_us) {
  if (current < 0 || current >= frames - 1 || static_cast<size_t>(current) + 1 >= timestamps.size())
    return playback_action::stop;
  if (checked_size_ != timestamps.size()) {
    checked_size_ = timestamps.size();
    untimed_ = playback_untimed(timestamps);
  }
  if (anchor_frame_ != current) {
    anchor_frame_ = current;
    anchor_us_ = elapsed_us;
  }
  const int64_t due_us = anchor_us_ + playback_interval_us(timestamps, current, untimed_);
  if (elapsed_us < due_us) return playback_action::wait;
  anchor_frame_ = current + 1;
  anchor_us_ = due_us;
  return playback_action::advance;
}
