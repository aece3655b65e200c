// File > Export specific frames: chosen frames of the data set either as a
// native subset, which becomes the data set, or as numbered image files of the
// frames as displayed.
//
// Writing images needs the toolkit's image handlers, which the data model
// does not link: programs that export images install a frame_image_writer
// (file_menu_image_wx.h holds the toolkit's). The display colour map installs
// the mapping of frame pixels to RGB; until then frames are written in grey.
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <vector>

// The frames a range text chooses.
struct frame_selection {
  std::vector<uint8_t> chosen;  // one byte per frame, 1 for a chosen frame
  // The text held exactly one range item (a:b or a:s:b) and no single frame.
  bool single_range = true;
  bool first_range = true;
  int32_t range_first = 0, range_last = 0;  // clamped ends of the latest range item

  int32_t count() const;
  std::vector<int32_t> frames() const;  // the chosen frames, ascending
};

// Reads a range text such as "1,4,5", "2,10:40" or "0:2:500" for a data set
// of frame_count frames: items separated by blanks, "," or ";", numbers
// within an item by ":" or "-"; out-of-range ends are clamped.
frame_selection parse_frame_range(const wxString& text, int32_t frame_count);

// Filter indices of the export dialog, which decide the outcome.
enum frame_export_kind : int {
  FRAME_EXPORT_NATIVE = 0,
  FRAME_EXPORT_BMP = 1,
  FRAME_EXPORT_PNG = 2,
  FRAME_EXPORT_JPEG = 3,
  FRAME_EXPORT_TIFF = 4,
};
extern const wchar_t* const export_frames_wildcard;
// "bmp", "png", "jpeg", "tiff" for the four image kinds.
const wchar_t* frame_export_extension(frame_export_kind kind);

// The whole command: the range, the file, the unsaved-changes question for a
// native subset, then one of the two exports. True when something was written.
bool file_export_frames();

// Cuts the data set down to the chosen frames and saves it at path (".hm"
// added to a name without a dot), which becomes the current data file. The
// data set is changed only once the file is written: a failure leaves it as
// it was.
bool export_native_subset(const frame_selection& selection, const wxString& path);

// Writes each chosen frame as displayed to an image file: to path itself for
// one frame, else to path with the frame number inserted before the
// extension. The data set does not change. False when some image was not
// written.
bool export_frame_images(const frame_selection& selection, const wxString& path,
                         frame_export_kind kind);

// The file name of frame of an export of several frames to path.
wxString numbered_image_name(const wxString& path, int32_t frame, frame_export_kind kind);

// ---- hooks -----------------------------------------------------------------

class frame_image_writer {
 public:
  virtual ~frame_image_writer() = default;
  // Writes width x height RGB pixels (row after row) as an image of kind;
  // false when the file was not written.
  virtual bool write_rgb(const wxString& path, int32_t width, int32_t height, uint8_t* rgb,
                         frame_export_kind kind) = 0;
};
void set_frame_image_writer(frame_image_writer* writer);
frame_image_writer* current_frame_image_writer();

// Maps width x height 8-bit frame pixels to RGB as the views display them.
using frame_rgb_mapper = void (*)(const uint8_t* pixels, int32_t width, int32_t height,
                                  uint8_t* rgb);
// Null restores the grey mapping.
void set_frame_rgb_mapper(frame_rgb_mapper mapper);
// Maps through the installed mapper; for every export of 8-bit images.
void map_frame_rgb(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* rgb);
