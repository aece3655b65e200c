// The custom line procedures of the native data file's header and keyword
// lines, and the state a native read or write shares with them.
//
// A parse procedure receives the rest of its line after the keyword and
// returns whether the line was taken (or deliberately skipped); a write
// procedure writes all lines of its kind to the file's output stream.
#pragma once

#include <wx/filename.h>
#include <wx/string.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class base_res_t;
class wxOutputStream;

// Header and file-level lines.
bool parse_comment(wxString& text);
bool write_out_comment(wxOutputStream& out);
bool parse_end_header(wxString& text);
bool parse_dicom_frame_list(wxString& text);
bool write_out_dicom_frame_list(wxOutputStream& out);

// Frame records and the frame file.
bool parse_image_dat(wxString& text);
bool write_out_image_dat(wxOutputStream& out);
bool parse_bin_im_filename(wxString& text);
bool write_out_bin_im_filename(wxOutputStream& out);

// Decimal text of a timestamp, and the digit rule that reads one back:
// characters before the first digit are skipped, the digits that follow are
// taken, the first non-digit after them ends the number. A number past 64
// bits is refused.
wxString ulong_to_wxString(uint64_t value);
bool parse_unsigned_digits(const wxString& text, uint64_t& value);

// Where the frame loader gets its buffers: null means no memory. Lets the
// handling of memory shortage be exercised; null restores the default.
using frame_allocator = uint8_t* (*)(size_t bytes);
void set_frame_allocator(frame_allocator allocator);

// Objects.
bool parse_contour_dat(wxString& text);
bool write_out_contour_dat(wxOutputStream& out);
bool parse_object_dat(wxString& text);
bool write_out_object_dat(wxOutputStream& out);
bool parse_volume_dat(wxString& text);
bool write_out_volume_dat(wxOutputStream& out);

// Reslice planes, curves, landmarks and fiducials.
bool parse_reslice(wxString& text);
bool write_out_reslice(wxOutputStream& out);
bool parse_curve_dat(wxString& text);
bool write_out_curve_dat(wxOutputStream& out);
bool parse_landmark_dat(wxString& text);
bool write_out_landmark_dat(wxOutputStream& out);
bool parse_fiducial_dat(wxString& text);
bool write_out_fiducial_dat(wxOutputStream& out);

// What a read of a native data file could not keep as the file had it: lines
// skipped with a warning, frames given up for lack of memory, frame records
// that were cut or read incompletely, and a frame file whose size is not the
// one the data file announces.
struct native_read_losses {
  int32_t ignored_lines = 0;
  int32_t first_ignored_line = 0;  // its number from 1, 0 when none
  int32_t frames_dropped = 0;
  int32_t incomplete_records = 0;
  int32_t frame_file_mismatches = 0;
  bool none() const {
    return ignored_lines == 0 && frames_dropped == 0 && incomplete_records == 0 &&
           frame_file_mismatches == 0;
  }
};

// State of the native read in progress. The header test and the lines that
// need the frame count ask it which header lines this very file contained,
// rather than flags that earlier writes may have left behind.
struct native_read_context {
  wxFileName path;
  std::vector<const base_res_t*> header_lines;  // header resources named by a line
  std::vector<const base_res_t*> body_lines;    // body resources named by a line
  bool header_done = false;
  bool frames_cut_for_memory = false;
  native_read_losses losses;
  // Look-up tables the line procedures build for this read, so that lines
  // in any order are placed without scanning the lists from the front.
  std::shared_ptr<void> contour_index, landmark_index;

  bool in_header(const base_res_t* r) const;
  bool in_body(const base_res_t* r) const;
};

// The read in progress, or null.
native_read_context* active_native_read();

// Puts the contours that the read's lines gave out of frame order in order;
// the reader calls it once the body is read (and the read's index does when
// it goes).
void finish_contour_lines(native_read_context& ctx);

class save_batch;

// State of the native write in progress: the frame file joins the data
// file's batch, so that both are put in place together.
struct native_write_context {
  save_batch* batch = nullptr;
};
native_write_context* active_native_write();

// Both are set by the reader and the writer for their duration.
class native_read_scope {
 public:
  explicit native_read_scope(native_read_context& ctx);
  ~native_read_scope();
  native_read_scope(const native_read_scope&) = delete;
  native_read_scope& operator=(const native_read_scope&) = delete;

 private:
  native_read_context* previous_;
};

class native_write_scope {
 public:
  explicit native_write_scope(native_write_context& ctx);
  ~native_write_scope();
  native_write_scope(const native_write_scope&) = delete;
  native_write_scope& operator=(const native_write_scope&) = delete;

 private:
  native_write_context* previous_;
};

// The name-and-extension part of a file name written on any system: split at
// both "/" and "\".
wxString file_name_part(const wxString& name);
