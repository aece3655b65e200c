// The File menu's data, settings and frame-export commands: thin calls into
// the File-menu engine, with the toolkit's dialogs and image writer.
#include "app/app_file_menu_ui.h"
#include "app/main_frame.h"
#include "data/file_menu.h"
#include "data/file_menu_export.h"
#include "data/file_menu_settings.h"
#include "views/reslice_export.h"

void MainFrame::OnFileOpen(wxCommandEvent&) {
  file_menu_handler_scope scope;
  file_open();
}

void MainFrame::OnFileOpenDirectory(wxCommandEvent&) {
  file_menu_handler_scope scope;
  file_open_directory();
}

void MainFrame::OnFileSave(wxCommandEvent&) {
  file_menu_handler_scope scope;
  file_save();
}

void MainFrame::OnFileSaveas(wxCommandEvent&) {
  file_menu_handler_scope scope;
  file_save_as();
}

void MainFrame::OnFileClose(wxCommandEvent&) {
  file_menu_handler_scope scope;
  file_close(default_name_counter);
}

void MainFrame::OnSettingsOpen(wxCommandEvent&) {
  file_menu_handler_scope scope;
  settings_open();
}

void MainFrame::OnSettingsSaveas(wxCommandEvent&) {
  file_menu_handler_scope scope;
  settings_save_as();
}

void MainFrame::OnSettingsReset(wxCommandEvent&) {
  file_menu_handler_scope scope;
  settings_reset();
}

void MainFrame::OnFileExportFrames(wxCommandEvent&) {
  file_menu_handler_scope scope;
  file_export_frames();
}

void MainFrame::OnFileExportVoxels(wxCommandEvent&) {
  file_menu_handler_scope scope;
  file_export_voxels();
}

// The close handler asks about unsaved changes and keeps the program when
// the answer is Cancel.
void MainFrame::OnFileQuit(wxCommandEvent&) { Close(true); }
