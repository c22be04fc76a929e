// The one way the program carries an unexpected failure: a raised error (number, source,
// description) returned as a value, never thrown. Whatever reaches the start step or a
// window is reported with its number and description, and the program ends.
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
