// The commit cycle and change procedures: batching, order, re-entrancy,
// hold/cancel and the worry-length listeners.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "registry/res_values.h"

namespace {

// A component with a named change procedure that records what it saw.
struct watcher {
  watcher(std::string t, std::vector<std::string>* j, std::function<void()> b = {})
      : tag(std::move(t)), journal(j), body(std::move(b)) {}
  std::string tag;
  std::vector<std::string>* journal;
  std::function<void()> body;
  pmf_functor<watcher> functor{this, &watcher::changed};
  void changed() {
    journal->push_back(tag);
    if (body) body();
  }
};

class CommitCycle : public ::testing::Test {
 protected:
  void TearDown() override { base_res_t::delete_all(); }
  std::vector<std::string> journal;
};

TEST_F(CommitCycle, BatchCommitsEverythingBeforeAnyProcedureRuns) {
  long_res_t a(1, L"A", 0, RES_GROUP_MISC);
  double_res_t b(2.0, L"B", 0, RES_GROUP_MISC);
  wxString_res_t c("x", L"C", 0, RES_GROUP_MISC);
  std::vector<std::string> seen;
  watcher w{"w", &journal, [&] {
              seen.push_back(std::to_string(a.read()) + "," + std::to_string(b.read()) + "," +
                             c.read().ToStdString());
              EXPECT_TRUE(a.changed_in_flush());
              EXPECT_TRUE(b.changed_in_flush());
              EXPECT_TRUE(c.changed_in_flush());
            }};
  a.read(&w.functor);
  b.read(&w.functor);
  c.read(&w.functor);

  a.write_no_changeprocs(10);
  b.write_no_changeprocs(20.5);
  c.write_no_changeprocs("y");
  EXPECT_TRUE(journal.empty());
  EXPECT_EQ(a.read(), 1);  // readers never see pending values
  base_res_t::make_pending_writes_happen();

  ASSERT_EQ(journal.size(), 1u);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "10,20.500000,y");
  EXPECT_FALSE(a.changed_in_flush());
  EXPECT_FALSE(a.commit_needed());
  EXPECT_EQ(a.previous(), 1);
}

TEST_F(CommitCycle, TenResourcesOneFlushEachProcedureOnce) {
  std::vector<std::unique_ptr<long_res_t>> res;
  static const wchar_t* names[] = {L"R0", L"R1", L"R2", L"R3", L"R4",
                                   L"R5", L"R6", L"R7", L"R8", L"R9"};
  watcher p{"p", &journal}, q{"q", &journal};
  for (auto* n : names) {
    res.push_back(std::make_unique<long_res_t>(0, n, 0, RES_GROUP_MISC));
    res.back()->read(&p.functor);
  }
  res[3]->read(&q.functor);
  for (auto& r : res) r->write_no_changeprocs(7);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(journal, (std::vector<std::string>{"p", "q"}));
  for (auto& r : res) EXPECT_EQ(r->read(), 7);
  res.clear();
}

TEST_F(CommitCycle, WriteRevertedBeforeFlushCountsNoChangeButProceduresRun) {
  long_res_t a(5, L"A", RES_CLASS_DATA_BODY, RES_GROUP_MISC);
  bool flag_seen = true;
  watcher w{"w", &journal, [&] { flag_seen = a.changed_in_flush(); }};
  a.read(&w.functor);
  a.write_no_changeprocs(6);
  a.write_no_changeprocs(5);
  EXPECT_EQ(a.pending(), 5);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(journal.size(), 1u);
  EXPECT_FALSE(flag_seen);
  EXPECT_FALSE(a.changed());
  EXPECT_EQ(a.read(), 5);
}

// A resource that changed in a flush counts as changed for the whole flush,
// also for procedures that run after another one wrote it back, whether that
// write restores the value from before the flush or commits no change.
TEST_F(CommitCycle, ChangedStaysChangedForTheRestOfTheFlush) {
  struct row {
    const char* what;
    std::function<void(long_res_t&)> write_back;
  };
  const row rows[] = {
      {"the value from before the flush", [](long_res_t& a) { a.write(0); }},
      {"a write that commits no change",
       [](long_res_t& a) {
         a.write_no_changeprocs(2);
         a.write(1);
       }},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    long_res_t a(0, L"A", 0, RES_GROUP_MISC);
    bool seen_by_p = false, seen_by_q = false;
    watcher q{"q", &journal, [&] { seen_by_q = a.changed_in_flush(); }};
    watcher p{"p", &journal, [&] {
                seen_by_p = a.changed_in_flush();
                r.write_back(a);
              }};
    a.read(&q.functor);
    a.read(&p.functor);  // registered last: runs first
    journal.clear();
    a.write(1);
    EXPECT_EQ(journal, (std::vector<std::string>{"p", "q"}));
    EXPECT_TRUE(seen_by_p);
    EXPECT_TRUE(seen_by_q);
    EXPECT_FALSE(a.changed_in_flush());  // the flush is over
    a.remove_proc(&p.functor);
    a.remove_proc(&q.functor);
  }
}

TEST_F(CommitCycle, UnchangedWriteRequestsNothing) {
  long_res_t a(5, L"A", 0, RES_GROUP_MISC);
  watcher w{"w", &journal};
  a.read(&w.functor);
  a.write(5);
  EXPECT_TRUE(journal.empty());
  EXPECT_TRUE(a.touched());
  EXPECT_FALSE(a.written());
}

TEST_F(CommitCycle, ProceduresRunMostRecentlyRegisteredFirstThenByRequestOrder) {
  long_res_t a(0, L"A", 0, RES_GROUP_MISC), b(0, L"B", 0, RES_GROUP_MISC);
  watcher p1{"p1", &journal}, p2{"p2", &journal}, p3{"p3", &journal}, q{"q", &journal};
  a.read(&p1.functor);
  a.read(&p2.functor);
  a.read(&p3.functor);
  a.read(&p3.functor);  // a second registration changes nothing
  b.read(&q.functor);
  EXPECT_EQ(a.worry_count(), 3);
  b.write_no_changeprocs(1);
  a.write_no_changeprocs(1);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(journal, (std::vector<std::string>{"q", "p3", "p2", "p1"}));
}

TEST_F(CommitCycle, NestedFlushCommitsAndLeavesTheQueueToTheOuterFlush) {
  long_res_t a(0, L"A", 0, RES_GROUP_MISC), b(0, L"B", 0, RES_GROUP_MISC);
  int b_seen_by_q = -1;
  watcher q{"q", &journal, [&] { b_seen_by_q = b.read(); }};
  watcher p{"p", &journal, [&] {
              b.write(42);  // nested flush: commits b, runs nothing
              EXPECT_EQ(b.read(), 42);
              EXPECT_EQ(journal.back(), "p");
            }};
  a.read(&p.functor);
  b.read(&q.functor);
  a.write(1);
  EXPECT_EQ(journal, (std::vector<std::string>{"p", "q"}));
  EXPECT_EQ(b_seen_by_q, 42);
  EXPECT_FALSE(a.written());
  EXPECT_FALSE(b.written());
  EXPECT_FALSE(b.commit_needed());
}

TEST_F(CommitCycle, ProcedureIsNotRequeuedByItsOwnWriteButRunsAgainWhenOthersWrite) {
  long_res_t a(0, L"A", 0, RES_GROUP_MISC), b(0, L"B", 0, RES_GROUP_MISC);
  watcher p{"p", &journal, [&] {
              if (a.read() < 5) a.write(a.read() + 1);
            }};
  watcher q{"q", &journal, [&] {
              if (b.read() == 1) a.write(100);
            }};
  a.read(&p.functor);
  b.read(&q.functor);
  a.write_no_changeprocs(1);
  b.write_no_changeprocs(1);
  base_res_t::make_pending_writes_happen();
  // q is queued first (b was requested last and heads the pending list, but
  // queue order is request order: a then b).
  EXPECT_EQ(journal, (std::vector<std::string>{"p", "q", "p"}));
  EXPECT_EQ(a.read(), 100);
}

// Re-queueing a procedure whose node ran just before the running one must not
// lose the procedures still waiting behind it.
TEST_F(CommitCycle, RequeueOfPrecedingProcedureKeepsTheRestOfTheQueue) {
  long_res_t a(0, L"A", 0, RES_GROUP_MISC), b(0, L"B", 0, RES_GROUP_MISC);
  long_res_t c(0, L"C", 0, RES_GROUP_MISC), d(0, L"D", 0, RES_GROUP_MISC);
  watcher p{"p", &journal};
  watcher q{"q", &journal, [&] {
              if (journal.size() < 3) a.write_no_changeprocs(a.read() + 1);
            }};
  watcher r{"r", &journal}, s{"s", &journal};
  a.read(&p.functor);
  b.read(&q.functor);
  c.read(&r.functor);
  d.read(&s.functor);
  a.write_no_changeprocs(1);
  b.write_no_changeprocs(1);
  c.write_no_changeprocs(1);
  d.write_no_changeprocs(1);
  {
    log_capture logs;
    base_res_t::make_pending_writes_happen();
  }
  EXPECT_EQ(journal, (std::vector<std::string>{"p", "q", "r", "s", "p"}));
  base_res_t::make_pending_writes_happen();
}

// A write without a flush from inside a change procedure is reported and kept
// pending, so the next flush commits it and runs its procedures.
TEST_F(CommitCycle, UnflushedWriteInsideProcedureIsCommittedByTheNextFlush) {
  long_res_t a(0, L"A", 0, RES_GROUP_MISC), b(0, L"B", 0, RES_GROUP_MISC);
  int b_seen = -1;
  watcher p{"p", &journal, [&] {
              if (a.read() == 1) b.write_no_changeprocs(9);
            }};
  watcher q{"q", &journal, [&] { b_seen = b.read(); }};
  a.read(&p.functor);
  b.read(&q.functor);
  log_capture logs;
  a.write(1);
  EXPECT_TRUE(logs.has(wxLOG_Debug, "THE RESOURCE IS B"));
  EXPECT_TRUE(logs.has(wxLOG_Debug, "PROBLEM IN RESOURCE MANAGER"));
  EXPECT_EQ(b.read(), 0);

  journal.clear();
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(b.read(), 9);
  EXPECT_EQ(b_seen, 9);
  EXPECT_EQ(journal, (std::vector<std::string>{"q"}));
  // Later writes go through normally again.
  b.write(10);
  EXPECT_EQ(b.read(), 10);
  EXPECT_EQ(b_seen, 10);
}

TEST_F(CommitCycle, HoldCollectsAndCancelWithdraws) {
  long_res_t a(1, L"A", 0, RES_GROUP_MISC);
  flag_res_t f(L"F", 0, RES_GROUP_MISC);
  watcher w{"w", &journal};
  a.read(&w.functor);
  f.read(&w.functor);

  base_res_t::hold_pending_writes(true);
  a.write(2);
  f.write();
  EXPECT_EQ(a.read(), 1);
  EXPECT_TRUE(journal.empty());
  base_res_t::cancel_pending_writes();
  base_res_t::hold_pending_writes(false);
  base_res_t::make_pending_writes_happen();
  EXPECT_TRUE(journal.empty());
  EXPECT_EQ(a.read(), 1);
  EXPECT_EQ(a.pending(), 1);
  EXPECT_FALSE(a.written());
  EXPECT_EQ(f.counter(), 1);  // a raised flag stays raised

  base_res_t::hold_pending_writes(true);
  a.write(3);
  base_res_t::hold_pending_writes(false);
  EXPECT_EQ(a.read(), 1);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(a.read(), 3);
  EXPECT_EQ(journal.size(), 1u);
}

TEST_F(CommitCycle, FlagRaisedThreeTimesRunsItsProceduresOnce) {
  flag_res_t f(L"F", 0, RES_GROUP_MISC);
  watcher w{"w", &journal};
  EXPECT_EQ(f.read(&w.functor), 0);
  f.write_no_changeprocs();
  f.write_no_changeprocs();
  f.write_no_changeprocs();
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(f.read(), 3);
  EXPECT_EQ(journal.size(), 1u);
}

TEST_F(CommitCycle, RemovedProcedureIsNotCalledAndTheRunContinues) {
  long_res_t a(0, L"A", 0, RES_GROUP_MISC);
  auto* victim = new watcher{"v", &journal};
  watcher killer{"k", &journal, [&] {
                   a.remove_proc(&victim->functor);
                   delete victim;
                   victim = nullptr;
                 }};
  watcher last{"l", &journal};
  a.read(&last.functor);
  a.read(&victim->functor);
  a.read(&killer.functor);
  a.write(1);
  EXPECT_EQ(journal, (std::vector<std::string>{"k", "l"}));
  EXPECT_EQ(a.worry_count(), 2);
}

TEST_F(CommitCycle, WorryLengthListeners) {
  long_res_t a(0, L"A", 0, RES_GROUP_MISC);
  std::vector<int> counts;
  struct listener {
    long_res_t* res;
    std::vector<int>* counts;
    pmf_functor<listener> functor{this, &listener::told};
    void told() { counts->push_back(res->read_worrylist_length(nullptr)); }
  } l{&a, &counts};
  watcher p{"p", &journal}, q{"q", &journal};

  EXPECT_EQ(a.read_worrylist_length(&l.functor), 0);
  EXPECT_EQ(a.read_worrylist_length(&l.functor), 0);  // registered once
  a.add_proc(nullptr);                                 // tells nobody
  a.add_proc(&p.functor);
  a.add_proc(&q.functor);
  a.add_proc(&q.functor);  // no change, nobody told
  a.remove_proc(&p.functor);
  a.remove_proc(&p.functor);  // not registered: nothing
  EXPECT_EQ(counts, (std::vector<int>{1, 2, 1}));
  a.remove_worrylist_length_proc(&l.functor);
  a.remove_proc(&q.functor);
  EXPECT_EQ(counts.size(), 3u);
}

TEST_F(CommitCycle, FileLoadingModeKeepsUserValuesAndChangedFlags) {
  long_res_t a(1, L"A", RES_CLASS_DATA_BODY | RES_CLASS_SETTINGS, RES_GROUP_IMAGE_PARAMS);
  flag_res_t f(L"F", RES_CLASS_DATA_BODY, RES_GROUP_OBJECT_DATA);
  base_res_t::set_file_loading(true);
  a.write(2);
  f.write();
  base_res_t::set_file_loading(false);
  EXPECT_EQ(a.read(), 2);
  EXPECT_EQ(a.user_value(), 1);
  EXPECT_FALSE(a.changed());
  EXPECT_TRUE(f.changed());  // flags mark changes in every mode

  a.write(3);
  EXPECT_EQ(a.user_value(), 3);
  EXPECT_TRUE(a.changed());
  a.write_no_changeprocs(7);
  base_res_t::make_pending_writes_happen();
  base_res_t::set_file_loading(true);
  a.write(8);
  base_res_t::set_file_loading(false);
  base_res_t::restore_all_user_values();
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(a.read(), 7);
}

TEST_F(CommitCycle, ChangedGroupsAndClearChanged) {
  long_res_t a(0, L"A", RES_CLASS_DATA_HEADER, RES_GROUP_IMAGE_DATA);
  long_res_t b(0, L"B", RES_CLASS_DATA_BODY, RES_GROUP_OBJECT_DATA);
  long_res_t c(0, L"C", RES_CLASS_DATA_BODY | RES_CLASS_CONFIG, RES_GROUP_MISC);
  wxString text = "keep";
  EXPECT_FALSE(base_res_t::describe_changed_groups(3, text));
  EXPECT_EQ(text, "keep");
  a.write(1);
  b.write(1);
  text.clear();
  EXPECT_TRUE(base_res_t::describe_changed_groups(3, text));
  EXPECT_EQ(text, " - Image or position data\n - Object data\n");
  c.write(1);
  EXPECT_TRUE(c.changed());
  base_res_t::clear_changed(RES_CLASS_CONFIG);
  EXPECT_FALSE(c.changed());
  EXPECT_TRUE(a.changed());
  base_res_t::clear_changed(3);
  EXPECT_FALSE(a.changed());
  EXPECT_FALSE(b.changed());
}

TEST_F(CommitCycle, ResetToDefaultsOnlyForSettingsResources) {
  long_res_t s(4, L"S", RES_CLASS_SETTINGS, RES_GROUP_MISC);
  long_res_t r(4, L"R", RES_CLASS_DATA_BODY, RES_GROUP_MISC);
  s.write(9);
  r.write(9);
  base_res_t::hold_pending_writes(true);
  base_res_t::reset_all_to_defaults();
  EXPECT_FALSE(r.touched());
  base_res_t::hold_pending_writes(false);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(s.read(), 4);
  EXPECT_EQ(r.read(), 9);
}

TEST_F(CommitCycle, GenResourcesCompareByValueGenflagAlwaysChanges) {
  int objects[2];
  gen_res_t<int*> g(&objects[0], L"G", 0, RES_GROUP_MISC);
  genflag_res_t<int*> gf(&objects[0], L"GF", 0, RES_GROUP_MISC);
  watcher w{"w", &journal};
  g.read(&w.functor);
  gf.read(&w.functor);
  g.write(&objects[0]);
  EXPECT_TRUE(journal.empty());
  bool gf_changed = false;
  watcher v{"v", &journal, [&] { gf_changed = gf.changed_in_flush(); }};
  gf.read(&v.functor);
  gf.write(&objects[0]);
  EXPECT_TRUE(gf_changed);
  g.write(&objects[1]);
  EXPECT_EQ(g.read(), &objects[1]);
  EXPECT_EQ(g.previous(), &objects[0]);
}

TEST_F(CommitCycle, NaNAlwaysCountsAsAChange) {
  double_res_t d(0.0, L"D", 0, RES_GROUP_MISC);
  watcher w{"w", &journal};
  d.read(&w.functor);
  d.write(std::nan(""));
  d.write(std::nan(""));
  EXPECT_EQ(journal.size(), 2u);
}

}  // namespace
