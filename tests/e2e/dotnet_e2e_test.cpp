// The real bootstrapper against the .NET Framework keys of the test prefix's registry.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

constexpr uint32_t kFrameworkMissing = 0x80110409;
const char* const kNdpKey = "HKLM\\Software\\Microsoft\\NET Framework Setup\\NDP";

// Runs Wine's reg or regedit in the test prefix. Debian's wine starts the 32-bit loader, so these
// read and write the registry view a 32-bit program such as the bootstrapper sees.
int Wine(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {(SourceDir() / "scripts" / "wine-run").string(), "--build", WinBuildDir().string()};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string output;
  return RunHost(argv, &output);
}

void DeclareFramework45() {
  ASSERT_EQ(Wine({"regedit", "/S", WindowsPath(SourceDir() / "tests" / "prefix" / "dotnet4.reg")}), 0);
  ASSERT_EQ(Wine({"reg", "query", std::string(kNdpKey) + "\\v4\\Client", "/v", "Version"}), 0);
}

// Every test leaves the prefix declaring .NET 4.5, as the other tests expect it.
class DotNetE2E : public ::testing::Test {
 protected:
  void TearDown() override { DeclareFramework45(); }
};

TEST_F(DotNetE2E, Framework45PassesThroughTheClientFlavour) {
  Wine({"reg", "delete", kNdpKey, "/f"});
  DeclareFramework45();
  TempDir dir;
  WriteFileBytes(dir.path() / "a.txt", "hello");
  ASSERT_TRUE(Pack(dir.path() / "setup.exe", {"--item", (dir.path() / "a.txt").string()}));
  RunResult run = RunProgram(dir.path() / "setup.exe", "/IAgreeToTheEULA /dontrun log " + dir.windows("run.log"));
  ASSERT_TRUE(run.ran) << run.output;
  EXPECT_EQ(run.exitCode, 0u);
  std::vector<std::string> lines = LogLines(ReadFileBytes(dir.path() / "run.log"));
  ASSERT_GE(lines.size(), 13u);
  EXPECT_TRUE(LinesMatch(std::vector<std::string>(lines.begin() + 3, lines.begin() + 12), FrameworkOkLines()));
}

TEST_F(DotNetE2E, NoFrameworkFailsWithTheDownloadMessage) {
  ASSERT_EQ(Wine({"reg", "delete", kNdpKey, "/f"}), 0);
  ASSERT_NE(Wine({"reg", "query", std::string(kNdpKey) + "\\v4\\Client"}), 0);
  TempDir dir;
  RunResult run = RunProgram(BootstrapperStub(), "/IAgreeToTheEULA log " + dir.windows("run.log"));
  ASSERT_TRUE(run.ran) << run.output;
  EXPECT_EQ(run.exitCode, kFrameworkMissing);
  std::vector<std::string> expected = {"Command line params /IAgreeToTheEULA /log \"{*}\" OV_I=\"\" ",
                                       "Temp folder 'C:'", "Started {n}"};
  expected.insert(expected.end(), FrameworkSettingLines().begin(), FrameworkSettingLines().end());
  expected.insert(expected.end(),
                  {".NET Version Not OK .NET 2 0",
                   "Pallador requires .NET 2. Please download from the Microsoft Download Center and retry.", "Ended {n}"});
  EXPECT_TRUE(LinesMatch(LogLines(ReadFileBytes(dir.path() / "run.log")), expected));
}

}  // namespace
}  // namespace e2e
