// Open, Save, Save as and Close of the File menu, driven through scripted
// dialogs and the script path.
#include "data/calipers.h"
#include "data/objects.h"
#include "file_menu_test_support.h"

namespace {

class file_menu : public file_menu_test {
 protected:
  void in_script(const wxString& argument) {
    t().RES_IN_SCRIPT->write(true);
    t().RES_SCRIPT_FUNC_ARG->write(argument);
  }
};

// ---- opening ---------------------------------------------------------------

TEST_F(file_menu, ScriptOpenChoosesTheReaderByExtensionAndReportsFailures) {
  stand_in_readers readers;
  set_medical_source(&readers);
  write_recording("a", 2, 3, 2);
  write_file("b.HM", read_file("a.hm"));

  in_script(path("b.HM"));
  ASSERT_TRUE(file_open());
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 2);
  EXPECT_TRUE(readers.loads.empty());
  close_data();

  // Any other extension goes to the volume readers, which refuse it here.
  readers.load_ok = false;
  in_script(path("a.dat"));
  EXPECT_FALSE(file_open());
  EXPECT_EQ(readers.loads, (std::vector<wxString>{path("a.dat")}));
  EXPECT_TRUE(log_.has(wxLOG_Error, "didn't open file successfully"));
  EXPECT_EQ(t().RES_SCRIPT_WRITE_MESSAGE->read(), "ERROR Failed to open file." + path("a.dat"));

  in_script(path("missing.hm"));
  EXPECT_FALSE(file_open());
  EXPECT_TRUE(log_.has(wxLOG_Error, "didn't open hm file successfully"));
  EXPECT_EQ(t().RES_SCRIPT_WRITE_MESSAGE->read(),
            "ERROR Failed to open hm file." + path("missing.hm"));
  EXPECT_TRUE(files_.file_requests.empty());  // scripts see no dialog
}

TEST_F(file_menu, DialogOpenReadsNativeTextWithTheFirstFilterWhateverItsName) {
  stand_in_readers readers;
  readers.load_ok = false;
  set_medical_source(&readers);
  write_recording("a", 2, 3, 2);
  write_file("a.txt", read_file("a.hm"));
  t().RES_ASCII_FILENAME->write(wxFileName(path("somewhere.hm")));

  files_.choose(path("a.txt"), 7);  // "All (inc DICOM) files"
  EXPECT_FALSE(file_open());
  EXPECT_EQ(readers.loads, (std::vector<wxString>{path("a.txt")}));

  files_.choose(path("a.txt"), 0);
  ASSERT_TRUE(file_open());
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 2);
  ASSERT_EQ(files_.file_requests.size(), 2u);
  const file_dialog_request& r = files_.file_requests[0];
  EXPECT_EQ(r.message, "Open file");
  EXPECT_EQ(r.folder, wxString(dir_.string()));
  EXPECT_FALSE(r.save);
  EXPECT_EQ(r.wildcard,
            "Halmondo file|*.hm|Image files|*.tif*;*.bmp;*.png;*.jpg;*.jpeg;*.ppm|NIfTI "
            "files|*.nii;*.nii.gz|Analyze file|*.hdr|NRRD file|*.nhdr;*.nrrd|MetaImage "
            "file|*.mhd|Mindways file|*.qct|All (inc DICOM) files|*.*");
  close_data();

  // A chosen path that does not exist opens nothing; a cancelled dialog neither.
  files_.choose(path("gone.hm"), 0);
  EXPECT_FALSE(file_open());
  EXPECT_FALSE(file_open());
  EXPECT_EQ(readers.loads.size(), 1u);
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 0);
}

TEST_F(file_menu, ImageDataLoadAsOneUnchangedDataSetOrLeaveItEmpty) {
  stand_in_readers readers;
  set_medical_source(&readers);
  std::filesystem::create_directories(dir_ / "series");
  files_.folders.push_back(path("series"));
  ASSERT_TRUE(file_open_directory());
  EXPECT_EQ(readers.loads, (std::vector<wxString>{path("series")}));
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 2);
  EXPECT_TRUE(t().RES_BUF_DICOM->read());
  EXPECT_EQ(t().RES_VERSION->read(), "7.27");
  wxString groups;
  EXPECT_FALSE(base_res_t::describe_changed_groups(3, groups)) << groups;
  EXPECT_EQ(pages_.frames_shown, 2);
  close_data();

  readers.load_ok = false;
  t().RES_XSCALE->write_no_changeprocs(0.5);  // pending writes of the caller are withdrawn too
  EXPECT_FALSE(open_image_data(path("series")));
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 0);
  EXPECT_TRUE(frame_store->images.empty());
  EXPECT_NE(t().RES_XSCALE->read(), 0.5);

  set_medical_source(nullptr);
  EXPECT_FALSE(open_image_data(path("series")));
  EXPECT_TRUE(log_.has(wxLOG_Error, "the image readers are not part of this program"));
}

// ---- saving ----------------------------------------------------------------

TEST_F(file_menu, SaveAsCloseAndReopenGiveTheSameData) {
  write_recording("a", 3, 5, 4, "CONT 1 2 1 1 1 3 1 3 3\n");
  ASSERT_TRUE(read_hm("a.hm"));
  files_.choose(path("copy"));
  ASSERT_TRUE(file_save_as());
  EXPECT_EQ(files_.file_requests.back().message, "Save file as");
  EXPECT_EQ(files_.file_requests.back().wildcard, "Halmondo file|*.hm");
  EXPECT_TRUE(files_.file_requests.back().save);
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("copy.hm"));
  EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), "copy.qzi");
  EXPECT_EQ(read_file("copy.qzi"), frame_bytes(3, 5, 4));

  close_data();
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 0);
  ASSERT_TRUE(read_hm("copy.hm"));
  ASSERT_EQ(frame_store->images.size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(frame_pixels(k), expected_frame(k, 3, 5, 4)) << k;
  EXPECT_EQ(frame_store->timestamps, (std::vector<uint64_t>{1000, 1001, 1002}));
  ASSERT_NE(object(1).find_frame(2), nullptr);
  EXPECT_EQ(object(1).find_frame(2)->contours.at(0).vertices.size(), 3u);

  // Another extension is kept, and the frame file takes the letter i.
  files_.choose(path("c.dat"));
  ASSERT_TRUE(file_save_as());
  EXPECT_TRUE(exists("c.dat"));
  EXPECT_EQ(read_file("c.dati"), frame_bytes(3, 5, 4));
}

TEST_F(file_menu, SaveAsThatCannotWriteChangesNothing) {
  write_recording("a", 2, 3, 2);
  ASSERT_TRUE(read_hm("a.hm"));
  EXPECT_FALSE(file_save_as());  // cancelled
  files_.choose(path("no/such/folder/x.hm"));
  EXPECT_FALSE(file_save_as());
  EXPECT_TRUE(log_.has(wxLOG_Error, "Error opening file for writing.\n"));

  // A frame file that cannot be written (here a folder of its name) stops
  // the save before anything is written or emptied.
  write_file("old.hm", "old text");
  std::filesystem::create_directories(dir_ / "old.qzi");
  files_.choose(path("old.hm"));
  EXPECT_FALSE(file_save_as());
  EXPECT_EQ(read_file("old.hm"), "old text");
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("a.hm"));
  EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), "a.qzi");
}

TEST_F(file_menu, EightBitSaveAsAsksBeforeOverwritingTheImageFileAndEmptiesNothing) {
  stand_in_readers readers;
  set_medical_source(&readers);
  write_file("scan.qzi", "original image data");
  ASSERT_TRUE(open_image_data(path("scan.qzi")));
  t().RES_ASCII_FILENAME->write(wxFileName(path("scan_1.hm")));
  t().RES_BIN_IM_FILENAME->write("scan.qzi");
  EXPECT_EQ(files_.file_requests.size(), 0u);

  files_.choose(path("scan"), 1);
  ui_.answers = {true, false};  // convert to 8 bits: yes; overwrite the original: no
  EXPECT_FALSE(file_save_as());
  EXPECT_EQ(files_.file_requests.back().message, "Save image file as");
  EXPECT_EQ(files_.file_requests.back().wildcard,
            "Halmondo file|*.hm|Halmondo 8-bit data file|*.hm");
  ASSERT_EQ(ui_.questions.size(), 2u);
  EXPECT_EQ(ui_.questions[1],
            "Saving image data as a Halmondo raw data file with the same name\nwill permanently "
            "overwrite the original data. Do you want to continue?");
  EXPECT_EQ(read_file("scan.qzi"), "original image data");
  EXPECT_FALSE(exists("scan.hm"));
  EXPECT_TRUE(t().RES_BUF_DICOM->read());
}

// Data backed by a medical image file refer to it by name; saved elsewhere
// they must still find it, or not be saved at all.
TEST_F(file_menu, ImageBackedDataSavedElsewhereReopenOrAreRefused) {
  stand_in_readers readers;
  set_medical_source(&readers);
  std::filesystem::create_directories(dir_ / "series");
  std::filesystem::create_directories(dir_ / "elsewhere");
  std::filesystem::create_directories(dir_ / "other");
  ASSERT_TRUE(open_image_data(path("series")));
  t().RES_ASCII_FILENAME->write(wxFileName(path("d.hm")));
  t().RES_BIN_IM_FILENAME->write("series");
  ASSERT_TRUE(file_save());

  files_.choose(path("elsewhere/d.hm"), 0);
  ASSERT_TRUE(file_save_as());
  EXPECT_FALSE(exists("elsewhere/d.qzi"));
  close_data();
  ASSERT_TRUE(read_hm("elsewhere/d.hm"));
  EXPECT_EQ(frame_store->images.size(), 2u);

  // Beside the new file stands another "series": it would be taken instead.
  std::filesystem::create_directories(dir_ / "other" / "series");
  files_.choose(path("other/d.hm"), 0);
  EXPECT_FALSE(file_save_as());
  EXPECT_TRUE(log_.has(wxLOG_Error, "is not the image file of these data"));
  EXPECT_FALSE(exists("other/d.hm"));

  // The image file is gone: saving would make a file that cannot be opened.
  std::filesystem::remove(dir_ / "series");
  std::filesystem::remove_all(dir_ / "other");
  const std::string before = read_file("elsewhere/d.hm");
  EXPECT_FALSE(file_save());
  EXPECT_TRUE(log_.has(wxLOG_Error, "cannot be found"));
  EXPECT_EQ(read_file("elsewhere/d.hm"), before);
}

// ---- closing ---------------------------------------------------------------

TEST_F(file_menu, CloseAsksOnlyAboutUnsavedDataAndCancelKeepsThem) {
  write_recording("a", 2, 3, 2);
  ASSERT_TRUE(read_hm("a.hm"));
  int32_t counter = 1;

  t().RES_CENTRE_ZOOM->write(2.0);  // a display setting is not data
  t().RES_XSCALE->write(0.02);
  object(0).add_contour(1, contour_t());
  t().CONT->write();
  EXPECT_FALSE(file_close(counter));
  ASSERT_EQ(files_.asked.size(), 1u);
  EXPECT_EQ(files_.asked[0],
            "Ignore changes|There are unsaved changes for:\n\n - Object data\n - Position "
            "parameters\n\nSelect OK to ignore these changes");
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 2);
  EXPECT_EQ(frame_store->images.size(), 2u);

  ASSERT_TRUE(file_save());
  ASSERT_TRUE(file_close(counter));
  EXPECT_EQ(files_.asked.size(), 1u);
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 0);

  // A script closes without asking.
  ASSERT_TRUE(read_hm("a.hm"));
  t().CONT->write();
  t().RES_IN_SCRIPT->write(true);
  EXPECT_TRUE(file_close(counter));
  EXPECT_EQ(files_.asked.size(), 1u);
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 0);
}

TEST_F(file_menu, CloseEmptiesTheDataSetAndNamesTheNextFreeDefaultFiles) {
  write_recording("a", 3, 3, 2,
                  "LANDMARK 1 2 3 Apex\nLANDMARK 2D 0.5 0.25 1 Flat\nFIDUCIAL 4 5 6 Fid\n"
                  "CURVE 0 0 1 2 3 0 0 1 4 5 6 0 1 0 Rim\n");
  ASSERT_TRUE(read_hm("a.hm"));
  t().RES_FILENAME_STUB->write(path("stub"));
  write_file("stub_1.hm", "");
  write_file("stub_2.qzi", "");
  t().RES_BUF_CURRENT_FRAME->write(2);  // paging through the frames
  calipers_t calipers;
  calipers.first_x = 7;
  calipers.first_set = calipers.second_set = true;
  calipers.view = 2;
  t().RES_CALIPERS->write(calipers);
  t().RES_ALERT_STRING->write("alert");

  files_.confirmations.push_back(true);
  int32_t counter = 1;
  ASSERT_TRUE(file_close(counter));
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), path("stub_3.hm"));
  EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), "stub_3.qzi");
  EXPECT_EQ(counter, 4);
  EXPECT_EQ(t().RES_BUF_CURRENT_FRAME->read(), 0);
  EXPECT_EQ(t().RES_BUF_FRAMES->read(), 0);
  EXPECT_EQ(t().RES_ALERT_STRING->read(), "");
  EXPECT_EQ(t().RES_CALIPERS->read().first_x, 7);
  EXPECT_EQ(t().RES_CALIPERS->read().view, 2);
  EXPECT_FALSE(t().RES_CALIPERS->read().first_set || t().RES_CALIPERS->read().second_set);
  ASSERT_EQ(marks().size(), 1u);
  EXPECT_EQ(marks()[0].kind, LM_FIDUCIAL);
  EXPECT_EQ(t().RES_CURVE->read()->size(), 0u);
  EXPECT_EQ(pages_.frames_shown, 0);
  wxString groups;
  EXPECT_FALSE(base_res_t::describe_changed_groups(3, groups)) << groups;
}

}  // namespace
