#include "plot/plot_shapes.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <wx/dc.h>
#include <wx/log.h>

#include "plot/plot_math.h"
#include "plot/plot_window.h"

wxIMPLEMENT_DYNAMIC_CLASS(mpMovableObject, mpLayer);
wxIMPLEMENT_DYNAMIC_CLASS(mpCovarianceEllipse, mpMovableObject);
wxIMPLEMENT_DYNAMIC_CLASS(mpPolygon, mpMovableObject);
wxIMPLEMENT_DYNAMIC_CLASS(mpBitmapLayer, mpLayer);

namespace {

// The name above the top-right corner of a box given in data coordinates.
void draw_corner_name(wxDC& dc, const mpLayer& layer, const mpView& v, double max_x, double max_y) {
  if (layer.GetName().empty() || !layer.GetShowName()) return;
  dc.SetFont(layer.GetFont());
  wxCoord tw, th;
  dc.GetTextExtent(layer.GetName(), &tw, &th);
  dc.DrawText(layer.GetName(), v.x2p(max_x) - tw - 8, v.y2p(max_y) - th - 8);
}

}  // namespace

// --- mpMovableObject -----------------------------------------------------------------

mpMovableObject::mpMovableObject() { kind_ = mpLAYER_PLOT; }

void mpMovableObject::SetCoordinateBase(double x, double y, double phi) {
  ref_x_ = x;
  ref_y_ = y;
  phi_ = phi;
  ShapeUpdated();
}

void mpMovableObject::GetCoordinateBase(double& x, double& y, double& phi) const {
  x = ref_x_;
  y = ref_y_;
  phi = phi_;
}

void mpMovableObject::TransformPoint(double x, double y, double& out_x, double& out_y) const {
  const double c = std::cos(phi_), s = std::sin(phi_);
  out_x = c * x - s * y + ref_x_;
  out_y = s * x + c * y + ref_y_;
}

void mpMovableObject::ShapeUpdated() {
  if (shape_xs_.size() != shape_ys_.size()) {
    wxLogError("[mpMovableObject::ShapeUpdated] Error, m_shape_xs and m_shape_ys have different lengths!");
    return;
  }
  trans_xs_.resize(shape_xs_.size());
  trans_ys_.resize(shape_xs_.size());
  bbox_min_x_ = bbox_min_y_ = 1e300;
  bbox_max_x_ = bbox_max_y_ = -1e300;
  for (size_t i = 0; i < shape_xs_.size(); ++i) {
    TransformPoint(shape_xs_[i], shape_ys_[i], trans_xs_[i], trans_ys_[i]);
    bbox_min_x_ = std::min(bbox_min_x_, trans_xs_[i]);
    bbox_max_x_ = std::max(bbox_max_x_, trans_xs_[i]);
    bbox_min_y_ = std::min(bbox_min_y_, trans_ys_[i]);
    bbox_max_y_ = std::max(bbox_max_y_, trans_ys_[i]);
  }
}

void mpMovableObject::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  const mpView& v = w.View();
  dc.SetPen(pen_);
  for (size_t i = 0; i < trans_xs_.size(); ++i) {
    const int c = v.x2p(trans_xs_[i]), r = v.y2p(trans_ys_[i]);
    if (joined_) {
      const size_t j = i == 0 ? 0 : i - 1;
      dc.DrawLine(v.x2p(trans_xs_[j]), v.y2p(trans_ys_[j]), c, r);
    } else {
      mp_draw_point(dc, pen_, c, r);
    }
  }
  if (!trans_xs_.empty()) draw_corner_name(dc, *this, v, bbox_max_x_, bbox_max_y_);
}

// --- mpCovarianceEllipse -------------------------------------------------------------

mpCovarianceEllipse::mpCovarianceEllipse(double c00, double c11, double c01, double quantiles,
                                         int segments, const wxString& name)
    : c00_(c00), c11_(c11), c01_(c01), quantiles_(quantiles), segments_(std::max(2, segments)) {
  name_ = name;
  RecalculateShape();
}

void mpCovarianceEllipse::SetCovarianceMatrix(double c00, double c01, double c11) {
  c00_ = c00;
  c01_ = c01;
  c11_ = c11;
  RecalculateShape();
}

void mpCovarianceEllipse::GetCovarianceMatrix(double& c00, double& c01, double& c11) const {
  c00 = c00_;
  c01 = c01_;
  c11 = c11_;
}

void mpCovarianceEllipse::SetQuantiles(double q) {
  quantiles_ = q;
  RecalculateShape();
}

void mpCovarianceEllipse::SetSegments(int segments) {
  segments_ = std::max(2, segments);
  RecalculateShape();
}

void mpCovarianceEllipse::RecalculateShape() {
  std::vector<double> xs, ys;
  const std::string error = mp_covariance_ellipse(c00_, c11_, c01_, quantiles_, segments_, xs, ys);
  if (!error.empty()) {
    wxLogError("%s", wxString::FromUTF8(error));
    return;
  }
  shape_xs_.swap(xs);
  shape_ys_.swap(ys);
  ShapeUpdated();
}

// --- mpPolygon -----------------------------------------------------------------------

mpPolygon::mpPolygon(const wxString& name) { name_ = name; }

void mpPolygon::setPoints(const std::vector<double>& xs, const std::vector<double>& ys,
                          bool closed) {
  if (xs.size() != ys.size()) {
    wxLogError("[mpPolygon] Error: points_xs and points_ys must have the same number of elements");
    return;
  }
  shape_xs_ = xs;
  shape_ys_ = ys;
  if (closed && !xs.empty()) {
    shape_xs_.push_back(xs.front());
    shape_ys_.push_back(ys.front());
  }
  ShapeUpdated();
}

// --- mpBitmapLayer -------------------------------------------------------------------

mpBitmapLayer::mpBitmapLayer() { kind_ = mpLAYER_PLOT; }

void mpBitmapLayer::SetBitmap(const wxImage& image, double x, double y, double width,
                              double height) {
  if (!image.IsOk()) {
    wxLogError("[mpBitmapLayer] Assigned bitmap is not Ok()!");
    return;
  }
  image_ = image.Copy();
  min_x_ = x;
  max_x_ = x + width;
  min_y_ = y;
  max_y_ = y + height;
  valid_ = true;
  scaled_ = wxBitmap();  // the kept part belonged to the old image
  scaled_src_x_ = scaled_src_y_ = -1;
}

void mpBitmapLayer::CopyBitmapTo(wxImage& out) const {
  if (valid_) out = image_.Copy();
}

namespace {

// Nearest-pixel resampling of the visible part only: used when image pixels
// are so large on screen that scaling the covered part whole would need a
// bitmap far bigger than the window.
void draw_resampled(wxDC& dc, const wxImage& image, const mpView& v, double min_x, double max_x,
                    double min_y, double max_y) {
  const double x0 = v.x2p(min_x), x1 = v.x2p(max_x);
  const double y0 = v.y2p(max_y), y1 = v.y2p(min_y);
  const int left = static_cast<int>(std::max(0.0, x0));
  const int right = static_cast<int>(std::min<double>(v.width, x1));
  const int top = static_cast<int>(std::max(0.0, y0));
  const int bottom = static_cast<int>(std::min<double>(v.height, y1));
  if (right <= left || bottom <= top) return;
  const int iw = image.GetWidth(), ih = image.GetHeight();
  wxImage part(right - left, bottom - top);
  if (image.HasMask()) part.SetMaskColour(image.GetMaskRed(), image.GetMaskGreen(), image.GetMaskBlue());
  for (int r = top; r < bottom; ++r) {
    const int j = std::min(ih - 1, std::max(0, static_cast<int>((r - y0) * ih / (y1 - y0))));
    for (int c = left; c < right; ++c) {
      const int i = std::min(iw - 1, std::max(0, static_cast<int>((c - x0) * iw / (x1 - x0))));
      part.SetRGB(c - left, r - top, image.GetRed(i, j), image.GetGreen(i, j), image.GetBlue(i, j));
    }
  }
  dc.DrawBitmap(wxBitmap(part), left, top, true);
}

}  // namespace

void mpBitmapLayer::Render(wxDC& dc, mpWindow& w) {
  if (!visible_ || !valid_) return;
  const mpView& v = w.View();
  const mpBitmapPlan plan =
      mp_bitmap_plan(v, min_x_, max_x_, min_y_, max_y_, image_.GetWidth(), image_.GetHeight());
  if (!plan.draw) return;
  if (plan.width > 2 * v.width + 512 || plan.height > 2 * v.height + 512) {
    draw_resampled(dc, image_, v, min_x_, max_x_, min_y_, max_y_);
  } else {
    const bool same = scaled_.IsOk() && scaled_.GetWidth() == plan.width &&
                      scaled_.GetHeight() == plan.height && scaled_src_x_ == plan.src_x &&
                      scaled_src_y_ == plan.src_y;
    if (!same) {
      wxImage part = image_.GetSubImage(wxRect(plan.src_x, plan.src_y, plan.src_w, plan.src_h));
      part.Rescale(plan.width, plan.height, wxIMAGE_QUALITY_NORMAL);
      scaled_ = wxBitmap(part);
      scaled_src_x_ = plan.src_x;
      scaled_src_y_ = plan.src_y;
    }
    dc.DrawBitmap(scaled_, plan.left, plan.top, true);
  }
  draw_corner_name(dc, *this, v, max_x_, max_y_);
}
