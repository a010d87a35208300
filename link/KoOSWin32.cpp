// Win32 implementation of the channel's operating-system layer: a COM device opened for
// overlapped I/O, its DCB, queues, time-outs and event mask, and Win32 events as signals.
//
// Where Wine's serial driver behaves otherwise than Windows, the code follows Windows'
// documented behaviour and copes with Wine's; each such place says so.
#include "link/KoOSWin32.h"
#include "link/KoOS.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "link/KoConst.h"

namespace {

HANDLE H(TKoHandle Handle) { return reinterpret_cast<HANDLE>(Handle); }
TKoHandle K(HANDLE Handle) { return reinterpret_cast<TKoHandle>(Handle); }

// The largest piece that one write hands to the driver.
constexpr DWORD WriteChunk = 64 * 1024;
// How long a read of bytes that the driver has counted may take before it is cancelled.
constexpr DWORD ReadWait = 1000;
// How long closing waits for the driver to end a cancelled wait or write.
constexpr DWORD CloseWait = 5000;

// What the layer keeps for an open device. A write is handed to the driver from a copy of the
// layer's own, so that it may go on after the caller's bytes have gone (as a terminal's kernel
// buffer takes bytes on Linux); the copy lives until the device is closed.
struct TDevice {
  HANDLE Handle = INVALID_HANDLE_VALUE;
  std::mutex Lock;  // guards the write state below
  OVERLAPPED WriteOv{};
  std::vector<char> WriteBuf;
  bool WritePending = false;
  OVERLAPPED ReadOv{};
  // Line errors that ClearCommError gave to a call that wanted the queue count only, kept for
  // the next status query.
  std::atomic<DWORD> HeldErrors{0};

  ~TDevice() {
    if (WriteOv.hEvent) CloseHandle(WriteOv.hEvent);
    if (ReadOv.hEvent) CloseHandle(ReadOv.hEvent);
  }
};

std::mutex GDevicesLock;
std::map<HANDLE, std::shared_ptr<TDevice>> GDevices;

std::shared_ptr<TDevice> FindDevice(TKoHandle Device) {
  std::lock_guard<std::mutex> Lock(GDevicesLock);
  auto It = GDevices.find(H(Device));
  return It == GDevices.end() ? nullptr : It->second;
}

// Restores the thread's last error after calls that may change it.
struct TKeepError {
  DWORD Code = GetLastError();
  ~TKeepError() { SetLastError(Code); }
};

// The number n of a port name "COMn", or 0 when the name is no such name.
int PortNumber(const char* Name) {
  if (_strnicmp(Name, "COM", 3) != 0 || Name[3] == '\0' || std::strlen(Name) > 12) return 0;
  for (const char* P = Name + 3; *P; ++P)
    if (*P < '0' || *P > '9') return 0;
  long N = std::strtol(Name + 3, nullptr, 10);
  return N >= 1 ? static_cast<int>(N) : 0;
}

// Collects the finished result of the device's pending write. False with the write's error
// when it failed; Done tells whether it has finished.
bool FinishWrite(TDevice& D, bool Wait, bool& Done) {
  Done = true;
  if (!D.WritePending) return true;
  DWORD N = 0;
  if (GetOverlappedResult(D.Handle, &D.WriteOv, &N, Wait ? TRUE : FALSE)) {
    D.WritePending = false;
    return true;
  }
  DWORD E = GetLastError();
  if (E == ERROR_IO_INCOMPLETE) {
    Done = false;
    return true;
  }
  D.WritePending = false;
  SetLastError(E);
  return false;
}

// The bytes in the device's receive queue, or -1; line errors the query clears are held
// for the next status query.
int QueuedBytes(TDevice& D) {
  DWORD Errors = 0;
  COMSTAT Stat{};
  if (!ClearCommError(D.Handle, &Errors, &Stat)) return -1;
  D.HeldErrors.fetch_or(Errors);
  return static_cast<int>(Stat.cbInQue);
}

}  // namespace

int KoOSLastError() { return static_cast<int>(GetLastError()); }

bool KoOSIsNotFound(int Code) { return Code == ERROR_FILE_NOT_FOUND; }

bool KoOSIsGone(int Code) {
  // A removed adapter gives 5, 22, 31 or 1167 on Windows; Wine gives 995, 21 or 109 when the
  // other side of its terminal hangs up.
  switch (Code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_BROKEN_PIPE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
      return true;
    default:
      return false;
  }
}

std::string KoOSErrorText(int Code) {
  char* Text = nullptr;
  DWORD N = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(Code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<char*>(&Text), 0, nullptr);
  std::string S = N && Text ? std::string(Text, N) : "Unknown error " + std::to_string(Code);
  if (Text) LocalFree(Text);
  return S;
}

std::string KoOSDeviceForName(const std::string& Name) {
  // Windows names its serial ports itself: "COM4" is the device COM4.
  return Name;
}

std::vector<TKoPortEntry> KoOSListPorts() {
  // Every COM device the system knows has a name in the DOS device namespace.
  std::vector<int> Numbers;
  std::vector<char> Names(16384);
  for (;;) {
    DWORD N = QueryDosDeviceA(nullptr, Names.data(), static_cast<DWORD>(Names.size()));
    if (N != 0) {
      for (const char* P = Names.data(); *P; P += std::strlen(P) + 1)
        if (int Num = PortNumber(P)) Numbers.push_back(Num);
      break;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || Names.size() > (1u << 24)) break;
    Names.resize(Names.size() * 4);
  }
  // The serial ports of the hardware map, also one that has no DOS name of its own yet.
  HKEY Key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &Key) == ERROR_SUCCESS) {
    for (DWORD I = 0;; ++I) {
      char ValueName[256], Data[256];
      DWORD NameLen = sizeof ValueName, DataLen = sizeof Data - 1, Type = 0;
      if (RegEnumValueA(Key, I, ValueName, &NameLen, nullptr, &Type, reinterpret_cast<BYTE*>(Data), &DataLen) !=
          ERROR_SUCCESS)
        break;
      if (Type != REG_SZ) continue;
      Data[DataLen] = '\0';
      if (int Num = PortNumber(Data)) Numbers.push_back(Num);
    }
    RegCloseKey(Key);
  }
  std::sort(Numbers.begin(), Numbers.end());
  Numbers.erase(std::unique(Numbers.begin(), Numbers.end()), Numbers.end());
  // A system that lists no port still gets the numbered ones to choose from; opening one that
  // is not there then says so.
  if (Numbers.empty())
    for (int N = 1; N <= 8; ++N) Numbers.push_back(N);
  std::vector<TKoPortEntry> Ports;
  for (int N : Numbers) Ports.push_back({"COM " + std::to_string(N), N});
  return Ports;
}

TKoHandle KoOSOpenDevice(const std::string& Path) {
  // The \\.\ form opens COM10 and above, which the plain name does not.
  std::string Name = Path.compare(0, 2, "\\\\") == 0 ? Path : "\\\\.\\" + Path;
  HANDLE Dev =
      CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (Dev == INVALID_HANDLE_VALUE) return KO_INVALID_HANDLE;
  auto D = std::make_shared<TDevice>();
  D->Handle = Dev;
  D->WriteOv.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  D->ReadOv.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!D->WriteOv.hEvent || !D->ReadOv.hEvent) {
    TKeepError Keep;
    D.reset();
    CloseHandle(Dev);
    return KO_INVALID_HANDLE;
  }
  TKeepError Keep;
  std::lock_guard<std::mutex> Lock(GDevicesLock);
  GDevices[Dev] = std::move(D);
  return K(Dev);
}

void KoOSCloseDevice(TKoHandle Device) {
  if (Device == KO_INVALID_HANDLE) return;
  std::shared_ptr<TDevice> D;
  {
    std::lock_guard<std::mutex> Lock(GDevicesLock);
    auto It = GDevices.find(H(Device));
    if (It != GDevices.end()) {
      D = It->second;
      GDevices.erase(It);
    }
  }
  if (D) {
    // Bytes still on their way are not sent; the copy they come from must outlive the write.
    std::lock_guard<std::mutex> Lock(D->Lock);
    if (D->WritePending) {
      CancelIoEx(D->Handle, &D->WriteOv);
      if (WaitForSingleObject(D->WriteOv.hEvent, CloseWait) != WAIT_OBJECT_0) {
        // A driver that never ends the write keeps reading its copy: the copy stays.
        new std::shared_ptr<TDevice>(D);
      }
      D->WritePending = false;
    }
  }
  CloseHandle(H(Device));
}

DCB KoWin32BuildDCB(const TKoLineSettings& S) {
  static constexpr DWORD DtrControl[] = {DTR_CONTROL_DISABLE, DTR_CONTROL_ENABLE, DTR_CONTROL_HANDSHAKE};
  static constexpr DWORD RtsControl[] = {RTS_CONTROL_DISABLE, RTS_CONTROL_ENABLE, RTS_CONTROL_HANDSHAKE,
                                         RTS_CONTROL_TOGGLE};
  // Built from zero: every field comes from the settings record.
  DCB D{};
  D.DCBlength = sizeof D;
  D.BaudRate = static_cast<DWORD>(S.BaudRate);
  D.fBinary = S.Binary;
  D.fParity = S.ParityCheck;
  D.fOutxCtsFlow = S.OutxCtsFlow;
  D.fOutxDsrFlow = S.OutxDsrFlow;
  D.fDtrControl = DtrControl[S.DtrControl];
  D.fDsrSensitivity = S.DsrSensitivity;
  D.fTXContinueOnXoff = S.TxContinueOnXoff;
  D.fOutX = S.OutX;
  D.fInX = S.InX;
  D.fErrorChar = S.ErrorCharReplace;
  D.fNull = S.NullStrip;
  D.fRtsControl = RtsControl[S.RtsControl];
  D.fAbortOnError = S.AbortOnError;
  D.XonLim = static_cast<WORD>(S.XonLim);
  D.XoffLim = static_cast<WORD>(S.XoffLim);
  D.ByteSize = static_cast<BYTE>(S.ByteSize);
  // The parity and stop-bit enumerations are in the order of the DCB's values.
  D.Parity = static_cast<BYTE>(S.Parity);
  D.StopBits = static_cast<BYTE>(S.StopBits);
  D.XonChar = S.XonChar;
  D.XoffChar = S.XoffChar;
  D.ErrorChar = S.ErrorChar;
  D.EofChar = S.EofChar;
  D.EvtChar = S.EvtChar;
  return D;
}

bool KoOSSetLineSettings(TKoHandle Device, const TKoLineSettings& S) {
  DCB D = KoWin32BuildDCB(S);
  return SetCommState(H(Device), &D) != 0;
}

bool KoOSSetupQueues(TKoHandle Device, int InSize, int OutSize) {
  return SetupComm(H(Device), static_cast<DWORD>(InSize), static_cast<DWORD>(OutSize)) != 0;
}

bool KoOSSetTimeouts(TKoHandle Device) {
  // A read returns at once with the bytes already received; writes have no time-out.
  COMMTIMEOUTS T{};
  T.ReadIntervalTimeout = MAXDWORD;
  T.ReadTotalTimeoutMultiplier = 0;
  T.ReadTotalTimeoutConstant = 0;
  T.WriteTotalTimeoutMultiplier = 0;
  T.WriteTotalTimeoutConstant = 0;
  return SetCommTimeouts(H(Device), &T) != 0;
}

bool KoOSClearCommError(TKoHandle Device, TKoCommStatus& Status) {
  DWORD Errors = 0;
  COMSTAT Stat{};
  if (!ClearCommError(H(Device), &Errors, &Stat)) return false;
  if (std::shared_ptr<TDevice> D = FindDevice(Device)) Errors |= D->HeldErrors.exchange(0);
  // The driver's error bits are the channel's line-error bits.
  Status.Errors = static_cast<int>(Errors);
  Status.InQueue = static_cast<int>(Stat.cbInQue);
  Status.OutQueue = static_cast<int>(Stat.cbOutQue);
  return true;
}

int KoOSReceiveQueue(int ReadSize) {
  // The serial driver's queue is the size asked for when the queues were set up.
  return ReadSize;
}

int KoOSBytesWaiting(TKoHandle Device) {
  std::shared_ptr<TDevice> D = FindDevice(Device);
  if (!D) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  return QueuedBytes(*D);
}

int KoOSRead(TKoHandle Device, void* Buffer, int Count) {
  std::shared_ptr<TDevice> D = FindDevice(Device);
  if (!D) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  // With the time-outs set at opening, Windows completes a read on an empty queue at once;
  // Wine leaves it pending until a byte comes. Only what the driver counts is read.
  const int Queued = QueuedBytes(*D);
  if (Queued < 0) return -1;
  DWORD Want = std::min<DWORD>(static_cast<DWORD>(Count), static_cast<DWORD>(Queued));
  if (Want == 0) {
    SetLastError(0);
    return 0;
  }
  ResetEvent(D->ReadOv.hEvent);
  DWORD N = 0;
  if (!ReadFile(D->Handle, Buffer, Want, &N, &D->ReadOv)) {
    if (GetLastError() != ERROR_IO_PENDING) return -1;
    if (WaitForSingleObject(D->ReadOv.hEvent, ReadWait) != WAIT_OBJECT_0) {
      CancelIoEx(D->Handle, &D->ReadOv);
    }
    if (!GetOverlappedResult(D->Handle, &D->ReadOv, &N, TRUE)) {
      if (GetLastError() != ERROR_OPERATION_ABORTED) return -1;
    }
  }
  return static_cast<int>(N);
}

int KoOSWrite(TKoHandle Device, const void* Data, int Count) {
  std::shared_ptr<TDevice> D = FindDevice(Device);
  if (!D) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  std::lock_guard<std::mutex> Lock(D->Lock);
  bool Done;
  if (!FinishWrite(*D, false, Done)) return -1;  // the last piece failed on its way
  if (!Done || Count <= 0) {
    SetLastError(0);
    return 0;  // the driver still holds the last piece
  }
  DWORD Take = std::min<DWORD>(static_cast<DWORD>(Count), WriteChunk);
  D->WriteBuf.assign(static_cast<const char*>(Data), static_cast<const char*>(Data) + Take);
  ResetEvent(D->WriteOv.hEvent);
  DWORD N = 0;
  if (WriteFile(D->Handle, D->WriteBuf.data(), Take, &N, &D->WriteOv)) return static_cast<int>(N);
  if (GetLastError() != ERROR_IO_PENDING) return -1;
  // On its way: the bytes are the driver's now, as a terminal's buffer takes them on Linux.
  D->WritePending = true;
  return static_cast<int>(Take);
}

TKoHandle KoOSCreateSignal(bool InitialState) {
  HANDLE E = CreateEventA(nullptr, TRUE, InitialState ? TRUE : FALSE, nullptr);
  return E ? K(E) : KO_INVALID_HANDLE;
}

void KoOSCloseSignal(TKoHandle Signal) {
  if (Signal != KO_INVALID_HANDLE) CloseHandle(H(Signal));
}

bool KoOSSetSignal(TKoHandle Signal) { return SetEvent(H(Signal)) != 0; }

bool KoOSResetSignal(TKoHandle Signal) { return ResetEvent(H(Signal)) != 0; }

TKoWaitResult KoOSWaitFor(const TKoHandle* Signals, int Count, TKoHandle WritableDevice, std::uint32_t Timeout,
                          int& Index) {
  HANDLE Handles[8];
  if (Count < 0 || Count > 7) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return wrError;
  }
  DWORD N = 0;
  for (; N < static_cast<DWORD>(Count); ++N) Handles[N] = H(Signals[N]);
  if (WritableDevice != KO_INVALID_HANDLE) {
    // The device takes bytes again once its pending write has finished.
    std::shared_ptr<TDevice> D = FindDevice(WritableDevice);
    bool Pending = false;
    if (D) {
      std::lock_guard<std::mutex> Lock(D->Lock);
      Pending = D->WritePending;
    }
    if (!Pending) {
      DWORD R = N ? WaitForMultipleObjects(N, Handles, FALSE, 0) : WAIT_TIMEOUT;
      Index = (R < WAIT_OBJECT_0 + N) ? static_cast<int>(R - WAIT_OBJECT_0) : Count;
      return wrSignaled;
    }
    // The event stays set after completion until the next write resets it.
    Handles[N++] = D->WriteOv.hEvent;
  }
  if (N == 0) {
    Sleep(Timeout);
    return wrTimeout;
  }
  DWORD R = WaitForMultipleObjects(N, Handles, FALSE, Timeout);
  if (R < WAIT_OBJECT_0 + N) {
    Index = static_cast<int>(R - WAIT_OBJECT_0);
    return wrSignaled;
  }
  if (R >= WAIT_ABANDONED_0 && R < WAIT_ABANDONED_0 + N) {
    Index = static_cast<int>(R - WAIT_ABANDONED_0);
    return wrAbandoned;
  }
  if (R == WAIT_TIMEOUT) return wrTimeout;
  return wrError;
}

namespace {
// A line-event watch: the overlapped WaitCommEvent of one device, its event word, and the
// channel's stop signal.
struct TWatch {
  HANDLE Device = INVALID_HANDLE_VALUE;
  HANDLE Stop = nullptr;
  OVERLAPPED Ov{};
  DWORD Events = 0;
  bool Pending = false;
};
}  // namespace

TKoHandle KoOSCreateWatch(TKoHandle Device, std::uint32_t Mask, TKoHandle StopSignal) {
  if (!SetCommMask(H(Device), Mask)) return KO_INVALID_HANDLE;
  auto W = std::make_unique<TWatch>();
  W->Device = H(Device);
  W->Stop = H(StopSignal);
  W->Ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!W->Ov.hEvent) return KO_INVALID_HANDLE;
  return reinterpret_cast<TKoHandle>(W.release());
}

void KoOSCloseWatch(TKoHandle Watch) {
  if (Watch == KO_INVALID_HANDLE) return;
  std::unique_ptr<TWatch> W(reinterpret_cast<TWatch*>(Watch));
  if (W->Pending) {
    // The wait must have ended before its event word and event go. A new event mask ends a
    // pending wait (Windows documents it; Wine does not cancel a serial wait otherwise).
    SetCommMask(W->Device, 0);
    CancelIoEx(W->Device, &W->Ov);
    if (WaitForSingleObject(W->Ov.hEvent, CloseWait) != WAIT_OBJECT_0) {
      // A driver that never ends the wait: its event word stays allocated rather than being
      // written after release.
      (void)W.release();
      return;
    }
  }
  CloseHandle(W->Ov.hEvent);
}

TKoWaitResult KoOSWaitCommEvent(TKoHandle Watch, std::uint32_t Timeout, std::uint32_t& Events, bool& Hangup) {
  auto* W = reinterpret_cast<TWatch*>(Watch);
  Events = 0;
  Hangup = false;
  if (!W->Pending) {
    ResetEvent(W->Ov.hEvent);
    W->Events = 0;
    if (WaitCommEvent(W->Device, &W->Events, &W->Ov)) {
      Events = W->Events;
      return wrSignaled;
    }
    DWORD E = GetLastError();
    if (E != ERROR_IO_PENDING) {
      if (KoOSIsGone(static_cast<int>(E))) {
        Events = KO_EV_ERR;
        Hangup = true;
        return wrSignaled;
      }
      return wrError;
    }
    W->Pending = true;
  }
  HANDLE Handles[2] = {W->Stop, W->Ov.hEvent};
  DWORD R = WaitForMultipleObjects(2, Handles, FALSE, Timeout == KO_INFINITE ? INFINITE : Timeout);
  // The stop comes first; a pending wait is cancelled when the watch is closed. A wait that
  // outlasts the time-out stays pending: the next call goes on waiting for it.
  if (R == WAIT_OBJECT_0) return wrAbandoned;
  if (R == WAIT_TIMEOUT) return wrTimeout;
  if (R != WAIT_OBJECT_0 + 1) return wrError;
  W->Pending = false;
  DWORD N = 0;
  if (GetOverlappedResult(W->Device, &W->Ov, &N, FALSE)) {
    Events = W->Events;
    return wrSignaled;
  }
  DWORD E = GetLastError();
  if (KoOSIsGone(static_cast<int>(E))) {
    Events = KO_EV_ERR;
    Hangup = true;
    return wrSignaled;
  }
  return wrError;
}

long KoOSCurrentThreadId() { return static_cast<long>(GetCurrentThreadId()); }

bool KoOSSetThreadPriority(long ThreadId, TKoThreadPriority Priority) {
  static constexpr int Levels[] = {
      THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
      THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL};
  HANDLE T = OpenThread(THREAD_SET_INFORMATION, FALSE, static_cast<DWORD>(ThreadId));
  if (!T) return false;
  bool Ok = SetThreadPriority(T, Levels[Priority]) != 0;
  TKeepError Keep;
  CloseHandle(T);
  return Ok;
}

std::uint32_t KoOSTickCount() { return GetTickCount(); }
