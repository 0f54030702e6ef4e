#include "ui/temp_folder_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"

namespace {

// Plays the user from another thread: waits for the prompt to be visible, records what it shows,
// types `typed` and presses `button`.
struct User {
  DWORD dialogThread = 0;  // the thread that runs the prompt: its dialog is the one to answer
  std::wstring typed;
  int button = IDOK;
  std::wstring title;
  std::wstring shownText;
  DWORD selectionStart = 99, selectionEnd = 99;
  bool focusOnEdit = false;
  bool found = false;
};

// The visible dialog of one thread; other test processes may show prompts of the same title.
BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

DWORD WINAPI PlayUser(LPVOID parameter) {
  auto& user = *static_cast<User*>(parameter);
  HWND dialog = nullptr;
  for (int i = 0; i < 500 && dialog == nullptr; ++i) {
    EnumThreadWindows(user.dialogThread, FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) Sleep(20);
  }
  if (dialog == nullptr) return 1;
  user.found = true;
  wchar_t text[512] = {};
  GetWindowTextW(dialog, text, 512);
  user.title = text;
  HWND edit = GetDlgItem(dialog, IDC_TEMP_FOLDER_DRIVE);
  GetWindowTextW(edit, text, 512);
  user.shownText = text;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&user.selectionStart),
               reinterpret_cast<LPARAM>(&user.selectionEnd));
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof(gui);
  GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
  user.focusOnEdit = gui.hwndFocus == edit;
  SetWindowTextW(edit, user.typed.c_str());
  PostMessageW(GetDlgItem(dialog, user.button), BM_CLICK, 0, 0);
  return 0;
}

INT_PTR RunPrompt(User& user, CTempFolderDialog& dialog) {
  user.dialogThread = GetCurrentThreadId();
  HANDLE thread = CreateThread(nullptr, 0, PlayUser, &user, 0, nullptr);
  INT_PTR result = dialog.DoModal();
  WaitForSingleObject(thread, 15000);
  CloseHandle(thread);
  return result;
}

TEST(TempFolderDialog, ShowsTheFailedFolderSelectedAndReturnsTheTypedText) {
  CTempFolderDialog dialog(L"Pallador");
  dialog.m_strDrive = L"C:\\unwritable\\base";
  User user;
  user.typed = L" D: ";
  EXPECT_EQ(RunPrompt(user, dialog), IDOK);
  ASSERT_TRUE(user.found);
  EXPECT_EQ(user.title, L"Pallador");
  EXPECT_EQ(user.shownText, L"C:\\unwritable\\base");
  EXPECT_EQ(user.selectionStart, 0u);
  EXPECT_EQ(user.selectionEnd, 18u);
  EXPECT_TRUE(user.focusOnEdit);
  EXPECT_EQ(dialog.m_strDrive, L" D: ");  // exactly as typed: no trimming, no check
}

TEST(TempFolderDialog, CancelKeepsTheFolder) {
  CTempFolderDialog dialog(L"Pallador");
  dialog.m_strDrive = L"C:";
  User user;
  user.typed = L"E:";
  user.button = IDCANCEL;
  EXPECT_EQ(RunPrompt(user, dialog), IDCANCEL);
  EXPECT_EQ(dialog.m_strDrive, L"C:");
}

}  // namespace
