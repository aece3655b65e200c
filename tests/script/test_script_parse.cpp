// The script language: log lines with their line numbers, the stored body,
// the header commands, file selections over a folder tree and the estimate.
#include <gtest/gtest.h>

#include "script_fake_host.h"

namespace {

struct parsed : script_fixture {
  explicit parsed(const wxString& text) {
    host.text = text;
    script->reset(true);
    script->parse();
  }
};

TEST(ScriptParse, FaultsAreLoggedWithTheirPhysicalLineNumbers) {
  struct row {
    const char* text;
    const char* line;
  };
  const row rows[] = {
      {"# a\n# b\n\n   # c\nbogus\n", ">> ERROR: In line 5 of Script. Command not recognised."},
      {"\r\n\rbogus", ">> ERROR: In line 3 of Script. Command not recognised."},
      {"# only a comment", ">> ERROR: There is nothing in this script to run."},
      {"param NO_SUCH 1", ">> ERROR: In line 1 of Script. RES_NO_SUCH is invalid: it does not match any existing LABEL."},
      {"param XSCALE", ">> ERROR: In line 1 of Script. Missing value(s). Format should be 'LABEL value(s)'."},
      {"param BUF_FRAMES 3", ">> ERROR: In line 1 of Script. RES_BUF_FRAMES cannot be set by a script."},
      {"param SCRIPT_RESULTS_DIR /", ">> ERROR: In line 1 of Script. RES_SCRIPT_RESULTS_DIR cannot be set by a script."},
      {"func HMM_N_ZOOM_3D 2", ">> ERROR: In line 1 of Script. unsupported function call: N_ZOOM_3D"},
      {"func ORIENT_3D 1 2", ">> ERROR:  not enough arguments in function: ORIENT_3D"},
      {"func FILE_OPEN \"a   b", ">> ERROR:  internal quote in function argument: a b"},
      {"func FILE_OPEN a\"b", ">> ERROR:  internal quote in function argument: a\"b"},
      {"write_header XSCALE\nwrite_header YSCALE",
       ">> ERROR: In line 2 of Script. Multiple 'write_header' calls made. Only one supported."},
      {"write_header XSCALE NOPE", ">> ERROR: In line 1 of Script. Invalid LABEL: RES_NOPE"},
      {"write a b", ">> ERROR: In line 1 of Script. The 'write' command should be followed by a single tag for this write."},
      {"loop\nloop\nend\nend", ">> ERROR: Nested loops or repeats are not supported."},
      {"loop\nloop\nend\nend", ">> ERROR: End command is not at end of loop or repeat."},
      {"repeat x\nend", ">> ERROR: Repeat must have a numerical argument."},
      {"loop a b\nend", ">> ERROR: Too many filters included: should only be one."},
      {"results_dir /no/such/dir", ">> ERROR: In line 1 of Script. Directory path doesn't exist./no/such/dir"},
      {"script_name a b", ">> ERROR: In line 1 of Script. Spaces are not allowed in result name."},
      {"script_name\nparam XSCALE 1", ">> WARNING: In line 1 of Script. Missing name. Default to empty string."},
      {"loop\nparam XSCALE 1\nclose", ">> ERROR: Loops is missing an 'end'."},
  };
  for (const row& r : rows) {
    parsed p(r.text);
    EXPECT_TRUE(p.host.has_line(r.line)) << r.text << "\n--- log:\n" << p.host.output;
  }
}

TEST(ScriptParse, StoresTheBodyCommandsAsTexts) {
  parsed p(
      "param XSCALE 0.1  \n"
      "func N_HMC_ZOOM_3D 2\n"
      "func FILE_OPEN \"my   data\tfile.hm\" \"\" ignored\n"
      "write\n"
      "write cortex\n"
      "repeat 2\nfunc FILE_SAVE\nend\n");
  ASSERT_TRUE(p.script->success) << p.host.output;
  using C = Script::command;
  const std::vector<Script::block> expected = {
      {C{"param", "RES_XSCALE 0.1"}},
      {C{"func", "ZOOM_3D", "2"}},
      {C{"func", "FILE_OPEN", "my data file.hm"}},
      {C{"write", ""}},
      {C{"write", "cortex"}},
      {C{"repeat", "2"}, C{"func", "FILE_SAVE"}},
  };
  EXPECT_EQ(p.script->body, expected);
  EXPECT_TRUE(p.host.has_line(">>  Parsing completed."));
}

TEST(ScriptParse, WriteHeaderMakesTheTableHeader) {
  parsed p("write_header XSCALE RES_YSCALE\nparam XSCALE 1");
  ASSERT_EQ(p.script->results_lines.size(), 1u);
  EXPECT_EQ(p.script->results_lines[0],
            "File number,Full file name,Results file name,Current surface,RES_XSCALE,RES_YSCALE\n");
  EXPECT_EQ(p.script->result_labels, (std::vector<wxString>{"RES_XSCALE", "RES_YSCALE"}));
}

TEST(ScriptParse, OpenSelectionsKeepTheNumbersOfTheListing) {
  struct row {
    const char* selection;
    std::vector<int32_t> kept;
  };
  const row rows[] = {{"2-4,7", {2, 3, 4, 7}}, {"1:2:8", {1, 3, 5, 7}}, {"3,x,5", {5}},
                      {"3,x", {1, 2, 3, 4, 5, 6, 7, 8}}, {"0-2;20", {1, 2}}, {"6-", {6}}};
  for (const row& r : rows) {
    script_fixture f;
    f.host.dirs = {"/d"};
    for (int k = 1; k <= 8; ++k) {
      // A sub-folder's files come first in the listing, as the toolkit gives them.
      const wxString path = k <= 3 ? wxString::Format("/d/sub/f%d.hm", k) : wxString::Format("/d/f%d.hm", k);
      f.host.tree.push_back({"/d", path});
    }
    f.host.tree.push_back({"/d", "/d/notes.txt"});
    f.host.text = wxString("\n\nopen ") + r.selection + " /d\nparam XSCALE 1";
    f.script->reset(true);
    ASSERT_TRUE(f.script->parse()) << f.host.output;
    std::vector<int32_t> expected_numbers = r.kept;
    EXPECT_EQ(f.script->file_numbers, expected_numbers) << r.selection;
    ASSERT_EQ(f.script->files.size(), r.kept.size());
    for (size_t k = 0; k < r.kept.size(); ++k) {
      const int n = r.kept[k];
      const wxString path = n <= 3 ? wxString::Format("/d/sub/f%d.hm", n) : wxString::Format("/d/f%d.hm", n);
      EXPECT_EQ(f.script->files[k], path);
      const std::string line = ">>  In line 3 of Script. File " + std::string(n < 10 ? "  " : " ") +
                               std::to_string(n) + " - " + path.ToStdString() + ".";
      EXPECT_TRUE(f.host.has_line(line)) << line << "\n" << f.host.output;
    }
    EXPECT_TRUE(f.host.has_line(">>  In line 3 of Script. Parsed " + std::to_string(r.kept.size()) + " files:"));
    // Without results_dir the listed folder becomes the results directory.
    EXPECT_EQ(resource_table->RES_SCRIPT_RESULTS_DIR->read(), "/d");
  }
}

TEST(ScriptParse, FiltersTakeNativeFilesOrAnyFile) {
  struct row {
    const char* filter;
    size_t count;
  };
  const row rows[] = {{"", 2}, {"scan*", 1}, {"*.", 4}, {"\"*.txt\"", 1}};
  for (const row& r : rows) {
    script_fixture f;
    f.host.dirs = {"/d"};
    for (const char* p : {"/d/scan1.hm", "/d/other.hm", "/d/scan1.qzi", "/d/notes.txt"}) f.host.tree.push_back({"/d", p});
    f.host.text = wxString("open /d ") + r.filter + "\nparam XSCALE 1";
    f.script->reset(true);
    ASSERT_TRUE(f.script->parse()) << f.host.output;
    EXPECT_EQ(f.script->files.size(), r.count) << r.filter;
  }
}

TEST(ScriptParse, RepeatRaisesTheEstimateAndCloseEndsTheText) {
  {
    // One session at a time: each owns the global registry while it lives.
    parsed p("func FILE_SAVE\nloop c*\nend\nrepeat 3\nfunc FILE_SAVE\nparam XSCALE 1\nend\n");
    ASSERT_TRUE(p.script->success) << p.host.output;
    // 1 func, 2 for the loop, then 1 + 2 x 2 for the repeat.
    EXPECT_EQ(p.script->step_estimate, 1 + 2 + 5);
    EXPECT_EQ(p.script->body.size(), 3u);
  }

  parsed q("repeat 2\nfunc FILE_SAVE\nclose\nbogus\n");
  EXPECT_TRUE(q.script->success) << q.host.output;
  EXPECT_TRUE(q.script->body.empty());
  EXPECT_TRUE(q.host.has_line(">>  In line 3 of Script. Close command has been reached."));
  EXPECT_FALSE(q.host.has_line(">> ERROR: In line 4 of Script. Command not recognised."));
}

TEST(ScriptParse, JoinQuotedReadsOneArgument) {
  struct row {
    const char* line;
    const char* text;
    bool ok;
  };
  const row rows[] = {
      {"plain next", "plain", true},     {"\"one\" next", "one", true},
      {"\"a  b   c\" d", "a b c", true}, {"\"\" x", "", true},
      {"", "", true},                    {"\"open ended", "open ended", false},
      {"in\"side", "in\"side", false},   {"\"a\"b\"", "\"a\"b\"", false},
  };
  for (const row& r : rows) {
    Script::line_tokens t(r.line);
    wxString text;
    EXPECT_EQ(Script::join_quoted(t, text), r.ok) << r.line;
    EXPECT_EQ(text, r.text) << r.line;
  }
}

}  // namespace
