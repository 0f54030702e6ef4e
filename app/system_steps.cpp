// The program's real installation steps. Steps whose subsystems are not built yet answer success
// here, each in its one place.
#include "app/harnex_app.h"
#include "app/installation.h"
#include "payload/embedded_info.h"
#include "payload/extract.h"
#include "payload/remove.h"
#include "payload/temp_folder_prompt.h"
#include "payload/work_folder.h"

namespace {

class CSystemInstallationSteps : public IInstallationSteps {
 public:
  uint32_t ProbeFolder(const std::wstring& baseFolder) override { return ::ProbeFolder(baseFolder); }
  uint32_t PromptForTempFolder(CHarnexInstallerApp& app, std::wstring& tempBase) override {
    return ::PromptForTempFolder(app.m_bSilent, app.m_nOpenPrompts, tempBase);
  }
  uint32_t WriteEmbeddedInformation(CHarnexInstallerApp& app) override {
    SetWorkFolderZeroGuid(app.m_bZeroGuid);  // settled before the run's first GetWorkFolder
    return ::WriteEmbeddedInformation();
  }
  uint32_t ExtractPayload(CHarnexInstallerApp& app, std::wstring& frontEndPath) override {
    return ::ExtractPayload(app.m_hInstance, app.m_resources, frontEndPath);
  }
  uint32_t LaunchFrontEnd(CHarnexInstallerApp&, const std::wstring&, const std::wstring&, uint32_t& exitCode) override {
    exitCode = 0;  // the launch is not built yet
    return 0;
  }
  uint32_t RemoveWorkFolder(CHarnexInstallerApp& app) override { return ::RemoveWorkFolder(app.m_resources); }
};

}  // namespace

IInstallationSteps& SystemInstallationSteps() {
  static CSystemInstallationSteps steps;
  return steps;
}
