// Saving files beside their targets and renaming them into place.
#include "data/file_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wx/filename.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

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

}  // namespace

const char* save_step_name(save_step step) {
  switch (step) {
    case save_step::create: return "create";
    case save_step::write: return "write";
    case save_step::flush: return "flush";
    case save_step::sync: return "sync";
    case save_step::close: return "close";
    case save_step::mode: return "mode";
    case save_step::keep_old: return "keep_old";
    case save_step::rename: return "rename";
    case save_step::sync_folder: return "sync_folder";
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
    if (ok) {
      const int fd = ::open(native(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      // A file system that cannot sync folders says EINVAL: nothing to wait for.
      ok = fd >= 0 && (::fsync(fd) == 0 || errno == EINVAL);
      const int err = errno;
      if (fd >= 0) ::close(fd);
      errno = err;
    }
    if (!ok) {
      const int err = errno;
      const bool back = put_back(order.size(), order);
      fail(e, save_step::sync_folder, err);
      if (!back) note_kept();
      abandon();
      return false;
    }
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
