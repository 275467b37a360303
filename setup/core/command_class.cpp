#include "setup/core/command_class.h"

#include <utility>

#include "platform/ascii_case.h"
#include "setup/core/compiled_lines.h"

TCommandClass::TCommandClass(std::string name, uint8_t definition_only)
    : name_(std::move(name)), definition_only_(definition_only) {}

TCommandClass::~TCommandClass() = default;

bool TCommandClass::Compile(TCompLine& /*line*/, int /*line_index*/) { return true; }

void TCommandClass::SFXProcess(TCompLine& /*line*/, int /*line_index*/) {}

uint8_t TCommandClass::GroupKind() const { return kGroupKindNone; }

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
    if (commands_[i] && platform::SameIgnoringAsciiCase(commands_[i]->Name(), name)) {
      return static_cast<int32_t>(i) + 1;
    }
  }
  return 0;
}

TCommandClass* TCommandList::FindByName(const std::string& name) const { return ById(IdOf(name)); }
