// IM lines (one frame record per frame: timestamp and probe position) and the
// RES_BIN_IM_FILENAME line, whose reading loads the frames and whose writing
// writes the companion frame file.
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/stream.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "data/data_io_ui.h"
#include "data/data_line_procs.h"
#include "data/data_lines.h"
#include "data/dynabuf.h"
#include "data/file_save.h"
#include "data/medical_source.h"
#include "registry/resource_table.h"

namespace {

void error(const wxString& text) { data_report(wxLOG_Error, text); }

uint8_t* allocate_with_new(size_t bytes) { return new (std::nothrow) uint8_t[bytes]; }
frame_allocator allocate_frame = allocate_with_new;

unsigned progress_style(bool modal) {
  unsigned style = data_io_ui::PROGRESS_TIMES | data_io_ui::PROGRESS_BUSY;
  if (modal) style |= data_io_ui::PROGRESS_MODAL;
  return style;
}

wxString trim_white(const wxString& text) {
  size_t b = 0, e = text.length();
  auto white = [](wxUniChar c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  while (b < e && white(text[b])) ++b;
  while (e > b && white(text[e - 1])) --e;
  return text.substr(b, e - b);
}

bool exists(const wxString& path) { return wxFileExists(path) || wxDirExists(path); }

// Where the frames of a data file in folder are: the file of that name
// beside the data file; failing that, the name as a path of its own (a data
// file saved away from the image file it refers to names it with its folder).
wxString frame_file_path(const wxString& folder, const wxString& name) {
  const wxString beside = wxFileName(folder, file_name_part(name)).GetFullPath();
  if (exists(beside)) return beside;
  wxFileName own(name);
  if (own.IsRelative()) own.MakeAbsolute(folder);
  if (name != file_name_part(name) && exists(own.GetFullPath())) return own.GetFullPath();
  return beside;
}

// Fewer than the announced frames could be given memory: keep 95 % of those
// loaded, leaving room for the work that follows, unless that is nothing.
bool cut_for_memory(native_read_context& ctx, int32_t loaded, int32_t frames, int32_t w,
                    int32_t h) {
  const int32_t keep = static_cast<int32_t>(loaded * 0.95);
  const wxString text = wxString::Format(
      "Only sufficient memory to load %i frames of data with size %i x %i.\n"
      "Ignored a further %i frames.\n",
      keep, w, h, frames - keep);
  if (keep == 0) {
    error(text);
    return false;
  }
  data_report(wxLOG_Warning, text);
  resource_table->RES_BUF_FRAMES->write_no_changeprocs(keep);
  ctx.frames_cut_for_memory = true;
  ctx.losses.frames_dropped += frames - keep;
  return true;
}

bool load_companion_frames(native_read_context& ctx, const wxString& path, int32_t frames,
                           int32_t w, int32_t h, int32_t size) {
  if (wxDirExists(path)) {
    error(
        wxString::Format("Error opening data file for reading in.\nThe frame file \"%s\" is a "
                         "folder.\n",
                         path));
    return false;
  }
  wxFile file;
  {
    wxLogNull quiet;
    file.Open(path, wxFile::read);
  }
  const wxFileOffset length = file.IsOpened() ? file.Length() : -1;
  if (length < 0) {
    error(
        wxString::Format("Error opening data file for reading in.\nThe frame file \"%s\" cannot "
                         "be read.\n",
                         path));
    return false;
  }
  const long long needed = static_cast<long long>(frames) * size;
  if (length < needed) {
    error(
        wxString::Format("The frame file \"%s\" is shorter than announced: it holds %lld bytes, "
                         "but %i frames of %i x %i pixels need %lld bytes.\n",
                         path, static_cast<long long>(length), frames, w, h, needed));
    return false;
  }
  // A longer frame file belongs to another data file (a save cut short
  // between its two renames leaves the old data file with the new frames):
  // the frames are loaded, but never silently.
  if (length > needed) {
    data_report(wxLOG_Warning,
                wxString::Format("The frame file \"%s\" is longer than announced: it holds %lld "
                                 "bytes, but %i frames of %i x %i pixels need %lld bytes. It may "
                                 "not belong to this data file.\n",
                                 path, static_cast<long long>(length), frames, w, h, needed));
    ++ctx.losses.frame_file_mismatches;
  }

  auto progress = current_data_ui().start_progress(
      "File Open", wxString::Format("Currently loading frame 0 of %i.\n", frames), frames,
      progress_style(!resource_table->RES_IN_SCRIPT->read()));
  int32_t k = 0;
  // Frames are carved from slabs unless a test installed its own allocator;
  // runs of frames that follow one another in a slab are read with one call,
  // up to kRunBytes at a time so that progress is still shown.
  constexpr size_t kRunBytes = size_t(16) << 20;
  const bool slabs = allocate_frame == allocate_with_new;
  const size_t frame_bytes = static_cast<size_t>(size);
  const size_t run_frames = slabs ? std::max<size_t>(1, kRunBytes / frame_bytes) : 1;
  frame_carver carver(static_cast<size_t>(frames), frame_bytes);
  std::vector<frame_image_ref> run;
  try {
    frame_store->reserve(static_cast<size_t>(frames));
    run.reserve(run_frames);
    while (k < frames) {
      size_t got = 1;
      frame_slab* slab = nullptr;
      uint8_t* buffer = slabs ? carver.carve(std::min(run_frames, static_cast<size_t>(frames - k)),
                                             got, slab)
                              : allocate_frame(frame_bytes);
      if (!buffer) break;
      // Owned by the records from here; frames that cannot be read go back.
      run.clear();
      for (size_t i = 0; i < got; ++i) {
        try {
          run.push_back(slab ? frame_image_t::create_in_slab(buffer + i * frame_bytes, slab, size)
                             : frame_image_t::create(buffer, size));
        } catch (const std::bad_alloc&) {
          // The buffers not yet in a record go back before the memory stop.
          for (size_t j = i; j < got; ++j)
            if (slab)
              slab->release(buffer + j * frame_bytes);
            else
              delete[] buffer;
          throw;
        }
      }
      const size_t bytes = got * frame_bytes;
      size_t done = 0;
      while (done < bytes) {
        const ssize_t n = file.Read(buffer + done, bytes - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      if (done < bytes) {
        run.clear();
        carver.finish();
        error(
            wxString::Format("Failed to read binary data from binary file.\nFrame %i of \"%s\" "
                             "could not be read.\n",
                             k + static_cast<int32_t>(done / frame_bytes), path));
        return false;
      }
      for (frame_image_ref& image : run) frame_store->add_image(std::move(image));
      run.clear();
      k += static_cast<int32_t>(got);
      progress->update(k - 1, wxString::Format("Currently loading frame %i of %i.", k, frames));
    }
  } catch (const std::bad_alloc&) {
    // The record or the store's vector could not grow: as a buffer that
    // could not be had, the frames loaded so far stand.
  }
  run.clear();
  carver.finish();
  if (k < frames) return cut_for_memory(ctx, k, frames, w, h);
  return true;
}

bool load_medical_frames(native_read_context& ctx, const wxString& path, int32_t frames, int32_t w,
                         int32_t h, int32_t size) {
  medical_source* source = current_medical_source();
  if (!source) {
    error(
        wxString::Format("Failed to read binary data from binary file.\nThe frames of \"%s\" "
                         "need the medical image readers, which are not available here.\n",
                         path));
    return false;
  }
  const std::vector<long>* list = resource_table->RES_DICOM_FRAME_LIST->pending();
  const bool use_list = list && list->size() == static_cast<size_t>(frames);
  auto progress = current_data_ui().start_progress(
      "File Open", wxString::Format("Currently loading frame 0 of %i.\n", frames), frames,
      progress_style(!resource_table->RES_IN_SCRIPT->read()));
  int32_t k = 0;
  // Frames are carved from slabs unless a test installed its own allocator.
  const bool slabs = allocate_frame == allocate_with_new;
  frame_pair_carver buffers(static_cast<size_t>(frames), static_cast<size_t>(size));
  try {
    for (; k < frames; ++k) {
      uint16_t* raw = nullptr;
      uint8_t* bytes = nullptr;
      if (slabs) {
        if (!buffers.next(source->data_8bit())) break;
        raw = buffers.raw();
        bytes = buffers.display();
      } else {
        raw = new (std::nothrow) uint16_t[static_cast<size_t>(size)];
        bytes = allocate_frame(static_cast<size_t>(size));
        if (!raw || !bytes) {
          delete[] raw;
          delete[] bytes;
          break;
        }
      }
      const int32_t number = use_list ? static_cast<int32_t>((*list)[static_cast<size_t>(k)]) : k;
      if (source->read_frame(path, k, number, raw, bytes) != size) {
        if (slabs) {
          buffers.drop();
        } else {
          delete[] raw;
          delete[] bytes;
        }
        error(
            wxString::Format("Failed to read binary data from binary file.\nFrame %i of \"%s\" "
                             "could not be read.\n",
                             number, path));
        return false;
      }
      if (slabs) {
        frame_image_ref image = buffers.keep(source->data_8bit(), size);
        if (!image) break;
        frame_store->add_image(std::move(image));
      } else if (source->data_8bit()) {
        delete[] raw;
        frame_store->add_image(frame_image_t::create(bytes, size));
      } else {
        frame_store->add_image(frame_image_t::create(bytes, raw, size));
      }
      progress->update(k, "Currently loading " + source->source_type() +
                              wxString::Format(" frame %i of %i.", k + 1, frames));
    }
  } catch (const std::bad_alloc&) {
  }
  if (k < frames) return cut_for_memory(ctx, k, frames, w, h);
  return true;
}

// Writes the display pixels of every frame to file k of batch.
bool write_frames(save_batch& batch, int k) {
  resource_table_t& t = *resource_table;
  const int32_t size = t.RES_FRAME_SIZE->read();
  const int32_t frames = t.RES_BUF_FRAMES->read();
  auto progress = current_data_ui().start_progress(
      "File Save", wxString::Format("Currently saving frame 0 of %i.\n", frames), frames,
      progress_style(true));
  for (int32_t i = 0; i < frames; ++i) {
    const frame_image_ref image = frame_store ? frame_store->imagecp(i) : frame_image_ref();
    const uint8_t* pixels = frame_image_t::display_data(image);
    if (!pixels || image->size < size) {
      error(
          wxString::Format("Failed to write binary data to binary file.\nFrame %i has no image "
                           "data of %i bytes.\n",
                           i, size));
      return false;
    }
    if (!batch.write(k, pixels, static_cast<size_t>(size))) {
      error("Failed to write binary data to binary file.\n" + batch.error() + "\n");
      return false;
    }
    progress->update(i, wxString::Format("Currently saving frame %i of %i.", i, frames));
  }
  if (!batch.finish(k)) {
    error("Failed to write binary data to binary file.\n" + batch.error() + "\n");
    return false;
  }
  return true;
}

}  // namespace

void set_frame_allocator(frame_allocator allocator) {
  allocate_frame = allocator ? allocator : allocate_with_new;
}

// ---- text of timestamps ----------------------------------------------------

wxString ulong_to_wxString(uint64_t value) {
  std::string s;
  append_uint(s, value);
  return wxString::FromAscii(s.data(), s.size());
}

bool parse_unsigned_digits(const wxString& text, uint64_t& value) {
  value = 0;
  const wchar_t* p = text.wx_str();
  const wchar_t* end = p + text.length();
  while (p < end && !(*p >= L'0' && *p <= L'9')) ++p;
  if (p == end) return false;
  for (; p < end && *p >= L'0' && *p <= L'9'; ++p) {
    const uint64_t digit = static_cast<uint64_t>(*p - L'0');
    if (value > (UINT64_MAX - digit) / 10) return false;  // past 64 bits
    value = value * 10 + digit;
  }
  return true;
}

// ---- IM --------------------------------------------------------------------

bool parse_image_dat(wxString& text) {
  resource_table_t& t = *resource_table;
  native_read_context* ctx = active_native_read();
  if (!ctx || !frame_store || !ctx->in_header(t.RES_BUF_FRAMES)) {
    error("Header of data file does not contain RES_BUF_FRAMES line but body contains IM lines.\n");
    return false;
  }
  word_reader words(text);
  word_t w;
  if (!words.next(w)) {
    error("Problem: not enough numbers reading timestamp information in image IM line");
    return false;
  }
  uint64_t stamp;
  if (!parse_unsigned_digits(word_to_string(w), stamp)) {
    error("Problem reading timestamp in image IM line");
    return false;
  }
  try {
    frame_store->timestamps.push_back(stamp);
    if (t.RES_POS_REC->pending()) {
      position_t p;
      float* values[6] = {&p.x, &p.y, &p.z, &p.azimuth, &p.elevation, &p.roll};
      for (float* v : values) {
        word_t pw;
        double d;
        if (!words.next(pw)) {
          error("Not enough numbers reading position information in image IM line");
          ++ctx->losses.incomplete_records;
          break;
        }
        if (!word_to_double(pw, d)) {
          error("Problem reading position information numbers in image IM line");
          ++ctx->losses.incomplete_records;
          break;
        }
        if (!(std::fabs(d) <= std::numeric_limits<float>::max())) {
          // A frame placed nowhere: kept, at the origin, and counted as incomplete.
          error("Position information in image IM line is not a finite number");
          ++ctx->losses.incomplete_records;
          p = position_t();
          break;
        }
        *v = static_cast<float>(d);
      }
      frame_store->positions.push_back(position_holder_t::create(p));
    }
  } catch (const std::bad_alloc&) {
    error("Unable to allocate memory for position information.");
    return false;
  }
  t.IM->write_no_changeprocs();
  return true;
}

bool write_out_image_dat(wxOutputStream& out) {
  resource_table_t& t = *resource_table;
  const int32_t frames = t.RES_BUF_FRAMES->read();
  const bool positions = t.RES_POS_REC->read();
  line_sink sink(out);
  std::string& s = sink.buffer();
  for (int32_t i = 0; i < frames; ++i) {
    s += "IM ";
    append_uint(s, frame_store ? frame_store->timestamp(i) : 0);
    if (positions) {
      const position_ref ref = frame_store ? frame_store->positioncp(i) : position_ref();
      const position_t p = ref ? *ref : position_t();
      for (float v : {p.x, p.y, p.z, p.azimuth, p.elevation, p.roll}) {
        s += ' ';
        append_fixed(s, static_cast<double>(v), 6);
      }
    }
    s += '\n';
    sink.line_done();
  }
  if (!sink.flush()) {
    error("Error writing out IM lines to ascii data file.\n");
    return false;
  }
  return true;
}

// ---- RES_BIN_IM_FILENAME ---------------------------------------------------

bool parse_bin_im_filename(wxString& text) {
  resource_table_t& t = *resource_table;
  const wxString name = trim_white(text);
  if (name.empty()) {
    error("Problem: no file name in RES_BIN_IM_FILENAME line.\n");
    return false;
  }
  // Frames are loaded only as part of reading a native data file; elsewhere
  // the line names the frame file and nothing more.
  native_read_context* ctx = active_native_read();
  if (!ctx || !frame_store) {
    t.RES_BIN_IM_FILENAME->write_no_changeprocs(name);
    return true;
  }
  if (!frame_store->images.empty()) {
    error("Problem: frames are already loaded; a data file names one frame file only.\n");
    return false;
  }
  const wxString folder = t.RES_ASCII_FILENAME->pending().GetPath(wxPATH_GET_VOLUME);
  const wxString path = frame_file_path(folder, name);
  if (!exists(path)) {
    error(
        wxString::Format("Error opening data file for reading in.\nThe frame file \"%s\" does "
                         "not exist.\n",
                         path));
    return false;
  }
  const int32_t frames = t.RES_BUF_FRAMES->pending();
  const int32_t w = t.RES_BUF_WIDTH->pending();
  const int32_t h = t.RES_BUF_HEIGHT->pending();
  const int32_t size = t.RES_FRAME_SIZE->pending();
  if (frames < 0 || size < 1 || static_cast<long long>(w) * h != size) {
    error("Problem: the header gives no usable frame size for the RES_BIN_IM_FILENAME line.\n");
    return false;
  }
  const bool ok = t.RES_BUF_DICOM->pending()
                      ? load_medical_frames(*ctx, path, frames, w, h, size)
                      : load_companion_frames(*ctx, path, frames, w, h, size);
  if (!ok) return false;
  t.RES_BIN_IM_FILENAME->write_no_changeprocs(name);
  return true;
}

bool write_out_bin_im_filename(wxOutputStream& out) {
  resource_table_t& t = *resource_table;
  const wxString name = t.RES_BIN_IM_FILENAME->read();
  std::string s = "RES_BIN_IM_FILENAME ";
  append_line_text(s, name);
  s += '\n';
  if (!write_bytes(out, s)) {
    error("Error writing out data file name to ascii data file.\n");
    return false;
  }
  // A data set just read has the flag clear: Save leaves its frames alone.
  if (!t.RES_BIN_IM_FILENAME->changed() || t.RES_BUF_DICOM->read()) return true;

  const wxString folder = t.RES_ASCII_FILENAME->read().GetPath(wxPATH_GET_VOLUME);
  const wxString path = wxFileName(folder, file_name_part(name)).GetFullPath();
  // Within a data file's save the frame file joins its batch; alone, it is
  // a batch of its own.
  save_batch own;
  native_write_context* ctx = active_native_write();
  save_batch& batch = ctx && ctx->batch ? *ctx->batch : own;
  const int k = batch.add(path);
  if (k < 0) {
    error(wxString::Format("Error opening data file for writing out.\n%s\n", batch.error()));
    return false;
  }
  if (!write_frames(batch, k)) return false;
  if (&batch == &own && !own.commit()) {
    error(wxString::Format("Failed to write binary data to binary file.\n%s\n\"%s\" was left "
                           "as it was.\n",
                           own.error(), path));
    return false;
  }
  return true;
}
