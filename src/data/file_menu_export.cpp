// Export specific frames: the range text, the native subset and the images.
#include "data/file_menu_export.h"

#include <wx/filename.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <list>
#include <memory>
#include <new>

#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "data/file_menu.h"
#include "data/file_menu_ui.h"
#include "data/landmarks.h"
#include "data/medical_source.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "data/surface_store.h"
#include "registry/resource_table.h"

const wchar_t* const export_frames_wildcard =
    L"Halmondo file|*.hm|Windows bitmap|*.bmp|PNG file|*.png|JPEG file|*.jpeg|TIFF file|*.tiff";

namespace {

void error(const wxString& text) { data_report(wxLOG_Error, text); }

frame_image_writer* installed_writer = nullptr;

void grey_mapper(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* rgb) {
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < n; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = pixels[i];
}

frame_rgb_mapper installed_mapper = &grey_mapper;

bool is_separator(wxUniChar c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';';
}

// Parts of text split at any of the separators, empty parts included.
template <class Separator>
std::vector<wxString> split(const wxString& text, Separator separator) {
  std::vector<wxString> parts(1);
  for (wxUniChar c : text) {
    if (separator(c))
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

// A whole decimal number filling the part; values beyond the 32-bit range
// count as the largest, which any clamping brings back into range.
bool whole_number(const wxString& part, int32_t& value) {
  if (part.empty()) return false;
  int64_t v = 0;
  for (wxUniChar c : part) {
    if (c < '0' || c > '9') return false;
    v = std::min<int64_t>(v * 10 + (c - '0'), INT32_MAX);
  }
  value = static_cast<int32_t>(v);
  return true;
}

// ---- the native subset -----------------------------------------------------

// Everything the subset changes, kept until the subset's file is written so
// that a failed write puts the data set back as it was.
class subset_undo {
 public:
  subset_undo() : changed_(RES_CLASS_DATA_HEADER | RES_CLASS_DATA_BODY) {
    resource_table_t& t = *resource_table;
    images_ = frame_store->images;
    positions_ = frame_store->positions;
    timestamps_ = frame_store->timestamps;
    const contour_object* objects = t.RES_OBJECT->read();
    for (int j = 0; j < NUM_USER_OBJECTS; ++j) contours_[j] = objects[j].frames;
    landmarks_ = t.RES_LANDMARKS->read()->items;
    frame_list_ = *t.RES_DICOM_FRAME_LIST->read();
    ascii_ = t.RES_ASCII_FILENAME->read();
    bin_im_ = t.RES_BIN_IM_FILENAME->read();
    xscale_ = t.RES_XSCALE->read();
    yscale_ = t.RES_YSCALE->read();
    span_ = t.RES_POS_MANUAL_SPAN->read();
    zscale_ = t.RES_ZSCALE->read();
    tran_ = t.RES_POS_MANUAL_TRAN->read();
    manual_ = t.RES_POS_MANUAL->read();
    current_ = t.RES_BUF_CURRENT_FRAME->read();
    frames_ = t.RES_BUF_FRAMES->read();
  }

  // Takes the surface of object j out of its resource, to delete once the
  // subset is saved or to put back.
  void take_surface(int j) {
    genflag_res_t<surface_interp*>* res = resource_table->RES_SURFACE[j];
    if (!res->read()) return;
    surfaces_.emplace_back(j, res->read());
    res->write_no_changeprocs(nullptr);
  }

  void commit() {
    for (auto& s : surfaces_) delete_surface(s.second);
    surfaces_.clear();
  }

  void roll_back(bool source_selected) {
    resource_table_t& t = *resource_table;
    frame_store->images = images_;
    frame_store->positions = positions_;
    frame_store->timestamps = timestamps_;
    contour_object* objects = t.RES_OBJECT->read();
    for (int j = 0; j < NUM_USER_OBJECTS; ++j) objects[j].frames = contours_[j];
    t.RES_LANDMARKS->read()->items = landmarks_;
    std::vector<long>* list = t.RES_DICOM_FRAME_LIST->read();
    *list = frame_list_;
    t.RES_DICOM_FRAME_LIST->write_no_changeprocs(list);
    if (source_selected)
      if (medical_source* source = current_medical_source()) source->undo_frame_selection();
    for (auto& s : surfaces_) t.RES_SURFACE[s.first]->write_no_changeprocs(s.second);
    surfaces_.clear();
    t.RES_ASCII_FILENAME->write_no_changeprocs(ascii_);
    t.RES_BIN_IM_FILENAME->write_no_changeprocs(bin_im_);
    t.RES_XSCALE->write_no_changeprocs(xscale_);
    t.RES_YSCALE->write_no_changeprocs(yscale_);
    t.RES_POS_MANUAL_SPAN->write_no_changeprocs(span_);
    t.RES_ZSCALE->write_no_changeprocs(zscale_);
    t.RES_POS_MANUAL_TRAN->write_no_changeprocs(tran_);
    t.RES_POS_MANUAL->write_no_changeprocs(manual_);
    t.RES_BUF_FRAMES->write_no_changeprocs(frames_);
    t.RES_BUF_CURRENT_FRAME->write_no_changeprocs(current_);
    t.OBJECT->write_no_changeprocs();
    t.CONT->write_no_changeprocs();
    t.LANDMARK->write_no_changeprocs();
    base_res_t::make_pending_writes_happen();
    changed_.restore();
    if (data_set_pages* pages = current_data_set_pages()) {
      pages->update_landmark_list();
      pages->show_frame_count(frames_);
    }
  }

 private:
  changed_flags_snapshot changed_;
  std::vector<frame_image_ref> images_;
  std::vector<position_ref> positions_;
  std::vector<uint64_t> timestamps_;
  std::list<frame_contours_t> contours_[NUM_USER_OBJECTS];
  std::vector<landmark_t> landmarks_;
  std::vector<long> frame_list_;
  std::vector<std::pair<int, surface_interp*>> surfaces_;
  wxFileName ascii_;
  wxString bin_im_;
  double xscale_ = 0.0, yscale_ = 0.0, span_ = 0.0, zscale_ = 0.0;
  int32_t tran_ = 0, current_ = 0, frames_ = 0;
  bool manual_ = false;
};

// 2D landmarks stand on a frame by number: they move with their frame to its
// new number, and leave with a frame that is not kept. True when any changed.
bool renumber_2d_landmarks(const std::vector<uint8_t>& chosen) {
  std::vector<int32_t> new_index(chosen.size(), -1);
  int32_t c = 0;
  for (size_t f = 0; f < chosen.size(); ++f)
    if (chosen[f]) new_index[f] = c++;
  std::vector<landmark_t>& items = resource_table->RES_LANDMARKS->read()->items;
  bool changed = false;
  for (size_t i = items.size(); i-- > 0;) {
    landmark_t& lm = items[i];
    if (lm.kind != LM_2D) continue;
    const double frame = std::round(lm.z);
    const int32_t to = frame >= 0 && frame < static_cast<double>(chosen.size())
                           ? new_index[static_cast<size_t>(frame)]
                           : -1;
    if (to < 0) {
      items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
      changed = true;
    } else if (lm.z != to) {
      lm.z = to;
      changed = true;
    }
  }
  return changed;
}

// The manual positions of a regular range: the span between the first and the
// last chosen frame, shared out over the chosen frames.
void update_manual_positions(const frame_selection& selection, int32_t frame_count) {
  resource_table_t& t = *resource_table;
  const std::vector<int32_t> frames = selection.frames();
  const int32_t c = static_cast<int32_t>(frames.size());
  if (!t.RES_POS_REC->read() || t.RES_POS_MANUAL_TRAN->read() != 1 ||
      t.RES_POS_MANUAL_ROT->read() != 0 || c <= 1)
    return;
  if (selection.single_range && frame_count > 1) {
    const double spacing = static_cast<double>(frames.back() - frames.front()) *
                           t.RES_POS_MANUAL_SPAN->read() /
                           (static_cast<double>(frame_count - 1) * static_cast<double>(c - 1));
    t.RES_POS_MANUAL_SPAN->write_no_changeprocs(spacing * (c - 1));
    t.RES_ZSCALE->write_no_changeprocs(spacing * 0.1);
  } else {
    t.RES_POS_MANUAL_SPAN->write_no_changeprocs(0.0);
    t.RES_POS_MANUAL_TRAN->write_no_changeprocs(0);
    t.RES_ZSCALE->write_no_changeprocs(0.0);
  }
}

}  // namespace

// ---- the range -------------------------------------------------------------

int32_t frame_selection::count() const {
  int32_t n = 0;
  for (uint8_t b : chosen) n += b ? 1 : 0;
  return n;
}

std::vector<int32_t> frame_selection::frames() const {
  std::vector<int32_t> list;
  for (size_t f = 0; f < chosen.size(); ++f)
    if (chosen[f]) list.push_back(static_cast<int32_t>(f));
  return list;
}

frame_selection parse_frame_range(const wxString& text, int32_t frame_count) {
  frame_selection s;
  const int32_t n = std::max(frame_count, 0);
  s.chosen.assign(static_cast<size_t>(n), 0);
  for (const wxString& item : split(text, is_separator)) {
    const std::vector<wxString> parts =
        split(item, [](wxUniChar c) { return c == '-' || c == ':'; });
    int32_t v[3];
    int numbers = 0;
    while (numbers < 3 && numbers < static_cast<int>(parts.size()) &&
           whole_number(parts[numbers], v[numbers]))
      ++numbers;
    if (numbers == 0) continue;
    if (numbers == 1) {
      if (v[0] < n) s.chosen[static_cast<size_t>(v[0])] = 1;
      s.single_range = false;
      continue;
    }
    const int32_t a = v[0];
    const int32_t step = numbers == 3 ? std::max(v[1], 1) : 1;
    const int32_t b = std::min(numbers == 3 ? v[2] : v[1], n - 1);
    for (int64_t f = a; f <= b; f += step) s.chosen[static_cast<size_t>(f)] = 1;
    if (!s.first_range) s.single_range = false;
    s.first_range = false;
    s.range_first = a;
    s.range_last = b;
  }
  return s;
}

// ---- the command -----------------------------------------------------------

const wchar_t* frame_export_extension(frame_export_kind kind) {
  static const wchar_t* const extensions[4] = {L"bmp", L"png", L"jpeg", L"tiff"};
  return kind >= FRAME_EXPORT_BMP && kind <= FRAME_EXPORT_TIFF ? extensions[kind - 1] : L"";
}

bool file_export_frames() {
  resource_table_t& t = *resource_table;
  file_menu_ui& ui = current_file_menu_ui();
  wxString text;
  if (!ui.ask_text("Export frame range",
                   "Frames to include in the export, for instance:\n\n   1,4,5        - frames 1, "
                   "4 and 5 only\n   2,10:40    - frame 2 and 10 to 40 inclusive\n   0:2:500    - "
                   "every other frame from 0 to 500",
                   wxString::Format("%li", static_cast<long>(t.RES_BUF_CURRENT_FRAME->read())),
                   text))
    return false;
  const frame_selection selection = parse_frame_range(text, t.RES_BUF_FRAMES->read());
  if (selection.count() == 0) {
    ui.show_message("Export specific frames",
                    "No valid frames in specified range - nothing to save!");
    return false;
  }

  file_dialog_request request;
  request.message = "Export specific frames as";
  request.folder = t.RES_ASCII_FILENAME->read().GetPath();
  request.wildcard = export_frames_wildcard;
  request.save = true;
  file_dialog_result chosen;
  if (!ui.choose_file(request, chosen)) return false;

  if (chosen.filter_index < FRAME_EXPORT_BMP || chosen.filter_index > FRAME_EXPORT_TIFF) {
    wxString groups;
    if (t.RES_BUF_FRAMES->read() > 0 &&
        base_res_t::describe_changed_groups(RES_CLASS_DATA_HEADER | RES_CLASS_DATA_BODY, groups) &&
        !ui.ask_ok_cancel("Ignore changes", "There are unsaved changes for:\n\n" + groups +
                                                "\nSelect OK to ignore these changes"))
      return false;
    return export_native_subset(selection, chosen.path);
  }
  return export_frame_images(selection, chosen.path,
                             static_cast<frame_export_kind>(chosen.filter_index));
}

// ---- the native subset -----------------------------------------------------

bool export_native_subset(const frame_selection& selection, const wxString& chosen_path) {
  resource_table_t& t = *resource_table;
  const int32_t frame_count = t.RES_BUF_FRAMES->read();
  const int32_t c = selection.count();
  if (c == 0 || static_cast<int32_t>(selection.chosen.size()) != frame_count) return false;

  wxString path = chosen_path;
  if (!wxFileName(path).GetFullName().Contains(".")) path += ".hm";
  const bool medical = t.RES_BUF_DICOM->read();
  const wxString companion = companion_path_for(path);
  if (!can_write_file(path) || (!medical && !can_write_file(companion))) {
    error("Error opening file for writing.\n");
    return false;
  }
  wxString image_reference;
  if (medical) {
    image_reference = image_reference_for(path);
    if (image_reference.empty()) return false;
  }

  subset_undo undo;
  t.RES_ASCII_FILENAME->write_no_changeprocs(wxFileName(path));
  t.RES_BIN_IM_FILENAME->write_no_changeprocs(medical ? image_reference
                                                      : wxFileName(companion).GetFullName());
  const std::vector<int32_t> kept = selection.frames();
  if (medical) {
    std::vector<long>* list = t.RES_DICOM_FRAME_LIST->read();
    std::vector<long> rebuilt;
    for (int32_t f : kept)
      rebuilt.push_back(list->empty() ? f
                                      : (static_cast<size_t>(f) < list->size() ? (*list)[f] : f));
    *list = rebuilt;
    t.RES_DICOM_FRAME_LIST->write_no_changeprocs(list);
    if (medical_source* source = current_medical_source()) source->select_frame_info(kept);
  }
  if (!frame_store->erase_unselected(selection.chosen)) {
    undo.roll_back(medical);
    return false;
  }
  contour_object* objects = t.RES_OBJECT->read();
  for (int j = 0; j < NUM_USER_OBJECTS; ++j) {
    objects[j].erase_unselected_frames(selection.chosen.data(), frame_count);
    undo.take_surface(j);
  }
  if (renumber_2d_landmarks(selection.chosen)) t.LANDMARK->write_no_changeprocs();
  t.OBJECT->write_no_changeprocs();
  t.CONT->write_no_changeprocs();
  update_manual_positions(selection, frame_count);
  t.RES_POS_MANUAL->write_no_changeprocs(false);
  t.RES_BUF_CURRENT_FRAME->write_no_changeprocs(0);
  t.RES_BUF_FRAMES->write_no_changeprocs(c);
  base_res_t::make_pending_writes_happen();
  data_set_pages* pages = current_data_set_pages();
  if (pages) {
    pages->update_landmark_list();
    pages->show_frame_count(c);
  }

  if (try_write_native_file(path)) {
    undo.commit();
    return true;
  }
  undo.roll_back(medical);
  error("The frames were not exported; the data set was left as it was.\n");
  return false;
}

// ---- images ----------------------------------------------------------------

wxString numbered_image_name(const wxString& path, int32_t frame, frame_export_kind kind) {
  const wxString number = wxString::Format("%04li.", static_cast<long>(frame));
  if (!wxFileName(path).GetFullName().Contains(".")) return path + number + frame_export_extension(kind);
  return path.BeforeLast('.') + number + path.AfterLast('.');
}

bool export_frame_images(const frame_selection& selection, const wxString& path,
                         frame_export_kind kind) {
  resource_table_t& t = *resource_table;
  const int32_t width = t.RES_BUF_WIDTH->read();
  const int32_t height = t.RES_BUF_HEIGHT->read();
  const std::vector<int32_t> frames = selection.frames();
  const int32_t c = static_cast<int32_t>(frames.size());
  if (c == 0) return false;
  frame_image_writer* writer = installed_writer;
  if (!writer) {
    error("Cannot write image files: this program has no image writer.\n");
    return false;
  }
  const size_t pixels = width > 0 && height > 0
                            ? static_cast<size_t>(width) * static_cast<size_t>(height)
                            : 0;
  std::unique_ptr<uint8_t[]> rgb(pixels ? new (std::nothrow) uint8_t[pixels * 3] : nullptr);
  if (!rgb) {
    error("Error allocating buffer for saving image file.\n");
    return false;
  }

  std::unique_ptr<data_progress> progress;
  if (c > 1)
    progress = current_data_ui().start_progress(
        "Export frame", wxString::Format("Currently exporting frame %li to '%s'.\n", 0L, path), c,
        data_io_ui::PROGRESS_MODAL | data_io_ui::PROGRESS_TIMES);
  bool all_written = true;
  for (int32_t k = 0; k < c; ++k) {
    const int32_t i = frames[k];
    const wxString name = c == 1 ? path : numbered_image_name(path, i, kind);
    if (progress)
      progress->update(k, wxString::Format("Currently exporting frame %li to '%s'.",
                                           static_cast<long>(i), name));
    frame_image_ref image = frame_store->imagecp(i);
    const uint8_t* data = frame_image_t::display_data(image);
    if (data && static_cast<size_t>(image->size) >= pixels)
      installed_mapper(data, width, height, rgb.get());
    else
      std::memset(rgb.get(), 0, pixels * 3);  // a frame without an image is written black
    if (!writer->write_rgb(name, width, height, rgb.get(), kind)) all_written = false;
    release_frame_image(image);
  }
  return all_written;
}

// ---- hooks -----------------------------------------------------------------

void set_frame_image_writer(frame_image_writer* writer) { installed_writer = writer; }
frame_image_writer* current_frame_image_writer() { return installed_writer; }

void map_frame_rgb(const uint8_t* pixels, int32_t width, int32_t height, uint8_t* rgb) {
  installed_mapper(pixels, width, height, rgb);
}

void set_frame_rgb_mapper(frame_rgb_mapper mapper) {
  installed_mapper = mapper ? mapper : &grey_mapper;
}
