// Drawing shared by the views of reslice planes (the centre and the corner
// view): the OpenGL set-up, the zoomed image through the display colour map
// and its way to the screen, and the toolkit's mouse events in the tools' form.
#pragma once

#include <cstdint>
#include <vector>

#include "views/review_geometry.h"
#include "views/review_tools.h"

class shader;
class wxColour;
class wxMouseEvent;
class wxString;

// The fixed-function state the views draw with, the clear colour, and on
// OpenGL 3.0 or later a texture for the framebuffer blit and the programs.
// texture is 0 without OpenGL 3; returns whether the OpenGL 3 path is taken.
bool plane_view_init_gl(shader* shaders, const wxColour& background, unsigned int& texture);

// The visible part of image (g.image_width x g.image_height bytes, row 0 at
// the top) through the display colour map into rgba, rows bottom-up; and
// into texture when there is one. False when there is nothing to show.
// A texture that fails to take the image is deleted (texture becomes 0).
bool plane_view_make_image(const uint8_t* image, const review_geometry& g,
                           std::vector<uint8_t>& rgba, unsigned int& texture);

// Puts the image at the top left of the client area: through a framebuffer
// blit from texture when it is not 0, else at a raster position.
void plane_view_put_image(const review_geometry& g, const std::vector<uint8_t>& rgba,
                          unsigned int texture);

// The toolkit's mouse event as the tools take it.
review_mouse_event plane_view_mouse_event(const wxMouseEvent& event);
