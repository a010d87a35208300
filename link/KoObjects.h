// Waitable signals and locks of the channel and its threads.
#pragma once

#include <cstdint>
#include <mutex>

#include "link/KoTypes.h"

// Wraps one operating-system waitable signal.
class TKoHandleObject {
 public:
  TKoHandleObject(const TKoHandleObject&) = delete;
  TKoHandleObject& operator=(const TKoHandleObject&) = delete;
  virtual ~TKoHandleObject();

  TKoHandle Handle() const { return FHandle; }
  // System error code of the last failed operation.
  int LastError() const { return FLastError; }

  void SetSignal();
  void ResetSignal();
  // Waits up to Timeout milliseconds (KO_INFINITE: no limit) for the signal.
  TKoWaitResult WaitFor(std::uint32_t Timeout);

 protected:
  TKoHandleObject() = default;
  TKoHandle FHandle = KO_INVALID_HANDLE;
  int FLastError = 0;
};

// A signal that stays set until it is reset (manual reset).
class TKoEvent : public TKoHandleObject {
 public:
  explicit TKoEvent(bool InitialState = false);
};

// The signal kind that the channel and its threads create: manual-reset, initially clear.
class TKoWaitEvent : public TKoEvent {
 public:
  TKoWaitEvent() : TKoEvent(false) {}
};

// Waits until one of Count signals is set, or Timeout milliseconds pass. Index receives the
// position of a set signal (the lowest when several are).
TKoWaitResult KoWaitForAny(TKoHandleObject* const* Signals, int Count, std::uint32_t Timeout, int& Index);

// Mutual exclusion with Enter and Leave; also usable with std::lock_guard.
class TKoCriticalSection {
 public:
  void Enter() { FMutex.lock(); }
  void Leave() { FMutex.unlock(); }
  void lock() { FMutex.lock(); }
  void unlock() { FMutex.unlock(); }

 private:
  std::mutex FMutex;
};
