#include "launch/fixed_text.h"

#include <string>

namespace kavrio {

bool AppendToUnits(char16_t* units, std::size_t capacity, std::size_t& length,
                   std::u16string_view text) {
  if (text.size() >= capacity - length) return false;
  std::char_traits<char16_t>::copy(units + length, text.data(), text.size());
  length += text.size();
  units[length] = u'\0';
  return true;
}

}  // namespace kavrio
