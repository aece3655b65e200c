// Contours drawn, imported or traced on one frame, and the contours of one
// object on one frame (a frame entry) with its cached measures.
//
// Coordinates are pixels of the contour's frame: x along a row, y across rows;
// pixel (c, r) covers [c, c + 1) x [r, r + 1), so a vertex lies in pixel
// (floor(x), floor(y)).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/geometry.h"

struct contour_t {
  std::vector<vec2_t> vertices;
  bool closed = false;
  // Per-vertex concavity values; valid only with exactly one per vertex.
  std::vector<double> values;

  // Tests point against the edge a-b; either end may be null. 1: near a,
  // 2: near b, 3: near the edge between them, 0: none.
  static int hit_test(const vec2_t& point, const vec2_t* a, const vec2_t* b, double tol);

  // First vertex or edge within tol of point, in edge order. On success a and b
  // are vertex indices: equal for a vertex hit, the edge's ends for an edge hit.
  bool find_near_segment(const vec2_t& point, size_t& a, size_t& b, double tol) const;
  // The same with vertex's own position as the point, skipping its own edges.
  bool find_near_segment_excluding(size_t vertex, size_t& a, size_t& b, double tol) const;

  // Closes a contour being drawn where it comes back to its beginning.
  bool trim_to_point(const vec2_t& point, double tol);
  // Drops vertices within tol pixels of the polyline through the kept ones.
  void simplify(double tol);
  // Bit 1: crossings found or a collinear spike straightened; bit 2: crossings remain.
  int remove_self_intersections();
  // A closed contour that crosses or touches itself as the simple loops it
  // is made of, in its own direction (loops enclosing nothing are dropped).
  // 0, with loops empty, when it neither crosses nor touches itself; else
  // bit 1, and bit 2 when crossings were left after too many splits.
  int split_into_loops(std::vector<contour_t>& loops) const;
  // Every coordinate is a finite number.
  bool finite() const;

  bool contains(const vec2_t& point) const;
  double area() const;
  // Signed area; centroid is written only when the area is not 0.
  double area_and_centroid(vec2_t& centroid) const;
  double length(double y_factor) const;
  void compute_vertex_values();
  void clear();
};

// Flags of the untangling operations.
enum : int {
  CONTOUR_CROSSINGS_FOUND = 1,
  CONTOUR_CROSSINGS_LEFT = 2,
  CONTOUR_EMPTIED = 4,
  CONTOURS_CROSS = 8,
  CONTOURS_CROSSINGS_LEFT = 16,
};

struct frame_contours_t {
  std::vector<contour_t> contours;
  int32_t frame = 0;
  int32_t box_x = 0;
  int32_t box_y = 0;
  int32_t box_width = 0;
  int32_t box_height = 0;
  int32_t seed_x = -1;
  int32_t seed_y = -1;
  double area = -1.0;  // -1: not measured since a contour was added
  double centroid_x = 0.0;
  double centroid_y = 0.0;

  frame_contours_t() = default;
  frame_contours_t(const frame_contours_t&) = default;
  frame_contours_t& operator=(const frame_contours_t&) = default;
  frame_contours_t(frame_contours_t&& other) noexcept;
  // Takes over the contours (the source is left without any) and copies the rest.
  frame_contours_t& operator=(frame_contours_t&& other) noexcept;

  // Repairs crossings in the contours near point (all contours when tol <= 0).
  int find_near(double tol, const vec2_t& point);
  // Resolves crossings between contours first and second of entry.
  static int intersect(frame_contours_t& entry, size_t first, size_t second);
  // Raster box, area, centroid and seed; the signed distance map of the box in
  // twelfths of a pixel unless no_map is set (see frame_measure.cpp).
  std::unique_ptr<int16_t[]> measure(int margin, bool no_map);
  double length(double y_factor) const;
  // Whether a closed contour with finite coordinates has a vertex: what
  // measure makes a raster box of.
  bool has_closed_contour() const;
};

// Two edges of closed contours that cross, or of one contour that touch.
struct contour_meeting_t {
  size_t first = 0, second = 0;            // contour indices, first <= second
  size_t first_edge = 0, second_edge = 0;  // first_edge < second_edge on one contour
  vec2_t at;
};

// The first place where the closed contours cross each other, or where one
// crosses or touches itself (contours with non-finite coordinates are left
// out); false when there is none. About linear in the number of edges.
bool find_contour_meeting(const std::vector<contour_t>& contours, contour_meeting_t& at);

// Whether segment p1-p2 crosses segment p3-p4, and where.
bool segment_intersection_2d(const vec2_t& p1, const vec2_t& p2, const vec2_t& p3,
                             const vec2_t& p4, vec2_t& point);

// (x * sx, y * sy, z): a position in centimetres on a frame to pixels.
inline vec3_t vec3_scale_xy(const vec3_t& v, double sx, double sy) {
  return {v.x * sx, v.y * sy, v.z};
}
