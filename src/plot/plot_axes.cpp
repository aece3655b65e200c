#include "plot/plot_axes.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <wx/dc.h>

#include "plot/plot_math.h"
#include "plot/plot_window.h"

wxIMPLEMENT_DYNAMIC_CLASS(mpScaleX, mpLayer);
wxIMPLEMENT_DYNAMIC_CLASS(mpScaleY, mpLayer);

namespace {

void draw_grid_line(wxDC& dc, wxPen& pen, int x0, int y0, int x1, int y1) {
  pen.SetStyle(wxPENSTYLE_DOT);
  dc.SetPen(pen);
  dc.DrawLine(x0, y0, x1, y1);
  pen.SetStyle(wxPENSTYLE_SOLID);
  dc.SetPen(pen);
}

void draw_name(wxDC& dc, const wxString& name, const mpNamePlace& p) {
  if (!p.shown) return;
  if (p.rotated)
    dc.DrawRotatedText(name, p.x, p.y, 90);
  else
    dc.DrawText(name, p.x, p.y);
}

}  // namespace

// --- mpScaleX ----------------------------------------------------------------------

mpScaleX::mpScaleX(const wxString& name, int alignment, bool ticks, int label_type)
    : align_(alignment), ticks_(ticks), label_type_(label_type) {
  name_ = name;
  font_ = *wxSMALL_FONT;
  pen_ = *wxGREY_PEN;
  kind_ = mpLAYER_AXIS;
}

void mpScaleX::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  dc.SetPen(pen_);
  dc.SetFont(font_);
  const mpView& v = w.View();
  const int row = mp_x_axis_row(v, align_, outside_);
  dc.DrawLine(0, row, v.width, row);

  int largest_w = 0, largest_h = 0;
  int exponent;
  double step;
  if (mp_tick_exponent(v.scale_x, &exponent, &step)) {
    const std::string number_format = mp_x_number_format(format_.ToStdString(), exponent);
    const double right_edge = v.width / v.scale_x + v.pos_x;
    auto label = [&](double n) {
      return wxString::FromUTF8(mp_x_label(label_type_, number_format, n, right_edge));
    };
    const mpBounds b = v.bounds(outside_);
    for (double n : mp_x_ticks(v, step)) {
      const int p = v.x2p(n);
      if (p < b.min_x || p > b.max_x) continue;
      if (ticks_) {
        dc.DrawLine(p, row, p, align_ == 4 ? row - 4 : row + 4);
      } else if (align_ == 2 && !outside_) {
        draw_grid_line(dc, pen_, p, row + 4, p, v.top);
      } else if (align_ == 0 && !outside_) {
        draw_grid_line(dc, pen_, p, row - 4, p, v.height - v.bottom);
      } else {
        draw_grid_line(dc, pen_, p, 0, p, v.height);
      }
      wxCoord tw, th;
      dc.GetTextExtent(label(n), &tw, &th);
      largest_w = std::max(largest_w, static_cast<int>(tw));
      largest_h = std::max(largest_h, static_cast<int>(th));
    }
    const int stride = mp_label_stride(largest_w, step, v.scale_x);
    for (double n : mp_x_ticks(v, step, stride)) {
      const int p = v.x2p(n);
      if (p < b.min_x || p > b.max_x) continue;
      const wxString text = label(n);
      wxCoord tw, th;
      dc.GetTextExtent(text, &tw, &th);
      const bool above = align_ == 0 || align_ == 4;
      dc.DrawText(text, p - tw / 2, above ? row - th - 4 : row + 4);
    }
  }

  wxCoord tw, th;
  dc.GetTextExtent(name_, &tw, &th);
  draw_name(dc, name_, mp_x_name_place(v, align_, outside_, row, tw, th, largest_h));
}

// --- mpScaleY ----------------------------------------------------------------------

mpScaleY::mpScaleY(const wxString& name, int alignment, bool ticks)
    : align_(alignment), ticks_(ticks) {
  name_ = name;
  font_ = *wxSMALL_FONT;
  pen_ = *wxGREY_PEN;
  kind_ = mpLAYER_AXIS;
}

void mpScaleY::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  dc.SetPen(pen_);
  dc.SetFont(font_);
  const mpView& v = w.View();
  const int column = mp_y_axis_column(v, align_, outside_);
  dc.DrawLine(column, 0, column, v.height);

  int largest_w = 0;
  int exponent;
  double step;
  if (mp_tick_exponent(v.scale_y, &exponent, &step)) {
    const double m = std::max(std::fabs(v.y_to), std::fabs(v.y_from));
    const std::string number_format = mp_y_number_format(format_.ToStdString(), m, exponent);
    auto label = [&](double n) { return wxString::FromUTF8(mp_format_double(number_format, n)); };
    const std::vector<double> ticks = mp_y_ticks(v, step);
    wxCoord tw, h0 = 0;
    if (!ticks.empty()) dc.GetTextExtent(label(ticks.front()), &tw, &h0);
    int last_top = 65536;
    const mpBounds b = v.bounds(outside_);
    for (double n : ticks) {
      const int p = v.y2p(n);
      if (p < b.min_y || p > b.max_y) continue;
      if (ticks_) {
        if (align_ == 4)
          dc.DrawLine(column, p, column + 4, p);
        else
          dc.DrawLine(column - 4, p, column, p);
      } else if (align_ == 2 && !outside_) {
        draw_grid_line(dc, pen_, column - 4, p, v.width - v.right, p);
      } else if (align_ == 0 && !outside_) {
        draw_grid_line(dc, pen_, v.left, p, column + 4, p);
      } else {
        draw_grid_line(dc, pen_, 0, p, v.width, p);
      }
      const wxString text = label(n);
      wxCoord th;
      dc.GetTextExtent(text, &tw, &th);
      largest_w = std::max(largest_w, static_cast<int>(tw));
      if (mp_y_label_fits(&last_top, p, h0)) {
        const bool right_side = align_ == 0 || align_ == 4;
        dc.DrawText(text, right_side ? column + 4 : column - tw - 4, p - th / 2);
      }
    }
  }

  wxCoord tw, th;
  dc.GetTextExtent(name_, &tw, &th);
  draw_name(dc, name_, mp_y_name_place(v, align_, outside_, column, tw, th, largest_w));
}
