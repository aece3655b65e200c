// The "Calibrate for BMD" command: the loaded data and landmarks as the
// calibration reads them, its messages, and the equation it writes.
#include <wx/log.h>

#include "medical/bmd_calibration.h"
#include "medical/dicom_utility.h"
#include "registry/resource_table.h"
#include "settings/image_display_dlg.h"

void calibrate_bone_density() {
  resource_table_t& t = *resource_table;
  if (!frame_store || !t.RES_BUF_DICOM->read() || !dicom_utility::data_16bit) return;
  bmd_input in;
  in.frames = t.RES_BUF_FRAMES->read();
  in.width = t.RES_BUF_WIDTH->read();
  in.height = t.RES_BUF_HEIGHT->read();
  in.xscale = t.RES_XSCALE->read();
  in.yscale = t.RES_YSCALE->read();
  in.calibration = {float(t.RES_XTRANS->read()), float(t.RES_YTRANS->read()), float(t.RES_ZTRANS->read()),
                    float(t.RES_AZIMUTH->read()), float(t.RES_ELEVATION->read()), float(t.RES_ROLL->read())};
  in.hum = t.RES_DICOM_HUM->read();
  in.hub = t.RES_DICOM_HUB->read();
  in.cortical_hu = t.RES_THICKNESS_B->read();
  // Frames are looked up as the sampling reaches them; the store keeps them
  // for the whole call.
  const int32_t frames = in.frames;
  in.raw = [frames](int32_t f) -> const uint16_t* {
    if (f < 0 || f >= frames || size_t(f) >= frame_store->images.size()) return nullptr;
    const frame_image_ref& image = frame_store->images[size_t(f)];
    return image ? image->raw : nullptr;
  };
  in.position = [frames](int32_t f) -> const position_t* {
    if (f < 0 || f >= frames || size_t(f) >= frame_store->positions.size()) return nullptr;
    return frame_store->positions[size_t(f)].get();
  };
  if (const landmarks* list = t.RES_LANDMARKS->read()) in.landmarks = list->items;

  const bmd_result r = bmd_calibrate(in);
  const bool in_script = t.RES_IN_SCRIPT->read();
  if (r.status == bmd_result::NOT_APPLICABLE) return;
  if (r.status == bmd_result::FAILED) {
    wxLogMessage(L"%s", r.message);
    // A failure must also fail the script that asked for it.
    if (in_script) t.RES_SCRIPT_WRITE_MESSAGE->write(L"ERROR " + r.message);
    return;
  }
  if (!in_script)
    for (const wxString& line : r.report) wxLogMessage(L"%s", line);
  t.RES_DICOM_BMD_SCALE->write_no_changeprocs(r.scale);
  t.RES_DICOM_BMD_OFFSET->write_no_changeprocs(r.offset);
  t.RES_DICOM_BMD_PHANTOM->write_no_changeprocs(r.phantom);
  base_res_t::make_pending_writes_happen();
}
