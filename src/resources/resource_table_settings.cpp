// The file-borne resources of the table: the native data file's header and
// keyword lines, the thickness, segmentation, surface, volume-rendering,
// graphics and view settings, calibration and position parameters, the
// configuration switches and the surface material.
//
// Resources are made in this order on purpose: every file written from
// resource lines lists them in reverse, so moving a line here moves a line in
// every data, settings, material and volume-property file.
#include <vector>

#include <wx/filename.h>

#include "data/reslice_info.h"
#include "registry/resource_table.h"
#include "resources/resource_table_classes.h"

using namespace resource_classes;

void resource_table_t::make_data_file_resources() {
  // Header of the native data file.
  RES_END_HEADER = new flag_res_t(L"RES_END_HEADER", kHeader, RES_GROUP_MISC);
  RES_DICOM_FRAME_LIST = new genflag_res_t<std::vector<long>*>(new std::vector<long>, L"RES_DICOM_FRAME_LIST", kHeader, RES_GROUP_IMAGE_DISPLAY);
  RES_BUF_DICOM = new bool_res_t(false, L"RES_BUF_DICOM", kHeader, RES_GROUP_IMAGE_DISPLAY);
  RES_BUF_RF = new bool_res_t(false, L"RES_BUF_RF", kHeader, RES_GROUP_IMAGE_PARAMS);
  RES_POS_REC = new bool_res_t(true, L"RES_POS_REC", kHeader, RES_GROUP_POSITION_PARAMS);
  RES_BUF_HEIGHT = new long_res_t(512, L"RES_BUF_HEIGHT", kHeader, RES_GROUP_IMAGE_PARAMS);
  RES_BUF_WIDTH = new long_res_t(512, L"RES_BUF_WIDTH", kHeader, RES_GROUP_IMAGE_PARAMS);
  RES_BUF_FRAMES = new long_res_t(0, L"RES_BUF_FRAMES", kHeader, RES_GROUP_IMAGE_DATA);
  RES_COMMENT = new genflag_res_t<std::vector<wxString>*>(new std::vector<wxString>, L"#", kHeader, RES_GROUP_IMAGE_PARAMS);

  // Keyword lines of the native data file, the reslice planes and their redisplay events.
  CONT = new flag_res_t(L"CONT", kBody, RES_GROUP_OBJECT_DATA);
  OBJECT = new flag_res_t(L"OBJECT", kBody, RES_GROUP_OBJECT_DATA);
  VOLUME = new flag_res_t(L"VOLUME", kBodySettingsVolume, RES_GROUP_VOLUME_DISPLAY);
  RESLICE = new gen_res_t<reslice_info*>(new reslice_info[kReslicePlaneCount], L"RESLICE", kBodySettings, RES_GROUP_GENERAL_DISPLAY);
  RES_REDISPLAY_RESLICE0 = new flag_res_t(L"RES_REDISPLAY_RESLICE0", kRunTime, RES_GROUP_MISC);
  RES_REDISPLAY_RESLICE1 = new flag_res_t(L"RES_REDISPLAY_RESLICE1", kRunTime, RES_GROUP_MISC);
  RES_REDISPLAY_RESLICE2 = new flag_res_t(L"RES_REDISPLAY_RESLICE2", kRunTime, RES_GROUP_MISC);
  RES_REDISPLAY_RESLICE3 = new flag_res_t(L"RES_REDISPLAY_RESLICE3", kRunTime, RES_GROUP_MISC);
  // A builder finds its plane's redisplay event through the plane index.
  for (int k = 0; k < kReslicePlaneCount; ++k) RESLICE->read()[k].index = k;
  CURVE = new flag_res_t(L"CURVE", kBody, RES_GROUP_LANDMARK_DATA);
  FIDUCIAL = new flag_res_t(L"FIDUCIAL", kBody, RES_GROUP_LANDMARK_DATA);
  LANDMARK = new flag_res_t(L"LANDMARK", kBody, RES_GROUP_LANDMARK_DATA);
  IM = new flag_res_t(L"IM", kBody, RES_GROUP_IMAGE_DATA);
  RES_BIN_IM_FILENAME = new genflag_res_t<wxString>(wxString(), L"RES_BIN_IM_FILENAME", kBody, RES_GROUP_IMAGE_DATA);

  // Thickness mapping.
  RES_THICKNESS_OUTLIER_REJECT = new long_res_t(75, L"RES_THICKNESS_OUTLIER_REJECT", kBodySettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_DISTANCE_REJECT = new long_res_t(39, L"RES_THICKNESS_DISTANCE_REJECT", kBodySettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_SMOOTH = new long_res_t(0, L"RES_THICKNESS_SMOOTH", kBodyConfigSettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_SMOOTH_FILL = new long_res_t(100, L"RES_THICKNESS_SMOOTH_FILL", kBodySettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_MAP_DIRECTION = new long_res_t(0, L"RES_THICKNESS_MAP_DIRECTION", kBodySettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_ZERO_HU = new long_res_t(0, L"RES_THICKNESS_ZERO_HU", kBodySettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_SCALE_MM = new long_res_t(40, L"RES_THICKNESS_SCALE_MM", kBodySettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_SCALE_HU = new long_res_t(20, L"RES_THICKNESS_SCALE_HU", kBodySettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_SCALE_HUMM = new long_res_t(8, L"RES_THICKNESS_SCALE_HUMM", kBodySettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_DISP_MAP = new long_res_t(0, L"RES_THICKNESS_DISP_MAP", kBodyConfigSettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_DISP_COL = new long_res_t(3, L"RES_THICKNESS_DISP_COL", kBodyConfigSettings, RES_GROUP_THICKNESS_DISPLAY);
  RES_THICKNESS_C = new double_res_t(kNoValue, L"RES_THICKNESS_C", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_B = new double_res_t(kNoValue, L"RES_THICKNESS_B", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_A = new double_res_t(kNoValue, L"RES_THICKNESS_A", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_C_AVERAGE = new double_res_t(kNoValue, L"RES_THICKNESS_C_AVERAGE", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_A_AVERAGE = new double_res_t(kNoValue, L"RES_THICKNESS_A_AVERAGE", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_RECT = new double_res_t(0.0, L"RES_THICKNESS_RECT", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_GAUSS = new double_res_t(kNoValue, L"RES_THICKNESS_GAUSS", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_REVERSE = new bool_res_t(false, L"RES_THICKNESS_REVERSE", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_WIDTH = new long_res_t(0, L"RES_THICKNESS_WIDTH", kBodyConfigSettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_LINE = new double_res_t(1.8, L"RES_THICKNESS_LINE", kBodyConfigSettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_CREATE_CAPS = new bool_res_t(false, L"RES_THICKNESS_CREATE_CAPS", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_CREATE_INNER = new long_res_t(3, L"RES_THICKNESS_CREATE_INNER", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_CREATE_OUTER = new long_res_t(2, L"RES_THICKNESS_CREATE_OUTER", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_INNER_LAYER = new bool_res_t(true, L"RES_THICKNESS_INNER_LAYER", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_OUTER_LAYER = new bool_res_t(true, L"RES_THICKNESS_OUTER_LAYER", kBodySettings, RES_GROUP_THICKNESS_PARAMS);
  RES_THICKNESS_TYPE = new long_res_t(0, L"RES_THICKNESS_TYPE", kBodyConfigSettings, RES_GROUP_THICKNESS_PARAMS);
}

void resource_table_t::make_view_settings() {
  // Segmentation and surface building.
  RES_SEGMENT_OBJECTS = new long_res_t(1, L"RES_SEGMENT_OBJECTS", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SIMPLIFY_THRESH = new long_res_t(3, L"RES_SIMPLIFY_THRESH", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_JUMP_THRESH = new long_res_t(25, L"RES_JUMP_THRESH", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_CONCAVITY_STRENGTH = new long_res_t(50, L"RES_CONCAVITY_STRENGTH", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SEGMENT_RANGE = new long_res_t(0, L"RES_SEGMENT_RANGE", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SEGMENT_FRAME = new long_res_t(1, L"RES_SEGMENT_FRAME", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SEGMENT_VALLEYS = new bool_res_t(true, L"RES_SEGMENT_VALLEYS", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SEGMENT_RIDGES = new bool_res_t(true, L"RES_SEGMENT_RIDGES", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SEGMENT_CONNECTED = new bool_res_t(true, L"RES_SEGMENT_CONNECTED", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SEGMENT_TYPE = new long_res_t(2, L"RES_SEGMENT_TYPE", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_CMAP_GREY_ANTI = new long_res_t(0, L"RES_CMAP_GREY_ANTI", kBodySettings, RES_GROUP_OBJECT_PARAMS);
  RES_CMAP_GREY_HI = new long_res_t(0, L"RES_CMAP_GREY_HI", kBodySettings, RES_GROUP_OBJECT_PARAMS);
  RES_CMAP_GREY_LO = new long_res_t(0, L"RES_CMAP_GREY_LO", kBodySettings, RES_GROUP_OBJECT_PARAMS);
  RES_SURFACE_CONNECT_HOLES = new bool_res_t(false, L"RES_SURFACE_CONNECT_HOLES", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SURFACE_CONNECT_OBJECTS = new bool_res_t(false, L"RES_SURFACE_CONNECT_OBJECTS", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SURFACE_COVER = new bool_res_t(true, L"RES_SURFACE_COVER", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SURFACE_COMPOUND_THICK = new long_res_t(0, L"RES_SURFACE_COMPOUND_THICK", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SURFACE_COMPOUND_TYPE = new long_res_t(0, L"RES_SURFACE_COMPOUND_TYPE", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SURFACE_SMOOTHING = new long_res_t(1, L"RES_SURFACE_SMOOTHING", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);
  RES_SURFACE_RESOLUTION = new long_res_t(5, L"RES_SURFACE_RESOLUTION", kBodyConfigSettings, RES_GROUP_OBJECT_PARAMS);

  // Volume rendering.
  RES_VOLUME_SURFACE_INVERT = new bool_res_t(false, L"RES_VOLUME_SURFACE_INVERT", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_SURFACE_ANTIALIAS = new bool_res_t(false, L"RES_VOLUME_SURFACE_ANTIALIAS", kBodyConfigSettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_LANDMARK_INVERT = new bool_res_t(false, L"RES_VOLUME_LANDMARK_INVERT", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_LANDMARK_RADIUS = new double_res_t(15.0, L"RES_VOLUME_LANDMARK_RADIUS", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_USE_ALPHA = new bool_res_t(false, L"RES_VOLUME_USE_ALPHA", kBodyConfigSettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_CROP_RESLICE = new bool_res_t(false, L"RES_VOLUME_CROP_RESLICE", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_CROP_X_LOW = new double_res_t(0.0, L"RES_VOLUME_CROP_X_LOW", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_CROP_X_HIGH = new double_res_t(100.0, L"RES_VOLUME_CROP_X_HIGH", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_CROP_Y_LOW = new double_res_t(0.0, L"RES_VOLUME_CROP_Y_LOW", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_CROP_Y_HIGH = new double_res_t(100.0, L"RES_VOLUME_CROP_Y_HIGH", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_CROP_Z_LOW = new double_res_t(0.0, L"RES_VOLUME_CROP_Z_LOW", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_CROP_Z_HIGH = new double_res_t(100.0, L"RES_VOLUME_CROP_Z_HIGH", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_BRIGHTNESS = new long_res_t(0, L"RES_VOLUME_BRIGHTNESS", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_GRADIENT = new long_res_t(15, L"RES_VOLUME_GRADIENT", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_WETNESS = new long_res_t(0, L"RES_VOLUME_WETNESS", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_CLARITY = new long_res_t(0, L"RES_VOLUME_CLARITY", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_TRANSLUCENCY = new long_res_t(50, L"RES_VOLUME_TRANSLUCENCY", kBodySettings, RES_GROUP_VOLUME_DISPLAY);
  RES_VOLUME_QUALITY = new long_res_t(5, L"RES_VOLUME_QUALITY", kBodyConfigSettings, RES_GROUP_VOLUME_DISPLAY);

  // 3D graphics.
  RES_FOCUS_DEPTH = new double_res_t(0.5, L"RES_FOCUS_DEPTH", kBodySettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_FOCUS_RANGE = new double_res_t(0.0, L"RES_FOCUS_RANGE", kBodySettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_RADIANT_SHADOWS = new bool_res_t(true, L"RES_RADIANT_SHADOWS", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_OCCLUSION_RANGE = new long_res_t(4, L"RES_OCCLUSION_RANGE", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_LIGHTING_UP_DOWN = new double_res_t(-0.5, L"RES_LIGHTING_UP_DOWN", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_LIGHTING_LEFT_RIGHT = new double_res_t(0.25, L"RES_LIGHTING_LEFT_RIGHT", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_LIGHTING_FRONT_SIDE = new double_res_t(0.75, L"RES_LIGHTING_FRONT_SIDE", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_LIGHTING_AMBIENT = new double_res_t(0.1, L"RES_LIGHTING_AMBIENT", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_TRANSLUCENT_LAYERS = new long_res_t(6, L"RES_TRANSLUCENT_LAYERS", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_SHADER = new long_res_t(2, L"RES_SHADER", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_BACKGROUND_CONST = new bool_res_t(false, L"RES_BACKGROUND_CONST", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);
  RES_BACKGROUND = new wxString_res_t(L"#808080", L"RES_BACKGROUND", kBodyConfigSettings, RES_GROUP_GRAPHICS_DISPLAY);

  // Views.
  RES_RESLICE_OPACITY = new double_res_t(0.5, L"RES_RESLICE_OPACITY", kBodyConfigSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_LOCK_ZOOM = new bool_res_t(false, L"RES_LOCK_ZOOM", kBodyConfigSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_CORNER_ZOOM = new double_res_t(1.0, L"RES_CORNER_ZOOM", kSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_CENTRE_ZOOM = new double_res_t(1.0, L"RES_CENTRE_ZOOM", kSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_REVIEW_ZOOM = new double_res_t(1.0, L"RES_REVIEW_ZOOM", kSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_OUTLINE_ZOOM = new double_res_t(1.0, L"RES_OUTLINE_ZOOM", kSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_OUTLINE_VIEW_ANGLE = new long_res_t(40, L"RES_OUTLINE_VIEW_ANGLE", kBodyConfigSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_OUTLINE_VIEWZ_Z = new double_res_t(1.0, L"RES_OUTLINE_VIEWZ_Z", kBodySettings, RES_GROUP_GENERAL_DISPLAY);
  RES_OUTLINE_VIEWZ_Y = new double_res_t(0.0, L"RES_OUTLINE_VIEWZ_Y", kBodySettings, RES_GROUP_GENERAL_DISPLAY);
  RES_OUTLINE_VIEWZ_X = new double_res_t(0.0, L"RES_OUTLINE_VIEWZ_X", kBodySettings, RES_GROUP_GENERAL_DISPLAY);
  RES_OUTLINE_VIEWX_Z = new double_res_t(0.0, L"RES_OUTLINE_VIEWX_Z", kBodySettings, RES_GROUP_GENERAL_DISPLAY);
  RES_OUTLINE_VIEWX_Y = new double_res_t(0.0, L"RES_OUTLINE_VIEWX_Y", kBodySettings, RES_GROUP_GENERAL_DISPLAY);
  RES_OUTLINE_VIEWX_X = new double_res_t(1.0, L"RES_OUTLINE_VIEWX_X", kBodySettings, RES_GROUP_GENERAL_DISPLAY);
  RES_SEE_DRAW_LOCKED = new long_res_t(0, L"RES_SEE_DRAW_LOCKED", kBodyConfigSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_SEE_MARK_LOCKED = new long_res_t(0, L"RES_SEE_MARK_LOCKED", kBodyConfigSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_SEE_OUTLINES = new long_res_t(1, L"RES_SEE_OUTLINES", kBodyConfigSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_DISPLAY_COG = new bool_res_t(true, L"RES_DISPLAY_COG", kBodyConfigSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_DISPLAY_PIXELS = new bool_res_t(false, L"RES_DISPLAY_PIXELS", kBodyConfigSettings, RES_GROUP_GENERAL_DISPLAY);
  RES_BUF_CURRENT_FRAME = new long_res_t(0, L"RES_BUF_CURRENT_FRAME", kBodySettings, RES_GROUP_GENERAL_DISPLAY);
}

void resource_table_t::make_parameters() {
  // Calibration and display windowing of medical volume data.
  RES_DICOM_BMD_OFFSET = new double_res_t(0.0, L"RES_DICOM_BMD_OFFSET", kBodySettings, RES_GROUP_IMAGE_DISPLAY);
  RES_DICOM_BMD_SCALE = new double_res_t(1.0, L"RES_DICOM_BMD_SCALE", kBodySettings, RES_GROUP_IMAGE_DISPLAY);
  RES_DICOM_BMD_PHANTOM = new wxString_res_t(L"No", L"RES_DICOM_BMD_PHANTOM", kBodySettings, RES_GROUP_IMAGE_DISPLAY);
  RES_DICOM_HUM = new double_res_t(1.0, L"RES_DICOM_HUM", kBody, RES_GROUP_IMAGE_DISPLAY);
  RES_DICOM_HUB = new double_res_t(0.0, L"RES_DICOM_HUB", kBody, RES_GROUP_IMAGE_DISPLAY);
  RES_DICOM_UNITS = new wxString_res_t(L"??", L"RES_DICOM_UNITS", kBody, RES_GROUP_IMAGE_DISPLAY);
  RES_DICOM_FILTER_Z = new long_res_t(0, L"RES_DICOM_FILTER_Z", kBodySettings, RES_GROUP_IMAGE_DISPLAY | RES_GROUP_GENERAL_DISPLAY);
  RES_DICOM_FILTER = new long_res_t(0, L"RES_DICOM_FILTER", kBodySettings, RES_GROUP_IMAGE_DISPLAY | RES_GROUP_GENERAL_DISPLAY);
  RES_DICOM_WIN_WIDTH = new double_res_t(2048.0, L"RES_DICOM_WIN_WIDTH", kBodySettingsVolume, RES_GROUP_IMAGE_DISPLAY | RES_GROUP_GENERAL_DISPLAY);
  RES_DICOM_WIN_CENTRE = new double_res_t(1024.0, L"RES_DICOM_WIN_CENTRE", kBodySettingsVolume, RES_GROUP_IMAGE_DISPLAY | RES_GROUP_GENERAL_DISPLAY);

  // Frame positions and data flags.
  RES_POS_MANUAL_RADIUS = new long_res_t(0, L"RES_POS_MANUAL_RADIUS", kBody, RES_GROUP_POSITION_PARAMS);
  RES_POS_MANUAL_ANGLE = new long_res_t(0, L"RES_POS_MANUAL_ANGLE", kBody, RES_GROUP_POSITION_PARAMS);
  RES_POS_MANUAL_ROT = new long_res_t(0, L"RES_POS_MANUAL_ROT", kBody, RES_GROUP_POSITION_PARAMS);
  RES_POS_MANUAL_SPAN = new double_res_t(0.0, L"RES_POS_MANUAL_SPAN", kBody, RES_GROUP_POSITION_PARAMS);
  RES_POS_MANUAL_TRAN = new long_res_t(0, L"RES_POS_MANUAL_TRAN", kBody, RES_GROUP_POSITION_PARAMS);
  RES_POS_MANUAL = new bool_res_t(false, L"RES_POS_MANUAL", kBody, RES_GROUP_POSITION_PARAMS);
  RES_YSCALE = new double_res_t(0.01, L"RES_YSCALE", kBody, RES_GROUP_POSITION_PARAMS);
  RES_XSCALE = new double_res_t(0.01, L"RES_XSCALE", kBody, RES_GROUP_POSITION_PARAMS);
  RES_ROLL = new double_res_t(0.0, L"RES_ROLL", kBody, RES_GROUP_POSITION_PARAMS);
  RES_ELEVATION = new double_res_t(0.0, L"RES_ELEVATION", kBody, RES_GROUP_POSITION_PARAMS);
  RES_AZIMUTH = new double_res_t(0.0, L"RES_AZIMUTH", kBody, RES_GROUP_POSITION_PARAMS);
  RES_ZTRANS = new double_res_t(0.0, L"RES_ZTRANS", kBody, RES_GROUP_POSITION_PARAMS);
  RES_YTRANS = new double_res_t(0.0, L"RES_YTRANS", kBody, RES_GROUP_POSITION_PARAMS);
  RES_XTRANS = new double_res_t(0.0, L"RES_XTRANS", kBody, RES_GROUP_POSITION_PARAMS);
  RES_ZSCALE = new double_res_t(0.0, L"RES_ZSCALE", kRunTime, RES_GROUP_MISC);
  RES_MASKED_DATA = new long_res_t(0, L"RES_MASKED_DATA", kBody, RES_GROUP_IMAGE_PARAMS);
  RES_CORRECTED_POS = new bool_res_t(false, L"RES_CORRECTED_POS", kBody, RES_GROUP_IMAGE_DATA);
  RES_CORRECTED_PRESSURE = new bool_res_t(false, L"RES_CORRECTED_PRESSURE", kBody, RES_GROUP_IMAGE_PARAMS);
  RES_BUF_DOPPLER = new bool_res_t(false, L"RES_BUF_DOPPLER", kBody, RES_GROUP_IMAGE_PARAMS);
  RES_INVERT_BSCAN = new bool_res_t(false, L"RES_INVERT_BSCAN", kBody, RES_GROUP_IMAGE_PARAMS);
  RES_VERSION = new wxString_res_t(L"7.27", L"RES_VERSION", kBody, RES_GROUP_MISC);

  // Configuration switches.
  RES_DISPLAY_FEATURES = new long_res_t(72700000, L"RES_DISPLAY_FEATURES", kConfig, RES_GROUP_MISC);
  RES_SETTINGS_MASK = new long_res_t(65535, L"RES_SETTINGS_MASK", kConfig, RES_GROUP_MISC);
  RES_THICKNESS_OUTPUT_DATA = new long_res_t(-1, L"RES_THICKNESS_OUTPUT_DATA", kConfig, RES_GROUP_MISC);
  RES_VRML2_SURFACES = new bool_res_t(true, L"RES_VRML2_SURFACES", kConfig, RES_GROUP_MISC);
  RES_DAT_THICKNESS_FILES = new bool_res_t(true, L"RES_DAT_THICKNESS_FILES", kConfig, RES_GROUP_MISC);
  RES_SPINE_DISP_LANDMARK_NAMES = new bool_res_t(true, L"RES_SPINE_DISP_LANDMARK_NAMES", kConfig, RES_GROUP_MISC);
  RES_SPINE_TASK = new bool_res_t(false, L"RES_SPINE_TASK", kConfig, RES_GROUP_MISC);
  RES_PRESSURE_TASK = new bool_res_t(false, L"RES_PRESSURE_TASK", kConfig, RES_GROUP_MISC);
  RES_SEE_SSM_LOCKED = new long_res_t(0, L"RES_SEE_SSM_LOCKED", kConfig, RES_GROUP_MISC);
  RES_SNAP_LANDMARKS = new bool_res_t(true, L"RES_SNAP_LANDMARKS", kConfig, RES_GROUP_MISC);
  RES_MOUSE_SENSITIVITY = new long_res_t(5, L"RES_MOUSE_SENSITIVITY", kConfig, RES_GROUP_MISC);
  RES_CURSOR_ROTATION = new long_res_t(5, L"RES_CURSOR_ROTATION", kConfig, RES_GROUP_MISC);
  RES_CURSOR_MOVEMENT = new long_res_t(5, L"RES_CURSOR_MOVEMENT", kConfig, RES_GROUP_MISC);
  RES_SCROLL_ZOOM = new long_res_t(5, L"RES_SCROLL_ZOOM", kConfig, RES_GROUP_MISC);
  RES_USE_SCROLLBARS = new bool_res_t(false, L"RES_USE_SCROLLBARS", kConfig, RES_GROUP_MISC);
  RES_GLUT_FONT = new long_res_t(3, L"RES_GLUT_FONT", kConfig, RES_GROUP_MISC);
  RES_MOUSE_MIDDLE_OVERRIDE = new long_res_t(0, L"RES_MOUSE_MIDDLE_OVERRIDE", kConfig, RES_GROUP_MISC);
  RES_MOUSE_RIGHT_OVERRIDE = new long_res_t(0, L"RES_MOUSE_RIGHT_OVERRIDE", kConfig, RES_GROUP_MISC);
  RES_ICON_SIZE = new long_res_t(-1, L"RES_ICON_SIZE", kConfig, RES_GROUP_MISC);
  RES_EXPERT_MODE = new bool_res_t(false, L"RES_EXPERT_MODE", kConfig, RES_GROUP_MISC);

  // Surface material.
  RES_MATERIAL_COLOUR = new wxString_res_t(L"#808080", L"RES_MATERIAL_COLOUR", kMaterial, RES_GROUP_MISC);
  RES_MATERIAL_ANISOTROPY = new double_res_t(0.0, L"RES_MATERIAL_ANISOTROPY", kMaterial, RES_GROUP_MISC);
  RES_MATERIAL_METALLIC = new double_res_t(0.0, L"RES_MATERIAL_METALLIC", kMaterial, RES_GROUP_MISC);
  RES_MATERIAL_ROUGHNESS = new double_res_t(0.4, L"RES_MATERIAL_ROUGHNESS", kMaterial, RES_GROUP_MISC);
}
