// Base classes of the channel family: the component base, the error class, the line settings
// record, the transmit queue's storage and the worker thread base.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "link/KoObjects.h"
#include "link/KoTypes.h"

// Every error that the channel raises.
class EKoCommError : public std::runtime_error {
 public:
  explicit EKoCommError(const std::string& Message) : std::runtime_error(Message) {}
};

// Base of the channel component.
class TKoComponent {
 public:
  TKoComponent() = default;
  TKoComponent(const TKoComponent&) = delete;
  TKoComponent& operator=(const TKoComponent&) = delete;
  virtual ~TKoComponent() = default;

  // Called once the owner has set the stored properties (after the form description is read).
  virtual void Loaded() {}
  // True inside a design environment; the channel then never opens on its own.
  bool Designing = false;

 protected:
  bool FDestroying = false;
};

// The line settings applied to the device, built from the channel's properties.
struct TKoLineSettings {
  int BaudRate = 0;
  bool Binary = true;
  bool ParityCheck = false;
  bool OutxCtsFlow = false;
  bool OutxDsrFlow = false;
  TKoControlDtr DtrControl = dtrDisabled;
  bool DsrSensitivity = false;
  bool TxContinueOnXoff = false;
  bool OutX = false;
  bool InX = false;
  bool ErrorCharReplace = false;
  bool NullStrip = false;
  TKoControlRts RtsControl = rtsDisabled;
  bool AbortOnError = false;
  int XonLim = 0;
  int XoffLim = 0;
  int ByteSize = 8;
  TKoParity Parity = paNone;
  TKoStopbits StopBits = sb1;
  char XonChar = 17;
  char XoffChar = 19;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
};

// What QueryStatus gives: the line-error bits (cleared by the query) and the queue counts.
struct TKoCommStatus {
  int Errors = 0;
  int InQueue = 0;
  int OutQueue = 0;
};

// Fixed-capacity byte block of the transmit queue. Append copies behind the held bytes (the
// caller guarantees room); Remove drops bytes from the front.
class TKoCommBuffer {
 public:
  explicit TKoCommBuffer(int Capacity) : FData(static_cast<std::size_t>(Capacity)) {}
  int Capacity() const { return static_cast<int>(FData.size()); }
  int Size() const { return FSize; }
  const char* Data() const { return FData.data(); }
  void Append(const void* Data, int Count);
  void Remove(int Count);

 private:
  std::vector<char> FData;
  int FSize = 0;
};

// Receives raw data and events of a channel (none is attached in this program).
class TKoCommListener {
 public:
  virtual ~TKoCommListener() = default;
  virtual void RxBuf(TKoComponent* Sender, PKoData Data, int Count) = 0;
  virtual void CommEvent(TKoComponent* Sender, std::uint32_t Events) = 0;
};

// Shared by a worker and the work it posts to the main thread, so that the work stays safe to
// run after the worker, or the channel, has gone.
struct TKoSyncTicket {
  std::atomic<bool> Cancelled{false};
  TKoWaitEvent Done;
};

// Base of the channel's worker threads. Every worker ends by its stop flag and its stop signal;
// each of its waits, including the wait for the main thread in Synchronize, also wakes on that
// signal, so Stop followed by WaitFor always returns.
class TKoThread {
 public:
  TKoThread(const TKoThread&) = delete;
  TKoThread& operator=(const TKoThread&) = delete;
  // A derived class stops the thread and waits for it in its own destructor, while its
  // members still exist.
  virtual ~TKoThread();

  // Starts the thread's main routine (created suspended, as it were).
  void Resume();
  // Sets the stop flag, then the stop signal.
  void Stop();
  // Waits for the main routine to end; returns at once when called from the thread itself
  // (the thread must then be waited for later, from another thread).
  void WaitFor();
  bool IsCurrent() const;
  bool Terminated() const { return FTerminated.load(); }

  TKoThreadPriority Priority() const { return FPriority.load(); }
  // Applied where the system allows it; a refusal is ignored.
  void SetPriority(TKoThreadPriority Value);

  // Work posted to the main thread from now on does nothing.
  void CancelSync() { FTicket->Cancelled.store(true); }

 protected:
  TKoThread(TKoPostProc Post, TKoHandleObject* StopSignal);
  virtual void Execute() = 0;
  // Runs Method on the main thread and waits until it has run there, or until stop is
  // requested. Returns false when stop ended the wait.
  bool Synchronize(const std::function<void()>& Method);

  std::atomic<bool> FTerminated{false};

 private:
  void Run();

  TKoPostProc FPost;
  TKoHandleObject* FStopSignal;
  std::shared_ptr<TKoSyncTicket> FTicket = std::make_shared<TKoSyncTicket>();
  std::atomic<TKoThreadPriority> FPriority{tpNormal};
  std::atomic<long> FSystemId{0};
  std::atomic<std::thread::id> FId{};  // the worker's, once it runs
  std::thread FThread;
};
