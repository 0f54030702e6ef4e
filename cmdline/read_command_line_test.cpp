#include "cmdline/read_command_line.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "cmdline/log.h"
#include "cmdline/log_for_test.h"
#include "framework/scratch_folder_for_test.h"

namespace {

const CommandLineHost kAdminHost{true, L"C:", L""};

// Each test runs in a fresh current folder of its own, with a closed log and nothing pending.
class ReadCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetLogForTest();
    wchar_t buffer[MAX_PATH];
    ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, buffer), 0u);
    previousFolder_ = buffer;
    ASSERT_GT(::GetTempPathW(MAX_PATH, buffer), 0u);
    tempFolder_ = buffer;
    ASSERT_TRUE(::SetCurrentDirectoryW(folder_.c_str()));
  }
  void TearDown() override {
    ResetLogForTest();
    ::SetCurrentDirectoryW(previousFolder_.c_str());
  }

  // Replaces "<cwd>" with the test's current folder.
  std::wstring Expand(std::wstring text) const {
    const std::wstring marker = L"<cwd>";
    for (size_t at; (at = text.find(marker)) != std::wstring::npos;) text.replace(at, marker.size(), folder_);
    return text;
  }


  std::wstring previousFolder_;
  std::wstring tempFolder_;  // with its trailing backslash; the parent of folder_
  harnex_test::ScratchFolder scratch_;
  std::wstring folder_ = scratch_.Path();
};

TEST_F(ReadCommandLineTest, SwitchesOptionsArgumentsAndLogLines) {
  struct Case {
    const wchar_t* commandLine;
    uint32_t result;
    bool silent, zeroGuid, removeWorkFolder, runFrontEnd;
    const wchar_t* args;      // before the program-name property
    const wchar_t* tempBase;  // "<parent>" is the parent of the current folder
    int helpLines;
  } cases[] = {
      {L"p.exe", 0, false, false, true, true, L"", L"C:", 0},
      {L"p.exe log C:\\logs\\run.log /IAgreeToTheEULA", 0, true, false, true, true,
       L"/IAgreeToTheEULA /log \"C:\\logs\\run.log\" ", L"C:", 0},
      {L"p.exe IAgreeToTheEULA", 0, false, false, true, true, L"IAgreeToTheEULA ", L"C:", 0},
      // The bootstrapper's own flags act and are not passed on; written plain they are just passed on.
      {L"p.exe /dontrun -zeroguid /keep /x", 0, false, true, false, false, L"/x ", L"C:", 0},
      {L"p.exe dontrun zeroguid keep", 0, false, false, true, true, L"zeroguid keep dontrun ", L"C:", 0},
      {L"p.exe /Keep", 0, false, false, true, true, L"/Keep ", L"C:", 0},
      // A path switch written as a flag is refused; the path after it is a plain entry.
      {L"p.exe /log C:\\logs\\run.log", kBadCommandLine, false, false, true, true, L"C:\\logs\\run.log /log ", L"C:", 0},
      {L"p.exe -extract x", kBadCommandLine, false, false, true, true, L"x /extract ", L"C:", 0},
      {L"p.exe /temp", kBadCommandLine, false, false, true, true, L"/temp ", L"C:", 0},
      // Path values are made absolute, except that temp is passed on as written.
      {L"p.exe temp ..\\x", 0, false, false, true, true, L"/temp \"..\\x\" ", L"<parent>x", 0},
      {L"p.exe extract sub\\", 0, false, false, true, true, L"/extract \"<cwd>\\sub\\\\\" ", L"C:", 0},
      {L"p.exe extract \"\"", 0, false, false, true, true, L"/extract \"<cwd>\" ", L"C:", 0},
      // log as the last argument names the current folder, which cannot be opened as a log.
      {L"p.exe log", 0, false, false, true, true, L"/log \"<cwd>\" ", L"C:", 0},
      {L"p.exe LOG C:\\l.txt", 0, false, false, true, true, L"/LOG \"C:\\l.txt\" ", L"C:", 0},
      {L"p.exe \"NAME=a b\" /x", 0, false, false, true, true, L"/x NAME=a b ", L"C:", 0},
      {L"p.exe /?", kBadCommandLine, false, false, true, true, L"/? ", L"C:", 2},
      {L"p.exe -?", kBadCommandLine, false, false, true, true, L"/? ", L"C:", 2},
      {L"p.exe ?", kBadCommandLine, false, false, true, true, L"? ", L"C:", 1},
      {L"p.exe /? /IAgreeToTheEULA /temp", kBadCommandLine, true, false, true, true, L"/temp /IAgreeToTheEULA /? ",
       L"C:", 2},
  };
  for (const Case& c : cases) {
    ResetLogForTest();
    CommandLineOptions out;
    out.strFrontEndArgs = L"stale";
    EXPECT_EQ(ReadCommandLine(c.commandLine, L"Mini", kAdminHost, out), c.result) << c.commandLine;
    EXPECT_EQ(out.bSilent, c.silent) << c.commandLine;
    EXPECT_EQ(out.bZeroGuid, c.zeroGuid) << c.commandLine;
    EXPECT_EQ(out.bRemoveWorkFolder, c.removeWorkFolder) << c.commandLine;
    EXPECT_EQ(out.bRunFrontEnd, c.runFrontEnd) << c.commandLine;
    const std::wstring args = Expand(c.args) + L"OV_I=\"Mini\" ";
    EXPECT_EQ(out.strFrontEndArgs, args) << c.commandLine;
    std::wstring tempBase = Expand(c.tempBase);
    if (tempBase.compare(0, 8, L"<parent>") == 0) tempBase = tempFolder_ + tempBase.substr(8);
    EXPECT_EQ(out.strTempBase, tempBase) << c.commandLine;
    EXPECT_FALSE(IsLogOpen()) << c.commandLine;
    std::wstring lines;
    for (int i = 0; i < c.helpLines; ++i) lines += L"Ask for help\n";
    lines += L"Command line params " + args + L"\nTemp folder '" + tempBase + L"'\n";
    EXPECT_EQ(PendingLogTextForTest(), lines) << c.commandLine;
  }
}

TEST_F(ReadCommandLineTest, DefaultTempBaseComesFromTheHost) {
  struct Case {
    CommandLineHost host;
    const wchar_t* commandLine;
    const wchar_t* tempBase;
  } cases[] = {
      {{true, L"C:", L"D:\\ignored\\"}, L"p.exe", L"C:"},
      {{true, L"E:", L""}, L"p.exe", L"E:"},
      {{true, L"", L"D:\\ignored\\"}, L"p.exe", L"C:\\"},
      {{false, L"E:", L"D:\\tmp\\"}, L"p.exe", L"D:\\tmp\\"},
      {{false, L"E:", L""}, L"p.exe", L""},
      {{false, L"E:", L"D:\\tmp\\"}, L"p.exe temp C:\\base", L"C:\\base"},
      {{true, L"", L""}, L"p.exe -temp", L"C:\\"},
  };
  for (const Case& c : cases) {
    CommandLineOptions out;
    ReadCommandLine(c.commandLine, L"Mini", c.host, out);
    EXPECT_EQ(out.strTempBase, c.tempBase) << c.commandLine << " " << c.host.systemDrive << c.host.tempPath;
  }
}

TEST_F(ReadCommandLineTest, GatherReadsTheVariableOrTheTemporaryFolder) {
  wchar_t saved[1024];
  const DWORD savedLength = ::GetEnvironmentVariableW(L"SystemDrive", saved, 1024);
  ASSERT_TRUE(savedLength > 0 && savedLength < 1024);
  struct Case {
    std::wstring value;  // set as SystemDrive; "-" removes the variable
    std::wstring read;
  } cases[] = {
      {L"D:", L"D:"},
      {L"-", L""},
      {std::wstring(1023, L'Z'), std::wstring(1023, L'Z')},
      {std::wstring(1024, L'Z'), L""},  // does not fit the buffer with its terminator
  };
  for (const Case& c : cases) {
    ::SetEnvironmentVariableW(L"SystemDrive", c.value == L"-" ? nullptr : c.value.c_str());
    const CommandLineHost host = GatherCommandLineHost(true);
    EXPECT_TRUE(host.administratorRequired);
    EXPECT_EQ(host.systemDrive, c.read) << c.value.size();
    EXPECT_EQ(host.tempPath, L"");
  }
  ::SetEnvironmentVariableW(L"SystemDrive", saved);

  // The temporary-files folder follows TMP and carries a trailing backslash.
  const DWORD savedTmpLength = ::GetEnvironmentVariableW(L"TMP", saved, 1024);
  ASSERT_TRUE(savedTmpLength > 0 && savedTmpLength < 1024);
  ::SetEnvironmentVariableW(L"TMP", L"C:\\harnex-tmp");
  const CommandLineHost host = GatherCommandLineHost(false);
  ::SetEnvironmentVariableW(L"TMP", saved);
  EXPECT_FALSE(host.administratorRequired);
  EXPECT_EQ(host.systemDrive, L"");
  EXPECT_EQ(host.tempPath, L"C:\\harnex-tmp\\");
}

TEST_F(ReadCommandLineTest, OpensTheLogOnceAndKeepsItOpenOnTheSecondReading) {
  LogText(L"early\n");
  CommandLineOptions first;
  EXPECT_EQ(ReadCommandLine(L"p.exe log run.log /IAgreeToTheEULA", L"", kAdminHost, first), 0u);
  ASSERT_TRUE(IsLogOpen());
  EXPECT_EQ(PendingLogTextForTest(), L"");
  CommandLineOptions second;
  EXPECT_EQ(ReadCommandLine(L"p.exe log run.log /IAgreeToTheEULA", L"Mini", kAdminHost, second), 0u);
  EXPECT_TRUE(IsLogOpen());
  CloseLog();
  const std::string path = "\\run.log";
  std::string folder(folder_.begin(), folder_.end());  // the test folder's name is plain ASCII
  EXPECT_EQ(harnex_test::ReadBytes(folder_ + L"\\run.log"),
            "early\r\n"
            "Command line params /IAgreeToTheEULA /log \"" + folder + path + "\" OV_I=\"\" \r\n"
            "Temp folder 'C:'\r\n"
            "Command line params /IAgreeToTheEULA /log \"" + folder + path + "\" OV_I=\"Mini\" \r\n"
            "Temp folder 'C:'\r\n");
}

TEST_F(ReadCommandLineTest, OpensTheLogOnlyAtAnExactLogPath) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* opened;  // file name in the current folder, or nullptr when no log may open
  } cases[] = {
      {L"p.exe log run.log", L"run.log"},
      {L"p.exe log TRUE", L"TRUE"},
      {L"p.exe temp log run.log", L"run.log"},
      {L"p.exe LOG run.log", nullptr},
      {L"p.exe /log run.log", nullptr},
      {L"p.exe log missing\\run.log", nullptr},
      {L"p.exe log", nullptr},
      // No exact equivalent in code page 1252: a best-fit "A.log" or "x.log" must not be opened instead.
      {L"p.exe log \u0100.log", nullptr},
      {L"p.exe log \uff58.log", nullptr},
  };
  for (const Case& c : cases) {
    ResetLogForTest();
    CommandLineOptions out;
    ReadCommandLine(c.commandLine, L"Mini", kAdminHost, out);
    EXPECT_EQ(IsLogOpen(), c.opened != nullptr) << c.commandLine;
    CloseLog();
    if (c.opened != nullptr) {
      EXPECT_TRUE(harnex_test::Exists(folder_ + L"\\" + c.opened)) << c.commandLine;
      ::DeleteFileW((folder_ + L"\\" + c.opened).c_str());
    }
    EXPECT_FALSE(harnex_test::Exists(folder_ + L"\\A.log")) << c.commandLine;
    EXPECT_FALSE(harnex_test::Exists(folder_ + L"\\x.log")) << c.commandLine;
  }
}

// Absolute paths hold at most 260 characters; a longer one rejects the command line without
// touching anything.
TEST_F(ReadCommandLineTest, PathsLongerThan260CharactersAreRefused) {
  ASSERT_LT(folder_.size(), 200u);
  const size_t fits = 260 - folder_.size() - 1;  // "<cwd>\name" is then exactly 260 characters
  struct Case {
    const wchar_t* name;
    size_t nameLength;
    bool accepted;
  } cases[] = {
      {L"extract", fits, true}, {L"extract", fits + 1, false}, {L"extract", 1000, false},
      {L"temp", fits, true},    {L"temp", fits + 1, false},    {L"temp", 1000, false},
      {L"log", fits + 1, false}, {L"log", 1000, false},
  };
  for (const Case& c : cases) {
    ResetLogForTest();
    const std::wstring value(c.nameLength, L'n');
    const std::wstring commandLine = std::wstring(L"p.exe ") + c.name + L" " + value;
    CommandLineOptions out;
    const uint32_t result = ReadCommandLine(commandLine.c_str(), L"Mini", kAdminHost, out);
    EXPECT_EQ(result, c.accepted ? 0u : kBadCommandLine) << c.name << " " << c.nameLength;
    EXPECT_FALSE(IsLogOpen()) << c.name << " " << c.nameLength;
    const std::wstring absolute = folder_ + L"\\" + value;
    const bool isTemp = std::wstring(c.name) == L"temp";
    EXPECT_EQ(out.strTempBase, c.accepted && isTemp ? absolute : L"C:") << c.name << " " << c.nameLength;
    const std::wstring passed = c.accepted && !isTemp ? absolute : value;
    EXPECT_EQ(out.strFrontEndArgs, std::wstring(L"/") + c.name + L" \"" + passed + L"\" OV_I=\"Mini\" ")
        << c.name << " " << c.nameLength;
  }
}

}  // namespace
