// The one way this program writes a file: the bytes go to a new file beside
// the target, which is flushed and synced to the disk and then renamed over
// the target with the system's rename, after which the folder is synced. The
// target's permissions are kept; a new file gets those the user's umask
// gives. A failure at any step leaves the target as it was.
//
// Several files saved together (a data file and its frame file, the images of
// one export) are a batch: each is written beside its target, and only when
// all are complete are they renamed into place, in a fixed order. The old
// files are kept aside until the last rename has succeeded and are put back
// when a later step fails, so that the set is either all new or all old.
// Between the first rename and the last, a journal beside the set (named
// after the file renamed last) lists the files in flight and the kept old
// ones: a save killed there is undone by the next open of the data file or
// the next save over it. Temporaries of this naming left by a process that
// no longer runs are removed by the next save into their folder.
#pragma once

#include <wx/stream.h>
#include <wx/string.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The steps of a save, in the order they happen for each file.
enum class save_step {
  create,       // the new file beside the target
  write,        // one write of buffered bytes to it
  flush,        // the last buffered bytes, when the file is finished
  sync,         // fsync of the new file
  close,
  mode,         // the target's permissions given to the new file
  keep_old,     // the old target kept aside for the undo
  journal,      // the journal of a set of files, before the first rename
  rename,       // the new file renamed over the target
  sync_folder,  // fsync of the folder after the renames
  drop_journal, // the journal removed after the last rename
};
const char* save_step_name(save_step step);

// What a test makes of a step: nothing, a failure of the call (as a full disk
// or a failing rename would), or a stop there, as if the program were killed
// just before the call: nothing more is done, nothing is cleaned up.
enum class save_fault { none, fail, stop };
using save_fault_hook = std::function<save_fault(save_step step, const wxString& target)>;
// Installs the hook that every save consults before each step; an empty hook
// removes it.
void set_save_fault_hook(save_fault_hook hook);

// Undoes a save of a set of files that stopped between its first rename and
// its last, when a journal beside target says one did: the old files go back
// in place and the new and kept ones are removed. True when a journal was
// found; *note then holds one line for the user.
bool undo_interrupted_save(const wxString& target, wxString* note);

// A write past the file-size limit must fail and be reported, not end the
// process: the signal the system sends then is ignored.
void ignore_file_size_signal();

// Whether path names an existing file that may not be written: one without
// write permission for this user, or with no write bit at all (which even
// an administrator's save respects).
bool save_target_read_only(const wxString& path);

// One or more files saved together.
class save_batch {
 public:
  save_batch();
  ~save_batch();  // removes the new files of a batch not committed
  save_batch(const save_batch&) = delete;
  save_batch& operator=(const save_batch&) = delete;

  // Starts a new file beside target and returns its number, or -1 (with
  // error() set) when target is a folder, is read-only, or no file can be
  // created beside it. Files are renamed into place in ascending rank, then
  // in the order added: the file whose arrival completes the set (the data
  // file of a pair) gets the highest rank.
  int add(const wxString& target, int rank = 0);

  // Appends bytes to file k; false (with error() set) when they could not be
  // written. Writes after a failure fail at once.
  bool write(int k, const void* data, size_t size);
  bool write(int k, const std::string& data) { return write(k, data.data(), data.size()); }

  // Writes out, syncs and closes file k, giving it the target's mode. Done by
  // commit() for the files not yet finished.
  bool finish(int k);

  // Puts every file in place, or, when any step fails, none: the old targets
  // are as they were and the new files are gone.
  bool commit();

  // Removes the new files; the targets stay as they were.
  void abandon();

  // What went wrong, as a sentence naming the file, for the caller's message.
  const wxString& error() const { return error_; }
  // A fault hook stopped the batch, as a kill would have.
  bool stopped() const { return stopped_; }
  size_t size() const { return files_.size(); }
  const wxString& target(int k) const;

 private:
  struct entry;
  bool fail(entry& e, save_step step, int err);
  bool step_allowed(save_step step, const wxString& target);
  bool put_back(size_t renamed, const std::vector<size_t>& order);
  void note_kept();
  bool write_journal(const std::vector<size_t>& order);
  void tidy_folder(const wxString& target);

  std::vector<std::unique_ptr<entry>> files_;
  wxString error_;
  wxString journal_;                 // the journal while the renames run
  std::vector<wxString> tidied_;     // folders already cleared of stale temporaries
  bool stopped_ = false;
  bool committed_ = false;
};

// Saves bytes as the whole of target. False with *why set on failure.
bool save_file(const wxString& target, const std::string& bytes, wxString* why = nullptr);

// An output stream into one file of a batch, for writers that write streams.
class save_output_stream final : public wxOutputStream {
 public:
  save_output_stream(save_batch& batch, int k) : batch_(batch), k_(k) {}

 protected:
  size_t OnSysWrite(const void* buffer, size_t size) override;

 private:
  save_batch& batch_;
  int k_;
};

// A free-text name (an object's name) made safe as part of a file name:
// path separators, drive colons, characters the file systems reserve and
// control characters become '_', and so does every dot that follows a dot,
// so that no ".." remains. An empty (or all-blank) name gives the object's
// number instead.
wxString safe_file_name_part(const wxString& name, int object);
