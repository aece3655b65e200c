// The cortical density estimation command around the mapping: overrides,
// the two modes, the result and the graphs' curves.
#include "thickness/density_estimation.h"

#include <cmath>

#include <wx/filename.h>

#include "data/file_save.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"

namespace {

constexpr double kNoValue = 1e10;

// erf(0.01 k), k = 0 .. 299, to six decimals.
const std::vector<double>& erf_table() {
  static const std::vector<double> table = [] {
    std::vector<double> t(300);
    for (int k = 0; k < 300; ++k) t[size_t(k)] = std::round(std::erf(0.01 * k) * 1e6) / 1e6;
    return t;
  }();
  return table;
}

// The settings the command overrides, as they were.
struct saved_settings {
  double gauss, rect, a, b, c;
  bool in_frame, post_blur, local_density, fwhm, threshold, endo, inner_layer, outer_layer;

  explicit saved_settings(const resource_table_t& t)
      : gauss(t.RES_THICKNESS_GAUSS->read()),
        rect(t.RES_THICKNESS_RECT->read()),
        a(t.RES_THICKNESS_A->read()),
        b(t.RES_THICKNESS_B->read()),
        c(t.RES_THICKNESS_C->read()),
        in_frame(t.RES_THICKNESS_IN_FRAME->read()),
        post_blur(t.RES_THICKNESS_POST_BLUR->read()),
        local_density(t.RES_THICKNESS_LOCAL_DENSITY->read()),
        fwhm(t.RES_THICKNESS_FWHM->read()),
        threshold(t.RES_THICKNESS_THRESHOLD->read()),
        endo(t.RES_THICKNESS_ENDO_MODEL->read()),
        inner_layer(t.RES_THICKNESS_INNER_LAYER->read()),
        outer_layer(t.RES_THICKNESS_OUTER_LAYER->read()) {}

  void write(resource_table_t& t) const {
    t.RES_THICKNESS_GAUSS->write_no_changeprocs(gauss);
    t.RES_THICKNESS_RECT->write_no_changeprocs(rect);
    t.RES_THICKNESS_A->write_no_changeprocs(a);
    t.RES_THICKNESS_C->write_no_changeprocs(c);
    t.RES_THICKNESS_IN_FRAME->write_no_changeprocs(in_frame);
    t.RES_THICKNESS_POST_BLUR->write_no_changeprocs(post_blur);
    t.RES_THICKNESS_LOCAL_DENSITY->write_no_changeprocs(local_density);
    t.RES_THICKNESS_FWHM->write_no_changeprocs(fwhm);
    t.RES_THICKNESS_THRESHOLD->write_no_changeprocs(threshold);
    t.RES_THICKNESS_ENDO_MODEL->write_no_changeprocs(endo);
    t.RES_THICKNESS_INNER_LAYER->write_no_changeprocs(inner_layer);
    t.RES_THICKNESS_OUTER_LAYER->write_no_changeprocs(outer_layer);
    t.RES_THICKNESS_B->write(b);
    base_res_t::make_pending_writes_happen();
  }
};

surface_interp* surface_of(const resource_table_t& t, long object) {
  if (object < 0 || object >= resource_table_t::kSurfaceCount || !t.RES_SURFACE[object])
    return nullptr;
  surface_interp* s = t.RES_SURFACE[object]->read();
  return s && s->get_mesh()->n_points > 0 ? s : nullptr;
}

long object_limit(const resource_table_t& t) {
  return std::min<long>(t.CURRENT_MAX_OBJECTS->read(), resource_table_t::kSurfaceCount - 1);
}

// The current surface, or every surface, mapped in turn.
void map_surfaces(resource_table_t& t, density_estimation_ui& ui, thickness_estimation* e) {
  const long current = t.RES_THICKNESS_SURF->read();
  if (current != -1) {
    if (surface_interp* s = surface_of(t, current)) s->calc_thickness(ui.hooks(), e);
    return;
  }
  for (long i = 0; i < object_limit(t); ++i)
    if (surface_interp* s = surface_of(t, i)) s->calc_thickness(ui.hooks(), e);
}

// Shows kind on every surface and writes each surface resource again.
void redisplay_surfaces(resource_table_t& t, long kind) {
  for (long i = 0; i < object_limit(t); ++i)
    if (surface_interp* s = surface_of(t, i)) {
      s->select_display_data(int(kind), nullptr, nullptr, nullptr);
      t.RES_SURFACE[i]->write(s);
    }
  base_res_t::make_pending_writes_happen();
}

// Per bin j the mean and the spread of the apparent peak densities.
struct bin_stats {
  double mean = 0.0, spread = 0.0, count = 0.0;
};

bin_stats stats(const thickness_estimation& e, int32_t j) {
  bin_stats b;
  b.count = e.W[j];
  const double c = std::fabs(b.count);
  if (c == 0.0) return b;
  b.mean = e.S[j] / c;
  const double v = e.Q[j] / c - b.mean * b.mean;
  b.spread = v > 0.0 ? std::sqrt(v) : v;
  return b;
}

}  // namespace

double apparent_peak_density(double x, double s, double D, double B, int32_t bin) {
  const double u = x / (std::sqrt(2.0) * s);
  const double place = u / 0.02;
  if (!(place > -1e300)) return B;
  const double k = std::floor(place);
  const double f = place - k;
  if (k < 0 || bin == 0) return B;
  if (k < 299) {
    const std::vector<double>& E = erf_table();
    return B + (D - B) * ((1 - f) * E[size_t(k)] + f * E[size_t(k) + 1]);
  }
  return D;
}

density_graph make_density_graph(const thickness_estimation& e, int32_t last_bin, bool raw,
                                 const wxString& units, const wxString& text) {
  density_graph g;
  g.raw = raw;
  g.text = text;
  const double D = e.real_density, B = e.background, s = e.blur;
  g.x_title = raw ? wxString::Format("Thickness presuming 1000 %s density (mm)", units)
                  : wxString("Real thickness (mm)");
  g.y_title = wxString::Format("Apparent peak density (%s)", units);
  g.presumed.name = "Presumed cortical density";
  g.lower.name = "Lower density boundary";
  g.upper.name = "Upper density boundary";
  g.outliers.name = "Density outlier";
  g.used.name = raw ? "Density measurement" : "Used density measurement";
  g.theory.name = "Theoretical relationship";
  const double scale = raw ? 1000.0 : D - B;
  for (int32_t j = 0; j <= last_bin && j < thickness_estimation::kBins; ++j) {
    const double x = j * 150.0 / scale;
    if (!raw) {
      g.presumed.x.push_back(x), g.presumed.y.push_back(D);
      g.theory.x.push_back(x), g.theory.y.push_back(apparent_peak_density(x, s, D, B, j));
    }
    const bin_stats b = stats(e, j);
    if (b.count == 0.0) continue;
    g.lower.x.push_back(x), g.lower.y.push_back(b.mean - b.spread);
    g.upper.x.push_back(x), g.upper.y.push_back(b.mean + b.spread);
    density_curve& points = raw || b.count > 0.0 ? g.used : g.outliers;
    points.x.push_back(x), points.y.push_back(b.mean);
  }
  return g;
}

density_estimation_outcome estimate_cortical_density(density_estimation_ui& ui) {
  density_estimation_outcome out;
  if (!resource_table) return out;
  resource_table_t& t = *resource_table;
  const bool in_script = t.RES_IN_SCRIPT->read();
  if (in_script) ui.select_page();

  // Overrides; the last write commits them all.
  const saved_settings saved(t);
  saved_settings restore = saved;
  t.RES_THICKNESS_RECT->write_no_changeprocs(kNoValue);
  t.RES_THICKNESS_GAUSS->write_no_changeprocs(kNoValue);
  for (bool_res_t* r : {t.RES_THICKNESS_IN_FRAME, t.RES_THICKNESS_POST_BLUR,
                        t.RES_THICKNESS_LOCAL_DENSITY, t.RES_THICKNESS_THRESHOLD,
                        t.RES_THICKNESS_ENDO_MODEL, t.RES_THICKNESS_INNER_LAYER,
                        t.RES_THICKNESS_OUTER_LAYER})
    r->write_no_changeprocs(false);
  for (double_res_t* r : {t.RES_THICKNESS_A, t.RES_THICKNESS_C, t.RES_THICKNESS_C_AVERAGE,
                          t.RES_THICKNESS_A_AVERAGE})
    r->write_no_changeprocs(kNoValue);
  t.RES_THICKNESS_B->write(kNoValue);
  base_res_t::make_pending_writes_happen();

  const bool global_mode = saved.local_density;
  out.estimation_mode = !global_mode;
  t.RES_THICKNESS_FWHM->write(!global_mode);
  base_res_t::make_pending_writes_happen();
  const long current = t.RES_THICKNESS_SURF->read();

  if (global_mode) {
    map_surfaces(t, ui, nullptr);
    const long smooth = t.RES_THICKNESS_SMOOTH->read(), fill = t.RES_THICKNESS_SMOOTH_FILL->read();
    t.RES_THICKNESS_SMOOTH->write(8);
    t.RES_THICKNESS_SMOOTH_FILL->write(100);
    base_res_t::make_pending_writes_happen();
    // The strongly smoothed density becomes each surface's density; where
    // the smoothing found nothing to spread, the vertex stays without one.
    for (long i = 0; i < object_limit(t); ++i) {
      surface_interp* s = surface_of(t, i);
      if (!s) continue;
      std::vector<double> errors;
      const bool shown = s->select_display_data(kind_density, nullptr, nullptr, &errors);
      t.RES_SURFACE[i]->write(s);
      if (current != -1 && i != current) continue;
      if (!shown) continue;
      const size_t n = size_t(s->mesh.n_points);
      if (s->smoothed_thickness.size() != n) continue;
      s->density = s->smoothed_thickness;
      s->fit_error.assign(n, 1.0);
      if (errors.size() == n)
        for (size_t k = 0; k < n; ++k)
          if (errors[k] == kNoValue) s->fit_error[k] = kNoValue;
      for (std::vector<double>* a :
           {&s->cortical_thickness, &s->surface_offset, &s->segment_length, &s->blur,
            &s->blur_error, &s->endo_thickness, &s->endo_error, &s->outer_gap, &s->outer_gap_error,
            &s->inner_gap, &s->inner_gap_error, &s->inner_density, &s->inner_density_error,
            &s->outer_density})
        std::vector<double>().swap(*a);
    }
    base_res_t::make_pending_writes_happen();
    t.RES_THICKNESS_SMOOTH->write(smooth);
    t.RES_THICKNESS_SMOOTH_FILL->write(fill);
    base_res_t::make_pending_writes_happen();
  } else {
    thickness_estimation e;
    e.real_density = 1400.0;
    e.background = 0.0;
    e.blur = 2.0;
    map_surfaces(t, ui, &e);
    int32_t last = 0;
    for (int32_t j = 0; j < thickness_estimation::kBins; ++j)
      if (e.W[j] > 0.0) last = j;
    double si = 0.0, so = 0.0;
    const double* b = e.blur_sums;
    thickness_blur_regression(b[1], b[2], b[0], b[3], b[4], si, so);
    const wxString units = t.RES_DICOM_UNITS->read();
    out.succeeded = e.successes > 0 && e.status >= 1 && e.status <= 3;
    if (!out.succeeded) {
      if (!in_script && ui.ask("Cortical density estimation failed.\n\nShow raw data?"))
        ui.graph(make_density_graph(e, last, true, units, wxEmptyString), true, wxEmptyString);
    } else {
      const double sd = std::sqrt(e.density_variance);
      out.result = wxString::Format(
          "Estimated real cortical density is %.0lf+/-%.0lf %s (background %.0lf+/-%.0lf %s). "
          "\nEstimated FWHM blur is %.2lf (modelled) or %.2lf mm (in), %.2lf mm (out).",
          e.real_density, 2.0 * sd, units, e.background, 2.0 * std::sqrt(e.background_variance),
          units, 2.3548 * e.blur, 2.3548 * si, 2.3548 * so);
      const bool doubtful = sd > 40.0 || e.real_density - e.background > 5000.0;
      const wxString question =
          out.result + (doubtful ? "\n\nThese results are unlikely to be accurate.\nConfirm using "
                                   "the graphical results?"
                                 : "\n\nShow graphical results?");
      if (in_script || ui.ask(question)) {
        wxString png;
        const wxFileName data = t.RES_ASCII_FILENAME->read();
        if (!data.GetName().empty()) {
          wxString stub = wxFileName(data.GetPath(), data.GetName()).GetFullPath();
          if (current != -1) {
            wxString name;
            if (const contour_object* objects = t.RES_OBJECT->read())
              if (current >= 0 && current <= 200) name = objects[current].name;
            stub += "_" + safe_file_name_part(name, int(current));
          }
          png = stub + "_density.png";
        }
        ui.graph(make_density_graph(e, last, false, units, out.result), !in_script, png);
      }
      redisplay_surfaces(t, t.RES_THICKNESS_DISP_MAP->read());
      ui.enable_convert(t.RES_THICKNESS_TYPE->read() == 0);
      restore.b = e.real_density;
      out.density = e.real_density;
      out.background = e.background;
      out.blur = e.blur;
      out.in_plane = si;
      out.out_of_plane = so;
      // The estimated blurs replace the user's only when both were found.
      if (saved.post_blur && si > 0.0 && so > 0.0) {
        restore.gauss = si / 10.0;
        restore.rect = so / 10.0;
      }
    }
  }
  restore.write(t);
  return out;
}
