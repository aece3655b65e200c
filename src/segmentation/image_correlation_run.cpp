// The life of a correction run: frames added one by one, the finish with the
// drift fit and the reliability judgement, and the acceptance that writes
// the corrected positions, images, contours and landmarks into the data.
#include <wx/log.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "data/data_io_ui.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/surface_store.h"
#include "registry/resource_table.h"
#include "segmentation/image_correlation.h"

namespace {

constexpr int kAnchorRow = 10;

// A line of the script's message log (and of nv_tool's output).
void script_line(const wxString& text) {
  if (resource_table) resource_table->RES_SCRIPT_WRITE_MESSAGE->write(text);
}

// How far compression moved the content at row y (pixels), relative to the
// anchor row.
double row_shift(const correlation_frame_t& r, double y) {
  const int32_t H = static_cast<int32_t>(r.row_offsets.size());
  if (H <= kAnchorRow) return 0.0;
  int32_t row = static_cast<int32_t>(y + 0.5);
  row = std::min(std::max(row, 0), H - 1);
  return static_cast<double>(r.row_offsets[static_cast<size_t>(row)]) - r.row_offsets[kAnchorRow];
}

}  // namespace

bool image_correlation::correct_frame(int32_t k) {
  if (!valid || k < 0 || !frame_store || !resource_table) return false;
  if (static_cast<size_t>(k) >= frame_store->images.size() || static_cast<size_t>(k) >= frame_store->positions.size())
    return false;
  if (!frame_store->positioncp(k)) return false;
  if (progress_) {
    progress_->update(k, wxString::Format("Currently correcting frame %li of %li.", long(k),
                                          long(resource_table->RES_BUF_FRAMES->read())));
    if (progress_->cancelled()) {
      invalidate("The correction was cancelled.");
      return false;
    }
  }
  try {
    correlation_frame_t r;
    if (!start_record(k, r)) return false;
    current = static_cast<int32_t>(pending.size());
    pending.push_back(std::move(r));
    if (previous != -1) {
      correlate();
      if (correct_pressure) {
        std::unique_ptr<uint8_t[]> resampled = resample_previous();
        if (resampled) estimate_compression(resampled.get());
      }
    }
  } catch (const std::bad_alloc&) {
    data_report(wxLOG_Error, "There is not enough memory to correct the positions; the correction was stopped.");
    invalidate("There was not enough memory to correct the positions.");
    return false;
  }
  previous = current;
  return true;
}

bool image_correlation::finish_correction(double& p, double& q) {
  auto fail = [&](const wxString& why) {
    invalidate(why);
    // Without a dialog nobody sees why; the script's log says it.
    if (!progress_) script_line("WARNING " + failure_);
    return false;
  };
  if (!valid) return fail(failure_);
  if (pending.size() <= 1) return fail("A correction needs at least two frames.");
  if (progress_)
    progress_->update(pending.back().frame, "Optimising corrected positions to recorded positions");

  double pp = 0.0, qq = 0.0;
  try {
    if (correct_pressure) reference_pressure();
  } catch (const std::bad_alloc&) {
    data_report(wxLOG_Error, "There is not enough memory to correct probe pressure.");
    return fail("There was not enough memory to correct probe pressure.");
  }
  if (!adjust_positions(pp, qq)) return fail("There was not enough memory to fit the corrected positions.");
  if (!std::isfinite(pp) || !std::isfinite(qq))
    return fail("The corrected positions could not be fitted to the recorded ones.");
  const int32_t last_frame = pending.back().frame;
  for (correlation_frame_t& r : pending) finished.push_back(std::move(r));
  pending.clear();
  previous = -1;
  matrix4_identity(position_drift);
  matrix4_identity(pressure_drift);
  std::fill(row_increments.begin(), row_increments.end(), 0.0f);
  p = pp;
  q = qq;

  const resource_table_t& t = *resource_table;
  if (progress_) {
    wxString question;
    if (correct_pressure && (pp > 0.5 || qq > 2.0))
      question = wxString::Format(
          "Maximum movement of data is:\n %.2lf mm due to pressure\n %.2lf mm due to positions.\n\n"
          "Corrections over 20 mm (pressure) or 5 mm (positions) are unlikely to be reliable:\n"
          "continue with these results anyway?",
          qq * 10.0, pp * 10.0);
    else if (!correct_pressure && (pp > 0.5 || qq > 0.5))
      question = wxString::Format(
          "Maximum movement of data is:\n %.2lf mm due to positions.\n\n"
          "Corrections over 5 mm are unlikely to be reliable:\ncontinue with these results anyway?",
          pp * 10.0);
    if (!question.empty()) {
      if (t.RES_IN_SCRIPT->read()) {
        invalidate(wxString::Format("Correction unreliable (%.2lf mm due to pressure, %.2lf mm due to "
                                    "positions); the results were discarded.",
                                    qq * 10.0, pp * 10.0));
        script_line("WARNING " + failure_);
      } else if (!current_data_ui().ask_yes_no("Correction unreliable", question)) {
        invalidate("The unreliable correction was declined.");
      }
    }
    if (last_frame == t.RES_BUF_FRAMES->read() - 1) progress_.reset();
  } else if (pp > 0.2 || qq > 0.2) {
    return fail(wxString::Format("Correction unreliable (%.2lf mm due to pressure, %.2lf mm due to positions, "
                                 "over 2 mm); the results were discarded.",
                                 qq * 10.0, pp * 10.0));
  }
  return valid;
}

bool image_correlation::apply_correction() {
  // A run that was never finished holds nothing to write.
  if (!valid || finished.empty() || !frame_store || !resource_table) return false;
  resource_table_t& t = *resource_table;
  const int32_t W = t.RES_BUF_WIDTH->read(), H = t.RES_BUF_HEIGHT->read();
  const size_t size = static_cast<size_t>(std::max(W, 0)) * static_cast<size_t>(std::max(H, 0));
  const bool doppler = t.RES_BUF_DOPPLER->read();

  // Positions, and in a pressure run the images. Everything that can run
  // short of memory is had before anything changes.
  std::unique_ptr<uint8_t[]> buffer;
  std::unique_ptr<uint16_t[]> raw_buffer;
  if (correct_pressure) {
    buffer.reset(new (std::nothrow) uint8_t[std::max<size_t>(size, 1)]);
    bool any_raw = false;
    for (const correlation_frame_t& r : finished) any_raw |= r.image && r.image->raw;
    if (any_raw) raw_buffer.reset(new (std::nothrow) uint16_t[std::max<size_t>(size, 1)]);
    if (!buffer || (any_raw && !raw_buffer)) {
      data_report(wxLOG_Error, "There is not enough memory to apply the correction; the data were not changed.");
      return false;
    }
  }
  for (const correlation_frame_t& r : finished) {
    if (r.frame < 0 || static_cast<size_t>(r.frame) >= frame_store->positions.size()) continue;
    if (position_t* pos = frame_store->positions[static_cast<size_t>(r.frame)].get()) {
      const float* c = r.corrected_position;
      pos->x = c[0];
      pos->y = c[1];
      pos->z = c[2];
      pos->azimuth = c[3];
      pos->elevation = c[4];
      pos->roll = c[5];
    }
    if (!correct_pressure || !r.image || record_index(r.frame) < 0 ||
        &finished[static_cast<size_t>(record_index(r.frame))] != &r)
      continue;
    frame_image_t& image = *r.image;
    if (image.size < 0 || static_cast<size_t>(image.size) < size || r.row_offsets.size() < static_cast<size_t>(H))
      continue;
    if (image.raw) {
      // 16-bit frames: the raw values are corrected, so that the display
      // pixels windowed from them later keep the correction.
      pressure_corrected_rows(image.raw, W, H, r.row_offsets.data(), doppler, raw_buffer.get());
      std::memcpy(image.raw, raw_buffer.get(), size * sizeof(uint16_t));
      image.stamp = -1;
      frame_image_t::display_data(r.image);
    } else {
      corrected_image(r.frame, buffer.get());
      if (uint8_t* display = frame_image_t::display_data(r.image)) std::memcpy(display, buffer.get(), size);
    }
  }

  // Contours move with their rows; surfaces made from them go.
  contour_object* objects = t.RES_OBJECT->read();
  const int32_t count = std::min<int32_t>(static_cast<int32_t>(t.CURRENT_MAX_OBJECTS->read()), NUM_USER_OBJECTS);
  bool moved = false;
  for (int32_t k = 0; objects && k < count; ++k) {
    contour_object& o = objects[k];
    if (o.frames.empty()) continue;
    if (correct_pressure) {
      for (frame_contours_t& entry : o.frames) {
        const int32_t i = record_index(entry.frame);
        if (i < 0) continue;
        const correlation_frame_t& r = finished[static_cast<size_t>(i)];
        for (contour_t& c : entry.contours)
          for (vec2_t& v : c.vertices) {
            v.y -= row_shift(r, v.y);
            moved = true;
          }
        entry.area = -1.0;
      }
    }
    o.volume = -1.0;
    genflag_res_t<surface_interp*>* surface = t.RES_SURFACE[k];
    if (surface_interp* s = surface->pending()) {
      delete_surface(s);
      surface->write_no_changeprocs(nullptr);
    }
  }
  if (moved) t.CONT->write();

  // Data and spine landmarks on a frame move with it.
  landmarks* marks = t.RES_LANDMARKS->read();
  bool marks_moved = false;
  for (size_t i = 0; marks && i < marks->size(); ++i) {
    landmark_t& l = (*marks)[i];
    if (l.kind != LM_DATA && l.kind != LM_SPINE) continue;
    const vec3_t point{l.x, l.y, l.z};
    double nearest = 1e10, px = 0.0, py = 0.0, pd = 0.0;
    const correlation_frame_t* on = nullptr;
    for (const correlation_frame_t& r : finished) {
      const vec3_t hit = line_plane_intersection(point, matrix4_get_z_axis(r.recorded_pose), r.recorded_pose);
      const double d = -hit.z;  // the landmark lies d along the plane's z axis
      if (std::fabs(d) < std::fabs(nearest)) {
        nearest = d;
        px = hit.x;
        py = hit.y;
        pd = d;
        on = &r;
      }
    }
    if (!on || !(std::fabs(nearest) / x_scale < 0.5)) continue;
    double yp = py / y_scale;
    if (correct_pressure) yp -= row_shift(*on, yp);
    if (t.RES_SNAP_LANDMARKS->read()) pd = 0.0;
    vec3_t moved_to;
    matrix4_transform_point(moved_to, on->corrected_pose, vec3_t{px, yp * y_scale, pd});
    l.x = moved_to.x;
    l.y = moved_to.y;
    l.z = moved_to.z;
    marks_moved = true;
  }
  if (marks_moved) t.LANDMARK->write();

  // The data now carry corrected positions (and pressure).
  if (correct_pressure && (!t.RES_CORRECTED_PRESSURE->read() || !t.RES_CORRECTED_PRESSURE->pending()))
    t.RES_CORRECTED_PRESSURE->write_no_changeprocs(true);
  if (!t.RES_CORRECTED_POS->read() || !t.RES_CORRECTED_POS->pending()) t.RES_CORRECTED_POS->write_no_changeprocs(true);
  base_res_t::make_pending_writes_happen();
  return true;
}
