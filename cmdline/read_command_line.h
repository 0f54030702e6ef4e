// Reading the program's command line: the run options, the temp base folder, the log file and
// the front end's argument string.
#pragma once

#include <cstdint>
#include <string>

// The failure code of a rejected command line: a help request, a path switch written as a flag,
// or a path whose absolute form does not fit 260 characters.
constexpr uint32_t kBadCommandLine = 0x80030057;

// What the default temp base folder is chosen from.
struct CommandLineHost {
  bool administratorRequired = true;
  std::wstring systemDrive;  // the "SystemDrive" variable, read when administratorRequired
  std::wstring tempPath;     // the temporary-files folder, read otherwise
};

// Reads the environment (or the temporary-files folder) into buffers of 1024 units; a value that
// is missing or does not fit reads as empty.
CommandLineHost GatherCommandLineHost(bool administratorRequired);

struct CommandLineOptions {
  bool bSilent = false;
  bool bZeroGuid = false;
  bool bRemoveWorkFolder = true;
  bool bRunFrontEnd = true;
  std::wstring strTempBase;
  std::wstring strFrontEndArgs;
};

// Splits `fullCommandLine` (program name first), sets every field of `out`, opens the log at the
// `log` path unless a log is already open, builds the argument string with `programName`, and logs
// the argument string and the temp base. Returns 0 or kBadCommandLine; a rejection found on the
// way does not stop the later steps.
uint32_t ReadCommandLine(const wchar_t* fullCommandLine, const std::wstring& programName, const CommandLineHost& host,
                         CommandLineOptions& out);
