// The Scripts page in the main window: its place and controls, Run with and
// without edits, Save with the debug name, Load of a missing file, Clear.
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/notebook.h>
#include <wx/textctrl.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "registry/resource_table.h"
#include "tasks_gui_support.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void press(int id) {
  wxCommandEvent event(wxEVT_BUTTON, id);
  main_frame->GetEventHandler()->ProcessEvent(event);
  pump_events(3);
}

struct ScriptsPage : ::testing::Test {
  scripts_page* page = nullptr;
  std::vector<wxString> asked;
  wxString answer;
  void SetUp() override {
    close_task_data();
    page = main_frame->scripts;
    ASSERT_NE(page, nullptr);
    page->choose_file = [this](const wxString& message, const wxString&, bool) {
      asked.push_back(message);
      return answer;
    };
    page->script_output->Clear();
  }
};

TEST_F(ScriptsPage, IsTheFifthTaskPageWithItsControls) {
  auto* notebook = dynamic_cast<wxNotebook*>(page->GetParent());
  ASSERT_NE(notebook, nullptr);
  EXPECT_EQ(notebook->GetPageText(4), "Scripts");
  EXPECT_EQ(notebook->GetPage(4), page);
  EXPECT_EQ(page->script_editor->GetId(), 6062);
  EXPECT_FALSE(page->script_output->IsEditable());
  for (auto [id, label] : {std::pair<int, const char*>{6059, "Load"}, {6060, "Run"}, {6061, "Save"},
                           {6063, "Clear"}, {6064, "Save"}}) {
    auto* b = dynamic_cast<wxButton*>(page->FindWindow(id));
    ASSERT_NE(b, nullptr) << id;
    EXPECT_EQ(b->GetLabel(), label);
  }
}

TEST_F(ScriptsPage, RunAsksForAFileOnlyAfterEdits) {
  page->script_editor->ChangeValue("param XSCALE 0.02\n");
  press(6060);
  EXPECT_TRUE(asked.empty());
  EXPECT_NE(page->script_output->GetValue().Find(">>  Successfully completed script.\n"), wxNOT_FOUND);

  page->script_output->Clear();
  page->script_editor->MarkDirty();
  answer.clear();  // the save is cancelled: nothing runs
  press(6060);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "Script file must be saved to run (include .txt)");
  EXPECT_EQ(page->script_output->GetValue(), "");
}

TEST_F(ScriptsPage, SaveWritesTheEditorAndProposesADebugName) {
  const fs::path file = fs::path(g_tasks_root) / "out" / "a.txt";
  page->script_editor->ChangeValue("param XSCALE 0.02\n# two lines\n");
  answer = wxString::FromUTF8(file.string());
  press(6061);
  EXPECT_EQ(slurp(file), "param XSCALE 0.02\n# two lines\n");
  EXPECT_FALSE(page->script_editor->IsModified());
  EXPECT_EQ(resource_table->RES_SCRIPT_FILENAME->read().GetFullPath(), answer);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  const std::time_t ahead = st.st_mtime + 3600;
  char stamp[64];
  std::strftime(stamp, sizeof stamp, "%d-%m-%y__%H-%M-%S", std::gmtime(&ahead));
  EXPECT_EQ(resource_table->RES_DEBUG_FILENAME->read().GetFullPath(),
            wxString::FromUTF8((fs::path(g_tasks_root) / "out" / ("a_debug_" + std::string(stamp) + ".txt")).string()));

  // The output's Save writes the log where the user chose.
  page->script_output->AppendText(">>  a line\n");
  const fs::path out = fs::path(g_tasks_root) / "out" / "log_out.txt";
  answer = wxString::FromUTF8(out.string());
  press(6064);
  EXPECT_EQ(slurp(out), ">>  a line\n");
}

TEST_F(ScriptsPage, LoadingAMissingFileKeepsTheEditorAndSaysSo) {
  page->script_editor->ChangeValue("kept\n");
  page->script_output->AppendText("old output\n");
  answer = wxString::FromUTF8((fs::path(g_tasks_root) / "out" / "none.txt").string());
  press(6059);
  EXPECT_EQ(page->script_editor->GetValue(), "kept\n");
  EXPECT_EQ(page->script_output->GetValue(), ">>  Script file doesn't exist.\n");
  EXPECT_EQ(resource_table->RES_SCRIPT_FILENAME->read().GetFullPath(), "");
  press(6063);
  EXPECT_EQ(page->script_output->GetValue(), "");
}

}  // namespace
