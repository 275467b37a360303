// Message boxes answer OK at once and show nothing: readers report damage through them, and a
// harness must neither block nor print for every input.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/message_box.h"

namespace fuzz {

class SilentPresenter : public platform::MessageBoxPresenter {
 public:
  int Show(const std::string&, const std::string&, uint32_t) override { return platform::kIdOk; }
};

inline void SilenceMessageBoxes() { platform::SetPresenter(std::make_shared<SilentPresenter>()); }

}  // namespace fuzz
