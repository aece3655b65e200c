// Plot layers: the abstract layer that a plot window asks for its data
// extent and draws, and the function, point-series and text layers.
#pragma once

#include <vector>

#include <wx/bitmap.h>
#include <wx/brush.h>
#include <wx/font.h>
#include <wx/object.h>
#include <wx/pen.h>
#include <wx/string.h>

class wxDC;
class mpWindow;

// What a layer is, for the legend and for colour changes.
enum mpLayerKind { mpLAYER_UNDEF = 0, mpLAYER_AXIS = 1, mpLAYER_PLOT = 2, mpLAYER_INFO = 3 };

class mpLayer : public wxObject {
 public:
  mpLayer();

  virtual bool HasExtent() const { return true; }
  virtual bool IsInfoBox() const { return false; }
  virtual double MinX() const { return -1; }
  virtual double MaxX() const { return 1; }
  virtual double MinY() const { return -1; }
  virtual double MaxY() const { return 1; }
  virtual void Render(wxDC& dc, mpWindow& w) = 0;

  const wxFont& GetFont() const { return font_; }
  void SetFont(const wxFont& f) { font_ = f; }
  const wxPen& GetPen() const { return pen_; }
  void SetPen(const wxPen& p) { pen_ = p; }
  const wxBrush& GetBrush() const { return brush_; }
  void SetBrush(const wxBrush& b) { brush_ = b; }
  const wxString& GetName() const { return name_; }
  void SetName(const wxString& n) { name_ = n; }
  bool GetJoined() const { return joined_; }
  void SetJoined(bool on) { joined_ = on; }
  bool GetShowName() const { return show_name_; }
  void SetShowName(bool on) { show_name_ = on; }
  bool GetDrawOutsideMargins() const { return outside_; }
  void SetDrawOutsideMargins(bool on) { outside_ = on; }
  int GetKind() const { return kind_; }
  void SetKind(int k) { kind_ = k; }
  bool IsVisible() const { return visible_; }
  void SetVisible(bool on) { visible_ = on; }

  // A square of the pen's colour, side x side pixels.
  wxBitmap PenSwatch(int side) const;

 protected:
  wxFont font_;
  wxPen pen_;
  wxBrush brush_;
  wxString name_;
  bool joined_ = false;
  bool show_name_ = true;
  bool outside_ = true;  // may draw on the whole window, not only the plot area
  int kind_ = mpLAYER_UNDEF;
  bool visible_ = true;

  wxDECLARE_ABSTRACT_CLASS(mpLayer);
};

// A point in the layer's pen: a thin pen sets the pixel, a thicker one
// draws a line of zero length so that the dot has the pen's width.
void mp_draw_point(wxDC& dc, const wxPen& pen, int x, int y);

// y as a function of x, drawn column by column.
class mpFX : public mpLayer {
 public:
  explicit mpFX(const wxString& name = wxEmptyString, int label_alignment = 0);
  virtual double YOf(double x) = 0;
  void Render(wxDC& dc, mpWindow& w) override;
  int GetLabelAlignment() const { return align_; }
  void SetLabelAlignment(int a) { align_ = a; }

 protected:
  int align_;
  wxDECLARE_ABSTRACT_CLASS(mpFX);
};

// x as a function of y, drawn row by row.
class mpFY : public mpLayer {
 public:
  explicit mpFY(const wxString& name = wxEmptyString, int label_alignment = 0);
  virtual double XOf(double y) = 0;
  void Render(wxDC& dc, mpWindow& w) override;
  int GetLabelAlignment() const { return align_; }
  void SetLabelAlignment(int a) { align_ = a; }

 protected:
  int align_;
  wxDECLARE_ABSTRACT_CLASS(mpFY);
};

// A sequence of points, drawn as dots or joined by clipped lines.
class mpFXY : public mpLayer {
 public:
  explicit mpFXY(const wxString& name = wxEmptyString, int label_alignment = 0);
  virtual void RestartPoints() = 0;
  virtual bool NextPoint(double& x, double& y) = 0;
  void Render(wxDC& dc, mpWindow& w) override;
  int GetLabelAlignment() const { return align_; }
  void SetLabelAlignment(int a) { align_ = a; }

  // Pixel box of what the last Render drew.
  int DrawnMaxX() const { return max_draw_x_; }
  int DrawnMinX() const { return min_draw_x_; }
  int DrawnMaxY() const { return max_draw_y_; }
  int DrawnMinY() const { return min_draw_y_; }

 protected:
  int align_;
  int max_draw_x_ = 0, min_draw_x_ = 0, max_draw_y_ = 0, min_draw_y_ = 0;

 private:
  void grow_box(int c, int r);
  wxDECLARE_ABSTRACT_CLASS(mpFXY);
};

// Points from two vectors of equal length.
class mpFXYVector : public mpFXY {
 public:
  explicit mpFXYVector(const wxString& name = wxEmptyString, int label_alignment = 0);

  // Refuses vectors of different lengths with a logged error.
  void SetData(const std::vector<double>& xs, const std::vector<double>& ys);
  void ClearData();
  const std::vector<double>& GetXs() const { return xs_; }
  const std::vector<double>& GetYs() const { return ys_; }

  void RestartPoints() override { index_ = 0; }
  bool NextPoint(double& x, double& y) override;
  double MinX() const override { return min_x_; }
  double MaxX() const override { return max_x_; }
  double MinY() const override { return min_y_; }
  double MaxY() const override { return max_y_; }

 protected:
  std::vector<double> xs_, ys_;
  size_t index_ = 0;
  double min_x_ = -1, max_x_ = 1, min_y_ = -1, max_y_ = 1;
  wxDECLARE_DYNAMIC_CLASS(mpFXYVector);
};

// A profile of y over x drawn as a polyline from column to column.
class mpProfile : public mpLayer {
 public:
  explicit mpProfile(const wxString& name = wxEmptyString, int label_alignment = 0);
  virtual double YOf(double x) = 0;
  void Render(wxDC& dc, mpWindow& w) override;
  int GetLabelAlignment() const { return align_; }
  void SetLabelAlignment(int a) { align_ = a; }

 protected:
  int align_;
  wxDECLARE_ABSTRACT_CLASS(mpProfile);
};

// A text placed by percentages of the plot-area size.
class mpText : public mpLayer {
 public:
  mpText();
  mpText(const wxString& text, unsigned x_percent, unsigned y_percent);
  bool HasExtent() const override { return false; }
  void Render(wxDC& dc, mpWindow& w) override;
  unsigned GetXOffset() const { return x_offset_; }
  unsigned GetYOffset() const { return y_offset_; }

 protected:
  unsigned x_offset_ = 5, y_offset_ = 50;
  wxDECLARE_DYNAMIC_CLASS(mpText);
};
