// The OpenGL views of the main window: the three 2D views and the 3D view.
#pragma once

#include "render3d/outline_canvas.h"
#include "views/centre_canvas.h"
#include "views/corner_canvas.h"
#include "views/gl_view_support.h"
#include "views/review_canvas.h"
