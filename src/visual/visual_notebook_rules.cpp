#include "visual/visual_notebook_rules.h"

#include <wx/filename.h>

visual_change_plan plan_visual_change(int old, int next) {
  visual_change_plan p;
  const bool page = next >= 1 && next <= 7;
  if (!page) {
    p.deleted = {3, 2, 1, 0, kPanoramaBuilder};
    p.arrangement = lower_views::blank;
    return p;
  }
  if (old == next) return p;
  p.repaint_page = true;
  p.arrangement = lower_views::centre;
  switch (next) {
    case VISUAL_PAGE_RESLICE:
      p.deleted = {2, 1, 3, kPanoramaBuilder};
      p.created = {0};
      break;
    case VISUAL_PAGE_ORTHO:
      p.deleted = {0, 3, kPanoramaBuilder};
      p.arrangement = lower_views::centre_and_corner;
      p.created = {2, 1};
      break;
    case VISUAL_PAGE_PANORAMA:
      p.deleted = {2, 1, 0, 3, kPanoramaBuilder};
      p.created = {kPanoramaBuilder};
      break;
    case VISUAL_PAGE_PRESSURE:
      p.deleted = {2, 1, 0, kPanoramaBuilder};
      p.created = {kPanoramaBuilder, 3};
      p.panorama_keeps_size = true;
      break;
    case VISUAL_PAGE_SPINE:
      p.deleted = {2, 1, 0, kPanoramaBuilder};
      p.created = {3};
      break;
    default:  // Thickness, Volume
      p.deleted = {2, 1, 0, 3, kPanoramaBuilder};
      break;
  }
  return p;
}

wxString visual_help_page(int page) {
  static const char* const kTopics[] = {"",
                                        "ortho.htm",
                                        "reslice.htm",
                                        "volume.htm",
                                        "vis_thickness.htm",
                                        "vis_pressure.htm",
                                        "panorama.htm",
                                        "spine_intro.htm"};
  return page >= 1 && page <= 7 ? wxString(kTopics[page]) : wxString();
}

const wchar_t* const kImageSaveWildcard =
    L"PNG file|*.png|JPEG file|*.jpeg|Windows bitmap|*.bmp|TIFF file|*.tiff";
const wchar_t* const image_save_extensions[4] = {L".png", L".jpeg", L".bmp", L".tiff"};
const wxBitmapType image_save_types[4] = {wxBITMAP_TYPE_PNG, wxBITMAP_TYPE_JPEG, wxBITMAP_TYPE_BMP,
                                          wxBITMAP_TYPE_TIFF};

namespace {
int filter_or_png(int filter) { return filter >= 0 && filter < 4 ? filter : 0; }
}  // namespace

wxString image_save_path(const wxString& path, int filter) {
  const wxFileName name(path);
  if (name.GetFullName().Find('.') != wxNOT_FOUND) return path;
  return path + image_save_extensions[filter_or_png(filter)];
}

wxBitmapType image_save_type(int filter) { return image_save_types[filter_or_png(filter)]; }
