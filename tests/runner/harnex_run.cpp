// Windows-side runner for the end-to-end tests: starts a program with an exact raw command line,
// waits for it and prints its full 32-bit exit code (a Linux shell sees only the low 8 bits).
//
//   harnex-run.exe [--hold-exclusive PATH] [--post-quit] [--answer-prompt TEXT | --cancel-prompt] PROGRAM
//
// The raw arguments come from the environment variable HARNEX_RUN_ARGS, passed on unchanged after
// the quoted program path. With --hold-exclusive the runner holds PATH open without sharing until
// the program starts its first thread of its own (its worker); with --post-quit it then posts a
// quit message to the program's main thread and keeps the worker suspended for a while, reporting
// whether the program stayed alive. Both use the debugging interface, which stops the whole
// program at each event, so the moments are exact. With --answer-prompt or --cancel-prompt the
// runner plays the user: it answers the program's drive prompt (types TEXT and presses OK, or
// presses Cancel) and acknowledges its message boxes, printing what each one showed.
#include <windows.h>

#include <string>
#include <vector>

namespace {

void Print(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void PrintF(const wchar_t* format, ...) {
  wchar_t buffer[1024];
  va_list args;
  va_start(args, format);
  _vsnwprintf(buffer, 1023, format, args);
  va_end(args);
  buffer[1023] = L'\0';
  Print(buffer);
}

struct Options {
  std::wstring holdPath;
  bool postQuit = false;
  bool playUser = false;
  bool cancelPrompt = false;
  std::wstring promptAnswer;
  std::wstring program;
};

constexpr int kDrivePromptEdit = 1005;

struct DialogSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindProcessDialog(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<DialogSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (owner != search.processId || !IsWindowVisible(window) || std::wstring(className) != L"#32770") return TRUE;
  search.found = window;
  return FALSE;
}

// GetWindowTextW does not ask a control of another process for its text: WM_GETTEXT does.
std::wstring TextOf(HWND window) {
  wchar_t text[2048] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied);
  return text;
}

// Answers one visible dialog of the process, if there is one; true when it answered.
bool AnswerDialog(const Options& options, DWORD processId) {
  DialogSearch search = {processId, nullptr};
  EnumWindows(FindProcessDialog, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return false;
  HWND dialog = search.found;
  HWND edit = GetDlgItem(dialog, kDrivePromptEdit);
  if (edit != nullptr) {
    PrintF(L"runner: prompt '%ls' showed '%ls'\n", TextOf(dialog).c_str(), TextOf(edit).c_str());
    if (!options.cancelPrompt) {
      SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(options.promptAnswer.c_str()), SMTO_ABORTIFHUNG,
                          5000, nullptr);
    }
    PostMessageW(GetDlgItem(dialog, options.cancelPrompt ? IDCANCEL : IDOK), BM_CLICK, 0, 0);
  } else {
    // A message box keeps its text in a static control with id 0xFFFF.
    PrintF(L"runner: message '%ls' showed '%ls'\n", TextOf(dialog).c_str(), TextOf(GetDlgItem(dialog, 0xFFFF)).c_str());
    HWND ok = GetDlgItem(dialog, IDOK);
    PostMessageW(ok != nullptr ? ok : GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
  }
  // Wait until the answered dialog is gone before looking again.
  for (int i = 0; i < 200 && IsWindow(dialog) && IsWindowVisible(dialog); ++i) Sleep(25);
  return true;
}

DWORD ImageSize(HANDLE process, const BYTE* base) {
  IMAGE_DOS_HEADER dos = {};
  IMAGE_NT_HEADERS32 nt = {};
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, base, &dos, sizeof(dos), &read)) return 0;
  if (!ReadProcessMemory(process, base + dos.e_lfanew, &nt, sizeof(nt), &read)) return 0;
  return nt.OptionalHeader.SizeOfImage;
}

// Runs the program under the debugging interface; returns false when it could not be followed.
bool RunDebugged(const Options& options, std::wstring& commandLine, DWORD& exitCode) {
  HANDLE held = INVALID_HANDLE_VALUE;
  if (!options.holdPath.empty()) {
    held = CreateFileW(options.holdPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
      PrintF(L"runner: cannot hold %ls (%lu)\n", options.holdPath.c_str(), GetLastError());
      return false;
    }
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr,
                      &startup, &info)) {
    PrintF(L"runner: cannot start (%lu)\n", GetLastError());
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    return false;
  }
  DWORD mainThread = info.dwThreadId;
  const BYTE* imageBase = nullptr;
  DWORD imageSize = 0;
  HANDLE suspended = nullptr;
  DWORD resumeAt = 0;
  bool exited = false;
  while (!exited) {
    DEBUG_EVENT event = {};
    DWORD timeout = suspended != nullptr ? 100 : INFINITE;
    if (!WaitForDebugEvent(&event, timeout)) {
      if (suspended != nullptr && GetTickCount() - resumeAt < 0x80000000u) {
        Print(L"runner: program stayed alive while its worker was suspended\n");
        ResumeThread(suspended);
        suspended = nullptr;
      }
      continue;
    }
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        imageBase = static_cast<const BYTE*>(event.u.CreateProcessInfo.lpBaseOfImage);
        imageSize = ImageSize(info.hProcess, imageBase);
        if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case CREATE_THREAD_DEBUG_EVENT: {
        auto start = reinterpret_cast<const BYTE*>(event.u.CreateThread.lpStartAddress);
        bool ownThread = start >= imageBase && start < imageBase + imageSize;
        if (ownThread && held != INVALID_HANDLE_VALUE) {
          CloseHandle(held);
          held = INVALID_HANDLE_VALUE;
          Print(L"runner: released the held file when the worker started\n");
        }
        if (ownThread && options.postQuit && resumeAt == 0) {
          if (!PostThreadMessageW(mainThread, WM_QUIT, 0, 0)) PrintF(L"runner: cannot post quit (%lu)\n", GetLastError());
          suspended = event.u.CreateThread.hThread;
          SuspendThread(suspended);
          resumeAt = GetTickCount() + 1000;
        }
        break;
      }
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT:
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) status = DBG_EXCEPTION_NOT_HANDLED;
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        if (suspended != nullptr) Print(L"runner: program ended while its worker was suspended\n");
        exitCode = event.u.ExitProcess.dwExitCode;
        exited = true;
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

bool RunPlain(const Options& options, std::wstring& commandLine, DWORD& exitCode) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    PrintF(L"runner: cannot start (%lu)\n", GetLastError());
    return false;
  }
  if (options.playUser) {
    // The user looks at the screen now and then until the program has ended.
    while (WaitForSingleObject(info.hProcess, 50) == WAIT_TIMEOUT) AnswerDialog(options, info.dwProcessId);
  } else {
    WaitForSingleObject(info.hProcess, INFINITE);
  }
  GetExitCodeProcess(info.hProcess, &exitCode);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--hold-exclusive" && i + 1 < argc) {
      options.holdPath = argv[++i];
    } else if (arg == L"--post-quit") {
      options.postQuit = true;
    } else if (arg == L"--answer-prompt" && i + 1 < argc) {
      options.playUser = true;
      options.promptAnswer = argv[++i];
    } else if (arg == L"--cancel-prompt") {
      options.playUser = true;
      options.cancelPrompt = true;
    } else if (options.program.empty()) {
      options.program = arg;
    } else {
      Print(L"runner: unexpected argument\n");
      return 2;
    }
  }
  if (options.program.empty()) {
    Print(L"usage: harnex-run.exe [--hold-exclusive PATH] [--post-quit] [--answer-prompt TEXT | --cancel-prompt] "
          L"PROGRAM (arguments in HARNEX_RUN_ARGS)\n");
    return 2;
  }
  std::wstring commandLine = L"\"" + options.program + L"\"";
  wchar_t args[32768];
  DWORD length = GetEnvironmentVariableW(L"HARNEX_RUN_ARGS", args, 32768);
  if (length > 0 && length < 32768) {
    commandLine += L" ";
    commandLine.append(args, length);
  }
  // The program must not inherit the variable meant for the runner.
  SetEnvironmentVariableW(L"HARNEX_RUN_ARGS", nullptr);

  DWORD exitCode = 0;
  bool debugged = !options.holdPath.empty() || options.postQuit;
  bool ran = debugged ? RunDebugged(options, commandLine, exitCode) : RunPlain(options, commandLine, exitCode);
  if (!ran) return 2;
  PrintF(L"exit code: 0x%08lX\n", exitCode);
  return 0;
}
