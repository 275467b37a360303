// What the archive updates show while they run: the status line, the second status line of the
// finish page, the gauge step and the stop request, with the texts of the current language.
// The runtime binds it to the shared setup state; tools and tests use their own.
#pragma once

#include <string>

class TArchiveProgress {
 public:
  virtual ~TArchiveProgress() = default;
  // Text `number` of the current language table.
  virtual std::u16string Text(int number) = 0;
  // The status line, repainted at once.
  virtual void SetStatus(const std::u16string& text) = 0;
  virtual void SetSecondStatus(const std::u16string& text) = 0;
  // Advances the gauge; its display only when `refresh` is set.
  virtual void StepProgress(bool refresh) = 0;
  // Ends the script run after the current line.
  virtual void RequestStop() = 0;
};

// Shows nothing (tools).
class TSilentProgress : public TArchiveProgress {
 public:
  std::u16string Text(int) override { return {}; }
  void SetStatus(const std::u16string&) override {}
  void SetSecondStatus(const std::u16string&) override {}
  void StepProgress(bool) override {}
  void RequestStop() override {}
};

namespace archive_io {

// 8-bit (Windows-1252) text as UTF-16, for names put into language texts.
std::u16string Widen(const std::string& text);

// Text 19: "<%QXPNAME%>" := name, "<%FNUM%>" := done, "<%FTOTAL%>" := total.
std::u16string ItemProgressText(TArchiveProgress& progress, const std::string& name, int done,
                                int total);
// Text `number` with "<%QXPNAME%>" := name (texts 20 and 29).
std::u16string NamedText(TArchiveProgress& progress, int number, const std::string& name);

// Tracks the per-cent threshold at which the gauge display is refreshed.
class TPercentStepper {
 public:
  explicit TPercentStepper(int total) : total_(total) {}
  // Whether the display should refresh now that `done` items are finished.
  bool Refresh(int done) {
    int percent = total_ > 0 ? static_cast<int>(static_cast<long long>(done) * 100 / total_) : 0;
    if (percent > last_) {
      last_ = percent;
      return true;
    }
    return false;
  }

 private:
  int total_;
  int last_ = 0;
};

}  // namespace archive_io
