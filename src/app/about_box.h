// What the About box shows.
#pragma once

#include <wx/aboutdlg.h>

wxAboutDialogInfo norvelith_about_info();
