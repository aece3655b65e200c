// One object's closed surface, held by the object's surface resource
// (RES_SURFACE0 to RES_SURFACE200). The surface builders create surfaces and
// delete the one they replace; the registry deletes those still held at exit,
// while the curve set still exists.
//
// Interpolation of contours: the planes that carry them are put into a
// sequence with a grid laid over every slab between two planes
// (surface_grid.cpp); each plane's contours become a signed distance field
// with its ridges (surface_field.cpp); the slabs are filled with grid layers
// whose node values change sign where the surface passes (surface_tiling.cpp);
// the sign changes become points and triangles (surface_cells.cpp); the
// finished mesh gets its volume (surface_volume.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <wx/filename.h>
#include <wx/string.h>

#include "data/curves.h"
#include "data/geometry.h"
#include "registry/resource_table.h"
#include "surfaces/surface_types.h"

// Settings of one interpolation, read from resources by the caller.
struct interp_settings {
  double x_scale = 0.01;  // centimetres per pixel
  double y_scale = 0.01;
  double z_scale = 0.0;  // spacing of a regular parallel stack, 0 for freehand frames
  int step = 2;          // grid spacing in grid units, at least 1
  int connect = 0;       // bit 0 connect objects, bit 1 connect holes
  int smoothing = 0;     // level s: s^2 - 1 normal passes, s^2 + 5 position passes
  bool expert_mode = false;
  bool in_script = false;
  bool segment_ridges = false;
  bool segment_valleys = false;
};

// A frame's contours and the frame's plane: its position transform times the
// calibration. Null contours make an empty end plane.
struct plane_source {
  frame_contours_t* contours = nullptr;
  matrix4_t transform;
};

// Progress of a construction; update returns false when the user cancelled.
class surface_buffer_api;
class surface_interp;
class wxOutputStream;

// The thickness mapping's progress, cancel and view refresh, and the
// accumulators of a density estimation (thickness/surface_mapping.h).
class thickness_mapping_hooks;
struct thickness_estimation;

// The crossings of a line with surfaces, six lists kept in step: depth along
// the line (mm from its first point, negative behind it), point, unit surface
// normal, unit measuring direction, object and a one-line description.
struct line_probe_hits {
  std::vector<double> depths;
  std::vector<vec3_t> points, normals, directions;
  std::vector<int32_t> objects;
  std::vector<wxString> texts;

  size_t size() const { return depths.size(); }
  bool empty() const { return depths.empty(); }
  void clear();
  // Sorted by depth, ascending, and an entry within 1e-10 of the one before
  // it dropped: a crossing through a shared edge or vertex counts once.
  void sort_and_merge();

 private:
  void swap_entries(size_t i, size_t j);
  void erase(size_t i);
};

class interp_progress {
 public:
  virtual ~interp_progress() = default;
  virtual bool update(int value, const wxString& message) = 0;
};

// Progress of painting image data onto a surface. The painting asks for a
// dialog only once the work has run for a while; update returns false when
// the user aborted.
class compound_progress {
 public:
  virtual ~compound_progress() = default;
  virtual void open(const wxString& title, const wxString& message, int range) = 0;
  virtual bool update(int value, const wxString& message) = 0;
  virtual void close() = 0;
  // Milliseconds on a monotonic clock.
  virtual int64_t now_ms();
};

class surface_interp {
 public:
  explicit surface_interp(int object = 0) : object(object) {}
  // Inline, so that every library that deletes surfaces can do so without
  // linking the interpolation.
  ~surface_interp() {
    free_interp_data();
    if (resource_table && resource_table->RES_CURVE)
      if (curve_set* set = resource_table->RES_CURVE->read())
        for (curve_t& c : set->curves)
          if (c.object == object) c.on_surface = false;
    point_chunks.clear();
    triangle_chunks.clear();
    delete[] mesh.points;
    delete[] mesh.triangles;
  }
  surface_interp(const surface_interp&) = delete;
  surface_interp& operator=(const surface_interp&) = delete;

  // Interpolates the planes into the mesh and measures its volume. Planes
  // whose contours have no closed contour are dropped; fewer than two planes
  // give an empty surface. False, with an error logged and the surface left
  // empty, when the grid cannot be laid; a cancel leaves volume -1.
  bool interpolate(const std::vector<plane_source>& sources, const interp_settings& settings,
                   interp_progress* progress = nullptr);

  // The first part of interpolate: settings, plane array, plane sequence and
  // grid. The planes keep their contours unrastered.
  // GRID_TOO_LARGE and GRID_BAD_POSITION are logged here; the others are
  // left to the caller.
  enum grid_result {
    GRID_LAID,
    GRID_TOO_FEW_PLANES,
    GRID_TOO_LARGE,
    GRID_NO_PIXEL_SIZE,
    GRID_BAD_POSITION
  };
  grid_result lay_grid(const std::vector<plane_source>& sources, const interp_settings& settings);

  // Warns, once per surface and not in expert mode or a script, when the
  // planes' contours are too narrow for the grid step to keep their area.
  void warn_small_contours();

  // Releases the planes with their rasters and peaks, and the node grid.
  void free_interp_data() {
    for (interp_plane_t& p : planes) {
      if (p.field != PLANE_FIELD_PENDING) delete[] p.field;
      delete[] p.peaks;
      delete[] p.peak_vectors;
      p.field = nullptr;
      p.peaks = nullptr;
      p.peak_vectors = nullptr;
    }
    planes.clear();
    plane_count = 0;
    nodes.clear();
    nodes.shrink_to_fit();
  }
  surface_mesh* get_mesh() { return &mesh; }
  int32_t get_source_object() const { return source_object; }

  // ---- mesh volume ----
  void triangle_volume();
  // The triangle's corners in outward order, as the volume takes them.
  void outward_order(const surface_triangle& t, int32_t& a, int32_t& b, int32_t& c) const;

  // ---- normals, smoothing and adjacency ----
  void compute_normals();
  void smooth_normals(int passes);
  void smooth_surface(int passes);
  // Open edges between rim or boundary vertices, walked into loops of at
  // least three vertices in the triangles' direction.
  void find_boundary_loops(std::vector<std::vector<int32_t>>& loops, bool first_half_only);
  void mark_boundary_vertices();

  // ---- compounding ----
  // Paints the frames' grey values onto the vertices' colour: samples along
  // each vertex normal over compound_depth, the nearest frame plane per
  // sample, combined by compound_type. Changes nothing when the surface has
  // thickness results, no depth, or a frame lacks its position or image.
  void compound_image_data(compound_progress* progress = nullptr);

  // ---- ray picking and surface curves ----
  // Nearest crossing of the line through o and p with the mesh (either side
  // of o); distance in millimetres.
  bool ray_intersection(const vec3_t& o, const vec3_t& p, curve_point& hit, double& distance) const;
  void map_curves_to_surface(bool force);
  // Appends every crossing of the infinite line through a and b with the
  // mesh to hits (the whole of which is then sorted and merged). With
  // maxdist > 0 (cm) only triangles within maxdist of the line and crossings
  // within the measuring line's length of a count. Every triangle is tested.
  void query_line(const vec3_t& a, const vec3_t& b, line_probe_hits& hits, double maxdist) const;
  // Gives the surface to another object and lays that object's curves onto it.
  void set_object(int32_t new_object);
  bool trace_surface_path(curve_t& rec) const;

  // ---- cutting and detaching ----
  // Cuts the mesh along a closed surface curve, given as one of
  // surface_curves or as one of the landmark curves of the surface's object:
  // the path's vertices take the curve's positions and normals (type 4) and
  // are duplicated, the triangles on the path's left reconnected to the
  // duplicates and those the snapping flattened removed. The path's vertex
  // indices are negated and the curve marked split. False, with nothing
  // changed, for a curve that is open, has fewer than three points, a failed
  // point or an index beyond the mesh, or was split before; a curve whose
  // indices are all 0 changes nothing and gives true.
  bool split_along_curve(const curve_t& curve);
  // Takes the connected region around the hit's vertex out of the mesh (with
  // both members of every rim pair it reaches) and returns it in surface-file
  // units: positions times ten, normals and triangles renumbered. The rest
  // stays, the per-vertex results are released and the curves laid again.
  // False, with nothing changed, for an index beyond the mesh or a region
  // whose rim pairs are incomplete.
  bool detach_region(const curve_point& hit, std::vector<vec3_t>& points,
                     std::vector<vec3_t>& normals,
                     std::vector<std::array<int32_t, 3>>& triangles);

  // ---- display data ----
  // Derives every vertex's colour index and displayed value
  // (smoothed_thickness) for thickness_data_kind `kind`: implausible
  // vertices rejected, holes filled and values smoothed as the thickness
  // settings ask; sets display_kind. When asked, returns the smoothed values
  // ((value - offset) x multiplier of the kind) and surface offsets (only
  // when the surface has offsets and smoothing ran) and the errors, one per
  // vertex. False, with the colours cleared (or painted from the image data
  // when compounding is on) and display_kind kept, when the kind's arrays
  // are missing or a FWHM conversion is pending.
  bool select_display_data(int kind, std::vector<double>* values, std::vector<double>* offsets,
                           std::vector<double>* errors);
  // One byte per vertex, 1 = rejected: folded patches of the measured layer
  // (gap layers for kinds 6 and 8), edges too far from the surface and
  // thicknesses beyond the middle of a compared pair.
  void reject_mask(std::vector<uint8_t>& mask, int kind);

  // ---- thickness mapping (the thickness library) ----
  // Measures every vertex with the thickness engine held by RES_THICKNESS
  // and fills the per-vertex arrays. With estimate, runs the density
  // estimation instead, accumulating into it. hooks (may be null) show
  // progress, take a cancel and refresh the views.
  void calc_thickness(thickness_mapping_hooks* hooks = nullptr,
                      thickness_estimation* estimate = nullptr);
  // Sum of value / error^2 and of 1 / error^2 over the vertices whose error
  // is above 0 and not 1e10; false when either array is missing.
  static bool weighted_average(const std::vector<double>& values, const std::vector<double>& errors,
                               double& sum, double& weight);
  // Turns cortical mass and background into thickness and density for the
  // cortical density B.
  void convert_from_fwhm(double B);
  // Per-vertex measuring directions for "Smoothed" and "Optimal"
  // (RES_THICKNESS_MAP_DIRECTION); removes them for the other choices.
  void update_map_directions(int iteration_limit, double initial_depth);
  // Folded triangles counted by the last update_map_directions iteration.
  int32_t direction_folds = 0;
  // Measures every vertex's distance along its measuring direction to the
  // surface of object `alternate` (to the facing wall of this surface when
  // that object has none) and, on a surface without mapped offsets, the mean
  // image value along the way; see thickness/surface_compare.cpp.
  void map_intersections(int alternate, thickness_mapping_hooks* hooks = nullptr);
  // Appends every crossing of the line from A through B with this surface to
  // the six lists (depth in mm from A, point, normal, mapping direction,
  // object, description), then sorts them together by depth and drops
  // repeats. maxdist (cm) > 0 limits the search to triangles that near the
  // line and to RES_THICKNESS_LINE from A.
  void query_line(const vec3_t& A, const vec3_t& B, std::vector<double>& depths,
                  std::vector<vec3_t>& points, std::vector<vec3_t>& normals,
                  std::vector<vec3_t>& map_directions, std::vector<int>& objects,
                  std::vector<wxString>& texts, double maxdist) const;

  // ---- thickness data files (the thickness library) ----
  // Writes the per-vertex results as a set of ".bin" files beside a copy of
  // the surface (and, with layers, its cortical layer surfaces), all new or
  // all old; asks before overwriting unless a script runs. False when nothing
  // was written (cancelled, or a failure that was logged).
  bool save_thickness(wxFileName name, bool layers);
  // Reads a set back onto this surface; on any failure a message is logged
  // and the surface is left as it was.
  bool load_thickness(wxFileName name);
  // Results that can be saved: errors mapped and no FWHM conversion pending.
  bool has_thickness() const;
  // Writes the blur along every stored vertex's normal from the given
  // in-plane and out-of-plane blurs ("_normal_blur.bin").
  bool save_normal_blur(wxFileName name);

  // ---- surface files ----
  // Writes the surface (layer 0) or one of its cortical layer surfaces
  // (1 outer gap edge, 2 outer edge, 3 inner edge, 4 inner gap edge) to
  // stream, which the caller opened and closes: binary PLY, or VRML 2.0 or
  // 1.0 by RES_VRML2_SURFACES, with the first VRML line only when
  // write_header. Type-2 vertices and triangles are left out when skip_type2
  // or the object is not capped. True when everything was written; false
  // when a failure was logged, or (silently) when the layer's arrays are
  // missing and nothing was written. Either way the caller should not keep
  // the file.
  bool save_surface(wxOutputStream& stream, bool write_header, bool as_ply, bool skip_type2,
                    int layer);

  // ---- vertex buffers ----
  // Fills the 3D view's vertex buffer (positions, normals, RGBA colours, in
  // three blocks) and element buffer (drawn triangles first, then type 2)
  // through gl; with full false only the colour block is replaced. Out of
  // graphics memory, both buffers are emptied and an error logged.
  void generate_surface_vbos(surface_buffer_api& gl, unsigned vertex_buffer,
                             unsigned element_buffer, int object, bool full, int& vertex_count,
                             int& drawn_triangles, int& undrawn_triangles);

  // ---- grid and plane sequence ----
  // False, with an error logged, when the grid would not fit its 16-bit coordinates.
  bool initialise_interp_sequence();
  bool initialise_boxes();
  void first_bounding_box(interp_plane_t& p);
  void aligned_bounding_box(interp_plane_t& p, interp_plane_t& q);
  void plane_crossing_line(interp_plane_t& p, interp_plane_t& q);

  // ---- distance field and peaks ----
  void chamfer_code(interp_plane_t& p);
  void extract_peaks(interp_plane_t& p);

  // ---- tiling ----
  void peak_overlap(interp_plane_t& p, interp_plane_t& q);
  int sample_field(const interp_plane_t& p, double& x, double& y, double sx, double sy) const;
  double peak_displacement(const interp_plane_t& p, double x, double y, double v, double& dx,
                           double& dy) const;
  void tile_slab(int k);
  // A node value from an interpolated one: truncated, clamped to the field's
  // range (NaN to far outside), so that it never wraps into the other sign.
  static int16_t node_value(double v);

  // ---- cells and edge points ----
  int32_t new_point(const surface_point& p);
  int add_triangle(int32_t a, int32_t b, int32_t c, int32_t type, bool reverse);
  void make_edge_points(int x, int j, int kind, const vec3_t& n);
  void make_cap_point(int x, int j, int kind, const vec3_t& n);
  void cap_cells(int x, int j, int kind);
  void layer_cells(int x, int j);
  void tetrahedron_triangles(int a, int b, int c, int d, const int32_t* slots[6], bool flip);
  void cap_triangles(int a, int b, int c, int32_t pa, int32_t pb, int32_t pc, int32_t ab,
                     int32_t bc, int32_t ac, bool flip);
  void process_last_plane();

  // Node (x, j) of the grid; callers keep x and j inside it.
  interp_node_t& node(int x, int j) { return nodes[size_t(j) * grid_nx + x]; }
  const interp_node_t& node(int x, int j) const { return nodes[size_t(j) * grid_nx + x]; }
  bool in_grid(int x, int j) const { return x >= 0 && x < grid_nx && j >= 0 && j < grid_ny; }
  surface_point& point_at(int32_t i) { return point_chunks[i / point_chunk][i % point_chunk]; }
  const surface_point& point_at(int32_t i) const {
    return point_chunks[i / point_chunk][i % point_chunk];
  }
  surface_triangle& triangle_at(int32_t i) {
    return triangle_chunks[i / triangle_chunk][i % triangle_chunk];
  }

  double volume = 0.0;  // cm^3; -1 after a cancelled construction
  bool closed = true;
  vec3_t box_centre;
  double box_radius = 0.0;
  vec3_t centroid;
  double compound_depth = 0.0;
  int32_t compound_type = 0;
  std::vector<curve_t> surface_curves;
  int32_t object = 0;
  int32_t plane_count = 0;
  std::vector<interp_plane_t> planes;  // empty outside construction
  double x_trans = 0.0, y_trans = 0.0, z_trans = 0.0;
  double azimuth = 0.0, elevation = 0.0, roll = 0.0;
  double y_scale = 0.01, x_scale = 0.01, z_scale = 0.0;
  matrix4_t calibration;
  int32_t step = 1;
  int32_t connect = 0;
  bool expert_mode = false, in_script = false;
  bool segment_ridges = false, segment_valleys = false;
  int16_t grid_x0 = 0, grid_y0 = 0, grid_x1 = 0, grid_y1 = 0;
  int16_t grid_nx = 0, grid_ny = 0, grid_layers = 0;
  int32_t point_count = 0, point_chunk = 2048;
  std::vector<std::unique_ptr<surface_point[]>> point_chunks;
  int32_t triangle_count = 0, triangle_chunk = 4096;
  std::vector<std::unique_ptr<surface_triangle[]>> triangle_chunks;
  std::vector<interp_node_t> nodes;  // grid_nx x grid_ny, one grid layer
  int16_t layers_done = 0;
  int32_t layer_kind = 0;
  int32_t layer_parity = 0, row_parity = 0;
  vec3_t grid_normal, plane_normal, previous_plane_normal;
  uint8_t self_intersection_warned = 0;
  uint8_t resolution_warned = 0;
  surface_mesh mesh;
  int32_t orientation_sum = -1;
  bool fwhm_pending = false;
  bool reversed = false;
  int32_t source_object = -1;
  bool double_layer = false;
  // Per-vertex results of the thickness mapping: empty, or one entry per mesh point.
  std::vector<double> cortical_thickness, smoothed_thickness;
  int32_t display_kind = -1;  // no thickness_data_kind: the first selection derives colours
  std::vector<double> fit_error, density, surface_offset, segment_length, blur, blur_error;
  std::vector<double> endo_thickness, endo_error, outer_gap, outer_gap_error, inner_gap;
  std::vector<double> inner_gap_error, inner_density, outer_density, inner_density_error;
  std::vector<vec3_t> directions;

 private:
  vec3_t crossing_point(int x, int j, int edge) const;
  int16_t edge_value(int x, int j, int edge) const;
  int32_t* edge_slot(int x, int j, int edge);
  bool fits_ = true;  // cleared when a box would not fit the grid's words
  void gather_mesh();
  void free_chunks();
};
