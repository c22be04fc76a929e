// The business installer window: explains the support agent and starts its installer.
#pragma once

#include "forms/form.h"

namespace kavrio {

extern const FormSpec kFrmAplicacao;

class FrmAplicacao final : public LauncherForm {
 public:
  FrmAplicacao(WindowSystem& windows, const LaunchContext& launch);
  void OnPress(std::size_t controlIndex) override;
};

}  // namespace kavrio
