// The Draw page's engines without a display: the derived-surface guard, the
// nearest frame of a point, the object info file and the export file names.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "data/contour.h"
#include "data/dynabuf.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "tasks/derived_surfaces.h"
#include "tasks/find_location.h"
#include "tasks/object_export.h"
#include "tools/headless_session.h"

namespace {

resource_table_t& rt() { return *resource_table; }
contour_object* objects() { return rt().RES_OBJECT->read(); }

// The square contour whose pixels x0..x1, y0..y1 lie inside.
contour_t box(double x0, double y0, double x1, double y1) {
  contour_t c;
  c.closed = true;
  c.vertices = {{x0, y0}, {x1 + 1, y0}, {x1 + 1, y1 + 1}, {x0, y1 + 1}};
  return c;
}

class Headless : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override {
    for (int k = 0; k < NUM_USER_OBJECTS; ++k) {
      delete rt().RES_SURFACE[k]->read();
      rt().RES_SURFACE[k]->write(nullptr);
    }
    session_.reset();
  }
  std::unique_ptr<headless_session> session_;
};

// --- the derived-surface guard

// Reads every surface at every commit, as the views do: a surface freed
// before the commit that drops it would be read after its deletion.
struct surface_reader {
  surface_reader() : functor(this, &surface_reader::seen) { rt().CONT->add_proc(&functor); }
  ~surface_reader() { rt().CONT->remove_proc(&functor); }
  void seen() {
    for (int k = 0; k < NUM_USER_OBJECTS; ++k)
      if (surface_interp* s = rt().RES_SURFACE[k]->read()) sum += s->volume;
  }
  pmf_functor<surface_reader> functor;
  double sum = 0;
};

class DerivedSurfaces : public Headless {
 protected:
  void put(int slot, int source) {
    auto* s = new surface_interp(slot);
    s->source_object = source;
    s->volume = 1;
    rt().RES_SURFACE[slot]->write(s);
  }
  // Questions asked, answered from answers in turn (OK when they run out).
  std::vector<wxString> asked;
  std::vector<bool> answers;
  derived_surface_question ask = [this](const wxString& caption, const wxString& text) {
    EXPECT_EQ(caption, "Cortical Surface Found");
    asked.push_back(text);
    return asked.size() > answers.size() || answers[asked.size() - 1];
  };
};

TEST_F(DerivedSurfaces, OrphansGoSilentlyOthersStay) {
  put(0, -1);
  put(1, 0);  // source alive
  put(2, 5);  // source without a surface
  surface_reader reader;
  EXPECT_FALSE(check_derived_surfaces(DERIVED_ORPHANS, ask));
  EXPECT_TRUE(asked.empty());
  EXPECT_NE(rt().RES_SURFACE[0]->read(), nullptr);
  EXPECT_NE(rt().RES_SURFACE[1]->read(), nullptr);
  EXPECT_EQ(rt().RES_SURFACE[2]->read(), nullptr);
}

TEST_F(DerivedSurfaces, OneObjectAsksAboutItsOwnLayersAndResetsTheirObjects) {
  objects()[0].name = L"Femur";
  objects()[4].name = L"Femur cortex";
  objects()[4].add_contour(2, box(1, 1, 3, 3));
  objects()[4].opacity = 0.3;
  objects()[4].volume = 2.5;
  put(0, -1);
  put(3, 1);  // made from another object: not asked about
  put(4, 0);
  surface_reader reader;
  EXPECT_FALSE(check_derived_surfaces(0, ask));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0],
            " Updating or deleting 'Femur' will delete the derived cortical surface 'Femur cortex'.\n"
            " Are you sure that you want to do this?");
  EXPECT_EQ(rt().RES_SURFACE[4]->read(), nullptr);
  EXPECT_NE(rt().RES_SURFACE[3]->read(), nullptr);
  EXPECT_TRUE(objects()[4].frames.empty());
  EXPECT_EQ(objects()[4].opacity, 1.0);
  EXPECT_EQ(objects()[4].volume, 0.0);
}

TEST_F(DerivedSurfaces, AllAsksInSlotOrderAndCancelKeepsEarlierDeletions) {
  objects()[2].name = L"Outer";
  objects()[5].name = L"Inner";
  put(0, -1);
  put(2, 0);
  put(5, 0);
  put(7, 0);
  answers = {true, false};
  surface_reader reader;
  EXPECT_TRUE(check_derived_surfaces(DERIVED_OF_ALL, ask));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0],
            " Updating all surfaces will delete the derived cortical surface 'Outer'.\n"
            " Are you sure that you want to do this?");
  EXPECT_NE(asked[1].Find("'Inner'"), wxNOT_FOUND);
  EXPECT_EQ(rt().RES_SURFACE[2]->read(), nullptr);
  EXPECT_NE(rt().RES_SURFACE[5]->read(), nullptr);
  EXPECT_NE(rt().RES_SURFACE[7]->read(), nullptr);
  EXPECT_NE(rt().RES_SURFACE[0]->read(), nullptr);
}

// --- the nearest frame

TEST(FindLocation, NearestFrameTiesToTheEarlierAndTruncatesPixels) {
  image_calibration_t c;
  c.xscale = 0.125;
  c.yscale = 0.25;
  std::vector<position_t> at(5);
  at[1].z = 0.25f;
  at[2].z = 0.5f;
  at[4].z = 1.0f;
  std::vector<const position_t*> positions{&at[0], &at[1], &at[2], nullptr, &at[4]};
  // Exactly between frames 0 and 1; x 3.5 and y -1.25 pixels truncate to 3, -1.
  frame_location found = nearest_frame(c, positions, vec3_t{0.4375, -0.3125, 0.125});
  EXPECT_EQ(found.frame, 0);
  EXPECT_EQ(found.x, 3);
  EXPECT_EQ(found.y, -1);
  // Frame 3 has no position: the nearest of the others.
  found = nearest_frame(c, positions, vec3_t{0, 0, 0.8});
  EXPECT_EQ(found.frame, 4);
  EXPECT_EQ(nearest_frame(c, {nullptr}, vec3_t{}).frame, -1);
}

TEST_F(Headless, LocatingNeedsProbePositionsAndFrames) {
  frame_store->positions.push_back(position_holder_t::create(position_t{}));
  rt().RES_BUF_FRAMES->write(1);
  rt().RES_POS_REC->write(false);
  EXPECT_EQ(locate_in_frames(vec3_t{}).frame, -1);
  rt().RES_POS_REC->write(true);
  EXPECT_EQ(locate_in_frames(vec3_t{}).frame, 0);
}

// --- the object info file

// Three 10 x 10 frames 1 mm apart of 1 mm pixels. Display byte at (x, y) of
// frame f: 10 (f + 1) + x % 2; raw value 32768 + 100 (f + 1) + 2 (x % 2).
class ObjectInfo : public Headless {
 protected:
  // Frames with display bytes only, or with raw values (16-bit data).
  void add_frames(bool with_raw) {
    for (int f = 0; f < 3; ++f) {
      auto* bytes = new uint8_t[100];
      auto* raw = with_raw ? new uint16_t[100] : nullptr;
      for (int i = 0; i < 100; ++i) {
        bytes[i] = uint8_t(10 * (f + 1) + (i % 10) % 2);
        if (raw) raw[i] = uint16_t(32768 + 100 * (f + 1) + 2 * ((i % 10) % 2));
      }
      frame_store->add_image(raw ? frame_image_t::create(bytes, raw, 100) : frame_image_t::create(bytes, 100));
      position_t p;
      p.z = 0.1f * f;
      frame_store->positions.push_back(position_holder_t::create(p));
    }
    rt().RES_BUF_FRAMES->write(3);
    rt().RES_BUF_DICOM->write(with_raw);
  }
  void SetUp() override {
    Headless::SetUp();
    resource_table_t& t = rt();
    t.RES_BUF_WIDTH->write(10);
    t.RES_BUF_HEIGHT->write(10);
    t.RES_POS_REC->write(true);
    t.RES_XSCALE->write(0.1);
    t.RES_YSCALE->write(0.1);
    t.RES_DICOM_HUM->write(1.0);
    t.RES_DICOM_HUB->write(-32768.0);
    t.RES_DICOM_UNITS->write(L"HU");
    t.CURRENT_MAX_OBJECTS->write(12);
    contour_object* o = objects();
    o[0].name = L"Femur";
    o[0].add_contour(0, box(2, 2, 5, 5));
    o[0].add_contour(2, box(2, 2, 5, 5));
    o[0].volume = 1.5;
    o[1].name = L"Tibia, left";
    o[1].add_contour(1, box(1, 1, 3, 2));
    o[3].name = L"Knee";
    o[3].add_contour(1, box(1, 1, 3, 2)).area = 0.0;  // measured as empty: no row
  }
};

const char* const kHeader =
    "Object,Frame,Volume (cc),Area (sq mm),Perimeter (mm),Average enclosed%s,Minimum enclosed%s,"
    "Maximum enclosed%s,Centre x (mm),Centre y (mm),Centre z (mm)\r\n";

std::string header(const char* unit) {
  return std::string(wxString::Format(kHeader, unit, unit, unit).utf8_str());
}

TEST_F(ObjectInfo, EightBitDataAsThePartWritesIt) {
  add_frames(false);
  const std::string expected = header("") +
                               "Femur, ,1.500, , ,20.500,10.000,31.000, , , \r\n"
                               "\"Tibia, left\", ,0.000, , ,20.667,20.000,21.000, , , \r\n"
                               "Knee, ,0.000, , , , , , , , \r\n"
                               "Femur,0, ,16.000,16.000,10.500,10.000,11.000,4.000,4.000,0.000\r\n"
                               "Femur,2, ,16.000,16.000,30.500,30.000,31.000,4.000,4.000,2.000\r\n"
                               "\"Tibia, left\",1, ,6.000,10.000,20.667,20.000,21.000,2.500,2.000,1.000\r\n";
  EXPECT_EQ(object_statistics_text(-1), expected);
  EXPECT_EQ(object_statistics_text(0), header("") +
                                           "Femur, ,1.500, , ,20.500,10.000,31.000, , , \r\n"
                                           "Femur,0, ,16.000,16.000,10.500,10.000,11.000,4.000,4.000,0.000\r\n"
                                           "Femur,2, ,16.000,16.000,30.500,30.000,31.000,4.000,4.000,2.000\r\n");
  EXPECT_EQ(object_statistics_text(2), header(""));
}

TEST_F(ObjectInfo, SixteenBitDataInUnitsAndCalibratedDensity) {
  add_frames(true);
  EXPECT_EQ(object_statistics_text(1),
            header(" HU") + "\"Tibia, left\", ,0.000, , ,201.333,200.000,202.000, , , \r\n"
                            "\"Tibia, left\",1, ,6.000,10.000,201.333,200.000,202.000,2.500,2.000,1.000\r\n");
  rt().RES_DICOM_BMD_SCALE->write(2.0);
  rt().RES_DICOM_BMD_OFFSET->write(100.0);
  EXPECT_EQ(object_statistics_text(0),
            header(" (mg/ml)") + "Femur, ,1.500, , ,50.500,0.000,101.000, , , \r\n"
                                 "Femur,0, ,16.000,16.000,0.500,0.000,1.000,4.000,4.000,0.000\r\n"
                                 "Femur,2, ,16.000,16.000,100.500,100.000,101.000,4.000,4.000,2.000\r\n");
}

// --- export file names

TEST_F(Headless, PerObjectFilesAreSafeAndDistinct) {
  objects()[0].name = L"Femur";
  objects()[1].name = L"Tibia";
  objects()[2].name = L"femur";
  objects()[3].name = L"../up";
  objects()[4].name = L"";
  const std::vector<wxString> paths = per_object_surface_paths(L"/data/out/scan.ply", {0, 1, 2, 3, 4});
  const std::vector<wxString> expected{L"/data/out/scan_Femur.ply", L"/data/out/scan_Tibia.ply",
                                       L"/data/out/scan_femur_3.ply", L"/data/out/scan_.__up.ply",
                                       L"/data/out/scan_5.ply"};
  EXPECT_EQ(paths, expected);
}

TEST(ScriptPaths, ANameWithoutAFolderGoesToTheResultsFolder) {
  EXPECT_EQ(script_results_path(L"bone.ply", L"/results"), "/results/bone.ply");
  EXPECT_EQ(script_results_path(L"/elsewhere/bone.ply", L"/results"), "/elsewhere/bone.ply");
  EXPECT_EQ(script_results_path(L"bone.ply", L"INITIAL_STATE"), "bone.ply");
}

}  // namespace
