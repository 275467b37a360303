#include "setup/core/command_class.h"

#include <utility>

#include "setup/core/compiled_lines.h"

TCommandClass::TCommandClass(std::string name, uint8_t definition_only)
    : name_(std::move(name)), definition_only_(definition_only) {}

TCommandClass::~TCommandClass() = default;

bool TCommandClass::Compile(TCompLine& /*line*/, int /*line_index*/) { return true; }

void TCommandClass::SFXProcess(TCompLine& /*line*/, int /*line_index*/) {}

uint8_t TCommandClass::GroupKind() const { return kGroupKindNone; }

namespace {

bool SameKeyword(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

int TCommandList::Register(std::unique_ptr<TCommandClass> command) {
  commands_.push_back(std::move(command));
  return Count() - 1;
}

TCommandClass* TCommandList::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return commands_[static_cast<size_t>(index)].get();
}

TCommandClass* TCommandList::ById(int32_t id) const {
  if (id <= 0) return nullptr;
  return At(id - 1);
}

int32_t TCommandList::IdOf(const std::string& name) const {
  for (size_t i = 0; i < commands_.size(); ++i) {
    if (commands_[i] && SameKeyword(commands_[i]->Name(), name)) {
      return static_cast<int32_t>(i) + 1;
    }
  }
  return 0;
}

TCommandClass* TCommandList::FindByName(const std::string& name) const { return ById(IdOf(name)); }
