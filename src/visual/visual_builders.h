// Carrying out a page change's plan on the reslice and panorama builders.
#pragma once

#include "visual/visual_notebook_rules.h"

class panorama_internals;

// Deletes the plan's builders that exist, in the plan's order.
void delete_visual_builders(const visual_change_plan& plan);

// Creates the plan's builders in order: a plane's only when its slot is
// empty, the panorama always anew (written to RES_PANORAMA and, on the
// Panorama page or for panoramic data, redisplayed). Returns the new
// panorama, or null.
panorama_internals* create_visual_builders(const visual_change_plan& plan);
