// Edits of an object that the shape model makes when it maps a fitted
// surface into it.
#pragma once

struct resource_table_t;
class contour_object;
class surface_interp;

// Removes the object's curves and surface landmarks and its contours.
void empty_model_object(resource_table_t& t, int object);
// Adds to the object, frame by frame, the sections of s with frames 0 to
// RES_BUF_FRAMES - 1 (0.1 pixel accuracy) that have at least 2 points and
// stay within twice the image on every side.
void add_sections_within_image(const surface_interp& s, contour_object& target);
