// Types shared by the serial channel family: the setting enumerations, small sets over them,
// the event signatures and the handle type.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <string>

class TKoComponent;

// An integer from 0 to 2147483647 (sizes and time-outs of TKoBuffers).
using TKoIntW = std::int32_t;
// A port number, 0 to 2147483647.
using TKoPortInt = std::int32_t;
// Pointer to a block of received bytes.
using PKoData = const char*;

// An operating-system handle: a file descriptor on POSIX, a HANDLE on Win32.
// Both fit, and both use -1 for "invalid".
using TKoHandle = std::intptr_t;
constexpr TKoHandle KO_INVALID_HANDLE = -1;

// Wait without time-out.
constexpr std::uint32_t KO_INFINITE = 0xFFFFFFFFu;

enum TKoBaudrate : int {
  brUser,
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};
enum TKoParity : int { paNone, paOdd, paEven, paMark, paSpace };
enum TKoDatabits : int { db4, db5, db6, db7, db8 };
enum TKoStopbits : int { sb1, sb15, sb2 };
enum TKoControlDtr : int { dtrDisabled, dtrEnabled, dtrHandshake };
enum TKoControlRts : int { rtsDisabled, rtsEnabled, rtsHandshake, rtsToggle };
enum TKoCommOption : int { coErrorChar, coNullStrip };
enum TKoCommEvent : int {
  ceBreak,
  ceCts,
  ceDsr,
  ceError,
  ceRing,
  ceRlsd,
  ceRxChar,
  ceTxEmpty,
  ceRxFlag,
  cePErr,
  ceRx80Full,
  ceEvent1,
  ceEvent2
};
enum TKoThreadPriority : int { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A serial port that the program offers: the text shown for it and the PortNum that opens it.
struct TKoPortEntry {
  std::string Caption;
  TKoPortInt PortNum = 0;
};

// Result of waiting on a signal.
enum TKoWaitResult : int { wrSignaled, wrTimeout, wrAbandoned, wrError };

// A set of enumeration members, one bit per member (members 0 to 31).
template <typename E>
class TKoSet {
 public:
  constexpr TKoSet() = default;
  constexpr TKoSet(std::initializer_list<E> Members) {
    for (E M : Members) FBits |= Bit(M);
  }
  constexpr bool Contains(E M) const { return (FBits & Bit(M)) != 0; }
  constexpr TKoSet& Include(E M) {
    FBits |= Bit(M);
    return *this;
  }
  constexpr TKoSet& Exclude(E M) {
    FBits &= ~Bit(M);
    return *this;
  }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr std::uint32_t Bits() const { return FBits; }
  friend constexpr bool operator==(TKoSet A, TKoSet B) { return A.FBits == B.FBits; }

 private:
  static constexpr std::uint32_t Bit(E M) { return std::uint32_t{1} << static_cast<int>(M); }
  std::uint32_t FBits = 0;
};

using TKoCommEvents = TKoSet<TKoCommEvent>;
using TKoCommOptions = TKoSet<TKoCommOption>;

// Event signatures. Sender is the channel that reports.
using TKoNotifyEvent = std::function<void(TKoComponent* Sender)>;
using TKoCommErrorEvent = std::function<void(TKoComponent* Sender, int Errors)>;
using TKoCommRxCharEvent = std::function<void(TKoComponent* Sender, int Count)>;
using TKoCommRxBufEvent = std::function<void(TKoComponent* Sender, PKoData Data, int Count)>;
// An exception that a handler raised; the owner shows it (its central error display).
using TKoExceptionEvent = std::function<void(TKoComponent* Sender, std::exception_ptr E)>;
// Runs a piece of work on the main thread; see TKoCustomComm::PostToMainThread.
using TKoPostProc = std::function<void(std::function<void()> Work)>;
