// The drive prompt: asks for another drive or folder for the work folder.
#pragma once

#include <string>

#include "framework/dialog.h"

class CTempFolderDialog : public CDialog {
 public:
  explicit CTempFolderDialog(const std::wstring& title);

  std::wstring m_strDrive;  // the text of the edit control: preset before, read after OK
  CEdit m_edit;

 protected:
  void DoDataExchange(CDataExchange* exchange) override;
  BOOL OnInitDialog() override;

 private:
  std::wstring m_strTitle;
};
