// Native data files whose frames live in DICOM files: a data set opened
// through the readers, saved as a native data file and opened again reads
// the same frames through the readers, in the saved frame order.
#include <gtest/gtest.h>

#include "data/data_io_ui.h"
#include "data/data_reset.h"
#include "data/file_menu.h"
#include "data/native_file.h"
#include "medical/dicom_utility.h"
#include "medical_support.h"
#include "registry/resource_table.h"
#include "tools/headless_session.h"

namespace {

struct yes_ui : console_data_io_ui {
  bool ask_yes_no(const wxString&, const wxString&) override { return true; }
};

std::vector<std::vector<uint16_t>> frames_now() {
  std::vector<std::vector<uint16_t>> out;
  const int32_t n = resource_table->RES_BUF_FRAMES->read();
  const size_t plane = size_t(resource_table->RES_FRAME_SIZE->read());
  for (int32_t i = 0; i < n; ++i) {
    const frame_image_ref img = frame_store->imagecp(i);
    out.emplace_back(img && img->raw ? std::vector<uint16_t>(img->raw, img->raw + plane) : std::vector<uint16_t>());
  }
  return out;
}

TEST(NativeMedicalFiles, SavedDataSetReopensThroughTheReaders) {
  const wxString fixtures = generated_fixtures("make_series_fixtures.py");
  ASSERT_FALSE(fixtures.empty());
  scratch_dir dir;
  // A run whose files are out of location order, so that the saved frame
  // list is a permutation.
  for (int n : {1, 2, 3, 5})
    dir.write(wxString::Format("IM%04d.dcm", n),
              read_bytes(fixtures + wxString::Format("/run/IM%04d.dcm", n)));
  yes_ui ui;
  data_ui_scope scope(ui);
  headless_session session;
  dicom_utility::reset_reader_state();
  ASSERT_TRUE(open_image_data(dir.path("IM0001.dcm")));
  // Files 1, 2, 3 lie at 5, 2, 9 x 2.5 mm: sorted along frame 0 to frame 1 they are 3, 1, 2;
  // IM0005 is not part of the run (IM0004 is missing).
  const auto before = frames_now();
  ASSERT_EQ(before.size(), 3u);
  EXPECT_EQ(before[0][0], 300);
  EXPECT_EQ(before[1][0], 100);
  EXPECT_EQ(before[2][0], 200);
  const wxString hm = dir.path("IM0001.hm");
  ASSERT_TRUE(try_write_native_file(hm));

  clear_data();
  base_res_t::make_pending_writes_happen();
  dicom_utility::reset_data_source();
  ASSERT_EQ(frame_store->images.size(), 0u);
  ASSERT_TRUE(open_native_file(hm));
  EXPECT_TRUE(resource_table->RES_BUF_DICOM->read());
  EXPECT_EQ(frames_now(), before);
}

}  // namespace
