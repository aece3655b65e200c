// CONT, OBJECT and VOLUME lines: contours, objects and the rows of the volume
// rendering's colour mapping.
#include <wx/stream.h>

#include <algorithm>
#include <list>
#include <map>
#include <cmath>

#include "data/data_io_ui.h"
#include "data/data_line_procs.h"
#include "data/data_lines.h"
#include "data/objects.h"
#include "registry/resource_table.h"

namespace {

constexpr int32_t kMaxObject = NUM_USER_OBJECTS - 1;  // 199
constexpr int32_t kMaxRow = NUM_VOLUME_ROWS - 1;      // 9

void error(const wxString& text) { data_report(wxLOG_Error, text); }

void warn_ignored(const wxString& text) {
  data_report(wxLOG_Warning, text);
  if (native_read_context* ctx = active_native_read()) ++ctx->losses.ignored_lines;
}

// Where each object's frame entries are, by frame, for the read in progress.
struct contour_index_t {
  using entries = std::list<frame_contours_t>;
  std::map<int32_t, entries::iterator> by_frame[NUM_OBJECTS];
  bool built[NUM_OBJECTS] = {};
};

// Appends to the object's entry of frame, keeping the entries in ascending
// frame order. Files list an object's contours in frame order, so the entry
// is nearly always the last one or a new last one; the rest is found through
// the read's index, so that lines in any order take n log n time.
void append_contour(int32_t object, contour_object& o, int32_t frame, contour_t&& c) {
  native_read_context* ctx = active_native_read();
  auto* index = ctx ? static_cast<contour_index_t*>(ctx->contour_index.get()) : nullptr;
  frame_contours_t* entry;
  if ((!index || !index->built[object]) && (o.frames.empty() || o.frames.back().frame <= frame)) {
    if (o.frames.empty() || o.frames.back().frame < frame) {
      o.frames.emplace_back();
      o.frames.back().frame = frame;
    }
    entry = &o.frames.back();
  } else {
    if (!index) {
      ctx->contour_index = std::make_shared<contour_index_t>();
      index = static_cast<contour_index_t*>(ctx->contour_index.get());
    }
    auto& by_frame = index->by_frame[object];
    if (!index->built[object] || by_frame.size() != o.frames.size()) {
      by_frame.clear();
      for (auto it = o.frames.begin(); it != o.frames.end(); ++it) by_frame.emplace(it->frame, it);
      index->built[object] = true;
    }
    auto at = by_frame.lower_bound(frame);
    if (at == by_frame.end() || at->first != frame) {
      auto it = o.frames.emplace(at == by_frame.end() ? o.frames.end() : at->second);
      it->frame = frame;
      it->centroid_x = it->centroid_y = 0.0;
      at = by_frame.emplace_hint(at, frame, it);
    }
    entry = &*at->second;
  }
  entry->contours.push_back(std::move(c));
  entry->area = -1.0;
}

// The number of objects whose lines are written: at least CURRENT_MAX_OBJECTS,
// and enough to reach every object that holds anything of its own, so that
// contours and properties read from a file are never dropped on saving.
int32_t objects_to_write(const contour_object* objects) {
  int32_t n = std::clamp<int32_t>(resource_table->CURRENT_MAX_OBJECTS->read(), 0, NUM_USER_OBJECTS);
  for (int32_t k = NUM_USER_OBJECTS - 1; k >= n; --k) {
    const contour_object& o = objects[k];
    const bool default_state =
        o.frames.empty() && o.name == wxString::Format("Object %i", k) &&
        (!o.colour.IsOk() || o.colour == contour_object::default_colour(k)) && o.opacity == 1.0 &&
        o.roughness == 0.4 && o.metallic == 0.0 && o.anisotropy == 0.0 && o.capped == 1;
    if (!default_state) return k + 1;
  }
  return n;
}

bool in_unit_range(double v) { return v >= 0.0 && v <= 1.0; }

}  // namespace

// ---- CONT ------------------------------------------------------------------

bool parse_contour_dat(wxString& text) {
  native_read_context* ctx = active_native_read();
  if (!ctx || !ctx->in_header(resource_table->RES_BUF_FRAMES)) {
    error("Header of data file does not contain RES_BUF_FRAMES line but body contains CONT lines");
    return false;
  }
  word_reader words(text);
  int32_t object, frame, closed;
  if (!words.next_int(object)) {
    error("Problem reading object number in CONT line");
    return false;
  }
  if (object > kMaxObject) {
    warn_ignored(wxString::Format("Ignoring objects greater than %i in CONT line", kMaxObject));
    return true;
  }
  if (object < 0) {
    error(wxString::Format("Object number %i in CONT line is not one of 0 to %i", object,
                           kMaxObject));
    return false;
  }
  if (!words.next_int(frame)) {
    error("Problem reading frame number in CONT line");
    return false;
  }
  if (frame < 0) {
    error(wxString::Format("Frame number %i in CONT line is negative", frame));
    return false;
  }
  if (!words.next_int(closed)) {
    error("Problem reading contour closed status in CONT line");
    return false;
  }

  // Every vertex is read before the object is touched, so a bad line leaves
  // the object as it was.
  contour_t contour;
  contour.closed = closed != 0;
  for (;;) {
    word_t w;
    vec2_t v;
    if (!words.next(w)) break;
    if (!word_to_double(w, v.x)) {
      // The vertices before the word stand; the rest of the line is lost.
      if (native_read_context* ctx = active_native_read()) ++ctx->losses.ignored_lines;
      break;
    }
    if (!words.next(w) || !word_to_double(w, v.y)) {
      error("Problem reading vertex in CONT line");
      return false;
    }
    contour.vertices.push_back(v);
  }

  append_contour(object, resource_table->RES_OBJECT->read()[object], frame, std::move(contour));
  resource_table->CONT->write_no_changeprocs();
  return true;
}

bool write_out_contour_dat(wxOutputStream& out) {
  const contour_object* objects = resource_table->RES_OBJECT->read();
  const int32_t n = objects_to_write(objects);
  line_sink sink(out);
  std::string& s = sink.buffer();
  for (int32_t k = 0; k < n; ++k) {
    for (const frame_contours_t& entry : objects[k].frames) {
      for (const contour_t& c : entry.contours) {
        s += "CONT ";
        append_int(s, k);
        s += ' ';
        append_int(s, entry.frame);
        s += c.closed ? " 1" : " 0";
        for (const vec2_t& v : c.vertices) {
          s += ' ';
          append_fixed(s, v.x, 2);
          s += ' ';
          append_fixed(s, v.y, 2);
          sink.line_done();
        }
        s += '\n';
        sink.line_done();
      }
    }
  }
  if (!sink.flush()) {
    error("Error writing out CONT lines to ascii data file.");
    return false;
  }
  return true;
}

// ---- OBJECT ----------------------------------------------------------------

bool parse_object_dat(wxString& text) {
  word_reader words(text);
  int32_t object, cap, red, green, blue;
  double opacity;
  if (!words.next_int(object)) {
    error("Problem reading object number in OBJECT line");
    return false;
  }
  if (object > kMaxObject) {
    warn_ignored(wxString::Format("Ignoring objects greater than %i in OBJECT line", kMaxObject));
    return true;
  }
  if (object < 0) {
    error(wxString::Format("Object number %i in OBJECT line is not one of 0 to %i", object,
                           kMaxObject));
    return false;
  }
  if (!words.next_int(cap)) {
    error("Problem reading object type in OBJECT line");
    return false;
  }
  if (!words.next_int(red) || !words.next_int(green) || !words.next_int(blue)) {
    error("Problem reading colour in OBJECT line");
    return false;
  }
  if (!words.next_double(opacity)) {
    error("Problem reading alpha value in OBJECT line");
    return false;
  }

  // Optional material values; words read but not taken begin the name.
  contour_object& o = resource_table->RES_OBJECT->read()[object];
  double roughness = o.roughness, metallic = o.metallic, anisotropy = o.anisotropy;
  wxString refused;
  word_t wr, wm, wa;
  double r, m, a;
  if (words.next(wr)) {
    if (!word_to_double(wr, r) || !in_unit_range(r)) {
      refused = word_to_string(wr);
    } else if (!words.next(wm)) {
      refused = word_to_string(wr);
    } else if (!word_to_double(wm, m) || !in_unit_range(m)) {
      refused = word_to_string(wr) + " " + word_to_string(wm);
    } else {
      roughness = r;
      metallic = m;
      if (words.next(wa)) {
        if (word_to_double(wa, a) && in_unit_range(a))
          anisotropy = a;
        else
          refused = word_to_string(wa);
      }
    }
  }
  wxString name = join_name(refused, words.rest_as_name());
  if (name.empty()) name = wxString::Format("Object %i", object);

  o.name = name;
  o.colour = rgba_colour_t(static_cast<uint8_t>(red & 0xff), static_cast<uint8_t>(green & 0xff),
                           static_cast<uint8_t>(blue & 0xff), 255);
  o.opacity = opacity;
  o.roughness = roughness;
  o.metallic = metallic;
  o.anisotropy = anisotropy;
  o.capped = cap != 0 ? 1 : 0;
  resource_table->OBJECT->write_no_changeprocs();
  return true;
}

bool write_out_object_dat(wxOutputStream& out) {
  const contour_object* objects = resource_table->RES_OBJECT->read();
  const int32_t n = objects_to_write(objects);
  line_sink sink(out);
  std::string& s = sink.buffer();
  for (int32_t k = 0; k < n; ++k) {
    const contour_object& o = objects[k];
    s += "OBJECT ";
    append_int(s, k);
    s += o.capped ? " 1 " : " 0 ";
    append_int(s, o.colour.Red());
    s += ' ';
    append_int(s, o.colour.Green());
    s += ' ';
    append_int(s, o.colour.Blue());
    for (double v : {o.opacity, o.roughness, o.metallic, o.anisotropy}) {
      s += ' ';
      append_fixed(s, v, 3);
    }
    s += ' ';
    append_line_text(s, o.name);
    s += '\n';
    sink.line_done();
  }
  if (!sink.flush()) {
    error("Error writing out OBJECT lines to ascii data file.");
    return false;
  }
  return true;
}

// ---- VOLUME ----------------------------------------------------------------

bool parse_volume_dat(wxString& text) {
  word_reader words(text);
  int32_t row, data, red, green, blue, opacity;
  if (!words.next_int(row)) {
    error("Problem reading object number in VOLUME line");
    return false;
  }
  if (row > kMaxRow) {
    warn_ignored(wxString::Format("Ignoring objects greater than %i in VOLUME line", kMaxRow));
    return true;
  }
  if (row < 0) {
    error(wxString::Format("Row number %i in VOLUME line is not one of 0 to %i", row, kMaxRow));
    return false;
  }
  if (!words.next_int(data)) {
    error("Problem reading object data in VOLUME line");
    return false;
  }
  if (!words.next_int(red) || !words.next_int(green) || !words.next_int(blue)) {
    error("Problem reading colour in VOLUME line");
    return false;
  }
  if (!words.next_int(opacity)) {
    error("Problem reading alpha value in VOLUME line");
    return false;
  }
  // enabled, roughness, metallic, anisotropy: each optional, in this order.
  int32_t optional[4] = {1, 100, 0, 0};
  for (int32_t& v : optional)
    if (!words.next_int(v)) break;

  volume_object& r = resource_table->RES_VOLUME->read()[row];
  r.enabled = optional[0] > 0 ? 1 : 0;
  r.colour = rgba_colour_t(static_cast<uint8_t>(red & 0xff), static_cast<uint8_t>(green & 0xff),
                           static_cast<uint8_t>(blue & 0xff), 255);
  r.opacity = static_cast<uint8_t>(opacity & 0xff);
  r.roughness = static_cast<uint8_t>(optional[1] & 0xff);
  r.metallic = static_cast<uint8_t>(optional[2] & 0xff);
  r.anisotropy = static_cast<uint8_t>(optional[3] & 0xff);
  r.data_value = data;
  resource_table->VOLUME->write_no_changeprocs();
  return true;
}

bool write_out_volume_dat(wxOutputStream& out) {
  const volume_object* rows = resource_table->RES_VOLUME->read();
  std::string s;
  for (int32_t n = 0; n < NUM_VOLUME_ROWS; ++n) {
    const volume_object& r = rows[n];
    s += "VOLUME ";
    const int32_t values[] = {
        n,         r.data_value, r.colour.Red(), r.colour.Green(), r.colour.Blue(),
        r.opacity, r.enabled,    r.roughness,    r.metallic,       r.anisotropy};
    for (int32_t v : values) {
      append_int(s, v);
      s += ' ';
    }
    s.back() = '\n';
  }
  if (!write_bytes(out, s)) {
    error("Error writing out VOLUME lines to ascii data file.");
    return false;
  }
  return true;
}
