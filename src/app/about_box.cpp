#include "app/about_box.h"

#include "app/app_rules.h"
#include "app/update_check.h"

wxAboutDialogInfo norvelith_about_info() {
  wxAboutDialogInfo info;
  info.SetName(L"Norvelith");
  info.SetVersion(wxString(NV_VERSION_TEXT) + L" Rev: " + NV_RELEASE_DATE_TEXT);
  info.SetCopyright(L"Developed from 2007 to 2024");
  info.SetDescription(
      L"Viewing, segmenting and measuring 3D medical images.\n\n"
      L"Written by the Norvelith team of the medical imaging group.\n"
      L"Questions and reports are welcome through the contact page of our web site.");
  // The link opens the home page; its visible text is the makers' page.
  info.SetWebSite(home_page_address(), makers_page_address());
  return info;
}
