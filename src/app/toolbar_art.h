// The pictures of the toolbar tools, the seven mouse-tool cursors and the
// frame icons, drawn by the program itself so that no image files are
// needed at run time.
#pragma once

#include <wx/bitmap.h>
#include <wx/cursor.h>
#include <wx/iconbndl.h>
#include <wx/image.h>

// Indices of MainFrame::tool_cursors.
enum tool_cursor_index : int {
  CURSOR_DRAW = 0,       // pencil pointing to the upper left
  CURSOR_MARK = 1,       // hand with raised index finger
  CURSOR_DRAG = 2,       // open grabbing hand
  CURSOR_DRAG_ZOOM = 3,  // magnifying glass
  CURSOR_ERASE = 4,      // eraser
  CURSOR_SELECT = 5,     // dashed crosshair with an open centre
  CURSOR_MEASURE = 6,    // double-headed measuring arrow with a hook
};

// Picture `picture` (a toolbar_picture) as a square bitmap of edge pixels.
wxBitmap toolbar_picture(int picture, int edge);

// The 24 x 24 cursor image with its hotspot options set, and the cursor.
wxImage tool_cursor_image(int index);
wxCursor tool_cursor(int index);

// The frame icons at 16, 20, 24, 32, 40, 48, 64, 128 and 256 pixels.
wxIconBundle frame_icon_bundle();
