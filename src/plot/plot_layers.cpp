#include "plot/plot_layers.h"

#include <algorithm>

#include <wx/dcmemory.h>
#include <wx/log.h>

#include "plot/plot_math.h"
#include "plot/plot_window.h"

wxIMPLEMENT_ABSTRACT_CLASS(mpLayer, wxObject);
wxIMPLEMENT_ABSTRACT_CLASS(mpFX, mpLayer);
wxIMPLEMENT_ABSTRACT_CLASS(mpFY, mpLayer);
wxIMPLEMENT_ABSTRACT_CLASS(mpFXY, mpLayer);
wxIMPLEMENT_DYNAMIC_CLASS(mpFXYVector, mpFXY);
wxIMPLEMENT_ABSTRACT_CLASS(mpProfile, mpLayer);
wxIMPLEMENT_DYNAMIC_CLASS(mpText, mpLayer);

mpLayer::mpLayer() : font_(*wxNORMAL_FONT), pen_(*wxBLACK_PEN), brush_() {}

wxBitmap mpLayer::PenSwatch(int side) const {
  wxBitmap bmp(std::max(1, side), std::max(1, side));
  wxMemoryDC dc(bmp);
  dc.SetBackground(wxBrush(pen_.GetColour(), wxBRUSHSTYLE_SOLID));
  dc.Clear();
  dc.SelectObject(wxNullBitmap);
  return bmp;
}

void mp_draw_point(wxDC& dc, const wxPen& pen, int x, int y) {
  if (pen.GetWidth() <= 1)
    dc.DrawPoint(x, y);
  else
    dc.DrawLine(x, y, x, y);
}

namespace {

// Column of a function's name by its label alignment (two lowest bits).
int fx_name_column(const mpView& v, int alignment, int w) {
  switch (alignment & 3) {
    case 0: return v.width - v.right - w - 8;
    case 1: return v.left + (v.width - v.right - v.left - w) / 2;
    default: return v.left + 8;
  }
}

int fy_name_row(const mpView& v, int alignment, int h) {
  switch (alignment & 3) {
    case 0: return v.top + 8;
    case 1: return v.top + (v.height - v.bottom - v.top - h) / 2;
    default: return v.height - v.bottom - h - 8;
  }
}

}  // namespace

// --- mpFX, mpFY ----------------------------------------------------------------

mpFX::mpFX(const wxString& name, int label_alignment) : align_(label_alignment) {
  name_ = name;
  kind_ = mpLAYER_PLOT;
}

void mpFX::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  const mpView& v = w.View();
  const mpBounds b = v.bounds(outside_);
  dc.SetPen(pen_);
  for (int c = b.min_x; c < b.max_x; ++c) {
    const int r = v.y2p(YOf(v.p2x(c)));
    if (outside_ || (r >= b.min_y && r <= b.max_y)) mp_draw_point(dc, pen_, c, r);
  }
  if (!name_.empty() && show_name_) {
    dc.SetFont(font_);
    wxCoord tw, th;
    dc.GetTextExtent(name_, &tw, &th);
    const int c = fx_name_column(v, align_, tw);
    dc.DrawText(name_, c, v.y2p(YOf(v.p2x(c))));
  }
}

mpFY::mpFY(const wxString& name, int label_alignment) : align_(label_alignment) {
  name_ = name;
  kind_ = mpLAYER_PLOT;
}

void mpFY::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  const mpView& v = w.View();
  const mpBounds b = v.bounds(outside_);
  dc.SetPen(pen_);
  for (int r = b.min_y; r < b.max_y; ++r) {
    const int c = v.x2p(XOf(v.p2y(r)));
    if (outside_ || (c >= b.min_x && c <= b.max_x)) mp_draw_point(dc, pen_, c, r);
  }
  if (!name_.empty() && show_name_) {
    dc.SetFont(font_);
    wxCoord tw, th;
    dc.GetTextExtent(name_, &tw, &th);
    const int r = fy_name_row(v, align_, th);
    dc.DrawText(name_, v.x2p(XOf(v.p2y(r))), r);
  }
}

// --- mpFXY -----------------------------------------------------------------------

mpFXY::mpFXY(const wxString& name, int label_alignment) : align_(label_alignment) {
  name_ = name;
  kind_ = mpLAYER_PLOT;
}

void mpFXY::grow_box(int c, int r) {
  max_draw_x_ = std::max(max_draw_x_, c);
  min_draw_x_ = std::min(min_draw_x_, c);
  max_draw_y_ = std::max(max_draw_y_, r);
  min_draw_y_ = std::min(min_draw_y_, r);
}

void mpFXY::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  dc.SetPen(pen_);
  const mpView& v = w.View();
  double x, y;
  RestartPoints();
  if (!NextPoint(x, y)) return;  // nothing to draw, nothing to name
  max_draw_x_ = min_draw_x_ = v.x2p(x);
  max_draw_y_ = min_draw_y_ = v.y2p(y);
  RestartPoints();

  const mpBounds b = v.bounds(outside_);
  if (!joined_) {
    while (NextPoint(x, y)) {
      const int c = v.x2p(x), r = v.y2p(y);
      if (outside_ || b.contains(c, r)) {
        mp_draw_point(dc, pen_, c, r);
        grow_box(c, r);
      }
    }
  } else {
    bool first = true;
    int pc = 0, pr = 0;
    while (NextPoint(x, y)) {
      const int c1 = v.x2p(x), r1 = v.y2p(y);
      if (first) {
        pc = c1;
        pr = r1;
        first = false;
      }
      int a0 = pc, s0 = pr, a1 = c1, s1 = r1;
      if (mp_clip_segment(a0, s0, a1, s1, b)) {
        dc.DrawLine(a0, s0, a1, s1);
        grow_box(a1, s1);
      }
      // The next segment starts at this point, not at its clipped end.
      pc = c1;
      pr = r1;
    }
  }

  if (!name_.empty() && show_name_) {
    dc.SetFont(font_);
    wxCoord tw, th;
    dc.GetTextExtent(name_, &tw, &th);
    switch (align_ & 3) {
      case 0: dc.DrawText(name_, max_draw_x_ - tw - 8, max_draw_y_ + 8); break;
      case 1: dc.DrawText(name_, min_draw_x_ + 8, max_draw_y_ + 8); break;
      case 2: dc.DrawText(name_, min_draw_x_ + 8, min_draw_y_ - th - 8); break;
      default: dc.DrawText(name_, max_draw_x_ - tw - 8, min_draw_y_ - th - 8); break;
    }
  }
}

// --- mpFXYVector -------------------------------------------------------------------

mpFXYVector::mpFXYVector(const wxString& name, int label_alignment)
    : mpFXY(name, label_alignment) {}

void mpFXYVector::SetData(const std::vector<double>& xs, const std::vector<double>& ys) {
  if (xs.size() != ys.size()) {
    wxLogError("Plot error: X and Y vector are not of the same length!");
    return;
  }
  xs_ = xs;
  ys_ = ys;
  if (xs_.empty()) {
    min_x_ = min_y_ = -1;
    max_x_ = max_y_ = 1;
    return;
  }
  const auto [mnx, mxx] = std::minmax_element(xs_.begin(), xs_.end());
  const auto [mny, mxy] = std::minmax_element(ys_.begin(), ys_.end());
  min_x_ = *mnx - 0.5;
  max_x_ = *mxx + 0.5;
  min_y_ = *mny - 0.5;
  max_y_ = *mxy + 0.5;
}

void mpFXYVector::ClearData() {
  xs_.clear();
  ys_.clear();
}

bool mpFXYVector::NextPoint(double& x, double& y) {
  if (index_ >= xs_.size()) return false;
  x = xs_[index_];
  y = ys_[index_];
  ++index_;
  return true;
}

// --- mpProfile ---------------------------------------------------------------------

mpProfile::mpProfile(const wxString& name, int label_alignment) : align_(label_alignment) {
  name_ = name;
  kind_ = mpLAYER_PLOT;
}

void mpProfile::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  const mpView& v = w.View();
  const mpBounds b = v.bounds(outside_);
  dc.SetPen(pen_);
  for (int c = b.min_x; c < b.max_x; ++c) {
    int r0 = v.y2p(YOf(v.p2x(c)));
    int r1 = v.y2p(YOf(v.p2x(c + 1)));
    if (!outside_) {
      r0 = std::max(b.min_y, std::min(r0, b.max_y));
      r1 = std::max(b.min_y, std::min(r1, b.max_y));
    }
    dc.DrawLine(c, r0, c + 1, r1);
  }
  if (!name_.empty()) {
    dc.SetFont(font_);
    wxCoord tw, th;
    dc.GetTextExtent(name_, &tw, &th);
    const int c = fx_name_column(v, align_, tw);
    dc.DrawText(name_, c, v.y2p(YOf(v.p2x(c))));
  }
}

// --- mpText ------------------------------------------------------------------------

mpText::mpText() : mpText("Title", 5, 50) {}

mpText::mpText(const wxString& text, unsigned x_percent, unsigned y_percent)
    : x_offset_(x_percent > 100 ? 5 : x_percent), y_offset_(y_percent > 100 ? 50 : y_percent) {
  name_ = text;
  kind_ = mpLAYER_INFO;
}

void mpText::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  dc.SetPen(pen_);
  dc.SetFont(font_);
  int x, y;
  mp_text_position(w.View(), x_offset_, y_offset_, &x, &y);
  dc.DrawText(name_, x, y);
}
