#include "data/data_io_ui.h"

#include <cstdio>

#include "data/objects.h"

namespace {

// Log-only interface, in force while nobody installed another.
class log_data_io_ui final : public data_io_ui {
 public:
  std::unique_ptr<data_progress> start_progress(const wxString&, const wxString&, int,
                                                unsigned) override {
    return std::make_unique<null_progress>();
  }
  bool ask_yes_no(const wxString&, const wxString&) override { return false; }
};

log_data_io_ui fallback_ui;
data_io_ui* installed_ui = nullptr;
data_set_pages* installed_pages = nullptr;

const char* level_word(wxLogLevel level) {
  switch (level) {
    case wxLOG_FatalError:
    case wxLOG_Error:
      return "error";
    case wxLOG_Warning:
      return "warning";
    default:
      return "note";
  }
}

}  // namespace

void data_io_ui::message(wxLogLevel level, const wxString& text) {
  wxLogGeneric(level, "%s", text);
}

std::unique_ptr<data_progress> console_data_io_ui::start_progress(const wxString&, const wxString&,
                                                                  int, unsigned) {
  return std::make_unique<null_progress>();
}

bool console_data_io_ui::ask_yes_no(const wxString& caption, const wxString& question) {
  message(wxLOG_Message, caption + ": " + question + "\nAnswered No.");
  return false;
}

void console_data_io_ui::message(wxLogLevel level, const wxString& text) {
  wxString t = text;
  while (t.EndsWith("\n")) t.RemoveLast();
  std::fprintf(stderr, "%s: %s\n", level_word(level), t.utf8_str().data());
}

data_io_ui& current_data_ui() { return installed_ui ? *installed_ui : fallback_ui; }

data_ui_scope::data_ui_scope(data_io_ui& ui) : previous_(installed_ui) { installed_ui = &ui; }
data_ui_scope::~data_ui_scope() { installed_ui = previous_; }

void data_report(wxLogLevel level, const wxString& text) { current_data_ui().message(level, text); }

void set_data_set_pages(data_set_pages* pages) { installed_pages = pages; }
data_set_pages* current_data_set_pages() { return installed_pages; }

void set_default_volume_rows(volume_object* rows) {
  if (!rows) return;
  for (int n = 0; n < NUM_VOLUME_ROWS; ++n) rows[n] = volume_object();
  rows[0].enabled = 1;
  rows[1].enabled = 1;
  rows[1].colour = rgba_colour_t(255, 255, 255, 255);
  rows[1].opacity = 255;
  rows[1].data_value = 255;
}
