#include "app/wait_for_worker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SplashChange, FollowsTheOpenPromptCount) {
  struct Case {
    LONG last, now;
    SplashChange expected;
  } cases[] = {
      {0, 1, SplashChange::Hide}, {1, 0, SplashChange::Show}, {2, 0, SplashChange::Show},
      {0, 2, SplashChange::None}, {1, 2, SplashChange::None}, {2, 1, SplashChange::None},
      {0, 0, SplashChange::None}, {1, 1, SplashChange::None},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SplashChangeFor(c.last, c.now), c.expected) << c.last << " -> " << c.now;
}

// A splash that records what the loop did to it and signals each call.
struct RecordingSplash : ISplash {
  std::vector<std::string> calls;
  HANDLE changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ~RecordingSplash() override { CloseHandle(changed); }
  void Record(const char* call) {
    calls.push_back(call);
    SetEvent(changed);
  }
  void Show() override { Record("Show"); }
  void Hide() override { Record("Hide"); }
  void End() override { Record("End"); }
};

// The worker's side of a scripted run, on its own thread. Each step waits for the loop's reaction,
// so the outcome never depends on timing.
struct Worker {
  DWORD loopThread;
  HANDLE started;
  HANDLE finished;
  volatile LONG* prompts;
  RecordingSplash* splash;
  bool openAndClosePrompt = false;
  bool signalStarted = false;
  bool postQuit = false;
};

DWORD WINAPI RunWorker(LPVOID parameter) {
  auto& worker = *static_cast<Worker*>(parameter);
  if (worker.openAndClosePrompt) {
    InterlockedIncrement(worker.prompts);
    PostThreadMessageW(worker.loopThread, WM_NULL, 0, 0);  // the loop reacts when something wakes it
    WaitForSingleObject(worker.splash->changed, 10000);
    InterlockedDecrement(worker.prompts);
    PostThreadMessageW(worker.loopThread, WM_NULL, 0, 0);
    WaitForSingleObject(worker.splash->changed, 10000);
  }
  if (worker.signalStarted) {
    SetEvent(worker.started);
    WaitForSingleObject(worker.splash->changed, 10000);
  }
  if (worker.postQuit) {
    PostThreadMessageW(worker.loopThread, WM_QUIT, 0, 0);
    Sleep(100);  // give a faulty loop the chance to leave on the quit message
  }
  SetEvent(worker.finished);
  return 0;
}

class WaitForWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    started_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    finished_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // this thread has a queue before anyone posts
  }
  void TearDown() override {
    CloseHandle(started_);
    CloseHandle(finished_);
  }

  uint32_t Run(Worker& worker) {
    worker.loopThread = GetCurrentThreadId();
    worker.started = started_;
    worker.finished = finished_;
    worker.prompts = &prompts_;
    worker.splash = &splash_;
    HANDLE thread = CreateThread(nullptr, 0, RunWorker, &worker, 0, nullptr);
    HANDLE events[2] = {started_, finished_};
    uint32_t result = WaitForWorker(events, 2, prompts_, &splash_);
    finishedWhenLoopReturned_ = WaitForSingleObject(finished_, 0) == WAIT_OBJECT_0;
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    return result;
  }

  HANDLE started_ = nullptr;
  HANDLE finished_ = nullptr;
  volatile LONG prompts_ = 0;
  RecordingSplash splash_;
  bool finishedWhenLoopReturned_ = false;
};

TEST_F(WaitForWorkerTest, QuitMessageDoesNotEndTheWait) {
  Worker worker;
  worker.postQuit = true;
  EXPECT_EQ(Run(worker), 0u);
  EXPECT_TRUE(finishedWhenLoopReturned_);
  EXPECT_EQ(splash_.calls, (std::vector<std::string>{"End"}));
  MSG message;
  EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit message was dropped";
}

TEST_F(WaitForWorkerTest, StartedEventEndsTheSplashOnceAndIsReset) {
  Worker worker;
  worker.signalStarted = true;
  EXPECT_EQ(Run(worker), 0u);
  EXPECT_TRUE(finishedWhenLoopReturned_);
  EXPECT_EQ(splash_.calls, (std::vector<std::string>{"End"}));
  EXPECT_EQ(WaitForSingleObject(started_, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(WaitForWorkerTest, PromptHidesTheSplashUntilItCloses) {
  Worker worker;
  worker.openAndClosePrompt = true;
  EXPECT_EQ(Run(worker), 0u);
  EXPECT_EQ(splash_.calls, (std::vector<std::string>{"Hide", "Show", "End"}));
}

TEST_F(WaitForWorkerTest, FailedWaitLeavesWithTheSystemError) {
  HANDLE events[2] = {started_, reinterpret_cast<HANDLE>(0x12345678)};
  EXPECT_EQ(WaitForWorker(events, 2, prompts_, &splash_), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(splash_.calls, (std::vector<std::string>{"End"}));
}

}  // namespace
