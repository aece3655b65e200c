// Collects wxLog records during a test instead of showing or printing them,
// so that tests can assert on the messages a component logs.
#pragma once

#include <string>
#include <vector>

#include <wx/log.h>

class log_capture : public wxLog {
 public:
  struct record {
    wxLogLevel level;
    std::string text;
    std::string func;  // the function that logged it, when known
  };

  log_capture() : old_(wxLog::SetActiveTarget(this)), old_level_(wxLog::GetLogLevel()) {
    wxLog::SetLogLevel(wxLOG_Max);
    wxLog::EnableLogging(true);
  }
  ~log_capture() override {
    wxLog::SetActiveTarget(old_);
    wxLog::SetLogLevel(old_level_);
  }

  const std::vector<record>& records() const { return records_; }
  void clear() { records_.clear(); }

  // True when some record at `level` contains `part`.
  bool has(wxLogLevel level, const std::string& part) const {
    for (const auto& r : records_)
      if (r.level == level && r.text.find(part) != std::string::npos) return true;
    return false;
  }
  bool has_text(const std::string& part) const {
    for (const auto& r : records_)
      if (r.text.find(part) != std::string::npos) return true;
    return false;
  }
  int count(wxLogLevel level) const {
    int n = 0;
    for (const auto& r : records_) n += r.level == level;
    return n;
  }

 protected:
  void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo& info) override {
    records_.push_back({level, msg.ToStdString(wxConvUTF8), info.func ? info.func : ""});
  }

 private:
  wxLog* old_;
  wxLogLevel old_level_;
  std::vector<record> records_;
};
