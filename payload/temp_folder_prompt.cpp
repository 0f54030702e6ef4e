#include "payload/temp_folder_prompt.h"

#include "cmdline/log.h"
#include "framework/strings.h"
#include "res/resource.h"
#include "ui/temp_folder_dialog.h"

uint32_t PromptForTempFolder(bool silent, volatile LONG& openPrompts, std::wstring& tempBase) {
  const uint32_t kNoFolder = 0x80004005;
  if (silent) {
    LogText(L"Not Prompting the user as silent installation\n");
    return kNoFolder;
  }
  CTempFolderDialog dialog(harnex::LoadResString(IDS_PRODUCT_NAME));
  dialog.m_strDrive = tempBase;
  ::InterlockedIncrement(&openPrompts);
  uint32_t result = kNoFolder;
  if (dialog.DoModal() == IDOK) {
    tempBase = dialog.m_strDrive;
    result = 0;
  }
  ::InterlockedDecrement(&openPrompts);
  return result;
}
