#include "app/toolbar_art.h"

#include <memory>

#include <wx/brush.h>
#include <wx/graphics.h>
#include <wx/pen.h>

#include "app/main_frame.h"

namespace {

// Draws on a transparent square image through a graphics context scaled to
// a 24-unit design grid.
class sketch {
 public:
  explicit sketch(int edge) : image_(edge, edge) {
    image_.InitAlpha();
    unsigned char* a = image_.GetAlpha();
    std::fill(a, a + edge * edge, 0);
    gc_.reset(wxGraphicsContext::Create(image_));
    gc_->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    gc_->Scale(edge / 24.0, edge / 24.0);
  }
  wxGraphicsContext& gc() { return *gc_; }
  wxImage finish() {
    gc_.reset();
    return image_;
  }

  // Fill and outline of the shapes that follow.
  void style(const wxColour& fill, const wxColour& line, double width = 1.5) {
    gc_->SetBrush(wxBrush(fill));
    gc_->SetPen(gc_->CreatePen(wxGraphicsPenInfo(line).Width(width)));
  }
  void polygon(std::initializer_list<wxPoint2DDouble> pts, bool closed = true) {
    wxGraphicsPath p = gc_->CreatePath();
    bool first = true;
    for (const auto& q : pts) {
      if (first) p.MoveToPoint(q);
      else p.AddLineToPoint(q);
      first = false;
    }
    if (closed) p.CloseSubpath();
    closed ? gc_->DrawPath(p) : gc_->StrokePath(p);
  }
  void rect(double x, double y, double w, double h) { gc_->DrawRectangle(x, y, w, h); }
  void circle(double x, double y, double r) { gc_->DrawEllipse(x - r, y - r, 2 * r, 2 * r); }
  void line(double x0, double y0, double x1, double y1) { gc_->StrokeLine(x0, y0, x1, y1); }

 private:
  wxImage image_;
  std::unique_ptr<wxGraphicsContext> gc_;
};

const wxColour kInk(40, 40, 40);
const wxColour kBlue(60, 110, 190);
const wxColour kGreen(60, 150, 80);
const wxColour kRed(190, 60, 60);
const wxColour kPale(235, 235, 235);
const wxColour kWhite(255, 255, 255);
const wxColour kBlack(0, 0, 0);

void draw_hand(sketch& s, bool pointing) {
  if (pointing) {
    s.polygon({{8, 1}, {11, 1}, {11, 10}, {19, 11}, {19, 20}, {16, 23}, {7, 23}, {4, 14}, {8, 13}});
  } else {
    s.polygon({{3, 6}, {6, 5}, {8, 9}, {8, 3}, {11, 2}, {12, 8}, {13, 2}, {16, 3}, {16, 9}, {18, 5},
               {21, 6}, {19, 17}, {15, 22}, {8, 22}, {4, 15}});
  }
}

void draw_pencil(sketch& s) { s.polygon({{1, 1}, {7, 3}, {22, 18}, {18, 22}, {3, 7}}); }

void draw_glass(sketch& s) {
  s.circle(9, 9, 6.5);
  s.polygon({{13, 15}, {15, 13}, {22, 20}, {20, 22}});
}

void draw_eraser(sketch& s) { s.polygon({{2, 14}, {12, 4}, {22, 12}, {12, 22}, {8, 22}}); }

void draw_crosshair(sketch& s) {
  for (int k = 0; k < 3; ++k) {
    s.rect(1 + 2.5 * k, 8.5, 1.6, 1.2);
    s.rect(12 + 2.5 * k, 8.5, 1.6, 1.2);
    s.rect(8.5, 1 + 2.5 * k, 1.2, 1.6);
    s.rect(8.5, 12 + 2.5 * k, 1.2, 1.6);
  }
}

void draw_measure(sketch& s) {
  s.polygon({{7, 3}, {11, 1}, {11, 2.5}, {16, 2.5}, {16, 1}, {20, 3}, {16, 5}, {16, 3.5}, {11, 3.5},
             {11, 5}});
  s.polygon({{7, 3}, {7, 12}, {9, 12}, {9, 5}});
}

}  // namespace

wxBitmap toolbar_picture(int picture, int edge) {
  sketch s(edge);
  switch (picture) {
    case PIC_REWIND:
      s.style(kBlue, kInk);
      s.rect(4, 5, 3, 14);
      s.polygon({{20, 5}, {20, 19}, {8, 12}});
      break;
    case PIC_PLAY:
      s.style(kGreen, kInk);
      s.polygon({{6, 4}, {6, 20}, {20, 12}});
      break;
    case PIC_PAUSE:
      s.style(kGreen, kInk);
      s.rect(6, 4, 4, 16);
      s.rect(14, 4, 4, 16);
      break;
    case PIC_DRAG: s.style(kPale, kInk); draw_hand(s, false); break;
    case PIC_SELECT: s.style(kInk, kInk, 1); draw_crosshair(s); break;
    case PIC_MARK: s.style(kPale, kInk); draw_hand(s, true); break;
    case PIC_DRAW: s.style(wxColour(240, 200, 80), kInk); draw_pencil(s); break;
    case PIC_MEASURE: s.style(kPale, kInk); draw_measure(s); break;
    case PIC_ERASE: s.style(wxColour(240, 150, 170), kInk); draw_eraser(s); break;
    case PIC_DRAG_ZOOM: s.style(kPale, kInk); draw_glass(s); break;
    case PIC_LOCK_ZOOM:
      s.style(kPale, kInk);
      s.rect(5, 11, 14, 10);
      s.style(wxColour(0, 0, 0, 0), kInk, 2);
      s.polygon({{8, 11}, {8, 6}, {12, 3}, {16, 6}, {16, 11}}, false);
      break;
    case PIC_INVERT_IMAGE:
      s.style(kBlue, kInk);
      s.polygon({{12, 2}, {18, 9}, {6, 9}});
      s.style(kPale, kInk);
      s.polygon({{12, 22}, {18, 15}, {6, 15}});
      break;
    case PIC_SEE_OUTLINES:
    case PIC_SEE_OUTLINES_2:
      s.style(wxColour(0, 0, 0, 0), kInk);
      for (int k = 0; k < 3; ++k) s.polygon({{3.0 + 3 * k, 6.0 + 3 * k}, {13.0 + 3 * k, 3.0 + 3 * k},
                                             {13.0 + 3 * k, 13.0 + 3 * k}, {3.0 + 3 * k, 16.0 + 3 * k}});
      if (picture == PIC_SEE_OUTLINES_2) {
        s.style(kRed, kRed, 2.5);
        s.line(3, 21, 21, 3);
      }
      break;
    case PIC_SEE_MARK_AUTO:
    case PIC_SEE_MARK_FIXED:
      s.style(kRed, kInk);
      s.circle(8, 8, 3);
      s.circle(16, 14, 3);
      if (picture == PIC_SEE_MARK_FIXED) s.rect(4, 19, 16, 3);
      break;
    case PIC_SEE_DRAW_AUTO:
    case PIC_SEE_DRAW_FIXED:
      s.style(wxColour(0, 0, 0, 0), kGreen, 2);
      s.circle(12, 11, 7);
      if (picture == PIC_SEE_DRAW_FIXED) {
        s.style(kInk, kInk);
        s.rect(4, 20, 16, 2.5);
      }
      break;
    default:
      s.style(kPale, kInk);
      s.rect(5, 5, 14, 14);
      break;
  }
  return wxBitmap(s.finish());
}

wxImage tool_cursor_image(int index) {
  static const int kHotspots[7][2] = {{0, 0}, {8, 0}, {3, 2}, {6, 6}, {2, 2}, {9, 9}, {7, 3}};
  sketch s(24);
  s.style(kWhite, kBlack, 1.2);
  switch (index) {
    case CURSOR_DRAW: draw_pencil(s); break;
    case CURSOR_MARK: draw_hand(s, true); break;
    case CURSOR_DRAG: draw_hand(s, false); break;
    case CURSOR_DRAG_ZOOM: draw_glass(s); break;
    case CURSOR_ERASE: draw_eraser(s); break;
    case CURSOR_SELECT: draw_crosshair(s); break;
    default: draw_measure(s); break;
  }
  wxImage image = s.finish();
  const int k = index >= 0 && index < 7 ? index : 6;
  image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_X, kHotspots[k][0]);
  image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_Y, kHotspots[k][1]);
  return image;
}

wxCursor tool_cursor(int index) { return wxCursor(tool_cursor_image(index)); }

wxIconBundle frame_icon_bundle() {
  wxIconBundle bundle;
  for (int edge : {16, 20, 24, 32, 40, 48, 64, 128, 256}) {
    sketch s(edge);
    s.style(kBlue, kInk, 1);
    s.circle(12, 12, 10.5);
    s.style(kWhite, kWhite, 1);
    s.polygon({{7, 17}, {7, 7}, {9, 7}, {15, 14}, {15, 7}, {17, 7}, {17, 17}, {15, 17}, {9, 10}, {9, 17}});
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(s.finish()));
    bundle.AddIcon(icon);
  }
  return bundle;
}
