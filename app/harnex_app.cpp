#include "app/harnex_app.h"

#include <commctrl.h>
#include <objbase.h>

#include "app/failure_codes.h"
#include "app/failure_report.h"
#include "app/installation.h"
#include "app/startup_checks.h"
#include "app/wait_for_worker.h"
#include "cmdline/log.h"
#include "cmdline/read_command_line.h"
#include "framework/handle.h"
#include "framework/strings.h"
#include "prereq/host_checks.h"
#include "res/resource.h"

CHarnexInstallerApp::CHarnexInstallerApp()
    : m_strRequiredFramework(L"Unknown .NET Version"),
      m_pChecks(&SystemStartupChecks()),
      m_pSteps(&SystemInstallationSteps()) {}

CHarnexInstallerApp::~CHarnexInstallerApp() = default;

bool CHarnexInstallerApp::InitInstance() {
  uint32_t code = RunStartupSequence();
  if ((code != 0 && code != 1) || m_nExitCode != 0) ReportFailure(code);
  return false;
}

uint32_t CHarnexInstallerApp::RunStartupSequence() {
  m_nOpenPrompts = 0;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
  ::InitCommonControlsEx(&controls);
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  uint32_t code = ReadCommandLine();
  if (code == 0) {
    LogFormat(L"Started %ld\n", static_cast<long>(::GetTickCount()));
    wchar_t modulePath[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
    std::wstring outcome;
    if (m_pChecks->VerifyFileSignature(modulePath, outcome) != 0) {
      if (m_bSilent) {
        LogText(L"Not signed correctly so failing now!\n");
        code = kSignatureRefused;
      } else if (!m_pChecks->AskToContinueUnverified(*this, outcome)) {
        code = kSignatureRefused;
      }
      m_pMainWnd = nullptr;
    }
  }
  if (code == 0) m_pChecks->LogSignerDetails(*this);
  if (code == 0) {
    if (m_pChecks->IsAdministratorRequired() && !m_pChecks->IsAdministratorsMember()) {
      code = kNotAdministrator;
    } else if (!m_pChecks->CheckFrameworkRequirement(*this)) {
      code = kFrameworkMissing;
    } else if (!m_pChecks->IsWindowsInstallerSufficient()) {
      code = kWindowsInstallerTooOld;
    } else if (!m_pChecks->CheckFreeSpace(*this)) {
      code = kInsufficientDiskSpace;
    }
  }
  if (code == 0) code = StartWorker();
  m_nStartupResult = code;
  return code;
}

namespace {

// The calling thread's last error as a failure code, or kUnexpectedFailure when there is none.
uint32_t LastErrorCode() {
  DWORD error = ::GetLastError();
  return error != 0 ? error : kUnexpectedFailure;
}

}  // namespace

uint32_t CHarnexInstallerApp::StartWorker() {
  // Without both events or the thread the wait could never end: report the system's reason.
  m_hFinishedEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (m_hFinishedEvent == nullptr) return LastErrorCode();
  m_hStartedEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (m_hStartedEvent == nullptr) return LastErrorCode();

  // No handle to the thread is kept: the finished event is the only sign of its end.
  harnex::UniqueHandle thread(::CreateThread(nullptr, 0, InstallThreadProc, this, 0, nullptr));
  if (!thread) return LastErrorCode();
  thread.reset();

  ISplash* splash = nullptr;  // the splash screen comes with the user interface
  HANDLE events[2] = {m_hStartedEvent, m_hFinishedEvent};
  uint32_t waitResult = WaitForWorker(events, 2, m_nOpenPrompts, splash);
  if (waitResult != 0) return waitResult;
  return static_cast<uint32_t>(m_nWorkerResult);
}

int CHarnexInstallerApp::ExitInstance() {
  if (m_nWorkerResult != 0) {
    m_nExitCode = static_cast<uint32_t>(m_nWorkerResult);
  } else if (m_nStartupResult != 0 && m_nStartupResult != 1) {
    m_nExitCode = m_nStartupResult;
  }
  LogFormat(L"Ended %ld\n", static_cast<long>(::GetTickCount()));
  CloseLog();
  return static_cast<int>(m_nExitCode);
}

uint32_t CHarnexInstallerApp::ReadCommandLine() {
  CommandLineHost host = GatherCommandLineHost(::IsAdministratorRequired());
  CommandLineOptions options;
  uint32_t code = ::ReadCommandLine((std::wstring(L"HarnexInstaller.exe ") + m_lpCmdLine).c_str(), m_strProgramName,
                                    host, options);
  m_bSilent = options.bSilent;
  m_bZeroGuid = options.bZeroGuid;
  m_bRemoveWorkFolder = options.bRemoveWorkFolder;
  m_bRunFrontEnd = options.bRunFrontEnd;
  m_strTempBase = options.strTempBase;
  m_strFrontEndArgs = options.strFrontEndArgs;
  return code;
}

void CHarnexInstallerApp::ReportFailure(uint32_t code) {
  FailureFacts facts;
  facts.code = code;
  facts.exitCode = m_nExitCode;
  facts.tempDrive = m_strTempDrive;
  facts.requiredMB = m_nRequiredMB;
  facts.requiredFramework = m_strRequiredFramework;
  facts.requiredServicePack = m_nRequiredServicePack;
  facts.frameworkFamily = m_nFrameworkFamily;
  facts.rawCommandLine = m_lpCmdLine;
  FailureMessage message = ChooseFailureMessage(facts, [](UINT id) { return harnex::LoadResString(id); });
  if (m_bSilent) {
    LogText(message.text.c_str());
    LogText(L"\n");
    return;
  }
  // Until the program's own message dialog exists, a system message box shows the text and link.
  std::wstring text = message.text;
  if (!message.link.empty()) text += L"\n\n" + message.link;
  ::MessageBoxW(nullptr, text.c_str(), harnex::LoadResString(IDS_PRODUCT_NAME).c_str(), MB_OK | MB_ICONERROR);
}
