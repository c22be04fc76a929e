// Loads each system DLL name that the tests plant, by its bare name, with the default search
// (the program's own folder first). Run from the CD folder, it proves that a planted DLL
// would be loaded there: the launcher must not be.
#include <windows.h>

#include <initializer_list>

int main() {
  for (const wchar_t* name : {L"uxtheme.dll", L"msimg32.dll", L"comctl32.dll", L"shell32.dll"}) {
    LoadLibraryW(name);
  }
  return 0;
}
