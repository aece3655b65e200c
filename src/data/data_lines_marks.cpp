// RESLICE, CURVE, LANDMARK and FIDUCIAL lines: the reslice planes, landmark
// curves, landmarks and fiducials of a data set.
#include <wx/stream.h>

#include <cmath>

#include "data/curves.h"
#include "data/data_io_ui.h"
#include "data/data_line_procs.h"
#include "data/data_lines.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "registry/resource_table.h"

namespace {

void error(const wxString& text) { data_report(wxLOG_Error, text); }

void warn_ignored(const wxString& text) {
  data_report(wxLOG_Warning, text);
  if (native_read_context* ctx = active_native_read()) ++ctx->losses.ignored_lines;
}

// Reads three numbers, reporting the first that fails with its axis filled
// into pattern ("x", "y" or "z").
bool read_xyz(word_reader& words, vec3_t& v, const char* pattern) {
  double* parts[3] = {&v.x, &v.y, &v.z};
  const char* axes[3] = {"x", "y", "z"};
  for (int i = 0; i < 3; ++i) {
    if (!words.next_double(*parts[i])) {
      error(wxString::Format(pattern, axes[i]));
      return false;
    }
  }
  return true;
}

bool write_lines(wxOutputStream& out, const std::string& s, const char* failure) {
  if (write_bytes(out, s)) return true;
  error(failure);
  return false;
}

// A name the line can carry back: an empty one would make the line
// unreadable, so it gets a name of the given kind and number.
void append_name(std::string& s, const wxString& name, const char* kind, size_t number) {
  s += ' ';
  bool blank = true;
  for (wxUniChar c : name)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') blank = false;
  if (blank)
    append_line_text(s, wxString::Format("%s %zu", kind, number));
  else
    append_line_text(s, name);
  s += '\n';
}

}  // namespace

// ---- RESLICE ---------------------------------------------------------------

bool parse_reslice(wxString& text) {
  word_reader words(text);
  int32_t n;
  if (!words.next_int(n)) {
    error("Problem reading reslice number in RESLICE line");
    return false;
  }
  if (n < 0 || n > 2) {
    warn_ignored(wxString::Format("Ignoring un-recognised reslice number %i in RESLICE line", n));
    return true;
  }
  reslice_info* planes = resource_table->RESLICE->read();
  if (n != 0) {
    vec3_t centre;
    if (!read_xyz(words, centre, "Problem reading centre %s coordinate in RESLICE line"))
      return false;
    planes[n].set_centre(centre, true);
    return true;
  }

  int32_t width, height;
  vec3_t normal, centre, up;
  if (!words.next_int(width)) {
    error("Problem reading width in RESLICE line");
    return false;
  }
  if (!words.next_int(height)) {
    error("Problem reading height in RESLICE line");
    return false;
  }
  if (!read_xyz(words, normal, "Problem reading normal %s coordinate in RESLICE line") ||
      !read_xyz(words, centre, "Problem reading centre %s coordinate in RESLICE line") ||
      !read_xyz(words, up, "Problem reading up %s coordinate in RESLICE line"))
    return false;
  for (int32_t size : {width, height}) {
    if (size < reslice_info::kMinFileSize || size > reslice_info::kMaxFileSize) {
      error(wxString::Format("Reslice size %i x %i in RESLICE line is not within %i to %i pixels",
                             width, height, reslice_info::kMinFileSize, reslice_info::kMaxFileSize));
      return false;
    }
  }

  reslice_info& plane = planes[0];
  plane.set_width(width);
  plane.set_height(height);
  if (data_set_pages* pages = current_data_set_pages())
    pages->set_reslice_size_controls(plane.width, plane.height);
  plane.set_plane(normal, centre, up, true);
  return true;
}

bool write_out_reslice(wxOutputStream& out) {
  const reslice_info* planes = resource_table->RESLICE->read();
  std::string s;
  for (int n = 0; n < 3; ++n) {
    const reslice_info& p = planes[n];
    s += "RESLICE ";
    append_int(s, n);
    if (n == 0) {
      s += ' ';
      append_int(s, p.width);
      s += ' ';
      append_int(s, p.height);
    }
    const vec3_t* vectors[3] = {&p.normal, &p.centre, &p.up};
    for (int i = n == 0 ? 0 : 1; i < (n == 0 ? 3 : 2); ++i) {
      for (double v : {vectors[i]->x, vectors[i]->y, vectors[i]->z}) {
        s += ' ';
        append_fixed(s, v, 6);
      }
    }
    s += '\n';
  }
  return write_lines(out, s, "Error writing out RESLICE lines to ascii data file.");
}

// ---- CURVE -----------------------------------------------------------------

bool parse_curve_dat(wxString& text) {
  word_reader words(text);
  int32_t object, closed;
  if (!words.next_int(object)) {
    error("Problem reading object number in CURVE line");
    return false;
  }
  if (object >= NUM_USER_OBJECTS) {
    warn_ignored(
        wxString::Format("Ignoring objects greater than %i in CURVE line", NUM_USER_OBJECTS - 1));
    return true;
  }
  if (object < 0) {
    error(wxString::Format("Object number %i in CURVE line is not one of 0 to %i", object,
                           NUM_USER_OBJECTS - 1));
    return false;
  }
  if (!words.next_int(closed)) {
    error("Problem reading curve closed status in CURVE line");
    return false;
  }

  curve_t curve;
  curve.object = object;
  curve.closed = closed != 0;
  for (;;) {
    const wchar_t* group_start = words.position();
    curve_point p;
    double* values[6] = {&p.x, &p.y, &p.z, &p.nx, &p.ny, &p.nz};
    bool complete = true;
    for (double* v : values) {
      if (!words.next_double(*v)) {
        complete = false;
        break;
      }
    }
    if (!complete) {
      words.seek(group_start);  // an incomplete group begins the name
      break;
    }
    curve.points.push_back(p);
  }
  curve.name = words.rest_as_name();
  if (curve.name.empty()) {
    error("Problem reading name in CURVE line");
    return false;
  }
  resource_table->RES_CURVE->read()->curves.push_back(std::move(curve));
  resource_table->CURVE->write_no_changeprocs();
  return true;
}

bool write_out_curve_dat(wxOutputStream& out) {
  const curve_set* curves = resource_table->RES_CURVE->read();
  line_sink sink(out);
  std::string& s = sink.buffer();
  for (size_t i = 0; i < curves->size(); ++i) {
    const curve_t& c = (*curves)[i];
    s += "CURVE ";
    append_int(s, c.object);
    s += c.closed ? " 1" : " 0";
    for (const curve_point& p : c.points) {
      for (double v : {p.x, p.y, p.z, p.nx, p.ny, p.nz}) {
        s += ' ';
        append_fixed(s, v, 8);
      }
      sink.line_done();
    }
    append_name(s, c.name, "Curve", i + 1);
    sink.line_done();
  }
  if (!sink.flush()) {
    error("Error writing out CURVE lines to ascii data file.");
    return false;
  }
  return true;
}

// ---- LANDMARK and FIDUCIAL -------------------------------------------------

bool parse_landmark_dat(wxString& text) {
  word_reader words(text);
  word_t first;
  if (!words.next(first)) {
    error("Problem reading x/2D/SURF token in LANDMARK line");
    return false;
  }
  const wxString token = word_to_string(first);
  int32_t kind = LM_DATA;
  int32_t object = 0;
  vec3_t p, n;
  if (token == "2D") {
    kind = LM_2D;
    if (!words.next_double(p.x)) {
      error("Problem reading x coordinate in LANDMARK line");
      return false;
    }
  } else if (token == "SURF") {
    kind = LM_SURFACE;
    if (!words.next_int(object)) {
      error("Problem reading object in LANDMARK SURF line");
      return false;
    }
    if (object < 0 || object >= NUM_OBJECTS) {
      error(wxString::Format("Object %i in LANDMARK SURF line is not one of 0 to %i", object,
                             NUM_OBJECTS - 1));
      return false;
    }
    if (!words.next_double(p.x)) {
      error("Problem reading x coordinate in LANDMARK SURF line");
      return false;
    }
  } else if (!word_to_double(first, p.x)) {
    error("Problem reading x coordinate in LANDMARK line");
    return false;
  }
  if (!words.next_double(p.y)) {
    error("Problem reading y coordinate in LANDMARK line");
    return false;
  }
  if (!words.next_double(p.z)) {
    error("Problem reading z coordinate in LANDMARK line");
    return false;
  }
  if (kind == LM_SURFACE) {
    if (!read_xyz(words, n, "Problem reading normal %s coordinate in LANDMARK SURF line"))
      return false;
    const double length = vec3_length(n);
    if (length != 0.0) n = vec3_mul_scalar(n, 1.0 / length);
  }
  const wxString name = words.rest_as_name();
  if (name.empty()) {
    error("Problem reading name in LANDMARK line");
    return false;
  }

  landmarks& list = *resource_table->RES_LANDMARKS->read();
  size_t pos;
  if (kind == LM_SURFACE) {
    if (list.find_surface_landmark(name, object, pos)) {
      landmark_t& l = list[pos];
      l.x = p.x, l.y = p.y, l.z = p.z;
      l.nx = n.x, l.ny = n.y, l.nz = n.z;
    } else {
      list.add_surface_landmark(p, n, object, name);
    }
  } else if (list.find_by_name(name, pos)) {
    landmark_t& l = list[pos];
    l.x = p.x, l.y = p.y, l.z = p.z;
    l.kind = kind;
  } else {
    list.add_landmark(p, name, kind);
  }
  resource_table->LANDMARK->write_no_changeprocs();
  return true;
}

bool parse_fiducial_dat(wxString& text) {
  word_reader words(text);
  vec3_t p;
  if (!read_xyz(words, p, "Problem reading %s coordinate in FIDUCIAL line")) return false;
  const wxString name = words.rest_as_name();
  if (name.empty()) {
    error("Problem reading name in FIDUCIAL line");
    return false;
  }
  landmarks& list = *resource_table->RES_LANDMARKS->read();
  size_t pos;
  if (list.find_by_name(name, pos)) {
    landmark_t& l = list[pos];
    l.x = p.x, l.y = p.y, l.z = p.z;
    l.kind = LM_FIDUCIAL;
  } else {
    list.add_landmark(p, name, LM_FIDUCIAL);
  }
  resource_table->FIDUCIAL->write_no_changeprocs();
  return true;
}

bool write_out_landmark_dat(wxOutputStream& out) {
  const landmarks& list = *resource_table->RES_LANDMARKS->read();
  std::string s;
  for (size_t i = 0; i < list.size(); ++i) {
    const landmark_t& l = list[i];
    if (l.kind == LM_FIDUCIAL) continue;
    s += "LANDMARK";
    if (l.kind == LM_2D) {
      s += " 2D";
    } else if (l.kind == LM_SURFACE) {
      s += " SURF ";
      append_int(s, l.object);
    }
    for (double v : {l.x, l.y, l.z}) {
      s += ' ';
      append_general(s, v);
    }
    if (l.kind == LM_SURFACE) {
      for (double v : {l.nx, l.ny, l.nz}) {
        s += ' ';
        append_general(s, v);
      }
    }
    append_name(s, l.name, "Landmark", i + 1);
  }
  return write_lines(out, s, "Error writing out LANDMARK lines to ascii data file.");
}

bool write_out_fiducial_dat(wxOutputStream& out) {
  const landmarks& list = *resource_table->RES_LANDMARKS->read();
  std::string s;
  for (size_t i = 0; i < list.size(); ++i) {
    const landmark_t& l = list[i];
    if (l.kind != LM_FIDUCIAL) continue;
    s += "FIDUCIAL";
    for (double v : {l.x, l.y, l.z}) {
      s += ' ';
      append_general(s, v);
    }
    append_name(s, l.name, "Fiducial", i + 1);
  }
  return write_lines(out, s, "Error writing out FIDUCIAL lines to ascii data file.");
}
