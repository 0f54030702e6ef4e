#include "framework/app.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

int CWinApp::Run() {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return ExitInstance();
}

CWinApp* AfxGetApp() { return g_app; }

const wchar_t* SkipProgramName(const wchar_t* commandLine) {
  const wchar_t* p = commandLine;
  if (p == nullptr) return L"";
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

int AfxWinMain(HINSTANCE instance) {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  app->m_hInstance = instance;
  app->m_lpCmdLine = SkipProgramName(::GetCommandLineW());
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}
