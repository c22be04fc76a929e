// An error raised by the registry reader, carried back to the caller as a value, and the
// answer-or-error that every step which may pass such an error on returns.
#pragma once

#include <cstdint>
#include <optional>

namespace kavrio {

struct RaisedError {
  std::int32_t number;
  const char* source;
  const char* description;
};

// A call's answer, or, when raised is set, the error that it raised in place of an answer.
template <typename Answer>
struct OrRaised {
  Answer value{};
  std::optional<RaisedError> raised;
};

}  // namespace kavrio
