#include "cmdline/read_command_line.h"

#include <windows.h>

#include <vector>

#include "cmdline/command_line_info.h"
#include "cmdline/log.h"

namespace {

constexpr DWORD kHostBufferUnits = 1024;
constexpr DWORD kFullPathUnits = 261;  // 260 characters and the terminator

// The absolute form of `value` under the current folder and drive; an empty value is the current
// folder itself. False when the platform fails or the result does not fit kFullPathUnits.
bool MakeAbsolute(const std::wstring& value, std::wstring& absolute) {
  wchar_t buffer[kFullPathUnits];
  const DWORD length = ::GetFullPathNameW(value.empty() ? L"." : value.c_str(), kFullPathUnits, buffer, nullptr);
  if (length == 0 || length >= kFullPathUnits) return false;
  absolute.assign(buffer, length);
  return true;
}

// The path in the thread's ANSI code page, or false when a character has no exact equivalent
// there: a best-fit substitute ("/" for a division slash, "A" for an A with macron) would open a
// different file than the one named.
bool ToThreadAnsiPath(const std::wstring& path, std::string& ansi) {
  ansi.clear();
  if (path.empty()) return false;
  std::vector<char> buffer((path.size() + 1) * 2);
  const int units = static_cast<int>(path.size());
  const int capacity = static_cast<int>(buffer.size());
  BOOL usedDefault = FALSE;
  int written = ::WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, path.c_str(), units, buffer.data(), capacity,
                                      nullptr, &usedDefault);
  if (written == 0 && (::GetLastError() == ERROR_INVALID_FLAGS || ::GetLastError() == ERROR_INVALID_PARAMETER)) {
    // A UTF-8 code page takes neither option, and needs neither: it represents every character.
    usedDefault = FALSE;
    written = ::WideCharToMultiByte(CP_THREAD_ACP, 0, path.c_str(), units, buffer.data(), capacity, nullptr, nullptr);
  }
  if (written <= 0 || usedDefault) return false;
  ansi.assign(buffer.data(), static_cast<size_t>(written));
  return true;
}

// The absolute form of path switch `name`'s value, in `absolute` with `resolved` set when the
// switch is present. A switch written as a flag, or a value that cannot be made absolute,
// rejects the command line.
uint32_t ResolvePathSwitch(const CCommandLineInfoEx& info, const wchar_t* name, bool& resolved, std::wstring& absolute) {
  resolved = false;
  absolute.clear();
  if (info.IsGivenAsFlag(name)) return kBadCommandLine;
  std::wstring value;
  if (!info.GetSwitchValue(name, value)) return 0;
  if (!MakeAbsolute(value, absolute)) return kBadCommandLine;
  resolved = true;
  return 0;
}

}  // namespace

CommandLineHost GatherCommandLineHost(bool administratorRequired) {
  CommandLineHost host;
  host.administratorRequired = administratorRequired;
  wchar_t buffer[kHostBufferUnits];
  if (administratorRequired) {
    const DWORD length = ::GetEnvironmentVariableW(L"SystemDrive", buffer, kHostBufferUnits);
    if (length > 0 && length < kHostBufferUnits) host.systemDrive.assign(buffer, length);
  } else {
    const DWORD length = ::GetTempPathW(kHostBufferUnits, buffer);
    if (length > 0 && length < kHostBufferUnits) host.tempPath.assign(buffer, length);
  }
  return host;
}

uint32_t ReadCommandLine(const wchar_t* fullCommandLine, const std::wstring& programName, const CommandLineHost& host,
                         CommandLineOptions& out) {
  CCommandLineInfoEx info;
  ParseCommandLineArguments(info, SplitCommandLine(fullCommandLine));

  out = CommandLineOptions();
  out.strTempBase = L"C:\\";
  uint32_t result = 0;

  if (host.administratorRequired) {
    if (!host.systemDrive.empty()) out.strTempBase = host.systemDrive;
  } else {
    out.strTempBase = host.tempPath;
  }

  if (info.IsSwitchOn(L"IAgreeToTheEULA")) out.bSilent = true;
  if (info.IsSwitchOn(L"dontrun")) {
    out.bRunFrontEnd = false;
    info.RemoveSwitch(L"dontrun");
  }
  if (info.IsSwitchOn(L"zeroguid")) {
    out.bZeroGuid = true;
    info.RemoveSwitch(L"zeroguid");
  }
  if (info.IsSwitchOn(L"keep")) {
    out.bRemoveWorkFolder = false;
    info.RemoveSwitch(L"keep");
  }

  bool resolved = false;
  std::wstring absolute;
  uint32_t code = ResolvePathSwitch(info, L"extract", resolved, absolute);
  if (code != 0) result = code;
  if (resolved) info.SetSwitchValue(L"extract", absolute);

  code = ResolvePathSwitch(info, L"log", resolved, absolute);
  if (code != 0) result = code;
  if (resolved) {
    info.SetSwitchValue(L"log", absolute);
    // A second reading finds the log open and leaves it so. A path the code page cannot carry is
    // treated like one that cannot be opened: no log file, no failure.
    std::string ansiPath;
    if (!IsLogOpen() && ToThreadAnsiPath(absolute, ansiPath)) OpenLog(ansiPath.c_str());
  }

  // The table keeps the temp value as written; only the temp base takes the absolute form.
  code = ResolvePathSwitch(info, L"temp", resolved, absolute);
  if (code != 0) result = code;
  if (resolved) out.strTempBase = absolute;

  info.BuildFrontEndArgs(programName, out.strFrontEndArgs);

  // "/?" is both given as a flag and present, so it is reported twice; a bare "?" once.
  if (info.IsGivenAsFlag(L"?")) {
    result = kBadCommandLine;
    LogText(L"Ask for help\n");
  }
  std::wstring help;
  if (info.GetSwitchValue(L"?", help)) {
    result = kBadCommandLine;
    LogText(L"Ask for help\n");
  }

  LogFormat(L"Command line params %s\n", out.strFrontEndArgs.c_str());
  LogFormat(L"Temp folder '%s'\n", out.strTempBase.c_str());
  return result;
}
