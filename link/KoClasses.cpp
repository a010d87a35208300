#include "link/KoClasses.h"

#include <cstring>

#include "link/KoOS.h"

void TKoCommBuffer::Append(const void* Data, int Count) {
  // A queue of no capacity has no block at all: nothing to copy into.
  if (Count <= 0) return;
  std::memcpy(FData.data() + FSize, Data, static_cast<std::size_t>(Count));
  FSize += Count;
}

void TKoCommBuffer::Remove(int Count) {
  if (Count >= FSize) {
    FSize = 0;
    return;
  }
  std::memmove(FData.data(), FData.data() + Count, static_cast<std::size_t>(FSize - Count));
  FSize -= Count;
}

TKoThread::TKoThread(TKoPostProc Post, TKoHandleObject* StopSignal) : FPost(std::move(Post)), FStopSignal(StopSignal) {}

TKoThread::~TKoThread() = default;

void TKoThread::Resume() {
  if (!FThread.joinable()) FThread = std::thread([this] { Run(); });
}

void TKoThread::Run() {
  // Recorded by the worker itself: the main thread may still be storing the std::thread object
  // that Resume made, so the worker must not read it.
  FId.store(std::this_thread::get_id());
  FSystemId.store(KoOSCurrentThreadId());
  if (FPriority.load() != tpNormal) KoOSSetThreadPriority(FSystemId.load(), FPriority.load());
  Execute();
}

void TKoThread::Stop() {
  FTerminated.store(true);
  FStopSignal->SetSignal();
}

bool TKoThread::IsCurrent() const { return FId.load() == std::this_thread::get_id(); }

void TKoThread::WaitFor() {
  // The worker itself never touches its std::thread object; only the thread that started it does.
  if (IsCurrent()) return;
  if (FThread.joinable()) FThread.join();
}

void TKoThread::SetPriority(TKoThreadPriority Value) {
  FPriority.store(Value);
  if (long Id = FSystemId.load(); Id != 0) KoOSSetThreadPriority(Id, Value);
}

bool TKoThread::Synchronize(const std::function<void()>& Method) {
  if (!FPost) {
    Method();
    return !FTerminated.load();
  }
  std::shared_ptr<TKoSyncTicket> Ticket = FTicket;
  Ticket->Done.ResetSignal();
  // The work holds the ticket, not the thread: it may run after the thread has ended, and
  // then finds the ticket cancelled.
  FPost([Ticket, Method] {
    // The worker is released however the work ends.
    struct TRelease {
      TKoSyncTicket& T;
      ~TRelease() { T.Done.SetSignal(); }
    } Release{*Ticket};
    if (!Ticket->Cancelled.load()) Method();
  });
  TKoHandleObject* Signals[2] = {FStopSignal, &Ticket->Done};
  int Index = 0;
  // The stop signal comes first, so a stop wins over a work that has just run.
  if (KoWaitForAny(Signals, 2, KO_INFINITE, Index) != wrSignaled) return false;
  return Index == 1 && !FTerminated.load();
}
