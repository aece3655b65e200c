// Masking the data with a region drawn on the review view.
#include <gtest/gtest.h>

#include <vector>

#include "registry/res_values.h"
#include "tools/headless_session.h"
#include "views/review_mask.h"

namespace {

class scripted_mask_ui final : public mask_ui {
 public:
  bool ask(const wxString& caption, const wxString& q) override {
    captions.push_back(caption);
    questions.push_back(q);
    return answer;
  }
  void progress_start(const wxString& title, const wxString& m, int maximum) override {
    messages.push_back(m);
    this->maximum = maximum;
  }
  void progress_update(int v, const wxString& m) override {
    updates.push_back(v);
    messages.push_back(m);
  }
  void progress_finish() override { ++finished; }

  bool answer = true;
  std::vector<wxString> captions, questions, messages;
  std::vector<int> updates;
  int maximum = -1;
  int finished = 0;
};

constexpr int W = 10, H = 8;

// Pixel centres inside the rectangle (2, 2) .. (6, 5): columns 2..5, rows 2..4.
bool in_rectangle(int c, int r) { return c >= 2 && c <= 5 && r >= 2 && r <= 4; }

contour_t rectangle() {
  contour_t c;
  c.vertices = {{2, 2}, {6, 2}, {6, 5}, {2, 5}};
  c.closed = true;
  return c;
}

class ReviewMask : public ::testing::Test {
 protected:
  // Frames whose pixel k holds (k + f) % 3: zeros inside and outside the region.
  void load(int frames, bool raw16) {
    for (int f = 0; f < frames; ++f) {
      auto* px = new uint8_t[W * H];
      uint16_t* raw = raw16 ? new uint16_t[W * H] : nullptr;
      for (int k = 0; k < W * H; ++k) {
        px[k] = static_cast<uint8_t>((k + f) % 3);
        if (raw) raw[k] = static_cast<uint16_t>(500 + k);
      }
      frame_store->add_image(raw ? frame_image_t::create(px, raw, W * H)
                                 : frame_image_t::create(px, W * H));
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(W);
    t.RES_BUF_HEIGHT->write(H);
    t.RES_BUF_FRAMES->write(frames);
  }
  uint8_t pixel(int f, int c, int r) { return frame_store->images[f]->display[r * W + c]; }

  headless_session session;
  mask_region_t mask;
  scripted_mask_ui ui;
};

TEST_F(ReviewMask, OutsideBecomesZeroAndInsideZerosBecomeOne) {
  load(3, false);
  resource_table_t& t = *resource_table;
  const contour_t outline = rectangle();
  ASSERT_TRUE(mask_data(mask, &outline, ui));
  ASSERT_EQ(ui.captions.size(), 1u);
  EXPECT_EQ(ui.captions[0], "Mask data");
  EXPECT_EQ(ui.questions[0], "Mask all recorded data using displayed region?\n\nThis will "
                             "permanently delete all data outside this mask.");
  EXPECT_EQ(ui.messages.front(), "Currently masking frame 0 of 3.\n");
  EXPECT_EQ(ui.messages.back(), "Currently masking frame 2 of 3.");
  EXPECT_EQ(ui.maximum, 3);
  EXPECT_EQ(ui.finished, 1);
  for (int f = 0; f < 3; ++f)
    for (int r = 0; r < H; ++r)
      for (int c = 0; c < W; ++c) {
        const int before = (r * W + c + f) % 3;
        const int expected = in_rectangle(c, r) ? (before == 0 ? 1 : before) : 0;
        EXPECT_EQ(pixel(f, c, r), expected) << "frame " << f << " pixel " << c << "," << r;
      }
  EXPECT_EQ(t.RES_MASKED_DATA->read(), 1);
  EXPECT_TRUE(t.RES_BIN_IM_FILENAME->changed());  // the frames are saved with the data
  EXPECT_TRUE(mask.region.contours.empty());
  EXPECT_FALSE(mask.raster);
}

TEST_F(ReviewMask, MaskingAgainKeepsZerosInside) {
  load(1, false);
  resource_table_t& t = *resource_table;
  t.RES_MASKED_DATA->write(1);
  frame_store->images[0]->display[3 * W + 3] = 0;  // inside
  const contour_t outline = rectangle();
  ASSERT_TRUE(mask_data(mask, &outline, ui));
  EXPECT_EQ(pixel(0, 3, 3), 0);
  EXPECT_EQ(t.RES_MASKED_DATA->read(), 2);
}

TEST_F(ReviewMask, AnsweringNoChangesNothing) {
  load(2, false);
  ui.answer = false;
  std::vector<uint8_t> before(frame_store->images[1]->display, frame_store->images[1]->display + W * H);
  const contour_t outline = rectangle();
  EXPECT_FALSE(mask_data(mask, &outline, ui));
  EXPECT_EQ(std::vector<uint8_t>(frame_store->images[1]->display,
                                 frame_store->images[1]->display + W * H),
            before);
  EXPECT_EQ(resource_table->RES_MASKED_DATA->read(), 0);
  EXPECT_TRUE(ui.updates.empty());
  EXPECT_TRUE(mask.region.contours.empty());
  EXPECT_FALSE(mask.raster);
}

TEST_F(ReviewMask, AnOutlineWithoutAreaAsksNothing) {
  load(1, false);
  contour_t line;
  line.vertices = {{1, 1}, {5, 5}};
  EXPECT_FALSE(mask_data(mask, &line, ui));
  EXPECT_FALSE(mask_data(mask, nullptr, ui));
  EXPECT_TRUE(ui.questions.empty());
}

// 16-bit values stay untouched; the question says the mask lasts until the
// display window changes, and a new window drops the masked state with it.
TEST_F(ReviewMask, SixteenBitDataKeepRawValuesAndTheStateFollowsTheDisplay) {
  load(2, true);
  resource_table_t& t = *resource_table;
  t.RES_BUF_DICOM->write(true);
  const contour_t outline = rectangle();
  ASSERT_TRUE(mask_data(mask, &outline, ui));
  EXPECT_EQ(ui.questions[0],
            "Mask all recorded data using displayed region?\n\nThis will temporarily delete all "
            "data outside this mask, until the display window is changed.\nHowever the saved "
            "data will not be affected.");
  for (int f = 0; f < 2; ++f)
    for (int k = 0; k < W * H; ++k) EXPECT_EQ(frame_store->images[f]->raw[k], 500 + k);
  EXPECT_EQ(pixel(1, 0, 0), 0);
  EXPECT_EQ(t.RES_MASKED_DATA->read(), 1);
  EXPECT_FALSE(t.RES_BIN_IM_FILENAME->changed());
  EXPECT_TRUE(reset_mask_after_windowing());
  EXPECT_EQ(t.RES_MASKED_DATA->read(), 0);
  EXPECT_FALSE(reset_mask_after_windowing());
}

TEST_F(ReviewMask, EightBitDataKeepTheirMaskAfterWindowing) {
  load(1, false);
  const contour_t outline = rectangle();
  ASSERT_TRUE(mask_data(mask, &outline, ui));
  EXPECT_FALSE(reset_mask_after_windowing());
  EXPECT_EQ(resource_table->RES_MASKED_DATA->read(), 1);
}

}  // namespace
