#include "setup/session/view_protocol.h"

#include <stdexcept>

#include "setup/io/byte_io.h"

namespace setup_session {

namespace {

// Each type's fields in order: 'i' a 32-bit integer, 'b' a byte string, 'w' a UTF-16 text.
const char* FieldLayout(ViewRecordType type) {
  switch (type) {
    case ViewRecordType::kVerifyStatus:
      return "bii";
    case ViewRecordType::kVerifyEnded:
      return "";
    case ViewRecordType::kShowMessage:
      return "iwwi";
    case ViewRecordType::kFigures:
      return "bb";
    case ViewRecordType::kPagesUp:
      return "biib";
    case ViewRecordType::kPageSelected:
      return "i";
    case ViewRecordType::kButtonsChanged:
      return "iiiiiwwww";
    case ViewRecordType::kLanguageChanged:
      return "i";
    case ViewRecordType::kFolderTextSet:
      return "b";
    case ViewRecordType::kFolderChecked:
      return "b";
    case ViewRecordType::kSpaceTextChanged:
      return "w";
    case ViewRecordType::kPageShown:
      return "ii";
    case ViewRecordType::kRunStarted:
      return "wi";
    case ViewRecordType::kStatusText:
      return "iwi";
    case ViewRecordType::kGaugeMax:
      return "i";
    case ViewRecordType::kGaugePosition:
      return "ii";
    case ViewRecordType::kSessionEnded:
      return "";
    case ViewRecordType::kFolderProblem:
      return "b";
    case ViewRecordType::kReady:
      return "i";
    case ViewRecordType::kAnswer:
      return "ii";
    case ViewRecordType::kNext:
      return "";
    case ViewRecordType::kBack:
      return "";
    case ViewRecordType::kChooseLanguage:
      return "i";
    case ViewRecordType::kEditFolder:
      return "b";
    case ViewRecordType::kChooseOption:
      return "ii";
    case ViewRecordType::kRequestClose:
      return "";
  }
  return nullptr;
}

size_t CountOf(const char* layout, char field) {
  size_t count = 0;
  for (const char* p = layout; *p; ++p) count += *p == field;
  return count;
}

}  // namespace

const std::string& ViewRecord::Bytes(size_t i) const {
  static const std::string kNone;
  return i < bytes.size() ? bytes[i] : kNone;
}

const std::u16string& ViewRecord::Text(size_t i) const {
  static const std::u16string kNone;
  return i < texts.size() ? texts[i] : kNone;
}

ViewRecord MakeViewRecord(ViewRecordType type, std::vector<int32_t> numbers) {
  ViewRecord record;
  record.type = type;
  record.numbers = std::move(numbers);
  return record;
}

std::string EncodeViewRecord(const ViewRecord& record) {
  const char* layout = FieldLayout(record.type);
  if (!layout || CountOf(layout, 'i') != record.numbers.size() ||
      CountOf(layout, 'b') != record.bytes.size() || CountOf(layout, 'w') != record.texts.size()) {
    throw std::logic_error("view record fields do not match its type");
  }
  std::string out(4, '\0');
  archive_io::ByteWriter writer(out);
  writer.U8(static_cast<uint8_t>(record.type));
  size_t number = 0, bytes = 0, text = 0;
  for (const char* p = layout; *p; ++p) {
    if (*p == 'i') {
      writer.I32(record.numbers[number++]);
    } else if (*p == 'b') {
      const std::string& value = record.bytes[bytes++];
      writer.U32(static_cast<uint32_t>(value.size()));
      writer.Bytes(value);
    } else {
      const std::u16string& value = record.texts[text++];
      writer.U32(static_cast<uint32_t>(value.size() * 2));
      for (char16_t c : value) writer.U16(c);
    }
  }
  if (out.size() - 4 > kMaxViewRecordBytes) throw std::logic_error("view record too long");
  archive_io::StoreU32(out.data(), static_cast<uint32_t>(out.size() - 4));
  return out;
}

std::optional<ViewRecord> DecodeViewRecord(std::string_view body) {
  archive_io::ByteReader reader(body);
  ViewRecord record;
  record.type = static_cast<ViewRecordType>(reader.U8());
  const char* layout = reader.ok() ? FieldLayout(record.type) : nullptr;
  if (!layout) return std::nullopt;
  for (const char* p = layout; *p; ++p) {
    if (*p == 'i') {
      record.numbers.push_back(reader.I32());
      continue;
    }
    const uint32_t length = reader.U32();
    // Checked against what is left before anything is allocated.
    if (!reader.ok() || length > reader.remaining()) return std::nullopt;
    std::string_view value = reader.Bytes(length);
    if (*p == 'b') {
      record.bytes.emplace_back(value);
    } else {
      if (length % 2 != 0) return std::nullopt;
      std::u16string text(length / 2, u'\0');
      for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<uint8_t>(value[2 * i]) |
                                        static_cast<uint8_t>(value[2 * i + 1]) << 8);
      }
      record.texts.push_back(std::move(text));
    }
  }
  if (!reader.ok() || reader.remaining() != 0) return std::nullopt;
  return record;
}

std::optional<ViewRecord> ViewRecordReader::Next() {
  if (damaged_) return std::nullopt;
  const size_t available = pending_.size() - start_;
  if (available < 4) return std::nullopt;
  const uint32_t length = archive_io::LoadU32(pending_.data() + start_);
  if (length == 0 || length > kMaxViewRecordBytes) {
    damaged_ = true;
    return std::nullopt;
  }
  if (length > available - 4) return std::nullopt;
  std::optional<ViewRecord> record =
      DecodeViewRecord(std::string_view(pending_).substr(start_ + 4, length));
  if (!record) {
    damaged_ = true;
    return std::nullopt;
  }
  start_ += 4 + length;
  // The consumed front is dropped once it is most of the buffer, so the buffer never grows
  // with the length of the stream.
  if (start_ > 4096 && start_ * 2 > pending_.size()) {
    pending_.erase(0, start_);
    start_ = 0;
  }
  return record;
}

}  // namespace setup_session
