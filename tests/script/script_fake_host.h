// A stand-in for the program around a script: the editor text, the output
// lines, a folder tree held in memory and a record of every handler call.
#pragma once

#include <wx/filefn.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "registry/resource_table.h"
#include "script/script.h"
#include "tools/headless_session.h"

struct fake_host : script_host {
  wxString text;
  wxString output;
  std::vector<wxString> dirs;                                 // existing folders
  std::vector<std::pair<wxString, wxString>> tree;            // folder, full path in listing order
  std::vector<wxString> objects, surfaces;
  wxString selected;
  std::vector<std::string> calls;
  std::function<bool(const wxString&)> open_ok = [](const wxString&) { return true; };
  std::function<void()> on_close;
  bool unsaved_refused = false;
  int progress_opened = 0;
  std::vector<int> positions;

  wxString script_text() override { return text; }
  void append_output(const wxString& t) override { output += t; }
  bool directory_exists(const wxString& d) override {
    if (wxDirExists(d)) return true;
    for (const auto& x : dirs)
      if (x == d) return true;
    return false;
  }
  std::vector<wxString> list_files(const wxString& dir, const wxString& filter) override {
    std::vector<wxString> out;
    for (const auto& [d, path] : tree)
      if (path.StartsWith(dir + "/") && wxMatchWild(filter, path.AfterLast('/'), false)) out.push_back(path);
    return out;
  }
  std::vector<wxString> object_names() override { return objects; }
  std::vector<wxString> surface_names() override { return surfaces; }
  wxString selected_surface() override { return selected; }
  bool file_open() override {
    const wxString path = resource_table->RES_SCRIPT_FUNC_ARG->read();
    calls.push_back("open " + path.ToStdString());
    if (!open_ok(path)) {
      resource_table->RES_SCRIPT_WRITE_MESSAGE->write("ERROR Failed to open hm file." + path);
      return false;
    }
    resource_table->RES_ASCII_FILENAME->write(wxFileName(path));
    return true;
  }
  bool file_close() override {
    calls.push_back("close");
    if (on_close) on_close();
    return true;
  }
  bool file_save() override {
    calls.push_back("save " + resource_table->RES_ASCII_FILENAME->read().GetFullPath().ToStdString());
    return true;
  }
  void show_scripts_page() override {}
  bool may_close_open_data() override { return !unsaved_refused; }
  void open_progress_dialog() override { ++progress_opened; }
  bool move_progress_dialog(int p) override {
    positions.push_back(p);
    return true;
  }
  void close_progress_dialog() override {}
  void yield() override {}

  // The output lines, without the ">> " marks' surrounding line feeds.
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    std::string s = output.ToStdString(), cur;
    for (char c : s) {
      if (c == '\n') {
        out.push_back(cur);
        cur.clear();
      } else {
        cur += c;
      }
    }
    return out;
  }
  bool has_line(const std::string& l) const {
    for (const auto& x : lines())
      if (x == l) return true;
    return false;
  }
};

// A session with the resource registry and one Script over a fake host.
struct script_fixture {
  headless_session session;
  fake_host host;
  std::unique_ptr<Script> script = std::make_unique<Script>(host);
  ~script_fixture() { script.reset(); }
};
