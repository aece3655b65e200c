// The Landmarks page's rules without a display: the rows A, B and C as the
// list's selection moves, the grid's values, renaming through a row, the
// curves box's held curve and names, and the lines of the export file.
#include <cmath>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <wx/filename.h>

#include "../common/log_capture.h"
#include "data/objects.h"
#include "tasks/curve_list.h"
#include "tasks/landmark_rows.h"
#include "tools/headless_session.h"

namespace {

landmark_t make(const wxString& name, int kind, double x, double y, double z, int object = 0) {
  landmark_t lm;
  lm.name = name, lm.kind = kind, lm.x = x, lm.y = y, lm.z = z, lm.object = object;
  return lm;
}

landmarks four_landmarks() {
  landmarks l;
  for (const char* n : {"P", "Q", "R", "S"}) l.items.push_back(make(n, LM_DATA, 0, 0, 0));
  return l;
}

std::vector<wxString> texts(std::initializer_list<const char*> list) {
  std::vector<wxString> v;
  for (const char* s : list) v.push_back(s);
  return v;
}

}  // namespace

TEST(LandmarkRows, AFourthSelectionDisplacesTheOldestAndRowsKeepTheirLandmarks) {
  landmark_rows rows;
  std::vector<wxString> s = texts({"P"});
  EXPECT_TRUE(rows.select(s, true).empty());
  s = texts({"P", "Q"});
  rows.select(s, true);
  s = texts({"P", "Q", "R"});
  rows.select(s, true);
  EXPECT_EQ(rows.key[0], "P");
  EXPECT_EQ(rows.key[1], "Q");
  EXPECT_EQ(rows.key[2], "R");
  // The list shows its items sorted: S selected among the three.
  s = texts({"P", "Q", "R", "S"});
  EXPECT_EQ(rows.select(s, true), "P");
  EXPECT_EQ(s, texts({"Q", "R", "S"}));
  EXPECT_EQ(rows.key[0], "S");  // the freed row A takes the new one
  EXPECT_EQ(rows.key[1], "Q");
  EXPECT_EQ(rows.held, texts({"Q", "R", "S"}));

  // Deselecting B frees B only.
  s = texts({"R", "S"});
  EXPECT_TRUE(rows.select(s, true).empty());
  EXPECT_FALSE(rows.used[1]);
  EXPECT_TRUE(rows.shown[1].empty());
  EXPECT_TRUE(rows.used[0] && rows.used[2]);
  // While the list is refilled, deselections do not count.
  s = texts({});
  rows.select(s, false);
  EXPECT_EQ(rows.held.size(), 2u);
}

TEST(LandmarkRows, RebuildFillsFreeRowsWithTheNewestAndDropsVanishedKeys) {
  landmarks l = four_landmarks();
  landmark_rows rows;
  EXPECT_EQ(rows.rebuild(l), texts({"S", "R", "Q"}));
  EXPECT_EQ(rows.key[0], "S");
  EXPECT_EQ(rows.key[2], "Q");
  // Deleting row A's landmark frees A and the newest unlisted one moves in.
  l.items.erase(l.items.begin() + 3);
  rows.rebuild(l);
  EXPECT_EQ(rows.key[0], "P");
  EXPECT_EQ(rows.key[1], "R");
  EXPECT_EQ(rows.held, texts({"R", "Q", "P"}));
  // A surface landmark's row shows its name, its key is object:name.
  landmarks s;
  s.items.push_back(make("Apex", LM_SURFACE, 0, 0, 0, 2));
  landmark_rows r2;
  EXPECT_EQ(r2.rebuild(s), texts({"2:Apex"}));
  EXPECT_EQ(r2.shown[0], "Apex");
  EXPECT_EQ(landmark_display_name("2:Apex"), "Apex");
  EXPECT_EQ(landmark_display_name("Knee:left"), "Knee:left");
}

TEST(LandmarkGrid, TwoDimensionalLandmarksDistancesAndAngles) {
  landmarks l;
  l.items.push_back(make("A", LM_DATA, 0.0, 0.0, 0.0));
  l.items.push_back(make("B", LM_DATA, 0.3, 0.0, 0.0));
  l.items.push_back(make("C", LM_DATA, 0.0, 0.4, 0.0));
  landmark_rows rows;
  rows.rebuild(l);  // rows A, B, C hold C, B, A
  landmark_grid g = landmark_grid_values(rows, l);
  double sum = 0;
  for (int c = 0; c < 3; ++c) sum += std::stod(std::string(g.position[c][3]->utf8_str()));
  EXPECT_NEAR(sum, 180.0, 0.02);
  // Right angle at A (row C); the hypotenuse CB is 5 mm.
  EXPECT_EQ(*g.position[2][3], "90.00");
  EXPECT_EQ(*g.distance[0], "5.00");  // rows A (C) and B (B)
  EXPECT_EQ(*g.position[0][1], "4.00");
  EXPECT_EQ(g.locate_enabled, std::optional<bool>(true));

  // Two coincident points: distances, but no angles.
  l[1].x = 0.0;
  g = landmark_grid_values(rows, l);
  EXPECT_EQ(*g.distance[2], "0.00");
  for (int c = 0; c < 3; ++c) EXPECT_EQ(*g.position[c][3], kNoValue);
  EXPECT_EQ(g.locate_enabled, std::optional<bool>(false));

  // 2D landmarks: no z; a distance only within one frame, in its plane.
  landmarks d;
  d.items.push_back(make("U", LM_2D, 0.1, 0.1, 12.0));
  d.items.push_back(make("V", LM_2D, 0.4, 0.5, 11.6));  // frame 12 as well
  d.items.push_back(make("W", LM_DATA, 0.4, 0.5, 12.0));
  landmark_rows r2;
  r2.rebuild(d);  // A: W, B: V, C: U
  g = landmark_grid_values(r2, d);
  EXPECT_EQ(*g.position[1][2], kNoValue);
  EXPECT_EQ(*g.position[0][2], "120.00");
  EXPECT_EQ(*g.distance[0], kNoValue);  // W to V: a 3D and a 2D landmark
  EXPECT_EQ(*g.distance[2], "5.00");    // V to U on frame 12
  // A row whose landmark has gone stops the refresh there.
  r2.key[1] = "gone";
  g = landmark_grid_values(r2, d);
  EXPECT_TRUE(g.position[0][0].has_value());
  EXPECT_FALSE(g.position[1][0].has_value());
  EXPECT_FALSE(g.distance[0].has_value());
  EXPECT_FALSE(g.locate_enabled.has_value());
}

TEST(LandmarkRename, KeysFollowAndRefusalsRestoreTheName) {
  headless_session session;
  log_capture log;
  landmarks l;
  l.items.push_back(make("Apex", LM_SURFACE, 0, 0, 0, 2));
  l.items.push_back(make("Knee", LM_DATA, 0, 0, 0));
  landmark_rows rows;
  rows.rebuild(l);  // A: Knee, B: 2:Apex
  bool fiducial = true;
  ASSERT_EQ(rename_landmark(l, rows, 1, "Tip", fiducial), rename_result::renamed);
  EXPECT_FALSE(fiducial);
  EXPECT_EQ(rows.key[1], "2:Tip");
  EXPECT_EQ(landmark_key(l[0]), "2:Tip");
  EXPECT_EQ(rows.held[1], "2:Tip");

  struct refusal {
    const char* name;
    const char* message;
  } refusals[] = {
      {"", "Landmark name must not be empty!"},
      {" Knee2", "Landmark name must not begin with white space"},
      {"Fiducial 3", "Data landmark names must not begin with the word Fiducial"},
      {"2:Tip", "Landmark name must not be the same as another landmark name"},
      {"3:Apex", "Landmark name must not begin with a number and a colon"},
  };
  for (const refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    log.clear();
    EXPECT_EQ(rename_landmark(l, rows, 0, r.name, fiducial), rename_result::refused);
    EXPECT_EQ(rows.shown[0], "Knee");
    EXPECT_EQ(l[1].name, "Knee");
    ASSERT_FALSE(log.records().empty());
    EXPECT_EQ(log.records().back().text, r.message);
  }

  // A spine name makes a spine landmark; it then refuses ordinary names.
  ASSERT_EQ(rename_landmark(l, rows, 0, "L1 Left Lamina", fiducial), rename_result::renamed);
  EXPECT_EQ(l[1].kind, LM_SPINE);
  EXPECT_EQ(l[1].part, 0);
  EXPECT_EQ(wxString(spine_level_names[l[1].level]), "L1");
  log.clear();
  EXPECT_EQ(rename_landmark(l, rows, 0, "Knee", fiducial), rename_result::refused);
  EXPECT_EQ(l[1].name, "L1 Left Lamina");
  ASSERT_FALSE(log.records().empty());
  EXPECT_EQ(log.records().back().text, "In-appropriate name for a spine landmark.");
  EXPECT_EQ(rename_landmark(l, rows, 0, "L1 Left Lamina", fiducial), rename_result::unchanged);
}

TEST(CurveBox, HeldCurveNamesAndMoves) {
  log_capture log;
  curve_set c;
  curve_t a;
  a.name = "Rim", a.object = 1;
  c.curves.push_back(a);
  wxString held;
  curve_list_state s = rebuild_curve_list(c, 0, held);
  EXPECT_EQ(held, "1:Rim");
  EXPECT_EQ(s.show, 0);
  curve_t b = a;
  b.object = 2;  // the same name on another object is allowed
  c.curves.push_back(b);
  s = rebuild_curve_list(c, 1, held);  // a new curve takes over
  EXPECT_EQ(held, "2:Rim");
  EXPECT_EQ(s.items, texts({"1:Rim", "2:Rim"}));
  s = rebuild_curve_list(c, 2, held);
  EXPECT_TRUE(s.keep_controls);

  // Renaming to the name of another curve of its own object is refused.
  curve_t d = a;
  d.name = "Base", d.object = 2;
  c.curves.push_back(d);
  EXPECT_FALSE(rename_curve(c, held, 2, "Base"));
  EXPECT_EQ(log.records().back().text, "Surface curve must have a different name to all other curves.");
  EXPECT_TRUE(rename_curve(c, held, 2, "Lip"));
  EXPECT_EQ(held, "2:Lip");

  // Moving: onto a clash refused, beyond the objects or onto its own nothing.
  int old = -1;
  held = "2:Base";
  c[0].name = "Base";
  EXPECT_EQ(move_curve(c, held, 1, 10, old), curve_move::refused);
  EXPECT_EQ(log.records().back().text, "A surface curve with this name already exists in the new object.");
  EXPECT_EQ(move_curve(c, held, 10, 10, old), curve_move::nothing);
  EXPECT_EQ(move_curve(c, held, 2, 10, old), curve_move::nothing);
  EXPECT_EQ(move_curve(c, held, 3, 10, old), curve_move::moved);
  EXPECT_EQ(old, 2);
  EXPECT_EQ(c[2].object, 3);
  // A curve cut along is passed over.
  c[2].on_surface = true;
  EXPECT_EQ(move_curve(c, "3:Base", 4, 10, old), curve_move::nothing);

  // Deleting the held curve: the newest remaining is held.
  held = "1:Base";
  c.curves.erase(c.curves.begin());
  s = rebuild_curve_list(c, 3, held);
  EXPECT_EQ(held, "3:Base");
  EXPECT_EQ(s.show, 1);
}

TEST(LandmarkExport, OneLinePerKindAndOneHeaderAcrossExports) {
  headless_session session;
  std::vector<contour_object> objects(3);
  objects[2].name = "Femur";
  landmarks l;
  l.items.push_back(make("Knee", LM_DATA, 0.1, 0.2, 0.3));
  l.items.push_back(make("Fiducial 1", LM_FIDUCIAL, 0.1, 0.2, 0.3));
  l.items.push_back(make("Mark", LM_2D, 1.25, 0.5, 11.9999999));
  l.items.push_back(make("Apex", LM_SURFACE, -0.1, 0.0, 2.0, 2));
  landmark_t spine = make("C3 Spinous Process", LM_SPINE, 0.0, 1.0, 0.0);
  spine.part = 1, spine.level = 0;
  l.items.push_back(spine);
  landmark_t ref = make("Spine Left", LM_SPINE, 0.0, 0.0, 0.5);
  ref.level = -1;
  l.items.push_back(ref);
  l.items.push_back(make("a, \"b\"", LM_DATA, 0.0, 0.0, 0.0));

  const std::vector<wxString> lines =
      landmark_export_lines(l, objects.data(), int(objects.size()), "/data/scan.hm");
  const char* expected[] = {
      "/data/scan.hm, Knee, 3D, , , 1.0000, 2.0000, 3.0000",
      "/data/scan.hm, Fiducial 1, Fiducial, , , 1.0000, 2.0000, 3.0000",
      "/data/scan.hm, Mark, 2D, , 12, 12.5000, 5.0000, ",
      "/data/scan.hm, Apex, Surface, Femur, , -1.0000, 0.0000, 20.0000",
      "/data/scan.hm, C3 Spinous Process, Spine, C3, , 0.0000, 10.0000, 0.0000",
      "/data/scan.hm, Spine Left, Spine, Ref, , 0.0000, 0.0000, 5.0000",
      "/data/scan.hm, \"a, \"\"b\"\"\", 3D, , , 0.0000, 0.0000, 0.0000",
  };
  ASSERT_EQ(lines.size(), std::size(expected));
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << i;

  const wxString path = wxFileName::CreateTempFileName("nv_landmarks");
  wxRemoveFile(path);
  wxString error;
  const std::vector<wxString> one(lines.begin(), lines.begin() + 1);
  ASSERT_TRUE(append_landmark_export(path, one, error)) << error;
  ASSERT_TRUE(append_landmark_export(path, one, error)) << error;
  std::ifstream in(path.fn_str(), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  const std::string want = std::string(kLandmarkExportHeader) + "\r\n" + expected[0] + "\r\n" +
                           expected[0] + "\r\n";
  EXPECT_EQ(bytes.str(), want);
  wxRemoveFile(path);
}
