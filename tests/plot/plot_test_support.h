// Shared helpers of the plot arithmetic tests.
#pragma once

#include "plot/plot_math.h"

// The density graph's window: 800 x 400, margins top 30, right 30, bottom 50, left 80.
inline mpView graph_view() {
  mpView v;
  v.width = 800;
  v.height = 400;
  v.top = 30;
  v.right = 30;
  v.bottom = 50;
  v.left = 80;
  return v;
}
