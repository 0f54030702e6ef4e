#include "app/wait_for_worker.h"

#include "app/failure_codes.h"

namespace {

void DispatchWaitingMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) continue;  // a quit message never ends the wait
    ::DispatchMessageW(&message);
  }
}

}  // namespace

SplashChange SplashChangeFor(LONG lastPrompts, LONG prompts) {
  if (prompts == lastPrompts) return SplashChange::None;
  if (prompts == 0) return SplashChange::Show;
  if (lastPrompts == 0 && prompts == 1) return SplashChange::Hide;
  return SplashChange::None;
}

uint32_t WaitForWorker(const HANDLE* events, DWORD count, const volatile LONG& openPrompts, ISplash* splash) {
  LONG lastPrompts = 0;
  for (;;) {
    DispatchWaitingMessages();
    LONG prompts = openPrompts;
    if (splash != nullptr && prompts != lastPrompts) {
      SplashChange change = SplashChangeFor(lastPrompts, prompts);
      if (change == SplashChange::Show) splash->Show();
      if (change == SplashChange::Hide) splash->Hide();
      lastPrompts = prompts;
    }
    DWORD result = ::MsgWaitForMultipleObjects(count, events, FALSE, INFINITE, 0x4FF);
    if (result == WAIT_OBJECT_0 + 1) break;
    if (result == WAIT_OBJECT_0) {
      ::ResetEvent(events[0]);
      if (splash != nullptr) {
        splash->End();
        splash = nullptr;
      }
    } else if (result == WAIT_FAILED) {
      // A wait that fails would fail again at once: leave with the system's reason.
      DWORD error = ::GetLastError();
      if (splash != nullptr) splash->End();
      return error != 0 ? error : kUnexpectedFailure;
    }
  }
  if (splash != nullptr) splash->End();
  return 0;
}
