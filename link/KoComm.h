// The serial port channel: TKoCustomComm with its event thread and write worker, and TKoComm,
// the form of it that an owner configures.
//
// Threads. Three threads touch an open channel: the owner's main thread, which makes every call
// of this interface and runs every event handler; the event thread, which waits for line events;
// and the write worker, which drains the transmit queue to the device. The workers never call a
// handler themselves: each event is handed to the main thread and the worker waits until the
// main thread has run it, so OnRxChar is never re-entered. While bytes keep arriving, the event
// thread gathers them in the driver and hands them over once the line has gone quiet
// (KoRxQuietMs), at the latest after the gathering interval (KoRxGatherMs).
//
// The hand-over seam, PostToMainThread. The owner sets it before OpenPort to a function that
// takes a piece of work and arranges for it to run on the main thread, then returns without
// waiting (with Qt: a queued call to an object of the main thread). It is called on a worker
// thread. The worker then waits until the work has run OR its stop signal fires, so:
//   - closing the port (also from inside a handler) or destroying the channel while a work is
//     still queued never dead-locks; ClosePort waits for both workers to end, and no worker
//     outlives the channel;
//   - a work that runs after its port was closed, or after the channel was destroyed, does
//     nothing, so the owner may keep running queued works for as long as it likes; a work that
//     never runs at all (the application is quitting) is fine too.
// While PostToMainThread is empty the work runs on the worker thread itself; the owner then
// synchronises with its handlers itself, and they may close the port but must not destroy the
// channel.
//
// Handlers may close the port; they must not destroy the channel. An exception from OnOpen,
// OnError or a handler of a line event goes to OnException (the owner's central error display)
// and the channel carries on; without OnException it is written to the standard error stream.
//
// Set the event handlers before OpenPort: whether the write worker reports OnTxEmpty is decided
// when the port opens.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/KoClasses.h"
#include "link/KoConst.h"
#include "link/KoObjects.h"
#include "link/KoPrst.h"
#include "link/KoTypes.h"

class TKoCustomComm;

// While text keeps arriving, the event thread hands it to the main thread at most once per
// gathering interval, in milliseconds: KoRxGatherMaxMs, or less where the line would fill half the
// receive queue (KoOSReceiveQueue) sooner (8 data bits with start and stop bit: ten bit times a
// byte). The first text after a quiet spell is handed over at once, so a short reply waits for no
// interval; nor does the next hand-over wait where the last one found three quarters of the
// receive queue filled, since then the line delivers faster than its rate says (a phone on USB may
// ignore it).
inline constexpr std::uint32_t KoRxGatherMaxMs = 100;
std::uint32_t KoRxGatherMs(int BaudRate, int Queue);

// Within the interval, text is handed over as soon as the line has gone quiet: when nothing new
// has arrived for KoRxQuietMs after a piece of PieceBytes came in. A driver (a USB adapter, a
// pseudo-terminal) passes a stream on in pieces, each of which took its own length on the line, so
// the next piece of a stream that goes on is due within that time; the line counts as quiet when
// it stays silent that long and KoRxQuietChars character times more, rounded up to the tick
// counter's milliseconds with one more for its granularity. Never more than KoRxGatherMaxMs.
inline constexpr int KoRxQuietChars = 4;
std::uint32_t KoRxQuietMs(int BaudRate, int PieceBytes);

// Waits for line events and hands each completed wait to the main thread (Dispatch).
class TKoCommEventThread : public TKoThread {
 public:
  TKoCommEventThread(TKoCustomComm* Comm, TKoPostProc Post, std::uint32_t Mask);
  ~TKoCommEventThread() override;

 protected:
  void Execute() override;

 private:
  friend class TKoCustomComm;
  // Runs on the main thread, once per completed wait. Static: a handler may close the port,
  // which ends and releases this thread while the dispatch is still running.
  static void Dispatch(TKoCustomComm* Comm, std::uint32_t Events, bool Hangup, std::uint64_t Opening);
  // Runs Dispatch on the main thread and waits for it; false when the stop ended the wait.
  bool HandOver(std::uint32_t Events, bool Hangup);
  // The bytes waiting in the driver, -1 when they cannot be asked for (stopped, device gone).
  int BytesArrived();

  TKoCustomComm* FComm;
  std::uint32_t FMask;
  std::uint64_t FOpening = 0;  // the opening of the port that this thread watches
  TKoWaitEvent FCompletion;    // ends a pending wait; set only by Stop
  // The gathering interval and the quiet time follow these.
  std::atomic<int> FBaudRate{0};  // set by the main thread
  int FQueue = 0;                 // the receive queue in bytes; set before it starts
  TKoHandle FWatch = KO_INVALID_HANDLE;
};

// Drains the transmit queue to the device.
class TKoCommWriteThread : public TKoThread {
 public:
  TKoCommWriteThread(TKoCustomComm* Comm, TKoPostProc Post, TKoHandle Device, int WriteSize, bool ReportTxEmpty);
  ~TKoCommWriteThread() override;

  // Queues Count bytes; waits up to WriteTimeout milliseconds for room. Caller's thread.
  bool Enqueue(const void* Data, int Count);

 protected:
  void Execute() override;

 private:
  void PostWrite(int Written);

  TKoCustomComm* FComm;
  TKoHandle FDevice;
  TKoCommBuffer FBuffer;
  bool FReportTxEmpty;
  std::condition_variable_any FRoom;  // told whenever bytes leave the queue
  TKoWaitEvent FStopRequest;
  TKoWaitEvent FDataAvailable;
  TKoWaitEvent FWriteDone;
};

class TKoCustomComm : public TKoComponent {
 public:
  TKoCustomComm();
  ~TKoCustomComm() override;

  // Opens the port when AutoOpen is true (never while Designing).
  void Loaded() override;

  // Opens the device and starts the workers; raises EKoCommError; calls OnOpen at the end.
  void OpenPort();
  // Stops the workers, closes the device, calls OnClose; does nothing while closed.
  void ClosePort();
  bool IsOpen() const { return FHandle != KO_INVALID_HANDLE; }

  // Queues bytes for sending; returns the number accepted (0 while closed). Raises
  // "Output buffer is full. Please check comm status." when the queue has no room in time.
  int SendBytes(const void* Data, int Count);
  // True when all bytes of S were accepted.
  bool SendString(const std::string& S);
  // Reads up to Count bytes that have arrived; 0 while closed.
  int ReceiveBytes(void* Buffer, int Count);
  // All bytes waiting at the moment of the call; empty when none.
  std::string ReceiveString();
  // Bytes waiting in the input queue; 0 while closed.
  int BytesWaiting();
  // Line-error bits (cleared by the query) and queue counts; zeros while closed.
  TKoCommStatus QueryStatus();

  // The event mask in force, built when the port opened.
  std::uint32_t EventMask() const { return FEventMask; }
  // The line settings record the current properties give.
  TKoLineSettings BuildLineSettings() const;
  // The device the port name resolves to.
  std::string DevicePath() const;
  // The serial ports to offer the user, in the order shown; each one's PortNum opens it.
  static std::vector<TKoPortEntry> ListPorts();

  void AttachListener(TKoCommListener* Listener);
  void DetachListener(TKoCommListener* Listener);

  // Event properties: plain fields, run on the main thread.
  TKoNotifyEvent OnOpen;
  TKoNotifyEvent OnClose;
  TKoNotifyEvent OnCts;
  TKoNotifyEvent OnDsr;
  TKoNotifyEvent OnRlsd;
  TKoNotifyEvent OnRing;
  TKoNotifyEvent OnBreak;
  TKoCommErrorEvent OnError;
  TKoCommRxCharEvent OnRxChar;
  TKoCommRxBufEvent OnRxBuf;
  TKoNotifyEvent OnRxFlag;
  TKoNotifyEvent OnTxEmpty;
  TKoNotifyEvent OnPErr;
  TKoNotifyEvent OnRx80Full;
  TKoNotifyEvent OnEvent1;
  TKoNotifyEvent OnEvent2;

  // The hand-over seam (see the top of this file) and the central error display.
  TKoPostProc PostToMainThread;
  TKoExceptionEvent OnException;

 protected:
  // Properties; TKoComm publishes them.
  bool AutoOpen() const { return FAutoOpen; }
  void SetAutoOpen(bool Value) { FAutoOpen = Value; }
  TKoBaudrate Baudrate() const { return FBaudrate; }
  void SetBaudrate(TKoBaudrate Value);
  TKoParity Parity() const { return FParity; }
  void SetParity(TKoParity Value);
  bool ParityCheck() const { return FParityCheck; }
  void SetParityCheck(bool Value);
  TKoDatabits Databits() const { return FDatabits; }
  void SetDatabits(TKoDatabits Value);
  TKoStopbits Stopbits() const { return FStopbits; }
  void SetStopbits(TKoStopbits Value);
  TKoEventChars& EventChars() { return FEventChars; }
  void SetEventChars(const TKoEventChars& Value) { FEventChars.CopyFrom(Value); }
  TKoFlowControl& FlowControl() { return FFlowControl; }
  void SetFlowControl(const TKoFlowControl& Value) { FFlowControl.CopyFrom(Value); }
  TKoCommOptions Options() const { return FOptions; }
  void SetOptions(TKoCommOptions Value);
  TKoPortInt PortNum() const { return FPortNum; }
  void SetPortNum(TKoPortInt Value);
  const std::string& DeviceName() const { return FDeviceName; }
  void SetDeviceName(const std::string& Value);
  TKoCommEvents MonitorEvents() const { return FMonitorEvents; }
  void SetMonitorEvents(TKoCommEvents Value);
  TKoBuffers& Buffers() { return FBuffers; }
  void SetBuffers(const TKoBuffers& Value);
  TKoThreadPriority EventPriority() const { return FEventPriority; }
  void SetEventPriority(TKoThreadPriority Value);
  TKoThreadPriority WritePriority() const { return FWritePriority; }
  void SetWritePriority(TKoThreadPriority Value);
  bool DirectWrite() const { return FDirectWrite; }
  void SetDirectWrite(bool Value);
  bool UpdateDCB() const { return FUpdateDCB; }
  void SetUpdateDCB(bool Value);
  int UserBaudrate() const { return FUserBaudrate; }
  void SetUserBaudrate(int Value);

  virtual void OpenDevice();
  virtual void StartWorkers();
  virtual void HandleRxChar();
  virtual void HandleEvents(std::uint32_t Events);
  virtual void NotifyListeners(std::uint32_t Events);
  virtual void HandleRxBuf(PKoData Data, int Count);

 private:
  friend class TKoCommEventThread;
  friend class TKoCommWriteThread;

  void CheckClosed() const;
  // Joins the workers that ended while their own handler closed the port.
  void ReapRetired();
  void ApplyLineSettings();
  void SettingsChanged(TKoPersistent* Sender);
  void HandleException();
  // HandleEvents on the main thread for a worker; what its handlers raise goes to HandleException.
  void DeliverEvents(std::uint32_t Events);
  // A worker found the device gone (hang-up, failed write).
  void NoteLineError(int Errors);
  int DirectWriteBytes(const void* Data, int Count);

  TKoHandle FHandle = KO_INVALID_HANDLE;
  std::uint64_t FOpenings = 0;  // counts the openings: a late hang-up closes only its own
  std::uint32_t FEventMask = 0;
  TKoCriticalSection FWriteLock;
  TKoCriticalSection FReadLock;
  TKoWaitEvent FReadEvent;
  std::unique_ptr<TKoCommEventThread> FEventThread;
  std::unique_ptr<TKoCommWriteThread> FWriteThread;
  std::vector<std::unique_ptr<TKoThread>> FRetired;
  std::vector<TKoCommListener*> FListeners;
  std::atomic<int> FPendingErrors{0};
  std::atomic<int> FRxHandedOver{0};  // bytes waiting at the last OnRxChar
  std::atomic<bool> FLineGone{false};
  std::atomic<bool> FGoneReported{false};

  bool FAutoOpen = false;
  TKoBaudrate FBaudrate = br1200;
  TKoParity FParity = paNone;
  bool FParityCheck = false;
  TKoDatabits FDatabits = db8;
  TKoStopbits FStopbits = sb1;
  TKoEventChars FEventChars;
  TKoFlowControl FFlowControl;
  TKoCommOptions FOptions;
  TKoPortInt FPortNum = 0;
  std::string FDeviceName = "COM%d";
  TKoCommEvents FMonitorEvents{ceError, ceRxChar, ceTxEmpty};
  TKoBuffers FBuffers;
  TKoThreadPriority FEventPriority = tpNormal;
  TKoThreadPriority FWritePriority = tpHighest;
  bool FDirectWrite = false;
  bool FUpdateDCB = true;
  int FUserBaudrate = 0;
};

// The channel as its owner configures it: the properties made public, no further logic.
class TKoComm : public TKoCustomComm {
 public:
  using TKoCustomComm::AutoOpen;
  using TKoCustomComm::Baudrate;
  using TKoCustomComm::Buffers;
  using TKoCustomComm::Databits;
  using TKoCustomComm::DeviceName;
  using TKoCustomComm::DirectWrite;
  using TKoCustomComm::EventChars;
  using TKoCustomComm::EventPriority;
  using TKoCustomComm::FlowControl;
  using TKoCustomComm::MonitorEvents;
  using TKoCustomComm::Options;
  using TKoCustomComm::Parity;
  using TKoCustomComm::ParityCheck;
  using TKoCustomComm::PortNum;
  using TKoCustomComm::SetAutoOpen;
  using TKoCustomComm::SetBaudrate;
  using TKoCustomComm::SetBuffers;
  using TKoCustomComm::SetDatabits;
  using TKoCustomComm::SetDeviceName;
  using TKoCustomComm::SetDirectWrite;
  using TKoCustomComm::SetEventChars;
  using TKoCustomComm::SetEventPriority;
  using TKoCustomComm::SetFlowControl;
  using TKoCustomComm::SetMonitorEvents;
  using TKoCustomComm::SetOptions;
  using TKoCustomComm::SetParity;
  using TKoCustomComm::SetParityCheck;
  using TKoCustomComm::SetPortNum;
  using TKoCustomComm::SetStopbits;
  using TKoCustomComm::SetUpdateDCB;
  using TKoCustomComm::SetUserBaudrate;
  using TKoCustomComm::SetWritePriority;
  using TKoCustomComm::Stopbits;
  using TKoCustomComm::UpdateDCB;
  using TKoCustomComm::UserBaudrate;
  using TKoCustomComm::WritePriority;
};
