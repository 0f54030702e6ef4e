#include "tests/e2e/harness.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

extern char** environ;

namespace e2e {

fs::path SourceDir() { return HARNEX_SOURCE_DIR; }
fs::path WinBuildDir() { return HARNEX_WIN_BUILD_DIR; }
fs::path WinePrefix() { return WinBuildDir() / "wineprefix"; }
fs::path DriveC() { return WinePrefix() / "drive_c"; }
fs::path BootstrapperStub() { return WinBuildDir() / "app" / "HarnexInstaller.exe"; }
fs::path HostBuildDir() { return HARNEX_HOST_BUILD_DIR; }
fs::path DemoPayloadDir() { return HostBuildDir() / "res" / "demo" / "payload"; }

::testing::AssertionResult Pack(const fs::path& out, const std::vector<std::string>& options) {
  std::vector<std::string> argv = {(HostBuildDir() / "tools" / "harnex-pack").string(), "--stub",
                                   BootstrapperStub().string(), "--out", out.string(), "--string", "103", "0"};
  argv.insert(argv.end(), options.begin(), options.end());
  std::string output;
  int status = RunHost(argv, &output);
  if (status != 0) return ::testing::AssertionFailure() << "harnex-pack failed (" << status << "): " << output;
  return ::testing::AssertionSuccess();
}

std::vector<std::pair<std::string, fs::path>> DemoPayloadFiles() {
  const fs::path payload = DemoPayloadDir();
  const fs::path sources = SourceDir() / "res" / "demo";
  return {
      {"install.bin", payload / "install.bin"},
      {"empty.msi", payload / "empty.msi"},
      {"Pallador.UI.exe", WinBuildDir() / "tools" / "demo-front-end.exe"},
      {"Pallador.UI.exe.config", sources / "Pallador.UI.exe.config"},
      {"Pallador.Engine.dll", payload / "Pallador.Engine.dll"},
      {"Pallador.Compression.dll", payload / "Pallador.Compression.dll"},
      {"Pallador.project", payload / "Pallador.project"},
      {"ProjectItems.xml", sources / "ProjectItems.xml"},
  };
}

std::vector<std::string> DemoPayloadItems() {
  std::vector<std::string> options;
  for (const auto& [name, file] : DemoPayloadFiles()) {
    options.insert(options.end(), {"--item-as", name, file.string()});
  }
  return options;
}

std::string WindowsPath(const fs::path& hostPath) {
  std::string path = "Z:" + fs::absolute(hostPath).lexically_normal().string();
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

int RunHost(const std::vector<std::string>& argv, std::string* output) {
  return RunHostWithEnvironment(argv, {}, output);
}

int RunHostWithEnvironment(const std::vector<std::string>& argv, const std::map<std::string, std::string>& extra,
                           std::string* output) {
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (extra.count(name) == 0) environment.push_back(entry);
  }
  for (const auto& [name, value] : extra) environment.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& arg : args) argp.push_back(arg.data());
  argp.push_back(nullptr);

  int pipeFds[2];
  if (pipe(pipeFds) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  pid_t pid = 0;
  int spawned = posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::string collected;
  char buffer[4096];
  ssize_t count;
  while ((count = read(pipeFds[0], buffer, sizeof(buffer))) > 0) collected.append(buffer, static_cast<size_t>(count));
  close(pipeFds[0]);
  if (output != nullptr) *output = collected;
  if (spawned != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RunResult RunProgram(const fs::path& program, const std::string& rawArgs, const std::vector<std::string>& runnerOptions,
                     const std::map<std::string, std::string>& environment) {
  std::vector<std::string> argv = {(SourceDir() / "scripts" / "wine-run").string(), "--build", WinBuildDir().string(),
                                   (WinBuildDir() / "tests" / "harnex-run.exe").string()};
  argv.insert(argv.end(), runnerOptions.begin(), runnerOptions.end());
  argv.push_back(WindowsPath(program));
  std::map<std::string, std::string> env = environment;
  env["HARNEX_RUN_ARGS"] = rawArgs;
  RunResult result;
  RunHostWithEnvironment(argv, env, &result.output);
  static const std::regex exitLine("exit code: 0x([0-9A-F]{8})");
  std::smatch match;
  if (std::regex_search(result.output, match, exitLine)) {
    result.ran = true;
    result.exitCode = static_cast<uint32_t>(std::stoul(match[1].str(), nullptr, 16));
  }
  return result;
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> LogLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

const std::vector<std::string>& FrameworkSettingLines() {
  static const std::vector<std::string> lines = {".NET 2.0 0",       ".NET 3.0 0",       ".NET 3.5 0",
                                                 ".NET 4.0 Client 0", ".NET 4.0 Full 0",  ".NET 4.5 Client ",
                                                 ".NET 4.5 Full "};
  return lines;
}

const std::vector<std::string>& FrameworkOkLines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> all = FrameworkSettingLines();
    all.insert(all.end(), {".NET 4.0 Client Detected SP 5", ".NET Version OK"});
    return all;
  }();
  return lines;
}

std::vector<std::string> LogFileLines(const fs::path& path) { return LogLines(ReadFileBytes(path)); }

std::vector<std::string> FilesUnder(const fs::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
       it.increment(error)) {
    if (it->is_regular_file() || it->is_symlink()) files.push_back(fs::relative(it->path(), folder).generic_string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> EntriesIn(const fs::path& folder) {
  std::vector<std::string> entries;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) entries.push_back(entry.path().filename().string());
  std::sort(entries.begin(), entries.end());
  return entries;
}

namespace {

std::regex PatternRegex(const std::string& pattern) {
  static const std::string special = "\\^$.|?*+()[]{}";
  std::string regex;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.compare(i, 3, "{n}") == 0) {
      regex += "-?[0-9]+";
      i += 2;
    } else if (pattern.compare(i, 6, "{guid}") == 0) {
      regex += "\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}";
      i += 5;
    } else if (pattern.compare(i, 3, "{*}") == 0) {
      regex += ".*";
      i += 2;
    } else {
      if (special.find(pattern[i]) != std::string::npos) regex += '\\';
      regex += pattern[i];
    }
  }
  return std::regex(regex);
}

std::string Listing(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "  |" + line + "|\n";
  return text;
}

}  // namespace

::testing::AssertionResult LinesMatch(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
  size_t count = std::max(actual.size(), expected.size());
  for (size_t i = 0; i < count; ++i) {
    if (i >= actual.size() || i >= expected.size() || !std::regex_match(actual[i], PatternRegex(expected[i]))) {
      return ::testing::AssertionFailure()
             << "line " << i + 1 << " differs: expected |" << (i < expected.size() ? expected[i] : "<none>")
             << "| got |" << (i < actual.size() ? actual[i] : "<none>") << "|\nactual:\n"
             << Listing(actual) << "expected:\n"
             << Listing(expected);
    }
  }
  return ::testing::AssertionSuccess();
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "harnex-e2e-XXXXXX").string();
  path_ = mkdtemp(pattern.data());
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace e2e
