// The statistical shape model, one instance held by RES_FIT_MODEL from
// start-up to exit. What stands: the model and data records, the data points
// that the review view adds and removes, the search grid over the data
// points and the correspondences of model vertices to their nearest data
// points; loading a model from its PLY and shape model files, or generating
// it as a cochlear implant electrode array; and the fit to placed landmarks.
//
// Model coordinates are millimetres, ten times the program's centimetres.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <wx/string.h>

class wxFFile;

#include "data/geometry.h"

// One record for the model surface, one for the data points.
struct fit_mesh_t {
  vec3_t centroid;
  matrix4_t to_centroid;    // translation by centroid
  matrix4_t from_centroid;  // translation by minus centroid
  vec3_t box_min, box_max;  // of the active points
  float radius = 0.0f;      // largest distance of an active point from centroid
  // The points compute_bounds runs over: points for the model, loaded_points
  // for the data (an index into the record, not a pointer, so that records copy safely).
  bool active_is_loaded = false;
  std::vector<vec3_t> points;         // the model's current vertices; unused for the data
  std::vector<vec3_t> loaded_points;  // the model as loaded; the data points
  std::vector<vec3_t> normals;        // model: unit vertex normals; data: unit or zero
  std::vector<vec3_t> loaded_normals;
  std::vector<vec3_t> landmark_targets;
  std::vector<bool> landmark_vertices;
  std::vector<std::array<int32_t, 3>> triangles;
  std::vector<int32_t> match_index;     // per model vertex: its nearest data point
  std::vector<double> match_distance2;  // squared distance to it; 1e10 for none
  // Squared search range of the last correspondence search plus 1e-8; 0
  // before any search, -1 when the correspondences are stale.
  double match_range2 = 0.0;
  int32_t point_count = 0;
  int32_t normal_count = 0;
  int32_t triangle_count = 0;

  const std::vector<vec3_t>& active_points() const { return active_is_loaded ? loaded_points : points; }
};

struct substructure_curve_t {
  std::vector<vec3_t> points;   // centimetres
  std::vector<vec3_t> normals;  // one per point, as in the file
  int32_t closed = 0;           // 1 = closed
  wxString name;
};

struct substructure_landmark_t {
  vec3_t point;  // centimetres
  vec3_t normal;
  wxString name;
};

// A sub-structure surface named by the model, which follows the fitted model
// through a radial-basis-function interpolant built on its nodes.
struct substructure_t {
  std::vector<vec3_t> points;  // centimetres: the file's millimetres / 10
  std::vector<bool> rbf_nodes;  // per vertex: serves as a node
  std::vector<std::array<int32_t, 3>> triangles;
  std::vector<substructure_curve_t> curves;
  std::vector<substructure_landmark_t> landmarks;
  wxString name;
  wxString file_path;
};

class interp_progress;

struct fit_landmark_t {
  wxString name;
  int32_t vertex = 0;
  vec3_t model_position;
  vec3_t target;
  bool placed = false;
};

// The values of the Fit shape model page that the model and the views share:
// the search-range slider with its label, the display compounding slider,
// and the settings that registration and mapping read when they start. The
// page shows and edits them.
struct fit_page_values {
  int32_t search_range = 100;  // slider steps; one step is 1 / range_divisor mm
  int32_t search_range_max = 100;
  wxString search_range_label = "Search range (x0.1 mm):";
  int32_t display_compounding = 0;  // 0 .. 50
  int32_t registration_type = 0;    // 0 shape modes (SSM), 1 local (LAD)
  int32_t flexibility = 0;          // modes used, or the local fit's flexibility 0 .. 10
  int32_t landmark_weighting = 0;   // "Landmark weighting:"
  int32_t iterations = 10;          // "Number of iterations:"
  int32_t match_side = 2;           // "Match inside/outside": 0 both, 1 in, 2 out
  int32_t frames = 0;               // "Frames": 0 All, 1 Low, 2 High
  int32_t every_n_frames = 1;       // map contours on every n-th frame from the current one
  int32_t contour_accuracy = 10;    // tenths of a pixel
};

// One entry of the table of neighbour cells, ordered by the smallest
// distance (in cell edges) between a point of the centre cell and one of the
// offset cell.
struct grid_neighbour_t {
  int32_t dx, dy, dz;
  double d;
};
const std::vector<grid_neighbour_t>& grid_neighbour_table();

// Determinant of the 3 x 3 linear part of m.
double matrix4_determinant3(const matrix4_t& m);

// The residuals of the registration iterations for hm_lmdif: x, y, z of
// every model vertex under the global parameters (similarity transform or
// mode weights), or of every vertex of the current vertex's neighbourhood
// under its local rigid correction.
void global_fit_residuals(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag);
void local_fit_residuals(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag);

// For every point, the points (itself included, in index order) lying
// strictly closer than radius; through a spatial grid, so that the work
// grows with the number of close pairs rather than with all pairs.
std::vector<std::vector<int32_t>> points_within_radius(const std::vector<vec3_t>& points, double radius);
// The same by comparing all pairs.
std::vector<std::vector<int32_t>> points_within_radius_all_pairs(const std::vector<vec3_t>& points,
                                                                 double radius);

// The residuals of the landmark fit for hm_lmdif: x, y, z of each paired
// landmark under the parameters x (translation, azimuth, elevation, [roll,]
// scale or insertion length).
void landmark_fit_residuals(int32_t* m, int32_t* n, double* x, double* fvec, int32_t* iflag);

class fit_model {
 public:
  static constexpr int kGridSide = 100;

  fit_model();
  ~fit_model() = default;
  fit_model(const fit_model&) = delete;
  fit_model& operator=(const fit_model&) = delete;

  // Loads the model from its PLY file and the ".ssm" file beside it: 0 when
  // the model loaded (with or without modes), 1 when the PLY file is
  // unusable, 2 when the shape model file is. On 1 and 2 the model is
  // cleared and the reason logged as a warning.
  int parse_ply_and_ssm_files(wxString path);
  // Removes the loaded model; the data points and the grid stay.
  void clear();

  // Centroid, bounding box and radius of the record's active points.
  static void compute_bounds(fit_mesh_t& mesh);
  // Unit vertex normals from the points and triangles.
  static void compute_normals(fit_mesh_t& mesh);
  // The name of the first fitting landmark not yet placed, or "none".
  wxString undefined_landmarks() const;

  // Refills the grid from the data points and chooses the search-range
  // slider's scale and label.
  void build_search_grid();
  // The nearest data point of every model vertex within the search range.
  void find_correspondences();
  // The full refresh after the data points changed; redraws the views.
  void update_search_grid(bool set_to_maximum);
  // The page's search-range slider moved to page.search_range.
  void set_search_range();

  // Pairs the fitting landmarks with placed landmarks of the same names;
  // true when at least two are paired. With show, too few are reported.
  bool check_for_landmarks(bool show);
  // Registers the model to the placed landmarks by a similarity transform
  // (an implant: rigid, with its first electrode insertion length).
  void fit_to_landmarks();

  // The electrode array. build_implant generates it for an insertion length
  // (create: anew at load; otherwise updating the points in place, or with
  // landmarks_only just the landmarks' vertices).
  void build_implant(double length, bool create, bool landmarks_only);
  // Re-spaces the rings of the current points along their centreline.
  void regularise_implant();
  // The local frame of the array at spiral angle phi (degrees) and the angle
  // step whose chord along the spiral is step long.
  static void spiral_frame(double phi, double step, matrix4_t& frame, double& delta_phi);
  // Step to the next ring and radius of a ring, for an insertion length.
  void ring_spacing(int32_t ring, double length, double& step, double& radius) const;
  int32_t implant_ring_count() const { return 6 * electrode_count + 20; }

  // The "Start registration" run: the page's number of iterations of its
  // registration type and flexibility, each announced to progress (may be
  // null), which stops the run by returning false. False, with a warning,
  // when the run is refused.
  bool run_registration(interp_progress* progress = nullptr);
  // Back to the mean shape before a run that starts from it.
  void restore_model_points();
  // Pairs every vertex with its data point and improves the fit once.
  void registration_iteration();
  // A modes fit of flexibility modes has the modes it needs.
  bool has_modes_for(int32_t modes) const;
  // Root mean square distance of the matched vertices to their data points
  // (0 when none), and how many are matched within the search range.
  double match_rms(int32_t* matched = nullptr) const;

  // Data points from object o's contours, with normals facing the side the
  // page's "Match inside/outside" chooses; refreshes the grid.
  void points_from_object(int32_t o);
  // Object o's contours on the selected frames become the fitted model's
  // sections with those frames.
  void contours_to_object(uint32_t o);
  // The fitted model becomes object o: surface, contours, surface landmarks.
  void map_surface_to_object(int32_t o);
  // registration := m, the model first scaled by factor about its centroid
  // (an implant: its insertion length, which grows to 30 mm at most).
  void set_scaled_registration_matrix(const matrix4_t& m, double factor);
  // Mirrors the registered model in its own x direction about its centroid.
  void reflect_registration_matrix();

  // Replaces the surface of object 200 with the model as registered; with
  // show_red, as a load does, the object turns opaque red.
  void rebuild_model_surface(bool show_red = false);

  // Reads the sub-structure's PLY file (at its file_path) into its points,
  // node flags, triangles, curves and landmarks: 0, or -1 with a warning
  // logged and the record's vertices and triangles left empty.
  int parse_substructure_file(substructure_t& sub);
  // Carries every sub-structure through the interpolant that maps the node
  // source (the last sub-structure with the model's vertex and triangle
  // counts) onto the fitted, registered model: sub-structure q fills object
  // first_object + q with its surface, contours on every frame, curves and
  // surface landmarks. False, with a warning and no change, when a
  // precondition fails; progress (may be null) hears of each step.
  bool interpolate_substructure(int first_object, interp_progress* progress = nullptr);

  // Appends a data point (world point in cm; stored in mm) with a zero
  // normal, as a click in the review view adds one.
  void add_data_point(const vec3_t& world_cm);
  // Removes the data points of the given indices (sorted ascending).
  void remove_data_points(const std::vector<int32_t>& sorted_indices);

  fit_mesh_t model;
  fit_mesh_t data;
  double grid_cell = 0.0;  // cell edge in model units; 0 before the first grid
  matrix4_t registration;  // model to registered space
  double range_divisor = 10.0;  // search-range slider steps per model unit
  std::vector<fit_landmark_t> fitting_landmarks;
  std::vector<substructure_t> substructures;
  // While a sub-structure is interpolated: it and its interpolated points
  // (world centimetres); null and empty otherwise.
  const substructure_t* current_substructure = nullptr;
  std::vector<vec3_t> substructure_points;
  bool implant = false;
  bool mirrored = false;  // registration holds a mirror in x
  bool points_restored = true;
  bool substructures_reflected = false;
  int32_t placed_landmarks = 0;
  double lad_radius_hint = 1.0;
  // The electrode array (millimetres).
  int32_t electrode_count = 0;
  double electrode_radius = 0.0, lead_radius = 0.0, first_electrode_insertion = 0.0;
  std::vector<double> electrode_lengths, electrode_separations;
  // The shape model file: variable 3v + a is coordinate a of vertex v; the
  // basis holds mode_count values per variable, row after row.
  int32_t mode_count = 0;
  std::vector<float> ssm_mean, ssm_eigenvalues, ssm_basis;
  // Per vertex, for the registration iterations: neighbours within the
  // local radius and the local transform's six parameters.
  std::vector<std::vector<int32_t>> neighbours;
  std::vector<std::array<double, 6>> vertex_parameters;
  int32_t flexibility = 0;       // of the current registration run
  double lad_radius = 0.0;       // local fit's neighbourhood radius; 0: no local fit
  double landmark_weight = 0.0;  // of landmark residuals in the iterations
  int32_t current_vertex = 0;    // whose neighbourhood the local fit solves
  fit_page_values page;

  const std::vector<int32_t>& grid_cell_points(int32_t ix, int32_t iy, int32_t iz) const {
    static const std::vector<int32_t> none;
    if (grid_.empty()) return none;
    return grid_[static_cast<size_t>(ix) * 10000 + static_cast<size_t>(iy) * 100 + iz];
  }

 private:
  void parse_comment(const std::string& text, const wxString& model_path);
  // Reads the open shape model file; the failure's message, or empty.
  wxString read_ssm(wxFFile& file);

  void local_fit(double range2);
  void global_fit();
  // The surface of object 200 again, so that the views redraw.
  void rewrite_model_surface();

  std::vector<std::vector<int32_t>> grid_;  // 100 x 100 x 100 cells of data-point indices, once built
};
