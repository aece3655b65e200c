// Building an object's surface from its contours as the Draw page's update
// does, and the object's volume measured from its contours alone.
#pragma once

#include <list>

#include "surfaces/surface_interp.h"

struct frame_contours_t;

// The surface of object from its contours with the given step, smoothing
// level, connect mode and end covering; the calibration and scales come from
// the resources. Contours that cross themselves or each other are repaired
// first, with a warning for each frame changed. Never null; a cancel leaves
// volume -1 (the caller keeps its old surface and deletes this one). When the
// interpolation refuses the contours (an error is logged, the surface is
// empty) *refused is set, if given.
surface_interp* build_contour_surface(int object, int step, int smoothing, int connect, bool cover,
                                      interp_progress* progress, bool* refused = nullptr);

// The same with every argument read from the resources.
surface_interp* build_contour_surface_from_resources(int object, interp_progress* progress,
                                                     bool* refused = nullptr);

// Volume (cm^3) of the solid swept by the contour frames: the vector areas
// integrated along a smooth curve through the centroids. 0 with fewer than
// two located frames.
double planimetry_volume(std::list<frame_contours_t>& frames);
