// TScriptCommand: the common base of the 32 script commands. It adds the number of arguments a
// line of the command must carry, which the default Compile checks and the compiler quotes in
// its "too few arguments" error.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "setup/core/command_class.h"
#include "setup/core/compiled_lines.h"

class TScriptCommand : public TCommandClass {
 public:
  TScriptCommand(std::string name, int required_args, uint8_t definition_only = 0)
      : TCommandClass(std::move(name), definition_only), required_args_(required_args) {}

  int RequiredArgs() const { return required_args_; }
  // Answers whether the line has the arguments the command needs; nothing else.
  bool Compile(TCompLine& line, int line_index) override;

 protected:
  bool HasArgs(const TCompLine& line) const {
    return static_cast<int>(line.Arguments.size()) >= required_args_;
  }

 private:
  int required_args_;
};
