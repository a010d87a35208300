#include "link/KoComm.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <mutex>

#include "link/KoOS.h"
#include "link/KoUtils.h"

namespace {

[[noreturn]] void RaiseLastError(const char* Format, int Code) { throw EKoCommError(KoFormatError(Format, Code)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Event thread

TKoCommEventThread::TKoCommEventThread(TKoCustomComm* Comm, TKoPostProc Post, std::uint32_t Mask)
    : TKoThread(std::move(Post), &FCompletion), FComm(Comm), FMask(Mask) {}

TKoCommEventThread::~TKoCommEventThread() {
  Stop();
  WaitFor();
  KoOSCloseWatch(FWatch);
}

std::uint32_t KoRxGatherMs(int BaudRate, int Queue) {
  if (BaudRate <= 0 || Queue <= 0) return KoRxGatherMaxMs;
  const long long HalfQueueMs = static_cast<long long>(Queue) / 2 * 10 * 1000 / BaudRate;
  return static_cast<std::uint32_t>(std::clamp<long long>(HalfQueueMs, 1, KoRxGatherMaxMs));
}

std::uint32_t KoRxQuietMs(int BaudRate, int PieceBytes) {
  if (BaudRate <= 0) return KoRxGatherMaxMs;
  const long long Chars = std::max(PieceBytes, 0) + static_cast<long long>(KoRxQuietChars);
  const long long Ms = (Chars * 10 * 1000 + BaudRate - 1) / BaudRate + 1;
  return static_cast<std::uint32_t>(std::min<long long>(Ms, KoRxGatherMaxMs));
}

int TKoCommEventThread::BytesArrived() {
  // Under the read lock and while not stopped: ClosePort stops this thread under that lock
  // before it closes the device.
  std::lock_guard<TKoCriticalSection> Lock(FComm->FReadLock);
  if (Terminated()) return -1;
  return KoOSBytesWaiting(FComm->FHandle);
}

void TKoCommEventThread::Execute() {
  bool Gone = false;
  // Text has been handed over and the line has not been quiet since: what arrives now is held
  // in the driver until the line goes quiet or the gathering interval ends.
  bool Gathering = false;
  bool Held = false;           // text arrived while gathering and waits
  std::uint32_t Interval = 0;  // tick of the last hand-over of text
  std::uint32_t Quiet = 0;     // tick from which the line counts as quiet
  int Counted = 0;             // bytes waiting at the last arrival
  // A hand-over of this much skips the gathering.
  const int FullHandOver = std::max(1, FQueue / 4 * 3);
  while (!Terminated()) {
    if (Gone) {
      // The device has gone and the owner has been told; only the stop is left to wait for.
      FCompletion.WaitFor(KO_INFINITE);
      continue;
    }
    std::uint32_t Timeout = KO_INFINITE;
    if (Gathering) {
      const std::uint32_t Now = KoTickCount();
      const std::uint32_t Gather = KoRxGatherMs(FBaudRate.load(std::memory_order_relaxed), FQueue);
      const std::uint32_t IntervalSpent = KoTicksSince(Interval, Now);
      const std::uint32_t QuietLeft = static_cast<std::int32_t>(Quiet - Now) > 0 ? Quiet - Now : 0;
      Timeout = QuietLeft;
      if (Held) Timeout = std::min(Timeout, IntervalSpent < Gather ? Gather - IntervalSpent : 0);
    }
    std::uint32_t Events = 0;
    bool Hangup = false;
    TKoWaitResult R = wrTimeout;
    if (Timeout != 0) {
      if (Held) {
        // Text waits while the line delivers: the line is looked at again only when it would have
        // gone quiet, not at every piece that comes, so a phone that sends a few bytes at a time
        // does not wake this thread for each of them. The look reports what came meanwhile.
        if (FCompletion.WaitFor(Timeout) != wrTimeout) continue;
        Timeout = 0;
      }
      R = KoOSWaitCommEvent(FWatch, Timeout, Events, Hangup);
    }
    if (R == wrAbandoned) continue;
    const std::uint32_t Now = KoTickCount();
    const int BaudRate = FBaudRate.load(std::memory_order_relaxed);
    if (R == wrTimeout) {
      if (!Held) {
        Gathering = false;  // quiet since the last hand-over: the next text goes at once
        continue;
      }
      // The line has gone quiet, or the interval has ended while it still delivers.
      const bool LineQuiet = static_cast<std::int32_t>(Quiet - Now) <= 0;
      Held = false;
      if (!HandOver(KO_EV_RXCHAR, false)) continue;
      Interval = KoTickCount();
      Counted = 0;
      Gathering = !LineQuiet && FComm->FRxHandedOver.load(std::memory_order_relaxed) < FullHandOver;
      continue;
    }
    if (R != wrSignaled) {
      // A failed wait is retried, after a pause so that a lasting failure does not spin.
      FCompletion.WaitFor(100);
      continue;
    }
    if (Hangup) {
      // A device that hangs up keeps reporting it: tell the owner once, then stop watching.
      Gone = true;
      FComm->NoteLineError(KO_CE_IOE);
    }
    Events &= FMask | (Hangup ? KO_EV_ERR : 0);
    if (Events == 0) continue;
    if (Gathering && Events == KO_EV_RXCHAR) {
      // More of a stream: held until the line goes quiet for as long as this piece took on the
      // line and a few characters more.
      const int Waiting = BytesArrived();
      if (Waiting == 0) continue;  // the bytes went with the last hand-over already
      if (Waiting > 0) {
        Quiet = Now + KoRxQuietMs(BaudRate, Waiting - std::min(Counted, Waiting));
        Counted = Waiting;
      }
      Held = true;
      continue;
    }
    // The first text after a quiet spell, a line event, or the hang-up: at once, together with
    // any text held.
    if (Held) Events |= KO_EV_RXCHAR;
    Held = false;
    const bool Text = (Events & KO_EV_RXCHAR) != 0;
    if (!HandOver(Events, Hangup)) continue;
    if (Text) {
      // The next piece of a stream is due within the time this one took on the line.
      const int Handed = FComm->FRxHandedOver.load(std::memory_order_relaxed);
      Interval = KoTickCount();
      Quiet = Now + KoRxQuietMs(BaudRate, Handed);
      Counted = 0;
      Gathering = Handed < FullHandOver;
    }
  }
}

bool TKoCommEventThread::HandOver(std::uint32_t Events, bool Hangup) {
  TKoCustomComm* Comm = FComm;
  std::uint64_t Opening = FOpening;
  return Synchronize([Comm, Events, Hangup, Opening] { Dispatch(Comm, Events, Hangup, Opening); });
}

void TKoCommEventThread::Dispatch(TKoCustomComm* Comm, std::uint32_t Events, bool Hangup, std::uint64_t Opening) {
  try {
    if (Events & KO_EV_RXCHAR) {
      Comm->HandleRxChar();
      Events &= ~KO_EV_RXCHAR;
    }
    if (Events != 0) Comm->HandleEvents(Events);
  } catch (...) {
    Comm->HandleException();
  }
  // Close on the main thread, so that the owner finds the port closed and the next opening
  // starts afresh; unless a handler has closed the port already, and perhaps opened it again on
  // another device, which must stay open.
  if (Hangup && Comm->FOpenings == Opening) {
    try {
      Comm->ClosePort();
    } catch (...) {
      Comm->HandleException();  // from OnClose
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Write worker

TKoCommWriteThread::TKoCommWriteThread(TKoCustomComm* Comm, TKoPostProc Post, TKoHandle Device, int WriteSize,
                                       bool ReportTxEmpty)
    : TKoThread(std::move(Post), &FStopRequest),
      FComm(Comm),
      FDevice(Device),
      FBuffer(WriteSize),
      FReportTxEmpty(ReportTxEmpty) {}

TKoCommWriteThread::~TKoCommWriteThread() {
  Stop();
  WaitFor();
}

bool TKoCommWriteThread::Enqueue(const void* Data, int Count) {
  std::unique_lock<TKoCriticalSection> Lock(FComm->FWriteLock);
  auto HasRoom = [&] { return static_cast<long long>(FBuffer.Size()) + Count <= FBuffer.Capacity(); };
  if (!HasRoom()) {
    // steady_clock, like the tick counter, is not disturbed by clock changes.
    auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(FComm->FBuffers.WriteTimeout());
    if (!FRoom.wait_until(Lock, Deadline, HasRoom)) return false;
  }
  FBuffer.Append(Data, Count);
  Lock.unlock();
  FDataAvailable.SetSignal();
  return true;
}

void TKoCommWriteThread::Execute() {
  TKoHandleObject* Signals[2] = {&FStopRequest, &FDataAvailable};
  bool Failing = false;
  while (!Terminated()) {
    int Index = 0;
    if (KoWaitForAny(Signals, 2, KO_INFINITE, Index) != wrSignaled || Index == 0 || Terminated()) break;

    int Count;
    const char* Data;
    {
      std::lock_guard<TKoCriticalSection> Lock(FComm->FWriteLock);
      Count = FBuffer.Size();
      Data = FBuffer.Data();
      if (Count == 0) {
        FDataAvailable.ResetSignal();
        continue;
      }
    }
    // Only this thread removes bytes, and Enqueue only appends behind them, so the bytes
    // taken stay where they are while they are written.
    int Written = KoOSWrite(FDevice, Data, Count);
    if (Written > 0) {
      Failing = false;
      PostWrite(Written);
    } else if (Written == 0) {
      // The device takes nothing now: wait until it is writable again, or for the stop.
      TKoHandle Stop = FStopRequest.Handle();
      KoOSWaitFor(&Stop, 1, FDevice, KO_INFINITE, Index);
    } else {
      // Failed outright: the bytes stay queued for the next pass. The owner hears of it once
      // per run of failures, and the retries are paced, so that a device that has gone does
      // not keep this thread busy until the port is closed.
      if (!Failing) {
        Failing = true;
        FComm->NoteLineError(KO_CE_IOE);
        TKoCustomComm* Comm = FComm;
        Synchronize([Comm] { Comm->DeliverEvents(KO_EV_ERR); });
      }
      FStopRequest.WaitFor(100);
    }
  }
}

void TKoCommWriteThread::PostWrite(int Written) {
  bool Emptied;
  {
    std::lock_guard<TKoCriticalSection> Lock(FComm->FWriteLock);
    FBuffer.Remove(Written);
    Emptied = FBuffer.Size() == 0;
    if (Emptied)
      FDataAvailable.ResetSignal();
    else
      FDataAvailable.SetSignal();  // the rest goes in the next pass
  }
  FRoom.notify_all();
  if (Emptied && FReportTxEmpty) {
    TKoCustomComm* Comm = FComm;
    Synchronize([Comm] { Comm->DeliverEvents(KO_EV_TXEMPTY); });
  }
}

// ---------------------------------------------------------------------------------------------
// Channel

TKoCustomComm::TKoCustomComm() {
  auto Changed = [this](TKoPersistent* Sender) { SettingsChanged(Sender); };
  FEventChars.OnChange = Changed;
  FFlowControl.OnChange = Changed;
  FBuffers.OnChange = Changed;
}

TKoCustomComm::~TKoCustomComm() {
  FDestroying = true;
  ClosePort();
  ReapRetired();
  FListeners.clear();
}

void TKoCustomComm::Loaded() {
  TKoComponent::Loaded();
  if (FAutoOpen && !Designing) OpenPort();
}

void TKoCustomComm::CheckClosed() const {
  if (IsOpen()) throw EKoCommError(sKoPortOpen);
}

std::vector<TKoPortEntry> TKoCustomComm::ListPorts() { return KoListPorts(); }

std::string TKoCustomComm::DevicePath() const { return KoResolveDevice(KoFormatInt(FDeviceName, FPortNum)); }

void TKoCustomComm::OpenPort() {
  CheckClosed();
  ReapRetired();
  OpenDevice();
  ++FOpenings;
  try {
    FLineGone.store(false);
    FGoneReported.store(false);
    FPendingErrors.store(0);
    if (FUpdateDCB) ApplyLineSettings();
    if (!KoOSSetupQueues(FHandle, FBuffers.ReadSize(), FBuffers.WriteSize()))
      RaiseLastError(sKoInitBuffers, KoOSLastError());
    if (!KoOSSetTimeouts(FHandle)) RaiseLastError(sKoSetTimeouts, KoOSLastError());
    FEventMask = KoBuildEventMask(FMonitorEvents, FDirectWrite);
    // Line errors counted before this opening are not ours to report.
    {
      TKoCommStatus Ignored;
      KoOSClearCommError(FHandle, Ignored);
    }
    StartWorkers();
  } catch (...) {
    // Nothing of a failed opening stays behind.
    if (FEventThread) FEventThread->CancelSync();
    if (FWriteThread) FWriteThread->CancelSync();
    FEventThread.reset();
    FWriteThread.reset();
    KoOSCloseDevice(FHandle);
    FHandle = KO_INVALID_HANDLE;
    throw;
  }
  if (OnOpen) {
    try {
      OnOpen(this);
    } catch (...) {
      HandleException();
    }
  }
}

void TKoCustomComm::OpenDevice() {
  std::string Path = DevicePath();
  TKoHandle H = KoOSOpenDevice(Path);
  if (H == KO_INVALID_HANDLE) {
    int Code = KoOSLastError();
    if (KoOSIsNotFound(Code)) throw EKoCommError(KoFormatText(sKoDeviceNotFound, Path));
    throw EKoCommError(KoFormatText(sKoCantOpenDevice, Path) + KoFormatError(sKoErrorTail, Code));
  }
  FHandle = H;
}

void TKoCustomComm::StartWorkers() {
  // The write worker first: the event thread may close the port at once (a device already gone),
  // and all it reads of this object must be in place before it starts.
  if (!FDirectWrite) {
    bool ReportTxEmpty = static_cast<bool>(OnTxEmpty) || !FListeners.empty();
    FWriteThread =
        std::make_unique<TKoCommWriteThread>(this, PostToMainThread, FHandle, FBuffers.WriteSize(), ReportTxEmpty);
    FWriteThread->SetPriority(FWritePriority);
    FWriteThread->Resume();
  }
  if (FEventMask != 0) {
    auto Thread = std::make_unique<TKoCommEventThread>(this, PostToMainThread, FEventMask);
    Thread->FOpening = FOpenings;
    Thread->FBaudRate = BuildLineSettings().BaudRate;
    Thread->FQueue = KoOSReceiveQueue(FBuffers.ReadSize());
    Thread->FWatch = KoOSCreateWatch(FHandle, FEventMask, Thread->FCompletion.Handle());
    if (Thread->FWatch == KO_INVALID_HANDLE) RaiseLastError(sKoSetEventMask, KoOSLastError());
    Thread->SetPriority(FEventPriority);
    FEventThread = std::move(Thread);
    FEventThread->Resume();
  }
}

void TKoCustomComm::ClosePort() {
  if (!IsOpen()) return;
  // Order: stop flags and signals first, so that a worker waiting on the device or on the
  // main thread wakes and ends; works already queued for the main thread are cancelled; then
  // wait for the workers; only then close the device they used.
  {
    std::lock_guard<TKoCriticalSection> Lock(FReadLock);
    for (TKoThread* T : {static_cast<TKoThread*>(FEventThread.get()), static_cast<TKoThread*>(FWriteThread.get())}) {
      if (T) {
        T->Stop();
        T->CancelSync();
      }
    }
  }
  std::unique_ptr<TKoThread> Threads[2] = {std::move(FEventThread), std::move(FWriteThread)};
  for (auto& T : Threads) {
    if (!T) continue;
    if (T->IsCurrent())
      FRetired.push_back(std::move(T));  // closed by its own handler: it ends when they return
    else
      T.reset();  // stops and waits
  }
  KoOSCloseDevice(FHandle);
  FHandle = KO_INVALID_HANDLE;
  if (!FDestroying && OnClose) OnClose(this);
}

void TKoCustomComm::ReapRetired() {
  auto Keep = std::remove_if(FRetired.begin(), FRetired.end(),
                             [](const std::unique_ptr<TKoThread>& T) { return !T->IsCurrent(); });
  // Everything behind Keep is joined and released by erase.
  FRetired.erase(Keep, FRetired.end());
}

int TKoCustomComm::SendBytes(const void* Data, int Count) {
  if (!IsOpen() || Count < 0) return 0;
  if (FDirectWrite || !FWriteThread) return DirectWriteBytes(Data, Count);
  if (!FWriteThread->Enqueue(Data, Count)) throw EKoCommError(sKoOutputFull);
  return Count;
}

bool TKoCustomComm::SendString(const std::string& S) {
  if (!IsOpen()) return false;
  return SendBytes(S.data(), static_cast<int>(S.size())) == static_cast<int>(S.size());
}

int TKoCustomComm::DirectWriteBytes(const void* Data, int Count) {
  // The caller's thread writes, waiting for the device up to WriteTimeout in all.
  std::lock_guard<TKoCriticalSection> Lock(FWriteLock);
  const char* P = static_cast<const char*>(Data);
  int Done = 0;
  std::uint32_t Start = KoTickCount();
  std::uint32_t Limit = static_cast<std::uint32_t>(FBuffers.WriteTimeout());
  while (Done < Count) {
    int N = KoOSWrite(FHandle, P + Done, Count - Done);
    if (N < 0) RaiseLastError(sKoWriteError, KoOSLastError());
    Done += N;
    if (Done == Count) break;
    std::uint32_t Spent = KoTicksSince(Start, KoTickCount());
    if (Spent >= Limit) break;
    int Index = 0;
    KoOSWaitFor(nullptr, 0, FHandle, Limit - Spent, Index);
  }
  return Done;
}

int TKoCustomComm::ReceiveBytes(void* Buffer, int Count) {
  if (!IsOpen() || Count <= 0) return 0;
  std::lock_guard<TKoCriticalSection> Lock(FReadLock);
  // The device is non-blocking: a read returns at once with what has arrived.
  int N = KoOSRead(FHandle, Buffer, Count);
  if (N < 0) {
    int Code = KoOSLastError();
    // A device that has gone has nothing to read; the event thread reports it (see QueryStatus).
    if (FLineGone.load() || KoOSIsGone(Code)) {
      FLineGone.store(true);
      return 0;
    }
    RaiseLastError(sKoReadError, Code);
  }
  return N;
}

std::string TKoCustomComm::ReceiveString() {
  int Count = BytesWaiting();
  if (Count <= 0) return {};
  std::string S(static_cast<std::size_t>(Count), '\0');
  int Got = ReceiveBytes(S.data(), Count);
  // Only the bytes the read delivered.
  S.resize(static_cast<std::size_t>(std::max(Got, 0)));
  return S;
}

int TKoCustomComm::BytesWaiting() {
  if (!IsOpen()) return 0;
  return QueryStatus().InQueue;
}

TKoCommStatus TKoCustomComm::QueryStatus() {
  TKoCommStatus S;
  std::lock_guard<TKoCriticalSection> Lock(FReadLock);
  if (!IsOpen()) return S;
  if (!KoOSClearCommError(FHandle, S)) {
    int Code = KoOSLastError();
    // A device that has gone cannot be asked; it has nothing waiting. It may go while an
    // arrival is being handled, before the event thread has seen the hang-up: that thread
    // reports it and closes the port, so it is not a failed query.
    if (!FLineGone.load() && !KoOSIsGone(Code)) RaiseLastError(sKoStatistics, Code);
    FLineGone.store(true);
    S = TKoCommStatus{};
  }
  S.Errors |= FPendingErrors.exchange(0);
  // Gone is a state, not a passing error: every query says so, also after a read's query.
  if (FLineGone.load()) S.Errors |= KO_CE_IOE;
  return S;
}

void TKoCustomComm::NoteLineError(int Errors) {
  FPendingErrors.fetch_or(Errors);
  if (Errors & KO_CE_IOE) FLineGone.store(true);
}

void TKoCustomComm::HandleRxChar() {
  int Count = BytesWaiting();
  FRxHandedOver.store(Count, std::memory_order_relaxed);
  if (Count <= 0) return;
  if (!FListeners.empty()) {
    std::vector<char> Block(static_cast<std::size_t>(Count));
    int Got = ReceiveBytes(Block.data(), Count);
    if (Got > 0) HandleRxBuf(Block.data(), Got);
  } else if (OnRxChar) {
    OnRxChar(this, Count);
  }
}

void TKoCustomComm::HandleEvents(std::uint32_t Events) {
  if (Events & KO_EV_ERR) {
    TKoCommStatus S = QueryStatus();
    // A device that has gone stays gone, and both workers may find out: the owner hears of it
    // once per opening.
    if ((S.Errors & KO_CE_IOE) && FGoneReported.exchange(true)) S.Errors &= ~KO_CE_IOE;
    if (S.Errors != 0 && OnError) {
      try {
        OnError(this, S.Errors);
      } catch (...) {
        HandleException();
      }
    }
  }
  if (!FListeners.empty()) NotifyListeners(Events);
  struct TEntry {
    std::uint32_t Bit;
    TKoNotifyEvent TKoCustomComm::*Handler;
  };
  static constexpr TEntry Order[] = {
      {KO_EV_RXFLAG, &TKoCustomComm::OnRxFlag},     {KO_EV_CTS, &TKoCustomComm::OnCts},
      {KO_EV_DSR, &TKoCustomComm::OnDsr},           {KO_EV_RING, &TKoCustomComm::OnRing},
      {KO_EV_RLSD, &TKoCustomComm::OnRlsd},         {KO_EV_TXEMPTY, &TKoCustomComm::OnTxEmpty},
      {KO_EV_BREAK, &TKoCustomComm::OnBreak},       {KO_EV_PERR, &TKoCustomComm::OnPErr},
      {KO_EV_RX80FULL, &TKoCustomComm::OnRx80Full}, {KO_EV_EVENT1, &TKoCustomComm::OnEvent1},
      {KO_EV_EVENT2, &TKoCustomComm::OnEvent2}};
  for (const TEntry& E : Order)
    if ((Events & E.Bit) && this->*E.Handler) (this->*E.Handler)(this);
}

void TKoCustomComm::DeliverEvents(std::uint32_t Events) {
  try {
    HandleEvents(Events);
  } catch (...) {
    HandleException();
  }
}

void TKoCustomComm::NotifyListeners(std::uint32_t Events) {
  for (TKoCommListener* L : FListeners) L->CommEvent(this, Events);
}

void TKoCustomComm::HandleRxBuf(PKoData Data, int Count) {
  for (TKoCommListener* L : FListeners) L->RxBuf(this, Data, Count);
  if (OnRxBuf) OnRxBuf(this, Data, Count);
}

void TKoCustomComm::AttachListener(TKoCommListener* Listener) {
  if (Listener && std::find(FListeners.begin(), FListeners.end(), Listener) == FListeners.end())
    FListeners.push_back(Listener);
}

void TKoCustomComm::DetachListener(TKoCommListener* Listener) {
  FListeners.erase(std::remove(FListeners.begin(), FListeners.end(), Listener), FListeners.end());
}

void TKoCustomComm::HandleException() {
  std::exception_ptr E = std::current_exception();
  try {
    if (OnException) {
      OnException(this, E);
      return;
    }
    std::rethrow_exception(E);
  } catch (const std::exception& X) {
    std::cerr << X.what() << '\n';
  } catch (...) {}
}

// Line settings --------------------------------------------------------------------------------

TKoLineSettings TKoCustomComm::BuildLineSettings() const {
  TKoLineSettings D;
  D.BaudRate = FBaudrate == brUser ? FUserBaudrate : KoBaudrates[FBaudrate];
  D.Binary = true;
  D.ParityCheck = FParityCheck;
  D.OutxCtsFlow = FFlowControl.OutCtsFlow();
  D.OutxDsrFlow = FFlowControl.OutDsrFlow();
  D.DtrControl = FFlowControl.ControlDtr();
  D.DsrSensitivity = FFlowControl.DsrSensitivity();
  D.TxContinueOnXoff = FFlowControl.TxContinueOnXoff();
  D.OutX = FFlowControl.XonXoffOut();
  D.InX = FFlowControl.XonXoffIn();
  D.ErrorCharReplace = FOptions.Contains(coErrorChar);
  D.NullStrip = FOptions.Contains(coNullStrip);
  D.RtsControl = FFlowControl.ControlRts();
  D.AbortOnError = false;
  D.XonLim = D.XoffLim = std::min(FBuffers.ReadSize() / 4, 1024);
  D.ByteSize = 4 + static_cast<int>(FDatabits);
  D.Parity = FParity;
  D.StopBits = FStopbits;
  D.XonChar = FEventChars.XonChar();
  D.XoffChar = FEventChars.XoffChar();
  D.ErrorChar = FEventChars.ErrorChar();
  D.EofChar = FEventChars.EofChar();
  D.EvtChar = FEventChars.EventChar();
  return D;
}

void TKoCustomComm::ApplyLineSettings() {
  if (!IsOpen() || !FUpdateDCB) return;
  const TKoLineSettings Settings = BuildLineSettings();
  if (!KoOSSetLineSettings(FHandle, Settings)) RaiseLastError(sKoWriteDCB, KoOSLastError());
  if (FEventThread) FEventThread->FBaudRate = Settings.BaudRate;
}

void TKoCustomComm::SettingsChanged(TKoPersistent* Sender) {
  if (Sender == &FBuffers) {
    // The new size is stored already; it takes effect at the next opening.
    CheckClosed();
    return;
  }
  ApplyLineSettings();
}

// Properties -------------------------------------------------------------------------------------

void TKoCustomComm::SetBaudrate(TKoBaudrate Value) {
  if (Value != brUser) FUserBaudrate = 0;
  if (Value == FBaudrate) return;
  FBaudrate = Value;
  ApplyLineSettings();
}

void TKoCustomComm::SetUserBaudrate(int Value) {
  bool Changed = Value != FUserBaudrate || FBaudrate != brUser;
  FUserBaudrate = Value;
  FBaudrate = brUser;
  if (Changed) ApplyLineSettings();
}

void TKoCustomComm::SetParity(TKoParity Value) {
  if (Value == FParity) return;
  FParity = Value;
  ApplyLineSettings();
}

void TKoCustomComm::SetParityCheck(bool Value) {
  if (Value == FParityCheck) return;
  FParityCheck = Value;
  ApplyLineSettings();
}

void TKoCustomComm::SetDatabits(TKoDatabits Value) {
  if (Value == FDatabits) return;
  FDatabits = Value;
  ApplyLineSettings();
}

void TKoCustomComm::SetStopbits(TKoStopbits Value) {
  if (Value == FStopbits) return;
  FStopbits = Value;
  ApplyLineSettings();
}

void TKoCustomComm::SetOptions(TKoCommOptions Value) {
  if (Value == FOptions) return;
  FOptions = Value;
  ApplyLineSettings();
}

void TKoCustomComm::SetPortNum(TKoPortInt Value) {
  CheckClosed();
  FPortNum = Value;
}

void TKoCustomComm::SetDeviceName(const std::string& Value) {
  CheckClosed();
  FDeviceName = Value;
}

void TKoCustomComm::SetMonitorEvents(TKoCommEvents Value) {
  CheckClosed();
  FMonitorEvents = Value;
}

void TKoCustomComm::SetBuffers(const TKoBuffers& Value) {
  CheckClosed();
  FBuffers.CopyFrom(Value);
}

void TKoCustomComm::SetEventPriority(TKoThreadPriority Value) {
  FEventPriority = Value;
  if (FEventThread) FEventThread->SetPriority(Value);
}

void TKoCustomComm::SetWritePriority(TKoThreadPriority Value) {
  FWritePriority = Value;
  if (FWriteThread) FWriteThread->SetPriority(Value);
}

void TKoCustomComm::SetDirectWrite(bool Value) {
  CheckClosed();
  FDirectWrite = Value;
}

void TKoCustomComm::SetUpdateDCB(bool Value) {
  CheckClosed();
  FUpdateDCB = Value;
}
