#include "views/reslice_raster.h"

#include <wx/log.h>

#include <algorithm>

namespace reslice_raster {

namespace {

// Edges of the box that share a face with each edge, in increasing order.
constexpr int kAdjacent[12][6] = {
    {1, 2, 4, 5, 8, 9},  {0, 3, 4, 5, 10, 11}, {0, 3, 6, 7, 8, 9},  {1, 2, 6, 7, 10, 11},
    {0, 1, 5, 6, 8, 10}, {0, 1, 4, 7, 9, 11},  {2, 3, 4, 7, 8, 10}, {2, 3, 5, 6, 9, 11},
    {0, 2, 4, 6, 9, 10}, {0, 2, 5, 7, 8, 11},  {1, 3, 4, 6, 8, 11}, {1, 3, 5, 7, 9, 10},
};

vec3_t to_cm(const vec3_t& v, const frame_box& box) { return {v.x * box.xs, v.y * box.ys, v.z}; }

}  // namespace

int frame_box_crossings(const vec3_t& origin, const vec3_t& column_step, const vec3_t& row_step,
                        vec2_t points[12], int slots[12], const frame_box& box) {
  const vec3_t o = to_cm(origin, box), c = to_cm(column_step, box), r = to_cm(row_step, box);
  const vec3_t n = vec3_cross(c, r);
  const double cc = vec3_dot(c, c), rr = vec3_dot(r, r);
  if (cc == 0.0 || rr == 0.0) return 0;
  const double d = vec3_dot(n, o);
  const double X = box.box_x, Y = box.box_y, a = box.a;

  int count = 0;
  auto accept = [&](int edge, const vec3_t& p) {
    const vec3_t q = p - o;
    points[count] = {vec3_dot(q, c) / cc, vec3_dot(q, r) / rr};
    slots[edge] = count++;
  };
  for (int e = 0; e < 12; ++e) {
    if (e < 4) {  // along z at (x, y)
      if (n.z == 0.0) continue;
      const double x = (e & 2) ? X : 0.0, y = (e & 1) ? Y : 0.0;
      const double t = (d - n.x * x - n.y * y) / n.z;
      if (t >= -a && t <= a) accept(e, {x, y, t});
    } else if (e < 8) {  // along y at (x, z)
      if (n.y == 0.0) continue;
      const double x = (e & 2) ? X : 0.0, z = (e & 1) ? a : -a;
      const double t = (d - n.x * x - n.z * z) / n.y;
      if (t >= 0.0 && t <= Y) accept(e, {x, t, z});
    } else {  // along x at (y, z)
      if (n.x == 0.0) continue;
      const double y = (e & 2) ? Y : 0.0, z = (e & 1) ? a : -a;
      const double t = (d - n.y * y - n.z * z) / n.x;
      if (t >= 0.0 && t <= X) accept(e, {t, y, z});
    }
  }
  return count;
}

void order_intersections(vec2_t points[12], int slots[12], int count) {
  if (count <= 0) return;
  vec2_t ordered[12];
  auto first_held = [&]() {
    for (int e = 0; e < 12; ++e)
      if (slots[e] >= 0) return e;
    return -1;
  };
  int edge = first_held();
  if (edge < 0) {
    wxLogWarning("Mistake 2 in order_intersections");
    for (int i = 0; i < count; ++i) points[i] = {0.0, 0.0};
    return;
  }
  int emitted = 0;
  ordered[emitted++] = points[slots[edge]];
  slots[edge] = -1;
  while (emitted < count) {
    int next = -1;
    for (int adj : kAdjacent[edge])
      if (slots[adj] >= 0) {
        next = adj;
        break;
      }
    if (next < 0) next = first_held();
    if (next < 0) break;
    ordered[emitted++] = points[slots[next]];
    slots[next] = -1;
    edge = next;
  }
  for (int i = 0; i < emitted; ++i) points[i] = ordered[i];
  for (int i = emitted; i < count; ++i) points[i] = {0.0, 0.0};
}

int clip_intersection_to_poly(vec2_t* points, int count, const vec2_t* clip, int clip_count) {
  vec2_t out[kMaxClipPoints];
  for (int k = 0; k < clip_count && count > 0; ++k) {
    const vec2_t& p = clip[k];
    const vec2_t& q = clip[(k + 1) % clip_count];
    auto side = [&](const vec2_t& v) { return (v.x - p.x) * (p.y - q.y) + (v.y - p.y) * (q.x - p.x); };
    int n = 0;
    vec2_t a = points[count - 1];
    double f = side(a);
    for (int i = 0; i < count; ++i) {
      const vec2_t b = points[i];
      const double m = side(b);
      if (n > 97) {
        wxLogDebug(
            "Too many points in reslice clipped polygon - must be using a very large number of sweeps");
        break;
      }
      if (f > 0.0) {
        out[n++] = m < 0.0 ? (b * f - a * m) * (1.0 / (f - m)) : b;
      } else if (m > 0.0) {
        out[n++] = (b * f - a * m) * (1.0 / (f - m));
        out[n++] = b;
      }
      a = b;
      f = m;
    }
    count = n;
    for (int i = 0; i < n; ++i) points[i] = out[i];
  }
  return count;
}

void top_and_bottom(const vec2_t* points, int count, int& top, int& bottom) {
  top = bottom = 0;
  for (int i = 1; i < count; ++i) {
    if (points[i].y < points[top].y) top = i;
    if (points[i].y > points[bottom].y) bottom = i;
  }
}

void merge_spans(span_list* a, const span_list* b) {
  if (!a || !b) return;
  if (a->size() < b->size()) a->resize(b->size());
  for (size_t row = 0; row < b->size(); ++row) {
    std::vector<int32_t>& ra = (*a)[row];
    const std::vector<int32_t>& rb = (*b)[row];
    if (ra.empty()) {
      ra = rb;
      continue;
    }
    for (size_t k = 0; k + 1 < rb.size(); k += 2) {
      const int32_t s = rb[k], e = rb[k + 1];
      size_t i = 0;
      while (i + 1 < ra.size() && ra[i + 1] < s - 1) i += 2;
      if (i + 1 >= ra.size() || ra[i] > e + 1) {
        ra.insert(ra.begin() + static_cast<std::ptrdiff_t>(i), {s, e});
        continue;
      }
      ra[i] = std::min(ra[i], s);
      int32_t end = std::max(ra[i + 1], e);
      size_t j = i + 2;
      while (j + 1 < ra.size() && ra[j] <= end + 1) {
        end = std::max(end, ra[j + 1]);
        j += 2;
      }
      ra[i + 1] = end;
      ra.erase(ra.begin() + static_cast<std::ptrdiff_t>(i + 2), ra.begin() + static_cast<std::ptrdiff_t>(j));
    }
  }
}

void invert_spans(span_list* list, int32_t columns) {
  if (!list) return;
  const int32_t c = columns - 1;
  for (std::vector<int32_t>& row : *list) {
    if (row.empty()) {
      row = {0, c};
      continue;
    }
    std::vector<int32_t> numbers = row;
    if (numbers.front() <= 0)
      numbers.erase(numbers.begin());
    else
      numbers.insert(numbers.begin(), -1);
    if (numbers.back() >= c)
      numbers.pop_back();
    else
      numbers.push_back(c + 1);
    row.clear();
    for (size_t k = 0; k + 1 < numbers.size(); k += 2) {
      const int32_t p = numbers[k] + 1, q = numbers[k + 1] - 1;
      if (q >= p) {
        row.push_back(p);
        row.push_back(q);
      }
    }
  }
}

void free_spans(span_list* list) { delete list; }

}  // namespace reslice_raster
