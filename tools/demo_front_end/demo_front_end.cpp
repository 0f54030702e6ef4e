// A stand-in front end for demonstration payloads: shows the command line and current folder it
// received, and exits 0 when its window is closed or after a timeout (seconds), given as the
// argument "timeout=N" or in the environment variable HARNEX_DEMO_TIMEOUT.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

constexpr UINT_PTR kTimeoutTimer = 1;

std::wstring g_text;

UINT TimeoutSeconds(const wchar_t* commandLine) {
  const wchar_t* argument = std::wcsstr(commandLine, L"timeout=");
  if (argument != nullptr) return static_cast<UINT>(_wtoi(argument + 8));
  wchar_t value[32] = {};
  if (GetEnvironmentVariableW(L"HARNEX_DEMO_TIMEOUT", value, 32) > 0) return static_cast<UINT>(_wtoi(value));
  return 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT area;
      GetClientRect(window, &area);
      InflateRect(&area, -12, -12);
      HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      DrawTextW(dc, g_text.c_str(), -1, &area, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
      SelectObject(dc, old);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kTimeoutTimer) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  const wchar_t* commandLine = GetCommandLineW();
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  g_text = std::wstring(L"Demo front end\n\nCommand line:\n") + commandLine + L"\n\nCurrent folder:\n" + folder;

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"HarnexDemoFrontEnd";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Pallador (demo front end)", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 640, 320, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  UINT timeout = TimeoutSeconds(commandLine);
  if (timeout > 0) SetTimer(window, kTimeoutTimer, timeout * 1000, nullptr);
  ShowWindow(window, show);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
