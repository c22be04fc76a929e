// Checks a live window's controls against a table of expected pixel rectangles.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>

#include "layout_oracle.h"

#include "driver.h"
#include "launcher_windows.h"

namespace e2e {

// The roads are driven with the launcher's driver (tests/win/driver).
using namespace launcher_driver;

// Each control of the oracle is where the oracle puts it, found by its exact text. `scale`
// multiplies the oracle (1.5 at 144 dpi); `slack` widens every tolerance. A label that sizes
// itself is checked against its text as this system draws it, within 2 pixels.
template <std::size_t N, std::size_t M>
void ExpectLayout(HWND window, const kavrio::layout_oracle::DesignedRect (&oracle)[N],
                  const Lookup (&lookups)[M], double scale = 1.0, int slack = 0) {
  static_assert(N == M, "one lookup for each control of the oracle");
  const std::vector<Control> controls = Controls(window);
  for (std::size_t i = 0; i < N; ++i) {
    const kavrio::layout_oracle::DesignedRect& designed = oracle[i];
    const Lookup& row = lookups[i];
    SCOPED_TRACE(designed.name);
    ASSERT_STREQ(row.name, designed.name) << "lookups in the oracle's order";
    const Control* control = Locate(controls, row);
    ASSERT_NE(control, nullptr) << "no control found";
    const int tolerance = (row.selfSizing ? 2 : 0) + slack;
    EXPECT_NEAR(control->rect.left, designed.x * scale, tolerance);
    EXPECT_NEAR(control->rect.top, designed.y * scale, tolerance);
    const int width = control->rect.right - control->rect.left;
    const int height = control->rect.bottom - control->rect.top;
    if (!row.selfSizing) {
      EXPECT_NEAR(width, designed.width * scale, tolerance);
      EXPECT_NEAR(height, designed.height * scale, tolerance);
    } else if (scale == 1.0) {
      const SIZE text = TextExtent(*row.selfSizing, row.key);
      EXPECT_NEAR(width, text.cx, tolerance);
      EXPECT_NEAR(height, text.cy, tolerance);
      std::printf("%s: %d x %d here, %d x %d in the table\n", designed.name, width, height,
                  designed.width, designed.height);
    }
  }
}

// Only push buttons are tab stops, every push button is one, and none is a default button.
inline void ExpectOnlyButtonsTakeFocus(HWND window) {
  for (const Control& control : Controls(window)) {
    SCOPED_TRACE(control.text);
    const bool button = control.className == L"Button";
    EXPECT_EQ((control.style & WS_TABSTOP) != 0, button);
    if (button) {
      EXPECT_EQ(control.style & BS_TYPEMASK, BS_PUSHBUTTON);
    }
  }
}

// Title "Kavrio", a fixed single border with system menu and close box, no minimise or
// maximise box, centred on the screen.
inline void ExpectCommonLook(HWND window, int clientWidth, int clientHeight) {
  EXPECT_EQ(TextOf(window), L"Kavrio");
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  const SIZE client = ClientSize(window);
  EXPECT_EQ(client.cx, clientWidth);
  EXPECT_EQ(client.cy, clientHeight);
  RECT rect;
  GetWindowRect(window, &rect);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_NEAR(rect.left, (screenWidth - (rect.right - rect.left)) / 2, 1);
  EXPECT_NEAR(rect.top, (screenHeight - (rect.bottom - rect.top)) / 2, 1);
}

}  // namespace e2e
