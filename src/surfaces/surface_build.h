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

// A surface for `object` from the cortex mapped over the surface of
// source_object: the edges that RES_THICKNESS_CREATE_OUTER and
// RES_THICKNESS_CREATE_INNER choose (0 none, 1 outer gap edge, 2 outer edge,
// 3 inner edge, 4 inner gap edge; a gap edge the source lacks falls back to
// the cortex's edge), one layer or a two-layer shell, capped into a solid
// where the source is open when RES_THICKNESS_CREATE_CAPS is on, and
// smoothed s(s + 1)/2 passes for level `smoothing`. Never null; empty when
// the source holds no mapped thickness. The source's display is restored.
surface_interp* build_cortical_layer_surface(int object, int source_object, int smoothing,
                                             interp_progress* progress);
