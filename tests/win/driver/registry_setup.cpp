// The registry as a run needs it: the browser's version, the DPI, and Wine's settings for one
// program (its Windows mode, its DLL overrides).
#include "driver.h"
#include "win32/scoped_handle.h"

namespace launcher_driver {

namespace {

const wchar_t kBrowserKey[] = L"Software\\Microsoft\\Internet Explorer";

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Writes the browser's Version value as the version asks, into an open key.
std::wstring WriteVersion(HKEY key, const BrowserVersion& version) {
  LSTATUS status = ERROR_SUCCESS;
  switch (version.kind) {
    case VersionKind::Text:
      status = SetText(key, L"Version", version.text);
      break;
    case VersionKind::Dword:
    case VersionKind::Binary:
      status = RegSetValueExW(key, L"Version", 0,
                              version.kind == VersionKind::Dword ? REG_DWORD : REG_BINARY,
                              reinterpret_cast<const BYTE*>(&version.number),
                              sizeof version.number);
      break;
    case VersionKind::NoValue:
      status = RegDeleteValueW(key, L"Version");
      if (status == ERROR_FILE_NOT_FOUND) return L"";
      return status == ERROR_SUCCESS ? L"" : CallFailed(L"RegDeleteValueW", status);
    case VersionKind::NoKey:
      break;
  }
  return status == ERROR_SUCCESS ? L"" : CallFailed(L"RegSetValueExW", status);
}

std::wstring DeleteBrowserKey(REGSAM viewFlag) {
  // RegDeleteTree takes no view: it works below a parent opened in the right one.
  HKEY opened = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft", 0,
                                 KEY_ALL_ACCESS | viewFlag, &opened);
  if (status != ERROR_SUCCESS) return CallFailed(L"RegOpenKeyExW", status);
  const kavrio::ScopedKey parent(opened);
  status = RegDeleteTreeW(parent.Get(), L"Internet Explorer");
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return L"";
  return CallFailed(L"RegDeleteTreeW", status);
}

// <root>\<path>, made where it is missing; `failure` says why it could not be.
kavrio::ScopedKey CreateKey(const std::wstring& path, REGSAM access, std::wstring& failure,
                            HKEY root = HKEY_CURRENT_USER) {
  HKEY made = nullptr;
  const LSTATUS status =
      RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr, &made, nullptr);
  if (status != ERROR_SUCCESS) failure = CallFailed(L"RegCreateKeyExW", status);
  return kavrio::ScopedKey(made);
}

// Wine's settings for one program: HKCU\Software\Wine\AppDefaults\<exe>[\subKey].
kavrio::ScopedKey OpenAppDefaults(const wchar_t* exeName, const wchar_t* subKey,
                                  std::wstring& failure) {
  std::wstring path = std::wstring(L"Software\\Wine\\AppDefaults\\") + exeName;
  if (subKey) path += std::wstring(L"\\") + subKey;
  return CreateKey(path, KEY_ALL_ACCESS, failure);
}

}  // namespace

std::wstring SetBrowserVersion(const BrowserVersion& version, RegistryView view) {
  const REGSAM viewFlag = view == RegistryView::Shipped32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  if (version.kind == VersionKind::NoKey) return DeleteBrowserKey(viewFlag);
  std::wstring failure;
  const kavrio::ScopedKey key =
      CreateKey(kBrowserKey, KEY_ALL_ACCESS | viewFlag, failure, HKEY_LOCAL_MACHINE);
  return key ? WriteVersion(key.Get(), version) : failure;
}

std::wstring SetLogPixels(DWORD dpi) {
  std::wstring failure;
  const kavrio::ScopedKey key = CreateKey(L"Control Panel\\Desktop", KEY_SET_VALUE, failure);
  if (!key) return failure;
  const LSTATUS status = RegSetValueExW(key.Get(), L"LogPixels", 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
  return status == ERROR_SUCCESS ? L"" : CallFailed(L"RegSetValueExW", status);
}

std::wstring ReportWindowsTo(const wchar_t* exeName, const wchar_t* mode) {
  std::wstring failure;
  const kavrio::ScopedKey key = OpenAppDefaults(exeName, nullptr, failure);
  if (!key) return failure;
  if (mode) {
    const LSTATUS status = SetText(key.Get(), L"Version", mode);
    return status == ERROR_SUCCESS ? L"" : CallFailed(L"RegSetValueExW", status);
  }
  const LSTATUS status = RegDeleteValueW(key.Get(), L"Version");
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return L"";
  return CallFailed(L"RegDeleteValueW", status);
}

std::wstring PreferPlantedDllsIn(const wchar_t* exeName, bool on) {
  std::wstring failure;
  const kavrio::ScopedKey key = OpenAppDefaults(exeName, nullptr, failure);
  if (!key) return failure;
  const LSTATUS deleted = RegDeleteTreeW(key.Get(), L"DllOverrides");
  if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
    return CallFailed(L"RegDeleteTreeW", deleted);
  }
  if (!on) return L"";
  const kavrio::ScopedKey overrides = OpenAppDefaults(exeName, L"DllOverrides", failure);
  if (!overrides) return failure;
  for (const wchar_t* name : kPlantedDllNames) {
    const std::wstring module(name, wcslen(name) - 4);  // without ".dll"
    const LSTATUS status = SetText(overrides.Get(), module.c_str(), L"native,builtin");
    if (status != ERROR_SUCCESS) return CallFailed(L"RegSetValueExW", status);
  }
  return L"";
}

}  // namespace launcher_driver
