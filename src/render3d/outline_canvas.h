// The 3D view: the frames of the frame store at their probe positions, their
// outlines and contours, the textured current frame, landmarks, the spine
// display and the thickness line, in one OpenGL window of the main window.
// The change procedure only sets flags; the next paint rebuilds what they
// name and draws its passes in a fixed order.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <wx/bitmap.h>
#include <wx/glcanvas.h>
#include <wx/stopwatch.h>

#include "data/curves.h"
#include "data/geometry.h"
#include "render3d/outline_input.h"
#include "render3d/outline_math.h"
#include "render3d/spine_display.h"
#include "render3d/surface_list.h"
#include "render3d/volume_texture.h"

class base_functor;
class base_res_t;
class gl_view_context;
class reslice_internals;
class shader;

// A filled sphere of 8 slices and 8 stacks at the current modelview origin,
// on one quadric shared by the run.
void draw_marker_sphere(double radius);

// Per-run flags of the texture messages: each group is reported once.

struct outline_texture_messages {
  bool frame_reported = false;
  bool plane_reported = false;
  bool peeling_reported = false;  // depth peeling's memory and depth-format failures
};

class outline_canvas : public wxGLCanvas {
 public:
  static constexpr int kPlanes = 4;
  static constexpr int kSurfaceSlots = 201;

  outline_canvas(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size, long style,
                 const wxString& name);
  ~outline_canvas() override;

  // ---- what scripts, pages and the main window call
  // Front and right (unit, perpendicular on return) become the view's
  // orientation; an orientation without a rotation (a zero vector, or front
  // along right) is refused and the previous one kept: false then.
  bool set_orientation(double front[3], double right[3]);
  void get_orientation(double front[3], double right[3]) const;
  void set_centre_of_gravity(const double p[3]);
  void set_scroll_point(double x, double y);
  void OnMouse(wxMouseEvent& event);

  // How the button overrides reach the main window's toolbar: selects tool n
  // and returns the previous tool, -1 when nothing changed.
  void set_tool_selector(std::function<int32_t(int32_t)> selector) { select_tool_ = std::move(selector); }
  // The Spine display page's state, kept by the main window.
  void set_spine_state(const spine_display_state* state) { spine_state_ = state; }
  // The world point of a pixel of the current frame (the review view's), for
  // FINDING_LOCATION.
  void set_frame_to_world(std::function<bool(const double[2], double[3])> f) { frame_to_world_ = std::move(f); }
  // The main window's pending spine landmark.
  void set_spine_request(const spine_landmark_request* r) { spine_request_ = r; }

  // Saves what a fresh paint of the view draws as a BMP, TIFF, PNG or JPEG
  // file (quality 95), with its alpha channel for TIFF and PNG when
  // RES_BACKGROUND_CONST is on. False when the view cannot be read, the type
  // is none of these or the file cannot be written; no file is written then.
  // The reason goes to why, or is logged as an error when why is null.
  bool dump_window(const wxString& file_name, wxBitmapType type, wxString* why = nullptr);
  // The world point at window pixel (x, y): depth -1 takes the depth drawn
  // there (false over the background), another depth is normalised (0 near
  // plane, 1 far plane).
  bool click_to_world(vec3_t& out, double x, double y, double depth);
  bool world_to_window(const vec3_t& p, vec2_t& out) const;
  void OnKey(wxKeyEvent& event);

  // Seams of the modal dialogs, the depth read-back and the thickness
  // engine; tests replace them. The text entry returns false on Cancel.
  using text_entry_fn = std::function<bool(const wxString& caption, const wxString& prompt, wxString& text)>;
  void set_text_entry(text_entry_fn f) { text_entry_ = std::move(f); }
  using depth_reader_fn = std::function<bool(int32_t x, int32_t y, float& depth)>;
  void set_depth_reader(depth_reader_fn f) { depth_reader_ = std::move(f); }
  // Measures with the thickness engine; true when it made a measurement.
  using thickness_measure_fn = std::function<bool(const probe_measurement& at, double range)>;
  void set_thickness_measure(thickness_measure_fn f) { thickness_measure_ = std::move(f); }

  // Makes the view's context current (for reading its textures back).
  bool make_current();
  // The view's shader programs; none are installed before its first paint.
  const shader& shader_set() const;

  // ---- internal steps, public for the tests and later passes
  void changeproc();
  void find_centre_of_gravity();
  void update_view_size(int32_t w, int32_t h);
  void set_plane_geometry(int plane);
  void init_gl();
  void set_lights();
  void set_projection();
  void generate_bscan_texture(int32_t frame);
  void generate_reslice_texture(int plane);
  void draw_frames();
  void build_contour_buffer();
  void draw_contour(const contour_t& contour, int32_t first);
  bool draw_frame_image(int32_t frame, bool second_pass);
  void draw_landmarks();
  void draw_thickness_line();
  double marker_radius(const vec3_t& p) const;
  // Volume rendering: the texture of the image data, its transfer function
  // and its box; true when the volume was drawn.
  bool volume_render(bool rebuild, bool update_map, bool release);

  // The seam of every texture upload: (width, height, RGBA texels) into the
  // bound 2D texture, true when OpenGL took it. Tests make it refuse.
  using texture_upload_fn = std::function<bool(int32_t, int32_t, const uint8_t*)>;
  void set_texture_upload(texture_upload_fn f) { texture_upload_ = std::move(f); }
  static bool gl_texture_upload(int32_t w, int32_t h, const uint8_t* texels);
  static outline_texture_messages& texture_messages();

  // ---- state read by the tests and the later passes
  struct texture_state {
    unsigned name = 0;
    bool valid = false;
    int32_t width = 0, height = 0;  // padded size after the last upload
  };
  const matrix4_t& modelview() const { return modelview_; }
  const matrix4_t& projection() const { return projection_; }
  const matrix4_t& modelview_projection() const { return mvp_; }
  const vec3_t& centre_of_gravity() const { return cog_; }
  double view_extent() const { return extent_; }
  double eye_distance() const { return eye_distance_; }
  double cached_zoom() const { return zoom_; }
  int32_t scroll_x() const { return scroll_pos_x_; }
  int32_t scroll_y() const { return scroll_pos_y_; }
  double scroll_point_x() const { return scroll_point_[0]; }
  double scroll_point_y() const { return scroll_point_[1]; }
  bool content() const { return content_; }
  bool shader_drawing() const { return shader_drawing_; }
  bool volume_page() const { return volume_page_; }
  const outline_lighting& lighting() const { return lights_; }
  const texture_state& frame_texture() const { return frame_tex_; }
  const texture_state& plane_texture(int i) const { return plane_tex_[i]; }
  bool frame_texture_update() const { return update_frame_tex_; }
  bool plane_texture_update(int i) const { return update_plane_tex_[i]; }
  bool contours_changed() const { return contours_changed_; }
  bool surface_reload(int slot) const { return surface_reload_[slot]; }
  bool surface_appearance(int slot) const { return surface_appearance_[slot]; }
  const vec3_t& plane_half_width(int i) const { return plane_hw_[i]; }
  const vec3_t& plane_half_height(int i) const { return plane_hh_[i]; }
  const vec3_t& plane_thickness(int i) const { return plane_th_[i]; }
  int paints() const { return paints_; }
  int32_t pick_cycle() const { return pick_cycle_; }
  bool wireframe() const { return wireframe_; }
  bool dragging() const {
    return dragging_view_ || dragging_model_ || dragging_zoom_ || dragging_perspective_ || dragging_landmark_;
  }
  const landmark_drag_copy& landmark_drag() const { return landmark_drag_; }
  int viewport(int i) const { return viewport_[i]; }
  int deferred_paints() const { return deferred_paints_; }
  int repaint_requests() const { return repaint_requests_; }
  const volume_texture_state& volume_state() const { return volume_; }
  // Seams of the volume texture's build: a 3D texture limit in place of
  // OpenGL's (0 keeps OpenGL's), allocations to refuse as out of memory, and
  // the clock (ms) of its progress display.
  void set_volume_size_limit(int32_t limit) { volume_limit_ = limit; }
  void set_volume_refusal(std::function<bool(int32_t w, int32_t h, int32_t f)> refuse) {
    volume_refuse_ = std::move(refuse);
  }
  void set_volume_clock(std::function<long()> clock) { volume_clock_ = std::move(clock); }
  // Per-paint effect flags.
  struct effects {
    bool contour_lines = false, all_outlines = false, landmarks = false, current_frame = false;
    bool surfaces = false, translucent_planes = false;
    bool plane_textures = false, curves = false;
  };
  const effects& drawn() const { return effects_; }
  // Tool to restore after a button override, -1 none.
  static int32_t override_tool();

  // Objects drawn faded (opacity 0.15) while a mouse operation works on others.
  void set_faded_objects(std::vector<int32_t> objects) { faded_objects_ = std::move(objects); }
  // The curve under construction, and whether a point of it follows the pointer.
  curve_t& edit_curve() { return edit_curve_; }
  void set_editing_curve(bool on) { editing_curve_ = on; }
  // Depth peeling's GL failures, for the tests: the error to report after
  // making the textures (stage 0) or after the depth blit (stage 1), 0 none.
  using peel_fault_fn = std::function<unsigned(int stage)>;
  void set_peel_fault(peel_fault_fn f) { peel_fault_ = std::move(f); }
  // Vertex, triangle and second-group triangle counts of an object's buffers.
  int32_t surface_vertex_count(int slot) const { return surface_counts_[slot][0]; }
  // How the last translucent pass ran: 0 none, 1 depth peeling, 2 the two-pass fallback.
  int last_translucent_pass() const { return last_translucent_pass_; }
  const std::vector<int32_t>& contour_selection() const { return contour_selection_; }

 protected:
  // Passes of later work: the background, orientation marker, curves, the
  // reslice planes, the surfaces with translucency, volume rendering and
  // depth of field; and the mouse handlers of navigation, picking and
  // editing. Each draws or does nothing yet.
  void draw_background(bool radiant_shadows);
  void draw_orientation_marker();
  void draw_curves();
  void draw_curve_polyline(const curve_t& curve, const float colour[4]);
  void draw_reslice_plane(int plane, bool peeling);
  void draw_surfaces();
  void draw_surface(int32_t object, const float colour[4], bool peeling, bool shadowed, bool occluded,
                    bool depth_only);
  void screen_pass(unsigned colour_texture, bool final, unsigned depth_texture, float shadow_stage,
                   float occlusion_stage, float focus, float p1, float p2, float p3);
  bool depth_peel(const surface_draw_entry* list, int count, unsigned shadow_texture, unsigned occlusion_texture);
  // Radiant shadows and ambient occlusion for the listed surfaces: the shadow
  // and occlusion textures for opaque and for translucent receivers, 0 when
  // not made.
  void shadows_and_occlusion(const surface_draw_entry* list, int count, unsigned textures[4]);
  void depth_of_field() {}
  void out_buttonpress_event(wxMouseEvent& event);
  void out_buttonrelease_event(wxMouseEvent& event);
  void out_motion_event(wxMouseEvent& event);

 private:
  void OnPaint(wxPaintEvent& event);
  void OnSize(wxSizeEvent& event);
  void OnEraseBackground(wxEraseEvent&) {}
  void OnScroll(wxScrollWinEvent& event);
  // The passes of one paint, into the back buffer.
  void render_scene();

  // Keys and mouse tools.
  void view_dialog(wxChar key);
  void arrow_key_press(arrow_key key, bool shift, bool control);
  void update_pick_cycle(const wxMouseEvent& event);
  void view_drag_motion(const wxMouseEvent& event);
  void model_drag_motion(const wxMouseEvent& event);
  void pan_view(float dx, float dy);
  void fit_on_click(const wxMouseEvent& event);
  void thickness_probe(const wxMouseEvent& event);
  void mark_press(const wxMouseEvent& event);
  void landmark_motion(const wxMouseEvent& event);
  void landmark_release();
  bool erase_landmark(const vec3_t& p);
  // The depth point and the far point under the pointer.
  bool pointer_line(const wxMouseEvent& event, vec3_t& depth_point, vec3_t& far_point);
  double current_pick_radius() const;

  // Parts of the change procedure.
  void follow_view_changes(bool& redraw, bool& resize, bool have_marks);
  void follow_display_changes(bool& redraw);
  void watch(base_res_t* res);
  void unwatch_all();
  void build_calibration();
  void repaint();
  void upload_frame_rectangle();
  // Single-colour drawing of a two-component buffer range.
  void begin_single_colour(const matrix4_t& model_view, const float colour[4]);
  void end_single_colour();
  // Uploads an RGBA buffer of w x h into tex with the retry; message group
  // by frame (true) or plane.
  void upload_texture(texture_state& tex, std::vector<uint8_t>& texels, int32_t w, int32_t h,
                      const uint8_t padding[4], bool frame);
  void draw_label(const wxString& text, const vec3_t& p, const matrix4_t& mvp, const float colour[4],
                  double ox, double oy, bool second_pass);
  void draw_marker_at(const vec3_t& p, double scale);
  double font_height() const;
  bool frame_world(int32_t frame, matrix4_t& world) const;
  // Stages of volume_render (outline_volume.cpp).
  void release_volume();
  bool build_volume_texture(const volume_geometry& g, reslice_internals* builder);
  int allocate_volume(int32_t w, int32_t h, int32_t f);
  bool build_transfer_textures(const volume_geometry& g);
  void place_volume(const volume_geometry& g);

  std::unique_ptr<gl_view_context> gl_;
  matrix4_t modelview_, projection_, mvp_, calibration_;
  float modelview_f_[16] = {}, projection_f_[16] = {}, mvp_f_[16] = {};
  // The combined-matrix slot the shadow passes fill for "radiant_shadowing".
  float effect_matrix_f_[16] = {};
  std::array<vec3_t, kPlanes> plane_hw_{}, plane_hh_{}, plane_th_{};
  vec3_t applied_cog_{0.0, 0.0, 0.0};
  vec3_t cog_{0.0, 0.0, 0.0};
  int viewport_[4] = {0, 0, 1, 1};
  outline_lighting lights_;
  bool shader_drawing_ = false;

  bool gl_setup_pending_ = true;
  bool cog_pending_ = true;
  bool rectangle_pending_ = true;
  bool lights_pending_ = true;
  std::array<bool, kSurfaceSlots> surface_reload_{};
  std::array<bool, kSurfaceSlots> surface_appearance_{};
  bool contours_changed_ = false;
  bool matrices_pending_ = true;
  bool font_pending_ = false;
  bool update_frame_tex_ = false;
  std::array<bool, kPlanes> update_plane_tex_{};
  bool volume_data_update_ = false, volume_release_ = false, volume_map_update_ = false;

  int32_t client_w_ = 1, client_h_ = 1;
  int32_t buf_width_ = 0, buf_height_ = 0;
  double zoom_ = 1.0;
  outline_bounds bounds_;
  double extent_ = 10.0;
  int32_t scroll_pos_x_ = 0, scroll_pos_y_ = 0;
  double eye_distance_ = 0.0;
  int32_t angle_ = 40;
  bool content_ = false;
  double paint_duration_ = 0.0;
  wxStopWatch stopwatch_;
  bool wireframe_ = false;
  bool volume_page_ = false;
  texture_state frame_tex_;
  std::array<texture_state, kPlanes> plane_tex_{};
  double scroll_point_[2] = {0.5, 0.5};
  bool dragging_zoom_ = false, dragging_landmark_ = false;
  bool dragging_view_ = false, dragging_model_ = false, dragging_perspective_ = false;
  bool model_drag_axis_ = false;  // the last shape-model twist was decided vertically
  int32_t last_pointer_[2] = {0, 0};
  double zoom_at_press_ = 1.0;
  int32_t pick_cycle_ = 0;
  landmark_drag_copy landmark_drag_;
  bool contours_selected_ = false;
  std::vector<int32_t> contour_selection_;  // frame, object, contour triples of the selection
  effects effects_;
  unsigned contour_buffer_ = 0, rectangle_buffer_ = 0, curve_buffer_ = 0;
  int32_t contour_vertex_count_ = 0;
  std::array<unsigned, kSurfaceSlots> vertex_buffers_{}, index_buffers_{};
  std::array<std::array<int32_t, 3>, kSurfaceSlots> surface_counts_{};
  std::vector<int32_t> faded_objects_;
  curve_t edit_curve_;
  bool editing_curve_ = false;
  peel_fault_fn peel_fault_;
  int last_translucent_pass_ = 0;
  int32_t last_viewport_w_ = -1, last_viewport_h_ = -1;
  // update_view_size's memory of the window and the scene, and its re-layout
  // guard; each view keeps its own, so that two views (a test's second main
  // window) do not refit each other's zoom for ever.
  int32_t last_window_w_ = -1, last_window_h_ = -1;
  double last_extent_ = -1.0;
  bool last_hbar_ = false, last_vbar_ = false;
  bool relayout_guard_ = false;

  base_functor* proc_ = nullptr;
  std::function<void()> free_proc_;
  std::vector<base_res_t*> watched_;
  std::function<int32_t(int32_t)> select_tool_;
  const spine_display_state* spine_state_ = nullptr;
  const spine_landmark_request* spine_request_ = nullptr;
  text_entry_fn text_entry_;
  depth_reader_fn depth_reader_;
  thickness_measure_fn thickness_measure_;
  std::function<bool(const double[2], double[3])> frame_to_world_;
  texture_upload_fn texture_upload_;
  volume_texture_state volume_;
  int32_t volume_limit_ = 0;
  std::function<bool(int32_t, int32_t, int32_t)> volume_refuse_;
  std::function<long()> volume_clock_;
  int paints_ = 0, deferred_paints_ = 0, repaint_requests_ = 0;

  wxDECLARE_EVENT_TABLE();
};
