// The main thread's waiting loop: serves its windows until the worker signals the end of its run.
#pragma once

#include <windows.h>

#include <cstdint>

// The splash as the waiting loop drives it.
class ISplash {
 public:
  virtual ~ISplash() = default;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void End() = 0;  // ends the dialog (hides it); it is not shown again
};

// What a change of the open-prompt count does to the splash: back to no prompt shows it, the first
// prompt hides it, any other change leaves it as it is.
enum class SplashChange { None, Show, Hide };
SplashChange SplashChangeFor(LONG lastPrompts, LONG prompts);

// Pumps the thread's messages (quit messages are dropped) and waits on events[0] (started) and
// events[1] (finished). The started event ends the splash; the prompt count hides and shows it.
// Returns 0 when the finished event was seen, or the system error of a failed wait.
uint32_t WaitForWorker(const HANDLE* events, DWORD count, const volatile LONG& openPrompts, ISplash* splash);
