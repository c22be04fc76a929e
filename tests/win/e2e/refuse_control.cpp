// A WH_CBT hook that the tests set for the whole desktop: in the launcher, it refuses to make
// the control whose text is KAVRIO_REFUSED_CONTROL, as Windows does when USER runs out of
// window handles (CreateWindowEx fails with ERROR_NO_MORE_USER_HANDLES). Every other window,
// of the launcher or of any other program, is made as usual.
#include <windows.h>

namespace {

bool InLauncherForm(HWND parent) {
  wchar_t className[32] = L"";
  GetClassNameW(GetAncestor(parent, GA_ROOT), className, 32);
  return lstrcmpW(className, L"KavrioForm") == 0;
}

bool IsRefused(const CREATESTRUCTW& create) {
  wchar_t refused[512] = L"";
  if (!(create.style & WS_CHILD) || !create.hwndParent || IS_INTRESOURCE(create.lpszName) ||
      !GetEnvironmentVariableW(L"KAVRIO_REFUSED_CONTROL", refused, 512)) {
    return false;
  }
  return lstrcmpW(create.lpszName, refused) == 0 && InLauncherForm(create.hwndParent);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK RefuseControl(int code, WPARAM wParam,
                                                                 LPARAM lParam) {
  if (code == HCBT_CREATEWND && IsRefused(*reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs)) {
    SetLastError(ERROR_NO_MORE_USER_HANDLES);
    return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
