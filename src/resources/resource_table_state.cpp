// The run-time resources of the table: folders and file names, colour-map
// state, the current tool, page and object, events, script state, and the
// resources that hold the program's data objects and the 201 surfaces. None
// of them is written to any file or kept in the configuration.
#include <cwchar>

#include <wx/filename.h>

#include "data/calipers.h"
#include "data/curves.h"
#include "data/image_builder.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "models/fit_model.h"
#include "models/wrl_object.h"
#include "registry/app_types.h"
#include "registry/resource_table.h"
#include "resources/resource_table_classes.h"
#include "segmentation/image_correlation.h"
#include "surfaces/surface_interp.h"
#include "thickness/thickness.h"

using namespace resource_classes;

static_assert(NUM_OBJECTS == resource_table_t::kSurfaceCount, "one surface resource per object");

namespace {

// The surface resources' names are made here; resources keep the pointer, so
// the texts live in static storage that outlasts every table.
const wchar_t* surface_name(int k) {
  static wchar_t names[resource_table_t::kSurfaceCount][16];
  if (names[k][0] == 0) std::swprintf(names[k], 16, L"RES_SURFACE%d", k);
  return names[k];
}

// The slow-machine indicator has no counterpart on this platform, so every
// machine counts as fast.
int32_t default_graphics_power() { return 49999; }

}  // namespace

void resource_table_t::make_run_time_state() {
  // Folders, file names and the colour map.
  RES_CONFIG_DIR = new wxString_res_t(L"C:", L"RES_CONFIG_DIR", kRunTime, RES_GROUP_MISC);
  RES_EXEC_DIR = new wxString_res_t(L"C:", L"RES_EXEC_DIR", kRunTime, RES_GROUP_MISC);
  RES_ASCII_FILENAME = new gen_res_t<wxFileName>(wxFileName(), L"RES_ASCII_FILENAME", kRunTime, RES_GROUP_MISC);
  RES_FILENAME_STUB = new wxString_res_t(L"halmondo_data", L"RES_FILENAME_STUB", kRunTime, RES_GROUP_MISC);
  RES_FRAME_SIZE = new long_res_t(0, L"RES_FRAME_SIZE", kRunTime, RES_GROUP_MISC);
  RES_CMAP_CHANGED = new flag_res_t(L"RES_CMAP_CHANGED", kRunTime, RES_GROUP_MISC);
  RES_CMAP_BINARY = new bool_res_t(false, L"RES_CMAP_BINARY", kRunTime, RES_GROUP_MISC);
  RES_CMAP_RED_LO = new long_res_t(0, L"RES_CMAP_RED_LO", kRunTime, RES_GROUP_MISC);
  RES_CMAP_RED_HI = new long_res_t(0, L"RES_CMAP_RED_HI", kRunTime, RES_GROUP_MISC);
  RES_CMAP_BLUE_LO = new long_res_t(0, L"RES_CMAP_BLUE_LO", kRunTime, RES_GROUP_MISC);
  RES_CMAP_BLUE_HI = new long_res_t(0, L"RES_CMAP_BLUE_HI", kRunTime, RES_GROUP_MISC);

  // Tools, pages, objects and events.
  RES_TOOL = new gen_res_t<tool_selection_t>(TOOL_DRAG, L"RES_TOOL", kRunTime, RES_GROUP_MISC);
  RES_CURRENT_TASK_PAGE = new long_res_t(0, L"RES_CURRENT_TASK_PAGE", kRunTime, RES_GROUP_MISC);
  RES_CURRENT_VISUAL_PAGE = new long_res_t(0, L"RES_CURRENT_VISUAL_PAGE", kRunTime, RES_GROUP_MISC);
  CURRENT_OBJECT = new long_res_t(0, L"CURRENT_OBJECT", kRunTime, RES_GROUP_MISC);
  CURRENT_MAX_OBJECTS = new long_res_t(12, L"CURRENT_MAX_OBJECTS", kRunTime, RES_GROUP_MISC);
  RES_CMAP_VOLUME = new bool_res_t(false, L"RES_CMAP_VOLUME", kRunTime, RES_GROUP_MISC);
  RES_CMAP_LABELS = new bool_res_t(false, L"RES_CMAP_LABELS", kRunTime, RES_GROUP_MISC);
  RES_REDISPLAY_PANORAMA = new flag_res_t(L"RES_REDISPLAY_PANORAMA", kRunTime, RES_GROUP_MISC);
  RES_REDISPLAY_VOLUME = new flag_res_t(L"RES_REDISPLAY_VOLUME", kRunTime, RES_GROUP_MISC);
  RES_UPDATE_VOLUME_MAP = new flag_res_t(L"RES_UPDATE_VOLUME_MAP", kRunTime, RES_GROUP_MISC);
  RES_UPDATE_VOLUME = new flag_res_t(L"RES_UPDATE_VOLUME", kRunTime, RES_GROUP_MISC);
  RES_DYNAMIC_VOLUME = new bool_res_t(false, L"RES_DYNAMIC_VOLUME", kRunTime, RES_GROUP_MISC);
  RES_REDISPLAY_THICKNESS = new flag_res_t(L"RES_REDISPLAY_THICKNESS", kRunTime, RES_GROUP_MISC);
  RES_NEW_SHAPE_MODEL = new flag_res_t(L"RES_NEW_SHAPE_MODEL", kRunTime, RES_GROUP_MISC);
  RES_DICOM_REDRAW = new flag_res_t(L"RES_DICOM_REDRAW", kRunTime, RES_GROUP_MISC);
  RES_IDLE_EVENT = new flag_res_t(L"RES_IDLE_EVENT", kRunTime, RES_GROUP_MISC);
  RES_DYNAMIC_UPDATE = new bool_res_t(false, L"RES_DYNAMIC_UPDATE", kRunTime, RES_GROUP_MISC);
  RES_CPU_GRAPHICS_POWER = new long_res_t(default_graphics_power(), L"RES_CPU_GRAPHICS_POWER", kRunTime, RES_GROUP_MISC);
  FINDING_LOCATION = new flag_res_t(L"FINDING_LOCATION", kRunTime, RES_GROUP_MISC);
  FIND_LOCATION_X = new long_res_t(0, L"FIND_LOCATION_X", kRunTime, RES_GROUP_MISC);
  FIND_LOCATION_Y = new long_res_t(0, L"FIND_LOCATION_Y", kRunTime, RES_GROUP_MISC);

  // Status bar and scripts.
  RES_ALERT_STRING = new wxString_res_t(L" ", L"RES_ALERT_STRING", kRunTime, RES_GROUP_MISC);
  RES_ALERT_COLOUR = new gen_res_t<alert_t>(ALERT_NORMAL, L"RES_ALERT_COLOUR", kRunTime, RES_GROUP_MISC);
  RES_SCRIPT_FILENAME = new genflag_res_t<wxFileName>(wxFileName(), L"RES_SCRIPT_FILENAME", kRunTime, RES_GROUP_MISC);
  RES_DEBUG_FILENAME = new genflag_res_t<wxFileName>(wxFileName(), L"RES_DEBUG_FILENAME", kRunTime, RES_GROUP_MISC);
  RES_SCRIPT_WRITE_MESSAGE = new wxString_res_t(L"INITIAL_STATE", L"RES_SCRIPT_WRITE_MESSAGE", kRunTime, RES_GROUP_MISC);
  RES_SCRIPT_RESULTS_DIR = new wxString_res_t(L"INITIAL_STATE", L"RES_SCRIPT_RESULTS_DIR", kRunTime, RES_GROUP_MISC);
  RES_SCRIPT_RESULTS_NAME = new wxString_res_t(L"INITIAL_STATE", L"RES_SCRIPT_RESULTS_NAME", kRunTime, RES_GROUP_MISC);
  RES_SCRIPT_FUNC_ARG = new wxString_res_t(L"INITIAL_STATE", L"RES_SCRIPT_FUNC_ARG", kRunTime, RES_GROUP_MISC);
  RES_IN_SCRIPT = new bool_res_t(false, L"RES_IN_SCRIPT", kRunTime, RES_GROUP_MISC);

  // Display switches and run-time thickness options.
  RES_SEE_MARK = new bool_res_t(false, L"RES_SEE_MARK", kRunTime, RES_GROUP_MISC);
  RES_SEE_DRAW = new bool_res_t(false, L"RES_SEE_DRAW", kRunTime, RES_GROUP_MISC);
  RES_SEE_SSM = new bool_res_t(false, L"RES_SEE_SSM", kRunTime, RES_GROUP_MISC);
  RES_VOLUME_SURFACE = new long_res_t(-1, L"RES_VOLUME_SURFACE", kRunTime, RES_GROUP_MISC);
  RES_VOLUME_LANDMARK = new wxString_res_t(L"??", L"RES_VOLUME_LANDMARK", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_THRESHOLD = new bool_res_t(false, L"RES_THICKNESS_THRESHOLD", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_FWHM = new bool_res_t(false, L"RES_THICKNESS_FWHM", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_LOCAL_DENSITY = new bool_res_t(false, L"RES_THICKNESS_LOCAL_DENSITY", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_ENDO_MODEL = new bool_res_t(false, L"RES_THICKNESS_ENDO_MODEL", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_DE_FROM_AC = new bool_res_t(true, L"RES_THICKNESS_DE_FROM_AC", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_POST_BLUR = new bool_res_t(true, L"RES_THICKNESS_POST_BLUR", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_METAL = new bool_res_t(false, L"RES_THICKNESS_METAL", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_IN_FRAME = new bool_res_t(false, L"RES_THICKNESS_IN_FRAME", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_SURF = new long_res_t(-1, L"RES_THICKNESS_SURF", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_DISP_DATA = new bool_res_t(true, L"RES_THICKNESS_DISP_DATA", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_DISP_FUNC = new bool_res_t(true, L"RES_THICKNESS_DISP_FUNC", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS_DISP_STEP = new bool_res_t(true, L"RES_THICKNESS_DISP_STEP", kRunTime, RES_GROUP_MISC);

  // Held objects.
  RES_CORRELATION = new genflag_res_t<image_correlation*>(nullptr, L"RES_CORRELATION", kRunTime, RES_GROUP_MISC);
  RES_PANORAMA = new gen_res_t<image_builder*>(nullptr, L"RES_PANORAMA", kRunTime, RES_GROUP_MISC);
  RES_FIT_MODEL = new genflag_res_t<fit_model*>(new fit_model, L"RES_FIT_MODEL", kRunTime, RES_GROUP_MISC);
  RES_WRL_OBJECT = new genflag_res_t<wrl_object*>(new wrl_object, L"RES_WRL_OBJECT", kRunTime, RES_GROUP_MISC);
  RES_LANDMARKS = new gen_res_t<landmarks*>(new landmarks, L"RES_LANDMARKS", kRunTime, RES_GROUP_MISC);
  RES_OBJECT = new gen_res_t<contour_object*>(new contour_object[NUM_OBJECTS], L"RES_OBJECT", kRunTime, RES_GROUP_MISC);
  RES_VOLUME = new gen_res_t<volume_object*>(new volume_object[NUM_VOLUME_ROWS], L"RES_VOLUME", kRunTime, RES_GROUP_MISC);
  RES_CURVE = new gen_res_t<curve_set*>(new curve_set, L"RES_CURVE", kRunTime, RES_GROUP_MISC);
  RES_CALIPERS = new genflag_res_t<calipers_t>(calipers_t(), L"RES_CALIPERS", kRunTime, RES_GROUP_MISC);
  RES_THICKNESS = new genflag_res_t<thickness*>(new thickness, L"RES_THICKNESS", kRunTime, RES_GROUP_MISC);

  // Surfaces: element k belongs to object k, element 200 to the shape model.
  for (int k = 0; k < kSurfaceCount; ++k)
    RES_SURFACE[k] = new genflag_res_t<surface_interp*>(nullptr, surface_name(k), kRunTime, RES_GROUP_MISC);
}
