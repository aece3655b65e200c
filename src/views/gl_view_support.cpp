#include "views/gl_view_support.h"

int* gl_attributes = nullptr;
bool gl_view_painting = false;
