// Driver steps as the Windows tier checks them: each one done, or the test fails naming the
// call that failed and its error.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "call_failure.h"

// EXPECT_TRUE(Done(SetLogPixels(96))) fails with "RegSetValueExW failed with error 5".
inline ::testing::AssertionResult Done(const std::wstring& failure) {
  if (failure.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << failure;
}

// No call failed that its caller could not answer (NoteFailedCall): checked as a test ends.
inline ::testing::AssertionResult NoCallFailed() {
  const std::vector<std::wstring> failed = launcher_driver::TakeFailedCalls();
  if (failed.empty()) return ::testing::AssertionSuccess();
  ::testing::AssertionResult result = ::testing::AssertionFailure();
  for (const std::wstring& failure : failed) result << failure << "\n";
  return result;
}
