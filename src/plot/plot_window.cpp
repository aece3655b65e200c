#include "plot/plot_window.h"

#include <algorithm>

#include <wx/dcclient.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/mstream.h>

#include "data/file_save.h"

wxIMPLEMENT_DYNAMIC_CLASS(mpWindow, wxWindow);

// clang-format off
wxBEGIN_EVENT_TABLE(mpWindow, wxWindow)
  EVT_PAINT(mpWindow::OnPaint)
  EVT_SIZE(mpWindow::OnSize)
  EVT_SCROLLWIN_THUMBTRACK(mpWindow::OnScrollThumbTrack)
  EVT_SCROLLWIN_PAGEUP(mpWindow::OnScrollPageUp)
  EVT_SCROLLWIN_PAGEDOWN(mpWindow::OnScrollPageDown)
  EVT_SCROLLWIN_LINEUP(mpWindow::OnScrollLineUp)
  EVT_SCROLLWIN_LINEDOWN(mpWindow::OnScrollLineDown)
  EVT_SCROLLWIN_TOP(mpWindow::OnScrollTop)
  EVT_SCROLLWIN_BOTTOM(mpWindow::OnScrollBottom)
  EVT_MIDDLE_UP(mpWindow::OnShowPopupMenu)
  EVT_RIGHT_DOWN(mpWindow::OnMouseRightDown)
  EVT_RIGHT_UP(mpWindow::OnShowPopupMenu)
  EVT_MOUSEWHEEL(mpWindow::OnMouseWheel)
  EVT_MOTION(mpWindow::OnMouseMove)
  EVT_LEFT_DOWN(mpWindow::OnMouseLeftDown)
  EVT_LEFT_UP(mpWindow::OnMouseLeftRelease)
  EVT_MENU(mpID_CENTER, mpWindow::OnCenter)
  EVT_MENU(mpID_FIT, mpWindow::OnFit)
  EVT_MENU(mpID_ZOOM_IN, mpWindow::OnZoomIn)
  EVT_MENU(mpID_ZOOM_OUT, mpWindow::OnZoomOut)
  EVT_MENU(mpID_LOCKASPECT, mpWindow::OnLockAspect)
  EVT_MENU(mpID_HELP_MOUSE, mpWindow::OnMouseHelp)
wxEND_EVENT_TABLE()
// clang-format on

mpWindow::mpWindow() = default;

mpWindow::mpWindow(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size,
                   long style) {
  Create(parent, id, pos, size, style, "plotwindow");
  build_popup_menu();
  background_colour_ = *wxWHITE;
  foreground_colour_ = *wxBLACK;
  SetBackgroundColour(background_colour_);
  SetForegroundColour(foreground_colour_);
  SetMinSize(wxSize(128, 128));
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  if (RecomputeExtent() && scroll_bars_) update_scroll_bars();
  Refresh(false);
}

mpWindow::~mpWindow() {
  for (mpLayer* layer : layers_) delete layer;
  layers_.clear();
  if (buffer_dc_) buffer_dc_->SelectObject(wxNullBitmap);
}

void mpWindow::build_popup_menu() {
  popup_.Append(mpID_CENTER, "Center", "Center plot view to this position");
  popup_.Append(mpID_FIT, "Fit", "Set plot view to show all items");
  popup_.Append(mpID_ZOOM_IN, "Zoom in", "Zoom in plot view.");
  popup_.Append(mpID_ZOOM_OUT, "Zoom out", "Zoom out plot view.");
  popup_.AppendCheckItem(mpID_LOCKASPECT, "Lock aspect", "Lock horizontal and vertical zoom aspect.");
  popup_.Append(mpID_HELP_MOUSE, "Show mouse commands...", "Show help about the mouse commands.");
}

void mpWindow::read_client_size() { GetClientSize(&view_.width, &view_.height); }

// --- Layers --------------------------------------------------------------------------

bool mpWindow::AppendLayer(mpLayer* layer, bool refresh) {
  if (!layer) return false;
  layers_.push_back(layer);
  if (refresh) Redraw();
  return true;
}

bool mpWindow::RemoveLayer(mpLayer* layer, bool del, bool refresh) {
  auto it = std::find(layers_.begin(), layers_.end(), layer);
  if (it == layers_.end()) return false;
  layers_.erase(it);
  if (dragged_info_ == layer) dragged_info_ = nullptr;
  if (del) delete layer;
  if (refresh) Redraw();
  return true;
}

void mpWindow::RemoveAllLayers(bool del, bool refresh) {
  dragged_info_ = nullptr;
  while (!layers_.empty()) {
    mpLayer* layer = layers_.front();
    layers_.pop_front();
    if (del) delete layer;
  }
  if (refresh) Redraw();
}

mpLayer* mpWindow::LayerAt(int index) const {
  if (index < 0 || index >= static_cast<int>(layers_.size())) return nullptr;
  return layers_[index];
}

mpLayer* mpWindow::FindLayer(const wxString& name) const {
  for (mpLayer* layer : layers_)
    if (layer->GetName() == name) return layer;
  return nullptr;
}

void mpWindow::ShowLayer(const wxString& name, bool show) {
  if (mpLayer* layer = FindLayer(name)) {
    layer->SetVisible(show);
    Redraw();
  }
}

void mpWindow::ShowLayerAt(int index, bool show) {
  if (mpLayer* layer = LayerAt(index)) {
    layer->SetVisible(show);
    Redraw();
  }
}

bool mpWindow::IsLayerShown(const wxString& name) const {
  const mpLayer* layer = FindLayer(name);
  return layer && layer->IsVisible();
}

bool mpWindow::IsLayerShownAt(int index) const {
  const mpLayer* layer = LayerAt(index);
  return layer && layer->IsVisible();
}

int mpWindow::CountPlotLayers() const {
  return static_cast<int>(
      std::count_if(layers_.begin(), layers_.end(), [](mpLayer* l) { return l->HasExtent(); }));
}

void mpWindow::DataExtent(double& min_x, double& max_x, double& min_y, double& max_y) const {
  min_x = extent_.min_x;
  max_x = extent_.max_x;
  min_y = extent_.min_y;
  max_y = extent_.max_y;
}

void mpWindow::GetViewRange(double& x_from, double& x_to, double& y_from, double& y_to) const {
  x_from = view_.x_from;
  x_to = view_.x_to;
  y_from = view_.y_from;
  y_to = view_.y_to;
}

mpInfoLayer* mpWindow::InfoLayerAt(const wxPoint& p) const {
  for (mpLayer* layer : layers_) {
    if (!layer->IsInfoBox()) continue;
    auto* info = static_cast<mpInfoLayer*>(layer);
    if (info->ContainsPoint(p)) return info;
  }
  return nullptr;
}

// --- Settings ------------------------------------------------------------------------

void mpWindow::SetBorders(int top, int right, int bottom, int left) {
  view_.top = top;
  view_.right = right;
  view_.bottom = bottom;
  view_.left = left;
}

void mpWindow::SetXScale(double scale) {
  if (scale != 0) view_.scale_x = scale;
  Redraw();
}

void mpWindow::SetAspectLock(bool lock) {
  view_.aspect_lock = lock;
  if (popup_.FindItem(mpID_LOCKASPECT)) popup_.Check(mpID_LOCKASPECT, lock);
  FitRange(view_.x_from, view_.x_to, view_.y_from, view_.y_to);
}

void mpWindow::UseScrollBars(bool on) {
  scroll_bars_ = on;
  if (!on) {
    if (HasFlag(wxHSCROLL)) SetScrollbar(wxHORIZONTAL, 0, 0, 0);
    if (HasFlag(wxVSCROLL)) SetScrollbar(wxVERTICAL, 0, 0, 0);
  }
  Redraw();
}

void mpWindow::ApplyColours(const wxColour& background, const wxColour& foreground,
                            const wxColour& axes) {
  SetBackgroundColour(background);
  SetForegroundColour(foreground);
  background_colour_ = background;
  foreground_colour_ = foreground;
  axes_colour_ = axes;
  // A colour not yet set (the axes colour before the first call) leaves the
  // pens as they are rather than making them unusable.
  for (mpLayer* layer : layers_) {
    const int kind = layer->GetKind();
    if (kind != mpLAYER_AXIS && kind != mpLAYER_INFO) continue;
    const wxColour& colour = kind == mpLAYER_AXIS ? axes : foreground;
    if (!colour.IsOk()) continue;
    wxPen pen = layer->GetPen();
    pen.SetColour(colour);
    layer->SetPen(pen);
  }
}

// --- View ----------------------------------------------------------------------------

bool mpWindow::RecomputeExtent() {
  bool first = true;
  for (mpLayer* layer : layers_) {
    if (!layer->HasExtent()) continue;
    mp_extent_add(extent_, first, layer->MinX(), layer->MaxX(), layer->MinY(), layer->MaxY());
    first = false;
  }
  return !first;
}

void mpWindow::Fit() {
  if (RecomputeExtent()) FitRange(extent_.min_x, extent_.max_x, extent_.min_y, extent_.max_y);
}

void mpWindow::FitRange(double x_from, double x_to, double y_from, double y_to, int* print_w,
                        int* print_h) {
  const bool printing = print_w && print_h;
  if (printing) {
    view_.width = *print_w;
    view_.height = *print_h;
  } else {
    read_client_size();
  }
  view_.fit_range(x_from, x_to, y_from, y_to);
  if (!printing) Redraw();
}

void mpWindow::update_scroll_bars() {
  read_client_size();
  const mpScrollBar h = view_.horizontal_bar(extent_);
  const mpScrollBar v = view_.vertical_bar(extent_);
  // A window made without scroll-bar styles has none to set.
  if (HasFlag(wxHSCROLL)) SetScrollbar(wxHORIZONTAL, h.position, h.thumb, h.range, true);
  if (HasFlag(wxVSCROLL)) SetScrollbar(wxVERTICAL, v.position, v.thumb, v.range, true);
}

void mpWindow::Redraw() {
  if (RecomputeExtent() && scroll_bars_) update_scroll_bars();
  Refresh(false);
}

void mpWindow::ZoomInAt(const wxPoint& at) {
  wxPoint p = at;
  if (p == wxDefaultPosition) {
    read_client_size();
    p = wxPoint(view_.centre_column(), view_.centre_row());
  }
  view_.zoom_at(p.x, p.y, true);
  Redraw();
}

void mpWindow::ZoomOutAt(const wxPoint& at) {
  wxPoint p = at;
  if (p == wxDefaultPosition) {
    read_client_size();
    p = wxPoint(view_.centre_column(), view_.centre_row());
  }
  view_.zoom_at(p.x, p.y, false);
  Redraw();
}

void mpWindow::ZoomInHorizontal() {
  view_.scale_x *= mpView::zoom_factor;
  Redraw();
}

void mpWindow::ZoomOutHorizontal() {
  view_.scale_x /= mpView::zoom_factor;
  Redraw();
}

void mpWindow::ZoomInVertical() {
  view_.scale_y *= mpView::zoom_factor;
  Redraw();
}

void mpWindow::ZoomOutVertical() {
  view_.scale_y /= mpView::zoom_factor;
  Redraw();
}

void mpWindow::ZoomInHorizontalAt(int column) { view_.zoom_horizontal_at(column, true); }
void mpWindow::ZoomOutHorizontalAt(int column) { view_.zoom_horizontal_at(column, false); }
void mpWindow::ZoomInVerticalAt(int row) { view_.zoom_vertical_at(row, true); }
void mpWindow::ZoomOutVerticalAt(int row) { view_.zoom_vertical_at(row, false); }

void mpWindow::ZoomToPixelRect(const wxPoint& p, const wxPoint& q) {
  const double x1 = p2x(p.x), x2 = p2x(q.x);
  const double y1 = p2y(p.y), y2 = p2y(q.y);
  FitRange(std::min(x1, x2), std::max(x1, x2), std::min(y1, y2), std::max(y1, y2));
}

void mpWindow::ScrollTo(int position, int orientation) {
  view_.scroll_to(extent_, position, orientation == wxVERTICAL);
  Redraw();
}

// --- Drawing -------------------------------------------------------------------------

void mpWindow::render_layers(wxDC& dc) {
  for (mpLayer* layer : layers_) layer->Render(dc, *this);
}

void mpWindow::OnPaint(wxPaintEvent&) {
  wxPaintDC paint(this);
  paint.GetSize(&view_.width, &view_.height);
  wxDC* target = &paint;
  if (double_buffered_ && view_.width > 0 && view_.height > 0) {
    if (!buffer_dc_) buffer_dc_ = std::make_unique<wxMemoryDC>();
    if (view_.width != buffer_w_ || view_.height != buffer_h_ || !buffer_bmp_) {
      buffer_dc_->SelectObject(wxNullBitmap);
      buffer_bmp_ = std::make_unique<wxBitmap>(view_.width, view_.height);
      buffer_dc_->SelectObject(*buffer_bmp_);
      buffer_w_ = view_.width;
      buffer_h_ = view_.height;
    }
    target = buffer_dc_.get();
  }
  target->SetPen(*wxTRANSPARENT_PEN);
  target->SetBrush(wxBrush(GetBackgroundColour(), wxBRUSHSTYLE_SOLID));
  target->SetTextForeground(GetForegroundColour());
  target->DrawRectangle(0, 0, view_.width, view_.height);
  render_layers(*target);
  if (target != &paint) paint.Blit(0, 0, view_.width, view_.height, target, 0, 0);
}

void mpWindow::OnSize(wxSizeEvent&) { FitRange(view_.x_from, view_.x_to, view_.y_from, view_.y_to); }

namespace {

// The handler of one of the four export types, added when missing. Never
// touches the other registered handlers: the rest of the program loads and
// saves images through them.
bool ensure_image_handler(wxBitmapType type) {
  if (wxImage::FindHandler(type)) return true;
  wxImageHandler* handler = nullptr;
  switch (type) {
    case wxBITMAP_TYPE_BMP: handler = new wxBMPHandler; break;
    case wxBITMAP_TYPE_TIFF: handler = new wxTIFFHandler; break;
    case wxBITMAP_TYPE_PNG: handler = new wxPNGHandler; break;
    case wxBITMAP_TYPE_JPEG: handler = new wxJPEGHandler; break;
    default: return false;
  }
  wxImage::AddHandler(handler);
  return true;
}

bool is_export_type(wxBitmapType type) {
  return type == wxBITMAP_TYPE_BMP || type == wxBITMAP_TYPE_TIFF || type == wxBITMAP_TYPE_PNG ||
         type == wxBITMAP_TYPE_JPEG;
}

// Saves through the program's save helper, so that a failed save never
// leaves a half-written file where a good one was.
bool save_whole(const wxImage& image, const wxString& path, wxBitmapType type) {
  // In memory first: the TIFF writer seeks in its output.
  wxMemoryOutputStream out;
  bool ok = image.SaveFile(out, type) && out.IsOk();
  if (ok) {
    std::string bytes(out.GetLength(), '\0');
    if (!bytes.empty()) out.CopyTo(&bytes[0], bytes.size());
    ok = save_file(path, bytes);
  }
  if (!ok) wxLogError("Could not write the image file \"%s\".", path);
  return ok;
}

}  // namespace

bool mpWindow::WriteImage(const wxString& path, wxBitmapType type, const wxSize& size,
                          bool fit_to_extent) {
  if (!is_export_type(type)) return false;
  const bool size_given = size != wxDefaultSize;
  wxSize image_size = size;
  if (!size_given) GetClientSize(&image_size.x, &image_size.y);
  if (image_size.x <= 0 || image_size.y <= 0) return false;

  wxBitmap bitmap(image_size.x, image_size.y);
  if (!bitmap.IsOk()) return false;
  {
    wxMemoryDC dc(bitmap);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(GetBackgroundColour(), wxBRUSHSTYLE_SOLID));
    dc.SetTextForeground(GetForegroundColour());
    dc.DrawRectangle(0, 0, image_size.x, image_size.y);
    int w = image_size.x, h = image_size.y;
    if (fit_to_extent)
      FitRange(extent_.min_x, extent_.max_x, extent_.min_y, extent_.max_y, &w, &h);
    else
      FitRange(view_.x_from, view_.x_to, view_.y_from, view_.y_to, &w, &h);
    render_layers(dc);
    dc.SelectObject(wxNullBitmap);
  }
  if (size_given) FitRange(view_.x_from, view_.x_to, view_.y_from, view_.y_to);

  wxImage image = bitmap.ConvertToImage();
  if (!ensure_image_handler(type)) return false;
  if (type == wxBITMAP_TYPE_JPEG) image.SetOption(wxIMAGE_OPTION_QUALITY, 95);
  return save_whole(image, path, type);
}

// --- Mouse ---------------------------------------------------------------------------

void mpWindow::ShowPopupMenu(const wxPoint& at) { PopupMenu(&popup_, at); }

void mpWindow::OnMouseRightDown(wxMouseEvent& event) {
  right_dragged_ = false;
  right_press_ = event.GetPosition();
  if (mouse_commands_) SetCursor(wxCursor(wxCURSOR_CROSS));
}

void mpWindow::OnShowPopupMenu(wxMouseEvent& event) {
  if (mouse_commands_) SetCursor(wxCursor(wxCURSOR_ARROW));
  if (right_dragged_) return;
  popup_pos_ = event.GetPosition();
  ShowPopupMenu(popup_pos_);
}

void mpWindow::OnMouseMove(wxMouseEvent& event) {
  if (!mouse_commands_) {
    event.Skip();
    return;
  }
  if (event.RightIsDown()) {
    right_dragged_ = true;
    view_.drag(right_press_.x, right_press_.y, event.GetX(), event.GetY());
    right_press_ = event.GetPosition();
    Redraw();
  } else if (event.LeftIsDown()) {
    if (dragged_info_) {
      dragged_info_->MoveBy(event.GetPosition() - left_press_);
    } else {
      wxClientDC dc(this);
      dc.SetPen(wxPen(*wxBLACK, 1, wxPENSTYLE_DOT));
      dc.SetBrush(*wxTRANSPARENT_BRUSH);
      dc.DrawRectangle(left_press_.x, left_press_.y, event.GetX() - left_press_.x,
                       event.GetY() - left_press_.y);
    }
    Redraw();
  } else {
    for (mpLayer* layer : layers_) {
      if (!layer->IsInfoBox() || !layer->IsVisible()) continue;
      auto* info = static_cast<mpInfoLayer*>(layer);
      info->UpdateContent(*this, event);
      RefreshRect(info->GetRectangle(), true);
    }
  }
}

void mpWindow::OnMouseWheel(wxMouseEvent& event) {
  if (!mouse_commands_) {
    event.Skip();
    return;
  }
  const int rotation = event.GetWheelRotation();
  if (event.ControlDown()) {
    if (rotation > 0)
      ZoomInAt(event.GetPosition());
    else
      ZoomOutAt(event.GetPosition());
    return;
  }
  view_.wheel_scroll(rotation, event.ShiftDown());
  Redraw();
}

void mpWindow::OnMouseLeftDown(wxMouseEvent& event) {
  left_press_ = event.GetPosition();
  left_pressed_ = true;
  dragged_info_ = InfoLayerAt(left_press_);
  event.Skip();
}

void mpWindow::OnMouseLeftRelease(wxMouseEvent& event) {
  const wxPoint release = event.GetPosition();
  if (dragged_info_) {
    dragged_info_->FixReference();
    dragged_info_ = nullptr;
  } else if (left_pressed_ && release != left_press_) {
    // A release whose press went to another window (a double click in a
    // dialog above the plot, say) is no rectangle.
    ZoomToPixelRect(left_press_, release);
  }
  left_pressed_ = false;
  event.Skip();
}

// --- Scroll bars ---------------------------------------------------------------------

void mpWindow::OnScrollThumbTrack(wxScrollWinEvent& event) {
  ScrollTo(event.GetPosition(), event.GetOrientation());
}

void mpWindow::OnScrollPageUp(wxScrollWinEvent& event) {
  const int o = event.GetOrientation();
  ScrollTo(std::max(0, GetScrollPos(o) - GetScrollThumb(o)), o);
}

void mpWindow::OnScrollPageDown(wxScrollWinEvent& event) {
  const int o = event.GetOrientation();
  ScrollTo(std::min(GetScrollRange(o) - GetScrollThumb(o), GetScrollPos(o) + GetScrollThumb(o)), o);
}

void mpWindow::OnScrollLineUp(wxScrollWinEvent& event) {
  const int o = event.GetOrientation();
  ScrollTo(std::max(0, GetScrollPos(o) - 10), o);
}

void mpWindow::OnScrollLineDown(wxScrollWinEvent& event) {
  const int o = event.GetOrientation();
  ScrollTo(std::min(GetScrollRange(o) - GetScrollThumb(o), GetScrollPos(o) + 10), o);
}

void mpWindow::OnScrollTop(wxScrollWinEvent& event) { ScrollTo(0, event.GetOrientation()); }

void mpWindow::OnScrollBottom(wxScrollWinEvent& event) {
  const int o = event.GetOrientation();
  ScrollTo(GetScrollRange(o) - GetScrollThumb(o), o);
}

// --- Popup commands ------------------------------------------------------------------

void mpWindow::OnCenter(wxCommandEvent&) {
  read_client_size();
  view_.centre_on(popup_pos_.x, popup_pos_.y);
  Redraw();
}

void mpWindow::OnFit(wxCommandEvent&) { Fit(); }
void mpWindow::OnZoomIn(wxCommandEvent&) { ZoomInAt(right_press_); }
void mpWindow::OnZoomOut(wxCommandEvent&) { ZoomOutAt(wxDefaultPosition); }
void mpWindow::OnLockAspect(wxCommandEvent&) { SetAspectLock(!view_.aspect_lock); }

void mpWindow::OnMouseHelp(wxCommandEvent&) {
  wxMessageBox(
      "Supported Mouse commands:\n"
      "         - Left button down + Mark area: Rectangular zoom\n"
      "         - Right button down + Move: Pan (Move)\n"
      "         - Wheel: Vertical scroll\n"
      "         - Wheel + SHIFT: Horizontal scroll\n"
      "         - Wheel + CTRL: Zoom in/out",
      "Plot help", wxOK, this);
}

// --- Printing ------------------------------------------------------------------------

mpPrintout::mpPrintout(mpWindow* plot, const wxString& title) : wxPrintout(title), plot_(plot) {}

void mpPrintout::GetPageInfo(int* min_page, int* max_page, int* from, int* to) {
  *min_page = *max_page = *from = *to = 1;
}

bool mpPrintout::OnPrintPage(int page) {
  wxDC* dc = GetDC();
  if (!dc || !plot_ || page != 1) return true;
  int dc_w, dc_h;
  dc->GetSize(&dc_w, &dc_h);
  const mpPageLayout layout = mp_page_layout(dc_w, dc_h);
  if (!layout.usable) return true;  // a page smaller than its inset has no room
  dc->SetDeviceOrigin(layout.origin_x, layout.origin_y);
  mpView& v = plot_->view_;
  int w = layout.width, h = layout.height;
  plot_->FitRange(v.x_from, v.x_to, v.y_from, v.y_to, &w, &h);
  const wxColour background = plot_->background_colour_;
  const wxColour foreground = plot_->foreground_colour_;
  const wxColour axes = plot_->axes_colour_;
  dc->SetPen(*wxTRANSPARENT_PEN);
  dc->SetBrush(*wxWHITE_BRUSH);
  dc->DrawRectangle(0, 0, w, h);
  plot_->render_layers(*dc);
  plot_->ApplyColours(background, foreground, axes);
  plot_->FitRange(v.x_from, v.x_to, v.y_from, v.y_to);
  plot_->Redraw();
  return true;
}
