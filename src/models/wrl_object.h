// The reference object: a surface read from a surface file or a region
// detached from another surface, one instance held by RES_WRL_OBJECT from
// start-up to exit; it starts empty. Coordinates are in surface-file units,
// ten times the program's centimetres.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "data/geometry.h"

class surface_interp;
struct curve_point;

class wrl_object {
 public:
  wrl_object() = default;
  ~wrl_object() = default;
  wrl_object(const wrl_object&) = delete;
  wrl_object& operator=(const wrl_object&) = delete;

  // Empties the points, normals and triangles.
  void clear();
  // Moves the reference object into the empty surface s (its mesh then lives
  // in the surface and the reference object is left empty). False, with an
  // error logged and nothing changed, when memory for the mesh cannot be had.
  bool make_surface(surface_interp& s);
  // Takes the region around the hit's vertex out of surface s into the
  // reference object, which is emptied first. False, with both unchanged,
  // when s refuses (see surface_interp::detach_region).
  bool take_region(surface_interp& s, const curve_point& hit);

  int32_t point_count() const { return int32_t(points.size()); }
  int32_t normal_count() const { return int32_t(normals.size()); }
  int32_t triangle_count() const { return int32_t(triangles.size()); }

  std::vector<vec3_t> points;
  std::vector<vec3_t> normals;  // one per point, or none
  std::vector<std::array<int32_t, 3>> triangles;
};
