#include "startup/browser_check.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace kavrio {

ValueText ValueToText(const RegistryValue& value) {
  ValueText text;
  if (value.Kind() == ValueKind::Text) {
    const std::string_view source = value.AsText();
    std::memcpy(text.chars.data(), source.data(), source.size());
    text.length = source.size();
  } else if (value.Kind() != ValueKind::Empty) {
    // Decimal digits, with a leading "-" when negative; a 32-bit number fits easily.
    const char* end = std::to_chars(text.chars.data(), text.chars.data() + text.chars.size(),
                                    value.AsNumber()).ptr;
    text.length = static_cast<std::size_t>(end - text.chars.data());
  }
  return text;
}

namespace {

// Compares the whole prefix: a text shorter than it never matches.
bool BeginsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The version, read afresh, as text; or what the reader raised.
OrRaised<ValueText> ReadVersion(RegistryPort& registry) {
  const OrRaised<RegistryValue> read =
      GetValue(registry, kHkeyLocalMachine, kBrowserKeyPath, kBrowserVersionValue);
  if (read.raised) return {ValueText{}, read.raised};
  return {ValueToText(read.value), std::nullopt};
}

OrRaised<BrowserRoad> Prompted(PromptAction& prompt) {
  prompt.Prompt();
  return {BrowserRoad::Prompt, std::nullopt};
}

}  // namespace

OrRaised<BrowserRoad> CheckBrowser(RegistryPort& registry, PromptAction& prompt) {
  const OrRaised<bool> keyFound = KeyExists(registry, kHkeyLocalMachine, kBrowserKeyPath);
  if (keyFound.raised) return {BrowserRoad::Menu, keyFound.raised};
  if (!keyFound.value) return Prompted(prompt);

  OrRaised<ValueText> version = ReadVersion(registry);
  if (version.raised) return {BrowserRoad::Menu, version.raised};
  if (version.value.View().empty()) return Prompted(prompt);

  // A prompt that returns does not end the check: the third read and its test
  // still run, but the prompt is never shown twice, even if the value changed.
  BrowserRoad road = BrowserRoad::Menu;
  version = ReadVersion(registry);
  if (version.raised) return {road, version.raised};
  if (BeginsWith(version.value.View(), "4")) {
    prompt.Prompt();
    road = BrowserRoad::Prompt;
  }

  version = ReadVersion(registry);
  if (version.raised) return {road, version.raised};
  if (road == BrowserRoad::Menu && BeginsWith(version.value.View(), "5.0")) return Prompted(prompt);
  return {road, std::nullopt};
}

}  // namespace kavrio
