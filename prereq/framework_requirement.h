// The build's .NET Framework requirement: which flavours its front end accepts, at which minimum
// service-pack level, whether one of them is installed, and which one to ask the user for if not.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "prereq/framework_detector.h"
#include "prereq/registry_reader.h"

// One setting text per flavour, in flavour order: the minimum level as decimal text, negative for
// a flavour that is not accepted.
using FrameworkSettings = std::array<std::wstring, kFrameworkFlavourCount>;

// String-table entries 138 to 144 of `module` (the program's own by default); a missing entry
// gives empty text.
FrameworkSettings LoadFrameworkSettings(HINSTANCE module = nullptr);

// The first flavour whose setting reads as 0 or more gives its display name, family and that
// number. When every setting is negative the three outputs are left untouched.
void ChooseReportedFramework(const FrameworkSettings& settings, std::wstring& name, long& family,
                             long& servicePack);

// Logs the seven settings, then asks the flavours in order and stops at the first accepted one
// (".NET Version OK\n"). When none is accepted, fills the three report values through
// ChooseReportedFramework, logs ".NET Version Not OK %s %ld\n" and returns false. The report
// values are written only on false.
bool EvaluateFrameworkRequirement(IRegistryReader& reader, const FrameworkSettings& settings,
                                  const FrameworkLogSink& log, std::wstring& requiredFramework,
                                  long& frameworkFamily, long& requiredServicePack);

// The same with the program's own settings and the real registry. `log` is a plain function
// (such as LogText) so that an overloaded name picks its `const wchar_t*` form.
bool EvaluateFrameworkRequirement(void (*log)(const wchar_t* text), std::wstring& requiredFramework,
                                  long& frameworkFamily, long& requiredServicePack);
