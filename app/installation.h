// The installation run on the worker thread and the steps it is made of.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class CHarnexInstallerApp;

class IInstallationSteps {
 public:
  virtual ~IInstallationSteps() = default;
  virtual uint32_t ProbeFolder(const std::wstring& baseFolder) = 0;
  virtual uint32_t PromptForTempFolder(CHarnexInstallerApp& app, std::wstring& tempBase) = 0;
  virtual uint32_t WriteEmbeddedInformation(CHarnexInstallerApp& app) = 0;
  virtual uint32_t ExtractPayload(CHarnexInstallerApp& app, std::wstring& frontEndPath) = 0;
  virtual uint32_t LaunchFrontEnd(CHarnexInstallerApp& app, const std::wstring& frontEndPath,
                                  const std::wstring& frontEndArgs, uint32_t& exitCode) = 0;
  virtual uint32_t RemoveWorkFolder(CHarnexInstallerApp& app) = 0;
};

// The program's own steps: the payload, the launch and the removal.
IInstallationSteps& SystemInstallationSteps();

// The worker thread's procedure; `parameter` is the application object.
DWORD WINAPI InstallThreadProc(LPVOID parameter);

// The run: settles the base folder, writes the payload, starts the front end, removes the work
// folder. Returns the run's failure code; `exitCode` receives the front end's exit code.
uint32_t RunInstallation(CHarnexInstallerApp& app, uint32_t& exitCode);
