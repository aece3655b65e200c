#include "visual/visual_pages.h"

#include <wx/filedlg.h>
#include <wx/log.h>
#include <wx/notebook.h>
#include <wx/splitter.h>

#include "registry/resource_table.h"
#include "render3d/outline_canvas.h"
#include "views/centre_canvas.h"
#include "views/corner_canvas.h"
#include "views/gl_view_context.h"
#include "views/panorama_internals.h"
#include "views/review_canvas.h"
#include "views/shader.h"
#include "visual/ortho_page.h"
#include "visual/reslice_page.h"
#include "visual/thickness_display_page.h"
#include "visual/track_controls.h"
#include "visual/track_pages.h"
#include "visual/visual_builders.h"

void save_image_dialog(wxWindow* parent, const wxString& title, const image_saver& saver) {
  wxFileDialog dialog(parent, title, wxEmptyString, wxEmptyString, kImageSaveWildcard,
                      wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  // An OK without a file name writes nothing.
  if (dialog.ShowModal() != wxID_OK || dialog.GetPath().empty()) return;
  const int filter = dialog.GetFilterIndex();
  saver(image_save_path(dialog.GetPath(), filter), image_save_type(filter));
}

visual_pages::visual_pages(wxNotebook* notebook, const visual_views& views)
    : notebook_(notebook), views_(views) {
  const bool pressure = resource_table->RES_PRESSURE_TASK->read();
  const bool spine = resource_table->RES_SPINE_TASK->read();
  new blank_page(notebook);
  track_unit_ = track_unit_of(views.top ? views.top : notebook);
  pages_[VISUAL_PAGE_ORTHO] = ortho_ = new ortho_page(notebook, track_unit_);
  pages_[VISUAL_PAGE_RESLICE] = reslice_ = new reslice_page(notebook, track_unit_, views.outline);
  pages_[VISUAL_PAGE_VOLUME] = new visual_panel(notebook, L"Volume");
  pages_[VISUAL_PAGE_THICKNESS] = thickness_ = new thickness_display_page(notebook);
  pages_[VISUAL_PAGE_PRESSURE] = pressure_ = new pressure_page(notebook, pressure, track_unit_);
  pages_[VISUAL_PAGE_PANORAMA] = panorama_ = new panorama_page(notebook, pressure);
  pages_[VISUAL_PAGE_SPINE] = new visual_panel(notebook, L"Spine", spine);
}

namespace {

void hide(wxWindow* w) {
  if (w && w->IsShown()) w->Hide();
}

// Puts first alone in the splitter, in place of other.
void alone(wxSplitterWindow* splitter, wxWindow* first, wxWindow* other) {
  if (splitter->IsSplit()) splitter->Unsplit();
  if (splitter->GetWindow1() == other) splitter->ReplaceWindow(other, first);
  if (!first->IsShown()) first->Show();
}

// The 3D view has installed its shader programs (it needs OpenGL 3.0 and
// installs them at its first paint).
bool shaders_installed(const outline_canvas* view) {
  gl_view_context* gl = view ? gl_view_context::of(view) : nullptr;
  return gl && gl->shaders().installed_mask != 0;
}

}  // namespace

void visual_pages::arrange_lower_views(int arrangement) {
  wxSplitterWindow* splitter = views_.splitter;
  wxWindow* centre = views_.centre;
  wxWindow* corner = views_.corner;
  if (!splitter || !centre || !corner || !views_.blank) return;
  switch (static_cast<lower_views>(arrangement)) {
    case lower_views::centre:
      hide(views_.blank);
      hide(corner);
      alone(splitter, centre, views_.blank);
      break;
    case lower_views::centre_and_corner:
      hide(views_.blank);
      if (!splitter->IsSplit()) {
        if (splitter->GetWindow1() != centre) splitter->ReplaceWindow(splitter->GetWindow1(), centre);
        centre->Show();
        corner->Show();
        splitter->SplitVertically(centre, corner);
      }
      if (!centre->IsShown()) centre->Show();
      if (!corner->IsShown()) corner->Show();
      break;
    case lower_views::blank:
      hide(corner);
      hide(centre);
      alone(splitter, views_.blank, centre);
      splitter->ClearBackground();
      splitter->Refresh();
      splitter->Update();
      break;
    case lower_views::unchanged:
      break;
  }
  splitter->Layout();
}

wxString visual_pages::page_changed(int next) {
  resource_table_t& t = *resource_table;
  const int old = static_cast<int>(t.RES_CURRENT_VISUAL_PAGE->read());
  const int count = static_cast<int>(notebook_->GetPageCount());
  if (next < 0 || next >= count) return wxString();
  if (next == VISUAL_PAGE_VOLUME && !gl3_warned_ && !shaders_installed(views_.outline)) {
    // Warned once; the page is shown all the same.
    gl3_warned_ = true;
    wxLogWarning("Volume rendering is not currently available.\nThis feature requires at least OpenGL version 3.0.");
  }
  // A disabled page is not taken: the previous one comes back.
  if (!notebook_->GetPage(next)->IsEnabled()) {
    if (old >= 0 && old < count && old != next) notebook_->SetSelection(static_cast<size_t>(old));
    return wxString();
  }
  const visual_change_plan plan = plan_visual_change(old, next);
  wxWindow* page = notebook_->GetPage(next);
  if (plan.repaint_page) {
    page->Refresh(true);
    page->Update();
  }
  delete_visual_builders(plan);
  arrange_lower_views(static_cast<int>(plan.arrangement));
  panorama_internals* panorama = create_visual_builders(plan);
  if (panorama && next == VISUAL_PAGE_PANORAMA && panorama_) panorama_->show_panoramic(panorama->is_panoramic());
  // The Pressure page shows a panorama, which its line grid cannot move.
  if (panorama && next == VISUAL_PAGE_PRESSURE && pressure_)
    pressure_->move_normal->Enable(!panorama->is_panoramic());
  if (plan.repaint_page) {
    if (auto* p = dynamic_cast<visual_panel*>(page)) p->fit_contents();
  }
  t.RES_CURRENT_VISUAL_PAGE->write(next);
  base_res_t::make_pending_writes_happen();
  return visual_help_page(next);
}

namespace {

// A view's dump_window as the image-save dialog's saver; the view's own
// reason is the message when the file cannot be written.
template <class View>
image_saver dump_saver(View* view) {
  return [view](const wxString& path, wxBitmapType type) {
    wxString why;
    if (!view->dump_window(path, type, &why)) wxLogError("%s", why);
  };
}

}  // namespace

void visual_pages::grab_review() {
  if (views_.review) save_image_dialog(views_.top, L"Save review window as", dump_saver(views_.review));
}

void visual_pages::grab_3d() {
  if (views_.outline) save_image_dialog(views_.top, L"Save 3D window as", dump_saver(views_.outline));
}

void visual_pages::grab_centre() {
  if (views_.centre && views_.centre->IsShown())
    save_image_dialog(views_.top, L"Save lower centre/left window as", dump_saver(views_.centre));
}

void visual_pages::grab_right() {
  if (views_.corner && views_.corner->IsShown())
    save_image_dialog(views_.top, L"Save lower right window as", dump_saver(views_.corner));
}
