// Saving and loading a surface's thickness results as a set of ".bin" files
// (see thickness_files.h), and the normal-blur file.
#include "thickness/thickness_files.h"

#include <wx/file.h>
#include <wx/filename.h>
#include <wx/log.h>

#include <cmath>
#include <cstring>
#include <ctime>

#include "data/convert.h"
#include "data/data_io_ui.h"
#include "data/file_save.h"
#include "registry/resource_table.h"
#include "thickness/thickness.h"

namespace {

constexpr double kNoValue = 1e10;

using array_t = std::vector<double> surface_interp::*;

// A file's part in a set.
enum class role {
  thickness,  // required
  displayed,  // written, never read
  error,      // required
  offsets,    // written with layers
  single,     // optional, read when present
  density_error,  // the thickness errors again, written with the density, never read
  pair_value,
  pair_error,
};

struct file_kind {
  const char* current;
  const char* older;
  array_t array;
  thickness_unit unit;
  role part;
};

// In the order the overwrite question names them.
const file_kind kFiles[] = {
    {"_thick_dat", "_thickness", &surface_interp::cortical_thickness, thickness_unit::mm, role::thickness},
    {"_smthick_dat", "_smoothed_thickness", &surface_interp::smoothed_thickness, thickness_unit::mm, role::displayed},
    {"_thick_err", "_thick_err", &surface_interp::fit_error, thickness_unit::none, role::error},
    {"_surface_dat", "_surface", &surface_interp::surface_offset, thickness_unit::mm, role::offsets},
    {"_seg_dat", "_seg", &surface_interp::segment_length, thickness_unit::mm, role::single},
    {"_density_dat", "_density", &surface_interp::density, thickness_unit::hu, role::single},
    {"_density_err", "_density_err", &surface_interp::fit_error, thickness_unit::none, role::density_error},
    {"_joint_dat", "_joint", &surface_interp::outer_gap, thickness_unit::mm, role::pair_value},
    {"_joint_err", "_joint_err", &surface_interp::outer_gap_error, thickness_unit::none, role::pair_error},
    {"_pore_dat", "_pore", &surface_interp::inner_gap, thickness_unit::mm, role::pair_value},
    {"_pore_err", "_pore_err", &surface_interp::inner_gap_error, thickness_unit::none, role::pair_error},
    {"_blur_dat", "_gauss", &surface_interp::blur, thickness_unit::mm, role::pair_value},
    {"_blur_err", "_gauss_err", &surface_interp::blur_error, thickness_unit::none, role::pair_error},
    {"_endo_dat", "_endo", &surface_interp::endo_thickness, thickness_unit::mm, role::pair_value},
    {"_endo_err", "_endo_err", &surface_interp::endo_error, thickness_unit::none, role::pair_error},
    {"_trab_dat", "_trab_density", &surface_interp::inner_density, thickness_unit::hu, role::pair_value},
    {"_trab_err", "_trab_density_err", &surface_interp::inner_density_error, thickness_unit::none, role::pair_error},
    {"_tissue_dat", "_soft_density", &surface_interp::outer_density, thickness_unit::hu, role::single},
};
constexpr size_t kFileCount = sizeof kFiles / sizeof kFiles[0];

bool ends_with(const wxString& s, const char* ending) {
  const wxString e(ending);
  return s.length() >= e.length() && s.compare(s.length() - e.length(), e.length(), e) == 0;
}

wxString file_path(const wxString& folder, const wxString& stub, const char* suffix,
                   const wxString& ext) {
  return wxFileName(folder, stub + suffix, ext).GetFullPath();
}

bool exists_for(const surface_interp& s, array_t a) {
  return s.mesh.n_points > 0 && (s.*a).size() == size_t(s.mesh.n_points);
}

std::string date_text() {
  const std::time_t now = std::time(nullptr);
  std::string d = std::ctime(&now);
  while (!d.empty() && (d.back() == '\n' || d.back() == '\r')) d.pop_back();
  return d;
}

}  // namespace

wxString thickness_stub(const wxString& name_part, const std::vector<const char*>& endings) {
  for (const char* e : endings)
    if (ends_with(name_part, e)) return name_part.Left(name_part.length() - std::strlen(e));
  return name_part;
}

const std::vector<const char*>& thickness_save_endings() {
  static const std::vector<const char*> list = {
      "_thick_dat", "_thick_err", "_density_dat", "_surface_dat", "_seg_dat", "_joint_dat",
      "_joint_err", "_pore_dat",  "_pore_err",    "_blur_dat",    "_blur_err", "_tissue_dat",
      "_trab_dat",  "_trab_err",  "_endo_dat",    "_endo_err"};
  return list;
}

const std::vector<const char*>& thickness_load_endings() {
  static const std::vector<const char*> list = {
      "_thick_dat", "_density_dat", "_surface_dat", "_seg_dat",  "_joint_dat",
      "_pore_dat",  "_blur_dat",    "_tissue_dat",  "_trab_dat", "_endo_dat"};
  return list;
}

// Every suffix the older set is written with: "_smoothed_thickness" before
// "_thickness", and "_density_err" after "_trab_density_err", which ends the
// same way.
const std::vector<const char*>& thickness_older_endings() {
  static const std::vector<const char*> list = {
      "_smoothed_thickness", "_thickness", "_thick_err", "_soft_density", "_trab_density",
      "_density", "_surface", "_seg", "_joint", "_joint_err", "_gauss", "_gauss_err",
      "_trab_density_err", "_endo", "_endo_err", "_pore", "_pore_err", "_density_err"};
  return list;
}

std::string thickness_header(double lo, double hi, thickness_unit unit, const std::string& note) {
  std::string h(kThicknessHeaderSize, '\0');
  std::memcpy(&h[0], &lo, 8);
  std::memcpy(&h[8], &hi, 8);
  const char* text = unit == thickness_unit::hu ? "HU" : "mm";
  h[16] = text[0];
  h[17] = text[1];
  const size_t room = kThicknessNoteBlock - 3;
  std::memcpy(&h[19], note.data(), std::min(note.size(), room));
  return h;
}

std::string thickness_note(bool reversed, const std::string& date) {
  return std::string(reversed ? "Reversed\n" : "") + "Created by Norvelith v" +
         std::string(wxString(program_data_version).utf8_str()) + " on " + date;
}

std::vector<int32_t> thickness_stored_vertices(const surface_mesh& mesh) {
  std::vector<int32_t> kept;
  kept.reserve(size_t(std::max(mesh.n_points, 0)));
  for (int32_t i = 0; i < mesh.n_points; ++i)
    if (mesh.points[i].type != 2) kept.push_back(i);
  return kept;
}

bool surface_interp::has_thickness() const {
  return exists_for(*this, &surface_interp::fit_error) && !fwhm_pending;
}

bool surface_interp::save_thickness(wxFileName name, bool layers) {
  resource_table_t& t = *resource_table;
  const bool ok_arrays = exists_for(*this, &surface_interp::cortical_thickness) &&
                         exists_for(*this, &surface_interp::fit_error);
  if (!ok_arrays) return false;
  layers = layers && exists_for(*this, &surface_interp::surface_offset);
  const bool current = t.RES_DAT_THICKNESS_FILES->read();
  const wxString folder = name.GetPath();
  const wxString stub = thickness_stub(
      name.GetName(), current ? thickness_save_endings() : thickness_older_endings());

  // Which files the set gets, and which are asked about.
  bool write[kFileCount];
  for (size_t i = 0; i < kFileCount; ++i) {
    const file_kind& f = kFiles[i];
    switch (f.part) {
      case role::thickness: case role::displayed: case role::error:
        write[i] = true;
        break;
      case role::offsets:
        write[i] = layers;
        break;
      case role::density_error:
        write[i] = exists_for(*this, &surface_interp::density);
        break;
      case role::single:
        write[i] = exists_for(*this, f.array);
        break;
      case role::pair_value:
        write[i] = exists_for(*this, f.array) && exists_for(*this, kFiles[i + 1].array);
        break;
      case role::pair_error:
        write[i] = write[i - 1];
        break;
    }
  }
  auto data_path = [&](size_t i) {
    return file_path(folder, stub, current ? kFiles[i].current : kFiles[i].older, "bin");
  };
  const wxString copy = wxFileName(folder, stub, current ? "ply" : "wrl").GetFullPath();
  std::vector<std::pair<wxString, int>> layer_files;  // path, layer (0: the older set's pair)
  if (layers) {
    if (current) {
      layer_files.push_back({wxFileName(folder, stub + "_outer", "ply").GetFullPath(),
                             int(t.RES_THICKNESS_CREATE_OUTER->read())});
      layer_files.push_back({wxFileName(folder, stub + "_inner", "ply").GetFullPath(),
                             int(t.RES_THICKNESS_CREATE_INNER->read())});
    } else {
      layer_files.push_back({wxFileName(folder, stub + "_cortex", "wrl").GetFullPath(), 0});
    }
  }

  if (!t.RES_IN_SCRIPT->read()) {
    std::vector<wxString> tested;
    for (size_t i = 0; i < kFileCount; ++i) {
      if (write[i] || kFiles[i].part == role::offsets) tested.push_back(data_path(i));
      if (kFiles[i].part == role::offsets) {
        tested.push_back(copy);
        // The layer surfaces are replaced with the set, so they are asked about too.
        for (const auto& l : layer_files) tested.push_back(l.first);
      }
    }
    wxString question = "One of the files\n\n";
    bool any = false;
    for (const wxString& p : tested) {
      question += p + "\n";
      any = any || wxFileExists(p);
    }
    question += "\nalready exists. Overwrite?";
    if (any && !current_data_ui().ask_yes_no("Overwrite files", question)) return false;
  }

  // Every file is written beside its target and the whole set renamed into
  // place only when all are complete, so a failure keeps the old set whole.
  save_batch batch;
  auto fail = [&]() {
    data_report(wxLOG_Error, "Error opening binary thickness files for writing.\n" + batch.error());
    batch.abandon();
    return false;
  };
  const std::vector<int32_t> stored = thickness_stored_vertices(mesh);
  const std::string note = thickness_note(reversed, date_text());
  const double mm_hi = 0.1 * double(t.RES_THICKNESS_SCALE_MM->read());
  const double u = t.RES_DICOM_UNITS->read() == "GY" ? 1.0 : 100.0;
  const double hu_lo = u * double(t.RES_THICKNESS_ZERO_HU->read());
  const double hu_hi = hu_lo + u * double(t.RES_THICKNESS_SCALE_HU->read());
  std::vector<double> buffer;
  for (size_t i = 0; i < kFileCount; ++i) {
    if (!write[i]) continue;
    // The thickness file completes a set: it arrives last.
    const int k = batch.add(data_path(i), kFiles[i].part == role::thickness ? 1 : 0);
    if (k < 0) return fail();
    const file_kind& f = kFiles[i];
    if (current && f.unit != thickness_unit::none) {
      const bool hu = f.unit == thickness_unit::hu;
      if (!batch.write(k, thickness_header(hu ? hu_lo : 0.0, hu ? hu_hi : mm_hi, f.unit, note)))
        return fail();
    }
    const std::vector<double>& a = this->*f.array;
    buffer.resize(stored.size());
    for (size_t j = 0; j < stored.size(); ++j) buffer[j] = a[size_t(stored[j])];
    if (!batch.write(k, buffer.data(), buffer.size() * sizeof(double)) || !batch.finish(k))
      return fail();
  }
  {
    const int k = batch.add(copy);
    if (k < 0) return fail();
    save_output_stream out(batch, k);
    if (!save_surface(out, true, current, true, 0) || !batch.finish(k)) return fail();
  }
  for (const auto& l : layer_files) {
    const int k = batch.add(l.first);
    if (k < 0) return fail();
    save_output_stream out(batch, k);
    // A layer whose arrays are missing leaves its file empty.
    if (current) {
      save_surface(out, true, true, true, l.second);
    } else {
      save_surface(out, true, false, true, int(t.RES_THICKNESS_CREATE_OUTER->read()));
      save_surface(out, false, false, true, int(t.RES_THICKNESS_CREATE_INNER->read()));
    }
    if (!batch.finish(k)) return fail();
  }
  if (!batch.commit()) return fail();
  return true;
}

namespace {

// A whole file's bytes; false when it cannot be read.
bool read_whole(const wxString& path, std::string& bytes) {
  wxFile f;
  if (!wxFileExists(path) || !f.Open(path, wxFile::read)) return false;
  const wxFileOffset n = f.Length();
  if (n < 0) return false;
  bytes.resize(size_t(n));
  return n == 0 || f.Read(&bytes[0], size_t(n)) == ssize_t(n);
}

double value_at(const std::string& bytes, size_t offset, size_t j) {
  double v;
  std::memcpy(&v, bytes.data() + offset + 8 * j, 8);
  return v;
}

bool usable_error(double e) { return std::isfinite(e) && e > 0.0; }

}  // namespace

bool surface_interp::load_thickness(wxFileName name) {
  resource_table_t& t = *resource_table;
  const wxString part = name.GetName();
  const bool current = ends_with(part, "_dat");
  const wxString folder = name.GetPath();
  const wxString stub =
      thickness_stub(part, current ? thickness_load_endings() : thickness_older_endings());
  auto data_path = [&](size_t i) {
    return file_path(folder, stub, current ? kFiles[i].current : kFiles[i].older, "bin");
  };

  const wxString thick_path = data_path(0), error_path = data_path(2);
  if (!wxFileExists(thick_path) || !wxFileExists(error_path)) {
    data_report(wxLOG_Warning, "Could not find binary thickness or error files\n\n" + thick_path +
                                   "\n" + error_path + "\n\nfor reading.");
    return false;
  }
  bool used[kFileCount] = {};
  for (size_t i = 0; i < kFileCount; ++i) {
    switch (kFiles[i].part) {
      case role::thickness: case role::error:
        used[i] = true;
        break;
      case role::displayed: case role::density_error:
        break;
      case role::offsets: case role::single:
        used[i] = wxFileExists(data_path(i));
        break;
      case role::pair_value:
        used[i] = wxFileExists(data_path(i)) && wxFileExists(data_path(i + 1));
        break;
      case role::pair_error:
        used[i] = used[i - 1];
        break;
    }
  }
  std::string bytes[kFileCount];
  for (size_t i = 0; i < kFileCount; ++i)
    if (used[i] && !read_whole(data_path(i), bytes[i])) {
      data_report(wxLOG_Error, "Error opening binary thickness files for reading.\n" + data_path(i));
      return false;
    }

  const std::vector<int32_t> stored = thickness_stored_vertices(mesh);
  const size_t n = stored.size();
  const size_t header = current ? kThicknessHeaderSize : 0;
  const bool mark = current && bytes[0].size() > 19 && bytes[0][19] == 'R';
  // Every file read must hold exactly n values, error files too.
  for (size_t i = 0; i < kFileCount; ++i) {
    if (!used[i]) continue;
    const size_t own = kFiles[i].unit == thickness_unit::none ? 0 : header;
    if (bytes[i].size() != own + 8 * n) {
      const long count = bytes[0].size() >= header ? long((bytes[0].size() - header) / 8) : 0;
      data_report(wxLOG_Error,
                  wxString::Format("Binary thickness files contain %li values, whereas surface "
                                   "contains %li values.\n",
                                   count, long(n)) +
                      data_path(i));
      return false;
    }
  }

  const size_t N = size_t(mesh.n_points);
  for (size_t i = 0; i < kFileCount; ++i) {
    const file_kind& f = kFiles[i];
    if (f.part == role::density_error) continue;
    std::vector<double>& a = this->*f.array;
    if (f.part == role::displayed) {
      a.assign(N, 0.0);
      continue;
    }
    if (!used[i]) {
      std::vector<double>().swap(a);
      continue;
    }
    const bool is_error = f.unit == thickness_unit::none;
    a.assign(N, is_error ? kNoValue : 0.0);
    const size_t offset = is_error ? 0 : header;
    for (size_t j = 0; j < n; ++j) a[size_t(stored[j])] = value_at(bytes[i], offset, j);
  }
  // A value that is not a number, or an error that is not above 0, is no
  // measurement: the value reads 0 and its error 1e10.
  auto clean_pair = [&](std::vector<double>& v, std::vector<double>& e) {
    for (int32_t k : stored)
      if (!std::isfinite(v[size_t(k)]) || !usable_error(e[size_t(k)])) {
        v[size_t(k)] = 0.0;
        e[size_t(k)] = kNoValue;
      }
  };
  for (size_t i = 0; i < kFileCount; ++i)
    if (used[i] && kFiles[i].part == role::pair_value)
      clean_pair(this->*kFiles[i].array, this->*kFiles[i + 1].array);
  clean_pair(cortical_thickness, fit_error);
  for (size_t i = 0; i < kFileCount; ++i) {
    if (!used[i] || !(kFiles[i].part == role::single || kFiles[i].part == role::offsets)) continue;
    std::vector<double>& v = this->*kFiles[i].array;
    for (int32_t k : stored)
      if (!std::isfinite(v[size_t(k)])) {
        v[size_t(k)] = 0.0;
        // The density's validity is the thickness error's.
        if (kFiles[i].array == &surface_interp::density) fit_error[size_t(k)] = kNoValue;
      }
  }
  std::vector<vec3_t>().swap(directions);
  fwhm_pending = false;
  reversed = mark;

  if (t.RES_THICKNESS)
    if (thickness* engine = t.RES_THICKNESS->read()) engine->clear();
  t.RES_REDISPLAY_THICKNESS->write();
  base_res_t::make_pending_writes_happen();
  return true;
}

bool surface_interp::save_normal_blur(wxFileName name) {
  resource_table_t& t = *resource_table;
  const double G = t.RES_THICKNESS_GAUSS->read(), R = t.RES_THICKNESS_RECT->read();
  if (G == kNoValue || R == kNoValue) return false;
  wxString stub = name.GetName();
  if (ends_with(stub, "_normal_blur")) stub = stub.Left(stub.length() - 12);
  const wxString path = wxFileName(name.GetPath(), stub + "_normal_blur", "bin").GetFullPath();
  if (!t.RES_IN_SCRIPT->read() && wxFileExists(path) &&
      !current_data_ui().ask_yes_no("Overwrite files", path + " already exists. Overwrite?"))
    return false;
  std::string bytes;
  for (int32_t k : thickness_stored_vertices(mesh)) {
    const surface_point& p = mesh.points[k];
    const double len = std::sqrt(p.nx * p.nx + p.ny * p.ny + p.nz * p.nz);
    const double z = len > 0.0 ? p.nz / len : p.nz;
    const double v = std::sqrt((1.0 - z * z) * G * G + z * z * R * R);
    bytes.append(reinterpret_cast<const char*>(&v), 8);
  }
  wxString why;
  if (!save_file(path, bytes, &why)) {
    data_report(wxLOG_Error, "Error opening binary normal file for writing.\n" + why);
    return false;
  }
  return true;
}
