// Writes the seed corpora of the binary formats with the kit's own writers, so the fuzzers start
// from inputs the kit really produces: fuzz_seed_writer CORPUS-FOLDER. Each seed stays small
// (a few KB); the text formats (language tables, layouts, change logs, pictures) are copied from
// the stock data by fuzz/make-corpus.sh, which calls this program.
#include <lzma.h>
#include <sodium.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/registry_file.h"
#include "platform/shell.h"
#include "setup/archive/pak_contents.h"
#include "setup/archive/sound_entry.h"
#include "setup/commands/uninstall_list.h"
#include "setup/core/compiled_lines.h"
#include "setup/core/crc32.h"
#include "setup/core/package_integrity.h"
#include "setup/core/pak.h"
#include "setup/core/setup_info.h"
#include "setup/io/zlib_stream.h"
#include "setup/session/view_protocol.h"
#include "setup/vfs/vfs_file.h"
#include "setup/vfs/vfs_tree.h"
#include "tools/setupc/package_writer.h"
#include "tools/setupc/signing_keys.h"

namespace fs = std::filesystem;

namespace {

fs::path corpus;

void Put(const std::string& area, const std::string& name, const std::string& bytes) {
  fs::create_directories(corpus / area);
  const fs::path path = corpus / area / name;
  if (!platform::WriteFileBytes(path.string(), bytes.data(), bytes.size())) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
}

void AppendU16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
void AppendU32(std::string& out, uint32_t v) {
  AppendU16(out, static_cast<uint16_t>(v));
  AppendU16(out, static_cast<uint16_t>(v >> 16));
}

// A plain PCM WAV file of `samples` 16-bit samples (the input the sound coder accepts).
std::string PcmWav(uint16_t channels, uint32_t samples) {
  std::string data;
  for (uint32_t i = 0; i < samples * channels; ++i) {
    AppendU16(data, static_cast<uint16_t>((i * 7919u) & 0xFFFF));
  }
  std::string wav = "RIFF";
  AppendU32(wav, static_cast<uint32_t>(36 + data.size()));
  wav += "WAVEfmt ";
  AppendU32(wav, 16);
  AppendU16(wav, 1);
  AppendU16(wav, channels);
  AppendU32(wav, 22050);
  AppendU32(wav, 22050u * channels * 2);
  AppendU16(wav, static_cast<uint16_t>(channels * 2));
  AppendU16(wav, 16);
  wav += "data";
  AppendU32(wav, static_cast<uint32_t>(data.size()));
  return wav + data;
}

TSetupInfoFile SampleInfo() {
  TSetupInfoFile info;
  info.SetupName = "Hello 1.0";
  info.ShortName = "Hello";
  info.SetupExeName = "HelloSetup.exe";
  info.UninstallExeName = "Hello_Uninstall.exe";
  info.UninstallPrefix = "Hello_";
  info.InstallDir = "$PROGRAMFILES\\Hello";
  info.Changelog = "Changes.rtf";
  info.InstallDirRegKey[0].HKEY = 1;
  info.InstallDirRegKey[0].Path = "Software\\Hello";
  info.InstallDirRegKey[0].Key = "Path";
  info.PagesName = "install";
  info.UninstallPagesName = "uninstall";
  info.CreateUninstaller = 1;
  return info;
}

TCompLines SampleLines() {
  TCompLines lines;
  const std::vector<std::pair<int32_t, std::vector<std::string>>> script = {
      {-1, {}},
      {0, {"start:"}},
      {4, {"1", "$INSTDIR"}},
      {5, {"$SMPROGRAMS\\Hello"}},
      {9, {"HKCU", "Software\\Hello", "Path", "$INSTDIR"}},
      {3, {"Hello", "Done <BR> now", "64"}},
      {2, {"start"}},
  };
  for (const auto& [id, args] : script) {
    TCompLine line;
    line.CommandID = id;
    line.LineIndex = id > 0 ? lines.Count() : -1;
    line.SetArguments(args);
    lines.Add(line);
  }
  return lines;
}

void WriteCoreSeeds() {
  Put("setup_info", "sample", SampleInfo().Encode());
  Put("setup_info", "empty", TSetupInfoFile().Encode());
  Put("compiled_lines", "sample", *SampleLines().Encode());
  Put("compiled_lines", "empty", *TCompLines().Encode());

  // A tiny installer: a one-byte "runtime" with the package after it.
  const fs::path package = corpus / "pak_reader" / "installer";
  fs::create_directories(package.parent_path());
  platform::WriteFileBytes(package.string(), "R", 1);
  {
    TPak pak(package.string(), false, true);
    const std::string info = SampleInfo().Encode();
    const std::string lines = *SampleLines().Encode();
    const std::string pages = "[Pages]\r\nWelcome=layout.txt\r\n";
    const std::string readme(600, 'a');
    const std::vector<std::tuple<std::string, uint16_t, std::string>> entries = {
        {"SetupInfo", 0, info},
        {"CompiledLines", 0, lines},
        {"Pages.txt", 0, pages},
        {"Readme.txt", 1, readme},
        {"x", 2, "x"}};
    for (const auto& [name, group, bytes] : entries) {
      pak.StoreFromMemory(pak.AddEntry(name, "", group), bytes.data(), bytes.size());
    }
    pak.WriteDirectory();
  }

  // The same installer sealed, unsigned and signed, and the record alone.
  for (const bool sign : {false, true}) {
    const fs::path sealed = corpus / "integrity" / (sign ? "signed" : "sealed");
    fs::create_directories(sealed.parent_path());
    platform::WriteFileBytes(sealed.string(), "R", 1);
    {
      TPak pak(sealed.string(), false, true);
      const std::string info = SampleInfo().Encode();
      pak.StoreFromMemory(pak.AddEntry("SetupInfo", "", 0), info.data(), info.size());
      pak.StoreFromMemory(pak.AddEntry("Readme.txt", "", 1), "read me", 7);
      const std::string seal = IntegrityPlaceholder();
      pak.AddPreparedEntry(kIntegrityEntry, 0, seal, seal.size(),
                           ComputeCrc32(seal.data(), seal.size()), false);
      pak.WriteDirectory();
    }
    setupc::TSecretKey key{};
    TPublicKey public_key{};
    crypto_sign_seed_keypair(public_key.data(), key.data(),
                             std::array<unsigned char, 32>{7}.data());
    std::string error;
    if (!SealPackageFile(sealed.string(),
                         sign ? std::optional(setupc::SignerOf(key)) : std::nullopt, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(1);
    }
  }
  Put("integrity", "record", IntegrityPlaceholder());

  // A package with zstd-coded entries, a solid block of three and a raw one, sealed as setupc
  // seals it; and its coding table alone.
  {
    const fs::path coded = corpus / "entry_codings" / "package";
    fs::create_directories(coded.parent_path());
    platform::WriteFileBytes(coded.string(), "R", 1);
    const setupc::PackCoding solid{setupc::PackCoding::Kind::kSolid, 3};
    const setupc::PackCoding zstd{setupc::PackCoding::Kind::kZstd, 3};
    std::vector<setupc::PackageItem> items;
    const auto add = [&items](const std::string& name, uint16_t group, std::string bytes,
                              const setupc::PackCoding& coding) {
      items.push_back({name, group, "", std::move(bytes)});
      items.back().SetCoding(coding);
    };
    add("SetupInfo", 0, SampleInfo().Encode(), zstd);
    add("b.txt", 1, std::string(300, 'b') + "end", solid);
    add("a.txt", 1, std::string(200, 'a') + "end", solid);
    add("c.cfg", 1, "key=value\r\nkey=value\r\n", solid);
    add("d.txt", 2, std::string(500, 'd'), zstd);
    add("e.bin", 2, "\x01\x02", zstd);
    items.push_back({kIntegrityEntry, 0, "", IntegrityPlaceholder(), true});
    std::string error;
    if (!setupc::AppendPackage(coded.string(), items, 1).ok ||
        !SealPackageFile(coded.string(), std::nullopt, error)) {
      std::fprintf(stderr, "cannot write %s %s\n", coded.c_str(), error.c_str());
      std::exit(1);
    }
    TPak pak(coded.string(), false, false);
    Put("entry_codings", "table", *pak.FindEntry(kCodingsEntry, 0));
  }

  // The verifier's input: key, signature, message. An installer's signed message, and a forgery
  // with the neutral point as key that only the small-order check refuses.
  {
    TPublicKey key{};
    setupc::TSecretKey secret{};
    crypto_sign_seed_keypair(key.data(), secret.data(), std::array<unsigned char, 32>{9}.data());
    const std::string message = SignedMessage(TDigest{1, 2, 3});
    const TSignature signature = setupc::SignerOf(secret).sign(message);
    auto text = [](const auto& bytes) { return std::string(bytes.begin(), bytes.end()); };
    Put("ed25519_verify", "signed-digest", text(key) + text(signature) + message);
    TPublicKey neutral{1};
    TSignature forged{};
    forged[32] = 5;
    crypto_scalarmult_ed25519_base_noclamp(forged.data(), forged.data() + 32);
    Put("ed25519_verify", "neutral-key", text(neutral) + text(forged) + "any message");
  }

  TUninstallList log;
  log.AddFile("C:\\Program Files\\Hello\\Hello");
  log.AddFile("C:\\Program Files\\Hello\\Docs\\Readme.txt");
  log.AddRegistryEntry("HKCU|Software\\Hello|Path");
  log.AddFolder("C:\\Program Files\\Hello\\Docs");
  Put("install_log", "sample", *log.EncodeLog());
  Put("install_log", "empty", *TUninstallList().EncodeLog());
}

// zlib streams as the kit writes them: stored (nothing to gain), fixed codes (a short text) and
// dynamic codes (a longer one).
void WriteStreamSeeds() {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "line " + std::to_string(i) + " of a small text file\n";
  Put("zlib_length", "stored", archive_io::ZlibCompress(std::string(40, '\x01') + "\x02\x03", 0));
  Put("zlib_length", "fixed", archive_io::ZlibCompress("hello hello hello"));
  Put("zlib_length", "dynamic", archive_io::ZlibCompress(text));
}

// LZMA blocks as setupc writes them (liblzma's classic format at its strongest preset, end
// marker, no size) with other literal and position settings, and the form with the size in the
// header and no end marker.
std::string LzmaStream(const std::string& data, uint32_t lc, uint32_t lp, uint32_t pb, bool sized) {
  lzma_options_lzma options;
  lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME);
  options.lc = lc;
  options.lp = lp;
  options.pb = pb;
  options.dict_size = 1 << 16;
  options.ext_flags = 0;
  lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream z = LZMA_STREAM_INIT;
  const lzma_ret started = sized ? lzma_raw_encoder(&z, filters) : lzma_alone_encoder(&z, &options);
  std::string out;
  if (sized) {
    out += static_cast<char>((pb * 5 + lp) * 9 + lc);
    for (int i = 0; i < 4; ++i) out += static_cast<char>(options.dict_size >> (8 * i));
    for (int i = 0; i < 8; ++i) out += static_cast<char>(uint64_t{data.size()} >> (8 * i));
  }
  const size_t start = out.size();
  out.resize(start + data.size() + 1024);
  z.next_in = reinterpret_cast<const uint8_t*>(data.data());
  z.avail_in = data.size();
  z.next_out = reinterpret_cast<uint8_t*>(out.data()) + start;
  z.avail_out = out.size() - start;
  if (started != LZMA_OK || lzma_code(&z, LZMA_FINISH) != LZMA_STREAM_END) {
    std::fprintf(stderr, "cannot write an LZMA seed\n");
    std::exit(1);
  }
  out.resize(out.size() - z.avail_out);
  lzma_end(&z);
  return out;
}

void WriteLzmaSeeds() {
  std::string text;
  for (int i = 0; i < 200; ++i)
    text += "line " + std::to_string(i % 37) + " of a small text file\n";
  std::string records;
  for (uint32_t i = 0; i < 4096; ++i) records += static_cast<char>(i % 4 == 0 ? i / 4 : i % 4);
  Put("lzma_stream", "empty", LzmaStream("", 3, 0, 2, false));
  Put("lzma_stream", "text", LzmaStream(text, 3, 0, 2, false));
  Put("lzma_stream", "zeros", LzmaStream(std::string(60000, '\0'), 3, 0, 2, false));
  Put("lzma_stream", "records_lp2_pb2", LzmaStream(records, 0, 2, 2, false));
  Put("lzma_stream", "text_lc4_pb0", LzmaStream(text, 4, 0, 0, false));
  Put("lzma_stream", "text_sized", LzmaStream(text.substr(0, 3000), 1, 3, 4, true));
}

void WriteArchiveSeeds() {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"data\\readme.txt", std::string(300, 'r')},
      {"sound\\hit.wav", PcmWav(1, 2100)},
      {"sound\\Effects\\beep.wav", PcmWav(2, 100)}};
  const std::vector<std::pair<std::string, pak::TailForm>> tails = {
      {"no_tail", pak::TailForm::kNone},
      {"old_tail", pak::TailForm::kOld},
      {"current_tail", pak::TailForm::kCurrent}};
  for (const auto& [name, form] : tails) {
    pak::NewArchiveOptions options;
    options.tail = form;
    options.password = "abc123";
    Put("pak_archive", name, pak::BuildArchive(files, options));
  }

  Put("sound_entry", "mono.wav", PcmWav(1, 2100));
  Put("sound_entry", "stereo.wav", PcmWav(2, 300));
  if (auto stored = sound_entry::EncodeSoundEntry(PcmWav(1, 1500), "a.wav")) {
    Put("sound_entry", "stored_packed", *stored);
  }

  const fs::path container = corpus / "vfs_container" / "container";
  fs::create_directories(container.parent_path());
  TVFSFile::CreateEmptyContainer(container.string(), {'V', 'F', 'S', '1'}, "seed", 512, 48, 8);
  {
    TVFSFile vfs;
    vfs.OpenContainer(container.string(), true);
    vfs.Tree().PutFile("maps\\one.dat", "first file", 10);
    const std::string big(1500, 'b');
    vfs.Tree().PutFile("maps\\deep\\two.dat", big.data(), big.size());
    vfs.Tree().PutFile("top.txt", "top", 3);
    vfs.FinaliseContainer(false);
  }
  fs::rename(container.string() + ".ht", corpus / "vfs_container" / "container.ht");
  TVFSFile::CreateEmptyContainer((corpus / "vfs_container" / "empty").string(),
                                 {'V', 'F', 'S', '1'}, "", 256, 8, 2);
  fs::remove(corpus / "vfs_container" / "empty.ht");
}

void WritePlatformSeeds() {
  platform::ShellLink link;
  link.target = "C:\\Program Files\\Hello\\Hello.exe";
  link.arguments = "--start \"a b\"";
  link.working_directory = "C:\\Program Files\\Hello";
  link.show_command = 3;
  link.icon_location = "C:\\Program Files\\Hello\\icon.ico";
  link.icon_index = 1;
  link.description = "Hello";
  const fs::path lnk = corpus / "shell_link" / "full.lnk";
  fs::create_directories(lnk.parent_path());
  platform::WriteShellLink(lnk.string(), link);
  platform::ShellLink bare;
  bare.target = "Z:\\usr\\bin\\env";
  platform::WriteShellLink((corpus / "shell_link" / "bare.lnk").string(), bare);

  using platform::internal::RegistryDocument;
  RegistryDocument hive;
  auto& key = hive.CreateKey("Software\\Hello");
  key.values.push_back({"Path", true, "C:\\Program Files\\Hello", ""});
  key.values.push_back({"", true, "default \"quoted\" \\ value", ""});
  key.values.push_back({"Count", false, "", "dword:0000002a"});
  key.values.push_back({"Blob", false, "", "hex:01,02,03,\\\n  04,05"});
  hive.CreateKey("Software\\Hello\\Sub Key");
  Put("registry_file", "hkcu.reg", hive.Serialize("HKEY_CURRENT_USER"));
}

// A conversation each way between the runtime and the window program, as the encoder writes it.
void WriteViewRecordSeeds() {
  using setup_session::MakeViewRecord;
  using setup_session::ViewRecord;
  using T = setup_session::ViewRecordType;
  auto with = [](ViewRecord record, std::vector<std::string> bytes,
                 std::vector<std::u16string> texts) {
    record.bytes = std::move(bytes);
    record.texts = std::move(texts);
    return record;
  };
  TSetupInfoFile info;
  info.SetupName = "Hello";
  info.InstallDir = "C:\\Program Files\\Hello\\";
  const std::vector<ViewRecord> to_window = {
      with(MakeViewRecord(T::kVerifyStatus, {1, 4}), {"Status: 1 out of 4 files verifyed"}, {}),
      MakeViewRecord(T::kVerifyEnded),
      with(MakeViewRecord(T::kFigures), {"12.00 KB", "3.50 GB"}, {}),
      with(MakeViewRecord(T::kPagesUp, {0, 1}), {info.Encode(), info.InstallDir}, {}),
      MakeViewRecord(T::kPageSelected, {0}),
      with(MakeViewRecord(T::kButtonsChanged, {0, 1, 1, 1, 1}), {},
           {u"< Back", u"Next >", u"Cancel", u"English"}),
      MakeViewRecord(T::kPageShown, {0, 0}),
      with(MakeViewRecord(T::kShowMessage, {1, 0x24}), {}, {u"Quit Setup?", u"Setup"}),
      with(MakeViewRecord(T::kRunStarted, {3}), {}, {u"Status: 0 of 3 files extracted"}),
      with(MakeViewRecord(T::kStatusText, {0, 0}), {}, {u"Extracting Readme.txt"}),
      MakeViewRecord(T::kGaugePosition, {2, 1}),
      MakeViewRecord(T::kSessionEnded),
  };
  const std::vector<ViewRecord> to_runtime = {
      MakeViewRecord(T::kReady, {setup_session::kViewProtocolRevision}),
      MakeViewRecord(T::kNext),
      with(MakeViewRecord(T::kEditFolder), {"C:\\Games\\Hello"}, {}),
      MakeViewRecord(T::kChooseLanguage, {1}),
      MakeViewRecord(T::kAnswer, {1, 7}),
      MakeViewRecord(T::kRequestClose),
  };
  std::string stream;
  for (const ViewRecord& record : to_window) stream += setup_session::EncodeViewRecord(record);
  Put("view_record", "to-window", std::string(1, '\0') + stream);
  stream.clear();
  for (const ViewRecord& record : to_runtime) stream += setup_session::EncodeViewRecord(record);
  Put("view_record", "to-runtime", std::string(1, '\x07') + stream);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS-FOLDER\n", argv[0]);
    return 2;
  }
  corpus = argv[1];
  WriteCoreSeeds();
  WriteArchiveSeeds();
  WriteStreamSeeds();
  WriteLzmaSeeds();
  WritePlatformSeeds();
  WriteViewRecordSeeds();
  return 0;
}
