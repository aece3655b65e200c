// The axis layers: a line with tick marks or a dotted grid, value labels
// thinned so that they never overlap, and the axis name.
#pragma once

#include "plot/plot_layers.h"

// Label types of a horizontal axis.
enum mpLabelType {
  mpX_NORMAL = 0,     // numbers
  mpX_TIME = 1,       // minutes:seconds, or hours:minutes:seconds beyond 120 s
  mpX_HOURS = 2,      // hours:minutes:seconds
  mpX_DATE = 3,       // year-month-day
  mpX_DATETIME = 4,   // year-month-dayThours:minutes:seconds
};

// Axis alignments (and where the axis name goes). The same values mean the
// matching side for both axes.
enum mpAxisAlignment {
  mpALIGN_TOP = 0,            // x: top margin
  mpALIGN_RIGHT = 0,          // y: right margin
  mpALIGN_CENTER = 1,         // through the data origin
  mpALIGN_BOTTOM = 2,         // x: bottom margin
  mpALIGN_LEFT = 2,           // y: left margin
  mpALIGN_NONE = 3,           // window edge, no name
  mpALIGN_BORDER_BOTTOM = 4,  // x: last row of the window
  mpALIGN_BORDER_LEFT = 4,    // y: column 1
  mpALIGN_BORDER_TOP = 5,     // x: row 1
  mpALIGN_BORDER_RIGHT = 5,   // y: last column of the window
};

class mpScaleX : public mpLayer {
 public:
  explicit mpScaleX(const wxString& name = "X", int alignment = mpALIGN_CENTER,
                    bool ticks = true, int label_type = mpX_NORMAL);
  bool HasExtent() const override { return false; }
  void Render(wxDC& dc, mpWindow& w) override;

  int GetAlign() const { return align_; }
  void SetAlign(int a) { align_ = a; }
  bool GetTicks() const { return ticks_; }
  void SetTicks(bool on) { ticks_ = on; }
  int GetLabelMode() const { return label_type_; }
  void SetLabelMode(int t) { label_type_ = t; }
  const wxString& GetLabelFormat() const { return format_; }
  void SetLabelFormat(const wxString& f) { format_ = f; }

 protected:
  int align_;
  bool ticks_;
  int label_type_;
  wxString format_;  // empty: automatic
  wxDECLARE_DYNAMIC_CLASS(mpScaleX);
};

class mpScaleY : public mpLayer {
 public:
  explicit mpScaleY(const wxString& name = "Y", int alignment = mpALIGN_CENTER,
                    bool ticks = true);
  bool HasExtent() const override { return false; }
  void Render(wxDC& dc, mpWindow& w) override;

  int GetAlign() const { return align_; }
  void SetAlign(int a) { align_ = a; }
  bool GetTicks() const { return ticks_; }
  void SetTicks(bool on) { ticks_ = on; }
  const wxString& GetLabelFormat() const { return format_; }
  void SetLabelFormat(const wxString& f) { format_ = f; }

 protected:
  int align_;
  bool ticks_;
  wxString format_;
  wxDECLARE_DYNAMIC_CLASS(mpScaleY);
};
