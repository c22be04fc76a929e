// The CD on drive D: as a run needs it, and the folders that the environment names.
#include "driver.h"

#include "utf8.h"

namespace launcher_driver {

namespace {

using win_tier::ExeFolder;

std::wstring CopyInto(const std::wstring& source, const std::wstring& target) {
  const std::wstring failure = win_tier::MakeFoldersFor(target);
  if (!failure.empty()) return failure;
  return CopyFileW(source.c_str(), target.c_str(), FALSE) ? L"" : CallFailed(L"CopyFileW");
}

}  // namespace

// ---- The CD and the registry -------------------------------------------------------------

std::wstring WinePathFromEnvironment(const char* name) {
  // The W call: Wine decodes the Unix environment by the Unix locale's charset (UTF-8 under
  // LC_ALL=C.UTF-8), where the A call gives the ANSI code page, which holds no CJK letter and
  // gives "Área" as bytes that are no UTF-8.
  const std::wstring wideName(name, name + std::char_traits<char>::length(name));
  std::wstring unixPath(32767, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), unixPath.data(),
                                               static_cast<DWORD>(unixPath.size()));
  if (length == 0 || length >= unixPath.size() || unixPath[0] != L'/') return L"";
  unixPath.resize(length);
  // Wine's drive Z: is the Unix root.
  std::wstring path = L"Z:" + unixPath;
  for (wchar_t& c : path) if (c == L'/') c = L'\\';
  return path;
}

std::wstring PlantStub(const std::wstring& path) {
  return CopyInto(ExeFolder() + L"\\stub_installer.exe", path);
}

std::wstring CopyLauncherTo(const std::wstring& path) {
  return CopyInto(ExeFolder() + L"\\kavrio.exe", path);
}

std::wstring LayOutCd() {
  std::wstring failure = win_tier::EmptyFolder(L"D:");
  if (failure.empty()) failure = CopyLauncherTo(L"D:\\kavrio.exe");
  for (const std::wstring& installer : {kHomeSetup, kAgentSetup, kBrowserSetup}) {
    if (failure.empty()) failure = PlantStub(installer);
  }
  return failure;
}

// ---- DLLs planted on the CD ----------------------------------------------------------------

const wchar_t* const kPlantedDllNames[4] = {L"uxtheme.dll", L"msimg32.dll", L"comctl32.dll",
                                            L"shell32.dll"};

std::wstring PlantMarkerDlls(const std::wstring& folder) {
  for (const wchar_t* name : kPlantedDllNames) {
    const std::wstring failure =
        CopyInto(ExeFolder() + L"\\planted_dll.dll", folder + L"\\" + name);
    if (!failure.empty()) return failure;
  }
  return L"";
}

std::wstring PlantDllProbe(const std::wstring& path) {
  return CopyInto(ExeFolder() + L"\\dll_probe.exe", path);
}

// ---- Screenshots -------------------------------------------------------------------------

std::wstring ScreenshotFolder() {
  const std::wstring folder = WinePathFromEnvironment("KAVRIO_SCREENSHOTS");
  return folder.empty() ? ExeFolder() + L"\\screenshots" : folder;
}

}  // namespace launcher_driver
