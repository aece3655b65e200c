#include "data/data_reset.h"

#include "data/curves.h"
#include "data/data_io_ui.h"
#include "data/dynabuf.h"
#include "data/landmarks.h"
#include "data/medical_source.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "data/surface_store.h"
#include "registry/resource_table.h"

void reset_data_resources() {
  resource_table_t& t = *resource_table;
  for (bool_res_t* r :
       {t.RES_BUF_DOPPLER, t.RES_BUF_RF, t.RES_BUF_DICOM, t.RES_POS_MANUAL, t.RES_CORRECTED_POS,
        t.RES_CORRECTED_PRESSURE, t.RES_CMAP_LABELS, t.RES_INVERT_BSCAN})
    r->write_no_changeprocs(false);
  t.RES_MASKED_DATA->write_no_changeprocs(0);
  t.RES_DICOM_BMD_SCALE->write_no_changeprocs(1.0);
  t.RES_DICOM_BMD_OFFSET->write_no_changeprocs(0.0);
  t.RES_DICOM_BMD_PHANTOM->write_no_changeprocs("No");
  t.RES_DICOM_UNITS->write_no_changeprocs("??");
  t.RES_VOLUME_LANDMARK->write_no_changeprocs("??");
  t.RES_VERSION->write_no_changeprocs("3.6");
}

void clear_data() {
  resource_table_t& t = *resource_table;
  if (frame_store) frame_store->clear();
  if (std::vector<long>* list = t.RES_DICOM_FRAME_LIST->pending()) list->clear();

  // The held objects are never replaced, so their current and pending values
  // agree; surfaces may have been replaced without a commit, so the one
  // pending is the one held.
  contour_object* objects = t.RES_OBJECT->read();
  for (int k = 0; k < NUM_USER_OBJECTS; ++k) {
    objects[k].reset();
    if (surface_interp* s = t.RES_SURFACE[k]->pending()) {
      delete_surface(s);
      t.RES_SURFACE[k]->write_no_changeprocs(nullptr);
    }
  }
  contour_object::assign_default_names_and_colours(objects, -1);

  data_set_pages* pages = current_data_set_pages();
  if (pages)
    pages->reset_volume_properties(-1);
  else
    set_default_volume_rows(t.RES_VOLUME->read());

  reslice_info* planes = t.RESLICE->read();
  for (int k = 0; k < resource_table_t::kReslicePlaneCount; ++k) planes[k].reset_placement();

  if (std::vector<wxString>* comments = t.RES_COMMENT->pending()) comments->clear();
  t.RES_LANDMARKS->read()->remove_data_landmarks();
  t.RES_CURVE->read()->curves.clear();
  if (medical_source* source = current_medical_source()) source->reset_data_source();
  if (pages) {
    pages->update_landmark_list();
    pages->update_curve_list();
  }
}
