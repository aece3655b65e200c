// The guard run before a surface is replaced or discarded: a derived
// cortical-layer surface (one made from another object's surface) is deleted,
// after a question, before its source changes, and a derived surface whose
// source has lost its surface goes without one.
#pragma once

#include <functional>

#include <wx/string.h>

// Which derived surfaces check_derived_surfaces looks at.
constexpr int DERIVED_OF_ALL = -1;      // every derived surface, each asked about
constexpr int DERIVED_ORPHANS = -2;     // those whose source has no surface, silently

// An OK/Cancel question (caption, text); true for OK.
using derived_surface_question = std::function<bool(const wxString& caption, const wxString& text)>;

// Deletes, slot by slot in ascending order, the derived surfaces that object
// concerns: those made from object (0 or more), every one (DERIVED_OF_ALL),
// or the orphans (DERIVED_ORPHANS, without a question). Each deletion resets
// the slot's object when it has contours, empties its surface resource and
// commits before the surface is freed. True when a question was cancelled:
// the caller stops; surfaces confirmed before the cancel stay deleted.
bool check_derived_surfaces(int object, const derived_surface_question& ask);

// The same asking through the program's dialogs (the file menu's
// OK/Cancel question); while a script runs no question is asked and each is
// taken as OK, so that the script's command goes on.
bool check_derived_surfaces(int object);
