// Saving a reslice image as an RGB image file.
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>

#include <memory>
#include <new>

#include "data/data_line_procs.h"
#include "data/file_menu_export.h"
#include "data/file_menu_image_wx.h"
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

bool reslice_internals::reslice_file_name_chosen(const wxString& path, int bitmap_type) {
  const frame_export_kind kind = kind_of_bitmap_type(bitmap_type);
  if (kind == FRAME_EXPORT_NATIVE) {
    wxLogError("Unknown image file type %d for saving the reslice image.", bitmap_type);
    return false;
  }
  // A shared builder's image is current whenever it is valid; an image still
  // out of date has nothing worth saving.
  const uint8_t* image = plane_->index < 0 ? get_image() : (valid_ ? image_.data() : nullptr);
  if (!image) {
    wxLogError("The reslice image is not ready, so it was not saved.");
    return false;
  }
  const int32_t w = plane_->width, h = plane_->height;
  std::unique_ptr<uint8_t[]> rgb(new (std::nothrow) uint8_t[static_cast<size_t>(w) * h * 3]);
  if (!rgb) {
    wxLogError("Error allocating buffer for saving reslice image file.\n");
    return false;
  }
  map_frame_rgb(image, w, h, rgb.get());

  // Written beside the target and renamed over it once complete.
  const wxString temp = create_file_beside(path);
  if (temp.empty()) {
    wxLogError("Cannot create a file in the folder of \"%s\"; the reslice image was not saved.", path);
    return false;
  }
  wx_frame_image_writer writer;
  bool ok;
  {
    wxLogNull quiet;
    ok = writer.write_rgb(temp, w, h, rgb.get(), kind) && wxRenameFile(temp, path, true);
  }
  if (!ok) {
    wxLogNull quiet;
    wxRemoveFile(temp);
    wxLogError("Error writing the reslice image file \"%s\".", path);
  }
  return ok;
}
