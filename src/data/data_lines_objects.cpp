// CONT, OBJECT and VOLUME lines: contours, objects and the rows of the volume
// rendering's colour mapping.
#include <wx/stream.h>

#include <algorithm>
#include <list>
#include <unordered_map>
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

// The objects whose lines came out of frame order in the read in progress.
// Their new entries are appended, one a line, and put in frame order, the
// entries of one frame joined, once the body is read: keeping them in order
// line by line cost a search and an insertion a line.
struct contour_index_t {
  bool unsorted[NUM_OBJECTS] = {};

  ~contour_index_t() { sort_entries(); }
  void sort_entries() {
    if (!resource_table) return;
    contour_object* objects = resource_table->RES_OBJECT->read();
    for (int32_t k = 0; k < NUM_OBJECTS; ++k) {
      if (!unsorted[k]) continue;
      unsorted[k] = false;
      std::list<frame_contours_t>& frames = objects[k].frames;
      // A stable sort keeps the entries of one frame in the order of their lines.
      frames.sort(
          [](const frame_contours_t& a, const frame_contours_t& b) { return a.frame < b.frame; });
      for (auto it = frames.begin(); it != frames.end(); ++it) {
        auto next = std::next(it);
        while (next != frames.end() && next->frame == it->frame) {
          for (contour_t& c : next->contours) it->contours.push_back(std::move(c));
          next = frames.erase(next);
        }
        it->area = -1.0;
      }
    }
  }
};

// Appends to the object's entry of frame, a new entry when it has none.
// Files list an object's contours in frame order, so the entry is nearly
// always the last one or a new last one; lines out of that order are put in
// their places once the body is read, so that lines in any order take n log n
// time.
void append_contour(int32_t object, contour_object& o, int32_t frame, contour_t&& c) {
  native_read_context* ctx = active_native_read();
  auto* index = ctx ? static_cast<contour_index_t*>(ctx->contour_index.get()) : nullptr;
  std::list<frame_contours_t>& frames = o.frames;
  const bool behind = !frames.empty() && frames.back().frame > frame;
  if (ctx && ((index && index->unsorted[object]) || behind)) {
    if (!index) {
      ctx->contour_index = std::make_shared<contour_index_t>();
      index = static_cast<contour_index_t*>(ctx->contour_index.get());
    }
    index->unsorted[object] = true;
    frames.emplace_back();
    frames.back().frame = frame;
  } else if (behind) {
    // Outside a read: in its place at once.
    auto at = std::find_if(frames.begin(), frames.end(),
                           [frame](const frame_contours_t& e) { return e.frame >= frame; });
    if (at->frame != frame) {
      at = frames.emplace(at);
      at->frame = frame;
    }
    at->contours.push_back(std::move(c));
    at->area = -1.0;
    return;
  } else if (frames.empty() || frames.back().frame < frame) {
    frames.emplace_back();
    frames.back().frame = frame;
  }
  frames.back().contours.push_back(std::move(c));
  frames.back().area = -1.0;
}

}  // namespace

void finish_contour_lines(native_read_context& ctx) {
  if (auto* index = static_cast<contour_index_t*>(ctx.contour_index.get())) index->sort_entries();
}

namespace {

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
  {
    // Room for every pair of words at once: one allocation a contour.
    word_reader ahead = words;
    word_t w;
    size_t n = 0;
    while (ahead.next(w)) ++n;
    contour.vertices.reserve(n / 2);
  }
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
    if (!std::isfinite(v.x) || !std::isfinite(v.y)) {
      // No contour can be measured or drawn through such a vertex.
      warn_ignored(wxString::Format("Ignoring CONT line of object %i on frame %i: a vertex "
                                    "coordinate is not a finite number",
                                    object, frame));
      return true;
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
