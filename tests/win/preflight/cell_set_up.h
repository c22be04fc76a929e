// Tests that set the prefix up for a cell, as the runner does, and put it back afterwards as
// the rest of the Windows tier expects it: no Windows mode for the launcher or the
// installers, 96 dpi, the prefix's own browser version in both registry views.
#pragma once

#include <gtest/gtest.h>

#include "driver.h"
#include "win/done.h"

namespace preflight {

class CellSetUp : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const wchar_t* program : {L"kavrio.exe", L"Setup.exe",
                                   L"Instalador Assistente Kavrio.exe", L"ie5setup.exe"}) {
      EXPECT_TRUE(Done(launcher_driver::ReportWindowsTo(program, nullptr)));
    }
    EXPECT_TRUE(Done(launcher_driver::SetLogPixels(96)));
    for (launcher_driver::RegistryView view :
         {launcher_driver::RegistryView::Shipped32, launcher_driver::RegistryView::Native64}) {
      EXPECT_TRUE(Done(launcher_driver::SetBrowserVersion(
          {launcher_driver::VersionKind::Text, L"9.11.9600.18376", 0}, view)));
    }
    EXPECT_TRUE(NoCallFailed());
  }
};

}  // namespace preflight
