// Saving reslice and panorama images as RGB image files.
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>

#include <memory>
#include <new>

#include "data/data_line_procs.h"
#include "data/file_menu_export.h"
#include "data/file_menu_image_wx.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"

namespace {

// The toolkit's bitmap type numbers that the save dialogs pass.
frame_export_kind kind_of_bitmap_type(int type) {
  switch (type) {
    case 1:
      return FRAME_EXPORT_BMP;
    case 11:
      return FRAME_EXPORT_TIFF;
    case 15:
      return FRAME_EXPORT_PNG;
    case 17:
      return FRAME_EXPORT_JPEG;
    default:
      return FRAME_EXPORT_NATIVE;
  }
}

}  // namespace

static bool save_mapped_image(const uint8_t* image, int32_t w, int32_t h, const wxString& path, int bitmap_type,
                              const char* what) {
  const frame_export_kind kind = kind_of_bitmap_type(bitmap_type);
  if (kind == FRAME_EXPORT_NATIVE) {
    wxLogError("Unknown image file type %d for saving the %s image.", bitmap_type, what);
    return false;
  }
  if (!image || w <= 0 || h <= 0) {
    wxLogError("The %s image is not ready, so it was not saved.", what);
    return false;
  }
  std::unique_ptr<uint8_t[]> rgb(new (std::nothrow) uint8_t[static_cast<size_t>(w) * h * 3]);
  if (!rgb) {
    wxLogError("Error allocating buffer for saving %s image file.\n", what);
    return false;
  }
  map_frame_rgb(image, w, h, rgb.get());

  wxString why;
  bool ok;
  {
    wxLogNull quiet;
    ok = save_rgb_image_file(path, w, h, rgb.get(), kind, &why);
  }
  if (!ok) wxLogError("Error writing the %s image file \"%s\". %s", what, path, why);
  return ok;
}

bool reslice_internals::reslice_file_name_chosen(const wxString& path, int bitmap_type) {
  // A shared builder's image is current whenever it is valid; an image still
  // out of date has nothing worth saving.
  const uint8_t* image = plane_->index < 0 ? get_image() : (valid_ ? image_.data() : nullptr);
  return save_mapped_image(image, plane_->width, plane_->height, path, bitmap_type, "reslice");
}

bool panorama_internals::panorama_file_name_chosen(const wxString& path, int bitmap_type) {
  return save_mapped_image(get_image(), width_, height_, path, bitmap_type, "panorama");
}
