#include "data/convert.h"

#include <cmath>
#include <vector>

#include "data/data_io_ui.h"
#include "data/data_lines.h"
#include "data/dynabuf.h"
#include "data/geometry.h"
#include "data/medical_source.h"
#include "data/native_file.h"
#include "registry/resource_table.h"

const wchar_t* const program_data_version = L"7.27";

namespace {

// The version text as a number, or without its last character (a version
// with a trailing letter counts by its number).
bool version_number(const wxString& text, double& v) {
  for (const wxString& t : {text, text.empty() ? text : text.substr(0, text.length() - 1)}) {
    word_t w{t.wx_str(), t.length()};
    if (word_to_double(w, v)) return true;
  }
  return false;
}

// Writes made by the conversion, so that they can be marked changed after
// their commit.
class conversion {
 public:
  template <class R, class V>
  void write(R* res, const V& value) {
    res->write_no_changeprocs(value);
    written_.push_back(res);
  }
  void commit() {
    // Committed as file values are, so that the user's own values and the
    // configuration keep what the user chose; the data set then counts as
    // changed, so that closing asks about the conversion.
    base_res_t::set_file_loading(true);
    base_res_t::make_pending_writes_happen();
    base_res_t::set_file_loading(false);
    for (base_res_t* r : written_) r->set_changed(true);
  }

 private:
  std::vector<base_res_t*> written_;
};

}  // namespace

void update_resource_version() {
  resource_table_t& t = *resource_table;
  const wxString version = t.RES_VERSION->read();
  if (version == program_data_version) return;
  double v;
  if (!version_number(version, v)) return;

  medical_source* source = current_medical_source();
  const bool medical_16bit = t.RES_BUF_DICOM->read() && source && source->data_16bit();
  const wxString units = source ? source->value_units() : wxString("??");
  double slope = 1.0, intercept = 0.0;
  if (source) source->file_rescale(slope, intercept);

  conversion c;
  wxString report;
  bool converted = false, reported = false;

  if (v <= 5.0) {
    if (native_file_contained(t.RES_THICKNESS_SCALE_MM))
      c.write(t.RES_THICKNESS_SCALE_MM, t.RES_THICKNESS_SCALE_MM->read() * 10);
    report += wxString::Format(
        "Converting thickness scale from a version %s file to the current version %s.\n\n", version,
        program_data_version);
    converted = true;
  }

  if (v <= 5.3) {
    if (medical_16bit) {
      c.write(t.RES_DICOM_HUM, slope);
      c.write(t.RES_DICOM_HUB, intercept);
      report +=
          "Adding resources for conversion to Hounsfield Units which can now be adjusted "
          "using the Image display dialog.\n";
      converted = true;
    }
    reported = false;
  } else {
    reported = false;
    if (medical_16bit && units != "??") {
      bool adjusted = false;
      if (t.RES_DICOM_HUM->read() != slope) {
        c.write(t.RES_DICOM_HUM, slope);
        adjusted = true;
      }
      if (t.RES_DICOM_HUB->read() != intercept) {
        c.write(t.RES_DICOM_HUB, intercept);
        adjusted = true;
      }
      if (adjusted) {
        report += "Resources for conversion to Hounsfield Units adjusted to match data files.\n";
        converted = reported = true;
      }
    }
  }

  if (v <= 7.12) {
    if (t.RES_THICKNESS_CREATE_INNER->read() > 0 &&
        native_file_contained(t.RES_THICKNESS_CREATE_INNER))
      c.write(t.RES_THICKNESS_CREATE_INNER, 3);
    if (t.RES_THICKNESS_CREATE_OUTER->read() > 0 &&
        native_file_contained(t.RES_THICKNESS_CREATE_OUTER))
      c.write(t.RES_THICKNESS_CREATE_OUTER, 2);
    reported = false;
    converted = true;
  }

  if (v <= 7.23) {
    if (medical_16bit) {
      c.write(t.RES_DICOM_UNITS, units);
      report +=
          "Adding resource for data units which can now be adjusted using the Image "
          "display dialog.\n";
      reported = false;
      converted = true;
    }
  } else if (medical_16bit && units != "??" && t.RES_DICOM_UNITS->read() != units) {
    c.write(t.RES_DICOM_UNITS, units);
    report += "Resource for data units adjusted to match data files.\n";
    converted = reported = true;
  }

  if (v <= 7.24) {
    const double lr = t.RES_LIGHTING_LEFT_RIGHT->read();
    const double ud = t.RES_LIGHTING_UP_DOWN->read();
    if (!(lr == 0.25 && ud == -0.5)) {
      if (lr / 3.0 != lr && native_file_contained(t.RES_LIGHTING_LEFT_RIGHT))
        c.write(t.RES_LIGHTING_LEFT_RIGHT, lr / 3.0);
      if (ud * 2.0 / 3.0 != ud && native_file_contained(t.RES_LIGHTING_UP_DOWN))
        c.write(t.RES_LIGHTING_UP_DOWN, ud * 2.0 / 3.0);
    }
    reported = false;
    converted = true;
  }

  if (!converted) return;
  report += "Please ensure the file is saved if you want to preserve the conversion.";
  if (reported) data_report(wxLOG_Warning, report);
  c.write(t.RES_VERSION, wxString(program_data_version));
  c.commit();
}

void check_for_image_stack() {
  resource_table_t& t = *resource_table;
  const int32_t n = frame_store ? static_cast<int32_t>(frame_store->images.size()) : 0;
  const int32_t positions = frame_store ? static_cast<int32_t>(frame_store->positions.size()) : 0;
  double spacing = 0.0;
  bool uneven = false;
  int32_t k = 0;

  if (n >= 2 && positions == n && t.RES_AZIMUTH->pending() == 0.0 &&
      t.RES_ELEVATION->pending() == 0.0 && t.RES_ROLL->pending() == 0.0 &&
      frame_store->positions[0]) {
    matrix4_t m;
    matrix4_inverse_from_position_t(m, *frame_store->positions[0]);
    double first = 0.0;
    bool stack = true;
    for (k = 1; k < n; ++k) {
      const position_ref& p = frame_store->positions[static_cast<size_t>(k)];
      if (!p) {
        stack = false;
        break;
      }
      vec3_t q;
      matrix4_transform_point(q, m, vec3_t{p->x, p->y, p->z});
      const double d = vec3_length(q);
      // A frame at frame 0's own place: with the first frame there is no
      // spacing at all; later it is a duplicated frame.
      if (d == 0.0) {
        if (k == 1)
          stack = false;
        else
          uneven = true;
        break;
      }
      if (std::fabs(std::fabs(q.z) / d - 1.0) > 0.001) {
        stack = false;
        break;
      }
      if (k == 1) {
        first = q.z;
      } else if (std::fabs((std::fabs(q.z) / k - std::fabs(first)) / std::fabs(first)) > 0.001) {
        uneven = true;
        break;
      }
    }
    if (stack && !uneven) spacing = first;
  }
  t.RES_ZSCALE->write(spacing);

  if (t.RES_IN_SCRIPT->pending()) return;
  if (uneven && t.RES_BUF_DICOM->pending()) {
    data_report(wxLOG_Warning,
                wxString::Format("This file appears to be a stack of image frames.\nHowever they "
                                 "are not evenly spaced, starting from frame %i of %i.\nIt is "
                                 "possible that some frames are missing or duplicated.\nYou might "
                                 "be able to fix this using 'file', 'export specific frames'.",
                                 k, n));
  } else if (!t.RES_EXPERT_MODE->pending() && n >= 2 && positions == 0) {
    data_report(wxLOG_Warning,
                "This data contains multiple 2D frames with no locations.\nIf this is intended to "
                "be a 3D data set, you need to provide these.\nTry using 'configure', 'image "
                "location' to set the frame spacing and pixel size.");
  }
}
