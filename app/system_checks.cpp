// The program's real answers to the startup sequence. Steps whose subsystems are not built yet
// answer success here, each in its one place.
#include <windows.h>

#include "app/harnex_app.h"
#include "app/startup_checks.h"
#include "cmdline/log.h"
#include "framework/strings.h"
#include "payload/free_space.h"
#include "prereq/framework_requirement.h"
#include "prereq/host_checks.h"
#include "res/resource.h"

namespace {

class CSystemStartupChecks : public IStartupChecks {
 public:
  uint32_t VerifyFileSignature(const std::wstring&, std::wstring& outcome) override {
    outcome.clear();  // signature verification is not built yet
    return 0;
  }
  void LogSignerDetails(CHarnexInstallerApp& app) override {
    // Without signer details the program name is the build's default one.
    app.m_strProgramName = harnex::LoadResString(IDS_DEFAULT_PROGRAM_NAME);
  }
  bool IsAdministratorRequired() override { return ::IsAdministratorRequired(); }
  bool IsAdministratorsMember() override { return ::IsAdministratorsMember(); }
  bool CheckFrameworkRequirement(CHarnexInstallerApp& app) override {
    return EvaluateFrameworkRequirement(LogText, app.m_strRequiredFramework, app.m_nFrameworkFamily,
                                        app.m_nRequiredServicePack);
  }
  bool IsWindowsInstallerSufficient() override { return ::IsWindowsInstallerSufficient(); }
  bool CheckFreeSpace(CHarnexInstallerApp& app) override {
    FreeSpaceFigures figures;
    bool enough = ::CheckFreeSpace(figures);
    app.m_nRequiredMB = figures.requiredMB;
    app.m_nFreeMB = figures.freeMB;
    app.m_strTempDrive = figures.tempDrive;
    return enough;
  }
  bool AskToContinueUnverified(CHarnexInstallerApp&, const std::wstring& outcome) override {
    std::wstring product = harnex::LoadResString(IDS_PRODUCT_NAME);
    std::wstring caption = harnex::FormatString(harnex::LoadResString(IDS_VERIFY_QUESTION).c_str(), product.c_str());
    return ::MessageBoxW(nullptr, outcome.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
  }
};

}  // namespace

IStartupChecks& SystemStartupChecks() {
  static CSystemStartupChecks checks;
  return checks;
}
