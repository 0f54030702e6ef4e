// Helpers for end-to-end tests that run the Windows build under Wine from the host.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace e2e {

namespace fs = std::filesystem;

fs::path SourceDir();
fs::path WinBuildDir();
fs::path WinePrefix();
fs::path DriveC();            // the prefix's C: drive on the host
fs::path BootstrapperStub();  // the built HarnexInstaller.exe, without a payload
fs::path HostBuildDir();
fs::path DemoPayloadDir();    // the demo payload's generated filler items

// Writes a bootstrapper with the packer: the stub plus `options` (see tools/README.md). Free disk
// space never matters unless `options` set entry 103 themselves: it is set to "0" first.
::testing::AssertionResult Pack(const fs::path& out, const std::vector<std::string>& options);

// The demo payload's eight items as packer options, in id order 102 to 109.
std::vector<std::string> DemoPayloadItems();
// Index name and host file of each demo item, in id order 102 to 109.
std::vector<std::pair<std::string, fs::path>> DemoPayloadFiles();

// The Windows form of a host path (Wine maps the host's root as drive Z:).
std::string WindowsPath(const fs::path& hostPath);

struct RunResult {
  bool ran = false;         // the runner reported an exit code
  uint32_t exitCode = 0;    // the program's full 32-bit exit code
  std::string output;       // everything the runner printed
};

// Runs `program` (a host path) under Wine through the Windows-side runner, with `rawArgs` as the
// exact command-line text after the program's quoted path. `runnerOptions` go to the runner.
RunResult RunProgram(const fs::path& program, const std::string& rawArgs,
                     const std::vector<std::string>& runnerOptions = {},
                     const std::map<std::string, std::string>& environment = {});

// Runs a host command; returns its exit status and fills `output` with stdout and stderr.
int RunHost(const std::vector<std::string>& argv, std::string* output = nullptr);
int RunHostWithEnvironment(const std::vector<std::string>& argv, const std::map<std::string, std::string>& extra,
                           std::string* output = nullptr);

std::string ReadFileBytes(const fs::path& path);
void WriteFileBytes(const fs::path& path, const std::string& bytes);

// Splits a log's bytes into lines ending in CR LF; a final line without CR LF is kept as it is,
// so a wrong line end shows as a mismatch.
std::vector<std::string> LogLines(const std::string& bytes);

// Matches `actual` lines against `expected` patterns: literal text in which {n} stands for a
// decimal number, {guid} for a GUID in braces and {*} for any text.
::testing::AssertionResult LinesMatch(const std::vector<std::string>& actual, const std::vector<std::string>& expected);

// The lines a run on the test prefix (which declares .NET 4.5) writes for the .NET check.
const std::vector<std::string>& FrameworkOkLines();
// The seven setting lines of that check, as this build's settings write them.
const std::vector<std::string>& FrameworkSettingLines();

// The lines of a log file, split at CR LF.
std::vector<std::string> LogFileLines(const fs::path& path);

// Files (not folders) under `folder`, as paths relative to it with '/' separators, sorted.
std::vector<std::string> FilesUnder(const fs::path& folder);
// Entries directly in `folder`, sorted.
std::vector<std::string> EntriesIn(const fs::path& folder);

// A fresh folder on the host, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  std::string windows(const std::string& name = "") const { return WindowsPath(name.empty() ? path_ : path_ / name); }

 private:
  fs::path path_;
};

}  // namespace e2e
