#include "app/app_dialogs.h"

#include <cstdio>

#include <wx/msgdlg.h>
#include <wx/utils.h>

namespace {

dialog_hook_t& hook() {
  static dialog_hook_t h;
  return h;
}

int default_answer(long style) {
  if (style & wxYES_NO) return (style & wxNO_DEFAULT) ? wxID_NO : wxID_YES;
  if ((style & wxCANCEL) && (style & wxCANCEL_DEFAULT)) return wxID_CANCEL;
  return wxID_OK;
}

}  // namespace

dialog_hook_t set_dialog_hook(dialog_hook_t h) {
  dialog_hook_t old = std::move(hook());
  hook() = std::move(h);
  return old;
}

bool dialogs_suppressed() { return wxGetEnv(L"NV_LOG_TO_STDERR", nullptr); }

int show_message_dialog(wxWindow* parent, const dialog_request_t& request) {
  if (hook()) return hook()(request);
  if (dialogs_suppressed()) {
    int answer = default_answer(request.style);
    std::fprintf(stderr, "%s: %s [answered %s]\n", request.caption.utf8_str().data(),
                 request.text.utf8_str().data(), answer == wxID_CANCEL ? "Cancel" : "OK");
    return answer;
  }
  wxMessageDialog dialog(parent, request.text, request.caption, request.style);
  if (!request.ok_label.empty() || !request.cancel_label.empty())
    dialog.SetOKCancelLabels(request.ok_label.empty() ? wxString(wxGetStockLabel(wxID_OK))
                                                      : request.ok_label,
                             request.cancel_label.empty() ? wxString(wxGetStockLabel(wxID_CANCEL))
                                                          : request.cancel_label);
  return dialog.ShowModal();
}
