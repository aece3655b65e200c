// Sections of a surface by a plane, as contours in the plane's pixels, and
// the crossings of the surface along every b-th pixel row of the plane.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "data/geometry.h"

struct frame_contours_t;
class surface_interp;

// A cutting plane: world points p with normal . p + d > 0 are on its
// positive side; to_pixels maps a world point to the plane's pixels.
struct section_plane {
  vec3_t normal;
  double d = 0.0;
  std::function<vec2_t(const vec3_t&)> to_pixels;
};

// The plane of image frame `frame` (-1: the current frame), from its
// position record and the calibration; false when the frame has none.
bool frame_section_plane(int frame, section_plane& out);

// The section as polylines in pixels divided by divisor, simplified with the
// tolerance; a new record (frame -1) that has no contours when the plane
// misses the mesh.
std::unique_ptr<frame_contours_t> plane_cross_section(const surface_interp& s,
                                                      const section_plane& plane, int divisor,
                                                      double tolerance);
// The same on image frame `frame` (-1: the current frame); no contours when
// the frame has no position record.
std::unique_ptr<frame_contours_t> plane_cross_section(const surface_interp& s, int frame,
                                                      int divisor, double tolerance);

// For rows 0, b, 2b, ... (rows rows in all), the x positions (in units of b
// pixels) where the surface crosses the row, sorted; consecutive pairs bound
// the inside spans, both ends included.
std::vector<std::vector<int32_t>> scanline_crossings(const surface_interp& s,
                                                     const section_plane& plane, int rows, int b);
// The same on image frame `frame` with RES_BUF_HEIGHT rows; false when the
// frame has no position record.
bool scanline_crossings(const surface_interp& s, int frame, int b,
                        std::vector<std::vector<int32_t>>& rows);
