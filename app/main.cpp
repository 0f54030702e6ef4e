#include <windows.h>

#include "app/harnex_app.h"
#include "framework/system_library.h"

// The one application object, constructed before the entry runs.
CHarnexInstallerApp theApp;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  harnex::RestrictDllSearchToSystem();
  return AfxWinMain(instance);
}
