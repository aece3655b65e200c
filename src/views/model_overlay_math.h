// The arithmetic of the overlays drawn from the shape model and the
// thickness engine: which data points the review view shows and in which
// colour, which of them a click picks, the thickness measurement's lines and
// marks, and the centre view's thickness key and line profile. Kept apart
// from the drawing so that it is tested without OpenGL.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"
#include "thickness/thickness.h"

class fit_model;
class thickness;

// A data point (mm) seen from the current frame through T (world cm to the
// frame's plane, cm): its frame pixel and its distance from the plane (cm).
struct data_point_on_frame {
  double x = 0.0, y = 0.0, z = 0.0;
};
data_point_on_frame data_point_position(const vec3_t& point_mm, const matrix4_t& t, double xscale,
                                        double yscale);
// Near the frame: within half a pixel width of the plane, or within
// `compounding` pixel widths (the Fit shape model page's display compounding).
bool data_point_near_frame(double z, double xscale, int32_t compounding);

// One data point drawn on the frame: dark red, or red when a model vertex
// currently matches it.
struct model_point_mark {
  int32_t index = 0;
  double x = 0.0, y = 0.0;
  bool matched = false;
};
// The data points near the frame in drawing order: every point that is not
// selected, then again every point that a model vertex matches within the
// page's search range (once per matching vertex).
std::vector<model_point_mark> model_point_marks(const fit_model& model, const matrix4_t& t,
                                                double xscale, double yscale,
                                                const std::vector<int32_t>& selected);

// The data points near the frame within r frame pixels of (x, y) that are not
// in `selected` (sorted); ascending.
std::vector<int32_t> data_points_hit(const fit_model& model, const matrix4_t& t, double xscale,
                                     double yscale, double x, double y, double r,
                                     const std::vector<int32_t>& selected);

// The last thickness measurement on the frame: the sample lines (line 0 the
// central one) and the fitted edges on the central line, in frame pixels.
struct thickness_mark {
  double x = 0.0, y = 0.0;
  bool pink = false;  // the endocortical transition
};
struct thickness_line_overlay {
  bool shown = false;
  std::vector<vec2_t> starts, ends;  // per line
  std::vector<thickness_mark> marks;
};
thickness_line_overlay thickness_overlay(const thickness& engine, int32_t current_frame);

// The centre view's thickness key for the Thickness page's display choice
// (RES_THICKNESS_DISP_MAP) and the scale resources: its lowest value, span,
// unit, tick decade and step, and the width of its label column in pixels
// for a font of height p.
struct thickness_key_scale {
  double low = 0.0;    // v: the value at the bottom of the colour bar
  double span = 0.0;   // s, at least 0.1
  double top = 0.0;    // v + s
  wxString unit;
  double decade = 0.0;  // 0.01, 0.1, 1, 10, ...
  double step = 0.0;    // between ticks
  int32_t column_width = 0;
};
thickness_key_scale thickness_key_scale_for(int32_t display, int32_t scale_mm, int32_t scale_hu,
                                            int32_t scale_humm, int32_t zero_hu,
                                            const wxString& units, int32_t font_size);
// The key's rows: "N/A", below and above the range, then the ticks.
struct thickness_key_label {
  int32_t row = 0;  // key row 0..330
  wxString text;
  bool tick = false;  // a tick: a line crosses the bar at this row
};
std::vector<thickness_key_label> thickness_key_labels(const thickness_key_scale& k);

// The measured or model samples as open lines: runs of samples above the
// no-value level (gaps taken from `measured`), each as x positions along the
// graph (x0, width gw) and the sample values.
struct profile_vertex {
  double x = 0.0, value = 0.0;
};
std::vector<std::vector<profile_vertex>> profile_runs(const std::vector<double>& samples,
                                                      const std::vector<double>& measured,
                                                      double no_value, int32_t x0, int32_t gw);
// The fitted step model as one open line of (x, level) vertices, x in pixels
// of a graph starting at x0 with width gw over the line's length.
std::vector<profile_vertex> step_model_line(const thickness& engine, int32_t x0, int32_t gw);
