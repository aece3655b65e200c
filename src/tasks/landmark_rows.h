// The Landmarks page without its windows: which landmarks occupy the rows
// A, B and C, the grid of their coordinates, distances and angles, renaming
// through a row, and the lines of the landmark export file.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <wx/string.h>

#include "data/landmarks.h"

class contour_object;

// A landmark's key in the list: "object:name" for a surface landmark, the
// name for every other kind.
wxString landmark_key(const landmark_t& lm);
// The name a key shows: the part after the first colon when the part before
// it is a whole number, the whole key otherwise.
wxString landmark_display_name(const wxString& key);
// A frame number stored as a double, rounded half away from zero.
long landmark_frame(double z);

class landmark_rows {
 public:
  static constexpr int ROWS = 3;

  // The keys of the landmarks that occupy rows, oldest first.
  std::vector<wxString> held;
  // Per row: in use, the key it stands for, and the text its name field shows.
  std::array<bool, ROWS> used{};
  std::array<wxString, ROWS> key;
  std::array<wxString, ROWS> shown;

  // The list's selection changed; selected holds the selected items' texts
  // in list order and only_changes_handled says whether deselections count
  // (false while the list is being refilled). Returns the text of an item to
  // deselect in the list (a fourth selection displaces the oldest), already
  // taken out of selected; empty when none.
  wxString select(std::vector<wxString>& selected, bool deselections_count);

  // The list was refilled with the keys of lms. Returns the texts to select.
  std::vector<wxString> rebuild(const landmarks& lms);

  void free_row(int r);
  int row_of(const wxString& k) const;
  void clear();

 private:
  void fill(int r, const wxString& k, const wxString& text);
  int first_free() const;
};

// The grid's texts; an empty optional leaves the cell as it was (the refresh
// stopped at a row whose landmark has gone).
struct landmark_grid {
  // position[column][row]: x, y, z in millimetres, then the angle.
  std::array<std::array<std::optional<wxString>, 4>, landmark_rows::ROWS> position;
  std::array<std::optional<wxString>, 3> distance;  // AB, AC, BC
  // Whether " Locate to selected landmarks " is enabled; empty when left as is.
  std::optional<bool> locate_enabled;
};

extern const wchar_t* const kNoValue;  // "--.--"

landmark_grid landmark_grid_values(const landmark_rows& rows, const landmarks& lms);

// What a new name typed in a row did.
enum class rename_result { unchanged, refused, renamed };

// Renames the landmark of row r to text; refusals log their error and the
// row shows the old name again. fiducial tells whether the renamed landmark
// is a fiducial (the event to raise).
rename_result rename_landmark(landmarks& lms, landmark_rows& rows, int r, const wxString& text,
                              bool& fiducial);

// The header and one line per landmark of the export file, without line ends.
extern const char* const kLandmarkExportHeader;
// objects is the object table (object_count entries) that names a surface
// landmark's object.
std::vector<wxString> landmark_export_lines(const landmarks& lms, const contour_object* objects,
                                           int object_count, const wxString& data_file);
// A field as it goes into the comma-separated file: quoted when it holds a
// comma, a quote or a line break.
wxString csv_field(const wxString& text);

// Appends the lines to path (the header first when the file is new), each
// with CR LF, through the save helper; lines already there keep their own
// line ends. False with the reason in error.
bool append_landmark_export(const wxString& path, const std::vector<wxString>& lines,
                            wxString& error);
