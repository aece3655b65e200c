// The table's resources in the configuration file and in files of resource
// lines, and the range checks of values other code uses as indices or sizes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "test_table_fixture.h"

namespace {

std::set<std::string> config_class_names() {
  std::set<std::string> names;
  for (base_res_t* r = base_res_t::first_resource(); r; r = r->next_resource())
    if (r->class_flags() & RES_CLASS_CONFIG) names.insert(wxString(r->name()).ToStdString());
  return names;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> names_of_lines(const std::string& text) {
  std::vector<std::string> names;
  for (const std::string& line : lines_of(text)) names.push_back(line.substr(0, line.find(' ')));
  return names;
}

using ConfigFile = TableTest;

TEST_F(ConfigFile, EmptyConfigurationGetsOneKeyPerConfigurationResource) {
  const std::set<std::string> expected = config_class_names();
  ASSERT_EQ(expected.size(), 64u);
  EXPECT_EQ(app_config->GetNumberOfEntries(), 64u);
  EXPECT_EQ(app_config->GetNumberOfGroups(), 0u);

  ASSERT_TRUE(app_config->Flush());
  std::ifstream file(path_.ToStdString());
  std::set<std::string> keys;
  for (std::string line; std::getline(file, line);) {
    if (line.empty()) continue;
    ASSERT_NE(line.find('='), std::string::npos) << line;
    EXPECT_TRUE(keys.insert(line.substr(0, line.find('='))).second) << line;
  }
  EXPECT_EQ(keys, expected);

  long shader = 0;
  EXPECT_TRUE(app_config->Read("RES_SHADER", &shader));
  EXPECT_EQ(shader, 2);
  wxString background;
  EXPECT_TRUE(app_config->Read("RES_BACKGROUND", &background));
  EXPECT_EQ(background, "#808080");
}

TEST_F(ConfigFile, ChangedValuesComeBackInTheNextTable) {
  t().RES_SHADER->write(1);
  t().RES_EXPERT_MODE->write(true);
  t().RES_LIGHTING_AMBIENT->write(0.3);
  // A class-10 resource has no key: its value does not survive.
  t().RES_THICKNESS_SCALE_MM->write(55);
  restart();
  EXPECT_EQ(t().RES_SHADER->read(), 1);
  EXPECT_EQ(t().RES_SHADER->default_value(), 2);  // a reset still returns to the built-in value
  EXPECT_TRUE(t().RES_EXPERT_MODE->read());
  EXPECT_DOUBLE_EQ(t().RES_LIGHTING_AMBIENT->read(), 0.3);
  EXPECT_EQ(t().RES_THICKNESS_SCALE_MM->read(), 40);
  EXPECT_EQ(app_config->GetNumberOfEntries(), 64u);
}

class OutOfRangeConfig : public TableTest {
 protected:
  void prepare_config() override {
    app_config->Write("RES_GLUT_FONT", 11L);
    app_config->Write("RES_SHADER", 4L);
    app_config->Write("RES_ICON_SIZE", -2L);
    app_config->Write("RES_MOUSE_RIGHT_OVERRIDE", 8L);
    app_config->Write("RES_TRANSLUCENT_LAYERS", 1000000L);
    app_config->Write("RES_MOUSE_MIDDLE_OVERRIDE", 7L);  // in range: kept
    app_config->Write("RES_OCCLUSION_RANGE", 20L);       // in range: kept
  }
};

TEST_F(OutOfRangeConfig, IndexValuesOutsideTheirRangeFallBackToTheBuiltInValue) {
  EXPECT_EQ(t().RES_GLUT_FONT->read(), 3);
  EXPECT_EQ(t().RES_SHADER->read(), 2);
  EXPECT_EQ(t().RES_ICON_SIZE->read(), -1);
  EXPECT_EQ(t().RES_MOUSE_RIGHT_OVERRIDE->read(), 0);
  EXPECT_EQ(t().RES_TRANSLUCENT_LAYERS->read(), 6);
  EXPECT_EQ(t().RES_MOUSE_MIDDLE_OVERRIDE->read(), 7);
  EXPECT_EQ(t().RES_OCCLUSION_RANGE->read(), 20);
  long font = 0;
  EXPECT_TRUE(app_config->Read("RES_GLUT_FONT", &font));
  EXPECT_EQ(font, 3);  // the bad entry is replaced, not kept
  EXPECT_EQ(app_config->GetNumberOfEntries(), 64u);
}

// Floating-point entries that are not finite, or outside the range their
// controls give, fall back to the built-in value, which is written over them.
class BadDoubleConfig : public TableTest {
 protected:
  void prepare_config() override {
    app_config->Write("RES_RESLICE_OPACITY", "-5");
    app_config->Write("RES_LIGHTING_AMBIENT", "nan");
    app_config->Write("RES_LIGHTING_UP_DOWN", "-1e300");
    app_config->Write("RES_THICKNESS_LINE", "inf");
    app_config->Write("RES_LIGHTING_LEFT_RIGHT", "1.5");
    app_config->Write("RES_LIGHTING_FRONT_SIDE", "0.3");  // in range: kept
  }
};

TEST_F(BadDoubleConfig, NonFiniteAndOutOfRangeValuesFallBackToTheBuiltInValue) {
  EXPECT_EQ(t().RES_RESLICE_OPACITY->read(), 0.5);
  EXPECT_EQ(t().RES_LIGHTING_AMBIENT->read(), 0.1);
  EXPECT_EQ(t().RES_LIGHTING_UP_DOWN->read(), -0.5);
  EXPECT_EQ(t().RES_THICKNESS_LINE->read(), 1.8);
  EXPECT_EQ(t().RES_LIGHTING_LEFT_RIGHT->read(), 0.25);
  EXPECT_EQ(t().RES_LIGHTING_FRONT_SIDE->read(), 0.3);
  EXPECT_EQ(app_config->Read("RES_RESLICE_OPACITY", ""), "0.5");
  EXPECT_EQ(app_config->Read("RES_LIGHTING_AMBIENT", ""), "0.1");
  EXPECT_EQ(app_config->Read("RES_THICKNESS_LINE", ""), "1.8");
}

// A file holding nothing but bad index entries crashed the start-up when the
// entries were deleted: they are overwritten with the defaults instead, and
// the file keeps every entry.
TEST_F(ConfigFile, AFileOfOnlyBadIndexEntriesStartsAndKeepsEveryEntry) {
  delete table_;
  table_ = nullptr;
  close_config();
  {
    std::ofstream file(path_.ToStdString());
    file << "RES_SHADER=46\nRES_MOUSE_MIDDLE_OVERRIDE=110\n";
  }
  open_config();
  build();
  EXPECT_EQ(t().RES_SHADER->read(), 2);
  EXPECT_EQ(t().RES_MOUSE_MIDDLE_OVERRIDE->read(), 0);
  ASSERT_TRUE(app_config->Flush());
  std::ifstream file(path_.ToStdString());
  std::set<std::string> lines;
  for (std::string line; std::getline(file, line);)
    if (!line.empty()) lines.insert(line);
  EXPECT_EQ(lines.size(), 64u);
  EXPECT_EQ(lines.count("RES_SHADER=2"), 1u);
  EXPECT_EQ(lines.count("RES_MOUSE_MIDDLE_OVERRIDE=0"), 1u);
  restart();
  EXPECT_EQ(t().RES_SHADER->read(), 2);
  EXPECT_EQ(app_config->GetNumberOfEntries(), 64u);
}

class UnreadableConfig : public TableTest {
 protected:
  void prepare_config() override {
    app_config->Write("RES_SHADER", "letters");
    app_config->Write("RES_BACKGROUND", "#102030");
  }
};

TEST_F(UnreadableConfig, LettersGiveTheDefaultAndTextIsTakenAsItIs) {
  EXPECT_EQ(t().RES_SHADER->read(), 2);
  long v = 0;
  EXPECT_TRUE(app_config->Read("RES_SHADER", &v));
  EXPECT_EQ(v, 2);
  EXPECT_EQ(t().RES_BACKGROUND->read(), "#102030");
  EXPECT_EQ(t().RES_BACKGROUND->default_value(), "#808080");
}

using ResourceFiles = TableTest;

TEST_F(ResourceFiles, ThicknessDisplayGroupOfASettingsFile) {
  EXPECT_EQ(written(RES_CLASS_SETTINGS, RES_GROUP_THICKNESS_DISPLAY),
            "RES_THICKNESS_DISP_COL 3\n"
            "RES_THICKNESS_DISP_MAP 0\n"
            "RES_THICKNESS_SCALE_HUMM 8\n"
            "RES_THICKNESS_SCALE_HU 20\n"
            "RES_THICKNESS_SCALE_MM 40\n"
            "RES_THICKNESS_ZERO_HU 0\n"
            "RES_THICKNESS_MAP_DIRECTION 0\n"
            "RES_THICKNESS_SMOOTH_FILL 100\n"
            "RES_THICKNESS_SMOOTH 0\n"
            "RES_THICKNESS_DISTANCE_REJECT 39\n"
            "RES_THICKNESS_OUTLIER_REJECT 75\n");
}

TEST_F(ResourceFiles, MaterialFile) {
  EXPECT_EQ(written(RES_CLASS_MATERIAL, 0xffff),
            "RES_MATERIAL_ROUGHNESS 0.4\n"
            "RES_MATERIAL_METALLIC 0\n"
            "RES_MATERIAL_ANISOTROPY 0\n"
            "RES_MATERIAL_COLOUR #808080\n");
}

TEST_F(ResourceFiles, ObjectParameterGroupInReverseConstructionOrder) {
  const std::vector<std::string> expected = {
      "RES_SURFACE_RESOLUTION",     "RES_SURFACE_SMOOTHING",       "RES_SURFACE_COMPOUND_TYPE",
      "RES_SURFACE_COMPOUND_THICK", "RES_SURFACE_COVER",           "RES_SURFACE_CONNECT_OBJECTS",
      "RES_SURFACE_CONNECT_HOLES",  "RES_CMAP_GREY_LO",            "RES_CMAP_GREY_HI",
      "RES_CMAP_GREY_ANTI",         "RES_SEGMENT_TYPE",            "RES_SEGMENT_CONNECTED",
      "RES_SEGMENT_RIDGES",         "RES_SEGMENT_VALLEYS",         "RES_SEGMENT_FRAME",
      "RES_SEGMENT_RANGE",          "RES_CONCAVITY_STRENGTH",      "RES_JUMP_THRESH",
      "RES_SIMPLIFY_THRESH",        "RES_SEGMENT_OBJECTS"};
  EXPECT_EQ(names_of_lines(written(RES_CLASS_SETTINGS, RES_GROUP_OBJECT_PARAMS)), expected);
}

TEST_F(ResourceFiles, TwoGroupResourcesBelongToEither) {
  log_capture logs;  // RESLICE has no line procedure attached here
  const std::vector<std::string> windowing = {"RES_DICOM_WIN_CENTRE", "RES_DICOM_WIN_WIDTH",
                                              "RES_DICOM_FILTER", "RES_DICOM_FILTER_Z"};
  std::vector<std::string> image = windowing;
  for (const char* n : {"RES_DICOM_BMD_PHANTOM", "RES_DICOM_BMD_SCALE", "RES_DICOM_BMD_OFFSET"})
    image.push_back(n);
  EXPECT_EQ(names_of_lines(written(RES_CLASS_SETTINGS, RES_GROUP_IMAGE_DISPLAY)), image);
  std::vector<std::string> general =
      names_of_lines(written(RES_CLASS_SETTINGS, RES_GROUP_GENERAL_DISPLAY));
  for (const std::string& n : windowing)
    EXPECT_NE(std::find(general.begin(), general.end(), n), general.end()) << n;
}

TEST_F(ResourceFiles, RunTimeResourcesAreInNoFile) {
  log_capture logs;  // RESLICE has no line procedure attached here
  const std::string everything = written(RES_CLASS_SETTINGS | RES_CLASS_VOLUME_PROPERTIES |
                                             RES_CLASS_MATERIAL | RES_CLASS_CONFIG,
                                         0xffff);
  for (const char* n : {"RES_ZSCALE ", "RES_SURFACE0", "CURRENT_OBJECT", "RES_CONFIG_DIR"})
    EXPECT_EQ(everything.find(n), std::string::npos) << n;
  // Zoom factors are settings only.
  EXPECT_NE(everything.find("RES_CORNER_ZOOM 1\n"), std::string::npos);
}

using RangeChecks = TableTest;

// A line outside the range is skipped with a warning naming the setting,
// which keeps its value; only a value that is no number refuses the line.
TEST_F(RangeChecks, IndexValuesOutsideTheirRangeAreSkippedWithAWarning) {
  struct line_t {
    const char* line;
    bool accepted;
    const char* name;
    const char* warning;  // "" when the value is taken
  };
  const line_t lines[] = {
      {"RES_SHADER -1", true, "RES_SHADER", ""},
      {"RES_SHADER 3", true, "RES_SHADER", ""},
      {"RES_SHADER 4", true, "RES_SHADER",
       "RES_SHADER 4 is not one of -1 to 3: the line is skipped and the setting keeps its value."},
      {"RES_SHADER -2", true, "RES_SHADER", "RES_SHADER -2 is not one of -1 to 3"},
      {"RES_GLUT_FONT 10", true, "RES_GLUT_FONT", ""},
      {"RES_GLUT_FONT 11", true, "RES_GLUT_FONT", "RES_GLUT_FONT 11 is not one of 0 to 10"},
      {"RES_ICON_SIZE 2", true, "RES_ICON_SIZE", ""},
      {"RES_ICON_SIZE 3", true, "RES_ICON_SIZE", "RES_ICON_SIZE 3 is not one of -1 to 2"},
      {"RES_MOUSE_RIGHT_OVERRIDE 7", true, "RES_MOUSE_RIGHT_OVERRIDE", ""},
      {"RES_MOUSE_RIGHT_OVERRIDE 8", true, "RES_MOUSE_RIGHT_OVERRIDE", "RES_MOUSE_RIGHT_OVERRIDE 8 is not one of 0 to 7"},
      {"RES_TRANSLUCENT_LAYERS 21", true, "RES_TRANSLUCENT_LAYERS", "RES_TRANSLUCENT_LAYERS 21 is not one of 0 to 20"},
      {"RES_DICOM_FILTER 40", true, "RES_DICOM_FILTER", ""},
      {"RES_DICOM_FILTER_Z 41", true, "RES_DICOM_FILTER_Z", "RES_DICOM_FILTER_Z 41 is not one of 0 to 40"},
      {"RES_DICOM_FILTER_Z letters", false, "RES_DICOM_FILTER_Z", ""},
  };
  for (const line_t& l : lines) {
    auto* res = dynamic_cast<long_res_t*>(base_res_t::find(wxString(l.name)));
    ASSERT_NE(res, nullptr) << l.name;
    const int32_t before = res->read();
    log_capture log;
    EXPECT_EQ(base_res_t::parse_no_changeprocs(l.line, -1), l.accepted) << l.line;
    base_res_t::make_pending_writes_happen();
    const bool taken = l.accepted && !*l.warning;
    const long in_line = std::strtol(std::strchr(l.line, ' ') + 1, nullptr, 10);
    EXPECT_EQ(res->read(), taken ? in_line : before) << l.line;
    if (*l.warning) {
      EXPECT_TRUE(log.has(wxLOG_Warning, l.warning)) << l.line;
    } else {
      EXPECT_EQ(log.count(wxLOG_Warning), 0) << l.line;
    }
    res->write(before);
  }
}

// Floating-point settings: a value that is not finite, or outside the range
// the setting's control gives, is skipped with the index settings' warning.
// Data-file values that are no settings are taken as they are.
TEST_F(RangeChecks, FloatingPointSettingsRefuseNonFiniteAndOutOfRangeValues) {
  struct line_t {
    const char* line;
    const char* name;
    double taken;       // the value read when the line is taken
    const char* warning;  // "" when the value is taken
  };
  const line_t lines[] = {
      {"RES_RESLICE_OPACITY 1", "RES_RESLICE_OPACITY", 1, ""},
      {"RES_RESLICE_OPACITY 0", "RES_RESLICE_OPACITY", 0, ""},
      {"RES_RESLICE_OPACITY -5", "RES_RESLICE_OPACITY", 0,
       "RES_RESLICE_OPACITY -5 is not within 0 to 1: the line is skipped and the setting keeps "
       "its value."},
      {"RES_RESLICE_OPACITY 1.01", "RES_RESLICE_OPACITY", 0, "RES_RESLICE_OPACITY 1.01 is not within 0 to 1"},
      {"RES_LIGHTING_AMBIENT nan", "RES_LIGHTING_AMBIENT", 0, "RES_LIGHTING_AMBIENT nan is not within 0 to 1"},
      {"RES_LIGHTING_UP_DOWN -1e300", "RES_LIGHTING_UP_DOWN", 0,
       "RES_LIGHTING_UP_DOWN -1e+300 is not within -1 to 1"},
      {"RES_LIGHTING_LEFT_RIGHT -1", "RES_LIGHTING_LEFT_RIGHT", -1, ""},
      {"RES_THICKNESS_LINE inf", "RES_THICKNESS_LINE", 0, "RES_THICKNESS_LINE inf is not within 0.1 to 10"},
      {"RES_THICKNESS_LINE 10", "RES_THICKNESS_LINE", 10, ""},
      {"RES_THICKNESS_LINE 0.05", "RES_THICKNESS_LINE", 0, "RES_THICKNESS_LINE 0.05 is not within 0.1 to 10"},
      {"RES_VOLUME_CROP_Z_HIGH 100", "RES_VOLUME_CROP_Z_HIGH", 100, ""},
      {"RES_VOLUME_CROP_X_LOW 101", "RES_VOLUME_CROP_X_LOW", 0, "RES_VOLUME_CROP_X_LOW 101 is not within 0 to 100"},
      {"RES_FOCUS_DEPTH -0.1", "RES_FOCUS_DEPTH", 0, "RES_FOCUS_DEPTH -0.1 is not within 0 to 1"},
      {"RES_CORNER_ZOOM 1e9", "RES_CORNER_ZOOM", 1e9, ""},
      {"RES_CORNER_ZOOM -inf", "RES_CORNER_ZOOM", 0, "RES_CORNER_ZOOM -inf is not a finite number"},
      {"RES_THICKNESS_A nan", "RES_THICKNESS_A", 0, "RES_THICKNESS_A nan is not a finite number"},
      {"RES_XTRANS 1e300", "RES_XTRANS", 1e300, ""},
  };
  for (const line_t& l : lines) {
    auto* res = dynamic_cast<double_res_t*>(base_res_t::find(wxString(l.name)));
    ASSERT_NE(res, nullptr) << l.name;
    const double before = res->read();
    log_capture log;
    EXPECT_TRUE(base_res_t::parse_no_changeprocs(l.line, -1)) << l.line;
    base_res_t::make_pending_writes_happen();
    if (*l.warning) {
      EXPECT_EQ(res->read(), before) << l.line;
      EXPECT_TRUE(log.has(wxLOG_Warning, l.warning)) << l.line;
    } else {
      EXPECT_EQ(res->read(), l.taken) << l.line;
      EXPECT_EQ(log.count(wxLOG_Warning), 0) << l.line;
    }
    res->write(before);
  }
  // In a script the line is refused.
  t().RES_IN_SCRIPT->write(true);
  EXPECT_FALSE(base_res_t::parse_no_changeprocs("RES_RESLICE_OPACITY -5", -1));
  EXPECT_TRUE(base_res_t::parse_no_changeprocs("RES_RESLICE_OPACITY 0.25", -1));
  t().RES_IN_SCRIPT->write(false);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(t().RES_RESLICE_OPACITY->read(), 0.25);
}

// A script's line outside the range is the script's error.
TEST_F(RangeChecks, AScriptLineOutsideTheRangeIsRefused) {
  t().RES_IN_SCRIPT->write(true);
  EXPECT_FALSE(base_res_t::parse_no_changeprocs("RES_GLUT_FONT 11", -1));
  EXPECT_TRUE(base_res_t::parse_no_changeprocs("RES_GLUT_FONT 10", -1));
  t().RES_IN_SCRIPT->write(false);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(t().RES_GLUT_FONT->read(), 10);
}

TEST_F(RangeChecks, SkippedValueLeavesTheAcceptedOneOfTheSameFile) {
  base_res_t::hold_pending_writes(true);
  EXPECT_TRUE(base_res_t::parse_no_changeprocs("RES_SHADER 1", RES_CLASS_SETTINGS));
  EXPECT_TRUE(base_res_t::parse_no_changeprocs("RES_SHADER 9", RES_CLASS_SETTINGS));
  EXPECT_EQ(t().RES_SHADER->pending(), 1);
  base_res_t::hold_pending_writes(false);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(t().RES_SHADER->read(), 1);
}

}  // namespace
