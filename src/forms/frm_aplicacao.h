// The business installer window: explains the support agent and starts its installer.
#pragma once

#include "launch/start_installer.h"
#include "forms/form.h"

namespace kavrio {

extern const FormSpec kFrmAplicacao;

class FrmAplicacao final : public Form {
 public:
  FrmAplicacao(WindowSystem& windows, const LaunchContext& launch);
  void OnPress(std::size_t controlIndex) override;

 private:
  WindowSystem& windows_;
  const LaunchContext& launch_;
};

}  // namespace kavrio
