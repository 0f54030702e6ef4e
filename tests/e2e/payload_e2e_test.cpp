// The real bootstrapper under Wine writing its payload: work folder, items, embedded information,
// failures on the way, and the removal afterwards.
#include <sys/statvfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <regex>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

constexpr uint32_t kPayloadFailure = 0x80004005;
constexpr uint32_t kSizeMismatch = 0x80040167;
constexpr uint32_t kInsufficientDiskSpace = 0x80030070;
const std::string kZeroGuid = "{00000000-0000-0000-0000-000000000000}";
const std::regex kGuidName("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A run's folders: the bootstrapper and its log in `dir`, the work folders under `dir/base`.
struct Scenario {
  TempDir dir;
  fs::path exe = dir.path() / "setup.exe";
  fs::path base = dir.path() / "base";
  fs::path log = dir.path() / "run.log";

  RunResult Start(const std::string& switches) {
    return RunProgram(exe, "/IAgreeToTheEULA " + switches + " temp " + WindowsPath(base) + " log " + WindowsPath(log));
  }
  // The one work folder made under the base (empty when there is not exactly one).
  fs::path WorkFolder() const {
    std::vector<std::string> entries = EntriesIn(base);
    return entries.size() == 1 ? base / entries[0] : fs::path();
  }
  std::string WorkFolderWindows() const { return WindowsPath(base) + "\\{guid}"; }
  // The lines a run writes before its payload work; `switches` as passed on to the front end.
  std::vector<std::string> Head(const std::string& params) const {
    std::vector<std::string> first = {"Command line params " + params + "OV_I=\"\" ",
                                      "Temp folder '" + WindowsPath(base) + "'", "Started {n}"};
    std::vector<std::string> worker = {"Run Embedded Resources ", "Command line params " + params + "OV_I=\"Mini\" ",
                                       "Temp folder '" + WindowsPath(base) + "'", "Scanning for Signature\r"};
    return Concat({first, FrameworkOkLines(), worker});
  }
  // The front end's arguments of a run with only the standard switches.
  std::string Params() const {
    return "/temp \"" + WindowsPath(base) + "\" /IAgreeToTheEULA /log \"" + WindowsPath(log) + "\" ";
  }
};

// A tmpfs mounted for one test (root can mount, here and in CI), unmounted at the end.
class TmpfsMount {
 public:
  TmpfsMount(const fs::path& where, const std::string& options) : where_(where) {
    fs::create_directories(where);
    mounted_ = RunHost({"mount", "-t", "tmpfs", "-o", options, "tmpfs", where.string()}) == 0;
  }
  ~TmpfsMount() {
    if (mounted_) RunHost({"umount", where_.string()});
  }
  bool mounted() const { return mounted_; }

 private:
  fs::path where_;
  bool mounted_ = false;
};

std::string FileOfSize(const fs::path& path, size_t size, char fill) {
  std::string bytes(size, fill);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(fill + i % 7);
  WriteFileBytes(path, bytes);
  return bytes;
}

TEST(PayloadE2E, DemoPayloadLandsInOneGuidFolderWithTheIndexSizes) {
  Scenario run;
  std::vector<std::string> options = DemoPayloadItems();
  ASSERT_TRUE(Pack(run.exe, options));
  RunResult result = run.Start("/dontrun /keep");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, 0u);

  fs::path work = run.WorkFolder();
  ASSERT_FALSE(work.empty()) << "expected exactly one folder under the base";
  std::string name = work.filename().string();
  EXPECT_EQ(name.size(), 38u);
  EXPECT_TRUE(std::regex_match(name, kGuidName)) << name;
  std::vector<std::string> expectedFiles;
  for (const auto& [itemName, source] : DemoPayloadFiles()) {
    expectedFiles.push_back(itemName);
    EXPECT_EQ(fs::file_size(work / itemName), fs::file_size(source)) << itemName;
    EXPECT_TRUE(ReadFileBytes(work / itemName) == ReadFileBytes(source)) << itemName;
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(FilesUnder(work), expectedFiles);
  EXPECT_EQ(fs::file_size(work / "install.bin"), 4998658u);
  EXPECT_EQ(fs::file_size(work / "empty.msi"), 9728u);

  std::vector<std::string> payload = {"Enumerate Resources TOOLKIT 65", "Enumerate Resources TOOLKIT 66",
                                      "Enumerate Resources TOOLKIT 67", "Enumerate Resources TOOLKIT 68",
                                      "Enumerate Resources TOOLKIT 69", "Enumerate Resources TOOLKIT 6a",
                                      "Enumerate Resources TOOLKIT 6b", "Enumerate Resources TOOLKIT 6c",
                                      "Enumerate Resources TOOLKIT 6d", "Enumerate Resources OK "};
  auto files = DemoPayloadFiles();
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    payload.push_back("Work Out FileName " + it->first + ", Bytes " + std::to_string(fs::file_size(it->second)));
  payload.push_back("WorkOutFileNames 0");
  for (auto it = files.rbegin(); it != files.rend(); ++it) payload.push_back("Extract File " + it->first + " 0");
  payload.insert(payload.end(), {"Remove folder 'No'", "Ended {n}"});
  EXPECT_TRUE(LinesMatch(LogFileLines(run.log), Concat({run.Head(run.Params()), payload})));
}

TEST(PayloadE2E, WithoutKeepNothingIsLeftBehind) {
  Scenario run;
  ASSERT_TRUE(Pack(run.exe, DemoPayloadItems()));
  RunResult result = run.Start("/dontrun");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(EntriesIn(run.base), std::vector<std::string>{});

  std::vector<std::string> lines = LogFileLines(run.log);
  auto removal = std::find(lines.begin(), lines.end(), "Remove folder 'Yes'");
  ASSERT_NE(removal, lines.end());
  std::vector<std::string> expected;
  const std::string work = run.WorkFolderWindows();
  auto files = DemoPayloadFiles();
  for (auto it = files.rbegin(); it != files.rend(); ++it) expected.push_back("Manual Deletion of '" + work + "\\" + it->first + "'");
  expected.insert(expected.end(), {"Manual Deletion of '" + work + "'", "Deletion Folder of '" + work + "'",
                                   "Remove Folder '" + work + "'", "Ended {n}"});
  EXPECT_TRUE(LinesMatch(std::vector<std::string>(removal + 1, lines.end()), expected));
}

TEST(PayloadE2E, ZeroGuidUsesTheSameFolderAndReplacesItsFiles) {
  Scenario run;
  std::string bytes = FileOfSize(run.dir.path() / "a.bin", 3000, 'a');
  ASSERT_TRUE(Pack(run.exe, {"--item", (run.dir.path() / "a.bin").string()}));
  for (int round = 0; round < 2; ++round) {
    RunResult result = run.Start("/dontrun /zeroguid /keep");
    ASSERT_TRUE(result.ran) << result.output;
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(EntriesIn(run.base), std::vector<std::string>{kZeroGuid});
    EXPECT_TRUE(ReadFileBytes(run.base / kZeroGuid / "a.bin") == bytes);
    WriteFileBytes(run.base / kZeroGuid / "a.bin", "changed by the user");  // the next run replaces it
  }
}

TEST(PayloadE2E, OneByteSizeMismatchStopsTheWalkAndStillRemoves) {
  Scenario run;
  FileOfSize(run.dir.path() / "a.txt", 10, 'a');
  FileOfSize(run.dir.path() / "b.bin", 20, 'b');
  FileOfSize(run.dir.path() / "c.txt", 30, 'c');
  WriteFileBytes(run.dir.path() / "index.txt", "102*a.txt*10*103*b.bin*21*104*c.txt*30*");
  ASSERT_TRUE(Pack(run.exe, {"--index-text", (run.dir.path() / "index.txt").string(), "--item",
                             (run.dir.path() / "a.txt").string(), "--item", (run.dir.path() / "b.bin").string(),
                             "--item", (run.dir.path() / "c.txt").string()}));
  {
    RunResult result = run.Start("/dontrun /keep");
    ASSERT_TRUE(result.ran) << result.output;
    EXPECT_EQ(result.exitCode, kSizeMismatch);
    // Written in descending id order: c.txt, then b.bin fails; a.txt is never written.
    EXPECT_EQ(FilesUnder(run.WorkFolder()), (std::vector<std::string>{"b.bin", "c.txt"}));
    std::vector<std::string> lines = LogFileLines(run.log);
    auto extract = std::find(lines.begin(), lines.end(), "Extract File c.txt 0");
    ASSERT_NE(extract, lines.end());
    EXPECT_TRUE(LinesMatch(std::vector<std::string>(extract, lines.end()),
                           {"Extract File c.txt 0", "Extract File b.bin 80040167", "Remove folder 'No'",
                            "A file is corrupt. Download Pallador and retry.", "Ended {n}"}));
  }
  fs::remove_all(run.base);
  RunResult result = run.Start("/dontrun");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, kSizeMismatch);
  EXPECT_EQ(EntriesIn(run.base), std::vector<std::string>{});
}

TEST(PayloadE2E, NoPayloadResourcesIsAnIncorrectBuild) {
  Scenario run;
  ASSERT_TRUE(Pack(run.exe, {"--no-index"}));
  RunResult result = run.Start("/dontrun");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, kPayloadFailure);
  EXPECT_EQ(EntriesIn(run.base), std::vector<std::string>{});
  std::vector<std::string> lines = LogFileLines(run.log);
  auto scan = std::find(lines.begin(), lines.end(), "Scanning for Signature\r");
  ASSERT_NE(scan, lines.end());
  const std::string work = run.WorkFolderWindows();
  EXPECT_TRUE(LinesMatch(std::vector<std::string>(scan, lines.end()),
                         {"Scanning for Signature\r", "Remove folder 'Yes'", "Deletion Folder of '" + work + "'",
                          "Remove Folder '" + work + "'", "Contact Technical Support. Incorrect Pallador build.",
                          "Ended {n}"}));
}

TEST(PayloadE2E, SubfolderItemIsWrittenAndRemovedChildFirst) {
  Scenario run;
  FileOfSize(run.dir.path() / "x.txt", 12, 'x');
  ASSERT_TRUE(Pack(run.exe, {"--item-as", "sub\\x.txt", (run.dir.path() / "x.txt").string()}));
  RunResult kept = run.Start("/dontrun /keep");
  ASSERT_TRUE(kept.ran) << kept.output;
  EXPECT_EQ(kept.exitCode, 0u);
  EXPECT_EQ(FilesUnder(run.WorkFolder()), std::vector<std::string>{"sub/x.txt"});

  fs::remove_all(run.base);
  RunResult removed = run.Start("/dontrun");
  ASSERT_TRUE(removed.ran) << removed.output;
  EXPECT_EQ(EntriesIn(run.base), std::vector<std::string>{});
  std::vector<std::string> lines = LogFileLines(run.log);
  auto removal = std::find(lines.begin(), lines.end(), "Remove folder 'Yes'");
  ASSERT_NE(removal, lines.end());
  const std::string work = run.WorkFolderWindows();
  EXPECT_TRUE(LinesMatch(std::vector<std::string>(removal + 1, lines.end()),
                         {"Manual Deletion of '" + work + "\\sub\\x.txt'", "Manual Deletion of '" + work + "'",
                          "Deletion Folder of '" + work + "'", "Deletion subfolder Folder of '" + work + "\\sub'",
                          "Remove Folder '" + work + "\\sub'", "Remove Folder '" + work + "'", "Ended {n}"}));
}

TEST(PayloadE2E, EmbeddedInformationBecomesInfoXml) {
  Scenario run;
  FileOfSize(run.dir.path() / "a.txt", 5, 'a');
  const std::string info = std::string("<info>build 7</info>") + '\0' + "after zero";
  WriteFileBytes(run.dir.path() / "info.bin", info);
  ASSERT_TRUE(Pack(run.exe, {"--item", (run.dir.path() / "a.txt").string(), "--info",
                             (run.dir.path() / "info.bin").string()}));
  RunResult result = run.Start("/dontrun /keep");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_TRUE(ReadFileBytes(run.WorkFolder() / "info.xml") == info);
  std::vector<std::string> lines = LogFileLines(run.log);
  auto scan = std::find(lines.begin(), lines.end(), "Scanning for Signature\r");
  ASSERT_NE(scan, lines.end());
  const std::string work = run.WorkFolderWindows();
  EXPECT_TRUE(LinesMatch(std::vector<std::string>(scan, scan + 4),
                         {"Scanning for Signature\r", "Found embedded information '<info>build 7</info>'\r",
                          "Written out embedded information " + std::to_string(info.size()) + " byts to file " + work +
                              "\\info.xml\r",
                          "Enumerate Resources TOOLKIT 65"}));
}

TEST(PayloadE2E, EscapingIndexNameFailsItsItemAndWritesNothingOutside) {
  Scenario run;
  FileOfSize(run.dir.path() / "a.txt", 5, 'a');
  WriteFileBytes(run.dir.path() / "index.txt", "102*..\\evil.txt*5*");
  ASSERT_TRUE(Pack(run.exe, {"--index-text", (run.dir.path() / "index.txt").string(), "--item",
                             (run.dir.path() / "a.txt").string()}));
  RunResult result = run.Start("/dontrun /keep");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, kPayloadFailure);
  EXPECT_EQ(FilesUnder(run.base), std::vector<std::string>{});
  std::vector<std::string> lines = LogFileLines(run.log);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Extract File ..\\evil.txt 80004005"), lines.end());
}

TEST(PayloadE2E, UnwritableBaseFolderEndsASilentRunWithoutPrompting) {
  Scenario run;
  FileOfSize(run.dir.path() / "a.txt", 5, 'a');
  ASSERT_TRUE(Pack(run.exe, {"--item", (run.dir.path() / "a.txt").string()}));
  // Root ignores file permissions, so the base is a read-only file system.
  TmpfsMount readOnly(run.base, "ro,size=1m");
  ASSERT_TRUE(readOnly.mounted());
  RunResult result = run.Start("/dontrun");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, kPayloadFailure);
  std::vector<std::string> lines = LogFileLines(run.log);
  auto worker = std::find(lines.begin(), lines.end(), "Run Embedded Resources ");
  ASSERT_NE(worker, lines.end());
  EXPECT_TRUE(LinesMatch(std::vector<std::string>(worker + 3, lines.end()),
                         {"Not Prompting the user as silent installation",
                          "Contact Technical Support. Incorrect Pallador build.", "Ended {n}"}));
}

TEST(PayloadE2E, InteractiveRunAsksForAnotherFolderAndUsesItExactly) {
  Scenario run;
  FileOfSize(run.dir.path() / "a.txt", 5, 'a');
  ASSERT_TRUE(Pack(run.exe, {"--item", (run.dir.path() / "a.txt").string()}));
  TmpfsMount readOnly(run.base, "ro,size=1m");
  ASSERT_TRUE(readOnly.mounted());
  fs::path other = run.dir.path() / "other";
  // Without /IAgreeToTheEULA the run asks; the runner plays the user and types another folder.
  RunResult result = RunProgram(run.exe, "/dontrun /keep temp " + WindowsPath(run.base) + " log " + WindowsPath(run.log),
                                {"--answer-prompt", WindowsPath(other)});
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_NE(result.output.find("runner: prompt 'Pallador' showed '" + WindowsPath(run.base) + "'"), std::string::npos)
      << result.output;
  EXPECT_EQ(result.exitCode, 0u);
  std::vector<std::string> entries = EntriesIn(other);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(std::regex_match(entries[0], kGuidName)) << entries[0];
  EXPECT_EQ(FilesUnder(other / entries[0]), std::vector<std::string>{"a.txt"});
}

TEST(PayloadE2E, CancelledPromptEndsTheRunWithItsMessage) {
  Scenario run;
  FileOfSize(run.dir.path() / "a.txt", 5, 'a');
  ASSERT_TRUE(Pack(run.exe, {"--item", (run.dir.path() / "a.txt").string()}));
  TmpfsMount readOnly(run.base, "ro,size=1m");
  ASSERT_TRUE(readOnly.mounted());
  RunResult result = RunProgram(run.exe, "/dontrun temp " + WindowsPath(run.base) + " log " + WindowsPath(run.log),
                                {"--cancel-prompt"});
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, kPayloadFailure);
  EXPECT_NE(result.output.find("runner: message 'Pallador' showed 'Contact Technical Support. Incorrect Pallador build.'"),
            std::string::npos)
      << result.output;
  // An interactive run shows the message instead of logging it.
  std::vector<std::string> lines = LogFileLines(run.log);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(LinesMatch({lines.back()}, {"Ended {n}"}));
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "Contact Technical Support. Incorrect Pallador build."), lines.end());
}

TEST(PayloadE2E, DiskFullDuringExtractionFailsAndLeavesNothing) {
  Scenario run;
  FileOfSize(run.dir.path() / "small.txt", 100, 's');
  FileOfSize(run.dir.path() / "big.bin", 3 * 1024 * 1024, 'b');
  ASSERT_TRUE(Pack(run.exe, {"--item", (run.dir.path() / "small.txt").string(), "--item",
                             (run.dir.path() / "big.bin").string()}));
  fs::path disk = run.dir.path() / "disk";
  TmpfsMount full(disk, "size=1m");
  ASSERT_TRUE(full.mounted());
  // The small file system is drive T: of the prefix for this test.
  fs::path drive = WinePrefix() / "dosdevices" / "t:";
  fs::remove(drive);
  fs::create_symlink(disk, drive);
  RunResult result = RunProgram(run.exe, "/IAgreeToTheEULA /dontrun temp T:\\ log " + WindowsPath(run.log));
  fs::remove(drive);
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, kPayloadFailure);
  EXPECT_EQ(EntriesIn(disk), std::vector<std::string>{});
  std::vector<std::string> lines = LogFileLines(run.log);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Extract File big.bin 80004005"), lines.end());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "Contact Technical Support. Incorrect Pallador build.");
}

// Free megabytes on the file system behind the prefix's C: drive, which holds the temporary folder.
long long FreeMegabytesOfDriveC() {
  struct statvfs info {};
  if (statvfs(DriveC().c_str(), &info) != 0) return -1;
  return static_cast<long long>(static_cast<unsigned long long>(info.f_bavail) * info.f_frsize / 1024 / 1024);
}

TEST(PayloadE2E, FreeSpaceIsMeasuredOnTheTemporaryDrive) {
  // Thresholds come from the real free space, 2 GB apart from it so that other writers on the disk
  // (a 256 MB test item, a benchmark) cannot move it across them; the exact boundary
  // (strictly more than required) is covered by the unit tests.
  long long freeMB = FreeMegabytesOfDriveC();
  ASSERT_GT(freeMB, 0);
  struct Case {
    long long required;
    uint32_t exitCode;
  } cases[] = {{freeMB + 2048, kInsufficientDiskSpace}, {std::max(0LL, freeMB - 2048), 0}};
  for (const Case& c : cases) {
    Scenario run;
    FileOfSize(run.dir.path() / "a.txt", 5, 'a');
    ASSERT_TRUE(Pack(run.exe, {"--item", (run.dir.path() / "a.txt").string(), "--string", "103",
                               std::to_string(c.required)}));
    RunResult result = run.Start("/dontrun");
    ASSERT_TRUE(result.ran) << result.output;
    EXPECT_EQ(result.exitCode, c.exitCode) << c.required;
    if (c.exitCode == kInsufficientDiskSpace) {
      std::vector<std::string> lines = LogFileLines(run.log);
      ASSERT_GE(lines.size(), 2u);
      EXPECT_EQ(lines[lines.size() - 2], "Insufficient disk space on drive 'C:'. " + std::to_string(c.required) +
                                             " Mb of free disk space is required.");
      EXPECT_FALSE(fs::exists(run.base));
    }
  }
}

TEST(PayloadE2E, RemovalNeverFollowsALinkOutOfTheWorkFolder) {
  Scenario run;
  FileOfSize(run.dir.path() / "a.txt", 5, 'a');
  ASSERT_TRUE(Pack(run.exe, {"--item", (run.dir.path() / "a.txt").string()}));
  fs::path outside = run.dir.path() / "outside";
  fs::create_directories(outside / "inner");
  WriteFileBytes(outside / "precious.txt", "keep me");
  WriteFileBytes(outside / "inner" / "deep.txt", "keep me too");
  // With zeroguid the work folder's name is known, so the link is planted before the run, as the
  // front end (or anything else) could do while the run goes on.
  fs::path work = run.base / kZeroGuid;
  fs::create_directories(work);
  fs::create_directory_symlink(outside, work / "link");

  RunResult result = run.Start("/dontrun /zeroguid");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(FilesUnder(outside), (std::vector<std::string>{"inner/deep.txt", "precious.txt"}));
  // Under Wine no Windows call removes a host symbolic link, so the link (and with it the work
  // folder) stays; on Windows RemoveDirectoryW removes the link itself. The payload item is gone.
  EXPECT_EQ(EntriesIn(work), std::vector<std::string>{"link"});
  EXPECT_TRUE(fs::is_symlink(work / "link"));
  std::vector<std::string> lines = LogFileLines(run.log);
  const std::string link = WindowsPath(work) + "\\link";
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Remove Folder '" + link + "'"), lines.end());
  for (const std::string& line : lines) EXPECT_EQ(line.find(link + "\\"), std::string::npos) << line;
}

TEST(PayloadE2E, ItemsAreNeverDeletedThroughALinkOnTheirWay) {
  Scenario run;
  FileOfSize(run.dir.path() / "x.txt", 5, 'x');
  FileOfSize(run.dir.path() / "b.bin", 10, 'b');
  // b.bin (id 103, written first) fails its size check, so sub\x.txt is never written; the removal
  // still deletes every item by name, and must not reach outside/x.txt through the link "sub".
  WriteFileBytes(run.dir.path() / "index.txt", "102*sub\\x.txt*5*103*b.bin*11*");
  ASSERT_TRUE(Pack(run.exe, {"--index-text", (run.dir.path() / "index.txt").string(), "--item",
                             (run.dir.path() / "x.txt").string(), "--item", (run.dir.path() / "b.bin").string()}));
  fs::path outside = run.dir.path() / "outside";
  fs::create_directories(outside);
  WriteFileBytes(outside / "x.txt", "keep me");
  fs::path work = run.base / kZeroGuid;
  fs::create_directories(work);
  fs::create_directory_symlink(outside, work / "sub");

  RunResult result = run.Start("/dontrun /zeroguid");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, kSizeMismatch);
  EXPECT_EQ(ReadFileBytes(outside / "x.txt"), "keep me");
  std::vector<std::string> lines = LogFileLines(run.log);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Manual Deletion of '" + WindowsPath(work) + "\\sub\\x.txt'"),
            lines.end());
}

TEST(PayloadE2E, A256MegabyteItemExtractsExactly) {
  Scenario run;
  fs::path big = run.dir.path() / "big.bin";
  ASSERT_EQ(RunHost({(HostBuildDir() / "tools" / "make-filler").string(), std::to_string(256u << 20), big.string(),
                     "256"}),
            0);
  ASSERT_TRUE(Pack(run.exe, {"--item", big.string()}));
  RunResult result = run.Start("/dontrun /keep");
  ASSERT_TRUE(result.ran) << result.output;
  EXPECT_EQ(result.exitCode, 0u);
  fs::path extracted = run.WorkFolder() / "big.bin";
  ASSERT_EQ(fs::file_size(extracted), 256u << 20);
  EXPECT_TRUE(ReadFileBytes(extracted) == ReadFileBytes(big));
}

}  // namespace
}  // namespace e2e
