// One position or pressure correction run over the frames of the frame store,
// held by RES_CORRELATION; the registry deletes a run still held at exit.
//
// Frames are added one by one (correct_frame); each is compared with the one
// added before it, its in-plane displacement measured by correlating strips
// of the two images, and, in a pressure run, the compression of its rows
// estimated. finish_correction fits the corrected poses back to the recorded
// ones by a smooth drift and judges whether the result is believable;
// apply_correction writes it into the frame store, the contours and the
// landmarks. While the run is held, the reslice and panorama builders ask it
// for a frame's corrected position and pressure-corrected image; both fall
// back to the frame store for a frame the run holds no record of.
//
// The run talks to the user through the data-file interface (data_io_ui):
// its progress display with a Cancel button and its one question. While a
// script runs the question is answered No and a WARNING line says so.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <wx/string.h>

#include "data/dynabuf.h"
#include "data/geometry.h"

class data_progress;

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
  // recorded positions make a run that is not valid. With show_progress the
  // run keeps a progress display (with Cancel) until it is finished.
  image_correlation(bool show_progress, bool correct_pressure);
  ~image_correlation();
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

  // ---- the run ----------------------------------------------------------

  // Adds frame k and corrects it against the frame added before. False when
  // the frame was not added (run not valid, no such frame, cancelled).
  bool correct_frame(int32_t k);
  // Fits the corrected poses to the recorded ones and judges the result:
  // p is the largest movement of a far image corner, q of a first-row corner
  // (cm). False, with the run no longer valid, when it cannot be used.
  bool finish_correction(double& p, double& q);
  // Writes the finished run into the frame store, contours and landmarks.
  // False (nothing changed) when the run is not valid or memory is short.
  bool apply_correction();
  // Why the run stopped being valid, empty while it is.
  const wxString& failure() const { return failure_; }

  // ---- the steps, public for their tests --------------------------------

  // Sub-sample position of the largest of n scores by an equiangular fit;
  // 0 when any score is 0 or the maximum lies at either end.
  static float find_peak(const float* scores, int n);
  // Compares pending[previous] with pending[current] and corrects the latter.
  void correlate();
  // The previous record's pixels resampled onto the current record's grid,
  // or null when memory is short; takes the current record's y shift out of
  // its pose.
  std::unique_ptr<uint8_t[]> resample_previous();
  // Measures the compression between the resampled previous image and the
  // current one and sets the current record's row offsets.
  void estimate_compression(const uint8_t* resampled);
  enum offset_mode { OFFSETS_ADD, OFFSETS_SUBTRACT };
  // Carries source's row offsets onto target's rows: target row i meets
  // source row start + i * step.
  void map_row_offsets(const correlation_frame_t& source, correlation_frame_t& target, float start,
                       float step, offset_mode mode) const;
  // Re-expresses every record's row offsets relative to the most
  // compressed record and moves the poses to match.
  void reference_pressure();
  // The polynomial drift fit of the pending records; false when memory is short.
  bool adjust_positions(double& p, double& q);

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
  // Coefficients per drift polynomial chosen by the last fit (3 or 4), and
  // its parameters: rigid offset, then y and x coefficients interleaved.
  int32_t fit_terms = 0;
  std::vector<double> fit_parameters;

 private:
  void invalidate(const wxString& why);
  std::unique_ptr<data_progress> progress_;
  wxString failure_;
};

// The pixel-pair score of n pixel pairs a[i], b[i]: the mean of
// -((a - b)^2 + 1); with masked set, pairs with a 0 on either side do not
// count. sum and count accumulate one row (32-bit sum).
void row_pair_score(const uint8_t* a, const uint8_t* b, int32_t n, bool masked, int32_t& sum, int32_t& count);

// Rows of a pressure-corrected image: output row j comes from source row
// j + offsets[j] - offsets[10], linearly between the two rows around it, and
// is 0 when that lies above row 0 or at or below the last row. With doppler
// set, two values of different colour classes are never mixed: the nearer
// row's value is taken. width x height bytes each; offsets holds height
// entries.
void pressure_corrected_rows(const uint8_t* source, int32_t width, int32_t height, const float* offsets,
                             bool doppler, uint8_t* out);
// The same for 16-bit raw values; with doppler set every pixel takes the
// nearer row.
void pressure_corrected_rows(const uint16_t* source, int32_t width, int32_t height, const float* offsets,
                             bool doppler, uint16_t* out);
