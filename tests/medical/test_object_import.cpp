// Structure sets, segmentations and label volumes imported as object
// contours over a small oblique CT series. The fixtures and the expected
// contours (pixel coordinates, regions' pixel counts) come from
// make_object_fixtures.py, computed there with numpy and scipy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "data/data_io_ui.h"
#include "data/file_menu.h"
#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "medical_support.h"
#include "registry/resource_table.h"
#include "surfaces/surface_build.h"
#include "surfaces/surface_interp.h"
#include "tools/headless_session.h"

namespace {

// A progress whose Cancel is pressed at its first update.
class cancelling_progress final : public data_progress {
 public:
  void update(int, const wxString&) override { updated_ = true; }
  void pulse() override {}
  bool cancelled() const override { return updated_; }

 private:
  bool updated_ = false;
};

class import_ui final : public data_io_ui {
 public:
  std::deque<bool> answers;
  std::vector<wxString> asked;  // "caption|question"
  bool cancel = false;

  std::unique_ptr<data_progress> start_progress(const wxString&, const wxString&, int, unsigned) override {
    if (cancel) return std::make_unique<cancelling_progress>();
    return std::make_unique<null_progress>();
  }
  bool ask_yes_no(const wxString& caption, const wxString& question) override {
    asked.push_back(caption + "|" + question);
    if (answers.empty()) return false;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
};

struct expected_t {
  std::string kind;
  int object = 0, frame = 0, closed = 0;
  std::vector<double> values;
};

class ObjectImport : public ::testing::Test {
 protected:
  ObjectImport() : scope_(ui_) {}

  void SetUp() override {
    dir_ = generated_fixtures("make_object_fixtures.py");
    ASSERT_FALSE(dir_.empty());
    dicom_utility::install_frame_windowing();
    session_.reset();  // a test that starts over has one session at a time
    session_ = std::make_unique<headless_session>();
    expected_.clear();
    ASSERT_TRUE(open_image_data(path("ct")));
    resource_table_t& t = *resource_table;
    ASSERT_EQ(t.RES_BUF_FRAMES->read(), 6);
    ASSERT_EQ(t.RES_BUF_WIDTH->read(), 24);
    ASSERT_EQ(t.RES_BUF_HEIGHT->read(), 20);
    t.RES_SIMPLIFY_THRESH->write(0);
    std::ifstream in((dir_ + "/expect.txt").ToStdString());
    for (std::string line; std::getline(in, line);) {
      std::istringstream s(line);
      expected_t e;
      s >> e.kind >> e.object >> e.frame;
      if (e.kind == "rt") s >> e.closed;
      for (double v; s >> v;) e.values.push_back(v);
      expected_.push_back(e);
    }
    ASSERT_FALSE(expected_.empty());
  }
  void TearDown() override {
    dicom_utility::import_progress_delay_ms = 250;
    session_.reset();
  }

  wxString path(const char* name) const { return dir_ + "/" + name; }
  contour_object& object(int o) { return resource_table->RES_OBJECT->read()[o]; }
  size_t contour_count(int o) {
    size_t n = 0;
    for (const frame_contours_t& f : object(o).frames) n += f.contours.size();
    return n;
  }
  // Runs both passes as the Draw page does; the import pass's count.
  int import_dicom(const char* name) {
    const wxFileName file(path(name));
    if (dicom_utility::read_dicom_object_data(file, true) <= 0) return 0;
    return dicom_utility::read_dicom_object_data(file, false);
  }
  // The regions of a frame, as contour areas sorted ascending: outlines with
  // the region on the right are negative, holes positive.
  std::vector<double> region_areas(int o, int frame) {
    std::vector<double> a;
    if (const frame_contours_t* f = object(o).find_frame(frame))
      for (const contour_t& c : f->contours) a.push_back(-c.area());
    std::sort(a.begin(), a.end());
    return a;
  }
  // Every traced region's area against its pixel count: the outline runs
  // through the midpoints of the boundary pixels' edges and so cuts 1/8 px
  // off each corner; the fixtures' regions have at most 8 corners.
  void expect_regions(const std::string& kind, int first) {
    int checked = 0;
    for (const expected_t& e : expected_) {
      if (e.kind != kind) continue;
      SCOPED_TRACE(kind + " object " + std::to_string(e.object) + " frame " + std::to_string(e.frame));
      const std::vector<double> areas = region_areas(first + e.object, e.frame);
      std::vector<double> outer;
      double holes = 0;
      for (double a : areas) (a > 0 ? outer.push_back(a) : void(holes -= a));
      ASSERT_EQ(outer.size(), e.values.size());
      // A hole's pixels are not in its region: the outer outline less the hole.
      if (holes > 0 && outer.size() == 1) outer[0] -= holes;
      for (size_t i = 0; i < outer.size(); ++i) EXPECT_NEAR(outer[i], e.values[i], 1.0);
      ++checked;
    }
    EXPECT_GT(checked, 0);
  }

  import_ui ui_;
  data_ui_scope scope_;
  log_capture log_;
  std::unique_ptr<headless_session> session_;
  wxString dir_;
  std::vector<expected_t> expected_;
};

TEST_F(ObjectImport, StructureSetContoursLandOnTheirFramesAndPixelsInEveryEncoding) {
  for (const char* name : {"rt.dcm", "rt_implicit_undefined.dcm", "rt_no_preamble.dcm"}) {
    SCOPED_TRACE(name);
    SetUp();
    resource_table->CURRENT_OBJECT->write(5);
    const rgba_colour_t empty_colour = object(7).colour;
    log_.clear();
    ASSERT_EQ(import_dicom(name), 4);
    EXPECT_TRUE(ui_.asked.empty());
    EXPECT_EQ(object(5).name, "Liver");
    EXPECT_EQ(object(6).name, "Kidney");
    EXPECT_EQ(object(7).name, "Empty");
    EXPECT_EQ(object(8).name, "Edge");
    EXPECT_EQ(object(4).name, "Object 4");
    EXPECT_EQ(object(9).name, "Object 9");
    // An ROI without a colour takes the one read last; an ROI without
    // contours keeps its own.
    EXPECT_EQ(object(5).colour, rgba_colour_t(255, 128, 0));
    EXPECT_EQ(object(6).colour, rgba_colour_t(255, 128, 0));
    EXPECT_EQ(object(7).colour, empty_colour);
    EXPECT_EQ(object(8).colour, rgba_colour_t(0, 0, 255));
    size_t expected_contours[4] = {0, 0, 0, 0};
    for (const expected_t& e : expected_) {
      if (e.kind != "rt") continue;
      ++expected_contours[e.object];
      const frame_contours_t* f = object(5 + e.object).find_frame(e.frame);
      ASSERT_NE(f, nullptr) << "object " << 5 + e.object << " frame " << e.frame;
      bool found = false;
      for (const contour_t& c : f->contours) {
        if (c.vertices.size() * 2 != e.values.size() || c.closed != (e.closed == 1)) continue;
        bool same = true;
        for (size_t i = 0; i < c.vertices.size(); ++i)
          same = same && std::fabs(c.vertices[i].x - e.values[2 * i]) < 1e-3 &&
                 std::fabs(c.vertices[i].y - e.values[2 * i + 1]) < 1e-3;
        found = found || same;
      }
      EXPECT_TRUE(found) << "object " << 5 + e.object << " frame " << e.frame;
    }
    // The point contour and the one 0.51 px off its plane are not there.
    for (int i = 0; i < 4; ++i) EXPECT_EQ(contour_count(5 + i), expected_contours[i]) << i;
    EXPECT_TRUE(log_.has(wxLOG_Warning,
                         "There were some problems loading contours from this file:\n"
                         " - some planar contours did not align with any of the images in the data\n"
                         " - some planar contours extended beyond the edges of the data images\n"));
    EXPECT_FALSE(log_.has_text("more contours than"));
  }
}

TEST_F(ObjectImport, LabelCountAndOverwriteQuestions) {
  resource_table_t& t = *resource_table;
  // 30 labels are not asked about; 31 are, and No imports nothing.
  EXPECT_EQ(dicom_utility::read_dicom_object_data(wxFileName(path("rt30.dcm")), true), 30);
  EXPECT_TRUE(ui_.asked.empty());
  EXPECT_EQ(dicom_utility::read_dicom_object_data(wxFileName(path("rt31.dcm")), true), 0);
  ASSERT_EQ(ui_.asked.size(), 1u);
  EXPECT_EQ(ui_.asked[0], "|There are 31 different labels.\nStill continue to create objects from this file?");

  // 201 ROIs fill objects 0 to 199 in expert mode and report the rest.
  t.RES_EXPERT_MODE->write(true);
  t.CURRENT_OBJECT->write(0);
  log_.clear();
  ASSERT_EQ(import_dicom("rt201.dcm"), 200);
  EXPECT_EQ(object(0).name, "R0");
  EXPECT_EQ(object(199).name, "R199");
  EXPECT_EQ(contour_count(199), 1u);
  EXPECT_EQ(object(199).frames.front().frame, 199 % 6);
  EXPECT_TRUE(log_.has(wxLOG_Warning, " - there were more contours than the available 200 objects\n"));

  // Objects with contours are named in the overwrite question, asked even
  // in expert mode; No leaves them as they were.
  ui_.asked.clear();
  t.CURRENT_OBJECT->write(150);
  EXPECT_EQ(dicom_utility::read_dicom_object_data(wxFileName(path("rt.dcm")), true), 0);
  ASSERT_EQ(ui_.asked.size(), 1u);
  EXPECT_EQ(ui_.asked[0], "Import DICOM RTSTRUCT file|Loading this DICOM file will overwrite the contours "
                          "in the following object(s):\n  `R150' will be replaced with `Liver'\n"
                          "  `R151' will be replaced with `Kidney'\n  `R152' will be replaced with "
                          "`Empty'\n  `R153' will be replaced with `Edge'\nDo you want to continue?");
  EXPECT_EQ(object(150).name, "R150");
  EXPECT_EQ(contour_count(150), 1u);
}

TEST_F(ObjectImport, SegmentationFramesAreTracedOntoTheFramesTheyCoincideWith) {
  log_.clear();
  ASSERT_EQ(import_dicom("seg.dcm"), 2);
  EXPECT_EQ(object(0).name, "Bone");
  EXPECT_EQ(object(1).name, "Air");
  expect_regions("seg", 0);
  // Half a pixel off in-plane, and a segment number the file does not list:
  // not imported anywhere, and reported.
  for (int o = 0; o < 3; ++o) {
    EXPECT_EQ(object(o).find_frame(4), nullptr);
    EXPECT_EQ(object(o).find_frame(2), nullptr);
  }
  EXPECT_EQ(object(2).name, "Object 2");
  EXPECT_TRUE(log_.has(wxLOG_Warning, " - some planar contours did not align with any of the images"));

  // A reversed row direction aligns with no frame; 8 bits allocated is not loadable.
  resource_table->CURRENT_OBJECT->write(3);
  log_.clear();
  EXPECT_EQ(import_dicom("seg_reversed.dcm"), 2);
  EXPECT_EQ(contour_count(3) + contour_count(4), 0u);
  EXPECT_TRUE(log_.has(wxLOG_Warning, " - some planar contours did not align with any of the images"));
  // 8 bits allocated, and positions without any orientation: not loadable.
  resource_table->CURRENT_OBJECT->write(0);
  for (const char* name : {"seg_fractional.dcm", "seg_no_orientation.dcm"}) {
    SCOPED_TRACE(name);
    log_.clear();
    EXPECT_EQ(dicom_utility::read_dicom_object_data(wxFileName(path(name)), true), 0);
    EXPECT_TRUE(log_.has(wxLOG_Warning, "Either this file is not a DICOM file, or it does not contain "
                                        "loadable RTSTRUCT or SEG objects."));
    EXPECT_EQ(object(0).name, "Bone");
  }
}

TEST_F(ObjectImport, LabelVolumesFillOneObjectPerLabel) {
  struct {
    const char* file;
    const char* base;
  } cases[] = {{"lab_u8.nii.gz", "lab_u8"}, {"lab_i16.nii", "lab_i16"}, {"lab_f32.nii", "lab_f32"}, {"lab_near.nii", "lab_near"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    SetUp();
    resource_table->CURRENT_OBJECT->write(10);
    ASSERT_EQ(dicom_utility::read_hdr_object_data(wxFileName(path(c.file))), 2);
    EXPECT_EQ(object(10).name, wxString(c.base) + " label 1");
    EXPECT_EQ(object(11).name, wxString(c.base) + " label 2");
    EXPECT_EQ(object(12).name, "Object 12");
    expect_regions("lab", 10);
    EXPECT_EQ(object(10).frames.size(), 2u);
    EXPECT_EQ(object(11).frames.size(), 2u);
  }
  // An Analyze pair whose slices each have a gap before them: one label,
  // named after the file.
  resource_table->CURRENT_OBJECT->write(0);
  ASSERT_EQ(dicom_utility::read_hdr_object_data(wxFileName(path("ana.hdr"))), 1);
  EXPECT_EQ(object(0).name, "ana");
  expect_regions("ana", 0);
  EXPECT_EQ(object(0).frames.size(), 2u);
}

TEST_F(ObjectImport, DamagedFilesAreRefusedAndChangeNothing) {
  scratch_dir scratch;
  const std::string seg = read_bytes(path("seg.dcm"));
  const std::string lab = read_bytes(path("lab_i16.nii"));
  const std::string rt = read_bytes(path("rt.dcm"));
  const wxString cut_seg = scratch.write("cut.dcm", seg.substr(0, seg.size() - 20));
  const wxString cut_rt = scratch.write("cut_rt.dcm", rt.substr(0, rt.size() * 2 / 3));
  const wxString cut_lab = scratch.write("cut.nii", lab.substr(0, lab.size() - 100));
  std::string narrow = lab;
  narrow[42] = 23;  // dim[1]: one column fewer than the loaded frames
  const wxString small_lab = scratch.write("small.nii", narrow);
  const wxString text = scratch.write("notes.txt", "not a DICOM file at all");

  object(0).add_contour(1, contour_t{{{1, 1}, {4, 1}, {4, 4}}, true, {}});
  const wxString name0 = object(0).name;
  struct {
    wxString file;
    bool label_volume;
    const char* message;
  } cases[] = {
      {cut_seg, false, "This DICOM file is truncated: element (7FE0,0010) runs past its end."},
      {cut_rt, false, "This DICOM file is truncated"},
      {text, false, "Either this file is not a DICOM file, or it does not contain loadable"},
      {cut_lab, true, "Unable to read data from NIfTI or Analyze file."},
      {cut_lab, true, "does not appear to contain categorical data"},
      {small_lab, true, "This NIfTI or Analyze file contains data with a different image size,\nscale or "
                        "orientation to the currently loaded data."},
      {text, true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " " + c.message);
    log_.clear();
    const int n = c.label_volume ? dicom_utility::read_hdr_object_data(wxFileName(c.file))
                                 : dicom_utility::read_dicom_object_data(wxFileName(c.file), true);
    EXPECT_EQ(n, 0);
    if (*c.message) { EXPECT_TRUE(log_.has(wxLOG_Warning, c.message)); }
    EXPECT_TRUE(ui_.asked.empty());
    EXPECT_EQ(object(0).name, name0);
    EXPECT_EQ(contour_count(0), 1u);
    EXPECT_EQ(contour_count(1), 0u);
  }
}

TEST_F(ObjectImport, ReplacedSurfacesAreGoneOnceTheImportCommits) {
  resource_table_t& t = *resource_table;
  t.RES_SURFACE[0]->write(new surface_interp(0));
  t.RES_SURFACE[1]->write(new surface_interp(1));
  t.RES_SURFACE[2]->write(new surface_interp(2));
  const int32_t cont = t.CONT->read();
  ASSERT_EQ(import_dicom("rt.dcm"), 4);
  EXPECT_EQ(t.RES_SURFACE[0]->read(), nullptr);
  EXPECT_EQ(t.RES_SURFACE[2]->read(), nullptr);  // an ROI without contours too
  EXPECT_GT(t.CONT->read(), cont);
  ui_.answers = {true};  // objects 0 and 1 now hold contours
  ASSERT_EQ(dicom_utility::read_hdr_object_data(wxFileName(path("lab_u8.nii.gz"))), 2);
  EXPECT_EQ(t.RES_SURFACE[1]->read(), nullptr);
}

TEST_F(ObjectImport, CancelStopsTheImportAndKeepsWhatWasImported) {
  dicom_utility::import_progress_delay_ms = 0;
  ui_.cancel = true;
  // The structure set stops after its first ROI, the segmentation and the
  // label volume before their first frame; all commit.
  ASSERT_EQ(import_dicom("rt.dcm"), 4);
  EXPECT_EQ(contour_count(0), 2u);
  EXPECT_EQ(object(1).name, "Object 1");
  EXPECT_EQ(contour_count(1), 0u);
  resource_table->CURRENT_OBJECT->write(4);
  ASSERT_EQ(import_dicom("seg.dcm"), 2);
  EXPECT_EQ(object(4).name, "Bone");
  EXPECT_EQ(contour_count(4) + contour_count(5), 0u);
  resource_table->CURRENT_OBJECT->write(6);
  EXPECT_EQ(dicom_utility::read_hdr_object_data(wxFileName(path("lab_i16.nii"))), 0);
  EXPECT_EQ(object(6).name, "Object 6");
}

TEST_F(ObjectImport, ExportedMasksComeBackOntoTheirFrames) {
  resource_table_t& t = *resource_table;
  ASSERT_EQ(dicom_utility::read_hdr_object_data(wxFileName(path("lab_i16.nii"))), 2);
  surface_interp* s = build_contour_surface_from_resources(0, nullptr);
  ASSERT_NE(s, nullptr);
  ASSERT_GT(s->mesh.n_triangles, 0);
  t.RES_SURFACE[0]->write(s);
  scratch_dir scratch;
  const wxString mask = scratch.path("mask.nii");
  ASSERT_TRUE(dicom_utility::create_voxel_data(wxFileName(mask), 0, 0));
  const std::string voxels = read_bytes(mask).substr(352);
  const size_t plane = 24 * 20;
  ASSERT_EQ(voxels.size(), plane * 6);

  t.CURRENT_OBJECT->write(5);
  ASSERT_EQ(dicom_utility::read_hdr_object_data(wxFileName(mask)), 1);
  EXPECT_EQ(object(5).name, "mask");
  int frames_with_mask = 0;
  for (int f = 0; f < 6; ++f) {
    SCOPED_TRACE(f);
    // The mask's pixels on this frame, and those with a 4-neighbour outside.
    int count = 0, boundary = 0;
    auto inside = [&](int x, int y) {
      return x >= 0 && y >= 0 && x < 24 && y < 20 && voxels[f * plane + size_t(y) * 24 + x] != 0;
    };
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 24; ++x)
        if (inside(x, y)) {
          ++count;
          boundary += !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
        }
    const frame_contours_t* entry = object(5).find_frame(f);
    if (count == 0) {
      EXPECT_EQ(entry, nullptr);
      continue;
    }
    ++frames_with_mask;
    ASSERT_NE(entry, nullptr);
    double area = 0;  // regions less their holes
    for (const contour_t& c : entry->contours) area -= c.area();
    // The outline cuts at most 1/8 px off each of a boundary pixel's corners.
    EXPECT_NEAR(area, count, 0.5 * boundary);
  }
  EXPECT_GE(frames_with_mask, 2);
}

}  // namespace
