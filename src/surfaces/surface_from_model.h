// Surfaces taken from ready meshes rather than contours: the fitted shape
// model's current mesh (model units, millimetres) brought into world
// centimetres by its registration, the reference object (surface-file units,
// ten times centimetres) and the shape model's sub-structure (world
// centimetres). Each fills an empty surface, gives it the volume and lays the
// curves on it; triangles naming a point the mesh lacks are left out. False
// (an error logged, the surface left empty) when memory for the mesh cannot
// be had.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "data/geometry.h"

class surface_interp;

// Fills the empty surface s from the model mesh: positions registration ·
// point / 10, normals rotated by the registration's linear part and made
// unit, triangles reversed when the registration mirrors so that they keep
// facing outwards; then its volume and the curves on it. Triangles naming a
// point the mesh lacks are left out. False (an error logged, s left empty)
// when memory for the mesh cannot be had.
bool surface_from_model(surface_interp& s, const std::vector<vec3_t>& points,
                        const std::vector<vec3_t>& normals,
                        const std::vector<std::array<int32_t, 3>>& triangles,
                        const matrix4_t& registration);

// The reference object's mesh: positions point / 10, triangles as they are,
// unit file normals when there is one per point, else normals from the
// triangles; a double layer when the sampled triangles of the second half
// repeat the first half's with the point indices shifted by half the points;
// vertices on open edges get type POINT_BOUNDARY.
bool surface_from_reference(surface_interp& s, const std::vector<vec3_t>& points,
                            const std::vector<vec3_t>& normals,
                            const std::vector<std::array<int32_t, 3>>& triangles);

// The shape model's sub-structure, in world coordinates already: triangles
// reversed when the registration's linear part mirrors, or does not while
// the model is mirrored; normals from the triangles.
bool surface_from_substructure(surface_interp& s, const std::vector<vec3_t>& points,
                               const std::vector<std::array<int32_t, 3>>& triangles,
                               const matrix4_t& registration, bool mirrored);
