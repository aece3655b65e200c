// The surface of a fitted shape model: the model's current mesh (model
// units, millimetres) brought into world centimetres by its registration.
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
