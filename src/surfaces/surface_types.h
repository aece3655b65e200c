// Records of a surface mesh and of the contour interpolation that builds it.
#pragma once

#include <cstdint>
#include <vector>

#include "data/geometry.h"

struct frame_contours_t;

// Vertex types.
enum : int32_t {
  POINT_RIM = 1,        // rim vertex made by the interpolation
  POINT_DUPLICATE = 2,  // copy of another vertex at the same place (caps)
  POINT_ORDINARY = 3,
  POINT_BOUNDARY = 4,  // ordinary vertex on an open edge
};

struct surface_point {
  double x = 0.0, y = 0.0, z = 0.0;     // world, centimetres
  double nx = 0.0, ny = 0.0, nz = 0.0;  // unit outward normal, or zero
  int32_t type = POINT_ORDINARY;
  uint8_t colour = 0;  // thickness colour index, 0 = no value
};

// Seen from outside, a, b, c run counter-clockwise once the interpolation's
// orientation has been applied (see surface_interp::outward_order).
struct surface_triangle {
  int32_t a = 0, b = 0, c = 0;
  int32_t type = 0;  // 0 taken over / reversed lattice, 1 lattice, 2 cap (not drawn in layers)
};

struct surface_mesh {
  int32_t n_points = 0;
  surface_point* points = nullptr;
  int32_t n_triangles = 0;
  surface_triangle* triangles = nullptr;
};

// A ridge cell of a plane's distance field.
struct peak_t {
  int16_t x = 0;  // raster column; frame pixel x = x + raster box x
  int16_t y = 0;
  int16_t value = 0;
  int16_t match = 0;  // +1 / -1 once matched with a peak of the neighbouring plane
};

// One contour plane of an interpolation, with the grid of the slab that ends at it.
struct interp_plane_t {
  matrix4_t transform;  // plane centimetres (x * x_scale, y * y_scale, 0) to world
  frame_contours_t* contours = nullptr;  // null for an empty end plane
  int16_t* field = nullptr;              // distance raster; see PLANE_FIELD_PENDING
  int32_t peak_count = 0;
  peak_t* peaks = nullptr;
  double* peak_vectors = nullptr;  // two doubles per peak
  int16_t box_x0 = 16000, box_y0 = 16000, box_x1 = -16000, box_y1 = -16000;
  int16_t box_nx = 1, box_ny = 1, layers = 1;
  matrix4_t grid_transform;  // (x * x_scale, y * y_scale, 0), grid units, to world
  int32_t crossing_valid = 0;
  double crossing_x = 0.0, crossing_y = 0.0;
  double crossing_dx = 0.0, crossing_dy = 0.0;

  bool has_contours() const { return field != nullptr; }
};

// Marker stored in `field` while a plane's contours still wait to be rastered.
int16_t* const PLANE_FIELD_PENDING = reinterpret_cast<int16_t*>(uintptr_t(1));

// One node of the interpolation grid, reused from layer to layer.
// The small fields that the neighbour tests and the cells read come first,
// so that they share a cache line.
struct interp_node_t {
  int8_t orientation = 0;
  int8_t previous_orientation = 0;
  int16_t value = 0;  // sixteenths of the raster's twelfths of a pixel; inside >= 0
  int16_t previous_value = 0;
  uint16_t crossings = 0;  // bit e: this node owns the crossing on its edge e
  int32_t edge_points[7] = {-1, -1, -1, -1, -1, -1, -1};
  int32_t point = -1;
  double cur_x = 0.0, cur_y = 0.0;    // meeting point with the current plane, pixels
  double prev_x = 0.0, prev_y = 0.0;  // with the previous plane
  vec3_t direction;
  vec3_t position;
  vec3_t previous_position;
};

// Value of a node outside its slab's box.
constexpr int16_t NODE_OUTSIDE = -32701;
// Largest magnitude of a sampled or interpolated value.
constexpr int16_t FIELD_LIMIT = 32700;

// The per-vertex quantities a surface can show as colours (RES_THICKNESS_DISP_MAP).
enum thickness_data_kind : int32_t {
  kind_thickness = 0,
  kind_mass = 1,
  kind_density = 2,
  kind_blur = 3,
  kind_endo_thickness = 4,
  kind_inner_density = 5,
  kind_outer_gap = 6,
  kind_outer_density = 7,
  kind_inner_gap = 8,
  kind_offset = 9,
};
constexpr int32_t kThicknessDataKinds = 10;
