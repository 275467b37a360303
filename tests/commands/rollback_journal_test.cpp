// The rollback journal: its byte form read back at every cut and with damaged bytes, and the
// recovery of journals that killed runs left behind (rolled back, or a commit finished).
#include "setup/commands/rollback_journal.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "command_test_env.h"
#include "common/machine_snapshot.h"
#include "platform/registry.h"
#include "setup/commands/rollback_records.h"

namespace command_test {
namespace {

// One record of every kind, with texts of several lengths.
std::vector<JournalRecord> EveryKind() {
  std::vector<JournalRecord> records;
  auto add = [&](JournalKind kind, std::string path, std::string aside = "") {
    JournalRecord record;
    record.kind = kind;
    record.path = std::move(path);
    record.aside = std::move(aside);
    records.push_back(record);
    return &records.back();
  };
  add(JournalKind::kFolderCreated, "/m/drive_c/App");
  add(JournalKind::kFileCreated, "/m/drive_c/App/a.dll");
  add(JournalKind::kFileSetAside, "/m/drive_c/App/b.dll", "/m/drive_c/App/b.dll.aside");
  add(JournalKind::kFolderSetAside, "/m/drive_c/Old", "/m/drive_c/Old.aside");
  add(JournalKind::kMoved, "/m/x", "/m/y");
  add(JournalKind::kFileCopied, "/m/drive_c/App/game.qxp", "/m/drive_c/App/game.qxp.aside");
  JournalRecord* key = add(JournalKind::kRegistryKey, "Software\\App");
  key->root = 1;
  JournalRecord* value = add(JournalKind::kRegistryValue, "Software\\App");
  value->root = 2;
  value->name = "Count";
  value->existed = true;
  value->raw = "dword:0000002a";
  JournalRecord* text = add(JournalKind::kRegistryValue, "Software\\App");
  text->name = "";
  text->existed = true;
  text->is_string = true;
  text->text = std::string(300, 'v');
  add(JournalKind::kCommit, "");
  return records;
}

TEST(RollbackRecordsTest, ACutAtAnyByteKeepsExactlyTheRecordsBeforeIt) {
  const std::vector<JournalRecord> records = EveryKind();
  std::string bytes = EncodeJournalHeader(4242);
  std::vector<size_t> ends;  // where each record ends
  for (const JournalRecord& record : records) {
    bytes += EncodeJournalRecord(record).value();
    ends.push_back(bytes.size());
  }
  const JournalContents whole = DecodeJournal(bytes);
  ASSERT_TRUE(whole.header_ok);
  EXPECT_EQ(whole.pid, 4242u);
  EXPECT_EQ(whole.records, records);
  EXPECT_TRUE(whole.committed);

  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    const JournalContents part = DecodeJournal(std::string_view(bytes).substr(0, cut));
    EXPECT_EQ(part.header_ok, cut >= kJournalHeaderSize) << cut;
    const size_t complete = std::upper_bound(ends.begin(), ends.end(), cut) - ends.begin();
    ASSERT_EQ(part.records.size(), complete) << cut;
    for (size_t i = 0; i < complete; ++i) EXPECT_EQ(part.records[i], records[i]) << cut;
    EXPECT_FALSE(part.committed) << cut;  // the commit record is the last one
  }
}

TEST(RollbackRecordsTest, ADamagedByteEndsTheJournalAtItsRecord) {
  const std::vector<JournalRecord> records = EveryKind();
  std::string bytes = EncodeJournalHeader(1);
  std::vector<size_t> starts;
  for (const JournalRecord& record : records) {
    starts.push_back(bytes.size());
    bytes += EncodeJournalRecord(record).value();
  }
  starts.push_back(bytes.size());
  for (size_t at = 0; at < bytes.size(); ++at) {
    std::string damaged = bytes;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    const JournalContents read = DecodeJournal(damaged);
    if (at < kJournalHeaderSize) {
      EXPECT_FALSE(read.header_ok && read.pid == 1 && read.records.size() == records.size()) << at;
      continue;
    }
    // Records before the damaged one stay; the damaged one and all after it are dropped.
    const size_t hit = std::upper_bound(starts.begin(), starts.end(), at) - starts.begin() - 1;
    ASSERT_EQ(read.records.size(), hit) << at;
  }
}

TEST(RollbackRecordsTest, AnotherVersionIsNotRead) {
  std::string bytes = EncodeJournalHeader(7);
  bytes[4] = 2;  // version 2
  bytes += EncodeJournalRecord(EveryKind()[0]).value();
  const JournalContents read = DecodeJournal(bytes);
  EXPECT_FALSE(read.header_ok);
  EXPECT_TRUE(read.records.empty());
}

class JournalRecoveryTest : public CommandTest {
 protected:
  // Makes changes of every kind under a journal in a child process that then ends without
  // committing, as a killed run does.
  void ChangeInAChildThatDies() {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      TRollbackJournal& journal = TRollbackJournal::Instance();
      bool ok = journal.Begin();
      ok = ok && ForceFolders("C:\\Demo\\New\\Deep");
      ok = ok && WriteWholeFile("C:\\Demo\\New\\Deep\\a.txt", "new", 3);
      ok = ok && WriteWholeFile("C:\\Demo\\replaced.txt", "replacement", 11);
      ok = ok && journal.RemoveFile("C:\\Demo\\removed.txt");
      ok = ok && journal.RemoveFolder("C:\\Demo\\OldTree");
      ok = ok && journal.NoteMoved("C:\\Demo\\renamed.txt", "C:\\Demo\\renamed2.txt") &&
           platform::MoveFile("C:\\Demo\\renamed.txt", "C:\\Demo\\renamed2.txt");
      ok = ok &&
           journal.NoteRegistryValue(platform::RootKey::kCurrentUser, "Software\\Demo", "Kept") &&
           platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\Demo", "Kept", "b");
      ok = ok &&
           journal.NoteRegistryValue(platform::RootKey::kCurrentUser, "Software\\Demo", "Num") &&
           platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\Demo", "Num", "s");
      ok = ok &&
           journal.NoteRegistryValue(platform::RootKey::kLocalMachine, "Software\\New\\Key", "V") &&
           platform::RegSetString(platform::RootKey::kLocalMachine, "Software\\New\\Key", "V", "x");
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  void PrepareMachine() {
    WriteFile(C("Demo/replaced.txt"), std::string("old bytes\0\xff", 11));
    WriteFile(C("Demo/removed.txt"), "removed");
    WriteFile(C("Demo/renamed.txt"), "renamed");
    WriteFile(C("Demo/OldTree/inner/x.txt"), "x");
    platform::RegSetString(platform::RootKey::kCurrentUser, "Software\\Demo", "Kept", "a");
    platform::RegSetValue(platform::RootKey::kCurrentUser, "Software\\Demo", "Num",
                          platform::RegValueData{false, "", "dword:0000002a"});
  }
};

TEST_F(JournalRecoveryTest, AKilledRunIsRolledBackAtTheNextStart) {
  PrepareMachine();
  const setupkit_test::MachineSnapshot before = setupkit_test::TakeSnapshot(root_);
  ChangeInAChildThatDies();
  ASSERT_FALSE(before == setupkit_test::TakeSnapshot(root_));
  EXPECT_EQ(TRollbackJournal::RecoverAbandoned(), 1);
  const setupkit_test::MachineSnapshot after = setupkit_test::TakeSnapshot(root_);
  EXPECT_TRUE(before == after) << setupkit_test::SnapshotDifference(before, after);
  EXPECT_EQ(platform::RegGetValue(platform::RootKey::kCurrentUser, "Software\\Demo", "Num")->raw,
            "dword:0000002a");
  EXPECT_TRUE(fs::is_empty(TRollbackJournal::Folder()));
  EXPECT_EQ(TRollbackJournal::RecoverAbandoned(), 0);  // nothing left to do
}

// A file changed in place (an archive) is kept whole once per run: a rollback puts the bytes
// the run found back, a commit keeps the change; neither leaves a copy behind.
TEST_F(JournalRecoveryTest, AFileKeptBeforeAnInPlaceChangeComesBackByteForByte) {
  for (const bool commit : {false, true}) {
    SCOPED_TRACE(commit ? "commit" : "rollback");
    WriteFile(C("Demo/game.qxp"), "original");
    TRollbackJournal& journal = TRollbackJournal::Instance();
    ASSERT_TRUE(journal.Begin());
    ASSERT_TRUE(journal.KeepCopy("C:\\Demo\\game.qxp"));
    WriteFile(C("Demo/game.qxp"), "first change");
    ASSERT_TRUE(journal.KeepCopy("C:\\Demo\\game.qxp"));  // once per run: still the original
    WriteFile(C("Demo/game.qxp"), "second change");
    ASSERT_TRUE(journal.KeepCopy("C:\\Demo\\new.vfs"));  // missing: noted as made by the run
    WriteFile(C("Demo/new.vfs"), "made");
    if (commit) {
      ASSERT_TRUE(journal.Commit());
    } else {
      EXPECT_EQ(journal.Rollback(), 0u);
    }
    EXPECT_EQ(ReadFile(C("Demo/game.qxp")), commit ? "second change" : "original");
    EXPECT_EQ(fs::exists(C("Demo/new.vfs")), commit);
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(C("Demo"))) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, commit ? (std::vector<std::string>{"game.qxp", "new.vfs"})
                            : std::vector<std::string>{"game.qxp"});
    fs::remove_all(C("Demo"));
  }
}

TEST_F(JournalRecoveryTest, AJournalOfARunThatIsAliveIsLeftAlone) {
  TRollbackJournal& journal = TRollbackJournal::Instance();
  ASSERT_TRUE(journal.Begin());
  ASSERT_TRUE(WriteWholeFile("C:\\Demo\\live.txt", "live", 4));
  EXPECT_EQ(TRollbackJournal::RecoverAbandoned(), 0);
  EXPECT_TRUE(fs::exists(C("Demo/live.txt")));
  EXPECT_EQ(journal.Rollback(), 0u);
  EXPECT_FALSE(fs::exists(C("Demo/live.txt")));
  EXPECT_FALSE(journal.Active());
}

TEST_F(JournalRecoveryTest, AnUndoThatFailsKeepsTheJournalAndTheOriginalForTheNextStart) {
  WriteFile(C("Demo/app.dll"), "original");
  TRollbackJournal& journal = TRollbackJournal::Instance();
  ASSERT_TRUE(journal.Begin());
  ASSERT_TRUE(WriteWholeFile("C:\\Demo\\app.dll", "new", 3));
  // Something put a folder where the original must go back: it cannot be undone now.
  fs::remove(C("Demo/app.dll"));
  WriteFile(C("Demo/app.dll/inside.txt"), "in the way");
  EXPECT_EQ(journal.Rollback(), 1u);
  EXPECT_FALSE(journal.Active());
  ASSERT_FALSE(fs::is_empty(TRollbackJournal::Folder()));  // kept, with the set-aside original
  EXPECT_EQ(TRollbackJournal::RecoverAbandoned(), 0);      // still in the way: kept again
  ASSERT_FALSE(fs::is_empty(TRollbackJournal::Folder()));

  fs::remove_all(C("Demo/app.dll"));
  EXPECT_EQ(TRollbackJournal::RecoverAbandoned(), 1);
  EXPECT_EQ(ReadFile(C("Demo/app.dll")), "original");
  EXPECT_TRUE(fs::is_empty(TRollbackJournal::Folder()));
}

TEST_F(JournalRecoveryTest, TheJournalIsReadBackThroughItsOwnHandle) {
  TRollbackJournal& journal = TRollbackJournal::Instance();
  ASSERT_TRUE(journal.Begin());
  ASSERT_TRUE(WriteWholeFile("C:\\Demo\\live.txt", "live", 4));
  // Another file put in the journal's place by name changes nothing the run undoes.
  for (const auto& item : fs::directory_iterator(TRollbackJournal::Folder())) {
    const fs::path stranger = item.path().string() + ".stranger";
    WriteFile(stranger, EncodeJournalHeader(1));
    fs::rename(stranger, item.path());
  }
  EXPECT_EQ(journal.Rollback(), 0u);
  EXPECT_FALSE(fs::exists(C("Demo/live.txt")));
}

TEST_F(JournalRecoveryTest, AJournalCutBeforeItWasNamedIsRemovedUnlessItsRunLives) {
  fs::create_directories(TRollbackJournal::Folder());
  const fs::path cut = fs::path(TRollbackJournal::Folder()) / "run-77-0.journal-new";
  WriteFile(cut, EncodeJournalHeader(77));
  TRollbackJournal& journal = TRollbackJournal::Instance();
  ASSERT_TRUE(journal.Begin());  // a live one beside it, never taken for abandoned
  EXPECT_EQ(TRollbackJournal::RecoverAbandoned(), 0);
  EXPECT_FALSE(fs::exists(cut));
  EXPECT_TRUE(journal.Active());
  size_t files = 0;
  for (const auto& item : fs::directory_iterator(TRollbackJournal::Folder())) {
    EXPECT_EQ(item.path().extension(), ".journal");
    ++files;
  }
  EXPECT_EQ(files, 1u);
  EXPECT_EQ(journal.Rollback(), 0u);
}

TEST_F(JournalRecoveryTest, ACommitCutShortIsFinishedNotUndone) {
  WriteFile(C("Demo/app.dll"), "new");
  WriteFile(C("Demo/app.dll.aside"), "old");
  std::string bytes = EncodeJournalHeader(99);
  JournalRecord aside;
  aside.kind = JournalKind::kFileSetAside;
  aside.path = C("Demo/app.dll").string();
  aside.aside = C("Demo/app.dll.aside").string();
  JournalRecord commit;
  commit.kind = JournalKind::kCommit;
  bytes += EncodeJournalRecord(aside).value() + EncodeJournalRecord(commit).value();
  fs::create_directories(TRollbackJournal::Folder());
  WriteFile(TRollbackJournal::Folder() + "/run-99-0.journal", bytes);
  EXPECT_EQ(TRollbackJournal::RecoverAbandoned(), 0);
  EXPECT_EQ(ReadFile(C("Demo/app.dll")), "new");
  EXPECT_FALSE(fs::exists(C("Demo/app.dll.aside")));
  EXPECT_TRUE(fs::is_empty(TRollbackJournal::Folder()));
}

}  // namespace
}  // namespace command_test
