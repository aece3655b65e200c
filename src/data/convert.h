// Bringing a data set read from an older file up to the running version, and
// finding out whether the loaded frames form an evenly spaced stack.
#pragma once

// The version of the program, as data files record it.
extern const wchar_t* const program_data_version;  // "7.27"

// Converts the values of a native data file written by an older version and
// reports what it changed. Only values the file itself contained are
// converted, so that values already in today's units (the user's own, for
// lines the file lacked) are never converted twice. Converted resources count
// as changed; the user's own settings and the configuration are left alone.
void update_resource_version();

// Sets RES_ZSCALE to the spacing of an evenly spaced stack of parallel frames
// (0 when the frames are no such stack) and warns about uneven stacks and
// 2D frames without locations. Reads the pending values, so that it sees a
// file being read under held writes.
void check_for_image_stack();
