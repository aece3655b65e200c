// Surfaces made from a ready mesh instead of contours: the fitted shape
// model's current mesh (model units, millimetres, brought into world
// centimetres by its registration), the reference object read from a surface
// file (file units, ten times centimetres) and a shape-model sub-structure
// already interpolated into world centimetres.
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

// Fills the empty surface s from the reference object's mesh: positions
// point / 10, triangles in their order; the file's normals made unit when
// there is exactly one per point, otherwise normals from the triangles. Marks
// the vertices of open edges and finds whether the mesh is the double layer
// of a derived cortical layer. Triangles naming a point the mesh lacks are
// left out. False (an error logged, s left empty) when memory cannot be had.
bool surface_from_reference(surface_interp& s, const std::vector<vec3_t>& points,
                            const std::vector<vec3_t>& normals,
                            const std::vector<std::array<int32_t, 3>>& triangles);

// Fills the empty surface s from a sub-structure's interpolated points (world
// centimetres) and its triangles, which are reversed when the registration's
// linear part mirrors, or when mirrored says the model is mirrored (either,
// not both); normals from the triangles.
bool surface_from_substructure(surface_interp& s, const std::vector<vec3_t>& points,
                               const std::vector<std::array<int32_t, 3>>& triangles,
                               const matrix4_t& registration, bool mirrored);
