// TIFF files and stacks of ordinary images. Grey 8- and 16-bit TIFF pages
// are read through libtiff with their exact values; every other image goes
// through the toolkit's decoders and is reduced to 8-bit grey. Every frame
// of a data set must have the size the probe (or the first frame) found.
#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <vector>

#include <wx/log.h>
#include <wx/tokenzr.h>

#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "registry/res_values.h"

namespace {

// Frame size of the current data set; 0 while unknown.
int64_t image_frame_pixels = 0;
// Set by a probe so that the following read of frame 0 keeps the size.
bool image_size_from_probe = false;

const char kCtMarker[] = "wxVolum KTQD CT Data";
constexpr int64_t kMaxPixels = int64_t(INT32_MAX) / 2;

void warn(const wxFileName& name, const wxString& what) {
  wxLogWarning("dicom_utility::read_image_data: %s: %s", name.GetFullPath(), what);
}

// What one call found out about the image.
struct image_facts_t {
  int64_t width = 0;
  int64_t height = 0;
  double pixel_x = 0.01;  // centimetres
  double pixel_y = 0.01;
  double centre = 127;
  double window = 256;
  int pages = 1;
  bool multi_page = false;
  position_t location;
};

bool sizes_usable(int64_t w, int64_t h) { return w >= 1 && h >= 1 && w * h <= kMaxPixels; }

// The size check of a frame read: the first frame of a data set fixes it.
bool frame_size_matches(int64_t pixels) {
  if (image_frame_pixels == 0) image_frame_pixels = pixels;
  return image_frame_pixels == pixels;
}

void set_frame_slot(int frame, const position_t& loc, const image_facts_t& f) {
  auto& info = dicom_utility::frame_file_info;
  if (!info.ensure(frame)) return;
  info.location[size_t(frame)] = loc;
  info.pixel_size_x[size_t(frame)] = f.pixel_x * 10.0;
  info.pixel_size_y[size_t(frame)] = f.pixel_y * 10.0;
}

bool is_tiff_file(const wxString& path) {
  wxLogNull quiet;
  FILE* f = std::fopen(path.fn_str(), "rb");
  if (!f) return false;
  unsigned char b[4] = {0, 0, 0, 0};
  const bool got = std::fread(b, 1, 4, f) == 4;
  std::fclose(f);
  if (!got) return false;
  return (b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
         (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42);
}

struct tiff_closer {
  TIFF* t;
  ~tiff_closer() {
    if (t) TIFFClose(t);
  }
};

// Pixel sizes from the resolution tags, read only when present: a file
// without them keeps the 0.01 cm default.
void read_resolution(TIFF* t, image_facts_t& f) {
  float xr = 10.0f, yr = 10.0f;
  const bool have_x = TIFFGetField(t, TIFFTAG_XRESOLUTION, &xr) == 1;
  const bool have_y = TIFFGetField(t, TIFFTAG_YRESOLUTION, &yr) == 1;
  if (!have_x && !have_y) return;
  uint16_t unit = RESUNIT_CENTIMETER;
  TIFFGetField(t, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (!(xr > 0.0f) || !(yr > 0.0f) || !std::isfinite(xr) || !std::isfinite(yr)) {
    f.pixel_x = f.pixel_y = 0.1;
  } else if (unit == RESUNIT_CENTIMETER) {
    f.pixel_x = 1.0 / xr;
    f.pixel_y = 1.0 / yr;
  } else if (unit == RESUNIT_INCH) {
    f.pixel_x = 2.54 / xr;
    f.pixel_y = 2.54 / yr;
  }
}

// Six comma-separated numbers: x, y, z in millimetres, then three angles.
bool parse_page_name(const char* text, position_t& loc) {
  wxStringTokenizer tok(wxString::FromUTF8(text), ",", wxTOKEN_RET_EMPTY_ALL);
  double v[6];
  for (double& d : v) {
    if (!tok.HasMoreTokens()) return false;
    wxString field = tok.GetNextToken();
    field.Trim(true).Trim(false);
    if (!field.ToCDouble(&d)) return false;
  }
  loc.x = float(v[0] / 10.0);
  loc.y = float(v[1] / 10.0);
  loc.z = float(v[2] / 10.0);
  loc.azimuth = float(v[3]);
  loc.elevation = float(v[4]);
  loc.roll = float(v[5]);
  return true;
}

// Copies one row of samples into the frame: 8-bit to display bytes (signed
// ones moved up by 128), 16-bit to raw values (signed ones moved up by 32768).
void copy_row(const unsigned char* src, int64_t count, int bits, bool is_signed, uint8_t* display,
              uint16_t* raw) {
  if (bits == 8) {
    for (int64_t x = 0; x < count; ++x)
      display[x] = is_signed ? uint8_t(int(int8_t(src[x])) + 128) : src[x];
    return;
  }
  for (int64_t x = 0; x < count; ++x) {
    uint16_t v;
    std::memcpy(&v, src + 2 * x, 2);
    raw[x] = is_signed ? uint16_t(int(int16_t(v)) + 32768) : v;
  }
}

// Reads the current page row by row or tile by tile; false at the first
// strip or tile that cannot be read, so that a damaged page never loads
// with stale pixels.
bool read_pixels(TIFF* t, const image_facts_t& f, int bits, bool is_signed, uint8_t* display,
                 uint16_t* raw) {
  const int64_t bytes = bits / 8;
  const size_t w = size_t(f.width);
  if (TIFFIsTiled(t)) {
    uint32_t tw = 0, th = 0;
    if (!TIFFGetField(t, TIFFTAG_TILEWIDTH, &tw) || !TIFFGetField(t, TIFFTAG_TILELENGTH, &th) ||
        tw == 0 || th == 0)
      return false;
    const tmsize_t tile_size = TIFFTileSize(t);
    if (tile_size < tmsize_t(int64_t(tw) * th * bytes)) return false;
    std::vector<unsigned char> tile(static_cast<size_t>(tile_size));
    for (int64_t ty = 0; ty < f.height; ty += th)
      for (int64_t tx = 0; tx < f.width; tx += tw) {
        if (TIFFReadTile(t, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0) < 0) return false;
        const int64_t cols = std::min<int64_t>(tw, f.width - tx);
        const int64_t rows = std::min<int64_t>(th, f.height - ty);
        for (int64_t r = 0; r < rows; ++r) {
          const size_t at = size_t(ty + r) * w + size_t(tx);
          copy_row(&tile[size_t(r * tw * bytes)], cols, bits, is_signed,
                   display ? display + at : nullptr, raw ? raw + at : nullptr);
        }
      }
    return true;
  }
  const tmsize_t line = TIFFScanlineSize(t);
  if (line < tmsize_t(f.width * bytes)) return false;
  std::vector<unsigned char> row(static_cast<size_t>(line));
  for (int64_t y = 0; y < f.height; ++y) {
    if (TIFFReadScanline(t, row.data(), uint32_t(y), 0) != 1) return false;
    const size_t at = size_t(y) * w;
    copy_row(row.data(), f.width, bits, is_signed, display ? display + at : nullptr,
             raw ? raw + at : nullptr);
  }
  return true;
}

enum class direct_result { not_grey, done, failed };

// The direct libtiff path for grey 8- and 16-bit pages.
direct_result read_grey_tiff(const wxFileName& resolved, int frame, int index, int pages,
                             uint16_t* raw, uint8_t* display, position_t* position,
                             image_facts_t& f, int& result) {
  TIFFSetWarningHandler(nullptr);
  TIFFSetErrorHandler(nullptr);
  tiff_closer tc{TIFFOpen(resolved.GetFullPath().fn_str(), "r")};
  TIFF* t = tc.t;
  if (!t) return direct_result::not_grey;

  const bool reading = frame >= 0 && (raw || display);
  if (pages == 1) {
    if (reading) {
      for (int k = 0; k < index; ++k)
        if (!TIFFReadDirectory(t)) break;  // past the last page: the last page
    } else {
      int count = 1;
      while (count < 65536 && TIFFReadDirectory(t)) ++count;
      f.pages = count;
      f.multi_page = count > 1;
      TIFFSetDirectory(t, 0);
    }
  }

  read_resolution(t, f);
  uint16_t bits = 1, spp = 1, photometric = 1, format = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(t, TIFFTAG_SAMPLEFORMAT, &format);
  if ((bits != 8 && bits != 16) || spp != 1 || photometric > 1 ||
      (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_INT))
    return direct_result::not_grey;
  const bool is_signed = format == SAMPLEFORMAT_INT;

  uint32_t w = 0, h = 0;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  if (!sizes_usable(w, h)) {
    warn(resolved, wxString::Format("the image size %u x %u is not usable.", w, h));
    result = -1;
    return direct_result::failed;
  }
  f.width = w;
  f.height = h;

  double intercept = 0.0;
  if (bits == 8) {
    f.centre = 127;
    f.window = 256;
    if (is_signed) intercept = -128.0;
  } else {
    f.centre = 10000;
    f.window = 20000;
    // The sample range of tags 280 and 281, when the file gives both.
    uint16_t lo = 0, hi = 0;
    if (TIFFGetField(t, TIFFTAG_MINSAMPLEVALUE, &lo) == 1 &&
        TIFFGetField(t, TIFFTAG_MAXSAMPLEVALUE, &hi) == 1) {
      f.centre = (double(lo) + double(hi)) / 2;
      f.window = double(hi) - double(lo);
    }
    if (is_signed) intercept = -32768.0;
  }
  dicom_utility::file_rescale = {1.0, intercept};
  dicom_utility::source_type = "TIFF";
  dicom_utility::value_units = "??";
  dicom_utility::patient_coordinates = false;

  const char* description = nullptr;
  if (TIFFGetField(t, TIFFTAG_IMAGEDESCRIPTION, &description) == 1 && description &&
      std::strcmp(description, kCtMarker) == 0) {
    // Raw values are Hounsfield units plus 32768.
    dicom_utility::file_rescale.intercept = -32768.0;
    dicom_utility::value_units = "HU";
    f.centre += -32768.0;
    const char* page_name = nullptr;
    position_t loc;
    if (TIFFGetField(t, TIFFTAG_PAGENAME, &page_name) == 1 && page_name &&
        parse_page_name(page_name, loc)) {
      dicom_utility::locations_from_file = true;
      dicom_utility::patient_coordinates = true;
      f.location = loc;
    }
  }

  if (!reading) return direct_result::done;
  if (!frame_size_matches(f.width * f.height)) {
    result = -1;
    return direct_result::failed;
  }
  dicom_utility::data_16bit = true;
  dicom_utility::padding_value = 0;
  dicom_utility::slice_thickness = 0;
  const position_t loc = dicom_utility::locations_from_file ? f.location : position_t{};
  if (dicom_utility::locations_from_file && position) *position = loc;
  set_frame_slot(frame, loc, f);
  uint16_t* raw_out = nullptr;
  uint8_t* display_out = nullptr;
  if (bits == 8) {
    dicom_utility::data_8bit = true;
    display_out = display;
  } else {
    dicom_utility::data_8bit = false;
    raw_out = raw;
  }
  if ((!raw_out && !display_out) ||
      !read_pixels(t, f, bits, is_signed, display_out, raw_out)) {
    warn(resolved, wxString::Format("page %d could not be read.", index));
    result = -1;
    return direct_result::failed;
  }
  return direct_result::done;
}

// Every other image, through the toolkit, as (R + G + B) / 3.
bool read_toolkit_image(const wxFileName& resolved, int frame, int index, int pages,
                        uint8_t* display, image_facts_t& f, int& result) {
  image_toolkit_t* kit = dicom_utility::image_toolkit;
  if (!kit) return false;
  const wxString path = resolved.GetFullPath();
  if (pages == 1) {
    f.pages = kit->image_count(path);
    f.multi_page = f.pages > 1;
    if (f.pages < 1) f.pages = 1;
  }
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  if (!kit->load_rgb(path, f.multi_page ? index : 0, w, h, rgb)) return false;
  if (!sizes_usable(w, h) || rgb.size() < size_t(w) * size_t(h) * 3) {
    warn(resolved, wxString::Format("the image size %d x %d is not usable.", w, h));
    result = -1;
    return true;
  }
  f.width = w;
  f.height = h;
  f.centre = 127;
  f.window = 256;
  dicom_utility::file_rescale = {1.0, 0.0};
  dicom_utility::source_type = "Image";
  dicom_utility::value_units = "??";
  if (frame >= 0 && display) {
    if (!frame_size_matches(f.width * f.height)) {
      result = -1;
      return true;
    }
    dicom_utility::locations_from_file = false;
    dicom_utility::patient_coordinates = false;
    dicom_utility::data_16bit = true;
    dicom_utility::data_8bit = true;
    dicom_utility::padding_value = 0;
    dicom_utility::slice_thickness = 0;
    set_frame_slot(frame, position_t{}, f);
    const size_t n = size_t(w) * size_t(h);
    for (size_t k = 0; k < n; ++k)
      display[k] = uint8_t((int(rgb[3 * k]) + rgb[3 * k + 1] + rgb[3 * k + 2]) / 3);
  }
  return true;
}

// Pending writes that happen only when the value differs from the
// resource's current or pending one.
template <class R, class V>
void write_if_changed(const wchar_t* name, const V& value) {
  auto* r = find_resource<R>(name);
  if (!r) return;
  if (r->pending() == value && r->read() == value) return;
  r->write_no_changeprocs(value);
}

void write_probe(const wxFileName& caller, const image_facts_t& f) {
  if (image_frame_pixels == 0) image_frame_pixels = f.width * f.height;
  write_if_changed<bool_res_t>(L"RES_BUF_DICOM", true);
  write_if_changed<long_res_t>(L"RES_BUF_WIDTH", int32_t(f.width));
  write_if_changed<long_res_t>(L"RES_BUF_HEIGHT", int32_t(f.height));
  write_if_changed<bool_res_t>(L"RES_POS_REC", dicom_utility::locations_from_file);
  write_if_changed<genflag_res_t<wxString>>(L"RES_BIN_IM_FILENAME", caller.GetFullPath());
  write_if_changed<double_res_t>(L"RES_XSCALE", f.pixel_x);
  write_if_changed<double_res_t>(L"RES_YSCALE", f.pixel_y);
  for (const wchar_t* r : {L"RES_XTRANS", L"RES_YTRANS", L"RES_ZTRANS", L"RES_AZIMUTH",
                           L"RES_ELEVATION", L"RES_ROLL"})
    write_if_changed<double_res_t>(r, 0.0);
  write_if_changed<double_res_t>(L"RES_DICOM_WIN_CENTRE", f.centre);
  write_if_changed<double_res_t>(L"RES_DICOM_WIN_WIDTH", f.window);
  write_if_changed<double_res_t>(L"RES_DICOM_HUM", dicom_utility::file_rescale.slope);
  write_if_changed<double_res_t>(L"RES_DICOM_HUB", dicom_utility::file_rescale.intercept);
  write_if_changed<wxString_res_t>(L"RES_DICOM_UNITS", dicom_utility::value_units);
  if (f.multi_page) {
    write_if_changed<long_res_t>(L"RES_BUF_FRAMES", int32_t(f.pages));
    // Frame indices select pages of this file, never other files whose
    // names hold the next numbers.
    reader_state().multi_frame_file = true;
  }
}

void add_to_series(const wxFileName& caller, int index, const image_facts_t& f) {
  data_series_t s;
  s.file = caller;
  s.is_dicom = false;
  s.multi_frame = f.multi_page;
  s.first_index = index;
  s.frame_count = f.multi_page ? f.pages : 1;
  s.width = int(f.width);
  s.height = int(f.height);
  s.pixel_spacing_x = f.pixel_x;
  s.pixel_spacing_y = f.pixel_y;
  const wxString dir = caller.GetPath(wxPATH_GET_VOLUME);
  for (data_series_t& e : dicom_utility::series_list)
    if (e.height == s.height && e.width == s.width && e.pixel_spacing_x == s.pixel_spacing_x &&
        e.pixel_spacing_y == s.pixel_spacing_y && e.file.GetPath(wxPATH_GET_VOLUME) == dir) {
      ++e.frame_count;
      return;
    }
  dicom_utility::series_list.push_back(s);
}

}  // namespace

int dicom_utility::read_image_data(wxFileName caller_name, wxFileName resolved_name, int frame,
                                   int index, int pages, uint16_t* raw, uint8_t* display,
                                   position_t* position) {
  // libtiff's handlers are off and the toolkit works under wxLogNull, so
  // files of other formats pass without messages.
  if (frame == -1) {
    image_frame_pixels = 0;
    image_size_from_probe = true;
  } else if (frame == 0) {
    if (!image_size_from_probe) image_frame_pixels = 0;
    image_size_from_probe = false;
  }
  locations_from_file = false;

  image_facts_t f;
  int result = 0;
  bool handled = false;
  if (is_tiff_file(resolved_name.GetFullPath())) {
    image_facts_t grey;
    switch (read_grey_tiff(resolved_name, frame, index, pages, raw, display, position, grey,
                           result)) {
      case direct_result::failed:
        return result;
      case direct_result::done:
        f = grey;
        handled = true;
        break;
      case direct_result::not_grey:
        // The toolkit path keeps the pixel sizes of the resolution tags.
        f.pixel_x = grey.pixel_x;
        f.pixel_y = grey.pixel_y;
        break;
    }
  }
  if (!handled) {
    if (!read_toolkit_image(resolved_name, frame, index, pages, display, f, result)) return 0;
    if (result < 0) return result;
  }

  if (frame >= 0 && (raw || display)) return int(f.width * f.height);
  if (frame == -2)
    add_to_series(caller_name, index, f);
  else
    write_probe(caller_name, f);
  return int(f.width * f.height);
}
