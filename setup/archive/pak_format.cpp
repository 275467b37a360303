#include "setup/archive/pak_format.h"

#include <cctype>

#include "platform/checksum.h"
#include "platform/files.h"
#include "setup/core/ciphers.h"
#include "setup/io/byte_io.h"
#include "setup/io/zlib_stream.h"

namespace pak {

namespace {

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

bool IsAsciiLetterOrDigit(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

}  // namespace

void PakRecord::Encode(std::string& out) const {
  archive_io::ByteWriter w(out);
  w.U16(marker);
  w.U8(kind);
  w.U8(0);
  w.U32(date);
  w.U32(stored_size);
  w.U32(full_size);
  w.U32(offset);
  w.U32(0);
  std::string_view cut = std::string_view(name).substr(0, kMaxNameLength);
  w.U8(static_cast<uint8_t>(cut.size()));
  w.FixedName(cut, kNameFieldSize - 1);
}

PakRecord PakRecord::Decode(std::string_view record) {
  archive_io::ByteReader r(record.substr(0, kRecordSize));
  PakRecord rec;
  rec.marker = r.U16();
  rec.kind = r.U8();
  r.U8();
  rec.date = r.U32();
  rec.stored_size = r.U32();
  rec.full_size = r.U32();
  rec.offset = r.U32();
  r.U32();
  size_t length = r.U8();
  if (length > kMaxNameLength) length = kMaxNameLength;
  rec.name = std::string(r.Bytes(length));
  return rec;
}

void PakTrailer::Encode(std::string& out) const {
  archive_io::ByteWriter w(out);
  w.U32(compressed_size);
  w.U32(uncompressed_size);
  w.U32(version);
  w.U32(count);
  w.U32(reserved);
}

PakTrailer PakTrailer::Decode(std::string_view bytes) {
  archive_io::ByteReader r(bytes);
  PakTrailer t;
  t.compressed_size = r.U32();
  t.uncompressed_size = r.U32();
  t.version = r.U32();
  t.count = r.U32();
  t.reserved = r.U32();
  return t;
}

std::optional<PakTail> ParseTail(std::string_view end) {
  PakTail tail;
  if (end.size() >= kOldTailSize && end.substr(end.size() - kOldTailSize, 4) == "QXP2") {
    tail.form = TailForm::kOld;
    tail.length = kOldTailSize;
    std::string_view rest = end.substr(end.size() - kOldTailSize + 4, 9);
    size_t run = 0;
    while (run < rest.size() && IsAsciiLetterOrDigit(rest[run])) ++run;
    tail.password = std::string(rest.substr(0, run));
    return tail;
  }
  for (size_t i = 0; i <= kTailSearchDistance; ++i) {
    if (end.size() < i + 6) break;
    if (end.substr(end.size() - i - 6, 4) != "QXP3") continue;
    if (i == 0) return tail;  // a block with nothing after it: no tail
    tail.form = TailForm::kCurrent;
    tail.length = i + 6;
    archive_io::ByteReader r(end.substr(end.size() - i));
    tail.info_id = std::string(r.Bytes(4));
    if (!r.ok()) return std::nullopt;
    if (tail.info_id != "EIH1" && tail.info_id != "EIH2") return tail;
    tail.sine_seed = r.U8();
    tail.cosine_seed = r.U8();
    uint16_t length = r.U16();
    std::string enciphered(r.Bytes(length));
    if (tail.info_id == "EIH2") tail.official = r.U8();
    if (!r.ok()) return std::nullopt;  // the block claims more bytes than the tail holds
    TQuillEncryptionType cipher;
    cipher.SineSeed = tail.sine_seed;
    cipher.CosineSeed = tail.cosine_seed;
    tail.password = cipher.Decrypt(enciphered);
    return tail;
  }
  return tail;
}

std::string EncodeTail(const std::string& password, uint8_t official, uint8_t sine_seed,
                       uint8_t cosine_seed) {
  TQuillEncryptionType cipher;
  cipher.SineSeed = sine_seed;
  cipher.CosineSeed = cosine_seed;
  std::string enciphered = cipher.Encrypt(password);
  std::string out;
  archive_io::ByteWriter w(out);
  w.Bytes("QXP3");
  w.U16(1);
  w.Bytes("EIH2");
  w.U8(sine_seed);
  w.U8(cosine_seed);
  w.U16(static_cast<uint16_t>(enciphered.size()));
  w.Bytes(enciphered);
  w.U8(official);
  return out;
}

std::optional<PakLayout> ReadLayout(platform::File& file, std::string* error) {
  PakLayout layout;
  std::optional<uint64_t> size = file.Size();
  if (!size) {
    SetError(error, "the file size cannot be read");
    return std::nullopt;
  }
  layout.file_size = *size;
  if (layout.file_size < kTrailerSize) {
    SetError(error, "the file is shorter than a trailer");
    return std::nullopt;
  }
  size_t window = static_cast<size_t>(std::min<uint64_t>(kTailWindow, layout.file_size));
  std::string end(window, '\0');
  if (!file.Seek(layout.file_size - window) || !file.ReadExact(end.data(), window)) {
    SetError(error, "the end of the file cannot be read");
    return std::nullopt;
  }
  std::optional<PakTail> tail = ParseTail(end);
  if (!tail) {
    SetError(error, "the information tail is damaged");
    return std::nullopt;
  }
  layout.tail = *tail;
  if (layout.tail.length > layout.file_size - kTrailerSize) {
    SetError(error, "the file is too short for its tail and trailer");
    return std::nullopt;
  }
  const uint64_t trailer_at = layout.file_size - layout.tail.length - kTrailerSize;
  std::string trailer_bytes(kTrailerSize, '\0');
  if (!file.Seek(trailer_at) || !file.ReadExact(trailer_bytes.data(), kTrailerSize)) {
    SetError(error, "the trailer cannot be read");
    return std::nullopt;
  }
  layout.trailer = PakTrailer::Decode(trailer_bytes);
  const PakTrailer& t = layout.trailer;
  if (t.version != kFormatVersion || t.reserved != 0) {
    SetError(error, "the trailer has a wrong version or reserved field");
    return std::nullopt;
  }
  if (t.compressed_size > trailer_at) {
    SetError(error, "the directory does not fit before the trailer");
    return std::nullopt;
  }
  if (static_cast<uint64_t>(t.count) * kRecordSize != t.uncompressed_size ||
      t.uncompressed_size > kMaxDirectoryBytes ||
      t.uncompressed_size > archive_io::MaxInflatedSize(t.compressed_size)) {
    SetError(error, "the directory sizes do not agree with the record count");
    return std::nullopt;
  }
  layout.directory_start = trailer_at - t.compressed_size;
  std::string compressed(t.compressed_size, '\0');
  if (!file.Seek(layout.directory_start) || !file.ReadExact(compressed.data(), compressed.size())) {
    SetError(error, "the directory cannot be read");
    return std::nullopt;
  }
  std::optional<std::string> directory =
      archive_io::ZlibInflateExact(compressed, t.uncompressed_size);
  if (!directory) {
    SetError(error, "the directory does not inflate to its recorded size");
    return std::nullopt;
  }
  layout.records.reserve(t.count);
  for (uint32_t i = 0; i < t.count; ++i) {
    layout.records.push_back(
        PakRecord::Decode(std::string_view(*directory).substr(i * kRecordSize, kRecordSize)));
  }
  return layout;
}

std::string EncodeDirectoryAndTrailer(const std::vector<PakRecord>& records) {
  std::string laid_out;
  laid_out.reserve(records.size() * kRecordSize);
  for (const PakRecord& r : records) r.Encode(laid_out);
  std::string out = archive_io::ZlibCompress(laid_out);
  PakTrailer trailer;
  trailer.compressed_size = static_cast<uint32_t>(out.size());
  trailer.uncompressed_size = static_cast<uint32_t>(laid_out.size());
  trailer.count = static_cast<uint32_t>(records.size());
  trailer.Encode(out);
  return out;
}

void ApplyMask(std::string& stream) {
  if (stream.size() <= 4) return;
  uint32_t crc = platform::Crc32(0, stream.data() + 4, stream.size() - 4);
  archive_io::StoreU32(stream.data(), archive_io::LoadU32(stream.data()) ^ crc);
}

}  // namespace pak
