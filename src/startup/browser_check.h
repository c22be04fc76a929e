// Start-up browser check: reads the installed browser's version and decides
// between the menu (return without acting) and the prompt action.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "common/raised_error.h"
#include "registry/registry.h"
#include "registry/registry_port.h"

namespace kavrio {

inline constexpr const char* kBrowserKeyPath = "Software\\Microsoft\\Internet Explorer";
inline constexpr const char* kBrowserVersionValue = "Version";

// What the check does when the browser is missing or too old. The check goes
// on only after Prompt has returned.
class PromptAction {
 public:
  virtual void Prompt() = 0;

 protected:
  ~PromptAction() = default;
};

// A registry value as text, held inside the object.
struct ValueText {
  std::array<char, RegistryValue::kMaxTextLength + 1> chars{};
  std::size_t length = 0;
  std::string_view View() const { return {chars.data(), length}; }
};

// Text unchanged; Byte, Integer and Long as decimal digits with a leading "-"
// when negative; Empty as "".
ValueText ValueToText(const RegistryValue& value);

// Which way the check went: the browser passed, or the prompt action was performed.
enum class BrowserRoad { Menu, Prompt };

// Runs the check once against HKEY_LOCAL_MACHINE and performs prompt at most once. Raises
// what the registry reader raised; the check stops there.
OrRaised<BrowserRoad> CheckBrowser(RegistryPort& registry, PromptAction& prompt);

}  // namespace kavrio
