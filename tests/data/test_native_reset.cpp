// Emptying and resetting the data set, conversion of files of older versions
// and the test for an evenly spaced stack of frames.
#include <cmath>

#include "data/convert.h"
#include "data/curves.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/reslice_info.h"
#include "native_test_support.h"
#include "surfaces/surface_interp.h"

namespace {

using native_reset = native_test;

TEST_F(native_reset, ClearDataEmptiesTheDataSetButKeepsFiducialsAndTheModel) {
  recorded_pages pages;
  set_data_set_pages(&pages);
  frame_store->add_image(frame_image_t::create(new uint8_t[4], 4));
  frame_store->timestamps.push_back(1);
  t().RES_DICOM_FRAME_LIST->read()->push_back(3);
  contour_t c;
  c.vertices = {{1, 1}, {2, 2}};
  object(3).add_contour(0, c);
  object(3).name = "Liver";
  object(3).opacity = 0.2;
  object(200).add_contour(0, c);
  auto* surface = new surface_interp;
  auto* model_surface = new surface_interp;
  t().RES_SURFACE[3]->write(surface);
  t().RES_SURFACE[200]->write(model_surface);
  t().RESLICE->read()[2].set_centre({1, 2, 3}, false);
  t().RES_COMMENT->read()->push_back("note");
  marks().add_landmark({1, 1, 1}, "A", LM_DATA);
  marks().add_landmark({1, 1, 1}, "Fiducial 1", LM_FIDUCIAL);
  t().RES_CURVE->read()->curves.push_back(curve_t());

  clear_data();
  EXPECT_TRUE(frame_store->images.empty());
  EXPECT_TRUE(frame_store->timestamps.empty());
  EXPECT_TRUE(t().RES_DICOM_FRAME_LIST->read()->empty());
  EXPECT_TRUE(object(3).frames.empty());
  EXPECT_EQ(object(3).name, "Object 3");
  EXPECT_EQ(object(3).opacity, 1.0);
  EXPECT_EQ(t().RES_SURFACE[3]->pending(), nullptr);
  EXPECT_EQ(object(200).frames.size(), 1u);
  EXPECT_EQ(t().RES_SURFACE[200]->pending(), model_surface);
  EXPECT_FALSE(t().RESLICE->read()[2].defined);
  EXPECT_EQ(t().RESLICE->read()[2].centre.z, 0.0);
  EXPECT_TRUE(t().RES_COMMENT->read()->empty());
  ASSERT_EQ(marks().size(), 1u);
  EXPECT_EQ(marks()[0].kind, LM_FIDUCIAL);
  EXPECT_EQ(t().RES_CURVE->read()->size(), 0u);
  EXPECT_EQ(pages.volume_resets, 1);
  EXPECT_EQ(pages.landmark_lists, 1);
  EXPECT_EQ(pages.curve_lists, 1);

  // Without the pages the colour mapping falls back to the built-in rows.
  set_data_set_pages(nullptr);
  volume_object* rows = t().RES_VOLUME->read();
  rows[1].opacity = 7;
  rows[5].enabled = 1;
  clear_data();
  EXPECT_EQ(rows[1].opacity, 255);
  EXPECT_EQ(rows[1].data_value, 255);
  EXPECT_EQ(rows[0].enabled, 1);
  EXPECT_EQ(rows[5].enabled, 0);
  EXPECT_EQ(rows[5].roughness, 100);
}

TEST_F(native_reset, ResetGivesThePerDataSetValues) {
  t().RES_BUF_DICOM->write(true);
  t().RES_DICOM_BMD_SCALE->write(3.0);
  t().RES_DICOM_UNITS->write("HU");
  t().RES_VERSION->write("7.27");
  t().RES_MASKED_DATA->write(2);
  reset_data_resources();
  EXPECT_TRUE(t().RES_BUF_DICOM->read());  // nothing committed yet
  base_res_t::make_pending_writes_happen();
  EXPECT_FALSE(t().RES_BUF_DICOM->read());
  EXPECT_EQ(t().RES_DICOM_BMD_SCALE->read(), 1.0);
  EXPECT_EQ(t().RES_DICOM_UNITS->read(), "??");
  EXPECT_EQ(t().RES_DICOM_BMD_PHANTOM->read(), "No");
  EXPECT_EQ(t().RES_VERSION->read(), "3.6");
  EXPECT_EQ(t().RES_MASKED_DATA->read(), 0);
}

// ---- conversion ------------------------------------------------------------

class sixteen_bit_source : public medical_source {
 public:
  int32_t read_frame(const wxString&, int32_t, int32_t, uint16_t*, uint8_t*) override { return 0; }
  bool data_8bit() const override { return false; }
  bool data_16bit() const override { return true; }
  wxString source_type() const override { return "DICOM"; }
  wxString value_units() const override { return "HU"; }
  void file_rescale(double& s, double& i) const override { s = 2.0, i = -1024.0; }
  bool sort_frames() override { return false; }
  void reset_data_source() override {}
};

class native_convert : public native_test {
 protected:
  // Reads a frameless file of the version with the body lines given.
  void read_version(const std::string& version, const std::string& body, bool medical) {
    write_file("v.hm", std::string("RES_BUF_FRAMES 0\nRES_BUF_WIDTH 2\nRES_BUF_HEIGHT 2\n") +
                           (medical ? "RES_BUF_DICOM true\n" : "") + "RES_END_HEADER\n" +
                           (version.empty() ? "" : "RES_VERSION " + version + "\n") + body);
    if (medical) set_medical_source(&source_);
    ASSERT_TRUE(read_hm("v.hm"));
  }
  bool data_changed() {
    wxString groups;
    return base_res_t::describe_changed_groups(3, groups);
  }
  sixteen_bit_source source_;
};

TEST_F(native_convert, OldMedicalFileGetsEveryConversion) {
  t().RES_LIGHTING_LEFT_RIGHT->write(0.3);  // the user's own lighting
  read_version("5",
               "RES_THICKNESS_SCALE_MM 40\nRES_THICKNESS_CREATE_INNER 1\n"
               "RES_THICKNESS_CREATE_OUTER 1\nRES_LIGHTING_LEFT_RIGHT 0.75\n"
               "RES_LIGHTING_UP_DOWN -0.75\n",
               true);
  EXPECT_EQ(t().RES_THICKNESS_SCALE_MM->read(), 400);
  EXPECT_EQ(t().RES_DICOM_HUM->read(), 2.0);
  EXPECT_EQ(t().RES_DICOM_HUB->read(), -1024.0);
  EXPECT_EQ(t().RES_DICOM_UNITS->read(), "HU");
  EXPECT_EQ(t().RES_THICKNESS_CREATE_INNER->read(), 3);
  EXPECT_EQ(t().RES_THICKNESS_CREATE_OUTER->read(), 2);
  EXPECT_DOUBLE_EQ(t().RES_LIGHTING_LEFT_RIGHT->read(), 0.25);
  EXPECT_DOUBLE_EQ(t().RES_LIGHTING_UP_DOWN->read(), -0.5);
  EXPECT_EQ(t().RES_VERSION->read(), "7.27");
  EXPECT_TRUE(data_changed());
  EXPECT_EQ(log_.count(wxLOG_Warning), 0);
  // The file's values do not become the user's own.
  EXPECT_DOUBLE_EQ(t().RES_LIGHTING_LEFT_RIGHT->user_value(), 0.3);
}

TEST_F(native_convert, UnitsAreAdjustedToTheDataFilesWithAReport) {
  read_version("7.25", "RES_DICOM_UNITS ??\nRES_DICOM_HUM 2\nRES_DICOM_HUB -1024\n", true);
  EXPECT_EQ(t().RES_DICOM_UNITS->read(), "HU");
  EXPECT_TRUE(log_.has(wxLOG_Warning,
                       "Resource for data units adjusted to match data files.\nPlease ensure the "
                       "file is saved if you want to preserve the conversion."));
  EXPECT_EQ(t().RES_VERSION->read(), "7.27");
}

TEST_F(native_convert, VersionTextsDecideWhatIsConverted) {
  struct version_case {
    const char* version;
    const char* version_after;
    int inner_after;
  };
  const version_case cases[] = {
      {"7.26", "7.26", 1}, {"7.12a", "7.27", 3}, {"abc", "abc", 1}, {"7.13", "7.27", 1}};
  for (const version_case& c : cases) {
    SCOPED_TRACE(c.version);
    read_version(c.version, "RES_THICKNESS_CREATE_INNER 1\n", false);
    EXPECT_EQ(t().RES_VERSION->read(), c.version_after);
    EXPECT_EQ(t().RES_THICKNESS_CREATE_INNER->read(), c.inner_after);
    EXPECT_EQ(data_changed(), wxString(c.version) != c.version_after);
  }
}

TEST_F(native_convert, OnlyTheFilesOwnValuesAreConverted) {
  read_version("7.20", "RES_LIGHTING_LEFT_RIGHT 0.25\nRES_LIGHTING_UP_DOWN -0.5\n", false);
  EXPECT_DOUBLE_EQ(t().RES_LIGHTING_LEFT_RIGHT->read(), 0.25);
  EXPECT_DOUBLE_EQ(t().RES_LIGHTING_UP_DOWN->read(), -0.5);

  // Values a file lacks are the user's, already in today's units: reading
  // two old files in a row must not shrink them twice.
  t().RES_LIGHTING_LEFT_RIGHT->write(0.6);
  t().RES_THICKNESS_SCALE_MM->write(40);
  for (int i = 0; i < 2; ++i) read_version("4", "", false);
  EXPECT_DOUBLE_EQ(t().RES_LIGHTING_LEFT_RIGHT->read(), 0.6);
  EXPECT_EQ(t().RES_THICKNESS_SCALE_MM->read(), 40);
}

// ---- image stacks ----------------------------------------------------------

class native_stack : public native_test {
 protected:
  // Frames at the given distances along frame 0's normal (NaN: no records).
  void frames_at(const std::vector<double>& z, double x_step = 0.0) {
    frame_store->clear();
    for (size_t k = 0; k < z.size(); ++k) {
      frame_store->add_image(frame_image_t::create(new uint8_t[1], 1));
      if (!std::isnan(z[k]))
        frame_store->positions.push_back(position_holder_t::create(
            {static_cast<float>(k * x_step), 0.0f, static_cast<float>(z[k]), 0, 0, 0}));
    }
  }
  static std::vector<double> spaced(int n, double step, int skip = -1) {
    std::vector<double> z;
    for (int k = 0; k < n; ++k)
      if (k != skip) z.push_back(k * step);
    return z;
  }
};

TEST_F(native_stack, EvenStacksGiveTheirSpacingOthersZero) {
  struct stack_case {
    const char* what;
    std::vector<double> z;
    double x_step;
    double spacing;
    const char* warning;  // "" for none
  };
  const double nan = std::nan("");
  const stack_case cases[] = {
      {"even", spaced(10, 0.1), 0, 0.1, ""},
      {"reversed", spaced(10, -0.1), 0, -0.1, ""},
      {"frame 5 missing", spaced(10, 0.1, 5), 0, 0,
       "not evenly spaced, starting from frame 5 of 9"},
      {"duplicated frame", {0, 0.1, 0.2, 0.2, 0.3}, 0, 0, "starting from frame 3 of 5"},
      {"second frame in place of the first", {0, 0, 0.2}, 0, 0, ""},
      {"third frame in place of the first", {0, 0.1, 0}, 0, 0, "starting from frame 2 of 3"},
      {"not along the normal", spaced(4, 0.1), 0.05, 0, ""},
      {"no locations", std::vector<double>(20, nan), 0, 0,
       "This data contains multiple 2D frames with no locations."},
  };
  t().RES_BUF_DICOM->write_no_changeprocs(true);
  for (const stack_case& c : cases) {
    SCOPED_TRACE(c.what);
    log_.clear();
    t().RES_ZSCALE->write(-9.0);
    frames_at(c.z, c.x_step);
    check_for_image_stack();
    EXPECT_NEAR(t().RES_ZSCALE->read(), c.spacing, 1e-6);
    if (*c.warning) {
      EXPECT_TRUE(log_.has(wxLOG_Warning, c.warning));
    } else {
      EXPECT_EQ(log_.count(wxLOG_Warning), 0);
    }
  }

  // Calibration angles rule the test out; expert mode and scripts stay quiet.
  frames_at(spaced(10, 0.1));
  t().RES_ROLL->write_no_changeprocs(5.0);
  check_for_image_stack();
  EXPECT_EQ(t().RES_ZSCALE->pending(), 0.0);
  log_.clear();
  frames_at(std::vector<double>(20, nan));
  t().RES_EXPERT_MODE->write_no_changeprocs(true);
  check_for_image_stack();
  t().RES_EXPERT_MODE->write_no_changeprocs(false);
  t().RES_IN_SCRIPT->write_no_changeprocs(true);
  check_for_image_stack();
  EXPECT_EQ(log_.count(wxLOG_Warning), 0);
}

}  // namespace
