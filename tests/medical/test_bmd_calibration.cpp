// Calibration to bone mineral density on synthetic phantom scans written as
// DICOM by tests/data/make_bmd_phantoms.py and read by the program's reader;
// the expected lines were fitted there with numpy.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "medical/bmd_calibration.h"
#include "medical/dicom_utility.h"
#include "medical_support.h"

namespace {

struct phantom_case {
  std::string folder, phantom;
  double scale = 0, offset = 0;
  std::vector<landmark_t> landmarks;
};

const wxString& phantom_root() {
  static const wxString dir = generated_fixtures("make_bmd_phantoms.py");
  return dir;
}

std::vector<phantom_case> read_cases() {
  std::vector<phantom_case> cases;
  std::ifstream in((phantom_root() + "/cases.tsv").ToStdString());
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    phantom_case c;
    std::string field;
    std::getline(fields, c.folder, '\t');
    std::getline(fields, c.phantom, '\t');
    std::getline(fields, field, '\t');
    c.scale = std::stod(field);
    std::getline(fields, field, '\t');
    c.offset = std::stod(field);
    while (std::getline(fields, field, '\t')) {
      std::istringstream xyz(field);
      landmark_t l;
      l.kind = LM_2D;
      xyz >> l.x >> l.y >> l.z;
      c.landmarks.push_back(l);
    }
    cases.push_back(c);
  }
  return cases;
}

class BmdCalibration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(phantom_root().empty()) << "fixture generator failed";
    saved_store_ = frame_store;
    frame_store = &store;
    dicom_utility::reset_reader_state();
    dicom_utility::reset_data_source();
  }
  void TearDown() override {
    frame_store = saved_store_;
    dicom_utility::reset_reader_state();
    dicom_utility::reset_data_source();
    dicom_utility::series_list.clear();
  }

  // Loads a case's first slice (and the run that follows it) and describes
  // the loaded data as the calibration reads it.
  bmd_input load(const std::string& folder) {
    store.clear();
    const wxString first = phantom_root() + "/" + folder + "/IM0001.dcm";
    EXPECT_EQ(dicom_utility::load_dicom_files(wxFileName(first)), 1) << folder;
    base_res_t::make_pending_writes_happen();
    bmd_input in;
    in.frames = int32_t(store.images.size());
    in.width = res.width.read();
    in.height = res.height.read();
    in.xscale = res.xscale.read();
    in.yscale = res.yscale.read();
    in.hum = res.hum.read();
    in.hub = res.hub.read();
    in.raw = [this](int32_t f) -> const uint16_t* {
      return f >= 0 && size_t(f) < store.images.size() && store.images[size_t(f)] ? store.images[size_t(f)]->raw
                                                                                  : nullptr;
    };
    in.position = [this](int32_t f) -> const position_t* {
      return f >= 0 && size_t(f) < store.positions.size() ? store.positions[size_t(f)].get() : nullptr;
    };
    return in;
  }

  resource_set res;
  dynabuf store;

 private:
  dynabuf* saved_store_ = nullptr;
};

// Each pair's two ends swapped, and with four landmarks the later frame's
// pair first.
std::vector<landmark_t> reversed(std::vector<landmark_t> l) {
  for (size_t i = 0; i + 1 < l.size(); i += 2) std::swap(l[i], l[i + 1]);
  if (l.size() == 4) {
    std::swap(l[0], l[2]);
    std::swap(l[1], l[3]);
  }
  return l;
}

TEST_F(BmdCalibration, EveryPhantomIsRecognisedAndFittedInEitherLandmarkOrder) {
  const std::vector<phantom_case> cases = read_cases();
  ASSERT_EQ(cases.size(), 9u);
  std::set<std::string> phantoms;
  for (const phantom_case& c : cases) {
    bmd_input in = load(c.folder);
    for (bool reverse : {false, true}) {
      SCOPED_TRACE(c.folder + (reverse ? " reversed" : ""));
      in.landmarks = reverse ? reversed(c.landmarks) : c.landmarks;
      const bmd_result r = bmd_calibrate(in);
      if (c.phantom == "fail") {
        EXPECT_EQ(r.status, bmd_result::FAILED);
        EXPECT_EQ(r.message, L"Calibration is not possible: one of the landmarks is outside the CT data");
        continue;
      }
      ASSERT_EQ(r.status, bmd_result::CALIBRATED) << r.message;
      EXPECT_EQ(r.phantom, wxString(c.phantom));
      EXPECT_NEAR(r.scale, c.scale, 1e-9);
      EXPECT_NEAR(r.offset, c.offset, 1e-9);
      phantoms.insert(c.phantom);
    }
  }
  EXPECT_EQ(phantoms.size(), 7u) << "one case per row of the catalogue";
}

TEST_F(BmdCalibration, ReportListsEachCompartmentThenTheCorticalDensity) {
  for (const phantom_case& c : read_cases()) {
    if (c.folder != "mindways_solid" && c.folder != "siemens") continue;
    bmd_input in = load(c.folder);
    in.landmarks = c.landmarks;
    in.cortical_hu = 1200;
    const bmd_result r = bmd_calibrate(in);
    ASSERT_EQ(r.status, bmd_result::CALIBRATED);
    const wxString density = wxString::Format(L"%.2lf", (1200 - c.offset) / c.scale);
    if (c.folder == "siemens") {
      ASSERT_EQ(r.report.size(), 1u);
      EXPECT_EQ(r.report[0], L"HA-equivalent density for 1200.00 HU is " + density + L" mg/cc");
      continue;
    }
    ASSERT_EQ(r.report.size(), 6u);
    const wchar_t letters[] = L"EDCBA";
    for (int k = 0; k < 5; ++k)
      EXPECT_TRUE(r.report[size_t(k)].StartsWith(wxString(L"Mean CT value for ") + letters[k] + L" is "))
          << r.report[size_t(k)];
    EXPECT_EQ(r.report[5], L"K2HPO4-equivalent density for 1200.00 HU is " + density + L" mg/cc");
  }
}

TEST_F(BmdCalibration, MisplacedLandmarksAreRefusedWithTheirMessage) {
  const phantom_case c = read_cases()[0];
  bmd_input in = load(c.folder);
  const wxString none =
      L"To calibrate for BMD, you need to position two landmarks in the phantom rods / compartments, one at each "
      L"end of the phantom, in the same frame. Ideally you should also locate two further landmarks at the same ends "
      L"of the phantom in another frame.";
  const wxString two = L"The two landmarks should be in the same frame, one at either end of the phantom.";
  const wxString four =
      L"The first two landmarks should be at either end of the phantom in one frame and the next two at the same "
      L"ends of the phantom in another frame.";
  const landmark_t a = c.landmarks[0], b = c.landmarks[1];
  landmark_t a0 = a, b0 = b;
  a0.z = b0.z = 0;
  landmark_t world = a;
  world.kind = LM_DATA;
  world.z = 99;  // far from every slice
  const struct {
    std::vector<landmark_t> landmarks;
    wxString message;
  } table[] = {
      {{}, none},
      {{a}, none},
      {{a, b, a0}, none},
      {{a, b0}, two},
      {{a, b, b0, a0}, four},  // second pair in the other end order
      {{world}, none},
  };
  for (const auto& row : table) {
    in.landmarks = row.landmarks;
    const bmd_result r = bmd_calibrate(in);
    EXPECT_EQ(r.status, bmd_result::FAILED) << row.landmarks.size();
    EXPECT_EQ(r.message, row.message) << row.landmarks.size();
  }
}

TEST_F(BmdCalibration, ValuesThatDoNotRiseWithDensityAreRefused) {
  const phantom_case c = read_cases()[0];
  bmd_input in = load(c.folder);
  in.landmarks = c.landmarks;
  const std::vector<uint16_t> flat(size_t(in.width) * size_t(in.height), 1024);
  in.raw = [&flat](int32_t) { return flat.data(); };
  const bmd_result r = bmd_calibrate(in);
  EXPECT_EQ(r.status, bmd_result::FAILED);
  EXPECT_EQ(r.message, L"Calibration is not possible: the values measured in the phantom do not rise with its density");
}

TEST_F(BmdCalibration, DataWithoutRawValuesIsLeftAloneSilently) {
  const phantom_case c = read_cases()[0];
  bmd_input in = load(c.folder);
  in.landmarks = c.landmarks;
  in.raw = [](int32_t) -> const uint16_t* { return nullptr; };
  const bmd_result r = bmd_calibrate(in);
  EXPECT_EQ(r.status, bmd_result::NOT_APPLICABLE);
  EXPECT_TRUE(r.message.empty());
}

}  // namespace
