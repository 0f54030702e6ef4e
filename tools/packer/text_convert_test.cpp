#include "tools/packer/text_convert.h"

#include <gtest/gtest.h>

namespace harnex::packer {
namespace {

TEST(TextConvert, Windows1252TakesItsCharactersAndRefusesOthers) {
  struct Case {
    const char* utf8;
    bool ok;
    const char* expected;
  } cases[] = {
      {"install.bin", true, "install.bin"},
      {"sub\\caf\xC3\xA9.txt", true, "sub\\caf\xE9.txt"},       // é
      {"\xE2\x82\xAC \xC5\x92 \xE2\x84\xA2", true, "\x80 \x8C \x99"},  // € Œ ™ in the 0x80 block
      {"\xC3\xBF", true, "\xFF"},                                 // ÿ, the last byte
      {"check \xE2\x9C\x93", false, ""},                          // U+2713 has no byte
      {"\xC2\x81", false, ""},                                    // U+0081, a byte the code page leaves unused
      {"\xC2\x80", false, ""},                                    // U+0080, a C1 control
      {"\xC3", false, ""},                                        // cut short
      {"\xC0\xAF", false, ""},                                    // overlong "/"
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(Utf8ToWindows1252(c.utf8, &out), c.ok) << c.utf8;
    if (c.ok) {
      EXPECT_EQ(out, c.expected) << c.utf8;
    }
  }
}

TEST(TextConvert, Utf8AndUtf16RoundTripAndRejectMalformedInput) {
  const std::string good[] = {"", "plain", "caf\xC3\xA9", "\xE2\x9C\x93", "\xF0\x9F\x98\x80 emoji"};
  for (const std::string& text : good) {
    std::u16string wide;
    std::string back;
    ASSERT_TRUE(Utf8ToUtf16(text, &wide)) << text;
    ASSERT_TRUE(Utf16ToUtf8(wide, &back)) << text;
    EXPECT_EQ(back, text);
  }
  std::u16string wide;
  ASSERT_TRUE(Utf8ToUtf16("\xF0\x9F\x98\x80", &wide));
  EXPECT_EQ(wide, (std::u16string{0xD83D, 0xDE00}));

  const std::string bad[] = {"\x80", "\xE2\x82", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE0\x80\xAF", "\xFF"};
  for (const std::string& text : bad) EXPECT_FALSE(Utf8ToUtf16(text, &wide)) << text;

  std::string out;
  EXPECT_FALSE(Utf16ToUtf8(std::u16string{0xD83D}, &out));
  EXPECT_FALSE(Utf16ToUtf8(std::u16string{0xDE00, u'a'}, &out));
}

TEST(TextConvert, AsciiUpperLeavesOtherCharactersAlone) {
  EXPECT_EQ(AsciiUpper(u"Toolkit_z9\u00e9"), u"TOOLKIT_Z9\u00e9");
}

}  // namespace
}  // namespace harnex::packer
