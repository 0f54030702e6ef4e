// The real bootstrapper under Wine: startup lines, exit codes, refused command lines.
#include <gtest/gtest.h>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

constexpr uint32_t kBadCommandLine = 0x80030057;

// A bootstrapper with a one-item payload, made once for all tests of this file.
class StartupE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempDir;
    WriteFileBytes(folder_->path() / "a.txt", "hello");
    ASSERT_TRUE(Pack(Bootstrapper(), {"--item", (folder_->path() / "a.txt").string()}));
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static fs::path Bootstrapper() { return folder_->path() / "tiny.exe"; }

  static TempDir* folder_;
};
TempDir* StartupE2E::folder_ = nullptr;

// The lines of a silent run of the one-item bootstrapper on the test prefix, which declares .NET
// 4.5, with `params` the front end's argument string before the program name. The work folder is
// made on the system drive and removed.
std::vector<std::string> PlainRunLog(const std::string& params) {
  std::vector<std::string> lines = {
      "Command line params " + params + "OV_I=\"\" ",
      "Temp folder 'C:'",
      "Started {n}",
  };
  lines.insert(lines.end(), FrameworkOkLines().begin(), FrameworkOkLines().end());
  lines.insert(lines.end(), {
      "Run Embedded Resources ",
      "Command line params " + params + "OV_I=\"Mini\" ",
      "Temp folder 'C:'",
      "Scanning for Signature\r",
      "Enumerate Resources TOOLKIT 65",
      "Enumerate Resources TOOLKIT 66",
      "Enumerate Resources OK ",
      "Work Out FileName a.txt, Bytes 5",
      "WorkOutFileNames 0",
      "Extract File a.txt 0",
      "Remove folder 'Yes'",
      "Manual Deletion of 'C:\\{guid}\\a.txt'",
      "Manual Deletion of 'C:\\{guid}'",
      "Deletion Folder of 'C:\\{guid}'",
      "Remove Folder 'C:\\{guid}'",
      "Ended {n}",
  });
  return lines;
}

TEST_F(StartupE2E, SilentRunLogsItsStepsWithCrLf) {
  TempDir dir;
  RunResult run = RunProgram(Bootstrapper(), "/IAgreeToTheEULA log " + dir.windows("run.log"));
  ASSERT_TRUE(run.ran) << run.output;
  EXPECT_EQ(run.exitCode, 0u);
  std::string log = ReadFileBytes(dir.path() / "run.log");
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
  EXPECT_TRUE(LinesMatch(LogLines(log), PlainRunLog("/IAgreeToTheEULA /log \"" + dir.windows("run.log") + "\" ")));
}

TEST_F(StartupE2E, QuotedArgumentsAreSplitAsWindowsSplitsThem) {
  TempDir dir;
  // "a b" keeps its blank, \" is a literal quote, and two backslashes before a quote become one.
  RunResult run = RunProgram(Bootstrapper(),
                             "/IAgreeToTheEULA \"a b\" c\\\"d x\\\\\"y z\" log " + dir.windows("run.log"));
  ASSERT_TRUE(run.ran) << run.output;
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(LinesMatch(LogLines(ReadFileBytes(dir.path() / "run.log")),
                         PlainRunLog("x\\y z /IAgreeToTheEULA a b c\"d /log \"" + dir.windows("run.log") + "\" ")));
}

TEST_F(StartupE2E, HelpIsRefusedWithTheUsageMessage) {
  TempDir dir;
  const std::string raw = "/IAgreeToTheEULA /? log " + dir.windows("run.log");
  RunResult run = RunProgram(Bootstrapper(), raw);
  ASSERT_TRUE(run.ran) << run.output;
  EXPECT_EQ(run.exitCode, kBadCommandLine);
  EXPECT_TRUE(LinesMatch(LogLines(ReadFileBytes(dir.path() / "run.log")),
                         {
                             "Ask for help",
                             "Ask for help",
                             "Command line params /IAgreeToTheEULA /? /log \"" + dir.windows("run.log") + "\" OV_I=\"\" ",
                             "Temp folder 'C:'",
                             "Command line '" + raw + "' incorrect.",
                             "Valid switches include:- ",
                             "\textract [path]\tlog [path]\ttemp [path]",
                             "",
                             "Example",
                             "\t{*} log {*} /IAgreeToTheEULA",
                             "Ended {n}",
                         }));
}

TEST_F(StartupE2E, RefusedCommandLinesEndWithTheirCode) {
  TempDir dir;
  const std::string longPath = "C:\\" + std::string(300, 'd') + "\\x";
  struct Case {
    std::string args;
    uint32_t exitCode;
  } cases[] = {
      {"/IAgreeToTheEULA /log " + dir.windows("flag.log"), kBadCommandLine},  // a path switch given as a flag
      {"/IAgreeToTheEULA -temp", kBadCommandLine},
      {"/IAgreeToTheEULA log " + longPath, kBadCommandLine},  // absolute paths longer than 260 characters
      {"/IAgreeToTheEULA temp " + longPath, kBadCommandLine},
      {"/IAgreeToTheEULA extract " + longPath, kBadCommandLine},
      {"/IAgreeToTheEULA log " + dir.windows("missing\\run.log"), 0},  // a log that cannot open is ignored
  };
  for (const Case& c : cases) {
    RunResult run = RunProgram(Bootstrapper(), c.args);
    ASSERT_TRUE(run.ran) << run.output;
    EXPECT_EQ(run.exitCode, c.exitCode) << c.args;
  }
  EXPECT_FALSE(fs::exists(dir.path() / "flag.log"));
  EXPECT_FALSE(fs::exists(dir.path() / "missing"));
}

TEST_F(StartupE2E, TextLoggedBeforeTheLogOpenedComesFirst) {
  TempDir dir;
  // The runner holds the log file exclusively until the worker starts: the first reading cannot
  // open it, so everything up to the worker's own reading is pending and must lead the file.
  RunResult run = RunProgram(Bootstrapper(), "/IAgreeToTheEULA log " + dir.windows("run.log"),
                             {"--hold-exclusive", dir.windows("run.log")});
  ASSERT_TRUE(run.ran) << run.output;
  EXPECT_NE(run.output.find("released the held file when the worker started"), std::string::npos) << run.output;
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(LinesMatch(LogLines(ReadFileBytes(dir.path() / "run.log")),
                         PlainRunLog("/IAgreeToTheEULA /log \"" + dir.windows("run.log") + "\" ")));
}

TEST_F(StartupE2E, QuitMessageToTheMainThreadDoesNotEndTheWait) {
  TempDir dir;
  RunResult run = RunProgram(Bootstrapper(), "/IAgreeToTheEULA log " + dir.windows("run.log"), {"--post-quit"});
  ASSERT_TRUE(run.ran) << run.output;
  EXPECT_NE(run.output.find("program stayed alive while its worker was suspended"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("cannot post quit"), std::string::npos) << run.output;
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(LinesMatch(LogLines(ReadFileBytes(dir.path() / "run.log")),
                         PlainRunLog("/IAgreeToTheEULA /log \"" + dir.windows("run.log") + "\" ")));
}

}  // namespace
}  // namespace e2e
