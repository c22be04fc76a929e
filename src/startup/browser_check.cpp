#include "startup/browser_check.h"

#include <cstdint>
#include <cstring>

namespace kavrio {

ValueText ValueToText(const RegistryValue& value) {
  ValueText text;
  switch (value.Kind()) {
    case ValueKind::Empty:
      break;
    case ValueKind::Text: {
      const std::string_view source = value.AsText();
      std::memcpy(text.chars_.data(), source.data(), source.size());
      text.length_ = source.size();
      break;
    }
    case ValueKind::Byte:
    case ValueKind::Integer:
    case ValueKind::Long: {
      // Widened first, so that the lowest Long still has a magnitude.
      const std::int64_t number = value.AsNumber();
      std::uint64_t magnitude = static_cast<std::uint64_t>(number < 0 ? -number : number);
      char digits[20];
      std::size_t count = 0;
      do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
      } while (magnitude != 0);
      if (number < 0) text.chars_[text.length_++] = '-';
      while (count > 0) text.chars_[text.length_++] = digits[--count];
      break;
    }
  }
  return text;
}

namespace {

// Compares the whole prefix: a text shorter than it never matches.
bool BeginsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool PassOn(const RaisedError& error, RaisedError* raised) {
  if (raised) *raised = error;
  return false;
}

// Reads the version afresh; false when the reader raised.
bool ReadVersion(RegistryPort& registry, ValueText* version, RaisedError* raised) {
  const OrRaised<RegistryValue> read =
      GetValue(registry, kHkeyLocalMachine, kBrowserKeyPath, kBrowserVersionValue);
  if (read.raised) return PassOn(*read.raised, raised);
  *version = ValueToText(read.value);
  return true;
}

}  // namespace

bool CheckBrowser(RegistryPort& registry, PromptAction& prompt, RaisedError* raised) {
  const OrRaised<bool> keyFound = KeyExists(registry, kHkeyLocalMachine, kBrowserKeyPath);
  if (keyFound.raised) return PassOn(*keyFound.raised, raised);
  if (!keyFound.value) {
    prompt.Prompt();
    return true;
  }

  ValueText version;
  if (!ReadVersion(registry, &version, raised)) return false;
  if (version.View().empty()) {
    prompt.Prompt();
    return true;
  }

  // A prompt that returns does not end the check: the third read and its test
  // still run, but the prompt is never shown twice, even if the value changed.
  bool prompted = false;
  if (!ReadVersion(registry, &version, raised)) return false;
  if (BeginsWith(version.View(), "4")) {
    prompt.Prompt();
    prompted = true;
  }

  if (!ReadVersion(registry, &version, raised)) return false;
  if (!prompted && BeginsWith(version.View(), "5.0")) prompt.Prompt();
  return true;
}

}  // namespace kavrio
