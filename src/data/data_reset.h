// Resetting the per-data-set resources before a load and emptying the data
// set on closing or after a failed load.
#pragma once

// Writes the per-data-set resources back to their reset values, without
// running change procedures: the caller's commit takes them with the rest.
// RES_VERSION becomes "3.6", so that a file without the line counts as such.
void reset_data_resources();

// Empties the data set in place: frames, frame-number list, contours and
// surfaces of the user objects (with their default names and colours), the
// volume colour mapping, the reslice planes' placement, comments, landmarks
// other than fiducials, curves and the volume readers' description. Nothing
// is committed; the caller's commit tells the views.
void clear_data();
