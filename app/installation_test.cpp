#include "app/installation.h"

#include <gtest/gtest.h>

#include "app/failure_codes.h"
#include "app/fake_steps_for_test.h"
#include "cmdline/log_for_test.h"

namespace {

using Calls = std::vector<std::string>;

TEST(RunInstallation, StepsFollowTheirResults) {
  struct Case {
    const char* name;
    const wchar_t* commandLine;
    void (*configure)(FakeInstallationSteps&);
    uint32_t expectedCode;
    uint32_t expectedExitCode;
    Calls expectedCalls;
    const wchar_t* removeLine;  // nullptr: no "Remove folder" line at all
  } cases[] = {
      {"normal run", L"", [](FakeInstallationSteps&) {}, 0, 0,
       {"Probe C:", "Info", "Extract", "Launch C:\\work\\front.exe", "Remove"}, L"Remove folder 'Yes'\n"},
      {"front end exit code", L"", [](FakeInstallationSteps& s) { s.frontEndExitCode = 5; }, 0, 5,
       {"Probe C:", "Info", "Extract", "Launch C:\\work\\front.exe", "Remove"}, L"Remove folder 'Yes'\n"},
      {"user names another folder", L"",
       [](FakeInstallationSteps& s) { s.probeResults = {kPayloadFailure, 0}; }, 0, 0,
       {"Probe C:", "Prompt", "Probe D:\\", "Info", "Extract", "Launch C:\\work\\front.exe", "Remove"},
       L"Remove folder 'Yes'\n"},
      {"prompt refused", L"",
       [](FakeInstallationSteps& s) {
         s.probeResults = {kPayloadFailure};
         s.promptResult = 0x80004004;
       },
       0x80004004, 0, {"Probe C:", "Prompt"}, nullptr},
      {"second probe fails too", L"", [](FakeInstallationSteps& s) { s.probeResults = {kPayloadFailure}; },
       kPayloadFailure, 0, {"Probe C:", "Prompt", "Probe D:\\"}, nullptr},
      {"extraction fails", L"", [](FakeInstallationSteps& s) { s.extractResult = kSizeMismatch; }, kSizeMismatch, 0,
       {"Probe C:", "Info", "Extract", "Remove"}, L"Remove folder 'Yes'\n"},
      {"launch fails", L"", [](FakeInstallationSteps& s) { s.launchResult = kFrontEndStartFailure; },
       kFrontEndStartFailure, 0, {"Probe C:", "Info", "Extract", "Launch C:\\work\\front.exe", "Remove"},
       L"Remove folder 'Yes'\n"},
      {"dontrun", L"/dontrun", [](FakeInstallationSteps& s) { s.frontEndExitCode = 9; }, 0, 0,
       {"Probe C:", "Info", "Extract", "Remove"}, L"Remove folder 'Yes'\n"},
      {"keep", L"-keep", [](FakeInstallationSteps&) {}, 0, 0,
       {"Probe C:", "Info", "Extract", "Launch C:\\work\\front.exe"}, L"Remove folder 'No'\n"},
      {"command line rejected", L"/log x", [](FakeInstallationSteps&) {}, kBadCommandLine, 0, {}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetLogForTest();
    FakeStartupChecks checks;
    FakeInstallationSteps steps;
    c.configure(steps);
    CHarnexInstallerApp app;
    app.UseStartupChecks(&checks);
    app.UseInstallationSteps(&steps);
    app.m_lpCmdLine = c.commandLine;
    app.m_nExitCode = 77;

    EXPECT_EQ(RunInstallation(app, app.m_nExitCode), c.expectedCode);
    EXPECT_EQ(app.m_nExitCode, c.expectedExitCode);
    EXPECT_EQ(steps.calls, c.expectedCalls);
    std::wstring log = PendingLogTextForTest();
    EXPECT_EQ(log.rfind(L"Run Embedded Resources \n", 0), 0u) << log.c_str();
    size_t remove = log.find(L"Remove folder '");
    if (c.removeLine == nullptr) {
      EXPECT_EQ(remove, std::wstring::npos) << log.c_str();
    } else {
      EXPECT_EQ(log.substr(remove), c.removeLine) << log.c_str();
    }
  }
  ResetLogForTest();
}

}  // namespace
