// The numbers the 2D views and their mouse tools test: the tools are
// tool_selection_t (the value of RES_TOOL: TOOL_DRAG .. TOOL_DRAG_ZOOM), and
// these task and visualisation pages change what a tool does or a view draws.
#pragma once

#include <cstdint>

#include "registry/app_types.h"

// RES_CURRENT_TASK_PAGE
constexpr int32_t kFitModelTaskPage = 1;
constexpr int32_t kThicknessTaskPage = 3;
constexpr int32_t kSpineTaskPage = 6;

// RES_CURRENT_VISUAL_PAGE
constexpr int32_t kVolumeVisualPage = 3;
constexpr int32_t kThicknessVisualPage = 4;
