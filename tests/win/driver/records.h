// The files in which the stand-in installers and the marker DLL record what they saw.
#pragma once

namespace launcher_driver {

inline constexpr wchar_t kRecordFolder[] = L"C:\\kavrio-e2e";
inline constexpr wchar_t kRecordFile[] = L"C:\\kavrio-e2e\\starts.txt";
inline constexpr wchar_t kPlantedFile[] = L"C:\\kavrio-e2e\\planted.txt";

}  // namespace launcher_driver
