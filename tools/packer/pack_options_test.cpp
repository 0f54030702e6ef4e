#include "tools/packer/pack_options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tools/packer/pack.h"
#include "tools/packer/pack_error.h"

namespace harnex::packer {
namespace {

std::vector<std::string> WithStubAndOut(std::vector<std::string> args) {
  args.insert(args.begin(), {"--stub", "s.exe", "--out", "o.exe"});
  return args;
}

// "id:name" for each item.
std::string Items(const PackOptions& options) {
  std::string text;
  for (const ItemOption& item : options.items) text += std::to_string(item.id) + ":" + item.name + " ";
  return text;
}

TEST(PackOptions, AssignsItemIds) {
  struct Case {
    std::vector<std::string> args;
    const char* expected;
  } cases[] = {
      {{"--item", "dir/a.bin", "--item-as", "sub\\b.txt", "b", "--item", "c"}, "102:a.bin 103:sub\\b.txt 104:c "},
      {{"--item", "a", "--item-id", "200", "x", "b", "--item", "c"}, "102:a 200:x 201:c "},
      {{"--item-id", "50", "x", "a", "--item", "b"}, "50:x 102:b "},          // automatic ids stay above 101
      {{"--item-id", "101", "x", "a", "--no-index", "--item", "b"}, "101:x 102:b "},
      {{"--item-id", "65535", "x", "a"}, "65535:x "},
      {{"--item-id", "00007", "x", "a"}, "7:x "},
  };
  for (const Case& c : cases) {
    PackOptions options;
    std::string error;
    ASSERT_EQ(ParsePackArguments(WithStubAndOut(c.args), &options, &error), 0u) << error;
    EXPECT_EQ(Items(options), c.expected);
  }
}

TEST(PackOptions, ReadsTheOtherOptions) {
  PackOptions options;
  std::string error;
  ASSERT_EQ(ParsePackArguments(WithStubAndOut({"--item-as", "caf\xC3\xA9.txt", "p", "--index-text", "idx",
                                               "--named-resource", "Blob_1", "q", "--string", "1", "Zed \xE2\x9C\x93",
                                               "--remove-string", "201", "--string", "0", "", "--info", "i.xml"}),
                               &options, &error),
            0u)
      << error;
  EXPECT_EQ(options.stub, "s.exe");
  EXPECT_EQ(options.out, "o.exe");
  EXPECT_EQ(options.indexMode, IndexMode::kText);
  EXPECT_EQ(options.indexText, "idx");
  ASSERT_EQ(options.namedResources.size(), 1u);
  EXPECT_EQ(options.namedResources[0].name, u"BLOB_1");
  ASSERT_EQ(options.strings.size(), 3u);
  EXPECT_EQ(options.strings[0].text, u"Zed \u2713");
  EXPECT_TRUE(options.strings[1].remove);
  EXPECT_EQ(options.strings[1].id, 201);
  EXPECT_EQ(options.strings[2].text, u"");
  EXPECT_TRUE(options.hasInfo);

  ASSERT_EQ(ParsePackArguments(WithStubAndOut({"--item-as", "caf\xC3\xA9.txt", "p"}), &options, &error), 0u);
  EXPECT_EQ(options.indexMode, IndexMode::kGenerated);
  EXPECT_EQ(options.items[0].indexName, "caf\xE9.txt");
}

TEST(PackOptions, RefusesBadCommandLines) {
  struct Case {
    std::vector<std::string> args;
    const char* reason;
  } cases[] = {
      {{"--out", "o.exe"}, "--stub is missing"},
      {{"--stub", "s.exe"}, "--out is missing"},
      {WithStubAndOut({"--stub", "t.exe"}), "--stub is given twice"},
      {WithStubAndOut({"--frobnicate"}), "unknown option '--frobnicate'"},
      {WithStubAndOut({"stray.bin"}), "unknown option 'stray.bin'"},
      {WithStubAndOut({"--item"}), "--item needs a path"},
      {WithStubAndOut({"--item-id", "5", "name"}), "--item-id needs an id, a name and a path"},
      {WithStubAndOut({"--string", "5"}), "--string needs an id and a text"},
      {WithStubAndOut({"--item-id", "0", "x", "a"}), "item id '0'"},
      {WithStubAndOut({"--item-id", "65536", "x", "a"}), "item id '65536'"},
      {WithStubAndOut({"--item-id", "-5", "x", "a"}), "item id '-5'"},
      {WithStubAndOut({"--item-id", "+5", "x", "a"}), "item id '+5'"},
      {WithStubAndOut({"--item-id", "12abc", "x", "a"}), "item id '12abc'"},
      {WithStubAndOut({"--item-id", "101", "x", "a"}), "id 101, the payload index's"},
      {WithStubAndOut({"--index-text", "i", "--item-id", "101", "x", "a"}), "id 101, the payload index's"},
      {WithStubAndOut({"--item-id", "150", "x", "a", "--item-id", "150", "y", "b"}), "'x' and 'y' both take id 150"},
      {WithStubAndOut({"--item", "a", "--item-id", "102", "y", "b"}), "'a' and 'y' both take id 102"},
      {WithStubAndOut({"--item-id", "65535", "x", "a", "--item", "b"}), "id 65536, above 65535"},
      {WithStubAndOut({"--string", "65536", "t"}), "string id '65536'"},
      {WithStubAndOut({"--remove-string", "x"}), "string id 'x'"},
      {WithStubAndOut({"--string", "1", "\xC3"}), "not UTF-8"},
      {WithStubAndOut({"--no-index", "--index-text", "i"}), "exclude each other"},
      {WithStubAndOut({"--index-text", "i", "--index-text", "j"}), "--index-text is given twice"},
      {WithStubAndOut({"--info", "i", "--info", "j"}), "--info is given twice"},
      {WithStubAndOut({"--item-as", "a*b", "p"}), "contains '*'"},
      {WithStubAndOut({"--item-as", "\xE2\x9C\x93", "p"}), "Windows-1252"},
      {WithStubAndOut({"--item-as", "", "p"}), "empty"},
      {WithStubAndOut({"--named-resource", "#12", "p"}), "begins with '#'"},
      {WithStubAndOut({"--named-resource", "", "p"}), "empty"},
      {WithStubAndOut({"--named-resource", "blob", "p", "--named-resource", "BLOB", "q"}), "given twice"},
  };
  for (const Case& c : cases) {
    PackOptions options;
    std::string error;
    EXPECT_EQ(ParsePackArguments(c.args, &options, &error), kPackBadCommandLine) << c.reason;
    EXPECT_NE(error.find(c.reason), std::string::npos) << "expected '" << c.reason << "' in '" << error << "'";
  }
}

TEST(PackOptions, NamesAreNotCheckedWhenNoIndexIsGenerated) {
  PackOptions options;
  std::string error;
  EXPECT_EQ(ParsePackArguments(WithStubAndOut({"--no-index", "--item-as", "a*b", "p"}), &options, &error), 0u);
  EXPECT_EQ(ParsePackArguments(WithStubAndOut({"--index-text", "i", "--item-as", "\xE2\x9C\x93", "p"}), &options, &error), 0u);
}

TEST(PackCommand, HelpPrintsTheUsageAndErrorsAreOneLine) {
  std::ostringstream out, err;
  EXPECT_EQ(RunPackCommand({"--item", "x", "--help"}, out, err), 0);
  EXPECT_EQ(out.str(), kPackUsage);
  EXPECT_EQ(err.str(), "");

  struct Case {
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {{}, 2},
      {{"--stub"}, 2},
      {WithStubAndOut({"--bogus"}), 2},
      {{"--stub", "/nonexistent/stub.exe", "--out", "/nonexistent/out.exe"}, 3},
  };
  for (const Case& c : cases) {
    std::ostringstream out2, err2;
    EXPECT_EQ(RunPackCommand(c.args, out2, err2), c.exitCode);
    EXPECT_EQ(out2.str(), "");
    const std::string message = err2.str();
    EXPECT_EQ(message.rfind("harnex-pack: ", 0), 0u) << message;
    EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
  }
}

}  // namespace
}  // namespace harnex::packer
