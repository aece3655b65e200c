// Info boxes: layers placed in window pixels rather than data coordinates,
// dragged with the left button and kept in their relative place on resize.
// The coordinates box follows the pointer; the legend lists the plot layers.
#pragma once

#include <wx/event.h>
#include <wx/gdicmn.h>

#include "plot/plot_layers.h"

class mpInfoLayer : public mpLayer {
 public:
  mpInfoLayer();
  mpInfoLayer(const wxRect& rect, const wxBrush& brush);

  bool HasExtent() const override { return false; }
  bool IsInfoBox() const override { return true; }
  void Render(wxDC& dc, mpWindow& w) override;

  virtual void UpdateContent(mpWindow& w, wxEvent& event) {}
  // Left and top edges inclusive, right and bottom exclusive.
  virtual bool ContainsPoint(const wxPoint& p) const { return box_.Contains(p); }
  virtual void MoveBy(const wxPoint& offset);
  virtual void FixReference() { reference_ = box_.GetPosition(); }

  wxPoint BoxPosition() const { return box_.GetPosition(); }
  wxSize BoxSize() const { return box_.GetSize(); }
  const wxRect& GetRectangle() const { return box_; }
  const wxPoint& GetReference() const { return reference_; }
  const wxBrush& GetBoxBrush() const { return box_brush_; }
  void SetBoxBrush(const wxBrush& b) { box_brush_ = b; }

 protected:
  // First step of every drawing: follow a change of the client size.
  void keep_place(mpWindow& w);

  wxRect box_;
  wxPoint reference_;  // box corner at the start of a drag
  wxBrush box_brush_;
  int recorded_w_ = 1, recorded_h_ = 1;  // 1: not yet recorded
  wxDECLARE_DYNAMIC_CLASS(mpInfoLayer);
};

class mpInfoCoords : public mpInfoLayer {
 public:
  mpInfoCoords();
  mpInfoCoords(const wxRect& rect, const wxBrush& brush);
  void UpdateContent(mpWindow& w, wxEvent& event) override;
  void Render(wxDC& dc, mpWindow& w) override;
  const wxString& GetContent() const { return content_; }

 protected:
  wxString content_;
  wxDECLARE_DYNAMIC_CLASS(mpInfoCoords);
};

class mpInfoLegend : public mpInfoLayer {
 public:
  mpInfoLegend();
  mpInfoLegend(const wxRect& rect, const wxBrush& brush);
  void Render(wxDC& dc, mpWindow& w) override;

 protected:
  wxDECLARE_DYNAMIC_CLASS(mpInfoLegend);
};
