// Small value types of the application shell that resources hold.
#pragma once

#include <cstdint>

// The mouse tool held by RES_TOOL; toolbar tool 7412 plus the value.
enum tool_selection_t : int32_t {
  TOOL_DRAG = 0,
  TOOL_SELECT = 1,
  TOOL_MARK = 2,
  TOOL_DRAW = 3,
  TOOL_MEASURE = 4,
  TOOL_ERASE = 5,
  TOOL_DRAG_ZOOM = 6,
};

constexpr int32_t TOOL_COUNT = 7;

// The status-bar alert state held by RES_ALERT_COLOUR.
enum alert_t : int32_t {
  ALERT_NORMAL = 0,
};
