// Calibration of CT data to bone mineral density with a phantom scanned next
// to the patient. Landmarks at the two ends of the phantom give its length,
// which (with the pattern of the measured values where two phantoms have the
// same length) tells which phantom it is; the calibrated values are averaged
// in discs at its rods or compartments and a straight line is fitted between
// HU and the rods' nominal densities: density = (HU - offset) / scale.
//
// Lengths and discs are measured in centimetres, so that pixels that are not
// square calibrate as well as square ones.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <wx/string.h>

#include "data/dynabuf.h"
#include "data/landmarks.h"

// One phantom of the catalogue.
struct bmd_phantom {
  enum layout_t { QRM_BDC_6, MINDWAYS, QRM_BDC_3, IMAGE_ANALYSIS, OLD_IMAGE_ANALYSIS, SIEMENS };
  const wchar_t* name;     // written to RES_DICOM_BMD_PHANTOM
  layout_t layout;         // sample points and the order rule
  double min_length_sq;    // cm^2; the end-to-end length squared must be above it
  double radius;           // sample radius, cm
  std::vector<double> density;          // nominal density per point after ordering, mg/cm^3
  std::vector<const wchar_t*> rod_name; // per point, for the report

  // The seven phantoms, longest first.
  static const std::vector<bmd_phantom>& catalogue();
};

// What the calibration reads of the loaded data.
struct bmd_input {
  int32_t frames = 0;
  int32_t width = 0, height = 0;
  double xscale = 0.01, yscale = 0.01;  // cm per pixel
  position_t calibration;               // RES_XTRANS .. RES_ROLL
  double hum = 1.0, hub = 0.0;          // raw to calibrated value
  double cortical_hu = 0.0;             // RES_THICKNESS_B, for the report's last line
  // A frame's 16-bit raw plane, null when the frame has none.
  std::function<const uint16_t*(int32_t)> raw;
  // A frame's position record, null when it has none.
  std::function<const position_t*(int32_t)> position;
  std::vector<landmark_t> landmarks;
};

struct bmd_result {
  enum status_t {
    NOT_APPLICABLE,  // no 16-bit data: nothing to do and nothing to say
    FAILED,          // message says why; nothing is to be written
    CALIBRATED,
  };
  status_t status = NOT_APPLICABLE;
  wxString message;              // the failure
  double scale = 1.0, offset = 0.0;
  wxString phantom;
  // Per rod, in point order, then the density of the cortical value.
  std::vector<wxString> report;
};

// Runs the whole calibration on the given data.
bmd_result bmd_calibrate(const bmd_input& in);
