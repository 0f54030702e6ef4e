// The application object: the run's switches, paths, figures, events and results, and the two
// hooks through which the framework drives the process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "framework/app.h"

#include "payload/catalogue.h"

class IStartupChecks;
class IInstallationSteps;

class CHarnexInstallerApp : public CWinApp {
 public:
  CHarnexInstallerApp();
  ~CHarnexInstallerApp() override;

  bool InitInstance() override;  // the startup sequence; always false
  int ExitInstance() override;   // the process exit code

  // Steps 1 to 11 of the startup sequence: the failure code it ends with (0 when the worker ran
  // and succeeded).
  uint32_t RunStartupSequence();

  // Reads the command line (again, on the worker) into the switch fields; 0 or kBadCommandLine.
  uint32_t ReadCommandLine();

  // Turns `code` into the user's message: shown, or logged in a silent run.
  void ReportFailure(uint32_t code);

  // Replaces the platform answers of the startup sequence and the steps of the worker run.
  // Tests only: the program itself always uses the real ones.
  void UseStartupChecks(IStartupChecks* checks) { m_pChecks = checks; }
  void UseInstallationSteps(IInstallationSteps* steps) { m_pSteps = steps; }
  IInstallationSteps& Steps() { return *m_pSteps; }

  int32_t m_nWorkerResult = 0;
  uint32_t m_nExitCode = 0;
  volatile LONG m_nOpenPrompts = 0;
  HANDLE m_hFinishedEvent = nullptr;
  HANDLE m_hStartedEvent = nullptr;
  bool m_bZeroGuid = false;
  bool m_bRemoveWorkFolder = true;
  bool m_bRunFrontEnd = true;
  bool m_bSilent = false;
  std::wstring m_strProgramName;
  std::wstring m_strTempBase;
  std::wstring m_strFrontEndArgs;
  Catalogue m_resources;  // the payload catalogue, head first
  long long m_nRequiredMB = 0;
  long long m_nFreeMB = 0;
  std::wstring m_strTempDrive;
  std::wstring m_strRequiredFramework;
  long m_nRequiredServicePack = 0;
  long m_nFrameworkFamily = 2;

  // A failure of the startup sequence itself (before the worker ran); it becomes the exit code
  // when it is neither 0 nor 1, so a run that could not start never reports success.
  uint32_t m_nStartupResult = 0;

 private:
  uint32_t StartWorker();

  IStartupChecks* m_pChecks;
  IInstallationSteps* m_pSteps;
};
