// Settings files: saving chosen groups, applying them to loaded data without
// hiding unsaved edits, withdrawing a failed file, and the reset.
#include "data/file_menu_settings.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "file_menu_test_support.h"

namespace {

class settings_files : public file_menu_test {
 protected:
  std::vector<bool> only(int box) {
    std::vector<bool> checks(SETTINGS_GROUP_BOXES, false);
    if (box >= 0) checks[box] = true;
    return checks;
  }
  // Loaded frames with an unsaved contour edit.
  void load_and_edit() {
    write_recording("a", 3, 3, 2);
    ASSERT_TRUE(read_hm("a.hm"));
    object(2).add_contour(1, contour_t());
    t().CONT->write();
    ASSERT_TRUE(t().CONT->changed());
  }
  wxString changed_groups() {
    wxString groups;
    base_res_t::describe_changed_groups(3, groups);
    return groups;
  }
};

TEST_F(settings_files, ChosenGroupsAreSavedAndComeBackAloneWhenLoaded) {
  t().RES_CMAP_GREY_HI->write(40);      // object parameters
  t().RES_CORNER_ZOOM->write(2.5);      // general display settings
  t().RES_VOLUME_GRADIENT->write(20);   // volume display settings
  files_.choose(path("s"), 0, only(5));  // "Include object parameters"
  ASSERT_TRUE(settings_save_as());

  const file_dialog_request& r = files_.file_requests.back();
  EXPECT_EQ(r.message, "Save settings as");
  EXPECT_EQ(r.wildcard, "Config file|*.ini");
  EXPECT_TRUE(r.save);
  ASSERT_EQ(r.checks.size(), 6u);
  EXPECT_EQ(r.checks[0].first, "Include volume display settings");
  EXPECT_EQ(r.checks[5].first, "Include object parameters");
  for (const auto& c : r.checks) EXPECT_TRUE(c.second);  // the default mask holds every group
  EXPECT_EQ(t().RES_SETTINGS_MASK->read(), 8);

  const std::string text = read_file("s.ini");
  EXPECT_NE(text.find("RES_CMAP_GREY_HI 40\n"), std::string::npos);
  EXPECT_EQ(text.find("RES_CORNER_ZOOM"), std::string::npos);
  EXPECT_EQ(text.find("RES_VOLUME_GRADIENT"), std::string::npos);
  EXPECT_EQ(text.find("RES_XSCALE"), std::string::npos);  // no settings resource

  t().RES_CMAP_GREY_HI->write(7);
  t().RES_CORNER_ZOOM->write(3.0);
  files_.choose(path("s.ini"));
  ASSERT_TRUE(settings_open());
  EXPECT_EQ(files_.file_requests.back().message, "Open settings file");
  EXPECT_FALSE(files_.file_requests.back().save);
  EXPECT_EQ(t().RES_CMAP_GREY_HI->read(), 40);
  EXPECT_DOUBLE_EQ(t().RES_CORNER_ZOOM->read(), 3.0);
  EXPECT_EQ(t().RES_VOLUME_GRADIENT->read(), 20);

  // The next save dialog shows the choice made.
  files_.choose(path("none"), 0, only(-1));
  ASSERT_TRUE(settings_save_as());
  const auto& checks = files_.file_requests[files_.file_requests.size() - 1].checks;
  for (int k = 0; k < 6; ++k) EXPECT_EQ(checks[k].second, k == 5) << k;
  EXPECT_EQ(t().RES_SETTINGS_MASK->read(), 0);
  EXPECT_EQ(read_file("none.ini"), "");
}

TEST_F(settings_files, NamesWithoutADotGetIniOnOpeningToo) {
  write_file("t", "not a settings file");
  write_file("t.ini", "RES_CMAP_GREY_HI 12\nRES_BUF_FRAMES 99\n");
  files_.choose(path("t"));
  ASSERT_TRUE(settings_open());
  EXPECT_EQ(t().RES_CMAP_GREY_HI->read(), 12);
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 0);  // a data-header line is skipped

  files_.choose(path("absent"));  // a path that does not exist opens nothing
  EXPECT_FALSE(settings_open());
  EXPECT_FALSE(read_settings_file(path("absent.ini")));
  EXPECT_TRUE(log_.has(wxLOG_Error, "Error opening settings file for reading in.\n"));

  files_.choose(path("no/folder/s.ini"), 0, only(5));
  EXPECT_FALSE(settings_save_as());
  EXPECT_TRUE(log_.has(wxLOG_Error, "Error opening settings config file for writing.\n"));
  EXPECT_EQ(t().RES_SETTINGS_MASK->read(), 8);  // the choice is kept all the same
}

// A settings file from a version with more fonts or filters loads whole.
TEST_F(settings_files, IndexSettingsOutsideTheRangeAreSkippedAndTheRestLoads) {
  write_file("s.ini", "RES_DICOM_FILTER 99\nRES_CMAP_GREY_HI 40\nRES_TRANSLUCENT_LAYERS 30\n");
  ASSERT_TRUE(read_settings_file(path("s.ini")));
  EXPECT_EQ(t().RES_CMAP_GREY_HI->read(), 40);
  EXPECT_EQ(t().RES_DICOM_FILTER->read(), 0);
  EXPECT_EQ(t().RES_TRANSLUCENT_LAYERS->read(), 6);
  EXPECT_TRUE(log_.has(wxLOG_Warning, "RES_DICOM_FILTER 99 is not one of 0 to 40"));
  EXPECT_TRUE(log_.has(wxLOG_Warning, "RES_TRANSLUCENT_LAYERS 30 is not one of 0 to 20"));
}

// Settings applied to loaded frames are no change of the data set, but the
// edits made before must still draw the unsaved-changes question.
TEST_F(settings_files, SettingsOnLoadedFramesHideNoEarlierEdits) {
  load_and_edit();
  const int32_t user_grey = t().RES_CMAP_GREY_HI->user_value();
  write_file("s.ini", "RES_CMAP_GREY_HI 40\nVOLUME 2 50 1 2 3 4\n");
  ASSERT_TRUE(read_settings_file(path("s.ini")));
  EXPECT_EQ(t().RES_CMAP_GREY_HI->read(), 40);
  EXPECT_EQ(t().RES_VOLUME->read()[2].data_value, 50);
  EXPECT_FALSE(base_res_t::file_loading());
  EXPECT_FALSE(t().RES_CMAP_GREY_HI->changed());
  EXPECT_FALSE(t().VOLUME->changed());
  EXPECT_EQ(t().RES_CMAP_GREY_HI->user_value(), user_grey);
  EXPECT_EQ(changed_groups(), " - Object data\n");

  int32_t counter = 1;
  EXPECT_FALSE(file_close(counter));
  ASSERT_EQ(files_.asked.size(), 1u);
  EXPECT_NE(files_.asked[0].Find("Object data"), wxNOT_FOUND);

  ui_.answers = {true};
  ASSERT_TRUE(settings_reset());
  EXPECT_EQ(t().RES_CMAP_GREY_HI->read(), 0);
  EXPECT_EQ(changed_groups(), " - Object data\n");
}

TEST_F(settings_files, WithoutFramesTheValuesBecomeTheUsersOwn) {
  write_file("s.ini", "RES_CMAP_GREY_HI 40\n");
  ASSERT_TRUE(read_settings_file(path("s.ini")));
  EXPECT_EQ(t().RES_CMAP_GREY_HI->user_value(), 40);
}

TEST_F(settings_files, ACurrentFrameBeyondTheLoadedFramesIsWithdrawn) {
  write_file("s.ini", "RES_BUF_CURRENT_FRAME 40\n");
  struct {
    int32_t frames, expected;
  } cases[] = {{30, 5}, {50, 40}, {40, 5}};
  for (const auto& c : cases) {
    t().RES_BUF_FRAMES->write(c.frames);
    t().RES_BUF_CURRENT_FRAME->write(5);
    ASSERT_TRUE(read_settings_file(path("s.ini")));
    EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), c.expected) << c.frames;
  }
}

TEST_F(settings_files, AFailingLineWithdrawsTheWholeFile) {
  load_and_edit();
  write_file("bad.ini",
             "VOLUME 3 77 10 20 30 40\nRESLICE 0 300 200 0 0 1 1 2 3 0 1 0\n"
             "RES_CMAP_GREY_HI 9\nRES_CORNER_ZOOM abc\n");
  const int32_t grey = t().RES_CMAP_GREY_HI->read();
  const volume_object row = t().RES_VOLUME->read()[3];
  const reslice_info& plane = t().RESLICE->read()[0];
  const int32_t width = plane.width;
  ASSERT_FALSE(plane.defined);

  EXPECT_FALSE(read_settings_file(path("bad.ini")));
  EXPECT_TRUE(log_.has(wxLOG_Error, "Failed when reading 'RES_CORNER_ZOOM abc' from settings file"));
  EXPECT_FALSE(base_res_t::file_loading());
  EXPECT_EQ(t().RES_CMAP_GREY_HI->read(), grey);
  EXPECT_EQ(t().RES_VOLUME->read()[3].data_value, row.data_value);
  EXPECT_EQ(t().RES_VOLUME->read()[3].colour, row.colour);
  EXPECT_EQ(plane.width, width);
  EXPECT_FALSE(plane.defined);
  EXPECT_DOUBLE_EQ(plane.centre.z, 0.0);
  EXPECT_EQ(pages_.slider_width, width);
  EXPECT_TRUE(t().CONT->changed());
}

TEST_F(settings_files, ResetReturnsEverySettingToItsDefaultAfterAskingOnce) {
  t().RES_CMAP_GREY_HI->write(40);
  t().RES_CORNER_ZOOM->write(2.5);
  t().RES_XSCALE->write(0.05);  // no settings resource
  t().RES_VOLUME->read()[1].data_value = 99;
  reslice_info& plane = t().RESLICE->read()[1];
  plane.set_centre(vec3_t{1, 2, 3}, false);

  EXPECT_FALSE(settings_reset());  // answered No
  ASSERT_EQ(ui_.questions.size(), 1u);
  EXPECT_EQ(ui_.questions[0], "Reset all settings to default values?");
  EXPECT_EQ(t().RES_CMAP_GREY_HI->read(), 40);

  ui_.answers = {true};
  ASSERT_TRUE(settings_reset());
  EXPECT_EQ(t().RES_CMAP_GREY_HI->read(), 0);
  EXPECT_DOUBLE_EQ(t().RES_CORNER_ZOOM->read(), 1.0);
  EXPECT_DOUBLE_EQ(t().RES_XSCALE->read(), 0.05);
  EXPECT_EQ(pages_.volume_resets, 1);
  EXPECT_FALSE(plane.defined);
  EXPECT_DOUBLE_EQ(plane.centre.z, 0.0);
}

}  // namespace
