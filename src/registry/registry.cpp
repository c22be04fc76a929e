#include "registry/registry.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kavrio {

RegistryValue RegistryValue::Text(std::string_view text) {
  RegistryValue value(ValueKind::Text, 0);
  value.textLength_ = std::min(text.size(), kMaxTextLength);
  std::memcpy(value.text_.data(), text.data(), value.textLength_);
  return value;
}

namespace {

// Number values are read into a 4-byte number.
constexpr std::uint32_t kNumberSize = 4;

OrRaised<bool> RaiseFromKeyExists() {
  return {false, RaisedError{kKeyExistsErrorNumber, kRegistryErrorSource, "KeyExists"}};
}

OrRaised<RegistryValue> RaiseFromGetValue() {
  return {RegistryValue::Empty(),
          RaisedError{kGetValueErrorNumber, kRegistryErrorSource, "GetValue"}};
}

// One leading separator is tolerated; a second one stays and reaches the open.
const char* WithoutLeadingSeparator(const char* keyPath) {
  return keyPath[0] == '\\' ? keyPath + 1 : keyPath;
}

// A key opened with KEY_QUERY_VALUE, the one right that reading a value needs: a user who
// may not write to the key, or may do nothing else with it, can still read it. Closed
// exactly once when this goes out of scope.
class OpenedKey {
 public:
  OpenedKey(RegistryPort& registry, std::uint32_t root, const char* keyPath) : registry_(registry) {
    RegKey key = 0;
    isOpen_ = registry.OpenKeyEx(root, WithoutLeadingSeparator(keyPath), 0, kKeyQueryValue, &key) ==
              kErrorSuccess;
    key_ = key;
  }
  ~OpenedKey() {
    if (isOpen_) registry_.CloseKey(key_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;

  bool IsOpen() const { return isOpen_; }
  RegKey Get() const { return key_; }

 private:
  RegistryPort& registry_;
  RegKey key_ = 0;
  bool isOpen_ = false;
};

// Second read of a REG_SZ. The text ends at its first NUL; bytes stored
// without a terminator keep their last character, and 0 bytes give "".
RegistryValue ReadText(RegistryPort& registry, RegKey key, const char* valueName,
                       std::uint32_t storedSize) {
  std::array<std::uint8_t, kRegistryBufferSize> buffer{};
  std::uint32_t size = std::min(storedSize, kRegistryBufferSize);
  if (registry.QueryValueEx(key, valueName, nullptr, buffer.data(), &size) != kErrorSuccess) {
    return RegistryValue::Text("");
  }
  const auto* chars = reinterpret_cast<const char*>(buffer.data());
  const std::size_t counted = std::min<std::size_t>(size, buffer.size());
  const void* terminator = std::memchr(chars, '\0', counted);
  const std::size_t length =
      terminator ? static_cast<std::size_t>(static_cast<const char*>(terminator) - chars) : counted;
  return RegistryValue::Text(std::string_view(chars, length));
}

// Second read of a REG_DWORD or REG_BINARY into a 4-byte number that starts at
// 0. A value stored with more bytes would not fit, so it counts as a failed read.
std::optional<std::uint32_t> ReadNumber(RegistryPort& registry, RegKey key, const char* valueName,
                                        std::uint32_t storedSize) {
  if (storedSize > kNumberSize) return std::nullopt;
  std::array<std::uint8_t, kNumberSize> bytes{};
  std::uint32_t size = storedSize;
  if (registry.QueryValueEx(key, valueName, nullptr, bytes.data(), &size) != kErrorSuccess) {
    return std::nullopt;
  }
  // Registry numbers are stored little-endian.
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

OrRaised<bool> KeyExists(RegistryPort& registry, std::uint32_t root, const char* keyPath) {
  // A null path would open the root itself and answer "exists" for no key at all.
  if (keyPath == nullptr) return RaiseFromKeyExists();
  const OpenedKey key(registry, root, keyPath);
  return {key.IsOpen(), std::nullopt};
}

OrRaised<RegistryValue> GetValue(RegistryPort& registry, std::uint32_t root, const char* keyPath,
                                 const char* valueName) {
  // A null value name would read the key's default value instead of a named one.
  if (keyPath == nullptr || valueName == nullptr) return RaiseFromGetValue();
  const OpenedKey key(registry, root, keyPath);
  if (!key.IsOpen()) return {RegistryValue::Empty(), std::nullopt};

  // The first read tells the type and the stored size; values over 255 bytes fail it.
  std::array<std::uint8_t, kRegistryBufferSize> buffer{};
  std::uint32_t type = kRegNone;
  std::uint32_t storedSize = kRegistryBufferSize;
  if (registry.QueryValueEx(key.Get(), valueName, &type, buffer.data(), &storedSize) !=
      kErrorSuccess) {
    return {RegistryValue::Empty(), std::nullopt};
  }

  switch (type) {
    case kRegSz:
      return {ReadText(registry, key.Get(), valueName, storedSize), std::nullopt};
    case kRegDword:
    case kRegBinary: {
      const std::optional<std::uint32_t> number =
          ReadNumber(registry, key.Get(), valueName, storedSize);
      if (!number) return {RegistryValue::IntegerZero(), std::nullopt};
      const auto signedNumber = static_cast<std::int32_t>(*number);
      if (type == kRegDword) return {RegistryValue::Long(signedNumber), std::nullopt};
      // A binary number must fit a byte; the key is closed before the error reaches the caller.
      if (*number > 0xFF) return RaiseFromGetValue();
      return {RegistryValue::Byte(static_cast<std::uint8_t>(*number)), std::nullopt};
    }
    default:
      return {RegistryValue::Empty(), std::nullopt};
  }
}

}  // namespace kavrio
