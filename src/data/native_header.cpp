// The native data file's own lines: comments, RES_DICOM_FRAME_LIST and the
// header test of RES_END_HEADER; and the attachment of every line procedure.
#include <wx/stream.h>

#include <climits>
#include <string>

#include "data/data_io_ui.h"
#include "data/data_line_procs.h"
#include "data/data_lines.h"
#include "data/native_file.h"
#include "registry/resource_table.h"

namespace {
void error(const wxString& text) { data_report(wxLOG_Error, text); }
}  // namespace

// ---- comments --------------------------------------------------------------

bool parse_comment(wxString& text) {
  auto* res = resource_table->RES_COMMENT;
  std::vector<wxString>* list = res->pending();
  list->push_back(text);
  res->write_no_changeprocs(list);
  return true;
}

bool write_out_comment(wxOutputStream& out) {
  std::string s;
  for (const wxString& c : *resource_table->RES_COMMENT->read()) {
    s += "# ";
    append_line_text(s, c);
    s += '\n';
  }
  if (write_bytes(out, s)) return true;
  error("Error writing out comment lines to ascii data file.");
  return false;
}

// ---- RES_DICOM_FRAME_LIST --------------------------------------------------

bool parse_dicom_frame_list(wxString& text) {
  word_reader words(text);
  std::vector<long>* list = resource_table->RES_DICOM_FRAME_LIST->pending();
  int32_t n;
  if (!words.next_int(n)) {
    error("Problem reading frame number in RES_DICOM_FRAME_LIST line");
    return false;
  }
  do {
    list->push_back(n);
  } while (words.next_int(n));
  return true;
}

bool write_out_dicom_frame_list(wxOutputStream& out) {
  const std::vector<long>* list = resource_table->RES_DICOM_FRAME_LIST->read();
  if (!list || list->empty()) return true;
  std::string s = "RES_DICOM_FRAME_LIST";
  for (long n : *list) {
    s += ' ';
    append_int(s, n);
  }
  s += '\n';
  if (write_bytes(out, s)) return true;
  error("Error writing out RES_DICOM_FRAME_LIST line to ascii data file.");
  return false;
}

// ---- RES_END_HEADER --------------------------------------------------------

// Checks and completes the header. What a missing line means is decided from
// the lines of this file, never from flags earlier writes may have left.
bool parse_end_header(wxString&) {
  resource_table_t& t = *resource_table;
  const native_read_context* ctx = active_native_read();
  auto in_file = [&](const base_res_t* r) { return !ctx || ctx->in_header(r); };

  if (!in_file(t.RES_BUF_RF)) t.RES_BUF_RF->write_no_changeprocs(false);
  if (!in_file(t.RES_BUF_DICOM)) t.RES_BUF_DICOM->write_no_changeprocs(false);
  if (t.RES_BUF_RF->pending()) {
    error("Norvelith can't load RF data, try Halmondo instead.\n");
    return false;
  }
  if (!in_file(t.RES_BUF_WIDTH) || !in_file(t.RES_BUF_HEIGHT)) {
    error(t.RES_BUF_DICOM->pending()
              ? "File specifies non-Norvelith image data, but either buf_width or buf_height is "
                "missing.\n"
              : "File specifies image data, but either buf_width or buf_height is missing.\n");
    return false;
  }

  const int32_t w = t.RES_BUF_WIDTH->pending();
  const int32_t h = t.RES_BUF_HEIGHT->pending();
  const int32_t f = t.RES_BUF_FRAMES->pending();
  if (w < 1 || h < 1) {
    error(
        wxString::Format("The RES_BUF_WIDTH and RES_BUF_HEIGHT lines give frames of %i x %i "
                         "pixels; both must be at least 1.\n",
                         w, h));
    return false;
  }
  const long long size = static_cast<long long>(w) * h;
  if (size > INT32_MAX) {
    error(
        wxString::Format("The RES_BUF_WIDTH and RES_BUF_HEIGHT lines give frames of %i x %i "
                         "pixels, more than the %i pixels a frame can hold.\n",
                         w, h, INT32_MAX));
    return false;
  }
  if (f < 0) {
    error(wxString::Format("The RES_BUF_FRAMES line gives a negative frame count (%i).\n", f));
    return false;
  }
  const int32_t s = static_cast<int32_t>(size);
  if (t.RES_FRAME_SIZE->read() != s || t.RES_FRAME_SIZE->pending() != s)
    t.RES_FRAME_SIZE->write_no_changeprocs(s);
  if (!in_file(t.RES_POS_REC)) t.RES_POS_REC->write_no_changeprocs(false);

  t.RES_END_HEADER->write_no_changeprocs();
  if (native_read_context* c = active_native_read()) c->header_done = true;
  return true;
}

// ---- installation ----------------------------------------------------------

void install_data_file_procs() {
  if (resource_table) install_data_file_procs(*resource_table);
}

void install_data_file_procs(resource_table_t& t) {
  const struct {
    base_res_t* resource;
    base_res_t::parse_proc_t parse;
    base_res_t::write_proc_t write;
  } procs[] = {
      {t.RES_END_HEADER, parse_end_header, nullptr},
      {t.RES_DICOM_FRAME_LIST, parse_dicom_frame_list, write_out_dicom_frame_list},
      {t.RES_COMMENT, parse_comment, write_out_comment},
      {t.CONT, parse_contour_dat, write_out_contour_dat},
      {t.OBJECT, parse_object_dat, write_out_object_dat},
      {t.VOLUME, parse_volume_dat, write_out_volume_dat},
      {t.RESLICE, parse_reslice, write_out_reslice},
      {t.CURVE, parse_curve_dat, write_out_curve_dat},
      {t.LANDMARK, parse_landmark_dat, write_out_landmark_dat},
      {t.FIDUCIAL, parse_fiducial_dat, write_out_fiducial_dat},
      {t.IM, parse_image_dat, write_out_image_dat},
      {t.RES_BIN_IM_FILENAME, parse_bin_im_filename, write_out_bin_im_filename},
  };
  for (const auto& p : procs) {
    p.resource->set_parse_proc(p.parse);
    p.resource->set_write_proc(p.write);
  }
}
