// Baseline for scripts/bench-extract: copies one file with the system's own copy, as a GUI
// program like the bootstrapper, so both pay the same process start-up under Wine.
//
//   plain-copy.exe SOURCE DESTINATION
//
// Exit code 0, 2 for a bad command line, or the system error number of the failed copy.
#include <windows.h>

#include <cstdlib>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (__argc != 3) return 2;
  if (!::CopyFileW(__wargv[1], __wargv[2], FALSE)) return static_cast<int>(::GetLastError());
  return 0;
}
