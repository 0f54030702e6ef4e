// The application base: wWinMain drives a start hook and an end hook on the one application object.
#pragma once

#include <windows.h>

class CWnd {
 public:
  virtual ~CWnd() = default;
  HWND m_hWnd = nullptr;
};

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Start hook: true runs the message loop, false goes straight to the end hook.
  virtual bool InitInstance() { return true; }
  // End hook: its result becomes the process exit code.
  virtual int ExitInstance() { return 0; }
  // Message loop run when the start hook returns true; returns the end hook's result.
  virtual int Run();

  HINSTANCE m_hInstance = nullptr;  // the program's own module
  const wchar_t* m_lpCmdLine = L"";  // the raw command line after the program name
  CWnd* m_pMainWnd = nullptr;        // the window that counts as the application's main window
};

CWinApp* AfxGetApp();

// The text after the program name in a full command line, as the process received it: the first
// token (quoted or not) and the blanks after it are skipped.
const wchar_t* SkipProgramName(const wchar_t* commandLine);

// Called by wWinMain: fills the framework fields, runs the hooks, returns the exit code.
int AfxWinMain(HINSTANCE instance);
