#include "medical/bmd_calibration.h"

#include <algorithm>
#include <cmath>

#include "data/geometry.h"

namespace {

// Mindways compartments E, D, C, B, A.
constexpr double kSolidWater[5] = {923.2, 1119.5, 1103.6, 1057, 1012.2};
constexpr double kSolidK2hpo4[5] = {375.8, 157.0, 58.9, -53.4, -51.8};
constexpr double kLiquidK2hpo4[4] = {200, 100, 50, 0};
constexpr wchar_t kCompartment[5] = {L'E', L'D', L'C', L'B', L'A'};
// The solid phantom's water and K2HPO4 equivalents: the line through them is
// turned into HU per mg/cm^3 K2HPO4 by these constants.
constexpr double kSolidScaleShift = 0.2174;
constexpr double kSolidOffsetShift = 999.6;
// A scale at or below this (HU per mg/cm^3) means the values do not rise
// with density; densities computed with it would be meaningless.
constexpr double kMinScale = 1e-3;

const wchar_t* const kNoLandmarks =
    L"To calibrate for BMD, you need to position two landmarks in the phantom rods / compartments, one at each end "
    L"of the phantom, in the same frame. Ideally you should also locate two further landmarks at the same ends of the "
    L"phantom in another frame.";
const wchar_t* const kFourLandmarks =
    L"The first two landmarks should be at either end of the phantom in one frame and the next two at the same ends "
    L"of the phantom in another frame.";
const wchar_t* const kTwoLandmarks =
    L"The two landmarks should be in the same frame, one at either end of the phantom.";
const wchar_t* const kLandmarkOutside = L"Calibration is not possible: one of the landmarks is outside the CT data";
const wchar_t* const kRodOutside = L"Calibration is not possible: one of the rods is outside the CT data";
const wchar_t* const kNoSlope =
    L"Calibration is not possible: the values measured in the phantom do not rise with its density";

struct point_t {
  int32_t frame;
  vec2_t p;  // pixels
};

// A sample disc's running sum.
struct disc_t {
  double sum = 0.0;
  int64_t count = 0;
  double mean() const { return count ? sum / double(count) : 0.0; }
};

// Collects the landmark points in list order (see the header of the file):
// 2D landmarks on their own frame, other landmarks on every frame whose
// plane they lie within half a pixel of.
std::vector<point_t> landmark_points(const bmd_input& in) {
  const bool positions = in.position && in.frames > 0 && in.position(0) && in.position(in.frames - 1);
  matrix4_t calibration_inverse;
  matrix4_inverse_from_position_t(calibration_inverse, in.calibration);
  const size_t wanted = positions ? 4 : 2;
  std::vector<point_t> points;
  for (const landmark_t& l : in.landmarks) {
    if (points.size() >= wanted) break;
    if (l.kind == LM_2D) {
      points.push_back({int32_t(std::lround(l.z)), {l.x / in.xscale, l.y / in.yscale}});
      continue;
    }
    if (!positions) continue;
    for (int32_t i = 0; i < in.frames && points.size() < 4; ++i) {
      const position_t* p = in.position(i);
      if (!p) continue;
      matrix4_t position_inverse, m;
      matrix4_inverse_from_position_t(position_inverse, *p);
      matrix4_multiply(calibration_inverse, m, position_inverse);
      vec3_t q;
      matrix4_transform_point(q, m, vec3_t{l.x, l.y, l.z});
      if (std::fabs(q.z) < 0.5 * std::fabs(in.xscale)) points.push_back({i, {q.x / in.xscale, q.y / in.yscale}});
    }
  }
  return points;
}

// The row of the catalogue for an end-to-end length squared (cm^2); the
// class of 36 cm^2 has two rows, of which the first is returned.
const bmd_phantom& size_class(double length_sq) {
  for (const bmd_phantom& row : bmd_phantom::catalogue())
    if (length_sq > row.min_length_sq) return row;
  return bmd_phantom::catalogue().back();
}

// Least-squares line y = slope x + intercept.
void fit_line(const std::vector<double>& x, const std::vector<double>& y, double& slope, double& intercept) {
  const double n = double(x.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    sx += x[i];
    sy += y[i];
    sxx += x[i] * x[i];
    sxy += x[i] * y[i];
  }
  slope = (sxy - sx * sy / n) / (sxx - sx * sx / n);
  intercept = (sy - slope * sx) / n;
}

wxString rod_line(const wxString& name, double mean, double equation) {
  return wxString::Format(L"Mean CT value for %s is %.2lf HU, equation gives %.2lf HU", name, mean, equation);
}

class calibration {
 public:
  explicit calibration(const bmd_input& in)
      : in_(in), sx_(std::fabs(in.xscale)), sy_(std::fabs(in.yscale)) {}

  bmd_result run();

 private:
  // The side vector N(k) in pixels, built at right angles in centimetres;
  // its row component is never negative.
  vec2_t side(const vec2_t& d, double k) const {
    const vec2_t dc{d.x * sx_, d.y * sy_};
    const vec2_t nc = dc.x > 0 ? vec2_t{-dc.y / k, dc.x / k} : vec2_t{dc.y / k, -dc.x / k};
    return {nc.x / sx_, nc.y / sy_};
  }
  std::vector<vec2_t> sample_points(bmd_phantom::layout_t layout, double t) const;
  void sample(int32_t frame, const std::vector<vec2_t>& points, double radius);
  bmd_result fail(const wchar_t* message) const {
    bmd_result r;
    r.status = bmd_result::FAILED;
    r.message = message;
    return r;
  }

  const bmd_input& in_;
  double sx_, sy_;
  point_t p_[4];
  std::vector<disc_t> discs_;
};

std::vector<vec2_t> calibration::sample_points(bmd_phantom::layout_t layout, double t) const {
  const vec2_t s = (1 - t) * p_[0].p + t * p_[2].p;
  const vec2_t e = (1 - t) * p_[1].p + t * p_[3].p;
  const vec2_t d = (1 - t) * (p_[1].p - p_[0].p) + t * (p_[3].p - p_[2].p);
  const vec2_t m = 0.5 * (s + e);
  switch (layout) {
    case bmd_phantom::QRM_BDC_6: {
      const vec2_t n = side(d, 173);
      return {s, s + 0.2 * d + 4 * n, s + 0.4 * d + 6 * n, s + 0.6 * d + 6 * n, s + 0.8 * d + 4 * n, e};
    }
    case bmd_phantom::MINDWAYS: {
      const vec2_t n = side(d, 148);
      return {s, s + 0.25 * d + 3 * n, s + 0.5 * d + 5 * n, s + 0.75 * d + 3 * n, e};
    }
    case bmd_phantom::QRM_BDC_3:
    case bmd_phantom::IMAGE_ANALYSIS:
      // S, M, E and the points beyond E and beyond S by half the length.
      return {s, m, e, 1.5 * e - 0.5 * s, 1.5 * s - 0.5 * e};
    case bmd_phantom::OLD_IMAGE_ANALYSIS:
      return {s, m, e};
    case bmd_phantom::SIEMENS:
      return {s, e};
  }
  return {};
}

void calibration::sample(int32_t frame, const std::vector<vec2_t>& points, double radius) {
  if (frame < 0 || frame >= in_.frames) return;
  const uint16_t* raw = in_.raw(frame);
  if (!raw) return;
  const double r2 = radius * radius;
  const double rx = radius / sx_, ry = radius / sy_;
  for (size_t k = 0; k < points.size(); ++k) {
    const vec2_t& c = points[k];
    // Only the pixels of the disc's bounding box can lie inside it.
    const double x0 = std::max(0.0, std::ceil(c.x - rx)), x1 = std::min(double(in_.width - 1), std::floor(c.x + rx));
    const double y0 = std::max(0.0, std::ceil(c.y - ry)), y1 = std::min(double(in_.height - 1), std::floor(c.y + ry));
    if (!(x0 <= x1 && y0 <= y1)) continue;
    disc_t& disc = discs_[k];
    for (int32_t y = int32_t(y0); y <= int32_t(y1); ++y) {
      const double dy = (c.y - y) * sy_;
      const uint16_t* row = raw + size_t(y) * size_t(in_.width);
      for (int32_t x = int32_t(x0); x <= int32_t(x1); ++x) {
        const double dx = (c.x - x) * sx_;
        if (dx * dx + dy * dy < r2) {
          disc.sum += row[x] * in_.hum + in_.hub;
          ++disc.count;
        }
      }
    }
  }
}

bmd_result calibration::run() {
  if (in_.frames <= 0 || !in_.raw || !in_.raw(0) || in_.width <= 0 || in_.height <= 0) return {};
  if (!(sx_ > 0) || !(sy_ > 0)) return fail(kLandmarkOutside);

  // Pairs of ends.
  const std::vector<point_t> points = landmark_points(in_);
  if (points.size() == 4) {
    std::copy(points.begin(), points.end(), p_);
    if (p_[0].frame != p_[1].frame || p_[2].frame != p_[3].frame ||
        !(vec2_dot(p_[1].p - p_[0].p, p_[3].p - p_[2].p) > 0))
      return fail(kFourLandmarks);
    if (p_[0].frame > p_[2].frame) {
      std::swap(p_[0], p_[2]);
      std::swap(p_[1], p_[3]);
    }
  } else if (points.size() == 2) {
    if (points[0].frame != points[1].frame) return fail(kTwoLandmarks);
    p_[0] = p_[2] = points[0];
    p_[1] = p_[3] = points[1];
  } else {
    return fail(kNoLandmarks);
  }
  const int32_t fa = p_[0].frame, fb = p_[2].frame;

  const vec2_t v = p_[1].p - p_[0].p;
  const double length_sq = v.x * sx_ * v.x * sx_ + v.y * sy_ * v.y * sy_;
  const bmd_phantom* row = &size_class(length_sq);

  // Sampling.
  const size_t count = sample_points(row->layout, 0).size();
  discs_.assign(count, disc_t{});
  for (int32_t f = fa; f <= fb; ++f) {
    const double t = fb > fa ? double(f - fa) / double(fb - fa) : 0.0;
    sample(f, sample_points(row->layout, t), row->radius);
  }
  // Every point must have pixels, but of the size class of 36 cm^2 only S,
  // M and E: one of the points beyond the ends is water, chosen below.
  const size_t needed = row->layout == bmd_phantom::QRM_BDC_3 ? 3 : count;
  for (size_t k = 0; k < needed; ++k)
    if (discs_[k].count == 0) return fail(kLandmarkOutside);
  std::vector<double> m;
  for (const disc_t& d : discs_) m.push_back(d.mean());

  // Ordering, and the choice between the rows of one size.
  const auto& catalogue = bmd_phantom::catalogue();
  auto row_of = [&](bmd_phantom::layout_t layout, size_t skip) {
    for (const bmd_phantom& r : catalogue)
      if (r.layout == layout && skip-- == 0) return &r;
    return &catalogue.back();
  };
  bmd_result result;
  result.status = bmd_result::CALIBRATED;
  switch (row->layout) {
    case bmd_phantom::QRM_BDC_6:
      if (m[5] > m[0]) std::reverse(m.begin(), m.end());
      break;
    case bmd_phantom::MINDWAYS: {
      if (m[4] > m[0]) std::reverse(m.begin(), m.end());
      // Solid when the middle compartment stands well above the fourth;
      // equal ends of that ratio cannot tell, and the liquid fit then refuses.
      const double span = m[0] - m[3];
      const bool solid = span != 0 && (m[2] - m[3]) / span > 0.35;
      row = row_of(bmd_phantom::MINDWAYS, solid ? 0 : 1);
      break;
    }
    case bmd_phantom::QRM_BDC_3:
    case bmd_phantom::IMAGE_ANALYSIS:
      if (m[0] > m[1] && m[2] > m[1]) {
        row = row_of(bmd_phantom::QRM_BDC_3, 0);
        if (m[2] > m[0]) std::swap(m[0], m[2]);
        m.resize(3);
      } else {
        row = row_of(bmd_phantom::IMAGE_ANALYSIS, 0);
        // The water rod lies beyond the darker end.
        const size_t water = m[2] > m[0] ? 4 : 3;
        if (m[2] > m[0]) std::swap(m[0], m[2]);
        if (discs_[water].count == 0) return fail(kRodOutside);
        m = {m[0], m[1], m[2], m[water]};
      }
      break;
    case bmd_phantom::OLD_IMAGE_ANALYSIS:
      if (m[2] > m[0]) std::swap(m[0], m[2]);
      break;
    case bmd_phantom::SIEMENS:
      break;
  }
  result.phantom = row->name;

  // Fit.
  if (row->layout == bmd_phantom::SIEMENS) {
    result.offset = std::min(m[0], m[1]);
    result.scale = (std::max(m[0], m[1]) - result.offset) / 200.0;
  } else if (row == row_of(bmd_phantom::MINDWAYS, 0)) {  // solid
    std::vector<double> x(kSolidK2hpo4, kSolidK2hpo4 + 5), y(5);
    for (int k = 0; k < 5; ++k) y[size_t(k)] = m[size_t(k)] - kSolidWater[k];
    double slope, intercept;
    fit_line(x, y, slope, intercept);
    for (int k = 0; k < 5; ++k)
      result.report.push_back(rod_line(wxString(kCompartment[k]), m[size_t(k)],
                                       slope * kSolidK2hpo4[k] + kSolidWater[k] + intercept));
    result.scale = slope - kSolidScaleShift;
    result.offset = intercept + kSolidOffsetShift;
  } else if (row->layout == bmd_phantom::MINDWAYS) {
    std::vector<double> x(kLiquidK2hpo4, kLiquidK2hpo4 + 4), y(m.begin(), m.begin() + 4);
    double slope, intercept;
    fit_line(x, y, slope, intercept);
    for (int k = 0; k < 4; ++k)
      result.report.push_back(rod_line(wxString(kCompartment[k]), m[size_t(k)], slope * x[size_t(k)] + intercept));
    result.scale = slope;
    result.offset = intercept;
  } else {
    double slope, intercept;
    fit_line(row->density, m, slope, intercept);
    for (size_t k = 0; k < m.size(); ++k)
      result.report.push_back(rod_line(row->rod_name[k], m[k], slope * row->density[k] + intercept));
    result.scale = slope;
    result.offset = intercept;
  }
  if (!(result.scale > kMinScale) || !std::isfinite(result.offset)) return fail(kNoSlope);

  const wchar_t* density_line = L"HA-equivalent density for %.2lf HU is %.2lf mg/cc";
  if (row->layout == bmd_phantom::MINDWAYS)
    density_line = row == row_of(bmd_phantom::MINDWAYS, 0) ? L"K2HPO4-equivalent density for %.2lf HU is %.2lf mg/cc"
                                            : L"Liquid-derived K2HPO4-equivalent density for %.2lf HU is %.2lf mg/cc";
  result.report.push_back(
      wxString::Format(density_line, in_.cortical_hu, (in_.cortical_hu - result.offset) / result.scale));
  return result;
}

}  // namespace

const std::vector<bmd_phantom>& bmd_phantom::catalogue() {
  static const std::vector<bmd_phantom> rows = {
      {L"QRM-BDC 6 insert HA", QRM_BDC_6, 196, 0.5, {800, 600, 400, 200, 100, 0},
       {L"800 mg HA", L"600 mg HA", L"400 mg HA", L"200 mg HA", L"100 mg HA", L"0 mg HA"}},
      {L"Mindways Solid K2HPO4", MINDWAYS, 64, 0.5, {375.8, 157.0, 58.9, -53.4, -51.8}, {L"E", L"D", L"C", L"B", L"A"}},
      {L"Mindways Liquid K2HPO4", MINDWAYS, 64, 0.5, {200, 100, 50, 0}, {L"E", L"D", L"C", L"B"}},
      {L"QRM-BDC 3 insert HA", QRM_BDC_3, 36, 0.5, {200, 0, 100}, {L"200 mg HA", L"water", L"100 mg HA"}},
      {L"Image Analysis HA", IMAGE_ANALYSIS, 36, 0.5, {200, 100, 50, 0},
       {L"200 mg HA", L"100 mg HA", L"50 mg HA", L"water"}},
      {L"Old (?) Image Analysis HA", OLD_IMAGE_ANALYSIS, 17.64, 0.6, {150, 75, 0},
       {L"150 mg HA", L"75 mg HA", L"water"}},
      {L"Siemens Osteo HA", SIEMENS, -1, 0.6, {0, 200}, {L"darker end", L"brighter end"}},
  };
  return rows;
}

bmd_result bmd_calibrate(const bmd_input& in) { return calibration(in).run(); }
