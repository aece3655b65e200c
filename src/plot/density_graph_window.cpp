// The density graph's dialog: axes, curves, legend and text in the order
// they are drawn.
#include "plot/density_graph_window.h"

#include <wx/sizer.h>

#include "plot/plot_axes.h"
#include "plot/plot_info.h"
#include "plot/plot_layers.h"
#include "plot/plot_window.h"

namespace {

const wxSize kPlotSize(800, 400);

mpFXYVector* curve(const density_curve& c, const wxColour& colour, int width, bool joined) {
  auto* v = new mpFXYVector(c.name, 0);
  v->SetData(c.x, c.y);
  v->SetPen(wxPen(colour, width));
  v->SetJoined(joined);
  v->SetShowName(false);
  v->SetDrawOutsideMargins(false);
  return v;
}

template <class Axis>
Axis* axis(const wxString& title) {
  auto* a = new Axis(title, 2, true);
  a->SetFont(wxFont(9, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL));
  a->SetDrawOutsideMargins(false);
  return a;
}

}  // namespace

density_graph_dialog::density_graph_dialog(const density_graph& g)
    : wxDialog(nullptr, wxID_ANY, "Density distribution", wxDefaultPosition, wxDefaultSize,
               wxRESIZE_BORDER | wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX | wxMINIMIZE_BOX |
                   wxMAXIMIZE_BOX) {
  plot_ = new mpWindow(this, wxID_ANY, wxDefaultPosition, kPlotSize, wxSUNKEN_BORDER);
  plot_->SetBorders(30, 30, 50, 80);
  plot_->SetDoubleBuffered(true);
  plot_->UseScrollBars(false);
  const wxColour light_grey(192, 192, 192);
  plot_->AppendLayer(axis<mpScaleX>(g.x_title));
  plot_->AppendLayer(axis<mpScaleY>(g.y_title));
  if (!g.raw) plot_->AppendLayer(curve(g.presumed, light_grey, 2, true));
  plot_->AppendLayer(curve(g.lower, *wxGREEN, 3, false));
  plot_->AppendLayer(curve(g.upper, *wxGREEN, 3, false));
  if (!g.raw) plot_->AppendLayer(curve(g.outliers, light_grey, 4, false));
  plot_->AppendLayer(curve(g.used, *wxBLUE, 4, false));
  if (!g.raw) plot_->AppendLayer(curve(g.theory, *wxRED, 2, true));
  auto* legend = new mpInfoLegend(wxRect(600, 100, 40, 40), *wxTRANSPARENT_BRUSH);
  legend->SetVisible(true);
  plot_->AppendLayer(legend);
  plot_->AppendLayer(new mpText(g.text, 15, 2));
  plot_->Fit();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(plot_, 1, wxEXPAND);
  SetSizerAndFit(sizer);
}

bool density_graph_dialog::write_png(const wxString& path) {
  // A dialog never shown may not have its final size yet: the image has the
  // plot's own size regardless.
  return plot_->WriteImage(path, wxBITMAP_TYPE_PNG, kPlotSize, false);
}
