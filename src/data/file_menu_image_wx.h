// The toolkit's writer of exported frame images, for programs that link the
// toolkit's core library (the main window, nv_tool); the data model itself
// links wxBase only, so this stays out of its library.
//
// Each save names its image type, and a handler missing for that type is
// added: the toolkit's list of handlers, which every other reader and writer
// of images in the program shares, is never emptied.
#pragma once

#include <wx/image.h>
#include <wx/mstream.h>

#include <string>

#include "data/file_menu_export.h"
#include "data/file_save.h"

class wx_frame_image_writer final : public frame_image_writer {
 public:
  bool write_rgb(wxOutputStream& out, int32_t width, int32_t height, uint8_t* rgb,
                 frame_export_kind kind) override {
    const wxBitmapType type = bitmap_type(kind);
    if (type == wxBITMAP_TYPE_INVALID || width <= 0 || height <= 0) return false;
    if (!wxImage::FindHandler(type)) add_handler(kind);
    // Over the caller's buffer, without a copy; the image never frees it.
    wxImage image(width, height, rgb, true);
    if (kind == FRAME_EXPORT_JPEG) image.SetOption(wxIMAGE_OPTION_QUALITY, 95);
    return image.SaveFile(out, type) && out.IsOk();
  }

  static wxBitmapType bitmap_type(frame_export_kind kind) {
    switch (kind) {
      case FRAME_EXPORT_BMP:
        return wxBITMAP_TYPE_BMP;
      case FRAME_EXPORT_PNG:
        return wxBITMAP_TYPE_PNG;
      case FRAME_EXPORT_JPEG:
        return wxBITMAP_TYPE_JPEG;
      case FRAME_EXPORT_TIFF:
        return wxBITMAP_TYPE_TIFF;
      default:
        return wxBITMAP_TYPE_INVALID;
    }
  }

 private:
  static void add_handler(frame_export_kind kind) {
    switch (kind) {
      case FRAME_EXPORT_BMP:
        wxImage::AddHandler(new wxBMPHandler);
        break;
      case FRAME_EXPORT_PNG:
        wxImage::AddHandler(new wxPNGHandler);
        break;
      case FRAME_EXPORT_JPEG:
        wxImage::AddHandler(new wxJPEGHandler);
        break;
      case FRAME_EXPORT_TIFF:
        wxImage::AddHandler(new wxTIFFHandler);
        break;
      default:
        break;
    }
  }
};

// Saves one RGB image as the whole of path through the save helper: encoded
// in memory first (the TIFF writer seeks in its output), then written beside
// the target and renamed over it. False with *why set on failure.
inline bool save_rgb_image_file(const wxString& path, int32_t width, int32_t height, uint8_t* rgb,
                                frame_export_kind kind, wxString* why = nullptr) {
  wxMemoryOutputStream out;
  wx_frame_image_writer writer;
  if (!writer.write_rgb(out, width, height, rgb, kind) || out.GetLength() == 0) {
    if (why) *why = wxString::Format("The image for \"%s\" could not be encoded.", path);
    return false;
  }
  std::string bytes(out.GetLength(), '\0');
  out.CopyTo(&bytes[0], bytes.size());
  return save_file(path, bytes, why);
}

// Saves a view's image as the whole of path through the save helper, encoded
// in memory first. False with *why set on failure.
inline bool save_wx_image_file(const wxString& path, const wxImage& image, wxBitmapType type,
                               wxString* why = nullptr) {
  wxMemoryOutputStream out;
  if (!image.SaveFile(out, type) || out.GetLength() == 0) {
    if (why) *why = wxString::Format("The image for \"%s\" could not be encoded.", path);
    return false;
  }
  std::string bytes(out.GetLength(), '\0');
  out.CopyTo(&bytes[0], bytes.size());
  return save_file(path, bytes, why);
}
