// An error raised by the registry reader, carried back to the caller as a value.
#pragma once

#include <cstdint>

namespace kavrio {

struct RaisedError {
  std::int32_t number;
  const char* source;
  const char* description;
};

}  // namespace kavrio
