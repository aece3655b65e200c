#include "medical/toolkit/wx_image_toolkit.h"

#include <wx/image.h>
#include <wx/log.h>

#include "medical/dicom_utility.h"

namespace {

// The five handlers, in the order in which they are asked about a file.
void register_handlers() {
  wxImage::CleanUpHandlers();
  wxImage::AddHandler(new wxBMPHandler);
  wxImage::AddHandler(new wxJPEGHandler);
  wxImage::AddHandler(new wxPNGHandler);
  wxImage::AddHandler(new wxTIFFHandler);
  wxImage::AddHandler(new wxPNMHandler);
}

class wx_image_toolkit : public image_toolkit_t {
 public:
  int image_count(const wxString& path) override {
    wxLogNull quiet;
    register_handlers();
    return wxImage::GetImageCount(path, wxBITMAP_TYPE_ANY);
  }
  bool load_rgb(const wxString& path, int page, int& width, int& height,
                std::vector<uint8_t>& rgb) override {
    wxLogNull quiet;
    register_handlers();
    wxImage image;
    if (!image.LoadFile(path, wxBITMAP_TYPE_ANY, page) || !image.IsOk()) return false;
    width = image.GetWidth();
    height = image.GetHeight();
    const unsigned char* data = image.GetData();
    if (!data || width < 1 || height < 1) return false;
    rgb.assign(data, data + size_t(width) * size_t(height) * 3);
    return true;
  }
};

}  // namespace

void install_toolkit_images() {
  static wx_image_toolkit kit;
  dicom_utility::image_toolkit = &kit;
}
