#include "tasks/find_location.h"

#include <algorithm>
#include <cmath>

#include "registry/resource_table.h"

frame_location nearest_frame(const image_calibration_t& c, const std::vector<const position_t*>& positions,
                             const vec3_t& point) {
  frame_location best;
  for (size_t i = 0; i < positions.size(); ++i) {
    if (!positions[i]) continue;
    const vec3_t q = world_to_frame_pixel(c, *positions[i], point);
    const double distance = std::fabs(q.z);
    // Strictly nearer only: a tie stays with the earlier frame.
    if (best.frame >= 0 && !(distance < best.distance)) continue;
    best.frame = static_cast<int32_t>(i);
    best.distance = distance;
    best.x = static_cast<int32_t>(q.x);
    best.y = static_cast<int32_t>(q.y);
  }
  return best;
}

frame_location locate_in_frames(const vec3_t& point) {
  const resource_table_t& t = *resource_table;
  if (!frame_store || !t.RES_POS_REC->read()) return {};
  const size_t frames = std::min(size_t(std::max<long>(0, t.RES_BUF_FRAMES->read())), frame_store->positions.size());
  std::vector<position_ref> held(frames);
  std::vector<const position_t*> positions(frames, nullptr);
  for (size_t i = 0; i < frames; ++i) {
    held[i] = frame_store->positioncp(int32_t(i));
    if (held[i]) positions[i] = held[i].get();
  }
  return nearest_frame(calibration_from_resources(), positions, point);
}
