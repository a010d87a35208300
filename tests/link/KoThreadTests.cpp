// The channel's worker threads, apart from any device.
#include <gtest/gtest.h>

#include <atomic>

#include "link/KoClasses.h"
#include "link/KoObjects.h"

namespace {

// A worker that asks at once whether it is the current thread, while the thread that started it
// may still be storing its thread object.
class TAskingThread : public TKoThread {
 public:
  explicit TAskingThread(TKoHandleObject* Stop) : TKoThread(nullptr, Stop) {}
  ~TAskingThread() override {
    Stop();
    WaitFor();
  }
  std::atomic<bool> WasCurrent{false};
  std::atomic<bool> WaitedForItself{false};

 protected:
  void Execute() override {
    WasCurrent.store(IsCurrent());
    // Waiting for itself returns at once instead of joining its own thread.
    WaitFor();
    WaitedForItself.store(true);
  }
};

}  // namespace

TEST(KoThread, AWorkerKnowsItselfFromItsFirstMoment) {
  // Many starts: a read of the thread object from the worker would race with its assignment.
  for (int i = 0; i < 50; ++i) {
    TKoWaitEvent Stop;
    TAskingThread Thread(&Stop);
    EXPECT_FALSE(Thread.IsCurrent());
    Thread.Resume();
    Thread.WaitFor();
    EXPECT_TRUE(Thread.WasCurrent.load());
    EXPECT_TRUE(Thread.WaitedForItself.load());
    EXPECT_FALSE(Thread.IsCurrent());
  }
}
