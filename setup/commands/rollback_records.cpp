#include "setup/commands/rollback_records.h"

#include <cstring>

#include "setup/core/buffer_manager.h"
#include "setup/core/crc32.h"

namespace {

constexpr size_t kHeaderCrcOffset = 12;

uint32_t Crc(std::string_view bytes) { return ComputeCrc32(bytes.data(), bytes.size()); }

uint32_t ReadU32(std::string_view bytes, size_t offset) {
  TBufferManager cursor(bytes.substr(offset, 4));
  return cursor.ReadUInt32();
}

bool IsKnownKind(uint8_t kind) {
  return kind >= static_cast<uint8_t>(JournalKind::kFileCreated) &&
         kind <= static_cast<uint8_t>(JournalKind::kFileCopied);
}

// Reads one text of a payload; false when the payload ends inside it.
bool ReadText(TBufferManager& cursor, std::string& text) {
  if (cursor.Remaining() < 2) return false;
  const uint16_t length = cursor.ReadUInt16();
  if (length > cursor.Remaining()) return false;
  text = length == 0 ? std::string() : cursor.ReadBytes(length).value_or(std::string());
  return true;
}

bool ReadFlag(TBufferManager& cursor, bool& flag) {
  if (cursor.Remaining() < 1) return false;
  flag = cursor.ReadByte() != 0;
  return true;
}

std::optional<JournalRecord> DecodePayload(std::string_view payload) {
  TBufferManager cursor(payload);
  if (cursor.Remaining() < 1) return std::nullopt;
  const uint8_t kind = cursor.ReadByte();
  if (!IsKnownKind(kind)) return std::nullopt;
  JournalRecord record;
  record.kind = static_cast<JournalKind>(kind);
  bool ok = true;
  switch (record.kind) {
    case JournalKind::kFileCreated:
    case JournalKind::kFolderCreated:
      ok = ReadText(cursor, record.path);
      break;
    case JournalKind::kFileSetAside:
    case JournalKind::kFolderSetAside:
    case JournalKind::kMoved:
    case JournalKind::kFileCopied:
      ok = ReadText(cursor, record.path) && ReadText(cursor, record.aside);
      break;
    case JournalKind::kRegistryKey:
    case JournalKind::kRegistryValue:
      ok = cursor.Remaining() >= 1;
      if (ok) record.root = cursor.ReadByte();
      ok = ok && ReadText(cursor, record.path);
      if (ok && record.kind == JournalKind::kRegistryValue) {
        ok = ReadText(cursor, record.name) && ReadFlag(cursor, record.existed) &&
             ReadFlag(cursor, record.is_string) && ReadText(cursor, record.text) &&
             ReadText(cursor, record.raw);
      }
      break;
    case JournalKind::kCommit:
      break;
  }
  // Bytes left over mean the payload is not what its kind says.
  if (!ok || !cursor.AtEnd()) return std::nullopt;
  return record;
}

}  // namespace

std::string EncodeJournalHeader(uint32_t pid) {
  TBufferWriter writer;
  writer.WriteBytes(kJournalMagic, sizeof kJournalMagic);
  writer.WriteUInt16(kJournalVersion);
  writer.WriteUInt16(static_cast<uint16_t>(kJournalHeaderSize));
  writer.WriteUInt32(pid);
  std::string header = writer.Take();
  TBufferWriter crc;
  crc.WriteUInt32(Crc(header));
  return header + crc.Take();
}

std::optional<std::string> EncodeJournalRecord(const JournalRecord& record) {
  TBufferWriter payload;
  payload.WriteByte(static_cast<uint8_t>(record.kind));
  bool ok = true;
  auto text = [&](const std::string& value) { ok = payload.WriteShortString(value) && ok; };
  switch (record.kind) {
    case JournalKind::kFileCreated:
    case JournalKind::kFolderCreated:
      text(record.path);
      break;
    case JournalKind::kFileSetAside:
    case JournalKind::kFolderSetAside:
    case JournalKind::kMoved:
    case JournalKind::kFileCopied:
      text(record.path);
      text(record.aside);
      break;
    case JournalKind::kRegistryKey:
    case JournalKind::kRegistryValue:
      payload.WriteByte(record.root);
      text(record.path);
      if (record.kind == JournalKind::kRegistryValue) {
        text(record.name);
        payload.WriteByte(record.existed ? 1 : 0);
        payload.WriteByte(record.is_string ? 1 : 0);
        text(record.text);
        text(record.raw);
      }
      break;
    case JournalKind::kCommit:
      break;
  }
  if (!ok) return std::nullopt;
  const std::string body = payload.Take();
  TBufferWriter framed;
  framed.WriteUInt32(static_cast<uint32_t>(body.size()));
  framed.WriteUInt32(Crc(body));
  framed.WriteBytes(body);
  return framed.Take();
}

JournalContents DecodeJournal(std::string_view bytes) {
  JournalContents contents;
  if (bytes.size() < kJournalHeaderSize) return contents;
  if (std::memcmp(bytes.data(), kJournalMagic, sizeof kJournalMagic) != 0) return contents;
  TBufferManager header(bytes.substr(0, kJournalHeaderSize));
  header.SetPosition(sizeof kJournalMagic);
  const uint16_t version = header.ReadUInt16();
  const uint16_t header_size = header.ReadUInt16();
  contents.pid = header.ReadUInt32();
  if (version != kJournalVersion || header_size != kJournalHeaderSize) return contents;
  if (ReadU32(bytes, kHeaderCrcOffset) != Crc(bytes.substr(0, kHeaderCrcOffset))) return contents;
  contents.header_ok = true;

  size_t offset = kJournalHeaderSize;
  while (bytes.size() - offset >= kJournalRecordHeaderSize) {
    const uint32_t length = ReadU32(bytes, offset);
    const uint32_t crc = ReadU32(bytes, offset + 4);
    const size_t start = offset + kJournalRecordHeaderSize;
    if (length > kMaxJournalPayload || length > bytes.size() - start) break;
    const std::string_view payload = bytes.substr(start, length);
    if (Crc(payload) != crc) break;
    std::optional<JournalRecord> record = DecodePayload(payload);
    if (!record) break;
    if (record->kind == JournalKind::kCommit) contents.committed = true;
    contents.records.push_back(std::move(*record));
    offset = start + length;
  }
  return contents;
}
