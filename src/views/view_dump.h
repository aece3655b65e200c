// Saving what a 2D view shows as an image file: the one routine behind the
// dump_window of the centre, corner and review views.
#pragma once

#include <functional>

#include <wx/bitmap.h>
#include <wx/string.h>

class wxGLCanvas;
class wxGLContext;
struct review_geometry;

// The image-file handler of a type the views save (BMP, TIFF, PNG, JPEG),
// added when missing; false for another type. The toolkit's list of handlers
// is shared by every reader of images and is never emptied.
bool view_image_handler(wxBitmapType type);

// Draws the view's scene once more with render (inside the painting flag,
// into the back buffer), reads the image area (visible width x height at
// the top left of the client area) and saves it through the save helper as
// a BMP, TIFF, PNG or JPEG (quality 95) file. False, with why set, when the
// view has no usable device context or nothing to save, the type is not one
// of these four, or the file cannot be written; an existing file is then left
// as it was. Logs nothing but the toolkit's debug line for an unusable
// context, "DC not OK in <view_name> dump": the caller reports the failure.
bool dump_view_window(wxGLCanvas& canvas, wxGLContext& context, const review_geometry& g,
                      const char* view_name, const std::function<void()>& render,
                      const wxString& file_name, wxBitmapType type, wxString* why = nullptr);
