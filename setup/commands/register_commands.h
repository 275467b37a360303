// Fills a command registry with the 32 script commands in id order (id = position + 1). The
// order is part of the compiled-script format and must never change.
#pragma once

class TCommandList;

inline constexpr int kCommandCount = 32;

// Creates one object of each command class and registers them in id order.
void RegisterCommands(TCommandList& list);
