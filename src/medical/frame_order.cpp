// Frame order and the per-frame file records after loading: sorting frames
// by location, restoring file locations, keeping the records of chosen
// frames, and forgetting the data source. Also the data-file code's access
// to the volume readers (medical_source).
#include <cmath>

#include "data/data_io_ui.h"
#include "data/geometry.h"
#include "data/medical_source.h"
#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "registry/res_values.h"

namespace {

std::vector<long>* frame_list() {
  auto* r = find_resource<genflag_res_t<std::vector<long>*>>(L"RES_DICOM_FRAME_LIST");
  return r ? r->pending() : nullptr;
}

// Records replaced by the last selection, for undo_frame_selection.
frame_file_info_t selection_saved;
std::vector<long> selection_saved_list;
bool selection_saved_valid = false;

void write_scales_from_slot0() {
  const frame_file_info_t& info = dicom_utility::frame_file_info;
  if (info.size() == 0) return;
  for (auto [name, value] : {std::pair<const wchar_t*, double>{L"RES_XSCALE", info.pixel_size_x[0] / 10},
                             std::pair<const wchar_t*, double>{L"RES_YSCALE", info.pixel_size_y[0] / 10}})
    if (auto* r = find_resource<double_res_t>(name))
      if (r->read() != value || r->pending() != value) r->write_no_changeprocs(value);
}

}  // namespace

bool dicom_utility::sort_dicom_frames() {
  if (!pending_bool(L"RES_BUF_DICOM", false) || !frame_store || !locations_from_file) return false;
  const size_t n = frame_store->images.size();
  if (n < 2 || frame_store->positions.size() != n || frame_file_info.size() < n) return false;

  auto p = [](size_t j) {
    const position_t& l = frame_file_info.location[j];
    return vec3_t{double(l.x), double(l.y), double(l.z)};
  };
  // The direction from frame 0 to the first frame that lies elsewhere, so
  // that a repeated first location (several echoes or phases) still orders.
  vec3_t dir{0, 0, 0};
  for (size_t j = 1; j < n; ++j) {
    const vec3_t d = p(j) - p(0);
    if (d.x != 0 || d.y != 0 || d.z != 0) {
      dir = d;
      break;
    }
  }
  std::vector<double> key(n);
  for (size_t j = 0; j < n; ++j) key[j] = j == 0 ? 0.0 : vec3_dot(p(j) - p(0), dir);

  std::vector<size_t> order(n);
  for (size_t j = 0; j < n; ++j) order[j] = j;
  bool moved = false;
  for (size_t j = 1; j < n; ++j) {
    const size_t q = order[j];
    if (std::isnan(key[q])) continue;
    size_t i = j;
    while (i > 0) {
      const size_t r = order[i - 1];
      if (std::isnan(key[r])) break;
      const bool before = key[q] < key[r] ||
                          (key[q] == key[r] && frame_file_info.content_time[q] < frame_file_info.content_time[r]);
      if (!before) break;
      order[i] = r;
      --i;
    }
    if (i != j) moved = true;
    order[i] = q;
  }
  if (!moved) return false;
  if (!current_data_ui().ask_yes_no(
          "Sort DICOM frames",
          "The file names of these DICOM files are not in the same\norder as their locations.\n\n"
          "Sort frames according to location (and content time)?"))
    return false;

  std::vector<frame_image_ref> images = frame_store->images;
  const std::vector<uint64_t> stamps = frame_store->timestamps;
  std::vector<long>* list = frame_list();
  const std::vector<long> old_list = list ? *list : std::vector<long>();
  frame_file_info_t info;
  info.create(n);
  frame_store->images.clear();
  frame_store->positions.clear();
  frame_store->timestamps.clear();
  std::vector<long> new_list;
  for (size_t j = 0; j < n; ++j) {
    const size_t q = order[j];
    frame_store->images.push_back(images[q]);
    frame_store->positions.push_back(position_holder_t::create(frame_file_info.location[q]));
    if (j < stamps.size()) frame_store->timestamps.push_back(stamps[j]);
    new_list.push_back(!old_list.empty() && q < old_list.size() ? old_list[q] : long(q));
    // The records follow their frames, so that later restores and exports
    // meet each frame's own record.
    info.location[j] = frame_file_info.location[q];
    info.pixel_size_x[j] = frame_file_info.pixel_size_x[q];
    info.pixel_size_y[j] = frame_file_info.pixel_size_y[q];
    info.content_time[j] = frame_file_info.content_time[q];
  }
  for (size_t j = n; j < frame_file_info.size(); ++j) {
    info.ensure(int32_t(j));
    info.location[j] = frame_file_info.location[j];
    info.pixel_size_x[j] = frame_file_info.pixel_size_x[j];
    info.pixel_size_y[j] = frame_file_info.pixel_size_y[j];
    info.content_time[j] = frame_file_info.content_time[j];
  }
  frame_file_info = info;
  if (list) *list = new_list;
  return true;
}

bool dicom_utility::restore_file_locations() {
  if (!data_16bit || !locations_from_file || !pending_bool(L"RES_POS_REC", true) || !frame_store)
    return false;
  const size_t n = frame_store->images.size();
  if (n < 1 || frame_store->positions.size() != n || frame_file_info.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (position_t* pos = frame_store->positions[i].get()) *pos = frame_file_info.location[i];
  write_scales_from_slot0();
  if (pending_bool(L"RES_POS_MANUAL", false)) {
    write_pending_double(L"RES_ZTRANS", 0.0);
    write_pending_bool(L"RES_POS_MANUAL", false);
  }
  return true;
}

void dicom_utility::select_frame_info(std::vector<int32_t> frames) {
  frame_file_info_t info;
  info.create(frames.size());
  std::vector<long>* list = frame_list();
  std::vector<long> new_list;
  for (size_t i = 0; i < frames.size(); ++i) {
    const int32_t idx = frames[i];
    if (idx >= 0 && size_t(idx) < frame_file_info.size()) {
      info.location[i] = frame_file_info.location[size_t(idx)];
      info.pixel_size_x[i] = frame_file_info.pixel_size_x[size_t(idx)];
      info.pixel_size_y[i] = frame_file_info.pixel_size_y[size_t(idx)];
      info.content_time[i] = frame_file_info.content_time[size_t(idx)];
    }
    new_list.push_back(list && !list->empty() && idx >= 0 && size_t(idx) < list->size() ? (*list)[size_t(idx)]
                                                                                        : long(idx));
  }
  selection_saved = frame_file_info;
  selection_saved_list = list ? *list : std::vector<long>();
  selection_saved_valid = true;
  frame_file_info = info;
  if (list) *list = new_list;
  if (locations_from_file && !pending_bool(L"RES_POS_MANUAL", false)) write_scales_from_slot0();
}

void dicom_utility::undo_frame_selection() {
  if (!selection_saved_valid) return;
  frame_file_info = selection_saved;
  if (std::vector<long>* list = frame_list()) *list = selection_saved_list;
  selection_saved_valid = false;
}

void dicom_utility::reset_data_source() {
  data_16bit = false;
  patient_coordinates = false;
  source_type = "Unknown";
  value_units = "??";
  locations_from_file = false;
  frame_file_info.clear();
  selection_saved_valid = false;
}

namespace {

// The volume readers as the data-file code sees them.
class dicom_medical_source final : public medical_source {
 public:
  int32_t read_frame(const wxString& path, int32_t index, int32_t frame_number, uint16_t* raw,
                     uint8_t* bytes) override {
    return dicom_utility::read_dicom_data(wxFileName(path), index, frame_number, raw, bytes, nullptr);
  }
  bool data_8bit() const override { return dicom_utility::data_8bit; }
  bool data_16bit() const override { return dicom_utility::data_16bit; }
  wxString source_type() const override { return dicom_utility::source_type; }
  wxString value_units() const override { return dicom_utility::value_units; }
  void file_rescale(double& slope, double& intercept) const override {
    slope = dicom_utility::file_rescale.slope;
    intercept = dicom_utility::file_rescale.intercept;
  }
  bool sort_frames() override { return dicom_utility::sort_dicom_frames(); }
  void reset_data_source() override { dicom_utility::reset_data_source(); }
  bool load_files(const wxString& path) override { return dicom_utility::load_dicom_files(wxFileName(path)) == 1; }
  void select_frame_info(const std::vector<int32_t>& frames) override {
    dicom_utility::select_frame_info(frames);
  }
  void undo_frame_selection() override { dicom_utility::undo_frame_selection(); }
};

}  // namespace

medical_source* dicom_utility_medical_source() {
  static dicom_medical_source source;
  return &source;
}
