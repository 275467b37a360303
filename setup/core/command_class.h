// TCommandClass: the base of every script command; TCommandList: the registry whose order gives
// the command ids (id = registration position + 1, as stored in compiled lines).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TCompLine;

// What a command does with its package group.
constexpr uint8_t kGroupKindNone = 0;
constexpr uint8_t kGroupKindFiles = 1;    // extracts its group's entries as files (full sizes)
constexpr uint8_t kGroupKindArchive = 2;  // feeds its group into an archive update (stored sizes)

class TCommandClass {
 public:
  // `name` is the script keyword; `definition_only` 1 for commands that only fill the setup
  // information at compile time.
  explicit TCommandClass(std::string name, uint8_t definition_only = 0);
  virtual ~TCommandClass();
  TCommandClass(const TCommandClass&) = delete;
  TCommandClass& operator=(const TCommandClass&) = delete;

  // Compile side: `line` is line `line_index` of the compiler's own lines. Answers whether the
  // line has the arguments the command needs; the base accepts every line and does nothing.
  virtual bool Compile(TCompLine& line, int line_index);
  // Run side: `line` is the shared compiled line whose stored line index is `line_index`. The
  // base does nothing.
  virtual void SFXProcess(TCompLine& line, int line_index);
  // One of the kGroupKind values; the base uses no group.
  virtual uint8_t GroupKind() const;

  const std::string& Name() const { return name_; }
  uint8_t DefinitionOnly() const { return definition_only_; }

 private:
  std::string name_;
  uint8_t definition_only_;
};

class TCommandList {
 public:
  // Appends the command; answers its 0-based index (its id - 1).
  int Register(std::unique_ptr<TCommandClass> command);
  int Count() const { return static_cast<int>(commands_.size()); }
  // The command at a 0-based index, or nullptr.
  TCommandClass* At(int index) const;
  // The command of a stored id (1-based), or nullptr for ids without a command.
  TCommandClass* ById(int32_t id) const;
  // The id of the command whose keyword equals `name` ignoring ASCII case; 0 (no command) when
  // none does.
  int32_t IdOf(const std::string& name) const;
  TCommandClass* FindByName(const std::string& name) const;
  void Clear() { commands_.clear(); }

 private:
  std::vector<std::unique_ptr<TCommandClass>> commands_;
};
