#include <windows.h>

#include "framework/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) { return AfxWinMain(instance); }
