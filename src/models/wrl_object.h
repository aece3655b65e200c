// The reference object: a triangle mesh read from a PLY or VRML surface file,
// with the landmarks and landmark curves a PLY file carries in its comments,
// moved by the ".mtx" and ".euler" files beside it. One instance is held by
// RES_WRL_OBJECT from start-up to exit.
//
// Units: mesh points (and the transform files' translations) stay in the
// file's units, ten times the program's centimetres; landmarks and curve
// points are divided by 10 when read, so they are in centimetres, and the
// transform files do not move them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "data/geometry.h"

class ply_reader;
class surface_interp;
struct curve_point;
struct ply_value;

struct wrl_curve_t {
  std::vector<vec3_t> points;  // centimetres
  std::vector<vec3_t> normals;
  int32_t closed = 0;
  wxString name;
};

struct wrl_landmark_t {
  vec3_t position;  // centimetres
  vec3_t normal;
  wxString name;
};

class wrl_object {
 public:
  wrl_object() = default;
  ~wrl_object() = default;
  wrl_object(const wrl_object&) = delete;
  wrl_object& operator=(const wrl_object&) = delete;

  // Empties every list and sets the counts to 0.
  void clear();
  // Reads a PLY file (ASCII or binary) with its comment landmarks and curves,
  // then checks it and applies the transform files: 1 on success, 0 with a
  // warning logged. A file that does not read leaves the object empty.
  int parse_ply_file(const wxString& path);
  // Reads a VRML 2.0 or 1.0 file (the path with its extension made "wrl"):
  // the points of every Coordinate node, the vectors of every Normal node
  // and the faces of every IndexedFaceSet, fanned into triangles. 0 without
  // a message when the file cannot be opened (the object is left as it was);
  // 0 with a warning when it is malformed (the object is left empty).
  int parse_wrl_file(const wxString& path);
  // Checks that the mesh has triangles and points, then applies the
  // surface's ".mtx" and ".euler" files, in that order, when they exist.
  int check_file_and_mtx(const wxString& path);

  // Moves the mesh into the empty surface s (it then lives in the surface
  // and the reference object is left empty). False, with an error logged and
  // nothing changed, when memory for the mesh cannot be had.
  bool make_surface(surface_interp& s);
  // Takes the region around the hit's vertex out of surface s into the
  // reference object, which is emptied first. False, with both unchanged,
  // when s refuses (see surface_interp::detach_region).
  bool take_region(surface_interp& s, const curve_point& hit);

  // Registers the vertex, normal and face callbacks on reader for a read
  // into this object; faces are read from face_list ("vertex_index" or
  // "vertex_indices"). Sets the three counts from the header and returns
  // false when the reader has no "face" list of that name. Each read starts
  // from a clean pending state.
  bool register_mesh_callbacks(ply_reader& reader, const char* face_list);
  // Whether the read delivered every point and normal its header declared.
  bool mesh_complete() const;

  std::vector<vec3_t> points;   // file units
  std::vector<vec3_t> normals;  // one per point when the file has normals
  std::vector<std::array<int32_t, 3>> triangles;
  std::vector<wrl_curve_t> curves;
  std::vector<wrl_landmark_t> landmarks;
  int32_t point_count = 0, normal_count = 0, triangle_count = 0;

 private:
  bool on_vertex(const ply_value& v, int coordinate);
  bool on_normal(const ply_value& v, int coordinate);
  bool on_face(const ply_value& v);
  void read_ply_comments(const std::vector<std::string>& comments);
  bool apply_matrix_file(const wxString& path);
  void apply_euler_file(const wxString& path);

  // The value being assembled by the vertex and normal callbacks.
  struct pending_triple {
    double v[3] = {0.0, 0.0, 0.0};
    bool received[3] = {false, false, false};
  };
  pending_triple vertex_, normal_;
  std::array<int32_t, 3> face_{};
};
