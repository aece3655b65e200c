// The volume readers' description of the loaded data, the dispatch that
// reads every frame of a medical data set through the format readers, and
// the display of 16-bit frames: windowing of raw values into display bytes, smoothing within
// an image and, in one pass over the data set, across neighbouring frames.
//
// Display pixels are derived lazily: each frame remembers the raise count of
// RES_DICOM_REDRAW it was last windowed for and is only windowed again after
// a further raise.
#pragma once

#include <cstdint>
#include <vector>

#include <wx/filename.h>
#include <wx/string.h>

#include "data/dynabuf.h"

struct frame_image_t;
struct frame_contours_t;

// One series found by a scan of a directory.
struct data_series_t {
  wxFileName file;             // the series' first file
  wxString series_uid;         // DICOM Series Instance UID (empty for images)
  wxString description;        // DICOM Series Description
  bool is_dicom = false;       // found by the DICOM parser
  bool multi_frame = false;    // one multi-frame (or multi-page) file
  int first_index = -1;        // listing index of the series' first file
  int frame_count = 0;         // files joined so far, or the frames of a multi-frame file
  int width = 0;
  int height = 0;
  double pixel_spacing_x = 0;  // first and second pixel spacing value as the reader gives them
  double pixel_spacing_y = 0;
};

// Raw to calibrated values: calibrated = slope x raw + intercept.
struct file_rescale_t {
  double slope = 1.0;
  double intercept = 0.0;
};

// Per-frame records, indexed by frame slot. Entries start zeroed and the
// arrays grow when a reader stores a slot beyond them, so that a slot never
// holds stale values of another data set nor lies outside the arrays.
struct frame_file_info_t {
  std::vector<position_t> location;   // x, y, z cm; azimuth, elevation, roll degrees
  std::vector<double> pixel_size_x;   // millimetres, as the file gives them
  std::vector<double> pixel_size_y;
  std::vector<int32_t> content_time;  // hhmmss read as an integer

  void create(size_t slots);
  void clear();
  size_t size() const { return location.size(); }
  // Makes room for slot (false for a negative slot or when memory is short).
  bool ensure(int32_t slot);
};

// A format reader: 0 when the data is not in its format, > 0 when it
// recognised and handled it (for a frame read the frame's pixel count), < 0
// when it recognised the data but could not read it.
using volume_reader_fn = int (*)(wxFileName name, int frame, int index, uint16_t* raw,
                                 uint8_t* display, position_t* position);
// The image reader also receives the caller's name next to the resolved one.
using image_reader_fn = int (*)(wxFileName caller_name, wxFileName resolved_name, int frame,
                                int index, int flags, uint16_t* raw, uint8_t* display,
                                position_t* position);

// The display settings a windowing reads, gathered in one place so that the
// computation does not depend on where they are kept.
struct windowing_params_t {
  int32_t width = 512;     // RES_BUF_WIDTH
  int32_t height = 512;    // RES_BUF_HEIGHT
  int32_t frames = 0;      // RES_BUF_FRAMES
  double slope = 1.0;      // RES_DICOM_HUM: raw to calibrated value
  double intercept = 0.0;  // RES_DICOM_HUB
  double centre = 1024.0;  // RES_DICOM_WIN_CENTRE, calibrated units
  double window = 2048.0;  // RES_DICOM_WIN_WIDTH, calibrated units
  int32_t filter = 0;      // RES_DICOM_FILTER: smoothing radius within an image, pixels
  int32_t filter_z = 0;    // RES_DICOM_FILTER_Z: smoothing radius across images, frames
  int32_t redraw = 0;      // raise count of RES_DICOM_REDRAW
  double zscale = 0.0;     // RES_ZSCALE: 0 when the frames are not evenly spaced
  bool pos_rec = true;     // RES_POS_REC
};

// Progress of the whole-data pass; the application shell installs one that
// shows a dialog. update() returns false when the user asked to cancel.
class windowing_progress_t {
 public:
  virtual ~windowing_progress_t() = default;
  virtual void start(const wxString& title, const wxString& message, int maximum) = 0;
  virtual bool update(int value, const wxString& message) = 0;
  virtual void resume() = 0;
  virtual void finish() = 0;
};

// What loading a data set asks of the user: the directory search's progress
// (with Cancel) and the choice of one series. The main window installs one
// that shows dialogs; without one the search shows nothing and the first
// series is taken.
class dicom_load_ui {
 public:
  virtual ~dicom_load_ui() = default;
  virtual void search_start(const wxString& caption, const wxString& message) {}
  // False when the user cancelled the search.
  virtual bool search_pulse(const wxString& message) { return true; }
  virtual void search_end() {}
  // The index of the chosen line; -1 when the choice was cancelled.
  virtual int choose_series(const wxString& caption, const wxString& message,
                            const std::vector<wxString>& lines) {
    return 0;
  }
};

// The toolkit's image decoders as the image reader needs them, kept behind
// this interface so that the readers stay free of the window libraries.
class image_toolkit_t {
 public:
  virtual ~image_toolkit_t() = default;
  // Images in the file through any of the registered handlers; 0 when none
  // can read it.
  virtual int image_count(const wxString& path) = 0;
  // Loads image `page` of the file as width x height RGB triples.
  virtual bool load_rgb(const wxString& path, int page, int& width, int& height,
                        std::vector<uint8_t>& rgb) = 0;
};

class dicom_utility {
 public:
  // ---- description of the loaded data ----
  static bool data_16bit;          // the frames carry raw values from a volume reader
  static bool data_8bit;           // the raw values are 8-bit samples, kept as display bytes
  static file_rescale_t file_rescale;
  static double slice_thickness;   // centimetres, 0 when the file gives none
  static bool patient_coordinates; // the last frame was placed from patient coordinates
  static wxString source_type;     // format or modality of the data, "Unknown" after a reset
  static wxString value_units;     // "HU", dose units or "??"
  static uint16_t padding_value;   // raw value of padding pixels; 0 means none
  static bool locations_from_file; // frame_file_info holds locations from the files
  static frame_file_info_t frame_file_info;
  static std::vector<data_series_t> series_list;

  // ---- reading frames ----

  // Reads through the format readers. frame -2 scans (enters the file in
  // series_list), -1 probes (resets and writes the data set's description as
  // pending resource writes), >= 0 reads frame slot `frame`, `index`
  // selecting the file of a directory or numbered run, or the frame of a
  // multi-frame file. raw has room for RES_FRAME_SIZE values, display for
  // width x height bytes. Returns the pixel count of a frame read, a positive
  // value for a recognised scan or probe, and 0 on any failure.
  static int read_dicom_data(wxFileName name, int frame, int index, uint16_t* raw,
                             uint8_t* display, position_t* position);

  // Quantitative-CT files (.qct): a stack of 16-bit slices in Hounsfield
  // units, placed along z by their records.
  static int read_qct_data(wxFileName name, int frame, int index, uint16_t* raw, uint8_t* display,
                           position_t* position);
  // Grey 8- and 16-bit TIFF files through libtiff, every other image the
  // toolkit can load (through image_toolkit) as 8-bit grey. pages 1 counts
  // the pages on a scan or probe and selects page `index` on a frame read.
  // -1 when a frame's size differs from the data set's or it cannot be read.
  static int read_image_data(wxFileName caller_name, wxFileName resolved_name, int frame,
                             int index, int pages, uint16_t* raw, uint8_t* display,
                             position_t* position);
  // The toolkit's image decoders (null: only grey TIFF files are read).
  static class image_toolkit_t* image_toolkit;

  // The format readers tried before the DICOM parser, in this order; null
  // while a format has no reader in this program.
  static volume_reader_fn qct_reader;
  static volume_reader_fn metaimage_reader;
  static volume_reader_fn nrrd_reader;
  static volume_reader_fn nifti_reader;
  static image_reader_fn image_reader;

  // The file of a numbered run `index` places after path: the last number
  // of the file name (at most its last 8 digits, with the spaces that follow
  // it) counted up by index, keeping the field's width when it starts with a
  // zero. Digits in folder names are never counted. path itself when its
  // file name holds no digit.
  static wxString numbered_file_name(const wxString& path, int index);

  // The file at position index of the directory's listing (files directly in
  // it, hidden ones left out, ascending by character codes); empty when
  // index is outside the listing.
  static wxString directory_file(const wxString& dir, int index);

  // ---- data sets ----

  // Opens a file, a numbered run, a multi-frame or volume file, or a
  // directory tree (asking which series when it holds several) into the frame
  // store; the data set's resources are written as pending values under the
  // caller's hold. 1 when at least one frame was loaded.
  static int load_dicom_files(wxFileName name);
  // Puts the frames into the order of their file locations after asking;
  // true when they were reordered. The per-frame records move with them.
  static bool sort_dicom_frames();
  // Gives every frame back its location and pixel size from the files.
  static bool restore_file_locations();
  // Keeps the per-frame records and frame list of the listed frames only, in
  // that order. undo_frame_selection puts back what the last selection replaced.
  static void select_frame_info(std::vector<int32_t> frames);
  static void undo_frame_selection();
  // Writes the loaded stack as one volume: format 0 NIfTI-1 (gzip when the
  // extension ends with "gz"), 1 NRRD (".nhdr": header and a gzip data file
  // beside it; otherwise one file). what -2 or less: the image data; -1 a
  // label volume of every object with a surface, object o's inside voxels
  // holding o + 1 (where objects overlap the higher number wins); 0 or more
  // that object's mask, again with the value what + 1. True when the file
  // (or pair) was written whole; otherwise, also when the user cancelled,
  // nothing was changed on disk and the user was told.
  static bool create_voxel_data(wxFileName name, int format, int what);
  // How long the export runs before it shows its progress, and how often it
  // updates it (milliseconds).
  static long export_progress_delay_ms;
  static long export_progress_interval_ms;

  // The crossings of object `object`'s surface with the pixel rows of image
  // frame `frame` (RES_BUF_HEIGHT rows, each a sorted list of x positions in
  // pixels whose consecutive pairs bound the inside spans, both ends
  // included). False when the object holds no surface or the frame has no
  // plane. The resource table, which holds the surfaces, installs it; null
  // while there are no surfaces.
  using surface_crossings_fn = bool (*)(int object, int32_t frame,
                                        std::vector<std::vector<int32_t>>& rows);
  static surface_crossings_fn surface_crossings;
  // Sets the bytes of every inside span of rows to label in a plane of
  // width x height bytes, spans clipped to the row; rows beyond height and
  // an unpaired last crossing are ignored.
  static void fill_label_spans(const std::vector<std::vector<int32_t>>& rows, uint8_t label,
                               uint8_t* plane, int32_t width, int32_t height);

  // ---- objects from structure sets, segmentations and label volumes ----

  // Regions of interest of a DICOM RT structure set or segments of a binary
  // DICOM segmentation, as contours of objects CURRENT_OBJECT on, placed on
  // the loaded frames by their patient coordinates. The scan pass (scan
  // true) changes nothing: it collects the labels and asks, through the
  // data-file user interface, whether to go on when there are many or when
  // objects would lose contours. The import pass fills the objects and
  // commits. Returns the number of objects the file claims, 0 when it holds
  // none, the data cannot take it or the user said No.
  static int read_dicom_object_data(wxFileName file, bool scan);
  // A NIfTI or Analyze label volume made on the loaded data: label L fills
  // object CURRENT_OBJECT + L - 1 with the outlines of its regions, slice by
  // slice on the frame each slice lies on. Returns the number of objects
  // filled (the highest label), 0 when nothing was imported.
  static int read_hdr_object_data(wxFileName file);
  // The outline tracer of the segmentation library, which lies above this
  // one: traces the regions of bytes 2 or more of a width x height image into
  // sets[value - 2] (all into sets[0] when set_count is 1). The resource
  // table installs it; without it the imports that trace refuse their files.
  using label_tracer_fn = void (*)(const uint8_t* image, int32_t width, int32_t height,
                                   int32_t set_count, frame_contours_t* sets, double tolerance);
  static label_tracer_fn label_tracer;
  // How long an import runs before it shows its progress, and how often it
  // updates it (milliseconds).
  static long import_progress_delay_ms;
  static long import_progress_interval_ms;

  // Forgets the data-source description and the per-frame records.
  static void reset_data_source();
  // The user interface of load_dicom_files (null: the silent default).
  static dicom_load_ui* load_ui;

  // Clears the reader state kept between calls: the recognised flags, the
  // pending probe and the first file's series UID, size and spacing.
  static void reset_reader_state();

  // ---- display of 16-bit data ----

  // Brings record's display pixels up to date from the raw plane (usually the
  // record's own), with the current settings. size and stamp are usually the
  // record's own fields and are updated in place.
  static void window_frame(const uint16_t* raw, frame_image_t& record, int32_t& size,
                           int32_t& stamp);
  static void window_frame(const uint16_t* raw, frame_image_t& record, int32_t& size,
                           int32_t& stamp, const windowing_params_t& params);

  // Separable Gaussian-like smoothing of radius r; dst must not be src. A
  // radius below 1 copies. Padding pixels keep their value. Returns false,
  // leaving dst unwritten, when the scratch plane cannot be allocated.
  static bool smooth_frame(const uint16_t* src, int32_t width, int32_t height, int32_t radius,
                           uint16_t* dst);

  // Windows every frame of the store, smoothing each across its neighbours
  // with the given radius. False when smoothing across frames does not apply
  // (radius below 1, fewer than 2 x 2 pixels, no frames, frames not evenly
  // spaced or without positions, a frame without raw values) and nothing was done.
  static bool window_all_frames(int32_t radius);
  static bool window_all_frames(int32_t radius, const windowing_params_t& params);

  // The 2r + 1 weights of the smoothing kernel, centre weight 1.
  static std::vector<double> smoothing_kernel(int32_t radius);

  // Reads the display settings from the registry.
  static windowing_params_t windowing_params_from_resources();

  // Makes frame_image_t::display_data window 16-bit frames through window_frame.
  static void install_frame_windowing();

  // Progress shown by the whole-data pass (null: none), and how long the pass
  // runs before it shows it.
  static windowing_progress_t* pass_progress;
  static long pass_progress_delay_ms;
};
