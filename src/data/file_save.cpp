// Saving files beside their targets and renaming them into place.
#include "data/file_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <wx/filename.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numeric>
#include <set>
#include <sstream>

#include "data/data_io_ui.h"

namespace {

save_fault_hook fault_hook;

constexpr size_t kBufferSize = size_t(1) << 20;

std::string native(const wxString& path) { return std::string(path.fn_str()); }

wxString folder_of(const wxString& target) {
  wxString folder = wxFileName(target).GetPath();
  return folder.empty() ? wxString(".") : folder;
}

// A name beside target that nothing else uses: hidden, with this process's
// number and a counter, so that two programs saving into one folder never
// meet.
wxString beside_name(const wxString& target, const char* suffix) {
  static unsigned counter = 0;
  const wxFileName fn(target);
  return wxFileName(folder_of(target), wxString::Format(".%s.%ld-%u.%s", fn.GetFullName(),
                                                        static_cast<long>(::getpid()), counter++,
                                                        suffix))
      .GetFullPath();
}

mode_t mode_for_new_file() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool write_all(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t got = ::write(fd, p, n);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) {
      errno = ENOSPC;
      return false;
    }
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

// A copy of the old target for the undo where the file system has no hard
// links; synced like any file this program writes.
bool copy_file(const std::string& from, const std::string& to, mode_t mode) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (out < 0) {
    ::close(in);
    return false;
  }
  std::vector<char> buffer(kBufferSize);
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    if (!write_all(out, buffer.data(), static_cast<size_t>(got))) {
      ok = false;
      break;
    }
  }
  ok = ::fsync(out) == 0 && ok;
  ok = ::close(out) == 0 && ok;
  ::close(in);
  if (!ok) ::unlink(to.c_str());
  return ok;
}

bool sync_folder_of(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // A file system that cannot sync folders says EINVAL: nothing to wait for.
  bool ok = ::fsync(fd) == 0 || errno == EINVAL;
  const int err = errno;
  ::close(fd);
  errno = err;
  return ok;
}

// ---- the journal of a set of files -------------------------------------------
//
// Text, one line per file after the first: the target's name, the name of its
// kept old copy (empty when the target did not exist), the name of its new
// file and the new file's inode number, separated by "/", which no file name
// holds. All files are in the journal's folder. The last line is "end".

constexpr const char* kJournalHead = "norvelith save journal 1";
constexpr size_t kJournalLimit = size_t(16) << 20;

struct journal_entry {
  std::string target, kept, temp;
  unsigned long long inode = 0;
};

std::string journal_name_for(const std::string& target_name) { return "." + target_name + ".journal"; }

// Names this program gives its temporaries: "." + target + "." + process
// number + "-" + counter + ".new" or ".old". Gives the process number.
bool temporary_name(const std::string& name, const std::string* target, long* pid) {
  const bool old_kind = name.size() > 5 && name.compare(name.size() - 4, 4, ".old") == 0;
  const bool new_kind = name.size() > 5 && name.compare(name.size() - 4, 4, ".new") == 0;
  if (name.empty() || name[0] != '.' || (!old_kind && !new_kind)) return false;
  const std::string stem = name.substr(0, name.size() - 4);  // ".target.pid-n"
  const size_t dot = stem.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  const std::string numbers = stem.substr(dot + 1);
  const size_t dash = numbers.find('-');
  if (dash == std::string::npos || dash == 0 || dash + 1 == numbers.size()) return false;
  for (size_t i = 0; i < numbers.size(); ++i)
    if (i != dash && (numbers[i] < '0' || numbers[i] > '9')) return false;
  if (numbers.size() > 40) return false;
  if (target && stem.substr(1, dot - 1) != *target) return false;
  if (pid) *pid = std::strtol(numbers.substr(0, dash).c_str(), nullptr, 10);
  return dot > 1;
}

bool read_journal(const std::string& path, std::vector<journal_entry>& out) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<size_t>(st.st_size) > kJournalLimit)
    return false;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != kJournalHead) return false;
  bool ended = false;
  while (std::getline(in, line)) {
    if (line == "end") {
      ended = true;
      break;
    }
    journal_entry e;
    std::string inode;
    std::istringstream fields(line);
    if (!std::getline(fields, e.target, '/') || !std::getline(fields, e.kept, '/') ||
        !std::getline(fields, e.temp, '/') || !std::getline(fields, inode) || e.target.empty() ||
        e.target == "." || e.target == ".." || inode.empty() ||
        inode.find_first_not_of("0123456789") != std::string::npos)
      return false;
    e.inode = std::strtoull(inode.c_str(), nullptr, 10);
    // Only the temporaries of this target: a journal never names other files.
    if ((!e.kept.empty() && (!temporary_name(e.kept, &e.target, nullptr) ||
                             e.kept.compare(e.kept.size() - 4, 4, ".old") != 0)) ||
        !temporary_name(e.temp, &e.target, nullptr) ||
        e.temp.compare(e.temp.size() - 4, 4, ".new") != 0)
      return false;
    out.push_back(e);
  }
  return ended && !out.empty();
}

// When the process `pid` started, in seconds of the real-time clock; 0 when
// it is not known. Its start is counted in clock ticks since boot.
double process_start_time(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t paren = text.rfind(')');
  if (paren == std::string::npos) return 0;
  std::istringstream fields(text.substr(paren + 1));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) {
      const double ticks = std::strtod(field.c_str(), nullptr);
      timespec real, boot;
      ::clock_gettime(CLOCK_REALTIME, &real);
      ::clock_gettime(CLOCK_BOOTTIME, &boot);
      const double since_boot = ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
      return (real.tv_sec + real.tv_nsec * 1e-9) - (boot.tv_sec + boot.tv_nsec * 1e-9) + since_boot;
    }
  return 0;
}

// A temporary is held while the process that made it runs: one with its
// number that started before the file last changed. A process started later
// only reuses the number. The margin covers the clocks' granularity.
bool temporary_held(long pid, const struct stat& st) {
  if (pid <= 0) return true;
  if (pid == static_cast<long>(::getpid())) return true;
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return false;
  const double started = process_start_time(pid);
  if (started <= 0) return true;
  const double changed = st.st_ctim.tv_sec + st.st_ctim.tv_nsec * 1e-9;
  return changed >= started - 0.25;
}

}  // namespace

void ignore_file_size_signal() { ::signal(SIGXFSZ, SIG_IGN); }

bool undo_interrupted_save(const wxString& target, wxString* note) {
  const wxFileName fn(target);
  const std::string folder = native(folder_of(target));
  const std::string journal = folder + "/" + journal_name_for(native(fn.GetFullName()));
  struct stat st;
  if (fn.GetFullName().empty() || ::lstat(journal.c_str(), &st) != 0) return false;
  const wxString shown = fn.GetFullPath();
  std::vector<journal_entry> entries;
  if (!read_journal(journal, entries)) {
    if (note)
      *note = wxString::Format("A save of \"%s\" was interrupted, but its journal \"%s\" cannot be "
                               "read: the files were left as they are.",
                               shown, wxString::FromUTF8(journal));
    return true;
  }
  int err = 0;  // the first failure
  auto check = [&](bool done) {
    if (!done && err == 0) err = errno;
  };
  for (const journal_entry& e : entries) {
    const std::string target_path = folder + "/" + e.target;
    if (!e.kept.empty()) {
      const std::string kept = folder + "/" + e.kept;
      // A kept copy already renamed back is gone: the target is the old one.
      // A rename between two names of one file does nothing: the target was
      // not replaced yet, and the second name goes.
      check(::rename(kept.c_str(), target_path.c_str()) == 0 || errno == ENOENT);
      if (::lstat(kept.c_str(), &st) == 0) check(::unlink(kept.c_str()) == 0);
    } else if (::lstat(target_path.c_str(), &st) == 0 && st.st_ino == e.inode) {
      // A file that did not exist before is removed only while it is the
      // one that save put there.
      check(::unlink(target_path.c_str()) == 0);
    }
    check(::unlink((folder + "/" + e.temp).c_str()) == 0 || errno == ENOENT);
  }
  check(sync_folder_of(folder));
  if (err == 0) {
    check(::unlink(journal.c_str()) == 0);
    sync_folder_of(folder);
  }
  if (note)
    *note = err == 0
                ? wxString::Format("A save of \"%s\" was interrupted; the files as they were "
                                   "before it are back.",
                                   shown)
                : wxString::Format("A save of \"%s\" was interrupted and could not be undone: %s.",
                                   shown, wxString::FromUTF8(std::strerror(err)));
  return true;
}

const char* save_step_name(save_step step) {
  switch (step) {
    case save_step::create: return "create";
    case save_step::write: return "write";
    case save_step::flush: return "flush";
    case save_step::sync: return "sync";
    case save_step::close: return "close";
    case save_step::mode: return "mode";
    case save_step::keep_old: return "keep_old";
    case save_step::journal: return "journal";
    case save_step::rename: return "rename";
    case save_step::sync_folder: return "sync_folder";
    case save_step::drop_journal: return "drop_journal";
  }
  return "?";
}

void set_save_fault_hook(save_fault_hook hook) { fault_hook = std::move(hook); }

bool save_target_read_only(const wxString& path) {
  struct stat st;
  const std::string p = native(path);
  if (::stat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return (st.st_mode & 0222) == 0 || ::access(p.c_str(), W_OK) != 0;
}

// ---- one file of a batch ---------------------------------------------------

struct save_batch::entry {
  wxString target, temp, kept;  // kept: the old target, set aside for the undo
  int rank = 0;
  int fd = -1;
  bool failed = false, finished = false, existed = false;
  bool only_copy = false;  // kept could not be put back: it must survive
  mode_t mode = 0;
  unsigned long long inode = 0;  // of the new file
  std::string buffer;
};

const wxString& save_batch::target(int k) const { return files_[static_cast<size_t>(k)]->target; }

bool save_batch::step_allowed(save_step step, const wxString& target) {
  if (stopped_) return false;
  if (!fault_hook) return true;
  switch (fault_hook(step, target)) {
    case save_fault::none:
      return true;
    case save_fault::stop:
      stopped_ = true;
      return false;
    case save_fault::fail:
      errno = step == save_step::write || step == save_step::flush ? ENOSPC : EIO;
      return false;
  }
  return true;
}

bool save_batch::fail(entry& e, save_step step, int err) {
  e.failed = true;
  if (!error_.empty()) return false;
  const wxString reason = wxString::FromUTF8(std::strerror(err));
  switch (step) {
    case save_step::create:
      error_ = wxString::Format("Cannot create a file in the folder of \"%s\": %s.", e.target,
                                reason);
      break;
    case save_step::rename:
    case save_step::keep_old:
    case save_step::sync_folder:
      error_ = wxString::Format("Cannot replace \"%s\": %s.", e.target, reason);
      break;
    default:
      error_ = wxString::Format("Cannot write \"%s\": %s.", e.target, reason);
      break;
  }
  return false;
}

int save_batch::add(const wxString& target, int rank) {
  auto e = std::make_unique<entry>();
  e->target = target;
  e->rank = rank;
  entry& r = *e;
  files_.push_back(std::move(e));
  const int k = static_cast<int>(files_.size()) - 1;
  if (stopped_) return -1;

  const std::string path = native(target);
  struct stat st;
  if (wxFileName(target).GetFullName().empty()) {
    r.failed = true;
    if (error_.empty()) error_ = wxString::Format("\"%s\" names no file.", target);
    return -1;
  }
  ignore_file_size_signal();
  // A set saved over target that stopped half-way is put back first.
  wxString note;
  if (undo_interrupted_save(target, &note)) data_report(wxLOG_Warning, note);
  tidy_folder(target);
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      r.failed = true;
      if (error_.empty()) error_ = wxString::Format("\"%s\" is a folder.", target);
      return -1;
    }
    if (save_target_read_only(target)) {
      r.failed = true;
      if (error_.empty()) error_ = wxString::Format("\"%s\" is read-only.", target);
      return -1;
    }
    r.existed = true;
    r.mode = st.st_mode & 07777;
  } else {
    r.mode = mode_for_new_file();
  }

  for (int attempt = 0; attempt < 100; ++attempt) {
    const wxString temp = beside_name(target, "new");
    if (!step_allowed(save_step::create, target)) return stopped_ ? -1 : (fail(r, save_step::create, errno), -1);
    r.fd = ::open(native(temp).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (r.fd >= 0) {
      struct stat made;
      if (::fstat(r.fd, &made) == 0) r.inode = static_cast<unsigned long long>(made.st_ino);
      r.temp = temp;
      r.buffer.reserve(kBufferSize);
      return k;
    }
    if (errno != EEXIST) break;
  }
  fail(r, save_step::create, errno);
  return -1;
}

bool save_batch::write(int k, const void* data, size_t size) {
  if (k < 0 || static_cast<size_t>(k) >= files_.size()) return false;
  entry& e = *files_[static_cast<size_t>(k)];
  if (e.failed || e.finished || e.fd < 0 || stopped_) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const size_t room = kBufferSize - e.buffer.size();
    const size_t n = std::min(room, size);
    e.buffer.append(p, n);
    p += n;
    size -= n;
    if (e.buffer.size() == kBufferSize) {
      if (!step_allowed(save_step::write, e.target) ||
          !write_all(e.fd, e.buffer.data(), e.buffer.size()))
        return stopped_ ? false : fail(e, save_step::write, errno);
      e.buffer.clear();
    }
  }
  return true;
}

bool save_batch::finish(int k) {
  if (k < 0 || static_cast<size_t>(k) >= files_.size()) return false;
  entry& e = *files_[static_cast<size_t>(k)];
  if (e.finished) return true;
  if (e.failed || e.fd < 0 || stopped_) return false;
  auto step = [&](save_step s, auto&& call) {
    if (!step_allowed(s, e.target) || !call()) return stopped_ ? false : fail(e, s, errno);
    return true;
  };
  if (!step(save_step::flush, [&] { return write_all(e.fd, e.buffer.data(), e.buffer.size()); }))
    return false;
  e.buffer.clear();
  e.buffer.shrink_to_fit();
  if (!step(save_step::sync, [&] { return ::fsync(e.fd) == 0; })) return false;
  if (!step(save_step::mode, [&] { return ::fchmod(e.fd, e.mode) == 0; })) return false;
  const int fd = e.fd;
  if (!step(save_step::close, [&] {
        e.fd = -1;
        return ::close(fd) == 0;
      }))
    return false;
  e.finished = true;
  return true;
}

// Renames the old targets kept aside back over the first `renamed` files in
// order, and removes the new files of targets that did not exist.
bool save_batch::put_back(size_t renamed, const std::vector<size_t>& order) {
  bool ok = true;
  for (size_t i = renamed; i-- > 0;) {
    entry& e = *files_[order[i]];
    if (!e.kept.empty()) {
      if (::rename(native(e.kept).c_str(), native(e.target).c_str()) == 0) {
        e.kept.clear();
      } else {
        e.only_copy = true;
        ok = false;
      }
    } else if (!e.existed) {
      ok = ::unlink(native(e.target).c_str()) == 0 && ok;
    }
  }
  return ok;
}

void save_batch::note_kept() {
  for (const auto& e : files_)
    if (e->only_copy)
      error_ += wxString::Format(" The old \"%s\" is kept as \"%s\".", e->target, e->kept);
}

bool save_batch::commit() {
  if (committed_) return true;
  if (stopped_) return false;
  for (size_t k = 0; k < files_.size(); ++k) {
    if (files_[k]->failed || (files_[k]->fd < 0 && !files_[k]->finished)) {
      if (error_.empty()) error_ = wxString::Format("Cannot write \"%s\".", files_[k]->target);
      abandon();
      return false;
    }
    if (!finish(static_cast<int>(k))) {
      if (!stopped_) abandon();
      return false;
    }
  }
  std::vector<size_t> order(files_.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return files_[a]->rank < files_[b]->rank; });

  // The old targets are kept aside (a second name for the same file, or a
  // copy) so that they can be put back after any later step fails.
  for (size_t i = 0; i < order.size(); ++i) {
    entry& e = *files_[order[i]];
    if (!e.existed) continue;
    const wxString kept = beside_name(e.target, "old");
    if (!step_allowed(save_step::keep_old, e.target)) {
      if (!stopped_) {
        fail(e, save_step::keep_old, errno);
        abandon();
      }
      return false;
    }
    const std::string from = native(e.target), to = native(kept);
    if (::link(from.c_str(), to.c_str()) == 0 || copy_file(from, to, e.mode)) {
      e.kept = kept;
    } else {
      fail(e, save_step::keep_old, errno);
      abandon();
      return false;
    }
  }

  if (!write_journal(order)) {
    if (!stopped_) abandon();
    return false;
  }

  // The renames follow one another with nothing in between, so that a kill
  // can find the set mixed only for the shortest time the system allows.
  size_t renamed = 0;
  for (; renamed < order.size(); ++renamed) {
    entry& e = *files_[order[renamed]];
    if (!step_allowed(save_step::rename, e.target) ||
        ::rename(native(e.temp).c_str(), native(e.target).c_str()) != 0) {
      if (stopped_) return false;
      const int err = errno;
      const bool back = put_back(renamed, order);
      fail(e, save_step::rename, err);
      if (!back) note_kept();
      abandon();
      return false;
    }
    e.temp.clear();
  }

  std::vector<wxString> folders;
  for (const auto& e : files_) {
    const wxString folder = folder_of(e->target);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  }
  for (const wxString& folder : folders) {
    entry& e = *files_[order.back()];
    bool ok = step_allowed(save_step::sync_folder, e.target);
    if (stopped_) return false;
    if (ok) ok = sync_folder_of(native(folder));
    if (!ok) {
      const int err = errno;
      const bool back = put_back(order.size(), order);
      fail(e, save_step::sync_folder, err);
      if (!back) note_kept();
      abandon();
      return false;
    }
  }
  // The set is new once its journal is gone; the kept files go after it.
  if (!journal_.empty()) {
    entry& e = *files_[order.back()];
    const std::string journal = native(journal_);
    bool ok = step_allowed(save_step::drop_journal, e.target);
    if (stopped_) return false;
    if (ok) ok = ::unlink(journal.c_str()) == 0 && sync_folder_of(native(folder_of(journal_)));
    if (!ok) {
      const int err = errno;
      const bool back = put_back(order.size(), order);
      fail(e, save_step::drop_journal, err);
      if (!back) note_kept();
      abandon();
      return false;
    }
    journal_.clear();
  }
  for (const auto& e : files_)
    if (!e->kept.empty()) {
      ::unlink(native(e->kept).c_str());
      e->kept.clear();
    }
  committed_ = true;
  return true;
}

void save_batch::abandon() {
  if (stopped_) return;
  // A journal stays while an old file could not be put back: the next open
  // tries again.
  bool all_back = true;
  for (const auto& e : files_) all_back = all_back && !e->only_copy;
  if (!journal_.empty() && all_back) {
    ::unlink(native(journal_).c_str());
    sync_folder_of(native(folder_of(journal_)));
    journal_.clear();
  }
  for (const auto& e : files_) {
    if (e->fd >= 0) {
      ::close(e->fd);
      e->fd = -1;
    }
    if (!e->temp.empty()) {
      ::unlink(native(e->temp).c_str());
      e->temp.clear();
    }
    if (!e->kept.empty() && !e->only_copy) {
      ::unlink(native(e->kept).c_str());
      e->kept.clear();
    }
    e->failed = true;
  }
}

// Before the first rename of a set of files, a journal that names them: a
// kill during the renames is then undone by the next open or save. Written
// beside the file renamed last, through a file of its own that is synced and
// renamed into place. Sets spread over folders, or with a name the journal
// cannot hold, go without.
bool save_batch::write_journal(const std::vector<size_t>& order) {
  if (order.size() < 2) return true;
  const wxString folder = folder_of(files_[order.back()]->target);
  std::string text = std::string(kJournalHead) + "\n";
  for (size_t i : order) {
    const entry& e = *files_[i];
    if (folder_of(e.target) != folder) return true;
    const std::string name = native(wxFileName(e.target).GetFullName());
    if (name.find('\n') != std::string::npos) return true;
    text += name + "/" + native(wxFileName(e.kept).GetFullName()) + "/" +
            native(wxFileName(e.temp).GetFullName()) + "/" + std::to_string(e.inode) + "\n";
  }
  text += "end\n";

  entry& last = *files_[order.back()];
  if (!step_allowed(save_step::journal, last.target)) {
    if (!stopped_) fail(last, save_step::journal, errno);
    return false;
  }
  const std::string journal =
      native(folder) + "/" + journal_name_for(native(wxFileName(last.target).GetFullName()));
  const std::string temp = native(beside_name(last.target, "new"));
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  bool ok = fd >= 0 && write_all(fd, text.data(), text.size()) && ::fsync(fd) == 0;
  int err = errno;
  if (fd >= 0) ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), journal.c_str()) == 0;
  if (ok) ok = sync_folder_of(native(folder));
  if (!ok) {
    err = errno;
    ::unlink(temp.c_str());
    ::unlink(journal.c_str());
    fail(last, save_step::journal, err);
    return false;
  }
  journal_ = wxString::FromUTF8(journal);
  return true;
}

// Removes the temporaries of this program's naming that a process no longer
// running left in target's folder, except those a journal still needs. Once
// per folder and batch.
void save_batch::tidy_folder(const wxString& target) {
  const wxString folder = folder_of(target);
  if (std::find(tidied_.begin(), tidied_.end(), folder) != tidied_.end()) return;
  tidied_.push_back(folder);
  const std::string dir = native(folder);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  std::vector<std::string> names;
  while (const dirent* ent = ::readdir(d)) names.emplace_back(ent->d_name);
  ::closedir(d);

  std::set<std::string> needed;
  for (const std::string& name : names) {
    if (name.size() < 10 || name[0] != '.' || name.compare(name.size() - 8, 8, ".journal") != 0)
      continue;
    std::vector<journal_entry> entries;
    if (!read_journal(dir + "/" + name, entries)) {
      // A journal that cannot be read keeps every temporary of its target.
      const std::string stem = name.substr(1, name.size() - 9);
      for (const std::string& other : names)
        if (temporary_name(other, &stem, nullptr)) needed.insert(other);
      continue;
    }
    for (const journal_entry& e : entries) {
      needed.insert(e.kept);
      needed.insert(e.temp);
    }
  }
  for (const std::string& name : names) {
    long pid = 0;
    if (!temporary_name(name, nullptr, &pid) || needed.count(name)) continue;
    const std::string path = dir + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (!temporary_held(pid, st)) ::unlink(path.c_str());
  }
}

save_batch::save_batch() = default;

save_batch::~save_batch() {
  if (!committed_) abandon();
}

bool save_file(const wxString& target, const std::string& bytes, wxString* why) {
  save_batch batch;
  const int k = batch.add(target);
  const bool ok = k >= 0 && batch.write(k, bytes) && batch.commit();
  if (!ok && why) *why = batch.error();
  return ok;
}

size_t save_output_stream::OnSysWrite(const void* buffer, size_t size) {
  if (batch_.write(k_, buffer, size)) return size;
  m_lasterror = wxSTREAM_WRITE_ERROR;
  return 0;
}
