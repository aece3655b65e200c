// The plot window: its layer list, fitting, mouse pan and zoom, the popup
// menu and its commands, info-box dragging, colours and printing.
#include <cmath>

#include <wx/dcmemory.h>

#include "plot_gui_fixture.h"

namespace {

// A point series that counts its deletions.
class counted_series : public mpFXYVector {
 public:
  counted_series(const wxString& name, int* deleted) : mpFXYVector(name), deleted_(deleted) {}
  ~counted_series() override { ++*deleted_; }

 private:
  int* deleted_;
};

mpFXYVector* series(const wxString& name, std::vector<double> xs, std::vector<double> ys) {
  auto* s = new mpFXYVector(name);
  s->SetData(xs, ys);
  return s;
}

TEST_F(PlotWindowTest, LayerListFindsShowsAndRemovesLayers) {
  int deleted = 0;
  EXPECT_FALSE(plot->AppendLayer(nullptr));
  auto* axis = new mpScaleX("x axis", mpALIGN_BOTTOM, true, mpX_NORMAL);
  auto* a = new counted_series("a", &deleted);
  auto* b = new counted_series("b", &deleted);
  ASSERT_TRUE(plot->AppendLayer(axis));
  ASSERT_TRUE(plot->AppendLayer(a));
  ASSERT_TRUE(plot->AppendLayer(b, false));
  EXPECT_EQ(plot->CountAllLayers(), 3);
  EXPECT_EQ(plot->CountPlotLayers(), 2);  // the axis has no extent
  EXPECT_EQ(plot->LayerAt(0), axis);
  EXPECT_EQ(plot->LayerAt(2), b);
  EXPECT_EQ(plot->LayerAt(3), nullptr);
  EXPECT_EQ(plot->LayerAt(-1), nullptr);
  EXPECT_EQ(plot->FindLayer("a"), a);
  EXPECT_EQ(plot->FindLayer("A"), nullptr);  // case-sensitive

  plot->ShowLayer("a", false);
  EXPECT_FALSE(plot->IsLayerShown("a"));
  EXPECT_FALSE(a->IsVisible());
  plot->ShowLayerAt(1, true);
  EXPECT_TRUE(plot->IsLayerShownAt(1));
  EXPECT_FALSE(plot->IsLayerShown("missing"));
  EXPECT_FALSE(plot->IsLayerShownAt(7));
  plot->ShowLayer("missing", true);  // nothing happens

  EXPECT_TRUE(plot->RemoveLayer(b, false, true));
  EXPECT_EQ(deleted, 0);  // b belongs to the caller again
  EXPECT_FALSE(plot->RemoveLayer(b));
  delete b;
  EXPECT_EQ(deleted, 1);
  EXPECT_TRUE(plot->RemoveLayer(a, true));
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(plot->CountAllLayers(), 1);
}

TEST_F(PlotWindowTest, DestroyingTheWindowDeletesItsLayers) {
  int deleted = 0;
  auto* other = new mpWindow(plot->GetParent(), wxID_ANY, wxPoint(0, 0), wxSize(200, 200));
  auto* a = new counted_series("a", &deleted);
  auto* b = new counted_series("b", &deleted);
  other->AppendLayer(a);
  other->AppendLayer(b);
  other->RemoveAllLayers(false, false);
  EXPECT_EQ(deleted, 0);
  delete a;  // removed without deleting: they belong to the caller again
  delete b;
  deleted = 0;
  other->AppendLayer(new counted_series("c", &deleted));
  other->AppendLayer(new counted_series("d", &deleted));
  other->Destroy();
  EXPECT_EQ(deleted, 2);
}

TEST_F(PlotWindowTest, FitShowsTheUnionOfTheExtentsAndAnEmptyListChangesNothing) {
  plot->FitRange(0, 1, 0, 1);
  const mpView before = plot->View();
  plot->Fit();
  EXPECT_EQ(plot->GetScaleX(), before.scale_x);
  EXPECT_EQ(plot->GetPosY(), before.pos_y);

  plot->AppendLayer(series("s", {1, 2, 3}, {5, 5, 5}));
  plot->AppendLayer(series("t", {-4, 0}, {6, 9}));
  plot->AppendLayer(new mpText("title", 10, 10));  // no extent
  plot->Fit();
  double x0, x1, y0, y1;
  plot->DataExtent(x0, x1, y0, y1);
  EXPECT_DOUBLE_EQ(x0, -4.5);
  EXPECT_DOUBLE_EQ(x1, 3.5);
  EXPECT_DOUBLE_EQ(y0, 4.5);
  EXPECT_DOUBLE_EQ(y1, 9.5);
  plot->GetViewRange(x0, x1, y0, y1);
  EXPECT_DOUBLE_EQ(x0, -4.5);
  EXPECT_DOUBLE_EQ(y1, 9.5);
  EXPECT_NEAR(plot->x2p(-4.5), 80, 1);
  EXPECT_NEAR(plot->y2p(9.5), 30, 1);
}

TEST_F(PlotWindowTest, RightDragPansByTheDraggedDistanceAndSuppressesThePopup) {
  plot->AppendLayer(series("s", {0, 10}, {0, 5}));
  plot->Fit();
  const int c = 299, r = 216;  // (3, 2) in the fitted view
  ASSERT_EQ(plot->x2p(3), c);
  ASSERT_EQ(plot->y2p(2), r);
  mouse(wxEVT_RIGHT_DOWN, 400, 200, false, true);
  mouse(wxEVT_MOTION, 430, 180, false, true);
  mouse(wxEVT_MOTION, 450, 150, false, true);
  mouse(wxEVT_RIGHT_UP, 450, 150);
  EXPECT_NEAR(plot->x2p(3), c + 50, 1);
  EXPECT_NEAR(plot->y2p(2), r - 50, 1);
  EXPECT_TRUE(plot->popups.empty());

  // A press and release without motion opens the menu where released.
  mouse(wxEVT_RIGHT_DOWN, 300, 120, false, true);
  mouse(wxEVT_RIGHT_UP, 300, 120);
  ASSERT_EQ(plot->popups.size(), 1u);
  EXPECT_EQ(plot->popups[0], wxPoint(300, 120));
  EXPECT_EQ(plot->GetPopupPosition(), wxPoint(300, 120));
  mouse(wxEVT_MIDDLE_UP, 310, 130);
  EXPECT_EQ(plot->popups.size(), 2u);
}

// The series {0, 10} x {0, 5} fits the view to -0.5..10.5 x -0.5..5.5: scale
// x 690 / 11, scale y 320 / 6; column 300 shows x = 5 - 125 * 11 / 690, row
// 150 shows y = 3 + 0.25, row 200 y = 3 - 0.6875.
constexpr double kScaleX = 690.0 / 11, kX300 = 3.00724637681159, kY150 = 3.25, kY200 = 2.3125;

TEST_F(PlotWindowTest, WheelZoomKeepsThePointUnderTheMouse) {
  plot->AppendLayer(series("s", {0, 10}, {0, 5}));
  plot->Fit();
  EXPECT_DOUBLE_EQ(plot->GetScaleX(), kScaleX);
  EXPECT_NEAR(plot->p2x(300), kX300, 1e-12);
  EXPECT_NEAR(plot->p2y(150), kY150, 1e-12);
  mouse(wxEVT_MOUSEWHEEL, 300, 150, false, false, 120, true);
  EXPECT_DOUBLE_EQ(plot->GetScaleX(), kScaleX * 1.5);
  EXPECT_NEAR(plot->p2x(300), kX300, 1e-9);
  EXPECT_NEAR(plot->p2y(150), kY150, 1e-9);
  mouse(wxEVT_MOUSEWHEEL, 300, 150, false, false, -120, true);
  EXPECT_NEAR(plot->GetScaleX(), kScaleX, 1e-9);
  EXPECT_NEAR(plot->p2x(300), kX300, 1e-9);

  // Without Ctrl the wheel scrolls: vertically, or horizontally with Shift.
  const int r = 216, c = 362;  // y = 2 and x = 4 in the fitted view
  ASSERT_EQ(plot->y2p(2), r);
  ASSERT_EQ(plot->x2p(4), c);
  mouse(wxEVT_MOUSEWHEEL, 300, 150, false, false, 120);
  EXPECT_NEAR(plot->y2p(2), r + 120, 1);
  mouse(wxEVT_MOUSEWHEEL, 300, 150, false, false, 120, false, true);
  EXPECT_NEAR(plot->x2p(4), c + 120, 1);

  plot->SetMouseCommands(false);
  const double px = plot->GetPosX(), py = plot->GetPosY();
  mouse(wxEVT_MOUSEWHEEL, 300, 150, false, false, 120, true);
  mouse(wxEVT_RIGHT_DOWN, 400, 200, false, true);
  mouse(wxEVT_MOTION, 450, 250, false, true);
  EXPECT_EQ(plot->GetPosX(), px);
  EXPECT_EQ(plot->GetPosY(), py);
}

TEST_F(PlotWindowTest, LeftRectangleZoomsOnlyWhenPressAndReleaseDiffer) {
  plot->AppendLayer(series("s", {0, 10}, {0, 5}));
  plot->Fit();
  const mpView before = plot->View();
  mouse(wxEVT_LEFT_DOWN, 200, 100, true);
  mouse(wxEVT_LEFT_UP, 200, 100);
  EXPECT_EQ(plot->GetScaleX(), before.scale_x);

  // A release whose press went elsewhere is no rectangle.
  mouse(wxEVT_LEFT_UP, 500, 300);
  EXPECT_EQ(plot->GetScaleX(), before.scale_x);

  plot->SetMouseCommands(false);  // the rectangle zoom does not consult it
  // Columns 200 and 500, rows 300 and 100 of the fitted view.
  const double x0 = 1.41304347826087, x1 = 6.19565217391304, y0 = 0.4375, y1 = 4.1875;
  mouse(wxEVT_LEFT_DOWN, 200, 100, true);
  mouse(wxEVT_LEFT_UP, 500, 300);
  double a, b, c, d;
  plot->GetViewRange(a, b, c, d);
  EXPECT_NEAR(a, x0, 1e-12);
  EXPECT_NEAR(b, x1, 1e-12);
  EXPECT_NEAR(c, y0, 1e-12);
  EXPECT_NEAR(d, y1, 1e-12);
  EXPECT_NEAR(plot->p2x(80), x0, 1e-9);
  EXPECT_NEAR(plot->p2y(30), y1, 1e-9);
}

TEST_F(PlotWindowTest, PopupMenuHoldsItsSixItemsInOrder) {
  wxMenu* menu = plot->GetPopupMenu();
  const int ids[] = {mpID_CENTER, mpID_FIT, mpID_ZOOM_IN, mpID_ZOOM_OUT, mpID_LOCKASPECT,
                     mpID_HELP_MOUSE};
  const char* labels[] = {"Center", "Fit", "Zoom in", "Zoom out", "Lock aspect",
                          "Show mouse commands..."};
  const char* help[] = {"Center plot view to this position", "Set plot view to show all items",
                        "Zoom in plot view.", "Zoom out plot view.",
                        "Lock horizontal and vertical zoom aspect.",
                        "Show help about the mouse commands."};
  ASSERT_EQ(menu->GetMenuItemCount(), 6u);
  for (int i = 0; i < 6; ++i) {
    const wxMenuItem* item = menu->FindItemByPosition(i);
    EXPECT_EQ(item->GetId(), ids[i]);
    EXPECT_EQ(item->GetItemLabelText(), labels[i]);
    EXPECT_EQ(item->GetHelp(), help[i]);
    EXPECT_EQ(item->IsCheckable(), ids[i] == mpID_LOCKASPECT);
  }
  EXPECT_EQ(mpID_FIT, 2000);
  EXPECT_EQ(mpID_HELP_MOUSE, 2005);
}

TEST_F(PlotWindowTest, PopupCommandsZoomCentreFitAndLockTheAspect) {
  plot->AppendLayer(series("s", {0, 10}, {0, 5}));
  plot->Fit();
  const mpView fitted = plot->View();

  mouse(wxEVT_RIGHT_DOWN, 300, 200, false, true);
  mouse(wxEVT_RIGHT_UP, 300, 200);
  command(mpID_ZOOM_IN);  // at the right-press position
  EXPECT_DOUBLE_EQ(plot->GetScaleX(), kScaleX * 1.5);
  EXPECT_NEAR(plot->p2x(300), kX300, 1e-9);
  EXPECT_NEAR(plot->p2y(200), kY200, 1e-9);
  // The centre column 425 now shows x = kX300 + 125 / (1.5 kScaleX).
  EXPECT_NEAR(plot->p2x(425), 4.33574879227053, 1e-9);
  command(mpID_ZOOM_OUT);  // about the centre of the plot area: column 425, row 190
  EXPECT_NEAR(plot->GetScaleX(), kScaleX, 1e-9);
  EXPECT_NEAR(plot->p2x(425), 4.33574879227053, 1e-9);
  EXPECT_NEAR(plot->p2x(300), 2.34299516908212, 1e-9);
  EXPECT_NEAR(plot->p2y(200), 2.25, 1e-9);

  double a, b, c, d;
  plot->GetViewRange(a, b, c, d);
  command(mpID_CENTER);  // the point under the popup position moves to the centre
  EXPECT_NEAR(plot->p2x(425), 2.34299516908212, 1e-9);
  EXPECT_NEAR(plot->p2y(190), 2.25, 1e-9);
  double a2, b2, c2, d2;
  plot->GetViewRange(a2, b2, c2, d2);
  EXPECT_EQ(a2, a);  // centring keeps the view range

  command(mpID_LOCKASPECT);
  EXPECT_TRUE(plot->IsAspectLocked());
  EXPECT_TRUE(plot->GetPopupMenu()->IsChecked(mpID_LOCKASPECT));
  EXPECT_DOUBLE_EQ(plot->GetScaleX(), plot->GetScaleY());
  command(mpID_LOCKASPECT);
  EXPECT_FALSE(plot->GetPopupMenu()->IsChecked(mpID_LOCKASPECT));

  command(mpID_FIT);
  EXPECT_DOUBLE_EQ(plot->GetScaleX(), fitted.scale_x);
  EXPECT_DOUBLE_EQ(plot->GetPosY(), fitted.pos_y);
}

TEST_F(PlotWindowTest, AspectLockOnTheGraphWindowTakesThePlotAreaHeight) {
  plot->FitRange(0, 4, 0, 4);
  plot->SetAspectLock(true);
  EXPECT_DOUBLE_EQ(plot->GetScaleX(), 80.0);  // 320 pixels over 4 units
  EXPECT_DOUBLE_EQ(plot->GetScaleY(), 80.0);
}

TEST_F(PlotWindowTest, InfoBoxesAreDraggedAndFollowThePointer) {
  plot->AppendLayer(series("s", {0, 10}, {0, 5}));
  auto* box = new mpInfoLayer(wxRect(600, 100, 50, 30), *wxWHITE_BRUSH);
  auto* coords = new mpInfoCoords(wxRect(100, 300, 20, 10), *wxWHITE_BRUSH);
  plot->AppendLayer(box);
  plot->AppendLayer(coords);
  plot->Fit();
  EXPECT_EQ(plot->InfoLayerAt(wxPoint(600, 100)), box);
  EXPECT_EQ(plot->InfoLayerAt(wxPoint(650, 100)), nullptr);  // right edge exclusive
  EXPECT_TRUE(box->ContainsPoint(wxPoint(649, 129)));
  EXPECT_FALSE(box->ContainsPoint(wxPoint(649, 130)));

  const mpView before = plot->View();
  mouse(wxEVT_LEFT_DOWN, 610, 110, true);
  mouse(wxEVT_MOTION, 640, 130, true);
  EXPECT_EQ(box->BoxPosition(), wxPoint(630, 120));
  mouse(wxEVT_MOTION, 650, 150, true);
  EXPECT_EQ(box->BoxPosition(), wxPoint(640, 140));  // measured from the press, not the last step
  mouse(wxEVT_LEFT_UP, 650, 150);
  EXPECT_EQ(box->GetReference(), wxPoint(640, 140));
  EXPECT_EQ(plot->GetScaleX(), before.scale_x);  // a drag is no zoom

  mouse(wxEVT_MOTION, 300, 200);
  EXPECT_EQ(coords->GetContent(), "x = 3.007246 y = 2.312500");
  const wxString shown = coords->GetContent();
  mouse(wxEVT_MOTION, 310, 210, true);  // dragging does not update it
  EXPECT_EQ(coords->GetContent(), shown);
}

TEST_F(PlotWindowTest, ResizingRefitsTheViewRange) {
  plot->AppendLayer(series("s", {0, 10}, {0, 5}));
  plot->Fit();
  plot->SetSize(400, 300);
  pump_events();
  ASSERT_EQ(plot->GetClientSize(), wxSize(400, 300));
  EXPECT_NEAR(plot->x2p(-0.5), 80, 1);
  EXPECT_NEAR(plot->x2p(10.5), 370, 1);
  EXPECT_NEAR(plot->y2p(5.5), 30, 1);
}

TEST_F(PlotWindowTest, XScaleIgnoresZero) {
  plot->SetXScale(0);
  EXPECT_NE(plot->GetScaleX(), 0);
  plot->SetXScale(7.5);
  EXPECT_EQ(plot->GetScaleX(), 7.5);
}

TEST_F(PlotWindowTest, ColoursGoToAxisAndInfoPensOnly) {
  auto* axis = new mpScaleY("y", mpALIGN_LEFT, true);
  auto* info = new mpInfoLegend(wxRect(10, 10, 5, 5), *wxWHITE_BRUSH);
  auto* data = series("s", {0, 1}, {0, 1});
  data->SetPen(wxPen(*wxRED, 3));
  plot->AppendLayer(axis);
  plot->AppendLayer(info);
  plot->AppendLayer(data);
  EXPECT_FALSE(plot->GetAxesColour().IsOk());
  // The axes colour is not set yet: the axis pen keeps its grey.
  plot->ApplyColours(*wxBLACK, *wxWHITE, wxColour());
  EXPECT_EQ(axis->GetPen().GetColour(), wxGREY_PEN->GetColour());
  EXPECT_EQ(info->GetPen().GetColour(), *wxWHITE);
  plot->ApplyColours(*wxBLACK, *wxWHITE, wxColour(0, 200, 0));
  EXPECT_EQ(axis->GetPen().GetColour(), wxColour(0, 200, 0));
  EXPECT_EQ(axis->GetPen().GetWidth(), 1);
  EXPECT_EQ(data->GetPen().GetColour(), *wxRED);
  EXPECT_EQ(plot->GetBackgroundColour(), *wxBLACK);
  EXPECT_EQ(plot->GetAxesColour(), wxColour(0, 200, 0));
}

TEST_F(PlotWindowTest, PrintoutDrawsOnePageInsetAndRestoresTheView) {
  plot->AppendLayer(new mpScaleX("x", mpALIGN_CENTER, true, mpX_NORMAL));
  plot->AppendLayer(series("s", {-2, 8}, {-3, 5}));
  plot->Fit();
  const mpView before = plot->View();

  mpPrintout printout(plot, "graph");
  EXPECT_EQ(printout.GetTitle(), "graph");
  EXPECT_TRUE(printout.HasPage(1));
  EXPECT_FALSE(printout.HasPage(2));
  int a, b, c, d;
  printout.GetPageInfo(&a, &b, &c, &d);
  EXPECT_EQ(a + b + c + d, 4);

  wxBitmap page(700, 600);
  wxMemoryDC dc(page);
  dc.SetBackground(*wxGREEN_BRUSH);
  dc.Clear();
  printout.SetDC(&dc);
  EXPECT_TRUE(printout.OnPrintPage(1));
  dc.SelectObject(wxNullBitmap);
  const wxImage img = page.ConvertToImage();

  // The page: 600 x 500 inside a 50-pixel inset, fitted to y -3.5..5.5 on 420
  // rows from row 30, so y = 0 lies 5.5 units of 420 / 9 pixels below it:
  // row 30 + 256.67, truncated, plus the inset.
  const int row = 50 + 286;
  EXPECT_EQ(pixel(img, 60, row), (rgb{128, 128, 128}));
  EXPECT_EQ(pixel(img, 60, row - 3), (rgb{255, 255, 255}));
  EXPECT_EQ(pixel(img, 20, 20), (rgb{0, 255, 0}));    // the inset is not painted
  EXPECT_EQ(pixel(img, 660, 560), (rgb{0, 255, 0}));

  EXPECT_EQ(plot->View().width, 800);
  EXPECT_DOUBLE_EQ(plot->GetScaleX(), before.scale_x);
  EXPECT_DOUBLE_EQ(plot->GetPosY(), before.pos_y);
}

TEST_F(PlotWindowTest, DynamicCreationMakesAnEmptyWindow) {
  wxObject* made = wxCreateDynamicObject("mpWindow");
  ASSERT_NE(made, nullptr);
  auto* w = dynamic_cast<mpWindow*>(made);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->GetPopupMenu()->GetMenuItemCount(), 0u);
  EXPECT_EQ(w->CountAllLayers(), 0);
  delete w;
}

}  // namespace
