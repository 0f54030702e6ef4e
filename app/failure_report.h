// Turns a failure code into the message (and download link) the user is shown.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// What the failing steps left behind for the report.
struct FailureFacts {
  uint32_t code = 0;
  uint32_t exitCode = 0;  // the front end's exit code
  std::wstring tempDrive;
  long long requiredMB = 0;
  std::wstring requiredFramework;
  long requiredServicePack = 0;
  long frameworkFamily = 2;
  std::wstring rawCommandLine;
};

struct FailureMessage {
  std::wstring text;
  std::wstring link;  // empty unless a .NET Framework download is offered
};

// Chooses and formats the message for `facts`; `loadString` reads a string-table entry.
FailureMessage ChooseFailureMessage(const FailureFacts& facts, const std::function<std::wstring(UINT)>& loadString);

// The download address for a missing framework of `family`; empty when none is offered.
std::wstring FrameworkDownloadLink(long family, long requiredServicePack);
