#include <gtest/gtest.h>

#include "app/failure_codes.h"
#include "app/fake_steps_for_test.h"
#include "app/harnex_app.h"
#include "cmdline/log.h"
#include "cmdline/log_for_test.h"

namespace {

using Calls = std::vector<std::string>;

struct Case {
  const char* name;
  const wchar_t* commandLine;
  void (*configure)(FakeStartupChecks&);
  uint32_t expectedCode;
  Calls expectedCalls;
};

const Calls kAllChecks = {"Verify", "Signer", "AdminRequired", "AdminMember", "Framework", "Msi", "FreeSpace"};

class StartupSequence : public ::testing::Test {
 protected:
  void SetUp() override { ResetLogForTest(); }
  void TearDown() override { ResetLogForTest(); }
};

TEST_F(StartupSequence, ChecksRunInOrderAndTheFirstFailureStopsThem) {
  const Case cases[] = {
      {"rejected command line", L"/IAgreeToTheEULA /?", [](FakeStartupChecks&) {}, kBadCommandLine, {}},
      {"unsigned, silent", L"/IAgreeToTheEULA", [](FakeStartupChecks& c) { c.verifyResult = 0x800B0100; },
       kSignatureRefused, {"Verify"}},
      {"unsigned, user says no", L"", [](FakeStartupChecks& c) { c.verifyResult = 0x80096010; }, kSignatureRefused,
       {"Verify", "Ask"}},
      {"not an administrator", L"/IAgreeToTheEULA", [](FakeStartupChecks& c) { c.administratorsMember = false; },
       kNotAdministrator, {"Verify", "Signer", "AdminRequired", "AdminMember"}},
      {"framework missing", L"/IAgreeToTheEULA", [](FakeStartupChecks& c) { c.frameworkOk = false; },
       kFrameworkMissing, {"Verify", "Signer", "AdminRequired", "AdminMember", "Framework"}},
      {"framework missing, rights not demanded", L"/IAgreeToTheEULA",
       [](FakeStartupChecks& c) {
         c.administratorRequired = false;
         c.administratorsMember = false;
         c.frameworkOk = false;
       },
       kFrameworkMissing, {"Verify", "Signer", "AdminRequired", "Framework"}},
      {"old Windows Installer", L"/IAgreeToTheEULA", [](FakeStartupChecks& c) { c.windowsInstallerOk = false; },
       kWindowsInstallerTooOld, {"Verify", "Signer", "AdminRequired", "AdminMember", "Framework", "Msi"}},
      {"too little disk space", L"/IAgreeToTheEULA", [](FakeStartupChecks& c) { c.freeSpaceOk = false; },
       kInsufficientDiskSpace, kAllChecks},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetLogForTest();
    FakeStartupChecks checks;
    FakeInstallationSteps steps;
    c.configure(checks);
    CHarnexInstallerApp app;
    app.UseStartupChecks(&checks);
    app.UseInstallationSteps(&steps);
    app.m_lpCmdLine = c.commandLine;

    EXPECT_EQ(app.RunStartupSequence(), c.expectedCode);
    EXPECT_EQ(checks.calls, c.expectedCalls);
    EXPECT_TRUE(steps.calls.empty()) << "the worker must not start";
    EXPECT_EQ(app.m_hFinishedEvent, nullptr);
    std::wstring log = PendingLogTextForTest();
    EXPECT_EQ(log.find(L"Started ") != std::wstring::npos, c.expectedCode != kBadCommandLine) << log.c_str();
    EXPECT_EQ(log.find(L"Not signed correctly so failing now!\n") != std::wstring::npos,
              checks.verifyResult != 0 && app.m_bSilent);
  }
}

TEST_F(StartupSequence, AcceptedUnsignedFileGoesOnAndTheWorkerRuns) {
  FakeStartupChecks checks;
  checks.verifyResult = 0x800B0100;
  checks.continueUnverified = true;
  FakeInstallationSteps steps;
  CHarnexInstallerApp app;
  app.UseStartupChecks(&checks);
  app.UseInstallationSteps(&steps);
  app.m_lpCmdLine = L"/dontrun";

  EXPECT_EQ(app.RunStartupSequence(), 0u);
  Calls expected = {"Verify", "Ask", "Signer", "AdminRequired", "AdminMember", "Framework", "Msi", "FreeSpace"};
  EXPECT_EQ(checks.calls, expected);
  EXPECT_EQ(steps.calls, (Calls{"Probe C:", "Info", "Extract", "Remove"}));
  EXPECT_NE(app.m_hFinishedEvent, nullptr);
  EXPECT_EQ(WaitForSingleObject(app.m_hFinishedEvent, 0), WAIT_OBJECT_0);
}

TEST_F(StartupSequence, WorkerResultIsTheSequenceResult) {
  FakeStartupChecks checks;
  FakeInstallationSteps steps;
  steps.extractResult = kSizeMismatch;
  CHarnexInstallerApp app;
  app.UseStartupChecks(&checks);
  app.UseInstallationSteps(&steps);
  app.m_lpCmdLine = L"/IAgreeToTheEULA";

  EXPECT_EQ(app.RunStartupSequence(), kSizeMismatch);
  EXPECT_EQ(app.m_nWorkerResult, static_cast<int32_t>(kSizeMismatch));
  // The worker reads the command line again, now with the program name the signer step set.
  std::wstring log = PendingLogTextForTest();
  EXPECT_NE(log.find(L"Command line params /IAgreeToTheEULA OV_I=\"\" \n"), std::wstring::npos) << log.c_str();
  EXPECT_NE(log.find(L"Run Embedded Resources \nCommand line params /IAgreeToTheEULA OV_I=\"Mini\" \n"),
            std::wstring::npos)
      << log.c_str();
}

TEST_F(StartupSequence, SilentFailureIsLoggedNotShown) {
  FakeStartupChecks checks;
  checks.administratorsMember = false;
  CHarnexInstallerApp app;
  app.UseStartupChecks(&checks);
  app.m_lpCmdLine = L"/IAgreeToTheEULA";

  EXPECT_FALSE(app.InitInstance());
  std::wstring log = PendingLogTextForTest();
  const std::wstring tail = L"You need local administrator privileges to run Pallador.\n";
  ASSERT_GE(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
}

TEST(ExitCode, WorkerFailureThenStartupFailureThenFrontEndExitCode) {
  struct Case {
    int32_t workerResult;
    uint32_t startupResult;
    uint32_t frontEndExitCode;
    uint32_t expected;
  } cases[] = {
      {0, 0, 0, 0},
      {0, 0, 5, 5},                                   // the front end's exit code
      {static_cast<int32_t>(0x80040167), 0x80040167, 0, 0x80040167},  // the worker's failure
      {1, 1, 7, 1},                                   // the worker's 1 wins over the front end
      {0, kNotAdministrator, 0, kNotAdministrator},   // a run that could not start never reports success
      {0, kBadCommandLine, 0, kBadCommandLine},
      {0, 1, 0, 0},
  };
  for (const Case& c : cases) {
    ResetLogForTest();
    CHarnexInstallerApp app;
    app.m_nWorkerResult = c.workerResult;
    app.m_nStartupResult = c.startupResult;
    app.m_nExitCode = c.frontEndExitCode;
    EXPECT_EQ(static_cast<uint32_t>(app.ExitInstance()), c.expected) << std::hex << c.startupResult;
    EXPECT_EQ(PendingLogTextForTest().rfind(L"Ended ", 0), 0u);
  }
  ResetLogForTest();
}

}  // namespace
