#include "app/main_frame_tables.h"

#include "app/app_ids.h"
#include "app/main_frame.h"

const menu_title_t menu_titles[MENU_COUNT] = {
    {MENU_FILE, L"&File"},   {MENU_TASK, L"&Task"}, {MENU_CONFIGURE, L"&Configure"},
    {MENU_VISUAL, L"&Visual"}, {MENU_GUI, L"&GUI"}, {MENU_HELP, L"&Help"},
};

#define SEPARATOR(m) {m, 0, L"", L"", item_rule::separator}

// clang-format off
const menu_row_t menu_rows[] = {
  {MENU_FILE, ID_FILE_OPEN,           L"&Open...\tCtrl+O",           L"Open a new data set", item_rule::no_frames},
  {MENU_FILE, ID_FILE_OPEN_DIRECTORY, L"&Open directory...\tCtrl+D", L"Search a directory for files", item_rule::no_frames},
  {MENU_FILE, ID_FILE_SAVE,           L"&Save\tCtrl+S",              L"Save the current data", item_rule::off},
  {MENU_FILE, ID_FILE_SAVE_AS,        L"Save &as...\tCtrl+A",        L"Save the current data as a new file name", item_rule::off},
  {MENU_FILE, ID_FILE_CLOSE,          L"&Close\tCtrl+C",             L"Close the current data set", item_rule::off},
  SEPARATOR(MENU_FILE),
  {MENU_FILE, ID_SETTINGS_OPEN,       L"Open settings",              L"Open a file containing parameters or display settings", item_rule::on},
  {MENU_FILE, ID_SETTINGS_SAVE_AS,    L"Save settings as...",        L"Save parameters or display settings to a file", item_rule::on},
  {MENU_FILE, ID_SETTINGS_RESET,      L"Reset to default values",    L"Set all parameters and display settings to default values", item_rule::on},
  SEPARATOR(MENU_FILE),
  {MENU_FILE, ID_FILE_EDIT_COMMENT,   L"Edit comment",               L"Add, edit or view a comment saved with this data", item_rule::off},
  SEPARATOR(MENU_FILE),
  {MENU_FILE, ID_FILE_EXPORT_IMAGE,   L"Export image data",          L"Export loaded image data in alternative data formats", item_rule::off},
  {MENU_FILE, ID_FILE_EXPORT_FRAMES,  L"Export specific frames",     L"Export individual frames and contours in Halmondo or image formats", item_rule::off},
  {MENU_FILE, ID_FILE_EXPORT_VOXELS,  L"Export resliced data",       L"Export data aligned to the current reslice in Halmondo format", item_rule::off},
  SEPARATOR(MENU_FILE),
  {MENU_FILE, ID_GRAB_REVIEW,         L"Grab review window",         L"Grab the review window and save to an image file", item_rule::on},
  {MENU_FILE, ID_GRAB_3D,             L"Grab 3D window",             L"Grab the 3D window and save to an image file", item_rule::on},
  {MENU_FILE, ID_GRAB_CENTRE,         L"Grab centre/left window",    L"Grab the lower centre or left hand window and save to an image file", item_rule::off},
  {MENU_FILE, ID_GRAB_RIGHT,          L"Grab right window",          L"Grab the lower right hand window and save to an image file", item_rule::off},
  SEPARATOR(MENU_FILE),
  {MENU_FILE, ID_FILE_QUIT,           L"&Quit\tCtrl+Q",              L"Exit norvelith.", item_rule::on},

  {MENU_TASK, ID_TASK_DRAW,           L"&Draw",                      L"Draw and measure objects", item_rule::on},
  {MENU_TASK, ID_TASK_FIT_MODEL,      L"&Fit shape model",           L"Fit shape model", item_rule::on},
  {MENU_TASK, ID_TASK_LANDMARKS,      L"&Landmarks",                 L"View landmark information", item_rule::on},
  {MENU_TASK, ID_TASK_THICKNESS,      L"Thic&kness",                 L"Calculation of cortical thickness", item_rule::on},
  {MENU_TASK, ID_TASK_SCRIPT,         L"S&cript",                    L"Run Script", item_rule::on},
  {MENU_TASK, ID_TASK_PRESSURE,       L"Pr&essure",                  L"Correction of probe pressure artefacts", item_rule::pressure},
  {MENU_TASK, ID_TASK_SPINE,          L"Spi&ne",                     L"Assessment of spine", item_rule::spine},

  {MENU_CONFIGURE, ID_CONFIG_LOCATION, L"Image lo&cation",           L"Determine image location and size", item_rule::on},
  {MENU_CONFIGURE, ID_CONFIG_DISPLAY,  L"&Image display",            L"Determine how image data is displayed and calibrated", item_rule::on},

  {MENU_VISUAL, ID_VISUAL_NONE,       L"&None",                      L"Clear the lower visual pane", item_rule::on},
  {MENU_VISUAL, ID_VISUAL_ORTHO,      L"&Orthographic",              L"Display two additional mutually orthogonal planes", item_rule::on},
  {MENU_VISUAL, ID_VISUAL_RESLICE,    L"&Reslice",                   L"Display an arbitrarily orientable plane", item_rule::on},
  {MENU_VISUAL, ID_VISUAL_VOLUME,     L"&Volume",                    L"Volume rendering of regular data sets", item_rule::on},
  {MENU_VISUAL, ID_VISUAL_THICKNESS,  L"Thic&kness",                 L"Visualisation of cortical thickness", item_rule::on},
  {MENU_VISUAL, ID_VISUAL_PRESSURE,   L"Pr&essure",                  L"Display a plane oriented for probe pressure correction", item_rule::pressure},
  {MENU_VISUAL, ID_VISUAL_PANORAMA,   L"&Panorama",                  L"Display an extended field-of-view image", item_rule::pressure},
  {MENU_VISUAL, ID_VISUAL_SPINE,      L"Spi&ne",                     L"Spine measurements", item_rule::spine},

  {MENU_GUI, ID_GUI_WINDOWS_2D,       L"Windows for &2D",            L"Layout visualisation windows for 2D data", item_rule::on},
  {MENU_GUI, ID_GUI_WINDOWS_3D,       L"Windows for &3D",            L"Layout visualisation windows for 3D data", item_rule::on},
  {MENU_GUI, ID_GUI_SET_3D_SIZE,      L"Set 3D window &size",        L"Set a specific size for the 3D window", item_rule::on},
  {MENU_GUI, ID_GUI_CONTROLS_LEFT,    L"Controls on &left",          L"Put task and visualisation pages on the left", item_rule::on},
  {MENU_GUI, ID_GUI_CONTROLS_RIGHT,   L"Controls on &right",         L"Put task and visualisation pages on the right", item_rule::on},
  {MENU_GUI, ID_GUI_CONTROLS_BOTH,    L"Controls &both sides",       L"Put task pages on the left and visualisation pages on the right", item_rule::on},
  SEPARATOR(MENU_GUI),
  {MENU_GUI, ID_CONFIG_GRAPHICS,      L"&Graphics and display",      L"Graphics and display options", item_rule::on},
  {MENU_GUI, ID_CONFIG_MOUSE,         L"&Mouse and keys",            L"Mouse and key press options", item_rule::on},

  {MENU_HELP, ID_HELP_INDEX,          L"&Help window \tF1",          L"", item_rule::on},
  SEPARATOR(MENU_HELP),
  {MENU_HELP, ID_HELP_ONLINE,         L"&Online pages",              L"Use an external browser to access the online Norvelith pages", item_rule::on},
  {MENU_HELP, ID_HELP_UPDATE,         L"Check for &updates",         L"Check for any more recent software releases", item_rule::on},
  SEPARATOR(MENU_HELP),
  {MENU_HELP, ID_HELP_ABOUT,          L"&About...\tShift+F1",        L"", item_rule::on},
};
// clang-format on

const int menu_row_count = sizeof(menu_rows) / sizeof(menu_rows[0]);

#define TB_SEPARATOR {toolbar_entry::separator, -1, L"", wxITEM_NORMAL, L"", -1}

// clang-format off
const toolbar_row_t toolbar_rows[] = {
  {toolbar_entry::tool, ID_TOOL_REWIND,       L"Rewind",            wxITEM_NORMAL, L"Rewind recorded data", PIC_REWIND},
  {toolbar_entry::tool, ID_TOOL_PLAY,         L"Play",              wxITEM_CHECK,  L"Play/Pause recorded data", PIC_PLAY},
  TB_SEPARATOR,
  {toolbar_entry::frames_label, -1,           L"",                  wxITEM_NORMAL, L"", -1},
  TB_SEPARATOR,
  {toolbar_entry::text, -1,                   L"Tool: ",            wxITEM_NORMAL, L"", -1},
  {toolbar_entry::tool, ID_TOOL_DRAG,         L"Drag",              wxITEM_RADIO,  L"Rotation of 3D data or windowing of 16-bit image data", PIC_DRAG},
  {toolbar_entry::tool, ID_TOOL_SELECT,       L"Select",            wxITEM_RADIO,  L"Select a region for processing", PIC_SELECT},
  {toolbar_entry::tool, ID_TOOL_MARK,         L"Mark",              wxITEM_RADIO,  L"Mark locations in the windows", PIC_MARK},
  {toolbar_entry::tool, ID_TOOL_DRAW,         L"Draw",              wxITEM_RADIO,  L"Outline features in the review window", PIC_DRAW},
  {toolbar_entry::tool, ID_TOOL_MEASURE,      L"Measure",           wxITEM_RADIO,  L"Measure lengths in the review window", PIC_MEASURE},
  {toolbar_entry::tool, ID_TOOL_ERASE,        L"Erase",             wxITEM_RADIO,  L"Erase components in the windows", PIC_ERASE},
  {toolbar_entry::tool, ID_TOOL_DRAG_ZOOM,    L"Drag zoom",         wxITEM_RADIO,  L"Click and drag to zoom the windows", PIC_DRAG_ZOOM},
  {toolbar_entry::tool, ID_TOOL_LOCK_ZOOM,    L"Lock zoom",         wxITEM_CHECK,  L"Do not adjust zoom for window size", PIC_LOCK_ZOOM},
  TB_SEPARATOR,
  {toolbar_entry::text, -1,                   L"Display: ",         wxITEM_NORMAL, L"", -1},
  {toolbar_entry::tool, ID_TOOL_INVERT_IMAGE, L"Invert image",      wxITEM_CHECK,  L"Flip the image vertically in the review window", PIC_INVERT_IMAGE},
  {toolbar_entry::tool, ID_TOOL_SEE_OUTLINES, L"Display frames",    wxITEM_CHECK,  L"Display outlines in the 3D and reslice windows", PIC_SEE_OUTLINES},
  {toolbar_entry::tool, ID_TOOL_SEE_MARK,     L"Display landmarks", wxITEM_CHECK,  L"Display landmarks in all windows", PIC_SEE_MARK_AUTO},
  {toolbar_entry::tool, ID_TOOL_SEE_DRAW,     L"Display objects",   wxITEM_CHECK,  L"Display any contours or surfaces in all windows", PIC_SEE_DRAW_AUTO},
  TB_SEPARATOR,
};
// clang-format on

const int toolbar_row_count = sizeof(toolbar_rows) / sizeof(toolbar_rows[0]);
