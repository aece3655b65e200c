// The density graph's dialog: never shown (as in a script), its PNG is 800 x
// 400 pixels with the theoretical relationship drawn in red where the
// curve's values fall on the plot area.
#include <algorithm>
#include <cmath>

#include "plot/density_graph_window.h"
#include "plot/plot_window.h"
#include "plot_gui_fixture.h"

namespace {

bool reddish(const rgb& c) { return c.r > 150 && c.g < c.r - 60 && c.b < c.r - 60; }

bool red_near(const wxImage& img, int x, int y, int reach) {
  for (int dy = -reach; dy <= reach; ++dy)
    for (int dx = -reach; dx <= reach; ++dx) {
      const int px = x + dx, py = y + dy;
      if (px >= 0 && py >= 0 && px < img.GetWidth() && py < img.GetHeight() &&
          reddish(pixel(img, px, py)))
        return true;
    }
  return false;
}

TEST(DensityGraphWindow, UnshownGraphWritesItsRedCurve) {
  const double D = 1500.0, B = 100.0, s = 0.4;
  density_graph g;
  g.x_title = "Real thickness (mm)";
  g.y_title = "Apparent peak density (HU)";
  g.text = "Estimated real cortical density is 1500+/-10 HU";
  g.presumed.name = "Presumed cortical density";
  g.theory.name = "Theoretical relationship";
  g.used.name = "Used density measurement";
  g.lower.name = "Lower density boundary";
  g.upper.name = "Upper density boundary";
  g.outliers.name = "Density outlier";
  for (int j = 0; j <= 40; ++j) {
    const double x = 0.075 * j;
    const double T = B + (D - B) * std::erf(x / (2 * std::sqrt(2.0) * s));
    g.presumed.x.push_back(x), g.presumed.y.push_back(D);
    g.theory.x.push_back(x), g.theory.y.push_back(T);
    if (j % 4 == 2) {
      g.used.x.push_back(x), g.used.y.push_back(T - 40);
      g.lower.x.push_back(x), g.lower.y.push_back(T - 90);
      g.upper.x.push_back(x), g.upper.y.push_back(T + 10);
    }
  }
  scratch_dir dir;
  auto* dialog = new density_graph_dialog(g);
  EXPECT_EQ(dialog->GetTitle(), "Density distribution");
  const std::string path = dir.path("scan_density.png");
  ASSERT_TRUE(dialog->write_png(path));
  // The range the plot was fitted to fills the image's plot area inside the
  // borders (top 30, right 30, bottom 50, left 80).
  double x0, x1, y0, y1;
  dialog->plot()->GetViewRange(x0, x1, y0, y1);
  dialog->Destroy();
  pump_events();

  wxImage img;
  ASSERT_TRUE(img.LoadFile(path, wxBITMAP_TYPE_PNG));
  ASSERT_EQ(img.GetWidth(), 800);
  ASSERT_EQ(img.GetHeight(), 400);
  ASSERT_LE(x0, 0.0);
  ASSERT_GE(x1, 3.0);
  auto column = [&](double x) { return int(std::lround(80 + (x - x0) / (x1 - x0) * 690)); };
  auto row = [&](double y) { return int(std::lround(30 + (y1 - y) / (y1 - y0) * 320)); };
  int found = 0;
  for (size_t j = 1; j + 1 < g.theory.x.size(); ++j) {
    const int c = column(g.theory.x[j]), r = row(g.theory.y[j]);
    if (red_near(img, c, r, 3)) ++found;
    // Well away from the curve, nothing red in that column.
    if (r > 150) EXPECT_FALSE(red_near(img, c, r - 60, 2)) << j;
  }
  EXPECT_GE(found, int(g.theory.x.size()) - 4);
}

}  // namespace
