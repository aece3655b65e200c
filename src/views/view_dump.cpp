#include <GL/glew.h>

#include "views/view_dump.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include <wx/dcclient.h>
#include <wx/glcanvas.h>
#include <wx/image.h>
#include <wx/log.h>

#include "data/file_menu_image_wx.h"
#include "views/gl_view_support.h"
#include "views/review_geometry.h"

bool view_image_handler(wxBitmapType type) {
  if (wxImage::FindHandler(type)) return true;
  switch (type) {
    case wxBITMAP_TYPE_BMP:
      wxImage::AddHandler(new wxBMPHandler);
      return true;
    case wxBITMAP_TYPE_TIFF:
      wxImage::AddHandler(new wxTIFFHandler);
      return true;
    case wxBITMAP_TYPE_PNG:
      wxImage::AddHandler(new wxPNGHandler);
      return true;
    case wxBITMAP_TYPE_JPEG:
      wxImage::AddHandler(new wxJPEGHandler);
      return true;
    default:
      return false;
  }
}

bool dump_view_window(wxGLCanvas& canvas, wxGLContext& context, const review_geometry& g,
                      const char* view_name, const std::function<void()>& render,
                      const wxString& file_name, wxBitmapType type, wxString* why) {
  wxClientDC dc(&canvas);
  if (!dc.IsOk() || !canvas.SetCurrent(context)) {
    wxLogDebug("DC not OK in %s dump", view_name);
    if (why) *why = "The view cannot be read.";
    return false;
  }
  const int32_t w = g.visible_width, h = g.visible_height;
  if (w < 1 || h < 1) {
    if (why) *why = "The view shows no image.";
    return false;
  }
  if (type != wxBITMAP_TYPE_BMP && type != wxBITMAP_TYPE_TIFF && type != wxBITMAP_TYPE_PNG &&
      type != wxBITMAP_TYPE_JPEG) {
    if (why) *why = "Views are saved as BMP, TIFF, PNG or JPEG images only.";
    return false;
  }
  // Drawn again into the back buffer and read there: the front buffer of a
  // software context does not always hold what is shown.
  {
    gl_painting_scope painting;
    render();
  }
  glFinish();
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  // The image sits at the top left; a display lower than the client area
  // leaves its lowest row above the window's bottom.
  const int32_t y = g.client_height < g.display_height ? 0 : g.client_height - g.display_height;
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
  glReadPixels(0, std::max(0, y), w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  wxImage image(w, h);
  for (int32_t r = 0; r < h; ++r)
    std::copy_n(&pixels[static_cast<size_t>(h - 1 - r) * w * 3], w * 3,
                image.GetData() + static_cast<size_t>(r) * w * 3);
  if (type == wxBITMAP_TYPE_JPEG) image.SetOption(wxIMAGE_OPTION_QUALITY, 95);
  if (!view_image_handler(type)) return false;
  wxLogNull quiet;  // the toolkit's own complaints would open a box: the caller reports
  return save_wx_image_file(file_name, image, type, why);
}
