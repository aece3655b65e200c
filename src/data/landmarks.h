// Landmarks: named 3D points of several kinds, with the naming rules, the
// spine classification and the name checks.
//
// Positions into the list are indices; size() stands for the end.
#pragma once

#include <utility>

#include <cstddef>
#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"

enum landmark_kind : int32_t {
  LM_DATA = 0,
  LM_FIDUCIAL = 1,
  LM_2D = 2,
  LM_SURFACE = 3,
  LM_SPINE = 4,
};

constexpr int SPINE_PARTS = 3;
constexpr int SPINE_LEVELS = 22;
extern const wchar_t* const spine_part_names[SPINE_PARTS];
extern const wchar_t* const spine_reference_names[SPINE_PARTS];
extern const wchar_t* const spine_level_names[SPINE_LEVELS];

struct landmark_t {
  // World coordinates in centimetres; for a 2D landmark x and y are
  // centimetres within the frame and z is the frame number.
  double x = 0.0, y = 0.0, z = 0.0;
  wxString name;
  int32_t kind = LM_DATA;
  double nx = 0.0, ny = 0.0, nz = 0.0;  // surface landmarks only
  int32_t object = 0;                   // surface landmarks only
  int32_t part = 0;                     // spine landmarks only
  int32_t level = 0;                    // spine landmarks only; -1 the reference row

  // "object:name", the name by which a surface landmark is known in lists.
  wxString full_name() const;

  // The list grows by moving its landmarks, not by copying their names.
  landmark_t() = default;
  landmark_t(const landmark_t&) = default;
  landmark_t& operator=(const landmark_t&) = default;
  landmark_t(landmark_t&& other) noexcept { *this = std::move(other); }
  landmark_t& operator=(landmark_t&& other) noexcept {
    x = other.x, y = other.y, z = other.z;
    name.swap(other.name);
    kind = other.kind;
    nx = other.nx, ny = other.ny, nz = other.nz;
    object = other.object, part = other.part, level = other.level;
    return *this;
  }
};

// A landmark's position scaled in x and y (centimetres on a frame to pixels).
inline vec3_t vec3_scale_xy(const landmark_t& l, double sx, double sy) {
  return {l.x * sx, l.y * sy, l.z};
}

// The name of spine part 0..2 at level 0..21, or of the reference row at -1.
wxString spine_landmark_name(int part, int level);

class landmarks {
 public:
  std::vector<landmark_t> items;

  size_t size() const { return items.size(); }
  landmark_t& operator[](size_t i) { return items[i]; }
  const landmark_t& operator[](size_t i) const { return items[i]; }
  std::vector<landmark_t>::iterator begin() { return items.begin(); }
  std::vector<landmark_t>::iterator end() { return items.end(); }
  std::vector<landmark_t>::const_iterator begin() const { return items.begin(); }
  std::vector<landmark_t>::const_iterator end() const { return items.end(); }

  // Kinds LM_SURFACE and LM_SPINE are not added here.
  void add_landmark(const vec3_t& point, const wxString& name, int32_t kind);
  void add_surface_landmark(const vec3_t& point, const vec3_t& normal, int32_t object,
                            const wxString& name);
  void add_default_landmark(const vec3_t& point, int32_t kind);
  void add_default_surface_landmark(const vec3_t& point, const vec3_t& normal, int32_t object);
  // Moves the spine landmark of part and level, or appends it.
  void set_spine_landmark(const vec3_t& point, int part, int level);

  bool find_by_name(const wxString& name, size_t& pos) const;
  bool find_surface_landmark(const wxString& name, int32_t object, size_t& pos) const;
  bool find_spine_landmark(int part, int level, size_t& pos) const;
  bool nth_surface_landmark(size_t n, int32_t object, size_t& pos) const;

  void renumber_object(int32_t from, int32_t to);
  // Removes everything but the fiducials.
  void remove_data_landmarks();
  void remove_fiducials();

  // Sets kind, part and level of a data or spine landmark from its name.
  static void classify_spine_name(landmark_t& lm);
  // Whether name may be given to a landmark of kind; warns when not. pos is
  // the landmark that already has the name, or size().
  bool check_name(const wxString& name, int32_t kind, bool accept_duplicate, size_t& pos) const;

 private:
  bool name_taken(const wxString& name) const;
};
