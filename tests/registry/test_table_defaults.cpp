// Initial values of the table, and the objects it creates for resources to
// hold, right after start-up with an empty configuration.
#include <string>

#include <wx/filename.h>

#include "data/calipers.h"
#include "data/curves.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "registry/app_types.h"
#include "test_table_fixture.h"
#include "thickness/thickness.h"

namespace {

using Defaults = TableTest;

// Text form of the start value (booleans "true"/"false", integers in decimal,
// doubles with six decimals, texts as they are), by name.
struct start_value_t {
  const char* name;
  const char* text;
};

const start_value_t kStartValues[] = {
    // Data-file header, keyword lines and thickness settings.
    {"RES_POS_REC", "true"},
    {"RES_BUF_DICOM", "false"},
    {"RES_BUF_WIDTH", "512"},
    {"RES_BUF_HEIGHT", "512"},
    {"RES_BUF_FRAMES", "0"},
    {"RES_THICKNESS_DISTANCE_REJECT", "39"},
    {"RES_THICKNESS_DISP_COL", "3"},
    {"RES_THICKNESS_A", "10000000000.000000"},
    {"RES_THICKNESS_GAUSS", "10000000000.000000"},
    {"RES_THICKNESS_RECT", "0.000000"},
    {"RES_THICKNESS_LINE", "1.800000"},
    {"RES_THICKNESS_INNER_LAYER", "true"},
    // Segmentation, surface, volume, graphics and view settings.
    {"RES_JUMP_THRESH", "25"},
    {"RES_SEGMENT_VALLEYS", "true"},
    {"RES_SURFACE_COVER", "true"},
    {"RES_VOLUME_LANDMARK_RADIUS", "15.000000"},
    {"RES_VOLUME_CROP_Z_HIGH", "100.000000"},
    {"RES_LIGHTING_UP_DOWN", "-0.500000"},
    {"RES_LIGHTING_LEFT_RIGHT", "0.250000"},
    {"RES_LIGHTING_FRONT_SIDE", "0.750000"},
    {"RES_LIGHTING_AMBIENT", "0.100000"},
    {"RES_SHADER", "2"},
    {"RES_BACKGROUND", "#808080"},
    {"RES_OUTLINE_VIEWZ_Z", "1.000000"},
    {"RES_OUTLINE_VIEWX_X", "1.000000"},
    {"RES_OUTLINE_VIEWX_Z", "0.000000"},
    {"RES_SEE_OUTLINES", "1"},
    // Calibration, windowing, position parameters, switches and material.
    {"RES_DICOM_BMD_PHANTOM", "No"},
    {"RES_DICOM_UNITS", "??"},
    {"RES_DICOM_WIN_WIDTH", "2048.000000"},
    {"RES_DICOM_WIN_CENTRE", "1024.000000"},
    {"RES_XSCALE", "0.010000"},
    {"RES_VERSION", "7.27"},
    {"RES_DISPLAY_FEATURES", "72700000"},
    {"RES_SETTINGS_MASK", "65535"},
    {"RES_THICKNESS_OUTPUT_DATA", "-1"},
    {"RES_ICON_SIZE", "-1"},
    {"RES_GLUT_FONT", "3"},
    {"RES_SPINE_TASK", "false"},
    {"RES_VRML2_SURFACES", "true"},
    {"RES_MATERIAL_ROUGHNESS", "0.400000"},
    {"RES_MATERIAL_COLOUR", "#808080"},
    // Run-time state.
    {"RES_CONFIG_DIR", "C:"},
    {"RES_EXEC_DIR", "C:"},
    {"RES_FILENAME_STUB", "halmondo_data"},
    {"CURRENT_MAX_OBJECTS", "12"},
    {"CURRENT_OBJECT", "0"},
    {"RES_CPU_GRAPHICS_POWER", "49999"},
    {"RES_ALERT_STRING", " "},
    {"RES_SCRIPT_WRITE_MESSAGE", "INITIAL_STATE"},
    {"RES_SCRIPT_FUNC_ARG", "INITIAL_STATE"},
    {"RES_VOLUME_SURFACE", "-1"},
    {"RES_VOLUME_LANDMARK", "??"},
    {"RES_THICKNESS_SURF", "-1"},
    {"RES_THICKNESS_DE_FROM_AC", "true"},
    {"RES_THICKNESS_METAL", "false"},
};

TEST_F(Defaults, TypedResourcesStartAtTheirListedValues) {
  for (const start_value_t& s : kStartValues) {
    ASSERT_NE(base_res_t::find(s.name), nullptr) << s.name;
    EXPECT_EQ(base_res_t::get_as_string(s.name).ToStdString(), s.text) << s.name;
  }
}

TEST_F(Defaults, MembersReachTheNamedResources) {
  EXPECT_TRUE(t().RES_POS_REC->read());
  EXPECT_EQ(t().RES_BUF_WIDTH->read(), 512);
  EXPECT_EQ(t().RES_THICKNESS_A->read(), 1e10);
  EXPECT_EQ(t().RES_LIGHTING_UP_DOWN->read(), -0.5);
  EXPECT_EQ(t().RES_BACKGROUND->read(), "#808080");
  EXPECT_EQ(t().RES_MATERIAL_ROUGHNESS->read(), 0.4);
  EXPECT_EQ(t().RES_CPU_GRAPHICS_POWER->read(), 49999);
  EXPECT_EQ(t().RES_ZSCALE->class_flags(), 0);
  // Only settings-class resources keep a default for reset.
  EXPECT_EQ(t().RES_SHADER->default_value(), 2);
  EXPECT_EQ(t().RES_REVIEW_ZOOM->default_value(), 1.0);
}

TEST_F(Defaults, FlagsStartUnraised) {
  for (flag_res_t* f : {t().RES_END_HEADER, t().CONT, t().OBJECT, t().VOLUME, t().IM, t().CURVE,
                        t().RES_REDISPLAY_RESLICE3, t().RES_IDLE_EVENT, t().FINDING_LOCATION})
    EXPECT_EQ(f->read(), 0) << f->name();
}

TEST_F(Defaults, TemplateResourcesStartAtTheirListedValues) {
  EXPECT_EQ(t().RES_BIN_IM_FILENAME->read(), "");
  EXPECT_EQ(t().RES_ASCII_FILENAME->read().GetFullPath(), "");
  EXPECT_EQ(t().RES_SCRIPT_FILENAME->read().GetFullPath(), "");
  EXPECT_EQ(t().RES_DEBUG_FILENAME->read().GetFullPath(), "");
  EXPECT_EQ(t().RES_TOOL->read(), TOOL_DRAG);
  EXPECT_EQ(t().RES_ALERT_COLOUR->read(), ALERT_NORMAL);
  EXPECT_EQ(t().RES_CALIPERS->read(), calipers_t());
  EXPECT_EQ(t().RES_CALIPERS->read().view, 0);
  EXPECT_FALSE(t().RES_CALIPERS->read().first_set);
  EXPECT_EQ(t().RES_CORRELATION->read(), nullptr);
  EXPECT_EQ(t().RES_PANORAMA->read(), nullptr);
  for (int k = 0; k < resource_table_t::kSurfaceCount; ++k)
    EXPECT_EQ(t().RES_SURFACE[k]->read(), nullptr) << k;
}

TEST_F(Defaults, HeldObjectsExistFromTheStart) {
  ASSERT_NE(t().RES_DICOM_FRAME_LIST->read(), nullptr);
  EXPECT_TRUE(t().RES_DICOM_FRAME_LIST->read()->empty());
  ASSERT_NE(t().RES_COMMENT->read(), nullptr);
  EXPECT_TRUE(t().RES_COMMENT->read()->empty());
  ASSERT_NE(t().RES_LANDMARKS->read(), nullptr);
  EXPECT_EQ(t().RES_LANDMARKS->read()->size(), 0u);
  ASSERT_NE(t().RES_CURVE->read(), nullptr);
  EXPECT_EQ(t().RES_CURVE->read()->size(), 0u);
  EXPECT_NE(t().RES_FIT_MODEL->read(), nullptr);
  EXPECT_NE(t().RES_WRL_OBJECT->read(), nullptr);
  ASSERT_NE(t().RES_THICKNESS->read(), nullptr);
  EXPECT_FALSE(t().RES_THICKNESS->read()->valid);

  contour_object* objects = t().RES_OBJECT->read();
  ASSERT_NE(objects, nullptr);
  for (int k = 0; k < NUM_OBJECTS; ++k) EXPECT_TRUE(objects[k].empty()) << k;
  volume_object* rows = t().RES_VOLUME->read();
  ASSERT_NE(rows, nullptr);
  for (int k = 0; k < NUM_VOLUME_ROWS; ++k) EXPECT_EQ(rows[k].enabled, 0) << k;

  reslice_info* planes = t().RESLICE->read();
  ASSERT_NE(planes, nullptr);
  for (int k = 0; k < resource_table_t::kReslicePlaneCount; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(planes[k].index, k);
    EXPECT_FALSE(planes[k].defined);
    EXPECT_EQ(planes[k].width, 512);
    EXPECT_EQ(planes[k].height, 512);
    EXPECT_EQ(planes[k].normal.z, 1.0);
    EXPECT_EQ(planes[k].up.y, 1.0);
    EXPECT_EQ(planes[k].builder, nullptr);
  }
}

TEST_F(Defaults, RedisplayEventsByPlaneIndex) {
  EXPECT_EQ(t().redisplay_reslice(0), t().RES_REDISPLAY_RESLICE0);
  EXPECT_EQ(t().redisplay_reslice(3), t().RES_REDISPLAY_RESLICE3);
  EXPECT_EQ(t().redisplay_reslice(-1), nullptr);
  EXPECT_EQ(t().redisplay_reslice(4), nullptr);
}

}  // namespace
