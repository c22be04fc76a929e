// The browser prompt: shown in place of the menu when no recent browser is installed. Yes
// warns of the restart and starts the browser setup from the CD; No ends the program.
#pragma once

#include "forms/form.h"

namespace kavrio {

extern const FormSpec kFrmIE;
extern const char kRestartWarning[];

class FrmIE final : public LauncherForm {
 public:
  FrmIE(WindowSystem& windows, const LaunchContext& launch);
  void OnPress(std::size_t controlIndex) override;
};

}  // namespace kavrio
