// The report of an unexpected error as the user meets it: the launcher's only window, with the
// error's number and description; Enter closes it, the program ends and nothing starts.
#pragma once

#include <string>
#include <vector>

#include "road.h"

namespace e2e {

// The roads are driven with the launcher's driver (tests/win/driver).
using namespace launcher_driver;

// Waits for the launcher's report, saves it as `screenshot` (unless null), checks that it
// shows "Erro <numberAndDescription>" and stands alone, and answers it.
inline void ExpectReportThenEnd(Launcher& launcher, const std::wstring& numberAndDescription,
                                const wchar_t* screenshot = nullptr) {
  const DWORD process = launcher.process.id;
  HWND report = WaitForWindow(process, L"Kavrio", L"#32770");
  ASSERT_NE(report, nullptr) << "no report";
  if (screenshot) {
    ASSERT_TRUE(Done(SaveScreenshot(report, screenshot)));
  }
  bool shown = false;
  for (const Control& control : Controls(report)) {
    shown |= control.text.find(L"Erro " + numberAndDescription) != std::wstring::npos;
  }
  EXPECT_TRUE(shown) << "the report does not show its number and description";
  EXPECT_EQ(VisibleWindows(process), std::vector<HWND>{report}) << "a window beside the report";
  BringToFront(report);
  PressKey(VK_RETURN);
  EXPECT_TRUE(launcher.WaitForExit());
  ExpectNothingStarted();
}

}  // namespace e2e
