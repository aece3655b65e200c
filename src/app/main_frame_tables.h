// The menus and the toolbar of the main window as data, one entry a line,
// in the order they appear.
#pragma once

#include <wx/defs.h>

enum menu_index : int { MENU_FILE, MENU_TASK, MENU_CONFIGURE, MENU_VISUAL, MENU_GUI, MENU_HELP, MENU_COUNT };

// When an item exists and whether it starts enabled.
enum class item_rule { on, off, no_frames, pressure, spine, separator };

struct menu_row_t {
  menu_index menu;
  int id;  // 0 for a separator
  const wchar_t* label;
  const wchar_t* help;
  item_rule rule;
};

struct menu_title_t {
  menu_index menu;
  const wchar_t* title;
};

extern const menu_title_t menu_titles[MENU_COUNT];
extern const menu_row_t menu_rows[];
extern const int menu_row_count;

// Kinds of toolbar entries besides tools.
enum class toolbar_entry { tool, separator, frames_label, text };

struct toolbar_row_t {
  toolbar_entry entry;
  int id;
  const wchar_t* label;  // tool label, or the text of a static text
  wxItemKind kind;
  const wchar_t* long_help;
  int picture;  // toolbar_picture
};

extern const toolbar_row_t toolbar_rows[];
extern const int toolbar_row_count;
