// Objects (an object's contours frame by frame and how it is shown) and the
// rows of the volume rendering's colour mapping.
#pragma once

#include <cstdint>
#include <list>

#include <wx/string.h>

#include "data/contour.h"

// An 8-bit RGBA colour with wxColour's accessors. The data model links wxBase
// only; windows build a wxColour from the components when they draw.
class rgba_colour_t {
 public:
  rgba_colour_t() = default;
  rgba_colour_t(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) { Set(r, g, b, a); }

  void Set(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    r_ = r;
    g_ = g;
    b_ = b;
    a_ = a;
    ok_ = true;
  }
  uint8_t Red() const { return r_; }
  uint8_t Green() const { return g_; }
  uint8_t Blue() const { return b_; }
  uint8_t Alpha() const { return a_; }
  bool IsOk() const { return ok_; }

  bool operator==(const rgba_colour_t& o) const {
    return ok_ == o.ok_ && r_ == o.r_ && g_ == o.g_ && b_ == o.b_ && a_ == o.a_;
  }
  bool operator!=(const rgba_colour_t& o) const { return !(*this == o); }

 private:
  uint8_t r_ = 0, g_ = 0, b_ = 0, a_ = 255;
  bool ok_ = false;
};

// Number of objects the registry holds: 0..199 the user's, 200 the shape model.
constexpr int NUM_OBJECTS = 201;
constexpr int NUM_USER_OBJECTS = 200;
constexpr int NUM_VOLUME_ROWS = 10;

class contour_object {
 public:
  // At most one entry per frame, in ascending order of frame. A list, so that
  // the entry add_contour returns stays valid while other entries come and go.
  std::list<frame_contours_t> frames;
  wxString name;
  rgba_colour_t colour;  // not set until defaults are assigned
  double opacity = 1.0;
  double roughness = 0.4;
  double metallic = 0.0;
  double anisotropy = 0.0;
  uint8_t capped = 1;
  // cm^3 measured from the contours while the object has no surface; 0 after a reset.
  double volume = 0.0;

  contour_object() = default;

  // Default names, colours and display values for object index of objects, or
  // for objects 0..199 when index is negative. Object 200 is never touched.
  static void assign_default_names_and_colours(contour_object* objects, int index);
  static rgba_colour_t default_colour(int k);

  // Removes every frame entry and restores the display values; the name and
  // colour stay.
  void reset();
  // Appends a copy of contour to the entry of frame (made when missing) and
  // returns the entry, marked as not measured.
  frame_contours_t& add_contour(int32_t frame, const contour_t& contour);
  // Keeps the entries of the selected frames, renumbered to their place among
  // them; selected holds one flag per old frame number 0..count-1.
  void erase_unselected_frames(const uint8_t* selected, int32_t count);
  // The entry of frame, or null.
  frame_contours_t* find_frame(int32_t frame);
  bool empty() const { return frames.empty(); }
};

class volume_object {
 public:
  uint8_t enabled = 0;
  rgba_colour_t colour{0, 0, 0, 255};
  uint8_t opacity = 0;
  uint8_t metallic = 0;
  uint8_t roughness = 100;
  uint8_t anisotropy = 0;
  int32_t data_value = 0;

  volume_object() = default;
  ~volume_object() = default;
};
