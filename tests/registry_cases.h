// Registry values and keys that both test tiers store and read back: the host
// tier through the fake, the Windows tier through the real registry. The same
// expectations on both keep the fake honest.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>

#include "registry/registry.h"
#include "registry/registry_port.h"
#include "win32_codes.h"

namespace kavrio {

inline void PrintTo(ValueKind kind, std::ostream* out) {
  static const char* const names[] = {"Empty", "Text", "Byte", "Integer", "Long"};
  *out << names[static_cast<int>(kind)];
}

namespace registry_cases {

using namespace win32_codes;

// Scratch key under HKEY_LOCAL_MACHINE; the Windows tier deletes it afterwards.
inline constexpr const char* kScratchKey = "Software\\KavrioAdapterTests";
// A subkey that everyone may read but nobody may write.
inline constexpr const char* kReadOnlyKey = "Software\\KavrioAdapterTests\\ReadOnly";
// A subkey whose values everyone may query, and nothing more (not even list its subkeys).
inline constexpr const char* kQueryOnlyKey = "Software\\KavrioAdapterTests\\QueryOnly";
inline constexpr const char* kVersionName = "Version";
inline constexpr std::string_view kScratchVersion{"6.0.2800.1106\0", 14};
inline constexpr std::string_view kReadOnlyVersion{"5.50.4134.0100\0", 15};
inline constexpr std::string_view kQueryOnlyVersion{"6.0.2900.2180\0", 14};

// N letters followed by a NUL.
template <std::size_t N>
constexpr std::array<char, N + 1> Letters() {
  std::array<char, N + 1> text{};
  for (std::size_t i = 0; i < N; ++i) text[i] = static_cast<char>('a' + i % 26);
  return text;
}
inline constexpr auto k253Letters = Letters<253>();
inline constexpr auto k254Letters = Letters<254>();
inline constexpr auto k255Letters = Letters<255>();
inline constexpr auto k300Letters = Letters<300>();

struct Expected {
  ValueKind kind;
  std::string_view text;
  std::int32_t number;
  bool raises;  // GetValue raises 11002 "GetValue"
};

constexpr Expected Empty() { return {ValueKind::Empty, "", 0, false}; }
constexpr Expected Text(std::string_view text) { return {ValueKind::Text, text, 0, false}; }
constexpr Expected Byte(std::int32_t number) { return {ValueKind::Byte, "", number, false}; }
constexpr Expected IntegerZero() { return {ValueKind::Integer, "", 0, false}; }
constexpr Expected Long(std::int32_t number) { return {ValueKind::Long, "", number, false}; }
constexpr Expected Raises() { return {ValueKind::Empty, "", 0, true}; }

// A value stored under kScratchKey with exactly these bytes.
struct StoredValueCase {
  const char* name;  // value name and test name
  std::uint32_t type;
  std::string_view bytes;
  Expected expected;
};

inline const StoredValueCase kStoredValueCases[] = {
    {"SzTerminated", kRegSz, {"6.0.2800.1106\0", 14}, Text("6.0.2800.1106")},
    {"SzUnterminated", kRegSz, {"6.0.2800.1106", 13}, Text("6.0.2800.1106")},
    {"SzZeroBytes", kRegSz, {"", 0}, Text("")},
    {"SzOnlyTerminator", kRegSz, {"\0", 1}, Text("")},
    {"SzEndsAtFirstNul", kRegSz, {"5.5\0junk\0", 9}, Text("5.5")},
    {"SzWindows1252", kRegSz, {"Vers\xE3o 6\0", 9}, Text("Vers\xE3o 6")},
    {"Sz254BytesTerminated", kRegSz, {k253Letters.data(), 254}, Text({k253Letters.data(), 253})},
    {"Sz255BytesTerminated", kRegSz, {k254Letters.data(), 255}, Text({k254Letters.data(), 254})},
    {"Sz255BytesUnterminated", kRegSz, {k255Letters.data(), 255}, Text({k255Letters.data(), 255})},
    {"Sz256BytesTerminated", kRegSz, {k255Letters.data(), 256}, Empty()},
    {"Sz301BytesTerminated", kRegSz, {k300Letters.data(), 301}, Empty()},
    {"DwordFive", kRegDword, {"\x05\0\0\0", 4}, Long(5)},
    {"DwordFour", kRegDword, {"\x04\0\0\0", 4}, Long(4)},
    {"DwordMinusFive", kRegDword, {"\xFB\xFF\xFF\xFF", 4}, Long(-5)},
    {"DwordLowest", kRegDword, {"\0\0\0\x80", 4}, Long(std::numeric_limits<std::int32_t>::min())},
    {"DwordTwoBytes", kRegDword, {"\x2A\x01", 2}, Long(298)},
    {"DwordZeroBytes", kRegDword, {"", 0}, Long(0)},
    {"DwordFiveBytes", kRegDword, {"\x05\0\0\0\0", 5}, IntegerZero()},
    {"DwordEightBytes", kRegDword, {"\x05\0\0\0\x01\0\0\0", 8}, IntegerZero()},
    {"BinaryOneByte42", kRegBinary, {"\x2A", 1}, Byte(42)},
    {"BinaryOneByte255", kRegBinary, {"\xFF", 1}, Byte(255)},
    {"BinaryFourBytes42", kRegBinary, {"\x2A\0\0\0", 4}, Byte(42)},
    {"BinaryZeroBytes", kRegBinary, {"", 0}, Byte(0)},
    {"BinaryFourBytes256", kRegBinary, {"\0\x01\0\0", 4}, Raises()},
    {"BinaryTwoBytes256", kRegBinary, {"\0\x01", 2}, Raises()},
    {"BinaryAllOnes", kRegBinary, {"\xFF\xFF\xFF\xFF", 4}, Raises()},
    {"BinaryFiveBytes", kRegBinary, {"\x2A\0\0\0\0", 5}, IntegerZero()},
    {"Binary300Bytes", kRegBinary, {k300Letters.data(), 300}, Empty()},
    {"ExpandSz", kRegExpandSz, {"%SystemRoot%\0", 13}, Empty()},
    {"MultiSz", kRegMultiSz, {"6.0\0" "5.5\0\0", 9}, Empty()},
    {"Qword", kRegQword, {"\x05\0\0\0\0\0\0\0", 8}, Empty()},
    {"DwordBigEndian", kRegDwordBigEndian, {"\0\0\0\x05", 4}, Empty()},
    {"None", kRegNone, {"6.0\0", 4}, Empty()},
};

// KeyExists for keyPath, and GetValue of valueName under it. The scratch key
// holds Version = kScratchVersion, the read-only key Version = kReadOnlyVersion.
struct KeyCase {
  const char* label;
  const char* keyPath;
  const char* valueName;
  bool keyExists;
  Expected value;
};

inline const KeyCase kKeyCases[] = {
    {"Plain", "Software\\KavrioAdapterTests", "Version", true, Text("6.0.2800.1106")},
    {"OneLeadingBackslash", "\\Software\\KavrioAdapterTests", "Version", true,
     Text("6.0.2800.1106")},
    // One separator is dropped; the API rejects the one that stays.
    {"TwoLeadingBackslashes", "\\\\Software\\KavrioAdapterTests", "Version", false, Empty()},
    {"KeyNameInOtherCase", "SOFTWARE\\kavrioadaptertests", "Version", true,
     Text("6.0.2800.1106")},
    {"ValueNameInOtherCase", "Software\\KavrioAdapterTests", "VERSION", true,
     Text("6.0.2800.1106")},
    {"MissingKey", "Software\\KavrioAdapterTests\\Missing", "Version", false, Empty()},
    {"MissingValue", "Software\\KavrioAdapterTests", "NoSuchValue", true, Empty()},
    {"ReadableNotWritable", "Software\\KavrioAdapterTests\\ReadOnly", "Version", true,
     Text("5.50.4134.0100")},
    {"QueryValueOnly", "Software\\KavrioAdapterTests\\QueryOnly", "Version", true,
     Text("6.0.2900.2180")},
};

// One raw port call sequence: open subKey with access, then (when valueName is
// set) one query with a buffer of bufferSize bytes, or no buffer at all.
struct PortCase {
  const char* label;
  const char* subKey;
  std::uint32_t access;
  std::int32_t openResult;
  const char* valueName;
  bool withBuffer;
  std::uint32_t bufferSize;
  std::int32_t queryResult;
  std::uint32_t reportedSize;
  std::uint32_t reportedType;
};

inline const PortCase kPortCases[] = {
    {"ReadOnlyKeyForReading", kReadOnlyKey, kKeyRead, kErrorSuccess, "Version", true, 255,
     kErrorSuccess, 15, kRegSz},
    {"ReadOnlyKeyForAllAccess", kReadOnlyKey, kKeyAllAccess, kErrorAccessDenied, nullptr, false, 0,
     0, 0, 0},
    {"QueryOnlyKeyForQuerying", kQueryOnlyKey, kKeyQueryValue, kErrorSuccess, "Version", true, 255,
     kErrorSuccess, 14, kRegSz},
    {"QueryOnlyKeyForReading", kQueryOnlyKey, kKeyRead, kErrorAccessDenied, nullptr, false, 0, 0,
     0, 0},
    {"MissingKey", "Software\\KavrioAdapterTests\\Missing", kKeyRead, kErrorFileNotFound, nullptr,
     false, 0, 0, 0, 0},
    {"LeadingBackslash", "\\Software\\KavrioAdapterTests", kKeyRead, kErrorBadPathname, nullptr,
     false, 0, 0, 0, 0},
    {"MissingValue", kScratchKey, kKeyRead, kErrorSuccess, "NoSuchValue", true, 255,
     kErrorFileNotFound, 0, 0},
    {"BufferTooSmall", kScratchKey, kKeyRead, kErrorSuccess, "Version", true, 4, kErrorMoreData, 14,
     kRegSz},
    {"BufferExactlyLargeEnough", kScratchKey, kKeyRead, kErrorSuccess, "Version", true, 14,
     kErrorSuccess, 14, kRegSz},
    {"SizeOnly", kScratchKey, kKeyRead, kErrorSuccess, "Version", false, 0, kErrorSuccess, 14,
     kRegSz},
    {"UnterminatedText", kScratchKey, kKeyRead, kErrorSuccess, "SzUnterminated", true, 255,
     kErrorSuccess, 13, kRegSz},
    {"ZeroByteText", kScratchKey, kKeyRead, kErrorSuccess, "SzZeroBytes", true, 255, kErrorSuccess,
     0, kRegSz},
    {"NumberBufferTooSmall", kScratchKey, kKeyRead, kErrorSuccess, "DwordFive", true, 2,
     kErrorMoreData, 4, kRegDword},
    {"NumberOverFourBytes", kScratchKey, kKeyRead, kErrorSuccess, "DwordEightBytes", true, 4,
     kErrorMoreData, 8, kRegDword},
};

inline void PrintTo(const StoredValueCase& c, std::ostream* out) { *out << c.name; }
inline void PrintTo(const KeyCase& c, std::ostream* out) { *out << c.label; }
inline void PrintTo(const PortCase& c, std::ostream* out) { *out << c.label; }

template <typename Case>
std::string NameOf(const testing::TestParamInfo<Case>& info) {
  if constexpr (std::is_same_v<Case, StoredValueCase>) {
    return info.param.name;
  } else {
    return info.param.label;
  }
}

inline void ExpectValue(const OrRaised<RegistryValue>& read, const Expected& expected) {
  if (expected.raises) {
    ASSERT_TRUE(read.raised.has_value()) << "expected error 11002";
    EXPECT_EQ(read.raised->number, 11002);
    EXPECT_STREQ(read.raised->source, "clsRegistry");
    EXPECT_STREQ(read.raised->description, "GetValue");
    return;
  }
  ASSERT_FALSE(read.raised.has_value()) << "raised " << read.raised->number;
  EXPECT_EQ(read.value.Kind(), expected.kind);
  EXPECT_EQ(read.value.AsText(), expected.text);
  EXPECT_EQ(read.value.AsNumber(), expected.number);
}

// Runs a KeyCase through the reader over a port whose registry holds the scratch keys.
inline void ExpectKeyCase(RegistryPort& port, const KeyCase& c) {
  const OrRaised<bool> exists = KeyExists(port, kHkeyLocalMachine, c.keyPath);
  ASSERT_FALSE(exists.raised.has_value());
  EXPECT_EQ(exists.value, c.keyExists);
  ExpectValue(GetValue(port, kHkeyLocalMachine, c.keyPath, c.valueName), c.value);
}

// Runs a PortCase against a port whose registry holds the scratch keys.
inline void ExpectPortBehaviour(RegistryPort& port, const PortCase& c) {
  RegKey key = 0;
  ASSERT_EQ(port.OpenKeyEx(kHkeyLocalMachine, c.subKey, 0, c.access, &key), c.openResult);
  if (c.openResult != kErrorSuccess) {
    EXPECT_EQ(key, 0u) << "a failed open hands out no key";
    return;
  }
  if (c.valueName != nullptr) {
    std::array<std::uint8_t, 255> buffer{};
    std::uint32_t type = kRegNone;
    std::uint32_t size = c.bufferSize;
    EXPECT_EQ(port.QueryValueEx(key, c.valueName, &type, c.withBuffer ? buffer.data() : nullptr,
                                &size),
              c.queryResult);
    // The size and type are only told on success and for a buffer too small.
    if (c.queryResult == kErrorSuccess || c.queryResult == kErrorMoreData) {
      EXPECT_EQ(size, c.reportedSize);
      EXPECT_EQ(type, c.reportedType);
    }
  }
  EXPECT_EQ(port.CloseKey(key), kErrorSuccess);
}

}  // namespace registry_cases
}  // namespace kavrio
