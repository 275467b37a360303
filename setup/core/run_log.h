// The run log of `setup --log FILE`: a plain UTF-8 text file, one line per event, each line
// starting with the local time to the millisecond. Every line is handed to the file system as
// it is written, so a run that is killed leaves the log up to that moment. Without --log the
// log is closed and writing to it costs one check.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

class TRunLog {
 public:
  // The process-wide log of the running setup.
  static TRunLog& Instance();

  // Creates or truncates the file at a host path; answers false (log stays closed) on failure.
  bool Open(const std::string& host_path);
  void Close();
  bool IsOpen() const;
  // One event; line breaks inside the text become " / " so that an event stays one line.
  void WriteUtf8(std::string_view text);

  ~TRunLog();

 private:
  mutable std::mutex mutex_;
  int fd_ = -1;
};

// Logs one event given in Windows-1252, the engine's text code page (callers anywhere above
// core use this: options, each script line, files, folders, registry values, links, programs
// started, messages and answers, rollback steps, the exit code).
void RunLog(std::string_view cp1252_text);
// Logs one event given in UTF-8 (host paths, console texts).
void RunLogUtf8(std::string_view utf8_text);
