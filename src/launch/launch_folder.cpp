#include "launch/launch_folder.h"

#include <cstring>

namespace kavrio {

namespace {

bool Fail(char* out, std::size_t outSize) {
  if (out != nullptr && outSize > 0) out[0] = '\0';
  return false;
}

}  // namespace

bool LaunchFolderFromModuleFileName(const char* moduleFileName, char* out, std::size_t outSize) {
  if (moduleFileName == nullptr) return Fail(out, outSize);
  const char* lastSeparator = std::strrchr(moduleFileName, '\\');
  if (lastSeparator == nullptr) return Fail(out, outSize);
  std::size_t length = static_cast<std::size_t>(lastSeparator - moduleFileName);
  // "D:" alone would mean the drive's current folder, not its root.
  if (length > 0 && moduleFileName[length - 1] == ':') ++length;
  if (length == 0 || length >= outSize) return Fail(out, outSize);
  std::memcpy(out, moduleFileName, length);
  out[length] = '\0';
  return true;
}

bool JoinInstallerPath(const char* folder, const char* suffix, char* out, std::size_t outSize) {
  if (folder == nullptr || suffix == nullptr) return Fail(out, outSize);
  const std::size_t folderLength = std::strlen(folder);
  const std::size_t suffixLength = std::strlen(suffix);
  if (folderLength + suffixLength >= outSize) return Fail(out, outSize);
  std::memcpy(out, folder, folderLength);
  std::memcpy(out + folderLength, suffix, suffixLength + 1);
  return true;
}

bool CurrentLaunchFolder(ProcessPort& os, char* out, std::size_t outSize) {
  char moduleFileName[kMaxPath];
  const std::uint32_t length = os.GetModuleFileName(moduleFileName, sizeof moduleFileName);
  // A cut name may lack its NUL (Windows XP) and names the wrong folder anyway.
  if (length == 0 || length >= sizeof moduleFileName) return Fail(out, outSize);
  moduleFileName[length] = '\0';
  return LaunchFolderFromModuleFileName(moduleFileName, out, outSize);
}

}  // namespace kavrio
