#include "prereq/framework_requirement.h"

#include "framework/strings.h"
#include "res/resource.h"

namespace {

struct FlavourInfo {
  UINT settingId;
  const wchar_t* settingLine;
  const wchar_t* displayName;
  long family;
};

const FlavourInfo kFlavours[kFrameworkFlavourCount] = {
    {IDS_FRAMEWORK_2_0, L".NET 2.0 %s\n", L".NET 2", 2},
    {IDS_FRAMEWORK_3_0, L".NET 3.0 %s\n", L".NET 3.0", 3},
    {IDS_FRAMEWORK_3_5, L".NET 3.5 %s\n", L".NET 3.5", 3},
    {IDS_FRAMEWORK_4_0_CLIENT, L".NET 4.0 Client %s\n", L".NET (client) 4.0", 4},
    {IDS_FRAMEWORK_4_0_FULL, L".NET 4.0 Full %s\n", L".NET (full) 4.0", 4},
    {IDS_FRAMEWORK_4_5_CLIENT, L".NET 4.5 Client %s\n", L".NET (client) 4.5", 4},
    {IDS_FRAMEWORK_4_5_FULL, L".NET 4.5 Full %s\n", L".NET (full) 4.5", 4},
};

void Log(const FrameworkLogSink& log, const std::wstring& line) {
  if (log) log(line.c_str());
}

}  // namespace

FrameworkSettings LoadFrameworkSettings(HINSTANCE module) {
  FrameworkSettings settings;
  for (int i = 0; i < kFrameworkFlavourCount; ++i) settings[i] = harnex::LoadResString(kFlavours[i].settingId, module);
  return settings;
}

void ChooseReportedFramework(const FrameworkSettings& settings, std::wstring& name, long& family,
                             long& servicePack) {
  for (int i = 0; i < kFrameworkFlavourCount; ++i) {
    long level = harnex::ParseSignedDecimal(settings[i]);
    if (level < 0) continue;
    name = kFlavours[i].displayName;
    family = kFlavours[i].family;
    servicePack = level;
    return;
  }
}

bool EvaluateFrameworkRequirement(IRegistryReader& reader, const FrameworkSettings& settings,
                                  const FrameworkLogSink& log, std::wstring& requiredFramework,
                                  long& frameworkFamily, long& requiredServicePack) {
  for (int i = 0; i < kFrameworkFlavourCount; ++i)
    Log(log, harnex::FormatString(kFlavours[i].settingLine, settings[i].c_str()));

  CFrameworkDetector detector(reader, log);
  for (int i = 0; i < kFrameworkFlavourCount; ++i) {
    if (detector.MeetsFrameworkSetting(static_cast<FrameworkFlavour>(i), settings[i].c_str())) {
      Log(log, L".NET Version OK\n");
      return true;
    }
  }

  ChooseReportedFramework(settings, requiredFramework, frameworkFamily, requiredServicePack);
  Log(log, harnex::FormatString(L".NET Version Not OK %s %ld\n", requiredFramework.c_str(), requiredServicePack));
  return false;
}

bool EvaluateFrameworkRequirement(void (*log)(const wchar_t* text), std::wstring& requiredFramework,
                                  long& frameworkFamily, long& requiredServicePack) {
  CRegistryReader reader;
  return EvaluateFrameworkRequirement(reader, LoadFrameworkSettings(), FrameworkLogSink(log), requiredFramework,
                                      frameworkFamily, requiredServicePack);
}
