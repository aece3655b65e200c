#include "data/file_menu_ui.h"

#include "data/data_io_ui.h"

namespace {

// In force while nobody installed dialogs: nothing is chosen or confirmed.
class cancelling_file_menu_ui final : public file_menu_ui {
 public:
  bool choose_file(const file_dialog_request&, file_dialog_result&) override { return false; }
  bool choose_folder(const wxString&, const wxString&, wxString&) override { return false; }
  bool ask_ok_cancel(const wxString&, const wxString&) override { return false; }
  bool ask_text(const wxString&, const wxString&, const wxString&, wxString&) override {
    return false;
  }
  void show_message(const wxString& caption, const wxString& text) override {
    data_report(wxLOG_Warning, caption + ": " + text);
  }
};

cancelling_file_menu_ui fallback_ui;
file_menu_ui* installed_ui = nullptr;

}  // namespace

file_menu_ui& current_file_menu_ui() { return installed_ui ? *installed_ui : fallback_ui; }

bool file_menu_ui_installed() { return installed_ui != nullptr; }

file_menu_ui_scope::file_menu_ui_scope(file_menu_ui& ui) : previous_(installed_ui) {
  installed_ui = &ui;
}
file_menu_ui_scope::~file_menu_ui_scope() { installed_ui = previous_; }
