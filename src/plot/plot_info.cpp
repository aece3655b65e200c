#include "plot/plot_info.h"

#include <utility>
#include <vector>

#include <wx/dc.h>

#include "plot/plot_math.h"
#include "plot/plot_window.h"

wxIMPLEMENT_DYNAMIC_CLASS(mpInfoLayer, mpLayer);
wxIMPLEMENT_DYNAMIC_CLASS(mpInfoCoords, mpInfoLayer);
wxIMPLEMENT_DYNAMIC_CLASS(mpInfoLegend, mpInfoLayer);

// --- mpInfoLayer ---------------------------------------------------------------------

mpInfoLayer::mpInfoLayer() : box_(0, 0, 1, 1), reference_(0, 0), box_brush_(*wxTRANSPARENT_BRUSH) {
  kind_ = mpLAYER_INFO;
}

mpInfoLayer::mpInfoLayer(const wxRect& rect, const wxBrush& brush)
    : box_(rect), reference_(rect.GetPosition()), box_brush_(brush) {
  kind_ = mpLAYER_INFO;
}

void mpInfoLayer::MoveBy(const wxPoint& offset) { box_.SetPosition(reference_ + offset); }

void mpInfoLayer::keep_place(mpWindow& w) {
  mpInfoPlace place{box_.x, box_.y, recorded_w_, recorded_h_};
  const bool moved = mp_info_rescale(place, w.View().width, w.View().height);
  box_.x = place.x;
  box_.y = place.y;
  recorded_w_ = place.recorded_w;
  recorded_h_ = place.recorded_h;
  if (moved) FixReference();
}

void mpInfoLayer::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  keep_place(w);
  dc.SetPen(pen_);
  dc.SetBrush(box_brush_);
  dc.DrawRectangle(box_);
}

// --- mpInfoCoords --------------------------------------------------------------------

mpInfoCoords::mpInfoCoords() {}

mpInfoCoords::mpInfoCoords(const wxRect& rect, const wxBrush& brush) : mpInfoLayer(rect, brush) {}

void mpInfoCoords::UpdateContent(mpWindow& w, wxEvent& event) {
  if (event.GetEventType() != wxEVT_MOTION) return;
  const wxMouseEvent& m = static_cast<const wxMouseEvent&>(event);
  content_ = wxString::Format("x = %f y = %f", w.p2x(m.GetX()), w.p2y(m.GetY()));
}

void mpInfoCoords::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  keep_place(w);
  dc.SetPen(pen_);
  dc.SetBrush(box_brush_);
  dc.SetFont(font_);
  wxCoord tw, th;
  dc.GetTextExtent(content_, &tw, &th);
  // The box only grows, so that it does not flicker as the text changes.
  if (box_.width < tw + 10) box_.width = tw + 10;
  if (box_.height < th + 10) box_.height = th + 10;
  dc.DrawRectangle(box_);
  dc.DrawText(content_, box_.x + 5, box_.y + 5);
}

// --- mpInfoLegend --------------------------------------------------------------------

mpInfoLegend::mpInfoLegend() {}

mpInfoLegend::mpInfoLegend(const wxRect& rect, const wxBrush& brush) : mpInfoLayer(rect, brush) {}

void mpInfoLegend::Render(wxDC& dc, mpWindow& w) {
  if (!visible_) return;
  keep_place(w);
  dc.SetBrush(box_brush_);
  dc.SetFont(font_);

  std::vector<mpLayer*> entries;
  std::vector<std::pair<int, int>> sizes;
  for (int i = 0; mpLayer* layer = w.LayerAt(i); ++i) {
    if (layer->GetKind() != mpLAYER_PLOT || !layer->IsVisible()) continue;
    wxCoord tw, th;
    dc.GetTextExtent(layer->GetName(), &tw, &th);
    entries.push_back(layer);
    sizes.emplace_back(tw, th);
  }
  const mpLegendLayout layout = mp_legend_layout(sizes);

  dc.SetPen(pen_);
  dc.SetBrush(box_brush_);
  box_.width = layout.width;
  if (entries.empty()) return;
  box_.height = layout.height;
  dc.DrawRectangle(box_);

  for (size_t i = 0; i < entries.size(); ++i) {
    const int row = box_.y + layout.sample_rows[i];
    dc.SetPen(entries[i]->GetPen());
    dc.DrawLine(box_.x + 5, row, box_.x + 15, row);
    dc.SetFont(font_);
    dc.DrawText(entries[i]->GetName(), box_.x + 20, box_.y + layout.text_rows[i]);
  }
}
