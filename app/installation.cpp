#include "app/installation.h"

#include <objbase.h>

#include "app/harnex_app.h"
#include "cmdline/log.h"

DWORD WINAPI InstallThreadProc(LPVOID parameter) {
  auto& app = *static_cast<CHarnexInstallerApp*>(parameter);
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  app.m_nWorkerResult = static_cast<int32_t>(RunInstallation(app, app.m_nExitCode));
  ::SetEvent(app.m_hFinishedEvent);
  ::CoUninitialize();
  return 0;
}

uint32_t RunInstallation(CHarnexInstallerApp& app, uint32_t& exitCode) {
  IInstallationSteps& steps = app.Steps();
  LogText(L"Run Embedded Resources \n");
  exitCode = 0;
  app.m_strFrontEndArgs = app.m_lpCmdLine;
  uint32_t code = app.ReadCommandLine();
  if (code != 0) return code;

  // An unusable base folder gets one chance at another one from the user.
  code = steps.ProbeFolder(app.m_strTempBase);
  if (code != 0) {
    code = steps.PromptForTempFolder(app, app.m_strTempBase);
    if (code == 0) code = steps.ProbeFolder(app.m_strTempBase);
  }
  if (code != 0) return code;

  steps.WriteEmbeddedInformation(app);
  std::wstring frontEndPath;
  code = steps.ExtractPayload(app, frontEndPath);
  if (app.m_bRunFrontEnd && code == 0) code = steps.LaunchFrontEnd(app, frontEndPath, app.m_strFrontEndArgs, exitCode);

  LogFormat(L"Remove folder '%s'\n", app.m_bRemoveWorkFolder ? L"Yes" : L"No");
  if (app.m_bRemoveWorkFolder) steps.RemoveWorkFolder(app);
  return code;
}
