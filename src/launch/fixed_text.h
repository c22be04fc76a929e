#pragma once

// A UTF-16 text in a buffer of its own, never on the heap: at most Capacity - 1 units and
// always NUL-terminated. A text that does not fit is refused whole, never cut.

#include <cstddef>
#include <string_view>

#include "common/limits.h"

namespace kavrio {

// FixedText's Append, one copy for every capacity: `text` goes after the `length` units of
// `units` (a buffer of `capacity`) when it fits with its NUL; else nothing changes.
bool AppendToUnits(char16_t* units, std::size_t capacity, std::size_t& length,
                   std::u16string_view text);

template <std::size_t Capacity>
class FixedText {
  static_assert(Capacity > 0, "room for the NUL");

 public:
  FixedText() { units_[0] = u'\0'; }

  const char16_t* CStr() const { return units_; }
  // For a call that takes a writable text and leaves its length as it is (CreateProcessW's
  // command line).
  char16_t* Data() { return units_; }
  std::u16string_view View() const { return {units_, length_}; }
  bool Empty() const { return length_ == 0; }

  // Appends all of `text`, or, when it does not fit, nothing: then false.
  [[nodiscard]] bool Append(std::u16string_view text) {
    return AppendToUnits(units_, Capacity, length_, text);
  }
  [[nodiscard]] bool Append(char16_t unit) { return Append(std::u16string_view(&unit, 1)); }

  void Clear() {
    length_ = 0;
    units_[0] = u'\0';
  }

 private:
  char16_t units_[Capacity];
  std::size_t length_ = 0;
};

// A path of the launch code, as the system's calls take it.
using PathText = FixedText<kMaxPath>;

}  // namespace kavrio
