#include "app/failure_report.h"

#include <gtest/gtest.h>

#include "app/failure_codes.h"
#include "framework/strings.h"

namespace {

// The test binary carries the program's own string table, so these are the shipped texts.
FailureMessage Choose(const FailureFacts& facts) {
  return ChooseFailureMessage(facts, [](UINT id) { return harnex::LoadResString(id); });
}

FailureFacts Facts(uint32_t code, uint32_t exitCode = 0) {
  FailureFacts facts;
  facts.code = code;
  facts.exitCode = exitCode;
  facts.tempDrive = L"C:";
  facts.requiredMB = 500;
  facts.requiredFramework = L".NET (full) 4.0";
  facts.requiredServicePack = 0;
  facts.frameworkFamily = 4;
  facts.rawCommandLine = L"/? log  \"a b\"";
  return facts;
}

TEST(FailureMessage, EachCodeHasItsMessage) {
  struct Case {
    uint32_t code;
    uint32_t exitCode;
    const wchar_t* text;
  } cases[] = {
      {0, 5, L"Pallador failed with exit code 0x       5."},
      {0, 0xC0000005, L"Pallador failed with exit code 0xc0000005."},
      {0, kFrontEndFrameworkLoadFailure,
       L"Pallador requires .NET 2. Please download from the Microsoft Download Center and retry.\r\n(.NET 4 was detected.)"},
      {kNotAdministrator, 0, L"You need local administrator privileges to run Pallador."},
      {kWindowsInstallerTooOld, 0,
       L"Pallador requires MSI Engine 2.0. This can be downloaded from the Microsoft Download Center."},
      {kSizeMismatch, 0, L"A file is corrupt. Download Pallador and retry."},
      {kInsufficientDiskSpace, 0,
       L"Insufficient disk space on drive 'C:'. 500 Mb of free disk space is required."},
      {kProcessorModeFailure, 0, L"Pallador failed to switch into processor mode (x86)"},
      {kPayloadFailure, 0, L"Contact Technical Support. Incorrect Pallador build."},
      {kSignatureRefused, 0, L"Failed to run Pallador error 0x800b0100."},
      {kFrontEndStartFailure, 0, L"Failed to run Pallador error 0x80070057."},
      {1, 0, L"Failed to run Pallador error 0x       1."},
      {5, 0, L"Failed to run Pallador error 0x       5."},
      {ERROR_FILE_NOT_FOUND, 7, L"Failed to run Pallador error 0x       2."},
  };
  for (const Case& c : cases) {
    FailureMessage message = Choose(Facts(c.code, c.exitCode));
    EXPECT_EQ(message.text, c.text) << std::hex << c.code;
    EXPECT_EQ(message.link, L"") << std::hex << c.code;
  }
}

TEST(FailureMessage, UsageShowsTheRawCommandLine) {
  FailureMessage message = Choose(Facts(kBadCommandLine));
  const std::wstring start =
      L"Command line '/? log  \"a b\"' incorrect.\nValid switches include:- \n\textract [path]\tlog [path]\ttemp [path]\n\nExample\n\t";
  EXPECT_EQ(message.text.substr(0, start.size()), start);
  std::wstring example = message.text.substr(start.size());
  EXPECT_NE(example.find(L" log "), std::wstring::npos) << example;
  EXPECT_NE(example.find(L"/IAgreeToTheEULA"), std::wstring::npos) << example;
  EXPECT_EQ(message.link, L"");
}

TEST(FailureMessage, DiskSpaceShowsTheLow32BitsOfTheRequirement) {
  FailureFacts facts = Facts(kInsufficientDiskSpace);
  facts.tempDrive = L"D:";
  facts.requiredMB = 0x100000000LL + 7;
  EXPECT_EQ(Choose(facts).text, L"Insufficient disk space on drive 'D:'. 7 Mb of free disk space is required.");
}

TEST(FailureMessage, MissingFrameworkNamesItAndOffersItsDownload) {
  struct Case {
    const wchar_t* framework;
    long family;
    long servicePack;
    const wchar_t* text;
    const wchar_t* link;
  } cases[] = {
      {L".NET 2", 2, 0, L"Pallador requires .NET 2. Please download from the Microsoft Download Center and retry.",
       L"http://www.microsoft.com/en-us/download/details.aspx?id=16614"},
      {L".NET 3.5", 3, 2, L"Pallador requires .NET 3.5 SP 2. Please download from the Microsoft Download Center and retry.",
       L"http://www.microsoft.com/en-us/download/details.aspx?id=21"},
      {L".NET (full) 4.0", 4, 1,
       L"Pallador requires .NET (full) 4.0 SP 1. Please download from the Microsoft Download Center and retry.",
       L"http://www.microsoft.com/en-gb/download/details.aspx?id=30653"},
      {L".NET (full) 4.0", 4, 0, L"Pallador requires .NET (full) 4.0. Please download from the Microsoft Download Center and retry.",
       L"http://www.microsoft.com/en-us/download/details.aspx?id=17718"},
      {L".NET (client) 4.0", 4, -3,
       L"Pallador requires .NET (client) 4.0 SP -3. Please download from the Microsoft Download Center and retry.",
       L"http://www.microsoft.com/en-us/download/details.aspx?id=17718"},
      {L"Unknown .NET Version", 7, 0,
       L"Pallador requires Unknown .NET Version. Please download from the Microsoft Download Center and retry.", L""},
  };
  for (const Case& c : cases) {
    FailureFacts facts = Facts(kFrameworkMissing);
    facts.requiredFramework = c.framework;
    facts.frameworkFamily = c.family;
    facts.requiredServicePack = c.servicePack;
    FailureMessage message = Choose(facts);
    EXPECT_EQ(message.text, c.text);
    EXPECT_EQ(message.link, c.link);
  }
}

}  // namespace
