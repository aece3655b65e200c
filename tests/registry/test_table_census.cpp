// The resource table as a whole: every resource exists once, is found by
// name, and the counts by value class, class flags and group hold.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <wx/filename.h>

#include "data/calipers.h"
#include "registry/app_types.h"
#include "test_table_fixture.h"

class surface_interp;
class image_correlation;
class image_builder;
class fit_model;
class wrl_object;
class thickness;

namespace {

std::vector<base_res_t*> all_resources() {
  std::vector<base_res_t*> v;
  for (base_res_t* r = base_res_t::first_resource(); r; r = r->next_resource()) v.push_back(r);
  return v;
}

std::string name_of(const base_res_t* r) { return wxString(r->name()).ToStdString(); }

// The value class of a resource, as the registry's census names it.
std::string value_class(base_res_t* r) {
  if (dynamic_cast<flag_res_t*>(r)) return "flag";
  if (dynamic_cast<bool_res_t*>(r)) return "bool";
  if (dynamic_cast<long_res_t*>(r)) return "long";
  if (dynamic_cast<double_res_t*>(r)) return "double";
  if (dynamic_cast<wxString_res_t*>(r)) return "wxString";
  if (dynamic_cast<genflag_res_t<surface_interp*>*>(r)) return "genflag<surface_interp*>";
  if (dynamic_cast<genflag_res_t<wxFileName>*>(r)) return "genflag<wxFileName>";
  if (dynamic_cast<genflag_res_t<std::vector<long>*>*>(r)) return "genflag<vector<long>*>";
  if (dynamic_cast<genflag_res_t<std::vector<wxString>*>*>(r)) return "genflag<vector<wxString>*>";
  if (dynamic_cast<gen_res_t<reslice_info*>*>(r)) return "gen<reslice_info*>";
  if (dynamic_cast<genflag_res_t<wxString>*>(r)) return "genflag<wxString>";
  if (dynamic_cast<gen_res_t<wxFileName>*>(r)) return "gen<wxFileName>";
  if (dynamic_cast<gen_res_t<tool_selection_t>*>(r)) return "gen<tool_selection_t>";
  if (dynamic_cast<gen_res_t<alert_t>*>(r)) return "gen<alert_t>";
  if (dynamic_cast<genflag_res_t<image_correlation*>*>(r)) return "genflag<image_correlation*>";
  if (dynamic_cast<gen_res_t<image_builder*>*>(r)) return "gen<image_builder*>";
  if (dynamic_cast<genflag_res_t<fit_model*>*>(r)) return "genflag<fit_model*>";
  if (dynamic_cast<genflag_res_t<wrl_object*>*>(r)) return "genflag<wrl_object*>";
  if (dynamic_cast<gen_res_t<landmarks*>*>(r)) return "gen<landmarks*>";
  if (dynamic_cast<gen_res_t<contour_object*>*>(r)) return "gen<contour_object*>";
  if (dynamic_cast<gen_res_t<volume_object*>*>(r)) return "gen<volume_object*>";
  if (dynamic_cast<gen_res_t<curve_set*>*>(r)) return "gen<curve_set*>";
  if (dynamic_cast<genflag_res_t<calipers_t>*>(r)) return "genflag<calipers_t>";
  if (dynamic_cast<genflag_res_t<thickness*>*>(r)) return "genflag<thickness*>";
  return "unknown";
}

template <class M>
std::map<typename M::key_type, int> tally(const std::vector<base_res_t*>& all,
                                          typename M::key_type (*key)(base_res_t*)) {
  std::map<typename M::key_type, int> m;
  for (base_res_t* r : all) ++m[key(r)];
  return m;
}

using Census = TableTest;

TEST_F(Census, EveryResourceIsDistinctAndFoundByName) {
  std::vector<base_res_t*> all = all_resources();
  ASSERT_EQ(all.size(), 442u);
  std::set<std::string> names;
  for (base_res_t* r : all) {
    EXPECT_TRUE(names.insert(name_of(r)).second) << "duplicate " << name_of(r);
    EXPECT_EQ(base_res_t::find(r->name()), r) << name_of(r);
  }
  EXPECT_EQ(base_res_t::find("#"), t().RES_COMMENT);
  EXPECT_EQ(base_res_t::find("IM"), t().IM);
  EXPECT_EQ(base_res_t::find("CURRENT_OBJECT"), t().CURRENT_OBJECT);
  EXPECT_EQ(base_res_t::find("RES_SURFACE0"), t().RES_SURFACE[0]);
  EXPECT_EQ(base_res_t::find("RES_SURFACE200"), t().RES_SURFACE[200]);
  EXPECT_EQ(base_res_t::find("RES_SURFACE201"), nullptr);
  EXPECT_EQ(base_res_t::find("res_buf_width"), nullptr);
}

TEST_F(Census, EveryMemberPointsToADifferentResource) {
  // The record is 442 pointers in a row; each must be one of the registry's
  // resources and no two the same.
  static_assert(sizeof(resource_table_t) == 442 * sizeof(void*), "one pointer per resource");
  std::set<const void*> registry;
  for (base_res_t* r : all_resources()) registry.insert(r);
  std::set<const void*> seen;
  const auto* slots = reinterpret_cast<const unsigned char*>(table_);
  for (size_t k = 0; k < 442; ++k) {
    const void* p;
    std::memcpy(&p, slots + k * sizeof(void*), sizeof p);
    EXPECT_TRUE(registry.count(p)) << "member " << k;
    EXPECT_TRUE(seen.insert(p).second) << "member " << k;
  }
}

TEST_F(Census, MembersStandInTheirListedPositions) {
  struct member_t {
    size_t offset;
    size_t position;
  };
  const member_t members[] = {
      {offsetof(resource_table_t, RES_COMMENT), 0},
      {offsetof(resource_table_t, RES_END_HEADER), 1},
      {offsetof(resource_table_t, RES_VERSION), 9},
      {offsetof(resource_table_t, RES_XTRANS), 12},
      {offsetof(resource_table_t, RES_YTRANS), 13},
      {offsetof(resource_table_t, RES_ZTRANS), 14},
      {offsetof(resource_table_t, RES_AZIMUTH), 15},
      {offsetof(resource_table_t, RES_ELEVATION), 16},
      {offsetof(resource_table_t, RES_ROLL), 17},
      {offsetof(resource_table_t, RES_XSCALE), 18},
      {offsetof(resource_table_t, RES_YSCALE), 19},
      {offsetof(resource_table_t, RES_REVIEW_ZOOM), 60},
      {offsetof(resource_table_t, RES_OUTLINE_ZOOM), 61},
      {offsetof(resource_table_t, RES_CENTRE_ZOOM), 62},
      {offsetof(resource_table_t, RES_CORNER_ZOOM), 63},
      {offsetof(resource_table_t, RESLICE), 91},
      {offsetof(resource_table_t, RES_SURFACE), 145},
      {offsetof(resource_table_t, RES_LANDMARKS), 346},
      {offsetof(resource_table_t, RES_RADIANT_SHADOWS), 372},
      {offsetof(resource_table_t, RES_LIGHTING_FRONT_SIDE), 373},
      {offsetof(resource_table_t, RES_LIGHTING_LEFT_RIGHT), 374},
      {offsetof(resource_table_t, RES_LIGHTING_UP_DOWN), 375},
      {offsetof(resource_table_t, RES_LIGHTING_AMBIENT), 376},
      {offsetof(resource_table_t, RES_CALIPERS), 441},
  };
  for (const member_t& m : members) EXPECT_EQ(m.offset, m.position * sizeof(void*)) << m.position;
}

TEST_F(Census, CountsByValueClass) {
  auto counts = tally<std::map<std::string, int>>(all_resources(), value_class);
  const std::map<std::string, int> expected = {
      {"genflag<surface_interp*>", 201},  {"long", 79},
      {"bool", 56},                       {"double", 51},
      {"flag", 22},                       {"wxString", 14},
      {"genflag<wxFileName>", 2},         {"genflag<vector<long>*>", 1},
      {"genflag<vector<wxString>*>", 1},  {"gen<reslice_info*>", 1},
      {"genflag<wxString>", 1},           {"gen<wxFileName>", 1},
      {"gen<tool_selection_t>", 1},       {"gen<alert_t>", 1},
      {"genflag<image_correlation*>", 1}, {"gen<image_builder*>", 1},
      {"genflag<fit_model*>", 1},         {"genflag<wrl_object*>", 1},
      {"gen<landmarks*>", 1},             {"gen<contour_object*>", 1},
      {"gen<volume_object*>", 1},         {"gen<curve_set*>", 1},
      {"genflag<calipers_t>", 1},         {"genflag<thickness*>", 1},
  };
  EXPECT_EQ(counts, expected);
}

TEST_F(Census, CountsByClassFlagsAndGroup) {
  auto classes = tally<std::map<int32_t, int>>(all_resources(),
                                               [](base_res_t* r) { return r->class_flags(); });
  const std::map<int32_t, int> expected_classes = {{0, 274}, {1, 9},  {2, 30},  {4, 20}, {8, 4},
                                                   {10, 54}, {14, 44}, {26, 3}, {32, 4}};
  EXPECT_EQ(classes, expected_classes);

  auto groups = tally<std::map<int32_t, int>>(all_resources(),
                                              [](base_res_t* r) { return r->group_mask(); });
  const std::map<int32_t, int> expected_groups = {
      {1, 4},   {2, 3},    {4, 2},    {8, 20},    {16, 8},    {32, 15},   {64, 8},
      {128, 16}, {256, 11}, {512, 20}, {576, 4}, {1024, 12}, {2048, 19}, {4096, 300}};
  EXPECT_EQ(groups, expected_groups);

  int config = 0, header = 0, body = 0;
  for (base_res_t* r : all_resources()) {
    config += (r->class_flags() & RES_CLASS_CONFIG) != 0;
    header += (r->class_flags() & RES_CLASS_DATA_HEADER) != 0;
    body += (r->class_flags() & RES_CLASS_DATA_BODY) != 0;
  }
  EXPECT_EQ(config, 64);
  EXPECT_EQ(header, 9);
  EXPECT_EQ(body, 131);
}

TEST_F(Census, NameTableSpreadsTheNames) {
  int used = 0, longest = 0;
  for (int b = 0; b < base_res_t::kBuckets; ++b) {
    used += base_res_t::bucket_length(b) > 0;
    longest = std::max(longest, base_res_t::bucket_length(b));
  }
  EXPECT_EQ(used, 290);
  EXPECT_EQ(longest, 4);
}

TEST_F(Census, ConstructionOrderGivesTheFileOrder) {
  std::vector<std::string> order;
  for (base_res_t* r : all_resources()) order.push_back(name_of(r));
  EXPECT_EQ(order.front(), "RES_SURFACE200");
  EXPECT_EQ(order.back(), "RES_END_HEADER");

  std::vector<std::string> header, body;
  for (base_res_t* r : all_resources()) {
    if (r->class_flags() & RES_CLASS_DATA_HEADER) header.push_back(name_of(r));
    if (r->class_flags() & RES_CLASS_DATA_BODY) body.push_back(name_of(r));
  }
  const std::vector<std::string> expected_header = {
      "#",           "RES_BUF_FRAMES", "RES_BUF_WIDTH",        "RES_BUF_HEIGHT", "RES_POS_REC",
      "RES_BUF_RF", "RES_BUF_DICOM",  "RES_DICOM_FRAME_LIST", "RES_END_HEADER"};
  EXPECT_EQ(header, expected_header);

  ASSERT_EQ(body.size(), 131u);
  const std::vector<std::string> body_start = {"RES_VERSION",       "RES_INVERT_BSCAN",
                                               "RES_BUF_DOPPLER",   "RES_CORRECTED_PRESSURE",
                                               "RES_CORRECTED_POS", "RES_MASKED_DATA",
                                               "RES_XTRANS"};
  const std::vector<std::string> body_end = {"RES_BIN_IM_FILENAME", "IM",      "LANDMARK",
                                             "FIDUCIAL",            "CURVE",   "RESLICE",
                                             "VOLUME",              "OBJECT",  "CONT"};
  EXPECT_EQ(std::vector<std::string>(body.begin(), body.begin() + 7), body_start);
  EXPECT_EQ(std::vector<std::string>(body.end() - 9, body.end()), body_end);
}

TEST_F(Census, BuildingWritesNothingAndRegistersNothing) {
  for (base_res_t* r : all_resources()) {
    EXPECT_FALSE(r->touched()) << name_of(r);
    EXPECT_FALSE(r->written()) << name_of(r);
    EXPECT_FALSE(r->commit_needed()) << name_of(r);
    EXPECT_FALSE(r->changed()) << name_of(r);
    EXPECT_EQ(r->worry_count(), 0) << name_of(r);
  }
}

TEST_F(Census, OnlyKeywordLinesAndIndexValuesHaveOwnLineProcedures) {
  const std::set<std::string> keyword = {"RES_END_HEADER", "RES_DICOM_FRAME_LIST", "#", "CONT",
                                         "OBJECT", "VOLUME", "RESLICE", "CURVE", "LANDMARK",
                                         "FIDUCIAL", "IM", "RES_BIN_IM_FILENAME"};
  const std::set<std::string> ranged = {"RES_SHADER",           "RES_GLUT_FONT",
                                        "RES_ICON_SIZE",        "RES_MOUSE_MIDDLE_OVERRIDE",
                                        "RES_MOUSE_RIGHT_OVERRIDE", "RES_TRANSLUCENT_LAYERS",
                                        "RES_OCCLUSION_RANGE",  "RES_DICOM_FILTER",
                                        "RES_DICOM_FILTER_Z"};
  for (base_res_t* r : all_resources()) {
    const std::string n = name_of(r);
    if (keyword.count(n)) continue;
    EXPECT_EQ(r->parse_proc() != nullptr, ranged.count(n) == 1) << n;
    EXPECT_EQ(r->write_proc(), nullptr) << n;
  }
}

TEST_F(Census, TeardownLeavesTheRegistryReadyForANewTable) {
  restart();
  EXPECT_EQ(all_resources().size(), 442u);
  EXPECT_EQ(base_res_t::find("RES_BUF_WIDTH"), t().RES_BUF_WIDTH);
  t().RES_BUF_WIDTH->write(640);
  EXPECT_EQ(t().RES_BUF_WIDTH->read(), 640);
}

}  // namespace
