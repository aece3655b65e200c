// A plot window of 800 x 400 pixels with the density graph's margins, shown
// in a frame under the test display, and helpers to drive it with events.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/panel.h>

#include "common/wx_events.h"
#include "plot/plot_window.h"

// A plot window whose popup menu is recorded instead of shown.
class recording_plot : public mpWindow {
 public:
  using mpWindow::mpWindow;
  std::vector<wxPoint> popups;

 protected:
  void ShowPopupMenu(const wxPoint& at) override { popups.push_back(at); }
};


class PlotWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_ = new wxFrame(nullptr, wxID_ANY, "plot", wxDefaultPosition, wxSize(1000, 600));
    auto* panel = new wxPanel(frame_);
    plot = new recording_plot(panel, wxID_ANY, wxPoint(0, 0), wxSize(800, 400));
    plot->SetBorders(30, 30, 50, 80);
    frame_->Show();
    pump_events();
    ASSERT_EQ(plot->GetClientSize(), wxSize(800, 400));
  }
  void TearDown() override {
    frame_->Destroy();
    pump_events();
  }

  void mouse(wxEventType type, int x, int y, bool left = false, bool right = false,
             int rotation = 0, bool ctrl = false, bool shift = false) {
    wxMouseEvent ev(type);
    ev.SetPosition(wxPoint(x, y));
    ev.SetLeftDown(left);
    ev.SetRightDown(right);
    ev.SetControlDown(ctrl);
    ev.SetShiftDown(shift);
    ev.m_wheelRotation = rotation;
    ev.m_wheelDelta = 120;
    ev.SetEventObject(plot);
    plot->GetEventHandler()->ProcessEvent(ev);
  }
  void command(int id) {
    wxCommandEvent ev(wxEVT_MENU, id);
    ev.SetEventObject(plot);
    plot->GetEventHandler()->ProcessEvent(ev);
  }

  recording_plot* plot = nullptr;

 private:
  wxFrame* frame_ = nullptr;
};

// A fresh empty folder for files written by a test, removed afterwards.
class scratch_dir {
 public:
  scratch_dir();
  ~scratch_dir();
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::vector<std::string> entries() const;

 private:
  std::string dir_;
};

// Colour of a pixel of an image.
struct rgb {
  int r, g, b;
  bool operator==(const rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool operator!=(const rgb& o) const { return !(*this == o); }
};
inline rgb pixel(const wxImage& img, int x, int y) {
  return {img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y)};
}
inline std::ostream& operator<<(std::ostream& os, const rgb& c) {
  return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}
