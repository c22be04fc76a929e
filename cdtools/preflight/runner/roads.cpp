#include "roads.h"

#include "launch/launch_folder.h"
#include "road_table.h"

namespace preflight {

namespace {

// Every step can be done: a button that its window holds, Enter only on the message box,
// and the close box only on one of the launcher's forms.
constexpr bool CanBeDone(const RoadStep& step) {
  switch (step.action) {
    case Action::Press:
      return ButtonText(step.screen, step.control) != nullptr;
    case Action::Close:
      return step.screen != Screen::RestartWarning && step.control == nullptr;
    case Action::Enter:
      return step.screen == Screen::RestartWarning && step.control == nullptr;
  }
  return false;
}

constexpr bool IsLaunchersInstaller(const char16_t* suffix) {
  return suffix == nullptr || SameText(suffix, kavrio::kHomeSetupSuffix) ||
         SameText(suffix, kavrio::kSupportAgentSetupSuffix) ||
         SameText(suffix, kavrio::kBrowserSetupSuffix);
}

constexpr bool EveryRoadCanBeDriven() {
  for (const RoadDefinition& road : kRoadTable) {
    if (!IsLaunchersInstaller(road.installer)) return false;
    for (const RoadStep& step : road) {
      if (!CanBeDone(step)) return false;
    }
  }
  return true;
}

static_assert(EveryRoadCanBeDriven(),
              "roads.json names a control, an action or an installer that the launcher lacks");

}  // namespace

const RoadDefinition* RoadNamed(const std::wstring& name) {
  for (const RoadDefinition& road : kRoadTable) {
    if (name == road.name) return &road;
  }
  return nullptr;
}

std::wstring InstallerOf(const RoadDefinition& road) {
  return road.installer ? launcher_driver::OnTheCd(road.installer) : L"";
}

}  // namespace preflight
