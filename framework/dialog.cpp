#include "framework/dialog.h"

#include <vector>

void DDX_Text(CDataExchange* exchange, int id, std::wstring& value) {
  HWND control = ::GetDlgItem(exchange->m_hDialog, id);
  if (control == nullptr) return;
  if (exchange->m_bSaveAndValidate) {
    int length = ::GetWindowTextLengthW(control);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    int copied = ::GetWindowTextW(control, text.data(), length + 1);
    value.assign(text.data(), static_cast<size_t>(copied > 0 ? copied : 0));
  } else {
    ::SetWindowTextW(control, value.c_str());
  }
}

void DDX_Control(CDataExchange* exchange, int id, CWnd& control) {
  if (control.m_hWnd == nullptr) control.m_hWnd = ::GetDlgItem(exchange->m_hDialog, id);
}

void CEdit::SetSel(int start, int end) {
  ::SendMessageW(m_hWnd, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
  ::SendMessageW(m_hWnd, EM_SCROLLCARET, 0, 0);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nTemplateId(templateId), m_pParent(parent) {}

CDialog::~CDialog() {
  if (m_hWnd != nullptr && !m_bModal) ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
  m_bModal = true;
  HINSTANCE module = AfxGetApp() != nullptr && AfxGetApp()->m_hInstance != nullptr ? AfxGetApp()->m_hInstance
                                                                                   : ::GetModuleHandleW(nullptr);
  HWND parent = m_pParent != nullptr ? m_pParent->m_hWnd : nullptr;
  INT_PTR result = ::DialogBoxParamW(module, MAKEINTRESOURCEW(m_nTemplateId), parent, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return result;
}

bool CDialog::Create() {
  m_bModal = false;
  HINSTANCE module = AfxGetApp() != nullptr && AfxGetApp()->m_hInstance != nullptr ? AfxGetApp()->m_hInstance
                                                                                   : ::GetModuleHandleW(nullptr);
  HWND parent = m_pParent != nullptr ? m_pParent->m_hWnd : nullptr;
  return ::CreateDialogParamW(module, MAKEINTRESOURCEW(m_nTemplateId), parent, DialogProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
  if (m_bModal) {
    ::EndDialog(m_hWnd, result);
  } else {
    ::ShowWindow(m_hWnd, SW_HIDE);
  }
}

void CDialog::DestroyWindow() {
  if (m_hWnd != nullptr && !m_bModal) {
    ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
  }
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange exchange(m_hWnd, saveAndValidate);
  DoDataExchange(&exchange);
  return true;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

void CDialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* dialog = nullptr;
  if (message == WM_INITDIALOG) {
    dialog = reinterpret_cast<CDialog*>(lParam);
    dialog->m_hWnd = window;
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    return dialog->OnInitDialog();
  }
  dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (dialog == nullptr) return FALSE;
  bool handled = false;
  INT_PTR result = dialog->OnMessage(message, wParam, lParam, handled);
  if (handled) return result;
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == IDOK) {
      dialog->OnOK();
      return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      dialog->OnCancel();
      return TRUE;
    }
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    if (!dialog->m_bModal) dialog->m_hWnd = nullptr;
  }
  return FALSE;
}
