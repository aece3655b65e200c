// What the data layer needs of the surfaces held in RES_SURFACE<k>: deleting
// them when the data are reset or exported. Their class belongs to the
// surfaces library above; the resource table's construction installs the
// deleter, as the volume readers install the frame windowing.
#pragma once

class surface_interp;

using surface_deleter_fn = void (*)(surface_interp*);
void set_surface_deleter(surface_deleter_fn fn);

// Deletes the surface through the installed deleter; null is ignored. With no
// deleter installed there can be no surface to delete.
void delete_surface(surface_interp* surface);
