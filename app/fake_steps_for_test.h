// Recording stand-ins for the startup checks and the installation steps, for the unit tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/harnex_app.h"
#include "app/installation.h"
#include "app/startup_checks.h"

struct FakeStartupChecks : IStartupChecks {
  uint32_t verifyResult = 0;
  bool continueUnverified = false;
  bool administratorRequired = true;
  bool administratorsMember = true;
  bool frameworkOk = true;
  bool windowsInstallerOk = true;
  bool freeSpaceOk = true;
  std::vector<std::string> calls;

  uint32_t VerifyFileSignature(const std::wstring&, std::wstring& outcome) override {
    calls.push_back("Verify");
    outcome = L"outcome";
    return verifyResult;
  }
  void LogSignerDetails(CHarnexInstallerApp& app) override {
    calls.push_back("Signer");
    app.m_strProgramName = L"Mini";
  }
  bool IsAdministratorRequired() override { return calls.push_back("AdminRequired"), administratorRequired; }
  bool IsAdministratorsMember() override { return calls.push_back("AdminMember"), administratorsMember; }
  bool CheckFrameworkRequirement(CHarnexInstallerApp&) override { return calls.push_back("Framework"), frameworkOk; }
  bool IsWindowsInstallerSufficient() override { return calls.push_back("Msi"), windowsInstallerOk; }
  bool CheckFreeSpace(CHarnexInstallerApp&) override { return calls.push_back("FreeSpace"), freeSpaceOk; }
  bool AskToContinueUnverified(CHarnexInstallerApp&, const std::wstring&) override {
    return calls.push_back("Ask"), continueUnverified;
  }
};

struct FakeInstallationSteps : IInstallationSteps {
  std::vector<uint32_t> probeResults{0};  // one per probe, the last one repeating
  uint32_t promptResult = 0;
  std::wstring promptedFolder = L"D:\\";
  uint32_t extractResult = 0;
  uint32_t launchResult = 0;
  uint32_t frontEndExitCode = 0;
  std::vector<std::string> calls;
  size_t probes = 0;

  uint32_t ProbeFolder(const std::wstring& folder) override {
    calls.push_back("Probe " + std::string(folder.begin(), folder.end()));
    return probeResults[probes < probeResults.size() ? probes++ : probeResults.size() - 1];
  }
  uint32_t PromptForTempFolder(CHarnexInstallerApp&, std::wstring& tempBase) override {
    calls.push_back("Prompt");
    if (promptResult == 0) tempBase = promptedFolder;
    return promptResult;
  }
  uint32_t WriteEmbeddedInformation(CHarnexInstallerApp&) override { return calls.push_back("Info"), 0; }
  uint32_t ExtractPayload(CHarnexInstallerApp&, std::wstring& frontEndPath) override {
    calls.push_back("Extract");
    frontEndPath = L"C:\\work\\front.exe";
    return extractResult;
  }
  uint32_t LaunchFrontEnd(CHarnexInstallerApp&, const std::wstring& path, const std::wstring&,
                          uint32_t& exitCode) override {
    calls.push_back("Launch " + std::string(path.begin(), path.end()));
    exitCode = frontEndExitCode;
    return launchResult;
  }
  uint32_t RemoveWorkFolder(CHarnexInstallerApp&) override { return calls.push_back("Remove"), 0; }
};
