// Export specific frames: the range text, the native subset with its
// contours, landmarks and manual spacing, and numbered images.
#include <sys/wait.h>

#include <wx/image.h>

#include <cstdlib>

#include "data/file_menu_export.h"
#include "data/file_menu_image_wx.h"
#include "data/objects.h"
#include "common/file_size_limit.h"
#include "common/image_handlers.h"
#include "file_menu_test_support.h"
#include "surfaces/surface_interp.h"

namespace {

std::vector<int32_t> chosen(const wxString& text, int32_t n) {
  return parse_frame_range(text, n).frames();
}

std::vector<int32_t> iota(int32_t from, int32_t to, int32_t step = 1) {
  std::vector<int32_t> v;
  for (int32_t f = from; f <= to; f += step) v.push_back(f);
  return v;
}

TEST(frame_range, ItemsChooseFramesInAscendingOrder) {
  struct {
    const char* text;
    int32_t frames;
    std::vector<int32_t> expected;
    bool single_range;
  } cases[] = {
      {"1,4,5", 10, {1, 4, 5}, false},
      {"5;4 1", 10, {1, 4, 5}, false},
      {"2,10:40", 30, [] { auto v = iota(10, 29); v.insert(v.begin(), 2); return v; }(), false},
      {"0:2:500", 101, iota(0, 100, 2), true},
      {"10-12", 20, {10, 11, 12}, true},
      {"5-3", 10, {}, true},
      {"-3", 10, {}, true},
      {":4", 10, {}, true},
      {"12", 10, {}, false},
      {"3:0:7", 10, iota(3, 7), true},
      {"1:3,6:8", 10, {1, 2, 3, 6, 7, 8}, false},
      {",,\t\r\n;", 10, {}, true},
      {"2x,3", 10, {3}, false},
      {"0:99999999999", 4, {0, 1, 2, 3}, true},
      {"3::7", 10, {3}, false},
  };
  for (const auto& c : cases) {
    const frame_selection s = parse_frame_range(c.text, c.frames);
    EXPECT_EQ(s.frames(), c.expected) << c.text;
    EXPECT_EQ(s.single_range, c.single_range) << c.text;
    EXPECT_EQ(s.chosen.size(), static_cast<size_t>(c.frames)) << c.text;
  }
  EXPECT_EQ(chosen("0:5", 0), std::vector<int32_t>{});
}

TEST(frame_range, NumberedImageNames) {
  struct {
    const char* path;
    int32_t frame;
    frame_export_kind kind;
    const char* expected;
  } cases[] = {
      {"/out/scan.png", 7, FRAME_EXPORT_PNG, "/out/scan0007.png"},
      {"/a/scan", 0, FRAME_EXPORT_TIFF, "/a/scan0000.tiff"},
      {"/a/scan", 12345, FRAME_EXPORT_TIFF, "/a/scan12345.tiff"},
      {"/a.dir/scan", 3, FRAME_EXPORT_JPEG, "/a.dir/scan0003.jpeg"},
      {"/a/scan.x.bmp", 3, FRAME_EXPORT_PNG, "/a/scan.x0003.bmp"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(numbered_image_name(c.path, c.frame, c.kind), c.expected) << c.path;
}

class export_frames : public file_menu_test {
 protected:
  void SetUp() override {
    file_menu_test::SetUp();
    wxInitAllImageHandlers();
    set_frame_image_writer(&writer_);
  }
  void TearDown() override {
    set_frame_image_writer(nullptr);
    file_menu_test::TearDown();
  }
  // Ten frames of 6 x 5 pixels with contours on frames 2, 4 and 5, 2D
  // landmarks on frames 4 and 5 and a landmark in space.
  void load_ten() {
    write_recording("ten", 10, 6, 5,
                    "CONT 0 2 1 1 1 4 1 4 4\nCONT 0 4 1 2 2 5 2 5 5\nCONT 3 5 1 0 0 2 0 2 2\n"
                    "LANDMARK 2D 0.5 0.25 4 OnFour\nLANDMARK 2D 0.1 0.2 5 OnFive\n"
                    "LANDMARK 1 2 3 InSpace\n");
    ASSERT_TRUE(read_hm("ten.hm"));
  }
  // The command as the menu runs it.
  bool run(const wxString& range, const wxString& file, int filter) {
    files_.texts.push_back(range);
    files_.choose(file, filter);
    return file_export_frames();
  }
  static std::string grey_rgb(const std::string& pixels) {
    std::string rgb;
    for (char p : pixels) rgb += std::string(3, p);
    return rgb;
  }

  wx_frame_image_writer writer_;
};

TEST_F(export_frames, RangeCancelAndEmptySelectionWriteNothing) {
  load_ten();
  t().RES_BUF_CURRENT_FRAME->write(3);
  EXPECT_FALSE(file_export_frames());
  ASSERT_EQ(files_.text_requests.size(), 1u);
  EXPECT_EQ(files_.text_requests[0], "Export frame range|3");

  files_.texts.push_back("5-3");
  EXPECT_FALSE(file_export_frames());
  EXPECT_EQ(files_.messages,
            (std::vector<wxString>{
                "Export specific frames|No valid frames in specified range - nothing to save!"}));
  EXPECT_TRUE(files_.file_requests.empty());

  files_.texts.push_back("1");  // the file dialog is cancelled
  EXPECT_FALSE(file_export_frames());
  ASSERT_EQ(files_.file_requests.size(), 1u);
  EXPECT_EQ(files_.file_requests[0].message, "Export specific frames as");
  EXPECT_EQ(files_.file_requests[0].wildcard,
            "Halmondo file|*.hm|Windows bitmap|*.bmp|PNG file|*.png|JPEG file|*.jpeg|TIFF "
            "file|*.tiff");
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 10);
}

TEST_F(export_frames, PngImagesHoldTheFramesAsDisplayed) {
  load_ten();
  ASSERT_TRUE(run("0:2:9", path("shot.png"), FRAME_EXPORT_PNG));
  EXPECT_EQ(ui_.progress_shown.back(),
            "Export frame|Currently exporting frame 0 to '" + path("shot.png") + "'.\n");
  for (int f : {0, 2, 4, 6, 8}) {
    const wxString name = path(wxString::Format("shot%04d.png", f).ToStdString());
    wxImage image;
    ASSERT_TRUE(image.LoadFile(name, wxBITMAP_TYPE_PNG)) << f;
    ASSERT_EQ(image.GetWidth(), 6);
    ASSERT_EQ(image.GetHeight(), 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.GetData()), 90),
              grey_rgb(expected_frame(f, 10, 6, 5)))
        << f;
  }
  EXPECT_FALSE(exists("shot0001.png"));
  EXPECT_FALSE(exists("shot.png"));
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 10);  // the data set is not changed
}

TEST_F(export_frames, ImageExportsLeaveTheToolkitsHandlersAsTheyWere) {
  load_ten();
  const std::vector<std::string> handlers_before = image_handler_names();
  // One frame to a name without a dot: written to that very name.
  ASSERT_TRUE(run("4", path("single"), FRAME_EXPORT_BMP));
  wxImage bmp;
  ASSERT_TRUE(bmp.LoadFile(path("single"), wxBITMAP_TYPE_BMP));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bmp.GetData()), 90),
            grey_rgb(expected_frame(4, 10, 6, 5)));
  ASSERT_TRUE(run("0,1", path("scan"), FRAME_EXPORT_TIFF));
  EXPECT_TRUE(exists("scan0000.tiff"));
  EXPECT_TRUE(exists("scan0001.tiff"));
  ASSERT_TRUE(run("2", path("j.jpeg"), FRAME_EXPORT_JPEG));
  EXPECT_TRUE(exists("j.jpeg"));
  // Every other reader and writer of the program still finds its handler.
  EXPECT_EQ(image_handler_names(), handlers_before);
}

TEST_F(export_frames, NativeSubsetKeepsFramesContoursAndLandmarksTogether) {
  load_ten();
  ASSERT_TRUE(run("0:2:9", path("subset"), FRAME_EXPORT_NATIVE));
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 5);
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("subset.hm"));
  EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), "subset.qzi");
  EXPECT_EQ(pages_.frames_shown, 5);

  close_data();
  ASSERT_TRUE(read_hm("subset.hm"));
  ASSERT_EQ(frame_store->images.size(), 5u);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(frame_pixels(k), expected_frame(2 * k, 10, 6, 5)) << k;
  EXPECT_EQ(frame_store->timestamps, (std::vector<uint64_t>{1000, 1002, 1004, 1006, 1008}));
  EXPECT_FLOAT_EQ(frame_store->positions[2]->z, 0.4f);
  ASSERT_NE(object(0).find_frame(1), nullptr);  // was frame 2
  EXPECT_DOUBLE_EQ(object(0).find_frame(1)->contours.at(0).vertices[1].x, 4.0);
  ASSERT_NE(object(0).find_frame(2), nullptr);  // was frame 4
  EXPECT_DOUBLE_EQ(object(0).find_frame(2)->contours.at(0).vertices[1].x, 5.0);
  EXPECT_TRUE(object(3).empty());  // frame 5 was not kept
  ASSERT_EQ(marks().size(), 2u);
  EXPECT_EQ(marks()[0].name, "OnFour");
  EXPECT_DOUBLE_EQ(marks()[0].z, 2.0);
  EXPECT_EQ(marks()[1].name, "InSpace");
  EXPECT_DOUBLE_EQ(marks()[1].z, 3.0);
}

TEST_F(export_frames, SubsetAsksAboutUnsavedChangesAndNamesItsFrameFile) {
  load_ten();
  t().CONT->write();
  EXPECT_FALSE(run("1:2", path("s"), FRAME_EXPORT_NATIVE));
  ASSERT_EQ(files_.asked.size(), 1u);
  EXPECT_EQ(files_.asked[0],
            "Ignore changes|There are unsaved changes for:\n\n - Object data\n\nSelect OK to "
            "ignore these changes");
  EXPECT_FALSE(exists("s.hm"));
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 10);

  files_.confirmations.push_back(true);
  ASSERT_TRUE(run("1:2", path("s.HM"), FRAME_EXPORT_NATIVE));
  EXPECT_TRUE(exists("s.HM"));
  EXPECT_EQ(read_file("s.HMi"), expected_frame(1, 10, 6, 5) + expected_frame(2, 10, 6, 5));
  wxString groups;
  EXPECT_FALSE(base_res_t::describe_changed_groups(3, groups)) << groups;
}

TEST_F(export_frames, ManualSpacingFollowsTheFirstAndLastChosenFrames) {
  struct {
    const char* range;
    double span, zscale;
    int32_t tran;
  } cases[] = {
      {"0:2:9", 80.0, 2.0, 1},  // frames 0..8: four spacings of 20 mm
      {"2:5", 30.0, 1.0, 1},
      {"2,3,4,5", 0.0, 0.0, 0},
  };
  for (const auto& c : cases) {
    load_ten();
    t().RES_POS_MANUAL_TRAN->write(1);
    t().RES_POS_MANUAL_ROT->write(0);
    t().RES_POS_MANUAL_SPAN->write(90.0);
    t().RES_POS_MANUAL->write(true);
    ASSERT_TRUE(export_native_subset(parse_frame_range(c.range, 10), path("m")));
    EXPECT_DOUBLE_EQ(t().RES_POS_MANUAL_SPAN->read(), c.span) << c.range;
    EXPECT_DOUBLE_EQ(t().RES_ZSCALE->read(), c.zscale) << c.range;
    EXPECT_EQ(t().RES_POS_MANUAL_TRAN->read(), c.tran) << c.range;
    EXPECT_FALSE(t().RES_POS_MANUAL->read());
    close_data();
  }
}

// A subset whose file cannot be written must not leave the user with a
// cut-down data set.
TEST_F(export_frames, AFailedSubsetWriteLeavesTheDataSetAsItWas) {
  write_recording("big", 8, 100, 100,
                  "CONT 0 6 1 1 1 4 1 4 4\nLANDMARK 2D 0.5 0.25 6 OnSix\n");
  ASSERT_TRUE(read_hm("big.hm"));
  auto* surface = new surface_interp;
  t().RES_SURFACE[0]->write(surface);
  t().RES_BUF_CURRENT_FRAME->write(6);
  object(0).name = "Edited";
  t().OBJECT->write();

  bool ok;
  {
    file_size_limit limit(30000);
    ASSERT_TRUE(limit.ok());
    ok = export_native_subset(parse_frame_range("1,3,4,6", 8), path("sub"));
  }

  EXPECT_FALSE(ok);
  EXPECT_TRUE(log_.has(wxLOG_Error, "the data set was left as it was"));
  EXPECT_FALSE(exists("sub.hm"));
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 8);
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 6);
  ASSERT_EQ(frame_store->images.size(), 8u);
  EXPECT_EQ(frame_pixels(7), expected_frame(7, 8, 100, 100));
  EXPECT_NE(object(0).find_frame(6), nullptr);
  EXPECT_DOUBLE_EQ(marks()[0].z, 6.0);
  EXPECT_EQ(t().RES_SURFACE[0]->read(), surface);
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("big.hm"));
  EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), "big.qzi");
  EXPECT_TRUE(t().OBJECT->changed());
  EXPECT_FALSE(t().CONT->changed());
}

TEST_F(export_frames, SubsetOfImageBackedDataWritesNoFrameFile) {
  stand_in_readers readers;
  readers.frames_to_load = 4;
  set_medical_source(&readers);
  std::filesystem::create_directories(dir_ / "series");
  std::filesystem::create_directories(dir_ / "out");
  ASSERT_TRUE(open_image_data(path("series")));
  t().RES_ASCII_FILENAME->write(wxFileName(path("d.hm")));
  t().RES_BIN_IM_FILENAME->write("series");
  *t().RES_DICOM_FRAME_LIST->read() = {10, 11, 12, 13};

  // A failed write hands the readers' frame records back as well.
  {
    bool ok;
    {
      file_size_limit limit(10);
      ASSERT_TRUE(limit.ok());
      ok = export_native_subset(parse_frame_range("1,3", 4), path("out/sub"));
    }
    EXPECT_FALSE(ok);
  }
  EXPECT_EQ(readers.undone, 1);
  EXPECT_EQ(*t().RES_DICOM_FRAME_LIST->read(), (std::vector<long>{10, 11, 12, 13}));
  EXPECT_EQ(frame_store->images.size(), 4u);
  EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), "series");

  ASSERT_TRUE(export_native_subset(parse_frame_range("1,3", 4), path("out/sub")));
  EXPECT_FALSE(exists("out/sub.qzi"));
  EXPECT_EQ(readers.selections, (std::vector<std::vector<int32_t>>{{1, 3}, {1, 3}}));
  EXPECT_EQ(readers.undone, 1);
  EXPECT_EQ(*t().RES_DICOM_FRAME_LIST->read(), (std::vector<long>{11, 13}));
  const std::string text = read_file("out/sub.hm");
  EXPECT_NE(text.find("RES_DICOM_FRAME_LIST 11 13\n"), std::string::npos);
  close_data();
  ASSERT_TRUE(read_hm("out/sub.hm"));
  ASSERT_EQ(frame_store->images.size(), 2u);
  EXPECT_EQ(frame_store->images[1]->raw[0], 1300);
}

// ---- nv_tool ---------------------------------------------------------------

#ifdef NV_TOOL_PATH
TEST_F(export_frames, ToolExportsThroughTheSameCode) {
  write_recording("ten", 10, 6, 5, "CONT 0 4 1 2 2 5 2 5 5\n");
  auto tool = [&](const std::string& args) {
    const std::string cmd = std::string(NV_TOOL_PATH) + " export-frames " + args + " 2>'" +
                            spath("err.txt") + "'";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  };
  ASSERT_EQ(tool("'" + spath("ten.hm") + "' 0:2:9 png '" + spath("img") + "'"), 0)
      << read_file("err.txt");
  for (int f : {0, 2, 4, 6, 8}) {
    wxImage image;
    ASSERT_TRUE(image.LoadFile(path(wxString::Format("img%04d.png", f).ToStdString())));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.GetData()), 90),
              grey_rgb(expected_frame(f, 10, 6, 5)));
  }
  ASSERT_EQ(tool("'" + spath("ten.hm") + "' 3:5 hm '" + spath("part") + "'"), 0)
      << read_file("err.txt");
  ASSERT_TRUE(read_hm("part.hm"));
  EXPECT_EQ(frame_pixels(0), expected_frame(3, 10, 6, 5));
  EXPECT_NE(object(0).find_frame(1), nullptr);

  EXPECT_EQ(tool("'" + spath("ten.hm") + "' 50 png '" + spath("none") + "'"), 1);
  EXPECT_NE(read_file("err.txt").find("No valid frames"), std::string::npos);
  EXPECT_EQ(tool("'" + spath("ten.hm") + "' 1 gif '" + spath("none") + "'"), 2);
}
#endif

}  // namespace
