// Dialogs built from templates: modal and modeless, with a data-exchange step that moves values
// between fields and controls.
#pragma once

#include <windows.h>

#include <string>

#include "framework/app.h"

class CDataExchange {
 public:
  CDataExchange(HWND dialog, bool saveAndValidate) : m_hDialog(dialog), m_bSaveAndValidate(saveAndValidate) {}
  HWND m_hDialog;
  bool m_bSaveAndValidate;  // true: controls to fields; false: fields to controls
};

// Moves the text of control `id` and `value`.
void DDX_Text(CDataExchange* exchange, int id, std::wstring& value);
// Binds control `id` to `control`.
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);

class CEdit : public CWnd {
 public:
  void SetSel(int start, int end);  // -1 as end selects to the end; the caret is scrolled into view
};

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Runs the dialog modally on the calling thread; returns the result it ended with, -1 on failure.
  INT_PTR DoModal();
  // Creates the dialog modeless and hidden (unless the template says visible).
  bool Create();
  void EndDialog(INT_PTR result);
  void DestroyWindow();
  bool UpdateData(bool saveAndValidate);

 protected:
  virtual void DoDataExchange(CDataExchange*) {}
  // Moves the fields into the controls; true lets the system set the focus.
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  // Messages a dialog class handles itself; `handled` false leaves them to the defaults.
  virtual INT_PTR OnMessage(UINT, WPARAM, LPARAM, bool& /*handled*/) { return 0; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  UINT m_nTemplateId;
  CWnd* m_pParent;
  bool m_bModal = false;
};
