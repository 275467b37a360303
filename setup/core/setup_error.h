// The one exception type of the product: errors it raises by design (a broken zlib stream, a
// missing source file while packing). Callers at the start-up, install-page and runner boundaries
// catch it and hand its text to the error report.
#pragma once

#include <stdexcept>
#include <string>

class SetupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
