// A control that cannot be made: the launcher reports it, as it does a window that cannot be
// made, and ends; no window is shown with a control missing. The refusal comes from a CBT hook
// (refuse_control.cpp) set for the whole desktop, which Windows loads into the launcher.
#include "error_report.h"
#include "road.h"

namespace e2e {
namespace {

struct Refusal {
  const char* name;
  const wchar_t* control;  // the text of the control that is not made
  bool prompt;             // on the prompt road, else on the menu road
  bool business;           // after the menu's "Kavrio Business"
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class RefusedControl : public Road, public ::testing::WithParamInterface<Refusal> {
 protected:
  void SetUp() override {
    Road::SetUp();
    SetEnvironmentVariableW(L"KAVRIO_REFUSED_CONTROL", GetParam().control);
    module_ = LoadLibraryW((win_tier::ExeFolder() + L"\\refuse_control.dll").c_str());
    ASSERT_NE(module_, nullptr);
    const auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, "RefuseControl")));
    ASSERT_NE(hook, nullptr);
    hook_ = SetWindowsHookExW(WH_CBT, hook, module_, 0);
    ASSERT_NE(hook_, nullptr);
  }
  void TearDown() override {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (module_) FreeLibrary(module_);
    SetEnvironmentVariableW(L"KAVRIO_REFUSED_CONTROL", nullptr);
    Road::TearDown();
  }

 private:
  HMODULE module_ = nullptr;
  HHOOK hook_ = nullptr;
};

TEST_P(RefusedControl, IsReportedWithItsNumberAndTheProgramEnds) {
  const Refusal& refusal = GetParam();
  if (refusal.prompt) {
    ASSERT_TRUE(Done(SetBrowserVersion({VersionKind::Text, L"5.0", 0})));
  }
  ASSERT_TRUE(Done(StartLauncher(launcher)));
  if (refusal.business) {
    HWND menu = WaitForForm(launcher.process.id, L"Kavrio Business");
    ASSERT_NE(menu, nullptr);
    ClickCentre(ButtonOf(menu, L"Kavrio Business"));
  }
  ExpectReportThenEnd(launcher, L"1158: CreateWindowEx");
}

INSTANTIATE_TEST_SUITE_P(
    EachWindow, RefusedControl,
    ::testing::Values(Refusal{"MenuButtonInAFrame", L"Kavrio Business", false, false},
                      Refusal{"PromptHeading", L"Impossível iniciar o instalador Kavrio", true,
                              false},
                      Refusal{"BusinessButton", L"&Avançar", false, true}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
