// The plot window: a child window that draws a list of plot layers in data
// coordinates, with pan and zoom by mouse and wheel, a popup menu, optional
// scroll bars and back buffer, image export and printing.
#pragma once

#include <deque>
#include <memory>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/menu.h>
#include <wx/print.h>
#include <wx/window.h>

#include "plot/plot_axes.h"
#include "plot/plot_info.h"
#include "plot/plot_layers.h"
#include "plot/plot_math.h"
#include "plot/plot_shapes.h"

// Command ids of the popup menu.
enum {
  mpID_FIT = 2000,
  mpID_ZOOM_IN = 2001,
  mpID_ZOOM_OUT = 2002,
  mpID_CENTER = 2003,
  mpID_LOCKASPECT = 2004,
  mpID_HELP_MOUSE = 2005,
};

class mpWindow : public wxWindow {
 public:
  mpWindow();  // for dynamic creation: no native window, no menu items
  mpWindow(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
           const wxSize& size = wxDefaultSize, long style = 0);
  ~mpWindow() override;

  // Layers. Listed layers belong to the window.
  bool AppendLayer(mpLayer* layer, bool refresh = true);
  bool RemoveLayer(mpLayer* layer, bool del = false, bool refresh = true);
  void RemoveAllLayers(bool del = false, bool refresh = true);
  mpLayer* LayerAt(int index) const;
  mpLayer* FindLayer(const wxString& name) const;
  void ShowLayer(const wxString& name, bool show);
  void ShowLayerAt(int index, bool show);
  bool IsLayerShown(const wxString& name) const;
  bool IsLayerShownAt(int index) const;
  int CountPlotLayers() const;
  int CountAllLayers() const { return static_cast<int>(layers_.size()); }
  void DataExtent(double& min_x, double& max_x, double& min_y, double& max_y) const;

  void SetBorders(int top, int right, int bottom, int left);
  void SetXScale(double scale);
  void SetAspectLock(bool lock);
  bool IsAspectLocked() const { return view_.aspect_lock; }
  void SetDoubleBuffered(bool on) override { double_buffered_ = on; }
  bool IsDoubleBuffered() const override { return double_buffered_; }
  void SetMouseCommands(bool on) { mouse_commands_ = on; }
  void UseScrollBars(bool on);

  virtual bool RecomputeExtent();
  void Fit() override;
  void FitRange(double x_from, double x_to, double y_from, double y_to, int* print_w = nullptr,
                int* print_h = nullptr);

  void ZoomInAt(const wxPoint& at = wxDefaultPosition);
  void ZoomOutAt(const wxPoint& at = wxDefaultPosition);
  void ZoomInHorizontal();
  void ZoomOutHorizontal();
  void ZoomInVertical();
  void ZoomOutVertical();
  void ZoomInHorizontalAt(int column);
  void ZoomOutHorizontalAt(int column);
  void ZoomInVerticalAt(int row);
  void ZoomOutVerticalAt(int row);
  void ZoomToPixelRect(const wxPoint& p, const wxPoint& q);
  void ScrollTo(int position, int orientation);
  void Redraw();

  mpInfoLayer* InfoLayerAt(const wxPoint& p) const;
  void ApplyColours(const wxColour& background, const wxColour& foreground, const wxColour& axes);
  const wxColour& GetAxesColour() const { return axes_colour_; }

  // Draws the layers into an image file of the given type (BMP, TIFF, PNG or
  // JPEG). Only the handler of that type is looked up or added; the other
  // image handlers stay registered. The file is written beside the target
  // and renamed over it once complete.
  bool WriteImage(const wxString& path, wxBitmapType type, const wxSize& size = wxDefaultSize,
                  bool fit_to_extent = false);

  // Geometry shared with the layers.
  const mpView& View() const { return view_; }
  int x2p(double x) const { return view_.x2p(x); }
  int y2p(double y) const { return view_.y2p(y); }
  double p2x(int p) const { return view_.p2x(p); }
  double p2y(int p) const { return view_.p2y(p); }
  double GetScaleX() const { return view_.scale_x; }
  double GetScaleY() const { return view_.scale_y; }
  double GetPosX() const { return view_.pos_x; }
  double GetPosY() const { return view_.pos_y; }
  void GetViewRange(double& x_from, double& x_to, double& y_from, double& y_to) const;
  const wxPoint& GetPopupPosition() const { return popup_pos_; }
  wxMenu* GetPopupMenu() { return &popup_; }

 protected:
  // Shows the popup menu; a separate step so that a test can stand in for it.
  virtual void ShowPopupMenu(const wxPoint& at);

  void OnPaint(wxPaintEvent& event);
  void OnSize(wxSizeEvent& event);
  void OnScrollThumbTrack(wxScrollWinEvent& event);
  void OnScrollPageUp(wxScrollWinEvent& event);
  void OnScrollPageDown(wxScrollWinEvent& event);
  void OnScrollLineUp(wxScrollWinEvent& event);
  void OnScrollLineDown(wxScrollWinEvent& event);
  void OnScrollTop(wxScrollWinEvent& event);
  void OnScrollBottom(wxScrollWinEvent& event);
  void OnShowPopupMenu(wxMouseEvent& event);
  void OnMouseRightDown(wxMouseEvent& event);
  void OnMouseWheel(wxMouseEvent& event);
  void OnMouseMove(wxMouseEvent& event);
  void OnMouseLeftDown(wxMouseEvent& event);
  void OnMouseLeftRelease(wxMouseEvent& event);
  void OnCenter(wxCommandEvent& event);
  void OnFit(wxCommandEvent& event);
  void OnZoomIn(wxCommandEvent& event);
  void OnZoomOut(wxCommandEvent& event);
  void OnLockAspect(wxCommandEvent& event);
  void OnMouseHelp(wxCommandEvent& event);

 private:
  friend class mpPrintout;
  void build_popup_menu();
  void read_client_size();
  void update_scroll_bars();
  void render_layers(wxDC& dc);

  std::deque<mpLayer*> layers_;
  wxMenu popup_;
  wxColour background_colour_, foreground_colour_, axes_colour_;
  mpExtent extent_;
  mpView view_;
  wxPoint popup_pos_;
  std::unique_ptr<wxMemoryDC> buffer_dc_;
  std::unique_ptr<wxBitmap> buffer_bmp_;
  int buffer_w_ = 0, buffer_h_ = 0;
  bool double_buffered_ = false;
  bool mouse_commands_ = true;
  bool right_dragged_ = false;
  wxPoint right_press_;
  wxPoint left_press_;
  bool left_pressed_ = false;  // the left press came to this window
  bool scroll_bars_ = false;
  mpInfoLayer* dragged_info_ = nullptr;

  wxDECLARE_DYNAMIC_CLASS(mpWindow);
  wxDECLARE_EVENT_TABLE();
};

// Prints the plot on one page, inset 50 pixels on each side.
class mpPrintout : public wxPrintout {
 public:
  explicit mpPrintout(mpWindow* plot, const wxString& title = wxEmptyString);
  bool OnPrintPage(int page) override;
  bool HasPage(int page) override { return page == 1; }
  void GetPageInfo(int* min_page, int* max_page, int* from, int* to) override;

 private:
  mpWindow* plot_;
};
