// Objects with their frame entries, default names and colours.
#include "data/objects.h"

#include <cmath>

namespace {

// Base colour by hue (k mod 6) and scale and offset by shade ((k div 6) mod 5).
const double hue_base[6][3] = {
    {1.0, 1.0, 0.2},
    {0.2, 1.0, 0.0},
    {0.1, 0.7, 1.0},
    {0.4, 0.3, 1.0},
    {0.9, 0.1, 0.2},
    {1.0, 0.5, 0.0},
};

const double shade_scale_offset[5][2] = {
    {1.0, 0.0},
    {0.4, 0.6},
    {0.7, 0.0},
    {0.7, 0.3},
    {0.4, 0.0},
};

uint8_t component(double a, double base, double b) {
  return static_cast<uint8_t>(static_cast<long>(std::trunc((a * base + b) * 255.0)) & 0xff);
}

void restore_display_values(contour_object& o) {
  o.opacity = 1.0;
  o.roughness = 0.4;
  o.metallic = 0.0;
  o.anisotropy = 0.0;
}

}  // namespace

rgba_colour_t contour_object::default_colour(int k) {
  if (k < 0) k = -k;
  const double* base = hue_base[k % 6];
  const double a = shade_scale_offset[(k / 6) % 5][0];
  const double b = shade_scale_offset[(k / 6) % 5][1];
  return rgba_colour_t(component(a, base[0], b), component(a, base[1], b),
                       component(a, base[2], b), 255);
}

void contour_object::assign_default_names_and_colours(contour_object* objects, int index) {
  if (!objects || index >= NUM_USER_OBJECTS) return;
  int first = index < 0 ? 0 : index;
  int last = index < 0 ? NUM_USER_OBJECTS - 1 : index;
  for (int k = first; k <= last; ++k) {
    contour_object& o = objects[k];
    if (o.frames.empty()) {
      o.name.Printf("Object %i", k);
      o.capped = 1;
    }
    o.colour = default_colour(k);
    restore_display_values(o);
  }
}

void contour_object::reset() {
  frames.clear();
  restore_display_values(*this);
  capped = 1;
  volume = 0.0;
}

frame_contours_t& contour_object::add_contour(int32_t frame, const contour_t& contour) {
  auto it = frames.begin();
  while (it != frames.end() && it->frame < frame) ++it;
  if (it == frames.end() || it->frame != frame) {
    it = frames.emplace(it);
    it->frame = frame;
    it->centroid_x = it->centroid_y = 0.0;
  }
  it->contours.push_back(contour);
  it->area = -1.0;
  return *it;
}

void contour_object::erase_unselected_frames(const uint8_t* selected, int32_t count) {
  if (!selected) return;
  // The entries are in ascending frame order: one pass renumbers the kept
  // ones and drops the rest. Entries outside 0 to count - 1 stay as they are.
  std::vector<int32_t> renumbered(static_cast<size_t>(std::max(count, 0)), -1);
  int32_t c = 0;
  for (int32_t f = 0; f < count; ++f)
    if (selected[f]) renumbered[static_cast<size_t>(f)] = c++;
  for (auto it = frames.begin(); it != frames.end();) {
    if (it->frame < 0 || it->frame >= count) {
      ++it;
    } else if (renumbered[static_cast<size_t>(it->frame)] >= 0) {
      it->frame = renumbered[static_cast<size_t>(it->frame)];
      ++it;
    } else {
      it = frames.erase(it);
    }
  }
}

frame_contours_t* contour_object::find_frame(int32_t frame) {
  for (frame_contours_t& e : frames)
    if (e.frame == frame) return &e;
  return nullptr;
}
