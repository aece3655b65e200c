// Contours from label images: vertex places, contour counts with holes and
// corner contacts, areas against pixel counts, labels on the image border,
// vertex offsets at threshold crossings, and object contours from a label
// value through the frame store.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/dynabuf.h"
#include "data/objects.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "segment_test_support.h"
#include "segmentation/grassfire.h"
#include "tools/headless_session.h"

namespace {

TEST(GrassfireTrace, SinglePixelGivesItsFourEdgeMidpoints) {
  phantom p(6, 5, 0);
  p.at(3, 2) = 2;
  frame_contours_t set;
  grassfire::trace_label_contours(p.px.data(), p.w, p.h, 1, &set, 0.0);
  ASSERT_EQ(set.contours.size(), 1u);
  const contour_t& c = set.contours[0];
  EXPECT_TRUE(c.closed);
  const double want[4][2] = {{3, 2.5}, {3.5, 2}, {4, 2.5}, {3.5, 3}};
  ASSERT_EQ(c.vertices.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(c.vertices[i].x, want[i][0]) << i;
    EXPECT_DOUBLE_EQ(c.vertices[i].y, want[i][1]) << i;
  }
}

// Contour counts, and the signed areas (holes run the other way) summing to
// the labelled pixel count less the corners the edge midpoints cut: a
// quarter-pixel square's half at each of the four net convex corners of an
// outer boundary, given back by each hole. The caller's image is left as it was.
TEST(GrassfireTrace, ContourCountsAndAreasMatchThePixels) {
  struct shape {
    const char* name;
    phantom image;
    size_t contours;
  };
  std::vector<shape> shapes;
  {
    phantom p(40, 40, 0);
    p.disc(20, 20, 12, 2);
    shapes.push_back({"disc", p, 1});
  }
  {
    phantom p(40, 40, 0);
    p.disc(20, 20, 12, 2);
    p.disc(20, 20, 10, 0);
    shapes.push_back({"ring 2 px", p, 2});
  }
  {
    phantom p(20, 20, 0);
    p.rect(5, 5, 11, 11, 2);
    p.rect(6, 6, 10, 10, 0);
    shapes.push_back({"square ring 1 px", p, 2});
  }
  {
    phantom p(12, 12, 0);
    p.rect(3, 3, 7, 7, 2);
    p.at(5, 5) = 0;
    shapes.push_back({"one-pixel hole in a square ring", p, 2});
  }
  {
    phantom p(10, 10, 0);
    p.at(3, 3) = 2;
    p.at(4, 4) = 2;
    p.at(5, 3) = 2;
    shapes.push_back({"corner contacts", p, 1});
  }
  {
    phantom p(9, 7, 2);
    shapes.push_back({"whole image", p, 1});
  }
  {
    phantom p(16, 10, 0);
    p.rect(0, 0, 5, 9, 2);
    p.rect(10, 3, 15, 6, 2);
    shapes.push_back({"on the border", p, 2});
  }
  for (const shape& s : shapes) {
    const std::vector<uint8_t> before = s.image.px;
    frame_contours_t set;
    grassfire::trace_label_contours(s.image.px.data(), s.image.w, s.image.h, 1, &set, 0.0);
    EXPECT_EQ(s.image.px, before) << s.name;
    EXPECT_EQ(set.contours.size(), s.contours) << s.name;
    double area = 0.0;
    int euler = 0;
    for (const contour_t& c : set.contours) {
      area += shoelace(c);
      euler += shoelace(c) > 0 ? 1 : -1;
    }
    EXPECT_DOUBLE_EQ(area, count_value(before, 2) - 0.5 * euler) << s.name;
  }
}

// Pixels touching at a corner are one region with the 8-connected walk and
// two with the 4-connected one; labels go to their own sets.
TEST(GrassfireTrace, ConnectivityAndSets) {
  phantom p(10, 10, 0);
  p.at(3, 3) = 2;
  p.at(4, 4) = 2;
  const grey_band band(100, 255);
  for (const bool eight : {true, false}) {
    frame_contours_t set;
    grassfire::extract_frame_contours(p.px.data(), p.px.data(), p.w, p.h, 1, &set, 0.0, eight, band, false);
    EXPECT_EQ(set.contours.size(), eight ? 1u : 2u) << eight;
  }
  phantom labels(12, 6, 0);
  labels.rect(1, 1, 3, 3, 2);
  labels.rect(6, 1, 8, 3, 3);
  labels.rect(9, 4, 10, 4, 5);  // beyond the sets: dropped
  frame_contours_t sets[2];
  grassfire::trace_label_contours(labels.px.data(), labels.w, labels.h, 2, sets, 0.0);
  ASSERT_EQ(sets[0].contours.size(), 1u);
  ASSERT_EQ(sets[1].contours.size(), 1u);
  EXPECT_DOUBLE_EQ(sets[0].contours[0].vertices[0].x, 1.0);
  EXPECT_DOUBLE_EQ(sets[1].contours[0].vertices[0].x, 6.0);
}

// Offsets worked out by hand: the vertex lies where the line between the two
// pixel centres leaves the band, half a grey level beyond its last value; off
// the band the gradient rule decides.
TEST(GrassfireTrace, EdgeOffsetsAtTheThresholdCrossing) {
  struct offset_case {
    int32_t lo, hi, c, a, b;
    float want;
  };
  const offset_case cases[] = {
      {100, 200, 150, 120, 40, 0.5f - 20.5f / 80.0f},   // plain band, below
      {100, 200, 150, 150, 250, 0.5f - 50.5f / 100.0f},  // plain band, above
      {200, 50, 30, 30, 100, 0.5f - 19.5f / 70.0f},     // wrapped band, from the low side
      {200, 50, 230, 230, 150, 0.5f - 29.5f / 80.0f},   // wrapped band, from the high side
      {200, 50, 49, 49, 60, 0.5f - 0.5f / 11.0f},       // wrapped band, its last value
      {100, 200, 95, 90, 40, (1.05f - 0.5f) * 0.25f},   // a off the band: gradient rule
      {100, 200, 150, 130, 130, 0.0f},                  // no step
  };
  for (const offset_case& k : cases) {
    const grey_band band(k.lo, k.hi);
    const uint8_t row[3] = {static_cast<uint8_t>(k.c), static_cast<uint8_t>(k.a), static_cast<uint8_t>(k.b)};
    EXPECT_NEAR(grassfire::edge_offset(row + 1, 1, band, false), k.want, 1e-6)
        << k.lo << ".." << k.hi << " " << k.c << " " << k.a << " " << k.b;
    EXPECT_EQ(grassfire::edge_offset(row + 1, 1, band, true), 0.0f);
  }
}

class LabelContours : public ::testing::Test {
 protected:
  static constexpr int32_t W = 10, H = 8;
  void SetUp() override {
    session_ = std::make_unique<headless_session>();
    saved_8bit_ = dicom_utility::data_8bit;
  }
  void TearDown() override {
    dicom_utility::data_8bit = saved_8bit_;
    session_.reset();
  }
  void add_frames(const std::vector<std::vector<uint8_t>>& frames) {
    for (const auto& f : frames) {
      auto* px = new uint8_t[W * H];
      std::copy(f.begin(), f.end(), px);
      frame_store->add_image(frame_image_t::create(px, W * H));
    }
    announce(static_cast<int32_t>(frames.size()));
  }
  void announce(int32_t frames) {
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write(W);
    t.RES_BUF_HEIGHT->write(H);
    t.RES_BUF_FRAMES->write(frames);
    t.RES_SIMPLIFY_THRESH->write(0);
  }
  contour_object& object(int k) { return resource_table->RES_OBJECT->read()[k]; }

  std::unique_ptr<headless_session> session_;
  bool saved_8bit_ = false;
};

TEST_F(LabelContours, EveryNthFrameRenamedAndReset) {
  std::vector<uint8_t> block(W * H, 1), empty(W * H, 1);
  for (int y = 2; y <= 4; ++y)
    for (int x = 3; x <= 6; ++x) block[y * W + x] = 7;
  add_frames({block, block, block, empty, block});
  contour_t old;
  old.vertices = {{0, 0}, {1, 0}, {1, 1}};
  object(3).add_contour(1, old);

  // Frames 0, 2 and 4 (from 4 mod 2 in steps of 2); the object's old frame goes.
  EXPECT_EQ(grassfire::contours_from_label(7, 3, 4, 2, true), 1);
  EXPECT_EQ(object(3).name, "From label 7");
  std::vector<int32_t> frames;
  for (const frame_contours_t& e : object(3).frames) {
    frames.push_back(e.frame);
    ASSERT_EQ(e.contours.size(), 1u);
    EXPECT_DOUBLE_EQ(shoelace(e.contours[0]), 12.0 - 0.5);
  }
  EXPECT_EQ(frames, (std::vector<int32_t>{0, 2, 4}));

  // A label found nowhere renames but keeps the contours; a frame out of range does nothing.
  EXPECT_EQ(grassfire::contours_from_label(9, 3, 0, 1, true), 0);
  EXPECT_EQ(object(3).name, "From label 9");
  EXPECT_EQ(object(3).frames.size(), 3u);
  EXPECT_EQ(grassfire::contours_from_label(7, 4, 5, 0, true), 0);
  EXPECT_TRUE(object(4).frames.empty());

  // Without renaming, frame 1 alone is added to what the object holds.
  EXPECT_EQ(grassfire::contours_from_label(7, 3, 1, 0, false), 1);
  EXPECT_EQ(object(3).frames.size(), 4u);
  EXPECT_EQ(object(3).name, "From label 9");
}

TEST_F(LabelContours, SixteenBitLabelsNamedInCalibratedUnits) {
  auto* raw = new uint16_t[W * H]();
  for (int y = 1; y <= 3; ++y)
    for (int x = 1; x <= 2; ++x) raw[y * W + x] = 1524;
  frame_store->add_image(frame_image_t::create(nullptr, raw, W * H));
  announce(1);
  resource_table_t& t = *resource_table;
  t.RES_BUF_DICOM->write(true);
  t.RES_DICOM_HUM->write(1.0);
  t.RES_DICOM_HUB->write(-1024.0);
  dicom_utility::data_8bit = false;
  EXPECT_EQ(grassfire::contours_from_label(1524, 0, 0, 0, true), 1);
  EXPECT_EQ(object(0).name, "From label 500");
  ASSERT_EQ(object(0).frames.size(), 1u);
  EXPECT_DOUBLE_EQ(shoelace(object(0).frames.front().contours.at(0)), 6.0 - 0.5);
}

}  // namespace
