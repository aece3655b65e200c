// Objects: default names, colours and display values, frame entries, and
// the defaults of the volume rows.
#include <gtest/gtest.h>

#include <memory>

#include "data/objects.h"

namespace {

contour_t square(double x) {
  contour_t c;
  c.vertices = {{x, 0}, {x + 1, 0}, {x + 1, 1}};
  c.closed = true;
  return c;
}

std::vector<int32_t> frame_numbers(const contour_object& o) {
  std::vector<int32_t> f;
  for (const frame_contours_t& e : o.frames) f.push_back(e.frame);
  return f;
}

}  // namespace

TEST(ObjectDefaults, NamesAndColoursOfChosenObjects) {
  std::unique_ptr<contour_object[]> objects(new contour_object[NUM_OBJECTS]);
  objects[200].name = "Shape model";
  contour_object::assign_default_names_and_colours(objects.get(), -1);
  struct row {
    int k;
    const char* name;
    uint8_t r, g, b;
  } rows[] = {
      {0, "Object 0", 255, 255, 51},    {1, "Object 1", 51, 255, 0},
      {5, "Object 5", 255, 127, 0},     {6, "Object 6", 255, 255, 173},
      {11, "Object 11", 255, 204, 153}, {13, "Object 13", 35, 178, 0},
      {29, "Object 29", 102, 51, 0},    {30, "Object 30", 255, 255, 51},
      {199, "Object 199", 112, 255, 76},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.k);
    const contour_object& o = objects[r.k];
    EXPECT_EQ(o.name, r.name);
    EXPECT_TRUE(o.colour.IsOk());
    EXPECT_EQ(o.colour, rgba_colour_t(r.r, r.g, r.b, 255));
    EXPECT_EQ(o.opacity, 1.0);
    EXPECT_EQ(o.roughness, 0.4);
    EXPECT_EQ(o.capped, 1);
  }
  // The shape model's object is never touched.
  EXPECT_EQ(objects[200].name, "Shape model");
  EXPECT_FALSE(objects[200].colour.IsOk());
}

TEST(ObjectDefaults, ObjectWithContoursKeepsNameAndCap) {
  std::unique_ptr<contour_object[]> objects(new contour_object[NUM_OBJECTS]);
  contour_object& o = objects[3];
  o.add_contour(4, square(0));
  o.name = "Femur";
  o.capped = 0;
  o.colour.Set(1, 2, 3);
  o.opacity = 0.25;
  o.roughness = 0.9;
  o.metallic = 0.5;
  o.anisotropy = 0.7;
  objects[4].name = "Tibia";

  contour_object::assign_default_names_and_colours(objects.get(), 3);
  EXPECT_EQ(o.name, "Femur");
  EXPECT_EQ(o.capped, 0);
  EXPECT_EQ(o.colour, contour_object::default_colour(3));
  EXPECT_EQ(o.colour, rgba_colour_t(102, 76, 255));
  EXPECT_EQ(o.opacity, 1.0);
  EXPECT_EQ(o.roughness, 0.4);
  EXPECT_EQ(o.metallic, 0.0);
  EXPECT_EQ(o.anisotropy, 0.0);
  EXPECT_EQ(objects[4].name, "Tibia");  // only the chosen object

  // Reset removes the entries and display values, not the name or colour.
  o.opacity = 0.3;
  o.reset();
  EXPECT_TRUE(o.frames.empty());
  EXPECT_EQ(o.name, "Femur");
  EXPECT_EQ(o.colour, rgba_colour_t(102, 76, 255));
  EXPECT_EQ(o.opacity, 1.0);
  EXPECT_EQ(o.capped, 1);
}

TEST(ObjectFrames, AddContourKeepsFramesOrderedAndUnique) {
  contour_object o;
  frame_contours_t& five = o.add_contour(5, square(0));
  five.area = 3.0;
  o.add_contour(2, square(1));
  frame_contours_t& again = o.add_contour(5, square(2));
  EXPECT_EQ(&again, &five);  // the entry of a frame stays where it is
  EXPECT_EQ(frame_numbers(o), (std::vector<int32_t>{2, 5}));
  EXPECT_EQ(five.contours.size(), 2u);
  EXPECT_EQ(five.contours[1].vertices[0].x, 2.0);
  EXPECT_EQ(five.area, -1.0);  // marked as not measured
  EXPECT_EQ(o.frames.front().area, -1.0);
  EXPECT_EQ(o.find_frame(2), &o.frames.front());
  EXPECT_EQ(o.find_frame(3), nullptr);
}

TEST(ObjectFrames, EraseUnselectedFramesRenumbers) {
  contour_object o;
  o.add_contour(1, square(1));
  o.add_contour(2, square(2));
  o.add_contour(4, square(4));
  const uint8_t selected[5] = {0, 0, 1, 0, 1};
  o.erase_unselected_frames(selected, 5);
  ASSERT_EQ(frame_numbers(o), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(o.frames.front().contours[0].vertices[0].x, 2.0);
  EXPECT_EQ(o.frames.back().contours[0].vertices[0].x, 4.0);

  contour_object all;
  all.add_contour(0, square(0));
  all.add_contour(1, square(1));
  const uint8_t both[2] = {1, 1};
  all.erase_unselected_frames(both, 2);
  EXPECT_EQ(frame_numbers(all), (std::vector<int32_t>{0, 1}));
}

TEST(VolumeRows, Defaults) {
  std::unique_ptr<volume_object[]> rows(new volume_object[NUM_VOLUME_ROWS]);
  for (int k = 0; k < NUM_VOLUME_ROWS; ++k) {
    const volume_object& v = rows[k];
    EXPECT_EQ(v.enabled, 0);
    EXPECT_EQ(v.colour, rgba_colour_t(0, 0, 0, 255));
    EXPECT_EQ(v.opacity, 0);
    EXPECT_EQ(v.metallic, 0);
    EXPECT_EQ(v.roughness, 100);
    EXPECT_EQ(v.anisotropy, 0);
    EXPECT_EQ(v.data_value, 0);
  }
  contour_object fresh;
  EXPECT_TRUE(fresh.name.empty());
  EXPECT_FALSE(fresh.colour.IsOk());
  EXPECT_EQ(fresh.opacity, 1.0);
  EXPECT_EQ(fresh.roughness, 0.4);
  EXPECT_EQ(fresh.capped, 1);
}
