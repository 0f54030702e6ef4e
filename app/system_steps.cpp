// The program's real installation steps. Steps whose subsystems are not built yet answer success
// here, each in its one place.
#include "app/harnex_app.h"
#include "app/installation.h"

namespace {

class CSystemInstallationSteps : public IInstallationSteps {
 public:
  uint32_t ProbeFolder(const std::wstring&) override { return 0; }  // payload not built yet
  uint32_t PromptForTempFolder(CHarnexInstallerApp&, std::wstring&) override { return 0; }
  uint32_t WriteEmbeddedInformation(CHarnexInstallerApp&) override { return 0; }
  uint32_t ExtractPayload(CHarnexInstallerApp&, std::wstring& frontEndPath) override {
    frontEndPath.clear();
    return 0;
  }
  uint32_t LaunchFrontEnd(CHarnexInstallerApp&, const std::wstring&, const std::wstring&, uint32_t& exitCode) override {
    exitCode = 0;  // the launch is not built yet
    return 0;
  }
  uint32_t RemoveWorkFolder(CHarnexInstallerApp&) override { return 0; }
};

}  // namespace

IInstallationSteps& SystemInstallationSteps() {
  static CSystemInstallationSteps steps;
  return steps;
}
