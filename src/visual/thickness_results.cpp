#include "visual/thickness_results.h"

#include <cmath>

#include "surfaces/surface_interp.h"
#include "thickness/thickness.h"

namespace {

constexpr double kMissing = 1e10;
// A Gaussian sigma times this is its full width at half maximum.
constexpr double kFwhm = 2.3548;

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

const wchar_t* const kThicknessColourMaps[7] = {
    L"Pink-yellow-green-blue", L"Div. warm-cool",      L"Div. tan-blue",           L"Div. red-yellow-blue",
    L"Div. orange-green",      L"Cubic yellow-purple", L"Cubic red-green-purple"};

single_line_result read_single_line(const thickness& e) {
  single_line_result r;
  r.valid = e.valid;
  // Statuses 1 to 3 are fits that succeeded; 4 and 5 failed fits.
  r.fit_succeeded = e.status >= 1 && e.status <= 3;
  r.outer = e.outer_edge;
  r.inner = e.inner_edge;
  r.outer_gap = e.outer_gap_edge;
  r.sigma = e.blur;
  r.endo = e.endo_end;
  r.cortical_density = e.cortical_density;
  r.inner_density = e.inner_density;
  r.residual = e.fit_error;
  r.edge_error = e.thickness_error;
  r.outer_gap_error = e.outer_gap_error;
  r.sigma_error = e.blur_error;
  r.endo_error = e.endo_error;
  r.cortical_density_error = e.cortical_density_error;
  r.inner_density_error = e.inner_density_error;
  r.gap = e.outer_layer;
  // Without a normal the line's own direction stands in for it.
  const bool has_normal = e.normal[0] != 0.0 || e.normal[1] != 0.0 || e.normal[2] != 0.0;
  r.along_normal = 10.0 * (has_normal ? dot(e.direction, e.normal) : dot(e.direction, e.direction));
  return r;
}

thickness_result_lines unmeasured_lines() {
  return {L"No optimisation performed", L"Thickness not measured",      L"FWHM blur not measured",
          L"Endo thickness not measured", L"Outer gap not measured",    L"Density not measured",
          L"Inner density not measured", L"Residual error not measured"};
}

thickness_result_lines single_line_lines(const single_line_result& r, const wxString& u) {
  if (!r.fit_succeeded)
    return {L"Optimisation failed",          L"Thickness not available",   L"FWHM blur not available",
            L"Endo thickness not available", L"Outer gap not available",   L"Density not available",
            L"Inner density not available",  L"Residual error not available"};
  const double D = r.along_normal;
  const double inner = r.endo_error == kMissing ? r.inner : (r.inner + r.endo) / 2.0;
  thickness_result_lines l;
  l[0] = L"Optimisation was successful";
  l[1] = wxString::Format("Thickness is %.2lf +/- %.2lf mm", (inner - r.outer) * D, D * r.edge_error);
  l[2] = r.sigma_error == kMissing ? wxString(L"FWHM blur not detected")
                                   : wxString::Format("FWHM blur is %.2lf +/- %.2lf mm", 10 * kFwhm * r.sigma,
                                                      10 * kFwhm * r.sigma_error);
  l[3] = r.endo_error == kMissing
             ? wxString(L"Endo thickness not detected")
             : wxString::Format("Endo thickness is %.2lf +/- %.2lf mm", (r.endo - r.inner) * D, D * r.endo_error);
  l[4] = !r.gap ? wxString(L"Outer gap not detected")
                : wxString::Format("Outer gap is %.2lf +/- %.2lf mm", (r.outer - r.outer_gap) * D,
                                   D * r.outer_gap_error);
  l[5] = r.cortical_density_error == kMissing
             ? wxString(L"Density not detected")
             : wxString::Format("Density is %.1lf +/- %.1lf %s", r.cortical_density, r.cortical_density_error, u);
  l[6] = r.inner_density_error == kMissing
             ? wxString(L"Inner density not detected")
             : wxString::Format("Inner density is %.1lf +/- %.1lf %s", r.inner_density, r.inner_density_error, u);
  l[7] = wxString::Format("Residual error is %.1lf %s", r.residual, u);
  return l;
}

namespace {

enum class average_state { failed, none, found };

// The error-weighted mean of values and its error; missing arrays fail.
average_state average(const std::vector<double>& values, const std::vector<double>& errors, double& mean,
                      double& error) {
  double sum = 0.0, weight = 0.0;
  if (!surface_interp::weighted_average(values, errors, sum, weight)) return average_state::failed;
  if (!(weight > 0.0)) return average_state::none;
  mean = sum / weight;
  error = 1.0 / std::sqrt(weight);
  return average_state::found;
}

}  // namespace

thickness_result_lines surface_average_lines(const wxString& name, const surface_interp* s, const wxString& u) {
  thickness_result_lines l = unmeasured_lines();
  l[0] = wxString::Format("Averages for %s:", name);
  if (!s) return l;
  struct row {
    int line;
    const std::vector<double>& values;
    const std::vector<double>& errors;
    const wchar_t* what;
  };
  const row rows[] = {{1, s->cortical_thickness, s->fit_error, L"Thickness"},
                      {2, s->blur, s->blur_error, L"FWHM blur"},
                      {3, s->endo_thickness, s->endo_error, L"Endo thickness"},
                      {4, s->outer_gap, s->outer_gap_error, L"Outer gap"},
                      {5, s->density, s->fit_error, L"Density"},
                      {6, s->inner_density, s->inner_density_error, L"Inner density"}};
  for (const row& r : rows) {
    double mean = 0.0, error = 0.0;
    const average_state state = average(r.values, r.errors, mean, error);
    if (state == average_state::failed) continue;  // the "not measured" text stays
    if (state == average_state::none) {
      l[r.line] = wxString::Format("%s not detected", r.what);
      continue;
    }
    switch (r.line) {
      case 2:
        l[2] = wxString::Format("FWHM blur is %.2lf +/- %.2lf mm", kFwhm * mean, kFwhm * error);
        break;
      case 5:
        l[5] = wxString::Format("Density is %.1lf %s", mean, u);
        break;
      case 6:
        l[6] = wxString::Format("Inner density is %.1lf +/- %.1lf %s", mean, error, u);
        break;
      default:
        l[r.line] = wxString::Format("%s is %.2lf +/- %.2lf mm", r.what, mean, error);
        break;
    }
  }
  return l;
}

std::array<wxString, 3> thickness_unit_labels(const wxString& u) {
  if (u == "GY")
    return {wxString::Format("Density range (%s) :", u), wxString::Format("Density offset (%s) :", u),
            wxString::Format("Mass range(10x %smm) :", u)};
  return {wxString::Format("Density range (100x %s) :", u), wxString::Format("Density offset (100x %s) :", u),
          wxString::Format("Mass range(1000x %smm) :", u)};
}

std::array<wxString, 10> thickness_display_names(const wxString& u) {
  return {L"thickness (mm)",
          wxString::Format("mass (%smm)", u),
          wxString::Format("density (%s)", u),
          L"FWHM blur (mm)",
          L"endocortical (mm)",
          wxString::Format("inner density (%s)", u),
          L"outer gap (mm)",
          wxString::Format("outer density (%s)", u),
          L"inner gap (mm)",
          L"offset (mm)"};
}
