// One position or pressure correction run over the frames of the frame store,
// held by RES_CORRELATION; the registry deletes a run still held at exit.
//
// This is the run's data and what the reslice and panorama builders ask of
// it: a frame's corrected position and its pressure-corrected image. Both
// fall back to the frame store for a frame the run holds no record of, so a
// caller may ask for every frame. Adding and correlating frames is not built
// yet; the records are filled by whoever makes the run.
#pragma once

#include <cstdint>
#include <vector>

#include "data/dynabuf.h"
#include "data/geometry.h"

// The record of one frame added to a run.
struct correlation_frame_t {
  int32_t frame = -1;     // index in the frame store
  frame_image_ref image;  // the frame's pixels, kept while the record lives
  // Recorded position times the calibration: frame centimetres to world.
  matrix4_t recorded_pose{};
  matrix4_t corrected_pose{};
  // x, y, z (cm), azimuth, elevation, roll (degrees) of corrected_pose
  // without the calibration, in the order of position_t.
  float corrected_position[6] = {};
  // Pressure runs only (else empty): how far compression moved each image
  // row, in rows; one entry per row.
  std::vector<float> row_offsets;
  float y_shift = 0.0f;  // pixels of the y movement put down to compression
  float row_origin = 0.0f;
  float row_step = 1.0f;
};

class image_correlation {
 public:
  // A run over the frames as they are now: the calibration and pixel sizes
  // are copied from the resources. Frames less than 40 rows high or without
  // recorded positions make a run that is not valid.
  explicit image_correlation(bool correct_pressure = false);
  ~image_correlation() = default;
  image_correlation(const image_correlation&) = delete;
  image_correlation& operator=(const image_correlation&) = delete;

  // A record for frame k as a run starts it: the corrected pose and position
  // are the recorded ones, and a pressure run's row offsets are all 0. False
  // when the frame has no position record.
  bool start_record(int32_t k, correlation_frame_t& out) const;

  // Index in finished of frame k's record (the first one), or -1; a run that
  // is not valid has none.
  int32_t record_index(int32_t k) const;

  // Frame k's corrected position as a new reference, or the frame store's
  // own reference when the run has no record of the frame.
  position_ref corrected_position(int32_t k) const;

  // Writes frame k's 8-bit image (RES_BUF_WIDTH x RES_BUF_HEIGHT bytes) into
  // out: with a record, each row resampled from where compression moved it;
  // without, the frame store's pixels unchanged. Pixels that cannot be had
  // (a missing or short image) are written as 0.
  void corrected_image(int32_t k, uint8_t* out) const;

  bool valid = true;
  std::vector<correlation_frame_t> pending;   // the run in progress, in the order added
  std::vector<correlation_frame_t> finished;  // the run once finished
  std::vector<float> row_increments;          // pressure runs: one entry per row
  double x_trans = 0.0, y_trans = 0.0, z_trans = 0.0;
  double azimuth = 0.0, elevation = 0.0, roll = 0.0;
  double y_scale = 0.0, x_scale = 0.0;  // cm per pixel
  matrix4_t calibration{};              // frame to probe
  matrix4_t calibration_inverse{};
  matrix4_t position_drift{};  // accumulated world correction of a positions-only run
  matrix4_t pressure_drift{};  // the same of a pressure run (x only)
  int32_t current = 0;         // index in pending of the newest record
  int32_t previous = -1;       // and of the one before it
  bool correct_pressure = false;
};

// Rows of a pressure-corrected image: output row j comes from source row
// j + offsets[j] - offsets[10], linearly between the two rows around it, and
// is 0 when that lies above row 0 or at or below the last row. With doppler
// set, two values of different colour classes are never mixed: the nearer
// row's value is taken. width x height bytes each; offsets holds height
// entries.
void pressure_corrected_rows(const uint8_t* source, int32_t width, int32_t height, const float* offsets,
                             bool doppler, uint8_t* out);
