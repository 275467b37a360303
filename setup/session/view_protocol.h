// The records a wizard session and a view in another process (the window program) exchange
// over a stream socket. Each record is framed as a 32-bit little-endian length, then a type
// byte and the type's fields in a fixed order: 32-bit integers, byte strings (Windows-1252 text
// or a stored record) and UTF-16 texts, each string as a 32-bit byte count and its bytes. Both
// sides read the same package, so only state changes and user actions cross the socket.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace setup_session {

// The revision the window program announces when it is ready; the runtime refuses another.
inline constexpr int32_t kViewProtocolRevision = 2;
// No record is longer: a length above it means the stream is damaged.
inline constexpr uint32_t kMaxViewRecordBytes = 1u << 20;

enum class ViewRecordType : uint8_t {
  // --- session to view ---
  kVerifyStatus = 1,  // b text, i position, i maximum
  kVerifyEnded,       // (the verification window closes)
  kShowMessage,       // i id, w text, w caption, i flags: answered by kAnswer with the same id
  kFigures,           // b space required text, b space available text
  kPagesUp,           // b setup record, i language, i has folder text, b folder text
  kPageSelected,      // i page
  kButtonsChanged,    // i back visible, i next visible, i next enabled, i cancel enabled,
                      // i language visible, w back, w next, w cancel, w language caption
  kLanguageChanged,   // i language
  kFolderTextSet,     // b folder text
  kFolderChecked,     // b folder text
  kSpaceTextChanged,  // w caption of the space-available label
  kPageShown,         // i page, i id: when the id is not 0, answered by kAnswer with that id
                      // once the window has taken the page's picture
  kRunStarted,        // w status line, i gauge maximum
  kStatusText,        // i which line (0 status, 1 second status), w text, i repaint
  kGaugeMax,          // i maximum
  kGaugePosition,     // i position, i repaint
  kSessionEnded,      // (the window closes; the program may still show message boxes)
  kFolderProblem,     // b why the folder in the install-folder field cannot be used, or empty
  // --- view to session ---
  kReady = 64,  // i revision: the window program has started and read the package
  kAnswer,      // i id, i answer (platform::kIdOk, ...)
  kNext,
  kBack,
  kChooseLanguage,  // i language
  kEditFolder,      // b folder text
  kChooseOption,    // i page, i index
  kRequestClose,
};

struct ViewRecord {
  ViewRecordType type{};
  std::vector<int32_t> numbers;       // the type's integer fields, in order
  std::vector<std::string> bytes;     // its byte strings, in order
  std::vector<std::u16string> texts;  // its UTF-16 texts, in order

  int32_t Number(size_t i) const { return i < numbers.size() ? numbers[i] : 0; }
  const std::string& Bytes(size_t i) const;
  const std::u16string& Text(size_t i) const;
};

// The record with its frame. The fields must match the type's layout (a programming error
// otherwise: std::logic_error).
std::string EncodeViewRecord(const ViewRecord& record);

// Decodes one record's type byte and fields (without the frame); nothing when the type is
// unknown, a field runs past the end, a UTF-16 text has an odd length or bytes are left over.
std::optional<ViewRecord> DecodeViewRecord(std::string_view body);

// Splits a stream into records as its bytes arrive.
class ViewRecordReader {
 public:
  void Append(std::string_view bytes) { pending_.append(bytes); }
  // The next complete record; nothing when more bytes are needed or the stream is damaged
  // (a length of 0 or above kMaxViewRecordBytes, or a record that does not decode), after which
  // Damaged() stays true and nothing more is read.
  std::optional<ViewRecord> Next();
  bool Damaged() const { return damaged_; }
  // Bytes received but not yet part of a complete record.
  size_t Pending() const { return pending_.size() - start_; }

 private:
  std::string pending_;
  size_t start_ = 0;
  bool damaged_ = false;
};

// Short forms for the records without fields and those with integers only.
ViewRecord MakeViewRecord(ViewRecordType type, std::vector<int32_t> numbers = {});

}  // namespace setup_session
