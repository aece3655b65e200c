// The volume export's files byte by byte for small stacks whose bytes are
// worked out here: 8-bit display data as NIfTI and NRRD, the calibration
// kept, label volumes from given surface crossings, the refusals, and no
// half-written file when writing fails or the user cancels.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/log_capture.h"
#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "medical/dicom_utility.h"
#include "medical/reader_state.h"
#include "medical_support.h"

namespace {

template <class T>
T at(const std::string& s, size_t offset) {
  T v;
  std::memcpy(&v, s.data() + offset, sizeof v);
  return v;
}

class VolumeExport : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = frame_store;
    frame_store = &store;
    res.width.write(3);
    res.height.write(2);
    res.frames.write(2);
    res.zscale.write(-0.2);
    res.xscale.write(0.05);
    res.yscale.write(0.08);
    dicom_utility::data_8bit = false;
    dicom_utility::patient_coordinates = false;
    saved_crossings_ = dicom_utility::surface_crossings;
  }
  void TearDown() override {
    frame_store = saved_;
    dicom_utility::surface_crossings = saved_crossings_;
    dicom_utility::export_progress_delay_ms = 250;
    dicom_utility::export_progress_interval_ms = 100;
  }

  // Two frames of display bytes 10.., 20.., at z = 0 and z = -0.2 cm.
  void add_8bit_frames() {
    for (int f = 0; f < 2; ++f) {
      auto* d = new uint8_t[6];
      for (int i = 0; i < 6; ++i) d[i] = uint8_t(10 * (f + 1) + i);
      store.add_image(frame_image_t::create(d, 6));
      position_t p;
      p.z = -0.2f * float(f);
      store.positions.push_back(position_holder_t::create(p));
      store.timestamps.push_back(uint64_t(f));
    }
  }
  void add_16bit_frames(uint16_t base) {
    for (int f = 0; f < 2; ++f) {
      auto* r = new uint16_t[6];
      for (int i = 0; i < 6; ++i) r[i] = uint16_t(base + 100 * f + i);
      store.add_image(frame_image_t::create(new uint8_t[6](), r, 6));
      store.positions.push_back(position_holder_t::create(position_t{}));
      store.timestamps.push_back(uint64_t(f));
    }
  }

  resource_set res;
  dynabuf store;
  scratch_dir dir;

 private:
  dynabuf* saved_ = nullptr;
  dicom_utility::surface_crossings_fn saved_crossings_ = nullptr;
};

// Crossings of made-up surfaces on 3 x 2 frames: object 1 on both frames,
// partly beyond the row's ends; object 2 on frame 1 only; object 4 has no
// plane on frame 0; every other object has no surface.
bool made_up_crossings(int object, int32_t frame, std::vector<std::vector<int32_t>>& rows) {
  switch (object) {
    case 1: rows = {{-2, 1}, {1, 5}}; return true;
    case 2: rows = frame == 1 ? std::vector<std::vector<int32_t>>{{1, 1}, {0, 0, 2, 2}}
                              : std::vector<std::vector<int32_t>>{{}, {}};
            return true;
    case 4: if (frame == 0) return false;
            rows = {{}, {0, 2}};
            return true;
    default: return false;
  }
}

// A progress that cancels once it has been updated to frame cancel_at, and a
// user interface that keeps the messages it is given.
struct cancelling_ui final : data_io_ui {
  struct progress final : data_progress {
    explicit progress(cancelling_ui& u) : ui(u) {}
    void update(int value, const wxString&) override {
      ui.updates.push_back(value);
      if (value >= ui.cancel_at) cancel = true;
    }
    void pulse() override {}
    bool cancelled() const override { return cancel; }
    cancelling_ui& ui;
    bool cancel = false;
  };
  std::unique_ptr<data_progress> start_progress(const wxString& caption, const wxString&, int range,
                                                unsigned style) override {
    captions.push_back(caption);
    ranges.push_back(range);
    styles.push_back(style);
    return std::make_unique<progress>(*this);
  }
  bool ask_yes_no(const wxString&, const wxString&) override { return false; }
  void message(wxLogLevel level, const wxString& text) override {
    messages.push_back({level, text});
  }
  int cancel_at = 1 << 30;
  std::vector<int> updates, ranges;
  std::vector<unsigned> styles;
  std::vector<wxString> captions;
  std::vector<std::pair<wxLogLevel, wxString>> messages;
};

int files_in(const wxString& folder) {
  wxDir d(folder);
  wxString name;
  int files = 0;
  for (bool more = d.GetFirst(&name, wxEmptyString, wxDIR_FILES | wxDIR_HIDDEN); more; more = d.GetNext(&name)) ++files;
  return files;
}

TEST_F(VolumeExport, EightBitStackAsNiftiHasTheHeaderAndBytes) {
  add_8bit_frames();
  const wxString out = dir.path("v.nii");
  ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(out), 0, -2));
  const std::string f = read_bytes(out);
  ASSERT_EQ(f.size(), 352u + 12u);
  EXPECT_EQ(at<int32_t>(f, 0), 348);
  EXPECT_EQ(at<int16_t>(f, 40), 3);
  EXPECT_EQ(at<int16_t>(f, 42), 3);
  EXPECT_EQ(at<int16_t>(f, 44), 2);
  EXPECT_EQ(at<int16_t>(f, 46), 2);
  EXPECT_EQ(at<int16_t>(f, 70), 2);   // unsigned 8-bit
  EXPECT_EQ(at<int16_t>(f, 72), 8);
  EXPECT_EQ(at<float>(f, 76), -1.0f);  // negative frame spacing
  EXPECT_FLOAT_EQ(at<float>(f, 80), 0.5f);
  EXPECT_FLOAT_EQ(at<float>(f, 84), 0.8f);
  EXPECT_FLOAT_EQ(at<float>(f, 88), 2.0f);
  EXPECT_EQ(at<float>(f, 108), 352.0f);
  EXPECT_EQ(at<float>(f, 112), 1.0f);
  EXPECT_EQ(at<float>(f, 124), 255.0f);
  EXPECT_EQ(std::string(f.data() + 148), "Converted from Norvelith v7.27");
  EXPECT_EQ(f.substr(344, 4), std::string("n+1\0", 4));
  EXPECT_EQ(f.substr(352), std::string("\x0a\x0b\x0c\x0d\x0e\x0f\x14\x15\x16\x17\x18\x19"));
}

TEST_F(VolumeExport, NrrdHoldsHeaderAndDataOrADetachedPair) {
  add_8bit_frames();
  ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(dir.path("v.nrrd")), 1, -2));
  const std::string f = read_bytes(dir.path("v.nrrd"));
  const std::string header =
      "NRRD0004\r\n# Converted from Norvelith v7.27\r\ntype: uchar\r\ndimension: 3\r\n"
      "sizes: 3 2 2\r\nendian: little\r\nspace: scanner-xyz\r\nkinds: space space space\r\n"
      "space units: \"mm\" \"mm\" \"mm\"\r\n# spacings: (0.50000000,0.80000000,2.00000000)\r\n"
      "space origin: (0.00000000,0.00000000,0.00000000)\r\n"
      "space directions: (0.50000000,0.00000000,0.00000000) (0.00000000,0.80000000,0.00000000) "
      "(0.00000000,0.00000000,-2.00000000)\r\nencoding: raw\r\n\r\n";
  EXPECT_EQ(f.substr(0, header.size()), header);
  EXPECT_EQ(f.substr(header.size()), std::string("\x0a\x0b\x0c\x0d\x0e\x0f\x14\x15\x16\x17\x18\x19"));

  // Replacing a file keeps its permissions.
  dir.write("w.nhdr", "old");
  ASSERT_EQ(::chmod(dir.path("w.nhdr").fn_str(), 0640), 0);
  ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(dir.path("w.nhdr")), 1, -2));
  struct stat st;
  ASSERT_EQ(::stat(dir.path("w.nhdr").fn_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  const std::string h = read_bytes(dir.path("w.nhdr"));
  EXPECT_NE(h.find("encoding: gz\r\ndata file: w.raw.gz\r\n\r\n"), std::string::npos);
  const std::string gz = read_bytes(dir.path("w.raw.gz"));
  ASSERT_GE(gz.size(), 2u);
  EXPECT_EQ(uint8_t(gz[0]), 0x1f);  // gzip magic
  EXPECT_EQ(uint8_t(gz[1]), 0x8b);
}

// Calibrated values of every voxel read back with nibabel (a NIfTI reader
// independent of the program's): empty when nibabel is not there.
std::vector<double> nibabel_values(const wxString& nifti, const scratch_dir& dir) {
  const wxString out = dir.path("nibabel.f8");
  const std::string cmd =
      "/usr/bin/python3 -c \"import sys, nibabel; nibabel.load(sys.argv[1]).get_fdata()"
      ".ravel(order='F').astype('<f8').tofile(sys.argv[2])\" '" +
      nifti.ToStdString() + "' '" + out.ToStdString() + "' 2>/dev/null";
  std::vector<double> v;
  if (std::system(cmd.c_str()) != 0) return v;
  const std::string bytes = read_bytes(out);
  v.resize(bytes.size() / 8);
  std::memcpy(v.data(), bytes.data(), v.size() * 8);
  return v;
}

// The export's sample types over the rows of its table, each file read back
// by the program's own reader and (NIfTI) by nibabel: the calibrated values
// come back, except where NRRD cannot carry the calibration, which the
// export says in one warning naming the slope and intercept left out.
TEST_F(VolumeExport, SampleTypesReadBackWithTheirCalibratedValues) {
  struct {
    const char* name;
    bool eight_bit;
    double slope, intercept;
    uint16_t base;  // raw values base + 100 f + i (display bytes for 8-bit)
    int16_t nifti_type;
    float scl_slope, scl_inter;
    const char* nrrd_type;
    double nrrd_slope, nrrd_inter;  // calibration the NRRD leaves out
  } cases[] = {
      {"unsigned", false, 1, 0, 1000, 512, 1, 0, "ushort", 1, 0},
      {"signed offset", false, 1, -32768, 32768 - 5, 4, 1, 0, "short", 1, 0},
      {"signed CT", false, 1, -33792, 32768 - 5, 512, 1, -33792, "short", 1, 0},
      {"unsigned CT", false, 1, -1024, 0, 512, 1, -1024, "short", 1, 0},
      // Signed with slope 0.5: the intercept is -32768 x slope, not -32768.
      {"signed rescaled", false, 0.5, -16384, 32768 - 5, 4, 0.5f, 0, "short", 0.5, 0},
      {"rescaled", false, 0.5, 3, 1000, 512, 0.5f, 3, "ushort", 0.5, 3},
      {"negative rescaled", false, 2, -2049, 900, 512, 2, -2049, "short", 2, 2049},
      {"8-bit", true, 1, 0, 10, 2, 1, 0, "uchar", 1, 0},
      {"8-bit signed", true, 1, -128, 10, 2, 1, -128, "uchar", 1, -128},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (int format : {0, 1}) {
      SCOPED_TRACE(format == 0 ? "NIfTI" : "NRRD");
      store.clear();
      res.width.write(3);
      res.height.write(2);
      res.frames.write(2);
      res.buf_dicom.write(true);
      res.hum.write(c.slope);
      res.hub.write(c.intercept);
      dicom_utility::data_8bit = c.eight_bit;
      std::vector<double> calibrated;
      for (int f = 0; f < 2; ++f) {
        auto* d = new uint8_t[6];
        auto* r = new uint16_t[6];
        for (int i = 0; i < 6; ++i) {
          r[i] = uint16_t(c.base + 100 * f + i);
          d[i] = uint8_t(c.base + 100 * f + i);
          calibrated.push_back(c.slope * (c.eight_bit ? d[i] : r[i]) + c.intercept);
        }
        store.add_image(c.eight_bit ? frame_image_t::create(d, 6) : frame_image_t::create(d, r, 6));
        if (c.eight_bit) delete[] r;
        position_t p;
        p.z = -0.2f * float(f);
        store.positions.push_back(position_holder_t::create(p));
        store.timestamps.push_back(uint64_t(f));
      }
      const wxString out = dir.path(format == 0 ? "rt.nii" : "rt.nrrd");
      log_capture log;
      ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(out), format, -2));
      const std::string bytes = read_bytes(out);
      const bool left_out = format == 1 && (c.nrrd_slope != 1 || c.nrrd_inter != 0);
      EXPECT_EQ(log.count(wxLOG_Warning), left_out ? 1 : 0);
      if (left_out) {
        EXPECT_TRUE(log.has(wxLOG_Warning, wxString::Format("the calibrated values are %g x the "
                                                            "written value %+g", c.nrrd_slope,
                                                            c.nrrd_inter).ToStdString()));
      }
      std::vector<double> want = calibrated;
      if (format == 0) {
        EXPECT_EQ(at<int16_t>(bytes, 70), c.nifti_type);
        EXPECT_EQ(at<float>(bytes, 112), c.scl_slope);
        EXPECT_EQ(at<float>(bytes, 116), c.scl_inter);
        const std::vector<double> nib = nibabel_values(out, dir);
        if (nib.empty()) {
          ADD_FAILURE() << "nibabel could not read " << out;
        } else {
          ASSERT_EQ(nib.size(), want.size());
          for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(nib[i], want[i], 1e-6) << i;
        }
      } else {
        EXPECT_NE(bytes.find(std::string("type: ") + c.nrrd_type + "\r\n"), std::string::npos);
        for (double& v : want) v = (v - c.nrrd_inter) / c.nrrd_slope;
      }

      // The program's own reader.
      dicom_utility::reset_reader_state();
      const wxFileName name(out);
      auto reader = format == 0 ? read_hdr_data : read_nrrd_data;
      ASSERT_EQ(reader(name, -1, 0, nullptr, nullptr, nullptr), 6);
      for (int f = 0; f < 2; ++f) {
        std::vector<uint16_t> raw(6, 0xABCD);
        std::vector<uint8_t> display(6, 0xAB);
        ASSERT_EQ(reader(name, f, f, raw.data(), display.data(), nullptr), 6);
        const file_rescale_t r = dicom_utility::file_rescale;
        for (size_t i = 0; i < 6; ++i)
          EXPECT_NEAR(r.slope * (c.eight_bit ? display[i] : raw[i]) + r.intercept, want[size_t(f) * 6 + i],
                      1e-6)
              << "frame " << f << " voxel " << i;
      }
    }
  }
  dicom_utility::data_8bit = false;
}

TEST_F(VolumeExport, NrrdSignedValuesBeyondShortAreHeldAtItsEnds) {
  res.buf_dicom.write(true);
  res.hum.write(1);
  res.hub.write(-1024);
  add_16bit_frames(65000);  // raw - 1024 from 63976 to 64081
  log_capture log;
  ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(dir.path("c.nrrd")), 1, -2));
  const std::string r = read_bytes(dir.path("c.nrrd"));
  EXPECT_EQ(at<int16_t>(r, r.size() - 2), 32767);  // not wrapped to a negative value
  EXPECT_TRUE(log.has(wxLOG_Warning, "12 voxels lie outside the range of signed 16-bit values"));
}

TEST_F(VolumeExport, RefusalsWriteNothingAndKeepOldFiles) {
  add_8bit_frames();
  log_capture log;
  res.zscale.write(0.0);
  EXPECT_FALSE(dicom_utility::create_voxel_data(wxFileName(dir.path("a.nii")), 0, -2));
  EXPECT_TRUE(log.has(wxLOG_Warning, "Only regular data arrays can be saved in this format.\nTry using `export resliced data' first."));
  EXPECT_FALSE(wxFileExists(dir.path("a.nii")));

  EXPECT_TRUE(log.has(wxLOG_Warning, dir.path("a.nii").ToStdString() + ": Only regular"));

  res.zscale.write(0.2);
  EXPECT_FALSE(dicom_utility::create_voxel_data(wxFileName(dir.path("a.nii")), 2, -2));
  EXPECT_FALSE(wxFileExists(dir.path("a.nii")));

  // Frames without positions (a single image without image position or
  // slice location) say so, naming the file.
  res.pos_rec.write(false);
  log.clear();
  EXPECT_FALSE(dicom_utility::create_voxel_data(wxFileName(dir.path("a.nrrd")), 1, -2));
  EXPECT_TRUE(log.has(wxLOG_Warning, dir.path("a.nrrd").ToStdString() + ": the frames have no recorded positions"));
  EXPECT_FALSE(wxFileExists(dir.path("a.nrrd")));
  res.pos_rec.write(true);

  const wxString missing = dir.root() + "/no/such/folder/a.nii";
  EXPECT_FALSE(dicom_utility::create_voxel_data(wxFileName(missing), 0, -2));
  EXPECT_TRUE(log.has(wxLOG_Warning, "Couldn't open NIfTI file `" + missing.ToStdString() + "' for writing.\n"));

  // A frame without display bytes stops the export before anything is replaced.
  dir.write("b.nii", "old");
  store.images[1] = frame_image_ref();
  EXPECT_FALSE(dicom_utility::create_voxel_data(wxFileName(dir.path("b.nii")), 0, -2));
  EXPECT_EQ(read_bytes(dir.path("b.nii")), "old");
  EXPECT_EQ(files_in(dir.root()), 1) << "no temporary file is left behind";
}

TEST_F(VolumeExport, LabelVolumesTakeObjectNumberPlusOneAndTheHigherObjectWins) {
  // 16-bit data: labels are bytes all the same.
  res.buf_dicom.write(true);
  add_16bit_frames(1000);
  dicom_utility::surface_crossings = made_up_crossings;
  struct {
    int what;
    std::string voxels;
  } cases[] = {
      // Frame 0: object 1 only (2), clipped at both ends. Frame 1: object 2
      // (3) over object 1, then object 4 (5) over the whole of row 1.
      {-1, std::string("\x02\x02\x00\x00\x02\x02\x02\x03\x00\x05\x05\x05", 12)},
      // Object 2 alone keeps its own value 3.
      {2, std::string("\x00\x00\x00\x00\x00\x00\x00\x03\x00\x03\x00\x03", 12)},
      // An object without a surface: a volume of zeros.
      {7, std::string(12, '\0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(dir.path("m.nii")), 0, c.what));
    const std::string n = read_bytes(dir.path("m.nii"));
    ASSERT_EQ(n.size(), 352u + 12u);
    EXPECT_EQ(at<int16_t>(n, 68), 1002);  // label intent
    EXPECT_EQ(at<int16_t>(n, 70), 2);
    EXPECT_EQ(at<int16_t>(n, 72), 8);
    EXPECT_EQ(at<float>(n, 112), 1.0f);
    EXPECT_EQ(at<float>(n, 116), 0.0f);
    EXPECT_EQ(n.substr(352), c.voxels);

    ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(dir.path("m.nrrd")), 1, c.what));
    const std::string r = read_bytes(dir.path("m.nrrd"));
    EXPECT_NE(r.find("type: uchar\r\n"), std::string::npos);
    EXPECT_EQ(r.substr(r.find("\r\n\r\n") + 4), c.voxels);
  }
}

TEST_F(VolumeExport, CancelledExportWritesNothingAndSaysSo) {
  // Eight frames, so that the progress appears at the first frame.
  res.frames.write(8);
  for (int f = 0; f < 8; ++f) {
    store.add_image(frame_image_t::create(new uint8_t[6](), 6));
    position_t p;
    p.z = 0.2f * float(f);
    store.positions.push_back(position_holder_t::create(p));
    store.timestamps.push_back(uint64_t(f));
  }
  res.zscale.write(0.2);
  res.in_script.write(false);
  dicom_utility::export_progress_delay_ms = -1;
  dicom_utility::export_progress_interval_ms = -1;
  dicom_utility::surface_crossings = made_up_crossings;
  dir.write("c.nii", "old");
  cancelling_ui ui;
  data_ui_scope scope(ui);

  ui.cancel_at = 3;
  const struct {
    const char* name;
    int format, what;
  } exports[] = {{"c.nii", 0, -2}, {"d.nhdr", 1, -2}, {"e.nii.gz", 0, -1}};
  for (const auto& e : exports) {
    SCOPED_TRACE(e.name);
    ui.updates.clear();
    ui.messages.clear();
    EXPECT_FALSE(dicom_utility::create_voxel_data(wxFileName(dir.path(e.name)), e.format, e.what));
    EXPECT_EQ(ui.updates, (std::vector<int>{0, 1, 2, 3}));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].second, "Exporting `" + dir.path(e.name) + "' was cancelled; no file was changed.\n");
    EXPECT_EQ(read_bytes(dir.path("c.nii")), "old");
    EXPECT_EQ(files_in(dir.root()), 1) << "nothing but the old file";
  }
  EXPECT_EQ(ui.captions.front(), "Exporting data");
  EXPECT_EQ(ui.ranges.front(), 8);
  EXPECT_TRUE(ui.styles.front() & data_io_ui::PROGRESS_CANCEL);

  // Not cancelled: the progress runs to the last frame and the file is whole.
  ui.cancel_at = 1 << 30;
  ui.updates.clear();
  ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(dir.path("c.nii")), 0, -2));
  EXPECT_EQ(ui.updates, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(read_bytes(dir.path("c.nii")).size(), 352u + 48u);
}

}  // namespace
