// Plot layers on their own: defaults, point vectors and their extent, the
// refusal of mismatched vectors, text offsets, shapes and bitmap layers.
#include <cmath>

#include "common/log_capture.h"
#include "plot_gui_fixture.h"

namespace {

TEST(PlotLayers, DefaultsOfTheBaseAndTheAxes) {
  mpFXYVector s("s");
  EXPECT_EQ(s.GetPen().GetColour(), *wxBLACK);
  EXPECT_EQ(s.GetPen().GetWidth(), 1);
  EXPECT_EQ(s.GetPen().GetStyle(), wxPENSTYLE_SOLID);
  EXPECT_EQ(s.GetFont(), *wxNORMAL_FONT);
  EXPECT_FALSE(s.GetJoined());
  EXPECT_TRUE(s.GetShowName());
  EXPECT_TRUE(s.GetDrawOutsideMargins());
  EXPECT_TRUE(s.IsVisible());
  EXPECT_EQ(s.GetKind(), mpLAYER_PLOT);
  EXPECT_TRUE(s.HasExtent());
  EXPECT_FALSE(s.IsInfoBox());

  mpScaleY y("depth", mpALIGN_LEFT, false);
  EXPECT_EQ(y.GetKind(), mpLAYER_AXIS);
  EXPECT_FALSE(y.HasExtent());
  EXPECT_EQ(y.GetFont(), *wxSMALL_FONT);
  EXPECT_EQ(y.GetPen().GetColour(), wxGREY_PEN->GetColour());
  EXPECT_FALSE(y.GetTicks());

  std::unique_ptr<wxObject> x(wxCreateDynamicObject("mpScaleX"));
  auto* sx = dynamic_cast<mpScaleX*>(x.get());
  ASSERT_NE(sx, nullptr);
  EXPECT_EQ(sx->GetName(), "X");
  EXPECT_EQ(sx->GetAlign(), 1);
  EXPECT_TRUE(sx->GetTicks());
  EXPECT_EQ(sx->GetLabelMode(), 0);
  std::unique_ptr<wxObject> yy(wxCreateDynamicObject("mpScaleY"));
  EXPECT_EQ(dynamic_cast<mpScaleY*>(yy.get())->GetName(), "Y");
  std::unique_ptr<wxObject> v(wxCreateDynamicObject("mpFXYVector"));
  EXPECT_EQ(dynamic_cast<mpFXYVector*>(v.get())->GetName(), "");
  std::unique_ptr<wxObject> t(wxCreateDynamicObject("mpText"));
  auto* text = dynamic_cast<mpText*>(t.get());
  EXPECT_EQ(text->GetName(), "Title");
  EXPECT_EQ(text->GetXOffset(), 5u);
  EXPECT_EQ(text->GetYOffset(), 50u);
}

TEST(PlotLayers, VectorExtentIsWidenedByHalfAUnit) {
  mpFXYVector s("s");
  EXPECT_EQ(s.MinX(), -1);
  EXPECT_EQ(s.MaxY(), 1);
  s.SetData({1, 2, 3}, {5, 5, 5});
  EXPECT_EQ(s.MinX(), 0.5);
  EXPECT_EQ(s.MaxX(), 3.5);
  EXPECT_EQ(s.MinY(), 4.5);
  EXPECT_EQ(s.MaxY(), 5.5);

  std::vector<std::pair<double, double>> seen;
  double x, y;
  s.RestartPoints();
  while (s.NextPoint(x, y)) seen.emplace_back(x, y);
  EXPECT_EQ(seen, (std::vector<std::pair<double, double>>{{1, 5}, {2, 5}, {3, 5}}));
  EXPECT_FALSE(s.NextPoint(x, y));

  s.ClearData();
  EXPECT_TRUE(s.GetXs().empty());
  EXPECT_EQ(s.MaxX(), 3.5);  // the extent stays
  s.SetData({}, {});
  EXPECT_EQ(s.MinX(), -1);
  EXPECT_EQ(s.MaxX(), 1);
  EXPECT_EQ(s.MinY(), -1);
  EXPECT_EQ(s.MaxY(), 1);
}

TEST(PlotLayers, MismatchedVectorsAreRefusedAndChangeNothing) {
  mpFXYVector s("s");
  s.SetData({1, 2, 3}, {4, 5, 6});
  log_capture log;
  s.SetData({7, 8, 9}, {1, 2});
  ASSERT_EQ(log.records().size(), 1u);
  EXPECT_EQ(log.records()[0].level, wxLOG_Error);
  EXPECT_EQ(log.records()[0].text, "Plot error: X and Y vector are not of the same length!");
  EXPECT_EQ(s.GetXs(), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(s.GetYs(), (std::vector<double>{4, 5, 6}));
  EXPECT_EQ(s.MinX(), 0.5);
  EXPECT_EQ(s.MaxY(), 6.5);
}

TEST(PlotLayers, TextOffsetsAbove100FallBack) {
  mpText t("title", 150, 120);
  EXPECT_EQ(t.GetXOffset(), 5u);
  EXPECT_EQ(t.GetYOffset(), 50u);
  EXPECT_EQ(t.GetName(), "title");
  EXPECT_EQ(t.GetKind(), mpLAYER_INFO);
  EXPECT_FALSE(t.HasExtent());
  mpText u("u", 15, 2);
  EXPECT_EQ(u.GetXOffset(), 15u);
  EXPECT_EQ(u.GetYOffset(), 2u);
}

TEST(PlotLayers, PenSwatchIsASquareOfThePenColour) {
  mpFXYVector s("s");
  s.SetPen(wxPen(wxColour(10, 200, 30), 4));
  const wxImage img = s.PenSwatch(12).ConvertToImage();
  EXPECT_EQ(img.GetWidth(), 12);
  EXPECT_EQ(img.GetHeight(), 12);
  EXPECT_EQ(pixel(img, 0, 0), (rgb{10, 200, 30}));
  EXPECT_EQ(pixel(img, 11, 11), (rgb{10, 200, 30}));
}

TEST(PlotShapes, MovableObjectsArePlacedRotatedAndBoxed) {
  mpPolygon p("tri");
  p.setPoints({0, 1, 0}, {0, 0, 2}, true);
  ASSERT_EQ(p.ShapeXs().size(), 4u);
  EXPECT_EQ(p.ShapeXs().back(), 0);
  EXPECT_EQ(p.ShapeYs().back(), 0);
  p.SetCoordinateBase(1, 2, M_PI / 2);
  ASSERT_EQ(p.PlacedXs().size(), 4u);
  EXPECT_NEAR(p.PlacedXs()[1], 1, 1e-12);  // (1, 0) turned a quarter about the base
  EXPECT_NEAR(p.PlacedYs()[1], 3, 1e-12);
  EXPECT_TRUE(p.HasExtent());
  EXPECT_NEAR(p.MinX(), -1, 1e-12);
  EXPECT_NEAR(p.MaxX(), 1, 1e-12);
  EXPECT_NEAR(p.MinY(), 2, 1e-12);
  EXPECT_NEAR(p.MaxY(), 3, 1e-12);

  mpPolygon open;
  open.setPoints({0, 1, 0}, {0, 0, 2}, false);
  EXPECT_EQ(open.ShapeXs().size(), 3u);
  mpPolygon empty;
  empty.setPoints({}, {}, true);
  EXPECT_TRUE(empty.ShapeXs().empty());
  EXPECT_FALSE(empty.HasExtent());

  log_capture log;
  p.setPoints({1, 2}, {3}, true);
  EXPECT_TRUE(log.has(wxLOG_Error,
                      "[mpPolygon] Error: points_xs and points_ys must have the same number of elements"));
  EXPECT_EQ(p.ShapeXs().size(), 4u);
}

TEST(PlotShapes, EllipseLayerRefusesABadMatrixAndKeepsItsShape) {
  mpCovarianceEllipse e(4, 1, 0, 2, 5, "e");
  ASSERT_EQ(e.PlacedXs().size(), 5u);
  EXPECT_NEAR(e.MaxX(), 4, 1e-9);
  EXPECT_NEAR(e.MaxY(), 2, 1e-9);
  log_capture log;
  e.SetCovarianceMatrix(1, 5, 1);
  EXPECT_TRUE(log.has(wxLOG_Error, "[mpCovarianceEllipse] Error: cov is not positive definite"));
  EXPECT_EQ(e.ShapeXs().size(), 5u);
  EXPECT_NEAR(e.MaxX(), 4, 1e-9);
  e.SetSegments(0);
  EXPECT_EQ(e.GetSegments(), 2);
  e.SetCovarianceMatrix(1, 0, 1);  // isotropic: a circle, not NaN
  for (double x : e.PlacedXs()) EXPECT_TRUE(std::isfinite(x));
}

TEST(PlotShapes, BitmapLayerNeedsAUsableImage) {
  mpBitmapLayer b;
  EXPECT_FALSE(b.HasExtent());
  log_capture log;
  b.SetBitmap(wxImage(), 0, 0, 1, 1);
  EXPECT_TRUE(log.has(wxLOG_Error, "[mpBitmapLayer] Assigned bitmap is not Ok()!"));
  EXPECT_FALSE(b.IsValid());
  wxImage out(3, 3);
  b.CopyBitmapTo(out);
  EXPECT_EQ(out.GetWidth(), 3);  // untouched while not valid

  wxImage img(2, 1);
  img.SetRGB(0, 0, 1, 2, 3);
  img.SetRGB(1, 0, 4, 5, 6);
  b.SetBitmap(img, -1, 2, 4, 3);
  EXPECT_TRUE(b.IsValid());
  EXPECT_EQ(b.MinX(), -1);
  EXPECT_EQ(b.MaxX(), 3);
  EXPECT_EQ(b.MinY(), 2);
  EXPECT_EQ(b.MaxY(), 5);
  b.CopyBitmapTo(out);
  ASSERT_EQ(out.GetWidth(), 2);
  EXPECT_EQ(pixel(out, 1, 0), (rgb{4, 5, 6}));
  img.SetRGB(1, 0, 9, 9, 9);  // the layer keeps its own copy
  b.CopyBitmapTo(out);
  EXPECT_EQ(pixel(out, 1, 0), (rgb{4, 5, 6}));
}

}  // namespace
