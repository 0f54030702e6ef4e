// The answers the startup sequence asks for, in the order it asks them.
#pragma once

#include <cstdint>
#include <string>

class CHarnexInstallerApp;

class IStartupChecks {
 public:
  virtual ~IStartupChecks() = default;
  // 0 when the file's signature verified; `outcome` describes the result.
  virtual uint32_t VerifyFileSignature(const std::wstring& path, std::wstring& outcome) = 0;
  virtual void LogSignerDetails(CHarnexInstallerApp& app) = 0;
  virtual bool IsAdministratorRequired() = 0;
  virtual bool IsAdministratorsMember() = 0;
  virtual bool CheckFrameworkRequirement(CHarnexInstallerApp& app) = 0;
  virtual bool IsWindowsInstallerSufficient() = 0;
  virtual bool CheckFreeSpace(CHarnexInstallerApp& app) = 0;
  // Asks whether to go on after a failed verification; true for Yes.
  virtual bool AskToContinueUnverified(CHarnexInstallerApp& app, const std::wstring& outcome) = 0;
};

// The program's own answers: the real checks of the machine and of the program's file.
IStartupChecks& SystemStartupChecks();
