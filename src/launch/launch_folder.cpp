#include "launch/launch_folder.h"

#include <cstring>
#include <string>
#include <string_view>

namespace kavrio {

namespace {

using Chars = std::char_traits<char16_t>;
using View = std::u16string_view;

bool Fail(char16_t* out, std::size_t outSize) {
  if (out != nullptr && outSize > 0) out[0] = u'\0';
  return false;
}

}  // namespace

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool LaunchFolderFromModuleFileName(const char16_t* moduleFileName, char16_t* out,
                                    std::size_t outSize) {
  if (moduleFileName == nullptr) return Fail(out, outSize);
  std::size_t length = View(moduleFileName).rfind(u'\\');
  if (length == View::npos) return Fail(out, outSize);
  // "D:" alone would mean the drive's current folder, not its root.
  if (length > 0 && moduleFileName[length - 1] == u':') ++length;
  if (length == 0 || length >= outSize) return Fail(out, outSize);
  std::memcpy(out, moduleFileName, length * sizeof(char16_t));
  out[length] = u'\0';
  return true;
}

bool IsAbsoluteFolder(const char16_t* folder) {
  if (folder == nullptr) return false;
  const bool driveRoot = IsDriveLetter(folder[0]) && folder[1] == u':' && folder[2] == u'\\';
  const bool networkOrDevice = folder[0] == u'\\' && folder[1] == u'\\' && folder[2] != u'\0';
  return driveRoot || networkOrDevice;
}

bool JoinInstallerPath(const char16_t* folder, const char16_t* suffix, char16_t* out,
                       std::size_t outSize) {
  if (!IsAbsoluteFolder(folder) || suffix == nullptr) return Fail(out, outSize);
  const std::size_t folderLength = Chars::length(folder);
  const std::size_t suffixLength = Chars::length(suffix);
  if (folderLength + suffixLength >= outSize) return Fail(out, outSize);
  std::memcpy(out, folder, folderLength * sizeof(char16_t));
  std::memcpy(out + folderLength, suffix, (suffixLength + 1) * sizeof(char16_t));
  return true;
}

bool CurrentLaunchFolder(ProcessPort& os, char16_t* out, std::size_t outSize) {
  char16_t moduleFileName[kMaxPath];
  const std::uint32_t length = os.GetModuleFileNameW(moduleFileName, kMaxPath);
  // A cut name may lack its NUL (Windows XP) and names the wrong folder anyway.
  if (length == 0 || length >= kMaxPath) return Fail(out, outSize);
  moduleFileName[length] = u'\0';
  return LaunchFolderFromModuleFileName(moduleFileName, out, outSize);
}

}  // namespace kavrio
