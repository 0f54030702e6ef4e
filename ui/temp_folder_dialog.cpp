#include "ui/temp_folder_dialog.h"

#include "res/resource.h"

CTempFolderDialog::CTempFolderDialog(const std::wstring& title) : CDialog(IDD_TEMP_FOLDER), m_strTitle(title) {}

void CTempFolderDialog::DoDataExchange(CDataExchange* exchange) {
  DDX_Text(exchange, IDC_TEMP_FOLDER_DRIVE, m_strDrive);
  DDX_Control(exchange, IDC_TEMP_FOLDER_DRIVE, m_edit);
}

BOOL CTempFolderDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  ::SetWindowTextW(m_hWnd, m_strTitle.c_str());
  // The failed folder stands selected, so typing replaces it.
  ::SetFocus(m_edit.m_hWnd);
  m_edit.SetSel(0, -1);
  return FALSE;  // the focus is set
}
