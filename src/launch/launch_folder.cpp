#include "launch/launch_folder.h"

#include <string_view>

namespace kavrio {

namespace {

using View = std::u16string_view;

}  // namespace

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool LaunchFolderFromModuleFileName(const char16_t* moduleFileName, PathText& out) {
  out.Clear();
  if (moduleFileName == nullptr) return false;
  const View name(moduleFileName);
  std::size_t length = name.rfind(u'\\');
  if (length == View::npos) return false;
  // "D:" alone would mean the drive's current folder, not its root.
  if (length > 0 && name[length - 1] == u':') ++length;
  return length > 0 && out.Append(name.substr(0, length));
}

bool IsAbsoluteFolder(const char16_t* folder) {
  if (folder == nullptr) return false;
  const bool driveRoot = IsDriveLetter(folder[0]) && folder[1] == u':' && folder[2] == u'\\';
  const bool networkOrDevice = folder[0] == u'\\' && folder[1] == u'\\' && folder[2] != u'\0';
  return driveRoot || networkOrDevice;
}

bool JoinInstallerPath(const char16_t* folder, const char16_t* suffix, PathText& out) {
  out.Clear();
  if (!IsAbsoluteFolder(folder) || suffix == nullptr) return false;
  if (out.Append(folder) && out.Append(suffix)) return true;
  out.Clear();
  return false;
}

bool CurrentLaunchFolder(ProcessPort& os, PathText& out) {
  out.Clear();
  char16_t moduleFileName[kMaxPath];
  const std::uint32_t length = os.GetModuleFileNameW(moduleFileName, kMaxPath);
  // A cut name may lack its NUL (Windows XP) and names the wrong folder anyway.
  if (length == 0 || length >= kMaxPath) return false;
  moduleFileName[length] = u'\0';
  return LaunchFolderFromModuleFileName(moduleFileName, out);
}

}  // namespace kavrio
