// Fuzzes KeyExists, GetValue and the browser check over a registry whose every answer comes
// from the input: any status, key handle, type, reported size and bytes, and a value that
// changes between one read and the next. The input, read front to back (see FuzzInput):
//   byte 0   the root (mod 4): HKLM, HKCU, HKCR, HKU
//   byte 1   bit 0: the key path is null; bit 1: the value name is null
//   then two texts of bytes up to a 0: the key path and the value name;
//   then the registry's answers, in the order the calls come (ScriptedRegistry).
// KeyExists and GetValue run on that key and value, then CheckBrowser, each against the
// answers that follow. After each call: no key left open, none closed that was not open,
// no read from a key that was not open, at most one prompt.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "registry/registry.h"
#include "registry/registry_port.h"
#include "startup/browser_check.h"
#include "../win32_codes.h"

namespace kavrio::fuzz {
namespace {

using namespace win32_codes;

constexpr std::size_t kMaxNameLength = 300;
constexpr std::uint32_t kMaxValueBytes = 4096;

std::string Shown(std::string_view text) {
  std::string shown = "\"";
  for (const char c : text) {
    if (c >= 0x20 && c < 0x7F) {
      shown += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
      shown += escaped;
    }
  }
  return shown + "\"";
}

// A RegistryPort that reads each answer from the input:
//   OpenKeyEx     a status byte (mod 8: success 4 times in 8, then 2, 5, 161, 6; 0xFF: a
//                 32-bit status follows) and a handle byte (mod 4: a new handle, 0, the HKLM
//                 number, the handle handed out last). On failure the handle is written too.
//   QueryValueEx  a status byte (mod 8: success 3 times in 8, then ERROR_MORE_DATA, 2, 5, 6,
//                 87; 0xFF: a 32-bit status follows); a type byte (mod 8: REG_SZ twice,
//                 REG_DWORD, REG_BINARY, REG_NONE, REG_EXPAND_SZ, REG_MULTI_SZ, REG_QWORD;
//                 0xFE: the type is left as it was; 0xFF: a 32-bit type follows); a count
//                 byte (0: as many bytes as the buffer holds, n: n - 1 bytes, never more
//                 than the buffer holds, as no real registry writes more, nor more than
//                 kMaxValueBytes) and those bytes;
//                 a reported-size byte (0: the bytes written, 1: the buffer's size, 2: one
//                 more, 3: 0xFFFFFFFF, 4: a 32-bit size follows, 5: 256, n: n - 6).
//   CloseKey      reads nothing and succeeds.
// It counts the keys open under each handle value, so that a handle handed out twice must be
// closed twice.
class ScriptedRegistry final : public RegistryPort {
 public:
  struct Open {
    std::uint32_t root;
    std::string subKey;
    std::uint32_t options;
    std::uint32_t access;
    std::int32_t status;
  };
  struct Query {
    std::string valueName;
    std::int32_t status;
    std::optional<std::uint32_t> type;  // what was written, when a type was asked for
    std::string written;                // the bytes written into the buffer
    std::uint32_t reported;
  };

  explicit ScriptedRegistry(FuzzInput& input) : input_(input) {}

  std::vector<Open> opens;
  std::vector<Query> queries;
  int badCloses = 0;  // closes of a handle that was not open
  int queriesOfClosedKeys = 0;
  int queriesWithoutSize = 0;  // a buffer given without its size

  std::size_t OpenKeys() const {
    std::size_t count = 0;
    for (const auto& [handle, opened] : open_) count += opened;
    return count;
  }

  // Forgets the calls made so far (the open keys are kept).
  void StartCall() {
    opens.clear();
    queries.clear();
  }

  std::int32_t OpenKeyEx(std::uint32_t root, const char* subKey, std::uint32_t options,
                         std::uint32_t samDesired, RegKey* result) override {
    const std::uint8_t statusChoice = input_.Byte();
    static constexpr std::int32_t kStatuses[] = {
        kErrorSuccess,      kErrorSuccess,      kErrorSuccess,     kErrorSuccess,
        kErrorFileNotFound, kErrorAccessDenied, kErrorBadPathname, kErrorInvalidHandle};
    const std::int32_t status = statusChoice == 0xFF ? static_cast<std::int32_t>(input_.U32())
                                                     : kStatuses[statusChoice % 8];
    opens.push_back({root, subKey ? subKey : "(null)", options, samDesired, status});
    const RegKey handle = NextHandle();
    if (result != nullptr) *result = handle;
    if (status == kErrorSuccess) {
      ++open_[handle];
      last_ = handle;
    }
    return status;
  }

  std::int32_t QueryValueEx(RegKey key, const char* valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* dataSize) override {
    const auto opened = open_.find(key);
    if (opened == open_.end() || opened->second == 0) ++queriesOfClosedKeys;
    if (data != nullptr && dataSize == nullptr) ++queriesWithoutSize;

    Query query{valueName ? valueName : "(null)", 0, std::nullopt, {}, 0};
    const std::uint8_t statusChoice = input_.Byte();
    static constexpr std::int32_t kStatuses[] = {
        kErrorSuccess,      kErrorSuccess,      kErrorSuccess,       kErrorMoreData,
        kErrorFileNotFound, kErrorAccessDenied, kErrorInvalidHandle, kErrorInvalidParameter};
    query.status = statusChoice == 0xFF ? static_cast<std::int32_t>(input_.U32())
                                        : kStatuses[statusChoice % 8];

    const std::uint8_t typeChoice = input_.Byte();
    static constexpr std::uint32_t kTypes[] = {kRegSz,   kRegSz,       kRegDword,   kRegBinary,
                                               kRegNone, kRegExpandSz, kRegMultiSz, kRegQword};
    if (type != nullptr && typeChoice != 0xFE) {
      *type = typeChoice == 0xFF ? input_.U32() : kTypes[typeChoice % 8];
      query.type = *type;
    }

    // No value here is longer than kMaxValueBytes, so a caller that gives a size larger than
    // its buffer gets a write past it (that ASan reports) but never an endless one.
    const std::uint32_t room = (data != nullptr && dataSize != nullptr) ? *dataSize : 0;
    const std::uint8_t countChoice = input_.Byte();
    const std::uint32_t count = std::min(
        countChoice == 0 ? room : std::min<std::uint32_t>(countChoice - 1u, room), kMaxValueBytes);
    for (std::uint32_t i = 0; i < count; ++i) query.written += static_cast<char>(input_.Byte());
    if (count > 0) std::memcpy(data, query.written.data(), count);

    const std::uint8_t sizeChoice = input_.Byte();
    switch (sizeChoice) {
      case 0:
        query.reported = count;
        break;
      case 1:
        query.reported = room;
        break;
      case 2:
        query.reported = room + 1;
        break;
      case 3:
        query.reported = 0xFFFFFFFFu;
        break;
      case 4:
        query.reported = input_.U32();
        break;
      case 5:
        query.reported = 256;
        break;
      default:
        query.reported = sizeChoice - 6u;
        break;
    }
    if (dataSize != nullptr) *dataSize = query.reported;
    queries.push_back(query);
    return query.status;
  }

  std::int32_t CloseKey(RegKey key) override {
    auto found = open_.find(key);
    if (found == open_.end() || found->second == 0) {
      ++badCloses;
      return kErrorInvalidHandle;
    }
    --found->second;
    return kErrorSuccess;
  }

 private:
  RegKey NextHandle() {
    switch (input_.Byte() % 4) {
      case 1:
        return 0;
      case 2:
        return kHkeyLocalMachine;
      case 3:
        if (last_) return *last_;
        [[fallthrough]];
      default:
        next_ += 4;
        return next_;
    }
  }

  FuzzInput& input_;
  std::map<RegKey, int> open_;
  std::optional<RegKey> last_;
  RegKey next_ = 0x100;
};

class CountingPrompt final : public PromptAction {
 public:
  void Prompt() override { ++prompts; }
  int prompts = 0;
};

void CheckPort(const ScriptedRegistry& registry, const char* after) {
  const std::string call = after;
  KAVRIO_CHECK(registry.OpenKeys() == 0, "a key was left open by " + call);
  KAVRIO_CHECK(registry.badCloses == 0, "a key that was not open was closed by " + call);
  KAVRIO_CHECK(registry.queriesOfClosedKeys == 0, "a key that was not open was read by " + call);
  KAVRIO_CHECK(registry.queriesWithoutSize == 0, "a buffer without its size, by " + call);
  for (const ScriptedRegistry::Open& open : registry.opens) {
    KAVRIO_CHECK(open.options == 0 && open.access == kKeyQueryValue,
                 "opened with access " + std::to_string(open.access) + " by " + call);
  }
}

void CheckRaised(const std::optional<RaisedError>& raised, std::int32_t number, const char* call) {
  if (!raised) return;
  KAVRIO_CHECK(raised->number == kGetValueErrorNumber || raised->number == kKeyExistsErrorNumber,
               std::string(call) + " raised " + std::to_string(raised->number));
  KAVRIO_CHECK(raised->number == number,
               std::string(call) + " raised " + std::to_string(raised->number));
  KAVRIO_CHECK(raised->source != nullptr && std::string_view(raised->source) == "clsRegistry",
               call);
}

// The text of any value has at most 255 bytes, and numbers are in decimal.
void CheckValueText(const RegistryValue& value) {
  KAVRIO_CHECK(value.AsText().size() <= RegistryValue::kMaxTextLength,
               "a text of " + std::to_string(value.AsText().size()) + " bytes");
  const ValueText text = ValueToText(value);
  KAVRIO_CHECK(text.View().size() <= RegistryValue::kMaxTextLength,
               "ValueToText gave " + std::to_string(text.View().size()) + " bytes");
  std::string expected;
  switch (value.Kind()) {
    case ValueKind::Empty:
      break;
    case ValueKind::Text:
      expected = std::string(value.AsText());
      break;
    default:
      expected = std::to_string(value.AsNumber());
      break;
  }
  KAVRIO_CHECK(text.View() == expected,
               "ValueToText gave " + Shown(text.View()) + ", expected " + Shown(expected));
}

// What GetValue gives for the calls that the registry answered, as its header documents it.
struct ExpectedValue {
  ValueKind kind;
  std::string text;
  std::int32_t number;
  bool raises;
  std::size_t queries;  // how many reads it makes
};

std::uint32_t LittleEndian(const std::string& bytes) {
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i) {
    number |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return number;
}

ExpectedValue ExpectedGetValue(const ScriptedRegistry& registry) {
  const ExpectedValue empty{ValueKind::Empty, "", 0, false, 1};
  if (registry.opens.size() != 1 || registry.opens[0].status != kErrorSuccess) {
    return {ValueKind::Empty, "", 0, false, 0};
  }
  if (registry.queries.empty() || registry.queries[0].status != kErrorSuccess) return empty;
  const ScriptedRegistry::Query& first = registry.queries[0];
  const std::uint32_t type = first.type.value_or(kRegNone);
  const std::uint32_t storedSize = first.reported;
  const ScriptedRegistry::Query* second =
      registry.queries.size() > 1 ? &registry.queries[1] : nullptr;
  const bool secondRead = second != nullptr && second->status == kErrorSuccess;

  if (type == kRegSz) {
    if (!secondRead) return {ValueKind::Text, "", 0, false, 2};
    // The text ends at its first NUL, within the reported size and the 255-byte buffer.
    std::string text = second->written.substr(0, std::min<std::uint32_t>(second->reported, 255));
    text = text.substr(0, text.find('\0'));
    return {ValueKind::Text, text, 0, false, 2};
  }
  if (type == kRegDword || type == kRegBinary) {
    if (storedSize > 4) return {ValueKind::Integer, "", 0, false, 1};
    if (!secondRead) return {ValueKind::Integer, "", 0, false, 2};
    const std::uint32_t number = LittleEndian(second->written);
    if (type == kRegDword)
      return {ValueKind::Long, "", static_cast<std::int32_t>(number), false, 2};
    if (number > 0xFF) return {ValueKind::Empty, "", 0, true, 2};
    return {ValueKind::Byte, "", static_cast<std::int32_t>(number), false, 2};
  }
  return empty;
}

void CheckKeyExists(ScriptedRegistry& registry, std::uint32_t root, const char* keyPath) {
  registry.StartCall();
  const OrRaised<bool> exists = KeyExists(registry, root, keyPath);
  CheckPort(registry, "KeyExists");
  CheckRaised(exists.raised, kKeyExistsErrorNumber, "KeyExists");
  KAVRIO_CHECK(exists.raised.has_value() == (keyPath == nullptr), "KeyExists raised or not");
  if (keyPath == nullptr) {
    KAVRIO_CHECK(registry.opens.empty(), "KeyExists opened a null path");
    return;
  }
  KAVRIO_CHECK(registry.opens.size() == 1 && registry.queries.empty(), "KeyExists's calls");
  const ScriptedRegistry::Open& open = registry.opens[0];
  KAVRIO_CHECK(open.root == root, "KeyExists opened under another root");
  const std::string_view path = keyPath;
  KAVRIO_CHECK(open.subKey == (path.substr(0, 1) == "\\" ? path.substr(1) : path),
               "KeyExists opened " + Shown(open.subKey) + " for " + Shown(path));
  KAVRIO_CHECK(exists.value == (open.status == kErrorSuccess),
               "KeyExists answered " + std::to_string(exists.value) + " for status " +
                   std::to_string(open.status));
}

void CheckGetValue(ScriptedRegistry& registry, std::uint32_t root, const char* keyPath,
                   const char* valueName) {
  registry.StartCall();
  const OrRaised<RegistryValue> read = GetValue(registry, root, keyPath, valueName);
  CheckPort(registry, "GetValue");
  CheckRaised(read.raised, kGetValueErrorNumber, "GetValue");
  CheckValueText(read.value);
  if (keyPath == nullptr || valueName == nullptr) {
    KAVRIO_CHECK(read.raised.has_value() && registry.opens.empty(), "GetValue of a null name");
    return;
  }
  KAVRIO_CHECK(registry.opens.size() == 1 && registry.opens[0].root == root, "GetValue's open");
  const std::string_view path = keyPath;
  KAVRIO_CHECK(registry.opens[0].subKey == (path.substr(0, 1) == "\\" ? path.substr(1) : path),
               "GetValue opened " + Shown(registry.opens[0].subKey) + " for " + Shown(path));
  for (const ScriptedRegistry::Query& query : registry.queries) {
    KAVRIO_CHECK(query.valueName == valueName, "GetValue read " + Shown(query.valueName));
  }

  const ExpectedValue expected = ExpectedGetValue(registry);
  const auto detail = [&] {
    return "GetValue gave kind " + std::to_string(static_cast<int>(read.value.Kind())) + " " +
           Shown(read.value.AsText()) + " " + std::to_string(read.value.AsNumber()) +
           ", expected kind " + std::to_string(static_cast<int>(expected.kind)) + " " +
           Shown(expected.text) + " " + std::to_string(expected.number);
  };
  KAVRIO_CHECK(registry.queries.size() == expected.queries,
               std::to_string(registry.queries.size()) + " reads: " + detail());
  KAVRIO_CHECK(read.raised.has_value() == expected.raises, "raised or not: " + detail());
  KAVRIO_CHECK(read.value.Kind() == expected.kind && read.value.AsText() == expected.text &&
                   read.value.AsNumber() == expected.number,
               detail());
}

void CheckBrowserCheck(ScriptedRegistry& registry) {
  registry.StartCall();
  CountingPrompt prompt;
  const OrRaised<BrowserRoad> road = CheckBrowser(registry, prompt);
  CheckPort(registry, "CheckBrowser");
  KAVRIO_CHECK(prompt.prompts <= 1, "prompted " + std::to_string(prompt.prompts) + " times");
  KAVRIO_CHECK((road.value == BrowserRoad::Prompt) == (prompt.prompts == 1),
               "road " + std::to_string(static_cast<int>(road.value)) + " after " +
                   std::to_string(prompt.prompts) + " prompts");
  if (road.raised) {
    KAVRIO_CHECK(
        road.raised->number == kGetValueErrorNumber || road.raised->number == kKeyExistsErrorNumber,
        "CheckBrowser raised " + std::to_string(road.raised->number));
    KAVRIO_CHECK(
        road.raised->source != nullptr && std::string_view(road.raised->source) == "clsRegistry",
        "CheckBrowser raised from elsewhere");
  }
  // One KeyExists and at most three reads of the version, all of the browser's key.
  KAVRIO_CHECK(registry.opens.size() >= 1 && registry.opens.size() <= 4,
               std::to_string(registry.opens.size()) + " opens");
  for (const ScriptedRegistry::Open& open : registry.opens) {
    KAVRIO_CHECK(open.root == kHkeyLocalMachine && open.subKey == kBrowserKeyPath,
                 "CheckBrowser opened " + Shown(open.subKey));
  }
  for (const ScriptedRegistry::Query& query : registry.queries) {
    KAVRIO_CHECK(query.valueName == kBrowserVersionValue,
                 "CheckBrowser read " + Shown(query.valueName));
  }
}

}  // namespace
}  // namespace kavrio::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kavrio;
  using namespace kavrio::fuzz;
  FuzzInput input(data, size);

  static constexpr std::uint32_t kRoots[] = {kHkeyLocalMachine, kHkeyCurrentUser, kHkeyClassesRoot,
                                             kHkeyUsers};
  const std::uint32_t root = kRoots[input.Byte() % 4];
  const std::uint8_t nulls = input.Byte();
  const std::string keyPath = input.Text8(kMaxNameLength);
  const std::string valueName = input.Text8(kMaxNameLength);
  const char* const keyPathOrNull = (nulls & 1) ? nullptr : keyPath.c_str();
  const char* const valueNameOrNull = (nulls & 2) ? nullptr : valueName.c_str();

  ScriptedRegistry registry(input);
  CheckKeyExists(registry, root, keyPathOrNull);
  CheckGetValue(registry, root, keyPathOrNull, valueNameOrNull);
  CheckBrowserCheck(registry);
  return 0;
}
