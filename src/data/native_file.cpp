// Reading and writing the native data file as a whole: the read under held
// writes with its single commit, and the write beside the target files.
#include "data/native_file.h"

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/stream.h>
#include <wx/utils.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "data/convert.h"
#include "data/data_io_ui.h"
#include "data/data_lines.h"
#include "data/data_reset.h"
#include "data/dynabuf.h"
#include "data/file_save.h"
#include "data/medical_source.h"
#include "data/native_text.h"
#include "registry/resource_table.h"

namespace {

native_read_context* read_ctx = nullptr;
native_write_context* write_ctx = nullptr;
native_read_losses last_losses;
std::vector<const base_res_t*> last_body_lines;

void error(const wxString& text) { data_report(wxLOG_Error, text); }

bool blank(const wxString& line) {
  for (wxUniChar c : line)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

// The resource a line names, or null.
const base_res_t* named_resource(const wxString& line) {
  const wchar_t* p = line.wx_str();
  const wchar_t* end = p + line.length();
  auto sep = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
  while (p < end && sep(*p)) ++p;
  const wchar_t* b = p;
  while (p < end && !sep(*p)) ++p;
  if (p == b) return nullptr;
  return base_res_t::find(wxString(b, static_cast<size_t>(p - b)));
}

void note_line(std::vector<const base_res_t*>& seen, const base_res_t* r, int32_t class_mask) {
  if (r && (r->class_flags() & class_mask) && std::find(seen.begin(), seen.end(), r) == seen.end())
    seen.push_back(r);
}

// Progress of the body: a pulsing display once the body has taken more than
// a second, pulsed at most every 100 ms.
class body_progress {
 public:
  using clock = std::chrono::steady_clock;
  explicit body_progress(data_io_ui& ui) : ui_(ui), mark_(clock::now()) {}

  void line_done() {
    if ((++lines_ & 63) != 0) return;
    const auto now = clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - mark_).count();
    if (!shown_) {
      if (ms <= 1000) return;
      unsigned style = resource_table->RES_IN_SCRIPT->read() ? 0u : data_io_ui::PROGRESS_MODAL;
      shown_ = ui_.start_progress("File Open", "Currently reading resources in file.", 100, style);
      mark_ = now;
    } else if (ms > 100) {
      shown_->pulse();
      mark_ = now;
    }
  }
  void close() { shown_.reset(); }

 private:
  data_io_ui& ui_;
  clock::time_point mark_;
  std::unique_ptr<data_progress> shown_;
  uint32_t lines_ = 0;
};

// The frame records against the frames: every vector must hold at least the
// frame count; surplus records (more IM lines than frames, or frames given
// up for lack of memory) are dropped with a warning.
bool reconcile_frames(native_read_context& ctx) {
  resource_table_t& t = *resource_table;
  const int32_t f = t.RES_BUF_FRAMES->pending();
  const size_t images = frame_store->images.size();
  const size_t stamps = frame_store->timestamps.size();
  const size_t positions = frame_store->positions.size();
  const bool pos_rec = t.RES_POS_REC->pending();
  const size_t want = static_cast<size_t>(f);

  if (images < want) {
    error(
        wxString::Format("The file announces %i frames but %zu frame images were loaded.\n"
                         "Unable to load this file.\n",
                         f, images));
    return false;
  }
  if (stamps < want || (pos_rec && positions < want)) {
    error(
        "There are fewer frame details in the .hm file than loaded image data.\nUnable to load "
        "this file.\n");
    return false;
  }
  if (stamps > want) {
    data_report(wxLOG_Warning,
                wxString::Format("There are more frame details in the .hm file than loaded image "
                                 "data.\nDiscarding details for frames %i to %zu.",
                                 f, stamps));
    if (!ctx.frames_cut_for_memory)
      ctx.losses.incomplete_records += static_cast<int32_t>(stamps - want);
  }
  if (images > want || stamps > want || positions > want) frame_store->erase_frames(f, 0);
  return true;
}

void failure_path(std::unique_ptr<body_progress>& progress) {
  base_res_t::hold_pending_writes(false);
  base_res_t::cancel_pending_writes();
  if (progress) progress->close();
  clear_data();
  // Emptying the data set deleted surfaces and wrote their resources without
  // a commit; commit now, so that no view can see a deleted surface.
  base_res_t::make_pending_writes_happen();
}

// Resources of classes 1 and 2 with their changed flags, to put back after
// a failed save.
std::vector<std::pair<base_res_t*, bool>> data_changed_flags() {
  std::vector<std::pair<base_res_t*, bool>> flags;
  for (base_res_t* r = base_res_t::first_resource(); r; r = r->next_resource())
    if (r->class_flags() & (RES_CLASS_DATA_HEADER | RES_CLASS_DATA_BODY))
      flags.emplace_back(r, r->changed());
  return flags;
}

// An output stream that collects everything in memory.
class string_output_stream final : public wxOutputStream {
 public:
  std::string data;

 protected:
  size_t OnSysWrite(const void* buffer, size_t size) override {
    data.append(static_cast<const char*>(buffer), size);
    return size;
  }
};

}  // namespace

// ---- contexts --------------------------------------------------------------

bool native_read_context::in_header(const base_res_t* r) const {
  return std::find(header_lines.begin(), header_lines.end(), r) != header_lines.end();
}
bool native_read_context::in_body(const base_res_t* r) const {
  return std::find(body_lines.begin(), body_lines.end(), r) != body_lines.end();
}

native_read_context* active_native_read() { return read_ctx; }
native_write_context* active_native_write() { return write_ctx; }

native_read_scope::native_read_scope(native_read_context& ctx) : previous_(read_ctx) {
  read_ctx = &ctx;
}
native_read_scope::~native_read_scope() { read_ctx = previous_; }
native_write_scope::native_write_scope(native_write_context& ctx) : previous_(write_ctx) {
  write_ctx = &ctx;
}
native_write_scope::~native_write_scope() { write_ctx = previous_; }

const native_read_losses& last_read_losses() { return last_losses; }

bool native_file_contained(const base_res_t* res) {
  return std::find(last_body_lines.begin(), last_body_lines.end(), res) != last_body_lines.end();
}

wxString file_name_part(const wxString& name) {
  const size_t slash = name.find_last_of(L"/\\");
  return slash == wxString::npos ? name : name.substr(slash + 1);
}

wxString companion_path_for(const wxString& data_path) {
  if (data_path.Matches("*.hm")) return data_path.substr(0, data_path.length() - 2) + "qzi";
  return data_path + "i";
}

// ---- reading ---------------------------------------------------------------

bool try_read_native_file(const wxString& path) {
  if (!resource_table || !frame_store) return false;
  resource_table_t& t = *resource_table;
  data_io_ui& ui = current_data_ui();
  // A save of this pair that stopped between its renames is undone first.
  wxString note;
  if (undo_interrupted_save(path, &note)) data_report(wxLOG_Warning, note);
  std::string bytes;
  if (!read_whole_file(path, bytes)) {
    error(wxString::Format("Error opening file for reading in.\nCannot read \"%s\".\n", path));
    return false;
  }

  native_read_context ctx;
  ctx.path = wxFileName(path);
  native_read_scope scope(ctx);
  last_losses = native_read_losses();
  last_body_lines.clear();

  t.RES_ASCII_FILENAME->write_no_changeprocs(wxFileName(path));
  reset_data_resources();
  base_res_t::hold_pending_writes(true);

  line_source lines(std::move(bytes));
  std::unique_ptr<body_progress> progress;
  if (lines.binary()) {
    error(wxString::Format("\"%s\" is not a Norvelith data file: it holds binary data.\n", path));
    failure_path(progress);
    return false;
  }
  auto fail_line = [&](const wxString& line) {
    error(wxString::Format("Failed when reading %s", line));
    failure_path(progress);
    return false;
  };

  // Every line that is not kept is counted, with the number of the first: a
  // keyword no resource has, a resource on the wrong side of the header's
  // end, and the lines the keyword procedures give up.
  int32_t number = 0;
  auto count_dropped = [&](const wxString& text, const base_res_t* named, int32_t mask,
                           int32_t before) {
    if (!blank(text) && (!named || !(named->class_flags() & mask))) ++ctx.losses.ignored_lines;
    if (ctx.losses.ignored_lines > before && ctx.losses.first_ignored_line == 0)
      ctx.losses.first_ignored_line = number;
  };

  wxString line;
  while (!ctx.header_done && lines.next(line)) {
    ++number;
    const base_res_t* named = named_resource(line);
    const int32_t before = ctx.losses.ignored_lines;
    if (!base_res_t::parse_no_changeprocs(line, RES_CLASS_DATA_HEADER)) return fail_line(line);
    count_dropped(line, named, RES_CLASS_DATA_HEADER, before);
    note_line(ctx.header_lines, named, RES_CLASS_DATA_HEADER);
  }
  if (!ctx.header_done) {
    error(wxString::Format("\"%s\" is not a Norvelith data file: it has no RES_END_HEADER line.\n",
                           path));
    failure_path(progress);
    return false;
  }

  progress = std::make_unique<body_progress>(ui);
  const base_res_t* previous = nullptr;
  while (lines.next(line)) {
    ++number;
    const base_res_t* named = named_resource(line);
    const int32_t before = ctx.losses.ignored_lines;
    if (!base_res_t::parse_no_changeprocs(line, RES_CLASS_DATA_BODY)) return fail_line(line);
    count_dropped(line, named, RES_CLASS_DATA_BODY, before);
    if (named != previous) note_line(ctx.body_lines, named, RES_CLASS_DATA_BODY);
    previous = named;
    progress->line_done();
  }
  progress->close();
  finish_contour_lines(ctx);

  if (!reconcile_frames(ctx)) {
    failure_path(progress);
    return false;
  }

  medical_source* source = current_medical_source();
  const bool reordered = source && t.RES_BUF_DICOM->pending() && source->sort_frames();
  check_for_image_stack();

  base_res_t::set_file_loading(true);
  base_res_t::hold_pending_writes(false);
  base_res_t::make_pending_writes_happen();
  base_res_t::set_file_loading(false);
  base_res_t::clear_changed(RES_CLASS_DATA_HEADER | RES_CLASS_DATA_BODY);

  if (reordered) t.RES_DICOM_FRAME_LIST->write(t.RES_DICOM_FRAME_LIST->read());
  if (data_set_pages* pages = current_data_set_pages())
    pages->show_frame_count(t.RES_BUF_FRAMES->read());

  if (ctx.losses.ignored_lines > 0)
    data_report(wxLOG_Info,
                wxString::Format("%i lines of \"%s\" could not be read and were skipped; the "
                                 "first is line %i.",
                                 ctx.losses.ignored_lines, path, ctx.losses.first_ignored_line));
  last_losses = ctx.losses;
  last_body_lines = ctx.body_lines;
  update_resource_version();
  return true;
}

bool open_native_file(const wxString& path) { return try_read_native_file(path); }

// ---- writing ---------------------------------------------------------------

bool try_write_native_file(const wxString& path) {
  const wxString shown = wxFileName(path).GetFullPath();
  if (wxFileName(path).GetFullName().empty()) {
    error(wxString::Format("Error opening file for writing.\n\"%s\" names no file.\n", path));
    return false;
  }
  // The data file is started first, so that a target that cannot be written
  // is found before any frame is; it is put in place last, once the frame
  // file is, so that a data file never announces frames not yet there.
  save_batch batch;
  const int data = batch.add(path, 1);
  if (data < 0) {
    error(wxString::Format("Error opening file for writing.\n%s\n\"%s\" was left as it was.\n",
                           batch.error(), shown));
    return false;
  }

  const auto flags = data_changed_flags();
  native_write_context ctx;
  ctx.batch = &batch;
  bool ok;
  {
    native_write_scope scope(ctx);
    save_output_stream out(batch, data);
    ok = base_res_t::write_out_to_file(out, RES_CLASS_DATA_HEADER, 0xffff) &&
         base_res_t::write_out_to_file(out, RES_CLASS_DATA_BODY, 0xffff);
  }
  ok = ok && batch.commit();
  if (ok) return true;

  batch.abandon();
  for (const auto& f : flags) f.first->set_changed(f.second);
  wxString text = "Error writing data file.\n";
  if (!batch.error().empty()) text += batch.error() + "\n";
  error(text + wxString::Format("\"%s\" was left as it was.\n", shown));
  return false;
}

bool save_native_file_as(const wxString& chosen_path, bool eight_bit) {
  // An empty name would give the hidden files ".hm" and ".qzi".
  if (wxFileName(chosen_path).GetFullName().empty()) {
    error(wxString::Format("Error opening file for writing.\n\"%s\" names no file.\n",
                           chosen_path));
    return false;
  }
  resource_table_t& t = *resource_table;
  data_io_ui& ui = current_data_ui();
  const bool medical = t.RES_BUF_DICOM->read();
  const bool companion = !medical || eight_bit;
  const bool raw_frames = frame_store && !frame_store->images.empty() && frame_store->images[0] &&
                          frame_store->images[0]->raw;
  if (medical && eight_bit && raw_frames &&
      !ui.ask_yes_no("Save file as",
                     "Saving 16-bit Dicom/image data as a Halmondo raw data file will\nsave the "
                     "new data as 8-bit using current windowing settings.\nDo you want to "
                     "continue?"))
    return false;

  wxString path = chosen_path;
  if (!wxFileName(path).GetFullName().Contains(".")) path += ".hm";
  const wxString companion_path = companion_path_for(path);
  const wxString companion_name = wxFileName(companion_path).GetFullName();

  if (medical && eight_bit) {
    if (companion_name == t.RES_BIN_IM_FILENAME->read() &&
        !ui.ask_yes_no("Save file as",
                       "Saving image data as a Halmondo raw data file with the same name\nwill "
                       "permanently overwrite the original data. Do you want to continue?"))
      return false;
    const int32_t frames = t.RES_BUF_FRAMES->read();
    for (int32_t i = 0; i < frames; ++i) {
      frame_image_ref image = frame_store->imagecp(i);
      if (image && image->raw) frame_image_t::display_data(image);
    }
    std::vector<long>* list = t.RES_DICOM_FRAME_LIST->read();
    list->clear();
    t.RES_DICOM_FRAME_LIST->write_no_changeprocs(list);
    t.RES_BUF_DICOM->write_no_changeprocs(false);
    base_res_t::make_pending_writes_happen();
  }

  const wxFileName old_path = t.RES_ASCII_FILENAME->read();
  const wxString old_name = t.RES_BIN_IM_FILENAME->read();
  const bool old_path_changed = t.RES_ASCII_FILENAME->changed();
  const bool old_name_changed = t.RES_BIN_IM_FILENAME->changed();
  if (companion) {
    t.RES_BIN_IM_FILENAME->write_no_changeprocs(companion_name);
  } else {
    // The reader looks for the image file beside the data file first; saved
    // into another folder, the data file names it with its folder as well.
    const wxString image = wxFileName(old_path.GetPath(), file_name_part(old_name)).GetFullPath();
    if (wxFileName(path).GetPath() != old_path.GetPath() &&
        (wxFileExists(image) || wxDirExists(image)))
      t.RES_BIN_IM_FILENAME->write_no_changeprocs(image);
  }
  t.RES_ASCII_FILENAME->write_no_changeprocs(wxFileName(path));
  base_res_t::make_pending_writes_happen();

  if (try_write_native_file(path)) return true;
  t.RES_BIN_IM_FILENAME->write_no_changeprocs(old_name);
  t.RES_ASCII_FILENAME->write_no_changeprocs(old_path);
  base_res_t::make_pending_writes_happen();
  t.RES_BIN_IM_FILENAME->set_changed(old_name_changed);
  t.RES_ASCII_FILENAME->set_changed(old_path_changed);
  return false;
}
