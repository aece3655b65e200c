#include "settings/comment_dlg.h"

#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "registry/resource_table.h"
#include "settings/settings_ids.h"

std::vector<wxString> comment_lines(const wxString& text) {
  std::vector<wxString> lines;
  if (text.empty()) return lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(L'\n', start);
    if (end == wxString::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    // The refill ends every line with a line end: no empty line after it,
    // so that reopening and saving never grows the comment.
    if (start == text.length()) break;
  }
  return lines;
}

comment_dlg::comment_dlg(wxWindow* parent, settings_host& host)
    : settings_dialog(parent, host, L"Comment on data:", true, wxVERTICAL) {
  base_functor* proc = procs_.make(this, &comment_dlg::update);
  text = new wxTextCtrl(this, ID_COMMENT, wxEmptyString, wxDefaultPosition, dialog_units(200, 100),
                        wxTE_MULTILINE | wxHSCROLL | wxTE_DONTWRAP | wxTE_PROCESS_ENTER);
  GetSizer()->Add(text, 1, wxEXPAND | wxALL, 5);
  refill();
  procs_.watch(proc, resource_table->RES_BUF_FRAMES);
  host_.send_enter_on_focus_loss(text);
  GetSizer()->Fit(this);
}

void comment_dlg::refill() {
  refilling_ = true;
  wxString all;
  for (const wxString& line : *resource_table->RES_COMMENT->read()) all << line << L"\n";
  text->ChangeValue(all);
  refilling_ = false;
}

void comment_dlg::OnComment(wxCommandEvent&) {
  if (refilling_) return;
  auto* res = resource_table->RES_COMMENT;
  std::vector<wxString>* list = res->read();
  *list = comment_lines(text->GetValue());
  res->write(list);
}

void comment_dlg::update() {
  if (resource_table->RES_BUF_FRAMES->changed_in_flush()) refill();
}
