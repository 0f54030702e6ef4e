#include "app/failure_report.h"

#include "app/failure_codes.h"
#include "framework/strings.h"
#include "res/resource.h"

using harnex::FormatString;

std::wstring FrameworkDownloadLink(long family, long requiredServicePack) {
  const wchar_t* path = nullptr;
  switch (family) {
    case 2: path = L"/en-us/download/details.aspx?id=16614"; break;
    case 3: path = L"/en-us/download/details.aspx?id=21"; break;
    case 4:
      path = requiredServicePack > 0 ? L"/en-gb/download/details.aspx?id=30653" : L"/en-us/download/details.aspx?id=17718";
      break;
    default: return std::wstring();
  }
  return std::wstring(L"http://www.microsoft.com") + path;
}

FailureMessage ChooseFailureMessage(const FailureFacts& facts, const std::function<std::wstring(UINT)>& loadString) {
  const std::wstring product = loadString(IDS_PRODUCT_NAME);
  const wchar_t* name = product.c_str();
  FailureMessage message;
  switch (facts.code) {
    case 0:
      if (facts.exitCode == kFrontEndFrameworkLoadFailure) {
        message.text = FormatString(loadString(IDS_FRAMEWORK_REQUIRED).c_str(), name, L".NET 2", 0) +
                       L"\r\n(.NET 4 was detected.)";
      } else {
        message.text = FormatString(loadString(IDS_FRONT_END_FAILED).c_str(), name, facts.exitCode);
      }
      break;
    case kFrameworkMissing: {
      UINT entry = facts.requiredServicePack == 0 ? IDS_FRAMEWORK_REQUIRED : IDS_FRAMEWORK_SP_REQUIRED;
      message.text = FormatString(loadString(entry).c_str(), name, facts.requiredFramework.c_str(),
                                  static_cast<int>(facts.requiredServicePack));
      message.link = FrameworkDownloadLink(facts.frameworkFamily, facts.requiredServicePack);
      break;
    }
    case kNotAdministrator: message.text = FormatString(loadString(IDS_NOT_ADMINISTRATOR).c_str(), name); break;
    case kWindowsInstallerTooOld: message.text = FormatString(loadString(IDS_MSI_REQUIRED).c_str(), name); break;
    case kSizeMismatch: message.text = FormatString(loadString(IDS_FILE_CORRUPT).c_str(), name); break;
    case kInsufficientDiskSpace:
      message.text = FormatString(loadString(IDS_DISK_SPACE).c_str(), facts.tempDrive.c_str(),
                                  static_cast<long>(static_cast<uint32_t>(facts.requiredMB)));
      break;
    case kBadCommandLine: message.text = FormatString(loadString(IDS_USAGE).c_str(), facts.rawCommandLine.c_str()); break;
    case kProcessorModeFailure:
      message.text = FormatString(loadString(IDS_PROCESSOR_MODE_FAILED).c_str(), name,
                                  loadString(IDS_PROCESSOR_MODE).c_str());
      break;
    case kPayloadFailure: message.text = FormatString(loadString(IDS_INCORRECT_BUILD).c_str(), name); break;
    default: message.text = FormatString(loadString(IDS_RUN_FAILED).c_str(), name, facts.code); break;
  }
  return message;
}
