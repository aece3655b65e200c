// A uniform grid of cubic bins over one surface mesh or over the meshes of
// several objects. Each bin lists the triangles whose centroid lies in it;
// the grid answers two queries: every crossing of a line with the meshes,
// and the nearest hit along a line or the nearest point to a point.
//
// A grid is built by the operation that needs it and lives only as long as
// that operation; the meshes must neither change nor die meanwhile.
//
// Grid units are (coordinate - origin) / bin_size; the centre of cell
// (ix, iy, iz) lies at its indices + 0.5.
#pragma once

#include <cstdint>
#include <vector>

#include "data/geometry.h"
#include "surfaces/surface_types.h"

class bin_grid {
 public:
  bin_grid() = default;
  // A grid over one mesh; stays empty when the mesh has no points or no triangles.
  bin_grid(surface_mesh* mesh, bool skip_type2);
  // A grid over the surface of object 0..199, or with -2 over the surfaces of
  // every object below CURRENT_MAX_OBJECTS; any other index gives an empty grid.
  bin_grid(int object, bool skip_type2);

  void clear();
  // (Re)builds the bins over `meshes`, leaving out cap triangles (type 2)
  // when skip_type2 is set.
  void build(bool skip_type2);
  bool empty() const { return bins.empty(); }

  // Every crossing of the line through a towards b within the thickness line's
  // reach (RES_THICKNESS_LINE) on either side of a: signed distances from a in
  // millimetres, sorted ascending without repeats, and the crossing points.
  void line_crossings(const vec3_t& a, const vec3_t& b, std::vector<double>& distances,
                      std::vector<vec3_t>& points) const;
  // The same with the reach given as a distance; 0 or less is unlimited.
  void line_crossings_within(const vec3_t& a, const vec3_t& b, double reach,
                             std::vector<double>& distances, std::vector<vec3_t>& points) const;

  // Nearest hit. A zero direction asks for the nearest point of the meshes to
  // `point` (beyond inner_radius, nearest shell only when first_shell_only);
  // otherwise the direction is made a unit vector and the nearest crossing of
  // the line is found, on either side of the point, or, with a negative
  // max_distance, the side whose blended normal lies closer to the line.
  // |max_distance| bounds the search; 0 is unlimited. distance_out is 1e10
  // when nothing was found.
  void intersect_line(const vec3_t& point, vec3_t& direction, double inner_radius,
                      double max_distance, double& distance_out, vec3_t& hit_out,
                      vec3_t& normal_out, bool first_shell_only) const;

  // Non-empty bins near the line through point along the unit direction u,
  // within max_distance of point along it (0 or less: unlimited).
  void bins_along_line(const vec3_t& point, const vec3_t& u, double max_distance,
                       std::vector<int32_t>& out) const;
  // Non-empty bins around point between the inner and outer distances,
  // nearest shells first.
  void bins_around_point(const vec3_t& point, double inner, double outer,
                         std::vector<int32_t>& out, bool first_shell_only) const;
  // A lower bound of the distance from point to every triangle of the bin.
  double bin_distance(const vec3_t& point, int32_t bin) const;
  // Narrows [near_r, far_r] (grid units) to the sphere around the grid's cells.
  void clip_to_grid_sphere(const vec3_t& g, double& near_r, double& far_r) const;

  // The triangle of an entry and its mesh.
  const surface_mesh* entry_mesh(int32_t entry) const {
    return meshes.size() == 1 ? meshes[0] : meshes[size_t(entry) & 255u];
  }
  static int32_t entry_triangle(int32_t entry, bool single_mesh) {
    return single_mesh ? entry : int32_t(uint32_t(entry) >> 8);
  }

  std::vector<std::vector<int32_t>> bins;
  std::vector<surface_mesh*> meshes;  // not owned
  vec3_t origin;
  double bin_size = 1.0;
  double max_edge = 0.0;
  int32_t bin_count = 0;
  int32_t bins_x = 0, bins_y = 0, bins_z = 0;

 private:
  vec3_t to_grid(const vec3_t& p) const {
    return {(p.x - origin.x) / bin_size, (p.y - origin.y) / bin_size, (p.z - origin.z) / bin_size};
  }
  // Farthest a binned centroid can lie from its cell's centre, grid units.
  // Half a cell's diagonal, unless an axis's extent was rounded down to its
  // bin count: the last cell of that axis then holds centroids beyond it.
  double cell_reach_ = 0.0;
  vec3_t extent_;  // the box of all points, grid units
};
