// load_dicom_files: opening a data set that is not a native data file. A
// directory tree is scanned into series and one is chosen; a single file is
// offered to the volume readers or taken with the numbered run it belongs
// to; then the data set is probed and its frames are read into the store.
#include <algorithm>
#include <new>

#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/log.h>
#include <wx/stopwatch.h>

#include "data/data_io_ui.h"
#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "registry/res_values.h"

dicom_load_ui* dicom_utility::load_ui = nullptr;

namespace {

void load_warning(const wxFileName& name, const wxString& text) {
  wxLogWarning("dicom_utility::load_dicom_files: %s: %s", name.GetFullPath(), text);
}

const char* const kNoImageData =
    "Failed to read image data from file.\nThese files do not contain image data,\nor are in a "
    "format not understood by Norvelith.\n";

// Holds the messages logged while a data set is read, so that each reaches
// the user once: a warning repeated frame after frame is shown once with its
// count, and the readers' reasons for a refusal become part of the loader's
// one message about the file.
class load_messages final : public wxLog {
 public:
  load_messages() : previous_(wxLog::SetActiveTarget(this)) {}
  ~load_messages() override {
    wxLog::SetActiveTarget(previous_);
    for (const record& r : records_) {
      wxString text = r.text;
      if (r.count > 1) text += wxString::Format("\n(This message was given %d times.)", r.count);
      wxLogGeneric(r.level, "%s", text);
    }
  }
  load_messages(const load_messages&) = delete;
  load_messages& operator=(const load_messages&) = delete;

  // The warnings held so far, taken out, without the reporting function's
  // name and without `path' when they start with it; empty when there were none.
  wxString take_reasons(const wxString& path) {
    wxString reasons;
    std::vector<record> kept;
    for (const record& r : records_) {
      if (r.level > wxLOG_Warning) {
        kept.push_back(r);
        continue;
      }
      wxString text = r.text;
      if (text.StartsWith("dicom_utility::")) {
        const int colon = text.Find(": ");
        if (colon != wxNOT_FOUND) text = text.Mid(size_t(colon) + 2);
      }
      if (text.StartsWith(path + ": ")) text = text.Mid(path.length() + 2);
      if (!reasons.empty()) reasons += "\n";
      reasons += text;
    }
    records_.swap(kept);
    return reasons;
  }

 protected:
  void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override {
    for (record& r : records_)
      if (r.level == level && r.text == msg) {
        ++r.count;
        return;
      }
    records_.push_back({level, msg, 1});
  }

 private:
  struct record {
    wxLogLevel level;
    wxString text;
    int count;
  };
  wxLog* previous_;
  std::vector<record> records_;
};

// The loader's one message for a file it cannot load: the readers' reasons
// when they gave any, else that no reader understood it.
void refuse(const wxFileName& name, load_messages& messages) {
  const wxString reasons = messages.take_reasons(name.GetFullPath());
  load_warning(name, reasons.empty() ? wxString(kNoImageData) : reasons);
}

// Collects every directory below the start, hidden ones left out.
class wxDirTraverserWithDirs : public wxDirTraverser {
 public:
  explicit wxDirTraverserWithDirs(wxArrayString& dirs) : dirs_(dirs) {}
  wxDirTraverseResult OnFile(const wxString&) override { return wxDIR_CONTINUE; }
  wxDirTraverseResult OnDir(const wxString& dir) override {
    dirs_.Add(dir);
    return wxDIR_CONTINUE;
  }
  wxDirTraverseResult OnOpenError(const wxString&) override { return wxDIR_IGNORE; }

 private:
  wxArrayString& dirs_;
};

std::vector<wxString> sorted_files(const wxString& dir) {
  std::vector<wxString> files;
  wxLogNull quiet;
  wxDir d(dir);
  if (!d.IsOpened()) return files;
  wxString name;
  for (bool more = d.GetFirst(&name, wxEmptyString, wxDIR_FILES); more; more = d.GetNext(&name))
    files.push_back(wxFileName(dir, name).GetFullPath());
  std::sort(files.begin(), files.end(), [](const wxString& a, const wxString& b) { return a.compare(b) < 0; });
  return files;
}

// The directory part of a series' first file without the leading
// directories that the opened name's path has.
wxString shown_dir(const wxFileName& file, const wxFileName& opened) {
  wxArrayString dirs = file.GetDirs();
  const size_t drop = std::min(dirs.size(), opened.GetDirCount());
  wxString out;
  for (size_t i = drop; i < dirs.size(); ++i) {
    if (!out.empty()) out += wxFileName::GetPathSeparator();
    out += dirs[i];
  }
  return out;
}

wxString series_line(const data_series_t& s, const wxFileName& opened) {
  const wxString dir = shown_dir(s.file, opened), file = s.file.GetFullName();
  const long w = s.width, h = s.height, n = s.frame_count;
  if (s.is_dicom) {
    if (s.frame_count < 2) return wxString::Format("DICOM image '%s', size %li x %li. In '%s'.", file, w, h, dir);
    if (!s.description.empty())
      return wxString::Format("DICOM series of %li frames, size %li x %li (%s). In '%s', file '%s'.", n, w,
                              h, s.description, dir, file);
    return wxString::Format("DICOM series of %li frames, size %li x %li. In '%s', file '%s'.", n, w, h,
                            dir, file);
  }
  if (s.frame_count < 2) return wxString::Format("image '%s', size %li x %li. In '%s'.", file, w, h, dir);
  return wxString::Format("Sequence of %li images, size %li x %li. In '%s', file '%s'.", n, w, h, dir, file);
}

struct load_plan_t {
  wxFileName name;
  int first_index = 0;      // I
  int count = 1;            // c
  bool directory_mode = false;
  int series_frames = 0;    // frames of the chosen series (directory mode)
  int suffix = 0;           // number of the native file name in directory mode
};

// Directory: scan, group into series, choose one. False when nothing is to be loaded.
bool plan_directory(const wxFileName& opened, load_plan_t& plan) {
  dicom_load_ui default_ui;
  dicom_load_ui& ui = dicom_utility::load_ui ? *dicom_utility::load_ui : default_ui;
  ui.search_start("Directory search", "Currently searching directory for data files.\n");
  wxArrayString dir_list;
  const wxString root = opened.GetFullPath();
  dir_list.Add(root);
  {
    wxLogNull quiet;
    wxDir d(root);
    wxDirTraverserWithDirs traverser(dir_list);
    if (d.IsOpened()) d.Traverse(traverser, wxEmptyString, wxDIR_DIRS);
  }
  std::vector<wxString> dirs(dir_list.begin(), dir_list.end());
  std::sort(dirs.begin(), dirs.end(), [](const wxString& a, const wxString& b) { return a.compare(b) < 0; });

  std::vector<data_series_t>& series = dicom_utility::series_list;
  series.clear();
  std::vector<int> series_dir, series_files;
  wxStopWatch watch;
  long searched = 0;
  for (size_t d = 0; d < dirs.size(); ++d) {
    const std::vector<wxString> files = sorted_files(dirs[d]);
    const size_t before = series.size();
    for (size_t i = 0; i < files.size(); ++i) {
      dicom_utility::read_dicom_data(wxFileName(files[i]), -2, int(i), nullptr, nullptr, nullptr);
      ++searched;
      if (watch.Time() > 100) {
        const bool go_on = ui.search_pulse(wxString::Format(
            "Directory %li of %li; searched %li files; found %li series.", long(d + 1),
            long(dirs.size()), searched, long(series.size())));
        watch.Start();
        if (!go_on) {
          ui.search_end();
          return false;
        }
      }
    }
    // Single images do not form a series.
    series.erase(std::remove_if(series.begin() + long(before), series.end(),
                                [](const data_series_t& s) { return !s.is_dicom && s.frame_count == 1; }),
                 series.end());
    series_dir.resize(series.size(), int(d));
    series_files.resize(series.size(), int(files.size()));
  }
  ui.search_end();
  if (series.empty()) {
    load_warning(opened, "There are no DICOM or image data files in this directory.\nTry opening a file directly instead.");
    return false;
  }
  size_t chosen = 0;
  plan.suffix = int(dirs.size());
  if (series.size() > 1) {
    std::vector<wxString> lines;
    for (const auto& s : series) lines.push_back(series_line(s, opened));
    const int answer = ui.choose_series("Load data series", "Which series do you want to load?", lines);
    if (answer < 0) return false;
    if (size_t(answer) < series.size()) {
      chosen = size_t(answer);
      plan.suffix = answer;
    }
  }
  const data_series_t& s = series[chosen];
  plan.first_index = s.first_index;
  if (s.multi_frame) {
    plan.name = s.file;
    plan.count = s.frame_count;
  } else {
    plan.name = wxFileName(s.file.GetPath(wxPATH_GET_VOLUME));
    plan.count = series_files[chosen];
    plan.directory_mode = true;
    plan.series_frames = s.frame_count;
  }
  return true;
}

// A single file: the volume readers, else the numbered run it belongs to.
void plan_file(const wxFileName& opened, load_plan_t& plan) {
  plan.name = opened;
  for (volume_reader_fn r : {dicom_utility::qct_reader, dicom_utility::metaimage_reader,
                             dicom_utility::nrrd_reader, dicom_utility::nifti_reader})
    if (r && r(opened, -1, -1, nullptr, nullptr, nullptr) != 0) return;

  // A multi-frame file is a data set of its own, whatever its name.
  std::vector<data_series_t> saved;
  saved.swap(dicom_utility::series_list);
  dicom_utility::read_dicom_data(opened, -2, 0, nullptr, nullptr, nullptr);
  const bool multi = !dicom_utility::series_list.empty() && dicom_utility::series_list[0].multi_frame;
  dicom_utility::series_list.swap(saved);
  const wxString path = opened.GetFullPath();
  if (multi || dicom_utility::numbered_file_name(path, 1) == path) return;

  int low = 0;
  while (wxFileExists(dicom_utility::numbered_file_name(path, low - 1))) --low;
  int high = 1;
  while (wxFileExists(dicom_utility::numbered_file_name(path, high))) ++high;
  plan.count = high - low;
  plan.name = wxFileName(dicom_utility::numbered_file_name(path, low));
}

}  // namespace

int dicom_utility::load_dicom_files(wxFileName name) {
  load_messages messages;
  load_plan_t plan;
  if (!wxDirExists(name.GetFullPath()) && !name.FileExists()) {
    load_warning(name, "there is no such file or directory.");
    return 0;
  }
  if (wxDirExists(name.GetFullPath())) {
    if (!plan_directory(name, plan)) return 0;
  } else {
    plan_file(name, plan);
  }

  wxFileName native = plan.name;
  if (plan.directory_mode) {
    wxFileName dir(plan.name.GetFullPath());
    native = wxFileName(dir.GetPath(wxPATH_GET_VOLUME), dir.GetFullName() + wxString::Format("_%i", plan.suffix), "hm");
  } else {
    native.SetExt("hm");
  }
  if (native.FileExists()) {
    load_warning(name, wxString::Format(
        "This data has already been converted to Halmondo format. Please load '%s' instead.",
        native.GetFullName()));
    return 0;
  }
  if (auto* r = find_resource<gen_res_t<wxFileName>>(L"RES_ASCII_FILENAME"))
    if (!(r->pending() == native)) r->write_no_changeprocs(native);
  write_pending_long(L"RES_BUF_FRAMES", plan.count);

  const int probed = read_dicom_data(plan.name, -1, plan.first_index, nullptr, nullptr, nullptr);
  const int32_t a = pending_long(L"RES_BUF_FRAMES", plan.count);
  const int32_t width = pending_long(L"RES_BUF_WIDTH", 0), height = pending_long(L"RES_BUF_HEIGHT", 0);
  const int64_t frame_size = int64_t(width) * height;
  if (probed <= 0 || width < 1 || height < 1 || frame_size > 0x7FFFFFFF || a < 1) {
    refuse(name, messages);
    return 0;
  }
  write_pending_long(L"RES_FRAME_SIZE", int32_t(frame_size));
  const int32_t h = plan.directory_mode ? plan.first_index : 0;
  const int32_t total = std::max(0, a - h);
  const bool pos_rec = pending_bool(L"RES_POS_REC", true);
  auto* frame_list_res = find_resource<genflag_res_t<std::vector<long>*>>(L"RES_DICOM_FRAME_LIST");
  std::vector<long>* frame_list = frame_list_res ? frame_list_res->pending() : nullptr;

  auto progress = current_data_ui().start_progress(
      "File Open", wxString::Format("Currently loading frame 0 of %li.\n", long(total)), a,
      data_io_ui::PROGRESS_MODAL | data_io_ui::PROGRESS_TIMES);
  std::vector<int32_t> loaded_slots;
  int32_t loaded = 0, skipped = 0;
  bool out_of_memory = false;
  // The frames are carved from slabs, so that a large volume loads at the
  // speed of filling one fresh buffer.
  frame_pair_carver buffers{size_t(total), size_t(frame_size)};
  try {
    for (int32_t i = 0; i < total; ++i) {
      const int32_t o = h + i;
      position_t pos;
      if (!buffers.next(data_8bit)) {
        out_of_memory = true;
        break;
      }
      if (read_dicom_data(plan.name, i, o, buffers.raw(), buffers.display(), &pos) != frame_size) {
        buffers.drop();
        ++skipped;
        progress->update(i, "Currently skipping " + source_type +
                                wxString::Format(" frame %li of %li.", long(i), long(total)));
        continue;
      }
      frame_image_ref image = buffers.keep(data_8bit, int32_t(frame_size));
      if (!image) {
        out_of_memory = true;
        break;
      }
      loaded_slots.push_back(i);
      progress->update(i, "Currently loading " + source_type +
                              wxString::Format(" frame %li of %li.", long(i), long(total)));
      if (frame_list) frame_list->push_back(o);
      frame_store->add_image(std::move(image));
      frame_store->timestamps.push_back(uint64_t(i));
      if (pos_rec) frame_store->positions.push_back(position_holder_t::create(pos));
      ++loaded;
      if (plan.directory_mode && loaded >= plan.series_frames) break;
    }
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
  }
  progress.reset();

  if (loaded < a || skipped > 0) {
    write_pending_long(L"RES_BUF_FRAMES", loaded);
    if (loaded == 0) {
      refuse(name, messages);
      return 0;
    }
    frame_file_info_t& info = frame_file_info;
    for (size_t j = 0; j < loaded_slots.size(); ++j) {
      const size_t from = size_t(loaded_slots[j]);
      if (from >= info.size() || !info.ensure(int32_t(j))) continue;
      info.location[j] = info.location[from];
      info.pixel_size_x[j] = info.pixel_size_x[from];
      info.pixel_size_y[j] = info.pixel_size_y[from];
      info.content_time[j] = info.content_time[from];
    }
    if (!plan.directory_mode) {
      if (!out_of_memory) {
        load_warning(name, wxString::Format(
            "Loaded %li frames of data with size %li x %li.\nIgnored a further %li frames in a "
            "different series, or with different sizes or scales.\n",
            long(loaded), long(width), long(height), long(skipped)));
      } else {
        const int32_t d = int32_t(0.95 * loaded);
        write_pending_long(L"RES_BUF_FRAMES", d);
        frame_store->erase_frames(d, 0);
        // The frame list must describe the frames kept, or a saved data file
        // maps its frames wrongly when read back.
        if (frame_list && frame_list->size() > size_t(d)) frame_list->resize(size_t(d));
        load_warning(name, wxString::Format(
            "Only sufficient memory to load %li frames of data with size %li x %li.\nIgnored a "
            "further %li frames.\n",
            long(d), long(width), long(height), long(a - d)));
      }
    }
  }
  if (auto* im = find_resource<flag_res_t>(L"IM")) im->write_no_changeprocs();
  write_pending_flag_string(L"RES_BIN_IM_FILENAME", plan.name.GetFullName());
  return 1;
}
