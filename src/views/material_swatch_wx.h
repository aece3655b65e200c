// The material swatch as the toolkit's image (RGB with an alpha channel);
// the bitmap that controls show is made from it by
// globcmap_t::material_sphere_bitmap.
#pragma once

#include <wx/colour.h>
#include <wx/gdicmn.h>
#include <wx/image.h>

// An invalid image for a size below 1 pixel or beyond the swatch's limit.
wxImage material_sphere_image(const wxSize& size, const wxColour& colour, double metallic,
                              double roughness, double anisotropy);
