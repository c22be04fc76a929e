// Registry: two read-only questions about the local machine's registry.
// Every call opens the key, reads, closes the key and returns; nothing is kept.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/limits.h"
#include "common/raised_error.h"
#include "registry/registry_port.h"

namespace kavrio {

inline constexpr std::int32_t kGetValueErrorNumber = 11002;
inline constexpr std::int32_t kKeyExistsErrorNumber = 11008;
inline constexpr const char* kRegistryErrorSource = "clsRegistry";

enum class ValueKind : std::uint8_t {
  Empty,    // nothing was read
  Text,     // REG_SZ
  Byte,     // REG_BINARY, 0 to 255
  Integer,  // a number value whose second read failed: always 0
  Long,     // REG_DWORD, signed 32-bit
};

// A value as GetValue returns it. The text is held inside the object, so a
// read never touches the heap.
class RegistryValue {
 public:
  // No text read is longer than the read buffer.
  static constexpr std::size_t kMaxTextLength = kRegistryBufferSize;

  static RegistryValue Empty() { return RegistryValue(ValueKind::Empty, 0); }
  static RegistryValue Text(std::string_view text);  // cut at kMaxTextLength
  static RegistryValue Byte(std::uint8_t number) { return RegistryValue(ValueKind::Byte, number); }
  static RegistryValue IntegerZero() { return RegistryValue(ValueKind::Integer, 0); }
  static RegistryValue Long(std::int32_t number) { return RegistryValue(ValueKind::Long, number); }

  ValueKind Kind() const { return kind_; }
  // The text of a Text value; "" for every other kind.
  std::string_view AsText() const { return {text_.data(), textLength_}; }
  // The number of a Byte, Integer or Long value; 0 for Empty and Text.
  std::int32_t AsNumber() const { return number_; }

 private:
  RegistryValue(ValueKind kind, std::int32_t number) : kind_(kind), number_(number) {}

  ValueKind kind_;
  std::int32_t number_;
  std::size_t textLength_ = 0;
  std::array<char, kMaxTextLength + 1> text_{};
};

// True exactly when root\keyPath can be opened for reading. One leading "\" of
// keyPath is dropped. Raises 11008 "KeyExists" for a null key path.
OrRaised<bool> KeyExists(RegistryPort& registry, std::uint32_t root, const char* keyPath);

// The value valueName of root\keyPath: Text for REG_SZ, Long for REG_DWORD,
// Byte for REG_BINARY, Integer 0 when a number cannot be read, Empty for
// anything not read. Raises 11002 "GetValue" for a REG_BINARY number outside
// 0 to 255 and for a null key path or value name.
OrRaised<RegistryValue> GetValue(RegistryPort& registry, std::uint32_t root, const char* keyPath,
                                 const char* valueName);

}  // namespace kavrio
