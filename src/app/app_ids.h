// Window and menu identifiers of the main window: menus, toolbar tools,
// splitters, notebooks and the frame slider. Pages and dialogs number their
// own controls in the blocks between these (6054..7411).
#pragma once

enum main_frame_id : int {
  // File menu
  ID_FILE_CLOSE = 6000,            // "&Close\tCtrl+C"
  ID_FILE_OPEN = 6001,             // "&Open...\tCtrl+O"
  ID_FILE_OPEN_DIRECTORY = 6002,   // "&Open directory...\tCtrl+D"
  ID_FILE_SAVE = 6003,             // "&Save\tCtrl+S"
  ID_FILE_SAVE_AS = 6004,          // "Save &as...\tCtrl+A"
  ID_FILE_EDIT_COMMENT = 6005,     // "Edit comment"
  ID_SETTINGS_OPEN = 6006,         // "Open settings"
  ID_SETTINGS_SAVE_AS = 6007,      // "Save settings as..."
  ID_SETTINGS_RESET = 6008,        // "Reset to default values"
  ID_FILE_EXPORT_FRAMES = 6009,    // "Export specific frames"
  ID_GRAB_REVIEW = 6010,           // "Grab review window"
  ID_GRAB_3D = 6011,               // "Grab 3D window"
  ID_GRAB_CENTRE = 6012,           // "Grab centre/left window"
  ID_GRAB_RIGHT = 6013,            // "Grab right window"
  ID_FILE_EXPORT_VOXELS = 6014,    // "Export resliced data"
  ID_FILE_EXPORT_IMAGE = 6015,     // "Export image data"
  ID_FILE_QUIT = 6016,             // "&Quit\tCtrl+Q"

  // Task menu
  ID_TASK_DRAW = 6017,             // "&Draw"
  ID_TASK_LANDMARKS = 6018,        // "&Landmarks"
  ID_TASK_PRESSURE = 6022,         // "Pr&essure"
  ID_TASK_THICKNESS = 6024,        // "Thic&kness"
  ID_TASK_FIT_MODEL = 6025,        // "&Fit shape model"
  ID_TASK_SCRIPT = 6026,           // "S&cript"
  ID_TASK_SPINE = 6030,            // "Spi&ne"

  // Visual menu
  ID_VISUAL_NONE = 6019,           // "&None"
  ID_VISUAL_ORTHO = 6020,          // "&Orthographic"
  ID_VISUAL_RESLICE = 6021,        // "&Reslice"
  ID_VISUAL_PRESSURE = 6023,       // "Pr&essure"
  ID_VISUAL_THICKNESS = 6027,      // "Thic&kness"
  ID_VISUAL_VOLUME = 6028,         // "&Volume"
  ID_VISUAL_PANORAMA = 6029,       // "&Panorama"
  ID_VISUAL_SPINE = 6031,          // "Spi&ne"

  // GUI menu
  ID_GUI_WINDOWS_2D = 6032,        // "Windows for &2D"
  ID_GUI_WINDOWS_3D = 6033,        // "Windows for &3D"
  ID_GUI_SET_3D_SIZE = 6034,       // "Set 3D window &size"
  ID_GUI_CONTROLS_LEFT = 6035,     // "Controls on &left"
  ID_GUI_CONTROLS_RIGHT = 6036,    // "Controls on &right"
  ID_GUI_CONTROLS_BOTH = 6037,     // "Controls &both sides"
  ID_CONFIG_MOUSE = 6038,          // "&Mouse and keys"
  ID_CONFIG_GRAPHICS = 6039,       // "&Graphics and display"

  // Configure menu
  ID_CONFIG_LOCATION = 6040,       // "Image lo&cation"
  ID_CONFIG_DISPLAY = 6041,        // "&Image display"

  // Splitters
  ID_OUTER_SPLITTER = 6042,
  ID_RIGHT_SPLITTER = 6043,
  ID_LEFT_SPLITTER = 6044,
  ID_VIEW_SPLITTER = 6045,
  ID_UPPER_VIEW_SPLITTER = 6046,
  ID_LOWER_VIEW_SPLITTER = 6047,

  // Help menu
  ID_HELP_INDEX = 6048,            // "&Help window \tF1"
  ID_HELP_UPDATE = 6049,           // "Check for &updates"
  ID_HELP_ONLINE = 6050,           // "&Online pages"
  ID_HELP_ABOUT = 6051,            // "&About...\tShift+F1"

  // Notebooks and the frame slider
  ID_TASK_NOTEBOOK = 6052,
  ID_VISUAL_NOTEBOOK = 6053,
  ID_FRAME_SLIDER = 6057,

  // Toolbar
  ID_TOOL_INVERT_IMAGE = 6065,     // "Invert image"
  ID_TOOL_REWIND = 6170,           // "Rewind"
  ID_TOOL_PLAY = 6171,             // "Play"
  ID_TOOL_DRAG = 7412,             // "Drag"; the radio group is 7412 + tool_selection_t
  ID_TOOL_SELECT = 7413,           // "Select"
  ID_TOOL_MARK = 7414,             // "Mark"
  ID_TOOL_DRAW = 7415,             // "Draw"
  ID_TOOL_MEASURE = 7416,          // "Measure"
  ID_TOOL_ERASE = 7417,            // "Erase"
  ID_TOOL_DRAG_ZOOM = 7418,        // "Drag zoom"
  ID_TOOL_RADIO_LAST = 7420,       // end of the radio range (7419 and 7420 carry no tool)
  ID_TOOL_LOCK_ZOOM = 7421,        // "Lock zoom"
  ID_TOOL_SEE_OUTLINES = 7422,     // "Display frames"
  ID_TOOL_SEE_MARK = 7423,         // "Display landmarks"
  ID_TOOL_SEE_DRAW = 7424,         // "Display objects"
};
