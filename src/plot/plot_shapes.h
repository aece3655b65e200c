// Shape layers: a shape in its own coordinates that is rotated and placed in
// the plot (with a covariance ellipse and a polygon as shapes), and an image
// stretched over a rectangle of data coordinates.
#pragma once

#include <vector>

#include <wx/bitmap.h>
#include <wx/image.h>

#include "plot/plot_layers.h"

class mpMovableObject : public mpLayer {
 public:
  mpMovableObject();

  // Extent of the placed shape; none while the shape is empty.
  bool HasExtent() const override { return !trans_xs_.empty(); }
  double MinX() const override { return bbox_min_x_; }
  double MaxX() const override { return bbox_max_x_; }
  double MinY() const override { return bbox_min_y_; }
  double MaxY() const override { return bbox_max_y_; }
  void Render(wxDC& dc, mpWindow& w) override;

  // Where the shape's origin lies in data coordinates and its rotation (radians).
  void SetCoordinateBase(double x, double y, double phi = 0);
  void GetCoordinateBase(double& x, double& y, double& phi) const;
  int GetLabelAlignment() const { return align_; }
  void SetLabelAlignment(int a) { align_ = a; }

  void TransformPoint(double x, double y, double& out_x, double& out_y) const;
  const std::vector<double>& ShapeXs() const { return shape_xs_; }
  const std::vector<double>& ShapeYs() const { return shape_ys_; }
  const std::vector<double>& PlacedXs() const { return trans_xs_; }
  const std::vector<double>& PlacedYs() const { return trans_ys_; }

 protected:
  // Places the shape points again; refuses shape vectors of different lengths.
  void ShapeUpdated();

  int align_ = 0;
  double ref_x_ = 0, ref_y_ = 0, phi_ = 0;
  std::vector<double> shape_xs_, shape_ys_;
  std::vector<double> trans_xs_, trans_ys_;
  double bbox_min_x_ = 0, bbox_max_x_ = 0, bbox_min_y_ = 0, bbox_max_y_ = 0;
  wxDECLARE_DYNAMIC_CLASS(mpMovableObject);
};

// The ellipse of a 2 x 2 covariance matrix, `quantiles` standard deviations wide.
class mpCovarianceEllipse : public mpMovableObject {
 public:
  explicit mpCovarianceEllipse(double c00 = 1, double c11 = 1, double c01 = 0,
                               double quantiles = 2, int segments = 32,
                               const wxString& name = wxEmptyString);

  void SetCovarianceMatrix(double c00, double c01, double c11);
  void GetCovarianceMatrix(double& c00, double& c01, double& c11) const;
  void SetQuantiles(double q);
  double GetQuantiles() const { return quantiles_; }
  // At least two points, so that the ellipse closes on its first point.
  void SetSegments(int segments);
  int GetSegments() const { return segments_; }

 protected:
  void RecalculateShape();

  double c00_, c11_, c01_;
  double quantiles_;
  int segments_;
  wxDECLARE_DYNAMIC_CLASS(mpCovarianceEllipse);
};

class mpPolygon : public mpMovableObject {
 public:
  explicit mpPolygon(const wxString& name = wxEmptyString);
  void setPoints(const std::vector<double>& xs, const std::vector<double>& ys, bool closed = true);

 protected:
  wxDECLARE_DYNAMIC_CLASS(mpPolygon);
};

class mpBitmapLayer : public mpLayer {
 public:
  mpBitmapLayer();

  bool HasExtent() const override { return valid_; }
  double MinX() const override { return min_x_; }
  double MaxX() const override { return max_x_; }
  double MinY() const override { return min_y_; }
  double MaxY() const override { return max_y_; }
  void Render(wxDC& dc, mpWindow& w) override;

  // The image covers x to x + width and y to y + height in data units.
  void SetBitmap(const wxImage& image, double x, double y, double width, double height);
  void CopyBitmapTo(wxImage& out) const;
  bool IsValid() const { return valid_; }

 protected:
  wxImage image_;
  bool valid_ = false;
  double min_x_ = 0, max_x_ = 0, min_y_ = 0, max_y_ = 0;
  wxBitmap scaled_;  // the part drawn last, kept while view and size stay
  int scaled_src_x_ = -1, scaled_src_y_ = -1;
  wxDECLARE_DYNAMIC_CLASS(mpBitmapLayer);
};
