// End-to-end tests of harnex-pack: the real program packs real i686 stubs (built by this build),
// and its outputs are read back by binutils (objdump, windres), by the packer's own parser, and
// under Wine by the system's loader and resource functions.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/packer/byte_source.h"
#include "tools/packer/pe_image.h"
#include "tools/packer/resource_tree.h"
#include "tools/packer/string_table.h"
#include "tools/packer/text_convert.h"

namespace harnex::packer {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Pattern(size_t size, uint32_t seed) {
  Bytes bytes(size);
  std::mt19937 random(seed);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

std::string Fnv1a(const Bytes& bytes) {
  uint32_t hash = 2166136261u;
  for (uint8_t b : bytes) hash = (hash ^ b) * 16777619u;
  char text[9];
  std::snprintf(text, sizeof text, "%08x", hash);
  return text;
}

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a shell command; its output goes through files in `scratch`, which is left empty.
CommandResult RunCommand(const std::string& command, const fs::path& scratch) {
  const fs::path out = scratch / "stdout", err = scratch / "stderr";
  const int status = std::system((command + " </dev/null >" + Quote(out) + " 2>" + Quote(err)).c_str());
  CommandResult run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const Bytes outBytes = ReadBytes(out), errBytes = ReadBytes(err);
  run.out.assign(outBytes.begin(), outBytes.end());
  run.err.assign(errBytes.begin(), errBytes.end());
  fs::remove(out);
  fs::remove(err);
  return run;
}

// One resource of a .res file as windres writes it: type and name ("#id" or the name) and which
// variant of that type and name it is (windres writes every language as 0, but keeps their order).
struct ResKey {
  std::string type;
  std::string name;
  int variant;
  bool operator<(const ResKey& o) const { return std::tie(type, name, variant) < std::tie(o.type, o.name, o.variant); }
};

std::map<ResKey, Bytes> ReadResFile(const fs::path& path) {
  const Bytes res = ReadBytes(path);
  std::map<ResKey, Bytes> entries;
  size_t at = 0;
  auto readKey = [&res](size_t& p) {
    if (GetU16(&res[p]) == 0xFFFF) {
      const uint16_t id = GetU16(&res[p + 2]);
      p += 4;
      return "#" + std::to_string(id);
    }
    std::u16string name;
    for (; GetU16(&res[p]) != 0; p += 2) name.push_back(GetU16(&res[p]));
    p += 2;
    std::string utf8;
    EXPECT_TRUE(Utf16ToUtf8(name, &utf8));
    return utf8;
  };
  while (at + 8 <= res.size()) {
    const uint32_t dataSize = GetU32(&res[at]);
    const uint32_t headerSize = GetU32(&res[at + 4]);
    size_t p = at + 8;
    ResKey key;
    key.type = readKey(p);
    key.name = readKey(p);
    key.variant = 0;
    while (entries.count(key) != 0) ++key.variant;
    if (key.type != "#0") entries[key] = Bytes(res.begin() + at + headerSize, res.begin() + at + headerSize + dataSize);
    at = (at + headerSize + dataSize + 3) & ~size_t{3};
  }
  return entries;
}

// The resource tree as objdump -p prints it: "type name language size" for every leaf, in
// directory order, ids in decimal.
std::string ObjdumpResourceTree(const std::string& listing) {
  std::string tree, type, name, language;
  std::istringstream lines(listing.substr(listing.find("Resource Directory section")));
  for (std::string line; std::getline(lines, line);) {
    const size_t entry = line.find("Entry: ");
    const size_t leaf = line.find("Leaf: ");
    if (entry != std::string::npos) {
      std::string key;
      const size_t id = line.find("ID: ", entry);
      if (id != std::string::npos && id < line.find(", Value")) {
        key = std::to_string(std::stoul(line.substr(id + 4), nullptr, 16));
      } else {
        const size_t colon = line.find("]: ", entry);
        key = line.substr(colon + 3, line.find(", Value") - colon - 3);
      }
      const size_t depth = entry - line.find_first_of(' ');
      (depth <= 3 ? type : depth <= 5 ? name : language) = key;
    } else if (leaf != std::string::npos) {
      const size_t size = line.find("Size: ", leaf) + 6;
      tree += type + " " + name + " " + language + " " + std::to_string(std::stoul(line.substr(size), nullptr, 16)) + "\n";
    }
  }
  return tree;
}

// "type name language size hash" lines, for comparisons that show what differs.
std::string Describe(const std::map<ResKey, Bytes>& resources) {
  std::string text;
  for (const auto& [key, data] : resources) {
    text += key.type + " " + key.name + " " + std::to_string(key.variant) + " " + std::to_string(data.size()) + " " +
            Fnv1a(data) + "\n";
  }
  return text;
}

// The checksum of a file as the loader's helpers compute it (the stored field counted as 0).
uint32_t ComputeChecksum(Bytes bytes) {
  const uint32_t field = ChecksumFieldOffset(bytes);
  std::memset(&bytes[field], 0, 4);
  PeChecksum checksum;
  checksum.Add(bytes.data(), bytes.size());
  return checksum.Finish(bytes.size());
}

uint32_t StoredChecksum(const Bytes& bytes) { return GetU32(&bytes[ChecksumFieldOffset(bytes)]); }

struct StubCase {
  const char* label;
  const char* path;
  bool resourcesLast;
};

void PrintTo(const StubCase& stub, std::ostream* out) { *out << stub.label; }

const StubCase kStubs[] = {
    {"ResourcesLast", HARNEX_STUB_LAST, true},
    {"ResourcesBeforeOtherSections", HARNEX_STUB_MIDDLE, false},
};

class PackerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = fs::temp_directory_path() / ("harnex-pack-it-" + std::to_string(std::random_device()()));
    for (const char* folder : {"in", "out", "cmd"}) fs::create_directories(m_root / folder);
  }
  void TearDown() override { fs::remove_all(m_root); }

  fs::path In(const std::string& name) const { return m_root / "in" / name; }
  fs::path Out(const std::string& name) const { return m_root / "out" / name; }

  CommandResult Command(const std::string& command) { return RunCommand(command, m_root / "cmd"); }

  CommandResult Pack(const std::vector<std::string>& args) {
    std::string command = Quote(HARNEX_PACK_EXE);
    for (const std::string& arg : args) command += " " + Quote(arg);
    return Command(command);
  }

  // The report of the test stub's checker: of `target` loaded as a resource module, or, when
  // `target` is empty, of `program` itself as a running process.
  CommandResult Wine(const fs::path& program, const fs::path& target = {}) {
    std::string command = Quote(HARNEX_WINE_RUN) + " --build " + Quote(HARNEX_WIN_BUILD_DIR) + " " + Quote(program.string());
    if (!target.empty()) command += " " + Quote(target.string());
    return Command(command);
  }

  std::vector<std::string> OutFolder() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_root / "out")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path m_root;
};

// The index that WriteFullPayload's items make (81 bytes).
const char kFullIndex[] = "102*a.bin*1000*103*empty.dat*0*104*sub\\b.bin*7*300*Front.UI.exe*4097*301*c.txt*5*";

class PackerOnStub : public PackerRun, public ::testing::WithParamInterface<StubCase> {
 protected:
  // A payload of every kind: plain, empty, renamed into a subfolder, explicit id, named resource;
  // string edits that set, add, change and remove entries; an information block.
  std::vector<std::string> WriteFullPayload(const fs::path& stub, const fs::path& out) {
    WriteBytes(In("a.bin"), Pattern(1000, 1));
    WriteBytes(In("empty.dat"), {});
    WriteBytes(In("b.bin"), Text("seven b"));
    WriteBytes(In("front.exe"), Pattern(4097, 2));
    WriteBytes(In("c.txt"), Text("c-txt"));
    WriteBytes(In("blob.dat"), Text("named data"));
    Bytes info = Text("<info a=\"1\"/>");
    info.push_back(0);
    info.push_back('t');
    WriteBytes(In("info.xml"), info);
    return {"--stub", stub.string(), "--out", out.string(),
            "--item", In("a.bin").string(), "--item", In("empty.dat").string(),
            "--item-as", "sub\\b.bin", In("b.bin").string(),
            "--item-id", "300", "Front.UI.exe", In("front.exe").string(),
            "--item", In("c.txt").string(),
            "--named-resource", "Blob", In("blob.dat").string(),
            "--string", "1", "Zed Product", "--string", "103", "750", "--remove-string", "2",
            "--remove-string", "201", "--string", "4000", "new block \xE2\x9C\x93",
            "--info", In("info.xml").string()};
  }

  std::map<ResKey, Bytes> Resources(const fs::path& exe) {
    const fs::path res = m_root / "cmd" / (exe.filename().string() + ".res");
    const CommandResult run = Command(Quote(HARNEX_WINDRES) + " -i " + Quote(exe.string()) + " -O res -o " + Quote(res.string()));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::map<ResKey, Bytes> entries = ReadResFile(res);
    fs::remove(res);
    return entries;
  }
};

// String-table entries of a .res, as "variant:id=text" lines in variant and id order.
std::string StringEntries(const std::map<ResKey, Bytes>& resources) {
  std::vector<std::tuple<int, int, std::string>> entries;
  for (const auto& [key, data] : resources) {
    if (key.type != "#6") continue;
    StringBlock block;
    EXPECT_TRUE(DecodeStringBlock(data, &block));
    const int blockId = std::stoi(key.name.substr(1));
    for (int k = 0; k < 16; ++k) {
      if (block[k].empty()) continue;
      std::string utf8;
      EXPECT_TRUE(Utf16ToUtf8(block[k], &utf8));
      entries.emplace_back(key.variant, (blockId - 1) * 16 + k, utf8);
    }
  }
  std::sort(entries.begin(), entries.end());
  std::string text;
  for (const auto& [variant, id, utf8] : entries) text += std::to_string(variant) + ":" + std::to_string(id) + "=" + utf8 + "\n";
  return text;
}

// The lines of an ObjdumpResourceTree listing whose type is or is not `type`.
std::string TreeLines(const std::string& tree, const std::string& type, bool keep) {
  std::string lines;
  std::istringstream in(tree);
  for (std::string line; std::getline(in, line);) {
    if ((line.rfind(type + " ", 0) == 0) == keep) lines += line + "\n";
  }
  return lines;
}

TEST_P(PackerOnStub, WritesItemsIndexStringsAndInformation) {
  const fs::path stub = GetParam().path, out = Out("out.exe");
  const CommandResult run = Pack(WriteFullPayload(stub, out));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(OutFolder(), std::vector<std::string>{"out.exe"});

  // TOOLKIT holds exactly the new items, the generated index and the named resource.
  const std::map<ResKey, Bytes> stubResources = Resources(stub), outResources = Resources(out);
  std::map<ResKey, Bytes> toolkit;
  for (const auto& [key, data] : outResources) {
    if (key.type == "TOOLKIT") toolkit[key] = data;
  }
  const std::map<ResKey, Bytes> expectedToolkit = {
      {{"TOOLKIT", "BLOB", 0}, Text("named data")},
      {{"TOOLKIT", "#101", 0},
       Text(kFullIndex)},
      {{"TOOLKIT", "#102", 0}, Pattern(1000, 1)},
      {{"TOOLKIT", "#103", 0}, {}},
      {{"TOOLKIT", "#104", 0}, Text("seven b")},
      {{"TOOLKIT", "#300", 0}, Pattern(4097, 2)},
      {{"TOOLKIT", "#301", 0}, Text("c-txt")},
  };
  EXPECT_EQ(Describe(toolkit), Describe(expectedToolkit));

  // The string table: edits applied in both languages of block 1, block 13 gone, block 251 new.
  EXPECT_EQ(StringEntries(stubResources),
            "0:0=x86\n0:1=Pallador\n0:2=entry two\n0:103=500\n0:138=0\n0:145=1\n0:201=Mini\n0:300=alone in its block\n"
            "1:1=Pallador (de)\n");
  EXPECT_EQ(StringEntries(outResources),
            "0:0=x86\n0:1=Zed Product\n0:103=750\n0:138=0\n0:145=1\n0:300=alone in its block\n"
            "0:4000=new block \xE2\x9C\x93\n1:1=Zed Product\n");

  // Every other resource (manifest, icon, version, RCDATA) is there unchanged, and nothing else.
  std::map<ResKey, Bytes> stubOthers, outOthers;
  for (const auto& [key, data] : stubResources) {
    if (key.type != "TOOLKIT" && key.type != "#6") stubOthers[key] = data;
  }
  for (const auto& [key, data] : outResources) {
    if (key.type != "TOOLKIT" && key.type != "#6") outOthers[key] = data;
  }
  EXPECT_EQ(stubOthers.size(), 5u);  // manifest, icon, icon group, version, RCDATA
  EXPECT_EQ(Describe(outOthers), Describe(stubOthers));

  // objdump's reading of the directory: languages kept, the emptied block 13 gone, directory order.
  const CommandResult stubListing = Command(Quote(HARNEX_OBJDUMP) + " -p " + Quote(stub.string()));
  const CommandResult outListing = Command(Quote(HARNEX_OBJDUMP) + " -p " + Quote(out.string()));
  ASSERT_EQ(outListing.exitCode, 0);
  EXPECT_EQ(outListing.err, "");
  const std::string stubTree = ObjdumpResourceTree(stubListing.out), outTree = ObjdumpResourceTree(outListing.out);
  EXPECT_EQ(TreeLines(TreeLines(outTree, "TOOLKIT", false), "6", false),
            TreeLines(TreeLines(stubTree, "TOOLKIT", false), "6", false));
  EXPECT_EQ(TreeLines(outTree, "TOOLKIT", true),
            "TOOLKIT BLOB 0 10\nTOOLKIT 101 0 81\nTOOLKIT 102 0 1000\nTOOLKIT 103 0 0\nTOOLKIT 104 0 7\n"
            "TOOLKIT 300 0 4097\nTOOLKIT 301 0 5\n");
  std::string stringBlocks;
  std::istringstream stringLines(TreeLines(outTree, "6", true));
  for (std::string line; std::getline(stringLines, line);) stringBlocks += line.substr(0, line.rfind(' ')) + ";";
  EXPECT_EQ(stringBlocks, "6 1 0;6 1 1031;6 7 0;6 9 0;6 10 0;6 19 0;6 251 0;");

  // The information block ends the file.
  const Bytes outBytes = ReadBytes(out), stubBytes = ReadBytes(stub);
  Bytes tail = Text("MRDC<info a=\"1\"/>");
  tail.push_back(0);
  tail.push_back('t');
  tail.insert(tail.end(), 6, 0);
  ASSERT_GT(outBytes.size(), tail.size());
  EXPECT_EQ(Bytes(outBytes.end() - static_cast<long>(tail.size()), outBytes.end()), tail);

  // The checksum is right: the algorithm agrees with the linker's on the stub, and the output stores its own.
  EXPECT_EQ(ComputeChecksum(stubBytes), StoredChecksum(stubBytes));
  EXPECT_NE(StoredChecksum(outBytes), 0u);
  EXPECT_EQ(ComputeChecksum(outBytes), StoredChecksum(outBytes));

  // The section table: the stub's sections are unchanged (bar a rename), their bytes too.
  MemorySource stubSource(stubBytes), outSource(outBytes);
  PeImage stubImage, outImage;
  std::string error;
  ASSERT_EQ(ParsePeImage(stubSource, &stubImage, &error), 0u) << error;
  ASSERT_EQ(ParsePeImage(outSource, &outImage, &error), 0u) << error;
  const size_t kept = stubImage.sections.size() - (GetParam().resourcesLast ? 1 : 0);
  ASSERT_EQ(outImage.sections.size(), kept + 1);
  for (size_t k = 0; k < kept; ++k) {
    const SectionHeader& a = stubImage.sections[k];
    const SectionHeader& b = outImage.sections[k];
    const bool renamed = std::memcmp(a.name, ".rsrc\0\0\0", 8) == 0;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.name), 8),
              renamed ? std::string(".oldrsrc") : std::string(reinterpret_cast<const char*>(a.name), 8));
    EXPECT_EQ(a.virtualAddress, b.virtualAddress);
    EXPECT_EQ(a.virtualSize, b.virtualSize);
    EXPECT_EQ(a.pointerToRawData, b.pointerToRawData);
    ASSERT_EQ(a.sizeOfRawData, b.sizeOfRawData);
    EXPECT_TRUE(std::equal(stubBytes.begin() + a.pointerToRawData, stubBytes.begin() + a.pointerToRawData + a.sizeOfRawData,
                           outBytes.begin() + b.pointerToRawData));
  }
  const SectionHeader& resources = outImage.sections.back();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(resources.name)), ".rsrc");
  EXPECT_EQ(outImage.resourceRva, resources.virtualAddress);
  EXPECT_EQ(outImage.sizeOfImage, (resources.virtualAddress + resources.virtualSize + 0xFFF) & ~0xFFFu);

  // binutils reads the result without complaint and sees the new resource directory.
  const CommandResult headers = Command(Quote(HARNEX_OBJDUMP) + " -p -h " + Quote(out.string()));
  ASSERT_EQ(headers.exitCode, 0);
  EXPECT_EQ(headers.err, "");
  char entry[96];
  std::snprintf(entry, sizeof entry, "Entry 2 %08x %08x Resource Directory [.rsrc]", resources.virtualAddress,
                resources.virtualSize);
  EXPECT_NE(headers.out.find(entry), std::string::npos) << headers.out;
  EXPECT_NE(headers.out.find("Entry 4 00000000 00000000 Security Directory"), std::string::npos);
  if (!GetParam().resourcesLast) {
    // Long section names resolve through the moved string table; the symbols are intact.
    EXPECT_NE(headers.out.find(".debug_info"), std::string::npos);
    EXPECT_NE(headers.out.find(".oldrsrc"), std::string::npos);
    const CommandResult stubSymbols = Command(Quote(HARNEX_OBJDUMP) + " -t " + Quote(stub.string()));
    const CommandResult outSymbols = Command(Quote(HARNEX_OBJDUMP) + " -t " + Quote(out.string()));
    ASSERT_EQ(outSymbols.exitCode, 0);
    EXPECT_EQ(outSymbols.err, "");
    const auto body = [](const std::string& listing) { return listing.substr(listing.find("SYMBOL TABLE")); };
    EXPECT_GT(stubSymbols.out.size(), 1000u);
    EXPECT_EQ(body(outSymbols.out), body(stubSymbols.out));
  }

  // Packing the output again with the same arguments gives the same file.
  std::vector<std::string> again = WriteFullPayload(out, Out("again.exe"));
  const CommandResult repack = Pack(again);
  ASSERT_EQ(repack.exitCode, 0) << repack.err;
  EXPECT_TRUE(ReadBytes(Out("again.exe")) == outBytes);
}

TEST_P(PackerOnStub, DropsTheCertificateTable) {
  // A stub with a certificate table after its end, as a signing tool leaves it.
  Bytes signedStub = ReadBytes(GetParam().path);
  while (signedStub.size() % 8 != 0) signedStub.push_back(0);
  const uint32_t certificateOffset = static_cast<uint32_t>(signedStub.size());
  Bytes certificate = Text("........FAKE-SIGNATURE-BYTES....");
  PutU32(&certificate[0], static_cast<uint32_t>(certificate.size()));
  PutU16(&certificate[4], 0x0200);
  PutU16(&certificate[6], 0x0002);
  signedStub.insert(signedStub.end(), certificate.begin(), certificate.end());
  const uint32_t security = GetU32(&signedStub[0x3C]) + 24 + 96 + 8 * 4;
  PutU32(&signedStub[security], certificateOffset);
  PutU32(&signedStub[security + 4], static_cast<uint32_t>(certificate.size()));
  WriteBytes(In("signed.exe"), signedStub);
  WriteBytes(In("a.bin"), Text("abc"));

  const CommandResult run = Pack({"--stub", In("signed.exe").string(), "--out", Out("out.exe").string(), "--item", In("a.bin").string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Bytes out = ReadBytes(Out("out.exe"));
  EXPECT_EQ(GetU32(&out[security]), 0u);
  EXPECT_EQ(GetU32(&out[security + 4]), 0u);
  EXPECT_EQ(std::search(out.begin(), out.end(), certificate.begin() + 8, certificate.end()), out.end());
  EXPECT_EQ(ComputeChecksum(out), StoredChecksum(out));
  const CommandResult headers = Command(Quote(HARNEX_OBJDUMP) + " -p " + Quote(Out("out.exe").string()));
  EXPECT_EQ(headers.exitCode, 0);
  EXPECT_EQ(headers.err, "");
}

// Under Wine: the packed file runs (its own report through the system's loader) and the checker
// sees the same resources through FindResource/SizeofResource/LoadString as the packer wrote.
TEST_P(PackerOnStub, WindowsSeesThePackedResources) {
  if (std::string(HARNEX_WIN_BUILD_DIR).empty()) GTEST_SKIP() << "configure with -DHARNEX_WIN_BUILD_DIR=<windows build> to run Wine";
  const fs::path stub = GetParam().path, out = Out("out.exe");
  const CommandResult run = Pack(WriteFullPayload(stub, out));
  ASSERT_EQ(run.exitCode, 0) << run.err;

  const CommandResult stubReport = Wine(HARNEX_STUB_LAST, stub);
  const CommandResult outReport = Wine(HARNEX_STUB_LAST, out);
  const CommandResult selfReport = Wine(out);
  ASSERT_EQ(stubReport.exitCode, 0) << stubReport.out;
  ASSERT_EQ(outReport.exitCode, 0) << outReport.out;
  ASSERT_EQ(selfReport.exitCode, 0) << selfReport.out;
  EXPECT_EQ(selfReport.out, outReport.out);

  // Lines of the stub's report that a pack keeps: every resource but TOOLKIT and the string table.
  std::string kept;
  std::istringstream stubLines(stubReport.out);
  for (std::string line; std::getline(stubLines, line);) {
    if (line.rfind("resource TOOLKIT ", 0) == 0 || line.rfind("resource 6 ", 0) == 0) continue;
    if (line.rfind("resource ", 0) == 0) kept += line + "\n";
  }
  std::string others, toolkit, strings, checksum;
  std::istringstream outLines(outReport.out);
  for (std::string line; std::getline(outLines, line);) {
    if (line.rfind("resource TOOLKIT ", 0) == 0) toolkit += line + "\n";
    else if (line.rfind("resource 6 ", 0) == 0) continue;
    else if (line.rfind("resource ", 0) == 0) others += line + "\n";
    else if (line.rfind("string ", 0) == 0) strings += line + "\n";
    else checksum += line + "\n";
  }
  EXPECT_EQ(others, kept);
  // Named entries first, then ids ascending: the order of the system's enumeration.
  auto item = [](const std::string& name, const Bytes& data) {
    return "resource TOOLKIT " + name + " " + std::to_string(data.size()) + " " + Fnv1a(data) + "\n";
  };
  EXPECT_EQ(toolkit, item("BLOB", Text("named data")) +
                         item("101", Text(kFullIndex)) +
                         item("102", Pattern(1000, 1)) + item("103", {}) + item("104", Text("seven b")) +
                         item("300", Pattern(4097, 2)) + item("301", Text("c-txt")));
  EXPECT_EQ(strings,
            "string 0 x86\nstring 1 Zed Product\nstring 103 750\nstring 138 0\nstring 145 1\n"
            "string 300 alone in its block\nstring 4000 new block \xE2\x9C\x93\n");
  char expectedChecksum[64];
  const uint32_t stored = StoredChecksum(ReadBytes(out));
  std::snprintf(expectedChecksum, sizeof expectedChecksum, "checksum 0 %08x %08x\n", stored, stored);
  EXPECT_EQ(checksum, expectedChecksum);
}

INSTANTIATE_TEST_SUITE_P(Stubs, PackerOnStub, ::testing::ValuesIn(kStubs),
                         [](const ::testing::TestParamInfo<StubCase>& info) { return std::string(info.param.label); });

TEST_F(PackerRun, FailuresLeaveThePreviousOutputAlone) {
  WriteBytes(In("a.bin"), Text("abc"));
  WriteBytes(In("text.exe"), Text("this is not a program"));
  Bytes x64 = ReadBytes(HARNEX_STUB_LAST);
  PutU16(&x64[GetU32(&x64[0x3C]) + 4], 0x8664);
  WriteBytes(In("x64.exe"), x64);
  Bytes pe32plus = ReadBytes(HARNEX_STUB_LAST);
  PutU16(&pe32plus[GetU32(&pe32plus[0x3C]) + 24], 0x20B);
  WriteBytes(In("pe32plus.exe"), pe32plus);
  WriteBytes(In("long.xml"), Bytes(4107, 'i'));
  WriteBytes(In("marker.xml"), Text("<a>MRDC</a>"));
  fs::create_directories(In("folder"));
  const std::string stub = HARNEX_STUB_LAST, a = In("a.bin").string();

  struct Case {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  } cases[] = {
      {{"--stub", In("missing.exe").string(), "--item", a}, 3, "cannot read stub"},
      {{"--stub", In("text.exe").string(), "--item", a}, 3, "no MZ header"},
      {{"--stub", In("x64.exe").string(), "--item", a}, 3, "not an i386 image (machine 0x8664)"},
      {{"--stub", In("pe32plus.exe").string(), "--item", a}, 3, "not a PE32 image"},
      {{"--stub", stub, "--item", In("missing.bin").string()}, 4, "cannot read item"},
      {{"--stub", stub, "--item", In("folder").string()}, 4, "cannot read item"},
      {{"--stub", stub, "--index-text", In("missing.txt").string()}, 4, "cannot read index text"},
      {{"--stub", stub, "--info", In("missing.xml").string()}, 4, "cannot read information file"},
      {{"--stub", stub, "--info", In("long.xml").string()}, 2, "4107 bytes long"},
      {{"--stub", stub, "--info", In("marker.xml").string()}, 2, "contains \"MRDC\""},
      {{"--stub", stub, "--item-id", "101", "x", a}, 2, "payload index"},
      {{"--stub", stub, "--bogus"}, 2, "unknown option"},
  };
  for (Case& c : cases) {
    WriteBytes(Out("out.exe"), Text("previous"));
    c.args.push_back("--out");
    c.args.push_back(Out("out.exe").string());
    const CommandResult run = Pack(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.message;
    EXPECT_EQ(run.err.rfind("harnex-pack: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(OutFolder(), std::vector<std::string>{"out.exe"}) << c.message;
    EXPECT_TRUE(ReadBytes(Out("out.exe")) == Text("previous")) << c.message;
  }

  const CommandResult noFolder = Pack({"--stub", stub, "--out", (m_root / "nowhere" / "out.exe").string(), "--item", a});
  EXPECT_EQ(noFolder.exitCode, 5);
  EXPECT_NE(noFolder.err.find("cannot create a temporary file"), std::string::npos) << noFolder.err;
}

TEST_F(PackerRun, PacksAStubInPlace) {
  WriteBytes(In("a.bin"), Text("abc"));
  fs::copy_file(HARNEX_STUB_MIDDLE, Out("stub.exe"));
  const std::vector<std::string> payload = {"--item", In("a.bin").string(), "--string", "1", "In place"};
  std::vector<std::string> toOther = {"--stub", HARNEX_STUB_MIDDLE, "--out", Out("other.exe").string()};
  std::vector<std::string> inPlace = {"--stub", Out("stub.exe").string(), "--out", Out("stub.exe").string()};
  toOther.insert(toOther.end(), payload.begin(), payload.end());
  inPlace.insert(inPlace.end(), payload.begin(), payload.end());
  ASSERT_EQ(Pack(toOther).exitCode, 0);
  const CommandResult run = Pack(inPlace);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(ReadBytes(Out("stub.exe")) == ReadBytes(Out("other.exe")));
  EXPECT_EQ(OutFolder(), (std::vector<std::string>{"other.exe", "stub.exe"}));
}

TEST_F(PackerRun, RefusesAnImageTooLargeToMapBeforeWritingAnything) {
  // A sparse 1.6 GB item: no disk space taken, and refused before any byte of it is read.
  { std::ofstream(In("huge.bin"), std::ios::binary); }
  fs::resize_file(In("huge.bin"), 0x66666666);
  const auto start = std::chrono::steady_clock::now();
  const CommandResult run = Pack({"--stub", HARNEX_STUB_LAST, "--out", Out("out.exe").string(), "--item", In("huge.bin").string()});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(run.exitCode, 6) << run.err;
  EXPECT_NE(run.err.find("a 32-bit image may take at most"), std::string::npos) << run.err;
  EXPECT_TRUE(OutFolder().empty());
  EXPECT_LT(seconds, 5.0);
}

// A 256 MB item is streamed: exact size and bytes, and the packer's memory stays small.
TEST_F(PackerRun, StreamsA256MegabyteItem) {
  constexpr size_t kSize = 256u << 20;
  constexpr size_t kChunk = 1u << 20;
  uint32_t bigHash = 2166136261u;  // FNV-1a of the item, as the checker computes it
  {
    // Every 4-byte word holds its own offset: any shifted or missing region shows.
    std::ofstream item(In("big.bin"), std::ios::binary);
    std::vector<uint32_t> words(kChunk / 4);
    for (size_t at = 0; at < kSize; at += kChunk) {
      for (size_t k = 0; k < words.size(); ++k) words[k] = static_cast<uint32_t>(at + 4 * k);
      item.write(reinterpret_cast<const char*>(words.data()), kChunk);
      const uint8_t* bytes = reinterpret_cast<const uint8_t*>(words.data());
      for (size_t k = 0; k < kChunk; ++k) bigHash = (bigHash ^ bytes[k]) * 16777619u;
    }
  }
  WriteBytes(In("small.txt"), Text("after the big one"));
  const fs::path out = Out("big.exe");
  // GNU time reports the packer's peak memory; without it the pack still runs and is checked.
  const bool measure = fs::exists("/usr/bin/time");
  std::string command = (measure ? "/usr/bin/time -v " : "") + Quote(HARNEX_PACK_EXE) + " --stub " + Quote(HARNEX_STUB_MIDDLE) +
                        " --out " + Quote(out.string()) + " --item " + Quote(In("big.bin").string()) +
                        " --item " + Quote(In("small.txt").string());
  const CommandResult run = Command(command);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  if (measure) {
    const size_t rssAt = run.err.find("Maximum resident set size (kbytes): ");
    ASSERT_NE(rssAt, std::string::npos) << run.err;
    const long peakKilobytes = std::stol(run.err.substr(rssAt + 36));
    const size_t wallAt = run.err.find("Elapsed (wall clock) time");
    std::cout << "[ measured ] 256 MB pack: peak RSS " << peakKilobytes << " KB; "
              << run.err.substr(wallAt, run.err.find('\n', wallAt) - wallAt) << "\n";
    EXPECT_LT(peakKilobytes, 32 * 1024);
  }

  // The stored checksum matches one computed over the whole file.
  {
    std::ifstream in(out, std::ios::binary);
    Bytes chunk(kChunk);
    PeChecksum checksum;
    uint64_t size = 0;
    uint32_t stored = 0;
    while (in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
      const size_t got = static_cast<size_t>(in.gcount());
      if (size == 0) {
        const uint32_t field = ChecksumFieldOffset(chunk);
        stored = GetU32(&chunk[field]);
        std::memset(&chunk[field], 0, 4);
      }
      checksum.Add(chunk.data(), got);
      size += got;
    }
    EXPECT_EQ(checksum.Finish(size), stored);
    EXPECT_EQ(size, fs::file_size(out));
  }
  FileSource source;
  ASSERT_TRUE(source.Open(out));
  PeImage image;
  ResourceTree tree;
  std::string error;
  ASSERT_EQ(ParsePeImage(source, &image, &error), 0u) << error;
  ASSERT_EQ(ParseResourceTree(source, MappedRanges(image), image.resourceRva, &tree, &error), 0u) << error;
  ResourceType* toolkit = FindResourceType(&tree, ResourceKey::Name(u"TOOLKIT"));
  ASSERT_NE(toolkit, nullptr);
  const DataBlob& big = FindResourceName(toolkit, ResourceKey::Id(102))->languages[0].data;
  const DataBlob& small = FindResourceName(toolkit, ResourceKey::Id(103))->languages[0].data;
  const DataBlob& index = FindResourceName(toolkit, ResourceKey::Id(101))->languages[0].data;
  ASSERT_EQ(big.Size(), kSize);
  Bytes indexText;
  ASSERT_TRUE(ReadBlob(index, &indexText, &error));
  EXPECT_TRUE(indexText == Text("102*big.bin*268435456*103*small.txt*17*"));
  Bytes smallBytes;
  ASSERT_TRUE(ReadBlob(small, &smallBytes, &error));
  EXPECT_TRUE(smallBytes == Text("after the big one"));
  for (const uint64_t offset : {uint64_t{0}, uint64_t{kSize / 2 + 12}, uint64_t{kSize - 4096}}) {
    Bytes region;
    ASSERT_TRUE(ReadBlob(DataBlob::FromFile(out, big.offset + offset, 4096), &region, &error));
    for (size_t k = 0; k < region.size(); k += 4) {
      ASSERT_EQ(GetU32(&region[k]), static_cast<uint32_t>(offset + k)) << "at item offset " << offset + k;
    }
  }
  EXPECT_EQ(image.sizeOfImage, (image.sections.back().virtualAddress + image.sections.back().virtualSize + 0xFFF) & ~0xFFFu);
  const CommandResult headersCheck = Command(Quote(HARNEX_OBJDUMP) + " -p " + Quote(out.string()));
  EXPECT_EQ(headersCheck.exitCode, 0);
  EXPECT_EQ(headersCheck.err, "");

  // The system loader maps the 256 MB image and finds the item whole (about 2 s under the emulation).
  if (std::string(HARNEX_WIN_BUILD_DIR).empty()) return;
  const CommandResult report = Wine(out);
  ASSERT_EQ(report.exitCode, 0) << report.out;
  char line[80];
  std::snprintf(line, sizeof line, "resource TOOLKIT 102 %zu %08x\n", kSize, bigHash);
  EXPECT_NE(report.out.find(line), std::string::npos) << report.out;
}

}  // namespace
}  // namespace harnex::packer
