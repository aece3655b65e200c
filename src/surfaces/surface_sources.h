// What a surface of an object is built from, read from the program's state:
// the planes of the frames that hold the object's contours (with empty end
// planes when the surface is covered) and the interpolation settings.
#pragma once

#include <vector>

#include "surfaces/surface_interp.h"

// The Draw page's resolution choice (0 coarsest .. 6 finest) as a grid step.
int surface_step_for_resolution(long resolution);

// Settings from the resources: pixel size, stack spacing, the step of the
// resolution choice, connect mode from the connect settings, and the flags.
interp_settings surface_settings_from_resources();

// Calibration transform from RES_XTRANS .. RES_ROLL.
matrix4_t surface_calibration_from_resources();

// The object's contour frames in frame order, each with its frame's position
// transform times the calibration; frames without a position record or
// without a closed contour are left out. With cover, an empty plane one frame before the first and after
// the last, where such frames have positions.
std::vector<plane_source> surface_planes_of_object(int object, bool cover);
