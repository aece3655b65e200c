// Export of the drawing as an image: pixel probes of axes, series, function
// and legend at the places the transforms give; the other image handlers
// survive the export; the file is replaced whole or not at all.
#include <cmath>
#include <fstream>
#include <iterator>

#include <sys/stat.h>

#include <wx/dcmemory.h>

#include "common/log_capture.h"
#include "common/image_handlers.h"
#include "plot_gui_fixture.h"

namespace {

const rgb white{255, 255, 255};
const rgb grey{128, 128, 128};
const rgb red{255, 0, 0};
const rgb blue{0, 0, 255};

// Thin slanted lines are antialiased: their pixels are only mostly red.
bool reddish(const rgb& c) { return c.r > 150 && c.g < c.r - 60 && c.b < c.r - 60; }
bool bluish(const rgb& c) { return c.b > 150 && c.r < c.b - 60 && c.g < c.b - 60; }

class line_fx : public mpFX {
 public:
  explicit line_fx(const wxString& name) : mpFX(name) {}
  double YOf(double x) override { return 0.5 * x - 2; }
};

class PlotExportTest : public PlotWindowTest {
 protected:
  // Axes through the origin, a function, a point series and a legend.
  void build_graph() {
    plot->AppendLayer(new mpScaleX("x", mpALIGN_CENTER, true, mpX_NORMAL));
    plot->AppendLayer(new mpScaleY("y", mpALIGN_CENTER, true));
    fx = new line_fx("line");
    fx->SetPen(wxPen(*wxBLUE, 3));
    plot->AppendLayer(fx);
    points = new mpFXYVector("points");
    points->SetData(xs, ys);
    points->SetPen(wxPen(*wxRED, 7));
    plot->AppendLayer(points);
    legend = new mpInfoLegend(wxRect(620, 35, 10, 10), *wxWHITE_BRUSH);
    plot->AppendLayer(legend);
    plot->Fit();
  }

  wxImage load(const std::string& path, wxBitmapType type = wxBITMAP_TYPE_PNG) {
    wxImage img;
    EXPECT_TRUE(img.LoadFile(path, type)) << path;
    return img;
  }

  const std::vector<double> xs{1, 3, 5, 6};
  const std::vector<double> ys{1, 2, -1, 3};
  line_fx* fx = nullptr;
  mpFXYVector* points = nullptr;
  mpInfoLegend* legend = nullptr;
  scratch_dir dir;
};

// First entry of the first quantisation table of a JPEG file.
int jpeg_first_quant_value(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
  for (size_t i = 0; i + 5 < b.size(); ++i)
    if (b[i] == 0xFF && b[i + 1] == 0xDB) return b[i + 5];
  return -1;
}

TEST_F(PlotExportTest, ExportedGraphShowsAxesSeriesFunctionAndLegendWhereTheTransformsPutThem) {
  const std::vector<std::string> handlers_before = image_handler_names();
  build_graph();
  ASSERT_TRUE(plot->WriteImage(dir.path("graph.png"), wxBITMAP_TYPE_PNG));
  const wxImage img = load(dir.path("graph.png"));
  ASSERT_EQ(img.GetSize(), wxSize(800, 400));

  // The view is fitted to the extent x -1 .. 6.5 (the function's default
  // extent and the points widened by 0.5) on 690 columns from column 80,
  // y -1.5 .. 3.5 on 320 rows from row 30: 92 columns and 64 rows per unit.
  // The x axis crosses the whole width at the row of y = 0, the y axis the
  // whole height at the column of x = 0.
  const int row = 254, col = 172;  // 30 + 3.5 * 64, 80 + 1 * 92
  for (int c : {2, 10, 60, 795}) EXPECT_EQ(pixel(img, c, row), grey) << c;
  EXPECT_EQ(pixel(img, 10, row - 3), white);
  EXPECT_EQ(pixel(img, 10, row + 3), white);
  for (int r : {2, 20, 390}) EXPECT_EQ(pixel(img, col, r), grey) << r;
  EXPECT_EQ(pixel(img, col - 3, 20), white);

  // The points (1, 1), (3, 2), (5, -1), (6, 3), truncated to pixels.
  const wxPoint at_points[] = {{264, 190}, {448, 126}, {632, 318}, {724, 62}};
  for (const wxPoint& p : at_points) EXPECT_EQ(pixel(img, p.x, p.y), red) << p.x << "," << p.y;
  EXPECT_EQ(pixel(img, 356, 158), white);  // (2, 1.5), between two points

  // y = x / 2 - 2 at the columns 300, 500 and 700 (x = 2.39, 4.57, 6.74).
  const wxPoint on_line[] = {{300, 337}, {500, 267}, {700, 198}};
  for (const wxPoint& p : on_line) {
    EXPECT_EQ(pixel(img, p.x, p.y), blue) << p.x;
    EXPECT_NE(pixel(img, p.x, p.y - 6), blue) << p.x;
  }

  // Legend: both plot layers listed, each sample line in its own pen.
  wxBitmap probe(10, 10);
  wxMemoryDC mdc(probe);
  mdc.SetFont(legend->GetFont());
  wxCoord w1, h1, w2, h2;
  mdc.GetTextExtent("line", &w1, &h1);
  mdc.GetTextExtent("points", &w2, &h2);
  const wxPoint at = legend->BoxPosition();
  EXPECT_EQ(at, wxPoint(620, 35));
  EXPECT_EQ(legend->BoxSize(), wxSize(std::max(w1, w2) + 25, 5 + h1 + h2 + 5));
  EXPECT_EQ(pixel(img, at.x + 10, at.y + 5 + h1 / 2), blue);
  EXPECT_EQ(pixel(img, at.x + 10, at.y + 5 + h2 + h2 / 2), red);
  EXPECT_EQ(pixel(img, at.x + 2, at.y + 2), white);  // the box's white brush

  // The export chose its handler without changing the list.
  EXPECT_EQ(image_handler_names(), handlers_before);
}

TEST_F(PlotExportTest, ExportAsJpegWritesQuality95AndAddsAMissingHandlerOnly) {
  build_graph();
  const size_t handlers = wxImage::GetHandlers().GetCount();
  ASSERT_TRUE(wxImage::RemoveHandler("JPEG file"));
  ASSERT_EQ(wxImage::FindHandler(wxBITMAP_TYPE_JPEG), nullptr);
  ASSERT_TRUE(plot->WriteImage(dir.path("graph.jpg"), wxBITMAP_TYPE_JPEG));
  EXPECT_EQ(wxImage::GetHandlers().GetCount(), handlers);
  EXPECT_EQ(jpeg_first_quant_value(dir.path("graph.jpg")), 2);  // libjpeg's table at quality 95
  const wxImage img = load(dir.path("graph.jpg"), wxBITMAP_TYPE_JPEG);
  EXPECT_EQ(img.GetSize(), wxSize(800, 400));
  // The point (3, 2): column 80 + 4 * 92, row 30 + 1.5 * 64.
  EXPECT_NEAR(img.GetRed(448, 126), 255, 30);
  EXPECT_NEAR(img.GetGreen(448, 126), 0, 30);

  ASSERT_TRUE(plot->WriteImage(dir.path("graph.bmp"), wxBITMAP_TYPE_BMP));
  ASSERT_TRUE(plot->WriteImage(dir.path("graph.tif"), wxBITMAP_TYPE_TIFF));
  EXPECT_EQ(pixel(load(dir.path("graph.bmp"), wxBITMAP_TYPE_BMP), 448, 126), red);
  EXPECT_EQ(pixel(load(dir.path("graph.tif"), wxBITMAP_TYPE_TIFF), 448, 126), red);
  EXPECT_EQ(wxImage::GetHandlers().GetCount(), handlers);
}

TEST_F(PlotExportTest, OtherTypesAreRefusedWithoutTouchingHandlersOrFiles) {
  build_graph();
  const size_t handlers = wxImage::GetHandlers().GetCount();
  EXPECT_FALSE(plot->WriteImage(dir.path("graph.gif"), wxBITMAP_TYPE_GIF));
  EXPECT_FALSE(plot->WriteImage(dir.path("graph.xpm"), wxBITMAP_TYPE_XPM));
  EXPECT_EQ(wxImage::GetHandlers().GetCount(), handlers);
  EXPECT_TRUE(dir.entries().empty());
}

TEST_F(PlotExportTest, AFailedSaveLeavesNoPartialFile) {
  build_graph();
  ASSERT_TRUE(plot->WriteImage(dir.path("graph.png"), wxBITMAP_TYPE_PNG));
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"graph.png"});  // no temporary left
  ASSERT_TRUE(wxMkdir(dir.path("taken")));
  log_capture log;
  EXPECT_FALSE(plot->WriteImage(dir.path("taken"), wxBITMAP_TYPE_PNG));
  EXPECT_TRUE(log.has(wxLOG_Error, "Could not write the image file"));
  EXPECT_TRUE(wxDirExists(dir.path("taken")));
  EXPECT_EQ(dir.entries().size(), 2u);
  EXPECT_FALSE(plot->WriteImage(dir.path("missing/graph.png"), wxBITMAP_TYPE_PNG));
}

TEST_F(PlotExportTest, WrittenFilesGetOrdinaryOrTheirFormerPermissions) {
  build_graph();
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(plot->WriteImage(dir.path("new.png"), wxBITMAP_TYPE_PNG));
  struct stat st;
  ASSERT_EQ(::stat(dir.path("new.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  ASSERT_EQ(::chmod(dir.path("new.png").c_str(), 0640), 0);
  ASSERT_TRUE(plot->WriteImage(dir.path("new.png"), wxBITMAP_TYPE_PNG));
  ASSERT_EQ(::stat(dir.path("new.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ::umask(mask);
}

TEST_F(PlotExportTest, AGivenSizeLeavesTheWindowAsItWas) {
  build_graph();
  const mpView before = plot->View();
  ASSERT_TRUE(plot->WriteImage(dir.path("big.png"), wxBITMAP_TYPE_PNG, wxSize(1000, 500)));
  EXPECT_EQ(plot->View().width, 800);
  EXPECT_EQ(plot->View().height, 400);
  EXPECT_DOUBLE_EQ(plot->GetScaleX(), before.scale_x);
  EXPECT_DOUBLE_EQ(plot->GetPosX(), before.pos_x);
  EXPECT_DOUBLE_EQ(plot->GetPosY(), before.pos_y);

  const wxImage img = load(dir.path("big.png"));
  ASSERT_EQ(img.GetSize(), wxSize(1000, 500));
  // 890 columns over 7.5 units from column 80, 420 rows over 5 units from
  // row 30: y = 0 at row 30 + 3.5 * 84, the point (5, -1) at column
  // 80 + 6 * 118.67 and row 30 + 4.5 * 84, truncated.
  EXPECT_EQ(pixel(img, 10, 324), grey);
  EXPECT_EQ(pixel(img, 792, 408), red);
}

TEST_F(PlotExportTest, FitToExtentMakesTheExtentTheViewRange) {
  build_graph();
  plot->ZoomInAt(wxPoint(200, 100));
  plot->ZoomInAt(wxPoint(200, 100));
  ASSERT_TRUE(plot->WriteImage(dir.path("fit.png"), wxBITMAP_TYPE_PNG, wxDefaultSize, true));
  double a, b, c, d, e0, e1, e2, e3;
  plot->GetViewRange(a, b, c, d);
  plot->DataExtent(e0, e1, e2, e3);
  EXPECT_EQ(a, e0);
  EXPECT_EQ(b, e1);
  EXPECT_EQ(c, e2);
  EXPECT_EQ(d, e3);
  const wxImage img = load(dir.path("fit.png"));
  EXPECT_EQ(pixel(img, 724, 62), red);  // (6, 3) in the view fitted to the extent
}

TEST_F(PlotExportTest, JoinedSeriesIsClippedAtTheTopMargin) {
  auto* s = new mpFXYVector("peak");
  s->SetData({0, 5, 10}, {0, 20, 0});  // the middle point is far above the view
  s->SetJoined(true);
  s->SetDrawOutsideMargins(false);
  s->SetPen(wxPen(*wxRED, 1));
  plot->AppendLayer(s);
  plot->FitRange(-0.5, 10.5, -0.5, 5.5);
  ASSERT_TRUE(plot->WriteImage(dir.path("clip.png"), wxBITMAP_TYPE_PNG));
  const wxImage img = load(dir.path("clip.png"));
  for (int r = 0; r < 28; ++r)
    for (int c = 0; c < 800; ++c) ASSERT_FALSE(reddish(pixel(img, c, r))) << c << "," << r;
  // The rising line y = 4x meets the top row (y = 5.5) at x = 1.375: column
  // 80 + 1.875 * 690 / 11, truncated.
  const int cross = 197;
  bool found = false;
  for (int c = cross - 2; c <= cross + 2; ++c) found |= reddish(pixel(img, c, 30));
  EXPECT_TRUE(found) << "no line at the top row near column " << cross;
}

TEST_F(PlotExportTest, LegendWithoutVisiblePlotLayersDrawsNothing) {
  build_graph();
  fx->SetVisible(false);
  points->SetVisible(false);
  legend->SetPen(wxPen(*wxGREEN, 1));
  ASSERT_TRUE(plot->WriteImage(dir.path("empty.png"), wxBITMAP_TYPE_PNG));
  const wxImage img = load(dir.path("empty.png"));
  for (int r = 35; r < 80; ++r)
    for (int c = 620; c < 700; ++c) ASSERT_EQ(pixel(img, c, r), white) << c << "," << r;
}

TEST_F(PlotExportTest, InfoBoxesKeepTheirRelativePlaceAcrossSizes) {
  build_graph();
  ASSERT_TRUE(plot->WriteImage(dir.path("a.png"), wxBITMAP_TYPE_PNG));
  legend->MoveBy(wxPoint(-20, 65));  // the density graph's place, (600, 100)
  legend->FixReference();
  ASSERT_TRUE(plot->WriteImage(dir.path("b.png"), wxBITMAP_TYPE_PNG, wxSize(400, 200)));
  EXPECT_EQ(legend->BoxPosition(), wxPoint(300, 50));
  EXPECT_EQ(legend->GetReference(), wxPoint(300, 50));
}

TEST_F(PlotExportTest, BottomGridLinesStopAtTheTopMargin) {
  auto* x = new mpScaleX("x", mpALIGN_BOTTOM, false, mpX_NORMAL);
  x->SetDrawOutsideMargins(false);
  x->SetPen(wxPen(*wxBLUE, 1));
  plot->AppendLayer(x);
  plot->FitRange(0, 10, 0, 5);
  ASSERT_TRUE(plot->WriteImage(dir.path("grid.png"), wxBITMAP_TYPE_PNG));
  const wxImage img = load(dir.path("grid.png"));
  const int c = 425;  // x = 5 of 0..10 on 690 columns from column 80
  int above = 0, inside = 0;
  for (int r = 0; r < 29; ++r) above += bluish(pixel(img, c, r));
  for (int r = 31; r < 349; ++r) inside += bluish(pixel(img, c, r));
  EXPECT_EQ(above, 0);
  EXPECT_GT(inside, 100);   // dotted: many but not all pixels
  EXPECT_LT(inside, 318);
  EXPECT_EQ(pixel(img, 10, 350), blue);  // the axis line itself spans the window
}

TEST_F(PlotExportTest, BitmapLayerStaysExactWhenImagePixelsCoverTheWindow) {
  wxImage img(2, 2);
  img.SetRGB(0, 0, 255, 0, 0);
  img.SetRGB(1, 0, 0, 255, 0);
  img.SetRGB(0, 1, 0, 0, 255);
  img.SetRGB(1, 1, 255, 255, 0);
  auto* b = new mpBitmapLayer;
  b->SetBitmap(img, 0, 0, 2, 2);
  plot->AppendLayer(b);

  plot->FitRange(0, 2, 0, 2);  // ordinary: each image pixel a block of the plot area
  ASSERT_TRUE(plot->WriteImage(dir.path("b1.png"), wxBITMAP_TYPE_PNG));
  wxImage out = load(dir.path("b1.png"));
  // Image pixels of 345 x 160 screen pixels from (80, 30).
  EXPECT_EQ(pixel(out, 252, 110), red);
  EXPECT_EQ(pixel(out, 597, 110), (rgb{0, 255, 0}));
  EXPECT_EQ(pixel(out, 252, 270), blue);

  plot->FitRange(0.999, 1.001, 0.999, 1.001);  // each image pixel ~350000 screen pixels
  ASSERT_TRUE(plot->WriteImage(dir.path("b2.png"), wxBITMAP_TYPE_PNG));
  out = load(dir.path("b2.png"));
  const int c = 424, r = 189;  // (1, 1), the centre of the plot area, truncated
  EXPECT_EQ(pixel(out, c - 20, r - 20), red);
  EXPECT_EQ(pixel(out, c + 20, r - 20), (rgb{0, 255, 0}));
  EXPECT_EQ(pixel(out, c - 20, r + 20), blue);
  EXPECT_EQ(pixel(out, c + 20, r + 20), (rgb{255, 255, 0}));
}

}  // namespace
